// Waiting on a condition instead of sleeping a fixed time.
#ifndef TESSERA_TESTS_WAIT_UNTIL_H
#define TESSERA_TESTS_WAIT_UNTIL_H

#include <chrono>
#include <functional>

namespace testsupport {

// Polls `condition` until it holds or `timeout` passes; returns whether it
// held. The timeout only ends a wait for something that never comes.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(20));

} // namespace testsupport

#endif // TESSERA_TESTS_WAIT_UNTIL_H
