// The client library loader with stand-in libraries (one per scenario,
// opened by absolute path), the real library by its default name, and the
// crash guard around client calls.
#include "mysql/NAFunctionLoader.h"

#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "tests/support/FakeClient.h"
#include "tests/support/TempDir.h"
#include "tests/support/Paths.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Every change of the working directory in this program passes here.
static int s_nChdirCalls = 0;
extern "C" int chdir(const char* pszPath)
{
    s_nChdirCalls++;
    return static_cast<int>(syscall(SYS_chdir, pszPath));
}

namespace {

struct STPointer {
    std::string strName;
    void* pCurrent;
    void* pStandBy;
    bool bRequired;
};

// The 24 pointers as they stand now, in binding order.
std::vector<STPointer> Pointers()
{
    std::vector<STPointer> tab;
#define ZT_TEST_POINTER(name, result, params, required) \
    tab.push_back({#name, reinterpret_cast<void*>(__##name), reinterpret_cast<void*>(&DefaultError_##name), required});
    ZT_MYSQL_CLIENT_FUNCTIONS(ZT_TEST_POINTER)
#undef ZT_TEST_POINTER
    return tab;
}

// The library's own function, looked up apart from the loader.
void* Own(const std::string& strLibrary, const std::string& strName)
{
    void* h = dlopen(strLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr)
        return nullptr;
    void* p = dlsym(h, strName.c_str());
    dlclose(h);
    return p;
}

bool Contains(const wchar_t* psz, const std::wstring& strPart)
{
    return psz != nullptr && std::wstring(psz).find(strPart) != std::wstring::npos;
}

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// A driver whose own error object the test can read, and which notes the
// error objects handed to its crash hook.
class CTestDriver : public CNADriver {
public:
    CNAError* pclError() { return m_pclError; }
    void OnFatalErrorAddDebugMessage(CNAError* pError, CNAConnectionDescription*) override
    {
        m_tabCrashTargets.push_back(pError);
    }
    std::vector<CNAError*> m_tabCrashTargets;
};

// Each test starts and ends with no library and every pointer at its
// stand-by.
class NAFunctionLoader : public testing::Test {
protected:
    void SetUp() override { CNAFunctionLoader::g_Term(); }
    void TearDown() override { CNAFunctionLoader::g_Term(); }

    int bLoad(const std::string& strLibrary)
    {
        const std::wstring str = Wide(strLibrary);
        return CNAFunctionLoader::g_bInitNative(&m_clError, &m_csPath, str.c_str(), 0);
    }

    CNAError m_clError;
    CTString m_csPath;
};

TEST_F(NAFunctionLoader, CallBeforeAnyLoadGives37NamingTheFunction)
{
    const int bCaughtBefore = CNADriver::s_bGPFCatched;
    MYSQL_ROW row = reinterpret_cast<MYSQL_ROW>(&row);
    EXPECT_FALSE(bNAClientCall(&m_clError, nullptr, 100, 5, row, nullptr, __mysql_fetch_row, nullptr));
    EXPECT_EQ(row, nullptr);
    EXPECT_EQ(m_clError.dwGetErrorId(), 37u);
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetUserMessage(), L"\"mysql_fetch_row\""));
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), L"IEDUZARO=100.5\r\n"));
    // A missing function is no crash.
    EXPECT_EQ(CNADriver::s_bGPFCatched, bCaughtBefore);

    // Without a result, and without an error object (dropped).
    CNAError clClose;
    EXPECT_FALSE(bNAClientCall(&clClose, nullptr, 101, 8, __mysql_close, nullptr));
    EXPECT_TRUE(Contains(clClose.pclGetXError()->pszGetUserMessage(), L"\"mysql_close\""));
    unsigned int nErrno = 7;
    EXPECT_FALSE(bNAClientCall(nullptr, nullptr, 101, 13, nErrno, 0, __mysql_errno, nullptr));
    EXPECT_EQ(nErrno, 0u);
}

