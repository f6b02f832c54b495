// The statement's moves in one result: empty results, a count of 0, skips
// that run out, the swapped directions of a browse ordered backwards, rows
// deleted through another statement, seeks, repeat counts and the record
// cache.
#include "access/statement/NAStatementSQL.h"
#include "access/statement/NARecordCache.h"
#include "access/table/NAPosition.h"
#include "common/platform/MyModuleInfo.h"
#include "mysql/MySQLStatementSQL.h"
#include "tests/support/StatementServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

class StatementFetch : public StatementServerTest {
protected:
    StatementFetch() : StatementServerTest("zt_fetch") {}
    CTestDataAccess* Open(const char* pszRows, const std::wstring& strOptions = L"")
    {
        EXPECT_TRUE(Admin("CREATE TABLE f (n INT NOT NULL PRIMARY KEY, v INT NULL)"));
        if (pszRows[0] != 0) {
            EXPECT_TRUE(Admin(std::string("INSERT INTO f VALUES ") + pszRows));
        }
        CMySQLConnection* pCnx = Connect(strOptions);
        STable* p = NewTable(pCnx, L"f");
        Both(p, L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"v", NA_IT_I4, 4, 0, true);
        return Access(p, pCnx);
    }
    static int Out(CNAStatement* p)
    {
        int b = -1;
        p->HEndehors(&b);
        return b;
    }
    static int Found(CNAStatement* p)
    {
        int bFound = -1, bIn = -1;
        p->EvalHTrouve(&bFound, &bIn);
        EXPECT_EQ(bIn, !Out(p));
        return bFound;
    }
};

const char kFour[] = "(10,1),(20,2),(30,3),(40,4)";

TEST_F(StatementFetch, AnEmptyResultIsOutOfRangeEveryWay)
{
    CTestDataAccess* p = Open("");
    for (int eDirection : {NA_PARSE_FIRST, NA_PARSE_NEXT, NA_PARSE_LAST, NA_PARSE_PREVIOUS}) {
        ASSERT_EQ(p->bRead(L"n", eDirection), 1) << eDirection << ErrorText();
        EXPECT_EQ(Out(p->m_pclLast), 1) << eDirection;
        EXPECT_EQ(Found(p->m_pclLast), 0) << eDirection;
    }
    long long llMoved = -1;
    ASSERT_EQ(p->m_pclLast->bFetch(NA_PARSE_NEXT, 0, 3, &llMoved), 1);
    EXPECT_EQ(Out(p->m_pclLast), 1);
}

TEST_F(StatementFetch, ACountOfZeroStays)
{
    CTestDataAccess* p = Open(kFour);
    CNAStatement* pStatement = p->Statement(L"n");
    // Before any row: out of range.
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_FIRST, 1), 1);
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, 1, nullptr), 1);
    ASSERT_EQ(Value(p, L"n"), "20");
    Set(p, L"v", L"99");
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, 0, nullptr), 1);
    EXPECT_EQ(Out(pStatement), 0);
    // Read again from the row: the value set is gone.
    EXPECT_EQ(Value(p, L"v"), "2");
    EXPECT_EQ(pStatement->nGetCurrentRecord(), 1);
    pStatement->Close();
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    pStatement->pclGetStatementSQLNoRef()->bReset();
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, 0, nullptr), 1);
    EXPECT_EQ(Out(pStatement), 1);
}

TEST_F(StatementFetch, SkipsThatRunOutTellHowFarTheyGot)
{
    CTestDataAccess* p = Open(kFour);
    CNAStatement* pStatement = p->Statement(L"n");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 2), 1);
    ASSERT_EQ(Value(p, L"n"), "30");
    struct SCase {
        int eDirection;
        long long llCount;
        long long llMoved;
    } aCase[] = {{NA_PARSE_NEXT, 5, 1}, {NA_PARSE_PREVIOUS, 3, 2}, {NA_PARSE_FIRST, 7, 4},
                 {NA_PARSE_LAST, 5, 4}, {NA_PARSE_NEXT, -3, 2}};
    for (const SCase& c : aCase) {
        long long llMoved = -1;
        ASSERT_EQ(pStatement->bFetch(c.eDirection, 0, c.llCount, &llMoved), 1);
        EXPECT_EQ(Out(pStatement), 1) << c.eDirection << " " << c.llCount;
        EXPECT_EQ(llMoved, c.llMoved) << c.eDirection << " " << c.llCount;
        // The row stays where it was.
        EXPECT_EQ(Value(p, L"n"), "30");
    }
    long long llMoved = -1;
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, -2, &llMoved), 1);
    EXPECT_EQ(Value(p, L"n"), "10");
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, 3, &llMoved), 1);
    EXPECT_EQ(Value(p, L"n"), "40");
}

