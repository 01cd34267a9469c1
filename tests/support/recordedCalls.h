// Selections from pkisim's record of the calls it received.
#ifndef TESSERA_TESTS_RECORDED_CALLS_H
#define TESSERA_TESTS_RECORDED_CALLS_H

#include <string>
#include <vector>

#include "simServer.h"

namespace testsupport {

// Calls of the record that arrived on the request port (the listener's polls
// arrive on the notification port).
std::vector<pkisim::recordedCall> requestCalls(pkisim::server& sim);

// Calls of the record whose wire name is `wireName`.
std::vector<pkisim::recordedCall> callsNamed(pkisim::server& sim, const std::string& wireName);

} // namespace testsupport

#endif // TESSERA_TESTS_RECORDED_CALLS_H
