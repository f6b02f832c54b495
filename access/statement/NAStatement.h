// The cursor of one data access over one table or query: it builds the SQL
// of a browse, a write, a count or a table definition into a command, runs
// it through its own direct SQL statement and moves in the result in four
// directions, loading each row into the data access's current record. It
// keeps what the host's file operations test afterwards: found and out of
// range, the record number, the record save of the row, the filter and
// searches in force, saved positions and the record cache.
#pragma once

#include "access/driver/Interf.h"
#include "access/sql/NAFilterSave.h"
#include "access/sql/NARecherche.h"
#include "access/table/NAUserSearch.h"
#include "common/text/RefHashTable.h"
#include "common/text/Tstring.h"

#include <functional>
#include <string>
#include <vector>

class CAny;
class CColumnList;
class CNACommand;
class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNADataAccess;
class CNADataSourceDescription;
class CNAError;
class CNAFilter;
class CNAPosition;
class CNARecherche;
class CNARecord;
class CNARecordCache;
class CNARecordValue;
class CNAStatementSQL;
class CNATableCacheIndex;
class CSQLParserInfo;
class CTString;
class INADataSourceDescription;
class INAItemDescription;
class ISQLParserInformation;

enum eNA_PARSEDIRECTION : int;
enum eNA_LOCKTYPE : int;
enum eNA_PRECISION : int;

class CNAStatement : public CInterf {
public:
    enum : int {
        // Source-file number of the statement in the debug line.
        ERRFILE_STATEMENT = 4,
    };
    // Statement kinds kept in the command.
    enum eNAQUERYTYPE : int {
        QT_NONE = 0,
        QT_SELECT = 1,
        QT_UPDATE = 2,
        QT_INSERT = 3,
        QT_DELETE = 4,
        QT_DELETEALL = 5,
        QT_CREATE = 6,
        QT_NORESULT = 8,
        QT_DROPTABLE = 9,
    };
    // Why a browse must be brought up to date at its next fetch.
    enum ePARSENEEDUPDATECAUSE : int {
        UPDATE_NONE = 0,
        UPDATE_REEXECUTE = 1,
        UPDATE_REPOSITION = 2,
    };
    // Direction 4: stay on the current row.
    enum : int { DIRECTION_STAY = 4 };
    // Position option: the filter saved with the position comes back too.
    enum : int { POSITION_FILTER = 1 };
    // Rows of a result without row limit.
    static constexpr long long NO_LIMIT = -1;
    // Write and browse flags (NA_WRITEPARSEFLAGS) read here.
    enum : unsigned int {
        WPF_RECORD_READ = 0x40,
        WPF_AUTOID_GIVEN = 0x100,
        WPF_AUTOID_NEW = 0x200,
        WPF_AUTOID_KEPT = 0x400,
        WPF_DISTINCT = 0x800,
        WPF_TABLE_CACHE = 0x2000,
        WPF_CONTINUE = 0x4000,
        WPF_QUERY_ORDER = 0x20000,
        WPF_REFIND = 0x40000,
        WPF_NO_TIEBREAK = 0x100000,
    };

    // The SQL statement made at once; references on the data access's
    // description and current record and on the error.
    CNAStatement(CNADataAccess* pclDataAccess, CNAError* pclError);
    // One reference on the error and on the direct SQL statement given.
    CNAStatement(CNAError* pclError, CNAStatementSQL* pclStatementSQL);
    CNAStatement(const CNAStatement&) = delete;
    CNAStatement& operator=(const CNAStatement&) = delete;

