// SQL locks of the MySQL driver on the private server (its lock wait is one
// second): a table lock holds the rows against other connections until the
// commit, a description the driver never used gets user error 14, and a
// host thread waiting on the server for a lock keeps every other thread's
// call on the driver waiting, so that the client library is never entered
// twice at once on one handle.
#include "access/driver/NADriverLock.h"
#include "common/values/Any.h"
#include "common/platform/MyModuleInfo.h"
#include "host/parse/HostSQLParse.h"
#include "tests/support/DriverServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

typedef std::vector<std::string> Texts;
typedef std::chrono::steady_clock Clock;

class SQLLockServer : public DriverServerTest {
protected:
    SQLLockServer()
        : DriverServerTest("zt42lock", {"CREATE TABLE t (id INT PRIMARY KEY, v INT) ENGINE=InnoDB",
                                        "INSERT INTO t VALUES (1, 0), (2, 0)"})
    {
    }
    // Runs fnWaiting on one thread and, once it waits on the server,
    // fnOther on a second; checks that the second ran only after the first
    // returned. fnWaiting reads its error inside the driver's mutex, before
    // the other call can reset it.
    void TwoThreads(const std::function<int()>& fnWaiting, const std::function<int()>& fnOther)
    {
        PFN_COUNT pfnOverlaps = CountingClient("CountingClient_nOverlaps");
        ASSERT_NE(pfnOverlaps, nullptr);
        const int nOverlaps = pfnOverlaps();
        int bWaiting = -1;
        unsigned int nServerError = 0;
        Clock::time_point tWaitingEnd;
        std::thread clWaiting([&] {
            CNADriverLock clLock;
            bWaiting = fnWaiting();
            nServerError = ServerCode();
            tWaitingEnd = Clock::now();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Clock::time_point tOtherStart = Clock::now();
        const int bOther = fnOther();
        const Clock::time_point tOtherEnd = Clock::now();
        clWaiting.join();
        EXPECT_EQ(bWaiting, 0);
        EXPECT_EQ(nServerError, 1205u);
        EXPECT_EQ(bOther, 1) << Report();
        // The second call waited for the first to end.
        EXPECT_GE(tOtherEnd, tWaitingEnd);
        EXPECT_GE(tOtherEnd - tOtherStart, std::chrono::milliseconds(300));
        EXPECT_EQ(pfnOverlaps(), nOverlaps);
    }
};

TEST_F(SQLLockServer, UnusedDescriptionsAndTheQueryForm)
{
    for (int nPoint : {1, 2}) {
        SCOPED_TRACE(nPoint);
        const int b = nPoint == 1 ? m_piDriver->bSQLBloqueTable(m_pHost, L"t")
                                  : m_piDriver->bSQLBloqueRequete(m_pHost, nullptr);
        EXPECT_EQ(b, 0);
        EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
        EXPECT_NE(Report().find("=103." + std::to_string(nPoint)), std::string::npos) << Report();
        EXPECT_NE(Report().find("ztcat"), std::string::npos) << Report();
    }
    // The driver core's lock and the diagnosis ask for a used description too.
    CAny v;
    EXPECT_EQ(m_pDriver->CNADriver::bSQLBloqueTable(m_pHost, L"t"), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
    EXPECT_EQ(m_piDriver->bHConnexionDiagnose(&v, m_pHost, L"x", 0), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
    EXPECT_NE(Report().find("ztcat"), std::string::npos) << Report();
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    EXPECT_TRUE(Sent().empty());
    // A used description: a query lock without a parse has no query, and
    // the connection diagnoses nothing.
    ASSERT_EQ(m_piDriver->bOpenConnection(m_pHost), 1) << Report();
    Sent();
    EXPECT_EQ(m_piDriver->bSQLBloqueRequete(m_pHost, nullptr), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NO_QUERY_TYPE));
    EXPECT_EQ(m_pDriver->CNADriver::bSQLBloqueRequete(m_pHost, nullptr), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NO_QUERY_TYPE));
    EXPECT_EQ(m_piDriver->bHConnexionDiagnose(&v, m_pHost, L"x", 0), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_EQ(m_pDriver->pclGetError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(m_piDriver->bCloseConnection(m_pHost), 1);
}

TEST_F(SQLLockServer, TableLockHoldsTheRowsUntilTheCommit)
{
    ASSERT_EQ(m_piDriver->bOpenConnection(m_pHost), 1) << Report();
    ASSERT_EQ(m_piDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    // The lock answers for itself: an earlier error is gone.
    m_pDriver->pclGetError()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, 9u, L"T");
    EXPECT_EQ(m_piDriver->bSQLBloqueTable(m_pHost, L"t"), 1) << Report();
    EXPECT_EQ(Code(), 0u);
    EXPECT_EQ(Sent(), (Texts{"BEGIN", "SELECT * FROM `t` FOR UPDATE"}));
    // Another connection's change waits the server's time, then fails.
    const int nOther = Open();
    int nStmt = -1;
    EXPECT_EQ(m_piSQL->bExecute(&nStmt, nOther, L"UPDATE t SET v = 1 WHERE id = 2", nullptr, 0), 0);
    EXPECT_EQ(ServerCode(), 1205u);
    ASSERT_EQ(m_piDriver->bTransactionCommit(m_pHost, L"T"), 1) << Report();
    EXPECT_EQ(m_piSQL->bExecute(&nStmt, nOther, L"UPDATE t SET v = 1 WHERE id = 2", nullptr, 0), 1) << Report();
    EXPECT_EQ(First("SELECT v FROM t WHERE id = 2"), "1");
    // A table name is a name, never SQL.
    ASSERT_EQ(m_piDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    Sent();
    EXPECT_EQ(m_piDriver->bSQLBloqueTable(m_pHost, L"t` FOR UPDATE; DROP TABLE t; #"), 0);
    EXPECT_EQ(ServerCode(), 1146u);
    EXPECT_EQ(Sent(), Texts{"SELECT * FROM `t`` FOR UPDATE; DROP TABLE t; #` FOR UPDATE"});
    ASSERT_EQ(m_piDriver->bTransactionRollBack(m_pHost, L"T"), 1) << Report();
    EXPECT_EQ(First("SELECT COUNT(*) FROM t"), "2");
    EXPECT_EQ(m_piDriver->bCloseConnection(m_pHost), 1);
}

TEST_F(SQLLockServer, QueryLockHoldsTheRowsOfTheParse)
{
    std::unique_ptr<CHostSQLParse> pParse = CHostSQLParse::pParse(L"SELECT * FROM t WHERE id=1");
    ASSERT_NE(pParse, nullptr);
    ASSERT_EQ(m_piDriver->bOpenConnection(m_pHost), 1) << Report();
    const int nOther = Open();
    int nStmt = -1;
    // The MySQL driver's lock, then the driver core's through the connection.
    for (int bCore = 0; bCore <= 1; bCore++) {
        SCOPED_TRACE(bCore ? "driver core" : "MySQL driver");
        ASSERT_EQ(m_piDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
        Sent();
        EXPECT_EQ(bCore ? m_pDriver->CNADriver::bSQLBloqueRequete(m_pHost, pParse.get())
                        : m_piDriver->bSQLBloqueRequete(m_pHost, pParse.get()),
                  1)
            << Report();
        EXPECT_EQ(Sent(), Texts{"SELECT * FROM t WHERE id=1 FOR UPDATE"});
        // That row waits the server's time and fails; another row changes.
        EXPECT_EQ(m_piSQL->bExecute(&nStmt, nOther, L"UPDATE t SET v = v + 1 WHERE id = 1", nullptr, 0), 0);
        EXPECT_EQ(ServerCode(), 1205u);
        EXPECT_EQ(m_piSQL->bExecute(&nStmt, nOther, L"UPDATE t SET v = v + 1 WHERE id = 2", nullptr, 0), 1)
            << Report();
        ASSERT_EQ(m_piDriver->bTransactionCommit(m_pHost, L"T"), 1) << Report();
        EXPECT_EQ(m_piSQL->bExecute(&nStmt, nOther, L"UPDATE t SET v = v + 1 WHERE id = 1", nullptr, 0), 1)
            << Report();
    }
    EXPECT_EQ(First("SELECT CONCAT(SUM(id = 1 AND v = 2), SUM(id = 2 AND v = 2)) FROM t"), "11");
    EXPECT_EQ(pParse->nUnbalanced(), 0);
    EXPECT_EQ(m_piDriver->bCloseConnection(m_pHost), 1);
}

TEST_F(SQLLockServer, AThreadWaitingForALockKeepsTheOthersWaiting)
{
    // Another client holds the rows.
    ASSERT_TRUE(Admin("BEGIN"));
    ASSERT_TRUE(Admin("SELECT * FROM t FOR UPDATE"));

    // Through INADriver: the second thread asks on the same connection.
    ASSERT_EQ(m_piDriver->bOpenConnection(m_pHost), 1) << Report();
    ASSERT_EQ(m_piDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    int bExists = -1;
    TwoThreads([&] { return m_piDriver->bSQLBloqueTable(m_pHost, L"t"); },
               [&] { return m_piDriver->bTableExists(&bExists, L"t", m_pHost); });
    EXPECT_EQ(bExists, 1);
    ASSERT_EQ(m_piDriver->bTransactionRollBack(m_pHost, L"T"), 1) << Report();
    EXPECT_EQ(m_piDriver->bCloseConnection(m_pHost), 1);

    // Through the SQL interface's slot 38.
    const int nCnx = Open();
    int nTransaction = 0;
    ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nCnx, 0), 1) << Report();
    int nStmt = -1;
    TwoThreads([&] { return m_piSQL->bSQLBloqueTable(nCnx, L"t", 0); },
               [&] { return m_piSQL->bExecute(&nStmt, nCnx, L"DO 1", nullptr, 0); });
    ASSERT_EQ(m_piSQL->bTrsRollBack(nCnx, 0, 0), 1) << Report();
    ASSERT_TRUE(Admin("ROLLBACK"));
}

} // namespace

namespace {

// A lock text ending in a comment: the clause is read as SQL and the row is
// held, or the text is refused and nothing is sent.
TEST_F(SQLLockServer, AQueryEndingInACommentIsLockedOrRefused)
{
    struct Case {
        const wchar_t* pszQuery;
        bool bNoBackslash;
        bool bHeld; // false: refused
    } const cases[] = {
        {L"SELECT * FROM t WHERE id=1 -- the first", false, true},
        {L"SELECT * FROM t WHERE id=1 # the first", false, true},
        {L"SELECT * FROM t WHERE id=1 /* the first */", false, true},
        {L"SELECT * FROM t WHERE id=1 -- 'a\\' /*", false, true},
        // A backslash that escapes nothing in this mode.
        {L"SELECT * FROM t WHERE id=1 AND 'a\\' <> 'b' -- the first", true, true},
        {L"SELECT * FROM t WHERE id=1 /* the first", false, false},
        {L"SELECT * FROM t WHERE id=1 AND 'a\\' <> 'b' /* the first", true, false},
    };
    const int nCnx = Open();
    const int nOther = Open();
    int nStmt = -1;
    for (const Case& k : cases) {
        SCOPED_TRACE(Narrow(k.pszQuery));
        ASSERT_EQ(m_piSQL->bExecute(&nStmt, nCnx,
                                    k.bNoBackslash ? L"SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES'"
                                                   : L"SET SESSION sql_mode = DEFAULT",
                                    nullptr, 0),
                  1)
            << Report();
        int nTransaction = 0;
        ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nCnx, 0), 1) << Report();
        Sent();
        const int bLocked = m_piSQL->bSQLBloqueRequete(nCnx, k.pszQuery, 0);
        if (k.bHeld) {
            EXPECT_EQ(bLocked, 1) << Report();
            EXPECT_EQ(m_piSQL->bExecute(&nStmt, nOther, L"UPDATE t SET v = v + 1 WHERE id = 1", nullptr, 0), 0);
            EXPECT_EQ(ServerCode(), 1205u) << "the row is held";
        } else {
            EXPECT_EQ(bLocked, 0);
            EXPECT_EQ(m_piSQL->piGetLastError()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_EXPRESSION_REFUSED));
            EXPECT_TRUE(Sent().empty());
        }
        EXPECT_EQ(m_piSQL->bExecute(&nStmt, nOther, L"UPDATE t SET v = v + 1 WHERE id = 2", nullptr, 0), 1)
            << Report();
        ASSERT_EQ(m_piSQL->bTrsRollBack(nCnx, 0, 0), 1) << Report();
    }
    EXPECT_EQ(First("SELECT v FROM t WHERE id = 1"), "0");
}

} // namespace
