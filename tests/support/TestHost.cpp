#include "tests/support/TestHost.h"

#include "common/platform/InformationDLL.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

IHostStandIn& TestHost()
{
    static IHostStandIn* s_pHost = [] {
        const char* pszPath = ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY;
        void* hRuntime = dlopen(pszPath, RTLD_NOW | RTLD_LOCAL);
        if (hRuntime == nullptr) {
            std::fprintf(stderr, "cannot load the host stand-in %s: %s\n", pszPath, dlerror());
            std::abort();
        }
        auto pfnControl = reinterpret_cast<PFN_HOSTSTANDIN_CONTROL>(dlsym(hRuntime, HOSTSTANDIN_CONTROL_ENTRY));
        auto pfnExecution = reinterpret_cast<PFN_EXECUTION>(dlsym(hRuntime, "Execution"));
        if (pfnControl == nullptr || pfnExecution == nullptr) {
            std::fprintf(stderr, "the host stand-in lacks its entries\n");
            std::abort();
        }
        CInformationModule::ms_piStrMemAlloc =
            reinterpret_cast<IStrMemAlloc*>(pfnExecution(EXECUTION_SERVICE, SERVICE_STRING_ALLOCATOR));
        CInformationDLL::ms_piInfoLocale =
            reinterpret_cast<IInfoLocale*>(pfnExecution(EXECUTION_SERVICE, SERVICE_LOCALE));
        return pfnControl();
    }();
    return *s_pHost;
}
