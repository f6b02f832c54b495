// Writes cut off by the server's death, on a second private server the test
// starts for itself: an UPDATE, an INSERT and a DELETE each wait on a lock
// another session holds when the server is killed by its pid. Each write
// fails within seconds with the lost connection, the record and the saves
// as they were; after a restart on the same data the rows are as before
// (nothing half-written, nothing sent twice) and the same data access
// writes again.
#include "access/driver/NAItemDescription.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordValue.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/ClientLibrary.h"
#include "tests/support/StatementServer.h"
#include "tests/support/TestServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);

class WriteKilledServer : public StatementServerTest {
protected:
    WriteKilledServer() : StatementServerTest("zt40killed") {}

    // The plain server's address, into its own database.
    CTestServer Plain() const
    {
        CTestServer server = m_server;
        server.nPort = m_clPlain.nPort();
        server.strDatabase = "zttest";
        return server;
    }
    CMySQLConnection* ConnectPlain()
    {
        m_tabPlainHost.emplace_back(new CHostConnectionDescription);
        DescribeTestServer(m_tabPlainHost.back().get(), Plain(), L"ztplain", "zttest", Wide(m_server.strPassword),
                           L"SSL Mode=DISABLED");
        CMySQLConnection* p = new CMySQLConnection(L"plain", m_tabPlainHost.back().get());
        p->AddRef();
        m_tabConnection.push_back(p);
        EXPECT_EQ(p->bOpen(m_pError), 1) << ErrorText();
        return p;
    }
    Rows PlainRows()
    {
        CClientLibrary cl;
        std::string strError;
        Rows tab;
        EXPECT_TRUE(cl.bConnect(Plain(), true, strError)) << strError;
        EXPECT_TRUE(cl.bList("SELECT CONCAT(id, '/', v) FROM t ORDER BY id", tab, strError)) << strError;
        return tab;
    }

    CPlainServer m_clPlain;
    std::vector<std::unique_ptr<CHostConnectionDescription>> m_tabPlainHost;
};

TEST_F(WriteKilledServer, AWriteWaitingOnALockFailsCleanlyAndNothingIsSentTwice)
{
    std::string strError;
    // Locks wait long enough for the kill to come first.
    ASSERT_TRUE(m_clPlain.bStart(strError, "--innodb-lock-wait-timeout=60")) << strError;
    for (const int eType : {CNAStatement::QT_UPDATE, CNAStatement::QT_INSERT, CNAStatement::QT_DELETE}) {
        SCOPED_TRACE(eType);
        {
            CClientLibrary clSetUp;
            ASSERT_TRUE(clSetUp.bConnect(Plain(), true, strError)) << strError;
            ASSERT_TRUE(clSetUp.bExecute("DROP TABLE IF EXISTS t", strError)) << strError;
            ASSERT_TRUE(clSetUp.bExecute("CREATE TABLE t (id INT NOT NULL PRIMARY KEY, v INT NULL) ENGINE=InnoDB",
                                         strError))
                << strError;
            ASSERT_TRUE(clSetUp.bExecute("INSERT INTO t VALUES (1, 1), (2, 2)", strError)) << strError;
        }
        const Rows tabBefore = PlainRows();
        CMySQLConnection* pCnx = ConnectPlain();
        STable* pTable = NewTable(pCnx, L"t");
        Both(pTable, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(pTable, L"v", NA_IT_I4, 4, 0, true);
        CTestDataAccess* p = Access(pTable, pCnx);
        // The record as read, then the host's change.
        Set(p, L"id", eType == CNAStatement::QT_INSERT ? L"3" : L"2");
        Set(p, L"v", L"2");
        ASSERT_EQ(p->bSetCurrentRecordRead(0), 1);
        Set(p, L"v", L"20");
        const int nOwn = p->nGetOwnRecordSave();

        // Another session holds the row, or for the INSERT the gap above 2.
        CClientLibrary clHolder;
        ASSERT_TRUE(clHolder.bConnect(Plain(), true, strError)) << strError;
        ASSERT_TRUE(clHolder.bExecute("START TRANSACTION", strError)) << strError;
        Rows tabHeld;
        ASSERT_TRUE(clHolder.bList("SELECT id FROM t WHERE id >= 2 FOR UPDATE", tabHeld, strError)) << strError;

        std::future<int> clWrite = std::async(std::launch::async, [&] {
            switch (eType) {
            case CNAStatement::QT_UPDATE: return p->bHModifie(0, 0, kNoLock);
            case CNAStatement::QT_INSERT: return p->bHAjoute(0, kNoLock);
            default: return p->bHSupprime(0, kNoLock);
            }
        });
        // The write waits on the lock: it has not come back.
        ASSERT_EQ(clWrite.wait_for(std::chrono::milliseconds(800)), std::future_status::timeout);
        m_clPlain.Kill();
        ASSERT_EQ(clWrite.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_EQ(clWrite.get(), 0);
        EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_SERVER)) << ErrorText();
        const unsigned int nServer = m_pError->dwGetDataBaseErrorCode();
        EXPECT_TRUE(nServer == 2013u || nServer == 2006u) << ErrorText();
        // The host's values and the saves as they were.
        EXPECT_EQ(Value(p, L"v"), "20");
        EXPECT_EQ(p->nGetOwnRecordSave(), nOwn);
        EXPECT_EQ(p->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef()->nGetState(), 0u);

        ASSERT_TRUE(m_clPlain.bRestart(strError)) << strError;
        EXPECT_EQ(PlainRows(), tabBefore);
        // The same data access writes again, after at most one more failure.
        int nFailures = 0;
        int bWritten = 0;
        for (int i = 0; i < 2 && !bWritten; i++) {
            m_pError->Reset();
            switch (eType) {
            case CNAStatement::QT_UPDATE: bWritten = p->bHModifie(0, 0, kNoLock); break;
            case CNAStatement::QT_INSERT: bWritten = p->bHAjoute(0, kNoLock); break;
            default: bWritten = p->bHSupprime(0, kNoLock); break;
            }
            nFailures += bWritten ? 0 : 1;
        }
        EXPECT_EQ(bWritten, 1) << ErrorText();
        EXPECT_LE(nFailures, 1);
        const Rows tabAfter = eType == CNAStatement::QT_UPDATE   ? Rows{"1/1", "2/20"}
                              : eType == CNAStatement::QT_INSERT ? Rows{"1/1", "2/2", "3/20"}
                                                                 : Rows{"1/1"};
        EXPECT_EQ(PlainRows(), tabAfter);
        p->DropStatements();
    }
}

