// The table statement without a server: the correction of a refused CREATE
// TABLE, closing without a direct statement, the row that cannot be found
// again, and a run that reads the row it loads, over a recording back end.
#include "access/statement/NAStatement.h"

#include "access/driver/NADataSourceDescription.h"
#include "access/sql/NACommand.h"
#include "access/sql/NAFilterSave.h"
#include "access/table/NADataAccess.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/RecordingStatementSQL.h"
#include "tests/support/RecordValues.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/TableScope.h"
#include "tests/support/TestTable.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct SCorrection {
    const wchar_t* pszText;
    int nMax;
    int bCorrected;
    const wchar_t* pszOut;
};

// A server's date-time text, its date's separators there or gone, in the
// form a literal takes; no date, no literal.
TEST(StatementAnchor, DateTimeTextsAsLiterals)
{
    const struct {
        const wchar_t* pszText;
        const wchar_t* pszLiteral;
    } aCase[] = {
        {L"20240301 10:00:00.100005", L"2024-03-01 10:00:00.100005"},
        {L"2024-03-01 10:00:00.100005", L"2024-03-01 10:00:00.100005"},
        {L"2024-03-01 10:00:00", L"2024-03-01 10:00:00"},
        {L"19991231 23:59:59.5", L"1999-12-31 23:59:59.5"},
        {L"00000000 00:00:00", L"0000-00-00 00:00:00"},
        {L"2024-03-01", L"2024-03-01"},
        {L"20240301 10", L"2024-03-01"},
        {L"2024-03", L""},
        {L"", L""},
    };
    for (const auto& c : aCase)
        EXPECT_EQ(CNAStatement::s_strDateTimeLiteral(c.pszText), c.pszLiteral) << Narrow(c.pszText);
}

TEST(StatementCreate, LongVariableTextsBecomeTheLargeType)
{
    const SCorrection aCase[] = {
        {L"CREATE TABLE t( a VARCHAR(300), b INT )", 255, 1, L"CREATE TABLE t( a TEXT, b INT )"},
        {L"CREATE TABLE t( a VARCHAR(100) )", 255, 0, L""},
        {L"CREATE TABLE t( a VARCHAR(255) )", 255, 0, L""},
        {L"CREATE TABLE t( a VARCHAR(256) )", 255, 1, L"CREATE TABLE t( a TEXT )"},
        {L"( a VARCHAR(300), b VARCHAR(20), c VARCHAR(1000) )", 255, 1, L"( a TEXT, b VARCHAR(20), c TEXT )"},
        // Only the type name itself: not inside another word.
        {L"( a NVARCHAR(300), b XVARCHAR(300), c _VARCHAR(300), d VARCHAR2(300) )", 255, 0, L""},
        {L"( aVARCHAR(300) )", 255, 0, L""},
        {L"(VARCHAR(300))", 255, 1, L"(TEXT)"},
        {L"VARCHAR(300)", 255, 1, L"TEXT"},
        // Lengths beyond every integer still count as too long.
        {L"( a VARCHAR(99999999999999999999999999) )", 255, 1, L"( a TEXT )"},
        {L"( a VARCHAR(), b VARCHAR(x) )", 255, 0, L""},
        {L"( a VARCHAR(300", 255, 1, L"( a TEXT"},
        {L"", 255, 0, L""},
        {L"( a VARCHAR(300) )", 100000, 0, L""},
    };
    for (const SCorrection& c : aCase) {
        CTString csOut;
        csOut.Set(L"left over");
        EXPECT_EQ(CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&csOut, c.pszText, L"VARCHAR", c.nMax, L"TEXT"),
                  c.bCorrected)
            << Narrow(c.pszText);
        EXPECT_EQ(std::wstring(csOut.pszGet()), c.pszOut) << Narrow(c.pszText);
    }
    // Without a type name or a text nothing is corrected.
    CTString csOut;
    EXPECT_EQ(CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&csOut, L"( a (300) )", L"", 255, L"TEXT"), 0);
    EXPECT_EQ(CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&csOut, nullptr, L"VARCHAR", 255, L"TEXT"), 0);
    EXPECT_EQ(csOut.nTaille(), 0);
}

// A recording back end that tells when it goes.
class CCountedStatementSQL : public CRecordingStatementSQL {
public:
    CCountedStatementSQL(CNAConnectionDescription* pCnx, CNAError* pError, bool* pbGone)
        : CRecordingStatementSQL(pCnx, pError), m_pbGone(pbGone)
    {
    }
    ~CCountedStatementSQL() override { *m_pbGone = true; }
    bool* m_pbGone;
};

// A statement whose searches count themselves.
class CCountedSearchStatement : public CNAStatement {
public:
    using CNAStatement::CNAStatement;
    CNARecherche* pclAllocRecherche(CNAError* pError) override
    {
        return new CCountedSearch(pError, pclGetConnectionNoRef());
    }
};

