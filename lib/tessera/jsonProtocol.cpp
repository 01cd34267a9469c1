#include "jsonProtocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include <thrift/protocol/TBase64Utils.h>
#include <thrift/transport/TTransportException.h>

namespace vant {

using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TTransportException;
namespace thrift = apache::thrift::protocol;

namespace {

struct typeName {
    thrift::TType type;
    const char* name;
};

const typeName typeNames[] = {
    {thrift::T_BOOL, "tf"}, {thrift::T_BYTE, "i8"},    {thrift::T_I16, "i16"},    {thrift::T_I32, "i32"},
    {thrift::T_I64, "i64"}, {thrift::T_DOUBLE, "dbl"}, {thrift::T_STRUCT, "rec"}, {thrift::T_STRING, "str"},
    {thrift::T_MAP, "map"}, {thrift::T_LIST, "lst"},   {thrift::T_SET, "set"},
};

const char* nameOf(thrift::TType type)
{
    for (const typeName& t : typeNames)
        if (t.type == type)
            return t.name;
    throw TProtocolException(TProtocolException::NOT_IMPLEMENTED, "Unrecognized type");
}

// How a byte appears inside a JSON string: 1 as itself, 0 as \u00XX, any
// other value as a backslash and that character.
struct escapeTable {
    char how[256];
    constexpr escapeTable() : how()
    {
        for (int c = 0; c < 256; ++c)
            how[c] = c < 0x20 ? 0 : 1;
        how[static_cast<unsigned char>('\b')] = 'b';
        how[static_cast<unsigned char>('\t')] = 't';
        how[static_cast<unsigned char>('\n')] = 'n';
        how[static_cast<unsigned char>('\f')] = 'f';
        how[static_cast<unsigned char>('\r')] = 'r';
        how[static_cast<unsigned char>('"')] = '"';
        how[static_cast<unsigned char>('\\')] = '\\';
    }
};
constexpr escapeTable escapes;

bool isNumberChar(char c)
{
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    throw TProtocolException(TProtocolException::INVALID_DATA, "Expected hex val ([0-9a-f])");
}

// JSON's number syntax: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
// With `integer`, only the part before the fraction.
bool isJsonNumber(const char* p, const char* end, bool integer)
{
    auto digits = [&](bool leadingZeroAlone) {
        const char* start = p;
        while (p != end && *p >= '0' && *p <= '9')
            ++p;
        return p != start && !(leadingZeroAlone && *start == '0' && p - start > 1);
    };
    if (p != end && *p == '-')
        ++p;
    if (!digits(true))
        return false;
    if (integer)
        return p == end;
    if (p != end && *p == '.' && (++p, !digits(false)))
        return false;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p != end && (*p == '+' || *p == '-'))
            ++p;
        if (!digits(false))
            return false;
    }
    return p == end;
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(uint32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}

bool isLowSurrogate(uint32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

TProtocolException unexpected(char wanted, char got)
{
    return TProtocolException(TProtocolException::INVALID_DATA,
                              std::string("Expected '") + wanted + "'; got '" + got + "'.");
}

} // namespace

jsonProtocol::jsonProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport)
    : TVirtualProtocol(transport),
      out(transport.get())
{
    writeStack.push_back({context::top, true, false});
    readStack.push_back({context::top, true, false});
}

// ---- Writing -------------------------------------------------------------

void jsonProtocol::put(const char* data, size_t length)
{
    out->write(reinterpret_cast<const uint8_t*>(data), static_cast<uint32_t>(length));
    written += static_cast<uint32_t>(length);
}

// The separator before a value: ',' between array elements, ':' after a key
// and ',' after a value in an object.
void jsonProtocol::separate(std::vector<context>& stack, char* into, size_t& length)
{
    context& c = stack.back();
    if (c.kind == context::top)
        return;
    if (c.first) {
        c.first = false;
        c.key = true;
        return;
    }
    if (c.kind == context::array) {
        into[length++] = ',';
        return;
    }
    into[length++] = c.key ? ':' : ',';
    c.key = !c.key;
}

bool jsonProtocol::inKeyPlace(const std::vector<context>& stack) const
{
    const context& c = stack.back();
    return c.kind == context::object && c.key;
}

void jsonProtocol::beginValue()
{
    char separator[1];
    size_t length = 0;
    separate(writeStack, separator, length);
    if (length != 0)
        put(separator, length);
}

template <class Number>
void jsonProtocol::writeInteger(Number value)
{
    char text[32];
    size_t length = 0;
    separate(writeStack, text, length);
    const bool quoted = inKeyPlace(writeStack);
    if (quoted)
        text[length++] = '"';
    length = static_cast<size_t>(std::to_chars(text + length, text + sizeof text - 1, value).ptr - text);
    if (quoted)
        text[length++] = '"';
    put(text, length);
}

