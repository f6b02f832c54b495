#include "common/platform/ExecutionDLL.h"

#include <memory>

static_assert(sizeof(void*) != 4 || sizeof(STExecutionInit) == EXECUTION_INIT_FULL,
              "the runtime's initialisation block is 20 bytes on i386");

CBaseExecutionDLL* gpclExecutionDLL32 = nullptr;
int CBaseExecutionDLL::ms_nNbInitialisation = 0;

namespace {

unsigned nService(PFN_EXECUTION pfn, unsigned n)
{
    return pfn(EXECUTION_SERVICE, n);
}

void* pService(PFN_EXECUTION pfn, unsigned n)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(pfn(EXECUTION_SERVICE, n)));
}

PFN_EXECUTION pfnRuntime()
{
    return gpclExecutionDLL32 != nullptr ? gpclExecutionDLL32->m_pfnExecution : nullptr;
}

unsigned nInitialise(const STExecutionInit* pst)
{
    if (pst == nullptr)
        return 0;
    const uint32_t nTaille = pst->nTaille;
    const bool bComplet = nTaille >= EXECUTION_INIT_FULL;
    // A block that claims more than the short form must carry every field.
    if (!bComplet && (nTaille < EXECUTION_INIT_SHORT_MIN || nTaille > EXECUTION_INIT_SHORT_MAX))
        return 0;
    if (gpclExecutionDLL32 == nullptr) {
        gpclExecutionDLL32 = new CBaseExecutionDLL;
        if (!gpclExecutionDLL32->bInitialise(pst->hRuntime, bComplet ? pst : nullptr, true))
            return 0;
    }
    gpclExecutionDLL32->vSetUtilisation(bComplet ? pst->nUtilisation1 : 0, bComplet ? pst->nUtilisation2 : 0);
    ++CBaseExecutionDLL::ms_nNbInitialisation;
    return 1;
}

unsigned nTermine()
{
    if (CBaseExecutionDLL::ms_nNbInitialisation > 0 && --CBaseExecutionDLL::ms_nNbInitialisation > 0)
        return 1;
    if (gpclExecutionDLL32 != nullptr) {
        gpclExecutionDLL32->m_bPasDeTermine = true;
        gpclExecutionDLL32->vTermineDLL();
        CBaseExecutionDLL::_s_Detruit(false);
    }
    return 1;
}

unsigned nTypesDynamiques(void* pArgument)
{
    IGlobalFactory* piFactory = static_cast<IGlobalFactory*>(CInformationDLL::ms_piGlobalFactory);
    if (piFactory == nullptr || piFactory->nGetVersion() <= 1)
        return 1;
    if (gpclExecutionDLL32 == nullptr)
        return 2;
    return gpclExecutionDLL32->vbInitialiseTypeDINO(static_cast<CXError*>(pArgument)) ? 1 : 2;
}

}  // namespace

CBaseExecutionDLL::CBaseExecutionDLL() : m_hRuntime(nullptr), m_pfnExecution(nullptr), m_bPasDeTermine(false)
{
}

CBaseExecutionDLL::~CBaseExecutionDLL() = default;

bool CBaseExecutionDLL::vbInitialiseDLL()
{
    return true;
}

void CBaseExecutionDLL::vSetUtilisation(unsigned, unsigned)
{
}

void CBaseExecutionDLL::vTermineDLL()
{
}

void CBaseExecutionDLL::vChangeLangue()
{
}

bool CBaseExecutionDLL::vbInitialiseTypeDINO(CXError*)
{
    return true;
}

bool CBaseExecutionDLL::vbDumpMemoire(IDumpMemoire*)
{
    return false;
}

