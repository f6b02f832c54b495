// The SQL interface over a driver whose connections open without a server
// and whose statements record what they are given to send.
#include "tests/support/FakeDriverSQL.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST_F(DriverSQL, FixedAnswers)
{
    EXPECT_EQ(m_pSQL->nGetVersion(), 4);
    EXPECT_EQ(m_pSQL->nGetCompatSince(), 2);
    EXPECT_EQ(m_pSQL->nGetNAVersion(), -1);
    EXPECT_EQ(m_pSQL->nGetNACompatSince(), -1);
    EXPECT_EQ(m_pSQL->piGetInterface(1), nullptr);
    EXPECT_EQ(m_pSQL->pReservedFct3(nullptr), nullptr);
    EXPECT_EQ(m_pSQL->bLoadNativeDll(nullptr, 0), 1);
    EXPECT_EQ(m_pSQL->bFreeNativeDll(nullptr, 0), 1);
    EXPECT_EQ(m_pSQL->piGetLastError(), m_pDriver->pclGetError());
    CAny v;
    EXPECT_EQ(m_pSQL->bGetColumnTypeList(&v, 0, 0), 1);
    EXPECT_EQ(TextW(v), L"");
}

TEST_F(DriverSQL, TwoOpensGiveTwoConnectionsUnderTheirOwnKeys)
{
    const int n1 = Open();
    const int n2 = Open();
    EXPECT_NE(n1, n2);
    const int nLast = CNADriverSQL::m_gnCnxNameGenerator;
    const std::wstring s1 = Connection(n1)->pszGetIdentification();
    const std::wstring s2 = Connection(n2)->pszGetIdentification();
    const std::wstring sEnd1 = L";SQLConnecte" + std::to_wstring(nLast - 1);
    const std::wstring sEnd2 = L";SQLConnecte" + std::to_wstring(nLast);
    EXPECT_EQ(s1.substr(s1.size() - sEnd1.size()), sEnd1);
    EXPECT_EQ(s2.substr(s2.size() - sEnd2.size()), sEnd2);
    EXPECT_EQ(Connection(n1)->bOpenedBySQL(), 1);
    EXPECT_EQ(m_st.nOpens, 2);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 2u);
}

TEST_F(DriverSQL, CloseEndsTheConnectionAndASecondCloseAnswersOne)
{
    const int n = Open();
    EXPECT_EQ(m_pSQL->bCloseConnection(n), 1);
    EXPECT_EQ(m_st.nCloses, 1);
    EXPECT_EQ(m_st.nDestroyed, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    EXPECT_EQ(m_pSQL->bCloseConnection(n), 1);
}

TEST_F(DriverSQL, FailedOpensLeaveNothingFiledOrAlive)
{
    struct { const char* pszName; bool STWorld::*pbFlag; unsigned int nCode; } tab[] = {
        {"refused", &STWorld::bFailOpen, ZTERR_CONNECT},
        {"no connection object", &STWorld::bNoConnectionObject, ZTERR_NO_MEMORY},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszName);
        m_st.*t.pbFlag = true;
        int n = -1;
        EXPECT_EQ(m_pSQL->bOpenConnection(&n, &m_host), 0);
        EXPECT_EQ(n, 0);
        EXPECT_EQ(Code(), t.nCode);
        EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
        EXPECT_EQ(m_st.nDestroyed, m_st.nMade);
        m_st.*t.pbFlag = false;
    }
}

TEST_F(DriverSQL, UnknownConnectionAnswersZeroWithoutError)
{
    int nStmt = -1;
    EXPECT_EQ(m_pSQL->bExecute(&nStmt, 999, L"SELECT 1", nullptr, 0), 0);
    EXPECT_EQ(nStmt, 0);
    EXPECT_EQ(Code(), 0u);
    int nTrs = 77;
    EXPECT_EQ(m_pSQL->bTrsBegin(&nTrs, 999, 0), 0);
    EXPECT_EQ(nTrs, 77);
    EXPECT_EQ(m_pSQL->bTrsCommit(999, 0, 0), 0);
    EXPECT_EQ(m_pSQL->bSQLBloqueTable(999, L"t", 0), 0);
    EXPECT_EQ(Code(), 0u);
    EXPECT_EQ(m_st.nStatementsMade, 0);
}

