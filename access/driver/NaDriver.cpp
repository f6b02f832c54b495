#include "access/driver/NaDriver.h"

#include "access/driver/INAConnectionDescription.h"
#include "access/driver/INAContext.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/sql/NACommand.h"
#include "access/sql/TabValParser.h"
#include "access/statement/NAColumn.h"
#include "common/platform/MainCommun.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TextCompare.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"
#include "common/values/NACnvVariant.h"
#include "mysql/NAFunctionLoader.h"

#include <exception>
#include <new>

int gnNbInitialisation = 0;

CNADriver* CNADriver::s_pclDriver = nullptr;
HINSTANCE CNADriver::s_hDllHandle = nullptr;
unsigned int CNADriver::s_nID_ZTKX = 0;
unsigned int CNADriver::s_nID_ZTSQL = 0;
// Recursive from the load on, so that a nested entry never blocks even
// before the first bInitLibrary; bInitLibrary creates it again.
pthread_mutex_t CNADriver::m_gstDriverCriticalSection = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;

// No table object or context exists before their classes do.
void CRefTraits<CNATable, void>::AddRef(CNATable*) {}
void CRefTraits<CNATable, void>::Release(CNATable*) {}
void CRefTraits<CNAContext, void>::AddRef(CNAContext*) {}
void CRefTraits<CNAContext, void>::Release(CNAContext*) {}

namespace {

// Raising points of this file (the slots use their slot number).
enum : int {
    POINT_EXCEPTION = 40,
    POINT_NO_CONNECTION = 41,
    POINT_TABLE_LIST = 42,
    POINT_TABLE_EXISTS = 43,
    POINT_LINK_LIST = 44,
};

// A host entry: an exception stops it with an error and the failure answer.
template <class R, class F>
R Guard(CNADriver* pclDriver, R rFailure, F&& f) noexcept
{
    try {
        return f();
    } catch (...) {
        pclDriver->_OnException(POINT_EXCEPTION);
        return rFailure;
    }
}

const wchar_t* pszOrNULL(const wchar_t* psz)
{
    return psz != nullptr ? psz : L"NULL";
}

// Label positions (from 1) in their loading order, with their resources
// and built-in texts; positions 8 to 10 are never loaded.
struct STLabel {
    int nPosition;
    unsigned int nRessource;
    const wchar_t* pszBuiltIn;
};
const STLabel s_tabLabel[] = {
    {1, 25676, L"Texte de la requête :"},
    {2, 25679, L"Nombre de paramètres :"},
    {3, 25678, L"Paramètre :"},
    {4, 25675, L"Type Tarsel"},
    {5, 25680, L"Type ADO"},
    {6, 25670, L"Valeur"},
    {7, 25674, L"Echec de la conversion de la valeur en texte."},
    {11, 25810, L"Informations de bind des paramètres :"},
    {12, 25843, L"Connexion parameters : "},
    {13, 25846, L"DataSource : "},
    {28, 25869, L"Native Library : "},
    {14, 25849, L"Provider : "},
    {15, 25847, L"Utilisateur : "},
    {16, 25848, L"Database : "},
    {17, 25834, L"Connexion Timeout : "},
    {18, 25835, L"Command Timeout : "},
    {19, 25836, L"Lock Timeout : "},
    {20, 25837, L"Cursor Position : "},
    {21, 25838, L"Unicode actived : "},
    {22, 25839, L"Lock Tag : "},
    {23, 25840, L"Lock mode : "},
    {24, 25841, L"KX5 compatible Date Format : "},
    {25, 25842, L"Charset : "},
    {26, 25844, L"TQ Page Code : "},
    {27, 25845, L"Connexion Page Code: "},
};

// Statuses of the value operations up to this one are successes.
constexpr int kMaxCastSuccess = 99;

} // namespace

// ---- Construction and destruction -----------------------------------------------------

CNADriver::CNADriver()
    : m_nExternalRef(0),
      m_bSQLModuleChecked(0),
      m_tabConnection(7),
      m_tabTable(7),
      m_tabContext(7),
      m_pclError(nullptr),
      m_pclDriverSQL(nullptr),
      m_llRowBlockSize(-1),
      m_piLibShop(nullptr),
      m_piVMData(nullptr),
      m_piKX(nullptr)
{
}

