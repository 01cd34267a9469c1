#include "tools.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "base64.h"

namespace vant {
namespace tool {

namespace {

constexpr size_t uuidLength = 32;
// Room for a path of 259 characters and its terminator.
constexpr size_t maxDirPath = 260;

bool fillRandom(unsigned char* buf, size_t n)
{
    size_t got = 0;
    while (got < n) {
        ssize_t r = getrandom(buf + got, n - got, 0);
        if (r < 0 && errno != EINTR)
            return false;
        if (r > 0)
            got += static_cast<size_t>(r);
    }
    return true;
}

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// File systems that do not report entry types get the type from the inode.
bool isDirectoryEntry(DIR* dir, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    struct stat st;
    return fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool fitsInto(size_t length, int size)
{
    return size >= 0 && static_cast<size_t>(size) >= length;
}

// time() reads a coarse clock that can lag a few milliseconds behind this
// one; every wall-clock function reads this one so that they agree.
timespec wallClock()
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

struct dirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

} // namespace

long getStartmsec()
{
    timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec * 1000L + now.tv_nsec / 1000000L;
}

int64_t getLocalTime()
{
    return wallClock().tv_sec;
}

int64_t getLocalTime_msec()
{
    timespec now = wallClock();
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// 256 is a multiple of 64, so each random byte picks a character uniformly.
std::string getUUID()
{
    unsigned char bytes[uuidLength];
    if (!fillRandom(bytes, sizeof bytes))
        return std::string();
    std::string uuid;
    uuid.reserve(uuidLength);
    for (unsigned char b : bytes)
        uuid += base64char[b % 64];
    return uuid;
}

void sleep(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::vector<std::string> getFileInDir(const char* dir)
{
    std::vector<std::string> files;
    if (dir == nullptr || dir[0] == 0)
        return files;
    std::unique_ptr<DIR, dirCloser> handle(opendir(dir));
    if (!handle)
        return files;
    std::string prefix(dir);
    if (prefix.back() != '/')
        prefix += '/';
    while (const dirent* entry = readdir(handle.get())) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        if (!isDirectoryEntry(handle.get(), entry))
            files.push_back(prefix + entry->d_name);
    }
    return files;
}

// One clock reading, so that the milliseconds belong to the printed second.
int getCurTimestring(char* buf)
{
    if (buf == nullptr)
        return 0;
    timespec now = wallClock();
    tm local{};
    localtime_r(&now.tv_sec, &local);
    strftime(buf, 9, "%H:%M:%S", &local);
    snprintf(buf + 8, 5, ".%03u", static_cast<unsigned>(now.tv_nsec / 1000000) % 1000u);
    return 12;
}

int getCurDaystring(char* buf)
{
    if (buf == nullptr)
        return 0;
    time_t now = wallClock().tv_sec;
    tm local{};
    localtime_r(&now, &local);
    return static_cast<int>(strftime(buf, 9, "%Y%m%d", &local));
}

pthread_t getTID()
{
    return pthread_self();
}

std::wstring str2wstr(std::string, unsigned int)
{
    return std::wstring();
}

std::string wstr2str(std::wstring, unsigned int)
{
    return std::string();
}

int64_t getPID()
{
    return getpid();
}

int getLastError()
{
    return errno;
}

bool _isLittleEndian()
{
    const int one = 1;
    unsigned char first;
    memcpy(&first, &one, 1);
    return first == 1;
}

bool isLittleEndian()
{
    static const bool little = _isLittleEndian();
    return little;
}

char* convEChar(const std::wstring& text, char* out, int size)
{
    if (out == nullptr || !fitsInto(text.size(), size))
        return out;
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(text[i] & 0xFF));
    return out;
}

wchar_t* convEWChar(const std::string& text, wchar_t* out, int size)
{
    if (out == nullptr || !fitsInto(text.size(), size))
        return out;
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<wchar_t>(static_cast<signed char>(text[i]));
    return out;
}

std::string getEnv(const char*)
{
    return std::string();
}

bool isAbsPath(const char* path)
{
    return path != nullptr && path[0] == '/' && strnlen(path, 4) > 3;
}

bool isHasPermission(const char* path, int mode)
{
    return path != nullptr && access(path, mode) == 0;
}

bool pathExist(const char* path)
{
    return path != nullptr && access(path, F_OK) == 0;
}

// Walks the path one character at a time and makes each missing prefix that
// ends a component. Directories made before a failure remain.
bool createDir(const char* path)
{
    if (path == nullptr || path[0] == 0)
        return false;
    if (pathExist(path))
        return true;
    size_t length = strnlen(path, maxDirPath);
    if (length >= maxDirPath)
        return false;
    char prefix[maxDirPath] = {};
    for (size_t i = 0; i < length; ++i) {
        prefix[i] = path[i];
        bool componentEnds = i + 1 == length || isSeparator(path[i + 1]);
        // EEXIST: someone else made it meanwhile, which is as good.
        if (componentEnds && !pathExist(prefix) && mkdir(prefix, 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

std::string getExecPath()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf)
        return std::string();
    std::string exe(buf, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return exe.substr(0, slash + 1);
}

std::string getNameOfFile(const char* path)
{
    if (path == nullptr)
        return std::string();
    const char* name = path;
    for (const char* p = path; *p != 0; ++p) {
        if (isSeparator(*p))
            name = p + 1;
    }
    return name;
}

} // namespace tool
} // namespace vant
