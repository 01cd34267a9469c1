// X.509 certificates of the simulated devices: self-signed signing
// certificates, encodings, and the summary that parseCert reports.
#ifndef PKISIM_CRYPTO_CERT_H
#define PKISIM_CRYPTO_CERT_H

#include <string>

#include "cryptoHandles.h"

namespace pkisim {

// A self-signed end-entity certificate for signing with `key`, subject
// CN=commonName, O=pkisim, valid from a day ago for twenty years.
x509Ptr makeSelfSignedCert(EVP_PKEY* key, const std::string& commonName);

bool certMatchesKey(const X509* cert, const EVP_PKEY* key);

struct certSummary {
    std::string subject; // RFC 2253 form, "CN=...,O=..."
    std::string issuer;
    std::string serialNumber; // upper-case hexadecimal
    std::string notBefore;    // "YYYY-MM-DDTHH:MM:SSZ"
    std::string notAfter;
    std::string keyType; // "RSA", "ECC" or OpenSSL's name of another type
    int keyBits = 0;
    std::string signatureAlgorithm; // OpenSSL's long name, e.g. "ecdsa-with-SHA256"
};
certSummary summarizeCert(const X509* cert);

} // namespace pkisim

#endif // PKISIM_CRYPTO_CERT_H
