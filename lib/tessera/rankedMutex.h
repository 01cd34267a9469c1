// Locks taken in one fixed order. Each lock of the agent has a rank; a
// thread that holds a lock takes only locks of a higher rank. Builds with
// assertions (the sanitizer builds among them) check the order on every
// lock, so that a path that could deadlock fails the first time it runs,
// not the one time in a million that its threads meet.
#ifndef TESSERA_RANKED_MUTEX_H
#define TESSERA_RANKED_MUTEX_H

#include <mutex>

namespace vant {

// From the first lock taken to the last.
enum class lockRank : unsigned {
    session = 0,      // one login or logout at a time, for its whole exchange
    channels,         // the request connections' list
    listener,         // the listener thread's start and end
    notifyConnection, // the notification connection's pointer
    pause,            // the listener's pauses
    listenerEnd,      // the listener's end signal
    ticket,           // the session ticket
    logHook,          // the debug hook
};

class rankedMutex {
public:
    explicit rankedMutex(lockRank rank) : rank(rank) {}
    rankedMutex(const rankedMutex&) = delete;
    rankedMutex& operator=(const rankedMutex&) = delete;

    void lock();
    void unlock();

private:
    std::mutex mutex;
    const lockRank rank;
};

} // namespace vant

#endif // TESSERA_RANKED_MUTEX_H
