// A small pool of worker channels for request records of type T. Each channel
// owns one thread and one FIFO queue; the pool picks a channel for every
// request, hands the request over in a record taken from its free list and
// takes the record back when the worker is done with it. The worker routine is
// supplied by the user of the pool.
//
// Requirements on T: default-constructible, destructible and move-assignable,
// where a move hands over everything the source owns.
#ifndef TESSERA_REQ_THREAD_POOL_H
#define TESSERA_REQ_THREAD_POOL_H

#include <errno.h>

#include <atomic>
#include <cstddef>
#include <list>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "helper.h"

template <typename T>
class reqThreadPool {
public:
    // One queued request. req null marks the stop message.
    struct msg {
        int type;
        T* req;
        void* param;
    };

    class trdChannel {
    public:
        trdChannel() = default;
        ~trdChannel() = default; // stop() must have run first
        trdChannel(const trdChannel&) = delete;
        trdChannel& operator=(const trdChannel&) = delete;

        bool start();
        void stop();
        bool push(int type, T* req, void* param);
        bool getMsg(msg& out);
        bool pop(msg& out);
        int getReqCount();
        void recover(T* r) { pool->freeReq(r); }

        std::atomic<bool> running{false}; // thread exists; worker loops while set
        std::atomic<bool> busy{false};    // worker holds a request
        reqThreadPool* pool = nullptr;
        void* (*threadFunc)(void*) = nullptr;
        tThread* thread = nullptr;
        int number = 0;       // tells the channels apart in the thread name
        vant::tLocker locker; // guards msgList
        vant::tSemer semer;   // posted once per pushed message
        std::list<msg> msgList;
    };

    reqThreadPool() = default;
    virtual ~reqThreadPool() { uinit(); }
    reqThreadPool(const reqThreadPool&) = delete;
    reqThreadPool& operator=(const reqThreadPool&) = delete;

    // Starts count more channels running fn; true when the pool runs. A
    // channel that cannot be made ends the call with false.
    bool init(void* (*fn)(void*), int count);
    void uinit();
    // Moves req into a pooled record and queues it; false when nothing was
    // queued (req is then left as it was).
    bool sendReq(int type, T& req, void* param);
    // A record from the free list or a new one; null when memory runs out.
    T* getReq();
    void freeReq(T* r);

    bool isRunning() const { return running; }
    // What the worker routine serves, for the routine to find it from its channel.
    void setOwner(void* served) { owner_ = served; }
    void* owner() const { return owner_; }
    // The channel at index i (creation order), null beyond the last one.
    trdChannel* channelAt(std::size_t i);
    std::size_t freeCount();

private:
    trdChannel* chooseChannel();
    static void* workerEntry(void* arg);
    static const reqThreadPool*& servedPool();

    // Guards channels and the changes of running, so that a request accepted
    // by sendReq is always queued in front of the stop message of uinit.
    vant::tLocker channelsLocker;
    std::vector<trdChannel*> channels;
    std::atomic<bool> running{false};
    int channelsMade = 0;
    vant::tLocker locker; // guards freeList
    std::list<T*> freeList;
    void* owner_ = nullptr;
};

// The pool whose worker runs on the calling thread, if any.
template <typename T>
const reqThreadPool<T>*& reqThreadPool<T>::servedPool()
{
    static thread_local const reqThreadPool* pool = nullptr;
    return pool;
}

template <typename T>
void* reqThreadPool<T>::workerEntry(void* arg)
{
    auto* channel = static_cast<trdChannel*>(static_cast<tThread*>(arg)->param.param);
    servedPool() = channel->pool;
    return channel->threadFunc(arg);
}

template <typename T>
bool reqThreadPool<T>::trdChannel::start()
{
    tThread::tParam param;
    param.name = "poolTrd " + std::to_string(number);
    param.param = this;
    thread = new (std::nothrow) tThread(param);
    if (thread == nullptr)
        return false;
    running = true;
    return thread->start(workerEntry);
}

template <typename T>
void reqThreadPool<T>::trdChannel::stop()
{
    push(0, nullptr, nullptr);
    if (thread != nullptr) {
        thread->stop(0);
        delete thread;
        thread = nullptr;
    }
    running = false;
    vant::tLockHelper guard(&locker, true);
    for (msg& m : msgList)
        delete m.req;
    msgList.clear();
}

template <typename T>
bool reqThreadPool<T>::trdChannel::push(int type, T* req, void* param)
{
    try {
        vant::tLockHelper guard(&locker, true);
        msgList.push_back(msg{type, req, param});
    } catch (const std::bad_alloc&) {
        return false;
    }
    semer.post();
    return true;
}

