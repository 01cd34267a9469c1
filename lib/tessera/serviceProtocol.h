// The protocol a generated client of one service talks through. Like
// Thrift's multiplexing decorator it puts the service's name before each
// call's method; in addition it numbers the calls of a connection and takes
// only the reply to the call just sent. A message that is not a reply, or
// names another method or number, fails the exchange (a late or extra reply
// is never taken for the answer to the next call), and an exception reply
// becomes exchangeFailure serviceException rather than reaching the
// generated code.
#ifndef TESSERA_SERVICE_PROTOCOL_H
#define TESSERA_SERVICE_PROTOCOL_H

#include <cstdint>
#include <memory>
#include <string>

#include <thrift/protocol/TMultiplexedProtocol.h>

namespace vant {

class serviceProtocol : public apache::thrift::protocol::TMultiplexedProtocol {
public:
    using TMessageType = apache::thrift::protocol::TMessageType;

    // The call in flight on one connection, shared by its services. Calls
    // count up from `firstNumber`; a connection's first number is drawn at
    // random, so that no reply made before its call (a stale or hand-made
    // one) can carry the right number but by chance.
    struct callInFlight {
        explicit callInFlight(int32_t firstNumber) : seqid(firstNumber - 1) {}
        std::string method;
        int32_t seqid; // of the call sent last
    };
    // 1 .. INT32_MAX, unpredictable.
    static int32_t randomCallNumber();

    serviceProtocol(std::shared_ptr<apache::thrift::protocol::TProtocol> wire, const std::string& service,
                    std::shared_ptr<callInFlight> call);

    uint32_t writeMessageBegin_virt(const std::string& name, const TMessageType type, const int32_t seqid) override;
    uint32_t readMessageBegin_virt(std::string& name, TMessageType& type, int32_t& seqid) override;

private:
    [[noreturn]] void throwServiceException();

    const std::shared_ptr<apache::thrift::protocol::TProtocol> wire;
    const std::shared_ptr<callInFlight> call;
};

} // namespace vant

#endif // TESSERA_SERVICE_PROTOCOL_H
