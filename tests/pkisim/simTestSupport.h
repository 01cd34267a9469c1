// Clients for the tests of the service core: the generated Thrift clients over
// the usual HTTP stack, the same clients over memory buffers (to make and
// read raw bodies), and a raw HTTP connection.
#ifndef PKISIM_TEST_SUPPORT_H
#define PKISIM_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/protocol/TMultiplexedProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commdef_types.h"
#include "devService.h"
#include "simServer.h"
#include "simSupport.h"
#include "vantService.h"
#include "waitUntil.h"

namespace pkitest {

namespace wire = ::com::vant::cbb::pkimid;
using testsupport::waitUntil;

// A server on free ports, no control channel, device keys shared by the
// servers of one test program.
pkisim::options freePorts();

wire::msgRequest request(int32_t msgType, const std::string& body, int64_t extend = 0, int32_t reqid = 7);
wire::msgRequest loginRequest(const std::string& appName = pkisim::demoAppName,
                              const std::string& appID = pkisim::demoAppID,
                              const std::string& token = pkisim::demoToken);
wire::msgRequest pollRequest(int64_t cursor);
// The ticket of an accepted login response (sessionID 0 when the body lacks it).
wire::sessionTicket ticketOf(const wire::msgResponse& login);

// The generated clients on one keep-alive connection: socket, buffered
// transport, HTTP client, JSON protocol, one multiplexed protocol per service.
class serviceClient {
    std::shared_ptr<apache::thrift::transport::TTransport> transport;
    std::shared_ptr<apache::thrift::protocol::TProtocol> json;

public:
    explicit serviceClient(uint16_t port, int timeoutMs = 10000);
    serviceClient(const serviceClient&) = delete;
    serviceClient& operator=(const serviceClient&) = delete;

    // Logs in as the demo application; the ticket is empty when refused.
    wire::sessionTicket login();
    wire::msgResponse poll(const wire::sessionTicket& ticket, int64_t cursor);
    // Polls until a reply with an errCode ("nothing", or a refusal) and returns
    // the events before it; `cursor` follows every reply.
    std::vector<wire::msgResponse> drain(const wire::sessionTicket& ticket, int64_t& cursor);
    wire::msgResponse getDevices(const wire::sessionTicket& ticket, const std::string& body = "{}");
    void close();

    wire::vantServiceClient vant;
    wire::devServiceClient dev;
};

// A generated client writing into and reading from memory.
template <typename client>
class memoryStub {
public:
    explicit memoryStub(const std::string& service)
        : out(std::make_shared<apache::thrift::transport::TMemoryBuffer>()),
          in(std::make_shared<apache::thrift::transport::TMemoryBuffer>()),
          stub(std::make_shared<apache::thrift::protocol::TJSONProtocol>(in),
               std::make_shared<apache::thrift::protocol::TMultiplexedProtocol>(
                   std::make_shared<apache::thrift::protocol::TJSONProtocol>(out), service))
    {
    }

    // The body of the call that `send` makes (a send_ function of the client).
    std::string body(const std::function<void(client&)>& send)
    {
        out->resetBuffer();
        send(stub);
        return out->getBufferAsString();
    }
    // Reads a reply body with a recv_ function of the client.
    void read(const std::string& reply, const std::function<void(client&)>& receive)
    {
        in->resetBuffer(reinterpret_cast<uint8_t*>(const_cast<char*>(reply.data())),
                        static_cast<uint32_t>(reply.size()), apache::thrift::transport::TMemoryBuffer::COPY);
        receive(stub);
    }

private:
    std::shared_ptr<apache::thrift::transport::TMemoryBuffer> out;
    std::shared_ptr<apache::thrift::transport::TMemoryBuffer> in;

public:
    client stub;
};

std::string versionsBody(const wire::sessionTicket& ticket, const wire::msgRequest& req);
// Reads a getVersions reply body; throws what the generated client throws.
wire::msgResponse readVersionsReply(const std::string& reply);

struct httpResponse {
    int status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
};

// A plain TCP connection that speaks HTTP by hand.
class rawConnection {
public:
    explicit rawConnection(uint16_t port);
    ~rawConnection();
    rawConnection(const rawConnection&) = delete;
    rawConnection& operator=(const rawConnection&) = delete;

    bool send(const std::string& bytes);
    bool sendPost(const std::string& body, const std::string& extraHeaders = "");
    // One reply framed by Content-Length; false when the connection closed or
    // nothing came within the time.
    bool readReply(httpResponse& reply, int timeoutMs = 10000);
    // The next `count` bytes, or fewer when the connection closes or nothing
    // more comes within the time.
    std::string readBytes(size_t count, int timeoutMs = 10000);
    // True when the server closes the connection within the time.
    bool closedByPeer(int timeoutMs = 10000);
    uint16_t localPort() const;

private:
    bool fill(int timeoutMs);

    int fd = -1;
    std::string pending;
};

std::string postHead(size_t length, const std::string& extraHeaders = "");

// A service started for each test, on free ports unless `opts` says otherwise.
class serviceTest : public ::testing::Test {
protected:
    explicit serviceTest(pkisim::options opts = freePorts()) : service(std::move(opts)) {}
    void SetUp() override { service.start(); }

    pkisim::server service;
};

// The same, with a session of the demo application.
class loggedInTest : public serviceTest {
protected:
    using serviceTest::serviceTest;
    void SetUp() override;

    wire::sessionTicket ticket;
};

} // namespace pkitest

#endif // PKISIM_TEST_SUPPORT_H
