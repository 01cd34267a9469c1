// A process with a logged-in agent forks while other threads of it are in
// the middle of requests (one, or two on two connections of the four it may
// have): the child has no agent (its calls fail as before createAgent), may
// create one of its own, never touches the parent's connections and exits at
// once whether or not it releases; the parent's requests complete.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "serviceFixture.h"

namespace {

using testsupport::getDevicesWorks;

// The child's exit status, or -1 when it did not end in time (it is then killed).
int childStatus(pid_t child, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int childWithItsOwnAgent()
{
    if (getDevicesWorks() || agentLastError() != VPKI_ERR_NOT_CREATED)
        return 10;
    vpkiReq req;
    if (reqAsync(DEVSERVICE, &req, nullptr) != 0 || agentLastError() != VPKI_ERR_NOT_CREATED)
        return 11;
    if (!createAgent(nullptr, nullptr, nullptr) ||
        !loginAgent(pkisim::demoAppName, pkisim::demoAppID, pkisim::demoToken))
        return 12;
    for (int i = 0; i < 20; ++i)
        if (!getDevicesWorks())
            return 13;
    return logoutAgent() ? 0 : 14;
}

// ThreadSanitizer cannot follow threads started in the child of a
// multithreaded process (it stops with "dup thread with used id" when the
// child's new thread reuses a stack of the parent's), so there the child that
// creates an agent of its own is left out.
#if defined(__SANITIZE_THREAD__)
constexpr bool childThreadsSupported = false;
#else
constexpr bool childThreadsSupported = true;
#endif

// Every thread of the parent waits in a call when it forks: the request
// thread for a delayed answer, the listener in a long poll. A thread busy in
// the allocator at that moment would leave its lock held in the child, which
// AddressSanitizer's allocator (unlike the C library's) does not take over a
// fork: the child's first new thread would wait for it for ever.
class forked : public testsupport::serviceTest, public testing::WithParamInterface<int> {
protected:
    pkisim::options serviceOptions() const override
    {
        pkisim::options o;
        o.longPollMs = 10000;
        return o;
    }
};

TEST_P(forked, childrenStartWithoutAnAgentAndExitAtOnceWhileTheParentIsMidRequest)
{
    const int connections = GetParam();
    const size_t inFlight = connections > 1 ? 2 : 1;
    ASSERT_TRUE(setAgentMaxConnections(connections));
    createAndLogin();
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return !testsupport::callsNamed(*sim, "vantService:getNotify").empty(); })); // the long poll
    const struct {
        const char* what;
        std::function<int()> child;
        bool startsThreads;
    } children[] = {
        {"exits", [] { return 0; }, false},
        {"releases",
         [] {
             releaseAgent();
             return 0;
         },
         false},
        {"creates an agent of its own", childWithItsOwnAgent, true},
    };
    for (const auto& c : children) {
        SCOPED_TRACE(c.what);
        if (c.startsThreads && !childThreadsSupported)
            continue;
        for (int round = 0; round < 2; ++round) {
            pkisim::fault slow = testsupport::faultOf(pkisim::fault::delay);
            slow.delayMs = 300;
            slow.count = static_cast<int>(inFlight);
            sim->injectFault(slow);
            sim->clearCalls();
            std::atomic<size_t> answered{0};
            std::vector<std::thread> parent;
            for (size_t i = 0; i < inFlight; ++i)
                parent.emplace_back([&] { answered += getDevicesWorks(); });
            EXPECT_TRUE(testsupport::waitUntil(
                [&] { return testsupport::callsNamed(*sim, "deviceOperator:getDevices").size() >= inFlight; }));
            const pid_t child = fork();
            if (child == 0)
                std::exit(c.child()); // exit() runs the library's exit hook
            EXPECT_EQ(childStatus(child, 20s), 0);
            for (auto& t : parent)
                t.join();
            EXPECT_EQ(answered, inFlight);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(requestConnections, forked, testing::Values(1, 4));

} // namespace
