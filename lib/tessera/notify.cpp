#include "notify.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <new>

#include "callbackScope.h"
#include "lastError.h"
#include "log.h"
#include "recordTransfer.h"
#include "serviceCall.h"
#include "tools.h"
#include "vantService.h"

using pkimid::msgRequest;
using pkimid::msgResponse;

namespace vant {

// The state of one run of the thread: the connection it polls on, its
// cursor, its pauses.
class listener::pollLoop {
public:
    explicit pollLoop(listener& owner)
        : owner(owner),
          lastRelogin(tool::getStartmsec()),
          reconnectPauseMs(owner.timing.pollPauseMs)
    {
    }

    void cycle()
    {
        stack = owner.latestConnection();
        if (!stack) {
            owner.pause(owner.timing.pollPauseMs);
            return;
        }
        if (stack->isOpen() && stack->unfitForReuse()) {
            discardConnection();
            stack = owner.latestConnection();
        }
        if (!stack->isOpen()) {
            owner.pause(reconnectPauseMs);
            stack->open();
        }
        const msgResponse& response = poll();
        reconnectPauseMs = owner.timing.pollPauseMs;
        cursor = response.extend;
        if (agentNotifyFunc callback = owner.callbacks.notifyFunc)
            handle(response, callback);
        owner.pause(owner.timing.pollPauseMs);
    }

    // After any failure the stack's objects are not reusable: build anew.
    void discardConnection()
    {
        owner.renewConnection(stack);
        stack.reset();
    }

    // A service that refuses or fails every poll is asked again ever more
    // slowly, not 50 times a second.
    void backOff() { reconnectPauseMs = std::min(2 * reconnectPauseMs, owner.timing.reconnectPauseMaxMs); }

private:
    const msgResponse& poll()
    {
        msgRequest& request = stack->request;
        request.reqid = getReqidx();
        request.msgType = pkimid::enMsgType::enMsg_NotifyerStart;
        request.version = 1;
        request.extend = cursor;
        request.jsonBody.clear();
        const auto ticket = owner.current.ticket();
        return callService<pkimid::vantServiceClient>(
            *stack, vantServiceName,
            [&](pkimid::vantServiceClient& client, msgResponse& into) { client.getNotify(into, *ticket, request); });
    }

    void handle(const msgResponse& response, agentNotifyFunc callback)
    {
        // Result codes of a poll that are not events.
        switch (response.errCode) {
        case VPKI_RESULT_BUSY:
            logLine("notification thread: the service is busy");
            owner.pause(owner.timing.busyPauseMs);
            break;
        case VPKI_RESULT_NO_EVENT: break;
        case VPKI_RESULT_SESSION_LOST: reloginWhenDue(); break;
        default: deliver(response, callback);
        }
    }

    void reloginWhenDue()
    {
        const long now = tool::getStartmsec();
        if (now - lastRelogin <= owner.timing.reloginIntervalMs)
            return;
        lastRelogin = now;
        logLine("notification thread: the service lost the session");
        const bool ok = owner.current.relogin() && owner.follow(owner.current.notifications());
        logLine("automatic login after the session was lost: %s", ok ? "ok" : lastErrorText());
    }

    void deliver(const msgResponse& response, agentNotifyFunc callback)
    {
        vpkiResp record;
        tranferResp(record, response);
        logLine("notification thread: event msgType 0x%08X, errCode %d, cursor %lld", response.msgType,
                response.errCode, static_cast<long long>(response.extend));
        try {
            callbackScope inCallback(callbackKind::event);
            callback(&record, owner.callbacks.notifyParam);
        } catch (...) {
            // An exception from the application's callback must not end the
            // listener; the event counts as delivered.
        }
    }

