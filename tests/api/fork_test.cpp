// A process with a logged-in agent forks: the child has no agent (its calls
// fail as before createAgent), may create one of its own, never touches the
// parent's connections and exits at once whether or not it releases; the
// parent goes on undisturbed.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "serviceFixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::fillRequest;

bool request()
{
    vpkiReq req;
    fillRequest(req, 16, "{}");
    vpkiResp resp;
    return reqSync(DEVSERVICE, &req, &resp) && resp.errCode == 0;
}

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
    if (request() || agentLastError() != VPKI_ERR_NOT_CREATED)
        return 10;
    vpkiReq req;
    if (reqAsync(DEVSERVICE, &req, nullptr) != 0 || agentLastError() != VPKI_ERR_NOT_CREATED)
        return 11;
    if (!createAgent(nullptr, nullptr, nullptr) ||
        !loginAgent(pkisim::demoAppName, pkisim::demoAppID, pkisim::demoToken))
        return 12;
    for (int i = 0; i < 20; ++i)
        if (!request())
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

class forked : public testsupport::serviceTest {};

TEST_F(forked, childrenStartWithoutAnAgentAndExitAtOnceWhileTheParentGoesOn)
{
    createAndLogin();
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::atomic<int> failed{0};
    std::thread parent([&] {
        while (!stop)
            ++(request() ? answered : failed);
    });
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
        for (int round = 0; round < 3; ++round) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0)
                std::exit(c.child());  // exit() runs the library's exit hook
            EXPECT_EQ(childStatus(child, 20s), 0);
        }
    }
    stop = true;
    parent.join();
    EXPECT_EQ(failed, 0);
    EXPECT_GT(answered, 0);
}

} // namespace
