// The owner of a loopback connection's other end, by both ways of asking the
// kernel, for a service on an IPv4 socket, on a dual-stack IPv6 socket (whose
// IPv4 connections the tables show as mapped addresses), and on a listener
// that defers accepting until data arrives (Thrift's server socket does), so
// that its end is still a request socket when the client asks.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "peerOwner.h"

namespace {

// A listener on a free loopback port and one connection to it from 127.0.0.1.
class connection {
public:
    connection(int family, bool deferAccept)
    {
        server = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (deferAccept) {
            int seconds = 5;
            setsockopt(server, IPPROTO_TCP, TCP_DEFER_ACCEPT, &seconds, sizeof seconds);
        }
        uint16_t port = 0;
        if (family == AF_INET6) {
            int off = 0;
            setsockopt(server, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            sockaddr_in6 any{};
            any.sin6_family = AF_INET6;
            socklen_t length = sizeof any;
            bind(server, reinterpret_cast<sockaddr*>(&any), length);
            getsockname(server, reinterpret_cast<sockaddr*>(&any), &length);
            port = any.sin6_port;
        } else {
            sockaddr_in loopback{};
            loopback.sin_family = AF_INET;
            loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t length = sizeof loopback;
            bind(server, reinterpret_cast<sockaddr*>(&loopback), length);
            getsockname(server, reinterpret_cast<sockaddr*>(&loopback), &length);
            port = loopback.sin_port;
        }
        listen(server, 4);
        client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = port;
        connected = connect(client, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
        if (!deferAccept)
            accepted = accept(server, nullptr, nullptr);
    }
    ~connection()
    {
        close(client);
        close(accepted);
        close(server);
    }

    int server = -1;
    int client = -1;
    int accepted = -1;
    bool connected = false;
};

TEST(peerOwner, bothWaysFindTheOwnerOfIPv4DualStackAndDeferringServices)
{
    for (int family : {AF_INET, AF_INET6}) {
        for (bool deferAccept : {false, true}) {
            SCOPED_TRACE(family == AF_INET ? "IPv4" : "dual stack");
            SCOPED_TRACE(deferAccept ? "deferred accept" : "accepted");
            connection c(family, deferAccept);
            ASSERT_TRUE(c.connected);
            for (auto lookup : {vant::peerOwnerByDiag, vant::peerOwnerByTable}) {
                uid_t owner = 12345;
                ASSERT_EQ(lookup(c.client, owner), vant::peerLookup::found);
                EXPECT_EQ(owner, geteuid());
            }
        }
    }
}

TEST(peerOwner, aClosedOtherEndIsNotFound)
{
    connection c(AF_INET, false);
    ASSERT_TRUE(c.connected);
    close(c.accepted);
    c.accepted = -1;
    uid_t owner = 0;
    EXPECT_EQ(vant::peerOwner(c.client, owner), vant::peerLookup::notFound);
}

// The same rule the service owner test checks end to end, where it can run
// services as other users.
TEST(peerOwner, rootSystemAccountsAndTheOwnUserAreTrusted)
{
    EXPECT_TRUE(vant::trustedOwner(0));
    EXPECT_TRUE(vant::trustedOwner(999));
    EXPECT_TRUE(vant::trustedOwner(geteuid()));
    EXPECT_FALSE(vant::trustedOwner(geteuid() == 4242 ? 4243 : 4242));
}

} // namespace
