// Prints the service's notifications (device inserted, removed or modified,
// session closed) as the library's notification thread delivers them.
//
//   watch-devices [COUNT]
//
// Logs in as the development service's demo application, prints "watching"
// once it is logged in, then one line per event, "MSGTYPE TEXT", and ends
// after COUNT events (default 1).
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "tessera.h"

namespace {

struct eventCount {
    std::mutex lock;
    std::condition_variable changed;
    int seen = 0;
};

const char* eventName(int32_t msgType)
{
    switch (msgType) {
    case VPKI_NOTIFY_DEVICE_INSERTED: return "inserted";
    case VPKI_NOTIFY_DEVICE_REMOVED: return "removed";
    case VPKI_NOTIFY_DEVICE_MODIFIED: return "modified";
    case VPKI_NOTIFY_SESSION_CLOSED: return "session-closed";
    default: return "other";
    }
}

// On the library's notification thread; the record lives only during the call.
void onEvent(vpkiResp* resp, void* param)
{
    auto& count = *static_cast<eventCount*>(param);
    std::printf("%s %s\n", eventName(resp->msgType), resp->body->getDataString().c_str());
    std::fflush(stdout);
    std::lock_guard<std::mutex> hold(count.lock);
    ++count.seen;
    count.changed.notify_all();
}

} // namespace

int main(int argc, char** argv)
{
    const int wanted = argc > 1 ? std::atoi(argv[1]) : 1;
    eventCount count;
    if (!createAgent(onEvent, nullptr, &count) || !loginAgent("demo", "demo-app-id", "demo-token")) {
        std::fprintf(stderr, "watch-devices: %s\n", agentLastErrorText());
        releaseAgent();
        return 1;
    }
    std::printf("watching\n");
    std::fflush(stdout);
    {
        std::unique_lock<std::mutex> held(count.lock);
        count.changed.wait(held, [&] { return count.seen >= wanted; });
    }
    logoutAgent();
    releaseAgent();
    return 0;
}
