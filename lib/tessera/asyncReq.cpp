#include "asyncReq.h"

#include <cxxabi.h>

#include <cstddef>
#include <cstring>
#include <new>

#include "agent.h"
#include "callbackScope.h"
#include "lastError.h"

using requestPool = reqThreadPool<vant::stRequest>;

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
    takenRequest(requestPool::trdChannel& c, vant::stRequest* r) : channel(c), req(r) { channel.busy = true; }
    ~takenRequest()
    {
        channel.recover(req);
        channel.busy = false;
    }
    takenRequest(const takenRequest&) = delete;
    takenRequest& operator=(const takenRequest&) = delete;

private:
    requestPool::trdChannel& channel;
    vant::stRequest* req;
};

// A failed request reaches the callback with the response as constructed,
// and with the reason set for agentLastError on this thread.
void performRequest(const requestPool::msg& m)
{
    vpkiResp resp;
    if (vant::theAgent().created) {
        borrowedRequest call(*m.req);
        reqSync(static_cast<PKI_SERVICE>(m.type), &call.rec, &resp);
    } else {
        vant::setLastError(VPKI_ERR_INTERRUPTED, "the agent was released before the request was sent");
    }
    vpkiAsyncMsg message{m.type, m.req, m.param};
    if (agentRespCB callback = vant::theAgent().respCB) {
        vant::callbackScope inCallback(vant::callbackKind::event);
        callback(&message, &resp, m.param);
    }
}

} // namespace

// One worker, however often the agent is created: responses keep the order
// in which their requests were accepted.
bool initAysncReq()
{
    reqThreadPool<vant::stRequest>& worker = vant::theAgent().worker;
    return worker.isRunning() || worker.init(threadAsyncReq, 1);
}

void uninitAysncReq()
{
    vant::theAgent().worker.uinit();
}

void req2Req(vant::stRequest& out, const vpkiReq* in)
{
    out.reqid = nextRequestId();
    out.msgType = in->msgType;
    out.version = in->version;
    out.extend = in->extend;
    const std::string_view text = requestText(*in);
    setText(*out.body, text.data(), text.size());
}

int pushReq(PKI_SERVICE service, void* param, const vpkiReq* req)
{
    if (req == nullptr)
        return 0;
    try {
        vant::stRequest local;
        req2Req(local, req);
        return vant::theAgent().worker.sendReq(service, local, param) ? local.reqid : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

void* threadAsyncReq(void* arg)
{
    auto* channel = static_cast<requestPool::trdChannel*>(static_cast<tThread*>(arg)->param.param);
    requestPool::msg m{};
    while (channel->running) {
        if (!channel->pop(m) || m.req == nullptr)
            break;
        takenRequest taken(*channel, m.req);
        try {
            performRequest(m);
        } catch (const abi::__forced_unwind&) {
            throw; // thread cancellation must unwind to its end
        } catch (...) {
            // An application callback threw: the worker goes on with the next request.
        }
    }
    return nullptr;
}
