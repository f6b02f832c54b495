#include "tests/support/TestDataAccess.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NaDriver.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatementSQL.h"
#include "access/statement/NATableCache.h"
#include "common/values/Any.h"

#include <cwchar>
#include <vector>

// ---- Auto-increment values ------------------------------------------------------------------------

int CTestIDAuto::_bRead(CNADataAccess* pclAccess, CNAColumn* pclColumn, CNAError* pclError, CAny* pValue, bool bNext)
{
    CNADriverSQL* pclSQL = CNADriver::s_pclGetDriverSQL();
    CNAStatementSQL* pcl = pclSQL != nullptr ? pclSQL->pclAllocStatementSQL(pclAccess->pclGetConnection(), pclError)
                                             : nullptr;
    if (pcl == nullptr)
        return 0;
    pcl->AddRef();
    const std::wstring strText = std::wstring(L"SELECT COALESCE(MAX(") + pclColumn->pszGetFormatedName() +
                                 L"),0)" + (bNext ? L"+1" : L"") + L" FROM " + pclAccess->pszGetFormatedTableName();
    CAny clText;
    const int bResult = pcl->bGetRequestedValue(&clText, 0, strText.c_str()) &&
                        clText.__nCastTo(TQTYPE_I8, nullptr, 0) <= 99;
    pcl->nRelease();
    if (bResult)
        clText.pclGetTraitement()->Duplique(pValue);
    return bResult;
}

int CTestIDAuto::bGetNextValue(CNADataAccess* pclAccess, CNAColumn* pclColumn, CNAError* pclError, CAny* pValue)
{
    m_nNextValues++;
    return _bRead(pclAccess, pclColumn, pclError, pValue, true);
}

int CTestIDAuto::bGetMaxCurrentValue(CNADataAccess* pclAccess, CNAColumn* pclColumn, CNAError* pclError,
                                     CAny* pValue)
{
    return _bRead(pclAccess, pclColumn, pclError, pValue, false);
}

// ---- The data access ------------------------------------------------------------------------------

CTestDataAccess::CTestDataAccess(INADataSourceDescription* piHost, CNAConnectionDescription* pclConnection,
                                 CNAError* pclError)
    : CNADataAccess(piHost, pclConnection, pclError)
{
    AddRef();
}

CTestDataAccess::~CTestDataAccess()
{
    DropStatements();
}

void CTestDataAccess::DropStatements()
{
    for (auto& pair : m_mapPosition) {
        CNAStatement* pcl = pair.second->pclGetStatementNoRef();
        if (pcl != nullptr)
            pcl->bRemoveSavedPosition(pair.first);
        pair.second->nRelease();
    }
    m_mapPosition.clear();
    _FreeTableCache();
    m_pclLast = nullptr;
    m_tabStatement.SupprimeTout();
}

bool CTestDataAccess::Open(CNADataSourceDescription* pclDatabase)
{
    CNARecord* pcl = _pclAllocRecord(m_pclError);
    if (pcl == nullptr)
        return false;
    pcl->AddRef();
    const bool b = pcl->bInitRecord(m_piDescription, pclDatabase, m_pclConnection) != 0;
    if (b)
        _SetCurrentRecord(pcl);
    pcl->nRelease();
    m_bOpened = b ? 1 : 0;
    return b;
}

void CTestDataAccess::SetQueryText(const wchar_t* pszText, unsigned int eMode)
{
    m_bSourceIsQuery = 1;
    m_eQueryMode = eMode;
    m_strQuery = pszText;
}

void CTestDataAccess::SetQueryParse(CSQLParserInfo* pclInfo, unsigned int eMode)
{
    m_bSourceIsQuery = 1;
    m_eQueryMode = eMode;
    // The data access releases its digest when it goes.
    if (pclInfo != nullptr)
        pclInfo->AddRef();
    if (m_pclQueryParserInfo != nullptr)
        m_pclQueryParserInfo->nRelease();
    m_pclQueryParserInfo = pclInfo;
    m_strQuery.clear();
}

