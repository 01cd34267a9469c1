// Programs that end without releasing the agent (also after a release that a
// callback tried), unload the library while it runs, or never use it, exit
// cleanly and promptly, also while the service keeps every call waiting; a
// release leaves no thread or descriptor behind.
#include <string>
#include <vector>

#include "childProcess.h"
#include "serviceFixture.h"

namespace {

// The programs cannot shorten the library's waits: a program that waited for
// the 15 s request time-out instead of ending its threads would take longer
// than this, whatever the machine's load.
constexpr auto promptly = 10s;

void expectCleanPromptExit(const std::vector<std::string>& argv)
{
    const auto start = std::chrono::steady_clock::now();
    const testsupport::childResult result = testsupport::childProcess(argv, {}, "").finish(60s);
    EXPECT_EQ(result.status, 0) << argv[0] << ": " << result.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, promptly) << argv[0];
}

using programs = testsupport::serviceTest;

TEST_F(programs, exitCleanlyWithoutUsingOrReleasingOrWhileUnloadingTheLibrary)
{
    expectCleanPromptExit({EXIT_NEVER_CREATED});
    expectCleanPromptExit({EXIT_WITHOUT_RELEASE});
    expectCleanPromptExit({EXIT_WITHOUT_RELEASE, "release-in-callback"});
    expectCleanPromptExit({EXIT_DLOPEN_CLOSE, TESSERA_LIBRARY});
}

TEST_F(programs, aReleaseLeavesNoThreadOrDescriptorBehind)
{
    expectCleanPromptExit({EXIT_RELEASE_LEAVES_NOTHING});
}

class silentService : public testsupport::serviceTest {
protected:
    pkisim::options serviceOptions() const override
    {
        pkisim::options o;
        o.sessionTimeout = pkisim::maxSessionTimeout; // the listener's poll waits a day
        return o;
    }
};

TEST_F(silentService, programsExitPromptlyWhileTheServiceHoldsEveryCall)
{
    for (const char* method : {"vantService:getNotify", "deviceOperator:getDevices"}) {
        pkisim::fault silent = testsupport::faultOf(pkisim::fault::silent, method);
        silent.count = 100;
        sim->injectFault(silent);
    }
    expectCleanPromptExit({EXIT_WITHOUT_RELEASE});
    expectCleanPromptExit({EXIT_DLOPEN_CLOSE, TESSERA_LIBRARY});
}

} // namespace
