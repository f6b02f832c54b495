// Numbered positions on the private server: the process's counter past its
// largest number, and the comparison of two numbers, which needs no
// position for one number given twice and gives no verdict by a best browse
// item that is not unique.
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

using namespace tableobject;

class PositionNumbers : public TableObjectServer {
protected:
    PositionNumbers()
        : TableObjectServer("zt41pn", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                                       "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA')",
                                       "CREATE TABLE w (a INT NOT NULL, b INT NOT NULL, KEY(a), KEY(b))",
                                       "INSERT INTO w VALUES (1, 1), (1, 2), (2, 3)",
                                       "CREATE TABLE u (code INT NULL, other INT NOT NULL, UNIQUE KEY(code), KEY(other))",
                                       "INSERT INTO u VALUES (5, 1), (NULL, 2), (NULL, 3), (6, 4)",
                                       "CREATE TABLE same (v INT NOT NULL, KEY(v))",
                                       "INSERT INTO same VALUES (1), (1), (1), (1), (1)"})
    {
    }
};

// The largest number still filed: the counter starts again at 1 rather
// than hand out a negative number, and skips what is filed.
TEST_F(PositionNumbers, PastTheLargestNumberStillFiled)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1);
    CNADataAccess::ms_nPositionID = INT_MAX;
    EXPECT_EQ(Save(pi, pContext, L"id"), INT_MAX);
    EXPECT_EQ(Save(pi, pContext, L"id"), 1);
    CNADataAccess::ms_nPositionID = INT_MAX;
    EXPECT_EQ(Save(pi, pContext, L"id"), 2) << "INT_MAX and 1 are filed";
    EXPECT_EQ(CNADataAccess::ms_nPositionID, 3);
}

TEST_F(PositionNumbers, OneNumberComparedWithItselfIsNotLookedUp)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Access(pi, pContext)->nGetPositionCount(), 0u);
    for (int n : {12345, -1, 0}) {
        int bSame = 0;
        EXPECT_EQ(pi->bCompareTablePosition(pContext, n, n, &bSame), 1) << Error(pi, pContext);
        EXPECT_EQ(bSame, 1);
    }
}

