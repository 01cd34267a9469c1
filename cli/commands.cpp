#include "commands.h"

namespace cli {

const std::vector<command>& commands()
{
    static const std::vector<command> all = {
        devicesCommand(), callCommand(),    signCommand(),
        watchCommand(),   methodsCommand(), versionCommand(),
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
    std::string text =
        "Usage: tessera [OPTIONS] COMMAND [ARGS]\n"
        "\n"
        "Talks to the local PKI service on 127.0.0.1:18080: lists devices, sends\n"
        "requests to any method, signs with device keys, watches notifications.\n"
        "\n"
        "Commands:\n";
    for (const command& c : commands())
        text += "  " + std::string(c.name) + std::string(10 - std::string(c.name).size(), ' ') + c.summary + "\n";
    text +=
        "  help      show the help of a command\n"
        "\n"
        "Options of every command (before or after the command):\n"
        "  --json          print JSON (the default)\n"
        "  --text          print readable text instead\n"
        "  --app NAME      application name   [env TESSERA_APP_NAME, default demo]\n"
        "  --app-id ID     application id     [env TESSERA_APP_ID, default demo-app-id]\n"
        "  --token TOKEN   application token  [env TESSERA_TOKEN, default demo-token]\n"
        "  -h, --help      show help and exit\n"
        "\n"
        "Exit status:\n"
        "  0  success\n"
        "  1  request failed: no answer, or the service answered with an error\n"
        "  2  usage error: bad command line or input\n"
        "  3  service unreachable: nothing listens on 127.0.0.1:18080\n"
        "  4  login refused: the service did not accept the credentials\n"
        "  5  file error: an input or output file could not be read or written\n"
        "\n"
        "Run 'tessera COMMAND --help' for the details of a command.\n";
    return text;
}

} // namespace cli
