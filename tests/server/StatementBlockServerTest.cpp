// Browses read a block of rows at a time: the next block is found again from
// the last row read by the browse's own condition, with the row limit and
// never an offset; a skip runs across blocks and tells how far it got.
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "access/statement/NAStatementSQL.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Walk;

// The columns of the browse: the 8-bit item's text with the server's bytes
// of those read with a "?".
// The key finds a row and orders the browse: no text's exact form is read.
const std::string kColumns = "SELECT `n`,`txt` FROM `b`";

class StatementBlock : public StatementServerTest {
protected:
    StatementBlock() : StatementServerTest("zt_block") {}
    // A table of nRows rows, n = 3, 6, 9 ...
    void Fill(int nRows)
    {
        ASSERT_TRUE(Admin("CREATE TABLE b (n INT NOT NULL PRIMARY KEY, txt VARCHAR(20) NULL)"));
        std::string strSQL;
        for (int i = 1; i <= nRows; i++) {
            strSQL += (strSQL.empty() ? "INSERT INTO b VALUES " : ",") + std::string("(") + std::to_string(3 * i) +
                      ",'t" + std::to_string(i) + "')";
            if (i % 500 == 0 || i == nRows) {
                ASSERT_TRUE(Admin(strSQL));
                strSQL.clear();
            }
        }
    }
    CTestDataAccess* Open(const std::wstring& strOptions = L"")
    {
        CMySQLConnection* pCnx = Connect(strOptions);
        STable* p = NewTable(pCnx, L"b");
        Both(p, L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"txt", NA_IT_TEXTE, 21, 0, true);
        return Access(p, pCnx);
    }
    bool Out(CTestDataAccess* p)
    {
        int bOut = 1;
        p->m_pclLast->HEndehors(&bOut);
        return bOut != 0;
    }
    // Every row from the read in the direction, then on in the next one.
    Walk Walk_(CTestDataAccess* p, int eStart, int eOn)
    {
        Walk tab;
        EXPECT_EQ(p->bRead(L"n", eStart), 1) << ErrorText();
        while (!Out(p) && tab.size() < 5000) {
            tab.push_back(Value(p, L"n"));
            EXPECT_EQ(p->bRead(L"n", eOn), 1) << ErrorText();
        }
        return tab;
    }
    Walk Expected(const std::string& strOrder) { return List("SELECT CAST(n AS CHAR) FROM b ORDER BY n " + strOrder); }
    // The SELECTs sent from the nth query on; none may have an offset.
    std::vector<std::string> Selects(int nFrom)
    {
        std::vector<std::string> tab;
        for (const std::string& s : Sent(nFrom)) {
            if (s.compare(0, 7, "SELECT ") != 0)
                continue;
            tab.push_back(s);
            const size_t nLimit = s.rfind(" LIMIT ");
            EXPECT_NE(nLimit, std::string::npos) << s;
            if (nLimit != std::string::npos) {
                EXPECT_EQ(s.find(',', nLimit), std::string::npos) << s;
            }
        }
        return tab;
    }
};

TEST_F(StatementBlock, EveryRowOnceBothWays)
{
    ASSERT_NO_FATAL_FAILURE(Fill(1050));
    CTestDataAccess* p = Open();
    int nFrom = Queries();
    EXPECT_EQ(Walk_(p, NA_PARSE_FIRST, NA_PARSE_NEXT), Expected("ASC"));
    std::vector<std::string> tab = Selects(nFrom);
    // Ten full blocks and the last 50 rows; the later ones from the last
    // row read.
    ASSERT_EQ(tab.size(), 11u);
    EXPECT_EQ(tab[0], kColumns + " ORDER BY `n` LIMIT 100");
    EXPECT_EQ(tab[1], kColumns + " WHERE `n`>300 ORDER BY `n` LIMIT 100");
    EXPECT_EQ(tab[10], kColumns + " WHERE `n`>3000 ORDER BY `n` LIMIT 100");
    nFrom = Queries();
    EXPECT_EQ(Walk_(p, NA_PARSE_LAST, NA_PARSE_PREVIOUS), Expected("DESC"));
    tab = Selects(nFrom);
    ASSERT_EQ(tab.size(), 11u);
    EXPECT_EQ(tab[1], kColumns + " WHERE `n`<2853 ORDER BY `n` DESC LIMIT 100");
    // Sequential reads never seek.
    EXPECT_EQ(Seeks(), 0);
}

TEST_F(StatementBlock, PreviousAcrossBlockEdges)
{
    ASSERT_NO_FATAL_FAILURE(Fill(1050));
    CTestDataAccess* p = Open();
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    for (int i = 0; i < 250; i++)
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1) << ErrorText();
    ASSERT_EQ(Value(p, L"n"), "753");
    EXPECT_FALSE(p->m_pclLast->bFirstBlock());
    Walk tab;
    for (; !Out(p) && tab.size() < 300; p->bRead(L"n", NA_PARSE_PREVIOUS))
        tab.push_back(Value(p, L"n"));
    EXPECT_EQ(tab, List("SELECT CAST(n AS CHAR) FROM b WHERE n <= 753 ORDER BY n DESC"));
    // And forward again from the first row, across the same edges.
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    for (int i = 0; i < 120; i++)
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_PREVIOUS), 1);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_PREVIOUS), 1);
    EXPECT_EQ(Value(p, L"n"), "357");
}

