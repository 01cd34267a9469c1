// Small free functions for time, identifiers, paths, files, wide strings and
// the process environment.
#ifndef TESSERA_TOOLS_H
#define TESSERA_TOOLS_H

#include <pthread.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vant {
namespace tool {

// Milliseconds since boot, for measuring intervals: never steps back.
long getStartmsec();
// Seconds since the epoch.
int64_t getLocalTime();
// Milliseconds since the epoch.
int64_t getLocalTime_msec();
// 32 characters drawn at random from the Base64 alphabet; every call gives a
// new one. Empty when the system has no random bytes to give.
std::string getUUID();
// Suspends the calling thread for ms milliseconds.
void sleep(int ms);
// Full paths (dir, '/', name) of the entries of dir that are not directories;
// empty when dir cannot be read.
std::vector<std::string> getFileInDir(const char* dir);
// Local time of day as HH:MM:SS.mmm into buf (at least 13 bytes); returns 12.
int getCurTimestring(char* buf);
// Local date as YYYYMMDD into buf (at least 9 bytes); returns 8, or 0 for a
// year beyond 9999.
int getCurDaystring(char* buf);
pthread_t getTID();
// Not provided: both return an empty string.
std::wstring str2wstr(std::string text, unsigned int codePage);
std::string wstr2str(std::wstring text, unsigned int codePage);
int64_t getPID();
// The calling thread's errno.
int getLastError();
bool _isLittleEndian();
// _isLittleEndian(), worked out once.
bool isLittleEndian();
// Stores the low 8 bits of each character of text in out[0 .. length - 1],
// without a terminator, when size is at least the text's length; otherwise
// writes nothing. Returns out.
char* convEChar(const std::wstring& text, char* out, int size);
// The same for narrow text: each char is sign-extended into a wchar_t.
wchar_t* convEWChar(const std::string& text, wchar_t* out, int size);
// The library reads no environment: always empty.
std::string getEnv(const char* name);
// True when path starts with '/' and is longer than 3 characters.
bool isAbsPath(const char* path);
// access(path, mode) succeeds.
bool isHasPermission(const char* path, int mode);
bool pathExist(const char* path);
// Creates path and its missing parents (mode 0755); '/' and '\\' both end a
// component. False for an empty path, one of 260 characters or more, or when
// a directory cannot be made.
bool createDir(const char* path);
// Directory of the running executable with a trailing '/'; empty on failure.
std::string getExecPath();
// The part of path after its last '/' or '\\'.
std::string getNameOfFile(const char* path);

} // namespace tool
} // namespace vant

#endif // TESSERA_TOOLS_H
