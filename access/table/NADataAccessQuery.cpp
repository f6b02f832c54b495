// The data access as a query source: the host's query set up, rewritten or
// sent as written, executed or prepared, and its result browsed; the
// driver's own internal queries; the item a condition browses on; renamed
// statements; the end of a transaction; and the memo items of the current
// record.
#include "access/table/NADataAccess.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/INAQueryExecution.h"
#include "access/sql/NACommand.h"
#include "access/sql/SQLParserInfo.h"
#include "access/sql/TabValParser.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "access/table/Held.h"
#include "access/table/NATable.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/CodePage.h"
#include "common/text/TextCompare.h"

#include <algorithm>
#include <cwctype>
#include <cwchar>
#include <string>
#include <vector>
#include <new>

namespace {

// Debug points of this file's own errors.
enum : int {
    PT_NO_BROWSE_ITEM = 9,
    PT_CODE_PAGE = 26,
    PT_MEMO_NO_RECORD = 60,
    PT_MEMO_INDEX = 61,
    PT_NOT_PREPARED = 62,
};

// Connection code pages that carry any text.
constexpr int CP_UTF8_TEXT = 65001;
constexpr int CP_ANY_TEXT = -2;
// Comparison flags: letter case ignored.
constexpr unsigned int CMP_NO_CASE = 1;
// The room of the host's item-name buffer, terminator included.
constexpr size_t ITEM_NAME_ROOM = CNADataAccess::ITEM_BUFFER_SIZE;
// The lock type of a query's first read.
constexpr eNA_LOCKTYPE FIRST_READ_LOCK = static_cast<eNA_LOCKTYPE>(1);

bool bSelecting(int eHostType)
{
    return eHostType == 1 || eHostType == 2;
}

// The memo of the index, with an external reference; null with user error
// 50 naming the index and the number of memos.
INAItemDescription* piGetMemo(CNADataAccess* pclAccess, unsigned int nMemo)
{
    INADataSourceDescription* piDescription = pclAccess->piGetDataSourceDescriptionNoRef();
    INAItemDescription* piMemo = piDescription != nullptr ? piDescription->piNAGetMemo(nMemo) : nullptr;
    if (piMemo != nullptr)
        return piMemo;
    CNAError* pclError = pclAccess->pclGetError();
    if (pclError != nullptr) {
        const int nMemos = piDescription != nullptr ? static_cast<int>(piDescription->nGetNumMemos()) : 0;
        pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, CNADataAccess::ERRFILE_DATAACCESS, PT_MEMO_INDEX,
                                 pclAccess->pclGetConnection(), pclAccess->pszGetLogicalName(), nullptr,
                                 ZTERR_COLUMN_INDEX, static_cast<int>(nMemo), nMemos);
    }
    return nullptr;
}

} // namespace

// ---- Running a query --------------------------------------------------------------------------------------------------

int CNADataAccess::bExecuteQuery(int* pbHasResult, const wchar_t* pszName, ISQLParserInformation* piParser,
                                 unsigned int eMode, const INAQueryExecution* piExecution)
{
    int bHasResult = 0;
    const int bResult = _bExecuteQuery(&bHasResult, pszName, eMode, nullptr, piParser, piExecution);
    if (pbHasResult != nullptr)
        *pbHasResult = bHasResult;
    return bResult;
}

int CNADataAccess::bExecuteQueryInternal(CNAStatement** ppclStatement, const wchar_t* pszName, const wchar_t* pszSQL)
{
    if (ppclStatement != nullptr)
        *ppclStatement = nullptr;
    int bHasResult = 0;
    if (!_bExecuteQuery(&bHasResult, pszName, QM_WITHOUT_CORRECTION | QM_INTERNAL, pszSQL, nullptr, nullptr))
        return 0;
    // The browse started on the last statement; a text without columns
    // hands nothing out.
    if (bHasResult && ppclStatement != nullptr && m_pclLastStatement != nullptr) {
        m_pclLastStatement->AddRef();
        *ppclStatement = m_pclLastStatement;
    }
    return 1;
}

