// The Base64 codec of the signing shortcuts: exact encodings, the decoders'
// length and padding rules, the array decoder's bound, and round trips.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base64.h"

namespace {

std::string encode(const std::string& bytes)
{
    return vant::base64_encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// The array decoder's result as a string of the bytes written, or "<refused>".
std::string decodeToArray(const std::string& text)
{
    static unsigned char out[4096];
    const int32_t n = vant::base64_decode<4096>(text.c_str(), out);
    return n < 0 ? std::string("<refused>") : std::string(reinterpret_cast<const char*>(out), n);
}

TEST(base64, encodesWithTheStandardAlphabetAndPadding)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foobar", "Zm9vYmFy"},
        {std::string("\x00\x01\x02", 3), "AAEC"},
        {"\xff\xff\xff", "////"},
        {"\xfb\xff", "+/8="},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encode(c.first), c.second) << c.second;
}

TEST(base64, decodersFollowTheLengthAndPaddingRules)
{
    const struct {
        const char* what;
        std::string text;
        std::string bytes; // "<refused>" when the array decoder refuses the text
    } cases[] = {
        {"empty text", "", "<refused>"},
        {"three characters", "Zg=", "<refused>"},
        {"five characters", "Zm9vY", "<refused>"},
        {"one byte", "Zg==", "f"},
        {"two bytes", "Zm8=", "fo"},
        {"padded group ends decoding", "Zg==Zm9v", "f"},
        {"pad mid-text after full groups", "Zm9vZg==Zm9vYmFy", "foof"},
        {"zero bytes decoded", "AAAA", std::string(3, '\0')},
        {"4095 bytes: the array's bound", std::string(5460, 'A'), std::string(4095, '\0')},
        {"beyond the array's bound", std::string(5464, 'A'), "<refused>"},
        {"beyond it, whatever the padding would leave", std::string(5460, 'A') + "A===", "<refused>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeToArray(c.text), c.bytes) << c.what;
        if (c.text.size() < 5460) {
            EXPECT_EQ(vant::base64_decode(c.text), c.bytes == "<refused>" ? "" : c.bytes) << c.what;
        }
    }
}

TEST(base64, randomDataOfEveryLengthComesBack)
{
    std::mt19937 random(20240601);
    for (size_t length = 1; length <= 4095; length += (length < 64 ? 1 : 37)) {
        std::string bytes(length, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        const std::string text = encode(bytes);
        ASSERT_EQ(text.size(), (length + 2) / 3 * 4) << length;
        ASSERT_EQ(vant::base64_decode(text), bytes) << length;
        ASSERT_EQ(decodeToArray(text), bytes) << length;
    }
}

} // namespace
