// The bottom layer of a connection to the service: a TCP socket to
// 127.0.0.1 with deadlines.
//
// Unlike Thrift's own socket it prints nothing (a failed connect is normal
// while the service restarts, and the application's stderr is not ours), can
// be interrupted from another thread, bounds a whole send or a whole wait for
// data by one deadline (bytes that trickle in do not extend it), tells
// whether anything arrived on an idle connection, and counts the bytes it
// carried. Failures are thrown as exchangeFailure.
#ifndef TESSERA_SOCKET_H
#define TESSERA_SOCKET_H

#include <atomic>
#include <cstdint>
#include <mutex>

#include "byteStream.h"

namespace vant {

class loopbackSocket : public byteStream {
public:
    explicit loopbackSocket(uint16_t port);
    ~loopbackSocket() override;
    loopbackSocket(const loopbackSocket&) = delete;
    loopbackSocket& operator=(const loopbackSocket&) = delete;

    bool isOpen() const override;
    // cannotConnect, timedOut, or interrupted when interrupt() came first;
    // untrustedService when the service's end belongs to another ordinary
    // user (nothing is sent then).
    void open(deadline by) override;
    void close() override;
    // timedOut, interrupted or connectionLost.
    void sendAll(std::string_view head, std::string_view body, deadline by) override;
    // timedOut, interrupted or connectionLost.
    size_t receive(char* buffer, size_t capacity, deadline by) override;
    idleState idle() const override;
    void interrupt() override;
    uint64_t traffic() const override { return bytes.load(std::memory_order_relaxed); }

private:
    int connectBy(int fd, deadline by) const;
    void requireTrustedService(int fd);
    bool waitFor(int fd, int optName, deadline by, int& appliedMs);
    void throwIfInterrupted() const;

    const uint16_t port;
    // fd is replaced under fdLock so that interrupt() never touches a closed,
    // possibly reused, descriptor; sends and receives run without the lock.
    mutable std::mutex fdLock;
    std::atomic<int> fd{-1};
    std::atomic<bool> interrupted{false};
    std::atomic<uint64_t> bytes{0};
    // The SO_RCVTIMEO and SO_SNDTIMEO values in force, so that a call sets
    // them only when its deadline needs another value (-1: never set).
    int receiveTimeoutMs = -1;
    int sendTimeoutMs = -1;
};

// A child made by fork() closes every socket of the library, without a word
// to the service: they remain the parent's connections.

} // namespace vant

#endif // TESSERA_SOCKET_H
