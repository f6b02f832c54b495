#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/XYString.h"
#include "host/HostConnectionDescription.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

typedef CHostConnectionDescription CHost;

// A connection whose dialect is set by the test and which records the SQL
// it is asked to run.
class CRecordingConnection : public CNAConnectionDescription {
public:
    CRecordingConnection() = default;
    explicit CRecordingConnection(INAConnectionDescription* pi) : CNAConnectionDescription(L"id", pi) {}

    int bOpen(CNAError*) override { return 0; }
    int bIsOpen() override { return 0; }
    int bClose(CNAError*) override { return 1; }
    void _InitKX2NativeType() override {}

    void SetKind(int nKind) { m_eDataSource = static_cast<eDATASOURCE>(nKind); }
    void SetQuotes(const wchar_t* pszOpen, const wchar_t* pszClose)
    {
        m_csOpeningQuote = pszOpen;
        m_nOpeningQuoteLength = m_csOpeningQuote.nTaille();
        m_csClosingQuote = pszClose;
        m_nClosingQuoteLength = m_csClosingQuote.nTaille();
    }
    void SetCodePages(int nHost, int nCnx)
    {
        m_nHostCodePage = nHost;
        m_nCnxCodePage = nCnx;
    }
    void SetServerVersion(const wchar_t* psz)
    {
        m_csServerVersion = psz;
        _bDecomposeServerVersion(nullptr);
    }
    int bExecuteQueryNoResult(CNAError*, const wchar_t* pszQuery) override
    {
        m_astrSQL.push_back(pszQuery);
        return m_bAnswer;
    }

    std::vector<std::wstring> m_astrSQL;
    int m_bAnswer = 1;
};

std::wstring S(const wchar_t* psz) { return psz != nullptr ? psz : L"(null)"; }

std::wstring Name(CRecordingConnection& cnx, const wchar_t* psz, bool bTable = false)
{
    CTString cl;
    if (bTable)
        EXPECT_EQ(cnx.bFormatTableName(nullptr, psz, &cl), 1);
    else
        EXPECT_EQ(cnx.bFormatItemName(nullptr, psz, &cl), 1);
    return S(cl.pszGet());
}

// ---- Options and identity -----------------------------------------------------------------

TEST(NAConnectionDescription, CursorOptionIsCutOutOfTheExtendedInformation)
{
    CHost host;
    host.SetText(CHost::TXT_EXTENDEDINFO, L"ZT Cursor Location=client;Server Port=3307");
    CRecordingConnection cnx(&host);
    EXPECT_EQ(cnx.eGetCursorLocation(), CNAConnectionDescription::CL_CLIENT);
    EXPECT_EQ(S(cnx.pszGetExtendedInfo()), L"Server Port=3307");
}

TEST(NAConnectionDescription, EveryOptionIsReadAndRemovedButTheCatalog)
{
    CHost host;
    host.SetText(CHost::TXT_EXTENDEDINFO,
                 L"ZT Connection Timeout=12; ZT Command Timeout = 34 ;ZT Lock Timeout=5;ZT Cache Size=5000000000;"
                 L"ZT Cursor Location=SERVER;ZT Unicode Support=0;ZT RECORD LOCK=WITH (NOLOCK);"
                 L"ZT CLIENT VERSION=10.3;ZT CLIENT LIBRARY=libx.so;Application Name=Shop;SSL Mode=REQUIRED;"
                 L"SSL Key=k.pem;SSL Cert=c.pem;SSL CA=ca.pem;SSL CAPath=/ca;SSL Cipher=AES;"
                 L"Initial Catalog=sales;Unix Socket=/tmp/s");
    CRecordingConnection cnx(&host);
    EXPECT_EQ(cnx.nGetConnectionTimeout(), 12);
    EXPECT_EQ(cnx.nGetCommandTimeout(), 34);
    EXPECT_EQ(cnx.nGetLockTimeout(), 5);
    EXPECT_EQ(cnx.llGetCacheSize(), 5000000000LL);
    EXPECT_EQ(cnx.eGetCursorLocation(), CNAConnectionDescription::CL_SERVER);
    EXPECT_EQ(cnx.nGetUnicodeSupport(), 0);
    EXPECT_EQ(S(cnx.pszGetNoLockHint()), L"WITH (NOLOCK)");
    EXPECT_EQ(S(cnx.pszGetClientVersionWanted()), L"10.3");
    EXPECT_EQ(S(cnx.pszGetClientLibraryWanted()), L"libx.so");
    EXPECT_EQ(S(cnx.pszGetApplicationName()), L"Shop");
    EXPECT_EQ(S(cnx.pszGetSSLMode()), L"REQUIRED");
    EXPECT_EQ(S(cnx.pszGetSSLKey()), L"k.pem");
    EXPECT_EQ(S(cnx.pszGetSSLCert()), L"c.pem");
    EXPECT_EQ(S(cnx.pszGetSSLCA()), L"ca.pem");
    EXPECT_EQ(S(cnx.pszGetSSLCAPath()), L"/ca");
    EXPECT_EQ(S(cnx.pszGetSSLCipher()), L"AES");
    EXPECT_EQ(S(cnx.pszGetExtendedInfo()), L"Initial Catalog=sales;Unix Socket=/tmp/s");
    EXPECT_EQ(S(cnx.pszGetDefaultDataBaseEx()), L"sales");
    EXPECT_EQ(host.nGetCacheSizeCalls(), 0);
}

