// One table or query as one host context sees it: the table object hands
// it the host's file operations. It owns the statements that browse the
// source (one per browse item, by name), the saved positions, the record
// saves, the current record, the whole-table cache and, for a query, the
// digest of the host's parse. Operations of the layers built later answer
// user error 8 of kind 7 in its error object.
#pragma once

#include "access/driver/INAVersion.h"
#include "access/driver/Interf.h"
#include "common/text/RefHashTable.h"
#include "common/text/Tstring.h"

class CAny;
class CNACommand;
class CNAColumn;
class CNAConnectionDescription;
class CNAContext;
class CNADataSourceDescription;
class CNAError;
class CNAFilter;
class CNAIDAuto;
class CNAKXRecord;
class CNAPosition;
class CNARecord;
class CNARecordCache;
class CNARecordCachePosition;
class CNARecordId;
class CNARecordValue;
class CNAStatement;
class CNATable;
class CNATableCache;
class CNATransaction;
class CSQLParserInfo;
class CTString;
class IGaugeControl;
class INAConnectionDescription;
class INADataSourceDescription;
class INAItemDescription;
class INAQueryExecution;
class ISQLParserInformation;

enum _eNA_HMODE : int;
enum eNA_ACCESS : int;
enum eNA_LOCKTYPE : int;
enum eNA_OPERATION : int;
enum eNA_PARSEDIRECTION : int;
enum eNA_PRECISION : int;
enum eNAPOSITION : int;

class CNADataAccess : public CInterf {
public:
    enum : int {
        // Source-file number of the data access in the debug line.
        ERRFILE_DATAACCESS = 3,
    };
    // The host's writable item texts: 255 wide characters, terminator included.
    enum : unsigned int { ITEM_BUFFER_SIZE = 255 };
    // Query mode bits (eNA_QUERYMODE).
    enum : unsigned int {
        QM_WITHOUT_CORRECTION = 0x4,
        QM_MAY_MODIFY = 0x8,
        QM_PREPARE = 0x10,
        QM_INTERNAL = 0x80,
        QM_JOIN = 0x80000000u,
    };
    // Browse and write flags (NA_WRITEPARSEFLAGS) read here.
    enum : unsigned int {
        WPF_TABLE_CACHE = 0x2000,
        WPF_CONTINUE = 0x4000,
        WPF_KEEP_FILTER = 0x8000,
        WPF_NO_RECORD_CACHE = 0x10000,
        WPF_QUERY_ORDER = 0x20000,
        WPF_REFIND = 0x40000,
        WPF_NO_CACHE = 0x100000,
        WPF_NO_CACHES = 0x110000,
    };

