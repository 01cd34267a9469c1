// The notification listener: a thread that polls the service for events
// (device inserted, removed or modified, session closed) on a connection of
// its own, hands them to the application's notification callback, and logs
// in again through the session when the service reports the session lost.
#ifndef TESSERA_NOTIFY_H
#define TESSERA_NOTIFY_H

#include <condition_variable>
#include <memory>

#include "applicationCallbacks.h"
#include "connection.h"
#include "helper.h"
#include "rankedMutex.h"
#include "session.h"
#include "timings.h"

namespace vant {

class listener {
public:
    listener(session& current, const applicationCallbacks& callbacks, const timings& timing);
    ~listener();
    listener(const listener&) = delete;
    listener& operator=(const listener&) = delete;

    // After a login: the notification connection goes to `at` (built anew
    // when it went elsewhere or with another time-out), and the thread runs;
    // one that has ended is joined first. False when the thread could not
    // be started.
    bool follow(session::endpoint at);
    // Ends the listener's pause at once; it then finds the session ended.
    void wake();
    // After a logout: the connection is gone; a pending poll fails.
    void dropConnection();
    // Ends the thread and joins it, within about a second whatever the
    // service does, and closes the connection. Not from the listener itself.
    void stop();

private:
    class pollLoop;

    // createNotifyTrans: builds (does not open) the connection to `port`,
    // time-outs of timeoutSeconds x 1000 ms; a poll on the old one is cut short.
    void createNotifyTrans(uint16_t port, int32_t timeoutSeconds);
    std::shared_ptr<rpcStack> latestConnection();
    void renewConnection(const std::shared_ptr<rpcStack>& used);
    std::shared_ptr<rpcStack> exchangeConnection(std::shared_ptr<rpcStack> fresh);
    bool keepRunning();
    void pause(int ms);
    void markEnded(bool ended);
    static void* threadNotify(void* arg);
    void run();

    session& current;
    const applicationCallbacks& callbacks;
    const timings& timing;

    rankedMutex listenerLock{lockRank::listener};
    std::unique_ptr<tThread> thread; // listenerLock
    bool started = false;            // listenerLock: started and not on its way out

    rankedMutex connectionLock{lockRank::notifyConnection};
    std::shared_ptr<rpcStack> connection; // connectionLock; used by the thread alone

    rankedMutex pauseLock{lockRank::pause};
    std::condition_variable_any pauseWake;

    rankedMutex endLock{lockRank::listenerEnd};
    std::condition_variable_any endSignal;
    bool ended = true; // endLock: the thread's routine has ended
};

} // namespace vant

#endif // TESSERA_NOTIFY_H
