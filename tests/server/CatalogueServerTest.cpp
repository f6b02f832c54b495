// Catalogue lists on the private server as the host asks for them: column
// types, tables, columns and databases through the SQL interface's slots and
// INADriver, the SHOW forms of a server before version 5, foreign-key links
// read from CREATE TABLE texts, and no connection left behind by a list.
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NADriverSQL.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/XYString.h"
#include "tests/support/DriverServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Texts;

// The lines of a list (CR LF between lines, none after the last).
Rows Lines(const std::wstring& s)
{
    Rows tab;
    if (s.empty())
        return tab;
    for (size_t i = 0;;) {
        const size_t nEnd = s.find(L"\r\n", i);
        tab.push_back(UTF8Of(s.substr(i, nEnd == std::wstring::npos ? std::wstring::npos : nEnd - i)));
        if (nEnd == std::wstring::npos)
            return tab;
        i = nEnd + 2;
    }
}

Rows Sorted(Rows tab)
{
    std::sort(tab.begin(), tab.end());
    return tab;
}

class CatalogueServer : public DriverServerTest {
protected:
    CatalogueServer()
        : DriverServerTest("zt42list", {"CREATE TABLE t1 (id INT PRIMARY KEY) ENGINE=InnoDB",
                                        "CREATE TABLE a1 (x INT) ENGINE=InnoDB", "CREATE TABLE a2 (x INT) ENGINE=InnoDB",
                                        "CREATE TABLE `b col` (`my col` INT, `x y` INT, z INT, KEY k (`x y`, z))",
                                        "CREATE VIEW v1 AS SELECT id FROM t1"})
    {
    }
    // The tables of the test's database that the server lists for a type
    // condition and a name condition, in name order.
    Rows ServerTables(const std::string& strCondition)
    {
        return List("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()" +
                    strCondition + " ORDER BY TABLE_NAME");
    }
    std::string Db() const { return m_strDatabase; }
};

