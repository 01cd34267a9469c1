// Lets the main thread sleep until Ctrl-C (SIGINT), SIGTERM or another
// thread wakes it, without running library code in a signal handler: the
// handler only writes a byte to a pipe that the main thread reads.
#ifndef TESSERA_CLI_WAKE_CHANNEL_H
#define TESSERA_CLI_WAKE_CHANNEL_H

namespace cli {

class wakeChannel {
public:
    // Blocks SIGINT and SIGTERM in the calling thread (threads started after
    // this inherit the block, so only the waiting thread takes the signals)
    // and routes them to the channel. One channel at a time.
    wakeChannel();
    // Restores the signal handling and mask of before.
    ~wakeChannel();
    wakeChannel(const wakeChannel&) = delete;
    wakeChannel& operator=(const wakeChannel&) = delete;

    // Wakes the waiting thread; callable from any thread.
    void wake();
    // Unblocks the two signals in the calling thread and sleeps until woken.
    // A second Ctrl-C after this returns ends the process the usual way.
    void wait();
    // The same, for at most `ms` milliseconds: true when woken (the signals
    // then take their usual way too), false when the time ran out.
    bool waitFor(int ms);
};

} // namespace cli

#endif // TESSERA_CLI_WAKE_CHANNEL_H
