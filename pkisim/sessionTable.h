// The open sessions: number, ticket, application, state.
#ifndef PKISIM_SESSION_TABLE_H
#define PKISIM_SESSION_TABLE_H

#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "rpcCodec.h"
#include "simTypes.h"

namespace pkisim {

enum class sessionState {
    unknown, // never issued, or ended
    active,
    closing // closed by the service; only its closing event is still delivered
};

class sessionTable {
public:
    // At most `capacity` sessions; opening one more drops the one unused longest.
    explicit sessionTable(size_t capacity);

    // Opens a session; `evicted` receives the number of a session dropped to
    // make room, or 0.
    sessionInfo open(const std::string& appName, int64_t& evicted);
    // The state of the session the ticket names (number and ticket text must
    // both match); counts as a use.
    sessionState check(const wire::sessionTicket& ticket);
    bool markClosing(int64_t sessionID);
    bool end(int64_t sessionID);
    std::vector<sessionInfo> list() const;

private:
    struct entry {
        sessionInfo info;
        bool closing = false;
        uint64_t lastUse = 0;
    };
    std::string newTicket();

    const size_t capacity;
    mutable std::mutex lock;
    std::map<int64_t, entry> sessions;
    int64_t lastID = 0;
    uint64_t uses = 0;
    std::random_device entropy;
};

} // namespace pkisim

#endif // PKISIM_SESSION_TABLE_H
