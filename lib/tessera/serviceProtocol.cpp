#include "serviceProtocol.h"

#include <sys/random.h>

#include <chrono>
#include <limits>

#include <thrift/TApplicationException.h>

#include "failure.h"

namespace vant {

namespace thrift = apache::thrift::protocol;
using apache::thrift::TApplicationException;

namespace {

// The service's text on one line, of a length fit for a message.
std::string oneLine(const std::string& text)
{
    constexpr size_t longest = 200;
    std::string line;
    for (char c : text.substr(0, longest))
        line += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    return text.size() > longest ? line + "..." : line;
}

} // namespace

int32_t serviceProtocol::randomCallNumber()
{
    uint32_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != sizeof bits)
        bits = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() * 2654435761u);
    const auto number = static_cast<int32_t>(bits & 0x7fffffffu);
    return number == 0 ? 1 : number;
}

serviceProtocol::serviceProtocol(std::shared_ptr<thrift::TProtocol> wire, const std::string& service,
                                 std::shared_ptr<callInFlight> call)
    : TMultiplexedProtocol(wire, service),
      wire(std::move(wire)),
      call(std::move(call))
{
}

uint32_t serviceProtocol::writeMessageBegin_virt(const std::string& name, const TMessageType type, const int32_t)
{
    call->method = name;
    call->seqid = call->seqid == std::numeric_limits<int32_t>::max() ? 1 : call->seqid + 1;
    return TMultiplexedProtocol::writeMessageBegin_virt(name, type, call->seqid);
}

uint32_t serviceProtocol::readMessageBegin_virt(std::string& name, TMessageType& type, int32_t& seqid)
{
    const uint32_t length = wire->readMessageBegin(name, type, seqid);
    if (name != call->method || seqid != call->seqid)
        throw damagedReply("a message for another call (" + oneLine(name) + ")");
    if (type == thrift::T_EXCEPTION)
        throwServiceException();
    if (type != thrift::T_REPLY)
        throw damagedReply("a message that is not a reply");
    return length;
}

// Reads the exception whole, so that a damaged one fails as such, and
// reports it with the service's text.
void serviceProtocol::throwServiceException()
{
    std::string message;
    int32_t kind = TApplicationException::UNKNOWN;
    std::string unused;
    thrift::TType fieldType;
    int16_t id;
    wire->readStructBegin(unused);
    for (;;) {
        wire->readFieldBegin(unused, fieldType, id);
        if (fieldType == thrift::T_STOP)
            break;
        if (id == 1 && fieldType == thrift::T_STRING)
            wire->readString(message);
        else if (id == 2 && fieldType == thrift::T_I32)
            wire->readI32(kind);
        else
            wire->skip(fieldType);
        wire->readFieldEnd();
    }
    wire->readStructEnd();
    wire->readMessageEnd();
    wire->getTransport()->readEnd();
    if (kind < TApplicationException::UNKNOWN || kind > TApplicationException::UNSUPPORTED_CLIENT_TYPE)
        throw damagedReply("an exception of unknown type " + std::to_string(kind));
    throw exchangeFailure(VPKI_ERR_SERVICE_EXCEPTION, "service exception: " + oneLine(message));
}

} // namespace vant
