#include "unixAddress.h"

#include <cstddef>
#include <cstring>

namespace pkisim {

bool makeUnixAddress(const std::string& name, unixAddress& into)
{
    into = unixAddress{};
    into.address.sun_family = AF_UNIX;
    // A path needs its terminating zero; an abstract name is counted by its length.
    const size_t room = sizeof into.address.sun_path - (isAbstractName(name) ? 0 : 1);
    if (name.empty() || name.size() > room || name == "@")
        return false;
    std::memcpy(into.address.sun_path, name.data(), name.size());
    if (isAbstractName(name))
        into.address.sun_path[0] = '\0';
    into.size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (isAbstractName(name) ? 0 : 1));
    return true;
}

bool peerUser(int fd, uid_t& uid)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer)
        return false;
    uid = peer.uid;
    return true;
}

} // namespace pkisim
