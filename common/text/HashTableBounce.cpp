#include "common/text/HashTableBounce.h"

#include "common/text/TextCompare.h"
#include "common/text/SysUtils.h"
#include "common/text/ZTAssert.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

namespace {

// Marks an old chain head while the chains are re-filed in place.
const unsigned int kOldHead = 0xFFFFFFFEu;
const int kLastLevel = CHashTableBounce::NB_LEVELS - 1;

unsigned int nPrime(int nLevel) { return CHashTableBounce::g__ToutPretToutChaud[nLevel]; }

}  // namespace

const unsigned int CHashTableBounce::g__ToutPretToutChaud[NB_LEVELS] = {
    17,        53,        97,        193,        389,        769,        1543,      3079,
    6151,      12289,     24593,     49157,      98317,      196613,     393241,    786433,
    1572869,   3145739,   6291469,   12582917,   25165843,   50331653,   100663319, 201326611,
    402653189, 805306457, 1610612741, 3221225473u, 4294967291u};

CHashTableBounce::CHashTableBounce(unsigned int nRequest)
    : m_pElements(nullptr),
      m_nPoolCapacity(0),
      m_nFreeHead(0),
      m_pnBuckets(nullptr),
      m_nBucketCount(0),
      m_nElementCount(0),
      m_nParseCounter(0),
      m_pfCompare(nullptr),
      m_pfHashVal(nullptr),
      m_nLevel(0)
{
    if (!__Init(nRequest, 0))
        throw std::bad_alloc();
}

CHashTableBounce::~CHashTableBounce()
{
    XMALLOC_Del_(m_pElements);
    XMALLOC_Del_(m_pnBuckets);
}

void CHashTableBounce::SetCmp(PFN_COMPARE pfCompare) { m_pfCompare = pfCompare; }

void CHashTableBounce::SetHashVal(PFN_HASHVAL pfHashVal) { m_pfHashVal = pfHashVal; }

CHashTableBounce::PFN_COMPARE CHashTableBounce::pfGetCmp() const { return m_pfCompare; }

CHashTableBounce::PFN_HASHVAL CHashTableBounce::pfGetHashVal() const { return m_pfHashVal; }

unsigned int CHashTableBounce::dwGetNumElement() const { return m_nElementCount; }

// ---- Sizing -------------------------------------------------------------------

unsigned int CHashTableBounce::_nLevelFor(unsigned int nRequest, int nLevel)
{
    while (nLevel < kLastLevel && nRequest > nPrime(nLevel) / 2)
        ++nLevel;
    return static_cast<unsigned int>(nLevel);
}

// The byte sizes of a level's pool and buckets must fit in size_t (on i386
// the upper levels do not).
bool CHashTableBounce::_bSizesFit(int nLevel)
{
    const size_t nMax = static_cast<size_t>(-1);
    return nPrime(nLevel) / 2 <= nMax / sizeof(_stELEMENT) && nPrime(nLevel) <= nMax / sizeof(unsigned int);
}

void CHashTableBounce::_ChainFree(unsigned int nFirst, unsigned int nLast, unsigned int nNextFree)
{
    for (unsigned int i = nFirst; i <= nLast; ++i) {
        _stELEMENT& e = _Entry(i);
        e.pKey = nullptr;
        e.pValue = nullptr;
        e.nPrev = FREE_ENTRY;
        e.nNext = i < nLast ? i + 1 : nNextFree;
    }
}

