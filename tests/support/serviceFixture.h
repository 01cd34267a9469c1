// Test support: pkisim in-process on the fixed ports, and waiting on
// conditions instead of sleeping.
#ifndef TESSERA_TEST_SERVICE_FIXTURE_H
#define TESSERA_TEST_SERVICE_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "recordedCalls.h"
#include "simServer.h"
#include "tessera.h"

namespace testsupport {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `timeout` passes; returns whether it held.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5000ms);

// A request record filled in one call.
void fillRequest(vpkiReq& req, int32_t msgType, const std::string& json, int32_t version = 1,
                 int64_t extend = 0);

// Marks every field of a response so that a test can tell it was not touched.
void poisonResponse(vpkiResp& resp);
bool isPoisoned(const vpkiResp& resp);

// Starts pkisim on 127.0.0.1:18080/18081 before each test; the agent is
// released and the service stopped after it.
class serviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual pkisim::options serviceOptions() const { return pkisim::options(); }

    // createAgent with the given callbacks, then a login as the demo
    // application; asserts both succeed.
    void createAndLogin(agentNotifyFunc notifyFunc = nullptr, agentRespCB respCB = nullptr,
                        void* notifyParam = nullptr);
    bool loginDemo();
    // Replaces the service by a new one (every session lost) with `options`.
    void replaceService(pkisim::options options);

    std::unique_ptr<pkisim::server> sim;
};

} // namespace testsupport

#endif // TESSERA_TEST_SERVICE_FIXTURE_H
