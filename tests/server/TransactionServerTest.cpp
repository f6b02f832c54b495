// Transactions of a MySQL connection on the private server, seen from a
// second connection: nested levels as savepoints, and the facts an error of
// an open connection carries.
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLDriver.h"

#include "access/driver/NAError.h"
#include "access/driver/NATransaction.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kName[] = L"SQLTransaction";

class TransactionServer : public ServerTest {
protected:
    TransactionServer() : ServerTest("zt17", {"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(20)) ENGINE=InnoDB"}) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        // Table locks run in statements of the driver's SQL interface.
        CNADriver::s_pclDriver = &m_clDriver;
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CMySQLConnection(L"zt17", Host());
        m_pCnx->AddRef();
        ASSERT_EQ(m_pCnx->bOpen(m_pError), 1) << Report();
    }
    void TearDown() override
    {
        if (m_pCnx != nullptr) {
            m_pCnx->bClose(m_pError);
            m_pCnx->nRelease();
        }
        if (m_pError != nullptr)
            m_pError->nRelease();
        CNADriver::s_pclDriver = nullptr;
        ServerTest::TearDown();
    }
    std::string Report() { return Narrow(m_pError->pszGetError()); }
    int Run(const std::string& strSQL) { return m_pCnx->bExecuteQueryNoResult(m_pError, Wide(strSQL).c_str()); }
    Rows Seen() { return List("SELECT id FROM t ORDER BY id"); }

    CMySQLDriver m_clDriver;
    CNAError* m_pError = nullptr;
    CMySQLConnection* m_pCnx = nullptr;
};

TEST_F(TransactionServer, InnerRollBackUndoesTheInnerWorkASecondOneAll)
{
    for (bool bSecondRollBack : {false, true}) {
        SCOPED_TRACE(bSecondRollBack ? "second roll-back" : "outer commit");
        ASSERT_TRUE(Admin("DELETE FROM t"));
        ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, kName), 1) << Report();
        ASSERT_EQ(Run("INSERT INTO t VALUES (1, 'outer')"), 1) << Report();
        ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, kName), 1) << Report();
        ASSERT_EQ(Run("INSERT INTO t VALUES (2, 'inner')"), 1) << Report();
        // Both levels bear the name: the commit is refused and nothing ends.
        EXPECT_EQ(m_pCnx->bTransactionCommit(m_pError, kName), 0);
        EXPECT_EQ(m_pError->dwGetErrorId(), 10u);
        EXPECT_EQ(Seen(), Rows{});
        m_pError->Reset();
        ASSERT_EQ(m_pCnx->bTransactionRollBack(m_pError, kName), 1) << Report();
        EXPECT_EQ(m_pCnx->_bTransactionOpened(), 1);
        if (!bSecondRollBack) {
            ASSERT_EQ(m_pCnx->bTransactionCommit(m_pError, kName), 1) << Report();
            EXPECT_EQ(Seen(), Rows{"1"});
            continue;
        }
        ASSERT_EQ(m_pCnx->bTransactionRollBack(m_pError, kName), 1) << Report();
        EXPECT_EQ(m_pCnx->_bTransactionOpened(), 0);
        // The connection's own view agrees: autocommit again, nothing kept.
        ASSERT_EQ(Run("INSERT INTO t VALUES (3, 'after')"), 1) << Report();
        EXPECT_EQ(Seen(), Rows{"3"});
    }
}

TEST_F(TransactionServer, InnerCommitKeepsItsWorkForTheOuterEnd)
{
    ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, L"A"), 1) << Report();
    ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, L"B"), 1) << Report();
    ASSERT_EQ(Run("INSERT INTO t VALUES (1, 'inner')"), 1) << Report();
    ASSERT_EQ(m_pCnx->bTransactionCommit(m_pError, L"B"), 1) << Report();
    EXPECT_EQ(Seen(), Rows{});
    ASSERT_EQ(m_pCnx->bTransactionRollBack(m_pError, L"A"), 1) << Report();
    EXPECT_EQ(Seen(), Rows{});
}

TEST_F(TransactionServer, LockedTableMakesTheOtherConnectionWaitUntilTheCommit)
{
    ASSERT_TRUE(Admin("INSERT INTO t VALUES (1, 'x')"));
    ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, kName), 1) << Report();
    ASSERT_EQ(m_pCnx->bSQLBloque(m_pError, L"t"), 1) << Report();
    std::string strError;
    // Error 1205 after the server's one-second lock wait.
    EXPECT_FALSE(m_clAdmin.bExecute("UPDATE t SET v = 'y'", strError));
    EXPECT_NE(strError.find("Lock wait timeout"), std::string::npos) << strError;
    ASSERT_EQ(m_pCnx->bTransactionCommit(m_pError, kName), 1) << Report();
    EXPECT_TRUE(Admin("UPDATE t SET v = 'y'"));
}

TEST_F(TransactionServer, ErrorOfAnOpenConnectionCarriesVersionsAndFactsButNoPassword)
{
    EXPECT_EQ(Run("SELEC 1"), 0);
    const CXError* pcl = m_pError->pclGetXError();
    for (auto eInfo : {EIT_INFOCLIENT, EIT_INFOSERVEUR}) {
        const void* p = nullptr;
        ASSERT_TRUE(pcl->bGetInfo(eInfo, &p));
        EXPECT_STRNE(static_cast<const wchar_t*>(p), L"");
    }
    const std::string strReport = Report();
    EXPECT_NE(strReport.find(m_strDatabase), std::string::npos);
    EXPECT_NE(strReport.find(m_server.strUser), std::string::npos);
    EXPECT_EQ(strReport.find(m_server.strPassword), std::string::npos);
}

} // namespace
