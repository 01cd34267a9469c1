#include "callbackScope.h"

#include <string>

#include "lastError.h"
#include "tessera.h"

namespace vant {

namespace {

// Plain thread-local storage: nothing to destroy at thread exit.
thread_local callbackKind running = callbackKind::none;

} // namespace

callbackScope::callbackScope(callbackKind kind) : outer(running)
{
    running = kind;
}

callbackScope::~callbackScope()
{
    running = outer;
}

bool insideCallback()
{
    return running != callbackKind::none;
}

bool refusedInCallback(const char* function, bool inAnyCallback)
{
    if (running == callbackKind::none || (running == callbackKind::event && !inAnyCallback))
        return false;
    setLastError(VPKI_ERR_IN_CALLBACK, std::string(function) + " cannot be called from " +
                                           (running == callbackKind::log ? "the log callback" : "a callback"));
    return true;
}

} // namespace vant
