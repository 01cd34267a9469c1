#include "rpcCodec.h"

#include <thrift/TApplicationException.h>
#include <thrift/TConfiguration.h>
#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "jsonProtocol.h"

#include <climits>
#include <memory>

namespace pkisim {

using apache::thrift::TConfiguration;
using apache::thrift::protocol::TJSONProtocol;
using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TType;
using apache::thrift::transport::TMemoryBuffer;

namespace {

// Bodies are bounded by the HTTP layer; the transport must not refuse them.
std::shared_ptr<TConfiguration> unlimited()
{
    return std::make_shared<TConfiguration>(INT_MAX);
}

void splitName(rpcCall& call)
{
    const size_t colon = call.wireName.find(':');
    if (colon == std::string::npos) {
        call.method = call.wireName;
        return;
    }
    call.service = call.wireName.substr(0, colon);
    call.method = call.wireName.substr(colon + 1);
}

bool firstArgumentIsRequest(const rpcCall& call)
{
    return call.service == "vantService" && call.method == "login";
}

bool takesRequest(const rpcCall& call)
{
    return !(call.service == "vantService" && call.method == "logout");
}

void readArguments(TProtocol& in, rpcCall& call)
{
    std::string name;
    TType type;
    int16_t id;
    in.readStructBegin(name);
    for (;;) {
        in.readFieldBegin(name, type, id);
        if (type == apache::thrift::protocol::T_STOP)
            break;
        const bool isStruct = type == apache::thrift::protocol::T_STRUCT;
        if (isStruct && id == 1 && firstArgumentIsRequest(call)) {
            call.request.read(&in);
            call.hasRequest = true;
        } else if (isStruct && id == 1) {
            call.ticket.read(&in);
            call.hasTicket = true;
        } else if (isStruct && id == 2 && takesRequest(call)) {
            call.request.read(&in);
            call.hasRequest = true;
        } else {
            in.skip(type);
        }
        in.readFieldEnd();
    }
    in.readStructEnd();
    in.readMessageEnd();
}

template <typename writeBody>
std::string encodeMessage(const std::string& name, apache::thrift::protocol::TMessageType type, int32_t seqid,
                          writeBody body)
{
    auto buffer = std::make_shared<TMemoryBuffer>(unlimited());
    TJSONProtocol out(buffer);
    out.writeMessageBegin(name, type, seqid);
    body(out);
    out.writeMessageEnd();
    return buffer->getBufferAsString();
}

} // namespace

decodeResult decodeCall(const std::string& body, rpcCall& call, std::string& error)
{
    // The buffer only observes the body; nothing is written through it.
    auto buffer =
        std::make_shared<TMemoryBuffer>(reinterpret_cast<uint8_t*>(const_cast<char*>(body.data())),
                                        static_cast<uint32_t>(body.size()), TMemoryBuffer::OBSERVE, unlimited());
    vant::jsonProtocol in(buffer);
    bool headerRead = false;
    try {
        apache::thrift::protocol::TMessageType type;
        in.readMessageBegin(call.wireName, type, call.seqid);
        call.messageType = type;
        headerRead = true;
        splitName(call);
        readArguments(in, call);
        return decodeResult::call;
    } catch (const apache::thrift::TException& e) {
        error = e.what();
        return headerRead ? decodeResult::badArguments : decodeResult::notMessage;
    }
}

std::string encodeReply(const std::string& name, int32_t seqid, const wire::msgResponse* result)
{
    return encodeMessage(name, apache::thrift::protocol::T_REPLY, seqid, [result](TProtocol& out) {
        out.writeStructBegin("result");
        if (result) {
            out.writeFieldBegin("success", apache::thrift::protocol::T_STRUCT, 0);
            result->write(&out);
            out.writeFieldEnd();
        }
        out.writeFieldStop();
        out.writeStructEnd();
    });
}

std::string encodeException(const std::string& name, int32_t seqid, int type, const std::string& message)
{
    const apache::thrift::TApplicationException failure(
        static_cast<apache::thrift::TApplicationException::TApplicationExceptionType>(type), message);
    return encodeMessage(name, apache::thrift::protocol::T_EXCEPTION, seqid,
                         [&failure](TProtocol& out) { failure.write(&out); });
}

// Fails at the first byte, so that a reader never waits for more data.
std::string malformedReplyText()
{
    return "pkisim: deliberately malformed reply";
}

} // namespace pkisim
