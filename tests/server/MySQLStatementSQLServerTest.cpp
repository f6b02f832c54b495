// The MySQL SQL statement against the private server, through a client
// library that counts handles and results: every column type described and
// read back in both code-page modes, texts and binaries outside ASCII, store
// and use modes, replies of several results, seeks, a killed stream, and
// the names of columns in their tables.
#include "mysql/MySQLStatementSQL.h"

#include "access/driver/NAError.h"
#include "access/statement/NAColumn.h"
#include "common/values/Any.h"
#include "common/values/NACnvVariant.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class MySQLStatementSQLServer : public ServerTest {
protected:
    MySQLStatementSQLServer() : ServerTest("zt_stmt") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        m_pfnResults = CountingClient("CountingClient_nResults");
        m_pfnFreed = CountingClient("CountingClient_nResultsFreed");
        ASSERT_NE(m_pfnResults, nullptr);
        ASSERT_NE(m_pfnFreed, nullptr);
        m_pError = new CNAError;
        m_pError->AddRef();
    }
    void TearDown() override
    {
        for (CMySQLStatementSQL* p : m_tabStatements)
            p->nRelease();
        for (CMySQLConnection* p : m_tabConnections)
            p->nRelease();
        if (m_pError != nullptr)
            m_pError->nRelease();
        ServerTest::TearDown();
        // Every result the driver took was freed.
        if (m_pfnResults != nullptr && m_pfnFreed != nullptr) {
            EXPECT_EQ(m_pfnResults(), m_pfnFreed());
        }
    }
    // An open connection to the test's database, in UTF-8 (65001) or 1252.
    CMySQLConnection* Open(bool bUnicode)
    {
        CMySQLConnection* pcl = new CMySQLConnection(
            L"server", Host(L"ZT CLIENT LIBRARY=" + Wide(CountingClientPath()) + L";" +
                            (bUnicode ? L"" : L"ZT Unicode Support=0;")));
        pcl->AddRef();
        m_tabConnections.push_back(pcl);
        EXPECT_EQ(pcl->bOpen(m_pError), 1) << m_pError->pszGetError();
        return pcl;
    }
    CMySQLStatementSQL* Statement(CMySQLConnection* pclConnection)
    {
        CMySQLStatementSQL* p = new CMySQLStatementSQL(pclConnection, m_pError);
        p->AddRef();
        m_tabStatements.push_back(p);
        return p;
    }
    std::wstring Error() { return m_pError->pszGetError() != nullptr ? m_pError->pszGetError() : L""; }

    CNAError* m_pError = nullptr;
    PFN_COUNT m_pfnResults = nullptr;
    PFN_COUNT m_pfnFreed = nullptr;
    std::vector<CMySQLConnection*> m_tabConnections;
    std::vector<CMySQLStatementSQL*> m_tabStatements;
};

std::wstring Hexa(const Bytes& tab)
{
    return L"0x" + Wide(HexaOf(std::string(tab.begin(), tab.end())));
}

std::string HexaSQL(const std::string& s)
{
    return "X'" + HexaOf(s) + "'";
}

// A value read into a cell of the column's item type: the value as wide
// text, binary values and texts of binary columns as their bytes in hexadecimal.
std::wstring ReadAsItem(CMySQLStatementSQL* pStmt, CNAError* pError, CMySQLConnection* pCnx, unsigned int nColumn)
{
    CNAColumnSQL* pclColumn = pStmt->pclGetNAColumnSQL(static_cast<int>(nColumn));
    if (pclColumn == nullptr)
        return L"(no column)";
    CCell cl(pError, pCnx);
    cl.InitTypeVariantAny(static_cast<unsigned short>(ConverteItemToTQType(pclColumn->m_eItemType,
                                                                           static_cast<int>(pclColumn->m_nSize))),
                          0);
    if (!pStmt->bGetValue(&cl, nColumn, 0))
        return L"(refused)";
    CAny v;
    if (!cl.bGetValue(&v))
        return L"(no value)";
    if (v.bIsNull())
        return L"(null)";
    const bool bBinaryText = pclColumn->m_nCharsetNumber == 63 &&
                             (pclColumn->m_eItemType == NA_IT_TEXTE || pclColumn->m_eItemType == NA_IT_MEMOTEXTE);
    if (v.nGetTypeCode() == TQTYPE_BIN || bBinaryText)
        return Hexa(DataBytes(v));
    if (v.__nCastTo(TQTYPE_DSTRW, nullptr, 0) > 99)
        return L"(no text)";
    return TextW(v);
}

