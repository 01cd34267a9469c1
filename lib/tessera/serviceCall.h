// One call of a service method on a connection: the generated client of the
// service on the connection's protocol, the answer in the connection's
// response record, and the check that the answer is whole. Thrift's
// generated reader skips a field of the wrong type and leaves a missing one
// at its default; an answer is only taken with all six fields present.
#ifndef TESSERA_SERVICE_CALL_H
#define TESSERA_SERVICE_CALL_H

#include <chrono>

#include "connection.h"
#include "failure.h"
#include "log.h"

namespace vant {

inline void requireComplete(const com::vant::cbb::pkimid::msgResponse& response)
{
    const auto& present = response.__isset;
    const char* missing = !present.respid     ? "respid"
                          : !present.msgType  ? "msgType"
                          : !present.version  ? "version"
                          : !present.errCode  ? "errCode"
                          : !present.extend   ? "extend"
                          : !present.jsonBody ? "jsonBody"
                                              : nullptr;
    if (missing != nullptr)
        throw damagedReply(std::string("an answer without ") + missing);
}

// For the debug hook: one line per exchange, with its outcome; the failed
// one is called while the failure is in flight.
void logExchange(const rpcStack& stack, const char* service, std::chrono::steady_clock::time_point start, bool failed);

// `call(client, response)` sends one request through a Client of `service`.
// Returns the connection's response record, whole; throws otherwise.
template <class Client, class Call>
com::vant::cbb::pkimid::msgResponse& callService(rpcStack& stack, const char* service, Call call)
{
    const auto start = std::chrono::steady_clock::now();
    Client client(stack.protocol(service));
    stack.response.__isset = decltype(stack.response.__isset)();
    try {
        call(client, stack.response);
        requireComplete(stack.response);
    } catch (...) {
        if (logging())
            logExchange(stack, service, start, true);
        throw;
    }
    if (logging())
        logExchange(stack, service, start, false);
    return stack.response;
}

} // namespace vant

#endif // TESSERA_SERVICE_CALL_H
