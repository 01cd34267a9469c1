// A service (pkisim, the reference server) as a child process, so that its
// own CPU time and memory stay out of the figures of the measuring process.
#ifndef TESSERA_BENCH_CHILD_SERVICE_H
#define TESSERA_BENCH_CHILD_SERVICE_H

#include <time.h>

#include <string>
#include <vector>

#include "childProcess.h"

namespace bench {

class childService {
public:
    // Starts `program` with `args` and waits until it reports that it
    // listens. Throws std::runtime_error when it does not within 60 s.
    childService(const std::string& program, const std::vector<std::string>& args);
    // Stops the service (SIGTERM) and waits for it.
    ~childService();
    childService(const childService&) = delete;
    childService& operator=(const childService&) = delete;

    // The CPU-time clock of the service's process (all its threads), for
    // bench::cpuMicroseconds. Throws std::runtime_error when unavailable.
    clockid_t cpuClock() const;

private:
    testsupport::childProcess process;
};

} // namespace bench

#endif // TESSERA_BENCH_CHILD_SERVICE_H
