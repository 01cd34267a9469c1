#include "appRegistry.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "simTypes.h"

namespace pkisim {

namespace {

std::string readWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("pkisim: cannot read the applications file " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string stringMember(const nlohmann::json& entry, const char* name, const std::string& where)
{
    const auto found = entry.find(name);
    if (found == entry.end() || !found->is_string())
        throw std::runtime_error(where + ": member \"" + name + "\" missing or not a string");
    return found->get<std::string>();
}

} // namespace

appRegistry::appRegistry()
{
    apps.push_back({demoAppName, demoAppID, demoToken});
}

void appRegistry::loadFile(const std::string& path)
{
    const nlohmann::json list = nlohmann::json::parse(readWhole(path), nullptr, false);
    if (list.is_discarded() || !list.is_array())
        throw std::runtime_error("pkisim: " + path + " is not a JSON array of applications");
    std::vector<application> loaded;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string where = "pkisim: " + path + " entry " + std::to_string(i);
        if (!list[i].is_object())
            throw std::runtime_error(where + " is not an object");
        loaded.push_back({stringMember(list[i], "appName", where), stringMember(list[i], "appID", where),
                          stringMember(list[i], "token", where)});
    }
    apps.insert(apps.end(), loaded.begin(), loaded.end());
}

bool appRegistry::accepts(const std::string& appName, const std::string& appID, const std::string& token) const
{
    for (const application& app : apps)
        if (app.appName == appName && app.appID == appID && app.token == token)
            return true;
    return false;
}

} // namespace pkisim
