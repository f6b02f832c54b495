// Returns to saved positions on the private server beyond the plain ones: a
// return that fails still frees a position not kept, and a browse that ran
// again under a filter or lost its table-cache index comes back by search
// to the record noted.
#include "tests/support/TableObjectServer.h"

#include "common/platform/MyModuleInfo.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

class PositionReturn : public TableObjectServer {
protected:
    PositionReturn()
        : TableObjectServer("zt41pr", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                                       "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA'), (9, 'AZ'), (1, 'C'), "
                                       "(4, 'BA'), (8, 'CA'), (2, 'D'), (6, 'DA'), (10, 'E')",
                                       "CREATE TABLE tf (o INT, c FLOAT, KEY(o))",
                                       "INSERT INTO tf VALUES (1, 1.000001), (1, 1.000002)",
                                       "CREATE TABLE td (o INT, c DATETIME(6), KEY(o))",
                                       "INSERT INTO td VALUES (1, '2024-01-01 10:00:00.123457'), "
                                       "(1, '2024-01-01 10:00:00.123456')"})
    {
    }
};

// bKeep 0 frees the position whatever the return answered; bKeep 1 keeps it.
TEST_F(PositionReturn, AFailedReturnStillFreesAPositionNotKept)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    const std::string strThird = Third(pi, pContext, L"id", true);
    const int n = Save(pi, pContext, L"id");
    ASSERT_EQ(Read(pi, pContext, L"id", LAST), 1);
    CReturnStatement::s_bFailReturn = true;
    wchar_t szItem[255] = {};
    EXPECT_EQ(pi->bHRetourPosition(pContext, n, szItem, 1, 0), 0);
    EXPECT_STREQ(szItem, L"id");
    EXPECT_EQ(p->nGetPositionCount(), 1u) << "kept";
    EXPECT_EQ(pi->bHRetourPosition(pContext, n, nullptr, 0, 0), 0);
    EXPECT_EQ(p->nGetPositionCount(), 0u) << "freed though the return failed";
    EXPECT_EQ(CCountedPosition::s_nLive, 0);
    CReturnStatement::s_bFailReturn = false;
    EXPECT_EQ(pi->bHRetourPosition(pContext, n, nullptr, 1, 0), 0);
    ExpectError(pi, pContext, ZTERR_POSITION_LOST, L"=3.2\r\n", "");
}

// The browse ran again under a filter since the position was noted, and the
// filter went off: the return finds the record noted, and the browse goes
// on from it, not from where the filtered browse stood.
TEST_F(PositionReturn, BackAfterAFilterCameAndWent)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const std::string strThird = Third(pi, pContext, L"id", true);
    ASSERT_EQ(strThird, First("SELECT id FROM t ORDER BY id LIMIT 2, 1"));
    const int n = Save(pi, pContext, L"id");
    const CInt vMin(6), vMax(9);
    ASSERT_EQ(pi->bHFiltre(pContext, L"id", &vMin, 1, &vMax, 1, nullptr), 1) << Error(pi, pContext);
    ASSERT_EQ(Walk(pi, pContext, L"id", L"id"), List("SELECT id FROM t WHERE id BETWEEN 6 AND 9 ORDER BY id"));
    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1);
    ASSERT_EQ(pi->bHDesactiveFiltre(pContext, L"id", 0), 1);
    ASSERT_EQ(pi->bHRetourPosition(pContext, n, nullptr, 1, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), strThird);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT MIN(id) FROM t WHERE id > " + strThird));
}