class StatementAlone : public ::testing::Test, protected CTableScope {
protected:
    void SetUp() override
    {
        m_pTable->Add(L"a", NA_IT_TEXTE, 11);
        m_pRecord = m_pTable->NewRecord(m_pError, m_pCnx);
        ASSERT_NE(m_pRecord, nullptr);
        m_pSQL = new CCountedStatementSQL(m_pCnx, m_pError, &m_bSQLGone);
        m_pSQL->m_tabColumnName = {L"a"};
        m_pSQL->m_tabRow = {{L"first"}, {L"second"}};
        m_pStatement = new CCountedSearchStatement(m_pError, m_pSQL);
        m_pStatement->AddRef();
        m_pStatement->SetCurrentRecord(m_pRecord);
        EXPECT_EQ(m_pRecord->nGetRef(), 2u);
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pStatement->nRelease(), 0u);
        // The statement gave back what it held.
        EXPECT_TRUE(m_bSQLGone);
        EXPECT_EQ(m_pRecord->nGetRef(), 1u);
        EXPECT_EQ(Live().nSearches, 0);
        m_pRecord->nRelease();
    }
    CNACommand* Command(const wchar_t* pszText)
    {
        CNACommand* p = new CNACommand(m_pError, m_pCnx);
        p->bComplete(pszText, static_cast<unsigned int>(-1));
        p->SetStatementKind(CNAStatement::QT_SELECT);
        return p;
    }

    CNARecord* m_pRecord = nullptr;
    CCountedStatementSQL* m_pSQL = nullptr;
    bool m_bSQLGone = false;
    CNAStatement* m_pStatement = nullptr;
};

TEST_F(StatementAlone, ARunReadsTheRowItLoads)
{
    CNACommand* pCommand = Command(L"SELECT a FROM t");
    m_pStatement->_SetQuery(pCommand);
    CAny v;
    ASSERT_EQ(m_pStatement->bExecuteAndFetch(&v, 1, 1), 1) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(TextW(v), L"first");
    EXPECT_EQ(m_pSQL->m_tabSent, (std::vector<std::string>{"SELECT a FROM t"}));
    // Closed after.
    EXPECT_FALSE(m_pStatement->bParseStarted());
    // An empty result leaves the values.
    m_pSQL->m_tabRow.clear();
    SetW(v, L"kept");
    ASSERT_EQ(m_pStatement->bExecuteAndFetch(&v, 1, 1), 1);
    EXPECT_EQ(TextW(v), L"kept");
}

TEST_F(StatementAlone, FetchedRowsAndValues)
{
    m_pStatement->_SetQuery(Command(L"SELECT a FROM t"));
    ASSERT_EQ(m_pStatement->bExecute(0, 1), 1);
    CAny av[2];
    int bOut = -1;
    ASSERT_EQ(m_pStatement->bFetchData(NA_PARSE_FIRST, &bOut, av, 2), 1);
    EXPECT_EQ(bOut, 0);
    EXPECT_EQ(Text8(av[0]), "first");
    ASSERT_EQ(m_pStatement->bFetchData(NA_PARSE_NEXT, &bOut, av, 2), 1);
    EXPECT_EQ(bOut, 0);
    EXPECT_EQ(Text8(av[0]), "second");
    ASSERT_EQ(m_pStatement->bFetchData(NA_PARSE_NEXT, &bOut, av, 2), 1);
    EXPECT_EQ(bOut, 1);
    // The requested value: the first column of the first row.
    CAny v;
    ASSERT_EQ(m_pStatement->bGetRequestedValue(&v), 1);
    EXPECT_EQ(TextW(v), L"first");
    // A failed fetch leaves the statement out of range and not found.
    m_pSQL->m_bFailFetch = true;
    ASSERT_EQ(m_pStatement->bExecute(0, 1), 1);
    EXPECT_EQ(m_pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 0);
    int bFound = -1, bIn = -1;
    m_pStatement->EvalHTrouve(&bFound, &bIn);
    EXPECT_EQ(bFound, 0);
    EXPECT_EQ(bIn, 0);
}

TEST_F(StatementAlone, AnEmptyTextRunsNothing)
{
    CNACommand* pCommand = new CNACommand(m_pError, m_pCnx);
    EXPECT_EQ(m_pStatement->bExecuteDirectNewCommand(pCommand, 0, 1), 1);
    EXPECT_EQ(m_pStatement->bExecute(0, 1), 1);
    EXPECT_TRUE(m_pSQL->m_tabSent.empty());
    // The rows of a run read one after the other.
    m_pStatement->_SetQuery(Command(L"SELECT a FROM t"));
    ASSERT_EQ(m_pStatement->bExecute(0, 1), 1);
    CAny v;
    ASSERT_EQ(m_pStatement->_vbGetQueryResult(&v, 1), 1);
    EXPECT_EQ(TextW(v), L"first");
    ASSERT_EQ(m_pStatement->_vbGetQueryResult(&v, 1), 1);
    EXPECT_EQ(TextW(v), L"second");
    EXPECT_EQ(m_pStatement->_vbGetQueryResult(&v, 1), 0);
}

TEST_F(StatementAlone, ChangedItemTypesDropTheOriginalRecord)
{
    m_pStatement->_SetQuery(Command(L"SELECT a FROM t"));
    ASSERT_EQ(m_pStatement->bExecute(0, 1), 1);
    ASSERT_EQ(m_pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1);
    ASSERT_NE(m_pStatement->pclGetStmtOriginalRecord(), nullptr);
    m_pStatement->SetRepeatCount(3, 1);
    EXPECT_EQ(m_pRecord->llGetDuplicateRank(), 3);
    EXPECT_EQ(m_pRecord->bDuplicateRankBackward(), 1);
    EXPECT_EQ(m_pStatement->bRepeatBackward(), 1);
    EXPECT_EQ(m_pStatement->bUpdateChangedTypeInCurrentRecord(), 1);
    EXPECT_EQ(m_pStatement->pclGetStmtOriginalRecord(), nullptr);
    EXPECT_EQ(m_pStatement->llGetRepeatCount(), 0);
    EXPECT_EQ(m_pStatement->bRepeatBackward(), 0);
    m_pStatement->SetRepeatCount(2);
    EXPECT_EQ(m_pRecord->bDuplicateRankBackward(), 0);
    // The searches made for a condition are given back.
    CNARecherche* pSearch = m_pStatement->pclGetRecherche();
    ASSERT_NE(pSearch, nullptr);
    pSearch->nRelease();
    EXPECT_EQ(Live().nSearches, 1);
    CNACommand* pWhere = new CNACommand(m_pError, m_pCnx);
    pWhere->AddRef();
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(m_pStatement->bGetClauseWHERE(pWhere), 1);
    EXPECT_TRUE(pWhere->bIsEmpty());
    pWhere->nRelease();
    EXPECT_EQ(Live().nSearches, 1);
}

