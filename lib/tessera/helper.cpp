#include "helper.h"

#include <errno.h>
#include <time.h>

namespace vant {

int lock_inc(int volatile* p)
{
    return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST);
}

int lock_dec(int volatile* p)
{
    return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST);
}

tLocker::tLocker()
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

tLocker::~tLocker()
{
    pthread_mutex_destroy(&mutex);
}

int tLocker::lock()
{
    return pthread_mutex_lock(&mutex);
}

int tLocker::unlock()
{
    return pthread_mutex_unlock(&mutex);
}

tLockHelper::tLockHelper(tLocker* l, bool lockNow) : lockCount(0), locker(l)
{
    if (lockNow)
        lock();
}

tLockHelper::~tLockHelper()
{
    while (lockCount > 0)
        unlock();
}

void tLockHelper::lock()
{
    lock_inc(&lockCount);
    locker->lock();
}

void tLockHelper::unlock()
{
    lock_dec(&lockCount);
    locker->unlock();
}

tSemer::tSemer(const char*)
{
    sem_init(&sem, 0, 0);
}

tSemer::~tSemer()
{
    sem_destroy(&sem);
}

int tSemer::post()
{
    return sem_post(&sem);
}

int tSemer::prewait()
{
    return 0;
}

int tSemer::wait(unsigned int timeoutMs)
{
    if (timeoutMs == 0)
        return sem_wait(&sem);

    // sem_timedwait takes an absolute CLOCK_REALTIME deadline; sem_clockwait
    // lets the deadline follow the monotonic clock so that a clock step does
    // not stretch or cut the wait.
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        if (sem_clockwait(&sem, CLOCK_MONOTONIC, &deadline) == 0)
            return 0;
        if (errno == ETIMEDOUT)
            return timedOut;
        if (errno != EINTR)
            return -1;
    }
}

} // namespace vant

namespace {

// The tThread whose routine runs on this thread, so that stop() can tell a
// thread stopping itself without reading threadId, which pthread_create may
// still be writing.
thread_local const tThread* runningHere = nullptr;

} // namespace

tThread::tThread(const tParam& p) : param(p), threadId(), started(false) {}

tThread::~tThread()
{
    stop(0);
}

void* tThread::run(void* self)
{
    auto* thread = static_cast<tThread*>(self);
    runningHere = thread;
    return thread->routine(thread);
}

bool tThread::start(void* (*fn)(void*))
{
    if (started)
        return false;
    routine = fn;
    started = true;
    if (pthread_create(&threadId, nullptr, &tThread::run, this) != 0)
        started = false;
    return started;
}

void tThread::stop(int)
{
    if (!started || runningHere == this)
        return;
    pthread_join(threadId, nullptr);
    started = false;
}
