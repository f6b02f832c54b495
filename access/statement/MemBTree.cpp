#include "access/statement/MemBTree.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>

namespace {

// Deep enough for 2^31 records at order 2 (every inner node has two
// children at least).
const int kMaxDepth = 48;
const int kPointer = static_cast<int>(sizeof(void*));
// Sizes beyond this are refused at set-up.
const unsigned long long kMaxObjectSize = 0x1000000ULL;

int ObjectsPerChunk(unsigned int nObjectSize)
{
    unsigned int nRounded = (nObjectSize + kPointer - 1) / kPointer * kPointer;
    int n = static_cast<int>(4096 / (nRounded + CTObjAlloc::mg_nSpaceCostPerObj));
    return n < 2 ? 2 : n;
}

short Capacity(int nClass)
{
    return CMemBucket::mg_stTabSizeThreshold[nClass][1];
}

short Threshold(int nClass)
{
    return CMemBucket::mg_stTabSizeThreshold[nClass][0];
}

// The smallest vector class holding n values, else the nested tree.
int ClassFor(int n)
{
    for (int c = 0; c < CMemBucket::eNestedClass; c++)
        if (n <= Capacity(c))
            return c;
    return CMemBucket::eNestedClass;
}

} // namespace

const short CMemBucket::mg_stTabSizeThreshold[CMemBucket::eClassCount][2] = {
    {0, 2}, {1, 4}, {2, 8}, {6, 16}, {9, 32}, {18, 64}, {56, 0}};

struct CMemBTree::CPath {
    CMemIndexNode* apNode[kMaxDepth];
    int anChild[kMaxDepth];
    int nDepth = 0;
};

// A copy of the record at the iterator, to find the iterator's place again
// after a change of the tree.
struct CMemBTree::CScratch {
    enum { eNone, eSaved, eLost };
    unsigned char abyLocal[128];
    unsigned char* pby = abyLocal;
    int nState = eNone;
    CScratch() = default;
    CScratch(const CScratch&) = delete;
    CScratch& operator=(const CScratch&) = delete;
    ~CScratch()
    {
        if (pby != abyLocal)
            delete[] pby;
    }
    bool bReserve(unsigned int n)
    {
        if (n <= sizeof(abyLocal))
            return true;
        pby = new (std::nothrow) unsigned char[n];
        if (pby == nullptr) {
            pby = abyLocal;
            return false;
        }
        return true;
    }
};

int CMemNode::nSearch(unsigned int nSize, int nCount, const void* pArray, const void* pKey,
                      PFNMEMBTREECOMPARE pfnCompare, int* pbFound)
{
    *pbFound = 0;
    const unsigned char* pby = static_cast<const unsigned char*>(pArray);
    int nLow = 0;
    int nHigh = nCount - 1;
    while (nLow <= nHigh) {
        int nMid = nLow + (nHigh - nLow) / 2;
        int nCmp = pfnCompare(pKey, pby + static_cast<unsigned int>(nMid) * nSize, nSize);
        if (nCmp > 0)
            nLow = nMid + 1;
        else if (nCmp < 0)
            nHigh = nMid - 1;
        else {
            *pbFound = 1;
            return nMid;
        }
    }
    return nLow;
}

// ---------------------------------------------------------------- iterator

void CMemBTree::CIterator::_FirstValue()
{
    m_pclBucketLeaf = nullptr;
    m_nBucketIndex = 0;
    if (m_pclLeaf != nullptr && m_pclTree->_bIsBucket(m_pclLeaf, m_nKey)) {
        CMemBucket* pcl = m_pclTree->_pclBucket(m_pclLeaf, m_nKey);
        if (pcl->m_nClass == CMemBucket::eNestedClass)
            m_pclBucketLeaf = _pclNested(pcl)->_pclFirstLeaf();
    }
}

void CMemBTree::CIterator::_LastValue()
{
    m_pclBucketLeaf = nullptr;
    m_nBucketIndex = 0;
    if (m_pclLeaf != nullptr && m_pclTree->_bIsBucket(m_pclLeaf, m_nKey)) {
        CMemBucket* pcl = m_pclTree->_pclBucket(m_pclLeaf, m_nKey);
        if (pcl->m_nClass == CMemBucket::eNestedClass) {
            m_pclBucketLeaf = _pclNested(pcl)->_pclLastLeaf();
            m_nBucketIndex = m_pclBucketLeaf->m_nKeyCount - 1;
        } else {
            m_nBucketIndex = pcl->m_nCount - 1;
        }
    }
}

void CMemBTree::CIterator::Validate()
{
    while (m_pclLeaf != nullptr && m_nKey >= m_pclLeaf->m_nKeyCount) {
        m_pclLeaf = m_pclLeaf->m_pclNext;
        m_nKey = 0;
    }
    if (m_pclLeaf == nullptr) {
        m_nKey = 0;
        m_pclBucketLeaf = nullptr;
        m_nBucketIndex = 0;
    } else if (m_nKey == 0) {
        _FirstValue();
    }
}

int CMemBTree::CIterator::bFirstRecord()
{
    m_pclLeaf = m_pclTree->_pclFirstLeaf();
    m_nKey = 0;
    if (m_pclLeaf != nullptr && m_pclLeaf->m_nKeyCount == 0)
        m_pclLeaf = nullptr;
    _FirstValue();
    return m_pclLeaf != nullptr;
}

int CMemBTree::CIterator::bKeyMoveForward()
{
    if (m_pclLeaf == nullptr)
        return 0;
    m_nKey++;
    if (m_nKey >= m_pclLeaf->m_nKeyCount)
        Validate();
    else
        _FirstValue();
    return 1;
}

int CMemBTree::CIterator::bKeyMoveBackward()
{
    if (m_pclLeaf == nullptr) {
        CMemDataNode* pcl = m_pclTree->_pclLastLeaf();
        if (pcl == nullptr || pcl->m_nKeyCount == 0)
            return 0;
        m_pclLeaf = pcl;
        m_nKey = pcl->m_nKeyCount - 1;
    } else if (m_nKey > 0) {
        m_nKey--;
    } else if (m_pclLeaf->m_pclPrevious != nullptr) {
        m_pclLeaf = m_pclLeaf->m_pclPrevious;
        m_nKey = m_pclLeaf->m_nKeyCount - 1;
    } else {
        return 0;
    }
    _FirstValue();
    return 1;
}

void CMemBTree::CIterator::RecordMoveForward()
{
    if (m_pclLeaf == nullptr)
        return;
    if (m_pclTree->_bIsBucket(m_pclLeaf, m_nKey)) {
        CMemBucket* pcl = m_pclTree->_pclBucket(m_pclLeaf, m_nKey);
        if (pcl->m_nClass == CMemBucket::eNestedClass) {
            if (m_nBucketIndex + 1 < m_pclBucketLeaf->m_nKeyCount) {
                m_nBucketIndex++;
                return;
            }
            if (m_pclBucketLeaf->m_pclNext != nullptr) {
                m_pclBucketLeaf = m_pclBucketLeaf->m_pclNext;
                m_nBucketIndex = 0;
                return;
            }
        } else if (m_nBucketIndex + 1 < pcl->m_nCount) {
            m_nBucketIndex++;
            return;
        }
    }
    bKeyMoveForward();
}

void CMemBTree::CIterator::RecordMoveBackward()
{
    if (m_pclLeaf != nullptr && m_pclTree->_bIsBucket(m_pclLeaf, m_nKey)) {
        CMemBucket* pcl = m_pclTree->_pclBucket(m_pclLeaf, m_nKey);
        if (pcl->m_nClass == CMemBucket::eNestedClass) {
            if (m_nBucketIndex > 0) {
                m_nBucketIndex--;
                return;
            }
            if (m_pclBucketLeaf->m_pclPrevious != nullptr) {
                m_pclBucketLeaf = m_pclBucketLeaf->m_pclPrevious;
                m_nBucketIndex = m_pclBucketLeaf->m_nKeyCount - 1;
                return;
            }
        } else if (m_nBucketIndex > 0) {
            m_nBucketIndex--;
            return;
        }
    }
    if (bKeyMoveBackward())
        _LastValue();
}

// ---------------------------------------------------------------- layout

CMemNode* CMemBTree::_pclChild(CMemIndexNode* p, int i) const
{
    CMemNode* pcl;
    std::memcpy(&pcl, _pbyChildSlot(p, i), sizeof(pcl));
    return pcl;
}

void CMemBTree::_SetChild(CMemIndexNode* p, int i, CMemNode* pclChild) const
{
    std::memcpy(_pbyChildSlot(p, i), &pclChild, sizeof(pclChild));
}

// Bit i of word i / 32 is bit i % 8 of byte i / 8 on this little-endian
// machine; bytes keep the access aligned whatever the key size.
bool CMemBTree::_bIsBucket(CMemDataNode* p, int i) const
{
    if (m_nValueSize == 0)
        return false;
    return (_pbyBits(p)[i >> 3] >> (i & 7)) & 1;
}

void CMemBTree::_SetBucketBit(CMemDataNode* p, int i, bool b) const
{
    unsigned char* pby = _pbyBits(p) + (i >> 3);
    if (b)
        *pby = static_cast<unsigned char>(*pby | (1u << (i & 7)));
    else
        *pby = static_cast<unsigned char>(*pby & ~(1u << (i & 7)));
}

CMemBucket* CMemBTree::_pclBucket(CMemDataNode* p, int i) const
{
    CMemBucket* pcl;
    std::memcpy(&pcl, _pbySlot(p, i), sizeof(pcl));
    return pcl;
}

void CMemBTree::_SetBucket(CMemDataNode* p, int i, CMemBucket* pcl) const
{
    std::memcpy(_pbySlot(p, i), &pcl, sizeof(pcl));
    _SetBucketBit(p, i, true);
}

int CMemBTree::_nBucketCount(CMemBucket* p)
{
    if (p->m_nClass == CMemBucket::eNestedClass)
        return _pclNested(p)->nGetNumRecord();
    return p->m_nCount;
}

int CMemBTree::_nValueCount(CMemDataNode* p, int i) const
{
    return _bIsBucket(p, i) ? _nBucketCount(_pclBucket(p, i)) : 1;
}

int CMemBTree::_nNodeRecords(CMemNode* p)
{
    if (p->m_nType == CMemNode::eData)
        return static_cast<CMemDataNode*>(p)->m_nRecordCount;
    return static_cast<CMemIndexNode*>(p)->m_nRecordCount;
}

