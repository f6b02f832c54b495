// The SQL interface of the driver from piQueryInterface on the private
// server: connections of its own, statements and their rows, parameters
// substituted by the client, both code-page modes, transactions and locks
// seen from a second connection, and the facts of an error.
#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/sql/TabValParser.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/AnyValue.h"
#include "tests/support/ClientLibrary.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/TestServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cwctype>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>


namespace {

typedef std::vector<std::string> Rows;

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

std::string Narrow(const wchar_t* psz)
{
    const std::wstring s = psz != nullptr ? psz : L"";
    return std::string(s.begin(), s.end());
}

// The host's parameter table of one query text.
class CParameters {
public:
    explicit CParameters(int n) : m_aValue(new STValParser[n]())
    {
        m_tab.nNbValeur = n;
        m_tab.pTabValeur = m_aValue.get();
        m_tab.nNbRubrique = 0;
        m_tab.pTabRubrique = nullptr;
    }
    // Value i stands at nStart for nLength characters of the text.
    CAny& At(int i, int nStart, int nLength)
    {
        m_aValue[i].nPosition = nStart;
        m_aValue[i].nLongueur = nLength;
        return m_aValue[i].clValeur;
    }
    CTabValParser* p() { return &m_tab; }

private:
    std::unique_ptr<STValParser[]> m_aValue;
    CTabValParser m_tab;
};

class SQLInterfaceServer : public testing::Test {
protected:
    static void SetUpTestSuite() { StartDriverAndSQL(&s_piDriver, &s_piSQL); }
    static void TearDownTestSuite() { StopDriverAndSQL(&s_piDriver, &s_piSQL); }
    void SetUp() override
    {
        std::string strError;
        ASSERT_TRUE(CTestServer::bGet(m_server, strError)) << strError;
        ASSERT_NE(s_piDriver, nullptr);
        ASSERT_NE(s_piSQL, nullptr) << "the driver offers no SQL interface";
        ASSERT_TRUE(m_clOther.bConnect(true, strError)) << strError;
        static int s_n = 0;
        m_strDatabase = "zt17sql_" + std::to_string(getpid()) + "_" + std::to_string(++s_n);
        ASSERT_TRUE(Other("CREATE DATABASE `" + m_strDatabase + "` CHARACTER SET utf8mb4"));
        ASSERT_TRUE(Other("CREATE TABLE `" + m_strDatabase +
                          "`.t (id INT PRIMARY KEY, v VARCHAR(40), b BLOB) ENGINE=InnoDB"));
        Describe(&m_host, Wide(m_server.strPassword), L"");
        m_nConnectionsBefore = Driver()->nGetNbConnection();
    }
    void TearDown() override
    {
        for (int n : m_anOpened)
            s_piSQL->bCloseConnection(n);
        if (s_piDriver != nullptr) {
            // Every connection and statement of the test is gone.
            EXPECT_EQ(Driver()->nGetNbConnection(), m_nConnectionsBefore);
            EXPECT_EQ(Driver()->pclGetDriverSQL()->nGetNbStatement(), 0u);
        }
        Other("DROP DATABASE IF EXISTS `" + m_strDatabase + "`");
    }
    static CNADriver* Driver() { return static_cast<CNADriver*>(s_piDriver); }
    void Describe(CHostConnectionDescription* p, const std::wstring& strPassword, const std::wstring& strOptions)
    {
        DescribeTestServer(p, m_server, L"zt17sql", m_strDatabase, strPassword, strOptions);
    }
    bool Other(const std::string& strSQL)
    {
        std::string strError;
        const bool b = m_clOther.bExecute(strSQL, strError);
        m_strOtherError = strError;
        return b;
    }
    Rows OtherList(const std::string& strSQL)
    {
        Rows tab;
        std::string strError;
        EXPECT_TRUE(m_clOther.bList(strSQL, tab, strError)) << strError;
        return tab;
    }
    Rows Seen() { return OtherList("SELECT id FROM `" + m_strDatabase + "`.t ORDER BY id"); }
    // Server sessions in the test's database.
    std::string Sessions()
    {
        const Rows tab =
            OtherList("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = '" + m_strDatabase + "'");
        return tab.empty() ? "" : tab[0];
    }
    int Open(CHostConnectionDescription* p = nullptr)
    {
        int n = -1;
        EXPECT_EQ(s_piSQL->bOpenConnection(&n, p != nullptr ? p : &m_host), 1) << Report();
        if (n > 0)
            m_anOpened.push_back(n);
        return n;
    }
    int Exec(int nCnx, const std::wstring& strSQL, int* pbResult = nullptr, CTabValParser* pParameters = nullptr)
    {
        int n = -1;
        const int b = s_piSQL->bExecute(&n, nCnx, strSQL.c_str(), pParameters, 0);
        if (pbResult != nullptr)
            *pbResult = b;
        return n;
    }
    std::string Report() { return Narrow(s_piSQL->piGetLastError()->pszGetError()); }
    unsigned int Code() { return s_piSQL->piGetLastError()->dwGetErrorId(); }

