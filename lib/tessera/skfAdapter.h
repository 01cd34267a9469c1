// The signing shortcuts behind rsaSignData and eccSignData, and the steps
// they are built from: reading the key location text, building the signing
// request body, and reading the signing response.
#ifndef TESSERA_SKF_ADAPTER_H
#define TESSERA_SKF_ADAPTER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "tessera.h"

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

// Carries one request as reqSync does (refused when not logged in); true
// when the service answered.
using requestSender = std::function<bool(PKI_SERVICE service, const vpkiReq& req, vpkiResp& resp)>;

// The shortcuts, with the results and outputs of rsaSignData and
// eccSignData; the calling thread's last error says why one failed.
uint32_t rsaSign(const requestSender& send, const char* url, const unsigned char* data, uint32_t dataLen,
                 unsigned char* signature, uint32_t* signatureLen);
uint32_t eccSign(const requestSender& send, const char* url, const unsigned char* data, uint32_t dataLen,
                 unsigned char* signature);

} // namespace vant

#endif // TESSERA_SKF_ADAPTER_H
