#include "access/statement/NAStatement.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/ColumnList.h"
#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/sql/NAExpression.h"
#include "access/sql/NARecherche.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatementSQL.h"
#include "access/statement/NATableCache.h"
#include "access/statement/NATableCacheIndex.h"
#include "access/table/NADataAccess.h"
#include "access/table/NAIDAuto.h"
#include "access/table/NAPosition.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/CodePage.h"
#include "common/text/TextCompare.h"
#include "common/text/XYString.h"
#include "common/values/Any.h"
#include "common/values/NACnvVariant.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

namespace {

const int FILE_STATEMENT = CNAStatement::ERRFILE_STATEMENT;

// Raising sites of this file.
enum : int {
    PT_NO_SQL_STATEMENT = 1,
    PT_UPDATE_NO_ROW = 2,
    PT_ORDER_ITEM = 3,
    PT_NO_SUB_QUERY = 4,
    PT_NO_QUERY_TYPE = 5,
    PT_BUILD_KIND = 6,
    PT_WRITE_QUERY = 7,
    PT_NO_ROW_READ = 8,
    PT_DELETE_ALL_QUERY = 9,
    PT_NO_MEMORY = 10,
    PT_TABLE_CACHE = 12,
    PT_POSITION = 13,
    PT_NO_COMMAND = 14,
    PT_VALUE_TOO_LONG = 15,
    PT_VALUE_NOT_HELD = 16,
    PT_WRITE_TABLE = 17,
    PT_WRITE_TWICE = 18,
    PT_STATEMENT_TOO_LONG = 19,
};

// Seen from the SQL result: a result of that many rows is read as a stream.
const long long STREAMED_ROWS = 4294967295LL;

// Record-save table entries.
const int SAVE_NONE = -1;
const int SAVE_DELETED = -2;

// The host type of a count.
const unsigned short COUNT_TYPE = TQTYPE_I8;

bool _bEmpty(const wchar_t* psz)
{
    return psz == nullptr || psz[0] == 0;
}

// Both defined with the same bytes, or both undefined.
bool _bSameItemValue(const CNARecordValue* pclOne, const CNARecordValue* pclOther, const INAItemDescription* piItem)
{
    const CNAKXRecord* pclA = pclOne->pclGetNAKXRecord();
    const CNAKXRecord* pclB = pclOther->pclGetNAKXRecord();
    if (pclA == nullptr || pclB == nullptr || piItem == nullptr)
        return false;
    const bool bDefined = pclA->bItemValueDefined(piItem, 0) != 0;
    if (bDefined != (pclB->bItemValueDefined(piItem, 0) != 0))
        return false;
    const unsigned char* pbyA = pclA->pbyGetItemValue(piItem, 0);
    const unsigned char* pbyB = pclB->pbyGetItemValue(piItem, 0);
    return !bDefined || (pbyA != nullptr && pbyB != nullptr &&
                         std::memcmp(pbyA, pbyB, piItem->nGetItemSize()) == 0);
}

bool _bBackward(int eDirection)
{
    return eDirection == NA_PARSE_LAST || eDirection == NA_PARSE_PREVIOUS;
}

// The direction of a browse ordered the reverse way.
int _eSwapped(int eDirection)
{
    switch (eDirection) {
    case NA_PARSE_FIRST: return NA_PARSE_LAST;
    case NA_PARSE_LAST: return NA_PARSE_FIRST;
    case NA_PARSE_NEXT: return NA_PARSE_PREVIOUS;
    case NA_PARSE_PREVIOUS: return NA_PARSE_NEXT;
    default: return eDirection;
    }
}

// One ORDER BY term.
struct STerm {
    CNAColumn* pclColumn;
    int bAscending;
};

bool _bSameColumn(const CNAColumn* a, const CNAColumn* b)
{
    return a == b || (std::wcscmp(a->pszGetSourceName(), b->pszGetSourceName()) == 0 &&
                      std::wcscmp(a->pszGetOriginalName(), b->pszGetOriginalName()) == 0);
}

// The field takes a reference on the new object, then gives back the one
// it held.
template <class T>
void _Hold(T*& pField, T* pNew)
{
    if (pNew == pField)
        return;
    if (pNew != nullptr)
        pNew->AddRef();
    T* pOld = pField;
    pField = pNew;
    if (pOld != nullptr)
        pOld->nRelease();
}

// A letter, a digit or "_": a type name glued to one of these is another
// word.
bool _bWordCharacter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
}

} // namespace

// ---- Construction -----------------------------------------------------------------------------------

CNAStatement::CNAStatement(CNADataAccess* pclDataAccess, CNAError* pclError) : CNAStatement(pclError, nullptr)
{
    m_pclDataAccess = pclDataAccess;
    if (pclDataAccess != nullptr) {
        m_piDataSource = pclDataAccess->piGetDataSourceDescription();
        m_pclCurrentRecord = pclDataAccess->pclGetCurrentRecord();
    }
    if (pclError != nullptr)
        _bAllocStatementSQL();
}

CNAStatement::CNAStatement(CNAError* pclError, CNAStatementSQL* pclStatementSQL)
    : m_pclError(pclError),
      m_pclStatementSQL(pclStatementSQL),
      m_nTieBreak(3),
      m_pclDataAccess(nullptr),
      m_piDataSource(nullptr),
      m_pclCommand(nullptr),
      m_pclCurrentRecord(nullptr),
      m_pclStmtOriginalRecord(nullptr),
      m_eLockType(1),
      m_bEndehors(1),
      m_bFound(0),
      m_bHTrouve(0),
      m_bParseStarted(0),
      m_bRecordLost(0),
      m_eLastDirection(NA_PARSE_FIRST),
      m_llCurrentRecord(-1),
      m_nRecordSaveID(-1),
      m_eParseNeedUpdate(UPDATE_NONE),
      m_nBlockLimit(-1),
      m_bFirstBlock(1),
      m_bNextBlock(0),
      m_llBlockBase(0),
      m_llRepeatCount(0),
      m_bCurrentRowDeleted(0),
      m_pclBestColumn(nullptr),
      m_nParseFlags(0),
      m_bRestoredRow(0),
      m_bMoreRows(0),
      m_pclFilter(nullptr),
      m_pclRecherche(nullptr),
      m_bInternalSearch(0),
      m_tabPosition(7),
      m_pclRecordCache(nullptr),
      m_pclTableCacheIndex(nullptr),
      m_pnRecordSave(nullptr),
      m_llRecordSaveSize(0),
      m_nDeletedRows(0),
      m_bEqualRowsOnly(0),
      m_bRepeatBackward(0),
      m_ePastEnd(-1),
      m_pclRefreshRefusals(nullptr)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclStatementSQL != nullptr)
        m_pclStatementSQL->AddRef();
}

CNAStatement::~CNAStatement()
{
    m_tabPosition.SupprimeTout();
    _FreeRecordSaveTable();
    _ReleaseRecordSave(m_nRecordSaveID);
    m_nRecordSaveID = -1;
    CNAReadFailure::s_Hold(&m_pclRefreshRefusals, nullptr);
    _SetRowSearch(nullptr);
    if (m_pclTableCacheIndex != nullptr)
        m_pclTableCacheIndex->dwRelease();
    if (m_pclRecordCache != nullptr)
        m_pclRecordCache->nRelease();
    m_clUserSearch.CancelUserSearch();
    if (m_pclRecherche != nullptr)
        m_pclRecherche->nRelease();
    m_clFilterSave.SetFilter(nullptr);
    if (m_pclFilter != nullptr)
        m_pclFilter->nRelease();
    if (m_pclBestColumn != nullptr)
        m_pclBestColumn->nRelease();
    if (m_pclStmtOriginalRecord != nullptr)
        m_pclStmtOriginalRecord->nRelease();
    if (m_pclCurrentRecord != nullptr)
        m_pclCurrentRecord->nRelease();
    if (m_pclCommand != nullptr)
        m_pclCommand->nRelease();
    if (m_piDataSource != nullptr)
        m_piDataSource->nExternalRelease();
    if (m_pclStatementSQL != nullptr)
        m_pclStatementSQL->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

int CNAStatement::_bAllocStatementSQL()
{
    CNADriverSQL* pclSQL = CNADriver::s_pclGetDriverSQL();
    CNAStatementSQL* pcl = pclSQL != nullptr ? pclSQL->pclAllocStatementSQL(pclGetConnectionNoRef(), m_pclError) : nullptr;
    if (pcl == nullptr)
        return _bNoMemory(PT_NO_SQL_STATEMENT);
    pcl->AddRef();
    if (m_pclStatementSQL != nullptr)
        m_pclStatementSQL->nRelease();
    m_pclStatementSQL = pcl;
    return 1;
}

int CNAStatement::_bReadySQLStatement()
{
    if (m_pclStatementSQL == nullptr)
        return _bAllocStatementSQL();
    _FreeRecordSaveTable();
    m_pclStatementSQL->bReset();
    return 1;
}

void CNAStatement::SetCurrentRecord(CNARecord* pclRecord)
{
    _Hold(m_pclCurrentRecord, pclRecord);
}

void CNAStatement::SetDataSource(INADataSourceDescription* piDescription)
{
    if (piDescription != nullptr)
        piDescription->ExternalAddRef();
    if (m_piDataSource != nullptr)
        m_piDataSource->nExternalRelease();
    m_piDataSource = piDescription;
}

// ---- Errors -----------------------------------------------------------------------------------------

void CNAStatement::_RaiseUserError(int nPoint, unsigned int nUserError, const wchar_t* pszItem)
{
    if (m_pclError == nullptr)
        return;
    const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
    m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, FILE_STATEMENT, nPoint, pclGetConnectionNoRef(), pszTable,
                               pszItem, nUserError, pszTable);
}

int CNAStatement::_bNotOffered(int nPoint, const wchar_t* pszItem)
{
    if (m_pclError != nullptr) {
        const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, FILE_STATEMENT, nPoint, pclGetConnectionNoRef(), pszTable,
                                   pszItem, ZTERR_NOT_OFFERED);
    }
    return 0;
}

int CNAStatement::_bNoMemory(int nPoint)
{
    if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERAL, FILE_STATEMENT, nPoint, pclGetConnectionNoRef(), ZTERR_NO_MEMORY);
    return 0;
}

void CNAStatement::_CopyStatementSQLError()
{
    CNAError* pclError = nullptr;
    if (m_pclError != nullptr && m_pclStatementSQL != nullptr && m_pclStatementSQL->bGetStmtLastError(&pclError) &&
        pclError != nullptr && pclError != m_pclError)
        m_pclError->Copy(pclError);
}

void CNAStatement::CurrentRecordNotFound(const wchar_t* pszItem, int nFile, int nPoint)
{
    m_bRecordLost = 1;
    if (m_pclError == nullptr)
        return;
    const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
    m_pclError->RaiseUserError(NA_ERRORTYPE_ROWGONE, nFile, nPoint, pclGetConnectionNoRef(), pszTable, pszItem,
                               ZTERR_RECORD_NOT_FOUND, pszTable);
}

void CNAStatement::_ReleaseRecordSave(int nId)
{
    if (nId >= 0 && m_pclDataAccess != nullptr)
        m_pclDataAccess->nReleaseRecordSave(nId);
}

// ---- What the statement reads of its data access ------------------------------------------------------

const wchar_t* CNAStatement::pszGetTableName() const
{
    return m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetDBTableName() : L"";
}

CNAConnectionDescription* CNAStatement::pclGetConnectionNoRef() const
{
    return m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetConnection() : nullptr;
}

unsigned int CNAStatement::nGetRowMaxLen() const
{
    return m_pclStatementSQL != nullptr ? m_pclStatementSQL->nGetRowMaxLen() : 0;
}

int CNAStatement::eGetQueryType() const
{
    if (m_pclTableCacheIndex != nullptr || m_pclCommand == nullptr)
        return QT_SELECT;
    return m_pclCommand->eGetQueryType();
}

int CNAStatement::bInvertFetch() const
{
    return m_pclTableCacheIndex == nullptr && m_pclCommand != nullptr && m_pclCommand->bInvertFetch();
}

int CNAStatement::nGetBindDefineFlag() const
{
    return m_pclCommand != nullptr ? m_pclCommand->nGetDefineMode() : 0;
}

long long CNAStatement::llGetRowLimit() const
{
    return m_pclCommand != nullptr && m_pclCommand->llGetRowLimit() > 0 ? m_pclCommand->llGetRowLimit() : NO_LIMIT;
}

int CNAStatement::bGetQueryStructure(CNADataSourceDescription* pclDescription)
{
    const int bResult = _bGetQueryStructure(pclDescription, 0);
    if (m_pclCommand != nullptr && m_pclCommand->eGetQueryType() == QT_NONE)
        m_pclCommand->SetStatementKind(pclDescription != nullptr && pclDescription->nGetNumItems() > 0 ? QT_SELECT
                                                                                                    : QT_NORESULT);
    return bResult;
}

int CNAStatement::_bGetQueryStructure(CNADataSourceDescription* pclDescription, int bSkip)
{
    if (bSkip)
        return 1;
    if (pclDescription == nullptr || m_pclStatementSQL == nullptr)
        return 0;
    return pclDescription->bInitDataSourceDescriptionFromStatement(m_pclStatementSQL);
}

int CNAStatement::bEqualStmtOriginalRecordId(const CNARecordValue* pclValue) const
{
    if (m_pclStmtOriginalRecord == nullptr || pclValue == nullptr)
        return 0;
    const CNARecordId* a = m_pclStmtOriginalRecord->pclGetRecordIdNoRef();
    const CNARecordId* b = pclValue->pclGetRecordIdNoRef();
    return a != nullptr && b != nullptr && a->bEqualRecordId(b) &&
                   CNAReadFailure::s_bSameRefusals(m_pclStmtOriginalRecord->pclGetReadFailureNoRef(),
                                                   pclValue->pclGetReadFailureNoRef())
               ? 1
               : 0;
}

int CNAStatement::bForgetWrittenRefusals(int eType, unsigned int nFlags)
{
    CNARecordValue* pclRow =
        m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() : nullptr;
    if (pclRow != nullptr && eType == QT_INSERT)
        pclRow->SetReadFailure(nullptr);
    const int nColumns =
        pclRow != nullptr && pclRow->pclGetReadFailureNoRef() != nullptr ? m_pclCurrentRecord->nGetNbColumn() : 0;
    for (int i = 0; i < nColumns; i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (_pclColumnWriter(pcl, eType, nFlags) != nullptr && !pclRow->bDropRefusal(pcl->pszGetName()))
            return _bNoMemory(PT_NO_MEMORY);
    }
    return 1;
}

int CNAStatement::bCopyOriginalRecordToCurrentRecord()
{
    return m_pclDataAccess != nullptr && m_pclDataAccess->bCopyOriginalRecordToCurrentRecord();
}

int CNAStatement::bUpdateChangedTypeInCurrentRecord()
{
    if (m_pclStmtOriginalRecord != nullptr) {
        m_pclStmtOriginalRecord->nRelease();
        m_pclStmtOriginalRecord = nullptr;
    }
    m_llRepeatCount = 0;
    m_bRepeatBackward = 0;
    m_tabLessExact.clear();
    return 1;
}

void CNAStatement::_DumpQuery(CNACommand* pclCommand)
{
    if (m_pclError != nullptr && pclCommand != nullptr)
        m_pclError->AddDebugMessageNoFormatFirst(pclCommand->pszGetCommandDump());
}

// ---- Query and closing --------------------------------------------------------------------------------------

void CNAStatement::_SetQuery(CNACommand* pclCommand)
{
    // A new text carries its own server texts.
    m_tabServerColumn.clear();
    m_tabFormNeeded.clear();
    m_tabUTF8Column.clear();
    m_bFoundColumn = false;
    if (pclCommand == m_pclCommand && pclCommand != nullptr)
        return;
    if (pclCommand != nullptr)
        pclCommand->AddRef();
    ResetQuery();
    m_pclCommand = pclCommand;
}

void CNAStatement::_SetRowSearch(CNARecherche* pclSearch)
{
    if (pclSearch != nullptr)
        pclSearch->AddRef();
    if (m_pclRowSearch != nullptr)
        m_pclRowSearch->nRelease();
    m_pclRowSearch = pclSearch;
}

int CNAStatement::ResetQuery()
{
    const int bResult = Close();
    m_bMoreRows = 0;
    CNACommand* pcl = m_pclCommand;
    m_pclCommand = nullptr;
    if (pcl != nullptr)
        pcl->nRelease();
    return bResult;
}

int CNAStatement::Close()
{
    _FreeRecordSaveTable();
    if (!m_bNextBlock) {
        m_clFilterSave.SetFilter(nullptr);
        if (m_pclDataAccess != nullptr)
            m_pclDataAccess->ClosingStatement(this);
        m_bParseStarted = 0;
        m_llCurrentRecord = -1;
        m_llBlockBase = 0;
        EnableCache(0);
    }
    // Without a table cache nothing keeps the rows of the saved positions.
    if (!m_bNextBlock || m_pclDataAccess == nullptr || !m_pclDataAccess->bHasTableCache())
        _InvalidatePositionRowIds();
    bSetParseNeedUpdate(UPDATE_NONE, -1);
    m_bFirstBlock = 1;
    m_bEqualRowsOnly = 0;
    m_bCurrentRowDeleted = 0;
    if (m_pclStatementSQL == nullptr)
        return 1;
    return m_pclStatementSQL->bReset();
}

void CNAStatement::ResetStatement()
{
    ResetQuery();
    _FreeRecordSaveTable();
    if (m_pclStatementSQL != nullptr)
        m_pclStatementSQL->bReset();
}

int CNAStatement::bSetLockType(eNA_LOCKTYPE eLock)
{
    m_eLockType = static_cast<int>(eLock);
    return 1;
}

int CNAStatement::bCanFetchBackward()
{
    return 1;
}

int CNAStatement::bDefaultParseNeedRecordCache()
{
    return 0;
}

int CNAStatement::bHAjoute(unsigned int, eNA_LOCKTYPE)
{
    return 0;
}

int CNAStatement::bHModifie(long long, unsigned int, eNA_LOCKTYPE)
{
    return 0;
}

int CNAStatement::bHSupprime(long long, eNA_LOCKTYPE)
{
    return 0;
}

CNARecherche* CNAStatement::pclAllocRecherche(CNAError* pclError)
{
    return new (std::nothrow) CNARecherche(pclError, pclGetConnectionNoRef());
}

CNAFilter* CNAStatement::pclAllocFilter(CNAError* pclError)
{
    return new (std::nothrow) CNAFilter(pclError, pclGetConnectionNoRef());
}

int CNAStatement::bGetBLOB(INAItemDescription* piItem, CAny* pValue)
{
    CNAColumn* pcl = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(piItem) : nullptr;
    return pcl != nullptr && pcl->bGetBLOB(pValue);
}

int CNAStatement::bExtraitMemo(INAItemDescription* piItem, const wchar_t* pszFile)
{
    CNAColumn* pcl = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(piItem) : nullptr;
    return pcl != nullptr && pcl->bHExtraitMemo(pszFile);
}

// ---- Execution ------------------------------------------------------------------------------------------

int CNAStatement::bExecute(unsigned int nFlags, int nPrepare)
{
    return _bExecute(nFlags, nPrepare);
}

int CNAStatement::_bExecute(unsigned int nFlags, int nPrepare)
{
    if (m_bParseStarted)
        Close();
    if (!m_bNextBlock) {
        if (m_pclStmtOriginalRecord != nullptr) {
            m_pclStmtOriginalRecord->nRelease();
            m_pclStmtOriginalRecord = nullptr;
        }
        m_llRepeatCount = 0;
        m_bRepeatBackward = 0;
    }
    if (m_pclCommand == nullptr || m_pclCommand->bIsEmpty())
        return 1;
    int bResult = bExecuteDirect(nFlags, nPrepare);
    if (bResult && m_pclDataAccess != nullptr && m_pclDataAccess->pclGetImportedDataSourceDescNoRef() == nullptr &&
        m_pclCommand != nullptr && m_pclCommand->eGetQueryType() == QT_SELECT)
        bResult = m_pclDataAccess->bInitImportedDataSourceDesc(this);
    return bResult;
}

int CNAStatement::bExecuteDirectNewCommand(CNACommand* pclCommand, unsigned int nFlags, int nPrepare)
{
    _SetQuery(pclCommand);
    return bExecuteDirect(nFlags, nPrepare);
}

int CNAStatement::bExecuteDirect(unsigned int, int)
{
    // The row's condition goes with this text, a write's or the SELECT or
    // COUNT that finds the row again, whatever becomes of it.
    struct SRowSearchSent {
        CNAStatement* p;
        ~SRowSearchSent() { p->_SetRowSearch(nullptr); }
    } clSent{this};
    if (m_pclCommand == nullptr)
        return 0;
    const char* pszText = m_pclCommand->pszGetFormatedSQLA(CNACommand::PTC_ALL);
    if (pszText == nullptr)
        return 0;
    if (pszText[0] == 0)
        return 1;
    // A write's search compares the row as read; a browse's, the record's
    // values it goes on from.
    const bool bRowSearch = m_pclRowSearch != nullptr;
    const CNARecherche* pclMeasured = bRowSearch ? m_pclRowSearch : m_pclValuesSearch;
    if (!_bReadySQLStatement() || (pclMeasured != nullptr && !_bFitsTheSession(pszText, pclMeasured, bRowSearch)))
        return 0;
    int bResult = m_pclStatementSQL->bExecuteDirect(pszText, 0);
    if (!bResult)
        _CopyStatementSQLError();
    const int eType = m_pclCommand->eGetQueryType();
    if (bResult && (eType == QT_UPDATE || eType == QT_DELETE)) {
        long long llRows = -1;
        if (m_pclStatementSQL->bGetAffected_rows(&llRows) && llRows == 0 && m_pclCurrentRecord != nullptr) {
            // The row to change or delete is gone: someone deleted it or
            // changed what finds it.
            const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
            if (m_pclError != nullptr) {
                m_pclError->RaiseUserError(NA_ERRORTYPE_ROWGONE, FILE_STATEMENT, PT_UPDATE_NO_ROW,
                                           pclGetConnectionNoRef(), pszTable, nullptr, ZTERR_RECORD_NOT_FOUND,
                                           pszTable);
                CTString csRecord;
                m_pclCurrentRecord->CurrentRecordToString(&csRecord);
                m_pclError->AddDebugMessageNoFormat(csRecord.pszGet());
            }
            bResult = 0;
        }
    }
    m_nBlockLimit = -1;
    const long long llLimit = m_pclCommand->llGetRowLimit();
    if (llLimit > 0 && llLimit == m_pclStatementSQL->llGetRowCount() && llLimit <= INT_MAX)
        m_nBlockLimit = static_cast<int>(llLimit);
    m_bFirstBlock = m_pclCommand->llGetRowOffset() <= 0;
    return bResult;
}

int CNAStatement::_bFitsTheSession(const char* pszText, const CNARecherche* pclSearch, bool bOriginal)
{
    const size_t nLength = std::strlen(pszText);
    if (nLength <= CNAConnectionDescription::LEAST_STATEMENT_BOUND)
        return 1;
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    const long long llMax = pclConnection != nullptr ? pclConnection->llGetMaxStatementLength() : 0;
    // Unknown, the server tells.
    if (llMax <= 0 || static_cast<long long>(nLength) <= llMax)
        return 1;
    // Sent, it would end the session: the value that makes it so is named.
    std::wstring strValue;
    int nValueType = 0;
    CNAColumn* pclItem = _pclLongestCompared(pclSearch, bOriginal, &strValue, &nValueType);
    if (m_pclError != nullptr) {
        const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
        const wchar_t* pszItem = pclItem != nullptr ? pclItem->pszGetName() : L"";
        const int eItemType = pclItem != nullptr ? static_cast<int>(pclItem->eNAGetItemType()) : 0;
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, FILE_STATEMENT, PT_STATEMENT_TOO_LONG, pclConnection,
                                   pszTable, pszItem, ZTERR_CONVERSION, nValueType, eItemType, strValue.c_str());
        m_pclError->pclGetXError()->AddUserMessageFirst(&gstMyModuleInfo32, ZTMSG_ROW_TOO_LONG, pszItem, pszTable,
                                                        static_cast<unsigned int>(nLength),
                                                        static_cast<unsigned int>(llMax));
    }
    return 0;
}

CNAColumn* CNAStatement::_pclLongestCompared(const CNARecherche* pclSearch, bool bOriginal, std::wstring* pstrValue,
                                              int* pnValueType)
{
    CNAColumn* pclLongest = nullptr;
    size_t nLongest = 0;
    const std::function<int()> fnLongest = [&] {
        const CNARecordValue* pclRow = bOriginal ? m_pclCurrentRecord->pclGetOriginalRecordValueNoRef()
                                                 : m_pclCurrentRecord->pclGetCurrentRecordValueNoRef();
        for (int i = 0, nMemo = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
            CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
            const bool bMemo = pcl->bIsMemo() != 0;
            if (bMemo)
                nMemo++;
            if (pcl->bIsComposedKey() || !pclSearch->bComparesColumn(pcl))
                continue;
            CAny clValue;
            std::wstring strValue;
            if (bMemo ? pclRow != nullptr && pclRow->bGetMemoValue(&clValue, nMemo - 1)
                      : pcl->bGetCurrentValue(&clValue, 0) != 0)
                CNAExpression::s_bReadWide(&clValue, &strValue);
            // The exact form the condition compares, where it has one.
            const CNAReadFailure::SRefusal* pst = pclRow != nullptr ? pclRow->pstGetRefusal(pcl->pszGetName()) : nullptr;
            const size_t n = std::max(strValue.size(), pst != nullptr ? pst->strText.size() : 0);
            if (pclLongest == nullptr || n > nLongest) {
                pclLongest = pcl;
                nLongest = n;
                pstrValue->assign(strValue, 0, 64);
                *pnValueType = static_cast<int>(clValue.nGetTypeCode());
            }
        }
        return 1;
    };
    const int bRead = bOriginal ? _bWithOriginalValues(fnLongest) : fnLongest();
    return bRead ? pclLongest : nullptr;
}