TEST_F(DriverSQL, QueryWithoutColumnsGivesStatementZero)
{
    const int nCnx = Open();
    int b = 0;
    EXPECT_EQ(Execute(nCnx, L"UPDATE t SET a=1", &b), 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(Sent(), (Texts{"UPDATE t SET a=1"}));
    EXPECT_EQ(m_st.nStatementsDestroyed, 1);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, FailedQueryFilesNothing)
{
    const int nCnx = Open();
    int b = 1;
    EXPECT_EQ(Execute(nCnx, L"FAIL now", &b), 0);
    EXPECT_EQ(b, 0);
    EXPECT_NE(Code(), 0u);
    EXPECT_EQ(m_st.nStatementsDestroyed, 1);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, RowsNamesAndValuesByColumnNumber)
{
    const int nCnx = Open();
    const int nStmt = Execute(nCnx, L"SELECT id, name FROM t");
    ASSERT_GT(nStmt, 0);
    int nCount = -1;
    EXPECT_EQ(m_pSQL->bGetColumnNbr(&nCount, nCnx, nStmt, 0), 1);
    EXPECT_EQ(nCount, 2);
    CAny v;
    EXPECT_EQ(m_pSQL->bGetColumnName(&v, nCnx, nStmt, 2, 0), 1);
    EXPECT_EQ(TextW(v), L"name");
    ASSERT_EQ(m_pSQL->bFetch(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_pSQL->bGetValue(&v, nCnx, nStmt, 1, 0), 1);
    EXPECT_EQ(TextW(v), L"1");
    EXPECT_EQ(m_pSQL->bGetRow(&v, nCnx, nStmt, L"|", 0, 0), 1);
    EXPECT_EQ(TextW(v), L"1|one");
    ASSERT_EQ(m_pSQL->bFetch(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_pSQL->bGetValue(&v, nCnx, nStmt, 2, 0), 1);
    EXPECT_TRUE(v.bIsNull());
    ASSERT_EQ(m_pSQL->bFetch(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_pSQL->bFetch(nCnx, nStmt, 0), 0);
    EXPECT_EQ(m_pSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_st.nStatementsDestroyed, 1);
    EXPECT_EQ(m_pSQL->bFetch(nCnx, nStmt, 0), 0);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

// Two statements read in turns: each call reaches its own statement's row,
// and a freed statement is unknown whichever was read last.
TEST_F(DriverSQL, StatementsReadInTurnsKeepTheirOwnRows)
{
    const int nCnx = Open();
    const int nFirst = Execute(nCnx, L"SELECT id, name FROM t");
    const int nSecond = Execute(nCnx, L"SELECT id, name FROM t");
    ASSERT_GT(nFirst, 0);
    ASSERT_GT(nSecond, 0);
    ASSERT_NE(nFirst, nSecond);
    ASSERT_EQ(m_pSQL->bFetch(nCnx, nFirst, 0), 1);
    ASSERT_EQ(m_pSQL->bFetch(nCnx, nSecond, 0), 1);
    ASSERT_EQ(m_pSQL->bFetch(nCnx, nSecond, 0), 1);
    const struct {
        int nStmt;
        const wchar_t* pszId;
    } reads[] = {{nFirst, L"1"}, {nSecond, L"2"}, {nSecond, L"2"}, {nFirst, L"1"}, {nSecond, L"2"}};
    CAny v;
    for (const auto& r : reads) {
        EXPECT_EQ(m_pSQL->bGetValue(&v, nCnx, r.nStmt, 1, 0), 1) << r.nStmt;
        EXPECT_EQ(TextW(v), r.pszId) << r.nStmt;
    }
    EXPECT_EQ(m_pSQL->bFreeStmt(nCnx, nFirst, 0), 1);
    EXPECT_EQ(m_pSQL->bGetValue(&v, nCnx, nFirst, 1, 0), 0);
    EXPECT_EQ(m_pSQL->bGetValue(&v, nCnx, nSecond, 1, 0), 1);
    EXPECT_EQ(m_pSQL->bFreeStmt(nCnx, nSecond, 0), 1);
    EXPECT_EQ(m_pSQL->bFetch(nCnx, nSecond, 0), 0);
    EXPECT_EQ(m_st.nStatementsDestroyed, 2);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, ColumnsOutsideOneToTheCountAreRefused)
{
    const int nCnx = Open();
    const int nStmt = Execute(nCnx, L"SELECT id, name FROM t");
    ASSERT_EQ(m_pSQL->bFetch(nCnx, nStmt, 0), 1);
    CAny v;
    for (unsigned int nColumn : {0u, 3u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(nColumn);
        EXPECT_EQ(m_pSQL->bGetValue(&v, nCnx, nStmt, nColumn, 0), 0);
        EXPECT_EQ(Code(), 50u);
        EXPECT_EQ(m_pSQL->bGetBLOBValue(&v, nCnx, nStmt, nColumn, 0), 0);
        EXPECT_EQ(Code(), 50u);
        EXPECT_EQ(m_pSQL->bGetColumnName(&v, nCnx, nStmt, nColumn, 0), 0);
        EXPECT_EQ(Code(), 50u);
    }
    EXPECT_EQ(m_pSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, StatementZeroAndUnknownNumbers)
{
    int nCount = -1;
    EXPECT_EQ(m_pSQL->bGetColumnNbr(&nCount, 1, 0, 0), 1);
    EXPECT_EQ(nCount, 0);
    EXPECT_EQ(m_pSQL->bGetColumnNbr(&nCount, 1, 999, 0), 0);
    CAny v;
    EXPECT_EQ(m_pSQL->bFetch(1, 0, 0), 0);
    EXPECT_EQ(m_pSQL->bGetValue(&v, 1, 0, 1, 0), 0);
    EXPECT_EQ(m_pSQL->bGetValue(&v, 1, 999, 1, 0), 0);
    EXPECT_EQ(m_pSQL->bGetRow(&v, 1, 999, L"\t", 0, 0), 0);
    EXPECT_EQ(m_pSQL->bFreeStmt(1, 999, 0), 1);
    // Statement 0 still resets the error, like every other call.
    EXPECT_EQ(m_pSQL->bGetDataBaseList(&v, 0), 0);
    ASSERT_NE(Code(), 0u);
    EXPECT_EQ(m_pSQL->bFreeStmt(1, 0, 0), 1);
    EXPECT_EQ(Code(), 0u);
    INAError* pi = nullptr;
    EXPECT_EQ(m_pSQL->bGetStmtLastError(&pi, 1, 0), 0);
    EXPECT_EQ(m_pSQL->bGetStmtLastError(&pi, 1, 999), 0);
    EXPECT_EQ(Code(), 0u);
}

TEST_F(DriverSQL, StatementErrorIsReadAfterAFailedFetch)
{
    const int nCnx = Open();
    const int nStmt = Execute(nCnx, L"SELECT id, name FROM t");
    ASSERT_GT(nStmt, 0);
    INAError* pi = nullptr;
    EXPECT_EQ(m_pSQL->bGetStmtLastError(&pi, nCnx, nStmt), 1);
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ(pi->dwGetErrorId(), 0u);
    EXPECT_EQ(m_pSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, TransactionTextsThroughTheSlots)
{
    const int nCnx = Open();
    int nTrs = 0;
    ASSERT_EQ(m_pSQL->bTrsBegin(&nTrs, nCnx, 0), 1);
    ASSERT_EQ(m_pSQL->bTrsBegin(&nTrs, nCnx, 0), 1);
    // Both levels bear the same name.
    EXPECT_EQ(m_pSQL->bTrsCommit(nCnx, 0, 0), 0);
    EXPECT_EQ(Code(), 10u);
    EXPECT_EQ(m_pSQL->bTrsRollBack(nCnx, 0, 0), 1);
    EXPECT_EQ(m_pSQL->bTrsRollBack(nCnx, 0, 0), 1);
    EXPECT_EQ(Sent(), (Texts{"BEGIN", "SAVEPOINT ZT_LEVEL_1", "ROLLBACK TO SAVEPOINT ZT_LEVEL_1", "ROLLBACK"}));
    ASSERT_EQ(m_pSQL->bTrsBegin(&nTrs, nCnx, 0), 1);
    EXPECT_EQ(m_pSQL->bTrsCommit(nCnx, 0, 0), 1);
    EXPECT_EQ(Sent(), (Texts{"BEGIN", "COMMIT"}));
    EXPECT_EQ(nTrs, 0);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, CommitWithoutBeginIsUserErrorNine)
{
    const int nCnx = Open();
    EXPECT_EQ(m_pSQL->bTrsCommit(nCnx, 0, 0), 0);
    EXPECT_EQ(Code(), 9u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, TableLockOnlyInsideATransaction)
{
    const int nCnx = Open();
    EXPECT_EQ(m_pSQL->bSQLBloqueTable(nCnx, L"orders", 0), 0);
    EXPECT_EQ(Code(), 29u);
    EXPECT_EQ(std::wstring(m_pSQL->piGetLastError()->pszGetLogicalTableName()), L"orders");
    EXPECT_EQ(m_pSQL->bSQLBloqueRequete(nCnx, L"SELECT 1", 0), 0);
    EXPECT_EQ(Code(), 29u);
    EXPECT_TRUE(Sent().empty());
    int nTrs = 0;
    ASSERT_EQ(m_pSQL->bTrsBegin(&nTrs, nCnx, 0), 1);
    EXPECT_EQ(m_pSQL->bSQLBloqueTable(nCnx, L"orders", 0), 1);
    EXPECT_EQ(m_pSQL->bSQLBloqueRequete(nCnx, L"SELECT * FROM orders", 0), 1);
    ASSERT_EQ(m_pSQL->bTrsCommit(nCnx, 0, 0), 1);
    EXPECT_EQ(Sent(), (Texts{"BEGIN", "LOCK TABLE orders", "SELECT * FROM orders FOR UPDATE", "COMMIT"}));
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, CloseWithAStatementFiledWaitsForTheStatement)
{
    const int nCnx = Open();
    const int nStmt = Execute(nCnx, L"SELECT id, name FROM t");
    ASSERT_GT(nStmt, 0);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
    EXPECT_EQ(m_st.nCloses, 0);
    EXPECT_EQ(m_pSQL->bFetch(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_pSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(DriverSQL, CloseWithATransactionOpenRollsItBackAndEndsTheConnection)
{
    const int nCnx = Open();
    int nTrs = 0;
    ASSERT_EQ(m_pSQL->bTrsBegin(&nTrs, nCnx, 0), 1);
    ASSERT_EQ(m_pSQL->bTrsBegin(&nTrs, nCnx, 0), 1);
    Sent();
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
    EXPECT_EQ(Sent(), (Texts{"ROLLBACK TO SAVEPOINT ZT_LEVEL_1", "ROLLBACK"}));
    EXPECT_EQ(m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    EXPECT_EQ(m_pSQL->bTrsCommit(nCnx, 0, 0), 0);
}

TEST_F(DriverSQL, ThreadsSharingTheErrorObjectTakeTurns)
{
    const int nCnx = Open();
    const int nRounds = 10000;
    // Two threads fill the shared error, the others reset it: each counts
    // its successes, which must be none.
    std::vector<std::function<int()>> afnCall = {
        [&] { return Execute(nCnx, L"FAIL now") != 0 ? 1 : 0; },
        [&] { return Execute(nCnx, L"FAIL again") != 0 ? 1 : 0; },
        [&] { return m_pSQL->bFetch(nCnx, 424242, 0); },
        [&] { return m_pDriver->piGetInterface(2) != nullptr ? 1 : 0; },
    };
    std::vector<int> anSucceeded(afnCall.size(), 0);
    std::vector<std::thread> aclThread;
    for (size_t i = 0; i < afnCall.size(); i++)
        aclThread.emplace_back([&, i] {
            for (int n = 0; n < nRounds; n++)
                anSucceeded[i] += afnCall[i]();
        });
    for (std::thread& cl : aclThread)
        cl.join();
    EXPECT_EQ(anSucceeded, std::vector<int>(afnCall.size(), 0));
    EXPECT_EQ(Sent().size(), 2u * nRounds);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, StatementsLeftFiledGoWithTheInterface)
{
    const int nCnx = Open();
    ASSERT_GT(Execute(nCnx, L"SELECT 1"), 0);
    ASSERT_GT(Execute(nCnx, L"SELECT 2"), 0);
    EXPECT_EQ(m_st.nStatementsDestroyed, 0);
    // TearDown releases the interface, then the driver.
}

TEST_F(DriverSQL, ReleasingTheDriverFirstReachesNoFreedMemory)
{
    const int nCnx = Open();
    const int nStmt = Execute(nCnx, L"SELECT id, name FROM t");
    ASSERT_GT(nStmt, 0);
    EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
    m_pDriver = nullptr;
    EXPECT_EQ(m_pSQL->bFetch(nCnx, nStmt, 0), 0);
    int n = -1;
    EXPECT_EQ(m_pSQL->bOpenConnection(&n, &m_host), 0);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 0);
    EXPECT_EQ(m_pSQL->nExternalRelease(), 0);
    m_pSQL = nullptr;
}

TEST_F(DriverSQL, ExceptionsStopAtTheSlot)
{
    const int nCnx = Open();
    m_st.bThrow = true;
    int nStmt = -1;
    EXPECT_EQ(m_pSQL->bExecute(&nStmt, nCnx, L"SELECT 1", nullptr, 0), 0);
    EXPECT_EQ(nStmt, 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CANCELLED));
    m_st.bThrow = false;
    // A statement whose run throws is given back too (TearDown counts it).
    EXPECT_EQ(m_pSQL->bExecute(&nStmt, nCnx, L"THROW now", nullptr, 0), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CANCELLED));
    EXPECT_EQ(m_st.nStatementsDestroyed, m_st.nStatementsMade);
    // The connection's look-up reference was given back.
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
    EXPECT_EQ(m_st.nCloses, 1);
}

TEST_F(DriverSQL, DirectQueriesOfTheBaseConnectionRunThroughAStatement)
{
    const int nCnx = Open();
    CFakeConnection* pcl = Connection(nCnx);
    ASSERT_NE(pcl, nullptr);
    // Statements hold their error object.
    CNAError* pErr = new CNAError;
    pErr->AddRef();
    EXPECT_EQ(pcl->bExecuteQueryNoResult(pErr, L"DELETE FROM t"), 1);
    CTString cs;
    EXPECT_EQ(pcl->bGetRequestedValueString(pErr, &cs, 1, L"SELECT id, name FROM t"), 1);
    pErr->nRelease();
    EXPECT_EQ(std::wstring(cs.pszGet()), L"one");
    EXPECT_EQ(Sent(), (Texts{"DELETE FROM t", "SELECT id, name FROM t"}));
    EXPECT_EQ(m_st.nStatementsDestroyed, 2);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

} // namespace