TEST_F(StatementFetch, ABackwardOrderSwapsTheDirections)
{
    CTestDataAccess* p = Open(kFour);
    CNAStatement* pStatement = p->Statement(L"n");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_LAST), 1);
    ASSERT_TRUE(pStatement->bInvertFetch());
    EXPECT_EQ(Value(p, L"n"), "40");
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, 1, nullptr), 1);
    EXPECT_EQ(Out(pStatement), 1);
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1);
    EXPECT_EQ(Value(p, L"n"), "10");
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, 1, nullptr), 1);
    EXPECT_EQ(Value(p, L"n"), "20");
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_PREVIOUS, 0, 1, nullptr), 1);
    EXPECT_EQ(Value(p, L"n"), "10");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    EXPECT_FALSE(pStatement->bInvertFetch());
}

TEST_F(StatementFetch, NextNeverSeeksLastSeeksOnce)
{
    CTestDataAccess* p = Open(kFour);
    CNAStatement* pStatement = p->Statement(L"n");
    const int nSeeks = Seeks();
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    EXPECT_EQ(Value(p, L"n"), "40");
    EXPECT_EQ(Seeks(), nSeeks);
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1);
    EXPECT_EQ(Seeks(), nSeeks + 1);
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_LAST, 0, 1, nullptr), 1);
    EXPECT_EQ(Value(p, L"n"), "40");
    EXPECT_EQ(Seeks(), nSeeks + 2);
    // On the row already current: nothing read again.
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_LAST, 0, 1, nullptr), 1);
    EXPECT_EQ(Seeks(), nSeeks + 2);
}

