// The command-line host's SQL road on the private server: the header line,
// rows with NULL and text outside ASCII, "ok" without columns, and the
// error exit; its browse road on a primary and a composite key, both ways,
// dates and times printed as the SQL road prints them, and its error exits.
#include "tests/support/ServerDriver.h"
#include "tests/support/TestServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>
#include <sys/wait.h>

namespace {

struct STRun {
    std::string strOut;
    std::string strErr;
    int nExit = -1;
};

// Runs zthost with the arguments (each quoted for the shell), in the
// database given or the one of the test variables.
STRun RunHost(const std::vector<std::string>& astrArgs, const std::string& strDatabase = "")
{
    // The child checks for leaks as this program does: the module, the
    // client library and the stand-in free everything at their end.
    std::string strCommand = (strDatabase.empty() ? "" : "ZT_TEST_DATABASE=" + strDatabase + " ") + ZT_BUILD_DIR "/zthost";
    for (const std::string& s : astrArgs) {
        std::string strQuoted = "'";
        for (char c : s)
            strQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        strCommand += " " + strQuoted + "'";
    }
    const std::string strErrFile = std::string(ZT_BUILD_DIR "/zthost_test_") + std::to_string(getpid()) + ".err";
    strCommand += " 2>" + strErrFile;
    STRun st;
    FILE* p = popen(strCommand.c_str(), "r");
    if (p == nullptr)
        return st;
    char sz[4096];
    size_t n;
    while ((n = fread(sz, 1, sizeof(sz), p)) > 0)
        st.strOut.append(sz, n);
    const int nStatus = pclose(p);
    st.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    if (FILE* pErr = std::fopen(strErrFile.c_str(), "r")) {
        while ((n = fread(sz, 1, sizeof(sz), pErr)) > 0)
            st.strErr.append(sz, n);
        std::fclose(pErr);
    }
    std::remove(strErrFile.c_str());
    return st;
}

class ZtHostServer : public testing::Test {
protected:
    void SetUp() override
    {
        CTestServer server;
        std::string strError;
        ASSERT_TRUE(CTestServer::bGet(server, strError)) << strError;
    }
};

TEST_F(ZtHostServer, HeaderRowsNullAndTextOutsideASCII)
{
    const STRun st = RunHost({"--sql", "SELECT 1 AS one, NULL AS nothing, 'é€Ω中' AS txt UNION SELECT 2, 3, 'x'",
                              "--sql", "DO 0"});
    EXPECT_EQ(st.nExit, 0) << st.strErr;
    EXPECT_EQ(st.strOut, "one\tnothing\ttxt\n1\tNULL\té€Ω中\n2\t3\tx\nok\n");
    EXPECT_EQ(st.strErr, "");
}

TEST_F(ZtHostServer, FailureExitsWithTheDriversReport)
{
    const STRun st = RunHost({"--sql", "SELECT 5 AS five", "--sql", "SELEC 1", "--sql", "SELECT 6"});
    EXPECT_EQ(st.nExit, 1);
    // The queries before the failure ran; none after it.
    EXPECT_EQ(st.strOut, "five\n5\n");
    EXPECT_NE(st.strErr.find("1064"), std::string::npos) << st.strErr;
}

// A table of 250 records (blocks of 100) with NULL and accents in its text,
// and a composite key with duplicates. Disabled until the data access's
// reads are in this branch (they pass with them).
class ZtHostBrowse : public ServerTest {
protected:
    ZtHostBrowse()
        : ServerTest("zt38host", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20), a INT NOT NULL, "
                                  "INDEX ix (a, name)) ENGINE=InnoDB",
                                  "INSERT INTO t SELECT seq, ELT(1 + seq % 5, '\xC3\xA9t\xC3\xA9', NULL, 'Zo\xC3\xAB', "
                                  "'a\xE2\x82\xAC', 'zeta'), seq % 4 FROM seq_1_to_250"})
    {
    }
    // The header line, then each record as the server sorts them.
    std::string Expected(const char* pszOrder)
    {
        std::string str = "id\tname\ta\n";
        for (const std::string& s :
             List(std::string("SELECT CONCAT_WS('\t', id, IFNULL(name, 'NULL'), a) FROM t ORDER BY ") + pszOrder))
            str += s + "\n";
        return str;
    }
};

