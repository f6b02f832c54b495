#include "access/driver/NADriverSQL.h"

#include "access/driver/Interf.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAStatementSQL.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/Tstring.h"

#include <new>
#include <utility>

int CNADriverSQL::m_gnCnxNameGenerator = 0;

namespace {

// Raising points of this file.
enum : int {
    POINT_DATABASE_LIST = 1,
    POINT_LOCK_QUERY = 2,
    POINT_LOCK_TABLE = 3,
    POINT_EXCEPTION = 4,
    POINT_NO_MEMORY = 5,
    POINT_COLUMN = 6,
    POINT_TABLE_LIST = 20,
    POINT_COLUMN_LIST = 21,
    POINT_STATEMENT_COLUMNS = 22,
    POINT_TABLE_DESC = 23,
    POINT_STATEMENT_DESC = 24,
    POINT_LINK_LIST = 25,
    POINT_DATABASE_LIST_INNER = 26,
    POINT_TABLE_LIST_INNER = 27,
};

const wchar_t kTransactionName[] = L"SQLTransaction";

} // namespace

CNADriverSQL::CNADriverSQL(CNADriver* pclDriver, CNAError* pclError)
    : m_nRef(0), m_nExternalRef(0), m_pclDriver(pclDriver), m_pclError(pclError), m_tabStatement(7)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNADriverSQL::~CNADriverSQL()
{
    if (m_pclError != nullptr)
        m_pclError->nRelease();
    m_pclError = nullptr;
    // A statement's end gives its connection back to the driver.
    CNADriverLock clLock;
    m_tabStatement.SupprimeTout();
}

// ---- The frame of a slot ------------------------------------------------------------------------

// The error object is the driver's too: it is touched only under the
// driver mutex, the exception's report included.
template <class R, class F>
R CNADriverSQL::_RunNoReset(R rFailure, F&& f) noexcept
{
    CNADriverLock clLock;
    try {
        if (m_pclDriver == nullptr)
            return rFailure;
        return f();
    } catch (...) {
        if (m_pclError != nullptr)
            m_pclError->OnException(ERRFILE_DRIVERSQL, POINT_EXCEPTION);
        return rFailure;
    }
}

template <class R, class F>
R CNADriverSQL::_Run(R rFailure, F&& f) noexcept
{
    return _RunNoReset(rFailure, [&]() -> R {
        if (m_pclError != nullptr)
            m_pclError->Reset();
        return f();
    });
}

int CNADriverSQL::_bNotOffered(int nPoint, const wchar_t* pszTable)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, ERRFILE_DRIVERSQL, nPoint, nullptr, pszTable, nullptr,
                                   ZTERR_NOT_OFFERED);
    return 0;
}

// ---- Counting -------------------------------------------------------------------------------------

// Under the driver mutex: the host may hold the interface on several threads.

INADriverSQL* CNADriverSQL::ExternalAddRef()
{
    CNADriverLock clLock;
    m_nExternalRef++;
    return this;
}

int CNADriverSQL::nExternalRelease()
{
    CNADriverLock clLock;
    return g_nReleaseOneOfTwo(this, m_nExternalRef, m_nRef);
}

unsigned int CNADriverSQL::nRelease()
{
    CNADriverLock clLock;
    return g_nReleaseOneOfTwo(this, m_nRef, m_nExternalRef);
}

// ---- Fixed answers ------------------------------------------------------------------------------------

int CNADriverSQL::nGetVersion() const
{
    return 4;
}

int CNADriverSQL::nGetCompatSince() const
{
    return 2;
}

int CNADriverSQL::nGetNAVersion() const
{
    return -1;
}

int CNADriverSQL::nGetNACompatSince() const
{
    return -1;
}

void CNADriverSQL::NAVersion_EmptySlot_3() {}

INAError* CNADriverSQL::piGetLastError()
{
    return m_pclError;
}

void* CNADriverSQL::piGetInterface(int)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct1(unsigned char*)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct2(unsigned char*)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct3(unsigned char*)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct4(unsigned char*)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct5(unsigned char*)
{
    return nullptr;
}

int CNADriverSQL::bLoadNativeDll(unsigned char*, unsigned int)
{
    return 1;
}

int CNADriverSQL::bFreeNativeDll(unsigned char*, unsigned int)
{
    return 1;
}

int CNADriverSQL::bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData)
{
    CNADriver* pclDriver = m_pclDriver;
    return pclDriver != nullptr ? pclDriver->bSetVMAndLibShop(piLibShop, piVMData) : 0;
}

