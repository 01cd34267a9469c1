// Runs the tessera command of this build as a child process.
#ifndef TESSERA_TESTS_CLI_RUN_COMMAND_H
#define TESSERA_TESTS_CLI_RUN_COMMAND_H

#include <chrono>
#include <string>
#include <vector>

#include "childProcess.h"

namespace clitest {

// Only to catch hangs; every command normally ends in well under a second.
constexpr std::chrono::seconds hangLimit{60};

// tessera ARGS with ENV added to its environment and INPUT on its standard input.
inline testsupport::childResult tessera(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                                        const std::string& input = std::string())
{
    std::vector<std::string> argv = {TESSERA_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::childProcess child(argv, env, input);
    return child.finish(hangLimit);
}

} // namespace clitest

#endif // TESSERA_TESTS_CLI_RUN_COMMAND_H
