// The run command as a user meets it: two runs in one clone each keep a
// server of their own, and each removes its server's folder on the way out,
// or the next run removes that of a run killed, silently; two runs that must
// build take turns in the build folder; a compound statement runs whole,
// each text is read as its session reads it, the browse waits on no lock of
// the queries, and a failed query names what did not run; a server that
// cannot start says why, once an attempt; the builds run as many jobs as
// CMAKE_BUILD_PARALLEL_LEVEL says.
#include "tests/support/ClientLibrary.h"
#include "tests/support/Paths.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <utility>
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

// The first line of a file, empty when there is none.
std::string FirstLine(const std::string& strPath)
{
    std::ifstream in(strPath);
    std::string str;
    std::getline(in, str);
    return str;
}

// The server folder of the clone that belongs to the run nPid; empty when
// none does.
std::string FolderOfRun(pid_t nPid)
{
    const std::string strTop = SourcePath("build/mariadb");
    DIR* pDir = opendir(strTop.c_str());
    std::string strFound;
    for (dirent* p = pDir != nullptr ? readdir(pDir) : nullptr; p != nullptr && strFound.empty(); p = readdir(pDir)) {
        if (FirstLine(strTop + "/" + p->d_name + "/owner") == std::to_string(nPid))
            strFound = strTop + "/" + p->d_name;
    }
    if (pDir != nullptr)
        closedir(pDir);
    return strFound;
}
bool bFolderOfRun(pid_t nPid)
{
    return !FolderOfRun(nPid).empty();
}

// The clone's tree, without its build and its history, copied into a
// folder.
bool bCopyOfTheTree(const std::string& strTo)
{
    return std::system(("mkdir -p '" + strTo + "' && tar -C '" + SourcePath("") +
                        "' --exclude=./build --exclude=./.git -cf - . | tar -C '" + strTo + "' -xf -")
                           .c_str()) == 0;
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

TEST(RunScript, ARunKilledWithItsServerLeavesAFolderTheNextRunRemovesSilently)
{
    const std::string strScript = SourcePath("scripts/run.sh");
    CProgram clKilled;
    ASSERT_TRUE(clKilled.bStart({"bash", strScript, "--sql", "SELECT SLEEP(30)"}));
    const pid_t nKilled = clKilled.nPid();
    ASSERT_TRUE(bWithin(240, [&] { return clKilled.Err().find("private server on 127.0.0.1:") != std::string::npos; }))
        << clKilled.Err();
    // SIGKILL to the run's process group, as a terminal's "kill -9 %1"
    // sends it: the run, zthost and the server end at once, and the folder
    // stays with the pid of a server that is no more, and its socket's.
    ASSERT_EQ(kill(-nKilled, SIGKILL), 0);
    clKilled.nWait();
    const std::string strSocketFolder = FirstLine(FolderOfRun(nKilled) + "/socket-folder");
    ASSERT_EQ(strSocketFolder.compare(0, 16, "/tmp/zt-mariadb."), 0) << strSocketFolder;
    // Socket folders whose server's folder is gone (its clone removed),
    // and one whose server's folder is there, which a folder of a run
    // killed that names it as its socket's does not take with it.
    CTempDir clServer("zt_server");
    const std::string astrNoted[] = {clServer.Path() + "/gone", clServer.Path()};
    std::string astrFolder[2];
    for (int i = 0; i < 2; ++i) {
        astrFolder[i] = "/tmp/zt-mariadb.XXXXXX";
        ASSERT_NE(mkdtemp(&astrFolder[i][0]), nullptr);
        std::ofstream(astrFolder[i] + "/server") << astrNoted[i] << "\n";
    }
    std::string strNaming = SourcePath("build/mariadb/naming_XXXXXX");
    ASSERT_NE(mkdtemp(&strNaming[0]), nullptr);
    std::ofstream(strNaming + "/owner") << nKilled << "\n";
    std::ofstream(strNaming + "/socket-folder") << astrFolder[1] << "\n";
    const STProgramRun st = RunProgram({"timeout", "600", "bash", strScript, "--sql", "SELECT 1 AS a"});
    EXPECT_EQ(st.nExit, 0) << st.strErr;
    EXPECT_EQ(st.strOut, "a\n1\n");
    EXPECT_EQ(st.strErr.find("No such file"), std::string::npos) << st.strErr;
    EXPECT_FALSE(bFolderOfRun(nKilled));
    struct stat stFolder;
    EXPECT_NE(stat(strNaming.c_str(), &stFolder), 0) << strNaming;
    EXPECT_NE(stat(strSocketFolder.c_str(), &stFolder), 0) << strSocketFolder;
    EXPECT_NE(stat(astrFolder[0].c_str(), &stFolder), 0) << astrFolder[0];
    EXPECT_EQ(stat(astrFolder[1].c_str(), &stFolder), 0) << astrFolder[1];
    std::system(("rm -rf '" + astrFolder[1] + "'").c_str());
}

TEST(RunScript, ACloneAtAnyPathRunsOnItsServer)
{
    // A clone at a path of 300 bytes: the server refuses a socket path past
    // 107 bytes, openssl a file's past 255. One at a path holding blanks,
    // where the linker and the server's installer split a path. Side by
    // side, each building what the command builds, from the compiler cache.
    CTempDir clTop("zt_clones");
    ASSERT_FALSE(clTop.Path().empty());
    std::string strLong = clTop.Path() + "/long";
    while (strLong.size() < 290)
        strLong += "/projects-of-the-team-and-their-clones";
    strLong.resize(290);
    strLong += "/zt190msql";
    ASSERT_EQ(strLong.size(), 300u);
    const std::string astrClone[] = {strLong, clTop.Path() + "/a folder with blanks/zt 190 msql"};
    std::unique_ptr<CProgram> apRun[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(bCopyOfTheTree(astrClone[i])) << astrClone[i];
        apRun[i].reset(new CProgram);
        ASSERT_TRUE(apRun[i]->bStart(
            {"timeout", "600", "bash", astrClone[i] + "/scripts/run.sh", "--sql", "SELECT @@socket AS s"}));
    }
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(astrClone[i]);
        EXPECT_EQ(apRun[i]->nWait(), 0) << apRun[i]->Err();
        const std::string strOut = apRun[i]->Out();
        ASSERT_EQ(strOut.compare(0, 2, "s\n"), 0) << strOut;
        const std::string strSocket = strOut.substr(2, strOut.size() - 3);
        // Its own folder under /tmp, gone with the run.
        EXPECT_EQ(strSocket.compare(0, 16, "/tmp/zt-mariadb."), 0) << strSocket;
        EXPECT_LE(strSocket.size(), 107u);
        const std::string strFolder = strSocket.substr(0, strSocket.rfind('/'));
        struct stat stFolder;
        EXPECT_NE(stat(strFolder.c_str(), &stFolder), 0) << strFolder;
        EXPECT_NE(stat((astrClone[i] + "/build/zt190msql.so").c_str(), &stFolder), -1);
    }
}