void CMemBTree::_AddNodeRecords(CMemNode* p, int n)
{
    if (p->m_nType == CMemNode::eData)
        static_cast<CMemDataNode*>(p)->m_nRecordCount += n;
    else
        static_cast<CMemIndexNode*>(p)->m_nRecordCount += n;
}

namespace {
int KeyCount(CMemNode* p)
{
    if (p->m_nType == CMemNode::eData)
        return static_cast<CMemDataNode*>(p)->m_nKeyCount;
    return static_cast<CMemIndexNode*>(p)->m_nKeyCount;
}
} // namespace

// ---------------------------------------------------------------- pools

CMemIndexNode* CMemBTree::_pclNewIndex(int nType)
{
    void* pSlot = m_pclIndexPool->pAllocate();
    if (pSlot == nullptr)
        return nullptr;
    CMemIndexNode* p = new (static_cast<unsigned char*>(pSlot) + CTObjAlloc::mg_nSpaceCostPerObj) CMemIndexNode;
    p->m_nType = nType;
    p->m_nKeyCount = 0;
    p->m_nRecordCount = 0;
    return p;
}

CMemDataNode* CMemBTree::_pclNewLeaf()
{
    void* pSlot = m_pclDataPool->pAllocate();
    if (pSlot == nullptr)
        return nullptr;
    CMemDataNode* p = new (static_cast<unsigned char*>(pSlot) + CTObjAlloc::mg_nSpaceCostPerObj) CMemDataNode;
    p->m_nType = CMemNode::eData;
    p->m_pclPrevious = nullptr;
    p->m_pclNext = nullptr;
    p->m_nKeyCount = 0;
    p->m_nRecordCount = 0;
    if (m_nValueSize != 0)
        std::memset(_pbyBits(p), 0, static_cast<unsigned int>((m_nOrder - 1) / 32 + 1) * 4);
    return p;
}

void CMemBTree::_FreeIndex(CMemIndexNode* p)
{
    m_pclIndexPool->Free(p);
}

void CMemBTree::_FreeLeaf(CMemDataNode* p)
{
    m_pclDataPool->Free(p);
}

CMemBucket* CMemBTree::_pclNewBucket(int nClass)
{
    void* pSlot = m_apclBucketPool[nClass]->pAllocate();
    if (pSlot == nullptr)
        return nullptr;
    CMemBucket* p = new (static_cast<unsigned char*>(pSlot) + CTObjAlloc::mg_nSpaceCostPerObj) CMemBucket;
    p->m_nClass = static_cast<short>(nClass);
    p->m_nCount = 0;
    if (nClass == CMemBucket::eNestedClass) {
        p->m_nCount = -1;
        CMemBTree* pclNested = new (_pclNested(p)) CMemBTree;
        if (!pclNested->bInit(m_nValueSize, 0, m_pfnValueCompare, CMemBTree::nCompareBytes, m_nOrder)) {
            pclNested->~CMemBTree();
            m_apclBucketPool[nClass]->Free(p);
            return nullptr;
        }
    }
    return p;
}

void CMemBTree::_FreeBucket(CMemBucket* p)
{
    const int nClass = p->m_nClass;
    if (nClass == CMemBucket::eNestedClass)
        _pclNested(p)->~CMemBTree();
    m_apclBucketPool[nClass]->Free(p);
}

void CMemBTree::_FreeSlotContents(CMemDataNode* p, int i)
{
    if (_bIsBucket(p, i)) {
        _FreeBucket(_pclBucket(p, i));
        _SetBucketBit(p, i, false);
    }
}

void CMemBTree::_FreeAll()
{
    // Depth first on an explicit stack; buckets free their nested trees.
    if (m_pclRoot != nullptr) {
        CMemNode* apStack[kMaxDepth * 2];
        int anNext[kMaxDepth * 2];
        int n = 0;
        apStack[n] = m_pclRoot;
        anNext[n++] = 0;
        while (n > 0) {
            CMemNode* pcl = apStack[n - 1];
            if (pcl->m_nType == CMemNode::eData) {
                CMemDataNode* pclLeaf = static_cast<CMemDataNode*>(pcl);
                for (int i = 0; i < pclLeaf->m_nKeyCount; i++)
                    _FreeSlotContents(pclLeaf, i);
                _FreeLeaf(pclLeaf);
                n--;
                continue;
            }
            CMemIndexNode* pclNode = static_cast<CMemIndexNode*>(pcl);
            if (anNext[n - 1] <= pclNode->m_nKeyCount && n < kMaxDepth * 2) {
                apStack[n] = _pclChild(pclNode, anNext[n - 1]++);
                anNext[n++] = 0;
            } else {
                _FreeIndex(pclNode);
                n--;
            }
        }
    }
    m_pclRoot = nullptr;
    m_clIterator.m_pclLeaf = nullptr;
    m_clIterator.m_nKey = 0;
    m_clIterator.m_pclBucketLeaf = nullptr;
    m_clIterator.m_nBucketIndex = 0;
}

// ---------------------------------------------------------------- set-up

CMemBTree::CMemBTree()
    : m_pclIndexPool(nullptr),
      m_pclDataPool(nullptr),
      m_nOrder(0),
      m_nMinFill(0),
      m_pfnKeyCompare(nullptr),
      m_pfnValueCompare(nullptr),
      m_nKeySize(0),
      m_nValueSize(0),
      m_nSlotSize(0),
      m_apclBucketPool(),
      m_pclRoot(nullptr),
      m_clIterator()
{
    m_clIterator.m_pclTree = this;
    m_clIterator.m_pclLeaf = nullptr;
    m_clIterator.m_nKey = 0;
    m_clIterator.m_pclBucketLeaf = nullptr;
    m_clIterator.m_nBucketIndex = 0;
}

CMemBTree::~CMemBTree()
{
    if (m_pclIndexPool != nullptr && m_pclDataPool != nullptr)
        _FreeAll();
    delete m_pclIndexPool;
    delete m_pclDataPool;
    for (CTObjAlloc* pcl : m_apclBucketPool)
        delete pcl;
}

int CMemBTree::nCompareBytes(const void* a, const void* b, unsigned int nSize)
{
    return std::memcmp(a, b, nSize);
}

CMemBTree* CMemBTree::pclCreate(unsigned int nKeySize, unsigned int nValueSize, PFNMEMBTREECOMPARE pfnKeyCompare,
                                PFNMEMBTREECOMPARE pfnValueCompare, int nOrder)
{
    CMemBTree* pcl = new (std::nothrow) CMemBTree;
    if (pcl == nullptr)
        return nullptr;
    if (!pcl->bInit(nKeySize, nValueSize, pfnKeyCompare, pfnValueCompare, nOrder)) {
        delete pcl;
        return nullptr;
    }
    return pcl;
}

int CMemBTree::bInit(unsigned int nKeySize, unsigned int nValueSize, PFNMEMBTREECOMPARE pfnKeyCompare,
                     PFNMEMBTREECOMPARE pfnValueCompare, int nOrder)
{
    // The split rule needs two keys per node at least.
    if (m_nOrder != 0 || nKeySize == 0 || nOrder == 1 || nOrder < 0 || pfnKeyCompare == nullptr
        || (nValueSize != 0 && pfnValueCompare == nullptr))
        return 0;
    const int nOrd = nOrder == 0 ? 32 : nOrder;
    const unsigned long long nSlot = nValueSize == 0 ? 0 : (nValueSize > sizeof(void*) ? nValueSize : sizeof(void*));
    const unsigned long long nIndexSize
        = static_cast<unsigned long long>(nOrd) * (nKeySize + static_cast<unsigned long long>(kPointer))
          + sizeof(CMemIndexNode) + kPointer;
    unsigned long long nLeafSize = sizeof(CMemDataNode) + static_cast<unsigned long long>(nOrd) * (nKeySize + nSlot);
    if (nValueSize != 0)
        nLeafSize += static_cast<unsigned long long>((nOrd - 1) / 32 + 1) * 4;
    const unsigned long long nVectorMax = static_cast<unsigned long long>(Capacity(5)) * nValueSize + sizeof(CMemBucket);
    if (nIndexSize > kMaxObjectSize || nLeafSize > kMaxObjectSize || nVectorMax > kMaxObjectSize)
        return 0;

    CTObjAlloc* pclIndex = new (std::nothrow)
        CTObjAlloc(ObjectsPerChunk(static_cast<unsigned int>(nIndexSize)), static_cast<unsigned int>(nIndexSize));
    CTObjAlloc* pclData = new (std::nothrow)
        CTObjAlloc(ObjectsPerChunk(static_cast<unsigned int>(nLeafSize)), static_cast<unsigned int>(nLeafSize));
    CTObjAlloc* apclBucket[CMemBucket::eClassCount] = {};
    bool bOk = pclIndex != nullptr && pclData != nullptr;
    if (nValueSize != 0) {
        for (int c = 0; c < CMemBucket::eClassCount && bOk; c++) {
            unsigned int nSize = c == CMemBucket::eNestedClass
                ? static_cast<unsigned int>(sizeof(CMemBucket) + sizeof(CMemBTree))
                : static_cast<unsigned int>(Capacity(c) * nValueSize + sizeof(CMemBucket));
            apclBucket[c] = new (std::nothrow) CTObjAlloc(ObjectsPerChunk(nSize), nSize);
            bOk = apclBucket[c] != nullptr;
        }
    }
    if (!bOk) {
        delete pclIndex;
        delete pclData;
        for (CTObjAlloc* pcl : apclBucket)
            delete pcl;
        return 0;
    }
    m_pclIndexPool = pclIndex;
    m_pclDataPool = pclData;
    m_nOrder = nOrd;
    m_nMinFill = nOrd / 2;
    m_pfnKeyCompare = pfnKeyCompare;
    m_pfnValueCompare = pfnValueCompare;
    m_nKeySize = nKeySize;
    m_nValueSize = nValueSize;
    m_nSlotSize = static_cast<unsigned int>(nSlot);
    for (int c = 0; c < CMemBucket::eClassCount; c++)
        m_apclBucketPool[c] = apclBucket[c];
    return 1;
}

// ---------------------------------------------------------------- searches

int CMemBTree::_nChildIndex(CMemIndexNode* p, const void* pKey) const
{
    int bFound;
    int i = CMemNode::nSearch(m_nKeySize, p->m_nKeyCount, _pbyIndexKey(p, 0), pKey, m_pfnKeyCompare, &bFound);
    return bFound ? i + 1 : i;
}

