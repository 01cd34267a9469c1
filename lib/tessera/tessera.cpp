// The exported lifecycle and request functions, the process's agent, and the
// conversions between the public records and the wire structures.
#include <pthread.h>

#include <cstring>
#include <ctime>
#include <mutex>
#include <new>

#include "agent.h"
#include "asyncReq.h"
#include "callbackScope.h"
#include "connection.h"
#include "lastError.h"
#include "notify.h"
#include "timings.h"

vant::timings vant::g_timings;

// Registration of exit-time handlers with the shared object that they belong
// to: they run at exit() and when the library is unloaded.
extern "C" void* __dso_handle;
extern "C" int __cxa_atexit(void (*handler)(void*), void* arg, void* dso);

namespace {

std::atomic<vant::agent*> current{nullptr};

// Agents of the parent processes, in a forked child. They are never touched
// again (their threads do not exist here, their locks may be held for ever)
// and never destroyed; the list keeps them reachable.
struct abandonedAgent {
    vant::agent* agent;
    abandonedAgent* next;
};
abandonedAgent* abandoned = nullptr;

// After fork(), in the child: a fresh agent takes the parent's place, so that
// the child can create an agent of its own (the socket layer has closed the
// parent's connections).
void childAfterFork()
{
    vant::agent* fresh = new (std::nothrow) vant::agent;
    auto* record = new (std::nothrow) abandonedAgent{current.load(), abandoned};
    if (fresh == nullptr || record == nullptr) {
        // Out of memory in a child that just forked: it keeps no agent at all.
        current.load()->created = false;
        current.load()->running = false;
        return;
    }
    abandoned = record;
    current = fresh;
}

// The agent exists before any other object of the library and outlives them.
struct agentOwner {
    agentOwner()
    {
        current = new vant::agent;
        pthread_atfork(nullptr, nullptr, childAfterFork);
    }
    ~agentOwner() { delete current.exchange(nullptr); }
} owner __attribute__((init_priority(1000)));

// An application that exits without releaseAgent still has the listener and
// the worker running; they must end before the library's state is destroyed.
// Registered after the library's static objects were constructed, the hook
// runs before their destructors, at exit() and at dlclose() alike. It is
// registered for this library explicitly (rather than through atexit(), which
// some runtimes register for the whole process) so that an unload runs it.
void releaseAtExit(void*)
{
    if (vant::theAgent().created)
        releaseAgent();
}

void registerExitHook()
{
    static std::once_flag once;
    std::call_once(once, [] { __cxa_atexit(releaseAtExit, nullptr, &__dso_handle); });
}

bool setUpAgent(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam)
{
    vant::agent& self = vant::theAgent();
    self.notifyFunc = notifyFunc;
    self.respCB = respCB;
    if (!self.created)
        self.notifyParam = notifyParam;
    if (!initAysncReq() || !createReqTrans(getListenPort())) {
        releaseAgent();
        vant::setLastError(VPKI_ERR_NO_RESOURCES, "cannot start the worker thread");
        return false;
    }
    registerExitHook();
    self.created = true;
    return true;
}

// Why a request cannot be sent now, or 0.
int refusal(bool recordsGiven)
{
    const vant::agent& self = vant::theAgent();
    if (!self.created)
        return VPKI_ERR_NOT_CREATED;
    if (!self.running)
        return VPKI_ERR_NOT_LOGGED_IN;
    return recordsGiven ? 0 : VPKI_ERR_BAD_ARGUMENT;
}

const char* refusalText(int code)
{
    switch (code) {
    case VPKI_ERR_NOT_CREATED: return "no agent: createAgent has not been called";
    case VPKI_ERR_NOT_LOGGED_IN: return "not logged in";
    default: return "null request or response record";
    }
}

bool sendSync(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp)
{
    vant::agent& self = vant::theAgent();
    vant::tLockHelper hold(&self.requestLock, true);
    // A logout may have come while this call waited for the lock.
    if (!self.running) {
        vant::setLastError(VPKI_ERR_NOT_LOGGED_IN, "logged out while the request waited");
        return false;
    }
    if (service < ENROLLSERVICE || service > VMAILSERVICE) {
        vant::setLastError(VPKI_ERR_BAD_ARGUMENT, "unknown service " + std::to_string(service));
        return false;
    }
    return reqProcess(service, req, resp, 0) == 1;
}

} // namespace

