// The command line of the `pkisim` service.
#ifndef PKISIM_CLI_OPTIONS_H
#define PKISIM_CLI_OPTIONS_H

#include <string>
#include <vector>

#include "bashCompletion.h"
#include "simTypes.h"

namespace pkisim {

struct commandLine {
    options opts;
    bool help = false;
    bool version = false;
};

// Throws std::invalid_argument saying what is wrong. Without --control the
// control socket gets its default name; --no-control leaves it off.
commandLine parseCommandLine(const std::vector<std::string>& args);
std::string usageText();
// The flags and `ctl`, for the bash completion script.
completion::level completionTable();

} // namespace pkisim

#endif // PKISIM_CLI_OPTIONS_H
