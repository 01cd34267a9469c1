// Owning handles for OpenSSL objects, and the one way OpenSSL failures leave
// the crypto units.
#ifndef PKISIM_CRYPTO_HANDLES_H
#define PKISIM_CRYPTO_HANDLES_H

#include <memory>
#include <string>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

namespace pkisim {

template <auto freeFunction>
struct openSslFree {
    template <class T>
    void operator()(T* object) const
    {
        freeFunction(object);
    }
};

using pkeyPtr = std::unique_ptr<EVP_PKEY, openSslFree<EVP_PKEY_free>>;
using mdCtxPtr = std::unique_ptr<EVP_MD_CTX, openSslFree<EVP_MD_CTX_free>>;
using x509Ptr = std::unique_ptr<X509, openSslFree<X509_free>>;
using x509ReqPtr = std::unique_ptr<X509_REQ, openSslFree<X509_REQ_free>>;
using x509NamePtr = std::unique_ptr<X509_NAME, openSslFree<X509_NAME_free>>;
using x509ExtPtr = std::unique_ptr<X509_EXTENSION, openSslFree<X509_EXTENSION_free>>;
using bioPtr = std::unique_ptr<BIO, openSslFree<BIO_free>>;
using bnPtr = std::unique_ptr<BIGNUM, openSslFree<BN_free>>;
using ecdsaSigPtr = std::unique_ptr<ECDSA_SIG, openSslFree<ECDSA_SIG_free>>;

// Throws std::runtime_error naming `what` and the oldest queued OpenSSL error,
// and empties the error queue so later calls start clean.
[[noreturn]] void throwOpenSslError(const char* what);

} // namespace pkisim

#endif // PKISIM_CRYPTO_HANDLES_H
