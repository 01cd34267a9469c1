// --verbose: the command's own debug lines and the library's, on standard
// error. Without it the library's lines are dropped, so that the library
// writes nothing of its own to the command's streams.
#ifndef TESSERA_CLI_DEBUG_LINES_H
#define TESSERA_CLI_DEBUG_LINES_H

#include <string>

namespace cli {

// Sets the library's log callback; `verbose` shows its lines and ours.
void routeDebugLines(bool verbose);

// One line "tessera: debug: ..." when --verbose is on.
void debugLine(const std::string& line);

} // namespace cli

#endif // TESSERA_CLI_DEBUG_LINES_H
