// tessera methods: the catalogue of services and methods that 'call' reaches.
#include "catalogue.h"
#include "commands.h"
#include "exitCodes.h"
#include "lookup.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;

json methodList(int onlyService)
{
    json list = json::array();
    for (const vant::catalogueEntry* e = vant::catalogueBegin(); e != vant::catalogueEnd(); ++e) {
        if (onlyService >= 0 && e->service != onlyService)
            continue;
        list.push_back({{"service", vant::serviceWireName(e->service)},
                        {"contract", vant::serviceContractName(e->service)},
                        {"msgType", e->msgType},
                        {"method", e->method}});
    }
    return list;
}

std::string methodTable(const json& list)
{
    std::string text;
    char line[128];
    for (const json& m : list) {
        std::snprintf(line, sizeof line, "%-16s %4d  %s\n", m["service"].get<std::string>().c_str(),
                      m["msgType"].get<int>(), m["method"].get<std::string>().c_str());
        text += line;
    }
    return text;
}

int runMethods(const invocation& call)
{
    const int service = call.args.positionals.empty() ? -1 : resolveService(call.args.positionals[0]);
    const json list = methodList(service);
    if (call.out.text())
        call.out.raw(methodTable(list));
    else
        call.out.document(list);
    return exitOk;
}

} // namespace

command methodsCommand()
{
    return {"methods",
            "list the services and the methods that 'call' reaches",
            "Usage: tessera methods [OPTIONS] [SERVICE]\n"
            "\n"
            "Lists the methods of one service, or of all four, with their message\n"
            "types. Needs no service.\n",
            {},
            0,
            1,
            runMethods};
}

} // namespace cli
