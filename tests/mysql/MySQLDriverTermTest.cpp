// The module's end closes the client library, in a program of its own: the
// common library ends with it.
#include "mysql/MySQLDriver.h"

#include "mysql/NAFunctionLoader.h"
#include "tests/support/FakeClient.h"

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
