// pkisim in-process on the fixed ports for the tests of the library, which
// link its units (tessera_internal) so that they can shorten its waits.
#ifndef TESSERA_TESTS_SERVICE_FIXTURE_H
#define TESSERA_TESTS_SERVICE_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "agentOwner.h"
#include "simServer.h"
#include "simSupport.h"
#include "tessera.h"
#include "waitUntil.h"

// Every test of the library waits in these units.
using namespace std::chrono_literals;

namespace testsupport {

// A request record filled in one call.
void fillRequest(vpkiReq& req, int32_t msgType, const std::string& json, int32_t version = 1, int64_t extend = 0);

// getDevices through reqSync; true when the service answered errCode 0.
bool getDevicesWorks();

// Marks every field of a response so that a test can tell it was not touched.
void poisonResponse(vpkiResp& resp);
bool isPoisoned(const vpkiResp& resp);

// Starts pkisim on 127.0.0.1:18080/18081 before each test; after it the agent
// is released, the library's waits are as shipped again and the service stops.
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

#endif // TESSERA_TESTS_SERVICE_FIXTURE_H
