// The fixed-size object pool: chunk accounting, the spare chunk, the chunk
// word before each object, and memory given back.
#include "access/statement/TObjAlloc.h"
#include "tests/support/FailingHeap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

const int kLink = CTObjAlloc::mg_nSpaceCostPerObj;

void* Object(void* pSlot)
{
    return static_cast<unsigned char*>(pSlot) + kLink;
}

const CTObjAlloc::CChunk* ChunkOf(const void* pObject)
{
    const CTObjAlloc::CChunk* pcl;
    std::memcpy(&pcl, static_cast<const unsigned char*>(pObject) - kLink, sizeof(pcl));
    return pcl;
}

// Bytes handed out by the heap. Chunks of the tests are above the C
// library's per-thread cache sizes, so that a free shows at once.
std::size_t HeapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

TEST(TObjAlloc, SpaceCosts)
{
    EXPECT_EQ(CTObjAlloc::mg_nSpaceCostPerChunk, 20);
    EXPECT_EQ(CTObjAlloc::mg_nSpaceCostPerObj, 4);
}

TEST(TObjAlloc, ThirdAllocationOfTwoPerChunkMakesASecondChunk)
{
    CTObjAlloc cl(2, 16);
    std::vector<int> vChunks;
    for (int i = 0; i < 3; i++) {
        ASSERT_NE(cl.pAllocate(), nullptr);
        vChunks.push_back(cl.nGetChunkCount());
    }
    EXPECT_EQ(vChunks, (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(cl.nGetObjectCount(), 3);
}

TEST(TObjAlloc, ChunkRefusedLeavesThePoolAsItWas)
{
    CTObjAlloc pool(2, 16);
    void* p1 = pool.pAllocate();
    void* p2 = pool.pAllocate();
    ASSERT_NE(p1, nullptr);
    ASSERT_NE(p2, nullptr);
    {
        CFailingHeap heap(0);
        EXPECT_EQ(pool.pAllocate(), nullptr);
    }
    EXPECT_EQ(pool.nGetChunkCount(), 1);
    EXPECT_EQ(pool.nGetObjectCount(), 2);
    void* p3 = pool.pAllocate();
    EXPECT_NE(p3, nullptr);
    EXPECT_EQ(pool.nGetChunkCount(), 2);
    pool.Free(Object(p1));
    pool.Free(Object(p2));
    pool.Free(Object(p3));
}

TEST(TObjAlloc, OnlyChunkStaysAsSpare)
{
    CTObjAlloc cl(2, 16);
    void* p = Object(cl.pAllocate());
    const CTObjAlloc::CChunk* pclChunk = ChunkOf(p);
    cl.Free(p);
    EXPECT_EQ(cl.nGetChunkCount(), 1);
    EXPECT_EQ(cl.nGetObjectCount(), 0);
    // The spare serves the next allocation without a new chunk.
    void* q = Object(cl.pAllocate());
    EXPECT_EQ(cl.nGetChunkCount(), 1);
    EXPECT_EQ(ChunkOf(q), pclChunk);
    cl.Free(q);
}

TEST(TObjAlloc, SecondEmptiedChunkIsReleased)
{
    CTObjAlloc cl(2, 16);
    void* a1 = Object(cl.pAllocate());
    void* a2 = Object(cl.pAllocate());
    void* b1 = Object(cl.pAllocate());
    ASSERT_EQ(cl.nGetChunkCount(), 2);
    ASSERT_EQ(ChunkOf(a1), ChunkOf(a2));
    ASSERT_NE(ChunkOf(a1), ChunkOf(b1));
    cl.Free(a1); // the full chunk opens again
    EXPECT_EQ(cl.nGetChunkCount(), 2);
    cl.Free(a2); // emptied while another chunk is open: released
    EXPECT_EQ(cl.nGetChunkCount(), 1);
    EXPECT_EQ(cl.nGetObjectCount(), 1);
    cl.Free(b1); // the last one stays as the spare
    EXPECT_EQ(cl.nGetChunkCount(), 1);
    EXPECT_EQ(cl.nGetObjectCount(), 0);
}

TEST(TObjAlloc, WordBeforeEveryObjectIsItsChunk)
{
    const unsigned int nSize = 12;
    const int nPerChunk = 5;
    CTObjAlloc cl(nPerChunk, nSize);
    std::vector<void*> v;
    for (int i = 0; i < 23; i++)
        v.push_back(Object(cl.pAllocate()));
    std::set<const void*> sChunks;
    for (void* p : v) {
        const CTObjAlloc::CChunk* pclChunk = ChunkOf(p);
        sChunks.insert(pclChunk);
        EXPECT_EQ(pclChunk->m_pclPool, &cl);
        // The object lies in its chunk's slots, on a slot boundary.
        const unsigned char* pbySlots = reinterpret_cast<const unsigned char*>(pclChunk) + 20;
        const unsigned char* pby = static_cast<const unsigned char*>(p) - kLink;
        ASSERT_GE(pby, pbySlots);
        EXPECT_LT(pby, pbySlots + (nSize + kLink) * nPerChunk);
        EXPECT_EQ((pby - pbySlots) % (nSize + kLink), 0);
    }
    EXPECT_EQ(static_cast<int>(sChunks.size()), cl.nGetChunkCount());
    EXPECT_EQ(cl.nGetChunkCount(), 5);
    for (void* p : v)
        cl.Free(p);
}

TEST(TObjAlloc, OddSizesAreRoundedToWholeWords)
{
    CTObjAlloc cl(4, 13);
    EXPECT_EQ(cl.nGetObjectSize(), 16u);
    std::vector<void*> v;
    for (int i = 0; i < 9; i++) {
        v.push_back(Object(cl.pAllocate()));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(v.back()) % sizeof(void*), 0u);
    }
    for (void* p : v)
        cl.Free(p);
}

TEST(TObjAlloc, ObjectsKeepTheirBytesThroughRandomUse)
{
    // Objects filled with their own pattern stay intact and distinct while
    // others come and go; chunks follow the live objects.
    const unsigned int nSize = 24;
    const int nPerChunk = 7;
    CTObjAlloc cl(nPerChunk, nSize);
    std::mt19937 rng(41);
    std::vector<std::pair<unsigned char*, unsigned char>> vLive;
    unsigned char nNext = 0;
    for (int n = 0; n < 20000; n++) {
        if (vLive.empty() || rng() % 100 < 55) {
            unsigned char* p = static_cast<unsigned char*>(Object(cl.pAllocate()));
            std::memset(p, ++nNext, nSize);
            vLive.emplace_back(p, nNext);
        } else {
            size_t i = rng() % vLive.size();
            std::swap(vLive[i], vLive.back());
            cl.Free(vLive.back().first);
            vLive.pop_back();
        }
        if (n % 500 == 0) {
            for (auto& e : vLive)
                ASSERT_TRUE(std::all_of(e.first, e.first + nSize, [&](unsigned char c) { return c == e.second; }));
            std::set<unsigned char*> s;
            for (auto& e : vLive)
                s.insert(e.first);
            ASSERT_EQ(s.size(), vLive.size());
        }
        ASSERT_EQ(cl.nGetObjectCount(), static_cast<int>(vLive.size()));
        // Full chunks for the live objects, at most every chunk partly used
        // and one spare.
        const int nMin = (static_cast<int>(vLive.size()) + nPerChunk - 1) / nPerChunk;
        ASSERT_GE(cl.nGetChunkCount(), std::max(nMin, 1));
        ASSERT_LE(cl.nGetChunkCount(), static_cast<int>(vLive.size()) + 1);
    }
    for (auto& e : vLive)
        cl.Free(e.first);
    EXPECT_EQ(cl.nGetObjectCount(), 0);
    EXPECT_EQ(cl.nGetChunkCount(), 1);
}

TEST(TObjAlloc, DestroyedWithObjectsOutLeaksNothing)
{
    const std::size_t nBefore = HeapInUse();
    std::size_t nDuring = 0;
    bool bAll = true;
    {
        CTObjAlloc cl(8, 200);
        for (int i = 0; i < 50; i++) // full chunks and an open one
            bAll = bAll && cl.pAllocate() != nullptr;
        nDuring = HeapInUse();
    }
    const std::size_t nAfter = HeapInUse();
    EXPECT_TRUE(bAll);
    EXPECT_GT(nDuring, nBefore);
    EXPECT_EQ(nAfter, nBefore);
}

#if defined(__SANITIZE_ADDRESS__)
TEST(TObjAlloc, FreeObjectsArePoisoned)
{
    CTObjAlloc cl(4, 32);
    void* p = Object(cl.pAllocate());
    EXPECT_FALSE(__asan_address_is_poisoned(p));
    EXPECT_FALSE(__asan_address_is_poisoned(static_cast<unsigned char*>(p) + 31));
    void* q = Object(cl.pAllocate()); // keeps the chunk
    cl.Free(p);
    // The shadow works by 8-byte granules: the object's last 4 bytes share
    // one with the next slot's link word and stay readable.
    EXPECT_TRUE(__asan_address_is_poisoned(p));
    EXPECT_TRUE(__asan_address_is_poisoned(static_cast<unsigned char*>(p) + 27));
    // Handed out again: readable and writable.
    void* r = Object(cl.pAllocate());
    EXPECT_FALSE(__asan_address_is_poisoned(r));
    cl.Free(q);
    cl.Free(r);
}
#endif

} // namespace
