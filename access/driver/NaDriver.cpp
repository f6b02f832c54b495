#include "access/driver/NaDriver.h"

#include "access/driver/INAConnectionDescription.h"
#include "access/driver/INAContext.h"
#include "access/sql/INAQueryParametersValue.h"
#include "access/table/NAIDAuto.h"
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

#include <cwchar>
#include <exception>
#include <new>
#include <string>
#include <utility>

int gnNbInitialisation = 0;

CNADriver* CNADriver::s_pclDriver = nullptr;
HINSTANCE CNADriver::s_hDllHandle = nullptr;
unsigned int CNADriver::s_nID_ZTKX = 0;
unsigned int CNADriver::s_nID_ZTSQL = 0;
// Recursive from the load on, so that a nested entry never blocks even
// before the first bInitLibrary; bInitLibrary creates it again.
pthread_mutex_t CNADriver::m_gstDriverCriticalSection = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;

namespace {

// Raising points of this file (the slots use their slot number).
enum : int {
    POINT_NO_CONNECTION = 41,
    POINT_TABLE_EXISTS = 43,
    POINT_NO_MEMORY = 45,
    POINT_TABLE_DESC = 46,
};

// A host entry of this file (CNADriver::_Guard).
template <class R, class F>
R Guard(CNADriver* pclDriver, R rFailure, F&& f) noexcept
{
    return pclDriver->_Guard(rFailure, std::forward<F>(f));
}

// One field of a key: its separators and "%" written as %XX, and a value
// that reads NULL kept apart from the word that stands for a missing one,
// so that two different sets of fields never build the same key.
std::wstring _Field(const wchar_t* psz, bool bNullWord)
{
    if (psz == nullptr)
        return bNullWord ? L"NULL" : L"";
    std::wstring s;
    const bool bReadsNULL = wcslen(psz) == 4 && STR_nCompareW(psz, L"NULL", 1) == 0;
    for (const wchar_t* p = psz; *p != 0; p++) {
        if (*p == L'%' || *p == L';' || *p == L'=' || (bReadsNULL && p == psz)) {
            wchar_t sz[4];
            std::swprintf(sz, 4, L"%%%02X", static_cast<unsigned int>(*p));
            s += sz;
        } else {
            s += *p;
        }
    }
    return s;
}

// The value of a field of a key ("user id=" and the like) up to the next
// separator; null when the key has no such field.
const wchar_t* _pszFieldValue(const wchar_t* pszKey, const wchar_t* pszField, size_t* pnLength)
{
    const wchar_t* p = wcsstr(pszKey, pszField);
    if (p == nullptr)
        return nullptr;
    p += wcslen(pszField);
    const wchar_t* pEnd = wcschr(p, L';');
    *pnLength = pEnd != nullptr ? static_cast<size_t>(pEnd - p) : wcslen(p);
    return p;
}

bool _bSame(const wchar_t* p1, size_t n1, const wchar_t* p2, size_t n2)
{
    return (p1 == nullptr) == (p2 == nullptr) && (p1 == nullptr || (n1 == n2 && wmemcmp(p1, p2, n1) == 0));
}

// Whether a written field holds the escape of a separator ("=" or ";",
// as _Field writes them) at i.
bool _bEscapeAt(const wchar_t* p, size_t n, size_t i, wchar_t cSeparator)
{
    return i + 2 < n && p[i] == L'%' && p[i + 1] == L'3' && p[i + 2] == (cSeparator == L'=' ? L'D' : L'B');
}

// From *pi in a written option text (NAME=value;...): skips the next name
// and gives its value; false when no value is left. Every "%" of a written
// field starts an escape of three characters.
bool _bNextOptionValue(const wchar_t* p, size_t n, size_t* pi, const wchar_t** ppValue, size_t* pnValue)
{
    size_t i = *pi;
    while (i < n && !_bEscapeAt(p, n, i, L'='))
        i += p[i] == L'%' ? 3 : 1;
    if (i >= n) {
        *pi = n;
        return false;
    }
    i += 3;
    const size_t nStart = i;
    while (i < n && !_bEscapeAt(p, n, i, L';'))
        i += p[i] == L'%' ? 3 : 1;
    i = i < n ? i : n;
    *ppValue = p + nStart;
    *pnValue = i - nStart;
    *pi = i < n ? i + 3 : n;
    return true;
}

// Option texts whose values are the same, character for character.
bool _bSameOptionValues(const wchar_t* p1, size_t n1, const wchar_t* p2, size_t n2)
{
    if (p1 == nullptr || p2 == nullptr)
        return p1 == p2;
    size_t i1 = 0;
    size_t i2 = 0;
    for (;;) {
        const wchar_t* v1 = nullptr;
        const wchar_t* v2 = nullptr;
        size_t l1 = 0;
        size_t l2 = 0;
        const bool b1 = _bNextOptionValue(p1, n1, &i1, &v1, &l1);
        const bool b2 = _bNextOptionValue(p2, n2, &i2, &v2, &l2);
        if (b1 != b2)
            return false;
        if (!b1)
            return true;
        if (!_bSame(v1, l1, v2, l2))
            return false;
    }
}

// Keys of connections, and of tables that hold them, compare ignoring case
// and accents, but for what the server reads with case: the user, the
// password, the default database, the values of the options (a database,
// a socket or a certificate file) and a table's name. A session, or a
// table object, made for one of them never serves another.
int _nIdentificationCompare(const void* pKey, const void* pStoredKey)
{
    const int n = CHashTableBounce::nStringLogiqueCompare(pKey, pStoredKey);
    if (n != 0)
        return n;
    const wchar_t* pszKey = static_cast<const wchar_t*>(pKey);
    const wchar_t* pszStored = static_cast<const wchar_t*>(pStoredKey);
    const wchar_t szTable[] = L"Table=";
    if (wcsncmp(pszKey, szTable, 6) == 0 && wcsncmp(pszStored, szTable, 6) == 0) {
        const size_t n1 = wcscspn(pszKey + 6, L";");
        const size_t n2 = wcscspn(pszStored + 6, L";");
        if (!_bSame(pszKey + 6, n1, pszStored + 6, n2))
            return 1;
    }
    for (const wchar_t* pszField : {L";user id=", L";password=", L";Default database=", L";Provider=",
                                    L";ExtendedInformation="}) {
        size_t n1 = 0;
        size_t n2 = 0;
        const wchar_t* p1 = _pszFieldValue(pszKey, pszField, &n1);
        const wchar_t* p2 = _pszFieldValue(pszStored, pszField, &n2);
        const bool bOptions = pszField[1] == L'P' || pszField[1] == L'E';
        if (bOptions ? !_bSameOptionValues(p1, n1, p2, n2) : !_bSame(p1, n1, p2, n2))
            return 1;
    }
    return 0;
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

// A connection found or made for a host description (or one already found),
// given back by the driver's rule for holders on every way out.
struct CConnectionHeld {
    CNADriver* m_pclDriver;
    CNAConnectionDescription* p;
    CConnectionHeld(CNADriver* pclDriver, INAConnectionDescription* piDescription)
        : m_pclDriver(pclDriver), p(pclDriver->_pclGetConnection(piDescription))
    {
        if (p == nullptr)
            pclDriver->_bNoMemory(POINT_NO_CONNECTION);
    }
    CConnectionHeld(CNADriver* pclDriver, CNAConnectionDescription* pcl) : m_pclDriver(pclDriver), p(pcl) {}
    ~CConnectionHeld()
    {
        if (p != nullptr)
            m_pclDriver->nReleaseConnection(p);
    }
    CConnectionHeld(const CConnectionHeld&) = delete;
    CConnectionHeld& operator=(const CConnectionHeld&) = delete;
};

// A table object with the caller's reference, given back on every way out.
struct CTableHeld {
    CNATable* p;
    explicit CTableHeld(CNATable* pcl) : p(pcl) {}
    ~CTableHeld()
    {
        if (p != nullptr)
            p->nRelease();
    }
    CTableHeld(const CTableHeld&) = delete;
    CTableHeld& operator=(const CTableHeld&) = delete;
};

} // namespace

// A referenced copy of the filed tables (of one connection when given), so
// that a table unfiled by the one called never breaks the walk.
CNADriver::CTablesHeld::CTablesHeld(CNADriver* pclDriver, CNAConnectionDescription* pclConnection)
{
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (pclDriver->m_tabTable.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNATable* pcl = static_cast<CNATable*>(pValue);
        if (pclConnection != nullptr && pcl->pclGetConnection() != pclConnection)
            continue;
        try {
            m_tab.push_back(pcl);
        } catch (...) {
            pclDriver->m_tabTable.StopParsing();
            throw;
        }
        pcl->AddRef();
    }
}

CNADriver::CTablesHeld::~CTablesHeld()
{
    for (CNATable* pcl : m_tab)
        pcl->nRelease();
}

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
    m_tabConnection.SetCmp(_nIdentificationCompare);
    m_tabTable.SetCmp(_nIdentificationCompare);
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

int CNADriver::_bNoConnection(int nPoint, INAConnectionDescription* piDescription, int nFile)
{
    const wchar_t* pszName = piDescription != nullptr ? piDescription->pszGetConnectionName() : nullptr;
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, nFile, nPoint, nullptr, nullptr, nullptr,
                                   ZTERR_NO_CONNECTION, pszName != nullptr ? pszName : L"");
    return 0;
}

