#include "peerOwner.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

namespace vant {

namespace {

// Socket states. A connection's other end is ESTABLISHED, or still SYN_RECV
// where the service's listener defers accepting until data arrives (Thrift's
// server socket does, with TCP_DEFER_ACCEPT): such a request socket belongs
// to its listener, whose owner is then the owner. TIME_WAIT sockets carry no
// owner.
constexpr unsigned established = 0x01;
constexpr unsigned synReceived = 0x03;
constexpr unsigned listening = 0x0A;

struct diagAnswer {
    enum { found, noSuchSocket, unavailable } kind;
    unsigned state;
    uid_t owner;
};

// One question to sock_diag: the TCP socket with exactly these ends (the
// listener of `service` when `self` is all zero).
diagAnswer askSockDiag(const sockaddr_in& service, const sockaddr_in& self)
{
    const int nl = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (nl < 0)
        return {diagAnswer::unavailable, 0, 0};
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST;
    query.request.sdiag_family = AF_INET;
    query.request.sdiag_protocol = IPPROTO_TCP;
    query.request.idiag_states = ~0u;
    query.request.id.idiag_sport = service.sin_port;
    query.request.id.idiag_dport = self.sin_port;
    query.request.id.idiag_src[0] = service.sin_addr.s_addr;
    query.request.id.idiag_dst[0] = self.sin_addr.s_addr;
    query.request.id.idiag_cookie[0] = query.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    alignas(nlmsghdr) char reply[1024];
    ssize_t got = -1;
    if (send(nl, &query, sizeof query, 0) == static_cast<ssize_t>(sizeof query))
        got = recv(nl, reply, sizeof reply, 0);
    close(nl);
    const auto* header = reinterpret_cast<const nlmsghdr*>(reply);
    if (got < static_cast<ssize_t>(sizeof(nlmsghdr)) || !NLMSG_OK(header, static_cast<unsigned>(got)))
        return {diagAnswer::unavailable, 0, 0};
    if (header->nlmsg_type == NLMSG_ERROR) {
        const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
        return {error->error == -ENOENT ? diagAnswer::noSuchSocket : diagAnswer::unavailable, 0, 0};
    }
    if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY || header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
        return {diagAnswer::unavailable, 0, 0};
    const auto* socketInfo = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
    return {diagAnswer::found, socketInfo->idiag_state, static_cast<uid_t>(socketInfo->idiag_uid)};
}

// An address of the table: the address words as the kernel prints them
// (each 32-bit word in host order, in hex) and the port.
std::string tableAddress(const uint32_t* words, int count, uint16_t port)
{
    char text[48];
    size_t length = 0;
    for (int i = 0; i < count; ++i)
        length += static_cast<size_t>(std::snprintf(text + length, sizeof text - length, "%08X", words[i]));
    std::snprintf(text + length, sizeof text - length, ":%04X", port);
    return text;
}

std::string ipv4Row(const sockaddr_in& a)
{
    const uint32_t word = a.sin_addr.s_addr;
    return tableAddress(&word, 1, ntohs(a.sin_port));
}

// The same IPv4 address as a dual-stack socket shows it: ::ffff:a.b.c.d.
std::string mappedRow(const sockaddr_in& a)
{
    in6_addr mapped{};
    mapped.s6_addr[10] = 0xff;
    mapped.s6_addr[11] = 0xff;
    std::memcpy(&mapped.s6_addr[12], &a.sin_addr.s_addr, 4);
    uint32_t words[4];
    std::memcpy(words, mapped.s6_addr, sizeof words);
    return tableAddress(words, 4, ntohs(a.sin_port));
}

// Looks for the row local == `service`, remote == `self` in one table.
peerLookup findRow(const char* path, const std::string& service, const std::string& self, uid_t& owner)
{
    std::ifstream table(path);
    if (!table)
        return peerLookup::tableUnreadable;
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        char local[48];
        char remote[48];
        unsigned state = 0;
        unsigned uid = 0;
        if (std::sscanf(line.c_str(), " %*u: %47s %47s %x %*s %*s %*s %u", local, remote, &state, &uid) != 4)
            continue;
        if (service == local && self == remote && (state == established || state == synReceived)) {
            owner = static_cast<uid_t>(uid);
            return peerLookup::found;
        }
    }
    return peerLookup::notFound;
}

uid_t firstOrdinaryUid()
{
    uid_t found = 1000;
    std::ifstream defs("/etc/login.defs");
    std::string line;
    while (std::getline(defs, line)) {
        unsigned long value = 0;
        if (std::sscanf(line.c_str(), " UID_MIN %lu", &value) == 1)
            found = static_cast<uid_t>(value);
    }
    return found;
}

// The two ends of a connected IPv4 socket.
bool endsOf(int fd, sockaddr_in& self, sockaddr_in& service)
{
    socklen_t length = sizeof self;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&self), &length) != 0 || self.sin_family != AF_INET)
        return false;
    length = sizeof service;
    return getpeername(fd, reinterpret_cast<sockaddr*>(&service), &length) == 0;
}

} // namespace

peerLookup peerOwnerByDiag(int fd, uid_t& owner)
{
    sockaddr_in self{};
    sockaddr_in service{};
    if (!endsOf(fd, self, service))
        return peerLookup::notFound;
    diagAnswer end = askSockDiag(service, self);
    if (end.kind == diagAnswer::unavailable)
        return peerLookup::tableUnreadable;
    if (end.kind == diagAnswer::found && end.state == synReceived) {
        end = askSockDiag(service, sockaddr_in{});
        if (end.kind == diagAnswer::found && end.state != listening)
            return peerLookup::notFound;
    } else if (end.kind == diagAnswer::found && end.state != established) {
        return peerLookup::notFound;
    }
    if (end.kind != diagAnswer::found)
        return peerLookup::notFound;
    owner = end.owner;
    return peerLookup::found;
}

peerLookup peerOwnerByTable(int fd, uid_t& owner)
{
    sockaddr_in self{};
    sockaddr_in service{};
    if (!endsOf(fd, self, service))
        return peerLookup::notFound;
    const peerLookup v4 = findRow("/proc/net/tcp", ipv4Row(service), ipv4Row(self), owner);
    if (v4 == peerLookup::found)
        return v4;
    const peerLookup v6 = findRow("/proc/net/tcp6", mappedRow(service), mappedRow(self), owner);
    if (v6 == peerLookup::found)
        return v6;
    return v4 == peerLookup::tableUnreadable && v6 == peerLookup::tableUnreadable ? peerLookup::tableUnreadable
                                                                                  : peerLookup::notFound;
}

peerLookup peerOwner(int fd, uid_t& owner)
{
    const peerLookup asked = peerOwnerByDiag(fd, owner);
    return asked == peerLookup::tableUnreadable ? peerOwnerByTable(fd, owner) : asked;
}

bool trustedOwner(uid_t owner)
{
    static std::once_flag once;
    static uid_t ordinaryFrom = 1000;
    std::call_once(once, [] { ordinaryFrom = firstOrdinaryUid(); });
    return owner == 0 || owner < ordinaryFrom || owner == geteuid();
}

std::string describeUser(uid_t uid)
{
    std::string text = "uid " + std::to_string(uid);
    passwd entry{};
    passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr)
        text += std::string(" (") + entry.pw_name + ")";
    return text;
}

} // namespace vant
