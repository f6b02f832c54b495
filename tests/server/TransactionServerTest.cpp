// Transactions of a MySQL connection on the private server, seen from a
// second connection: nothing before the commit, nothing after a roll-back,
// nested levels as savepoints, table locks, and the facts an error of an
// open connection carries.
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLDriver.h"

#include "access/driver/NAError.h"
#include "access/driver/NATransaction.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/ClientLibrary.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/TestServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

typedef std::vector<std::string> Rows;

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

const wchar_t kName[] = L"SQLTransaction";

class TransactionServer : public testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        std::string strError;
        ASSERT_TRUE(CTestServer::bGet(m_server, strError)) << strError;
        ASSERT_TRUE(m_clOther.bConnect(true, strError)) << strError;
        static int s_n = 0;
        m_strDatabase = "zt17_" + std::to_string(getpid()) + "_" + std::to_string(++s_n);
        ASSERT_TRUE(m_clOther.bExecute("CREATE DATABASE `" + m_strDatabase + "`", strError)) << strError;
        ASSERT_TRUE(m_clOther.bExecute("CREATE TABLE `" + m_strDatabase +
                                           "`.t (id INT PRIMARY KEY, v VARCHAR(20)) ENGINE=InnoDB",
                                       strError))
            << strError;
        DescribeTestServer(&m_host, m_server, L"zt17", m_strDatabase, Wide(m_server.strPassword), L"");
        // Table locks run in statements of the driver's SQL interface.
        CNADriver::s_pclDriver = &m_clDriver;
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CMySQLConnection(L"zt17", &m_host);
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
        std::string strError;
        m_clOther.bExecute("DROP DATABASE IF EXISTS `" + m_strDatabase + "`", strError);
    }
    std::string Report()
    {
        const wchar_t* psz = m_pError->pszGetError();
        return psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : std::string();
    }
    int Run(const std::string& strSQL) { return m_pCnx->bExecuteQueryNoResult(m_pError, Wide(strSQL).c_str()); }
    // The ids stored, as the other connection sees them.
    Rows Seen()
    {
        Rows tab;
        std::string strError;
        EXPECT_TRUE(m_clOther.bList("SELECT id FROM `" + m_strDatabase + "`.t ORDER BY id", tab, strError))
            << strError;
        return tab;
    }

    CTestServer m_server;
    CClientLibrary m_clOther;
    std::string m_strDatabase;
    CHostConnectionDescription m_host;
    CMySQLDriver m_clDriver;
    CNAError* m_pError = nullptr;
    CMySQLConnection* m_pCnx = nullptr;
};

TEST_F(TransactionServer, NothingIsSeenBeforeTheCommitNorAfterTheRollBack)
{
    ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, kName), 1) << Report();
    ASSERT_EQ(Run("INSERT INTO t VALUES (1, 'a')"), 1) << Report();
    EXPECT_EQ(Seen(), Rows{});
    ASSERT_EQ(m_pCnx->bTransactionCommit(m_pError, kName), 1) << Report();
    EXPECT_EQ(Seen(), Rows{"1"});
    ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, kName), 1) << Report();
    ASSERT_EQ(Run("INSERT INTO t VALUES (2, 'b')"), 1) << Report();
    ASSERT_EQ(m_pCnx->bTransactionRollBack(m_pError, kName), 1) << Report();
    EXPECT_EQ(Seen(), Rows{"1"});
}

TEST_F(TransactionServer, InnerRollBackUndoesOnlyTheInnerWork)
{
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
    ASSERT_EQ(m_pCnx->bTransactionCommit(m_pError, kName), 1) << Report();
    EXPECT_EQ(Seen(), Rows{"1"});
}

TEST_F(TransactionServer, SecondRollBackUndoesAll)
{
    ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, kName), 1) << Report();
    ASSERT_EQ(Run("INSERT INTO t VALUES (1, 'outer')"), 1) << Report();
    ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, kName), 1) << Report();
    ASSERT_EQ(Run("INSERT INTO t VALUES (2, 'inner')"), 1) << Report();
    ASSERT_EQ(m_pCnx->bTransactionRollBack(m_pError, kName), 1) << Report();
    ASSERT_EQ(m_pCnx->bTransactionRollBack(m_pError, kName), 1) << Report();
    EXPECT_EQ(m_pCnx->_bTransactionOpened(), 0);
    // The connection's own view agrees: autocommit again, nothing kept.
    ASSERT_EQ(Run("INSERT INTO t VALUES (3, 'after')"), 1) << Report();
    EXPECT_EQ(Seen(), Rows{"3"});
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

TEST_F(TransactionServer, LockedTableMakesTheOtherConnectionWait)
{
    std::string strError;
    ASSERT_TRUE(m_clOther.bExecute("INSERT INTO `" + m_strDatabase + "`.t VALUES (1, 'x')", strError)) << strError;
    ASSERT_EQ(m_pCnx->bTransactionBegin(m_pError, kName), 1) << Report();
    ASSERT_EQ(m_pCnx->bSQLBloque(m_pError, L"t"), 1) << Report();
    const auto tStart = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_clOther.bExecute("UPDATE `" + m_strDatabase + "`.t SET v = 'y'", strError));
    const auto nWaited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tStart).count();
    // Error 1205 after the server's one-second lock wait.
    EXPECT_NE(strError.find("Lock wait timeout"), std::string::npos) << strError;
    EXPECT_GE(nWaited, 900);
    ASSERT_EQ(m_pCnx->bTransactionCommit(m_pError, kName), 1) << Report();
    EXPECT_TRUE(m_clOther.bExecute("UPDATE `" + m_strDatabase + "`.t SET v = 'y'", strError)) << strError;
}

TEST_F(TransactionServer, ErrorOfAnOpenConnectionCarriesVersionsAndFactsButNoPassword)
{
    EXPECT_EQ(Run("SELEC 1"), 0);
    const CXError* pcl = m_pError->pclGetXError();
    const void* p = nullptr;
    ASSERT_TRUE(pcl->bGetInfo(EIT_INFOCLIENT, &p));
    EXPECT_STRNE(static_cast<const wchar_t*>(p), L"");
    ASSERT_TRUE(pcl->bGetInfo(EIT_INFOSERVEUR, &p));
    EXPECT_STRNE(static_cast<const wchar_t*>(p), L"");
    const std::wstring strReport = m_pError->pszGetError();
    EXPECT_NE(strReport.find(Wide(m_strDatabase)), std::wstring::npos);
    EXPECT_NE(strReport.find(Wide(m_server.strUser)), std::wstring::npos);
    EXPECT_EQ(strReport.find(Wide(m_server.strPassword)), std::wstring::npos);
}

} // namespace