CNAStatement* CTestDataAccess::Statement(const wchar_t* pszItem)
{
    // The last statement first, as the data access's memo does.
    if (m_pclLast != nullptr && std::wcscmp(m_pclLast->pszGetName(), pszItem != nullptr ? pszItem : L"") == 0)
        return m_pclLast;
    // Filed with the data access, as its own browses file theirs.
    CNAStatement* pcl = _pclFindStatement(pszItem);
    if (pcl == nullptr)
        pcl = _pclInitStatement(pszItem);
    // The registry keeps its own reference.
    if (pcl != nullptr)
        pcl->nRelease();
    return pcl;
}

int CTestDataAccess::bRead(const wchar_t* pszItem, int eDirection, unsigned int nFlags)
{
    CNAStatement* pcl = Statement(pszItem);
    if (pcl == nullptr)
        return 0;
    m_pclLast = pcl;
    if (eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_LAST) {
        if (pcl->bExistRechercheObject())
            pcl->DesactivateRechercheUserAndInternal();
        pcl->AnnuleRechercheUser();
        pcl->SetParseFlags(nFlags);
        pcl->SetParseItem(pszItem);
    }
    return _bFetch(pcl, pszItem, eDirection, 1, 1, static_cast<eNA_LOCKTYPE>(0), nullptr, nFlags, 0, nullptr);
}

int CTestDataAccess::bSkip(const wchar_t* pszItem, int eDirection, long long llCount, long long* pllMoved,
                           unsigned int nFlags)
{
    CNAStatement* pcl = Statement(pszItem);
    if (pcl == nullptr)
        return 0;
    m_pclLast = pcl;
    long long llMoved = 0;
    const int bResult =
        _bFetch(pcl, pszItem, eDirection, llCount, 1, static_cast<eNA_LOCKTYPE>(0), nullptr, nFlags, 0, &llMoved);
    if (pllMoved != nullptr)
        *pllMoved = llMoved;
    return bResult;
}

int CTestDataAccess::bSearch(const wchar_t* pszItem, const CAny* pValue, int bExact)
{
    CNAStatement* pcl = Statement(pszItem);
    if (pcl == nullptr)
        return 0;
    m_pclLast = pcl;
    pcl->SetParseFlags(0);
    return pcl->bSetUserSearch(pszItem, pValue, NA_PARSE_FIRST, bExact) &&
           _bFetch(pcl, pszItem, NA_PARSE_FIRST, 1, 1, static_cast<eNA_LOCKTYPE>(0), nullptr, 0, 0, nullptr);
}

int CTestDataAccess::bWrite(int eType, unsigned int nFlags)
{
    CNAStatement* pcl = Statement(L"");
    CNACommand* pclCommand = pclAllocCommand(m_pclError);
    if (pcl == nullptr || pclCommand == nullptr || m_pclCurrentRecord == nullptr)
        return 0;
    pclCommand->AddRef();
    pcl->ResetQuery();
    int bResult = pcl->bBuildQuery(eType, pclCommand, nFlags) && pcl->bExecute(nFlags, 1);
    if (bResult && eType == CNAStatement::QT_UPDATE)
        bResult = pcl->bUpdateRecordAfterUpdate(eType, nFlags);
    else if (bResult && eType == CNAStatement::QT_INSERT)
        bResult = pcl->bUpdateRecordAfterInsert(eType, nFlags);
    pclCommand->nRelease();
    if (!bResult)
        return 0;
    // The record saves follow, then every statement learns of the write.
    const int nTableCacheRow = _nWriteInTableCache(eType, nFlags);
    if (eType == CNAStatement::QT_DELETE)
        nSetRecordDeletedInCache(m_pclRecordSaveCache);
    else if (eType == CNAStatement::QT_UPDATE)
        nUpdateRecordInCache(nFlags, m_pclRecordSaveCache);
    CNARecordValue* pclOriginal = m_pclCurrentRecord->pclGetOriginalRecordValueNoRef();
    std::vector<CNAStatement*> tab;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabStatement.bParseTable(&nPosition, 0, &pValue, nullptr))
        tab.push_back(static_cast<CNAStatement*>(pValue));
    for (CNAStatement* p : tab)
        p->OnNotifyOperation(eType, nTableCacheRow, pcl, nFlags,
                             eType == CNAStatement::QT_UPDATE ? pclOriginal : nullptr);
    if (eType == CNAStatement::QT_DELETE)
        m_pclCurrentRecord->SetDeleted();
    else if (eType == CNAStatement::QT_UPDATE || eType == CNAStatement::QT_INSERT)
        bResult = bSetCurrentRecordRead(0);
    return bResult;
}