TEST_F(StatementBlock, SkipsAcrossBlocks)
{
    ASSERT_NO_FATAL_FAILURE(Fill(1050));
    CTestDataAccess* p = Open();
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    long long llMoved = -1;
    int nFrom = Queries();
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 150, &llMoved), 1) << ErrorText();
    EXPECT_FALSE(Out(p));
    EXPECT_EQ(Value(p, L"n"), "453");
    EXPECT_EQ(Selects(nFrom).size(), 1u);
    // Past the end: every row after the first could be crossed.
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    nFrom = Queries();
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 2000, &llMoved), 1) << ErrorText();
    EXPECT_TRUE(Out(p));
    EXPECT_EQ(llMoved, 1049);
    EXPECT_EQ(Selects(nFrom).size(), 10u);
    // The record stays the row the host stood on, as read, and the browse
    // goes on from there.
    EXPECT_EQ(Value(p, L"n"), "3");
    int nRead = 0;
    p->pclGetCurrentRecordNoRef()->pclGetOriginalNAKXRecord()->GetItemValue(
        &nRead, (*m_tabTable.back()->pHost)->pclNAGetItemNoRef(0), 0);
    EXPECT_EQ(nRead, 3);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"n"), "6");
    // Backwards past the start, from the 120th row.
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 118, &llMoved), 1);
    ASSERT_EQ(Value(p, L"n"), "360");
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_PREVIOUS, 500, &llMoved), 1);
    EXPECT_TRUE(Out(p));
    EXPECT_EQ(llMoved, 119);
}

TEST_F(StatementBlock, SmallBlocksAndTheFirstStep)
{
    ASSERT_NO_FATAL_FAILURE(Fill(20));
    CTestDataAccess* p = Open(L"ZT Cache Size=7;");
    EXPECT_EQ(Walk_(p, NA_PARSE_FIRST, NA_PARSE_NEXT), Expected("ASC"));
    EXPECT_EQ(Walk_(p, NA_PARSE_LAST, NA_PARSE_PREVIOUS), Expected("DESC"));
    // A first read with a count: the rows before the step are skipped on
    // the server, 7 / 3 + 1 rows fetched.
    const int nFrom = Queries();
    long long llMoved = -1;
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_FIRST, 10, &llMoved), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"n"), "30");
    const std::vector<std::string> tab = Sent(nFrom);
    ASSERT_EQ(tab.size(), 1u);
    EXPECT_EQ(tab[0], kColumns + " ORDER BY `n` LIMIT 7, 7");
}

TEST_F(StatementBlock, TheFirstStepByBlockSize)
{
    ASSERT_NO_FATAL_FAILURE(Fill(60));
    struct SCase {
        const wchar_t* pszOptions;
        const char* pszLimit;
    } aCase[] = {{L"ZT Cache Size=20;", " LIMIT 18, 20"}, {L"ZT Cache Size=21;", " LIMIT 15, 21"},
                 {L"ZT Cache Size=25;", " LIMIT 15, 25"}, {L"ZT Cache Size=26;", ""}};
    for (const SCase& c : aCase) {
        CTestDataAccess* p = Open(c.pszOptions);
        const int nFrom = Queries();
        ASSERT_EQ(p->bSkip(L"n", NA_PARSE_FIRST, 25), 1) << ErrorText();
        EXPECT_EQ(Value(p, L"n"), "75");
        const std::vector<std::string> tab = Sent(nFrom);
        ASSERT_EQ(tab.size(), 1u);
        const std::string strTail = c.pszLimit[0] != 0 ? c.pszLimit : " LIMIT 26";
        EXPECT_EQ(tab[0], kColumns + " ORDER BY `n`" + strTail) << Narrow(c.pszOptions);
    }
}

TEST_F(StatementBlock, BlockLimitAndFirstBlock)
{
    ASSERT_NO_FATAL_FAILURE(Fill(150));
    CTestDataAccess* p = Open();
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    CNAStatement* pStatement = p->m_pclLast;
    EXPECT_EQ(pStatement->nGetBlockLimit(), 100);
    EXPECT_TRUE(pStatement->bFirstBlock());
    EXPECT_EQ(pStatement->llGetRowLimit(), 100);
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 99), 1);
    EXPECT_TRUE(pStatement->bFirstBlock());
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    EXPECT_EQ(Value(p, L"n"), "303");
    EXPECT_FALSE(pStatement->bFirstBlock());
    // The last 50 rows: no full block.
    EXPECT_EQ(pStatement->nGetBlockLimit(), -1);
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 60), 1);
    EXPECT_TRUE(Out(p));
}

} // namespace