int CNAStatement::bExecuteAndFetch(CAny* pValues, int nCount, int nPrepare)
{
    int bResult = bExecute(0, nPrepare) && bFetch(NA_PARSE_FIRST, 0, 1, nullptr);
    // The values of the row just loaded.
    if (bResult && !m_bEndehors && m_pclStatementSQL != nullptr) {
        for (int i = 0; i < nCount && bResult; i++)
            bResult = bGetSQLColumnValue(&pValues[i], static_cast<unsigned int>(i));
    }
    Close();
    return bResult;
}

int CNAStatement::bGetRequestedValue(CAny* pValue)
{
    return bExecute(0x10000, 1) && bGetResultValue(pValue, 0);
}

int CNAStatement::bGetResultValue(CAny* pValue, unsigned int nColumn)
{
    if (m_pclStatementSQL == nullptr)
        return 0;
    if (!m_pclStatementSQL->bFetch(0)) {
        _CopyStatementSQLError();
        return 0;
    }
    if (m_pclStatementSQL->bEndOfData()) {
        // No row: no value.
        pValue->SetNullFlag(true);
        return 1;
    }
    return bGetSQLColumnValue(pValue, nColumn);
}

int CNAStatement::bGetSQLColumnValue(CNAConvertVariant* pclCell, unsigned int nColumn)
{
    if (m_pclStatementSQL == nullptr)
        return 0;
    if (_bReadAsUTF8(nColumn)) {
        bool bNull = false;
        if (!_bSessionText(nColumn, &bNull))
            return 0;
        if (bNull) {
            pclCell->SetNull();
            return 1;
        }
        // An empty text, and one holding a NUL (which a text item of the
        // record refuses), go the way of the session's bytes.
        const wchar_t* pszText = m_tabSessionText.data();
        if (m_nSessionText > 0 && !m_bSessionTextNul)
            return pclCell->bSetValueDB(pszText, m_nSessionText);
        std::string strBytes(m_nSessionText, '\0');
        for (unsigned int i = 0; i < m_nSessionText; i++) {
            unsigned char b = static_cast<unsigned char>(pszText[i]);
            if (pszText[i] > 0xFF)
                STR_bIsCp1252(pszText[i], b);
            strBytes[i] = static_cast<char>(b);
        }
        return pclCell->bSetValueDB(strBytes.data(), m_nSessionText, CP_1252);
    }
    if (m_pclStatementSQL->bGetValue(pclCell, nColumn, 0))
        return 1;
    _CopyStatementSQLError();
    return 0;
}

int CNAStatement::bGetSQLColumnValue(CAny* pValue, unsigned int nColumn)
{
    if (m_pclStatementSQL == nullptr)
        return 0;
    if (_bReadAsUTF8(nColumn)) {
        bool bNull = false;
        if (!_bSessionText(nColumn, &bNull))
            return 0;
        pValue->__SetType(TQTYPE_DSTRW, 0);
        pValue->pclGetTraitement()->SetValue(m_tabSessionText.data(), m_nSessionText * sizeof(wchar_t));
        pValue->SetNullFlag(bNull);
        return 1;
    }
    if (m_pclStatementSQL->bGetValue(pValue, nColumn, 0))
        return 1;
    _CopyStatementSQLError();
    return 0;
}

namespace {

// The character of well-formed UTF-8 at p (before pEnd), and its length; a
// byte that starts none is U+FFFD, one byte long.
wchar_t UTF8Character(const unsigned char* p, const unsigned char* pEnd, unsigned int* pnLength)
{
    const unsigned int c = *p;
    const unsigned int n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    unsigned int nCode = n == 4 ? c & 0x07 : n == 3 ? c & 0x0F : c & 0x1F;
    for (unsigned int i = 1; i < n; i++) {
        if (p + i >= pEnd || (p[i] & 0xC0) != 0x80) {
            *pnLength = 1;
            return 0xFFFD;
        }
        nCode = nCode << 6 | (p[i] & 0x3F);
    }
    *pnLength = n == 0 ? 1 : n;
    return n == 0 ? 0xFFFD : static_cast<wchar_t>(nCode);
}

// Whether the four bytes at p are all ASCII.
bool FourASCII(const unsigned char* p)
{
    std::uint32_t nFour = 0;
    std::memcpy(&nFour, p, sizeof nFour);
    return (nFour & 0x80808080u) == 0;
}

// Whether the code page lacks the non-ASCII character c. The server's
// latin1 (bServerLatin1) is 1252 with the five bytes 1252 leaves free.
bool CodePageLacks(wchar_t c, unsigned int nCodePage, bool bServerLatin1)
{
    if (nCodePage != CP_1252) {
        int bLacked = 0;
        return WideCharToMultiByte(nCodePage, 0, &c, 1, nullptr, 0, nullptr, &bLacked) <= 0 || bLacked;
    }
    if (bServerLatin1 && c < 0x100)
        return STR_FromCP1252(static_cast<unsigned char>(c)) != c;
    unsigned char b = 0;
    return !STR_bIsCp1252(c, b);
}

} // namespace

int CNAStatement::_bSessionText(unsigned int nColumn, bool* pbNull)
{
    unsigned char* p = nullptr;
    unsigned int n = 0;
    if (!m_pclStatementSQL->bGetValue(&p, &n, nColumn)) {
        _CopyStatementSQLError();
        return 0;
    }
    *pbNull = p == nullptr;
    // A session of the 8-bit code page (the server's latin1, which is 1252)
    // sends "?" for a character the page lacks. Never more characters than
    // bytes.
    const CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    const unsigned int nCodePage =
        pclConnection != nullptr ? static_cast<unsigned int>(pclConnection->nGetSQLCodePage()) : CP_1252;
    bool bLost = false;
    if (m_tabSessionText.size() < n)
        m_tabSessionText.resize(n);
    wchar_t* const pStart = m_tabSessionText.data();
    wchar_t* pOut = pStart;
    for (const unsigned char *q = p, *pEnd = p + n; q < pEnd;) {
        // Texts are mostly ASCII: four bytes at a time while they are.
        if (pEnd - q >= 4 && FourASCII(q)) {
            pOut[0] = q[0];
            pOut[1] = q[1];
            pOut[2] = q[2];
            pOut[3] = q[3];
            pOut += 4;
            q += 4;
            continue;
        }
        if (*q < 0x80) {
            *pOut++ = *q++;
            continue;
        }
        unsigned int nLength = 1;
        wchar_t c = UTF8Character(q, pEnd, &nLength);
        q += nLength;
        if (CodePageLacks(c, nCodePage, true)) {
            c = L'?';
            bLost = true;
        }
        *pOut++ = c;
    }
    m_nSessionText = static_cast<unsigned int>(pOut - pStart);
    m_bSessionTextNul = n > 0 && std::memchr(p, 0, n) != nullptr;
    m_tabUTF8Lost[nColumn] = bLost;
    return 1;
}

int CNAStatement::_vbGetQueryResult(CAny* pValues, int nCount)
{
    if (m_pclStatementSQL == nullptr)
        return 0;
    if (!m_pclStatementSQL->bFetch(0)) {
        _CopyStatementSQLError();
        return 0;
    }
    int bResult = 1;
    for (int i = 0; i < nCount && bResult; i++)
        bResult = bGetSQLColumnValue(&pValues[i], static_cast<unsigned int>(i));
    return bResult;
}

int CNAStatement::bPrepare(CNACommand* pclCommand, unsigned int nFlags)
{
    _SetQuery(pclCommand);
    return (nFlags & 2) != 0 ? 1 : _bPrepare();
}

int CNAStatement::_bPrepare()
{
    if (m_pclCommand == nullptr)
        return 0;
    if (!_bReadySQLStatement())
        return 0;
    return m_pclStatementSQL->bPrepareSQL(m_pclCommand->pszGetFormatedSQLW(CNACommand::PTC_NONE));
}

int CNAStatement::bExecutePreparedQuery(unsigned int nFlags, int bRefresh)
{
    if (m_pclCommand == nullptr)
        return 0;
    if (bRefresh)
        m_pclCommand->bUpdateParametersValues();
    if (m_pclCommand->eGetQueryType() == QT_NONE) {
        _RaiseUserError(PT_NO_QUERY_TYPE, ZTERR_NO_QUERY_TYPE, nullptr);
        return 0;
    }
    Close();
    return _bExecutePreparedQuery(nFlags);
}

int CNAStatement::_bExecutePreparedQuery(unsigned int nFlags)
{
    return m_pclStatementSQL != nullptr && m_pclStatementSQL->bExecutePreparedQuery(nFlags);
}

// ---- SELECT ----------------------------------------------------------------------------------------------

int CNAStatement::bBuildQuery(int eType, CNACommand* pclCommand, unsigned int nFlags)
{
    if (pclCommand == nullptr)
        return 0;
    ResetQuery();
    _SetQuery(pclCommand);
    pclCommand->SetStatementKind(eType);
    switch (eType) {
    case QT_SELECT: return bBuildQuerySELECT(pclCommand, nFlags, nullptr, 0, nullptr);
    case QT_UPDATE: return bBuildQueryUPDATE(pclCommand, nFlags);
    case QT_INSERT: return bBuildQueryINSERT(pclCommand, nFlags);
    case QT_DELETE: return bBuildQueryDELETE(pclCommand, nFlags);
    case QT_DELETEALL: return bBuildQueryDELETEALL(pclCommand, nFlags);
    case QT_CREATE: return bBuildQueryCREATE(pclCommand);
    case QT_DROPTABLE: return bBuildQueryDROPTABLE(pclCommand);
    default: return _bNotOffered(PT_BUILD_KIND);
    }
}

int CNAStatement::bBuildQuerySELECT(CNACommand* pclCommand, unsigned int nFlags, const wchar_t* pszOrderItem,
                                    int bAscending, CNACommand* pclSearch)
{
    if (pclCommand == nullptr || m_pclDataAccess == nullptr)
        return 0;
    _SetQuery(pclCommand);
    if (m_pclDataAccess->bSourceIsQuery()) {
        // One definition per column of the record.
        for (int i = 0; m_pclCurrentRecord != nullptr && i < m_pclCurrentRecord->nGetNbColumn(); i++)
            pclCommand->AddDefine(m_pclCurrentRecord->pclGetColumnNoRef(i));
        return _bBuildQuerySELECTFromQuery(m_pclDataAccess->pclGetQueryParserInfoNoRef(), nFlags, pszOrderItem,
                                           bAscending, pclSearch, 1, 0);
    }
    pclCommand->SetDefineMode(2);
    pclCommand->bComplete(L"SELECT ", static_cast<unsigned int>(-1));
    const int bDistinct = _bAddDistinct(nFlags);
    if (bDistinct)
        pclCommand->bComplete(L"DISTINCT ", static_cast<unsigned int>(-1));
    _SetFormsNeeded(pszOrderItem);
    if (!_bAddSelectColumns(pclCommand, bDistinct))
        return 0;
    const unsigned int nSelectEnd = pclCommand->nGetSQLLength();
    if (!_bBuildQuerySELECTFromTable(m_pclDataAccess->pszGetFormatedTableName(), nFlags, pszOrderItem, bAscending,
                                     pclSearch, 1))
        return 0;
    const std::wstring strServer = _strServerColumns(bDistinct);
    if (!strServer.empty())
        pclCommand->Insert(nSelectEnd, strServer.c_str());
    return 1;
}

void CNAStatement::_SetFormsNeeded(const wchar_t* pszOrderItem)
{
    m_tabFormNeeded.clear();
    if (m_pclCurrentRecord == nullptr || m_piDataSource == nullptr)
        return;
    INAItemDescription* piBest = m_piDataSource->piGetBestParseItemDesc();
    CNAColumn* pclKey = piBest != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(piBest) : nullptr;
    if (piBest != nullptr)
        piBest->nExternalRelease();
    // A FLOAT part is compared over a range: the key may not settle the row.
    const auto Parts = [](CNAColumn* pcl) {
        std::vector<CNAColumn*> tab;
        const CRefArray<CNAColumn>* ptab = pcl->bIsComposedKey() ? pcl->pclGetTabComponent() : nullptr;
        for (int i = 0; ptab != nullptr && i < ptab->nGetNbElement(); i++)
            tab.push_back((*ptab)[i]);
        if (ptab == nullptr)
            tab.push_back(pcl);
        return tab;
    };
    if (pclKey == nullptr || !(pclKey->bIsComposedKey() ? pclKey->bPrimary() : pclKey->bUniqueNotNull()))
        return;
    std::vector<CNAColumn*> tabNeeded = Parts(pclKey);
    if (!_bEmpty(pszOrderItem)) {
        CNAColumn* pclOrder = m_pclCurrentRecord->pclGetColumnNoRef(pszOrderItem);
        if (pclOrder == nullptr)
            return;
        const std::vector<CNAColumn*> tabOrder = Parts(pclOrder);
        tabNeeded.insert(tabNeeded.end(), tabOrder.begin(), tabOrder.end());
    }
    if (std::any_of(tabNeeded.begin(), tabNeeded.end(),
                    [](CNAColumn* pcl) { return pcl == nullptr || CNAExpression::s_bRoundedReal(pcl); }))
        return;
    const int nColumns = m_pclCurrentRecord->nGetNbColumn();
    m_tabFormNeeded.assign(static_cast<size_t>(nColumns), false);
    for (int i = 0; i < nColumns; i++)
        m_tabFormNeeded[static_cast<size_t>(i)] =
            std::find(tabNeeded.begin(), tabNeeded.end(), m_pclCurrentRecord->pclGetColumnNoRef(i)) !=
            tabNeeded.end();
}

int CNAStatement::_bAddSelectColumns(CNACommand* pclCommand, int bDistinct)
{
    const CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    const bool b8BitSession = pclConnection != nullptr && pclConnection->nGetCnxCodePage() != CP_UTF8;
    for (int i = 0; m_pclCurrentRecord != nullptr && i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pcl == nullptr || !pcl->bMustDefine(static_cast<unsigned int>(pclCommand->nGetDefineMode())))
            continue;
        const int nColumn = pcl->nGetPhysicalIndice();
        if (!b8BitSession || bDistinct || nColumn < 0 || !_bFormNeeded(static_cast<size_t>(i)) ||
            _eLessExact(pcl) != LE_TEXT) {
            if (!pclCommand->bAddSelectColumn(pcl, 0))
                return 0;
            continue;
        }
        if (m_tabUTF8Column.size() <= static_cast<size_t>(nColumn))
            m_tabUTF8Column.resize(static_cast<size_t>(nColumn) + 1, false);
        m_tabUTF8Column[static_cast<size_t>(nColumn)] = true;
        m_tabUTF8Lost.resize(m_tabUTF8Column.size(), false);
        const std::wstring strBytes =
            CNAExpression::s_strBytesIn(pcl->pszGetFormatedSelectName(0), _pszServerTextCharset());
        if (!pclCommand->bAddSelectColumnAs(pcl, strBytes.c_str()))
            return 0;
    }
    return 1;
}

bool CNAStatement::_bTextInUTF8(const CNAColumn* pclColumn) const
{
    const CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    return (pclConnection != nullptr && pclConnection->nGetCnxCodePage() == CP_UTF8) ||
           (pclColumn->nGetPhysicalIndice() >= 0 &&
            _bReadAsUTF8(static_cast<unsigned int>(pclColumn->nGetPhysicalIndice())));
}

std::wstring CNAStatement::_strLostTextForm(const CNAColumn* pclColumn, const char* pszText, unsigned int nLength,
                                            bool* pbTooLong)
{
    *pbTooLong = false;
    const int nColumn = pclColumn->nGetPhysicalIndice();
    bool bLost = false;
    if (nColumn >= 0 && _bReadAsUTF8(static_cast<unsigned int>(nColumn))) {
        // Converted to the session's code page as the row was read.
        bLost = m_tabUTF8Lost[static_cast<size_t>(nColumn)];
    } else {
        // Read in a UTF-8 session: a wide item holds every character, ASCII
        // goes whole into any item, and an 8-bit one converts to the host's
        // code page, "?" for what it lacks.
        const eNA_ITEMTYPE eType = pclColumn->eNAGetItemType();
        if ((eType != NA_IT_TEXTE && eType != NA_IT_MEMOTEXTE && eType != NA_IT_CHAR) ||
            std::all_of(pszText, pszText + nLength, [](char c) { return (c & 0x80) == 0; }))
            return std::wstring();
        const CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
        const int nHost = pclConnection != nullptr ? pclConnection->nGetHostCodePage() : -1;
        const unsigned int nCodePage = nHost == -1 ? STR_nGetCurrentCodePage() : static_cast<unsigned int>(nHost);
        const unsigned char* q = reinterpret_cast<const unsigned char*>(pszText);
        for (const unsigned char* pEnd = q + nLength; q < pEnd && !bLost;) {
            unsigned int nChar = 1;
            const wchar_t c = *q < 0x80 ? *q : UTF8Character(q, pEnd, &nChar);
            q += nChar;
            bLost = c >= 0x80 && CodePageLacks(c, nCodePage, false);
        }
    }
    if (!bLost)
        return std::wstring();
    return _strTextForm(reinterpret_cast<const unsigned char*>(pszText), nLength, _pszServerTextCharset(), pbTooLong);
}

std::wstring CNAStatement::_strTextForm(const unsigned char* pBytes, unsigned int nLength, const wchar_t* pszCharset,
                                        bool* pbTooLong)
{
    // Every session takes the least statement; a longer form is measured
    // against the session's own bound.
    *pbTooLong = false;
    const size_t nForm = 2 * static_cast<size_t>(nLength) + 16;
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (nForm > CNAConnectionDescription::LEAST_STATEMENT_BOUND &&
        (pclConnection == nullptr || pclConnection->llGetMaxStatementLength() <= static_cast<long long>(nForm))) {
        *pbTooLong = true;
        return std::wstring();
    }
    CTString clHexa;
    CNAConnectionDescription::s_BinaryToStringHexa(pBytes, nLength, &clHexa);
    return s_strTextLiteral(pszCharset, clHexa.pszGet());
}

CNAStatement::eLESSEXACT CNAStatement::_eLessExact(CNAColumn* pclColumn) const
{
    const CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (pclColumn == nullptr || pclColumn->bIsComposedKey() || pclColumn->nGetPhysicalIndice() < 0 ||
        pclConnection == nullptr || pclConnection->eGetDataSource() != CNAConnectionDescription::DS_MYSQL)
        return LE_NONE;
    const eNA_ITEMTYPE eType = pclColumn->eNAGetItemType();
    // The server's type: "decimal(65,30)" or "enum('','a')" for a table,
    // MYSQL_TYPE_NEWDECIMAL or MYSQL_TYPE_ENUM for a query's item.
    const CNAItemDescription* pclServer = pclColumn->pclGetImportedItem();
    const std::wstring strType = pclServer != nullptr && pclServer->pszGetDBType() != nullptr
                                     ? pclServer->pszGetDBType()
                                     : L"";
    if (eType == NA_IT_DATETIME && (strType.compare(0, 9, L"timestamp") == 0 || strType == L"MYSQL_TYPE_TIMESTAMP"))
        return LE_INSTANT;
    if (eType == NA_IT_DATETIME || eType == NA_IT_HEURE)
        return LE_FRACTION;
    if (CNAExpression::s_bRoundedReal(pclColumn))
        return LE_FLOAT;
    if (eType == NA_IT_R8 && (strType.compare(0, 7, L"decimal") == 0 || strType.find(L"DECIMAL") != std::wstring::npos))
        return LE_DECIMAL;
    if (strType.compare(0, 5, L"enum(") == 0 || strType == L"MYSQL_TYPE_ENUM")
        return LE_ENUM;
    // An 8-bit item holds the host's code page, whatever the column's set
    // and the session's.
    const bool b8Bit = eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE || eType == NA_IT_CHAR;
    if ((b8Bit && (pclServer == nullptr || !pclServer->bServerBytes())) ||
        ((eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE) && pclConnection->nGetCnxCodePage() != 65001))
        return LE_TEXT;
    return LE_NONE;
}

const wchar_t* CNAStatement::_pszServerTextCharset() const
{
    const CNAConnectionDescription* pcl = pclGetConnectionNoRef();
    return pcl != nullptr ? pcl->pszGetUnicodeCharset() : L"utf8mb4";
}

bool CNAStatement::_bOwnBytes(const CNAColumn* pclColumn) const
{
    const CNAItemDescription* pclServer = _pclCharsetOf(pclColumn);
    return pclServer != nullptr && pclServer->bBytesBeyondCharacters();
}

const CNAItemDescription* CNAStatement::_pclCharsetOf(const CNAColumn* pclColumn) const
{
    // A query's items are the driver's own.
    if (m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery())
        return static_cast<const CNAItemDescription*>(pclColumn->piGetItem());
    return pclColumn->pclGetImportedItem();
}

bool CNAStatement::_bSetsTaken() const
{
    return m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery() && m_pclDataAccess->bColumnSetsTaken();
}

bool CNAStatement::_bCharsetUnknown(const CNAColumn* pclColumn, const CNAItemDescription* pclSet) const
{
    return pclColumn->eGetTypeColonne() == 0 && _bCollatedText(pclColumn) && pclSet != nullptr &&
           _bEmpty(pclSet->pszGetColumnCharset());
}

bool CNAStatement::_bTwinFormsIn(const CNAColumn* pclColumn, const CNAItemDescription* pclSet, const char* pszText,
                                 const char* pszEnd) const
{
    // Read in UTF-8, else in the session's 8-bit set, 1252.
    const bool bUTF8 = _bTextInUTF8(pclColumn);
    const unsigned char* pEnd = reinterpret_cast<const unsigned char*>(pszEnd);
    for (const unsigned char* q = reinterpret_cast<const unsigned char*>(pszText); q < pEnd;) {
        unsigned int nChar = 1;
        const wchar_t c = *q < 0x80 ? *q : bUTF8 ? UTF8Character(q, pEnd, &nChar) : STR_FromCP1252(*q);
        q += nChar;
        if (pclSet->bTwinForms(c))
            return true;
    }
    return false;
}

std::wstring CNAStatement::_strServerTextLiteral(const wchar_t* pszHexa) const
{
    return s_strTextLiteral(_pszServerTextCharset(), pszHexa);
}

std::wstring CNAStatement::s_strTextLiteral(const wchar_t* pszCharset, const wchar_t* pszHexa)
{
    return std::wstring(L"_") + pszCharset + L" X'" + (pszHexa != nullptr ? pszHexa : L"") + L"'";
}

std::wstring CNAStatement::strServerTextLiteral(const std::wstring& strText) const
{
    CXYString<char> clUTF8;
    if (clUTF8.nAffecteToUTF8(strText.data(), static_cast<int>(strText.size())) != 0)
        return std::wstring();
    CTString clHexa;
    CNAConnectionDescription::s_BinaryToStringHexa(reinterpret_cast<const unsigned char*>(clUTF8.pszGet()),
                                                   static_cast<unsigned int>(clUTF8.nGetLength()), &clHexa);
    return _strServerTextLiteral(clHexa.pszGet());
}

std::wstring CNAStatement::_strServerColumns(int bDistinct)
{
    // _SetQuery emptied the list for this text.
    std::wstring strColumns;
    CSQLParserInfo* pclInfo = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetQueryParserInfoNoRef() : nullptr;
    for (int i = 0; m_pclCurrentRecord != nullptr && i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        const eLESSEXACT eKind = _bFormNeeded(static_cast<size_t>(i)) ? _eLessExact(pcl) : LE_NONE;
        // Forms that tell apart rows a DISTINCT takes as one are left out:
        // an instant and a double are the value itself. A text read in
        // UTF-8 is its own form.
        if ((eKind != LE_FLOAT && eKind != LE_ENUM && eKind != LE_TEXT && eKind != LE_INSTANT) ||
            (bDistinct && eKind != LE_FLOAT && eKind != LE_INSTANT) ||
            (eKind == LE_TEXT && _bTextInUTF8(pcl) && !_bOwnBytes(pcl)))
            continue;
        // A computed item is read as its expression, in parentheses.
        CTString csExpression;
        const bool bComputed = pcl->eGetTypeColonne() != 0;
        if (bComputed && (pclInfo == nullptr || !CNACommand::s_bFormatExpressionColonneCalculee(
                                                    &csExpression, pclInfo, *pcl, 3, m_pclError,
                                                    pclGetConnectionNoRef())))
            continue;
        const std::wstring strName = bComputed ? csExpression.pszGet() : pcl->pszGetFormatedSelectName(0);
        if (eKind == LE_TEXT && _bOwnBytes(pcl)) {
            // Bytes of the column's set that stand for no character read as
            // a "?", as a real one does.
            strColumns += L",CONVERT(" + strName + L" USING binary)";
            m_tabServerColumn.push_back({pcl, LE_BYTES});
            continue;
        }
        if (eKind == LE_TEXT) {
            // Only a text the code page cannot hold whole (a real "?" it
            // holds) lacks characters: its UTF-8 bytes, which no session
            // converts.
            const std::wstring strBytes = CNAExpression::s_strBytesIn(strName.c_str(), _pszServerTextCharset());
            strColumns += L",IF(" +
                          CNAExpression::s_strBytesIn((L"CONVERT(" + strName + L" USING latin1)").c_str(),
                                                      _pszServerTextCharset()) +
                          L"<>" + strBytes + L"," + strBytes + L",NULL)";
        } else if (eKind == LE_FLOAT)
            // As a double a FLOAT shows every digit it has.
            strColumns += L"," + strName + L"+0e0";
        else if (eKind == LE_ENUM)
            // The ENUM's index, where its text tells no member apart: empty,
            // or with a "?" the code page may have put there.
            strColumns += L",IF(" + strName + L"='' OR INSTR(CONVERT(" + strName + L" USING latin1),'?')," + strName +
                          L"+0,NULL)";
        else
            // The instant, where the session's time zone may read another
            // one as the same text: its clock goes back within a day, or
            // the text's first instant is another.
            strColumns += L",IF(UNIX_TIMESTAMP(" + strName + L" + INTERVAL 1 DAY) - UNIX_TIMESTAMP(" + strName +
                          L") <> 86400 OR UNIX_TIMESTAMP(CAST(" + strName + L" AS DATETIME(6))) <> UNIX_TIMESTAMP(" +
                          strName + L"),UNIX_TIMESTAMP(" + strName + L"),NULL)";
        m_tabServerColumn.push_back({pcl, eKind});
    }
    // Found is the server's comparison, not the host's: its collation,
    // every digit.
    const std::wstring strFound = _strUserSearchCondition();
    m_bFoundColumn = !strFound.empty();
    if (m_bFoundColumn)
        strColumns += L",(" + strFound + L")";
    return strColumns;
}

