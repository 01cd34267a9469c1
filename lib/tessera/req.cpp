#include "req.h"

#include <cstddef>

#include "agent.h"
#include "catalogue.h"
#include "connection.h"
#include "lastError.h"
#include "serviceCall.h"
#include "devService.h"
#include "enRollService.h"
#include "signXService.h"
#include "vmailService.h"

using pkimid::msgRequest;
using pkimid::msgResponse;
using pkimid::sessionTicket;

namespace {

template <class Client>
using serviceMethod = void (Client::*)(msgResponse&, const sessionTicket&, const msgRequest&);

// A service's methods indexed by message type - firstMsgType; the order is
// that of the message-type catalogue (catalogue.cpp), not of the contract.
template <class Client, size_t N>
struct routeTable {
    int service;
    int32_t firstMsgType;
    serviceMethod<Client> methods[N];
};

template <class Client, size_t N>
serviceMethod<Client> lookUp(const routeTable<Client, N>& table, int32_t msgType)
{
    long long index = static_cast<long long>(msgType) - table.firstMsgType;
    return index >= 0 && index < static_cast<long long>(N) ? table.methods[index] : nullptr;
}

// Sends one request. Any failure (transport, an exception reply, a reply
// that is not valid protocol text, memory) leaves the connection in an
// unknown state, so it is replaced before the next request.
template <class Client, size_t N>
int route(const routeTable<Client, N>& table, const vpkiReq* req, vpkiResp* resp, int reqid)
{
    try {
        auto stack = openRequestConnection();
        serviceMethod<Client> method = lookUp(table, req->msgType);
        if (method == nullptr) {
            tranferResp(*resp, msgResponse());
            return 1;
        }
        tranferReq(stack->request, *req, reqid);
        const auto ticket = currentTicket();
        const msgResponse& answer = vant::callService<Client>(
            *stack, vant::serviceWireName(table.service),
            [&](Client& client, msgResponse& into) { (client.*method)(into, *ticket, stack->request); });
        tranferResp(*resp, answer);
        return 1;
    } catch (...) {
        vant::setLastErrorFromException();
        renewRequestConnection();
        return 0;
    }
}

using enroll = pkimid::enRollServiceClient;
using dev = pkimid::devServiceClient;
using signx = pkimid::signXServiceClient;
using vmail = pkimid::vmailServiceClient;

const routeTable<enroll, 6> enrollRoutes = {ENROLLSERVICE, 32, {
    &enroll::makePkcs10, &enroll::genKeypair, &enroll::importEncKeypair,
    &enroll::importX509Cert, &enroll::importPfxCert, &enroll::getCert}};

const routeTable<dev, 25> devRoutes = {DEVSERVICE, 16, {
    &dev::getDevices, &dev::getDevInfo, &dev::setDevLable, &dev::transMitData,
    &dev::devAuth, &dev::changeAuthKey, &dev::getPINInfo, &dev::changePIN,
    &dev::verifyPIN, &dev::unlockPIN, &dev::getAppList, &dev::createApp,
    &dev::delApp, &dev::getContainers, &dev::createContainer, &dev::delContainer,
    &dev::getContainerType, &dev::importCertificate, &dev::exportCertificate,
    &dev::exportPublicKey, &dev::getProviders, &dev::setProvider,
    &dev::extPubKeyEncrypt, &dev::extPriKeyDecrypt, &dev::getAllCert}};

const routeTable<signx, 12> signxRoutes = {SIGNXSERVICE, 16, {
    &signx::signData, &signx::verifySignData, &signx::signMessage,
    &signx::verifyMessage, &signx::extECCVerify, &signx::extECCVerifyEx,
    &signx::dupCertWithTemplate, &signx::parseCert, &signx::envelopeEncrypt,
    &signx::envelopeDecrypt, &signx::verifySignedMessage, &signx::getExtension}};

const routeTable<vmail, 21> vmailRoutes = {VMAILSERVICE, 16, {
    &vmail::setTextBody, &vmail::getTextBody, &vmail::setHtmlBody,
    &vmail::getHtmlBody, &vmail::compose, &vmail::getComposedData,
    &vmail::prepareParse, &vmail::parse, &vmail::clear, &vmail::addAttachFile,
    &vmail::getAttachCount, &vmail::getAttachFileInfo, &vmail::doAttachSaveAs,
    &vmail::getAttachFieldInfo, &vmail::setMailType, &vmail::getMailType,
    &vmail::setEncCerts, &vmail::getMailSigner, &vmail::getSignCert,
    &vmail::getCertItem, &vmail::signData}};

} // namespace

int req_ENROLLSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route(enrollRoutes, req, resp, reqid);
}

int req_DEVSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route(devRoutes, req, resp, reqid);
}

int req_SIGNXSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route(signxRoutes, req, resp, reqid);
}

int req_VMAILSERVICE(const vpkiReq* req, vpkiResp* resp, int reqid)
{
    return route(vmailRoutes, req, resp, reqid);
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
