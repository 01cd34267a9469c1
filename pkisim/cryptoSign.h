// Signatures as the simulated devices make them: SHA-256 of the data, then
// RSA PKCS#1 v1.5 (as long as the modulus) or ECDSA returned as a 128-byte
// block of two 64-byte fields, r then s, each right-aligned big-endian.
#ifndef PKISIM_CRYPTO_SIGN_H
#define PKISIM_CRYPTO_SIGN_H

#include <cstddef>
#include <string>

#include "cryptoHandles.h"

namespace pkisim {

constexpr size_t eccFieldBytes = 64;
constexpr size_t eccBlockBytes = 2 * eccFieldBytes;

std::string signSha256(EVP_PKEY* key, const std::string& data);

// Whether `signature`, in the device format for the key's kind, signs `data`.
bool verifySha256(EVP_PKEY* key, const std::string& data, const std::string& signature);

// Between OpenSSL's DER ECDSA-Sig-Value and the 128-byte block. The first
// throws on a malformed DER value; the second returns "" for a block that is
// not 128 bytes.
std::string eccBlockFromDer(const std::string& der);
std::string eccDerFromBlock(const std::string& block);

std::string sha256(const std::string& data);

} // namespace pkisim

#endif // PKISIM_CRYPTO_SIGN_H
