#include "log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "callbackScope.h"
#include "lastError.h"
#include "tessera.h"

namespace vant {

namespace {

// The callback and its param change together under the lock; the flag lets
// every other line of the library pass without taking it.
std::atomic<bool> enabled{false};
std::mutex hookLock;
agentLogFunc hook = nullptr;
void* hookParam = nullptr;

} // namespace

bool logging()
{
    return enabled.load(std::memory_order_relaxed);
}

void logLine(const char* format, ...)
{
    if (!logging())
        return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    agentLogFunc callback;
    void* param;
    {
        std::lock_guard<std::mutex> hold(hookLock);
        callback = hook;
        param = hookParam;
    }
    if (callback == nullptr)
        return;
    try {
        lastErrorKept outcome;
        callbackScope inCallback(callbackKind::log);
        callback(line, param);
    } catch (...) {
        // The application's callback must not break the operation it reports.
    }
}

} // namespace vant

extern "C" void setAgentLogger(agentLogFunc logFunc, void* param)
{
    if (vant::refusedInCallback("setAgentLogger", false))
        return;
    std::lock_guard<std::mutex> hold(vant::hookLock);
    vant::hook = logFunc;
    vant::hookParam = param;
    vant::enabled = logFunc != nullptr;
}
