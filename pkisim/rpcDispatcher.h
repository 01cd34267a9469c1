// Turns one HTTP request into the service's reply: decodes the call, records
// it, applies an injected fault or routes it to its service, and encodes the
// answer.
#ifndef PKISIM_RPC_DISPATCHER_H
#define PKISIM_RPC_DISPATCHER_H

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "callLog.h"
#include "deviceGateway.h"
#include "faultList.h"
#include "httpConnection.h"
#include "rpcCodec.h"
#include "sessionService.h"
#include "stopSignal.h"

namespace pkisim {

// An encoded message and the errCode of the response it carries (-1: none).
struct rpcOutcome {
    std::string message;
    int32_t errCode = -1;
};

class rpcDispatcher {
public:
    rpcDispatcher(sessionService& vant, deviceGateway& gateway, faultList& faults, callLog& record,
                  const stopSignal& stopping, bool verbose);
    rpcDispatcher(const rpcDispatcher&) = delete;
    rpcDispatcher& operator=(const rpcDispatcher&) = delete;

    // Never throws.
    httpReply handle(const std::string& body, const peerInfo& peer);

private:
    // Fills logLine, the call as the verbose log shows it, only when verbose.
    httpReply dispatch(const std::string& body, const peerInfo& peer, std::string& logLine);
    httpReply applyFault(const rpcCall& call, const fault& f, rpcOutcome& result);
    rpcOutcome answer(const rpcCall& call);
    rpcOutcome route(const rpcCall& call);
    rpcOutcome routeSession(const rpcCall& call);
    void record(const rpcCall& call, const peerInfo& peer);
    void log(const peerInfo& peer, const std::string& what, std::chrono::steady_clock::time_point started);

    sessionService& vant;
    deviceGateway& gateway;
    faultList& faults;
    callLog& calls;
    const stopSignal& stopping;
    const bool verbose;
    std::mutex logLock;
};

} // namespace pkisim

#endif // PKISIM_RPC_DISPATCHER_H
