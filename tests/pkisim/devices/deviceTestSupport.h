// Helpers of the device tests: calling a store with JSON bodies, and checking
// its output with OpenSSL directly rather than with the store's own code.
#ifndef PKISIM_DEVICE_TEST_SUPPORT_H
#define PKISIM_DEVICE_TEST_SUPPORT_H

#include <cstdint>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "deviceStore.h"

namespace devtest {

struct reply {
    int32_t code = -1;
    nlohmann::json body;
};

// Calls `method` and parses the reply, which must always be a JSON object.
reply callText(pkisim::deviceStore& store, const std::string& service, const std::string& method,
               const std::string& requestBody);
reply call(pkisim::deviceStore& store, const std::string& service, const std::string& method,
           const nlohmann::json& request);

// {"devID","appName":"pkisim","conName":"sign"} of a device's default key.
nlohmann::json keyOf(const std::string& devId);

// The signing request as the client library sends it.
nlohmann::json signRequest(const std::string& devId, const std::string& data);

std::string toBase64(const std::string& bytes);
std::string fromBase64(const std::string& text);  // fails the test on bad input

struct pkeyFree { void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); } };
struct x509Free { void operator()(X509* cert) const { X509_free(cert); } };
using pkey = std::unique_ptr<EVP_PKEY, pkeyFree>;
using x509 = std::unique_ptr<X509, x509Free>;

pkey publicKeyFromPem(const std::string& pem);
x509 certFromDer(const std::string& der);

// Checks a device-format signature of SHA-256(data): PKCS#1 v1.5 for RSA; for
// EC the 128-byte r|s block, rebuilt into a DER ECDSA signature first.
bool verifies(EVP_PKEY* key, const std::string& data, const std::string& signature);

// A fresh empty directory, removed with everything in it at destruction.
class tempDir {
public:
    tempDir();
    ~tempDir();
    tempDir(const tempDir&) = delete;
    tempDir& operator=(const tempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A directory of keys shared by the whole test program, so that each new
// store loads its default keys instead of generating them.
const std::string& sharedKeyDir();

} // namespace devtest

#endif // PKISIM_DEVICE_TEST_SUPPORT_H