void CNADriverSQL::EmptySlot258() {}
void CNADriverSQL::EmptySlot259() {}
void CNADriverSQL::EmptySlot261() {}
void CNADriverSQL::EmptySlot262() {}
void CNADriverSQL::EmptySlot263() {}
void CNADriverSQL::EmptySlot264() {}
void CNADriverSQL::EmptySlot265() {}
void CNADriverSQL::EmptySlot267() {}
void CNADriverSQL::EmptySlot268() {}
void CNADriverSQL::EmptySlot269() {}
void CNADriverSQL::EmptySlot270() {}
void CNADriverSQL::EmptySlot271() {}
void CNADriverSQL::EmptySlot273() {}
void CNADriverSQL::EmptySlot274() {}
void CNADriverSQL::EmptySlot275() {}
void CNADriverSQL::EmptySlot276() {}
void CNADriverSQL::EmptySlot277() {}
void CNADriverSQL::EmptySlot279() {}
void CNADriverSQL::EmptySlot280() {}
void CNADriverSQL::EmptySlot281() {}
void CNADriverSQL::EmptySlot282() {}
void CNADriverSQL::EmptySlot283() {}
void CNADriverSQL::EmptySlot285() {}
void CNADriverSQL::EmptySlot286() {}
void CNADriverSQL::EmptySlot287() {}
void CNADriverSQL::EmptySlot288() {}
void CNADriverSQL::EmptySlot289() {}
void CNADriverSQL::EmptySlot291() {}
void CNADriverSQL::EmptySlot292() {}
void CNADriverSQL::EmptySlot293() {}
void CNADriverSQL::EmptySlot294() {}
void CNADriverSQL::EmptySlot295() {}
void CNADriverSQL::EmptySlot297() {}
void CNADriverSQL::EmptySlot298() {}
void CNADriverSQL::EmptySlot299() {}
void CNADriverSQL::EmptySlot300() {}
void CNADriverSQL::EmptySlot301() {}

// ---- Connections ---------------------------------------------------------------------------------------

CNAConnectionDescription* CNADriverSQL::_pclGetConnection(int nConnection)
{
    return m_pclDriver != nullptr ? m_pclDriver->pclGetConnectionByID(nConnection) : nullptr;
}

void CNADriverSQL::_ReleaseConnection(CNAConnectionDescription* pConnection)
{
    if (pConnection == nullptr)
        return;
    if (m_pclDriver != nullptr)
        m_pclDriver->nReleaseConnection(pConnection);
    else
        pConnection->nRelease();
}

int CNADriverSQL::bOpenConnection(int* pnConnection, INAConnectionDescription* piDescription)
{
    if (pnConnection != nullptr)
        *pnConnection = 0;
    return _Run(0, [&] {
        if (piDescription == nullptr)
            return 0;
        CTString csIdentification;
        m_pclDriver->bBuildCnxIdentification(&csIdentification, piDescription);
        CTString csSuffix;
        csSuffix.printf(L";SQLConnecte%d", ++m_gnCnxNameGenerator);
        csIdentification.Add(csSuffix.pszGet());
        CNAConnectionDescription* pcl = m_pclDriver->_pclAddConnection(csIdentification.pszGet(), piDescription);
        if (pcl == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, ERRFILE_DRIVERSQL, POINT_NO_MEMORY,
                                     nullptr);
            return 0;
        }
        pcl->SetOpenedBySQL(1);
        const int bResult = m_pclDriver->_bOpenConnection(pcl);
        if (bResult && pnConnection != nullptr)
            *pnConnection = static_cast<int>(pcl->nGetNumber());
        // The registry and, on success, the host's opening hold it now; a
        // failed one is gone with this release.
        pcl->nRelease();
        return bResult;
    });
}

int CNADriverSQL::bCloseConnection(int nConnection)
{
    return _Run(0, [&] { return m_pclDriver->_bCloseConnectionById(nConnection); });
}

// ---- Catalogue slots, answered by their own issue ---------------------------------------------------

int CNADriverSQL::bGetDataBaseList(CAny*, unsigned int)
{
    return _Run(0, [&] { return _bNotOffered(POINT_DATABASE_LIST); });
}

int CNADriverSQL::bGetTableList(CAny*, int, const wchar_t*, unsigned int)
{
    return _Run(0, [&] { return _bNotOffered(POINT_TABLE_LIST); });
}

int CNADriverSQL::bGetColumnList(CAny*, int, const wchar_t* pszTable, unsigned int)
{
    return _Run(0, [&] { return _bNotOffered(POINT_COLUMN_LIST, pszTable); });
}