CMemDataNode* CMemBTree::_pclFindLeaf(const void* pKey, CPath* pPath) const
{
    CMemNode* pcl = m_pclRoot;
    if (pcl == nullptr)
        return nullptr;
    while (pcl->m_nType != CMemNode::eData) {
        CMemIndexNode* pclNode = static_cast<CMemIndexNode*>(pcl);
        int i = _nChildIndex(pclNode, pKey);
        if (pPath != nullptr && pPath->nDepth < kMaxDepth) {
            pPath->apNode[pPath->nDepth] = pclNode;
            pPath->anChild[pPath->nDepth] = i;
            pPath->nDepth++;
        }
        pcl = _pclChild(pclNode, i);
    }
    return static_cast<CMemDataNode*>(pcl);
}

CMemDataNode* CMemBTree::_pclFirstLeaf() const
{
    CMemNode* pcl = m_pclRoot;
    if (pcl == nullptr)
        return nullptr;
    while (pcl->m_nType != CMemNode::eData)
        pcl = _pclChild(static_cast<CMemIndexNode*>(pcl), 0);
    return static_cast<CMemDataNode*>(pcl);
}

CMemDataNode* CMemBTree::_pclLastLeaf() const
{
    CMemNode* pcl = m_pclRoot;
    if (pcl == nullptr)
        return nullptr;
    while (pcl->m_nType != CMemNode::eData) {
        CMemIndexNode* pclNode = static_cast<CMemIndexNode*>(pcl);
        pcl = _pclChild(pclNode, pclNode->m_nKeyCount);
    }
    return static_cast<CMemDataNode*>(pcl);
}

const unsigned char* CMemBTree::_pbyFirstKey(CMemNode* p) const
{
    while (p->m_nType != CMemNode::eData)
        p = _pclChild(static_cast<CMemIndexNode*>(p), 0);
    return _pbyLeafKey(static_cast<CMemDataNode*>(p), 0);
}

const unsigned char* CMemBTree::_pbyValueAt(const CIterator& it) const
{
    if (it.m_pclLeaf == nullptr || m_nValueSize == 0)
        return nullptr;
    if (!_bIsBucket(it.m_pclLeaf, it.m_nKey))
        return _pbySlot(it.m_pclLeaf, it.m_nKey);
    CMemBucket* pcl = _pclBucket(it.m_pclLeaf, it.m_nKey);
    if (pcl->m_nClass == CMemBucket::eNestedClass)
        return _pclNested(pcl)->_pbyLeafKey(it.m_pclBucketLeaf, it.m_nBucketIndex);
    return _pbyVector(pcl) + static_cast<unsigned int>(it.m_nBucketIndex) * m_nValueSize;
}

void CMemBTree::_SeekPair(const void* pKey, const void* pValue, int* pbFound)
{
    *pbFound = 0;
    CIterator& it = m_clIterator;
    CMemDataNode* pclLeaf = _pclFindLeaf(pKey, nullptr);
    it.m_pclLeaf = pclLeaf;
    it.m_nKey = 0;
    it.m_pclBucketLeaf = nullptr;
    it.m_nBucketIndex = 0;
    if (pclLeaf == nullptr)
        return;
    int bFound;
    it.m_nKey = CMemNode::nSearch(m_nKeySize, pclLeaf->m_nKeyCount, _pbyLeafKey(pclLeaf, 0), pKey, m_pfnKeyCompare,
                                  &bFound);
    if (!bFound) {
        it.Validate();
        it._FirstValue();
        return;
    }
    it._FirstValue();
    if (m_nValueSize == 0 || pValue == nullptr) {
        *pbFound = 1;
        return;
    }
    bool bNextKey = false;
    if (!_bIsBucket(pclLeaf, it.m_nKey)) {
        int nCmp = m_pfnValueCompare(pValue, _pbySlot(pclLeaf, it.m_nKey), m_nValueSize);
        *pbFound = nCmp == 0;
        bNextKey = nCmp > 0;
    } else {
        CMemBucket* pcl = _pclBucket(pclLeaf, it.m_nKey);
        if (pcl->m_nClass == CMemBucket::eNestedClass) {
            CMemBTree* pclNested = _pclNested(pcl);
            CMemDataNode* pclIn = pclNested->_pclFindLeaf(pValue, nullptr);
            int nPos = CMemNode::nSearch(m_nValueSize, pclIn->m_nKeyCount, pclNested->_pbyLeafKey(pclIn, 0), pValue,
                                         m_pfnValueCompare, &bFound);
            if (nPos >= pclIn->m_nKeyCount) {
                pclIn = pclIn->m_pclNext;
                nPos = 0;
            }
            if (pclIn == nullptr) {
                bNextKey = true;
            } else {
                it.m_pclBucketLeaf = pclIn;
                it.m_nBucketIndex = nPos;
                *pbFound = bFound;
            }
        } else {
            int nPos = CMemNode::nSearch(m_nValueSize, pcl->m_nCount, _pbyVector(pcl), pValue, m_pfnValueCompare,
                                         &bFound);
            if (nPos >= pcl->m_nCount) {
                bNextKey = true;
            } else {
                it.m_nBucketIndex = nPos;
                *pbFound = bFound;
            }
        }
    }
    if (bNextKey)
        it.bKeyMoveForward();
}

int CMemBTree::_nRankInTree(CMemDataNode* pclLeaf, int nKey) const
{
    // Records before the first value of that key: the descent by its key
    // adds the children passed over.
    const unsigned char* pbyKey = _pbyLeafKey(pclLeaf, nKey);
    int nRank = 0;
    CMemNode* pcl = m_pclRoot;
    while (pcl->m_nType != CMemNode::eData) {
        CMemIndexNode* pclNode = static_cast<CMemIndexNode*>(pcl);
        int i = _nChildIndex(pclNode, pbyKey);
        for (int j = 0; j < i; j++)
            nRank += _nNodeRecords(_pclChild(pclNode, j));
        pcl = _pclChild(pclNode, i);
    }
    for (int j = 0; j < nKey; j++)
        nRank += _nValueCount(pclLeaf, j);
    return nRank;
}

long long CMemBTree::_llRank(const CIterator& it) const
{
    if (it.m_pclLeaf == nullptr)
        return nGetNumRecord();
    long long llRank = _nRankInTree(it.m_pclLeaf, it.m_nKey);
    if (_bIsBucket(it.m_pclLeaf, it.m_nKey)) {
        CMemBucket* pcl = _pclBucket(it.m_pclLeaf, it.m_nKey);
        if (pcl->m_nClass == CMemBucket::eNestedClass)
            llRank += _pclNested(pcl)->_nRankInTree(it.m_pclBucketLeaf, it.m_nBucketIndex);
        else
            llRank += it.m_nBucketIndex;
    }
    return llRank;
}

void CMemBTree::_PositionAt(CIterator& it, int n) const
{
    it.m_pclLeaf = nullptr;
    it.m_nKey = 0;
    it.m_pclBucketLeaf = nullptr;
    it.m_nBucketIndex = 0;
    if (m_pclRoot == nullptr || n < 0 || n >= m_pclRoot->m_nRecordCount)
        return;
    CMemNode* pcl = m_pclRoot;
    while (pcl->m_nType != CMemNode::eData) {
        CMemIndexNode* pclNode = static_cast<CMemIndexNode*>(pcl);
        int i = 0;
        for (; i < pclNode->m_nKeyCount; i++) {
            int nCount = _nNodeRecords(_pclChild(pclNode, i));
            if (n < nCount)
                break;
            n -= nCount;
        }
        pcl = _pclChild(pclNode, i);
    }
    CMemDataNode* pclLeaf = static_cast<CMemDataNode*>(pcl);
    int i = 0;
    for (; i < pclLeaf->m_nKeyCount - 1; i++) {
        int nCount = _nValueCount(pclLeaf, i);
        if (n < nCount)
            break;
        n -= nCount;
    }
    it.m_pclLeaf = pclLeaf;
    it.m_nKey = i;
    if (_bIsBucket(pclLeaf, i)) {
        CMemBucket* pclBucket = _pclBucket(pclLeaf, i);
        if (pclBucket->m_nClass == CMemBucket::eNestedClass) {
            CIterator itIn;
            CMemBTree* pclNested = _pclNested(pclBucket);
            itIn.m_pclTree = pclNested;
            pclNested->_PositionAt(itIn, n);
            it.m_pclBucketLeaf = itIn.m_pclLeaf;
            it.m_nBucketIndex = itIn.m_nKey;
        } else {
            it.m_nBucketIndex = n;
        }
    }
}

bool CMemBTree::_bSaveIterator(CScratch& cl) const
{
    const CIterator& it = m_clIterator;
    if (it.m_pclLeaf == nullptr) {
        cl.nState = CScratch::eNone;
        return false;
    }
    if (!cl.bReserve(m_nKeySize + m_nValueSize)) {
        cl.nState = CScratch::eLost;
        return false;
    }
    std::memcpy(cl.pby, _pbyLeafKey(it.m_pclLeaf, it.m_nKey), m_nKeySize);
    if (m_nValueSize != 0)
        std::memcpy(cl.pby + m_nKeySize, _pbyValueAt(it), m_nValueSize);
    cl.nState = CScratch::eSaved;
    return true;
}

void CMemBTree::_RestoreIterator(const CScratch& cl, bool bSaved)
{
    if (bSaved) {
        int bFound;
        _SeekPair(cl.pby, m_nValueSize != 0 ? cl.pby + m_nKeySize : nullptr, &bFound);
    } else if (cl.nState == CScratch::eLost) {
        GotoEnd();
    }
    if (m_pclRoot == nullptr)
        m_clIterator.m_pclLeaf = nullptr;
}

// ---------------------------------------------------------------- leaf and node edits

void CMemBTree::_LeafShift(CMemDataNode* p, int nFrom, int nBy)
{
    const int nCount = p->m_nKeyCount - nFrom;
    if (nCount <= 0)
        return;
    std::memmove(_pbyLeafKey(p, nFrom + nBy), _pbyLeafKey(p, nFrom), static_cast<unsigned int>(nCount) * m_nKeySize);
    if (m_nValueSize == 0)
        return;
    std::memmove(_pbySlot(p, nFrom + nBy), _pbySlot(p, nFrom), static_cast<unsigned int>(nCount) * m_nSlotSize);
    if (m_nOrder <= 32) {
        // One bit word: a masked shift.
        auto Mask = [](int n) { return n >= 32 ? ~0u : (1u << n) - 1; };
        std::uint32_t w;
        std::memcpy(&w, _pbyBits(p), sizeof(w));
        if (w == 0)
            return;
        const std::uint32_t nHigh = w & ~Mask(nFrom);
        if (nBy > 0)
            w = (w & Mask(nFrom)) | (nHigh << nBy);
        else
            w = (w & Mask(nFrom + nBy)) | (nHigh >> -nBy);
        std::memcpy(_pbyBits(p), &w, sizeof(w));
        return;
    }
    if (nBy > 0) {
        for (int i = p->m_nKeyCount - 1; i >= nFrom; i--)
            _SetBucketBit(p, i + nBy, _bIsBucket(p, i));
    } else {
        for (int i = nFrom; i < p->m_nKeyCount; i++)
            _SetBucketBit(p, i + nBy, _bIsBucket(p, i));
    }
}

