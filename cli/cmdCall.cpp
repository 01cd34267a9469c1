// tessera call: one request to any catalogued method.
#include <limits>

#include "catalogue.h"
#include "commands.h"
#include "exitCodes.h"
#include "files.h"
#include "lookup.h"
#include "request.h"
#include "session.h"

namespace cli {
namespace {

// The request text: the argument, standard input for "-", "{}" when absent.
std::string requestBody(const parsedArgs& args)
{
    if (args.positionals.size() < 3)
        return "{}";
    std::string body = args.positionals[2];
    if (body == "-")
        body = readAll("-");
    if (nlohmann::json::parse(body, nullptr, false).is_discarded())
        throw usageError("the request text is not valid JSON");
    return body;
}

template <typename T>
T numberOption(const parsedArgs& args, const char* name, T fallback)
{
    if (!args.has(name))
        return fallback;
    long long value = 0;
    if (!parseNumber(args.value(name), std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), value))
        throw usageError(std::string("--") + name + " needs a whole number");
    return static_cast<T>(value);
}

int runCall(const invocation& call)
{
    requestSpec spec;
    spec.service = resolveService(call.args.positionals[0]);
    spec.msgType = resolveMethod(spec.service, call.args.positionals[1]);
    spec.version = numberOption<int32_t>(call.args, "req-version", 1);
    spec.extend = numberOption<int64_t>(call.args, "extend", 0);
    spec.body = requestBody(call.args);

    session login(call.config.login);
    vpkiResp resp;
    sendRequest(spec, resp);
    call.out.document(responseToJson(resp));
    if (resp.errCode != 0)
        throw serviceRefusal(std::string(vant::serviceWireName(spec.service)) + ":" +
                                 vant::catalogueMethod(spec.service, spec.msgType),
                             resp);
    return exitOk;
}

} // namespace

command callCommand()
{
    return {"call",
            "send one request to any catalogued method",
            "Usage: tessera call [OPTIONS] SERVICE METHOD [JSON]\n"
            "\n"
            "Sends one request and prints the response record: respid, msgType,\n"
            "version, errCode, extend and the body (under \"body\" when it is JSON,\n"
            "under \"bodyText\" otherwise).\n"
            "\n"
            "SERVICE  deviceOperator, enrollPlugin, signxPlugin, vmailPlugin; or\n"
            "         devService, enRollService, signXService, vmailService; or\n"
            "         DEVSERVICE, ENROLLSERVICE, SIGNXSERVICE, VMAILSERVICE; or 0 to 3.\n"
            "METHOD   a method name (getDevInfo) or its message type (17);\n"
            "         'tessera methods SERVICE' lists them.\n"
            "JSON     the request text; '-' reads it from standard input; {} when absent.\n"
            "\n"
            "Options:\n"
            "  --req-version N  version field of the request (default 1)\n"
            "  --extend N       extend field of the request (default 0)\n"
            "\n"
            "The exit status is 1 when the service answers with a non-zero errCode\n"
            "(the response is printed all the same, and standard error names the\n"
            "errCode and the service's error text).\n"
            "\n"
            "Example:\n"
            "  tessera call deviceOperator getDevInfo '{\"devID\":\"SIM-RSA-01\"}'\n",
            {{"req-version", true}, {"extend", true}},
            2,
            3,
            runCall};
}

} // namespace cli
