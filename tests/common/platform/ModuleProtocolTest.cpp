// The runtime's module protocol: the module loaded the way the runtime loads
// it (its own copy of the library, reached through its exports), and the
// library's singleton and statics called directly.
#include "common/platform/DllRes.h"
#include "common/platform/ExecutionDLL.h"
#include "common/platform/MainCommun.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/User32.h"
#include "common/platform/ZTVariant.h"
#include "common/text/Tstring.h"
#include "tests/support/AlphaNumeric1252.h"
#include "tests/support/TestHost.h"
#include "tests/support/Paths.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

typedef unsigned (*PFN_MODULE_EXECUTION)(unsigned nCommand, void* pArgument);

void* hLibrary(const char* pszName)
{
    const std::string strPath = BuildPath(pszName);
    void* h = dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr)
        ADD_FAILURE() << "cannot load " << strPath << ": " << dlerror();
    return h;
}

HINSTANCE hRuntime()
{
    TestHost();
    static void* h = hLibrary(HOSTSTANDIN_LIBRARY);
    return h;
}

HINSTANCE hNoExecution()
{
    static void* h = hLibrary(HOSTSTANDIN_NOEXEC_LIBRARY);
    return h;
}

// The module as the runtime sees it.
struct STModule {
    void* h = nullptr;
    PFN_MODULE_EXECUTION pfnExecution = nullptr;
    PFN_COMMANDECOMPOSANTE pfnCommande = nullptr;

    unsigned Execution(unsigned nCommand, void* pArgument = nullptr) const { return pfnExecution(nCommand, pArgument); }
    int Commande(int nCommand, void* pArgument) const { return pfnCommande(nCommand, pArgument); }
    template <typename T>
    const T* Data(const char* pszName) const { return static_cast<const T*>(dlsym(h, pszName)); }
};

const STModule& Module()
{
    static STModule st = [] {
        STModule s;
        hRuntime();
        s.h = hLibrary("zt190msql.so");
        if (s.h != nullptr) {
            s.pfnExecution = reinterpret_cast<PFN_MODULE_EXECUTION>(dlsym(s.h, "Execution"));
            s.pfnCommande = reinterpret_cast<PFN_COMMANDECOMPOSANTE>(dlsym(s.h, "CommandeComposante"));
        }
        return s;
    }();
    return st;
}

#define ASSERT_MODULE()                                      \
    ASSERT_NE(Module().pfnExecution, nullptr);               \
    ASSERT_NE(Module().pfnCommande, nullptr)

int nLibShopMarker;

STExecutionInit Block(HINSTANCE h, uint32_t nTaille = sizeof(STExecutionInit))
{
    return STExecutionInit{nTaille, h, 11, 22, &nLibShopMarker};
}

// Command 4963 with the stand-in's factory at version 2 tells whether the
// module holds its singleton: 1 with it, 2 without. The module must have
// bound the factory by an earlier initialisation.
bool bModuleHasSingleton()
{
    TestHost().SetGlobalFactoryVersion(2);
    return Module().Execution(EXECUTION_DYNAMIC_TYPES) == 1;
}

std::wstring Caption(const wchar_t* psz)
{
    return psz != nullptr ? std::wstring(psz) : std::wstring(L"(null)");
}

const _stMyModuleInfo kModuleSansMessages = {gstErrorDef32, NB_ERRORDEF32, 32, L"none.so", L"0",
                                             [](STRessourceModule&) { return 0; }};

const struct {
    wchar_t* const* ppsz;
    unsigned nMessage;
    const wchar_t* pszDefaut;
} kCaptions[] = {
    {&CZTVariant::s_pszDumpTQType, 25675, L"Type Tarsel"}, {&CZTVariant::s_pszDumpADOType, 25680, L"Type ADO"},
    {&CZTVariant::s_pszDumpValue, 25670, L"Valeur"},       {&CZTVariant::s_pszDumpTime, 25669, L"Heure"},
    {&CZTVariant::s_pszDumpDate, 25671, L"Date"},
    {&CZTVariant::s_pszDumpConvFailed_Text, 25674, L"Echec de la conversion de la valeur en texte."},
    {&CZTVariant::s_pszDumpConvFailed_Date, 25672, L"Echec de la conversion de la valeur en date"},
    {&CZTVariant::s_pszDumpConvFailed_Time, 25673, L"Echec de la conversion de la valeur en heure"},
};

}  // namespace

