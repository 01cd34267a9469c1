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

using forked = testsupport::serviceTest;

TEST_F(forked, childrenStartWithoutAnAgentAndExitAtOnceWhileTheParentGoesOn)
{
    createAndLogin();
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::atomic<int> failed{0};
    std::thread parent([&] {
        while (!stop)
            ++(getDevicesWorks() ? answered : failed);
    });
    const struct {
        const char* what;
        std::function<int()> child;
    } children[] = {
        {"exits", [] { return 0; }},
        {"releases", [] {
             releaseAgent();
             return 0;
         }},
        {"creates an agent of its own", childWithItsOwnAgent},
    };
    for (const auto& c : children) {
        SCOPED_TRACE(c.what);
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
