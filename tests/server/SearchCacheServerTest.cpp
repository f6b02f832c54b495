// Searches served by a query's table cache on the private server: a query
// sent as written reads its rows first and searches among them, sending
// nothing more; a query with a table cache searches in it when asked to,
// and drops it otherwise. Expected rows come from the server itself.
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tableobject;

class SearchCache : public TableObjectServer {
protected:
    SearchCache()
        : TableObjectServer("zt41sc", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, "
                                       "n INT NOT NULL, KEY(name)) CHARACTER SET utf8mb4",
                                       "INSERT INTO t VALUES (7, 'ABC', 1), (3, 'B', 2), (5, 'AA', 3), (9, 'AZ', 4), "
                                       "(1, 'C', 5), (4, 'BA', 6), (8, 'CA', 7), (2, 'D', 8), (6, 'DA', 9), "
                                       "(10, 'E', 10), (11, 'ABD', 11)"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(TableObjectServer::SetUp());
        m_pContext = Context(5);
    }
    INATable* Run(const std::wstring& strText, unsigned int nMode)
    {
        return TableObjectServer::Run(strText, L"t", m_pContext, nMode);
    }
    int Search(INATable* pi, const wchar_t* pszItem, const CAny& v, int bExact, int bFirst, unsigned int nFlags)
    {
        return pi->bHRecherche(m_pContext, pszItem, &v, bExact, 0, kNoLock, nullptr, bFirst, nFlags);
    }
    CNAStatement* StatementOf(INATable* pi, const wchar_t* pszItem)
    {
        return TableObjectServer::StatementOf(pi, m_pContext, pszItem);
    }

    CHostContext* m_pContext = nullptr;
};

// The query sent as written cannot take a search into its text: the rows
// are read first and searched in the table cache; nothing more is sent.
TEST_F(SearchCache, AQueryWithoutCorrectionSearchesItsRows)
{
    const std::string strWhere = " FROM t WHERE n <= 9";
    INATable* pi = Run(L"SELECT id, name, n FROM t WHERE n <= 9", CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, m_pContext);
    ASSERT_TRUE(p->bHasTableCache());
    Sent();
    struct SCase {
        const wchar_t* pszItem;
        const wchar_t* pszValue;
        int bExact;
        int bFirst;
        const char* pszExpected; // the server's row
    };
    const SCase aCase[] = {
        {L"name", L"AB", 0, 1, " AND name LIKE 'AB%' ORDER BY name LIMIT 1"},
        {L"name", L"AB", 0, 0, " AND name LIKE 'AB%' ORDER BY name DESC LIMIT 1"},
        {L"name", L"A", 0, 0, " AND name LIKE 'A%' ORDER BY name DESC LIMIT 1"},
        {L"name", L"BA", 1, 1, " AND name = 'BA'"},
        {L"id", L"2", 1, 1, " AND id = 2"},
    };
    for (const SCase& c : aCase) {
        SCOPED_TRACE(c.pszExpected);
        ASSERT_EQ(Search(pi, c.pszItem, CHostText(c.pszValue), c.bExact, c.bFirst, 0), 1) << Error(pi, m_pContext);
        EXPECT_EQ(Found(pi, m_pContext, c.pszItem), 1);
        EXPECT_EQ(Value(pi, m_pContext, L"id"), First("SELECT id" + strWhere + c.pszExpected));
        CNAStatement* pStatement = StatementOf(pi, c.pszItem);
        ASSERT_NE(pStatement, nullptr);
        EXPECT_NE(pStatement->nGetParseFlags() & CNADataAccess::WPF_TABLE_CACHE, 0u) << "served by the table cache";
        EXPECT_TRUE(p->bHasTableCache());
    }
    // From the last record that begins with "A", the browse goes on backwards.
    ASSERT_EQ(Search(pi, L"name", CHostText(L"A"), 0, 0, 0), 1) << Error(pi, m_pContext);
    ASSERT_EQ(Read(pi, m_pContext, L"name", PREVIOUS), 1) << Error(pi, m_pContext);
    EXPECT_EQ(Value(pi, m_pContext, L"name"),
              First("SELECT name" + strWhere + " AND name < (SELECT MAX(name)" + strWhere +
                    " AND name LIKE 'A%') ORDER BY name DESC LIMIT 1"));
    // Rows outside the query's condition are not there to be found.
    ASSERT_EQ(First("SELECT COUNT(*) FROM t WHERE n > 9 AND name = 'ABD'"), "1");
    ASSERT_EQ(Search(pi, L"name", CHostText(L"ABD"), 1, 1, 0), 1) << Error(pi, m_pContext);
    EXPECT_EQ(Found(pi, m_pContext, L"name"), 0);
    // What reads the rows again is the query's own text, never a search.
    for (const std::string& s : Sent())
        EXPECT_EQ(s, "SELECT id, name, n FROM t WHERE n <= 9");

    // The browse goes on among the query's rows from the record found.
    ASSERT_EQ(Search(pi, L"name", CHostText(L"B"), 0, 1, 0), 1) << Error(pi, m_pContext);
    Rows tab;
    while (!Out(pi, m_pContext, L"name") && tab.size() < 20) {
        tab.push_back(Value(pi, m_pContext, L"name"));
        ASSERT_EQ(Read(pi, m_pContext, L"name", NEXT), 1) << Error(pi, m_pContext);
    }
    EXPECT_EQ(tab, List("SELECT name" + strWhere + " AND name >= 'B' ORDER BY name"));
}

