#include "notify.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "agent.h"
#include "connection.h"
#include "serviceCall.h"
#include "session.h"
#include "timings.h"
#include "tools.h"
#include "vantService.h"

using pkimid::msgRequest;
using pkimid::msgResponse;

namespace {

// Result codes of a poll that are not events.
constexpr int32_t sessionLost = 1;
constexpr int32_t serviceBusy = 3;
constexpr int32_t noEvent = 7;

// Guards the decision "the listener ends" against loginAgent's decision
// "a listener is running", so that a login never counts on a listener that
// is on its way out.
std::mutex lifeLock;
// Pauses end early when the agent stops.
std::mutex pauseLock;
std::condition_variable pauseWake;
// Set while the listener runs a re-login, which may wait on the request
// connection; stopListener interrupts that connection only then.
std::atomic<bool> reloginActive{false};
// Signalled when the listener's routine has finished.
std::mutex endLock;
std::condition_variable endSignal;
bool listenerEnded = true;

bool keepRunning()
{
    std::lock_guard<std::mutex> hold(lifeLock);
    if (g_bRunning)
        return true;
    g_NotifyThreadStatus = false;
    return false;
}

void markEnded(bool ended)
{
    std::lock_guard<std::mutex> hold(endLock);
    listenerEnded = ended;
    if (ended)
        endSignal.notify_all();
}

// The listener's state for one run of the thread.
class listener {
public:
    explicit listener(void* notifyParam)
        : notifyParam(notifyParam), lastRelogin(vant::tool::getStartmsec())
    {
    }

    void cycle()
    {
        if (!useLatestConnection()) {
            sleep(vant::g_timings.pollPauseMs);
            return;
        }
        if (stack->isOpen() && stack->unfitForReuse()) {
            discardConnection();
            useLatestConnection();
        }
        if (!stack->isOpen()) {
            sleep(vant::g_timings.pollPauseMs);
            stack->open();
        }
        const msgResponse& response = poll();
        cursor = response.extend;
        if (agentNotifyFunc callback = g_agentNotifyFunc)
            handle(response, callback);
        sleep(vant::g_timings.pollPauseMs);
    }

    // After any failure the stack's objects are not reusable: build anew.
    void discardConnection()
    {
        renewNotifyConnection(stack);
        stack.reset();
    }

private:
    // A login after a logout builds a new connection; poll on the latest.
    bool useLatestConnection()
    {
        std::shared_ptr<vant::rpcStack> latest = notifyConnection();
        if (!latest)
            return false;
        stack = latest;
        return true;
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
        switch (response.errCode) {
        case serviceBusy: sleep(vant::g_timings.busyPauseMs); break;
        case noEvent: break;
        case sessionLost: reloginWhenDue(); break;
        default: deliver(response, callback);
        }
    }

    void reloginWhenDue()
    {
        long now = vant::tool::getStartmsec();
        if (now - lastRelogin <= vant::g_timings.reloginIntervalMs)
            return;
        lastRelogin = now;
        reloginActive = true;
        reloginAgent();
        reloginActive = false;
    }

    void deliver(const msgResponse& response, agentNotifyFunc callback)
    {
        vpkiResp record;
        tranferResp(record, response);
        try {
            callback(&record, notifyParam);
        } catch (...) {
            // An exception from the application's callback must not end the
            // listener; the event counts as delivered.
        }
    }

    // The notification module's pause, in milliseconds; ends early when the
    // agent stops.
    static void sleep(int ms)
    {
        std::unique_lock<std::mutex> hold(pauseLock);
        pauseWake.wait_for(hold, std::chrono::milliseconds(ms), [] { return !g_bRunning; });
    }

    void* const notifyParam;
    long lastRelogin;
    int64_t cursor = 0;
    std::shared_ptr<vant::rpcStack> stack;
};

void runListener(void* notifyParam)
{
    listener self(notifyParam);
    while (keepRunning()) {
        try {
            self.cycle();
        } catch (...) {
            self.discardConnection();
        }
    }
    self.discardConnection();
}

} // namespace

void* threadNotify(void* arg)
{
    auto* thread = static_cast<tThread*>(arg);
    try {
        runListener(thread->param.param);
    } catch (...) {
        // Only allocation failures can get here; the thread ends quietly and
        // the next login starts a new one.
        std::lock_guard<std::mutex> hold(lifeLock);
        g_NotifyThreadStatus = false;
    }
    markEnded(true);
    return nullptr;
}

bool ensureListener()
{
    std::lock_guard<std::mutex> hold(lifeLock);
    if (g_NotifyThreadStatus)
        return true;
    if (g_pNotifyThread == nullptr)
        return false;
    g_pNotifyThread->stop(0);
    markEnded(false);
    if (!g_pNotifyThread->start(threadNotify)) {
        markEnded(true);
        return false;
    }
    g_NotifyThreadStatus = true;
    return true;
}

void wakeListener()
{
    std::lock_guard<std::mutex> hold(pauseLock);
    pauseWake.notify_all();
}

void stopListener()
{
    if (g_pNotifyThread == nullptr)
        return;
    // Interrupt on every turn: a re-login may have built a new connection
    // after the previous interrupt.
    for (;;) {
        wakeListener();
        interruptNotifyConnection();
        if (reloginActive)
            interruptRequestConnection();
        std::unique_lock<std::mutex> hold(endLock);
        if (endSignal.wait_for(hold, std::chrono::milliseconds(50), [] { return listenerEnded; }))
            break;
    }
    g_pNotifyThread->stop(0);
    delete g_pNotifyThread;
    g_pNotifyThread = nullptr;
}
