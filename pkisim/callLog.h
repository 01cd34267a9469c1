// The record of calls that reached the service, oldest first, bounded.
#ifndef PKISIM_CALL_LOG_H
#define PKISIM_CALL_LOG_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "simTypes.h"

namespace pkisim {

class callLog {
public:
    // Keeps at most `maxCalls` calls and `maxBodyBytes` of request bodies;
    // the oldest calls go first.
    callLog(size_t maxCalls, size_t maxBodyBytes);

    void add(recordedCall call);
    std::vector<recordedCall> snapshot() const;
    void clear();
    // The record as snapshot() gives it, cleared under the same lock, so that
    // no call lands between the copy and the clearing.
    std::vector<recordedCall> take();
    // Calls recorded since construction, dropped ones included.
    uint64_t total() const;
    // `pred` runs on a copy of the record, outside the lock, so it may call
    // back into the server.
    bool waitFor(const std::function<bool(const std::vector<recordedCall>&)>& pred,
                 std::chrono::milliseconds timeout) const;

private:
    void trim();

    const size_t maxCalls;
    const size_t maxBodyBytes;
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    std::deque<recordedCall> calls;
    size_t bodyBytes = 0;
    uint64_t seen = 0;
    uint64_t generation = 0; // bumped on every change, so waiters see each one
};

} // namespace pkisim

#endif // PKISIM_CALL_LOG_H