void CMemBTree::_LeafMove(CMemDataNode* pDst, int nDst, CMemDataNode* pSrc, int nSrc, int n)
{
    if (n <= 0)
        return;
    std::memmove(_pbyLeafKey(pDst, nDst), _pbyLeafKey(pSrc, nSrc), static_cast<unsigned int>(n) * m_nKeySize);
    if (m_nValueSize == 0)
        return;
    std::memmove(_pbySlot(pDst, nDst), _pbySlot(pSrc, nSrc), static_cast<unsigned int>(n) * m_nSlotSize);
    for (int i = 0; i < n; i++)
        _SetBucketBit(pDst, nDst + i, _bIsBucket(pSrc, nSrc + i));
}

void CMemBTree::_LeafInsertAt(CMemDataNode* p, int nPos, const void* pKey, const void* pValue)
{
    _LeafShift(p, nPos, 1);
    std::memcpy(_pbyLeafKey(p, nPos), pKey, m_nKeySize);
    if (m_nValueSize != 0) {
        std::memcpy(_pbySlot(p, nPos), pValue, m_nValueSize);
        _SetBucketBit(p, nPos, false);
    }
    p->m_nKeyCount++;
    p->m_nRecordCount++;
}

void CMemBTree::_IndexInsertAt(CMemIndexNode* p, int nKeyPos, const void* pKey, CMemNode* pclChild)
{
    const int k = p->m_nKeyCount;
    std::memmove(_pbyIndexKey(p, nKeyPos + 1), _pbyIndexKey(p, nKeyPos),
                 static_cast<unsigned int>(k - nKeyPos) * m_nKeySize);
    std::memmove(_pbyChildSlot(p, nKeyPos + 2), _pbyChildSlot(p, nKeyPos + 1),
                 static_cast<unsigned int>(k - nKeyPos) * kPointer);
    std::memcpy(_pbyIndexKey(p, nKeyPos), pKey, m_nKeySize);
    _SetChild(p, nKeyPos + 1, pclChild);
    p->m_nKeyCount++;
}

void CMemBTree::_IndexRemoveAt(CMemIndexNode* p, int nKeyPos)
{
    const int k = p->m_nKeyCount;
    std::memmove(_pbyIndexKey(p, nKeyPos), _pbyIndexKey(p, nKeyPos + 1),
                 static_cast<unsigned int>(k - nKeyPos - 1) * m_nKeySize);
    std::memmove(_pbyChildSlot(p, nKeyPos + 1), _pbyChildSlot(p, nKeyPos + 2),
                 static_cast<unsigned int>(k - nKeyPos - 1) * kPointer);
    p->m_nKeyCount--;
}

// ---------------------------------------------------------------- insertion

bool CMemBTree::_bLeafRotateOnInsert(CMemIndexNode* pParent, int nChild, int nPos, const void* pKey,
                                     const void* pValue)
{
    CMemDataNode* pclLeaf = static_cast<CMemDataNode*>(_pclChild(pParent, nChild));
    if (nChild < pParent->m_nKeyCount) {
        CMemDataNode* pclRight = static_cast<CMemDataNode*>(_pclChild(pParent, nChild + 1));
        if (pclRight->m_nKeyCount < m_nOrder) {
            if (nPos == pclLeaf->m_nKeyCount) {
                _LeafInsertAt(pclRight, 0, pKey, pValue);
            } else {
                const int nLast = pclLeaf->m_nKeyCount - 1;
                const int nMoved = _nValueCount(pclLeaf, nLast);
                _LeafShift(pclRight, 0, 1);
                _LeafMove(pclRight, 0, pclLeaf, nLast, 1);
                pclRight->m_nKeyCount++;
                pclRight->m_nRecordCount += nMoved;
                pclLeaf->m_nKeyCount--;
                pclLeaf->m_nRecordCount -= nMoved;
                _LeafInsertAt(pclLeaf, nPos, pKey, pValue);
            }
            std::memcpy(_pbyIndexKey(pParent, nChild), _pbyLeafKey(pclRight, 0), m_nKeySize);
            return true;
        }
    }
    if (nChild > 0) {
        CMemDataNode* pclLeft = static_cast<CMemDataNode*>(_pclChild(pParent, nChild - 1));
        if (pclLeft->m_nKeyCount < m_nOrder) {
            const int nMoved = _nValueCount(pclLeaf, 0);
            _LeafMove(pclLeft, pclLeft->m_nKeyCount, pclLeaf, 0, 1);
            pclLeft->m_nKeyCount++;
            pclLeft->m_nRecordCount += nMoved;
            _LeafShift(pclLeaf, 1, -1);
            pclLeaf->m_nKeyCount--;
            pclLeaf->m_nRecordCount -= nMoved;
            _LeafInsertAt(pclLeaf, nPos - 1, pKey, pValue);
            std::memcpy(_pbyIndexKey(pParent, nChild - 1), _pbyLeafKey(pclLeaf, 0), m_nKeySize);
            return true;
        }
    }
    return false;
}

CMemDataNode* CMemBTree::_pclSplitLeaf(CMemDataNode* p, int nPos, const void* pKey, const void* pValue,
                                       CMemDataNode* pclNew)
{
    const int k = p->m_nKeyCount;
    const int m = (k + 1) / 2;
    pclNew->m_pclPrevious = p;
    pclNew->m_pclNext = p->m_pclNext;
    if (p->m_pclNext != nullptr)
        p->m_pclNext->m_pclPrevious = pclNew;
    p->m_pclNext = pclNew;
    _LeafMove(pclNew, 0, p, m, k - m);
    pclNew->m_nKeyCount = k - m;
    p->m_nKeyCount = m;
    if (nPos > m)
        _LeafInsertAt(pclNew, nPos - m, pKey, pValue);
    else
        _LeafInsertAt(p, nPos, pKey, pValue);
    for (CMemDataNode* pcl : {p, pclNew}) {
        int nRecords = 0;
        for (int i = 0; i < pcl->m_nKeyCount; i++)
            nRecords += _nValueCount(pcl, i);
        pcl->m_nRecordCount = nRecords;
    }
    return pclNew;
}

bool CMemBTree::_bIndexRotateOnInsert(CMemIndexNode* pParent, int nChild, int nKeyPos, const void* pKey,
                                      CMemNode* pclNew)
{
    CMemIndexNode* pclNode = static_cast<CMemIndexNode*>(_pclChild(pParent, nChild));
    const int k = pclNode->m_nKeyCount;
    if (nChild < pParent->m_nKeyCount) {
        CMemIndexNode* pclRight = static_cast<CMemIndexNode*>(_pclChild(pParent, nChild + 1));
        if (pclRight->m_nKeyCount < m_nOrder) {
            // The node's last child (the new one when it comes last) goes to
            // the front of the right brother; separators turn through the parent.
            CMemNode* pclMoved = nKeyPos == k ? pclNew : _pclChild(pclNode, k);
            std::memmove(_pbyIndexKey(pclRight, 1), _pbyIndexKey(pclRight, 0),
                         static_cast<unsigned int>(pclRight->m_nKeyCount) * m_nKeySize);
            std::memmove(_pbyChildSlot(pclRight, 1), _pbyChildSlot(pclRight, 0),
                         static_cast<unsigned int>(pclRight->m_nKeyCount + 1) * kPointer);
            std::memcpy(_pbyIndexKey(pclRight, 0), _pbyIndexKey(pParent, nChild), m_nKeySize);
            _SetChild(pclRight, 0, pclMoved);
            pclRight->m_nKeyCount++;
            const int nMoved = _nNodeRecords(pclMoved);
            pclRight->m_nRecordCount += nMoved;
            pclNode->m_nRecordCount -= nMoved;
            if (nKeyPos == k) {
                std::memcpy(_pbyIndexKey(pParent, nChild), pKey, m_nKeySize);
            } else {
                std::memcpy(_pbyIndexKey(pParent, nChild), _pbyIndexKey(pclNode, k - 1), m_nKeySize);
                pclNode->m_nKeyCount--;
                _IndexInsertAt(pclNode, nKeyPos, pKey, pclNew);
            }
            return true;
        }
    }
    if (nChild > 0) {
        CMemIndexNode* pclLeft = static_cast<CMemIndexNode*>(_pclChild(pParent, nChild - 1));
        if (pclLeft->m_nKeyCount < m_nOrder) {
            // The node's first child goes to the end of the left brother.
            CMemNode* pclMoved = _pclChild(pclNode, 0);
            std::memcpy(_pbyIndexKey(pclLeft, pclLeft->m_nKeyCount), _pbyIndexKey(pParent, nChild - 1), m_nKeySize);
            _SetChild(pclLeft, pclLeft->m_nKeyCount + 1, pclMoved);
            pclLeft->m_nKeyCount++;
            const int nMoved = _nNodeRecords(pclMoved);
            pclLeft->m_nRecordCount += nMoved;
            pclNode->m_nRecordCount -= nMoved;
            if (nKeyPos == 0) {
                std::memcpy(_pbyIndexKey(pParent, nChild - 1), pKey, m_nKeySize);
                _SetChild(pclNode, 0, pclNew);
            } else {
                std::memcpy(_pbyIndexKey(pParent, nChild - 1), _pbyIndexKey(pclNode, 0), m_nKeySize);
                std::memmove(_pbyIndexKey(pclNode, 0), _pbyIndexKey(pclNode, 1),
                             static_cast<unsigned int>(k - 1) * m_nKeySize);
                std::memmove(_pbyChildSlot(pclNode, 0), _pbyChildSlot(pclNode, 1),
                             static_cast<unsigned int>(k) * kPointer);
                pclNode->m_nKeyCount--;
                _IndexInsertAt(pclNode, nKeyPos - 1, pKey, pclNew);
            }
            return true;
        }
    }
    return false;
}

