#include "httpReply.h"

#include <ostream> // boost/beast/http/status.hpp uses it without including it

#include <boost/beast/http/status.hpp>

namespace pkisim {

namespace {

const char* reasonPhrase(int status)
{
    namespace http = boost::beast::http;
    const http::status known = http::int_to_status(static_cast<unsigned>(status));
    return known == http::status::unknown ? "Status" : http::obsolete_reason(known).data();
}

} // namespace

httpReply errorReply(int status, const std::string& why)
{
    httpReply reply;
    reply.status = status;
    reply.body = why + "\n";
    reply.contentType = "text/plain";
    reply.closeAfter = true;
    return reply;
}

std::string formatReplyHead(const httpReply& reply, bool keepAlive)
{
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reasonPhrase(reply.status) + "\r\n";
    if (!reply.body.empty())
        head += "Content-Type: " + reply.contentType + "\r\n";
    if (reply.status == 405)
        head += "Allow: POST\r\n";
    head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return head;
}

} // namespace pkisim
