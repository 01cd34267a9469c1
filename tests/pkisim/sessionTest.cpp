// Sessions as pkisim's users rely on them beyond what the library's tests
// reach: refusals and their codes, tickets checked on every call, logout,
// bad applications files, and waiting on the record of calls.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "simTestSupport.h"
#include "tempDir.h"

namespace {

using namespace pkitest;

using simSessions = serviceTest;

TEST_F(simSessions, refusedLoginsOpenNoSession)
{
    serviceClient client(service.port());
    struct {
        wire::msgRequest login;
        int32_t errCode;
    } const cases[] = {
        {loginRequest("demo", "demo-app-id", "wrong-token"), 2},
        {loginRequest("other", "demo-app-id", "demo-token"), 2},
        {request(1, R"({"appName":"demo","appID":"demo-app-id"})"), 4},
        {request(1, R"({"appName":"demo","appID":"demo-app-id","token":7})"), 4},
        {request(1, R"({"appName":"de"mo","appID":"x","token":"y"})"), 4}, // unescaped quote
        {request(1, "[]"), 4},
        {request(1, ""), 4},
    };
    for (const auto& c : cases) {
        wire::msgResponse response;
        client.vant.login(response, c.login);
        EXPECT_EQ(response.errCode, c.errCode) << c.login.jsonBody;
        EXPECT_TRUE(nlohmann::json::parse(response.jsonBody).contains("error")) << c.login.jsonBody;
    }
    EXPECT_TRUE(service.sessions().empty());
}

TEST_F(simSessions, unknownForgedOrLoggedOutTicketsAnswerSessionUnknownEverywhere)
{
    serviceClient client(service.port());
    const wire::sessionTicket loggedOut = client.login();
    wire::msgResponse response;
    client.vant.logout(response, loggedOut);
    EXPECT_EQ(response.errCode, 0);
    wire::sessionTicket forged = client.login();
    forged.ticket[0] = forged.ticket[0] == 'a' ? 'b' : 'a';

    for (const wire::sessionTicket& ticket : {forged, wire::sessionTicket(), loggedOut}) {
        EXPECT_EQ(client.getDevices(ticket).errCode, 1);
        EXPECT_EQ(client.poll(ticket, 0).errCode, 1);
        client.vant.logout(response, ticket);
        EXPECT_EQ(response.errCode, 1);
        client.vant.getVersions(response, ticket, request(0, ""));
        EXPECT_EQ(response.errCode, 1);
    }
    EXPECT_EQ(service.sessions().size(), 1u);
}

TEST(simApplications, aBadApplicationsFileIsRefusedAtConstruction)
{
    const testsupport::tempDir dir;
    const std::string path = dir.path() + "/apps.json";
    for (const char* text : {"{}", "[{\"appName\":\"x\"}]", "not json", "[1]"}) {
        std::ofstream(path) << text;
        pkisim::options opts = freePorts();
        opts.appsFile = path;
        EXPECT_THROW(pkisim::server service(opts), std::runtime_error) << text;
    }
    pkisim::options missing = freePorts();
    missing.appsFile = path + ".missing";
    EXPECT_THROW(pkisim::server service(missing), std::runtime_error);
}

TEST_F(simSessions, waitForCallsWakesOnTheCallAndItsPredicateMayCallTheServer)
{
    std::thread caller([&] { serviceClient(service.port()).login(); });
    EXPECT_TRUE(service.waitForCalls(
        [&](const std::vector<pkisim::recordedCall>& calls) { return !calls.empty() && service.callCount() >= 1; },
        std::chrono::seconds(20)));
    caller.join();
    EXPECT_FALSE(
        service.waitForCalls([](const auto& calls) { return calls.size() > 5; }, std::chrono::milliseconds(50)));
}

} // namespace
