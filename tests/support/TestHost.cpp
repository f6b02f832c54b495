#include "tests/support/TestHost.h"

#include "common/platform/InformationDLL.h"
#include "host/ValueMachine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

IHostValueMachine* pMachine = nullptr;

// Tests keep the stand-in's accounts: live blocks from the first block on,
// and the value machine's calls.
IHostStandIn& Loaded(bool bAccounts)
{
    static IHostStandIn* s_pHost = [bAccounts] {
        const char* pszPath = ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY;
        void* hRuntime = dlopen(pszPath, RTLD_NOW | RTLD_LOCAL);
        if (hRuntime == nullptr) {
            std::fprintf(stderr, "cannot load the host stand-in %s: %s\n", pszPath, dlerror());
            std::abort();
        }
        auto pfnControl = reinterpret_cast<PFN_HOSTSTANDIN_CONTROL>(dlsym(hRuntime, HOSTSTANDIN_CONTROL_ENTRY));
        auto pfnExecution = reinterpret_cast<PFN_EXECUTION>(dlsym(hRuntime, "Execution"));
        void* pMachineEntry = dlsym(hRuntime, HOSTVM_CONTROL_ENTRY);
        if (pfnControl == nullptr || pfnExecution == nullptr || pMachineEntry == nullptr) {
            std::fprintf(stderr, "the host stand-in lacks its entries\n");
            std::abort();
        }
        PFN_HOSTVM_CONTROL pfnMachine;
        std::memcpy(&pfnMachine, &pMachineEntry, sizeof(pMachineEntry));
        pMachine = pfnMachine();
        IHostStandIn* p = pfnControl();
        p->KeepBlockAccounts(bAccounts);
        pMachine->RecordCalls(bAccounts);
        CInformationModule::ms_piStrMemAlloc =
            reinterpret_cast<IStrMemAlloc*>(pfnExecution(EXECUTION_SERVICE, SERVICE_STRING_ALLOCATOR));
        CInformationDLL::ms_piInfoLocale =
            reinterpret_cast<IInfoLocale*>(pfnExecution(EXECUTION_SERVICE, SERVICE_LOCALE));
        return p;
    }();
    return *s_pHost;
}

}  // namespace

IHostStandIn& TestHost()
{
    return Loaded(true);
}

IHostStandIn& TimedHost()
{
    IHostStandIn& host = Loaded(false);
    // Loaded earlier by a test: the timing runs without the accounts.
    host.KeepBlockAccounts(false);
    pMachine->RecordCalls(false);
    return host;
}
