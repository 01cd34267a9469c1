// Endurance: a long run of small requests on one agent, which must all
// succeed while the process's peak memory stays flat. pkisim runs as a
// child process, so that its memory stays out of the figures.
//
// usage: bench_endurance [--requests N]   (default 1000000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "benchSupport.h"
#include "childService.h"
#include "simServer.h"
#include "tempDir.h"
#include "tessera.h"

namespace {

constexpr int32_t getDevicesType = 16;
constexpr long warmRequests = 10000;

long requestCount(int argc, char** argv)
{
    if (argc == 1)
        return 1000000;
    if (argc == 3 && std::strcmp(argv[1], "--requests") == 0) {
        const long count = std::strtol(argv[2], nullptr, 10);
        if (count > 0)
            return count;
    }
    std::fprintf(stderr, "usage: bench_endurance [--requests N]\n");
    std::exit(2);
}

// Prints the progress line of one checkpoint.
void report(long done, long failures, std::chrono::steady_clock::time_point start)
{
    const double seconds = bench::millisecondsBetween(start, std::chrono::steady_clock::now()) / 1000;
    std::printf("%8ld requests  %ld failed  VmHWM %ld kB  %.1f s  %.0f requests/s\n", done, failures,
                bench::peakRssKb(), seconds, done / seconds);
    std::fflush(stdout);
}

bool isCheckpoint(long done, long total)
{
    return done == warmRequests || done == total || (total >= 10 && done % (total / 10) == 0);
}

long runRequests(long total)
{
    vpkiReq req;
    bench::fillRequest(req, getDevicesType, "{}");
    vpkiResp resp;
    long failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long done = 1; done <= total; ++done) {
        if (!reqSync(DEVSERVICE, &req, &resp) || resp.errCode != 0)
            ++failures;
        if (isCheckpoint(done, total))
            report(done, failures, start);
    }
    return failures;
}

} // namespace

int main(int argc, char** argv)
{
    const long total = requestCount(argc, argv);
    testsupport::tempDir keys;
    bench::childService service(PKISIM_BINARY, {"--keys", keys.path(), "--no-control"});
    if (!createAgent(nullptr, nullptr, nullptr) ||
        !loginAgent(pkisim::demoAppName, pkisim::demoAppID, pkisim::demoToken)) {
        std::fprintf(stderr, "bench_endurance: login to pkisim failed\n");
        return 1;
    }
    const long failures = runRequests(total);
    releaseAgent();
    std::printf("%s: %ld of %ld requests failed\n", failures == 0 ? "passed" : "FAILED", failures, total);
    return failures == 0 ? 0 : 1;
}
