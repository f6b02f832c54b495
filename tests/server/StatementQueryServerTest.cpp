// Browses and searches of a statement whose source is a host-parsed query
// on the private server: the query rewritten with the search and the
// browse order, a limited query read as it stands, a query run without correction
// sent as written; the rows read are those the server gives for the same
// condition and order.
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/NACommand.h"
#include "access/sql/SQLParserInfo.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "tests/support/AnyValue.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Walk;

class StatementQueryServer : public StatementServerTest {
protected:
    StatementQueryServer() : StatementServerTest("zt_squery") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StatementServerTest::SetUp());
        BindValueMachine();
        ASSERT_TRUE(Admin("CREATE TABLE t (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(20) "
                          "COLLATE utf8mb4_bin NULL, amount INT NULL, KEY(name))"));
        // Duplicate names, NULLs, amounts on both sides of the query's bound.
        const char* const apszName[] = {"m", "b", "x", "m", "NULL", "q", "a", "m", "z", "c", "NULL", "n"};
        std::string strSQL = "INSERT INTO t (name, amount) VALUES ";
        for (int i = 0; i < 12; i++) {
            const std::string strName = apszName[i][0] == 'N' ? "NULL" : "'" + std::string(apszName[i]) + "'";
            strSQL += (i > 0 ? "," : "") + std::string("(") + strName + "," +
                      (i == 7 ? std::string("NULL") : std::to_string((i * 5) % 11)) + ")";
        }
        ASSERT_TRUE(Admin(strSQL));
        m_pCnx = Connect();
        STable* p = NewTable(m_pCnx, L"t");
        Both(p, L"id", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"name", NA_IT_TEXTE, 21, CTestTable::DUPLICATES, true);
        Both(p, L"amount", NA_IT_I4, 4, 0, true);
        (*p->pHost)->UpdateRecordSize();
        m_clCatalogue.Add(L"t", L"t", p->pHost->Get());
    }
    void TearDown() override
    {
        // The data accesses read the digests: they go first.
        for (CTestDataAccess* p : m_tabAccess) {
            p->DropStatements();
            EXPECT_EQ(p->nRelease(), 0u);
        }
        m_tabAccess.clear();
        for (CNADataSourceDescription* p : m_tabDescription)
            p->nRelease();
        for (CSQLParserInfo* p : m_tabDigest)
            EXPECT_EQ(p->nRelease(), 0u);
        for (auto& p : m_tabParse)
            EXPECT_EQ(p->nUnbalanced(), 0);
        m_tabParse.clear();
        StatementServerTest::TearDown();
    }
    // A data access over the query, run in the mode given.
    CTestDataAccess* Query(const wchar_t* pszQuery, unsigned int eMode = 0)
    {
        m_tabParse.push_back(CHostSQLParse::pParse(pszQuery, &m_clCatalogue, &m_clValues));
        EXPECT_NE(m_tabParse.back(), nullptr);
        if (m_tabParse.back() == nullptr)
            return nullptr;
        CSQLParserInfo* pInfo = new CSQLParserInfo(m_pError, m_tabParse.back().get(), nullptr, 0);
        pInfo->AddRef();
        m_tabDigest.push_back(pInfo);
        CNADataSourceDescription* pDescription =
            CNADriver::s_pclDriver->pclAllocDataSourceDescription(m_pCnx, m_pError);
        pDescription->AddRef();
        m_tabDescription.push_back(pDescription);
        pDescription->SetLogicalName(L"query");
        EXPECT_EQ(pDescription->bCompleteDescription(pInfo), 1) << ErrorText();
        CTestDataAccess* p = new CTestDataAccess(pDescription, m_pCnx, m_pError);
        m_tabAccess.push_back(p);
        p->SetQueryParse(pInfo, eMode);
        EXPECT_TRUE(p->Open(nullptr)) << ErrorText();
        return p;
    }
    // The ids read from the current row to the end of the browse.
    Walk Rest(CTestDataAccess* p, const wchar_t* pszItem, bool bForward, unsigned int nFlags = 0)
    {
        Walk tab;
        int bOut = 1;
        for (p->m_pclLast->HEndehors(&bOut); !bOut && tab.size() < 40; p->m_pclLast->HEndehors(&bOut)) {
            tab.push_back(Value(p, L"id"));
            EXPECT_EQ(p->bRead(pszItem, bForward ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS, nFlags), 1) << ErrorText();
        }
        return tab;
    }
    Walk Read(CTestDataAccess* p, const wchar_t* pszItem, bool bForward, unsigned int nFlags = 0)
    {
        EXPECT_EQ(p->bRead(pszItem, bForward ? NA_PARSE_FIRST : NA_PARSE_LAST, nFlags), 1) << ErrorText();
        return Rest(p, pszItem, bForward, nFlags);
    }
    Walk Expected(const std::string& strSQL) { return List(strSQL); }

    CMySQLConnection* m_pCnx = nullptr;
    CHostCatalogue m_clCatalogue;
    CHostQueryParametersValue m_clValues;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
    std::vector<CSQLParserInfo*> m_tabDigest;
    std::vector<CNADataSourceDescription*> m_tabDescription;
};

const std::string kIds = "SELECT CAST(id AS CHAR) FROM t ";

} // namespace

