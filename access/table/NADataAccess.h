// One table or query as one host context sees it: the table object hands
// it the host's file operations. Only what the driver core and the
// contexts reach is declared so far; until the data access is built, its
// operations answer user error 8 of kind 7 in its error object.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"

class CNAConnectionDescription;
class CNAContext;
class CNAError;
class CNARecord;
class CNARecordCache;
class CNARecordCachePosition;
class CNARecordId;
class CNARecordValue;
class CNAStatement;
class CSQLParserInfo;
class INADataSourceDescription;

enum _eNA_HMODE : int;

class CNADataAccess : public CInterf {
public:
    enum : int {
        // Source-file number of the data access in the debug line.
        ERRFILE_DATAACCESS = 70,
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
    // The identity kind of the record values: 1 the record image.
    virtual int eEvaluateRecordIdType();
    // Called when the data access is filed in a context; no reference.
    virtual void SetContext(CNAContext* pclContext);
    // A new record (count 0) of this data access.
    virtual CNARecord* _pclAllocRecord(CNAError* pclError);

    // Records the host's lock mode; 1.
    int bHMode(_eNA_HMODE eMode);
    int bIsOpened() const { return m_bOpened; }
    // The description's logical name ("" without one).
    const wchar_t* pszGetLogicalName() const;
    // The table's name in the database ("" without a description).
    const wchar_t* pszGetDBTableName() const;
    const wchar_t* pszGetAliasName() const { return m_csAliasName.pszGet(); }
    CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
    CNAContext* pclGetContext() const { return m_pclContext; }
    CNAError* pclGetError() const { return m_pclError; }
    int eGetHMode() const { return m_eHMode; }
    int bSourceIsQuery() const { return m_bSourceIsQuery; }
    CSQLParserInfo* pclGetQueryParserInfoNoRef() const { return m_pclQueryParserInfo; }

    // ---- Identities and the current record --------------------------------------
    // A new identity (count 0) of the kind eEvaluateRecordIdType names over
    // the record value; null for another kind or on failure.
    CNARecordId* pclAllocRecordID(const CNARecordValue* pclValue);
    // With one reference added; null before the first open.
    CNARecord* pclGetCurrentRecord() const;
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

    CNAError* m_pclError;                      // one reference
    CNARecord* m_pclCurrentRecord;             // one reference, or null
    CNAConnectionDescription* m_pclConnection; // one reference
    INADataSourceDescription* m_piDescription; // one external reference
    CNAContext* m_pclContext;                  // borrowed
    CTString m_csAliasName;
    int m_bOpened;
    CSQLParserInfo* m_pclQueryParserInfo;      // a query's digest, or null
    int m_bSourceIsQuery;
    int m_eHMode;
    CNARecordCachePosition* m_pclRecordSaveCache;  // one reference, or null
    CNARecordCachePosition* m_pclRecordSaveCache2; // one reference, or null
    int m_nOwnRecordSave;                          // one reference held while not -1
};
