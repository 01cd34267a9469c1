// Exit statuses of the tessera command and the failure that carries one.
#ifndef TESSERA_CLI_EXIT_CODES_H
#define TESSERA_CLI_EXIT_CODES_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tessera.h"

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

// Every exit status with its name (for the JSON error object) and its line
// of the general help.
struct exitStatus {
    exitCode code;
    const char* name;
    const char* meaning;
};
const std::vector<exitStatus>& exitStatuses();
const char* exitName(exitCode code);

// Ends the command with `code`; the message goes to standard error. What is
// known of the cause goes with it: the library's error code, and the
// service's verdict when it answered.
class failure : public std::runtime_error {
public:
    failure(exitCode code, const std::string& message) : std::runtime_error(message), code(code) {}
    exitCode code;
    int libraryError = VPKI_OK;
    bool answered = false; // the service answered, with errCode
    int32_t errCode = 0;
    std::string serviceError; // the "error" member of the answer's body, when it has one
};

inline failure usageError(const std::string& message)
{
    return failure(exitUsage, message);
}

// The library's last failure on this thread (agentLastError and its text)
// as the command's: "what: why", with the exit status of its kind.
failure libraryFailure(const std::string& what);

// A failure of the library's code `error` with the text `why`.
failure libraryFailure(const std::string& what, int error, const std::string& why);

// The service answered `what` with a non-zero errCode: "what: the service
// answered errCode N: error text", exit status 1.
failure serviceRefusal(const std::string& what, const vpkiResp& resp);

} // namespace cli

#endif // TESSERA_CLI_EXIT_CODES_H
