// Checks signatures made by device keys with OpenSSL, SHA-256 in every case,
// independently of the code that made them.
#ifndef TESSERA_TESTS_SIGNATURE_CHECK_H
#define TESSERA_TESTS_SIGNATURE_CHECK_H

#include <string>

namespace signcheck {

// A PKCS#1 v1.5 signature of `data` by the RSA key of a PEM certificate.
bool rsaVerifies(const std::string& certificatePem, const std::string& data, const std::string& signature);

// A 128-byte block holding r then s, each right-aligned in 64 bytes, that
// signs `data` with the EC key of a PEM certificate.
bool eccBlockVerifies(const std::string& certificatePem, const std::string& data, const std::string& block);

} // namespace signcheck

#endif // TESSERA_TESTS_SIGNATURE_CHECK_H
