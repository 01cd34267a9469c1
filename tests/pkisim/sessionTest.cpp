// Sessions: login, logout, tickets, the session service's answers, and the
// record of calls as the library's tests rely on it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "simTestSupport.h"
#include "tempDir.h"

namespace {

using namespace pkitest;

using sessionTest = serviceTest;

TEST_F(sessionTest, loginAnswersTheFourMembersAsDecimalStrings) {
    serviceClient client(service.port());
    wire::msgResponse response;
    client.vant.login(response, loginRequest());

    EXPECT_EQ(response.errCode, 0);
    EXPECT_EQ(response.respid, 7);  // the request's id comes back
    const nlohmann::json body = nlohmann::json::parse(response.jsonBody);
    for (const char* member : {"sessionID", "ticket", "timeout", "notifyPort"})
        ASSERT_TRUE(body.contains(member) && body[member].is_string()) << member;
    EXPECT_EQ(body["notifyPort"], std::to_string(service.notifyPort()));
    EXPECT_EQ(body["timeout"], "30");
    EXPECT_GT(std::stoll(body["sessionID"].get<std::string>()), 0);
    EXPECT_GE(body["ticket"].get<std::string>().size(), 16u);
    ASSERT_EQ(service.sessions().size(), 1u);
    EXPECT_EQ(service.sessions()[0].appName, pkisim::demoAppName);
}

TEST_F(sessionTest, refusedLoginsOpenNoSession) {
    serviceClient client(service.port());
    struct {
        wire::msgRequest login;
        int32_t errCode;
    } const cases[] = {
        {loginRequest("demo", "demo-app-id", "wrong-token"), 2},
        {loginRequest("other", "demo-app-id", "demo-token"), 2},
        {request(1, R"({"appName":"demo","appID":"demo-app-id"})"), 4},
        {request(1, R"({"appName":"demo","appID":"demo-app-id","token":7})"), 4},
        {request(1, R"({"appName":"de"mo","appID":"x","token":"y"})"), 4},  // unescaped quote
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

TEST_F(sessionTest, logoutEndsTheSessionForEveryService) {
    serviceClient client(service.port());
    const wire::sessionTicket ticket = client.login();
    EXPECT_EQ(client.getDevices(ticket).errCode, 0);

    wire::msgResponse response;
    client.vant.logout(response, ticket);
    EXPECT_EQ(response.errCode, 0);

    EXPECT_EQ(client.getDevices(ticket).errCode, 1);
    EXPECT_EQ(client.poll(ticket, 0).errCode, 1);
    client.vant.logout(response, ticket);
    EXPECT_EQ(response.errCode, 1);
    EXPECT_TRUE(service.sessions().empty());
}

TEST_F(sessionTest, unknownOrForgedTicketsAnswerSessionUnknownEverywhere) {
    serviceClient client(service.port());
    wire::sessionTicket forged = client.login();
    forged.ticket[0] = forged.ticket[0] == 'a' ? 'b' : 'a';
    wire::sessionTicket none;

    for (const wire::sessionTicket& ticket : {forged, none}) {
        EXPECT_EQ(client.getDevices(ticket).errCode, 1);
        EXPECT_EQ(client.poll(ticket, 0).errCode, 1);
        wire::msgResponse response;
        client.vant.getVersions(response, ticket, request(0, ""));
        EXPECT_EQ(response.errCode, 1);
        EXPECT_TRUE(nlohmann::json::parse(response.jsonBody).contains("error"));
    }
}

TEST_F(sessionTest, expiredSessionAnswersSessionUnknownAndLoginStartsAnew) {
    serviceClient client(service.port());
    const wire::sessionTicket first = client.login();
    ASSERT_TRUE(service.expireSession(first.sessionID));
    EXPECT_FALSE(service.expireSession(first.sessionID));
    EXPECT_EQ(client.getDevices(first).errCode, 1);

    const wire::sessionTicket second = client.login();
    EXPECT_NE(second.sessionID, first.sessionID);
    EXPECT_EQ(client.getDevices(second).errCode, 0);
}

TEST_F(sessionTest, versionsNameTheService) {
    serviceClient client(service.port());
    wire::msgResponse response;
    client.vant.getVersions(response, client.login(), request(0, ""));
    EXPECT_EQ(response.errCode, 0);
    const nlohmann::json body = nlohmann::json::parse(response.jsonBody);
    EXPECT_EQ(body["service"], "pkisim");
    EXPECT_TRUE(body["version"].is_string());
}

TEST_F(sessionTest, requestServicesReachTheDevicesAndPassTheirVerdicts) {
    serviceClient client(service.port());
    const wire::sessionTicket ticket = client.login();
    const wire::msgResponse devices = client.getDevices(ticket);
    EXPECT_EQ(devices.errCode, 0);
    EXPECT_NE(devices.jsonBody.find("SIM-RSA-01"), std::string::npos);
    EXPECT_EQ(devices.respid, 7);
    EXPECT_EQ(devices.msgType, 16);

    wire::msgResponse missing;
    client.dev.getDevInfo(missing, ticket, request(17, R"({"devID":"NO-SUCH-DEVICE"})", 99));
    EXPECT_EQ(missing.errCode, 5);
    EXPECT_EQ(missing.extend, 99);
    EXPECT_TRUE(nlohmann::json::parse(missing.jsonBody).contains("error"));
}

TEST(sessionApps, applicationsFileAddsApplications) {
    const testsupport::tempDir dir;
    const std::string path = dir.path() + "/apps.json";
    std::ofstream(path) << R"([{"appName":"mail","appID":"mail-1","token":"secret"}])";
    pkisim::options opts = freePorts();
    opts.appsFile = path;
    pkisim::server service(opts);
    service.start();
    serviceClient client(service.port());
    wire::msgResponse response;
    client.vant.login(response, loginRequest("mail", "mail-1", "secret"));
    EXPECT_EQ(response.errCode, 0);
    client.vant.login(response, loginRequest());
    EXPECT_EQ(response.errCode, 0) << "the demo application stays";
}

TEST(sessionApps, badApplicationsFileIsRefusedAtConstruction) {
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

TEST_F(sessionTest, recordHoldsEachCallAsItArrived) {
    serviceClient client(service.port());
    const wire::sessionTicket ticket = client.login();
    const std::string body = "{\"odd\":\"\\u00e9 \\\" \\\\ \xc3\xa9\t\"}";
    client.getDevices(ticket, body);
    wire::msgResponse response;
    client.vant.logout(response, ticket);

    const std::vector<pkisim::recordedCall> calls = service.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].wireName, "vantService:login");
    EXPECT_FALSE(calls[0].hasTicket);
    EXPECT_TRUE(calls[0].hasRequest);
    EXPECT_EQ(calls[0].msgType, 1);
    EXPECT_EQ(calls[1].wireName, "deviceOperator:getDevices");
    EXPECT_EQ(calls[1].sessionID, ticket.sessionID);
    EXPECT_EQ(calls[1].ticket, ticket.ticket);
    EXPECT_EQ(calls[1].jsonBody, body);
    EXPECT_EQ(calls[1].reqid, 7);
    EXPECT_EQ(calls[1].msgType, 16);
    EXPECT_EQ(calls[1].port, service.port());
    EXPECT_EQ(calls[2].wireName, "vantService:logout");
    EXPECT_TRUE(calls[2].hasTicket);
    EXPECT_FALSE(calls[2].hasRequest);
    // One keep-alive connection carried all three.
    EXPECT_EQ(calls[0].peerPort, calls[2].peerPort);
    EXPECT_EQ(service.callCount(), 3u);

    service.clearCalls();
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(sessionTest, waitForCallsWakesOnTheCallItWaitsFor) {
    std::thread caller([&] {
        serviceClient client(service.port());
        client.login();
    });
    EXPECT_TRUE(service.waitForCalls(
        [&](const std::vector<pkisim::recordedCall>& calls) {
            // The predicate may call back into the server.
            return !calls.empty() && service.callCount() >= 1;
        },
        std::chrono::seconds(20)));
    caller.join();
    EXPECT_FALSE(service.waitForCalls([](const auto& calls) { return calls.size() > 5; },
                                      std::chrono::milliseconds(50)));
}

} // namespace
