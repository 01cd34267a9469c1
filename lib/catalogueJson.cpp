// Writes catalogue.json, the lists of tessera_catalogue.h for programs in
// other languages: the services and their methods, the service's result
// codes, the notification types and the library's failure codes, with the
// version of the header. Run at build time; the file is installed with the
// development files.
//
// usage: catalogue-json OUTPUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "tessera.h"

namespace {

using json = nlohmann::ordered_json;

struct method {
    const char* service; // the PKI_SERVICE enumerator without "SERVICE"
    int value;           // its PKI_SERVICE value
    const char* name;
    int msgType; // 0 when no message type selects the method
};

#define JSON_SELECTABLE(service, name, msgType) {#service, service##SERVICE, #name, msgType},
#define JSON_UNSELECTABLE(service, name) {#service, service##SERVICE, #name, 0},
const method methods[] = {VPKI_METHODS(JSON_SELECTABLE, JSON_UNSELECTABLE)};
#undef JSON_SELECTABLE
#undef JSON_UNSELECTABLE

// The services in the order of the lists, which is PKI_SERVICE's.
json services()
{
    json all = json::array();
    for (const method& m : methods) {
        if (all.empty() || all.back()["name"] != m.service)
            all.push_back({{"name", m.service},
                           {"enum", std::string(m.service) + "SERVICE"},
                           {"value", m.value},
                           {"methods", json::array()},
                           {"unselectable", json::array()}});
        if (m.msgType != 0)
            all.back()["methods"].push_back({{"name", m.name}, {"msgType", m.msgType}});
        else
            all.back()["unselectable"].push_back(m.name);
    }
    return all;
}

json results()
{
    json all = json::array();
#define JSON_RESULT(name, code, meaning) all.push_back({{"name", #name}, {"code", code}, {"meaning", meaning}});
    VPKI_RESULTS(JSON_RESULT)
#undef JSON_RESULT
    return all;
}

json notifications()
{
    json all = json::array();
#define JSON_NOTIFICATION(name, msgType, contractName, meaning) \
    all.push_back({{"name", #name}, {"msgType", msgType}, {"serviceName", #contractName}, {"meaning", meaning}});
    VPKI_NOTIFICATIONS(JSON_NOTIFICATION)
#undef JSON_NOTIFICATION
    return all;
}

json errors()
{
    json all = json::array();
#define JSON_ERROR(name, code, text) all.push_back({{"name", #name}, {"code", code}, {"text", text}});
    VPKI_ERRORS(JSON_ERROR)
#undef JSON_ERROR
    return all;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: catalogue-json OUTPUT\n";
        return 2;
    }
    const json catalogue = {{"version", TESSERA_CATALOGUE_VERSION},
                            {"services", services()},
                            {"results", results()},
                            {"notifications", notifications()},
                            {"errors", errors()}};
    // Written under another name first: a build stopped half-way leaves no
    // file that looks up to date.
    const std::string output = argv[1];
    const std::string partial = output + ".partial";
    {
        std::ofstream file(partial, std::ios::trunc);
        file << catalogue.dump(1) << '\n';
        if (!file.flush()) {
            std::cerr << "catalogue-json: cannot write " << partial << '\n';
            return 1;
        }
    }
    if (std::rename(partial.c_str(), output.c_str()) != 0) {
        std::perror(("catalogue-json: " + output).c_str());
        return 1;
    }
    return 0;
}
