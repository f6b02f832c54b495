// The MySQL connection against the private server, through a client library
// that counts the handles it makes and closes: opening by TCP and by socket,
// UTF-8 and 1252 sessions, refusals, database creation, a lost connection,
// TLS, names outside ASCII, literals and direct queries.
#include "mysql/MySQLConnection.h"

#include "access/driver/NAError.h"
#include "common/platform/UTF8Buffer.h"
#include "common/text/TStringConcatAW.h"
#include "common/values/Any.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/Paths.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

bool Contains(const wchar_t* psz, const std::wstring& strPart)
{
    return psz != nullptr && std::wstring(psz).find(strPart) != std::wstring::npos;
}

// A port on 127.0.0.1 where nothing listens.
unsigned ClosedPort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in st = {};
    st.sin_family = AF_INET;
    st.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof(st);
    unsigned nPort = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&st), sizeof(st)) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&st), &n) == 0)
        nPort = ntohs(st.sin_port);
    close(s);
    return nPort;
}

// The first column of the first row, through the connection's own handle.
std::string Query1(CMySQLConnection& cl, const std::string& strSQL)
{
    MYSQL* h = cl.pGetHandle();
    if (h == nullptr || __mysql_real_query(h, strSQL.c_str(), strSQL.size()) != 0)
        return "(failed)";
    MYSQL_RES* pResult = __mysql_store_result(h);
    if (pResult == nullptr)
        return "(no result)";
    MYSQL_ROW row = __mysql_fetch_row(pResult);
    const std::string s = row == nullptr ? "(no row)" : row[0] == nullptr ? "NULL" : row[0];
    __mysql_free_result(pResult);
    return s;
}

class MySQLConnectionServer : public ServerTest {
protected:
    MySQLConnectionServer() : ServerTest("zt15") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        m_pfnInits = CountingClient("CountingClient_nInits");
        m_pfnCloses = CountingClient("CountingClient_nCloses");
        ASSERT_NE(m_pfnInits, nullptr);
        ASSERT_NE(m_pfnCloses, nullptr);
    }
    void TearDown() override
    {
        m_tabConnections.clear();
        std::string strError;
        for (const std::string& s : m_tabCleanUp)
            m_clAdmin.bExecute(s, strError);
        ServerTest::TearDown();
        // Every handle the driver made was given back.
        if (m_pfnInits != nullptr && m_pfnCloses != nullptr) {
            EXPECT_EQ(m_pfnInits(), m_pfnCloses());
        }
    }
    // A connection through the counting library; the TCP port unless the
    // options name a socket or a port; the test's database unless named.
    CMySQLConnection& Make(const std::wstring& strHost, const std::wstring& strOptions, const std::wstring& strUser,
                           const std::wstring& strPassword, std::wstring strDatabase = L"")
    {
        CHostConnectionDescription* pclHost = Host();
        std::wstring strExtended = L"ZT CLIENT LIBRARY=" + Wide(CountingClientPath()) + L";";
        if (strOptions.find(L"Unix Socket=") == std::wstring::npos && strOptions.find(L"Server Port=") == std::wstring::npos)
            strExtended += L"Server Port=" + std::to_wstring(m_server.nPort) + L";";
        pclHost->SetText(CHostConnectionDescription::TXT_EXTENDEDINFO, (strExtended + strOptions).c_str());
        pclHost->SetText(CHostConnectionDescription::TXT_DATASOURCE, strHost.c_str());
        pclHost->SetText(CHostConnectionDescription::TXT_USER, strUser.c_str());
        pclHost->SetText(CHostConnectionDescription::TXT_PASSWORD, strPassword.c_str());
        if (!strDatabase.empty())
            pclHost->SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, strDatabase.c_str());
        m_tabConnections.emplace_back(new CMySQLConnection(L"server", pclHost));
        return *m_tabConnections.back();
    }
    CMySQLConnection& MakeTCP(const std::wstring& strOptions = L"")
    {
        return Make(L"127.0.0.1", strOptions, Wide(m_server.strUser), Wide(m_server.strPassword));
    }
    // A database of the test's own, dropped at its end.
    std::string NewDatabase(const std::string& strName)
    {
        Admin("CREATE DATABASE `" + strName + "` CHARACTER SET utf8mb4");
        m_tabCleanUp.push_back("DROP DATABASE IF EXISTS `" + strName + "`");
        return strName;
    }
    bool bDatabaseExists(const std::string& strName)
    {
        return First("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME='" + strName + "'") == "1";
    }
    // A user of the test's own, with every right, dropped at its end.
    void NewUser(const std::string& strUser, const std::string& strPassword, const std::string& strRequire = "")
    {
        ASSERT_TRUE(Admin("CREATE USER '" + strUser + "'@'127.0.0.1' IDENTIFIED BY '" + strPassword + "'" + strRequire));
        m_tabCleanUp.push_back("DROP USER '" + strUser + "'@'127.0.0.1'");
        ASSERT_TRUE(Admin("GRANT ALL ON *.* TO '" + strUser + "'@'127.0.0.1'"));
    }

    CNAError m_clError;
    PFN_COUNT m_pfnInits = nullptr;
    PFN_COUNT m_pfnCloses = nullptr;
    std::vector<std::unique_ptr<CMySQLConnection>> m_tabConnections;
    std::vector<std::string> m_tabCleanUp;
};