// A step of a command that fails is named after what it said: a package
// that cannot be installed, a build, the server's certificates.
TEST(RunScript, AFailedStepIsNamed)
{
    std::string strRoot = SourcePath("");
    strRoot.pop_back();
    const std::string strRun = SourcePath("scripts/run.sh");
    // dpkg knows none of the packages, and apt-get cannot fetch them.
    const std::vector<std::pair<const char*, std::string>> astNoPackage = {
        {"dpkg", "case \"$1\" in --print-foreign-architectures) echo i386;; *) exit 1;; esac"},
        {"apt-get", "echo 'zt: cannot fetch' >&2; exit 100"}};
    const std::vector<std::pair<const char*, std::string>> astNoBuild = {
        {"cmake", "echo 'zt: cannot configure' >&2; exit 1"}};
    // Programs that fail on one call and hand the others to the real one.
    auto Real = [](const char* pszProgram) {
        const STProgramRun st = RunProgram({"sh", "-c", std::string("command -v ") + pszProgram});
        return st.strOut.substr(0, st.strOut.find('\n'));
    };
    const std::string strNoBench = "case \"$*\" in *ztbench*) echo 'zt: cannot build' >&2; exit 1;; esac; exec '" +
                                   Real("cmake") + "' \"$@\"";
    const std::string strNoFolder = "case \"$*\" in *build/mariadb) echo 'zt: cannot make' >&2; exit 1;; esac; exec '" +
                                    Real("mkdir") + "' \"$@\"";
    const struct {
        std::vector<std::pair<const char*, std::string>> astProgram;
        std::vector<std::string> astrCommand;
        std::string strStep;
    } aCases[] = {
        {astNoPackage, {strRun}, "run.sh: installing the packages failed"},
        {astNoBuild, {strRun, "--sql", "SELECT 1"}, "run.sh: building zthost in " + strRoot + "/build failed"},
        {astNoBuild, {strRun, "--bench"},
         "run.sh: building the benchmark library's reading of the options in " + strRoot + "/build/release failed"},
        {astNoBuild, {SourcePath("scripts/test.sh")}, "test.sh: building in " + strRoot + "/build failed"},
        {{{"cmake", strNoBench}},
         {strRun, "--bench"},
         "run.sh: building the benchmarks in " + strRoot + "/build/release failed"},
        {{{"mkdir", strNoFolder}}, {strRun}, "run.sh: making the servers' folder " + strRoot + "/build/mariadb failed"},
        {{{"openssl", "echo 'zt: no certificate' >&2; exit 1"}},
         {strRun, "--sql", "SELECT 1"},
         "run.sh: making the private server's certificates in " + strRoot + "/build/mariadb/"},
        // Nothing starts on what the installer left.
        {{{"mariadb-install-db", "echo 'zt: cannot install' >&2; exit 1"}},
         {strRun},
         "run.sh: starting the private server in " + strRoot + "/build/mariadb/"},
    };
    CTempDir clDir("zt_steps");
    ASSERT_FALSE(clDir.Path().empty());
    std::vector<std::unique_ptr<CProgram>> apRun;
    for (size_t i = 0; i < std::size(aCases); ++i) {
        // The programs that fail, in a folder of the case's own.
        const std::string strFolder = clDir.Path() + "/" + std::to_string(i);
        ASSERT_EQ(mkdir(strFolder.c_str(), 0755), 0);
        for (const auto& stProgram : aCases[i].astProgram) {
            const std::string strProgram = strFolder + "/" + stProgram.first;
            std::ofstream(strProgram) << "#!/bin/sh\n" << stProgram.second << "\n";
            ASSERT_EQ(chmod(strProgram.c_str(), 0755), 0);
        }
        std::vector<std::string> astr = {"env", "PATH=" + strFolder + ":" + std::getenv("PATH"), "timeout", "600",
                                         "bash"};
        astr.insert(astr.end(), aCases[i].astrCommand.begin(), aCases[i].astrCommand.end());
        apRun.emplace_back(new CProgram);
        ASSERT_TRUE(apRun.back()->bStart(astr));
    }
    for (size_t i = 0; i < apRun.size(); ++i) {
        SCOPED_TRACE(aCases[i].strStep);
        EXPECT_EQ(apRun[i]->nWait(), 1);
        const std::string strErr = apRun[i]->Err();
        // What the program said, then the step on a line of its own.
        const size_t nSaid = strErr.find("zt: ");
        const size_t nStep = strErr.find("\n" + aCases[i].strStep);
        ASSERT_NE(nStep, std::string::npos) << strErr;
        EXPECT_LT(nSaid, nStep) << strErr;
        const size_t nEnd = strErr.find('\n', nStep + 1);
        ASSERT_NE(nEnd, std::string::npos) << strErr;
        EXPECT_EQ(strErr.compare(nEnd - 7, 7, " failed"), 0) << strErr;
        EXPECT_EQ(strErr.find("[ERROR]"), std::string::npos) << strErr;
    }
}