void jsonProtocol::writeText(const std::string& value)
{
    beginValue();
    putChar('"');
    const char* run = value.data();
    const char* const stop = run + value.size();
    for (const char* p = run; p != stop; ++p) {
        const char how = escapes.how[static_cast<unsigned char>(*p)];
        if (how == 1)
            continue;
        put(run, static_cast<size_t>(p - run));
        run = p + 1;
        if (how == 0) {
            static const char hex[] = "0123456789abcdef";
            const unsigned char c = static_cast<unsigned char>(*p);
            const char escaped[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0x0F]};
            put(escaped, sizeof escaped);
        } else {
            const char escaped[2] = {'\\', how};
            put(escaped, sizeof escaped);
        }
    }
    put(run, static_cast<size_t>(stop - run));
    putChar('"');
}

void jsonProtocol::writeOpen(char bracket)
{
    beginValue();
    putChar(bracket);
    writeStack.push_back({bracket == '{' ? context::object : context::array, true, true});
}

void jsonProtocol::writeClose(char bracket)
{
    writeStack.pop_back();
    putChar(bracket);
}

uint32_t jsonProtocol::writeMessageBegin(const std::string& name, TMessageType type, int32_t seqid)
{
    writeStack.resize(1);
    written = 0;
    writeOpen('[');
    writeInteger(1);
    writeText(name);
    writeInteger(static_cast<int>(type));
    writeInteger(seqid);
    return written;
}

uint32_t jsonProtocol::writeMessageEnd()
{
    written = 0;
    writeClose(']');
    return written;
}

uint32_t jsonProtocol::writeStructBegin(const char*)
{
    written = 0;
    writeOpen('{');
    return written;
}

uint32_t jsonProtocol::writeStructEnd()
{
    written = 0;
    writeClose('}');
    return written;
}

uint32_t jsonProtocol::writeFieldBegin(const char*, TType type, int16_t id)
{
    written = 0;
    writeInteger(id);
    writeOpen('{');
    writeText(nameOf(type));
    return written;
}

uint32_t jsonProtocol::writeFieldEnd()
{
    return writeStructEnd();
}

uint32_t jsonProtocol::writeFieldStop()
{
    return 0;
}

uint32_t jsonProtocol::writeMapBegin(TType keyType, TType valueType, uint32_t size)
{
    written = 0;
    writeOpen('[');
    writeText(nameOf(keyType));
    writeText(nameOf(valueType));
    writeInteger(static_cast<int64_t>(size));
    writeOpen('{');
    return written;
}

uint32_t jsonProtocol::writeMapEnd()
{
    written = 0;
    writeClose('}');
    writeClose(']');
    return written;
}

uint32_t jsonProtocol::writeListBegin(TType elementType, uint32_t size)
{
    written = 0;
    writeOpen('[');
    writeText(nameOf(elementType));
    writeInteger(static_cast<int64_t>(size));
    return written;
}

uint32_t jsonProtocol::writeListEnd()
{
    written = 0;
    writeClose(']');
    return written;
}

uint32_t jsonProtocol::writeSetBegin(TType elementType, uint32_t size)
{
    return writeListBegin(elementType, size);
}

uint32_t jsonProtocol::writeSetEnd()
{
    return writeListEnd();
}

uint32_t jsonProtocol::writeBool(bool value)
{
    return writeI32(value ? 1 : 0);
}

uint32_t jsonProtocol::writeByte(int8_t value)
{
    return writeI32(value);
}

uint32_t jsonProtocol::writeI16(int16_t value)
{
    return writeI32(value);
}

uint32_t jsonProtocol::writeI32(int32_t value)
{
    written = 0;
    writeInteger(value);
    return written;
}

uint32_t jsonProtocol::writeI64(int64_t value)
{
    written = 0;
    writeInteger(value);
    return written;
}

// Seventeen significant digits, as Thrift writes them; NaN and the
// infinities as quoted names.
uint32_t jsonProtocol::writeDouble(double value)
{
    written = 0;
    char text[40];
    size_t length = 0;
    separate(writeStack, text, length);
    const char* special = std::isnan(value)   ? "NaN"
                          : std::isinf(value) ? (value < 0 ? "-Infinity" : "Infinity")
                                              : nullptr;
    const bool quoted = special != nullptr || inKeyPlace(writeStack);
    if (quoted)
        text[length++] = '"';
    if (special != nullptr) {
        std::memcpy(text + length, special, std::strlen(special));
        length += std::strlen(special);
    } else {
        length = static_cast<size_t>(
            std::to_chars(text + length, text + sizeof text - 1, value, std::chars_format::general, 17).ptr - text);
    }
    if (quoted)
        text[length++] = '"';
    put(text, length);
    return written;
}

