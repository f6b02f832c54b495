// Relative positions and the whole-table cache on the server: thousandths
// of browses read backwards, of the browse that fills the table cache and
// of browses served by its index (rows deleted meanwhile), and a table
// cache whose filling fails while another browse of the data access is
// current. Every expected position comes from the server's own order.
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatementSQL.h"
#include "access/statement/NATableCache.h"
#include "access/statement/NATableCacheIndex.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "common/values/Any.h"
#include "mysql/MySQLDataAccess.h"
#include "tests/support/OpenedAccess.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const unsigned int kTableCache = CNAStatement::WPF_TABLE_CACHE;
const eNA_PRECISION kPrecision = static_cast<eNA_PRECISION>(0);
const eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);

// The MySQL data access itself, opened over the hand descriptions.
class CPlainAccess : public COpenedAccess<CMySQLDataAccess> {
public:
    using COpenedAccess<CMySQLDataAccess>::COpenedAccess;
    // A table cache whose browse is the statement's.
    bool TableCache(CNAStatement* pclStatement)
    {
        return _bCreateNewTableCache(pclStatement) && _bTableCacheSetStatementParse(pclStatement);
    }
    int Read(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection)
    {
        return bHLitxxx(pszItem, eDirection, 1, kNoLock, nullptr, 0);
    }
};