std::wstring ReadAny(CMySQLStatementSQL* pStmt, unsigned int nColumn, bool bBinary)
{
    CAny v;
    if (!(bBinary ? pStmt->bGetBLOBValue(&v, nColumn, 0) : pStmt->bGetValue(&v, nColumn, 0)))
        return L"(refused)";
    if (v.bIsNull())
        return L"(null)";
    return bBinary ? Hexa(DataBytes(v)) : TextW(v);
}

// Texts outside ASCII, in UTF-8.
const char kFrench[] = "caf\xC3\xA9 \xE2\x82\xAC";                            // café €
const char kWorld[] = "\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"; // é€Ω中😀
const wchar_t kFrenchW[] = L"caf\u00E9 \u20AC";
const wchar_t kWorldW[] = L"\u00E9\u20AC\u03A9\u4E2D\U0001F600";

struct TypeCase {
    const char* pszName;
    const char* pszDDL;
    std::string strMin; // SQL literals of the two rows
    std::string strMax;
    eNA_ITEMTYPE eUnicode; // item type and size in UTF-8, then in 1252
    unsigned int nUnicodeSize;
    eNA_ITEMTYPE e1252;
    unsigned int n1252Size;
    std::wstring strMinRead; // read into a cell of the item type
    std::wstring strMaxRead;
    std::wstring strMaxRead1252; // empty: as in UTF-8
};

