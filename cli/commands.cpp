#include "commands.h"

namespace cli {
namespace {

std::vector<completion::option> completionOptions(const std::vector<optionSpec>& specs)
{
    std::vector<completion::option> words;
    for (const optionSpec& spec : specs) {
        words.push_back({"--" + spec.name, spec.takesValue});
        if (spec.name == "help")
            words.push_back({"-h", false});
    }
    return words;
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
            "  --verbose       show the library's debug lines on standard error\n"
            "  -h, --help      show help and exit\n"
            "  -V, --version   show the version and exit\n"
            "\n"
            "Exit status:\n"
            "  0  success\n"
            "  1  request failed: the service answered with an error\n"
            "  2  usage error: bad command line or input\n"
            "  3  service unreachable: nothing listens on 127.0.0.1:18080\n"
            "  4  login refused: the service did not accept the credentials\n"
            "  5  file error: an input or output file could not be read or written\n"
            "  6  timed out: the service did not answer in time\n"
            "  7  service failure: an HTTP error, an exception, a damaged or cut-off reply\n"
            "  8  untrusted service: the port belongs to another user; nothing was sent\n"
            "\n"
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
        top.commands.push_back({c.name, next});
        help.commands.push_back({c.name, {}});
    }
    top.commands.push_back({"help", help});
    return top;
}

} // namespace cli
