// Numbered positions on the private server: the process's counter past its
// largest number, and the comparison of two numbers, which needs no
// position for one number given twice and gives no verdict by a best browse
// item that is not unique.
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace tableobject;

class PositionNumbers : public TableObjectServer {
protected:
    PositionNumbers()
        : TableObjectServer("zt41pn", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                                       "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA')",
                                       "CREATE TABLE w (a INT NOT NULL, b INT NOT NULL, KEY(a), KEY(b))",
                                       "INSERT INTO w VALUES (1, 1), (1, 2), (2, 3)"})
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

} // namespace
