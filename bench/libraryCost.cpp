// Two builds of the library side by side in one run: the cost of a 20 B
// request (getDevices) on one thread, each library loaded on its own
// (dlopen, so that each has its own agent) against one pkisim. Rounds of
// calls alternate between the two, so that a change in the machine's speed
// touches both alike; the program prints each library's median per call and
// the ratio second / first with its range over the rounds.
//
// usage: bench_libraryCost FIRST.so SECOND.so [--rounds N]
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "benchSupport.h"
#include "childService.h"
#include "tempDir.h"
#include "tessera.h"

namespace {

constexpr int callsPerRound = 2000;

// The functions of one loaded library.
struct library {
    decltype(&createAgent) create;
    decltype(&loginAgent) login;
    decltype(&reqSync) request;
    decltype(&releaseAgent) release;

    explicit library(const char* path)
    {
        void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            std::fprintf(stderr, "%s\n", dlerror());
            std::exit(1);
        }
        create = reinterpret_cast<decltype(create)>(dlsym(handle, "createAgent"));
        login = reinterpret_cast<decltype(login)>(dlsym(handle, "loginAgent"));
        request = reinterpret_cast<decltype(request)>(dlsym(handle, "reqSync"));
        release = reinterpret_cast<decltype(release)>(dlsym(handle, "releaseAgent"));
        if (!create || !login || !request || !release || !create(nullptr, nullptr, nullptr) ||
            !login("demo", "demo-app-id", "demo-token")) {
            std::fprintf(stderr, "%s: cannot log in\n", path);
            std::exit(1);
        }
    }

    // The median wall time of one call, in microseconds, over a round.
    double round(const vpkiReq& req)
    {
        std::vector<double> us;
        vpkiResp resp;
        for (int i = 0; i < callsPerRound; ++i) {
            const auto start = std::chrono::steady_clock::now();
            if (!request(DEVSERVICE, &req, &resp)) {
                std::fprintf(stderr, "a request failed\n");
                std::exit(1);
            }
            us.push_back(bench::millisecondsBetween(start, std::chrono::steady_clock::now()) * 1000);
        }
        return bench::percentile(us, 0.5);
    }
};

} // namespace

int main(int argc, char** argv)
{
    int rounds = 10;
    if (argc == 5 && std::strcmp(argv[3], "--rounds") == 0)
        rounds = std::atoi(argv[4]);
    else if (argc != 3 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_libraryCost FIRST.so SECOND.so [--rounds N]\n");
        return 2;
    }
    testsupport::tempDir keys;
    bench::childService service(PKISIM_BINARY, {"--keys", keys.path(), "--no-control"});
    library first(argv[1]);
    library second(argv[2]);
    vpkiReq req;
    bench::fillRequest(req, VPKI_DEV_getDevices, bench::jsonOfSize(20));
    first.round(req); // warm both
    second.round(req);
    std::vector<double> a;
    std::vector<double> b;
    std::vector<double> ratio;
    for (int r = 0; r < rounds; ++r) {
        const bool firstFirst = r % 2 == 0;
        const double one = firstFirst ? first.round(req) : 0;
        const double two = second.round(req);
        const double oneAfter = firstFirst ? one : first.round(req);
        a.push_back(oneAfter);
        b.push_back(two);
        ratio.push_back(two / oneAfter);
    }
    std::printf("20 B request, median per call: first %.2f us, second %.2f us; second / first %.3f (rounds %.3f - "
                "%.3f)\n",
                bench::percentile(a, 0.5), bench::percentile(b, 0.5), bench::percentile(ratio, 0.5),
                *std::min_element(ratio.begin(), ratio.end()), *std::max_element(ratio.begin(), ratio.end()));
    second.release();
    first.release();
    return 0;
}
