// The one line on standard error that every failed command ends with: text
// ("tessera: what failed"), or with --json a JSON object that a script can
// read: {"error":{"status":..,"name":..,"message":..,...}}.
#ifndef TESSERA_CLI_ERROR_REPORT_H
#define TESSERA_CLI_ERROR_REPORT_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "exitCodes.h"

namespace cli {

// Whether --json was given among the options (before a "--" that follows
// the command).
bool wantsJsonErrors(const std::vector<std::string>& args);

// The JSON object of a failure: status, name, message, and where known the
// library's error (code and description) and the service's errCode and
// error text.
nlohmann::ordered_json errorObject(const failure& f);

// Writes the line and returns the failure's exit status. A usage error
// points to the help of `commandName` (or the general help).
int reportFailure(const failure& f, const std::string& commandName, bool asJson);

} // namespace cli

#endif // TESSERA_CLI_ERROR_REPORT_H
