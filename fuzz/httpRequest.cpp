// pkisim's HTTP request reader on any byte stream from a client: one
// connection is served over a socket pair, with small limits so that
// oversized heads and bodies are reached. No body handed on exceeds the limit;
// the client gets one well-formed reply per request handed on and at most one
// refusal, with one of the documented statuses, which ends the stream.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <thread>

#include "fuzzCheck.h"
#include "httpConnection.h"
#include "netSocket.h"
#include "stopSignal.h"

namespace {

constexpr size_t longestInput = 64 * 1024; // one write that the socket takes whole

bool isDocumentedRefusal(int status)
{
    for (int documented : {400, 405, 411, 413, 431, 505})
        if (status == documented)
            return true;
    return false;
}

std::string readAll(int fd)
{
    std::string received;
    char chunk[4096];
    ssize_t got;
    while ((got = recv(fd, chunk, sizeof chunk, 0)) > 0)
        received.append(chunk, static_cast<size_t>(got));
    return received;
}

// Walks the replies the client received; returns the number of answered
// requests (status 200).
size_t countAnswers(const std::string& stream)
{
    size_t answers = 0;
    bool refused = false;
    for (size_t at = 0; at < stream.size();) {
        require(!refused, "nothing follows a refusal");
        require(stream.compare(at, 9, "HTTP/1.1 ") == 0, "each reply starts with a status line");
        const int status = std::stoi(stream.substr(at + 9, 3));
        const size_t headEnd = stream.find("\r\n\r\n", at);
        require(headEnd != std::string::npos, "each reply head is complete");
        const std::string head = stream.substr(at, headEnd + 4 - at);
        at = headEnd + 4;
        if (status == 100)
            continue;
        const size_t lengthAt = head.find("Content-Length: ");
        require(lengthAt != std::string::npos, "each reply states its length");
        at += std::stoul(head.substr(lengthAt + 16));
        require(at <= stream.size(), "each reply body is complete");
        if (status == 200) {
            ++answers;
        } else {
            require(isDocumentedRefusal(status), "a refusal has a documented status");
            refused = true;
        }
    }
    return answers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > longestInput)
        return 0;
    static const pkisim::stopSignal stopping;
    static const pkisim::httpLimits limits{512, 2048, 1};
    int ends[2];
    require(socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0, "a socket pair");
    const int client = ends[0];
    const int server = ends[1];
    require(pkisim::sendAll(client, reinterpret_cast<const char*>(data), size), "the input is sent");
    shutdown(client, SHUT_WR);

    std::string replies;
    std::thread reader([&] { replies = readAll(client); });
    size_t handled = 0;
    const pkisim::httpHandler handler = [&](const std::string& body, const pkisim::peerInfo&) {
        require(body.size() <= limits.maxBodyBytes, "no body beyond the limit is handed on");
        ++handled;
        pkisim::httpReply reply;
        reply.body = "ok";
        return reply;
    };
    pkisim::httpConnection(server, pkisim::peerInfo(), handler, limits, stopping).serve();
    close(server);
    reader.join();
    close(client);
    require(countAnswers(replies) == handled, "one answer per request handed on");
    return 0;
}