TEST_F(CatalogueServer, ColumnTypesThroughTheSlotAndTheDriver)
{
    m_pDriver->pclGetError()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, 9u, L"T");
    CAny v;
    EXPECT_EQ(m_piSQL->bGetColumnTypeList(&v, 0, 0), 1);
    const std::wstring s = TextW(v);
    // The fixed list leaves the error object as it was.
    EXPECT_EQ(Code(), 9u);
    const Rows tab = Lines(s);
    ASSERT_EQ(tab.size(), 36u);
    EXPECT_EQ(tab.front(), "bit\t1");
    EXPECT_EQ(tab[12], "bigint unsigned\t3");
    EXPECT_EQ(tab[34], "timestamp\t19");
    EXPECT_EQ(tab.back(), "");
    // The value holds the text and nothing after it.
    unsigned int nBytes = 0;
    v.pclGetTraitement()->nGetUtilDataSize(&nBytes);
    EXPECT_EQ(nBytes, s.size() * sizeof(wchar_t));
    CAny w;
    EXPECT_EQ(m_piDriver->bSQLFormatColonne(m_pHost, &w), 1);
    EXPECT_EQ(TextW(w), s);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(CatalogueServer, TablesThroughSlot20AndTheDriver)
{
    const int nCnx = Open();
    const std::string strShow = "SHOW TABLES WHERE `Tables_in_" + Db() + "` LIKE 'a%'";
    struct {
        unsigned int nFlags;
        std::string strFilter;
        Rows tabWanted;
    } const tab[] = {
        {0x0, "", {}},
        {0x1, "", ServerTables(" AND TABLE_TYPE = 'BASE TABLE'")},
        {0x2, "", {"v1"}},
        {0x3, "", ServerTables("")},
        {0x11, "", ServerTables(" AND TABLE_TYPE = 'BASE TABLE'")},
        {0x21, "", {"a1\t" + Db() + "\tTABLE", "a2\t" + Db() + "\tTABLE", "b col\t" + Db() + "\tTABLE",
                    "t1\t" + Db() + "\tTABLE"}},
        {0x23, "LIKE '%1'", {"a1\t" + Db() + "\tTABLE", "t1\t" + Db() + "\tTABLE", "v1\t" + Db() + "\tVIEW"}},
        {0x1, "LIKE 'a%'", ServerTables(" AND TABLE_NAME LIKE 'a%'")},
        {0x1, "a%", ServerTables(" AND TABLE_NAME LIKE 'a%'")},
        {0x1, "NOT LIKE 'a%'", ServerTables(" AND TABLE_TYPE = 'BASE TABLE' AND TABLE_NAME NOT LIKE 'a%'")},
        // A filter the INFORMATION_SCHEMA form refuses lists through SHOW TABLES.
        {0x1, "WHERE `Tables_in_" + Db() + "` LIKE 'a%'", {"a1", "a2"}},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(std::to_string(t.nFlags) + " " + t.strFilter);
        const std::wstring strFilter = Wide(t.strFilter);
        CAny v;
        EXPECT_EQ(m_piSQL->bGetTableList(&v, nCnx, strFilter.c_str(), t.nFlags), 1) << Report();
        EXPECT_FALSE(v.bIsNull());
        EXPECT_EQ(Lines(TextW(v)), t.tabWanted);
        const Texts tabSent = Sent();
        if (t.strFilter.compare(0, 5, "WHERE") == 0) {
            EXPECT_EQ(tabSent, Texts{strShow});
            EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
        } else if (t.nFlags == 0) {
            EXPECT_TRUE(tabSent.empty());
        } else {
            ASSERT_EQ(tabSent.size(), 1u);
            EXPECT_EQ(tabSent.front().find("SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM"), 0u);
        }
    }
    // A pattern the connection's code page cannot hold fails, nothing sent.
    const int nLatin1 = Open(HostOn(L"ZT Unicode Support=0", L"ztlatin1"));
    Sent();
    CAny u;
    EXPECT_EQ(m_piSQL->bGetTableList(&u, nLatin1, L"中%", 0x1), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CODE_PAGE));
    EXPECT_TRUE(Sent().empty());
    // Through INADriver, on a connection of its own; the earlier error is
    // cleared first.
    CAny v;
    ASSERT_NE(Code(), 0u);
    EXPECT_EQ(m_piDriver->bGetTableList(&v, m_pHost, 0x1), 1) << Report();
    EXPECT_EQ(Code(), 0u);
    EXPECT_EQ(Lines(TextW(v)), ServerTables(" AND TABLE_TYPE = 'BASE TABLE'"));
    EXPECT_EQ(m_piSQL->bGetTableList(&v, nCnx + 1000, L"", 0x1), 0);
}

TEST_F(CatalogueServer, ARefusedListFallsBackToShowTablesAndFailsWithIt)
{
    const int nCnx = Open();
    // Views only, by a filter the catalogue form refuses: SHOW TABLES lists
    // no view apart, so nothing is sent and the list fails, empty.
    CAny v;
    EXPECT_EQ(m_piSQL->bGetTableList(&v, nCnx, L"WHERE 1=1", 0x2), 0);
    EXPECT_FALSE(v.bIsNull());
    EXPECT_EQ(TextW(v), L"");
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_TRUE(Sent().empty());
    // Base tables by a condition the server refuses too: the list fails
    // with the server's error, sorted or not.
    for (unsigned int nFlags : {0x1u, 0x11u}) {
        SCOPED_TRACE(nFlags);
        CAny w;
        EXPECT_EQ(m_piSQL->bGetTableList(&w, nCnx, L"WHERE `no such column` = 1", nFlags), 0);
        EXPECT_EQ(TextW(w), L"");
        EXPECT_EQ(ServerCode(), 1054u);
        EXPECT_EQ(Sent(), Texts{"SHOW TABLES WHERE `no such column` = 1"});
    }
}