TEST_F(NAFunctionLoader, LibraryThatCannotBeOpenedGives27AndTheNextOpenTriesAgain)
{
    void* h = dlopen("/nonexistent/libx.so", RTLD_NOW);
    ASSERT_EQ(h, nullptr);
    const std::wstring strReason = Wide(dlerror());

    EXPECT_EQ(bLoad("/nonexistent/libx.so"), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 27u);
    const CXError* pcl = m_clError.pclGetXError();
    EXPECT_TRUE(Contains(pcl->pszGetUserMessage(), L"MySQL"));
    EXPECT_TRUE(Contains(pcl->pszGetUserMessage(), L"\"/nonexistent/libx.so\""));
    EXPECT_TRUE(Contains(pcl->pszGetUserMessage(), L"32"));
    EXPECT_TRUE(Contains(pcl->pszGetDebugMessage(), L"IEDUZARO=9.1\r\n"));
    EXPECT_EQ(std::wstring(pcl->pszGetSystemErrorMessage()), strReason);
    EXPECT_FALSE(CNAFunctionLoader::g_bLoaded());
    EXPECT_NE(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
    EXPECT_EQ(m_csPath.nTaille(), 0);

    m_clError.Reset();
    EXPECT_EQ(bLoad(FakeClientPath("zt_fake_complete.so")), 1);
    EXPECT_EQ(m_clError.dwGetErrorId(), 0u);
    EXPECT_TRUE(CNAFunctionLoader::g_bLoaded());
}

TEST_F(NAFunctionLoader, CompleteLibraryBindsEveryPointerToItsOwnFunction)
{
    const std::string strLibrary = FakeClientPath("zt_fake_complete.so");
    ASSERT_EQ(bLoad(strLibrary), 1);
    for (const STPointer& st : Pointers())
        EXPECT_EQ(st.pCurrent, Own(strLibrary, st.strName)) << st.strName;
    // The library's own file, not the program's.
    EXPECT_EQ(std::wstring(m_csPath.pszGet()), Wide(strLibrary));
}

TEST_F(NAFunctionLoader, MissingRequiredFunctionStopsTheBindingAt37)
{
    const std::string strLibrary = FakeClientPath("zt_fake_no_affected_rows.so");
    EXPECT_EQ(bLoad(strLibrary), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 37u);
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetUserMessage(), L"\"mysql_affected_rows\""));
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), L"IEDUZARO=9.2\r\n"));
    // The library stays open: no second load.
    EXPECT_TRUE(CNAFunctionLoader::g_bLoaded());
    int nBound = 0;
    for (const STPointer& st : Pointers()) {
        if (st.pCurrent != st.pStandBy) {
            EXPECT_EQ(st.pCurrent, Own(strLibrary, st.strName)) << st.strName;
            nBound++;
        }
    }
    EXPECT_EQ(nBound, 19);
    EXPECT_EQ(reinterpret_cast<void*>(__mysql_affected_rows), reinterpret_cast<void*>(&DefaultError_mysql_affected_rows));
    // Those after it were never bound.
    EXPECT_EQ(reinterpret_cast<void*>(__mysql_options), reinterpret_cast<void*>(&DefaultError_mysql_options));
}

TEST_F(NAFunctionLoader, MissingOptionalFunctionsKeepTheirStandBys)
{
    ASSERT_EQ(bLoad(FakeClientPath("zt_fake_required_only.so")), 1);
    for (const STPointer& st : Pointers()) {
        if (st.bRequired)
            EXPECT_NE(st.pCurrent, st.pStandBy) << st.strName;
        else
            EXPECT_EQ(st.pCurrent, st.pStandBy) << st.strName;
    }
}

