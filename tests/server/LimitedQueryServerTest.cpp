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
    // The server's rows of the query read as a derived table, under the
    // condition given.
    Rows Server(const std::string& strColumn, const std::string& strOrder, const std::string& strWhere = "TRUE",
                const wchar_t* pszQuery = kQuery)
    {
        return List("SELECT " + strColumn + " FROM (" + Narrow(pszQuery) + ") q WHERE " + strWhere + " ORDER BY " +
                    strOrder);
    }
    std::string ServerCount(const std::string& strWhere, const wchar_t* pszQuery = kQuery)
    {
        return First("SELECT COUNT(*) FROM (" + Narrow(pszQuery) + ") q WHERE " + strWhere);
    }
    // A whole browse on the item, from its first or last record: the
    // values of the item given.
    static Rows Browse(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, bool bForward,
                       const wchar_t* pszValue = L"id", unsigned int nFlags = 0)
    {
        Rows tab;
        EXPECT_EQ(pi->bHLitxxx(pContext, pszItem, bForward ? FIRST : LAST, 1, kNoLock, nullptr, nFlags), 1)
            << Error(pi, pContext);
        while (!Out(pi, pContext, pszItem) && tab.size() < 400) {
            tab.push_back(Value(pi, pContext, pszValue));
            EXPECT_EQ(pi->bHLitxxx(pContext, pszItem, bForward ? NEXT : PREVIOUS, 1, kNoLock, nullptr, nFlags), 1)
                << Error(pi, pContext);
        }
        return tab;
    }
    // The count of the browse under its filter, and of all the query's rows.
    static long long Count(INATable* pi, CHostContext* pContext, unsigned int nFlags)
    {
        long long llCount = -1;
        EXPECT_EQ(pi->bHNbEnr(pContext, &llCount, 0x10, nFlags), 1) << Error(pi, pContext);
        return llCount;
    }
    static Rows Reversed(const Rows& tab) { return Rows(tab.rbegin(), tab.rend()); }
    static Rows Sorted(Rows tab)
    {
        std::sort(tab.begin(), tab.end());
        return tab;
    }
    INATable* RunOn(CHostConnectionDescription* pHost, CHostContext* pContext, const wchar_t* pszQuery = kQuery)
    {
        CHostConnectionDescription* pSetUp = m_pHost;
        m_pHost = pHost;
        INATable* pi = Run(pszQuery, L"t", pContext, 0);
        m_pHost = pSetUp;
        return pi;
    }
    // A condition parsed by the host on the query's rows; the parse lives
    // with the tables.
    CHostSQLParse* Parse(const std::wstring& strText)
    {
        std::wstring strError;
        m_tabQueryParse.push_back(CHostSQLParse::pParse(strText.c_str(), nullptr, &m_clQueryValues, &strError));
        EXPECT_NE(m_tabQueryParse.back(), nullptr) << Narrow(strError.c_str());
        return m_tabQueryParse.back().get();
    }
    // The browses under a filter of the query (whole and in blocks of five):
    // on the filter's item both ways, then, the filter following the
    // browse, on the query's own item and on an item with ties and NULLs.
    // Each equals the server's rows of the query under the condition, and
    // the count of the filtered browse the server's count of them.
    void ExpectFiltered(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, const std::string& strItemOrder,
                        const std::string& strWhere)
    {
        const Rows tabOwn = Server("IFNULL(CAST(" + Narrow(pszItem) + " AS CHAR), 'NULL')", strItemOrder, strWhere);
        const Rows tabIds = Sorted(Server("CAST(id AS CHAR)", "id", strWhere));
        EXPECT_EQ(Browse(pi, pContext, pszItem, true, pszItem), tabOwn);
        EXPECT_EQ(Browse(pi, pContext, pszItem, false, pszItem), Reversed(tabOwn));
        EXPECT_EQ(Sorted(Browse(pi, pContext, pszItem, true)), tabIds);
        EXPECT_EQ(std::to_string(Count(pi, pContext, CNADataAccess::WPF_CONTINUE)), ServerCount(strWhere));
        const unsigned int nKeep = CNADataAccess::WPF_KEEP_FILTER;
        const Rows tabByV = Server("CAST(id AS CHAR)", "v DESC", strWhere);
        EXPECT_EQ(Browse(pi, pContext, L"v", true, L"id", nKeep), tabByV);
        EXPECT_EQ(Browse(pi, pContext, L"v", false, L"id", nKeep), Reversed(tabByV));
        const Rows tabN = Server("IFNULL(CAST(n AS CHAR), 'NULL')", "n", strWhere);
        EXPECT_EQ(Browse(pi, pContext, L"n", true, L"n", nKeep), tabN);
        EXPECT_EQ(Browse(pi, pContext, L"n", false, L"n", nKeep), Reversed(tabN));
        EXPECT_EQ(Sorted(Browse(pi, pContext, L"n", true, L"id", nKeep)), tabIds);
        EXPECT_EQ(std::to_string(Count(pi, pContext, CNADataAccess::WPF_CONTINUE)), ServerCount(strWhere));
        // Without the filter, all the query's rows.
        EXPECT_EQ(std::to_string(Count(pi, pContext, 0)), ServerCount("TRUE"));
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

// ---- Filters ---------------------------------------------------------------------------------------------------

// A filter by bounds keeps to the query's rows: on its own item, on the
// query's order item and on an item with ties and NULLs; each browse whole
// and in blocks of five, both ways.
TEST_F(LimitedQuery, BoundsFilterKeepsToTheQuerysRows)
{
    const std::string strId = "id BETWEEN 50 AND 250";
    // Merged before the LIMIT, the condition would pick other rows.
    ASSERT_NE(Sorted(List("SELECT CAST(id AS CHAR) FROM t WHERE v > 'v0100' AND " + strId +
                          " ORDER BY v DESC LIMIT 13")),
              Sorted(Server("CAST(id AS CHAR)", "id", strId)))
        << "the case tells them apart";
    ASSERT_GE(Server("id", "id", strId).size(), 3u);
    ASSERT_LT(Server("id", "id", strId).size(), 13u);
    for (const wchar_t* pszOptions : {L"", L"ZT Cache Size=5"}) {
        SCOPED_TRACE(Narrow(pszOptions));
        CHostContext* pContext = Context(pszOptions[0] == 0 ? 1 : 2);
        INATable* pi = RunOn(HostOn(pszOptions, pszOptions[0] == 0 ? L"ztwhole" : L"ztfive"), pContext);
        ASSERT_NE(pi, nullptr);
        EXPECT_EQ(std::to_string(Count(pi, pContext, 0)), ServerCount("TRUE"));

        const CInt clLow(50), clHigh(250);
        ASSERT_EQ(pi->bHFiltre(pContext, L"id", &clLow, 1, &clHigh, 1, nullptr), 1) << Error(pi, pContext);
        {
            SCOPED_TRACE("id");
            ExpectFiltered(pi, pContext, L"id", "id", strId);
        }
        // Bounds left out, on the query's own order item.
        const CHostText clFrom(L"v0150"), clTo(L"v0290");
        ASSERT_EQ(pi->bHFiltre(pContext, L"v", &clFrom, 0, &clTo, 0, nullptr), 1) << Error(pi, pContext);
        {
            SCOPED_TRACE("v");
            ExpectFiltered(pi, pContext, L"v", "v DESC", "v > 'v0150' AND v < 'v0290'");
        }
        // An item with ties and NULLs: a NULL never falls within bounds.
        const CInt clOne(1), clTwo(2);
        ASSERT_EQ(pi->bHFiltre(pContext, L"n", &clOne, 1, &clTwo, 1, nullptr), 1) << Error(pi, pContext);
        {
            SCOPED_TRACE("n");
            ExpectFiltered(pi, pContext, L"n", "n", "n BETWEEN 1 AND 2");
        }
        // Switched off, the browse has all the query's rows again.
        ASSERT_EQ(pi->bHDesactiveFiltre(pContext, L"n", 0), 1);
        EXPECT_EQ(Sorted(Browse(pi, pContext, L"n", true)), Sorted(Server("CAST(id AS CHAR)", "id")));
    }
}

// A condition the host parsed, alone and with bounds: the query's rows
// that meet it.
TEST_F(LimitedQuery, ParsedFilterKeepsToTheQuerysRows)
{
    const std::string strCondition = "(n = 1 OR id < 100)";
    ASSERT_NE(Sorted(List("SELECT CAST(id AS CHAR) FROM t WHERE v > 'v0100' AND " + strCondition +
                          " ORDER BY v DESC LIMIT 13")),
              Sorted(Server("CAST(id AS CHAR)", "id", strCondition)))
        << "the case tells them apart";
    for (const wchar_t* pszOptions : {L"", L"ZT Cache Size=5"}) {
        SCOPED_TRACE(Narrow(pszOptions));
        CHostContext* pContext = Context(pszOptions[0] == 0 ? 1 : 2);
        INATable* pi = RunOn(HostOn(pszOptions, pszOptions[0] == 0 ? L"ztwhole" : L"ztfive"), pContext);
        ASSERT_NE(pi, nullptr);
        CHostSQLParse* pParse = Parse(L"SELECT * FROM Q WHERE Q.n = 1 OR Q.id < 100");
        ASSERT_NE(pParse, nullptr);
        wchar_t szItem[255] = L"";
        ASSERT_EQ(pi->bHFiltre(pContext, pParse, szItem), 1) << Error(pi, pContext);
        ASSERT_NE(szItem[0], 0);
        const std::string strItem = Narrow(szItem);
        {
            SCOPED_TRACE(strItem);
            ExpectFiltered(pi, pContext, szItem, strItem == "v" ? "v DESC" : strItem, strCondition);
        }
        // Bounds with the condition: both.
        const CInt clLow(50), clHigh(250);
        ASSERT_EQ(pi->bHFiltre(pContext, L"id", &clLow, 1, &clHigh, 0, pParse), 1) << Error(pi, pContext);
        {
            SCOPED_TRACE("id and the condition");
            ExpectFiltered(pi, pContext, L"id", "id", strCondition + " AND id >= 50 AND id < 250");
        }
    }
}

// Items the query names otherwise than its table, or computes: a filter
// reads them by the names the query gives its rows.
TEST_F(LimitedQuery, FilterOnRenamedAndComputedItems)
{
    const wchar_t* const pszQuery = L"SELECT id, v AS w, n * 2 AS m FROM t WHERE v > 'v0100' ORDER BY v DESC LIMIT 13";
    CHostContext* pContext = Context(1);
    INATable* pi = RunOn(m_pHost, pContext, pszQuery);
    ASSERT_NE(pi, nullptr);
    const CHostText clFrom(L"v0150"), clTo(L"v0290");
    ASSERT_EQ(pi->bHFiltre(pContext, L"w", &clFrom, 1, &clTo, 1, nullptr), 1) << Error(pi, pContext);
    const std::string strW = "w BETWEEN 'v0150' AND 'v0290'";
    const Rows tabW = Server("CAST(id AS CHAR)", "w DESC", strW, pszQuery);
    ASSERT_FALSE(tabW.empty());
    EXPECT_EQ(Browse(pi, pContext, L"w", true), tabW);
    EXPECT_EQ(Browse(pi, pContext, L"w", false), Reversed(tabW));
    EXPECT_EQ(std::to_string(Count(pi, pContext, CNADataAccess::WPF_CONTINUE)), ServerCount(strW, pszQuery));

    const CInt clLow(2), clHigh(4);
    ASSERT_EQ(pi->bHFiltre(pContext, L"m", &clLow, 1, &clHigh, 1, nullptr), 1) << Error(pi, pContext);
    const std::string strM = "m BETWEEN 2 AND 4";
    const Rows tabM = Server("CAST(m AS CHAR)", "m", strM, pszQuery);
    ASSERT_FALSE(tabM.empty());
    EXPECT_EQ(Browse(pi, pContext, L"m", true, L"m"), tabM);
    EXPECT_EQ(Browse(pi, pContext, L"m", false, L"m"), Reversed(tabM));
    EXPECT_EQ(Sorted(Browse(pi, pContext, L"m", true)), Sorted(Server("CAST(id AS CHAR)", "id", strM, pszQuery)));
    EXPECT_EQ(std::to_string(Count(pi, pContext, CNADataAccess::WPF_CONTINUE)), ServerCount(strM, pszQuery));
    EXPECT_EQ(std::to_string(Count(pi, pContext, 0)), ServerCount("TRUE", pszQuery));

    // A condition the host parsed on both.
    CHostSQLParse* pParse = Parse(L"SELECT * FROM Q WHERE Q.w >= 'v0150' AND Q.m <= 4");
    ASSERT_NE(pParse, nullptr);
    wchar_t szItem[255] = L"";
    ASSERT_EQ(pi->bHFiltre(pContext, pParse, szItem), 1) << Error(pi, pContext);
    const std::string strBoth = "w >= 'v0150' AND m <= 4";
    const Rows tabBoth = Sorted(Server("CAST(id AS CHAR)", "id", strBoth, pszQuery));
    ASSERT_FALSE(tabBoth.empty());
    EXPECT_EQ(Sorted(Browse(pi, pContext, szItem, true)), tabBoth);
    EXPECT_EQ(std::to_string(Count(pi, pContext, CNADataAccess::WPF_CONTINUE)), ServerCount(strBoth, pszQuery));
}

// Reading the current record again finds it among the query's rows, with
// or without a filter.
TEST_F(LimitedQuery, ReadingTheRecordAgainFindsItAmongTheQuerysRows)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Run(kQuery, L"t", pContext, 0);
    ASSERT_NE(pi, nullptr);
    const CInt clLow(50), clHigh(250);
    for (const bool bFilter : {false, true}) {
        SCOPED_TRACE(bFilter ? "filtered" : "whole");
        const wchar_t* pszItem = bFilter ? L"id" : L"v";
        if (bFilter) {
            ASSERT_EQ(pi->bHFiltre(pContext, pszItem, &clLow, 1, &clHigh, 1, nullptr), 1) << Error(pi, pContext);
        }
        const Rows tab = bFilter ? Server("CAST(id AS CHAR)", "id", "id BETWEEN 50 AND 250")
                                 : Server("CAST(id AS CHAR)", "v DESC");
        ASSERT_GE(tab.size(), 3u);
        ASSERT_EQ(Read(pi, pContext, pszItem, FIRST), 1) << Error(pi, pContext);
        ASSERT_EQ(Read(pi, pContext, pszItem, NEXT), 1) << Error(pi, pContext);
        ASSERT_EQ(Read(pi, pContext, pszItem, NEXT), 1) << Error(pi, pContext);
        ASSERT_EQ(Value(pi, pContext, L"id"), tab[2]);
        ASSERT_EQ(pi->bHLit(pContext, 0, kNoLock, nullptr), 1) << Error(pi, pContext);
        EXPECT_EQ(Value(pi, pContext, L"id"), tab[2]);
    }
}

} // namespace