TEST(NAConnectionDescription, AbsentOrEmptyOptionsKeepTheirDefaults)
{
    CHost host;
    host.SetTimeouts(15, 30);
    host.SetVersion(3);
    host.SetCursorOptions(0x2);
    host.SetText(CHost::TXT_EXTENDEDINFO, L"ZT Connection Timeout=;ZT Lock Timeout=");
    CRecordingConnection cnx(&host);
    EXPECT_EQ(cnx.nGetConnectionTimeout(), 15);
    EXPECT_EQ(cnx.nGetCommandTimeout(), 30);
    EXPECT_EQ(cnx.nGetLockTimeout(), -1);
    EXPECT_EQ(cnx.nGetUnicodeSupport(), 1);
    EXPECT_EQ(cnx.eGetCursorLocation(), CNAConnectionDescription::CL_CLIENT);
    EXPECT_EQ(S(cnx.pszGetExtendedInfo()), L"");
    EXPECT_EQ(S(cnx.pszGetNoLockHint()), L"");
}

TEST(NAConnectionDescription, CursorLocationFromTheHostAndFromTheOption)
{
    struct { int nHostOptions; const wchar_t* pszOption; int nExpected; } const tab[] = {
        {0, nullptr, 0},      {0x1, nullptr, 2},       {0x2, nullptr, 1},     {0x3, nullptr, 2},
        {0x1, L"client", 1},  {0x2, L"Server", 2},     {0x1, L"keyset", 0},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.nHostOptions);
        CHost host;
        host.SetCursorOptions(st.nHostOptions);
        if (st.pszOption != nullptr)
            host.SetText(CHost::TXT_EXTENDEDINFO, (std::wstring(L"ZT Cursor Location=") + st.pszOption).c_str());
        CRecordingConnection cnx(&host);
        EXPECT_EQ(cnx.eGetCursorLocation(), st.nExpected);
    }
}

TEST(NAConnectionDescription, CacheSizeIsAskedOfTheHostFromVersionFourOnly)
{
    struct { int nVersion; const wchar_t* pszInfo; long long llExpected; int nCalls; } const tab[] = {
        {3, nullptr, -2, 0}, {4, nullptr, 777, 1}, {4, L"ZT Cache Size=5000000000", 5000000000LL, 0},
        {3, L"ZT Cache Size=12", 12, 0},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.nVersion);
        CHost host;
        host.SetVersion(st.nVersion);
        host.SetCacheSize(777);
        host.SetText(CHost::TXT_EXTENDEDINFO, st.pszInfo);
        CRecordingConnection cnx(&host);
        EXPECT_EQ(cnx.llGetCacheSize(), st.llExpected);
        EXPECT_EQ(host.nGetCacheSizeCalls(), st.nCalls);
    }
}

