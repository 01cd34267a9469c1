// The exported lifecycle and request functions, the process-wide agent state,
// and the conversions between the public records and the wire structures.
#include <cstring>
#include <ctime>
#include <mutex>

#include "agent.h"
#include "asyncReq.h"
#include "connection.h"
#include "notify.h"
#include "timings.h"

std::atomic<bool> g_bRunning{false};
std::atomic<bool> g_bCreated{false};
vant::tLocker g_reqLocker;
std::string g_strAppName;
std::string g_strAppID;
std::string g_strToken;
int32_t g_SessionTimeOut = 0;
uint16_t g_notifyPort = 0;
std::atomic<bool> g_NotifyTranStatus{false};
std::atomic<bool> g_NotifyThreadStatus{false};
tThread* g_pNotifyThread = nullptr;
std::atomic<agentNotifyFunc> g_agentNotifyFunc{nullptr};
std::atomic<agentRespCB> g_respCB{nullptr};
vant::timings vant::g_timings;

// Registration of exit-time handlers with the shared object that they belong
// to: they run at exit() and when the library is unloaded.
extern "C" void* __dso_handle;
extern "C" int __cxa_atexit(void (*handler)(void*), void* arg, void* dso);

namespace {

std::mutex ticketLock;
std::shared_ptr<const pkimid::sessionTicket> g_sessionTicket = std::make_shared<pkimid::sessionTicket>();

// An application that exits without releaseAgent still has the listener and
// the worker running; they must end before the library's state is destroyed.
// Registered after the library's static objects were constructed, the hook
// runs before their destructors, at exit() and at dlclose() alike. It is
// registered for this library explicitly (rather than through atexit(), which
// some runtimes register for the whole process) so that an unload runs it.
void releaseAtExit(void*)
{
    if (g_bCreated)
        releaseAgent();
}

void registerExitHook()
{
    static std::once_flag once;
    std::call_once(once, [] { __cxa_atexit(releaseAtExit, nullptr, &__dso_handle); });
}

bool createNotifyThreadObject(void* notifyParam)
{
    if (g_pNotifyThread != nullptr)
        return true;
    tThread::tParam param;
    param.name = "notify";
    param.param = notifyParam;
    g_pNotifyThread = new (std::nothrow) tThread(param);
    return g_pNotifyThread != nullptr;
}

bool setUpAgent(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam)
{
    g_agentNotifyFunc = notifyFunc;
    g_respCB = respCB;
    if (!createNotifyThreadObject(notifyParam) || !initAysncReq() || !createReqTrans(getListenPort())) {
        releaseAgent();
        return false;
    }
    registerExitHook();
    g_bCreated = true;
    return true;
}

bool sendSync(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp)
{
    vant::tLockHelper hold(&g_reqLocker, true);
    // A logout may have come while this call waited for the lock.
    if (!g_bRunning)
        return false;
    return reqProcess(service, req, resp, 0) == 1;
}

} // namespace

std::shared_ptr<const pkimid::sessionTicket> currentTicket()
{
    std::lock_guard<std::mutex> hold(ticketLock);
    return g_sessionTicket;
}

void storeTicket(int64_t sessionID, const std::string& ticket)
{
    auto fresh = std::make_shared<pkimid::sessionTicket>();
    fresh->sessionID = sessionID;
    fresh->ticket = ticket;
    std::lock_guard<std::mutex> hold(ticketLock);
    g_sessionTicket = std::move(fresh);
}

int32_t getReqidx()
{
    static int volatile g_reqIndex = static_cast<int32_t>(std::time(nullptr));
    return vant::lock_inc(&g_reqIndex);
}

void tranferReq(pkimid::msgRequest& out, const vpkiReq& in, int reqid)
{
    out.reqid = reqid != 0 ? reqid : getReqidx();
    out.version = in.version;
    out.extend = in.extend;
    if (in.jsonBody[0] != 0)
        out.jsonBody.assign(in.jsonBody, strnlen(in.jsonBody, sizeof in.jsonBody));
    else
        out.jsonBody = in.body != nullptr ? in.body->getDataString() : std::string();
    out.msgType = in.msgType;
}

void tranferResp(vpkiResp& out, const pkimid::msgResponse& in)
{
    // The buffer first: it is the only step that can fail, and a failure must
    // leave the record untouched.
    const size_t length = in.jsonBody.size();
    out.body->setSize(static_cast<int64_t>(length) + 1);
    strncpy(out.body->getData(), in.jsonBody.c_str(), length);

    out.respid = in.respid;
    out.msgType = in.msgType;
    out.version = in.version;
    out.errCode = in.errCode;
    out.extend = in.extend;
    strncpy(out.jsonBody, in.jsonBody.c_str(), sizeof out.jsonBody - 1);
    out.jsonBody[sizeof out.jsonBody - 1] = 0;
}

extern "C" {

bool createAgent(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam)
{
    try {
        return setUpAgent(notifyFunc, respCB, notifyParam);
    } catch (...) {
        releaseAgent();
        return false;
    }
}

void releaseAgent(void)
{
    g_bRunning = false;
    g_bCreated = false;
    // An exchange in progress on the request connection could hold the worker
    // (and with it this call) for the whole 15 s time-out.
    interruptRequestConnection();
    try {
        stopListener();
    } catch (...) {
        // Joining a thread does not throw in practice; nothing is left to undo.
    }
    g_NotifyThreadStatus = false;
    uninitAysncReq();
}

bool reqSync(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp)
{
    if (!g_bRunning || req == nullptr || resp == nullptr)
        return false;
    try {
        return sendSync(service, req, resp);
    } catch (...) {
        return false;
    }
}

int32_t reqAsync(PKI_SERVICE service, const vpkiReq* req, void* param)
{
    if (!g_bRunning || req == nullptr)
        return 0;
    try {
        return pushReq(service, param, req);
    } catch (...) {
        return 0;
    }
}

} // extern "C"