class TableCachePosition : public StatementServerTest {
protected:
    TableCachePosition() : StatementServerTest("zt_tcposition") {}
    void TearDown() override
    {
        if (m_pPlain != nullptr) {
            EXPECT_EQ(m_pPlain->nRelease(), 0u);
        }
        StatementServerTest::TearDown();
    }
    // Table p: n the key, v a value with duplicates, t a text; rows 1 to
    // nRows.
    STable* Make(int nRows)
    {
        EXPECT_TRUE(Admin("CREATE TABLE p (n INT NOT NULL PRIMARY KEY, v INT NULL, t VARCHAR(20) NULL) "
                          "CHARACTER SET utf8mb4"));
        std::string strValues;
        for (int i = 1; i <= nRows; i++)
            strValues += (i > 1 ? "," : "") + std::string("(") + std::to_string(i) + "," +
                         std::to_string((i * 7) % 4) + ",'r" + std::to_string((i * 5) % nRows) + "')";
        EXPECT_TRUE(Admin("INSERT INTO p VALUES " + strValues));
        CMySQLConnection* pCnx = Connect();
        m_pCnx = pCnx;
        STable* p = NewTable(pCnx, L"p");
        Both(p, L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"v", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        Both(p, L"t", NA_IT_TEXTE, 20, CTestTable::DUPLICATES, true);
        return p;
    }
    CTestDataAccess* Open(int nRows)
    {
        STable* p = Make(nRows);
        return Access(p, m_pCnx);
    }
    CPlainAccess* OpenPlain(int nRows)
    {
        STable* p = Make(nRows);
        (*p->pHost)->UpdateRecordSize();
        (*p->pDatabase)->UpdateRecordSize();
        m_pPlain = new CPlainAccess(p->pHost->Get(), m_pCnx, m_pError);
        EXPECT_TRUE(m_pPlain->Open(p->pDatabase->Get())) << ErrorText();
        return m_pPlain;
    }
    static bool Out(CNAStatement* p)
    {
        int b = 1;
        p->HEndehors(&b);
        return b != 0;
    }
    int Thousandths(CNAStatement* s)
    {
        int n = -1;
        EXPECT_EQ(s->bHPositionCourante(&n, kPrecision), 1) << ErrorText();
        return n;
    }
    // The thousandths of the nth record (from 1) of nCount: the quotient
    // rounded up.
    static int Expected(long long nRank, long long nCount) { return static_cast<int>((nRank * 1000 + nCount - 1) / nCount); }
    // From the current record to the end of the browse in the direction,
    // the thousandths read on each record into tabGot, and into tabWanted
    // those its rank in tabOrder (the server's order of the rows left)
    // gives.
    void ReadThousandths(CTestDataAccess* p, const wchar_t* pszItem, int eDirection, unsigned int nFlags,
                         const Rows& tabOrder, std::vector<int>& tabGot, std::vector<int>& tabWanted)
    {
        CNAStatement* s = p->Statement(pszItem);
        while (!Out(s) && tabGot.size() <= tabOrder.size()) {
            const auto it = std::find(tabOrder.begin(), tabOrder.end(), Value(p, L"n"));
            tabWanted.push_back(it != tabOrder.end()
                                    ? Expected(it - tabOrder.begin() + 1, static_cast<long long>(tabOrder.size()))
                                    : -1);
            tabGot.push_back(Thousandths(s));
            if (p->bRead(pszItem, eDirection, nFlags) != 1) {
                ADD_FAILURE() << ErrorText();
                return;
            }
        }
    }

    CMySQLConnection* m_pCnx = nullptr;
    CPlainAccess* m_pPlain = nullptr;
};

// A browse read backwards counts its records from the other end: the first
// record it reads is the last of the order, 1000.
TEST_F(TableCachePosition, ABrowseReadBackwardsCountsFromTheOtherEnd)
{
    for (const int nRows : {3, 7}) {
        SCOPED_TRACE(nRows);
        CTestDataAccess* p = Open(nRows);
        const Rows tabOrder = List("SELECT n FROM p ORDER BY v, n");
        for (const bool bBackward : {true, false}) {
            SCOPED_TRACE(bBackward ? "backward" : "forward");
            CNAStatement* s = p->Statement(L"v");
            ASSERT_EQ(p->bRead(L"v", bBackward ? NA_PARSE_LAST : NA_PARSE_FIRST), 1) << ErrorText();
            ASSERT_EQ(s->bInvertFetch(), bBackward ? 1 : 0);
            std::vector<int> tabGot;
            std::vector<int> tabWanted;
            ReadThousandths(p, L"v", bBackward ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT, 0, tabOrder, tabGot, tabWanted);
            EXPECT_EQ(tabGot, tabWanted);
            ASSERT_EQ(tabGot.size(), tabOrder.size());
            EXPECT_EQ(tabGot.front(), bBackward ? 1000 : Expected(1, nRows));
        }
        p->DropStatements();
        Admin("DROP TABLE p");
    }
}

// Under a table cache: the browse that filled it counts by its record
// number, a browse served by an index by the index's rows before it;
// deleted rows count in neither, so the last record is 1000.
TEST_F(TableCachePosition, TableCacheBrowsesCountTheRowsThatAreLeft)
{
    const int nRows = 12;
    CTestDataAccess* p = Open(nRows);
    CNAStatement* sn = p->Statement(L"n");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
    // The cache's own browse, half read: its record cache is completed.
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT, kTableCache), 1) << ErrorText();
    EXPECT_EQ(Thousandths(sn), Expected(2, nRows));
    EXPECT_EQ(sn->bCacheCompleted(), 1);
    ASSERT_EQ(p->bRead(L"t", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
    CNAStatement* st = p->Statement(L"t");
    ASSERT_NE(st->pclGetTableCacheIndexNoRef(), nullptr);
    // Two rows go, one of them the last of t's order.
    const std::string strLast = First("SELECT n FROM p ORDER BY t DESC LIMIT 1");
    for (const std::string& strKey : {std::string("5"), strLast}) {
        ASSERT_EQ(p->bRead(L"v", NA_PARSE_FIRST), 1);
        while (!Out(p->Statement(L"v")) && Value(p, L"n") != strKey)
            ASSERT_EQ(p->bRead(L"v", NA_PARSE_NEXT), 1);
        ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
    }
    ASSERT_EQ(p->pclGetTableCacheNoRef()->llGetRecordNbrActive(), nRows - 2);
    // The cache's own browse goes on through its record cache, over the
    // deleted row.
    const Rows tabN = List("SELECT n FROM p ORDER BY n");
    std::vector<int> tabGotN;
    std::vector<int> tabWantedN;
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT, kTableCache), 1) << ErrorText();
    ReadThousandths(p, L"n", NA_PARSE_NEXT, kTableCache, tabN, tabGotN, tabWantedN);
    EXPECT_EQ(sn->pclGetTableCacheIndexNoRef(), nullptr);
    EXPECT_EQ(tabGotN, tabWantedN);
    EXPECT_EQ(tabGotN.size(), tabN.size() - 2);
    const Rows tabOrder = List("SELECT n FROM p ORDER BY t");
    ASSERT_EQ(tabOrder.size(), static_cast<size_t>(nRows - 2));
    for (const bool bBackward : {false, true}) {
        SCOPED_TRACE(bBackward ? "backward" : "forward");
        ASSERT_EQ(p->bRead(L"t", bBackward ? NA_PARSE_LAST : NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
        std::vector<int> tabGot;
        std::vector<int> tabWanted;
        ReadThousandths(p, L"t", bBackward ? NA_PARSE_PREVIOUS : NA_PARSE_NEXT, kTableCache, tabOrder, tabGot,
                        tabWanted);
        EXPECT_EQ(tabGot, tabWanted);
        EXPECT_EQ(tabGot.size(), tabOrder.size());
    }
    // The statements and the table cache go, each releasing the full cache
    // once: only the test's own reference is left.
    CNARecordCache* pFull = p->pclGetTableCacheNoRef()->pclGetFullCache();
    ASSERT_NE(pFull, nullptr);
    pFull->AddRef();
    p->DropStatements();
    EXPECT_EQ(p->pclGetTableCacheNoRef(), nullptr);
    EXPECT_EQ(pFull->nRelease(), 0u);
}

// The browse that should fill the table cache cannot run again: no full
// cache, the position noted for the current browse given back, and that
// browse goes on from its record.
TEST_F(TableCachePosition, AFailedFillGivesBackThePositionOfTheCurrentBrowse)
{
    CPlainAccess* p = OpenPlain(9);
    const Rows tabV = List("SELECT n FROM p ORDER BY v, n");
    ASSERT_EQ(p->Read(L"n", NA_PARSE_FIRST), 1) << ErrorText();
    CNAStatement* sn = p->_pclFindStatement(L"n");
    ASSERT_NE(sn, nullptr);
    // The v browse, on its third record, is the current one.
    for (const eNA_PARSEDIRECTION e : {NA_PARSE_FIRST, NA_PARSE_NEXT, NA_PARSE_NEXT})
        ASSERT_EQ(p->Read(L"v", e), 1) << ErrorText();
    ASSERT_EQ(Value(p, L"n"), tabV[2]);
    const CNAStatement* sv = p->pclGetLastStatementNoRef();
    ASSERT_NE(sv, sn);
    ASSERT_TRUE(p->TableCache(sn)) << ErrorText();
    // n's result is gone and its table with it: completing it fails.
    ASSERT_EQ(sn->pclGetStatementSQLNoRef()->bReset(), 1);
    sn->nRelease();
    ASSERT_TRUE(Admin("RENAME TABLE p TO p_away"));
    m_pError->Reset();
    EXPECT_EQ(p->pclGetTableCacheNoRef()->pclGetFullCache(), nullptr);
    EXPECT_NE(m_pError->nGetUserErrorCode(), 0u) << ErrorText();
    EXPECT_EQ(p->pclGetTableCacheNoRef()->llGetRecordNbr(), 0);
    EXPECT_EQ(p->nGetPositionCount(), 0u);
    EXPECT_EQ(p->pclGetLastStatementNoRef(), sv);
    EXPECT_EQ(Value(p, L"n"), tabV[2]);
    ASSERT_TRUE(Admin("RENAME TABLE p_away TO p"));
    m_pError->Reset();
    for (size_t i = 3; i < tabV.size(); i++) {
        ASSERT_EQ(p->Read(L"v", NA_PARSE_NEXT), 1) << ErrorText();
        EXPECT_EQ(Value(p, L"n"), tabV[i]);
    }
}

// An index browse, of a memo column or of an integer one: the row it
// stands on is deleted, or its value changed, through the unnamed
// statement; the browse goes on with the rows after (or before) it in the
// new order, none skipped. NULL, empty and equal values in the runs; memos
// of ASCII letters, so that their bytes sort as the server does; new values
// of their own, so that the server's order of equal values is never asked.
TEST_F(TableCachePosition, AnIndexBrowseGoesOnPastAChangedRow)
{
    const char* apszMemo[] = {"'b'", "NULL", "'a'", "''", "'b'", "NULL", "'c'", "'b'", "''", "'d'"};
    const char* apszInt[] = {"2", "NULL", "1", "0", "2", "NULL", "3", "2", "0", "4"};
    for (const bool bMemo : {true, false}) {
        const wchar_t* pszItem = bMemo ? L"m" : L"v";
        const std::string strOrder = std::string("SELECT n FROM q ORDER BY ") + (bMemo ? "m" : "v") + ", n";
        for (const bool bDelete : {true, false}) {
            for (const int eDirection : {NA_PARSE_NEXT, NA_PARSE_PREVIOUS}) {
                // A memo moves to the far end only forwards ("zz").
                if (bMemo && !bDelete && eDirection == NA_PARSE_PREVIOUS)
                    continue;
                ASSERT_TRUE(Admin("CREATE TABLE q (n INT NOT NULL PRIMARY KEY, m TEXT NULL, v INT NULL) "
                                  "CHARACTER SET utf8mb4"));
                std::string strValues;
                for (int i = 0; i < 10; i++)
                    strValues += (i > 0 ? "," : "") + std::string("(") + std::to_string(i + 1) + "," + apszMemo[i] +
                                 "," + apszInt[i] + ")";
                ASSERT_TRUE(Admin("INSERT INTO q VALUES " + strValues));
                CMySQLConnection* pCnx = Connect();
                STable* pt = NewTable(pCnx, L"q");
                Both(pt, L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
                Both(pt, L"m", NA_IT_MEMOUNICODE, 8, CTestTable::DUPLICATES);
                Both(pt, L"v", NA_IT_I4, 4, CTestTable::DUPLICATES);
                CTestDataAccess* p = Access(pt, pCnx);
                ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
                for (int k = 0; k < 4; k++) {
                    const Rows tabOld = List(strOrder);
                    // From the ends inwards, through the NULL, empty and equal values.
                    const size_t nAt = eDirection == NA_PARSE_NEXT ? 2 * k : tabOld.size() - 1 - 2 * k;
                    const std::string strKey = tabOld[nAt];
                    SCOPED_TRACE(std::string(bMemo ? "memo " : "integer ") + (bDelete ? "delete" : "update") +
                                 (eDirection == NA_PARSE_NEXT ? " next, row " : " previous, row ") + strKey);
                    ASSERT_EQ(p->bRead(pszItem, NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
                    ASSERT_NE(p->Statement(pszItem)->pclGetTableCacheIndexNoRef(), nullptr);
                    while (Value(p, L"n") != strKey)
                        ASSERT_EQ(p->bRead(pszItem, NA_PARSE_NEXT, kTableCache), 1);
                    if (!bDelete && bMemo) {
                        // As the host writes a memo.
                        CAny v;
                        const std::wstring str = L"zz" + std::to_wstring(k);
                        v.__SetType(TQTYPE_DSTRW, 0);
                        v.pclGetTraitement()->SetValue(str.c_str(), static_cast<unsigned int>(str.size() * sizeof(wchar_t)));
                        ASSERT_EQ(p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"m")->bSetValueToDB(&v, 0), 1);
                    } else if (!bDelete) {
                        Set(p, L"v", std::to_wstring(eDirection == NA_PARSE_NEXT ? 100 + k : -100 - k));
                    }
                    ASSERT_EQ(p->bWrite(bDelete ? CNAStatement::QT_DELETE : CNAStatement::QT_UPDATE), 1)
                        << ErrorText();
                    // The new order in the browse's direction without the rows
                    // it has read (a moved row goes to the far end).
                    Rows tabNew = List(strOrder);
                    Rows tabRead(tabOld.begin(), tabOld.begin() + static_cast<long>(nAt));
                    if (eDirection == NA_PARSE_PREVIOUS) {
                        std::reverse(tabNew.begin(), tabNew.end());
                        tabRead.assign(tabOld.begin() + static_cast<long>(nAt) + 1, tabOld.end());
                    }
                    Rows tabExpected;
                    for (const std::string& str : tabNew)
                        if (std::find(tabRead.begin(), tabRead.end(), str) == tabRead.end())
                            tabExpected.push_back(str);
                    tabRead.clear();
                    // Asked where it stands first: the thousandths of the entry
                    // after the row's place (of none: 1000), and the read after
                    // finds the same place.
                    if (eDirection == NA_PARSE_NEXT) {
                        const auto it = tabExpected.empty()
                                            ? tabNew.end()
                                            : std::find(tabNew.begin(), tabNew.end(), tabExpected.front());
                        EXPECT_EQ(Thousandths(p->Statement(pszItem)),
                                  it == tabNew.end() ? 1000
                                                     : Expected(it - tabNew.begin() + 1,
                                                                static_cast<long long>(tabNew.size())));
                    }
                    ASSERT_EQ(p->bRead(pszItem, eDirection, kTableCache), 1) << ErrorText();
                    while (!Out(p->Statement(pszItem))) {
                        tabRead.push_back(Value(p, L"n"));
                        ASSERT_LE(tabRead.size(), tabOld.size());
                        ASSERT_EQ(p->bRead(pszItem, eDirection, kTableCache), 1) << ErrorText();
                    }
                    EXPECT_EQ(tabRead, tabExpected);
                }
                p->DropStatements();
                Admin("DROP TABLE q");
            }
        }
    }
}

// Without a table cache on the data access no index is made: a browse to
// be put back on its row through one fails, and stays without index.
TEST_F(TableCachePosition, WithoutATableCacheNoIndexIsMade)
{
    CTestDataAccess* p = Open(4);
    CNAStatement* s = p->Statement(L"v");
    ASSERT_EQ(p->bRead(L"v", NA_PARSE_FIRST), 1) << ErrorText();
    ASSERT_EQ(p->pclGetTableCacheNoRef(), nullptr);
    EXPECT_EQ(s->_bCreateTableCacheIndex(), 0);
    EXPECT_EQ(s->bOpenUsingTableCache(), 0);
    // A write elsewhere leaves the browse to be put back on its row.
    Set(p, L"n", L"9");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    ASSERT_NE(s->eParseNeedUpdate(), CNAStatement::UPDATE_NONE);
    int bStillThere = -1;
    EXPECT_EQ(s->bUpdateParsePositionInCacheIndex(&bStillThere), 0);
    EXPECT_EQ(s->pclGetTableCacheIndexNoRef(), nullptr);
    p->DropStatements();
}

} // namespace