TEST_F(StatementAlone, MoreRowsFlagAndPendingRefresh)
{
    m_pStatement->SetName(L"a");
    m_pStatement->_SetQuery(Command(L"SELECT a FROM t"));
    ASSERT_EQ(m_pStatement->bExecute(0, 1), 1);
    ASSERT_EQ(m_pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1);
    EXPECT_TRUE(m_pStatement->bMoreRows());
    // Staying on the row: no record save is made of it.
    ASSERT_EQ(m_pStatement->bFetch(NA_PARSE_NEXT, 0, 0, nullptr), 1);
    EXPECT_EQ(m_pStatement->nGetRecordSaveID(), -1);
    ASSERT_NE(m_pStatement->pclGetStmtOriginalRecord(), nullptr);
    EXPECT_EQ(m_pStatement->pclGetStmtOriginalRecord()->nGetRef(), 1u);
    ASSERT_EQ(m_pStatement->bFetch(NA_PARSE_NEXT, 0, 1, nullptr), 1);
    EXPECT_TRUE(m_pStatement->bMoreRows());
    ASSERT_EQ(m_pStatement->bFetch(NA_PARSE_NEXT, 0, 1, nullptr), 1);
    EXPECT_FALSE(m_pStatement->bMoreRows());
    // A run again asked for (the result reset): a next keeps it, a first
    // read drops it; a cause 2 never replaces it.
    m_pStatement->bSetParseNeedUpdate(1, -1);
    m_pStatement->bSetParseNeedUpdate(2, -1);
    EXPECT_EQ(m_pStatement->eParseNeedUpdate(), 1);
    ASSERT_EQ(m_pStatement->bFetch(NA_PARSE_NEXT, 0, 1, nullptr), 1);
    EXPECT_EQ(m_pStatement->eParseNeedUpdate(), 1);
    ASSERT_EQ(m_pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 1);
    EXPECT_EQ(m_pStatement->eParseNeedUpdate(), 0);
    m_pSQL->m_bFailFetch = true;
    ASSERT_EQ(m_pStatement->bExecute(0, 1), 1);
    EXPECT_EQ(m_pStatement->bFetch(NA_PARSE_FIRST, 0, 1, nullptr), 0);
    EXPECT_FALSE(m_pStatement->bMoreRows());
    // Without a command nothing runs.
    CNAStatement* p = new CNAStatement(m_pError, m_pSQL);
    p->AddRef();
    EXPECT_EQ(p->bExecuteDirect(0, 1), 0);
    EXPECT_EQ(p->nRelease(), 0u);
}

TEST_F(StatementAlone, WithoutDirectStatementClosingSucceeds)
{
    CNAStatement* p = new CNAStatement(m_pError, nullptr);
    p->AddRef();
    p->_SetQuery(Command(L"SELECT 1"));
    EXPECT_NE(p->pclGetCommandNoRef(), nullptr);
    EXPECT_EQ(p->Close(), 1);
    EXPECT_EQ(p->ResetQuery(), 1);
    EXPECT_EQ(p->pclGetCommandNoRef(), nullptr);
    // Nothing to run: nothing run.
    EXPECT_EQ(p->bExecute(0, 1), 1);
    // Without a command the kind is a SELECT.
    EXPECT_EQ(p->eGetQueryType(), CNAStatement::QT_SELECT);
    EXPECT_EQ(p->nGetBindDefineFlag(), 0);
    EXPECT_EQ(p->nRelease(), 0u);
}

TEST_F(StatementAlone, ARowThatCannotBeFoundAgain)
{
    m_pError->Reset();
    m_pStatement->CurrentRecordNotFound(L"a", 3, 23);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND));
    EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_ROWGONE);
    EXPECT_TRUE(m_pStatement->bRecordLost());
    EXPECT_NE(std::wstring(m_pError->pszGetError()).find(L"3.23"), std::wstring::npos);
}

TEST_F(StatementAlone, PreparedQueriesAreNotOfferedByTheDirectStatements)
{
    CNACommand* pCommand = Command(L"SELECT a FROM t");
    pCommand->SetStatementKind(CNAStatement::QT_NONE);
    EXPECT_EQ(m_pStatement->bPrepare(pCommand, 2), 1);
    m_pError->Reset();
    EXPECT_EQ(m_pStatement->bExecutePreparedQuery(0, 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_QUERY_TYPE));
    pCommand->SetStatementKind(CNAStatement::QT_SELECT);
    m_pError->Reset();
    EXPECT_EQ(m_pStatement->bPrepare(pCommand, 0), 0);
    EXPECT_EQ(m_pStatement->bExecutePreparedQuery(0, 1), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 0u);
    EXPECT_TRUE(m_pSQL->m_tabSent.empty());
}

} // namespace

