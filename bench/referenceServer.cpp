// The reference server of the request-cost benchmark: what a service built
// from stock Thrift alone looks like (threaded server, multiplexed
// processor, HTTP transport, JSON protocol, the generated processors), so
// that the benchmark measures clients against a server that is no part of
// this project.
//
// It serves login and logout, holds each notification poll for a while and
// then answers "no event", and echoes deviceOperator:transMitData. Requests
// on 127.0.0.1:18080, polls on 18081. Prints one line once both ports
// listen; stops at SIGTERM or SIGINT.
//
// usage: bench_referenceServer SESSION_ID TICKET
#include <signal.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <thrift/TConfiguration.h>
#include <thrift/processor/TMultiplexedProcessor.h>
#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/server/TThreadedServer.h>
#include <thrift/transport/THttpServer.h>
#include <thrift/transport/TServerSocket.h>
#include <thrift/transport/TSocket.h>

#include "devService.h"
#include "vantService.h"

namespace {

namespace wire = ::com::vant::cbb::pkimid;
using namespace apache::thrift;

constexpr int requestPort = 18080;
constexpr int notifyPort = 18081;
constexpr int sessionTimeoutSeconds = 30;
// Well under the session time-out, which is the client's receive limit.
constexpr auto pollHold = std::chrono::milliseconds(1500);
constexpr int32_t sessionLost = 1;
constexpr int32_t noEvent = 7;

// Ends held polls at once when the server stops.
class stopSignal {
public:
    // Waits up to `limit`; returns early once `raise` was called.
    void waitFor(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> hold(lock);
        raised.wait_for(hold, limit, [this] { return stopping; });
    }

    void raise()
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        raised.notify_all();
    }

private:
    std::mutex lock;
    std::condition_variable raised;
    bool stopping = false;
};

wire::msgResponse answer(const wire::msgRequest& request, int32_t errCode, std::string jsonBody)
{
    wire::msgResponse response;
    response.__set_respid(request.reqid);
    response.__set_msgType(request.msgType);
    response.__set_version(request.version);
    response.__set_errCode(errCode);
    response.__set_extend(request.extend);
    response.__set_jsonBody(std::move(jsonBody));
    return response;
}

class sessionHandler : public wire::vantServiceNull {
public:
    sessionHandler(int64_t sessionID, std::string ticket, stopSignal& stop)
        : sessionID(sessionID),
          ticket(std::move(ticket)),
          stop(stop)
    {
    }

    void login(wire::msgResponse& response, const wire::msgRequest& request) override
    {
        response = answer(request, 0,
                          "{\"sessionID\":\"" + std::to_string(sessionID) + "\",\"ticket\":\"" + ticket +
                              "\",\"timeout\":\"" + std::to_string(sessionTimeoutSeconds) + "\",\"notifyPort\":\"" +
                              std::to_string(notifyPort) + "\"}");
    }

    void logout(wire::msgResponse& response, const wire::sessionTicket&) override
    {
        response = answer(wire::msgRequest(), 0, "{}");
    }

    // A long poll: the listener's polls then cost next to nothing while
    // the benchmark measures.
    void getNotify(wire::msgResponse& response, const wire::sessionTicket&, const wire::msgRequest& request) override
    {
        stop.waitFor(pollHold);
        response = answer(request, noEvent, "{}");
    }

private:
    const int64_t sessionID;
    const std::string ticket;
    stopSignal& stop;
};

class deviceHandler : public wire::devServiceNull {
public:
    explicit deviceHandler(std::string ticket) : ticket(std::move(ticket)) {}

    // Refuses a foreign ticket (session lost), so that a client with the
    // wrong one cannot pass for measured.
    void transMitData(wire::msgResponse& response, const wire::sessionTicket& tk,
                      const wire::msgRequest& request) override
    {
        response = tk.ticket == ticket ? answer(request, 0, request.jsonBody) : answer(request, sessionLost, "{}");
    }

private:
    const std::string ticket;
};

// The accepted socket refuses a read that asks for more than the maximum
// message size (100 MB by default), and THttpServer asks for as much as its
// read buffer has room for. On a keep-alive connection that buffer doubles
// again and again while whole requests arrive in one read: at 128 MiB (some
// 2,000 calls with 64 KB bodies) the read is refused and the connection
// dropped. THttpServer's own TConfiguration plays no part; the accepted
// socket's does, and TServerSocket lets only a subclass set it.
class largeMessageServerSocket : public transport::TServerSocket {
public:
    using TServerSocket::TServerSocket;

protected:
    std::shared_ptr<transport::TSocket> createSocket(THRIFT_SOCKET client) override
    {
        if (interruptableChildren_)
            return std::make_shared<transport::TSocket>(client, pChildInterruptSockReader_, limits);
        return std::make_shared<transport::TSocket>(client, limits);
    }

private:
    const std::shared_ptr<TConfiguration> limits = std::make_shared<TConfiguration>(INT_MAX);
};

// Counts servers that listen; the last one tells the parent process.
class listeningReporter : public server::TServerEventHandler {
public:
    explicit listeningReporter(int servers) : waiting(servers) {}

    void preServe() override
    {
        std::lock_guard<std::mutex> hold(lock);
        if (--waiting == 0) {
            std::printf("listening on %d and %d\n", requestPort, notifyPort);
            std::fflush(stdout);
        }
    }

private:
    std::mutex lock;
    int waiting;
};

std::shared_ptr<server::TThreadedServer> makeServer(int port, std::shared_ptr<TProcessor> processor)
{
    return std::make_shared<server::TThreadedServer>(
        processor, std::make_shared<largeMessageServerSocket>("127.0.0.1", port),
        std::make_shared<transport::THttpServerTransportFactory>(), std::make_shared<protocol::TJSONProtocolFactory>());
}

std::shared_ptr<TProcessor> makeProcessor(int64_t sessionID, const std::string& ticket, stopSignal& stop)
{
    auto processor = std::make_shared<TMultiplexedProcessor>();
    processor->registerProcessor("vantService", std::make_shared<wire::vantServiceProcessor>(
                                                    std::make_shared<sessionHandler>(sessionID, ticket, stop)));
    processor->registerProcessor("deviceOperator",
                                 std::make_shared<wire::devServiceProcessor>(std::make_shared<deviceHandler>(ticket)));
    return processor;
}

// A port that cannot be bound ends the program; the parent then sees it
// end before its first line.
void serveOrExit(server::TThreadedServer& server)
{
    try {
        server.serve();
    } catch (const TException& e) {
        std::fprintf(stderr, "bench_referenceServer: %s\n", e.what());
        std::_Exit(1);
    }
}

// Blocks the stop signals in this thread and every thread started after,
// so that only sigwait receives them.
sigset_t blockStopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_referenceServer SESSION_ID TICKET\n");
        return 2;
    }
    const sigset_t stopSignals = blockStopSignals();
    stopSignal stop;
    const std::shared_ptr<TProcessor> processor = makeProcessor(std::stoll(argv[1]), argv[2], stop);
    auto reporter = std::make_shared<listeningReporter>(2);
    std::shared_ptr<server::TThreadedServer> servers[] = {makeServer(requestPort, processor),
                                                          makeServer(notifyPort, processor)};
    std::thread running[2];
    for (int i = 0; i < 2; ++i) {
        servers[i]->setServerEventHandler(reporter);
        running[i] = std::thread([server = servers[i]] { serveOrExit(*server); });
    }
    int received = 0;
    sigwait(&stopSignals, &received);
    stop.raise();
    for (int i = 0; i < 2; ++i) {
        servers[i]->stop();
        running[i].join();
    }
    return 0;
}
