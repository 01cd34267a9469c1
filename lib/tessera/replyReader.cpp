#include "replyReader.h"

#include <algorithm>

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/error.hpp>

#include "failure.h"

namespace vant {

namespace http = boost::beast::http;
using boost::beast::error_code;
using boost::beast::string_view;

namespace {

// An announced length is reserved up to this much at once; the rest grows
// as bytes arrive, so that a mere announcement costs no memory.
constexpr uint64_t reserveAtOnce = 4u << 20;

// A chunk's size line and the line ends around it, beside its extensions.
constexpr size_t chunkLineBytes = 2 + 16 + 2;

exchangeFailure headTooLarge()
{
    return exchangeFailure(VPKI_ERR_REPLY_TOO_LARGE, "reply head, chunk extensions and trailers larger than " +
                                                         std::to_string(replyReader::maxHeadBytes >> 10) + " KiB");
}

exchangeFailure framingFailure(const error_code& ec, const char* refusal)
{
    if (refusal != nullptr)
        return damagedReply(refusal);
    if (ec == http::error::body_limit)
        return exchangeFailure(VPKI_ERR_REPLY_TOO_LARGE,
                               "reply body larger than " + std::to_string(replyReader::maxBodyBytes >> 20) + " MiB");
    if (ec == http::error::header_limit)
        return headTooLarge();
    return damagedReply("not an HTTP reply (" + ec.message() + ")");
}

// Only "chunked" is a transfer coding this client can undo; anything else
// (compression, a coding it has never heard of) would hand encoded bytes to
// the message reader as if they were the message.
bool onlyChunked(string_view value)
{
    const auto first = value.find_first_not_of(" \t");
    const auto last = value.find_last_not_of(" \t");
    return first != string_view::npos && boost::beast::iequals(value.substr(first, last - first + 1), "chunked");
}

} // namespace

// Beast's parser with the body appended to the caller's buffer. It runs one
// step per put() (not eager), so that the caller sees where the head ends,
// and it holds chunk extensions and trailers to what is left of the head's
// bound: Beast itself bounds neither.
class replyReader::parser : public http::basic_parser<false> {
public:
    explicit parser(std::string& body) : body(body)
    {
        body_limit(maxBodyBytes);
        header_limit(maxHeadBytes);
        eager(false);
    }

    int status = 0;
    const char* refusal = nullptr; // why the reply is refused, beyond Beast's own checks

    // Bytes taken while the head was open; extensions and trailers share
    // what the head leaves of its bound.
    void headTook(size_t bytes) { headBytesLeft = bytes < headBytesLeft ? headBytesLeft - bytes : 0; }
    // Whether `pending` bytes that wait for the rest of a chunk line or the
    // trailers can still fit the bound.
    bool pendingFits(size_t pending) const { return pending <= headBytesLeft + chunkLineBytes; }

private:
    void spend(size_t bytes, error_code& ec)
    {
        if (bytes > headBytesLeft)
            ec = http::error::header_limit;
        else
            headBytesLeft -= bytes;
    }
    void refuse(const char* why, error_code& ec)
    {
        refusal = why;
        ec = http::error::bad_value;
    }

    void on_request_impl(http::verb, string_view, string_view, int, error_code&) override {}
    void on_response_impl(int code, string_view, int, error_code&) override { status = code; }
    void on_field_impl(http::field field, string_view name, string_view value, error_code& ec) override
    {
        if (is_header_done())
            spend(name.size() + value.size() + 4, ec); // a trailer
        else if (field == http::field::transfer_encoding && (sawTransferEncoding || !onlyChunked(value)))
            refuse("a transfer coding other than chunked", ec);
        sawTransferEncoding = sawTransferEncoding || field == http::field::transfer_encoding;
    }
    void on_header_impl(error_code&) override {}
    void on_body_init_impl(const boost::optional<uint64_t>& length, error_code&) override
    {
        if (length)
            body.reserve(static_cast<size_t>(std::min(*length, reserveAtOnce)));
    }
    size_t on_body_impl(string_view data, error_code&) override
    {
        body.append(data.data(), data.size());
        return data.size();
    }
    void on_chunk_header_impl(uint64_t, string_view extensions, error_code& ec) override
    {
        spend(extensions.size(), ec);
    }
    size_t on_chunk_body_impl(uint64_t, string_view data, error_code&) override
    {
        body.append(data.data(), data.size());
        return data.size();
    }
    void on_finish_impl(error_code&) override {}

    std::string& body;
    size_t headBytesLeft = maxHeadBytes;
    bool sawTransferEncoding = false;
};

replyReader::replyReader() = default;
replyReader::~replyReader() = default;

void replyReader::start(std::string& into)
{
    into.clear();
    body = &into;
    current.reset(new parser(into));
    done = false;
    finalStatus = 0;
    reusable = false;
}

size_t replyReader::feed(const char* data, size_t size)
{
    size_t used = 0;
    while (!done && used < size) {
        error_code ec;
        const bool inHead = !current->is_header_done();
        const size_t taken = current->put(boost::asio::const_buffer(data + used, size - used), ec);
        used += taken;
        // Not eager, the parser stops where the head ends.
        if (inHead)
            current->headTook(taken);
        if (ec == http::error::need_more) {
            if (current->is_header_done() && !current->pendingFits(size - used))
                throw headTooLarge();
            break;
        }
        if (ec)
            throw framingFailure(ec, current->refusal);
        if (current->is_done())
            finishOne();
        else if (taken == 0)
            break;
    }
    return used;
}

void replyReader::closed()
{
    if (done)
        return;
    if (current->is_header_done() && current->need_eof()) {
        error_code ec;
        current->put_eof(ec);
        if (!ec && current->is_done()) {
            finishOne();
            return;
        }
    }
    throw exchangeFailure(VPKI_ERR_CONNECTION_LOST, "the service closed the connection before the reply was complete");
}

// An interim reply (100 Continue, 102 Processing) is followed by the real
// one. Other 1xx replies answer what this client never asks for (101 would
// switch the connection to another protocol).
void replyReader::finishOne()
{
    if (current->status == 100 || current->status == 102) {
        current.reset(new parser(*body));
        return;
    }
    if (current->status / 100 == 1)
        throw damagedReply("an unasked interim reply (HTTP " + std::to_string(current->status) + ")");
    done = true;
    finalStatus = current->status;
    reusable = current->keep_alive();
}

} // namespace vant