CNADriver::~CNADriver()
{
    if (m_pclError != nullptr)
        m_pclError->Reset();
    m_tabContext.SupprimeTout();
    m_tabTable.SupprimeTout();
    // Openings the host never closed cannot be closed any more: they go with
    // the registry's own reference.
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabConnection.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNAConnectionDescription* pcl = static_cast<CNAConnectionDescription*>(pValue);
        while (pcl->nGetHostOpens() > 0 && pcl->nGetRef() > 1) {
            pcl->RemoveHostOpen();
            pcl->nRelease();
        }
    }
    m_tabConnection.SupprimeTout();
    if (m_pclError != nullptr) {
        m_pclError->nRelease();
        m_pclError = nullptr;
    }
    if (m_pclDriverSQL != nullptr)
        _FreeDriverSQL();
    if (s_pclDriver == this)
        s_pclDriver = nullptr;
}

// ---- Life ---------------------------------------------------------------------------------

void CNADriver::g_NAInitModule(HINSTANCE hModule)
{
    s_hDllHandle = hModule;
    CMainCommun::bInitLibraryCommon(hModule);
    s_nID_ZTKX = 0;
    s_nID_ZTSQL = 0;
    pthread_mutexattr_t stAttr;
    pthread_mutexattr_init(&stAttr);
    pthread_mutexattr_settype(&stAttr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_gstDriverCriticalSection, &stAttr);
    pthread_mutexattr_destroy(&stAttr);
}

int CNADriver::g_NATermModule()
{
    pthread_mutex_destroy(&m_gstDriverCriticalSection);
    CNAFunctionLoader::g_Term();
    return CMainCommun::bTermLibraryCommon() ? 1 : 0;
}

int CNADriver::bInitDriver()
{
    AllocError();
    return m_pclError != nullptr ? 1 : 0;
}

void CNADriver::AllocError()
{
    if (m_pclError != nullptr) {
        m_pclError->nRelease();
        m_pclError = nullptr;
    }
    m_pclError = pclAllocError();
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNADriverSQL* CNADriver::pclGetDriverSQL()
{
    if (m_pclDriverSQL == nullptr)
        _InitDriverSQL();
    return m_pclDriverSQL;
}

CNADriverSQL* CNADriver::s_pclGetDriverSQL()
{
    return s_pclDriver != nullptr ? s_pclDriver->pclGetDriverSQL() : nullptr;
}

void CNADriver::_InitDriverSQL()
{
    m_pclDriverSQL = _pclAllocDriverSQL(m_pclError);
    if (m_pclDriverSQL != nullptr)
        m_pclDriverSQL->AddRef();
}

void CNADriver::_FreeDriverSQL()
{
    CNADriverSQL* pcl = m_pclDriverSQL;
    m_pclDriverSQL = nullptr;
    if (pcl == nullptr)
        return;
    // The host may keep the interface past the driver.
    pcl->_DriverGone();
    pcl->nRelease();
}

void CNADriver::_BeforeDeath() {}

void CNADriver::_ResetError()
{
    if (m_pclError != nullptr)
        m_pclError->Reset();
}

// ---- Errors -------------------------------------------------------------------------------

int CNADriver::_bNotOffered(int nPoint, const wchar_t* pszTable)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, ERRFILE_DRIVER, nPoint, nullptr, pszTable, nullptr,
                                   ZTERR_NOT_OFFERED);
    return 0;
}

int CNADriver::_bNoConnection(int nPoint, INAConnectionDescription* piDescription)
{
    const wchar_t* pszName = piDescription != nullptr ? piDescription->pszGetConnectionName() : nullptr;
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DRIVER, nPoint, nullptr, nullptr, nullptr,
                                   ZTERR_NO_CONNECTION, pszName != nullptr ? pszName : L"");
    return 0;
}

