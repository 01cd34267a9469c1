// Events for the notification polls, numbered so that a client resumes from
// its cursor without losing or repeating an event.
//
// Every event gets the next sequence number. A poll with cursor k receives the
// first event after k that the session may see (events for every session and
// those addressed to it); the reply's cursor is that event's number. Cursor 0
// means "from where the session started": its login, or the place of a lost
// session of the same application that it took over. A reply without an event
// hands out the position the cursor stands for, so that a client holds a real
// cursor from its first poll on. Numbers start at a base taken from the clock
// when the log is made, so that a cursor issued by an earlier run of the
// service (below the base) is recognised: such a client receives every event
// still kept. A cursor beyond the newest event counts as 0.
//
// Events are kept until the cursors of all sessions have passed them, at most
// `capacity` of them. A session's cursor is the one its latest poll presented;
// before its first poll it holds every event. A lost session (ended by the
// service, not by a logout) leaves its place behind for `orphanGrace`: its
// events stay, and the next session of the same application starts there.
#ifndef PKISIM_EVENT_LOG_H
#define PKISIM_EVENT_LOG_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace pkisim {

struct event {
    int64_t seq = 0;
    int32_t msgType = 0;
    std::string body;
    int64_t sessionID = 0; // 0: for every session
};

class eventLog {
public:
    eventLog(size_t capacity, std::chrono::seconds orphanGrace);

    int64_t post(int32_t msgType, std::string body, int64_t sessionID = 0);
    // A new session of the application `owner`.
    void join(int64_t sessionID, const std::string& owner);
    // A session its client ended: forgotten.
    void leave(int64_t sessionID);
    // A session the service ended: its place is kept for the next session of
    // its application.
    void lose(int64_t sessionID);

    struct pollResult {
        bool found = false;
        event delivered;
        int64_t cursor = 0; // the cursor for the reply's extend
    };
    // The first event after `cursor` for the session; when there is none, waits
    // up to `wait` for one (interruptWaits(), leave() and lose() end the wait early).
    pollResult poll(int64_t sessionID, int64_t cursor, std::chrono::milliseconds wait);

    void interruptWaits();
    void allowWaits();
    size_t size() const;
    int64_t newest() const;

private:
    struct reader {
        std::string owner;
        int64_t start = 0;    // where cursor 0 points
        int64_t position = 0; // the cursor of its latest poll, resolved
        bool polled = false;  // before its first poll it holds every event
    };
    struct orphan {
        reader place;
        std::chrono::steady_clock::time_point until;
    };

    reader& readerOf(int64_t sessionID);
    int64_t resolve(const reader& who, int64_t cursor) const;
    const event* firstAfter(int64_t sessionID, int64_t cursor) const;
    int64_t holdsFrom(const reader& who) const;
    void dropSession(int64_t sessionID, bool keepPlace);
    void prune();

    const size_t capacity;
    const std::chrono::seconds orphanGrace;
    const int64_t base;
    mutable std::mutex lock;
    std::condition_variable posted;
    std::deque<event> events;
    int64_t last;
    std::map<int64_t, reader> readers;
    std::deque<orphan> orphans; // oldest first
    bool interrupted = false;
};

} // namespace pkisim

#endif // PKISIM_EVENT_LOG_H
