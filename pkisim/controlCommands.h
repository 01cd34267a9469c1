// The commands of the control channel: one JSON object in, one out.
//
// A request names its command in "command" and carries the command's
// arguments as members; the reply has "ok" and either the command's results
// or "error". README.md lists the commands.
#ifndef PKISIM_CONTROL_COMMANDS_H
#define PKISIM_CONTROL_COMMANDS_H

#include <string>

namespace pkisim {

class server;

// Never throws: every failure is an {"ok":false,"error":...} reply.
std::string runControlCommand(server& target, const std::string& requestLine);

} // namespace pkisim

#endif // PKISIM_CONTROL_COMMANDS_H
