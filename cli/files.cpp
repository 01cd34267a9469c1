#include "files.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "exitCodes.h"

namespace cli {

std::string readAll(const std::string& path)
{
    if (path == "-") {
        std::ostringstream content;
        content << std::cin.rdbuf();
        return content.str();
    }
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.is_open() || file.bad())
        throw failure(exitFileError, "cannot read '" + path + "'");
    return bytes;
}

void writeAll(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (file.fail())
        throw failure(exitFileError, "cannot write '" + path + "'");
}

} // namespace cli
