// Request cost: reqSync against what an application would write instead of
// using the library, a bare generated Thrift client on the stack the
// library's wire form calls for (socket, buffered transport, HTTP client,
// JSON protocol, multiplexed protocol) over one keep-alive connection. Both
// call deviceOperator:transMitData with the same body and the ticket of the
// same login on the reference server (bench/referenceServer.cpp, stock
// Thrift only), which runs as a child process and echoes the body, so the
// reply grows with the request.
//
// Single calls of the two ways alternate, and each call's wall time, the
// calling thread's CPU time and the server's CPU time are taken: a change in
// the machine's speed then touches both ways alike. Each benchmark run is one
// repetition; at the end the program prints the medians per way, the ratios
// reqSync / bare with their range over the repetitions, and the server's
// share of the bare exchange, the floor under any client.
//
// usage: bench_requestCost [--quick] [--repetitions N] [benchmark flags]
// --quick: small bodies only, few calls, one repetition (the test run).
#include <benchmark/benchmark.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/protocol/TMultiplexedProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/THttpClient.h>
#include <thrift/transport/TSocket.h>

#include "benchSupport.h"
#include "childService.h"
#include "devService.h"
#include "tessera.h"

namespace {

namespace wire = ::com::vant::cbb::pkimid;
using namespace apache::thrift;

constexpr int32_t transMitDataType = 19;
// The session the reference server hands out at login.
constexpr int64_t sessionID = 4242;
const char* const sessionTicket = "reference-ticket";

struct bodySize {
    int64_t bytes;
    const char* label;
    int pairs;       // per repetition; even, so that each way goes first equally often
    int quickPairs;  // 0: left out of the quick run
    double wallGoal; // reqSync / bare at most; 0: none
    double cpuGoal;
};

const bodySize bodySizes[] = {
    {20, "20 B", 2000, 40, 1.00, 0},      {4 << 10, "4 KB", 1000, 20, 0.90, 0}, {64 << 10, "64 KB", 600, 6, 0.65, 0.25},
    {1 << 20, "1 MB", 40, 0, 0.65, 0.25}, {16 << 20, "16 MB", 6, 0, 0, 0.25},
};

const bodySize& bodySizeOf(int64_t bytes)
{
    for (const bodySize& size : bodySizes)
        if (size.bytes == bytes)
            return size;
    throw std::logic_error("unknown body size");
}

// The stack an application builds by hand, Thrift's defaults throughout;
// each layer owns the one below.
class bareClient {
public:
    bareClient()
        : http(std::make_shared<transport::THttpClient>(
              std::make_shared<transport::TBufferedTransport>(std::make_shared<transport::TSocket>("127.0.0.1", 18080)),
              "127.0.0.1", "/")),
          client(std::make_shared<protocol::TMultiplexedProtocol>(std::make_shared<protocol::TJSONProtocol>(http),
                                                                  "deviceOperator"))
    {
        ticket.sessionID = sessionID;
        ticket.ticket = sessionTicket;
        http->open();
    }

    // Throws TException when the exchange fails.
    void call(wire::msgResponse& response, const wire::msgRequest& request)
    {
        client.transMitData(response, ticket, request);
    }

private:
    std::shared_ptr<transport::THttpClient> http;
    wire::devServiceClient client;
    wire::sessionTicket ticket;
};

// The same request for each way.
struct requestPair {
    explicit requestPair(int64_t size)
    {
        const std::string json = bench::jsonOfSize(static_cast<size_t>(size));
        bench::fillRequest(library, transMitDataType, json);
        // An id of the library's size (seconds since 1970 and counting), so
        // that both ways carry equally long numbers.
        bare.reqid = static_cast<int32_t>(std::time(nullptr));
        bare.msgType = transMitDataType;
        bare.version = 1;
        bare.jsonBody = json;
    }

    vpkiReq library;
    wire::msgRequest bare;
};

// What one call cost, in microseconds.
struct callCost {
    double wall;
    double cpu;          // the calling thread
    double otherThreads; // the rest of this process
    double server;       // the server process, all its threads
};

template <class Call>
callCost measure(clockid_t serverClock, Call call)
{
    const double server = bench::cpuMicroseconds(serverClock);
    const double process = bench::cpuMicroseconds(CLOCK_PROCESS_CPUTIME_ID);
    const double thread = bench::cpuMicroseconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = std::chrono::steady_clock::now();
    call();
    const auto end = std::chrono::steady_clock::now();
    const double threadUsed = bench::cpuMicroseconds(CLOCK_THREAD_CPUTIME_ID) - thread;
    const double processUsed = bench::cpuMicroseconds(CLOCK_PROCESS_CPUTIME_ID) - process;
    return {std::chrono::duration<double, std::micro>(end - start).count(), threadUsed, processUsed - threadUsed,
            bench::cpuMicroseconds(serverClock) - server};
}

// The costs of one way's calls and their medians.
struct costSeries {
    std::vector<double> wall, cpu, otherThreads, server;

