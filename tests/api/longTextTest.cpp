// Texts of any length through records that the library makes: from C (see
// longTextC.c) and C++, both ways through pkisim, with the refusals of what
// a record cannot carry. The functions on records and the version touch no
// agent: they work anywhere, the log callback included.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "longTextC.h"
#include "serviceFixture.h"

namespace {

using testsupport::callsNamed;

class longText : public testsupport::serviceTest {};

// {"text":"abc...xyzabc..."} of `length` bytes in all.
std::string jsonText(size_t length)
{
    std::string text = "{\"text\":\"";
    const size_t content = length - text.size() - 2;
    for (size_t i = 0; i < content; ++i)
        text += static_cast<char>('a' + i % 26);
    return text + "\"}";
}

struct recordDeleter {
    void operator()(vpkiReq* req) const { vpkiReqFree(req); }
    void operator()(vpkiResp* resp) const { vpkiRespFree(resp); }
};
using request = std::unique_ptr<vpkiReq, recordDeleter>;
using response = std::unique_ptr<vpkiResp, recordDeleter>;

TEST_F(longText, aHundredKilobytesGoBothWaysFromC)
{
    createAndLogin();
    const std::string text = jsonText(100 * 1024);
    size_t length = 0;
    const char* failedStep = nullptr;
    std::unique_ptr<char, decltype(&std::free)> answer(
        longTextRoundTripC(text.data(), text.size(), &length, &failedStep), &std::free);
    ASSERT_NE(answer, nullptr) << failedStep << ": " << agentLastErrorText();

    const auto calls = callsNamed(*sim, "vmailPlugin:setTextBody");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].jsonBody, text);
    // The simulated method answers with the request as received, in a JSON string.
    const nlohmann::json reply = nlohmann::json::parse(std::string(answer.get(), length));
    EXPECT_EQ(reply.at("request"), text);
    EXPECT_EQ(zeroedRecordsKeepTheirTextFieldsC(), 1);
}

// The worker copies the body of a made record; its callback reads the whole
// answer from the record it is given, and reading it keeps the reason of a
// failed request.
TEST_F(longText, aMadeRecordGoesThroughTheWorkerWhole)
{
    struct answer {
        std::string text;
        int error;
    };
    struct seen {
        std::mutex lock;
        std::vector<answer> answers;
    } seen;
    createAndLogin(nullptr, [](void*, vpkiResp* resp, void* param) {
        auto* into = static_cast<struct seen*>(param);
        size_t length = 0;
        const char* text = vpkiRespText(resp, &length);
        std::lock_guard<std::mutex> hold(into->lock);
        into->answers.push_back({std::string(text, length), agentLastError()});
    });
    const std::string text = jsonText(50 * 1024);
    request req(vpkiReqNew());
    req->msgType = VPKI_VMAIL_getTextBody;
    ASSERT_TRUE(vpkiReqSetBody(req.get(), text.data(), text.size()));
    auto answered = [&](size_t count) {
        return testsupport::waitUntil([&] {
            std::lock_guard<std::mutex> hold(seen.lock);
            return seen.answers.size() == count;
        });
    };
    ASSERT_NE(reqAsync(VMAILSERVICE, req.get(), &seen), 0);
    ASSERT_TRUE(answered(1));
    pkisim::fault unavailable = testsupport::faultOf(pkisim::fault::httpStatus, "vmailPlugin:getTextBody");
    unavailable.status = 503;
    sim->injectFault(unavailable);
    ASSERT_NE(reqAsync(VMAILSERVICE, req.get(), &seen), 0);
    req.reset(); // queued as a copy
    ASSERT_TRUE(answered(2));
    std::lock_guard<std::mutex> hold(seen.lock);
    EXPECT_EQ(nlohmann::json::parse(seen.answers[0].text).at("request"), text);
    EXPECT_EQ(seen.answers[0].error, VPKI_OK);
    EXPECT_EQ(seen.answers[1].text, "");
    EXPECT_EQ(seen.answers[1].error, VPKI_ERR_HTTP_STATUS);
}

