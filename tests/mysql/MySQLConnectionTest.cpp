// The MySQL connection against stand-in client libraries: the open
// sequence's calls and arguments, its failures at each step, the handles
// given back, and the literals it writes.
#include "mysql/MySQLConnection.h"

#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TStringConcatAW.h"
#include "common/values/Any.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLDriver.h"
#include "tests/support/FakeClient.h"
#include "tests/support/FakeClientState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <string>

namespace {

bool Contains(const wchar_t* psz, const std::wstring& strPart)
{
    return psz != nullptr && std::wstring(psz).find(strPart) != std::wstring::npos;
}

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

std::wstring DebugLine(int nPoint)
{
    return L"IEDUZARO=101." + std::to_wstring(nPoint) + L"\r\n";
}

// User error code of the n-th sub-error of the leading error; 0 when none.
unsigned int SubErrorCode(CNAError& cl, int n)
{
    CXError* pcl = cl.pclGetXError();
    return n < pcl->nGetNbSubError() ? pcl->pclGetSubError(n)->nGetUserErrorCode() : 0;
}

// Each test loads the stand-in it names, with its state reset: answers that
// succeed, no call recorded.
class MySQLConnectionFake : public testing::Test {
protected:
    void SetUp() override { CNAFunctionLoader::g_Term(); }
    void TearDown() override
    {
        m_pclConnection.reset();
        CNAFunctionLoader::g_Term();
        if (m_hFake != nullptr)
            dlclose(m_hFake);
    }

    // The scenario's library and a connection to 127.0.0.1 as zt into db,
    // with these further options.
    void Use(const char* pszScenario, const std::wstring& strOptions = L"")
    {
        const std::string strLibrary = FakeClientPath(std::string("zt_fake_") + pszScenario + ".so");
        m_strLibrary = Wide(strLibrary);
        m_hFake = dlopen(strLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_hFake, nullptr) << dlerror();
        auto pfnState = reinterpret_cast<PFN_FakeClient_pState>(dlsym(m_hFake, "FakeClient_pState"));
        ASSERT_NE(pfnState, nullptr);
        m = pfnState();
        std::memset(m, 0, sizeof(*m));
        m->bConnectOK = 1;
        const std::wstring strExtended = L"ZT CLIENT LIBRARY=" + m_strLibrary + L";" + strOptions;
        m_clHost.SetText(CHostConnectionDescription::TXT_EXTENDEDINFO, strExtended.c_str());
        m_clHost.SetText(CHostConnectionDescription::TXT_DATASOURCE, L"127.0.0.1");
        m_clHost.SetText(CHostConnectionDescription::TXT_USER, L"zt");
        m_clHost.SetText(CHostConnectionDescription::TXT_PASSWORD, L"secret");
        m_clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"db");
        m_pclConnection.reset(new CMySQLConnection(L"fake", &m_clHost));
    }

    CMySQLConnection& Cnx() { return *m_pclConnection; }
    // Handles made and not given back.
    int nHandlesOpen() const { return m->nInits - m->nCloses; }

    CHostConnectionDescription m_clHost;
    std::unique_ptr<CMySQLConnection> m_pclConnection;
    std::wstring m_strLibrary;
    void* m_hFake = nullptr;
    STFakeClientState* m = nullptr;
    CNAError m_clError;
};

