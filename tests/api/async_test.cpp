// Asynchronous requests through the C API: every accepted request gets
// exactly one callback, in order, that names it by its id.
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "serviceFixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::fillRequest;
using testsupport::waitUntil;

struct callbackLog {
    struct entry {
        int32_t id;
        int service;
        void* param;
        int32_t errCode;
        std::string body;
    };
    std::mutex lock;
    std::vector<entry> entries;

    static void record(void* msg, vpkiResp* resp, void* param)
    {
        auto* m = static_cast<vpkiAsyncMsg*>(msg);
        std::lock_guard<std::mutex> hold(instance.lock);
        instance.entries.push_back({vpkiAsyncReqId(msg), m->type, param, resp->errCode,
                                    resp->body->getDataString()});
    }
    size_t size()
    {
        std::lock_guard<std::mutex> hold(lock);
        return entries.size();
    }
    static callbackLog instance;
};
callbackLog callbackLog::instance;

class async : public testsupport::serviceTest {
protected:
    void SetUp() override
    {
        serviceTest::SetUp();
        callbackLog::instance.entries.clear();
        createAndLogin(nullptr, &callbackLog::record, nullptr);
    }

    int32_t send(PKI_SERVICE service, int32_t msgType, const std::string& json, void* param = nullptr)
    {
        vpkiReq req;
        fillRequest(req, msgType, json);
        return reqAsync(service, &req, param);
    }

    void scriptReply(const std::string& method, const std::string& body)
    {
        pkisim::fault f;
        f.what = pkisim::fault::reply;
        f.method = method;
        f.jsonBody = body;
        sim->injectFault(f);
    }
};

TEST_F(async, eachRequestIsAnsweredOnceInOrderAndNamedByItsId)
{
    std::vector<int32_t> ids;
    int params[20];
    for (int i = 0; i < 20; ++i) {
        scriptReply("deviceOperator:getDevices", "{\"n\":" + std::to_string(i) + "}");
        ids.push_back(send(DEVSERVICE, 16, "{}", &params[i]));
        ASSERT_NE(ids.back(), 0);
        if (i > 0) {
            EXPECT_GT(ids[i], ids[i - 1]);
        }
    }
    ASSERT_TRUE(waitUntil([] { return callbackLog::instance.size() == 20; }));
    for (int i = 0; i < 20; ++i) {
        const auto& e = callbackLog::instance.entries[i];
        EXPECT_EQ(e.id, ids[i]);
        EXPECT_EQ(e.service, DEVSERVICE);
        EXPECT_EQ(e.param, &params[i]);
        EXPECT_EQ(e.body, "{\"n\":" + std::to_string(i) + "}");
    }
}

TEST_F(async, theRequestIsCopiedAtOnce)
{
    vpkiReq req;
    fillRequest(req, 16, "{\"first\":1}");
    ASSERT_NE(reqAsync(DEVSERVICE, &req, nullptr), 0);
    std::strcpy(req.jsonBody, "{\"changed\":1}");
    ASSERT_TRUE(waitUntil([] { return callbackLog::instance.size() == 1; }));
    EXPECT_EQ(testsupport::callsNamed(*sim, "deviceOperator:getDevices").back().jsonBody, "{\"first\":1}");
}

TEST_F(async, anUnknownServiceIsQueuedAndAnsweredEmpty)
{
    const int32_t id = send(static_cast<PKI_SERVICE>(7), 16, "{}");
    ASSERT_NE(id, 0);
    ASSERT_TRUE(waitUntil([] { return callbackLog::instance.size() == 1; }));
    EXPECT_EQ(callbackLog::instance.entries[0].id, id);
    EXPECT_EQ(callbackLog::instance.entries[0].body, "");
}

TEST_F(async, releaseAnswersEveryQueuedRequestEmptyAndReturnsPromptly)
{
    pkisim::fault silent;
    silent.what = pkisim::fault::silent;
    silent.method = "deviceOperator:getDevices";
    sim->injectFault(silent);
    std::vector<int32_t> ids;
    for (int i = 0; i < 4; ++i)
        ids.push_back(send(DEVSERVICE, 16, "{}"));
    ASSERT_TRUE(sim->waitForCalls([](const auto& calls) { return calls.size() >= 2; }, 5000ms));

    const auto start = std::chrono::steady_clock::now();
    releaseAgent();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    ASSERT_EQ(callbackLog::instance.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(callbackLog::instance.entries[i].id, ids[i]);
        EXPECT_EQ(callbackLog::instance.entries[i].body, "");
    }
}

TEST_F(async, afterLogoutQueuedRequestsFailAndNewOnesAreRefused)
{
    ASSERT_TRUE(logoutAgent());
    EXPECT_EQ(send(DEVSERVICE, 16, "{}"), 0);
    EXPECT_EQ(callbackLog::instance.size(), 0u);
}

} // namespace
