// Hostile values and templates on the private server, through the SQL
// interface and through commands on its connections, in both code-page
// modes and under NO_BACKSLASH_ESCAPES: every value comes back byte for byte
// or is refused with its error, and no statement runs but the one written.
#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/NACommand.h"
#include "access/sql/TabValParser.h"
#include "common/text/CodePage.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/AnyValue.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/TestServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

void SetBytes(CAny& v, unsigned short nType, const void* p, size_t n)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(p, static_cast<unsigned int>(n));
}

// What a value is, what the host gives and what must come back.
struct STHostile {
    std::string strName;
    unsigned short nType;  // wide text, 8-bit text or a real
    std::wstring strWide;  // wide text, or the 1252 reading of 8-bit text
    std::string strBytes;  // 8-bit text
    double d;              // real
    // The error when refused: in a 1252 session, in a UTF-8 session (0:
    // stored).
    unsigned n1252Error;
    unsigned nUTF8Error;
};

std::vector<STHostile> HostileValues()
{
    std::vector<STHostile> tab;
    auto AddW = [&](const std::string& strName, const std::wstring& s, unsigned n1252 = 0, unsigned nUTF8 = 0) {
        tab.push_back({strName, TQTYPE_DSTRW, s, "", 0, n1252, nUTF8});
    };
    for (const wchar_t* psz : {L"'", L"''", L"\"", L"\\", L"\\'", L"'\\", L"?", L":p1", L"%s", L"--", L"#", L"/*",
                               L"*/", L"`", L"'; DROP TABLE keep; -- ", L"\\'; DROP TABLE keep; -- ",
                               L"\"; DROP TABLE keep; #", L"'); DROP TABLE keep; -- ", L"a' OR 1=1 /*", L"é€"})
        AddW("text " + UTF8Of(psz), psz);
    AddW("NUL inside", std::wstring(L"a\0'b\0", 5));
    AddW("beyond U+FFFF", L"\U0001F600\U0001D11E", 77);
    AddW("CJK", L"\u4E2D", 77);
    AddW("lone surrogate", std::wstring(1, static_cast<wchar_t>(0xD800)), 77, 77);
    std::wstring strLong;
    for (int i = 0; i < 30000; i++)
        strLong += L"'\\";
    AddW("60,000 characters of '\\", strLong);
    // Every byte of code page 1252, NUL included, as 8-bit host text.
    const std::string strAll = AllBytes();
    wchar_t* pszAll = nullptr;
    int nAll = 0;
    if (__STR_CharToWChar(strAll.data(), 256, 1252, &pszAll, &nAll, 0) && pszAll != nullptr) {
        tab.push_back({"every 1252 byte", TQTYPE_DSTRA, std::wstring(pszAll, nAll), strAll, 0, 0, 0});
        free(pszAll);
    }
    for (double d : {std::nan(""), HUGE_VAL, -HUGE_VAL})
        tab.push_back({"real " + std::to_string(d), TQTYPE_R8, L"", "", d, 53, 53});
    return tab;
}

class HostileValuesServer : public ServerTest {
protected:
    HostileValuesServer()
        : ServerTest("zt27_hostile",
                     {"CREATE TABLE keep (id INT)", "CREATE TABLE t (id INT PRIMARY KEY, v LONGTEXT CHARACTER SET utf8mb4)"})
    {
    }
    static void SetUpTestSuite() { StartDriverAndSQL(&s_piDriver, &s_piSQL); }
    static void TearDownTestSuite() { StopDriverAndSQL(&s_piDriver, &s_piSQL); }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        ASSERT_NE(s_piSQL, nullptr);
    }
    void TearDown() override
    {
        // No statement but the written ones ran.
        EXPECT_EQ(First("SELECT COUNT(*) FROM keep"), "0");
        ServerTest::TearDown();
    }
    // A connection of the SQL interface in the mode asked for.
    int Open(bool bUTF8, bool bNoBackslash)
    {
        int n = -1;
        EXPECT_EQ(s_piSQL->bOpenConnection(&n, Host(bUTF8 ? L"" : L"ZT Unicode Support=0", L"zt27")), 1) << Report();
        if (bNoBackslash) {
            EXPECT_EQ(Exec(n, L"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"), 1) << Report();
        }
        return n;
    }
    int Exec(int nCnx, const std::wstring& strSQL, CTabValParser* pParameters = nullptr)
    {
        int nStmt = -1;
        const int b = s_piSQL->bExecute(&nStmt, nCnx, strSQL.c_str(), pParameters, 0);
        if (nStmt > 0)
            s_piSQL->bFreeStmt(nCnx, nStmt, 0);
        return b;
    }
    using ServerTest::First;
    // The first value of the first row of a query on the connection.
    std::wstring First(int nCnx, const std::wstring& strSQL)
    {
        int nStmt = -1;
        if (!s_piSQL->bExecute(&nStmt, nCnx, strSQL.c_str(), nullptr, 0) || nStmt <= 0)
            return L"(failed) " + Wide(Report());
        CAny v;
        std::wstring s = L"(no row)";
        if (s_piSQL->bFetch(nCnx, nStmt, 0) && s_piSQL->bGetValue(&v, nCnx, nStmt, 1, 0))
            s = TextW(v);
        s_piSQL->bFreeStmt(nCnx, nStmt, 0);
        return s;
    }
    std::string Report() { return Narrow(s_piSQL->piGetLastError()->pszGetError()); }
    unsigned int Code() { return s_piSQL->piGetLastError()->dwGetErrorId(); }

    static INADriver* s_piDriver;
    static INADriverSQL* s_piSQL;
};