void CNADriver::_OnException(int nPoint) noexcept
{
    if (m_pclError != nullptr)
        m_pclError->OnException(ERRFILE_DRIVER, nPoint);
}

// ---- INAVersion -------------------------------------------------------------------------------

int CNADriver::nGetVersion() const
{
    return 18;
}

int CNADriver::nGetCompatSince() const
{
    return 17;
}

int CNADriver::nGetNAVersion() const
{
    return -1;
}

int CNADriver::nGetNACompatSince() const
{
    return -1;
}

void CNADriver::NAVersion_EmptySlot_3() {}

// ---- Life slots ---------------------------------------------------------------------------

void CNADriver::ExternalAddRef()
{
    m_nExternalRef++;
}

int CNADriver::nExternalRelease()
{
    return Guard(this, 0, [&] {
        if (m_nExternalRef <= 0)
            return 0;
        const int n = --m_nExternalRef;
        if (n == 0)
            delete this;
        return n;
    });
}

void* CNADriver::piGetInterface(int nId)
{
    return Guard(this, static_cast<void*>(nullptr), [&]() -> void* {
        _ResetError();
        if (nId != 1)
            return nullptr;
        if (m_pclDriverSQL == nullptr)
            _InitDriverSQL();
        if (m_pclDriverSQL == nullptr)
            return nullptr;
        return static_cast<INADriverSQL*>(m_pclDriverSQL->ExternalAddRef());
    });
}

INAError* CNADriver::piGetLastError()
{
    return m_pclError;
}

int CNADriver::bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData)
{
    m_piLibShop = piLibShop;
    m_piVMData = piVMData;
    return 1;
}

int CNADriver::bSetKX(IKXForNA* piKX)
{
    m_piKX = piKX;
    return 1;
}

int CNADriver::bSetCharset(unsigned int, void*)
{
    return 1;
}

// ---- Connection slots ---------------------------------------------------------------------

int CNADriver::bOpenConnection(INAConnectionDescription* piDescription)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        _ResetError();
        if (piDescription == nullptr)
            return _bNoConnection(9, nullptr);
        CNAConnectionDescription* pcl = _pclGetConnection(piDescription);
        if (pcl == nullptr)
            return _bNotOffered(9);
        const int bResult = _bOpenConnection(pcl);
        pcl->nRelease();
        return bResult;
    });
}

int CNADriver::bCloseConnection(INAConnectionDescription* piDescription)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        _ResetError();
        CNAConnectionDescription* pcl = piDescription != nullptr ? _pclFindConnection(piDescription) : nullptr;
        if (pcl == nullptr)
            return 1;
        // A host close drops only an opening the host holds.
        const bool bHostOpened = pcl->nGetHostOpens() > 0;
        if (nReleaseConnection(pcl) > 0 && bHostOpened)
            _bCloseConnection(pcl);
        return 1;
    });
}

// ---- Slots of the later issues: refused until they are built ------------------------------

int CNADriver::bCopyContext(INACopyCtx*, INAContext*, INAContext*, unsigned int)
{
    return 0;
}

int CNADriver::bHMode(INAContext*, _eNA_HMODE)
{
    return Guard(this, 0, [&] { return _bNotOffered(13); });
}

INATable* CNADriver::piGetTable(INAConnectionDescription*, INADataSourceDescription*)
{
    return Guard(this, static_cast<INATable*>(nullptr), [&]() -> INATable* {
        _bNotOffered(14);
        return nullptr;
    });
}

int CNADriver::bGetTableList(CAny*, INAConnectionDescription*, unsigned int)
{
    return Guard(this, 0, [&] { return _bNotOffered(15); });
}

INADataSourceDescription* CNADriver::piGetTableDesc(const wchar_t*, INAConnectionDescription*)
{
    return Guard(this, static_cast<INADataSourceDescription*>(nullptr), [&]() -> INADataSourceDescription* {
        _bNotOffered(16);
        return nullptr;
    });
}

int CNADriver::bHExecuteRequeteSQL(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName,
                                   INAConnectionDescription* piDescription, ISQLParserInformation* piParser,
                                   unsigned int nFlags)
{
    return bHExecuteRequeteSQLEx(ppiTable, piContext, pszName, piDescription, piParser, nFlags, nullptr);
}

