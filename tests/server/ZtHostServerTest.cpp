// The command-line host's SQL road on the private server: the header line,
// rows with NULL and text outside ASCII, "ok" without columns, and the
// error exit.
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

// Runs zthost with the arguments (each quoted for the shell).
STRun RunHost(const std::vector<std::string>& astrArgs)
{
    // The child checks for leaks as this program does: the module, the
    // client library and the stand-in free everything at their end.
    std::string strCommand = ZT_BUILD_DIR "/zthost";
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

} // namespace
