// tessera version: the versions of the command and of the interface it uses.
#include <string>

#include "commands.h"
#include "exitCodes.h"

#ifndef TESSERA_CLI_VERSION
#error "TESSERA_CLI_VERSION must be defined by the build"
#endif

namespace cli {

int printVersion(output& out)
{
    const std::string interfaceVersion = std::to_string(TESSERA_VERSION_MAJOR) + "." +
                                         std::to_string(TESSERA_VERSION_MINOR) + "." +
                                         std::to_string(TESSERA_VERSION_PATCH);
    if (out.text())
        out.raw("tessera " TESSERA_CLI_VERSION " (interface " + interfaceVersion + ")\n");
    else
        out.document({{"tessera", TESSERA_CLI_VERSION}, {"interface", interfaceVersion}});
    return exitOk;
}

namespace {

int runVersion(const invocation& call)
{
    return printVersion(call.out);
}

} // namespace

command versionCommand()
{
    return {"version",
            "print the version",
            "Usage: tessera version [OPTIONS]\n"
            "\n"
            "Prints the version of this command and of the library interface it\n"
            "was built against. Needs no service.\n",
            {},
            0,
            0,
            runVersion};
}

} // namespace cli
