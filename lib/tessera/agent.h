// The agent: the library's state, as parts that each own their state and
// their lock, and the operations behind the exported functions.
//
//   session         credentials, ticket, login, logout, re-login
//   requestChannels the request connections, leased one per exchange
//   listener        the notification thread and its connection
//   asyncRequests   the worker of reqAsync
//
// Locks are taken in the order of their ranks (rankedMutex.h): a login holds
// the session's lock for its exchange, and takes the channels' lock, then the
// ticket's, for a few instructions; the listener's locks are its own.
//
// One agent exists per process (agentOwner.h). createAgent and releaseAgent
// start and stop it; they do not replace it.
#ifndef TESSERA_AGENT_H
#define TESSERA_AGENT_H

#include <atomic>
#include <cstdint>

#include "applicationCallbacks.h"
#include "asyncReq.h"
#include "log.h"
#include "notify.h"
#include "requestChannels.h"
#include "session.h"
#include "skfAdapter.h"
#include "tessera.h"
#include "timings.h"

namespace vant {

class agent {
public:
    agent();
    ~agent();
    agent(const agent&) = delete;
    agent& operator=(const agent&) = delete;

    // The operations behind createAgent, releaseAgent, loginAgent,
    // logoutAgent, reqSync, reqAsync, rsaSignData, eccSignData,
    // setAgentMaxConnections and setAgentLogger. Each sets the calling
    // thread's last error when it fails; the exported functions add the rest
    // (clearing it, the callback rule, the catch-all).
    bool create(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam);
    void release();
    bool login(const char* appName, const char* appID, const char* token);
    bool logout();
    // `service` as the number the application gave (any value).
    bool request(int service, const vpkiReq* req, vpkiResp* resp);
    int32_t queue(int service, const vpkiReq* req, void* param);
    uint32_t signRsa(const char* url, const unsigned char* data, uint32_t dataLen, unsigned char* signature,
                     uint32_t* signatureLen);
    uint32_t signEcc(const char* url, const unsigned char* data, uint32_t dataLen, unsigned char* signature);
    bool setMaxConnections(int n);
    void setLogger(agentLogFunc logFunc, void* param) { hook.set(logFunc, param); }

    bool created() const { return isCreated.load(); }
    // In a forked child that could not make an agent of its own: the
    // parent's copy refuses every call, touching none of its locks.
    void abandon()
    {
        isCreated = false;
        current.end();
    }
    logHook& log() { return hook; }
    // The waits; the tests shorten them.
    timings& waits() { return timing; }
    requestChannels& requestConnections() { return channels; }

private:
    // Why a request cannot be sent now (a VPKI_ERR_ code, its text set), or 0.
    int refusal(bool recordsGiven) const;
    requestSender sender();
    requestContext requests() { return {channels, current}; }

    timings timing;
    logHook hook;
    applicationCallbacks callbacks;
    std::atomic<bool> isCreated{false};
    requestChannels channels;
    session current;
    listener notifications;
    asyncRequests worker;
};

} // namespace vant

#endif // TESSERA_AGENT_H