TEST_F(ZtHostBrowse, PrimaryAndCompositeKeyBothWays)
{
    struct STCase {
        std::vector<std::string> astrArgs;
        const char* pszOrder;
    };
    const STCase aCases[] = {
        {{"--browse", "t"}, "id"},
        {{"--browse", "t", "--backward"}, "id DESC"},
        {{"--browse", "t", "--key", "ix"}, "a, name, id"},
        {{"--browse", "t", "--key", "ix", "--backward"}, "a DESC, name DESC, id DESC"},
    };
    for (const STCase& st : aCases) {
        SCOPED_TRACE(st.pszOrder);
        const STRun stRun = RunHost(st.astrArgs, m_strDatabase);
        EXPECT_EQ(stRun.nExit, 0) << stRun.strErr;
        EXPECT_EQ(stRun.strOut, Expected(st.pszOrder));
        EXPECT_EQ(stRun.strErr, "");
    }
}

TEST_F(ZtHostBrowse, QueriesRunFirst)
{
    const STRun st = RunHost({"--browse", "t", "--sql", "DELETE FROM t WHERE id > 3", "--sql", "SELECT 7 AS seven"},
                             m_strDatabase);
    EXPECT_EQ(st.nExit, 0) << st.strErr;
    EXPECT_EQ(st.strOut, "ok\nseven\n7\n" + Expected("id"));
    EXPECT_EQ(st.strErr, "");
}

TEST_F(ZtHostBrowse, DatesAndTimesPrintAsTheQueryPrintsThem)
{
    ASSERT_TRUE(Admin("CREATE TABLE d (id INT PRIMARY KEY, dt DATETIME, dt3 DATETIME(3), da DATE, ti TIME)"));
    ASSERT_TRUE(Admin("INSERT INTO d VALUES (1, '1000-01-01 00:00:00', '2024-02-29 13:14:15.123', '2024-02-29', "
                      "'13:14:15'), (2, '2024-12-31 23:59:59', '1999-07-08 09:10:11.500', '1000-01-01', '00:00:00'), "
                      "(3, NULL, NULL, NULL, NULL)"));
    const STRun stQuery = RunHost({"--sql", "SELECT * FROM d ORDER BY id"}, m_strDatabase);
    ASSERT_EQ(stQuery.nExit, 0) << stQuery.strErr;
    const STRun stBrowse = RunHost({"--browse", "d"}, m_strDatabase);
    ASSERT_EQ(stBrowse.nExit, 0) << stBrowse.strErr;
    EXPECT_EQ(stBrowse.strOut, stQuery.strOut);
    // The query's own form: the server's date-time without its hyphens,
    // its fraction kept.
    EXPECT_NE(stQuery.strOut.find("\t20240229 13:14:15.123\t"), std::string::npos) << stQuery.strOut;
    EXPECT_NE(stQuery.strOut.find("\t10000101 00:00:00\t"), std::string::npos) << stQuery.strOut;
}

TEST_F(ZtHostBrowse, UnknownTableOrKeyExitsWithTheDriversReport)
{
    STRun st = RunHost({"--browse", "missing"}, m_strDatabase);
    EXPECT_EQ(st.nExit, 1);
    EXPECT_EQ(st.strOut, "");
    EXPECT_NE(st.strErr.find("1146"), std::string::npos) << st.strErr;
    st = RunHost({"--browse", "t", "--key", "nokey"}, m_strDatabase);
    EXPECT_EQ(st.nExit, 1);
    EXPECT_EQ(st.strOut, "");
    EXPECT_NE(st.strErr.find("nokey"), std::string::npos) << st.strErr;
    st = RunHost({"--key", "ix"}, m_strDatabase);
    EXPECT_EQ(st.nExit, 1);
}

} // namespace
