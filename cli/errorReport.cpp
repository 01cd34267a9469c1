#include "errorReport.h"

#include <cstdio>

#include "commands.h"
#include "output.h"

namespace cli {
namespace {

std::string helpHint(const std::string& commandName)
{
    return findCommand(commandName) != nullptr ? "try 'tessera " + commandName + " --help'"
                                               : std::string("try 'tessera --help'");
}

std::string messageOf(const failure& f, const std::string& commandName)
{
    return f.code == exitUsage ? std::string(f.what()) + " (" + helpHint(commandName) + ")" : std::string(f.what());
}

} // namespace

bool wantsJsonErrors(const std::vector<std::string>& args)
{
    bool commandSeen = false;
    for (const std::string& word : args) {
        if (word == "--json")
            return true;
        if (word == "--" && commandSeen)
            return false;
        commandSeen = commandSeen || (!word.empty() && word[0] != '-');
    }
    return false;
}

nlohmann::ordered_json errorObject(const failure& f)
{
    nlohmann::ordered_json error = {{"status", static_cast<int>(f.code)}, {"name", exitName(f.code)}};
    error["message"] = f.what();
    if (f.libraryError != VPKI_OK) {
        error["libraryError"] = f.libraryError;
        error["libraryErrorText"] = agentErrorString(f.libraryError);
    }
    if (f.answered) {
        error["errCode"] = f.errCode;
        if (!f.serviceError.empty())
            error["serviceError"] = f.serviceError;
    }
    return {{"error", error}};
}

int reportFailure(const failure& f, const std::string& commandName, bool asJson)
{
    if (asJson) {
        nlohmann::ordered_json report = errorObject(f);
        report["error"]["message"] = messageOf(f, commandName);
        std::fprintf(stderr, "%s\n", dumpJson(report, -1).c_str());
    } else {
        std::fprintf(stderr, "tessera: %s\n", messageOf(f, commandName).c_str());
    }
    return f.code;
}

} // namespace cli
