// Why an exchange with the service failed. The connection layers throw
// exchangeFailure with the kind of failure and a one-line text saying what
// happened; the exported functions turn it into their result.
#ifndef TESSERA_FAILURE_H
#define TESSERA_FAILURE_H

#include <stdexcept>
#include <string>

namespace vant {

enum class failKind {
    cannotConnect,    // nothing accepts connections on the service's port
    timedOut,         // the reply did not arrive in time
    interrupted,      // releaseAgent cut the exchange short
    connectionLost,   // the service closed or reset the connection mid-exchange
    httpStatus,       // an HTTP status other than 200
    damagedReply,     // the reply is not a well-formed answer to the call
    replyTooLarge,    // the reply exceeds what the library accepts
    serviceException, // the service answered with an exception
    untrustedService, // the service's end belongs to another ordinary user
};

class exchangeFailure : public std::runtime_error {
public:
    exchangeFailure(failKind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    failKind kind() const { return kind_; }

private:
    failKind kind_;
};

// Shorthand for the most common failure.
inline exchangeFailure damagedReply(const std::string& what)
{
    return exchangeFailure(failKind::damagedReply, "damaged reply: " + what);
}

} // namespace vant

#endif // TESSERA_FAILURE_H