int CNADriver::_bNoMemory(int nPoint)
{
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
        m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, ERRFILE_DRIVER, nPoint, nullptr);
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
    // Its release counts under the mutex too.
    CNADriverLock clLock;
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

int CNADriver::bHMode(INAContext* piContext, _eNA_HMODE eMode)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        int bResult = 1;
        CTablesHeld clTables(this, nullptr);
        for (CNATable* pcl : clTables.m_tab)
            bResult &= pcl->bHMode(piContext, eMode);
        return bResult;
    });
}

INATable* CNADriver::piGetTable(INAConnectionDescription* piDescription, INADataSourceDescription* piTable)
{
    return Guard(this, static_cast<INATable*>(nullptr), [&]() -> INATable* {
        CNADriverLock clLock;
        _ResetError();
        if (piDescription == nullptr || piTable == nullptr) {
            _bNoConnection(14, piDescription);
            return nullptr;
        }
        CConnectionHeld clConnection(this, piDescription);
        if (clConnection.p == nullptr)
            return nullptr;
        CNATable* pcl = _pclGetTable(piTable, clConnection.p);
        if (pcl == nullptr)
            return nullptr;
        pcl->ExternalAddRef();
        pcl->nRelease();
        return pcl;
    });
}

// ---- Catalogue lists, SQL locks and diagnosis --------------------------------------------
// They hold the driver mutex for their whole run (Guard): they reach the
// registries, and a lock's wait on the server keeps every other thread's
// call on the shared client handle out.