int CNADriverSQL::bGetColumnList(CAny*, int, int, unsigned int)
{
    return _Run(0, [&] { return _bNotOffered(POINT_STATEMENT_COLUMNS); });
}

INADataSourceDescription* CNADriverSQL::piGetTableDesc(int nConnection, const wchar_t* pszTable, unsigned int)
{
    return _Run(static_cast<INADataSourceDescription*>(nullptr), [&]() -> INADataSourceDescription* {
        CNAConnectionDescription* pclConnection = _pclGetConnection(nConnection);
        if (pclConnection == nullptr)
            return nullptr;
        INADataSourceDescription* pi = nullptr;
        try {
            pi = m_pclDriver->_piGetTableDesc(pszTable, pclConnection);
        } catch (...) {
            _ReleaseConnection(pclConnection);
            throw;
        }
        _ReleaseConnection(pclConnection);
        return pi;
    });
}

INADataSourceDescription* CNADriverSQL::piGetTableDesc(int nConnection, int nStatement, unsigned int)
{
    if (nStatement == 0)
        return nullptr;
    return _Run(static_cast<INADataSourceDescription*>(nullptr), [&]() -> INADataSourceDescription* {
        CNAStatementSQL* pclStatement = _pclGetStatement(nStatement);
        if (pclStatement == nullptr)
            return nullptr;
        // The statement stays on the table's reference for the whole run.
        struct CHold {
            CNADriverSQL* pclOwner;
            CNAConnectionDescription* pclConnection;
            CNADataSourceDescription* pclDescription;
            ~CHold()
            {
                if (pclDescription != nullptr)
                    pclDescription->nRelease();
                pclOwner->_ReleaseConnection(pclConnection);
            }
        } clHold{this, _pclGetConnection(nConnection), nullptr};
        if (clHold.pclConnection == nullptr)
            return nullptr;
        clHold.pclDescription = m_pclDriver->pclAllocDataSourceDescription(clHold.pclConnection, m_pclError);
        if (clHold.pclDescription == nullptr) {
            m_pclDriver->_bNoMemory(POINT_STATEMENT_DESC);
            return nullptr;
        }
        clHold.pclDescription->AddRef();
        if (!clHold.pclDescription->bInitDataSourceDescriptionFromStatement(pclStatement))
            return nullptr;
        // The host holds the only reference.
        CNADataSourceDescription* pcl = clHold.pclDescription;
        pcl->ExternalAddRef();
        return static_cast<INADataSourceDescription*>(pcl);
    });
}

int CNADriverSQL::bGetColumnTypeList(CAny* pResult, int, unsigned int)
{
    return _Run(0, [&] {
        CNADriver::g_SetEmptyText(pResult);
        return 1;
    });
}

int CNADriverSQL::bGetTableList(CAny*, CNAConnectionDescription*, const wchar_t*, unsigned int)
{
    return _bNotOffered(POINT_TABLE_LIST_INNER);
}

int CNADriverSQL::bGetColumnList(CAny*, CNAConnectionDescription*, const wchar_t* pszTable, unsigned int)
{
    return _bNotOffered(POINT_COLUMN_LIST, pszTable);
}

int CNADriverSQL::bGetLinkList(CAny*, CNAConnectionDescription*, const wchar_t* pszTable,
                               INADataSourceDescription*, unsigned int)
{
    return _bNotOffered(POINT_LINK_LIST, pszTable);
}

void CNADriverSQL::_GetTableList_GetFilter(CXYStringConcat<wchar_t>*, const wchar_t*, unsigned int) {}

int CNADriverSQL::_bGetDatabaseList(CXYStringConcat<wchar_t>*, CNAConnectionDescription*, unsigned int)
{
    return _bNotOffered(POINT_DATABASE_LIST_INNER);
}

int CNADriverSQL::_bGetDatabaseListQuery(CTStringConcatAW*, CNAConnectionDescription*, unsigned int)
{
    return _bNotOffered(POINT_DATABASE_LIST_INNER);
}

int CNADriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW*, const wchar_t*, CNAConnectionDescription*,
                                              unsigned int)
{
    return _bNotOffered(POINT_DATABASE_LIST_INNER);
}

int CNADriverSQL::_bGetTableList(CAny*, CNAConnectionDescription*, const wchar_t*, unsigned int)
{
    return _bNotOffered(POINT_TABLE_LIST_INNER);
}

// ---- Execution and statements --------------------------------------------------------------------------

void CRefTraits<CNAStatementSQL, void>::AddRef(CNAStatementSQL* p)
{
    p->AddRef();
}

void CRefTraits<CNAStatementSQL, void>::Release(CNAStatementSQL* p)
{
    p->nRelease();
}

