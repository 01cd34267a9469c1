// Temporary directories of the tests, made under /tmp so that a Unix socket
// path inside one stays short.
#ifndef TESSERA_TESTS_TEMP_DIR_H
#define TESSERA_TESTS_TEMP_DIR_H

#include <string>

namespace testsupport {

// A fresh empty directory, removed with everything in it at destruction.
class tempDir {
public:
    tempDir(); // throws std::runtime_error when none can be made
    ~tempDir();
    tempDir(const tempDir&) = delete;
    tempDir& operator=(const tempDir&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A directory shared by the whole test program for pkisim's device keys:
// the first store generates them, every later one only loads them.
const std::string& sharedKeyDir();

} // namespace testsupport

#endif // TESSERA_TESTS_TEMP_DIR_H