namespace {

// The SELECT, UPDATE and DELETE texts of a statement over a data access on
// a closed connection of the MySQL kind.
class StatementText : public ::testing::Test, protected CTableScope {
protected:
    void SetUp() override
    {
        m_pKind = new CMySQLKindConnection;
        m_pKind->AddRef();
        m_pTable.reset(new CTestTable(m_pError, m_pKind, L"T"));
        m_pTable->Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        m_pTable->Add(L"d", NA_IT_I4, 4, CTestTable::DUPLICATES);
        m_pTable->Add(L"dd", NA_IT_I4, 4, CTestTable::DUPLICATES | CNAItemDescription::KF_DESCENDING);
        m_pTable->Add(L"m", NA_IT_MEMOTEXTE, 0, CTestTable::DUPLICATES);
        (*m_pTable)->UpdateRecordSize();
        // The description keeps its best browse item once asked.
        (*m_pTable)->piGetBestParseItemDesc()->nExternalRelease();
        for (unsigned int i = 0; i < (*m_pTable)->nGetNumItems(); i++)
            m_tabHeld.push_back((*m_pTable)->pclNAGetItemNoRef(static_cast<int>(i))->nGetExternalRef());
        m_pAccess = new CNADataAccess(m_pTable->Get(), m_pKind, m_pError);
        m_pAccess->AddRef();
        CNARecord* pRecord = m_pAccess->_pclAllocRecord(m_pError);
        pRecord->AddRef();
        ASSERT_EQ(pRecord->bInitRecord(m_pTable->Get(), nullptr, m_pKind), 1);
        m_pAccess->_SetCurrentRecord(pRecord);
        pRecord->nRelease();
        m_pStatement = new CCountedSearchStatement(m_pAccess, m_pError);
        m_pStatement->AddRef();
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pStatement->nRelease(), 0u);
        EXPECT_EQ(m_pAccess->nRelease(), 0u);
        EXPECT_EQ(Live().nSearches, 0);
        for (unsigned int i = 0; i < (*m_pTable)->nGetNumItems(); i++)
            EXPECT_EQ((*m_pTable)->pclNAGetItemNoRef(static_cast<int>(i))->nGetExternalRef(), m_tabHeld[i]) << i;
        m_pTable.reset();
        m_pKind->nRelease();
    }
    std::string Select(const wchar_t* pszItem, int bAscending, unsigned int nFlags = 0)
    {
        CNACommand* pCommand = new CNACommand(m_pError, m_pKind);
        pCommand->AddRef();
        const int bBuilt = m_pStatement->bBuildQuerySELECT(pCommand, nFlags, pszItem, bAscending, nullptr);
        const std::string s = bBuilt ? Narrow(pCommand->pszGetOriginalSQL()) : "(refused)";
        pCommand->nRelease();
        return s;
    }

    CMySQLKindConnection* m_pKind = nullptr;
    std::vector<unsigned int> m_tabHeld; // the items' references before the test
    CNADataAccess* m_pAccess = nullptr;
    CNAStatement* m_pStatement = nullptr;
};

TEST_F(StatementText, OrderByTermsAndTieBreaks)
{
    // The key finds a row: the 8-bit memo comes in UTF-8 only with a
    // browse on it, whose order needs its exact form.
    const std::string strSelect = "SELECT `id`,`d`,`dd`,`m` FROM `T`";
    struct SCase {
        const wchar_t* pszItem;
        int bAscending;
        unsigned int nTieBreak;
        unsigned int nFlags;
        const char* pszOrder;
        int bInverted;
    } aCase[] = {
        {L"d", 1, 3, 0, " ORDER BY `d`,`id`", 0},
        {L"d", 0, 3, 0, " ORDER BY `d` DESC,`id` DESC", 1},
        {L"d", 1, 3, CNAStatement::WPF_NO_TIEBREAK, " ORDER BY `d`", 0},
        {L"d", 1, 2, 0, " ORDER BY `d`", 0},
        {L"d", 0, 2, 0, " ORDER BY `d` DESC,`id` DESC", 1},
        {L"d", 0, 1, 0, " ORDER BY `d` DESC", 1},
        {L"id", 1, 3, 0, " ORDER BY `id`", 0},
        // An item sorted descending is written so, and read as written; a
        // browse against its order turns the fetch round.
        {L"dd", 1, 3, 0, " ORDER BY `dd` DESC,`id` DESC", 0},
        {L"dd", 0, 3, 0, " ORDER BY `dd`,`id`", 1},
        // A memo the connection cannot order by: the tie-break alone.
        {L"m", 1, 3, 0, " ORDER BY `id`", 0},
        // No item: no order.
        {L"", 1, 3, 0, "", 0},
    };
    for (const SCase& c : aCase) {
        m_pStatement->SetTieBreak(c.nTieBreak);
        const std::string strColumns =
            std::wstring(c.pszItem) == L"m" ? "SELECT `id`,`d`,`dd`,CONVERT(CONVERT(`m` USING utf8) USING binary) FROM `T`"
                                            : strSelect;
        EXPECT_EQ(Select(c.pszItem, c.bAscending, c.nFlags), strColumns + c.pszOrder) << Narrow(c.pszItem);
        EXPECT_EQ(m_pStatement->bInvertFetch(), c.bInverted) << Narrow(c.pszItem);
        EXPECT_EQ(m_pStatement->nGetBindDefineFlag(), 2);
    }
    // An item the description does not know.
    m_pError->Reset();
    EXPECT_EQ(Select(L"nothing", 1), "(refused)");
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_ORDER_ITEM_MISSING));
    EXPECT_NE(std::wstring(m_pError->pszGetError()).find(L"nothing"), std::wstring::npos);
}

