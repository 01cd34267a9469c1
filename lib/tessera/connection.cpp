#include "connection.h"

#include <climits>
#include <mutex>

#include "catalogue.h"
#include "failure.h"
#include "httpTransport.h"
#include "jsonProtocol.h"
#include "serviceProtocol.h"
#include "socket.h"
#include "tessera.h"
#include "timings.h"

using apache::thrift::protocol::TProtocol;

const char* const vantServiceName = "vantService";

namespace {

constexpr uint16_t requestPort = 18080;
// The service drops a keep-alive connection after about 100 MB; renew well
// before that, between exchanges.
constexpr uint64_t renewAfterBytes = 64ull << 20;

// The current stacks. The pointers are replaced under transLock (the
// listener and releaseAgent read them without the request lock); the stacks
// themselves are used by one exchange at a time.
std::mutex transLock;
std::shared_ptr<vant::rpcStack> g_reqTrans;
std::shared_ptr<vant::rpcStack> g_notifyTrans;

std::vector<std::string> requestServices()
{
    std::vector<std::string> names{vantServiceName};
    for (int service = ENROLLSERVICE; service <= VMAILSERVICE; ++service)
        names.emplace_back(vant::serviceWireName(service));
    return names;
}

std::shared_ptr<vant::rpcStack> newRequestStack(uint16_t port)
{
    return std::make_shared<vant::rpcStack>(port, vant::g_timings.requestTimeoutMs, requestServices());
}

std::shared_ptr<vant::rpcStack> currentRequestStack()
{
    std::lock_guard<std::mutex> hold(transLock);
    return g_reqTrans;
}

// Puts `fresh` in `slot` and returns what was there.
std::shared_ptr<vant::rpcStack> exchangeStack(std::shared_ptr<vant::rpcStack>& slot,
                                              std::shared_ptr<vant::rpcStack> fresh)
{
    std::lock_guard<std::mutex> hold(transLock);
    slot.swap(fresh);
    return fresh;
}

void replaceRequestStack(std::shared_ptr<vant::rpcStack> fresh)
{
    if (auto old = exchangeStack(g_reqTrans, std::move(fresh)))
        old->close();
}

} // namespace

namespace vant {

struct rpcStack::layers {
    std::shared_ptr<httpTransport> http;
    std::vector<std::pair<std::string, std::shared_ptr<TProtocol>>> protocols;
};

rpcStack::rpcStack(uint16_t port, int timeoutMs, const std::vector<std::string>& services)
    : rpcStack(std::make_shared<httpTransport>(std::make_unique<loopbackSocket>(port), timeoutMs), services, port,
               timeoutMs)
{
}

rpcStack::rpcStack(std::shared_ptr<httpTransport> http, const std::vector<std::string>& services, uint16_t port,
                   int timeoutMs)
    : port_(port), timeoutMs_(timeoutMs), stack(new layers)
{
    stack->http = std::move(http);
    auto json = std::make_shared<jsonProtocol>(stack->http);
    auto call = std::make_shared<serviceProtocol::callInFlight>();
    for (const std::string& name : services)
        stack->protocols.emplace_back(name, std::make_shared<serviceProtocol>(json, name, call));
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
    replaceRequestStack(newRequestStack(port));
    return true;
}

namespace {

// 0 or less waits without limit; the product must not overflow.
int notifyTimeoutMs(int32_t timeoutSeconds)
{
    long long ms = static_cast<long long>(timeoutSeconds) * 1000;
    return ms <= 0 ? 0 : ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

} // namespace

bool createNotifyTrans(uint16_t port, int32_t timeoutSeconds)
{
    auto fresh = std::make_shared<vant::rpcStack>(port, notifyTimeoutMs(timeoutSeconds),
                                                  std::vector<std::string>{vantServiceName});
    // The listener may still be polling on the old stack: interrupt it rather
    // than close it under the listener's feet; the listener closes it.
    if (auto old = exchangeStack(g_notifyTrans, std::move(fresh)))
        old->interrupt();
    return true;
}

std::shared_ptr<vant::rpcStack> openRequestConnection()
{
    std::shared_ptr<vant::rpcStack> stack = currentRequestStack();
    if (!stack)
        throw vant::exchangeFailure(vant::failKind::cannotConnect, "no request connection");
    if (stack->isOpen() && stack->unfitForReuse()) {
        renewRequestConnection();
        stack = currentRequestStack();
    }
    if (!stack->isOpen())
        stack->open();
    return stack;
}

void renewRequestConnection()
{
    std::shared_ptr<vant::rpcStack> stack = currentRequestStack();
    replaceRequestStack(newRequestStack(stack ? stack->port() : requestPort));
}

bool notifyConnectionMatches(uint16_t port, int32_t timeoutSeconds)
{
    auto stack = notifyConnection();
    return stack && stack->port() == port && stack->timeoutMs() == notifyTimeoutMs(timeoutSeconds);
}

std::shared_ptr<vant::rpcStack> notifyConnection()
{
    std::lock_guard<std::mutex> hold(transLock);
    return g_notifyTrans;
}

void renewNotifyConnection(const std::shared_ptr<vant::rpcStack>& used)
{
    if (!used)
        return;
    used->close();
    auto fresh = std::make_shared<vant::rpcStack>(used->port(), used->timeoutMs(),
                                                  std::vector<std::string>{vantServiceName});
    std::lock_guard<std::mutex> hold(transLock);
    if (g_notifyTrans == used)
        g_notifyTrans = std::move(fresh);
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
