// Checks signatures made by device keys with OpenSSL, SHA-256 in every case,
// independently of the code that made them.
#ifndef TESSERA_TESTS_SIGNATURE_CHECK_H
#define TESSERA_TESTS_SIGNATURE_CHECK_H

#include <memory>
#include <string>

#include <openssl/evp.h>

namespace signcheck {

struct pkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using pkey = std::unique_ptr<EVP_PKEY, pkeyFree>;

// The key of a PEM "PUBLIC KEY" block; null when there is none.
pkey publicKeyFromPem(const std::string& pem);

// A device-format signature of `data` by `key`: PKCS#1 v1.5 for RSA; for EC
// a 128-byte block holding r then s, each right-aligned in 64 bytes.
bool verifies(EVP_PKEY* key, const std::string& data, const std::string& signature);

// The same with the key of a PEM certificate, which must be an RSA key.
bool rsaVerifies(const std::string& certificatePem, const std::string& data, const std::string& signature);

// The same with the key of a PEM certificate, which must be an EC key.
bool eccBlockVerifies(const std::string& certificatePem, const std::string& data, const std::string& block);

} // namespace signcheck

#endif // TESSERA_TESTS_SIGNATURE_CHECK_H
