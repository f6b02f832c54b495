#include "access/driver/INADriver.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

extern "C" {
int bDLLCompatible(int nModule, int nVersion, int* pnRequired);
int bInitLibrary(HINSTANCE hModule);
INADriver* piQueryInterface();
}

namespace {

typedef int (*PFN_COMPATIBLE)(int, int, int*);
typedef int (*PFN_INIT)(void*);
typedef INADriver* (*PFN_QUERY)();

struct STModule {
    void* h = nullptr;
    PFN_COMPATIBLE pfnCompatible = nullptr;
    PFN_INIT pfnInit = nullptr;
    PFN_QUERY pfnQuery = nullptr;
};

template <class F>
F Entry(void* h, const char* pszName)
{
    void* p = dlsym(h, pszName);
    F pfn = nullptr;
    static_assert(sizeof(p) == sizeof(pfn), "entries are code addresses");
    __builtin_memcpy(&pfn, &p, sizeof(p));
    return pfn;
}

// The built module, loaded the way the host loads it.
const STModule& Module()
{
    static STModule st = [] {
        STModule s;
        TestHost();
        s.h = dlopen(ZT_BUILD_DIR "/zt190msql.so", RTLD_NOW | RTLD_LOCAL);
        if (s.h != nullptr) {
            s.pfnCompatible = Entry<PFN_COMPATIBLE>(s.h, "bDLLCompatible");
            s.pfnInit = Entry<PFN_INIT>(s.h, "bInitLibrary");
            s.pfnQuery = Entry<PFN_QUERY>(s.h, "piQueryInterface");
        }
        return s;
    }();
    return st;
}

} // namespace

// The values the entries keep, read in this program's own copy of them.
TEST(ModuleEntries, ProcessValues)
{
    int n = 0;
    // Announced before the first start-up: lost.
    EXPECT_EQ(bDLLCompatible(7, 44, &n), 1);
    EXPECT_EQ(CNADriver::s_nID_ZTKX, 44u);
    EXPECT_EQ(bInitLibrary(nullptr), 1);
    EXPECT_EQ(gnNbInitialisation, 1);
    EXPECT_EQ(CNADriver::s_nID_ZTKX, 0u);
    EXPECT_EQ(bDLLCompatible(7, 31, &n), 1);
    EXPECT_EQ(bDLLCompatible(28, 30, &n), 0);
    // A second start-up only counts.
    EXPECT_EQ(bInitLibrary(nullptr), 1);
    EXPECT_EQ(gnNbInitialisation, 2);
    EXPECT_EQ(CNADriver::s_nID_ZTKX, 31u);
    EXPECT_EQ(CNADriver::s_nID_ZTSQL, 30u);
    n = 5;
    EXPECT_EQ(bDLLCompatible(5, 40, &n), 0);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(CNADriver::s_nID_ZTKX, 31u);
    EXPECT_EQ(CNADriver::s_nID_ZTSQL, 30u);
    // Two drivers; the second is the process's.
    INADriver* pi1 = piQueryInterface();
    INADriver* pi2 = piQueryInterface();
    ASSERT_NE(pi1, nullptr);
    ASSERT_NE(pi2, nullptr);
    EXPECT_NE(pi1, pi2);
    EXPECT_EQ(static_cast<INADriver*>(CNADriver::s_pclDriver), pi2);
    EXPECT_EQ(CNADriver::s_pclDriver->llGetRowBlockSize(), 100);
    EXPECT_EQ(CNADriver::s_pclDriver->nGetExternalRef(), 1);
    EXPECT_EQ(pi2->nExternalRelease(), 0);
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
    EXPECT_EQ(pi1->nExternalRelease(), 0);
}

TEST(ModuleEntries, ThroughTheBuiltModule)
{
    const STModule& m = Module();
    ASSERT_NE(m.h, nullptr) << dlerror();
    ASSERT_NE(m.pfnCompatible, nullptr);
    ASSERT_NE(m.pfnInit, nullptr);
    ASSERT_NE(m.pfnQuery, nullptr);
    EXPECT_EQ(m.pfnInit(m.h), 1);
    EXPECT_EQ(m.pfnInit(m.h), 1);
    // Version settlement: the answer and the version required.
    struct STCase {
        int nModule;
        int nVersion;
        int nAnswer;
        int nRequired;
    };
    for (STCase st : {STCase{7, 31, 1, 31}, STCase{28, 30, 0, 31}, STCase{5, 40, 0, -7}, STCase{7, -1, 1, 31},
                      STCase{28, 0, 0, 31}}) {
        int n = -7;
        EXPECT_EQ(m.pfnCompatible(st.nModule, st.nVersion, &n), st.nAnswer) << st.nModule << "/" << st.nVersion;
        EXPECT_EQ(n, st.nRequired) << st.nModule << "/" << st.nVersion;
    }
    INADriver* pi1 = m.pfnQuery();
    INADriver* pi2 = m.pfnQuery();
    ASSERT_NE(pi1, nullptr);
    ASSERT_NE(pi2, nullptr);
    EXPECT_NE(pi1, pi2);
    EXPECT_EQ(pi2->nGetVersion(), 18);
    EXPECT_EQ(pi2->nGetCompatSince(), 17);
    EXPECT_EQ(pi2->nGetNAVersion(), -1);
    EXPECT_EQ(pi2->nGetNACompatSince(), -1);
    ASSERT_NE(pi2->piGetLastError(), nullptr);
    EXPECT_EQ(pi2->piGetLastError()->dwGetErrorId(), 0u);
    EXPECT_EQ(pi2->piGetLastError()->eGetErrorType(), NA_ERRORTYPE_NONE);
    // A refused slot leaves user error 8; the next piGetInterface resets it.
    EXPECT_EQ(pi2->bGetProviderList(nullptr), 0);
    EXPECT_EQ(pi2->piGetLastError()->dwGetErrorId(), 8u);
    EXPECT_EQ(pi2->piGetInterface(2), nullptr);
    EXPECT_EQ(pi2->piGetLastError()->dwGetErrorId(), 0u);
    pi2->ExternalAddRef();
    EXPECT_EQ(pi2->nExternalRelease(), 1);
    EXPECT_EQ(pi2->nExternalRelease(), 0);
    EXPECT_EQ(pi1->nExternalRelease(), 0);
}
