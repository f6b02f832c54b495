// The data access's searches and filters: a search by value on an item (from
// the first or the last record), its cancelling, a filter by bounds or by a
// parsed condition, the filter switched on and off, and the change of browse
// item that keeps the record the host stands on.
#include "access/table/NADataAccess.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/sql/NAFilter.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "access/table/Held.h"
#include "common/platform/MyModuleInfo.h"

namespace {

// Debug points of this file's errors.
enum : int {
    PT_CURRENT_NOT_FOUND = 22,
    PT_SEARCH_NO_ITEM = 23,
    PT_FILTER_NO_ITEM = 24,
};

constexpr int FIRST = NA_PARSE_FIRST;
constexpr int LAST = NA_PARSE_LAST;
constexpr int STAY = NA_PARSE_STAY;

// Whether the description has the item: a search or filter on another one
// is refused before any statement is made for it.
int bItemDescribed(const CNADataAccess* pclAccess, const wchar_t* pszItem)
{
    CHeldItem clItem(pclAccess->piGetItemDescription(pszItem));
    return clItem ? 1 : 0;
}

} // namespace

int CNADataAccess::bHRecherche(const wchar_t* pszItem, const CAny* pValue, int bExact, int nReadOption,
                               eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int bFirst, unsigned int nFlags)
{
    return bHRecherche(pszItem, pszItem, pValue, bExact, nReadOption, eLock, peLock, bFirst, nFlags);
}

