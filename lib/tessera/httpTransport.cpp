#include "httpTransport.h"

#include <cstring>

#include "failure.h"

namespace vant {

namespace {

// Receive in large steps: a 64 KiB reply takes one or two system calls. A
// head is at most a sixteenth of this, so there is always room behind one.
constexpr size_t receiveStep = 256u << 10;
static_assert(replyReader::maxHeadBytes * 16 <= receiveStep, "room behind a head");
// A buffer larger than this is given back after an exchange that used less
// than a quarter of it: a run of large messages keeps its buffers, a large
// message among small ones does not hold its memory for long.
constexpr size_t keptCapacity = 4u << 20;

void appendHead(std::string& head, size_t bodyLength)
{
    head.assign("POST / HTTP/1.1\r\n"
                "Host: 127.0.0.1\r\n"
                "Content-Type: application/x-thrift\r\n"
                "Content-Length: ");
    head += std::to_string(bodyLength);
    head += "\r\n"
            "Accept: application/x-thrift\r\n"
            "User-Agent: Thrift/0.17.0 (C++/THttpClient)\r\n"
            "\r\n";
}

void trimBuffer(std::string& buffer, size_t used)
{
    if (buffer.capacity() > keptCapacity && used < buffer.capacity() / 4) {
        buffer.clear();
        buffer.shrink_to_fit();
    }
}

} // namespace

void exchangeBuffers::trim(size_t requestUsed, size_t replyUsed)
{
    trimBuffer(request, requestUsed);
    trimBuffer(requestRecord.jsonBody, requestUsed);
    trimBuffer(reply, replyUsed);
    trimBuffer(responseRecord.jsonBody, replyUsed);
}

httpTransport::httpTransport(std::unique_ptr<byteStream> stream, int timeoutMs,
                             std::shared_ptr<exchangeBuffers> buffers)
    : stream(std::move(stream)),
      timeoutMs(timeoutMs),
      memory(std::move(buffers)),
      head(memory->head),
      request(memory->request),
      reply(memory->reply),
      input(memory->input)
{
    request.clear();
}

bool httpTransport::isOpen() const
{
    return stream->isOpen();
}

void httpTransport::open()
{
    stream->open(deadlineIn(timeoutMs));
}

void httpTransport::close()
{
    stream->close();
}

void httpTransport::write(const uint8_t* data, uint32_t length)
{
    request.append(reinterpret_cast<const char*>(data), length);
}

void httpTransport::flush()
{
    sendRequest();
    receiveReply();
    if (reader.status() != 200)
        throw exchangeFailure(VPKI_ERR_HTTP_STATUS, "HTTP " + std::to_string(reader.status()));
}

void httpTransport::sendRequest()
{
    appendHead(head, request.size());
    requestBytes = head.size() + request.size();
    replyBytes = 0;
    stream->sendAll(head, request, deadlineIn(timeoutMs));
    request.clear();
}

void httpTransport::receiveReply()
{
    const deadline by = deadlineIn(timeoutMs);
    reader.start(reply);
    replyRead = 0;
    if (!input)
        input.reset(new char[receiveStep]);
    while (!reader.complete()) {
        if (inputStart < inputEnd)
            inputStart += reader.feed(&input[inputStart], inputEnd - inputStart);
        if (reader.complete())
            break;
        // Keep the bytes not taken (part of a head) and receive behind them.
        std::memmove(&input[0], &input[inputStart], inputEnd - inputStart);
        inputEnd -= inputStart;
        inputStart = 0;
        // The reader bounds what it leaves untaken far below the buffer; a
        // full buffer must never reach receive(), whose 0 means "closed".
        if (inputEnd == receiveStep)
            throw exchangeFailure(VPKI_ERR_REPLY_TOO_LARGE, "reply framing larger than the input buffer");
        const size_t got = stream->receive(&input[inputEnd], receiveStep - inputEnd, by);
        inputEnd += got;
        replyBytes += got;
        if (got == 0)
            reader.closed();
    }
}

uint32_t httpTransport::read(uint8_t* data, uint32_t length)
{
    const size_t available = reply.size() - replyRead;
    const uint32_t n = available < length ? static_cast<uint32_t>(available) : length;
    std::memcpy(data, reply.data() + replyRead, n);
    replyRead += n;
    return n;
}

const uint8_t* httpTransport::borrow(uint8_t*, uint32_t* length)
{
    const size_t available = reply.size() - replyRead;
    if (available < *length)
        return nullptr;
    *length = static_cast<uint32_t>(available);
    return reinterpret_cast<const uint8_t*>(reply.data() + replyRead);
}

void httpTransport::consume(uint32_t length)
{
    if (length > reply.size() - replyRead)
        throw damagedReply("read past the end of the reply");
    replyRead += length;
}

uint32_t httpTransport::readEnd()
{
    if (replyRead != reply.size())
        throw damagedReply(std::to_string(reply.size() - replyRead) + " bytes after the message");
    if (inputStart != inputEnd || stream->idle() == byteStream::idleState::bytesWaiting)
        throw damagedReply("bytes after the reply");
    if (!reader.keepAlive())
        stream->close();
    memory->trim(requestBytes, reply.size());
    return static_cast<uint32_t>(replyRead);
}

bool httpTransport::unfitForReuse() const
{
    return stream->idle() != byteStream::idleState::quiet;
}

} // namespace vant
