// The library's waits, in one place. Each agent holds one set, read when a
// connection is built and at each pause. The values are fixed for
// applications (nothing of this is exported); the test suite, which links
// the library's units directly, shortens them so that it need not wait as
// long.
#ifndef TESSERA_TIMINGS_H
#define TESSERA_TIMINGS_H

namespace vant {

struct timings {
    int requestTimeoutMs = 15000;   // connect, send, and the whole reply, on a request connection
    int pollPauseMs = 20;           // after each poll of the notification listener
    int reconnectPauseMaxMs = 1000; // the listener's pause before a connect, doubling from pollPauseMs after failures
    int busyPauseMs = 1000;         // after the service answered a poll with "busy"
    long reloginIntervalMs = 30000; // at most one automatic login in this time
};

} // namespace vant

#endif // TESSERA_TIMINGS_H
