#include "host/StrMemAllocator.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr unsigned kTerminatorRoom = 4;
constexpr unsigned kLargest = 0x7FFFFFFFu - sizeof(CStrMemAllocator::Header) - kTerminatorRoom;

CStrMemAllocator::Header* HeaderOf(void* pData)
{
    return static_cast<CStrMemAllocator::Header*>(pData) - 1;
}
}  // namespace

bool CStrMemAllocator::bShouldFail()
{
    if (m_nFailAfter < 0)
        return false;
    if (m_nFailAfter == 0)
        return true;
    --m_nFailAfter;
    return false;
}

int CStrMemAllocator::nAlloc(void** ppData, unsigned nBytes)
{
    if (ppData == nullptr)
        return ERROR_NO_MEMORY;
    // The lock only for what needs it: failure plans and accounts.
    const bool bLock = bAccounts() || m_bFailing.load(std::memory_order_relaxed);
    std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
    if (bLock)
        lock.lock();
    if (nBytes > kLargest || (bLock && bShouldFail()))
        return m_nFailAfter == 0 ? m_nFailError : ERROR_NO_MEMORY;
    auto* pHeader = static_cast<Header*>(std::malloc(sizeof(Header) + nBytes + kTerminatorRoom));
    if (pHeader == nullptr)
        return ERROR_NO_MEMORY;
    pHeader->dwFlags = 0;
    pHeader->nRefCount = 1;
    pHeader->nCapacity = nBytes;
    pHeader->nLength = 0;
    void* pData = pHeader + 1;
    std::memset(pData, 0, kTerminatorRoom < nBytes ? kTerminatorRoom : nBytes);
    if (bAccounts())
        m_live.insert(pData);
    m_nAllocations.fetch_add(1, std::memory_order_relaxed);
    *ppData = pData;
    return 0;
}

int CStrMemAllocator::nRealloc(void** ppData, unsigned nBytes)
{
    const bool bLock = bAccounts() || m_bFailing.load(std::memory_order_relaxed);
    std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
    if (bLock)
        lock.lock();
    if (ppData == nullptr || *ppData == nullptr || (bAccounts() && m_live.count(*ppData) == 0)) {
        ++m_nBadFrees;
        return ERROR_NO_MEMORY;
    }
    if (nBytes > kLargest || (bLock && bShouldFail()))
        return m_nFailAfter == 0 ? m_nFailError : ERROR_NO_MEMORY;
    Header* pOld = HeaderOf(*ppData);
    if (nBytes <= pOld->nCapacity)
        return 0;
    auto* pHeader = static_cast<Header*>(std::realloc(pOld, sizeof(Header) + nBytes + kTerminatorRoom));
    if (pHeader == nullptr)
        return ERROR_NO_MEMORY;
    if (bAccounts())
        m_live.erase(*ppData);
    pHeader->nCapacity = nBytes;
    *ppData = pHeader + 1;
    if (bAccounts())
        m_live.insert(*ppData);
    m_nAllocations.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void CStrMemAllocator::Free(void* pData)
{
    if (pData == nullptr)
        return;
    if (bAccounts()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_live.erase(pData) == 0) {
            ++m_nBadFrees;
            return;
        }
    }
    std::free(HeaderOf(pData));
}

int CStrMemAllocator::nLiveBlocks()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_live.size());
}

int CStrMemAllocator::nBadFrees()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nBadFrees;
}

void CStrMemAllocator::FailAfter(int nCount, int nError)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nFailAfter = nCount;
    m_nFailError = nError;
    m_bFailing.store(nCount >= 0, std::memory_order_relaxed);
}
