// The request thread pool under the two races an application cannot arrange
// through the C API: a stop that meets requests being sent, and a worker woken
// without a request (surplus posts, signals, a stop from the worker itself).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reqThreadPool.h"
#include "waitUntil.h"

namespace {

using testsupport::waitUntil;

struct request {
    int value = 0;
};

// A pool whose worker records the values it handles.
struct recordingPool : reqThreadPool<request> {
    std::mutex lock;
    std::vector<int> handled;
    std::atomic<pid_t> workerTid{0};
    std::atomic<bool> stopFromWorker{false};

    ~recordingPool() override { uinit(); } // before the members the worker uses go

    size_t handledCount()
    {
        std::lock_guard<std::mutex> hold(lock);
        return handled.size();
    }
    bool send(int value)
    {
        request r;
        r.value = value;
        return sendReq(0, r, nullptr);
    }
};

void* recordingWorker(void* arg)
{
    auto* channel = static_cast<reqThreadPool<request>::trdChannel*>(static_cast<tThread*>(arg)->param.param);
    auto* pool = static_cast<recordingPool*>(channel->pool);
    pool->workerTid = static_cast<pid_t>(syscall(SYS_gettid));
    reqThreadPool<request>::msg m{};
    while (channel->running && channel->pop(m) && m.req != nullptr) {
        if (pool->stopFromWorker)
            pool->uinit(); // ignored: the worker would wait for itself
        {
            std::lock_guard<std::mutex> hold(pool->lock);
            pool->handled.push_back(m.req->value);
        }
        channel->recover(m.req);
    }
    return nullptr;
}

// The thread sleeps in the kernel (state S), that is in a blocking wait.
bool asleep(pid_t tid)
{
    return waitUntil([tid] {
        std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        return close != std::string::npos && line.compare(close, 3, ") S") == 0;
    });
}

TEST(pool, everyAcceptedRequestIsHandledWhenStoppedWhileSending)
{
    recordingPool pool;
    ASSERT_TRUE(pool.init(recordingWorker, 2));
    std::atomic<size_t> accepted{0};
    auto sendUntilRefused = [&] {
        while (pool.send(1))
            ++accepted;
    };
    std::thread a(sendUntilRefused), b(sendUntilRefused);
    ASSERT_TRUE(waitUntil([&] { return pool.handledCount() >= 50; }));
    pool.uinit();
    a.join();
    b.join();
    EXPECT_EQ(accepted, pool.handledCount());
}

TEST(pool, workerKeepsServingAfterWakingToAnEmptyQueue)
{
    // A handler without SA_RESTART, so that the signal cuts the wait short.
    struct sigaction quiet {
    }, previous{};
    quiet.sa_handler = [](int) {};
    sigaction(SIGUSR1, &quiet, &previous);

    recordingPool pool;
    ASSERT_TRUE(pool.init(recordingWorker, 1));
    ASSERT_TRUE(waitUntil([&] { return pool.workerTid != 0; }));
    const pid_t worker = pool.workerTid;
    ASSERT_TRUE(asleep(worker));
    pool.channelAt(0)->semer.post();
    pool.channelAt(0)->semer.post();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(asleep(worker));
        syscall(SYS_tgkill, getpid(), worker, SIGUSR1);
    }
    ASSERT_TRUE(asleep(worker));
    ASSERT_TRUE(pool.send(1));
    EXPECT_TRUE(waitUntil([&] { return pool.handledCount() == 1; }));

    pool.stopFromWorker = true;
    ASSERT_TRUE(pool.send(2));
    ASSERT_TRUE(pool.send(3));
    EXPECT_TRUE(waitUntil([&] { return pool.handledCount() == 3; }));
    sigaction(SIGUSR1, &previous, nullptr);
}

} // namespace
