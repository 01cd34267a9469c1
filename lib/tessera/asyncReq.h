// The asynchronous request path: reqAsync queues a copy of the application's
// request on the agent's worker pool, whose worker performs it through
// reqSync and hands the response to the response callback.
#ifndef TESSERA_ASYNC_REQ_H
#define TESSERA_ASYNC_REQ_H

#include "reqThreadPool.h"
#include "tessera.h"

// Starts the pool with one worker; false when it could not be started.
bool initAysncReq();
// Returns once the worker has called back every queued request and ended.
void uninitAysncReq();
// Queues one request; its id, or 0 when nothing was queued.
int pushReq(PKI_SERVICE service, void* param, const vpkiReq* req);
// Fills a fresh record from the application's request: a new id, the numbers,
// and the request text (jsonBody when set, otherwise body up to its first zero
// byte) followed by a zero byte. Throws std::bad_alloc when memory runs out.
void req2Req(vant::stRequest& out, const vpkiReq* in);
// The pool's worker routine; arg is the channel's tThread.
void* threadAsyncReq(void* arg);

#endif // TESSERA_ASYNC_REQ_H