    // ---- Virtual operations, in slot order (after CInterf's three) -----------
    ~CNAStatement() override;
    // Close, the more-rows flag cleared, the command dropped; 1 without SQL
    // statement.
    virtual int ResetQuery();
    // Ends the browse; 1 without SQL statement.
    virtual int Close();
    virtual int bExecute(unsigned int nFlags, int nPrepare);
    virtual int bExecuteDirectNewCommand(CNACommand* pclCommand, unsigned int nFlags, int nPrepare);
    virtual int bExecuteDirect(unsigned int nFlags, int nPrepare);
    // Runs, loads the first row and reads its first nCount values; then
    // closes.
    virtual int bExecuteAndFetch(CAny* pValues, int nCount, int nPrepare);
    // The first column of the first row.
    virtual int bGetRequestedValue(CAny* pValue);
    // The next SQL row's column.
    virtual int bGetResultValue(CAny* pValue, unsigned int nColumn);
    // The direct SQL statement's value of a result column; on failure its
    // error is copied into the statement's.
    virtual int bGetSQLColumnValue(CNAConvertVariant* pclCell, unsigned int nColumn);
    virtual int bGetSQLColumnValue(CAny* pValue, unsigned int nColumn);
    virtual int bBuildQuerySELECT(CNACommand* pclCommand, unsigned int nFlags, const wchar_t* pszOrderItem,
                                  int bAscending, CNACommand* pclSearch);
    virtual int bGetClauseWHERE(CNACommand* pclCommand);
    virtual int bBuildQueryCREATE(CNACommand* pclCommand);
    // Writes go through SQL text: 0.
    virtual int bHAjoute(unsigned int nFlags, eNA_LOCKTYPE eLock);
    virtual int bBuildQueryINSERT(CNACommand* pclCommand, unsigned int nFlags);
    virtual int bHModifie(long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock);
    virtual int bBuildQueryUPDATE(CNACommand* pclCommand, unsigned int nFlags);
    virtual int bHSupprime(long long llRecord, eNA_LOCKTYPE eLock);
    virtual int bBuildQueryDELETE(CNACommand* pclCommand, unsigned int nFlags);
    // A write of kind eType (2, 3, 4) made through pclSource.
    virtual void OnNotifyOperation(int eType, int nId, CNAStatement* pclSource, unsigned int nFlags,
                                   const CNARecordValue* pclWritten);
    virtual int bUpdateRecordAfterInsert(int eType, unsigned int nFlags);
    virtual int bUpdateRecordAfterUpdate(int eType, unsigned int nFlags);
    virtual int bSetLockType(eNA_LOCKTYPE eLock);
    virtual int bCanFetchBackward();
    // The COUNT of the filter and searches in force; -1 on failure.
    virtual int bGetNbEnr(long long* pllCount, unsigned int nFlags, int bAllRows);
    virtual int bGetNbEnrCurrentParse(long long* pllCount, unsigned int nFlags, int bAllRows);
    virtual int bGetBLOB(INAItemDescription* piItem, CAny* pValue);
    virtual int bExtraitMemo(INAItemDescription* piItem, const wchar_t* pszFile);
    virtual int bGetPosition(CNAPosition* pclPosition, int eOption);
    virtual int bSetPosition(CNAPosition* pclPosition, int eOption);
    virtual void DesactivateRecherche();
    // New ones (count 0) on the error and the connection.
    virtual CNARecherche* pclAllocRecherche(CNAError* pclError);
    virtual CNAFilter* pclAllocFilter(CNAError* pclError);
    virtual int bDefaultParseNeedRecordCache();
    virtual int _bGetQueryStructure(CNADataSourceDescription* pclDescription, int bSkip);
    virtual int _bPrepare();
    virtual int _bExecutePreparedQuery(unsigned int nFlags);
    // The next SQL row's first nCount columns into consecutive values.
    virtual int _vbGetQueryResult(CAny* pValues, int nCount);
    virtual int _bGetNativeDataType(CNAColumn* pclColumn, CTString* pclText);
    virtual int _bGetNativeConstraint(CNAColumn* pclColumn, CTString* pclText);
    virtual void _FormatItemORDERBY(CNAColumn* pclColumn, CSQLParserInfo* pclInfo, int bPlainNames, CTString* pclText,
                                    int* pbAscending);
    virtual int _bAddClauseReturning(int eType, unsigned int nFlags);
    virtual int _bAddColumnValue(CNACommand* pclCommand, CNAColumn* pclColumn, int eType, unsigned int nFlags);
    // An item the record leaves unset whose default the server works out.
    bool _bLeftToServerDefault(CNAColumn* pclColumn) const;
    // Whether a text value holds no more characters than its column;
    // raises the error when it holds more.
    int _bTextFitsColumn(CNAColumn* pclColumn, const CAny& clValue);
    // Moves in the SQL result; direction 4 stays.
    virtual int _bFetch(int eDirection, int bFlag, int* pbOutOfRange, long long llCount, long long* pllMoved);
    virtual int _bBuildQueryCOUNT(CNACommand* pclCommand, unsigned int nFlags, int bAllRows);
    virtual int _bUpdateNARecord(int eDirection);
    virtual int _bUpdateNARecordFromDB();
    virtual int _bSetPositionParametersEx(CNAPosition* pclPosition);
    virtual int _bGoToRowId(int nRow, CNAPosition* pclPosition);
    virtual void _RestaureRecordFromCache(int nRow);
    virtual void _SetBestCacheMethod();
    virtual int _bCreateTableCacheIndex();

    // ---- Building --------------------------------------------------------------------
    // ResetQuery, the command attached with the kind, then its text; 0 with
    // user error 8 of kind 7 for another kind.
    int bBuildQuery(int eType, CNACommand* pclCommand, unsigned int nFlags);
    int bBuildQueryDELETEALL(CNACommand* pclCommand, unsigned int nFlags);
    int bBuildQueryDROPTABLE(CNACommand* pclCommand);
    // A server's date-time text as 'YYYY-MM-DD HH:MM:SS.ffffff' (the parts it
    // has); empty when it holds no date.
    static std::wstring s_strDateTimeLiteral(const wchar_t* pszText);
    // The text with every "name(n)" of a length above the maximum written
    // as the replacement type; 0 (output empty) when none was.
    static int bQueryCREATE_AutoCorrectVarcharMax(CTString* pclOut, const wchar_t* pszText, const wchar_t* pszType,
                                                  int nMax, const wchar_t* pszReplacement);
    // The command (one reference) after ResetQuery; null drops it.
    void _SetQuery(CNACommand* pclCommand);
    CNACommand* pclGetCommandNoRef() const { return m_pclCommand; }
    // The prepared route: never offered by the direct statements.
    int bPrepare(CNACommand* pclCommand, unsigned int nFlags);
    int bExecutePreparedQuery(unsigned int nFlags, int bRefresh);
    void _DumpQuery(CNACommand* pclCommand);