int CNADriver::_bListOnConnection(INAConnectionDescription* piDescription, int nPoint, bool bReset,
                                  const std::function<int(CNAConnectionDescription*)>& fnList)
{
    if (bReset)
        _ResetError();
    if (piDescription == nullptr)
        return _bNoConnection(nPoint, nullptr);
    CConnectionHeld clConnection(this, piDescription);
    if (clConnection.p == nullptr)
        return 0;
    return fnList(clConnection.p);
}

int CNADriver::bGetTableList(CAny* pResult, INAConnectionDescription* piDescription, unsigned int nFlags)
{
    return Guard(this, 0, [&] {
        return _bListOnConnection(piDescription, 15, true, [&](CNAConnectionDescription* pcl) {
            return _bGetTableList(pResult, pcl, nFlags);
        });
    });
}

INADataSourceDescription* CNADriver::piGetTableDesc(const wchar_t* pszName, INAConnectionDescription* piDescription)
{
    return Guard(this, static_cast<INADataSourceDescription*>(nullptr), [&]() -> INADataSourceDescription* {
        CNADriverLock clLock;
        _ResetError();
        if (piDescription == nullptr) {
            _bNoConnection(16, nullptr);
            return nullptr;
        }
        CConnectionHeld clConnection(this, piDescription);
        if (clConnection.p == nullptr || !clConnection.p->bOpen(m_pclError))
            return nullptr;
        return _piGetTableDesc(pszName, clConnection.p);
    });
}

int CNADriver::bHExecuteRequeteSQL(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName,
                                   INAConnectionDescription* piDescription, ISQLParserInformation* piParser,
                                   unsigned int nFlags)
{
    return bHExecuteRequeteSQLEx(ppiTable, piContext, pszName, piDescription, piParser, nFlags, nullptr);
}

int CNADriver::bCloseContext(INAContext* piContext)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        _ResetError();
        CNAContext* pcl = piContext != nullptr ? pclFindContext(piContext) : nullptr;
        if (pcl == nullptr)
            return 0;
        // Let go on every way out; unfiled once it holds no data access.
        struct CHold {
            CNADriver* pclDriver;
            INAContext* piContext;
            CNAContext* p;
            ~CHold() { pclDriver->nReleaseContext(piContext, p); }
        } clHold{this, piContext, pcl};
        pcl->CloseAllDataAccess();
        return 1;
    });
}

int CNADriver::bTransactionBegin(INAConnectionDescription* piDescription, const wchar_t* pszName)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        _ResetError();
        if (piDescription == nullptr)
            return _bNoConnection(19, nullptr);
        CConnectionHeld clConnection(this, piDescription);
        if (clConnection.p == nullptr)
            return 0;
        return clConnection.p->bTransactionBegin(m_pclError, pszName);
    });
}

