// The road the driver takes to the server: the client library opened at run
// time by name from a 32-bit process, a connection, a query and its row.
#include "tests/support/TestServer.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <string>

namespace {

typedef void* (*PFN_INIT)(void*);
typedef void* (*PFN_REAL_CONNECT)(void*, const char*, const char*, const char*, const char*, unsigned,
                                  const char*, unsigned long);
typedef int (*PFN_REAL_QUERY)(void*, const char*, unsigned long);
typedef void* (*PFN_STORE_RESULT)(void*);
typedef char** (*PFN_FETCH_ROW)(void*);
typedef void (*PFN_FREE_RESULT)(void*);
typedef void (*PFN_CLOSE)(void*);
typedef const char* (*PFN_ERROR)(void*);

template <typename T>
T Resolve(void* hLib, const char* pszName)
{
    return reinterpret_cast<T>(dlsym(hLib, pszName));
}

}  // namespace

TEST(ClientLibrary, OpensByNameConnectsAndSelectsOne)
{
    static_assert(sizeof(void*) == 4, "the tests run as a 32-bit process");
    CTestServer server;
    std::string strError;
    ASSERT_TRUE(CTestServer::bGet(server, strError)) << strError;

    void* hLib = dlopen("libmysqlclient.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hLib, nullptr) << dlerror();

    auto pfnInit = Resolve<PFN_INIT>(hLib, "mysql_init");
    auto pfnConnect = Resolve<PFN_REAL_CONNECT>(hLib, "mysql_real_connect");
    auto pfnQuery = Resolve<PFN_REAL_QUERY>(hLib, "mysql_real_query");
    auto pfnStore = Resolve<PFN_STORE_RESULT>(hLib, "mysql_store_result");
    auto pfnFetch = Resolve<PFN_FETCH_ROW>(hLib, "mysql_fetch_row");
    auto pfnFree = Resolve<PFN_FREE_RESULT>(hLib, "mysql_free_result");
    auto pfnClose = Resolve<PFN_CLOSE>(hLib, "mysql_close");
    auto pfnError = Resolve<PFN_ERROR>(hLib, "mysql_error");
    ASSERT_TRUE(pfnInit && pfnConnect && pfnQuery && pfnStore && pfnFetch && pfnFree && pfnClose && pfnError);

    void* pConnection = pfnInit(nullptr);
    ASSERT_NE(pConnection, nullptr);
    void* pConnected = pfnConnect(pConnection, server.strHost.c_str(), server.strUser.c_str(),
                                  server.strPassword.c_str(), nullptr, server.nPort, nullptr, 0);
    ASSERT_EQ(pConnected, pConnection) << pfnError(pConnection);

    const std::string strQuery = "SELECT 1";
    ASSERT_EQ(pfnQuery(pConnection, strQuery.c_str(), strQuery.size()), 0) << pfnError(pConnection);
    void* pResult = pfnStore(pConnection);
    ASSERT_NE(pResult, nullptr) << pfnError(pConnection);
    char** row = pfnFetch(pResult);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row[0], "1");
    EXPECT_EQ(pfnFetch(pResult), nullptr);

    pfnFree(pResult);
    pfnClose(pConnection);
    dlclose(hLib);
}
