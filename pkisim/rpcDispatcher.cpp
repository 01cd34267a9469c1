#include "rpcDispatcher.h"

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocol.h>

#include <cstdio>
#include <string>

#include "deviceOps.h"
#include "replyBodies.h"

namespace pkisim {

using apache::thrift::TApplicationException;

namespace {

// A hand-made reply body names the call it answers with "$SEQID": a client
// numbers its calls as it likes, unpredictably for all the author knows.
std::string withCallNumber(std::string body, int32_t seqid)
{
    static const std::string placeholder = "$SEQID";
    const std::string number = std::to_string(seqid);
    for (size_t at = body.find(placeholder); at != std::string::npos; at = body.find(placeholder, at + number.size()))
        body.replace(at, placeholder.size(), number);
    return body;
}

httpReply thriftReply(std::string message)
{
    httpReply reply;
    reply.body = std::move(message);
    return reply;
}

rpcOutcome exceptionOutcome(const std::string& name, int32_t seqid, int type, const std::string& text)
{
    return {encodeException(name, seqid, type, text), -1};
}

std::string describe(const rpcCall& call, int32_t errCode)
{
    std::string line = call.wireName + " seqid=" + std::to_string(call.seqid);
    line += call.hasTicket ? " session=" + std::to_string(call.ticket.sessionID) : " session=-";
    line += errCode >= 0 ? " errCode=" + std::to_string(errCode) : " errCode=-";
    return line;
}

} // namespace

rpcDispatcher::rpcDispatcher(sessionService& vant, deviceGateway& gateway, faultList& faults, callLog& record,
                             const stopSignal& stopping, bool verbose)
    : vant(vant),
      gateway(gateway),
      faults(faults),
      calls(record),
      stopping(stopping),
      verbose(verbose)
{
}

httpReply rpcDispatcher::handle(const std::string& body, const peerInfo& peer)
{
    const auto started = std::chrono::steady_clock::now();
    std::string logLine;
    httpReply reply;
    try {
        reply = dispatch(body, peer, logLine);
    } catch (const std::exception& e) {
        reply = errorReply(500, std::string("pkisim: ") + e.what());
        logLine = std::string("internal error: ") + e.what();
    }
    if (verbose)
        log(peer, logLine, started);
    return reply;
}

httpReply rpcDispatcher::dispatch(const std::string& body, const peerInfo& peer, std::string& logLine)
{
    rpcCall call;
    std::string error;
    switch (decodeCall(body, call, error)) {
    case decodeResult::notMessage:
        if (verbose)
            logLine = "not a Thrift message: " + error;
        return errorReply(400, "not a Thrift JSON-protocol message: " + error);
    case decodeResult::badArguments:
        if (verbose)
            logLine = call.wireName + " seqid=" + std::to_string(call.seqid) + " malformed arguments: " + error;
        return thriftReply(encodeException(call.method, call.seqid, TApplicationException::PROTOCOL_ERROR,
                                           "malformed arguments: " + error));
    case decodeResult::call: break;
    }
    record(call, peer);
    rpcOutcome result;
    httpReply reply;
    if (const std::optional<fault> f = faults.take(call.wireName)) {
        reply = applyFault(call, *f, result);
        if (verbose)
            logLine = describe(call, result.errCode) + " fault=" + faultKindName(f->what);
    } else {
        result = answer(call);
        reply = thriftReply(std::move(result.message));
        if (verbose)
            logLine = describe(call, result.errCode);
    }
    return reply;
}

httpReply rpcDispatcher::applyFault(const rpcCall& call, const fault& f, rpcOutcome& result)
{
    httpReply reply;
    switch (f.what) {
    case fault::delay:
        if (stopping.waitFor(f.delayMs)) {
            reply.mode = replyMode::close;
            return reply;
        }
        result = answer(call);
        break;
    case fault::exception:
        result = exceptionOutcome(call.method, call.seqid, TApplicationException::UNKNOWN, f.message);
        break;
    case fault::missingResult: result.message = encodeReply(call.method, call.seqid, nullptr); break;
    case fault::malformed: result.message = malformedReplyText(); break;
    case fault::rawReply:
        reply.mode = f.rawWire ? replyMode::raw : replyMode::answer;
        reply.paceMs = f.paceMs;
        result.message = f.rawWire ? f.message : withCallNumber(f.message, call.seqid);
        break;
    case fault::httpStatus: reply.status = f.status; return reply;
    case fault::dropMidReply:
        result = answer(call);
        reply.mode = replyMode::dropMidReply;
        break;
    case fault::silent: reply.mode = replyMode::silent; return reply;
    case fault::reply: {
        wire::msgResponse scripted;
        scripted.__set_respid(f.respid);
        scripted.__set_msgType(f.msgType);
        scripted.__set_version(f.version);
        scripted.__set_errCode(f.errCode);
        scripted.__set_extend(f.extend);
        scripted.__set_jsonBody(f.jsonBody);
        result = {encodeReply(call.method, call.seqid, &scripted), f.errCode};
        break;
    }
    case fault::notifyErrCode:
    case fault::refuseLogin: {
        const char* why = f.what == fault::refuseLogin ? "login refused (injected)" : "injected notification answer";
        const wire::msgResponse forced = answerTo(call.request, f.errCode, errorBody(why));
        result = {encodeReply(call.method, call.seqid, &forced), f.errCode};
        break;
    }
    }
    reply.body = std::move(result.message);
    return reply;
}

rpcOutcome rpcDispatcher::answer(const rpcCall& call)
{
    try {
        return route(call);
    } catch (const std::exception& e) {
        return exceptionOutcome(call.method, call.seqid, TApplicationException::INTERNAL_ERROR, e.what());
    }
}

rpcOutcome rpcDispatcher::route(const rpcCall& call)
{
    using apache::thrift::protocol::T_CALL;
    using apache::thrift::protocol::T_ONEWAY;
    if (call.messageType != T_CALL && call.messageType != T_ONEWAY)
        return exceptionOutcome(call.method, call.seqid, TApplicationException::INVALID_MESSAGE_TYPE,
                                "expected a call message");
    if (call.service == "vantService")
        return routeSession(call);
    if (!hasService(call.service))
        return exceptionOutcome(call.wireName, call.seqid, TApplicationException::UNKNOWN_METHOD,
                                "Unknown service: '" + call.service + "'");
    if (findOperation(call.service, call.method) == nullptr)
        return exceptionOutcome(call.method, call.seqid, TApplicationException::UNKNOWN_METHOD,
                                "Invalid method name: '" + call.method + "'");
    const wire::msgResponse response = gateway.call(call.service, call.method, call.ticket, call.request);
    return {encodeReply(call.method, call.seqid, &response), response.errCode};
}

rpcOutcome rpcDispatcher::routeSession(const rpcCall& call)
{
    wire::msgResponse response;
    if (call.method == "login")
        response = vant.login(call.request);
    else if (call.method == "logout")
        response = vant.logout(call.ticket);
    else if (call.method == "getNotify")
        response = vant.getNotify(call.ticket, call.request);
    else if (call.method == "getVersions")
        response = vant.getVersions(call.ticket, call.request);
    else
        return exceptionOutcome(call.method, call.seqid, TApplicationException::UNKNOWN_METHOD,
                                "Invalid method name: '" + call.method + "'");
    return {encodeReply(call.method, call.seqid, &response), response.errCode};
}

void rpcDispatcher::record(const rpcCall& call, const peerInfo& peer)
{
    recordedCall entry;
    entry.wireName = call.wireName;
    entry.seqid = call.seqid;
    entry.hasTicket = call.hasTicket;
    entry.sessionID = call.ticket.sessionID;
    entry.ticket = call.ticket.ticket;
    entry.hasRequest = call.hasRequest;
    entry.reqid = call.request.reqid;
    entry.msgType = call.request.msgType;
    entry.version = call.request.version;
    entry.extend = call.request.extend;
    entry.jsonBody = call.request.jsonBody;
    entry.port = peer.localPort;
    entry.peerPort = peer.peerPort;
    calls.add(std::move(entry));
}

void rpcDispatcher::log(const peerInfo& peer, const std::string& what, std::chrono::steady_clock::time_point started)
{
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    std::lock_guard<std::mutex> guard(logLock);
    std::fprintf(stderr, "pkisim: :%u <- :%u %s %.2f ms\n", peer.localPort, peer.peerPort, what.c_str(), ms);
}

} // namespace pkisim