std::wstring CNAStatement::_strUserSearchCondition()
{
    INAItemDescription* piItem = m_clUserSearch.piGetItemNoRef();
    if (!m_bInternalSearch || piItem == nullptr || m_pclDataAccess == nullptr || m_pclCurrentRecord == nullptr)
        return std::wstring();
    CNARecherche* pclSearch = pclAllocRecherche(m_pclError);
    CNACommand* pclCondition = m_pclDataAccess->pclAllocCommand(m_pclError);
    if (pclSearch != nullptr)
        pclSearch->AddRef();
    if (pclCondition != nullptr)
        pclCondition->AddRef();
    std::wstring strCondition;
    const int bExact = (m_clUserSearch.nGetFlags() & CNAUserSearch::US_GENERIC) == 0;
    if (pclSearch != nullptr && pclCondition != nullptr &&
        pclSearch->bSetRecherche(m_pclCurrentRecord, piItem, m_clUserSearch.pclGetValue(), NA_PARSE_FIRST, bExact,
                                 static_cast<int>(m_nParseFlags)) &&
        pclSearch->bGetSQL(pclCondition, nullptr, m_pclCurrentRecord)) {
        const wchar_t* psz = pclCondition->pszGetFormatedSQLW(CNACommand::PTC_ALL);
        if (psz != nullptr)
            strCondition = psz;
    }
    if (pclCondition != nullptr)
        pclCondition->nRelease();
    if (pclSearch != nullptr)
        pclSearch->nRelease();
    return strCondition;
}

int CNAStatement::_bAddDistinct(unsigned int nFlags)
{
    if ((nFlags & WPF_DISTINCT) == 0 || m_piDataSource == nullptr)
        return 0;
    INAItemDescription* piBest = m_piDataSource->piGetBestParseItemDesc();
    if (piBest == nullptr)
        return 0;
    int bDistinct = 0;
    if (!piBest->bPrimary()) {
        const eNA_ITEMTYPE eType = piBest->eNAGetItemType();
        bDistinct = !piBest->bUnique() || (piBest->nGetVersion() >= 9 && piBest->vbConstraintNullAllowed()) ||
                    (piBest->nGetVersion() < 9 && eType != NA_IT_IDAUTO && eType != NA_IT_IDAUTO4);
    }
    piBest->nExternalRelease();
    return bDistinct;
}

int CNAStatement::_bBuildQuerySELECTFromTable(const wchar_t* pszTable, unsigned int nFlags,
                                              const wchar_t* pszOrderItem, int bAscending, CNACommand* pclSearch,
                                              int bOrderBy)
{
    CNACommand* pcl = m_pclCommand;
    pcl->SetStatementKind(QT_SELECT);
    pcl->bComplete(L" FROM ", static_cast<unsigned int>(-1));
    pcl->bComplete(pszTable, static_cast<unsigned int>(-1));
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (pclConnection == nullptr || pclConnection->eGetDataSource() != 8 ||
        pclConnection->nGetServerVersionMajor() <= 9)
        pcl->bAddRecordLock();
    if (pclSearch != nullptr && !pclSearch->bIsEmpty()) {
        pcl->bComplete(L" WHERE ", static_cast<unsigned int>(-1));
        if (!pcl->bAdd(pclSearch, CNACommand::ADDMODE_SHARE))
            return 0;
        if (pclSearch->pclGetColumnNullValueExcludedNoRef() != nullptr &&
            !pcl->bCopyColumnValuesNullSelected(pclSearch->pclGetColumnNullValueExcludedNoRef()))
            return 0;
    }
    if (!bOrderBy)
        return 1;
    return _bFormatOrderBy(pszTable, nullptr, nFlags, pszOrderItem, bAscending, 0);
}

int CNAStatement::_bBuildQuerySELECTFromQuery(CSQLParserInfo* pclInfo, unsigned int nFlags,
                                              const wchar_t* pszOrderItem, int bAscending, CNACommand* pclSearch,
                                              int bOrderBy, int bWrap)
{
    CNACommand* pcl = m_pclCommand;
    if (pcl == nullptr || m_pclDataAccess == nullptr)
        return 0;
    if (pcl->eGetQueryType() == QT_NONE)
        pcl->SetStatementKind(QT_SELECT);
    const int nMode = static_cast<int>(m_pclDataAccess->eGetQueryMode());
    const bool bSearch = pclSearch != nullptr && !pclSearch->bIsEmpty();
    // A query that limits its rows is read with its own order and limit:
    // another order or a search written into it would pick other rows. The
    // table cache sorts and searches them. The sets of the query's texts
    // are asked once its text stands, never for one refused.
    if (!bWrap && m_pclDataAccess->bQueryResultsetLimited()) {
        if (!bSearch) {
            if (!pcl->bFormatCondition(pclInfo, nullptr, 1, nMode) || !pcl->bFormatEndOfQuery())
                return 0;
            m_pclDataAccess->TakeColumnSets();
            return 1;
        }
        // A filter keeps to the rows the query returns: it reads them as a
        // derived table, by their output names.
        pcl->bComplete(L"SELECT * FROM (", static_cast<unsigned int>(-1));
        if (!pcl->bFormatCondition(pclInfo, nullptr, 1, nMode) || !pcl->bFormatEndOfQuery())
            return 0;
        pcl->bComplete(L") ZT_LIMITED WHERE ", static_cast<unsigned int>(-1));
        return pcl->bAdd(pclSearch, CNACommand::ADDMODE_SHARE);
    }
    if (!bWrap && !m_pclDataAccess->bRequeteSansCorrection()) {
        // The search joins the query's own WHERE; its ORDER BY is written again.
        if (!pcl->bFormatCondition(pclInfo, pclSearch, 0, nMode))
            return 0;
        if (bOrderBy && !_bFormatOrderBy(nullptr, pclInfo, nFlags, pszOrderItem, bAscending, 0))
            return 0;
        if (!pcl->bFormatEndOfQuery())
            return 0;
        m_pclDataAccess->TakeColumnSets();
        // A query the host may write through reads the exact forms of its
        // items too, before its one FROM: a query of several SELECTs has
        // none of its own.
        CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
        const wchar_t* pszText = pcl->pszGetOriginalSQL();
        const size_t nLength = pszText != nullptr ? std::wcslen(pszText) : 0;
        const int nFrom = pclInfo != nullptr && pclInfo->bHOperationAllowed() && nLength > 0 &&
                                  !pclInfo->bSeveralSelects(pclConnection)
                              ? CNACommand::s_nGetTopLevelKeyword(pclConnection, pszText, nLength, L"FROM",
                                                                  CNACommand::TR_SESSION, false)
                              : -1;
        // An item repeating another's column needs no exact form of its
        // own: no write compares it, nor does the order, which names the
        // column once. A computed item may order a browse: it keeps its.
        m_tabFormNeeded = _tabLeftOutOfConditions(true);
        m_tabFormNeeded.flip();
        const std::wstring strServer = nFrom > 0 ? _strServerColumns(0) : std::wstring();
        if (!strServer.empty())
            pcl->Insert(static_cast<unsigned int>(nFrom), (strServer + L" ").c_str());
        return 1;
    }
    if (!bWrap && !bSearch)
        return pcl->bFormatCondition(pclInfo, nullptr, bOrderBy ? 1 : 0, nMode);
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (pclConnection == nullptr || !pclConnection->bSupportSubQuery() || pcl->eGetQueryType() != QT_SELECT) {
        if (m_pclError != nullptr) {
            const wchar_t* pszTable = m_pclDataAccess->pszGetLogicalName();
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, FILE_STATEMENT, PT_NO_SUB_QUERY, pclConnection,
                                       pszTable, nullptr, ZTERR_NO_SUB_QUERY, pszTable);
        }
        return 0;
    }
    // A count has written its own SELECT up to FROM: only the sub-query follows.
    if (pcl->nGetSQLLength() == 0)
        pcl->bComplete(_bAddDistinct(nFlags) ? L"SELECT DISTINCT * FROM " : L"SELECT * FROM ",
                       static_cast<unsigned int>(-1));
    pcl->bComplete(L" (", static_cast<unsigned int>(-1));
    const int bLimited = pclInfo != nullptr && pclInfo->bQueryResultsetLimited(pclConnection);
    if (!pcl->bFormatCondition(pclInfo, nullptr, bLimited, nMode) || !pcl->bFormatEndOfQuery())
        return 0;
    _CloseSubQuery(pcl);
    if (!bSearch)
        return 1;
    pcl->bComplete(L" WHERE ", static_cast<unsigned int>(-1));
    return pcl->bAdd(pclSearch, CNACommand::ADDMODE_SHARE);
}

void CNAStatement::_CloseSubQuery(CNACommand* pclCommand)
{
    pclCommand->bComplete(L")", 1);
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    const int eKind = pclConnection != nullptr ? pclConnection->eGetDataSource() : 0;
    if (eKind == 2 || eKind == 4 || eKind == 7)
        pclCommand->bComplete(L" ZT_SUBQUERY", static_cast<unsigned int>(-1));
}

namespace {
// Where the query's own trailing LIMIT starts in the command, 0 when there
// is none; one inside parentheses is a sub-query's.
unsigned int nQueryLimitStart(CNACommand* pclCommand, CNAConnectionDescription* pclConnection)
{
    const wchar_t* pszText = pclCommand->pszGetOriginalSQL();
    if (pszText == nullptr)
        return 0;
    const int nLimit = CNACommand::s_nGetTopLevelKeyword(pclConnection, pszText, std::wcslen(pszText), L"LIMIT",
                                                         CNACommand::TR_SESSION, false);
    return nLimit > 0 ? static_cast<unsigned int>(nLimit) : 0;
}
} // namespace

int CNAStatement::_bFormatOrderBy(const wchar_t* pszTable, CSQLParserInfo* pclInfo, unsigned int nFlags,
                                  const wchar_t* pszOrderItem, int bAscending, int bPlainNames)
{
    const unsigned int nLimit = m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery()
                                    ? nQueryLimitStart(m_pclCommand, pclGetConnectionNoRef())
                                    : 0;
    const unsigned int nBefore = m_pclCommand->nGetSQLLength();
    const int nParameters = m_pclCommand->nGetParameterNbr();
    const int bResult = _bFormatOrderByTerms(pszTable, pclInfo, nFlags, pszOrderItem, bAscending, bPlainNames);
    // The order goes before the query's LIMIT: moved there, the LIMIT's
    // parameters moving with the text.
    if (nLimit > 0 && m_pclCommand->nGetSQLLength() > nBefore && m_pclCommand->nGetParameterNbr() == nParameters) {
        std::wstring strOrder(m_pclCommand->pszGetOriginalSQL() + nBefore);
        strOrder.erase(0, std::min(strOrder.find_first_not_of(L" \t\n\v\f\r"), strOrder.size()));
        m_pclCommand->TronqueTexte(nBefore);
        m_pclCommand->Insert(nLimit, (strOrder + L" ").c_str());
    }
    return bResult;
}

int CNAStatement::_bFormatOrderByTerms(const wchar_t*, CSQLParserInfo* pclInfo, unsigned int nFlags,
                                       const wchar_t* pszOrderItem, int bAscending, int bPlainNames)
{
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (pclInfo != nullptr && _bEmpty(pszOrderItem) && (nFlags & WPF_QUERY_ORDER) == 0)
        pszOrderItem = m_csParseItem.pszGet();
    if (pclInfo != nullptr && !bAscending && pclInfo->bQueryResultsetLimited(pclConnection))
        bAscending = 1;
    if (_bEmpty(pszOrderItem) || (nFlags & WPF_QUERY_ORDER) != 0) {
        if (pclInfo != nullptr && (nFlags & WPF_QUERY_ORDER) != 0 && !m_pclDataAccess->bRequeteSansCorrection()) {
            // The query's own ORDER BY, then the terms that complete it.
            if (pclInfo->nGetClauseOrderNbr() > 0)
                m_pclCommand->bComplete(L" ", 1);
            const int bResult = m_pclCommand->bFormatORDERBY(bPlainNames, bAscending);
            _FormatORDERBYList(nullptr, bAscending, pclInfo, bPlainNames, nFlags);
            m_pclCommand->SetInvertFetch(!bAscending);
            return bResult;
        }
        m_pclCommand->SetInvertFetch(0);
        return 1;
    }
    INAItemDescription* piItem = m_piDataSource != nullptr ? m_piDataSource->piNAGetItem(pszOrderItem) : nullptr;
    if (piItem == nullptr) {
        if (m_pclError != nullptr) {
            const wchar_t* pszTable = m_pclDataAccess->pszGetLogicalName();
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, FILE_STATEMENT, PT_ORDER_ITEM, pclConnection, pszTable,
                                       pszOrderItem, ZTERR_ORDER_ITEM_MISSING, pszOrderItem);
        }
        return 0;
    }
    // A key sorted descending is written so; the fetch turns round only
    // for a browse against the key's own order.
    const int bNatural = bAscending;
    if (pclInfo == nullptr && piItem->bGetDescendant(-1))
        bAscending = !bAscending;
    CNAColumn* pclColumn = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(piItem) : nullptr;
    if (pclColumn != nullptr && pclColumn->bIsMemo() && (pclConnection == nullptr || !pclConnection->bSupportOrderByMemo()))
        pclColumn = nullptr;
    piItem->nExternalRelease();
    _FormatORDERBYList(pclColumn, bAscending, pclInfo, bPlainNames, nFlags);
    m_pclCommand->SetInvertFetch(!bNatural);
    return 1;
}

void CNAStatement::_FormatORDERBYList(CNAColumn* pclColumn, int bAscending, CSQLParserInfo* pclInfo,
                                      int bPlainNames, unsigned int nFlags)
{
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    const bool bMemoOrder = pclConnection != nullptr && pclConnection->bSupportOrderByMemo();
    const bool bQuery = m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery();
    CTTableau<STerm> tabTerm(8);
    CTTableau<CNAColumn*> tabColumn(8);
    bool bComplete = false;
    auto Add = [&](CNAColumn* pcl, int bAsc) {
        for (int i = 0; i < tabTerm.nGetNbElement(); i++)
            if (_bSameColumn(tabTerm[i].pclColumn, pcl))
                return;
        if (pcl->bIsMemo() && !bMemoOrder && !(bQuery && pcl->eGetTypeColonne() != 0))
            return;
        const STerm st = {pcl, bAsc};
        tabTerm.Ajoute(&st);
        tabColumn.Ajoute(&pcl);
        if (pcl->bUniqueNotNull() || (pcl->bIsUnique() && !m_pclCommand->bColumnValuesNullSelected(pcl)))
            bComplete = true;
        else if (m_pclCommand->pclGetColumnNullValueExcludedNoRef() != nullptr && m_pclCurrentRecord != nullptr &&
                 m_pclCurrentRecord->bComposedKeyUniqueNotNullAdded(tabColumn.pGetDonnees(), tabColumn.nGetNbElement(),
                                                                    m_pclCommand->pclGetColumnNullValueExcludedNoRef()))
            bComplete = true;
    };
    if (pclColumn != nullptr) {
        CNARefArray<CNAColumn>* ptabComponent = pclColumn->bIsComposedKey() ? pclColumn->pclGetTabComponent() : nullptr;
        if (ptabComponent == nullptr) {
            Add(pclColumn, bAscending);
        } else {
            for (int i = 0; i < ptabComponent->nGetNbElement(); i++) {
                CNAColumn* pclComponent = (*ptabComponent)[i];
                if (pclComponent == nullptr)
                    continue;
                // Components count from 1.
                const bool bDescending = pclInfo == nullptr && pclColumn->bGetDescendantComponent(i + 1);
                Add(pclComponent, bDescending ? !bAscending : bAscending);
            }
        }
    }
    const bool bRewritten = pclInfo != nullptr && bQuery && !m_pclDataAccess->bRequeteSansCorrection();
    // The terms the query's own ORDER BY holds.
    const int nOwnTerms = pclInfo != nullptr ? pclInfo->nGetClauseOrderNbr() : 0;
    const unsigned int nTieBit = bAscending ? 1u : 2u;
    if ((nFlags & WPF_NO_TIEBREAK) == 0 && (m_nTieBreak & nTieBit) != 0 && !bComplete && m_pclCurrentRecord != nullptr) {
        for (int i = 0; i < m_pclCurrentRecord->nGetNbColumnOrder() && !bComplete; i++) {
            CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnOrderNoRef(i);
            if (pcl == nullptr || pcl == pclColumn || pcl->bIsComposedKey())
                continue;
            if (pcl->bIsMemo() && !bMemoOrder)
                continue;
            if (bRewritten && !bMemoOrder && pclInfo->bRubriqueSourceIsMemo(pcl))
                continue;
            // The query already orders by it.
            if (nOwnTerms > 0 && pclInfo->piGetRubriqueClauseOrder(pcl) != nullptr)
                continue;
            Add(pcl, bAscending);
        }
    }
    int nTerms = tabTerm.nGetNbElement();
    const int nMax = pclConnection != nullptr ? pclConnection->nGetOrderByMaxExpressionNbr() : INT_MAX;
    if (nTerms > nMax - nOwnTerms)
        nTerms = nMax - nOwnTerms;
    if (nTerms <= 0)
        return;
    // Only the query's own order, written just before, goes on with ",".
    const bool bContinue =
        pclInfo != nullptr && pclColumn == nullptr && nOwnTerms > 0 && (nFlags & WPF_QUERY_ORDER) != 0;
    if (!bContinue)
        m_pclCommand->bComplete(L" ORDER BY ", static_cast<unsigned int>(-1));
    for (int i = 0; i < nTerms; i++) {
        if (i > 0 || bContinue)
            m_pclCommand->bComplete(L",", 1);
        CTString csTerm;
        int bAsc = tabTerm[i].bAscending;
        _FormatItemORDERBY(tabTerm[i].pclColumn, pclInfo, bPlainNames, &csTerm, &bAsc);
        m_pclCommand->bComplete(csTerm.pszGet(), static_cast<unsigned int>(-1));
        if (!bAsc)
            m_pclCommand->bComplete(L" DESC", static_cast<unsigned int>(-1));
    }
}

void CNAStatement::_FormatItemORDERBY(CNAColumn* pclColumn, CSQLParserInfo* pclInfo, int bPlainNames,
                                      CTString* pclText, int* pbAscending)
{
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (pclInfo != nullptr && pbAscending != nullptr && m_pclDataAccess != nullptr &&
        m_pclDataAccess->bSourceIsQuery() && !m_pclDataAccess->bRequeteSansCorrection()) {
        // A column the query orders itself follows the query's direction.
        IInfoOrderBy* piOwn = pclInfo->piGetRubriqueClauseOrder(pclColumn);
        if (piOwn != nullptr)
            *pbAscending = *pbAscending == !pclInfo->nGetSensTri(piOwn) ? 1 : 0;
    }
    const int eKind = pclColumn->eGetTypeColonne();
    if (!bPlainNames && (eKind == 1 || eKind == 2) && pclConnection != nullptr &&
        pclConnection->bOrderByIndiceAllowed()) {
        wchar_t sz[16];
        std::swprintf(sz, 16, L"%d", pclColumn->nGetPhysicalIndice() + 1);
        pclText->Set(sz);
        return;
    }
    pclText->Set(bPlainNames ? pclColumn->pszGetFormatedName() : pclColumn->pszGetFormatedSelectName(0));
}

int CNAStatement::bGetClauseWHERE(CNACommand* pclCommand)
{
    if (!bExistFilter() && m_pclRecherche == nullptr)
        return 1;
    CNARecherche* pclSearch = pclGetRecherche();
    if (pclSearch == nullptr)
        return 0;
    // A limited query is filtered outside itself, on the rows it returns.
    pclCommand->SetOutputNames(m_pclDataAccess != nullptr && m_pclDataAccess->bQueryResultsetLimited());
    const int bResult = pclSearch->bGetSQL(pclCommand, bExistFilter() ? m_pclFilter : nullptr, m_pclCurrentRecord);
    pclSearch->nRelease();
    return bResult;
}

// ---- Writes ---------------------------------------------------------------------------------------------------

int CNAStatement::_bBuildQueryStart(CNACommand* pclCommand, int eType)
{
    pclCommand->ResetCommand(0);
    _SetQuery(pclCommand);
    switch (eType) {
    case QT_INSERT: pclCommand->bComplete(L"INSERT INTO ", static_cast<unsigned int>(-1)); break;
    case QT_DELETE: pclCommand->bComplete(L"DELETE FROM ", static_cast<unsigned int>(-1)); break;
    case QT_UPDATE: pclCommand->bComplete(L"UPDATE ", static_cast<unsigned int>(-1)); break;
    default: return 0;
    }
    pclCommand->SetStatementKind(eType);
    if (m_pclDataAccess == nullptr)
        return 0;
    if (!m_pclDataAccess->bSourceIsQuery()) {
        pclCommand->bComplete(m_pclDataAccess->pszGetFormatedTableName(), static_cast<unsigned int>(-1));
        return 1;
    }
    // Rows of several SELECTs are no one table's.
    CSQLParserInfo* pclInfo = m_pclDataAccess->pclGetQueryParserInfoNoRef();
    if (m_pclDataAccess->bSourceIsQueryOnMultipleTables() ||
        (pclInfo != nullptr && pclInfo->bSeveralSelects(pclGetConnectionNoRef())))
        return _bNotOffered(PT_WRITE_QUERY);
    // A computed item comes from no table: the table is that of the first
    // item read from one.
    CTString csTable;
    bool bRead = false;
    for (unsigned int i = 0; m_piDataSource != nullptr && !bRead; i++) {
        INAItemDescription* piItem = m_piDataSource->piNAGetItem(i);
        if (piItem == nullptr)
            break;
        bRead = !_bEmpty(piItem->pszGetSourceName());
        if (bRead)
            m_pclDataAccess->_GetDBSourceName(piItem, &csTable, 0);
        piItem->nExternalRelease();
    }
    if (csTable.nTaille() == 0) {
        _bNotOffered(PT_WRITE_TABLE);
        if (m_pclError != nullptr)
            m_pclError->AddUserMessageFirst(ZTMSG_WRITE_TABLE_UNKNOWN, m_pclDataAccess->pszGetLogicalName());
        return 0;
    }
    CTString csFormated(csTable.pszGet());
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (pclConnection != nullptr && !pclConnection->bFormatTableName(m_pclError, csTable.pszGet(), &csFormated))
        return 0;
    pclCommand->SetWrittenTable(csTable.pszGet());
    pclCommand->bComplete(csFormated.pszGet(), static_cast<unsigned int>(-1));
    return 1;
}

CNAColumn* CNAStatement::_pclColumnWriter(CNAColumn* pclColumn, int eType, unsigned int nFlags)
{
    // Only a query's items may read one column twice; a computed item reads
    // none.
    if (m_pclDataAccess == nullptr || !m_pclDataAccess->bSourceIsQuery() || pclColumn->eGetTypeColonne() != 0)
        return _bNeedToUpdate(pclColumn, eType, nFlags) ? pclColumn : nullptr;
    const wchar_t* pszColumn = pclColumn->pszGetOriginalName();
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pcl == nullptr || pcl->bIsComposedKey())
            break;
        if ((pcl == pclColumn || STR_nFixedCaseCompare(pcl->pszGetOriginalName(), pszColumn) == 0) &&
            _bNeedToUpdate(pcl, eType, nFlags))
            return pcl;
    }
    return nullptr;
}

int CNAStatement::_bSameColumnValue(CNAColumn* pclWriter, CNAColumn* pclColumn)
{
    CAny clValue;
    if (!pclColumn->bGetCurrentValue(&clValue, 0))
        return 0;
    if (pclWriter->bSameValue(&clValue, 0))
        return 1;
    _bNotOffered(PT_WRITE_TWICE, pclColumn->pszGetName());
    if (m_pclError != nullptr)
        m_pclError->AddUserMessageFirst(ZTMSG_WRITE_COLUMN_TWICE, pclWriter->pszGetName(), pclColumn->pszGetName(),
                                        pclColumn->pszGetOriginalName(), m_pclDataAccess->pszGetLogicalName());
    return 0;
}

int CNAStatement::_bNeedToUpdate(CNAColumn* pclColumn, int eType, unsigned int nFlags)
{
    if (pclColumn->eGetTypeColonne() != 0)
        return 0;
    if (m_pclCurrentRecord != nullptr && pclColumn == m_pclCurrentRecord->pclGetColumnIDAutoNoRef()) {
        if (eType == QT_UPDATE && !pclColumn->bValueModified())
            return 0;
        return (nFlags & (WPF_AUTOID_GIVEN | WPF_AUTOID_NEW | WPF_AUTOID_KEPT)) != 0 ||
               !pclColumn->bIsAutoIncrementOnDataBase();
    }
    if (pclColumn->bUpdatable())
        return eType == QT_INSERT || pclColumn->bValueModified();
    return 0;
}

