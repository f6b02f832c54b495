// The module's four entries: version settlement with the host's data-engine
// and SQL modules, start-up, the driver object, shut-down. None of them
// takes the driver mutex, and no exception leaves them.
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "mysql/MySQLDriver.h"

#include <new>

#define ZT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum : int {
    MODULE_ZTKX = 7,
    MODULE_ZTSQL = 28,
    REQUIRED_VERSION = 31,
};

// TermLibrary acts once; after it no driver is made.
bool s_bTerminated = false;

} // namespace

ZT_EXPORT int bDLLCompatible(int nModule, int nVersion, int* pnRequired)
{
    if (nModule == MODULE_ZTKX)
        CNADriver::s_nID_ZTKX = static_cast<unsigned int>(nVersion);
    else if (nModule == MODULE_ZTSQL)
        CNADriver::s_nID_ZTSQL = static_cast<unsigned int>(nVersion);
    else
        return 0;
    if (pnRequired != nullptr)
        *pnRequired = REQUIRED_VERSION;
    return static_cast<unsigned int>(nVersion) > 30u ? 1 : 0;
}

ZT_EXPORT int bInitLibrary(HINSTANCE hModule)
{
    if (++gnNbInitialisation > 1)
        return 1;
    try {
        CNADriver::g_NAInitModule(hModule);
    } catch (...) {
        // The module runs without its message resources.
    }
    return 1;
}

ZT_EXPORT INADriver* piQueryInterface()
{
    if (s_bTerminated)
        return nullptr;
    try {
        CMySQLDriver* pcl = new CMySQLDriver();
        CNADriver::s_pclDriver = pcl;
        pcl->ExternalAddRef();
        if (!pcl->bInitDriver()) {
            pcl->nExternalRelease();
            CNADriver::s_pclDriver = nullptr;
        }
        return CNADriver::s_pclDriver;
    } catch (...) {
        return nullptr;
    }
}

ZT_EXPORT int TermLibrary()
{
    if (s_bTerminated)
        return 1;
    s_bTerminated = true;
    try {
        return CMySQLDriver::g_NATermModule();
    } catch (...) {
        return 1;
    }
}
