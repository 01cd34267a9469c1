// Login and logout through the C API: what is sent, what is stored, and what
// each kind of refusal or failure leaves behind.
#include <nlohmann/json.hpp>

#include <string>

#include "serviceFixture.h"

namespace {

using testsupport::callsNamed;
using testsupport::fillRequest;

class login : public testsupport::serviceTest {
protected:
    // A getDevices request; true when the agent accepted and sent it.
    bool requestWorks()
    {
        vpkiReq req;
        fillRequest(req, 16, "{}");
        vpkiResp resp;
        return reqSync(DEVSERVICE, &req, &resp) && resp.errCode == 0;
    }

    void answerLoginWith(int32_t errCode, const std::string& body)
    {
        pkisim::fault f;
        f.what = pkisim::fault::reply;
        f.method = "vantService:login";
        f.errCode = errCode;
        f.jsonBody = body;
        sim->injectFault(f);
    }
};

TEST_F(login, sendsTheLoginTextAndStoresTheSession)
{
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    EXPECT_FALSE(requestWorks());
    ASSERT_TRUE(loginDemo());

    const auto logins = callsNamed(*sim, "vantService:login");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].jsonBody, "{\"appName\":\"demo\",\"appID\":\"demo-app-id\",\"token\":\"demo-token\"}");
    EXPECT_EQ(logins[0].msgType, 1);
    EXPECT_EQ(logins[0].version, 1);
    EXPECT_EQ(logins[0].extend, 0);

    EXPECT_TRUE(requestWorks());
    const auto requests = callsNamed(*sim, "deviceOperator:getDevices");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].sessionID, sim->sessions().at(0).sessionID);
    EXPECT_EQ(requests[0].ticket, sim->sessions().at(0).ticket);
}

TEST_F(login, valuesWithQuotesAndBackslashesAreEscaped)
{
    pkisim::fault f;
    f.what = pkisim::fault::refuseLogin;
    f.method = "vantService:login";
    sim->injectFault(f);
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    EXPECT_FALSE(loginAgent("a\"b", "c\\d", "\",\"appID\":\"x"));
    const auto logins = callsNamed(*sim, "vantService:login");
    ASSERT_EQ(logins.size(), 1u);
    const auto text = nlohmann::json::parse(logins[0].jsonBody);
    EXPECT_EQ(text.size(), 3u);
    EXPECT_EQ(text.at("appName"), "a\"b");
    EXPECT_EQ(text.at("appID"), "c\\d");
    EXPECT_EQ(text.at("token"), "\",\"appID\":\"x");
}

TEST_F(login, argumentsAreCheckedBeforeAnythingIsSent)
{
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    const std::string limit(64, 'a');
    const std::string over(65, 'a');
    EXPECT_FALSE(loginAgent(nullptr, "id", "token"));
    EXPECT_FALSE(loginAgent("name", nullptr, "token"));
    EXPECT_FALSE(loginAgent("name", "id", nullptr));
    EXPECT_FALSE(loginAgent(over.c_str(), "id", "token"));
    EXPECT_FALSE(loginAgent("name", "id", over.c_str()));
    EXPECT_TRUE(testsupport::requestCalls(*sim).empty());

    // 64 characters and empty strings are sent (and refused by the service).
    EXPECT_FALSE(loginAgent(limit.c_str(), "", limit.c_str()));
    EXPECT_EQ(callsNamed(*sim, "vantService:login").size(), 1u);
}

TEST_F(login, beforeCreateAndAfterReleaseNothingIsSent)
{
    EXPECT_FALSE(loginDemo());
    EXPECT_FALSE(logoutAgent());
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    ASSERT_TRUE(loginDemo());
    releaseAgent();
    sim->clearCalls();
    EXPECT_FALSE(loginDemo());
    EXPECT_FALSE(logoutAgent());
    EXPECT_FALSE(requestWorks());
    EXPECT_TRUE(testsupport::requestCalls(*sim).empty());
}

TEST_F(login, refusedLoginChangesNothing)
{
    createAndLogin();
    const auto session = sim->sessions().at(0);
    answerLoginWith(2, "{\"error\":\"no\"}");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loginDemo());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "login failure.\n");
    EXPECT_TRUE(requestWorks());
    EXPECT_EQ(callsNamed(*sim, "deviceOperator:getDevices").back().ticket, session.ticket);
}

TEST_F(login, anAcceptedLoginWithoutAUsableSessionFailsCleanly)
{
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    auto session = [](const std::string& ticket, const std::string& port) {
        return "{\"sessionID\":\"5\",\"ticket\":\"" + ticket + "\",\"timeout\":\"30\",\"notifyPort\":\"" + port + "\"}";
    };
    for (const std::string& body : {std::string("{\"sessionID\":\"5\",\"ticket\":\"t\",\"timeout\":\"30\"}"),
                                    std::string("{\"sessionID\":5,\"ticket\":\"t\",\"timeout\":\"30\",\"notifyPort\":\"18081\"}"),
                                    std::string("[]"), std::string("not json"), std::string(),
                                    session(std::string(64 * 1024 + 1, 't'), "18081"), session("t", "0"),
                                    session("t", "65536")}) {
        SCOPED_TRACE(body.substr(0, 80));
        answerLoginWith(0, body);
        EXPECT_FALSE(loginDemo());
        EXPECT_FALSE(requestWorks());  // not logged in: nothing stored
    }
}

TEST_F(login, errCodeSixIsAcceptedLikeZero)
{
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    ASSERT_TRUE(loginDemo());
    const auto real = sim->sessions().at(0);
    answerLoginWith(6, "{\"sessionID\":\"" + std::to_string(real.sessionID) + "\",\"ticket\":\"" +
                           real.ticket + "\",\"timeout\":\"30\",\"notifyPort\":\"18081\"}");
    EXPECT_TRUE(loginDemo());
    EXPECT_TRUE(requestWorks());
}

TEST_F(login, aSecondLoginReplacesTheTicket)
{
    createAndLogin();
    ASSERT_TRUE(loginDemo());
    ASSERT_TRUE(requestWorks());
    const auto sessions = sim->sessions();
    const auto sent = callsNamed(*sim, "deviceOperator:getDevices").back();
    bool newest = false;
    for (const auto& s : sessions)
        newest = newest || (s.ticket == sent.ticket && s.sessionID == sent.sessionID);
    EXPECT_TRUE(newest);
    EXPECT_EQ(callsNamed(*sim, "vantService:login").size(), 2u);
}

TEST_F(login, logoutEndsRequestsWhateverTheOutcome)
{
    createAndLogin();
    const auto session = sim->sessions().at(0);
    EXPECT_TRUE(logoutAgent());
    const auto logouts = callsNamed(*sim, "vantService:logout");
    ASSERT_EQ(logouts.size(), 1u);
    EXPECT_EQ(logouts[0].ticket, session.ticket);
    EXPECT_FALSE(requestWorks());

    ASSERT_TRUE(loginDemo());
    EXPECT_TRUE(requestWorks());
    sim->stop();
    EXPECT_FALSE(logoutAgent());
    EXPECT_FALSE(requestWorks());
}

TEST_F(login, serviceDownFailsSilentlyAndLaterLoginWorks)
{
    sim->stop();
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loginDemo());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    sim->start();
    EXPECT_TRUE(loginDemo());
    EXPECT_TRUE(requestWorks());
}

} // namespace
