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

} // namespace vant

#endif // TESSERA_LAST_ERROR_H
