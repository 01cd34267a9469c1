// Why an exchange with the service failed. The connection layers throw
// exchangeFailure with the interface's code of the failure (a VPKI_ERR_
// constant of tessera_catalogue.h: VPKI_ERR_CANNOT_CONNECT, _TIMED_OUT,
// _INTERRUPTED, _CONNECTION_LOST, _HTTP_STATUS, _DAMAGED_REPLY,
// _REPLY_TOO_LARGE, _SERVICE_EXCEPTION, _UNTRUSTED_SERVICE) and a one-line
// text saying what happened; the exported functions turn it into their
// result and the calling thread's last error.
#ifndef TESSERA_FAILURE_H
#define TESSERA_FAILURE_H

#include <stdexcept>
#include <string>

#include "tessera.h"

namespace vant {

class exchangeFailure : public std::runtime_error {
public:
    exchangeFailure(vpkiError code, const std::string& text) : std::runtime_error(text), code_(code) {}
    vpkiError code() const { return code_; }

private:
    vpkiError code_;
};

// Shorthand for the most common failure.
inline exchangeFailure damagedReply(const std::string& what)
{
    return exchangeFailure(VPKI_ERR_DAMAGED_REPLY, "damaged reply: " + what);
}

} // namespace vant

#endif // TESSERA_FAILURE_H
