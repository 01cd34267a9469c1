// The process's one agent: made when the library is loaded, destroyed when
// it is unloaded, released at exit by a hook, and replaced in a child made
// by fork(), where the parent's threads do not exist and the parent's locks
// may stay held for ever: the child never touches the parent's agent.
#ifndef TESSERA_AGENT_OWNER_H
#define TESSERA_AGENT_OWNER_H

#include "agent.h"

namespace vant {

// The process's agent (in a forked child, the child's own).
agent& theAgent();

// After the first agent was created: an application that exits (or unloads
// the library) without releaseAgent has it released before the library's
// state is destroyed.
void registerExitHook();

} // namespace vant

#endif // TESSERA_AGENT_OWNER_H
