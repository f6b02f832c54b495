#include "common/platform/DllRes.h"

#include "common/platform/DataCompressor.h"
#include "common/platform/FormatWin.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/ResAnsi32.h"
#include "common/text/Tstring.h"
#include "common/text/SysUtils.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>

PFN_LOADSTRINGZTM gpfnLoadStringZTM = nullptr;

namespace {

bool s_bDllResLance = false;

constexpr int kCapaciteZTM = 256;

bool bCherche(const _stMyModuleInfo* pModule, unsigned nId, STRessourceModule& st)
{
    st = STRessourceModule{nId, 0, nullptr, 0, 0, -1};
    return pModule != nullptr && pModule->pfnGetRessource != nullptr &&
           pModule->pfnGetRessource(st) != 0;
}

}  // namespace

bool DLLRES_bInit(HINSTANCE, int)
{
    s_bDllResLance = true;
    return true;
}

void DLLRES_Term()
{
    s_bDllResLance = false;
    TermResAnsi32();
}

bool DLLRES_bUtiliseDLLRes()
{
    return false;
}

HINSTANCE ghGetRessourceHandle()
{
    return nullptr;
}

void DLLRES_SetFichierZTM(const wchar_t*)
{
}

void* DLLRES_pLoadResourceModule(const _stMyModuleInfo*, unsigned, const wchar_t*, unsigned*)
{
    return nullptr;
}

void* DLLRES_pLoadResource(const _stMyModuleInfo* pModule, HINSTANCE hLibrairie, unsigned nId,
                           const wchar_t* pszNom, unsigned* pnTaille)
{
    if (hLibrairie == nullptr)
        return nullptr;
    typedef void* (*PFN)(const _stMyModuleInfo*, unsigned, const wchar_t*, unsigned*);
    PFN pfn = reinterpret_cast<PFN>(dlsym(hLibrairie, "DLLRES_pLoadResourceModule"));
    return pfn != nullptr ? pfn(pModule, nId, pszNom, pnTaille) : nullptr;
}

bool DLLRES_bForceInitRessource(PFN_COMMANDECOMPOSANTE pfn)
{
    if (pfn == nullptr)
        return false;
    STCommandeChargeChaine st = {sizeof(STCommandeChargeChaine), 0, nullptr, 0, 0};
    pfn(3, &st);
    return true;
}

int ZTM_nLoadString(unsigned nId, wchar_t* pszBuffer, int nCapacite)
{
    return gpfnLoadStringZTM != nullptr ? gpfnLoadStringZTM(nId, pszBuffer, nCapacite) : 0;
}

bool ZTM_bLoadString(unsigned nId, CTString* pclTexte)
{
    if (gpfnLoadStringZTM == nullptr || pclTexte == nullptr)
        return false;
    wchar_t sz[kCapaciteZTM + 1];
    sz[0] = 0;
    sz[kCapaciteZTM] = 0;
    const int n = gpfnLoadStringZTM(nId, sz, kCapaciteZTM);
    if (n <= 0)
        return false;
    if (n <= kCapaciteZTM) {
        pclTexte->Set(sz, static_cast<unsigned>(n));
        return true;
    }
    // The answer is the length needed: ask again with room for it and its
    // end mark.
    wchar_t* psz = static_cast<wchar_t*>(XMALLOC_pNew_((static_cast<size_t>(n) + 2) * sizeof(wchar_t)));
    if (psz == nullptr)
        return false;
    psz[0] = 0;
    psz[n + 1] = 0;
    const int m = gpfnLoadStringZTM(nId, psz, n + 1);
    if (m > 0)
        pclTexte->Set(psz, static_cast<unsigned>(std::min(m, n)));
    XMALLOC_Del_(psz);
    return m > 0;
}

int DLLRES_nLoadString(const _stMyModuleInfo* pModule, unsigned nId, wchar_t* pszBuffer, int cch)
{
    if (pszBuffer == nullptr || cch <= 0)
        return 0;
    if (gpfnLoadStringZTM != nullptr) {
        const int n = ZTM_nLoadString(nId, pszBuffer, cch);
        pszBuffer[cch - 1] = 0;
        if (n > 0 && n < cch)
            return n;
        // Longer than the buffer: the host answered the length it needs and
        // wrote nothing, so take the whole text and hand back what fits.
        CTString clTexte;
        if (n >= cch && ZTM_bLoadString(nId, &clTexte)) {
            wcsncpy(pszBuffer, clTexte.pszGet(), static_cast<size_t>(cch - 1));
            pszBuffer[cch - 1] = 0;
            return cch - 1;
        }
    }
    pszBuffer[0] = 0;
    STRessourceModule st;
    if (!bCherche(pModule, nId, st))
        return 0;
    int n = cch;
    switch (CDataCompressor::s_nDeCompress(pszBuffer, &n, st)) {
    case CDataCompressor::DC_OK:
        return static_cast<int>(wcslen(pszBuffer));
    case CDataCompressor::DC_TRONQUE:
        return cch - 1;
    default:
        pszBuffer[0] = 0;
        return 0;
    }
}

