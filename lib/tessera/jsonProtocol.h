// Thrift's JSON protocol, coded in bulk over a whole message in memory.
//
// Wire-exact with Thrift's TJSONProtocol, whose place it takes under the
// generated code: the bytes it writes for any values are the bytes Thrift
// writes, and it reads any message as Thrift reads it, except that it refuses
// on purpose what Thrift would let through as wrong or undefined values:
// numbers that are not JSON numbers or do not fit their type, a version
// other than 1, message types other than the four that exist, booleans other
// than 0 and 1, type names other than the eleven that exist, \u escapes
// that are not well-formed UTF-16, and a struct's field sent twice (Thrift
// keeps the last). Those refusals are strictRefusal exceptions; other damage
// gets the TProtocolException Thrift would throw.
// One difference is a repair: an escaped NUL (\u0000), which Thrift writes
// but drops when reading, reads as a NUL byte.
//
// Strings are scanned and copied in runs rather than byte by byte. Reading
// needs a transport that lends the whole message through borrow(), as the
// library's HTTP transport and Thrift's TMemoryBuffer do.
#ifndef TESSERA_JSON_PROTOCOL_H
#define TESSERA_JSON_PROTOCOL_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/protocol/TVirtualProtocol.h>

namespace vant {

class strictRefusal : public apache::thrift::protocol::TProtocolException {
public:
    explicit strictRefusal(const std::string& what) : TProtocolException(TProtocolException::INVALID_DATA, what) {}
};

class jsonProtocol
    : public apache::thrift::protocol::TVirtualProtocol<jsonProtocol, apache::thrift::protocol::TJSONProtocol> {
public:
    using TType = apache::thrift::protocol::TType;
    using TMessageType = apache::thrift::protocol::TMessageType;

    explicit jsonProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport);

    uint32_t writeMessageBegin(const std::string& name, TMessageType type, int32_t seqid);
    uint32_t writeMessageEnd();
    uint32_t writeStructBegin(const char* name);
    uint32_t writeStructEnd();
    uint32_t writeFieldBegin(const char* name, TType type, int16_t id);
    uint32_t writeFieldEnd();
    uint32_t writeFieldStop();
    uint32_t writeMapBegin(TType keyType, TType valueType, uint32_t size);
    uint32_t writeMapEnd();
    uint32_t writeListBegin(TType elementType, uint32_t size);
    uint32_t writeListEnd();
    uint32_t writeSetBegin(TType elementType, uint32_t size);
    uint32_t writeSetEnd();
    uint32_t writeBool(bool value);
    uint32_t writeByte(int8_t value);
    uint32_t writeI16(int16_t value);
    uint32_t writeI32(int32_t value);
    uint32_t writeI64(int64_t value);
    uint32_t writeDouble(double value);
    uint32_t writeString(const std::string& value);
    uint32_t writeBinary(const std::string& value);

    uint32_t readMessageBegin(std::string& name, TMessageType& type, int32_t& seqid);
    uint32_t readMessageEnd();
    uint32_t readStructBegin(std::string& name);
    uint32_t readStructEnd();
    uint32_t readFieldBegin(std::string& name, TType& type, int16_t& id);
    uint32_t readFieldEnd();
    uint32_t readMapBegin(TType& keyType, TType& valueType, uint32_t& size);
    uint32_t readMapEnd();
    uint32_t readListBegin(TType& elementType, uint32_t& size);
    uint32_t readListEnd();
    uint32_t readSetBegin(TType& elementType, uint32_t& size);
    uint32_t readSetEnd();
    uint32_t readBool(bool& value);
    uint32_t readBool(std::vector<bool>::reference value);
    uint32_t readByte(int8_t& value);
    uint32_t readI16(int16_t& value);
    uint32_t readI32(int32_t& value);
    uint32_t readI64(int64_t& value);
    uint32_t readDouble(double& value);
    uint32_t readString(std::string& value);
    uint32_t readBinary(std::string& value);

private:
    // Where a value stands: nowhere special, in an array, or in an object,
    // whose keys alternate with values. Numbers in key places are quoted.
    struct context {
        enum { top, array, object } kind;
        bool first;
        bool key;
    };

    // Writing.
    void put(const char* data, size_t length);
    void putChar(char c) { put(&c, 1); }
    void separate(std::vector<context>& stack, char* out, size_t& length);
    void beginValue();
    bool inKeyPlace(const std::vector<context>& stack) const;
    template <class Number>
    void writeInteger(Number value);
    void writeText(const std::string& value);
    void writeOpen(char bracket);
    void writeClose(char bracket);

    // Reading.
    void takeMessage();
    char peek() const;
    void expect(char c);
    void readSeparator();
    int64_t readInteger(int64_t low, int64_t high);
    int64_t readIntegerText();
    const char* numberEnd() const;
    void readText(std::string& out, bool separatorRead = false);
    void readEscape(std::string& out, uint32_t& pendingHigh);
    TType readTypeName();
    void readOpen(char bracket);
    void readClose(char bracket);
    uint32_t since(const char* start) const { return static_cast<uint32_t>(cursor - start); }
    void requireFirstSight(int16_t fieldId);

    apache::thrift::transport::TTransport* const out;
    uint32_t written = 0;
    std::vector<context> writeStack;

    const char* begin = nullptr; // the message being read, lent by the transport
    const char* cursor = nullptr;
    const char* end = nullptr;
    std::vector<context> readStack;
    // Ids of the fields read in each open struct: those of the innermost
    // struct start at structFieldsStart.back().
    std::vector<int16_t> fieldsSeen;
    std::vector<size_t> structFieldsStart;
};

} // namespace vant

#endif // TESSERA_JSON_PROTOCOL_H