TEST_F(MySQLConnectionFake, OpenLoadsTheLibraryConnectsAndSwitchesToUTF8)
{
    Use("complete");
    ASSERT_EQ(Cnx().bOpen(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_EQ(Cnx().bIsOpen(), 1);
    EXPECT_EQ(m_clError.dwGetErrorId(), 0u);
    EXPECT_EQ(std::wstring(CNAConnectionDescription::m_csClientLibrary.pszGet()), m_strLibrary);
    EXPECT_EQ(std::wstring(CNAConnectionDescription::m_csClientVersion.pszGet()), L"10.11.19");
    EXPECT_EQ(CMySQLConnection::gbUseNextResult, 1);
    EXPECT_STREQ(m->szHost, "127.0.0.1");
    EXPECT_STREQ(m->szUser, "zt");
    EXPECT_STREQ(m->szPassword, "secret");
    EXPECT_STREQ(m->szDatabase, "db");
    EXPECT_STREQ(m->szSocket, "(null)");
    EXPECT_EQ(m->nPort, 0u);
    // The connect runs in latin1, then the session changes to UTF-8.
    EXPECT_STREQ(m->szCharset, "latin1");
    EXPECT_STREQ(m->szQueries, "SET NAMES 'utf8mb4'\n");
    EXPECT_EQ(Cnx().nGetCnxCodePage(), 65001);
    EXPECT_EQ(Cnx().nGetUnicodeSupport(), 1);
    EXPECT_EQ(std::wstring(Cnx().pszGetServerVersion()), L"10.11.19-fake");
    EXPECT_EQ(Cnx().nGetServerVersionMajor(), 10);
    EXPECT_EQ(Cnx().nGetServerVersionMinor(), 11);
    EXPECT_EQ(Cnx().eGetDataSource(), CNAConnectionDescription::DS_MYSQL);
    EXPECT_EQ(nHandlesOpen(), 1);

    EXPECT_EQ(Cnx().bClose(&m_clError), 1);
    EXPECT_EQ(Cnx().bIsOpen(), 0);
    EXPECT_EQ(Cnx().pGetHandle(), nullptr);
    EXPECT_EQ(nHandlesOpen(), 0);
}

TEST_F(MySQLConnectionFake, SessionCharsetFollowsTheVersions)
{
    struct {
        const char* pszScenario;
        const char* pszServer;
        const std::wstring strOptions;
        const char* pszQueries;
        int nCodePage;
        int nUnicode;
        int nQueryResult; // of SET NAMES; refused, the open stays in 1252
    } tab[] = {
        {"complete", "5.5.3-log", L"", "SET NAMES 'utf8mb4'\n", 65001, 1, 0},
        {"complete", "5.5.2", L"", "SET NAMES 'utf8'\n", 65001, 1, 0},
        {"complete", "4.1.0", L"", "SET NAMES 'utf8'\n", 65001, 1, 0},
        {"complete", "4.0.30", L"", "", 1252, 0, 0},
        {"complete", "10.11.19", L"ZT Unicode Support=0", "", 1252, 0, 0},
        {"complete", "10.11.19", L"", "SET NAMES 'utf8mb4'\n", 1252, 0, 1},
        // "3.3.20": the library's compatibility level, older than 4.1.
        {"no_infov", "10.11.19", L"", "", 1252, 0, 0},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(std::string(t.pszScenario) + " " + t.pszServer);
        TearDown();
        Use(t.pszScenario, t.strOptions);
        std::strcpy(m->szServerInfo, t.pszServer);
        m->nQueryResult = t.nQueryResult;
        ASSERT_EQ(Cnx().bOpen(&m_clError), 1) << m_clError.pszGetError();
        EXPECT_EQ(m_clError.dwGetErrorId(), 0u);
        EXPECT_STREQ(m->szQueries, t.pszQueries);
        EXPECT_EQ(Cnx().nGetCnxCodePage(), t.nCodePage);
        EXPECT_EQ(Cnx().nGetUnicodeSupport(), t.nUnicode);
        EXPECT_STREQ(m->szCharset, "latin1");
    }
}

TEST_F(MySQLConnectionFake, ClientFlags)
{
    struct {
        const char* pszScenario;
        const std::wstring strOptions;
        unsigned long nFlags;
    } tab[] = {
        {"complete", L"", 65538},
        {"complete", L"Client Flag=32", 65570},
        {"no_next_result", L"Client Flag=32", 34},
        {"no_infov", L"", 2},
        {"complete", L"Client Flag=x", 65538},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(std::string(t.pszScenario) + " " + std::string(t.strOptions.begin(), t.strOptions.end()));
        TearDown();
        Use(t.pszScenario, t.strOptions);
        ASSERT_EQ(Cnx().bOpen(&m_clError), 1) << m_clError.pszGetError();
        EXPECT_EQ(m->nFlags, t.nFlags);
    }
}

TEST_F(MySQLConnectionFake, PortSocketAndFlagsAreReadOnceAndKept)
{
    Use("complete", L"Server Port=3307; Unix Socket=/tmp/zt.sock ;Client Flag=32;Other=1");
    ASSERT_EQ(Cnx().bOpen(&m_clError), 1);
    EXPECT_EQ(std::wstring(Cnx().pszGetExtendedInfo()), L"Other=1");
    ASSERT_EQ(Cnx().bClose(&m_clError), 1);
    ASSERT_EQ(Cnx().bOpen(&m_clError), 1);
    EXPECT_EQ(m->nConnects, 2);
    EXPECT_EQ(m->nPort, 3307u);
    EXPECT_STREQ(m->szSocket, "/tmp/zt.sock");
    EXPECT_EQ(m->nFlags, 65570ul);
    CTString csSocket;
    EXPECT_EQ(Cnx().bGetUnixSocket(&csSocket), 1);
    EXPECT_EQ(std::wstring(csSocket.pszGet()), L"/tmp/zt.sock");
}

TEST_F(MySQLConnectionFake, OpenOnAnOpenConnectionAndCloseOnAClosedOneCallNothing)
{
    Use("complete");
    EXPECT_EQ(Cnx().bClose(&m_clError), 1);
    EXPECT_EQ(m->nCalls, 0);
    ASSERT_EQ(Cnx().bOpen(&m_clError), 1);
    const int nCalls = m->nCalls;
    EXPECT_EQ(Cnx().bOpen(&m_clError), 1);
    EXPECT_EQ(Cnx().bOpenCreate(&m_clError), 1);
    EXPECT_EQ(m->nCalls, nCalls);
    ASSERT_EQ(Cnx().bClose(&m_clError), 1);
    EXPECT_EQ(Cnx().bClose(&m_clError), 1);
    EXPECT_EQ(m->nCalls, nCalls + 1);
}

TEST_F(MySQLConnectionFake, ConnectionTimeOutIsGivenToTheHandleBeforeConnecting)
{
    struct {
        const char* pszName;
        std::wstring strOptions;
        int nHostDefault;
        int nCalls;
        unsigned int nSeconds;
    } tab[] = {
        {"option", L"ZT Connection Timeout=3", 15, 1, 3},
        {"host's default", L"", 7, 1, 7},
        {"zero keeps the library's", L"ZT Connection Timeout=0", 15, 0, 0},
        {"none keeps the library's", L"", -1, 0, 0},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszName);
        TearDown();
        m_clHost.SetTimeouts(t.nHostDefault, 30);
        Use("complete", t.strOptions);
        ASSERT_EQ(Cnx().bOpen(&m_clError), 1) << m_clError.pszGetError();
        EXPECT_EQ(m->nConnectTimeoutCalls, t.nCalls);
        EXPECT_EQ(m->nConnectTimeout, t.nSeconds);
        EXPECT_EQ(m->nConnects, 1);
    }
}

TEST_F(MySQLConnectionFake, FailuresOfTheOpenSequence)
{
    struct {
        const char* pszName;
        const char* pszScenario;
        const std::wstring strOptions;
        void (*pfnSet)(STFakeClientState*);
        unsigned int nFirst;
        int nPoint;
        unsigned int nUnder;   // user error of the first sub-error, 0: none
        unsigned int nServer;  // server error number, 0: none
        const wchar_t* pszDebug;
    } tab[] = {
        {"init gives NULL", "complete", L"", [](STFakeClientState* p) { p->bInitNull = 1; }, 78, 21, 0, 0,
         L"mysql_init returned NULL"},
        {"charset refused", "complete", L"", [](STFakeClientState* p) { p->nOptionsResult = 1; }, 76, 20, 0, 0, L""},
        {"SSL refused", "complete", L"SSL CA=/tmp/ca.pem", [](STFakeClientState* p) { p->nSslResult = 1; }, 79, 22, 22,
         2026, L""},
        {"connect refused", "complete", L"", [](STFakeClientState* p) { p->bConnectOK = 0; }, 79, 23, 22, 2002, L""},
        {"SSL without mysql_ssl_set", "required_only", L"SSL Cert=/tmp/c.pem", nullptr, 75, 1, 0, 0, L""},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszName);
        TearDown();
        m_clError.Reset();
        Use(t.pszScenario, t.strOptions);
        if (t.pfnSet != nullptr)
            t.pfnSet(m);
        EXPECT_EQ(Cnx().bOpen(&m_clError), 0);
        EXPECT_EQ(Cnx().bIsOpen(), 0);
        EXPECT_EQ(m_clError.dwGetErrorId(), t.nFirst);
        EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), DebugLine(t.nPoint)))
            << m_clError.pszGetError();
        EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), t.pszDebug));
        EXPECT_EQ(SubErrorCode(m_clError, 0), t.nUnder);
        EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), t.nServer);
        // Every handle made was given back.
        EXPECT_EQ(nHandlesOpen(), 0);
    }
}

