// Notifications: the time from an event in pkisim to the application's
// callback, with polls answered at once and with long polls; the
// listener's CPU time and peak memory growth per minute of an idle session;
// and how long releaseAgent takes, also while the service holds a poll
// without answering.
//
// usage: bench_notifications [--quick] [benchmark flags]
// --quick measures a few events and a short idle time (for the test run).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "benchSupport.h"
#include "childService.h"
#include "simServer.h"
#include "tempDir.h"
#include "tessera.h"

namespace {

using clock_type = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int32_t deviceInserted = 0x0FFF0001;
constexpr int longPollMs = 10000; // below the session time-out of 30 s
constexpr auto callbackLimit = 5s;

struct plan {
    int events;
    std::chrono::seconds idleWindow;
    int releases;
};

const std::string* g_keyDir = nullptr;

// When the callback saw the events so far.
class eventClock {
public:
    static void onNotify(vpkiResp* resp, void* param)
    {
        if (resp->msgType == deviceInserted)
            static_cast<eventClock*>(param)->record();
    }

    // Waits for the callback of event `count` (1-based); false past the limit.
    bool waitFor(size_t count, clock_type::time_point& seenAt)
    {
        std::unique_lock<std::mutex> hold(lock);
        if (!seen.wait_for(hold, callbackLimit, [&] { return times.size() >= count; }))
            return false;
        seenAt = times[count - 1];
        return true;
    }

private:
    void record()
    {
        const clock_type::time_point now = clock_type::now();
        std::lock_guard<std::mutex> hold(lock);
        times.push_back(now);
        seen.notify_all();
    }

    std::mutex lock;
    std::condition_variable seen;
    std::vector<clock_type::time_point> times;
};

pkisim::options serviceOptions(int pollHoldMs)
{
    pkisim::options options;
    options.keyDir = *g_keyDir;
    options.longPollMs = pollHoldMs;
    return options;
}

bool startAgent(agentNotifyFunc notify, void* param)
{
    return createAgent(notify, nullptr, param) && loginAgent(pkisim::demoAppName, pkisim::demoAppID, pkisim::demoToken);
}

// Waits until the listener's poll has reached the service.
bool pollArrived(pkisim::server& sim)
{
    return sim.waitForCalls(
        [](const std::vector<pkisim::recordedCall>& calls) {
            return std::any_of(calls.begin(), calls.end(),
                               [](const pkisim::recordedCall& c) { return c.wireName == "vantService:getNotify"; });
        },
        5000ms);
}

// Events come at random moments, so that they meet the listener in every
// phase of its poll cycle; at least 25 ms apart, so that each finds the
// listener past the 20 ms pause that follows every poll.
void eventLatency(benchmark::State& state, int pollHoldMs)
{
    pkisim::server sim(serviceOptions(pollHoldMs));
    sim.start();
    eventClock clock;
    if (!startAgent(&eventClock::onNotify, &clock) || !pollArrived(sim)) {
        releaseAgent();
        state.SkipWithError("agent did not start");
        return;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> gapMs(25, 55);
    std::vector<double> latencies;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs(random)));
        const clock_type::time_point pushed = clock_type::now();
        sim.pushEvent(deviceInserted, "{\"devID\":\"SIM-BENCH\"}");
        clock_type::time_point seen;
        if (!clock.waitFor(latencies.size() + 1, seen)) {
            state.SkipWithError("an event did not reach the callback");
            break;
        }
        latencies.push_back(bench::millisecondsBetween(pushed, seen));
        state.SetIterationTime(latencies.back() / 1000);
    }
    releaseAgent();
    if (latencies.empty())
        return;
    state.counters["median_ms"] = bench::percentile(latencies, 0.5);
    state.counters["p99_ms"] = bench::percentile(latencies, 0.99);
    state.counters["max_ms"] = bench::percentile(latencies, 1.0);
}

