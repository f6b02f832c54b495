// A host query whose browse item is a computed column that the host and
// the server name differently: the first read renames the description's
// item to the server's name, and the browse statement is filed again
// under that name. The names and the rows come from the server itself.
#include "tests/support/HostQueryServer.h"
#include "tests/support/SearchObjects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ComputedBrowseServer : public HostQueryServerTest {
protected:
    ComputedBrowseServer() : HostQueryServerTest("zt39c") {}
};

} // namespace

TEST_F(ComputedBrowseServer, TheStatementTakesTheServersNameOfTheColumn)
{
    // A number and a text, each computed without a name of its own; the
    // values are unique, so that the order is the server's alone.
    for (const std::wstring strHostName : {L"id * 2", L"CONCAT(name, '-', id)"}) {
        SCOPED_TRACE(UTF8Of(strHostName));
        m_pCatalogue = Catalogue(m_pHost);
        Sent();
        CNATable* p = Run(L"SELECT " + strHostName + L", name FROM t ORDER BY " + strHostName, 0);
        ASSERT_NE(p, nullptr);
        const std::vector<std::string> tabSent = Sent();
        ASSERT_EQ(tabSent.size(), 1u);
        // The server's name of the column: that of a view over the text sent.
        ASSERT_TRUE(Admin("CREATE OR REPLACE VIEW v AS " + tabSent[0]));
        const std::string strServerName =
            First("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                  "TABLE_NAME = 'v' ORDER BY ORDINAL_POSITION LIMIT 1");
        ASSERT_NE(strServerName, UTF8Of(strHostName)) << "the case needs two names";

        CNADataAccess* pAccess = Access(p);
        CNAStatement* pLast = pAccess->pclGetLastStatementNoRef();
        ASSERT_NE(pLast, nullptr);
        EXPECT_EQ(UTF8Of(pLast->pszGetName()), strServerName);
        EXPECT_EQ(UTF8Of(pLast->pszGetParseItem()), strServerName);
        EXPECT_EQ(UTF8Of(pAccess->pszGetBestParseItemName()), strServerName);
        const std::wstring strItem = pLast->pszGetParseItem();
        EXPECT_EQ(pAccess->_pclFindStatement(strHostName.c_str()), nullptr) << "nothing left under the host's name";
        CNAStatement* pFound = pAccess->_pclFindStatement(strItem.c_str());
        EXPECT_EQ(pFound, pLast);
        if (pFound != nullptr)
            pFound->nRelease();
        EXPECT_EQ(pAccess->nGetStatementCount(), 1u);
        const unsigned int nRef = pLast->nGetRef();

        // The browse goes on under the new name, both ways, in the server's
        // order, with the column's values as the server computes them.
        const Rows tabValues = List("SELECT " + UTF8Of(strHostName) + " FROM t ORDER BY 1");
        EXPECT_EQ(Walk(p, strItem.c_str(), true, true, 0, strItem.c_str()), tabValues);
        EXPECT_EQ(Walk(p, strItem.c_str(), false, false, 0, strItem.c_str()), Reversed(tabValues));
        EXPECT_EQ(pAccess->pclGetLastStatementNoRef(), pLast);
        EXPECT_EQ(pLast->nGetRef(), nRef);
        EXPECT_EQ(pAccess->nGetStatementCount(), 1u);
    }
}

// Items named like a column of another case (NAME2 to the host): browsed,
// searched and in HAVING, the server reads each as the item it is.
TEST_F(ComputedBrowseServer, AnItemNamedLikeAColumnOfAnotherCase)
{
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CHostConnectionDescription* pHost = bUTF8 ? m_pHost : HostOn(L"ZT Unicode Support=0", L"zt1252");
        m_pCatalogue = Catalogue(pHost);
        CNATable* p = Run(L"SELECT name, SUM(n) AS NAME FROM t GROUP BY name HAVING NAME > 90 ORDER BY 2 DESC", 0,
                          nullptr, pHost);
        ASSERT_NE(p, nullptr);
        const Rows tabSums = List("SELECT SUM(n) FROM t GROUP BY name HAVING SUM(n) > 90 ORDER BY 1 DESC");
        const std::wstring strItem = Access(p)->pclGetLastStatementNoRef()->pszGetParseItem();
        EXPECT_EQ(Walk(p, strItem.c_str(), true, true, 0, L"NAME2"), tabSums);
        EXPECT_EQ(Walk(p, L"NAME2", false, false, 0, L"NAME2"), Reversed(tabSums));
        p = Run(L"SELECT id, n * 2 AS ID FROM t", 0, nullptr, pHost);
        ASSERT_NE(p, nullptr);
        CAny v;
        SetAs<int>(v, TQTYPE_I4, 10);
        ASSERT_EQ(Access(p)->bHRecherche(L"ID2", &v, 1, 1, kHostQueryNoLock, nullptr, 1, 0), 1) << DataError(p);
        EXPECT_EQ(Value(Access(p), L"id"), First("SELECT id FROM t WHERE n = 5"));
    }
}

// A computed item reading a column the query does not output, of a table
// read by its alias: the column goes by the alias, as the FROM clause reads it.
TEST_F(ComputedBrowseServer, AComputedItemReadsAColumnOfAnAliasedTable)
{
    m_pCatalogue = Catalogue(m_pHost);
    CNATable* p = Run(L"SELECT id, name, CONCAT(n, '-', id) AS w FROM t x", 0);
    ASSERT_NE(p, nullptr) << Report();
    const Rows tabValues = List("SELECT CONCAT(n, '-', id) FROM t ORDER BY 1");
    EXPECT_EQ(Walk(p, L"w", true, false, 0, L"w"), tabValues);
    EXPECT_EQ(Walk(p, L"w", false, false, 0, L"w"), Reversed(tabValues));
}
