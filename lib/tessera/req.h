// Request routing: one public request becomes one call of the method that
// its service and message type select, on a request connection, with the
// session's ticket as it is when the exchange starts.
#ifndef TESSERA_REQ_H
#define TESSERA_REQ_H

#include "requestChannels.h"
#include "session.h"
#include "tessera.h"

namespace vant {

// What a request travels with.
struct requestContext {
    requestChannels& channels;
    const session& current;
};

} // namespace vant

// Each returns 1 when the service answered (or the message type selects no
// method, answered with an empty response) and resp was filled; 0 when the
// request was not carried (logged out meanwhile, the exchange failed), with
// resp untouched and the calling thread's last error set.
int req_ENROLLSERVICE(const vant::requestContext& context, const vpkiReq* req, vpkiResp* resp, int reqid);
int req_DEVSERVICE(const vant::requestContext& context, const vpkiReq* req, vpkiResp* resp, int reqid);
int req_SIGNXSERVICE(const vant::requestContext& context, const vpkiReq* req, vpkiResp* resp, int reqid);
int req_VMAILSERVICE(const vant::requestContext& context, const vpkiReq* req, vpkiResp* resp, int reqid);

// One of the four by service; 0 for another value.
int reqProcess(const vant::requestContext& context, PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp, int reqid);

namespace vant {

// A request of the application, records given and checked: true when the
// service answered. Refused at once when not logged in or for an unknown
// service; otherwise it waits for a request connection.
bool sendRequest(const requestContext& context, int service, const vpkiReq& req, vpkiResp& resp);

} // namespace vant

#endif // TESSERA_REQ_H
