#include "cryptoBase64.h"

#include <array>
#include <cstdint>

namespace pkisim {
namespace {

const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t notInAlphabet = 0xFF;

std::array<uint8_t, 256> makeReverseTable() {
    std::array<uint8_t, 256> table;
    table.fill(notInAlphabet);
    for (uint8_t value = 0; value < 64; ++value)
        table[static_cast<unsigned char>(alphabet[value])] = value;
    return table;
}

const std::array<uint8_t, 256> reverseTable = makeReverseTable();

size_t paddingLength(const std::string& text) {
    if (text.size() >= 2 && text[text.size() - 2] == '=')
        return text[text.size() - 1] == '=' ? 2 : 3;  // 3: "=" then a character, refused
    return !text.empty() && text.back() == '=' ? 1 : 0;
}

} // namespace

std::string base64Encode(const std::string& bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t at = 0; at < bytes.size(); at += 3) {
        size_t taken = bytes.size() - at < 3 ? bytes.size() - at : 3;
        uint32_t group = 0;
        for (size_t i = 0; i < 3; ++i)
            group = group << 8 | (i < taken ? static_cast<unsigned char>(bytes[at + i]) : 0u);
        for (size_t i = 0; i < 4; ++i)
            text += i <= taken ? alphabet[group >> (18 - 6 * i) & 63] : '=';
    }
    return text;
}

std::optional<std::string> base64Decode(const std::string& text) {
    size_t padding = paddingLength(text);
    if (text.size() % 4 != 0 || padding > 2)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    uint32_t bits = 0;
    size_t bitCount = 0;
    for (size_t i = 0; i < text.size() - padding; ++i) {
        uint8_t value = reverseTable[static_cast<unsigned char>(text[i])];
        if (value == notInAlphabet)
            return std::nullopt;
        bits = (bits << 6 | value) & 0xFFFFFF;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            bytes += static_cast<char>(bits >> bitCount & 0xFF);
        }
    }
    if ((bits & ((1u << bitCount) - 1)) != 0)
        return std::nullopt;  // stray bits under the padding
    return bytes;
}

} // namespace pkisim
