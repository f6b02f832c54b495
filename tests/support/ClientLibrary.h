// The server's client library opened at run time by name, as the driver
// opens it, and one connection to the private test server: for the tests
// that ask the server itself.
#pragma once

#include "tests/support/TestServer.h"

#include <string>
#include <vector>

class CClientLibrary {
public:
    CClientLibrary() = default;
    CClientLibrary(const CClientLibrary&) = delete;
    CClientLibrary& operator=(const CClientLibrary&) = delete;
    // Closes the connection, then the library.
    ~CClientLibrary();

    // Opens the library and connects to the test server, in its test
    // database when bDatabase (else in none); false with the reason.
    bool bConnect(bool bDatabase, std::string& strError);
    // The same, to the server described.
    bool bConnect(const CTestServer& server, bool bDatabase, std::string& strError);
    // Runs a statement, dropping any result; false with the server's error.
    bool bExecute(const std::string& strSQL, std::string& strError);
    // The first column of every row ("NULL" for a null), or false with the
    // error; a statement without a result is an error.
    bool bList(const std::string& strSQL, std::vector<std::string>& tabRows, std::string& strError);
    // The same, with the base table the server names for the first column
    // in the result's description: empty where the column is no table's
    // (a set of several SELECTs, an expression).
    bool bListWithTable(const std::string& strSQL, std::vector<std::string>& tabRows, std::string& strTable,
                        std::string& strError);
    // A transaction started that holds the rows of the SELECT (run FOR
    // UPDATE) until ROLLBACK or the end of the connection.
    bool bHoldRows(const std::string& strSelect, std::string& strError);

private:
    typedef int (*PFN_REAL_QUERY)(void*, const char*, unsigned long);
    typedef void* (*PFN_STORE_RESULT)(void*);
    typedef char** (*PFN_FETCH_ROW)(void*);
    typedef void (*PFN_FREE_RESULT)(void*);
    typedef void (*PFN_CLOSE)(void*);
    typedef const char* (*PFN_ERROR)(void*);
    typedef void* (*PFN_FETCH_FIELD_DIRECT)(void*, unsigned int);

    bool _bQuery(const std::string& strSQL, std::string& strError);

    void* m_hLib = nullptr;
    void* m_pConnection = nullptr;
    PFN_REAL_QUERY m_pfnQuery = nullptr;
    PFN_STORE_RESULT m_pfnStore = nullptr;
    PFN_FETCH_ROW m_pfnFetch = nullptr;
    PFN_FREE_RESULT m_pfnFree = nullptr;
    PFN_CLOSE m_pfnClose = nullptr;
    PFN_ERROR m_pfnError = nullptr;
    PFN_FETCH_FIELD_DIRECT m_pfnField = nullptr;
};
