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

namespace pkisim {

struct options {
    uint16_t port = 18080;           // request port
    uint16_t notifyPort = 18081;     // notification port, reported at login
    int32_t sessionTimeout = 30;     // seconds (1 to maxSessionTimeout), reported at login as "timeout"
    int longPollMs = 0;              // hold an empty getNotify up to this long; 0 answers at once
    std::string keyDir;              // load device keys from here (created when missing); empty: in memory
    std::string appsFile;            // JSON file of further known applications
    std::string controlPath;         // unix socket for `pkisim ctl`; empty: no control channel
    bool verbose = false;            // one line per call on stderr
    size_t maxBodyBytes = 16u << 20; // larger HTTP bodies are refused (413); at most 1 GiB
    size_t recordLimit = 4096;       // calls kept in the record (the oldest go first)
};

// The longest session time-out clients accept (a day).
inline constexpr int32_t maxSessionTimeout = 86400;

// The built-in demo application that login accepts.
inline constexpr const char* demoAppName = "demo";
inline constexpr const char* demoAppID = "demo-app-id";
inline constexpr const char* demoToken = "demo-token";

// One call as it reached the service.
struct recordedCall {
    std::string wireName; // as sent, e.g. "deviceOperator:getDevices"
    int32_t seqid = 0;
    bool hasTicket = false; // false for login
    int64_t sessionID = 0;
    std::string ticket;
    bool hasRequest = false; // false for logout
    int32_t reqid = 0;
    int32_t msgType = 0;
    int32_t version = 0;
    int64_t extend = 0;
    std::string jsonBody;
    uint16_t port = 0;     // the listening port the call arrived on
    uint16_t peerPort = 0; // the client's port: calls over one connection share it
};

// A reply or misbehaviour for the next `count` calls whose wire name matches
// `method` ("deviceOperator:getDevices"; "*" matches every call). Faults are
// consumed in the order they were injected.
struct fault {
    enum kind {
        delay,         // answer normally after delayMs (stop() cuts the wait short)
        exception,     // answer with a Thrift exception message carrying `message`
        missingResult, // answer a reply without result field 0
        malformed,     // answer text that is not valid JSON protocol
        httpStatus,    // answer with HTTP status `status` and no Thrift body
        dropMidReply,  // send part of the reply, then close the connection
        silent,        // read the request and never answer (until stop())
        reply,         // answer with the response below instead of the handler's
        notifyErrCode, // getNotify answers errCode `errCode` (1 lost session, 3 busy)
        refuseLogin,   // login answers errCode `errCode` (default 2) and no session
        rawReply // answer with `message` as the HTTP body, "$SEQID" replaced by the call's number (see rawWire, paceMs)
    };
    kind what = delay;
    std::string method = "*";
    int count = 1;
    int delayMs = 0;
    std::string message = "simulated failure";
    // For `rawReply`: `message` is the whole byte stream sent (status lines,
    // headers, bodies), nothing added or replaced; then the connection reads and drops
    // what the client sends until it leaves or stop().
    bool rawWire = false;
    // For `rawReply`: > 0 sends the raw bytes one at a time, this many
    // milliseconds apart (stop() cuts it short).
    int paceMs = 0;
    int status = 500;
    int32_t errCode = 2;
    // For `reply`: the msgResponse fields to answer with.
    int32_t respid = 0;
    int32_t msgType = 0;
    int32_t version = 0;
    int64_t extend = 0;
    std::string jsonBody;
};

struct deviceSpec {
    std::string devId; // unique; generated when empty
    std::string label = "pkisim token";
    std::string keyType = "RSA"; // "RSA" (2048 bits) or "ECC" (P-256)
};

struct sessionInfo {
    int64_t sessionID = 0;
    std::string ticket;
    std::string appName;
};

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