bool CHashTableBounce::__Init(unsigned int nRequest, int bReset)
{
    const int nLevel = static_cast<int>(_nLevelFor(nRequest, 0));
    _stELEMENT* pElements = nullptr;
    unsigned int* pnBuckets = nullptr;
    if (_bSizesFit(nLevel)) {
        pElements = static_cast<_stELEMENT*>(XMALLOC_pNew_(nPrime(nLevel) / 2 * sizeof(_stELEMENT)));
        pnBuckets = static_cast<unsigned int*>(XMALLOC_pNewZero_(nPrime(nLevel), sizeof(unsigned int)));
    }
    if (pElements == nullptr || pnBuckets == nullptr) {
        XMALLOC_Del_(pElements);
        XMALLOC_Del_(pnBuckets);
        if (bReset && m_pElements != nullptr && m_pnBuckets != nullptr) {
            // Keep the current storage, emptied, rather than lose the table.
            m_nElementCount = 0;
            _ChainFree(1, m_nPoolCapacity, 0);
            m_nFreeHead = m_nPoolCapacity > 0 ? 1 : 0;
            memset(m_pnBuckets, 0, m_nBucketCount * sizeof(unsigned int));
        }
        return false;
    }
    XMALLOC_Del_(m_pElements);
    XMALLOC_Del_(m_pnBuckets);
    m_nElementCount = 0;
    m_nLevel = nLevel;
    m_pElements = pElements;
    m_nPoolCapacity = nPrime(nLevel) / 2;
    m_pnBuckets = pnBuckets;
    m_nBucketCount = nPrime(nLevel);
    _ChainFree(1, m_nPoolCapacity, 0);
    m_nFreeHead = 1;
    return true;
}

void CHashTableBounce::DeleteAll(unsigned int nRequest)
{
    if (m_nElementCount == 0)
        return;
    __Init(nRequest == 0 ? 7 : nRequest, 1);
}

// ---- Keys -----------------------------------------------------------------------

// Without functions the key word itself is hashed and compared.
unsigned int CHashTableBounce::_nBucketOf(const void* pKey) const
{
    const unsigned int nHash = m_pfHashVal != nullptr
                                   ? m_pfHashVal(pKey)
                                   : static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pKey));
    return nHash % m_nBucketCount;
}

int CHashTableBounce::_nCompare(const void* pKey, const void* pStoredKey) const
{
    if (m_pfCompare != nullptr)
        return m_pfCompare(pKey, pStoredKey);
    return pKey == pStoredKey ? 0 : 1;
}

unsigned int CHashTableBounce::_nFind(const void* pKey, unsigned int* pnBucket) const
{
    if (m_nElementCount == 0)
        return 0;
    const unsigned int nBucket = _nBucketOf(pKey);
    if (pnBucket != nullptr)
        *pnBucket = nBucket;
    for (unsigned int n = m_pnBuckets[nBucket]; n != 0; n = _Entry(n).nNext)
        if (_nCompare(pKey, _Entry(n).pKey) == 0)
            return n;
    return 0;
}

// ---- Filing, lookup, removal ------------------------------------------------------

bool CHashTableBounce::bAddElement(void* pKey, void* pValue)
{
    if (m_nFreeHead == 0 && !__bGrow())
        return false;
    const unsigned int nBucket = _nBucketOf(pKey);
    const unsigned int n = m_nFreeHead;
    _stELEMENT& e = _Entry(n);
    // The free list holds free entries only and links within the pool.
    ZT_ASSERT(e.nPrev == FREE_ENTRY);
    ZT_ASSERT(e.nNext <= m_nPoolCapacity);
    m_nFreeHead = e.nNext;
    e.pKey = pKey;
    e.pValue = pValue;
    e.nPrev = 0;
    e.nNext = m_pnBuckets[nBucket];
    if (e.nNext != 0)
        _Entry(e.nNext).nPrev = n;
    m_pnBuckets[nBucket] = n;
    ++m_nElementCount;
    return true;
}

bool CHashTableBounce::bGetElement(const void* pKey, void** ppValue, void** ppStoredKey) const
{
    const unsigned int n = _nFind(pKey, nullptr);
    if (n == 0)
        return false;
    if (ppValue != nullptr)
        *ppValue = _Entry(n).pValue;
    if (ppStoredKey != nullptr)
        *ppStoredKey = _Entry(n).pKey;
    return true;
}

void** CHashTableBounce::pGetElement(const void* pKey)
{
    const unsigned int n = _nFind(pKey, nullptr);
    return n != 0 ? &_Entry(n).pValue : nullptr;
}

