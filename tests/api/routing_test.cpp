// Requests through the C API reach the method that their service and
// message type select, with the session ticket and the fields as sent, and
// the reply comes back whole.
#include <cstring>
#include <string>

#include "catalogue.h"
#include "serviceFixture.h"

namespace {

using testsupport::callsNamed;
using testsupport::fillRequest;
using testsupport::isPoisoned;
using testsupport::poisonResponse;
using testsupport::requestCalls;

class routing : public testsupport::serviceTest {
protected:
    void SetUp() override
    {
        serviceTest::SetUp();
        createAndLogin();
        sim->clearCalls();
    }

    std::string wireName(int service, const char* method)
    {
        return std::string(vant::serviceWireName(service)) + ":" + method;
    }
};

TEST_F(routing, everyCataloguedPairReachesItsMethodWithTicketAndFields)
{
    ASSERT_EQ(sim->sessions().size(), 1u);
    const pkisim::sessionInfo session = sim->sessions().front();
    ASSERT_NE(vant::catalogueBegin(), vant::catalogueEnd());
    int count = 0;
    for (auto* e = vant::catalogueBegin(); e != vant::catalogueEnd(); ++e, ++count) {
        SCOPED_TRACE(wireName(e->service, e->method));
        vpkiReq req;
        const std::string body = "{\"probe\":" + std::to_string(count) + "}";
        fillRequest(req, e->msgType, body, 7, 0x123456789abLL + count);
        vpkiResp resp;
        sim->clearCalls();
        ASSERT_TRUE(reqSync(static_cast<PKI_SERVICE>(e->service), &req, &resp));

        const auto calls = requestCalls(*sim);
        ASSERT_EQ(calls.size(), 1u);
        const pkisim::recordedCall& call = calls.front();
        EXPECT_EQ(call.wireName, wireName(e->service, e->method));
        EXPECT_EQ(call.sessionID, session.sessionID);
        EXPECT_EQ(call.ticket, session.ticket);
        EXPECT_EQ(call.msgType, e->msgType);
        EXPECT_EQ(call.version, 7);
        EXPECT_EQ(call.extend, 0x123456789abLL + count);
        EXPECT_EQ(call.jsonBody, body);
        EXPECT_NE(call.reqid, 0);
    }
}

TEST_F(routing, requestIdsAreFreshAndIncreasing)
{
    vpkiReq req;
    fillRequest(req, VPKI_DEV_getDevices, "{}");
    req.reqid = 99;  // the application's own; never sent
    vpkiResp resp;
    ASSERT_TRUE(reqSync(DEVSERVICE, &req, &resp));
    ASSERT_TRUE(reqSync(DEVSERVICE, &req, &resp));
    const auto calls = callsNamed(*sim, "deviceOperator:getDevices");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].reqid, 99);
    EXPECT_GT(calls[1].reqid, calls[0].reqid);
}

TEST_F(routing, unlistedMessageTypesAnswerEmptyWithoutACall)
{
    const struct {
        PKI_SERVICE service;
        int32_t msgType;
    } unlisted[] = {{DEVSERVICE, 15}, {DEVSERVICE, 41}, {DEVSERVICE, -1}, {ENROLLSERVICE, 16},
                    {ENROLLSERVICE, 31}, {ENROLLSERVICE, 38}, {SIGNXSERVICE, 28}, {VMAILSERVICE, 37}};
    for (const auto& u : unlisted) {
        SCOPED_TRACE(std::to_string(u.service) + "/" + std::to_string(u.msgType));
        vpkiReq req;
        fillRequest(req, u.msgType, "{\"x\":1}");
        vpkiResp resp;
        poisonResponse(resp);
        ASSERT_TRUE(reqSync(u.service, &req, &resp));
        EXPECT_EQ(resp.respid, 0);
        EXPECT_EQ(resp.msgType, 0);
        EXPECT_EQ(resp.version, 0);
        EXPECT_EQ(resp.errCode, 0);
        EXPECT_EQ(resp.extend, 0);
        EXPECT_STREQ(resp.jsonBody, "");
        EXPECT_EQ(resp.body->getSize(), 1);
    }
    EXPECT_TRUE(requestCalls(*sim).empty());
}