int CNADriver::bCloseContext(INAContext*)
{
    return Guard(this, 0, [&] { return _bNotOffered(18); });
}

int CNADriver::bTransactionBegin(INAConnectionDescription*, const wchar_t*)
{
    return Guard(this, 0, [&] { return _bNotOffered(19); });
}

int CNADriver::bTransactionCommit(INAConnectionDescription*, const wchar_t*)
{
    return Guard(this, 0, [&] { return _bNotOffered(20); });
}

int CNADriver::bTransactionRollBack(INAConnectionDescription*, const wchar_t*)
{
    return Guard(this, 0, [&] { return _bNotOffered(21); });
}

int CNADriver::bSQLBloqueTable(INAConnectionDescription*, const wchar_t*)
{
    return Guard(this, 0, [&] { return _bNotOffered(22); });
}

int CNADriver::bSQLBloqueRequete(INAConnectionDescription*, ISQLParserInformation*)
{
    return Guard(this, 0, [&] { return _bNotOffered(23); });
}

int CNADriver::bSQLFormatColonne(INAConnectionDescription*, CAny* pResult)
{
    return Guard(this, 0, [&] {
        CNADriverSQL* pclSQL = pclGetDriverSQL();
        if (pclSQL != nullptr)
            pclSQL->bGetColumnTypeList(pResult, 0, 0);
        else
            g_SetEmptyText(pResult);
        return 1;
    });
}

int CNADriver::bHConnexionDiagnose(CAny*, INAConnectionDescription*, const wchar_t*, unsigned int)
{
    return Guard(this, 0, [&] { return _bNotOffered(25); });
}

int CNADriver::bGetProviderList(CAny*)
{
    return Guard(this, 0, [&] { return _bNotOffered(26); });
}

int CNADriver::bTableExists(int*, const wchar_t*, INAConnectionDescription*)
{
    return Guard(this, 0, [&] { return _bNotOffered(27); });
}

int CNADriver::bGetLinkList(CAny*, const wchar_t*, INADataSourceDescription*, INAConnectionDescription*,
                            unsigned int)
{
    return Guard(this, 0, [&] { return _bNotOffered(28); });
}

int CNADriver::bGetListeSource(CAny* pResult, int)
{
    return Guard(this, 0, [&] {
        g_SetEmptyText(pResult);
        return 1;
    });
}

int CNADriver::bSetQueryParameters(INAContext*, INAConnectionDescription*, INAQueryParametersValue*)
{
    return 1;
}

int CNADriver::bFiltreAuto(INAContext*, INAConnectionDescription*, int, const wchar_t* pszTable1,
                           INADataSourceDescription*, const wchar_t*, INADataSourceDescription*)
{
    return Guard(this, 0, [&] { return _bNotOffered(32, pszTable1); });
}

int CNADriver::SetNextLogicalName(INAContext*, const wchar_t*)
{
    return Guard(this, 0, [&] { return _bNotOffered(33); });
}

int CNADriver::bHExecuteRequeteSQLEx(INATable** ppiTable, INAContext*, const wchar_t*, INAConnectionDescription*,
                                     ISQLParserInformation*, unsigned int, const INAQueryExecution*)
{
    return Guard(this, 0, [&] {
        if (ppiTable != nullptr)
            *ppiTable = nullptr;
        return _bNotOffered(34);
    });
}

int CNADriver::bFreeDataSource(INAContext*, const wchar_t*, INAConnectionDescription*)
{
    return Guard(this, 0, [&] { return _bNotOffered(35); });
}

int CNADriver::bValidConnection(INAConnectionDescription*)
{
    return 1;
}

int CNADriver::bSupprimeFichier(INAContext*, INAConnectionDescription*, const wchar_t*, INADataSourceDescription*)
{
    return Guard(this, 0, [&] { return _bNotOffered(38); });
}