TEST(RunScript, TwoRunsThatMustBuildTakeTurnsInTheBuildFolder)
{
    // A clone of its own, so that its builds do not race the suite's.
    CTempDir clClone("zt_clone");
    ASSERT_FALSE(clClone.Path().empty());
    ASSERT_TRUE(bCopyOfTheTree(clClone.Path()));
    const std::string strScript = clClone.Path() + "/scripts/run.sh";
    const std::string strWaited = "waiting for another command's build in " + clClone.Path() + "/build\n";
    // On an empty build folder, then after an edit of a source of the module.
    for (const bool bEdited : {false, true}) {
        SCOPED_TRACE(bEdited ? "after an edit" : "empty build folder");
        if (bEdited) {
            std::ofstream out(clClone.Path() + "/common/platform/DllRes.cpp", std::ios::app);
            out << "// edited\n";
            ASSERT_TRUE(out.good());
        }
        CProgram clFirst, clSecond;
        ASSERT_TRUE(clFirst.bStart({"bash", strScript, "--sql", "SELECT 1 AS r"}));
        ASSERT_TRUE(clSecond.bStart({"bash", strScript, "--sql", "SELECT 2 AS r"}));
        EXPECT_EQ(clFirst.nWait(), 0) << clFirst.Err();
        EXPECT_EQ(clSecond.nWait(), 0) << clSecond.Err();
        EXPECT_EQ(clFirst.Out(), "r\n1\n");
        EXPECT_EQ(clSecond.Out(), "r\n2\n");
        // The whole build is long enough that the later run waits for it.
        if (!bEdited) {
            EXPECT_EQ((clFirst.Err().find(strWaited) != std::string::npos) +
                          (clSecond.Err().find(strWaited) != std::string::npos),
                      1)
                << clFirst.Err() << clSecond.Err();
        }
    }
}

