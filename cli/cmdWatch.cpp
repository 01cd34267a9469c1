// tessera watch: print the service's notifications as they arrive.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <limits>

#include "commands.h"
#include "exitCodes.h"
#include "lookup.h"
#include "serviceWatch.h"
#include "session.h"
#include "wakeChannel.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;

const char* eventName(int32_t msgType)
{
    switch (msgType) {
    case VPKI_NOTIFY_DEVICE_INSERTED: return "deviceInserted";
    case VPKI_NOTIFY_DEVICE_REMOVED: return "deviceRemoved";
    case VPKI_NOTIFY_DEVICE_MODIFIED: return "deviceModified";
    case VPKI_NOTIFY_SESSION_CLOSED: return "sessionClosed";
    default: return "event";
    }
}

// Shared between the command and the library's notification thread.
struct watcher {
    output& out;
    wakeChannel& channel;
    long long wanted; // end after this many events; 0: until interrupted
    long long seen = 0;
    std::atomic<bool> writeFailed{false};
};

// Runs on the library's notification thread: nothing may escape from here.
void onNotify(vpkiResp* resp, void* param)
{
    watcher& w = *static_cast<watcher*>(param);
    if (w.wanted != 0 && w.seen >= w.wanted)
        return;
    try {
        json event = {{"event", eventName(resp->msgType)}};
        event.update(responseToJson(*resp));
        w.out.event(event);
        if (++w.seen == w.wanted)
            w.channel.wake();
    } catch (...) {
        w.writeFailed = true;
        w.channel.wake();
    }
}

long long eventCount(const parsedArgs& args)
{
    long long count = 0;
    if (args.has("count") && !parseNumber(args.value("count"), 1, std::numeric_limits<long long>::max(), count))
        throw usageError("--count needs a number of 1 or more");
    return count;
}

int runWatch(const invocation& call)
{
    wakeChannel channel;
    watcher w{call.out, channel, eventCount(call.args)};
    // A reader that goes away shows as a failed write, not as SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    {
        serviceWatch health(call.config.login);
        session login(call.config.login, onNotify, &w, serviceWatch::onProbeAnswer);
        if (call.out.text())
            std::fprintf(stderr, "tessera: watching notifications; Ctrl-C ends\n");
        while (!channel.waitFor(serviceWatch::probeIntervalMs))
            health.probe();
        health.stop();
    }
    if (w.writeFailed)
        throw failure(exitFileError, "cannot write to standard output");
    return exitOk;
}

} // namespace

command watchCommand()
{
    return {"watch",
            "print notifications as they arrive",
            "Usage: tessera watch [OPTIONS] [--count N]\n"
            "\n"
            "Logs in and prints every notification of the service as it arrives\n"
            "(device inserted, removed or modified, session closed), until Ctrl-C\n"
            "(SIGINT) or SIGTERM; then logs out and exits with status 0.\n"
            "\n"
            "Each notification is one line of JSON: \"event\" (deviceInserted,\n"
            "deviceRemoved, deviceModified, sessionClosed, or event for another\n"
            "type), then the fields of the record as 'tessera call' prints them.\n"
            "With --text, a block of lines per notification.\n"
            "\n"
            "While the service is away, standard error says so once, and again when\n"
            "it is back; the command then logs in anew within about a second, and\n"
            "the notifications go on.\n"
            "\n"
            "Options:\n"
            "  --count N    exit after N notifications\n",
            {{"count", true}},
            0,
            0,
            runWatch};
}

} // namespace cli
