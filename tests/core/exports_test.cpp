// The shared library exports its C API and nothing else, under a SONAME.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

std::string run(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, pipe))
            output += line;
        pclose(pipe);
    }
    return output;
}

TEST(exports, onlyTheEightApiFunctionsAreDefined)
{
    const std::string listing =
        run("nm -D --defined-only --format=just-symbols '" TESSERA_LIBRARY "' | sed 's/@.*//'");
    std::set<std::string> symbols;
    size_t start = 0;
    for (size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1)
        symbols.insert(listing.substr(start, end - start));
    symbols.erase("TESSERA_0");  // the version node
    const std::set<std::string> api = {"createAgent", "loginAgent",  "logoutAgent", "reqSync",
                                       "reqAsync",    "releaseAgent", "rsaSignData", "eccSignData"};
    EXPECT_EQ(symbols, api);
}

TEST(exports, theLibraryHasASoname)
{
    const std::string dynamic = run("objdump -p '" TESSERA_LIBRARY "'");
    EXPECT_NE(dynamic.find("SONAME               libtessera.so.0"), std::string::npos) << dynamic;
}

} // namespace
