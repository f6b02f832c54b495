// A transaction after the server ended the session under an earlier one, on
// every road the host begins one: the driver's own entries under a name,
// with table objects writing in two contexts, and the SQL interface.
// However the lost transaction ends, none of its work is ever answered as
// committed, and the next begin gets a new session and a transaction that
// commits. Rows are judged against the same rows written by hand.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>

namespace {

using namespace tableobject;

// The host's steps on one road, each answering what the host gets.
struct SRoad {
    std::function<int()> fnBegin, fnCommit, fnRollBack;
    // nId written through the road's writer n (0 or 1).
    std::function<int(int nId, int n)> fnWrite;
    // A statement outside any transaction.
    std::function<int()> fnRead;
    // The server's error number and the report of the last failure of
    // writer n, or of the transaction entries for kEntries.
    std::function<unsigned int(int n)> fnCode;
    std::function<std::string(int n)> fnReport;
};

constexpr int kEntries = 2;

class TransactionAfterLostSession : public TableObjectServer {
protected:
    TransactionAfterLostSession()
        : TableObjectServer("zt55ls", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB",
                                       "CREATE TABLE r (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB"})
    {
    }
    Rows Table(const char* pszTable)
    {
        return List(std::string("SELECT CONCAT(id, '/', name) FROM ") + pszTable + " ORDER BY id");
    }
    static bool Ended(unsigned int n) { return n == 2006u || n == 2013u; }

    enum eBEFORE { NOTHING, WRITE, BEGIN };
    // Kill inside a transaction that wrote, the host's steps up to the end
    // of the lost transaction, then a new transaction on the same road.
    void Scenarios(const SRoad& road)
    {
        struct {
            const char* pszName;
            eBEFORE eBefore;
            bool bCommit;
            int bEndAnswer;
        } const tab[] = {
            {"commit", NOTHING, true, 0},
            // The server's answer to ROLLBACK, as for any level.
            {"roll-back", NOTHING, false, 0},
            {"a write, then commit", WRITE, true, 0},
            // The write told of the loss: nothing left to ask the server.
            {"a write, then roll-back", WRITE, false, 1},
            // A begin inside the lost transaction reports its loss and
            // leaves it to be ended.
            {"a begin, then commit", BEGIN, true, 0},
            {"a begin, then roll-back", BEGIN, false, 1},
        };
        for (int nCase = 0; nCase < 2 * static_cast<int>(std::size(tab)); nCase++) {
            const auto& c = tab[nCase / 2];
            // The begin right after the end, or after the session came back.
            const bool bComeBack = nCase % 2 == 1;
            SCOPED_TRACE(std::string(c.pszName) + (bComeBack ? ", the session back" : ", a begin at once"));
            ASSERT_TRUE(Admin("DELETE FROM t"));
            ASSERT_TRUE(Admin("DELETE FROM r"));
            ASSERT_EQ(road.fnBegin(), 1) << road.fnReport(kEntries);
            ASSERT_EQ(road.fnWrite(1, 0), 1) << road.fnReport(0);
            ASSERT_EQ(road.fnWrite(11, 1), 1) << road.fnReport(1);
            ASSERT_NO_FATAL_FAILURE(KillSessions());
            if (c.eBefore == WRITE) {
                EXPECT_EQ(road.fnWrite(12, 1), 0);
                EXPECT_TRUE(Ended(road.fnCode(1))) << road.fnReport(1);
                // Refused, not run alone on a new session.
                EXPECT_EQ(road.fnWrite(13, 0), 0);
                EXPECT_TRUE(Ended(road.fnCode(0))) << road.fnReport(0);
            } else if (c.eBefore == BEGIN) {
                EXPECT_EQ(road.fnBegin(), 0);
                EXPECT_TRUE(Ended(road.fnCode(kEntries))) << road.fnReport(kEntries);
                EXPECT_EQ(road.fnBegin(), 0);
                EXPECT_EQ(road.fnWrite(13, 0), 0);
            }
            EXPECT_EQ((c.bCommit ? road.fnCommit : road.fnRollBack)(), c.bEndAnswer) << road.fnReport(kEntries);
            if (c.bEndAnswer == 0) {
                EXPECT_TRUE(Ended(road.fnCode(kEntries))) << road.fnReport(kEntries);
            }
            // Nothing of the killed transaction is on the server.
            EXPECT_EQ(Table("t"), Table("r"));

            if (bComeBack) {
                // Outside a transaction the session comes back at the second
                // statement at the latest; the lost transaction's commit
                // still fails on it.
                int bRead = road.fnRead();
                if (!bRead)
                    bRead = road.fnRead();
                EXPECT_EQ(bRead, 1) << road.fnReport(0);
                EXPECT_EQ(road.fnCommit(), 0);
                EXPECT_TRUE(Ended(road.fnCode(kEntries))) << road.fnReport(kEntries);
                EXPECT_EQ(road.fnRollBack(), 1) << road.fnReport(kEntries);
            }

            // The next transaction at once, on whatever session is left;
            // a begin that needed a new session leaves no error behind.
            ASSERT_EQ(road.fnBegin(), 1) << road.fnReport(kEntries);
            EXPECT_EQ(road.fnCode(kEntries), 0u) << road.fnReport(kEntries);
            ASSERT_EQ(road.fnWrite(2, 0), 1) << road.fnReport(0);
            ASSERT_EQ(road.fnWrite(3, 1), 1) << road.fnReport(1);
            EXPECT_EQ(Table("t"), Table("r"));
            ASSERT_EQ(road.fnCommit(), 1) << road.fnReport(kEntries);
            ASSERT_TRUE(Admin("INSERT INTO r VALUES (2, 'n2'), (3, 'n3')"));
            EXPECT_EQ(Table("t"), Table("r"));
        }
        // After a kill between transactions the begin takes a new session
        // too, and a second kill right after a commit changes nothing.
        for (int i = 0; i < 2; i++) {
            SCOPED_TRACE(i);
            ASSERT_NO_FATAL_FAILURE(KillSessions());
            ASSERT_EQ(road.fnBegin(), 1) << road.fnReport(kEntries);
            EXPECT_EQ(road.fnCode(kEntries), 0u) << road.fnReport(kEntries);
            ASSERT_EQ(road.fnWrite(20 + i, 0), 1) << road.fnReport(0);
            ASSERT_EQ(road.fnCommit(), 1) << road.fnReport(kEntries);
            ASSERT_TRUE(Admin("INSERT INTO r VALUES (" + std::to_string(20 + i) + ", 'n" + std::to_string(20 + i) +
                              "')"));
            EXPECT_EQ(Table("t"), Table("r"));
        }
    }

