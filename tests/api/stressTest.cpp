// Several application threads send synchronous and asynchronous requests
// while events flow and the service restarts: every asynchronous request is
// answered exactly once, nothing deadlocks, and events stay in order.
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "callbackLogs.h"
#include "serviceFixture.h"

namespace {

using testsupport::fillRequest;
using testsupport::waitUntil;

std::mutex answeredLock;
std::multiset<int32_t> answered;

void recordAnswer(void* msg, vpkiResp*, void*)
{
    std::lock_guard<std::mutex> hold(answeredLock);
    answered.insert(vpkiAsyncReqId(msg));
}

class stress : public testsupport::serviceTest {
protected:
    notifyLog log;
};

TEST_F(stress, requestsEventsAndRestartsTogether)
{
    answered.clear();
    createAndLogin(&notifyLog::record, &recordAnswer, &log);

    std::mutex sentLock;
    std::vector<int32_t> sent;
    std::atomic<bool> stop{false};
    auto client = [&] {
        vpkiReq req;
        fillRequest(req, VPKI_DEV_getDevInfo, "{\"devID\":\"SIM-RSA-01\"}");
        while (!stop) {
            vpkiResp resp;
            reqSync(DEVSERVICE, &req, &resp);
            if (int32_t id = reqAsync(DEVSERVICE, &req, nullptr)) {
                std::lock_guard<std::mutex> hold(sentLock);
                sent.push_back(id);
            }
        }
    };

    auto run = std::async(std::launch::async, [&] {
        std::vector<std::thread> clients;
        for (int i = 0; i < 4; ++i)
            clients.emplace_back(client);
        for (int round = 0; round < 5; ++round) {
            for (int e = 0; e < 10; ++e)
                sim->pushEvent(VPKI_NOTIFY_DEVICE_MODIFIED, "{\"seq\":" + std::to_string(round * 10 + e) + "}");
            std::this_thread::sleep_for(100ms);
            sim->stop();
            sim->start();
        }
        stop = true;
        for (auto& t : clients)
            t.join();
    });
    ASSERT_EQ(run.wait_for(120s), std::future_status::ready) << "deadlock";

    ASSERT_TRUE(waitUntil([&] { return log.size() == 50; }));
    const auto events = log.snapshot();
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(events[i].body, "{\"seq\":" + std::to_string(i) + "}");

    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard<std::mutex> hold(answeredLock);
        return answered.size() >= sent.size();
    }));
    releaseAgent();
    std::lock_guard<std::mutex> hold(answeredLock);
    EXPECT_EQ(answered, std::multiset<int32_t>(sent.begin(), sent.end()));
    EXPECT_GT(sent.size(), 0u);
}

} // namespace
