// Data and entries that the runtime reads or calls in every module of the
// maker: the version records, a few shared constants and the message
// resource commands.
#include "common/platform/DllRes.h"
#include "common/platform/ExecutionDLL.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/User32.h"

#include <cstdint>

namespace {

// A run of texts, each with its end mark; the runtime finds it by its marks.
const char s_szVersionInfo[] =
    "VersionInfoMarkStart\0"
    "\\StringFileInfo\\000004E4\\VersionVI\0"
    "80A190029 " "x  " "\0"
    "\\StringFileInfo\\000004E4\\FileVersion\0"
    "19.0.3.0\0"
    "\\StringFileInfo\\000004E4\\FileDescription\0"
    "Velmora - Native MySQL Driver\0"
    "\\StringFileInfo\\000004E4\\Comments\0"
    "RR\r\nBilingue/bilingual\r\n\0"
    "\0"
    "VersionInfoMarkEnd";

enum : int {
    COMMANDE_LOADER = 2,
    COMMANDE_LOAD_STRING = 3,
    COMMANDE_USAGE = 4,
};

int nChargeChaine(STCommandeChargeChaine* pst)
{
    if (pst == nullptr || pst->nTaille < sizeof(STCommandeChargeChaine))
        return 0;
    pst->nResultat = 0;
    const int n = DLLRES_nLoadString(&gstMyModuleInfo32, pst->nId, pst->pszBuffer, pst->nCapacite);
    pst->nResultat = n;
    return n;
}

}  // namespace

const char* const VersionInfo = s_szVersionInfo;
const wchar_t zVersionPR[20] = L"VersionPR: 19.0.3.0";
const wchar_t zVersionVI[26] = L"VersionVI: 80A190029 " L"x  ";
const wchar_t* const pszNoMemory = L"<No Memory>";
const int XALIGN_gnTabAlignement[4] = {0, 3, 2, 1};
const _GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
int xass_gbService = 0;

int CommandeComposante(int nCommande, void* pArgument)
{
    try {
        switch (nCommande) {
        case COMMANDE_LOADER:
            gpfnLoadStringZTM = reinterpret_cast<PFN_LOADSTRINGZTM>(pArgument);
            return 1;
        case COMMANDE_LOAD_STRING:
            return nChargeChaine(static_cast<STCommandeChargeChaine*>(pArgument));
        case COMMANDE_USAGE:
            return DLLRES_nGetUtilisation(&gstMyModuleInfo32,
                                          static_cast<unsigned>(reinterpret_cast<uintptr_t>(pArgument)));
        default:
            return 0;
        }
    } catch (...) {
        return 0;
    }
}
