// The Base64 codec: exact encodings, the decoders' tolerance and length
// rules, and a round trip over random data of many lengths.
#include <gtest/gtest.h>

#include <cstring>
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

struct encodeCase {
    std::string bytes;
    std::string text;
};

TEST(Base64Encode, GivesTheStandardTextWithPadding)
{
    const encodeCase cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\x00\x01\x02", 3), "AAEC"},
        {"\xff\xff\xff", "////"},
        {"\xfb\xff", "+/8="},
    };
    for (const encodeCase& c : cases)
        EXPECT_EQ(encode(c.bytes), c.text) << "bytes of length " << c.bytes.size();
}

struct decodeCase {
    const char* what;
    std::string text;
    std::string bytes;  // "<refused>" when the array decoder refuses the text
};

TEST(Base64Decode, FollowsTheLengthAndPaddingRules)
{
    const decodeCase cases[] = {
        {"empty text", "", "<refused>"},
        {"three characters", "Zg=", "<refused>"},
        {"five characters", "Zm9vY", "<refused>"},
        {"one byte", "Zg==", "f"},
        {"two bytes", "Zm8=", "fo"},
        {"three bytes", "Zm9v", "foo"},
        {"padded group ends decoding", "Zg==Zm9v", "f"},
        {"pad in fourth place ends decoding", "Zm8=Zm9v", "fo"},
        {"pad mid-text after full groups", "Zm9vZg==Zm9vYmFy", "foof"},
        {"only the first pad counts", "Zm9vZm8=Zg==", "foofo"},
        {"zero bytes decoded", "AAAA", std::string(3, '\0')},
    };
    for (const decodeCase& c : cases) {
        EXPECT_EQ(decodeToArray(c.text), c.bytes) << c.what;
        const std::string expected = c.bytes == "<refused>" ? std::string() : c.bytes;
        EXPECT_EQ(vant::base64_decode(c.text), expected) << c.what << " (string form)";
    }
}

TEST(Base64Decode, CharactersOutsideTheAlphabetActLikeSlash)
{
    const std::pair<std::string, std::string> sameAs[] = {
        {"-AAA", "/AAA"},
        {" AAA", "/AAA"},
        {"A\x80" "AA", "A/AA"},
        {"AA.A", "AA/A"},
        {"AAA*", "AAA/"},
        {"=AAA", "/AAA"},  // a pad in the first two places is no pad
        {"A=AA", "A/AA"},
        {"==AA", "//AA"},
        {"A-==", "A/=="},
    };
    for (const auto& pair : sameAs) {
        EXPECT_EQ(decodeToArray(pair.first), decodeToArray(pair.second)) << pair.first;
        EXPECT_EQ(vant::base64_decode(pair.first), vant::base64_decode(pair.second)) << pair.first;
    }
}

TEST(Base64Decode, ArrayDecoderIsBoundedBy4096Bytes)
{
    EXPECT_EQ(decodeToArray(std::string(5460, 'A')), std::string(4095, '\0'));
    EXPECT_EQ(decodeToArray(std::string(5464, 'A')), "<refused>");
    // The bound is on the length alone, whatever the padding would leave.
    EXPECT_EQ(decodeToArray(std::string(5460, 'A') + "A==="), "<refused>");
}

TEST(Base64Decode, ArrayDecoderTouchesOnlyTheBytesItWrites)
{
    unsigned char out[4096];
    std::memset(out, 0xAA, sizeof out);
    ASSERT_EQ(vant::base64_decode<4096>("Zm8=", out), 2);
    EXPECT_EQ(out[2], 0xAA);

    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(vant::base64_decode<4096>("Zm8", out), -1);
    EXPECT_EQ(vant::base64_decode<4096>(nullptr, out), -1);
    EXPECT_EQ(out[0], 0xAA);
}

TEST(Base64Decode, StringDecoderHasNoUpperBound)
{
    const std::string decoded = vant::base64_decode(std::string(8000, 'B'));
    ASSERT_EQ(decoded.size(), 6000u);
    EXPECT_EQ(encode(decoded), std::string(8000, 'B'));
}

TEST(Base64RoundTrip, RandomDataOfManyLengths)
{
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    for (size_t length = 0; length <= 4095; length += (length < 64 ? 1 : 37)) {
        std::string bytes(length, '\0');
        for (char& b : bytes)
            b = static_cast<char>(byte(random));
        const std::string text = encode(bytes);

        ASSERT_EQ(text.size(), (length + 2) / 3 * 4) << length;
        const size_t pads = (3 - length % 3) % 3;
        ASSERT_EQ(text.find_first_not_of(vant::base64char), pads == 0 ? std::string::npos : text.size() - pads)
            << length;
        ASSERT_EQ(vant::base64_decode(text), bytes) << length;
        if (length > 0) {
            ASSERT_EQ(decodeToArray(text), bytes) << length;
        }
    }
}

} // namespace
