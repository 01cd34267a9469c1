// Exit statuses of the tessera command and the failure that carries one.
#ifndef TESSERA_CLI_EXIT_CODES_H
#define TESSERA_CLI_EXIT_CODES_H

#include <stdexcept>
#include <string>

namespace cli {

enum exitCode : int {
    exitOk = 0,
    exitRequestFailed = 1,  // the exchange failed or the service answered an error
    exitUsage = 2,          // bad command line or input
    exitUnreachable = 3,    // nothing listens on the service's port
    exitLoginRefused = 4,   // the service is there but did not accept the login
    exitFileError = 5,      // an input or output file could not be read or written
};

// Ends the command with `code`; the message goes to standard error.
class failure : public std::runtime_error {
public:
    failure(exitCode code, const std::string& message) : std::runtime_error(message), code(code) {}
    const exitCode code;
};

inline failure usageError(const std::string& message)
{
    return failure(exitUsage, message);
}

} // namespace cli

#endif // TESSERA_CLI_EXIT_CODES_H
