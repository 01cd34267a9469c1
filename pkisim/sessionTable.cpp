#include "sessionTable.h"

#include <algorithm>
#include <cstdio>

namespace pkisim {

sessionTable::sessionTable(size_t capacity) : capacity(capacity) {}

sessionInfo sessionTable::open(const std::string& appName, int64_t& evicted)
{
    std::lock_guard<std::mutex> guard(lock);
    evicted = 0;
    if (sessions.size() >= capacity && !sessions.empty()) {
        const auto oldest = std::min_element(sessions.begin(), sessions.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        evicted = oldest->first;
        sessions.erase(oldest);
    }
    entry created;
    created.info.sessionID = ++lastID;
    created.info.ticket = newTicket();
    created.info.appName = appName;
    created.lastUse = ++uses;
    sessions[created.info.sessionID] = created;
    return created.info;
}

sessionState sessionTable::check(const wire::sessionTicket& ticket)
{
    std::lock_guard<std::mutex> guard(lock);
    const auto found = sessions.find(ticket.sessionID);
    if (found == sessions.end() || found->second.info.ticket != ticket.ticket)
        return sessionState::unknown;
    found->second.lastUse = ++uses;
    return found->second.closing ? sessionState::closing : sessionState::active;
}

bool sessionTable::markClosing(int64_t sessionID)
{
    std::lock_guard<std::mutex> guard(lock);
    const auto found = sessions.find(sessionID);
    if (found == sessions.end() || found->second.closing)
        return false;
    found->second.closing = true;
    return true;
}

bool sessionTable::end(int64_t sessionID)
{
    std::lock_guard<std::mutex> guard(lock);
    return sessions.erase(sessionID) != 0;
}

std::vector<sessionInfo> sessionTable::list() const
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<sessionInfo> all;
    for (const auto& item : sessions)
        all.push_back(item.second.info);
    return all;
}

// 128 random bits as hexadecimal text; called with the lock held.
std::string sessionTable::newTicket()
{
    std::string ticket;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(entropy()));
        ticket += part;
    }
    return ticket;
}

} // namespace pkisim