int CNAStatement::_bBuildColumnList(CColumnList* pclList, CNACommand* pclValues, int eType, unsigned int nFlags)
{
    const bool bQuery = m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery();
    CNAKXRecord* pclKX = m_pclCurrentRecord->pclGetNAKXRecord();
    auto Write = [&](CNAColumn* pcl) {
        // A query's item is written to the column it reads.
        const wchar_t* pszName = bQuery ? pcl->pszGetFormatedOriginalName() : pcl->pszGetFormatedName();
        if (!pclList->AddColumn(pszName))
            return 0;
        if (pclList->nGetCount() > 1)
            pclValues->bComplete(L", ", static_cast<unsigned int>(-1));
        if (eType == QT_UPDATE) {
            pclValues->bComplete(pszName, static_cast<unsigned int>(-1));
            pclValues->bComplete(L" = ", static_cast<unsigned int>(-1));
        }
        return _bAddColumnValue(pclValues, pcl, eType, nFlags);
    };
    const int nColumns = m_pclCurrentRecord->nGetNbColumn();
    for (int i = 0; i < nColumns; i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pcl == nullptr || pcl->bIsComposedKey())
            break;
        CNAColumn* pclWriter = _bNeedToUpdate(pcl, eType, nFlags) ? _pclColumnWriter(pcl, eType, nFlags) : nullptr;
        if (pclWriter == pcl && !Write(pcl))
            return 0;
        // A column is written once: another item writing it must agree.
        if (pclWriter != nullptr && pclWriter != pcl && !_bSameColumnValue(pclWriter, pcl))
            return 0;
        if (pclKX != nullptr)
            pclKX->SetItemValueDefined(pcl->piGetItem(), pcl->bValueDefined(), 0);
    }
    // The items reading a column written hold the value written, as the
    // server does after the write.
    for (int i = 0; bQuery && eType == QT_UPDATE && i < nColumns; i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pcl == nullptr || pcl->bIsComposedKey())
            break;
        CNAColumn* pclWriter = _bNeedToUpdate(pcl, eType, nFlags) ? nullptr : _pclColumnWriter(pcl, eType, nFlags);
        CAny clValue;
        if (pclWriter != nullptr && (!pclWriter->bGetCurrentValue(&clValue, 0) || !pcl->bSetValue(&clValue, 0)))
            return 0;
    }
    if (eType == QT_INSERT && pclList->nGetCount() == 0) {
        CNAColumn* pclIdAuto = m_pclCurrentRecord->pclGetColumnIDAutoNoRef();
        for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
            CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
            if (pcl == nullptr || pcl->bIsComposedKey())
                break;
            if (pcl != pclIdAuto && pcl->bUpdatable())
                return Write(pcl);
        }
    }
    return 1;
}

bool CNAStatement::_bLeftToServerDefault(CNAColumn* pclColumn) const
{
    const CNAItemDescription* pclItem = dynamic_cast<const CNAItemDescription*>(pclColumn->piGetItem());
    CNAKXRecord* pclKX = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetNAKXRecord() : nullptr;
    return pclItem != nullptr && pclItem->bDefaultExpression() && pclKX != nullptr &&
           !pclKX->bItemValueDefined(pclItem, 0);
}

int CNAStatement::_bAddColumnValue(CNACommand* pclCommand, CNAColumn* pclColumn, int eType, unsigned int nFlags)
{
    // An item left unset whose default the server works out (uuid(), the
    // time) gets that default, never NULL.
    if (eType == QT_INSERT && _bLeftToServerDefault(pclColumn))
        return pclCommand->bComplete(L"DEFAULT", static_cast<unsigned int>(-1));
    if (m_pclCurrentRecord != nullptr && pclColumn == m_pclCurrentRecord->pclGetColumnIDAutoNoRef() &&
        (nFlags & (WPF_AUTOID_GIVEN | WPF_AUTOID_KEPT)) == 0 &&
        ((nFlags & WPF_AUTOID_NEW) != 0 || !pclColumn->bIsAutoIncrementOnDataBase())) {
        if (m_pclDataAccess == nullptr || !m_pclDataAccess->bSetNewAutoId())
            return 0;
    }
    CAny clValue;
    if (!pclColumn->bGetCurrentValue(&clValue, 0) || !_bTextFitsColumn(pclColumn, clValue))
        return 0;
    return pclCommand->bAddParameter(&clValue, -1, 0, pclColumn, 0, CNAParameter::PARAM_IN);
}

int CNAStatement::_bTextFitsColumn(CNAColumn* pclColumn, const CAny& clValue)
{
    // A server out of strict mode would store the text cut, with a warning
    // only. An 8-bit item holds no more characters than its column; a wide
    // one may (two units a character beyond U+FFFF).
    const CNAItemDescription* pclItem = pclColumn->pclGetImportedItem();
    const unsigned int nMax = pclItem != nullptr ? pclItem->nGetCharacterLength() : 0;
    if (nMax == 0 || clValue.bIsNull() || clValue.nGetTypeCode() != TQTYPE_DSTRW)
        return 1;
    void* p = nullptr;
    unsigned int nBytes = 0;
    clValue.pclGetTraitement()->nGetDataAdr(&p);
    clValue.pclGetTraitement()->nGetUtilDataSize(&nBytes);
    const size_t nChars = p != nullptr ? wcsnlen(static_cast<const wchar_t*>(p), nBytes / sizeof(wchar_t)) : 0;
    if (nChars <= nMax)
        return 1;
    _RaiseUserError(PT_VALUE_TOO_LONG, ZTERR_VALUE_TOO_LONG, pclColumn->pszGetName());
    return 0;
}

int CNAStatement::_bBuildQueryInsertUpdate(CNACommand* pclCommand, int eType, unsigned int nFlags)
{
    if (!_bBuildQueryStart(pclCommand, eType) || m_pclCurrentRecord == nullptr)
        return 0;
    CNACommand* pclValues = m_pclDataAccess->pclAllocCommand(m_pclError);
    if (pclValues == nullptr)
        return _bNoMemory(PT_NO_COMMAND);
    pclValues->AddRef();
    CColumnList clList;
    int bResult = _bBuildColumnList(&clList, pclValues, eType, nFlags);
    if (bResult && clList.nGetCount() > 0) {
        if (eType == QT_INSERT) {
            pclCommand->bComplete(L" (", static_cast<unsigned int>(-1));
            pclCommand->bComplete(clList.pszGet(), clList.nGetLength());
            pclCommand->bComplete(L") VALUES ( ", static_cast<unsigned int>(-1));
            bResult = pclCommand->bAdd(pclValues, CNACommand::ADDMODE_SHARE);
            pclCommand->bComplete(L" )", static_cast<unsigned int>(-1));
        } else {
            pclCommand->bComplete(L" SET ", static_cast<unsigned int>(-1));
            int bOneRow = 0;
            bResult = pclCommand->bAdd(pclValues, CNACommand::ADDMODE_SHARE) &&
                      _bAddWHERELatestRead(pclCommand, 1, nullptr, &bOneRow) &&
                      _bAddOneRowLimit(pclCommand, bOneRow);
        }
        CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
        if (bResult && pclConnection != nullptr && pclConnection->bSupportInsertReturning())
            bResult = _bAddClauseReturning(eType, nFlags);
    } else if (bResult) {
        if (eType == QT_INSERT)
            pclCommand->bComplete(L" VALUES ( DEFAULT )", static_cast<unsigned int>(-1));
        else
            pclCommand->ResetCommand(0); // nothing changed: nothing to send
    }
    pclValues->nRelease();
    return bResult;
}

int CNAStatement::bBuildQueryINSERT(CNACommand* pclCommand, unsigned int nFlags)
{
    return _bBuildQueryInsertUpdate(pclCommand, QT_INSERT, nFlags);
}

int CNAStatement::bBuildQueryUPDATE(CNACommand* pclCommand, unsigned int nFlags)
{
    return _bBuildQueryInsertUpdate(pclCommand, QT_UPDATE, nFlags);
}

int CNAStatement::bBuildQueryDELETE(CNACommand* pclCommand, unsigned int)
{
    int bOneRow = 0;
    return _bBuildQueryStart(pclCommand, QT_DELETE) && _bAddWHERELatestRead(pclCommand, 1, nullptr, &bOneRow) &&
           _bAddOneRowLimit(pclCommand, bOneRow);
}

int CNAStatement::_bAddOneRowLimit(CNACommand* pclCommand, int bOneRow)
{
    // Equal rows are told apart by nothing the condition holds: the write
    // of one record changes one of them only.
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (bOneRow || pclConnection == nullptr || pclConnection->eGetDataSource() != CNAConnectionDescription::DS_MYSQL)
        return 1;
    return pclCommand->bComplete(L" LIMIT 1", static_cast<unsigned int>(-1));
}

int CNAStatement::_bStartTableText(CNACommand* pclCommand, int eType, const wchar_t* pszVerb)
{
    if (pclCommand == nullptr || m_pclDataAccess == nullptr)
        return 0;
    pclCommand->ResetCommand(0);
    _SetQuery(pclCommand);
    pclCommand->SetStatementKind(eType);
    pclCommand->bComplete(pszVerb, static_cast<unsigned int>(-1));
    pclCommand->bComplete(m_pclDataAccess->pszGetFormatedTableName(), static_cast<unsigned int>(-1));
    return 1;
}

int CNAStatement::bBuildQueryDELETEALL(CNACommand* pclCommand, unsigned int)
{
    if (m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery())
        return _bNotOffered(PT_DELETE_ALL_QUERY);
    return _bStartTableText(pclCommand, QT_DELETEALL, L"DELETE FROM ");
}

int CNAStatement::bBuildQueryDROPTABLE(CNACommand* pclCommand)
{
    if (!_bStartTableText(pclCommand, QT_DROPTABLE, L"DROP TABLE "))
        return 0;
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (pclConnection != nullptr && pclConnection->eGetDataSource() == 1)
        pclCommand->bComplete(L" CASCADE CONSTRAINT", static_cast<unsigned int>(-1));
    return 1;
}

int CNAStatement::bBuildQueryCREATE(CNACommand* pclCommand)
{
    if (m_pclCurrentRecord == nullptr || !_bStartTableText(pclCommand, QT_CREATE, L"CREATE TABLE "))
        return 0;
    pclCommand->bComplete(L"( ", static_cast<unsigned int>(-1));
    bool bFirst = true;
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pcl == nullptr || pcl->bIsComposedKey())
            continue;
        if (!bFirst)
            pclCommand->bComplete(L", ", static_cast<unsigned int>(-1));
        bFirst = false;
        if (!_bBuildSubQueryCREATEColumn(pclCommand, pcl))
            return 0;
    }
    pclCommand->bComplete(L" )", static_cast<unsigned int>(-1));
    return 1;
}

int CNAStatement::_bBuildSubQueryCREATEColumn(CNACommand* pclCommand, CNAColumn* pclColumn)
{
    CTString csType;
    CTString csConstraint;
    if (!_bGetNativeDataType(pclColumn, &csType) || !_bGetNativeConstraint(pclColumn, &csConstraint))
        return 0;
    pclCommand->bComplete(pclColumn->pszGetFormatedName(), static_cast<unsigned int>(-1));
    pclCommand->bComplete(L" ", 1);
    pclCommand->bComplete(csType.pszGet(), static_cast<unsigned int>(-1));
    if (csConstraint.nTaille() > 0) {
        pclCommand->bComplete(L" ", 1);
        pclCommand->bComplete(csConstraint.pszGet(), static_cast<unsigned int>(-1));
    }
    return 1;
}

int CNAStatement::_bGetNativeDataType(CNAColumn* pclColumn, CTString* pclText)
{
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    return pclConnection != nullptr && pclConnection->bGetMatchingSQLType(m_pclError, pclColumn->piGetItem(), pclText);
}

int CNAStatement::_bGetNativeConstraint(CNAColumn* pclColumn, CTString* pclText)
{
    pclText->Vide();
    INAItemDescription* piItem = pclColumn->piGetItem();
    if (piItem == nullptr)
        return 1;
    const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
    if (piItem->bPrimary() || eType == NA_IT_IDAUTO || eType == NA_IT_IDAUTO4) {
        pclText->Set(L" PRIMARY KEY ");
        return 1;
    }
    if (!piItem->bUnique())
        return 1;
    pclText->Set(L" UNIQUE ");
    if (m_piDataSource != nullptr && m_piDataSource->nGetVersion() >= 6 && m_piDataSource->bGetNullSupported() &&
        piItem->nGetVersion() >= 9 && !piItem->vbConstraintNullAllowed())
        pclText->Set(L" UNIQUE ", L" NOT NULL ", L"");
    return 1;
}

int CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(CTString* pclOut, const wchar_t* pszText, const wchar_t* pszType,
                                                     int nMax, const wchar_t* pszReplacement)
{
    pclOut->Vide();
    if (pszText == nullptr || _bEmpty(pszType))
        return 0;
    const size_t nType = std::wcslen(pszType);
    std::wstring sOut;
    const wchar_t* pszCopied = pszText;
    bool bReplaced = false;
    for (const wchar_t* p = pszText; *p != 0;) {
        const bool bWordStart = p == pszText || !_bWordCharacter(p[-1]);
        if (!bWordStart || std::wcsncmp(p, pszType, nType) != 0 || p[nType] != L'(') {
            p++;
            continue;
        }
        const wchar_t* pszDigits = p + nType + 1;
        const wchar_t* q = pszDigits;
        long long llLength = 0;
        for (; *q >= L'0' && *q <= L'9'; q++)
            llLength = llLength > LLONG_MAX / 10 ? LLONG_MAX : llLength * 10 + (*q - L'0');
        if (q == pszDigits || llLength <= nMax) {
            p = q;
            continue;
        }
        sOut.append(pszCopied, static_cast<size_t>(p - pszCopied));
        sOut.append(pszReplacement != nullptr ? pszReplacement : L"");
        // The scan resumes after the character that follows the digits.
        p = *q != 0 ? q + 1 : q;
        pszCopied = p;
        bReplaced = true;
    }
    if (!bReplaced)
        return 0;
    sOut.append(pszCopied);
    pclOut->Set(sOut.c_str());
    return 1;
}

int CNAStatement::_bAddClauseReturning(int eType, unsigned int)
{
    CNAColumn* pclIdAuto = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnIDAutoNoRef() : nullptr;
    if (eType != QT_INSERT || pclIdAuto == nullptr)
        return 1;
    return m_pclCommand->bAddReturning(pclIdAuto->pszGetFormatedName());
}

int CNAStatement::_bAddWHERELatestRead(CNACommand* pclCommand, int bWhere, void* pColumns, int* pbOneRow)
{
    if (pbOneRow != nullptr)
        *pbOneRow = 0;
    if (m_pclCurrentRecord == nullptr || !m_pclCurrentRecord->bOriginalSet()) {
        _RaiseUserError(PT_NO_ROW_READ, ZTERR_NO_CURRENT_RECORD, m_csParseItem.pszGet());
        return 0;
    }
    CNARecordValue* pclOriginal = m_pclCurrentRecord->pclGetOriginalRecordValueNoRef();
    const CNARecordId* pclId = pclOriginal != nullptr ? pclOriginal->pclGetRecordIdNoRef() : nullptr;
    if (pclId != nullptr && pclId->eGetRecordIdType() == CNARecordId::RECORDID_ROWID) {
        if (bWhere)
            pclCommand->bComplete(L" WHERE ", static_cast<unsigned int>(-1));
        pclCommand->bComplete(L" ROWID=", static_cast<unsigned int>(-1));
        if (pbOneRow != nullptr)
            *pbOneRow = 1;
        CNAConvertVariant* pclCell = static_cast<const CNARecordId_RowId*>(pclId)->pclGetValueNoRef();
        CAny clValue;
        if (pclCell == nullptr || !pclCell->bGetValue(&clValue))
            return 0;
        return pclCommand->bAddParameter(&clValue, -1, 0, nullptr, 0, CNAParameter::PARAM_IN);
    }
    return _bWithOriginalValues(
        [&] { return _bAddWHERECurrentRecord(pclCommand, bWhere, pColumns, pbOneRow, pclOriginal); });
}

int CNAStatement::_bWithOriginalValues(const std::function<int()>& fn)
{
    CNAKXRecord* pclCurrent = m_pclCurrentRecord->pclGetNAKXRecord();
    CNAKXRecord* pclOriginalKX = m_pclCurrentRecord->pclGetOriginalNAKXRecord();
    if (pclCurrent == nullptr || pclOriginalKX == nullptr)
        return 0;
    CNAKXRecord* pclSaved = pclCurrent->pclGetClone();
    if (pclSaved == nullptr)
        return _bNoMemory(PT_NO_MEMORY);
    pclSaved->AddRef();
    pclCurrent->Copy(pclOriginalKX);
    m_pclCurrentRecord->OnNAKXRecordChanged();
    const int bResult = fn();
    // The current values come back whatever fn gave.
    pclCurrent->Copy(pclSaved);
    m_pclCurrentRecord->OnNAKXRecordChanged();
    pclSaved->nRelease();
    return bResult;
}

int CNAStatement::_bAddWHERECurrentRecord(CNACommand* pclCommand, int bWhere, void* pColumns, int* pbOneRow,
                                          const CNARecordValue* pclRow)
{
    const int bOneRow =
        m_pclCurrentRecord != nullptr && _bFindsOneRow(static_cast<const CNARefArray<CNAColumn>*>(pColumns));
    if (pbOneRow != nullptr)
        *pbOneRow = bOneRow;
    INAItemDescription* piBest = m_piDataSource != nullptr ? m_piDataSource->piGetBestParseItemDesc() : nullptr;
    CNARecherche* pclSearch = pclAllocRecherche(m_pclError);
    CNACommand* pclCondition = m_pclDataAccess != nullptr ? m_pclDataAccess->pclAllocCommand(m_pclError) : nullptr;
    if (pclSearch != nullptr)
        pclSearch->AddRef();
    if (pclCondition != nullptr) {
        pclCondition->AddRef();
        // Named as the command it joins names its items.
        pclCondition->SetOutputNames(pclCommand->bOutputNames());
        pclCondition->SetWrittenTable(pclCommand->pszGetWrittenTable());
    }
    int bResult = 0;
    if (pclSearch == nullptr || pclCondition == nullptr) {
        _bNoMemory(PT_NO_MEMORY);
    } else if (pclSearch->bRechercheEnreg(m_pclCurrentRecord, piBest, NA_PARSE_FIRST, 1,
                                          static_cast<const CNARefArray<CNAColumn>*>(pColumns)) &&
               _bAddEveryOtherValue(pclSearch, pclRow, piBest) && _bHeldTextsRead(pclSearch, pclRow)) {
        // Each refused item the condition compares is written with its
        // text, or fails the condition.
        pclSearch->SetRefusals(pclRow != nullptr ? pclRow->pclGetReadFailureNoRef() : nullptr);
        if (pclSearch->bGetSQL(pclCondition, nullptr, nullptr)) {
            if (bWhere)
                pclCommand->bComplete(L" WHERE ", static_cast<unsigned int>(-1));
            bResult = pclCommand->bAdd(pclCondition, CNACommand::ADDMODE_SHARE);
        }
    }
    if (bResult)
        _SetRowSearch(pclSearch);
    if (pclCondition != nullptr)
        pclCondition->nRelease();
    if (pclSearch != nullptr)
        pclSearch->nRelease();
    if (piBest != nullptr)
        piBest->nExternalRelease();
    return bResult;
}

int CNAStatement::_bAddEveryOtherValue(CNARecherche* pclSearch, const CNARecordValue* pclRow,
                                       INAItemDescription* piBest)
{
    const CXError* pclFailure = pclRow != nullptr ? pclRow->pclGetReadFailureNoRef() : nullptr;
    // A part the condition compares with the row's value: as read, by the
    // server's text of a value its item refused, or of one it holds less
    // exactly when that text was read.
    auto bCompared = [&](CNAColumn* pcl) {
        if (pcl == nullptr || !pclSearch->bComparesColumn(pcl))
            return false;
        const CNAReadFailure::SRefusal* pst = CNAReadFailure::s_pstRefusal(pclFailure, pcl->pszGetName());
        if (pst != nullptr)
            return !pst->bHeld || CNAExpression::s_bServerValueText(pst->strText.c_str());
        return !CNAExpression::s_bRoundedReal(pcl) && pcl->bValueDefined();
    };
    CNAColumn* pclBest = piBest != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(piBest) : nullptr;
    const CRefArray<CNAColumn>* ptabBest =
        pclBest != nullptr && pclBest->bIsComposedKey() ? pclBest->pclGetTabComponent() : nullptr;
    auto bOfBest = [&](const CNAColumn* pcl) {
        for (int k = 0; ptabBest != nullptr && k < ptabBest->nGetNbElement(); k++)
            if ((*ptabBest)[k] == pcl)
                return true;
        return pcl == pclBest;
    };
    const int nColumns = m_pclCurrentRecord->nGetNbColumn();
    // A computed item of items compared tells no row apart, and a write may
    // have left its value stale; a column is compared once.
    std::vector<bool> tabLeftOut = _tabLeftOutOfConditions(false);
    for (size_t i = 0; i < tabLeftOut.size(); i++)
        if (tabLeftOut[i])
            pclSearch->LeaveOut(m_pclCurrentRecord->pclGetColumnNoRef(static_cast<int>(i)));
    tabLeftOut.resize(static_cast<size_t>(nColumns), false);
    for (int i = 0; i < nColumns; i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (!pcl->bUnique())
            continue;
        const CRefArray<CNAColumn>* ptab = pcl->bIsComposedKey() ? pcl->pclGetTabComponent() : nullptr;
        bool bKey = ptab != nullptr || bCompared(pcl);
        for (int k = 0; bKey && ptab != nullptr && k < ptab->nGetNbElement(); k++)
            bKey = bCompared((*ptab)[k]);
        // A key finds the row alone.
        if (bKey)
            return 1;
    }
    for (int i = 0, nMemo = 0; i < nColumns; i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        // Memos come in column order: the memo's place among them.
        const bool bMemo = pcl->bIsMemo() != 0;
        if (bMemo)
            nMemo++;
        if (pcl->bIsComposedKey() || tabLeftOut[static_cast<size_t>(i)])
            continue;
        // A memo's value as read: the current one may be written over.
        CAny clValue;
        const bool bRead = bMemo ? pclRow != nullptr && pclRow->bGetMemoValue(&clValue, nMemo - 1)
                                 : pcl->bGetCurrentValue(&clValue, 0) != 0;
        if (!bRead)
            return 0;
        // Texts a collation takes as equal are told apart by their
        // characters: those read, or the server's bytes of them. They are
        // enough, and the value is written once: equal characters are
        // equal under any collation.
        const CNAReadFailure::SRefusal* pst = CNAReadFailure::s_pstRefusal(pclFailure, pcl->pszGetName());
        const bool bCharacters =
            _bCollatedText(pcl) &&
            (pst != nullptr ? CNAExpression::s_bHexaLiteral(pst->strText.c_str()) : !clValue.bIsNull());
        if (!pclSearch->bComparesColumn(pcl) && !bCharacters &&
            !pclSearch->bAddRecordValue(m_pclCurrentRecord, pcl, &clValue))
            return 0;
        if (!bCharacters)
            continue;
        // The best item's own comparison stays, for its index; the others
        // become comparisons of the characters.
        if (pclSearch->bComparesColumn(pcl) && !bOfBest(pcl) && pclSearch->bCompareCharacters(pcl))
            continue;
        if (!pclSearch->bAddRecordCharacters(pcl, &clValue))
            return 0;
    }
    return 1;
}

bool CNAStatement::_bComputedOfPlainItems(CNAColumn* pclComputed) const
{
    CSQLParserInfo* pclInfo = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetQueryParserInfoNoRef() : nullptr;
    IInfoRubrique* piItem = pclInfo != nullptr ? pclInfo->piGetColumnRubriqueOUT(pclComputed) : nullptr;
    IExpOpExpression* piExpression = piItem != nullptr ? piItem->piGetExpression() : nullptr;
    if (piExpression == nullptr)
        return false;
    const auto bPlainItem = [this](IExpOpExpression* pi) {
        const wchar_t* pszName = pi->pszGetNomRubrique();
        const wchar_t* pszTable = pi->pszGetNomTable();
        for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
            CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
            const wchar_t* pszAlias = pcl->pszGetAliasNomTable();
            if (pcl->eGetTypeColonne() == 0 && !pcl->bIsComposedKey() && pszName != nullptr &&
                STR_nCompareW(pcl->pszGetOriginalName(), pszName, 3) == 0 &&
                (_bEmpty(pszTable) || _bEmpty(pszAlias) || STR_nCompareW(pszAlias, pszTable, 3) == 0))
                return true;
        }
        return false;
    };
    // Each node holds a reference, given back once looked at.
    constexpr int kColumnNode = 47;
    bool bPlain = true;
    std::vector<IExpOpExpression*> tabLeft{piExpression};
    while (!tabLeft.empty()) {
        IExpOpExpression* pi = tabLeft.back();
        tabLeft.pop_back();
        if (pi->eGetOperateur() == kColumnNode) {
            bPlain = bPlain && bPlainItem(pi);
        } else {
            int nIterator = 0;
            for (IExpOpExpression* p = pi->piGetNextOperande(&nIterator); p != nullptr;
                 p = pi->piGetNextOperande(&nIterator))
                tabLeft.push_back(p);
        }
        pi->nRelease();
    }
    return bPlain;
}

