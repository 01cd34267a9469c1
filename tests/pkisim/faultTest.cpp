// Injected faults as a plain generated client over HTTP sees them, and the
// rules by which faults match calls.
#include <gtest/gtest.h>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include "simTestSupport.h"

namespace {

using namespace pkitest;
using testsupport::faultOf;

class simFaults : public loggedInTest {
protected:
    // A getDevices call on a connection of its own: after a failed exchange the
    // client stack is not reused.
    wire::msgResponse getDevices(int timeoutMs = 10000)
    {
        serviceClient client(service.port(), timeoutMs);
        return client.getDevices(ticket);
    }
};

// The layer and text of the exception a call ends with, or "answered".
std::string outcomeOf(const std::function<void()>& call)
{
    try {
        call();
        return "answered";
    } catch (const apache::thrift::TApplicationException& e) {
        return std::string("application: ") + e.what();
    } catch (const apache::thrift::protocol::TProtocolException& e) {
        return std::string("protocol: ") + e.what();
    } catch (const apache::thrift::transport::TTransportException& e) {
        return std::string("transport: ") + e.what();
    }
}

TEST_F(simFaults, eachKindReachesTheClientAsItsOwnFailureForOneCall)
{
    auto with = [](pkisim::fault::kind what) {
        pkisim::fault f = faultOf(what);
        f.message = "device unplugged";
        f.status = 503;
        f.delayMs = 100;
        return f;
    };
    const struct {
        pkisim::fault fault;
        const char* outcome; // how it starts
    } cases[] = {
        {with(pkisim::fault::exception), "application: device unplugged"},
        {with(pkisim::fault::missingResult), "application: getDevices failed: unknown result"},
        {with(pkisim::fault::malformed), "protocol: "},
        {with(pkisim::fault::httpStatus), "transport: Bad Status"},
        {with(pkisim::fault::dropMidReply), "transport: "},
        {with(pkisim::fault::silent), "transport: "}, // the client's time-out
        {with(pkisim::fault::delay), "answered"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault.what);
        service.injectFault(c.fault);
        const auto started = std::chrono::steady_clock::now();
        const bool silent = c.fault.what == pkisim::fault::silent;
        const std::string outcome = outcomeOf([&] { getDevices(silent ? 300 : 10000); });
        EXPECT_EQ(outcome.rfind(c.outcome, 0), 0u) << outcome;
        if (c.fault.what == pkisim::fault::delay) {
            EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
        }
        EXPECT_EQ(getDevices().errCode, 0) << "one call only, and the service stays sound";
    }
}

TEST_F(simFaults, rawRepliesSendTheirBytesAsTheyStandAndPaced)
{
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: application/x-thrift\r\nContent-Length: 5\r\nConnection: keep-alive\r\n\r\n";
    const std::string wire = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}"
                             "HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\n\r\npart";
    const struct {
        bool rawWire;
        int paceMs;
        std::string message;
        std::string received; // before the service stops
    } cases[] = {
        {false, 30, "12345", head + "12345"},
        {true, 0, wire, wire},
        {true, 60000, "HTTP/1.1 200 OK\r\n", "H"}, // stop() cuts the pacing short
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message + " paced " + std::to_string(c.paceMs));
        pkisim::fault f = faultOf(pkisim::fault::rawReply, "*");
        f.rawWire = c.rawWire;
        f.paceMs = c.paceMs;
        f.message = c.message;
        service.injectFault(f);
        rawConnection connection(service.port());
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(connection.sendPost(versionsBody(ticket, request(0, ""))));
        EXPECT_EQ(connection.readBytes(c.received.size()), c.received);
        const size_t pacedBytes = std::min(c.received.size(), c.message.size());
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(c.paceMs) * (pacedBytes - 1));

        ASSERT_TRUE(connection.sendPost(versionsBody(ticket, request(0, ""))));
        httpResponse next;
        if (c.rawWire)
            EXPECT_EQ(connection.readBytes(1, 200), "") << "later calls are read and dropped";
        else
            EXPECT_TRUE(connection.readReply(next) && next.status == 200) << "the connection carries on";
        service.stop();
        EXPECT_TRUE(connection.closedByPeer());
        service.start();
    }
}

