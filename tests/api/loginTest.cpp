// Login and logout through the C API: what is sent, what is stored, and what
// each kind of refusal or failure leaves behind.
#include <string>

#include "callbackLogs.h"
#include "serviceFixture.h"

namespace {

using testsupport::callsNamed;
using testsupport::getDevicesWorks;
using testsupport::requestCalls;

class login : public testsupport::serviceTest {
protected:
    void answerLoginWith(int32_t errCode, const std::string& body)
    {
        sim->injectFault(testsupport::replyOf("vantService:login", errCode, body));
    }
};

TEST_F(login, sendsTheCredentialsAndUsesTheSessionForRequests)
{
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    EXPECT_FALSE(getDevicesWorks());
    ASSERT_TRUE(loginDemo());
    const auto logins = callsNamed(*sim, "vantService:login");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].jsonBody, "{\"appName\":\"demo\",\"appID\":\"demo-app-id\",\"token\":\"demo-token\"}");

    EXPECT_TRUE(getDevicesWorks());
    const auto requests = callsNamed(*sim, "deviceOperator:getDevices");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].sessionID, sim->sessions().at(0).sessionID);
    EXPECT_EQ(requests[0].ticket, sim->sessions().at(0).ticket);
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
    EXPECT_FALSE(loginAgent("name", over.c_str(), "token"));
    EXPECT_FALSE(loginAgent("name", "id", over.c_str()));
    EXPECT_TRUE(requestCalls(*sim).empty());

    // 64 characters and empty strings are sent (and refused by the service).
    EXPECT_FALSE(loginAgent(limit.c_str(), "", limit.c_str()));
    EXPECT_EQ(callsNamed(*sim, "vantService:login").size(), 1u);
}

TEST_F(login, afterReleaseNothingIsSent)
{
    createAndLogin();
    releaseAgent();
    sim->clearCalls();
    EXPECT_FALSE(loginDemo());
    EXPECT_FALSE(logoutAgent());
    EXPECT_FALSE(getDevicesWorks());
    EXPECT_TRUE(requestCalls(*sim).empty());
}

TEST_F(login, aRefusedLoginChangesNothing)
{
    createAndLogin();
    const auto session = sim->sessions().at(0);
    answerLoginWith(2, "{\"error\":\"no\"}");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loginDemo());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "login failure.\n");
    EXPECT_TRUE(getDevicesWorks());
    EXPECT_EQ(callsNamed(*sim, "deviceOperator:getDevices").back().ticket, session.ticket);
}

TEST_F(login, withALoggerARefusedLoginIsToldToItAndNotToStandardOutput)
{
    logLines log;
    setAgentLogger(logLines::record, &log);
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    answerLoginWith(2, "{\"error\":\"no\"}");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loginDemo());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    setAgentLogger(nullptr, nullptr);
    EXPECT_TRUE(log.has("login failure."));
}

TEST_F(login, anAcceptedLoginWithoutAUsableSessionFailsCleanly)
{
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    auto session = [](const std::string& ticket, const std::string& port, const std::string& timeout = "30",
                      const std::string& id = "5") {
        return "{\"sessionID\":\"" + id + "\",\"ticket\":\"" + ticket + "\",\"timeout\":\"" + timeout +
               "\",\"notifyPort\":\"" + port + "\"}";
    };
    for (const std::string& body :
         {std::string("{\"sessionID\":\"5\",\"ticket\":\"t\",\"timeout\":\"30\"}"),
          std::string("{\"sessionID\":5,\"ticket\":\"t\",\"timeout\":\"30\",\"notifyPort\":\"18081\"}"),
          std::string("[]"), std::string("not json"), std::string(), session(std::string(64 * 1024 + 1, 't'), "18081"),
          session("t", "0"), session("t", "65536"), session("t", "18081xyz"), session("t", "18081", "abc"),
          session("t", "18081", "0"), session("t", "18081", "-1"), session("t", "18081", "86401"),
          session("t", "18081", "99999999999"), session("t", "18081", "30", "xyz"), session("t", "18081", "30", "+5"),
          session("t", "18081", " 30")}) {
        SCOPED_TRACE(body.substr(0, 80));
        answerLoginWith(VPKI_RESULT_OK, body);
        EXPECT_FALSE(loginDemo());
        EXPECT_FALSE(getDevicesWorks()); // not logged in: nothing stored
    }
}

TEST_F(login, errCodeSixIsAcceptedLikeZero)
{
    createAndLogin();
    const auto real = sim->sessions().at(0);
    answerLoginWith(VPKI_RESULT_LOGIN_ACCEPTED, "{\"sessionID\":\"" + std::to_string(real.sessionID) +
                                                    "\",\"ticket\":\"" + real.ticket +
                                                    "\",\"timeout\":\"30\",\"notifyPort\":\"18081\"}");
    EXPECT_TRUE(loginDemo());
    EXPECT_TRUE(getDevicesWorks());
}

TEST_F(login, aSecondLoginReplacesTheTicket)
{
    createAndLogin();
    const auto first = sim->sessions().at(0);
    ASSERT_TRUE(loginDemo());
    ASSERT_TRUE(getDevicesWorks());
    EXPECT_NE(callsNamed(*sim, "deviceOperator:getDevices").back().ticket, first.ticket);
}

TEST_F(login, logoutEndsRequestsWhateverTheOutcome)
{
    createAndLogin();
    const auto session = sim->sessions().at(0);
    EXPECT_TRUE(logoutAgent());
    const auto logouts = callsNamed(*sim, "vantService:logout");
    ASSERT_EQ(logouts.size(), 1u);
    EXPECT_EQ(logouts[0].ticket, session.ticket);
    EXPECT_FALSE(getDevicesWorks());

    ASSERT_TRUE(loginDemo());
    EXPECT_TRUE(getDevicesWorks());
    sim->stop();
    EXPECT_FALSE(logoutAgent());
    sim->start();
    EXPECT_FALSE(getDevicesWorks());
}

TEST_F(login, aServiceDownFailsSilentlyAndALaterLoginWorks)
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
    EXPECT_TRUE(getDevicesWorks());
}

} // namespace
