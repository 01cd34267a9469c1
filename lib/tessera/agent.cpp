#include "agent.h"

#include "connection.h"
#include "lastError.h"
#include "req.h"
#include "skfAdapter.h"

namespace vant {

agent::agent()
    : channels(timing),
      current(channels),
      notifications(current, callbacks, timing),
      worker(requests(), callbacks)
{
}

agent::~agent()
{
    if (created())
        release();
}

bool agent::create(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam)
{
    callbacks.notifyFunc = notifyFunc;
    callbacks.respCB = respCB;
    if (!created())
        callbacks.notifyParam = notifyParam;
    try {
        channels.createReqTrans(getListenPort());
        if (!worker.initAysncReq()) {
            release();
            setLastError(VPKI_ERR_NO_RESOURCES, "cannot start the worker thread");
            return false;
        }
    } catch (...) {
        release();
        throw;
    }
    isCreated = true;
    return true;
}

void agent::release()
{
    current.end();
    isCreated = false;
    // An exchange in progress could hold the worker (and with it this call)
    // for the whole time-out.
    channels.interruptAll();
    notifications.stop();
    worker.uninitAysncReq();
    channels.closeIdle();
    callbacks.notifyParam = nullptr;
}

bool agent::login(const char* appName, const char* appID, const char* token)
{
    if (!created()) {
        setLastError(VPKI_ERR_NOT_CREATED, "no agent: createAgent has not been called");
        return false;
    }
    return current.login(appName, appID, token) && notifications.follow(current.notifications());
}

bool agent::logout()
{
    if (!created()) {
        setLastError(VPKI_ERR_NOT_CREATED, "no agent: createAgent has not been called");
        return false;
    }
    current.end();
    notifications.wake();
    if (!current.logout())
        return false;
    notifications.dropConnection();
    return true;
}

int agent::refusal(bool recordsGiven) const
{
    if (!created()) {
        setLastError(VPKI_ERR_NOT_CREATED, "no agent: createAgent has not been called");
        return VPKI_ERR_NOT_CREATED;
    }
    if (!current.loggedIn()) {
        setLastError(VPKI_ERR_NOT_LOGGED_IN, "not logged in");
        return VPKI_ERR_NOT_LOGGED_IN;
    }
    if (!recordsGiven) {
        setLastError(VPKI_ERR_BAD_ARGUMENT, "null request or response record");
        return VPKI_ERR_BAD_ARGUMENT;
    }
    return 0;
}

bool agent::request(int service, const vpkiReq* req, vpkiResp* resp)
{
    return refusal(req != nullptr && resp != nullptr) == 0 && sendRequest(requests(), service, *req, *resp);
}

int32_t agent::queue(int service, const vpkiReq* req, void* param)
{
    if (refusal(req != nullptr) != 0)
        return 0;
    const int32_t id = worker.pushReq(service, param, req);
    if (id == 0)
        setLastError(VPKI_ERR_NO_RESOURCES, "the request could not be queued");
    return id;
}

// The signing shortcuts send as reqSync does.
requestSender agent::sender()
{
    return [this](PKI_SERVICE service, const vpkiReq& req, vpkiResp& resp) { return request(service, &req, &resp); };
}

uint32_t agent::signRsa(const char* url, const unsigned char* data, uint32_t dataLen, unsigned char* signature,
                        uint32_t* signatureLen)
{
    return rsaSign(sender(), url, data, dataLen, signature, signatureLen);
}

uint32_t agent::signEcc(const char* url, const unsigned char* data, uint32_t dataLen, unsigned char* signature)
{
    return eccSign(sender(), url, data, dataLen, signature);
}

bool agent::setMaxConnections(int n)
{
    if (channels.setMaxConnections(n))
        return true;
    setLastError(VPKI_ERR_BAD_ARGUMENT, "the number of request connections must lie in 1 - " +
                                            std::to_string(requestChannels::mostConnections));
    return false;
}

} // namespace vant
