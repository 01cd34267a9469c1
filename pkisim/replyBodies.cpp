#include "replyBodies.h"

#include "deviceOps.h"

namespace pkisim {

std::string errorBody(const std::string& why)
{
    return jsonText({{"error", why}});
}

std::string loginBody(const sessionInfo& session, int32_t timeoutSeconds, uint16_t notifyPort)
{
    return jsonText({{"sessionID", std::to_string(session.sessionID)},
                     {"ticket", session.ticket},
                     {"timeout", std::to_string(timeoutSeconds)},
                     {"notifyPort", std::to_string(notifyPort)}});
}

std::string deviceEventBody(const deviceSpec& device, const std::string& what)
{
    nlohmann::json body = deviceSummary(device);
    body["event"] = what;
    return jsonText(body);
}

std::string sessionClosedBody(int64_t sessionID, const std::string& reason)
{
    return jsonText({{"sessionID", std::to_string(sessionID)}, {"event", "closed"}, {"reason", reason}});
}

} // namespace pkisim
