// Host string allocator of the stand-in runtime: 16-byte headers, count 1 on a
// new block, room for a 32-bit zero after the data, and accounting of live
// blocks so that tests catch leaks and double frees.
#pragma once

#include "common/platform/HostInterfaces.h"

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

    // Error answered for an allocation that cannot be made.
    static constexpr int ERROR_NO_MEMORY = 7;

private:
    bool bShouldFail();

    std::mutex m_mutex;
    std::unordered_set<void*> m_live;
    int m_nBadFrees = 0;
    int m_nFailAfter = -1;
    int m_nFailError = ERROR_NO_MEMORY;
};
