// Addresses of unix sockets by name: a file system path, or an abstract
// name written with a leading '@' (the kernel's names that start with a zero
// byte: they belong to the network namespace, need no file and vanish with
// the socket).
#ifndef PKISIM_UNIX_ADDRESS_H
#define PKISIM_UNIX_ADDRESS_H

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

#include <string>

namespace pkisim {

struct unixAddress {
    sockaddr_un address{};
    socklen_t size = 0;
};

inline bool isAbstractName(const std::string& name)
{
    return !name.empty() && name[0] == '@';
}

// Fills `into` from `name`; false when the name is empty or does not fit.
bool makeUnixAddress(const std::string& name, unixAddress& into);

// The user of the other end of a connected unix socket; false when the
// kernel does not tell.
bool peerUser(int fd, uid_t& uid);

} // namespace pkisim

#endif // PKISIM_UNIX_ADDRESS_H
