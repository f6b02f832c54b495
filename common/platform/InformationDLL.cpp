#include "common/platform/InformationDLL.h"

#include <dlfcn.h>

IStrMemAlloc* CInformationModule::ms_piStrMemAlloc = nullptr;

IInfoLocale* CInformationDLL::ms_piInfoLocale = nullptr;
void* CInformationDLL::ms_piGlobalFactory = nullptr;
void* CInformationDLL::ms_piCollecteurTopo = nullptr;
void* CInformationDLL::ms_piInformationComposante = nullptr;
void* CInformationDLL::ms_piLibShop = nullptr;
int CInformationDLL::ms_nCodeProduitExecution = 0;
int CInformationDLL::ms_nCodeProduitReel = 0;
int CInformationDLL::ms_nLangueInterne = 12;
const wchar_t* CInformationDLL::ms_pszNomProduit = L"Quorvix";
unsigned CInformationDLL::ms_dwOptions = 0;
unsigned CInformationDLL::ms_dwVersionActive = 19;
int* CInformationDLL::ms_pbMultithread = nullptr;

namespace {

void* pService(PFN_EXECUTION pfn, unsigned n)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(pfn(EXECUTION_SERVICE, n)));
}

}  // namespace

PFN_EXECUTION CInformationDLL::_s_InitialiseCommun(HINSTANCE hRuntime)
{
    if (hRuntime == nullptr)
        return nullptr;
    PFN_EXECUTION pfn = reinterpret_cast<PFN_EXECUTION>(dlsym(hRuntime, "Execution"));
    if (pfn == nullptr)
        return nullptr;
    ms_piGlobalFactory = pService(pfn, SERVICE_GLOBAL_FACTORY);
    ms_piCollecteurTopo = pService(pfn, SERVICE_TOPOLOGY);
    ms_piInfoLocale = static_cast<IInfoLocale*>(pService(pfn, SERVICE_LOCALE));
    CInformationModule::ms_piStrMemAlloc = static_cast<IStrMemAlloc*>(pService(pfn, SERVICE_STRING_ALLOCATOR));
    ms_piInformationComposante = pService(pfn, SERVICE_COMPONENT_INFO);
    return pfn;
}
