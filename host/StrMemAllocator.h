// Host string allocator of the stand-in runtime: 16-byte headers, count 1 on a
// new block, room for a 32-bit zero after the data, and a count of the
// blocks made. Tests that catch leaks and double frees turn on the accounting
// of live blocks before the first block is made; without it the allocator
// costs what malloc does.
#pragma once

#include "common/platform/HostInterfaces.h"

#include <atomic>
#include <mutex>
#include <unordered_set>

class CStrMemAllocator final : public IStrMemAlloc {
public:
    struct Header {
        std::uint32_t dwFlags;
        std::int32_t nRefCount;
        std::uint32_t nCapacity;
        std::uint32_t nLength;
    };
    static_assert(sizeof(Header) == 16, "the host block header is 16 bytes");

    unsigned Reserved0() override { return 0; }
    int nAlloc(void** ppData, unsigned nBytes) override;
    int nRealloc(void** ppData, unsigned nBytes) override;
    void Free(void* pData) override;

    int nLiveBlocks();
    int nBadFrees();
    void FailAfter(int nCount, int nError);
    void KeepAccounts(bool bOn) { m_bAccounts.store(bOn, std::memory_order_relaxed); }
    // Blocks made or moved to grow, since the start.
    long long nAllocations() const { return m_nAllocations.load(std::memory_order_relaxed); }

    // Error answered for an allocation that cannot be made.
    static constexpr int ERROR_NO_MEMORY = 7;

private:
    bool bShouldFail();
    bool bAccounts() const { return m_bAccounts.load(std::memory_order_relaxed); }

    std::mutex m_mutex;
    std::unordered_set<void*> m_live;
    int m_nBadFrees = 0;
    int m_nFailAfter = -1;
    int m_nFailError = ERROR_NO_MEMORY;
    std::atomic<bool> m_bFailing{false};
    std::atomic<bool> m_bAccounts{false};
    std::atomic<long long> m_nAllocations{0};
};
