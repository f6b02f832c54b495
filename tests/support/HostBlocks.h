// Views of the host block behind a string or binary handle, and a scope in
// which the stand-in's allocator fails.
#pragma once

#include "common/text/XYString.h"
#include "tests/support/TestHost.h"

template <class THandle>
CBaseStrMem::STHeader* Header(const THandle& h)
{
    return CBaseStrMem::s_pHeader(h.pGetData());
}

template <class THandle>
int RefCount(const THandle& h)
{
    return CBaseStrMem::s_nGetRefCount(h.pGetData());
}

// Every allocation in the scope fails with nError.
class CFailingAllocator {
public:
    explicit CFailingAllocator(int nError) { TestHost().FailAllocationsAfter(0, nError); }
    ~CFailingAllocator() { TestHost().FailAllocationsAfter(-1, 0); }
};
