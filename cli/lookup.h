// Services and methods named on the command line, resolved through the
// message-type catalogue.
#ifndef TESSERA_CLI_LOOKUP_H
#define TESSERA_CLI_LOOKUP_H

#include <cstdint>
#include <string>

namespace cli {

// The PKI_SERVICE value of a service given by its wire name
// ("deviceOperator"), contract name ("devService"), enumerator name
// ("DEVSERVICE") or number (0 to 3). Throws a usage failure otherwise.
int resolveService(const std::string& word);

// The message type of a method of `service` given by name ("getDevInfo") or
// by message type ("17"). Throws a usage failure when the catalogue has no
// such method for the service.
int32_t resolveMethod(int service, const std::string& word);

// Parses a whole decimal number within [low, high]; false otherwise.
bool parseNumber(const std::string& word, long long low, long long high, long long& value);

} // namespace cli

#endif // TESSERA_CLI_LOOKUP_H