int CNADataAccess::_bExecuteQuery(int* pbHasResult, const wchar_t* pszName, unsigned int eMode, const wchar_t* pszSQL,
                                  ISQLParserInformation* piParser, const INAQueryExecution* piExecution)
{
    int bHasResult = 0;
    int bResult = 0;
    const int bPrepared = (eMode & QM_PREPARE) != 0 ? 0 : bHPrepareRequeteCalled();
    if (m_pclConnection == nullptr)
        return 0;
    if (!m_pclConnection->bIsOpen() && !m_pclConnection->bOpen(m_pclError))
        return 0;
    // The objects below throw when their containers find no memory: what
    // was made is given back on the way out.
    try {
        CNACommand* pclCommand = nullptr;
        CTString csParseItem;
        if (!bPrepared) {
            bResult = _bInitQuery(&pclCommand, &csParseItem, pszName, eMode, pszSQL, piParser, piExecution);
        } else {
            _RAZPrepare();
            bResult = 1;
        }
        CHeld<CNACommand> clCommand(pclCommand);
        if (!bResult) {
            // Nothing to report.
        } else if (!bRequeteSansCorrection() && csParseItem.nTaille() > 0) {
            // A selecting query already opened on its first record.
            bHasResult = m_piDescription != nullptr && m_piDescription->nGetNumItems() > 0;
        } else {
            CNAStatement* pclStatement = nullptr;
            bResult = _bExecuteQuery(&pclStatement, pclCommand, pszName, bPrepared, eMode);
            CHeld<CNAStatement> clStatement(pclStatement);
            if (bResult)
                bResult = _bInitQueryParse(&bHasResult, pclStatement, csParseItem.pszGet(), eMode);
        }
    } catch (const std::bad_alloc&) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        bResult = 0;
        bHasResult = 0;
    }
    if (pbHasResult != nullptr)
        *pbHasResult = bHasResult;
    return bResult;
}

int CNADataAccess::_bSetQuery(int bQuery, const wchar_t* pszName, ISQLParserInformation* piParser,
                              unsigned int eMode)
{
    m_bSourceIsQuery = bQuery ? 1 : 0;
    // The digest goes with the rest: a new one is made from the parse.
    _ResetDataAccess();
    if (!bQuery) {
        m_eQueryMode = 0;
    } else if (piParser != nullptr) {
        const wchar_t* pszText = piParser->pszGetRequete();
        const int nCodePage = m_pclConnection != nullptr ? m_pclConnection->nGetCnxCodePage() : CP_UTF8_TEXT;
        if ((eMode & QM_WITHOUT_CORRECTION) != 0 && nCodePage != CP_UTF8_TEXT && nCodePage != CP_ANY_TEXT &&
            !bAnsiCompatible(pszText != nullptr ? pszText : L"", static_cast<unsigned int>(nCodePage))) {
            if (m_pclError != nullptr && m_pclConnection != nullptr) {
                m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DATAACCESS, PT_CODE_PAGE, m_pclConnection,
                                           nullptr, nullptr, ZTERR_CODE_PAGE, pszName != nullptr ? pszName : L"",
                                           nCodePage, m_pclConnection->pszGetLogicalConnectionName(),
                                           m_pclConnection->pszGetDefaultDataBaseEx(),
                                           m_pclConnection->pszGetDataBase());
                m_pclError->AddDebugMessageNoFormatFirst(pszText != nullptr ? pszText : L"");
            }
            return 0;
        }
        CSQLParserInfo* pclInfo = new (std::nothrow) CSQLParserInfo(
            m_pclError, piParser, m_pclTable != nullptr ? m_pclTable->piGetQueryBindVariableNoRef() : nullptr, 0);
        if (pclInfo == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->pclGetXError()->SetErrorNoMemory();
            return 0;
        }
        pclInfo->AddRef();
        m_pclQueryParserInfo = pclInfo;
        m_eQueryMode = eMode;
    } else {
        m_eQueryMode = eMode | QM_WITHOUT_CORRECTION;
    }
    if (bQuery && (m_eQueryMode & QM_WITHOUT_CORRECTION) == 0 && m_pclQueryParserInfo != nullptr) {
        CTString csUpper(m_pclQueryParserInfo->pszGetRequete());
        csUpper.Majuscule();
        if (csUpper.nPos(L" JOIN ") > 0)
            m_eQueryMode |= QM_JOIN;
    }
    _SetExecutionStatement(nullptr);
    return 1;
}