int CNADriver::bGetDatabaseList(CXYString<wchar_t>*, INAConnectionDescription*, unsigned int)
{
    return Guard(this, 0, [&] { return _bNotOffered(39); });
}

// ---- Factories -----------------------------------------------------------------------------

CNAConvertVariant* CNADriver::pclAllocVariant(CNAError* pError, CNAConnectionDescription* pConnection)
{
    if (pError == nullptr)
        pError = m_pclError;
    CNAConvertVariant* pclVariant = new (std::nothrow) CNAConvertVariant(pError, pConnection);
    if (pclVariant == nullptr && pError != nullptr)
        pError->pclGetXError()->SetErrorNoMemory();
    return pclVariant;
}

CNAConvertVariant* CNADriver::pclAllocVariantRowID(CNAError*, CNAConnectionDescription*)
{
    return nullptr;
}

CNADataSourceDescription* CNADriver::pclAllocDataSourceDescription(CNAConnectionDescription* pConnection,
                                                                   CNAError* pError)
{
    return new (std::nothrow) CNADataSourceDescription(pConnection, pError);
}

CNAContext* CNADriver::pclAllocContext()
{
    return nullptr;
}

CNADataAccess* CNADriver::pclAllocDataAccess(INADataSourceDescription*, CNAConnectionDescription*, CNAError*)
{
    return nullptr;
}

CNAStatement* CNADriver::pclAllocStatement(CNADataAccess*, CNAConnectionDescription*, CNAError*)
{
    return nullptr;
}

CNAColumn* CNADriver::pclAllocColumn(CNAError* pError, INAItemDescription* piItem)
{
    return _pclAllocNASQLColumn(pError, piItem);
}

CNACommand* CNADriver::pclAllocCommand(CNAError* pError, CNAConnectionDescription* pConnection)
{
    return ::pclAllocCommand(pError, pConnection);
}

CNAError* CNADriver::pclAllocError()
{
    return new (std::nothrow) CNAError();
}

CNAIDAuto* CNADriver::pclAllocIDAuto()
{
    return nullptr;
}

CNADataSourceDescription* CNADriver::_pclGetTableDesc(const wchar_t*, CNAConnectionDescription*)
{
    return nullptr;
}

CNAParameter* CNADriver::pclAllocParameter(CNAConvertVariant* pVariant, unsigned int a, unsigned int b,
                                           const wchar_t* pszName)
{
    return new (std::nothrow) CNAParameter(pVariant, a, b, pszName);
}

void CNADriver::CancelRecordLock(INAConnectionDescription*, CNATransaction*) {}

CNAItemDescription* CNADriver::pclAllocItemDescription()
{
    return new (std::nothrow) CNAItemDescription();
}

void CNADriver::OnFatalErrorAddDebugMessage(CNAError*, CNAConnectionDescription*) {}

CNAConnectionDescription* CNADriver::_pclAllocConnectionDescription(const wchar_t*, INAConnectionDescription*)
{
    return nullptr;
}

CNATable* CNADriver::_pclAllocTable(const wchar_t*, INADataSourceDescription*, CNAConnectionDescription*, CNAError*)
{
    return nullptr;
}

CNADriverSQL* CNADriver::_pclAllocDriverSQL(CNAError*)
{
    return nullptr;
}

int CNADriver::_bGetTableList(CAny*, CNAConnectionDescription*, unsigned int)
{
    return _bNotOffered(POINT_TABLE_LIST);
}

int CNADriver::_bTableExists(int*, const wchar_t*, CNAConnectionDescription*)
{
    return _bNotOffered(POINT_TABLE_EXISTS);
}

int CNADriver::_bGetLinkList(CNAConnectionDescription*, const wchar_t*, INADataSourceDescription*, CAny*,
                             unsigned int)
{
    return _bNotOffered(POINT_LINK_LIST);
}

