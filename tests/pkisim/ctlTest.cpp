// The `pkisim` program and `pkisim ctl` against it, as a shell script would
// use them.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "childProcess.h"
#include "simTestSupport.h"
#include "tempDir.h"

namespace {

using namespace pkitest;
using nlohmann::json;
using namespace std::chrono_literals;
using testsupport::childProcess;
using testsupport::childResult;

// Only to catch hangs; every run normally ends in well under a second.
constexpr auto hangLimit = 60s;

// The pkisim program with `args` and the further environment `env`, its standard streams on pipes.
std::unique_ptr<childProcess> start(std::vector<std::string> args, const std::vector<std::string>& env = {})
{
    args.insert(args.begin(), PKISIM_BINARY);
    return std::make_unique<childProcess>(args, env, std::string());
}

childResult run(const std::vector<std::string>& args)
{
    return start(args)->finish(hangLimit);
}

class simControl : public ::testing::Test {
protected:
    // Starts the service and reads the ports from its line on standard output.
    std::unique_ptr<childProcess> startService()
    {
        auto service = start({"-p", "0", "-n", "0", "-c", control});
        std::string line;
        service->readLine(line, hangLimit);
        unsigned request = 0, notify = 0;
        if (std::sscanf(line.c_str(), "pkisim: listening on 127.0.0.1:%u (requests) and 127.0.0.1:%u", &request,
                        &notify) != 2)
            ADD_FAILURE() << "unexpected first line: " << line;
        port = static_cast<uint16_t>(request);
        notifyPort = static_cast<uint16_t>(notify);
        return service;
    }

    json ctl(std::vector<std::string> args, int expectedStatus = 0)
    {
        args.insert(args.begin(), {"ctl", "--control", control});
        const childResult result = run(args);
        EXPECT_EQ(result.status, expectedStatus) << result.out << result.err;
        const json reply = json::parse(result.out, nullptr, false);
        EXPECT_TRUE(reply.is_object()) << result.out;
        return reply;
    }

