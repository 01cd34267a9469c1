// One client connection of the HTTP server: reads requests one after the
// other (keep-alive), hands each to the handler and writes its reply the way
// the reply asks for, misbehaviour included.
#ifndef PKISIM_HTTP_CONNECTION_H
#define PKISIM_HTTP_CONNECTION_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "httpMessage.h"
#include "stopSignal.h"

namespace pkisim {

struct httpLimits {
    size_t maxHeadBytes = 16 * 1024;
    size_t maxBodyBytes = 16u << 20;
    size_t maxConnections = 256;  // per server; more are answered 503 and closed
};

struct peerInfo {
    uint16_t localPort = 0;  // the listening port the connection came in on
    uint16_t peerPort = 0;
};

using httpHandler = std::function<httpReply(const httpRequest&, const peerInfo&)>;

class httpConnection {
public:
    httpConnection(int fd, peerInfo peer, const httpHandler& handler, const httpLimits& limits,
                   const stopSignal& stopping);
    httpConnection(const httpConnection&) = delete;
    httpConnection& operator=(const httpConnection&) = delete;

    // Returns when the client left, a request was refused, a reply asked for
    // the connection to end, or the server stopped. The caller closes the socket.
    void serve();

private:
    enum class readResult { request, closed, refused };
    readResult readRequest(httpRequest& request);
    bool readHead(size_t& headEnd);
    bool readBody(size_t length, size_t bodyStart);
    bool deliver(const httpReply& reply, bool keepAlive);
    bool sendPaced(const std::string& bytes, int paceMs);
    void refuse(int status, const std::string& why);
    void waitSilently();

    const int fd;
    const peerInfo peer;
    const httpHandler& handler;
    const httpLimits& limits;
    const stopSignal& stopping;
    std::string buffer;  // bytes received and not yet consumed
};

} // namespace pkisim

#endif // PKISIM_HTTP_CONNECTION_H