CMemIndexNode* CMemBTree::_pclSplitIndex(CMemIndexNode* p, int nKeyPos, const void* pKey, CMemNode* pclNew,
                                         CMemIndexNode* pclRight, const void** ppUp)
{
    // Of the k + 1 keys with the new one, the first m stay, the next goes up
    // and the rest go right.
    const int k = p->m_nKeyCount;
    const int m = (k + 1) / 2;
    pclRight->m_nType = CMemNode::eIndex;
    if (nKeyPos == m) {
        _SetChild(pclRight, 0, pclNew);
        std::memcpy(_pbyIndexKey(pclRight, 0), _pbyIndexKey(p, m), static_cast<unsigned int>(k - m) * m_nKeySize);
        std::memcpy(_pbyChildSlot(pclRight, 1), _pbyChildSlot(p, m + 1), static_cast<unsigned int>(k - m) * kPointer);
        pclRight->m_nKeyCount = k - m;
        p->m_nKeyCount = m;
    } else if (nKeyPos > m) {
        std::memcpy(_pbyIndexKey(pclRight, 0), _pbyIndexKey(p, m + 1),
                    static_cast<unsigned int>(k - m - 1) * m_nKeySize);
        std::memcpy(_pbyChildSlot(pclRight, 0), _pbyChildSlot(p, m + 1), static_cast<unsigned int>(k - m) * kPointer);
        pclRight->m_nKeyCount = k - m - 1;
        p->m_nKeyCount = m;
        _IndexInsertAt(pclRight, nKeyPos - m - 1, pKey, pclNew);
    } else {
        std::memcpy(_pbyIndexKey(pclRight, 0), _pbyIndexKey(p, m), static_cast<unsigned int>(k - m) * m_nKeySize);
        std::memcpy(_pbyChildSlot(pclRight, 0), _pbyChildSlot(p, m), static_cast<unsigned int>(k - m + 1) * kPointer);
        pclRight->m_nKeyCount = k - m;
        p->m_nKeyCount = m - 1;
        _IndexInsertAt(p, nKeyPos, pKey, pclNew);
    }
    int nLeft = 0;
    for (int i = 0; i <= p->m_nKeyCount; i++)
        nLeft += _nNodeRecords(_pclChild(p, i));
    pclRight->m_nRecordCount = p->m_nRecordCount - nLeft;
    p->m_nRecordCount = nLeft;
    // The separator is the first key of the right subtree, read from its leaf.
    *ppUp = _pbyFirstKey(pclRight);
    return pclRight;
}

int CMemBTree::_bAddValue(CMemDataNode* pclLeaf, int nPos, const void* pValue)
{
    if (m_nValueSize == 0)
        return 0;
    const unsigned int nVs = m_nValueSize;
    if (!_bIsBucket(pclLeaf, nPos)) {
        unsigned char* pbySlot = _pbySlot(pclLeaf, nPos);
        int nCmp = m_pfnValueCompare(pValue, pbySlot, nVs);
        if (nCmp == 0)
            return 0;
        CMemBucket* pcl = _pclNewBucket(0);
        if (pcl == nullptr)
            return 0;
        unsigned char* pbyVec = _pbyVector(pcl);
        std::memcpy(pbyVec + (nCmp < 0 ? nVs : 0), pbySlot, nVs);
        std::memcpy(pbyVec + (nCmp < 0 ? 0 : nVs), pValue, nVs);
        pcl->m_nCount = 2;
        _SetBucket(pclLeaf, nPos, pcl);
        pclLeaf->m_nRecordCount++;
        return 1;
    }
    CMemBucket* pcl = _pclBucket(pclLeaf, nPos);
    if (pcl->m_nClass == CMemBucket::eNestedClass) {
        if (!_pclNested(pcl)->_bInsert(pValue, nullptr))
            return 0;
        pclLeaf->m_nRecordCount++;
        return 1;
    }
    int bFound;
    const int nCount = pcl->m_nCount;
    int i = CMemNode::nSearch(nVs, nCount, _pbyVector(pcl), pValue, m_pfnValueCompare, &bFound);
    if (bFound)
        return 0;
    if (nCount < Capacity(pcl->m_nClass)) {
        unsigned char* pbyVec = _pbyVector(pcl);
        std::memmove(pbyVec + (i + 1) * nVs, pbyVec + i * nVs, (nCount - i) * nVs);
        std::memcpy(pbyVec + i * nVs, pValue, nVs);
        pcl->m_nCount++;
    } else if (pcl->m_nClass + 1 < CMemBucket::eNestedClass) {
        CMemBucket* pclBig = _pclNewBucket(pcl->m_nClass + 1);
        if (pclBig == nullptr)
            return 0;
        unsigned char* pbyFrom = _pbyVector(pcl);
        unsigned char* pbyTo = _pbyVector(pclBig);
        std::memcpy(pbyTo, pbyFrom, i * nVs);
        std::memcpy(pbyTo + i * nVs, pValue, nVs);
        std::memcpy(pbyTo + (i + 1) * nVs, pbyFrom + i * nVs, (nCount - i) * nVs);
        pclBig->m_nCount = static_cast<short>(nCount + 1);
        _FreeBucket(pcl);
        _SetBucket(pclLeaf, nPos, pclBig);
    } else {
        CMemBucket* pclTree = _pclNewBucket(CMemBucket::eNestedClass);
        if (pclTree == nullptr)
            return 0;
        CMemBTree* pclNested = _pclNested(pclTree);
        if (!pclNested->_bBuildSorted(_pbyVector(pcl), nCount) || !pclNested->_bInsert(pValue, nullptr)) {
            _FreeBucket(pclTree);
            return 0;
        }
        _FreeBucket(pcl);
        _SetBucket(pclLeaf, nPos, pclTree);
    }
    pclLeaf->m_nRecordCount++;
    return 1;
}

int CMemBTree::_bInsert(const void* pKey, const void* pValue)
{
    if (m_pclRoot == nullptr) {
        CMemIndexNode* pclRoot = _pclNewIndex(CMemNode::eRoot);
        CMemDataNode* pclLeaf = pclRoot != nullptr ? _pclNewLeaf() : nullptr;
        if (pclLeaf == nullptr) {
            if (pclRoot != nullptr)
                _FreeIndex(pclRoot);
            return 0;
        }
        _SetChild(pclRoot, 0, pclLeaf);
        _LeafInsertAt(pclLeaf, 0, pKey, pValue);
        pclRoot->m_nRecordCount = 1;
        m_pclRoot = pclRoot;
        return 1;
    }
    CPath clPath;
    CMemDataNode* pclLeaf = _pclFindLeaf(pKey, &clPath);
    int bFound;
    const int nPos = CMemNode::nSearch(m_nKeySize, pclLeaf->m_nKeyCount, _pbyLeafKey(pclLeaf, 0), pKey,
                                       m_pfnKeyCompare, &bFound);
    const int nDepth = clPath.nDepth;
    if (bFound) {
        if (!_bAddValue(pclLeaf, nPos, pValue))
            return 0;
    } else if (pclLeaf->m_nKeyCount < m_nOrder) {
        _LeafInsertAt(pclLeaf, nPos, pKey, pValue);
    } else if (!_bLeafRotateOnInsert(clPath.apNode[nDepth - 1], clPath.anChild[nDepth - 1], nPos, pKey, pValue)) {
        // Splits up to the first node with room, and a new root when every
        // node is full: all of them taken first so that no half-made split
        // is left without memory.
        int nNeed = 0;
        int d = nDepth - 1;
        while (d >= 0 && clPath.apNode[d]->m_nKeyCount == m_nOrder) {
            nNeed++;
            d--;
        }
        if (d < 0)
            nNeed++;
        CMemIndexNode* apSpare[kMaxDepth + 1];
        int nSpare = 0;
        CMemDataNode* pclNewLeaf = _pclNewLeaf();
        while (pclNewLeaf != nullptr && nSpare < nNeed) {
            apSpare[nSpare] = _pclNewIndex(CMemNode::eIndex);
            if (apSpare[nSpare] == nullptr)
                break;
            nSpare++;
        }
        if (pclNewLeaf == nullptr || nSpare < nNeed) {
            while (nSpare > 0)
                _FreeIndex(apSpare[--nSpare]);
            if (pclNewLeaf != nullptr)
                _FreeLeaf(pclNewLeaf);
            return 0;
        }
        for (int i = 0; i < nDepth; i++)
            clPath.apNode[i]->m_nRecordCount++;
        _pclSplitLeaf(pclLeaf, nPos, pKey, pValue, pclNewLeaf);
        CMemNode* pclPending = pclNewLeaf;
        const void* pSep = _pbyLeafKey(pclNewLeaf, 0);
        for (d = nDepth - 1; d >= 0 && pclPending != nullptr; d--) {
            CMemIndexNode* pclNode = clPath.apNode[d];
            const int j = clPath.anChild[d];
            if (pclNode->m_nKeyCount < m_nOrder) {
                _IndexInsertAt(pclNode, j, pSep, pclPending);
                pclPending = nullptr;
            } else if (d > 0 && _bIndexRotateOnInsert(clPath.apNode[d - 1], clPath.anChild[d - 1], j, pSep,
                                                      pclPending)) {
                pclPending = nullptr;
            } else {
                CMemIndexNode* pclRight = apSpare[--nSpare];
                const void* pUp;
                _pclSplitIndex(pclNode, j, pSep, pclPending, pclRight, &pUp);
                pclPending = pclRight;
                pSep = pUp;
            }
        }
        if (pclPending != nullptr) {
            CMemIndexNode* pclOld = m_pclRoot;
            CMemIndexNode* pclRoot = apSpare[--nSpare];
            pclRoot->m_nType = CMemNode::eRoot;
            pclOld->m_nType = CMemNode::eIndex;
            _SetChild(pclRoot, 0, pclOld);
            _IndexInsertAt(pclRoot, 0, pSep, pclPending);
            pclRoot->m_nRecordCount = pclOld->m_nRecordCount + _nNodeRecords(pclPending);
            m_pclRoot = pclRoot;
        }
        while (nSpare > 0)
            _FreeIndex(apSpare[--nSpare]);
        return 1;
    }
    for (int i = 0; i < nDepth; i++)
        clPath.apNode[i]->m_nRecordCount++;
    return 1;
}

int CMemBTree::bInsert(const void* pKey, const void* pValue)
{
    if (m_nOrder == 0 || pKey == nullptr || (m_nValueSize != 0 && pValue == nullptr))
        return 0;
    CScratch cl;
    const bool bSaved = _bSaveIterator(cl);
    if (!_bInsert(pKey, pValue))
        return 0;
    _RestoreIterator(cl, bSaved);
    return 1;
}

// ---------------------------------------------------------------- deletion

