// The value types of pkisim shared by its parts and its users: the service's
// options, a recorded call, a fault, a device and a session as the service
// reports them, and the built-in demo application.
#ifndef PKISIM_SIM_TYPES_H
#define PKISIM_SIM_TYPES_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace pkisim {

struct options {
    uint16_t port = 18080;           // request port
    uint16_t notifyPort = 18081;     // notification port, reported at login
    int32_t sessionTimeout = 30;     // seconds (1 to maxSessionTimeout), reported at login as "timeout"
    int longPollMs = 0;              // hold an empty getNotify up to this long; 0 answers at once
    std::string keyDir;              // load device keys from here (created when missing); empty: in memory
    std::string appsFile;            // JSON file of further known applications
    std::string controlPath;         // socket for `pkisim ctl` (path or '@' abstract name); empty: none
    bool defaultControl = false;     // instead the default name, after the request port as bound
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

} // namespace pkisim

#endif // PKISIM_SIM_TYPES_H
