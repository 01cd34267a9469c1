// The service's own version (vantService getVersions), which no request of
// the library's interface reaches: a short session of the command's own
// over the contract's generated client, with the library's owner check of
// the service's port before the credentials are sent.
#ifndef TESSERA_CLI_SERVICE_VERSION_H
#define TESSERA_CLI_SERVICE_VERSION_H

#include <nlohmann/json.hpp>

#include "settings.h"

namespace cli {

// Logs in with `login`, asks getVersions, logs out; returns the answer's
// body. Throws a failure with the exit status of what went wrong.
nlohmann::ordered_json serviceVersions(const credentials& login);

} // namespace cli

#endif // TESSERA_CLI_SERVICE_VERSION_H
