// The request thread pool: channel choice, order, stopping, record recycling
// and workers that survive spurious wake-ups.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "reqThreadPool.h"
#include "threadProbe.h"

namespace {

// A request record that counts the records alive.
struct countedReq {
    static std::atomic<int> made, destroyed;
    int value = 0;
    countedReq() { ++made; }
    ~countedReq() { ++destroyed; }
    countedReq& operator=(countedReq&& other) noexcept
    {
        value = other.value;
        return *this;
    }
    static int alive() { return made - destroyed; }
};
std::atomic<int> countedReq::made{0}, countedReq::destroyed{0};

using channel = reqThreadPool<countedReq>::trdChannel;
using handling = std::pair<channel*, int>;

// A pool whose workers record what they handle. While holding is set, each
// worker waits at the gate with its request taken (busy).
struct benchPool : reqThreadPool<countedReq> {
    bool holding = false;
    bool uinitFromWorker = false;
    probe::gate release;
    probe::collector<handling> entered, handled;
    probe::collector<pid_t> workerTids;
    countedReq local;

    ~benchPool() override { uinit(); }  // before the members the workers use go

    bool send(int value)
    {
        local.value = value;
        return sendReq(1, local, nullptr);
    }
    std::vector<int> handledValues()
    {
        std::vector<int> values;
        for (const handling& h : handled.snapshot())
            values.push_back(h.second);
        return values;
    }
};

void* benchWorker(void* arg)
{
    auto* ch = static_cast<channel*>(static_cast<tThread*>(arg)->param.param);
    auto* bench = static_cast<benchPool*>(ch->pool);
    bench->workerTids.add(probe::currentTid());
    reqThreadPool<countedReq>::msg m{};
    while (ch->running && ch->pop(m) && m.req != nullptr) {
        ch->busy = true;
        int value = m.req->value;
        bench->entered.add({ch, value});
        if (bench->holding)
            bench->release.pass();
        if (bench->uinitFromWorker)
            bench->uinit();  // ignored: it would wait for itself
        ch->recover(m.req);
        ch->busy = false;
        bench->handled.add({ch, value});
    }
    return nullptr;
}

// Shortest queue first, then an idle channel before a busy one, then the
// earlier channel.
TEST(ReqThreadPool, ChoosesChannelByQueueLengthThenIdleness)
{
    benchPool bench;
    bench.holding = true;
    ASSERT_TRUE(bench.init(benchWorker, 2));
    channel* first = bench.channelAt(0);
    channel* second = bench.channelAt(1);

    ASSERT_TRUE(bench.send(1));  // both idle and empty: the first
    ASSERT_TRUE(bench.entered.waitForCount(1));
    ASSERT_TRUE(bench.send(2));  // empty queues, the first busy: the second
    ASSERT_TRUE(bench.entered.waitForCount(2));
    EXPECT_EQ((std::vector<handling>{{first, 1}, {second, 2}}), bench.entered.snapshot());
    ASSERT_TRUE(bench.send(3));  // both busy with empty queues: the first
    EXPECT_EQ(1, first->getReqCount());
    ASSERT_TRUE(bench.send(4));  // the second has the shorter queue
    EXPECT_EQ(1, second->getReqCount());
    ASSERT_TRUE(bench.send(5));  // equal queues, both busy: the first
    EXPECT_EQ(2, first->getReqCount());
    bench.release.open();
    EXPECT_TRUE(bench.handled.waitForCount(5));
}

TEST(ReqThreadPool, HandlesInOrderAndRecyclesRecords)
{
    benchPool bench;
    ASSERT_TRUE(bench.init(benchWorker, 1));
    std::vector<int> sent;
    auto sendAndWait = [&](int count) {
        for (int i = 0; i < count; ++i) {
            sent.push_back(static_cast<int>(sent.size()));
            ASSERT_TRUE(bench.send(sent.back()));
        }
        ASSERT_TRUE(bench.handled.waitForCount(sent.size()));
    };
    sendAndWait(1);
    int made = countedReq::made;
    for (int i = 0; i < 50; ++i)
        sendAndWait(1);
    EXPECT_EQ(made, countedReq::made) << "one request at a time reuses one record";

    sendAndWait(100);
    int freeRecords = static_cast<int>(bench.freeCount());
    EXPECT_EQ(countedReq::alive() - 1, freeRecords) << "all records but the local one are back";
    made = countedReq::made;
    sendAndWait(freeRecords);
    EXPECT_EQ(made, countedReq::made) << "a burst no larger than the free list allocates nothing";
    EXPECT_EQ(sent, bench.handledValues());
}

TEST(ReqThreadPool, RefusesWorkUnlessRunningAndStartsAgain)
{
    int aliveBefore = countedReq::alive();
    benchPool bench;
    EXPECT_FALSE(bench.send(1)) << "not initialised";
    EXPECT_FALSE(bench.init(benchWorker, 0));
    EXPECT_FALSE(bench.send(1)) << "no channel";

    ASSERT_TRUE(bench.init(benchWorker, 1));
    ASSERT_TRUE(bench.send(1));
    ASSERT_TRUE(bench.handled.waitForCount(1));
    bench.uinit();
    bench.uinit();  // a second stop does no harm
    EXPECT_FALSE(bench.send(2)) << "stopped";
    EXPECT_EQ(aliveBefore + 1, countedReq::alive()) << "only the local record is left";

    ASSERT_TRUE(bench.init(benchWorker, 1));
    ASSERT_TRUE(bench.send(3));
    ASSERT_TRUE(bench.handled.waitForCount(2));
    EXPECT_EQ(bench.channelAt(0), bench.handled.snapshot()[1].first);
    EXPECT_EQ(nullptr, bench.channelAt(1)) << "the stopped channel is gone";
}

TEST(ReqThreadPool, StopHandlesEveryQueuedRequestFirst)
{
    benchPool bench;
    bench.holding = true;
    ASSERT_TRUE(bench.init(benchWorker, 1));
    for (int i = 1; i <= 4; ++i)
        ASSERT_TRUE(bench.send(i));
    ASSERT_TRUE(bench.entered.waitForCount(1));
    channel* ch = bench.channelAt(0);
    std::thread stopper([&] { bench.uinit(); });
    EXPECT_TRUE(probe::eventually([&] { return ch->getReqCount() == 4; })) << "3 requests, then the stop";
    EXPECT_FALSE(bench.send(5)) << "refused once stopping";
    bench.release.open();
    stopper.join();
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), bench.handledValues());
}