// What each "SSL Mode" asks of the library: TLS from REQUIRED up, the
// server's name checked only for VERIFY_IDENTITY, a CA for both VERIFY
// modes; an unknown word stops the open before any handle.
TEST_F(MySQLConnectionFake, TLSModesAskTheLibraryForWhatTheyName)
{
    struct {
        const wchar_t* pszOptions;
        int bOpens;
        int nSslCalls;
        int nVerifyCalls;
        int nPoint; // of a refusal
    } const tab[] = {
        {L"", 1, 0, 0, 0},
        {L"SSL Mode=DISABLED", 1, 0, 0, 0},
        {L"SSL Mode=PREFERRED;SSL CA=/tmp/ca.pem", 1, 1, 0, 0},
        {L"SSL Mode=REQUIRED", 1, 1, 0, 0},
        {L"SSL Mode=Verify_CA;SSL CA=/tmp/ca.pem", 1, 1, 0, 0},
        {L"SSL Mode=VERIFY_CA;SSL CAPath=/tmp", 1, 1, 0, 0},
        {L"SSL Mode=VERIFY_IDENTITY;SSL CA=/tmp/ca.pem", 1, 1, 1, 0},
        {L"SSL Mode=VERIFY_CA", 0, 0, 0, 38},
        {L"SSL Mode=VERIFY_IDENTITY;SSL Cert=/tmp/c.pem", 0, 0, 0, 38},
        {L"SSL Mode=STRICT;SSL CA=/tmp/ca.pem", 0, 0, 0, 37},
        {L"SSL Mode=REQUIRED_", 0, 0, 0, 37},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(std::string(t.pszOptions, t.pszOptions + wcslen(t.pszOptions)));
        TearDown();
        m_clError.Reset();
        Use("complete", t.pszOptions);
        std::strcpy(m->szSslCipher, "TLS_AES_256_GCM_SHA384");
        EXPECT_EQ(Cnx().bOpen(&m_clError), t.bOpens) << m_clError.pszGetError();
        EXPECT_EQ(m->nSslCalls, t.nSslCalls);
        EXPECT_EQ(m->nVerifyServerCertCalls, t.nVerifyCalls);
        EXPECT_EQ(m->nVerifyServerCert, t.nVerifyCalls);
        if (t.bOpens)
            continue;
        EXPECT_EQ(m_clError.dwGetErrorId(), 79u);
        EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), DebugLine(t.nPoint)));
        const std::wstring strMode = std::wstring(t.pszOptions).substr(9, std::wstring(t.pszOptions).find(L';') - 9);
        EXPECT_TRUE(Contains(m_clError.pszGetError(), L"SSL Mode=" + strMode)) << m_clError.pszGetError();
        EXPECT_EQ(m->nInits, 0);
    }
    // Asked for TLS, the library went on in clear text: refused.
    for (const wchar_t* pszMode : {L"REQUIRED", L"VERIFY_CA"}) {
        TearDown();
        m_clError.Reset();
        Use("complete", L"SSL Mode=" + std::wstring(pszMode) + L";SSL CA=/tmp/ca.pem");
        EXPECT_EQ(Cnx().bOpen(&m_clError), 0);
        EXPECT_EQ(m_clError.dwGetErrorId(), 79u);
        EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(),
                             L"SSL Mode=" + std::wstring(pszMode) + L": the session is not encrypted"));
        EXPECT_EQ(nHandlesOpen(), 0);
    }
    // A library that refuses to check the name: no open, no handle left.
    TearDown();
    m_clError.Reset();
    Use("complete", L"SSL Mode=VERIFY_IDENTITY;SSL CA=/tmp/ca.pem");
    m->nVerifyServerCertResult = 1;
    EXPECT_EQ(Cnx().bOpen(&m_clError), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 76u);
    EXPECT_EQ(m->nConnects, 0);
    EXPECT_EQ(nHandlesOpen(), 0);
}

