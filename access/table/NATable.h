// The host's object for one table or one query: it keeps a data access for
// each host context that opened it and hands every file operation to the
// data access of the calling context. The driver files it in its table
// registry. Until the table operations are built, every file operation
// answers user error 8 of kind 7 in the table's own error object.
#pragma once

#include "access/table/INATable.h"
#include "access/table/NADataAccess.h"
#include "common/text/RefHashTable.h"
#include "common/text/Tstring.h"

class CNAConnectionDescription;
class CNAError;
class CNATransaction;
class INAConnectionDescription;
class INAQueryExecution;
class INAQueryParametersValue;

class CNATable : public INATable {
public:
    enum : int {
        // Source-file number of the table object in the debug line.
        ERRFILE_TABLE = 6,
    };

    // The identification copied; a reference on the connection and on the
    // error object, an external one on the description (null for a query).
    CNATable(const wchar_t* pszKey, INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
             CNAError* pclError);
    CNATable(const CNATable&) = delete;
    CNATable& operator=(const CNATable&) = delete;

    // ---- INATable, in slot order ----------------------------------------------
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
    INAError* piGetLastError(INAContext* piContext) const override;
    int bIsOpened(INAContext* piContext) const override;
    INADataSourceDescription* piGetDataSourceDescription() override;
    int bNbEnrNeedParse(INAContext* piContext, int* pbNeed, const wchar_t* pszText) override;
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
    int bHRecherche(INAContext* piContext, INAItemDescription* piItem, const CAny* pValue, int n1, int n2, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int n3, unsigned int nFlags) override;
    int bHLibere(INAContext* piContext) override;
    int bHLit(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override;
    int bHLitxxx(INAContext* piContext, INAItemDescription* piItem, eNA_PARSEDIRECTION eDirection, int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags) override;
    int bSkipRecord(INAContext* piContext, INAItemDescription* piItem, eNA_PARSEDIRECTION eDirection, long long llCount, int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags) override;
    int bHBloqueFichier(INAContext* piContext, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override;
    int bHDebloqueFichier(INAContext* piContext) override;
    int bHBloqueNumEnr(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override;
    int bHDebloqueNumEnr(INAContext* piContext, long long llRecord) override;
    int bHEnDehors(INAContext* piContext, INAItemDescription* piItem, int* pbOut) override;
    int bEvalHTrouve(INAContext* piContext, INAItemDescription* piItem, int* pbFound, int* pbOther) override;
    int bSetNextOperation(INAContext* piContext, eNA_OPERATION eOperation) override;
    long long llGetRecNum(INAContext* piContext) override;
    int bGetRecNumState(INAContext* piContext, long long llRecord, unsigned int* pnState) override;
    int bHFiltre(INAContext* piContext, ISQLParserInformation* piParser, CXYString<wchar_t>* pText) override;
    int bHFiltre(INAContext* piContext, INAItemDescription* piItem, const CAny* pLower, int bLowerIncluded, const CAny* pUpper, int bUpperIncluded, ISQLParserInformation* piParser) override;
    int bHActiveFiltre(INAContext* piContext, INAItemDescription* piItem, unsigned int nFlags) override;
    int bHDesactiveFiltre(INAContext* piContext, INAItemDescription* piItem, unsigned int nFlags) override;
    int bHRetourPosition(INAContext* piContext, int nPosition, CXYString<wchar_t>* pText, int n, unsigned int nFlags) override;
    int bHLiberePosition(INAContext* piContext, int nPosition) override;
    int bHSauvePosition(INAContext* piContext, INAItemDescription* piItem, int* pnPosition, unsigned int nFlags) override;
    int bHVersion(INAContext* piContext, int* pnVersion) override;
    int bHNbEnr(INAContext* piContext, long long* pllCount, unsigned int nOptions, unsigned int nFlags) override;
    int bHPositionCourante(INAContext* piContext, INAItemDescription* piItem, int* pnPosition, eNA_PRECISION ePrecision, unsigned int nFlags) override;
    int bHPositionne(INAContext* piContext, INAItemDescription* piItem, unsigned int nPosition, eNA_PRECISION ePrecision, unsigned int nFlags) override;
    int bGetBLOB(INAContext* piContext, unsigned int nItem, CAny* pValue) override;
    int bSetBLOB(INAContext* piContext, unsigned int nItem, const CAny* pValue) override;
    int bGetRecord(INAContext* piContext, CNAKXRecord** ppRecord) const override;
    int bSetRecord(INAContext* piContext, CNAKXRecord* pRecord) override;
    int bHAttacheMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) override;
    int bExtraitMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) override;
    int bHAnnuleRecherche(INAContext* piContext, INAItemDescription* piItem) override;
    int bHChangeCle(INAContext* piContext, INAItemDescription* piItem, unsigned int nFlags) override;
    int bHConstruitValCle(INAContext* piContext, CAny* pResult, INAItemDescription* piItem, unsigned int nCount, CAny** ppValues) override;
    int bHInterditModif(INAContext* piContext) override;
    int bHFinInterditModif(INAContext* piContext) override;
    int bCalculateKeyValue(INAContext* piContext, INAItemDescription* piItem, void** ppKey, const void* pRecord, unsigned int* pnSize, unsigned short nType, int n) override;
    int bFreeCache(INAContext* piContext) override;
    int bCompareTablePosition(INAContext* piContext, int nPosition1, int nPosition2, int* pnResult) override;
    int bTableVirtualMoveSupported() override;
    int bTableVirtualMove(INAContext* piContext, INAItemDescription* piItem, long long* pllMove, unsigned int nFlags, int n) override;
    int bSupprimeTout(INAContext* piContext) override;
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

    // ---- Own virtual operations, in slot order ----------------------------------
    // Deletes the table's file for the context.
    virtual int bSupprimeFichier(INAContext* piContext);
    // Gives back the data accesses, the description, the connection (by the
    // driver's rule for holders), the error object and the bind values.
    virtual ~CNATable();
    // Runs a query for the context; *pbKeep is set non-zero when the driver
    // is to keep the object.
    virtual int bExecuteQuery(int* pbKeep, INAContext* piContext, const wchar_t* pszName,
                              ISQLParserInformation* piParser, unsigned int nMode,
                              const INAQueryExecution* piExecution);
    // The transaction of the connection's records was cancelled or ended.
    virtual void CancelRecordLock(INAConnectionDescription* piDescription, CNATransaction* pclTransaction);
    virtual void SetTransactionTermined();

    // ---- Counting (no lock) ------------------------------------------------------
    void AddRef() { m_nRef++; }
    // The internal count left; both counts at 0 destroy the table.
    int nRelease();
    int nGetRef() const { return m_nRef; }
    int nGetExternalRef() const { return m_nExternalRef; }

    // ---- Accessors -------------------------------------------------------------------
    const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
    CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
    // The table's own error object, no reference added.
    CNAError* piGetLastError() const { return m_pclError; }
    // The host's bind values of a query, no reference added.
    INAQueryParametersValue* piGetQueryBindVariableNoRef() const { return m_piQueryBindVariables; }

protected:
    // User error 8 of kind 7 in the table's own error object; 0.
    int _bNotBuilt(int nPoint) const;

    int m_nRef;                                                  // offset 4
    int m_nExternalRef;                                          // offset 8
    CNAError* m_pclError;                                        // one reference
    CNAConnectionDescription* m_pclConnection;                   // one reference
    INADataSourceDescription* m_piDescription;                   // one external reference
    CTString m_csIdentification;
    CNARefHashTable<CNADataAccess*, CNADataAccess*> m_tabDataAccess;
    INAQueryParametersValue* m_piQueryBindVariables;             // one reference
};

// The data access found by the last lookup of a table, with the context
// number and data-access key it was found under; no reference held. Used
// under the driver mutex.
extern CNADataAccess* gpclLastDataAccess;
extern unsigned int gdwCtxID;
extern unsigned int gdwDataID;

// The driver's registry holds its tables by their internal count.
template <>
struct CRefTraits<CNATable, void> {
    static void AddRef(CNATable* p) { p->AddRef(); }
    static void Release(CNATable* p) { p->nRelease(); }
};
