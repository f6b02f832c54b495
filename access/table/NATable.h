// The host's object for one table or one query: it keeps a data access for
// each host context that opened it and hands every file operation to the
// data access of the calling context, under the driver mutex. The driver
// files it in its table registry.
//
// Process-wide, under the driver mutex: the last data access a lookup
// found, with the two numbers of the host context that found it. It holds
// no reference; whoever unfiles or destroys a data access clears it.
#pragma once

#include "access/table/INATable.h"
#include "access/table/NADataAccess.h"
#include "common/text/RefHashTable.h"
#include "common/text/Tstring.h"

class CNAConnectionDescription;
class CNAContext;
class CNAError;
class CNAStatement;
class CNATransaction;
class INAConnectionDescription;
class INAQueryExecution;
class INAQueryParametersValue;

extern CNADataAccess* gpclLastDataAccess;
extern unsigned int gdwCtxID;
extern unsigned int gdwDataID;

// Clears the last-hit cache when it names the data access.
inline void g_ForgetLastDataAccess(const CNADataAccess* pclDataAccess)
{
    if (gpclLastDataAccess == pclDataAccess)
        gpclLastDataAccess = nullptr;
}

class CNATable : public INATable {
public:
    enum : int {
        // Source-file number of the table object in the debug line.
        ERRFILE_TABLE = 6,
        // The module number and the SQL module version the driver asks the
        // host's parse for; a host SQL module up to 30 is too old.
        SQLMODULE_NUMBER = 32,
        SQLMODULE_REQUIRED = 31,
        SQLMODULE_TOO_OLD = 30,
    };
    // Debug points of the table's own failures.
    enum : int {
        POINT_EXCHANGE_REFUSED = 1,
        POINT_SQLMODULE_TOO_OLD = 2,
        POINT_INTERDITMODIF = 3,
        POINT_FININTERDITMODIF = 4,
        POINT_CALCULATEKEYVALUE = 5,
        POINT_FREEMEMORY = 6,
        POINT_NO_DATA_ACCESS = 7,
        POINT_NO_DATA_ACCESS_RECNUM = 8,
        POINT_NO_MEMORY = 9,
        // An exception stopped slot k: point POINT_EXCEPTION + k.
        POINT_EXCEPTION = 100,
    };

    // The identification copied; a reference on the connection and on the
    // error object, an external one on the description (null for a query).
    CNATable(const wchar_t* pszKey, INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
             CNAError* pclError);
    CNATable(const CNATable&) = delete;
    CNATable& operator=(const CNATable&) = delete;