TEST_F(MySQLConnectionFake, ParametersOutside1252NeedTheOptionsFunction)
{
    // A library without mysql_options cannot send them.
    Use("required_only");
    m_clHost.SetText(CHostConnectionDescription::TXT_USER, L"Ωmega");
    m_pclConnection.reset(new CMySQLConnection(L"fake", &m_clHost));
    EXPECT_EQ(Cnx().bOpen(&m_clError), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 76u);
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), DebugLine(2)));
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetUserMessage(), L"4.1.22"));
    EXPECT_EQ(m->nInits, 0);
}

TEST_F(MySQLConnectionFake, CharsetOfTheConnectFollowsTheNames)
{
    struct {
        const wchar_t* pszUser;
        const wchar_t* pszPassword;
        const char* pszCharset;
        const char* pszUserSent;
        const char* pszPasswordSent;
    } tab[] = {
        {L"jos\u00e9", L"secret", "latin1", "jos\xe9", "secret"},
        {L"jos\u00e9", L"s\u00e9cret", "utf8", "jos\xc3\xa9", "s\xc3\xa9" "cret"},
        {L"\u03a9mega", L"secret", "utf8", "\xce\xa9mega", "secret"},
    };
    for (const auto& t : tab) {
        TearDown();
        Use("complete");
        m_clHost.SetText(CHostConnectionDescription::TXT_USER, t.pszUser);
        m_clHost.SetText(CHostConnectionDescription::TXT_PASSWORD, t.pszPassword);
        m_pclConnection.reset(new CMySQLConnection(L"fake", &m_clHost));
        ASSERT_EQ(Cnx().bOpen(&m_clError), 1) << m_clError.pszGetError();
        EXPECT_STREQ(m->szCharset, t.pszCharset);
        EXPECT_STREQ(m->szUser, t.pszUserSent);
        EXPECT_STREQ(m->szPassword, t.pszPasswordSent);
    }
}

