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
        setLastError(e.code(), e.what());
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

// A switch made from the list: a code written twice does not compile.
const char* errorName(int code)
{
#define TESSERA_ERROR_TEXT(name, value, text) \
    case value: return text;
    switch (code) {
        VPKI_ERRORS(TESSERA_ERROR_TEXT)
    }
#undef TESSERA_ERROR_TEXT
    return "unknown error";
}

} // namespace vant
