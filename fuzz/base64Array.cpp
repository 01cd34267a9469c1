// The array form of the Base64 decoder, on any text and on the encoding of
// any data: it never writes past the bytes it reports nor more than 4095
// bytes, writes nothing when it refuses, agrees with the string form, and
// decoding an encoding gives the data back.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "base64.h"
#include "fuzzCheck.h"

namespace {

constexpr size_t capacity = 4096;
constexpr size_t longestText = capacity / 3 * 4; // 5460 characters, 4095 bytes
constexpr size_t mostBytes = longestText / 4 * 3;

// On the heap and of exactly this size, so that a write past the array is
// caught by the address sanitizer.
struct outputArray {
    unsigned char bytes[capacity];
};

// Decodes into an array filled with `fill` and checks what was written.
std::string decodeChecked(const char* text, unsigned char fill)
{
    auto out = std::make_unique<outputArray>();
    std::memset(out->bytes, fill, capacity);
    const int32_t count = vant::base64_decode(text, out->bytes);
    const size_t length = std::strlen(text);
    const bool acceptable = length != 0 && length % 4 == 0 && length <= longestText;
    require(acceptable == (count != -1), "refused exactly the texts of a bad length");
    const size_t written = count == -1 ? 0 : static_cast<size_t>(count);
    require(count == -1 || (count >= 1 && written <= mostBytes), "count within 1..4095");
    for (size_t i = written; i < capacity; ++i)
        require(out->bytes[i] == fill, "nothing written past the reported count");
    return std::string(reinterpret_cast<const char*>(out->bytes), written);
}

void checkArbitraryText(const std::string& input)
{
    const char* text = input.c_str(); // up to the first NUL, as a C caller gives it
    // Two fills: a stray write of a byte equal to one fill shows in the other.
    const std::string decoded = decodeChecked(text, 0x00);
    require(decodeChecked(text, 0xff) == decoded, "same result whatever the array held");
    if (!decoded.empty())
        require(vant::base64_decode(std::string(text)) == decoded, "array and string forms agree");
}

void checkRoundTrip(const uint8_t* data, size_t size)
{
    const size_t length = size < mostBytes ? size : mostBytes;
    if (length == 0)
        return;
    const std::string text = vant::base64_encode(data, length);
    require(text.size() == (length + 2) / 3 * 4, "encoding has 4 characters per 3 bytes");
    require(decodeChecked(text.c_str(), 0x5a) == std::string(reinterpret_cast<const char*>(data), length),
            "decoding the encoding gives the data");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    checkArbitraryText(std::string(reinterpret_cast<const char*>(data), size));
    checkRoundTrip(data, size);
    return 0;
}
