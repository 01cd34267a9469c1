// The library's reading of one reply, from the bytes that come off the
// connection to the answer: HTTP framing, the message, the reply to the call
// just sent (number 1, as the seeds have it). The first input byte sets how
// the rest arrives (in pieces of that many bytes; 0: at once). On any bytes
// the call either fails cleanly (an exchangeFailure or a Thrift exception,
// nothing else) or yields exactly one well-formed reply: every byte taken,
// and an answer with all six fields that reads back the same after Thrift
// writes it again.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "devService.h"
#include "failure.h"
#include "fuzzCheck.h"
#include "httpTransport.h"
#include "jsonProtocol.h"
#include "serviceCall.h"
#include "serviceProtocol.h"

namespace {

namespace wire = com::vant::cbb::pkimid;

// The connection's other end, playing back the input.
class scriptedStream : public vant::byteStream {
public:
    scriptedStream(const uint8_t* data, size_t size, size_t piece) : data(data), size(size), piece(piece) {}

    bool isOpen() const override { return true; }
    void open(vant::deadline) override {}
    void close() override {}
    void sendAll(std::string_view, std::string_view, vant::deadline) override {}
    size_t receive(char* buffer, size_t capacity, vant::deadline) override
    {
        size_t n = std::min({capacity, size - taken, piece == 0 ? size : piece});
        std::memcpy(buffer, data + taken, n);
        taken += n;
        return n;
    }
    idleState idle() const override { return taken < size ? idleState::bytesWaiting : idleState::quiet; }
    void interrupt() override {}
    uint64_t traffic() const override { return taken; }

    bool allTaken() const { return taken == size; }

private:
    const uint8_t* const data;
    const size_t size;
    const size_t piece;
    size_t taken = 0;
};

bool readsBackTheSame(const wire::msgResponse& answer)
{
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
    apache::thrift::protocol::TJSONProtocol out(buffer);
    answer.write(&out);
    vant::jsonProtocol in(buffer);
    wire::msgResponse again;
    again.read(&in);
    return again == answer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    auto owned = std::make_unique<scriptedStream>(data + 1, size - 1, data[0]);
    scriptedStream& stream = *owned;
    vant::rpcStack stack(
        std::make_shared<vant::httpTransport>(std::move(owned), 0, std::make_shared<vant::exchangeBuffers>()),
        {"deviceOperator"}, 1);
    const wire::sessionTicket ticket;
    try {
        const wire::msgResponse& answer = vant::callService<wire::devServiceClient>(
            stack, "deviceOperator", [&](wire::devServiceClient& client, wire::msgResponse& into) {
                client.getDevInfo(into, ticket, stack.request);
            });
        require(stream.allTaken(), "an accepted reply is all there was");
        require(readsBackTheSame(answer), "an accepted answer is well-formed");
    } catch (const vant::exchangeFailure&) {
    } catch (const apache::thrift::TException&) {
    }
    return 0;
}
