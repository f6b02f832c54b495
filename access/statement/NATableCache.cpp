#include "access/statement/NATableCache.h"

#include "access/driver/INAVersion.h"
#include "access/driver/NAError.h"
#include "access/sql/NAFilter.h"
#include "access/statement/IndexItem.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "access/statement/NATableCacheIndex.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"

#include <new>

CNATableCache::CNATableCache(CNAError* pclError, CNADataAccess* pclDataAccess)
    : m_pclError(pclError), m_pclDataAccess(pclDataAccess), m_pclStatementParse(nullptr), m_pclFullCache(nullptr)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNATableCache::~CNATableCache()
{
    if (m_pclFullCache != nullptr)
        m_pclFullCache->nRelease();
    if (m_pclStatementParse != nullptr)
        m_pclStatementParse->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

int CNATableCache::_bSetStatementParse(CNAStatement* pclStatement)
{
    if (pclStatement != nullptr)
        pclStatement->AddRef();
    if (m_pclStatementParse != nullptr)
        m_pclStatementParse->nRelease();
    m_pclStatementParse = pclStatement;
    CNAFilter* pclFilter = pclStatement != nullptr ? pclStatement->pclGetFilter() : nullptr;
    m_clFilterSave.SetFilter(pclFilter);
    if (pclFilter != nullptr)
        pclFilter->nRelease();
    return 1;
}

int CNATableCache::bSetStatementParse(CNAStatement* pclStatement)
{
    // Only the first time: once a full cache stands, no statement becomes
    // the browse again.
    const int bResult = bInitDone() ? _bSetStatementParse(pclStatement) : 1;
    if (pclStatement != nullptr)
        pclStatement->EnableCache(1);
    return bResult;
}

int CNATableCache::bIsStatementParse(const CNAStatement* pclStatement) const
{
    return pclStatement != nullptr && pclStatement == m_pclStatementParse;
}

int CNATableCache::bIsRecordCache(const CNARecordCache* pclCache) const
{
    if (pclCache == nullptr)
        return 0;
    if (m_pclFullCache != nullptr)
        return pclCache == m_pclFullCache;
    return m_pclStatementParse != nullptr && pclCache == m_pclStatementParse->pclGetRecordCacheNoRef();
}

int CNATableCache::bIsEmpty() const
{
    return m_pclFullCache == nullptr || m_pclFullCache->nGetCount() == 0;
}

int CNATableCache::bInitDone() const
{
    return m_pclFullCache == nullptr && m_pclStatementParse == nullptr;
}

int CNATableCache::bFilterEquals(CNAFilter* pclFilter) const
{
    return m_clFilterSave.bFilterEquals(pclFilter);
}

int CNATableCache::bCacheCompleted() const
{
    // Without a browse statement only a full cache is complete: one never
    // filled would count no rows.
    if (m_pclStatementParse == nullptr)
        return m_pclFullCache != nullptr;
    return m_pclStatementParse->bCacheCompleted();
}

CNARecordCache* CNATableCache::_pclCompleteStatementCache()
{
    return m_pclStatementParse->pclGetFullRecordCache();
}

CNARecordCache* CNATableCache::pclGetFullCache()
{
    if (m_pclFullCache != nullptr)
        return m_pclFullCache;
    // Reading the browse to its end may release this table cache: it holds
    // itself until the end of the call, and gives that back on every path.
    m_nRefCount++;
    // Reading the browse moves the data access: another browse it stands on
    // is noted first and put back after.
    CNAStatement* pclCurrent = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetLastStatementNoRef() : nullptr;
    int nPosition = -1;
    if (pclCurrent != nullptr && pclCurrent != m_pclStatementParse && m_pclStatementParse != nullptr &&
        !m_pclDataAccess->bHSauvePosition(&nPosition, pclCurrent->pszGetName(), static_cast<eNAPOSITION>(0)))
        nPosition = -1;
    CNARecordCache* pclFull = m_pclStatementParse != nullptr ? _pclCompleteStatementCache() : nullptr;
    if (pclFull != nullptr) {
        pclFull->AddRef();
        m_pclFullCache = pclFull;
        if (nPosition != -1) {
            wchar_t szItem[CNADataAccess::ITEM_BUFFER_SIZE];
            const CNADataAccess::COwnReturns clOwn(m_pclDataAccess);
            m_pclDataAccess->bHRetourPosition(nPosition, szItem, 0, static_cast<eNAPOSITION>(0));
        }
        m_pclStatementParse->nRelease();
        m_pclStatementParse = nullptr;
    } else if (nPosition != -1) {
        // Not left filed when the fill failed.
        m_pclDataAccess->bHLiberePosition(nPosition);
    }
    dwRelease();
    return pclFull;
}

long long CNATableCache::llGetRecordNbr()
{
    const CNARecordCache* pcl = pclGetFullCache();
    return pcl != nullptr ? pcl->nGetCount() : 0;
}

long long CNATableCache::llGetRecordNbrActive()
{
    const CNARecordCache* pcl = pclGetFullCache();
    return pcl != nullptr ? pcl->nGetCount() - pcl->nGetDeletedCount() : 0;
}

CNATableCacheIndex* CNATableCache::pclGetCacheIndex(CNAStatement* pclStatement, CNAColumn* pclColumn)
{
    CNARecordCache* pclFull = pclGetFullCache();
    if (pclFull == nullptr)
        return nullptr;
    CNATableCacheIndex* pclIndex = new (std::nothrow) CNATableCacheIndex(m_pclError, pclStatement, pclFull, pclColumn);
    if (pclIndex == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return nullptr;
    }
    if (!pclIndex->bInit()) {
        delete pclIndex;
        return nullptr;
    }
    return pclIndex;
}