TEST(NAConnectionDescription, ConnectionStringWritesNullForMissingTexts)
{
    CHost host;
    host.SetText(CHost::TXT_PROVIDER, L"MySQL");
    host.SetText(CHost::TXT_EXTENDEDINFO, L"");
    host.SetText(CHost::TXT_DATASOURCE, L"127.0.0.1");
    host.SetText(CHost::TXT_USER, L"");
    CRecordingConnection cnx(&host);
    EXPECT_EQ(S(cnx.pszGetConnectionString()),
              L"Provider=MySQL;ExtendedInformation=;Data source=127.0.0.1;user id=;password=NULL");
    CRecordingConnection cnxNoHost;
    EXPECT_EQ(S(cnxNoHost.pszGetConnectionString()),
              L"Provider=NULL;ExtendedInformation=NULL;Data source=NULL;user id=NULL;password=NULL");
}

TEST(NAConnectionDescription, HostAnswersArePassedThroughAndTheReferenceGivenBack)
{
    CHost host;
    host.SetText(CHost::TXT_USER, L"u");
    host.SetText(CHost::TXT_PASSWORD, L"p");
    host.SetText(CHost::TXT_DATASOURCE, L"db.example");
    host.SetText(CHost::TXT_DESCRIPTION, L"d");
    host.SetText(CHost::TXT_LOGICALNAME, L"L");
    host.SetAccess(NA_ACCESS_READ);
    host.SetCursorOptions(0x3);
    int nParam = 0;
    host.AddParam(&nParam);
    {
        CRecordingConnection cnx(&host);
        EXPECT_EQ(host.nGetRefCount(), 1);
        EXPECT_EQ(S(cnx.pszGetUserName()), L"u");
        EXPECT_EQ(S(cnx.pszGetPassword()), L"p");
        EXPECT_EQ(S(cnx.pszGetDataBase()), L"db.example");
        EXPECT_EQ(S(cnx.pszGetDescription()), L"d");
        EXPECT_EQ(S(cnx.pszGetLogicalConnectionName()), L"L");
        EXPECT_EQ(S(cnx.pszGetDefaultDataBase()), L"(null)");
        EXPECT_EQ(cnx.eGetAccess(), NA_ACCESS_READ);
        EXPECT_EQ(cnx.nGetNbParam(), 1);
        EXPECT_EQ(cnx.pclGetParam(0), &nParam);
        EXPECT_EQ(cnx.lGetCursorOptions(), 0x3);
    }
    EXPECT_EQ(host.nGetRefCount(), 0);
    CRecordingConnection cnxNoHost;
    EXPECT_EQ(cnxNoHost.lGetCursorOptions(), 0);
}

TEST(NAConnectionDescription, DefaultDatabaseFromOptionProviderOrHost)
{
    struct { const wchar_t* pszInfo; const wchar_t* pszProvider; const wchar_t* pszHost; const wchar_t* pszExpected; } const tab[] = {
        {L"Initial Catalog=a", L"Initial Catalog=b", L"c", L"a"}, {L"x=1", L"MySQL;Initial Catalog=b", L"c", L"b"},
        {nullptr, L"MySQL", L"c", L"c"}, {nullptr, nullptr, nullptr, L""},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(S(st.pszExpected));
        CHost host;
        host.SetText(CHost::TXT_EXTENDEDINFO, st.pszInfo);
        host.SetText(CHost::TXT_PROVIDER, st.pszProvider);
        host.SetText(CHost::TXT_DEFAULTDATABASE, st.pszHost);
        CRecordingConnection cnx(&host);
        EXPECT_EQ(S(cnx.pszGetDefaultDataBaseEx()), st.pszExpected);
    }
}

TEST(NAConnectionDescription, VersionTextsAreDecomposedFieldByField)
{
    struct { const wchar_t* psz; int nMajor, nMinor, nRevision; } const tab[] = {
        {L"5.1", 5, 1, -9}, {L"10.11.6-MariaDB", 10, 11, 6}, {L"", -9, -9, -9}, {L"8.0.36.1", 8, 0, 36},
        {L"x.2", -9, 2, -9},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.psz);
        const CTString cl(st.psz);
        int nMajor = -9, nMinor = -9, nRevision = -9;
        EXPECT_EQ(CNAConnectionDescription::g_bDecomposeVersion(nullptr, &cl, &nMajor, &nMinor, &nRevision), 1);
        EXPECT_EQ(nMajor, st.nMajor);
        EXPECT_EQ(nMinor, st.nMinor);
        EXPECT_EQ(nRevision, st.nRevision);
    }
    // No text at all is no failure and leaves every field as it was.
    int nMajor = -9, nMinor = -9, nRevision = -9;
    EXPECT_EQ(CNAConnectionDescription::g_bDecomposeVersion(nullptr, nullptr, &nMajor, &nMinor, &nRevision), 1);
    EXPECT_EQ(nMajor, -9);
    EXPECT_EQ(nMinor, -9);
    EXPECT_EQ(nRevision, -9);
    CRecordingConnection cnx;
    EXPECT_EQ(cnx.nGetServerVersionMajor(), -1);
    cnx.SetServerVersion(L"5.1");
    EXPECT_EQ(cnx.nGetServerVersionMajor(), 5);
    EXPECT_EQ(cnx.nGetServerVersionMinor(), 1);
    EXPECT_EQ(cnx.nGetServerVersionRevision(), 0);
}

