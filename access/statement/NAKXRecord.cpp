#include "access/statement/NAKXRecord.h"

#include "access/driver/NAItemDescription.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const unsigned int MEMO_MARK_SIZE = 8;

uint32_t _nReadU32(const unsigned char* p)
{
    uint32_t n;
    memcpy(&n, p, sizeof(n));
    return n;
}

void _WriteU32(unsigned char* p, uint32_t n)
{
    memcpy(p, &n, sizeof(n));
}

} // namespace

CNAKXRecord::CNAKXRecord()
    : m_nRefCount(0),
      m_bNoDelete(0),
      m_nBufferSize(0),
      m_pbyBuffer(nullptr),
      m_nNbItem(0),
      m_pbyValues(nullptr),
      m_nFlagFieldSize(0),
      m_pbyFlags(nullptr)
{
}

CNAKXRecord::~CNAKXRecord()
{
    free(m_pbyBuffer);
}

unsigned int CNAKXRecord::nRelease()
{
    if (m_nRefCount == 0)
        return 0;
    if (--m_nRefCount == 0 && m_bNoDelete == 0) {
        delete this;
        return 0;
    }
    return m_nRefCount;
}

// ---- Defined-value bits -----------------------------------------------------------------

// Physical index -1 uses the first bit.
static unsigned int _nBit(const INAItemDescription* pItem)
{
    int p = pItem->nGetPhysicalIndice();
    return p < 0 ? 0u : static_cast<unsigned int>(p);
}

int CNAKXRecord::bItemValueDefined(const INAItemDescription* pItem, unsigned int) const
{
    if (pItem == nullptr || m_pbyFlags == nullptr)
        return 0;
    unsigned int p = _nBit(pItem);
    if ((p >> 3) >= m_nFlagFieldSize)
        return 0;
    return (m_pbyFlags[p >> 3] & (0x80u >> (p & 7))) != 0;
}

void CNAKXRecord::SetItemValueDefined(const INAItemDescription* pItem, int bDefined, unsigned int nIndex)
{
    if (pItem == nullptr || m_pbyFlags == nullptr)
        return;
    unsigned int p = _nBit(pItem);
    // An index beyond the flag field would write into the values.
    if ((p >> 3) < m_nFlagFieldSize) {
        unsigned char byMask = static_cast<unsigned char>(0x80u >> (p & 7));
        if (bDefined)
            m_pbyFlags[p >> 3] |= byMask;
        else
            m_pbyFlags[p >> 3] &= static_cast<unsigned char>(~byMask);
    }

    const bool bMemo = pItem->bMemo() != 0;
    if (bDefined) {
        if (bMemo) {
            unsigned char* pby;
            unsigned int nSize;
            if (_bGetElement(pItem, 0, &pby, &nSize))
                memset(pby, 0, nSize < MEMO_MARK_SIZE ? nSize : MEMO_MARK_SIZE);
        }
        return;
    }
    if (bMemo) {
        unsigned char abyNull[MEMO_MARK_SIZE];
        memset(abyNull, 0xFF, sizeof(abyNull));
        _StoreRaw(pItem, abyNull, sizeof(abyNull), 0);
        return;
    }
    unsigned char* pby;
    unsigned int nSize;
    if (_bGetElement(pItem, static_cast<int>(nIndex), &pby, &nSize))
        memset(pby, 0, nSize);
}

// ---- Values ---------------------------------------------------------------------------------

bool CNAKXRecord::_bGetElement(const INAItemDescription* pItem, int nIndex, unsigned char** ppby,
                               unsigned int* pnSize) const
{
    if (pItem == nullptr || m_pbyValues == nullptr)
        return false;
    long long llOffset = pItem->nGetOffset(0);
    long long llSize;
    if (nIndex < 0) {
        llSize = pItem->nGetTotalSize();
    } else {
        llSize = pItem->nGetItemSize();
        llOffset += static_cast<long long>(nIndex) * llSize;
    }
    const long long llValues = static_cast<long long>(m_nBufferSize) - m_nFlagFieldSize;
    if (llOffset < 0 || llSize < 0 || llOffset + llSize > llValues)
        return false;
    *ppby = m_pbyValues + llOffset;
    *pnSize = static_cast<unsigned int>(llSize);
    return true;
}

