// Thrift JSON-protocol messages of the service contract: decoding a call
// from an HTTP body, encoding the replies (normal, exception, damaged).
#ifndef PKISIM_RPC_CODEC_H
#define PKISIM_RPC_CODEC_H

#include <cstdint>
#include <string>

#include "commdef_types.h"

namespace pkisim {

namespace wire = ::com::vant::cbb::pkimid;

struct rpcCall {
    std::string wireName; // as sent, e.g. "deviceOperator:getDevices"
    std::string service;  // the part before ':' ("" when there is none)
    std::string method;   // the part after ':'
    int32_t messageType = 0;
    int32_t seqid = 0;
    bool hasTicket = false; // login carries no ticket
    wire::sessionTicket ticket;
    bool hasRequest = false; // logout carries no request
    wire::msgRequest request;
};

enum class decodeResult {
    call,         // fully decoded
    badArguments, // name and seqid read, the arguments malformed
    notMessage    // not even a message header
};

// Decodes a call the way the generated code reads it: fields of unknown id or
// of another type are skipped, missing fields keep their defaults.
decodeResult decodeCall(const std::string& body, rpcCall& call, std::string& error);

// A reply message carrying `result` as field 0, or no field at all when null.
std::string encodeReply(const std::string& name, int32_t seqid, const wire::msgResponse* result);
// An exception message carrying an application exception of `type`.
std::string encodeException(const std::string& name, int32_t seqid, int type, const std::string& message);
// Text that no JSON-protocol reader accepts as a message.
std::string malformedReplyText();

} // namespace pkisim

#endif // PKISIM_RPC_CODEC_H
