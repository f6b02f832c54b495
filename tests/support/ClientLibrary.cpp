#include "tests/support/ClientLibrary.h"

#include "tests/support/TestServer.h"

#include <dlfcn.h>

namespace {

typedef void* (*PFN_INIT)(void*);
typedef void* (*PFN_REAL_CONNECT)(void*, const char*, const char*, const char*, const char*, unsigned, const char*,
                                  unsigned long);

template <typename T>
T Resolve(void* hLib, const char* pszName)
{
    return reinterpret_cast<T>(dlsym(hLib, pszName));
}

}  // namespace

CClientLibrary::~CClientLibrary()
{
    if (m_pConnection != nullptr)
        m_pfnClose(m_pConnection);
    if (m_hLib == nullptr)
        return;
    // The library's one-time start-up state goes before the library does.
    using PFN_SERVER_END = void (*)();
    if (auto pfnEnd = Resolve<PFN_SERVER_END>(m_hLib, "mysql_server_end"))
        pfnEnd();
    dlclose(m_hLib);
}

bool CClientLibrary::bConnect(bool bDatabase, std::string& strError)
{
    CTestServer server;
    return CTestServer::bGet(server, strError) && bConnect(server, bDatabase, strError);
}

bool CClientLibrary::bConnect(const CTestServer& server, bool bDatabase, std::string& strError)
{
    // Never unloaded: the library keeps what its first handle set up in
    // globals, which an unloaded library would leave unreachable.
    m_hLib = dlopen("libmysqlclient.so", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (m_hLib == nullptr) {
        strError = dlerror();
        return false;
    }
    auto pfnInit = Resolve<PFN_INIT>(m_hLib, "mysql_init");
    auto pfnConnect = Resolve<PFN_REAL_CONNECT>(m_hLib, "mysql_real_connect");
    m_pfnQuery = Resolve<PFN_REAL_QUERY>(m_hLib, "mysql_real_query");
    m_pfnStore = Resolve<PFN_STORE_RESULT>(m_hLib, "mysql_store_result");
    m_pfnFetch = Resolve<PFN_FETCH_ROW>(m_hLib, "mysql_fetch_row");
    m_pfnFree = Resolve<PFN_FREE_RESULT>(m_hLib, "mysql_free_result");
    m_pfnClose = Resolve<PFN_CLOSE>(m_hLib, "mysql_close");
    m_pfnError = Resolve<PFN_ERROR>(m_hLib, "mysql_error");
    m_pfnField = Resolve<PFN_FETCH_FIELD_DIRECT>(m_hLib, "mysql_fetch_field_direct");
    if (!(pfnInit && pfnConnect && m_pfnQuery && m_pfnStore && m_pfnFetch && m_pfnFree && m_pfnClose &&
          m_pfnError && m_pfnField)) {
        strError = "client library entries missing";
        return false;
    }
    m_pConnection = pfnInit(nullptr);
    if (m_pConnection == nullptr) {
        strError = "mysql_init failed";
        return false;
    }
    const char* pszDatabase = bDatabase ? server.strDatabase.c_str() : nullptr;
    if (pfnConnect(m_pConnection, server.strHost.c_str(), server.strUser.c_str(), server.strPassword.c_str(),
                   pszDatabase, server.nPort, nullptr, 0) != m_pConnection) {
        strError = m_pfnError(m_pConnection);
        return false;
    }
    return true;
}

bool CClientLibrary::_bQuery(const std::string& strSQL, std::string& strError)
{
    if (m_pConnection == nullptr) {
        strError = "not connected";
        return false;
    }
    if (m_pfnQuery(m_pConnection, strSQL.c_str(), strSQL.size()) == 0)
        return true;
    strError = std::string(m_pfnError(m_pConnection)) + " in " + strSQL;
    return false;
}

bool CClientLibrary::bExecute(const std::string& strSQL, std::string& strError)
{
    if (!_bQuery(strSQL, strError))
        return false;
    void* pResult = m_pfnStore(m_pConnection);
    if (pResult != nullptr)
        m_pfnFree(pResult);
    return true;
}

bool CClientLibrary::bList(const std::string& strSQL, std::vector<std::string>& tabRows, std::string& strError)
{
    std::string strTable;
    return bListWithTable(strSQL, tabRows, strTable, strError);
}

bool CClientLibrary::bListWithTable(const std::string& strSQL, std::vector<std::string>& tabRows,
                                    std::string& strTable, std::string& strError)
{
    tabRows.clear();
    strTable.clear();
    if (!_bQuery(strSQL, strError))
        return false;
    void* pResult = m_pfnStore(m_pConnection);
    if (pResult == nullptr) {
        strError = std::string("no result for ") + strSQL + ": " + m_pfnError(m_pConnection);
        return false;
    }
    // A field's description starts with its name, its original name, its
    // table and its original table, in every version of the library.
    char** ppszField = static_cast<char**>(m_pfnField(pResult, 0));
    if (ppszField != nullptr && ppszField[3] != nullptr)
        strTable = ppszField[3];
    while (char** row = m_pfnFetch(pResult))
        tabRows.push_back(row[0] != nullptr ? row[0] : "NULL");
    m_pfnFree(pResult);
    return true;
}

bool CClientLibrary::bHoldRows(const std::string& strSelect, std::string& strError)
{
    std::vector<std::string> tabRows;
    return bExecute("START TRANSACTION", strError) && bList(strSelect + " FOR UPDATE", tabRows, strError);
}
