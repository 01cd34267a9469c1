// Base64 (standard alphabet, padded, no line breaks) for binary values that
// travel inside JSON bodies.
#ifndef PKISIM_CRYPTO_BASE64_H
#define PKISIM_CRYPTO_BASE64_H

#include <optional>
#include <string>

namespace pkisim {

std::string base64Encode(const std::string& bytes);

// The bytes of `text`, or nothing when it is not canonical Base64: a length
// that is not a multiple of 4, a character outside the alphabet (white space
// included), padding anywhere but at the end, or non-zero bits under the
// padding. The empty text decodes to no bytes.
std::optional<std::string> base64Decode(const std::string& text);

} // namespace pkisim

#endif // PKISIM_CRYPTO_BASE64_H