TEST(ModuleProtocol, ExportedDataHoldTheVersionRecordsAndConstants)
{
    ASSERT_MODULE();
    const char* const* ppVersion = Module().Data<const char*>("VersionInfo");
    ASSERT_NE(ppVersion, nullptr);
    const std::vector<std::string> expected = {
        "VersionInfoMarkStart",
        "\\StringFileInfo\\000004E4\\VersionVI", "80A190029 x  ",
        "\\StringFileInfo\\000004E4\\FileVersion", "19.0.3.0",
        "\\StringFileInfo\\000004E4\\FileDescription", "Velmora - Native MySQL Driver",
        "\\StringFileInfo\\000004E4\\Comments", "RR\r\nBilingue/bilingual\r\n",
        "",
        "VersionInfoMarkEnd",
    };
    const char* p = *ppVersion;
    for (const std::string& str : expected) {
        EXPECT_EQ(std::string(p), str);
        p += std::strlen(p) + 1;
    }
    const wchar_t *pszPR = Module().Data<wchar_t>("zVersionPR"), *pszVI = Module().Data<wchar_t>("zVersionVI");
    const wchar_t* const* ppszNoMemory = Module().Data<const wchar_t*>("pszNoMemory");
    ASSERT_NE(pszPR, nullptr);
    ASSERT_NE(pszVI, nullptr);
    ASSERT_NE(ppszNoMemory, nullptr);
    EXPECT_EQ(std::wstring(pszPR, wcsnlen(pszPR, 20)), L"VersionPR: 19.0.3.0");
    EXPECT_EQ(std::wstring(pszVI, wcsnlen(pszVI, 26)), L"VersionVI: 80A190029 x  ");
    EXPECT_STREQ(*ppszNoMemory, L"<No Memory>");
    // Adding entry i to an address that is i modulo 4 reaches the next
    // multiple of 4 without passing it.
    const int* pnAlign = Module().Data<int>("XALIGN_gnTabAlignement");
    ASSERT_NE(pnAlign, nullptr);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ((i + pnAlign[i]) % 4, 0) << i;
        EXPECT_TRUE(pnAlign[i] < 4) << i;
    }
    // The module is its own resource module: it answers no resource.
    typedef void* (*PFN_RES)(const _stMyModuleInfo*, unsigned, const wchar_t*, unsigned*);
    auto pfnRes = reinterpret_cast<PFN_RES>(dlsym(Module().h, "DLLRES_pLoadResourceModule"));
    ASSERT_NE(pfnRes, nullptr);
    unsigned nTaille = 99;
    EXPECT_EQ(pfnRes(nullptr, HOSTRES_ID, HOSTRES_NAME, &nTaille), nullptr);
}