    static INADriver* s_piDriver;
    static INADriverSQL* s_piSQL;
    CTestServer m_server;
    CClientLibrary m_clOther;
    std::string m_strOtherError;
    std::string m_strDatabase;
    CHostConnectionDescription m_host;
    std::vector<std::unique_ptr<CHostConnectionDescription>> m_apHost;
    std::vector<int> m_anOpened;
    unsigned int m_nConnectionsBefore = 0;
};

INADriver* SQLInterfaceServer::s_piDriver = nullptr;
INADriverSQL* SQLInterfaceServer::s_piSQL = nullptr;

TEST_F(SQLInterfaceServer, TwoOpensGiveTwoNumbersUnderKeysOfTheirOwn)
{
    const int nFirst = CNADriverSQL::m_gnCnxNameGenerator;
    const int n1 = Open();
    const int n2 = Open();
    EXPECT_NE(n1, n2);
    for (int i : {0, 1}) {
        CNAConnectionDescription* pcl = Driver()->pclGetConnectionByID(i == 0 ? n1 : n2);
        ASSERT_NE(pcl, nullptr);
        const std::wstring s = pcl->pszGetIdentification();
        const std::wstring sEnd = L";SQLConnecte" + std::to_wstring(nFirst + 1 + i);
        EXPECT_EQ(s.substr(s.size() - sEnd.size()), sEnd);
        Driver()->nReleaseConnection(pcl);
    }
    EXPECT_EQ(Sessions(), "2");
}

TEST_F(SQLInterfaceServer, CloseEndsTheServerSessionAndASecondCloseAnswersOne)
{
    const int n = Open();
    EXPECT_EQ(Sessions(), "1");
    EXPECT_EQ(s_piSQL->bCloseConnection(n), 1);
    EXPECT_EQ(Sessions(), "0");
    EXPECT_EQ(Driver()->pclGetConnectionByID(n), nullptr);
    EXPECT_EQ(s_piSQL->bCloseConnection(n), 1);
}

TEST_F(SQLInterfaceServer, WrongPasswordLeavesNothingFiledOrAlive)
{
    CHostConnectionDescription host;
    Describe(&host, L"not the password", L"");
    int n = -1;
    EXPECT_EQ(s_piSQL->bOpenConnection(&n, &host), 0);
    EXPECT_EQ(n, 0);
    EXPECT_NE(Report().find("1045"), std::string::npos) << Report();
    EXPECT_EQ(Driver()->nGetNbConnection(), m_nConnectionsBefore);
    EXPECT_EQ(host.nGetRefCount(), 0);
}

TEST_F(SQLInterfaceServer, UpdateGivesStatementZeroAndAUnionIsWalked)
{
    const int nCnx = Open();
    int b = 0;
    EXPECT_EQ(Exec(nCnx, L"UPDATE t SET v = 'x'", &b), 0);
    EXPECT_EQ(b, 1) << Report();
    const int nStmt = Exec(nCnx, L"SELECT 1 AS one UNION SELECT 2", &b);
    ASSERT_GT(nStmt, 0) << Report();
    EXPECT_EQ(s_piSQL->bFetch(nCnx, nStmt, 0), 1);
    EXPECT_EQ(s_piSQL->bFetch(nCnx, nStmt, 0), 1);
    EXPECT_EQ(s_piSQL->bFetch(nCnx, nStmt, 0), 0);
    EXPECT_EQ(Code(), 0u);
    EXPECT_EQ(s_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    EXPECT_EQ(s_piSQL->bFreeStmt(nCnx, 999, 0), 1);
}

TEST_F(SQLInterfaceServer, ValuesNamesRowsAndNull)
{
    const int nCnx = Open();
    const int nStmt = Exec(nCnx, L"SELECT 7 AS seven, 'abc' AS txt, NULL AS nothing");
    ASSERT_GT(nStmt, 0) << Report();
    int nCount = 0;
    EXPECT_EQ(s_piSQL->bGetColumnNbr(&nCount, nCnx, nStmt, 0), 1);
    EXPECT_EQ(nCount, 3);
    CAny v;
    EXPECT_EQ(s_piSQL->bGetColumnName(&v, nCnx, nStmt, 2, 0), 1);
    EXPECT_EQ(TextW(v), L"txt");
    ASSERT_EQ(s_piSQL->bFetch(nCnx, nStmt, 0), 1);
    EXPECT_EQ(s_piSQL->bGetValue(&v, nCnx, nStmt, 1, 0), 1);
    EXPECT_EQ(TextW(v), L"7");
    EXPECT_EQ(s_piSQL->bGetValue(&v, nCnx, nStmt, 3, 0), 1);
    EXPECT_TRUE(v.bIsNull());
    EXPECT_EQ(s_piSQL->bGetRow(&v, nCnx, nStmt, L";", 0, 0), 1);
    EXPECT_EQ(TextW(v), L"7;abc;");
    EXPECT_EQ(s_piSQL->bGetRow(&v, nCnx, nStmt, L"|", 2, 0), 1);
    EXPECT_EQ(TextW(v), L"7|abc");
    for (unsigned int nColumn : {0u, 4u}) {
        EXPECT_EQ(s_piSQL->bGetValue(&v, nCnx, nStmt, nColumn, 0), 0);
        EXPECT_EQ(Code(), 50u);
    }
    INAError* pi = nullptr;
    EXPECT_EQ(s_piSQL->bGetStmtLastError(&pi, nCnx, nStmt), 1);
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ(pi->dwGetErrorId(), 50u);
    EXPECT_EQ(s_piSQL->bGetStmtLastError(&pi, nCnx, 0), 0);
    EXPECT_EQ(s_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
}

TEST_F(SQLInterfaceServer, SyntaxErrorFilesNothingAndReportsTheServerCode)
{
    const int nCnx = Open();
    int b = 1;
    EXPECT_EQ(Exec(nCnx, L"SELEC 1", &b), 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(s_piSQL->piGetLastError()->pclGetXError()->bHasInfo(EIT_BASECODE), true);
    EXPECT_NE(Report().find("1064"), std::string::npos) << Report();
}

TEST_F(SQLInterfaceServer, ParametersCarryQuotesBackslashesAndEveryByte)
{
    const int nCnx = Open();
    const std::wstring strSQL = L"INSERT INTO t VALUES (1, ?, ?)";
    CParameters par(2);
    const int nFirst = static_cast<int>(strSQL.find(L'?'));
    const int nSecond = static_cast<int>(strSQL.rfind(L'?'));
    SetW(par.At(0, nFirst, 1), L"it's a \\ \"test\"");
    std::string strBytes;
    for (int i = 0; i < 256; i++)
        strBytes.push_back(static_cast<char>(i));
    CAny& bin = par.At(1, nSecond, 1);
    bin.__SetType(TQTYPE_BIN, 0);
    bin.pclGetTraitement()->SetValue(strBytes.data(), static_cast<unsigned>(strBytes.size()));
    int b = 0;
    EXPECT_EQ(Exec(nCnx, strSQL, &b, par.p()), 0);
    ASSERT_EQ(b, 1) << Report();
    const int nStmt = Exec(nCnx, L"SELECT v, b FROM t WHERE id = 1");
    ASSERT_GT(nStmt, 0) << Report();
    ASSERT_EQ(s_piSQL->bFetch(nCnx, nStmt, 0), 1);
    CAny v;
    EXPECT_EQ(s_piSQL->bGetValue(&v, nCnx, nStmt, 1, 0), 1);
    EXPECT_EQ(TextW(v), L"it's a \\ \"test\"");
    EXPECT_EQ(s_piSQL->bGetBLOBValue(&v, nCnx, nStmt, 2, 0), 1);
    const Bytes got = DataBytes(v);
    EXPECT_EQ(std::string(got.begin(), got.end()), strBytes);
    EXPECT_EQ(s_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
}

TEST_F(SQLInterfaceServer, TextsOutsideASCIIInBothCodePageModes)
{
    struct {
        const wchar_t* pszOptions;
        const wchar_t* pszText;
    } tab[] = {{L"ZT Unicode Support=1;", L"é€Ω中"}, {L"ZT Unicode Support=0;", L"é€"}};
    int nId = 0;
    for (const auto& st : tab) {
        SCOPED_TRACE(Narrow(st.pszOptions));
        // The host's description outlives the connection.
        m_apHost.emplace_back(new CHostConnectionDescription);
        Describe(m_apHost.back().get(), Wide(m_server.strPassword), st.pszOptions);
        const int nCnx = Open(m_apHost.back().get());
        ++nId;
        int b = 0;
        Exec(nCnx, L"INSERT INTO t (id, v) VALUES (" + std::to_wstring(nId) + L", '" + st.pszText + L"')", &b);
        ASSERT_EQ(b, 1) << Report();
        const int nStmt = Exec(nCnx, L"SELECT v FROM t WHERE id = " + std::to_wstring(nId));
        ASSERT_GT(nStmt, 0) << Report();
        ASSERT_EQ(s_piSQL->bFetch(nCnx, nStmt, 0), 1);
        CAny v;
        EXPECT_EQ(s_piSQL->bGetValue(&v, nCnx, nStmt, 1, 0), 1);
        EXPECT_EQ(TextW(v), st.pszText);
        EXPECT_EQ(s_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    }
    // Stored as UTF-8 whatever the session's code page.
    EXPECT_EQ(OtherList("SELECT HEX(v) FROM `" + m_strDatabase + "`.t ORDER BY id"),
              (Rows{"C3A9E282ACCEA9E4B8AD", "C3A9E282AC"}));
}

TEST_F(SQLInterfaceServer, TransactionsSeenFromAnotherConnection)
{
    const int nCnx = Open();
    int nTrs = 0;
    ASSERT_EQ(s_piSQL->bTrsBegin(&nTrs, nCnx, 0), 1) << Report();
    int b = 0;
    Exec(nCnx, L"INSERT INTO t (id) VALUES (1)", &b);
    ASSERT_EQ(b, 1) << Report();
    EXPECT_EQ(Seen(), Rows{});
    ASSERT_EQ(s_piSQL->bTrsCommit(nCnx, 0, 0), 1) << Report();
    EXPECT_EQ(Seen(), Rows{"1"});
    ASSERT_EQ(s_piSQL->bTrsBegin(&nTrs, nCnx, 0), 1) << Report();
    Exec(nCnx, L"INSERT INTO t (id) VALUES (2)", &b);
    ASSERT_EQ(s_piSQL->bTrsRollBack(nCnx, 0, 0), 1) << Report();
    EXPECT_EQ(Seen(), Rows{"1"});
}

TEST_F(SQLInterfaceServer, NestedBeginsShareTheName)
{
    const int nCnx = Open();
    int nTrs = 0;
    int b = 0;
    ASSERT_EQ(s_piSQL->bTrsBegin(&nTrs, nCnx, 0), 1) << Report();
    Exec(nCnx, L"INSERT INTO t (id) VALUES (1)", &b);
    ASSERT_EQ(s_piSQL->bTrsBegin(&nTrs, nCnx, 0), 1) << Report();
    Exec(nCnx, L"INSERT INTO t (id) VALUES (2)", &b);
    EXPECT_EQ(s_piSQL->bTrsCommit(nCnx, 0, 0), 0);
    EXPECT_EQ(Code(), 10u);
    ASSERT_EQ(s_piSQL->bTrsRollBack(nCnx, 0, 0), 1) << Report();
    EXPECT_EQ(Seen(), Rows{});
    // The outer level is still open with its own work.
    ASSERT_EQ(s_piSQL->bTrsBegin(&nTrs, nCnx, 0), 1) << Report();
    Exec(nCnx, L"INSERT INTO t (id) VALUES (3)", &b);
    ASSERT_EQ(s_piSQL->bTrsRollBack(nCnx, 0, 0), 1) << Report();
    ASSERT_EQ(s_piSQL->bTrsRollBack(nCnx, 0, 0), 1) << Report();
    EXPECT_EQ(Seen(), Rows{});
}

TEST_F(SQLInterfaceServer, TableLockOutsideAndInsideATransaction)
{
    ASSERT_TRUE(Other("INSERT INTO `" + m_strDatabase + "`.t (id) VALUES (1)")) << m_strOtherError;
    const int nCnx = Open();
    EXPECT_EQ(s_piSQL->bSQLBloqueTable(nCnx, L"t", 0), 0);
    EXPECT_EQ(Code(), 29u);
    EXPECT_EQ(Narrow(s_piSQL->piGetLastError()->pszGetLogicalTableName()), "t");
    int nTrs = 0;
    ASSERT_EQ(s_piSQL->bTrsBegin(&nTrs, nCnx, 0), 1) << Report();
    ASSERT_EQ(s_piSQL->bSQLBloqueTable(nCnx, L"t", 0), 1) << Report();
    const auto tStart = std::chrono::steady_clock::now();
    EXPECT_FALSE(Other("UPDATE `" + m_strDatabase + "`.t SET v = 'y'"));
    const auto nWaited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tStart).count();
    EXPECT_NE(m_strOtherError.find("Lock wait timeout"), std::string::npos) << m_strOtherError;
    EXPECT_GE(nWaited, 900);
    ASSERT_EQ(s_piSQL->bTrsCommit(nCnx, 0, 0), 1) << Report();
}

TEST_F(SQLInterfaceServer, CloseWaitsForTheFiledStatementAndTheOpenTransaction)
{
    const int nCnx = Open();
    const int nStmt = Exec(nCnx, L"SELECT 1");
    ASSERT_GT(nStmt, 0) << Report();
    EXPECT_EQ(s_piSQL->bCloseConnection(nCnx), 1);
    EXPECT_EQ(Sessions(), "1");
    EXPECT_EQ(s_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    EXPECT_EQ(Sessions(), "0");

    const int nCnx2 = Open();
    int nTrs = 0;
    ASSERT_EQ(s_piSQL->bTrsBegin(&nTrs, nCnx2, 0), 1) << Report();
    EXPECT_EQ(s_piSQL->bCloseConnection(nCnx2), 1);
    EXPECT_EQ(Sessions(), "1");
    EXPECT_EQ(s_piSQL->bTrsCommit(nCnx2, 0, 0), 1) << Report();
    EXPECT_EQ(Sessions(), "0");
}

TEST_F(SQLInterfaceServer, ErrorOfAnOpenConnectionCarriesItsFactsButNoPassword)
{
    const int nCnx = Open();
    Exec(nCnx, L"SELECT * FROM no_such_table");
    const CXError* pcl = s_piSQL->piGetLastError()->pclGetXError();
    EXPECT_TRUE(pcl->bHasInfo(EIT_INFOCLIENT));
    EXPECT_TRUE(pcl->bHasInfo(EIT_INFOSERVEUR));
    const std::string strReport = Report();
    EXPECT_NE(strReport.find(m_strDatabase), std::string::npos) << strReport;
    EXPECT_NE(strReport.find(m_server.strUser), std::string::npos) << strReport;
    EXPECT_EQ(strReport.find(m_server.strPassword), std::string::npos) << strReport;
}

TEST_F(SQLInterfaceServer, RequestedValueOfTheConnection)
{
    const int nCnx = Open();
    CNAConnectionDescription* pcl = Driver()->pclGetConnectionByID(nCnx);
    ASSERT_NE(pcl, nullptr);
    CNAError* pErr = new CNAError;
    pErr->AddRef();
    CTString cs;
    EXPECT_EQ(pcl->bGetRequestedValueString(pErr, &cs, 0, L"SELECT 42"), 1);
    EXPECT_EQ(Narrow(cs.pszGet()), "42");
    cs = L"left";
    EXPECT_EQ(pcl->bGetRequestedValueString(pErr, &cs, 0, L"SELECT id FROM t"), 1);
    EXPECT_EQ(Narrow(cs.pszGet()), "left");
    pErr->nRelease();
    Driver()->nReleaseConnection(pcl);
}

} // namespace

namespace {

TEST_F(SQLInterfaceServer, OnlyTheSameCredentialsShareAnOpenSession)
{
    std::wstring strUpper = Wide(m_server.strPassword);
    for (wchar_t& c : strUpper)
        c = static_cast<wchar_t>(towupper(static_cast<wint_t>(c)));
    ASSERT_NE(strUpper, Wide(m_server.strPassword));
    CHostConnectionDescription clGood, clAgain, clPassword, clUser;
    Describe(&clGood, Wide(m_server.strPassword), L"");
    Describe(&clAgain, Wide(m_server.strPassword), L"");
    Describe(&clPassword, strUpper, L"");
    Describe(&clUser, Wide(m_server.strPassword), L"");
    std::wstring strUser = Wide(m_server.strUser);
    for (wchar_t& c : strUser)
        c = static_cast<wchar_t>(towupper(static_cast<wint_t>(c)));
    clUser.SetText(CHostConnectionDescription::TXT_USER, strUser.c_str());

    ASSERT_EQ(s_piDriver->bOpenConnection(&clGood), 1) << Narrow(s_piDriver->piGetLastError()->pszGetError());
    // The same credentials twice: one session.
    ASSERT_EQ(s_piDriver->bOpenConnection(&clAgain), 1);
    EXPECT_EQ(Driver()->nGetNbConnection(), m_nConnectionsBefore + 1);
    EXPECT_EQ(Sessions(), "1");
    // Another case of the password or of the user is the server's to judge.
    for (CHostConnectionDescription* p : {&clPassword, &clUser}) {
        EXPECT_EQ(s_piDriver->bOpenConnection(p), 0);
        EXPECT_EQ(Driver()->pclGetError()->dwGetDataBaseErrorCode(), 1045u);
    }
    EXPECT_EQ(Driver()->nGetNbConnection(), m_nConnectionsBefore + 1);
    // The first session still serves.
    {
        CNADriverLock clLock;
        CNAConnectionDescription* pcl = Driver()->_pclFindConnection(&clGood);
        ASSERT_NE(pcl, nullptr);
        CNAError clError;
        EXPECT_EQ(pcl->bExecuteQueryNoResult(&clError, L"DO 1"), 1) << Narrow(clError.pszGetError());
        Driver()->nReleaseConnection(pcl);
    }
    EXPECT_EQ(s_piDriver->bCloseConnection(&clAgain), 1);
    EXPECT_EQ(s_piDriver->bCloseConnection(&clGood), 1);
}

} // namespace
