#include "req.h"

#include <string>

#include "catalogue.h"
#include "devService.h"
#include "enRollService.h"
#include "lastError.h"
#include "recordTransfer.h"
#include "serviceCall.h"
#include "signXService.h"
#include "vmailService.h"

using pkimid::msgRequest;
using pkimid::msgResponse;
using pkimid::sessionTicket;

namespace {

template <class Client>
using serviceMethod = void (Client::*)(msgResponse&, const sessionTicket&, const msgRequest&);

// The method of Client that a message type selects, or null.
template <class Client>
serviceMethod<Client> methodFor(int32_t msgType);

using enroll = pkimid::enRollServiceClient;
using dev = pkimid::devServiceClient;
using signx = pkimid::signXServiceClient;
using vmail = pkimid::vmailServiceClient;

// Each service's specialization is a switch made from the service's list in
// tessera_catalogue.h: a message type listed twice does not compile, and
// neither does a listed method that the generated client lacks.
#define TESSERA_ROUTE(service, method, msgType) \
    case msgType:                               \
        return &client::method;
#define TESSERA_NO_ROUTE(service, method)
#define TESSERA_ROUTES(Client, methods)                      \
    template <>                                              \
    serviceMethod<Client> methodFor<Client>(int32_t msgType) \
    {                                                        \
        using client = Client;                               \
        switch (msgType) {                                   \
            methods(TESSERA_ROUTE, TESSERA_NO_ROUTE)         \
        }                                                    \
        return nullptr;                                      \
    }

TESSERA_ROUTES(enroll, VPKI_METHODS_ENROLL)
TESSERA_ROUTES(dev, VPKI_METHODS_DEV)
TESSERA_ROUTES(signx, VPKI_METHODS_SIGNX)
TESSERA_ROUTES(vmail, VPKI_METHODS_VMAIL)

#undef TESSERA_ROUTES
#undef TESSERA_NO_ROUTE
#undef TESSERA_ROUTE

// Sends one request. Any failure (transport, an exception reply, a reply
// that is not valid protocol text, memory) leaves the connection in an
// unknown state, so it is replaced before the next request.
template <class Client>
int route(const vant::requestContext& context, PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    const serviceMethod<Client> method = methodFor<Client>(req->msgType);
    if (method == nullptr) {
        tranferResp(*resp, msgResponse());
        return 1;
    }
    try {
        vant::requestChannels::lease lease = context.channels.acquire();
        // A logout may have come while the request waited for a connection.
        if (!context.current.loggedIn()) {
            vant::setLastError(VPKI_ERR_NOT_LOGGED_IN, "logged out while the request waited");
            return 0;
        }
        try {
            vant::rpcStack& stack = lease.open();
            tranferReq(stack.request, *req, reqid);
            const auto ticket = context.current.ticket();
            const msgResponse& answer = vant::callService<Client>(
                stack, vant::serviceWireName(service),
                [&](Client& client, msgResponse& into) { (client.*method)(into, *ticket, stack.request); });
            tranferResp(*resp, answer);
            return 1;
        } catch (...) {
            lease.renew();
            throw;
        }
    } catch (...) {
        vant::setLastErrorFromException();
        return 0;
    }
}

} // namespace

int req_ENROLLSERVICE(const vant::requestContext& context, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route<enroll>(context, ENROLLSERVICE, req, resp, reqid);
}

int req_DEVSERVICE(const vant::requestContext& context, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route<dev>(context, DEVSERVICE, req, resp, reqid);
}

int req_SIGNXSERVICE(const vant::requestContext& context, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route<signx>(context, SIGNXSERVICE, req, resp, reqid);
}

int req_VMAILSERVICE(const vant::requestContext& context, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route<vmail>(context, VMAILSERVICE, req, resp, reqid);
}

int reqProcess(const vant::requestContext& context, PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    switch (service) {
    case ENROLLSERVICE: return req_ENROLLSERVICE(context, req, resp, reqid);
    case DEVSERVICE: return req_DEVSERVICE(context, req, resp, reqid);
    case SIGNXSERVICE: return req_SIGNXSERVICE(context, req, resp, reqid);
    case VMAILSERVICE: return req_VMAILSERVICE(context, req, resp, reqid);
    }
    return 0;
}

namespace vant {

bool sendRequest(const requestContext& context, int service, const vpkiReq& req, vpkiResp& resp)
{
    if (!context.current.loggedIn()) {
        setLastError(VPKI_ERR_NOT_LOGGED_IN, "not logged in");
        return false;
    }
    if (service < ENROLLSERVICE || service > VMAILSERVICE) {
        setLastError(VPKI_ERR_BAD_ARGUMENT, "unknown service " + std::to_string(service));
        return false;
    }
    return reqProcess(context, static_cast<PKI_SERVICE>(service), &req, &resp, 0) == 1;
}

} // namespace vant