    // ---- INATable, in slot order ----------------------------------------------
    // 11, 8, -1, -1; no lock.
    int nGetVersion() const override;
    int nGetCompatSince() const override;
    int nGetNAVersion() const override;
    int nGetNACompatSince() const override;
    void NAVersion_EmptySlot_3() override;
    // Under the driver mutex.
    void ExternalAddRef() override;
    // Under the driver mutex; the host's last reference on a table that only
    // the driver's registry holds unfiles it, which destroys it.
    int nExternalRelease() override;
    // The context's error object when the driver knows the context, else
    // the table's own; no reference added.
    INAError* piGetLastError(INAContext* piContext) const override;
    int bIsOpened(INAContext* piContext) const override;
    // With an external reference for the caller; null without one.
    INADataSourceDescription* piGetDataSourceDescription() override;
    int bNbEnrNeedParse(INAContext* piContext, int* pbNeed, const wchar_t* pszItem) override;
    // Not offered (user error 8, kind 7, also in the context's error).
    void FreeMemory(INAContext* piContext, void** ppMemory) const override;
    int bHReindexe(INAContext* piContext, unsigned int nOptions, IGaugeControl* piGauge) override;
    int bHCreationSiInexistant(INAContext* piContext, eNA_ACCESS eAccess, const wchar_t* pszPassword) override;
    int bHCreation(INAContext* piContext, const wchar_t* pszPassword) override;
    int bHOuvre(INAContext* piContext, eNA_ACCESS eAccess, const wchar_t* pszPassword) override;
    int bHMode(INAContext* piContext, _eNA_HMODE eMode) override;
    int bHFerme(INAContext* piContext) override;
    int bHAjoute(INAContext* piContext, unsigned int nFlags, eNA_LOCKTYPE eLock) override;
    int bHEcrit(INAContext* piContext, long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock) override;
    int bHRaye(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock) override;
    int bHSupprime(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock) override;
    int bHModifie(INAContext* piContext, long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock) override;
    int bHRecherche(INAContext* piContext, const wchar_t* pszItem, const CAny* pValue, int bExact, int nReadOption,
                    eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int bFirst, unsigned int nFlags) override;
    int bHLibere(INAContext* piContext) override;
    int bHLit(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override;
    int bHLitxxx(INAContext* piContext, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int n,
                 eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags) override;
    int bSkipRecord(INAContext* piContext, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, long long llCount,
                    int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags) override;
    int bHBloqueFichier(INAContext* piContext, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override;
    int bHDebloqueFichier(INAContext* piContext) override;
    int bHBloqueNumEnr(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override;
    int bHDebloqueNumEnr(INAContext* piContext, long long llRecord) override;
    int bHEnDehors(INAContext* piContext, const wchar_t* pszItem, int* pbOut) override;
    int bEvalHTrouve(INAContext* piContext, const wchar_t* pszItem, int* pbFound, int* pbInRange) override;
    int bSetNextOperation(INAContext* piContext, eNA_OPERATION eOperation) override;
    // Neither error object is reset; 0 and user error 19 at 6.8 (with the
    // connection's facts) without a data access.
    long long llGetRecNum(INAContext* piContext) override;
    int bGetRecNumState(INAContext* piContext, long long llRecord, unsigned int* pnState) override;
    // The version exchange with the host's parse, then the filter.
    int bHFiltre(INAContext* piContext, ISQLParserInformation* piParser, wchar_t* pszItem) override;
    int bHFiltre(INAContext* piContext, const wchar_t* pszItem, const CAny* pLower, int bLowerIncluded,
                 const CAny* pUpper, int bUpperIncluded, ISQLParserInformation* piParser) override;
    // The flags are not passed on.
    int bHActiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int nFlags) override;
    // 1 without a data access; the flags are not passed on.
    int bHDesactiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int nFlags) override;
    int bHRetourPosition(INAContext* piContext, int nPosition, wchar_t* pszItem, int bKeep,
                         unsigned int nFlags) override;
    // 1 without a data access.
    int bHLiberePosition(INAContext* piContext, int nPosition) override;
    // The data access takes the out pointer first.
    int bHSauvePosition(INAContext* piContext, const wchar_t* pszItem, int* pnPosition, unsigned int nFlags) override;
    int bHVersion(INAContext* piContext, int* pnVersion) override;
    int bHNbEnr(INAContext* piContext, long long* pllCount, unsigned int nOptions, unsigned int nFlags) override;
    // The data access takes the out pointer first; the flags are not passed on.
    int bHPositionCourante(INAContext* piContext, const wchar_t* pszItem, int* pnPosition, eNA_PRECISION ePrecision,
                           unsigned int nFlags) override;
    int bHPositionne(INAContext* piContext, const wchar_t* pszItem, unsigned int nPosition, eNA_PRECISION ePrecision,
                     unsigned int nFlags) override;
    int bGetBLOB(INAContext* piContext, unsigned int nItem, CAny* pValue) override;
    int bSetBLOB(INAContext* piContext, unsigned int nItem, const CAny* pValue) override;
    int bGetRecord(INAContext* piContext, CNAKXRecord** ppRecord) const override;
    int bSetRecord(INAContext* piContext, CNAKXRecord* pRecord) override;
    int bHAttacheMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) override;
    int bExtraitMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) override;
    // 1 without a data access, user error 19 recorded all the same.
    int bHAnnuleRecherche(INAContext* piContext, const wchar_t* pszItem) override;
    int bHChangeCle(INAContext* piContext, const wchar_t* pszItem, unsigned int nFlags) override;
    int bHConstruitValCle(INAContext* piContext, CAny* pResult, const wchar_t* pszItem, unsigned int nCount,
                          CAny** ppValues) override;
    // Not offered (user error 8, kind 7, also in the context's error).
    int bHInterditModif(INAContext* piContext) override;
    int bHFinInterditModif(INAContext* piContext) override;
    int bCalculateKeyValue(INAContext* piContext, const wchar_t* pszItem, void** ppKey, const void* pRecord,
                           unsigned int* pnSize, unsigned short nType, int n) override;
    int bFreeCache(INAContext* piContext) override;
    int bCompareTablePosition(INAContext* piContext, int nPosition1, int nPosition2, int* pnResult) override;
    // 0 without any effect, no lock.
    int bTableVirtualMoveSupported() override;
    int bTableVirtualMove(INAContext* piContext, const wchar_t* pszItem, long long* pllMove, unsigned int nFlags,
                          int n) override;
    int bSupprimeTout(INAContext* piContext) override;
    // Reserved: nothing, no lock.
    void EmptySlot579() override;
    void EmptySlot580() override;
    void EmptySlot582() override;
    void EmptySlot583() override;
    void EmptySlot584() override;
    void EmptySlot585() override;
    void EmptySlot586() override;
    void EmptySlot587() override;
    void EmptySlot589() override;
    void EmptySlot590() override;
    void EmptySlot591() override;
    void EmptySlot592() override;
    void EmptySlot593() override;
    void EmptySlot594() override;

    // ---- Own virtual operations, in slot order (79 on) ------------------------------
    // Drops the table's file for the context; the data access goes whatever
    // the answer.
    virtual int bSupprimeFichier(INAContext* piContext);
    // Gives back the data accesses, the description, the connection (by the
    // driver's rule for holders), the error object and the bind values.
    virtual ~CNATable();
    // Runs a query for the context (the driver holds the mutex); *pbHasResult
    // non-zero when the query has a result the host browses.
    virtual int bExecuteQuery(int* pbHasResult, INAContext* piContext, const wchar_t* pszName,
                              ISQLParserInformation* piParser, unsigned int nMode,
                              const INAQueryExecution* piExecution);
    // Every data access on a connection made from the host's description.
    virtual void CancelRecordLock(INAConnectionDescription* piDescription, CNATransaction* pclTransaction);
    // Every data access learns that its connection's transaction ended.
    virtual void SetTransactionTermined();

    // ---- Counting -----------------------------------------------------------------------
    // No lock: the caller holds the mutex or the only reference.
    void AddRef() { m_nRef++; }
    // The internal count left; both counts at 0 destroy the table.
    int nRelease();
    int nGetRef() const { return m_nRef; }
    int nGetExternalRef() const { return m_nExternalRef; }

    // ---- Accessors -----------------------------------------------------------------------
    const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
    // The description's names, "" without one.
    const wchar_t* pszGetLogicalName() const;
    const wchar_t* pszGetDBTableName() const;
    CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
    // The table's own error object, no reference added.
    CNAError* piGetLastError() const { return m_pclError; }
    // The host's bind values of a query: the held ones released, the new
    // ones kept with a reference (null keeps nothing).
    void SetQueryBindVariable(INAQueryParametersValue* piValues);
    INAQueryParametersValue* piGetQueryBindVariableNoRef() const { return m_piQueryBindVariables; }
    unsigned int nGetNbDataAccess() const { return m_tabDataAccess.dwGetNumElement(); }

    // ---- Contexts (the driver's operations lock) -----------------------------------------
    CNAContext* _pclFindContext(INAContext* piContext) const;
    CNAContext* _pclGetContext(INAContext* piContext, int* pbCreated);
    int _nReleaseContext(INAContext* piContext, CNAContext* pclContext);

    // ---- Data accesses (under the mutex) --------------------------------------------------
    // The context's, with a reference, or null; never makes one.
    CNADataAccess* _pclFindDataAccess(INAContext* piContext) const;
    // The same, for a caller that holds the mutex.
    CNADataAccess* __pclFindDataAccess(INAContext* piContext) const;
    // Found or made (*pbCreated 1 when made here), with a reference.
    CNADataAccess* _pclGetDataAccess(INAContext* piContext, int* pbCreated);
    // Files the data access with a reference; false when the registry
    // cannot grow.
    bool __AddDataAccess(CNADataAccess* pclDataAccess);
    // Out of its context and out of the registry (the caller holds the mutex).
    void _RemoveDataAccess(INAContext* piContext, CNADataAccess* pclDataAccess);
    // The first of the registry with that context number, with a reference.
    CNADataAccess* pclFindDataAccessByContext(unsigned int nContext);

    // ---- Over the data accesses ------------------------------------------------------------
    // bHFerme on every data access, which stay filed; the AND of the answers.
    int bCloseAllDataAccess();
    // bHFerme on those of the context with that logical name, which leave
    // the registry; the AND (1 when none).
    int bCloseAllDataAccess(INAContext* piContext, const wchar_t* pszLogicalName);
    // SetFiltreAuto on the first data access of the context with that
    // logical name; 1.
    int bFiltreAuto(INAContext* piContext, int nMode, const wchar_t* pszLogicalName);
    // bSetFiltreAuto on every data access of the context with that logical
    // name (every one for a name starting with "*"); the AND (1 when none).
    int bFiltreAuto(INAContext* piContext, int nMode, const wchar_t* pszName, const wchar_t* pszOtherName,
                    INADataSourceDescription* piDescription);
    // The browses and table caches that no longer match the server are
    // read again (CNADataAccess::ReloadFromServer): those of data accesses
    // sharing a table with the writer (not the writer's own, which took
    // the write), or all of them without a writer (a roll-back).
    void ReloadTableCaches(const CNADataAccess* pclWriter);
    // NotifyOperation on every data access but the source.
    void NotifyDataAccessOperation(CNADataAccess* pclSource, int eType, CNAStatement* pclStatement,
                                   unsigned int nFlags);
    // Whether the context's data access holds another query than the
    // parse's; a data access made here answers 0 and stays filed.
    int bNeedCloseQuery(INAContext* piContext, ISQLParserInformation* piParser);

    // ---- Errors ------------------------------------------------------------------------------
    // Copied into the context's error object when the driver knows it.
    void _SetContextLastNAError(INAContext* piContext, CNAError* pclError) const;
    // And into the table's own.
    void _SetLastNAError(INAContext* piContext, CNAError* pclError);

