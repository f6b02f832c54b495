#include "mysql/NAFunctionLoader.h"

#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "common/platform/DiskFile.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/UTF8Buffer.h"
#include "common/platform/WinApi.h"

#include <cerrno>
#include <climits>
#include <dlfcn.h>
#include <new>

static_assert(sizeof(void*) != 4 || sizeof(unsigned long) == 4, "unsigned long is 32 bits on i386");
static_assert(sizeof(my_ulonglong) == 8, "my_ulonglong is 64 bits");

// A pointer of another type would call the library with a wrong frame.
#define ZT_MYSQL_CHECK_TYPE(name, result, params, required) \
    static_assert(std::is_same<PFN_##name, decltype(&::name)>::value, #name ": the library's own signature");
ZT_MYSQL_CLIENT_FUNCTIONS(ZT_MYSQL_CHECK_TYPE)
#undef ZT_MYSQL_CHECK_TYPE

#define ZT_MYSQL_DEFINE_STANDBY(name, result, params, required) \
    result DefaultError_##name params { throw CTString(L"" #name); }
ZT_MYSQL_CLIENT_FUNCTIONS(ZT_MYSQL_DEFINE_STANDBY)
#undef ZT_MYSQL_DEFINE_STANDBY

#define ZT_MYSQL_DEFINE_POINTER(name, result, params, required) PFN_##name __##name = DefaultError_##name;
ZT_MYSQL_CLIENT_FUNCTIONS(ZT_MYSQL_DEFINE_POINTER)
#undef ZT_MYSQL_DEFINE_POINTER

CNAFunctionLoader* CNAFunctionLoader::g_pclNAFunctionLoader = nullptr;

namespace {

const int FILE_LOADER = 9;
const int POINT_OPEN = 1;
const int POINT_BIND = 2;
// Module number given with a library that cannot be opened.
const unsigned int LOADER_MODULE = 32;

struct STClientFunction {
    const char* pszName;
    const wchar_t* pszWideName;
    void (*pfnBind)(void* p); // null: the stand-by
    void (*pfnReset)();
    int bRequired;
};

#define ZT_MYSQL_ENTRY(name, result, params, required)                                                \
    {#name, L"" #name,                                                                            \
     [](void* p) { __##name = p != nullptr ? reinterpret_cast<PFN_##name>(p) : DefaultError_##name; }, \
     [] { __##name = DefaultError_##name; }, required},
const STClientFunction s_tabClientFunctions[] = {ZT_MYSQL_CLIENT_FUNCTIONS(ZT_MYSQL_ENTRY)};
#undef ZT_MYSQL_ENTRY
static_assert(sizeof(s_tabClientFunctions) / sizeof(s_tabClientFunctions[0]) == 26, "26 client functions");

// Looked up for the version text only; not one of the exported pointers.
typedef my_bool (*PFN_mariadb_get_infov)(MYSQL*, enum mariadb_value, void*, ...);
static_assert(std::is_same<PFN_mariadb_get_infov, decltype(&::mariadb_get_infov)>::value,
              "mariadb_get_infov: the library's own signature");
static_assert(MARIADB_CLIENT_VERSION == 3, "the library's client version query");
PFN_mariadb_get_infov s_pfnGetInfov = nullptr;

// The library's own end, looked up like the version query: it frees the
// state its first handle set up, which would outlive the unloading.
typedef void (*PFN_mysql_server_end)();
static_assert(std::is_same<PFN_mysql_server_end, decltype(&::mysql_server_end)>::value,
              "mysql_server_end: the library's own signature");
PFN_mysql_server_end s_pfnServerEnd = nullptr;

// The library's own version text; null when it gives none.
const char* _pszInfovClientVersion()
{
    const char* psz = nullptr;
    if (s_pfnGetInfov(nullptr, MARIADB_CLIENT_VERSION, &psz) != 0)
        return nullptr;
    return psz;
}

bool _bVide(const wchar_t* psz)
{
    return psz == nullptr || psz[0] == 0;
}

// Directory part of a path (backslashes read as slashes) and file name; no
// directory for a bare name. A path longer than the platform's path
// buffers gives neither.
const int PATH_CHARS = 261;
void _SplitPath(const wchar_t* pszPath, CTString* pDirectory, CTString* pFile)
{
    wchar_t szDirectory[PATH_CHARS];
    wchar_t szFile[PATH_CHARS];
    CDiskFile::__SplitPath(pszPath, szDirectory, szFile);
    *pDirectory = szDirectory;
    *pFile = szFile;
}

// The file the library was loaded from, as the dynamic loader names it.
void _GetLoadedPath(void* hLibrary, CTString* pLoadedPath)
{
    for (const STClientFunction& e : s_tabClientFunctions) {
        void* p = dlsym(hLibrary, e.pszName);
        if (p == nullptr)
            continue;
        Dl_info info;
        if (dladdr(p, &info) != 0 && info.dli_fname != nullptr && info.dli_fname[0] != 0)
            pLoadedPath->SetANSIEx(info.dli_fname, -1, 65001);
        return;
    }
}

} // namespace

// ---- Loader -------------------------------------------------------------------------

CNAFunctionLoader::~CNAFunctionLoader()
{
    _Term();
}

void CNAFunctionLoader::_Term()
{
    if (m_hLibrary != nullptr) {
        if (s_pfnServerEnd != nullptr) {
            PFN_mysql_server_end pfnEnd = s_pfnServerEnd;
            s_pfnServerEnd = nullptr;
            // The module ends whatever the library's end does; nobody is
            // left to read a report.
            try {
                pfnEnd();
            } catch (...) {
            }
        }
        dlclose(m_hLibrary);
        m_hLibrary = nullptr;
    }
}

const wchar_t* CNAFunctionLoader::_vpszGetLibraryName() const
{
    return L"libmysqlclient.so";
}

int CNAFunctionLoader::_g_bInitLoader(CNAError* pError)
{
    g_pclNAFunctionLoader = new (std::nothrow) CNAFunctionLoader();
    if (g_pclNAFunctionLoader != nullptr)
        return 1;
    if (pError != nullptr)
        pError->pclGetXError()->SetErrorNoMemory();
    return 0;
}

int CNAFunctionLoader::g_bInitNative(CNAError* pError, CTString* pLoadedPath, const wchar_t* pszLibrary,
                                     int bLoadOnly)
{
    if (g_pclNAFunctionLoader == nullptr && !_g_bInitLoader(pError))
        return 0;
    // One library serves the whole process.
    if (g_bLoaded())
        return 1;
    return g_pclNAFunctionLoader->_bInitNative(pError, pLoadedPath, pszLibrary, bLoadOnly);
}

int CNAFunctionLoader::g_bLoaded()
{
    return g_pclNAFunctionLoader != nullptr && g_pclNAFunctionLoader->m_hLibrary != nullptr;
}

void CNAFunctionLoader::g_Term()
{
    // A late call then meets a stand-by, never a closed library.
    for (const STClientFunction& e : s_tabClientFunctions)
        e.pfnReset();
    s_pfnGetInfov = nullptr;
    if (g_pclNAFunctionLoader != nullptr) {
        g_pclNAFunctionLoader->_Term();
        delete g_pclNAFunctionLoader;
        g_pclNAFunctionLoader = nullptr;
    }
}

void CNAFunctionLoader::_GetLibraryName(CTString* pName, int bLoadOnly) const
{
    if (!bLoadOnly)
        *pName = _vpszGetLibraryName();
}

int CNAFunctionLoader::_bInitNative(CNAError* pError, CTString* pLoadedPath, const wchar_t* pszLibrary,
                                    int bLoadOnly)
{
    CTString csName;
    if (!_bVide(pszLibrary))
        csName = pszLibrary;
    else
        _GetLibraryName(&csName, bLoadOnly);

    unsigned int nErrno = 0;
    if (!_bLoadLibraryNative(&nErrno, csName.pszGet())) {
        const char* pszReason = dlerror();
        if (pError != nullptr) {
            _CXErrorModule32 cl;
            cl.SetUserError(&gstMyModuleInfo32, ZTERR_CLIENT_LOAD, L"MySQL", csName.pszGet(), LOADER_MODULE);
            if (!pError->bIsQuiet())
                CNAError::g_AddDebugInfo(&cl, FILE_LOADER, POINT_OPEN);
            if (pszReason != nullptr) {
                CTString csReason;
                csReason.SetANSIEx(pszReason, -1, 65001);
                cl.SetSystemErrorMessage(csReason.pszGet());
            }
            pError->AddError(NA_ERRORTYPE_GENERAL, &cl, nullptr);
        }
        return 0;
    }
    if (pLoadedPath != nullptr)
        _GetLoadedPath(m_hLibrary, pLoadedPath);
    if (bLoadOnly)
        return 1;

    s_pfnGetInfov = reinterpret_cast<PFN_mariadb_get_infov>(dlsym(m_hLibrary, "mariadb_get_infov"));
    s_pfnServerEnd = reinterpret_cast<PFN_mysql_server_end>(dlsym(m_hLibrary, "mysql_server_end"));
    for (const STClientFunction& e : s_tabClientFunctions) {
        void* p = dlsym(m_hLibrary, e.pszName);
        e.pfnBind(p);
        if (p == nullptr && e.bRequired) {
            // The library stays open: later connections do not try again.
            if (pError != nullptr)
                pError->AddError(NA_ERRORTYPE_GENERAL, FILE_LOADER, POINT_BIND, nullptr, ZTERR_CLIENT_FUNCTION,
                                 e.pszWideName);
            return 0;
        }
    }
    return 1;
}

int CNAFunctionLoader::_bLoadLibraryNative(unsigned int* pErrno, const wchar_t* pszPath)
{
    CTString csDirectory;
    CTString csFile;
    _SplitPath(pszPath, &csDirectory, &csFile);
    if (csDirectory.nTaille() > 0)
        return _bLoadLibraryNative(pErrno, csFile.pszGet(), csDirectory.pszGet());

    // The platform answers the running program's path for any handle.
    wchar_t szProgram[261];
    if (GetModuleFileNameW(CNADriver::s_hDllHandle, szProgram, 261) != 0) {
        CTString csProgramFile;
        _SplitPath(szProgram, &csDirectory, &csProgramFile);
        if (csDirectory.nTaille() > 0 && _bLoadLibraryNative(pErrno, csFile.pszGet(), csDirectory.pszGet()))
            return 1;
    }
    return _bLoadLibraryNative(pErrno, csFile.pszGet(), nullptr);
}

int CNAFunctionLoader::_bLoadLibraryNative(unsigned int* pErrno, const wchar_t* pszName,
                                           const wchar_t* pszDirectory)
{
    m_hLibrary = nullptr;
    // An empty name would open the program itself.
    if (_bVide(pszName)) {
        if (pErrno != nullptr)
            *pErrno = ENOENT;
        return 0;
    }
    // The full path: the working directory is never changed.
    CTString csPath;
    if (!_bVide(pszDirectory)) {
        csPath = pszDirectory;
        if (!csPath.bTerminePar(L'/'))
            csPath.Add(L'/');
    }
    csPath.Add(pszName);
    CUTF8Buffer clUTF8(csPath.pszGet());
    if (clUTF8.pszGet() != nullptr)
        m_hLibrary = dlopen(clUTF8.pszGet(), RTLD_NOW);
    if (m_hLibrary == nullptr && pErrno != nullptr)
        *pErrno = static_cast<unsigned int>(errno);
    return m_hLibrary != nullptr;
}

// ---- Client version -----------------------------------------------------------------

int CNAFunctionLoader::g_bGetClientVersion(CNAError* pError, CNAConnectionDescription* pConnection, int nFile,
                                           int nPoint, CTString* pVersion)
{
    const char* psz = nullptr;
    if (s_pfnGetInfov != nullptr &&
        !bNAClientCall(pError, pConnection, nFile, nPoint, psz, nullptr, &_pszInfovClientVersion))
        return 0;
    if ((psz == nullptr || psz[0] == 0) &&
        !bNAClientCall(pError, pConnection, nFile, nPoint, psz, nullptr, __mysql_get_client_info))
        return 0;
    pVersion->SetANSIEx(psz, -1, 1252);
    return 1;
}

void CNAFunctionLoader::g_GetVersionNumbers(const wchar_t* pszVersion, int* pnMajor, int* pnMinor)
{
    int tabPart[2] = {0, 0};
    const wchar_t* p = pszVersion != nullptr ? pszVersion : L"";
    for (int& nPart : tabPart) {
        if (*p < L'0' || *p > L'9')
            break;
        for (; *p >= L'0' && *p <= L'9'; p++) {
            const int nDigit = static_cast<int>(*p - L'0');
            nPart = nPart > (INT_MAX - nDigit) / 10 ? INT_MAX : nPart * 10 + nDigit;
        }
        if (*p == 0)
            break;
        p++; // the separator
    }
    *pnMajor = tabPart[0];
    *pnMinor = tabPart[1];
}

// ---- Crash guard --------------------------------------------------------------------
// Both run inside a handler: nothing may leave them.

void NAClientCallMissing(CNAError* pError, CNAConnectionDescription* pConnection, int nFile, int nPoint,
                         const CTString& csFunction)
{
    if (pError == nullptr)
        return;
    try {
        pError->AddError(NA_ERRORTYPE_GENERAL, nFile, nPoint, pConnection, ZTERR_CLIENT_FUNCTION,
                         csFunction.pszGet());
    } catch (...) {
    }
}

void NAClientCallCrash(CNAError* pError, CNAConnectionDescription* pConnection, int nFile, int nPoint)
{
    CNADriver::s_bGPFCatched = 1;
    CNAError* pTarget = pError;
    if (pTarget == nullptr && CNADriver::s_pclDriver != nullptr)
        pTarget = CNADriver::s_pclDriver->pclGetError();
    if (pTarget == nullptr)
        return;
    try {
        pTarget->AddError(NA_ERRORTYPE_GENERAL, nFile, nPoint, pConnection, ZTERR_CLIENT_CRASH, L"MySQL");
        if (CNADriver::s_pclDriver != nullptr)
            CNADriver::s_pclDriver->OnFatalErrorAddDebugMessage(pTarget, pConnection);
    } catch (...) {
    }
}
