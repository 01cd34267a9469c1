// Asynchronous requests through the C API: each accepted request is copied
// at once and gets exactly one callback, in order, named by its id, also when
// a callback throws, when a callback logs out, and when the agent is released
// while the service holds a request.
#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "serviceFixture.h"

namespace {

using testsupport::faultOf;
using testsupport::fillRequest;
using testsupport::waitUntil;

struct answer {
    int32_t id;
    int service;
    void* param;
    int64_t extend;
    std::string body;
    int lastError;
};

// The answers the response callback got; the function of onAnswer runs in
// the callback with the answer's index.
struct answerLog {
    std::mutex lock;
    std::vector<answer> answers;
    std::function<void(size_t)> then;

    static void record(void* msg, vpkiResp* resp, void* param)
    {
        size_t index;
        std::function<void(size_t)> next;
        {
            std::lock_guard<std::mutex> hold(instance.lock);
            index = instance.answers.size();
            instance.answers.push_back({vpkiAsyncReqId(msg), static_cast<vpkiAsyncMsg*>(msg)->type, param, resp->extend,
                                        resp->body->getDataString(), agentLastError()});
            next = instance.then;
        }
        if (next)
            next(index);
    }
    void onAnswer(std::function<void(size_t)> f)
    {
        std::lock_guard<std::mutex> hold(lock);
        then = std::move(f);
    }
    std::vector<answer> snapshot()
    {
        std::lock_guard<std::mutex> hold(lock);
        return answers;
    }
    static answerLog instance;
};
answerLog answerLog::instance;

class async : public testsupport::serviceTest {
protected:
    void SetUp() override
    {
        serviceTest::SetUp();
        answerLog::instance.answers.clear();
        answerLog::instance.onAnswer(nullptr);
        createAndLogin(nullptr, &answerLog::record, nullptr);
    }
    void TearDown() override
    {
        serviceTest::TearDown();
        answerLog::instance.onAnswer(nullptr);
    }

    // The first getDevices is answered after `ms`, so that the next ones queue.
    void holdTheFirstRequest(int ms)
    {
        pkisim::fault slow = faultOf(pkisim::fault::delay);
        slow.delayMs = ms;
        sim->injectFault(slow);
    }

    int32_t send(int32_t extend, int service = DEVSERVICE, void* param = nullptr)
    {
        vpkiReq req;
        fillRequest(req, VPKI_DEV_getDevices, "{}", 1, extend);
        return reqAsync(static_cast<PKI_SERVICE>(service), &req, param);
    }