    void add(const callCost& cost)
    {
        wall.push_back(cost.wall);
        cpu.push_back(cost.cpu);
        otherThreads.push_back(cost.otherThreads);
        server.push_back(cost.server);
    }

    void report(benchmark::State& state, const std::string& way) const
    {
        state.counters[way + "_wall_us"] = bench::percentile(wall, 0.5);
        state.counters[way + "_cpu_us"] = bench::percentile(cpu, 0.5);
        state.counters[way + "_other_us"] = bench::percentile(otherThreads, 0.5);
        state.counters[way + "_server_us"] = bench::percentile(server, 0.5);
    }
};

bool echoed(const vpkiResp& resp, int64_t bytes)
{
    return resp.errCode == 0 && std::strlen(resp.body->getData()) == static_cast<size_t>(bytes);
}

bool echoed(const wire::msgResponse& response, int64_t bytes)
{
    return response.errCode == 0 && response.jsonBody.size() == static_cast<size_t>(bytes);
}

// One repetition: alternating single calls of the two ways, the first of
// each pair taking turns.
void pairedCalls(benchmark::State& state, clockid_t serverClock)
{
    const int64_t bytes = state.range(0);
    const requestPair req(bytes);
    vpkiResp resp;
    wire::msgResponse response;
    costSeries library;
    costSeries bare;
    try {
        bareClient client;
        const auto callLibrary = [&] {
            if (!reqSync(DEVSERVICE, &req.library, &resp))
                throw std::runtime_error("reqSync failed");
        };
        const auto callBare = [&] { client.call(response, req.bare); };
        callLibrary(); // both connections open before the measurement
        callBare();
        bool libraryFirst = true;
        for (auto _ : state) {
            if (libraryFirst)
                library.add(measure(serverClock, callLibrary));
            bare.add(measure(serverClock, callBare));
            if (!libraryFirst)
                library.add(measure(serverClock, callLibrary));
            libraryFirst = !libraryFirst;
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    if (!echoed(resp, bytes) || !echoed(response, bytes)) {
        state.SkipWithError("a reply is not the echo of its request");
        return;
    }
    library.report(state, "reqSync");
    bare.report(state, "bare");
    state.counters["wall_ratio"] = state.counters["reqSync_wall_us"] / state.counters["bare_wall_us"];
    state.counters["cpu_ratio"] = state.counters["reqSync_cpu_us"] / state.counters["bare_cpu_us"];
}

struct options {
    bool quick = false;
    int repetitions = 5;
};

options parseOptions(int argc, char** argv)
{
    options parsed;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            parsed.quick = true;
            parsed.repetitions = 1;
        } else if (std::strcmp(argv[i], "--repetitions") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            parsed.repetitions = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_requestCost [--quick] [--repetitions N] [benchmark flags]\n");
            std::exit(2);
        }
    }
    return parsed;
}

void registerBenchmarks(const options& opts, clockid_t serverClock)
{
    for (const bodySize& size : bodySizes) {
        const int pairs = opts.quick ? size.quickPairs : size.pairs;
        if (pairs == 0)
            continue;
        benchmark::RegisterBenchmark("paired", pairedCalls, serverClock)
            ->Arg(size.bytes)
            ->Iterations(pairs)
            ->Repetitions(opts.repetitions)
            ->Unit(benchmark::kMicrosecond);
    }
}

// "69.3 us", "3.21 ms", "1.52 s".
std::string duration(double microseconds)
{
    char text[32];
    if (microseconds < 1000)
        std::snprintf(text, sizeof text, "%.1f us", microseconds);
    else if (microseconds < 1e6)
        std::snprintf(text, sizeof text, "%.2f ms", microseconds / 1e3);
    else
        std::snprintf(text, sizeof text, "%.2f s", microseconds / 1e6);
    return text;
}

std::string goal(double ratio)
{
    char text[16];
    std::snprintf(text, sizeof text, "<= %.2f", ratio);
    return ratio > 0 ? text : "-";
}

// Passes the runs on to the console, keeps the counters of each repetition
// and prints the tables of the paired calls at the end.
class pairedReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            failed = failed || run.error_occurred;
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                keep(run);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printTables() const
    {
        std::printf("\nPaired calls, reqSync and the bare client on the reference server: medians over the\n"
                    "repetitions of each repetition's median per call; range = lowest-highest repetition.\n");
        printRatioTable("Wall time per call", "wall", &bodySize::wallGoal);
        printRatioTable("Client CPU per call (calling thread)", "cpu", &bodySize::cpuGoal);
        printServerTable();
    }

