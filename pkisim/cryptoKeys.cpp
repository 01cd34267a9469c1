#include "cryptoKeys.h"

#include <cstring>

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/pem.h>

namespace pkisim {
namespace {

constexpr int rsaBits = 2048;
const char eccCurve[] = "P-256";
const char eccCurveName[] = "prime256v1";  // how OpenSSL reports P-256

bool isP256(const EVP_PKEY* key) {
    char group[64] = "";
    size_t length = 0;
    return EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group,
                                          sizeof group, &length) == 1
           && std::strcmp(group, eccCurveName) == 0;
}

} // namespace

std::optional<keyKind> keyKindFromName(const std::string& name) {
    if (name == "RSA")
        return keyKind::rsa;
    if (name == "ECC")
        return keyKind::ecc;
    return std::nullopt;
}

const char* keyKindName(keyKind kind) {
    return kind == keyKind::rsa ? "RSA" : "ECC";
}

std::optional<keyKind> keyKindOf(const EVP_PKEY* key) {
    if (EVP_PKEY_is_a(key, "RSA") && EVP_PKEY_get_bits(key) == rsaBits)
        return keyKind::rsa;
    if (EVP_PKEY_is_a(key, "EC") && isP256(key))
        return keyKind::ecc;
    return std::nullopt;
}

pkeyPtr generateKey(keyKind kind) {
    pkeyPtr key(kind == keyKind::rsa ? EVP_RSA_gen(rsaBits) : EVP_EC_gen(eccCurve));
    if (!key)
        throwOpenSslError("cannot generate a key pair");
    return key;
}

std::string privateKeyPem(const EVP_PKEY* key) {
    bioPtr bio = newMemoryBio();
    if (PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throwOpenSslError("cannot write a private key");
    return bioText(bio.get());
}

pkeyPtr privateKeyFromPem(const std::string& pem) {
    bioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    // An empty passphrase: an encrypted key fails here instead of prompting.
    char noPassphrase[] = "";
    pkeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, noPassphrase) : nullptr);
    ERR_clear_error();
    return key;
}

std::string publicKeyPem(const EVP_PKEY* key) {
    bioPtr bio = newMemoryBio();
    if (PEM_write_bio_PUBKEY(bio.get(), key) != 1)
        throwOpenSslError("cannot write a public key");
    return bioText(bio.get());
}

std::string publicKeyDer(const EVP_PKEY* key) {
    unsigned char* der = nullptr;
    int length = i2d_PUBKEY(key, &der);
    if (length <= 0)
        throwOpenSslError("cannot encode a public key");
    std::string bytes(reinterpret_cast<char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    return bytes;
}

} // namespace pkisim