    // A reference on the connection and on the error object (the context's),
    // an external one on the description; the table name formatted.
    CNADataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
                  CNAError* pclError);
    CNADataAccess(const CNADataAccess&) = delete;
    CNADataAccess& operator=(const CNADataAccess&) = delete;

    // ---- Virtual operations, in slot order (CInterf's _NotToBeCalled after the
    // destructors) ------------------------------------------------------------------
    // Positions and statements go first, the record-save caches last.
    ~CNADataAccess() override;
    // A memo of the current record, by its index among the memos.
    virtual int bGetBLOB(unsigned int nMemo, CAny* pValue);
    virtual int bSetBLOB(unsigned int nMemo, const CAny* pValue);
    virtual int bExtraitMemo(unsigned int nMemo, const wchar_t* pszFile);
    virtual int bHCreation(const wchar_t* pszPassword, int bDropFirst);
    virtual int bSupprimeFichier();
    virtual int bSupprimeTout();
    virtual int bHCreationSiInexistant(eNA_ACCESS eAccess, const wchar_t* pszPassword);
    virtual int bHOuvre(eNA_ACCESS eAccess, const wchar_t* pszPassword);
    // Statements, positions, table cache and execution statement closed;
    // the description, current record and record saves stay. 1.
    virtual int bHFerme();
    virtual int bHAjoute(unsigned int nFlags, eNA_LOCKTYPE eLock);
    virtual int bHEcrit(long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock);
    virtual int bHSupprime(long long llRecord, eNA_LOCKTYPE eLock);
    virtual int bHModifie(long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock);
    // Refused: user error 8 of kind 7.
    virtual int bHRaye(long long llRecord, eNA_LOCKTYPE eLock);
    virtual int bHLibere();
    // Only record 0, the current record, can be read.
    virtual int bHLit(long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock);
    // The first, last, next or previous record on the item.
    virtual int bHLitxxx(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int n, eNA_LOCKTYPE eLock,
                         eNA_LOCKTYPE* peLock, unsigned int nFlags);
    // Moves by a count of records.
    virtual int bSkipRecord(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, long long llCount, int n,
                            eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags);
    virtual int bHRecherche(const wchar_t* pszItem, const CAny* pValue, int bExact, int nReadOption,
                            eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int bFirst, unsigned int nFlags);
    virtual int bHRecherche(const wchar_t* pszBrowseItem, const wchar_t* pszSearchItem, const CAny* pValue,
                            int bExact, int nReadOption, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int bFirst,
                            unsigned int nFlags);
    virtual int bHAnnuleRecherche(const wchar_t* pszItem);
    // Refused: user error 8 of kind 7, level 2; the out value untouched.
    virtual int bHBloqueFichier(eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock);
    // 1.
    virtual int bHDebloqueFichier();
    // Refused: user error 8 of kind 7, level 2; the out value untouched.
    virtual int bHBloqueNumEnr(long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock);
    // 1.
    virtual int bHDebloqueNumEnr(long long llRecord);
    virtual int bHFiltre(const wchar_t* pszItem, const CAny* pMin, int bMinIncluded, const CAny* pMax,
                         int bMaxIncluded, ISQLParserInformation* piParser);
    virtual int bHSauvePosition(int* pnPosition, const wchar_t* pszItem, eNAPOSITION eOption);
    virtual int bHRetourPosition(int nPosition, wchar_t* pszItem, int bKeep, eNAPOSITION eOption);
    virtual int bHLiberePosition(int nPosition);
    // Sets 0; 1.
    virtual int bHVersion(int* pnVersion);
    // The count of the current browse.
    virtual int bHNbEnr(long long* pllCount, unsigned int nMode, unsigned int nFlags);
    // A record count (mode bit 0x10): -1 the whole browse, 0 to 4 the rows
    // equal to a record on an item (3: those before it in the browse
    // order). A count that cannot be made answers 0 and -1.
    virtual int bGetNbEnr(long long* pllCount, unsigned int nMode, unsigned int nFlags, CNAStatement* pclStatement,
                          int eDirection);
    // Whether a count needs a browse: sets 1; 1.
    virtual int bNbEnrNeedParse(int* pbNeedParse, const wchar_t* pszItem);
    // 0.
    virtual long long llGetRecNum();
    virtual int bGetRecNumState(long long llRecord, unsigned int* pnState);
    // Refused: user error 8 of kind 7; the out value untouched.
    virtual int bHConstruitValCle(CAny* pResult, const wchar_t* pszItem, unsigned int nCount, CAny** ppValues);
    virtual int bExecuteQuery(int* pbHasResult, const wchar_t* pszName, ISQLParserInformation* piParser,
                              unsigned int eMode, const INAQueryExecution* piExecution);
    // The browse SELECT of the statement on the item, with its row limit;
    // a count of rows to skip (may be null) becomes the first fetch step and
    // the rows before it an offset, except for a next block.
    virtual int bBuildSelect(CNACommand* pclCommand, CNAStatement* pclStatement, const wchar_t* pszItem,
                             int bForward, unsigned int nFlags, long long* pllCount);
    // The record-lock hooks: 1, the out value untouched.
    virtual int bLockRecord(CNAStatement* pclStatement, eNA_LOCKTYPE eLock, long long llRecord,
                            eNA_LOCKTYPE* peLock);
    virtual int bUnlockRecord(CNAStatement* pclStatement, eNA_LOCKTYPE eLock, long long llRecord,
                              eNA_LOCKTYPE* peLock);
    virtual int bLockUnlockRecord(CNAStatement* pclStatement, eNA_LOCKTYPE eLock, long long llRecord,
                                  eNA_LOCKTYPE* peLock);
    // 1.
    virtual int bHReindexe(unsigned int nOptions, IGaugeControl* piGauge);
    // The description read from the database (one reference), or null.
    virtual CNADataSourceDescription* pclGetDataSourceDescriptionFromDB(const wchar_t* pszName, int n);
    // The identity kind of the record values: 1 the record image.
    virtual int eEvaluateRecordIdType();
    virtual int bHChangeCle(const wchar_t* pszItem, unsigned int nFlags);
    // The current values become the record read; the own record save is
    // given up unless kept.
    virtual int bSetCurrentRecordRead(int bKeepSave);
    virtual int bFichierExiste(int* pbExists, int* pbCompatible);
    // A new position (count 0), or null.
    virtual CNAPosition* pclAllocPosition();
    // The kind held, else the connection's kind of the server error.
    virtual eNA_ERRORTYPE eGetNAErrorType();
    // Called when the data access is filed in a context; no reference.
    virtual void SetContext(CNAContext* pclContext);
    // Nothing.
    virtual void CancelRecordLock(INAConnectionDescription* piConnection, CNATransaction* pclTransaction);
    // 1.
    virtual int bSetFiltreAuto(int nMode, const wchar_t* pszName, const wchar_t* pszOtherName,
                               INADataSourceDescription* piDescription);
    // Nothing.
    virtual void SetFiltreAuto(int nMode);
    // The driver's statement (count 0) for the owner.
    virtual CNAStatement* _pclAllocStatement(CNADataAccess* pclOwner, CNAError* pclError);
    virtual CNADataSourceDescription* _pclAllocDataSource(CNAConnectionDescription* pclConnection, CNAError* pclError);
    // A new record (count 0) of this data access.
    virtual CNARecord* _pclAllocRecord(CNAError* pclError);
    virtual CNAIDAuto* _pclAllocIDAuto();
    // The unnamed statement moved to the record; a row gone since becomes
    // the current record marked deleted.
    virtual int _bMove(long long llRecord, int n);
    virtual int _bSetBLOB(INAItemDescription* piItem, const CAny* pValue);
    virtual int _bHAttacheMemo(INAItemDescription* piItem, const wchar_t* pszFile);
    // A started browse marked for re-execution; the pending cause.
    virtual int _SetTransactionTermined(CNAStatement* pclStatement);
    // Makes or completes the current record.
    virtual int _bInitCurrentRecord();
    virtual void _Close();
    virtual int _bOperation(CNAStatement* pclStatement, int eType, unsigned int nFlags,
                            CNARecordValue* pclOriginal);
    // -1.
    virtual long long _nGetSequenceCurrentVal(CNAColumn* pclColumn);
    // The first value of the command's result, run on the statement.
    virtual int _bGetRequestedValue(CNAStatement* pclStatement, CAny* pValue, CNACommand* pclCommand);
    // 0 is the current record; any other number: user error 18.
    virtual int _bIsValidRecordNumber(long long llRecord);
    // The browse engine: reads or reopens the statement's result and
    // fetches; *pllMoved (may be null) the rows crossed when a skip runs out.
    virtual int _bFetch(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection, long long llCount, int n,
                        eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags, int bRestart,
                        long long* pllMoved);
    // The host's read on: a browse that ran past its last row one way
    // stays there, asking the server nothing, until something changes.
    int _bReadOn(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection, long long llCount, int n,
                 eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags, int bRestart, long long* pllMoved);
    virtual int _bHCreation(int bDrop, int bCreate);
    virtual int _bSupprimeTout();
    // Installs the description of a query's result (one external
    // reference); the items are reconciled with the data access's.
    virtual int _SetImportedDataSourceDesc(CNADataSourceDescription* pclDescription);
    // Nothing.
    virtual void _vUpdateRecordInCacheLock(unsigned int nFlags);
    virtual int _bGetUniqueIndexName(CNAColumn* pclColumn, CTString* pclName);
    // 0.
    virtual int _bUpdateIdAutoAfterInsertFailure(CNAColumn* pclColumn);
    virtual int _bHModifie(long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock, CNARecordValue* pclOriginal);
    virtual int _bHAjoute(unsigned int nFlags, eNA_LOCKTYPE eLock);
    // The current values become the data access's own record save.
    void _KeepOwnRecordSave();
    // The browse-retry hook: 0, no retry.
    virtual int _bRepriseErreurParcours(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection,
                                        eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags);
    virtual int _bCompareTablePosition(CNAPosition* pclPosition1, CNAPosition* pclPosition2, int* pbSame);
    virtual int _bCheckRecordSaveID(CNAPosition* pclPosition1, CNAPosition* pclPosition2, int* pbSame);
    // 0: cannot tell.
    virtual int _bCheckReccordId(CNAPosition* pclPosition1, CNAPosition* pclPosition2, int* pbSame);
    // A new table cache (no reference) kept as the table cache.
    virtual void _AllocTableCache();

    // ---- Set-up -----------------------------------------------------------------------
    // The owning table; no reference.
    void SetTable(CNATable* pclTable) { m_pclTable = pclTable; }
    CNATable* pclGetTableNoRef() const { return m_pclTable; }
    // The context's number; 0 without a context.
    unsigned int dwGetContextID() const;
    // Another data access of the context on the same connection and
    // database table, with a reference; null.
    CNADataAccess* pclFindDataAccessByDBTableName(const wchar_t* pszName);

    // ---- Descriptions and names -------------------------------------------------
    // The description's logical name ("" without one).
    const wchar_t* pszGetLogicalName() const;
    // The table's name in the database ("" without a description).
    const wchar_t* pszGetDBTableName() const;
    // That name formatted for SQL.
    const wchar_t* pszGetFormatedTableName();
    // With one external reference added, or null.
    INADataSourceDescription* piGetDataSourceDescription() const;
    INADataSourceDescription* piGetDataSourceDescriptionNoRef() const { return m_piDescription; }
    // With one external reference added, or null.
    CNADataSourceDescription* pclGetImportedDataSourceDesc() const;
    CNADataSourceDescription* pclGetImportedDataSourceDescNoRef() const { return m_pclImportedDescription; }
    // For a table its description, for a query a clone made once; one
    // external reference for the caller; null.
    INADataSourceDescription* piGetDataSourceDescriptionForKX();
    // The description's item (one external reference), or null.
    INAItemDescription* piGetItemDescription(const wchar_t* pszName) const;
    INAItemDescription* piGetBestParseItemDesc() const;
    // The best browse item's name ("" without one).
    const wchar_t* pszGetBestParseItemName() const;
    void _SetDataSource(INADataSourceDescription* piDescription);
    void _FreeDataSource();
    const wchar_t* pszGetAliasName() const { return m_csAliasName.pszGet(); }
    CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
    CNAContext* pclGetContext() const { return m_pclContext; }
    CNAError* pclGetError() const { return m_pclError; }

    // ---- State --------------------------------------------------------------------------
    int bIsOpened() const { return m_bOpened; }
    // Asks the database until a compatible answer, then remembers it.
    int bCheckCompatibilityWithDatabase();
    // Whether the record identity is a row id.
    int bSupportROWID();
    // Records the host's lock mode; 1.
    int bHMode(_eNA_HMODE eMode);
    int eGetHMode() const { return m_eHMode; }
    int bSourceIsQuery() const { return m_bSourceIsQuery; }
    CSQLParserInfo* pclGetQueryParserInfoNoRef() const { return m_pclQueryParserInfo; }
    unsigned int eGetQueryMode() const { return m_eQueryMode; }
    int eGetNextOperation() const { return m_eNextOperation; }
    int nGetOwnRecordSave() const { return m_nOwnRecordSave; }
    // The largest row length of the statements' results, raised by them.
    unsigned int nGetRowMaxLen() const { return m_nRowMaxLen; }
    void RaiseRowMaxLen(unsigned int n)
    {
        if (n > m_nRowMaxLen)
            m_nRowMaxLen = n;
    }

    // ---- Statements ---------------------------------------------------------------------
    // The statement of the name (the memo first), with a reference; null.
    CNAStatement* _pclFindStatement(const wchar_t* pszName);
    // A new statement filed under the name, its browse item the name; with
    // a reference for the caller; null.
    CNAStatement* _pclInitStatement(const wchar_t* pszName);
    // The item's statement, found or made, becomes the last statement; with
    // 0x8000 the filter follows from the previous one. With a reference.
    CNAStatement* _pclGetNewItemStatement(const wchar_t* pszItem, int eDirection, unsigned int nFlags);
    // The last statement, else the best item's made the last; a reference.
    CNAStatement* _pclGetLastStatement();
    CNAStatement* pclGetLastStatementNoRef() const { return m_pclLastStatement; }
    // The unnamed statement, found or made; a reference.
    CNAStatement* _pclGetQueryStatement();
    // The statement's SELECT built and run; its record cache chosen.
    int _bOpenStatement(CNAStatement* pclStatement, const wchar_t* pszItem, int bForward, unsigned int nFlags,
                        long long* pllCount, int ePrepare);
    // The driver's command (count 0) on this data access's error and
    // connection; the argument is not used.
    CNACommand* pclAllocCommand(CNAError* pclError);
    // After a statement ran a query: the description of its result.
    int bInitImportedDataSourceDesc(CNAStatement* pclStatement);
    // A statement that closes: a table cache it browses goes.
    void ClosingStatement(CNAStatement* pclStatement);
    void _CloseAllStatement();
    // The number of statements filed.
    unsigned int nGetStatementCount() const { return m_tabStatement.dwGetNumElement(); }

    // ---- Table cache ---------------------------------------------------------------------
    int bHasTableCache() const { return m_pclTableCache != nullptr; }
    CNATableCache* pclGetTableCacheNoRef() const { return m_pclTableCache; }
    // A new table cache in place of the old one; 0 with the no-memory error.
    int _bCreateNewTableCache(CNAStatement* pclStatement);
    void _FreeTableCache();
    // 1.
    int bFreeCache();

    // ---- Reading and browsing -------------------------------------------------------------
    int bMove(long long llRecord, int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock);
    // The host's answer to a read that answered bResult: 0, with the
    // record's failure, when it landed on a record holding a server value
    // that an item cannot take; the browse stays on that record.
    int bHostRead(int bResult);
    // The statement's browse put back on its original record.
    int _bUpdateParse(int bRestoreAfter, CNAStatement* pclStatement, int n, int eDirection, long long llCount,
                      long long* pllMoved);
    // A browse restarted after an error.
    int _bRelanceParcoursSurErreur(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection,
                                   eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags);
    int bEvalHTrouve(const wchar_t* pszItem, int* pbFound, int* pbInRange);
    int bHEndehors(const wchar_t* pszItem, int* pbOutOfRange);
    int bSetNextOperation(eNA_OPERATION eOperation);
    // 0.
    int _bInvertFetch(CNAStatement* pclStatement, int eDirection);
    // Whether a browse on the item may read a block of rows at a time: its
    // order is exact on a unique key. 0 for an item not described.
    int _bEnableRecordLimit(const wchar_t* pszItem);
    // A real number, or a composite key with a real number among its parts.
    static bool _bHoldsRealNumber(INAItemDescription* piItem);

    // ---- The current record ---------------------------------------------------------------
    // With one reference added; null before the first open.
    CNARecord* pclGetCurrentRecord() const;
    CNARecord* pclGetCurrentRecordNoRef() const { return m_pclCurrentRecord; }
    void _SetCurrentRecord(CNARecord* pclRecord);
    void _FreeCurrentRecord();
    // The current record's buffer with a reference for the host.
    int bGetRecord(CNAKXRecord** ppRecord) const;
    // The host's buffer copied in; its reference dropped on success.
    int bSetRecord(CNAKXRecord* pclRecord);
    int _bUpdateChangedTypeInCurrentRecord();
    const wchar_t* _pszGetDefaultParseItem();
    // The database table an item of the query comes from (an alias read as
    // its FROM entry's table), formatted for SQL when asked; out is left as
    // it was without a source name, or without a table behind the alias.
    void _GetDBSourceName(INAItemDescription* piItem, CTString* pclOut, int bFormat);
    // The first item that needs a value and has none (external
    // reference); null.
    INAItemDescription* piGetNullItemDesc(int n);
    int _bGetRequestedValue(CAny* pValue, CNACommand* pclCommand);
    // A new identity (count 0) of the kind eEvaluateRecordIdType names over
    // the record value; null for another kind or on failure.
    CNARecordId* pclAllocRecordID(const CNARecordValue* pclValue);

    // ---- Saved positions ----------------------------------------------------------------
    // The position of the number, with a reference; null.
    CNAPosition* _pclFindPosition(int nPosition);
    int _bGetPosition(int* pnPosition, const wchar_t* pszItem, eNAPOSITION eOption);
    int _bSetPosition(wchar_t* pszItem, int nPosition, int bKeep, eNAPOSITION eOption);
    int _bRestorePositionStatement(CNAPosition* pclPosition, eNAPOSITION eOption);
    // The record a return brought back, asked of the server: a row gone
    // since (another context or session deleted it) is taken as deleted
    // here, the current record no longer shows its values and the browse's
    // found state goes off; the browse reads on from the row's place.
    int _bCheckReturnedRecord(CNAStatement* pclStatement);
    // While one lives, returns are the driver's own (a browse put back after
    // a cache was filled): their record is not asked of the server.
    class COwnReturns {
    public:
        explicit COwnReturns(CNADataAccess* p) : m_p(p)
        {
            if (m_p != nullptr)
                m_p->m_nOwnReturns++;
        }
        ~COwnReturns()
        {
            if (m_p != nullptr)
                m_p->m_nOwnReturns--;
        }
        COwnReturns(const COwnReturns&) = delete;
        COwnReturns& operator=(const COwnReturns&) = delete;

    private:
        CNADataAccess* m_p;
    };
    int _bFreePosition(int nPosition);
    // Every position freed; 1.
    int _bDeleteAllSavedPosition();
    int bHPositionCourante(int* pnPosition, const wchar_t* pszItem, eNA_PRECISION ePrecision);
    int bHPositionne(const wchar_t* pszItem, unsigned int nPosition, eNA_PRECISION ePrecision, unsigned int nFlags);
    int bCompareTablePosition(int nPosition1, int nPosition2, int* pbSame);
    int _bCheckRowId(CNAPosition* pclPosition1, CNAPosition* pclPosition2, int* pbSame);
    int _bGetItemValueInRecordSave(CAny* pValue, int nRecordSaveId, INAItemDescription* piItem);
    unsigned int nGetPositionCount() const { return m_tabPosition.dwGetNumElement(); }
    // The number of the next saved position, for the whole process; read
    // and moved only under the driver mutex.
    static int ms_nPositionID;

    // ---- Searches and filters ----------------------------------------------------------
    // The browse item chosen for the condition is written to pszItem.
    int bHFiltre(ISQLParserInformation* piParser, wchar_t* pszItem);
    int bHActiveFiltre(const wchar_t* pszItem);
    int bHDesactiveFiltre(const wchar_t* pszItem);
    // The filter held with a reference (null allowed).
    void SetLatestFilter(CNAFilter* pclFilter);
    CNAFilter* pclGetLatestFilterNoRef() const { return m_pclLatestFilter; }
    void _DesactivateAllFilter();
    // The active filter of one statement given to the other; 1.
    int _bKeepFilter(CNAStatement* pclFrom, CNAStatement* pclTo);
    int _bChangeStatementKey(const wchar_t* pszNewKey, const wchar_t* pszOldKey, CNAStatement* pclStatement);
    int _bUpdateCurrentParsePosition(int n, CNAStatement* pclStatement);

    // ---- Writes -------------------------------------------------------------------------------
    int _bBuildAndExecuteQuery(CNAStatement* pclStatement, int eType, unsigned int nFlags);
    int _bProcessError(CNACommand* pclCommand, CNAStatement* pclStatement, int eType, unsigned int nFlags);
    // A CREATE TABLE refused for a text column beyond the server's maximum,
    // sent once more with the large-text types; 1 when that succeeded.
    int _bRetryCreateWithLargeTexts(CNACommand* pclCommand, CNAStatement* pclStatement);
    int _bUpdateRecordAfterInsert(CNAStatement* pclStatement, int eType, unsigned int nFlags);
    void NotifyOperation(int eType, CNAStatement* pclStatement, unsigned int nFlags);
    void _NotifyOperation(int eType, CNAStatement* pclStatement, unsigned int nFlags, CNARecordValue* pclOriginal);
    // The row of the original values' identity marked deleted; its index or -1.
    int nSetRecordDeletedInCache(CNARecordCache* pclCache);
    // The current and original values handed to the cache as an update.
    int nUpdateRecordInCache(unsigned int nFlags, CNARecordCache* pclCache);
    int _bCheckAndCorrectKXRecordValues();
    INAItemDescription* piGetDuplicateItem(int bForInsert);
    int bIsDuplicateItem(int bForInsert, CNAColumn* pclColumn);
    int __bDuplicateItem(INAItemDescription* piItem, CNAStatement* pclStatement);
    int _bInitErrorDuplicateItemName(int eType);
    int _bInitErrorNeedItemValueItemName(int eType);
    // The auto-increment object, made on first use, with a reference.
    CNAIDAuto* pclGetIDAuto();
    // A new auto-increment value into the record's column; 1 without one.
    int bSetNewAutoId();
    INAItemDescription* pclGetIdAutoItem();

    // ---- Record saves, by id in the record-save cache (-1 none) -------------------
    // A save of the values; no reference taken (each holder adds its own).
    int _nKeepRecordSave(const CNARecordValue* pclValue);
    int nKeepCurrentRecordSave();
    // The statement's original record, or without statement the current
    // record's original values; -1 when there are none or no buffer.
    int nKeepOriginalRecordSave(CNAStatement* pclStatement);
    void AddRefRecordSave(int nId);
    // The count left; at 0 the save is given up.
    int nReleaseRecordSave(int nId);
    int bCopySaveToRecord(int nId, CNARecordValue* pclValue);
    int bRestoreOriginalRecordSave(int nId);
    int bRestoreOriginalRecordSave(CNAStatement* pclStatement);
    int bRecordDeleted(int nId);
    int bCopyOriginalRecordToCurrentRecord();
    // Releases both record-save caches; the saves answer nothing after.
    void _FreeSavedRecordCache();
    CNARecordCachePosition* pclGetRecordSaveCacheNoRef() const { return m_pclRecordSaveCache; }

    // ---- Finding a record again ----------------------------------------------------------
    // The statement put back on its own original record, then moved in the
    // direction by the count.
    int bGoToStmtOriginalRecord(int bRestoreAfter, CNAStatement* pclStatement, int n, int eDirection,
                                long long llCount, long long* pllMoved);
    // The statement put back on the current original values.
    int bGoToOriginalRecord(int bRestoreAfter, CNAStatement* pclStatement, int n, int eDirection, long long llCount,
                            long long* pllMoved);
    int _bGoToOriginalRecord(int bRestoreAfter, CNAStatement* pclStatement, INAItemDescription* piItem, int n,
                             int eDirection, long long llCount, long long* pllMoved);
    int _bGoToCurrentRecord(CNAStatement* pclStatement, INAItemDescription* piItem, int n, int eDirection,
                            long long llCount, long long* pllMoved);
    // The move adjusted for the rows equal to the current one on the best
    // browse item (the row's 0-based rank among them is given, counted from
    // the last of them when gathered reading backward).
    int _bGotoCurrentRecord_DuplicateProcess(long long llRank, int bRankBackward, int* peDirection,
                                             long long* pllCount);
    // A rank gathered reading backward as the place from the first of T
    // equal rows; one past them all stays before the first.
    static long long s_llRankFromFirst(long long llRank, int bRankBackward, long long llTotal);
    // The adjustment alone, for a total of T equal rows.
    static void s_DuplicateMove(long long llRank, long long llTotal, int* peDirection, long long* pllCount);

    // ---- Queries --------------------------------------------------------------------------
    // An internal query (mode 0x84); its statement with a reference when
    // it has result columns, else null.
    int bExecuteQueryInternal(CNAStatement** ppclStatement, const wchar_t* pszName, const wchar_t* pszSQL);
    int _bExecuteQuery(int* pbHasResult, const wchar_t* pszName, unsigned int eMode, const wchar_t* pszSQL,
                       ISQLParserInformation* piParser, const INAQueryExecution* piExecution);
    int _bInitQuery(CNACommand** ppclCommand, CTString* pclParseItem, const wchar_t* pszName, unsigned int eMode,
                    const wchar_t* pszSQL, ISQLParserInformation* piParser, const INAQueryExecution* piExecution);
    int _bSetQuery(int bQuery, const wchar_t* pszName, ISQLParserInformation* piParser, unsigned int eMode);
    // Once for the query's description: its text items that read a table's
    // column take its set from the table's description, the host's when
    // the driver read it, else read once a table; an item whose table
    // cannot be read keeps none.
    void TakeColumnSets();
    int bColumnSetsTaken() const { return m_bColumnSetsTaken; }
    int _bExecuteQuery(CNAStatement** ppclStatement, CNACommand* pclCommand, const wchar_t* pszName, int bPrepared,
                       unsigned int eMode);
    int _bInitQueryParse(int* pbHasResult, CNAStatement* pclStatement, const wchar_t* pszParseItem,
                         unsigned int eMode);
    int _bInitParcoursRequete(CNAStatement* pclStatement);
    void _SetExecutionStatement(CNAStatement* pclStatement);
    CNAStatement* pclGetExecutionStatementNoRef() const { return m_pclExecutionStatement; }
    void _FreeQueryParserInfo();
    void _RAZPrepare() { m_eQueryMode &= ~static_cast<unsigned int>(QM_PREPARE); }
    int bHPrepareRequeteCalled() const;
    int bRequeteAPreparer() const;
    int bRequeteAutoriseModifierFichier() const;
    // A query sent as written.
    int bRequeteSansCorrection() const;
    // A rewritten query whose text limits its own result.
    int bQueryResultsetLimited();
    int eSourceQueryType() const;
    // A query whose FROM names more than one table.
    int bSourceIsQueryOnMultipleTables() const;
    int bSameQuery(ISQLParserInformation* piParser);
    int bFindBestItem(ISQLParserInformation* piParser, wchar_t* pszItem);
    void SetTransactionTermined();
    // What the browses hold no longer matches the server: the table cache
    // goes and every started browse is read again from the server.
    void ReloadFromServer();
    // Whether the two read a table in common (a query: any table of its
    // FROM clause; a query whose tables are not known shares them all).
    int bSharesTableWith(const CNADataAccess* pclOther) const;
    int bIsQueryParsePending() const { return m_bQueryParsePending; }

    // ---- Files, indexes and imported descriptions ----------------------------------------
    int _bCreateIndex(CNAStatement* pclStatement, int nOptions);
    int _bGetGeneratedIndexName(CNAColumn* pclColumn, CTString* pclName);
    int _bSupprimeTout_HSupprime();
    // The imported item of each column's name given to the column.
    int _bInitCurrentRecord_SetImportedItemDesc();
    // The alias table names of the columns from the description's sources.
    void _InitAliasFichierColonne(INADataSourceDescription* piDescription);
    void _SetAliasNameFromContext();

    // ---- Memos and counts ---------------------------------------------------------------------
    int bHAttacheMemo(unsigned int nMemo, const wchar_t* pszFile);
    // A count served without COUNT when the caches can; 0 otherwise.
    int _bGetNbEnrOptimized(long long* pllCount, unsigned int nMode, unsigned int nFlags, CNAStatement* pclStatement,
                            int eDirection);

    // ---- A write seen by a record cache ------------------------------------------------
    // (nSetRecordDeletedInCache, nUpdateRecordInCache above)

