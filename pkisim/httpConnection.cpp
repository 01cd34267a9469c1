#include "httpConnection.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "netSocket.h"

namespace pkisim {

namespace {
constexpr size_t readChunk = 64 * 1024;
}

httpConnection::httpConnection(int fd, peerInfo peer, const httpHandler& handler, const httpLimits& limits,
                               const stopSignal& stopping)
    : fd(fd), peer(peer), handler(handler), limits(limits), stopping(stopping) {}

void httpConnection::serve() {
    httpRequest request;
    while (!stopping.raised() && readRequest(request) == readResult::request) {
        const bool keepAlive = keepAliveWanted(request);
        if (!deliver(handler(request, peer), keepAlive))
            return;
        request = httpRequest();
    }
}

httpConnection::readResult httpConnection::readRequest(httpRequest& request) {
    size_t headEnd = 0;
    if (!readHead(headEnd))
        return readResult::closed;
    if (headEnd == 0) {
        refuse(431, "request head larger than " + std::to_string(limits.maxHeadBytes) + " bytes");
        return readResult::refused;
    }
    size_t length = 0;
    int status = parseRequestHead(buffer.substr(0, headEnd), request);
    if (status == 0)
        status = requestBodyLength(request, length);
    if (status != 0) {
        refuse(status, status == 405 ? "only POST is served" : "malformed or unsupported request");
        return readResult::refused;
    }
    if (length > limits.maxBodyBytes) {
        refuse(413, "body larger than " + std::to_string(limits.maxBodyBytes) + " bytes");
        return readResult::refused;
    }
    if (buffer.size() < headEnd + length && expectsContinue(request) &&
        !sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n"))
        return readResult::closed;
    if (!readBody(length, headEnd))
        return readResult::closed;
    request.body.assign(buffer, headEnd, length);
    buffer.erase(0, headEnd + length);
    return readResult::request;
}

// Sets headEnd to the end of the head, or to 0 when the head outgrew its limit.
bool httpConnection::readHead(size_t& headEnd) {
    for (;;) {
        const size_t end = findHeadEnd(buffer);
        if (end != std::string::npos && end <= limits.maxHeadBytes) {
            headEnd = end;
            return true;
        }
        if (end != std::string::npos || buffer.size() > limits.maxHeadBytes) {
            headEnd = 0;
            return true;
        }
        if (!recvAppend(fd, buffer, readChunk))
            return false;
    }
}

bool httpConnection::readBody(size_t length, size_t bodyStart) {
    const size_t needed = bodyStart + length;
    buffer.reserve(needed);
    while (buffer.size() < needed)
        if (!recvAppend(fd, buffer, std::min(readChunk, needed - buffer.size())))
            return false;
    return true;
}

bool httpConnection::deliver(const httpReply& reply, bool keepAlive) {
    keepAlive = keepAlive && !reply.closeAfter;
    switch (reply.mode) {
    case replyMode::answer:
        if (reply.paceMs > 0)
            return sendAll(fd, formatReplyHead(reply, keepAlive)) && sendPaced(reply.body, reply.paceMs) &&
                   keepAlive;
        return sendAll(fd, formatReplyHead(reply, keepAlive) + reply.body) && keepAlive;
    case replyMode::dropMidReply:
        sendAll(fd, formatReplyHead(reply, keepAlive) + reply.body.substr(0, reply.body.size() / 2));
        return false;
    case replyMode::raw:
        if (sendPaced(reply.body, reply.paceMs))
            waitSilently();
        return false;
    case replyMode::silent:
        waitSilently();
        return false;
    case replyMode::close:
        return false;
    }
    return false;
}

// With a pace, one byte at a time; false when the connection failed or the server stopped.
bool httpConnection::sendPaced(const std::string& bytes, int paceMs) {
    if (paceMs <= 0)
        return sendAll(fd, bytes);
    for (size_t i = 0; i < bytes.size(); ++i)
        if ((i > 0 && stopping.waitFor(paceMs)) || !sendAll(fd, &bytes[i], 1))
            return false;
    return true;
}

void httpConnection::refuse(int status, const std::string& why) {
    deliver(errorReply(status, why), false);
}

// Holds the call unanswered; anything more the client sends is read and dropped.
void httpConnection::waitSilently() {
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
