// One client connection of the HTTP server: reads requests one after the
// other (keep-alive) with the HTTP parser of Boost.Beast, hands the body of
// each to the handler and writes its reply the way the reply asks for,
// misbehaviour included. Only POST with a Content-Length is served.
#ifndef PKISIM_HTTP_CONNECTION_H
#define PKISIM_HTTP_CONNECTION_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "httpReply.h"
#include "stopSignal.h"

namespace pkisim {

struct httpLimits {
    size_t maxHeadBytes = 16 * 1024;
    size_t maxBodyBytes = 16u << 20;
    size_t maxConnections = 256; // per server; more are answered 503 and closed
};

struct peerInfo {
    uint16_t localPort = 0; // the listening port the connection came in on
    uint16_t peerPort = 0;
};

// Turns the body of one request into its reply.
using httpHandler = std::function<httpReply(const std::string& body, const peerInfo&)>;

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
    // Reads the next request; false when the client left or the request was refused.
    bool readRequest(std::string& body, bool& keepAlive);
    bool deliver(const httpReply& reply, bool keepAlive);
    bool sendPaced(const std::string& bytes, int paceMs);
    void refuse(int status, const std::string& why);
    void waitSilently();

    const int fd;
    const peerInfo peer;
    const httpHandler& handler;
    const httpLimits& limits;
    const stopSignal& stopping;
    std::string buffer; // bytes received and not yet consumed
};

} // namespace pkisim

#endif // PKISIM_HTTP_CONNECTION_H
