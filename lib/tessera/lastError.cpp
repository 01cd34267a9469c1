#include "lastError.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include "failure.h"
#include "tessera.h"

namespace vant {

namespace {

// Plain thread-local storage: nothing to destroy at thread exit, so that the
// library can be unloaded while threads that called it live on.
thread_local int code = VPKI_OK;
thread_local char text[256];

int codeOf(failKind kind)
{
    switch (kind) {
    case failKind::cannotConnect: return VPKI_ERR_CANNOT_CONNECT;
    case failKind::timedOut: return VPKI_ERR_TIMED_OUT;
    case failKind::interrupted: return VPKI_ERR_INTERRUPTED;
    case failKind::connectionLost: return VPKI_ERR_CONNECTION_LOST;
    case failKind::httpStatus: return VPKI_ERR_HTTP_STATUS;
    case failKind::damagedReply: return VPKI_ERR_DAMAGED_REPLY;
    case failKind::replyTooLarge: return VPKI_ERR_REPLY_TOO_LARGE;
    case failKind::serviceException: return VPKI_ERR_SERVICE_EXCEPTION;
    case failKind::untrustedService: return VPKI_ERR_UNTRUSTED_SERVICE;
    }
    return VPKI_ERR_DAMAGED_REPLY;
}

} // namespace

void setLastError(int newCode, const std::string& newText)
{
    code = newCode;
    const size_t length = std::min(newText.size(), sizeof text - 1);
    std::memcpy(text, newText.data(), length);
    text[length] = 0;
}

void clearLastError()
{
    code = VPKI_OK;
    text[0] = 0;
}

// Thrift's own exceptions come from the generated code, which reads the
// reply: a message cut short, or a result missing.
void setLastErrorFromException()
{
    try {
        throw;
    } catch (const exchangeFailure& e) {
        setLastError(codeOf(e.kind()), e.what());
    } catch (const apache::thrift::TException& e) {
        setLastError(VPKI_ERR_DAMAGED_REPLY, std::string("damaged reply: ") + e.what());
    } catch (const std::bad_alloc&) {
        setLastError(VPKI_ERR_NO_RESOURCES, "out of memory");
    } catch (const std::exception& e) {
        setLastError(VPKI_ERR_DAMAGED_REPLY, e.what());
    } catch (...) {
        setLastError(VPKI_ERR_DAMAGED_REPLY, "unexpected failure");
    }
}

int lastErrorCode()
{
    return code;
}

lastErrorKept::lastErrorKept() : code(lastErrorCode()), text(lastErrorText()) {}

lastErrorKept::~lastErrorKept()
{
    setLastError(code, text);
}

const char* lastErrorText()
{
    return text;
}

const char* errorName(int code)
{
    static const char* const names[] = {
        "success",
        "agent not created",
        "not logged in",
        "bad argument",
        "cannot connect",
        "timed out",
        "interrupted",
        "connection lost",
        "HTTP status",
        "damaged reply",
        "service exception",
        "reply too large",
        "login refused",
        "service error",
        "out of resources",
        "untrusted service",
        "not allowed in a callback",
    };
    constexpr int known = sizeof names / sizeof names[0];
    static_assert(known == VPKI_ERR_IN_CALLBACK + 1, "a name for every code, in code order");
    return code >= 0 && code < known ? names[code] : "unknown error";
}

} // namespace vant
