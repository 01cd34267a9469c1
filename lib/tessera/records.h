// Request and response records made and freed by the library, for callers
// (C above all) that cannot run the records' constructors: each record gets
// the body buffer that C++'s constructor gives it, so that texts of any
// length go both ways.
#ifndef TESSERA_RECORDS_H
#define TESSERA_RECORDS_H

#include <cstddef>

#include "tessera.h"

namespace vant {

// A record as its constructor makes it; throws std::bad_alloc.
vpkiReq* newRequestRecord();
vpkiResp* newResponseRecord();

// Frees a record of newRequestRecord or newResponseRecord and its body; null
// is a no-op.
void freeRequestRecord(vpkiReq* req) noexcept;
void freeResponseRecord(vpkiResp* resp) noexcept;

// Copies `length` bytes of `text` into the record's body buffer and clears
// jsonBody, so that the body is what is sent. False, with the last error set
// and the record unchanged, for an argument the record cannot carry; throws
// std::bad_alloc (the record unchanged).
bool setRequestBody(vpkiReq* req, const char* text, size_t length);

// The whole response text, zero-terminated: the body's when the record has
// one holding text, else jsonBody. Null, with the last error set, for a null
// record; the last error is left as it is otherwise.
const char* responseText(const vpkiResp* resp, size_t* length);

} // namespace vant

#endif // TESSERA_RECORDS_H
