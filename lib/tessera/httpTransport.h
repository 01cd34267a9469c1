// The transport under a connection's protocols: one HTTP POST per message.
//
// write() collects the request body; flush() sends head and body in one
// write and then reads the whole reply, within one deadline from the moment
// the request is out, into a buffer that read() and borrow() serve.
// readEnd() checks that the message used up the reply body and that nothing
// else arrived after the reply. The buffers live with the connection and
// pass to the connection that replaces it, so that once they have grown an
// exchange allocates nothing.
#ifndef TESSERA_HTTP_TRANSPORT_H
#define TESSERA_HTTP_TRANSPORT_H

#include <cstdint>
#include <memory>
#include <string>

#include <thrift/transport/TVirtualTransport.h>

#include "byteStream.h"
#include "commdef_types.h"
#include "replyReader.h"

namespace vant {

// The memory of a connection's exchanges. A connection hands it to the one
// that replaces it; two connections never use it at the same time.
struct exchangeBuffers {
    std::string head;              // the request's head, rebuilt for each request
    std::string request;           // the request body being written
    std::string reply;             // the reply body being read
    std::unique_ptr<char[]> input; // bytes received, before the reply reader takes them
    // Records of the calls, for the callers of the connection.
    com::vant::cbb::pkimid::msgRequest requestRecord;
    com::vant::cbb::pkimid::msgResponse responseRecord;

    // Gives back what a large exchange grew and this one barely used.
    void trim(size_t requestUsed, size_t replyUsed);
};

class httpTransport : public apache::thrift::transport::TVirtualTransport<httpTransport> {
public:
    // timeoutMs bounds connecting, sending a request and receiving a whole
    // reply; 0 waits without limit.
    httpTransport(std::unique_ptr<byteStream> stream, int timeoutMs, std::shared_ptr<exchangeBuffers> buffers);

    bool isOpen() const override;
    void open() override; // throws exchangeFailure
    void close() override;

    void write(const uint8_t* data, uint32_t length);
    // Sends the request and reads its reply; throws exchangeFailure (an HTTP
    // status other than 200 included).
    void flush() override;

    uint32_t read(uint8_t* data, uint32_t length);
    // The whole unread rest of the reply body, when it holds at least *length bytes.
    const uint8_t* borrow(uint8_t* unused, uint32_t* length);
    void consume(uint32_t length);
    // The reply must be used up and nothing may wait behind it.
    uint32_t readEnd() override;

    // Any thread: a pending or later exchange fails at once.
    void interrupt() { stream->interrupt(); }
    // Open, but the service closed it or sent bytes nobody asked for.
    bool unfitForReuse() const;
    uint64_t traffic() const { return stream->traffic(); }
    // Bytes of the last request and of its reply, heads included.
    uint64_t lastRequestBytes() const { return requestBytes; }
    uint64_t lastReplyBytes() const { return replyBytes; }
    const std::shared_ptr<exchangeBuffers>& buffers() const { return memory; }

private:
    void sendRequest();
    void receiveReply();

    const std::unique_ptr<byteStream> stream;
    const int timeoutMs;
    const std::shared_ptr<exchangeBuffers> memory;
    std::string& head;
    std::string& request;
    std::string& reply;
    std::unique_ptr<char[]>& input; // bytes from inputStart to inputEnd are not yet taken
    size_t inputStart = 0;
    size_t inputEnd = 0;
    size_t replyRead = 0;
    uint64_t requestBytes = 0;
    uint64_t replyBytes = 0;
    replyReader reader;
};

} // namespace vant

#endif // TESSERA_HTTP_TRANSPORT_H