uint32_t jsonProtocol::writeString(const std::string& value)
{
    written = 0;
    writeText(value);
    return written;
}

// Base64 without padding, in the groups Thrift's coder writes.
uint32_t jsonProtocol::writeBinary(const std::string& value)
{
    written = 0;
    beginValue();
    putChar('"');
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(value.data());
    size_t left = value.size();
    char chunk[4096];
    while (left > 0) {
        size_t length = 0;
        while (left > 0 && length + 4 <= sizeof chunk) {
            const uint32_t n = left >= 3 ? 3 : static_cast<uint32_t>(left);
            thrift::base64_encode(bytes, n, reinterpret_cast<uint8_t*>(chunk + length));
            length += n + 1;
            bytes += n;
            left -= n;
        }
        put(chunk, length);
    }
    putChar('"');
    return written;
}

// ---- Reading -------------------------------------------------------------

// Borrows the whole message from the transport; it is consumed at its end.
void jsonProtocol::takeMessage()
{
    uint32_t length = 0;
    const uint8_t* data = out->borrow(nullptr, &length);
    if (data == nullptr)
        throw TProtocolException(TProtocolException::NOT_IMPLEMENTED, "the transport does not lend whole messages");
    begin = cursor = reinterpret_cast<const char*>(data);
    end = begin + length;
    readStack.resize(1);
    readStack.back().first = true;
    fieldsSeen.clear();
    structFieldsStart.clear();
}

char jsonProtocol::peek() const
{
    if (cursor == end)
        throw TTransportException(TTransportException::END_OF_FILE, "No more data to read.");
    return *cursor;
}

void jsonProtocol::expect(char c)
{
    const char got = peek();
    if (got != c)
        throw unexpected(c, got);
    ++cursor;
}

void jsonProtocol::readSeparator()
{
    if (begin == nullptr)
        takeMessage();
    char separator[1];
    size_t length = 0;
    separate(readStack, separator, length);
    if (length != 0)
        expect(separator[0]);
}

// The characters a number may consist of, up to the first other one; like
// Thrift, a number must be followed by something.
const char* jsonProtocol::numberEnd() const
{
    const char* p = cursor;
    while (p != end && isNumberChar(*p))
        ++p;
    if (p == end)
        throw TTransportException(TTransportException::END_OF_FILE, "No more data to read.");
    return p;
}

int64_t jsonProtocol::readIntegerText()
{
    const char* stop = numberEnd();
    if (!isJsonNumber(cursor, stop, true))
        throw strictRefusal("Expected an integer; got \"" + std::string(cursor, stop) + "\"");
    int64_t value = 0;
    const std::from_chars_result parsed = std::from_chars(cursor, stop, value);
    if (parsed.ec != std::errc() || parsed.ptr != stop)
        throw strictRefusal("Integer out of range: \"" + std::string(cursor, stop) + "\"");
    cursor = stop;
    return value;
}

// An integer in [low, high]; quoted where it is an object's key.
int64_t jsonProtocol::readInteger(int64_t low, int64_t high)
{
    readSeparator();
    const bool quoted = inKeyPlace(readStack);
    if (quoted)
        expect('"');
    const int64_t value = readIntegerText();
    if (quoted)
        expect('"');
    if (value < low || value > high)
        throw strictRefusal("Integer out of range: " + std::to_string(value));
    return value;
}

void jsonProtocol::readText(std::string& value, bool separatorRead)
{
    if (!separatorRead)
        readSeparator();
    expect('"');
    value.clear();
    uint32_t pendingHigh = 0;
    const char* quote = nullptr;
    for (;;) {
        if (quote == nullptr || quote < cursor) {
            quote = static_cast<const char*>(std::memchr(cursor, '"', static_cast<size_t>(end - cursor)));
            if (quote == nullptr)
                throw TTransportException(TTransportException::END_OF_FILE, "No more data to read.");
        }
        const char* slash = static_cast<const char*>(std::memchr(cursor, '\\', static_cast<size_t>(quote - cursor)));
        const char* runEnd = slash != nullptr ? slash : quote;
        if (pendingHigh != 0 && runEnd != cursor)
            throw TProtocolException(TProtocolException::INVALID_DATA, "Missing UTF-16 low surrogate pair.");
        value.append(cursor, runEnd);
        cursor = runEnd + 1;
        if (slash == nullptr)
            break;
        readEscape(value, pendingHigh);
    }
    if (pendingHigh != 0)
        throw TProtocolException(TProtocolException::INVALID_DATA, "Missing UTF-16 low surrogate pair.");
}