template <typename T>
bool reqThreadPool<T>::trdChannel::getMsg(msg& out)
{
    vant::tLockHelper guard(&locker, true);
    if (msgList.empty())
        return false;
    out = msgList.front();
    msgList.pop_front();
    return true;
}

// The semaphore may count more posts than there are messages (getMsg takes a
// queued message without waiting), so waking to an empty queue just waits
// again. A wait cut short by a signal is retried: ending the worker would
// leave the channel's queue unserved.
template <typename T>
bool reqThreadPool<T>::trdChannel::pop(msg& out)
{
    for (;;) {
        if (getMsg(out))
            return true;
        semer.prewait();
        if (semer.wait(0) < 0 && errno != EINTR)
            return false;
    }
}

template <typename T>
int reqThreadPool<T>::trdChannel::getReqCount()
{
    vant::tLockHelper guard(&locker, true);
    return static_cast<int>(msgList.size());
}

template <typename T>
bool reqThreadPool<T>::init(void* (*fn)(void*), int count)
{
    for (int i = 0; i < count; ++i) {
        auto* channel = new (std::nothrow) trdChannel;
        if (channel == nullptr)
            return false;
        channel->pool = this;
        channel->threadFunc = fn;
        channel->number = channelsMade++;
        if (!channel->start()) {
            channel->stop();
            delete channel;
            return false;
        }
        vant::tLockHelper guard(&channelsLocker, true);
        try {
            channels.push_back(channel);
        } catch (const std::bad_alloc&) {
            channel->stop();
            delete channel;
            return false;
        }
    }
    vant::tLockHelper guard(&channelsLocker, true);
    running = !channels.empty();
    return running;
}

// Lets every worker finish the requests queued before the stop message, then
// frees the channels and the free list. Called from one of the pool's own
// workers it does nothing: the worker would wait for itself.
template <typename T>
void reqThreadPool<T>::uinit()
{
    if (servedPool() == this)
        return;
    std::vector<trdChannel*> stopping;
    {
        vant::tLockHelper guard(&channelsLocker, true);
        running = false;
        stopping.swap(channels);
    }
    for (trdChannel* channel : stopping) {
        channel->stop();
        delete channel;
    }
    vant::tLockHelper guard(&locker, true);
    for (T* r : freeList)
        delete r;
    freeList.clear();
}

// The shortest queue wins; among equal queues an idle channel beats a busy
// one; otherwise the earlier channel wins.
template <typename T>
typename reqThreadPool<T>::trdChannel* reqThreadPool<T>::chooseChannel()
{
    trdChannel* chosen = nullptr;
    int bestCount = 0xFFFFFF;
    bool chosenBusy = true;
    for (trdChannel* channel : channels) {
        if (!channel->running)
            continue;
        int n = channel->getReqCount();
        bool busy = channel->busy;
        if (n < bestCount || (n == bestCount && chosenBusy && !busy)) {
            chosen = channel;
            bestCount = n;
            chosenBusy = busy;
        }
    }
    return chosen;
}

template <typename T>
bool reqThreadPool<T>::sendReq(int type, T& req, void* param)
{
    vant::tLockHelper guard(&channelsLocker, true);
    if (!running)
        return false;
    trdChannel* channel = chooseChannel();
    if (channel == nullptr)
        return false;
    T* record = getReq();
    if (record == nullptr)
        return false;
    *record = std::move(req);
    if (channel->push(type, record, param))
        return true;
    req = std::move(*record); // not queued: the caller keeps its request
    freeReq(record);
    return false;
}

template <typename T>
T* reqThreadPool<T>::getReq()
{
    {
        vant::tLockHelper guard(&locker, true);
        if (!freeList.empty()) {
            T* r = freeList.front();
            freeList.pop_front();
            return r;
        }
    }
    try {
        return new T;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

template <typename T>
void reqThreadPool<T>::freeReq(T* r)
{
    vant::tLockHelper guard(&locker, true);
    try {
        freeList.push_back(r);
    } catch (const std::bad_alloc&) {
        delete r;
    }
}

template <typename T>
typename reqThreadPool<T>::trdChannel* reqThreadPool<T>::channelAt(std::size_t i)
{
    vant::tLockHelper guard(&channelsLocker, true);
    return i < channels.size() ? channels[i] : nullptr;
}

template <typename T>
std::size_t reqThreadPool<T>::freeCount()
{
    vant::tLockHelper guard(&locker, true);
    return freeList.size();
}

#endif // TESSERA_REQ_THREAD_POOL_H
