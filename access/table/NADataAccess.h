// One table or query as one host context sees it: the table object hands
// it the host's file operations. What the driver core, the contexts and the
// statements reach is declared so far; until the data access is built, its
// other operations answer user error 8 of kind 7 in its error object.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"

class CNACommand;
class CNAConnectionDescription;
class CNAContext;
class CNADataSourceDescription;
class CNAError;
class CNAFilter;
class CNAIDAuto;
class CNARecord;
class CNARecordCache;
class CNARecordCachePosition;
class CNARecordId;
class CNARecordValue;
class CNAStatement;
class CNATableCache;
class CSQLParserInfo;
class CTString;
class INADataSourceDescription;
class INAItemDescription;

enum _eNA_HMODE : int;
enum eNA_LOCKTYPE : int;
enum eNA_PARSEDIRECTION : int;
enum eNAPOSITION : int;

class CNADataAccess : public CInterf {
public:
    enum : int {
        // Source-file number of the data access in the debug line.
        ERRFILE_DATAACCESS = 3,
    };
    // Query mode bits.
    enum : unsigned int {
        QM_WITHOUT_CORRECTION = 0x4,
        QM_JOIN = 0x80000000u,
    };

    // A reference on the connection and on the error object (the context's),
    // an external one on the description.
    CNADataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
                  CNAError* pclError);
    CNADataAccess(const CNADataAccess&) = delete;
    CNADataAccess& operator=(const CNADataAccess&) = delete;

    // ---- Virtual operations ------------------------------------------------------
    ~CNADataAccess() override;
    // The host's file close.
    virtual int bHFerme();
    // A record count (mode bit 0x10): -1 the whole browse, 0 to 4 the rows
    // equal to a record on an item. Counting comes with the data access.
    virtual int bGetNbEnr(long long* pllCount, unsigned int nMode, unsigned int nFlags, CNAStatement* pclStatement,
                          int eDirection);
    // The browse SELECT of the statement on the item, with its row limit;
    // a count of rows to skip (may be null) becomes the first fetch step and
    // the rows before it an offset, except for a next block.
    virtual int bBuildSelect(CNACommand* pclCommand, CNAStatement* pclStatement, const wchar_t* pszItem,
                             int bForward, unsigned int nFlags, long long* pllCount);
    // The identity kind of the record values: 1 the record image.
    virtual int eEvaluateRecordIdType();
    // The current values become the record read; the own record save is
    // given up unless kept.
    virtual int bSetCurrentRecordRead(int bKeepSave);
    // Called when the data access is filed in a context; no reference.
    virtual void SetContext(CNAContext* pclContext);
    // The driver's statement (count 0) for the owner.
    virtual CNAStatement* _pclAllocStatement(CNADataAccess* pclOwner, CNAError* pclError);
    virtual CNADataSourceDescription* _pclAllocDataSource(CNAConnectionDescription* pclConnection, CNAError* pclError);
    // A new record (count 0) of this data access.
    virtual CNARecord* _pclAllocRecord(CNAError* pclError);
    virtual CNAIDAuto* _pclAllocIDAuto();
    // The browse engine: reads or reopens the statement's result and
    // fetches; *pllMoved (may be null) the rows crossed when a skip runs
    // out. Comes with the data access.
    virtual int _bFetch(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection, long long llCount, int n,
                        eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags, int bRestart,
                        long long* pllMoved);
    // Installs the description of a query's result (one external
    // reference); the items are reconciled with the data access.
    virtual void _SetImportedDataSourceDesc(CNADataSourceDescription* pclDescription);
    // Reads, moves and positions on a browse item. They come with the data
    // access.
    virtual int bHLitxxx(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int n, eNA_LOCKTYPE eLock,
                         eNA_LOCKTYPE* peLock, unsigned int nFlags);
    virtual int bSkipRecord(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, long long llCount, int n,
                            eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags);
    virtual int bHSauvePosition(int* pnPosition, const wchar_t* pszItem, eNAPOSITION eOption);
    virtual int bHRetourPosition(int nPosition, wchar_t* pszItem, int bKeep, eNAPOSITION eOption);
    // A new table cache (no reference) kept as the table cache.
    virtual void _AllocTableCache();

    // Records the host's lock mode; 1.
    int bHMode(_eNA_HMODE eMode);
    int bIsOpened() const { return m_bOpened; }
    // The description's logical name ("" without one).
    const wchar_t* pszGetLogicalName() const;
    // The table's name in the database ("" without a description).
    const wchar_t* pszGetDBTableName() const;
    // That name formatted for SQL.
    const wchar_t* pszGetFormatedTableName();
    // With one external reference added, or null.
    INADataSourceDescription* piGetDataSourceDescription() const;
    CNADataSourceDescription* pclGetImportedDataSourceDescNoRef() const { return m_pclImportedDescription; }
    const wchar_t* pszGetAliasName() const { return m_csAliasName.pszGet(); }
    CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
    CNAContext* pclGetContext() const { return m_pclContext; }
    CNAError* pclGetError() const { return m_pclError; }
    int eGetHMode() const { return m_eHMode; }
    int bSourceIsQuery() const { return m_bSourceIsQuery; }
    CSQLParserInfo* pclGetQueryParserInfoNoRef() const { return m_pclQueryParserInfo; }
    unsigned int eGetQueryMode() const { return m_eQueryMode; }
    // A query sent as written.
    int bRequeteSansCorrection() const;
    // A rewritten query whose text limits its own result.
    int bQueryResultsetLimited();
    // A query whose FROM names more than one table.
    int bSourceIsQueryOnMultipleTables() const;
    // The database table an item of the query comes from, formatted for
    // SQL when asked; out is left as it was without a source name.
    void _GetDBSourceName(INAItemDescription* piItem, CTString* pclOut, int bFormat);
    // Whether a browse on the item may read a block of rows at a time: its
    // order is exact on a unique key. 0 for an item not described.
    int _bEnableRecordLimit(const wchar_t* pszItem);

    // ---- Statements ----------------------------------------------------------------
    // The driver's command (count 0) on this data access's error and
    // connection; the argument is not used.
    CNACommand* pclAllocCommand(CNAError* pclError);
    // After a statement ran a query: the description of its result.
    int bInitImportedDataSourceDesc(CNAStatement* pclStatement);
    // A statement that closes: a table cache it browses goes.
    void ClosingStatement(CNAStatement* pclStatement);
    // The auto-increment object, made on first use, with a reference.
    CNAIDAuto* pclGetIDAuto();
    // A new auto-increment value into the record's column; 1 without one.
    int bSetNewAutoId();

    // ---- Table cache and latest filter -----------------------------------------------------
    int bHasTableCache() const { return m_pclTableCache != nullptr; }
    CNATableCache* pclGetTableCacheNoRef() const { return m_pclTableCache; }
    // A new table cache in place of the old one; 0 with the no-memory error.
    int _bCreateNewTableCache(CNAStatement* pclStatement);
    // Every statement gives up its index, then the table cache goes.
    void _FreeTableCache();
    // The host's cache release; 1.
    int bFreeCache();
    // One reference on the filter, or null.
    void SetLatestFilter(CNAFilter* pclFilter);
    CNAFilter* pclGetLatestFilterNoRef() const { return m_pclLatestFilter; }

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
    // browse item (the row's 0-based rank among them is given).
    int _bGotoCurrentRecord_DuplicateProcess(long long llRank, int* peDirection, long long* pllCount);
    // The adjustment alone, for a total of T equal rows.
    static void s_DuplicateMove(long long llRank, long long llTotal, int* peDirection, long long* pllCount);

    // ---- Identities and the current record --------------------------------------
    // A new identity (count 0) of the kind eEvaluateRecordIdType names over
    // the record value; null for another kind or on failure.
    CNARecordId* pclAllocRecordID(const CNARecordValue* pclValue);
    // With one reference added; null before the first open.
    CNARecord* pclGetCurrentRecord() const;
    CNARecord* pclGetCurrentRecordNoRef() const { return m_pclCurrentRecord; }
    void _SetCurrentRecord(CNARecord* pclRecord);
    void _FreeCurrentRecord();

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
    int nGetOwnRecordSave() const { return m_nOwnRecordSave; }

    // ---- A write seen by a record cache ------------------------------------------------
    // The row of the original values' identity marked deleted; its index or -1.
    int nSetRecordDeletedInCache(CNARecordCache* pclCache);
    // The current and original values handed to the cache as an update.
    int nUpdateRecordInCache(unsigned int nFlags, CNARecordCache* pclCache);

