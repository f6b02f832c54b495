// The module's end ends and closes the client library, in a program of its
// own: the common library ends with it.
#include "mysql/MySQLDriver.h"

#include "mysql/NAFunctionLoader.h"
#include "tests/support/FakeClient.h"
#include "tests/support/FakeClientState.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <string>

TEST(MySQLDriverTerm, ModuleEndClosesTheClientLibraryAndRestoresTheStandBys)
{
    CNADriver::g_NAInitModule(nullptr);
    const std::string strLibrary = FakeClientPath("zt_fake_complete.so");
    const std::wstring strWide(strLibrary.begin(), strLibrary.end());
    ASSERT_EQ(CNAFunctionLoader::g_bInitNative(nullptr, nullptr, strWide.c_str(), 0), 1);
    ASSERT_NE(reinterpret_cast<void*>(__mysql_init), reinterpret_cast<void*>(&DefaultError_mysql_init));

    EXPECT_EQ(CMySQLDriver::g_NATermModule(), 1);
    EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
    EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
#define ZT_TEST_STANDBY(name, result, params, required) \
    EXPECT_EQ(reinterpret_cast<void*>(__##name), reinterpret_cast<void*>(&DefaultError_##name)) << #name;
    ZT_MYSQL_CLIENT_FUNCTIONS(ZT_TEST_STANDBY)
#undef ZT_TEST_STANDBY
    // Nothing holds the library any more.
    EXPECT_EQ(dlopen(strLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST(MySQLDriverTerm, TheLoadersEndCallsTheLibrarysOwnEndOnce)
{
    struct {
        const char* pszLibrary;
        int nEnds;
    } const tab[] = {{"zt_fake_complete.so", 1}, {"zt_fake_throwing.so", 0}, {"zt_fake_required_only.so", 0}};
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszLibrary);
        // Held here too, so that its state is read after the loader's end.
        const std::string strLibrary = FakeClientPath(t.pszLibrary);
        void* h = dlopen(strLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(h, nullptr);
        STFakeClientState* pst = reinterpret_cast<PFN_FakeClient_pState>(dlsym(h, "FakeClient_pState"))();
        const int nCalls = pst->nCalls;
        const std::wstring strWide(strLibrary.begin(), strLibrary.end());
        ASSERT_EQ(CNAFunctionLoader::g_bInitNative(nullptr, nullptr, strWide.c_str(), 0), 1);
        CNAFunctionLoader::g_Term();
        // The throwing library's end is caught: the end goes on.
        EXPECT_EQ(pst->nServerEnds, t.nEnds);
        EXPECT_EQ(pst->nCalls - nCalls, t.pszLibrary == std::string("zt_fake_throwing.so") ? 1 : t.nEnds);
        EXPECT_EQ(CNAFunctionLoader::g_bLoaded(), 0);
        // A second end has no library to end.
        CNAFunctionLoader::g_Term();
        EXPECT_EQ(pst->nServerEnds, t.nEnds);
        dlclose(h);
    }
}
