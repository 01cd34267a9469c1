// pkisim's decoding of a Thrift JSON-protocol call from an HTTP body, on any
// text: it never fails other than by its result, and a decoded call,
// written again as the generated client writes it, decodes to the same call.
#include <cstdint>
#include <memory>
#include <string>

#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "fuzzCheck.h"
#include "rpcCodec.h"

namespace {

using apache::thrift::protocol::TJSONProtocol;
using apache::thrift::protocol::TMessageType;

bool isLogin(const pkisim::rpcCall& call)
{
    return call.service == "vantService" && call.method == "login";
}

// The call as the generated client sends it: the ticket as argument 1, the
// request as argument 2 (argument 1 for login).
std::string encodeCall(const pkisim::rpcCall& call)
{
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
    TJSONProtocol out(buffer);
    out.writeMessageBegin(call.wireName, static_cast<TMessageType>(call.messageType), call.seqid);
    out.writeStructBegin("args");
    if (call.hasTicket) {
        out.writeFieldBegin("ticket", apache::thrift::protocol::T_STRUCT, 1);
        call.ticket.write(&out);
        out.writeFieldEnd();
    }
    if (call.hasRequest) {
        out.writeFieldBegin("request", apache::thrift::protocol::T_STRUCT, isLogin(call) ? 1 : 2);
        call.request.write(&out);
        out.writeFieldEnd();
    }
    out.writeFieldStop();
    out.writeStructEnd();
    out.writeMessageEnd();
    return buffer->getBufferAsString();
}

bool sameCall(const pkisim::rpcCall& a, const pkisim::rpcCall& b)
{
    return a.wireName == b.wireName && a.service == b.service && a.method == b.method &&
           a.messageType == b.messageType && a.seqid == b.seqid && a.hasTicket == b.hasTicket && a.ticket == b.ticket &&
           a.hasRequest == b.hasRequest && a.request == b.request;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    pkisim::rpcCall call;
    std::string error;
    const pkisim::decodeResult result = pkisim::decodeCall(body, call, error);
    if (result != pkisim::decodeResult::call) {
        require(!error.empty(), "a failed decoding says why");
        return 0;
    }
    pkisim::rpcCall again;
    require(pkisim::decodeCall(encodeCall(call), again, error) == pkisim::decodeResult::call,
            "a decoded call written again decodes");
    require(sameCall(call, again), "a decoded call written again decodes to the same call");
    return 0;
}