TEST(NAConnectionDescription, ApplicationNameFromOptionOrProgram)
{
    CTString cl;
    CNAConnectionDescription::s_ExeNameOfPath(L"/opt/app/shop.bin", &cl);
    EXPECT_EQ(S(cl.pszGet()), L"shop");
    CNAConnectionDescription::s_ExeNameOfPath(L"/opt/app.d/shop", &cl);
    EXPECT_EQ(S(cl.pszGet()), L"shop");
    CNAConnectionDescription::s_ExeNameOfPath(L"/opt/.hidden", &cl);
    EXPECT_EQ(S(cl.pszGet()), L".hidden");

    CHost host;
    CRecordingConnection cnx(&host);
    EXPECT_EQ(S(cnx.pszGetApplicationName()), L"test_NAConnectionDescriptionTest");
    CTString clPath;
    ASSERT_EQ(CNAConnectionDescription::g_bGetModuleFileName(nullptr, &clPath), 1);
    EXPECT_TRUE(clPath.bTerminePar(L"/test_NAConnectionDescriptionTest"));
}

TEST(NAConnectionDescription, ClientLibraryWanted)
{
    CNAConnectionDescription::m_csClientLibrary = L"/usr/lib/i386-linux-gnu/libmariadb.so.3";
    struct { const wchar_t* pszWanted; int bResult; } const tab[] = {
        {nullptr, 1}, {L"/usr/lib/i386-linux-gnu/LIBMARIADB.so.3", 1}, {L"libmariadb.so.3", 1},
        {L"LibMariaDB.SO.3", 1}, {L"/opt/libmariadb.so.3", 0}, {L"libmysqlclient.so", 0},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(S(st.pszWanted));
        CHost host;
        if (st.pszWanted != nullptr)
            host.SetText(CHost::TXT_EXTENDEDINFO, (std::wstring(L"ZT CLIENT LIBRARY=") + st.pszWanted).c_str());
        CRecordingConnection cnx(&host);
        CNAError err;
        EXPECT_EQ(cnx._bCheckClientLibraryWanted(&err), st.bResult);
        EXPECT_EQ(err.dwGetErrorId(), st.bResult ? 0u : static_cast<unsigned>(ZTERR_CLIENT_LIBRARY));
    }
    CNAConnectionDescription::m_csClientLibrary.Vide();
}

TEST(NAConnectionDescription, HexadecimalRoundTrips)
{
    const unsigned char aby[] = {0x00, 0x01, 0x7F, 0x80, 0xAB, 0xFF};
    CTString cl;
    CNAConnectionDescription::s_BinaryToStringHexa(aby, sizeof aby, &cl);
    EXPECT_EQ(S(cl.pszGet()), L"00017F80ABFF");
    CXYString<char> clA;
    CNAConnectionDescription::s_BinaryToStringHexa(aby, sizeof aby, &clA);
    EXPECT_STREQ(clA.pszGet(), "00017F80ABFF");
    CTString clEmpty(L"x");
    CNAConnectionDescription::s_BinaryToStringHexa(nullptr, 0, &clEmpty);
    EXPECT_EQ(clEmpty.nTaille(), 0);

    unsigned char abyBack[sizeof aby] = {};
    EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary(cl.pszGet(), abyBack, sizeof abyBack), 6u);
    EXPECT_EQ(std::memcmp(abyBack, aby, sizeof aby), 0);
    EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary(L"00017f80abFF", abyBack, sizeof abyBack), 6u);
    EXPECT_EQ(std::memcmp(abyBack, aby, sizeof aby), 0);
    EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary("00017F80ABFF", abyBack, sizeof abyBack), 6u);
    EXPECT_EQ(std::memcmp(abyBack, aby, sizeof aby), 0);
}

