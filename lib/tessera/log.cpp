#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "callbackScope.h"
#include "lastError.h"

namespace vant {

namespace {

std::atomic<logHook*> current{nullptr};

} // namespace

void logHook::set(agentLogFunc newCallback, void* newParam)
{
    std::lock_guard<rankedMutex> hold(lock);
    callback = newCallback;
    param = newParam;
    on = newCallback != nullptr;
}

void logHook::emit(const char* line)
{
    agentLogFunc to;
    void* with;
    {
        std::lock_guard<rankedMutex> hold(lock);
        to = callback;
        with = param;
    }
    if (to == nullptr)
        return;
    try {
        lastErrorKept outcome;
        callbackScope inCallback(callbackKind::log);
        to(line, with);
    } catch (...) {
        // The application's callback must not break the operation it reports.
    }
}

void useLogHook(logHook* hook)
{
    current = hook;
}

bool logging()
{
    logHook* hook = current.load(std::memory_order_relaxed);
    return hook != nullptr && hook->enabled();
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
    if (logHook* hook = current.load())
        hook->emit(line);
}

} // namespace vant
