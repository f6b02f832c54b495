// Record counts of host queries on the private server, seen from both ends:
// the texts the counting client library passed on, and the server's own
// count of the SELECTs of the session (Com_select), read through the
// connection before and after. A count that a complete cache or the
// browse can give must reach neither.
#include "access/driver/NAConnectionDescription.h"
#include "tests/support/HostQueryServer.h"
#include "tests/support/SearchObjects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class QueryCountServer : public HostQueryServerTest {
protected:
    QueryCountServer() : HostQueryServerTest("zt39n") {}
    // The SELECTs the server ran in the data access's session.
    static long long ComSelect(CNADataAccess* pAccess)
    {
        CTString cs;
        EXPECT_EQ(pAccess->pclGetConnection()->bGetRequestedValueString(pAccess->pclGetError(), &cs, 1,
                                                                        L"SHOW SESSION STATUS LIKE 'Com_select'"),
                  1);
        return std::stoll(Narrow(cs.pszGet()));
    }
    // One text sent since the last look: the query read again to count.
    void ExpectOneSelect()
    {
        const std::vector<std::string> tab = Sent();
        ASSERT_EQ(tab.size(), 1u);
        EXPECT_EQ(tab[0].compare(0, 7, "SELECT "), 0) << tab[0];
    }
};

} // namespace

TEST_F(QueryCountServer, ACompleteRecordCacheWithItsFilterSendsNothing)
{
    CNATable* p = Run(L"SELECT id, name, n FROM t WHERE n > 3 ORDER BY id", 0);
    ASSERT_NE(p, nullptr);
    CNADataAccess* pAccess = Access(p);
    const std::wstring strItem = pAccess->pclGetLastStatementNoRef()->pszGetParseItem();
    CAny clLow, clHigh;
    SetAs<int>(clLow, TQTYPE_I4, 5);
    SetAs<int>(clHigh, TQTYPE_I4, 20);
    ASSERT_EQ(pAccess->bHFiltre(strItem.c_str(), &clLow, 1, &clHigh, 1, nullptr), 1) << DataError(p);
    // The whole filtered browse read: its record cache is complete.
    const std::string strFiltered = "FROM t WHERE n > 3 AND id BETWEEN 5 AND 20";
    ASSERT_EQ(Walk(p, strItem.c_str(), true, false, CNADataAccess::WPF_CONTINUE),
              List("SELECT id " + strFiltered + " ORDER BY id"));

    const long long llSelects = ComSelect(pAccess);
    EXPECT_EQ(ComSelect(pAccess), llSelects) << "reading the status is no SELECT";
    Sent();
    long long llCount = -1;
    ASSERT_EQ(pAccess->bHNbEnr(&llCount, 0x10, CNADataAccess::WPF_CONTINUE), 1) << DataError(p);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) " + strFiltered));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(ComSelect(pAccess), llSelects) << "the server ran no SELECT";

    // Asked for all rows, the active filter leaves the cache aside: the
    // query is counted by the server, which sees it too.
    Sent();
    ASSERT_EQ(pAccess->bHNbEnr(&llCount, 0x10, 0), 1) << DataError(p);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM t WHERE n > 3"));
    ExpectOneSelect();
    EXPECT_EQ(ComSelect(pAccess), llSelects + 1);

    // Another filter: the cache no longer answers; the count carries it.
    SetAs<int>(clHigh, TQTYPE_I4, 12);
    ASSERT_EQ(pAccess->bHFiltre(strItem.c_str(), &clLow, 1, &clHigh, 1, nullptr), 1) << DataError(p);
    Sent();
    ASSERT_EQ(pAccess->bHNbEnr(&llCount, 0x10, CNADataAccess::WPF_CONTINUE), 1) << DataError(p);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM t WHERE n > 3 AND id BETWEEN 5 AND 12"));
    ExpectOneSelect();
    EXPECT_EQ(ComSelect(pAccess), llSelects + 2);
}

TEST_F(QueryCountServer, AQueryAsWrittenCountsFromItsFullCache)
{
    const std::string strCondition = "FROM t WHERE n <= 20";
    m_pCatalogue = Catalogue(m_pHost);
    CNATable* p = Run(L"SELECT id, name, n " + Wide(strCondition), CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(p, nullptr);
    CNADataAccess* pAccess = Access(p);
    const std::string strServerCount = First("SELECT COUNT(*) " + strCondition);
    const long long llSelects = ComSelect(pAccess);
    for (int i = 0; i < 2; i++) {
        SCOPED_TRACE(i);
        Sent();
        long long llCount = -1;
        ASSERT_EQ(pAccess->bHNbEnr(&llCount, 0x10, 0), 1) << DataError(p);
        EXPECT_EQ(std::to_string(llCount), strServerCount);
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(ComSelect(pAccess), llSelects) << "the server ran no SELECT";
    }
    EXPECT_EQ(pAccess->bHasTableCache(), 1);
}
