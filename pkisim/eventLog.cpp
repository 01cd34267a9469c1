#include "eventLog.h"

#include <algorithm>
#include <atomic>

namespace pkisim {

namespace {

constexpr size_t maxOrphans = 64;
constexpr int baseShift = 20; // room for a million events per millisecond between two logs

// Later logs of this process get higher bases even within one millisecond.
int64_t freshBase()
{
    static std::atomic<int64_t> previous{0};
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() << baseShift;
    int64_t seen = previous.load();
    int64_t next;
    do {
        next = std::max(now, seen + (int64_t(1) << baseShift));
    } while (!previous.compare_exchange_weak(seen, next));
    return next;
}

} // namespace

eventLog::eventLog(size_t capacity, std::chrono::seconds orphanGrace)
    : capacity(capacity),
      orphanGrace(orphanGrace),
      base(freshBase()),
      last(base)
{
}

int64_t eventLog::post(int32_t msgType, std::string body, int64_t sessionID)
{
    int64_t seq;
    {
        std::lock_guard<std::mutex> guard(lock);
        seq = ++last;
        events.push_back(event{seq, msgType, std::move(body), sessionID});
        prune();
    }
    posted.notify_all();
    return seq;
}

void eventLog::join(int64_t sessionID, const std::string& owner)
{
    std::lock_guard<std::mutex> guard(lock);
    prune();
    reader fresh{owner, last, last, false};
    // The newest place a lost session of this application left behind.
    for (auto it = orphans.rbegin(); it != orphans.rend(); ++it) {
        if (it->place.owner != owner)
            continue;
        fresh.start = fresh.position = it->place.position;
        orphans.erase(std::next(it).base());
        break;
    }
    readers[sessionID] = fresh;
}

void eventLog::leave(int64_t sessionID)
{
    dropSession(sessionID, false);
}

void eventLog::lose(int64_t sessionID)
{
    dropSession(sessionID, true);
}

void eventLog::dropSession(int64_t sessionID, bool keepPlace)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = readers.find(sessionID);
        if (found == readers.end())
            return;
        if (keepPlace)
            orphans.push_back(orphan{found->second, std::chrono::steady_clock::now() + orphanGrace});
        readers.erase(found);
        prune();
    }
    posted.notify_all();
}

eventLog::pollResult eventLog::poll(int64_t sessionID, int64_t cursor, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock<std::mutex> guard(lock);
    reader& who = readerOf(sessionID);
    const int64_t from = resolve(who, cursor);
    who.position = from;
    who.polled = true;
    prune();
    pollResult result;
    result.cursor = from;
    const event* next = nullptr;
    posted.wait_until(guard, deadline, [&] {
        next = firstAfter(sessionID, from);
        return next || interrupted || readers.count(sessionID) == 0;
    });
    if (next) {
        result.found = true;
        result.delivered = *next;
        result.cursor = next->seq;
    }
    return result;
}

void eventLog::interruptWaits()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        interrupted = true;
    }
    posted.notify_all();
}

void eventLog::allowWaits()
{
    std::lock_guard<std::mutex> guard(lock);
    interrupted = false;
}

size_t eventLog::size() const
{
    std::lock_guard<std::mutex> guard(lock);
    return events.size();
}

int64_t eventLog::newest() const
{
    std::lock_guard<std::mutex> guard(lock);
    return last;
}

// A session the log has not heard of polls from the newest event on.
eventLog::reader& eventLog::readerOf(int64_t sessionID)
{
    const auto found = readers.find(sessionID);
    if (found != readers.end())
        return found->second;
    return readers.emplace(sessionID, reader{"", last, last, false}).first->second;
}

int64_t eventLog::resolve(const reader& who, int64_t cursor) const
{
    if (cursor == 0 || cursor > last)
        return who.start;
    return std::max(cursor, base);
}

const event* eventLog::firstAfter(int64_t sessionID, int64_t cursor) const
{
    const auto after =
        std::upper_bound(events.begin(), events.end(), cursor, [](int64_t seq, const event& e) { return seq < e.seq; });
    for (auto it = after; it != events.end(); ++it)
        if (it->sessionID == 0 || it->sessionID == sessionID)
            return &*it;
    return nullptr;
}

// Its client may still present any cursor until its first poll says where it stands.
int64_t eventLog::holdsFrom(const reader& who) const
{
    return who.polled ? who.position : base;
}

void eventLog::prune()
{
    const auto now = std::chrono::steady_clock::now();
    orphans.erase(std::remove_if(orphans.begin(), orphans.end(), [&](const orphan& o) { return o.until <= now; }),
                  orphans.end());
    while (orphans.size() > maxOrphans)
        orphans.pop_front();
    if (!readers.empty() || !orphans.empty()) {
        int64_t oldest = last;
        for (const auto& entry : readers)
            oldest = std::min(oldest, holdsFrom(entry.second));
        for (const orphan& o : orphans)
            oldest = std::min(oldest, holdsFrom(o.place));
        while (!events.empty() && events.front().seq <= oldest)
            events.pop_front();
    }
    while (events.size() > capacity)
        events.pop_front();
}

} // namespace pkisim
