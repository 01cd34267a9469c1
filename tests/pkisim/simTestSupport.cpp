#include "simTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thrift/transport/THttpClient.h>
#include <thrift/transport/TSocket.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "tempDir.h"

namespace pkitest {

using namespace apache::thrift;

pkisim::options freePorts()
{
    pkisim::options opts;
    opts.port = 0;
    opts.notifyPort = 0;
    opts.keyDir = testsupport::sharedKeyDir();
    return opts;
}

wire::msgRequest request(int32_t msgType, const std::string& body, int64_t extend, int32_t reqid)
{
    wire::msgRequest req;
    req.__set_reqid(reqid);
    req.__set_msgType(msgType);
    req.__set_version(1);
    req.__set_extend(extend);
    req.__set_jsonBody(body);
    return req;
}

wire::msgRequest loginRequest(const std::string& appName, const std::string& appID, const std::string& token)
{
    const nlohmann::json body = {{"appName", appName}, {"appID", appID}, {"token", token}};
    return request(wire::enMsgType::enMsg_Login, body.dump());
}

wire::msgRequest pollRequest(int64_t cursor)
{
    return request(wire::enMsgType::enMsg_NotifyerStart, "", cursor);
}

wire::sessionTicket ticketOf(const wire::msgResponse& login)
{
    wire::sessionTicket ticket;
    const nlohmann::json body = nlohmann::json::parse(login.jsonBody, nullptr, false);
    if (body.is_object() && body.contains("sessionID") && body.contains("ticket")) {
        ticket.__set_sessionID(std::stoll(body["sessionID"].get<std::string>()));
        ticket.__set_ticket(body["ticket"].get<std::string>());
    }
    return ticket;
}

namespace {

std::shared_ptr<transport::TTransport> httpTransport(uint16_t port, int timeoutMs)
{
    auto socket = std::make_shared<transport::TSocket>("127.0.0.1", port);
    socket->setConnTimeout(timeoutMs);
    socket->setRecvTimeout(timeoutMs);
    socket->setSendTimeout(timeoutMs);
    auto buffered = std::make_shared<transport::TBufferedTransport>(socket);
    return std::make_shared<transport::THttpClient>(buffered, "127.0.0.1", "/");
}

std::shared_ptr<protocol::TProtocol> multiplexed(const std::shared_ptr<protocol::TProtocol>& json,
                                                 const std::string& service)
{
    return std::make_shared<protocol::TMultiplexedProtocol>(json, service);
}

} // namespace

serviceClient::serviceClient(uint16_t port, int timeoutMs)
    : transport(httpTransport(port, timeoutMs)),
      json(std::make_shared<protocol::TJSONProtocol>(transport)),
      vant(multiplexed(json, "vantService")),
      dev(multiplexed(json, "deviceOperator"))
{
    transport->open();
}

wire::sessionTicket serviceClient::login()
{
    wire::msgResponse response;
    vant.login(response, loginRequest());
    return ticketOf(response);
}

wire::msgResponse serviceClient::poll(const wire::sessionTicket& ticket, int64_t cursor)
{
    wire::msgResponse response;
    vant.getNotify(response, ticket, pollRequest(cursor));
    return response;
}

std::vector<wire::msgResponse> serviceClient::drain(const wire::sessionTicket& ticket, int64_t& cursor)
{
    std::vector<wire::msgResponse> events;
    for (;;) {
        wire::msgResponse reply = poll(ticket, cursor);
        cursor = reply.extend;
        if (reply.errCode != 0)
            return events;
        events.push_back(std::move(reply));
    }
}

wire::msgResponse serviceClient::getDevices(const wire::sessionTicket& ticket, const std::string& body)
{
    wire::msgResponse response;
    dev.getDevices(response, ticket, request(16, body));
    return response;
}

void serviceClient::close()
{
    transport->close();
}

std::string versionsBody(const wire::sessionTicket& ticket, const wire::msgRequest& req)
{
    memoryStub<wire::vantServiceClient> stub("vantService");
    return stub.body([&](wire::vantServiceClient& c) { c.send_getVersions(ticket, req); });
}

wire::msgResponse readVersionsReply(const std::string& reply)
{
    memoryStub<wire::vantServiceClient> stub("vantService");
    wire::msgResponse response;
    stub.read(reply, [&](wire::vantServiceClient& c) { c.recv_getVersions(response); });
    return response;
}

std::string postHead(size_t length, const std::string& extraHeaders)
{
    return "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-thrift\r\nContent-Length: " +
           std::to_string(length) + "\r\n" + extraHeaders + "\r\n";
}

rawConnection::rawConnection(uint16_t port)
{
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
}

rawConnection::~rawConnection()
{
    ::close(fd);
}

bool rawConnection::send(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

bool rawConnection::sendPost(const std::string& body, const std::string& extraHeaders)
{
    return send(postHead(body.size(), extraHeaders) + body);
}

// Receives more bytes into `pending`; false on close, error or time-out.
bool rawConnection::fill(int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return false;
    char chunk[65536];
    const ssize_t received = recv(fd, chunk, sizeof chunk, 0);
    if (received <= 0)
        return false;
    pending.append(chunk, static_cast<size_t>(received));
    return true;
}

bool rawConnection::readReply(httpResponse& reply, int timeoutMs)
{
    size_t headEnd;
    while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos)
        if (!fill(timeoutMs))
            return false;
    const std::string head = pending.substr(0, headEnd);
    reply = httpResponse();
    reply.status = std::atoi(head.c_str() + head.find(' ') + 1);
    size_t lineStart = head.find("\r\n");
    while (lineStart != std::string::npos) {
        lineStart += 2;
        const size_t lineEnd = head.find("\r\n", lineStart);
        const size_t lineLength = lineEnd == std::string::npos ? std::string::npos : lineEnd - lineStart;
        const std::string line = head.substr(lineStart, lineLength);
        const size_t colon = line.find(':');
        std::string name = line.substr(0, colon);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        reply.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
        lineStart = lineEnd;
    }
    const size_t length = std::stoul(reply.headers.count("content-length") ? reply.headers["content-length"] : "0");
    while (pending.size() < headEnd + 4 + length)
        if (!fill(timeoutMs))
            return false;
    reply.body = pending.substr(headEnd + 4, length);
    pending.erase(0, headEnd + 4 + length);
    return true;
}

std::string rawConnection::readBytes(size_t count, int timeoutMs)
{
    while (pending.size() < count && fill(timeoutMs))
        continue;
    const std::string bytes = pending.substr(0, count);
    pending.erase(0, bytes.size());
    return bytes;
}

bool rawConnection::closedByPeer(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd p{fd, POLLIN, 0};
    char chunk[4096];
    for (;;) {
        using std::chrono::milliseconds;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        if (recv(fd, chunk, sizeof chunk, 0) <= 0)
            return true;
    }
}

uint16_t rawConnection::localPort() const
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

void loggedInTest::SetUp()
{
    serviceTest::SetUp();
    ticket = serviceClient(service.port()).login();
}

} // namespace pkitest