int CMemBTree::_nRebalance(CMemIndexNode* pParent, int nChild)
{
    CMemNode* pclChild = _pclChild(pParent, nChild);
    const bool bLeaf = pclChild->m_nType == CMemNode::eData;
    CMemNode* pclLeft = nChild > 0 ? _pclChild(pParent, nChild - 1) : nullptr;
    CMemNode* pclRight = nChild < pParent->m_nKeyCount ? _pclChild(pParent, nChild + 1) : nullptr;
    const int kc = KeyCount(pclChild);
    const int kl = pclLeft != nullptr ? KeyCount(pclLeft) : 0;
    const int kr = pclRight != nullptr ? KeyCount(pclRight) : 0;
    const bool bUseRight = pclRight != nullptr && (pclLeft == nullptr || kr <= kl);
    const int nExtra = bLeaf ? 0 : 1;

    if ((bUseRight ? kc + kr : kc + kl) + nExtra <= m_nOrder) {
        // The right one of the pair is absorbed into the left one.
        const int nLeftIndex = bUseRight ? nChild : nChild - 1;
        CMemNode* pclA = _pclChild(pParent, nLeftIndex);
        CMemNode* pclB = _pclChild(pParent, nLeftIndex + 1);
        if (bLeaf) {
            CMemDataNode* a = static_cast<CMemDataNode*>(pclA);
            CMemDataNode* b = static_cast<CMemDataNode*>(pclB);
            _LeafMove(a, a->m_nKeyCount, b, 0, b->m_nKeyCount);
            a->m_nKeyCount += b->m_nKeyCount;
            a->m_nRecordCount += b->m_nRecordCount;
            a->m_pclNext = b->m_pclNext;
            if (b->m_pclNext != nullptr)
                b->m_pclNext->m_pclPrevious = a;
            _FreeLeaf(b);
        } else {
            CMemIndexNode* a = static_cast<CMemIndexNode*>(pclA);
            CMemIndexNode* b = static_cast<CMemIndexNode*>(pclB);
            std::memcpy(_pbyIndexKey(a, a->m_nKeyCount), _pbyIndexKey(pParent, nLeftIndex), m_nKeySize);
            std::memcpy(_pbyIndexKey(a, a->m_nKeyCount + 1), _pbyIndexKey(b, 0),
                        static_cast<unsigned int>(b->m_nKeyCount) * m_nKeySize);
            std::memcpy(_pbyChildSlot(a, a->m_nKeyCount + 1), _pbyChildSlot(b, 0),
                        static_cast<unsigned int>(b->m_nKeyCount + 1) * kPointer);
            a->m_nKeyCount += b->m_nKeyCount + 1;
            a->m_nRecordCount += b->m_nRecordCount;
            _FreeIndex(b);
        }
        _IndexRemoveAt(pParent, nLeftIndex);
        return nLeftIndex;
    }
    if (pclRight != nullptr && kr > m_nMinFill) {
        if (bLeaf) {
            CMemDataNode* c = static_cast<CMemDataNode*>(pclChild);
            CMemDataNode* r = static_cast<CMemDataNode*>(pclRight);
            const int nMoved = _nValueCount(r, 0);
            _LeafMove(c, c->m_nKeyCount, r, 0, 1);
            c->m_nKeyCount++;
            c->m_nRecordCount += nMoved;
            _LeafShift(r, 1, -1);
            r->m_nKeyCount--;
            r->m_nRecordCount -= nMoved;
            std::memcpy(_pbyIndexKey(pParent, nChild), _pbyLeafKey(r, 0), m_nKeySize);
        } else {
            CMemIndexNode* c = static_cast<CMemIndexNode*>(pclChild);
            CMemIndexNode* r = static_cast<CMemIndexNode*>(pclRight);
            CMemNode* pclMoved = _pclChild(r, 0);
            const int nMoved = _nNodeRecords(pclMoved);
            std::memcpy(_pbyIndexKey(c, c->m_nKeyCount), _pbyIndexKey(pParent, nChild), m_nKeySize);
            _SetChild(c, c->m_nKeyCount + 1, pclMoved);
            c->m_nKeyCount++;
            c->m_nRecordCount += nMoved;
            std::memcpy(_pbyIndexKey(pParent, nChild), _pbyIndexKey(r, 0), m_nKeySize);
            std::memmove(_pbyIndexKey(r, 0), _pbyIndexKey(r, 1), static_cast<unsigned int>(kr - 1) * m_nKeySize);
            std::memmove(_pbyChildSlot(r, 0), _pbyChildSlot(r, 1), static_cast<unsigned int>(kr) * kPointer);
            r->m_nKeyCount--;
            r->m_nRecordCount -= nMoved;
        }
        return nChild;
    }
    if (pclLeft != nullptr && kl > m_nMinFill) {
        if (bLeaf) {
            CMemDataNode* c = static_cast<CMemDataNode*>(pclChild);
            CMemDataNode* l = static_cast<CMemDataNode*>(pclLeft);
            const int nMoved = _nValueCount(l, kl - 1);
            _LeafShift(c, 0, 1);
            _LeafMove(c, 0, l, kl - 1, 1);
            c->m_nKeyCount++;
            c->m_nRecordCount += nMoved;
            l->m_nKeyCount--;
            l->m_nRecordCount -= nMoved;
            std::memcpy(_pbyIndexKey(pParent, nChild - 1), _pbyLeafKey(c, 0), m_nKeySize);
        } else {
            CMemIndexNode* c = static_cast<CMemIndexNode*>(pclChild);
            CMemIndexNode* l = static_cast<CMemIndexNode*>(pclLeft);
            CMemNode* pclMoved = _pclChild(l, kl);
            const int nMoved = _nNodeRecords(pclMoved);
            std::memmove(_pbyIndexKey(c, 1), _pbyIndexKey(c, 0), static_cast<unsigned int>(kc) * m_nKeySize);
            std::memmove(_pbyChildSlot(c, 1), _pbyChildSlot(c, 0), static_cast<unsigned int>(kc + 1) * kPointer);
            std::memcpy(_pbyIndexKey(c, 0), _pbyIndexKey(pParent, nChild - 1), m_nKeySize);
            _SetChild(c, 0, pclMoved);
            c->m_nKeyCount++;
            c->m_nRecordCount += nMoved;
            std::memcpy(_pbyIndexKey(pParent, nChild - 1), _pbyIndexKey(l, kl - 1), m_nKeySize);
            l->m_nKeyCount--;
            l->m_nRecordCount -= nMoved;
        }
    }
    return nChild;
}

int CMemBTree::_bDelete(const void* pKey, const void* pValue)
{
    if (m_pclRoot == nullptr)
        return 0;
    CPath clPath;
    CMemDataNode* pclLeaf = _pclFindLeaf(pKey, &clPath);
    int bFound;
    const int nPos = CMemNode::nSearch(m_nKeySize, pclLeaf->m_nKeyCount, _pbyLeafKey(pclLeaf, 0), pKey,
                                       m_pfnKeyCompare, &bFound);
    if (!bFound)
        return 0;
    const int nDepth = clPath.nDepth;
    const unsigned int nVs = m_nValueSize;

    if (pValue != nullptr && nVs != 0 && _bIsBucket(pclLeaf, nPos)) {
        // One value leaves the bucket; the key stays.
        CMemBucket* pcl = _pclBucket(pclLeaf, nPos);
        CMemBucket* pclNew = nullptr;
        if (pcl->m_nClass == CMemBucket::eNestedClass) {
            CMemBTree* pclNested = _pclNested(pcl);
            const int nAfter = pclNested->nGetNumRecord() - 1;
            if (nAfter < Threshold(CMemBucket::eNestedClass) && nAfter >= 2) {
                int c = 5;
                while (c > 0 && !(Threshold(c) < nAfter && nAfter <= Capacity(c)))
                    c--;
                pclNew = _pclNewBucket(c);
            }
            if (!pclNested->_bDelete(pValue, nullptr)) {
                if (pclNew != nullptr)
                    _FreeBucket(pclNew);
                return 0;
            }
            if (pclNew != nullptr) {
                unsigned char* pbyTo = _pbyVector(pclNew);
                for (CMemDataNode* p = pclNested->_pclFirstLeaf(); p != nullptr; p = p->m_pclNext) {
                    std::memcpy(pbyTo, pclNested->_pbyLeafKey(p, 0), p->m_nKeyCount * nVs);
                    pbyTo += p->m_nKeyCount * nVs;
                }
                pclNew->m_nCount = static_cast<short>(nAfter);
                _FreeBucket(pcl);
                _SetBucket(pclLeaf, nPos, pclNew);
            }
        } else {
            const int nBefore = pcl->m_nCount;
            int i = CMemNode::nSearch(nVs, nBefore, _pbyVector(pcl), pValue, m_pfnValueCompare, &bFound);
            if (!bFound)
                return 0;
            unsigned char* pbyVec = _pbyVector(pcl);
            std::memmove(pbyVec + i * nVs, pbyVec + (i + 1) * nVs, (nBefore - i - 1) * nVs);
            pcl->m_nCount--;
            if (pcl->m_nCount == 1) {
                std::memcpy(_pbySlot(pclLeaf, nPos), pbyVec, nVs);
                _FreeBucket(pcl);
                _SetBucketBit(pclLeaf, nPos, false);
            } else if (pcl->m_nClass > 0 && nBefore <= Threshold(pcl->m_nClass)) {
                pclNew = _pclNewBucket(pcl->m_nClass - 1);
                if (pclNew != nullptr) {
                    std::memcpy(_pbyVector(pclNew), pbyVec, pcl->m_nCount * nVs);
                    pclNew->m_nCount = pcl->m_nCount;
                    _FreeBucket(pcl);
                    _SetBucket(pclLeaf, nPos, pclNew);
                }
            }
        }
        pclLeaf->m_nRecordCount--;
        for (int d = 0; d < nDepth; d++)
            clPath.apNode[d]->m_nRecordCount--;
        return 1;
    }
    if (pValue != nullptr && nVs != 0 && m_pfnValueCompare(pValue, _pbySlot(pclLeaf, nPos), nVs) != 0)
        return 0;

    // The whole key goes, then the nodes are rebalanced up to the root.
    const int nRemoved = _nValueCount(pclLeaf, nPos);
    _FreeSlotContents(pclLeaf, nPos);
    _LeafShift(pclLeaf, nPos + 1, -1);
    pclLeaf->m_nKeyCount--;
    pclLeaf->m_nRecordCount -= nRemoved;
    for (int d = 0; d < nDepth; d++)
        clPath.apNode[d]->m_nRecordCount -= nRemoved;
    if (m_pclRoot->m_nRecordCount == 0) {
        _FreeAll();
        return 1;
    }
    bool bFirstChanged = nPos == 0;
    CMemNode* pclChild = pclLeaf;
    for (int d = nDepth - 1; d >= 0; d--) {
        CMemIndexNode* pclNode = clPath.apNode[d];
        int j = clPath.anChild[d];
        // The separator first, as a merge or rotation below brings it down.
        const bool bEmptyLeaf = pclChild->m_nType == CMemNode::eData && KeyCount(pclChild) == 0;
        if (bFirstChanged && j > 0 && !bEmptyLeaf)
            std::memcpy(_pbyIndexKey(pclNode, j - 1), _pbyFirstKey(pclChild), m_nKeySize);
        if (KeyCount(pclChild) < m_nMinFill && pclNode->m_nKeyCount > 0) {
            j = _nRebalance(pclNode, j);
            if (j > 0)
                std::memcpy(_pbyIndexKey(pclNode, j - 1), _pbyFirstKey(_pclChild(pclNode, j)), m_nKeySize);
            bFirstChanged = j == 0;
        } else {
            bFirstChanged = bFirstChanged && j == 0;
        }
        pclChild = pclNode;
    }
    if (m_pclRoot->m_nKeyCount == 0) {
        CMemNode* pclOnly = _pclChild(m_pclRoot, 0);
        if (pclOnly->m_nType != CMemNode::eData) {
            _FreeIndex(m_pclRoot);
            m_pclRoot = static_cast<CMemIndexNode*>(pclOnly);
            m_pclRoot->m_nType = CMemNode::eRoot;
        }
    }
    return 1;
}