bool DLLRES_bLoadString(const _stMyModuleInfo* pModule, unsigned nId, CTString* pclTexte)
{
    if (pclTexte == nullptr)
        return false;
    if (gpfnLoadStringZTM != nullptr && ZTM_bLoadString(nId, pclTexte))
        return true;
    STRessourceModule st;
    if (!bCherche(pModule, nId, st))
        return false;
    wchar_t* psz = CDataCompressor::s_pszDeCompress(st);
    if (psz == nullptr) {
        // Unreadable: the caller's own fallback text applies.
        pclTexte->Vide();
        return false;
    }
    pclTexte->SetBuffer(psz);
    return true;
}

int DLLRES_nGetUtilisation(const _stMyModuleInfo* pModule, unsigned nId)
{
    STRessourceModule st;
    return bCherche(pModule, nId, st) ? st.nUtilisation : -1;
}

unsigned DLLRES_dwFormatMessage(const wchar_t* pszTexte, wchar_t** ppszOut, va_list args)
{
    if (ppszOut == nullptr)
        return 0;
    *ppszOut = nullptr;
    if (pszTexte == nullptr)
        return 0;
    // FormatMessageW reads the list through a pointer to it.
    va_list copie;
    va_copy(copie, args);
    const unsigned n = FormatMessageW(DLLRES_FORMAT_FLAGS, pszTexte, 0, 0, reinterpret_cast<wchar_t*>(ppszOut),
                                      0, reinterpret_cast<char**>(&copie));
    va_end(copie);
    return n;
}

unsigned DLLRES_dwFormatMessage(const wchar_t* pszTexte, CTString* pclOut, va_list args)
{
    wchar_t* psz = nullptr;
    const unsigned n = DLLRES_dwFormatMessage(pszTexte, &psz, args);
    if (pclOut == nullptr) {
        XMALLOC_Del_(psz);
    } else if (psz != nullptr) {
        pclOut->SetBuffer(psz);
    } else {
        pclOut->Vide();
    }
    return n;
}

bool DLLRES_bFormatMessageList(const _stMyModuleInfo* pModule, unsigned nId, CTString* pclOut,
                               va_list args)
{
    CTString clTexte;
    if (!DLLRES_bLoadString(pModule, nId, &clTexte))
        return false;
    return DLLRES_dwFormatMessage(clTexte.pszGet(), pclOut, args) > 0;
}

bool DLLRES_bFormatMessage(const _stMyModuleInfo* pModule, unsigned nId, CTString* pclOut, ...)
{
    va_list args;
    va_start(args, pclOut);
    const bool b = DLLRES_bFormatMessageList(pModule, nId, pclOut, args);
    va_end(args);
    return b;
}

int DLLRES_nFormatMessageList(const _stMyModuleInfo* pModule, unsigned nId, wchar_t** ppszOut,
                              va_list args)
{
    if (ppszOut == nullptr)
        return 0;
    *ppszOut = nullptr;
    CTString clTexte;
    if (!DLLRES_bLoadString(pModule, nId, &clTexte))
        return 0;
    return static_cast<int>(DLLRES_dwFormatMessage(clTexte.pszGet(), ppszOut, args));
}

int DLLRES_nFormatMessage(const _stMyModuleInfo* pModule, unsigned nId, wchar_t** ppszOut, ...)
{
    va_list args;
    va_start(args, ppszOut);
    const int n = DLLRES_nFormatMessageList(pModule, nId, ppszOut, args);
    va_end(args);
    return n;
}

bool DLLRES_bFormatMessageSingulierPlurielList(const _stMyModuleInfo* pModule, int n, unsigned nId,
                                               CTString* pclOut, va_list args)
{
    CTString clTexte;
    CTString clForme;
    if (!DLLRES_bLoadString(pModule, nId, &clTexte) ||
        !clTexte.bExtraitChaine(n, DLLRES_SEPARATEUR_FORMES, &clForme))
        return false;
    return DLLRES_dwFormatMessage(clForme.pszGet(), pclOut, args) > 0;
}

bool DLLRES_bFormatMessageSingulierPluriel(const _stMyModuleInfo* pModule, int n, unsigned nId,
                                           CTString* pclOut, ...)
{
    va_list args;
    va_start(args, pclOut);
    const bool b = DLLRES_bFormatMessageSingulierPlurielList(pModule, n, nId, pclOut, args);
    va_end(args);
    return b;
}
