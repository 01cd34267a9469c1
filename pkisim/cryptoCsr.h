// PKCS#10 certificate requests made with a device key.
#ifndef PKISIM_CRYPTO_CSR_H
#define PKISIM_CRYPTO_CSR_H

#include <string>

#include "cryptoHandles.h"

namespace pkisim {

// The name in `text`, written as RFC 2253 prints it ("CN=alice,O=Example,C=CN",
// most specific first): comma-separated attribute=value pairs with attribute
// names OpenSSL knows and non-empty values, without escapes (so values hold
// no commas). Null when malformed.
x509NamePtr parseDistinguishedName(const std::string& text);

// A request for `subject`, signed with `key` over SHA-256.
x509ReqPtr makeCsr(EVP_PKEY* key, const X509_NAME* subject);

} // namespace pkisim

#endif // PKISIM_CRYPTO_CSR_H
