#include "rankedMutex.h"

#include <cassert>

namespace vant {

namespace {

#ifndef NDEBUG
// The ranks of the locks the calling thread holds, one bit each.
thread_local unsigned held = 0;

unsigned bitOf(lockRank rank)
{
    return 1u << static_cast<unsigned>(rank);
}
#endif

} // namespace

void rankedMutex::lock()
{
#ifndef NDEBUG
    // No lock of this rank or a higher one may be held already.
    assert((held & ~(bitOf(rank) - 1)) == 0 && "locks taken out of their order");
#endif
    mutex.lock();
#ifndef NDEBUG
    held |= bitOf(rank);
#endif
}

void rankedMutex::unlock()
{
#ifndef NDEBUG
    held &= ~bitOf(rank);
#endif
    mutex.unlock();
}

} // namespace vant
