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

pkisim::options fewRecorded()
{
    pkisim::options opts = freePorts();
    opts.recordLimit = 16; // keeps memory flat over the long run
    return opts;
}

class simKeepAlive : public loggedInTest {
protected:
    simKeepAlive() : loggedInTest(fewRecorded()) {}
};

TEST_F(simKeepAlive, tenThousandCallsOf64KiBOnOneConnection)
{
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
    std::printf("%d calls of %zu bytes on one connection: %.1f s (%.2f ms per call)\n", answered, body.size(), seconds,
                1000 * seconds / manyCalls);
    RecordProperty("seconds", std::to_string(seconds));
    ASSERT_EQ(answered, manyCalls);
    for (const pkisim::recordedCall& call : service.calls()) {
        EXPECT_EQ(call.peerPort, raw.localPort());
        EXPECT_EQ(call.jsonBody.size(), payload.size());
    }
}

} // namespace