INADriver* HostileValuesServer::s_piDriver = nullptr;
INADriverSQL* HostileValuesServer::s_piSQL = nullptr;

const char* ModeName(int nMode)
{
    static const char* const s_tab[] = {"1252", "UTF-8", "1252 NO_BACKSLASH_ESCAPES", "UTF-8 NO_BACKSLASH_ESCAPES"};
    return s_tab[nMode];
}

TEST_F(HostileValuesServer, EveryValueComesBackWholeOrIsRefused)
{
    const std::vector<STHostile> tabValues = HostileValues();
    for (int nMode = 0; nMode < 4; nMode++) {
        const bool bUTF8 = (nMode & 1) != 0;
        SCOPED_TRACE(ModeName(nMode));
        const int nCnx = Open(bUTF8, nMode >= 2);
        ASSERT_GT(nCnx, 0);
        Admin("DELETE FROM t");
        int nId = 0;
        for (const STHostile& h : tabValues) {
            SCOPED_TRACE(h.strName);
            nId++;
            const std::wstring strText = L"INSERT INTO t (id, v) VALUES (?, ?)";
            STValParser aValue[2] = {};
            Set(aValue[0].clValeur, TQTYPE_I4, nId);
            aValue[0].nPosition = static_cast<int>(strText.find(L'?'));
            aValue[0].nLongueur = 1;
            if (h.nType == TQTYPE_R8)
                Set(aValue[1].clValeur, TQTYPE_R8, h.d);
            else if (h.nType == TQTYPE_DSTRA)
                SetBytes(aValue[1].clValeur, TQTYPE_DSTRA, h.strBytes.data(), h.strBytes.size());
            else
                SetBytes(aValue[1].clValeur, TQTYPE_DSTRW, h.strWide.data(), h.strWide.size() * sizeof(wchar_t));
            aValue[1].nPosition = static_cast<int>(strText.rfind(L'?'));
            aValue[1].nLongueur = 1;
            CTabValParser params = {2, aValue, 0, nullptr};
            const unsigned nError = bUTF8 ? h.nUTF8Error : h.n1252Error;
            const int bDone = Exec(nCnx, strText, &params);
            const std::string strStored =
                First("SELECT IFNULL(HEX(v), 'none') FROM t WHERE id = " + std::to_string(nId) +
                      " UNION ALL SELECT 'none' LIMIT 1");
            if (nError != 0) {
                EXPECT_EQ(bDone, 0);
                EXPECT_EQ(Code(), nError) << Report();
                EXPECT_EQ(strStored, "none");
            } else {
                EXPECT_EQ(bDone, 1) << Report();
                EXPECT_EQ(strStored, HexaOf(UTF8Of(h.strWide)));
            }
        }
        // One row for each value stored, and nothing else ran.
        int nStored = 0;
        for (const STHostile& h : tabValues)
            nStored += (bUTF8 ? h.nUTF8Error : h.n1252Error) == 0;
        EXPECT_EQ(First("SELECT COUNT(*) FROM t"), std::to_string(nStored));
        EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'keep'"),
                  "1");
        // A table name is a name, never SQL.
        int nTransaction = 0;
        ASSERT_EQ(s_piSQL->bTrsBegin(&nTransaction, nCnx, 0), 1) << Report();
        EXPECT_EQ(s_piSQL->bSQLBloqueTable(nCnx, L"t; DROP TABLE keep; -- ", 0), 0);
        EXPECT_EQ(s_piSQL->bSQLBloqueTable(nCnx, L"t", 0), 1) << Report();
        EXPECT_EQ(s_piSQL->bTrsRollBack(nCnx, nTransaction, 0), 1);
        EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'keep'"),
                  "1");
        EXPECT_EQ(s_piSQL->bCloseConnection(nCnx), 1);
    }
}

