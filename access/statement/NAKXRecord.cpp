#include "access/statement/NAKXRecord.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAItemDescription.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/SysUtils.h"
#include "common/values/Any.h"
#include "common/values/Decimal.h"
#include "common/values/NACnvVariant.h"
#include "common/values/datetime.h"

#include <algorithm>
#include <string>
#include <vector>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const unsigned int MEMO_MARK_SIZE = 8;
const unsigned int LOCAL_WIDE_CHARS = 256;

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

bool _bIsText8(unsigned char nType)
{
    switch (nType) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 128: case 129: case 134:
        return true;
    default:
        return false;
    }
}

bool _bIsTextW(unsigned char nType)
{
    switch (nType) {
    case 16: case 20: case 24: case 25: case 81: case 110:
        return true;
    default:
        return false;
    }
}

// Digits and decimals of a decimal item; false when out of the host's range.
bool _bDecimalForm(const INAItemDescription* pItem, int* pnDigits, int* pnDecimals)
{
    *pnDecimals = pItem->nGetDecimalPart();
    *pnDigits = pItem->nGetIntegerPart() + *pnDecimals;
    return *pnDigits >= 0 && *pnDigits <= IDecimal::MAX_DIGITS && *pnDecimals >= 0 && *pnDecimals <= *pnDigits;
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
    XMALLOC_Del_(m_pbyBuffer);
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
        const eNA_ITEMTYPE eType = pItem->eNAGetItemType();
        unsigned char* pby;
        unsigned int nSize;
        if ((eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE) && _bGetElement(pItem, 0, &pby, &nSize)) {
            // Two characters of all ones, as 16-bit units.
            memset(pby, 0, nSize);
            memset(pby, 0xFF, std::min(nSize, MEMO_MARK_SIZE / 2));
            return;
        }
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

const unsigned char* CNAKXRecord::pbyGetItemValue(const INAItemDescription* pItem, int nIndex) const
{
    unsigned char* pby;
    unsigned int nSize;
    return _bGetElement(pItem, nIndex, &pby, &nSize) ? pby : nullptr;
}

void CNAKXRecord::GetItemValue(void* pDest, const INAItemDescription* pItem, int nIndex) const
{
    unsigned char* pby;
    unsigned int nSize;
    if (pDest != nullptr && _bGetElement(pItem, nIndex, &pby, &nSize))
        memcpy(pDest, pby, nSize);
}

void CNAKXRecord::SetItemValue(const INAItemDescription* pItem, const void* p, unsigned int nLength,
                               unsigned int nIndex)
{
    if (pItem == nullptr)
        return;
    _StoreRaw(pItem, static_cast<const unsigned char*>(p), nLength, static_cast<int>(nIndex));
    SetItemValueDefined(pItem, 1, nIndex);
}

void CNAKXRecord::SetItemValue(const INAItemDescription* pItem, const CAny* pValue, unsigned int nIndex)
{
    if (pItem == nullptr)
        return;
    if (pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == TQTYPE_VIDE) {
        SetItemValueDefined(pItem, 0, nIndex);
        return;
    }
    const eNA_ITEMTYPE eType = pItem->eNAGetItemType();
    const unsigned char nValueType = pValue->nGetTypeCode();
    if (eType == NA_IT_HEURE && nValueType == TQTYPE_DATETIME) {
        // HHMMSSmmm: the time of day only.
        CDateTimeBase clDate;
        memcpy(&clDate, pValue->pbyGetValeur(), sizeof(clDate));
        char sz[10] = {};
        clDate.nVersHeure(sz, 9);
        SetItemValue(pItem, sz, 9, nIndex);
        return;
    }
    const unsigned short nTarget =
        static_cast<unsigned short>(ConverteItemToTQType(eType, static_cast<int>(pItem->nGetItemSize())) & 0xFF);
    const CAny* pcl = pValue;
    CAny clCopy;
    const bool bDirect = nValueType == nTarget ||
                         ((eType == NA_IT_DATE8 || eType == NA_IT_HEURE) && _bIsText8(nValueType)) ||
                         (nTarget == TQTYPE_PSTRA && nValueType == TQTYPE_DSTRA) ||
                         (nTarget == TQTYPE_PSTRW && nValueType == TQTYPE_DSTRW);
    if (!bDirect) {
        pValue->pclGetTraitement()->Duplique(&clCopy);
        if ((nValueType == TQTYPE_DSTRW || nValueType == TQTYPE_PSTRW) && nTarget == TQTYPE_CARA)
            clCopy.__nCastTo(TQTYPE_PSTRA, nullptr, 0);
        if (clCopy.__nCastTo(nTarget, nullptr, 0) != TQSTATUS_OK) {
            // A value the item cannot hold is not stored as garbage.
            SetItemValueDefined(pItem, 0, nIndex);
            return;
        }
        pcl = &clCopy;
    }
    if (eType == NA_IT_DECIMAL) {
        IDecimal* piDecimal = nullptr;
        if (pcl->nGetTypeCode() == TQTYPE_DECIMAL)
            memcpy(&piDecimal, pcl->pbyGetValeur(), sizeof(piDecimal));
        int nDigits, nDecimals;
        unsigned char* pby;
        unsigned int nSize;
        if (piDecimal == nullptr || !_bDecimalForm(pItem, &nDigits, &nDecimals) ||
            !_bGetElement(pItem, static_cast<int>(nIndex), &pby, &nSize))
            return;
        // Through a local area: the element may be smaller than the form.
        unsigned char aby[64] = {};
        piDecimal->nGetBytes(aby, nDigits, nDecimals);
        memset(pby, 0, nSize);
        memcpy(pby, aby, std::min<unsigned int>(std::min<unsigned int>(IDecimal::mg_PToN[nDigits], sizeof(aby)), nSize));
        SetItemValueDefined(pItem, 1, nIndex);
        return;
    }
    void* p = nullptr;
    unsigned int nData = 0;
    pcl->pclGetTraitement()->nGetDataAdr(&p);
    pcl->pclGetTraitement()->nGetUtilDataSize(&nData);
    SetItemValue(pItem, p, nData, nIndex);
}

void CNAKXRecord::GetItemValue(CAny* pValue, const INAItemDescription* pItem, int nIndex) const
{
    unsigned char* pby;
    unsigned int nSize;
    if (pValue == nullptr || !_bGetElement(pItem, nIndex, &pby, &nSize))
        return;
    const eNA_ITEMTYPE eType = pItem->eNAGetItemType();
    const unsigned short nType =
        static_cast<unsigned short>(ConverteItemToTQType(eType, static_cast<int>(pItem->nGetItemSize())) & 0xFF);
    CAny_Intern* pcl;
    switch (eType) {
    case NA_IT_BINAIRE: {
        pValue->__SetType(nType, 0);
        unsigned int n = 0;
        if (nSize >= 2) {
            uint16_t u;
            memcpy(&u, pby, sizeof(u));
            n = std::min<unsigned int>(u, nSize - 2);
        }
        pValue->pclGetTraitement()->SetValue(nSize >= 2 ? pby + 2 : pby, n);
        break;
    }
    case NA_IT_DECIMAL: {
        pValue->__SetType(TQTYPE_DECIMAL, 0);
        IDecimal* piDecimal = nullptr;
        memcpy(&piDecimal, pValue->pbyGetValeur(), sizeof(piDecimal));
        int nDigits, nDecimals;
        if (piDecimal != nullptr && _bDecimalForm(pItem, &nDigits, &nDecimals) && IDecimal::mg_PToN[nDigits] <= nSize)
            piDecimal->nSetBytes(pby, nDigits, nDecimals);
        break;
    }
    case NA_IT_UNICODE:
    case NA_IT_MEMOUNICODE: {
        const unsigned int nUnits = UTF16LELength(pby, nSize / 2);
        // Never more characters than units: the usual sizes are widened on the stack.
        wchar_t szLocal[LOCAL_WIDE_CHARS];
        std::wstring s;
        wchar_t* psz = szLocal;
        if (nUnits >= LOCAL_WIDE_CHARS) {
            s.assign(nUnits + 1, L'\0');
            psz = &s[0];
        }
        const unsigned int nChars = UTF16LEToWide(pby, nUnits, psz);
        psz[nChars] = L'\0';
        pValue->__SetType(TQTYPE_DSTRW, 0);
        pValue->pclGetTraitement()->SetValue(psz, static_cast<unsigned int>(nChars * sizeof(wchar_t)));
        break;
    }
    default:
        pValue->__SetType(nType, 0);
        pcl = pValue->pclGetTraitement();
        if (eType == NA_IT_HEURE && nType == TQTYPE_DATETIME) {
            std::string s(reinterpret_cast<const char*>(pby), strnlen(reinterpret_cast<const char*>(pby), nSize));
            CDateTimeBase clDate;
            clDate.InitDate();
            clDate.__SetPartieHeure(s.c_str());
            pcl->SetValue(&clDate, sizeof(clDate));
        } else if (_bIsText8(static_cast<unsigned char>(nType))) {
            pcl->SetValue(pby, static_cast<unsigned int>(strnlen(reinterpret_cast<const char*>(pby), nSize)));
        } else if (_bIsTextW(static_cast<unsigned char>(nType))) {
            const unsigned int nChars = nSize / sizeof(wchar_t);
            std::wstring s(nChars, L'\0');
            if (nChars > 0)
                memcpy(&s[0], pby, nChars * sizeof(wchar_t));
            s.resize(wcsnlen(s.c_str(), nChars));
            pcl->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
        } else {
            // Fixed-size treatments read their whole size: an aligned,
            // zero-padded copy, on the stack for the usual sizes.
            alignas(8) unsigned char abyLocal[CAny::VALEUR_SIZE + sizeof(wchar_t)] = {};
            if (nSize <= CAny::VALEUR_SIZE) {
                memcpy(abyLocal, pby, nSize);
                pcl->SetValue(abyLocal, nSize);
            } else {
                std::vector<unsigned char> aby(nSize + sizeof(wchar_t), 0);
                memcpy(aby.data(), pby, nSize);
                pcl->SetValue(aby.data(), nSize);
            }
        }
        break;
    }
    pValue->SetFlags(0);
}

int CNAKXRecord::nCastTo(CAny* pValue, unsigned short nType, const INAItemDescription* pItem)
{
    if (pValue == nullptr)
        return TQSTATUS_NOT_HANDLED;
    const unsigned char nFrom = pValue->nGetTypeCode();
    if (pItem != nullptr && pItem->eNAGetItemType() == NA_IT_HEURE && nType == TQTYPE_DATETIME &&
        (nFrom == TQTYPE_PSTRA || nFrom == TQTYPE_DSTRA)) {
        const char* psz = nullptr;
        pValue->pclGetTraitement()->nGetPCASTR(&psz);
        CDateTimeBase clDate;
        clDate.InitDate();
        clDate.__SetPartieHeure(psz != nullptr ? psz : "");
        pValue->__SetType(TQTYPE_DATETIME, 0);
        pValue->pclGetTraitement()->SetValue(&clDate, sizeof(clDate));
        pValue->SetFlags(0);
        return TQSTATUS_OK;
    }
    return pValue->__nCastTo(nType, nullptr, 0);
}

void CNAKXRecord::SetTabItemValueDefined(const INAItemDescription* const* ppItems, unsigned int nCount,
                                         const unsigned int* pnPhysical, const int* pbDefined)
{
    if (ppItems == nullptr || pnPhysical == nullptr || pbDefined == nullptr || m_pbyFlags == nullptr)
        return;
    for (unsigned int i = 0; i < nCount; i++) {
        const unsigned int p = pnPhysical[i];
        if ((p >> 3) < m_nFlagFieldSize) {
            const unsigned char byMask = static_cast<unsigned char>(0x80u >> (p & 7));
            if (pbDefined[i])
                m_pbyFlags[p >> 3] |= byMask;
            else
                m_pbyFlags[p >> 3] &= static_cast<unsigned char>(~byMask);
        }
        const INAItemDescription* pItem = ppItems[i];
        if (pItem == nullptr)
            continue;
        // The element forms without touching the bit of the item's own index.
        unsigned char* pby;
        unsigned int nSize;
        if (!_bGetElement(pItem, 0, &pby, &nSize))
            continue;
        if (pItem->bMemo()) {
            const eNA_ITEMTYPE eType = pItem->eNAGetItemType();
            memset(pby, 0, std::min(nSize, MEMO_MARK_SIZE));
            if (!pbDefined[i]) {
                const unsigned int n = (eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE) ? MEMO_MARK_SIZE / 2
                                                                                             : MEMO_MARK_SIZE;
                memset(pby, 0xFF, std::min(nSize, n));
            }
        } else if (!pbDefined[i]) {
            memset(pby, 0, nSize);
        }
    }
}

void CNAKXRecord::SetValues(const unsigned char* pby, unsigned int nLength)
{
    if (m_pbyBuffer == nullptr)
        return;
    const unsigned int nValues = m_nBufferSize - m_nFlagFieldSize;
    if (pby != nullptr)
        memcpy(m_pbyValues, pby, std::min(nLength, nValues));
    memset(m_pbyFlags, 0xFF, m_nFlagFieldSize);
}

void CNAKXRecord::Copy(const CNAKXRecord* pclOther)
{
    if (pclOther == nullptr || pclOther == this || m_pbyBuffer == nullptr || pclOther->m_pbyBuffer == nullptr)
        return;
    memcpy(m_pbyBuffer, pclOther->m_pbyBuffer, std::min(m_nBufferSize, pclOther->m_nBufferSize));
}

CNAKXRecord* CNAKXRecord::pclGetClone() const
{
    CNAKXRecord* pcl = new (std::nothrow) CNAKXRecord();
    if (pcl == nullptr)
        return nullptr;
    if (m_pbyBuffer != nullptr) {
        pcl->m_pbyBuffer = static_cast<unsigned char*>(XMALLOC_pNew_(m_nBufferSize > 0 ? m_nBufferSize : 1));
        if (pcl->m_pbyBuffer == nullptr) {
            delete pcl;
            return nullptr;
        }
        memcpy(pcl->m_pbyBuffer, m_pbyBuffer, m_nBufferSize);
        pcl->m_nBufferSize = m_nBufferSize;
        pcl->m_nNbItem = m_nNbItem;
        pcl->m_nFlagFieldSize = m_nFlagFieldSize;
        pcl->m_pbyFlags = pcl->m_pbyBuffer;
        pcl->m_pbyValues = pcl->m_pbyBuffer + m_nFlagFieldSize;
    }
    return pcl;
}

bool CNAKXRecord::bEquals(const CNAKXRecord* pclOther) const
{
    if (pclOther == nullptr || pclOther->m_nBufferSize != m_nBufferSize ||
        pclOther->m_nFlagFieldSize != m_nFlagFieldSize)
        return false;
    if (m_nBufferSize == 0)
        return true;
    if (m_pbyBuffer == nullptr || pclOther->m_pbyBuffer == nullptr)
        return m_pbyBuffer == pclOther->m_pbyBuffer;
    return memcmp(m_pbyBuffer, pclOther->m_pbyBuffer, m_nBufferSize) == 0;
}

// ---- Initialisation -------------------------------------------------------------------------

bool CNAKXRecord::bInit(INADataSourceDescription* piDescription, eINITTYPE eInit)
{
    if (piDescription == nullptr)
        return false;
    const unsigned int nItems = piDescription->nGetNumItemPhysicallyInFic();
    const unsigned int nFlags = nItems == 0 ? 0 : ((nItems - 1) >> 3) + 1;
    const unsigned long long llSize = static_cast<unsigned long long>(nFlags) + piDescription->nGetDiskRecordSize();
    if (llSize > 0xFFFFFFFFull)
        return false;
    const unsigned int nSize = static_cast<unsigned int>(llSize);
    unsigned char* pby = static_cast<unsigned char*>(XMALLOC_pNewZero_(nSize > 0 ? nSize : 1, 1));
    if (pby == nullptr)
        return false;
    XMALLOC_Del_(m_pbyBuffer);
    m_pbyBuffer = pby;
    m_nBufferSize = nSize;
    m_nNbItem = nItems;
    m_nFlagFieldSize = nFlags;
    m_pbyFlags = m_pbyBuffer;
    m_pbyValues = m_pbyBuffer + nFlags;
    if (eInit != INIT_DEFAULT)
        return true;
    const unsigned int nNbItems = piDescription->nGetNumItems();
    for (unsigned int i = 0; i < nNbItems; i++) {
        INAItemDescription* piItem = piDescription->piNAGetItem(i);
        if (piItem == nullptr)
            continue;
        if (!piItem->bIsComposedKey())
            _SetDefaultValue(piItem);
        piItem->nExternalRelease();
    }
    return true;
}

void CNAKXRecord::_SetDefaultValue(INAItemDescription* piItem)
{
    const unsigned int nDimension = piItem->nGetDimension();
    for (unsigned int k = 0; k < nDimension; k++) {
        CAny* pclValue = piItem->pclGetDefaultValue(static_cast<int>(k + 1));
        if (pclValue != nullptr && !piItem->bMemo() && !pclValue->bIsNull() &&
            pclValue->nGetTypeCode() != TQTYPE_VIDE)
            SetItemValue(piItem, pclValue, k);
        else
            SetItemValueDefined(piItem, 0, k);
    }
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
        // Wide characters as UTF-16 units; a pair only as a whole.
        unsigned int nChars = nLength / sizeof(wchar_t);
        if (nChars == 0)
            return;
        std::wstring s(nChars, L'\0');
        memcpy(&s[0], pbySource, nChars * sizeof(wchar_t));
        s.resize(wcsnlen(s.c_str(), nChars));
        WideToUTF16LE(s.c_str(), static_cast<unsigned int>(s.size()), pby, nSize / 2);
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

void CNAKXRecord::Serialize(unsigned char* pbyOut, unsigned int nLength) const
{
    // A too small output gets nothing rather than a write past its end.
    if (pbyOut == nullptr || nLength < nGetSerializeSize())
        return;
    _WriteU32(pbyOut, m_nBufferSize);
    _WriteU32(pbyOut + 4, m_nNbItem);
    _WriteU32(pbyOut + 8, m_nFlagFieldSize);
    if (m_nBufferSize > 0 && m_pbyBuffer != nullptr)
        memcpy(pbyOut + 12, m_pbyBuffer, m_nBufferSize);
}

void CNAKXRecord::Deserialize(const unsigned char* pbyIn, unsigned int nLength)
{
    if (pbyIn == nullptr || nLength < 12)
        return;
    const uint32_t nBufferSize = _nReadU32(pbyIn);
    const uint32_t nNbItem = _nReadU32(pbyIn + 4);
    const uint32_t nFlagFieldSize = _nReadU32(pbyIn + 8);
    // A buffer announced beyond the input, or a flag field larger than the
    // buffer, would read or put values outside them.
    if (nBufferSize > nLength - 12 || nFlagFieldSize > nBufferSize)
        return;
    unsigned char* pby = static_cast<unsigned char*>(XMALLOC_pResize_(m_pbyBuffer, nBufferSize > 0 ? nBufferSize : 1));
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