    bool answered(size_t count)
    {
        return waitUntil([&] { return answerLog::instance.snapshot().size() >= count; });
    }
};

TEST_F(async, eachRequestIsCopiedAtOnceAndAnsweredOnceInOrderByItsId)
{
    holdTheFirstRequest(300);
    vpkiReq req; // one record for all: each is copied when queued
    std::vector<int32_t> ids;
    int params[8];
    const int unknownService = 7;
    for (int i = 0; i < 8; ++i) {
        fillRequest(req, VPKI_DEV_getDevices, "{\"n\":" + std::to_string(i) + "}", 1, i);
        ids.push_back(reqAsync(i == 5 ? static_cast<PKI_SERVICE>(unknownService) : DEVSERVICE, &req, &params[i]));
        ASSERT_NE(ids.back(), 0);
    }
    ASSERT_TRUE(answered(8));
    const std::vector<answer> answers = answerLog::instance.snapshot();
    ASSERT_EQ(answers.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(answers[i].id, ids[i]);
        EXPECT_EQ(answers[i].param, &params[i]);
        EXPECT_EQ(answers[i].service, i == 5 ? unknownService : DEVSERVICE);
        EXPECT_EQ(answers[i].extend, i == 5 ? 0 : i) << "the answer to its own request";
        EXPECT_EQ(answers[i].lastError, i == 5 ? VPKI_ERR_BAD_ARGUMENT : VPKI_OK)
            << "the reason of this request's outcome, not of the one before";
        if (i > 0) {
            EXPECT_GT(ids[i], ids[i - 1]);
        }
    }
    EXPECT_EQ(answers[5].body, "") << "an unknown service is answered empty";
    const auto sent = testsupport::callsNamed(*sim, "deviceOperator:getDevices");
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(sent[6].jsonBody, "{\"n\":7}");
    EXPECT_EQ(sent[1].jsonBody, "{\"n\":1}") << "queued while the first was held, and not changed since";
}

TEST_F(async, aThrowingCallbackDoesNotEndTheWorker)
{
    answerLog::instance.onAnswer([](size_t index) {
        if (index == 0)
            throw std::runtime_error("application failure");
        if (index == 1)
            throw 42;
    });
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(send(i), 0);
    ASSERT_TRUE(answered(3));
    EXPECT_EQ(answerLog::instance.snapshot()[2].extend, 2);
}

// From the moment logoutAgent is called, no request that has not reached the
// service yet is sent: the one on the wire is answered, every queued one
// reaches the callback empty, and new ones are refused.
TEST_F(async, aLogoutRefusesEveryRequestNotYetSentWhereverItComesFrom)
{
    static std::atomic<bool> fromTheCallback;
    answerLog::instance.onAnswer([](size_t index) {
        if (fromTheCallback && index == 0)
            logoutAgent();
    });
    for (bool inCallback : {true, false}) {
        SCOPED_TRACE(inCallback ? "logout in the callback" : "logout by the application");
        fromTheCallback = inCallback;
        ASSERT_TRUE(loginDemo());
        {
            std::lock_guard<std::mutex> hold(answerLog::instance.lock);
            answerLog::instance.answers.clear();
        }
        sim->clearCalls();
        pkisim::fault slow = faultOf(pkisim::fault::delay);
        slow.delayMs = 500;
        slow.count = 10;
        sim->injectFault(slow);
        for (int i = 0; i < 10; ++i)
            ASSERT_NE(send(i + 1), 0);
        if (!inCallback) {
            ASSERT_TRUE(sim->waitForCalls(
                [](const auto& calls) {
                    return std::any_of(calls.begin(), calls.end(),
                                       [](const auto& call) { return call.wireName == "deviceOperator:getDevices"; });
                },
                20s));
            std::thread application([] { EXPECT_TRUE(logoutAgent()); });
            // A call with a null record is refused without waiting: first for
            // want of a session, once the logout has begun.
            ASSERT_TRUE(waitUntil([] {
                vpkiReq req;
                return !reqSync(DEVSERVICE, &req, nullptr) && agentLastError() == VPKI_ERR_NOT_LOGGED_IN;
            }));
            EXPECT_TRUE(answerLog::instance.snapshot().empty()) << "refused while the first request is on the wire";
            application.join();
        }
        ASSERT_TRUE(answered(10));
        const std::vector<answer> answers = answerLog::instance.snapshot();
        EXPECT_EQ(answers[0].extend, 1);
        for (size_t i = 1; i < 10; ++i) {
            EXPECT_EQ(answers[i].extend, 0) << "failed: the response as constructed";
            EXPECT_EQ(answers[i].lastError, VPKI_ERR_NOT_LOGGED_IN);
        }
        EXPECT_EQ(send(11), 0);
        EXPECT_EQ(agentLastError(), VPKI_ERR_NOT_LOGGED_IN);
        EXPECT_EQ(testsupport::callsNamed(*sim, "deviceOperator:getDevices").size(), 1u);
        sim->clearFaults();
    }
}

// Codes seen in callbacks, on whatever thread they run.
struct codeLog {
    std::mutex lock;
    std::vector<int> codes;
    void add(int code)
    {
        std::lock_guard<std::mutex> hold(lock);
        codes.push_back(code);
    }
    std::vector<int> snapshot()
    {
        std::lock_guard<std::mutex> hold(lock);
        return codes;
    }
};

// createAgent and releaseAgent would wait for the calling thread itself in a
// callback, and every call may land in the middle of an exchange in the log
// callback: there they fail at once and change nothing.
TEST_F(async, callsForbiddenInACallbackFailAtOnceAndChangeNothing)
{
    static codeLog seen;
    answerLog::instance.onAnswer([](size_t) {
        releaseAgent();
        seen.add(agentLastError());
        seen.add(createAgent(nullptr, nullptr, nullptr) ? VPKI_OK : agentLastError());
    });
    ASSERT_NE(send(1), 0);
    ASSERT_TRUE(answered(1));
    answerLog::instance.onAnswer(nullptr);
    ASSERT_TRUE(createAgent(
        [](vpkiResp*, void*) {
            releaseAgent();
            seen.add(agentLastError());
        },
        &answerLog::record, nullptr));
    sim->insertDevice({"IN-CALLBACK", "x", "RSA"});
    ASSERT_TRUE(waitUntil([] { return seen.snapshot().size() >= 3; }));
    setAgentLogger(
        [](const char*, void*) {
            vpkiReq req;
            vpkiResp resp;
            seen.add(reqSync(DEVSERVICE, &req, &resp) ? VPKI_OK : agentLastError());
        },
        nullptr);
    EXPECT_TRUE(testsupport::getDevicesWorks());
    EXPECT_EQ(agentLastError(), VPKI_OK) << "the log callback's calls leave the outer call's error alone";
    setAgentLogger(nullptr, nullptr);
    const std::vector<int> codes = seen.snapshot();
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 4), std::vector<int>(4, VPKI_ERR_IN_CALLBACK));
    EXPECT_TRUE(testsupport::getDevicesWorks()) << "still logged in";
    ASSERT_NE(send(2), 0);
    EXPECT_TRUE(answered(2)) << "the worker still runs";
}

TEST_F(async, releaseAnswersEveryQueuedRequestPromptlyWhileTheServiceHoldsOne)
{
    sim->injectFault(faultOf(pkisim::fault::silent));
    std::vector<int32_t> ids;
    for (int i = 0; i < 4; ++i)
        ids.push_back(send(i + 1));
    ASSERT_TRUE(sim->waitForCalls([](const auto& calls) { return calls.size() >= 2; }, 20s));

    // The held request would keep the worker for the request time-out (15 s).
    const auto start = std::chrono::steady_clock::now();
    releaseAgent();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "about a second, with room for slow builds";
    const std::vector<answer> answers = answerLog::instance.snapshot();
    ASSERT_EQ(answers.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(answers[i].id, ids[i]);
        EXPECT_EQ(answers[i].body, "");
    }
}

} // namespace