// Commands of the connection's own dialect: glued words, trailing comments
// and every escape character of a LIKE.
TEST_F(HostileValuesServer, TemplatesRunAsWritten)
{
    BindValueMachine();
    for (int nMode = 0; nMode < 4; nMode++) {
        SCOPED_TRACE(ModeName(nMode));
        const int nCnx = Open((nMode & 1) != 0, nMode >= 2);
        ASSERT_GT(nCnx, 0);
        Admin("DELETE FROM t");
        Admin("INSERT INTO t VALUES (1, 'a''b%'), (2, 'a\\\\b_'), (3, 'a!b'), (4, 'ab')");
        CNADriver* pclDriver = static_cast<CNADriver*>(s_piDriver);
        CNAConnectionDescription* pclCnx = pclDriver->pclGetConnectionByID(nCnx);
        ASSERT_NE(pclCnx, nullptr);
        CNAError* pclError = new CNAError;
        pclError->AddRef();
        std::vector<CNAConvertVariant*> tabCell;
        auto Cell = [&](const CAny& v) {
            CNAConvertVariant* p = new CNAConvertVariant(pclError, nullptr);
            p->AddRef();
            p->InitTypeVariantAny(v.nGetTypeCode(), 0);
            EXPECT_EQ(p->bSetValue(&v), 1);
            tabCell.push_back(p);
            return p;
        };
        // The text, one parameter after it, the text after, a row limit.
        auto Run = [&](const wchar_t* pszBefore, const CAny& v, unsigned nFlags, wchar_t cEscape,
                       const wchar_t* pszAfter, long long llLimit) {
            CNACommand c(pclError, pclCnx);
            c.bComplete(pszBefore, static_cast<unsigned int>(-1));
            c.bAddParameter(Cell(v), -1, nFlags, nullptr, nullptr, cEscape, CNAParameter::PARAM_IN);
            c.bComplete(pszAfter, static_cast<unsigned int>(-1));
            c.SetRowLimit(llLimit, -1);
            const wchar_t* psz = c.pszGetFormatedSQLW(CNACommand::PTC_ALL);
            const std::wstring s = psz != nullptr ? First(nCnx, psz) : L"(not built)";
            c.ResetCommand(0);
            return s;
        };
        CAny v;
        // Glued to a word: LIMIT and its number.
        Set(v, TQTYPE_I4, 2);
        EXPECT_EQ(Run(L"SELECT COUNT(*) FROM (SELECT id FROM t ORDER BY id LIMIT", v, 0, 0, L") AS x", -1), L"2");
        // A row limit after a trailing comment still limits.
        Set(v, TQTYPE_I4, 0);
        EXPECT_EQ(Run(L"SELECT id FROM t WHERE id >", v, 0, 0, L" ORDER BY id DESC -- newest", 1), L"4");
        // Every escape character finds exactly the row of its value.
        struct { const wchar_t* pszValue; wchar_t cEscape; const wchar_t* pszId; } const tabLike[] = {
            {L"a'b%", 0, L"1"},    {L"a'b%", L'\\', L"1"}, {L"a'b%", L'\'', L"1"}, {L"a'b%", L'!', L"1"},
            {L"a\\b_", 0, L"2"},   {L"a\\b_", L'\\', L"2"}, {L"a\\b_", L'"', L"2"}, {L"a\\b_", L'`', L"2"},
            {L"a!b", L'!', L"3"},  {L"a!b", 0, L"3"},
        };
        for (const auto& st : tabLike) {
            SCOPED_TRACE(std::string(1, static_cast<char>(st.cEscape)) + " escapes");
            SetW(v, st.pszValue);
            EXPECT_EQ(Run(L"SELECT GROUP_CONCAT(id) FROM t WHERE v LIKE ", v, CNAParameter::PF_LIKE, st.cEscape,
                          L" AND id > 0", -1),
                      st.pszId);
        }
        for (CNAConvertVariant* p : tabCell)
            p->nRelease();
        pclError->nRelease();
        pclDriver->nReleaseConnection(pclCnx);
        EXPECT_EQ(s_piSQL->bCloseConnection(nCnx), 1);
    }
}

} // namespace