TEST(NAConnectionDescription, HostileHexadecimalStaysWithinTheBuffer)
{
    struct { const char* psz; unsigned nCapacity; unsigned nWritten; const char* pszBytes; } const tab[] = {
        {"414243444546", 3, 3, "ABC"},   // stops at the capacity
        {"4142ZZ43", 6, 2, "AB"},        // a non-hexadecimal character
        {"41424", 6, 2, "AB"},           // a NUL in the second place of a pair
        {"41\0" "4243", 6, 1, "A"},      // a NUL in the first place
        {"-1", 6, 0, ""},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.psz);
        unsigned char aby[12];
        std::memset(aby, 0xEE, sizeof aby);
        EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary(st.psz, aby + 2, st.nCapacity), st.nWritten);
        EXPECT_EQ(std::memcmp(aby + 2, st.pszBytes, st.nWritten), 0);
        for (unsigned i = st.nWritten; i < st.nCapacity; ++i)
            EXPECT_EQ(aby[2 + i], 0) << i;  // zero-filled up to the capacity
        EXPECT_EQ(aby[0], 0xEE);
        EXPECT_EQ(aby[1], 0xEE);
        EXPECT_EQ(aby[2 + st.nCapacity], 0xEE);
    }
    EXPECT_EQ(CNAConnectionDescription::s_StringHexaToBinary("4142", static_cast<unsigned char*>(nullptr), 6), 0u);
}

// ---- Names ----------------------------------------------------------------------------------

TEST(NAConnectionDescription, MySQLNamesAreBackquotedWithInnerQuotesDoubled)
{
    CRecordingConnection cnx;
    cnx.SetKind(5);
    cnx.SetQuotes(L"`", L"`");
    EXPECT_EQ(Name(cnx, L"client"), L"`client`");
    EXPECT_EQ(Name(cnx, L"`client`"), L"`client`");
    EXPECT_EQ(Name(cnx, L"a`b"), L"`a``b`");
    EXPECT_EQ(Name(cnx, L"x` OR 1=1 -- "), L"`x`` OR 1=1 -- `");
    EXPECT_EQ(Name(cnx, L"a.b", true), L"`a`.`b`");
    EXPECT_EQ(Name(cnx, L"db.own.t", true), L"`db`.`own`.`t`");
    EXPECT_EQ(Name(cnx, L"`a.b`", true), L"`a.b`");
    EXPECT_EQ(Name(cnx, L"t", true), L"`t`");
    EXPECT_EQ(Name(cnx, L"a.`b`", true), L"`a`.`b`");
    // Only exactly one well-formed quoted name passes as it is.
    struct { const wchar_t* pszIn; bool bTable; const wchar_t* pszOut; } const tabHostile[] = {
        {L"`a` FROM mysql.user; -- ", false, L"```a`` FROM mysql.user; -- `"}, {L"`a``b`", false, L"`a``b`"},
        {L"`a`b`", false, L"```a``b```"}, {L"`", false, L"````"}, {L"", false, L"``"},
        {L"t; DROP TABLE keep; -- ", true, L"`t; DROP TABLE keep; -- `"},
        {L"`x`; DROP TABLE keep; -- ", true, L"```x``; DROP TABLE keep; -- `"}, {L"`db`.`t`", true, L"`db`.`t`"},
        {L"`a.b`.c", true, L"`a.b`.`c`"}, {L"`a.b", true, L"```a.b`"}, {L"`a``.b`.c", true, L"`a``.b`.`c`"},
    };
    for (const auto& st : tabHostile)
        EXPECT_EQ(Name(cnx, st.pszIn, st.bTable), st.pszOut) << S(st.pszIn);
    // Without a closing quote no name can prove itself quoted.
    CRecordingConnection cnxOpenOnly;
    cnxOpenOnly.SetKind(5);
    cnxOpenOnly.SetQuotes(L"[", L"");
    EXPECT_EQ(Name(cnxOpenOnly, L"[x"), L"[[x");

    struct { const wchar_t* pszIn; const wchar_t* pszOut; } const tab[] = {
        {L"`client`", L"client"}, {L"`a``b`", L"a`b"}, {L"``", L""},
        {L"`x", L"`x"},           {L"plain", L"plain"}, {L"`a`.`b`", L"a`.`b"},
    };
    for (const auto& st : tab) {
        CTString cl;
        cnx.UnFormatItemName(st.pszIn, &cl);
        EXPECT_EQ(S(cl.pszGet()), st.pszOut) << S(st.pszIn);
    }
    // The name may be the output's own text.
    CTString cl(L"`self`");
    cnx.UnFormatItemName(cl.pszGet(), &cl);
    EXPECT_EQ(S(cl.pszGet()), L"self");
    // Quoting then unquoting gives the name back.
    for (const wchar_t* psz : {L"a`b", L"``", L"x`y`z", L"`"}) {
        // The empty name too.
        CTString clEmpty, clEmptyBack;
        cnx.bFormatItemName(nullptr, L"", &clEmpty);
        cnx.UnFormatItemName(clEmpty.pszGet(), &clEmptyBack);
        EXPECT_EQ(S(clEmptyBack.pszGet()), L"");
        CTString clQuoted, clBack;
        cnx.bFormatItemName(nullptr, (std::wstring(L" ") + psz).c_str(), &clQuoted);
        cnx.UnFormatItemName(clQuoted.pszGet(), &clBack);
        EXPECT_EQ(S(clBack.pszGet()), std::wstring(L" ") + psz);
    }
}