void CHashTableBounce::__DeleteFromHash(_stELEMENT* pElement, unsigned int nBucket, unsigned int nIndex)
{
    // Only an element in use leaves its chain for the free list.
    ZT_ASSERT(pElement->nPrev != FREE_ENTRY);
    ZT_ASSERT(nIndex >= 1);
    ZT_ASSERT(nIndex <= m_nPoolCapacity);
    if (pElement->nNext != 0)
        _Entry(pElement->nNext).nPrev = pElement->nPrev;
    if (pElement->nPrev != 0)
        _Entry(pElement->nPrev).nNext = pElement->nNext;
    else
        m_pnBuckets[nBucket] = pElement->nNext;
    pElement->nPrev = FREE_ENTRY;
    pElement->nNext = m_nFreeHead;
    m_nFreeHead = nIndex;
    --m_nElementCount;
}

bool CHashTableBounce::bDeleteElement(const void* pKey, void** ppValue, void** ppStoredKey)
{
    unsigned int nBucket = 0;
    const unsigned int n = _nFind(pKey, &nBucket);
    if (n == 0)
        return false;
    _stELEMENT& e = _Entry(n);
    if (ppValue != nullptr)
        *ppValue = e.pValue;
    if (ppStoredKey != nullptr)
        *ppStoredKey = e.pKey;
    __DeleteFromHash(&e, nBucket, n);
    // The pair is gone whatever the shrinking does: a failed reduction keeps
    // the larger table and is not the caller's concern.
    if (m_nParseCounter == 0 && m_nLevel >= 1 && m_nElementCount < nPrime(m_nLevel - 1) / 4)
        __bReduce();
    return true;
}

// ---- Growing and shrinking --------------------------------------------------------

bool CHashTableBounce::__bGrow()
{
    if (m_nLevel >= kLastLevel || !_bSizesFit(m_nLevel + 1))
        return false;
    const int nLevel = m_nLevel + 1;
    const unsigned int nCapacity = nPrime(nLevel) / 2;
    // Both blocks are had before anything changes, so that a failure leaves
    // the table as it was.
    unsigned int* pnBuckets = static_cast<unsigned int*>(XMALLOC_pNew_(nPrime(nLevel) * sizeof(unsigned int)));
    if (pnBuckets == nullptr)
        return false;
    _stELEMENT* pElements = static_cast<_stELEMENT*>(XMALLOC_pResize_(m_pElements, nCapacity * sizeof(_stELEMENT)));
    if (pElements == nullptr) {
        XMALLOC_Del_(pnBuckets);
        return false;
    }
    XMALLOC_Del_(m_pnBuckets);
    m_pElements = pElements;
    m_pnBuckets = pnBuckets;
    m_nBucketCount = nPrime(nLevel);
    m_nLevel = nLevel;
    const unsigned int nOldCapacity = m_nPoolCapacity;
    m_nPoolCapacity = nCapacity;
    _ChainFree(nOldCapacity + 1, nCapacity, m_nFreeHead);
    m_nFreeHead = nOldCapacity + 1;
    __RehashElement();
    return true;
}

bool CHashTableBounce::__bReduce()
{
    int nLevel = m_nLevel - 1;
    while (nLevel > 0 && m_nElementCount < nPrime(nLevel - 1) / 2)
        --nLevel;
    if (nLevel < 0)
        return false;
    const unsigned int nCapacity = nPrime(nLevel) / 2;
    unsigned int* pnBuckets = static_cast<unsigned int*>(XMALLOC_pNew_(nPrime(nLevel) * sizeof(unsigned int)));
    if (pnBuckets == nullptr)
        return false;
    __Compact(nCapacity);
    // A shrinking realloc that fails leaves the larger block, which serves.
    _stELEMENT* pElements = static_cast<_stELEMENT*>(XMALLOC_pResize_(m_pElements, nCapacity * sizeof(_stELEMENT)));
    if (pElements != nullptr)
        m_pElements = pElements;
    XMALLOC_Del_(m_pnBuckets);
    m_pnBuckets = pnBuckets;
    m_nBucketCount = nPrime(nLevel);
    m_nLevel = nLevel;
    m_nPoolCapacity = nCapacity;
    __RehashElement();
    return true;
}

