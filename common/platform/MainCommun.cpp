#include "common/platform/MainCommun.h"

#include "common/platform/ExecutionDLL.h"
#include "common/platform/ZTVariant.h"

HINSTANCE CMainCommun::ghModule = nullptr;
bool CMainCommun::ms_bInitialise = false;

bool CMainCommun::bInitLibraryCommon(HINSTANCE hModule)
{
    if (!ms_bInitialise) {
        ghModule = hModule;
        DLLRES_bInit(hModule, 0);
        ms_bInitialise = true;
    }
    return true;
}

bool CMainCommun::bTermLibraryCommon()
{
    if (ms_bInitialise) {
        ms_bInitialise = false;
        CZTVariant::FreeQueryDumpRessources();
        CBaseExecutionDLL::s_TermineDLL();
        DLLRES_Term();
    }
    return true;
}