protected:
    // User error 8 of kind 7 in the error object; 0.
    int _bNotBuilt(int nPoint);
    // The defaults and the two record-save caches.
    void __Init();
    // The database table name formatted for SQL; left empty without memory.
    void _FormatTableName();
    // Every statement of the table drops its table-cache index. The
    // statements are filed with the data access; nothing to do before.
    virtual void _DestroyCacheIndexes();

    CNAError* m_pclError;                      // one reference
    CNARecord* m_pclCurrentRecord;             // one reference, or null
    CNAConnectionDescription* m_pclConnection; // one reference
    INADataSourceDescription* m_piDescription; // one external reference
    CNADataSourceDescription* m_pclImportedDescription; // one external reference, or null
    CNAContext* m_pclContext;                  // borrowed
    CTString m_csAliasName;
    int m_bOpened;
    CNAIDAuto* m_pclIDAuto;                    // one reference, or null
    CSQLParserInfo* m_pclQueryParserInfo;      // a query's digest, or null
    unsigned int m_eQueryMode;
    int m_bSourceIsQuery;
    CTString m_csFormatedTableName;
    int m_eHMode;
    CNARecordCachePosition* m_pclRecordSaveCache;  // one reference, or null
    CNARecordCachePosition* m_pclRecordSaveCache2; // one reference, or null
    int m_nOwnRecordSave;                          // one reference held while not -1
    CNAFilter* m_pclLatestFilter;                  // one reference, or null
    CNATableCache* m_pclTableCache;                // one reference, or null
};
