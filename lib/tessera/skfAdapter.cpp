#include "skfAdapter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base64.h"
#include "jsonText.h"
#include "lastError.h"
#include "log.h"
#include "tessera.h"

namespace vant {
namespace {

constexpr size_t decodeCapacity = 4096;

// An RSA request that could not be carried has always been told on standard
// output; once the application set a log callback, the line goes there
// instead, so that the application alone decides what reaches its output.
void reportUncarriedRsaRequest()
{
    const char* const line = "call reqSync failrue for rsaSignData.";
    if (logging())
        logLine("%s", line);
    else
        std::puts(line);
}

} // namespace

bool parseUrl(const std::string& url, std::string& devId, std::string& appName, std::string& conName)
{
    return readStringMembers(url, {{"devId", &devId}, {"applicationName", &appName}, {"containerName", &conName}});
}

bool parseSignatureResponse(const std::string& body, std::string& signature, std::string& signLen)
{
    return readStringMembers(body, {{"strSignature", &signature}, {"strSignLen", &signLen}});
}

bool buildSignRequestBody(const keyLocation& key, const unsigned char* data, size_t dataLen, std::string& body)
{
    const std::string head = "{\"devID\":" + jsonQuote(key.devId) + ",\"appName\":" + jsonQuote(key.appName) +
                             ",\"conName\":" + jsonQuote(key.conName) + ",\"srcData\":\"";
    const std::string tail = "\",\"type\":\"3\"}";
    // Measured before encoding, so that an oversized length is refused
    // without reading the data (Base64 text is longer than its data).
    if (dataLen > signRequestBodyMax)
        return false;
    const size_t encodedLength = (dataLen + 2) / 3 * 4;
    if (head.size() + encodedLength + tail.size() > signRequestBodyMax)
        return false;
    body = head + base64_encode(data, dataLen) + tail;
    return true;
}

} // namespace vant

namespace {

// A signature as the service returned it, decoded into a zeroed buffer.
struct decodedSignature {
    unsigned char bytes[vant::decodeCapacity] = {};
    int32_t length = 0;
};

enum class signOutcome {
    signedOk,   // `decodedSignature` holds a signature that matches its stated length
    refused,    // bad arguments, or an answer without a valid signature (the reason recorded)
    notCarried, // reqSync did not carry the request (it recorded why)
};

signOutcome refusedFor(int code, const char* why)
{
    vant::setLastError(code, why);
    return signOutcome::refused;
}

bool fillSignRequest(const char* url, const unsigned char* data, uint32_t dataLen, vpkiReq& req)
{
    vant::keyLocation key;
    if (!vant::parseUrl(url, key.devId, key.appName, key.conName))
        return false;
    std::string body;
    if (!vant::buildSignRequestBody(key, data, dataLen, body))
        return false;
    req.msgType = VPKI_SIGNX_signData;
    req.version = 1;
    req.extend = 0;
    req.body->setSize(static_cast<int64_t>(body.size()) + 1);
    std::memcpy(req.body->getData(), body.data(), body.size());
    return true;
}

// Decodes the answer's signature; true only when it decodes and its length
// equals the stated one (read as atoi reads it; out of range never matches).
bool readSignature(const vpkiResp& resp, decodedSignature& out)
{
    std::string signature;
    std::string signLen;
    if (!vant::parseSignatureResponse(resp.body->getDataString(), signature, signLen))
        return false;
    const int32_t decoded = vant::base64_decode<vant::decodeCapacity>(signature.c_str(), out.bytes);
    if (decoded == -1 || std::strtol(signLen.c_str(), nullptr, 10) != decoded)
        return false;
    out.length = decoded;
    return true;
}

signOutcome requestSignature(const vant::requestSender& send, const char* url, const unsigned char* data,
                             uint32_t dataLen, decodedSignature& out)
{
    if (url == nullptr || (data == nullptr && dataLen != 0))
        return refusedFor(VPKI_ERR_BAD_ARGUMENT, "null key location or data");
    vpkiReq req;
    if (!fillSignRequest(url, data, dataLen, req))
        return refusedFor(VPKI_ERR_BAD_ARGUMENT, "the key location is not a JSON object with devId, "
                                                 "applicationName and containerName, or the data is too long");
    vpkiResp resp;
    if (!send(SIGNXSERVICE, req, resp))
        return signOutcome::notCarried;
    // The answer's body decides, whatever its errCode; the errCode only
    // tells which failure it was.
    if (readSignature(resp, out))
        return signOutcome::signedOk;
    if (resp.errCode != VPKI_RESULT_OK)
        return refusedFor(VPKI_ERR_SERVICE_ERROR,
                          ("the service did not sign: errCode " + std::to_string(resp.errCode)).c_str());
    return refusedFor(VPKI_ERR_DAMAGED_REPLY, "damaged reply: the answer holds no valid signature");
}

} // namespace

namespace vant {

uint32_t rsaSign(const requestSender& send, const char* url, const unsigned char* data, uint32_t dataLen,
                 unsigned char* signature, uint32_t* signatureLen)
{
    if (signature == nullptr || signatureLen == nullptr) {
        refusedFor(VPKI_ERR_BAD_ARGUMENT, "null signature output");
        return VPKI_SIGN_FAILED;
    }
    decodedSignature decoded;
    const signOutcome outcome = requestSignature(send, url, data, dataLen, decoded);
    if (outcome == signOutcome::notCarried)
        reportUncarriedRsaRequest();
    if (outcome != signOutcome::signedOk)
        return VPKI_SIGN_FAILED;
    std::memcpy(signature, decoded.bytes, static_cast<size_t>(decoded.length));
    *signatureLen = static_cast<uint32_t>(decoded.length);
    return VPKI_SIGN_OK;
}

uint32_t eccSign(const requestSender& send, const char* url, const unsigned char* data, uint32_t dataLen,
                 unsigned char* signature)
{
    if (signature == nullptr) {
        refusedFor(VPKI_ERR_BAD_ARGUMENT, "null signature output");
        return VPKI_SIGN_FAILED;
    }
    decodedSignature decoded;
    if (requestSignature(send, url, data, dataLen, decoded) != signOutcome::signedOk)
        return VPKI_SIGN_FAILED;
    // A longer answer cannot be an r||s block; cutting it would pass off
    // a damaged signature as a good one.
    if (decoded.length > VPKI_ECC_SIGNATURE_SIZE) {
        refusedFor(VPKI_ERR_DAMAGED_REPLY, "damaged reply: the signature is longer than an r and s block");
        return VPKI_SIGN_FAILED;
    }
    // r and s: the two 64-byte halves as the service sent them, zero beyond
    // the decoded bytes.
    std::memcpy(signature, decoded.bytes, VPKI_ECC_SIGNATURE_SIZE);
    return VPKI_SIGN_OK;
}

} // namespace vant
