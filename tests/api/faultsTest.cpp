// A service that fails, misbehaves or goes away costs the request it hit and
// nothing more: the failed request reports failure with the response record
// untouched, and the next request gets its own answer.
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "agentOwner.h"
#include "serviceFixture.h"

namespace {

using testsupport::fillRequest;
using testsupport::isPoisoned;
using testsupport::poisonResponse;

const std::string soundResult =
    "{\"0\":{\"rec\":{\"1\":{\"i32\":1},\"2\":{\"i32\":17},\"3\":{\"i32\":1},\"4\":{\"i32\":0},"
    "\"5\":{\"i64\":0},\"6\":{\"str\":\"{}\"}}}}";

// With one request connection and with four: each exchange has its own
// connection then, and the faults must stay with the one they hit all the same.
class faults : public testsupport::serviceTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        serviceTest::SetUp();
        ASSERT_TRUE(setAgentMaxConnections(GetParam()));
        createAndLogin();
    }

    // The next request goes over a new connection with this time-out.
    void useFreshConnection(int timeoutMs)
    {
        vant::theAgent().waits().requestTimeoutMs = timeoutMs;
        vant::theAgent().requestConnections().closeIdle();
    }

    static pkisim::fault on(pkisim::fault::kind what)
    {
        return testsupport::faultOf(what, "deviceOperator:getDevInfo");
    }

    void answerNextWith(const std::string& body)
    {
        sim->injectFault(testsupport::replyOf("deviceOperator:getDevInfo", VPKI_RESULT_OK, body));
    }

    // What `call` printed on standard output and error: a library prints nothing.
    static std::string printedBy(const std::function<void()>& call)
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        call();
        return testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    }

    // getDevInfo; false with the response untouched, or true and its body.
    bool request(std::string& body)
    {
        vpkiReq req;
        fillRequest(req, VPKI_DEV_getDevInfo, "{\"devID\":\"SIM-RSA-01\"}");
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

// Each failure has its own code and a text with the detail. A reply that
// comes after the time-out is never taken for the next request's answer.
TEST_P(faults, eachMisbehaviourFailsAloneAndQuietlySayingWhy)
{
    constexpr int timeoutMs = 2000;
    auto with = [](pkisim::fault::kind what, int status = 500) {
        pkisim::fault f = on(what);
        f.status = status;
        f.delayMs = 2 * timeoutMs;
        f.rawWire = true; // for the raw reply: the whole stream, announcing 4 GiB
        f.message = what == pkisim::fault::rawReply ? "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n\r\n"
                                                    : "no such device";
        return f;
    };
    const struct {
        pkisim::fault fault;
        int code;
        const char* text;
    } cases[] = {
        {with(pkisim::fault::delay), VPKI_ERR_TIMED_OUT, "in time"},
        {with(pkisim::fault::exception), VPKI_ERR_SERVICE_EXCEPTION, "service exception: no such device"},
        {with(pkisim::fault::httpStatus, 503), VPKI_ERR_HTTP_STATUS, "HTTP 503"},
        {with(pkisim::fault::httpStatus, 404), VPKI_ERR_HTTP_STATUS, "HTTP 404"},
        {with(pkisim::fault::malformed), VPKI_ERR_DAMAGED_REPLY, "damaged reply"},
        {with(pkisim::fault::missingResult), VPKI_ERR_DAMAGED_REPLY, "damaged reply"},
        {with(pkisim::fault::dropMidReply), VPKI_ERR_CONNECTION_LOST, "closed the connection"},
        {with(pkisim::fault::rawReply), VPKI_ERR_REPLY_TOO_LARGE, "larger than 256 MiB"},
    };
    useFreshConnection(timeoutMs);
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        sim->injectFault(c.fault);
        const std::string expected = "{\"round\":" + std::to_string(round++) + "}";
        answerNextWith(expected);
        std::string body;
        bool answered = true;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(printedBy([&] { answered = request(body); }), "");
        EXPECT_FALSE(answered);
        EXPECT_EQ(agentLastError(), c.code);
        EXPECT_NE(std::string(agentLastErrorText()).find(c.text), std::string::npos) << agentLastErrorText();
        if (c.code == VPKI_ERR_TIMED_OUT) {
            EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(timeoutMs));
        }
        ASSERT_TRUE(request(body));
        EXPECT_EQ(body, expected);
    }
}

TEST_P(faults, aServiceDownFailsQuietlyAndARestartBetweenRequestsCostsNone)
{
    std::string body;
    sim->stop();
    EXPECT_EQ(printedBy([&] { EXPECT_FALSE(request(body)); }), "");
    EXPECT_EQ(agentLastError(), VPKI_ERR_CANNOT_CONNECT) << agentLastErrorText();
    sim->start();
    ASSERT_TRUE(request(body));
    for (int i = 0; i < 3; ++i) {
        sim->stop();
        sim->start();
        EXPECT_TRUE(request(body)) << "after restart " << i;
    }
}

