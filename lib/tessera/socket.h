// The bottom layer of a connection to the service: a TCP socket to
// 127.0.0.1 that speaks Thrift's transport interface.
//
// Unlike Thrift's own socket it prints nothing (a failed connect is normal
// while the service restarts, and the application's stderr is not ours), can
// be interrupted from another thread, tells whether the service closed an
// idle connection, and counts the bytes it carried.
#ifndef TESSERA_SOCKET_H
#define TESSERA_SOCKET_H

#include <atomic>
#include <cstdint>
#include <mutex>

#include <thrift/transport/TVirtualTransport.h>

namespace vant {

class loopbackSocket : public apache::thrift::transport::TVirtualTransport<loopbackSocket> {
public:
    // timeoutMs bounds connect, each send and each receive; 0 waits without limit.
    loopbackSocket(uint16_t port, int timeoutMs);
    ~loopbackSocket() override;
    loopbackSocket(const loopbackSocket&) = delete;
    loopbackSocket& operator=(const loopbackSocket&) = delete;

    bool isOpen() const override;
    // Connects; throws TTransportException NOT_OPEN on failure or time-out,
    // INTERRUPTED when interrupt() came first.
    void open() override;
    void close() override;

    // Returns 0 at end of stream; throws TIMED_OUT, or INTERRUPTED after interrupt().
    uint32_t read(uint8_t* buf, uint32_t len);
    void write(const uint8_t* buf, uint32_t len);

    // Makes a blocked or later open, read or write fail at once. Any thread.
    void interrupt();
    // True when the connection is open but cannot carry a new exchange: the
    // service closed its side, or unread bytes (a stale reply) are waiting.
    bool unfitForReuse() const;
    // Bytes sent and received since construction.
    uint64_t traffic() const { return bytes.load(std::memory_order_relaxed); }

private:
    int connectWithTimeout(int fd) const;
    void applyTimeouts(int fd) const;
    void throwIfInterrupted() const;

    const uint16_t port;
    const int timeoutMs;
    // fd is replaced under fdLock so that interrupt() never touches a closed,
    // possibly reused, descriptor; reads and writes run without the lock.
    mutable std::mutex fdLock;
    std::atomic<int> fd{-1};
    std::atomic<bool> interrupted{false};
    std::atomic<uint64_t> bytes{0};
};

} // namespace vant

#endif // TESSERA_SOCKET_H