CNAConvertVariant* CNADriver::pclGetNewVariant_NV_Any(CNAError* pError, CNAConnectionDescription* pConnection,
                                                      CNAColumn* pColumn, unsigned short nHostType)
{
    CNAConvertVariant* pclVariant = pclAllocVariant(pError, pConnection);
    if (pclVariant == nullptr)
        return nullptr;
    if (pColumn == nullptr) {
        pclVariant->InitTypeVariantAny(nHostType, 0);
    } else if (!pColumn->bInitVariant_NV_Any(pError, pclVariant, nHostType)) {
        pclVariant->AddRef();
        pclVariant->nRelease();
        return nullptr;
    }
    return pclVariant;
}

CNAConvertVariant* CNADriver::pclGetNewVariant_NV_Any(CNAError* pError, CNAConnectionDescription* pConnection,
                                                      CNAColumn* pColumn, const CAny* pValue)
{
    if (pValue == nullptr)
        return nullptr;
    CNAConvertVariant* pclVariant = pclGetNewVariant_NV_Any(pError, pConnection, pColumn, pValue->nGetTypeCode());
    if (pclVariant == nullptr)
        return nullptr;
    if (!pclVariant->bSetValue(pValue)) {
        pclVariant->AddRef();
        pclVariant->nRelease();
        return nullptr;
    }
    return pclVariant;
}

CNAParameter* CNADriver::pclAllocParameter_col(CNAColumn* pColumn, CNAConvertVariant* pVariant, unsigned int a,
                                               unsigned int b, const wchar_t* pszName)
{
    CNAParameter* pclParameter = pclAllocParameter(pVariant, a, b, pszName);
    if (pclParameter != nullptr)
        pclParameter->SetColum(pColumn);
    return pclParameter;
}

// ---- Keys and names ------------------------------------------------------------------------

int CNADriver::bBuildCnxIdentification(CTString* pclOut, INAConnectionDescription* piDescription)
{
    const wchar_t* pszName = piDescription->pszGetConnectionName();
    pclOut->printf(L"Connection=%s;Provider=%s;ExtendedInformation=%s;Data source=%s;user id=%s;password=%s;access=%s",
                   pszName != nullptr ? pszName : L"", pszOrNULL(piDescription->pszGetProvider()),
                   pszOrNULL(piDescription->pszGetExtendedInfo()), pszOrNULL(piDescription->pszGetDataSource()),
                   pszOrNULL(piDescription->pszGetUserName()), pszOrNULL(piDescription->pszGetPassword()),
                   piDescription->eGetAccess() == NA_ACCESS_READ ? L"R" : L"RW");
    return 1;
}

int CNADriver::bBuildTableIdentification(CTString* pclOut, const wchar_t* pszTableName,
                                         const wchar_t* pszCnxIdentification)
{
    pclOut->printf(L"Table=%s;%s", pszTableName != nullptr ? pszTableName : L"",
                   pszCnxIdentification != nullptr ? pszCnxIdentification : L"");
    return 1;
}

int CNADriver::bBuildQueryIdentification(CTString* pclOut, const wchar_t* pszQueryName,
                                         const wchar_t* pszCnxIdentification, INAContext* piContext)
{
    pclOut->printf(L"CTX=%u;Table=%s;%s", piContext->dwGetContextNumber(), pszQueryName != nullptr ? pszQueryName : L"",
                   pszCnxIdentification != nullptr ? pszCnxIdentification : L"");
    return 1;
}

void CNADriver::g_SetEmptyText(CAny* pResult)
{
    if (pResult == nullptr)
        return;
    pResult->__SetType(TQTYPE_PSTRW, 0);
    pResult->SetFlags(0);
    pResult->pclGetTraitement()->SetValue(L"");
}

void CNADriver::g_GenerateItemName(CTString* pclOut, int n)
{
    pclOut->printf(L"%s%d", L"Expr", n + 1000);
}

// ---- Connections -------------------------------------------------------------------------------

CNAConnectionDescription* CNADriver::_pclFindConnection(const wchar_t* pszIdentification)
{
    CNAConnectionDescription* pcl = nullptr;
    if (!m_tabConnection.bGetValue(pszIdentification, &pcl))
        return nullptr;
    return pcl;
}

