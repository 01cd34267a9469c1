// Request routing: one public request becomes one call of the method that
// its service and message type select.
#ifndef TESSERA_REQ_H
#define TESSERA_REQ_H

#include "tessera.h"

// Each returns 1 when the service answered (or the message type selects no
// method, answered with an empty response) and resp was filled; 0 when the
// exchange failed, with resp untouched. The caller holds g_reqLocker.
int req_ENROLLSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid);
int req_DEVSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid);
int req_SIGNXSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid);
int req_VMAILSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid);

#endif // TESSERA_REQ_H