int CNADataAccess::_bInitQuery(CNACommand** ppclCommand, CTString* pclParseItem, const wchar_t* pszName,
                               unsigned int eMode, const wchar_t* pszSQL, ISQLParserInformation* piParser,
                               const INAQueryExecution* piExecution)
{
    *ppclCommand = nullptr;
    if (!_bSetQuery(1, pszName, piParser, eMode))
        return 0;
    CHeld<CNADataSourceDescription> clDescription(nullptr);
    {
        CNADataSourceDescription* pcl = _pclAllocDataSource(m_pclConnection, m_pclError);
        if (pcl == nullptr)
            return 0;
        pcl->AddRef();
        clDescription.Reset(pcl);
    }
    clDescription->SetLogicalName(pszName);
    clDescription->SetDBName(pszName);
    _SetDataSource(clDescription.Get());
    const int eHostType = m_pclQueryParserInfo != nullptr ? m_pclQueryParserInfo->eGetTypeRequete() : 0;

    if (bSelecting(eHostType) && !bRequeteSansCorrection()) {
        int bResult = clDescription->bCompleteDescription(m_pclQueryParserInfo);
        if (bResult)
            bResult = _bInitCurrentRecord();
        unsigned int nFlags = WPF_QUERY_ORDER;
        // The browse item goes by the description's name, which tells two
        // output columns of one name apart; its column stands at its place.
        CNAItemDescription* pclItem = nullptr;
        if (piExecution != nullptr) {
            nFlags = piExecution->nGetParseFlags() | WPF_CONTINUE;
            const wchar_t* pszAsked = piExecution->pszGetParseItem();
            if (pszAsked != nullptr && pszAsked[0] != 0)
                pclItem = clDescription->pclNAGetItemNoRef(pszAsked, 2);
            if (pclItem == nullptr)
                nFlags = piExecution->nGetParseFlags() | WPF_CONTINUE | WPF_QUERY_ORDER;
        }
        if (pclItem == nullptr)
            pclItem = clDescription->pclNAGetItemNoRef(pszGetBestParseItemName(), 2);
        IInfoRubrique* piColumn =
            pclItem != nullptr ? m_pclQueryParserInfo->piGetRubriqueOUT(pclItem->nGetPhysicalIndice()) : nullptr;
        // The name is kept: the first read may rename the description's items.
        CTString csColumn(pclItem != nullptr ? pclItem->pszGetName() : pszGetBestParseItemName());
        m_csQueryParseItem.Set(csColumn.pszGet());
        if (bResult) {
            m_bOpened = 1;
            eNA_LOCKTYPE eLock = FIRST_READ_LOCK;
            bResult = bHLitxxx(csColumn.pszGet(), NA_PARSE_FIRST, 1, FIRST_READ_LOCK, &eLock, nFlags);
            if (bResult && pclItem != nullptr && piColumn != nullptr && piColumn->eGetCalcul() != 0 &&
                STR_nCompareW(pclItem->pszGetName(), csColumn.pszGet(), CMP_NO_CASE) != 0) {
                m_csQueryParseItem.Set(pclItem->pszGetName());
                bResult = _bChangeStatementKey(pclItem->pszGetName(), csColumn.pszGet(), nullptr);
            }
        }
        pclParseItem->Set(pclItem != nullptr ? pclItem->pszGetName() : csColumn.pszGet());
        m_bQueryParsePending = 1;
        return bResult;
    }

    CHeld<CNACommand> clCommand(pclAllocCommand(m_pclError));
    if (!clCommand)
        return 0;
    clCommand->AddRef();
    clCommand->SetQueryType(eHostType);
    const int bResult =
        m_pclQueryParserInfo != nullptr
            ? clCommand->bFormatCondition(m_pclQueryParserInfo, nullptr, 1, static_cast<int>(m_eQueryMode))
            : clCommand->bSetInternalQuery(pszSQL != nullptr ? pszSQL : L"", static_cast<unsigned int>(-1));
    if (!bResult)
        return 0;
    *ppclCommand = clCommand.Release();
    return 1;
}

