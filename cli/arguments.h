// Command-line parsing: "--name value", "--name=value", flags, "-h" for
// "--help", "-V" for "--version", and "--" ending the options.
#ifndef TESSERA_CLI_ARGUMENTS_H
#define TESSERA_CLI_ARGUMENTS_H

#include <map>
#include <string>
#include <vector>

namespace cli {

struct optionSpec {
    std::string name; // without the leading "--"
    bool takesValue;
};

class parsedArgs {
public:
    std::vector<std::string> positionals;

    bool has(const std::string& name) const { return options.count(name) != 0; }
    // The option's value, or `fallback` when it was not given.
    std::string value(const std::string& name, const std::string& fallback = std::string()) const;
    void set(const std::string& name, const std::string& value) { options[name] = value; }

private:
    std::map<std::string, std::string> options; // flags hold ""
};

// Takes the options of `specs` from the front of `args` up to the first
// other word; returns the index of that word (args.size() when none). Throws
// a usage failure for an unknown option or a missing value.
size_t parseLeadingOptions(const std::vector<std::string>& args, const std::vector<optionSpec>& specs, parsedArgs& out);

// Parses args[from..] against `specs`; words that are not options become
// positionals. Throws a usage failure for an unknown option or a missing value.
void parseArguments(const std::vector<std::string>& args, size_t from, const std::vector<optionSpec>& specs,
                    parsedArgs& out);

} // namespace cli

#endif // TESSERA_CLI_ARGUMENTS_H