int CNADriver::_bTransactionEnd(INAConnectionDescription* piDescription, const wchar_t* pszName, bool bCommit)
{
    CNADriverLock clLock;
    _ResetError();
    const int nPoint = bCommit ? 20 : 21;
    CNAConnectionDescription* pcl = piDescription != nullptr ? _pclFindConnection(piDescription) : nullptr;
    if (pcl == nullptr)
        return _bNoConnection(nPoint, piDescription);
    CConnectionHeld clConnection(this, pcl);
    // The tables learn of a commit after it, of a roll-back before it.
    if (!bCommit && pcl->bTransactionEndCloseParse())
        _SetTransactionTermined(pcl);
    const int bResult = bCommit ? pcl->bTransactionCommit(m_pclError, pszName)
                                : pcl->bTransactionRollBack(m_pclError, pszName);
    // Whatever the connection answers, a roll-back leaves no table cache of
    // its tables true: they may hold its writes, or rows read under them.
    // Nor does a commit that failed: the server may have rolled back.
    if (!bCommit || !bResult) {
        CTablesHeld clTables(this, pcl);
        for (CNATable* pclTable : clTables.m_tab)
            pclTable->ReloadTableCaches(nullptr);
    }
    if (bCommit && pcl->bTransactionEndCloseParse())
        _SetTransactionTermined(pcl);
    return bResult;
}

int CNADriver::bTransactionCommit(INAConnectionDescription* piDescription, const wchar_t* pszName)
{
    return Guard(this, 0, [&] { return _bTransactionEnd(piDescription, pszName, true); });
}

int CNADriver::bTransactionRollBack(INAConnectionDescription* piDescription, const wchar_t* pszName)
{
    return Guard(this, 0, [&] { return _bTransactionEnd(piDescription, pszName, false); });
}

// The base driver's locks: through the connection, which must be
// registered; the find's reference goes back plainly.
int CNADriver::_bLockThroughConnection(INAConnectionDescription* piDescription, int nFile, int nPoint,
                                      const std::function<int(CNAConnectionDescription*)>& fnLock)
{
    _ResetError();
    CNAConnectionDescription* pcl = piDescription != nullptr ? _pclFindConnection(piDescription) : nullptr;
    if (pcl == nullptr)
        return _bNoConnection(nPoint, piDescription, nFile);
    struct CPlain {
        CNAConnectionDescription* p;
        ~CPlain() { p->nRelease(); }
    } clPlain{pcl};
    return fnLock(pcl);
}

int CNADriver::bSQLBloqueTable(INAConnectionDescription* piDescription, const wchar_t* pszTable)
{
    return Guard(this, 0, [&] {
        return _bLockThroughConnection(piDescription, ERRFILE_DRIVER, 22, [&](CNAConnectionDescription* pcl) {
            return pcl->bOpen(m_pclError) ? pcl->bSQLBloque(m_pclError, pszTable) : 0;
        });
    });
}

int CNADriver::bSQLBloqueRequete(INAConnectionDescription* piDescription, ISQLParserInformation* piParser)
{
    return Guard(this, 0, [&] {
        return _bLockThroughConnection(piDescription, ERRFILE_DRIVER, 23, [&](CNAConnectionDescription* pcl) {
            return pcl->bOpen(m_pclError) ? pcl->bSQLBloque(m_pclError, piParser) : 0;
        });
    });
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

int CNADriver::bHConnexionDiagnose(CAny* pResult, INAConnectionDescription* piDescription, const wchar_t* pszText,
                                   unsigned int nFlags)
{
    return Guard(this, 0, [&] {
        _ResetError();
        CNAConnectionDescription* pcl = piDescription != nullptr ? _pclFindConnection(piDescription) : nullptr;
        if (pcl == nullptr)
            return _bNoConnection(25, piDescription);
        CConnectionHeld clConnection(this, pcl);
        return pcl->bDiagnose(m_pclError, pResult, pszText, nFlags);
    });
}

int CNADriver::bGetProviderList(CAny*)
{
    return Guard(this, 0, [&] { return _bNotOffered(26); });
}

int CNADriver::bTableExists(int* pbExists, const wchar_t* pszName, INAConnectionDescription* piDescription)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        _ResetError();
        if (piDescription == nullptr)
            return _bNoConnection(27, nullptr);
        CConnectionHeld clConnection(this, piDescription);
        if (clConnection.p == nullptr || !clConnection.p->bOpen(m_pclError))
            return 0;
        int bExists = 0;
        const int bResult = _bTableExists(&bExists, pszName, clConnection.p);
        if (pbExists != nullptr)
            *pbExists = bExists;
        return bResult;
    });
}

int CNADriver::bGetLinkList(CAny* pResult, const wchar_t* pszTable, INADataSourceDescription* piTable,
                            INAConnectionDescription* piDescription, unsigned int nFlags)
{
    // An earlier error stays: the list adds to it.
    return Guard(this, 0, [&] {
        return _bListOnConnection(piDescription, 28, false, [&](CNAConnectionDescription* pcl) {
            return _bGetLinkList(pcl, pszTable, piTable, pResult, nFlags);
        });
    });
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

int CNADriver::SetNextLogicalName(INAContext* piContext, const wchar_t* pszName)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        if (piContext == nullptr)
            return 0;
        int bCreated = 0;
        CNAContext* pcl = pclGetContext(piContext, &bCreated);
        if (pcl == nullptr)
            return 0;
        struct CHold {
            CNAContext* p;
            ~CHold() { p->nRelease(); }
        } clHold{pcl};
        pcl->SetNextLogicalName(pszName);
        return 1;
    });
}