TEST(ReqThreadPool, EveryAcceptedRequestIsHandledWhenStoppedWhileSending)
{
    benchPool bench;
    ASSERT_TRUE(bench.init(benchWorker, 2));
    std::atomic<size_t> accepted{0};
    auto sendUntilRefused = [&] {
        countedReq request;
        while (bench.sendReq(0, request, nullptr))
            ++accepted;
    };
    std::thread a(sendUntilRefused), b(sendUntilRefused);
    ASSERT_TRUE(bench.handled.waitForCount(50));
    bench.uinit();
    a.join();
    b.join();
    EXPECT_EQ(accepted, bench.handled.snapshot().size());
}

// Surplus posts and signals wake the worker to an empty queue; it waits
// again, and a worker that stops its own pool carries on too.
TEST(ReqThreadPool, WorkerKeepsServingAfterSpuriousWakeups)
{
    probe::quietSignal signals;
    benchPool bench;
    ASSERT_TRUE(bench.init(benchWorker, 1));
    ASSERT_TRUE(bench.workerTids.waitForCount(1));
    pid_t worker = bench.workerTids.snapshot()[0];
    ASSERT_TRUE(probe::waitUntilAsleep(worker));
    bench.channelAt(0)->semer.post();
    bench.channelAt(0)->semer.post();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(probe::waitUntilAsleep(worker));
        probe::quietSignal::interrupt(worker);
    }
    ASSERT_TRUE(probe::waitUntilAsleep(worker));
    ASSERT_TRUE(bench.send(1));
    ASSERT_TRUE(bench.handled.waitForCount(1));

    bench.uinitFromWorker = true;
    ASSERT_TRUE(bench.send(2));
    ASSERT_TRUE(bench.send(3));
    EXPECT_TRUE(bench.handled.waitForCount(3));
}

} // namespace
