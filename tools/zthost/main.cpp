// Command-line host: loads the module the way the runtime does, next to the
// stand-in runtime, and reports what the module offers.
#include "host/HostStandIn.h"

#include <cstdio>
#include <cstring>
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
const char* const kEntries[] = {
    "bDLLCompatible", "bInitLibrary", "piQueryInterface", "TermLibrary",
    "Execution", "CommandeComposante", "DLLRES_pLoadResourceModule",
    "bInitTQConvFromVM", "bInitTQCalcFromVM", "pszVerrueEscapeMySQL",
    "VersionInfo", "zVersionPR", "zVersionVI", "gstMyModuleInfo32",
};

}  // namespace

int main(int argc, char** argv)
{
    const std::string strRuntime = BesideExecutable(HOSTSTANDIN_LIBRARY);
    void* hRuntime = dlopen(strRuntime.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (hRuntime == nullptr) {
        std::fprintf(stderr, "zthost: cannot load the runtime: %s\n", dlerror());
        return 1;
    }
    const std::string strModule = argc > 1 ? argv[1] : BesideExecutable("zt190msql.so");
    void* hModule = dlopen(strModule.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (hModule == nullptr) {
        std::fprintf(stderr, "zthost: cannot load the module: %s\n", dlerror());
        return 1;
    }
    std::printf("module %s loaded (%u-bit)\n", strModule.c_str(), static_cast<unsigned>(sizeof(void*) * 8));
    int nFound = 0;
    for (const char* pszEntry : kEntries) {
        const bool bFound = dlsym(hModule, pszEntry) != nullptr;
        nFound += bFound;
        std::printf("  %-28s %s\n", pszEntry, bFound ? "offered" : "not offered yet");
    }
    std::printf("%d of %zu entries offered\n", nFound, sizeof(kEntries) / sizeof(kEntries[0]));
    dlclose(hModule);
    dlclose(hRuntime);
    return 0;
}
