#include "agentOwner.h"

#include <pthread.h>

#include <atomic>
#include <mutex>
#include <new>

#include "callbackScope.h"

// Registration of exit-time handlers with the shared object that they belong
// to: they run at exit() and when the library is unloaded.
extern "C" void* __dso_handle;
extern "C" int __cxa_atexit(void (*handler)(void*), void* arg, void* dso);

namespace vant {

namespace {

std::atomic<agent*> current{nullptr};

// Agents of the parent processes, in a forked child. They are never touched
// again (their threads do not exist here, their locks may be held for ever)
// and never destroyed; the list keeps them reachable.
struct abandonedAgent {
    agent* abandoned;
    abandonedAgent* next;
};
abandonedAgent* abandoned = nullptr;

// Set when the process exits from inside a callback: the agent's threads
// cannot be ended from there (one of them is the caller), so the agent is
// left to the end of the process rather than destroyed under them.
std::atomic<bool> keptAtExit{false};

void make(agent* fresh)
{
    current = fresh;
    useLogHook(&fresh->log());
}

// After fork(), in the child: a fresh agent takes the parent's place, so that
// the child can create an agent of its own (the socket layer has closed the
// parent's connections).
void childAfterFork()
{
    agent* fresh = new (std::nothrow) agent;
    auto* record = new (std::nothrow) abandonedAgent{current.load(), abandoned};
    if (fresh == nullptr || record == nullptr) {
        // Out of memory in a child that just forked: it keeps no agent it
        // could use, and logs nothing.
        useLogHook(nullptr);
        current.load()->abandon();
        return;
    }
    abandoned = record;
    make(fresh);
}

// The agent exists before any other object of the library and outlives them.
struct agentOwner {
    agentOwner()
    {
        make(new agent);
        pthread_atfork(nullptr, nullptr, childAfterFork);
    }
    ~agentOwner()
    {
        useLogHook(nullptr);
        if (!keptAtExit)
            delete current.exchange(nullptr);
    }
} owner __attribute__((init_priority(1000)));

// An application that exits without releaseAgent still has the listener and
// the worker running; they must end before the library's state is destroyed.
// Registered after the library's static objects were constructed, the hook
// runs before their destructors, at exit() and at dlclose() alike. It is
// registered for this library explicitly (rather than through atexit(), which
// some runtimes register for the whole process) so that an unload runs it.
void releaseAtExit(void*)
{
    if (insideCallback())
        keptAtExit = true;
    else if (theAgent().created())
        theAgent().release();
}

} // namespace

agent& theAgent()
{
    return *current.load(std::memory_order_relaxed);
}

void registerExitHook()
{
    static std::once_flag once;
    std::call_once(once, [] { __cxa_atexit(releaseAtExit, nullptr, &__dso_handle); });
}

} // namespace vant
