// The key directory: each device's initial key pair and certificate as PEM
// files, so that keys and certificates stay the same across runs.
//
// Layout: "<keyDir>/<devId>.key.pem" (unencrypted PKCS#8 private key, mode
// 0600) and "<keyDir>/<devId>.cert.pem" (the self-signed certificate).
#ifndef PKISIM_DEVICE_KEY_DIR_H
#define PKISIM_DEVICE_KEY_DIR_H

#include <string>

#include "cryptoHandles.h"
#include "cryptoKeys.h"

namespace pkisim {

struct keyMaterial {
    pkeyPtr key;
    x509Ptr cert;
};

// With an empty keyDir, a fresh key pair and certificate. Otherwise the ones
// in keyDir (created when missing), with whatever is missing generated and
// written there. Two stores that start at once over one directory end up
// with the same files. Throws std::runtime_error when a file cannot be read
// or written, or holds something else than a key of `kind` and a certificate
// of that key: such files are reported, never replaced.
keyMaterial loadOrCreateKeys(const std::string& keyDir, const std::string& devId, keyKind kind);

// Whether `devId` can name the files above: 1 to 64 characters among letters,
// digits, '.', '_' and '-', not starting with '.'.
bool isValidDeviceId(const std::string& devId);

} // namespace pkisim

#endif // PKISIM_DEVICE_KEY_DIR_H
