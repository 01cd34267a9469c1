#include "signatureCheck.h"

#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>

namespace signcheck {
namespace {

template <typename T, void (*Free)(T*)>
struct deleter {
    void operator()(T* p) const { Free(p); }
};
using x509Ptr = std::unique_ptr<X509, deleter<X509, X509_free>>;
using bioPtr = std::unique_ptr<BIO, deleter<BIO, BIO_free_all>>;
using mdCtxPtr = std::unique_ptr<EVP_MD_CTX, deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using ecdsaSigPtr = std::unique_ptr<ECDSA_SIG, deleter<ECDSA_SIG, ECDSA_SIG_free>>;
using pkey = std::unique_ptr<EVP_PKEY, deleter<EVP_PKEY, EVP_PKEY_free>>;

bioPtr memoryBio(const std::string& text)
{
    return bioPtr(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

pkey certificateKey(const std::string& pem)
{
    const bioPtr bio = memoryBio(pem);
    const x509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    return pkey(cert ? X509_get_pubkey(cert.get()) : nullptr);
}

// A DER-encoded signature (PKCS#1 v1.5 for RSA) of SHA-256(data).
bool sha256Verifies(EVP_PKEY* key, const std::string& data, const std::string& signature)
{
    mdCtxPtr ctx(EVP_MD_CTX_new());
    EVP_PKEY_CTX* keyCtx = nullptr;
    if (EVP_DigestVerifyInit(ctx.get(), &keyCtx, EVP_sha256(), nullptr, key) != 1)
        return false;
    if (EVP_PKEY_base_id(key) == EVP_PKEY_RSA && EVP_PKEY_CTX_set_rsa_padding(keyCtx, RSA_PKCS1_PADDING) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                            reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
}

// The block's r and s as a DER-encoded ECDSA signature; empty for a block
// of the wrong size.
std::string derFromBlock(const std::string& block)
{
    if (block.size() != 128)
        return std::string();
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
    ecdsaSigPtr sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(bytes, 64, nullptr);
    BIGNUM* s = BN_bin2bn(bytes + 64, 64, nullptr);
    if (ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return std::string();
    }
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &der);
    if (length <= 0)
        return std::string();
    std::string out(reinterpret_cast<const char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    return out;
}

// The signature in the device format for the certificate key's kind.
bool certificateKeyVerifies(const std::string& pem, int keyType, const std::string& data, const std::string& signature)
{
    const pkey key = certificateKey(pem);
    if (!key || EVP_PKEY_base_id(key.get()) != keyType)
        return false;
    if (keyType != EVP_PKEY_EC)
        return sha256Verifies(key.get(), data, signature);
    const std::string der = derFromBlock(signature);
    return !der.empty() && sha256Verifies(key.get(), data, der);
}

} // namespace

bool rsaVerifies(const std::string& certificatePem, const std::string& data, const std::string& signature)
{
    return certificateKeyVerifies(certificatePem, EVP_PKEY_RSA, data, signature);
}

bool eccBlockVerifies(const std::string& certificatePem, const std::string& data, const std::string& block)
{
    return certificateKeyVerifies(certificatePem, EVP_PKEY_EC, data, block);
}

} // namespace signcheck
