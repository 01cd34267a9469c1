// vant::jsonQuote on any bytes: the result is one JSON string literal that
// reads back as the input. Bytes of 0x80 and above pass through unchanged,
// so a strict JSON reader is asked only about valid UTF-8; every input is
// also read back by the small literal reader below.
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzzCheck.h"
#include "jsonText.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The character a one-letter escape stands for, or -1.
int shortEscape(char letter)
{
    switch (letter) {
    case '"': return '"';
    case '\\': return '\\';
    case '/': return '/';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    }
    return -1;
}

// Reads a \u00XX escape at `at` (just after the backslash); only control
// characters need one, so larger code points are refused.
bool readUnicodeEscape(const std::string& literal, size_t& at, std::string& out)
{
    if (at + 5 > literal.size() - 1 || literal.compare(at, 3, "u00") != 0)
        return false;
    const int high = hexValue(literal[at + 3]);
    const int low = hexValue(literal[at + 4]);
    if (high < 0 || low < 0)
        return false;
    out += static_cast<char>(high * 16 + low);
    at += 5;
    return true;
}

// Reads a JSON string literal whose non-ASCII bytes are taken as they are.
// False when `literal` is not exactly one well-formed literal.
bool readLiteral(const std::string& literal, std::string& out)
{
    if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"')
        return false;
    for (size_t at = 1; at + 1 < literal.size();) {
        const unsigned char c = static_cast<unsigned char>(literal[at]);
        if (c < 0x20 || c == '"')
            return false;
        if (c != '\\') {
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        if (++at + 1 >= literal.size())
            return false;
        if (const int plain = shortEscape(literal[at]); plain >= 0) {
            out += static_cast<char>(plain);
            ++at;
        } else if (!readUnicodeEscape(literal, at, out)) {
            return false;
        }
    }
    return true;
}

bool validUtf8(const std::string& text)
{
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string literal = vant::jsonQuote(input);
    std::string readBack;
    require(readLiteral(literal, readBack), "the result is one JSON string literal");
    require(readBack == input, "the literal reads back as the input");
    if (validUtf8(input)) {
        const nlohmann::json parsed = nlohmann::json::parse(literal, nullptr, false);
        require(parsed.is_string() && parsed.get<std::string>() == input, "a JSON reader agrees");
    }
    return 0;
}
