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

// Each function under the version node of the release that added it; the
// nodes of earlier releases never change.
TEST(exports, onlyTheApiFunctionsAreDefinedEachInItsVersionNode)
{
    const std::string listing = run("nm -D --defined-only --format=just-symbols '" TESSERA_LIBRARY "'");
    std::set<std::string> symbols;
    size_t start = 0;
    for (size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1)
        symbols.insert(listing.substr(start, end - start));
    const std::set<std::string> api = {
        "TESSERA_0",
        "TESSERA_0.2",
        "TESSERA_0.3",
        "createAgent@@TESSERA_0",
        "loginAgent@@TESSERA_0",
        "logoutAgent@@TESSERA_0",
        "reqSync@@TESSERA_0",
        "reqAsync@@TESSERA_0",
        "releaseAgent@@TESSERA_0",
        "rsaSignData@@TESSERA_0",
        "eccSignData@@TESSERA_0",
        "agentLastError@@TESSERA_0.2",
        "agentLastErrorText@@TESSERA_0.2",
        "agentErrorString@@TESSERA_0.2",
        "setAgentLogger@@TESSERA_0.2",
        "setAgentMaxConnections@@TESSERA_0.3",
        "vpkiReqNew@@TESSERA_0.3",
        "vpkiReqFree@@TESSERA_0.3",
        "vpkiReqSetBody@@TESSERA_0.3",
        "vpkiRespNew@@TESSERA_0.3",
        "vpkiRespFree@@TESSERA_0.3",
        "vpkiRespText@@TESSERA_0.3",
        "tesseraVersion@@TESSERA_0.3",
    };
    EXPECT_EQ(symbols, api);
}

TEST(exports, theLibraryHasASoname)
{
    const std::string dynamic = run("objdump -p '" TESSERA_LIBRARY "'");
    EXPECT_NE(dynamic.find("SONAME               libtessera.so.0"), std::string::npos) << dynamic;
}

} // namespace
