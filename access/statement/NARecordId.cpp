#include "access/statement/NARecordId.h"

#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordValue.h"
#include "common/text/HashTableBounce.h"
#include "common/text/XYString.h"
#include "common/values/Decimal.h"
#include "common/values/NACnvVariant.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>

namespace {

unsigned int nReadU32(const void* p, unsigned int nOffset)
{
    unsigned int n;
    std::memcpy(&n, static_cast<const unsigned char*>(p) + nOffset, sizeof(n));
    return n;
}

void WriteU32(unsigned char* p, unsigned int nOffset, unsigned int n) { std::memcpy(p + nOffset, &n, sizeof(n)); }

// Unsigned bytes over the common length; then the shorter is smaller.
int nCompareBytes(const unsigned char* pA, unsigned int nA, const unsigned char* pB, unsigned int nB)
{
    const unsigned int nCommon = nA < nB ? nA : nB;
    const int n = nCommon == 0 ? 0 : std::memcmp(pA, pB, nCommon);
    if (n != 0)
        return n < 0 ? -1 : 1;
    if (nA == nB)
        return 0;
    return nA < nB ? -1 : 1;
}

// The bytes a row identifier's value stands for: the cell's own bytes, but a
// text without its terminator (taken back, it would become one more
// character) and a decimal in its data form (its value holds an object).
struct STValueBytes {
    const unsigned char* p = nullptr;
    unsigned int n = 0;
    unsigned char abyDecimal[IDecimal::DATA_SIZE];
};

void GetValueBytes(const CNAConvertVariant* pclValue, STValueBytes* pst)
{
    if (pclValue == nullptr)
        return;
    if (pclValue->eGetVarType() == NA_VAR_ANY) {
        const CAny* pclAny = pclValue->pclGetValue();
        const CAny_Intern* pclTreatment = pclAny->pclGetTraitement();
        switch (pclAny->nGetTypeCode()) {
        case TQTYPE_DECIMAL:
            if (pclTreatment->nFillDataBuffer(pst->abyDecimal) == TQSTATUS_OK) {
                pst->p = pst->abyDecimal;
                pst->n = sizeof(pst->abyDecimal);
            }
            return;
        case TQTYPE_DSTRW:
        case TQTYPE_PSTRA:
        case TQTYPE_DSTRA:
        case TQTYPE_PSTRW: {
            void* p = nullptr;
            pclTreatment->nGetDataAdr(&p);
            pst->p = static_cast<const unsigned char*>(p);
            if (pst->p != nullptr)
                pclTreatment->nGetUtilDataSize(&pst->n);
            return;
        }
        default:
            break;
        }
    }
    pst->p = static_cast<const unsigned char*>(pclValue->pGetData());
    pst->n = pst->p != nullptr ? pclValue->nGetSize() : 0;
}

}  // namespace

CNARecordId::~CNARecordId() {}

unsigned int CNARecordId::g_dwPtrHashVal(const void* pSerialized) { return nReadU32(pSerialized, 0); }

void CNARecordId::_SetHashTableFct(CHashTableBounce* pclTable, int (*pfCompare)(const void*, const void*))
{
    if (pclTable == nullptr)
        return;
    pclTable->SetCmp(pfCompare);
    pclTable->SetHashVal(g_dwPtrHashVal);
}

// ---- Record values ------------------------------------------------------------------

CNARecordId_RecordValues::CNARecordId_RecordValues(const unsigned char* pbyImage, unsigned int nLength,
                                                   const CNARecordMemo* pclMemo)
    : m_pbyImage(nullptr), m_nLength(0), m_pclMemo(nullptr)
{
    Point(pbyImage, nLength, pclMemo);
}

void CNARecordId_RecordValues::Point(const unsigned char* pbyImage, unsigned int nLength, const CNARecordMemo* pclMemo)
{
    m_pbyImage = pbyImage;
    m_nLength = pbyImage != nullptr ? nLength : 0;
    m_pclMemo = pclMemo;
}

