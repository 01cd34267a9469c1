#include "socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thrift/transport/TTransportException.h>

using apache::thrift::transport::TTransportException;

namespace vant {

loopbackSocket::loopbackSocket(uint16_t p, int ms) : port(p), timeoutMs(ms < 0 ? 0 : ms) {}

loopbackSocket::~loopbackSocket()
{
    close();
}

bool loopbackSocket::isOpen() const
{
    return fd.load() >= 0;
}

void loopbackSocket::open()
{
    if (isOpen())
        return;
    throwIfInterrupted();
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        throw TTransportException(TTransportException::NOT_OPEN, "socket() failed", errno);
    {
        std::lock_guard<std::mutex> hold(fdLock);
        fd = s;
    }
    int err = connectWithTimeout(s);
    if (err != 0) {
        close();
        throwIfInterrupted();
        throw TTransportException(TTransportException::NOT_OPEN, "connect() failed", err);
    }
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    applyTimeouts(s);
}

// Returns 0 when connected, else an errno value (ETIMEDOUT on time-out).
int loopbackSocket::connectWithTimeout(int s) const
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    int flags = fcntl(s, F_GETFL, 0);
    fcntl(s, F_SETFL, flags | O_NONBLOCK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS)
            return errno;
        pollfd p{s, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&p, 1, timeoutMs == 0 ? -1 : timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0)
            return ETIMEDOUT;
        if (ready < 0)
            return errno;
        int soError = 0;
        socklen_t len = sizeof soError;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
            return errno;
        if (soError != 0)
            return soError;
    }
    fcntl(s, F_SETFL, flags);
    return 0;
}

void loopbackSocket::applyTimeouts(int s) const
{
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

void loopbackSocket::close()
{
    std::lock_guard<std::mutex> hold(fdLock);
    int s = fd.exchange(-1);
    if (s >= 0) {
        ::shutdown(s, SHUT_RDWR);
        ::close(s);
    }
}

void loopbackSocket::interrupt()
{
    interrupted = true;
    std::lock_guard<std::mutex> hold(fdLock);
    int s = fd.load();
    if (s >= 0)
        ::shutdown(s, SHUT_RDWR);
}

void loopbackSocket::throwIfInterrupted() const
{
    if (interrupted)
        throw TTransportException(TTransportException::INTERRUPTED, "connection interrupted");
}

uint32_t loopbackSocket::read(uint8_t* buf, uint32_t len)
{
    throwIfInterrupted();
    int s = fd.load();
    if (s < 0)
        throw TTransportException(TTransportException::NOT_OPEN, "read on a closed connection");
    for (;;) {
        ssize_t got = ::recv(s, buf, len, 0);
        if (got >= 0) {
            throwIfInterrupted();
            bytes.fetch_add(static_cast<uint64_t>(got), std::memory_order_relaxed);
            return static_cast<uint32_t>(got);
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            throw TTransportException(TTransportException::TIMED_OUT, "receive timed out");
        if (errno == ECONNRESET)
            return 0;
        throw TTransportException(TTransportException::UNKNOWN, "recv() failed", errno);
    }
}

void loopbackSocket::write(const uint8_t* buf, uint32_t len)
{
    throwIfInterrupted();
    int s = fd.load();
    if (s < 0)
        throw TTransportException(TTransportException::NOT_OPEN, "write on a closed connection");
    while (len > 0) {
        ssize_t sent = ::send(s, buf, len, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                throw TTransportException(TTransportException::TIMED_OUT, "send timed out");
            throw TTransportException(TTransportException::NOT_OPEN, "send() failed", errno);
        }
        bytes.fetch_add(static_cast<uint64_t>(sent), std::memory_order_relaxed);
        buf += sent;
        len -= static_cast<uint32_t>(sent);
    }
}

bool loopbackSocket::unfitForReuse() const
{
    int s = fd.load();
    if (s < 0)
        return false;
    pollfd p{s, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    if (p.revents & (POLLERR | POLLHUP))
        return true;
    uint8_t probe;
    ssize_t got = ::recv(s, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    // 0 bytes is an orderly close; bytes on an idle connection can only be a
    // stale reply; an error other than "nothing yet" is a reset.
    return got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
}

} // namespace vant
