#include "access/statement/TObjAlloc.h"

#include "common/text/SysUtils.h"

#include <cstdlib>
#include <initializer_list>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// A free object is poisoned so that a node used after its release is caught
// inside its chunk; its link word stays readable for the free list.
#define ZT_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define ZT_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define ZT_POISON(p, n) ((void)(p), (void)(n))
#define ZT_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

CTObjAlloc::CChunk* CTObjAlloc::CChunk::pclCreateChunk(CTObjAlloc& clPool)
{
    std::size_t nBytes = sizeof(CChunk) + static_cast<std::size_t>(clPool._nSlotSize()) * clPool.m_nObjectsPerChunk;
    CChunk* pcl = static_cast<CChunk*>(XMALLOC_pNew_(nBytes));
    if (pcl == nullptr)
        return nullptr;
    pcl->m_pclPool = &clPool;
    pcl->m_pclNext = nullptr;
    pcl->m_pclPrevious = nullptr;
    if (!pcl->bInit()) {
        XMALLOC_Del_(pcl);
        return nullptr;
    }
    return pcl;
}

void CTObjAlloc::CChunk::DestroyChunk(CChunk* pclChunk)
{
    if (pclChunk == nullptr)
        return;
    ZT_UNPOISON(pclChunk->_pbySlots(), pclChunk->m_pclPool->_nSlotSize() * pclChunk->m_pclPool->m_nObjectsPerChunk);
    XMALLOC_Del_(pclChunk);
}

bool CTObjAlloc::CChunk::bInit()
{
    const unsigned int nSlot = m_pclPool->_nSlotSize();
    const int nCount = m_pclPool->m_nObjectsPerChunk;
    if (nCount <= 0)
        return false;
    unsigned char* pby = _pbySlots();
    for (int i = 0; i < nCount; i++) {
        unsigned char* pbySlot = pby + nSlot * i;
        unsigned char* pbyNext = (i + 1 < nCount) ? pbySlot + nSlot : pby;
        *reinterpret_cast<void**>(pbySlot) = pbyNext;
        ZT_POISON(pbySlot + mg_nSpaceCostPerObj, m_pclPool->m_nObjectSize);
    }
    m_nFreeCount = nCount;
    m_ppFreeHead = reinterpret_cast<void**>(pby);
    return true;
}

void* CTObjAlloc::CChunk::pAllocate()
{
    if (m_ppFreeHead == nullptr)
        return nullptr;
    void** ppSlot;
    if (*m_ppFreeHead == m_ppFreeHead) {
        ppSlot = m_ppFreeHead;
        m_ppFreeHead = nullptr;
    } else {
        // The slot after the head, so that the head is the last handed out.
        ppSlot = static_cast<void**>(*m_ppFreeHead);
        *m_ppFreeHead = *ppSlot;
    }
    *ppSlot = this;
    m_nFreeCount--;
    ZT_UNPOISON(reinterpret_cast<unsigned char*>(ppSlot) + mg_nSpaceCostPerObj, m_pclPool->m_nObjectSize);
    return ppSlot;
}

CTObjAlloc::CChunk* CTObjAlloc::CChunk::pclFree(void* pObject)
{
    void** ppSlot = reinterpret_cast<void**>(static_cast<unsigned char*>(pObject) - mg_nSpaceCostPerObj);
    ZT_POISON(pObject, m_pclPool->m_nObjectSize);
    if (m_ppFreeHead == nullptr) {
        *ppSlot = ppSlot;
        m_ppFreeHead = ppSlot;
    } else {
        *ppSlot = *m_ppFreeHead;
        *m_ppFreeHead = ppSlot;
    }
    m_nFreeCount++;
    return this;
}

CTObjAlloc::CChunk* CTObjAlloc::CChunk::pclInsertBefore(CChunk* pclHead)
{
    m_pclPrevious = nullptr;
    m_pclNext = pclHead;
    if (pclHead != nullptr)
        pclHead->m_pclPrevious = this;
    return this;
}

CTObjAlloc::CChunk* CTObjAlloc::CChunk::pclRemove()
{
    CChunk* pclNext = m_pclNext;
    if (m_pclPrevious != nullptr)
        m_pclPrevious->m_pclNext = m_pclNext;
    if (m_pclNext != nullptr)
        m_pclNext->m_pclPrevious = m_pclPrevious;
    m_pclNext = nullptr;
    m_pclPrevious = nullptr;
    return pclNext;
}

CTObjAlloc::CTObjAlloc(int nObjectsPerChunk, unsigned int nObjectSize)
    : m_nObjectsPerChunk(nObjectsPerChunk < 1 ? 1 : nObjectsPerChunk),
      m_pclFullChunks(nullptr),
      m_pclOpenChunks(nullptr),
      m_nChunkCount(0),
      m_nObjectCount(0),
      m_nObjectSize((nObjectSize + mg_nSpaceCostPerObj - 1) / mg_nSpaceCostPerObj * mg_nSpaceCostPerObj)
{
}

CTObjAlloc::~CTObjAlloc()
{
    for (CChunk** ppList : {&m_pclOpenChunks, &m_pclFullChunks}) {
        CChunk* pcl = *ppList;
        while (pcl != nullptr) {
            CChunk* pclNext = pcl->m_pclNext;
            CChunk::DestroyChunk(pcl);
            pcl = pclNext;
        }
        *ppList = nullptr;
    }
}

void* CTObjAlloc::pAllocate()
{
    if (m_pclOpenChunks == nullptr) {
        CChunk* pcl = CChunk::pclCreateChunk(*this);
        if (pcl == nullptr)
            return nullptr;
        m_pclOpenChunks = pcl->pclInsertBefore(nullptr);
        m_nChunkCount++;
    }
    CChunk* pclChunk = m_pclOpenChunks;
    void* pSlot = pclChunk->pAllocate();
    if (pclChunk->m_nFreeCount == 0) {
        m_pclOpenChunks = pclChunk->pclRemove();
        m_pclFullChunks = pclChunk->pclInsertBefore(m_pclFullChunks);
    }
    m_nObjectCount++;
    return pSlot;
}

void CTObjAlloc::Free(void* pObject)
{
    if (pObject == nullptr)
        return;
    CChunk* pclChunk = *reinterpret_cast<CChunk**>(static_cast<unsigned char*>(pObject) - mg_nSpaceCostPerObj);
    const bool bWasFull = pclChunk->m_nFreeCount == 0;
    pclChunk->pclFree(pObject);
    m_nObjectCount--;
    if (bWasFull) {
        // Back to the front of the open list.
        if (m_pclFullChunks == pclChunk)
            m_pclFullChunks = pclChunk->pclRemove();
        else
            pclChunk->pclRemove();
        m_pclOpenChunks = pclChunk->pclInsertBefore(m_pclOpenChunks);
    }
    if (pclChunk->m_nFreeCount == m_nObjectsPerChunk) {
        // The last open chunk stays as the one spare.
        if (pclChunk->m_pclNext == nullptr && pclChunk->m_pclPrevious == nullptr)
            return;
        if (m_pclOpenChunks == pclChunk)
            m_pclOpenChunks = pclChunk->pclRemove();
        else
            pclChunk->pclRemove();
        CChunk::DestroyChunk(pclChunk);
        m_nChunkCount--;
    }
}
