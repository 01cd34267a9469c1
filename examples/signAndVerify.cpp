// Signs a text with both signing shortcuts, rsaSignData and eccSignData,
// and checks each signature with OpenSSL against the device's public key
// (deviceOperator exportPublicKey). The device signs the SHA-256 digest:
// PKCS#1 v1.5 for RSA, and for ECC a 128-byte block of r then s, each
// right-aligned in 64 bytes, which OpenSSL takes as a DER ECDSA signature.
//
//   sign-and-verify [TEXT]
//
// The key location is named as the shortcuts take it: "devId",
// "applicationName", "containerName" (the request bodies of the device
// service name the same things "devID", "appName", "conName").
#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <string>

#include "tessera.h"

namespace {

// The PEM public key of a container, or "".
std::string publicKeyPem(const std::string& devID)
{
    vpkiReq req;
    req.msgType = VPKI_DEV_exportPublicKey;
    req.version = 1;
    std::snprintf(req.jsonBody, sizeof req.jsonBody, R"({"devID":"%s","appName":"pkisim","conName":"sign"})",
                  devID.c_str());
    vpkiResp resp;
    if (!reqSync(DEVSERVICE, &req, &resp) || resp.errCode != VPKI_RESULT_OK)
        return std::string();
    const std::string body = resp.body->getDataString();
    const std::string member = "\"publicKeyPem\":\"";
    const size_t from = body.find(member);
    const size_t to = from == std::string::npos ? from : body.find('"', from + member.size());
    if (to == std::string::npos)
        return std::string();
    std::string pem = body.substr(from + member.size(), to - from - member.size());
    for (size_t at = pem.find("\\n"); at != std::string::npos; at = pem.find("\\n", at))
        pem.replace(at, 2, "\n");
    return pem;
}

// r || s as a DER-encoded ECDSA signature.
std::string derFromBlock(const unsigned char* block)
{
    ECDSA_SIG* sig = ECDSA_SIG_new();
    ECDSA_SIG_set0(sig, BN_bin2bn(block, 64, nullptr), BN_bin2bn(block + 64, 64, nullptr));
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig, &der);
    std::string out = length > 0 ? std::string(reinterpret_cast<char*>(der), static_cast<size_t>(length)) : "";
    OPENSSL_free(der);
    ECDSA_SIG_free(sig);
    return out;
}

bool verifies(const std::string& pem, const std::string& text, const std::string& signature)
{
    BIO* in = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    EVP_PKEY* key = PEM_read_bio_PUBKEY(in, nullptr, nullptr, nullptr);
    BIO_free(in);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    const bool ok = key != nullptr && EVP_DigestVerifyInit(ctx, nullptr, EVP_sha256(), nullptr, key) == 1 &&
                    EVP_DigestVerify(ctx, reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                                     reinterpret_cast<const unsigned char*>(text.data()), text.size()) == 1;
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
    return ok;
}

std::string keyLocation(const std::string& devId)
{
    return R"({"devId":")" + devId + R"(","applicationName":"pkisim","containerName":"sign"})";
}

// Signs with one shortcut and checks the result; prints one line.
bool signAndCheck(bool ecc, const std::string& devId, const std::string& text)
{
    const auto* data = reinterpret_cast<const unsigned char*>(text.data());
    const auto length = static_cast<uint32_t>(text.size());
    unsigned char signature[VPKI_RSA_SIGNATURE_MAX];
    uint32_t signatureLen = VPKI_ECC_SIGNATURE_SIZE;
    const uint32_t result = ecc ? eccSignData(keyLocation(devId).c_str(), data, length, signature)
                                : rsaSignData(keyLocation(devId).c_str(), data, length, signature, &signatureLen);
    const char* kind = ecc ? "ECC" : "RSA";
    if (result != VPKI_SIGN_OK) {
        std::printf("%s: signing failed: %s\n", kind, agentLastErrorText());
        return false;
    }
    const std::string checked =
        ecc ? derFromBlock(signature) : std::string(reinterpret_cast<char*>(signature), signatureLen);
    const bool ok = verifies(publicKeyPem(devId), text, checked);
    std::printf("%s: %u-byte signature %s\n", kind, signatureLen, ok ? "verified" : "DOES NOT VERIFY");
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string text = argc > 1 ? argv[1] : "hello";
    if (!createAgent(nullptr, nullptr, nullptr) || !loginAgent("demo", "demo-app-id", "demo-token")) {
        std::fprintf(stderr, "sign-and-verify: %s\n", agentLastErrorText());
        releaseAgent();
        return 1;
    }
    const bool rsa = signAndCheck(false, "SIM-RSA-01", text);
    const bool ecc = signAndCheck(true, "SIM-ECC-01", text);
    logoutAgent();
    releaseAgent();
    return rsa && ecc ? 0 : 1;
}