// A refused text leaves the record as it was: its body and its text field.
TEST(longTextRecords, whatARecordCannotCarryIsRefusedAndChangesNothing)
{
    request req(vpkiReqNew());
    ASSERT_NE(req, nullptr);
    ASSERT_TRUE(vpkiReqSetBody(req.get(), "{\"before\":1}", 12));
    std::strcpy(req->jsonBody, "{}");
    vpkiReq withoutBuffer;
    delete withoutBuffer.body;
    withoutBuffer.body = nullptr;
    const char zeroInside[] = "{\"a\":\"\0\"}";
    const struct {
        const char* what;
        vpkiReq* record;
        const char* text;
        size_t length;
    } cases[] = {
        {"null record", nullptr, "{}", 2},
        {"null text with a length", req.get(), nullptr, 1},
        {"no body buffer", &withoutBuffer, "{}", 2},
        {"a zero byte inside", req.get(), zeroInside, sizeof zeroInside - 1},
        {"longer than the bound", req.get(), "{}", VPKI_REQUEST_BODY_MAX + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(vpkiReqSetBody(c.record, c.text, c.length));
        EXPECT_EQ(agentLastError(), VPKI_ERR_BAD_ARGUMENT);
        EXPECT_STREQ(req->jsonBody, "{}");
        EXPECT_EQ(req->body->getDataString(), "{\"before\":1}");
    }
    EXPECT_NE(std::string(agentLastErrorText()).find("VPKI_REQUEST_BODY_MAX"), std::string::npos);

    // An empty text is a body like any other: it clears the text field.
    EXPECT_TRUE(vpkiReqSetBody(req.get(), nullptr, 0));
    EXPECT_EQ(agentLastError(), VPKI_OK);
    EXPECT_EQ(req->jsonBody[0], 0);
    EXPECT_EQ(req->body->getSize(), 0);
}

TEST(longTextRecords, theResponseTextIsTheBodysOrTheTextFields)
{
    size_t length = 99;
    EXPECT_EQ(vpkiRespText(nullptr, &length), nullptr);
    EXPECT_EQ(agentLastError(), VPKI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(length, 99u);

    response made(vpkiRespNew());
    EXPECT_STREQ(vpkiRespText(made.get(), &length), "");
    EXPECT_EQ(length, 0u);
    // As the library fills it: the text and a zero byte of its own.
    made->body->setSize(8);
    std::memcpy(made->body->getData(), "{\"x\":1}", 7);
    std::strcpy(made->jsonBody, "{\"x");
    EXPECT_STREQ(vpkiRespText(made.get(), &length), "{\"x\":1}");
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(vpkiRespText(made.get(), nullptr), made->body->getData());

    // Reading, freeing and the version keep the last failure: a response
    // callback can read its record and still ask why its request failed.
    vpkiRespText(nullptr, nullptr);
    vpkiRespText(made.get(), &length);
    vpkiRespFree(nullptr);
    vpkiReqFree(nullptr);
    tesseraVersion(nullptr, nullptr, nullptr);
    EXPECT_EQ(agentLastError(), VPKI_ERR_BAD_ARGUMENT);
    EXPECT_STREQ(agentLastErrorText(), "vpkiRespText: null response record");
}

// Inside the log callback, where every agent function is refused, the
// records and the version work, and the outer call's outcome stays its own.
TEST_F(longText, recordsAndTheVersionWorkInTheLogCallbackWithoutTouchingTheOuterError)
{
    struct inside {
        std::mutex lock;
        int worked = 0;
        int calls = 0;
    } seen;
    setAgentLogger(
        [](const char*, void* param) {
            int major = -1, minor = -1, patch = -1;
            const char* version = tesseraVersion(&major, &minor, &patch);
            const bool versionWorks = version[0] != 0 && major == TESSERA_VERSION_MAJOR &&
                                      minor == TESSERA_VERSION_MINOR && patch == TESSERA_VERSION_PATCH;
            vpkiReq* req = vpkiReqNew();
            const bool bodyWorks = req != nullptr && vpkiReqSetBody(req, "{}", 2);
            vpkiReqFree(req);
            vpkiReqSetBody(nullptr, "{}", 2); // a failure of its own, kept inside
            auto* into = static_cast<inside*>(param);
            std::lock_guard<std::mutex> hold(into->lock);
            into->worked += versionWorks && bodyWorks;
            ++into->calls;
        },
        &seen);
    createAndLogin();
    pkisim::fault unavailable = testsupport::faultOf(pkisim::fault::httpStatus, "deviceOperator:getDevices");
    unavailable.status = 503;
    sim->injectFault(unavailable);
    EXPECT_FALSE(testsupport::getDevicesWorks());
    EXPECT_EQ(agentLastError(), VPKI_ERR_HTTP_STATUS) << agentLastErrorText();
    setAgentLogger(nullptr, nullptr);
    std::lock_guard<std::mutex> hold(seen.lock);
    EXPECT_GT(seen.calls, 0);
    EXPECT_EQ(seen.worked, seen.calls);
}

} // namespace