TEST(RunScript, OneStatementRunsAndTheBrowseWaitsOnNoLockOfTheQueries)
{
    // A compound statement using a keyword as a name runs whole; the
    // browse then reads what the locked session wrote, as the session's own
    // SELECT printed it. Ten minutes leave room for a build.
    const STProgramRun st = RunProgram(
        {"timeout", "600", "bash", SourcePath("scripts/run.sh"), "--sql", "CREATE TABLE ev (id INT PRIMARY KEY, `end` INT)",
         "--sql", "BEGIN NOT ATOMIC INSERT INTO ev VALUES (1, 10); SELECT end FROM ev; INSERT INTO ev SELECT 2, end + 10 "
                  "FROM ev; END",
         "--sql", "LOCK TABLES ev WRITE", "--sql", "INSERT INTO ev VALUES (3, 30)", "--sql",
         "SELECT id, end FROM ev ORDER BY id", "--browse", "ev"});
    EXPECT_EQ(st.nExit, 0) << st.strErr;
    const std::string strHead = "ok\nend\n10\nok\nok\n";
    ASSERT_EQ(st.strOut.compare(0, strHead.size(), strHead), 0) << st.strOut;
    const std::string strRows = st.strOut.substr(strHead.size());
    // The query's header and rows, then the browse's: the same lines.
    ASSERT_EQ(strRows.size() % 2, 0u) << strRows;
    EXPECT_EQ(strRows.substr(0, strRows.size() / 2), "id\tend\n1\t10\n2\t20\n3\t30\n");
    EXPECT_EQ(strRows.substr(strRows.size() / 2), strRows.substr(0, strRows.size() / 2));
}