std::vector<TypeCase> TypeCases()
{
    const std::string strAll = AllBytes();
    const std::wstring strAllHex = Hexa(Bytes(strAll.begin(), strAll.end()));
    const std::string strFrench = std::string("'") + kFrench + "'";
    const std::string strWorld = std::string("'") + kWorld + "'";
    return {
        {"ti", "TINYINT", "-128", "127", NA_IT_I1, 1, NA_IT_I1, 1, L"-128", L"127", L""},
        {"tiu", "TINYINT UNSIGNED", "0", "255", NA_IT_UI1, 1, NA_IT_UI1, 1, L"0", L"255", L""},
        {"si", "SMALLINT", "-32768", "32767", NA_IT_I2, 2, NA_IT_I2, 2, L"-32768", L"32767", L""},
        {"siu", "SMALLINT UNSIGNED", "0", "65535", NA_IT_UI2, 2, NA_IT_UI2, 2, L"0", L"65535", L""},
        {"mi", "MEDIUMINT", "-8388608", "8388607", NA_IT_I4, 4, NA_IT_I4, 4, L"-8388608", L"8388607", L""},
        {"miu", "MEDIUMINT UNSIGNED", "0", "16777215", NA_IT_I4, 4, NA_IT_I4, 4, L"0", L"16777215", L""},
        {"i", "INT", "-2147483648", "2147483647", NA_IT_I4, 4, NA_IT_I4, 4, L"-2147483648", L"2147483647", L""},
        {"iu", "INT UNSIGNED", "0", "4294967295", NA_IT_UI4, 4, NA_IT_UI4, 4, L"0", L"4294967295", L""},
        {"bi", "BIGINT", "-9223372036854775808", "9223372036854775807", NA_IT_I8, 8, NA_IT_I8, 8,
         L"-9223372036854775808", L"9223372036854775807", L""},
        {"biu", "BIGINT UNSIGNED", "0", "18446744073709551615", NA_IT_UI8, 8, NA_IT_UI8, 8, L"0",
         L"18446744073709551615", L""},
        {"d10", "DECIMAL(10,0)", "-9999999999", "9999999999", NA_IT_I8, 8, NA_IT_I8, 8, L"-9999999999",
         L"9999999999", L""},
        {"d3u", "DECIMAL(3,0) UNSIGNED", "0", "999", NA_IT_I2, 2, NA_IT_I2, 2, L"0", L"999", L""},
        {"n102", "NUMERIC(10,2)", "-12.50", "99999999.99", NA_IT_MONETAIRE, 10, NA_IT_MONETAIRE, 10, L"-12.5",
         L"99999999.99", L""},
        {"f", "FLOAT", "-1.5", "3.25", NA_IT_R4, 4, NA_IT_R4, 4, L"-1.5", L"3.25", L""},
        {"d", "DOUBLE", "-1.25e300", "2.2250738585072014e-308", NA_IT_R8, 8, NA_IT_R8, 8, L"-1.25e+300",
         L"2.2250738585072014e-308", L""},
        {"dt", "DATE", "'1000-01-01'", "'9999-12-31'", NA_IT_DATE8, 9, NA_IT_DATE8, 9, L"10000101", L"99991231", L""},
        {"dtm", "DATETIME", "'2024-01-31 10:20:30'", "'9999-12-31 23:59:59'", NA_IT_DATETIME, 8, NA_IT_DATETIME,
         8, L"20240131102030000", L"99991231235959000", L""},
        {"dtm6", "DATETIME(6)", "'2024-01-31 10:20:30.123456'", "'9999-12-31 23:59:59.999999'", NA_IT_DATETIME, 8,
         NA_IT_DATETIME, 8, L"20240131102030123", L"99991231235959999", L""},
        {"ts", "TIMESTAMP NULL", "'1970-01-02 00:00:00'", "'2038-01-19 03:14:07'", NA_IT_DATETIME, 8,
         NA_IT_DATETIME, 8, L"19700102000000000", L"20380119031407000", L""},
        {"ts6", "TIMESTAMP(6) NULL", "'2024-01-31 10:20:30.5'", "'2038-01-19 03:14:07.999999'", NA_IT_DATETIME, 8,
         NA_IT_DATETIME, 8, L"20240131102030500", L"20380119031407999", L""},
        {"tm", "TIME", "'00:00:00'", "'23:59:59'", NA_IT_DATETIME, 8, NA_IT_DATETIME, 8, L"00000000000000000",
         L"00000000235959000", L""},
        {"y", "YEAR", "1901", "2155", NA_IT_DATETIME, 8, NA_IT_DATETIME, 8, L"19010101000000000",
         L"21550101000000000", L""},
        {"c", "CHAR(10)", "'abc'", strFrench, NA_IT_UNICODE, 82, NA_IT_TEXTE, 11, L"abc", kFrenchW, L""},
        {"vc", "VARCHAR(40)", "''", strWorld, NA_IT_UNICODE, 322, NA_IT_TEXTE, 41, L"", kWorldW, L"\u00E9\u20AC???"},
        {"tt", "TINYTEXT", "'abc'", strWorld, NA_IT_MEMOUNICODE, 8, NA_IT_MEMOTEXTE, 8, L"abc", kWorldW,
         L"\u00E9\u20AC???"},
        {"tx", "TEXT", strFrench, strWorld, NA_IT_MEMOUNICODE, 8, NA_IT_MEMOTEXTE, 8, kFrenchW, kWorldW,
         L"\u00E9\u20AC???"},
        {"mt", "MEDIUMTEXT", strFrench, strWorld, NA_IT_MEMOUNICODE, 8, NA_IT_MEMOTEXTE, 8, kFrenchW, kWorldW,
         L"\u00E9\u20AC???"},
        {"lt", "LONGTEXT", strFrench, strWorld, NA_IT_MEMOUNICODE, 8, NA_IT_MEMOTEXTE, 8, kFrenchW, kWorldW,
         L"\u00E9\u20AC???"},
        {"bn", "BINARY(4)", "X'00800041'", "X'FFFEFDFC'", NA_IT_TEXTE, 5, NA_IT_TEXTE, 5, L"0x00800041",
         L"0xFFFEFDFC", L""},
        {"vb", "VARBINARY(300)", "X''", HexaSQL(strAll), NA_IT_TEXTE, 301, NA_IT_TEXTE, 301, L"0x", strAllHex, L""},
        {"tb", "TINYBLOB", "X'00'", HexaSQL(strAll.substr(0, 255)), NA_IT_MEMOBINAIRE, 8, NA_IT_MEMOBINAIRE, 8,
         L"0x00", Hexa(Bytes(strAll.begin(), strAll.begin() + 255)), L""},
        {"bl", "BLOB", "X'00'", HexaSQL(strAll), NA_IT_MEMOBINAIRE, 8, NA_IT_MEMOBINAIRE, 8, L"0x00", strAllHex, L""},
        {"mb", "MEDIUMBLOB", "X'80'", HexaSQL(strAll), NA_IT_MEMOBINAIRE, 8, NA_IT_MEMOBINAIRE, 8, L"0x80", strAllHex,
         L""},
        {"lb", "LONGBLOB", "X'FF'", HexaSQL(strAll), NA_IT_MEMOBINAIRE, 8, NA_IT_MEMOBINAIRE, 8, L"0xFF", strAllHex,
         L""},
        {"b1", "BIT(1)", "0", "1", NA_IT_I1, 1, NA_IT_I1, 1, L"0", L"1", L""},
        {"b12", "BIT(12)", "0", "4095", NA_IT_I2, 2, NA_IT_I2, 2, L"0", L"4095", L""},
        {"b64", "BIT(64)", "0", "18446744073709551615", NA_IT_UI8, 8, NA_IT_UI8, 8, L"0", L"18446744073709551615",
         L""},
        {"e", "ENUM('a','b')", "'a'", "'b'", NA_IT_UNICODE, 10, NA_IT_TEXTE, 2, L"a", L"b", L""},
        {"st", "SET('x','y')", "''", "'x,y'", NA_IT_UNICODE, 26, NA_IT_TEXTE, 4, L"", L"x,y", L""},
        {"js", "JSON", "'{}'", "'{\"k\": \"\xC3\xA9\"}'", NA_IT_MEMOUNICODE, 8, NA_IT_MEMOTEXTE, 8, L"{}",
         L"{\"k\": \"\u00E9\"}", L""},
    };
}