int CNADriverSQL::bExecute(CNAError* pError, CNAStatementSQL** ppclStatement, CNAConnectionDescription* pConnection,
                           const wchar_t* pszQuery, CTabValParser* pParameters, unsigned int nFlags)
{
    *ppclStatement = nullptr;
    CNAStatementSQL* pcl = pclAllocStatementSQL(pConnection, pError);
    if (pcl == nullptr) {
        if (pError != nullptr && pError->eGetErrorType() == NA_ERRORTYPE_NONE)
            pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, ERRFILE_DRIVERSQL, POINT_NO_MEMORY,
                             pConnection);
        return 0;
    }
    pcl->AddRef();
    int bResult = 0;
    unsigned int nColumns = 0;
    try {
        bResult = pcl->bExecuteDirect(pszQuery, pParameters, nFlags);
        if (bResult)
            pcl->bGetColumnNbr(&nColumns, 0);
    } catch (...) {
        pcl->nRelease();
        throw;
    }
    if (bResult && nColumns > 0)
        *ppclStatement = pcl;
    else
        pcl->nRelease();
    return bResult;
}

int CNADriverSQL::bExecute(int* pnStatement, int nConnection, const wchar_t* pszQuery, CTabValParser* pParameters,
                           unsigned int nFlags)
{
    if (pnStatement != nullptr)
        *pnStatement = 0;
    return _Run(0, [&] {
        CNAConnectionDescription* pclConnection = _pclGetConnection(nConnection);
        if (pclConnection == nullptr)
            return 0;
        CNAStatementSQL* pcl = nullptr;
        int bResult = 0;
        try {
            bResult = bExecute(m_pclError, &pcl, pclConnection, pszQuery, pParameters, nFlags);
            if (pcl != nullptr) {
                if (!m_tabStatement.bAddValue(pcl->nGetStmtID(), pcl))
                    throw std::bad_alloc();
                if (pnStatement != nullptr)
                    *pnStatement = pcl->nGetStmtID();
                pcl->nRelease();
                pcl = nullptr;
            }
        } catch (...) {
            if (pcl != nullptr)
                pcl->nRelease();
            _ReleaseConnection(pclConnection);
            throw;
        }
        _ReleaseConnection(pclConnection);
        return bResult;
    });
}

CNAStatementSQL* CNADriverSQL::_pclGetStatement(int nStatement)
{
    if (nStatement == 0)
        return nullptr;
    // Hosts read one statement's rows at a time: the last one found is kept,
    // on the table's reference, until the table changes.
    CNAStatementSQL* pcl = m_pclLastStatement;
    if (nStatement != m_nLastStatement || pcl == nullptr) {
        if (!m_tabStatement.bGetValue(nStatement, &pcl))
            return nullptr;
        pcl->nRelease();
        m_nLastStatement = nStatement;
        m_pclLastStatement = pcl;
    }
    // A statement made here reports into this interface's error object,
    // which the slot has just reset.
    CNAError* pclOwn = nullptr;
    pcl->bGetStmtLastError(&pclOwn);
    if (pclOwn != m_pclError)
        pcl->ResetLastError();
    return pcl;
}

int CNADriverSQL::_bCheckColumn(CNAStatementSQL* pclStatement, unsigned int nColumn)
{
    unsigned int nCount = 0;
    pclStatement->bGetColumnNbr(&nCount, 0);
    if (nColumn >= 1 && nColumn <= nCount)
        return 1;
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DRIVERSQL, POINT_COLUMN, nullptr, nullptr, nullptr,
                                   ZTERR_COLUMN_INDEX, static_cast<int>(nColumn), static_cast<int>(nCount));
    return 0;
}

int CNADriverSQL::bFreeStmt(int, int nStatement, unsigned int)
{
    return _Run(0, [&] {
        if (nStatement != 0) {
            _ForgetStatement();
            m_tabStatement.bRemoveValue(nStatement);
        }
        return 1;
    });
}

int CNADriverSQL::bGetStmtLastError(INAError** ppiError, int, int nStatement)
{
    if (nStatement == 0)
        return 0;
    return _RunNoReset(0, [&] {
        CNAStatementSQL* pcl = nullptr;
        if (!m_tabStatement.bGetValue(nStatement, &pcl))
            return 0;
        // The table keeps it while the driver mutex is held.
        pcl->nRelease();
        CNAError* pclError = nullptr;
        const int bResult = pcl->bGetStmtLastError(&pclError);
        if (ppiError != nullptr)
            *ppiError = pclError;
        return bResult;
    });
}