void CHashTableBounce::__Compact(unsigned int nLimit)
{
    if (nLimit > m_nPoolCapacity)
        nLimit = m_nPoolCapacity;
    unsigned int nLowFree = 1;
    for (unsigned int n = m_nPoolCapacity; n > nLimit; --n) {
        _stELEMENT& e = _Entry(n);
        if (e.nPrev == FREE_ENTRY)
            continue;
        while (nLowFree <= nLimit && _Entry(nLowFree).nPrev != FREE_ENTRY)
            ++nLowFree;
        if (nLowFree > nLimit)
            break;
        _stELEMENT& to = _Entry(nLowFree);
        to = e;
        if (to.nPrev != 0)
            _Entry(to.nPrev).nNext = nLowFree;
        else
            m_pnBuckets[_nBucketOf(to.pKey)] = nLowFree;
        if (to.nNext != 0)
            _Entry(to.nNext).nPrev = nLowFree;
        e.nPrev = FREE_ENTRY;
        e.nNext = 0;
    }
    m_nFreeHead = 0;
    for (unsigned int i = 1; i <= nLimit; ++i) {
        _stELEMENT& e = _Entry(i);
        if (e.nPrev == FREE_ENTRY) {
            e.nNext = m_nFreeHead;
            m_nFreeHead = i;
        }
    }
}

// Re-files every element into the current buckets. The chains are walked
// from their tails so that each keeps its order: a pair filed over an equal
// key keeps shadowing it after a resize.
void CHashTableBounce::__RehashElement()
{
    for (unsigned int i = 1; i <= m_nPoolCapacity; ++i)
        if (_Entry(i).nPrev == 0)
            _Entry(i).nPrev = kOldHead;
    memset(m_pnBuckets, 0, m_nBucketCount * sizeof(unsigned int));
    unsigned int nDone = 0;
    for (unsigned int i = 1; i <= m_nPoolCapacity && nDone < m_nElementCount; ++i) {
        if (_Entry(i).nPrev != kOldHead)
            continue;
        unsigned int n = i;
        while (_Entry(n).nNext != 0)
            n = _Entry(n).nNext;
        for (;;) {
            _stELEMENT& e = _Entry(n);
            const unsigned int nPrev = e.nPrev;
            const unsigned int nBucket = _nBucketOf(e.pKey);
            e.nPrev = 0;
            e.nNext = m_pnBuckets[nBucket];
            if (e.nNext != 0)
                _Entry(e.nNext).nPrev = n;
            m_pnBuckets[nBucket] = n;
            ++nDone;
            if (nPrev == kOldHead)
                break;
            n = nPrev;
        }
    }
}

// ---- Walking --------------------------------------------------------------------

bool CHashTableBounce::bParseTable(unsigned int* pnPosition, int bRemove, void** ppValue, void** ppKey)
{
    unsigned int nIndex = *pnPosition;
    if (nIndex == 0)
        ++m_nParseCounter;
    while (nIndex < m_nPoolCapacity && _Entry(nIndex + 1).nPrev == FREE_ENTRY)
        ++nIndex;
    if (nIndex >= m_nPoolCapacity) {
        *pnPosition = nIndex;
        StopParsing();
        return false;
    }
    const unsigned int n = nIndex + 1;
    _stELEMENT& e = _Entry(n);
    if (ppValue != nullptr)
        *ppValue = e.pValue;
    if (ppKey != nullptr)
        *ppKey = e.pKey;
    if (bRemove) {
        // The bucket is needed only when the entry heads its chain.
        const unsigned int nBucket = e.nPrev == 0 ? _nBucketOf(e.pKey) : 0;
        __DeleteFromHash(&e, nBucket, n);
    }
    *pnPosition = n;
    return true;
}

void CHashTableBounce::StopParsing()
{
    if (m_nParseCounter > 0)
        --m_nParseCounter;
}

bool CHashTableBounce::bParseSetElement(unsigned int nPosition, void* pValue, void** ppOldValue)
{
    if (nPosition == 0 || nPosition > m_nPoolCapacity || _Entry(nPosition).nPrev == FREE_ENTRY)
        return false;
    if (ppOldValue != nullptr)
        *ppOldValue = _Entry(nPosition).pValue;
    _Entry(nPosition).pValue = pValue;
    return true;
}

