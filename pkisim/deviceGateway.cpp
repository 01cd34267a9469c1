#include "deviceGateway.h"

#include <exception>
#include <optional>

#include "errCodes.h"
#include "replyBodies.h"
#include "sessionService.h"

namespace pkisim {

deviceGateway::deviceGateway(deviceStore& devices, sessionTable& sessions, eventLog& events)
    : devices(devices),
      sessions(sessions),
      events(events)
{
}

wire::msgResponse deviceGateway::call(const std::string& service, const std::string& method,
                                      const wire::sessionTicket& ticket, const wire::msgRequest& request)
{
    if (sessions.check(ticket) != sessionState::active)
        return unknownSession(request);
    std::string reply;
    int32_t code;
    try {
        code = devices.handle(service, method, request.jsonBody, reply);
    } catch (const std::exception& e) {
        // The device layer promises not to throw; a request must not take the connection down if it does.
        return answerTo(request, errCode::badRequest, errorBody(std::string("request failed: ") + e.what()));
    }
    if (code == errCode::success && service == "deviceOperator" && method == "setDevLable")
        announceRelabel(request.jsonBody);
    return answerTo(request, code, reply);
}

// A label set through the service is a device modification like any other.
void deviceGateway::announceRelabel(const std::string& requestBody)
{
    const nlohmann::json body = nlohmann::json::parse(requestBody, nullptr, false);
    if (!body.is_object() || !body.contains("devID") || !body["devID"].is_string())
        return;
    if (const std::optional<deviceSpec> device = devices.find(body["devID"].get<std::string>()))
        events.post(wire::enMsgType::enMsg_NotifyerDevModify, deviceEventBody(*device, "modified"));
}

} // namespace pkisim