vant::agent& vant::theAgent()
{
    return *current.load(std::memory_order_relaxed);
}

std::shared_ptr<const pkimid::sessionTicket> currentTicket()
{
    vant::agent& self = vant::theAgent();
    std::lock_guard<std::mutex> hold(self.ticketLock);
    return self.ticket ? self.ticket : std::make_shared<const pkimid::sessionTicket>();
}

void storeTicket(int64_t sessionID, const std::string& ticket)
{
    auto fresh = std::make_shared<pkimid::sessionTicket>();
    fresh->sessionID = sessionID;
    fresh->ticket = ticket;
    vant::agent& self = vant::theAgent();
    std::lock_guard<std::mutex> hold(self.ticketLock);
    self.ticket = std::move(fresh);
}

int32_t getReqidx()
{
    static int volatile g_reqIndex = static_cast<int32_t>(std::time(nullptr));
    return vant::lock_inc(&g_reqIndex);
}

std::string_view requestText(const vpkiReq& in)
{
    if (in.jsonBody[0] != 0)
        return std::string_view(in.jsonBody, strnlen(in.jsonBody, sizeof in.jsonBody));
    if (in.body == nullptr || in.body->getData() == nullptr)
        return std::string_view();
    const char* text = in.body->getData();
    return std::string_view(text, strnlen(text, static_cast<size_t>(in.body->getSize())));
}

void tranferReq(pkimid::msgRequest& out, const vpkiReq& in, int reqid)
{
    out.reqid = reqid != 0 ? reqid : getReqidx();
    out.version = in.version;
    out.extend = in.extend;
    const std::string_view text = requestText(in);
    out.jsonBody.assign(text.data(), text.size());
    out.msgType = in.msgType;
}

void tranferResp(vpkiResp& out, const pkimid::msgResponse& in)
{
    // The buffer first: it is the only step that can fail, and a failure must
    // leave the record untouched. A record without a buffer keeps the text
    // field alone.
    const size_t length = in.jsonBody.size();
    if (out.body != nullptr) {
        out.body->setSize(static_cast<int64_t>(length) + 1);
        memcpy(out.body->getData(), in.jsonBody.data(), length);
    }
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
    if (vant::refusedInCallback("createAgent", true))
        return false;
    vant::clearLastError();
    try {
        return setUpAgent(notifyFunc, respCB, notifyParam);
    } catch (...) {
        releaseAgent();
        vant::setLastError(VPKI_ERR_NO_RESOURCES, "out of memory");
        return false;
    }
}

void releaseAgent(void)
{
    if (vant::refusedInCallback("releaseAgent", true))
        return;
    vant::agent& self = vant::theAgent();
    self.running = false;
    self.created = false;
    // An exchange in progress on the request connection could hold the worker
    // (and with it this call) for the whole time-out.
    interruptRequestConnection();
    stopListener();
    uninitAysncReq();
    dropConnections();
    self.notifyParam = nullptr;
    vant::clearLastError();
}

bool reqSync(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp)
{
    if (vant::refusedInCallback("reqSync", false))
        return false;
    if (int code = refusal(req != nullptr && resp != nullptr)) {
        vant::setLastError(code, refusalText(code));
        return false;
    }
    vant::clearLastError();
    try {
        return sendSync(service, req, resp);
    } catch (...) {
        vant::setLastErrorFromException();
        return false;
    }
}

int32_t reqAsync(PKI_SERVICE service, const vpkiReq* req, void* param)
{
    if (vant::refusedInCallback("reqAsync", false))
        return 0;
    if (int code = refusal(req != nullptr)) {
        vant::setLastError(code, refusalText(code));
        return 0;
    }
    vant::clearLastError();
    try {
        int32_t id = pushReq(service, param, req);
        if (id == 0)
            vant::setLastError(VPKI_ERR_NO_RESOURCES, "the request could not be queued");
        return id;
    } catch (...) {
        vant::setLastErrorFromException();
        return 0;
    }
}

} // extern "C"
