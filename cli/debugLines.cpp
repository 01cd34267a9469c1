#include "debugLines.h"

#include <atomic>
#include <cstdio>

#include "tessera.h"

namespace cli {
namespace {

std::atomic<bool> shown{false};

void onLibraryLine(const char* line, void*)
{
    if (shown)
        std::fprintf(stderr, "tessera: debug: %s\n", line);
}

} // namespace

void routeDebugLines(bool verbose)
{
    shown = verbose;
    setAgentLogger(onLibraryLine, nullptr);
}

void debugLine(const std::string& line)
{
    onLibraryLine(line.c_str(), nullptr);
}

} // namespace cli