TEST_F(NAFunctionLoader, TermPutsEveryPointerBackToItsStandBy)
{
    ASSERT_EQ(bLoad(FakeClientPath("zt_fake_complete.so")), 1);
    CNAFunctionLoader::g_Term();
    EXPECT_EQ(CNAFunctionLoader::g_pclNAFunctionLoader, nullptr);
    EXPECT_FALSE(CNAFunctionLoader::g_bLoaded());
    for (const STPointer& st : Pointers())
        EXPECT_EQ(st.pCurrent, st.pStandBy) << st.strName;
    // A late call meets the stand-by.
    MYSQL* h = nullptr;
    EXPECT_FALSE(bNAClientCall(&m_clError, nullptr, 101, 6, h, nullptr, __mysql_init, nullptr));
    EXPECT_EQ(m_clError.dwGetErrorId(), 37u);
}

TEST_F(NAFunctionLoader, ExceptionInAClientCallGives23AndMarksTheCrash)
{
    ASSERT_EQ(bLoad(FakeClientPath("zt_fake_throwing.so")), 1);
    CNADriver::s_bGPFCatched = 0;
    unsigned int nErrno = 7;
    EXPECT_FALSE(bNAClientCall(&m_clError, nullptr, 101, 13, nErrno, 0, __mysql_errno, nullptr));
    EXPECT_EQ(nErrno, 0u);
    EXPECT_EQ(m_clError.dwGetErrorId(), 23u);
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetUserMessage(), L"MySQL"));
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), L"IEDUZARO=101.13\r\n"));
    EXPECT_EQ(CNADriver::s_bGPFCatched, 1);

    // Without an error object of its own the call reports to the driver's.
    CTestDriver clDriver;
    clDriver.AllocError();
    CNADriver* pclBefore = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = &clDriver;
    EXPECT_FALSE(bNAClientCall(nullptr, nullptr, 101, 8, __mysql_close, nullptr));
    CNADriver::s_pclDriver = pclBefore;
    ASSERT_NE(clDriver.pclError(), nullptr);
    EXPECT_EQ(clDriver.pclError()->dwGetErrorId(), 23u);
    EXPECT_TRUE(Contains(clDriver.pclError()->pclGetXError()->pszGetDebugMessage(), L"IEDUZARO=101.8\r\n"));
    // The driver's hook was told, with the error object that took the 23.
    EXPECT_EQ(clDriver.m_tabCrashTargets, std::vector<CNAError*>{clDriver.pclError()});

    // With neither, nothing is recorded and nothing escapes.
    CNADriver::s_pclDriver = nullptr;
    EXPECT_FALSE(bNAClientCall(nullptr, nullptr, 101, 8, __mysql_close, nullptr));
    CNADriver::s_pclDriver = pclBefore;

    // A missing function is no crash: the hook is not called.
    clDriver.m_tabCrashTargets.clear();
    CNADriver::s_pclDriver = &clDriver;
    CNAFunctionLoader::g_Term();
    EXPECT_FALSE(bNAClientCall(nullptr, nullptr, 101, 8, __mysql_close, nullptr));
    CNADriver::s_pclDriver = pclBefore;
    EXPECT_TRUE(clDriver.m_tabCrashTargets.empty());
}

TEST_F(NAFunctionLoader, ClientVersionTextAndNumbers)
{
    struct {
        const char* pszLibrary;
        const wchar_t* pszVersion;
    } tab[] = {
        // mariadb_get_infov's answer, not the compatibility level "3.3.20".
        {"zt_fake_complete.so", L"10.11.19"},
        // Without mariadb_get_infov: mysql_get_client_info.
        {"zt_fake_required_only.so", L"4.1.22"},
    };
    for (const auto& t : tab) {
        CNAFunctionLoader::g_Term();
        ASSERT_EQ(bLoad(FakeClientPath(t.pszLibrary)), 1) << t.pszLibrary;
        CTString csVersion;
        EXPECT_EQ(CNAFunctionLoader::g_bGetClientVersion(&m_clError, nullptr, 101, 7, &csVersion), 1);
        EXPECT_EQ(std::wstring(csVersion.pszGet()), t.pszVersion) << t.pszLibrary;
    }
}

