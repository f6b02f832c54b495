// The host's services, its value machine and a driver whose factories make
// columns and cells, bound once for the benchmarks that need them.
#pragma once

#include "access/driver/NaDriver.h"
#include "common/values/AnyConvert.h"

#include "tests/support/TestHost.h"

#include <dlfcn.h>

inline bool bBindHostAndDriver()
{
    static const bool s_bBound = [] {
        TestHost();
        static CNADriver s_clDriver;
        CNADriver::s_pclDriver = &s_clDriver;
        void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        return h != nullptr && bInitTQConvFromVM(h, 2, 2) == 1 && bInitTQCalcFromVM(h, 2, 2) == 1;
    }();
    return s_bBound;
}
