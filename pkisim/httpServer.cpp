#include "httpServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "netSocket.h"

namespace pkisim {

httpServer::httpServer(httpHandler handler, httpLimits limits, const stopSignal& stopping)
    : handler(std::move(handler)),
      limits(limits),
      stopping(stopping)
{
}

httpServer::~httpServer()
{
    stop();
}

uint16_t httpServer::listen(uint16_t port)
{
    const int fd = listenLoopback(port);
    const uint16_t bound = localPort(fd);
    listener entry;
    entry.fd = fd;
    entry.port = bound;
    entry.thread = std::thread(&httpServer::acceptLoop, this, fd, bound);
    listeners.push_back(std::move(entry));
    return bound;
}

void httpServer::stop()
{
    for (listener& entry : listeners) {
        entry.thread.join();
        close(entry.fd);
    }
    listeners.clear();
    std::list<connection> ending;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (connection& entry : connections)
            if (entry.fd >= 0)
                shutdown(entry.fd, SHUT_RDWR); // wakes a blocked recv or send
        ending.splice(ending.end(), connections);
    }
    // The threads still mark their (moved, not copied) entries while ending.
    for (connection& entry : ending)
        entry.thread.join();
}

size_t httpServer::openConnections() const
{
    std::lock_guard<std::mutex> guard(lock);
    size_t open = 0;
    for (const connection& entry : connections)
        open += entry.finished ? 0 : 1;
    return open;
}

void httpServer::acceptLoop(int listenFd, uint16_t port)
{
    acceptUntilStopped(listenFd, stopping, [this, port](int fd) { admit(fd, port); });
}

void httpServer::admit(int fd, uint16_t port)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const peerInfo peer{port, peerPort(fd)};
    std::lock_guard<std::mutex> guard(lock);
    reapFinished();
    if (connections.size() >= limits.maxConnections) {
        const httpReply busy = errorReply(503, "too many connections");
        sendAll(fd, formatReplyHead(busy, false) + busy.body);
        close(fd);
        return;
    }
    connections.emplace_back();
    connection& entry = connections.back();
    entry.fd = fd;
    entry.thread = std::thread(&httpServer::serveAndClose, this, std::ref(entry), peer);
}

void httpServer::serveAndClose(connection& entry, peerInfo peer)
{
    httpConnection(entry.fd, peer, handler, limits, stopping).serve();
    std::lock_guard<std::mutex> guard(lock);
    shutdown(entry.fd, SHUT_RDWR);
    close(entry.fd);
    entry.fd = -1;
    entry.finished = true;
}

void httpServer::reapFinished()
{
    for (auto it = connections.begin(); it != connections.end();) {
        if (!it->finished) {
            ++it;
            continue;
        }
        it->thread.join();
        it = connections.erase(it);
    }
}

} // namespace pkisim
