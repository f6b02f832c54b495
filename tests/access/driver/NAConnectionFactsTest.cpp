#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/AnyValue.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

typedef CHostConnectionDescription CHost;

// A connection with settable version texts and code pages; the one value
// of its direct queries is set by the test.
class CFactConnection : public CNAConnectionDescription {
public:
    explicit CFactConnection(INAConnectionDescription* pi) : CNAConnectionDescription(L"id", pi) {}
    int bOpen(CNAError*) override { return 1; }
    int bIsOpen() override { return 1; }
    int bClose(CNAError*) override { return 1; }
    void _InitKX2NativeType() override {}
    int bGetRequestedValue(CNAError*, CAny* pValue, int nColumn, const wchar_t* pszQuery) override
    {
        m_nColumnAsked = nColumn;
        m_strQuery = pszQuery;
        m_clValue.pclGetTraitement()->Duplique(pValue);
        return m_bAnswer;
    }
    void SetServerVersion(const wchar_t* psz) { m_csServerVersion = psz; }
    void SetServerVersionNumbers(int nMajor, int nMinor, int nRevision)
    {
        m_nServerVersionMajor = nMajor;
        m_nServerVersionMinor = nMinor;
        m_nServerVersionRevision = nRevision;
    }
    void SetCodePages(int nHost, int nCnx)
    {
        m_nHostCodePage = nHost;
        m_nCnxCodePage = nCnx;
    }

    CAny m_clValue;
    int m_bAnswer = 1;
    int m_nColumnAsked = -1;
    std::wstring m_strQuery;
};

std::vector<std::wstring> Lines(const wchar_t* psz)
{
    std::vector<std::wstring> a;
    std::wstring s = psz != nullptr ? psz : L"";
    size_t n = 0;
    while (n <= s.size()) {
        const size_t nEnd = s.find(L"\r\n", n);
        a.push_back(s.substr(n, nEnd == std::wstring::npos ? std::wstring::npos : nEnd - n));
        if (nEnd == std::wstring::npos)
            break;
        n = nEnd + 2;
    }
    return a;
}

std::wstring TextInfo(const CXError& cl, eERRORINFOTYPE e)
{
    const void* p = nullptr;
    if (!cl.bGetInfo(e, &p) || p == nullptr)
        return L"(none)";
    return static_cast<const wchar_t*>(p);
}

// A driver for the captions only.
class CCaptionDriver : public CNADriver {};

class ConnectionFacts : public testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        bInitLibrary(nullptr);
        m_pclDriver = new CCaptionDriver;
        CNADriver::s_pclDriver = m_pclDriver;
        m_host.SetText(CHost::TXT_PROVIDER, L"MySQL");
        m_host.SetText(CHost::TXT_USER, L"alice");
        m_host.SetText(CHost::TXT_PASSWORD, L"pa55-never-shown");
        m_host.SetText(CHost::TXT_DATASOURCE, L"127.0.0.1");
        m_host.SetText(CHost::TXT_DEFAULTDATABASE, L"shop");
        m_host.SetText(CHost::TXT_EXTENDEDINFO,
                       L"ZT Connection Timeout=5;ZT Lock Timeout=7;ZT Cursor Location=Server;ZT RECORD LOCK=NOWAIT");
        m_csVersion = CNAConnectionDescription::m_csClientVersion;
        m_csLibrary = CNAConnectionDescription::m_csClientLibrary;
        CNAConnectionDescription::m_csClientVersion = L"10.11.19";
        CNAConnectionDescription::m_csClientLibrary = L"/lib/libclient.so";
    }
    void TearDown() override
    {
        CNAConnectionDescription::m_csClientVersion = m_csVersion;
        CNAConnectionDescription::m_csClientLibrary = m_csLibrary;
        CNADriver::s_pclDriver = nullptr;
        delete m_pclDriver;
    }
    std::wstring Label(int n) { return m_pclDriver->pszGetLabel(n); }

    CHost m_host;
    CCaptionDriver* m_pclDriver = nullptr;
    CTString m_csVersion;
    CTString m_csLibrary;
};

TEST_F(ConnectionFacts, InfosAndCaptionedLinesInTheirOrderWithoutThePassword)
{
    CFactConnection cnx(&m_host);
    cnx.SetServerVersion(L"10.11.6-MariaDB");
    cnx.SetCodePages(65001, -2);
    _CXErrorModule32 err;
    cnx.AddInfoNativeXError(&err);
    EXPECT_EQ(TextInfo(err, EIT_INFOCLIENT), L"10.11.19");
    EXPECT_EQ(TextInfo(err, EIT_INFOSERVEUR), L"10.11.6-MariaDB");
    const std::vector<std::wstring> a = Lines(err.pszGetDebugMessage());
    const std::vector<std::wstring> aWanted = {
        Label(28) + L"/lib/libclient.so", Label(14) + L"MySQL", Label(15) + L"alice",
        Label(13) + L"127.0.0.1",          Label(16) + L"shop",  Label(17) + L"5",
        Label(18) + L"30",                 Label(19) + L"7",                  Label(20) + L"Server", Label(21) + L"1",
        Label(26) + L"UTF-8",              Label(27) + L"UTF-16", Label(22) + L"NOWAIT"};
    EXPECT_EQ(a, aWanted);
    EXPECT_EQ(std::wstring(err.pszGetDebugMessage()).find(L"pa55"), std::wstring::npos);
    // The captions are the query dump's, loaded by the first fact.
    EXPECT_GT(Label(28).size(), 1u);
}

