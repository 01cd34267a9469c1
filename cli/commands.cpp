#include "commands.h"

#include "catalogue.h"
#include "exitCodes.h"

namespace cli {
namespace {

std::vector<completion::option> completionOptions(const std::vector<optionSpec>& specs)
{
    std::vector<completion::option> words;
    for (const optionSpec& spec : specs) {
        words.push_back({"--" + spec.name, spec.takesValue});
        if (spec.name == "help")
            words.push_back({"-h", false});
        if (spec.name == "version")
            words.push_back({"-V", false});
    }
    return words;
}

// The services by their wire names, each leading to `methods` of its own
// when asked for (the method names of the catalogue), with `options`.
std::vector<completion::command> serviceWords(const std::vector<completion::option>& options, bool withMethods)
{
    std::vector<completion::command> services;
    for (int service = 0; vant::serviceWireName(service) != nullptr; ++service) {
        completion::level next{options, {}};
        for (const vant::catalogueEntry* e = vant::catalogueBegin(); withMethods && e != vant::catalogueEnd(); ++e)
            if (e->service == service)
                next.commands.push_back({e->method, {options, {}}});
        services.push_back({vant::serviceWireName(service), next});
    }
    return services;
}

} // namespace

const std::vector<command>& commands()
{
    static const std::vector<command> all = {
        devicesCommand(), callCommand(), signCommand(), watchCommand(), methodsCommand(), versionCommand(),
    };
    return all;
}

const command* findCommand(const std::string& name)
{
    for (const command& c : commands())
        if (name == c.name)
            return &c;
    return nullptr;
}

std::string generalHelp()
{
    std::string text = "Usage: tessera [OPTIONS] COMMAND [ARGS]\n"
                       "\n"
                       "Talks to the local PKI service on 127.0.0.1:18080: lists devices, sends\n"
                       "requests to any method, signs with device keys, watches notifications.\n"
                       "\n"
                       "Commands:\n";
    for (const command& c : commands())
        text += "  " + std::string(c.name) + std::string(10 - std::string(c.name).size(), ' ') + c.summary + "\n";
    text += "  help      show the help of a command\n"
            "\n"
            "Options of every command (before or after the command):\n"
            "  --json          print JSON (the default)\n"
            "  --text          print readable text instead\n"
            "  --app NAME      application name   [env TESSERA_APP_NAME, default demo]\n"
            "  --app-id ID     application id     [env TESSERA_APP_ID, default demo-app-id]\n"
            "  --token TOKEN   application token  [env TESSERA_TOKEN, default demo-token]\n"
            "  --verbose       show connects, reconnects and the library's debug lines\n"
            "                  on standard error\n"
            "  --connections N request connections the library may open (1 to 16)\n"
            "  -h, --help      show help and exit\n"
            "  -V, --version   show the version and exit\n"
            "  --              ends the options\n"
            "\n"
            "A failure ends with one line on standard error; with --json it is a JSON\n"
            "object {\"error\":{\"status\",\"name\",\"message\",...}}.\n"
            "\n"
            "Exit status:\n";
    for (const exitStatus& status : exitStatuses())
        text += "  " + std::to_string(status.code) + "  " + status.meaning + "\n";
    text += "\n"
            "Run 'tessera COMMAND --help' for the details of a command.\n";
    return text;
}

completion::level completionTable()
{
    const std::vector<completion::option> global = completionOptions(globalOptionSpecs());
    completion::level top{global, {}};
    completion::level help; // "help COMMAND"
    for (const command& c : commands()) {
        completion::level next{global, {}};
        const std::vector<completion::option> own = completionOptions(c.options);
        next.options.insert(next.options.end(), own.begin(), own.end());
        // "call SERVICE METHOD" and "methods SERVICE".
        const std::string name = c.name;
        if (name == "call" || name == "methods")
            next.commands = serviceWords(next.options, name == "call");
        top.commands.push_back({c.name, next});
        help.commands.push_back({c.name, {}});
    }
    top.commands.push_back({"help", help});
    return top;
}

} // namespace cli
