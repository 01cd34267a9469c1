#include "exitCodes.h"

#include <nlohmann/json.hpp>

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

// The "error" member of a JSON body, or "".
std::string errorMember(const std::string& body)
{
    const nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    if (parsed.is_object() && parsed.contains("error") && parsed["error"].is_string())
        return parsed["error"].get<std::string>();
    return std::string();
}

} // namespace

const std::vector<exitStatus>& exitStatuses()
{
    static const std::vector<exitStatus> all = {
        {exitOk, "ok", "success"},
        {exitRequestFailed, "requestFailed", "request failed: the service answered with an error"},
        {exitUsage, "usage", "usage error: bad command line or input"},
        {exitUnreachable, "unreachable", "service unreachable: nothing listens on 127.0.0.1:18080"},
        {exitLoginRefused, "loginRefused", "login refused: the service did not accept the credentials"},
        {exitFileError, "fileError", "file error: an input or output file could not be read or written"},
        {exitTimedOut, "timedOut", "timed out: the service did not answer in time"},
        {exitServiceFailed, "serviceFailed",
         "service failure: an HTTP error, an exception, a damaged or cut-off reply"},
        {exitUntrusted, "untrusted", "untrusted service: the port belongs to another user; nothing was sent"},
    };
    return all;
}

const char* exitName(exitCode code)
{
    for (const exitStatus& status : exitStatuses())
        if (status.code == code)
            return status.name;
    return "unknown";
}

failure libraryFailure(const std::string& what, int error, const std::string& why)
{
    failure f(exitFor(error), what + ": " + (why.empty() ? agentErrorString(error) : why));
    f.libraryError = error;
    return f;
}

failure libraryFailure(const std::string& what)
{
    const int error = agentLastError();
    return libraryFailure(what, error, agentLastErrorText());
}

failure serviceRefusal(const std::string& what, const vpkiResp& resp)
{
    const std::string error = errorMember(resp.body->getDataString());
    failure f(exitRequestFailed, what + ": the service answered errCode " + std::to_string(resp.errCode) +
                                     (error.empty() ? std::string() : ": " + error));
    f.answered = true;
    f.errCode = resp.errCode;
    f.serviceError = error;
    return f;
}

} // namespace cli