// Before the runtime hands its loader over, then with it (kept for the life
// of the process, so the order of these steps matters).
TEST(ModuleProtocol, CommandeComposanteLoadsMessagesAndUsageBits)
{
    ASSERT_MODULE();
    const STModule& m = Module();
    const unsigned kMissing = 9999;
    const auto usage = [&](unsigned nId) { return m.Commande(4, reinterpret_cast<void*>(uintptr_t{nId})); };
    EXPECT_EQ(usage(ZTMSG_NO_MEMORY), 0);
    EXPECT_EQ(usage(kMissing), -1);
    // The module's own text: what this library's loader reads from the same
    // resource block; a missing id writes 0 into the block.
    wchar_t szAttendu[128];
    const int nAttendu = DLLRES_nLoadString(&gstMyModuleInfo32, ZTMSG_NO_MEMORY, szAttendu, 128);
    ASSERT_GT(nAttendu, 0);
    wchar_t sz[128];
    STCommandeChargeChaine st = {sizeof(st), ZTMSG_NO_MEMORY, sz, 128, 77};
    EXPECT_EQ(m.Commande(3, &st), nAttendu);
    EXPECT_EQ(st.nResultat, nAttendu);
    EXPECT_EQ(std::wcscmp(sz, szAttendu), 0);
    st = {sizeof(st), kMissing, sz, 128, 77};
    EXPECT_EQ(m.Commande(3, &st), 0);
    EXPECT_EQ(st.nResultat, 0);
    // Blocks that cannot be the command's are refused untouched.
    EXPECT_EQ(m.Commande(3, nullptr), 0);
    sz[0] = L'#';
    st = {16, ZTMSG_NO_MEMORY, sz, 128, 77};
    EXPECT_EQ(m.Commande(3, &st), 0);
    EXPECT_EQ(st.nResultat, 77);
    EXPECT_EQ(sz[0], L'#');
    EXPECT_TRUE(DLLRES_bForceInitRessource(m.pfnCommande));
    EXPECT_EQ(m.Commande(-1, &st), 0);
    // With the runtime's loader: its texts first, the module's otherwise;
    // usage bits never ask the runtime.
    EXPECT_EQ(m.Commande(2, reinterpret_cast<void*>(TestHost().pfnMessageLoader())), 1);
    st = {sizeof(st), HOSTMSG_VALUE, sz, 128, 0};
    EXPECT_EQ(m.Commande(3, &st), 15);
    EXPECT_EQ(std::wcscmp(sz, L"Value (runtime)"), 0);
    st = {sizeof(st), ZTMSG_NO_MEMORY, sz, 128, 0};
    EXPECT_EQ(m.Commande(3, &st), nAttendu);
    EXPECT_EQ(std::wcscmp(sz, szAttendu), 0);
    EXPECT_EQ(usage(HOSTMSG_RUNTIME_ONLY), -1);
}

TEST(ModuleProtocol, InitialisationBlockSizes)
{
    ASSERT_MODULE();
    const STModule& m = Module();
    IHostStandIn& host = TestHost();
    const int nProduit = host.nServiceCalls(SERVICE_PRODUCT_CODE);
    // Larger than the short form must carry all five fields; too small to
    // hold the handle is no block at all.
    EXPECT_EQ(m.Execution(EXECUTION_INIT, nullptr), 0u);
    for (uint32_t n : {0u, 7u, 12u, 19u}) {
        STExecutionInit st = Block(hRuntime(), n);
        EXPECT_EQ(m.Execution(EXECUTION_INIT, &st), 0u) << n;
    }
    EXPECT_EQ(host.nServiceCalls(SERVICE_PRODUCT_CODE), nProduit);
    // The short form: the runtime is asked for its ILibShop. The second
    // 3985 only counts; the first 4875 leaves the singleton, the second ends it.
    const int nLibShop = host.nServiceCalls(SERVICE_LIBSHOP);
    const int nEnd = host.nModuleEndCalls();
    STExecutionInit st = Block(hRuntime(), 8);
    EXPECT_EQ(m.Execution(EXECUTION_INIT, &st), 1u);
    EXPECT_EQ(m.Execution(EXECUTION_INIT, &st), 1u);
    EXPECT_EQ(host.nServiceCalls(SERVICE_PRODUCT_CODE), nProduit + 1);
    EXPECT_EQ(host.nServiceCalls(SERVICE_LIBSHOP), nLibShop + 1);
    EXPECT_EQ(m.Execution(EXECUTION_TERM), 1u);
    EXPECT_TRUE(bModuleHasSingleton());
    EXPECT_EQ(m.Execution(EXECUTION_TERM), 1u);
    EXPECT_FALSE(bModuleHasSingleton());
    EXPECT_EQ(host.nModuleEndCalls(), nEnd) << "the runtime ended it: nothing owed";
}

