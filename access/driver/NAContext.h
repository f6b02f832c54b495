// The driver's record of one host context: the data accesses opened in it,
// one per table or query, keyed by the number the host context gives, its
// default lock mode and the logical name for the next table.
#pragma once

#include "access/driver/Interf.h"
#include "access/table/NADataAccess.h"
#include "common/text/RefHashTable.h"
#include "common/text/Tstring.h"

class CNAConnectionDescription;
class CNAError;
class CNATable;
class INAContext;
class INADataSourceDescription;

enum _eNA_HMODE : int;

class CNAContext : public CInterf {
public:
    enum : int {
        // Source-file number of this file in the debug line.
        ERRFILE_CONTEXT = 53,
    };

    // The error object comes from the driver's factory.
    CNAContext();
    CNAContext(const CNAContext&) = delete;
    CNAContext& operator=(const CNAContext&) = delete;

    // ---- Virtual operations, in slot order (after CInterf's) ------------------
    // Gives back the error object and every data access still filed.
    ~CNAContext() override;
    virtual int nGetVersion() const;
    virtual int nGetCompatSince() const;
    // The driver's factory, which the back end overrides.
    virtual CNADataAccess* _pclAllocDataAccess(INADataSourceDescription* piDescription,
                                               CNAConnectionDescription* pclConnection, CNAError* pclError);

    // ---- Data accesses (each under the driver mutex) ---------------------------
    // The one filed under the host context's key, with a reference; null.
    // A host may hand the same context, key and all, to several tables: with
    // a table given, only that table's data access under the key answers.
    CNADataAccess* pclFindDataAccess(INAContext* piContext, const CNATable* pclTable = nullptr);
    // Found, or made and filed (*pbCreated 1); a reference for the caller.
    // Null with the no-memory error when none can be made or filed.
    CNADataAccess* pclGetDataAccess(INAContext* piContext, CNAConnectionDescription* pclConnection,
                                    INADataSourceDescription* piDescription, int* pbCreated,
                                    const CNATable* pclTable = nullptr);
    // Files under the context's key with a reference and tells the data
    // access its context; false (nothing filed) when the table cannot grow.
    bool _AddDataAccess(INAContext* piContext, CNADataAccess* pclDataAccess);
    bool __AddDataAccess(unsigned int nKey, CNADataAccess* pclDataAccess);
    // Unfiles the data access given when it is filed under the context's
    // key, else what is filed there.
    void RemoveDataAccess(INAContext* piContext, CNADataAccess* pclDataAccess);
    // The mode on the data accesses of that logical name (AND of their
    // answers, 1 when none), then kept as the default.
    int bHMode(const wchar_t* pszLogicalName, _eNA_HMODE eMode);
    // Closes the opened data accesses and unfiles them all.
    void CloseAllDataAccess();
    // The first data access of the connection whose alias (or database
    // table name) is that name, with a reference; null.
    CNADataAccess* pclFindDataAccessByAliasName(CNAConnectionDescription* pclConnection, const wchar_t* pszName);
    CNADataAccess* pclFindDataAccessByDBTableName(CNAConnectionDescription* pclConnection, const wchar_t* pszName);
    void _SetDefaultMode(_eNA_HMODE eMode) { m_eDefaultMode = eMode; }

    _eNA_HMODE eGetDefaultMode() const { return m_eDefaultMode; }
    unsigned int nGetNbDataAccess() const { return m_tabDataAccess.dwGetNumElement(); }
    unsigned int dwGetContextNumber() const { return m_dwContextNumber; }
    void SetContextNumber(unsigned int n) { m_dwContextNumber = n; }
    const wchar_t* pszGetNextLogicalName() const { return m_csNextLogicalName.pszGet(); }
    void SetNextLogicalName(const wchar_t* pszName) { m_csNextLogicalName = pszName; }
    CNAError* pclGetError() const { return m_pclError; }

protected:
    // Every removal goes through here: the table's reference is dropped.
    bool _bUnfile(unsigned int nKey);
    // Puts the data access in front of the others filed under the key, where
    // look-ups and removals by key find it; false when not filed there.
    bool _bBringForward(unsigned int nKey, const CNADataAccess* pclDataAccess);
    // The first filed data access that matches, with a reference.
    CNADataAccess* _pclFind(CNAConnectionDescription* pclConnection, const wchar_t* pszName,
                            const wchar_t* (CNADataAccess::*pfnName)() const);

    CNAError* m_pclError;            // one reference
    unsigned int m_dwContextNumber;  // the driver's key, -1 until filed
    _eNA_HMODE m_eDefaultMode;
    CTString m_csNextLogicalName;
    CNARefHashTable<unsigned int, CNADataAccess*> m_tabDataAccess;
};
