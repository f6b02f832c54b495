#include "tests/support/StatementServer.h"

#include "access/statement/NAColumn.h"
#include "common/values/Any.h"
#include "tests/support/ValueCells.h"

void StatementServerTest::SetUp()
{
    ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
    StartDriverAndSQL(&m_piDriver, &m_piSQL);
    ASSERT_NE(m_piDriver, nullptr);
    m_pError = new CNAError;
    m_pError->AddRef();
}

void StatementServerTest::TearDown()
{
    for (CTestDataAccess* p : m_tabAccess) {
        p->DropStatements();
        EXPECT_EQ(p->nRelease(), 0u);
    }
    m_tabAccess.clear();
    m_tabTable.clear();
    for (CMySQLConnection* p : m_tabConnection) {
        p->bClose(m_pError);
        p->nRelease();
    }
    m_tabConnection.clear();
    if (m_pError != nullptr)
        m_pError->nRelease();
    StopDriverAndSQL(&m_piDriver, &m_piSQL);
    ServerTest::TearDown();
}

CMySQLConnection* StatementServerTest::Connect(const std::wstring& strOptions)
{
    CMySQLConnection* p = new CMySQLConnection(
        L"statement", Host(L"ZT CLIENT LIBRARY=" + Wide(CountingClientPath()) + L";" + strOptions));
    p->AddRef();
    m_tabConnection.push_back(p);
    EXPECT_EQ(p->bOpen(m_pError), 1) << ErrorText();
    return p;
}

StatementServerTest::STable* StatementServerTest::NewTable(CNAConnectionDescription* pclConnection,
                                                           const wchar_t* pszName)
{
    m_tabTable.emplace_back(new STable);
    STable* p = m_tabTable.back().get();
    p->pHost.reset(new CTestTable(m_pError, pclConnection, pszName));
    p->pDatabase.reset(new CTestTable(m_pError, pclConnection, pszName));
    return p;
}

void StatementServerTest::Both(STable* p, const wchar_t* pszName, eNA_ITEMTYPE eType, unsigned int nSize,
                               unsigned short nFlags, bool bNullable)
{
    p->pHost->Add(pszName, eType, nSize, nFlags, bNullable);
    p->pDatabase->Add(pszName, eType, nSize, nFlags, bNullable);
}

CTestDataAccess* StatementServerTest::Access(STable* pTable, CNAConnectionDescription* pclConnection)
{
    (*pTable->pHost)->UpdateRecordSize();
    (*pTable->pDatabase)->UpdateRecordSize();
    CTestDataAccess* p = new CTestDataAccess(pTable->pHost->Get(), pclConnection, m_pError);
    m_tabAccess.push_back(p);
    EXPECT_TRUE(p->Open(pTable->pDatabase->Get())) << ErrorText();
    return p;
}

int StatementServerTest::Queries()
{
    PFN_COUNT pfn = CountingClient("CountingClient_nQueries");
    return pfn != nullptr ? pfn() : -1;
}

std::vector<std::string> StatementServerTest::Selects(int nFrom)
{
    std::vector<std::string> tab;
    for (const std::string& s : Sent(nFrom))
        if (s.compare(0, 7, "SELECT ") == 0)
            tab.push_back(s);
    return tab;
}

int StatementServerTest::Seeks()
{
    PFN_COUNT pfn = CountingClient("CountingClient_nDataSeeks");
    return pfn != nullptr ? pfn() : -1;
}

std::string CurrentValueText(CNADataAccess* pAccess, const wchar_t* pszItem)
{
    CNARecord* pRecord = pAccess->pclGetCurrentRecordNoRef();
    CNAColumn* pColumn = pRecord != nullptr ? pRecord->pclGetColumnNoRef(pszItem) : nullptr;
    if (pColumn == nullptr)
        return "(no column)";
    CAny v;
    if (!pColumn->bGetCurrentValue(&v, 0))
        return "(unreadable)";
    return ValueText(v);
}

void SetCurrentValue(CNADataAccess* pAccess, const wchar_t* pszItem, const std::wstring& strValue)
{
    CNAColumn* pColumn = pAccess->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(pszItem);
    ASSERT_NE(pColumn, nullptr);
    CAny v;
    v.__SetType(TQTYPE_DSTRW, 0);
    v.pclGetTraitement()->SetValue(strValue.c_str(), static_cast<unsigned int>(strValue.size() * sizeof(wchar_t)));
    v.SetFlags(0);
    ASSERT_EQ(pColumn->bSetValue(&v, 0), 1) << strValue.size();
}

void StatementServerTest::SetNull(CNADataAccess* pAccess, const wchar_t* pszItem)
{
    CNAColumn* pColumn = pAccess->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(pszItem);
    ASSERT_NE(pColumn, nullptr);
    CAny v;
    v.__SetType(pColumn->eGetTQType(), 0);
    v.SetNullFlag(true);
    ASSERT_EQ(pColumn->bSetValue(&v, 0), 1);
}

std::string StatementServerTest::ErrorText()
{
    const wchar_t* psz = m_pError != nullptr ? m_pError->pszGetError() : nullptr;
    return psz != nullptr ? UTF8Of(psz) : "";
}