int CNADataAccess::bHRecherche(const wchar_t* pszBrowseItem, const wchar_t* pszSearchItem, const CAny* pValue,
                               int bExact, int nReadOption, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int bFirst,
                               unsigned int nFlags)
{
    if (!bItemDescribed(this, pszSearchItem)) {
        _RaiseUserError(PT_SEARCH_NO_ITEM, ZTERR_NO_SUCH_ITEM, pszSearchItem, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    // A query sent as written cannot take the search into its text: the
    // rows are read first and searched in the table cache.
    if ((bRequeteSansCorrection() || bQueryResultsetLimited()) &&
        (m_pclConnection == nullptr || !m_pclConnection->bSupportSubQuery())) {
        eNA_LOCKTYPE eObtained = static_cast<eNA_LOCKTYPE>(0);
        if (!bHLitxxx(pszSearchItem, static_cast<eNA_PARSEDIRECTION>(FIRST), 1, static_cast<eNA_LOCKTYPE>(1),
                      &eObtained, nFlags))
            return 0;
        nFlags |= WPF_TABLE_CACHE;
    }
    const int eDirection = bFirst ? FIRST : LAST;
    if (m_pclTableCache == nullptr)
        nFlags &= ~static_cast<unsigned int>(WPF_TABLE_CACHE);
    CHeld<CNAStatement> clStatement(_pclGetNewItemStatement(pszBrowseItem, eDirection, nFlags));
    if (!clStatement)
        return 0;
    int bResult = 1;
    if (m_pclTableCache != nullptr) {
        if ((nFlags & WPF_TABLE_CACHE) != 0)
            bResult = clStatement->bOpenUsingTableCache();
        else
            _FreeTableCache();
    }
    clStatement->SetParseFlags(nFlags);
    if (!bResult || !clStatement->bSetUserSearch(pszSearchItem, pValue, eDirection, bExact))
        return 0;
    return _bFetch(clStatement.Get(), pszBrowseItem, eDirection, 1, nReadOption, eLock, peLock, nFlags, 0, nullptr);
}

int CNADataAccess::bHAnnuleRecherche(const wchar_t* pszItem)
{
    CHeld<CNAStatement> clStatement;
    if (pszItem != nullptr) {
        clStatement.Reset(_pclFindStatement(pszItem));
    } else if (m_pclLastStatement != nullptr) {
        m_pclLastStatement->AddRef();
        clStatement.Reset(m_pclLastStatement);
    }
    // The user search stays: only the statement's own search goes.
    if (clStatement)
        clStatement->AnnuleRecherche();
    return 1;
}

// ---- Filters ----------------------------------------------------------------------------------------------------------

int CNADataAccess::bHFiltre(const wchar_t* pszItem, const CAny* pMin, int bMinIncluded, const CAny* pMax,
                            int bMaxIncluded, ISQLParserInformation* piParser)
{
    if (!bItemDescribed(this, pszItem)) {
        _RaiseUserError(PT_FILTER_NO_ITEM, ZTERR_NO_SUCH_ITEM, pszItem, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    CHeld<CNAStatement> clStatement(_pclGetNewItemStatement(pszItem, FIRST, 0));
    if (!clStatement || !clStatement->bSetFilter(pszItem, pMin, bMinIncluded, pMax, bMaxIncluded, piParser))
        return 0;
    // One active filter in the data access: the new one.
    _DesactivateAllFilter();
    CHeld<CNAFilter> clFilter(clStatement->pclActivateFilter());
    SetLatestFilter(clFilter.Get());
    return 1;
}

int CNADataAccess::bHFiltre(ISQLParserInformation* piParser, wchar_t* pszItem)
{
    // Without the host's buffer the item chosen is still the one filtered.
    wchar_t szChosen[ITEM_BUFFER_SIZE] = {};
    if (pszItem == nullptr)
        pszItem = szChosen;
    return bFindBestItem(piParser, pszItem) && bHFiltre(pszItem, nullptr, 0, nullptr, 0, piParser) ? 1 : 0;
}

int CNADataAccess::bHActiveFiltre(const wchar_t* pszItem)
{
    // The latest filter, whatever the item.
    if (m_pclLatestFilter != nullptr)
        m_pclLatestFilter->ActivateFilter(1);
    CHeld<CNAStatement> clStatement(_pclFindStatement(pszItem));
    if (clStatement && clStatement->bParseStarted() && clStatement->eParseNeedUpdate() == CNAStatement::UPDATE_NONE)
        return clStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION);
    return 1;
}

int CNADataAccess::bHDesactiveFiltre(const wchar_t* pszItem)
{
    CHeld<CNAStatement> clStatement(_pclFindStatement(pszItem));
    if (clStatement)
        clStatement->DesactivateFilter();
    return 1;
}

void CNADataAccess::_DesactivateAllFilter()
{
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabStatement.bParseTable(&nPosition, 0, &pValue, nullptr))
        static_cast<CNAStatement*>(pValue)->DesactivateFilter();
}

// ---- Changing the browse item ---------------------------------------------------------------------------------------

int CNADataAccess::bHChangeCle(const wchar_t* pszItem, unsigned int nFlags)
{
    CHeld<CNAStatement> clLast(_pclGetLastStatement());
    if (!clLast)
        return 0;
    CHeld<CNAStatement> clNew(_pclGetNewItemStatement(pszItem, STAY, nFlags));
    if (!clNew)
        return 0;
    // The record last written or read drives the next read on the new item.
    if (m_nOwnRecordSave != -1)
        return clNew->bSetParseNeedUpdate(CNAStatement::UPDATE_REEXECUTE, m_nOwnRecordSave) && bSetCurrentRecordRead(1);
    if (clNew.Get() == clLast.Get())
        return 1;
    if (clLast->eParseNeedUpdate() != CNAStatement::UPDATE_NONE) {
        const int nSave = clLast->nGetRecordSaveID();
        return clNew->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION, nSave) &&
               bRestoreOriginalRecordSave(nSave) && bCopyOriginalRecordToCurrentRecord();
    }
    return clNew->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION, nKeepOriginalRecordSave(nullptr));
}

int CNADataAccess::_bUpdateCurrentParsePosition(int n, CNAStatement* pclStatement)
{
    if (m_pclTableCache == nullptr)
        return _bUpdateParse(n, pclStatement, 1, STAY, 0, nullptr);
    int bStillThere = 0;
    if (pclStatement->bUpdateParsePositionInCacheIndex(&bStillThere) && bStillThere)
        return 1;
    pclStatement->CurrentRecordNotFound(pclStatement->pszGetParseItem(), ERRFILE_DATAACCESS, PT_CURRENT_NOT_FOUND);
    return 0;
}
