// HTTP/1.1 reply framing: exactly one reply per request (status line,
// headers, a body framed by Content-Length, chunks or the connection's end;
// interim 1xx replies skipped), read with Boost.Beast's parser. Knows nothing
// of sockets: the caller feeds the bytes as they arrive and keeps those that
// were not taken.
#ifndef TESSERA_REPLY_READER_H
#define TESSERA_REPLY_READER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vant {

class replyReader {
public:
    // Largest body accepted; a larger announced length fails at once.
    static constexpr uint64_t maxBodyBytes = 256ull << 20;
    // Largest status line plus headers accepted.
    static constexpr uint32_t maxHeadBytes = 16u << 10;

    replyReader();
    ~replyReader();
    replyReader(const replyReader&) = delete;
    replyReader& operator=(const replyReader&) = delete;

    // Starts a reply whose body goes to `body`, which is cleared first.
    void start(std::string& body);
    // Takes bytes of the reply from `data` and returns how many it took:
    // fewer than `size` when the reply is complete before them, or when a
    // head is not complete yet (feed those bytes again with more). Throws
    // exchangeFailure for bytes that are not an HTTP reply or too large.
    size_t feed(const char* data, size_t size);
    // The service closed the connection: completes a reply whose body ends
    // with the close; any other incomplete reply fails (connectionLost).
    void closed();

    bool complete() const { return done; }
    // Of the complete reply.
    int status() const { return finalStatus; }
    bool keepAlive() const { return reusable; }

private:
    class parser;
    void finishOne();

    std::unique_ptr<parser> current;
    std::string* body = nullptr;
    bool done = false;
    int finalStatus = 0;
    bool reusable = false;
};

} // namespace vant

#endif // TESSERA_REPLY_READER_H