std::vector<bool> CNAStatement::_tabLeftOutOfConditions(bool bRepeatsOnly) const
{
    std::vector<bool> tab;
    if (m_pclCurrentRecord == nullptr || m_pclDataAccess == nullptr || !m_pclDataAccess->bSourceIsQuery())
        return tab;
    const int nColumns = m_pclCurrentRecord->nGetNbColumn();
    const auto bSameColumn = [](CNAColumn* pcl1, CNAColumn* pcl2) {
        return STR_nCompareW(pcl1->pszGetOriginalName(), pcl2->pszGetOriginalName(), 3) == 0 &&
               STR_nCompareW(pcl1->pszGetAliasNomTable(), pcl2->pszGetAliasNomTable(), 3) == 0;
    };
    for (int i = 0; i < nColumns; i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        bool bOut = !bRepeatsOnly && pcl->eGetTypeColonne() != 0 && _bComputedOfPlainItems(pcl);
        for (int k = 0; !bOut && pcl->eGetTypeColonne() == 0 && !pcl->bIsComposedKey() && k < i; k++) {
            CNAColumn* pclEarlier = m_pclCurrentRecord->pclGetColumnNoRef(k);
            bOut = pclEarlier->eGetTypeColonne() == 0 && !pclEarlier->bIsComposedKey() && bSameColumn(pcl, pclEarlier);
        }
        if (bOut && tab.empty())
            tab.assign(static_cast<size_t>(nColumns), false);
        if (bOut)
            tab[static_cast<size_t>(i)] = true;
    }
    return tab;
}

bool CNAStatement::_bCollatedText(const CNAColumn* pclColumn)
{
    switch (pclColumn->eNAGetItemType()) {
    case NA_IT_TEXTE: case NA_IT_CHAR: case NA_IT_UNICODE: case NA_IT_MEMOTEXTE: case NA_IT_MEMOUNICODE:
        return true;
    default:
        return false;
    }
}

int CNAStatement::_bHeldTextsRead(CNARecherche* pclSearch, const CNARecordValue* pclRow)
{
    const CNAReadFailure::Refusals* ptab =
        pclRow != nullptr ? CNAReadFailure::s_ptabRefusals(pclRow->pclGetReadFailureNoRef()) : nullptr;
    for (size_t i = 0; ptab != nullptr && i < ptab->size(); i++) {
        const CNAReadFailure::SRefusal& st = (*ptab)[i];
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(st.strItem.c_str());
        if (!st.bHeld || !st.strText.empty() || pcl == nullptr || !pclSearch->bComparesColumn(pcl))
            continue;
        // Compared as the item holds it, the condition could find another
        // row: nothing is sent.
        if (m_pclError != nullptr)
            _RaiseRowNotTold(m_pclError, pcl, pclGetConnectionNoRef());
        return 0;
    }
    return 1;
}

void CNAStatement::_RaiseRowNotTold(CNAError* pclError, CNAColumn* pclColumn, CNAConnectionDescription* pclConnection)
{
    CAny clValue;
    std::wstring strValue;
    if (pclColumn->bGetCurrentValue(&clValue, 0))
        CNAExpression::s_bReadWide(&clValue, &strValue);
    const CNAItemDescription* pclServer = pclColumn->pclGetImportedItem();
    const wchar_t* pszType = pclServer != nullptr ? pclServer->pszGetDBType() : nullptr;
    const wchar_t* pszTable = m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
    pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, FILE_STATEMENT, PT_VALUE_NOT_HELD, pclConnection, pszTable,
                             pclColumn->pszGetName(), ZTERR_CONVERSION, static_cast<int>(clValue.nGetTypeCode()),
                             static_cast<int>(pclColumn->eNAGetItemType()), strValue.c_str());
    pclError->pclGetXError()->AddUserMessageFirst(&gstMyModuleInfo32, ZTMSG_ROW_NOT_TOLD, pclColumn->pszGetName(),
                                                  pszTable, pszType != nullptr ? pszType : L"");
}

CXError* CNAStatement::_pclPastBoundFailure(CNAColumn* pclColumn)
{
    // Built aside: the row still reads. Whoever adds it names the
    // connection.
    CNAError clError;
    _RaiseRowNotTold(&clError, pclColumn, nullptr);
    CXError* pclFailure = new (std::nothrow) CXError(*clError.pclGetXError());
    if (pclFailure != nullptr)
        pclFailure->m_nRefCount++;
    return pclFailure;
}

int CNAStatement::_bFindsOneRow(const CNARefArray<CNAColumn>* ptabKey) const
{
    // The condition is the record's unique key free of NULLs when it has one.
    CNAColumn* pclKey = ptabKey == nullptr ? m_pclCurrentRecord->pclGetUniqueKeyNotNullNoRef() : nullptr;
    for (int i = 0; ptabKey != nullptr && i < ptabKey->nGetNbElement() && pclKey == nullptr; i++)
        if (CNARecord::s_bUniqueNotNull((*ptabKey)[i]))
            pclKey = (*ptabKey)[i];
    if (pclKey == nullptr)
        return 0;
    // A FLOAT part is compared over the range its text stands for, which
    // may hold another row's value.
    const CRefArray<CNAColumn>* ptab = pclKey->bIsComposedKey() ? pclKey->pclGetTabComponent() : nullptr;
    for (int i = 0; ptab != nullptr && i < ptab->nGetNbElement(); i++)
        if (CNAExpression::s_bRoundedReal((*ptab)[i]))
            return 0;
    return !CNAExpression::s_bRoundedReal(pclKey);
}

int CNAStatement::bUpdateRecordAfterInsert(int, unsigned int nFlags)
{
    CNAColumn* pclIdAuto = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnIDAutoNoRef() : nullptr;
    if ((nFlags & (WPF_AUTOID_GIVEN | WPF_AUTOID_KEPT)) != 0 || pclIdAuto == nullptr)
        return 1;
    CAny clValue;
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (pclConnection != nullptr && pclConnection->bSupportInsertReturning()) {
        if (!bGetResultValue(&clValue, 0))
            return 0;
    } else {
        CNAIDAuto* pclAuto = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetIDAuto() : nullptr;
        if (pclAuto != nullptr) {
            const int bRead = pclAuto->bGetMaxCurrentValue(m_pclDataAccess, pclIdAuto, m_pclError, &clValue);
            pclAuto->nRelease();
            if (!bRead)
                return 0;
        }
    }
    return pclIdAuto->bSetValue(&clValue, 0);
}

int CNAStatement::bUpdateRecordAfterUpdate(int, unsigned int nFlags)
{
    CNAColumn* pclIdAuto = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnIDAutoNoRef() : nullptr;
    if ((nFlags & (WPF_AUTOID_GIVEN | WPF_AUTOID_KEPT)) != 0 || pclIdAuto == nullptr)
        return 1;
    CNAKXRecord* pclCurrent = m_pclCurrentRecord->pclGetNAKXRecord();
    const CNAKXRecord* pclOriginal = m_pclCurrentRecord->pclGetOriginalNAKXRecord();
    INAItemDescription* piItem = pclIdAuto->piGetItem();
    if (pclCurrent == nullptr || pclOriginal == nullptr || piItem == nullptr)
        return 1;
    const unsigned char* pbySource = pclOriginal->pbyGetItemValue(piItem, 0);
    unsigned char* pbyTarget = pclCurrent->pbyGetItemValue(piItem, 0);
    if (pbySource != nullptr && pbyTarget != nullptr)
        std::memcpy(pbyTarget, pbySource, piItem->nGetItemSize());
    m_pclCurrentRecord->OnNAKXRecordChanged();
    return 1;
}

// ---- Counts ---------------------------------------------------------------------------------------------------

int CNAStatement::_bBuildQueryCOUNT(CNACommand* pclCommand, unsigned int, int bAllRows)
{
    if (pclCommand == nullptr || m_pclDataAccess == nullptr)
        return 0;
    CNACommand* pclSearch = nullptr;
    if (!bAllRows) {
        pclSearch = m_pclDataAccess->pclAllocCommand(m_pclError);
        if (pclSearch == nullptr)
            return _bNoMemory(PT_NO_COMMAND);
        pclSearch->AddRef();
        if (!bGetClauseWHERE(pclSearch)) {
            pclSearch->nRelease();
            return 0;
        }
    }
    const int bResult = _bBuildCountOf(pclCommand, pclSearch);
    if (pclSearch != nullptr)
        pclSearch->nRelease();
    return bResult;
}

int CNAStatement::_bBuildCountOf(CNACommand* pclCommand, CNACommand* pclSearch)
{
    pclCommand->ResetCommand(0);
    _SetQuery(pclCommand);
    pclCommand->bComplete(L"SELECT ", static_cast<unsigned int>(-1));
    int bResult = pclCommand->bAddSelectAdditionnalColumn(L"COUNT(*) AS ZTACCESNATIF_NBENR", COUNT_TYPE);
    if (bResult && m_pclDataAccess->bSourceIsQuery()) {
        pclCommand->bComplete(L" FROM ", static_cast<unsigned int>(-1));
        bResult = _bBuildQuerySELECTFromQuery(m_pclDataAccess->pclGetQueryParserInfoNoRef(), 0, nullptr, 1,
                                              pclSearch, 0, 1);
    } else if (bResult) {
        bResult = _bBuildQuerySELECTFromTable(m_pclDataAccess->pszGetFormatedTableName(), 0, nullptr, 1, pclSearch, 0);
    }
    return bResult;
}

int CNAStatement::bGetNbEnr(long long* pllCount, unsigned int nFlags, int bAllRows)
{
    if (m_pclDataAccess == nullptr)
        return 0;
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    if (m_pclDataAccess->bSourceIsQuery() && (pclConnection == nullptr || !pclConnection->bSupportSubQuery()))
        return _bGetNbEnr_NoSubQuery(pllCount);
    return _bCount(pllCount, nullptr, nFlags, bAllRows);
}

int CNAStatement::bCountLatestRead(long long* pllCount)
{
    *pllCount = -1;
    if (m_pclDataAccess == nullptr)
        return 0;
    CNACommand* pclSearch = m_pclDataAccess->pclAllocCommand(m_pclError);
    if (pclSearch == nullptr)
        return _bNoMemory(PT_NO_COMMAND);
    pclSearch->AddRef();
    // A limited query finds the row among its own: by its output names.
    pclSearch->SetOutputNames(m_pclDataAccess->bQueryResultsetLimited());
    int bResult = _bAddWHERELatestRead(pclSearch, 0, nullptr);
    if (bResult && !m_pclDataAccess->bSourceIsQuery()) {
        bResult = _bCount(pllCount, pclSearch, 0, 0);
    } else if (bResult) {
        // No sub-query holds a query here: it runs with the condition, and
        // its rows are counted without being read into the record.
        ResetQuery();
        EnableCache(0);
        CNACommand* pclCommand = m_pclDataAccess->pclAllocCommand(m_pclError);
        if (pclCommand == nullptr) {
            bResult = _bNoMemory(PT_NO_COMMAND);
        } else {
            pclCommand->AddRef();
            bResult = bBuildQuerySELECT(pclCommand, 0, nullptr, 1, pclSearch) && bExecute(0, 1);
            if (bResult)
                *pllCount = m_pclStatementSQL->llGetRowCount();
            pclCommand->nRelease();
        }
        ResetStatement();
    }
    pclSearch->nRelease();
    return bResult;
}

int CNAStatement::_bCount(long long* pllCount, CNACommand* pclSearch, unsigned int nFlags, int bAllRows)
{
    ResetQuery();
    EnableCache(0);
    CNACommand* pclCommand = m_pclDataAccess->pclAllocCommand(m_pclError);
    if (pclCommand == nullptr) {
        *pllCount = -1;
        return _bNoMemory(PT_NO_COMMAND);
    }
    pclCommand->AddRef();
    CAny clValue;
    int bResult = (pclSearch != nullptr ? _bBuildCountOf(pclCommand, pclSearch)
                                        : _bBuildQueryCOUNT(pclCommand, nFlags, bAllRows)) &&
                  bGetRequestedValue(&clValue);
    ResetStatement();
    pclCommand->nRelease();
    if (bResult && clValue.nGetTypeCode() != TQTYPE_VIDE && !clValue.bIsNull()) {
        if (clValue.__nCastTo(COUNT_TYPE, nullptr, 0) > 99 || clValue.nGetINT_64(pllCount) != 0)
            bResult = 0;
    }
    if (!bResult)
        *pllCount = -1;
    return bResult;
}

int CNAStatement::_bGetNbEnr_NoSubQuery(long long* pllCount)
{
    ResetQuery();
    EnableCache(0);
    CNACommand* pclCommand = m_pclDataAccess->pclAllocCommand(m_pclError);
    if (pclCommand == nullptr)
        return _bNoMemory(PT_NO_COMMAND);
    pclCommand->AddRef();
    int bResult = m_pclDataAccess->bBuildSelect(pclCommand, this, nullptr, 1, 0, nullptr);
    pclCommand->SetRowLimit(-1, -1);
    bResult = bResult && bExecute(0, 1);
    long long llCount = 0;
    if (bResult && bFetch(NA_PARSE_FIRST, 0, 1, nullptr)) {
        while (bResult && !m_bEndehors) {
            llCount++;
            bResult = bFetch(NA_PARSE_NEXT, 0, 1, nullptr);
        }
    } else {
        bResult = 0;
    }
    pclCommand->nRelease();
    if (bResult)
        *pllCount = llCount;
    return bResult;
}

// ---- Fetch --------------------------------------------------------------------------------------------------

int CNAStatement::bFetch(int eDirection, int bFlag, long long llCount, long long* pllMoved)
{
    m_ePastEnd = -1;
    m_bFound = 0;
    int bOutOfRange = 1;
    if (llCount < 0 && (eDirection == NA_PARSE_NEXT || eDirection == NA_PARSE_PREVIOUS)) {
        // A move back by n is a move the other way.
        eDirection = _eSwapped(eDirection);
        llCount = llCount == LLONG_MIN ? LLONG_MAX : -llCount;
    }
    if (bInvertFetch()) {
        eDirection = _eSwapped(eDirection);
        if (eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_LAST)
            m_llRepeatCount = 0;
    }
    if (m_pclTableCacheIndex != nullptr && m_bCurrentRowDeleted) {
        // The index already stands on the entry after the deleted row.
        m_bCurrentRowDeleted = 0;
        if (eDirection == NA_PARSE_NEXT && m_eParseNeedUpdate == UPDATE_NONE && llCount > 0)
            --llCount;
    }
    if (m_csName.nTaille() > 0 && (m_eParseNeedUpdate != UPDATE_NONE || !m_bParseStarted) &&
        !_bRefreshBeforeFetch(eDirection, &llCount)) {
        m_bEndehors = 1;
        return 0;
    }
    m_bEndehors = 1;
    m_bRestoredRow = 0;
    m_bMoreRows = 0;
    m_eLastDirection = eDirection;
    int bResult = bCacheEnabled() ? _bFetchCacheEnabled(eDirection, bFlag, llCount, pllMoved, &bOutOfRange)
                                  : _bFetchCacheDisabled(eDirection, bFlag, llCount, pllMoved, &bOutOfRange);
    if (bResult && !bOutOfRange) {
        m_bFound = m_pclRecherche != nullptr && m_pclRecherche->nGetState() != CNARecherche::STATE_INACTIVE
                       ? m_pclRecherche->bHTrouve()
                       : 1;
        bResult = bSetStmtOriginalRecord(eDirection);
        if (bResult && bFlag && m_pclDataAccess != nullptr)
            bResult = m_pclDataAccess->bSetCurrentRecordRead(0);
    } else if (!bResult) {
        bOutOfRange = 1;
        m_bFound = 0;
    }
    m_bEndehors = bOutOfRange;
    // Past the last row nothing is found, whatever the record left shows;
    // a row read on under the user's search carries the server's answer.
    const CNARecordValue* pclRow =
        m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() : nullptr;
    const int nServerFound = pclRow != nullptr && m_clUserSearch.piGetItemNoRef() != nullptr &&
                                     m_pclTableCacheIndex == nullptr
                                 ? pclRow->nGetServerFound()
                                 : -1;
    if (bOutOfRange || nServerFound < 0)
        m_bHTrouve = !bOutOfRange && (m_bInternalSearch || m_pclTableCacheIndex != nullptr)
                         ? m_clUserSearch.bGetHTrouve(m_pclCurrentRecord)
                         : m_bFound;
    else
        m_bHTrouve = nServerFound;
    SetParseStarted();
    return bResult;
}

int CNAStatement::_bRefreshBeforeFetch(int eDirection, long long* pllCount)
{
    CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCacheNoRef() : nullptr;
    if (eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_LAST) {
        const int bStarted = m_bParseStarted;
        bSetParseNeedUpdate(UPDATE_NONE, -1);
        // A browse to refresh that no index serves reads a result older than
        // the cache, or the full cache in the order rows came: the index
        // serves it from now on.
        if ((!bStarted || m_pclTableCacheIndex == nullptr) && pclTableCache != nullptr &&
            !pclTableCache->bIsStatementParse(this))
            return bOpenUsingTableCache();
        return 1;
    }
    if (pclTableCache == nullptr || (eDirection != NA_PARSE_NEXT && eDirection != NA_PARSE_PREVIOUS))
        return 1;
    if (pclTableCache->bIsStatementParse(this)) {
        _DropStaleCacheResult();
        return bUpdateParsePositionInRecordCache();
    }
    int bStillThere = 1;
    if (!bUpdateParsePositionInCacheIndex(&bStillThere))
        return 0;
    // A row gone leaves the index on the entry after it: the next one is
    // already there.
    if (!bStillThere && eDirection == NA_PARSE_NEXT && *pllCount > 0)
        --*pllCount;
    return 1;
}

int CNAStatement::bFetchData(int eDirection, int* pbOutOfRange, CAny* pValues, int nCount)
{
    int bResult = bFetch(eDirection, 0, 1, nullptr);
    if (bResult && !m_bEndehors && m_pclCurrentRecord != nullptr) {
        const int n = nCount < m_pclCurrentRecord->nGetNbColumn() ? nCount : m_pclCurrentRecord->nGetNbColumn();
        for (int i = 0; i < n && bResult; i++)
            bResult = m_pclCurrentRecord->pclGetColumnNoRef(i)->bGetCurrentValue(&pValues[i], 0);
    }
    if (pbOutOfRange != nullptr)
        *pbOutOfRange = m_bEndehors;
    return bResult;
}

int CNAStatement::_bNeedNextBloc(int eDirection) const
{
    return (m_nBlockLimit != -1 && !bCacheCompleted()) || (!m_bFirstBlock && eDirection == NA_PARSE_PREVIOUS) ||
           (m_bEqualRowsOnly && eDirection == NA_PARSE_NEXT) || _bCacheResultDropped();
}

bool CNAStatement::_bCacheResultDropped() const
{
    const CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCacheNoRef() : nullptr;
    return pclTableCache != nullptr && pclTableCache->bIsStatementParse(this) && bCacheEnabled() && !bCacheCompleted() &&
           m_pclRecordCache->nGetCount() > 0 && m_pclStatementSQL != nullptr && m_pclStatementSQL->llGetRowCount() < 0;
}

void CNAStatement::_DropStaleCacheResult()
{
    // Rows written since the result was read (deleted, changed or added
    // ahead) make the rest of it stale: the rows after the last one held
    // come from a SELECT of their own.
    if (m_eParseNeedUpdate == UPDATE_NONE || !bCacheEnabled() || bCacheCompleted() || m_pclStatementSQL == nullptr ||
        m_pclStatementSQL->llGetRowCount() < 0)
        return;
    _FreeRecordSaveTable();
    m_pclStatementSQL->bReset();
}

int CNAStatement::_bFetchCacheDisabled(int eDirection, int bFlag, long long llCount, long long* pllMoved,
                                       int* pbOutOfRange)
{
    long long llMoved = 0;
    int bResult = _bFetch(eDirection, bFlag, pbOutOfRange, llCount, &llMoved);
    // The outermost fetch walks the blocks; the fetches of a next block's
    // own SELECT stop at its end.
    if (bResult && *pbOutOfRange && !m_bNextBlock && _bNeedNextBloc(eDirection)) {
        const bool bInverted = bInvertFetch() != 0;
        int eRefind = eDirection == NA_PARSE_FIRST ? NA_PARSE_NEXT
                                                   : (eDirection == NA_PARSE_LAST ? NA_PARSE_PREVIOUS : eDirection);
        if (bInverted)
            eRefind = _eSwapped(eRefind);
        bool bForward = eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_NEXT;
        long long llLeft = llCount;
        long long llTotal = 0;
        // The row the host stands on, should the skip run out.
        CNARecordValue* pclStanding =
            m_pclStmtOriginalRecord != nullptr ? m_pclStmtOriginalRecord->pclGetClone(CNARecordValue::COPY_ALL) : nullptr;
        if (pclStanding != nullptr)
            pclStanding->AddRef();
        for (;;) {
            llTotal += llMoved;
            llLeft -= llMoved;
            // A skip that crossed rows goes on from the last of them.
            if (llMoved > 0 && !_bSetAnchorRow(bForward)) {
                bResult = 0;
                break;
            }
            llMoved = 0;
            bResult = _bFetchNextBloc(bInvertFetch() ? _eSwapped(eRefind) : eRefind, bFlag, pbOutOfRange, llLeft,
                                      &llMoved);
            // The next block's SELECT is read from its start.
            bForward = true;
            if (!bResult || !*pbOutOfRange || m_nBlockLimit == -1 || llMoved <= 0)
                break;
        }
        llMoved += llTotal;
        if (pclStanding != nullptr) {
            if (!bResult || *pbOutOfRange) {
                // A later read starts again from where the host stood.
                m_pclStmtOriginalRecord->bCopyRecordValue(pclStanding, CNARecordValue::COPY_ALL);
                if (m_eParseNeedUpdate != UPDATE_NONE)
                    bSetParseNeedUpdate(m_eParseNeedUpdate);
            }
            pclStanding->nRelease();
        }
    }
    if (pllMoved != nullptr && *pbOutOfRange)
        *pllMoved = llMoved;
    m_bMoreRows = bResult && !*pbOutOfRange;
    return bResult;
}

int CNAStatement::_bSetAnchorRow(bool bForward)
{
    const long long llRow = bForward ? m_pclStatementSQL->llGetRowCount() - 1 : 0;
    if (llRow < 0 || m_pclCurrentRecord == nullptr)
        return 0;
    if (m_pclStmtOriginalRecord == nullptr) {
        m_pclStmtOriginalRecord = new (std::nothrow) CNARecordValue(m_pclError);
        if (m_pclStmtOriginalRecord == nullptr)
            return _bNoMemory(PT_NO_MEMORY);
        m_pclStmtOriginalRecord->AddRef();
    }
    const int nSave = nGetRecordSaveAt(llRow);
    if (nSave >= 0 && m_pclDataAccess != nullptr)
        return m_pclDataAccess->bCopySaveToRecord(nSave, m_pclStmtOriginalRecord);
    return _bVisitSQLRow(llRow, true, [this](CNARecordValue* pclRow) {
        return m_pclStmtOriginalRecord->bCopyRecordValue(pclRow, CNARecordValue::COPY_ALL);
    });
}

int CNAStatement::_bVisitSQLRow(long long llRow, bool bReportError, const std::function<int(CNARecordValue*)>& fnVisit)
{
    CNARecordValue* pclCurrent = m_pclCurrentRecord->pclGetCurrentRecordValueNoRef();
    CNARecordValue* pclBackup = pclCurrent != nullptr ? pclCurrent->pclGetClone(CNARecordValue::COPY_ALL) : nullptr;
    if (pclBackup == nullptr)
        return 0;
    pclBackup->AddRef();
    int bResult = llRow == m_pclStatementSQL->llGetCurrentRow() ||
                  (m_pclStatementSQL->bDataSeek(llRow) && _bFetchSQL() && !m_pclStatementSQL->bEndOfData());
    if (!bResult && bReportError)
        _CopyStatementSQLError();
    bResult = bResult && _bUpdateNARecordFromDB() && fnVisit(pclCurrent);
    // The host's record stays the row it stood on.
    m_pclCurrentRecord->bCopyToCurrentRecord(pclBackup);
    pclBackup->nRelease();
    return bResult;
}

std::wstring CNAStatement::s_strDateTimeLiteral(const wchar_t* pszText)
{
    // The date's separators may have gone on the way from the server: the
    // digits, in the form every server version reads.
    std::wstring strDigits;
    for (const wchar_t* p = pszText; *p != 0; p++)
        if (*p >= L'0' && *p <= L'9')
            strDigits += *p;
    if (strDigits.size() < 8)
        return std::wstring();
    std::wstring s = strDigits.substr(0, 4) + L'-' + strDigits.substr(4, 2) + L'-' + strDigits.substr(6, 2);
    if (strDigits.size() >= 14)
        s += L' ' + strDigits.substr(8, 2) + L':' + strDigits.substr(10, 2) + L':' + strDigits.substr(12, 2);
    if (strDigits.size() > 14)
        s += L'.' + strDigits.substr(14);
    return s;
}

void CNAStatement::_KeepAnchorServerValues(bool bForward, CNARecherche* pclSearch)
{
    CNARecherche::ServerValues tab;
    if (m_pclStatementSQL != nullptr)
        _KeepServerValues(bForward ? m_pclStatementSQL->llGetRowCount() - 1 : 0, m_pclStmtOriginalRecord, &tab);
    pclSearch->SetServerValues(tab);
    // The row's refused values as well, as for a refresh.
    pclSearch->SetRefusals(m_pclStmtOriginalRecord != nullptr ? m_pclStmtOriginalRecord->pclGetReadFailureNoRef()
                                                              : nullptr);
}

void CNAStatement::GiveRefreshServerValues(CNARecherche* pclSearch) const
{
    pclSearch->SetServerValues(m_tabRefreshServerValues);
    pclSearch->SetRefusals(m_pclRefreshRefusals);
}