TEST(ModuleProtocol, RuntimeWithoutExecutionEntry)
{
    ASSERT_MODULE();
    ASSERT_NE(hNoExecution(), nullptr);
    ASSERT_EQ(dlsym(hNoExecution(), "Execution"), nullptr);
    const STModule& m = Module();
    IHostStandIn& host = TestHost();
    const int nProduit = host.nServiceCalls(SERVICE_PRODUCT_CODE);
    STExecutionInit stSans = Block(hNoExecution());
    STExecutionInit st = Block(hRuntime());
    EXPECT_EQ(m.Execution(EXECUTION_INIT, &stSans), 0u);
    // The singleton stays without a runtime: a later call only counts, even
    // with a runtime that has the entry.
    EXPECT_EQ(m.Execution(EXECUTION_INIT, &st), 1u);
    EXPECT_EQ(host.nServiceCalls(SERVICE_PRODUCT_CODE), nProduit);
    EXPECT_EQ(m.Execution(EXECUTION_TERM), 1u);
    // A failed 3985 counts nothing: one 4875 ends its singleton at once.
    EXPECT_EQ(m.Execution(EXECUTION_INIT, &stSans), 0u);
    EXPECT_EQ(m.Execution(EXECUTION_TERM), 1u);
    EXPECT_EQ(m.Execution(EXECUTION_INIT, &st), 1u);
    EXPECT_EQ(host.nServiceCalls(SERVICE_PRODUCT_CODE), nProduit + 1);
    EXPECT_EQ(m.Execution(EXECUTION_TERM), 1u);
    EXPECT_FALSE(bModuleHasSingleton());
}

TEST(ModuleProtocol, DynamicTypesAndOtherCommands)
{
    ASSERT_MODULE();
    const STModule& m = Module();
    IHostStandIn& host = TestHost();
    STExecutionInit st = Block(hRuntime());
    // No global factory: 1 without calling anything.
    host.SetGlobalFactoryVersion(-1);
    ASSERT_EQ(m.Execution(EXECUTION_INIT, &st), 1u);
    const int nFactory = host.nFactoryCalls();
    EXPECT_EQ(m.Execution(EXECUTION_DYNAMIC_TYPES), 1);
    EXPECT_EQ(host.nFactoryCalls(), nFactory);
    EXPECT_EQ(m.Execution(EXECUTION_TERM), 1u);
    // A factory of version 1 asks for nothing more; above 1 the singleton
    // takes the dynamic types, and without it the answer is 2.
    host.SetGlobalFactoryVersion(1);
    ASSERT_EQ(m.Execution(EXECUTION_INIT, &st), 1u);
    EXPECT_EQ(m.Execution(EXECUTION_DYNAMIC_TYPES), 1);
    EXPECT_EQ(host.nFactoryCalls(), nFactory + 1);
    host.SetGlobalFactoryVersion(2);
    EXPECT_EQ(m.Execution(EXECUTION_DYNAMIC_TYPES), 1);
    EXPECT_EQ(host.nFactoryCalls(), nFactory + 2);
    EXPECT_EQ(m.Execution(EXECUTION_LANGUAGE_CHANGED), 1u);
    EXPECT_EQ(m.Execution(EXECUTION_DUMP_MEMORY) + m.Execution(12345), 0u);
    EXPECT_EQ(m.Execution(EXECUTION_SERVICE, reinterpret_cast<void*>(uintptr_t{1})), 0u);
    EXPECT_EQ(m.Execution(EXECUTION_TERM), 1u);
    EXPECT_EQ(m.Execution(EXECUTION_DYNAMIC_TYPES), 2u);
}

// The same protocol on this library's own singleton and statics.
class ExecutionDLL : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(hRuntime(), nullptr);
        ASSERT_EQ(gpclExecutionDLL32, nullptr);
        TestHost().SetGlobalFactoryVersion(2);
        m_piStrMemAlloc = CInformationModule::ms_piStrMemAlloc;
        m_piInfoLocale = CInformationDLL::ms_piInfoLocale;
    }
    void TearDown() override
    {
        CBaseExecutionDLL::s_TermineMoiMeme();
        CInformationModule::ms_piStrMemAlloc = m_piStrMemAlloc;
        CInformationDLL::ms_piInfoLocale = m_piInfoLocale;
        CInformationDLL::ms_piLibShop = nullptr;
    }
    static uintptr_t nService(unsigned n) { return reinterpret_cast<uintptr_t>(TestHost().pService(n)); }

    IStrMemAlloc* m_piStrMemAlloc = nullptr;
    IInfoLocale* m_piInfoLocale = nullptr;
};

