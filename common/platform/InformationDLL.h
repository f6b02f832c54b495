// Statics through which the module reaches the host runtime's services.
// They are set when the runtime initialises the module and stay null before.
#pragma once

#include "common/platform/HostInterfaces.h"

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
    static unsigned ms_dwVersionActive;
    static int* ms_pbMultithread;
};
