// Statics through which the module reaches the host runtime's services.
// They are set when the runtime initialises the module and stay null before.
#pragma once

#include "common/platform/DllRes.h"
#include "common/platform/HostInterfaces.h"

// The runtime's global object factory: only its first operation is used.
class IGlobalFactory {
public:
    // Above 1 the runtime offers dynamic types.
    virtual int nGetVersion() = 0;

protected:
    ~IGlobalFactory() = default;
};

class CInformationModule {
public:
    static IStrMemAlloc* ms_piStrMemAlloc;
};

class CInformationDLL {
public:
    static IInfoLocale* ms_piInfoLocale;
    static void* ms_piGlobalFactory;
    static void* ms_piCollecteurTopo;
    static void* ms_piInformationComposante;
    static void* ms_piLibShop;
    static int ms_nCodeProduitExecution;
    static int ms_nCodeProduitReel;
    static int ms_nLangueInterne;
    static const wchar_t* ms_pszNomProduit;
    static unsigned ms_dwOptions;
    static unsigned ms_dwVersionActive;   // only ever raised
    static int* ms_pbMultithread;

    // Finds "Execution" in the runtime library and keeps the services every
    // module needs (factory, topology collector, locale, string allocator,
    // component information); the runtime function, null when it has none.
    static PFN_EXECUTION _s_InitialiseCommun(HINSTANCE hRuntime);
};
