#include "tempDir.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace testsupport {

tempDir::tempDir()
{
    char pattern[] = "/tmp/tessera-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
}

tempDir::~tempDir()
{
    // Destructors must not throw, also not at program exit for the shared one.
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

const std::string& sharedKeyDir()
{
    static const tempDir keys;
    return keys.path();
}

} // namespace testsupport