// Records noted on two browse items of a table without a unique item: the
// best browse item cannot tell two records with its same value apart.
TEST_F(PositionNumbers, ABestItemThatIsNotUniqueGivesNoVerdict)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"w", pContext);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    ASSERT_STREQ(p->pszGetBestParseItemName(), L"a");
    const CInt one(1), two(2);
    ASSERT_EQ(pi->bHRecherche(pContext, L"b", &one, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    const int nOnB = Save(pi, pContext, L"b");
    ASSERT_EQ(p->bHRecherche(L"a", L"b", &one, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    const int nOnA = Save(pi, pContext, L"a");
    ASSERT_EQ(pi->bHRecherche(pContext, L"b", &two, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    const int nOtherOnB = Save(pi, pContext, L"b");
    ASSERT_EQ(Value(pi, pContext, L"a"), "1");
    struct SCase {
        int n1, n2, bSame;
    };
    // The same record is kept once in the record saves: the same. Another
    // record with the same a is undecided: not the same.
    for (const SCase& c : {SCase{nOnB, nOnA, 1}, SCase{nOnA, nOtherOnB, 0}, SCase{nOtherOnB, nOnA, 0}}) {
        int bSame = -1;
        ASSERT_EQ(pi->bCompareTablePosition(pContext, c.n1, c.n2, &bSame), 1) << Error(pi, pContext);
        EXPECT_EQ(bSame, c.bSame) << c.n1 << " " << c.n2;
    }
}

// A save on an item for which no statement can be made: user error 7 at
// 3.3 with the item, and "nothing saved".
TEST_F(PositionNumbers, NoStatementForTheItem)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    CPositionDriver::s_bNoStatement = true;
    int n = 77;
    EXPECT_EQ(pi->bHSauvePosition(pContext, L"name", &n, 0), 0);
    CPositionDriver::s_bNoStatement = false;
    EXPECT_EQ(n, -1);
    ExpectError(pi, pContext, ZTERR_NO_CURRENT_RECORD, L"=3.3\r\n", "name");
    EXPECT_EQ(CCountedPosition::s_nLive, 0);
}

// What each check answers on its own: 1 with a verdict when it can decide,
// 0 when it cannot tell (code: unique, NULL allowed).
TEST_F(PositionNumbers, EachCheckDecidesOrCannotTell)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"u", pContext);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    ASSERT_STREQ(p->pszGetBestParseItemName(), L"code");
    // A row's position on "other", found by its value there.
    const auto SaveOnOther = [&](int nOther) {
        const CInt v(nOther);
        EXPECT_EQ(pi->bHRecherche(pContext, L"other", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
        return Save(pi, pContext, L"other");
    };
    const int nFive = SaveOnOther(std::stoi(First("SELECT other FROM u WHERE code = 5")));
    const int nSix = SaveOnOther(std::stoi(First("SELECT other FROM u WHERE code = 6")));
    const int nNull = SaveOnOther(std::stoi(First("SELECT MIN(other) FROM u WHERE code IS NULL")));
    const int nOtherNull = SaveOnOther(std::stoi(First("SELECT MAX(other) FROM u WHERE code IS NULL")));
    // The row of code 5 changed since: another save, the same unique value.
    ASSERT_TRUE(Admin("UPDATE u SET other = 9 WHERE code = 5"));
    const int nFiveChanged = SaveOnOther(9);
    struct SCase {
        int n1, n2;
        int bDecided, bSame;
    };
    const SCase aCase[] = {{nFive, nSix, 1, 0},        {nFive, nFiveChanged, 1, 1}, {nFive, nNull, 1, 0},
                           {nNull, nFive, 1, 0},       {nNull, nOtherNull, 0, -1},  {nNull, nNull, 1, 1}};
    for (const SCase& c : aCase) {
        SCOPED_TRACE(testing::Message() << c.n1 << " " << c.n2);
        CNAPosition* p1 = p->_pclFindPosition(c.n1);
        CNAPosition* p2 = p->_pclFindPosition(c.n2);
        ASSERT_TRUE(p1 != nullptr && p2 != nullptr);
        int bSame = -1;
        EXPECT_EQ(p->_bCheckRecordSaveID(p1, p2, &bSame), c.bDecided);
        EXPECT_EQ(bSame, c.bSame);
        p1->nRelease();
        p2->nRelease();
    }
}

// Identical rows on one browse: their record saves cannot tell them apart,
// their row numbers can.
TEST_F(PositionNumbers, IdenticalRowsByTheirRowNumbers)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"same", pContext);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"v", FIRST), 1) << Error(pi, pContext);
    const int nFirst = Save(pi, pContext, L"v");
    ASSERT_EQ(Read(pi, pContext, L"v", NEXT), 1);
    ASSERT_EQ(Read(pi, pContext, L"v", NEXT), 1);
    const int nThird = Save(pi, pContext, L"v");
    const int nThirdAgain = Save(pi, pContext, L"v");
    struct SCase {
        int n1, n2, bSame;
    };
    for (const SCase& c : {SCase{nFirst, nThird, 0}, SCase{nThird, nFirst, 0}, SCase{nThird, nThirdAgain, 1}}) {
        int bSame = -1;
        ASSERT_EQ(pi->bCompareTablePosition(pContext, c.n1, c.n2, &bSame), 1) << Error(pi, pContext);
        EXPECT_EQ(bSame, c.bSame) << c.n1 << " " << c.n2;
    }
    // A position without a row number leaves the row check undecided.
    CNAPosition* p1 = p->_pclFindPosition(nFirst);
    CNAPosition* p3 = p->_pclFindPosition(nThird);
    ASSERT_TRUE(p1 != nullptr && p3 != nullptr);
    int bSame = -1;
    EXPECT_EQ(p->_bCheckRowId(p1, p3, &bSame), 1);
    EXPECT_EQ(bSame, 0);
    p1->InvalidateRowID();
    bSame = -1;
    EXPECT_EQ(p->_bCheckRowId(p1, p3, &bSame), 0);
    EXPECT_EQ(p->_bCheckRowId(p3, p1, &bSame), 0);
    EXPECT_EQ(bSame, -1);
    p1->nRelease();
    p3->nRelease();
}

} // namespace