TEST_F(CatalogueServer, ColumnsByTableAndByStatement)
{
    const int nCnx = Open();
    CAny v;
    EXPECT_EQ(m_piSQL->bGetColumnList(&v, nCnx, L"b col", 0), 1) << Report();
    EXPECT_EQ(TextW(v), L"my col\r\nx y\r\nz");
    EXPECT_EQ(Sent(), Texts{"SHOW COLUMNS FROM `b col`"});
    EXPECT_EQ(m_piSQL->bGetColumnList(&v, nCnx, L"missing", 0), 0);
    EXPECT_EQ(ServerCode(), 1146u);
    // A name the connection's code page cannot hold fails, nothing sent.
    const int nLatin1 = Open(HostOn(L"ZT Unicode Support=0", L"ztlatin1"));
    Sent();
    EXPECT_EQ(m_piSQL->bGetColumnList(&v, nLatin1, L"中", 0), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CODE_PAGE));
    EXPECT_TRUE(Sent().empty());
    // The generic form reads the description: its items up to the first
    // composite key (k).
    CNAConnectionDescription* pcl = m_pDriver->pclGetConnectionByID(nCnx);
    ASSERT_NE(pcl, nullptr);
    CAny w;
    EXPECT_EQ(static_cast<CNADriverSQL*>(m_piSQL)->CNADriverSQL::bGetColumnList(&w, pcl, L"b col", 0), 1);
    EXPECT_EQ(TextW(w), L"my col\r\nx y\r\nz");
    m_pDriver->nReleaseConnection(pcl);
    Sent();

    int nStmt = 0;
    ASSERT_EQ(m_piSQL->bExecute(&nStmt, nCnx, L"SELECT 1 AS one, 'x' AS `two words`", nullptr, 0), 1);
    CAny u;
    EXPECT_EQ(m_piSQL->bGetColumnList(&u, nCnx, nStmt, 0), 1);
    EXPECT_EQ(TextW(u), L"one\r\ntwo words");
    EXPECT_EQ(m_piSQL->bGetColumnList(&u, nCnx, 0, 0), 0);
    EXPECT_EQ(m_piSQL->bGetColumnList(&u, nCnx + 1000, nStmt, 0), 0);
    EXPECT_EQ(m_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
}

TEST_F(CatalogueServer, DatabasesWithAndWithoutTables)
{
    const std::string strBase = Db() + "_";
    const Rows tabOwn = {strBase + "b", strBase + "A", strBase + "c", strBase + "o'brien"};
    for (const std::string& s : tabOwn)
        ASSERT_TRUE(Admin("CREATE DATABASE `" + s + "`"));
    ASSERT_TRUE(Admin("CREATE TABLE `" + strBase + "A`.t2 (x INT)"));
    ASSERT_TRUE(Admin("CREATE TABLE `" + strBase + "A`.t1 (x INT)"));
    ASSERT_TRUE(Admin("CREATE TABLE `" + strBase + "o'brien`.ob (x INT)"));
    // The lines of the test's own databases, in the list's order.
    auto Own = [&](const std::wstring& s) {
        Rows tab;
        for (const std::string& strLine : Lines(s))
            if (strLine.compare(0, strBase.size(), strBase) == 0)
                tab.push_back(strLine);
        return tab;
    };
    struct {
        unsigned int nFlags;
        Rows tabWanted;
    } const tab[] = {
        {0x0, List("SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME LIKE '" + Db() +
                   "\\_%' ORDER BY SCHEMA_NAME")},
        {0x10, {strBase + "A", strBase + "b", strBase + "c", strBase + "o'brien"}},
        {0x11, {strBase + "A\tt1\tt2", strBase + "b\t", strBase + "c\t", strBase + "o'brien\tob"}},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.nFlags);
        CXYString<wchar_t> cl;
        EXPECT_EQ(m_piDriver->bGetDatabaseList(&cl, m_pHost, t.nFlags), 1) << Report();
        const std::wstring s(cl.pszGet(), static_cast<size_t>(cl.nGetLength()));
        EXPECT_EQ(Own(s), t.tabWanted);
        // The test's own database is there too, and no line is empty.
        const Rows tabLines = Lines(s);
        const std::string strOwnLine = (t.nFlags & 0x1) != 0 ? Db() + "\ta1\ta2\tb col\tt1" : Db();
        EXPECT_NE(std::find(tabLines.begin(), tabLines.end(), strOwnLine), tabLines.end());
        EXPECT_EQ(std::find(tabLines.begin(), tabLines.end(), std::string()), tabLines.end());
    }
    for (const std::string& s : tabOwn)
        Admin("DROP DATABASE `" + s + "`");
}