TEST_F(NAFunctionLoader, ClientVersionBeforeAnyLoadFailsAt37)
{
    CTString csVersion(L"old");
    EXPECT_EQ(CNAFunctionLoader::g_bGetClientVersion(&m_clError, nullptr, 101, 7, &csVersion), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 37u);
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), L"IEDUZARO=101.7\r\n"));
    EXPECT_EQ(std::wstring(csVersion.pszGet()), L"old");
}

TEST(NAFunctionLoaderVersion, WalkReadsMajorAndMinorAsNumbers)
{
    struct {
        const wchar_t* pszText;
        int nMajor;
        int nMinor;
    } tab[] = {
        {L"4.1.22", 4, 1},
        {L"5.0.51a", 5, 0},
        {L"x5.0", 0, 0},
        {L"10.11.19-MariaDB", 10, 11},
        {L"3.3.20", 3, 3},
        {L"5", 5, 0},
        {L"5.", 5, 0},
        {L"5.x1", 5, 0},
        {L"", 0, 0},
        {nullptr, 0, 0},
        {L"99999999999.2", INT_MAX, 2},
    };
    for (const auto& t : tab) {
        int nMajor = -1;
        int nMinor = -1;
        CNAFunctionLoader::g_GetVersionNumbers(t.pszText, &nMajor, &nMinor);
        const std::wstring strText = t.pszText != nullptr ? t.pszText : L"(null)";
        EXPECT_EQ(nMajor, t.nMajor) << std::string(strText.begin(), strText.end());
        EXPECT_EQ(nMinor, t.nMinor) << std::string(strText.begin(), strText.end());
    }
}

TEST_F(NAFunctionLoader, OpeningNeverChangesTheWorkingDirectory)
{
    CTempDir dir("zt_loader_cwd");
    ASSERT_FALSE(dir.Path().empty());
    char szBefore[4096];
    ASSERT_NE(getcwd(szBefore, sizeof(szBefore)), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    s_nChdirCalls = 0;

    EXPECT_EQ(bLoad("/nonexistent/libx.so"), 0);
    EXPECT_EQ(bLoad("libzt_not_there.so"), 0);
    EXPECT_EQ(bLoad(FakeClientPath("zt_fake_complete.so")), 1);
    EXPECT_EQ(s_nChdirCalls, 0);
    char szAfter[4096];
    ASSERT_NE(getcwd(szAfter, sizeof(szAfter)), nullptr);
    EXPECT_EQ(std::string(szAfter), dir.Path());
    ASSERT_EQ(chdir(szBefore), 0);
}

// Runs a probe program: its output lines, or one line with the exit status
// when it fails.
std::vector<std::string> RunProbe(const std::string& strProgram)
{
    std::vector<std::string> tab;
    FILE* p = popen(strProgram.c_str(), "r");
    if (p == nullptr)
        return tab;
    char sz[4096];
    while (fgets(sz, sizeof(sz), p) != nullptr) {
        std::string s(sz);
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        tab.push_back(s);
    }
    const int nStatus = pclose(p);
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0)
        tab.assign(1, "probe failed, status " + std::to_string(nStatus));
    return tab;
}