TEST_F(routing, servicesOutsideTheFourFailUntouched)
{
    for (int service : {4, -1, 100}) {
        vpkiReq req;
        fillRequest(req, 16, "{}");
        vpkiResp resp;
        poisonResponse(resp);
        EXPECT_FALSE(reqSync(static_cast<PKI_SERVICE>(service), &req, &resp));
        EXPECT_TRUE(isPoisoned(resp));
    }
    EXPECT_TRUE(requestCalls(*sim).empty());
}

TEST_F(routing, replyFieldsAndTextsOfAnyLengthComeBack)
{
    const std::string longText(10000, 'x');
    for (const std::string& text : {std::string(), std::string("{\"a\":\"b\"}"), longText}) {
        SCOPED_TRACE(text.size());
        pkisim::fault reply;
        reply.what = pkisim::fault::reply;
        reply.method = "deviceOperator:getDevInfo";
        reply.respid = 41;
        reply.msgType = 42;
        reply.version = 43;
        reply.errCode = 5;
        reply.extend = -44;
        reply.jsonBody = text;
        sim->injectFault(reply);

        vpkiReq req;
        fillRequest(req, VPKI_DEV_getDevInfo, "{}");
        vpkiResp resp;
        poisonResponse(resp);
        ASSERT_TRUE(reqSync(DEVSERVICE, &req, &resp));
        EXPECT_EQ(resp.respid, 41);
        EXPECT_EQ(resp.msgType, 42);
        EXPECT_EQ(resp.version, 43);
        EXPECT_EQ(resp.errCode, 5);
        EXPECT_EQ(resp.extend, -44);
        EXPECT_EQ(std::string(resp.jsonBody), text.substr(0, 8191));
        EXPECT_EQ(resp.jsonBody[8191], 0);
        EXPECT_EQ(resp.body->getSize(), static_cast<int64_t>(text.size()) + 1);
        EXPECT_EQ(resp.body->getDataString(), text);
    }
}

TEST_F(routing, textFieldWinsOverBodyAndBodyIsCutAtAZeroByte)
{
    vpkiReq both;
    fillRequest(both, VPKI_DEV_getDevices, "{\"from\":\"text\"}");
    both.body->setSize(5);
    std::memcpy(both.body->getData(), "{bod}", 5);

    vpkiReq bodyOnly;
    fillRequest(bodyOnly, VPKI_DEV_getDevices, "");
    const char withZero[] = "{\"a\":1}\0tail";
    bodyOnly.body->setSize(sizeof withZero - 1);
    std::memcpy(bodyOnly.body->getData(), withZero, sizeof withZero - 1);

    vpkiReq neither;
    fillRequest(neither, VPKI_DEV_getDevices, "");

    const std::string longBody(20000, 'b');
    vpkiReq longOnly;
    fillRequest(longOnly, VPKI_DEV_getDevices, "");
    longOnly.body->setSize(static_cast<int64_t>(longBody.size()));
    std::memcpy(longOnly.body->getData(), longBody.data(), longBody.size());

    vpkiResp resp;
    for (const vpkiReq* req : {&both, &bodyOnly, &neither, &longOnly})
        ASSERT_TRUE(reqSync(DEVSERVICE, req, &resp));
    const auto calls = callsNamed(*sim, "deviceOperator:getDevices");
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].jsonBody, "{\"from\":\"text\"}");
    EXPECT_EQ(calls[1].jsonBody, "{\"a\":1}");
    EXPECT_EQ(calls[2].jsonBody, "");
    EXPECT_EQ(calls[3].jsonBody, longBody);
}

TEST_F(routing, nullRecordsAreRefusedUntouched)
{
    vpkiReq req;
    fillRequest(req, VPKI_DEV_getDevices, "{}");
    vpkiResp resp;
    poisonResponse(resp);
    EXPECT_FALSE(reqSync(DEVSERVICE, nullptr, &resp));
    EXPECT_FALSE(reqSync(DEVSERVICE, &req, nullptr));
    EXPECT_TRUE(isPoisoned(resp));
    EXPECT_EQ(reqAsync(DEVSERVICE, nullptr, nullptr), 0);
    EXPECT_TRUE(requestCalls(*sim).empty());
}

} // namespace
