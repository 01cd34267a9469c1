#include "readiness.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "unixAddress.h"

namespace pkisim {

namespace {

bool sendDatagram(const unixAddress& to, const std::string& state)
{
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const ssize_t sent =
        sendto(fd, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to.address), to.size);
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
    unixAddress address;
    // A path must be absolute: the name comes from the service manager, not from the service's folder.
    if ((name[0] != '/' && name[0] != '@') || !makeUnixAddress(name, address))
        std::fprintf(stderr, "pkisim: NOTIFY_SOCKET is no unix socket name: %s\n", name);
    else if (!sendDatagram(address, state))
        std::fprintf(stderr, "pkisim: cannot notify the service manager on %s: %s\n", name, std::strerror(errno));
}

} // namespace pkisim