int CMemBTree::bDelete(const void* pKey, const void* pValue)
{
    if (m_nOrder == 0 || pKey == nullptr)
        return 0;
    CScratch cl;
    const bool bSaved = _bSaveIterator(cl);
    if (!_bDelete(pKey, pValue))
        return 0;
    _RestoreIterator(cl, bSaved);
    return 1;
}

int CMemBTree::bDeleteCurrentRecord()
{
    if (m_nOrder == 0 || m_clIterator.m_pclLeaf == nullptr)
        return 0;
    CScratch cl;
    if (!_bSaveIterator(cl))
        return 0;
    const void* pValue = m_nValueSize != 0 ? cl.pby + m_nKeySize : nullptr;
    if (!_bDelete(cl.pby, pValue))
        return 0;
    _RestoreIterator(cl, true);
    return 1;
}

// ---------------------------------------------------------------- positions

const void* CMemBTree::pSearch(const void* pKey, int nFlags)
{
    if (m_pclRoot == nullptr || pKey == nullptr)
        return nullptr;
    CMemDataNode* pclLeaf = _pclFindLeaf(pKey, nullptr);
    int bFound;
    int nPos = CMemNode::nSearch(m_nKeySize, pclLeaf->m_nKeyCount, _pbyLeafKey(pclLeaf, 0), pKey, m_pfnKeyCompare,
                                 &bFound);
    if ((nFlags & eSearchExact) && !bFound)
        return nullptr;
    CIterator& it = m_clIterator;
    if (nFlags & eSearchLast) {
        if (!bFound) {
            nPos--;
            while (nPos < 0) {
                pclLeaf = pclLeaf->m_pclPrevious;
                if (pclLeaf == nullptr)
                    return nullptr;
                nPos = pclLeaf->m_nKeyCount - 1;
            }
        }
        it.m_pclLeaf = pclLeaf;
        it.m_nKey = nPos;
        it._LastValue();
    } else {
        while (nPos >= pclLeaf->m_nKeyCount) {
            pclLeaf = pclLeaf->m_pclNext;
            nPos = 0;
            if (pclLeaf == nullptr)
                return nullptr;
        }
        it.m_pclLeaf = pclLeaf;
        it.m_nKey = nPos;
        it._FirstValue();
    }
    return _pbyValueAt(it);
}

int CMemBTree::bFindRecord(const void* pKey, const void* pValue)
{
    if (m_pclRoot == nullptr || pKey == nullptr)
        return 0;
    int bFound;
    _SeekPair(pKey, pValue, &bFound);
    return bFound;
}

void CMemBTree::GotoFirstRecord()
{
    m_clIterator.bFirstRecord();
}

void CMemBTree::GotoEnd()
{
    m_clIterator.m_pclLeaf = nullptr;
    m_clIterator.m_nKey = 0;
    m_clIterator.m_pclBucketLeaf = nullptr;
    m_clIterator.m_nBucketIndex = 0;
}

void CMemBTree::MoveTo(int n)
{
    _PositionAt(m_clIterator, n);
}

int CMemBTree::bAdvance(int nSteps, int* pnDone, int nFlags)
{
    int nDummy;
    if (pnDone == nullptr)
        pnDone = &nDummy;
    *pnDone = 0;
    if (m_pclRoot == nullptr)
        return 0;
    if (nSteps == 0)
        return (nFlags & eAdvanceToEnd) ? 1 : !m_clIterator.bEnd();

    CIterator it = m_clIterator;
    long long llDone;
    if (nFlags & eAdvanceByKey) {
        // Leaf by leaf, a key being one step; the walk lands on a key's first value.
        llDone = 0;
        if (nSteps > 0) {
            long long llLeft = nSteps;
            if (it.m_pclLeaf != nullptr) {
                CMemDataNode* pcl = it.m_pclLeaf;
                int q = it.m_nKey;
                for (;;) {
                    const int nInLeaf = pcl->m_nKeyCount - 1 - q;
                    if (llLeft <= nInLeaf) {
                        q += static_cast<int>(llLeft);
                        llDone += llLeft;
                        break;
                    }
                    llDone += nInLeaf + 1;
                    llLeft -= nInLeaf + 1;
                    if (pcl->m_pclNext == nullptr) {
                        pcl = nullptr;
                        break;
                    }
                    pcl = pcl->m_pclNext;
                    q = 0;
                }
                if (pcl == nullptr && !(nFlags & eAdvanceToEnd)) {
                    llDone--;
                    pcl = _pclLastLeaf();
                    q = pcl->m_nKeyCount - 1;
                }
                it.m_pclLeaf = pcl;
                it.m_nKey = pcl != nullptr ? q : 0;
                it._FirstValue();
            }
        } else {
            long long llLeft = -static_cast<long long>(nSteps);
            CMemDataNode* pcl = it.m_pclLeaf;
            int q = it.m_nKey;
            if (pcl == nullptr) {
                pcl = _pclLastLeaf();
                q = pcl->m_nKeyCount - 1;
                llDone = 1;
                llLeft--;
            }
            for (;;) {
                if (llLeft <= q) {
                    q -= static_cast<int>(llLeft);
                    llDone += llLeft;
                    break;
                }
                if (pcl->m_pclPrevious == nullptr) {
                    llDone += q;
                    q = 0;
                    break;
                }
                llDone += q + 1;
                llLeft -= q + 1;
                pcl = pcl->m_pclPrevious;
                q = pcl->m_nKeyCount - 1;
            }
            it.m_pclLeaf = pcl;
            it.m_nKey = q;
            it._FirstValue();
            llDone = -llDone;
        }
    } else if (nSteps == 1) {
        if (it.bEnd())
            return 0;
        it.RecordMoveForward();
        if (it.bEnd() && !(nFlags & eAdvanceToEnd))
            return 0;
        llDone = 1;
    } else if (nSteps == -1) {
        const CIterator itBefore = it;
        it.RecordMoveBackward();
        if (it.m_pclLeaf == itBefore.m_pclLeaf && it.m_nKey == itBefore.m_nKey
            && it.m_pclBucketLeaf == itBefore.m_pclBucketLeaf && it.m_nBucketIndex == itBefore.m_nBucketIndex)
            return 0;
        llDone = -1;
    } else {
        // By rank: one descent to find where the iterator stands, one to go.
        const long long llCount = nGetNumRecord();
        const long long llRank = _llRank(it);
        const long long llTarget = llRank + nSteps;
        long long llPos;
        if (nSteps > 0) {
            if (llTarget < llCount)
                llPos = llTarget;
            else if (nFlags & eAdvanceToEnd)
                llPos = llCount;
            else
                llPos = llCount - 1;
            if (llPos < llRank)
                llPos = llRank;
        } else {
            llPos = llTarget < 0 ? 0 : llTarget;
        }
        llDone = llPos - llRank;
        if (llDone == nSteps || ((nFlags & eAdvancePartial) && llDone != 0))
            _PositionAt(it, static_cast<int>(llPos));
    }
    *pnDone = static_cast<int>(llDone);
    if (llDone != nSteps && !((nFlags & eAdvancePartial) && llDone != 0))
        return 0;
    m_clIterator = it;
    return 1;
}

const void* CMemBTree::pReadKey() const
{
    if (m_clIterator.m_pclLeaf == nullptr)
        return nullptr;
    return _pbyLeafKey(m_clIterator.m_pclLeaf, m_clIterator.m_nKey);
}

const void* CMemBTree::pReadValue() const
{
    return _pbyValueAt(m_clIterator);
}

int CMemBTree::nNumDuplicates() const
{
    if (m_clIterator.m_pclLeaf == nullptr)
        return 0;
    return _nValueCount(m_clIterator.m_pclLeaf, m_clIterator.m_nKey);
}

int CMemBTree::nGetNumRecord() const
{
    return m_pclRoot != nullptr ? m_pclRoot->m_nRecordCount : 0;
}

// ---------------------------------------------------------------- bulk load

int CMemBTree::nCompareKey(const void* pKey1, const void* pKey2) const
{
    return m_pfnKeyCompare(pKey1, pKey2, m_nKeySize);
}

int CMemBTree::_nCompareRec(const void* pRec1, const void* pRec2) const
{
    int nCmp = m_pfnKeyCompare(pRec1, pRec2, m_nKeySize);
    if (nCmp != 0 || m_nValueSize == 0)
        return nCmp;
    return m_pfnValueCompare(static_cast<const unsigned char*>(pRec1) + m_nKeySize,
                             static_cast<const unsigned char*>(pRec2) + m_nKeySize, m_nValueSize);
}