    // ---- Fetch -----------------------------------------------------------------------
    // Moves by llCount rows (1 for a plain read) in the direction; with
    // bFlag the row becomes the data access's record read. *pllMoved (may
    // be null) receives the rows that could be crossed when a skip runs out.
    int bFetch(int eDirection, int bFlag, long long llCount, long long* pllMoved);
    int bFetchData(int eDirection, int* pbOutOfRange, CAny* pValues, int nCount);
    int bSetStmtOriginalRecord(int eDirection);
    int bSetParseNeedUpdate(int eCause);
    int bSetParseNeedUpdate(int eCause, int nRecordSaveId);
    int eParseNeedUpdate() const { return m_eParseNeedUpdate; }
    void SetParseStarted();
    int bParseStarted() const { return m_bParseStarted; }
    void HEndehors(int* pbOutOfRange) const { *pbOutOfRange = m_bEndehors; }
    void EvalHTrouve(int* pbFound, int* pbInRange) const;
    // The fetched-row flag: the last fetch ended in range.
    int bFetched() const { return !m_bEndehors; }
    int bFound() const { return m_bFound; }
    // The record shown is not the one the browse stands for (its row is
    // gone): not found, still in range.
    void SetRecordNotFound()
    {
        m_bFound = 0;
        m_bHTrouve = 0;
        m_bEndehors = 0;
    }
    // The direction (next or previous, as the host reads) in which the
    // browse ran past its last row, -1 none: any fetch, refresh or write
    // forgets it.
    int ePastEnd() const { return m_ePastEnd; }
    void SetPastEnd(int eDirection) { m_ePastEnd = eDirection; }
    int bInvertFetch() const;
    int bMoreRows() const { return m_bMoreRows; }
    int bRestoredRow() const { return m_bRestoredRow; }

    // ---- Record cache --------------------------------------------------------------------
    void EnableCache(int bOn);
    int bCacheEnabled() const;
    int bCacheCompleted() const;
    void EmptyCache();
    // The cache once complete; null otherwise.
    CNARecordCache* pclGetFullRecordCache();
    void _SetRecordCache(CNARecordCache* pclCache);
    CNARecordCache* pclGetRecordCacheNoRef() const { return m_pclRecordCache; }

    // ---- State read by the data access -------------------------------------------------------
    long long nGetCurrentRecord() const { return m_llCurrentRecord; }
    int nGetRecordSaveID() const { return m_nRecordSaveID; }
    int eGetQueryType() const;
    int nGetBindDefineFlag() const;
    // Which columns the statement's texts define (CNAColumn::bMustDefine):
    // memo columns too, as a table's SELECT defines them.
    int nGetDefineMode() const { return 3; }
    int bGetQueryStructure(CNADataSourceDescription* pclDescription);
    const wchar_t* pszGetTableName() const;
    CNAConnectionDescription* pclGetConnectionNoRef() const;
    unsigned int nGetRowMaxLen() const;
    CNARecordValue* pclGetStmtOriginalRecord() const { return m_pclStmtOriginalRecord; }
    // The same identity and the same refused values.
    int bEqualStmtOriginalRecordId(const CNARecordValue* pclValue) const;
    // After a write of the current record: the items reading a column
    // written hold the host's values, none refused any longer (an add
    // writes them all).
    int bForgetWrittenRefusals(int eType, unsigned int nFlags);
    int bCopyOriginalRecordToCurrentRecord();
    int bUpdateChangedTypeInCurrentRecord();
    CNADataAccess* pclGetDataAccessNoRef() const { return m_pclDataAccess; }
    CNAStatementSQL* pclGetStatementSQLNoRef() const { return m_pclStatementSQL; }
    CNARecord* pclGetCurrentRecordNoRef() const { return m_pclCurrentRecord; }
    void SetCurrentRecord(CNARecord* pclRecord);
    void SetDataSource(INADataSourceDescription* piDescription);
    const wchar_t* pszGetName() const { return m_csName.pszGet(); }
    void SetName(const wchar_t* psz) { m_csName.Set(psz); }
    const wchar_t* pszGetParseItem() const { return m_csParseItem.pszGet(); }
    void SetParseItem(const wchar_t* psz) { m_csParseItem.Set(psz); }
    unsigned int nGetParseFlags() const { return m_nParseFlags; }
    void SetParseFlags(unsigned int n) { m_nParseFlags = n; }
    int eGetLockType() const { return m_eLockType; }
    long long llGetRowLimit() const;
    int nGetBlockLimit() const { return m_nBlockLimit; }
    int bFirstBlock() const { return m_bFirstBlock; }
    void SetFirstBlock(int b) { m_bFirstBlock = b; }
    // The result holds only the rows equal to a row found again: the rows
    // on either side of them come from a next block.
    int bEqualRowsOnly() const { return m_bEqualRowsOnly; }
    void SetEqualRowsOnly(int b) { m_bEqualRowsOnly = b; }
    int bNextBlock() const { return m_bNextBlock; }
    void SetNextBlock(int b) { m_bNextBlock = b; }
    long long llGetRepeatCount() const { return m_llRepeatCount; }
    // The count was gathered reading backward: the equal rows it counts
    // come after the row in the browse's order.
    int bRepeatBackward() const { return m_bRepeatBackward; }
    // The row's place among the equal rows read before it, into the record too.
    void SetRepeatCount(long long ll, int bBackward = 0);
    int bRecordLost() const { return m_bRecordLost; }
    void SetRecordLost(int b) { m_bRecordLost = b; }
    int bCurrentRowDeleted() const { return m_bCurrentRowDeleted; }
    int nGetDeletedRowCount() const { return m_nDeletedRows; }
    unsigned int nGetTieBreak() const { return m_nTieBreak; }
    void SetTieBreak(unsigned int n) { m_nTieBreak = n; }
    // User error 13 of kind 9 naming the item at the given debug point; the
    // row is lost.
    void CurrentRecordNotFound(const wchar_t* pszItem, int nFile, int nPoint);
    // The command dropped as ResetQuery does, the SQL statement reset with
    // the record-save table; filter, searches, positions, record cache and
    // lock type stay.
    void ResetStatement();

