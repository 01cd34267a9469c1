#include "sessionService.h"

#include <chrono>

#include "errCodes.h"
#include "replyBodies.h"

namespace pkisim {

namespace {

bool readCredentials(const std::string& body, std::string& appName, std::string& appID, std::string& token)
{
    const nlohmann::json login = nlohmann::json::parse(body, nullptr, false);
    if (login.is_discarded() || !login.is_object())
        return false;
    for (auto [name, value] : {std::pair{"appName", &appName}, {"appID", &appID}, {"token", &token}}) {
        const auto found = login.find(name);
        if (found == login.end() || !found->is_string())
            return false;
        *value = found->get<std::string>();
    }
    return true;
}

} // namespace

wire::msgResponse answerTo(const wire::msgRequest& request, int32_t errCode, const std::string& body)
{
    wire::msgResponse response;
    response.__set_respid(request.reqid);
    response.__set_msgType(request.msgType);
    response.__set_version(request.version);
    response.__set_errCode(errCode);
    response.__set_extend(request.extend);
    response.__set_jsonBody(body);
    return response;
}

wire::msgResponse unknownSession(const wire::msgRequest& request)
{
    return answerTo(request, errCode::sessionUnknown, errorBody("session unknown or ended"));
}

sessionService::sessionService(const appRegistry& apps, sessionTable& sessions, eventLog& events,
                               const sessionSettings& settings)
    : apps(apps),
      sessions(sessions),
      events(events),
      settings(settings)
{
}

wire::msgResponse sessionService::login(const wire::msgRequest& request)
{
    std::string appName, appID, token;
    if (!readCredentials(request.jsonBody, appName, appID, token))
        return answerTo(request, errCode::badRequest,
                        errorBody("login body must be a JSON object with string members appName, appID, token"));
    if (!apps.accepts(appName, appID, token))
        return answerTo(request, errCode::loginRefused, errorBody("unknown application or wrong token"));
    int64_t evicted = 0;
    const sessionInfo opened = sessions.open(appName, evicted);
    if (evicted != 0)
        events.lose(evicted);
    events.join(opened.sessionID, appName);
    return answerTo(request, errCode::success, loginBody(opened, settings.timeoutSeconds, settings.notifyPort.load()));
}

wire::msgResponse sessionService::logout(const wire::sessionTicket& ticket)
{
    wire::msgRequest none;
    none.msgType = wire::enMsgType::enMsg_LogOut;
    if (sessions.check(ticket) == sessionState::unknown)
        return unknownSession(none);
    sessions.end(ticket.sessionID);
    events.leave(ticket.sessionID);
    return answerTo(none, errCode::success, "{}");
}

wire::msgResponse sessionService::getNotify(const wire::sessionTicket& ticket, const wire::msgRequest& request)
{
    const sessionState state = sessions.check(ticket);
    if (state == sessionState::unknown)
        return unknownSession(request);
    const std::chrono::milliseconds wait(state == sessionState::active ? settings.longPollMs : 0);
    const eventLog::pollResult polled = events.poll(ticket.sessionID, request.extend, wait);
    if (polled.found)
        return deliver(request, polled, ticket.sessionID);
    // A closing session with nothing left to deliver, or one that ended while waiting.
    if (state == sessionState::closing || sessions.check(ticket) == sessionState::unknown) {
        sessions.end(ticket.sessionID);
        events.lose(ticket.sessionID);
        return unknownSession(request);
    }
    wire::msgResponse nothing = answerTo(request, errCode::noEvent, "{}");
    nothing.__set_extend(polled.cursor);
    return nothing;
}

wire::msgResponse sessionService::deliver(const wire::msgRequest& request, const eventLog::pollResult& polled,
                                          int64_t sessionID)
{
    const event& delivered = polled.delivered;
    if (delivered.msgType == wire::enMsgType::enMsg_NotifyerSessionClose && delivered.sessionID == sessionID) {
        sessions.end(sessionID);
        events.lose(sessionID);
    }
    wire::msgResponse response = answerTo(request, errCode::success, delivered.body);
    response.__set_msgType(delivered.msgType);
    response.__set_extend(polled.cursor);
    return response;
}

wire::msgResponse sessionService::getVersions(const wire::sessionTicket& ticket, const wire::msgRequest& request)
{
    if (sessions.check(ticket) == sessionState::unknown)
        return unknownSession(request);
    const nlohmann::json services = {"vantService", "deviceOperator", "enrollPlugin", "signxPlugin", "vmailPlugin"};
    return answerTo(request, errCode::success,
                    jsonText({{"service", "pkisim"}, {"version", PKISIM_VERSION}, {"services", services}}));
}

bool sessionService::closeSession(int64_t sessionID)
{
    if (!sessions.markClosing(sessionID))
        return false;
    events.post(wire::enMsgType::enMsg_NotifyerSessionClose, sessionClosedBody(sessionID, "closed by the service"),
                sessionID);
    return true;
}

bool sessionService::expireSession(int64_t sessionID)
{
    if (!sessions.end(sessionID))
        return false;
    events.lose(sessionID);
    return true;
}

} // namespace pkisim