namespace {

// Quicksort of n elements of nSize bytes; pbyTemp holds two more elements.
// Small partitions are finished by moving the largest element to the end;
// larger ones take the median of three as the pivot; pending partitions
// wait on a stack (the larger one, so that the stack stays shallow).
void SortRecords(unsigned char* pby, int n, unsigned int nSize, const CMemBTree& clTree, unsigned char* pbyTemp)
{
    unsigned char* pbyPivot = pbyTemp;
    unsigned char* pbySwap = pbyTemp + nSize;
    auto at = [&](int i) { return pby + static_cast<unsigned int>(i) * nSize; };
    auto swap = [&](int i, int j) {
        if (i == j)
            return;
        std::memcpy(pbySwap, at(i), nSize);
        std::memcpy(at(i), at(j), nSize);
        std::memcpy(at(j), pbySwap, nSize);
    };
    int anLow[64];
    int anHigh[64];
    int nStack = 0;
    anLow[nStack] = 0;
    anHigh[nStack++] = n - 1;
    while (nStack > 0) {
        nStack--;
        int lo = anLow[nStack];
        int hi = anHigh[nStack];
        while (hi > lo) {
            if (hi - lo + 1 <= 8) {
                for (int nEnd = hi; nEnd > lo; nEnd--) {
                    int nMax = lo;
                    for (int i = lo + 1; i <= nEnd; i++)
                        if (clTree._nCompareRec(at(i), at(nMax)) > 0)
                            nMax = i;
                    swap(nMax, nEnd);
                }
                break;
            }
            int mid = lo + (hi - lo) / 2;
            if (clTree._nCompareRec(at(mid), at(lo)) < 0)
                swap(mid, lo);
            if (clTree._nCompareRec(at(hi), at(lo)) < 0)
                swap(hi, lo);
            if (clTree._nCompareRec(at(hi), at(mid)) < 0)
                swap(hi, mid);
            std::memcpy(pbyPivot, at(mid), nSize);
            int i = lo;
            int j = hi;
            while (i <= j) {
                while (clTree._nCompareRec(at(i), pbyPivot) < 0)
                    i++;
                while (clTree._nCompareRec(at(j), pbyPivot) > 0)
                    j--;
                if (i <= j) {
                    swap(i, j);
                    i++;
                    j--;
                }
            }
            // [lo, j] and [i, hi]: the larger waits, the smaller goes on.
            if (j - lo > hi - i) {
                anLow[nStack] = lo;
                anHigh[nStack++] = j;
                lo = i;
            } else {
                anLow[nStack] = i;
                anHigh[nStack++] = hi;
                hi = j;
            }
        }
    }
}

} // namespace

int CMemBTree::bLoadBulk(const void* pKeys, const void* pValues, int n)
{
    if (m_nOrder == 0 || m_pclRoot != nullptr || n < 0)
        return 0;
    if (n == 0)
        return 1;
    if (pKeys == nullptr || (m_nValueSize != 0 && pValues == nullptr))
        return 0;
    const unsigned int nSize = m_nKeySize + m_nValueSize;
    const unsigned long long llBytes = (static_cast<unsigned long long>(n) + 2) * nSize;
    if (llBytes > 0x7FFFFFFFULL)
        return 0;
    unsigned char* pby = new (std::nothrow) unsigned char[static_cast<std::size_t>(llBytes)];
    if (pby == nullptr)
        return 0;
    const unsigned char* pbyKeys = static_cast<const unsigned char*>(pKeys);
    const unsigned char* pbyValues = static_cast<const unsigned char*>(pValues);
    for (int i = 0; i < n; i++) {
        std::memcpy(pby + static_cast<unsigned int>(i) * nSize, pbyKeys + static_cast<unsigned int>(i) * m_nKeySize,
                    m_nKeySize);
        if (m_nValueSize != 0)
            std::memcpy(pby + static_cast<unsigned int>(i) * nSize + m_nKeySize,
                        pbyValues + static_cast<unsigned int>(i) * m_nValueSize, m_nValueSize);
    }
    SortRecords(pby, n, nSize, *this, pby + static_cast<unsigned int>(n) * nSize);
    // A repeated pair (or key of a tree of keys only) is refused, as by bInsert.
    bool bOk = true;
    for (int i = 1; i < n && bOk; i++)
        bOk = _nCompareRec(pby + static_cast<unsigned int>(i - 1) * nSize, pby + static_cast<unsigned int>(i) * nSize)
              != 0;
    bOk = bOk && _bBuildSorted(pby, n);
    delete[] pby;
    return bOk ? 1 : 0;
}

int CMemBTree::_bBuildSorted(const unsigned char* pbyRecs, int n)
{
    if (n <= 0)
        return 1;
    const unsigned int nSize = m_nKeySize + m_nValueSize;
    auto rec = [&](int i) { return pbyRecs + static_cast<unsigned int>(i) * nSize; };
    int d = 1;
    for (int i = 1; i < n; i++)
        if (m_pfnKeyCompare(rec(i), rec(i - 1), m_nKeySize) != 0)
            d++;
    if (m_nValueSize == 0 && d != n)
        return 0;

    const int nLeaves = (d - 1) / m_nOrder + 1;
    CMemNode** apLevel = new (std::nothrow) CMemNode*[nLeaves];
    if (apLevel == nullptr)
        return 0;
    int nMade = 0;
    bool bOk = true;
    int r = 0;
    CMemDataNode* pclPrevious = nullptr;
    for (int l = 0; l < nLeaves && bOk; l++) {
        CMemDataNode* pclLeaf = _pclNewLeaf();
        if (pclLeaf == nullptr) {
            bOk = false;
            break;
        }
        apLevel[nMade++] = pclLeaf;
        pclLeaf->m_pclPrevious = pclPrevious;
        if (pclPrevious != nullptr)
            pclPrevious->m_pclNext = pclLeaf;
        pclPrevious = pclLeaf;
        const int nKeys = d / nLeaves + (l < d % nLeaves ? 1 : 0);
        for (int k = 0; k < nKeys && bOk; k++) {
            int nRun = 1;
            while (r + nRun < n && m_pfnKeyCompare(rec(r + nRun), rec(r), m_nKeySize) == 0)
                nRun++;
            std::memcpy(_pbyLeafKey(pclLeaf, k), rec(r), m_nKeySize);
            pclLeaf->m_nKeyCount = k + 1;
            if (m_nValueSize != 0) {
                _SetBucketBit(pclLeaf, k, false);
                if (nRun == 1) {
                    std::memcpy(_pbySlot(pclLeaf, k), rec(r) + m_nKeySize, m_nValueSize);
                } else {
                    const int nClass = ClassFor(nRun);
                    CMemBucket* pcl = _pclNewBucket(nClass);
                    if (pcl == nullptr) {
                        pclLeaf->m_nKeyCount = k;
                        bOk = false;
                        break;
                    }
                    _SetBucket(pclLeaf, k, pcl);
                    if (nClass == CMemBucket::eNestedClass) {
                        unsigned char* pbyValues
                            = new (std::nothrow) unsigned char[static_cast<unsigned int>(nRun) * m_nValueSize];
                        bOk = pbyValues != nullptr;
                        if (bOk) {
                            for (int i = 0; i < nRun; i++)
                                std::memcpy(pbyValues + static_cast<unsigned int>(i) * m_nValueSize,
                                            rec(r + i) + m_nKeySize, m_nValueSize);
                            bOk = _pclNested(pcl)->_bBuildSorted(pbyValues, nRun);
                            delete[] pbyValues;
                        }
                    } else {
                        for (int i = 0; i < nRun; i++)
                            std::memcpy(_pbyVector(pcl) + static_cast<unsigned int>(i) * m_nValueSize,
                                        rec(r + i) + m_nKeySize, m_nValueSize);
                        pcl->m_nCount = static_cast<short>(nRun);
                    }
                }
            }
            pclLeaf->m_nRecordCount += nRun;
            r += nRun;
        }
    }
    // Upper levels: c nodes under (c - 1) / f + 1 parents.
    int c = nMade;
    const int f = m_nOrder + (m_nOrder < 3 ? 1 : 0);
    while (bOk && c > 1) {
        const int nParents = (c - 1) / f + 1;
        CMemNode** apUp = new (std::nothrow) CMemNode*[nParents];
        if (apUp == nullptr) {
            bOk = false;
            break;
        }
        int nUp = 0;
        int nNext = 0;
        for (int p = 0; p < nParents; p++) {
            CMemIndexNode* pclNode = _pclNewIndex(CMemNode::eIndex);
            if (pclNode == nullptr) {
                bOk = false;
                break;
            }
            apUp[nUp++] = pclNode;
            const int nChildren = c / nParents + (p < c % nParents ? 1 : 0);
            for (int i = 0; i < nChildren; i++) {
                CMemNode* pclChild = apLevel[nNext++];
                _SetChild(pclNode, i, pclChild);
                if (i > 0)
                    std::memcpy(_pbyIndexKey(pclNode, i - 1), _pbyFirstKey(pclChild), m_nKeySize);
                pclNode->m_nRecordCount += _nNodeRecords(pclChild);
            }
            pclNode->m_nKeyCount = nChildren - 1;
        }
        if (!bOk) {
            // The parents made so far hold children of this level: free
            // them alone; the level below is freed whole.
            for (int i = 0; i < nUp; i++)
                _FreeIndex(static_cast<CMemIndexNode*>(apUp[i]));
            delete[] apUp;
            break;
        }
        delete[] apLevel;
        apLevel = apUp;
        c = nUp;
        nMade = nUp;
    }
    if (bOk) {
        CMemNode* pclTop = apLevel[0];
        if (pclTop->m_nType == CMemNode::eData) {
            CMemIndexNode* pclRoot = _pclNewIndex(CMemNode::eRoot);
            if (pclRoot == nullptr) {
                bOk = false;
            } else {
                _SetChild(pclRoot, 0, pclTop);
                pclRoot->m_nRecordCount = _nNodeRecords(pclTop);
                m_pclRoot = pclRoot;
            }
        } else {
            pclTop->m_nType = CMemNode::eRoot;
            m_pclRoot = static_cast<CMemIndexNode*>(pclTop);
        }
    }
    if (!bOk) {
        // Every node of the current level with its subtree.
        for (int i = 0; i < nMade; i++) {
            CMemNode* pclTop = apLevel[i];
            CMemIndexNode* pclRoot = nullptr;
            if (pclTop->m_nType == CMemNode::eData) {
                static_cast<CMemDataNode*>(pclTop)->m_pclNext = nullptr;
                CMemDataNode* pclLeaf = static_cast<CMemDataNode*>(pclTop);
                for (int k = 0; k < pclLeaf->m_nKeyCount; k++)
                    _FreeSlotContents(pclLeaf, k);
                _FreeLeaf(pclLeaf);
                continue;
            }
            pclRoot = static_cast<CMemIndexNode*>(pclTop);
            m_pclRoot = pclRoot;
            _FreeAll();
        }
        m_pclRoot = nullptr;
    }
    delete[] apLevel;
    m_clIterator.m_pclLeaf = nullptr;
    return bOk ? 1 : 0;
}
