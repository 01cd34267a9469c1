// JSON bodies that the service core writes: errors, login, events.
#ifndef PKISIM_REPLY_BODIES_H
#define PKISIM_REPLY_BODIES_H

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "deviceRequest.h"
#include "simTypes.h"

namespace pkisim {

// {"error": why}
std::string errorBody(const std::string& why);
// {"sessionID","ticket","timeout","notifyPort"}, every member a decimal or plain string.
std::string loginBody(const sessionInfo& session, int32_t timeoutSeconds, uint16_t notifyPort);
// {"devID","label","keyType","event"}: the getDevices entry and the event; `what` is "inserted", "removed" or
// "modified".
std::string deviceEventBody(const deviceSpec& device, const std::string& what);
// {"sessionID","event":"closed","reason"}
std::string sessionClosedBody(int64_t sessionID, const std::string& reason);

} // namespace pkisim

#endif // PKISIM_REPLY_BODIES_H
