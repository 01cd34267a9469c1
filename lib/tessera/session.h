// Login and logout: the session with the service.
#ifndef TESSERA_SESSION_H
#define TESSERA_SESSION_H

#include <cstdint>
#include <string>

// Reads the four string members of an accepted login's body, the numbers as
// strtoll reads them (timeout and port held to int32's range). False, writing
// no output, when the body is not a JSON object or one of the four is missing
// or not a string.
bool parseLoginResponse(const std::string& body, int64_t& sessionID, std::string& ticket, int32_t& timeout,
                        int32_t& notifyPort);

// The login text: {"appName":...,"appID":...,"token":...} with JSON escaping.
std::string makeLoginText(const char* appName, const char* appID, const char* token);

// The automatic login with the stored credentials, which the listener runs
// when the service lost the session. Does nothing once the agent is stopping.
void reloginAgent();

#endif // TESSERA_SESSION_H