int CNADriverSQL::bGetColumnNbr(int* pnCount, int, int nStatement, unsigned int nFlags)
{
    if (nStatement == 0) {
        if (pnCount != nullptr)
            *pnCount = 0;
        return 1;
    }
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl)
            return 0;
        unsigned int nCount = 0;
        const int bResult = cl->bGetColumnNbr(&nCount, nFlags);
        if (pnCount != nullptr)
            *pnCount = static_cast<int>(nCount);
        return bResult;
    });
}

int CNADriverSQL::bGetColumnName(CAny* pName, int, int nStatement, unsigned int nColumn, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl || !_bCheckColumn(cl, nColumn))
            return 0;
        return cl->bGetColumnName(pName, static_cast<int>(nColumn - 1), nFlags);
    });
}

int CNADriverSQL::bFetch(int, int nStatement, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl)
            return 0;
        return cl->bFetch(nFlags) && !cl->bEndOfData() ? 1 : 0;
    });
}

int CNADriverSQL::bGetRow(CAny* pRow, int, int nStatement, const wchar_t* pszSeparator, int n, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl)
            return 0;
        return cl->bGetRow(pRow, pszSeparator, n, nFlags);
    });
}

int CNADriverSQL::bGetValue(CAny* pValue, int, int nStatement, unsigned int nColumn, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl || !_bCheckColumn(cl, nColumn))
            return 0;
        return cl->bGetValue(pValue, nColumn - 1, nFlags);
    });
}

int CNADriverSQL::bGetBLOBValue(CAny* pValue, int, int nStatement, unsigned int nColumn, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl || !_bCheckColumn(cl, nColumn))
            return 0;
        return cl->bGetBLOBValue(pValue, nColumn - 1, nFlags);
    });
}

// ---- Transactions and locks -------------------------------------------------------------------------------

namespace {

// Runs f on the connection of that number and gives the look-up's
// reference back; 0 without a connection.
template <class F>
int nOnConnection(CNADriverSQL* pclSQL, int nConnection, F&& f)
{
    CNAConnectionDescription* pcl = pclSQL->_pclGetConnection(nConnection);
    if (pcl == nullptr)
        return 0;
    int bResult = 0;
    try {
        bResult = f(pcl);
    } catch (...) {
        pclSQL->_ReleaseConnection(pcl);
        throw;
    }
    pclSQL->_ReleaseConnection(pcl);
    return bResult;
}

} // namespace

int CNADriverSQL::bTrsBegin(int*, int nConnection, unsigned int)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection,
                             [&](CNAConnectionDescription* pcl) { return pcl->bTransactionBegin(m_pclError, kTransactionName); });
    });
}

int CNADriverSQL::bTrsCommit(int nConnection, int, unsigned int)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection,
                             [&](CNAConnectionDescription* pcl) { return pcl->bTransactionCommit(m_pclError, kTransactionName); });
    });
}

int CNADriverSQL::bTrsRollBack(int nConnection, int, unsigned int)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription* pcl) {
            return pcl->bTransactionRollBack(m_pclError, kTransactionName);
        });
    });
}

int CNADriverSQL::bSQLBloqueTable(int nConnection, const wchar_t* pszTable, unsigned int nFlags)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription* pcl) {
            if (!pcl->_bTransactionOpened()) {
                if (m_pclError != nullptr)
                    m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DRIVERSQL, POINT_LOCK_TABLE, pcl, pszTable,
                                               nullptr, ZTERR_LOCK_NO_TRANSACTION);
                return 0;
            }
            return bSQLBloqueTable(m_pclError, pcl, pszTable, nFlags);
        });
    });
}

int CNADriverSQL::bSQLBloqueRequete(int nConnection, const wchar_t* pszQuery, unsigned int nFlags)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription* pcl) {
            if (!pcl->_bTransactionOpened()) {
                if (m_pclError != nullptr)
                    m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DRIVERSQL, POINT_LOCK_QUERY, pcl, nullptr,
                                               nullptr, ZTERR_LOCK_NO_TRANSACTION);
                return 0;
            }
            return bSQLBloqueRequete(pcl, pszQuery, nFlags);
        });
    });
}

int CNADriverSQL::bSQLBloqueTable(CNAError* pError, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                                  unsigned int)
{
    if (!pConnection->bOpen(pError))
        return 0;
    return pConnection->bSQLBloque(pError, pszTable);
}

int CNADriverSQL::bSQLBloqueRequete(CNAConnectionDescription* pConnection, const wchar_t* pszQuery, unsigned int)
{
    if (!pConnection->bOpen(m_pclError))
        return 0;
    return pConnection->bSQLBloqueRequete(m_pclError, pszQuery);
}
