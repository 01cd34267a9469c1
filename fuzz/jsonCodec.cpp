// The library's JSON protocol against Thrift's own TJSONProtocol, on any
// bytes read as a message whose values are walked generically:
// - what the library's reader accepts, Thrift's accepts with the same values;
// - where Thrift accepts and the library refuses, the refusal is one of the
//   strict rules (strictRefusal), never a failure of its own;
// - the values read, written again by each writer, give the same bytes.
// One known difference is allowed: Thrift drops an escaped NUL (\u0000)
// where the library keeps it, so where the input holds one, texts are
// compared without their NUL bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "fuzzCheck.h"
#include "jsonProtocol.h"

namespace {

namespace thrift = apache::thrift::protocol;
using apache::thrift::transport::TMemoryBuffer;

// Thrift's reader with two changes: a byte out of range is refused rather
// than stopping the process on an assertion, and a boolean it leaves
// undefined (an empty number) is looked at as a byte, not loaded as a bool.
class thriftReader : public thrift::TVirtualProtocol<thriftReader, thrift::TJSONProtocol> {
public:
    explicit thriftReader(std::shared_ptr<apache::thrift::transport::TTransport> transport)
        : TVirtualProtocol(std::move(transport))
    {
    }
    uint32_t readByte(int8_t& value)
    {
        int16_t wide = 0;
        const uint32_t length = readI16(wide);
        if (wide < -128 || wide > 255)
            throw thrift::TProtocolException(thrift::TProtocolException::INVALID_DATA, "byte out of range");
        value = static_cast<int8_t>(wide);
        return length;
    }
    uint32_t readBool(bool& value)
    {
        bool read = false;
        const uint32_t length = TJSONProtocol::readBool(read);
        unsigned char byte;
        std::memcpy(&byte, &read, 1);
        value = byte != 0;
        return length;
    }
    uint32_t readBool(std::vector<bool>::reference value)
    {
        bool read = false;
        const uint32_t length = readBool(read);
        value = read;
        return length;
    }
};

// One value as read: its type, its scalar, and the values inside it.
struct value {
    thrift::TType type = thrift::T_STOP;
    int16_t id = 0; // field id, for a struct's fields
    int64_t integer = 0;
    double real = 0;
    std::string text;
    thrift::TType keyType = thrift::T_STOP;
    thrift::TType elementType = thrift::T_STOP;
    std::vector<value> inside;
};

struct message {
    std::string name;
    thrift::TMessageType type = thrift::T_CALL;
    int32_t seqid = 0;
    value body;
};

constexpr int deepest = 32;

void readValue(thrift::TProtocol& in, value& v, int depth);

void readStruct(thrift::TProtocol& in, value& v, int depth)
{
    std::string name;
    in.readStructBegin(name);
    for (;;) {
        value field;
        in.readFieldBegin(name, field.type, field.id);
        if (field.type == thrift::T_STOP)
            break;
        readValue(in, field, depth + 1);
        in.readFieldEnd();
        v.inside.push_back(std::move(field));
    }
    in.readStructEnd();
}

void readContainer(thrift::TProtocol& in, value& v, int depth)
{
    uint32_t size = 0;
    if (v.type == thrift::T_MAP)
        in.readMapBegin(v.keyType, v.elementType, size);
    else if (v.type == thrift::T_LIST)
        in.readListBegin(v.elementType, size);
    else
        in.readSetBegin(v.elementType, size);
    for (uint32_t i = 0; i < size; ++i) {
        if (v.type == thrift::T_MAP) {
            v.inside.emplace_back();
            v.inside.back().type = v.keyType;
            readValue(in, v.inside.back(), depth + 1);
        }
        v.inside.emplace_back();
        v.inside.back().type = v.elementType;
        readValue(in, v.inside.back(), depth + 1);
    }
    if (v.type == thrift::T_MAP)
        in.readMapEnd();
    else if (v.type == thrift::T_LIST)
        in.readListEnd();
    else
        in.readSetEnd();
}

void readValue(thrift::TProtocol& in, value& v, int depth)
{
    if (depth > deepest)
        throw thrift::TProtocolException(thrift::TProtocolException::DEPTH_LIMIT);
    bool flag = false;
    int8_t i8 = 0;
    int16_t i16 = 0;
    int32_t i32 = 0;
    switch (v.type) {
    case thrift::T_BOOL:
        in.readBool(flag);
        v.integer = flag;
        break;
    case thrift::T_BYTE:
        in.readByte(i8);
        v.integer = i8;
        break;
    case thrift::T_I16:
        in.readI16(i16);
        v.integer = i16;
        break;
    case thrift::T_I32:
        in.readI32(i32);
        v.integer = i32;
        break;
    case thrift::T_I64: in.readI64(v.integer); break;
    case thrift::T_DOUBLE: in.readDouble(v.real); break;
    case thrift::T_STRING: in.readString(v.text); break;
    case thrift::T_STRUCT: readStruct(in, v, depth); break;
    case thrift::T_MAP:
    case thrift::T_LIST:
    case thrift::T_SET: readContainer(in, v, depth); break;
    default: throw thrift::TProtocolException(thrift::TProtocolException::INVALID_DATA, "no such type");
    }
}

// Strings may be written as text or, in a second pass, as binary.
void writeValue(thrift::TProtocol& out, const value& v, bool binary);

void writeInside(thrift::TProtocol& out, const value& v, bool binary)
{
    const uint32_t size = static_cast<uint32_t>(v.type == thrift::T_MAP ? v.inside.size() / 2 : v.inside.size());
    if (v.type == thrift::T_MAP)
        out.writeMapBegin(v.keyType, v.elementType, size);
    else if (v.type == thrift::T_LIST)
        out.writeListBegin(v.elementType, size);
    else
        out.writeSetBegin(v.elementType, size);
    for (const value& element : v.inside)
        writeValue(out, element, binary);
    if (v.type == thrift::T_MAP)
        out.writeMapEnd();
    else if (v.type == thrift::T_LIST)
        out.writeListEnd();
    else
        out.writeSetEnd();
}

void writeValue(thrift::TProtocol& out, const value& v, bool binary)
{
    switch (v.type) {
    case thrift::T_BOOL: out.writeBool(v.integer != 0); break;
    case thrift::T_BYTE: out.writeByte(static_cast<int8_t>(v.integer)); break;
    case thrift::T_I16: out.writeI16(static_cast<int16_t>(v.integer)); break;
    case thrift::T_I32: out.writeI32(static_cast<int32_t>(v.integer)); break;
    case thrift::T_I64: out.writeI64(v.integer); break;
    case thrift::T_DOUBLE: out.writeDouble(v.real); break;
    case thrift::T_STRING: binary ? out.writeBinary(v.text) : out.writeString(v.text); break;
    case thrift::T_STRUCT:
        out.writeStructBegin("s");
        for (const value& field : v.inside) {
            out.writeFieldBegin("f", field.type, field.id);
            writeValue(out, field, binary);
            out.writeFieldEnd();
        }
        out.writeFieldStop();
        out.writeStructEnd();
        break;
    default: writeInside(out, v, binary);
    }
}

template <class Protocol>
bool readMessage(const std::string& bytes, message& m, bool& strictlyRefused)
{
    auto buffer = std::make_shared<TMemoryBuffer>(reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data())),
                                                  static_cast<uint32_t>(bytes.size()));
    Protocol in(buffer);
    try {
        in.readMessageBegin(m.name, m.type, m.seqid);
        m.body.type = thrift::T_STRUCT;
        readValue(in, m.body, 0);
        in.readMessageEnd();
        return true;
    } catch (const vant::strictRefusal&) {
        strictlyRefused = true;
    } catch (const apache::thrift::TException&) {
    }
    return false;
}