TEST_F(StatementText, WritesAimedAtTheRowRead)
{
    CNARecord* pRecord = m_pAccess->pclGetCurrentRecordNoRef();
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 7);
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"id")->bSetValue(&v, 0), 1);
    ASSERT_TRUE(pRecord->bCopyCurrentRecordToOriginalRecord());
    SetAs<int>(v, TQTYPE_I4, 9);
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"id")->bSetValue(&v, 0), 1);
    CNACommand* pCommand = new CNACommand(m_pError, m_pKind);
    pCommand->AddRef();
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETE, pCommand, 0), 1);
        EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), "DELETE FROM `T` WHERE `id`=");
        EXPECT_EQ(pCommand->nGetParameterNbr(), 1);
    }
    ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETEALL, pCommand, 0), 1);
    EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), "DELETE FROM `T`");
    EXPECT_EQ(pCommand->eGetQueryType(), CNAStatement::QT_DELETEALL);
    ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DROPTABLE, pCommand, 0), 1);
    EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), "DROP TABLE `T`");
    m_pKind->SetKind(1);
    ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DROPTABLE, pCommand, 0), 1);
    EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), "DROP TABLE `T` CASCADE CONSTRAINT");
    // The current values come back: the id set stays 9.
    CAny w;
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"id")->bGetCurrentValue(&w, 0), 1);
    int n = 0;
    ASSERT_EQ(w.nGetINT(&n), 0);
    EXPECT_EQ(n, 9);
    pCommand->nRelease();
}

// A record read without its key finds its row by every value: MySQL limits
// the write to one row, another kind of server is sent the condition alone.
TEST_F(StatementText, WritesWithoutAKeyLimitedOnMySQLOnly)
{
    CNARecord* pRecord = m_pAccess->pclGetCurrentRecordNoRef();
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 4);
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"d")->bSetValue(&v, 0), 1);
    ASSERT_TRUE(pRecord->bCopyCurrentRecordToOriginalRecord());
    CNACommand* pCommand = new CNACommand(m_pError, m_pKind);
    pCommand->AddRef();
    ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETE, pCommand, 0), 1);
    const std::string strMySQL = Narrow(pCommand->pszGetOriginalSQL());
    EXPECT_EQ(strMySQL.compare(0, 22, "DELETE FROM `T` WHERE "), 0) << strMySQL;
    ASSERT_GE(strMySQL.size(), 8u);
    EXPECT_EQ(strMySQL.substr(strMySQL.size() - 8), " LIMIT 1") << strMySQL;
    m_pKind->SetKind(1);
    ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETE, pCommand, 0), 1);
    EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), strMySQL.substr(0, strMySQL.size() - 8));
    pCommand->nRelease();
}

