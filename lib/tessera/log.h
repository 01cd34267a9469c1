// The debug hook: lines for the application's log callback, when it set one.
#ifndef TESSERA_LOG_H
#define TESSERA_LOG_H

#include <atomic>

#include "rankedMutex.h"
#include "tessera.h"

namespace vant {

// An agent's hook: the callback and its param, set and cleared at any time.
class logHook {
public:
    void set(agentLogFunc callback, void* param);
    bool enabled() const { return on.load(std::memory_order_relaxed); }
    // Hands one line to the callback, if one is set. The callback's own
    // calls of the interface (refused there) leave the calling thread's last
    // error as it was.
    void emit(const char* line);

private:
    // The callback and its param change together under the lock; the flag
    // lets every other line of the library pass without taking it.
    std::atomic<bool> on{false};
    rankedMutex lock{lockRank::logHook};
    agentLogFunc callback = nullptr;
    void* param = nullptr;
};

// The hook that lines go to: the process's agent's (set by its owner, also
// in a forked child, whose agent is a new one).
void useLogHook(logHook* hook);

// True when a log callback is set; lets callers skip building a line.
bool logging();
// Formats one line and hands it to the log callback, if one is set.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace vant

#endif // TESSERA_LOG_H
