// What the statement tests on the private server share: the driver as the
// host gets it (its statements are MySQL statements), a MySQL connection
// over the counting client library, which keeps every query text and counts
// the result seeks, hand descriptions of a test table (the host's and the
// database's) and the test data access over them.
#pragma once

#include "access/driver/NAItemDescription.h"
#include "mysql/MySQLConnection.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/TestDataAccess.h"
#include "tests/support/TestTable.h"

#include <memory>
#include <string>
#include <vector>

// The value of an item in the data access's current record as text ("NULL"
// for NULL).
std::string CurrentValueText(CNADataAccess* pAccess, const wchar_t* pszItem);
// The item's value set in the data access's current record.
void SetCurrentValue(CNADataAccess* pAccess, const wchar_t* pszItem, const std::wstring& strValue);

class StatementServerTest : public ServerTest {
protected:
    explicit StatementServerTest(const char* pszPrefix) : ServerTest(pszPrefix) {}
    void SetUp() override;
    void TearDown() override;

    // An open connection into the test's database over the counting client.
    CMySQLConnection* Connect(const std::wstring& strOptions = L"");
    // A host description and the database's of the same items; both live as
    // long as the test. Fill them with Both.
    struct STable {
        std::unique_ptr<CTestTable> pHost;
        std::unique_ptr<CTestTable> pDatabase;
    };
    STable* NewTable(CNAConnectionDescription* pclConnection, const wchar_t* pszName);
    // The item in both; the database side knows the automatic identifier.
    static void Both(STable* p, const wchar_t* pszName, eNA_ITEMTYPE eType, unsigned int nSize,
                     unsigned short nFlags = 0, bool bNullable = true);
    // A data access opened over the table (held by the test).
    CTestDataAccess* Access(STable* pTable, CNAConnectionDescription* pclConnection);

    // The texts sent from the nth on; their count; the result seeks.
    std::vector<std::string> Sent(int nFrom) { return CountingClientQueries(nFrom); }
    int Queries();
    // The SELECTs among the texts sent from the nth on.
    std::vector<std::string> Selects(int nFrom);
    int Seeks();
    // The value of an item in the current record as text ("NULL" for NULL).
    static std::string Value(CNADataAccess* pAccess, const wchar_t* pszItem) { return CurrentValueText(pAccess, pszItem); }
    // The item's value set in the current record.
    static void Set(CNADataAccess* pAccess, const wchar_t* pszItem, const std::wstring& strValue)
    {
        SetCurrentValue(pAccess, pszItem, strValue);
    }
    static void SetNull(CNADataAccess* pAccess, const wchar_t* pszItem);
    // The error text of the test's error object, 8-bit.
    std::string ErrorText();

    INADriver* m_piDriver = nullptr;
    INADriverSQL* m_piSQL = nullptr;
    CNAError* m_pError = nullptr;
    std::vector<CMySQLConnection*> m_tabConnection;
    std::vector<std::unique_ptr<STable>> m_tabTable;
    std::vector<CTestDataAccess*> m_tabAccess;
};