// The server dies between two transactions: the begin that meets the ended
// session cannot have a new one and tells both; once the server is back the
// next begin has a new session, and its transaction commits.
TEST_F(WriteKilledServer, ABeginWhileTheServerIsDownFailsAndTheNextOneBegins)
{
    std::string strError;
    ASSERT_TRUE(m_clPlain.bStart(strError)) << strError;
    {
        CClientLibrary clSetUp;
        ASSERT_TRUE(clSetUp.bConnect(Plain(), true, strError)) << strError;
        ASSERT_TRUE(clSetUp.bExecute("CREATE TABLE t (id INT NOT NULL PRIMARY KEY, v INT NULL) ENGINE=InnoDB",
                                     strError))
            << strError;
    }
    CMySQLConnection* pCnx = ConnectPlain();
    ASSERT_EQ(pCnx->bTransactionBegin(m_pError, L"T"), 1) << ErrorText();
    ASSERT_EQ(pCnx->bExecuteQueryNoResult(m_pError, L"INSERT INTO t VALUES (1, 1)"), 1) << ErrorText();
    ASSERT_EQ(pCnx->bTransactionCommit(m_pError, L"T"), 1) << ErrorText();

    m_clPlain.Kill();
    EXPECT_EQ(pCnx->bTransactionBegin(m_pError, L"T"), 0);
    EXPECT_EQ(pCnx->_bTransactionOpened(), 0);
    const std::string strReport = ErrorText();
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_SERVER)) << strReport;
    ASSERT_EQ(m_pError->pclGetXError()->nGetNbSubError(), 1) << strReport;
    EXPECT_EQ(m_pError->pclGetXError()->pclGetSubError(0)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONNECT))
        << strReport;
    m_pError->Reset();
    EXPECT_EQ(pCnx->bTransactionBegin(m_pError, L"T"), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_CONNECT)) << ErrorText();

    ASSERT_TRUE(m_clPlain.bRestart(strError)) << strError;
    m_pError->Reset();
    ASSERT_EQ(pCnx->bTransactionBegin(m_pError, L"T"), 1) << ErrorText();
    ASSERT_EQ(pCnx->bExecuteQueryNoResult(m_pError, L"INSERT INTO t VALUES (2, 2)"), 1) << ErrorText();
    EXPECT_EQ(PlainRows(), Rows{"1/1"});
    ASSERT_EQ(pCnx->bTransactionCommit(m_pError, L"T"), 1) << ErrorText();
    EXPECT_EQ(PlainRows(), (Rows{"1/1", "2/2"}));
}

} // namespace
