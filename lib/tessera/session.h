// The session with the service: login, logout and the automatic re-login,
// the credentials of the last accepted login, the ticket that every exchange
// sends, the notification endpoint the login reported, and whether requests
// are accepted.
#ifndef TESSERA_SESSION_H
#define TESSERA_SESSION_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "commdef_types.h"
#include "rankedMutex.h"
#include "requestChannels.h"

namespace vant {

class session {
public:
    // Where notifications of the session arrive: a port, and the seconds
    // that a poll may take.
    struct endpoint {
        uint16_t port = 0;
        int32_t timeoutSeconds = 0;
    };

    explicit session(requestChannels& channels) : channels(channels) {}
    session(const session&) = delete;
    session& operator=(const session&) = delete;

    // A login with these credentials (at most 64 characters each, not null).
    // On acceptance the ticket, the endpoint and the credentials are stored
    // and requests are accepted; otherwise nothing changes. False, with the
    // calling thread's last error set, when it fails.
    bool login(const char* appName, const char* appID, const char* token);
    // The login again with the stored credentials, after the service lost
    // the session; false without trying once requests are refused.
    bool relogin();
    // Requests are refused from this call on; then the service is told.
    // False when it could not be.
    bool logout();
    // Requests are refused from now on; nothing is sent.
    void end() { running = false; }

    bool loggedIn() const { return running.load(); }
    // The ticket as a whole; an exchange takes it when it starts.
    std::shared_ptr<const com::vant::cbb::pkimid::sessionTicket> ticket() const;
    endpoint notifications() const;

private:
    struct credentials {
        std::string appName;
        std::string appID;
        std::string token;
    };

    bool login(std::unique_lock<rankedMutex>& held, const credentials& given);
    void store(std::unique_lock<rankedMutex>& held, const credentials& given, int64_t sessionID,
               const std::string& newTicket, endpoint at);

    requestChannels& channels;
    mutable rankedMutex loginLock{lockRank::session}; // one login or logout at a time, for its whole exchange
    credentials last;                                 // loginLock
    endpoint reported;                                // loginLock
    std::atomic<bool> running{false};
    mutable rankedMutex ticketLock{lockRank::ticket};
    std::shared_ptr<const com::vant::cbb::pkimid::sessionTicket> current; // ticketLock; replaced whole
};

} // namespace vant

// Longest session time-out a login may report, in seconds (a day): the
// notification connection's deadline, which must not leave a stalled
// service unnoticed for longer.
constexpr uint64_t maxSessionTimeout = 86400;

// Reads the four string members of an accepted login's body: "sessionID" a
// decimal integer, "timeout" decimal seconds from 1 to maxSessionTimeout,
// "notifyPort" a decimal port from 1 to 65535, each the whole text (digits
// only), and "ticket" as it stands. False, writing no output, for a body that
// is not a JSON object, or whose members are missing, not strings, or not
// such numbers.
bool parseLoginResponse(const std::string& body, int64_t& sessionID, std::string& ticket, int32_t& timeout,
                        int32_t& notifyPort);

// The login text: {"appName":...,"appID":...,"token":...} with JSON escaping.
std::string makeLoginText(const char* appName, const char* appID, const char* token);

#endif // TESSERA_SESSION_H