// A name the SQL text's code page cannot hold would reach the server as
// "?": it is formatted all the same and refused, naming the first part of a
// table name refused; the host's code page stands in until the server's is
// known.
TEST(NAConnectionDescription, ANameTheSQLCodePageCannotHoldIsRefused)
{
    struct {
        int nHost, nCnx;
        const wchar_t* pszName;
        bool bTable;
        const wchar_t* pszOut;
        const wchar_t* pszNamed; // null: held
    } const tab[] = {
        {1252, 1252, L"\u00e9t\u00e9", false, L"`\u00e9t\u00e9`", nullptr},
        {1252, 1252, L"\u4e2d", false, L"`\u4e2d`", L"\u4e2d"},
        {1252, 1252, L"a.\u4e2d.\u65e5", true, L"`a`.`\u4e2d`.`\u65e5`", L"\u4e2d"},
        {1252, 1252, L"`\u65e5`", true, L"`\u65e5`", L"\u65e5"},
        {1252, 65001, L"a.\u4e2d", true, L"`a`.`\u4e2d`", nullptr},
        {65001, -1, L"\u4e2d", false, L"`\u4e2d`", nullptr},
        {1252, -2, L"\u4e2d", false, L"`\u4e2d`", L"\u4e2d"},
        {1251, 1251, L"\u0434", false, L"`\u0434`", nullptr},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(S(st.pszName));
        CRecordingConnection cnx;
        cnx.SetKind(5);
        cnx.SetQuotes(L"`", L"`");
        cnx.SetCodePages(st.nHost, st.nCnx);
        CNAError err;
        CTString cl;
        const int bHeld = st.bTable ? cnx.bFormatTableName(&err, st.pszName, &cl)
                                    : cnx.bFormatItemName(&err, st.pszName, &cl);
        EXPECT_EQ(bHeld, st.pszNamed == nullptr ? 1 : 0);
        EXPECT_EQ(S(cl.pszGet()), st.pszOut);
        EXPECT_EQ(err.dwGetErrorId(), st.pszNamed == nullptr ? 0u : static_cast<unsigned>(ZTERR_CODE_PAGE));
        if (st.pszNamed != nullptr) {
            const std::wstring strError = S(err.pszGetError());
            EXPECT_NE(strError.find(st.pszNamed), std::wstring::npos);
            // The first part refused only.
            EXPECT_EQ(strError.find(L"\u65e5") != std::wstring::npos, std::wstring(st.pszNamed) == L"\u65e5");
        }
    }
}

