// The signing shortcuts rsaSignData and eccSignData (declared in tessera.h)
// and the steps they are built from: reading the key location text, building
// the signing request body, and reading the signing response.
#ifndef TESSERA_SKF_ADAPTER_H
#define TESSERA_SKF_ADAPTER_H

#include <cstddef>
#include <string>

namespace vant {

// The device key that signs: the three names of the key location text.
struct keyLocation {
    std::string devId;
    std::string appName;
    std::string conName;
};

// The request body is built in a 1024-byte text buffer: at most this many
// characters, terminating zero not counted.
constexpr size_t signRequestBodyMax = 1023;

// Reads the key location text: a JSON object with the string members
// "devId", "applicationName" and "containerName" (others are ignored).
// Returns false, leaving `out` untouched, for anything else.
bool parseUrl(const std::string& url, std::string& devId, std::string& appName, std::string& conName);

// Reads the signing response: a JSON object with the string members
// "strSignature" (Base64) and "strSignLen" (decimal digits). Returns false,
// leaving the outputs untouched, for anything else.
bool parseSignatureResponse(const std::string& body, std::string& signature, std::string& signLen);

// The signing request body for `key` and `dataLen` bytes of `data` (sent as
// Base64 text), the names written as JSON strings. Returns false when the
// body would be longer than signRequestBodyMax; `body` is then untouched
// and the data has not been read.
bool buildSignRequestBody(const keyLocation& key, const unsigned char* data, size_t dataLen, std::string& body);

} // namespace vant

#endif // TESSERA_SKF_ADAPTER_H
