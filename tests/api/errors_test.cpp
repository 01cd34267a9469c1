// Why a call failed: every failure of the interface's functions leaves a
// code and a line of text for agentLastError and agentLastErrorText, on the
// calling thread (on the worker, before the response callback); success
// leaves VPKI_OK. The debug hook reports each exchange with its outcome.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "connection.h"
#include "serviceFixture.h"
#include "timings.h"

namespace {

using testsupport::fillRequest;
using testsupport::waitUntil;

class errors : public testsupport::serviceTest {
protected:
    bool request(PKI_SERVICE service = DEVSERVICE)
    {
        vpkiReq req;
        fillRequest(req, 17, "{\"devID\":\"SIM-RSA-01\"}");
        vpkiResp resp;
        return reqSync(service, &req, &resp);
    }

    void injectOnRequest(pkisim::fault f)
    {
        f.method = "deviceOperator:getDevInfo";
        sim->injectFault(f);
    }
};

pkisim::fault faultOf(pkisim::fault::kind what)
{
    pkisim::fault f;
    f.what = what;
    return f;
}

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

// Each way an exchange with the service can fail has its own code, and the
// text carries the detail.
TEST_F(errors, failedExchangesSayWhy)
{
    createAndLogin();
    pkisim::fault unavailable = faultOf(pkisim::fault::httpStatus);
    unavailable.status = 503;
    pkisim::fault exception = faultOf(pkisim::fault::exception);
    exception.message = "no such device";
    pkisim::fault tooLarge = faultOf(pkisim::fault::rawReply);
    tooLarge.rawWire = true;
    tooLarge.message = "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n\r\n";
    pkisim::fault slow = faultOf(pkisim::fault::delay);
    slow.delayMs = 3000;
    const struct {
        pkisim::fault fault;
        int code;
        const char* text;
    } cases[] = {
        {unavailable, VPKI_ERR_HTTP_STATUS, "HTTP 503"},
        {exception, VPKI_ERR_SERVICE_EXCEPTION, "service exception: no such device"},
        {faultOf(pkisim::fault::malformed), VPKI_ERR_DAMAGED_REPLY, "damaged reply"},
        {faultOf(pkisim::fault::missingResult), VPKI_ERR_DAMAGED_REPLY, "damaged reply"},
        {faultOf(pkisim::fault::dropMidReply), VPKI_ERR_CONNECTION_LOST, "closed the connection"},
        {tooLarge, VPKI_ERR_REPLY_TOO_LARGE, "larger than 256 MiB"},
        {slow, VPKI_ERR_TIMED_OUT, "in time"},
    };
    vant::g_timings.requestTimeoutMs = 1000;
    renewRequestConnection();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        injectOnRequest(c.fault);
        EXPECT_FALSE(request());
        EXPECT_EQ(agentLastError(), c.code);
        EXPECT_NE(std::string(agentLastErrorText()).find(c.text), std::string::npos) << agentLastErrorText();
    }
    sim->stop();
    EXPECT_FALSE(request());
    EXPECT_EQ(agentLastError(), VPKI_ERR_CANNOT_CONNECT) << agentLastErrorText();
    EXPECT_STREQ(agentErrorString(VPKI_ERR_CANNOT_CONNECT), "cannot connect");
}

TEST_F(errors, aRefusedLoginAndAServiceThatWillNotSignSayWhy)
{
    ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
    sim->injectFault(faultOf(pkisim::fault::refuseLogin));
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

std::atomic<int> callbackError{-1};

void recordError(void*, vpkiResp*, void*)
{
    callbackError = agentLastError();
}

TEST_F(errors, theResponseCallbackCanAskWhyItsRequestFailed)
{
    createAndLogin(nullptr, &recordError);
    pkisim::fault unavailable = faultOf(pkisim::fault::httpStatus);
    unavailable.status = 503;
    injectOnRequest(unavailable);
    vpkiReq req;
    fillRequest(req, 17, "{}");
    ASSERT_NE(reqAsync(DEVSERVICE, &req, nullptr), 0);
    ASSERT_TRUE(waitUntil([] { return callbackError != -1; }));
    EXPECT_EQ(callbackError, VPKI_ERR_HTTP_STATUS);
}

struct logLines {
    std::mutex lock;
    std::vector<std::string> lines;
    static void record(const char* line, void* param)
    {
        auto* self = static_cast<logLines*>(param);
        std::lock_guard<std::mutex> hold(self->lock);
        self->lines.emplace_back(line);
    }
    bool has(const std::string& part)
    {
        std::lock_guard<std::mutex> hold(lock);
        for (const std::string& line : lines)
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
};

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
