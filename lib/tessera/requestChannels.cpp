#include "requestChannels.h"

#include <algorithm>
#include <mutex>

#include "failure.h"
#include "httpTransport.h"
#include "log.h"

namespace vant {

// A connection and the buffers its stacks share from one to the next. The
// stack pointer changes under the list's lock; its exchanges run without it,
// by the holder of the lease alone.
struct requestChannels::channel {
    std::shared_ptr<rpcStack> stack; // null: made by the next open()
    std::shared_ptr<exchangeBuffers> buffers = std::make_shared<exchangeBuffers>();
    bool busy = false;
};

namespace {

exchangeFailure released()
{
    return exchangeFailure(VPKI_ERR_INTERRUPTED, "the exchange was interrupted: the agent was released");
}

} // namespace

requestChannels::requestChannels(const timings& timing) : timing(timing) {}

requestChannels::~requestChannels()
{
    interruptAll();
    closeIdle();
}

requestChannels::lease::~lease()
{
    if (slot != nullptr)
        owner->giveBack(*slot);
}

rpcStack& requestChannels::lease::open()
{
    std::shared_ptr<rpcStack> stack = slot->stack;
    if (stack && stack->isOpen() && stack->unfitForReuse()) {
        logLine("request connection renewed: the service closed it, sent unasked bytes or carried enough");
        renew();
        stack.reset();
    }
    if (!stack)
        stack = owner->build(*slot);
    if (!stack->isOpen()) {
        stack->open();
        logLine("request connection to 127.0.0.1:%u opened", stack->port());
    }
    return *stack;
}

void requestChannels::lease::renew()
{
    std::shared_ptr<rpcStack> old;
    {
        std::lock_guard<rankedMutex> hold(owner->lock);
        old.swap(slot->stack);
    }
    if (old && old->isOpen())
        logLine("request connection to port %u closed", old->port());
}

std::shared_ptr<rpcStack> requestChannels::build(channel& slot)
{
    std::lock_guard<rankedMutex> hold(lock);
    if (!accepting)
        throw released();
    slot.stack = std::make_shared<rpcStack>(port, timing.requestTimeoutMs, requestServices(), slot.buffers);
    return slot.stack;
}

void requestChannels::createReqTrans(uint16_t newPort)
{
    std::unique_lock<rankedMutex> held(lock);
    if (port != newPort)
        closeIdle(held, true);
    port = newPort;
    accepting = true;
}

requestChannels::lease requestChannels::acquire()
{
    std::unique_lock<rankedMutex> held(lock);
    for (;;) {
        if (!accepting)
            throw released();
        // An open connection first: it costs no connect.
        channel* idle = nullptr;
        for (const auto& c : channels)
            if (!c->busy && (idle == nullptr || (c->stack && c->stack->isOpen())))
                idle = c.get();
        if (idle == nullptr && static_cast<int>(channels.size()) < maxConnections) {
            channels.push_back(std::make_unique<channel>());
            idle = channels.back().get();
        }
        if (idle != nullptr) {
            idle->busy = true;
            return lease(*this, *idle);
        }
        freed.wait(held);
    }
}

bool requestChannels::setMaxConnections(int n)
{
    if (n < 1 || n > mostConnections)
        return false;
    std::unique_lock<rankedMutex> held(lock);
    maxConnections = n;
    closeIdle(held, false);
    freed.notify_all();
    return true;
}

void requestChannels::interruptAll()
{
    std::lock_guard<rankedMutex> hold(lock);
    accepting = false;
    for (const auto& c : channels)
        if (c->stack)
            c->stack->interrupt();
    freed.notify_all();
}

void requestChannels::closeIdle()
{
    std::unique_lock<rankedMutex> held(lock);
    closeIdle(held, true);
}

// Idle connections: all of them, or those beyond what may stay (all once
// leases are refused, those over the maximum otherwise).
void requestChannels::closeIdle(std::unique_lock<rankedMutex>& held, bool all)
{
    std::vector<std::unique_ptr<channel>> closing;
    for (auto it = channels.begin(); it != channels.end();) {
        if (!(*it)->busy && (all || !accepting || surplus(held))) {
            closing.push_back(std::move(*it));
            it = channels.erase(it);
        } else {
            ++it;
        }
    }
    held.unlock();
    closing.clear(); // closes their sockets, without the lock
    held.lock();
}

bool requestChannels::surplus(std::unique_lock<rankedMutex>&) const
{
    return static_cast<int>(channels.size()) > maxConnections;
}

void requestChannels::giveBack(channel& slot)
{
    std::unique_ptr<channel> closing;
    std::unique_lock<rankedMutex> held(lock);
    slot.busy = false;
    if (!accepting || surplus(held)) {
        const auto it = std::find_if(channels.begin(), channels.end(), [&](const auto& c) { return c.get() == &slot; });
        closing = std::move(*it);
        channels.erase(it);
    }
    freed.notify_one();
    held.unlock();
}

size_t requestChannels::openCount() const
{
    std::lock_guard<rankedMutex> hold(lock);
    return static_cast<size_t>(
        std::count_if(channels.begin(), channels.end(), [](const auto& c) { return c->stack && c->stack->isOpen(); }));
}

} // namespace vant
