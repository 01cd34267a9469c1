#include "serviceVersion.h"

#include <thrift/TApplicationException.h>
#include <thrift/TOutput.h>
#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/protocol/TMultiplexedProtocol.h>
#include <thrift/transport/THttpClient.h>
#include <thrift/transport/TSocket.h>
#include <thrift/transport/TTransportException.h>

#include <memory>

#include "debugLines.h"
#include "exitCodes.h"
#include "peerOwner.h"
#include "vantService.h"

namespace cli {
namespace {

namespace wire = com::vant::cbb::pkimid;
using apache::thrift::transport::TTransportException;
using json = nlohmann::ordered_json;

constexpr int servicePort = 18080;
constexpr int timeoutMs = 15000;

void requireTrustedOwner(apache::thrift::transport::TSocket& socket)
{
    uid_t owner = 0;
    const vant::peerLookup found = vant::peerOwner(socket.getSocketFD(), owner);
    if (found == vant::peerLookup::found && !vant::trustedOwner(owner))
        throw failure(exitUntrusted, "the service on 127.0.0.1:18080 belongs to " + vant::describeUser(owner) +
                                         ", neither root, a system account nor this user: nothing was sent");
    if (found == vant::peerLookup::notFound)
        throw failure(exitServiceFailed, "the service's end of the connection is not in the socket table");
}

wire::msgRequest requestWith(const std::string& body)
{
    wire::msgRequest request;
    request.reqid = 1;
    request.version = 1;
    request.jsonBody = body;
    return request;
}

json bodyOf(const wire::msgResponse& response, const char* what)
{
    json body = json::parse(response.jsonBody, nullptr, false);
    if (!body.is_object())
        throw failure(exitServiceFailed, std::string(what) + ": the answer's body is not a JSON object");
    return body;
}

failure refusal(const char* what, const wire::msgResponse& response, exitCode code)
{
    vpkiResp resp;
    resp.errCode = response.errCode;
    resp.body->setSize(static_cast<int64_t>(response.jsonBody.size()) + 1);
    response.jsonBody.copy(resp.body->getData(), response.jsonBody.size());
    failure f = serviceRefusal(what, resp);
    f.code = code;
    return f;
}

wire::sessionTicket logIn(wire::vantServiceClient& client, const credentials& login)
{
    const json credentialsBody = {{"appName", login.appName}, {"appID", login.appId}, {"token", login.token}};
    wire::msgRequest request = requestWith(credentialsBody.dump());
    request.msgType = wire::enMsgType::enMsg_Login;
    wire::msgResponse response;
    client.login(response, request);
    if (response.errCode != VPKI_RESULT_OK && response.errCode != VPKI_RESULT_LOGIN_ACCEPTED)
        throw refusal("login", response, exitLoginRefused);
    const json body = bodyOf(response, "login");
    wire::sessionTicket ticket;
    try {
        ticket.sessionID = std::stoll(body.at("sessionID").get<std::string>());
        ticket.ticket = body.at("ticket").get<std::string>();
    } catch (const std::exception&) {
        throw failure(exitServiceFailed, "login: the answer holds no session");
    }
    return ticket;
}

json askVersions(wire::vantServiceClient& client, const credentials& login)
{
    const wire::sessionTicket ticket = logIn(client, login);
    wire::msgResponse response;
    client.getVersions(response, ticket, requestWith(std::string()));
    wire::msgResponse ended;
    client.logout(ended, ticket);
    if (response.errCode != VPKI_RESULT_OK)
        throw refusal("vantService:getVersions", response, exitRequestFailed);
    return bodyOf(response, "vantService:getVersions");
}

} // namespace

json serviceVersions(const credentials& login)
{
    // Thrift's own diagnostics would be a second line on standard error:
    // the failure thrown below tells the same.
    apache::thrift::GlobalOutput.setOutputFunction([](const char*) {});
    auto socket = std::make_shared<apache::thrift::transport::TSocket>("127.0.0.1", servicePort);
    socket->setConnTimeout(timeoutMs);
    socket->setRecvTimeout(timeoutMs);
    socket->setSendTimeout(timeoutMs);
    auto http = std::make_shared<apache::thrift::transport::THttpClient>(socket, "127.0.0.1", "/");
    auto protocol = std::make_shared<apache::thrift::protocol::TJSONProtocol>(http);
    wire::vantServiceClient client(
        std::make_shared<apache::thrift::protocol::TMultiplexedProtocol>(protocol, "vantService"));
    debugLine("connecting to 127.0.0.1:18080 for the service's version");
    try {
        socket->open();
    } catch (const TTransportException& e) {
        debugLine(std::string("connect failed: ") + e.what());
        throw failure(exitUnreachable, std::string("cannot connect to 127.0.0.1:18080: ") + e.what());
    }
    requireTrustedOwner(*socket);
    try {
        return askVersions(client, login);
    } catch (const TTransportException& e) {
        const bool late = e.getType() == TTransportException::TIMED_OUT;
        throw failure(late ? exitTimedOut : exitServiceFailed, std::string("vantService: ") + e.what());
    } catch (const apache::thrift::TException& e) {
        throw failure(exitServiceFailed, std::string("vantService: ") + e.what());
    }
}

} // namespace cli
