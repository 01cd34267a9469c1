// Process-wide agent state and the internal operations that the library's
// units share. One agent per process: everything here exists once.
#ifndef TESSERA_AGENT_H
#define TESSERA_AGENT_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "commdef_types.h"
#include "helper.h"
#include "tessera.h"

namespace pkimid = com::vant::cbb::pkimid;

// Logged in: requests are accepted and the notification loop runs.
extern std::atomic<bool> g_bRunning;
// Set by createAgent, cleared by releaseAgent: login and logout need an agent.
extern std::atomic<bool> g_bCreated;
// The request lock: one exchange at a time on the request connection, and
// the session values below are written under it.
extern vant::tLocker g_reqLocker;

extern std::string g_strAppName;   // credentials of the last accepted login,
extern std::string g_strAppID;     // used by the automatic re-login;
extern std::string g_strToken;     // guarded by g_reqLocker
extern int32_t g_SessionTimeOut;   // seconds; guarded by g_reqLocker
extern uint16_t g_notifyPort;      // guarded by g_reqLocker

extern std::atomic<bool> g_NotifyTranStatus;    // notification connection built
extern std::atomic<bool> g_NotifyThreadStatus;  // listener started and not yet joined
extern tThread* g_pNotifyThread;                // created by createAgent
extern std::atomic<agentNotifyFunc> g_agentNotifyFunc;
extern std::atomic<agentRespCB> g_respCB;

// The session ticket is replaced by logins on any thread and read by the
// listener without the request lock, so it is handed over as a whole.
std::shared_ptr<const pkimid::sessionTicket> currentTicket();
void storeTicket(int64_t sessionID, const std::string& ticket);

// Next request id: starts at the time of the first call (seconds) + 1 and
// counts up by one; concurrent callers never get the same id.
int32_t getReqidx();

// Public records to wire structures and back.
void tranferReq(pkimid::msgRequest& out, const vpkiReq& in, int reqid);
void tranferResp(vpkiResp& out, const pkimid::msgResponse& in);

// Routing (req.cpp): 1 when the service answered (resp filled), 0 otherwise.
int reqProcess(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp, int reqid);

#endif // TESSERA_AGENT_H