CNARecordId_RecordValues::CNARecordId_RecordValues(const CNARecordValue* pclValue)
    : m_pbyImage(nullptr), m_nLength(0), m_pclMemo(nullptr)
{
    _Point(pclValue);
}

void CNARecordId_RecordValues::_Point(const CNARecordValue* pclValue)
{
    const CNAKXRecord* pclBuffer = pclValue != nullptr ? pclValue->pclGetNAKXRecord() : nullptr;
    Point(pclBuffer != nullptr ? pclBuffer->pbyGetNullValuesFlags() : nullptr,
          pclBuffer != nullptr ? pclBuffer->nGetBufferSize() : 0,
          pclValue != nullptr ? pclValue->pclGetTabMemoNoRef() : nullptr);
}

unsigned int CNARecordId_RecordValues::dwGetHashVal() const { return CNAVariant::s_nChecksum32(m_pbyImage, m_nLength); }

CNARecordId* CNARecordId_RecordValues::pclGetClone(const CNARecordValue* pclValue) const
{
    return new (std::nothrow) CNARecordId_RecordValues(pclValue);
}

bool CNARecordId_RecordValues::bEqualRecordId(const CNARecordId* pclOther) const
{
    if (pclOther == nullptr || pclOther->eGetRecordIdType() != RECORDID_RECORDVALUES)
        return false;
    const CNARecordId_RecordValues* p = static_cast<const CNARecordId_RecordValues*>(pclOther);
    return p->m_nLength == m_nLength && (m_nLength == 0 || std::memcmp(p->m_pbyImage, m_pbyImage, m_nLength) == 0);
}

bool CNARecordId_RecordValues::bCopy(const CNARecordValue* pclValue, const CNARecordId*)
{
    _Point(pclValue);
    return true;
}

void CNARecordId_RecordValues::Serialize(unsigned char* pbyOut, unsigned int nCapacity) const
{
    if (pbyOut == nullptr || nCapacity < SERIALIZED_SIZE)
        return;
    WriteU32(pbyOut, 0, dwGetHashVal());
    WriteU32(pbyOut, 4, m_nLength);
    std::memcpy(pbyOut + 8, &m_pbyImage, sizeof(void*));
    std::memcpy(pbyOut + 8 + sizeof(void*), &m_pclMemo, sizeof(void*));
}

void CNARecordId_RecordValues::DeSerialize(const unsigned char* pbyIn, unsigned int nLength)
{
    if (pbyIn == nullptr || nLength < SERIALIZED_SIZE)
        return;
    m_nLength = nReadU32(pbyIn, 4);
    std::memcpy(&m_pbyImage, pbyIn + 8, sizeof(void*));
    std::memcpy(&m_pclMemo, pbyIn + 8 + sizeof(void*), sizeof(void*));
}

void CNARecordId_RecordValues::RecordIdToString(CXYString<wchar_t>* pclText, const wchar_t* pszPrefix, int) const
{
    if (pclText == nullptr)
        return;
    wchar_t szText[64];
    const int n = std::swprintf(szText, sizeof(szText) / sizeof(szText[0]), L"record values (%u bytes)", m_nLength);
    const int nPrefix = pszPrefix != nullptr ? static_cast<int>(std::wcslen(pszPrefix)) : 0;
    CXYString<wchar_t> clText(pszPrefix, nPrefix);
    clText.nConcat(szText, n);
    *pclText = clText;
}

void CNARecordId_RecordValues::SetHashTableFct_SerializedObject(CHashTableBounce* pclTable) const
{
    _SetHashTableFct(pclTable, g_nCompare_CNARecordId_RecordValues);
}

int CNARecordId_RecordValues::g_nCompare_CNARecordId_RecordValues(const void* pA, const void* pB)
{
    const unsigned char* pbyA;
    const unsigned char* pbyB;
    std::memcpy(&pbyA, static_cast<const unsigned char*>(pA) + 8, sizeof(void*));
    std::memcpy(&pbyB, static_cast<const unsigned char*>(pB) + 8, sizeof(void*));
    return nCompareBytes(pbyA, nReadU32(pA, 4), pbyB, nReadU32(pB, 4));
}

