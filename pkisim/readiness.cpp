#include "readiness.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pkisim {

namespace {

// Fills `address` from a socket path or an '@' abstract name; false when it does not fit.
bool socketAddress(const char* name, sockaddr_un& address, socklen_t& size)
{
    const size_t length = std::strlen(name);
    if ((name[0] != '/' && name[0] != '@') || length >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name, length);
    if (name[0] == '@')
        address.sun_path[0] = '\0';
    size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    return true;
}

bool sendDatagram(const sockaddr_un& address, socklen_t size, const std::string& state)
{
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const ssize_t sent =
        sendto(fd, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address), size);
    const int error = errno;
    close(fd);
    errno = error;
    return sent == static_cast<ssize_t>(state.size());
}

} // namespace

void notifyServiceManager(const std::string& state)
{
    const char* name = std::getenv("NOTIFY_SOCKET");
    if (name == nullptr || name[0] == '\0')
        return;
    sockaddr_un address{};
    socklen_t size = 0;
    if (!socketAddress(name, address, size))
        std::fprintf(stderr, "pkisim: NOTIFY_SOCKET is no unix socket name: %s\n", name);
    else if (!sendDatagram(address, size, state))
        std::fprintf(stderr, "pkisim: cannot notify the service manager on %s: %s\n", name, std::strerror(errno));
}

} // namespace pkisim
