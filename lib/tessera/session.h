// Login and logout: the session with the service.
#ifndef TESSERA_SESSION_H
#define TESSERA_SESSION_H

#include <cstdint>
#include <string>

// Longest session time-out a login may report, in seconds (a day): the
// notification connection's deadline, which must not leave a stalled
// service unnoticed for longer.
constexpr uint64_t maxSessionTimeout = 86400;

// Reads the four string members of an accepted login's body: "sessionID" a
// decimal integer, "timeout" decimal seconds from 1 to maxSessionTimeout,
// "notifyPort" a decimal port from 1 to 65535, each the whole text (digits
// only), and "ticket" as it stands. False, writing no output, for a body that
// is not a JSON object, or whose members are missing, not strings, or not
// such numbers.
bool parseLoginResponse(const std::string& body, int64_t& sessionID, std::string& ticket, int32_t& timeout,
                        int32_t& notifyPort);

// The login text: {"appName":...,"appID":...,"token":...} with JSON escaping.
std::string makeLoginText(const char* appName, const char* appID, const char* token);

// The automatic login with the stored credentials, which the listener runs
// when the service lost the session. Does nothing once the agent is stopping.
void reloginAgent();

#endif // TESSERA_SESSION_H
