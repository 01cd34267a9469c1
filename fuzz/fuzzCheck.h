// Invariant checks of the fuzz targets. A failed check aborts, so that
// libFuzzer keeps the input as a crash and the replay test fails.
#ifndef TESSERA_FUZZ_CHECK_H
#define TESSERA_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

inline void require(bool holds, const char* invariant)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", invariant);
    std::abort();
}

#endif // TESSERA_FUZZ_CHECK_H
