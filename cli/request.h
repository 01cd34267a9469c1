// One synchronous request through the library.
#ifndef TESSERA_CLI_REQUEST_H
#define TESSERA_CLI_REQUEST_H

#include <cstdint>
#include <string>

#include "tessera.h"

namespace cli {

struct requestSpec {
    int service = 0; // PKI_SERVICE value
    int32_t msgType = 0;
    int32_t version = 1;
    int64_t extend = 0;
    std::string body; // JSON text of any length
};

// Sends the request and fills `resp`. Throws the library's failure when the
// service gave no answer.
void sendRequest(const requestSpec& spec, vpkiResp& resp);

} // namespace cli

#endif // TESSERA_CLI_REQUEST_H