// The service runs as a child process, so that this process's CPU time and
// memory are the library's: its listener polls, the other threads wait.
void idleCpu(benchmark::State& state, int pollHoldMs, std::chrono::seconds window)
{
    std::vector<std::string> args{"--keys", *g_keyDir, "--no-control"};
    if (pollHoldMs > 0)
        args.insert(args.end(), {"--long-poll", std::to_string(pollHoldMs)});
    bench::childService service(PKISIM_BINARY, args);
    eventClock clock;
    if (!startAgent(&eventClock::onNotify, &clock)) {
        releaseAgent();
        state.SkipWithError("agent did not start");
        return;
    }
    std::this_thread::sleep_for(1s); // past the start of the listener
    const double minutes = std::chrono::duration<double>(window).count() / 60;
    double cpuMsPerMinute = 0;
    double peakGrowthKbPerMinute = 0;
    for (auto _ : state) {
        const auto cpuBefore = bench::processCpuTime();
        const long peakBefore = bench::peakRssKb();
        std::this_thread::sleep_for(window);
        const auto used = bench::processCpuTime() - cpuBefore;
        cpuMsPerMinute = std::chrono::duration<double, std::milli>(used).count() / minutes;
        peakGrowthKbPerMinute = static_cast<double>(bench::peakRssKb() - peakBefore) / minutes;
        state.SetIterationTime(std::chrono::duration<double>(window).count());
    }
    releaseAgent();
    state.counters["cpu_ms_per_min"] = cpuMsPerMinute;
    state.counters["vmhwm_kb_per_min"] = peakGrowthKbPerMinute;
}

// releaseAgent while the listener waits in a poll: answered at once, held
// by a long poll, or never answered (within the longest session time-out).
void releaseTime(benchmark::State& state, int pollHoldMs, bool silent)
{
    pkisim::options options = serviceOptions(pollHoldMs);
    if (silent)
        options.sessionTimeout = pkisim::maxSessionTimeout;
    pkisim::server sim(options);
    sim.start();
    double slowestMs = 0;
    for (auto _ : state) {
        sim.clearCalls();
        if (silent) {
            pkisim::fault never;
            never.what = pkisim::fault::silent;
            never.method = "vantService:getNotify";
            sim.injectFault(never);
        }
        if (!startAgent(nullptr, nullptr) || !pollArrived(sim)) {
            releaseAgent();
            state.SkipWithError("agent did not start");
            break;
        }
        const clock_type::time_point start = clock_type::now();
        releaseAgent();
        const double ms = bench::millisecondsBetween(start, clock_type::now());
        slowestMs = std::max(slowestMs, ms);
        state.SetIterationTime(ms / 1000);
        sim.clearFaults();
    }
    state.counters["max_ms"] = slowestMs;
}

void registerBenchmarks(const plan& p)
{
    benchmark::RegisterBenchmark("eventLatency/immediate", eventLatency, 0)->Iterations(p.events)->UseManualTime();
    benchmark::RegisterBenchmark("eventLatency/longPoll", eventLatency, longPollMs)
        ->Iterations(p.events)
        ->UseManualTime();
    benchmark::RegisterBenchmark("idleCpu/immediate", idleCpu, 0, p.idleWindow)->Iterations(1)->UseManualTime();
    benchmark::RegisterBenchmark("idleCpu/longPoll", idleCpu, longPollMs, p.idleWindow)->Iterations(1)->UseManualTime();
    benchmark::RegisterBenchmark("releaseAgent/immediate", releaseTime, 0, false)
        ->Iterations(p.releases)
        ->UseManualTime();
    benchmark::RegisterBenchmark("releaseAgent/longPoll", releaseTime, longPollMs, false)
        ->Iterations(p.releases)
        ->UseManualTime();
    benchmark::RegisterBenchmark("releaseAgent/silent", releaseTime, 0, true)->Iterations(p.releases)->UseManualTime();
}

// Fails the program when a benchmark could not measure.
class failureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            failed = failed || run.error_occurred;
        ConsoleReporter::ReportRuns(runs);
    }
    bool failed = false;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const bool quick = argc == 2 && std::strcmp(argv[1], "--quick") == 0;
    if (argc > 1 && !quick) {
        std::fprintf(stderr, "usage: bench_notifications [--quick] [benchmark flags]\n");
        return 2;
    }
    testsupport::tempDir keys;
    g_keyDir = &keys.path();
    registerBenchmarks(quick ? plan{20, 1s, 3} : plan{300, 30s, 20});
    failureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failed ? 1 : 0;
}