protected:
    // The forwarding sequence: mutex, table error reset, the context's data
    // access (rMissing without one, and user error 19 at 6.7 when asked),
    // its error reset, fn(data access). An exception answers 0 with its
    // error in the table's error object.
    template <class R, class F>
    R _Forward(INAContext* piContext, int nSlot, R rMissing, F&& fn, bool bReportMissing = true) const;
    // An exception stopped slot nSlot: its error in the table's error object.
    void _OnException(int nSlot) const noexcept;
    // User error 19 naming the table, into the table's error object.
    void _NoDataAccess(int nPoint, CNAConnectionDescription* pclConnection) const;
    // User error 8 of kind 7 in the table's error, copied to the context's; 0.
    int _bNotOffered(INAContext* piContext, int nPoint) const;
    // The version exchange with the host's parse, once per process; 0 with
    // user error 16 in the table's error object when the host refuses or
    // its SQL module is too old.
    int _bCheckSQLModule(ISQLParserInformation* piParser);
    // The opening operations and the file deletion: connection, data
    // access, fn, and the data access removed as each one says.
    enum EOpening { OPEN, CREATE_IF_MISSING, CREATE, DELETE_FILE };
    template <class F>
    int _bOpening(INAContext* piContext, EOpening eKind, F&& fn);
    // Every data access of the registry, each held during fn; fn answers
    // false to stop.
    template <class F>
    void _ForEachDataAccess(F&& fn);

    int m_nRef;                                                  // offset 4
    int m_nExternalRef;                                          // offset 8
    CNAError* m_pclError;                                        // one reference
    CNAConnectionDescription* m_pclConnection;                   // one reference
    INADataSourceDescription* m_piDescription;                   // one external reference
    CTString m_csIdentification;
    CNARefHashTable<CNADataAccess*, CNADataAccess*> m_tabDataAccess;
    INAQueryParametersValue* m_piQueryBindVariables;             // one reference
};

// The driver's registry holds its tables by their internal count.
template <>
struct CRefTraits<CNATable, void> {
    static void AddRef(CNATable* p) { p->AddRef(); }
    static void Release(CNATable* p) { p->nRelease(); }
};