TEST(RunScript, EachTextIsReadAsItsSessionReadsItJustBeforeItRuns)
{
    // Each run makes a table of three rows whose data file lies in a folder
    // of the test's own, where it outlives the run's server: seven bytes a
    // row, none once a DELETE has run. The runs go side by side.
    const std::string strSeveral = "holds several statements as the session reads it: give each its own --sql\n";
    const std::string strNotUtf8 =
        "is not sent: its byte 31, \\xFF, starts no well-formed UTF-8 character: zthost writes UTF-8 only\n";
    const struct {
        std::vector<std::string> astrSQL;
        int nExit;
        const char* pszOut;
        std::string strRefusal;
    } aCases[] = {
        {{"SELECT 'a' /*!999999 '*/ /*!50000 '*/' */ ; DELETE FROM t; -- '"}, 1, "", strSeveral},
        {{"SELECT 'a' /*!110000 '*/ /*!100000 '*/' */ ; DELETE FROM t; -- '"}, 1, "", strSeveral},
        {{"SELECT 'a' /*!110000 '*/ /*!40101 '*/' */ ; DELETE FROM t; -- '"}, 1, "", strSeveral},
        {{"SELECT 'a' /*M!999999 '*/ /*M!100000 '*/' */ ; DELETE FROM t; -- '"}, 1, "", strSeveral},
        {{"SET NAMES gbk", "SELECT '\xE4\xB8\xAD\\\\', '; DELETE FROM t; -- '"},
         1,
         "ok\n",
         "is not sent: it holds '\xE4\xB8\xAD' (U+4E2D), and zthost writes UTF-8 only, but the session reads it in "
         "character set gbk\n"},
        // A byte that is not UTF-8, in any session.
        {{"INSERT INTO t VALUES (LENGTH('\xFF'))"}, 1, "", strNotUtf8},
        {{"SET NAMES binary", "INSERT INTO t VALUES (LENGTH('\xFF'))"}, 1, "ok\n", strNotUtf8},
        {{"SELECT 'O\\'Brien; Jr' AS n"}, 0, "n\nO'Brien; Jr\n", ""},
        // swe7 reads ASCII bytes as other characters, DEL as none; as the
        // connection's set it lacks their characters.
        {{"SET NAMES swe7", "INSERT INTO t VALUES (LENGTH('x@{}|~y'))"},
         1,
         "ok\n",
         "is not sent: it holds '@' (U+0040), and the session reads it in character set swe7, where that byte is "
         "'\xC3\x89' (U+00C9)\n"},
        {{"SET NAMES swe7", "INSERT INTO t VALUES (LENGTH('\x7F'))"},
         1,
         "ok\n",
         "is not sent: it holds DEL (U+007F), and the session reads it in character set swe7, where that byte is no "
         "character\n"},
        {{"SET character_set_connection = swe7", "INSERT INTO t VALUES (LENGTH('a|b'))"},
         1,
         "ok\n",
         "is not sent: it holds '|' (U+007C), and the session keeps its texts in character set swe7 "
         "(character_set_connection), which lacks it\n"},
    };
    std::vector<std::unique_ptr<CTempDir>> apDir;
    std::vector<std::unique_ptr<CProgram>> apRun;
    for (const auto& st : aCases) {
        apDir.emplace_back(new CTempDir("zt_rows"));
        std::vector<std::string> astrArgs = {
            "timeout", "600", "bash", SourcePath("scripts/run.sh"), "--sql",
            "CREATE TABLE t (id INT NOT NULL) ENGINE=MyISAM DATA DIRECTORY='" + apDir.back()->Path() + "'", "--sql",
            "INSERT INTO t VALUES (1), (2), (3)"};
        for (const std::string& s : st.astrSQL)
            astrArgs.insert(astrArgs.end(), {"--sql", s});
        apRun.emplace_back(new CProgram);
        ASSERT_TRUE(apRun.back()->bStart(astrArgs));
    }
    for (size_t i = 0; i < apRun.size(); ++i) {
        const auto& st = aCases[i];
        SCOPED_TRACE(st.astrSQL.back());
        EXPECT_EQ(apRun[i]->nWait(), st.nExit) << apRun[i]->Err();
        EXPECT_EQ(apRun[i]->Out(), std::string("ok\nok\n") + st.pszOut);
        if (!st.strRefusal.empty()) {
            EXPECT_NE(apRun[i]->Err().find("zthost: --sql '" + st.astrSQL.back() + "' " + st.strRefusal),
                      std::string::npos)
                << apRun[i]->Err();
        }
        struct stat stFile;
        ASSERT_EQ(stat((apDir[i]->Path() + "/t.MYD").c_str(), &stFile), 0);
        EXPECT_EQ(stFile.st_size, 3 * 7);
    }
}

TEST(RunScript, AServerThatCannotStartSaysWhyOncePerAttempt)
{
    // mariadbd given one more option it refuses: before its log opens (a
    // character set it lacks), or in its log (an option it does not know).
    const STProgramRun stReal = RunProgram({"sh", "-c", "command -v mariadbd"});
    ASSERT_EQ(stReal.nExit, 0);
    const std::string strReal = stReal.strOut.substr(0, stReal.strOut.find('\n'));
    const struct {
        const char* pszOption;
        const char* pszReason;
    } aCases[] = {
        {"--character-set-server=zt_none", "Character set 'zt_none' is not a compiled character set"},
        {"--zt-no-such-option", "unknown option '--zt-no-such-option'"},
    };
    std::vector<std::unique_ptr<CTempDir>> apDir;
    std::vector<std::unique_ptr<CProgram>> apRun;
    for (const auto& st : aCases) {
        apDir.emplace_back(new CTempDir("zt_refused"));
        const std::string strWrapper = apDir.back()->Path() + "/mariadbd";
        {
            std::ofstream out(strWrapper);
            out << "#!/bin/sh\nexec '" << strReal << "' \"$@\" " << st.pszOption << "\n";
        }
        ASSERT_EQ(chmod(strWrapper.c_str(), 0755), 0);
        apRun.emplace_back(new CProgram);
        ASSERT_TRUE(apRun.back()->bStart({"env", "PATH=" + apDir.back()->Path() + ":" + std::getenv("PATH"), "timeout",
                                          "600", "bash", SourcePath("scripts/run.sh"), "--sql", "SELECT 1"}));
    }
    for (size_t i = 0; i < apRun.size(); ++i) {
        SCOPED_TRACE(aCases[i].pszOption);
        const pid_t nRun = apRun[i]->nPid();
        EXPECT_EQ(apRun[i]->nWait(), 1);
        EXPECT_EQ(apRun[i]->Out(), "");
        const std::string strErr = apRun[i]->Err();
        size_t nSaid = 0;
        for (size_t n = strErr.find(aCases[i].pszReason); n != std::string::npos;
             n = strErr.find(aCases[i].pszReason, n + 1))
            nSaid++;
        EXPECT_EQ(nSaid, 3u) << strErr;
        EXPECT_NE(strErr.find("attempt 3 to start the server in "), std::string::npos) << strErr;
        EXPECT_NE(strErr.find("\nrun.sh: starting the private server in " + SourcePath("build/mariadb/")),
                  std::string::npos)
            << strErr;
        EXPECT_EQ(strErr.find("No such file"), std::string::npos) << strErr;
        EXPECT_EQ(strErr.find("did not answer in time"), std::string::npos) << strErr;
        EXPECT_FALSE(bFolderOfRun(nRun));
    }
}