TEST_F(MySQLStatementSQLServer, EveryColumnTypeIsDescribedAndReadBackInBothCodePages)
{
    const std::vector<TypeCase> tab = TypeCases();
    std::string strCreate = "CREATE TABLE t (k INT PRIMARY KEY";
    std::string strMin = "INSERT INTO t VALUES (1";
    std::string strMax = "INSERT INTO t VALUES (2";
    for (const TypeCase& c : tab) {
        strCreate += std::string(", ") + c.pszName + " " + c.pszDDL;
        strMin += ", " + c.strMin;
        strMax += ", " + c.strMax;
    }
    Admin(strCreate + ")");
    Admin(strMin + ")");
    Admin(strMax + ")");
    std::string strNull = "INSERT INTO t (k) VALUES (3)";
    Admin(strNull);
    for (int bUnicode = 1; bUnicode >= 0; bUnicode--) {
        CMySQLConnection* pCnx = Open(bUnicode != 0);
        CMySQLStatementSQL* pStmt = Statement(pCnx);
        ASSERT_EQ(pStmt->bExecuteDirect("SELECT * FROM t ORDER BY k", 0), 1) << Error();
        EXPECT_EQ(pStmt->llGetRowCount(), 3);
        for (int nRow = 0; nRow < 3; nRow++) {
            ASSERT_EQ(pStmt->bFetch(0), 1) << Error();
            for (size_t i = 0; i < tab.size(); i++) {
                const TypeCase& c = tab[i];
                const unsigned int nColumn = static_cast<unsigned int>(i + 1);
                const CNAColumnSQL* pclColumn = pStmt->pclGetNAColumnSQL(static_cast<int>(nColumn));
                ASSERT_NE(pclColumn, nullptr);
                const std::string strWhere = std::string(c.pszName) + (bUnicode ? " in UTF-8" : " in 1252") +
                                             ", row " + std::to_string(nRow);
                EXPECT_EQ(std::wstring(pclColumn->m_csName.pszGet()), Wide(c.pszName)) << strWhere;
                EXPECT_EQ(pclColumn->m_eItemType, bUnicode ? c.eUnicode : c.e1252) << strWhere;
                EXPECT_EQ(pclColumn->m_nSize, bUnicode ? c.nUnicodeSize : c.n1252Size) << strWhere;
                m_pError->Reset();
                std::wstring strExpected = nRow == 0 ? c.strMinRead : c.strMaxRead;
                if (nRow == 1 && !bUnicode && !c.strMaxRead1252.empty())
                    strExpected = c.strMaxRead1252;
                if (nRow == 2)
                    strExpected = L"(null)";
                EXPECT_EQ(ReadAsItem(pStmt, m_pError, pCnx, nColumn), strExpected) << strWhere << "\n" << Error();
            }
        }
        ASSERT_EQ(pStmt->bFetch(0), 1);
        EXPECT_EQ(pStmt->bEndOfData(), 1);
    }
}

