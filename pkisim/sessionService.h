// The session service "vantService": login, logout, notification polls and
// the version query, and the service-side session operations.
#ifndef PKISIM_SESSION_SERVICE_H
#define PKISIM_SESSION_SERVICE_H

#include <atomic>
#include <cstdint>

#include "appRegistry.h"
#include "eventLog.h"
#include "rpcCodec.h"
#include "sessionTable.h"

namespace pkisim {

struct sessionSettings {
    int32_t timeoutSeconds = 30;
    int longPollMs = 0;
    std::atomic<uint16_t> notifyPort{0}; // the bound notification port
};

class sessionService {
public:
    sessionService(const appRegistry& apps, sessionTable& sessions, eventLog& events, const sessionSettings& settings);
    sessionService(const sessionService&) = delete;
    sessionService& operator=(const sessionService&) = delete;

    wire::msgResponse login(const wire::msgRequest& request);
    wire::msgResponse logout(const wire::sessionTicket& ticket);
    wire::msgResponse getNotify(const wire::sessionTicket& ticket, const wire::msgRequest& request);
    wire::msgResponse getVersions(const wire::sessionTicket& ticket, const wire::msgRequest& request);

    // Ends a session by the service: its next poll delivers a closing event,
    // every call after that answers errCode 1.
    bool closeSession(int64_t sessionID);
    // Forgets a session at once.
    bool expireSession(int64_t sessionID);

private:
    wire::msgResponse deliver(const wire::msgRequest& request, const eventLog::pollResult& polled, int64_t sessionID);

    const appRegistry& apps;
    sessionTable& sessions;
    eventLog& events;
    const sessionSettings& settings;
};

// A response that answers `request`: its id, type, version and extend are echoed.
wire::msgResponse answerTo(const wire::msgRequest& request, int32_t errCode, const std::string& body);
// The errCode 1 answer, for every call whose session is unknown or over.
wire::msgResponse unknownSession(const wire::msgRequest& request);

} // namespace pkisim

#endif // PKISIM_SESSION_SERVICE_H
