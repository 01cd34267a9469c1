// Encodings of binary values and OpenSSL objects: Base64 for JSON bodies,
// DER, and PEM text.
#ifndef PKISIM_CRYPTO_ENCODING_H
#define PKISIM_CRYPTO_ENCODING_H

#include <functional>
#include <optional>
#include <string>

#include <openssl/err.h>
#include <openssl/pem.h>

#include "cryptoHandles.h"

namespace pkisim {

// Standard alphabet, padded, no line breaks.
std::string base64Encode(const std::string& bytes);
// The bytes of `text`, or nothing when it is not canonical Base64: a length
// that is not a multiple of 4, a character outside the alphabet (white space
// included), padding anywhere but at the end, or non-zero bits under the
// padding. The empty text decodes to no bytes.
std::optional<std::string> base64Decode(const std::string& text);

// What `write` (a PEM_write_bio or print function; 1 is success) puts into a
// memory BIO. Throws when it fails.
std::string bioText(const std::function<int(BIO*)>& write);

template <typename T>
std::string pemOf(const T* object, int (*write)(BIO*, const T*))
{
    return bioText([&](BIO* bio) { return write(bio, object); });
}

// The bytes an i2d function encodes `object` to. Throws when it fails.
template <typename T>
std::string derOf(const T* object, int (*encode)(const T*, unsigned char**))
{
    unsigned char* der = nullptr;
    const int length = encode(object, &der);
    if (length <= 0)
        throwOpenSslError("cannot encode DER");
    std::string bytes(reinterpret_cast<char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    return bytes;
}

// The object a PEM_read_bio function finds in `pem` (an encrypted one fails
// instead of prompting for a passphrase); null when there is none.
template <typename Ptr>
Ptr fromPem(const std::string& pem,
            typename Ptr::pointer (*read)(BIO*, typename Ptr::pointer*, pem_password_cb*, void*))
{
    bioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    char noPassphrase[] = "";
    Ptr object(bio ? read(bio.get(), nullptr, nullptr, noPassphrase) : nullptr);
    ERR_clear_error();
    return object;
}

// The object a d2i function decodes from exactly all of `der`; null otherwise.
template <typename Ptr>
Ptr fromDer(const std::string& der,
            typename Ptr::pointer (*decode)(typename Ptr::pointer*, const unsigned char**, long))
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(der.data());
    Ptr object(decode(nullptr, &at, static_cast<long>(der.size())));
    ERR_clear_error();
    return at == reinterpret_cast<const unsigned char*>(der.data()) + der.size() ? std::move(object) : nullptr;
}

} // namespace pkisim

#endif // PKISIM_CRYPTO_ENCODING_H
