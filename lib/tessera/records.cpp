#include "records.h"

#include <cstring>
#include <string>

#include "lastError.h"

namespace vant {

namespace {

bool refused(const std::string& why)
{
    setLastError(VPKI_ERR_BAD_ARGUMENT, "vpkiReqSetBody: " + why);
    return false;
}

// Why the record cannot carry the text, or null when it can.
const char* unfitBody(const vpkiReq* req, const char* text, size_t length)
{
    if (req == nullptr)
        return "null request record";
    if (text == nullptr && length > 0)
        return "null text of non-zero length";
    if (req->body == nullptr)
        return "the record has no body buffer (not made by vpkiReqNew)";
    if (length > VPKI_REQUEST_BODY_MAX)
        return "text longer than VPKI_REQUEST_BODY_MAX";
    return nullptr;
}

} // namespace

vpkiReq* newRequestRecord()
{
    return new vpkiReq;
}

vpkiResp* newResponseRecord()
{
    return new vpkiResp;
}

void freeRequestRecord(vpkiReq* req) noexcept
{
    delete req;
}

void freeResponseRecord(vpkiResp* resp) noexcept
{
    delete resp;
}

bool setRequestBody(vpkiReq* req, const char* text, size_t length)
{
    if (const char* why = unfitBody(req, text, length))
        return refused(why);
    // The text is sent up to its first zero byte: a zero inside would cut it
    // without a word.
    if (const void* zero = length > 0 ? std::memchr(text, 0, length) : nullptr)
        return refused("zero byte at offset " + std::to_string(static_cast<const char*>(zero) - text) +
                       " (the text would be cut there)");
    // setSize allocates before it changes anything: when memory runs out the
    // record stays as it was.
    req->body->setSize(static_cast<int64_t>(length));
    if (length > 0)
        std::memcpy(req->body->getData(), text, length);
    req->jsonBody[0] = 0;
    return true;
}

const char* responseText(const vpkiResp* resp, size_t* length)
{
    if (resp == nullptr) {
        setLastError(VPKI_ERR_BAD_ARGUMENT, "vpkiRespText: null response record");
        return nullptr;
    }
    const char* text = resp->jsonBody;
    size_t size = strnlen(resp->jsonBody, sizeof resp->jsonBody);
    if (resp->body != nullptr && resp->body->getData() != nullptr) {
        text = resp->body->getData();
        size = static_cast<size_t>(resp->body->getSize());
        // The library stores the text followed by a zero byte of its own.
        if (size > 0 && text[size - 1] == 0)
            --size;
    }
    if (length != nullptr)
        *length = size;
    return text;
}

} // namespace vant