void CNAStatement::_KeepServerValues(long long llRow, const CNARecordValue* pclRecord,
                                     CNARecherche::ServerValues* ptabOut)
{
    if (m_pclStatementSQL == nullptr || m_pclCurrentRecord == nullptr || pclRecord == nullptr)
        return;
    // A column and the result column holding its server text.
    struct STServerText {
        CNAColumn* pclColumn;
        unsigned int nResultColumn;
        bool bUTF8;                // the column's own UTF-8 text
        const wchar_t* pszCharset; // a text's form read beside it: its bytes' set
    };
    std::vector<STServerText> tabServer;
    // The host holds times and date-times to the millisecond at most; the
    // server orders them by all their digits. A text read in UTF-8 has its
    // own bytes.
    const std::vector<eLESSEXACT>& tabKind = _tabLessExact();
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        const eNA_ITEMTYPE eType = pcl != nullptr ? pcl->eNAGetItemType() : NA_IT_EMPTY;
        if (pcl == nullptr || pcl->eGetTypeColonne() != 0 || pcl->nGetPhysicalIndice() < 0)
            continue;
        const bool bUTF8 = tabKind[static_cast<size_t>(i)] == LE_TEXT && _bFormNeeded(static_cast<size_t>(i)) &&
                           _bTextInUTF8(pcl);
        if (eType == NA_IT_HEURE || eType == NA_IT_DATETIME || bUTF8)
            tabServer.push_back({pcl, static_cast<unsigned int>(pcl->nGetPhysicalIndice()), bUTF8, nullptr});
    }
    // Other texts' forms come as bytes after the record's columns: those of
    // texts the session's code page cannot hold, in UTF-8, and a column's
    // own in its set. A form read beside a text goes before its UTF-8 text.
    unsigned int nResultColumns = 0;
    m_pclStatementSQL->bGetColumnNbr(&nResultColumns, 0);
    const size_t nServer = m_tabServerColumn.size() + (m_bFoundColumn ? 1 : 0);
    if (nResultColumns > nServer)
        for (size_t i = 0; i < m_tabServerColumn.size(); i++) {
            const SServerColumn& st = m_tabServerColumn[i];
            if (st.eKind != LE_TEXT && st.eKind != LE_BYTES)
                continue;
            const wchar_t* pszCharset = st.eKind == LE_BYTES ? _pclCharsetOf(st.pclColumn)->pszGetColumnCharset()
                                                             : _pszServerTextCharset();
            const STServerText stForm{st.pclColumn, static_cast<unsigned int>(nResultColumns - nServer + i), false,
                                      pszCharset};
            const auto it = std::find_if(tabServer.begin(), tabServer.end(),
                                         [&](const STServerText& stText) { return stText.pclColumn == st.pclColumn; });
            if (it != tabServer.end())
                *it = stForm;
            else
                tabServer.push_back(stForm);
        }
    if (tabServer.empty() || llRow < 0 || llRow >= m_pclStatementSQL->llGetRowCount())
        return;
    // A row deleted meanwhile is still the row as read, its texts the
    // server's; a row written meanwhile is the record as written.
    const int nSave = nGetRecordSaveAt(llRow);
    CNARecordValue* pclWritten = nullptr;
    if (nSave >= 0) {
        pclWritten = new (std::nothrow) CNARecordValue(m_pclError);
        if (pclWritten == nullptr)
            return;
        pclWritten->AddRef();
        if (m_pclDataAccess == nullptr || !m_pclDataAccess->bCopySaveToRecord(nSave, pclWritten)) {
            pclWritten->nRelease();
            return;
        }
    }
    // Without the texts the continuation compares the host's values.
    _bVisitSQLRow(llRow, false, [&](CNARecordValue* pclRow) {
        // The row as read, or as written: a value the write changed is the
        // host's own, stored as written; one it left is still the server's.
        const bool bAsRead = pclRecord->bEquals(pclRow, 0);
        if (!bAsRead && !(pclWritten != nullptr && pclRecord->bEquals(pclWritten, 0)))
            return 0;
        for (const STServerText& st : tabServer) {
            if (!bAsRead && !_bSameItemValue(pclRow, pclWritten, st.pclColumn->piGetItem()))
                continue;
            if (st.bUTF8 || st.pszCharset != nullptr) {
                unsigned char* p = nullptr;
                unsigned int n = 0;
                bool bTooLong = false;
                std::wstring strForm;
                if (m_pclStatementSQL->bGetValue(&p, &n, st.nResultColumn) && p != nullptr)
                    strForm = st.bUTF8 ? _strLostTextForm(st.pclColumn, reinterpret_cast<const char*>(p), n, &bTooLong)
                                       : _strTextForm(p, n, st.pszCharset, &bTooLong);
                if (!strForm.empty())
                    ptabOut->emplace_back(st.pclColumn, strForm);
                continue;
            }
            CAny clText;
            const wchar_t* psz = nullptr;
            if (!m_pclStatementSQL->bGetValue(&clText, st.nResultColumn, 0) || clText.bIsNull() ||
                clText.nGetTypeCode() != TQTYPE_DSTRW || clText.pclGetTraitement()->nGetPCWSTR(&psz) > 99 ||
                psz == nullptr)
                continue;
            const eNA_ITEMTYPE eType = st.pclColumn->eNAGetItemType();
            std::wstring strText;
            if (eType == NA_IT_DATETIME)
                strText = s_strDateTimeLiteral(psz);
            else if (eType == NA_IT_HEURE)
                strText = psz;
            else if (psz[0] != 0)
                // An empty text is held exactly: the host's own comparison.
                strText = _strServerTextLiteral(psz);
            if (!strText.empty())
                ptabOut->emplace_back(st.pclColumn, strText);
        }
        return 1;
    });
    if (pclWritten != nullptr)
        pclWritten->nRelease();
}

int CNAStatement::_bFetchNextBloc(int eDirection, int bFlag, int* pbOutOfRange, long long llCount,
                                  long long* pllMoved)
{
    m_bNextBlock = 1;
    if (m_pclDataAccess != nullptr)
        m_pclDataAccess->RaiseRowMaxLen(nGetRowMaxLen());
    int eRefind = eDirection == NA_PARSE_FIRST ? NA_PARSE_NEXT
                                               : (eDirection == NA_PARSE_LAST ? NA_PARSE_PREVIOUS : eDirection);
    if (bInvertFetch())
        eRefind = _eSwapped(eRefind);
    // The row read before the block: the caller's fetch compares the new
    // row with it.
    CNARecordValue* pclPrevious =
        m_pclStmtOriginalRecord != nullptr ? m_pclStmtOriginalRecord->pclGetClone(CNARecordValue::COPY_ALL) : nullptr;
    if (pclPrevious != nullptr)
        pclPrevious->AddRef();
    int bResult = 1;
    if (bCacheEnabled() && m_pclRecordCache->nGetCount() > 0) {
        if (m_pclStmtOriginalRecord == nullptr) {
            m_pclStmtOriginalRecord = new (std::nothrow) CNARecordValue(m_pclError);
            if (m_pclStmtOriginalRecord != nullptr)
                m_pclStmtOriginalRecord->AddRef();
        }
        bResult = m_pclStmtOriginalRecord != nullptr &&
                  m_pclRecordCache->bGetAt(m_pclStmtOriginalRecord,
                                           static_cast<unsigned int>(m_pclRecordCache->nGetCount() - 1));
    }
    CNARecherche* pclSearch = bResult && m_pclStmtOriginalRecord != nullptr ? pclGetRecherche() : nullptr;
    const bool bForward = eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_NEXT;
    if (pclSearch != nullptr)
        _KeepAnchorServerValues(bForward, pclSearch);
    const long long llRank = m_llRepeatCount;
    // Among rows that are all equal, the block's edge row has as many
    // equal rows before it as its place, whichever way they were read.
    if (m_bEqualRowsOnly && m_pclStatementSQL != nullptr)
        SetRepeatCount(bForward ? m_pclStatementSQL->llGetRowCount() - 1 : 0);
    bResult = bResult && pclSearch != nullptr && m_pclDataAccess != nullptr &&
              m_pclDataAccess->bGoToStmtOriginalRecord(0, this, bFlag, eRefind, llCount, pllMoved);
    if (!bResult || m_bEndehors)
        SetRepeatCount(llRank);
    if (pclSearch != nullptr) {
        pclSearch->ResetServerValues();
        pclSearch->nRelease();
    }
    if (pclPrevious != nullptr) {
        m_pclStmtOriginalRecord->bCopyRecordValue(pclPrevious, CNARecordValue::COPY_ALL);
        pclPrevious->nRelease();
    }
    m_bNextBlock = 0;
    *pbOutOfRange = bResult ? m_bEndehors : 1;
    m_bFirstBlock = 0;
    return bResult;
}

int CNAStatement::_bFetchCacheEnabled(int eDirection, int bFlag, long long llCount, long long* pllMoved,
                                      int* pbOutOfRange)
{
    CNARecordCache* pclCache = m_pclRecordCache;
    *pbOutOfRange = 1;
    if (m_bNextBlock) {
        if (eDirection == NA_PARSE_FIRST)
            eDirection = NA_PARSE_NEXT;
        else if (eDirection == NA_PARSE_LAST)
            eDirection = NA_PARSE_PREVIOUS;
        m_llBlockBase = pclCache->nGetCount();
    }
    const long long llFrom = eDirection == NA_PARSE_FIRST ? -1
                             : eDirection == NA_PARSE_LAST ? pclCache->nGetCount()
                                                            : m_llCurrentRecord;
    // The last row of a result read forwards is known once every row is.
    const bool bToEnd = eDirection == NA_PARSE_LAST && !m_bNextBlock && m_pclTableCacheIndex == nullptr &&
                        !bCacheCompleted();
    long long llWanted = LLONG_MAX;
    if (!bToEnd) {
        long long llPosition = -1;
        if (m_pclTableCacheIndex != nullptr) {
            // A user search's value is where first and last start from.
            m_pclTableCacheIndex->SetStartValue(m_clUserSearch.pclGetValue());
            int nRow = -1;
            unsigned int nDuplicate = 0;
            const int nCount = llCount > INT_MAX ? INT_MAX : static_cast<int>(llCount);
            // The last entry at or before a prefix is before every value that
            // begins with it: a generic search from the end starts on the
            // last of those instead, when there is one.
            const bool bLastOfPrefix = eDirection == NA_PARSE_LAST &&
                                       (m_clUserSearch.nGetFlags() & CNAUserSearch::US_GENERIC) != 0 &&
                                       m_clUserSearch.pclGetValue()->nGetTypeCode() != TQTYPE_VIDE;
            if (bLastOfPrefix && !_bLastOfPrefixInCacheIndex(nCount, &nRow))
                return 0;
            if (nRow == -1 &&
                !m_pclTableCacheIndex->bGetRecordPosition(static_cast<eNA_PARSEDIRECTION>(eDirection), nCount, &nRow,
                                                          &nDuplicate))
                return 0;
            llPosition = nRow;
        } else {
            llPosition = pclCache->nGetPosition(m_llCurrentRecord, static_cast<eNA_PARSEDIRECTION>(eDirection), llCount);
        }
        const int nPosition = llPosition < INT_MIN ? INT_MIN : (llPosition > INT_MAX ? INT_MAX : static_cast<int>(llPosition));
        if (!pclCache->bMustFetch(nPosition)) {
            *pbOutOfRange = pclCache->bEndehors(nPosition);
            if (!*pbOutOfRange)
                _RestaureRecordFromCache(nPosition);
            else if (pllMoved != nullptr)
                *pllMoved = _bBackward(eDirection) ? (llFrom > 0 ? llFrom : 0)
                                                   : pclCache->nGetCount() - 1 - llFrom;
            m_bMoreRows = !*pbOutOfRange;
            return 1;
        }
        llWanted = llPosition;
    }
    // The rows from the cache's end up to the one wanted.
    while (bToEnd || pclCache->nGetCount() <= llWanted) {
        if (!_bFetchAndCache(NA_PARSE_NEXT, 1, pbOutOfRange, 1, nullptr)) {
            m_bMoreRows = 0;
            return 0;
        }
        if (*pbOutOfRange)
            break;
    }
    if (*pbOutOfRange) {
        pclCache->SetFetchComplete();
        if (bToEnd && pclCache->nGetCount() > 0) {
            _RestaureRecordFromCache(pclCache->nGetCount() - 1);
            *pbOutOfRange = 0;
        } else if (pllMoved != nullptr) {
            *pllMoved = _bBackward(eDirection) ? (llFrom > 0 ? llFrom : 0) : pclCache->nGetCount() - 1 - llFrom;
        }
    }
    m_bMoreRows = !*pbOutOfRange;
    return 1;
}

int CNAStatement::_bLastOfPrefixInCacheIndex(int nCount, int* pnRow)
{
    *pnRow = -1;
    int nRow = -1;
    if (!m_pclTableCacheIndex->bGetRecordPosition(static_cast<eNA_PARSEDIRECTION>(NA_PARSE_FIRST), 1, &nRow, nullptr))
        return 0;
    _RestaureRecordFromCache(nRow);
    if (nRow == -1 || !m_clUserSearch.bGetHTrouve(m_pclCurrentRecord))
        return 1;
    // On along the entries while they begin with it, then back on the last.
    for (;;) {
        int nNext = -1;
        if (!m_pclTableCacheIndex->bGetRecordPosition(static_cast<eNA_PARSEDIRECTION>(NA_PARSE_NEXT), 1, &nNext,
                                                      nullptr))
            return 0;
        if (nNext == -1)
            break;
        _RestaureRecordFromCache(nNext);
        if (!m_clUserSearch.bGetHTrouve(m_pclCurrentRecord)) {
            if (!m_pclTableCacheIndex->bGetRecordPosition(static_cast<eNA_PARSEDIRECTION>(NA_PARSE_PREVIOUS), 1,
                                                          &nNext, nullptr))
                return 0;
            break;
        }
        nRow = nNext;
    }
    if (nCount > 1 && !m_pclTableCacheIndex->bGetRecordPosition(static_cast<eNA_PARSEDIRECTION>(NA_PARSE_PREVIOUS),
                                                                nCount - 1, &nRow, nullptr))
        return 0;
    *pnRow = nRow;
    return 1;
}

int CNAStatement::_bFetchAndCache(int eDirection, int bFlag, int* pbOutOfRange, long long llCount,
                                  long long* pllMoved)
{
    int bResult = _bFetch(eDirection, bFlag, pbOutOfRange, llCount, pllMoved);
    if (bResult && *pbOutOfRange && !m_bNextBlock && _bNeedNextBloc(eDirection)) {
        // The next block's own fetch files its first row.
        int bOutOfRange = 1;
        bResult = _bFetchNextBloc(eDirection, bFlag, &bOutOfRange, llCount, pllMoved);
        *pbOutOfRange = bOutOfRange;
    } else if (bResult && !*pbOutOfRange && bFlag && m_pclRecordCache != nullptr) {
        const long long llRow = m_pclRecordCache->nGetCount() - 1 + llCount;
        const int nRow = m_pclRecordCache->Insere(m_pclCurrentRecord->pclGetCurrentRecordValueNoRef(),
                                                  static_cast<unsigned int>(llRow));
        if (nRow < 0)
            bResult = _bNoMemory(PT_NO_MEMORY);
        else
            m_llCurrentRecord = nRow;
    }
    SetParseStarted();
    return bResult;
}

int CNAStatement::_bFetch(int eDirection, int, int* pbOutOfRange, long long llCount, long long* pllMoved)
{
    if (llCount == 0)
        eDirection = DIRECTION_STAY;
    *pbOutOfRange = 1;
    if (m_pclStatementSQL == nullptr)
        return 1;
    const long long llRows = m_pclStatementSQL->llGetRowCount();
    if (llRows <= 0)
        return 1;
    const long long llCurrent = m_pclStatementSQL->llGetCurrentRow();
    int bResult = 1;
    switch (eDirection) {
    case NA_PARSE_FIRST: bResult = _bMove(-1, llCount, pbOutOfRange, pllMoved); break;
    case NA_PARSE_LAST: bResult = _bMove(llRows, -llCount, pbOutOfRange, pllMoved); break;
    case NA_PARSE_NEXT: bResult = _bMove(llCurrent, llCount, pbOutOfRange, pllMoved); break;
    case NA_PARSE_PREVIOUS: bResult = _bMove(llCurrent, -llCount, pbOutOfRange, pllMoved); break;
    case DIRECTION_STAY: *pbOutOfRange = llCurrent == -1; break;
    default: break;
    }
    _UpdateCurrentRecordNumber();
    if (bResult && !*pbOutOfRange && eDirection <= DIRECTION_STAY)
        bResult = _bUpdateNARecord(eDirection);
    return bResult;
}

void CNAStatement::_UpdateCurrentRecordNumber()
{
    m_llCurrentRecord = m_llBlockBase + (m_pclStatementSQL != nullptr ? m_pclStatementSQL->llGetCurrentRow() : -1);
}

int CNAStatement::_bMove(long long llFrom, long long llStep, int* pbOutOfRange, long long* pllMoved)
{
    const long long llEffective = _llUpdateStep(llFrom, llStep, pbOutOfRange, pllMoved);
    if (*pbOutOfRange)
        return 1;
    const long long llTarget = llFrom + llEffective;
    const long long llCurrent = m_pclStatementSQL->llGetCurrentRow();
    if (llTarget == llCurrent)
        return 1;
    if (llTarget != llCurrent + 1 && !m_pclStatementSQL->bDataSeek(llTarget)) {
        _CopyStatementSQLError();
        *pbOutOfRange = 1;
        return 0;
    }
    const int bResult = _bFetchSQL();
    *pbOutOfRange = m_pclStatementSQL->bEndOfData();
    return bResult;
}

long long CNAStatement::_llUpdateStep(long long llFrom, long long llStep, int* pbOutOfRange, long long* pllMoved)
{
    const long long llRows = m_pclStatementSQL->llGetRowCount();
    if (m_nDeletedRows <= 0 || m_pnRecordSave == nullptr) {
        // Compared without forming from + step: the step may be any count.
        const bool bInRange = llStep >= 0 ? llFrom < llRows && llStep <= llRows - 1 - llFrom && llFrom + llStep >= 0
                                          : llFrom >= 0 && llStep >= -llFrom && llFrom + llStep < llRows;
        if (bInRange) {
            *pbOutOfRange = 0;
            return llStep;
        }
        *pbOutOfRange = 1;
        if (pllMoved != nullptr) {
            const long long llMoved = llStep < 0 ? llFrom : llRows - 1 - llFrom;
            *pllMoved = llMoved > 0 ? llMoved : 0;
        }
        return 0;
    }
    const long long llUnit = llStep < 0 ? -1 : 1;
    unsigned long long ullLeft = llStep < 0 ? 0ULL - static_cast<unsigned long long>(llStep)
                                            : static_cast<unsigned long long>(llStep);
    long long llPosition = llFrom;
    long long llConsumed = 0;
    while (ullLeft > 0) {
        llPosition += llUnit;
        if (llPosition < 0 || llPosition >= llRows) {
            *pbOutOfRange = 1;
            if (pllMoved != nullptr)
                *pllMoved = llConsumed;
            return 0;
        }
        if (nGetRecordSaveAt(llPosition) == SAVE_DELETED)
            continue;
        ullLeft--;
        llConsumed++;
    }
    *pbOutOfRange = 0;
    return llPosition - llFrom;
}

int CNAStatement::_bFetchSQL()
{
    if (m_pclStatementSQL->bFetch(0))
        return 1;
    _CopyStatementSQLError();
    return 0;
}

int CNAStatement::_bUpdateNARecord(int eDirection)
{
    const int nSave = nGetRecordSaveAt(m_pclStatementSQL->llGetCurrentRow());
    if (nSave < 0 || m_pclDataAccess == nullptr)
        return _bUpdateNARecordFromDB();
    return m_pclDataAccess->bRestoreOriginalRecordSave(nSave) && m_pclDataAccess->bCopyOriginalRecordToCurrentRecord() &&
           bSetStmtOriginalRecord(eDirection);
}

int CNAStatement::_bUpdateNARecordFromDB()
{
    if (m_pclCurrentRecord == nullptr)
        return 1;
    // A new row reads until one of its values says otherwise.
    if (m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() != nullptr)
        m_pclCurrentRecord->pclGetCurrentRecordValueNoRef()->SetReadFailure(nullptr);
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pcl == nullptr || pcl->bIsComposedKey())
            break;
        if (!_bSetColumnValueFromDB(pcl))
            return 0;
    }
    return _bKeepHeldTexts();
}

const std::vector<CNAStatement::eLESSEXACT>& CNAStatement::_tabLessExact()
{
    const int nColumns = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->nGetNbColumn() : 0;
    if (m_tabLessExact.size() != static_cast<size_t>(nColumns)) {
        m_tabLessExact.clear();
        for (int i = 0; i < nColumns; i++)
            m_tabLessExact.push_back(_eLessExact(m_pclCurrentRecord->pclGetColumnNoRef(i)));
    }
    return m_tabLessExact;
}

bool CNAStatement::_bLostToTheItem(CNAColumn* pclColumn, const char* pszText, unsigned int nLength)
{
    // ASCII goes whole into any item.
    if (std::all_of(pszText, pszText + nLength, [](char c) { return (c & 0x80) == 0; }))
        return false;
    CAny clValue;
    std::wstring strValue;
    return pclColumn->bGetCurrentValue(&clValue, 0) && CNAExpression::s_bReadWide(&clValue, &strValue) &&
           strValue.find(L'?') != std::wstring::npos;
}

bool CNAStatement::_bServerBytes(unsigned int nColumn, std::wstring* pstrText) const
{
    unsigned char* p = nullptr;
    unsigned int n = 0;
    if (m_pclStatementSQL == nullptr || !m_pclStatementSQL->bGetValue(&p, &n, nColumn) || p == nullptr)
        return false;
    pstrText->assign(p, p + n);
    return true;
}

int CNAStatement::_bKeepHeldTexts()
{
    CNARecordValue* pclRow = m_pclCurrentRecord->pclGetCurrentRecordValueNoRef();
    if (pclRow == nullptr || m_pclStatementSQL == nullptr)
        return 1;
    const std::vector<eLESSEXACT>& tabKind = _tabLessExact();
    unsigned int nResultColumns = 0;
    m_pclStatementSQL->bGetColumnNbr(&nResultColumns, 0);
    const size_t nServer = m_tabServerColumn.size() + (m_bFoundColumn ? 1 : 0);
    CNARecordValue::HeldTexts tabHeld;
    // The failures of the values whose texts pass the session's bound, one
    // reference each until the record holds them.
    std::vector<CXError*> tabPastBound;
    const auto ReleasePastBound = [&tabPastBound] {
        for (CXError* pcl : tabPastBound)
            pcl->dwRelease();
    };
    int nFound = -1;
    std::wstring strFound;
    if (m_bFoundColumn && nResultColumns >= nServer)
        nFound = _bServerBytes(nResultColumns - 1, &strFound) && strFound == L"1" ? 1 : 0;
    // A value whose exact form was not read only stops a write: a source
    // that cannot write keeps none of those.
    const auto bMayWrite = [this] {
        return m_pclDataAccess != nullptr && m_pclDataAccess->bRequeteAutoriseModifierFichier() &&
               !m_pclDataAccess->bRequeteSansCorrection();
    };
    // Asked once a row: only a query's texts may be of a set not known.
    const bool bSetsTaken = _bSetsTaken();
    for (size_t i = 0; i < tabKind.size(); i++) {
        if (tabKind[i] == LE_NONE || !_bFormNeeded(i))
            continue;
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(static_cast<int>(i));
        unsigned char* pOwn = nullptr;
        unsigned int nOwn = 0;
        // NULL is held exactly; a refused value has its text already.
        if (!m_pclStatementSQL->bGetValue(&pOwn, &nOwn, static_cast<unsigned int>(pcl->nGetPhysicalIndice())) ||
            pOwn == nullptr || pclRow->pstGetRefusal(pcl->pszGetName()) != nullptr)
            continue;
        const char* pszOwn = reinterpret_cast<const char*>(pOwn);
        const char* pszEnd = pszOwn + nOwn;
        // The exact form read beside the row: bRead when the SELECT carries
        // it, bForm when the row has it (not NULL).
        size_t k = 0;
        while (k < m_tabServerColumn.size() && m_tabServerColumn[k].pclColumn != pcl)
            k++;
        std::wstring strText;
        const bool bRead = k < m_tabServerColumn.size() && nResultColumns >= nServer;
        const unsigned int nFormColumn = static_cast<unsigned int>(nResultColumns - nServer + k);
        const bool bForm = bRead && tabKind[i] != LE_TEXT && _bServerBytes(nFormColumn, &strText);
        bool bKeep = true;
        // A text too long to write stops a write and a browse going on from
        // the row alike.
        bool bTooLong = false;
        const CNAItemDescription* pclSet = tabKind[i] == LE_TEXT ? _pclCharsetOf(pcl) : nullptr;
        if (tabKind[i] == LE_TEXT && bSetsTaken && _bCharsetUnknown(pcl, pclSet)) {
            // In a set not known, any byte but an ASCII letter, digit or
            // space may read as another's: no form tells the rows apart.
            bKeep = std::any_of(pszOwn, pszEnd,
                                [](char c) {
                                    return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                             (c >= '0' && c <= '9') || c == ' ');
                                }) &&
                    bMayWrite();
        } else if (!bRead && pclSet != nullptr && pclSet->bAnyTwinForms() &&
                   _bTwinFormsIn(pcl, pclSet, pszOwn, pszEnd)) {
            // Its own bytes not read, a character of two byte forms in its
            // set may stand for the other's: no form tells the rows apart.
            bKeep = bMayWrite();
        } else if (tabKind[i] == LE_TEXT && bRead) {
            // The bytes the server read beside the text: the column's own,
            // else the UTF-8 ones of a text its code page lost a character
            // of (none where it came whole).
            unsigned char* pForm = nullptr;
            unsigned int nForm = 0;
            bKeep = m_pclStatementSQL->bGetValue(&pForm, &nForm, nFormColumn) && pForm != nullptr;
            const wchar_t* pszCharset = m_tabServerColumn[k].eKind == LE_BYTES
                                            ? _pclCharsetOf(pcl)->pszGetColumnCharset()
                                            : _pszServerTextCharset();
            if (bKeep)
                strText = _strTextForm(pForm, nForm, pszCharset, &bTooLong);
        } else if (tabKind[i] == LE_TEXT && _bTextInUTF8(pcl)) {
            strText = _strLostTextForm(pcl, pszOwn, nOwn, &bTooLong);
            // Its own bytes not read, a "?" may be bytes its set lacks.
            const bool bLacking =
                pclSet != nullptr && pclSet->bBytesBeyondCharacters() && std::memchr(pszOwn, '?', nOwn) != nullptr;
            if (bLacking)
                strText.clear();
            bKeep = !strText.empty() || bTooLong || (bLacking && bMayWrite());
        } else if (tabKind[i] == LE_INSTANT && bForm) {
            strText = L"@" + strText;
        } else if (tabKind[i] == LE_INSTANT && !bRead) {
            // Whether its text stands for another instant too is not known.
            bKeep = bMayWrite();
        } else if (tabKind[i] == LE_FRACTION || tabKind[i] == LE_INSTANT) {
            // A time's item holds no fraction and is compared without one;
            // a date-time's holds the milliseconds.
            const char* pDot = static_cast<const char*>(std::memchr(pszOwn, '.', nOwn));
            bKeep = pDot != nullptr &&
                    (pcl->eNAGetItemType() == NA_IT_HEURE ||
                     std::find_if(std::min(pDot + 4, pszEnd), pszEnd, [](char c) { return c != '0'; }) != pszEnd);
            if (bKeep)
                strText.assign(pszOwn, pszEnd);
        } else if (tabKind[i] == LE_DECIMAL) {
            strText.assign(pszOwn, pszEnd);
        } else {
            // The text came whole unless a code page put a "?" in it (the
            // item says so); the ENUM's text tells its members apart unless
            // empty.
            if (tabKind[i] != LE_FLOAT)
                bKeep = std::memchr(pszOwn, '?', nOwn) != nullptr || (tabKind[i] == LE_ENUM && nOwn == 0) ||
                        (tabKind[i] == LE_TEXT && _bLostToTheItem(pcl, pszOwn, nOwn));
            if (bKeep && !bForm) {
                strText.clear();
                bKeep = bMayWrite();
            }
        }
        CXError* pclFailure = nullptr;
        if (bTooLong) {
            pclFailure = _pclPastBoundFailure(pcl);
            if (pclFailure == nullptr) {
                ReleasePastBound();
                return _bNoMemory(PT_NO_MEMORY);
            }
            tabPastBound.push_back(pclFailure);
        }
        if (bKeep)
            tabHeld.emplace_back(pcl->pszGetName(), strText, pclFailure);
    }
    const bool bAdded = pclRow->bAddHeldTexts(std::move(tabHeld), nFound);
    ReleasePastBound();
    return bAdded ? 1 : _bNoMemory(PT_NO_MEMORY);
}

