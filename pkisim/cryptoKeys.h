// Key pairs of the simulated devices: RSA-2048 and ECC P-256.
#ifndef PKISIM_CRYPTO_KEYS_H
#define PKISIM_CRYPTO_KEYS_H

#include <optional>
#include <string>

#include "cryptoHandles.h"

namespace pkisim {

enum class keyKind { rsa, ecc };

// "RSA" and "ECC", the names used in device specs and request bodies.
std::optional<keyKind> keyKindFromName(const std::string& name);
const char* keyKindName(keyKind kind);

// The kind of a key a device can hold (RSA of 2048 bits, EC on P-256); nothing
// for any other key.
std::optional<keyKind> keyKindOf(const EVP_PKEY* key);

pkeyPtr generateKey(keyKind kind);

// Unencrypted PKCS#8 PEM of the private key.
std::string privateKeyPem(const EVP_PKEY* key);

} // namespace pkisim

#endif // PKISIM_CRYPTO_KEYS_H
