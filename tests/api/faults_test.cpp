// A service that fails, misbehaves or goes away costs the request it hit and
// nothing more: the failed request reports failure with the response record
// untouched, and the next request gets its own answer.
#include <chrono>
#include <map>
#include <string>

#include "serviceFixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::fillRequest;
using testsupport::isPoisoned;
using testsupport::poisonResponse;

class faults : public testsupport::serviceTest {
protected:
    void SetUp() override
    {
        serviceTest::SetUp();
        createAndLogin();
    }

    pkisim::fault on(pkisim::fault::kind what)
    {
        pkisim::fault f;
        f.what = what;
        f.method = "deviceOperator:getDevInfo";
        return f;
    }

    void answerNextWith(const std::string& body)
    {
        pkisim::fault f = on(pkisim::fault::reply);
        f.jsonBody = body;
        sim->injectFault(f);
    }

    // getDevInfo; false with the response untouched, or true and its body.
    bool request(std::string& body)
    {
        vpkiReq req;
        fillRequest(req, 17, "{\"devID\":\"SIM-RSA-01\"}");
        vpkiResp resp;
        poisonResponse(resp);
        if (!reqSync(DEVSERVICE, &req, &resp)) {
            EXPECT_TRUE(isPoisoned(resp));
            return false;
        }
        body = resp.body->getDataString();
        return true;
    }
};

TEST_F(faults, eachMisbehaviourFailsAloneAndQuietly)
{
    pkisim::fault exception = on(pkisim::fault::exception);
    pkisim::fault notFound = on(pkisim::fault::httpStatus);
    notFound.status = 404;
    const pkisim::fault cases[] = {exception, on(pkisim::fault::missingResult),
                                   on(pkisim::fault::malformed), on(pkisim::fault::httpStatus),
                                   notFound, on(pkisim::fault::dropMidReply)};
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    int round = 0;
    for (const pkisim::fault& f : cases) {
        SCOPED_TRACE(round);
        sim->injectFault(f);
        const std::string expected = "{\"round\":" + std::to_string(round++) + "}";
        answerNextWith(expected);
        std::string body;
        EXPECT_FALSE(request(body));
        ASSERT_TRUE(request(body));
        EXPECT_EQ(body, expected);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(faults, serviceDownThenBack)
{
    std::string body;
    sim->stop();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(request(body));
    EXPECT_FALSE(request(body));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    sim->start();
    answerNextWith("{\"back\":true}");
    ASSERT_TRUE(request(body));
    EXPECT_EQ(body, "{\"back\":true}");
}

TEST_F(faults, aRestartBetweenRequestsCostsNoRequest)
{
    std::string body;
    ASSERT_TRUE(request(body));
    for (int i = 0; i < 3; ++i) {
        sim->stop();
        sim->start();
        EXPECT_TRUE(request(body)) << "after restart " << i;
    }
}

TEST_F(faults, aSlowReplyTimesOutAndIsNeverTakenForTheNextAnswer)
{
    pkisim::fault slow = on(pkisim::fault::delay);
    slow.delayMs = 16000;
    sim->injectFault(slow);
    answerNextWith("{\"own\":\"answer\"}");

    std::string body;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(request(body));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 14500ms);
    EXPECT_LT(waited, 16000ms);

    ASSERT_TRUE(request(body));
    EXPECT_EQ(body, "{\"own\":\"answer\"}");
}

TEST_F(faults, aLongLivedConnectionIsRenewedBeforeTheServiceLimit)
{
    // The service drops a keep-alive connection after about 100 MB; with
    // 64 KB requests that is some 1,500 calls on one connection.
    vpkiReq req;
    fillRequest(req, 16, "");
    const std::string body(64 * 1024, 'a');
    req.body->setSize(static_cast<int64_t>(body.size()));
    body.copy(req.body->getData(), body.size());

    std::map<uint16_t, int> callsPerConnection;
    auto collect = [&] {
        for (const auto& call : testsupport::requestCalls(*sim))
            ++callsPerConnection[call.peerPort];
        sim->clearCalls();
    };
    sim->clearCalls();
    for (int i = 0; i < 1100; ++i) {
        vpkiResp resp;
        ASSERT_TRUE(reqSync(DEVSERVICE, &req, &resp)) << "request " << i;
        if (i % 100 == 99)
            collect();
    }
    collect();
    EXPECT_GE(callsPerConnection.size(), 2u);
    for (const auto& connection : callsPerConnection)
        EXPECT_LT(connection.second * 66 * 1024, 100 * 1000 * 1000) << "port " << connection.first;
}

TEST_F(faults, damagedRepliesFailCleanlyAndSoundOnesPass)
{
    const struct {
        const char* text;
        bool answered;
    } replies[] = {
        // A byte out of range in a field the reader skips: Thrift's own
        // reader would stop the process on an assertion.
        {"[1,\"getDevInfo\",2,0,{\"0\":{\"rec\":{\"4\":{\"i32\":0},\"9\":{\"i8\":300}}}}]", false},
        {"[1,\"getDevInfo\",99,0,{\"0\":{\"rec\":{}}}]", false},
        {"[1,\"getDevInfo\",2,0,{\"0\":{\"rec\":{\"4\":{\"i32\":7},\"9\":{\"i8\":5}}}}]", true},
    };
    for (const auto& r : replies) {
        SCOPED_TRACE(r.text);
        pkisim::fault raw = on(pkisim::fault::rawReply);
        raw.message = r.text;
        sim->injectFault(raw);
        std::string body;
        EXPECT_EQ(request(body), r.answered);
        answerNextWith("{\"next\":1}");
        ASSERT_TRUE(request(body));
        EXPECT_EQ(body, "{\"next\":1}");
    }
}

} // namespace
