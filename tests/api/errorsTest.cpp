// Why a call failed: every failure of the interface's functions leaves a
// code and a line of text for agentLastError and agentLastErrorText on the
// calling thread; success leaves VPKI_OK. The debug hook reports each
// exchange with its outcome. The codes of failed exchanges are checked with
// the faults, those on the worker thread with the asynchronous requests.
#include <functional>
#include <string>

#include "callbackLogs.h"
#include "serviceFixture.h"

namespace {

using testsupport::faultOf;
using testsupport::fillRequest;
using testsupport::waitUntil;

class errors : public testsupport::serviceTest {
protected:
    bool request(PKI_SERVICE service = DEVSERVICE)
    {
        vpkiReq req;
        fillRequest(req, VPKI_DEV_getDevInfo, "{\"devID\":\"SIM-RSA-01\"}");
        vpkiResp resp;
        return reqSync(service, &req, &resp);
    }

    void injectOnRequest(pkisim::fault f)
    {
        f.method = "deviceOperator:getDevInfo";
        sim->injectFault(f);
    }
};

// Calls before an agent exists, or without a session, or with bad arguments.
TEST_F(errors, refusedCallsSayWhy)
{
    vpkiReq req;
    vpkiResp resp;
    unsigned char signature[VPKI_ECC_SIGNATURE_SIZE];
    const struct {
        const char* what;
        std::function<bool()> call;
        int code;
    } cases[] = {
        {"request before createAgent", [&] { return reqSync(DEVSERVICE, &req, &resp); }, VPKI_ERR_NOT_CREATED},
        {"queue before createAgent", [&] { return reqAsync(DEVSERVICE, &req, nullptr) != 0; }, VPKI_ERR_NOT_CREATED},
        {"login before createAgent", [&] { return loginDemo(); }, VPKI_ERR_NOT_CREATED},
        {"logout before createAgent", [&] { return logoutAgent(); }, VPKI_ERR_NOT_CREATED},
        {"create", [&] { return createAgent(nullptr, nullptr, nullptr); }, VPKI_OK},
        {"request before login", [&] { return reqSync(DEVSERVICE, &req, &resp); }, VPKI_ERR_NOT_LOGGED_IN},
        {"sign before login", [&] { return eccSignData("{}", nullptr, 0, signature) == VPKI_SIGN_OK; },
         VPKI_ERR_BAD_ARGUMENT},
        {"null credential", [&] { return loginAgent(nullptr, "id", "token"); }, VPKI_ERR_BAD_ARGUMENT},
        {"login", [&] { return loginDemo(); }, VPKI_OK},
        {"null response record", [&] { return reqSync(DEVSERVICE, &req, nullptr); }, VPKI_ERR_BAD_ARGUMENT},
        {"unknown service", [&] { return reqSync(static_cast<PKI_SERVICE>(9), &req, &resp); }, VPKI_ERR_BAD_ARGUMENT},
        {"null request to queue", [&] { return reqAsync(DEVSERVICE, nullptr, nullptr) != 0; }, VPKI_ERR_BAD_ARGUMENT},
        {"null signature output", [&] { return eccSignData("{}", nullptr, 0, nullptr) == VPKI_SIGN_OK; },
         VPKI_ERR_BAD_ARGUMENT},
        {"request", [&] { return request(); }, VPKI_OK},
        {"logout", [&] { return logoutAgent(); }, VPKI_OK},
        {"request after logout", [&] { return request(); }, VPKI_ERR_NOT_LOGGED_IN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), c.code == VPKI_OK);
        EXPECT_EQ(agentLastError(), c.code) << agentLastErrorText();
        EXPECT_EQ(std::string(agentLastErrorText()).empty(), c.code == VPKI_OK);
    }
}

TEST_F(errors, aRefusedLoginAndAServiceThatWillNotSignSayWhy)
{
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    sim->injectFault(faultOf(pkisim::fault::refuseLogin, "vantService:login"));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loginDemo());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(agentLastError(), VPKI_ERR_LOGIN_REFUSED);
    EXPECT_STREQ(agentLastErrorText(), "login refused: errCode 2");

    ASSERT_TRUE(loginDemo());
    unsigned char signature[VPKI_ECC_SIGNATURE_SIZE];
    const unsigned char data[] = "data";
    EXPECT_EQ(eccSignData("{\"devId\":\"NO-SUCH\",\"applicationName\":\"pkisim\",\"containerName\":\"sign\"}", data, 4,
                          signature),
              VPKI_SIGN_FAILED);
    EXPECT_EQ(agentLastError(), VPKI_ERR_SERVICE_ERROR) << agentLastErrorText();
}

TEST_F(errors, theDebugHookReportsExchangesConnectionsAndTheListener)
{
    logLines log;
    setAgentLogger(&logLines::record, &log);
    createAndLogin();
    EXPECT_TRUE(request());
    pkisim::fault unavailable = faultOf(pkisim::fault::httpStatus);
    unavailable.status = 503;
    injectOnRequest(unavailable);
    EXPECT_FALSE(request());
    ASSERT_TRUE(waitUntil([&] { return log.has("vantService:getNotify"); }));
    setAgentLogger(nullptr, nullptr);
    EXPECT_TRUE(log.has("vantService:login sent"));
    EXPECT_TRUE(log.has("request connection to 127.0.0.1:18080 opened"));
    EXPECT_TRUE(log.has("deviceOperator:getDevInfo sent"));
    EXPECT_TRUE(log.has("errCode 0"));
    EXPECT_TRUE(log.has("failed: HTTP 503"));
    EXPECT_TRUE(log.has("notification thread started"));
}

} // namespace
