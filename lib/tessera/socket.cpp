#include "socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "failure.h"
#include "log.h"
#include "peerOwner.h"

namespace vant {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A socket time-out may run this much past the deadline before it is
// shortened: setting it costs a system call, and exchanges are short.
constexpr int timeoutSlackMs = 10;

// Milliseconds left until `by` (at least 1), 0 for no deadline, -1 when it has passed.
int millisecondsLeft(deadline by)
{
    if (by == deadline::max())
        return 0;
    const auto left = std::chrono::ceil<milliseconds>(by - steady_clock::now()).count();
    if (left <= 0)
        return -1;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// The descriptors of the library's open sockets, for a forked child to
// close. fork() happens with the lock held (lockSocketsForFork), so that the
// child finds the list whole, whatever the parent's other threads were doing.
std::mutex openSocketsLock;
std::vector<int> openSockets;

// False when memory ran out: the caller must not keep the socket, which a
// forked child would otherwise inherit unnoticed.
bool rememberSocket(int fd)
{
    std::lock_guard<std::mutex> hold(openSocketsLock);
    try {
        openSockets.push_back(fd);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void forgetSocket(int fd)
{
    std::lock_guard<std::mutex> hold(openSocketsLock);
    const auto known = std::find(openSockets.begin(), openSockets.end(), fd);
    if (known != openSockets.end())
        openSockets.erase(known);
}

exchangeFailure failure(vpkiError code, const char* what, int err = 0)
{
    std::string text = what;
    if (err != 0)
        text += std::string(": ") + std::strerror(err);
    return exchangeFailure(code, text);
}

} // namespace

deadline deadlineIn(int ms)
{
    return ms <= 0 ? deadline::max() : steady_clock::now() + milliseconds(ms);
}

loopbackSocket::loopbackSocket(uint16_t p) : port(p) {}

loopbackSocket::~loopbackSocket()
{
    close();
}

bool loopbackSocket::isOpen() const
{
    return fd.load() >= 0;
}

void loopbackSocket::open(deadline by)
{
    if (isOpen())
        return;
    throwIfInterrupted();
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        throw failure(VPKI_ERR_CANNOT_CONNECT, "cannot create a socket", errno);
    if (!rememberSocket(s)) {
        ::close(s);
        throw std::bad_alloc();
    }
    {
        std::lock_guard<std::mutex> hold(fdLock);
        fd = s;
    }
    receiveTimeoutMs = sendTimeoutMs = -1;
    int err = connectBy(s, by);
    if (err != 0) {
        close();
        throwIfInterrupted();
        if (err == ETIMEDOUT)
            throw failure(VPKI_ERR_TIMED_OUT, "connecting to the service timed out");
        throw failure(VPKI_ERR_CANNOT_CONNECT, ("cannot connect to 127.0.0.1:" + std::to_string(port)).c_str(), err);
    }
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    requireTrustedService(s);
}

// Credentials go only to a service that belongs to root, a system account or
// this process's user: on a shared machine any user can listen on the port
// while the real service is down. Checked once per connection, before its
// first byte.
void loopbackSocket::requireTrustedService(int s)
{
    uid_t owner = 0;
    switch (peerOwner(s, owner)) {
    case peerLookup::found:
        if (trustedOwner(owner))
            return;
        close();
        throw exchangeFailure(VPKI_ERR_UNTRUSTED_SERVICE,
                              "the service on 127.0.0.1:" + std::to_string(port) + " belongs to " +
                                  describeUser(owner) +
                                  ", neither root, a system account nor this process's user: nothing was sent");
    case peerLookup::notFound:
        close();
        throw failure(VPKI_ERR_CONNECTION_LOST, "the service's end of the connection is not in the socket table");
    case peerLookup::tableUnreadable: {
        static std::once_flag once;
        std::call_once(once, [] { logLine("/proc/net/tcp cannot be read: the owner of the service is not checked"); });
        return;
    }
    }
}

// Returns 0 when connected, else an errno value (ETIMEDOUT on time-out).
int loopbackSocket::connectBy(int s, deadline by) const
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
            int left = millisecondsLeft(by);
            if (left < 0)
                return ETIMEDOUT;
            ready = ::poll(&p, 1, left == 0 ? -1 : left);
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

void loopbackSocket::close()
{
    std::lock_guard<std::mutex> hold(fdLock);
    int s = fd.exchange(-1);
    if (s >= 0) {
        forgetSocket(s);
        ::shutdown(s, SHUT_RDWR);
        ::close(s);
    }
}

namespace {

void lockSocketsForFork()
{
    openSocketsLock.lock();
}

void unlockSocketsAfterFork()
{
    openSocketsLock.unlock();
}

// No shutdown(): that would end the parent's connections too.
void closeInheritedSockets()
{
    for (int s : openSockets)
        ::close(s);
    openSockets.clear();
    openSocketsLock.unlock();
}

// Registered when the library is loaded, after the list above exists.
struct forkHandlers {
    forkHandlers() { pthread_atfork(lockSocketsForFork, unlockSocketsAfterFork, closeInheritedSockets); }
} registered;

} // namespace

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
        throw failure(VPKI_ERR_INTERRUPTED, "the exchange was interrupted");
}

// Makes the socket's time-out for the next blocking call end by `by`; false
// when `by` has passed. The value is kept when it ends at most a little after
// `by`; a time-out that is shorter ends the call early, and the caller then
// forgets the value (sets it to -1) and comes back.
bool loopbackSocket::waitFor(int s, int optName, deadline by, int& appliedMs)
{
    const int left = millisecondsLeft(by);
    if (left < 0)
        return false;
    const bool fits =
        appliedMs >= 0 && (left == 0 ? appliedMs == 0 : appliedMs != 0 && appliedMs <= left + timeoutSlackMs);
    if (!fits) {
        timeval tv{};
        tv.tv_sec = left / 1000;
        tv.tv_usec = (left % 1000) * 1000;
        setsockopt(s, SOL_SOCKET, optName, &tv, sizeof tv);
        appliedMs = left;
    }
    return true;
}

void loopbackSocket::sendAll(std::string_view head, std::string_view body, deadline by)
{
    // sendmsg does not write through the parts; it only takes them as non-const.
    iovec rest[2] = {{const_cast<char*>(head.data()), head.size()}, {const_cast<char*>(body.data()), body.size()}};
    int count = 2;
    iovec* next = rest;
    for (;;) {
        while (count > 0 && next->iov_len == 0) {
            ++next;
            --count;
        }
        if (count == 0)
            return;
        throwIfInterrupted();
        int s = fd.load();
        if (s < 0)
            throw failure(VPKI_ERR_CONNECTION_LOST, "send on a closed connection");
        if (!waitFor(s, SO_SNDTIMEO, by, sendTimeoutMs))
            throw failure(VPKI_ERR_TIMED_OUT, "sending the request timed out");
        msghdr message{};
        message.msg_iov = next;
        message.msg_iovlen = static_cast<size_t>(count);
        ssize_t sent = ::sendmsg(s, &message, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            throwIfInterrupted();
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                sendTimeoutMs = -1; // cut short by an earlier, shorter time-out
                continue;
            }
            throw failure(VPKI_ERR_CONNECTION_LOST, "sending the request failed", errno);
        }
        bytes.fetch_add(static_cast<uint64_t>(sent), std::memory_order_relaxed);
        for (size_t done = static_cast<size_t>(sent); done > 0;) {
            size_t step = std::min(done, next->iov_len);
            next->iov_base = static_cast<char*>(next->iov_base) + step;
            next->iov_len -= step;
            done -= step;
            if (next->iov_len == 0) {
                ++next;
                --count;
            }
        }
    }
}

size_t loopbackSocket::receive(char* buffer, size_t capacity, deadline by)
{
    for (;;) {
        throwIfInterrupted();
        int s = fd.load();
        if (s < 0)
            throw failure(VPKI_ERR_CONNECTION_LOST, "receive on a closed connection");
        if (!waitFor(s, SO_RCVTIMEO, by, receiveTimeoutMs))
            throw failure(VPKI_ERR_TIMED_OUT, "no complete reply in time");
        ssize_t got = ::recv(s, buffer, capacity, 0);
        if (got > 0) {
            bytes.fetch_add(static_cast<uint64_t>(got), std::memory_order_relaxed);
            return static_cast<size_t>(got);
        }
        throwIfInterrupted();
        if (got == 0 || errno == ECONNRESET)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            receiveTimeoutMs = -1; // cut short by an earlier, shorter time-out
            continue;
        }
        throw failure(VPKI_ERR_CONNECTION_LOST, "receiving the reply failed", errno);
    }
}

loopbackSocket::idleState loopbackSocket::idle() const
{
    int s = fd.load();
    if (s < 0)
        return idleState::quiet;
    char probe;
    ssize_t got = ::recv(s, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got > 0)
        return idleState::bytesWaiting;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return idleState::quiet;
    return idleState::closed;
}

} // namespace vant