TEST_F(MySQLStatementSQLServer, TextsAndBinariesComeBackUnchanged)
{
    const std::string strAll = AllBytes();
    Admin("CREATE TABLE t (k INT, vc VARCHAR(40), tx TEXT, vb VARBINARY(300), bl BLOB)");
    Admin(std::string("INSERT INTO t VALUES (1, '") + kWorld + "', '" + kFrench + "', " + HexaSQL(strAll) + ", " +
          HexaSQL(strAll) + ")");
    const std::wstring strAllHex = Hexa(Bytes(strAll.begin(), strAll.end()));
    for (int bUnicode = 1; bUnicode >= 0; bUnicode--) {
        CMySQLConnection* pCnx = Open(bUnicode != 0);
        CMySQLStatementSQL* pStmt = Statement(pCnx);
        // The wide form: the text reaches the server in the connection's code page.
        ASSERT_EQ(pStmt->bExecuteDirect(L"SELECT vc, tx, vb, bl, 'x' AS `\u00E9t\u00E9` FROM t", nullptr, 0), 1)
            << Error();
        ASSERT_EQ(pStmt->bFetch(0), 1) << Error();
        const std::string strMode = bUnicode ? "UTF-8" : "1252";
        EXPECT_EQ(ReadAny(pStmt, 0, false), bUnicode ? kWorldW : L"\u00E9\u20AC???") << strMode;
        EXPECT_EQ(ReadAny(pStmt, 1, false), kFrenchW) << strMode;
        EXPECT_EQ(ReadAny(pStmt, 2, true), strAllHex) << strMode;
        EXPECT_EQ(ReadAny(pStmt, 3, true), strAllHex) << strMode;
        // The raw bytes as the server sent them.
        unsigned char* p = nullptr;
        unsigned int n = 0;
        ASSERT_EQ(pStmt->bGetValue(&p, &n, 3), 1);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(p), n), strAll) << strMode;
        // A column alias outside ASCII.
        EXPECT_EQ(std::wstring(pStmt->pclGetNAColumnSQL(4)->m_csName.pszGet()), L"\u00E9t\u00E9") << strMode;
    }
}

TEST_F(MySQLStatementSQLServer, ATimeOutsideOneDayIsTextOrRefusedNeverAWrongTime)
{
    Admin("CREATE TABLE t (tm TIME)");
    Admin("INSERT INTO t VALUES ('-838:59:59')");
    CMySQLConnection* pCnx = Open(true);
    CMySQLStatementSQL* pStmt = Statement(pCnx);
    ASSERT_EQ(pStmt->bExecuteDirect("SELECT tm FROM t", 0), 1) << Error();
    ASSERT_EQ(pStmt->bFetch(0), 1) << Error();
    EXPECT_EQ(ReadAny(pStmt, 0, false), L"-838:59:59");
    m_pError->Reset();
    EXPECT_EQ(ReadAsItem(pStmt, m_pError, pCnx, 0), L"(refused)");
    EXPECT_NE(m_pError->dwGetErrorId(), 0u);
}

// The next query on the same handle works (the handle is never left busy).
void ExpectNextQueryWorks(CMySQLStatementSQL* pStmt, CNAError* pError, const std::string& strAfter)
{
    EXPECT_EQ(pStmt->bExecuteDirect("SELECT 42", 0), 1) << strAfter << "\n" << pError->pszGetError();
    EXPECT_EQ(pStmt->bFetch(0), 1) << strAfter;
    EXPECT_EQ(ReadAny(pStmt, 0, false), L"42") << strAfter;
}