TEST_F(MySQLConnectionFake, CrashInTheLibraryGives23WithTheDriversDebugMessage)
{
    CMySQLDriver clDriver;
    clDriver.AllocError();
    CNADriver* pclBefore = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = &clDriver;
    CNADriver::s_bGPFCatched = 0;
    Use("throwing");
    EXPECT_EQ(Cnx().bOpen(&m_clError), 0);
    CNADriver::s_pclDriver = pclBefore;
    // 78 leads; the crash of mysql_init is under it.
    EXPECT_EQ(m_clError.dwGetErrorId(), 78u);
    ASSERT_EQ(SubErrorCode(m_clError, 0), 23u);
    const CXError* pclCrash = m_clError.pclGetXError()->pclGetSubError(0);
    EXPECT_TRUE(Contains(pclCrash->pszGetUserMessage(), L"MySQL"));
    EXPECT_TRUE(Contains(pclCrash->pszGetDebugMessage(), DebugLine(6)));
    EXPECT_TRUE(Contains(pclCrash->pszGetDebugMessage(), L"3.23.52"));
    EXPECT_TRUE(Contains(pclCrash->pszGetDebugMessage(), L"\"5.0.51a\""));
    EXPECT_EQ(CNADriver::s_bGPFCatched, 1);
}

TEST_F(MySQLConnectionFake, ServerErrorsOfDirectQueries)
{
    Use("complete");
    // Closed: nothing reaches the library.
    EXPECT_EQ(Cnx().bExecuteQueryNoResult(&m_clError, L"SELECT 1"), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 79u);
    EXPECT_EQ(m->nCalls, 0);

    m_clError.Reset();
    ASSERT_EQ(Cnx().bOpen(&m_clError), 1);
    m->nQueryResult = 1;
    EXPECT_EQ(Cnx().bExecuteQueryNoResult(&m_clError, L"SELEC 1"), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 22u);
    EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), 1064u);
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), DebugLine(17)));
    // The data source is the first argument, the server's text follows.
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetUserMessage(), L"\"127.0.0.1\""));
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetUserMessage(), L"fake client library: refused"));

    // No server error: nothing recorded.
    CNAError clNone;
    m->nQueryResult = 0;
    EXPECT_EQ(Cnx().bExecuteQueryNoResult(&clNone, L"SELECT 1"), 1);
    EXPECT_EQ(Cnx().bInitError(&clNone, 100, 3), 1);
    EXPECT_EQ(clNone.dwGetErrorId(), 0u);
}

