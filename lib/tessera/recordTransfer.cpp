#include "recordTransfer.h"

#include <cstring>
#include <ctime>

#include "helper.h"

int32_t getReqidx()
{
    static int volatile g_reqIndex = static_cast<int32_t>(std::time(nullptr));
    return vant::lock_inc(&g_reqIndex);
}

std::string_view requestText(const vpkiReq& in)
{
    if (in.jsonBody[0] != 0)
        return std::string_view(in.jsonBody, strnlen(in.jsonBody, sizeof in.jsonBody));
    if (in.body == nullptr || in.body->getData() == nullptr)
        return std::string_view();
    const char* text = in.body->getData();
    return std::string_view(text, strnlen(text, static_cast<size_t>(in.body->getSize())));
}

void tranferReq(pkimid::msgRequest& out, const vpkiReq& in, int reqid)
{
    out.reqid = reqid != 0 ? reqid : getReqidx();
    out.version = in.version;
    out.extend = in.extend;
    const std::string_view text = requestText(in);
    out.jsonBody.assign(text.data(), text.size());
    out.msgType = in.msgType;
}

void tranferResp(vpkiResp& out, const pkimid::msgResponse& in)
{
    // The buffer first: it is the only step that can fail, and a failure must
    // leave the record untouched. A record without a buffer keeps the text
    // field alone.
    const size_t length = in.jsonBody.size();
    if (out.body != nullptr) {
        out.body->setSize(static_cast<int64_t>(length) + 1);
        memcpy(out.body->getData(), in.jsonBody.data(), length);
    }
    out.respid = in.respid;
    out.msgType = in.msgType;
    out.version = in.version;
    out.errCode = in.errCode;
    out.extend = in.extend;
    strncpy(out.jsonBody, in.jsonBody.c_str(), sizeof out.jsonBody - 1);
    out.jsonBody[sizeof out.jsonBody - 1] = 0;
}
