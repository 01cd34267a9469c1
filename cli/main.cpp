// tessera: command-line client of the local PKI service.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "arguments.h"
#include "bashCompletion.h"
#include "commands.h"
#include "exitCodes.h"
#include "output.h"
#include "settings.h"

namespace cli {
namespace {

void printHelp(FILE* stream, const std::string& text)
{
    output(stream, true).raw(text);
}

// "help" and "help COMMAND".
int runHelp(const std::vector<std::string>& topics, FILE* stream)
{
    if (topics.empty()) {
        printHelp(stream, generalHelp());
        return exitOk;
    }
    const command* topic = findCommand(topics[0]);
    if (topic == nullptr || topics.size() > 1)
        throw usageError("no help for '" + topics.back() + "'");
    printHelp(stream, topic->help);
    return exitOk;
}

// --verbose: the library's debug lines go to standard error.
void printDebugLine(const char* line, void*)
{
    std::fprintf(stderr, "tessera: debug: %s\n", line);
}

void checkArgumentCount(const command& c, const parsedArgs& args)
{
    const size_t count = args.positionals.size();
    if (count < c.minArgs)
        throw usageError(std::string(c.name) + ": missing arguments");
    if (count > c.maxArgs)
        throw usageError(std::string(c.name) + ": unexpected argument '" + args.positionals[c.maxArgs] + "'");
}

int run(const std::vector<std::string>& args, FILE* stream, std::string& commandName)
{
    parsedArgs parsed;
    const size_t at = parseLeadingOptions(args, globalOptionSpecs(), parsed);
    if (at == args.size()) {
        if (parsed.has("version")) {
            output out(stream, true);
            return printVersion(out);
        }
        if (!parsed.has("help"))
            throw usageError("no command given");
        return runHelp({}, stream);
    }
    commandName = args[at];
    if (commandName == "help")
        return runHelp(std::vector<std::string>(args.begin() + static_cast<long>(at) + 1, args.end()), stream);
    const command* c = findCommand(commandName);
    if (c == nullptr)
        throw usageError("unknown command '" + commandName + "'");
    std::vector<optionSpec> specs = globalOptionSpecs();
    specs.insert(specs.end(), c->options.begin(), c->options.end());
    parseArguments(args, at + 1, specs, parsed);
    if (parsed.has("help"))
        return runHelp({c->name}, stream);
    if (parsed.has("version")) {
        output out(stream, true);
        return printVersion(out);
    }
    checkArgumentCount(*c, parsed);
    const settings config = readSettings(parsed);
    if (config.verbose)
        setAgentLogger(printDebugLine, nullptr);
    output out(stream, config.text);
    return c->run({parsed, config, out});
}

std::string helpHint(const std::string& commandName)
{
    return findCommand(commandName) != nullptr ? "Try 'tessera " + commandName + " --help'."
                                               : std::string("Try 'tessera --help'.");
}

} // namespace
} // namespace cli

int main(int argc, char** argv)
{
    // Not in the help: the build writes the installed completion script with it.
    if (argc == 2 && std::string(argv[1]) == "--bash-completion") {
        std::fputs(completion::bashScript("tessera", cli::completionTable()).c_str(), stdout);
        return cli::exitOk;
    }
    std::string commandName;
    try {
        FILE* stream = cli::separateLibraryDiagnostics();
        return cli::run(std::vector<std::string>(argv + 1, argv + argc), stream, commandName);
    } catch (const cli::failure& e) {
        std::fprintf(stderr, "tessera: %s\n", e.what());
        if (e.code == cli::exitUsage)
            std::fprintf(stderr, "%s\n", cli::helpHint(commandName).c_str());
        return e.code;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessera: %s\n", e.what());
        return cli::exitRequestFailed;
    } catch (...) {
        std::fprintf(stderr, "tessera: unexpected failure\n");
        return cli::exitRequestFailed;
    }
}
