// The process's one driver object, handed to the host as INADriver: its
// registries of connections, tables and contexts, the factories through
// which every class of the driver makes its companions (the back end
// substitutes its own), the driver's error object, the SQL interface and
// the host services handed over to it. Also the module's process-wide
// values and the driver mutex.
#pragma once

#include "access/driver/INADriver.h"
#include "access/driver/NAContext.h"
#include "access/driver/NADriverLock.h"
#include "access/table/NATable.h"
#include "common/platform/DllRes.h"
#include "common/text/RefHashTable.h"
#include "common/text/Tstring.h"

#include <functional>
#include <pthread.h>
#include <vector>

class CAny;
class CNAColumn;
class CNACommand;
class CNAConnectionDescription;
class CNAContext;
class CNAConvertVariant;
class CNADataAccess;
class CNADataSourceDescription;
class CNADriverSQL;
class CNAError;
class CNAIDAuto;
class CNAItemDescription;
class CNAParameter;
class CNAStatement;
class CNATable;
class CNATransaction;
class CTabValParser;
class INAItemDescription;

// Number of bInitLibrary calls in the life of the process; never decreased.
extern int gnNbInitialisation;

class CNADriver : public INADriver {
public:
    enum : int {
        NB_LABELS = 28,
        // Source-file number of this file in the debug line.
        ERRFILE_DRIVER = 5,
        // Raising point of an exception stopped by _Guard.
        POINT_GUARD_EXCEPTION = 40,
    };

    CNADriver();
    CNADriver(const CNADriver&) = delete;
    CNADriver& operator=(const CNADriver&) = delete;

