// Views of the host block behind a string or binary handle, and a scope in
// which the stand-in's allocator fails.
#pragma once

#include "common/text/XYString.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/TestHost.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

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

// Every allocation in the scope after the first nAfter fails with nError.
class CFailingAllocator {
public:
    explicit CFailingAllocator(int nError, int nAfter = 0) { TestHost().FailAllocationsAfter(nAfter, nError); }
    ~CFailingAllocator() { TestHost().FailAllocationsAfter(-1, 0); }
};

// Result of an edit that answers no status.
constexpr int kNoStatus = -1;

// An edit of a fresh value from make(), held alone or shared with another
// handle, while the host allocator fails after 0, 1, ... blocks (status
// 77). A failed step answers 77 (or kNoStatus) and leaves both values as
// they were; a whole edit gives expected. Answers the blocks the edit
// needed, as nFailEachAllocation.
template <class FMake, class FText, class FEdit, class TText>
int nEditUnderFailingAllocator(FMake make, FText text, FEdit edit, const TText& expected, bool bShared)
{
    const TText before = text(make());
    return nFailEachAllocation([&](int nAllowed) {
        auto value = make();
        decltype(value) other;
        if (bShared)
            other = value;
        int nStatus = kNoStatus;
        {
            CFailingAllocator failing(77, nAllowed);
            nStatus = edit(value);
        }
        if (bShared) {
            EXPECT_EQ(text(other), before) << "the other holder's value";
        }
        if (text(value) == expected) {
            if (nStatus != kNoStatus) {
                EXPECT_EQ(nStatus, 0);
            }
            return true;
        }
        if (nStatus != kNoStatus) {
            EXPECT_EQ(nStatus, 77);
        }
        EXPECT_EQ(text(value), before);
        if (bShared) {
            EXPECT_EQ(value.pGetData(), other.pGetData()) << "still sharing";
        }
        return false;
    });
}

// A case run in a child process, so that a crash fails its own check only:
// run answers a status and a size, which the child prints as
// "status=<status> size=<size>" for the caller to match.
struct SChildCase {
    const char* pszName;
    std::function<std::pair<int, int>()> run;
};

[[noreturn]] inline void RunAndReport(const SChildCase& c)
{
    const std::pair<int, int> r = c.run();
    std::fprintf(stderr, "status=%d size=%d\n", r.first, r.second);
    std::fflush(stderr);
    std::_Exit(0);
}

inline void ExpectInChild(const SChildCase& c, const char* pszExpected)
{
    SCOPED_TRACE(c.pszName);
    EXPECT_EXIT(RunAndReport(c), testing::ExitedWithCode(0), pszExpected);
}