void CNADataAccess::TakeColumnSets()
{
    // A query whose rows are none of a table's (an aggregate, a GROUP BY, a
    // DISTINCT) reads no exact forms.
    if (m_bColumnSetsTaken || m_pclQueryParserInfo == nullptr || !m_pclQueryParserInfo->bHOperationAllowed())
        return;
    m_bColumnSetsTaken = 1;
    // A query's description is the driver's own.
    CNADataSourceDescription* pclDescription = static_cast<CNADataSourceDescription*>(m_piDescription);
    const int nItems = pclDescription != nullptr ? static_cast<int>(pclDescription->nGetNumItems()) : 0;
    // The FROM entry a text item reads, an alias as its table's; empty for
    // a computed one.
    const auto fnSourceOf = [this](CNAItemDescription* pclItem) {
        const wchar_t* psz = nullptr;
        switch (pclItem->eNAGetItemType()) {
        case NA_IT_TEXTE: case NA_IT_CHAR: case NA_IT_UNICODE: case NA_IT_MEMOTEXTE: case NA_IT_MEMOUNICODE:
            psz = m_pclQueryParserInfo->pszGetAliasTableName(pclItem->pszGetSourceName());
            break;
        default:
            break;
        }
        return std::wstring(psz != nullptr ? psz : L"");
    };
    std::vector<std::wstring> tabDone;
    for (int i = 0; i < nItems; i++) {
        CNAItemDescription* pclFirst = pclDescription->pclNAGetItemNoRef(i);
        const std::wstring strSource = fnSourceOf(pclFirst);
        if (strSource.empty() || std::find(tabDone.begin(), tabDone.end(), strSource) != tabDone.end())
            continue;
        tabDone.push_back(strSource);
        // The table's description the host holds, when the driver read it;
        // else read now, once. One that cannot be read leaves its items
        // without a set, and the query reads on: nothing of the failure is
        // kept.
        struct SHeld {
            INADataSourceDescription* pi;
            ~SHeld()
            {
                if (pi != nullptr)
                    pi->nExternalRelease();
            }
        } stHost{m_pclQueryParserInfo->piGetNADataSourceDescription(strSource.c_str())};
        const CNADataSourceDescription* pclTable = CNADataSourceDescription::s_pclReadFromCatalogue(stHost.pi);
        CHeld<CNADataSourceDescription> clRead;
        if (pclTable == nullptr && CNADriver::s_pclDriver != nullptr) {
            CHeld<CNAError> clQuiet(pclWithReference(CNADriver::s_pclDriver->pclAllocError()));
            CTString csTable;
            _GetDBSourceName(pclFirst, &csTable, 0);
            if (clQuiet)
                clQuiet->SetQuiet(1);
            clRead.Reset(clQuiet ? pclWithReference(_pclAllocDataSource(m_pclConnection, clQuiet.Get())) : nullptr);
            if (clRead &&
                clRead->bInitDataSourceDescriptionFromDB(csTable.pszGet(), CNADataSourceDescription::DB_ITEMS_ONLY))
                pclTable = clRead.Get();
        }
        for (int k = i; pclTable != nullptr && k < nItems; k++) {
            CNAItemDescription* pclItem = pclDescription->pclNAGetItemNoRef(k);
            const CNAItemDescription* pclColumn = fnSourceOf(pclItem) == strSource
                                                      ? pclTable->pclNAGetItemNoRef(pclItem->pszGetNameInSource(), 2)
                                                      : nullptr;
            if (pclColumn != nullptr)
                pclItem->SetColumnCharset(pclColumn->pszGetColumnCharset());
        }
    }
}

