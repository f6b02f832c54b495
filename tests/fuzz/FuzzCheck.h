// Shared pieces of the fuzz targets: a check that aborts (libFuzzer keeps
// the input as a finding) and the host stand-in bound once per process.
#pragma once

#include "tests/support/TestHost.h"

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// The host's string allocator and locale service, bound on first use; the
// stand-in's log of locale calls is emptied at every input.
inline void FuzzBindHost()
{
    TestHost().ClearLocaleCalls();
}
