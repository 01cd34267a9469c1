// A small threaded HTTP/1.1 server on 127.0.0.1: one accept thread per
// listening port and one thread per connection. Connections live as long as
// the client keeps them (no limit on calls or bytes per connection).
#ifndef PKISIM_HTTP_SERVER_H
#define PKISIM_HTTP_SERVER_H

#include <cstdint>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "httpConnection.h"

namespace pkisim {

class httpServer {
public:
    // `stopping` must be raised before stop() and lowered before listen().
    httpServer(httpHandler handler, httpLimits limits, const stopSignal& stopping);
    ~httpServer();
    httpServer(const httpServer&) = delete;
    httpServer& operator=(const httpServer&) = delete;

    // Starts serving 127.0.0.1:port; returns the bound port (useful with 0).
    // Throws std::runtime_error when the port cannot be bound.
    uint16_t listen(uint16_t port);
    // Closes the listeners and every connection and joins every thread.
    void stop();
    size_t openConnections() const;

private:
    struct listener {
        int fd = -1;
        uint16_t port = 0;
        std::thread thread;
    };
    struct connection {
        int fd = -1;
        bool finished = false;
        std::thread thread;
    };

    void acceptLoop(int listenFd, uint16_t port);
    void admit(int fd, uint16_t port);
    void serveAndClose(connection& entry, peerInfo peer);
    void reapFinished();

    const httpHandler handler;
    const httpLimits limits;
    const stopSignal& stopping;
    std::vector<listener> listeners;
    mutable std::mutex lock; // guards connections
    std::list<connection> connections;
};

} // namespace pkisim

#endif // PKISIM_HTTP_SERVER_H