    // ---- Filter and searches ------------------------------------------------------------------
    int bSetFilter(const wchar_t* pszItem, const CAny* pMin, int bMinIncluded, const CAny* pMax, int bMaxIncluded,
                   ISQLParserInformation* piParser);
    void _SetFilter(CNAFilter* pclFilter);
    void _SetFilter(CNAFilterSave* pclSave);
    // With a reference, or null.
    CNAFilter* pclGetFilter() const;
    CNAFilter* pclActivateFilter();
    int bExistFilter() const;
    void DesactivateFilter();
    CNAFilterSave* pclGetFilterSave() { return &m_clFilterSave; }
    // The internal search (made on demand) with a reference; null without
    // memory.
    CNARecherche* pclGetRecherche();
    // Gives the search the server's texts of the times and date-times of the
    // record a refresh finds again, kept when its record save was given
    // while the result still held its row (none otherwise), and the
    // record's refused values.
    void GiveRefreshServerValues(CNARecherche* pclSearch) const;
    // The text as a literal of the server's Unicode character set in
    // hexadecimal (_utf8mb4 X'..'), which every session reads alike, NULs
    // and all; empty when the text cannot be written so.
    std::wstring strServerTextLiteral(const std::wstring& strText) const;
    int bExistRechercheObject() const { return m_pclRecherche != nullptr; }
    int bSetUserSearch(const wchar_t* pszItem, const CAny* pValue, int eDirection, int bExact);
    int _bSetRecherche(INAItemDescription* piItem, const CAny* pValue, int eDirection, int bExact);
    void _SetRecherche(CNARecherche* pclSearch);
    void AnnuleRecherche();
    void AnnuleRechercheUser();
    void DesactivateRechercheUserAndInternal();
    void PrepareInternalSearch() { m_bInternalSearch = 1; }
    int bSetContinueParcours(int eDirection);
    void _RestaureUserSearch(const CNAUserSearch* pclUserSearch);
    const CNAUserSearch* pclGetUserSearch() const { return &m_clUserSearch; }
    int bInternalSearch() const { return m_bInternalSearch; }
    // While one lives, the statement's texts find rows by the search's
    // comparisons with the record's current values (a browse going on from
    // its record, or the count of the rows equal to it): each is measured
    // against the session's bound before it is sent.
    class CValuesSearch {
    public:
        CValuesSearch(CNAStatement* pclStatement, CNARecherche* pclSearch)
            : m_p(pclStatement), m_pclBefore(pclStatement->m_pclValuesSearch)
        {
            m_p->m_pclValuesSearch = pclSearch;
        }
        ~CValuesSearch() { m_p->m_pclValuesSearch = m_pclBefore; }
        CValuesSearch(const CValuesSearch&) = delete;
        CValuesSearch& operator=(const CValuesSearch&) = delete;

    private:
        CNAStatement* m_p;
        CNARecherche* m_pclBefore;
    };

    // ---- Saved positions --------------------------------------------------------------------------
    int bAddSavedPosition(int nId, CNAPosition* pclPosition);
    // With a reference, or null.
    CNAPosition* pclGetSavedPosition(int nId) const;
    int bRemoveSavedPosition(int nId);
    void _InvalidatePositionRowIds();
    void _UpdateSavedPositionAfterDelete(const CNARecordValue* pclDeleted);

    // ---- The record-save table ---------------------------------------------------------------------
    // The entry of a row (-1 nothing, -2 deleted), -1 outside the table.
    int nGetRecordSaveAt(long long llRow) const;
    // The rows of the result before llRow deleted through the table.
    long long _llDeletedRowsBefore(long long llRow) const;
    int bSaveDeletedRecord(long long llRow);
    int bKeepModifiedRecordSave(long long llRow, int nRecordSaveId);