const char SQL_MY_HOST[] = "SELECT HOST FROM information_schema.PROCESSLIST WHERE ID = CONNECTION_ID()";
const char SQL_CIPHER[] =
    "SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS WHERE VARIABLE_NAME = 'Ssl_cipher'";

TEST_F(MySQLConnectionServer, OpensByTCPAndBySocket)
{
    CMySQLConnection& clTCP = MakeTCP();
    ASSERT_EQ(clTCP.bOpen(&m_clError), 1) << m_clError.pszGetError();
    // By TCP the server names the client's port.
    EXPECT_NE(Query1(clTCP, SQL_MY_HOST).find(':'), std::string::npos);
    EXPECT_EQ(clTCP.nGetServerVersionMajor(), 10);
    EXPECT_EQ(clTCP.nGetServerVersionMinor(), 11);
    // The library's own version, not its compatibility level.
    EXPECT_GE(CNAConnectionDescription::m_nClientVersionMajor, 5);

    CMySQLConnection& clSocket = Make(L"localhost", L"Unix Socket=" + Wide(m_server.strSocket),
                                      Wide(m_server.strUser), Wide(m_server.strPassword));
    ASSERT_EQ(clSocket.bOpen(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_EQ(Query1(clSocket, SQL_MY_HOST), "localhost");

    EXPECT_EQ(clTCP.bClose(&m_clError), 1);
    EXPECT_EQ(clSocket.bClose(&m_clError), 1);
}

TEST_F(MySQLConnectionServer, LibraryLoadedBeforeTheFirstOpenStillGivesItsVersion)
{
    // Nothing loaded and no version known, as when the module starts: an
    // earlier case in this process may have opened a connection.
    CNAFunctionLoader::g_Term();
    CNAConnectionDescription::m_csClientVersion = L"";
    CNAConnectionDescription::m_nClientVersionMajor = -1;
    CNAConnectionDescription::m_nClientVersionMinor = 0;
    CTString csPath;
    const std::wstring strLibrary = Wide(CountingClientPath());
    ASSERT_EQ(CNAFunctionLoader::g_bInitNative(&m_clError, &csPath, strLibrary.c_str(), 0), 1);
    ASSERT_EQ(CNAConnectionDescription::m_nClientVersionMajor, -1);
    CMySQLConnection& cl = MakeTCP();
    ASSERT_EQ(cl.bOpen(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_GE(CNAConnectionDescription::m_nClientVersionMajor, 5);
    EXPECT_EQ(cl.bClose(&m_clError), 1);
}

TEST_F(MySQLConnectionServer, UnicodeModeEndsInUTF8AndItsAbsenceInLatin1)
{
    CMySQLConnection& clUnicode = MakeTCP();
    ASSERT_EQ(clUnicode.bOpen(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_EQ(clUnicode.nGetCnxCodePage(), 65001);
    EXPECT_EQ(Query1(clUnicode, "SELECT @@character_set_client"), "utf8mb4");
    EXPECT_EQ(Query1(clUnicode, "SELECT @@character_set_results"), "utf8mb4");

    CMySQLConnection& cl1252 = MakeTCP(L"ZT Unicode Support=0");
    ASSERT_EQ(cl1252.bOpen(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_EQ(cl1252.nGetCnxCodePage(), 1252);
    EXPECT_EQ(cl1252.nGetUnicodeSupport(), 0);
    EXPECT_EQ(Query1(cl1252, "SELECT @@character_set_client"), "latin1");
}

TEST_F(MySQLConnectionServer, RefusedOpensKeepTheServersError)
{
    struct {
        const char* pszName;
        std::wstring strOptions;
        std::wstring strPassword;
        unsigned int nServer;
    } tab[] = {
        {"wrong password", L"", L"not the password", 1045},
        {"closed port", L"Server Port=" + std::to_wstring(ClosedPort()), Wide(m_server.strPassword), 2002},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszName);
        m_clError.Reset();
        CMySQLConnection& cl = Make(L"127.0.0.1", t.strOptions, Wide(m_server.strUser), t.strPassword);
        EXPECT_EQ(cl.bOpen(&m_clError), 0);
        EXPECT_EQ(cl.bIsOpen(), 0);
        EXPECT_EQ(m_clError.dwGetErrorId(), 79u);
        ASSERT_EQ(m_clError.pclGetXError()->nGetNbSubError(), 1);
        EXPECT_EQ(m_clError.pclGetXError()->pclGetSubError(0)->nGetUserErrorCode(), 22u);
        EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), t.nServer);
        EXPECT_EQ(m_pfnInits(), m_pfnCloses());
    }
}

TEST_F(MySQLConnectionServer, MissingDatabaseIsCreatedOnlyByOpenCreate)
{
    const std::string strName = UniqueName("zt15_new");
    m_tabCleanUp.push_back("DROP DATABASE IF EXISTS `" + strName + "`");
    CMySQLConnection& cl = Make(L"127.0.0.1", L"", Wide(m_server.strUser), Wide(m_server.strPassword), Wide(strName));
    EXPECT_EQ(cl.bOpen(&m_clError), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 79u);
    EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), 1049u);
    EXPECT_FALSE(bDatabaseExists(strName));

    m_clError.Reset();
    ASSERT_EQ(cl.bOpenCreate(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_EQ(m_clError.dwGetErrorId(), 0u);
    EXPECT_EQ(m_clError.eGetErrorType(), NA_ERRORTYPE_NONE);
    EXPECT_TRUE(bDatabaseExists(strName));
    EXPECT_EQ(Query1(cl, "SELECT DATABASE()"), strName);
    EXPECT_EQ(cl.bExecuteQueryNoResult(&m_clError, L"CREATE TABLE t (a INT)"), 1) << m_clError.pszGetError();
    EXPECT_EQ(Query1(cl, "SELECT COUNT(*) FROM t"), "0");
    // One handle kept: the open one.
    EXPECT_EQ(m_pfnInits() - m_pfnCloses(), 1);
}

TEST_F(MySQLConnectionServer, LostConnectionFailsThenReopensTheSameWay)
{
    struct {
        const char* pszName;
        std::wstring strHost;
        std::wstring strOptions;
    } tab[] = {
        {"TCP", L"127.0.0.1", L""},
        {"socket", L"localhost", L"Unix Socket=" + Wide(m_server.strSocket)},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszName);
        m_clError.Reset();
        CMySQLConnection& cl = Make(t.strHost, t.strOptions, Wide(m_server.strUser), Wide(m_server.strPassword));
        ASSERT_EQ(cl.bOpen(&m_clError), 1) << m_clError.pszGetError();
        const std::string strHostBefore = Query1(cl, SQL_MY_HOST);
        const std::string strId = Query1(cl, "SELECT CONNECTION_ID()");
        ASSERT_TRUE(Admin("KILL " + strId));
        // The kill is done when the server no longer lists the connection.
        ASSERT_EQ(ServerSettled(
                      [&] { return First("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + strId); },
                      std::string("0")),
                  "0");

        EXPECT_EQ(cl.bExecuteQueryNoResult(&m_clError, L"SELECT 1"), 0);
        EXPECT_EQ(m_clError.dwGetErrorId(), 22u);
        // "Server has gone away" when the write already fails (a socket),
        // "lost connection" when only the answer does (TCP).
        const unsigned int nServer = m_clError.dwGetDataBaseErrorCode();
        EXPECT_TRUE(nServer == 2006u || nServer == 2013u) << nServer;
        EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), L"IEDUZARO=101.17\r\n"));

        EXPECT_EQ(cl.bClose(&m_clError), 1);
        ASSERT_EQ(cl.bOpen(&m_clError), 1) << m_clError.pszGetError();
        const std::string strHostAfter = Query1(cl, SQL_MY_HOST);
        // Same way in: the socket, or TCP from the loopback address.
        EXPECT_EQ(strHostAfter.substr(0, strHostAfter.find(':')), strHostBefore.substr(0, strHostBefore.find(':')));
    }
}

TEST_F(MySQLConnectionServer, SecureUserNeedsTheCertificateAuthority)
{
    ASSERT_FALSE(m_server.strSSLCA.empty()) << "ZT_TEST_SSL_CA is not set";
    const std::string strUser = UniqueName("zt15_tls");
    ASSERT_NO_FATAL_FAILURE(NewUser(strUser, "tls-pw", " REQUIRE SSL"));
    const std::wstring strCA = L"SSL CA=" + Wide(m_server.strSSLCA);

    CMySQLConnection& clPlain = Make(L"127.0.0.1", L"", Wide(strUser), L"tls-pw");
    EXPECT_EQ(clPlain.bOpen(&m_clError), 0);
    EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), 1045u);

    m_clError.Reset();
    CMySQLConnection& clSecure = Make(L"127.0.0.1", strCA, Wide(strUser), L"tls-pw");
    ASSERT_EQ(clSecure.bOpen(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_NE(Query1(clSecure, SQL_CIPHER), "");

    // A CA that cannot be read ends the open: no plain connection instead.
    m_clError.Reset();
    CMySQLConnection& clMissing = Make(L"127.0.0.1", L"SSL CA=/nonexistent/zt-ca.pem", Wide(m_server.strUser),
                                       Wide(m_server.strPassword));
    EXPECT_EQ(clMissing.bOpen(&m_clError), 0);
    EXPECT_EQ(clMissing.bIsOpen(), 0);
    EXPECT_NE(m_clError.dwGetErrorId(), 0u);

    // The database made on the way keeps TLS on every handle.
    m_clError.Reset();
    const std::string strDatabase = UniqueName("zt15_tlsdb");
    m_tabCleanUp.push_back("DROP DATABASE IF EXISTS `" + strDatabase + "`");
    CMySQLConnection& clCreate = Make(L"127.0.0.1", strCA, Wide(strUser), L"tls-pw", Wide(strDatabase));
    ASSERT_EQ(clCreate.bOpenCreate(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_TRUE(bDatabaseExists(strDatabase));
    EXPECT_NE(Query1(clCreate, SQL_CIPHER), "");
}

TEST_F(MySQLConnectionServer, NamesOutsideASCIIConnect)
{
    struct {
        const char* pszName;
        std::wstring strUser;
        std::wstring strPassword;
        std::wstring strDatabase;
    } tab[] = {
        {"in 1252", L"zt15_é€_" + std::to_wstring(getpid()), L"pé€ß", L"zt15_dé_" + std::to_wstring(getpid())},
        {"in 1252, password in ASCII", L"zt15_éa_" + std::to_wstring(getpid()), L"plain-pw",
         L"zt15_déa_" + std::to_wstring(getpid())},
        {"outside 1252", L"zt15_Ω中_" + std::to_wstring(getpid()), L"pΩ中😀", L"zt15_dΩ中_" + std::to_wstring(getpid())},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszName);
        m_clError.Reset();
        const std::string strUser = UTF8Of(t.strUser);
        ASSERT_NO_FATAL_FAILURE(NewUser(strUser, UTF8Of(t.strPassword)));
        NewDatabase(UTF8Of(t.strDatabase));

        CMySQLConnection& cl = Make(L"127.0.0.1", L"", t.strUser, t.strPassword, t.strDatabase);
        ASSERT_EQ(cl.bOpen(&m_clError), 1) << m_clError.pszGetError();
        EXPECT_EQ(Query1(cl, "SELECT DATABASE()"), UTF8Of(t.strDatabase));
        EXPECT_EQ(Query1(cl, "SELECT CURRENT_USER()"), strUser + "@127.0.0.1");
    }
}

TEST_F(MySQLConnectionServer, LiteralsStoreTextsAndBinariesUnchanged)
{
    const std::string strAllBytes = AllBytes();
    const std::wstring strWide = L"é€Ω中😀";
    const std::wstring strAccentsAtEnd = L"abcéé";
    for (int bUnicode = 1; bUnicode >= 0; bUnicode--) {
        SCOPED_TRACE(bUnicode ? "UTF-8 session" : "1252 session");
        const std::string strDatabase = NewDatabase(UniqueName("zt15_lit"));
        CMySQLConnection& cl = Make(L"127.0.0.1", bUnicode ? L"" : L"ZT Unicode Support=0", Wide(m_server.strUser),
                                    Wide(m_server.strPassword), Wide(strDatabase));
        ASSERT_EQ(cl.bOpen(&m_clError), 1) << m_clError.pszGetError();
        ASSERT_EQ(cl.nGetCnxCodePage(), bUnicode ? 65001 : 1252);
        // The 8-bit host texts below are written in 1252.
        ASSERT_EQ(cl.nGetHostCodePage(), 1252);
        ASSERT_EQ(cl.bExecuteQueryNoResult(&m_clError,
                                           L"CREATE TABLE t (id INT PRIMARY KEY, s TEXT CHARACTER SET utf8mb4, b BLOB)"),
                  1)
            << m_clError.pszGetError();

        struct STValue {
            unsigned short nType;
            std::string strBytes;   // the value as the host holds it
            std::wstring strStored; // what the column must hold
            bool bBinary;
        };
        auto Bytes = [](const std::wstring& s) {
            return std::string(reinterpret_cast<const char*>(s.c_str()), s.size() * sizeof(wchar_t));
        };
        // A session in 1252 refuses what 1252 does not hold (an empty
        // stored text below).
        std::vector<STValue> tabValues = {
            {TQTYPE_DSTRW, Bytes(strWide), bUnicode ? strWide : L"", false},
            {TQTYPE_PSTRW, Bytes(strAccentsAtEnd), strAccentsAtEnd, false},
            {TQTYPE_DSTRA, "O'N\xe9il\\\x80\xe9\xe9", L"O'Néil\\€éé", false},
            {TQTYPE_PSTRA, std::string("a\0b", 3), std::wstring(L"a\0b", 3), false},
            {TQTYPE_CARA, "\xe9", L"é", false},
            {TQTYPE_BIN, strAllBytes, L"", true},
        };
        for (wchar_t c : strWide)
            tabValues.push_back({TQTYPE_CARW, Bytes(std::wstring(1, c)),
                                 bUnicode || c == L'é' || c == L'€' ? std::wstring(1, c) : L"", false});

        for (size_t i = 0; i < tabValues.size(); i++) {
            const STValue& v = tabValues[i];
            SCOPED_TRACE("value " + std::to_string(i) + ", type " + std::to_string(v.nType));
            CTStringConcatAW clLiteral;
            const bool bRefused = !v.bBinary && v.strStored.empty();
            CNAError clError;
            ASSERT_EQ(cl._bEscapeString(&clError, &clLiteral, v.nType,
                                        reinterpret_cast<unsigned char*>(const_cast<char*>(v.strBytes.data())),
                                        static_cast<unsigned int>(v.strBytes.size())),
                      bRefused ? 0 : 1);
            if (bRefused) {
                EXPECT_EQ(clError.dwGetErrorId(), 77u);
                continue;
            }
            const std::wstring strInsert = L"INSERT INTO t VALUES (" + std::to_wstring(i) + (v.bBinary ? L", NULL, " : L", ") +
                                           clLiteral.pszGetW() + (v.bBinary ? L")" : L", NULL)");
            ASSERT_EQ(cl.bExecuteQueryNoResult(&m_clError, strInsert.c_str()), 1) << m_clError.pszGetError();

            const Rows tabHex = List("SELECT HEX(" + std::string(v.bBinary ? "b" : "s") + ") FROM `" + strDatabase +
                                     "`.t WHERE id = " + std::to_string(i));
            ASSERT_EQ(tabHex.size(), 1u);
            // The text's NUL characters are its own.
            EXPECT_EQ(tabHex[0], HexaOf(v.bBinary ? v.strBytes : UTF8Of(v.strStored)));
        }
    }
}

TEST_F(MySQLConnectionServer, RefusedTextGivesTheServersSyntaxError)
{
    CMySQLConnection& cl = MakeTCP();
    ASSERT_EQ(cl.bOpen(&m_clError), 1) << m_clError.pszGetError();
    EXPECT_EQ(cl.bExecuteQueryNoResult(&m_clError, L"SELEC 1"), 0);
    EXPECT_EQ(m_clError.dwGetErrorId(), 22u);
    EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), 1064u);
    EXPECT_TRUE(Contains(m_clError.pclGetXError()->pszGetDebugMessage(), L"IEDUZARO=101.17\r\n"));
    // The handle is in step for the next command.
    m_clError.Reset();
    EXPECT_EQ(cl.bExecuteQueryNoResult(&m_clError, L"SELECT 1; SELECT 2"), 1) << m_clError.pszGetError();
    EXPECT_EQ(Query1(cl, "SELECT 3"), "3");
    // A failing later statement fails the text.
    EXPECT_EQ(cl.bExecuteQueryNoResult(&m_clError, L"SELECT 1; SELEC 2"), 0);
    EXPECT_EQ(m_clError.dwGetDataBaseErrorCode(), 1064u);
    EXPECT_EQ(Query1(cl, "SELECT 4"), "4");
}

} // namespace

namespace {

// Every mode from REQUIRED up gives a session in TLS or none; the two that
// verify need a CA and verify the server's certificate with it. A word the
// driver does not know is refused, named in the error.
TEST_F(MySQLConnectionServer, ModesFromRequiredUpNeverOpenInClearText)
{
    ASSERT_FALSE(m_server.strSSLCA.empty()) << "ZT_TEST_SSL_CA is not set";
    CPlainServer clPlainServer;
    std::string strError;
    ASSERT_TRUE(clPlainServer.bStart(strError)) << strError;
    // A CA of its own, which signed nothing this server shows.
    CTempDir clOther("zt45_ca");
    ASSERT_EQ(std::system(("bash -c 'source \"" + SourcePath("scripts/lib.sh") + "\" && zt_make_certificates \"" +
                           clOther.Path() + "\"' >/dev/null 2>&1")
                              .c_str()),
              0);
    const std::wstring strCA = L"SSL CA=" + Wide(m_server.strSSLCA) + L";";
    const std::wstring strOtherCA = L"SSL CA=" + clOther.WPath() + L"/ca.pem;";
    const std::wstring strPlain = L"Server Port=" + std::to_wstring(clPlainServer.nPort()) + L";";
    const struct {
        const wchar_t* pszMode;
        bool bPlainServer;
        int nCA; // 0 none, 1 the server's, 2 another
        bool bOpens;
    } cases[] = {
        {L"REQUIRED", false, 0, true},         {L"REQUIRED", false, 1, true},
        {L"VERIFY_CA", false, 0, false},       {L"VERIFY_CA", false, 1, true},
        {L"VERIFY_CA", false, 2, false},       {L"VERIFY_IDENTITY", false, 0, false},
        {L"VERIFY_IDENTITY", false, 1, true},  {L"verify_identity", false, 1, true},
        {L"VERIFY_IDENTITY", false, 2, false}, {L"REQUIRED", true, 0, false},
        {L"REQUIRED", true, 1, false},         {L"VERIFY_CA", true, 0, false},
        {L"VERIFY_CA", true, 1, false},        {L"VERIFY_IDENTITY", true, 0, false},
        {L"VERIFY_IDENTITY", true, 1, false},  {L"PREFERRED", false, 1, true},
        {L"PREFERRED", true, 0, true},         {L"DISABLED", true, 0, true},
        {L"required", true, 0, false},         {L"", true, 0, true},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        const auto& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << ": " << Narrow(c.pszMode) << (c.bPlainServer ? ", plain" : "")
                                        << ", CA " << c.nCA);
        m_clError.Reset();
        const std::wstring strOptions = (c.bPlainServer ? strPlain : L"") +
                                        (c.nCA == 1 ? strCA : c.nCA == 2 ? strOtherCA : L"") + L"SSL Mode=" + c.pszMode;
        CMySQLConnection& cl =
            Make(L"127.0.0.1", strOptions, Wide(m_server.strUser), Wide(m_server.strPassword), L"zttest");
        EXPECT_EQ(cl.bOpen(&m_clError), c.bOpens ? 1 : 0) << Narrow(m_clError.pszGetError());
        EXPECT_EQ(cl.bIsOpen(), c.bOpens ? 1 : 0);
        if (!c.bOpens) {
            EXPECT_EQ(m_clError.dwGetErrorId(), 79u);
            continue;
        }
        const std::string strCipher = Query1(cl, SQL_CIPHER);
        EXPECT_NE(strCipher, "(failed)");
        // The plain server gives nothing else; every other case here asked
        // for TLS one way or the other.
        EXPECT_EQ(strCipher.empty(), c.bPlainServer) << strCipher;
    }

    // A word the driver does not know, on either server.
    for (const std::wstring& strServer : {std::wstring(), strPlain}) {
        m_clError.Reset();
        CMySQLConnection& cl = Make(L"127.0.0.1", strServer + strCA + L"SSL Mode=VERIFY_FULL",
                                    Wide(m_server.strUser), Wide(m_server.strPassword), L"zttest");
        EXPECT_EQ(cl.bOpen(&m_clError), 0);
        EXPECT_EQ(m_clError.dwGetErrorId(), 79u);
        EXPECT_NE(std::wstring(m_clError.pszGetError()).find(L"VERIFY_FULL"), std::wstring::npos)
            << Narrow(m_clError.pszGetError());
    }
}

} // namespace
