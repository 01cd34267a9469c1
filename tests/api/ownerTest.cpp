// Credentials go only to a service whose port belongs to root, a system
// account or the process's own user. A service of another ordinary user is
// refused before it receives a byte, on the request and on the notification
// port. The services run as the pkisim program under the user of each case
// (setpriv), so the test needs root; elsewhere it is skipped.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "callbackLogs.h"
#include "childProcess.h"
#include "serviceFixture.h"
#include "tempDir.h"

namespace {

using testsupport::childProcess;
using testsupport::childResult;
using testsupport::waitUntil;

constexpr uid_t otherUser = 4242; // an ordinary account that is not the test's
constexpr uid_t systemUser = 999; // below UID_MIN

// pkisim as `uid` on `port` and `notifyPort`, its control socket in `dir`.
class serviceAs {
public:
    serviceAs(uid_t uid, uint16_t port, uint16_t notifyPort, const std::string& dir)
        : control(dir + "/ctl-" + std::to_string(port))
    {
        const std::string id = std::to_string(uid);
        process = std::make_unique<childProcess>(
            std::vector<std::string>{"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups",
                                     PKISIM_BINARY, "-p", std::to_string(port), "-n", std::to_string(notifyPort), "-c",
                                     control},
            std::vector<std::string>(), std::string());
        std::string line;
        listening = process->readLine(line, 60s) && line.find("listening") != std::string::npos;
    }

    // Calls that reached the service, by its record.
    size_t calls() const
    {
        childProcess ctl({PKISIM_BINARY, "ctl", "--control", control, "calls"}, {}, "");
        const childResult result = ctl.finish(30s);
        const auto reply = nlohmann::json::parse(result.out, nullptr, false);
        return reply.is_object() && reply.contains("calls") ? reply["calls"].size() : SIZE_MAX;
    }

    bool listening = false;

private:
    const std::string control;
    std::unique_ptr<childProcess> process;
};

bool canRunAs(uid_t uid)
{
    if (geteuid() != 0)
        return false;
    const pid_t child = fork();
    if (child == 0)
        _exit(setresuid(uid, uid, uid) == 0 ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class serviceOwner : public testsupport::serviceTest {
protected:
    void SetUp() override
    {
        if (!canRunAs(otherUser))
            GTEST_SKIP() << "needs root to run a service as another user";
        serviceTest::SetUp();
        chmod(dir.path().c_str(), 0777);
    }

    void TearDown() override
    {
        setAgentLogger(nullptr, nullptr);
        serviceTest::TearDown();
    }

    // The in-process service (root) answers the login with `notifyPort`.
    void reportNotifyPort(uint16_t notifyPort)
    {
        sim->injectFault(
            testsupport::replyOf("vantService:login", VPKI_RESULT_OK,
                                 "{\"sessionID\":\"1\",\"ticket\":\"t\",\"timeout\":\"30\",\"notifyPort\":\"" +
                                     std::to_string(notifyPort) + "\"}"));
    }

    testsupport::tempDir dir;
};

TEST_F(serviceOwner, aRequestPortOfAnotherUserIsRefusedBeforeAnyByte)
{
    sim->stop();
    serviceAs other(otherUser, 18080, 18081, dir.path());
    ASSERT_TRUE(other.listening);
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    EXPECT_FALSE(loginDemo());
    EXPECT_EQ(agentLastError(), VPKI_ERR_UNTRUSTED_SERVICE);
    EXPECT_NE(std::string(agentLastErrorText()).find("uid 4242"), std::string::npos) << agentLastErrorText();
    const childResult command = childProcess({TESSERA_CLI_PATH, "devices"}, {}, "").finish(60s);
    EXPECT_EQ(command.status, 8) << command.err;
    EXPECT_EQ(other.calls(), 0u);
}

TEST_F(serviceOwner, aSystemAccountOnTheRequestPortIsAccepted)
{
    sim->stop();
    serviceAs system(systemUser, 18080, 18081, dir.path());
    ASSERT_TRUE(system.listening);
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    EXPECT_TRUE(loginDemo()) << agentLastErrorText();
    EXPECT_GT(system.calls(), 0u);
}

// A client running as the ordinary user that also runs the service.
TEST_F(serviceOwner, theProcessOwnUserIsAccepted)
{
    sim->stop();
    serviceAs own(otherUser, 18080, 18081, dir.path());
    ASSERT_TRUE(own.listening);
    const pid_t child = fork();
    if (child == 0) {
        if (setresgid(otherUser, otherUser, otherUser) != 0 || setresuid(otherUser, otherUser, otherUser) != 0)
            _exit(2);
        const bool ok = createAgent(nullptr, nullptr, nullptr) && loginDemo();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GT(own.calls(), 0u);
}

TEST_F(serviceOwner, aNotificationPortOfAnotherUserIsRefusedAndOfASystemAccountAccepted)
{
    for (uid_t owner : {otherUser, systemUser}) {
        SCOPED_TRACE(owner);
        serviceAs notifications(owner, 18090, 18091, dir.path());
        ASSERT_TRUE(notifications.listening);
        logLines log;
        setAgentLogger(&logLines::record, &log);
        reportNotifyPort(18090);
        createAndLogin();
        if (owner == otherUser) {
            EXPECT_TRUE(waitUntil([&] { return log.has("belongs to uid 4242"); }));
            EXPECT_EQ(notifications.calls(), 0u);
        } else {
            EXPECT_TRUE(waitUntil([&] { return notifications.calls() > 0; }));
        }
        setAgentLogger(nullptr, nullptr);
        releaseAgent();
    }
}

} // namespace