    // ---- Positions, relative positions and the table cache --------------------------------------
    int bSetPositionInitParcours(CNAPosition* pclPosition, int eOption) { return bSetPosition(pclPosition, eOption); }
    // Back to the position's record save by a search; the record cache's
    // row when it holds it.
    int _bSetPositionBySearch(CNAPosition* pclPosition);
    // To the record at thousandths of the count (above 1000: the last).
    int bHPositionne(unsigned int nThousandths, eNA_PRECISION ePrecision, unsigned int nFlags);
    // The current record in thousandths of the count, rounded up; 1 when empty.
    int bHPositionCourante(int* pnThousandths, eNA_PRECISION ePrecision);
    // A new SELECT on the last row read, fetched first; the count is not used.
    int bMove(long long llCount, int bFlag);
    // The rows on the server that a write of the last row read would find
    // (its unique key, else its values): 0 once that row is gone.
    int bCountLatestRead(long long* pllCount);
    // The browse served by an index over the data access's full table cache.
    int bOpenUsingTableCache();
    // The index given up; a browse standing on a row finds it again later.
    int DestroyCacheIndex();
    CNATableCacheIndex* pclGetTableCacheIndexNoRef() const { return m_pclTableCacheIndex; }
    int bUpdateParsePositionInCacheIndex(int* pbStillThere);
    int bUpdateParsePositionInRecordCache();
    // The record cache read to the end of the browse through the data access.
    int _bCompleteCache();
    int bCanUpdateParse();
    int bIndexCache();

protected:
    // ---- SELECT -------------------------------------------------------------------------------
    int _bAddDistinct(unsigned int nFlags);
    int _bBuildQuerySELECTFromTable(const wchar_t* pszTable, unsigned int nFlags, const wchar_t* pszOrderItem,
                                    int bAscending, CNACommand* pclSearch, int bOrderBy);
    int _bBuildQuerySELECTFromQuery(CSQLParserInfo* pclInfo, unsigned int nFlags, const wchar_t* pszOrderItem,
                                    int bAscending, CNACommand* pclSearch, int bOrderBy, int bWrap);
    int _bFormatOrderBy(const wchar_t* pszTable, CSQLParserInfo* pclInfo, unsigned int nFlags,
                        const wchar_t* pszOrderItem, int bAscending, int bPlainNames);
    // The ORDER BY alone: _bFormatOrderBy puts it before a LIMIT of the query.
    int _bFormatOrderByTerms(const wchar_t* pszTable, CSQLParserInfo* pclInfo, unsigned int nFlags,
                             const wchar_t* pszOrderItem, int bAscending, int bPlainNames);
    void _FormatORDERBYList(CNAColumn* pclColumn, int bAscending, CSQLParserInfo* pclInfo, int bPlainNames,
                            unsigned int nFlags);
    void _CloseSubQuery(CNACommand* pclCommand);
    int _bExecute(unsigned int nFlags, int nPrepare);
    int _bAllocStatementSQL();
    // The SQL statement reset (its record-save table freed first), or made.
    int _bReadySQLStatement();

    // ---- Writes ---------------------------------------------------------------------------------
    int _bBuildQueryStart(CNACommand* pclCommand, int eType);
    // The command emptied and attached, its kind, the verb and the table.
    int _bStartTableText(CNACommand* pclCommand, int eType, const wchar_t* pszVerb);
    int _bNeedToUpdate(CNAColumn* pclColumn, int eType, unsigned int nFlags);
    // The item that writes the column pclColumn reads: the first the write
    // chooses of the query's items reading that column; null when none.
    CNAColumn* _pclColumnWriter(CNAColumn* pclColumn, int eType, unsigned int nFlags);
    // Whether another item writing the writer's column holds its value;
    // the write is refused when not.
    int _bSameColumnValue(CNAColumn* pclWriter, CNAColumn* pclColumn);
    int _bBuildColumnList(CColumnList* pclList, CNACommand* pclValues, int eType, unsigned int nFlags);
    int _bBuildQueryInsertUpdate(CNACommand* pclCommand, int eType, unsigned int nFlags);
    // pbOneRow, when given, tells whether the condition can find one row
    // only (a row id, or a unique key without a NULL part).
    int _bAddWHERELatestRead(CNACommand* pclCommand, int bWhere, void* pColumns, int* pbOneRow = nullptr);
    // The record value's refused items that the condition compares are
    // compared with the server's texts of their values (a computed item by
    // its expression); the write fails, with the item's failure, when one
    // cannot be.
    int _bAddWHERECurrentRecord(CNACommand* pclCommand, int bWhere, void* pColumns, int* pbOneRow,
                                const CNARecordValue* pclRow);
    int _bFindsOneRow(const CNARefArray<CNAColumn>* ptabKey) const;
    // Where no key finds the row alone: each of its values that the
    // record's condition leaves out (memos as read), compared too.
    int _bAddEveryOtherValue(CNARecherche* pclSearch, const CNARecordValue* pclRow, INAItemDescription* piBest);
    // A text the server compares by a collation.
    static bool _bCollatedText(const CNAColumn* pclColumn);
    // Whether a computed item reads only plain items of the record (or no
    // column at all): the condition compares those, and its own value may
    // be one a write has made stale.
    bool _bComputedOfPlainItems(CNAColumn* pclComputed) const;
    // The items of a query's record that a write's condition leaves out
    // (true): an item reading the column an earlier one reads and, unless
    // bRepeatsOnly, the computed ones of plain items. Empty when none.
    std::vector<bool> _tabLeftOutOfConditions(bool bRepeatsOnly) const;
    // Fails, naming the item, when the condition compares a value the row
    // holds less exactly and whose server text the SELECT could not read.
    int _bHeldTextsRead(CNARecherche* pclSearch, const CNARecordValue* pclRow);
    // That failure, for the column's current value, into the error given.
    void _RaiseRowNotTold(CNAError* pclError, CNAColumn* pclColumn, CNAConnectionDescription* pclConnection);
    // The same as a failure of its own (one reference for the caller), for
    // a value whose text passes the session's bound; null without memory.
    CXError* _pclPastBoundFailure(CNAColumn* pclColumn);
    // " LIMIT 1" on MySQL unless the condition finds one row only.
    int _bAddOneRowLimit(CNACommand* pclCommand, int bOneRow);
    int _bBuildSubQueryCREATEColumn(CNACommand* pclCommand, CNAColumn* pclColumn);
    int _bGetNbEnr_NoSubQuery(long long* pllCount);
    // The COUNT of the rows the search command selects (all rows without one).
    int _bBuildCountOf(CNACommand* pclCommand, CNACommand* pclSearch);
    // Runs the COUNT of the search command, or without one the browse's.
    int _bCount(long long* pllCount, CNACommand* pclSearch, unsigned int nFlags, int bAllRows);
    void OnNotifyInsertOperation(CNAStatement* pclSource, unsigned int nFlags);
    void OnNotifyUpdateOperation(CNAStatement* pclSource, unsigned int nFlags);
    void OnNotifyDeleteOperation(CNAStatement* pclSource, unsigned int nFlags);

