#include "cryptoCsr.h"

#include <vector>

#include <openssl/err.h>

namespace pkisim {
namespace {

bool addNamePart(X509_NAME* name, const std::string& part)
{
    size_t equals = part.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == part.size())
        return false;
    std::string field = part.substr(0, equals);
    std::string value = part.substr(equals + 1);
    return X509_NAME_add_entry_by_txt(name, field.c_str(), MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>(value.c_str()),
                                      static_cast<int>(value.size()), -1, 0) == 1;
}

} // namespace

x509NamePtr parseDistinguishedName(const std::string& text)
{
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    x509NamePtr name(X509_NAME_new());
    if (!name)
        throwOpenSslError("cannot allocate a name");
    // RFC 2253 text lists the most specific entry first, the name stores it last.
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        if (!addNamePart(name.get(), *part)) {
            ERR_clear_error();
            return nullptr;
        }
    }
    return name;
}

x509ReqPtr makeCsr(EVP_PKEY* key, const X509_NAME* subject)
{
    x509ReqPtr csr(X509_REQ_new());
    if (!csr || X509_REQ_set_version(csr.get(), X509_REQ_VERSION_1) != 1 ||
        X509_REQ_set_subject_name(csr.get(), subject) != 1 || X509_REQ_set_pubkey(csr.get(), key) != 1 ||
        X509_REQ_sign(csr.get(), key, EVP_sha256()) <= 0)
        throwOpenSslError("cannot make a certificate request");
    return csr;
}

} // namespace pkisim
