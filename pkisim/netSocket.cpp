#include "netSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace pkisim {

namespace {

constexpr int acceptBackoffMs = 50;

sockaddr_in loopbackAddress(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

[[noreturn]] void failListen(int fd, uint16_t port, const char* step)
{
    const int error = errno;
    if (fd >= 0)
        close(fd);
    throw std::runtime_error("pkisim: cannot " + std::string(step) + " 127.0.0.1:" + std::to_string(port) + ": " +
                             std::strerror(error));
}

uint16_t portOf(int fd, int (*query)(int, sockaddr*, socklen_t*))
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (query(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool outOfResources(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

} // namespace

int listenLoopback(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        failListen(fd, port, "open a socket for");
    // A restart must not wait for connections of the previous run in TIME_WAIT.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = loopbackAddress(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        failListen(fd, port, "bind");
    if (listen(fd, SOMAXCONN) != 0)
        failListen(fd, port, "listen on");
    return fd;
}

uint16_t localPort(int fd)
{
    return portOf(fd, getsockname);
}

uint16_t peerPort(int fd)
{
    return portOf(fd, getpeername);
}

bool sendAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t sent = send(fd, data, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool recvAppend(int fd, std::string& into, size_t most)
{
    const size_t had = into.size();
    into.resize(had + most);
    ssize_t received;
    do {
        received = recv(fd, &into[had], most, 0);
    } while (received < 0 && errno == EINTR);
    into.resize(had + (received > 0 ? static_cast<size_t>(received) : 0));
    return received > 0;
}

void acceptUntilStopped(int listenFd, const stopSignal& stopping, const std::function<void(int)>& admit)
{
    pollfd watched[2] = {{listenFd, POLLIN, 0}, {stopping.fd(), POLLIN, 0}};
    while (!stopping.raised()) {
        if (poll(watched, 2, -1) < 0 || stopping.raised())
            continue;
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            admit(fd);
        else if (outOfResources(errno))
            stopping.waitFor(acceptBackoffMs);
    }
}

} // namespace pkisim
