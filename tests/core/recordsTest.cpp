// The public records as applications see them (their layout is part of the
// ABI), the byte buffer, and request ids drawn from many threads.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <type_traits>
#include <vector>

#include "recordTransfer.h"

namespace {

static_assert(!std::is_copy_constructible<vant::CByteArray>::value, "a copy would share the bytes");
static_assert(!std::is_copy_assignable<vant::CByteArray>::value, "a copy would share the bytes");
static_assert(!std::is_copy_constructible<vpkiReq>::value, "a copy would share the body");
static_assert(!std::is_copy_constructible<vpkiResp>::value, "a copy would share the body");
static_assert(offsetof(vpkiReq, jsonBody) == 24 && sizeof(vpkiReq) == 24 + 8192 + 8, "layout");
static_assert(offsetof(vpkiResp, extend) == 16 && offsetof(vpkiResp, jsonBody) == 24, "layout");

// The buffer and the zero byte that always follows it.
std::string withTerminator(const vant::CByteArray& buffer)
{
    return std::string(buffer.getData(), static_cast<size_t>(buffer.getSize()) + 1);
}

TEST(records, byteArrayGrowsKeepingItsContentAndShrinksToZeros)
{
    vant::CByteArray buffer;
    EXPECT_EQ(buffer.getData(), nullptr);
    buffer.setSize(3);
    std::memcpy(buffer.getData(), "abc", 3);
    buffer.setSize(5);
    EXPECT_EQ(withTerminator(buffer), std::string("abc\0\0\0", 6));
    buffer.setSize(2);
    EXPECT_EQ(withTerminator(buffer), std::string(3, '\0'));
    buffer.setSize(0);
    EXPECT_EQ(buffer.getData(), nullptr);
}

TEST(records, requestIdsNeverRepeatAcrossThreads)
{
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
    for (const auto& ids : drawn)
        all.insert(ids.begin(), ids.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(threads * each));
}

} // namespace
