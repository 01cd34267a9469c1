#include "cryptoEncoding.h"

namespace pkisim {

namespace {

// The '=' at the end of Base64 text, at most two.
size_t paddingOf(const std::string& text)
{
    size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    return padding;
}

} // namespace

std::string base64Encode(const std::string& bytes)
{
    std::string text((bytes.size() + 2) / 3 * 4 + 1, '\0'); // and the terminating NUL
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::optional<std::string> base64Decode(const std::string& text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string bytes(text.size() / 4 * 3, '\0');
    const int length =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&bytes[0]),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    // The block decoder counts padding as zero bytes, and tolerates white
    // space and stray bits: only text that encodes back to itself is taken.
    const size_t padding = paddingOf(text);
    if (length < 0 || static_cast<size_t>(length) < padding)
        return std::nullopt;
    bytes.resize(static_cast<size_t>(length) - padding);
    if (base64Encode(bytes) != text)
        return std::nullopt;
    return bytes;
}

std::string bioText(const std::function<int(BIO*)>& write)
{
    bioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1)
        throwOpenSslError("cannot write PEM or text");
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<size_t>(length)) : std::string();
}

} // namespace pkisim
