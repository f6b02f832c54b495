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
class CNARecordId;
class CNARecordValue;
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

protected:
    // User error 8 of kind 7 in the error object; 0.
    int _bNotBuilt(int nPoint);

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
};
