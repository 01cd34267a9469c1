// A connection to the service: a request connection (the fixed port; login,
// logout and every routed request; requestChannels keeps them) or the
// notification connection (the port reported at login; the listener's).
//
// A connection is a stack: the library's HTTP transport over its own socket,
// the JSON protocol, and one service protocol per service. After a failed
// exchange nothing of a stack is trusted (an unsent request, an unread reply,
// a half-parsed message), so a stack is connected at most once: after a
// failure or a close its owner replaces it by a new one, and the next
// exchange starts clean.
#ifndef TESSERA_CONNECTION_H
#define TESSERA_CONNECTION_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <thrift/protocol/TProtocol.h>

#include "commdef_types.h"

namespace vant {

class httpTransport;
struct exchangeBuffers;

class rpcStack {
public:
    // A connection to 127.0.0.1:port, with the buffers of the connection it
    // replaces (null: buffers of its own).
    rpcStack(uint16_t port, int timeoutMs, const std::vector<std::string>& services,
             std::shared_ptr<exchangeBuffers> buffers = nullptr);
    // A connection over a given transport (tests put scripted bytes under it),
    // whose calls count up from firstCallNumber.
    rpcStack(std::shared_ptr<httpTransport> http, const std::vector<std::string>& services, int32_t firstCallNumber,
             uint16_t port = 0, int timeoutMs = 0);
    ~rpcStack();
    rpcStack(const rpcStack&) = delete;
    rpcStack& operator=(const rpcStack&) = delete;

    // The protocol of a service name given at construction.
    std::shared_ptr<apache::thrift::protocol::TProtocol> protocol(const std::string& service) const;

    // Records that live with the connection's buffers, so that their memory
    // is reused from one exchange to the next.
    com::vant::cbb::pkimid::msgRequest& request;
    com::vant::cbb::pkimid::msgResponse& response;
    const std::shared_ptr<exchangeBuffers>& buffers() const;

    void open(); // throws exchangeFailure
    bool isOpen() const;
    void close();
    // Any thread: a pending or later exchange on this stack fails at once.
    void interrupt();
    // Open, but the service closed it, a stale reply waits, or the traffic is
    // close to what the service tolerates on one connection.
    bool unfitForReuse() const;
    uint16_t port() const { return port_; }
    int timeoutMs() const { return timeoutMs_; }

    // The method of the last call, and the bytes of its exchange (head and body).
    struct exchangeSize {
        uint64_t sent = 0;
        uint64_t received = 0;
    };
    const std::string& methodInFlight() const;
    exchangeSize lastExchange() const;

private:
    struct layers;
    const uint16_t port_;
    const int timeoutMs_;
    std::unique_ptr<layers> stack;
};

} // namespace vant

// Port of the request connections: always 18080.
uint16_t getListenPort();

// Services reachable on each connection, by multiplexed name.
extern const char* const vantServiceName;
// vantService and the four request services: what a request connection serves.
const std::vector<std::string>& requestServices();

#endif // TESSERA_CONNECTION_H
