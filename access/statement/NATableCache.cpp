#include "access/statement/NATableCache.h"

#include "access/driver/INAVersion.h"
#include "access/driver/NAError.h"
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
    // The statement keeps no filter yet: the save stays without one.
    return 1;
}

int CNATableCache::bSetStatementParse(CNAStatement* pclStatement)
{
    // Only the first time: once a full cache stands, no statement becomes
    // the browse again.
    if (bInitDone())
        return _bSetStatementParse(pclStatement);
    return 1;
}

int CNATableCache::bIsStatementParse(const CNAStatement* pclStatement) const
{
    return pclStatement != nullptr && pclStatement == m_pclStatementParse;
}

int CNATableCache::bIsRecordCache(const CNARecordCache* pclCache) const
{
    // Before the full cache, the browse statement's record cache would
    // answer; the statement keeps none yet.
    return m_pclFullCache != nullptr && pclCache == m_pclFullCache;
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
    // The browse statement keeps no record cache yet: never complete.
    return m_pclStatementParse == nullptr;
}

CNARecordCache* CNATableCache::_pclCompleteStatementCache()
{
    // The statement cannot read its browse to the end into a record cache
    // yet.
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, CIndexItem::ERRFILE_TABLECACHE, 2,
                                   m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetConnection() : nullptr,
                                   m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : nullptr,
                                   nullptr, ZTERR_NOT_OFFERED);
    return nullptr;
}

CNARecordCache* CNATableCache::pclGetFullCache()
{
    if (m_pclFullCache != nullptr)
        return m_pclFullCache;
    // Reading the browse to its end may release this table cache: it holds
    // itself until the end of the call, and gives that back on every path.
    m_nRefCount++;
    CNARecordCache* pclFull = m_pclStatementParse != nullptr ? _pclCompleteStatementCache() : nullptr;
    if (pclFull != nullptr) {
        pclFull->AddRef();
        m_pclFullCache = pclFull;
        m_pclStatementParse->nRelease();
        m_pclStatementParse = nullptr;
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
