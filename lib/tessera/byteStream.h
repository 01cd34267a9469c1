// What the HTTP transport needs of a connection: bytes out, bytes in, by a
// deadline. The socket to the service is the one real kind; tests and fuzz
// targets put scripted bytes in its place.
#ifndef TESSERA_BYTE_STREAM_H
#define TESSERA_BYTE_STREAM_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vant {

using deadline = std::chrono::steady_clock::time_point;

// A deadline `ms` from now; 0 or less means none.
deadline deadlineIn(int ms);

class byteStream {
public:
    virtual ~byteStream() = default;

    virtual bool isOpen() const = 0;
    // Connects by `by`. Failures are thrown as exchangeFailure, here and below.
    virtual void open(deadline by) = 0;
    virtual void close() = 0;
    // Sends every byte of `head`, then of `body`, by `by`.
    virtual void sendAll(std::string_view head, std::string_view body, deadline by) = 0;
    // Receives what is there, at least one byte, waiting until `by`. Returns
    // 0 when the other end closed the connection.
    virtual size_t receive(char* buffer, size_t capacity, deadline by) = 0;

    // What an idle connection holds: nothing (fit for another exchange),
    // unread bytes, or the other end's close (or a reset).
    enum class idleState { quiet, bytesWaiting, closed };
    virtual idleState idle() const = 0;

    // Makes a blocked or later open, send or receive fail at once. Any thread.
    virtual void interrupt() = 0;
    // Bytes sent and received since construction.
    virtual uint64_t traffic() const = 0;
};

} // namespace vant

#endif // TESSERA_BYTE_STREAM_H