TEST_F(simFaults, pollAndLoginFaultsApplyToPollsAndLoginsOnly)
{
    pkisim::fault busy = faultOf(pkisim::fault::notifyErrCode, "*");
    busy.errCode = 3;
    service.injectFault(busy);
    service.injectFault(faultOf(pkisim::fault::refuseLogin, "*"));
    serviceClient client(service.notifyPort());
    EXPECT_EQ(client.getDevices(ticket).errCode, 0) << "neither a poll nor a login";
    const wire::msgResponse first = client.poll(ticket, 12345);
    EXPECT_EQ(first.errCode, 3);
    EXPECT_EQ(first.extend, 12345) << "the cursor survives the busy answer";
    EXPECT_EQ(client.poll(ticket, 0).errCode, 7) << "the session itself is fine";

    const size_t sessions = service.sessions().size();
    wire::msgResponse response;
    client.vant.login(response, loginRequest());
    EXPECT_EQ(response.errCode, 2);
    EXPECT_EQ(service.sessions().size(), sessions);
}

TEST_F(simFaults, faultsApplyInInjectionOrderToTheCallsTheyName)
{
    pkisim::fault twice = faultOf(pkisim::fault::reply);
    twice.count = 2;
    twice.errCode = 50;
    pkisim::fault anyCall = faultOf(pkisim::fault::reply, "*");
    anyCall.errCode = 51;
    pkisim::fault wholeService = faultOf(pkisim::fault::reply, "vantService:*");
    wholeService.errCode = 52;
    pkisim::fault forever = faultOf(pkisim::fault::reply, "deviceOperator:getDevInfo");
    forever.count = -1;
    forever.errCode = 53;
    for (const pkisim::fault& f : {twice, anyCall, wholeService, forever})
        service.injectFault(f);

    serviceClient client(service.port());
    wire::msgResponse response;
    client.vant.getVersions(response, ticket, request(0, ""));
    EXPECT_EQ(response.errCode, 51) << "the first fault that matches, in injection order";
    client.vant.getVersions(response, ticket, request(0, ""));
    EXPECT_EQ(response.errCode, 52);
    EXPECT_EQ(client.getDevices(ticket).errCode, 50);
    EXPECT_EQ(client.getDevices(ticket).errCode, 50);
    EXPECT_EQ(client.getDevices(ticket).errCode, 0);
    for (int i = 0; i < 3; ++i) {
        client.dev.getDevInfo(response, ticket, request(17, R"({"devID":"SIM-RSA-01"})"));
        EXPECT_EQ(response.errCode, 53);
    }
    ASSERT_EQ(service.pendingFaults().size(), 1u);
    service.clearFaults();
    client.dev.getDevInfo(response, ticket, request(17, R"({"devID":"SIM-RSA-01"})"));
    EXPECT_EQ(response.errCode, 0);
}

TEST_F(simFaults, faultsThatCouldNeverApplyAreRefused)
{
    pkisim::fault never = faultOf(pkisim::fault::delay);
    never.count = 0;
    pkisim::fault badStatus = faultOf(pkisim::fault::httpStatus);
    badStatus.status = 100;
    pkisim::fault negative = faultOf(pkisim::fault::delay);
    negative.delayMs = -1;
    pkisim::fault negativePace = faultOf(pkisim::fault::rawReply);
    negativePace.paceMs = -1;
    for (const pkisim::fault& f : {never, badStatus, negative, negativePace})
        EXPECT_THROW(service.injectFault(f), std::invalid_argument);
    EXPECT_TRUE(service.pendingFaults().empty());
}

} // namespace