bool CBaseExecutionDLL::bInitialise(HINSTANCE hRuntime, const STExecutionInit* pstBloc, bool bProduit)
{
    m_hRuntime = hRuntime;
    m_pfnExecution = _s_InitialiseCommun(hRuntime);
    if (m_pfnExecution == nullptr)
        return false;
    if (bProduit) {
        ms_piLibShop = pstBloc != nullptr ? pstBloc->piLibShop : pService(m_pfnExecution, SERVICE_LIBSHOP);
        ms_nCodeProduitExecution = static_cast<int>(nService(m_pfnExecution, SERVICE_PRODUCT_CODE));
        ms_nCodeProduitReel = static_cast<int>(nService(m_pfnExecution, SERVICE_REAL_PRODUCT_CODE));
        ms_nLangueInterne = static_cast<int>(nService(m_pfnExecution, SERVICE_LANGUAGE));
        ms_pszNomProduit = static_cast<const wchar_t*>(pService(m_pfnExecution, SERVICE_PRODUCT_NAME));
        ms_dwOptions = nService(m_pfnExecution, SERVICE_OPTIONS);
        const unsigned dwVersion = nService(m_pfnExecution, SERVICE_VERSION);
        if (dwVersion > ms_dwVersionActive)
            ms_dwVersionActive = dwVersion;
        ms_pbMultithread = static_cast<int*>(pService(m_pfnExecution, SERVICE_MULTITHREAD));
    }
    return vbInitialiseDLL();
}

void CBaseExecutionDLL::_s_Detruit(bool bPrevient)
{
    std::unique_ptr<CBaseExecutionDLL> pcl(gpclExecutionDLL32);
    gpclExecutionDLL32 = nullptr;
    ms_nNbInitialisation = 0;
    if (pcl && bPrevient && !pcl->m_bPasDeTermine && pcl->m_pfnExecution != nullptr)
        pcl->m_pfnExecution(EXECUTION_MODULE_ENDS, 0);
}

bool CBaseExecutionDLL::s_bInitialiseMoiMeme(HINSTANCE hRuntime)
{
    if (gpclExecutionDLL32 == nullptr) {
        gpclExecutionDLL32 = new CBaseExecutionDLL;
        gpclExecutionDLL32->m_bPasDeTermine = true;
        if (!gpclExecutionDLL32->bInitialise(hRuntime, nullptr, false)) {
            _s_Detruit(false);
            return false;
        }
    }
    return true;
}

void CBaseExecutionDLL::s_TermineDLL()
{
    _s_Detruit(true);
}

void CBaseExecutionDLL::s_TermineMoiMeme()
{
    _s_Detruit(false);
}

void CBaseExecutionDLL::s_InitLibShopMoiMeme()
{
    if (ms_piLibShop == nullptr && pfnRuntime() != nullptr)
        ms_piLibShop = pService(pfnRuntime(), SERVICE_LIBSHOP);
}

bool CBaseExecutionDLL::s_bRemplitPileC(int nA, wchar_t* pszBuffer, int nB, int nC)
{
    PFN_EXECUTION pfn = pfnRuntime();
    if (pfn == nullptr)
        return false;
    STRemplitPileC st = {nA, pszBuffer, nB, nC};
    return pfn(EXECUTION_CALL_STACK, reinterpret_cast<uintptr_t>(&st)) != 0;
}

int CBaseExecutionDLL::s_eGetModeSmartphone()
{
    PFN_EXECUTION pfn = pfnRuntime();
    return pfn != nullptr ? static_cast<int>(nService(pfn, SERVICE_SMARTPHONE)) : 0;
}

bool CBaseExecutionDLL::_bUtiliseNET()
{
    PFN_EXECUTION pfn = pfnRuntime();
    return pfn != nullptr && nService(pfn, SERVICE_DOTNET) != 0;
}

HINSTANCE CBaseExecutionDLL::s_hGetHinstanceVM()
{
    return gpclExecutionDLL32 != nullptr ? gpclExecutionDLL32->m_hRuntime : nullptr;
}

unsigned Execution(unsigned nCommande, void* pArgument)
{
    try {
        switch (nCommande) {
        case EXECUTION_INIT:
            return nInitialise(static_cast<const STExecutionInit*>(pArgument));
        case EXECUTION_TERM:
            return nTermine();
        case EXECUTION_SET_LOCALE:
            CInformationDLL::ms_piInfoLocale = static_cast<IInfoLocale*>(pArgument);
            return 1;
        case EXECUTION_LANGUAGE_CHANGED:
            if (gpclExecutionDLL32 != nullptr)
                gpclExecutionDLL32->vChangeLangue();
            return 1;
        case EXECUTION_DYNAMIC_TYPES:
            return nTypesDynamiques(pArgument);
        case EXECUTION_DUMP_MEMORY:
            return gpclExecutionDLL32 != nullptr &&
                   gpclExecutionDLL32->vbDumpMemoire(static_cast<IDumpMemoire*>(pArgument));
        default:
            return 0;
        }
    } catch (...) {
        return 0;
    }
}
