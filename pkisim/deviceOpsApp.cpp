// Applications and containers of a device.
#include "deviceOps.h"

namespace pkisim {
namespace ops {
namespace {

using json = nlohmann::json;

constexpr int maxRetryCount = 15;

template <class Map>
json namesOf(const Map& things)
{
    json names = json::array();
    for (const auto& entry : things)
        names.push_back(entry.first);
    return names;
}

[[noreturn]] void alreadyExists(const char* kind, const std::string& name)
{
    throw requestError(errCode::badRequest, std::string(kind) + " \"" + name + "\" already exists");
}

} // namespace

json getAppList(const request& req)
{
    return {{"apps", namesOf(requestedDevice(req).apps)}};
}

json createApp(const request& req)
{
    device& dev = requestedDevice(req);
    const std::string& name = newNameMember(req.body, "appName");
    application app(newPinMember(req.body, "adminPin"),
                    intMember(req.body, "adminRetryCount", 1, maxRetryCount, defaultAdminRetries),
                    newPinMember(req.body, "userPin"),
                    intMember(req.body, "userRetryCount", 1, maxRetryCount, defaultUserRetries));
    if (!dev.apps.emplace(name, std::move(app)).second)
        alreadyExists("application", name);
    return {{"appName", name}};
}

json delApp(const request& req)
{
    device& dev = requestedDevice(req);
    requestedApp(req); // errCode 5 when missing
    dev.apps.erase(stringMember(req.body, "appName"));
    return json::object();
}

json getContainers(const request& req)
{
    return {{"containers", namesOf(requestedApp(req).containers)}};
}

json createContainer(const request& req)
{
    application& app = requestedApp(req);
    const std::string& name = newNameMember(req.body, "conName");
    if (!app.containers.emplace(name, container{}).second)
        alreadyExists("container", name);
    return {{"conName", name}};
}

json delContainer(const request& req)
{
    application& app = requestedApp(req);
    requestedContainer(req); // errCode 5 when missing
    app.containers.erase(stringMember(req.body, "conName"));
    return json::object();
}

json getContainerType(const request& req)
{
    return {{"containerType", containerType(requestedContainer(req))}};
}

} // namespace ops
} // namespace pkisim