// ---- Row identifier -----------------------------------------------------------------

CNARecordId_RowId::CNARecordId_RowId(CNAConvertVariant* pclValue) : m_pclValue(pclValue)
{
    if (m_pclValue != nullptr)
        m_pclValue->AddRef();
}

CNARecordId_RowId::~CNARecordId_RowId()
{
    if (m_pclValue != nullptr)
        m_pclValue->nRelease();
}

CNARecordId* CNARecordId_RowId::pclGetClone(const CNARecordValue*) const
{
    CNAConvertVariant* pclCell = m_pclValue != nullptr ? m_pclValue->pclGetCloneVariant() : nullptr;
    if (pclCell == nullptr)
        return nullptr;
    CNARecordId* pclClone = new (std::nothrow) CNARecordId_RowId(pclCell);
    if (pclClone == nullptr) {
        // The cell was made for the clone alone.
        pclCell->AddRef();
        pclCell->nRelease();
    }
    return pclClone;
}

bool CNARecordId_RowId::bEqualRecordId(const CNARecordId* pclOther) const
{
    if (pclOther == nullptr || pclOther->eGetRecordIdType() != RECORDID_ROWID)
        return false;
    return CNAVariant::g_bEqualsNAVariant(m_pclValue, static_cast<const CNARecordId_RowId*>(pclOther)->m_pclValue) != 0;
}

bool CNARecordId_RowId::bCopy(const CNARecordValue*, const CNARecordId* pclSource)
{
    if (pclSource == nullptr || pclSource->eGetRecordIdType() != RECORDID_ROWID || m_pclValue == nullptr)
        return false;
    return m_pclValue->bCopyVariant(static_cast<const CNARecordId_RowId*>(pclSource)->m_pclValue) != 0;
}

unsigned int CNARecordId_RowId::nGetSerializedSize() const
{
    STValueBytes st;
    GetValueBytes(m_pclValue, &st);
    return st.n + 8;
}

unsigned int CNARecordId_RowId::dwGetHashVal() const
{
    STValueBytes st;
    GetValueBytes(m_pclValue, &st);
    return CNAVariant::s_nChecksum32(st.p, st.n);
}

void CNARecordId_RowId::Serialize(unsigned char* pbyOut, unsigned int nCapacity) const
{
    STValueBytes st;
    GetValueBytes(m_pclValue, &st);
    if (pbyOut == nullptr || nCapacity < st.n + 8)
        return;
    WriteU32(pbyOut, 0, CNAVariant::s_nChecksum32(st.p, st.n));
    WriteU32(pbyOut, 4, st.n);
    if (st.n > 0)
        std::memcpy(pbyOut + 8, st.p, st.n);
}

void CNARecordId_RowId::DeSerialize(const unsigned char* pbyIn, unsigned int nLength)
{
    if (pbyIn == nullptr || nLength < 8 || m_pclValue == nullptr)
        return;
    unsigned int nSize = nReadU32(pbyIn, 4);
    if (nSize > nLength - 8)
        nSize = nLength - 8;
    m_pclValue->bSetValue(pbyIn + 8, nSize);
}

void CNARecordId_RowId::RecordIdToString(CXYString<wchar_t>* pclText, const wchar_t* pszPrefix, int nFlag) const
{
    if (pclText != nullptr && m_pclValue != nullptr)
        m_pclValue->GetString(pclText, pszPrefix, nFlag);
}

void CNARecordId_RowId::SetHashTableFct_SerializedObject(CHashTableBounce* pclTable) const
{
    _SetHashTableFct(pclTable, g_nCompare_CNARecordId_RowId);
}

int CNARecordId_RowId::g_nCompare_CNARecordId_RowId(const void* pA, const void* pB)
{
    const unsigned char* pbyA = static_cast<const unsigned char*>(pA);
    const unsigned char* pbyB = static_cast<const unsigned char*>(pB);
    return nCompareBytes(pbyA + 8, nReadU32(pA, 4), pbyB + 8, nReadU32(pB, 4));
}
