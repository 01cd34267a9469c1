// The HTTP and protocol layers against bad input, by raw sockets: every case
// ends with a clear answer or a closed connection, and the service goes on.
#include <gtest/gtest.h>

#include <thrift/TApplicationException.h>

#include <string>

#include "simTestSupport.h"

namespace {

using namespace pkitest;
using apache::thrift::TApplicationException;

constexpr size_t smallBodyLimit = 4096;

pkisim::options smallBodies()
{
    pkisim::options opts = freePorts();
    opts.maxBodyBytes = smallBodyLimit;
    return opts;
}

class simTransport : public loggedInTest {
protected:
    simTransport() : loggedInTest(smallBodies()) {}

    std::string versions() { return versionsBody(ticket, request(0, "")); }

    // Sends a Thrift body and reads the application exception its reply carries.
    TApplicationException exceptionFor(const std::string& body)
    {
        rawConnection raw(service.port());
        EXPECT_TRUE(raw.sendPost(body));
        httpResponse reply;
        EXPECT_TRUE(raw.readReply(reply));
        EXPECT_EQ(reply.status, 200);
        // The connection carries on after an exception reply.
        EXPECT_TRUE(raw.sendPost(versions()));
        httpResponse next;
        EXPECT_TRUE(raw.readReply(next));
        EXPECT_EQ(readVersionsReply(next.body).errCode, 0);
        try {
            readVersionsReply(reply.body);
        } catch (const TApplicationException& e) {
            return e;
        }
        ADD_FAILURE() << "no exception in " << reply.body;
        return TApplicationException();
    }
};

TEST_F(simTransport, malformedOrRefusedHttpIsAnsweredAndTheConnectionClosed)
{
    const std::string body = versions();
    struct {
        std::string bytes;
        int status;
    } const cases[] = {
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"POST / HTTP/1.1\r\nHost: x\r\n\r\n" + body, 411},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 411},
        {"POST / HTTP/2.0\r\nContent-Length: 2\r\n\r\n{}", 505},
        {"this is not http\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nno colon here\r\nContent-Length: 2\r\n\r\n{}", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 2x\r\n\r\n{}", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\n{}", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 2\r\n folded: header\r\n\r\n{}", 400},
        {"POST / HTTP/1.1\r\nX-Big: " + std::string(20000, 'x') + "\r\n\r\n", 431},
        {postHead(smallBodyLimit + 1), 413},
        {"POST / HTTP/1.1\r\nContent-Length: 9\r\n\r\nnot thrift", 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 60));
        rawConnection raw(service.port());
        raw.send(c.bytes);
        httpResponse reply;
        ASSERT_TRUE(raw.readReply(reply));
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.headers["connection"], "close");
        EXPECT_TRUE(raw.closedByPeer());
    }
    EXPECT_TRUE(waitUntil([&] { return service.openConnections() == 0; }));
    serviceClient client(service.port());
    EXPECT_EQ(client.getDevices(ticket).errCode, 0);
}

TEST_F(simTransport, unknownNamesAndBadMessagesGetApplicationExceptions)
{
    const std::string versionsCall = versions();
    auto renamed = [&](const std::string& name) {
        std::string body = versionsCall;
        body.replace(body.find("vantService:getVersions"), 23, name);
        return body;
    };
    EXPECT_EQ(exceptionFor(renamed("nosuch:getVersions")).getType(), TApplicationException::UNKNOWN_METHOD);
    EXPECT_STREQ(exceptionFor(renamed("deviceOperator:noSuch")).what(), "Invalid method name: 'noSuch'");
    EXPECT_EQ(exceptionFor(renamed("vantService:noSuch")).getType(), TApplicationException::UNKNOWN_METHOD);
    EXPECT_EQ(exceptionFor(renamed("getVersions")).getType(), TApplicationException::UNKNOWN_METHOD)
        << "calls without a service name";
    EXPECT_EQ(exceptionFor(R"([1,"vantService:getVersions",1,0,{"1":{"rec":{"1":{"i64":"x"}}}}])").getType(),
              TApplicationException::PROTOCOL_ERROR);
    EXPECT_EQ(exceptionFor(R"([1,"vantService:getVersions",2,0,{}])").getType(),
              TApplicationException::INVALID_MESSAGE_TYPE);
    std::string deep = R"([1,"deviceOperator:getDevices",1,0,{"3":)";
    for (int i = 0; i < 300; ++i) // far beyond the reader's nesting limit
        deep += R"({"rec":{"1":)";
    EXPECT_EQ(exceptionFor(deep).getType(), TApplicationException::PROTOCOL_ERROR);
}

TEST_F(simTransport, argumentsOfAnotherTypeAreSkippedLikeTheGeneratedCodeDoes)
{
    // The ticket arrives as a string: it is skipped, so the call has no session.
    rawConnection raw(service.port());
    raw.sendPost(R"([1,"deviceOperator:getDevices",1,0,{"1":{"str":"x"},"2":{"rec":{"1":{"i32":5}}}}])");
    httpResponse reply;
    ASSERT_TRUE(raw.readReply(reply));
    memoryStub<wire::devServiceClient> stub("deviceOperator");
    wire::msgResponse response;
    stub.read(reply.body, [&](wire::devServiceClient& c) { c.recv_getDevices(response); });
    EXPECT_EQ(response.errCode, 1);
    EXPECT_EQ(response.respid, 5);
    EXPECT_FALSE(service.calls().back().hasTicket);
}

TEST_F(simTransport, keepAliveFollowsHttpRules)
{
    const std::string body = versions();
    {
        // Two requests in one write are answered in order.
        rawConnection raw(service.port());
        raw.send(postHead(body.size()) + body + postHead(body.size()) + body);
        httpResponse first, second;
        ASSERT_TRUE(raw.readReply(first));
        ASSERT_TRUE(raw.readReply(second));
        EXPECT_EQ(readVersionsReply(second.body).errCode, 0);
        EXPECT_EQ(first.headers["connection"], "keep-alive");
    }
    {
        rawConnection raw(service.port());
        raw.send(postHead(body.size(), "Expect: 100-continue\r\n"));
        httpResponse interim, final;
        ASSERT_TRUE(raw.readReply(interim));
        EXPECT_EQ(interim.status, 100);
        raw.send(body);
        ASSERT_TRUE(raw.readReply(final));
        EXPECT_EQ(final.status, 200);
    }
    for (const std::string& head : {"POST / HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n",
                                    postHead(body.size(), "Connection: close\r\n")}) {
        rawConnection raw(service.port());
        raw.send(head + body);
        httpResponse reply;
        ASSERT_TRUE(raw.readReply(reply));
        EXPECT_EQ(reply.status, 200);
        EXPECT_TRUE(raw.closedByPeer());
    }
}

TEST_F(simTransport, clientsThatLeaveMidRequestFreeTheirThreads)
{
    {
        rawConnection idle(service.port());
        rawConnection halfHead(service.port());
        rawConnection halfBody(service.port());
        halfHead.send("POST / HTTP/1.1\r\nContent-Le");
        halfBody.send(postHead(100) + "{\"partial");
        ASSERT_TRUE(waitUntil([&] { return service.openConnections() == 3; }));
    }
    EXPECT_TRUE(waitUntil([&] { return service.openConnections() == 0; }));
}

} // namespace
