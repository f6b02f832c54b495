// What the server tests share: the driver and its SQL interface as the host
// gets them, a host description of the private server's test user, and the
// texts they compare stored values with.
#pragma once

#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "common/values/Any.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/ClientLibrary.h"
#include "tests/support/TestServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The module's start-up, the driver and its SQL interface (null when the
// driver offers none); Stop releases both.
void StartDriverAndSQL(INADriver** ppiDriver, INADriverSQL** ppiSQL);
void StopDriverAndSQL(INADriver** ppiDriver, INADriverSQL** ppiSQL);

// The test user on the private server by TCP, into strDatabase, with the
// password given and further options after the port.
void DescribeTestServer(CHostConnectionDescription* p, const CTestServer& server, const wchar_t* pszName,
                        const std::string& strDatabase, const std::wstring& strPassword,
                        const std::wstring& strOptions);

// Upper-case hexadecimal of bytes, as the server's HEX() writes it.
std::string HexaOf(const std::string& s);
// The 256 byte values in order.
std::string AllBytes();
std::wstring Wide(const std::string& s);
std::string Narrow(const wchar_t* psz);
// A name no other test or run uses.
std::string UniqueName(const std::string& strPrefix);

// The client library that counts the handles and results it makes and frees,
// and a counter it exports; it stays loaded for the whole program, so the
// driver's own load finds this one.
std::string CountingClientPath();
typedef int (*PFN_COUNT)();
PFN_COUNT CountingClient(const char* pszCounter);
// The query texts the counting client library sent, from the nFrom-th on
// (CountingClient("CountingClient_nQueries") counts them).
std::vector<std::string> CountingClientQueries(int nFrom);
// UTF-8 of a wide text, its NUL characters kept.
std::string UTF8Of(const std::wstring& s);
// A host value as the server's text of it: "NULL", or its UTF-8 text
// (the value is converted in place).
std::string ValueText(CAny& v);

typedef std::vector<std::string> Rows;

// A server test's own database, made empty before each test and dropped after
// it, and a client of its own for the checks (the "admin").
class ServerTest : public testing::Test {
protected:
    // The database's name starts with strPrefix; strTables are made in it.
    explicit ServerTest(const char* pszPrefix, std::vector<std::string> tabTables = {})
        : m_pszPrefix(pszPrefix), m_tabTables(std::move(tabTables))
    {
    }
    void SetUp() override;
    void TearDown() override;
    // Runs the text in the test's database; false, and a failure, when refused.
    bool Admin(const std::string& strSQL);
    // The first column of every row, in the test's database.
    Rows List(const std::string& strSQL);
    // The first column of the first row, or "(no row)".
    std::string First(const std::string& strSQL);
    // A host description of the test user into the test's database, kept
    // as long as the test.
    CHostConnectionDescription* Host(const std::wstring& strOptions = L"", const wchar_t* pszName = L"zt");

    CTestServer m_server;
    CClientLibrary m_clAdmin;
    std::string m_strDatabase;
    std::string m_strAdminError;

private:
    const char* m_pszPrefix;
    std::vector<std::string> m_tabTables;
    std::vector<std::unique_ptr<CHostConnectionDescription>> m_apHost;
};
