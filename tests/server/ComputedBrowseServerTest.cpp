// A host query whose browse item is a computed column that the host and
// the server name differently: the first read renames the description's
// item to the server's name, and the browse statement is filed again
// under that name. The names and the rows come from the server itself.
#include "tests/support/HostQueryServer.h"

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
