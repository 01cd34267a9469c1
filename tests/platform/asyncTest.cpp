// The asynchronous path while the agent is not logged in: every request fails
// at once in reqSync and reaches the response callback with an empty response.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "agent.h"
#include "asyncReq.h"
#include "threadProbe.h"

namespace {

struct seenResponse {
    int32_t id;
    int type;
    std::string text;
    void* param;
    bool emptyResponse;
};

// What the response callback saw, and how it behaves.
struct asyncProbe {
    probe::collector<seenResponse> seen;
    probe::gate release;
    bool holdFirst = false;
    bool throwFirstTwo = false;
};

void recordResponse(void* msg, vpkiResp* resp, void* param)
{
    auto* m = static_cast<vpkiAsyncMsg*>(msg);
    auto* p = static_cast<asyncProbe*>(param);
    bool empty = resp->respid == 0 && resp->errCode == 0 && resp->jsonBody[0] == 0 && resp->body->getSize() == 0;
    size_t index = p->seen.snapshot().size();
    p->seen.add({vpkiAsyncReqId(msg), m->type, m->req->body->getDataString(), m->param, empty});
    if (p->holdFirst && index == 0)
        p->release.pass();
    if (p->throwFirstTwo && index == 0)
        throw std::runtime_error("application failure");
    if (p->throwFirstTwo && index == 1)
        throw 42;
}

void setText(vpkiReq& req, const char* text)
{
    strncpy(req.jsonBody, text, sizeof req.jsonBody - 1);
}

void setBody(vpkiReq& req, const std::string& bytes)
{
    req.body->setSize(static_cast<int64_t>(bytes.size()));
    memcpy(req.body->getData(), bytes.data(), bytes.size());
}

TEST(AsyncReqQueuing, TextFieldWinsAndBodyIsCutAtItsFirstZeroByte)
{
    vpkiReq req;
    req.msgType = 16;
    req.extend = 1LL << 40;
    setText(req, "{\"a\":1}");
    setBody(req, "ignored");
    vant::stRequest fromText, fromBody, empty, full;
    req2Req(fromText, &req);
    EXPECT_EQ(16, fromText.msgType);
    EXPECT_EQ(1LL << 40, fromText.extend);
    EXPECT_EQ("{\"a\":1}", fromText.body->getDataString());
    EXPECT_EQ(8, fromText.body->getSize()) << "the text and a zero byte";

    req.jsonBody[0] = 0;
    setBody(req, std::string("head\0tail", 9));
    req2Req(fromBody, &req);
    EXPECT_EQ("head", fromBody.body->getDataString());
    EXPECT_EQ(5, fromBody.body->getSize());
    EXPECT_GT(fromBody.reqid, fromText.reqid) << "each record gets a fresh id";

    req.body->setSize(0);
    req2Req(empty, &req);
    EXPECT_EQ(0, empty.body->getSize());
    memset(req.jsonBody, 'x', sizeof req.jsonBody);  // no terminator
    req2Req(full, &req);
    EXPECT_EQ(std::string(sizeof req.jsonBody, 'x'), full.body->getDataString());

    EXPECT_EQ(0, pushReq(DEVSERVICE, nullptr, &req)) << "pool not started";
    ASSERT_TRUE(initAysncReq());
    EXPECT_EQ(0, pushReq(DEVSERVICE, nullptr, nullptr));
    uninitAysncReq();
}

class AsyncReq : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(vant::theAgent().running) << "these tests run without a session";
        vant::theAgent().respCB = recordResponse;
        ASSERT_TRUE(initAysncReq());
    }
    void TearDown() override
    {
        uninitAysncReq();
        vant::theAgent().respCB = nullptr;
    }
    int push(int service, const char* text)
    {
        setText(req, text);
        return pushReq(static_cast<PKI_SERVICE>(service), &state, &req);
    }

    asyncProbe state;
    vpkiReq req;
};

TEST_F(AsyncReq, CallbackGetsEachRequestInOrderWithItsIdAndAnEmptyResponse)
{
    state.holdFirst = true;  // the caller changes its record while requests wait
    const int services[] = {DEVSERVICE, 7, SIGNXSERVICE};
    std::vector<int32_t> ids = {push(services[0], "first"), push(services[1], "second")};
    req.jsonBody[0] = 0;
    setBody(req, "from the body");
    ids.push_back(pushReq(SIGNXSERVICE, &state, &req));
    req.body->setSize(0);
    setText(req, "changed");
    EXPECT_NE(0, ids[0]);
    EXPECT_LT(ids[0], ids[1]);
    EXPECT_LT(ids[1], ids[2]);
    state.release.open();

    ASSERT_TRUE(state.seen.waitForCount(3));
    std::vector<seenResponse> seen = state.seen.snapshot();
    const char* texts[] = {"first", "second", "from the body"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ids[i], seen[i].id);
        EXPECT_EQ(services[i], seen[i].type);
        EXPECT_EQ(texts[i], seen[i].text);
        EXPECT_EQ(&state, seen[i].param);
        EXPECT_TRUE(seen[i].emptyResponse);
    }
}

TEST_F(AsyncReq, ThrowingCallbackDoesNotEndTheWorker)
{
    state.throwFirstTwo = true;
    for (const char* text : {"a", "b", "c"})
        ASSERT_NE(0, push(DEVSERVICE, text));
    ASSERT_TRUE(state.seen.waitForCount(3));
    ASSERT_NE(0, push(DEVSERVICE, "d"));
    ASSERT_TRUE(state.seen.waitForCount(4));
    EXPECT_EQ("d", state.seen.snapshot()[3].text);
}

TEST_F(AsyncReq, StopCallsBackEveryQueuedRequestInOrderFirst)
{
    state.holdFirst = true;
    std::vector<int32_t> ids;
    for (const char* text : {"1", "2", "3", "4"})
        ids.push_back(push(ENROLLSERVICE, text));
    ASSERT_TRUE(state.seen.waitForCount(1));
    auto* worker = vant::theAgent().worker.channelAt(0);
    std::thread stopper(uninitAysncReq);
    EXPECT_TRUE(probe::eventually([&] { return worker->getReqCount() == 4; })) << "3 requests, then the stop";
    EXPECT_EQ(0, push(ENROLLSERVICE, "late")) << "refused once stopping";
    state.release.open();
    stopper.join();

    std::vector<seenResponse> seen = state.seen.snapshot();
    ASSERT_EQ(4u, seen.size());
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(ids[i], seen[i].id);
}

} // namespace