    listener& owner;
    long lastRelogin;
    int64_t cursor = 0;
    int reconnectPauseMs;
    std::shared_ptr<rpcStack> stack;
};

listener::listener(session& current, const applicationCallbacks& callbacks, const timings& timing)
    : current(current),
      callbacks(callbacks),
      timing(timing)
{
}

listener::~listener()
{
    stop();
}

namespace {

// The login bounds the time-out to a day; the product fits an int.
int notifyTimeoutMs(int32_t timeoutSeconds)
{
    return timeoutSeconds * 1000;
}

} // namespace

bool listener::follow(session::endpoint at)
{
    auto now = latestConnection();
    if (!now || now->port() != at.port || now->timeoutMs() != notifyTimeoutMs(at.timeoutSeconds))
        createNotifyTrans(at.port, at.timeoutSeconds);
    std::unique_ptr<tThread> ending;
    {
        std::lock_guard<rankedMutex> hold(listenerLock);
        if (started)
            return true;
        ending = std::move(thread);
    }
    // A run that is ending is joined without the lock, which its last steps
    // may take.
    ending.reset();
    std::lock_guard<rankedMutex> hold(listenerLock);
    if (started) // another login started one meanwhile
        return true;
    tThread::tParam param;
    param.name = "notify";
    param.param = this;
    thread.reset(new (std::nothrow) tThread(param));
    if (!thread) {
        setLastError(VPKI_ERR_NO_RESOURCES, "cannot start the notification thread");
        return false;
    }
    markEnded(false);
    if (!thread->start(threadNotify)) {
        markEnded(true);
        setLastError(VPKI_ERR_NO_RESOURCES, "cannot start the notification thread");
        return false;
    }
    started = true;
    return true;
}

void listener::createNotifyTrans(uint16_t port, int32_t timeoutSeconds)
{
    auto fresh =
        std::make_shared<rpcStack>(port, notifyTimeoutMs(timeoutSeconds), std::vector<std::string>{vantServiceName});
    // The thread may still be polling on the old stack: interrupt it rather
    // than close it under the thread's feet; the thread closes it.
    if (auto old = exchangeConnection(std::move(fresh)))
        old->interrupt();
}

std::shared_ptr<rpcStack> listener::exchangeConnection(std::shared_ptr<rpcStack> fresh)
{
    std::lock_guard<rankedMutex> hold(connectionLock);
    connection.swap(fresh);
    return fresh;
}

std::shared_ptr<rpcStack> listener::latestConnection()
{
    std::lock_guard<rankedMutex> hold(connectionLock);
    return connection;
}

// Replaces `used` by a fresh stack to the same port, unless a login has
// already put another stack in its place.
void listener::renewConnection(const std::shared_ptr<rpcStack>& used)
{
    if (!used)
        return;
    used->close();
    auto fresh = std::make_shared<rpcStack>(used->port(), used->timeoutMs(), std::vector<std::string>{vantServiceName},
                                            used->buffers());
    std::lock_guard<rankedMutex> hold(connectionLock);
    if (connection == used)
        connection = std::move(fresh);
}

void listener::dropConnection()
{
    if (auto old = exchangeConnection(nullptr))
        old->interrupt();
}

void listener::wake()
{
    std::lock_guard<rankedMutex> hold(pauseLock);
    pauseWake.notify_all();
}

void listener::stop()
{
    // Interrupt on every turn: a re-login may have built a new connection
    // after the previous interrupt.
    for (;;) {
        wake();
        if (auto stack = latestConnection())
            stack->interrupt();
        std::unique_lock<rankedMutex> held(endLock);
        if (endSignal.wait_for(held, std::chrono::milliseconds(50), [&] { return ended; }))
            break;
    }
    std::unique_ptr<tThread> finished;
    {
        std::lock_guard<rankedMutex> hold(listenerLock);
        finished = std::move(thread);
        started = false;
    }
    finished.reset(); // joins, without the lock
    if (auto old = exchangeConnection(nullptr))
        old->close();
}

// The decision "the listener ends" is taken under listenerLock, against a
// login's decision "a listener is running", so that a login never counts on
// a listener that is on its way out.
bool listener::keepRunning()
{
    std::lock_guard<rankedMutex> hold(listenerLock);
    if (current.loggedIn())
        return true;
    started = false;
    return false;
}

// A pause between polls; ends early when the session ends.
void listener::pause(int ms)
{
    std::unique_lock<rankedMutex> held(pauseLock);
    pauseWake.wait_for(held, std::chrono::milliseconds(ms), [this] { return !current.loggedIn(); });
}

void listener::markEnded(bool hasEnded)
{
    std::lock_guard<rankedMutex> hold(endLock);
    ended = hasEnded;
    if (hasEnded)
        endSignal.notify_all();
}

void* listener::threadNotify(void* arg)
{
    auto& self = *static_cast<listener*>(static_cast<tThread*>(arg)->param.param);
    try {
        self.run();
    } catch (...) {
        // Only allocation failures can get here; the thread ends quietly and
        // the next login starts a new one.
        std::lock_guard<rankedMutex> hold(self.listenerLock);
        self.started = false;
    }
    self.markEnded(true);
    return nullptr;
}

void listener::run()
{
    logLine("notification thread started");
    pollLoop loop(*this);
    while (keepRunning()) {
        try {
            loop.cycle();
        } catch (...) {
            setLastErrorFromException();
            logLine("notification thread: poll failed: %s", lastErrorText());
            loop.discardConnection();
            loop.backOff();
        }
    }
    loop.discardConnection();
    logLine("notification thread ended");
}

} // namespace vant