TEST_F(MySQLStatementSQLServer, StoreAndUseModes)
{
    Admin("CREATE TABLE t (a INT)");
    Admin("INSERT INTO t VALUES (1), (2), (3), (4)");
    CMySQLConnection* pCnx = Open(true);
    for (int bStore = 1; bStore >= 0; bStore--) {
        const std::string strMode = bStore ? "store" : "use";
        CMySQLStatementSQL* pStmt = Statement(pCnx);
        pStmt->SetStoreResult(bStore);
        // Rows.
        ASSERT_EQ(pStmt->bExecuteDirect("SELECT a FROM t ORDER BY a", 0), 1) << Error();
        EXPECT_EQ(pStmt->llGetRowCount(), bStore ? 4 : 4294967295LL) << strMode;
        std::wstring s;
        for (;;) {
            ASSERT_EQ(pStmt->bFetch(0), 1) << Error();
            if (pStmt->bEndOfData())
                break;
            s += ReadAny(pStmt, 0, false);
        }
        EXPECT_EQ(s, L"1234") << strMode;
        ExpectNextQueryWorks(pStmt, m_pError, strMode + ", after the rows");
        // No rows.
        ASSERT_EQ(pStmt->bExecuteDirect("SELECT a FROM t WHERE a > 10", 0), 1) << Error();
        EXPECT_EQ(pStmt->llGetRowCount(), bStore ? 0 : 4294967295LL) << strMode;
        ASSERT_EQ(pStmt->bFetch(0), 1);
        EXPECT_EQ(pStmt->bEndOfData(), 1) << strMode;
        ExpectNextQueryWorks(pStmt, m_pError, strMode + ", after no rows");
        // An UPDATE: no columns, and the rows it matched.
        ASSERT_EQ(pStmt->bExecuteDirect("UPDATE t SET a = a WHERE a < 3", 0), 1) << Error();
        unsigned int nColumns = 9;
        pStmt->bGetColumnNbr(&nColumns, 0);
        EXPECT_EQ(nColumns, 0u) << strMode;
        EXPECT_EQ(pStmt->llGetRowCount(), 0) << strMode;
        long long llAffected = -1;
        ASSERT_EQ(pStmt->bGetAffected_rows(&llAffected), 1);
        EXPECT_EQ(llAffected, 2) << strMode;
        ExpectNextQueryWorks(pStmt, m_pError, strMode + ", after an UPDATE");
        // A result closed with rows unread.
        ASSERT_EQ(pStmt->bExecuteDirect("SELECT a FROM t", 0), 1) << Error();
        ASSERT_EQ(pStmt->bFetch(0), 1);
        ExpectNextQueryWorks(pStmt, m_pError, strMode + ", after rows left unread");
        // Another statement of the same connection too.
        ASSERT_EQ(pStmt->bExecuteDirect("SELECT a FROM t", 0), 1) << Error();
        ASSERT_EQ(pStmt->bReset(), 1);
        ExpectNextQueryWorks(Statement(pCnx), m_pError, strMode + ", on another statement");
    }
}

TEST_F(MySQLStatementSQLServer, RepliesOfSeveralResults)
{
    Admin("CREATE TABLE t (a INT)");
    Admin("INSERT INTO t VALUES (1), (2)");
    CMySQLConnection* pCnx = Open(true);
    for (int bStore = 1; bStore >= 0; bStore--) {
        const std::string strMode = bStore ? "store" : "use";
        CMySQLStatementSQL* pStmt = Statement(pCnx);
        pStmt->SetStoreResult(bStore);
        unsigned int nColumns = 0;
        ASSERT_EQ(pStmt->bExecuteDirect("UPDATE t SET a=a; SELECT 1,2", 0), 1) << Error();
        pStmt->bGetColumnNbr(&nColumns, 0);
        EXPECT_EQ(nColumns, 2u) << strMode;
        ASSERT_EQ(pStmt->bFetch(0), 1);
        EXPECT_EQ(ReadAny(pStmt, 1, false), L"2") << strMode;
        ASSERT_EQ(pStmt->bFetch(0), 1);
        EXPECT_EQ(pStmt->bEndOfData(), 1) << strMode;
        ExpectNextQueryWorks(pStmt, m_pError, strMode + ", after UPDATE; SELECT");

        ASSERT_EQ(pStmt->bExecuteDirect("SELECT 1; SELECT 2,3", 0), 1) << Error();
        pStmt->bGetColumnNbr(&nColumns, 0);
        EXPECT_EQ(nColumns, 1u) << strMode;
        ASSERT_EQ(pStmt->bFetch(0), 1);
        EXPECT_EQ(ReadAny(pStmt, 0, false), L"1") << strMode;
        ExpectNextQueryWorks(pStmt, m_pError, strMode + ", after SELECT; SELECT");

        m_pError->Reset();
        EXPECT_EQ(pStmt->bExecuteDirect("UPDATE t SET a=a; UPDATE t SET nothing=1", 0), 0) << strMode;
        EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1054u) << strMode << "\n" << Error();
        ExpectNextQueryWorks(pStmt, m_pError, strMode + ", after a failed second UPDATE");
    }
}

