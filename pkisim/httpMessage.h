// HTTP/1.1 requests and replies as the service reads and writes them: one
// POST per call, its body framed by Content-Length.
#ifndef PKISIM_HTTP_MESSAGE_H
#define PKISIM_HTTP_MESSAGE_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace pkisim {

struct httpRequest {
    std::string method;
    std::string target;
    int minorVersion = 1;  // HTTP/1.x
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    std::string body;

    // The value of the first header with this (lower-case) name, or nullptr.
    const std::string* header(const std::string& name) const;
};

// Where the blank line that ends a request head ends in `buffer`, or npos.
size_t findHeadEnd(const std::string& buffer);
// Reads a request head (request line and header lines, without the blank
// line). Returns 0 when the request can be served, otherwise the HTTP status
// to answer before closing the connection.
int parseRequestHead(const std::string& head, httpRequest& out);
// The body length of a parsed request: returns 0 and sets `length`, or the
// status to answer (411 without Content-Length, 400 for a bad one).
int requestBodyLength(const httpRequest& request, size_t& length);
bool keepAliveWanted(const httpRequest& request);
bool expectsContinue(const httpRequest& request);

// How a reply reaches the client.
enum class replyMode {
    answer,        // head and body
    dropMidReply,  // head and half the body, then the connection closes
    raw,           // the body alone, as hand-made wire bytes; then as silent
    silent,        // nothing until the client leaves or the server stops
    close          // nothing; the connection closes at once
};

struct httpReply {
    int status = 200;
    std::string body;
    std::string contentType = "application/x-thrift";
    replyMode mode = replyMode::answer;
    bool closeAfter = false;
    int paceMs = 0;  // > 0: the body goes out one byte at a time, this many ms apart
};

// A plain-text answer that closes the connection.
httpReply errorReply(int status, const std::string& why);
std::string formatReplyHead(const httpReply& reply, bool keepAlive);

} // namespace pkisim

#endif // PKISIM_HTTP_MESSAGE_H