// The rows of a query sent as written cannot be read again: the search
// fails with the server's reason.
TEST_F(SearchCache, TheRowsCannotBeReadFirst)
{
    INATable* pi = Run(L"SELECT id, name, n FROM t WHERE n <= 9", CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Search(pi, L"name", CHostText(L"B"), 1, 1, 0), 1) << Error(pi, m_pContext);
    ASSERT_TRUE(Admin("DROP TABLE t"));
    EXPECT_EQ(Search(pi, L"name", CHostText(L"C"), 1, 1, 0), 0);
    EXPECT_EQ(ErrorOf(pi, m_pContext)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_SERVER))
        << Error(pi, m_pContext);
}

// The browse brought in line with the table-cache index: still there, or
// its record gone from the index.
TEST_F(SearchCache, TheBrowseInLineWithTheIndex)
{
    INATable* pi = Run(L"SELECT id, name, n FROM t WHERE n <= 9", CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, m_pContext);
    ASSERT_EQ(Search(pi, L"name", CHostText(L"C"), 1, 1, 0), 1) << Error(pi, m_pContext);
    CNAStatement* pStatement = StatementOf(pi, L"name");
    ASSERT_NE(pStatement->pclGetTableCacheIndexNoRef(), nullptr);
    EXPECT_EQ(p->_bUpdateCurrentParsePosition(0, pStatement), 1) << Error(pi, m_pContext);
    // A refresh pending from a record the index does not hold.
    SetCurrentValue(p, L"name", L"nowhere");
    ASSERT_TRUE(p->pclGetCurrentRecordNoRef()->bCopyCurrentRecordToOriginalRecord());
    const int nSave = p->nKeepOriginalRecordSave(nullptr);
    ASSERT_NE(nSave, -1);
    ASSERT_EQ(pStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION, nSave), 1);
    p->nReleaseRecordSave(nSave);
    EXPECT_EQ(p->_bUpdateCurrentParsePosition(0, pStatement), 0);
    const CNAError* pError = ErrorOf(pi, m_pContext);
    EXPECT_EQ(pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND)) << Error(pi, m_pContext);
    EXPECT_NE(Error(pi, m_pContext).find("=3.22\r\n"), std::string::npos) << Error(pi, m_pContext);
    EXPECT_EQ(Narrow(pError->pszGetItemName()), "name");
}