TEST_F(StatementFetch, RepeatCountsOfEqualRows)
{
    ASSERT_TRUE(Admin("CREATE TABLE e (a INT NULL, b INT NULL)"));
    ASSERT_TRUE(Admin("INSERT INTO e VALUES (1,1),(1,1),(1,1),(2,2),(2,2)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"e");
    Both(pTable, L"a", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
    Both(pTable, L"b", NA_IT_I4, 4, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    std::vector<long long> tab;
    std::vector<int> tabSide;
    ASSERT_EQ(p->bRead(L"a", NA_PARSE_FIRST), 1);
    for (; !Out(p->m_pclLast); p->bRead(L"a", NA_PARSE_NEXT)) {
        tab.push_back(p->pclGetCurrentRecordNoRef()->llGetDuplicateRank());
        tabSide.push_back(p->pclGetCurrentRecordNoRef()->bDuplicateRankBackward());
    }
    EXPECT_EQ(tab, (std::vector<long long>{0, 1, 2, 0, 1}));
    EXPECT_EQ(tabSide, (std::vector<int>{0, 0, 0, 0, 0}));
    tab.clear();
    tabSide.clear();
    ASSERT_EQ(p->bRead(L"a", NA_PARSE_LAST), 1);
    for (; !Out(p->m_pclLast); p->bRead(L"a", NA_PARSE_PREVIOUS)) {
        tab.push_back(p->m_pclLast->llGetRepeatCount());
        tabSide.push_back(p->m_pclLast->bRepeatBackward());
    }
    EXPECT_EQ(tab, (std::vector<long long>{0, 1, 0, 1, 2}));
    EXPECT_EQ(tabSide, (std::vector<int>{1, 1, 1, 1, 1}));
    // Turning back among equal rows brings the row one place nearer the
    // row the count started from, on the same side.
    const auto Rank = [p]() {
        return std::to_string(p->pclGetCurrentRecordNoRef()->llGetDuplicateRank()) +
               (p->pclGetCurrentRecordNoRef()->bDuplicateRankBackward() ? "b" : "f");
    };
    std::vector<std::string> tabRank;
    ASSERT_EQ(p->bRead(L"a", NA_PARSE_FIRST), 1);
    for (const int e : {NA_PARSE_NEXT, NA_PARSE_NEXT, NA_PARSE_PREVIOUS, NA_PARSE_PREVIOUS, NA_PARSE_NEXT}) {
        ASSERT_EQ(p->bRead(L"a", e), 1);
        tabRank.push_back(Rank());
    }
    EXPECT_EQ(tabRank, (std::vector<std::string>{"1f", "2f", "1f", "0f", "1f"}));
    tabRank.clear();
    ASSERT_EQ(p->bRead(L"a", NA_PARSE_LAST), 1);
    for (const int e : {NA_PARSE_PREVIOUS, NA_PARSE_NEXT, NA_PARSE_PREVIOUS, NA_PARSE_PREVIOUS}) {
        ASSERT_EQ(p->bRead(L"a", e), 1);
        tabRank.push_back(Rank());
    }
    EXPECT_EQ(tabRank, (std::vector<std::string>{"1b", "0b", "1b", "0b"}));
    // A count that knew of no equal row on the side read starts again from
    // the row just left.
    ASSERT_EQ(p->bRead(L"a", NA_PARSE_FIRST), 1);
    p->m_pclLast->SetRepeatCount(0, 1);
    ASSERT_EQ(p->bRead(L"a", NA_PARSE_NEXT), 1);
    EXPECT_EQ(Rank(), "1f");
}

TEST_F(StatementFetch, RowsDeletedThroughAnotherStatementAreSkipped)
{
    CTestDataAccess* p = Open("(10,1),(20,2),(30,3),(40,4),(50,5)");
    CNAStatement* pStatement = p->Statement(L"n");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    ASSERT_EQ(Value(p, L"n"), "30");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
    EXPECT_EQ(First("SELECT COUNT(*) FROM f"), "4");
    // Marked in the browse, which is kept.
    EXPECT_EQ(pStatement->nGetRecordSaveAt(2), -2);
    EXPECT_EQ(pStatement->nGetDeletedRowCount(), 1);
    EXPECT_TRUE(pStatement->bCurrentRowDeleted());
    EXPECT_EQ(pStatement->eParseNeedUpdate(), 0);
    const int nQueries = Queries();
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_PREVIOUS), 1);
    EXPECT_EQ(Value(p, L"n"), "20");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    EXPECT_EQ(Value(p, L"n"), "40");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_PREVIOUS), 1);
    EXPECT_EQ(Value(p, L"n"), "20");
    // A step of two does not count it.
    long long llMoved = -1;
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 2, &llMoved), 1);
    EXPECT_EQ(Value(p, L"n"), "50");
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_PREVIOUS, 4, &llMoved), 1);
    EXPECT_EQ(Out(pStatement), 1);
    EXPECT_EQ(llMoved, 3);
    EXPECT_EQ(Queries(), nQueries);
}