// A query that failed or is not kept leaves the registry, unless the host
// asked to keep it (bit 0x10) or prepared it.
void CNADriver::_DropQuery(INAContext* piContext, CNATable* pclQuery, unsigned int nFlags)
{
    if ((nFlags & 0x10) != 0)
        return;
    INAQueryParametersValue* piValues = pclQuery->piGetQueryBindVariableNoRef();
    if (piValues != nullptr && piValues->bHPrepareRequeteCalled())
        return;
    _bReleaseTable(piContext, pclQuery);
}

int CNADriver::bHExecuteRequeteSQLEx(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName,
                                     INAConnectionDescription* piDescription, ISQLParserInformation* piParser,
                                     unsigned int nFlags, const INAQueryExecution* piExecution)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        _ResetError();
        if (piContext == nullptr || piDescription == nullptr)
            return _bNoConnection(34, piDescription);
        CConnectionHeld clConnection(this, piDescription);
        if (clConnection.p == nullptr)
            return 0;
        CTableHeld clQuery(_pclGetQuery(piContext, pszName, clConnection.p, 0));
        if (clQuery.p == nullptr)
            return 0;
        int bKeep = 0;
        int bResult = clQuery.p->bExecuteQuery(&bKeep, piContext, pszName, piParser, nFlags, piExecution);
        if (!bResult) {
            CNAError* pclTableError = clQuery.p->piGetLastError();
            if (pclTableError != nullptr && pclTableError != m_pclError && m_pclError != nullptr)
                m_pclError->Copy(pclTableError);
            _DropQuery(piContext, clQuery.p, nFlags);
            return 0;
        }
        if (bKeep) {
            if (!_AddTable(clQuery.p)) {
                _bNoMemory(34);
                return 0;
            }
            if (ppiTable != nullptr) {
                clQuery.p->ExternalAddRef();
                *ppiTable = clQuery.p;
            }
        } else {
            _DropQuery(piContext, clQuery.p, nFlags);
            if (ppiTable != nullptr)
                *ppiTable = nullptr;
        }
        return bResult;
    });
}

int CNADriver::bFreeDataSource(INAContext* piContext, const wchar_t* pszName, INAConnectionDescription* piDescription)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        if (piContext == nullptr || piDescription == nullptr)
            return _bNoConnection(35, piDescription);
        CNAConnectionDescription* pclConnection = _pclGetConnection(piDescription);
        if (pclConnection == nullptr)
            return 0;
        // The get's reference goes back plainly, whatever happens.
        struct CPlain {
            CNAConnectionDescription* p;
            ~CPlain() { p->nRelease(); }
        } clPlain{pclConnection};
        CTableHeld clQuery(_pclGetQuery(piContext, pszName, pclConnection, 0));
        if (clQuery.p == nullptr)
            return 0;
        return clQuery.p->bHFerme(piContext);
    });
}

int CNADriver::bValidConnection(INAConnectionDescription*)
{
    return 1;
}

int CNADriver::bSupprimeFichier(INAContext* piContext, INAConnectionDescription* piDescription,
                                const wchar_t* pszName, INADataSourceDescription* piTable)
{
    return Guard(this, 0, [&] {
        CNADriverLock clLock;
        _ResetError();
        if (piDescription == nullptr)
            return _bNoConnection(38, nullptr);
        CConnectionHeld clConnection(this, piDescription);
        if (clConnection.p == nullptr || !clConnection.p->bOpen(m_pclError))
            return 0;
        if (piTable == nullptr) {
            // Nothing to delete without a description.
            CTString clFormatted;
            clConnection.p->bFormatTableName(m_pclError, pszName, &clFormatted);
            return 1;
        }
        CTableHeld clTable(_pclGetTable(piTable, clConnection.p));
        if (clTable.p == nullptr)
            return 0;
        if (clTable.p->bSupprimeFichier(piContext))
            return 1;
        CNAError* pclTableError = clTable.p->piGetLastError();
        if (pclTableError != nullptr && pclTableError != m_pclError && m_pclError != nullptr)
            m_pclError->Copy(pclTableError);
        return 0;
    });
}

int CNADriver::bGetDatabaseList(CXYString<wchar_t>* pResult, INAConnectionDescription* piDescription,
                                unsigned int nFlags)
{
    return Guard(this, 0, [&] {
        return _bListOnConnection(piDescription, 39, true, [&](CNAConnectionDescription* pcl) {
            return _bGetDatabaseList(pResult, pcl, nFlags);
        });
    });
}

