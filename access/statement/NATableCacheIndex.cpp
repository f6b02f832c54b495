#include "access/statement/NATableCacheIndex.h"

#include "access/driver/NAError.h"
#include "access/statement/IndexFixedSizeItem.h"
#include "access/statement/IndexMemo.h"
#include "access/statement/NAColumn.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"

#include <new>

CNATableCacheIndex::CNATableCacheIndex(CNAError* pclError, CNAStatement* pclStatement, CNARecordCache* pclRecordCache,
                                       CNAColumn* pclColumn)
    : m_pclError(pclError), m_pclRecordCache(pclRecordCache), m_pclIndexItem(nullptr), m_pclColumn(pclColumn),
      m_pclStatement(pclStatement), m_pclStartValue(nullptr)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclRecordCache != nullptr)
        m_pclRecordCache->AddRef();
    if (m_pclColumn != nullptr)
        m_pclColumn->AddRef();
}

CNATableCacheIndex::~CNATableCacheIndex()
{
    delete m_pclIndexItem;
    if (m_pclRecordCache != nullptr)
        m_pclRecordCache->nRelease();
    if (m_pclColumn != nullptr)
        m_pclColumn->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

int CNATableCacheIndex::bInit()
{
    delete m_pclIndexItem;
    m_pclIndexItem = nullptr;
    if (m_pclRecordCache == nullptr || m_pclColumn == nullptr)
        return 0;
    if (m_pclColumn->bIsMemo())
        m_pclIndexItem = new (std::nothrow) CIndexMemo(m_pclError, m_pclRecordCache, m_pclColumn, m_pclStatement);
    else
        m_pclIndexItem = new (std::nothrow) CIndexFixedSizeItem(m_pclError, m_pclRecordCache, m_pclColumn,
                                                                 m_pclStatement);
    if (m_pclIndexItem == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    m_pclIndexItem->SetStartValue(m_pclStartValue);
    return m_pclIndexItem->bInit();
}

int CNATableCacheIndex::OnNotifyOperation(int eType, int nRow, unsigned int)
{
    if (m_pclIndexItem == nullptr)
        return 0;
    const bool bUpdate = eType == CNARecordCache::NA_NOTIFY_UPDATE;
    const bool bInsert = eType == CNARecordCache::NA_NOTIFY_INSERT;
    const bool bDelete = eType == CNARecordCache::NA_NOTIFY_DELETE;
    if (!bUpdate && !bInsert && !bDelete)
        return 1;
    CAny clOld;
    CAny clNew;
    if ((bUpdate || bDelete) && !m_pclIndexItem->_bGetOriginalValue(&clOld))
        return 0;
    if (bUpdate || bInsert) {
        if (!m_pclColumn->bGetCurrentValue(&clNew, 0))
            return 0;
        // A NULL operand makes no equality; equal values of other keys (0
        // and -0) are a change to the index.
        int bEqual = 0;
        if (bUpdate && nEgalite(&clOld, &clNew, &bEqual, 0) <= 99 && bEqual != 0 &&
            (m_pclColumn->bIsMemo() ||
             static_cast<CIndexFixedSizeItem*>(m_pclIndexItem)->bSameKey(&clOld, &clNew)))
            return 1;
    }
    if ((bUpdate || bDelete) && !m_pclIndexItem->bDeleteRecord(nRow, &clOld))
        return 0;
    if ((bUpdate || bInsert) && !m_pclIndexItem->bInsertRecord(nRow, &clNew))
        return 0;
    return 1;
}

int CNATableCacheIndex::bGetRecordPosition(eNA_PARSEDIRECTION eDirection, int nCount, int* pnRow,
                                           unsigned int* pnDuplicate)
{
    if (m_pclIndexItem == nullptr) {
        *pnRow = -1;
        if (pnDuplicate != nullptr)
            *pnDuplicate = 0;
        return 0;
    }
    return m_pclIndexItem->bGetRecordPosition(eDirection, nCount, pnRow, pnDuplicate);
}

int CNATableCacheIndex::nGetCurrentRecordId()
{
    return m_pclIndexItem != nullptr ? m_pclIndexItem->nGetCurrentRecordId() : -1;
}

int CNATableCacheIndex::nGetRecordNbr()
{
    return m_pclIndexItem != nullptr ? m_pclIndexItem->nGetRecordNbr() : 0;
}

int CNATableCacheIndex::nGetPreviousRecordNbr()
{
    return m_pclIndexItem != nullptr ? m_pclIndexItem->nGetPreviousRecordNbr() : 0;
}

int CNATableCacheIndex::bSetCurrentPos(int nPos, int nDuplicate, int* pbFound)
{
    return m_pclIndexItem != nullptr ? m_pclIndexItem->bSetCurrentPos(nPos, nDuplicate, pbFound) : 0;
}

void CNATableCacheIndex::SetStartValue(const CAny* pclValue)
{
    m_pclStartValue = pclValue;
    if (m_pclIndexItem != nullptr)
        m_pclIndexItem->SetStartValue(pclValue);
}
