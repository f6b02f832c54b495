// A scope in which the module's C-heap allocations fail, and the loop that
// fails allocation 1, then 2, ... of an operation until it succeeds.
#pragma once

#include "common/text/SysUtils.h"

#include <gtest/gtest.h>

class CFailingHeap {
public:
    // After nSucceed allocations every one fails; -1: none fails. The
    // setting before the scope comes back after it.
    explicit CFailingHeap(int nSucceed) : m_nAvant(XMALLOC_nFailAfter(nSucceed)) {}
    ~CFailingHeap() { XMALLOC_nFailAfter(m_nAvant); }
    CFailingHeap(const CFailingHeap&) = delete;
    CFailingHeap& operator=(const CFailingHeap&) = delete;

private:
    int m_nAvant;
};

// Calls bStep(n) for n = 0, 1, ... until it answers true (the operation
// succeeded); bStep puts the operation in a CFailingHeap(n) scope and
// checks each outcome itself. Answers the n that succeeded, -1 when none
// did within nMax calls.
template <class F>
int nFailEachAllocation(F bStep, int nMax = 2000)
{
    for (int n = 0; n < nMax; ++n) {
        SCOPED_TRACE(testing::Message() << "allocations allowed: " << n);
        if (bStep(n))
            return n;
    }
    ADD_FAILURE() << "the operation never succeeded";
    return -1;
}