CNAIDAuto* CTestDataAccess::_pclAllocIDAuto()
{
    m_pclTestIDAuto = new CTestIDAuto;
    return m_pclTestIDAuto;
}

int CTestDataAccess::bBuildSelect(CNACommand* pclCommand, CNAStatement* pclStatement, const wchar_t* pszItem,
                                  int bForward, unsigned int nFlags, long long* pllCount)
{
    if (m_strQuery.empty())
        return CNADataAccess::bBuildSelect(pclCommand, pclStatement, pszItem, bForward, nFlags, pllCount);
    // The query text stands for the rewritten query.
    pclCommand->SetStatementKind(CNAStatement::QT_SELECT);
    pclStatement->ResetQuery();
    pclStatement->_SetQuery(pclCommand);
    return pclCommand->bComplete(m_strQuery.c_str(), static_cast<unsigned int>(-1));
}

int CTestDataAccess::_bOpenStatement(CNAStatement* pclStatement, const wchar_t* pszItem, int bForward,
                                     unsigned int nFlags, long long* pllCount)
{
    CNACommand* pclCommand = pclAllocCommand(m_pclError);
    if (pclCommand == nullptr)
        return 0;
    pclCommand->AddRef();
    int bResult = bBuildSelect(pclCommand, pclStatement, pszItem, bForward, nFlags, pllCount) &&
                  pclStatement->bExecute(nFlags, 1);
    if (bResult) {
        if ((nFlags & 0x110000) != 0)
            pclStatement->EnableCache(0);
        else if (m_bRecordCache || pclStatement->bDefaultParseNeedRecordCache())
            pclStatement->EnableCache(1);
    }
    pclCommand->nRelease();
    return bResult;
}

int CTestDataAccess::_bUpdateParse(int bRestoreAfter, CNAStatement* pclStatement, int n, int eDirection,
                                   long long llCount, long long* pllMoved)
{
    return bRestoreOriginalRecordSave(pclStatement) &&
           bGoToOriginalRecord(bRestoreAfter, pclStatement, n, eDirection, llCount, pllMoved);
}