TEST_F(ExecutionDLL, InitialisationBindsTheRuntimeServicesAndProduct)
{
    CInformationModule::ms_piStrMemAlloc = nullptr;
    CInformationDLL::ms_piInfoLocale = nullptr;
    CInformationDLL::ms_piGlobalFactory = nullptr;
    CInformationDLL::ms_piCollecteurTopo = nullptr;
    CInformationDLL::ms_piInformationComposante = nullptr;
    CInformationDLL::ms_pbMultithread = nullptr;
    CInformationDLL::ms_dwVersionActive = 19;
    STExecutionInit st = Block(hRuntime());
    ASSERT_EQ(Execution(EXECUTION_INIT, &st), 1u);
    ASSERT_NE(gpclExecutionDLL32, nullptr);
    EXPECT_EQ(CBaseExecutionDLL::ms_nNbInitialisation, 1);
    EXPECT_EQ(CBaseExecutionDLL::s_hGetHinstanceVM(), hRuntime());
    EXPECT_EQ(CInformationDLL::ms_piLibShop, &nLibShopMarker) << "the block's own";
    const struct {
        uintptr_t nBound;
        unsigned nService;
    } bindings[] = {
        {reinterpret_cast<uintptr_t>(CInformationModule::ms_piStrMemAlloc), SERVICE_STRING_ALLOCATOR},
        {reinterpret_cast<uintptr_t>(CInformationDLL::ms_piInfoLocale), SERVICE_LOCALE},
        {reinterpret_cast<uintptr_t>(CInformationDLL::ms_piGlobalFactory), SERVICE_GLOBAL_FACTORY},
        {reinterpret_cast<uintptr_t>(CInformationDLL::ms_piCollecteurTopo), SERVICE_TOPOLOGY},
        {reinterpret_cast<uintptr_t>(CInformationDLL::ms_piInformationComposante), SERVICE_COMPONENT_INFO},
        {static_cast<uintptr_t>(CInformationDLL::ms_nCodeProduitExecution), SERVICE_PRODUCT_CODE},
        {static_cast<uintptr_t>(CInformationDLL::ms_nCodeProduitReel), SERVICE_REAL_PRODUCT_CODE},
        {static_cast<uintptr_t>(CInformationDLL::ms_nLangueInterne), SERVICE_LANGUAGE},
        {reinterpret_cast<uintptr_t>(CInformationDLL::ms_pszNomProduit), SERVICE_PRODUCT_NAME},
        {CInformationDLL::ms_dwOptions, SERVICE_OPTIONS},
        {reinterpret_cast<uintptr_t>(CInformationDLL::ms_pbMultithread), SERVICE_MULTITHREAD},
        {CInformationDLL::ms_dwVersionActive, SERVICE_VERSION},
    };
    for (const auto& b : bindings) {
        EXPECT_NE(nService(b.nService), 0u) << b.nService;
        EXPECT_EQ(b.nBound, nService(b.nService)) << b.nService;
    }
    EXPECT_EQ(Execution(EXECUTION_TERM, nullptr), 1u);
    EXPECT_EQ(gpclExecutionDLL32, nullptr);
    EXPECT_EQ(CBaseExecutionDLL::ms_nNbInitialisation, 0);
    // The active version is never lowered.
    CInformationDLL::ms_dwVersionActive = static_cast<unsigned>(nService(SERVICE_VERSION)) + 10;
    ASSERT_EQ(Execution(EXECUTION_INIT, &st), 1u);
    EXPECT_EQ(CInformationDLL::ms_dwVersionActive, nService(SERVICE_VERSION) + 10);
    EXPECT_EQ(Execution(EXECUTION_TERM, nullptr), 1u);
    // Command 4878 replaces the locale service.
    IInfoLocale* piAutre = reinterpret_cast<IInfoLocale*>(&nLibShopMarker);
    EXPECT_EQ(Execution(EXECUTION_SET_LOCALE, piAutre), 1u);
    EXPECT_EQ(CInformationDLL::ms_piInfoLocale, piAutre);
}

