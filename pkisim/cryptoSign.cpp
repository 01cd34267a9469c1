#include "cryptoSign.h"

#include <openssl/err.h>

#include "cryptoEncoding.h"
#include "cryptoKeys.h"

namespace pkisim {
namespace {

std::string digestSign(EVP_PKEY* key, const std::string& data)
{
    mdCtxPtr ctx(EVP_MD_CTX_new());
    size_t length = 0;
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(ctx.get(), nullptr, &length, reinterpret_cast<const unsigned char*>(data.data()), data.size()) !=
            1)
        throwOpenSslError("cannot sign");
    std::string signature(length, '\0');
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(&signature[0]), &length,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1)
        throwOpenSslError("cannot sign");
    signature.resize(length);
    return signature;
}

bool digestVerify(EVP_PKEY* key, const std::string& data, const std::string& signature)
{
    mdCtxPtr ctx(EVP_MD_CTX_new());
    bool verified =
        ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
        EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                         reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
    ERR_clear_error(); // a refused signature leaves errors behind
    return verified;
}

void putField(const BIGNUM* value, unsigned char* field)
{
    if (BN_bn2binpad(value, field, static_cast<int>(eccFieldBytes)) != static_cast<int>(eccFieldBytes))
        throwOpenSslError("ECDSA value does not fit its field");
}

} // namespace

std::string signSha256(EVP_PKEY* key, const std::string& data)
{
    std::string signature = digestSign(key, data);
    return keyKindOf(key) == keyKind::ecc ? eccBlockFromDer(signature) : signature;
}

bool verifySha256(EVP_PKEY* key, const std::string& data, const std::string& signature)
{
    if (keyKindOf(key) != keyKind::ecc)
        return digestVerify(key, data, signature);
    std::string der = eccDerFromBlock(signature);
    return !der.empty() && digestVerify(key, data, der);
}

std::string eccBlockFromDer(const std::string& der)
{
    const ecdsaSigPtr sig = fromDer<ecdsaSigPtr>(der, d2i_ECDSA_SIG);
    if (!sig)
        throwOpenSslError("malformed ECDSA signature");
    std::string block(eccBlockBytes, '\0');
    unsigned char* fields = reinterpret_cast<unsigned char*>(&block[0]);
    putField(ECDSA_SIG_get0_r(sig.get()), fields);
    putField(ECDSA_SIG_get0_s(sig.get()), fields + eccFieldBytes);
    return block;
}

std::string eccDerFromBlock(const std::string& block)
{
    if (block.size() != eccBlockBytes)
        return std::string();
    const unsigned char* fields = reinterpret_cast<const unsigned char*>(block.data());
    bnPtr r(BN_bin2bn(fields, static_cast<int>(eccFieldBytes), nullptr));
    bnPtr s(BN_bin2bn(fields + eccFieldBytes, static_cast<int>(eccFieldBytes), nullptr));
    ecdsaSigPtr sig(ECDSA_SIG_new());
    if (!r || !s || !sig || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1)
        throwOpenSslError("cannot build an ECDSA signature");
    r.release(); // owned by sig now
    s.release();
    return derOf(sig.get(), i2d_ECDSA_SIG);
}

std::string sha256(const std::string& data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throwOpenSslError("cannot hash");
    return std::string(reinterpret_cast<char*>(digest), length);
}

} // namespace pkisim