TEST_F(StatementFetch, TheRecordCacheReadsEachRowOnce)
{
    std::string strRows;
    for (int i = 1; i <= 150; i++)
        strRows += (i > 1 ? "," : "") + std::string("(") + std::to_string(i) + "," + std::to_string(i % 7) + ")";
    CTestDataAccess* p = Open(strRows.c_str());
    p->m_bRecordCache = true;
    CNAStatement* pStatement = p->Statement(L"n");
    int nQueries = Queries();
    // A skip beyond the rows not yet in the cache fetches them all.
    long long llMoved = -1;
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, 500, &llMoved), 1);
    EXPECT_EQ(Out(pStatement), 1);
    EXPECT_EQ(llMoved, 149);
    EXPECT_TRUE(pStatement->bCacheCompleted());
    nQueries = Queries();
    int n = 0;
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    for (; !Out(pStatement); p->bRead(L"n", NA_PARSE_NEXT))
        ASSERT_EQ(Value(p, L"n"), std::to_string(++n));
    EXPECT_EQ(n, 150);
    EXPECT_EQ(Queries(), nQueries + 2);
    ASSERT_TRUE(pStatement->bCacheEnabled());
    EXPECT_EQ(pStatement->pclGetRecordCacheNoRef()->nGetCount(), 150);
    EXPECT_TRUE(pStatement->bCacheCompleted());
    // Backwards from the cache alone.
    nQueries = Queries();
    const int nSeeks = Seeks();
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_LAST, 0, 1, nullptr), 1);
    for (n = 150; !Out(pStatement); pStatement->bFetch(NA_PARSE_PREVIOUS, 0, 1, nullptr)) {
        ASSERT_EQ(Value(p, L"n"), std::to_string(n--));
        EXPECT_TRUE(pStatement->bRestoredRow());
    }
    EXPECT_EQ(n, 0);
    llMoved = -1;
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_FIRST, 0, 200, &llMoved), 1);
    EXPECT_EQ(Out(pStatement), 1);
    EXPECT_EQ(llMoved, 150);
    EXPECT_EQ(Queries(), nQueries);
    EXPECT_EQ(Seeks(), nSeeks);
    // A row added as the record read enters the cache, which stands on it.
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1);
    Set(p, L"n", L"151");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT, CNAStatement::WPF_RECORD_READ), 1) << ErrorText();
    EXPECT_EQ(pStatement->pclGetRecordCacheNoRef()->nGetCount(), 151);
    EXPECT_EQ(pStatement->nGetCurrentRecord(), 150);
    EXPECT_EQ(pStatement->eParseNeedUpdate(), 2);
    // Without the flag the cache does not take it.
    Set(p, L"n", L"152");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    EXPECT_EQ(pStatement->pclGetRecordCacheNoRef()->nGetCount(), 151);
    // A row deleted through another statement: the positions noted on it
    // learn it, the row of the cache is marked.
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1);
    ASSERT_EQ(pStatement->bFetch(NA_PARSE_NEXT, 0, 4, nullptr), 1);
    ASSERT_EQ(Value(p, L"n"), "5");
    ASSERT_EQ(p->bSetCurrentRecordRead(0), 1);
    CNAPosition* pOn = new CNAPosition;
    CNAPosition* pOff = new CNAPosition;
    pOn->bSetParameters(4, -1, nullptr, 0);
    pOff->bSetParameters(3, -1, nullptr, 0);
    pStatement->bAddSavedPosition(1, pOn);
    pStatement->bAddSavedPosition(2, pOff);
    ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
    EXPECT_TRUE(pOn->bRowDeleted());
    EXPECT_FALSE(pOff->bRowDeleted());
    EXPECT_TRUE(pStatement->bCurrentRowDeleted());
    EXPECT_EQ(pStatement->pclGetRecordCacheNoRef()->eGetRecordState(4), NA_RECORDSTATE_DELETED);
    pStatement->bRemoveSavedPosition(1);
    pStatement->bRemoveSavedPosition(2);
}

} // namespace

