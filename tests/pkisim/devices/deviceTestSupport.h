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
#include "signatureCheck.h"
#include "tempDir.h"

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

struct x509Free { void operator()(X509* cert) const { X509_free(cert); } };
using x509 = std::unique_ptr<X509, x509Free>;

x509 certFromDer(const std::string& der);

// Signature checks and temporary directories shared with the other tests.
using signcheck::pkey;
using signcheck::publicKeyFromPem;
using signcheck::verifies;
using testsupport::sharedKeyDir;
using testsupport::tempDir;

} // namespace devtest

#endif // PKISIM_DEVICE_TEST_SUPPORT_H
