#include "cryptoHandles.h"

#include <stdexcept>
#include <string>

#include <openssl/err.h>

namespace pkisim {

void throwOpenSslError(const char* what)
{
    char reason[256] = "no details";
    unsigned long code = ERR_get_error();
    if (code != 0)
        ERR_error_string_n(code, reason, sizeof reason);
    ERR_clear_error();
    throw std::runtime_error(std::string(what) + ": " + reason);
}

} // namespace pkisim
