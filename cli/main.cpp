// tessera: command-line client of the local PKI service.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "arguments.h"
#include "bashCompletion.h"
#include "commands.h"
#include "debugLines.h"
#include "errorReport.h"
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
    size_t at = parseLeadingOptions(args, globalOptionSpecs(), parsed);
    if (at < args.size() && args[at] == "--") // the options end; the command follows
        ++at;
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
    routeDebugLines(config.verbose);
    if (config.connections != 0 && !setAgentMaxConnections(config.connections))
        throw libraryFailure("--connections");
    output out(stream, config.text);
    return c->run({parsed, config, out});
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
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string commandName;
    try {
        FILE* stream = cli::separateLibraryDiagnostics();
        return cli::run(args, stream, commandName);
    } catch (const cli::failure& e) {
        return cli::reportFailure(e, commandName, cli::wantsJsonErrors(args));
    } catch (const std::exception& e) {
        return cli::reportFailure(cli::failure(cli::exitRequestFailed, e.what()), commandName,
                                  cli::wantsJsonErrors(args));
    } catch (...) {
        return cli::reportFailure(cli::failure(cli::exitRequestFailed, "unexpected failure"), commandName,
                                  cli::wantsJsonErrors(args));
    }
}
