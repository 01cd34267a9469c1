// Request cost: reqSync through the public interface against a bare
// generated Thrift client on an identical stack (socket, buffered transport,
// HTTP client, JSON protocol, multiplexed protocol), both on one in-process
// pkisim, both calling the same method with the same body and the ticket of
// the same login.
//
// "reqSync" and "bare" measure each way on its own. "paired" alternates
// single calls of the two ways and times each: a change in the machine's
// speed then touches both alike, and the median keeps single hiccups out.
// After the runs the program prints the paired ratio reqSync / bare per size.
//
// deviceOperator:transMitData echoes its request body, so the reply grows
// with the request.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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
#include "devService.h"
#include "simServer.h"
#include "tessera.h"

namespace {

namespace wire = ::com::vant::cbb::pkimid;
using namespace apache::thrift;

constexpr int32_t transMitDataType = 19;
const std::vector<int64_t> bodySizes = {20, 4096, 65536};

wire::sessionTicket g_ticket;

// The stack every call of the library uses, built by hand; each layer owns
// the one below.
class bareClient {
public:
    bareClient()
        : http(std::make_shared<transport::THttpClient>(
              std::make_shared<transport::TBufferedTransport>(std::make_shared<transport::TSocket>("127.0.0.1", 18080)),
              "127.0.0.1", "/")),
          client(std::make_shared<protocol::TMultiplexedProtocol>(std::make_shared<protocol::TJSONProtocol>(http),
                                                                  "deviceOperator"))
    {
        http->open();
    }

    // Throws TException when the exchange fails.
    void call(wire::msgResponse& response, const wire::msgRequest& request)
    {
        client.transMitData(response, g_ticket, request);
    }

private:
    std::shared_ptr<transport::THttpClient> http;
    wire::devServiceClient client;
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

void callLibrary(const vpkiReq& req, vpkiResp& resp)
{
    if (!reqSync(DEVSERVICE, &req, &resp))
        throw std::runtime_error("reqSync failed");
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

template <class Call>
double microsecondsOf(Call call)
{
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

void reqSyncCall(benchmark::State& state)
{
    const requestPair req(state.range(0));
    vpkiResp resp;
    try {
        for (auto _ : state)
            callLibrary(req.library, resp);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    if (resp.errCode != 0)
        state.SkipWithError("the service refused the request");
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void bareCall(benchmark::State& state)
{
    const requestPair req(state.range(0));
    wire::msgResponse response;
    try {
        bareClient bare;
        for (auto _ : state)
            bare.call(response, req.bare);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    if (response.errCode != 0)
        state.SkipWithError("the service refused the request");
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void pairedCalls(benchmark::State& state)
{
    const requestPair req(state.range(0));
    vpkiResp resp;
    wire::msgResponse response;
    std::vector<double> libraryTimes;
    std::vector<double> bareTimes;
    try {
        bareClient bare;
        for (auto _ : state) {
            libraryTimes.push_back(microsecondsOf([&] { callLibrary(req.library, resp); }));
            bareTimes.push_back(microsecondsOf([&] { bare.call(response, req.bare); }));
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    if (resp.errCode != 0 || response.errCode != 0) {
        state.SkipWithError("the service refused the request");
        return;
    }
    state.counters["reqSync_us"] = median(libraryTimes);
    state.counters["bare_us"] = median(bareTimes);
    state.counters["ratio"] = median(libraryTimes) / median(bareTimes);
}

// Passes the runs on to the console and keeps the paired ratios: each
// repetition's, or their median when only aggregates are reported.
class ratioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            failed = failed || run.error_occurred;
            if (!run.error_occurred && run.run_name.function_name == "paired")
                keep(run);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        std::printf("\nreqSync / bare, paired calls (target at most 1.05):\n");
        for (const auto& [size, ratios] : ratios)
            std::printf("  body %6s B: %.3f\n", size.c_str(), median(ratios));
    }

    bool anyFailed() const { return failed; }

private:
    void keep(const Run& run)
    {
        const auto ratio = run.counters.find("ratio");
        if (ratio == run.counters.end())
            return;
        if (run.run_type == Run::RT_Iteration)
            ratios[run.run_name.args].push_back(ratio->second.value);
        else if (run.aggregate_name == "median")
            ratios[run.run_name.args] = {ratio->second.value};
    }

    std::map<std::string, std::vector<double>> ratios;
    bool failed = false;
};

void registerBenchmarks()
{
    for (int64_t size : bodySizes) {
        benchmark::RegisterBenchmark("reqSync", reqSyncCall)->Arg(size)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("bare", bareCall)->Arg(size)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("paired", pairedCalls)->Arg(size)->Unit(benchmark::kMicrosecond);
    }
}

bool loginAsDemo(pkisim::server& sim)
{
    if (!createAgent(nullptr, nullptr, nullptr) ||
        !loginAgent(pkisim::demoAppName, pkisim::demoAppID, pkisim::demoToken))
        return false;
    const std::vector<pkisim::sessionInfo> sessions = sim.sessions();
    if (sessions.size() != 1)
        return false;
    g_ticket.sessionID = sessions.front().sessionID;
    g_ticket.ticket = sessions.front().ticket;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench::tempDirectory keys;
    pkisim::options options;
    options.keyDir = keys.path();
    pkisim::server sim(options);
    sim.start();
    if (!loginAsDemo(sim)) {
        std::fprintf(stderr, "bench_requestCost: login to pkisim failed\n");
        return 1;
    }
    registerBenchmarks();
    ratioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    releaseAgent();
    sim.stop();
    benchmark::Shutdown();
    return reporter.anyFailed() ? 1 : 0;
}