// A record read with its key refused: the condition that finds its row
// compares the key with the server's text, never with NULL; a text it
// cannot write so refuses the write with the item's failure. An add then
// drops every refusal (it writes every item), a modify that writes none of
// the refused items keeps them.
TEST_F(StatementText, ARefusedValueIsComparedWithTheServersText)
{
    CNARecord* pRecord = m_pAccess->pclGetCurrentRecordNoRef();
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 4);
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"d")->bSetValue(&v, 0), 1);
    CNARecordValue* pCurrent = pRecord->pclGetCurrentRecordValueNoRef();
    CXError* pFailure = new CXError(&gstMyModuleInfo32);
    pFailure->SetUserErrorMessage(&gstMyModuleInfo32, ZTERR_CONVERSION, L"id refused");
    ASSERT_TRUE(pCurrent->bAddRefusal(L"id", L"-01:00:00", pFailure));
    ASSERT_TRUE(pRecord->bCopyCurrentRecordToOriginalRecord());
    CNACommand* pCommand = new CNACommand(m_pError, m_pKind);
    pCommand->AddRef();
    ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETE, pCommand, 0), 1);
    EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), "DELETE FROM `T` WHERE `id`='-01:00:00' LIMIT 1");

    // Texts of no form a condition writes as they are: nothing is built.
    for (const wchar_t* pszText : {L"", L"1e3'", L"x'00'"}) {
        SCOPED_TRACE(Narrow(pszText));
        CNARecordValue* pOriginal = pRecord->pclGetOriginalRecordValueNoRef();
        ASSERT_TRUE(pOriginal->bDropRefusal(L"id"));
        ASSERT_TRUE(pOriginal->bAddRefusal(L"id", pszText, pFailure));
        m_pError->Reset();
        EXPECT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETE, pCommand, 0), 0);
        EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));
        EXPECT_NE(std::wstring(m_pError->pszGetError()).find(L"id refused"), std::wstring::npos);
    }

    // A refresh finds the record again by the server's text as well; one it
    // cannot write fails the refresh's condition with the item's failure,
    // nothing written.
    for (const wchar_t* pszText : {L"x'00'", L"-01:00:00"}) {
        SCOPED_TRACE(Narrow(pszText));
        ASSERT_TRUE(pCurrent->bDropRefusal(L"id"));
        ASSERT_TRUE(pCurrent->bAddRefusal(L"id", pszText, pFailure));
        const int nSave = m_pAccess->nKeepCurrentRecordSave();
        m_pError->Reset();
        ASSERT_EQ(m_pStatement->bSetParseNeedUpdate(1, nSave), 1);
        EXPECT_EQ(m_pError->nGetUserErrorCode(), 0u);
        // The record changes meanwhile: the refresh keeps the save's.
        ASSERT_TRUE(pCurrent->bDropRefusal(L"id"));
        CNARecherche* pSearch = m_pStatement->pclGetRecherche();
        ASSERT_NE(pSearch, nullptr);
        m_pStatement->GiveRefreshServerValues(pSearch);
        const CNAReadFailure::SRefusal* pst = pSearch->pstGetRefusal(pRecord->pclGetColumnNoRef(L"id"));
        EXPECT_EQ(pst != nullptr ? pst->strText : L"(none)", pszText);
        CNACommand* pCondition = new CNACommand(m_pError, m_pKind);
        pCondition->AddRef();
        INAItemDescription* piId = m_pAccess->piGetItemDescription(L"id");
        ASSERT_EQ(pSearch->bRechercheEnreg(pRecord, piId, NA_PARSE_FIRST, 1, nullptr), 1);
        piId->nExternalRelease();
        const bool bWritten = std::wstring(pszText) != L"x'00'";
        EXPECT_EQ(pSearch->bGetSQL(pCondition, nullptr, pRecord), bWritten ? 1 : 0);
        EXPECT_EQ(Narrow(pCondition->pszGetOriginalSQL()), bWritten ? "`id`='-01:00:00'" : "");
        EXPECT_EQ(m_pError->nGetUserErrorCode(), bWritten ? 0u : static_cast<unsigned int>(ZTERR_CONVERSION));
        pCondition->nRelease();
        pSearch->ResetServerValues();
        EXPECT_EQ(pSearch->pstGetRefusal(pRecord->pclGetColumnNoRef(L"id")), nullptr);
        pSearch->nRelease();
        m_pStatement->bSetParseNeedUpdate(0, -1);
    }
    ASSERT_TRUE(pCurrent->bAddRefusal(L"id", L"-01:00:00", pFailure));
    EXPECT_EQ(m_pStatement->bForgetWrittenRefusals(CNAStatement::QT_UPDATE, 0), 1);
    EXPECT_EQ(RefusedText(pCurrent, L"id"), L"-01:00:00");
    EXPECT_EQ(m_pStatement->bForgetWrittenRefusals(CNAStatement::QT_INSERT, 0), 1);
    EXPECT_EQ(pCurrent->pclGetReadFailureNoRef(), nullptr);
    EXPECT_EQ(m_pStatement->bForgetWrittenRefusals(CNAStatement::QT_INSERT, 0), 1);
    pCommand->nRelease();
}

// A refused item beside a key: the condition compares the key alone, so no
// text of the item, however written, stops the write; a refused key's text
// it cannot write still does. A refresh keeps every refusal of its record.
TEST_F(StatementText, ARefusedItemTheConditionLeavesAloneStopsNothing)
{
    CNARecord* pRecord = m_pAccess->pclGetCurrentRecordNoRef();
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 4);
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"id")->bSetValue(&v, 0), 1);
    CNARecordValue* pCurrent = pRecord->pclGetCurrentRecordValueNoRef();
    CXError* pFailure = new CXError(&gstMyModuleInfo32);
    pFailure->SetUserErrorMessage(&gstMyModuleInfo32, ZTERR_CONVERSION, L"d refused");
    CNACommand* pCommand = new CNACommand(m_pError, m_pKind);
    pCommand->AddRef();
    for (const wchar_t* pszText : {L"x'00'", L"-01:00:00"}) {
        SCOPED_TRACE(Narrow(pszText));
        ASSERT_TRUE(pCurrent->bDropRefusal(L"d"));
        ASSERT_TRUE(pCurrent->bAddRefusal(L"d", pszText, pFailure));
        ASSERT_TRUE(pRecord->bCopyCurrentRecordToOriginalRecord());
        m_pError->Reset();
        ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETE, pCommand, 0), 1) << Narrow(m_pError->pszGetError());
        EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), "DELETE FROM `T` WHERE `id`=");
        EXPECT_EQ(pCommand->nGetParameterNbr(), 1);
    }

    // The key refused as well: it is compared by its text, the item still
    // not at all.
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"id")->bSetValueNULL(), 1);
    ASSERT_TRUE(pCurrent->bAddRefusal(L"id", L"-02:00:00", pFailure));
    ASSERT_TRUE(pRecord->bCopyCurrentRecordToOriginalRecord());
    m_pError->Reset();
    ASSERT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETE, pCommand, 0), 1) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), "DELETE FROM `T` WHERE `id`='-02:00:00' LIMIT 1");
    ASSERT_TRUE(pRecord->pclGetOriginalRecordValueNoRef()->bDropRefusal(L"id"));
    ASSERT_TRUE(pRecord->pclGetOriginalRecordValueNoRef()->bAddRefusal(L"id", L"x'01'", pFailure));
    EXPECT_EQ(m_pStatement->bBuildQuery(CNAStatement::QT_DELETE, pCommand, 0), 0);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));

    ASSERT_TRUE(pCurrent->bDropRefusal(L"id"));
    ASSERT_TRUE(pCurrent->bDropRefusal(L"d"));
    ASSERT_TRUE(pCurrent->bAddRefusal(L"d", L"x'00'", pFailure));
    ASSERT_TRUE(pCurrent->bAddRefusal(L"dd", L"-01:00:00", pFailure));
    const int nSave = m_pAccess->nKeepCurrentRecordSave();
    m_pError->Reset();
    ASSERT_EQ(m_pStatement->bSetParseNeedUpdate(1, nSave), 1);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), 0u);
    CNARecherche* pSearch = m_pStatement->pclGetRecherche();
    ASSERT_NE(pSearch, nullptr);
    m_pStatement->GiveRefreshServerValues(pSearch);
    for (const wchar_t* pszItem : {L"d", L"dd", L"id"}) {
        const CNAReadFailure::SRefusal* pst = pSearch->pstGetRefusal(pRecord->pclGetColumnNoRef(pszItem));
        EXPECT_EQ(pst != nullptr ? pst->strText : L"(none)",
                  std::wstring(pszItem) == L"d" ? L"x'00'" : (std::wstring(pszItem) == L"dd" ? L"-01:00:00" : L"(none)"));
        // The refusals are no texts of the result.
        EXPECT_EQ(pSearch->pszGetServerValue(pRecord->pclGetColumnNoRef(pszItem)), nullptr);
    }
    pSearch->ResetServerValues();
    pSearch->nRelease();
    m_pStatement->bSetParseNeedUpdate(0, -1);
    pCommand->nRelease();
}

