// Notification events and their cursor as pkisim's README states the rules;
// the library's tests reach reconnects, restarts and new sessions.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "eventLog.h"
#include "simTestSupport.h"

namespace {

using namespace pkitest;
using std::chrono::milliseconds;

constexpr int32_t devIn = wire::enMsgType::enMsg_NotifyerDevin;
constexpr int32_t devOut = wire::enMsgType::enMsg_NotifyerDevOut;
constexpr int32_t devModify = wire::enMsgType::enMsg_NotifyerDevModify;
constexpr int32_t sessionClose = wire::enMsgType::enMsg_NotifyerSessionClose;

std::string devIdOf(const wire::msgResponse& event)
{
    return nlohmann::json::parse(event.jsonBody).value("devID", "");
}

// The device ids of the events that polling from `cursor` delivers; `cursor` follows the replies.
std::vector<std::string> drain(serviceClient& client, const wire::sessionTicket& ticket, int64_t& cursor)
{
    std::vector<std::string> devIds;
    for (const wire::msgResponse& event : client.drain(ticket, cursor))
        devIds.push_back(devIdOf(event));
    return devIds;
}

class simEvents : public serviceTest {
protected:
    std::string insert(const std::string& devId)
    {
        pkisim::deviceSpec spec;
        spec.devId = devId;
        spec.keyType = "ECC";
        return service.insertDevice(spec);
    }
};

TEST_F(simEvents, deviceChangesArriveInOrderWithConsecutiveCursors)
{
    serviceClient client(service.port());
    const wire::sessionTicket ticket = client.login();
    insert("EV-1");
    const nlohmann::json listed = nlohmann::json::parse(client.getDevices(ticket).jsonBody)["devices"].back();
    ASSERT_TRUE(service.modifyDevice("EV-1", "renamed"));
    ASSERT_TRUE(service.removeDevice("EV-1"));
    EXPECT_FALSE(service.removeDevice("EV-1"));
    EXPECT_FALSE(service.modifyDevice("EV-1", "x"));

    std::vector<wire::msgResponse> replies;
    int64_t cursor = 0;
    for (int i = 0; i < 4; ++i) {
        replies.push_back(client.poll(ticket, cursor));
        cursor = replies.back().extend;
    }
    ASSERT_EQ(replies[0].errCode, 0);
    EXPECT_EQ(replies[0].msgType, devIn);
    EXPECT_EQ(replies[1].msgType, devModify);
    EXPECT_EQ(replies[2].msgType, devOut);
    EXPECT_EQ(replies[1].extend, replies[0].extend + 1);
    EXPECT_EQ(replies[2].extend, replies[1].extend + 1);
    nlohmann::json inserted = nlohmann::json::parse(replies[0].jsonBody);
    EXPECT_EQ(inserted["event"], "inserted");
    inserted.erase("event");
    EXPECT_EQ(inserted, listed) << "an event names the device as getDevices lists it";
    const nlohmann::json modified = nlohmann::json::parse(replies[1].jsonBody);
    EXPECT_EQ(modified["devID"], "EV-1");
    EXPECT_EQ(modified["label"], "renamed");
    EXPECT_EQ(modified["event"], "modified");
    EXPECT_EQ(nlohmann::json::parse(replies[2].jsonBody)["event"], "removed");
    // Nothing more: errCode 7 and the cursor echoed.
    EXPECT_EQ(replies[3].errCode, 7);
    EXPECT_EQ(replies[3].extend, replies[2].extend);
}

TEST_F(simEvents, cursorZeroStartsAtTheSessionsLogin)
{
    insert("BEFORE");
    serviceClient client(service.port());
    const wire::sessionTicket ticket = client.login();
    const wire::msgResponse nothing = client.poll(ticket, 0);
    EXPECT_EQ(nothing.errCode, 7);
    insert("AFTER");
    const wire::msgResponse after = client.poll(ticket, 0);
    EXPECT_EQ(devIdOf(after), "AFTER");
    EXPECT_EQ(after.extend, nothing.extend + 1) << "the cursor handed out for 0 is the login's position";
    EXPECT_EQ(client.poll(ticket, after.extend).extend, after.extend) << "a real cursor is echoed";
}

TEST_F(simEvents, aRepeatedPollGetsTheSameEventAndNothingIsRepeatedAfterIt)
{
    serviceClient client(service.port());
    const wire::sessionTicket ticket = client.login();
    insert("A");
    insert("B");
    // The reply to the first poll is "lost": the client polls again with its old cursor.
    const wire::msgResponse first = client.poll(ticket, 0);
    const wire::msgResponse again = client.poll(ticket, 0);
    EXPECT_EQ(devIdOf(first), "A");
    EXPECT_EQ(devIdOf(again), "A");
    EXPECT_EQ(again.extend, first.extend);
    int64_t cursor = first.extend;
    EXPECT_EQ(drain(client, ticket, cursor), std::vector<std::string>{"B"});
    EXPECT_EQ(drain(client, ticket, cursor), std::vector<std::string>{});
}

TEST(simEventCursor, cursorsFromAnEarlierRunOrBeyondTheNewestAreReplaced)
{
    int64_t foreign;
    {
        pkisim::server earlier(freePorts());
        earlier.start();
        serviceClient client(earlier.port());
        const wire::sessionTicket ticket = client.login();
        earlier.pushEvent(devIn, R"({"devID":"OLD"})");
        foreign = client.poll(ticket, 0).extend;
    }
    pkisim::server later(freePorts());
    later.start();
    later.pushEvent(devIn, R"({"devID":"NEW-1"})");
    serviceClient client(later.port());
    const wire::sessionTicket ticket = client.login();
    later.pushEvent(devIn, R"({"devID":"NEW-2"})");

    // A cursor of an earlier run: everything this run still keeps is news.
    wire::msgResponse reply = client.poll(ticket, foreign);
    EXPECT_EQ(devIdOf(reply), "NEW-1");
    reply = client.poll(ticket, reply.extend);
    EXPECT_EQ(devIdOf(reply), "NEW-2");
    const int64_t newest = reply.extend;

    // A cursor beyond the newest event counts as 0: from the session's login.
    reply = client.poll(ticket, newest + 1000);
    EXPECT_EQ(devIdOf(reply), "NEW-2");
    EXPECT_EQ(reply.extend, newest);
}

TEST_F(simEvents, closedSessionGetsItsClosingEventThenSessionUnknown)
{
    serviceClient client(service.port());
    const wire::sessionTicket closing = client.login();
    const wire::sessionTicket other = client.login();
    insert("A");
    ASSERT_TRUE(service.closeSession(closing.sessionID));
    EXPECT_FALSE(service.closeSession(closing.sessionID));
    EXPECT_EQ(client.getDevices(closing).errCode, 1) << "requests end with the session";

    const wire::msgResponse first = client.poll(closing, 0);
    EXPECT_EQ(devIdOf(first), "A") << "events queued before the close still come first";
    const wire::msgResponse closed = client.poll(closing, first.extend);
    EXPECT_EQ(closed.errCode, 0);
    EXPECT_EQ(closed.msgType, sessionClose);
    EXPECT_EQ(nlohmann::json::parse(closed.jsonBody)["sessionID"], std::to_string(closing.sessionID));
    EXPECT_EQ(client.poll(closing, closed.extend).errCode, 1);

    // The other session never sees it.
    int64_t cursor = 0;
    EXPECT_EQ(drain(client, other, cursor), std::vector<std::string>{"A"});
}

TEST_F(simEvents, pushedEventsAndRelabelsReachEverySession)
{
    serviceClient client(service.port());
    const wire::sessionTicket first = client.login();
    const wire::sessionTicket second = client.login();
    service.pushEvent(devIn, R"({"devID":"PUSHED"})");
    wire::msgResponse relabel;
    client.dev.setDevLable(relabel, first, request(18, R"({"devID":"SIM-ECC-01","label":"via service"})"));
    ASSERT_EQ(relabel.errCode, 0) << relabel.jsonBody;
    for (const wire::sessionTicket& ticket : {first, second}) {
        const wire::msgResponse pushed = client.poll(ticket, 0);
        EXPECT_EQ(pushed.msgType, devIn);
        EXPECT_EQ(pushed.jsonBody, R"({"devID":"PUSHED"})");
        const wire::msgResponse modified = client.poll(ticket, pushed.extend);
        EXPECT_EQ(modified.msgType, devModify);
        EXPECT_EQ(nlohmann::json::parse(modified.jsonBody)["label"], "via service");
    }
}

class simLongPoll : public ::testing::Test {
protected:
    static pkisim::options withLongPoll()
    {
        pkisim::options opts = freePorts();
        opts.longPollMs = 60000;
        return opts;
    }

