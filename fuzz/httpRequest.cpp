// pkisim's HTTP request reader on any byte stream from a client: one
// connection is served over a socket pair, with small limits so that
// oversized heads and bodies are reached. Every request handed on is a POST
// with the body its Content-Length announced and clean header fields; the
// client gets one well-formed reply per request and at most one refusal,
// which ends the stream.
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <thread>

#include "fuzzCheck.h"
#include "httpConnection.h"
#include "netSocket.h"
#include "stopSignal.h"

namespace {

constexpr size_t longestInput = 64 * 1024;  // one write that the socket takes whole

bool isLowerToken(const std::string& name)
{
    if (name.empty())
        return false;
    for (unsigned char c : name)
        if (std::isupper(c) || std::isspace(c) || std::iscntrl(c) || c == ':' || c >= 0x80)
            return false;
    return true;
}

bool isCleanValue(const std::string& value)
{
    if (value.find_first_of("\r\n") != std::string::npos)
        return false;
    return value.empty() || (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' &&
                             value.back() != '\t');
}

pkisim::httpReply checkRequest(const pkisim::httpRequest& request, size_t& handled)
{
    require(request.method == "POST", "only POST requests are handed on");
    for (const auto& header : request.headers)
        require(isLowerToken(header.first) && isCleanValue(header.second), "header fields are clean");
    const std::string* length = request.header("content-length");
    require(length != nullptr && std::stoull(*length) == request.body.size(), "the body has the announced length");
    ++handled;
    pkisim::httpReply reply;
    reply.body = "ok";
    return reply;
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
        if (status == 200)
            ++answers;
        else
            refused = true;
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
    const pkisim::httpHandler handler = [&](const pkisim::httpRequest& request, const pkisim::peerInfo&) {
        return checkRequest(request, handled);
    };
    pkisim::httpConnection(server, pkisim::peerInfo(), handler, limits, stopping).serve();
    close(server);
    reader.join();
    close(client);
    require(countAnswers(replies) == handled, "one answer per request handed on");
    return 0;
}
