// What the check of the service's owner costs a new connection: connect to a
// loopback listener and close, without and with the lookup of the other
// end's owner: through sock_diag, as the library asks, and through
// /proc/net/tcp, its fallback, whose cost grows with the sockets of the
// machine (every connection of the run leaves one in TIME_WAIT for a
// minute). A kept connection is checked once, so the figure is paid per
// connection, never per request.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "peerOwner.h"

namespace {

// A listener on a free loopback port whose connections are taken and dropped.
class listener {
public:
    listener()
    {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 || listen(fd, 64) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
            throw std::runtime_error("no loopback listener");
        address = addr;
    }
    ~listener() { close(fd); }

    // A connected client socket; its accepted end is closed at once.
    int connectOne() const
    {
        int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("connect failed");
        return client;
    }
    void acceptOne() const { close(accept(fd, nullptr, nullptr)); }

private:
    int fd = -1;
    sockaddr_in address{};
};

void connectOnly(benchmark::State& state)
{
    listener server;
    for (auto _ : state) {
        int client = server.connectOne();
        close(client);
        server.acceptOne();
    }
}

template <vant::peerLookup (*lookup)(int, uid_t&)>
void connectAndCheckOwner(benchmark::State& state)
{
    listener server;
    for (auto _ : state) {
        int client = server.connectOne();
        uid_t owner = 0;
        if (lookup(client, owner) != vant::peerLookup::found || !vant::trustedOwner(owner))
            state.SkipWithError("the owner was not found or not trusted");
        close(client);
        server.acceptOne();
    }
}

BENCHMARK(connectOnly)->UseRealTime();
BENCHMARK_TEMPLATE(connectAndCheckOwner, vant::peerOwnerByDiag)->UseRealTime();
BENCHMARK_TEMPLATE(connectAndCheckOwner, vant::peerOwnerByTable)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
