// Keeps a watching session alive across a service that goes away and comes
// back: a probe request every half second tells whether the service is
// there; when it went away standard error says so, and when it is back the
// command logs in again at once (a new service process has forgotten the
// session, and the library's own listener would log in again only after
// half a minute), so that notifications flow again within about a second.
#ifndef TESSERA_CLI_SERVICE_WATCH_H
#define TESSERA_CLI_SERVICE_WATCH_H

#include <atomic>

#include "settings.h"
#include "tessera.h"

namespace cli {

class serviceWatch {
public:
    static constexpr int probeIntervalMs = 500;

    explicit serviceWatch(const credentials& login) : login(login) {}

    // Queues a probe unless one is still on its way.
    void probe();
    // From now on the probes' outcomes are ignored (the command is ending).
    void stop() { stopping = true; }

    // The response callback of the session's agent: the probe's outcome.
    static void onProbeAnswer(void* msg, vpkiResp* resp, void* param);

private:
    void judge(int error, const vpkiResp& resp);
    void wentAway(const char* why);
    void cameBack();

    const credentials login;
    std::atomic<bool> pending{false};
    std::atomic<bool> stopping{false};
    bool away = false; // only the library's worker thread reads and writes it
};

} // namespace cli

#endif // TESSERA_CLI_SERVICE_WATCH_H
