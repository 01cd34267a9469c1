// Base64 codec of the signing shortcuts: standard alphabet and padding.
//
// The decoders are tolerant by design: a character outside the alphabet
// ("=" in the first two places of a group included) decodes like "/", and
// decoding ends at the first group with "=" in its third or fourth place,
// wherever that group stands. They refuse a text only for its length.
#ifndef TESSERA_BASE64_H
#define TESSERA_BASE64_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace vant {

// The 64 characters of the alphabet; a character's value is its position.
extern const char* const base64char;

// The Base64 text of `len` bytes: 4 * ceil(len / 3) characters, no line breaks.
std::string base64_encode(const unsigned char* data, size_t len);

// Decodes the four characters at `group` into `out` (room for 3 bytes).
// Returns the number of bytes written (1 to 3); `last` is set when the group
// has "=" in its third or fourth place, which ends decoding.
size_t base64DecodeGroup(const char* group, unsigned char* out, bool& last);

// Decodes the NUL-terminated `text` into `out` from index 0. Returns the
// number of bytes written, or -1 (nothing written) when `text` is null,
// empty, not a multiple of 4 long, or could stand for more than N bytes.
// Bytes after the last one written keep their values.
template <size_t N>
int32_t base64_decode(const char* text, unsigned char (&out)[N])
{
    if (text == nullptr)
        return -1;
    const size_t length = std::strlen(text);
    if (length == 0 || length % 4 != 0 || length / 4 * 3 > N)
        return -1;
    size_t written = 0;
    bool last = false;
    for (size_t at = 0; at < length && !last; at += 4)
        written += base64DecodeGroup(text + at, out + written, last);
    return static_cast<int32_t>(written);
}

extern template int32_t base64_decode<4096>(const char* text, unsigned char (&out)[4096]);

// Decodes `text` without an upper bound. Returns the bytes (they may include
// NUL bytes), or an empty string when `text` is empty or not a multiple of
// 4 long.
std::string base64_decode(const std::string& text);

} // namespace vant

#endif // TESSERA_BASE64_H