// One escape after its backslash. A high surrogate waits for its low half.
void jsonProtocol::readEscape(std::string& value, uint32_t& pendingHigh)
{
    const char c = peek();
    ++cursor;
    if (c != 'u') {
        static const char names[] = "\"\\bfnrt";
        static const char values[] = "\"\\\b\f\n\r\t";
        const char* found = std::strchr(names, c);
        if (c == 0 || found == nullptr)
            throw TProtocolException(TProtocolException::INVALID_DATA,
                                     std::string("Expected control char, got '") + c + "'.");
        if (pendingHigh != 0)
            throw TProtocolException(TProtocolException::INVALID_DATA, "Missing UTF-16 low surrogate pair.");
        value += values[found - names];
        return;
    }
    if (end - cursor < 4)
        throw TTransportException(TTransportException::END_OF_FILE, "No more data to read.");
    uint32_t unit = 0;
    for (int i = 0; i < 4; ++i)
        unit = (unit << 4) | static_cast<uint32_t>(hexValue(*cursor++));
    if (isLowSurrogate(unit)) {
        if (pendingHigh == 0)
            throw TProtocolException(TProtocolException::INVALID_DATA, "Missing UTF-16 high surrogate pair.");
        appendUtf8(value, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
        pendingHigh = 0;
    } else if (pendingHigh != 0) {
        throw strictRefusal("UTF-16 high surrogate without its low half");
    } else if (isHighSurrogate(unit)) {
        pendingHigh = unit;
    } else {
        appendUtf8(value, unit);
    }
}

jsonProtocol::TType jsonProtocol::readTypeName()
{
    std::string name;
    readText(name);
    for (const typeName& t : typeNames)
        if (name == t.name)
            return t.type;
    throw strictRefusal("Unrecognized type \"" + name + "\"");
}

void jsonProtocol::readOpen(char bracket)
{
    readSeparator();
    expect(bracket);
    readStack.push_back({bracket == '{' ? context::object : context::array, true, true});
}

void jsonProtocol::readClose(char bracket)
{
    expect(bracket);
    if (readStack.size() > 1)
        readStack.pop_back();
}

uint32_t jsonProtocol::readMessageBegin(std::string& name, TMessageType& type, int32_t& seqid)
{
    takeMessage();
    readOpen('[');
    if (readInteger(std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()) != 1)
        throw strictRefusal("Message contained bad version.");
    readText(name);
    type = static_cast<TMessageType>(readInteger(thrift::T_CALL, thrift::T_ONEWAY));
    seqid = static_cast<int32_t>(readInteger(0, std::numeric_limits<int32_t>::max()));
    return since(begin);
}

// The message is handed back to the transport as consumed.
uint32_t jsonProtocol::readMessageEnd()
{
    readClose(']');
    out->consume(static_cast<uint32_t>(cursor - begin));
    begin = cursor = end = nullptr;
    return 1;
}

uint32_t jsonProtocol::readStructBegin(std::string&)
{
    const char* start = cursor;
    readOpen('{');
    structFieldsStart.push_back(fieldsSeen.size());
    return since(start);
}

uint32_t jsonProtocol::readStructEnd()
{
    const char* start = cursor;
    readClose('}');
    if (!structFieldsStart.empty()) {
        fieldsSeen.resize(structFieldsStart.back());
        structFieldsStart.pop_back();
    }
    return since(start);
}

// A field sent twice would leave the value to whichever came last.
void jsonProtocol::requireFirstSight(int16_t id)
{
    const size_t from = structFieldsStart.empty() ? 0 : structFieldsStart.back();
    if (std::find(fieldsSeen.begin() + static_cast<std::ptrdiff_t>(from), fieldsSeen.end(), id) != fieldsSeen.end())
        throw strictRefusal("Field " + std::to_string(id) + " appears twice.");
    fieldsSeen.push_back(id);
}

uint32_t jsonProtocol::readFieldBegin(std::string&, TType& type, int16_t& id)
{
    if (begin == nullptr)
        takeMessage();
    const char* start = cursor;
    if (peek() == '}') {
        type = thrift::T_STOP;
        return 0;
    }
    id = static_cast<int16_t>(readInteger(0, std::numeric_limits<int16_t>::max()));
    requireFirstSight(id);
    readOpen('{');
    type = readTypeName();
    return since(start);
}

uint32_t jsonProtocol::readFieldEnd()
{
    const char* start = cursor;
    readClose('}');
    return since(start);
}

uint32_t jsonProtocol::readMapBegin(TType& keyType, TType& valueType, uint32_t& size)
{
    const char* start = cursor;
    readOpen('[');
    keyType = readTypeName();
    valueType = readTypeName();
    size = static_cast<uint32_t>(readInteger(0, end - cursor));
    readOpen('{');
    return since(start);
}

uint32_t jsonProtocol::readMapEnd()
{
    const char* start = cursor;
    readClose('}');
    readClose(']');
    return since(start);
}

uint32_t jsonProtocol::readListBegin(TType& elementType, uint32_t& size)
{
    const char* start = cursor;
    readOpen('[');
    elementType = readTypeName();
    size = static_cast<uint32_t>(readInteger(0, end - cursor));
    return since(start);
}

uint32_t jsonProtocol::readListEnd()
{
    const char* start = cursor;
    readClose(']');
    return since(start);
}

uint32_t jsonProtocol::readSetBegin(TType& elementType, uint32_t& size)
{
    return readListBegin(elementType, size);
}

uint32_t jsonProtocol::readSetEnd()
{
    return readListEnd();
}

uint32_t jsonProtocol::readBool(bool& value)
{
    const char* start = cursor;
    value = readInteger(0, 1) == 1;
    return since(start);
}

uint32_t jsonProtocol::readBool(std::vector<bool>::reference value)
{
    bool b = false;
    const uint32_t length = readBool(b);
    value = b;
    return length;
}

uint32_t jsonProtocol::readByte(int8_t& value)
{
    const char* start = cursor;
    value = static_cast<int8_t>(readInteger(-128, 255));
    return since(start);
}

uint32_t jsonProtocol::readI16(int16_t& value)
{
    const char* start = cursor;
    value = static_cast<int16_t>(readInteger(std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
    return since(start);
}

uint32_t jsonProtocol::readI32(int32_t& value)
{
    const char* start = cursor;
    value = static_cast<int32_t>(readInteger(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    return since(start);
}

uint32_t jsonProtocol::readI64(int64_t& value)
{
    const char* start = cursor;
    value = readInteger(std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
    return since(start);
}

// A number, or a quoted NaN, Infinity or -Infinity; where it is an object's
// key, any of them quoted.
uint32_t jsonProtocol::readDouble(double& value)
{
    readSeparator();
    const char* start = cursor;
    const bool keyPlace = inKeyPlace(readStack);
    std::string quotedText;
    const char* text;
    const char* stop;
    if (peek() == '"') {
        readText(quotedText, true);
        if (quotedText == "NaN" || quotedText == "Infinity" || quotedText == "-Infinity") {
            value = quotedText == "NaN"    ? std::numeric_limits<double>::quiet_NaN()
                    : quotedText[0] == '-' ? -HUGE_VAL
                                           : HUGE_VAL;
            return since(start);
        }
        if (!keyPlace)
            throw TProtocolException(TProtocolException::INVALID_DATA, "Numeric data unexpectedly quoted");
        text = quotedText.data();
        stop = text + quotedText.size();
    } else {
        if (keyPlace)
            expect('"');
        text = cursor;
        stop = numberEnd();
        cursor = stop;
    }
    if (!isJsonNumber(text, stop, false))
        throw strictRefusal("Expected a number; got \"" + std::string(text, stop) + "\"");
    const std::from_chars_result parsed = std::from_chars(text, stop, value);
    if (parsed.ec != std::errc() || parsed.ptr != stop)
        throw strictRefusal("Number out of range: \"" + std::string(text, stop) + "\"");
    return since(start);
}

uint32_t jsonProtocol::readString(std::string& value)
{
    const char* start = cursor;
    readText(value);
    return since(start);
}

// Thrift's decoding of its Base64: padding dropped, groups of four, a
// single character left over ignored.
uint32_t jsonProtocol::readBinary(std::string& value)
{
    const char* start = cursor;
    std::string text;
    readText(text);
    size_t length = text.size();
    for (size_t i = 0; i < 2 && length >= 2 && text[length - 1] == '='; ++i)
        --length;
    value.clear();
    value.reserve(length / 4 * 3 + 2);
    uint8_t* group = reinterpret_cast<uint8_t*>(&text[0]);
    for (; length >= 4; length -= 4, group += 4) {
        thrift::base64_decode(group, 4);
        value.append(reinterpret_cast<const char*>(group), 3);
    }
    if (length > 1) {
        thrift::base64_decode(group, static_cast<uint32_t>(length));
        value.append(reinterpret_cast<const char*>(group), length - 1);
    }
    return since(start);
}

} // namespace vant