    // ---- INADriver, in slot order -------------------------------------------
    int nGetVersion() const override;
    int nGetCompatSince() const override;
    int nGetNAVersion() const override;
    int nGetNACompatSince() const override;
    void NAVersion_EmptySlot_3() override;
    void ExternalAddRef() override;
    // At 0 the driver destroys itself; answers the count left.
    int nExternalRelease() override;
    // 1: the SQL interface with an external reference for the host; null
    // for any other number or when none can be made.
    void* piGetInterface(int nId) override;
    int bOpenConnection(INAConnectionDescription* piDescription) override;
    int bCloseConnection(INAConnectionDescription* piDescription) override;
    int bCopyContext(INACopyCtx* piCopy, INAContext* piFrom, INAContext* piTo, unsigned int nFlags) override;
    // The driver's error object, no reference added.
    INAError* piGetLastError() override;
    int bHMode(INAContext* piContext, _eNA_HMODE eMode) override;
    INATable* piGetTable(INAConnectionDescription* piDescription, INADataSourceDescription* piTable) override;
    int bGetTableList(CAny* pResult, INAConnectionDescription* piDescription, unsigned int nFlags) override;
    INADataSourceDescription* piGetTableDesc(const wchar_t* pszName,
                                             INAConnectionDescription* piDescription) override;
    int bHExecuteRequeteSQL(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName,
                            INAConnectionDescription* piDescription, ISQLParserInformation* piParser,
                            unsigned int nFlags) override;
    int bCloseContext(INAContext* piContext) override;
    int bTransactionBegin(INAConnectionDescription* piDescription, const wchar_t* pszName) override;
    int bTransactionCommit(INAConnectionDescription* piDescription, const wchar_t* pszName) override;
    int bTransactionRollBack(INAConnectionDescription* piDescription, const wchar_t* pszName) override;
    int bSQLBloqueTable(INAConnectionDescription* piDescription, const wchar_t* pszTable) override;
    int bSQLBloqueRequete(INAConnectionDescription* piDescription, ISQLParserInformation* piParser) override;
    int bSQLFormatColonne(INAConnectionDescription* piDescription, CAny* pResult) override;
    int bHConnexionDiagnose(CAny* pResult, INAConnectionDescription* piDescription, const wchar_t* pszText,
                            unsigned int nFlags) override;
    int bGetProviderList(CAny* pResult) override;
    int bTableExists(int* pbExists, const wchar_t* pszName, INAConnectionDescription* piDescription) override;
    int bGetLinkList(CAny* pResult, const wchar_t* pszTable, INADataSourceDescription* piTable,
                     INAConnectionDescription* piDescription, unsigned int nFlags) override;
    int bGetListeSource(CAny* pResult, int n) override;
    int bSetQueryParameters(INAContext* piContext, INAConnectionDescription* piDescription,
                            INAQueryParametersValue* piValues) override;
    int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) override;
    int bFiltreAuto(INAContext* piContext, INAConnectionDescription* piDescription, int n, const wchar_t* pszTable1,
                    INADataSourceDescription* piTable1, const wchar_t* pszTable2,
                    INADataSourceDescription* piTable2) override;
    int SetNextLogicalName(INAContext* piContext, const wchar_t* pszName) override;
    int bHExecuteRequeteSQLEx(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName,
                              INAConnectionDescription* piDescription, ISQLParserInformation* piParser,
                              unsigned int nFlags, const INAQueryExecution* piExecution) override;
    int bFreeDataSource(INAContext* piContext, const wchar_t* pszName,
                        INAConnectionDescription* piDescription) override;
    int bValidConnection(INAConnectionDescription* piDescription) override;
    // Keeps the engine's key service (no reference); the key texts of host
    // values ask it for its Unicode key builder.
    int bSetKX(IKXForNA* piKX) override;
    int bSupprimeFichier(INAContext* piContext, INAConnectionDescription* piDescription, const wchar_t* pszName,
                         INADataSourceDescription* piTable) override;
    int bGetDatabaseList(CXYString<wchar_t>* pResult, INAConnectionDescription* piDescription,
                         unsigned int nFlags) override;

    // ---- Own virtual operations, in slot order --------------------------------
    // Runs the destruction in its fixed order; takes no lock.
    virtual ~CNADriver();
    virtual int bSetCharset(unsigned int nCharset, void* p);
    // "Connection=...;access=R|RW" from the host's description; 1.
    virtual int bBuildCnxIdentification(CTString* pclOut, INAConnectionDescription* piDescription);
    // The SQL interface, made on first use; no reference for the caller.
    virtual CNADriverSQL* pclGetDriverSQL();
    // A new value cell on pError (the driver's own when null) and the
    // connection, or null with the out-of-memory error.
    virtual CNAConvertVariant* pclAllocVariant(CNAError* pError, CNAConnectionDescription* pConnection);
    virtual CNAConvertVariant* pclAllocVariantRowID(CNAError* pError, CNAConnectionDescription* pConnection);
    virtual CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* pConnection,
                                                                    CNAError* pError);
    virtual CNAContext* pclAllocContext();
    virtual CNADataAccess* pclAllocDataAccess(INADataSourceDescription* piDescription,
                                              CNAConnectionDescription* pConnection, CNAError* pError);
    virtual CNAStatement* pclAllocStatement(CNADataAccess* pDataAccess, CNAConnectionDescription* pConnection,
                                            CNAError* pError);
    virtual CNAColumn* pclAllocColumn(CNAError* pError, INAItemDescription* piItem);
    virtual CNACommand* pclAllocCommand(CNAError* pError, CNAConnectionDescription* pConnection);
    // A new error object (count 0).
    virtual CNAError* pclAllocError();
    virtual CNAIDAuto* pclAllocIDAuto();
    virtual CNADataSourceDescription* _pclGetTableDesc(const wchar_t* pszName, CNAConnectionDescription* pConnection);
    virtual CNAParameter* pclAllocParameter(CNAConvertVariant* pVariant, unsigned int a, unsigned int b,
                                            const wchar_t* pszName);
    virtual void CancelRecordLock(INAConnectionDescription* piDescription, CNATransaction* pTransaction);
    virtual CNAItemDescription* pclAllocItemDescription();
    virtual void OnFatalErrorAddDebugMessage(CNAError* pError, CNAConnectionDescription* pConnection);
    // The back end makes its connection from the identification and the
    // host's description.
    virtual CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszIdentification,
                                                                     INAConnectionDescription* piDescription);
    virtual CNATable* _pclAllocTable(const wchar_t* pszKey, INADataSourceDescription* piDescription,
                                     CNAConnectionDescription* pConnection, CNAError* pError);
    virtual CNADriverSQL* _pclAllocDriverSQL(CNAError* pError);
    virtual int _bGetTableList(CAny* pResult, CNAConnectionDescription* pConnection, unsigned int nFlags);
    virtual int _bTableExists(int* pbExists, const wchar_t* pszName, CNAConnectionDescription* pConnection);
    virtual int _bGetLinkList(CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                              INADataSourceDescription* piTable, CAny* pResult, unsigned int nFlags);
    virtual void _BeforeDeath();

    // ---- Life ---------------------------------------------------------------
    // First bInitLibrary: keeps the handle, starts the common library, sets
    // both host versions to 0 and creates the recursive driver mutex.
    static void g_NAInitModule(HINSTANCE hModule);
    // Destroys the driver mutex, ends the client library loader, then the
    // common library; the answer of the common shut-down.
    static int g_NATermModule();
    // Makes the error object; 1.
    int bInitDriver();
    // Replaces the driver's error object by a new one from pclAllocError.
    void AllocError();
    CNAError* pclGetError() const { return m_pclError; }
    static CNADriverSQL* s_pclGetDriverSQL();
    void _InitDriverSQL();
    void _FreeDriverSQL();
    int nGetExternalRef() const { return m_nExternalRef; }

    IKXForNA* piGetKX() const { return m_piKX; }
    ILibShop* piGetLibShop() const { return m_piLibShop; }
    IVMData* piGetVMData() const { return m_piVMData; }
    // Rows of a browse SELECT when the connection sets none; -1 no limit.
    long long llGetRowBlockSize() const { return m_llRowBlockSize; }
    // Set to 1 by the first successful version exchange of a table object.
    int bGetSQLModuleChecked() const { return m_bSQLModuleChecked; }
    void SetSQLModuleChecked(int bChecked) { m_bSQLModuleChecked = bChecked; }

    // ---- Connections (the caller holds the driver mutex unless said) --------
    // The filed connection with a reference for the caller, or null.
    CNAConnectionDescription* _pclFindConnection(const wchar_t* pszIdentification);
    CNAConnectionDescription* _pclFindConnection(INAConnectionDescription* piDescription);
    // Found or made and filed (not opened), with a reference for the caller.
    CNAConnectionDescription* _pclGetConnection(INAConnectionDescription* piDescription);
    CNAConnectionDescription* _pclAddConnection(const wchar_t* pszIdentification,
                                                INAConnectionDescription* piDescription);
    // Opens for the host: on success one more reference held for the host
    // and no automatic close; on failure the connection leaves the registry
    // and the error level becomes 2.
    int _bOpenConnection(CNAConnectionDescription* pConnection);
    // The host's close: automatic close set again and the host's opening
    // reference dropped; 1.
    int _bCloseConnection(CNAConnectionDescription* pConnection);
    // Gives back one user; closes and unfiles a connection that only the
    // registry holds when it allows automatic closing. The count left.
    int nReleaseConnection(CNAConnectionDescription* pConnection);
    // A holder gives its connection back (under the mutex): by the rule
    // above while the driver lives, plainly after it.
    static void g_ReleaseHeldConnection(CNAConnectionDescription* pConnection);
    // Under the mutex; a reference for the caller, null when none matches.
    CNAConnectionDescription* pclGetConnectionByName(const wchar_t* pszName);
    CNAConnectionDescription* pclGetConnectionByID(int nNumber);
    // Closes for the host the connection of that number, when the host
    // holds an opening of it; 1.
    int _bCloseConnectionById(int nNumber);
    unsigned int nGetNbConnection() const { return m_tabConnection.dwGetNumElement(); }

    // ---- Tables and queries (the caller holds the driver mutex unless said) ---
    // The filed table with a reference for the caller, or null.
    CNATable* _pclFindTable(const wchar_t* pszKey);
    // By "Table=<database table name>;<connection identification>", the key
    // written in *pclKey.
    CNATable* _pclFindTable(INADataSourceDescription* piDescription, CNAConnectionDescription* pConnection,
                            CTString* pclKey);
    // Found, or made and filed; a reference for the caller. Null with the
    // no-memory error when none can be made or filed.
    CNATable* _pclGetTable(INADataSourceDescription* piDescription, CNAConnectionDescription* pConnection);
    CNATable* _pclAddTable(const wchar_t* pszKey, INADataSourceDescription* piDescription,
                           CNAConnectionDescription* pConnection);
    // Files the table unless one is filed under its key; false when the
    // registry cannot grow.
    bool _AddTable(CNATable* pTable);
    // Under the mutex: unfiles this object; whether it was filed. With a
    // context the table is first closed for it.
    int _bReleaseTable(CNATable* pTable);
    int _bReleaseTable(INAContext* piContext, CNATable* pTable);
    // Drops a reference; when only the registry's is left the table is
    // unfiled (0). The count left.
    int nReleaseTable(CNATable* pTable);
    // The query filed for the context, or a new unfiled one (a reference
    // either way); bRenew closes a filed one first.
    CNATable* _pclGetQuery(INAContext* piContext, const wchar_t* pszName, CNAConnectionDescription* pConnection,
                           int bRenew);
    // Under the mutex: the next table of the connection from *pnPosition (0
    // starts), with a reference; null at the end.
    CNATable* pclEnumTableByConnection(unsigned int* pnPosition, CNAConnectionDescription* pConnection);
    // Every table of the connection learns that its transaction ended.
    void _SetTransactionTermined(CNAConnectionDescription* pConnection);
    // The table caches that a write through the data access leaves stale,
    // in every table of the driver, go (CNATable::ReloadTableCaches).
    void ReloadTableCachesAfterWrite(const CNADataAccess* pclWriter);
    unsigned int nGetNbTable() const { return m_tabTable.dwGetNumElement(); }
    // The SQL interface's database list of an opened connection.
    int _bGetDatabaseList(CXYString<wchar_t>* pResult, CNAConnectionDescription* pConnection, unsigned int nFlags);
    // The catalogue's description with the host's reference only.
    INADataSourceDescription* _piGetTableDesc(const wchar_t* pszName, CNAConnectionDescription* pConnection);

    // ---- Contexts (each under the driver mutex) -------------------------------
    // The filed context with a reference, or null.
    CNAContext* pclFindContext(INAContext* piContext);
    // Found, or made and filed (*pbCreated 1); null with the no-memory error.
    CNAContext* pclGetContext(INAContext* piContext, int* pbCreated);
    CNAContext* _pclAddContext(INAContext* piContext);
    bool __AddContext(INAContext* piContext, CNAContext* pContext);
    // Drops a reference; a context left without data access is unfiled (0).
    int nReleaseContext(INAContext* piContext, CNAContext* pContext);
    unsigned int nGetNbContext() const { return m_tabContext.dwGetNumElement(); }

    // The no-memory error unless an error is held; 0.
    int _bNoMemory(int nPoint);

    // ---- Keys and names -----------------------------------------------------
    // "Table=%s;%s"; 1.
    int bBuildTableIdentification(CTString* pclOut, const wchar_t* pszTableName, const wchar_t* pszCnxIdentification);
    // "CTX=%u;Table=%s;%s"; 1.
    int bBuildQueryIdentification(CTString* pclOut, const wchar_t* pszQueryName, const wchar_t* pszCnxIdentification,
                                  INAContext* piContext);
    // The empty wide text by pointer, neither NULL nor flagged.
    static void g_SetEmptyText(CAny* pResult);
    // "Expr" followed by n + 1000.
    static void g_GenerateItemName(CTString* pclOut, int n);

    // ---- Value cells and parameters (the records issue) ------------------------
    CNAConvertVariant* pclGetNewVariant_NV_Any(CNAError* pError, CNAConnectionDescription* pConnection,
                                               CNAColumn* pColumn, unsigned short nHostType);
    CNAConvertVariant* pclGetNewVariant_NV_Any(CNAError* pError, CNAConnectionDescription* pConnection,
                                               CNAColumn* pColumn, const CAny* pValue);
    CNAParameter* pclAllocParameter_col(CNAColumn* pColumn, CNAConvertVariant* pVariant, unsigned int a,
                                        unsigned int b, const wchar_t* pszName);

    // ---- Query dump ---------------------------------------------------------
    // Loads the 28 labels once (built-in texts for missing resources).
    void InitQueryDumpRessources();
    // The query text and its parameter values as readable text, cut to
    // nMaxLen characters (-1: no limit); 1.
    int bGetQueryDump(CTString* pclOut, const wchar_t* pszQuery, CTabValParser* pValues, unsigned int nMaxLen);
    // Label of position 1 to 28 (empty before the first dump).
    const wchar_t* pszGetLabel(int nPosition) const;

    // ---- Process-wide values ----------------------------------------------------
    static CNADriver* s_pclDriver;
    static HINSTANCE s_hDllHandle;
    static unsigned int s_nID_ZTKX;
    static unsigned int s_nID_ZTSQL;
    static pthread_mutex_t m_gstDriverCriticalSection;
    __attribute__((visibility("default"))) static int s_bGPFCatched; // 1 after a caught client-call crash

    // An exception stopped a host entry: the no-memory error, or an error
    // of its own for anything else. Called inside the handler.
    void _OnException(int nPoint) noexcept;
    // A host entry's frame: the driver mutex for the whole call; an
    // exception ends it with an error and the failure answer. The error
    // object is shared with the SQL interface, so every entry works under
    // the mutex.
    template <class R, class F>
    R _Guard(R rFailure, F&& f) noexcept
    {
        CNADriverLock clLock;
        try {
            return f();
        } catch (...) {
            _OnException(POINT_GUARD_EXCEPTION);
            return rFailure;
        }
    }

