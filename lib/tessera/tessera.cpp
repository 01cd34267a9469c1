// The exported functions: each is a shim over the agent's operation of the
// same name, through one guard that applies what every entry point owes its
// C caller: the calls refused inside callbacks, the calling thread's last
// error (cleared, then set by the operation when it fails), and no exception
// across the interface.
#include "agentOwner.h"
#include "callbackScope.h"
#include "lastError.h"
#include "records.h"
#include "version.h"

namespace {

// Where a function may be called from.
enum class allowed {
    outsideTheLogCallback, // any thread, also inside the notification and the response callback
    outsideCallbacks,      // createAgent and releaseAgent would wait for their own thread there
};

template <class Result, class Operation>
Result guarded(const char* function, allowed where, Result failed, Operation operation)
{
    if (vant::refusedInCallback(function, where == allowed::outsideCallbacks))
        return failed;
    vant::clearLastError();
    try {
        return operation(vant::theAgent());
    } catch (...) {
        vant::setLastErrorFromException();
        return failed;
    }
}

// The functions on records and the version touch no agent: they may be
// called anywhere, the log callback included, where the log's own guard
// keeps the outer call's last error.
template <class Result, class Operation>
Result withoutAgent(Result failed, Operation operation)
{
    vant::clearLastError();
    try {
        return operation();
    } catch (...) {
        vant::setLastErrorFromException();
        return failed;
    }
}

} // namespace

extern "C" {

bool createAgent(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam)
{
    return guarded("createAgent", allowed::outsideCallbacks, false, [&](vant::agent& a) {
        if (!a.create(notifyFunc, respCB, notifyParam))
            return false;
        vant::registerExitHook();
        return true;
    });
}

void releaseAgent(void)
{
    guarded("releaseAgent", allowed::outsideCallbacks, false, [](vant::agent& a) {
        a.release();
        return true;
    });
}

bool loginAgent(const char* appName, const char* appID, const char* token)
{
    return guarded("loginAgent", allowed::outsideTheLogCallback, false,
                   [&](vant::agent& a) { return a.login(appName, appID, token); });
}

bool logoutAgent(void)
{
    return guarded("logoutAgent", allowed::outsideTheLogCallback, false, [](vant::agent& a) { return a.logout(); });
}

// The service goes on as a number: a C caller may pass any value, which
// would be no valid value of the enumeration in C++.
bool reqSync(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp)
{
    const int target = service;
    return guarded("reqSync", allowed::outsideTheLogCallback, false,
                   [&](vant::agent& a) { return a.request(target, req, resp); });
}

int32_t reqAsync(PKI_SERVICE service, const vpkiReq* req, void* param)
{
    const int target = service;
    return guarded("reqAsync", allowed::outsideTheLogCallback, int32_t{0},
                   [&](vant::agent& a) { return a.queue(target, req, param); });
}

uint32_t rsaSignData(const char* url, const unsigned char* data, uint32_t dataLen, unsigned char* signature,
                     uint32_t* signatureLen)
{
    return guarded("rsaSignData", allowed::outsideTheLogCallback, VPKI_SIGN_FAILED,
                   [&](vant::agent& a) { return a.signRsa(url, data, dataLen, signature, signatureLen); });
}

uint32_t eccSignData(const char* url, const unsigned char* data, uint32_t dataLen, unsigned char* signature)
{
    return guarded("eccSignData", allowed::outsideTheLogCallback, VPKI_SIGN_FAILED,
                   [&](vant::agent& a) { return a.signEcc(url, data, dataLen, signature); });
}

bool setAgentMaxConnections(int n)
{
    return guarded("setAgentMaxConnections", allowed::outsideTheLogCallback, false,
                   [&](vant::agent& a) { return a.setMaxConnections(n); });
}

vpkiReq* vpkiReqNew(void)
{
    return withoutAgent(static_cast<vpkiReq*>(nullptr), [] { return vant::newRequestRecord(); });
}

// Freeing a record and reading one's text or the version leave the last
// error as it is: a response callback that reads its record can still ask
// why its request failed.

void vpkiReqFree(vpkiReq* req)
{
    vant::freeRequestRecord(req);
}

bool vpkiReqSetBody(vpkiReq* req, const char* text, size_t length)
{
    return withoutAgent(false, [&] { return vant::setRequestBody(req, text, length); });
}

vpkiResp* vpkiRespNew(void)
{
    return withoutAgent(static_cast<vpkiResp*>(nullptr), [] { return vant::newResponseRecord(); });
}

void vpkiRespFree(vpkiResp* resp)
{
    vant::freeResponseRecord(resp);
}

const char* vpkiRespText(const vpkiResp* resp, size_t* length)
{
    try {
        return vant::responseText(resp, length);
    } catch (...) {
        vant::setLastErrorFromException(); // the text of the refusal could not be had
        return nullptr;
    }
}

const char* tesseraVersion(int* major, int* minor, int* patch)
{
    return vant::libraryVersion(major, minor, patch);
}

// Outside the guard: it cannot fail, and leaves the last error as it is.
void setAgentLogger(agentLogFunc logFunc, void* param)
{
    if (vant::refusedInCallback("setAgentLogger", false))
        return;
    try {
        vant::theAgent().setLogger(logFunc, param);
    } catch (...) {
        // A lock that cannot be taken: the hook stays as it was.
    }
}

// The last error's readers change nothing, may be called from anywhere and
// cannot fail.

int agentLastError(void)
{
    return vant::lastErrorCode();
}

const char* agentLastErrorText(void)
{
    return vant::lastErrorText();
}

const char* agentErrorString(int code)
{
    return vant::errorName(code);
}

} // extern "C"