TEST_F(ExecutionDLL, TerminationTellsTheRuntimeOnlyWhenOwed)
{
    IHostStandIn& host = TestHost();
    const int nEnd = host.nModuleEndCalls();
    STExecutionInit st = Block(hRuntime());
    // Library shut-down after the runtime's 3985: the runtime is told, and
    // the count goes with the singleton: one 4875 ends the next one.
    ASSERT_EQ(Execution(EXECUTION_INIT, &st), 1u);
    ASSERT_EQ(Execution(EXECUTION_INIT, &st), 1u);
    CBaseExecutionDLL::s_TermineDLL();
    EXPECT_EQ(gpclExecutionDLL32, nullptr);
    EXPECT_EQ(host.nModuleEndCalls(), nEnd + 1);
    ASSERT_EQ(Execution(EXECUTION_INIT, &st), 1u);
    EXPECT_EQ(Execution(EXECUTION_TERM, nullptr), 1u);
    EXPECT_EQ(gpclExecutionDLL32, nullptr);
    // Ended without telling the runtime.
    ASSERT_EQ(Execution(EXECUTION_INIT, &st), 1u);
    CBaseExecutionDLL::s_TermineMoiMeme();
    EXPECT_EQ(gpclExecutionDLL32, nullptr);
    EXPECT_EQ(host.nModuleEndCalls(), nEnd + 1);
    // Started by the module itself: no product information, nothing owed.
    const int nProduit = host.nServiceCalls(SERVICE_PRODUCT_CODE);
    const int nAllocateur = host.nServiceCalls(SERVICE_STRING_ALLOCATOR);
    EXPECT_TRUE(CBaseExecutionDLL::s_bInitialiseMoiMeme(hRuntime()));
    EXPECT_EQ(host.nServiceCalls(SERVICE_PRODUCT_CODE), nProduit);
    EXPECT_EQ(host.nServiceCalls(SERVICE_STRING_ALLOCATOR), nAllocateur + 1);
    CBaseExecutionDLL::s_TermineDLL();
    EXPECT_EQ(gpclExecutionDLL32, nullptr);
    EXPECT_EQ(host.nModuleEndCalls(), nEnd + 1);
    EXPECT_FALSE(CBaseExecutionDLL::s_bInitialiseMoiMeme(hNoExecution()));
    // The common library shut-down: captions freed, runtime told once.
    EXPECT_TRUE(CMainCommun::bInitLibraryCommon(&host));
    ASSERT_EQ(Execution(EXECUTION_INIT, &st), 1u);
    CZTVariant::InitQueryDumpRessources();
    EXPECT_TRUE(CMainCommun::bTermLibraryCommon());
    EXPECT_EQ(gpclExecutionDLL32, nullptr);
    EXPECT_EQ(CZTVariant::s_pszDumpValue, nullptr);
    EXPECT_EQ(host.nModuleEndCalls(), nEnd + 2);
}

TEST_F(ExecutionDLL, RuntimeQueries)
{
    // Without a runtime: nothing is called.
    wchar_t sz[64] = L"";
    EXPECT_FALSE(CBaseExecutionDLL::s_bRemplitPileC(1, sz, 64, 2));
    EXPECT_EQ(CBaseExecutionDLL::s_eGetModeSmartphone(), 0);
    STExecutionInit st = Block(hRuntime());
    ASSERT_EQ(Execution(EXECUTION_INIT, &st), 1u);
    const int nCalls = TestHost().LastCallStack().nCalls;
    EXPECT_TRUE(CBaseExecutionDLL::s_bRemplitPileC(5, sz, 64, 7));
    EXPECT_EQ(TestHost().LastCallStack().nCalls, nCalls + 1);
    EXPECT_FALSE(CBaseExecutionDLL::s_bRemplitPileC(5, nullptr, 0, 7)) << "the runtime's failure is passed on";
    // ILibShop is asked only when none is held.
    CInformationDLL::ms_piLibShop = nullptr;
    CBaseExecutionDLL::s_InitLibShopMoiMeme();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(CInformationDLL::ms_piLibShop), nService(SERVICE_LIBSHOP));
    EXPECT_EQ(Execution(EXECUTION_TERM, nullptr), 1u);
}

