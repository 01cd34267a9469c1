// One keep-alive connection carries any number of calls: 10,000 calls of
// 64 KB each, far beyond the ~100 MB after which a connection of the stock
// Thrift HTTP server dies.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "simTestSupport.h"

namespace {

using namespace pkitest;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Sanitizers slow the service's byte-by-byte JSON reading tenfold; 2,000
// calls (some 130 MB) still go well past the point where a stock server drops.
constexpr int manyCalls = 2000;
#else
constexpr int manyCalls = 10000;
#endif
const std::string payload(64 * 1024, 'k');

pkisim::options fewRecorded() {
    pkisim::options opts = freePorts();
    opts.recordLimit = 16;  // keeps memory flat over the long run
    return opts;
}

class keepAliveTest : public loggedInTest {
protected:
    keepAliveTest() : loggedInTest(fewRecorded()) {}
};

TEST_F(keepAliveTest, tenThousandCallsOf64KiBOnOneConnection) {
    // The body is encoded once; the service decodes every one of them.
    const std::string body = versionsBody(ticket, request(0, payload));
    rawConnection raw(service.port());
    const auto started = std::chrono::steady_clock::now();
    int answered = 0;
    for (; answered < manyCalls; ++answered) {
        httpResponse reply;
        if (!raw.sendPost(body) || !raw.readReply(reply, 30000) || reply.status != 200 ||
            readVersionsReply(reply.body).errCode != 0)
            break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d calls of %zu bytes on one connection: %.1f s (%.2f ms per call)\n", answered, body.size(),
                seconds, 1000 * seconds / manyCalls);
    RecordProperty("seconds", std::to_string(seconds));
    ASSERT_EQ(answered, manyCalls);
    for (const pkisim::recordedCall& call : service.calls()) {
        EXPECT_EQ(call.peerPort, raw.localPort());
        EXPECT_EQ(call.jsonBody.size(), payload.size());
    }
}

TEST_F(keepAliveTest, theGeneratedClientStackKeepsItsConnection) {
    serviceClient client(service.port());
    for (int i = 0; i < 200; ++i) {
        wire::msgResponse response;
        client.vant.getVersions(response, ticket, request(0, payload));
        ASSERT_EQ(response.errCode, 0);
    }
    const std::vector<pkisim::recordedCall> calls = service.calls();
    for (const pkisim::recordedCall& call : calls)
        EXPECT_EQ(call.peerPort, calls.front().peerPort);
}

} // namespace
