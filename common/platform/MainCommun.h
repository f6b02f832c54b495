// Start-up and shut-down common to the maker's libraries, called by the
// driver's own library entries.
#pragma once

#include "common/platform/DllRes.h"

class CMainCommun {
public:
    static HINSTANCE ghModule;

    // First call only: keeps the module handle and opens the message
    // resources; true.
    static bool bInitLibraryCommon(HINSTANCE hModule);
    // After a start-up: frees the value-dump captions, ends the runtime link
    // and closes the message resources; true.
    static bool bTermLibraryCommon();

private:
    static bool ms_bInitialise;
};
