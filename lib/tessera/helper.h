// Thin wrappers over POSIX threads, recursive mutexes, unnamed semaphores and
// atomic counters. They carry no policy: who locks what, and who waits for
// whom, is decided by their users.
#ifndef TESSERA_HELPER_H
#define TESSERA_HELPER_H

#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <string>

namespace vant {

// Atomically add or subtract 1 (full barrier); return the new value.
int lock_inc(int volatile* p);
int lock_dec(int volatile* p);

// Recursive mutex: the holder may lock it again and must unlock it as often.
class tLocker {
public:
    tLocker();
    virtual ~tLocker();
    tLocker(const tLocker&) = delete;
    tLocker& operator=(const tLocker&) = delete;

    virtual int lock();
    virtual int unlock();

private:
    pthread_mutex_t mutex;
};

// Scoped guard: releases every hold it still has when it goes out of scope,
// also when an exception leaves the scope.
class tLockHelper {
public:
    tLockHelper(tLocker* locker, bool lockNow);
    ~tLockHelper();
    tLockHelper(const tLockHelper&) = delete;
    tLockHelper& operator=(const tLockHelper&) = delete;

    void lock();
    void unlock();

private:
    int volatile lockCount;
    tLocker* locker;
};

// Unnamed, process-private counting semaphore, initial count 0.
class tSemer {
public:
    // Result of wait() when the time-out passed without the semaphore taken.
    static constexpr int timedOut = 1;

    explicit tSemer(const char* name = nullptr);
    virtual ~tSemer();
    tSemer(const tSemer&) = delete;
    tSemer& operator=(const tSemer&) = delete;

    virtual int post();
    // timeoutMs 0: block until taken. Otherwise wait at most timeoutMs.
    // Returns 0 when taken, timedOut when the time ran out, -1 on error
    // (EINTR included, so that callers decide whether to retry).
    virtual int wait(unsigned int timeoutMs);
    int prewait();

private:
    sem_t sem;
};

} // namespace vant

// A joinable thread. The routine receives the tThread object itself and reads
// its user value from param.param.
class tThread {
public:
    struct tParam {
        std::string name;
        void* param = nullptr;
    };

    explicit tThread(const tParam& p);
    ~tThread();
    tThread(const tThread&) = delete;
    tThread& operator=(const tThread&) = delete;

    // Starts routine(this). False when the thread could not be created, or when
    // a thread is still attached (join it with stop() first).
    bool start(void* (*routine)(void*));
    // Joins the attached thread, if any. Does nothing when called from the
    // thread itself (a thread cannot join itself). The argument is unused.
    void stop(int unused = 0);
    bool isStarted() const { return started; }

    tParam param;

private:
    static void* run(void* self);

    pthread_t threadId;
    void* (*routine)(void*) = nullptr;
    std::atomic<bool> started;
};

#endif // TESSERA_HELPER_H
