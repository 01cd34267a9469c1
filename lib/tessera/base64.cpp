#include "base64.h"

#include <array>

namespace vant {

const char* const base64char = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

namespace {

constexpr char pad = '=';
constexpr unsigned char notInAlphabet = 255;

std::array<unsigned char, 256> makeReverseTable()
{
    std::array<unsigned char, 256> table;
    table.fill(notInAlphabet);
    for (unsigned char value = 0; value < 64; ++value)
        table[static_cast<unsigned char>(base64char[value])] = value;
    return table;
}

// Value of a character, 255 outside the alphabet. The formulas below keep
// only the low bits that 63 would give, so such a character acts as "/".
unsigned int valueOf(char c)
{
    static const std::array<unsigned char, 256> table = makeReverseTable();
    return table[static_cast<unsigned char>(c)];
}

} // namespace

std::string base64_encode(const unsigned char* data, size_t len)
{
    std::string text;
    text.reserve((len + 2) / 3 * 4);
    for (size_t at = 0; at < len; at += 3) {
        const unsigned int b0 = data[at];
        text += base64char[b0 >> 2];
        if (at + 1 == len) {
            text += base64char[(b0 & 3) << 4];
            text += pad;
            text += pad;
            break;
        }
        const unsigned int b1 = data[at + 1];
        text += base64char[((b0 & 3) << 4) | (b1 >> 4)];
        if (at + 2 == len) {
            text += base64char[(b1 & 15) << 2];
            text += pad;
            break;
        }
        const unsigned int b2 = data[at + 2];
        text += base64char[((b1 & 15) << 2) | (b2 >> 6)];
        text += base64char[b2 & 63];
    }
    return text;
}

size_t base64DecodeGroup(const char* group, unsigned char* out, bool& last)
{
    const unsigned int p = valueOf(group[0]);
    const unsigned int q = valueOf(group[1]);
    const unsigned int r = valueOf(group[2]);
    const unsigned int s = valueOf(group[3]);
    out[0] = static_cast<unsigned char>(((p << 2) | ((q >> 4) & 3)) & 255);
    if (group[2] == pad) {
        last = true;
        return 1;
    }
    out[1] = static_cast<unsigned char>(((q << 4) | ((r >> 2) & 15)) & 255);
    if (group[3] == pad) {
        last = true;
        return 2;
    }
    out[2] = static_cast<unsigned char>(((r << 6) | (s & 63)) & 255);
    return 3;
}

template int32_t base64_decode<4096>(const char* text, unsigned char (&out)[4096]);

std::string base64_decode(const std::string& text)
{
    const size_t length = text.size();
    if (length == 0 || length % 4 != 0)
        return std::string();
    std::string bytes;
    bytes.reserve(length / 4 * 3);
    unsigned char group[3];
    bool last = false;
    for (size_t at = 0; at < length && !last; at += 4) {
        const size_t count = base64DecodeGroup(text.data() + at, group, last);
        bytes.append(reinterpret_cast<const char*>(group), count);
    }
    return bytes;
}

} // namespace vant
