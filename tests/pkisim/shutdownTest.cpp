// stop() with clients connected and calls pending: it returns promptly, every
// client call ends, no thread stays behind, and the service can start again.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "simTestSupport.h"

namespace {

using namespace pkitest;
using std::chrono::seconds;

size_t threadCount()
{
    size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// Sanitizer runtimes start a helper thread with the first thread of the
// program; the baseline is taken once one has run.
size_t threadBaseline()
{
    std::thread([] {}).join();
    return threadCount();
}

TEST(simShutdown, stopEndsPendingCallsAndJoinsEveryThread)
{
    const size_t before = threadBaseline();
    pkisim::options opts = freePorts();
    opts.longPollMs = 600000;
    auto service = std::make_unique<pkisim::server>(opts);
    service->start();
    wire::sessionTicket ticket;
    {
        serviceClient client(service->port());
        ticket = client.login();
    }
    pkisim::fault longDelay = testsupport::faultOf(pkisim::fault::delay);
    longDelay.delayMs = 600000;
    service->injectFault(longDelay);
    service->injectFault(testsupport::faultOf(pkisim::fault::silent, "deviceOperator:getDevInfo"));

    // Idle connections, a delayed call, a silent call and a long poll.
    std::vector<std::unique_ptr<rawConnection>> idle;
    for (int i = 0; i < 3; ++i)
        idle.push_back(std::make_unique<rawConnection>(service->port()));
    auto delayed = std::async(std::launch::async, [&] {
        serviceClient client(service->port(), 600000);
        return client.getDevices(ticket).errCode;
    });
    auto silent = std::async(std::launch::async, [&] {
        serviceClient client(service->port(), 600000);
        wire::msgResponse response;
        client.dev.getDevInfo(response, ticket, request(17, "{}"));
        return response.errCode;
    });
    auto polling = std::async(std::launch::async, [&] {
        serviceClient client(service->notifyPort(), 600000);
        return client.poll(ticket, 0).errCode;
    });
    ASSERT_TRUE(service->waitForCalls([](const auto& calls) { return calls.size() == 4; }, seconds(30)));

    const auto started = std::chrono::steady_clock::now();
    service->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, seconds(10));
    EXPECT_FALSE(service->running());
    EXPECT_EQ(service->openConnections(), 0u);
    EXPECT_ANY_THROW(delayed.get());
    EXPECT_ANY_THROW(silent.get());
    try {
        EXPECT_EQ(polling.get(), 7); // answered "nothing", or cut off: never left hanging
    } catch (const apache::thrift::TException&) {
    }
    for (auto& connection : idle)
        EXPECT_TRUE(connection->closedByPeer());

    service->stop(); // a second stop does nothing
    service.reset();
    EXPECT_EQ(threadCount(), before);
}

TEST(simShutdown, aStoppedServiceStartsAgainOnItsPortsWithItsState)
{
    pkisim::server service(freePorts());
    service.start();
    const uint16_t port = service.port();
    const uint16_t notifyPort = service.notifyPort();
    serviceClient first(port);
    const wire::sessionTicket ticket = first.login();
    service.stop();
    EXPECT_THROW(serviceClient(port).login(), apache::thrift::TException);

    service.start();
    EXPECT_TRUE(service.running());
    EXPECT_EQ(service.port(), port);
    EXPECT_EQ(service.notifyPort(), notifyPort);
    serviceClient again(port);
    EXPECT_EQ(again.getDevices(ticket).errCode, 0) << "sessions survive a restart";
}

TEST(simShutdown, aPortInUseFailsTheStartCleanly)
{
    const size_t before = threadBaseline();
    pkisim::server holder(freePorts());
    holder.start();
    pkisim::options clash = freePorts();
    clash.notifyPort = holder.port();
    {
        pkisim::server second(clash);
        EXPECT_THROW(second.start(), std::runtime_error);
        EXPECT_FALSE(second.running());
    }
    holder.stop();
    EXPECT_EQ(threadCount(), before);
}

TEST(simShutdown, destroyingARunningServiceStopsIt)
{
    const size_t before = threadBaseline();
    uint16_t port;
    {
        pkisim::server service(freePorts());
        service.start();
        port = service.port();
        serviceClient client(port);
        client.login();
    }
    EXPECT_EQ(threadCount(), before);
    EXPECT_THROW(rawConnection{port}, std::runtime_error);
}

} // namespace