TEST(MySQLConnectionErrorKind, ServerNumbersToKinds)
{
    CMySQLConnection cl(L"kinds", nullptr);
    EXPECT_EQ(cl.eGetNAErrorType(1062), NA_ERRORTYPE_DUPLICATE);
    EXPECT_EQ(cl.eGetNAErrorType(1205), NA_ERRORTYPE_LOCKTIMEOUT);
    EXPECT_EQ(cl.eGetNAErrorType(1048), NA_ERRORTYPE_NULLREFUSED);
    EXPECT_EQ(cl.eGetNAErrorType(1049), NA_ERRORTYPE_GENERAL);
    EXPECT_EQ(cl.bSupportOrderByMemo(), 1);
}

// The literal in both forms: its 8-bit bytes in the connection's code page.
std::string Literal(CMySQLConnection& cl, unsigned short nType, const void* p, unsigned int nSize, int* pbOK,
                    CNAError* pclError = nullptr)
{
    const int nPage = cl.nGetCnxCodePage() != -1 ? cl.nGetCnxCodePage() : 1252;
    CTStringConcatAW clOut(nPage, static_cast<unsigned>(nPage));
    clOut.Add("stale", 5, 1252);
    CNAError clError;
    *pbOK = cl._bEscapeString(pclError != nullptr ? pclError : &clError, &clOut, nType,
                              static_cast<unsigned char*>(const_cast<void*>(p)), nSize);
    return clOut.pszGetA();
}

TEST_F(MySQLConnectionFake, LiteralsInBothCodePages)
{
    const char szONeil[] = "O'Neil";
    const char szAccents[] = "caf\xe9";       // 1252
    const char szNul[] = "a\0b\\";
    const wchar_t szWide[] = L"é€Ω\\";
    const wchar_t szWideNul[] = L"é\0";
    const wchar_t szSurrogate[] = {L'a', 0xD800, 0};
    const wchar_t cOmega = L'Ω';
    const unsigned char tabBinary[] = {0x00, 0x27, 0x5c, 0xff};
    const char cE = '\xe9';
    // A null literal: refused with user error 77.
    struct {
        const char* pszName;
        unsigned short nType;
        const void* p;
        unsigned int nSize;
        const char* psz1252;
        const char* pszUTF8;
    } tab[] = {
        {"empty", TQTYPE_DSTRW, szWide, 0, "''", "''"},
        {"8-bit text", TQTYPE_DSTRA, szONeil, 6, "'O\\'Neil'", "'O\\'Neil'"},
        {"8-bit text to its size", TQTYPE_DSTRA, szONeil, 3, "'O\\'N'", "'O\\'N'"},
        {"8-bit accents", TQTYPE_DSTRA, szAccents, 4, "'caf\xe9'", "'caf\xc3\xa9'"},
        {"8-bit NUL inside", TQTYPE_DSTRA, szNul, 4, "_latin1 X'6100625C'", "_utf8mb4 X'6100625C'"},
        {"wide text", TQTYPE_DSTRW, szWide, sizeof(szWide) - sizeof(wchar_t), nullptr,
         "'\xc3\xa9\xe2\x82\xac\xce\xa9\\\\'"},
        {"wide NUL at the end", TQTYPE_DSTRW, szWideNul, sizeof(szWideNul), "_latin1 X'E90000'",
         "_utf8mb4 X'C3A90000'"},
        {"lone surrogate", TQTYPE_DSTRW, szSurrogate, 2 * sizeof(wchar_t), nullptr, nullptr},
        {"wide character", TQTYPE_CARW, &cOmega, 4, nullptr, "'\xce\xa9'"},
        {"8-bit character", TQTYPE_CARA, &cE, 1, "'\xe9'", "'\xc3\xa9'"},
        {"binary", TQTYPE_BIN, tabBinary, 4, "X'00275CFF'", "X'00275CFF'"},
        {"other types are bytes", 13, tabBinary, 2, "X'0027'", "X'0027'"},
    };
    for (int bUnicode = 0; bUnicode < 2; bUnicode++) {
        TearDown();
        Use("complete", bUnicode ? L"" : L"ZT Unicode Support=0");
        ASSERT_EQ(Cnx().bOpen(&m_clError), 1);
        ASSERT_EQ(Cnx().nGetCnxCodePage(), bUnicode ? 65001 : 1252);
        for (const auto& t : tab) {
            SCOPED_TRACE(std::string(t.pszName) + (bUnicode ? " UTF-8" : " 1252"));
            const char* pszWanted = bUnicode ? t.pszUTF8 : t.psz1252;
            int bOK = 0;
            CNAError clError;
            const std::string str = Literal(Cnx(), t.nType, t.p, t.nSize, &bOK, &clError);
            EXPECT_EQ(bOK, pszWanted != nullptr);
            EXPECT_EQ(clError.dwGetErrorId(), pszWanted != nullptr ? 0u : 77u);
            EXPECT_EQ(str, pszWanted != nullptr ? pszWanted : "");
        }
    }
}