protected:
    // A referenced copy of the filed tables (of one connection when given).
    struct CTablesHeld {
        CTablesHeld(CNADriver* pclDriver, CNAConnectionDescription* pclConnection);
        ~CTablesHeld();
        CTablesHeld(const CTablesHeld&) = delete;
        CTablesHeld& operator=(const CTablesHeld&) = delete;
        std::vector<CNATable*> m_tab;
    };
    int _bTransactionEnd(INAConnectionDescription* piDescription, const wchar_t* pszName, bool bCommit);
    void _DropQuery(INAContext* piContext, CNATable* pclQuery, unsigned int nFlags);
    void _ResetError();
    // User error 8 with kind 7: refused or not built yet; 0.
    int _bNotOffered(int nPoint, const wchar_t* pszTable = nullptr);
    // User error 14 naming the host's connection; 0.
    int _bNoConnection(int nPoint, INAConnectionDescription* piDescription, int nFile = ERRFILE_DRIVER);
    // Reset, then fnLock(connection) on the registered connection of the
    // host's description (user error 14 at nFile.nPoint when there is none);
    // its answer.
    int _bLockThroughConnection(INAConnectionDescription* piDescription, int nFile, int nPoint,
                                const std::function<int(CNAConnectionDescription*)>& fnLock);
    // Reset when asked, then fnList(connection) on the connection found or
    // made for the host's description (user error 14 at nPoint without a
    // description), given back by the holders' rule; its answer.
    int _bListOnConnection(INAConnectionDescription* piDescription, int nPoint, bool bReset,
                           const std::function<int(CNAConnectionDescription*)>& fnList);
    // Unfiles the connection under its identification when it is filed
    // there (the registry's reference dropped, the key freed).
    bool _bUnfileConnection(CNAConnectionDescription* pConnection);
    // Under the mutex, the first filed connection that matches, with a
    // reference for the caller.
    CNAConnectionDescription* _pclWalkConnections(bool (*pfnMatch)(CNAConnectionDescription*, const void*),
                                                  const void* pWanted);

    CTString m_tabcsLabel[NB_LABELS];                               // 1
    int m_nExternalRef;                                             // 2
    int m_bSQLModuleChecked;                                        // 3
    CRefStringHashTable<CNAConnectionDescription*> m_tabConnection; // 4
    CRefStringHashTable<CNATable*> m_tabTable;                      // 5
    CNARefHashTable<unsigned int, CNAContext*> m_tabContext;        // 6
    CNAError* m_pclError;                                           // 7, one reference held
    CNADriverSQL* m_pclDriverSQL;                                   // 8, one reference held
    long long m_llRowBlockSize;                                     // 9
    ILibShop* m_piLibShop;                                          // 10, no reference
    IVMData* m_piVMData;                                            // 10, no reference
    IKXForNA* m_piKX;                                               // 11, no reference
};
