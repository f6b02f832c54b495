#include "access/statement/IndexItem.h"

#include "access/driver/NAError.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordValue.h"
#include "common/values/Any.h"

#include <cstring>
#include <new>

CIndexItem::CIndexItem(CNAError* pclError, CNARecordCache* pclRecordCache, CNAColumn* pclColumn,
                       CNAStatement* pclStatement)
    : m_pclError(pclError), m_pclRecordCache(pclRecordCache), m_pclColumn(pclColumn), m_pclStatement(pclStatement),
      m_pclStartValue(nullptr)
{
}

CIndexItem::~CIndexItem() {}

unsigned short CIndexItem::_eGetTypeTQ() const
{
    return static_cast<unsigned short>(m_pclColumn->eGetTQType() & 0xFFFF);
}

int CIndexItem::_bGetDataAdr(unsigned char** ppData, unsigned int* pnSize, CAny* pValue) const
{
    *ppData = nullptr;
    *pnSize = 0;
    // A NULL value has no bytes, whatever its value area still holds.
    if (pValue == nullptr || pValue->bIsNull())
        return 1;
    const CAny_Intern* pclTreatment = pValue->pclGetTraitement();
    unsigned int nSize = 0;
    if (pclTreatment->nGetDataSize(&nSize) != TQSTATUS_OK)
        return 0;
    if (nSize == 0)
        return 1;
    void* p = nullptr;
    if (pclTreatment->nGetDataAdr(&p) != TQSTATUS_OK)
        return 0;
    if (p != nullptr) {
        *ppData = static_cast<unsigned char*>(p);
        *pnSize = nSize;
    }
    return 1;
}

CNARecordValue* CIndexItem::_pclNewRecordValue() const
{
    CNARecordValue* pcl = new (std::nothrow) CNARecordValue(m_pclError);
    if (pcl == nullptr) {
        _bNoMemory();
        return nullptr;
    }
    pcl->AddRef();
    return pcl;
}

int CIndexItem::_bGetRecordValue(CAny* pValue, int nRow) const
{
    CNARecordValue* pclRow = _pclNewRecordValue();
    if (pclRow == nullptr)
        return 0;
    const int b = nRow >= 0 && m_pclRecordCache->bGetAt(pclRow, static_cast<unsigned int>(nRow)) &&
                  pclRow->bGetMemoValue(pValue, _nGetMemoIndex());
    pclRow->nRelease();
    return b;
}

int CIndexItem::_bCompareValues(int* pnResult, int nRow, const unsigned char* pKey, unsigned int nKeySize) const
{
    CAny clValue;
    unsigned char* pbyRow;
    unsigned int nRowSize;
    if (!_bGetRecordValue(&clValue, nRow) || !_bGetDataAdr(&pbyRow, &nRowSize, &clValue))
        return 0;
    if (pKey == nullptr)
        nKeySize = 0;
    const unsigned int nCommon = nRowSize < nKeySize ? nRowSize : nKeySize;
    const int n = nCommon != 0 ? std::memcmp(pbyRow, pKey, nCommon) : 0;
    if (n != 0)
        *pnResult = n < 0 ? -1 : 1;
    else
        *pnResult = nRowSize < nKeySize ? -1 : (nRowSize > nKeySize ? 1 : 0);
    return 1;
}

int CIndexItem::_nGetMemoIndex() const
{
    const CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
    if (pclRecord == nullptr)
        return -1;
    const CRefArray<CNAColumn>* ptab = pclRecord->pclGetTabColumnMemo();
    for (int i = 0; i < ptab->nGetNbElement(); i++)
        if ((*ptab)[i] == m_pclColumn)
            return i;
    return -1;
}

const CAny* CIndexItem::_pclGetStartValue() const
{
    return m_pclStartValue != nullptr && m_pclStartValue->nGetTypeCode() != TQTYPE_VIDE ? m_pclStartValue : nullptr;
}

int CIndexItem::_bGetOriginalValue(CAny* pValue) const
{
    const CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
    const CNARecordValue* pclOriginal = pclRecord != nullptr ? pclRecord->pclGetOriginalRecordValueNoRef() : nullptr;
    if (pclOriginal == nullptr)
        return 0;
    if (m_pclColumn->bIsMemo())
        return pclOriginal->bGetMemoValue(pValue, _nGetMemoIndex());
    return pclOriginal->bGetItemValue(pValue, m_pclColumn->piGetItem());
}

int CIndexItem::_bNoMemory() const
{
    if (m_pclError != nullptr)
        m_pclError->pclGetXError()->SetErrorNoMemory();
    return 0;
}