    bool anyFailed() const { return failed; }

private:
    using repetitions = std::vector<std::map<std::string, double>>;

    void keep(const Run& run)
    {
        std::map<std::string, double>& values = results[std::stoll(run.run_name.args)].emplace_back();
        for (const auto& [name, counter] : run.counters)
            values[name] = counter.value;
    }

    static double medianOf(const repetitions& reps, const std::string& name)
    {
        return bench::percentile(valuesOf(reps, name), 0.5);
    }

    static std::vector<double> valuesOf(const repetitions& reps, const std::string& name)
    {
        std::vector<double> values;
        for (const auto& rep : reps)
            values.push_back(rep.at(name));
        return values;
    }

    // The CPU table also gives the CPU time of this process's other threads
    // per call (reqSync / bare; the bare figure is the cost of reading the
    // clocks), which shows work that the library would move off the caller.
    void printRatioTable(const char* title, const std::string& kind, double bodySize::*goalOf) const
    {
        const bool cpu = kind == "cpu";
        std::printf("\n%s\n  %-6s %10s %10s %13s %13s %8s%s\n", title, "body", "reqSync", "bare", "reqSync/bare",
                    "range", "goal", cpu ? "   other threads" : "");
        for (const auto& [bytes, reps] : results) {
            const std::vector<double> ratios = valuesOf(reps, kind + "_ratio");
            char range[32];
            std::snprintf(range, sizeof range, "%.3f-%.3f", *std::min_element(ratios.begin(), ratios.end()),
                          *std::max_element(ratios.begin(), ratios.end()));
            std::string others;
            if (cpu)
                others = "  " + duration(medianOf(reps, "reqSync_other_us")) + " / " +
                         duration(medianOf(reps, "bare_other_us"));
            std::printf("  %-6s %10s %10s %13.3f %13s %8s%s\n", bodySizeOf(bytes).label,
                        duration(medianOf(reps, "reqSync_" + kind + "_us")).c_str(),
                        duration(medianOf(reps, "bare_" + kind + "_us")).c_str(), bench::percentile(ratios, 0.5), range,
                        goal(bodySizeOf(bytes).*goalOf).c_str(), others.c_str());
        }
    }

    void printServerTable() const
    {
        std::printf("\nReference server CPU per call (all its threads)\n  %-6s %10s %10s %22s\n", "body", "reqSync",
                    "bare", "share of bare wall");
        for (const auto& [bytes, reps] : results) {
            const double bareServer = medianOf(reps, "bare_server_us");
            std::printf("  %-6s %10s %10s %21.0f%%\n", bodySizeOf(bytes).label,
                        duration(medianOf(reps, "reqSync_server_us")).c_str(), duration(bareServer).c_str(),
                        100 * bareServer / medianOf(reps, "bare_wall_us"));
        }
    }

    std::map<int64_t, repetitions> results;
    bool failed = false;
};

void pinThisThread(int cpu)
{
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    sched_setaffinity(0, sizeof one, &one);
}

// Starts the reference server on one CPU and keeps this thread (and the
// library's threads, started later) on another, so that both ways meet the
// same placement: left to the scheduler, the ratios of single repetitions
// ranged from 0.5 to 2.4 at 20 B. With a single CPU nothing is pinned.
std::unique_ptr<bench::childService> startReferenceServer()
{
    const std::vector<std::string> args{std::to_string(sessionID), sessionTicket};
    cpu_set_t allowed;
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        for (int cpu = 0; cpu < CPU_SETSIZE && cpus.size() < 2; ++cpu)
            if (CPU_ISSET(cpu, &allowed))
                cpus.push_back(cpu);
    if (cpus.size() < 2)
        return std::make_unique<bench::childService>(REFERENCE_SERVER_BINARY, args);
    pinThisThread(cpus[1]); // a child process starts with its parent's CPUs
    auto server = std::make_unique<bench::childService>(REFERENCE_SERVER_BINARY, args);
    pinThisThread(cpus[0]);
    return server;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const options opts = parseOptions(argc, argv);
    std::unique_ptr<bench::childService> server = startReferenceServer();
    if (!createAgent(nullptr, nullptr, nullptr) || !loginAgent("bench", "bench-app-id", "bench-token")) {
        std::fprintf(stderr, "bench_requestCost: login to the reference server failed\n");
        return 1;
    }
    registerBenchmarks(opts, server->cpuClock());
    pairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    server.reset(); // first, so that the poll it holds is answered, not cut off
    releaseAgent();
    reporter.printTables();
    benchmark::Shutdown();
    return reporter.anyFailed() ? 1 : 0;
}