// A refresh holds one reference on the read failure of its record, given
// back when it has no record to find again and when the statement goes.
TEST_F(StatementText, ARefreshHoldsItsRecordsFailureWhileItNeedsIt)
{
    CNARecordValue* pCurrent = m_pAccess->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef();
    CXError* pFailure = new CXError(&gstMyModuleInfo32);
    pFailure->SetUserErrorMessage(&gstMyModuleInfo32, ZTERR_CONVERSION, L"d refused");
    ASSERT_TRUE(pCurrent->bAddRefusal(L"d", L"-01:00:00", pFailure));
    CXError* pRead = const_cast<CXError*>(pCurrent->pclGetReadFailureNoRef());
    pRead->m_nRefCount++;
    const int nSave = m_pAccess->nKeepCurrentRecordSave();
    CNAStatement* pOther = new CCountedSearchStatement(m_pAccess, m_pError);
    pOther->AddRef();
    const int nHeld = pRead->m_nRefCount;
    ASSERT_EQ(pOther->bSetParseNeedUpdate(1, nSave), 1);
    EXPECT_EQ(pRead->m_nRefCount, nHeld + 1);
    ASSERT_EQ(pOther->bSetParseNeedUpdate(1, -1), 1);
    EXPECT_EQ(pRead->m_nRefCount, nHeld);
    ASSERT_EQ(pOther->bSetParseNeedUpdate(1, nSave), 1);
    EXPECT_EQ(pRead->m_nRefCount, nHeld + 1);
    EXPECT_EQ(pOther->nRelease(), 0u);
    EXPECT_EQ(pRead->m_nRefCount, nHeld);
    pRead->dwRelease();
}

// The statement's original record is the row of a record value of the
// same identity and the same refused values only.
TEST_F(StatementText, TheOriginalRecordIsTheRowOfTheSameIdentityAndRefusals)
{
    CNARecord* pRecord = m_pAccess->pclGetCurrentRecordNoRef();
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 4);
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"d")->bSetValue(&v, 0), 1);
    EXPECT_EQ(m_pStatement->bEqualStmtOriginalRecordId(pRecord->pclGetCurrentRecordValueNoRef()), 0) << "none yet";
    ASSERT_EQ(m_pStatement->bSetStmtOriginalRecord(NA_PARSE_FIRST), 1);
    CNARecordValue* pSame = pRecord->pclGetCurrentRecordValueNoRef()->pclGetClone(CNARecordValue::COPY_ALL);
    ASSERT_NE(pSame, nullptr);
    pSame->AddRef();
    EXPECT_EQ(m_pStatement->bEqualStmtOriginalRecordId(pSame), 1);
    EXPECT_EQ(m_pStatement->bEqualStmtOriginalRecordId(nullptr), 0);
    ASSERT_TRUE(pSame->bAddRefusal(L"dd", L"-01:00:00", new CXError(&gstMyModuleInfo32)));
    EXPECT_EQ(m_pStatement->bEqualStmtOriginalRecordId(pSame), 0) << "a refused value is no NULL";
    pSame->SetReadFailure(nullptr);
    SetAs<int>(v, TQTYPE_I4, 5);
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"d")->bSetValue(&v, 0), 1);
    ASSERT_TRUE(pSame->bCopyNAKXRecord(pRecord->pclGetNAKXRecord()));
    EXPECT_EQ(m_pStatement->bEqualStmtOriginalRecordId(pSame), 0) << "another row";
    pSame->nRelease();
}

TEST_F(StatementText, AStayKeepsTheRowOfARecordSave)
{
    CNARecord* pRecord = m_pAccess->pclGetCurrentRecordNoRef();
    const int nSave = m_pAccess->nKeepCurrentRecordSave();
    ASSERT_GE(nSave, 0);
    ASSERT_EQ(m_pStatement->bSetParseNeedUpdate(1, nSave), 1);
    EXPECT_EQ(m_pAccess->pclGetRecordSaveCacheNoRef()->nGetRecordSaveRef(nSave), 1);
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 4);
    ASSERT_EQ(pRecord->pclGetColumnNoRef(L"d")->bSetValue(&v, 0), 1);
    ASSERT_EQ(m_pStatement->bSetStmtOriginalRecord(CNAStatement::DIRECTION_STAY), 1);
    // The current row kept as another save, the cause as it was.
    EXPECT_NE(m_pStatement->nGetRecordSaveID(), nSave);
    EXPECT_GE(m_pStatement->nGetRecordSaveID(), 0);
    EXPECT_EQ(m_pStatement->eParseNeedUpdate(), 1);
    EXPECT_EQ(m_pStatement->pclGetStmtOriginalRecord(), nullptr);
    m_pStatement->bSetParseNeedUpdate(0, -1);
}

