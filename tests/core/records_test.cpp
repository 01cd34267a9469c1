// The public records, the byte buffer, request ids, and the conversions
// between the records and the wire structures.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <set>
#include <thread>
#include <type_traits>
#include <vector>

#include "agent.h"

namespace {

static_assert(!std::is_copy_constructible<vant::CByteArray>::value, "a copy would share the bytes");
static_assert(!std::is_copy_assignable<vant::CByteArray>::value, "a copy would share the bytes");
static_assert(!std::is_copy_constructible<vpkiReq>::value, "a copy would share the body");
static_assert(!std::is_copy_constructible<vpkiResp>::value, "a copy would share the body");
static_assert(!std::is_copy_constructible<vant::stRequest>::value, "a copy would share the body");
static_assert(offsetof(vpkiReq, jsonBody) == 24 && sizeof(vpkiReq) == 24 + 8192 + 8, "layout");
static_assert(offsetof(vpkiResp, extend) == 16 && offsetof(vpkiResp, jsonBody) == 24, "layout");
static_assert(offsetof(vant::stRequest, extend) == 16 && offsetof(vant::stRequest, body) == 24, "layout");

std::string bytes(const vant::CByteArray& buffer)
{
    return std::string(buffer.getData(), static_cast<size_t>(buffer.getSize()) + 1);
}

TEST(byteArray, setSizeGrowsKeepingContentAndShrinksToZeros)
{
    vant::CByteArray buffer;
    EXPECT_EQ(buffer.getData(), nullptr);
    EXPECT_EQ(buffer.getDataString(), "");

    buffer.setSize(3);
    EXPECT_EQ(bytes(buffer), std::string(4, '\0'));
    std::memcpy(buffer.getData(), "abc", 3);
    buffer.setSize(5);
    EXPECT_EQ(bytes(buffer), std::string("abc\0\0\0", 6));
    buffer.setSize(5);
    EXPECT_EQ(buffer.getDataString(), "abc");
    buffer.setSize(2);
    EXPECT_EQ(bytes(buffer), std::string(3, '\0'));
    buffer.setSize(0);
    EXPECT_EQ(buffer.getData(), nullptr);
    EXPECT_EQ(buffer.getSize(), 0);
}

TEST(byteArray, negativeSizeThrowsAndLeavesTheBuffer)
{
    vant::CByteArray buffer;
    buffer.setSize(2);
    std::memcpy(buffer.getData(), "hi", 2);
    try {
        buffer.setSize(-1);
        FAIL() << "no exception";
    } catch (const char* what) {
        EXPECT_STREQ(what, "InvalidArgExcption");
    }
    EXPECT_EQ(buffer.getDataString(), "hi");
    EXPECT_EQ(buffer.getSize(), 2);
}

TEST(stRequest, moveHandsTheBodyOver)
{
    vant::stRequest source;
    source.reqid = 5;
    source.extend = 7;
    source.body->setSize(1);
    vant::CByteArray* body = source.body;
    vant::stRequest target;
    target = std::move(source);
    EXPECT_EQ(target.body, body);
    EXPECT_EQ(source.body, nullptr);
    EXPECT_EQ(target.reqid, 5);
    EXPECT_EQ(target.extend, 7);
}

TEST(requestIds, startAtTheClockAndNeverRepeatAcrossThreads)
{
    const int32_t before = static_cast<int32_t>(std::time(nullptr));
    const int32_t first = getReqidx();
    EXPECT_GE(first, before + 1);
    EXPECT_LE(first, static_cast<int32_t>(std::time(nullptr)) + 1);

    constexpr int threads = 8;
    constexpr int each = 5000;
    std::vector<std::vector<int32_t>> drawn(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < each; ++i)
                drawn[t].push_back(getReqidx());
        });
    for (auto& w : workers)
        w.join();
    std::set<int32_t> all;
    for (const auto& ids : drawn) {
        for (size_t i = 1; i < ids.size(); ++i)
            EXPECT_GT(ids[i], ids[i - 1]);
        all.insert(ids.begin(), ids.end());
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(threads * each));
    EXPECT_EQ(*all.begin(), first + 1);
    EXPECT_EQ(*all.rbegin(), first + threads * each);
}

TEST(tranferReq, takesTheTextFieldElseTheBodyUpToItsFirstZero)
{
    vpkiReq in;
    in.msgType = 16;
    in.version = 2;
    in.extend = -3;
    pkimid::msgRequest out;

    tranferReq(out, in, 77);
    EXPECT_EQ(out.reqid, 77);
    EXPECT_EQ(out.msgType, 16);
    EXPECT_EQ(out.version, 2);
    EXPECT_EQ(out.extend, -3);
    EXPECT_EQ(out.jsonBody, "");

    in.body->setSize(6);
    std::memcpy(in.body->getData(), "ab\0cde", 6);
    tranferReq(out, in, 0);
    EXPECT_EQ(out.jsonBody, "ab");
    EXPECT_NE(out.reqid, 0);

    std::strcpy(in.jsonBody, "{}");
    tranferReq(out, in, 1);
    EXPECT_EQ(out.jsonBody, "{}");

    // A text field without its terminating zero is read to its end, no further.
    std::memset(in.jsonBody, 'x', sizeof in.jsonBody);
    tranferReq(out, in, 1);
    EXPECT_EQ(out.jsonBody, std::string(sizeof in.jsonBody, 'x'));
}

TEST(tranferResp, copiesNumbersAndTextsOfAnyLength)
{
    pkimid::msgResponse in;
    in.respid = 1;
    in.msgType = 2;
    in.version = 3;
    in.errCode = 4;
    in.extend = 5;
    vpkiResp out;
    for (size_t length : {0u, 10u, 8191u, 8192u, 10000u}) {
        SCOPED_TRACE(length);
        in.jsonBody.assign(length, 'q');
        tranferResp(out, in);
        EXPECT_EQ(out.respid, 1);
        EXPECT_EQ(out.errCode, 4);
        EXPECT_EQ(out.extend, 5);
        EXPECT_EQ(std::string(out.jsonBody), in.jsonBody.substr(0, 8191));
        EXPECT_EQ(out.body->getSize(), static_cast<int64_t>(length) + 1);
        EXPECT_EQ(out.body->getDataString(), in.jsonBody);
    }
}

} // namespace
