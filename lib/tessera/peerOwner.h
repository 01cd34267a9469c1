// Who is at the other end of a loopback connection. A loopback TCP port has
// neither file permissions nor peer credentials, so the owner of the
// service's end is read from the kernel's socket table: the socket whose
// local address is the service's and whose remote address is this end's.
// The kernel is asked for that one socket (sock_diag, the interface of `ss`);
// where that interface is not available, its row is looked up in
// /proc/net/tcp (or tcp6, for a service on a dual-stack socket), which costs
// time in proportion to the sockets of the machine.
#ifndef TESSERA_PEER_OWNER_H
#define TESSERA_PEER_OWNER_H

#include <sys/types.h>

#include <string>

namespace vant {

enum class peerLookup { found, notFound, tableUnreadable };

// The uid that owns the other end of connected loopback socket `fd`: by
// sock_diag, or by the socket tables where sock_diag is not available.
peerLookup peerOwner(int fd, uid_t& owner);
// The same, by one way only.
peerLookup peerOwnerByDiag(int fd, uid_t& owner);
peerLookup peerOwnerByTable(int fd, uid_t& owner);

// Whether credentials may go to a service owned by `owner`: root, a system
// account (below UID_MIN of /etc/login.defs, 1000 when it says nothing) or
// this process's effective user.
bool trustedOwner(uid_t owner);

// "uid 1234 (alice)", the name where the user database knows it.
std::string describeUser(uid_t uid);

} // namespace vant

#endif // TESSERA_PEER_OWNER_H
