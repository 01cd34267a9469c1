// The public records and the wire structures: request ids, and the
// conversions from one to the other.
#ifndef TESSERA_RECORD_TRANSFER_H
#define TESSERA_RECORD_TRANSFER_H

#include <cstdint>
#include <string_view>

#include "commdef_types.h"
#include "tessera.h"

namespace pkimid = com::vant::cbb::pkimid;

// Next request id: starts at the time of the first call (seconds) + 1 and
// counts up by one; concurrent callers never get the same id.
int32_t getReqidx();

// The request text of a record: jsonBody when its first byte is not 0,
// otherwise body up to its first zero byte (nothing when body is null).
std::string_view requestText(const vpkiReq& in);

// Public records to wire structures and back. tranferReq takes a fresh id
// when reqid is 0. tranferResp leaves `out` untouched when it throws.
void tranferReq(pkimid::msgRequest& out, const vpkiReq& in, int reqid);
void tranferResp(vpkiResp& out, const pkimid::msgResponse& in);

#endif // TESSERA_RECORD_TRANSFER_H
