// The listener's own login after the service reports the session lost: at
// most one per interval (shortened here from 30 s), without losing events,
// and a release during it returns promptly.
#include "callbackLogs.h"
#include "serviceFixture.h"

namespace {

using testsupport::callsNamed;
using testsupport::waitUntil;

constexpr auto interval = 1500ms;

class relogin : public testsupport::serviceTest {
protected:
    void SetUp() override
    {
        serviceTest::SetUp();
        vant::theAgent().waits().reloginIntervalMs = interval.count();
        started = std::chrono::steady_clock::now();
        createAndLogin(&notifyLog::record, nullptr, &log);
    }

    bool loginsCome(size_t count)
    {
        return waitUntil([&] { return callsNamed(*sim, "vantService:login").size() >= count; });
    }

    notifyLog log;
    std::chrono::steady_clock::time_point started;
};

TEST_F(relogin, aLostSessionIsRecoveredOncePerIntervalWithoutLosingEvents)
{
    sim->expireSession(sim->sessions().at(0).sessionID);
    sim->pushEvent(VPKI_NOTIFY_DEVICE_MODIFIED, "{\"while\":\"lost\"}");
    ASSERT_TRUE(loginsCome(2));
    EXPECT_GE(std::chrono::steady_clock::now() - started, interval - 100ms);

    sim->pushEvent(VPKI_NOTIFY_DEVICE_MODIFIED, "{\"after\":\"login\"}");
    ASSERT_TRUE(waitUntil([&] { return log.size() == 2; }));
    const auto events = log.snapshot();
    EXPECT_EQ(events[0].body, "{\"while\":\"lost\"}");
    EXPECT_EQ(events[1].body, "{\"after\":\"login\"}");
    EXPECT_TRUE(testsupport::getDevicesWorks());
    EXPECT_EQ(callsNamed(*sim, "vantService:login").size(), 2u);
}

TEST_F(relogin, releaseDuringAReloginOnASilentServiceReturnsPromptly)
{
    sim->injectFault(testsupport::faultOf(pkisim::fault::silent, "vantService:login"));
    sim->expireSession(sim->sessions().at(0).sessionID);
    ASSERT_TRUE(loginsCome(2));
    // The silent login would hold the listener for the request time-out (15 s).
    const auto start = std::chrono::steady_clock::now();
    releaseAgent();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "about a second, with room for slow builds";
}

} // namespace
