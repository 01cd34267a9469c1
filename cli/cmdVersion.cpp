// tessera version: the versions of the command and of the interface it uses.
#include <string>

#include "commands.h"
#include "exitCodes.h"
#include "serviceVersion.h"

#ifndef TESSERA_CLI_VERSION
#error "TESSERA_CLI_VERSION must be defined by the build"
#endif

namespace cli {

namespace {

std::string interfaceVersion()
{
    return std::to_string(TESSERA_VERSION_MAJOR) + "." + std::to_string(TESSERA_VERSION_MINOR) + "." +
           std::to_string(TESSERA_VERSION_PATCH);
}

} // namespace

int printVersion(output& out)
{
    if (out.text())
        out.raw("tessera " TESSERA_CLI_VERSION " (interface " + interfaceVersion() + ")\n");
    else
        out.document({{"tessera", TESSERA_CLI_VERSION}, {"interface", interfaceVersion()}});
    return exitOk;
}

namespace {

int runVersion(const invocation& call)
{
    if (!call.args.has("service"))
        return printVersion(call.out);
    const nlohmann::ordered_json service = serviceVersions(call.config.login);
    call.out.document({{"tessera", TESSERA_CLI_VERSION}, {"interface", interfaceVersion()}, {"service", service}});
    return exitOk;
}

} // namespace

command versionCommand()
{
    return {"version",
            "print the version",
            "Usage: tessera version [OPTIONS] [--service]\n"
            "\n"
            "Prints the version of this command and of the library interface it\n"
            "was built against. Needs no service.\n"
            "\n"
            "Options:\n"
            "  --service    also log in and print the service's own answer to\n"
            "               vantService getVersions, under \"service\"\n",
            {{"service", false}},
            0,
            0,
            runVersion};
}

} // namespace cli