    // The driver's entries, under the transaction's name, with the table
    // opened in two host contexts.
    SRoad DriverRoad(const wchar_t* pszName, INATable* pi, CHostContext* (&tabContext)[2])
    {
        SRoad road;
        road.fnBegin = [=] { return m_piDriver->bTransactionBegin(m_pHost, pszName); };
        road.fnCommit = [=] { return m_piDriver->bTransactionCommit(m_pHost, pszName); };
        road.fnRollBack = [=] { return m_piDriver->bTransactionRollBack(m_pHost, pszName); };
        road.fnWrite = [=, &tabContext](int nId, int n) {
            CHostContext* pc = tabContext[n];
            SetItem(pi, pc, L"id", CInt(nId));
            SetItem(pi, pc, L"name", L"n" + std::to_wstring(nId));
            return pi->bHAjoute(pc, 0, kNoLock);
        };
        road.fnRead = [=, &tabContext] { return Read(pi, tabContext[0], L"id", FIRST); };
        road.fnCode = [=, &tabContext](int n) {
            return n == kEntries ? ServerCode() : ErrorOf(pi, tabContext[n])->dwGetDataBaseErrorCode();
        };
        road.fnReport = [=, &tabContext](int n) { return n == kEntries ? Report() : Error(pi, tabContext[n]); };
        return road;
    }
};

TEST_F(TransactionAfterLostSession, DriverEntriesWithTableObjectsInTwoContexts)
{
    CHostContext* tabContext[2] = {Context(1), Context(2)};
    INATable* pi = Open(L"t", tabContext[0]);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(pi->bHOuvre(tabContext[1], static_cast<eNA_ACCESS>(0), nullptr), 1) << Error(pi, tabContext[1]);
    Scenarios(DriverRoad(L"T", pi, tabContext));
}

TEST_F(TransactionAfterLostSession, SQLInterfaceTransactions)
{
    const int nCnx = DriverServerTestOf<CPositionDriver>::Open();
    ASSERT_GT(nCnx, 0);
    auto fnError = [this] { return static_cast<CNAError*>(m_piSQL->piGetLastError()); };
    SRoad road;
    int nTrs = 0;
    road.fnBegin = [&] { return m_piSQL->bTrsBegin(&nTrs, nCnx, 0); };
    road.fnCommit = [&] { return m_piSQL->bTrsCommit(nCnx, 0, 0); };
    road.fnRollBack = [&] { return m_piSQL->bTrsRollBack(nCnx, 0, 0); };
    auto fnExecute = [&](const std::wstring& strSQL) {
        int nStatement = -1;
        const int b = m_piSQL->bExecute(&nStatement, nCnx, strSQL.c_str(), nullptr, 0);
        EXPECT_EQ(nStatement, 0);
        return b;
    };
    road.fnWrite = [&](int nId, int) {
        const std::wstring strId = std::to_wstring(nId);
        return fnExecute(L"INSERT INTO t VALUES (" + strId + L", 'n" + strId + L"')");
    };
    road.fnRead = [&] { return fnExecute(L"DO (SELECT COUNT(*) FROM t)"); };
    road.fnCode = [&](int) { return fnError()->dwGetDataBaseErrorCode(); };
    road.fnReport = [&](int) { return Narrow(fnError()->pszGetError()); };
    Scenarios(road);
}

} // namespace
