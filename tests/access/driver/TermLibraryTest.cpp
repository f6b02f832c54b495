// The module's end, in a program of its own: it happens once per process.
#include "access/driver/INADriver.h"
#include "access/driver/NaDriver.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

extern "C" {
int bDLLCompatible(int nModule, int nVersion, int* pnRequired);
int bInitLibrary(HINSTANCE hModule);
INADriver* piQueryInterface();
int TermLibrary();
}

namespace {

template <class F>
F Entry(void* h, const char* pszName)
{
    void* p = dlsym(h, pszName);
    F pfn = nullptr;
    __builtin_memcpy(&pfn, &p, sizeof(p));
    return pfn;
}

} // namespace

TEST(TermLibrary, OnceThroughTheBuiltModule)
{
    TestHost();
    void* h = dlopen(ZT_BUILD_DIR "/zt190msql.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    auto pfnInit = Entry<int (*)(void*)>(h, "bInitLibrary");
    auto pfnQuery = Entry<INADriver* (*)()>(h, "piQueryInterface");
    auto pfnTerm = Entry<int (*)()>(h, "TermLibrary");
    ASSERT_NE(pfnInit, nullptr);
    ASSERT_NE(pfnQuery, nullptr);
    ASSERT_NE(pfnTerm, nullptr);
    EXPECT_EQ(pfnInit(h), 1);
    INADriver* pi = pfnQuery();
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ(pi->nExternalRelease(), 0);
    EXPECT_EQ(pfnTerm(), 1);
    EXPECT_EQ(pfnTerm(), 1);
    EXPECT_EQ(pfnQuery(), nullptr);
    EXPECT_EQ(pfnInit(h), 1);
    EXPECT_EQ(pfnQuery(), nullptr);
}

TEST(TermLibrary, NoSecondStartUp)
{
    EXPECT_EQ(bInitLibrary(nullptr), 1);
    EXPECT_EQ(TermLibrary(), 1);
    int n = 0;
    EXPECT_EQ(bDLLCompatible(7, 33, &n), 1);
    // A start-up after the end only counts: the recorded version stays.
    const int nBefore = gnNbInitialisation;
    EXPECT_EQ(bInitLibrary(nullptr), 1);
    EXPECT_EQ(gnNbInitialisation, nBefore + 1);
    EXPECT_EQ(CNADriver::s_nID_ZTKX, 33u);
    EXPECT_EQ(piQueryInterface(), nullptr);
    EXPECT_EQ(TermLibrary(), 1);
}
