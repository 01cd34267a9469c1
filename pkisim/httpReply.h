// HTTP/1.1 replies as the service writes them, misbehaviour included.
#ifndef PKISIM_HTTP_REPLY_H
#define PKISIM_HTTP_REPLY_H

#include <string>

namespace pkisim {

// How a reply reaches the client.
enum class replyMode {
    answer,       // head and body
    dropMidReply, // head and half the body, then the connection closes
    raw,          // the body alone, as hand-made wire bytes; then as silent
    silent,       // nothing until the client leaves or the server stops
    close         // nothing; the connection closes at once
};

struct httpReply {
    int status = 200;
    std::string body;
    std::string contentType = "application/x-thrift";
    replyMode mode = replyMode::answer;
    bool closeAfter = false;
    int paceMs = 0; // > 0: the body goes out one byte at a time, this many ms apart
};

// A plain-text answer that closes the connection.
httpReply errorReply(int status, const std::string& why);
std::string formatReplyHead(const httpReply& reply, bool keepAlive);

} // namespace pkisim

#endif // PKISIM_HTTP_REPLY_H