    // ---- Fetch ------------------------------------------------------------------------------------
    // A pending refresh or a browse not started, before a named fetch: the
    // table cache's index or record cache brought in line.
    int _bRefreshBeforeFetch(int eDirection, long long* pllCount);
    int _bFetchCacheEnabled(int eDirection, int bFlag, long long llCount, long long* pllMoved, int* pbOutOfRange);
    // The table-cache index on the last entry that begins with the user
    // search's value, nCount - 1 entries back; *pnRow -1 when none does.
    int _bLastOfPrefixInCacheIndex(int nCount, int* pnRow);
    // A search the browse reads under (its rows start at the value
    // searched), or a user search taken back from a position.
    int _bSearchInForce() const;
    int _bFetchCacheDisabled(int eDirection, int bFlag, long long llCount, long long* pllMoved,
                             int* pbOutOfRange);
    int _bFetchAndCache(int eDirection, int bFlag, int* pbOutOfRange, long long llCount, long long* pllMoved);
    int _bFetchNextBloc(int eDirection, int bFlag, int* pbOutOfRange, long long llCount, long long* pllMoved);
    // Whether the end of this result calls for the next block.
    int _bNeedNextBloc(int eDirection) const;
    int _bMove(long long llFrom, long long llStep, int* pbOutOfRange, long long* pllMoved);
    long long _llUpdateStep(long long llFrom, long long llStep, int* pbOutOfRange, long long* pllMoved);
    int _bFetchSQL();
    int _bSetColumnValueFromDB(CNAColumn* pclColumn);
    // The last (or first) row of the SQL result becomes the statement
    // original record: a skip across blocks goes on from it. The current
    // record is left as it was.
    int _bSetAnchorRow(bool bForward);
    // Loads row llRow of the SQL result into the current record, lets the
    // visitor read it (the current values given) and gives the current record
    // back as it was; the visitor's answer, 0 when the row cannot be read.
    int _bVisitSQLRow(long long llRow, bool bReportError, const std::function<int(CNARecordValue*)>& fnVisit);
    // Gives the search the server's texts of the times and date-times of the
    // row a next block starts from (the result's last row, or its first one
    // going back), when that row is the statement original record, and of
    // that record's refused values.
    void _KeepAnchorServerValues(bool bForward, CNARecherche* pclSearch);
    // How a column's item may hold its server value less exactly than the
    // server, and so what finds its row again.
    enum eLESSEXACT : int {
        LE_NONE = 0,
        LE_FRACTION, // a time or date-time with digits beyond the item's: the row's own text
        LE_DECIMAL,  // a DECIMAL read as a real: the row's own text
        LE_FLOAT,    // a FLOAT, written with 6 digits: its double, read beside it
        LE_ENUM,     // an ENUM, whose '' may be an error value or a member: its index, read beside it
        LE_TEXT,     // a text through an 8-bit code page, "?" for what it lacks: its bytes, read beside it
        LE_INSTANT,  // a TIMESTAMP, whose text may stand for two instants: its instant, read beside it
        LE_BYTES,    // read beside a text of a set with bytes beyond its characters: the column's own bytes
    };
    eLESSEXACT _eLessExact(CNAColumn* pclColumn) const;
    // _eLessExact of each column of the current record, worked out once.
    const std::vector<eLESSEXACT>& _tabLessExact();
    // Chooses the columns whose exact forms a SELECT reads after the
    // record's own (named as pszGetFormatedSelectName gives them) and
    // answers their list, each after a ",". A DISTINCT keeps to the forms
    // that tell apart no rows it takes as one. Last comes, for a browse
    // going on under the user's search from a row found again, the
    // server's answer whether each row holds the value searched.
    std::wstring _strServerColumns(int bDistinct);
    // The record's columns in a table's SELECT. In a session of an 8-bit
    // code page, a text whose exact form a write or a browse needs goes as
    // the bytes of its UTF-8 text (m_tabUTF8Column): the driver converts
    // it and tells where its item lost a character, at no cost to the
    // server. Not under DISTINCT, which compares texts by their collation.
    int _bAddSelectColumns(CNACommand* pclCommand, int bDistinct);
    // Whether the result column holds the UTF-8 bytes of a text.
    bool _bReadAsUTF8(unsigned int nColumn) const
    {
        return nColumn < m_tabUTF8Column.size() && m_tabUTF8Column[nColumn];
    }
    // The current row's text of a result column read in UTF-8, as the
    // session would have sent it in its 8-bit code page ("?" for what the
    // page lacks), into m_tabSessionText; *pbNull for NULL. 0 on a failure.
    int _bSessionText(unsigned int nColumn, bool* pbNull);
    // Whether the current row's bytes of the column are its UTF-8 text.
    bool _bTextInUTF8(const CNAColumn* pclColumn) const;
    // A text's exact form from its UTF-8 bytes as read: their literal
    // where the conversion to its item lost a character of the text (to
    // the session's code page for a text read in UTF-8 by an 8-bit
    // session, else to the host's for an 8-bit item), empty where the item
    // holds it whole. A form longer than a statement the session takes is
    // not had (*pbTooLong): a write comparing it would end the session.
    std::wstring _strLostTextForm(const CNAColumn* pclColumn, const char* pszText, unsigned int nLength,
                                  bool* pbTooLong);
    // The literal of a text's bytes in a set; empty, *pbTooLong set, for
    // one longer than a statement the session takes.
    std::wstring _strTextForm(const unsigned char* pBytes, unsigned int nLength, const wchar_t* pszCharset,
                              bool* pbTooLong);
    // Whether a text's exact form is its column's own bytes: its set may
    // hold bytes that read as another row's text.
    bool _bOwnBytes(const CNAColumn* pclColumn) const;
    // The description naming the column's set: a table's as the server
    // describes it; a query's own, which its table's completed before its
    // first result (null: none).
    const CNAItemDescription* _pclCharsetOf(const CNAColumn* pclColumn) const;
    // Whether the source is a query whose columns' sets were asked: only
    // then may a set be unknown.
    bool _bSetsTaken() const;
    // A query's text read from a table's column whose set (pclSet, from
    // _pclCharsetOf) is not known; asked only where _bSetsTaken.
    bool _bCharsetUnknown(const CNAColumn* pclColumn, const CNAItemDescription* pclSet) const;
    // Whether the row's text of the column (its bytes as read) holds a
    // character its set (pclSet, which has some) has several byte forms of.
    bool _bTwinFormsIn(const CNAColumn* pclColumn, const CNAItemDescription* pclSet, const char* pszText,
                       const char* pszEnd) const;
    void _SetRowSearch(CNARecherche* pclSearch);
    // Whether the session takes a text that finds rows by the search's
    // comparisons with the record's values (as read, bOriginal, else its
    // current ones); sent longer, it would end the session: nothing is
    // sent, and the compared item of the longest value is named (user
    // error 53).
    int _bFitsTheSession(const char* pszText, const CNARecherche* pclSearch, bool bOriginal);
    // That item, with the start of its value and its host type; null for
    // none.
    CNAColumn* _pclLongestCompared(const CNARecherche* pclSearch, bool bOriginal, std::wstring* pstrValue,
                                   int* pnValueType);
    // fn's answer, run with the record's values as read in place of its
    // current ones, which come back after it.
    int _bWithOriginalValues(const std::function<int()>& fn);
    // On a table whose best item is a unique key free of NULLs, a write
    // finds its row by that key alone and a browse goes on from its order's
    // terms: only their columns need exact forms (m_tabFormNeeded). Else
    // every column does (empty).
    void _SetFormsNeeded(const wchar_t* pszOrderItem);
    bool _bFormNeeded(size_t nColumn) const
    {
        return m_tabFormNeeded.empty() || (nColumn < m_tabFormNeeded.size() && m_tabFormNeeded[nColumn]);
    }
    // The condition of the user's search as the server compares it, with
    // its values written in; empty when none.
    std::wstring _strUserSearchCondition();
    // The server's texts of the values the row just read holds less
    // exactly, kept in the current record value (empty when the SELECT
    // could not read them). 0 without memory.
    int _bKeepHeldTexts();
    // Whether the item holds "?" for a character of the session's text
    // (given in its bytes) that the host's 8-bit code page lacks.
    static bool _bLostToTheItem(CNAColumn* pclColumn, const char* pszText, unsigned int nLength);
    // The current row's bytes of a result column, which are ASCII for the
    // forms read here; false for NULL or none.
    bool _bServerBytes(unsigned int nColumn, std::wstring* pstrText) const;
    // The Unicode character set those texts are converted to.
    const wchar_t* _pszServerTextCharset() const;
    // The hexadecimal digits of a text of that set as its literal.
    std::wstring _strServerTextLiteral(const wchar_t* pszHexa) const;
    // The same in the set named: "_greek X'AE'".
    static std::wstring s_strTextLiteral(const wchar_t* pszCharset, const wchar_t* pszHexa);
    // The texts of row llRow of the result when it holds the record given,
    // as read or as written since.
    void _KeepServerValues(long long llRow, const CNARecordValue* pclRecord, CNARecherche::ServerValues* ptabOut);
    // The texts and refusals the refresh finds the record of m_nRecordSaveID
    // by.
    void _KeepRefreshServerValues();
    // The original values of the writer's record (or of this statement's).
    const CNARecordValue* _pclWrittenValue(CNAStatement* pclSource) const;
    // Whether the browse item still has, in the current record, the value it
    // has in the statement original record.
    bool _bSameParseValue();
    void _UpdateCurrentRecordNumber();

