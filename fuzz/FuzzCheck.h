#pragma once
// What every fuzz target shares: a broken promise stops the run where the fuzzer sees it.
#include <cstdlib>

inline void check(bool ok)
{
    if (!ok)
        std::abort();
}