int CTestDataAccess::_bFetch(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection, long long llCount,
                             int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE*, unsigned int nFlags, int bRestart,
                             long long* pllMoved)
{
    if (!pclStatement->bSetLockType(eLock))
        return 0;
    bool bReopen = bRestart || eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_LAST;
    if (!bReopen) {
        if (pclStatement->bRecordLost())
            return 1;
        // With a table cache the statement brings itself in line.
        if ((pclStatement->eParseNeedUpdate() != 0 || !pclStatement->bParseStarted()) && m_pclTableCache == nullptr)
            return _bUpdateParse(0, pclStatement, n, eDirection, llCount, pllMoved);
    }
    bool bMakeTableCache = false;
    if (bReopen && (nFlags & CNAStatement::WPF_TABLE_CACHE) != 0) {
        // The first browse fills the table cache through its record cache.
        if (m_pclTableCache == nullptr)
            bMakeTableCache = true;
        else if (!m_pclTableCache->bIsStatementParse(pclStatement)) {
            if (m_pclTableCache->pclGetFullCache() == nullptr)
                return 0;
            // A browse of its own ends: the fetch opens it on the table cache.
            if (pclStatement->pclGetTableCacheIndexNoRef() == nullptr)
                pclStatement->Close();
            bReopen = false;
        }
    }
    if (bReopen) {
        pclStatement->SetRecordLost(0);
        pclStatement->bSetParseNeedUpdate(0);
        const int bForward =
            (eDirection == NA_PARSE_LAST || eDirection == NA_PARSE_PREVIOUS) && !bRequeteSansCorrection() ? 0 : 1;
        if (!_bOpenStatement(pclStatement, pszItem, bForward, nFlags, &llCount))
            return 0;
        if (bMakeTableCache && (!_bCreateNewTableCache(pclStatement) || !m_pclTableCache->bSetStatementParse(pclStatement)))
            return 0;
    }
    if (llCount == 0 && n == 0)
        return 1;
    long long llMoved = 0;
    int bResult = pclStatement->bFetch(eDirection, n, llCount, &llMoved);
    if (pllMoved != nullptr)
        *pllMoved = llMoved;
    int bOut = 1;
    pclStatement->HEndehors(&bOut);
    // A search that reaches the end of its rows goes on beyond them.
    CNARecherche* pclSearch = pclStatement->bExistRechercheObject() ? pclStatement->pclGetRecherche() : nullptr;
    if (bResult && bOut && pclSearch != nullptr && ((nFlags | pclStatement->nGetParseFlags()) & 0x40000) == 0 &&
        pclSearch->nGetState() != CNARecherche::STATE_INACTIVE) {
        const int eGoOn = eDirection == NA_PARSE_NEXT ? NA_PARSE_FIRST
                          : eDirection == NA_PARSE_PREVIOUS ? NA_PARSE_LAST
                                                            : eDirection;
        if (pclSearch->bPeutContinuerParcours(static_cast<eNA_PARSEDIRECTION>(eGoOn))) {
            const eNA_PARSEDIRECTION eFormer = pclSearch->eGetDirection();
            pclStatement->bSetContinueParcours(eGoOn);
            bResult = _bFetch(pclStatement, pszItem, eGoOn, llCount - llMoved, n, static_cast<eNA_LOCKTYPE>(1), nullptr,
                              nFlags, 1, nullptr);
            pclStatement->HEndehors(&bOut);
            if (bResult && bOut)
                pclSearch->bReviensParcoursPrecedent(eFormer);
        }
    }
    if (pclSearch != nullptr)
        pclSearch->nRelease();
    return bResult;
}

int CTestDataAccess::bGetNbEnr(long long* pllCount, unsigned int nMode, unsigned int nFlags,
                               CNAStatement* pclStatement, int eDirection)
{
    if ((nMode & 0x10) == 0) {
        *pllCount = 0;
        return 1;
    }
    CNAStatement* pclCount = Statement(L"");
    if (pclCount == nullptr)
        return 0;
    pclCount->DesactivateRechercheUserAndInternal();
    pclCount->DesactivateFilter();
    int bAllRows = 1;
    if (pclStatement != nullptr && (nFlags & 0x4000) != 0) {
        bAllRows = 0;
        if (pclStatement->bExistFilter()) {
            CNAFilter* pclFilter = pclStatement->pclGetFilter();
            CNAFilter* pclClone = pclFilter->pclCloneFilter();
            pclFilter->nRelease();
            if (pclClone == nullptr)
                return 0;
            pclCount->_SetFilter(pclClone);
            pclClone->ActivateFilter(1);
        }
    }
    if (eDirection == -1)
        return pclCount->bGetNbEnr(pllCount, nMode, bAllRows);
    INAItemDescription* piItem = pclStatement != nullptr ? m_piDescription->piNAGetItem(pclStatement->pszGetParseItem())
                                                         : m_piDescription->piGetBestParseItemDesc();
    CNAKXRecord* pclBackup = nullptr;
    if (pclStatement != nullptr && pclStatement->pclGetStmtOriginalRecord() != nullptr &&
        pclStatement->pclGetStmtOriginalRecord()->pclGetNAKXRecord() != nullptr) {
        pclBackup = m_pclCurrentRecord->pclGetNAKXRecord()->pclGetClone();
        pclBackup->AddRef();
        m_pclCurrentRecord->bSetNAKXRecord(pclStatement->pclGetStmtOriginalRecord()->pclGetNAKXRecord());
    }
    CNARecherche* pclSearch = pclCount->pclGetRecherche();
    pclCount->PrepareInternalSearch();
    int bResult = pclSearch != nullptr && piItem != nullptr &&
                  pclSearch->bRechercheEnreg(m_pclCurrentRecord, piItem, NA_PARSE_FIRST, 0, nullptr);
    if (bResult && eDirection == NA_PARSE_NEXT)
        pclSearch->bSetContinueParcours(NA_PARSE_FIRST);
    else if (bResult && eDirection == NA_PARSE_PREVIOUS)
        pclSearch->bSetContinueParcours(NA_PARSE_LAST);
    if (pclSearch != nullptr)
        pclSearch->nRelease();
    if (piItem != nullptr)
        piItem->nExternalRelease();
    if (bResult)
        bResult = pclCount->bGetNbEnr(pllCount, nMode, 0);
    if (pclBackup != nullptr) {
        m_pclCurrentRecord->bSetNAKXRecord(pclBackup);
        pclBackup->nRelease();
    }
    return bResult;
}