    // ---- The record-save table ---------------------------------------------------------------------
    // Sized to the result's rows and filled with -1; false when a result of
    // that size cannot have one (a stream) or without memory.
    int _bAllocRecordSaveTable();
    void _FreeRecordSaveTable();

    // ---- Errors ----------------------------------------------------------------------------------------
    // User error 8 of kind 7; 0.
    int _bNotOffered(int nPoint, const wchar_t* pszItem = nullptr);
    int _bNoMemory(int nPoint);
    void _RaiseUserError(int nPoint, unsigned int nUserError, const wchar_t* pszItem);
    void _CopyStatementSQLError();
    void _ReleaseRecordSave(int nId);
    // The table cache's browse without a result while its cache is not
    // complete: its next rows come after the last one held.
    bool _bCacheResultDropped() const;
    void _DropStaleCacheResult();

    // The fields, in order.
    CNAError* m_pclError;                           // 1, one reference
    CNAStatementSQL* m_pclStatementSQL;             // 2, one reference
    unsigned int m_nTieBreak;                       // 3, 1 ascending, 2 descending
    CNADataAccess* m_pclDataAccess;                 // 4, no reference
    INADataSourceDescription* m_piDataSource;       // 5, one external reference
    CTString m_csParseItem;                         // 6
    CTString m_csName;                              // 7
    CNACommand* m_pclCommand;                       // 8, one reference
    CNARecord* m_pclCurrentRecord;                  // 9, one reference
    CNARecordValue* m_pclStmtOriginalRecord;        // 10, one reference, made on demand
    int m_eLockType;                                // 11
    int m_bEndehors;                                // 12
    int m_bFound;                                   // 13
    int m_bHTrouve;                                 // 14
    int m_bParseStarted;                            // 15
    int m_bRecordLost;                              // 16
    int m_eLastDirection;                           // 17
    long long m_llCurrentRecord;                    // 18
    int m_nRecordSaveID;                            // 19, one reference while not -1
    int m_eParseNeedUpdate;                         // 20
    int m_nBlockLimit;                              // 21
    int m_bFirstBlock;                              // 22
    int m_bNextBlock;                               // 23
    long long m_llBlockBase;                        // 24
    long long m_llRepeatCount;                      // 25
    int m_bCurrentRowDeleted;                       // 26
    CNAColumn* m_pclBestColumn;                     // 27, one reference
    unsigned int m_nParseFlags;                     // 28
    int m_bRestoredRow;                             // 29
    int m_bMoreRows;                                // 29
    CNAFilter* m_pclFilter;                         // 30, one reference
    CNAFilterSave m_clFilterSave;                   // 31
    CNAUserSearch m_clUserSearch;                   // 32
    CNARecherche* m_pclRecherche;                   // 33, one reference
    int m_bInternalSearch;                          // 34, the user search taken back
    CNARefHashTable<int, CNAPosition*> m_tabPosition; // 35
    CNARecordCache* m_pclRecordCache;               // 36, one reference
    CNATableCacheIndex* m_pclTableCacheIndex;       // 37, never set before the table cache
    int* m_pnRecordSave;                            // 38, a reference on each save id
    long long m_llRecordSaveSize;                   //     its entries
    int m_nDeletedRows;                             // 39
    int m_bEqualRowsOnly;                           // 40
    int m_bRepeatBackward;                          //     the repeat count's side
    int m_ePastEnd;                                 //     ePastEnd
    // The columns whose exact form the SELECT carries after the record's
    // own, in that order, with their kinds.
    struct SServerColumn {
        CNAColumn* pclColumn;
        eLESSEXACT eKind;
    };
    std::vector<SServerColumn> m_tabServerColumn;
    std::vector<eLESSEXACT> m_tabLessExact;
    std::vector<bool> m_tabFormNeeded;
    std::vector<bool> m_tabUTF8Column;
    // Of those, whether the current row's text lost a character to the
    // session's code page.
    std::vector<bool> m_tabUTF8Lost;
    std::vector<wchar_t> m_tabSessionText; // kept for its room
    unsigned int m_nSessionText = 0;       // its characters
    bool m_bSessionTextNul = false;        // one of them a NUL
    // The SELECT ends with the server's answer to the user's search.
    bool m_bFoundColumn = false;
    // The search whose condition finds the row just read by its values,
    // until the text that holds it is sent (one reference); null for none.
    CNARecherche* m_pclRowSearch = nullptr;
    // The search a browse goes on by from the record's current values,
    // while a CValuesSearch lives (not held).
    CNARecherche* m_pclValuesSearch = nullptr;
    // The server's texts of the times of the record m_nRecordSaveID holds,
    // and its read failure (one reference, or null), which lists the values
    // its items refused.
    CNARecherche::ServerValues m_tabRefreshServerValues;
    CXError* m_pclRefreshRefusals;
};
