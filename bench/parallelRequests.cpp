// Requests on several connections (setAgentMaxConnections), side by side in
// one run with one connection:
// - aside: a fast call (getDevices) from one thread while another thread's
//   call is held 1 s by the service; its latency with n = 1 and n = 4;
// - mixed: 8 threads of fast calls beside one slow caller, completed fast
//   calls per second with n = 1 and n = 4, and the most sockets and threads
//   the process had meanwhile (at most n + 1 sockets: the request
//   connections and the notification one).
// pkisim runs as a child process, its faults set through its control socket.
//
// usage: bench_parallelRequests [--quick]
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "benchSupport.h"
#include "childProcess.h"
#include "childService.h"
#include "tempDir.h"
#include "tessera.h"

namespace {

using clock_type = std::chrono::steady_clock;

struct settings {
    int asideTries = 200;    // fast calls beside a slow one, n = 4
    int asideTriesOne = 3;   // the same with n = 1 (each waits up to a second)
    double mixedSeconds = 5; // per connection count
};

// Sends one command to the service's control socket.
void control(const std::string& socket, const std::vector<std::string>& command)
{
    std::vector<std::string> argv{PKISIM_BINARY, "ctl", "--control", socket};
    argv.insert(argv.end(), command.begin(), command.end());
    const testsupport::childResult result = testsupport::childProcess(argv, {}, "").finish(std::chrono::seconds(20));
    if (result.status != 0) {
        std::fprintf(stderr, "pkisim ctl failed: %s\n", result.err.c_str());
        std::exit(1);
    }
}

bool fastCall()
{
    vpkiReq req;
    bench::fillRequest(req, VPKI_DEV_getDevices, "{}");
    vpkiResp resp;
    return reqSync(DEVSERVICE, &req, &resp) && resp.errCode == VPKI_RESULT_OK;
}

void slowCall()
{
    vpkiReq req;
    bench::fillRequest(req, VPKI_SIGNX_signData, "{}");
    vpkiResp resp;
    reqSync(SIGNXSERVICE, &req, &resp);
}

// One thread keeps a slow call in flight until `stop`.
class slowCaller {
public:
    slowCaller()
        : thread([this] {
              while (!stop)
                  slowCall();
          })
    {
    }
    ~slowCaller()
    {
        stop = true;
        thread.join();
    }

private:
    std::atomic<bool> stop{false};
    std::thread thread;
};

int entries(const char* folder, const char* prefix)
{
    int count = 0;
    DIR* dir = opendir(folder);
    if (dir == nullptr)
        return -1;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (prefix == nullptr) {
            ++count;
            continue;
        }
        char target[64] = {};
        const std::string link = std::string(folder) + "/" + entry->d_name;
        count += readlink(link.c_str(), target, sizeof target - 1) > 0 && std::strncmp(target, prefix, 7) == 0;
    }
    closedir(dir);
    return count;
}

void aside(int n, int tries)
{
    setAgentMaxConnections(n);
    std::vector<double> ms;
    {
        slowCaller slow;
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the slow call reaches the service
        for (int i = 0; i < tries; ++i) {
            const auto start = clock_type::now();
            fastCall();
            ms.push_back(bench::millisecondsBetween(start, clock_type::now()));
        }
    }
    std::printf("aside   n=%d  %3d fast calls beside a 1 s one: median %8.3f ms  p99 %8.3f ms  max %8.3f ms\n", n,
                tries, bench::percentile(ms, 0.5), bench::percentile(ms, 0.99),
                *std::max_element(ms.begin(), ms.end()));
}

double mixed(int n, double seconds)
{
    setAgentMaxConnections(n);
    std::atomic<long> done{0};
    std::atomic<bool> stop{false};
    int mostSockets = 0;
    int mostThreads = 0;
    {
        slowCaller slow;
        std::vector<std::thread> fast;
        for (int i = 0; i < 8; ++i)
            fast.emplace_back([&] {
                while (!stop)
                    done += fastCall();
            });
        const auto end = clock_type::now() + std::chrono::duration<double>(seconds);
        while (clock_type::now() < end) {
            mostSockets = std::max(mostSockets, entries("/proc/self/fd", "socket:"));
            mostThreads = std::max(mostThreads, entries("/proc/self/task", nullptr));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        stop = true;
        for (auto& t : fast)
            t.join();
    }
    const double perSecond = done / seconds;
    std::printf("mixed   n=%d  8 fast threads beside a slow caller: %9.0f fast calls/s  at most %d sockets, %d "
                "threads (9 of them the bench's)\n",
                n, perSecond, mostSockets, mostThreads);
    return perSecond;
}

} // namespace

int main(int argc, char** argv)
{
    settings run;
    if (argc == 2 && std::strcmp(argv[1], "--quick") == 0)
        run = settings{5, 1, 0.3};
    else if (argc != 1) {
        std::fprintf(stderr, "usage: bench_parallelRequests [--quick]\n");
        return 2;
    }
    testsupport::tempDir dir;
    const std::string socket = dir.path() + "/control";
    bench::childService service(PKISIM_BINARY, {"--keys", dir.path() + "/keys", "--control", socket});
    control(socket, {"fault", "delay", "--method", "signxPlugin:signData", "--delay-ms", "1000", "--count", "-1"});
    if (!createAgent(nullptr, nullptr, nullptr) || !loginAgent("demo", "demo-app-id", "demo-token")) {
        std::fprintf(stderr, "login failed: %s\n", agentLastErrorText());
        return 1;
    }
    aside(1, run.asideTriesOne);
    aside(4, run.asideTries);
    const double one = mixed(1, run.mixedSeconds);
    const double four = mixed(4, run.mixedSeconds);
    std::printf("mixed   throughput n=4 / n=1: %.1fx\n", four / one);
    logoutAgent();
    releaseAgent();
    return 0;
}
