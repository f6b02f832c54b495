// A host query that limits its rows, run with correction on the private
// server and read through the table object as the host calls it: browses
// on another item and searches return the query's own rows, never rows
// its LIMIT left out. Expected rows are the server's rows of the query
// read as a derived table.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace tableobject;

const wchar_t* const kQuery = L"SELECT id, v, n FROM t WHERE v > 'v0100' ORDER BY v DESC LIMIT 13";

class LimitedQuery : public TableObjectServer {
protected:
    LimitedQuery()
        : TableObjectServer("zt51lq", {"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(20) NOT NULL, n INT NULL, "
                                       "KEY(v)) CHARACTER SET utf8mb4"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(TableObjectServer::SetUp());
        // v in another order than id; n with ties and NULLs.
        std::string s = "INSERT INTO t VALUES ";
        for (int i = 1; i <= 300; i++) {
            char sz[8];
            std::snprintf(sz, sizeof sz, "v%04d", i * 37 % 301);
            s += (i > 1 ? "," : "") + std::string("(") + std::to_string(i) + ",'" + sz + "'," +
                 (i % 5 == 0 ? std::string("NULL") : std::to_string(i % 4)) + ")";
        }
        ASSERT_TRUE(Admin(s));
    }
    // The server's rows of the query read as a derived table.
    Rows Server(const std::string& strColumn, const std::string& strOrder)
    {
        return List("SELECT " + strColumn + " FROM (" + Narrow(kQuery) + ") q ORDER BY " + strOrder);
    }
    // A whole browse on the item, from its first or last record: the
    // values of the item given.
    static Rows Browse(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, bool bForward,
                       const wchar_t* pszValue = L"id")
    {
        Rows tab;
        EXPECT_EQ(Read(pi, pContext, pszItem, bForward ? FIRST : LAST), 1) << Error(pi, pContext);
        while (!Out(pi, pContext, pszItem) && tab.size() < 400) {
            tab.push_back(Value(pi, pContext, pszValue));
            EXPECT_EQ(Read(pi, pContext, pszItem, bForward ? NEXT : PREVIOUS), 1) << Error(pi, pContext);
        }
        return tab;
    }
    static Rows Reversed(const Rows& tab) { return Rows(tab.rbegin(), tab.rend()); }
    static Rows Sorted(Rows tab)
    {
        std::sort(tab.begin(), tab.end());
        return tab;
    }
    INATable* RunOn(CHostConnectionDescription* pHost, CHostContext* pContext)
    {
        CHostConnectionDescription* pSetUp = m_pHost;
        m_pHost = pHost;
        INATable* pi = Run(kQuery, L"t", pContext, 0);
        m_pHost = pSetUp;
        return pi;
    }
};

// Whole and in blocks of five, both ways: another item orders the query's
// own rows; the query's own item reads them as the query gives them.
TEST_F(LimitedQuery, BrowsesOrderTheQuerysOwnRows)
{
    const Rows tabById = Server("CAST(id AS CHAR)", "id");
    ASSERT_EQ(tabById.size(), 13u);
    ASSERT_NE(tabById, List("SELECT id FROM t WHERE v > 'v0100' ORDER BY id LIMIT 13")) << "the case tells them apart";
    const Rows tabByV = Server("CAST(id AS CHAR)", "v DESC");
    for (const wchar_t* pszOptions : {L"", L"ZT Cache Size=5"}) {
        SCOPED_TRACE(Narrow(pszOptions));
        CHostContext* pContext = Context(pszOptions[0] == 0 ? 1 : 2);
        INATable* pi = RunOn(HostOn(pszOptions, pszOptions[0] == 0 ? L"ztwhole" : L"ztfive"), pContext);
        ASSERT_NE(pi, nullptr);
        EXPECT_EQ(Browse(pi, pContext, L"id", true), tabById);
        EXPECT_EQ(Browse(pi, pContext, L"id", false), Reversed(tabById));
        EXPECT_EQ(Browse(pi, pContext, L"v", true), tabByV);
        EXPECT_EQ(Browse(pi, pContext, L"v", false), Reversed(tabByV));
        // n has ties and NULLs: its values in the server's order, each row
        // once.
        const Rows tabN = Browse(pi, pContext, L"n", true, L"n");
        EXPECT_EQ(tabN, Server("IFNULL(CAST(n AS CHAR), 'NULL')", "n"));
        EXPECT_EQ(Sorted(Browse(pi, pContext, L"n", true)), Sorted(tabById));
        EXPECT_EQ(Browse(pi, pContext, L"n", false, L"n"), Reversed(tabN));
    }
}

// A search finds only the query's rows and goes on among them.
TEST_F(LimitedQuery, SearchesFindOnlyTheQuerysRows)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Run(kQuery, L"t", pContext, 0);
    ASSERT_NE(pi, nullptr);
    const Rows tabById = Server("CAST(id AS CHAR)", "id");
    ASSERT_GE(tabById.size(), 4u);
    // A row the query's condition takes but its LIMIT leaves out.
    const std::string strLeftOut =
        First("SELECT id FROM t WHERE v > 'v0100' AND id NOT IN (SELECT id FROM (" + Narrow(kQuery) +
              ") q) ORDER BY id LIMIT 1");
    ASSERT_FALSE(strLeftOut.empty());
    CInt clLeftOut(std::stoi(strLeftOut));
    ASSERT_EQ(pi->bHRecherche(pContext, L"id", &clLeftOut, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Found(pi, pContext, L"id"), 0) << "the query never returned it";

    // Each of the query's rows is found, and the browse goes on from it.
    for (size_t i = 0; i < tabById.size(); i += 3) {
        SCOPED_TRACE(tabById[i]);
        CInt clId(std::stoi(tabById[i]));
        ASSERT_EQ(pi->bHRecherche(pContext, L"id", &clId, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
        EXPECT_EQ(Found(pi, pContext, L"id"), 1);
        EXPECT_EQ(Value(pi, pContext, L"id"), tabById[i]);
        Rows tabRest;
        while (!Out(pi, pContext, L"id") && tabRest.size() < 20) {
            tabRest.push_back(Value(pi, pContext, L"id"));
            ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
        }
        EXPECT_EQ(tabRest, Rows(tabById.begin() + static_cast<long>(i), tabById.end()));
    }
    // A search on a value of the query's own order item.
    const Rows tabV = Server("v", "v DESC");
    const CHostText clV(Wide(tabV[2]));
    ASSERT_EQ(pi->bHRecherche(pContext, L"v", &clV, 1, 0, kNoLock, nullptr, 1, 0), 1)
        << Error(pi, pContext);
    EXPECT_EQ(Found(pi, pContext, L"v"), 1);
    EXPECT_EQ(Value(pi, pContext, L"v"), tabV[2]);
}

TEST_F(LimitedQuery, Explore)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Run(kQuery, L"t", pContext, 0);
    ASSERT_NE(pi, nullptr);
    const CInt clLow(50), clHigh(250);
    ASSERT_EQ(pi->bHFiltre(pContext, L"id", &clLow, 1, &clHigh, 1, nullptr), 1) << Error(pi, pContext);
    const std::string strQ = "SELECT id FROM (" + Narrow(kQuery) + ") q WHERE id BETWEEN 50 AND 250 ORDER BY ";
    EXPECT_EQ(Browse(pi, pContext, L"id", true), List(strQ + "id"));
    EXPECT_EQ(Browse(pi, pContext, L"id", false), Reversed(List(strQ + "id")));
    long long llCount = -1;
    ASSERT_EQ(pi->bHNbEnr(pContext, &llCount, 0x10, CNADataAccess::WPF_CONTINUE), 1) << Error(pi, pContext);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM (" + Narrow(kQuery) + ") q WHERE id BETWEEN 50 AND 250"));
    ASSERT_EQ(pi->bHNbEnr(pContext, &llCount, 0x10, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM (" + Narrow(kQuery) + ") q"));
    ASSERT_EQ(pi->bHFiltre(pContext, L"v", &clLow, 0, &clHigh, 0, nullptr), 1) << Error(pi, pContext);
    const CHostText vLow(L"v0150"), vHigh(L"v0290");
    ASSERT_EQ(pi->bHFiltre(pContext, L"v", &vLow, 1, &vHigh, 1, nullptr), 1) << Error(pi, pContext);
    const std::string strV = "SELECT id FROM (" + Narrow(kQuery) + ") q WHERE v BETWEEN 'v0150' AND 'v0290' ORDER BY ";
    EXPECT_EQ(Browse(pi, pContext, L"v", true), List(strV + "v DESC"));
    EXPECT_EQ(Browse(pi, pContext, L"v", false), Reversed(List(strV + "v DESC")));
    ASSERT_EQ(pi->bHNbEnr(pContext, &llCount, 0x10, CNADataAccess::WPF_CONTINUE), 1) << Error(pi, pContext);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM (" + Narrow(kQuery) + ") q WHERE v BETWEEN 'v0150' AND 'v0290'"));
}

} // namespace