int CNAStatement::_bSetColumnValueFromDB(CNAColumn* pclColumn)
{
    return pclColumn->bSetValueFromDB(this, 0);
}

int CNAStatement::bSetStmtOriginalRecord(int eDirection)
{
    if (m_eParseNeedUpdate == UPDATE_REPOSITION)
        m_eParseNeedUpdate = UPDATE_NONE;
    if (m_nRecordSaveID != -1 && eDirection == DIRECTION_STAY) {
        const int nId = m_pclDataAccess != nullptr ? m_pclDataAccess->nKeepCurrentRecordSave() : -1;
        return bSetParseNeedUpdate(m_eParseNeedUpdate, nId);
    }
    if (m_pclCurrentRecord == nullptr)
        return 0;
    if (m_pclStmtOriginalRecord == nullptr) {
        m_pclStmtOriginalRecord = new (std::nothrow) CNARecordValue(m_pclError);
        if (m_pclStmtOriginalRecord == nullptr)
            return _bNoMemory(PT_NO_MEMORY);
        m_pclStmtOriginalRecord->AddRef();
        m_llRepeatCount = 0;
    }
    // The side is the host's: a re-find counts places from its first row.
    const int bBackward = (eDirection == NA_PARSE_LAST || eDirection == NA_PARSE_PREVIOUS) != (bInvertFetch() != 0);
    if (eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_LAST) {
        m_llRepeatCount = 0;
        m_bRepeatBackward = bBackward;
    } else if (eDirection == NA_PARSE_NEXT || eDirection == NA_PARSE_PREVIOUS) {
        if (!m_pclCurrentRecord->bEquals(m_pclStmtOriginalRecord, 0)) {
            m_llRepeatCount = 0;
            m_bRepeatBackward = bBackward;
        } else if (bBackward == m_bRepeatBackward) {
            m_llRepeatCount++;
        } else if (m_llRepeatCount > 0) {
            // Turned back: one place nearer the row the count started from.
            m_llRepeatCount--;
        } else {
            m_llRepeatCount = 1;
            m_bRepeatBackward = bBackward;
        }
    }
    if (!m_pclStmtOriginalRecord->bCopyRecordValue(m_pclCurrentRecord->pclGetCurrentRecordValueNoRef(),
                                                   CNARecordValue::COPY_ALL))
        return 0;
    m_pclCurrentRecord->SetDuplicateRank(m_llRepeatCount, m_bRepeatBackward);
    return 1;
}

int CNAStatement::bSetParseNeedUpdate(int eCause)
{
    m_ePastEnd = -1;
    if (eCause != UPDATE_NONE) {
        const int nId = m_pclDataAccess != nullptr ? m_pclDataAccess->nKeepOriginalRecordSave(this) : -1;
        if (nId == -1)
            return 1;
        return bSetParseNeedUpdate(eCause, nId);
    }
    return bSetParseNeedUpdate(eCause, -1);
}

int CNAStatement::bSetParseNeedUpdate(int eCause, int nRecordSaveId)
{
    m_ePastEnd = -1;
    if (!(eCause == UPDATE_REPOSITION && m_eParseNeedUpdate == UPDATE_REEXECUTE))
        m_eParseNeedUpdate = eCause;
    if (nRecordSaveId != m_nRecordSaveID) {
        // Taken before the old one goes: the two may share their row.
        if (nRecordSaveId >= 0 && m_pclDataAccess != nullptr)
            m_pclDataAccess->AddRefRecordSave(nRecordSaveId);
        _ReleaseRecordSave(m_nRecordSaveID);
        m_nRecordSaveID = nRecordSaveId;
        _KeepRefreshServerValues();
    }
    if (m_eParseNeedUpdate == UPDATE_REEXECUTE && m_pclStatementSQL != nullptr) {
        _FreeRecordSaveTable();
        m_pclStatementSQL->bReset();
    }
    return 1;
}

void CNAStatement::_KeepRefreshServerValues()
{
    // Read before the result may go: the refresh finds the record by them.
    m_tabRefreshServerValues.clear();
    CNAReadFailure::s_Hold(&m_pclRefreshRefusals, nullptr);
    CNARecordValue* pclSaved = m_nRecordSaveID >= 0 && m_pclDataAccess != nullptr
                                   ? new (std::nothrow) CNARecordValue(m_pclError)
                                   : nullptr;
    if (pclSaved == nullptr)
        return;
    pclSaved->AddRef();
    if (m_pclDataAccess->bCopySaveToRecord(m_nRecordSaveID, pclSaved)) {
        if (m_pclStatementSQL != nullptr)
            _KeepServerValues(m_pclStatementSQL->llGetCurrentRow(), pclSaved, &m_tabRefreshServerValues);
        // Whatever the result holds, the record's refused values.
        CNAReadFailure::s_Hold(&m_pclRefreshRefusals, pclSaved->pclGetReadFailureNoRef());
    }
    pclSaved->nRelease();
}

void CNAStatement::_RestaureRecordFromCache(int nRow)
{
    if (m_pclRecordCache == nullptr || m_pclCurrentRecord == nullptr || nRow < 0)
        return;
    if (!m_pclRecordCache->bGetAt(m_pclCurrentRecord->pclGetOriginalRecordValueNoRef(), static_cast<unsigned int>(nRow)))
        return;
    bCopyOriginalRecordToCurrentRecord();
    m_bRestoredRow = 1;
    m_bMoreRows = 0;
    m_llCurrentRecord = nRow;
}

void CNAStatement::SetRepeatCount(long long ll, int bBackward)
{
    m_llRepeatCount = ll;
    m_bRepeatBackward = bBackward;
    if (m_pclCurrentRecord != nullptr)
        m_pclCurrentRecord->SetDuplicateRank(ll, bBackward);
}

void CNAStatement::SetParseStarted()
{
    m_bParseStarted = 1;
    m_clFilterSave.SetFilter(m_pclFilter);
}

void CNAStatement::EvalHTrouve(int* pbFound, int* pbInRange) const
{
    if (pbFound != nullptr)
        *pbFound = m_bHTrouve;
    if (pbInRange != nullptr)
        *pbInRange = !m_bEndehors;
}

// ---- Record cache ---------------------------------------------------------------------------------------------

void CNAStatement::EnableCache(int bOn)
{
    if (bOn) {
        if (m_pclRecordCache == nullptr) {
            m_pclRecordCache = new (std::nothrow) CNARecordCache(0);
            if (m_pclRecordCache == nullptr) {
                _bNoMemory(PT_NO_MEMORY);
                return;
            }
            m_pclRecordCache->AddRef();
        }
        m_pclRecordCache->SetFlags(m_pclRecordCache->nGetFlags() | CNARecordCache::CACHE_ENABLED);
        if (m_pclRecordCache->nGetCount() == 0)
            _SetBestCacheMethod();
        return;
    }
    if (m_pclRecordCache == nullptr)
        return;
    if (m_pclRecordCache->nGetRef() < 2) {
        m_pclRecordCache->SupprimeTout();
        m_pclRecordCache->SetFlags(m_pclRecordCache->nGetFlags() &
                                   ~static_cast<unsigned int>(CNARecordCache::CACHE_ENABLED | CNARecordCache::CACHE_FETCHCOMPLETE));
    } else {
        m_pclRecordCache->nRelease();
        m_pclRecordCache = nullptr;
    }
}

int CNAStatement::bCacheEnabled() const
{
    return m_pclRecordCache != nullptr && (m_pclRecordCache->nGetFlags() & CNARecordCache::CACHE_ENABLED) != 0;
}

int CNAStatement::bCacheCompleted() const
{
    return m_pclRecordCache != nullptr && (m_pclRecordCache->nGetFlags() & CNARecordCache::CACHE_FETCHCOMPLETE) != 0;
}

void CNAStatement::EmptyCache()
{
    if (m_pclRecordCache != nullptr)
        m_pclRecordCache->SupprimeTout();
}

CNARecordCache* CNAStatement::pclGetFullRecordCache()
{
    if (bCacheCompleted())
        return m_pclRecordCache;
    return _bCompleteCache() ? m_pclRecordCache : nullptr;
}

void CNAStatement::_SetRecordCache(CNARecordCache* pclCache)
{
    _Hold(m_pclRecordCache, pclCache);
}

void CNAStatement::_SetBestCacheMethod() {}

// ---- Filter and searches ------------------------------------------------------------------------------------------

int CNAStatement::bSetFilter(const wchar_t* pszItem, const CAny* pMin, int bMinIncluded, const CAny* pMax,
                             int bMaxIncluded, ISQLParserInformation* piParser)
{
    INAItemDescription* piItem = m_piDataSource != nullptr ? m_piDataSource->piNAGetItem(pszItem) : nullptr;
    if (piItem == nullptr)
        return 0;
    if (m_pclFilter == nullptr || m_pclFilter->nGetRef() >= 2) {
        CNAFilter* pcl = pclAllocFilter(m_pclError);
        if (pcl == nullptr) {
            piItem->nExternalRelease();
            return _bNoMemory(PT_NO_MEMORY);
        }
        _SetFilter(pcl);
    }
    const int bResult =
        m_pclFilter->bSetFilter(m_pclCurrentRecord, piItem, pMin, bMinIncluded, pMax, bMaxIncluded, piParser, 0);
    piItem->nExternalRelease();
    return bResult;
}

void CNAStatement::_SetFilter(CNAFilter* pclFilter)
{
    _Hold(m_pclFilter, pclFilter);
}

void CNAStatement::_SetFilter(CNAFilterSave* pclSave)
{
    if (pclSave == nullptr)
        return;
    _SetFilter(pclSave->pclGetFilterNoRef());
    if (m_pclFilter != nullptr)
        m_pclFilter->ActivateFilter(pclSave->bIsActive());
}

CNAFilter* CNAStatement::pclGetFilter() const
{
    if (m_pclFilter != nullptr)
        m_pclFilter->AddRef();
    return m_pclFilter;
}

CNAFilter* CNAStatement::pclActivateFilter()
{
    if (m_pclFilter == nullptr)
        return nullptr;
    if (!m_pclFilter->bIsFilterActive())
        m_pclFilter->ActivateFilter(1);
    m_pclFilter->AddRef();
    return m_pclFilter;
}

int CNAStatement::bExistFilter() const
{
    return m_pclFilter != nullptr && m_pclFilter->bIsFilterActive();
}

void CNAStatement::DesactivateFilter()
{
    if (bExistFilter())
        m_pclFilter->ActivateFilter(0);
}

CNARecherche* CNAStatement::pclGetRecherche()
{
    if (m_pclRecherche == nullptr) {
        m_pclRecherche = pclAllocRecherche(m_pclError);
        if (m_pclRecherche == nullptr) {
            _bNoMemory(PT_NO_MEMORY);
            return nullptr;
        }
        m_pclRecherche->AddRef();
    }
    m_pclRecherche->AddRef();
    return m_pclRecherche;
}

int CNAStatement::bSetUserSearch(const wchar_t* pszItem, const CAny* pValue, int eDirection, int bExact)
{
    INAItemDescription* piItem = m_piDataSource != nullptr ? m_piDataSource->piNAGetItem(pszItem) : nullptr;
    if (piItem == nullptr)
        return 0;
    m_clUserSearch.SetUserSearch(piItem, pValue, bExact ? 0u : static_cast<unsigned int>(CNAUserSearch::US_GENERIC));
    m_bInternalSearch = 0;
    int bResult = _bSetRecherche(piItem, pValue, eDirection, bExact);
    piItem->nExternalRelease();
    if (bResult)
        bResult = bSetParseNeedUpdate(UPDATE_NONE, -1);
    return bResult;
}

int CNAStatement::_bSetRecherche(INAItemDescription* piItem, const CAny* pValue, int eDirection, int bExact)
{
    CNARecherche* pclSearch = pclGetRecherche();
    if (pclSearch == nullptr)
        return 0;
    const int bResult = pclSearch->bSetRecherche(m_pclCurrentRecord, piItem, pValue,
                                                 static_cast<eNA_PARSEDIRECTION>(eDirection), bExact,
                                                 static_cast<int>(m_nParseFlags));
    pclSearch->nRelease();
    return bResult;
}

void CNAStatement::_SetRecherche(CNARecherche* pclSearch)
{
    _Hold(m_pclRecherche, pclSearch);
}

void CNAStatement::AnnuleRecherche()
{
    // Its condition leaves the statement's later SELECTs; its record counts
    // as found.
    if (m_pclRecherche != nullptr) {
        m_pclRecherche->Desactivate();
        m_pclRecherche->Cancel();
    }
}

void CNAStatement::AnnuleRechercheUser()
{
    m_clUserSearch.CancelUserSearch();
    m_bInternalSearch = 0;
}

void CNAStatement::DesactivateRecherche()
{
    if (m_pclRecherche != nullptr)
        m_pclRecherche->Desactivate();
}

void CNAStatement::DesactivateRechercheUserAndInternal()
{
    AnnuleRechercheUser();
    DesactivateRecherche();
}

int CNAStatement::bSetContinueParcours(int eDirection)
{
    return m_pclRecherche != nullptr &&
           m_pclRecherche->bSetContinueParcours(static_cast<eNA_PARSEDIRECTION>(eDirection));
}

void CNAStatement::_RestaureUserSearch(const CNAUserSearch* pclUserSearch)
{
    m_clUserSearch.Copy(pclUserSearch);
    m_bInternalSearch = 1;
    m_bHTrouve = m_clUserSearch.bGetHTrouve(m_pclCurrentRecord);
    m_bEndehors = 0;
}

// ---- Saved positions ----------------------------------------------------------------------------------------------

int CNAStatement::bAddSavedPosition(int nId, CNAPosition* pclPosition)
{
    return m_tabPosition.bAddValue(nId, pclPosition) ? 1 : _bNoMemory(PT_NO_MEMORY);
}

CNAPosition* CNAStatement::pclGetSavedPosition(int nId) const
{
    CNAPosition* pcl = nullptr;
    return m_tabPosition.bGetValue(nId, &pcl) ? pcl : nullptr;
}

int CNAStatement::bRemoveSavedPosition(int nId)
{
    return m_tabPosition.bRemoveValue(nId) ? 1 : 0;
}

void CNAStatement::_InvalidatePositionRowIds()
{
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabPosition.bParseTable(&nPosition, 0, &pValue, nullptr))
        static_cast<CNAPosition*>(pValue)->InvalidateRowID();
}

void CNAStatement::_UpdateSavedPositionAfterDelete(const CNARecordValue* pclDeleted)
{
    if (m_pclRecordCache == nullptr || pclDeleted == nullptr)
        return;
    const int nRow = m_pclRecordCache->nGetRecordIndice(pclDeleted);
    if (nRow < 0)
        return;
    if (nRow == m_llCurrentRecord)
        m_bCurrentRowDeleted = 1;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabPosition.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNAPosition* pcl = static_cast<CNAPosition*>(pValue);
        if (pcl->nGetRowId() == nRow)
            pcl->SetRowDeleted(1);
    }
}

// ---- The record-save table ------------------------------------------------------------------------------------------

int CNAStatement::_bAllocRecordSaveTable()
{
    if (m_pnRecordSave != nullptr)
        return 1;
    const long long llRows = m_pclStatementSQL != nullptr ? m_pclStatementSQL->llGetRowCount() : 0;
    // A stream has no row count: no table can be made for it.
    if (llRows <= 0 || llRows >= STREAMED_ROWS)
        return 0;
    m_pnRecordSave = new (std::nothrow) int[static_cast<size_t>(llRows)];
    if (m_pnRecordSave == nullptr)
        return _bNoMemory(PT_NO_MEMORY);
    for (long long i = 0; i < llRows; i++)
        m_pnRecordSave[i] = SAVE_NONE;
    m_llRecordSaveSize = llRows;
    m_nDeletedRows = 0;
    return 1;
}

void CNAStatement::_FreeRecordSaveTable()
{
    int* pn = m_pnRecordSave;
    const long long llSize = m_llRecordSaveSize;
    m_pnRecordSave = nullptr;
    m_llRecordSaveSize = 0;
    m_nDeletedRows = 0;
    if (pn == nullptr)
        return;
    for (long long i = 0; i < llSize; i++)
        _ReleaseRecordSave(pn[i]);
    delete[] pn;
}

long long CNAStatement::_llDeletedRowsBefore(long long llRow) const
{
    long long llDeleted = 0;
    for (long long i = 0; i < llRow && i < m_llRecordSaveSize && m_pnRecordSave != nullptr; i++)
        llDeleted += m_pnRecordSave[i] == SAVE_DELETED ? 1 : 0;
    return llDeleted;
}

int CNAStatement::nGetRecordSaveAt(long long llRow) const
{
    if (m_pnRecordSave == nullptr || llRow < 0 || llRow >= m_llRecordSaveSize)
        return SAVE_NONE;
    return m_pnRecordSave[llRow];
}

int CNAStatement::bSaveDeletedRecord(long long llRow)
{
    if (m_pclStatementSQL == nullptr)
        return 1;
    if (llRow == -1)
        llRow = m_pclStatementSQL->llGetCurrentRow();
    if (m_eParseNeedUpdate != UPDATE_NONE) {
        if (m_eParseNeedUpdate == UPDATE_REPOSITION)
            m_eParseNeedUpdate = UPDATE_REEXECUTE;
        return 1;
    }
    if (llRow < 0 || llRow >= m_pclStatementSQL->llGetRowCount())
        return 1;
    if (!_bAllocRecordSaveTable())
        return bSetParseNeedUpdate(UPDATE_REEXECUTE);
    _ReleaseRecordSave(m_pnRecordSave[llRow]);
    if (m_pnRecordSave[llRow] != SAVE_DELETED)
        m_nDeletedRows++;
    m_pnRecordSave[llRow] = SAVE_DELETED;
    if (llRow == m_pclStatementSQL->llGetCurrentRow())
        m_bCurrentRowDeleted = 1;
    return 1;
}

int CNAStatement::bKeepModifiedRecordSave(long long llRow, int nRecordSaveId)
{
    if (m_pclStatementSQL == nullptr || llRow < 0 || llRow >= m_pclStatementSQL->llGetRowCount())
        return 1;
    if (!_bAllocRecordSaveTable())
        return bSetParseNeedUpdate(UPDATE_REEXECUTE);
    if (nRecordSaveId >= 0 && m_pclDataAccess != nullptr)
        m_pclDataAccess->AddRefRecordSave(nRecordSaveId);
    _ReleaseRecordSave(m_pnRecordSave[llRow]);
    if (m_pnRecordSave[llRow] == SAVE_DELETED)
        m_nDeletedRows--;
    m_pnRecordSave[llRow] = nRecordSaveId;
    return 1;
}

// ---- Notifications of a write -------------------------------------------------------------------------------------------

void CNAStatement::OnNotifyOperation(int eType, int nId, CNAStatement* pclSource, unsigned int nFlags,
                                     const CNARecordValue* pclWritten)
{
    m_ePastEnd = -1;
    CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCacheNoRef() : nullptr;
    if (pclSource != this && m_pclTableCacheIndex != nullptr) {
        // The browse's own row going leaves the index on the entry after it;
        // the full cache keeps the row (marked), so no refresh follows.
        const bool bOwnRow = eType == QT_DELETE && nId >= 0 && m_pclTableCacheIndex->nGetCurrentRecordId() == nId;
        // An index that cannot follow no longer matches the full cache.
        if (!m_pclTableCacheIndex->OnNotifyOperation(eType, nId, nFlags))
            DestroyCacheIndex();
        else if (bOwnRow)
            m_bCurrentRowDeleted = 1;
    } else if (pclSource != this &&
               !(pclTableCache != nullptr && pclTableCache->bIsRecordCache(m_pclRecordCache) && bCacheCompleted())) {
        if (eType == QT_INSERT)
            OnNotifyInsertOperation(pclSource, nFlags);
        else if (eType == QT_DELETE)
            OnNotifyDeleteOperation(pclSource, nFlags);
        else if (eType == QT_UPDATE)
            OnNotifyUpdateOperation(pclSource, nFlags);
    }
    if (!m_bParseStarted)
        return;
    if (m_llCurrentRecord == -1 && eType != QT_INSERT)
        return;
    bool bRefresh = true;
    if (eType == QT_UPDATE) {
        if (pclWritten == nullptr && m_pclCurrentRecord != nullptr)
            pclWritten = m_pclCurrentRecord->pclGetOriginalRecordValueNoRef();
        if (m_pclStmtOriginalRecord != nullptr && pclWritten != nullptr &&
            m_pclStmtOriginalRecord->bEquals(pclWritten, 0) && _bSameParseValue()) {
            bRefresh = false;
            const int nId = m_pclDataAccess != nullptr ? m_pclDataAccess->nKeepCurrentRecordSave() : -1;
            if (nId >= 0)
                bKeepModifiedRecordSave(m_pclStatementSQL != nullptr ? m_pclStatementSQL->llGetCurrentRow() : -1, nId);
            // The browse stands on the row as written: a position noted on
            // it, and the browse going on from it, find it as the server
            // holds it.
            m_pclStmtOriginalRecord->bCopyRecordValue(m_pclCurrentRecord->pclGetCurrentRecordValueNoRef(),
                                                      CNARecordValue::COPY_ALL);
        }
    } else if (eType == QT_DELETE) {
        if (m_eParseNeedUpdate != UPDATE_REEXECUTE) {
            const CNARecordValue* pclDeleted = _pclWrittenValue(pclSource);
            if (m_pclRecordCache != nullptr && pclDeleted != nullptr)
                bRefresh = m_pclRecordCache->nGetRecordIndice(pclDeleted) < 0;
            else
                bRefresh = !bEqualStmtOriginalRecordId(pclDeleted);
        }
    } else if (eType != QT_INSERT) {
        return;
    }
    if ((nFlags & WPF_RECORD_READ) != 0)
        bSetStmtOriginalRecord(DIRECTION_STAY);
    if (bRefresh) {
        const int eCause =
            m_pclTableCacheIndex == nullptr && m_pclRecordCache == nullptr ? UPDATE_REEXECUTE : UPDATE_REPOSITION;
        if (m_eParseNeedUpdate != UPDATE_NONE && m_nRecordSaveID != -1) {
            // A refresh already pending (after a return to a position) goes
            // on from its own record, as the write left it, not from the
            // record the statement read last.
            bSetParseNeedUpdate(eCause, m_nRecordSaveID);
            _KeepRefreshServerValues();
        } else {
            bSetParseNeedUpdate(eCause);
        }
        // With no record to come back to (an empty result) the result is
        // read again all the same: it lacks the new row.
        if (eType == QT_INSERT && m_eParseNeedUpdate == UPDATE_NONE && m_pclTableCacheIndex == nullptr)
            bSetParseNeedUpdate(UPDATE_REEXECUTE, -1);
    }
}

const CNARecordValue* CNAStatement::_pclWrittenValue(CNAStatement* pclSource) const
{
    CNARecord* pclRecord = pclSource != nullptr ? pclSource->m_pclCurrentRecord : m_pclCurrentRecord;
    if (pclRecord == nullptr && m_pclDataAccess != nullptr)
        pclRecord = m_pclDataAccess->pclGetCurrentRecordNoRef();
    return pclRecord != nullptr ? pclRecord->pclGetOriginalRecordValueNoRef() : nullptr;
}