int CNADriver::_bGetDatabaseList(CXYString<wchar_t>* pResult, CNAConnectionDescription* pConnection,
                                 unsigned int nFlags)
{
    CNADriverSQL* pclSQL = pclGetDriverSQL();
    if (pclSQL == nullptr || !pConnection->bOpen(m_pclError))
        return 0;
    return pclSQL->bGetDatabaseList(pResult, pConnection, nFlags);
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
    return new (std::nothrow) CNAContext();
}

CNADataAccess* CNADriver::pclAllocDataAccess(INADataSourceDescription* piDescription,
                                             CNAConnectionDescription* pConnection, CNAError* pError)
{
    try {
        return new CNADataAccess(piDescription, pConnection, pError);
    } catch (const std::bad_alloc&) {
        // Its tables could not be made.
        return nullptr;
    }
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
    return new (std::nothrow) CNAIDAuto();
}

CNADataSourceDescription* CNADriver::_pclGetTableDesc(const wchar_t* pszName, CNAConnectionDescription* pConnection)
{
    CNADataSourceDescription* pcl = pclAllocDataSourceDescription(pConnection, m_pclError);
    if (pcl == nullptr) {
        _bNoMemory(POINT_TABLE_EXISTS);
        return nullptr;
    }
    pcl->AddRef();
    int bResult = 0;
    try {
        bResult = pcl->bInitDataSourceDescriptionFromDB(pszName, 0);
    } catch (...) {
        pcl->nRelease();
        throw;
    }
    if (bResult)
        return pcl;
    pcl->nRelease();
    // A catalogue that raised nothing is not built.
    if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
        _bNotOffered(POINT_TABLE_DESC, pszName);
    return nullptr;
}

INADataSourceDescription* CNADriver::_piGetTableDesc(const wchar_t* pszName, CNAConnectionDescription* pConnection)
{
    CNADataSourceDescription* pcl = _pclGetTableDesc(pszName, pConnection);
    if (pcl == nullptr)
        return nullptr;
    pcl->ExternalAddRef();
    pcl->nRelease();
    return pcl;
}

CNAParameter* CNADriver::pclAllocParameter(CNAConvertVariant* pVariant, unsigned int a, unsigned int b,
                                           const wchar_t* pszName)
{
    return new (std::nothrow) CNAParameter(pVariant, a, b, pszName);
}

void CNADriver::CancelRecordLock(INAConnectionDescription* piDescription, CNATransaction* pTransaction)
{
    CNADriverLock clLock;
    CTablesHeld clTables(this, nullptr);
    for (CNATable* pcl : clTables.m_tab)
        pcl->CancelRecordLock(piDescription, pTransaction);
}

CNAItemDescription* CNADriver::pclAllocItemDescription()
{
    return new (std::nothrow) CNAItemDescription();
}

void CNADriver::OnFatalErrorAddDebugMessage(CNAError*, CNAConnectionDescription*) {}

CNAConnectionDescription* CNADriver::_pclAllocConnectionDescription(const wchar_t*, INAConnectionDescription*)
{
    return nullptr;
}

CNATable* CNADriver::_pclAllocTable(const wchar_t* pszKey, INADataSourceDescription* piDescription,
                                    CNAConnectionDescription* pConnection, CNAError* pError)
{
    return new (std::nothrow) CNATable(pszKey, piDescription, pConnection, pError);
}

CNADriverSQL* CNADriver::_pclAllocDriverSQL(CNAError*)
{
    return nullptr;
}

int CNADriver::_bGetTableList(CAny* pResult, CNAConnectionDescription* pConnection, unsigned int nFlags)
{
    CNADriverSQL* pclSQL = pclGetDriverSQL();
    if (pclSQL == nullptr || !pConnection->bOpen(m_pclError))
        return 0;
    return pclSQL->bGetTableList(pResult, pConnection, nullptr, nFlags);
}

int CNADriver::_bTableExists(int* pbExists, const wchar_t* pszName, CNAConnectionDescription* pConnection)
{
    CNADataSourceDescription* pcl = _pclGetTableDesc(pszName, pConnection);
    if (pcl != nullptr) {
        *pbExists = 1;
        pcl->nRelease();
        return 1;
    }
    *pbExists = 0;
    return m_pclError != nullptr && m_pclError->dwGetErrorId() == ZTERR_NO_COLUMN ? 1 : 0;
}

