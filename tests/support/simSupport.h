// pkisim helpers for the tests, without GoogleTest or the client library:
// faults made in one call, and selections from the record of calls.
#ifndef TESSERA_TESTS_SIM_SUPPORT_H
#define TESSERA_TESTS_SIM_SUPPORT_H

#include <string>
#include <vector>

#include "simServer.h"

namespace testsupport {

// A fault of kind `what` for the next call of `method`.
pkisim::fault faultOf(pkisim::fault::kind what, const std::string& method = "deviceOperator:getDevices");

// A scripted answer (errCode, body) for the next call of `method`.
pkisim::fault replyOf(const std::string& method, int32_t errCode, const std::string& jsonBody);

// Calls of the record that arrived on the request port (the listener's polls
// arrive on the notification port).
std::vector<pkisim::recordedCall> requestCalls(pkisim::server& sim);

// Calls of the record whose wire name is `wireName`.
std::vector<pkisim::recordedCall> callsNamed(pkisim::server& sim, const std::string& wireName);

} // namespace testsupport

#endif // TESSERA_TESTS_SIM_SUPPORT_H