TEST_F(ConnectionFacts, UnsetFactsWriteNoLine)
{
    // All time-outs at -1 write no time-out line.
    CHost host;
    host.SetTimeouts(-1, -1);
    CFactConnection cnx(&host);
    cnx.SetCodePages(-1, -1);
    const CTString csVersion = CNAConnectionDescription::m_csClientVersion;
    CNAConnectionDescription::m_csClientVersion.Vide();
    CNAConnectionDescription::m_csClientLibrary.Vide();
    _CXErrorModule32 err;
    cnx.AddInfoNativeXError(&err);
    EXPECT_EQ(TextInfo(err, EIT_INFOCLIENT), L"(none)");
    EXPECT_EQ(TextInfo(err, EIT_INFOSERVEUR), L"(none)");
    // Only the two facts that always have a value.
    EXPECT_EQ(Lines(err.pszGetDebugMessage()),
              (std::vector<std::wstring>{Label(20) + L"Default", Label(21) + L"1"}));
}

TEST_F(ConnectionFacts, CodePagesAndCursorLocationsAsText)
{
    struct {
        int nCodePage;
        const wchar_t* pszText;
    } tab[] = {{65001, L"UTF-8"}, {-2, L"UTF-16"}, {1252, L"1252"}, {0, L"0"}};
    for (const auto& st : tab) {
        CHost host;
        CFactConnection cnx(&host);
        cnx.SetCodePages(st.nCodePage, -1);
        _CXErrorModule32 err;
        cnx.AddInfoNativeXError(&err);
        const std::vector<std::wstring> a = Lines(err.pszGetDebugMessage());
        ASSERT_FALSE(a.empty());
        EXPECT_EQ(a.back(), Label(26) + st.pszText);
    }
    for (const wchar_t* psz : {L"Client", L"Default"}) {
        CHost host;
        host.SetText(CHost::TXT_EXTENDEDINFO, (std::wstring(L"ZT Cursor Location=") + psz).c_str());
        CFactConnection cnx(&host);
        _CXErrorModule32 err;
        cnx.AddInfoNativeXError(&err);
        EXPECT_NE(std::wstring(err.pszGetDebugMessage()).find(Label(20) + psz), std::wstring::npos);
    }
}

TEST_F(ConnectionFacts, RaisedErrorsOfAConnectionCarryItsFacts)
{
    CFactConnection cnx(&m_host);
    CNAError err;
    cnx.AddInfoNative(&err);
    EXPECT_EQ(TextInfo(*err.pclGetXError(), EIT_INFOCLIENT), L"10.11.19");
    CNAError err2;
    EXPECT_EQ(cnx.bTransactionCommit(&err2, L"T"), 0);
    EXPECT_EQ(TextInfo(*err2.pclGetXError(), EIT_INFOCLIENT), L"10.11.19");
    EXPECT_NE(std::wstring(err2.pclGetXError()->pszGetDebugMessage()).find(Label(15) + L"alice"),
              std::wstring::npos);
}

TEST_F(ConnectionFacts, DiagnosisIsNotOffered)
{
    CFactConnection cnx(&m_host);
    CNAError err;
    CAny cl;
    EXPECT_EQ(cnx.bDiagnose(&err, &cl, L"orders", 0), 0);
    EXPECT_EQ(err.dwGetErrorId(), 8u);
    EXPECT_EQ(err.eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    EXPECT_EQ(std::wstring(err.pszGetLogicalTableName()), L"orders");
}

TEST_F(ConnectionFacts, RequestedValueAsText)
{
    CFactConnection cnx(&m_host);
    CNAError err;
    CTString cs(L"old");
    Set(cnx.m_clValue, TQTYPE_I4, 42);
    EXPECT_EQ(cnx.bGetRequestedValueString(&err, &cs, 0, L"SELECT 42"), 1);
    EXPECT_EQ(std::wstring(cs.pszGet()), L"42");
    EXPECT_EQ(cnx.m_nColumnAsked, 0);
    EXPECT_EQ(cnx.m_strQuery, L"SELECT 42");
    cnx.m_clValue.SetNullFlag(true);
    EXPECT_EQ(cnx.bGetRequestedValueString(&err, &cs, 0, L"SELECT NULL"), 1);
    EXPECT_EQ(cs.nTaille(), 0);
    cnx.m_bAnswer = 0;
    EXPECT_EQ(cnx.bGetRequestedValueString(&err, &cs, 0, L"SELECT 'x'"), 0);
}

// The four-byte set came with 5.5.3: an older server knows only utf8.
TEST_F(ConnectionFacts, UnicodeSetByServerVersion)
{
    CFactConnection cnx(&m_host);
    const struct {
        int nMajor, nMinor, nRevision;
        const wchar_t* pszWanted;
    } aCases[] = {{5, 5, 2, L"utf8"}, {5, 5, 3, L"utf8mb4"}, {5, 4, 99, L"utf8"}, {10, 0, 0, L"utf8mb4"}};
    for (const auto& c : aCases) {
        cnx.SetServerVersionNumbers(c.nMajor, c.nMinor, c.nRevision);
        EXPECT_EQ(std::wstring(cnx.pszGetUnicodeCharset()), c.pszWanted) << c.nMajor << "." << c.nMinor << "."
                                                                       << c.nRevision;
    }
}

} // namespace