TEST(NAConnectionDescription, NamesWithoutQuotesAndTheOracleRule)
{
    CRecordingConnection cnx;
    EXPECT_EQ(Name(cnx, L"a`b"), L"a`b");
    EXPECT_EQ(Name(cnx, L"a.b", true), L"a.b");
    CTString cl;
    cnx.UnFormatItemName(L"`a`", &cl);
    EXPECT_EQ(S(cl.pszGet()), L"`a`");

    cnx.SetKind(1);
    cnx.SetQuotes(L"\"", L"\"");
    struct { const wchar_t* psz; const wchar_t* pszOut; } const tab[] = {
        {L"NAME", L"NAME"},         {L"my name", L"\"my name\""}, {L"a-b", L"\"a-b\""},
        {L"_x", L"\"_x\""},          {L"deg\u00B0", L"\"deg\u00B0\""}, {L"group", L"\"group\""},
        {L"\"q r\"", L"\"q r\""},     {L"[q r]", L"[q r]"},
    };
    for (const auto& st : tab)
        EXPECT_EQ(Name(cnx, st.psz), st.pszOut) << S(st.psz);
    EXPECT_EQ(CNAConnectionDescription::s_bReservedSQLWord(L"Group"), 1);
    EXPECT_EQ(CNAConnectionDescription::s_bReservedSQLWord(L"groups"), 0);

    // An opening quote of two characters, and a closing quote alone.
    cnx.SetKind(0);
    cnx.SetQuotes(L"<<", L">>");
    EXPECT_EQ(Name(cnx, L"<<a>>"), L"<<a>>");
    EXPECT_EQ(Name(cnx, L"<a"), L"<<<a>>");
    cnx.SetQuotes(L"", L"'");
    EXPECT_EQ(Name(cnx, L"a"), L"a'");
}

TEST(NAConnectionDescription, OwnerSplitAndThreePartNames)
{
    struct { const wchar_t* pszOwner; const wchar_t* pszName; const wchar_t* pszOutOwner; const wchar_t* pszOutTable; } const tab[] = {
        {nullptr, L"sales.orders", L"sales", L"orders"}, {L"", L"a.b.c", L"a", L"b.c"},
        {L"dbo", L"sales.orders", L"dbo", L"sales.orders"}, {nullptr, L"orders", L"?", L"orders"},
        {L"dbo", nullptr, L"dbo", L"?"},
    };
    for (const auto& st : tab) {
        CTString clOwner(L"?"), clTable(L"?");
        EXPECT_EQ(CNAConnectionDescription::bExtractOwner(st.pszOwner, st.pszName, &clOwner, &clTable), 1);
        EXPECT_EQ(S(clOwner.pszGet()), st.pszOutOwner) << S(st.pszName);
        EXPECT_EQ(S(clTable.pszGet()), st.pszOutTable) << S(st.pszName);
    }

    struct { const wchar_t* psz; const wchar_t* pszFirst; const wchar_t* pszSecond; const wchar_t* pszLast; } const tabD[] = {
        {L" t ", L"", L"", L"t"}, {L"own . t", L"", L"own", L"t"}, {L"db. own .t", L"db", L"own", L"t"},
        {L"db.own.t.x", L"db", L"own", L"t.x"}, {L".t", L"", L"", L"t"},
    };
    for (const auto& st : tabD) {
        CTString a(L"?"), b(L"?"), c(L"?");
        CNAConnectionDescription::DecomposeTableName(&a, &b, &c, st.psz);
        EXPECT_EQ(std::wstring(a.nTaille() > 0 ? a.pszGet() : L""), st.pszFirst) << S(st.psz);
        EXPECT_EQ(std::wstring(b.nTaille() > 0 ? b.pszGet() : L""), st.pszSecond) << S(st.psz);
        EXPECT_EQ(std::wstring(c.nTaille() > 0 ? c.pszGet() : L""), st.pszLast) << S(st.psz);
    }
}

// ---- Dialect --------------------------------------------------------------------------------

