// What the check of the service's owner costs a new connection: connect to a
// loopback listener and close, without and with the lookup of the other
// end's owner in the kernel's socket table. A kept connection is checked
// once, so the figure is paid per connection, never per request.
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

void connectAndCheckOwner(benchmark::State& state)
{
    listener server;
    for (auto _ : state) {
        int client = server.connectOne();
        uid_t owner = 0;
        if (vant::peerOwner(client, owner) != vant::peerLookup::found || !vant::trustedOwner(owner))
            state.SkipWithError("the owner was not found or not trusted");
        close(client);
        server.acceptOne();
    }
}

BENCHMARK(connectOnly)->UseRealTime();
BENCHMARK(connectAndCheckOwner)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