template <class Protocol>
std::string writeMessage(const message& m, bool binary)
{
    auto buffer = std::make_shared<TMemoryBuffer>();
    Protocol out(buffer);
    out.writeMessageBegin(m.name, m.type, m.seqid);
    writeValue(out, m.body, binary);
    out.writeMessageEnd();
    return buffer->getBufferAsString();
}

bool sameReal(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

std::string withoutNul(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

// `ours` as read by the library, `theirs` by Thrift.
bool sameValue(const value& ours, const value& theirs, bool nulDropped)
{
    if (ours.type != theirs.type || ours.id != theirs.id || ours.integer != theirs.integer ||
        !sameReal(ours.real, theirs.real) || ours.keyType != theirs.keyType || ours.elementType != theirs.elementType ||
        ours.inside.size() != theirs.inside.size())
        return false;
    if (nulDropped ? withoutNul(ours.text) != withoutNul(theirs.text) : ours.text != theirs.text)
        return false;
    for (size_t i = 0; i < ours.inside.size(); ++i)
        if (!sameValue(ours.inside[i], theirs.inside[i], nulDropped))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    message ours;
    message theirs;
    bool strictlyRefused = false;
    bool unused = false;
    const bool oursRead = readMessage<vant::jsonProtocol>(bytes, ours, strictlyRefused);
    const bool theirsRead = readMessage<thriftReader>(bytes, theirs, unused);
    if (!oursRead) {
        require(!theirsRead || strictlyRefused, "a message Thrift reads is refused only by a strict rule");
        return 0;
    }
    require(theirsRead, "a message the library reads, Thrift reads too");
    const bool nulDropped = bytes.find("\\u0000") != std::string::npos;
    require(ours.name == theirs.name || (nulDropped && withoutNul(ours.name) == withoutNul(theirs.name)), "same name");
    require(ours.type == theirs.type && ours.seqid == theirs.seqid, "same message type and number");
    require(sameValue(ours.body, theirs.body, nulDropped), "same values");
    for (bool binary : {false, true})
        require(writeMessage<vant::jsonProtocol>(ours, binary) == writeMessage<thrift::TJSONProtocol>(ours, binary),
                "the same bytes written for the same values");
    return 0;
}
