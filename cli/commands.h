// The subcommands of tessera: their names, help texts, options and bodies.
#ifndef TESSERA_CLI_COMMANDS_H
#define TESSERA_CLI_COMMANDS_H

#include <cstddef>
#include <string>
#include <vector>

#include "arguments.h"
#include "bashCompletion.h"
#include "output.h"
#include "settings.h"

namespace cli {

struct invocation {
    const parsedArgs& args;
    const settings& config;
    output& out;
};

struct command {
    const char* name;
    const char* summary; // one line for the general help
    const char* help;    // the command's whole help text
    std::vector<optionSpec> options;
    size_t minArgs; // positional arguments accepted
    size_t maxArgs;
    int (*run)(const invocation& call); // returns the exit status
};

command devicesCommand();
command callCommand();
command signCommand();
command watchCommand();
command methodsCommand();
command versionCommand();

// What "version" prints; also the answer to --version and -V.
int printVersion(output& out);

// All commands, in the order the general help lists them.
const std::vector<command>& commands();
const command* findCommand(const std::string& name);

std::string generalHelp();

// The commands and options, for the bash completion script.
completion::level completionTable();

} // namespace cli

#endif // TESSERA_CLI_COMMANDS_H
