#include "arguments.h"

#include "exitCodes.h"

namespace cli {
namespace {

bool isOption(const std::string& word)
{
    return word.size() > 1 && word[0] == '-';
}

const optionSpec& findSpec(const std::vector<optionSpec>& specs, const std::string& name, const std::string& word)
{
    for (const optionSpec& spec : specs)
        if (spec.name == name)
            return spec;
    throw usageError("unknown option '" + word + "'");
}

// Takes the option at args[at] (and its value); returns the index after it.
size_t takeOption(const std::vector<std::string>& args, size_t at, const std::vector<optionSpec>& specs,
                  parsedArgs& out)
{
    const std::string& word = args[at];
    for (const char* shortName : {"-h", "-V"}) {
        if (word != shortName)
            continue;
        const optionSpec& spec = findSpec(specs, word == "-h" ? "help" : "version", word);
        out.set(spec.name, std::string());
        return at + 1;
    }
    if (word.compare(0, 2, "--") != 0)
        throw usageError("unknown option '" + word + "'");
    const size_t equals = word.find('=');
    const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const optionSpec& spec = findSpec(specs, name, word);
    if (!spec.takesValue) {
        if (equals != std::string::npos)
            throw usageError("option '--" + name + "' takes no value");
        out.set(name, std::string());
        return at + 1;
    }
    if (equals != std::string::npos) {
        out.set(name, word.substr(equals + 1));
        return at + 1;
    }
    if (at + 1 >= args.size())
        throw usageError("option '--" + name + "' needs a value");
    out.set(name, args[at + 1]);
    return at + 2;
}

} // namespace

std::string parsedArgs::value(const std::string& name, const std::string& fallback) const
{
    const auto found = options.find(name);
    return found == options.end() ? fallback : found->second;
}

size_t parseLeadingOptions(const std::vector<std::string>& args, const std::vector<optionSpec>& specs, parsedArgs& out)
{
    size_t at = 0;
    while (at < args.size() && isOption(args[at]) && args[at] != "--")
        at = takeOption(args, at, specs, out);
    return at;
}

void parseArguments(const std::vector<std::string>& args, size_t from, const std::vector<optionSpec>& specs,
                    parsedArgs& out)
{
    size_t at = from;
    while (at < args.size()) {
        if (args[at] == "--") {
            out.positionals.insert(out.positionals.end(), args.begin() + static_cast<long>(at) + 1, args.end());
            return;
        }
        if (isOption(args[at]))
            at = takeOption(args, at, specs, out);
        else
            out.positionals.push_back(args[at++]);
    }
}

} // namespace cli
