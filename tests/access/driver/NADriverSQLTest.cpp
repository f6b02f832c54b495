// The SQL interface over a driver whose connections open without a server
// and record the SQL they are given to run.
#include "access/driver/NADriverSQL.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NATransaction.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/CountingConnection.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

typedef CHostConnectionDescription CHost;

// What the fakes of one test went through.
struct STWorld : STConnectionCounts {
    int nTransactionsMade = 0;
    int nTransactionsDestroyed = 0;
    // Every text any statement sent, in order.
    std::vector<std::string> astrSent;
};

class CFakeTransaction : public CNATransaction {
public:
    CFakeTransaction(CNAConnectionDescription* pcl, STWorld* pst) : CNATransaction(pcl), m_pst(pst)
    {
        m_pst->nTransactionsMade++;
    }
    ~CFakeTransaction() override { m_pst->nTransactionsDestroyed++; }

private:
    STWorld* m_pst;
};

class CFakeConnection : public CCountingConnection {
public:
    CFakeConnection(const wchar_t* pszId, INAConnectionDescription* pi, STWorld* pst)
        : CCountingConnection(pszId, pi, pst), m_pst(pst)
    {
        m_nCnxCodePage = 65001;
        m_eDataSource = DS_MYSQL;
    }
    CNATransaction* pclAllocTransaction() override { return new CFakeTransaction(this, m_pst); }
    int bExecuteQueryNoResult(CNAError*, const wchar_t* pszQuery) override
    {
        const std::wstring s = pszQuery;
        m_pst->astrSent.push_back(std::string(s.begin(), s.end()));
        return 1;
    }

private:
    STWorld* m_pst;
};

class CFakeDriverSQL : public CNADriverSQL {
public:
    CFakeDriverSQL(CNADriver* pclDriver, CNAError* pError, STWorld* pst) : CNADriverSQL(pclDriver, pError), m_pst(pst) {}
    // No direct SQL statement exists yet.
    CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription*, CNAError*) override { return nullptr; }

private:
    STWorld* m_pst;
};

class CFakeDriver : public CNADriver {
public:
    explicit CFakeDriver(STWorld* pst) : m_pst(pst) {}
    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        return new CFakeConnection(pszId, pi, m_pst);
    }
    CNADriverSQL* _pclAllocDriverSQL(CNAError* pError) override { return new CFakeDriverSQL(this, pError, m_pst); }

private:
    STWorld* m_pst;
};

class DriverSQL : public testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        bInitLibrary(nullptr);
        m_pDriver = new CFakeDriver(&m_st);
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
        m_pSQL = static_cast<INADriverSQL*>(m_pDriver->piGetInterface(1));
        ASSERT_NE(m_pSQL, nullptr);
        m_host.SetText(CHost::TXT_CONNECTIONNAME, L"cnx");
        m_host.SetText(CHost::TXT_PROVIDER, L"MySQL");
        m_host.SetText(CHost::TXT_DATASOURCE, L"127.0.0.1");
        m_host.SetText(CHost::TXT_USER, L"root");
        m_host.SetText(CHost::TXT_PASSWORD, L"secret");
    }
    void TearDown() override
    {
        if (m_pSQL != nullptr) {
            EXPECT_EQ(m_pSQL->nExternalRelease(), 0);
        }
        if (m_pDriver != nullptr) {
            EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
        }
        CNADriver::s_pclDriver = nullptr;
        // Each object of the test destroyed once.
        EXPECT_EQ(m_st.nDestroyed, m_st.nMade);
        EXPECT_EQ(m_st.nTransactionsDestroyed, m_st.nTransactionsMade);
    }
    int Open()
    {
        int n = -1;
        EXPECT_EQ(m_pSQL->bOpenConnection(&n, &m_host), 1);
        return n;
    }
    unsigned int Code() { return m_pSQL->piGetLastError()->dwGetErrorId(); }
    std::vector<std::string> Sent()
    {
        std::vector<std::string> a;
        a.swap(m_st.astrSent);
        return a;
    }
    CFakeConnection* Connection(int n)
    {
        CNAConnectionDescription* pcl = m_pDriver->pclGetConnectionByID(n);
        if (pcl == nullptr)
            return nullptr;
        pcl->nRelease();
        return static_cast<CFakeConnection*>(pcl);
    }

    STWorld m_st;
    CHost m_host;
    CFakeDriver* m_pDriver = nullptr;
    INADriverSQL* m_pSQL = nullptr;
};

typedef std::vector<std::string> Texts;

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

TEST_F(DriverSQL, CatalogueSlotsAreNotOfferedYet)
{
    CAny v;
    EXPECT_EQ(m_pSQL->bGetDataBaseList(&v, 0), 0);
    EXPECT_EQ(Code(), 8u);
    EXPECT_EQ(m_pSQL->piGetLastError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    const int nCnx = Open();
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, L"", 0), 0);
    EXPECT_EQ(m_pSQL->piGetLastError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    EXPECT_EQ(m_pSQL->piGetTableDesc(nCnx, L"t", 0), nullptr);
    EXPECT_EQ(Code(), 8u);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
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

TEST_F(DriverSQL, FailedOpenLeavesNothingFiledOrAlive)
{
    m_st.bFailOpen = true;
    int n = -1;
    EXPECT_EQ(m_pSQL->bOpenConnection(&n, &m_host), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CONNECT));
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    EXPECT_EQ(m_st.nDestroyed, m_st.nMade);
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
    EXPECT_EQ(m_pSQL->bFreeStmt(1, 0, 0), 1);
    INAError* pi = nullptr;
    EXPECT_EQ(m_pSQL->bGetStmtLastError(&pi, 1, 0), 0);
    EXPECT_EQ(m_pSQL->bGetStmtLastError(&pi, 1, 999), 0);
    EXPECT_EQ(Code(), 0u);
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
    EXPECT_EQ(Sent(),
              (Texts{"BEGIN", "LOCK TABLE orders", "SELECT * FROM orders FOR UPDATE", "COMMIT"}));
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(DriverSQL, CloseWithATransactionOpenWaitsForItsEnd)
{
    const int nCnx = Open();
    int nTrs = 0;
    ASSERT_EQ(m_pSQL->bTrsBegin(&nTrs, nCnx, 0), 1);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
    EXPECT_EQ(m_st.nCloses, 0);
    EXPECT_EQ(m_pSQL->bTrsCommit(nCnx, 0, 0), 1);
    EXPECT_EQ(m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(DriverSQL, ReleasingTheDriverFirstReachesNoFreedMemory)
{
    const int nCnx = Open();
    int nTrs = 0;
    ASSERT_EQ(m_pSQL->bTrsBegin(&nTrs, nCnx, 0), 1);
    EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
    m_pDriver = nullptr;
    EXPECT_EQ(m_pSQL->bTrsCommit(nCnx, 0, 0), 0);
    int n = -1;
    EXPECT_EQ(m_pSQL->bOpenConnection(&n, &m_host), 0);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 0);
    EXPECT_EQ(m_pSQL->nExternalRelease(), 0);
    m_pSQL = nullptr;
}

} // namespace