// ---- Reads, positions and the table cache ---------------------------------------------------------

int CTestDataAccess::bHLitxxx(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int, eNA_LOCKTYPE,
                              eNA_LOCKTYPE*, unsigned int nFlags)
{
    return bRead(pszItem, eDirection, nFlags);
}

int CTestDataAccess::bSkipRecord(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, long long llCount, int,
                                 eNA_LOCKTYPE, eNA_LOCKTYPE*, unsigned int nFlags)
{
    return bSkip(pszItem, eDirection, llCount, nullptr, nFlags);
}

int CTestDataAccess::bHSauvePosition(int* pnPosition, const wchar_t* pszItem, eNAPOSITION eOption)
{
    CNAStatement* pclStatement = Statement(pszItem);
    if (pclStatement == nullptr)
        return 0;
    CNAPosition* pcl = new CNAPosition;
    pcl->AddRef();
    pcl->SetItem(pszItem);
    if (!pclStatement->bGetPosition(pcl, eOption) || !pclStatement->bAddSavedPosition(m_nLastPosition + 1, pcl)) {
        pcl->nRelease();
        return 0;
    }
    *pnPosition = ++m_nLastPosition;
    m_mapPosition[*pnPosition] = pcl;
    return 1;
}

int CTestDataAccess::bHRetourPosition(int nPosition, wchar_t*, int bKeep, eNAPOSITION eOption)
{
    auto it = m_mapPosition.find(nPosition);
    if (it == m_mapPosition.end())
        return 0;
    CNAPosition* pcl = it->second;
    CNAStatement* pclStatement = pcl->pclGetStatementNoRef();
    m_pclLast = pclStatement;
    const int bResult = pclStatement->bSetPosition(pcl, eOption);
    if (!bKeep)
        bHLiberePosition(nPosition);
    return bResult;
}

int CTestDataAccess::bHLiberePosition(int nPosition)
{
    auto it = m_mapPosition.find(nPosition);
    if (it == m_mapPosition.end())
        return 0;
    CNAPosition* pcl = it->second;
    m_mapPosition.erase(it);
    pcl->pclGetStatementNoRef()->bRemoveSavedPosition(nPosition);
    pcl->nRelease();
    return 1;
}

int CTestDataAccess::_nWriteInTableCache(int eType, unsigned int nFlags)
{
    CNARecordCache* pclFull = m_pclTableCache != nullptr && !m_pclTableCache->bIsEmpty()
                                  ? m_pclTableCache->pclGetFullCache()
                                  : nullptr;
    if (pclFull == nullptr)
        return -1;
    if (eType == CNAStatement::QT_DELETE)
        return nSetRecordDeletedInCache(pclFull);
    if (eType == CNAStatement::QT_UPDATE)
        return nUpdateRecordInCache(nFlags, pclFull);
    if (eType == CNAStatement::QT_INSERT)
        return pclFull->nOnNotifyOperation(CNARecordCache::NA_NOTIFY_INSERT,
                                           m_pclCurrentRecord->pclGetCurrentRecordValueNoRef(), nullptr, nFlags, 0);
    return -1;
}
