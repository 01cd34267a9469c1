// Thrift's JSON protocol, refusing two kinds of damaged input that it would
// otherwise let through to undefined behaviour: a message type outside the
// four that exist, and a byte value out of range (Thrift's own reader stops
// the whole process on an assertion there). Both become a TProtocolException,
// which callers already handle as a malformed message.
#ifndef TESSERA_CHECKED_JSON_PROTOCOL_H
#define TESSERA_CHECKED_JSON_PROTOCOL_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/protocol/TVirtualProtocol.h>

namespace vant {

class checkedJsonProtocol
    : public apache::thrift::protocol::TVirtualProtocol<checkedJsonProtocol,
                                                        apache::thrift::protocol::TJSONProtocol> {
public:
    using TProtocolException = apache::thrift::protocol::TProtocolException;
    using TMessageType = apache::thrift::protocol::TMessageType;

    explicit checkedJsonProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport)
        : TVirtualProtocol(std::move(transport))
    {
    }

    uint32_t readMessageBegin(std::string& name, TMessageType& type, int32_t& seqid)
    {
        TMessageType read{};
        const uint32_t length = TJSONProtocol::readMessageBegin(name, read, seqid);
        // Looked at as a number: an out-of-range value must not be used as an enum.
        int32_t value;
        std::memcpy(&value, &read, sizeof value);
        if (value < apache::thrift::protocol::T_CALL || value > apache::thrift::protocol::T_ONEWAY)
            throw TProtocolException(TProtocolException::INVALID_DATA, "unknown message type");
        type = static_cast<TMessageType>(value);
        return length;
    }

    uint32_t readByte(int8_t& byte)
    {
        int16_t value = 0;
        const uint32_t length = TJSONProtocol::readI16(value);
        if (value < -128 || value > 255)
            throw TProtocolException(TProtocolException::INVALID_DATA, "byte value out of range");
        byte = static_cast<int8_t>(value);
        return length;
    }
};

} // namespace vant

#endif // TESSERA_CHECKED_JSON_PROTOCOL_H
