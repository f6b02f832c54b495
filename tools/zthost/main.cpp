// Command-line host: loads the module the way the runtime does, next to the
// stand-in runtime, reports what the module offers and runs its start-up
// protocol.
//   zthost [--message <id>] [module path]
#include "access/driver/INADriver.h"
#include "common/platform/DllRes.h"
#include "common/platform/ExecutionDLL.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostStandIn.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

std::string BesideExecutable(const char* pszName)
{
    char szPath[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
    std::string strDir = n > 0 ? std::string(szPath, static_cast<size_t>(n)) : std::string(".");
    const size_t slash = strDir.rfind('/');
    strDir = slash == std::string::npos ? "." : strDir.substr(0, slash);
    return strDir + "/" + pszName;
}

// The entries and data the runtime and the data engine look for.
// Each is shown by its name and looked up by its exported symbol (the
// escaping pair is exported as C++ overloads).
struct STEntry {
    const char* pszName;
    const char* pszSymbol;
};
const STEntry kEntries[] = {
    {"bDLLCompatible", "bDLLCompatible"},
    {"bInitLibrary", "bInitLibrary"},
    {"piQueryInterface", "piQueryInterface"},
    {"TermLibrary", "TermLibrary"},
    {"Execution", "Execution"},
    {"CommandeComposante", "CommandeComposante"},
    {"DLLRES_pLoadResourceModule", "DLLRES_pLoadResourceModule"},
    {"bInitTQConvFromVM", "bInitTQConvFromVM"},
    {"bInitTQCalcFromVM", "bInitTQCalcFromVM"},
    {"pszVerrueEscapeMySQL(char)", "_Z20pszVerrueEscapeMySQLPKcw"},
    {"pszVerrueEscapeMySQL(wchar_t)", "_Z20pszVerrueEscapeMySQLPKww"},
    {"VersionInfo", "VersionInfo"},
    {"zVersionPR", "zVersionPR"},
    {"zVersionVI", "zVersionVI"},
    {"gstMyModuleInfo32", "gstMyModuleInfo32"},
};

typedef unsigned (*PFN_MODULE_EXECUTION)(unsigned nCommand, void* pArgument);
typedef int (*PFN_DLLCOMPATIBLE)(int nModule, int nVersion, int* pnRequired);
typedef int (*PFN_INITLIBRARY)(void* hModule);
typedef INADriver* (*PFN_QUERYINTERFACE)();
typedef int (*PFN_TERMLIBRARY)();

template <class F>
F Entry(void* h, const char* pszName)
{
    void* p = dlsym(h, pszName);
    F pfn = nullptr;
    std::memcpy(&pfn, &p, sizeof(p));
    return pfn;
}

// The driver's start-up as the host runs it: start, version settlement with
// the data-engine (7) and SQL (28) modules, the driver, its end.
bool RunDriverStartUp(void* hModule)
{
    auto pfnInit = Entry<PFN_INITLIBRARY>(hModule, "bInitLibrary");
    auto pfnCompatible = Entry<PFN_DLLCOMPATIBLE>(hModule, "bDLLCompatible");
    auto pfnQuery = Entry<PFN_QUERYINTERFACE>(hModule, "piQueryInterface");
    auto pfnTerm = Entry<PFN_TERMLIBRARY>(hModule, "TermLibrary");
    if (pfnInit == nullptr || pfnCompatible == nullptr || pfnQuery == nullptr || pfnTerm == nullptr) {
        std::printf("the driver cannot start: an entry is missing\n");
        return false;
    }
    std::printf("bInitLibrary: %d\n", pfnInit(hModule));
    int nRequired = 0;
    const int bKX = pfnCompatible(7, 31, &nRequired);
    std::printf("bDLLCompatible(7, 31): %d, version required %d\n", bKX, nRequired);
    const int bSQL = pfnCompatible(28, 31, &nRequired);
    std::printf("bDLLCompatible(28, 31): %d, version required %d\n", bSQL, nRequired);
    INADriver* piDriver = pfnQuery();
    bool bOk = piDriver != nullptr;
    if (piDriver != nullptr) {
        std::printf("driver: version %d, compatible since %d\n", piDriver->nGetVersion(), piDriver->nGetCompatSince());
        std::printf("driver released: %d references left\n", piDriver->nExternalRelease());
    } else {
        std::printf("piQueryInterface: no driver\n");
    }
    std::printf("TermLibrary: %d\n", pfnTerm());
    return bOk;
}

// UTF-8 for the terminal, whatever the locale; control characters escaped.
std::string Utf8(const wchar_t* psz, size_t n)
{
    std::string str;
    for (size_t i = 0; i < n; ++i) {
        const unsigned c = static_cast<unsigned>(psz[i]);
        if (c == '\r')
            str += "\\r";
        else if (c == '\n')
            str += "\\n";
        else if (c < 0x80)
            str += static_cast<char>(c);
        else if (c < 0x800) {
            str += static_cast<char>(0xC0 | (c >> 6));
            str += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            str += static_cast<char>(0xE0 | (c >> 12));
            str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            str += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            str += static_cast<char>(0xF0 | (c >> 18));
            str += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            str += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return str;
}

std::string Utf8(const wchar_t* psz)
{
    return psz == nullptr ? std::string("(null)") : Utf8(psz, std::wcslen(psz));
}

std::string Escaped(const char* psz)
{
    std::string str;
    for (; *psz != 0; ++psz)
        str += *psz == '\r' ? std::string("\\r") : *psz == '\n' ? std::string("\\n") : std::string(1, *psz);
    return str;
}

// A wide text in a field of nChars characters, not trusted to be ended.
std::string Field(const wchar_t* psz, size_t nChars)
{
    return Utf8(psz, wcsnlen(psz, nChars));
}

void PrintVersionBlock(void* hModule)
{
    const char* const* ppBlock = static_cast<const char* const*>(dlsym(hModule, "VersionInfo"));
    if (ppBlock != nullptr && *ppBlock != nullptr && std::strcmp(*ppBlock, "VersionInfoMarkStart") == 0) {
        std::printf("version block:\n");
        const char* p = *ppBlock + std::strlen(*ppBlock) + 1;
        // Key and value pairs up to the empty text before the end mark.
        while (*p != 0) {
            const char* pszValue = p + std::strlen(p) + 1;
            std::printf("  %s = %s\n", p, Escaped(pszValue).c_str());
            p = pszValue + std::strlen(pszValue) + 1;
        }
        std::printf("  end mark: %s\n", p + 1);
    }
    if (const wchar_t* psz = static_cast<const wchar_t*>(dlsym(hModule, "zVersionPR")))
        std::printf("zVersionPR: %s\n", Field(psz, 20).c_str());
    if (const wchar_t* psz = static_cast<const wchar_t*>(dlsym(hModule, "zVersionVI")))
        std::printf("zVersionVI: %s\n", Field(psz, 26).c_str());
    if (const _stMyModuleInfo* pst = static_cast<const _stMyModuleInfo*>(dlsym(hModule, "gstMyModuleInfo32")))
        std::printf("identity: module %u, file %s, version %s, %u error definitions\n", pst->dwModule,
                    Utf8(pst->pszModuleName).c_str(), Utf8(pst->pszModuleVersion).c_str(), pst->dwNbErrorDef);
}

// Loads message nId through CommandeComposante(3); false when missing.
bool PrintMessage(PFN_COMMANDECOMPOSANTE pfnCommande, unsigned nId)
{
    static wchar_t szTexte[4096];
    STCommandeChargeChaine st = {sizeof(STCommandeChargeChaine), nId, szTexte,
                                 static_cast<int32_t>(sizeof(szTexte) / sizeof(szTexte[0])), 0};
    const int n = pfnCommande(3, &st);
    if (n <= 0) {
        std::printf("message %u: not found\n", nId);
        return false;
    }
    std::printf("message %u: %s\n", nId, Field(szTexte, static_cast<size_t>(n)).c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string strModule = BesideExecutable("zt190msql.so");
    bool bMessage = false;
    unsigned nMessage = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--message") == 0 && i + 1 < argc) {
            char* pszFin = nullptr;
            nMessage = static_cast<unsigned>(std::strtoul(argv[++i], &pszFin, 10));
            if (pszFin == argv[i] || *pszFin != 0) {
                std::fprintf(stderr, "zthost: bad message number %s\n", argv[i]);
                return 1;
            }
            bMessage = true;
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: zthost [--message <id>] [module path]\n");
            return 1;
        } else {
            strModule = argv[i];
        }
    }

    const std::string strRuntime = BesideExecutable(HOSTSTANDIN_LIBRARY);
    void* hRuntime = dlopen(strRuntime.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (hRuntime == nullptr) {
        std::fprintf(stderr, "zthost: cannot load the runtime: %s\n", dlerror());
        return 1;
    }
    void* hModule = dlopen(strModule.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (hModule == nullptr) {
        std::fprintf(stderr, "zthost: cannot load the module: %s\n", dlerror());
        return 1;
    }
    std::printf("module %s loaded (%u-bit)\n", strModule.c_str(), static_cast<unsigned>(sizeof(void*) * 8));
    int nFound = 0;
    for (const STEntry& entry : kEntries) {
        const bool bFound = dlsym(hModule, entry.pszSymbol) != nullptr;
        nFound += bFound;
        std::printf("  %-30s %s\n", entry.pszName, bFound ? "offered" : "not offered yet");
    }
    std::printf("%d of %zu entries offered\n", nFound, sizeof(kEntries) / sizeof(kEntries[0]));

    int nResult = 0;
    auto pfnExecution = reinterpret_cast<PFN_MODULE_EXECUTION>(dlsym(hModule, "Execution"));
    auto pfnCommande = reinterpret_cast<PFN_COMMANDECOMPOSANTE>(dlsym(hModule, "CommandeComposante"));
    auto pfnControl = reinterpret_cast<PFN_HOSTSTANDIN_CONTROL>(dlsym(hRuntime, HOSTSTANDIN_CONTROL_ENTRY));
    if (pfnExecution != nullptr && pfnCommande != nullptr && pfnControl != nullptr) {
        IHostStandIn* piHost = pfnControl();
        STExecutionInit stInit = {sizeof(STExecutionInit), hRuntime, 0, 0, piHost->pService(SERVICE_LIBSHOP)};
        std::printf("Execution(3985): %u\n", pfnExecution(EXECUTION_INIT, &stInit));
        std::printf("CommandeComposante(2): %d\n",
                    pfnCommande(2, reinterpret_cast<void*>(piHost->pfnMessageLoader())));
        PrintVersionBlock(hModule);
        if (bMessage && !PrintMessage(pfnCommande, nMessage))
            nResult = 1;
        if (!RunDriverStartUp(hModule))
            nResult = 1;
        std::printf("Execution(4875): %u\n", pfnExecution(EXECUTION_TERM, nullptr));
        std::printf("runtime told of the module's end: %d\n", piHost->nModuleEndCalls());
    } else {
        std::printf("the module protocol cannot run: Execution or CommandeComposante missing\n");
        nResult = 1;
    }
    dlclose(hModule);
    dlclose(hRuntime);
    return nResult;
}
