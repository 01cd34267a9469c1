// How `pkisim ctl` finds its service and whom the control socket serves: the
// default name follows the request port and belongs to the network
// namespace, so services in two namespaces each answer their own ctl; only
// the service's user and root are served, and ctl sends nothing to a socket
// held by another ordinary user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "childProcess.h"
#include "tempDir.h"

namespace {

using nlohmann::json;
using namespace std::chrono_literals;
using testsupport::childProcess;
using testsupport::childResult;

constexpr auto hangLimit = 60s; // only to catch hangs
constexpr uid_t someUser = 4242;
constexpr uid_t otherUser = 4243;

// The words that run a program as `uid` (none for the test's own user).
std::vector<std::string> as(uid_t uid)
{
    const std::string id = std::to_string(uid);
    return {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups"};
}

std::vector<std::string> join(std::vector<std::string> head, const std::vector<std::string>& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct runningService {
    std::unique_ptr<childProcess> process;
    uint16_t port = 0;
    std::string control; // as the service announced it
};

// pkisim with `args` after `prefix`, once it announced its ports and control socket.
runningService startService(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {})
{
    runningService service;
    service.process = std::make_unique<childProcess>(join(prefix, join({PKISIM_BINARY}, args)),
                                                     std::vector<std::string>(), std::string());
    std::string line;
    service.process->readLine(line, hangLimit);
    unsigned port = 0;
    char control[128] = "";
    if (std::sscanf(line.c_str(), "pkisim: listening on 127.0.0.1:%u (requests) and %*s (notifications), control %127s",
                    &port, control) != 2)
        ADD_FAILURE() << "unexpected first line: " << line;
    service.port = static_cast<uint16_t>(port);
    service.control = control;
    return service;
}

childResult ctl(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {})
{
    return childProcess(join(prefix, join({PKISIM_BINARY, "ctl"}, args)), {}, "").finish(hangLimit);
}

int stop(runningService& service)
{
    service.process->sendSignal(SIGTERM);
    return service.process->finish(hangLimit).status;
}

bool commandSucceeds(const std::vector<std::string>& argv)
{
    return childProcess(argv, {}, "").finish(hangLimit).status == 0;
}

TEST(controlSocket, theDefaultNameFollowsTheBoundPortAndLeavesNothingBehind)
{
    runningService service = startService({"-p", "0", "-n", "0"});
    ASSERT_NE(service.port, 0);
    EXPECT_EQ(service.control, "@tessera-pkisim-" + std::to_string(service.port));
    const childResult status = ctl({"--port", std::to_string(service.port), "status"});
    ASSERT_EQ(status.status, 0) << status.err;
    EXPECT_EQ(json::parse(status.out)["port"], service.port);

    const childResult second =
        childProcess({PKISIM_BINARY, "-p", "0", "-n", "0", "-c", service.control}, {}, "").finish(hangLimit);
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("in use"), std::string::npos) << second.err;
    EXPECT_EQ(stop(service), 0);

    // An abstract name goes with its socket: the next service takes it at once.
    runningService next = startService({"-p", "0", "-n", "0", "-c", service.control});
    EXPECT_EQ(ctl({"--control", service.control, "status"}).status, 0);
    EXPECT_EQ(stop(next), 0);
}

TEST(controlSocket, onlyTheServicesUserAndRootAreServed)
{
    if (geteuid() != 0 || !commandSucceeds(join(as(someUser), {"/bin/true"})))
        GTEST_SKIP() << "needs root to run programs as other users";
    const std::string name = "@tessera-test-" + std::to_string(getpid());

    runningService ofRoot = startService({"-p", "0", "-n", "0", "-c", name + "-root"});
    const childResult refused = ctl({"--control", ofRoot.control, "status"}, as(someUser));
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.out.find("permission denied"), std::string::npos) << refused.out;
    EXPECT_EQ(stop(ofRoot), 0);

    runningService ofUser = startService({"-p", "0", "-n", "0", "-c", name + "-user"}, as(someUser));
    EXPECT_EQ(ctl({"--control", ofUser.control, "status"}, as(someUser)).status, 0);
    EXPECT_EQ(ctl({"--control", ofUser.control, "status"}).status, 0) << "root reaches every service";
    const childResult stranger = ctl({"--control", ofUser.control, "status"}, as(otherUser));
    EXPECT_EQ(stranger.status, 2);
    EXPECT_TRUE(stranger.out.empty()) << stranger.out;
    EXPECT_NE(stranger.err.find("uid " + std::to_string(someUser)), std::string::npos) << stranger.err;
    EXPECT_EQ(stop(ofUser), 0);
}

// One side of the pair: pkisim with the default port and control socket in
// a network namespace of its own, holding a device named `tag`.
class namespaceSide {
public:
    namespaceSide(const std::string& dir, const std::string& tag) : fifo(dir + "/" + tag)
    {
        if (mkfifo(fifo.c_str(), 0600) != 0)
            throw std::runtime_error("cannot make " + fifo);
        // Held open for writing, so that a line written before the side reads is kept.
        fd = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        process = std::make_unique<childProcess>(
            std::vector<std::string>{ISOLATED_SCRIPT, "/bin/sh", NAMESPACE_SIDE_SCRIPT, PKISIM_BINARY, fifo, tag},
            std::vector<std::string>(), std::string());
    }
    ~namespaceSide() { close(fd); }

    bool ready()
    {
        std::string line;
        return process->readLine(line, hangLimit) && line == "ready";
    }
    // The devIDs that the side's `pkisim ctl devices` lists.
    std::vector<std::string> devices()
    {
        std::string line;
        if (write(fd, "go\n", 3) != 3 || !process->readLine(line, hangLimit))
            return {};
        std::vector<std::string> ids;
        for (const json& device : json::parse(line, nullptr, false).value("devices", json::array()))
            ids.push_back(device.value("devId", ""));
        return ids;
    }
    int finish() { return process->finish(hangLimit).status; }

private:
    const std::string fifo;
    int fd = -1;
    std::unique_ptr<childProcess> process;
};

bool hasNetworkNamespaces()
{
    return commandSucceeds({"/bin/sh", "-c", "unshare -rn true || { [ \"$(id -u)\" -eq 0 ] && unshare -n true; }"});
}

TEST(controlSocket, servicesInTwoNetworkNamespacesEachAnswerTheirOwnCtl)
{
    if (!hasNetworkNamespaces())
        GTEST_SKIP() << "no network namespaces here";
    testsupport::tempDir dir;
    namespaceSide first(dir.path(), "ONLY-IN-FIRST");
    namespaceSide second(dir.path(), "ONLY-IN-SECOND");
    ASSERT_TRUE(first.ready());
    ASSERT_TRUE(second.ready()) << "both run at once, on the same port and control name";

    const std::vector<std::string> firstDevices = first.devices();
    const std::vector<std::string> secondDevices = second.devices();
    EXPECT_THAT(firstDevices, ::testing::Contains("ONLY-IN-FIRST"));
    EXPECT_THAT(firstDevices, ::testing::Not(::testing::Contains("ONLY-IN-SECOND")));
    EXPECT_THAT(secondDevices, ::testing::Contains("ONLY-IN-SECOND"));
    EXPECT_THAT(secondDevices, ::testing::Not(::testing::Contains("ONLY-IN-FIRST")));
    EXPECT_EQ(first.finish(), 0);
    EXPECT_EQ(second.finish(), 0);
}

} // namespace