int CNADriver::_bGetLinkList(CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                             INADataSourceDescription* piTable, CAny* pResult, unsigned int nFlags)
{
    CNADriverSQL* pclSQL = pclGetDriverSQL();
    if (pclSQL == nullptr)
        return 1;
    if (!pConnection->bOpen(m_pclError))
        return 0;
    return pclSQL->bGetLinkList(pResult, pConnection, pszTable, piTable, nFlags);
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
    const std::wstring s = L"Connection=" + _Field(piDescription->pszGetConnectionName(), false) +
                           L";Provider=" + _Field(piDescription->pszGetProvider(), true) +
                           L";ExtendedInformation=" + _Field(piDescription->pszGetExtendedInfo(), true) +
                           L";Data source=" + _Field(piDescription->pszGetDataSource(), true) +
                           L";user id=" + _Field(piDescription->pszGetUserName(), true) +
                           L";password=" + _Field(piDescription->pszGetPassword(), true) + L";access=" +
                           (piDescription->eGetAccess() == NA_ACCESS_READ ? L"R" : L"RW") +
                           L";Default database=" + _Field(piDescription->pszGetDefaultDataBase(), true);
    pclOut->Set(s.c_str());
    return 1;
}

int CNADriver::bBuildTableIdentification(CTString* pclOut, const wchar_t* pszTableName,
                                         const wchar_t* pszCnxIdentification)
{
    pclOut->printf(L"Table=%s;%s", _Field(pszTableName, false).c_str(),
                   pszCnxIdentification != nullptr ? pszCnxIdentification : L"");
    return 1;
}

