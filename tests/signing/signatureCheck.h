// Checks signatures made by device keys against the device's certificate
// with OpenSSL, SHA-256 in both cases.
#ifndef TESSERA_TESTS_SIGNATURE_CHECK_H
#define TESSERA_TESTS_SIGNATURE_CHECK_H

#include <string>

namespace signcheck {

// An RSA PKCS#1 v1.5 signature of `data`.
bool rsaVerifies(const std::string& certificatePem, const std::string& data, const std::string& signature);

// A 128-byte block holding r then s, each right-aligned in 64 bytes, that
// is an ECDSA signature of `data`.
bool eccBlockVerifies(const std::string& certificatePem, const std::string& data, const std::string& block);

} // namespace signcheck

#endif // TESSERA_TESTS_SIGNATURE_CHECK_H
