// The module's side of the runtime's module protocol: the singleton that
// holds the link to the runtime and the exported entry "Execution" through
// which the runtime starts, informs and ends the module.
#pragma once

#include "common/platform/InformationDLL.h"

#include <cstdint>

class CXError;
class IDumpMemoire;

// Block of Execution(3985). A size of 20 or more carries all five fields;
// 8 to 11 only the size and the runtime handle (the runtime is then asked
// for its ILibShop); other sizes are refused.
struct STExecutionInit {
    uint32_t nTaille;
    HINSTANCE hRuntime;
    uint32_t nUtilisation1;
    uint32_t nUtilisation2;
    void* piLibShop;
};

enum : unsigned {
    EXECUTION_LANGUAGE_CHANGED = 4879,
    EXECUTION_DYNAMIC_TYPES = 4963,
    EXECUTION_DUMP_MEMORY = 5238,
    EXECUTION_INIT_SHORT_MIN = 8,     // size and handle
    EXECUTION_INIT_SHORT_MAX = 11,
    EXECUTION_INIT_FULL = 20,
};

// Block of the runtime's Execution(3184): fills buffer with the call stack.
struct STRemplitPileC {
    int nA;
    wchar_t* pszBuffer;
    int nB;
    int nC;
};

class CBaseExecutionDLL : public CInformationDLL, public CInformationModule {
public:
    CBaseExecutionDLL();

    virtual bool vbInitialiseDLL();
    virtual void vSetUtilisation(unsigned nValeur1, unsigned nValeur2);
    virtual void vTermineDLL();
    virtual void vChangeLangue();
    virtual bool vbInitialiseTypeDINO(CXError* pclErreur);
    virtual bool vbDumpMemoire(IDumpMemoire* piDump);
    virtual ~CBaseExecutionDLL();

    // Unmatched Execution(3985) calls.
    static int ms_nNbInitialisation;

    // Creates and initialises the singleton from a runtime handle when there
    // is none, owing the runtime no termination call; true when a singleton
    // exists afterwards.
    static bool s_bInitialiseMoiMeme(HINSTANCE hRuntime);
    // Library shut-down: tells the runtime (3052) unless it ended the module
    // itself, and destroys the singleton.
    static void s_TermineDLL();
    // Destroys the singleton without telling the runtime.
    static void s_TermineMoiMeme();
    static void s_InitLibShopMoiMeme();
    // The runtime writes the C call stack into buffer; false without a
    // runtime or when it fails.
    static bool s_bRemplitPileC(int nA, wchar_t* pszBuffer, int nB, int nC);
    static int s_eGetModeSmartphone();
    static bool _bUtiliseNET();
    static HINSTANCE s_hGetHinstanceVM();

    // Initialisation from the runtime handle. With bProduit the ILibShop
    // (pstBloc's when it carries one, else the runtime's) and the product
    // information are taken too.
    bool bInitialise(HINSTANCE hRuntime, const STExecutionInit* pstBloc, bool bProduit);
    // Destroys the singleton (its count with it); with bPrevient the runtime
    // is told first when a termination call is owed.
    static void _s_Detruit(bool bPrevient);

    HINSTANCE m_hRuntime;
    PFN_EXECUTION m_pfnExecution;
    bool m_bPasDeTermine;    // no termination call owed to the runtime

private:
    CBaseExecutionDLL(const CBaseExecutionDLL&) = delete;
    CBaseExecutionDLL& operator=(const CBaseExecutionDLL&) = delete;
};

extern CBaseExecutionDLL* gpclExecutionDLL32;

#define ZT_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

// The runtime's entry into the module; never throws.
ZT_MODULE_EXPORT unsigned Execution(unsigned nCommande, void* pArgument);
// Message resources for the runtime (2 message loader, 3 load a message,
// 4 usage bits); never throws.
ZT_MODULE_EXPORT int CommandeComposante(int nCommande, void* pArgument);

// Data read by the runtime only.
ZT_MODULE_EXPORT const char* const VersionInfo;
ZT_MODULE_EXPORT const wchar_t zVersionPR[20];
ZT_MODULE_EXPORT const wchar_t zVersionVI[26];
ZT_MODULE_EXPORT const wchar_t* const pszNoMemory;
// Bytes to add to an address whose value modulo 4 is the index.
ZT_MODULE_EXPORT const int XALIGN_gnTabAlignement[4];
ZT_MODULE_EXPORT int xass_gbService;