CNAConnectionDescription* CNADriver::_pclFindConnection(INAConnectionDescription* piDescription)
{
    CTString cl;
    bBuildCnxIdentification(&cl, piDescription);
    return _pclFindConnection(cl.pszGet());
}

CNAConnectionDescription* CNADriver::_pclGetConnection(INAConnectionDescription* piDescription)
{
    CTString cl;
    bBuildCnxIdentification(&cl, piDescription);
    CNAConnectionDescription* pcl = _pclFindConnection(cl.pszGet());
    if (pcl == nullptr)
        pcl = _pclAddConnection(cl.pszGet(), piDescription);
    return pcl;
}

CNAConnectionDescription* CNADriver::_pclAddConnection(const wchar_t* pszIdentification,
                                                       INAConnectionDescription* piDescription)
{
    CNAConnectionDescription* pcl = _pclAllocConnectionDescription(pszIdentification, piDescription);
    if (pcl == nullptr)
        return nullptr;
    if (!m_tabConnection.bAddValue(pcl->pszGetIdentification(), pcl)) {
        // Nobody holds it yet.
        pcl->AddRef();
        pcl->nRelease();
        throw std::bad_alloc();
    }
    pcl->AddRef();
    return pcl;
}

bool CNADriver::_bUnfileConnection(CNAConnectionDescription* pConnection)
{
    void* pValue = nullptr;
    const wchar_t* pszKey = pConnection->pszGetIdentification();
    if (!m_tabConnection.bGetElement(pszKey, &pValue, nullptr) || pValue != pConnection)
        return false;
    return m_tabConnection.bRemoveValue(pszKey);
}

int CNADriver::_bOpenConnection(CNAConnectionDescription* pConnection)
{
    const int bResult = pConnection->bOpen(m_pclError);
    if (bResult) {
        pConnection->AddRef();
        pConnection->AddHostOpen();
        pConnection->SetAutoClose(0);
    } else {
        _bUnfileConnection(pConnection);
        if (m_pclError != nullptr)
            m_pclError->SetErrorLevel(NA_ERRORLEVEL_2);
    }
    return bResult;
}

int CNADriver::_bCloseConnection(CNAConnectionDescription* pConnection)
{
    pConnection->SetAutoClose(1);
    pConnection->RemoveHostOpen();
    nReleaseConnection(pConnection);
    return 1;
}

int CNADriver::nReleaseConnection(CNAConnectionDescription* pConnection)
{
    if (pConnection == nullptr)
        return 0;
    const unsigned int nCount = pConnection->nGetRef();
    if (nCount == 0)
        return 0;
    if (nCount == 1) {
        // The last reference: a connection still filed leaves the registry
        // first, so that no entry designates a destroyed object.
        if (!_bUnfileConnection(pConnection))
            pConnection->nRelease();
        return 0;
    }
    const int nLeft = static_cast<int>(pConnection->nRelease());
    if (nLeft != 1 || !pConnection->bAutoCloseEnabled())
        return nLeft;
    // Only the registry holds it, when it is filed at all.
    void* pValue = nullptr;
    if (!m_tabConnection.bGetElement(pConnection->pszGetIdentification(), &pValue, nullptr) || pValue != pConnection)
        return nLeft;
    if (pConnection->bIsOpen())
        pConnection->bClose(m_pclError);
    _bUnfileConnection(pConnection);
    return 0;
}

CNAConnectionDescription* CNADriver::_pclWalkConnections(bool (*pfnMatch)(CNAConnectionDescription*, const void*),
                                                         const void* pWanted)
{
    CNADriverLock clLock;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabConnection.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNAConnectionDescription* pcl = static_cast<CNAConnectionDescription*>(pValue);
        pcl->AddRef();
        if (pfnMatch(pcl, pWanted))
            return pcl;
        pcl->nRelease();
    }
    return nullptr;
}

CNAConnectionDescription* CNADriver::pclGetConnectionByName(const wchar_t* pszName)
{
    return _pclWalkConnections(
        [](CNAConnectionDescription* pcl, const void* p) {
            return STR_nCompareW(static_cast<const wchar_t*>(p), pcl->pszGetConnectionName(), 3) == 0;
        },
        pszName != nullptr ? pszName : L"");
}