TEST_P(faults, aLongLivedConnectionIsRenewedBeforeTheServiceLimit)
{
    // A Thrift HTTP server drops a keep-alive connection after about 100 MB
    // (its read buffer grows with the traffic); with 64 KB requests that is
    // some 1,500 calls on one connection.
    vpkiReq req;
    fillRequest(req, VPKI_DEV_getDevices, "");
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
    for (int i = 0; i < 400; ++i) {
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

// A reply message to getDevInfo, numbered `seqid`, with `result` as its result.
std::string replyMessage(int32_t seqid, const std::string& result = soundResult, const char* method = "getDevInfo",
                         int type = 2)
{
    return "[1,\"" + std::string(method) + "\"," + std::to_string(type) + "," + std::to_string(seqid) + "," + result +
           "]";
}

// After hand-made bytes the service takes no further call on the connection;
// replies that are to be taken ask the library to close it.
std::string httpReply(const std::string& body, const std::string& headers = "")
{
    return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// `body` in `pieces` chunks, each size followed by `extension`; `trailer`
// (header lines) follows the last chunk.
std::string chunked(const std::string& body, const std::string& extension = "", const std::string& trailer = "",
                    const std::string& coding = "chunked", size_t pieces = 2)
{
    std::string stream = "HTTP/1.1 200 OK\r\nConnection: close\r\nTransfer-Encoding: " + coding + "\r\n\r\n";
    const size_t step = (body.size() + pieces - 1) / pieces;
    for (size_t at = 0; at < body.size(); at += step) {
        const std::string part = body.substr(at, step);
        char size[16];
        std::snprintf(size, sizeof size, "%zx", part.size());
        stream += size + extension + "\r\n" + part + "\r\n";
    }
    return stream + "0\r\n" + trailer + "\r\n";
}

std::string repeated(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

std::string withErrCode(const std::string& errCode)
{
    return "{\"0\":{\"rec\":{\"1\":{\"i32\":1},\"2\":{\"i32\":17},\"3\":{\"i32\":1}," + errCode +
           "\"5\":{\"i64\":0},\"6\":{\"str\":\"{}\"}}}}";
}

// Each class of damaged or misbehaving reply fails the one request it hit,
// with its own code, the record untouched and the connection dropped, at
// once or, where the reply never completes, at the deadline; sound replies
// in unusual framing pass. Each reply is made for the number of the call it
// answers, the one after an ordinary call on the same connection.
TEST_P(faults, everyClassOfBadReplyFailsAloneAndSoundOnesPass)
{
    enum outcome { answered, failsAtOnce, failsAtTheDeadline };
    struct wireCase {
        const char* what;
        std::function<std::string(int32_t seqid)> bytes; // for the call numbered seqid
        bool wholeStream;                                // the bytes are the HTTP stream, not only the body
        int paceMs;
        outcome expected;
        int code; // of the failure
    };
    auto sound = [](int32_t seqid) { return replyMessage(seqid); };
    const std::string kib100(100 * 1024, 'x');
    const wireCase cases[] = {
        {"sound", sound, false, 0, answered, VPKI_OK},
        {"chunked", [&](int32_t n) { return chunked(sound(n)); }, true, 0, answered, VPKI_OK},
        {"after interim replies",
         [&](int32_t n) {
             return "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n" +
                    httpReply(sound(n), "Connection: close\r\n");
         },
         true, 0, answered, VPKI_OK},
        {"an unasked switch of protocols",
         [&](int32_t n) { return "HTTP/1.1 101 Switching Protocols\r\n\r\n" + httpReply(sound(n)); }, true, 0,
         failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"a transfer coding besides chunked", [&](int32_t n) { return chunked(sound(n), "", "", "gzip, chunked"); },
         true, 0, failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"a 100 KiB chunk extension", [&](int32_t n) { return chunked(sound(n), ";x=" + kib100); }, true, 0,
         failsAtOnce, VPKI_ERR_REPLY_TOO_LARGE},
        {"a 260 KiB chunk extension", [&](int32_t n) { return chunked(sound(n), ";x=" + repeated(kib100, 3)); }, true,
         0, failsAtOnce, VPKI_ERR_REPLY_TOO_LARGE},
        {"chunk extensions of 4 KiB, 32 KiB in all",
         [&](int32_t n) { return chunked(sound(n), ";x=" + std::string(4096, 'x'), "", "chunked", 8); }, true, 0,
         failsAtOnce, VPKI_ERR_REPLY_TOO_LARGE},
        {"a 100 KiB trailer", [&](int32_t n) { return chunked(sound(n), "", "X-Pad: " + kib100 + "\r\n"); }, true, 0,
         failsAtOnce, VPKI_ERR_REPLY_TOO_LARGE},
        {"one reply too many", [&](int32_t n) { return httpReply(sound(n)) + httpReply(sound(n)); }, true, 0,
         failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"a second message in the body", [&](int32_t n) { return sound(n) + sound(n); }, false, 0, failsAtOnce,
         VPKI_ERR_DAMAGED_REPLY},
        {"a number without digits", [](int32_t n) { return replyMessage(n, withErrCode("\"4\":{\"i32\":},")); }, false,
         0, failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"a lone sign", [](int32_t n) { return replyMessage(n, withErrCode("\"4\":{\"i32\":-},")); }, false, 0,
         failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"a number out of range",
         [](int32_t n) { return replyMessage(n, withErrCode("\"4\":{\"i32\":99999999999},")); }, false, 0, failsAtOnce,
         VPKI_ERR_DAMAGED_REPLY},
        {"a field of the wrong type", [](int32_t n) { return replyMessage(n, withErrCode("\"4\":{\"str\":\"0\"},")); },
         false, 0, failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"a field sent twice",
         [](int32_t n) { return replyMessage(n, withErrCode("\"4\":{\"i32\":0},\"4\":{\"i32\":7},")); }, false, 0,
         failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"an answer without errCode", [](int32_t n) { return replyMessage(n, withErrCode("")); }, false, 0, failsAtOnce,
         VPKI_ERR_DAMAGED_REPLY},
        {"a reply to another method", [](int32_t n) { return replyMessage(n, soundResult, "getDevices"); }, false, 0,
         failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"a reply to another call", [](int32_t n) { return replyMessage(n + 1); }, false, 0, failsAtOnce,
         VPKI_ERR_DAMAGED_REPLY},
        // The number a connection's second call had when every connection
        // counted from 1: a reply made before its call may not guess it.
        {"a reply with a guessed number", [](int32_t) { return replyMessage(2); }, false, 0, failsAtOnce,
         VPKI_ERR_DAMAGED_REPLY},
        {"a call", [](int32_t n) { return replyMessage(n, soundResult, "getDevInfo", 1); }, false, 0, failsAtOnce,
         VPKI_ERR_DAMAGED_REPLY},
        {"a oneway message", [](int32_t n) { return replyMessage(n, soundResult, "getDevInfo", 4); }, false, 0,
         failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"an exception of unknown type",
         [](int32_t n) { return replyMessage(n, "{\"1\":{\"str\":\"x\"},\"2\":{\"i32\":77}}", "getDevInfo", 3); },
         false, 0, failsAtOnce, VPKI_ERR_DAMAGED_REPLY},
        {"a length of 4 GiB", [](int32_t) { return "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n\r\n[1"; }, true,
         0, failsAtOnce, VPKI_ERR_REPLY_TOO_LARGE},
        {"a chunk past the bound",
         [](int32_t) { return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n12c00000\r\n[1"; }, true, 0,
         failsAtOnce, VPKI_ERR_REPLY_TOO_LARGE},
        {"a trickle", [&](int32_t n) { return httpReply(sound(n)); }, true, 100, failsAtTheDeadline,
         VPKI_ERR_TIMED_OUT},
        {"interim replies forever", [](int32_t) { return repeated("HTTP/1.1 100 Continue\r\n\r\n", 100); }, true, 5,
         failsAtTheDeadline, VPKI_ERR_TIMED_OUT},
    };
    for (const wireCase& c : cases) {
        SCOPED_TRACE(c.what);
        const int timeoutMs = c.expected == failsAtTheDeadline ? 1000 : 10000;
        useFreshConnection(timeoutMs);
        std::string body;
        answerNextWith("{\"first\":1}");
        ASSERT_TRUE(request(body));
        const int32_t last = testsupport::requestCalls(*sim).back().seqid;
        pkisim::fault raw = on(pkisim::fault::rawReply);
        raw.message = c.bytes(last == INT32_MAX ? 1 : last + 1);
        raw.rawWire = c.wholeStream;
        raw.paceMs = c.paceMs;
        sim->injectFault(raw);

        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(request(body), c.expected == answered);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(agentLastError(), c.code) << agentLastErrorText();
        if (c.expected == failsAtOnce) {
            EXPECT_LT(took, std::chrono::milliseconds(timeoutMs / 2));
        } else if (c.expected == failsAtTheDeadline) {
            EXPECT_GE(took, std::chrono::milliseconds(timeoutMs));
            EXPECT_LT(took, std::chrono::milliseconds(timeoutMs + 6000)) << "not when the reply would end";
        }
        sim->clearFaults();
        answerNextWith("{\"next\":1}");
        ASSERT_TRUE(request(body));
        EXPECT_EQ(body, "{\"next\":1}");
    }
}

INSTANTIATE_TEST_SUITE_P(requestConnections, faults, testing::Values(1, 4));

} // namespace
