// The two connections to the service: the request connection (fixed port,
// login, logout and every routed request) and the notification connection
// (the port reported at login, used only by the listener).
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

// Port of the request connection: always 18080.
uint16_t getListenPort();

// Builds (does not open) the request connection to `port`, 15 s time-outs.
bool createReqTrans(uint16_t port);
// Builds (does not open) the notification connection to `port`; time-outs of
// timeoutSeconds (1 to a day, as the login checked) x 1000 ms.
bool createNotifyTrans(uint16_t port, int32_t timeoutSeconds);

// Request connection; the caller holds the agent's requestLock.
// The open stack, renewed first when it is closed or unfit for reuse.
std::shared_ptr<vant::rpcStack> openRequestConnection();
// Closes the current stack and puts a fresh one in its place. After every
// failed exchange, and wherever the connection is closed.
void renewRequestConnection();

// Notification connection.
std::shared_ptr<vant::rpcStack> notifyConnection();
// True when the notification connection is built for this port and time-out.
bool notifyConnectionMatches(uint16_t port, int32_t timeoutSeconds);
// Replaces `used` by a fresh stack to the same port, unless a login has
// already put another stack in its place.
void renewNotifyConnection(const std::shared_ptr<vant::rpcStack>& used);

// After a logout: the notification connection is gone; a pending poll fails.
void dropNotifyConnection();

// Make pending exchanges fail at once; any thread.
void interruptNotifyConnection();
void interruptRequestConnection();

// At release, once no thread uses them: both connections are closed and
// freed (createAgent builds the request connection anew).
void dropConnections();

// Services reachable on each connection, by multiplexed name.
extern const char* const vantServiceName;

#endif // TESSERA_CONNECTION_H
