// The driver's connection registry on the private server, whose databases
// are told apart by case: descriptions that name other databases, or the
// same name in another case, get sessions of their own; the same
// description twice gets one.
#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "tests/support/ServerDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

class NADriverServer : public ServerTest {
protected:
    NADriverServer() : ServerTest("zt45reg", {"CREATE TABLE t (id INT) ENGINE=InnoDB"}) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        StartDriverAndSQL(&m_piDriver, &m_piSQL);
        ASSERT_NE(m_piDriver, nullptr);
        // The same name in capitals: another database on this server.
        m_strUpper = m_strDatabase;
        std::transform(m_strUpper.begin(), m_strUpper.end(), m_strUpper.begin(),
                       [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
        ASSERT_NE(m_strUpper, m_strDatabase);
        ASSERT_TRUE(Admin("CREATE DATABASE `" + m_strUpper + "`"));
        ASSERT_TRUE(Admin("CREATE TABLE `" + m_strUpper + "`.t (id INT) ENGINE=InnoDB"));
    }
    void TearDown() override
    {
        for (CHostConnectionDescription* p : m_tabOpened)
            EXPECT_EQ(m_piDriver->bCloseConnection(p), 1);
        if (m_piDriver != nullptr) {
            EXPECT_EQ(Driver()->nGetNbConnection(), 0u);
        }
        StopDriverAndSQL(&m_piDriver, &m_piSQL);
        if (!m_strUpper.empty())
            Admin("DROP DATABASE IF EXISTS `" + m_strUpper + "`");
        ServerTest::TearDown();
    }
    CNADriver* Driver() { return static_cast<CNADriver*>(m_piDriver); }
    // A description of the test user naming this default database and
    // these options, opened by the host.
    CHostConnectionDescription* Opened(const std::string& strDatabase, const std::wstring& strOptions = L"")
    {
        CHostConnectionDescription* p = Host(strOptions, L"zt45reg");
        p->SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, Wide(strDatabase).c_str());
        EXPECT_EQ(m_piDriver->bOpenConnection(p), 1);
        m_tabOpened.push_back(p);
        return p;
    }
    // The registry's session for the description.
    CMySQLConnection* Session(CHostConnectionDescription* p)
    {
        CNADriverLock clLock;
        CNAConnectionDescription* pcl = Driver()->_pclFindConnection(p);
        if (pcl != nullptr)
            Driver()->nReleaseConnection(pcl);
        return static_cast<CMySQLConnection*>(pcl);
    }
    // The first column of the first row of a query on that session.
    static std::string Ask(CMySQLConnection* pcl, const char* pszSQL)
    {
        MYSQL* h = pcl != nullptr ? pcl->pGetHandle() : nullptr;
        if (h == nullptr || __mysql_real_query(h, pszSQL, std::strlen(pszSQL)) != 0)
            return "(failed)";
        MYSQL_RES* pResult = __mysql_store_result(h);
        if (pResult == nullptr)
            return "(no result)";
        MYSQL_ROW row = __mysql_fetch_row(pResult);
        const std::string s = row == nullptr || row[0] == nullptr ? "(none)" : row[0];
        __mysql_free_result(pResult);
        return s;
    }

    INADriver* m_piDriver = nullptr;
    INADriverSQL* m_piSQL = nullptr;
    std::string m_strUpper;
    std::vector<CHostConnectionDescription*> m_tabOpened;
};

TEST_F(NADriverServer, EachDatabaseItsOwnSession)
{
    const std::string strLower = m_strDatabase;
    const struct {
        const char* pszCase;
        std::string strA, strB;     // default databases
        std::wstring strOptA, strOptB;
    } cases[] = {
        {"default databases", strLower, m_strUpper, L"", L""},
        {"Initial Catalog", "", "", L"Initial Catalog=" + Wide(strLower), L"Initial Catalog=" + Wide(m_strUpper)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        CHostConnectionDescription* pA = Opened(c.strA, c.strOptA);
        CHostConnectionDescription* pB = Opened(c.strB, c.strOptB);
        CMySQLConnection* pclA = Session(pA);
        CMySQLConnection* pclB = Session(pB);
        ASSERT_NE(pclA, nullptr);
        ASSERT_NE(pclB, nullptr);
        EXPECT_NE(pclA, pclB);
        EXPECT_EQ(Ask(pclA, "SELECT DATABASE()"), strLower);
        EXPECT_EQ(Ask(pclB, "SELECT DATABASE()"), m_strUpper);
        // A statement of the second runs in its own database.
        ASSERT_EQ(Ask(pclB, "INSERT INTO t VALUES (2)"), "(no result)");
        EXPECT_EQ(First("SELECT COUNT(*) FROM `" + m_strUpper + "`.t WHERE id = 2"), "1");
        EXPECT_EQ(First("SELECT COUNT(*) FROM `" + strLower + "`.t WHERE id = 2"), "0");
        ASSERT_TRUE(Admin("DELETE FROM `" + m_strUpper + "`.t"));
    }
    // The same description again: the same session.
    const size_t nBefore = Driver()->nGetNbConnection();
    CHostConnectionDescription* pAgain = Opened(strLower);
    EXPECT_EQ(Session(pAgain), Session(m_tabOpened.front()));
    EXPECT_EQ(Driver()->nGetNbConnection(), nBefore);
}

} // namespace
