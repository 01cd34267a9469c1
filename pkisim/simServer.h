// pkisim: the development PKI service, usable in-process.
//
// One server object serves the five multiplexed services over Thrift's JSON
// protocol in HTTP POST on 127.0.0.1: the request port (18080 by default) and
// a notification port of its own, reported at login. The object keeps its
// state (sessions, event queues, devices) across stop() and start(), so a
// test can restart the service under a connected client; a new object is a
// service that lost every session.
#ifndef PKISIM_SIM_SERVER_H
#define PKISIM_SIM_SERVER_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "simTypes.h"

namespace pkisim {

class server {
public:
    explicit server(options opts = options());
    ~server(); // stops
    server(const server&) = delete;
    server& operator=(const server&) = delete;

    // Listens on both ports; throws std::runtime_error when a port cannot be bound.
    void start();
    // Closes the listeners and every connection, ends pending delays and
    // long polls, joins every thread. Safe to call twice. State is kept.
    void stop();
    bool running() const;

    uint16_t port() const;
    uint16_t notifyPort() const;
    // The control socket's name ("" when there is none), once started.
    std::string controlPath() const;

    // Devices. Each change queues the matching event for every session.
    std::vector<deviceSpec> devices() const;
    // Returns the devId; throws std::invalid_argument (duplicate id, unknown keyType).
    std::string insertDevice(const deviceSpec& spec);
    bool removeDevice(const std::string& devId);
    bool modifyDevice(const std::string& devId, const std::string& newLabel);
    // PEM texts of a device's certificate and public key ("" when unknown).
    std::string certificatePem(const std::string& devId) const;
    std::string publicKeyPem(const std::string& devId) const;

    // Sessions.
    std::vector<sessionInfo> sessions() const;
    // Ends a session and queues a session-closed event for it; its next poll
    // delivers the event, the one after answers errCode 1 (session unknown).
    bool closeSession(int64_t sessionID);
    // Forgets a session at once: its next call answers errCode 1.
    bool expireSession(int64_t sessionID);
    // Queues an arbitrary event (msgType, body) for every session.
    void pushEvent(int32_t msgType, const std::string& jsonBody);

    // Faults. injectFault throws std::invalid_argument for a fault that could
    // never take effect (count 0, HTTP status outside 200-599, negative delay
    // or pace).
    void injectFault(const fault& f);
    void clearFaults();
    std::vector<fault> pendingFaults() const;

    // Record of calls, oldest first (the newest `recordLimit` calls, and at
    // most 64 MiB of request bodies).
    std::vector<recordedCall> calls() const;
    void clearCalls();
    // The record as calls() gives it, cleared in the same step: a call that
    // arrives meanwhile is either returned or kept for the next look.
    std::vector<recordedCall> takeCalls();
    // Calls that reached the service since it was made, also those no longer kept.
    uint64_t callCount() const;
    // Client connections open now, on both ports.
    size_t openConnections() const;
    // Waits until `pred` holds for the record (checked at every new call) or
    // the time runs out; returns whether it held.
    bool waitForCalls(const std::function<bool(const std::vector<recordedCall>&)>& pred,
                      std::chrono::milliseconds timeout);

private:
    struct impl;
    std::unique_ptr<impl> d;
};

} // namespace pkisim

#endif // PKISIM_SIM_SERVER_H
