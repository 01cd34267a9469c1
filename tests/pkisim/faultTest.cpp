// Injected faults as a plain generated client over HTTP sees them.
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
using apache::thrift::TApplicationException;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TTransportException;

class faultTest : public loggedInTest {
protected:
    // A getDevices call on a connection of its own: after a failed exchange the
    // client stack is not reused.
    wire::msgResponse getDevices(int timeoutMs = 10000) {
        serviceClient client(service.port(), timeoutMs);
        return client.getDevices(ticket);
    }
};

TEST_F(faultTest, eachMisbehaviourReachesTheClientAsItsOwnFailure) {
    struct {
        pkisim::fault f;
        std::function<void(const std::function<void()>&)> expectation;
    } const cases[] = {
        {[] {
             pkisim::fault f = faultOf(pkisim::fault::exception);
             f.message = "device unplugged";
             return f;
         }(),
         [](const std::function<void()>& call) {
             try {
                 call();
                 ADD_FAILURE() << "no exception";
             } catch (const TApplicationException& e) {
                 EXPECT_STREQ(e.what(), "device unplugged");
             }
         }},
        {faultOf(pkisim::fault::missingResult),
         [](const std::function<void()>& call) {
             try {
                 call();
                 ADD_FAILURE() << "no exception";
             } catch (const TApplicationException& e) {
                 EXPECT_EQ(e.getType(), TApplicationException::MISSING_RESULT);
                 EXPECT_STREQ(e.what(), "getDevices failed: unknown result");
             }
         }},
        {faultOf(pkisim::fault::malformed),
         [](const std::function<void()>& call) { EXPECT_THROW(call(), TProtocolException); }},
        {[] {
             pkisim::fault f = faultOf(pkisim::fault::httpStatus);
             f.status = 503;
             return f;
         }(),
         [](const std::function<void()>& call) {
             try {
                 call();
                 ADD_FAILURE() << "no exception";
             } catch (const TTransportException& e) {
                 EXPECT_NE(std::string(e.what()).find("Bad Status"), std::string::npos) << e.what();
             }
         }},
        {faultOf(pkisim::fault::dropMidReply),
         [](const std::function<void()>& call) { EXPECT_THROW(call(), TTransportException); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(pkisim::fault::kind(c.f.what));
        service.injectFault(c.f);
        c.expectation([this] { getDevices(); });
        EXPECT_EQ(getDevices().errCode, 0) << "one call only, and the service stays sound";
    }
}

TEST_F(faultTest, delayedCallStillSucceeds) {
    pkisim::fault f = faultOf(pkisim::fault::delay);
    f.delayMs = 100;
    service.injectFault(f);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(getDevices().errCode, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
}

TEST_F(faultTest, silentCallTimesTheClientOutAndLeavesTheServiceSound) {
    service.injectFault(faultOf(pkisim::fault::silent));
    try {
        getDevices(300);
        ADD_FAILURE() << "the silent call was answered";
    } catch (const TTransportException& e) {
        EXPECT_EQ(e.getType(), TTransportException::TIMED_OUT) << e.what();
    }
    EXPECT_EQ(getDevices().errCode, 0);
}

TEST_F(faultTest, scriptedReplyIsAnsweredFieldForField) {
    pkisim::fault f = faultOf(pkisim::fault::reply);
    f.respid = 41;
    f.msgType = 42;
    f.version = 43;
    f.errCode = 44;
    f.extend = int64_t(1) << 40;
    f.jsonBody = R"({"scripted":"é"})";
    service.injectFault(f);
    const wire::msgResponse reply = getDevices();
    EXPECT_EQ(reply.respid, 41);
    EXPECT_EQ(reply.msgType, 42);
    EXPECT_EQ(reply.version, 43);
    EXPECT_EQ(reply.errCode, 44);
    EXPECT_EQ(reply.extend, int64_t(1) << 40);
    EXPECT_EQ(reply.jsonBody, f.jsonBody);
}

TEST_F(faultTest, rawRepliesSendTheirBytesAsTheyStandAndPaced) {
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: application/x-thrift\r\nContent-Length: 5\r\nConnection: keep-alive\r\n\r\n";
    const std::string wire = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}"
                             "HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\n\r\npart";
    const struct {
        bool rawWire;
        int paceMs;
        std::string message;
        std::string received;  // before the service stops
    } cases[] = {
        {false, 0, "12345", head + "12345"},
        {false, 30, "12345", head + "12345"},
        {true, 0, wire, wire},
        {true, 30, "HTTP/1.1 2", "HTTP/1.1 2"},
        {true, 60000, "HTTP/1.1 200 OK\r\n", "H"},  // stop() cuts the pacing short
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
        const auto stopping = std::chrono::steady_clock::now();
        service.stop();
        EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(5));
        EXPECT_TRUE(connection.closedByPeer());
        service.start();
    }
}

TEST_F(faultTest, notificationErrCodesApplyToPollsOnly) {
    pkisim::fault busy = faultOf(pkisim::fault::notifyErrCode, "*");
    busy.errCode = 3;
    pkisim::fault lost = busy;
    lost.errCode = 1;
    service.injectFault(busy);
    service.injectFault(lost);
    serviceClient client(service.notifyPort());
    EXPECT_EQ(client.getDevices(ticket).errCode, 0) << "not a poll";
    const wire::msgResponse first = client.poll(ticket, 12345);
    EXPECT_EQ(first.errCode, 3);
    EXPECT_EQ(first.extend, 12345) << "the cursor survives the busy answer";
    EXPECT_EQ(client.poll(ticket, 0).errCode, 1);
    EXPECT_EQ(client.poll(ticket, 0).errCode, 7) << "the session itself is fine";
}

TEST_F(faultTest, refusedLoginsOpenNoSession) {
    service.injectFault(faultOf(pkisim::fault::refuseLogin, "*"));
    pkisim::fault other = faultOf(pkisim::fault::refuseLogin, "vantService:login");
    other.errCode = 9;
    service.injectFault(other);
    const size_t before = service.sessions().size();
    serviceClient client(service.port());
    wire::msgResponse response;
    client.vant.login(response, loginRequest());
    EXPECT_EQ(response.errCode, 2);
    client.vant.login(response, loginRequest());
    EXPECT_EQ(response.errCode, 9);
    EXPECT_EQ(service.sessions().size(), before);
    client.vant.login(response, loginRequest());
    EXPECT_EQ(response.errCode, 0);
}

TEST_F(faultTest, faultsApplyInInjectionOrderToTheCallsTheyName) {
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

TEST_F(faultTest, faultsThatCouldNeverApplyAreRefused) {
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
