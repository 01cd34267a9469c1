// The asynchronous request path: reqAsync queues a copy of the application's
// request on the worker pool, whose one worker sends the requests in order
// and hands each response to the response callback.
#ifndef TESSERA_ASYNC_REQ_H
#define TESSERA_ASYNC_REQ_H

#include <atomic>

#include "applicationCallbacks.h"
#include "req.h"
#include "reqThreadPool.h"
#include "tessera.h"

namespace vant {

class asyncRequests {
public:
    asyncRequests(requestContext requests, const applicationCallbacks& callbacks);
    ~asyncRequests();
    asyncRequests(const asyncRequests&) = delete;
    asyncRequests& operator=(const asyncRequests&) = delete;

    // Starts the pool with one worker, however often it is called; false
    // when it could not be started.
    bool initAysncReq();
    // Returns once the worker has called back every queued request (those
    // not sent yet fail at once) and ended.
    void uninitAysncReq();
    // Queues one request; its id, or 0 when nothing was queued.
    int32_t pushReq(int service, void* param, const vpkiReq* req);

private:
    using requestPool = reqThreadPool<stRequest>;

    static void* threadAsyncReq(void* arg);
    void performRequest(const requestPool::msg& m);

    const requestContext requests;
    const applicationCallbacks& callbacks;
    std::atomic<bool> sending{false}; // false from the release on: queued requests fail
    requestPool g_reqTrdPool;
};

} // namespace vant

// Fills a fresh record from the application's request: a new id, the numbers,
// and the request text (jsonBody when set, otherwise body up to its first zero
// byte) followed by a zero byte. Throws std::bad_alloc when memory runs out.
void req2Req(vant::stRequest& out, const vpkiReq* in);

#endif // TESSERA_ASYNC_REQ_H