TEST(NAConnectionDescription, DialectAnswersOfEveryKind)
{
    for (int nKind = 0; nKind <= 14; ++nKind) {
        SCOPED_TRACE(nKind);
        CRecordingConnection cnx;
        cnx.SetKind(nKind);
        const bool bSub = nKind == 1 || nKind == 2 || nKind == 4 || nKind == 7 || nKind == 9 || nKind == 12 ||
                          nKind == 13;
        EXPECT_EQ(cnx.bSupportSubQuery(), bSub ? 1 : 0);
        EXPECT_EQ(cnx.bSupportLimitOrTop(), (nKind >= 1 && nKind <= 3) || nKind == 5 || nKind == 6 ? 1 : 0);
        EXPECT_EQ(cnx.nGetOrderByMaxExpressionNbr(), nKind == 4 ? 31 : 2147483647);
        EXPECT_EQ(S(cnx.pszGetVarCharType()), nKind == 1 ? L"VARCHAR2" : L"VARCHAR");
        EXPECT_EQ(S(cnx.pszGetNVarCharType()), nKind == 1 ? L"NVARCHAR2" : L"NVARCHAR");
        EXPECT_EQ(cnx.nGetVarCharMaxLen(), nKind == 2 ? 8000 : nKind == 5 ? 255 : nKind == 1 ? 4000 : -1);
        EXPECT_EQ(cnx.nGetNVarCharMaxLen(), nKind == 2 ? 4000 : nKind == 5 ? 255 : nKind == 1 ? 2000 : -1);
        EXPECT_EQ(cnx.bTreat0000DateAsNULL(), nKind == 2 ? 1 : 0);
        if (nKind != 5) {
            EXPECT_EQ(S(cnx.pszGetCLOBType()), L"CLOB");
            EXPECT_EQ(S(cnx.pszGetNCLOBType()), L"NCLOB");
        }
    }
}

TEST(NAConnectionDescription, MySQLLongTextTypesFollowTheServerVersion)
{
    CRecordingConnection cnx;
    cnx.SetKind(5);
    EXPECT_EQ(S(cnx.pszGetCLOBType()), L"LONGBLOB");  // no server version yet
    cnx.SetServerVersion(L"3.23.58");
    EXPECT_EQ(S(cnx.pszGetCLOBType()), L"LONGBLOB");
    EXPECT_EQ(S(cnx.pszGetNCLOBType()), L"LONGBLOB");
    cnx.SetServerVersion(L"10.11.6-MariaDB");
    EXPECT_EQ(S(cnx.pszGetCLOBType()), L"LONGTEXT");
    EXPECT_EQ(S(cnx.pszGetNCLOBType()), L"LONGTEXT CHARACTER SET ucs2");
}

TEST(NAConnectionDescription, FixedAnswersOfTheBase)
{
    CRecordingConnection cnx;
    EXPECT_EQ(cnx.bSupportOrderByMemo(), 0);
    EXPECT_EQ(cnx.bOrderByIndiceAllowed(), 1);
    EXPECT_EQ(cnx.bTreatEmptyDateAsNULL(), 1);
    EXPECT_EQ(cnx.bNULLBeforeNotNULL(), 1);
    EXPECT_EQ(cnx.bCanPrepareQuery(), 1);
    EXPECT_EQ(cnx.bTransactionEndCloseParse(), 0);
    EXPECT_EQ(cnx.bSupportItemTime(), 0);
    EXPECT_EQ(cnx.bSupportItemDate(), 0);
    EXPECT_EQ(cnx.bSupportInsertReturning(), 0);
    EXPECT_EQ(cnx.bIndexNamesCommonOnDatabase(), 0);
    EXPECT_EQ(cnx.bDBTypeUnkwnownByDB(3), 0);
    EXPECT_EQ(cnx.eGetNAErrorType(1062), NA_ERRORTYPE_GENERAL);
    // The base has no server error to describe or type to name.
    EXPECT_EQ(cnx.bInitError(nullptr, 2006, 0), 0);
    CTString clType;
    EXPECT_EQ(cnx.bDBTypeToString(&clType, 3), 0);
}

TEST(NAConnectionDescription, LockTextsGoToTheServerAndTheirAnswerComesBack)
{
    CHost host;
    host.SetText(CHost::TXT_EXTENDEDINFO, L"ZT RECORD LOCK=LOCK IN SHARE MODE");
    CRecordingConnection cnx(&host);
    EXPECT_EQ(cnx.bSQLBloque(nullptr, L"t1 WRITE, t2 READ"), 1);
    cnx.m_bAnswer = 0;
    EXPECT_EQ(cnx.bSQLBloqueRequete(nullptr, L"SELECT * FROM t WHERE id=1"), 0);
    ASSERT_EQ(cnx.m_astrSQL.size(), 2u);
    EXPECT_EQ(cnx.m_astrSQL[0], L"LOCK TABLE t1 WRITE, t2 READ");
    EXPECT_EQ(cnx.m_astrSQL[1], L"SELECT * FROM t WHERE id=1 FOR UPDATE");
    EXPECT_EQ(S(cnx.pszGetNoLockHint()), L"LOCK IN SHARE MODE");
}

} // namespace
