// Requests through the C API reach the method that their service and
// message type select, with the session ticket and the fields as sent, and
// the reply comes back whole; the application's texts reach the service
// intact whatever characters they hold.
#include <nlohmann/json.hpp>

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
};

TEST_F(routing, everyCataloguedPairReachesItsMethodWithTicketAndFields)
{
    const pkisim::sessionInfo session = sim->sessions().at(0);
    ASSERT_NE(vant::catalogueBegin(), vant::catalogueEnd());
    int32_t previousId = 0;
    int count = 0;
    for (auto* e = vant::catalogueBegin(); e != vant::catalogueEnd(); ++e, ++count) {
        const std::string wireName = std::string(vant::serviceWireName(e->service)) + ":" + e->method;
        SCOPED_TRACE(wireName);
        vpkiReq req;
        const std::string body = "{\"probe\":" + std::to_string(count) + "}";
        fillRequest(req, e->msgType, body, 7, 0x123456789abLL + count);
        req.reqid = 99; // the application's own; never sent
        vpkiResp resp;
        sim->clearCalls();
        // A method pkisim lacks would be answered with an exception.
        ASSERT_TRUE(reqSync(static_cast<PKI_SERVICE>(e->service), &req, &resp)) << agentLastErrorText();

        const auto calls = requestCalls(*sim);
        ASSERT_EQ(calls.size(), 1u);
        const pkisim::recordedCall& call = calls.front();
        EXPECT_EQ(call.wireName, wireName);
        EXPECT_EQ(call.sessionID, session.sessionID);
        EXPECT_EQ(call.ticket, session.ticket);
        EXPECT_EQ(call.msgType, e->msgType);
        EXPECT_EQ(call.version, 7);
        EXPECT_EQ(call.extend, 0x123456789abLL + count);
        EXPECT_EQ(call.jsonBody, body);
        EXPECT_GT(call.reqid, previousId) << "fresh and increasing";
        previousId = call.reqid;
    }
}

TEST_F(routing, unlistedMessageTypesAnswerEmptyWithoutACall)
{
    const struct {
        PKI_SERVICE service;
        int32_t msgType;
    } unlisted[] = {{DEVSERVICE, 15},    {DEVSERVICE, 41},    {DEVSERVICE, -1},   {ENROLLSERVICE, 16},
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

TEST_F(routing, unknownServicesAndNullRecordsFailUntouched)
{
    vpkiReq req;
    fillRequest(req, VPKI_DEV_getDevices, "{}");
    for (int service : {4, -1, 100}) {
        vpkiResp resp;
        poisonResponse(resp);
        EXPECT_FALSE(reqSync(static_cast<PKI_SERVICE>(service), &req, &resp));
        EXPECT_TRUE(isPoisoned(resp));
    }
    vpkiResp resp;
    poisonResponse(resp);
    EXPECT_FALSE(reqSync(DEVSERVICE, nullptr, &resp));
    EXPECT_FALSE(reqSync(DEVSERVICE, &req, nullptr));
    EXPECT_TRUE(isPoisoned(resp));
    EXPECT_EQ(reqAsync(DEVSERVICE, nullptr, nullptr), 0);
    EXPECT_TRUE(requestCalls(*sim).empty());
}

TEST_F(routing, replyFieldsAndTextsOfAnyLengthComeBack)
{
    for (size_t length : {0u, 9u, 8191u, 8192u, 10000u}) {
        SCOPED_TRACE(length);
        const std::string text(length, 'x');
        pkisim::fault reply = testsupport::replyOf("deviceOperator:getDevInfo", 5, text);
        reply.respid = 41;
        reply.msgType = 42;
        reply.version = 43;
        reply.extend = -44;
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
        EXPECT_EQ(resp.body->getSize(), static_cast<int64_t>(length) + 1);
        EXPECT_EQ(resp.body->getDataString(), text);
    }
}

// The same rule for reqSync and for reqAsync, which copies the request first.
TEST_F(routing, theTextFieldWinsOverTheBodyAndTheBodyEndsAtAZeroByte)
{
    auto withBody = [](vpkiReq& req, const std::string& bytes) {
        req.body->setSize(static_cast<int64_t>(bytes.size()));
        std::memcpy(req.body->getData(), bytes.data(), bytes.size());
    };
    const std::string longBody(20000, 'b');
    vpkiReq cases[5];
    fillRequest(cases[0], VPKI_DEV_getDevices, "{\"from\":\"text\"}");
    withBody(cases[0], "{bod}");
    fillRequest(cases[1], VPKI_DEV_getDevices, "");
    withBody(cases[1], std::string("{\"a\":1}\0tail", 12));
    fillRequest(cases[2], VPKI_DEV_getDevices, "");
    fillRequest(cases[3], VPKI_DEV_getDevices, "");
    withBody(cases[3], longBody);
    fillRequest(cases[4], VPKI_DEV_getDevices, "");
    std::memset(cases[4].jsonBody, 'x', sizeof cases[4].jsonBody); // no terminator: read to its end
    const std::string expected[] = {"{\"from\":\"text\"}", "{\"a\":1}", "", longBody, std::string(8192, 'x')};

    vpkiResp resp;
    for (const vpkiReq& req : cases)
        ASSERT_TRUE(reqSync(DEVSERVICE, &req, &resp));
    for (const vpkiReq& req : cases)
        ASSERT_NE(reqAsync(DEVSERVICE, &req, nullptr), 0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return callsNamed(*sim, "deviceOperator:getDevices").size() == 10; }));
    const auto calls = callsNamed(*sim, "deviceOperator:getDevices");
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i].jsonBody, expected[i % 5]) << (i < 5 ? "reqSync " : "reqAsync ") << i % 5;
}

// Texts an application passes to loginAgent and to the signing shortcuts
// (key location names) reach the service as JSON that reads back as given.
TEST_F(routing, quotesBackslashesAndControlCharactersReachTheServiceIntact)
{
    testing::internal::CaptureStdout(); // the refused login says so there
    for (const std::string& text : {std::string("a\"b"), std::string("c:\\dir"), std::string("\",\"token\":\"x"),
                                    std::string("line\nnext\ttab\x01\x1f"), std::string("caf\xc3\xa9 /")}) {
        SCOPED_TRACE(text);
        sim->clearCalls();
        EXPECT_FALSE(loginAgent(text.c_str(), text.c_str(), text.c_str()));
        const auto login = nlohmann::json::parse(callsNamed(*sim, "vantService:login").at(0).jsonBody);
        EXPECT_EQ(login, nlohmann::json({{"appName", text}, {"appID", text}, {"token", text}}));

        const nlohmann::json key = {{"devId", text}, {"applicationName", text}, {"containerName", text}};
        const unsigned char data[] = "x";
        unsigned char signature[VPKI_RSA_SIGNATURE_MAX];
        uint32_t length = 0;
        EXPECT_EQ(rsaSignData(key.dump().c_str(), data, 1, signature, &length), VPKI_SIGN_FAILED);
        const auto sign = nlohmann::json::parse(callsNamed(*sim, "signxPlugin:signData").at(0).jsonBody);
        EXPECT_EQ(sign.size(), 5u) << "no member smuggled in through a name";
        EXPECT_EQ(sign.at("devID"), text);
        EXPECT_EQ(sign.at("appName"), text);
        EXPECT_EQ(sign.at("conName"), text);
    }
    testing::internal::GetCapturedStdout();
}

} // namespace