TEST(RunScript, AFailedQueryNamesWhatDidNotRun)
{
    const STProgramRun st =
        RunProgram({"timeout", "600", "bash", SourcePath("scripts/run.sh"), "--sql", "CREATE TABLE t (id INT)", "--sql",
                    "SELEC 1", "--sql", "INSERT INTO t VALUES (1)", "--browse", "t"});
    EXPECT_EQ(st.nExit, 1);
    EXPECT_EQ(st.strOut, "ok\n");
    EXPECT_NE(st.strErr.find("1064"), std::string::npos) << st.strErr;
    EXPECT_NE(st.strErr.find("\nzthost: the run ends at the failed --sql: 1 later --sql and --browse did not run\n"
                             "private server stopped\n"),
              std::string::npos)
        << st.strErr;
}

TEST(RunScript, BuildJobsFollowCMakeBuildParallelLevel)
{
    // A cmake that notes its arguments and the jobs it is allowed.
    CTempDir clDir("zt_jobs");
    ASSERT_FALSE(clDir.Path().empty());
    const std::string strCMake = clDir.Path() + "/cmake";
    {
        std::ofstream out(strCMake);
        out << "#!/bin/sh\necho \"${CMAKE_BUILD_PARALLEL_LEVEL-unset} $*\" >>\"$ZT_CMAKE_LOG\"\n";
    }
    ASSERT_EQ(chmod(strCMake.c_str(), 0755), 0);
    const STProgramRun stCores = RunProgram({"nproc"});
    ASSERT_EQ(stCores.nExit, 0);
    const std::string strCores = stCores.strOut.substr(0, stCores.strOut.find('\n'));
    std::string strRoot = SourcePath("");
    strRoot.pop_back();
    const std::string strBuild = clDir.Path() + "/build";
    const struct {
        const char* pszLevel;
        std::string strConfigureLevel;
        std::string strBuildLevel;
    } aCases[] = {{"3", "3", "3"}, {nullptr, "unset", strCores}};
    for (const auto& st : aCases) {
        SCOPED_TRACE(st.strBuildLevel);
        const std::string strLog = clDir.Path() + "/log" + st.strBuildLevel;
        std::vector<std::string> astr = {"env", "-u", "CMAKE_BUILD_PARALLEL_LEVEL",
                                         "PATH=" + clDir.Path() + ":" + std::getenv("PATH"), "ZT_CMAKE_LOG=" + strLog};
        if (st.pszLevel != nullptr)
            astr.push_back(std::string("CMAKE_BUILD_PARALLEL_LEVEL=") + st.pszLevel);
        astr.insert(astr.end(), {"bash", "-c", "source \"$1\" && zt_build \"$2\" \"zthost ztbench\" -DZT_BENCH=ON",
                                 "bash", SourcePath("scripts/lib.sh"), strBuild});
        const STProgramRun stRun = RunProgram(astr);
        EXPECT_EQ(stRun.nExit, 0) << stRun.strErr;
        std::ifstream in(strLog);
        const std::string strLogged((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(strLogged, st.strConfigureLevel + " -S " + strRoot + " -B " + strBuild +
                                 " -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZT_BENCH=ON\n" + st.strBuildLevel +
                                 " --build " + strBuild + " --target zthost ztbench\n");
    }
}

} // namespace
