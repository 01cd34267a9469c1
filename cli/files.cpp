#include "files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include "exitCodes.h"

namespace cli {
namespace {

failure fileFailure(const std::string& what, const std::string& path, int error)
{
    return failure(exitFileError, "cannot " + what + " '" + path + "': " + std::strerror(error));
}

// Closes the file when it goes out of scope; the close of a written file is
// checked by writeAll itself.
struct fileCloser {
    FILE* file;
    ~fileCloser()
    {
        if (file != nullptr)
            std::fclose(file);
    }
};

} // namespace

std::string readAll(const std::string& path)
{
    if (path == "-") {
        std::ostringstream content;
        content << std::cin.rdbuf();
        if (std::cin.bad())
            throw failure(exitFileError, "cannot read standard input");
        return content.str();
    }
    fileCloser in{std::fopen(path.c_str(), "rb")};
    if (in.file == nullptr)
        throw fileFailure("read", path, errno);
    std::string bytes;
    char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in.file)) > 0)
        bytes.append(chunk, got);
    if (std::ferror(in.file))
        throw fileFailure("read", path, errno);
    return bytes;
}

void writeAll(const std::string& path, const std::string& bytes)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        throw fileFailure("write", path, errno);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const int writeError = errno;
    if (std::fclose(out) != 0 || !written)
        throw fileFailure("write", path, written ? errno : writeError);
}

} // namespace cli
