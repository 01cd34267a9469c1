#include "req.h"

#include "agent.h"
#include "catalogue.h"
#include "connection.h"
#include "devService.h"
#include "enRollService.h"
#include "lastError.h"
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
int route(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    try {
        auto stack = openRequestConnection();
        serviceMethod<Client> method = methodFor<Client>(req->msgType);
        if (method == nullptr) {
            tranferResp(*resp, msgResponse());
            return 1;
        }
        tranferReq(stack->request, *req, reqid);
        const auto ticket = currentTicket();
        const msgResponse& answer =
            vant::callService<Client>(*stack, vant::serviceWireName(service), [&](Client& client, msgResponse& into) {
                (client.*method)(into, *ticket, stack->request);
            });
        tranferResp(*resp, answer);
        return 1;
    } catch (...) {
        vant::setLastErrorFromException();
        renewRequestConnection();
        return 0;
    }
}

} // namespace

int req_ENROLLSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route<enroll>(ENROLLSERVICE, req, resp, reqid);
}

int req_DEVSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route<dev>(DEVSERVICE, req, resp, reqid);
}

int req_SIGNXSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route<signx>(SIGNXSERVICE, req, resp, reqid);
}

int req_VMAILSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route<vmail>(VMAILSERVICE, req, resp, reqid);
}

int reqProcess(PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    switch (service) {
    case ENROLLSERVICE: return req_ENROLLSERVICE(req, resp, reqid);
    case DEVSERVICE: return req_DEVSERVICE(req, resp, reqid);
    case SIGNXSERVICE: return req_SIGNXSERVICE(req, resp, reqid);
    case VMAILSERVICE: return req_VMAILSERVICE(req, resp, reqid);
    }
    return 0;
}