int CNADataAccess::_bExecuteQuery(CNAStatement** ppclStatement, CNACommand* pclCommand, const wchar_t* pszName,
                                  int bPrepared, unsigned int eMode)
{
    *ppclStatement = nullptr;
    CNAStatement* pclStatement = nullptr;
    if (!bRequeteSansCorrection() && pszName != nullptr && pszName[0] != 0) {
        pclStatement = _pclFindStatement(pszName);
        if (pclStatement == nullptr)
            pclStatement = _pclInitStatement(pszName);
        if (pclStatement != nullptr)
            m_pclLastStatement = pclStatement;
    } else {
        pclStatement = _pclGetQueryStatement();
    }
    if (pclStatement == nullptr)
        return 0;
    CHeld<CNAStatement> clStatement(pclStatement);
    int bResult = 0;
    if ((eMode & QM_PREPARE) != 0) {
        _SetExecutionStatement(pclStatement);
        bResult = pclStatement->bPrepare(pclCommand, 1);
    } else {
        const unsigned int nFlags = (m_eQueryMode & QM_INTERNAL) != 0 ? static_cast<unsigned int>(WPF_NO_CACHES) : 0u;
        bResult = bPrepared ? pclStatement->bExecutePreparedQuery(nFlags, 1)
                            : pclStatement->bExecuteDirectNewCommand(pclCommand, nFlags, 1);
    }
    if (!bResult) {
        // This server's statements are never prepared: a preparation or its
        // run fails with nothing said, and the host must learn why.
        if (((eMode & QM_PREPARE) != 0 || bPrepared) && m_pclError != nullptr &&
            m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
            _bNotBuilt(PT_NOT_PREPARED);
        return 0;
    }
    *ppclStatement = clStatement.Release();
    return 1;
}

int CNADataAccess::_bInitQueryParse(int* pbHasResult, CNAStatement* pclStatement, const wchar_t* pszParseItem,
                                    unsigned int eMode)
{
    int bResult = 1;
    if ((eMode & QM_PREPARE) == 0 && bHPrepareRequeteCalled()) {
        *pbHasResult = m_piDescription != nullptr && m_piDescription->nGetNumItems() > 0;
    } else {
        CNADataSourceDescription* pclDescription = static_cast<CNADataSourceDescription*>(m_piDescription);
        if (pclDescription == nullptr || !pclStatement->bGetQueryStructure(pclDescription)) {
            *pbHasResult = 0;
            return 0;
        }
        if (pclDescription->nGetNumItems() == 0) {
            *pbHasResult = 0;
        } else {
            *pbHasResult = 1;
            if (!_SetImportedDataSourceDesc(pclDescription))
                return 0;
            // The data access browses its own copy: the imported description
            // stays as the server described the result.
            CNADataSourceDescription* pclClone = pclDescription->pclGetCloneDataSourceDescription(0);
            if (pclClone == nullptr) {
                if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
                    m_pclError->pclGetXError()->SetErrorNoMemory();
                return 0;
            }
            pclClone->AddRef();
            _FreeDataSource();
            _SetDataSource(pclClone);
            pclClone->nRelease();
            if (!bRequeteSansCorrection() && !pclClone->bCompleteDescription(m_pclQueryParserInfo))
                return 0;
            if (!_bInitCurrentRecord())
                return 0;
            pclStatement->SetCurrentRecord(m_pclCurrentRecord);
            m_bCompatible = 1;
            CNACommand* pclCommand = pclStatement->pclGetCommandNoRef();
            if (bRequeteSansCorrection() && pclCommand != nullptr) {
                for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
                    CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
                    if (!pclColumn->bIsComposedKey())
                        pclCommand->AddDefine(pclColumn);
                }
            }
        }
        if ((eMode & QM_PREPARE) != 0)
            return bResult;
    }
    if ((pszParseItem != nullptr && pszParseItem[0] != 0) || bRequeteSansCorrection()) {
        if (*pbHasResult == 1) {
            bResult = _bInitParcoursRequete(pclStatement);
            m_bOpened = 1;
            return bResult;
        }
    }
    pclStatement->Close();
    return bResult;
}