TEST_F(CatalogueServer, ServerBefore5ListsWithShowStatements)
{
    // A user of this database only: the databases other tests drop while
    // the list runs are not seen.
    const std::string strUser = UniqueName("ztold");
    ASSERT_TRUE(Admin("CREATE USER '" + strUser + "'@'127.0.0.1' IDENTIFIED BY 'old-pw'"));
    ASSERT_TRUE(Admin("GRANT ALL ON `" + Db() + "`.* TO '" + strUser + "'@'127.0.0.1'"));
    m_pHost->SetText(CHostConnectionDescription::TXT_USER, Wide(strUser).c_str());
    m_pHost->SetText(CHostConnectionDescription::TXT_PASSWORD, L"old-pw");
    // The server lists them as bytes sort (Cq first); sorted, case aside.
    for (const char* psz : {"dq", "Cq", "bq"})
        ASSERT_TRUE(Admin(std::string("CREATE TABLE ") + psz + " (x INT)"));
    m_pDriver->m_csVersion = L"4.0.30";
    const int nCnx = Open();
    struct {
        unsigned int nFlags;
        const wchar_t* pszFilter;
        const char* pszSent;
        Rows tabWanted;
    } const tab[] = {
        {0x1, L"LIKE 'a%'", "SHOW TABLES LIKE 'a%'", {"a1", "a2"}},
        {0x1, L"a%", "SHOW TABLES LIKE 'a%'", {"a1", "a2"}},
        {0x21, L"a%", "SHOW TABLES LIKE 'a%'", {"a1\t" + Db() + "\t\tTABLE", "a2\t" + Db() + "\t\tTABLE"}},
        {0x2, L"", nullptr, {}},
        {0x11, L"%q", "SHOW TABLES LIKE '%q'", {"bq", "Cq", "dq"}},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.nFlags);
        CAny v;
        EXPECT_EQ(m_piSQL->bGetTableList(&v, nCnx, t.pszFilter, t.nFlags), 1) << Report();
        EXPECT_EQ(Lines(TextW(v)), t.tabWanted);
        EXPECT_EQ(Sent(), t.pszSent != nullptr ? Texts{t.pszSent} : Texts{});
    }
    CXYString<wchar_t> cl;
    EXPECT_EQ(m_piDriver->bGetDatabaseList(&cl, m_pHost, 0x1), 1) << Report();
    const Rows tabLines = Lines(std::wstring(cl.pszGet(), static_cast<size_t>(cl.nGetLength())));
    EXPECT_NE(std::find(tabLines.begin(), tabLines.end(), Db() + "\tCq\ta1\ta2\tb col\tbq\tdq\tt1\tv1"),
              tabLines.end());
    const Texts tabSent = Sent();
    ASSERT_FALSE(tabSent.empty());
    EXPECT_EQ(tabSent.front(), "SHOW DATABASES");
    EXPECT_NE(std::find(tabSent.begin(), tabSent.end(), "SHOW TABLES FROM `" + Db() + "`"), tabSent.end());
    // One text for the databases, one for each database's tables.
    EXPECT_EQ(tabSent.size(), tabLines.size() + 1);
    EXPECT_EQ(tabLines.size(), 2u);
    Admin("DROP USER '" + strUser + "'@'127.0.0.1'");
}