TEST_F(StatementQueryServer, RewrittenWithTheBrowseOrderAndASearch)
{
    CTestDataAccess* p = Query(L"SELECT id, name, amount FROM t WHERE amount > 3 ORDER BY amount DESC");
    ASSERT_NE(p, nullptr);
    // The browse item's order replaces the query's, the key breaks ties.
    const Walk tabName = Expected(kIds + "WHERE amount > 3 ORDER BY name, id");
    ASSERT_GE(tabName.size(), 5u);
    EXPECT_EQ(Read(p, L"name", true), tabName);
    EXPECT_EQ(Read(p, L"name", false), Walk(tabName.rbegin(), tabName.rend()));
    // A search from a value: the rows from there on, the query's condition
    // kept.
    for (const wchar_t* pszAt : {L"m", L"n", L"zz"}) {
        CAny a;
        SetTextW(a, pszAt);
        const int nFrom = Queries();
        ASSERT_EQ(p->bSearch(L"name", &a, 1), 1) << ErrorText();
        int bFound = -1, bIn = -1;
        p->m_pclLast->EvalHTrouve(&bFound, &bIn);
        const std::string strAt = Narrow(pszAt);
        const Walk tab = bIn ? Rest(p, L"name", true) : Walk();
        EXPECT_EQ(tab, Expected(kIds + "WHERE amount > 3 AND name >= '" + strAt + "' ORDER BY name, id")) << strAt;
        EXPECT_EQ(bFound, First("SELECT COUNT(*) FROM t WHERE amount > 3 AND name = '" + strAt + "'") != "0");
        const std::vector<std::string> tabSelect = Selects(nFrom);
        ASSERT_FALSE(tabSelect.empty());
        EXPECT_NE(tabSelect[0].find("WHERE ( `t`.`amount` > 3 ) AND ("), std::string::npos) << tabSelect[0];
    }
    // The query's own order, completed by the key, both ways.
    const Walk tabOwn = Expected(kIds + "WHERE amount > 3 ORDER BY amount DESC, id");
    EXPECT_EQ(Read(p, L"", true, CNAStatement::WPF_QUERY_ORDER), tabOwn);
    EXPECT_EQ(Read(p, L"", false, CNAStatement::WPF_QUERY_ORDER), Walk(tabOwn.rbegin(), tabOwn.rend()));
}

TEST_F(StatementQueryServer, ALimitedQueryReadsItsOwnRows)
{
    const std::string strQuery = "SELECT id, name, amount FROM t WHERE amount > 0 ORDER BY amount, id LIMIT 4";
    CTestDataAccess* p = Query(Wide(strQuery).c_str());
    ASSERT_NE(p, nullptr);
    const int nFrom = Queries();
    // A browse on another item reads the rows the query gives, in its own
    // order: the browse's order written into it would pick other rows.
    const Walk tabOwn = Expected(kIds + "WHERE amount > 0 ORDER BY amount, id LIMIT 4");
    ASSERT_NE(tabOwn, Expected(kIds + "WHERE amount > 0 ORDER BY name, id LIMIT 4")) << "the case tells them apart";
    EXPECT_EQ(Read(p, L"name", true), tabOwn);
    const std::vector<std::string> tabSelect = Selects(nFrom);
    ASSERT_EQ(tabSelect.size(), 1u);
    EXPECT_NE(tabSelect[0].find("ORDER BY `t`.`amount`, `t`.`id` LIMIT 4"), std::string::npos) << tabSelect[0];
    // Its value a parameter of the host: the LIMIT keeps it.
    ::Set<int>(m_clValues.Value(L"n"), TQTYPE_I4, 3);
    CTestDataAccess* pParam = Query(L"SELECT id, name, amount FROM t WHERE amount > 0 ORDER BY amount DESC, id LIMIT {n}");
    ASSERT_NE(pParam, nullptr);
    EXPECT_EQ(Read(pParam, L"name", true), Expected(kIds + "WHERE amount > 0 ORDER BY amount DESC, id LIMIT 3"));
}

TEST_F(StatementQueryServer, WithoutCorrectionSentAsWrittenAndNoSearch)
{
    const std::string strQuery = "SELECT id, name, amount FROM t WHERE amount > 3";
    CTestDataAccess* p =
        Query(std::wstring(strQuery.begin(), strQuery.end()).c_str(), CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(p, nullptr);
    const int nFrom = Queries();
    // The server's order, whatever it is: the same rows as the text itself.
    Walk tab = Read(p, L"name", true);
    Walk tabExpected = Expected(kIds + "WHERE amount > 3");
    std::sort(tab.begin(), tab.end());
    std::sort(tabExpected.begin(), tabExpected.end());
    EXPECT_EQ(tab, tabExpected);
    const std::vector<std::string> tabSelect = Selects(nFrom);
    ASSERT_FALSE(tabSelect.empty());
    EXPECT_EQ(tabSelect[0], strQuery);
    // A search would need a sub-query: user error 41, nothing sent.
    CAny a;
    SetTextW(a, L"m");
    const int nBefore = Queries();
    m_pError->Reset();
    EXPECT_EQ(p->bSearch(L"name", &a, 1), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_SUB_QUERY)) << ErrorText();
    EXPECT_EQ(Queries(), nBefore);
}