TEST_F(MySQLConnectionFake, EscapingFollowsTheSessionsMode)
{
    const char szValue[] = "O'N\\";
    struct {
        const char* pszRow;
        const char* pszLibrary;
        int bOpen;
        int bNoBackslash;
        const char* pszLiteral;
        int bBackslashRead; // how the connection reads the session's texts
    } tab[] = {
        {"backslashes", "complete", 1, 0, "'O\\'N\\\\'", 1},
        {"NO_BACKSLASH_ESCAPES", "complete", 1, 1, "'O''N\\'", 0},
        // Without the connection's own escaping the mode is unknown: texts
        // are read in the server's default mode.
        {"before the open", "complete", 0, 1, "_latin1 X'4F274E5C'", 1},
        {"library without it", "required_only", 1, 1, "_latin1 X'4F274E5C'", 1},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszRow);
        TearDown();
        Use(t.pszLibrary, L"ZT Unicode Support=0");
        if (t.bOpen) {
            ASSERT_EQ(Cnx().bOpen(&m_clError), 1);
        }
        m->bNoBackslashEscapes = t.bNoBackslash;
        EXPECT_EQ(Cnx().bBackslashEscapes(), t.bBackslashRead);
        int bOK = 0;
        EXPECT_EQ(Literal(Cnx(), TQTYPE_DSTRA, szValue, 4, &bOK), t.pszLiteral);
        EXPECT_EQ(bOK, 1);
        // A value with nothing to escape stays a plain literal; an empty
        // one calls nothing.
        EXPECT_EQ(Literal(Cnx(), TQTYPE_DSTRA, "ab", 2, &bOK), "'ab'");
        const int nCalls = m->nCalls;
        EXPECT_EQ(Literal(Cnx(), TQTYPE_DSTRA, "x", 0, &bOK), "''");
        EXPECT_EQ(m->nCalls, nCalls);
    }
}

TEST_F(MySQLConnectionFake, LockRunsSelectForUpdate)
{
    Use("complete", L"ZT Unicode Support=0");
    ASSERT_EQ(Cnx().bOpen(&m_clError), 1);
    // The text runs in a statement of the driver's SQL interface, which
    // holds its error object and the connection.
    Cnx().AddRef();
    CMySQLDriver clDriver;
    clDriver.AllocError();
    CNADriver* pclBefore = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = &clDriver;
    CNAError* pError = new CNAError;
    pError->AddRef();
    EXPECT_EQ(Cnx().bSQLBloque(pError, L"T1"), 1) << pError->pszGetError();
    pError->nRelease();
    CNADriver::s_pclDriver = nullptr;
    EXPECT_STREQ(m->szQueries, "SELECT * FROM `T1` FOR UPDATE\n");
    EXPECT_EQ(Cnx().bSQLBloque(&m_clError, L"T1"), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_MEMORY));
    CNADriver::s_pclDriver = pclBefore;
}

} // namespace