protected:
    // The counter's number, or the first one after it (1 past INT_MAX) not
    // filed here: never 0 nor negative.
    int _nFreePositionID() const;
    // User error 8 of kind 7 in the error object, the logical table name
    // as its table; 0.
    int _bNotBuilt(int nPoint);
    // A user error of this file with the logical table name and the item.
    void _RaiseUserError(int nPoint, unsigned int nUserError, const wchar_t* pszItem, eNA_ERRORTYPE eType);
    // The defaults and the two record-save caches.
    void __Init();
    // The database table name formatted for SQL; left empty without memory.
    void _FormatTableName();
    // Positions, statements, filter, caches, digest, record and
    // descriptions given back.
    void _ResetDataAccess();
    // Both record-save caches emptied.
    void _ResetRecordCache();
    // A refused operation: user error 8 of kind 7, at level 2 when asked; 0.
    int _bRefuse(int nPoint, int bLevelTwo);
    // A record count by COUNT on the unnamed statement.
    int _bCount(long long* pllCount, unsigned int nMode, unsigned int nFlags, CNAStatement* pclStatement,
                int eDirection);
    // A query's output column that the server computes.
    int _bQueryItemComputed(const INAItemDescription* piItem) const;
    // The table cache's answers, made with its class.
    void _TableCacheAddRef();
    void _ReleaseTableCache();
    int _bTableCacheSetStatementParse(CNAStatement* pclStatement);
    int _bTableCacheIsParse(CNAStatement* pclStatement);
    int _bTableCacheCompleted();
    int _bTableCacheInitDone();
    int _bTableCacheFullCache();
    long long _llTableCacheRecordNbrActive();

    // The fields, in order.
    CNAError* m_pclError;                              // one reference
    CNARecord* m_pclCurrentRecord;                     // one reference, or null
    CNAConnectionDescription* m_pclConnection;         // one reference
    INADataSourceDescription* m_piDescription;         // one external reference, or null
    INADataSourceDescription* m_piHostClone;           // a query's clone, one external reference, or null
    CNADataSourceDescription* m_pclImportedDescription; // one external reference, or null
    int m_bOpened;
    CRefStringHashTable<CNAStatement*> m_tabStatement; // one reference each
    int m_eNextOperation;
    CNAIDAuto* m_pclIDAuto;                            // one reference, or null
    CNAStatement* m_pclLastStatement;                  // borrowed from the table
    CSQLParserInfo* m_pclQueryParserInfo;              // one reference, or null
    unsigned int m_eQueryMode;
    CTString m_csQueryParseItem;
    int m_bSourceIsQuery;
    int m_bCompatible;
    int m_nNotifyOptions;
    int m_nIndexOptions;
    CTString m_csFormatedTableName;
    int m_eHMode;
    CNATable* m_pclTable;                              // borrowed
    CNAContext* m_pclContext;                          // borrowed
    CNAFilter* m_pclLatestFilter;                      // one reference, or null
    CRefHashTable<int, CNAPosition*> m_tabPosition;    // one reference each
    CNARecordCachePosition* m_pclRecordSaveCache;      // one reference, or null
    CNARecordCachePosition* m_pclRecordSaveCache2;     // one reference, or null
    int m_nOwnRecordSave;                              // one reference held while not -1
    CNATableCache* m_pclTableCache;                    // one reference, or null
    int m_bQueryParsePending;
    CNAStatement* m_pclExecutionStatement;             // one reference, or null
    CTString m_csAliasName;
    unsigned int m_nRowMaxLen;
    int m_nOwnReturns;                                 // COwnReturns alive
    int m_bColumnSetsTaken;                            // for the description held
};
