#include "cryptoKeys.h"

#include <cstring>

#include <openssl/core_names.h>

#include "cryptoEncoding.h"

namespace pkisim {
namespace {

constexpr int rsaBits = 2048;
const char eccCurve[] = "P-256";
const char eccCurveName[] = "prime256v1"; // how OpenSSL reports P-256

bool isP256(const EVP_PKEY* key)
{
    char group[64] = "";
    size_t length = 0;
    return EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, &length) == 1 &&
           std::strcmp(group, eccCurveName) == 0;
}

} // namespace

std::optional<keyKind> keyKindFromName(const std::string& name)
{
    if (name == "RSA")
        return keyKind::rsa;
    if (name == "ECC")
        return keyKind::ecc;
    return std::nullopt;
}

const char* keyKindName(keyKind kind)
{
    return kind == keyKind::rsa ? "RSA" : "ECC";
}

std::optional<keyKind> keyKindOf(const EVP_PKEY* key)
{
    if (EVP_PKEY_is_a(key, "RSA") && EVP_PKEY_get_bits(key) == rsaBits)
        return keyKind::rsa;
    if (EVP_PKEY_is_a(key, "EC") && isP256(key))
        return keyKind::ecc;
    return std::nullopt;
}

pkeyPtr generateKey(keyKind kind)
{
    pkeyPtr key(kind == keyKind::rsa ? EVP_RSA_gen(rsaBits) : EVP_EC_gen(eccCurve));
    if (!key)
        throwOpenSslError("cannot generate a key pair");
    return key;
}

std::string privateKeyPem(const EVP_PKEY* key)
{
    return bioText(
        [key](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr); });
}

} // namespace pkisim