// A position noted on a query's table-cache browse: once the cache is
// dropped its row means nothing, and the return goes by search.
TEST_F(PositionReturn, BackBySearchOnceTheTableCacheIndexWent)
{
    CHostContext* pContext = Context(5);
    INATable* pi = Run(L"SELECT id, name FROM t WHERE id <= 8", L"t", pContext, CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    const Rows tabNames = List("SELECT name FROM t WHERE id <= 8 ORDER BY name");
    const CHostText c(L"C");
    ASSERT_EQ(pi->bHRecherche(pContext, L"name", &c, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"name", NEXT), 1) << Error(pi, pContext);
    const std::string strNoted = Value(pi, pContext, L"name");
    ASSERT_EQ(strNoted, First("SELECT name FROM t WHERE id <= 8 AND name > 'C' ORDER BY name LIMIT 1"));
    ASSERT_NE(StatementOf(pi, pContext, L"name")->pclGetTableCacheIndexNoRef(), nullptr);
    const int n = Save(pi, pContext, L"name");
    CNAPosition* pPosition = p->_pclFindPosition(n);
    ASSERT_NE(pPosition, nullptr);
    ASSERT_NE(pPosition->nGetRowId(), -1);

    ASSERT_EQ(p->bFreeCache(), 1);
    EXPECT_EQ(pPosition->nGetRowId(), -1) << "the row went with the index";
    pPosition->nRelease();
    ASSERT_EQ(Read(pi, pContext, L"name", FIRST), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHRetourPosition(pContext, n, nullptr, 0, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"name"), strNoted);
    ASSERT_EQ(Read(pi, pContext, L"name", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"name"),
              First("SELECT name FROM t WHERE id <= 8 AND name > '" + strNoted + "' ORDER BY name LIMIT 1"));
}

// Twins without a key that differ by less than the record holds (a FLOAT's
// seventh digit, a DATETIME(6)'s microseconds): the return finds the very
// row noted, and once that row is gone elsewhere it is not taken for its
// twin.
TEST_F(PositionReturn, BackToTheTwinNoted)
{
    unsigned int nContext = 0;
    for (const char* pszTable : {"tf", "td"}) {
        SCOPED_TRACE(pszTable);
        const std::string strTable = pszTable;
        const std::string strExact = "CAST(c AS " + std::string(strTable == "tf" ? "DOUBLE" : "CHAR") + ")";
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(Wide(strTable).c_str(), pc);
        ASSERT_NE(pi, nullptr);
        Sent();
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        // The driver's own order of the twins.
        const Rows tabSent = Sent();
        ASSERT_FALSE(tabSent.empty());
        const size_t nFrom = tabSent[0].find(" FROM ");
        ASSERT_NE(nFrom, std::string::npos) << tabSent[0];
        const Rows tabOrder = List("SELECT " + strExact + tabSent[0].substr(nFrom));
        ASSERT_EQ(tabOrder.size(), 2u) << tabSent[0];
        ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
        const int n = Save(pi, pc, L"o");
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        ASSERT_EQ(pi->bHRetourPosition(pc, n, nullptr, 1, 0), 1) << Error(pi, pc);
        PutItem(pi, pc, L"o", CInt(7));
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List("SELECT " + strExact + " FROM " + strTable + " WHERE o = 7"), Rows{tabOrder[1]});
        EXPECT_EQ(List("SELECT " + strExact + " FROM " + strTable + " WHERE o = 1"), Rows{tabOrder[0]});

        // The row noted goes elsewhere: its twin still stands.
        ASSERT_TRUE(Admin("UPDATE " + strTable + " SET o = 1"));
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
        const int nGone = Save(pi, pc, L"o");
        ASSERT_TRUE(Admin("DELETE FROM " + strTable + " WHERE " + strExact + " = '" + tabOrder[1] + "'"));
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        ASSERT_EQ(pi->bHRetourPosition(pc, nGone, nullptr, 1, 0), 1) << Error(pi, pc);
        EXPECT_EQ(Found(pi, pc, L"o"), 0);
        PutItem(pi, pc, L"o", CInt(8));
        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
        EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND))
            << Error(pi, pc);
        EXPECT_EQ(List("SELECT CONCAT(o, '/', " + strExact + ") FROM " + strTable), Rows{"1/" + tabOrder[0]});
        EXPECT_EQ(pi->bHFerme(pc), 1);
    }
}

} // namespace