TEST(NAFunctionLoaderSearch, ProgramDirectoryComesBeforeTheLoaderSearch)
{
    CTempDir dir("zt_loader_probe");
    ASSERT_FALSE(dir.Path().empty());
    const std::string strProbe = dir.Path() + "/zt_loader_probe";
    const std::string strLibrary = dir.Path() + "/libmysqlclient.so";
    ASSERT_EQ(std::system(("cp '" + FakeClientPath("zt_loader_probe") + "' '" + strProbe + "'").c_str()), 0);
    ASSERT_EQ(std::system(("cp '" + FakeClientPath("zt_fake_complete.so") + "' '" + strLibrary + "'").c_str()), 0);

    // The stand-in beside the program, by its full path.
    const std::vector<std::string> tabOwn = RunProbe("'" + strProbe + "'");
    ASSERT_EQ(tabOwn.size(), 2u) << (tabOwn.empty() ? "" : tabOwn[0]);
    EXPECT_EQ(tabOwn[0], strLibrary);
    EXPECT_EQ(tabOwn[1], "10.11.19");

    // Without one there, the loader's own search finds the installed library.
    ASSERT_EQ(unlink(strLibrary.c_str()), 0);
    const std::vector<std::string> tabSystem = RunProbe("'" + strProbe + "'");
    ASSERT_EQ(tabSystem.size(), 2u) << (tabSystem.empty() ? "" : tabSystem[0]);
    EXPECT_NE(tabSystem[0].find("/libmysqlclient.so"), std::string::npos);
    EXPECT_NE(tabSystem[0].rfind(dir.Path(), 0), 0u);
}

TEST_F(NAFunctionLoader, InstalledLibraryReportsItsOwnVersion)
{
    ASSERT_EQ(CNAFunctionLoader::g_bInitNative(&m_clError, &m_csPath, L"", 0), 1);
    CTString csVersion;
    ASSERT_EQ(CNAFunctionLoader::g_bGetClientVersion(&m_clError, nullptr, 101, 7, &csVersion), 1);
    // Its mysql_get_client_info answers a compatibility level only.
    const std::string strCompat = __mysql_get_client_info();
    EXPECT_NE(std::wstring(csVersion.pszGet()), Wide(strCompat));
    int nMajor = 0;
    int nMinor = 0;
    CNAFunctionLoader::g_GetVersionNumbers(csVersion.pszGet(), &nMajor, &nMinor);
    EXPECT_GE(nMajor, 5);
}

TEST_F(NAFunctionLoader, CountingLibraryForwardsAndCountsHandles)
{
    const std::string strLibrary = FakeClientPath("zt_counting_client.so");
    ASSERT_EQ(bLoad(strLibrary), 1);
    EXPECT_EQ(std::wstring(m_csPath.pszGet()), Wide(strLibrary));
    typedef int (*PFN_COUNT)();
    auto pfnInits = reinterpret_cast<PFN_COUNT>(Own(strLibrary, "CountingClient_nInits"));
    auto pfnCloses = reinterpret_cast<PFN_COUNT>(Own(strLibrary, "CountingClient_nCloses"));
    ASSERT_NE(pfnInits, nullptr);
    ASSERT_NE(pfnCloses, nullptr);

    MYSQL* h = nullptr;
    ASSERT_TRUE(bNAClientCall(&m_clError, nullptr, 101, 6, h, nullptr, __mysql_init, nullptr));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(pfnInits(), 1);
    EXPECT_EQ(pfnCloses(), 0);
    EXPECT_TRUE(bNAClientCall(&m_clError, nullptr, 101, 8, __mysql_close, h));
    EXPECT_EQ(pfnCloses(), 1);
}

TEST(NAFunctionLoaderExports, ModuleExportsThePointersAndTheCrashFlag)
{
    void* h = dlopen(BuildPath("zt190msql.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    for (const STPointer& st : Pointers()) {
        void** pp = static_cast<void**>(dlsym(h, ("__" + st.strName).c_str()));
        ASSERT_NE(pp, nullptr) << st.strName;
        // The module's own stand-by until a library is bound.
        EXPECT_NE(*pp, nullptr) << st.strName;
    }
    const int* pbCaught = static_cast<const int*>(dlsym(h, "_ZN9CNADriver13s_bGPFCatchedE"));
    ASSERT_NE(pbCaught, nullptr);
    EXPECT_EQ(*pbCaught, 0);
    dlclose(h);
}

} // namespace
