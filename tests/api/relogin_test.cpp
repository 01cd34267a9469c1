// The listener's own login after the service reports the session lost. The
// listener waits at least 30 s after it started before its first attempt, so
// these tests take that long.
#include <chrono>

#include "notifyLog.h"
#include "serviceFixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::callsNamed;
using testsupport::fillRequest;
using testsupport::waitUntil;

class relogin : public testsupport::serviceTest {
protected:
    void SetUp() override
    {
        serviceTest::SetUp();
        createAndLogin(&notifyLog::record, nullptr, &log);
        loggedInAt = std::chrono::steady_clock::now();
    }

    bool waitForLogins(size_t count)
    {
        return sim->waitForCalls(
            [count](const std::vector<pkisim::recordedCall>& calls) {
                size_t logins = 0;
                for (const auto& call : calls)
                    logins += call.wireName == "vantService:login";
                return logins >= count;
            },
            45000ms);
    }

    notifyLog log;
    std::chrono::steady_clock::time_point loggedInAt;
};

TEST_F(relogin, aLostSessionIsRecoveredWithoutLosingEvents)
{
    sim->expireSession(sim->sessions().at(0).sessionID);
    sim->pushEvent(VPKI_NOTIFY_DEVICE_MODIFIED, "{\"while\":\"lost\"}");
    ASSERT_TRUE(waitForLogins(2));
    EXPECT_GE(std::chrono::steady_clock::now() - loggedInAt, 29500ms);
    EXPECT_EQ(callsNamed(*sim, "vantService:login").size(), 2u);

    sim->pushEvent(VPKI_NOTIFY_DEVICE_MODIFIED, "{\"after\":\"login\"}");
    ASSERT_TRUE(waitUntil([&] { return log.size() == 2; }));
    const auto events = log.snapshot();
    EXPECT_EQ(events[0].body, "{\"while\":\"lost\"}");
    EXPECT_EQ(events[1].body, "{\"after\":\"login\"}");

    vpkiReq req;
    fillRequest(req, 16, "{}");
    vpkiResp resp;
    ASSERT_TRUE(reqSync(DEVSERVICE, &req, &resp));
    EXPECT_EQ(resp.errCode, 0);
}

TEST_F(relogin, releaseDuringAReloginOnASilentServiceReturnsWithinASecond)
{
    pkisim::fault silent;
    silent.what = pkisim::fault::silent;
    silent.method = "vantService:login";
    sim->injectFault(silent);
    sim->expireSession(sim->sessions().at(0).sessionID);
    ASSERT_TRUE(waitForLogins(2));
    const auto start = std::chrono::steady_clock::now();
    releaseAgent();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
}

} // namespace
