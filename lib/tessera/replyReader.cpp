#include "replyReader.h"

#include <algorithm>

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

exchangeFailure framingFailure(const error_code& ec)
{
    if (ec == http::error::body_limit)
        return exchangeFailure(failKind::replyTooLarge,
                               "reply body larger than " + std::to_string(replyReader::maxBodyBytes >> 20) + " MiB");
    if (ec == http::error::header_limit)
        return exchangeFailure(failKind::replyTooLarge,
                               "reply head larger than " + std::to_string(replyReader::maxHeadBytes >> 10) + " KiB");
    return damagedReply("not an HTTP reply (" + ec.message() + ")");
}

} // namespace

// Beast's parser with the body appended to the caller's buffer.
class replyReader::parser : public http::basic_parser<false> {
public:
    explicit parser(std::string& body) : body(body)
    {
        body_limit(maxBodyBytes);
        header_limit(maxHeadBytes);
        eager(true);
    }

    int status = 0;

private:
    void on_request_impl(http::verb, string_view, string_view, int, error_code&) override {}
    void on_response_impl(int code, string_view, int, error_code&) override { status = code; }
    void on_field_impl(http::field, string_view, string_view, error_code&) override {}
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
    void on_chunk_header_impl(uint64_t, string_view, error_code&) override {}
    size_t on_chunk_body_impl(uint64_t, string_view data, error_code&) override
    {
        body.append(data.data(), data.size());
        return data.size();
    }
    void on_finish_impl(error_code&) override {}

    std::string& body;
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
        const size_t taken = current->put(boost::asio::const_buffer(data + used, size - used), ec);
        used += taken;
        if (ec == http::error::need_more)
            break;
        if (ec)
            throw framingFailure(ec);
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
    throw exchangeFailure(failKind::connectionLost, "the service closed the connection before the reply was complete");
}

// An interim reply (100 Continue and the like) is followed by the real one.
void replyReader::finishOne()
{
    if (current->status / 100 == 1) {
        current.reset(new parser(*body));
        return;
    }
    done = true;
    finalStatus = current->status;
    reusable = current->keep_alive();
}

} // namespace vant
