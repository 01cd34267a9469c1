// Several request connections (setAgentMaxConnections): a fast exchange does
// not wait behind a slow one on another connection, a login in the middle of
// exchanges gives each its own answer and the new ticket only to those that
// start after it, and a release ends every busy exchange at once. With one
// connection, the default, exchanges still take turns.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "serviceFixture.h"

namespace {

using testsupport::callsNamed;
using testsupport::faultOf;
using testsupport::fillRequest;
using testsupport::getDevicesWorks;

class connections : public testsupport::serviceTest {
protected:
    void SetUp() override
    {
        serviceTest::SetUp();
        createAndLogin();
    }

    // The next `count` calls of `method` wait `ms` (or, with ms 0, are never answered).
    void holdCalls(const char* method, int count, int ms)
    {
        pkisim::fault held = faultOf(ms > 0 ? pkisim::fault::delay : pkisim::fault::silent, method);
        held.count = count;
        held.delayMs = ms;
        sim->injectFault(held);
    }

    bool callsArrived(const char* method, size_t count)
    {
        return sim->waitForCalls([&](const auto&) { return callsNamed(*sim, method).size() >= count; }, 20s);
    }
};

TEST_F(connections, aFastExchangeWaitsBehindASlowOneOnlyWhenTheyShareTheConnection)
{
    for (int n : {1, 4}) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(setAgentMaxConnections(n));
        sim->clearCalls();
        holdCalls("signxPlugin:signData", 1, 1000);
        std::thread slow([] {
            vpkiReq req;
            fillRequest(req, VPKI_SIGNX_signData, "{}");
            vpkiResp resp;
            EXPECT_TRUE(reqSync(SIGNXSERVICE, &req, &resp));
        });
        ASSERT_TRUE(callsArrived("signxPlugin:signData", 1));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(getDevicesWorks());
        const auto took = std::chrono::steady_clock::now() - start;
        slow.join();
        if (n == 1) {
            EXPECT_GE(took, 500ms) << "one connection: the fast exchange takes its turn";
        } else {
            EXPECT_LT(took, 500ms) << "a connection of its own";
        }
    }
}

TEST_F(connections, aLoginAmidExchangesLeavesEachItsOwnAnswerAndTicket)
{
    ASSERT_TRUE(setAgentMaxConnections(4));
    const int64_t before = sim->sessions().at(0).sessionID;
    holdCalls("deviceOperator:getDevInfo", 3, 500);
    std::vector<std::thread> inFlight;
    std::atomic<int> ownAnswers{0};
    for (int i = 1; i <= 3; ++i)
        inFlight.emplace_back([&, i] {
            vpkiReq req;
            fillRequest(req, VPKI_DEV_getDevInfo, "{\"devID\":\"SIM-RSA-01\"}", 1, i);
            vpkiResp resp;
            ownAnswers += reqSync(DEVSERVICE, &req, &resp) && resp.extend == i;
        });
    ASSERT_TRUE(callsArrived("deviceOperator:getDevInfo", 3));
    ASSERT_TRUE(loginDemo()) << "on a connection of its own, while three are busy";
    for (auto& t : inFlight)
        t.join();
    EXPECT_EQ(ownAnswers, 3);
    ASSERT_TRUE(getDevicesWorks());
    for (const auto& call : callsNamed(*sim, "deviceOperator:getDevInfo"))
        EXPECT_EQ(call.sessionID, before) << "started before the login";
    EXPECT_NE(callsNamed(*sim, "deviceOperator:getDevices").back().sessionID, before) << "started after it";
}

TEST_F(connections, aReleaseEndsEveryBusyExchangeAtOnce)
{
    ASSERT_TRUE(setAgentMaxConnections(4));
    holdCalls("deviceOperator:getDevices", 4, 0);
    std::vector<std::thread> busy;
    std::atomic<int> interrupted{0};
    for (int i = 0; i < 4; ++i)
        busy.emplace_back([&] { interrupted += !getDevicesWorks() && agentLastError() == VPKI_ERR_INTERRUPTED; });
    ASSERT_TRUE(callsArrived("deviceOperator:getDevices", 4));
    EXPECT_EQ(vant::theAgent().requestConnections().openCount(), 4u);
    const auto start = std::chrono::steady_clock::now();
    releaseAgent();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "about a second, with room for slow builds";
    for (auto& t : busy)
        t.join();
    EXPECT_EQ(interrupted, 4);
    EXPECT_EQ(vant::theAgent().requestConnections().openCount(), 0u);
}

} // namespace
