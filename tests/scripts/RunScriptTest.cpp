// The run command as a user meets it: two runs in one clone each keep a
// server of their own, and each removes its server's folder on the way out.
#include "tests/support/ClientLibrary.h"
#include "tests/support/Paths.h"
#include "tests/support/ProgramRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Asks fnDone again until it answers true or nSeconds have passed.
template <class F>
bool bWithin(int nSeconds, F fnDone)
{
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    while (!fnDone()) {
        if (std::chrono::steady_clock::now() > tEnd)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// Whether a server folder of the clone belongs to the run nPid.
bool bFolderOfRun(pid_t nPid)
{
    const std::string strTop = SourcePath("build/mariadb");
    DIR* pDir = opendir(strTop.c_str());
    bool bFound = false;
    for (dirent* p = pDir != nullptr ? readdir(pDir) : nullptr; p != nullptr && !bFound; p = readdir(pDir)) {
        std::ifstream in(strTop + "/" + p->d_name + "/owner");
        pid_t nOwner = 0;
        bFound = (in >> nOwner) && nOwner == nPid;
    }
    if (pDir != nullptr)
        closedir(pDir);
    return bFound;
}

TEST(RunScript, TwoRunsInOneCloneKeepTheirServers)
{
    const std::string strScript = SourcePath("scripts/run.sh");
    // The first run waits on its server until the test gives it a row.
    CProgram clFirst;
    ASSERT_TRUE(clFirst.bStart({"bash", strScript, "--sql", "CREATE TABLE go (x INT)", "--sql",
                                "CREATE TABLE kept (x INT)", "--sql", "INSERT INTO kept VALUES (7)", "--sql",
                                "BEGIN NOT ATOMIC WHILE (SELECT COUNT(*) FROM go) = 0 DO DO SLEEP(0.05); END WHILE; END",
                                "--sql", "SELECT x FROM kept"}));
    const pid_t nFirst = clFirst.nPid();
    CTestServer server;
    const std::string strListening = "private server on 127.0.0.1:";
    ASSERT_TRUE(bWithin(240, [&] {
        const std::string strErr = clFirst.Err();
        const size_t n = strErr.find(strListening);
        if (n != std::string::npos)
            server.nPort = static_cast<unsigned>(std::atoi(strErr.c_str() + n + strListening.size()));
        return server.nPort != 0;
    })) << clFirst.Err();
    server.strHost = "127.0.0.1";
    server.strUser = "zt";
    server.strPassword = "zt-test";
    server.strDatabase = "zttest";
    {
        CClientLibrary clClient;
        std::string strError;
        ASSERT_TRUE(clClient.bConnect(server, true, strError)) << strError;

        // The second run, in the same clone, from start to end.
        CProgram clSecond;
        ASSERT_TRUE(clSecond.bStart({"bash", strScript, "--sql", "SELECT 2 AS b"}));
        const pid_t nSecond = clSecond.nPid();
        EXPECT_EQ(clSecond.nWait(), 0) << clSecond.Err();
        EXPECT_EQ(clSecond.Out(), "b\n2\n");
        EXPECT_FALSE(bFolderOfRun(nSecond));

        // The first run's server kept its data and its folder.
        EXPECT_TRUE(clClient.bExecute("CREATE TABLE later (x INT)", strError)) << strError;
        std::vector<std::string> tabKept;
        ASSERT_TRUE(clClient.bList("SELECT x FROM kept", tabKept, strError)) << strError;
        ASSERT_EQ(tabKept.size(), 1u);
        EXPECT_TRUE(bFolderOfRun(nFirst));
        EXPECT_TRUE(clClient.bExecute("INSERT INTO go VALUES (1)", strError)) << strError;
        EXPECT_EQ(clFirst.nWait(), 0) << clFirst.Err();
        EXPECT_EQ(clFirst.Out(), "ok\nok\nok\nok\nx\n" + tabKept[0] + "\n");
    }
    EXPECT_FALSE(bFolderOfRun(nFirst));
}

} // namespace