unsigned char* CNAKXRecord::pbyGetItemValue(const INAItemDescription* pItem, int nIndex)
{
    unsigned char* pby;
    unsigned int nSize;
    return _bGetElement(pItem, nIndex, &pby, &nSize) ? pby : nullptr;
}

// A null source (or too short for its encoding) leaves the element zeroed.
void CNAKXRecord::_StoreRaw(const INAItemDescription* pItem, const unsigned char* pbySource, unsigned int nLength,
                            int nIndex)
{
    unsigned char* pby;
    unsigned int nSize;
    if (!_bGetElement(pItem, nIndex, &pby, &nSize))
        return;
    memset(pby, 0, nSize);
    if (pbySource == nullptr)
        return;
    switch (pItem->eNAGetItemType()) {
    case NA_IT_TEXTE:
    case NA_IT_DATE6:
    case NA_IT_HEURE:
    case NA_IT_DATE8: {
        // NUL-terminated inside the element.
        if (nSize == 0)
            return;
        unsigned int n = 0;
        while (n < nLength && n < nSize - 1 && pbySource[n] != 0)
            n++;
        memcpy(pby, pbySource, n);
        return;
    }
    case NA_IT_UNICODE:
    case NA_IT_MEMOUNICODE: {
        // Wide characters narrowed one by one to 16-bit units.
        unsigned int nUnits = nLength / sizeof(wchar_t);
        if (nUnits > nSize / 2)
            nUnits = nSize / 2;
        for (unsigned int i = 0; i < nUnits; i++) {
            uint32_t c;
            memcpy(&c, pbySource + i * sizeof(wchar_t), sizeof(c));
            if (c == 0)
                break;
            uint16_t u = static_cast<uint16_t>(c);
            memcpy(pby + 2 * i, &u, sizeof(u));
        }
        return;
    }
    case NA_IT_BINAIRE: {
        // 16-bit length, then the bytes.
        if (nSize < 2 || nLength == 0)
            return;
        unsigned int n = nLength < nSize - 2 ? nLength : nSize - 2;
        if (n > 0xFFFF)
            n = 0xFFFF;
        uint16_t u = static_cast<uint16_t>(n);
        memcpy(pby, &u, sizeof(u));
        memcpy(pby + 2, pbySource, n);
        return;
    }
    default:
        // Never more than the source holds.
        memcpy(pby, pbySource, nLength < nSize ? nLength : nSize);
        return;
    }
}

// ---- Serialised form ----------------------------------------------------------------------

void CNAKXRecord::Serialize(unsigned char* pbyOut, unsigned int) const
{
    if (pbyOut == nullptr)
        return;
    _WriteU32(pbyOut, m_nBufferSize);
    _WriteU32(pbyOut + 4, m_nNbItem);
    _WriteU32(pbyOut + 8, m_nFlagFieldSize);
    if (m_nBufferSize > 0 && m_pbyBuffer != nullptr)
        memcpy(pbyOut + 12, m_pbyBuffer, m_nBufferSize);
}

void CNAKXRecord::Deserialize(const unsigned char* pbyIn, unsigned int)
{
    if (pbyIn == nullptr)
        return;
    const uint32_t nBufferSize = _nReadU32(pbyIn);
    const uint32_t nNbItem = _nReadU32(pbyIn + 4);
    const uint32_t nFlagFieldSize = _nReadU32(pbyIn + 8);
    // A flag field larger than the buffer would put the values outside it.
    if (nFlagFieldSize > nBufferSize)
        return;
    unsigned char* pby = static_cast<unsigned char*>(realloc(m_pbyBuffer, nBufferSize > 0 ? nBufferSize : 1));
    if (pby == nullptr)
        return;
    m_pbyBuffer = pby;
    m_nBufferSize = nBufferSize;
    m_nNbItem = nNbItem;
    m_nFlagFieldSize = nFlagFieldSize;
    memcpy(m_pbyBuffer, pbyIn + 12, nBufferSize);
    m_pbyFlags = m_pbyBuffer;
    m_pbyValues = m_pbyBuffer + m_nFlagFieldSize;
}