int CNADriver::bBuildQueryIdentification(CTString* pclOut, const wchar_t* pszQueryName,
                                         const wchar_t* pszCnxIdentification, INAContext* piContext)
{
    pclOut->printf(L"CTX=%u;Table=%s;%s", piContext->dwGetContextNumber(), _Field(pszQueryName, false).c_str(),
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
    // No one can end a transaction left open on a closed connection: it
    // would keep the session and its row locks. Its failure is not the
    // close's.
    if (pConnection->_bTransactionOpened()) {
        // Statements hold their error object: one that lives on the heap.
        CNAError* pclIgnored = pclAllocError();
        if (pclIgnored != nullptr)
            pclIgnored->AddRef();
        pConnection->bTransactionRollBackAll(pclIgnored);
        if (pclIgnored != nullptr)
            pclIgnored->nRelease();
    }
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

void CNADriver::g_ReleaseHeldConnection(CNAConnectionDescription* pConnection)
{
    if (pConnection == nullptr)
        return;
    CNADriverLock clLock;
    if (s_pclDriver != nullptr)
        s_pclDriver->nReleaseConnection(pConnection);
    else
        pConnection->nRelease();
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

// ---- Tables and queries ------------------------------------------------------------------------

CNATable* CNADriver::_pclFindTable(const wchar_t* pszKey)
{
    CNATable* pcl = nullptr;
    if (!m_tabTable.bGetValue(pszKey, &pcl))
        return nullptr;
    return pcl;
}

CNATable* CNADriver::_pclFindTable(INADataSourceDescription* piDescription, CNAConnectionDescription* pConnection,
                                   CTString* pclKey)
{
    bBuildTableIdentification(pclKey, piDescription->pszGetDBTableName(), pConnection->pszGetIdentification());
    return _pclFindTable(pclKey->pszGet());
}

CNATable* CNADriver::_pclGetTable(INADataSourceDescription* piDescription, CNAConnectionDescription* pConnection)
{
    CTString clKey;
    CNATable* pcl = _pclFindTable(piDescription, pConnection, &clKey);
    if (pcl != nullptr)
        return pcl;
    return _pclAddTable(clKey.pszGet(), piDescription, pConnection);
}

CNATable* CNADriver::_pclAddTable(const wchar_t* pszKey, INADataSourceDescription* piDescription,
                                  CNAConnectionDescription* pConnection)
{
    CNATable* pcl = _pclAllocTable(pszKey, piDescription, pConnection, m_pclError);
    if (pcl == nullptr) {
        _bNoMemory(POINT_NO_MEMORY);
        return nullptr;
    }
    pcl->AddRef();
    bool bFiled = false;
    try {
        bFiled = _AddTable(pcl);
    } catch (...) {
    }
    if (!bFiled) {
        // Nobody else holds it.
        pcl->nRelease();
        _bNoMemory(POINT_NO_MEMORY);
        return nullptr;
    }
    return pcl;
}

bool CNADriver::_AddTable(CNATable* pTable)
{
    CNATable* pclFiled = _pclFindTable(pTable->pszGetIdentification());
    if (pclFiled != nullptr) {
        pclFiled->nRelease();
        return true;
    }
    return m_tabTable.bAddValue(pTable->pszGetIdentification(), pTable);
}

int CNADriver::_bReleaseTable(CNATable* pTable)
{
    CNADriverLock clLock;
    void* pValue = nullptr;
    const wchar_t* pszKey = pTable->pszGetIdentification();
    // Only this object leaves: another filed under the same key stays.
    if (!m_tabTable.bGetElement(pszKey, &pValue, nullptr) || pValue != pTable)
        return 0;
    return m_tabTable.bRemoveValue(pszKey) ? 1 : 0;
}

int CNADriver::_bReleaseTable(INAContext* piContext, CNATable* pTable)
{
    pTable->bHFerme(piContext);
    return _bReleaseTable(pTable);
}

int CNADriver::nReleaseTable(CNATable* pTable)
{
    const int n = pTable->nRelease();
    if (n != 1)
        return n;
    _bReleaseTable(pTable);
    return 0;
}

CNATable* CNADriver::_pclGetQuery(INAContext* piContext, const wchar_t* pszName, CNAConnectionDescription* pConnection,
                                  int bRenew)
{
    CTString clKey;
    bBuildQueryIdentification(&clKey, pszName, pConnection->pszGetIdentification(), piContext);
    CNATable* pcl = _pclFindTable(clKey.pszGet());
    if (pcl != nullptr) {
        if (!bRenew || !pcl->bHFerme(piContext))
            return pcl;
        nReleaseTable(pcl);
    }
    pcl = _pclAllocTable(clKey.pszGet(), nullptr, pConnection, m_pclError);
    if (pcl == nullptr) {
        _bNoMemory(POINT_NO_MEMORY);
        return nullptr;
    }
    pcl->AddRef();
    return pcl;
}

CNATable* CNADriver::pclEnumTableByConnection(unsigned int* pnPosition, CNAConnectionDescription* pConnection)
{
    CNADriverLock clLock;
    void* pValue = nullptr;
    while (m_tabTable.bParseTable(pnPosition, 0, &pValue, nullptr)) {
        CNATable* pcl = static_cast<CNATable*>(pValue);
        if (pcl->pclGetConnection() == pConnection) {
            m_tabTable.StopParsing();
            pcl->AddRef();
            return pcl;
        }
    }
    return nullptr;
}

void CNADriver::_SetTransactionTermined(CNAConnectionDescription* pConnection)
{
    CTablesHeld clTables(this, pConnection);
    for (CNATable* pcl : clTables.m_tab)
        pcl->SetTransactionTermined();
}

void CNADriver::ReloadTableCachesAfterWrite(const CNADataAccess* pclWriter)
{
    CNADriverLock clLock;
    CTablesHeld clTables(this, nullptr);
    for (CNATable* pcl : clTables.m_tab)
        pcl->ReloadTableCaches(pclWriter);
}

// ---- Contexts ------------------------------------------------------------------------------------------

CNAContext* CNADriver::pclFindContext(INAContext* piContext)
{
    CNADriverLock clLock;
    CNAContext* pcl = nullptr;
    if (!m_tabContext.bGetValue(piContext->dwGetContextNumber(), &pcl))
        return nullptr;
    return pcl;
}

CNAContext* CNADriver::pclGetContext(INAContext* piContext, int* pbCreated)
{
    CNADriverLock clLock;
    *pbCreated = 0;
    CNAContext* pcl = pclFindContext(piContext);
    if (pcl != nullptr)
        return pcl;
    pcl = _pclAddContext(piContext);
    if (pcl != nullptr)
        *pbCreated = 1;
    return pcl;
}

CNAContext* CNADriver::_pclAddContext(INAContext* piContext)
{
    CNAContext* pcl = pclAllocContext();
    if (pcl != nullptr) {
        pcl->AddRef();
        bool bFiled = false;
        try {
            bFiled = __AddContext(piContext, pcl);
        } catch (...) {
        }
        if (bFiled)
            return pcl;
        pcl->nRelease();
    }
    if (m_pclError != nullptr)
        m_pclError->pclGetXError()->SetErrorNoMemory();
    return nullptr;
}

bool CNADriver::__AddContext(INAContext* piContext, CNAContext* pContext)
{
    const unsigned int nNumber = piContext->dwGetContextNumber();
    pContext->SetContextNumber(nNumber);
    return m_tabContext.bAddValue(nNumber, pContext);
}

int CNADriver::nReleaseContext(INAContext* piContext, CNAContext* pContext)
{
    CNADriverLock clLock;
    const int n = static_cast<int>(pContext->nRelease());
    // At 0 it is gone: nothing filed held it.
    if (n == 0 || pContext->nGetNbDataAccess() > 0)
        return n;
    const unsigned int nNumber = piContext->dwGetContextNumber();
    void* pValue = nullptr;
    if (!m_tabContext.bGetElement(CHTBKeyWord<unsigned int>::pToWord(nNumber), &pValue, nullptr) ||
        pValue != pContext)
        return n;
    m_tabContext.bRemoveValue(nNumber);
    return 0;
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
