#include "cryptoHandles.h"

#include <stdexcept>
#include <string>

#include <openssl/err.h>

namespace pkisim {

void throwOpenSslError(const char* what) {
    char reason[256] = "no details";
    unsigned long code = ERR_get_error();
    if (code != 0)
        ERR_error_string_n(code, reason, sizeof reason);
    ERR_clear_error();
    throw std::runtime_error(std::string(what) + ": " + reason);
}

std::string bioText(BIO* bio) {
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<size_t>(length)) : std::string();
}

bioPtr newMemoryBio() {
    bioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio)
        throwOpenSslError("cannot allocate a memory buffer");
    return bio;
}

} // namespace pkisim