int CNADataAccess::_bInitParcoursRequete(CNAStatement* pclStatement)
{
    m_pclLastStatement = pclStatement;
    pclStatement->SetParseStarted();
    int bResult = 1;
    if (bRequeteSansCorrection()) {
        const CTString csBest(pszGetBestParseItemName());
        const CTString csOld(pclStatement->pszGetParseItem());
        if (std::wcscmp(csBest.pszGet(), csOld.pszGet()) != 0 &&
            !_bChangeStatementKey(csBest.pszGet(), csOld.pszGet(), pclStatement)) {
            m_bQueryParsePending = 1;
            return 0;
        }
        pclStatement->EnableCache(1);
        // Counts and searches of a query sent as written need its table cache.
        bResult = _bCreateNewTableCache(pclStatement);
        if (bResult)
            bResult = _bTableCacheSetStatementParse(pclStatement);
    }
    m_bQueryParsePending = 1;
    return bResult;
}

// ---- Query facts ----------------------------------------------------------------------------------------------------

int CNADataAccess::eSourceQueryType() const
{
    return m_pclQueryParserInfo != nullptr ? CNACommand::eConvertTypeQuery(m_pclQueryParserInfo->eGetTypeRequete()) : 0;
}

int CNADataAccess::bSameQuery(ISQLParserInformation* piParser)
{
    if (m_pclQueryParserInfo == nullptr || piParser == nullptr)
        return 0;
    const wchar_t* pszText = piParser->pszGetRequete();
    const wchar_t* pszOwn = m_pclQueryParserInfo->pszGetRequete();
    if (pszText == nullptr || pszOwn == nullptr)
        return 0;
    return STR_nCompareW(pszOwn, pszText, CMP_NO_CASE) == 0;
}