TEST_F(MySQLStatementSQLServer, SeeksAndValuesWithoutACurrentRow)
{
    Admin("CREATE TABLE t (a INT)");
    Admin("INSERT INTO t VALUES (0), (1), (2), (3), (4), (5), (6), (7)");
    CMySQLConnection* pCnx = Open(true);
    CMySQLStatementSQL* pStmt = Statement(pCnx);
    ASSERT_EQ(pStmt->bExecuteDirect("SELECT a FROM t ORDER BY a", 0), 1) << Error();
    EXPECT_EQ(ReadAny(pStmt, 0, false), L"(refused)"); // before the first fetch
    ASSERT_EQ(pStmt->bDataSeek(5), 1);
    EXPECT_EQ(ReadAny(pStmt, 0, false), L"(refused)"); // after a seek
    ASSERT_EQ(pStmt->bFetch(0), 1);
    EXPECT_EQ(pStmt->llGetCurrentRow(), 5);
    EXPECT_EQ(ReadAny(pStmt, 0, false), L"5");
    m_pError->Reset();
    EXPECT_EQ(ReadAny(pStmt, 1, false), L"(refused)"); // out of range
    EXPECT_EQ(m_pError->dwGetErrorId(), 50u);
    ASSERT_EQ(pStmt->bDataSeek(0), 1);
    ASSERT_EQ(pStmt->bFetch(0), 1);
    EXPECT_EQ(ReadAny(pStmt, 0, false), L"0");
    ASSERT_EQ(pStmt->bDataSeek(8), 1);
    ASSERT_EQ(pStmt->bFetch(0), 1);
    EXPECT_EQ(pStmt->bEndOfData(), 1);
    EXPECT_EQ(ReadAny(pStmt, 0, false), L"(refused)"); // after the end
}

TEST_F(MySQLStatementSQLServer, AKilledStreamEndsItsRowsWithTheError)
{
    CMySQLConnection* pCnx = Open(true);
    CMySQLStatementSQL* pStmt = Statement(pCnx);
    ASSERT_EQ(pStmt->bExecuteDirect("SELECT CONNECTION_ID()", 0), 1) << Error();
    ASSERT_EQ(pStmt->bFetch(0), 1);
    const std::wstring strId = ReadAny(pStmt, 0, false);
    pStmt->SetStoreResult(0);
    ASSERT_EQ(pStmt->bExecuteDirect("SELECT seq, REPEAT('x', 1000) FROM seq_1_to_1000000", 0), 1) << Error();
    ASSERT_EQ(pStmt->bFetch(0), 1) << Error();
    ASSERT_TRUE(Admin("KILL " + Narrow(strId.c_str())));
    m_pError->Reset();
    int bFetched = 1;
    for (int i = 0; i < 2000000 && bFetched && !pStmt->bEndOfData(); i++)
        bFetched = pStmt->bFetch(0);
    EXPECT_EQ(bFetched, 0);
    EXPECT_EQ(pStmt->bEndOfData(), 1);
    EXPECT_NE(Error().find(L"=100.25"), std::wstring::npos) << Error();
    EXPECT_EQ(pStmt->bReset(), 1);
}

TEST_F(MySQLStatementSQLServer, ColumnsKnowTheirTableAndSourceName)
{
    Admin("CREATE TABLE t (a INT)");
    CMySQLConnection* pCnx = Open(true);
    CMySQLStatementSQL* pStmt = Statement(pCnx);
    ASSERT_EQ(pStmt->bExecuteDirect("SELECT a AS x, a + 1 AS y FROM t AS u", 0), 1) << Error();
    const CNAColumnSQL* x = pStmt->pclGetNAColumnSQL(0);
    const CNAColumnSQL* y = pStmt->pclGetNAColumnSQL(1);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(std::wstring(x->m_csName.pszGet()), L"x");
    EXPECT_EQ(std::wstring(x->m_csTableName.pszGet()), L"t");
    EXPECT_EQ(std::wstring(x->m_csNameInSource.pszGet()), L"a");
    EXPECT_EQ(std::wstring(x->m_csDBTypeName.pszGet()), L"MYSQL_TYPE_LONG");
    EXPECT_EQ(std::wstring(y->m_csTableName.pszGet()), L"");
    EXPECT_EQ(std::wstring(y->m_csNameInSource.pszGet()), L"");
}

} // namespace
