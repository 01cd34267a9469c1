#include "notify.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "agent.h"
#include "callbackScope.h"
#include "connection.h"
#include "lastError.h"
#include "log.h"
#include "serviceCall.h"
#include "timings.h"
#include "tools.h"
#include "vantService.h"

using pkimid::msgRequest;
using pkimid::msgResponse;

namespace {

// The decision "the listener ends" is taken under listenerLock, against
// loginAgent's decision "a listener is running", so that a login never
// counts on a listener that is on its way out.
bool keepRunning(vant::agent& self)
{
    std::lock_guard<std::mutex> hold(self.listenerLock);
    if (self.running)
        return true;
    self.listenerStarted = false;
    return false;
}

void markEnded(vant::agent& self, bool ended)
{
    std::lock_guard<std::mutex> hold(self.endLock);
    self.listenerEnded = ended;
    if (ended)
        self.endSignal.notify_all();
}

// The listener's state for one run of the thread.
class listener {
public:
    explicit listener(vant::agent& self, std::function<void()> relogin)
        : self(self),
          relogin(std::move(relogin)),
          lastRelogin(vant::tool::getStartmsec())
    {
    }

    void cycle()
    {
        if (!useLatestConnection()) {
            pause(vant::g_timings.pollPauseMs);
            return;
        }
        if (stack->isOpen() && stack->unfitForReuse()) {
            discardConnection();
            useLatestConnection();
        }
        if (!stack->isOpen()) {
            pause(reconnectPauseMs);
            stack->open();
        }
        const msgResponse& response = poll();
        reconnectPauseMs = vant::g_timings.pollPauseMs;
        cursor = response.extend;
        if (agentNotifyFunc callback = self.notifyFunc)
            handle(response, callback);
        pause(vant::g_timings.pollPauseMs);
    }

    // After any failure the stack's objects are not reusable: build anew.
    void discardConnection()
    {
        renewNotifyConnection(stack);
        stack.reset();
    }

    // A service that refuses or fails every poll is asked again ever more
    // slowly, not 50 times a second.
    void backOff() { reconnectPauseMs = std::min(2 * reconnectPauseMs, vant::g_timings.reconnectPauseMaxMs); }

private:
    // A login after a logout builds a new connection; poll on the latest.
    bool useLatestConnection()
    {
        stack = notifyConnection();
        return stack != nullptr;
    }

    const msgResponse& poll()
    {
        msgRequest& request = stack->request;
        request.reqid = getReqidx();
        request.msgType = pkimid::enMsgType::enMsg_NotifyerStart;
        request.version = 1;
        request.extend = cursor;
        request.jsonBody.clear();
        const auto ticket = currentTicket();
        return vant::callService<pkimid::vantServiceClient>(
            *stack, vantServiceName,
            [&](pkimid::vantServiceClient& client, msgResponse& into) { client.getNotify(into, *ticket, request); });
    }

    void handle(const msgResponse& response, agentNotifyFunc callback)
    {
        // Result codes of a poll that are not events.
        switch (response.errCode) {
        case VPKI_RESULT_BUSY:
            vant::logLine("notification thread: the service is busy");
            pause(vant::g_timings.busyPauseMs);
            break;
        case VPKI_RESULT_NO_EVENT: break;
        case VPKI_RESULT_SESSION_LOST: reloginWhenDue(); break;
        default: deliver(response, callback);
        }
    }

    void reloginWhenDue()
    {
        long now = vant::tool::getStartmsec();
        if (now - lastRelogin <= vant::g_timings.reloginIntervalMs)
            return;
        lastRelogin = now;
        vant::logLine("notification thread: the service lost the session");
        self.reloginActive = true;
        relogin();
        self.reloginActive = false;
    }

    void deliver(const msgResponse& response, agentNotifyFunc callback)
    {
        vpkiResp record;
        tranferResp(record, response);
        vant::logLine("notification thread: event msgType 0x%08X, errCode %d, cursor %lld", response.msgType,
                      response.errCode, static_cast<long long>(response.extend));
        try {
            vant::callbackScope inCallback(vant::callbackKind::event);
            callback(&record, self.notifyParam);
        } catch (...) {
            // An exception from the application's callback must not end the
            // listener; the event counts as delivered.
        }
    }

    // A pause between polls; ends early when the agent stops.
    void pause(int ms)
    {
        std::unique_lock<std::mutex> hold(self.pauseLock);
        self.pauseWake.wait_for(hold, std::chrono::milliseconds(ms), [this] { return !self.running; });
    }

    vant::agent& self;
    const std::function<void()> relogin;
    long lastRelogin;
    int64_t cursor = 0;
    int reconnectPauseMs = vant::g_timings.pollPauseMs;
    std::shared_ptr<vant::rpcStack> stack;
};

void runListener(vant::agent& self, std::function<void()> relogin)
{
    vant::logLine("notification thread started");
    listener poller(self, std::move(relogin));
    while (keepRunning(self)) {
        try {
            poller.cycle();
        } catch (...) {
            vant::setLastErrorFromException();
            vant::logLine("notification thread: poll failed: %s", vant::lastErrorText());
            poller.discardConnection();
            poller.backOff();
        }
    }
    poller.discardConnection();
    vant::logLine("notification thread ended");
}

void* threadNotify(void* arg)
{
    vant::agent& self = *static_cast<vant::agent*>(static_cast<tThread*>(arg)->param.param);
    try {
        std::function<void()> relogin;
        {
            std::lock_guard<std::mutex> hold(self.listenerLock);
            relogin = self.relogin;
        }
        runListener(self, std::move(relogin));
    } catch (...) {
        // Only allocation failures can get here; the thread ends quietly and
        // the next login starts a new one.
        std::lock_guard<std::mutex> hold(self.listenerLock);
        self.listenerStarted = false;
    }
    markEnded(self, true);
    return nullptr;
}

} // namespace

bool ensureListener(std::function<void()> relogin)
{
    vant::agent& self = vant::theAgent();
    std::unique_ptr<tThread> ended;
    {
        std::lock_guard<std::mutex> hold(self.listenerLock);
        if (self.listenerStarted)
            return true;
        ended = std::move(self.listenerThread);
    }
    // A run that is ending is joined without the lock, which its last steps
    // may take. Logins, the only callers, come one at a time.
    ended.reset();
    std::lock_guard<std::mutex> hold(self.listenerLock);
    tThread::tParam param;
    param.name = "notify";
    param.param = &self;
    self.listenerThread.reset(new (std::nothrow) tThread(param));
    if (!self.listenerThread)
        return false;
    self.relogin = std::move(relogin);
    markEnded(self, false);
    if (!self.listenerThread->start(threadNotify)) {
        markEnded(self, true);
        return false;
    }
    self.listenerStarted = true;
    return true;
}

void wakeListener()
{
    vant::agent& self = vant::theAgent();
    std::lock_guard<std::mutex> hold(self.pauseLock);
    self.pauseWake.notify_all();
}

void stopListener()
{
    vant::agent& self = vant::theAgent();
    // Interrupt on every turn: a re-login may have built a new connection
    // after the previous interrupt.
    for (;;) {
        wakeListener();
        interruptNotifyConnection();
        if (self.reloginActive)
            interruptRequestConnection();
        std::unique_lock<std::mutex> hold(self.endLock);
        if (self.endSignal.wait_for(hold, std::chrono::milliseconds(50), [&] { return self.listenerEnded; }))
            break;
    }
    std::lock_guard<std::mutex> hold(self.listenerLock);
    if (self.listenerThread)
        self.listenerThread->stop(0);
    self.listenerThread.reset();
    self.listenerStarted = false;
}