int CNADataAccess::bFindBestItem(ISQLParserInformation* piParser, wchar_t* pszItem)
{
    CHeldItem clChosen, clDuplicates, clFirst;
    CTabValParser* pclValues = piParser != nullptr ? piParser->pclGetTabValParser() : nullptr;
    const int nValues = pclValues != nullptr ? pclValues->nGetNbValeur() : 0;
    for (int i = 0; i < nValues && !clChosen; i++) {
        const CAny* pclValue = pclValues->pclGetValeur(i);
        if (pclValue->nGetTypeCode() != TQTYPE_PSTRW || pclValue->bIsNull())
            continue;
        const wchar_t* pszName = nullptr;
        if (pclValue->pclGetTraitement()->nGetPCWSTR(&pszName) > 99 || pszName == nullptr)
            continue;
        // "table.item" names the item.
        const wchar_t* pszDot = std::wcschr(pszName, L'.');
        CHeldItem clItem(piGetItemDescription(pszDot != nullptr ? pszDot + 1 : pszName));
        if (!clItem)
            continue;
        if (!clFirst && !clItem->bMemo())
            clFirst.Reset(clItem.Release());
        else if (clItem->bUnique())
            clChosen.Reset(clItem.Release());
        else if (!clDuplicates && clItem->bDuplicates())
            clDuplicates.Reset(clItem.Release());
    }
    CHeldItem clBest(clChosen      ? clChosen.Release()
                   : clDuplicates ? clDuplicates.Release()
                   : clFirst      ? clFirst.Release()
                                  : piGetBestParseItemDesc());
    const wchar_t* pszName = clBest ? clBest->pszGetName() : nullptr;
    if (pszName == nullptr || pszName[0] == 0) {
        _RaiseUserError(PT_NO_BROWSE_ITEM, ZTERR_NO_BROWSE_ITEM, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    if (pszItem != nullptr) {
        // The host's buffer holds ITEM_NAME_ROOM characters.
        size_t n = std::wcslen(pszName);
        if (n > ITEM_NAME_ROOM - 1)
            n = ITEM_NAME_ROOM - 1;
        std::wmemcpy(pszItem, pszName, n);
        pszItem[n] = 0;
    }
    return 1;
}

// ---- Renamed statements ------------------------------------------------------------------------------------------

int CNADataAccess::_bChangeStatementKey(const wchar_t* pszNewKey, const wchar_t* pszOldKey,
                                        CNAStatement* pclStatement)
{
    if (pszNewKey == nullptr)
        pszNewKey = L"";
    if (pszOldKey == nullptr)
        pszOldKey = L"";
    if (pclStatement != nullptr)
        pclStatement->AddRef();
    else
        pclStatement = _pclFindStatement(pszOldKey);
    if (pclStatement == nullptr)
        return 1;
    // Held while it is out of the table.
    CHeld<CNAStatement> clHeld(pclStatement);
    // The keys copied: they may be the statement's own texts.
    const CTString csNew(pszNewKey);
    const CTString csOld(pszOldKey);
    if (CHashTableBounce::nStringLogiqueCompare(csNew.pszGet(), csOld.pszGet()) != 0) {
        {
            CHeld<CNAStatement> clFiled(_pclFindStatement(csOld.pszGet()));
            if (clFiled.Get() == pclStatement)
                m_tabStatement.bRemoveValue(csOld.pszGet());
        }
        {
            CHeld<CNAStatement> clOccupant(_pclFindStatement(csNew.pszGet()));
            if (clOccupant && clOccupant.Get() != pclStatement) {
                if (m_pclLastStatement == clOccupant.Get())
                    m_pclLastStatement = pclStatement;
                m_tabStatement.bRemoveValue(csNew.pszGet());
            }
        }
        bool bFiled = false;
        try {
            bFiled = m_tabStatement.bAddValue(csNew.pszGet(), pclStatement);
        } catch (const std::bad_alloc&) {
            bFiled = false;
        }
        if (!bFiled) {
            // Out of the table it cannot stay the last statement.
            if (m_pclLastStatement == pclStatement)
                m_pclLastStatement = nullptr;
            if (m_pclError != nullptr)
                m_pclError->pclGetXError()->SetErrorNoMemory();
            return 0;
        }
    }
    pclStatement->SetName(csNew.pszGet());
    pclStatement->SetParseItem(csNew.pszGet());
    return 1;
}

// ---- Transaction end ------------------------------------------------------------------------------------------------

void CNADataAccess::SetTransactionTermined()
{
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabStatement.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNAStatement* pcl = static_cast<CNAStatement*>(pValue);
        pcl->AddRef();
        _SetTransactionTermined(pcl);
        pcl->nRelease();
    }
}

void CNADataAccess::ReloadFromServer()
{
    // Marked first: a browse the cache served goes back to its record on
    // the server, not to the cache's stale rows; one with no record to go
    // back to reads its result again all the same.
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabStatement.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNAStatement* pcl = static_cast<CNAStatement*>(pValue);
        pcl->AddRef();
        if (_SetTransactionTermined(pcl) == CNAStatement::UPDATE_NONE && pcl->bParseStarted())
            pcl->bSetParseNeedUpdate(CNAStatement::UPDATE_REEXECUTE, -1);
        pcl->nRelease();
    }
    if (m_pclTableCache != nullptr)
        _FreeTableCache();
}

namespace {
// The table names a data access reads, without database or quotes, in
// upper case; false when they are not known.
bool bSourceTables(const CNADataAccess* pclAccess, std::vector<std::wstring>* ptab)
{
    auto fnAdd = [ptab](const wchar_t* pszName) {
        std::wstring str(pszName != nullptr ? pszName : L"");
        const size_t nDot = str.find_last_of(L'.');
        if (nDot != std::wstring::npos)
            str.erase(0, nDot + 1);
        std::wstring strBare;
        for (const wchar_t c : str)
            if (c != L'`' && c != L'"' && c != L'[' && c != L']')
                strBare += STR_cFixedUpper(c);
        ptab->push_back(strBare);
    };
    if (!pclAccess->bSourceIsQuery()) {
        fnAdd(pclAccess->pszGetDBTableName());
        return true;
    }
    const CSQLParserInfo* pclInfo = pclAccess->pclGetQueryParserInfoNoRef();
    if (pclInfo == nullptr || pclInfo->nGetFichierFromNbr() == 0)
        return false;
    for (int i = 0; i < pclInfo->nGetFichierFromNbr(); i++) {
        IInfoFrom* piFrom = pclInfo->piGetFichierFrom(i);
        const wchar_t* pszLogical = piFrom != nullptr ? piFrom->pszGetNomTable() : nullptr;
        // A source with no name (a derived table) may read any table.
        if (pszLogical == nullptr || pszLogical[0] == 0)
            return false;
        const wchar_t* pszPhysical = pclInfo->pszGetPhysicalName(pszLogical);
        fnAdd(pszPhysical != nullptr && pszPhysical[0] != 0 ? pszPhysical : pszLogical);
    }
    return true;
}
} // namespace

