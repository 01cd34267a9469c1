// The C side of the Python request benchmark (python/bench/requests.py):
// logs in to the service on the fixed port as the demo application, then for
// each line "SIZE COUNT" on standard input sends COUNT requests with reqSync
// (vmailPlugin setTextBody, a JSON body of SIZE bytes, which pkisim echoes)
// and writes one line: the nanoseconds they took. Batches of the Python side
// and of this one can so alternate on one service.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "benchSupport.h"

namespace {

long long timeRequests(size_t size, long count)
{
    vpkiReq req;
    bench::fillRequest(req, VPKI_VMAIL_setTextBody, bench::jsonOfSize(size));
    vpkiResp resp;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        if (!reqSync(VMAILSERVICE, &req, &resp) || resp.errCode != VPKI_RESULT_OK)
            return -1;
    }
    const auto taken = std::chrono::steady_clock::now() - start;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(taken).count();
}

} // namespace

int main()
{
    if (!createAgent(nullptr, nullptr, nullptr) || !loginAgent("demo", "demo-app-id", "demo-token")) {
        std::fprintf(stderr, "bench_reqSyncLoop: no session: %s\n", agentLastErrorText());
        return 1;
    }
    size_t size = 0;
    long count = 0;
    int status = 0;
    while (std::cin >> size >> count) {
        const long long taken = timeRequests(size, count);
        if (taken < 0) {
            std::fprintf(stderr, "bench_reqSyncLoop: a request failed: %s\n", agentLastErrorText());
            status = 1;
            break;
        }
        std::cout << taken << std::endl;
    }
    logoutAgent();
    releaseAgent();
    return status;
}
