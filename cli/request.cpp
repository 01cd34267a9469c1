#include "request.h"

#include <cstring>

#include "catalogue.h"
#include "exitCodes.h"

namespace cli {
namespace {

// Short texts travel in the record's text field, longer ones in its buffer.
void putBody(const std::string& body, vpkiReq& req)
{
    if (body.size() < sizeof req.jsonBody) {
        std::memcpy(req.jsonBody, body.data(), body.size());
        return;
    }
    req.body->setSize(static_cast<int64_t>(body.size()) + 1);
    std::memcpy(req.body->getData(), body.data(), body.size());
}

} // namespace

void sendRequest(const requestSpec& spec, vpkiResp& resp)
{
    vpkiReq req;
    req.msgType = spec.msgType;
    req.version = spec.version;
    req.extend = spec.extend;
    putBody(spec.body, req);
    if (!reqSync(static_cast<PKI_SERVICE>(spec.service), &req, &resp)) {
        const char* method = vant::catalogueMethod(spec.service, spec.msgType);
        throw libraryFailure(std::string(vant::serviceWireName(spec.service)) + ":" +
                             (method != nullptr ? method : "?"));
    }
}

} // namespace cli
