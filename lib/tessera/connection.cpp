#include "connection.h"

#include "catalogue.h"
#include "httpTransport.h"
#include "jsonProtocol.h"
#include "serviceProtocol.h"
#include "socket.h"
#include "tessera.h"

using apache::thrift::protocol::TProtocol;

const char* const vantServiceName = "vantService";

namespace {

constexpr uint16_t requestPort = 18080;
// A Thrift HTTP server's read buffer grows with the traffic of a kept
// connection (it drops the connection once the buffer reaches its message
// limit, and pays for the growth before): renew the connection between
// exchanges after this much traffic, which costs one connect.
constexpr uint64_t renewAfterBytes = 16ull << 20;

} // namespace

const std::vector<std::string>& requestServices()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all{vantServiceName};
        for (int service = ENROLLSERVICE; service <= VMAILSERVICE; ++service)
            all.emplace_back(vant::serviceWireName(service));
        return all;
    }();
    return names;
}

namespace vant {

struct rpcStack::layers {
    std::shared_ptr<httpTransport> http;
    std::shared_ptr<serviceProtocol::callInFlight> call;
    std::vector<std::pair<std::string, std::shared_ptr<TProtocol>>> protocols;
};

rpcStack::rpcStack(uint16_t port, int timeoutMs, const std::vector<std::string>& services,
                   std::shared_ptr<exchangeBuffers> buffers)
    : rpcStack(std::make_shared<httpTransport>(std::make_unique<loopbackSocket>(port), timeoutMs,
                                               buffers ? std::move(buffers) : std::make_shared<exchangeBuffers>()),
               services, serviceProtocol::randomCallNumber(), port, timeoutMs)
{
}

rpcStack::rpcStack(std::shared_ptr<httpTransport> http, const std::vector<std::string>& services,
                   int32_t firstCallNumber, uint16_t port, int timeoutMs)
    : request(http->buffers()->requestRecord),
      response(http->buffers()->responseRecord),
      port_(port),
      timeoutMs_(timeoutMs),
      stack(new layers)
{
    stack->http = std::move(http);
    auto json = std::make_shared<jsonProtocol>(stack->http);
    stack->call = std::make_shared<serviceProtocol::callInFlight>(firstCallNumber);
    for (const std::string& name : services)
        stack->protocols.emplace_back(name, std::make_shared<serviceProtocol>(json, name, stack->call));
}

rpcStack::~rpcStack()
{
    close();
}

std::shared_ptr<TProtocol> rpcStack::protocol(const std::string& service) const
{
    for (const auto& entry : stack->protocols)
        if (entry.first == service)
            return entry.second;
    return nullptr;
}

void rpcStack::open()
{
    stack->http->open();
}

bool rpcStack::isOpen() const
{
    return stack->http->isOpen();
}

void rpcStack::close()
{
    stack->http->close();
}

void rpcStack::interrupt()
{
    stack->http->interrupt();
}

const std::shared_ptr<exchangeBuffers>& rpcStack::buffers() const
{
    return stack->http->buffers();
}

const std::string& rpcStack::methodInFlight() const
{
    return stack->call->method;
}

rpcStack::exchangeSize rpcStack::lastExchange() const
{
    return {stack->http->lastRequestBytes(), stack->http->lastReplyBytes()};
}

bool rpcStack::unfitForReuse() const
{
    return stack->http->unfitForReuse() || stack->http->traffic() >= renewAfterBytes;
}

} // namespace vant

uint16_t getListenPort()
{
    return requestPort;
}