int CNADataAccess::bSharesTableWith(const CNADataAccess* pclOther) const
{
    std::vector<std::wstring> tabMine;
    std::vector<std::wstring> tabOther;
    if (pclOther == nullptr || !bSourceTables(this, &tabMine) || !bSourceTables(pclOther, &tabOther))
        return 1;
    for (const std::wstring& str : tabMine)
        if (std::find(tabOther.begin(), tabOther.end(), str) != tabOther.end())
            return 1;
    return 0;
}

int CNADataAccess::_SetTransactionTermined(CNAStatement* pclStatement)
{
    if (pclStatement == nullptr || !pclStatement->bParseStarted())
        return 0;
    if (pclStatement->eParseNeedUpdate() == CNAStatement::UPDATE_NONE)
        pclStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_REEXECUTE);
    return pclStatement->eParseNeedUpdate();
}

// ---- Memos ------------------------------------------------------------------------------------------------------------

int CNADataAccess::bGetBLOB(unsigned int nMemo, CAny* pValue)
{
    if (pValue == nullptr)
        return 0;
    if (m_pclLastStatement == nullptr && m_pclCurrentRecord == nullptr) {
        pValue->SetNullFlag(true);
        return 1;
    }
    CHeldItem clMemo(piGetMemo(this, nMemo));
    if (!clMemo)
        return 0;
    if (m_pclLastStatement != nullptr)
        return m_pclLastStatement->bGetBLOB(clMemo.Get(), pValue);
    CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(clMemo.Get());
    return pclColumn != nullptr && pclColumn->bGetCurrentValue(pValue, 0);
}

int CNADataAccess::bSetBLOB(unsigned int nMemo, const CAny* pValue)
{
    CHeldItem clMemo(piGetMemo(this, nMemo));
    return clMemo && _bSetBLOB(clMemo.Get(), pValue);
}

int CNADataAccess::_bSetBLOB(INAItemDescription* piItem, const CAny* pValue)
{
    if (m_pclCurrentRecord == nullptr) {
        _RaiseUserError(PT_MEMO_NO_RECORD, ZTERR_NO_CURRENT_RECORD, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    CNAColumn* pclColumn = piItem != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(piItem) : nullptr;
    return pclColumn != nullptr && pValue != nullptr && pclColumn->bSetValueToDB(pValue, 0);
}

int CNADataAccess::bHAttacheMemo(unsigned int nMemo, const wchar_t* pszFile)
{
    CHeldItem clMemo(piGetMemo(this, nMemo));
    return clMemo && _bHAttacheMemo(clMemo.Get(), pszFile);
}

int CNADataAccess::_bHAttacheMemo(INAItemDescription* piItem, const wchar_t* pszFile)
{
    if (m_pclCurrentRecord == nullptr) {
        _RaiseUserError(PT_MEMO_NO_RECORD, ZTERR_NO_CURRENT_RECORD, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    CNAColumn* pclColumn = piItem != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(piItem) : nullptr;
    return pclColumn != nullptr && pclColumn->bHAttacheMemo(pszFile);
}

int CNADataAccess::bExtraitMemo(unsigned int nMemo, const wchar_t* pszFile)
{
    if (m_pclLastStatement == nullptr)
        return 1;
    CHeldItem clMemo(piGetMemo(this, nMemo));
    return clMemo && m_pclLastStatement->bExtraitMemo(clMemo.Get(), pszFile);
}
