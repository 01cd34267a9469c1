// Why the calling thread's last call of the interface failed: a code of
// tessera.h and a line of text, kept per thread.
#ifndef TESSERA_LAST_ERROR_H
#define TESSERA_LAST_ERROR_H

#include <string>

namespace vant {

void setLastError(int code, const std::string& text);
// The call succeeded.
void clearLastError();
// Records what the exception in flight stands for; call it in a catch block.
void setLastErrorFromException();
int lastErrorCode();
const char* lastErrorText();
// A short fixed description of a code ("cannot connect"); "unknown error"
// for a value that is no code.
const char* errorName(int code);

// Keeps the calling thread's last error as it is across a scope: what the
// log callback's own calls record must not change the outcome of the call
// that it reports on.
class lastErrorKept {
public:
    lastErrorKept();
    ~lastErrorKept();
    lastErrorKept(const lastErrorKept&) = delete;
    lastErrorKept& operator=(const lastErrorKept&) = delete;

private:
    int code;
    std::string text;
};

} // namespace vant

#endif // TESSERA_LAST_ERROR_H