    testsupport::tempDir dir;
    const std::string control = dir.path() + "/control.sock";
    uint16_t port = 0;
    uint16_t notifyPort = 0;
};

TEST_F(simControl, scriptsDriveDevicesSessionsEventsAndFaults)
{
    auto service = startService();
    struct stat info {};
    ASSERT_EQ(stat(control.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    json status = ctl({"status"});
    EXPECT_EQ(status["port"], port);
    EXPECT_EQ(status["notifyPort"], notifyPort);

    serviceClient client(port);
    const wire::sessionTicket ticket = client.login();
    const json sessions = ctl({"sessions"});
    ASSERT_EQ(sessions["sessions"].size(), 1u);
    EXPECT_EQ(sessions["sessions"][0]["sessionID"], ticket.sessionID);

    EXPECT_EQ(ctl({"insert", "--id", "CTL-1", "--key", "ECC", "--label", "from a script"})["devId"], "CTL-1");
    ctl({"modify", "CTL-1", "renamed"});
    ctl({"remove", "CTL-1"});
    ctl({"event", "inserted", R"({"devID":"SCRIPTED"})"});
    std::vector<int32_t> types;
    int64_t cursor = 0;
    for (const wire::msgResponse& event : client.drain(ticket, cursor))
        types.push_back(event.msgType);
    using msg = wire::enMsgType;
    EXPECT_EQ(types, (std::vector<int32_t>{msg::enMsg_NotifyerDevin, msg::enMsg_NotifyerDevModify,
                                           msg::enMsg_NotifyerDevOut, msg::enMsg_NotifyerDevin}));

    ctl({"fault", "notify-errcode", "--errcode", "3"});
    ctl({"fault", "reply", "--method", "deviceOperator:getDevices", "--errcode", "44", "--body", "{}"});
    EXPECT_EQ(ctl({"faults"})["faults"].size(), 2u);
    EXPECT_EQ(client.poll(ticket, cursor).errCode, 3);
    EXPECT_EQ(client.getDevices(ticket).errCode, 44);
    const json calls = ctl({"calls", "--last", "1", "--clear"});
    ASSERT_EQ(calls["calls"].size(), 1u);
    EXPECT_EQ(calls["calls"][0]["wireName"], "deviceOperator:getDevices");
    EXPECT_EQ(calls["calls"][0]["ticket"], ticket.ticket);
    EXPECT_TRUE(ctl({"calls"})["calls"].empty());

    const std::string pem = ctl({"certificate", "SIM-RSA-01"})["pem"];
    EXPECT_NE(pem.find("BEGIN CERTIFICATE"), std::string::npos);
    ctl({"close-session", std::to_string(ticket.sessionID)});
    EXPECT_EQ(client.poll(ticket, cursor).msgType, wire::enMsgType::enMsg_NotifyerSessionClose);

    service->sendSignal(SIGTERM);
    EXPECT_EQ(service->finish(hangLimit).status, 0);
    EXPECT_NE(access(control.c_str(), F_OK), 0) << "the control socket is removed";
}

TEST_F(simControl, refusalsAndUsageErrorsHaveTheirExitStatus)
{
    auto service = startService();
    EXPECT_FALSE(ctl({"remove", "NO-SUCH"}, 1)["ok"]);
    EXPECT_FALSE(ctl({"expire-session", "999"}, 1)["ok"]);
    EXPECT_FALSE(ctl({"fault", "http-status", "--status", "99"}, 1)["ok"]);
    EXPECT_EQ(run({"ctl", "--control", control, "no-such-command"}).status, 2);
    EXPECT_EQ(run({"ctl", "--control", control, "fault", "delay", "--delay-ms", "soon"}).status, 2);
    EXPECT_EQ(run({"ctl", "--control", dir.path() + "/nothing.sock", "status"}).status, 2);
    EXPECT_EQ(run({"--no-such-flag"}).status, 2);

    // A second service on the same control socket refuses to start.
    const childResult second = run({"-p", "0", "-n", "0", "-c", control});
    EXPECT_EQ(second.status, 1);
    service->sendSignal(SIGINT);
    EXPECT_EQ(service->finish(hangLimit).status, 0);
}

TEST_F(simControl, aStaleControlSocketIsReplaced)
{
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, control.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(stale); // the file stays, nobody listens

    auto service = startService();
    EXPECT_TRUE(ctl({"status"})["ok"]);
}

// One datagram from the service, or "" when none comes in time.
std::string nextDatagram(int fd)
{
    pollfd p{fd, POLLIN, 0};
    char text[256];
    if (poll(&p, 1, static_cast<int>(std::chrono::milliseconds(hangLimit).count())) != 1)
        return "";
    const ssize_t size = recv(fd, text, sizeof text, 0);
    return size > 0 ? std::string(text, static_cast<size_t>(size)) : "";
}

TEST_F(simControl, aServiceManagerLearnsWhenTheServiceIsReadyAndWhenItStops)
{
    const std::string socketPath = dir.path() + "/notify.sock";
    for (const std::string& name : {socketPath, "@pkisim-test-" + std::to_string(getpid())}) {
        SCOPED_TRACE(name);
        const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        if (name[0] == '@')
            address.sun_path[0] = '\0';
        const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        ASSERT_EQ(bind(manager, reinterpret_cast<const sockaddr*>(&address), size), 0) << std::strerror(errno);

        auto service = start({"-p", "0", "-n", "0", "--no-control"}, {"NOTIFY_SOCKET=" + name});
        const std::string ready = nextDatagram(manager);
        EXPECT_EQ(ready.rfind("READY=1\nMAINPID=", 0), 0u) << ready;
        EXPECT_GT(std::atoi(ready.c_str() + std::strlen("READY=1\nMAINPID=")), 0) << ready;
        std::string line;
        ASSERT_TRUE(service->readLine(line, hangLimit));
        unsigned request = 0, notify = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "pkisim: listening on 127.0.0.1:%u (requests) and 127.0.0.1:%u", &request,
                              &notify),
                  2)
            << line;
        EXPECT_NO_THROW(rawConnection(static_cast<uint16_t>(request)));
        EXPECT_NO_THROW(rawConnection(static_cast<uint16_t>(notify)));

        service->sendSignal(SIGTERM);
        EXPECT_EQ(nextDatagram(manager), "STOPPING=1");
        EXPECT_EQ(service->finish(hangLimit).status, 0);
        close(manager);
    }
}

} // namespace
