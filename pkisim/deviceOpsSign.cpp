// Signing with a container's key pair, and verifying such signatures.
#include "deviceOps.h"

#include "cryptoSign.h"

namespace pkisim {
namespace ops {
namespace {

using json = nlohmann::json;

// "type" names the signing mode; "3", hash with SHA-256 then sign, is the
// only one, and the mode when the member is absent.
const char sha256SignType[] = "3";

void requireSignType(const json& body)
{
    std::optional<std::string> type = optionalStringMember(body, "type");
    if (type && *type != sha256SignType)
        throw requestError(errCode::unsupported, "signing type \"" + *type + "\" not supported");
}

} // namespace

json signData(const request& req)
{
    requireSignType(req.body);
    std::string data = base64Member(req.body, "srcData");
    std::string signature = signSha256(requestedKey(req), data);
    return {{"strSignature", base64Encode(signature)}, {"strSignLen", std::to_string(signature.size())}};
}

json verifySignData(const request& req)
{
    requireSignType(req.body);
    std::string data = base64Member(req.body, "srcData");
    std::string signature = base64Member(req.body, "signature");
    if (!verifySha256(requestedKey(req), data, signature))
        throw requestError(errCode::verificationFailed, "signature does not verify");
    return {{"verified", true}};
}

} // namespace ops
} // namespace pkisim
