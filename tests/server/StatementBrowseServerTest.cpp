// Browses of the statement on the private server: the SELECT it writes for
// each kind of browse item and the rows it reads in four directions, from a
// start value, inside filter bounds, DISTINCT; each walk is compared with
// what the server itself returns for the same order and condition.
#include "access/sql/NACommand.h"
#include "access/statement/NAColumn.h"
#include "common/values/Any.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Walk;

class StatementBrowse : public StatementServerTest {
protected:
    StatementBrowse() : StatementServerTest("zt_browse") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StatementServerTest::SetUp());
        ASSERT_TRUE(Admin("CREATE TABLE t (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, d INT NULL, "
                          "ca INT NOT NULL, cb INT NOT NULL, s VARCHAR(20) NULL, KEY(d), UNIQUE KEY(ca, cb))"));
        // Duplicates and NULLs on d, two components on (ca, cb).
        const int ad[] = {5, -1, 5, 0, 12, 5, -1, 7, 0, 3, 12, 7, 100, 5};
        std::string strSQL = "INSERT INTO t (d, ca, cb, s) VALUES ";
        for (int i = 0; i < 14; i++) {
            const std::string d = i % 5 == 3 ? "NULL" : std::to_string(ad[i]);
            strSQL += (i > 0 ? "," : "") + std::string("(") + d + "," + std::to_string(i % 4) + "," +
                      std::to_string(i) + ",'r" + std::to_string(i) + "')";
        }
        ASSERT_TRUE(Admin(strSQL));
        ASSERT_TRUE(Admin("CREATE TABLE u (a INT NULL, b INT NULL)"));
        ASSERT_TRUE(Admin("INSERT INTO u VALUES (2,1),(1,5),(2,1),(NULL,3),(1,5),(0,0),(2,2)"));
        m_pCnx = Connect();
    }
    CTestDataAccess* TableT()
    {
        STable* p = NewTable(m_pCnx, L"t");
        Both(p, L"id", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"d", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        Both(p, L"ca", NA_IT_I4, 4, 0, false);
        Both(p, L"cb", NA_IT_I4, 4, 0, false);
        Both(p, L"s", NA_IT_TEXTE, 21, 0, true);
        AddDescendingKey(*p->pHost, L"ck", L"ca", L"cb", false);
        AddDescendingKey(*p->pDatabase, L"ck", L"ca", L"cb", false);
        return Access(p, m_pCnx);
    }
    CTestDataAccess* TableU()
    {
        STable* p = NewTable(m_pCnx, L"u");
        Both(p, L"a", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        Both(p, L"b", NA_IT_I4, 4, 0, true);
        return Access(p, m_pCnx);
    }
    // The rows read from first to the end (or from last to the start),
    // each as the values of the items joined by "/".
    Walk Read(CTestDataAccess* p, const wchar_t* pszItem, bool bForward, const std::vector<const wchar_t*>& tabShow,
              unsigned int nFlags = 0)
    {
        Walk tab;
        int bOut = 1;
        EXPECT_EQ(p->bRead(pszItem, bForward ? NA_PARSE_FIRST : NA_PARSE_LAST, nFlags), 1) << ErrorText();
        for (p->m_pclLast->HEndehors(&bOut); !bOut && tab.size() < 100; p->m_pclLast->HEndehors(&bOut)) {
            tab.push_back(Row(p, tabShow));
            EXPECT_EQ(p->bRead(pszItem, bForward ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS, nFlags), 1) << ErrorText();
        }
        return tab;
    }
    static std::string Row(CTestDataAccess* p, const std::vector<const wchar_t*>& tabShow)
    {
        std::string s;
        for (const wchar_t* psz : tabShow)
            s += (s.empty() ? "" : "/") + Value(p, psz);
        return s;
    }
    // The same rows as the server gives them.
    Walk Expected(const std::string& strSQL)
    {
        Walk tab;
        for (const std::string& s : List(strSQL))
            tab.push_back(s);
        return tab;
    }
    static Walk Reversed(Walk tab)
    {
        std::reverse(tab.begin(), tab.end());
        return tab;
    }

    CMySQLConnection* m_pCnx = nullptr;
};

// The admin's form of a row: the columns joined by "/", NULL as "NULL".
const std::string kRowId = "SELECT CAST(id AS CHAR) FROM t ";

TEST_F(StatementBrowse, FourDirectionsOnEachKindOfItem)
{
    CTestDataAccess* p = TableT();
    // The browse order, forwards and backwards, as the item's rules give it:
    // a descending component, the unique key added to make the order exact.
    struct SCase {
        const wchar_t* pszItem;
        const char* pszOrder;
        const char* pszForward;
        const char* pszBackward;
    } aCase[] = {
        {L"id", "ORDER BY id", " ORDER BY `id` LIMIT 100", " ORDER BY `id` DESC LIMIT 100"},
        {L"d", "ORDER BY d, id", " ORDER BY `d`,`id` LIMIT 100", " ORDER BY `d` DESC,`id` DESC LIMIT 100"},
        {L"ck", "ORDER BY ca, cb DESC", " ORDER BY `ca`,`cb` DESC,`id` LIMIT 100",
         " ORDER BY `ca` DESC,`cb`,`id` DESC LIMIT 100"},
    };
    for (const SCase& c : aCase) {
        const int nFrom = Queries();
        const Walk tabExpected = Expected(kRowId + std::string(c.pszOrder));
        ASSERT_EQ(tabExpected.size(), 14u);
        EXPECT_EQ(Read(p, c.pszItem, true, {L"id"}), tabExpected) << Narrow(c.pszItem);
        EXPECT_EQ(Read(p, c.pszItem, false, {L"id"}), Reversed(tabExpected)) << Narrow(c.pszItem);
        // The result's description, made by the first run: the record's
        // five; the key finds a row, the 8-bit text's bytes are not read.
        ASSERT_NE(p->pclGetImportedDataSourceDescNoRef(), nullptr);
        EXPECT_EQ(p->pclGetImportedDataSourceDescNoRef()->nGetNumItems(), 5u);
        const std::vector<std::string> tabSelect = Selects(nFrom);
        ASSERT_EQ(tabSelect.size(), 2u) << Narrow(c.pszItem);
        const std::string strColumns = "SELECT `id`,`d`,`ca`,`cb`,`s` FROM `t`";
        EXPECT_EQ(tabSelect[0], strColumns + c.pszForward);
        EXPECT_EQ(tabSelect[1], strColumns + c.pszBackward);
    }
}

TEST_F(StatementBrowse, WithoutUniqueKeyEveryColumnOrdersAndNoLimit)
{
    CTestDataAccess* p = TableU();
    const int nFrom = Queries();
    const Walk tabExpected = Expected("SELECT CONCAT(COALESCE(a,'NULL'),'/',COALESCE(b,'NULL')) FROM u ORDER BY a, b");
    EXPECT_EQ(Read(p, L"a", true, {L"a", L"b"}), tabExpected);
    EXPECT_EQ(Read(p, L"a", false, {L"a", L"b"}), Reversed(tabExpected));
    const std::vector<std::string> tabSelect = Selects(nFrom);
    ASSERT_EQ(tabSelect.size(), 2u);
    EXPECT_EQ(tabSelect[0], "SELECT `a`,`b` FROM `u` ORDER BY `a`,`b`");
    EXPECT_EQ(tabSelect[1], "SELECT `a`,`b` FROM `u` ORDER BY `a` DESC,`b` DESC");
    // DISTINCT when the best browse item is not unique.
    const int nDistinct = Queries();
    EXPECT_EQ(Read(p, L"a", true, {L"a", L"b"}, CNAStatement::WPF_DISTINCT),
              Expected("SELECT DISTINCT CONCAT(COALESCE(a,'NULL'),'/',COALESCE(b,'NULL')) FROM u ORDER BY a, b"));
    ASSERT_FALSE(Selects(nDistinct).empty());
    EXPECT_EQ(Selects(nDistinct)[0], "SELECT DISTINCT `a`,`b` FROM `u` ORDER BY `a`,`b`");
}

TEST_F(StatementBrowse, DistinctIsLeftOutOnAUniqueBestItem)
{
    CTestDataAccess* p = TableT();
    const int nFrom = Queries();
    EXPECT_EQ(Read(p, L"d", true, {L"id"}, CNAStatement::WPF_DISTINCT), Expected(kRowId + std::string("ORDER BY d, id")));
    ASSERT_FALSE(Selects(nFrom).empty());
    EXPECT_EQ(Selects(nFrom)[0].find("DISTINCT"), std::string::npos);
}

TEST_F(StatementBrowse, FromAStartValueOnwards)
{
    CTestDataAccess* p = TableT();
    for (int v : {5, 6, -1, 100, 101}) {
        CAny a;
        SetAs<int>(a, TQTYPE_I4, v);
        ASSERT_EQ(p->bSearch(L"d", &a, 1), 1) << ErrorText();
        int bFound = -1, bIn = -1;
        p->m_pclLast->EvalHTrouve(&bFound, &bIn);
        Walk tab;
        for (int bOut = !bIn; !bOut && tab.size() < 20; p->m_pclLast->HEndehors(&bOut)) {
            tab.push_back(Value(p, L"id"));
            ASSERT_EQ(p->bRead(L"d", NA_PARSE_NEXT), 1) << ErrorText();
        }
        // The equal rows, then the rest of the order.
        const std::string strAt = std::to_string(v);
        EXPECT_EQ(tab, Expected(kRowId + "WHERE d >= " + strAt + " ORDER BY d, id")) << v;
        EXPECT_EQ(bFound, First("SELECT COUNT(*) FROM t WHERE d = " + strAt) != "0") << v;
    }
}

TEST_F(StatementBrowse, AFirstReadLeavesTheSearch)
{
    CTestDataAccess* p = TableT();
    CAny a;
    SetAs<int>(a, TQTYPE_I4, 7);
    ASSERT_EQ(p->bSearch(L"d", &a, 1), 1) << ErrorText();
    ASSERT_EQ(Value(p, L"d"), "7");
    EXPECT_EQ(Read(p, L"d", true, {L"id"}), Expected(kRowId + "ORDER BY d, id"));
    EXPECT_EQ(p->m_pclLast->pclGetUserSearch()->piGetItemNoRef(), nullptr);
    // Every row read counts as found again.
    ASSERT_EQ(p->bRead(L"d", NA_PARSE_FIRST), 1);
    int bFound = -1, bIn = -1;
    p->m_pclLast->EvalHTrouve(&bFound, &bIn);
    EXPECT_EQ(bFound, 1);
    EXPECT_EQ(bIn, 1);
}

TEST_F(StatementBrowse, InsideFilterBounds)
{
    CTestDataAccess* p = TableT();
    struct SCase {
        int nMin, nMax;
        int bMinIn, bMaxIn;
        const char* pszCondition;
    } aCase[] = {
        {0, 7, 1, 1, "d >= 0 AND d <= 7"},
        {0, 7, 0, 0, "d > 0 AND d < 7"},
        {5, 5, 1, 1, "d = 5"},
        {13, 99, 1, 1, "d >= 13 AND d <= 99"},
    };
    for (const SCase& c : aCase) {
        CAny a, b;
        SetAs<int>(a, TQTYPE_I4, c.nMin);
        SetAs<int>(b, TQTYPE_I4, c.nMax);
        CNAStatement* pStatement = p->Statement(L"d");
        ASSERT_EQ(pStatement->bSetFilter(L"d", &a, c.bMinIn, &b, c.bMaxIn, nullptr), 1) << ErrorText();
        pStatement->pclActivateFilter()->nRelease();
        const Walk tabExpected = Expected(kRowId + "WHERE " + c.pszCondition + " ORDER BY d, id");
        EXPECT_EQ(Read(p, L"d", true, {L"id"}), tabExpected) << c.pszCondition;
        EXPECT_EQ(Read(p, L"d", false, {L"id"}), Reversed(tabExpected)) << c.pszCondition;
    }
    // Switched off, the whole table again.
    p->Statement(L"d")->DesactivateFilter();
    EXPECT_EQ(Read(p, L"d", true, {L"id"}).size(), 14u);
}

} // namespace
