// The lock, semaphore and thread wrappers.
#include <errno.h>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "helper.h"
#include "threadProbe.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Runs body on a new thread and returns once that thread is blocked.
struct blockedThread {
    std::atomic<pid_t> tid{0};
    std::thread thread;
    template <typename F>
    explicit blockedThread(F body) : thread([this, body] { tid = probe::currentTid(); body(); })
    {
        probe::eventually([this] { return tid != 0; });
        probe::waitUntilAsleep(tid);
    }
    ~blockedThread() { thread.join(); }
};

TEST(Locker, IsRecursiveAndHeldUntilReleasedAsOftenAsTaken)
{
    vant::tLocker locker;
    locker.lock();
    locker.lock();
    locker.unlock();
    std::atomic<bool> taken{false};
    {
        blockedThread other([&] {
            locker.lock();
            taken = true;
            locker.unlock();
        });
        EXPECT_FALSE(taken) << "one hold is still left";
        locker.unlock();
    }
    EXPECT_TRUE(taken);
}

struct countingLocker : vant::tLocker {
    int locks = 0, unlocks = 0;
    int lock() override { return ++locks, tLocker::lock(); }
    int unlock() override { return ++unlocks, tLocker::unlock(); }
};

TEST(LockHelper, ReleasesExactlyTheHoldsItHasOnEveryExit)
{
    countingLocker locker;
    { vant::tLockHelper idle(&locker, false); }
    EXPECT_EQ(0, locker.locks + locker.unlocks);
    {
        vant::tLockHelper guard(&locker, true);
        guard.lock();
        guard.lock();
        guard.unlock();
    }
    EXPECT_EQ(3, locker.locks);
    EXPECT_EQ(3, locker.unlocks);
    EXPECT_THROW(
        {
            vant::tLockHelper guard(&locker, true);
            throw std::runtime_error("leave the scope");
        },
        std::runtime_error);
    EXPECT_EQ(4, locker.unlocks);
}

TEST(Semaphore, WaitsTakeOnePostEachAndTimeOutIsReportedApart)
{
    vant::tSemer sem;
    sem.post();
    sem.post();
    EXPECT_EQ(0, sem.wait(0));
    EXPECT_EQ(0, sem.wait(50));
    auto start = steady_clock::now();
    EXPECT_EQ(vant::tSemer::timedOut, sem.wait(50)) << "both posts were taken";
    EXPECT_GE(steady_clock::now() - start, milliseconds(50));

    for (unsigned int timeout : {0u, 60000u}) {
        int result = -2;
        {
            blockedThread waiter([&] { result = sem.wait(timeout); });
            sem.post();  // a timed wait returns at once, not after its time-out
        }
        EXPECT_EQ(0, result);
    }
}

// A signal ends a blocking wait with EINTR without taking a count; a timed
// wait carries on by itself. Either way the later post is taken once.
TEST(Semaphore, SignalDuringWaitLosesNoPost)
{
    probe::quietSignal signals;
    vant::tSemer sem;
    for (unsigned int timeout : {0u, 60000u}) {
        int result = -2, interrupted = 0;
        {
            blockedThread waiter([&] {
                while ((result = sem.wait(timeout)) < 0 && errno == EINTR)
                    ++interrupted;
            });
            probe::quietSignal::interrupt(waiter.tid);
            probe::waitUntilAsleep(waiter.tid);
            sem.post();
        }
        EXPECT_EQ(0, result);
        EXPECT_EQ(timeout == 0 ? 1 : 0, interrupted) << "timeout " << timeout;
        EXPECT_EQ(vant::tSemer::timedOut, sem.wait(1)) << "exactly one count was taken";
    }
}

TEST(Thread, StopJoinsOnceAndNeverItself)
{
    tThread::tParam param;
    param.name = "probe";
    tThread idle(param);
    idle.stop(0);  // never started

    tThread self(param);
    ASSERT_TRUE(self.start([](void* arg) -> void* {
        static_cast<tThread*>(arg)->stop(0);
        return nullptr;
    }));
    EXPECT_FALSE(self.start([](void*) -> void* { return nullptr; })) << "a thread is still attached";
    self.stop(0);
    self.stop(0);
}

} // namespace
