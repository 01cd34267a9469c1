// Programs that end without releasing the agent, or never use it, exit
// cleanly and promptly, also while the service keeps the listener waiting.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "serviceFixture.h"

namespace {

using namespace std::chrono_literals;

struct outcome {
    bool exited = false;
    int status = -1;
    std::chrono::milliseconds took{0};
};

// Runs a program and waits for it, killing it after `limit`.
outcome runProgram(const std::vector<std::string>& argv, std::chrono::milliseconds limit = 10000ms)
{
    const auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    outcome result;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > limit) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return result;
        }
        usleep(5000);
    }
    result.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    result.exited = WIFEXITED(status);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return result;
}

void expectCleanPromptExit(const std::vector<std::string>& argv)
{
    const outcome o = runProgram(argv);
    EXPECT_TRUE(o.exited) << argv[0] << " did not exit in time";
    EXPECT_EQ(o.status, 0) << argv[0];
    EXPECT_LT(o.took, 3000ms) << argv[0];
}

class processExit : public testsupport::serviceTest {};

TEST_F(processExit, withoutEverUsingTheLibrary)
{
    expectCleanPromptExit({EXIT_NEVER_CREATED});
}

TEST_F(processExit, withoutReleasingTheAgent)
{
    expectCleanPromptExit({EXIT_WITHOUT_RELEASE});
}

TEST_F(processExit, unloadingTheLibraryWhileItRuns)
{
    expectCleanPromptExit({EXIT_DLOPEN_CLOSE, TESSERA_LIBRARY});
}

class silentServiceExit : public testsupport::serviceTest {
protected:
    pkisim::options serviceOptions() const override
    {
        pkisim::options o;
        o.sessionTimeout = 0;  // the listener's poll waits without limit
        return o;
    }
    void SetUp() override
    {
        serviceTest::SetUp();
        for (const char* method : {"vantService:getNotify", "deviceOperator:getDevices"}) {
            pkisim::fault silent;
            silent.what = pkisim::fault::silent;
            silent.method = method;
            silent.count = 100;
            sim->injectFault(silent);
        }
    }
};

TEST_F(silentServiceExit, withoutReleasingWhileTheServiceHoldsEveryCall)
{
    expectCleanPromptExit({EXIT_WITHOUT_RELEASE});
    expectCleanPromptExit({EXIT_DLOPEN_CLOSE, TESSERA_LIBRARY});
}

} // namespace
