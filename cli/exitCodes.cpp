#include "exitCodes.h"

#include "tessera.h"

namespace cli {

namespace {

exitCode exitFor(int error)
{
    switch (error) {
    case VPKI_ERR_CANNOT_CONNECT: return exitUnreachable;
    case VPKI_ERR_LOGIN_REFUSED: return exitLoginRefused;
    case VPKI_ERR_TIMED_OUT: return exitTimedOut;
    case VPKI_ERR_HTTP_STATUS:
    case VPKI_ERR_DAMAGED_REPLY:
    case VPKI_ERR_CONNECTION_LOST:
    case VPKI_ERR_SERVICE_EXCEPTION:
    case VPKI_ERR_REPLY_TOO_LARGE: return exitServiceFailed;
    case VPKI_ERR_UNTRUSTED_SERVICE: return exitUntrusted;
    default: return exitRequestFailed;
    }
}

} // namespace

failure libraryFailure(const std::string& what)
{
    const int error = agentLastError();
    const std::string why = agentLastErrorText();
    return failure(exitFor(error), what + ": " + (why.empty() ? agentErrorString(error) : why));
}

} // namespace cli
