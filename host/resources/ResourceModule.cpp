// Stand-in for a resource library of the runtime: answers one resource.
#include "host/HostStandIn.h"

#include <cwchar>

struct _stMyModuleInfo;

extern "C" __attribute__((visibility("default"))) void* DLLRES_pLoadResourceModule(
    const _stMyModuleInfo*, unsigned nId, const wchar_t* pszNom, unsigned* pnTaille)
{
    static const char s_szTexte[] = HOSTRES_TEXT;
    if (nId != HOSTRES_ID || pszNom == nullptr || std::wcscmp(pszNom, HOSTRES_NAME) != 0)
        return nullptr;
    if (pnTaille != nullptr)
        *pnTaille = sizeof(s_szTexte) - 1;
    return const_cast<char*>(s_szTexte);
}