    pkisim::server waiting{withLongPoll()};
};

TEST_F(simLongPoll, anEmptyPollWaitsForTheNextEventAndStopEndsTheWait)
{
    waiting.start();
    serviceClient client(waiting.port(), 60000);
    const wire::sessionTicket ticket = client.login();
    std::thread inserter([&] {
        waiting.waitForCalls([](const auto& calls) { return calls.back().wireName == "vantService:getNotify"; },
                             std::chrono::seconds(30));
        pkisim::deviceSpec spec;
        spec.devId = "LATE";
        spec.keyType = "ECC";
        waiting.insertDevice(spec);
    });
    const wire::msgResponse late = client.poll(ticket, 0);
    inserter.join();
    EXPECT_EQ(late.errCode, 0);
    EXPECT_EQ(devIdOf(late), "LATE");

    std::thread stopper([&] {
        waiting.waitForCalls([](const auto& calls) { return calls.size() >= 3; }, std::chrono::seconds(30));
        waiting.stop();
    });
    // The interrupted poll ends with "nothing" or with the connection; it never hangs.
    const auto started = std::chrono::steady_clock::now();
    try {
        EXPECT_EQ(client.poll(ticket, late.extend).errCode, 7);
    } catch (const apache::thrift::TException&) {
    }
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(simEventLog, eventsGoOnceEveryCursorPassedThemAndNeverBeyondCapacity)
{
    pkisim::eventLog log(5, std::chrono::seconds(600));
    log.join(1, "app");
    log.join(2, "app");
    int64_t last = 0;
    for (int i = 0; i < 3; ++i)
        last = log.post(devIn, "{}");
    EXPECT_EQ(log.size(), 3u);
    log.poll(1, last, milliseconds(0));
    EXPECT_EQ(log.size(), 3u) << "session 2 has not polled yet";
    log.poll(2, last - 1, milliseconds(0));
    EXPECT_EQ(log.size(), 1u);
    log.leave(2);
    EXPECT_EQ(log.size(), 0u);

    for (int i = 0; i < 8; ++i)
        log.post(devIn, "{}");
    EXPECT_EQ(log.size(), 5u);
}

TEST(simEventLog, aLostSessionsPlaceGoesToTheNextSessionOfItsApplication)
{
    pkisim::eventLog log(100, std::chrono::seconds(600));
    log.join(1, "mail");
    log.join(2, "other");
    const int64_t seen = log.post(devIn, "{\"n\":1}");
    log.post(devIn, "{\"n\":2}");
    log.poll(1, seen, milliseconds(0));
    log.poll(2, log.newest(), milliseconds(0));
    log.lose(1);
    log.post(devIn, "{\"n\":3}");

    log.join(3, "other"); // another application starts at its login
    EXPECT_FALSE(log.poll(3, 0, milliseconds(0)).found);
    log.join(4, "mail"); // the lost session's application takes over its place
    const pkisim::eventLog::pollResult resumed = log.poll(4, 0, milliseconds(0));
    ASSERT_TRUE(resumed.found);
    EXPECT_EQ(resumed.delivered.body, "{\"n\":2}");
    log.join(5, "mail"); // a place is taken over once
    EXPECT_FALSE(log.poll(5, 0, milliseconds(0)).found);
}

TEST_F(simEvents, aSessionLostBeforeItsFirstPollLosesNoEvent)
{
    serviceClient client(service.port());
    const wire::sessionTicket lost = client.login();
    ASSERT_TRUE(service.expireSession(lost.sessionID));
    insert("WHILE-LOST");
    EXPECT_EQ(client.poll(lost, 0).errCode, 1);
    const wire::sessionTicket fresh = client.login();
    insert("AFTER");
    int64_t cursor = 0;
    EXPECT_EQ(drain(client, fresh, cursor), (std::vector<std::string>{"WHILE-LOST", "AFTER"}));
}

} // namespace
