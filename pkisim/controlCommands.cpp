#include "controlCommands.h"

#include <functional>
#include <limits>
#include <map>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "commdef_types.h"
#include "faultList.h"
#include "replyBodies.h"
#include "simServer.h"

namespace pkisim {

using nlohmann::json;
namespace wire = ::com::vant::cbb::pkimid;

namespace {

using command = std::function<json(server&, const json&)>;

// Reads an optional member of the request; a member of the wrong type is an error.
template <typename T>
T member(const json& request, const char* name, T fallback)
{
    const auto found = request.find(name);
    if (found == request.end())
        return fallback;
    const std::string quoted = std::string("\"") + name + "\"";
    if constexpr (std::is_same_v<T, std::string>) {
        if (!found->is_string())
            throw std::invalid_argument(quoted + " must be a string");
        return found->get<std::string>();
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!found->is_boolean())
            throw std::invalid_argument(quoted + " must be true or false");
        return found->get<bool>();
    } else {
        if (!found->is_number_integer())
            throw std::invalid_argument(quoted + " must be an integer");
        const int64_t value = found->get<int64_t>();
        if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
            throw std::invalid_argument(quoted + " is out of range");
        return static_cast<T>(value);
    }
}

template <typename T>
T required(const json& request, const char* name)
{
    if (!request.contains(name))
        throw std::invalid_argument(std::string("missing \"") + name + "\"");
    return member<T>(request, name, T());
}

json okWith(json results = json::object())
{
    results["ok"] = true;
    return results;
}

json deviceJson(const deviceSpec& device)
{
    return {{"devId", device.devId}, {"label", device.label}, {"keyType", device.keyType}};
}

json callJson(const recordedCall& call)
{
    return {{"wireName", call.wireName},   {"seqid", call.seqid},       {"hasTicket", call.hasTicket},
            {"sessionID", call.sessionID}, {"ticket", call.ticket},     {"hasRequest", call.hasRequest},
            {"reqid", call.reqid},         {"msgType", call.msgType},   {"version", call.version},
            {"extend", call.extend},       {"jsonBody", call.jsonBody}, {"port", call.port},
            {"peerPort", call.peerPort}};
}

json faultJson(const fault& f)
{
    return {{"kind", faultKindName(f.what)}, {"method", f.method}, {"count", f.count}};
}

// "inserted", "removed", "modified", "session-closed" or the number itself.
int32_t eventType(const json& request)
{
    static const std::map<std::string, int32_t> names = {
        {"inserted", wire::enMsgType::enMsg_NotifyerDevin},
        {"removed", wire::enMsgType::enMsg_NotifyerDevOut},
        {"modified", wire::enMsgType::enMsg_NotifyerDevModify},
        {"session-closed", wire::enMsgType::enMsg_NotifyerSessionClose}};
    const auto found = request.find("msgType");
    if (found != request.end() && found->is_number())
        return member<int32_t>(request, "msgType", 0);
    const auto name = names.find(required<std::string>(request, "msgType"));
    if (name == names.end())
        throw std::invalid_argument("unknown event type (inserted, removed, modified, session-closed or a number)");
    return name->second;
}

fault faultFrom(const json& request)
{
    const auto what = faultKindFromName(required<std::string>(request, "kind"));
    if (!what)
        throw std::invalid_argument("unknown fault kind");
    fault f;
    f.what = *what;
    f.method = member(request, "method", f.method);
    f.count = member(request, "count", f.count);
    f.delayMs = member(request, "delayMs", f.delayMs);
    f.message = member(request, "message", f.message);
    f.rawWire = member(request, "rawWire", f.rawWire);
    f.paceMs = member(request, "paceMs", f.paceMs);
    f.status = member(request, "status", f.status);
    f.errCode = member(request, "errCode", f.errCode);
    f.respid = member(request, "respid", f.respid);
    f.msgType = member(request, "msgType", f.msgType);
    f.version = member(request, "version", f.version);
    f.extend = member(request, "extend", f.extend);
    f.jsonBody = member(request, "jsonBody", f.jsonBody);
    return f;
}

json status(server& target, const json&)
{
    return okWith({{"running", target.running()},
                   {"version", PKISIM_VERSION},
                   {"port", target.port()},
                   {"notifyPort", target.notifyPort()},
                   {"sessions", target.sessions().size()},
                   {"devices", target.devices().size()},
                   {"connections", target.openConnections()},
                   {"calls", target.callCount()},
                   {"faults", target.pendingFaults().size()}});
}

json devices(server& target, const json&)
{
    json list = json::array();
    for (const deviceSpec& device : target.devices())
        list.push_back(deviceJson(device));
    return okWith({{"devices", list}});
}

json insert(server& target, const json& request)
{
    deviceSpec spec;
    spec.devId = member(request, "devId", spec.devId);
    spec.label = member(request, "label", spec.label);
    spec.keyType = member(request, "keyType", spec.keyType);
    return okWith({{"devId", target.insertDevice(spec)}});
}

json expectFound(bool found, const std::string& what)
{
    if (!found)
        throw std::invalid_argument(what);
    return okWith();
}

json remove(server& target, const json& request)
{
    return expectFound(target.removeDevice(required<std::string>(request, "devId")), "no such device");
}

json modify(server& target, const json& request)
{
    const std::string devId = required<std::string>(request, "devId");
    return expectFound(target.modifyDevice(devId, required<std::string>(request, "label")), "no such device");
}

json sessions(server& target, const json&)
{
    json list = json::array();
    for (const sessionInfo& session : target.sessions())
        list.push_back({{"sessionID", session.sessionID}, {"ticket", session.ticket}, {"appName", session.appName}});
    return okWith({{"sessions", list}});
}

json closeSession(server& target, const json& request)
{
    return expectFound(target.closeSession(required<int64_t>(request, "sessionID")), "no such session");
}

json expireSession(server& target, const json& request)
{
    return expectFound(target.expireSession(required<int64_t>(request, "sessionID")), "no such session");
}

json pushEvent(server& target, const json& request)
{
    target.pushEvent(eventType(request), member<std::string>(request, "jsonBody", "{}"));
    return okWith();
}

json injectFault(server& target, const json& request)
{
    target.injectFault(faultFrom(request));
    return okWith();
}

json clearFaults(server& target, const json&)
{
    target.clearFaults();
    return okWith();
}

json faults(server& target, const json&)
{
    json list = json::array();
    for (const fault& f : target.pendingFaults())
        list.push_back(faultJson(f));
    return okWith({{"faults", list}});
}

json calls(server& target, const json& request)
{
    const std::vector<recordedCall> record = member(request, "clear", false) ? target.takeCalls() : target.calls();
    const size_t last = static_cast<size_t>(member<int64_t>(request, "last", 0));
    const size_t first = last > 0 && last < record.size() ? record.size() - last : 0;
    json list = json::array();
    for (size_t i = first; i < record.size(); ++i)
        list.push_back(callJson(record[i]));
    return okWith({{"calls", list}, {"total", target.callCount()}});
}

json pemOf(const std::string& pem)
{
    if (pem.empty())
        throw std::invalid_argument("no such device");
    return okWith({{"pem", pem}});
}

json certificate(server& target, const json& request)
{
    return pemOf(target.certificatePem(required<std::string>(request, "devId")));
}

json publicKey(server& target, const json& request)
{
    return pemOf(target.publicKeyPem(required<std::string>(request, "devId")));
}

const std::map<std::string, command>& commands()
{
    static const std::map<std::string, command> table = {
        {"status", status},
        {"devices", devices},
        {"insert", insert},
        {"remove", remove},
        {"modify", modify},
        {"sessions", sessions},
        {"close-session", closeSession},
        {"expire-session", expireSession},
        {"event", pushEvent},
        {"fault", injectFault},
        {"clear-faults", clearFaults},
        {"faults", faults},
        {"calls", calls},
        {"certificate", certificate},
        {"public-key", publicKey},
    };
    return table;
}

json run(server& target, const std::string& requestLine)
{
    const json request = json::parse(requestLine, nullptr, false);
    if (request.is_discarded() || !request.is_object())
        throw std::invalid_argument("a command is a JSON object");
    const auto found = commands().find(required<std::string>(request, "command"));
    if (found == commands().end())
        throw std::invalid_argument("unknown command");
    return found->second(target, request);
}

} // namespace

std::string runControlCommand(server& target, const std::string& requestLine)
{
    try {
        return jsonText(run(target, requestLine));
    } catch (const std::exception& e) {
        return jsonText({{"ok", false}, {"error", e.what()}});
    }
}

} // namespace pkisim