CNAConnectionDescription* CNADriver::pclGetConnectionByID(int nNumber)
{
    const unsigned int nWanted = static_cast<unsigned int>(nNumber);
    return _pclWalkConnections(
        [](CNAConnectionDescription* pcl, const void* p) {
            return pcl->nGetNumber() == *static_cast<const unsigned int*>(p);
        },
        &nWanted);
}

int CNADriver::_bCloseConnectionById(int nNumber)
{
    CNAConnectionDescription* pcl = pclGetConnectionByID(nNumber);
    if (pcl == nullptr)
        return 1;
    const bool bHostOpened = pcl->nGetHostOpens() > 0;
    if (nReleaseConnection(pcl) < 1 || !bHostOpened)
        return 1;
    return _bCloseConnection(pcl);
}

// ---- Query dump ------------------------------------------------------------------------------

const wchar_t* CNADriver::pszGetLabel(int nPosition) const
{
    if (nPosition < 1 || nPosition > NB_LABELS)
        return L"";
    return m_tabcsLabel[nPosition - 1].pszGet();
}

void CNADriver::InitQueryDumpRessources()
{
    if (m_tabcsLabel[0].nTaille() > 0)
        return;
    for (const STLabel& st : s_tabLabel) {
        CTString& cl = m_tabcsLabel[st.nPosition - 1];
        if (!DLLRES_bLoadString(&gstMyModuleInfo32, st.nRessource, &cl))
            cl = st.pszBuiltIn;
        cl.Add(L' ');
    }
}

int CNADriver::bGetQueryDump(CTString* pclOut, const wchar_t* pszQuery, CTabValParser* pValues, unsigned int nMaxLen)
{
    pclOut->Vide();
    if (m_tabcsLabel[0].nTaille() == 0)
        InitQueryDumpRessources();
    const int nMax = static_cast<int>(nMaxLen);
    CXYStringConcat<wchar_t> clText;
    clText.Add(pszGetLabel(1));
    if (pszQuery != nullptr && pszQuery[0] != 0)
        clText.Add(pszQuery);
    clText.Add(L"\r\n");
    const int nValues = pValues != nullptr ? pValues->nGetNbValeur() : 0;
    if (pValues != nullptr) {
        clText.Add(pszGetLabel(2));
        clText.Add(L"=");
        clText.AddNumber(nValues, -1);
        clText.Add(L"\r\n");
    }
    for (int i = 0; i < nValues && (nMax == -1 || static_cast<int>(clText.m_nLength) < nMax); i++) {
        const CAny* pclValue = pValues->pclGetValeur(i);
        clText.Add(pszGetLabel(3));
        clText.Add(L" ");
        clText.AddNumber(i, -1);
        clText.Add(L" :\t");
        clText.Add(pszGetLabel(4));
        clText.Add(L" = <");
        clText.AddNumber(static_cast<int>(pclValue->nGetTypeCode()), -1);
        clText.Add(L">\t");
        clText.Add(pszGetLabel(6));
        clText.Add(L" = <");
        CAny clCopy;
        pclValue->pclGetTraitement()->Duplique(&clCopy);
        const int nStatus = clCopy.__nCastTo(TQTYPE_PSTRW, nullptr, 1);
        const wchar_t* pszText = nullptr;
        if (nStatus <= kMaxCastSuccess && !clCopy.bIsNull() && clCopy.nGetTypeCode() == TQTYPE_PSTRW)
            clCopy.pclGetTraitement()->nGetPCWSTR(&pszText);
        clText.Add(pszText != nullptr ? pszText : pszGetLabel(7));
        clText.Add(L">\r\n");
    }
    if (nMax == -1) {
        pclOut->Set(clText.pszGet());
    } else if (nMax > 0) {
        const unsigned int nKeep = clText.m_nLength < static_cast<unsigned int>(nMax) ? clText.m_nLength
                                                                                   : static_cast<unsigned int>(nMax);
        pclOut->Set(clText.pszGet(), nKeep);
    }
    return 1;
}
