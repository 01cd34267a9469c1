#include "benchSupport.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace bench {

std::string jsonOfSize(size_t size)
{
    const std::string head = "{\"d\":\"";
    const std::string tail = "\"}";
    const size_t filler = size > head.size() + tail.size() ? size - head.size() - tail.size() : 0;
    return head + std::string(filler, 'x') + tail;
}

void fillRequest(vpkiReq& req, int32_t msgType, const std::string& json)
{
    req.msgType = msgType;
    req.version = 1;
    req.extend = 0;
    std::memset(req.jsonBody, 0, sizeof req.jsonBody);
    if (json.size() < sizeof req.jsonBody) {
        std::memcpy(req.jsonBody, json.data(), json.size());
        return;
    }
    req.body->setSize(static_cast<int64_t>(json.size()));
    std::memcpy(req.body->getData(), json.data(), json.size());
}

long peakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmHWM:") {
            long kb = -1;
            status >> kb;
            return kb;
        }
    return -1;
}

std::chrono::microseconds processCpuTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto toMicroseconds = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return toMicroseconds(usage.ru_utime) + toMicroseconds(usage.ru_stime);
}

double cpuMicroseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const size_t rank = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[rank];
}

double millisecondsBetween(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace bench
