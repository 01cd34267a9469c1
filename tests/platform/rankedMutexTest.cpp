// The agent's locks in their order: a thread that holds one takes only
// locks of a higher rank; the other way round stops the program in builds
// with assertions, the first time the path runs.
#include <gtest/gtest.h>

#include <mutex>

#include "rankedMutex.h"

namespace {

TEST(rankedMutex, aLockOfALowerRankUnderAHigherOneStopsTheProgram)
{
#ifdef NDEBUG
    GTEST_SKIP() << "the order is checked in builds with assertions";
#else
    vant::rankedMutex session(vant::lockRank::session);
    vant::rankedMutex ticket(vant::lockRank::ticket);
    {
        std::lock_guard<vant::rankedMutex> first(session);
        std::lock_guard<vant::rankedMutex> second(ticket); // in order
    }
    EXPECT_DEATH(
        {
            std::lock_guard<vant::rankedMutex> first(ticket);
            std::lock_guard<vant::rankedMutex> second(session);
        },
        "out of their order");
#endif
}

} // namespace