// The place of a record found in the table cache, and a move to a place,
// are among all the query's rows, not from the value searched.
TEST_F(SearchCache, PlacesUnderASearch)
{
    INATable* pi = Run(L"SELECT id, name, n FROM t WHERE n <= 10", CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(pi, nullptr);
    const Rows tabIds = List("SELECT id FROM t WHERE n <= 10 ORDER BY name");
    ASSERT_EQ(tabIds.size(), 10u);
    ASSERT_EQ(Search(pi, L"name", CHostText(L"C"), 1, 1, 0), 1) << Error(pi, m_pContext);
    const int nC = std::stoi(First("SELECT COUNT(*) FROM t WHERE n <= 10 AND name <= 'C'"));
    int n = -7;
    ASSERT_EQ(pi->bHPositionCourante(m_pContext, L"name", &n, kPrecision, 0), 1) << Error(pi, m_pContext);
    EXPECT_EQ(n, nC * 100);
    ASSERT_EQ(pi->bHPositionne(m_pContext, L"name", 300, kPrecision, 0), 1) << Error(pi, m_pContext);
    EXPECT_EQ(Value(pi, m_pContext, L"id"), tabIds[2]);
    ASSERT_EQ(pi->bHPositionCourante(m_pContext, L"name", &n, kPrecision, 0), 1) << Error(pi, m_pContext);
    EXPECT_EQ(n, 300);
}

// A query with correction keeps its rows in a table cache: a search asked
// to use it sends nothing; one not asked to drops it and goes to the server.
TEST_F(SearchCache, UsingOrDroppingTheTableCache)
{
    INATable* pi = Run(L"SELECT id, name, n FROM t WHERE n <= 9 ORDER BY name", 0);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, m_pContext);
    const Rows tabNames = List("SELECT name FROM t WHERE n <= 9 ORDER BY name");
    // Read on to its end: the cache holds every row.
    Rows tab;
    unsigned int nContinue = CNADataAccess::WPF_CONTINUE;
    for (eNA_PARSEDIRECTION e = FIRST; tab.size() < 20; e = NEXT) {
        ASSERT_EQ(pi->bHLitxxx(m_pContext, L"name", e, 1, kNoLock, nullptr, nContinue), 1) << Error(pi, m_pContext);
        if (Out(pi, m_pContext, L"name"))
            break;
        tab.push_back(Value(pi, m_pContext, L"name"));
    }
    ASSERT_EQ(tab, tabNames);
    ASSERT_TRUE(p->bHasTableCache());
    Sent();
    ASSERT_EQ(Search(pi, L"name", CHostText(L"C"), 0, 1, CNADataAccess::WPF_TABLE_CACHE), 1) << Error(pi, m_pContext);
    EXPECT_EQ(Found(pi, m_pContext, L"name"), 1);
    EXPECT_EQ(Value(pi, m_pContext, L"id"), First("SELECT id FROM t WHERE n <= 9 AND name LIKE 'C%' ORDER BY name LIMIT 1"));
    EXPECT_TRUE(p->bHasTableCache());
    EXPECT_NE(StatementOf(pi, L"name")->pclGetTableCacheIndexNoRef(), nullptr);
    EXPECT_EQ(Sent(), std::vector<std::string>{}) << "served from the table cache";

    // Without the flag the table cache goes and the search is the server's.
    ASSERT_EQ(Search(pi, L"name", CHostText(L"D"), 1, 1, 0), 1) << Error(pi, m_pContext);
    EXPECT_EQ(Found(pi, m_pContext, L"name"), 1);
    EXPECT_EQ(Value(pi, m_pContext, L"id"), First("SELECT id FROM t WHERE n <= 9 AND name = 'D'"));
    EXPECT_FALSE(p->bHasTableCache());
    EXPECT_EQ(StatementOf(pi, L"name")->pclGetTableCacheIndexNoRef(), nullptr);
    EXPECT_FALSE(Sent().empty());
    // With the flag but no table cache left: the flag is dropped.
    ASSERT_EQ(Search(pi, L"name", CHostText(L"B"), 1, 1, CNADataAccess::WPF_TABLE_CACHE), 1) << Error(pi, m_pContext);
    EXPECT_EQ(Value(pi, m_pContext, L"id"), First("SELECT id FROM t WHERE n <= 9 AND name = 'B'"));
    EXPECT_EQ(StatementOf(pi, L"name")->nGetParseFlags() & CNADataAccess::WPF_TABLE_CACHE, 0u);
}

// On a table, which has no table cache, the flag asks nothing and is not kept.
TEST_F(SearchCache, ATableHasNoTableCacheToUse)
{
    INATable* pi = Open(L"t", m_pContext);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Search(pi, L"name", CHostText(L"AB"), 0, 0, CNADataAccess::WPF_TABLE_CACHE | CNADataAccess::WPF_KEEP_FILTER),
              1)
        << Error(pi, m_pContext);
    EXPECT_EQ(Found(pi, m_pContext, L"name"), 1);
    EXPECT_EQ(Value(pi, m_pContext, L"id"), First("SELECT id FROM t WHERE name LIKE 'AB%' ORDER BY name DESC LIMIT 1"));
    EXPECT_EQ(StatementOf(pi, L"name")->nGetParseFlags(), static_cast<unsigned int>(CNADataAccess::WPF_KEEP_FILTER));
}

} // namespace
