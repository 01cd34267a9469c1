#include "httpConnection.h"

#include <poll.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <limits>

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include "netSocket.h"

namespace pkisim {

namespace {

namespace http = boost::beast::http;
using requestParser = http::request_parser<http::string_body>;

constexpr size_t readChunk = 64 * 1024;

// Hands the bytes received to the parser, receiving more as needed, until it
// has the head (or, with `whole`, the whole request). False when the client
// left (`error` clear) or sent something that is not HTTP (`error` set).
bool feed(int fd, std::string& buffer, requestParser& parser, bool whole, boost::system::error_code& error)
{
    while (!(whole ? parser.is_done() : parser.is_header_done())) {
        if (!buffer.empty()) {
            buffer.erase(0, parser.put(boost::asio::buffer(buffer), error));
            if (!error)
                continue;
            if (error != http::error::need_more)
                return false;
            error = {};
        }
        if (!recvAppend(fd, buffer, readChunk))
            return false;
    }
    return true;
}

// The parser refuses every version but 1.0 and 1.1 alike: a well-formed one
// ("HTTP/" digit "." digit, ending the request line) is answered 505, else 400.
int versionRefusal(const std::string& head)
{
    const size_t end = head.find("\r\n");
    const auto digit = [&](size_t at) { return std::isdigit(static_cast<unsigned char>(head[at])) != 0; };
    if (end == std::string::npos || end < 9 || head.find('\n') < end)
        return 400;
    return head.compare(end - 9, 6, " HTTP/") == 0 && digit(end - 3) && head[end - 2] == '.' && digit(end - 1) ? 505
                                                                                                               : 400;
}

// Why the head in `buffer` could not be parsed, as a status.
int parseRefusal(const boost::system::error_code& error, const std::string& buffer)
{
    if (error == http::error::header_limit)
        return 431;
    return error == http::error::bad_version ? versionRefusal(buffer) : 400;
}

// The status that refuses a request with this head, or 0 to serve it.
int refusal(const requestParser& parser, const httpLimits& limits)
{
    const auto& head = parser.get();
    if (head.method() != http::verb::post)
        return 405;
    if (head.count(http::field::transfer_encoding) != 0 || !parser.content_length())
        return 411; // chunked bodies are not taken; every client here sends a length
    return *parser.content_length() > limits.maxBodyBytes ? 413 : 0;
}

std::string refusalText(int status, const httpLimits& limits)
{
    switch (status) {
    case 405: return "only POST is served";
    case 411: return "a Content-Length is required";
    case 413: return "body larger than " + std::to_string(limits.maxBodyBytes) + " bytes";
    case 431: return "request head larger than " + std::to_string(limits.maxHeadBytes) + " bytes";
    case 505: return "only HTTP/1.0 and HTTP/1.1 are served";
    default: return "malformed request";
    }
}

bool expectsContinue(const requestParser& parser)
{
    return boost::beast::iequals(parser.get()[http::field::expect], "100-continue");
}

} // namespace

httpConnection::httpConnection(int fd, peerInfo peer, const httpHandler& handler, const httpLimits& limits,
                               const stopSignal& stopping)
    : fd(fd),
      peer(peer),
      handler(handler),
      limits(limits),
      stopping(stopping)
{
}

void httpConnection::serve()
{
    std::string body;
    bool keepAlive = false;
    while (!stopping.raised() && readRequest(body, keepAlive))
        if (!deliver(handler(body, peer), keepAlive))
            return;
}

bool httpConnection::readRequest(std::string& body, bool& keepAlive)
{
    requestParser parser;
    parser.header_limit(static_cast<uint32_t>(limits.maxHeadBytes));
    parser.body_limit(std::numeric_limits<uint64_t>::max()); // refusal() checks it, in the order of the statuses
    boost::system::error_code error;
    int status = 0;
    if (!feed(fd, buffer, parser, false, error)) {
        if (!error)
            return false;
        status = parseRefusal(error, buffer);
    } else {
        status = refusal(parser, limits);
    }
    if (status != 0) {
        refuse(status, refusalText(status, limits));
        return false;
    }
    if (buffer.size() < *parser.content_length() && expectsContinue(parser) &&
        !sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n"))
        return false;
    if (!feed(fd, buffer, parser, true, error))
        return false; // a body framed by its length cannot be malformed: the client left
    keepAlive = parser.get().keep_alive();
    body = std::move(parser.get().body());
    return true;
}

bool httpConnection::deliver(const httpReply& reply, bool keepAlive)
{
    keepAlive = keepAlive && !reply.closeAfter;
    switch (reply.mode) {
    case replyMode::answer:
        if (reply.paceMs > 0)
            return sendAll(fd, formatReplyHead(reply, keepAlive)) && sendPaced(reply.body, reply.paceMs) && keepAlive;
        return sendAll(fd, formatReplyHead(reply, keepAlive) + reply.body) && keepAlive;
    case replyMode::dropMidReply:
        sendAll(fd, formatReplyHead(reply, keepAlive) + reply.body.substr(0, reply.body.size() / 2));
        return false;
    case replyMode::raw:
        if (sendPaced(reply.body, reply.paceMs))
            waitSilently();
        return false;
    case replyMode::silent: waitSilently(); return false;
    case replyMode::close: return false;
    }
    return false;
}

// With a pace, one byte at a time; false when the connection failed or the server stopped.
bool httpConnection::sendPaced(const std::string& bytes, int paceMs)
{
    if (paceMs <= 0)
        return sendAll(fd, bytes);
    for (size_t i = 0; i < bytes.size(); ++i)
        if ((i > 0 && stopping.waitFor(paceMs)) || !sendAll(fd, &bytes[i], 1))
            return false;
    return true;
}

void httpConnection::refuse(int status, const std::string& why)
{
    deliver(errorReply(status, why), false);
}

// Holds the call unanswered; anything more the client sends is read and dropped.
void httpConnection::waitSilently()
{
    pollfd watched[2] = {{fd, POLLIN, 0}, {stopping.fd(), POLLIN, 0}};
    char scratch[4096];
    while (!stopping.raised()) {
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[0].revents != 0 && recv(fd, scratch, sizeof scratch, 0) <= 0)
            return;
    }
}

} // namespace pkisim