TEST(ZTVariant, CaptionsComeFromTheMessagesOrTheBuiltInTexts)
{
    ASSERT_EQ(gpfnLoadStringZTM, nullptr);
    // No message at all: the built-in texts.
    CZTVariant::InitQueryDumpRessources(&kModuleSansMessages);
    for (const auto& c : kCaptions)
        EXPECT_EQ(Caption(*c.ppsz), c.pszDefaut) << c.nMessage;
    // This module's own messages where it has them.
    CZTVariant::InitQueryDumpRessources();
    for (const auto& c : kCaptions) {
        CTString clTexte;
        const bool bMessage = DLLRES_bLoadString(&gstMyModuleInfo32, c.nMessage, &clTexte) && clTexte.nTaille() > 0;
        EXPECT_EQ(Caption(*c.ppsz), bMessage ? std::wstring(clTexte.pszGet()) : c.pszDefaut) << c.nMessage;
    }
    CZTVariant::FreeQueryDumpRessources();
    CZTVariant::FreeQueryDumpRessources();  // nothing left to free twice
    for (const auto& c : kCaptions)
        EXPECT_EQ(*c.ppsz, nullptr) << c.nMessage;
}

TEST(User32, LanguagesStringsCharacterClassAndRectangles)
{
    EXPECT_EQ(LANG_To_ELangueProduit(12), ELANGUEPRODUIT_FRANCAIS);
    EXPECT_EQ(LANG_To_ELangueProduit(12 | 0x400), ELANGUEPRODUIT_ANGLAIS) << "a full LANGID is not primary";
    EXPECT_EQ(ELangueProduit_To_LANG(ELANGUEPRODUIT_CHINOIS), 4u);
    EXPECT_EQ(ELangueProduit_To_LANG(static_cast<_ELangueProduit>(5)), 9u);
    // No string resources: an empty text.
    wchar_t szW[8] = L"old";
    char szA[8] = "old";
    EXPECT_EQ(nEmule_LoadStringW(nullptr, 25193, szW, 8) + nEmule_LoadStringA(nullptr, 25193, szA, 8), 0);
    EXPECT_EQ(szW[0], 0);
    EXPECT_EQ(szA[0], 0);

    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(bEmule_IsCharAlphaNumericA(static_cast<char>(c)), bIsAlphaNumeric1252(c)) << c;

    // Rectangle edges wrap like 32-bit registers rather than overflow.
    RECT r = {1, 2, INT_MAX, 4};
    EXPECT_TRUE(bEmule_OffsetRect(&r, 10, -5));
    EXPECT_EQ(r.left, 11);
    EXPECT_EQ(r.top, -3);
    EXPECT_EQ(r.right, INT_MIN + 9);
    EXPECT_EQ(r.bottom, -1);
    // Touching at an edge: no overlap, the result zeroed.
    const RECT a = {0, 0, 10, 10}, right = {10, 0, 20, 10};
    RECT out = {7, 7, 7, 7};
    EXPECT_FALSE(bEmule_IntersectRect(&out, &a, &right));
    EXPECT_EQ(out.left, 0);
    EXPECT_EQ(out.top, 0);
    EXPECT_EQ(out.right, 0);
    EXPECT_EQ(out.bottom, 0);
    const RECT b = {5, -5, 20, 8};
    EXPECT_TRUE(bEmule_IntersectRect(&out, &a, &b));
    EXPECT_EQ(out.left, 5);
    EXPECT_EQ(out.top, 0);
    EXPECT_EQ(out.right, 10);
    EXPECT_EQ(out.bottom, 8);
}

TEST(ResourceLibrary, ResourcesOfAnotherLibrary)
{
    void* hRes = hLibrary(HOSTSTANDIN_RESOURCE_LIBRARY);
    ASSERT_NE(hRes, nullptr);
    unsigned nTaille = 0;
    const char* p = static_cast<const char*>(
        DLLRES_pLoadResource(&gstMyModuleInfo32, hRes, HOSTRES_ID, HOSTRES_NAME, &nTaille));
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, nTaille), HOSTRES_TEXT);
    EXPECT_EQ(DLLRES_pLoadResource(&gstMyModuleInfo32, hRes, HOSTRES_ID + 1, HOSTRES_NAME, &nTaille), nullptr);
    EXPECT_EQ(DLLRES_pLoadResource(&gstMyModuleInfo32, hNoExecution(), HOSTRES_ID, HOSTRES_NAME, &nTaille), nullptr);
    dlclose(hRes);
}
