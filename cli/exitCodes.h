// Exit statuses of the tessera command and the failure that carries one.
#ifndef TESSERA_CLI_EXIT_CODES_H
#define TESSERA_CLI_EXIT_CODES_H

#include <stdexcept>
#include <string>

namespace cli {

enum exitCode : int {
    exitOk = 0,
    exitRequestFailed = 1, // the service answered with an error, or the library failed otherwise
    exitUsage = 2,         // bad command line or input
    exitUnreachable = 3,   // nothing accepts connections on the service's port
    exitLoginRefused = 4,  // the service is there but did not accept the login
    exitFileError = 5,     // an input or output file could not be read or written
    exitTimedOut = 6,      // the service did not answer in time
    exitServiceFailed = 7, // the service's answer was no answer: HTTP error, exception, damaged, too large, cut off
    exitUntrusted = 8,     // the service's port belongs to another user: nothing was sent
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

// The library's last failure on this thread (agentLastError and its text)
// as the command's: "what: why", with the exit status of its kind.
failure libraryFailure(const std::string& what);

} // namespace cli

#endif // TESSERA_CLI_EXIT_CODES_H
