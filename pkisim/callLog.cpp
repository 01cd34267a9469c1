#include "callLog.h"

#include <iterator>

namespace pkisim {

callLog::callLog(size_t maxCalls, size_t maxBodyBytes) : maxCalls(maxCalls), maxBodyBytes(maxBodyBytes) {}

void callLog::add(recordedCall call)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        bodyBytes += call.jsonBody.size();
        calls.push_back(std::move(call));
        ++seen;
        ++generation;
        trim();
    }
    changed.notify_all();
}

void callLog::trim()
{
    while (calls.size() > 1 && (calls.size() > maxCalls || bodyBytes > maxBodyBytes)) {
        bodyBytes -= calls.front().jsonBody.size();
        calls.pop_front();
    }
}

std::vector<recordedCall> callLog::snapshot() const
{
    std::lock_guard<std::mutex> guard(lock);
    return {calls.begin(), calls.end()};
}

void callLog::clear()
{
    take();
}

std::vector<recordedCall> callLog::take()
{
    std::vector<recordedCall> taken;
    {
        std::lock_guard<std::mutex> guard(lock);
        taken.assign(std::make_move_iterator(calls.begin()), std::make_move_iterator(calls.end()));
        calls.clear();
        bodyBytes = 0;
        ++generation;
    }
    changed.notify_all();
    return taken;
}

uint64_t callLog::total() const
{
    std::lock_guard<std::mutex> guard(lock);
    return seen;
}

bool callLog::waitFor(const std::function<bool(const std::vector<recordedCall>&)>& pred,
                      std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        const uint64_t seenGeneration = generation;
        const std::vector<recordedCall> copy(calls.begin(), calls.end());
        guard.unlock();
        if (pred(copy))
            return true;
        guard.lock();
        if (!changed.wait_until(guard, deadline, [&] { return generation != seenGeneration; }))
            return false;
    }
}

} // namespace pkisim
