#include "connection.h"

#include <mutex>

#include "agent.h"
#include "catalogue.h"
#include "failure.h"
#include "httpTransport.h"
#include "jsonProtocol.h"
#include "log.h"
#include "serviceProtocol.h"
#include "socket.h"
#include "tessera.h"
#include "timings.h"

using apache::thrift::protocol::TProtocol;

const char* const vantServiceName = "vantService";

namespace {

constexpr uint16_t requestPort = 18080;
// A Thrift HTTP server's read buffer grows with the traffic of a kept
// connection (it drops the connection once the buffer reaches its message
// limit, and pays for the growth before): renew the connection between
// exchanges after this much traffic, which costs one connect.
constexpr uint64_t renewAfterBytes = 16ull << 20;

std::vector<std::string> requestServices()
{
    std::vector<std::string> names{vantServiceName};
    for (int service = ENROLLSERVICE; service <= VMAILSERVICE; ++service)
        names.emplace_back(vant::serviceWireName(service));
    return names;
}

// The replacement of `old` (or the first stack, to `port`), with its buffers.
std::shared_ptr<vant::rpcStack> newRequestStack(const std::shared_ptr<vant::rpcStack>& old, uint16_t port)
{
    return std::make_shared<vant::rpcStack>(old ? old->port() : port, vant::g_timings.requestTimeoutMs,
                                            requestServices(), old ? old->buffers() : nullptr);
}

std::shared_ptr<vant::rpcStack> currentRequestStack()
{
    vant::agent& self = vant::theAgent();
    std::lock_guard<std::mutex> hold(self.connectionLock);
    return self.requestConnection;
}

// Puts `fresh` in `slot` and returns what was there.
std::shared_ptr<vant::rpcStack> exchangeStack(std::shared_ptr<vant::rpcStack>& slot,
                                              std::shared_ptr<vant::rpcStack> fresh)
{
    std::lock_guard<std::mutex> hold(vant::theAgent().connectionLock);
    slot.swap(fresh);
    return fresh;
}

void replaceRequestStack(std::shared_ptr<vant::rpcStack> fresh)
{
    if (auto old = exchangeStack(vant::theAgent().requestConnection, std::move(fresh))) {
        if (old->isOpen())
            vant::logLine("request connection to port %u closed", old->port());
        old->close();
    }
}

} // namespace

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

bool createReqTrans(uint16_t port)
{
    replaceRequestStack(newRequestStack(nullptr, port));
    return true;
}

namespace {

// The login bounds the time-out to a day; the product fits an int.
int notifyTimeoutMs(int32_t timeoutSeconds)
{
    return timeoutSeconds * 1000;
}

} // namespace

bool createNotifyTrans(uint16_t port, int32_t timeoutSeconds)
{
    auto fresh = std::make_shared<vant::rpcStack>(port, notifyTimeoutMs(timeoutSeconds),
                                                  std::vector<std::string>{vantServiceName});
    // The listener may still be polling on the old stack: interrupt it rather
    // than close it under the listener's feet; the listener closes it.
    if (auto old = exchangeStack(vant::theAgent().notifyConnection, std::move(fresh)))
        old->interrupt();
    return true;
}

std::shared_ptr<vant::rpcStack> openRequestConnection()
{
    std::shared_ptr<vant::rpcStack> stack = currentRequestStack();
    if (!stack)
        throw vant::exchangeFailure(vant::failKind::cannotConnect, "no request connection");
    if (stack->isOpen() && stack->unfitForReuse()) {
        vant::logLine("request connection renewed: the service closed it, sent unasked bytes or carried enough");
        renewRequestConnection();
        stack = currentRequestStack();
    }
    if (!stack->isOpen()) {
        stack->open();
        vant::logLine("request connection to 127.0.0.1:%u opened", stack->port());
    }
    return stack;
}

void renewRequestConnection()
{
    replaceRequestStack(newRequestStack(currentRequestStack(), requestPort));
}

bool notifyConnectionMatches(uint16_t port, int32_t timeoutSeconds)
{
    auto stack = notifyConnection();
    return stack && stack->port() == port && stack->timeoutMs() == notifyTimeoutMs(timeoutSeconds);
}

std::shared_ptr<vant::rpcStack> notifyConnection()
{
    vant::agent& self = vant::theAgent();
    std::lock_guard<std::mutex> hold(self.connectionLock);
    return self.notifyConnection;
}

void renewNotifyConnection(const std::shared_ptr<vant::rpcStack>& used)
{
    if (!used)
        return;
    used->close();
    auto fresh = std::make_shared<vant::rpcStack>(used->port(), used->timeoutMs(),
                                                  std::vector<std::string>{vantServiceName}, used->buffers());
    vant::agent& self = vant::theAgent();
    std::lock_guard<std::mutex> hold(self.connectionLock);
    if (self.notifyConnection == used)
        self.notifyConnection = std::move(fresh);
}

void dropNotifyConnection()
{
    if (auto old = exchangeStack(vant::theAgent().notifyConnection, nullptr))
        old->interrupt();
}

void interruptNotifyConnection()
{
    if (auto stack = notifyConnection())
        stack->interrupt();
}

void interruptRequestConnection()
{
    if (auto stack = currentRequestStack())
        stack->interrupt();
}

void dropConnections()
{
    replaceRequestStack(nullptr);
    if (auto old = exchangeStack(vant::theAgent().notifyConnection, nullptr))
        old->close();
}
