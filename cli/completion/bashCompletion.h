// Bash completion scripts built from a program's own tables of commands and
// options, so that the completion cannot drift from what the program takes.
#ifndef TESSERA_BASH_COMPLETION_H
#define TESSERA_BASH_COMPLETION_H

#include <string>
#include <vector>

namespace completion {

struct option {
    std::string word; // as typed: "--port", "-p"
    bool takesValue;
};

struct command;

// One level of a command line: what may follow the program's name, or a
// command's name.
struct level {
    std::vector<option> options;
    std::vector<command> commands;
};

struct command {
    std::string name;
    level next;
};

// A script for `source` that defines _<program> and registers it with
// `complete`: the options and command names of the level reached so far
// complete; after an option that takes a value, and where nothing else
// fits, bash completes file names.
std::string bashScript(const std::string& program, const level& top);

} // namespace completion

#endif // TESSERA_BASH_COMPLETION_H