TEST_F(StatementText, FiltersSearchesAndDescriptions)
{
    // The filter kept with its active state comes back with it.
    CAny a;
    SetAs<int>(a, TQTYPE_I4, 3);
    ASSERT_EQ(m_pStatement->bSetFilter(L"d", &a, 1, nullptr, 1, nullptr), 1);
    EXPECT_EQ(m_pStatement->bSetFilter(L"nothing", &a, 1, nullptr, 1, nullptr), 0);
    CNAFilter* pFilter = m_pStatement->pclActivateFilter();
    ASSERT_NE(pFilter, nullptr);
    {
        CNAFilterSave clSave(pFilter);
        m_pStatement->DesactivateFilter();
        m_pStatement->_SetFilter(static_cast<CNAFilter*>(nullptr));
        EXPECT_FALSE(m_pStatement->bExistFilter());
        m_pStatement->_SetFilter(&clSave);
        EXPECT_TRUE(m_pStatement->bExistFilter());
        CNAFilter* pBack = m_pStatement->pclGetFilter();
        EXPECT_EQ(pBack, pFilter);
        pBack->nRelease();
    }
    // A filter another holds is not changed: a new one is made.
    CNAFilter* pHeld = m_pStatement->pclGetFilter();
    ASSERT_EQ(m_pStatement->bSetFilter(L"dd", &a, 1, nullptr, 1, nullptr), 1);
    CNAFilter* pNew = m_pStatement->pclGetFilter();
    EXPECT_NE(pNew, pHeld);
    EXPECT_EQ(pHeld->piGetFetchItem()->pszGetName(), std::wstring(L"d"));
    pNew->nRelease();
    pHeld->nRelease();
    // A filter held by the statement alone is set again in place.
    pHeld = m_pStatement->pclGetFilter();
    pHeld->nRelease();
    ASSERT_EQ(m_pStatement->bSetFilter(L"d", &a, 1, nullptr, 1, nullptr), 1);
    pNew = m_pStatement->pclGetFilter();
    EXPECT_EQ(pNew, pHeld);
    pNew->nRelease();
    pFilter->nRelease();
    // The user search and the internal one go together.
    ASSERT_EQ(m_pStatement->bSetUserSearch(L"d", &a, NA_PARSE_FIRST, 0), 1);
    EXPECT_NE(m_pStatement->pclGetUserSearch()->piGetItemNoRef(), nullptr);
    EXPECT_EQ(m_pStatement->pclGetUserSearch()->nGetFlags(), 1u);
    EXPECT_EQ(m_pStatement->bSetUserSearch(L"nothing", &a, NA_PARSE_FIRST, 1), 0);
    m_pStatement->PrepareInternalSearch();
    m_pStatement->DesactivateRechercheUserAndInternal();
    EXPECT_EQ(m_pStatement->pclGetUserSearch()->piGetItemNoRef(), nullptr);
    EXPECT_FALSE(m_pStatement->bInternalSearch());
    CNARecherche* pSearch = m_pStatement->pclGetRecherche();
    EXPECT_EQ(pSearch->nGetState(), CNARecherche::STATE_INACTIVE);
    pSearch->nRelease();
    // Another description in place of the data access's.
    CTestTable clOther(m_pError, m_pKind, L"U");
    clOther.Add(L"x", NA_IT_I4, 4);
    m_pStatement->SetDataSource(clOther.Get());
    EXPECT_EQ(clOther->nGetExternalRef(), 1u);
    m_pStatement->SetDataSource(m_pTable->Get());
    EXPECT_EQ(clOther->nGetExternalRef(), 0u);
}

TEST_F(StatementAlone, AResultWithoutColumnsIsNoSelect)
{
    m_pSQL->m_tabColumnName.clear();
    m_pSQL->m_tabRow.clear();
    CNACommand* pCommand = Command(L"DO 1");
    pCommand->SetStatementKind(CNAStatement::QT_NONE);
    m_pStatement->_SetQuery(pCommand);
    ASSERT_EQ(m_pStatement->bExecute(0, 1), 1);
    CNADataSourceDescription* pDescription = new CNADataSourceDescription(m_pCnx, m_pError);
    pDescription->AddRef();
    ASSERT_EQ(m_pStatement->bGetQueryStructure(pDescription), 1);
    EXPECT_EQ(m_pStatement->eGetQueryType(), CNAStatement::QT_NORESULT);
    pDescription->nRelease();
    // With columns, a SELECT.
    m_pSQL->m_tabColumnName = {L"a"};
    pCommand->SetStatementKind(CNAStatement::QT_NONE);
    ASSERT_EQ(m_pStatement->bExecute(0, 1), 1);
    pDescription = new CNADataSourceDescription(m_pCnx, m_pError);
    pDescription->AddRef();
    ASSERT_EQ(m_pStatement->bGetQueryStructure(pDescription), 1);
    EXPECT_EQ(m_pStatement->eGetQueryType(), CNAStatement::QT_SELECT);
    EXPECT_EQ(pDescription->nGetNumItems(), 1u);
    pDescription->nRelease();
}

} // namespace
