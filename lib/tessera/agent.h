// The process's agent: all of the library's state, in one object, and the
// internal operations that the library's units share.
//
// One agent exists per process. createAgent and releaseAgent start and stop
// it; they do not replace it. A child made by fork() gets a fresh agent: the
// parent's threads do not exist there and the parent's locks may stay held
// forever, so the child never touches the parent's agent (tessera.cpp).
#ifndef TESSERA_AGENT_H
#define TESSERA_AGENT_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "commdef_types.h"
#include "helper.h"
#include "reqThreadPool.h"
#include "tessera.h"

namespace pkimid = com::vant::cbb::pkimid;

namespace vant {

class rpcStack;

// Lock order. A thread takes these locks only from left to right, never one
// on the left while it holds one on its right:
//     requestLock -> listenerLock -> connectionLock -> ticketLock
// requestLock is held for whole exchanges on the request connection (reqSync,
// login, logout, the listener's re-login); the others only for a few
// instructions. pauseLock and endLock are leaves (nothing is taken while one
// is held), and the worker's queue locks are internal to the pool. Members marked
// "atomic" are read and written without a lock; "lifecycle" members are
// written only by createAgent and releaseAgent, which the application does
// not run concurrently with other calls.
class agent {
public:
    agent() = default;
    agent(const agent&) = delete;
    agent& operator=(const agent&) = delete;

    // Life.
    std::atomic<bool> created{false};                 // atomic: between createAgent and releaseAgent
    std::atomic<bool> running{false};                 // atomic: logged in; requests accepted, the listener polls
    std::atomic<agentNotifyFunc> notifyFunc{nullptr}; // atomic
    std::atomic<agentRespCB> respCB{nullptr};         // atomic
    void* notifyParam = nullptr;                      // lifecycle: from the first createAgent until releaseAgent

    // Session.
    tLocker requestLock; // recursive: one exchange at a time on the request connection
    std::string appName; // requestLock: credentials of the last accepted login,
    std::string appID;   //   for the automatic re-login
    std::string token;
    int32_t sessionTimeout = 0; // requestLock: seconds, from the login
    uint16_t notifyPort = 0;    // requestLock: from the login
    std::mutex ticketLock;
    std::shared_ptr<const pkimid::sessionTicket> ticket; // ticketLock: replaced whole by logins

    // Connections. The pointers change under connectionLock; a stack itself
    // is used by one exchange at a time: the request connection under
    // requestLock, the notification connection by the listener alone.
    std::mutex connectionLock;
    std::shared_ptr<rpcStack> requestConnection; // connectionLock
    std::shared_ptr<rpcStack> notifyConnection;  // connectionLock; null until the first login

    // The notification listener (notify.cpp).
    std::mutex listenerLock;
    std::unique_ptr<tThread> listenerThread; // listenerLock
    bool listenerStarted = false;            // listenerLock: started and not on its way out
    std::function<void()> relogin;           // listenerLock: the session's automatic login
    std::atomic<bool> reloginActive{false};  // atomic: the listener is logging in again
    std::mutex pauseLock;                    // with pauseWake: ends the listener's pauses early
    std::condition_variable pauseWake;
    std::mutex endLock; // with endSignal: the listener's routine has ended
    std::condition_variable endSignal;
    bool listenerEnded = true; // endLock

    // The worker of asynchronous requests (asyncReq.cpp); locks of its own.
    reqThreadPool<stRequest> worker;
};

// The process's agent (in a forked child, the child's own).
agent& theAgent();

} // namespace vant

// The session ticket, as a whole; read by every exchange without requestLock.
std::shared_ptr<const pkimid::sessionTicket> currentTicket();
void storeTicket(int64_t sessionID, const std::string& ticket);

// Next request id: starts at the time of the first call (seconds) + 1 and
// counts up by one; concurrent callers never get the same id.
int32_t getReqidx();

// The request text of a record: jsonBody when its first byte is not 0,
// otherwise body up to its first zero byte (nothing when body is null).
std::string_view requestText(const vpkiReq& in);

// Public records to wire structures and back.
void tranferReq(pkimid::msgRequest& out, const vpkiReq& in, int reqid);
void tranferResp(vpkiResp& out, const pkimid::msgResponse& in);

// Routing (req.cpp): 1 when the service answered (resp filled), 0 otherwise.
int reqProcess(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp, int reqid);

#endif // TESSERA_AGENT_H