bool CHashTableBounce::bParseSetKey(unsigned int nPosition, void* pKey, void** ppOldKey)
{
    if (nPosition == 0 || nPosition > m_nPoolCapacity || _Entry(nPosition).nPrev == FREE_ENTRY)
        return false;
    if (ppOldKey != nullptr)
        *ppOldKey = _Entry(nPosition).pKey;
    _Entry(nPosition).pKey = pKey;
    return true;
}

// ---- Wide-string keys -------------------------------------------------------------

int CHashTableBounce::nStringLogiqueCompare(const void* pKey, const void* pStoredKey)
{
    return STR_nCompareW(static_cast<const wchar_t*>(pKey), static_cast<const wchar_t*>(pStoredKey), 3);
}

namespace {

const int kStackChars = 1023 / sizeof(wchar_t);

unsigned int dwSumMapped(const wchar_t* pBuffer, int nMapped, int nSize)
{
    if (nMapped > nSize)
        nMapped = nSize;
    unsigned int dwHash = 0;
    for (int i = 0; i < nMapped && pBuffer[i] != 0; ++i)
        dwHash += static_cast<unsigned int>(pBuffer[i]);
    return dwHash;
}

// Without heap memory a long key is mapped chunk by chunk on the stack.
unsigned int dwHashInChunks(const wchar_t* pszKey, size_t nLen)
{
    wchar_t szStack[kStackChars];
    unsigned int dwHash = 0;
    for (size_t nDone = 0; nDone < nLen;) {
        const int nChunk = static_cast<int>(nLen - nDone < static_cast<size_t>(kStackChars - 1)
                                                ? nLen - nDone
                                                : static_cast<size_t>(kStackChars - 1));
        const int nMapped = STR_nMapStringEx(3, szStack, kStackChars, pszKey + nDone, nChunk);
        dwHash += dwSumMapped(szStack, nMapped, kStackChars);
        nDone += static_cast<size_t>(nChunk);
    }
    return dwHash;
}

}  // namespace

// Sum of the code points of the key mapped without case and accents. Names
// up to 254 characters are mapped on the stack. Never throws: it runs in the
// middle of a resize.
unsigned int CHashTableBounce::dwStringLogiqueHashVal(const void* pKey)
{
    const wchar_t* pszKey = static_cast<const wchar_t*>(pKey);
    if (pszKey == nullptr)
        return 0;
    const size_t nLen = wcslen(pszKey);
    if (nLen >= static_cast<size_t>(INT32_MAX) / sizeof(wchar_t) - 1)
        return dwHashInChunks(pszKey, nLen);
    const int nSize = static_cast<int>(nLen) + 1;
    if (nSize <= kStackChars) {
        wchar_t szStack[kStackChars];
        const int nMapped = STR_nMapStringEx(3, szStack, nSize, pszKey, -1);
        if (nMapped != 0 || nLen == 0)
            return dwSumMapped(szStack, nMapped, nSize);
    } else {
        wchar_t* pBuffer = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<size_t>(nSize) * sizeof(wchar_t)));
        if (pBuffer == nullptr)
            return dwHashInChunks(pszKey, nLen);
        const int nMapped = STR_nMapStringEx(3, pBuffer, nSize, pszKey, -1);
        const unsigned int dwHash = dwSumMapped(pBuffer, nMapped, nSize);
        XMALLOC_Del_(pBuffer);
        if (nMapped != 0)
            return dwHash;
    }
    // The folded text is longer than the key (ligatures split): map again
    // with the size the service asks for.
    const int nNeeded = STR_nGetMapStringLenEx(3, pszKey, -1);
    if (nNeeded <= nSize)
        return 0;
    wchar_t* pBuffer = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<size_t>(nNeeded) * sizeof(wchar_t)));
    if (pBuffer == nullptr)
        return dwHashInChunks(pszKey, nLen);
    const int nMapped = STR_nMapStringEx(3, pBuffer, nNeeded, pszKey, -1);
    const unsigned int dwHash = dwSumMapped(pBuffer, nMapped, nNeeded);
    XMALLOC_Del_(pBuffer);
    return dwHash;
}