namespace {

TEST_F(StatementFetch, TheThirdOfFiveEqualRowsFoundAgain)
{
    ASSERT_TRUE(Admin("CREATE TABLE e (a INT NULL, b INT NULL)"));
    ASSERT_TRUE(Admin("INSERT INTO e VALUES (0,0),(1,1),(1,1),(1,1),(1,1),(1,1),(2,2)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"e");
    Both(pTable, L"a", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
    Both(pTable, L"b", NA_IT_I4, 4, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    CNAStatement* pStatement = p->Statement(L"a");
    ASSERT_EQ(p->bRead(L"a", NA_PARSE_FIRST), 1);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(p->bRead(L"a", NA_PARSE_NEXT), 1);
    ASSERT_EQ(p->pclGetCurrentRecordNoRef()->llGetDuplicateRank(), 2);
    // Found again among the equal rows: the third of them.
    int nFrom = Queries();
    ASSERT_EQ(p->bGoToStmtOriginalRecord(0, pStatement, 1, CNAStatement::DIRECTION_STAY, 0, nullptr), 1)
        << ErrorText();
    EXPECT_EQ(Out(pStatement), 0);
    EXPECT_EQ(pStatement->nGetCurrentRecord(), 2);
    EXPECT_EQ(Value(p, L"a"), "1");
    EXPECT_EQ(p->pclGetCurrentRecordNoRef()->llGetDuplicateRank(), 2);
    EXPECT_FALSE(pStatement->bFirstBlock());
    std::vector<std::string> tabSent = Sent(nFrom);
    ASSERT_EQ(tabSent.size(), 2u);
    EXPECT_EQ(tabSent[0], "SELECT COUNT(*) AS ZTACCESNATIF_NBENR FROM `e` WHERE `a`=1 AND `b`=1");
    // Two of them left: the second.
    ASSERT_TRUE(Admin("DELETE FROM e WHERE a = 1 LIMIT 3"));
    ASSERT_EQ(p->bGoToStmtOriginalRecord(0, pStatement, 1, CNAStatement::DIRECTION_STAY, 0, nullptr), 1)
        << ErrorText();
    EXPECT_EQ(pStatement->nGetCurrentRecord(), 1);
    // Next by one from the third equal row: the fourth, an absolute place.
    ASSERT_TRUE(Admin("INSERT INTO e VALUES (1,1),(1,1),(1,1)"));
    nFrom = Queries();
    ASSERT_EQ(p->bGoToStmtOriginalRecord(0, pStatement, 1, NA_PARSE_NEXT, 1, nullptr), 1) << ErrorText();
    EXPECT_EQ(pStatement->nGetCurrentRecord(), 2);
    EXPECT_EQ(pStatement->llGetRepeatCount(), 2);
    // None left: the row is lost.
    ASSERT_TRUE(Admin("DELETE FROM e WHERE a = 1"));
    m_pError->Reset();
    EXPECT_EQ(p->bGoToStmtOriginalRecord(0, pStatement, 1, CNAStatement::DIRECTION_STAY, 0, nullptr), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND));
    EXPECT_NE(ErrorText().find("3.23"), std::string::npos) << ErrorText();
    EXPECT_TRUE(pStatement->bRecordLost());
}

TEST_F(StatementFetch, LargeValuesOfTheRowRead)
{
    ASSERT_TRUE(Admin("CREATE TABLE m (n INT NOT NULL PRIMARY KEY, t TEXT NULL)"));
    ASSERT_TRUE(Admin("INSERT INTO m VALUES (1, REPEAT('memo ', 2000)), (2, NULL)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"m");
    Both(pTable, L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"t", NA_IT_MEMOTEXTE, 0, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1) << ErrorText();
    INAItemDescription* piMemo = (*pTable->pHost)->pclNAGetItemNoRef(L"t", 0);
    CAny v;
    ASSERT_EQ(p->m_pclLast->bGetBLOB(piMemo, &v), 1) << ErrorText();
    ASSERT_LE(v.__nCastTo(TQTYPE_DSTRA, nullptr, 0), 99);
    EXPECT_EQ(Text8(v), First("SELECT t FROM m WHERE n = 1"));
    const std::string strFile = "/tmp/" + UniqueName("zt_memo") + ".txt";
    ASSERT_EQ(p->m_pclLast->bExtraitMemo(piMemo, Wide(strFile).c_str()), 1) << ErrorText();
    std::ifstream in(strFile, std::ios::binary);
    const std::string strRead((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(strFile.c_str());
    EXPECT_EQ(strRead, First("SELECT t FROM m WHERE n = 1"));
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    ASSERT_EQ(p->m_pclLast->bGetBLOB(piMemo, &v), 1);
    EXPECT_TRUE(v.bIsNull());
    // An item the record has no column for.
    CTestTable clOther(m_pError, pCnx, L"o");
    clOther.Add(L"a", NA_IT_I4, 4);
    clOther.Add(L"b", NA_IT_I4, 4);
    CNAItemDescription* piOther = clOther.Add(L"other", NA_IT_MEMOTEXTE, 0);
    EXPECT_EQ(p->m_pclLast->bGetBLOB(piOther, &v), 0);
    EXPECT_EQ(p->m_pclLast->bExtraitMemo(piOther, Wide(strFile).c_str()), 0);
}

TEST_F(StatementFetch, AStreamHasNoRecordSaveTable)
{
    CTestDataAccess* p = Open(kFour);
    CNAStatement* pStatement = p->Statement(L"n");
    CMySQLStatementSQL* pSQL = static_cast<CMySQLStatementSQL*>(pStatement->pclGetStatementSQLNoRef());
    pSQL->SetStoreResult(0);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    ASSERT_EQ(Value(p, L"n"), "20");
    // Backwards and seeks are refused by the stream.
    m_pError->Reset();
    EXPECT_EQ(pStatement->bFetch(NA_PARSE_PREVIOUS, 0, 1, nullptr), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_EQ(Out(pStatement), 1);
    // Read to its end, the stream leaves the handle to the next command.
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1) << ErrorText();
    ASSERT_EQ(Out(pStatement), 1);
    ASSERT_EQ(Value(p, L"n"), "40");
    // A deleted row cannot be marked: the browse runs again instead.
    ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
    EXPECT_EQ(pStatement->nGetRecordSaveAt(3), -1);
    EXPECT_EQ(pStatement->eParseNeedUpdate(), 1);
    pSQL->SetStoreResult(1);
    EXPECT_EQ(First("SELECT COUNT(*) FROM f"), "3");
}

} // namespace