bool CNAStatement::_bSameParseValue()
{
    if (m_pclCurrentRecord == nullptr || m_piDataSource == nullptr)
        return false;
    INAItemDescription* piItem = m_piDataSource->piNAGetItem(m_csParseItem.pszGet());
    if (piItem == nullptr)
        return true;
    CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(piItem);
    bool bSame = true;
    if (pclColumn != nullptr) {
        CNARefArray<CNAColumn>* ptabComponent = pclColumn->bIsComposedKey() ? pclColumn->pclGetTabComponent() : nullptr;
        const int nCount = ptabComponent != nullptr ? ptabComponent->nGetNbElement() : 1;
        for (int i = 0; i < nCount && bSame; i++) {
            CNAColumn* pcl = ptabComponent != nullptr ? (*ptabComponent)[i] : pclColumn;
            CAny clValue;
            bSame = pcl != nullptr && m_pclStmtOriginalRecord->bGetItemValue(&clValue, pcl->piGetItem()) &&
                    pcl->bSameValue(&clValue, 0);
        }
    }
    piItem->nExternalRelease();
    return bSame;
}

void CNAStatement::OnNotifyInsertOperation(CNAStatement* pclSource, unsigned int nFlags)
{
    const bool bContinue = (m_nParseFlags & WPF_CONTINUE) != 0;
    const bool bRead = (nFlags & WPF_RECORD_READ) != 0;
    if ((!bContinue && !bRead) || m_pclRecordCache == nullptr)
        return;
    CNARecord* pclRecord = pclSource != nullptr ? pclSource->m_pclCurrentRecord : m_pclCurrentRecord;
    if (pclRecord == nullptr)
        return;
    const int bInverted = bInvertFetch();
    m_pclRecordCache->nOnNotifyOperation(CNARecordCache::NA_NOTIFY_INSERT, pclRecord->pclGetCurrentRecordValueNoRef(),
                                         nullptr, nFlags, bInverted);
    if (bCacheCompleted() || (bContinue && bRead))
        m_llCurrentRecord = bInverted ? 0 : m_pclRecordCache->nGetCount() - 1;
}

void CNAStatement::OnNotifyUpdateOperation(CNAStatement*, unsigned int nFlags)
{
    if (bCacheEnabled() && m_pclDataAccess != nullptr)
        m_pclDataAccess->nUpdateRecordInCache(nFlags, m_pclRecordCache);
}

void CNAStatement::OnNotifyDeleteOperation(CNAStatement* pclSource, unsigned int nFlags)
{
    const CNARecordValue* pclDeleted = _pclWrittenValue(pclSource);
    if (pclDeleted == nullptr)
        return;
    if (m_pclRecordCache != nullptr) {
        _UpdateSavedPositionAfterDelete(pclDeleted);
        m_pclRecordCache->nOnNotifyOperation(CNARecordCache::NA_NOTIFY_DELETE, nullptr, pclDeleted, nFlags, 0);
    }
    if (bEqualStmtOriginalRecordId(pclDeleted))
        bSaveDeletedRecord(-1);
}

// ---- Positions --------------------------------------------------------------------------------------------------------

int CNAStatement::bGetPosition(CNAPosition* pclPosition, int)
{
    if (pclPosition == nullptr || m_pclDataAccess == nullptr)
        return 0;
    pclPosition->SetStatement(this);
    pclPosition->bKeepFilter(m_clFilterSave.bFilterEquals(m_pclFilter) ? m_pclFilter
                                                                        : m_pclDataAccess->pclGetLatestFilterNoRef());
    // The position takes its own reference on the save: none is added here.
    if (m_bParseStarted && m_eParseNeedUpdate == UPDATE_NONE && !m_bCurrentRowDeleted && m_llCurrentRecord >= 0 &&
        m_llCurrentRecord <= INT_MAX) {
        const int nId = m_pclDataAccess->nKeepOriginalRecordSave(this);
        pclPosition->bSetParameters(static_cast<int>(m_llCurrentRecord), nId, &m_clUserSearch, m_llRepeatCount,
                                    m_bRepeatBackward);
        return _bSetPositionParametersEx(pclPosition);
    }
    bool bRowIdValid = true;
    int nId = m_nRecordSaveID;
    if (nId == -1 && m_pclStmtOriginalRecord != nullptr)
        nId = m_pclDataAccess->nKeepOriginalRecordSave(this);
    if (nId == -1)
        nId = m_pclDataAccess->nGetOwnRecordSave();
    if (nId == -1) {
        nId = m_pclDataAccess->nKeepOriginalRecordSave(nullptr);
        bRowIdValid = false;
    }
    pclPosition->bSetParameters(-1, nId, &m_clUserSearch, m_llRepeatCount, m_bRepeatBackward);
    if (!bRowIdValid)
        pclPosition->InvalidateRowID();
    return 1;
}

int CNAStatement::bSetPosition(CNAPosition* pclPosition, int eOption)
{
    if (pclPosition == nullptr || m_pclDataAccess == nullptr)
        return 0;
    m_ePastEnd = -1;
    const int nSave = pclPosition->nGetRecordSaveId();
    int bResult = 1;
    if (nSave != -1) {
        const int nRow = pclPosition->nGetRowId();
        if (nRow >= 0 && pclPosition->bIsValid() && !m_pclDataAccess->bRecordDeleted(nSave) &&
            !pclPosition->bRowDeleted() && m_eParseNeedUpdate != UPDATE_REEXECUTE)
            bResult = _bGoToRowId(nRow, pclPosition);
        else
            bResult = _bSetPositionBySearch(pclPosition);
    }
    if (!bResult)
        return 0;
    _RestaureUserSearch(pclPosition->pclGetUserSearch());
    if ((eOption & POSITION_FILTER) != 0) {
        _SetFilter(pclPosition->pclGetFilterSave());
        m_pclDataAccess->SetLatestFilter(m_pclFilter);
    }
    return 1;
}

int CNAStatement::_bSetPositionParametersEx(CNAPosition*)
{
    return 1;
}

int CNAStatement::_bSetPositionBySearch(CNAPosition* pclPosition)
{
    const bool bReexecutePending = m_eParseNeedUpdate == UPDATE_REEXECUTE;
    const int nSave = pclPosition->nGetRecordSaveId();
    int bResult = bSetParseNeedUpdate(UPDATE_REPOSITION, nSave) && m_pclDataAccess->bRestoreOriginalRecordSave(nSave) &&
                  m_pclDataAccess->bCopyOriginalRecordToCurrentRecord();
    m_bRestoredRow = 1;
    m_bMoreRows = 0;
    SetRepeatCount(pclPosition->llGetEqualCount(), pclPosition->bEqualCountBackward());
    CNARecordValue* pclOriginal = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetOriginalRecordValueNoRef()
                                                                 : nullptr;
    const int nRow = bResult && pclOriginal != nullptr && m_pclRecordCache != nullptr
                         ? m_pclRecordCache->nGetRecordIndice(pclOriginal)
                         : -1;
    if (m_pclTableCacheIndex != nullptr) {
        // The index places a record gone among equal ones by the row it
        // stood on: the record's, not the one read last.
        if (nRow >= 0)
            m_llCurrentRecord = nRow;
        return bResult;
    }
    if (!bResult || bReexecutePending || pclPosition->bRowDeleted() || !bCacheEnabled() ||
        !pclPosition->pclGetFilterSave()->bFilterEquals(m_pclFilter))
        return bResult;
    return nRow >= 0 ? _bGoToRowId(nRow, pclPosition) : 1;
}

int CNAStatement::_bGoToRowId(int nRow, CNAPosition* pclPosition)
{
    if (!bCacheEnabled()) {
        bSetParseNeedUpdate(UPDATE_NONE, -1);
        if (m_pclStatementSQL == nullptr)
            return 0;
        // The row the result already stands on reloads without a seek.
        const long long llRow = nRow - m_llBlockBase;
        int bResult = 1;
        if (llRow == m_pclStatementSQL->llGetCurrentRow() && !m_pclStatementSQL->bEndOfData()) {
            bResult = _bUpdateNARecord(DIRECTION_STAY);
        } else if (llRow < 0 || llRow >= m_pclStatementSQL->llGetRowCount() || !m_pclStatementSQL->bDataSeek(llRow)) {
            _CopyStatementSQLError();
            bResult = 0;
        } else {
            int bOutOfRange = 1;
            bResult = _bFetch(NA_PARSE_NEXT, 1, &bOutOfRange, 1, nullptr) && !bOutOfRange;
        }
        bResult = bResult && m_pclCurrentRecord != nullptr && m_pclCurrentRecord->bCopyCurrentRecordToOriginalRecord() &&
                  bSetStmtOriginalRecord(DIRECTION_STAY);
        SetRepeatCount(pclPosition->llGetEqualCount(), pclPosition->bEqualCountBackward());
        if (bResult) {
            m_llCurrentRecord = nRow;
            m_bEndehors = 0;
        }
        return bResult;
    }
    CNARecordValue* pclOriginal = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetOriginalRecordValueNoRef()
                                                                 : nullptr;
    if (pclOriginal == nullptr || nRow < 0 || !m_pclRecordCache->bGetAt(pclOriginal, static_cast<unsigned int>(nRow))) {
        _RaiseUserError(PT_POSITION, ZTERR_POSITION_LOST, m_csParseItem.pszGet());
        return 0;
    }
    int bResult = bCopyOriginalRecordToCurrentRecord();
    SetRepeatCount(pclPosition->llGetEqualCount(), pclPosition->bEqualCountBackward());
    // The index too is placed on the row again, by its key and its place
    // among identical rows, before the next read.
    if (bResult) {
        const int nSave = pclPosition->nGetRecordSaveId();
        bSetParseNeedUpdate(UPDATE_NONE, -1);
        bResult = bSetStmtOriginalRecord(DIRECTION_STAY) && bSetParseNeedUpdate(UPDATE_REPOSITION, nSave);
    }
    m_bRestoredRow = 1;
    m_bMoreRows = 0;
    m_llCurrentRecord = nRow;
    m_bEndehors = 0;
    return bResult;
}

// ---- Relative positions and counts ----------------------------------------------------------------------------------

int CNAStatement::bHPositionne(unsigned int nThousandths, eNA_PRECISION, unsigned int nFlags)
{
    if (m_pclDataAccess == nullptr)
        return 0;
    // The place is one of the whole browse's records: a search in force goes
    // first, as for a read of the first record, and the browse runs again.
    if (_bSearchInForce()) {
        DesactivateRechercheUserAndInternal();
        if (m_pclTableCacheIndex == nullptr)
            bSetParseNeedUpdate(UPDATE_REEXECUTE, -1);
    }
    long long llRecord = 0;
    if (nThousandths != 0) {
        long long llCount = 0;
        if (!m_pclDataAccess->bGetNbEnr(&llCount, 16, WPF_CONTINUE, this, -1))
            return 0;
        // Beyond 1000 is the last record: the product stays in range.
        const long long llPart = nThousandths > 1000 ? 1000 : nThousandths;
        llRecord = llCount > 0 ? llCount / 1000 * llPart + llCount % 1000 * llPart / 1000 : 0;
    }
    if (llRecord == 0)
        llRecord = 1;
    eNA_LOCKTYPE eLock = static_cast<eNA_LOCKTYPE>(0);
    return m_pclDataAccess->bSkipRecord(m_csParseItem.pszGet(), static_cast<eNA_PARSEDIRECTION>(NA_PARSE_FIRST),
                                        llRecord, 1, static_cast<eNA_LOCKTYPE>(0), &eLock, nFlags | WPF_TABLE_CACHE);
}

int CNAStatement::bHPositionCourante(int* pnThousandths, eNA_PRECISION)
{
    if (pnThousandths == nullptr || m_pclDataAccess == nullptr)
        return 0;
    *pnThousandths = 1;
    long long llCount = -1;
    long long llPosition = -1;
    if (m_pclDataAccess->bHasTableCache()) {
        CNARecordCache* pclCache = bCacheCompleted() ? m_pclRecordCache : pclGetFullRecordCache();
        if (pclCache == nullptr)
            return 0;
        // Deleted rows stay in the cache: they count neither among the
        // records nor before the current one, so the last record is 1000.
        llCount = pclCache->nGetCount() - pclCache->nGetDeletedCount();
        if (llCount > 0) {
            int bStillThere = 1;
            if (m_eParseNeedUpdate != UPDATE_NONE && !bUpdateParsePositionInCacheIndex(&bStillThere))
                return 0;
            if (m_pclTableCacheIndex != nullptr) {
                llPosition = m_pclTableCacheIndex->nGetPreviousRecordNbr() + 1;
            } else {
                llPosition = m_llCurrentRecord + 1;
                for (int i = 0; i < m_llCurrentRecord && i < pclCache->nGetCount(); i++)
                    llPosition -= pclCache->_bRecordDeleted(i);
            }
            // Past the last record counts as the last.
            llPosition = std::min(llPosition, llCount);
        }
    } else {
        if (!m_pclDataAccess->bGetNbEnr(&llCount, 16, WPF_CONTINUE, this, -1))
            return 0;
        if (llCount > 0) {
            if (_bSearchInForce() || m_eParseNeedUpdate != UPDATE_NONE || !m_bFirstBlock) {
                if (!m_pclDataAccess->bGetNbEnr(&llPosition, 16, WPF_CONTINUE, this, NA_PARSE_PREVIOUS))
                    return 0;
                llPosition++;
            } else {
                // Rows deleted through the table stay in the result: those
                // before the current one are no longer records.
                const long long llRank = m_llCurrentRecord + 1 - _llDeletedRowsBefore(m_llCurrentRecord - m_llBlockBase);
                llPosition = bInvertFetch() ? llCount - llRank + 1 : llRank;
            }
        }
    }
    if (llCount <= 0)
        return 1;
    // The quotient rounded up.
    const long long llValue = (llPosition * 1000 + llCount - 1) / llCount;
    *pnThousandths = llValue < INT_MIN ? INT_MIN : (llValue > INT_MAX ? INT_MAX : static_cast<int>(llValue));
    return 1;
}

int CNAStatement::_bSearchInForce() const
{
    return m_bInternalSearch ||
           (m_pclRecherche != nullptr && m_pclRecherche->nGetState() != CNARecherche::STATE_INACTIVE);
}

int CNAStatement::bGetNbEnrCurrentParse(long long* pllCount, unsigned int nFlags, int bAllRows)
{
    if (pllCount == nullptr)
        return 0;
    const bool bFilterKept = m_clFilterSave.bFilterEquals(m_pclFilter) != 0;
    const bool bFilter = bExistFilter() != 0;
    // Under a search the result holds the rows from the value searched on;
    // a table-cache index holds them all.
    const bool bSearch = m_bInternalSearch || (m_pclTableCacheIndex == nullptr && _bSearchInForce());
    if (bCacheCompleted() && !bSearch && bFilterKept && (m_nParseFlags & WPF_CONTINUE) != 0 &&
        (nFlags & WPF_CONTINUE) != 0 && !(bAllRows && bFilter)) {
        *pllCount = m_pclRecordCache->nGetCount() - m_pclRecordCache->nGetDeletedCount();
        return 1;
    }
    if (!m_bParseStarted || llGetRowLimit() != NO_LIMIT || !m_bFirstBlock || bSearch || !bFilterKept ||
        (bFilter && bAllRows) || m_eParseNeedUpdate == UPDATE_REEXECUTE)
        return 0;
    if (m_pclTableCacheIndex != nullptr) {
        *pllCount = m_pclTableCacheIndex->nGetRecordNbr();
        return 1;
    }
    if (m_pclStatementSQL == nullptr)
        return 0;
    *pllCount = m_pclStatementSQL->llGetRowCount() - m_nDeletedRows;
    return 1;
}

int CNAStatement::bMove(long long, int bFlag)
{
    ResetQuery();
    EnableCache(0);
    CNACommand* pclSearch = m_pclDataAccess != nullptr ? m_pclDataAccess->pclAllocCommand(m_pclError) : nullptr;
    CNACommand* pclCommand = m_pclDataAccess != nullptr ? m_pclDataAccess->pclAllocCommand(m_pclError) : nullptr;
    if (pclSearch == nullptr || pclCommand == nullptr) {
        delete pclSearch;
        delete pclCommand;
        return _bNoMemory(PT_NO_MEMORY);
    }
    pclSearch->AddRef();
    pclCommand->AddRef();
    // A limited query finds the row among its own: by its output names.
    pclSearch->SetOutputNames(m_pclDataAccess->bQueryResultsetLimited());
    const int bResult = _bAddWHERELatestRead(pclSearch, 0, nullptr) &&
                        bBuildQuerySELECT(pclCommand, 0, nullptr, 1, pclSearch) && bExecute(0, bFlag) &&
                        bFetch(NA_PARSE_FIRST, bFlag, 1, nullptr);
    pclSearch->nRelease();
    pclCommand->nRelease();
    return bResult;
}

// ---- Table cache ----------------------------------------------------------------------------------------------------

int CNAStatement::bOpenUsingTableCache()
{
    // An index kept while the statement read a result of its own serves
    // again only after that result is gone: the result misses later writes.
    if (m_pclTableCacheIndex != nullptr && m_pclStatementSQL == nullptr &&
        m_pclRecordCache == m_pclTableCacheIndex->pclGetRecordCacheNoRef())
        return bSetParseNeedUpdate(UPDATE_NONE, -1);
    CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCacheNoRef() : nullptr;
    if (pclTableCache == nullptr || pclTableCache->pclGetFullCache() == nullptr)
        return 0;
    Close();
    if (!_bCreateTableCacheIndex())
        return 0;
    SetParseStarted();
    return 1;
}

int CNAStatement::_bCreateTableCacheIndex()
{
    CNATableCache* pclTableCache = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetTableCacheNoRef() : nullptr;
    if (pclTableCache == nullptr || m_pclCurrentRecord == nullptr || m_piDataSource == nullptr)
        return 0;
    // The record save and refresh cause come back once the index stands.
    const int nSave = m_nRecordSaveID;
    const int eCause = m_eParseNeedUpdate;
    if (nSave >= 0)
        m_pclDataAccess->AddRefRecordSave(nSave);
    if (std::wcscmp(m_csParseItem.pszGet(), m_csName.pszGet()) != 0)
        m_csParseItem.Set(m_csName.pszGet());
    INAItemDescription* piItem = m_piDataSource->piNAGetItem(m_csName.pszGet());
    CNAColumn* pclColumn = piItem != nullptr ? m_pclCurrentRecord->pclGetColumnNoRef(piItem) : nullptr;
    if (piItem != nullptr)
        piItem->nExternalRelease();
    CNATableCacheIndex* pclIndex = pclColumn != nullptr ? pclTableCache->pclGetCacheIndex(this, pclColumn) : nullptr;
    if (pclIndex == nullptr) {
        _ReleaseRecordSave(nSave);
        return 0;
    }
    if (m_pclTableCacheIndex != nullptr)
        m_pclTableCacheIndex->dwRelease();
    m_pclTableCacheIndex = pclIndex;
    pclIndex->m_nRefCount++;
    m_bCurrentRowDeleted = 0;
    _SetRecordCache(pclIndex->pclGetRecordCacheNoRef());
    bSetParseNeedUpdate(eCause, nSave);
    _ReleaseRecordSave(nSave);
    // The browse is served by the cache alone.
    _FreeRecordSaveTable();
    if (m_pclStatementSQL != nullptr) {
        m_pclStatementSQL->nRelease();
        m_pclStatementSQL = nullptr;
    }
    return 1;
}

int CNAStatement::DestroyCacheIndex()
{
    if (m_pclTableCacheIndex == nullptr)
        return 1;
    int bResult = 1;
    if (m_bParseStarted) {
        if (m_llCurrentRecord < 0) {
            m_bEndehors = 1;
            m_bFound = 0;
            m_bHTrouve = 0;
            m_bRecordLost = 1;
        } else {
            bResult = bSetParseNeedUpdate(UPDATE_REPOSITION);
        }
    }
    CNATableCacheIndex* pcl = m_pclTableCacheIndex;
    m_pclTableCacheIndex = nullptr;
    pcl->dwRelease();
    _SetRecordCache(nullptr);
    _InvalidatePositionRowIds();
    return bResult;
}

int CNAStatement::bUpdateParsePositionInCacheIndex(int* pbStillThere)
{
    *pbStillThere = 1;
    if (m_nRecordSaveID == -1)
        return 1;
    if (m_pclTableCacheIndex == nullptr && !_bCreateTableCacheIndex())
        return 0;
    if (!m_pclDataAccess->bRestoreOriginalRecordSave(m_nRecordSaveID) ||
        !m_pclTableCacheIndex->bSetCurrentPos(-1, m_llRepeatCount > INT_MAX ? INT_MAX : static_cast<int>(m_llRepeatCount),
                                              pbStillThere))
        return 0;
    // A record gone leaves the index on the entry after its place, at the
    // end beyond every entry: a next read finds that entry (nothing more at
    // the end), a previous one the entry before. The row number stays the
    // one read until then, so that the place is found again the same way.
    if (!*pbStillThere)
        return 1;
    m_llCurrentRecord = m_pclTableCacheIndex->nGetCurrentRecordId();
    if (m_pclStmtOriginalRecord == nullptr) {
        m_pclStmtOriginalRecord = new (std::nothrow) CNARecordValue(m_pclError);
        if (m_pclStmtOriginalRecord == nullptr)
            return _bNoMemory(PT_NO_MEMORY);
        m_pclStmtOriginalRecord->AddRef();
    }
    if (m_llCurrentRecord < 0 ||
        !m_pclRecordCache->bGetAt(m_pclStmtOriginalRecord, static_cast<unsigned int>(m_llCurrentRecord)))
        return 0;
    return bSetParseNeedUpdate(UPDATE_NONE, -1);
}

int CNAStatement::bUpdateParsePositionInRecordCache()
{
    while (m_nRecordSaveID != -1 && m_pclRecordCache != nullptr) {
        if (!m_pclDataAccess->bRestoreOriginalRecordSave(m_nRecordSaveID))
            return 0;
        const CNARecordValue* pclOriginal = m_pclCurrentRecord->pclGetOriginalRecordValueNoRef();
        const int nRow = m_pclRecordCache->nGetRecordIndice(pclOriginal);
        if (nRow >= 0) {
            m_llCurrentRecord = nRow;
            break;
        }
        if (bCacheCompleted()) {
            CurrentRecordNotFound(m_csParseItem.pszGet(), FILE_STATEMENT, PT_TABLE_CACHE);
            return 0;
        }
        if (!_bCompleteCache())
            return 0;
    }
    return bSetParseNeedUpdate(UPDATE_NONE, -1);
}

int CNAStatement::_bCompleteCache()
{
    if (m_pclDataAccess == nullptr || m_pclRecordCache == nullptr)
        return 0;
    const eNA_PARSEDIRECTION eDirection = static_cast<eNA_PARSEDIRECTION>(bInvertFetch() ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT);
    _DropStaleCacheResult();
    // Without an open result the command runs again as it is, and the
    // reads go on after the rows the cache holds; the browse of the table
    // cache finds the row after them by a SELECT of its own.
    if ((m_pclStatementSQL == nullptr || m_pclStatementSQL->llGetRowCount() < 0) && !_bCacheResultDropped()) {
        // Not through bExecute: its close would empty the cache.
        if (!bExecuteDirect(m_nParseFlags, 0))
            return 0;
        const long long llHeld = m_pclRecordCache->nGetCount() - m_llBlockBase;
        if (llHeld > 0 && llHeld < m_pclStatementSQL->llGetRowCount() && !m_pclStatementSQL->bDataSeek(llHeld)) {
            _CopyStatementSQLError();
            return 0;
        }
    }
    int nPosition = -1;
    if (!m_pclDataAccess->bHSauvePosition(&nPosition, m_csName.pszGet(), static_cast<eNAPOSITION>(0)))
        return 0;
    m_llCurrentRecord = m_pclRecordCache->nGetCount() - 1;
    if (llGetRowLimit() != NO_LIMIT && m_pclStatementSQL != nullptr && m_pclStatementSQL->llGetCurrentRow() >= 0)
        m_llCurrentRecord--;
    const int nSave = m_nRecordSaveID;
    const int eCause = m_eParseNeedUpdate;
    if (nSave >= 0)
        m_pclDataAccess->AddRefRecordSave(nSave);
    bSetParseNeedUpdate(UPDATE_NONE, -1);
    const unsigned int nFlags = m_nParseFlags;
    int bRead = 1;
    for (;;) {
        eNA_LOCKTYPE eLock = static_cast<eNA_LOCKTYPE>(0);
        bRead = m_pclDataAccess->bHLitxxx(m_csName.pszGet(), eDirection, 0, static_cast<eNA_LOCKTYPE>(1), &eLock,
                                           nFlags);
        if (!bRead || m_bEndehors)
            break;
    }
    wchar_t szItem[256];
    std::wcsncpy(szItem, m_csName.pszGet(), 255);
    szItem[255] = 0;
    int bResult = 0;
    {
        const CNADataAccess::COwnReturns clOwn(m_pclDataAccess);
        bResult = m_pclDataAccess->bHRetourPosition(nPosition, szItem, 0, static_cast<eNAPOSITION>(0));
    }
    bSetParseNeedUpdate(eCause, nSave);
    _ReleaseRecordSave(nSave);
    return bRead && bResult;
}

int CNAStatement::bCanUpdateParse()
{
    if (m_pclDataAccess == nullptr)
        return 1;
    if (m_pclDataAccess->bSourceIsQuery() && m_pclDataAccess->bRequeteSansCorrection())
        return 0;
    if (!m_pclDataAccess->bSourceIsQuery() || (m_nParseFlags & WPF_QUERY_ORDER) == 0)
        return 1;
    CSQLParserInfo* pclInfo = m_pclDataAccess->pclGetQueryParserInfoNoRef();
    return pclInfo != nullptr && pclInfo->piEnumRubriqueClauseOrder(1) != nullptr ? 1 : 0;
}

int CNAStatement::bIndexCache()
{
    return m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery() &&
           ((m_nParseFlags & WPF_CONTINUE) != 0 || m_pclDataAccess->bRequeteSansCorrection());
}
