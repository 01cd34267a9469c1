// The string form of the Base64 decoder, on any text and on the encoding of
// any data: its output is bounded by the text's length, a text of alphabet
// characters only decodes to bytes that encode back to that text, and
// decoding an encoding gives the data back.
#include <cstdint>
#include <string>

#include "base64.h"
#include "fuzzCheck.h"

namespace {

bool onlyAlphabet(const std::string& text)
{
    return text.find_first_not_of(vant::base64char) == std::string::npos;
}

void checkArbitraryText(const std::string& text)
{
    const std::string decoded = vant::base64_decode(text);
    if (text.empty() || text.size() % 4 != 0) {
        require(decoded.empty(), "a text of a bad length is refused");
        return;
    }
    require(!decoded.empty() && decoded.size() <= text.size() / 4 * 3, "at most 3 bytes per 4 characters");
    if (onlyAlphabet(text)) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(decoded.data());
        require(vant::base64_encode(bytes, decoded.size()) == text, "unpadded text survives a round trip");
    }
}

void checkRoundTrip(const uint8_t* data, size_t size)
{
    const std::string original(reinterpret_cast<const char*>(data), size);
    require(vant::base64_decode(vant::base64_encode(data, size)) == original, "decoding the encoding gives the data");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    checkArbitraryText(std::string(reinterpret_cast<const char*>(data), size));
    checkRoundTrip(data, size);
    return 0;
}
