// A signal raised once when the server stops. Every wait of the server that
// could outlast a stop() watches it: a poll() on descriptors (the signal's
// descriptor becomes readable) or a timed wait.
#ifndef PKISIM_STOP_SIGNAL_H
#define PKISIM_STOP_SIGNAL_H

#include <atomic>

namespace pkisim {

class stopSignal {
public:
    stopSignal(); // throws std::system_error when no pipe can be made
    ~stopSignal();
    stopSignal(const stopSignal&) = delete;
    stopSignal& operator=(const stopSignal&) = delete;

    void raise();
    // Lowers the signal again; only while no thread waits on it.
    void reset();
    bool raised() const { return up.load(); }
    // Readable while the signal is raised.
    int fd() const { return readEnd; }
    // Waits up to `ms` milliseconds (negative: without limit); true when raised.
    bool waitFor(int ms) const;

private:
    std::atomic<bool> up{false};
    int readEnd = -1;
    int writeEnd = -1;
};

} // namespace pkisim

#endif // PKISIM_STOP_SIGNAL_H