TEST_F(CatalogueServer, LinksFromTheCreateTableText)
{
    const std::string strOther = Db() + "_o";
    ASSERT_TRUE(Admin("CREATE DATABASE `" + strOther + "`"));
    ASSERT_TRUE(Admin("CREATE TABLE `" + strOther + "`.p2 (id INT PRIMARY KEY) ENGINE=InnoDB"));
    ASSERT_TRUE(Admin("CREATE TABLE p (id INT PRIMARY KEY, k1 INT, k2 INT, UNIQUE KEY K (k1, k2)) ENGINE=InnoDB"));
    ASSERT_TRUE(Admin(
        "CREATE TABLE c (a INT, b1 INT, b2 INT, d1 INT, d2 INT, e INT COMMENT 'CONSTRAINT `zz` FOREIGN KEY (`a`) "
        "REFERENCES `p` (`id`)', f INT, KEY CK (b1, b2), KEY dx (d1, d2, e), "
        "CONSTRAINT fk1 FOREIGN KEY (a) REFERENCES p (id) ON DELETE CASCADE, "
        // A quoted name with a space: some server versions write a backtick in a name undoubled.
        "CONSTRAINT `f 2` FOREIGN KEY (b1, b2) REFERENCES p (k1, k2) ON DELETE SET NULL ON UPDATE NO ACTION, "
        "CONSTRAINT fk3 FOREIGN KEY (d1, d2) REFERENCES p (k1, k2) ON DELETE RESTRICT ON UPDATE CASCADE, "
        "CONSTRAINT fk4 FOREIGN KEY (f) REFERENCES `" +
        strOther + "`.p2 (id)) ENGINE=InnoDB"));
    const Rows tabWanted = {"fk1\tp\tid\t0,N\tc\ta\t0,1\t2021\t2022", "f 2\tp\tK\t0,N\tc\tCK\t0,1\t2020\t2023",
                            "fk3\tp\tK\t0,N\tc\td1,d2\t0,1\t2022\t2021"};
    // An earlier error stays: the list resets nothing.
    m_pDriver->pclGetError()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, 9u, L"T");
    CAny v;
    EXPECT_EQ(m_piDriver->bGetLinkList(&v, L"c", nullptr, m_pHost, 0x20), 1) << Report();
    EXPECT_EQ(Sorted(Lines(TextW(v))), Sorted(tabWanted));
    EXPECT_EQ(Code(), 9u);
    const Texts tabSent = Sent();
    ASSERT_FALSE(tabSent.empty());
    EXPECT_EQ(tabSent.front(), "SHOW CREATE TABLE `c`");
    // Without detailed rows: the empty list.
    CAny w;
    EXPECT_EQ(m_piDriver->bGetLinkList(&w, L"c", nullptr, m_pHost, 0x0), 1);
    EXPECT_EQ(TextW(w), L"");
    EXPECT_FALSE(w.bIsNull());
    // The table description's name wins over the name given.
    INADataSourceDescription* piChild = m_piDriver->piGetTableDesc(L"c", m_pHost);
    ASSERT_NE(piChild, nullptr) << Report();
    Sent();
    CAny u;
    EXPECT_EQ(m_piDriver->bGetLinkList(&u, L"p", piChild, m_pHost, 0x20), 1) << Report();
    EXPECT_EQ(Sorted(Lines(TextW(u))), Sorted(tabWanted));
    const Texts tabByDescription = Sent();
    ASSERT_FALSE(tabByDescription.empty());
    EXPECT_EQ(tabByDescription.front(), "SHOW CREATE TABLE `c`");
    piChild->nExternalRelease();
    // A table without links, and a missing one.
    EXPECT_EQ(m_piDriver->bGetLinkList(&w, L"p", nullptr, m_pHost, 0x20), 1);
    EXPECT_EQ(TextW(w), L"");
    EXPECT_EQ(m_piDriver->bGetLinkList(&w, L"missing", nullptr, m_pHost, 0x20), 0);
    EXPECT_EQ(ServerCode(), 1146u);
    Admin("DROP TABLE c");
    Admin("DROP DATABASE `" + strOther + "`");
}

TEST_F(CatalogueServer, AListLeavesNoConnectionBehind)
{
    auto Sessions = [&] {
        return First("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = DATABASE() AND ID <> "
                     "CONNECTION_ID()");
    };
    CAny v;
    EXPECT_EQ(m_piDriver->bGetTableList(&v, HostOn(L"", L"ztonce"), 0x1), 1) << Report();
    EXPECT_FALSE(TextW(v).empty());
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    EXPECT_EQ(ServerSettled(Sessions, std::string("0")), "0");
}

} // namespace
