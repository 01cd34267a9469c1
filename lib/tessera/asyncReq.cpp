#include "asyncReq.h"

#include <cxxabi.h>

#include <cstddef>
#include <cstring>
#include <new>

#include "callbackScope.h"
#include "lastError.h"
#include "recordTransfer.h"

namespace {

// 0 means "refused" to reqAsync's callers, so it is never handed out as an id.
int32_t nextRequestId()
{
    int32_t id = getReqidx();
    while (id == 0)
        id = getReqidx();
    return id;
}

// The buffer of a fresh record takes the text's characters and a zero byte.
void setText(vant::CByteArray& body, const char* text, size_t length)
{
    if (length == 0)
        return;
    body.setSize(static_cast<int64_t>(length) + 1);
    memcpy(body.getData(), text, length);
}

// The request record handed to reqSync: its body is the pooled record's
// buffer, borrowed for the call and never released by it.
class borrowedRequest {
public:
    explicit borrowedRequest(const vant::stRequest& from)
    {
        rec.msgType = from.msgType;
        rec.version = from.version;
        rec.extend = from.extend;
        if (from.body != nullptr) {
            delete rec.body;
            rec.body = from.body;
            borrowed = true;
        }
    }
    ~borrowedRequest()
    {
        if (borrowed)
            rec.body = nullptr;
    }
    borrowedRequest(const borrowedRequest&) = delete;
    borrowedRequest& operator=(const borrowedRequest&) = delete;

    vpkiReq rec;

private:
    bool borrowed = false;
};

// Marks the channel busy while the worker holds a request, and hands the
// record back to the pool however the request ends.
class takenRequest {
public:
    takenRequest(reqThreadPool<vant::stRequest>::trdChannel& c, vant::stRequest* r) : channel(c), req(r)
    {
        channel.busy = true;
    }
    ~takenRequest()
    {
        channel.recover(req);
        channel.busy = false;
    }
    takenRequest(const takenRequest&) = delete;
    takenRequest& operator=(const takenRequest&) = delete;

private:
    reqThreadPool<vant::stRequest>::trdChannel& channel;
    vant::stRequest* req;
};

} // namespace

namespace vant {

asyncRequests::asyncRequests(requestContext requests, const applicationCallbacks& callbacks)
    : requests(requests),
      callbacks(callbacks)
{
    g_reqTrdPool.setOwner(this);
}

asyncRequests::~asyncRequests()
{
    uninitAysncReq();
}

// One worker, however often the agent is created: responses keep the order
// in which their requests were accepted.
bool asyncRequests::initAysncReq()
{
    sending = true;
    return g_reqTrdPool.isRunning() || g_reqTrdPool.init(threadAsyncReq, 1);
}

void asyncRequests::uninitAysncReq()
{
    sending = false;
    g_reqTrdPool.uinit();
}

int32_t asyncRequests::pushReq(int service, void* param, const vpkiReq* req)
{
    if (req == nullptr)
        return 0;
    try {
        stRequest local;
        req2Req(local, req);
        return g_reqTrdPool.sendReq(service, local, param) ? local.reqid : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

// A failed request reaches the callback with the response as constructed,
// and with the reason set for agentLastError on this thread; a request that
// succeeded with VPKI_OK there, whatever the one before left.
void asyncRequests::performRequest(const requestPool::msg& m)
{
    vpkiResp resp;
    if (sending) {
        borrowedRequest call(*m.req);
        if (sendRequest(requests, m.type, call.rec, resp))
            clearLastError();
    } else {
        setLastError(VPKI_ERR_INTERRUPTED, "the agent was released before the request was sent");
    }
    vpkiAsyncMsg message{m.type, m.req, m.param};
    if (agentRespCB callback = callbacks.respCB) {
        callbackScope inCallback(callbackKind::event);
        callback(&message, &resp, m.param);
    }
}

void* asyncRequests::threadAsyncReq(void* arg)
{
    auto* channel = static_cast<requestPool::trdChannel*>(static_cast<tThread*>(arg)->param.param);
    auto& self = *static_cast<asyncRequests*>(channel->pool->owner());
    requestPool::msg m{};
    while (channel->running) {
        if (!channel->pop(m) || m.req == nullptr)
            break;
        takenRequest taken(*channel, m.req);
        try {
            self.performRequest(m);
        } catch (const abi::__forced_unwind&) {
            throw; // thread cancellation must unwind to its end
        } catch (...) {
            // An application callback threw: the worker goes on with the next request.
        }
    }
    return nullptr;
}

} // namespace vant

void req2Req(vant::stRequest& out, const vpkiReq* in)
{
    out.reqid = nextRequestId();
    out.msgType = in->msgType;
    out.version = in->version;
    out.extend = in->extend;
    const std::string_view text = requestText(*in);
    setText(*out.body, text.data(), text.size());
}
