// Pieces shared by the benchmark programs.
#ifndef TESSERA_BENCH_SUPPORT_H
#define TESSERA_BENCH_SUPPORT_H

#include <time.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "tessera.h"

namespace bench {

// A JSON object text of exactly `size` bytes (at least 8).
std::string jsonOfSize(size_t size);

// Fills `req` for `msgType` with `json`: in the text field when it fits,
// otherwise in the byte buffer, as an application does.
void fillRequest(vpkiReq& req, int32_t msgType, const std::string& json);

// Peak resident set size of this process (VmHWM), in kB; -1 when unknown.
long peakRssKb();

// CPU time used by every thread of this process so far.
std::chrono::microseconds processCpuTime();

// Microseconds on a CPU-time clock: CLOCK_THREAD_CPUTIME_ID,
// CLOCK_PROCESS_CPUTIME_ID or another process's (childService::cpuClock).
double cpuMicroseconds(clockid_t clock);

// The value at `fraction` (0 to 1) of the sorted values, nearest rank;
// `values` must not be empty.
double percentile(std::vector<double> values, double fraction);

// Milliseconds between two points of the steady clock.
double millisecondsBetween(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to);

} // namespace bench

#endif // TESSERA_BENCH_SUPPORT_H
