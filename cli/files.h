// Whole-file input and output for commands that read data or write results.
#ifndef TESSERA_CLI_FILES_H
#define TESSERA_CLI_FILES_H

#include <string>

namespace cli {

// The bytes of `path`, or of standard input for "-". Throws a failure with
// exitFileError when it cannot be read.
std::string readAll(const std::string& path);

// Replaces the content of `path` with `bytes`. Throws a failure with
// exitFileError when it cannot be written.
void writeAll(const std::string& path, const std::string& bytes);

} // namespace cli

#endif // TESSERA_CLI_FILES_H
