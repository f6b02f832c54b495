// LIKE in host queries through the MySQL driver's table object on the
// private server, in the server's default mode and under
// NO_BACKSLASH_ESCAPES: patterns written as literals or given as host
// parameters, with the host's default escape (the backslash) or one of its
// own, find the rows the same pattern finds written by hand with its escape
// character named in a form every mode reads alike.
#include "access/driver/NAConnectionDescription.h"
#include "tests/support/AnyValue.h"
#include "tests/support/HostQueryServer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Texts that the wildcards, the escapes and the quotes of the cases below
// tell apart (the column holds 20 characters at most).
const char* const kNames[] = {
    "a%x", "a%",    "a\\b", "a\\\\b", "a\\x",  "ab",   "a_b",  "axb",  "a!b",   "a!%",   "a''b", "a'b",
    "a\\'b", "a\\'bc", "0 ab", "0 b",  "a#b",  "a#%",  "a\\",  "a",    "x\\%y", "O'Neil", "a!",
};

class LikePatternServer : public HostQueryServerTest {
protected:
    LikePatternServer() : HostQueryServerTest("zt52lk") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(HostQueryServerTest::SetUp());
        std::string strSQL = "INSERT INTO t VALUES ";
        for (size_t i = 0; i < sizeof(kNames) / sizeof(kNames[0]); i++)
            strSQL += (i > 0 ? "," : "") + std::string("(") + std::to_string(100 + i) + ",X'" + HexaOf(kNames[i]) +
                      "'," + std::to_string(100 * (i % 3) + static_cast<int>(i)) + ")";
        ASSERT_TRUE(Admin("DELETE FROM t"));
        ASSERT_TRUE(Admin(strSQL));
    }
    void TearDown() override
    {
        if (m_bOpened) {
            EXPECT_EQ(m_piDriver->bCloseConnection(m_pHost), 1);
        }
        HostQueryServerTest::TearDown();
    }
    // The driver's connection opened, in the mode asked for.
    void Mode(bool bNoBackslash)
    {
        ASSERT_EQ(m_piDriver->bOpenConnection(m_pHost), 1) << Report();
        m_bOpened = true;
        CNAConnectionDescription* pCnx = m_pDriver->_pclFindConnection(m_pHost);
        ASSERT_NE(pCnx, nullptr);
        const wchar_t* pszMode = bNoBackslash ? L"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"
                                              : L"SET SESSION sql_mode = REPLACE(@@sql_mode, 'NO_BACKSLASH_ESCAPES', '')";
        EXPECT_EQ(pCnx->bExecuteQueryNoResult(m_pDriver->pclGetError(), pszMode), 1) << Report();
        pCnx->nRelease();
    }
    // The ids the host query finds, in order; the error report on failure.
    Rows HostIds(const std::wstring& strCondition)
    {
        int b = 0;
        CNATable* p = Run(L"SELECT id, name FROM t WHERE " + strCondition + L" ORDER BY id", 0, &b);
        if (!b || p == nullptr)
            return Rows{"(failed) " + Report()};
        CNADataAccess* pAccess = Access(p);
        const std::wstring strItem = Wide(Narrow(pAccess->pclGetLastStatementNoRef()->pszGetParseItem()));
        return Walk(p, strItem.c_str(), true, true);
    }
    // The ids a pattern finds in a column, with its escape character, both
    // written as hexadecimal of their characters.
    Rows HandIds(const std::string& strColumn, const std::string& strPattern, const std::string& strEscape)
    {
        return List("SELECT id FROM t WHERE " + strColumn + " LIKE CONVERT(X'" + HexaOf(strPattern) +
                    "' USING utf8mb4) ESCAPE CONVERT(X'" + HexaOf(strEscape) + "' USING utf8mb4) ORDER BY id");
    }
    static std::wstring Quoted(const std::string& s)
    {
        std::wstring str = L"'";
        for (wchar_t c : Wide(s))
            str += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
        return str + L"'";
    }

    bool m_bOpened = false;
};

struct LikeCase {
    const char* pszColumn;
    const char* pszPattern; // as the host means it
    const char* pszEscape;  // null: none written, the backslash meant
};

const LikeCase kCases[] = {
    {"name", "a\\%", nullptr},    {"name", "a\\%%", nullptr},  {"name", "a\\\\b", nullptr},
    {"name", "a\\_b", nullptr},   {"name", "a_b", nullptr},    {"name", "a!%", nullptr},
    {"name", "a!_", nullptr},     {"name", "a''%", nullptr},   {"name", "a'%", nullptr},
    {"name", "a\\'b%", nullptr},  {"name", "a\\", nullptr},    {"name", "a\\x", nullptr},
    {"name", "%\\\\%", nullptr},  {"name", "x\\\\\\%y", nullptr},
    {"name", "a\\%", "\\"},       {"name", "a\\\\b", "\\"},    {"name", "a!%", "!"},
    {"name", "a!!%", "!"},        {"name", "a\\'b%", "!"},     {"name", "a!_b", "!"},
    {"name", "a#%", "#"},         {"name", "%##%", "#"},       {"name", "0 ab", "a"},
    {"name", "0 aab", "a"},       {"name", "a'%", "'"},        {"name", "a'''%", "'"},
    {"name", "a\\%", "!"},        {"name", "O'%", nullptr},
    {"n", "1%", nullptr},         {"n", "%0_", nullptr},       {"n", "2\\%", nullptr},
};

} // namespace

TEST_F(LikePatternServer, LiteralPatternsFindTheRowsOfTheHandWrittenPattern)
{
    for (bool bNoBackslash : {false, true}) {
        SCOPED_TRACE(bNoBackslash ? "NO_BACKSLASH_ESCAPES" : "default mode");
        ASSERT_NO_FATAL_FAILURE(Mode(bNoBackslash));
        for (const LikeCase& k : kCases) {
            std::wstring strCondition = Wide(k.pszColumn) + L" LIKE " + Quoted(k.pszPattern);
            if (k.pszEscape != nullptr)
                strCondition += L" ESCAPE " + Quoted(k.pszEscape);
            const Rows tabHand = HandIds(k.pszColumn, k.pszPattern, k.pszEscape != nullptr ? k.pszEscape : "\\");
            EXPECT_EQ(HostIds(strCondition), tabHand) << UTF8Of(strCondition);
            // The same under NOT: every other row of a NOT NULL column.
            const Rows tabNot = List("SELECT id FROM t WHERE id NOT IN (SELECT id FROM t WHERE " +
                                     std::string(k.pszColumn) + " LIKE CONVERT(X'" + HexaOf(k.pszPattern) +
                                     "' USING utf8mb4) ESCAPE CONVERT(X'" +
                                     HexaOf(k.pszEscape != nullptr ? k.pszEscape : "\\") + "' USING utf8mb4)) ORDER BY id");
            EXPECT_EQ(HostIds(Wide(k.pszColumn) + L" NOT " + strCondition.substr(strlen(k.pszColumn) + 1)), tabNot)
                << UTF8Of(strCondition);
        }
        EXPECT_EQ(m_piDriver->bCloseConnection(m_pHost), 1);
        m_bOpened = false;
    }
}

// The host's ESCAPE '\' followed by another literal: the later literal's
// words stay a value.
TEST_F(LikePatternServer, AnEscapeClauseNeverOpensTheRestOfTheText)
{
    for (bool bNoBackslash : {false, true}) {
        SCOPED_TRACE(bNoBackslash ? "NO_BACKSLASH_ESCAPES" : "default mode");
        ASSERT_NO_FATAL_FAILURE(Mode(bNoBackslash));
        const Rows tabHand = HandIds("name", "a\\%", "\\");
        ASSERT_FALSE(tabHand.empty());
        EXPECT_EQ(HostIds(L"name LIKE 'a\\%' ESCAPE '\\' OR name = ' OR 1=1 -- '"), tabHand);
        EXPECT_EQ(HostIds(L"name LIKE 'a\\%' ESCAPE '\\' OR name = 'a'"),
                  List("SELECT id FROM t WHERE name = 'a%' OR name = 'a' ORDER BY id"));
        EXPECT_EQ(m_piDriver->bCloseConnection(m_pHost), 1);
        m_bOpened = false;
    }
}

TEST_F(LikePatternServer, ParametersAreWrittenAsTheirLiteralPatterns)
{
    struct ParameterCase {
        const char* pszColumn;
        const char* pszValue;
        const char* pszEscape;
    } const cases[] = {
        {"name", "a\\%", nullptr}, {"name", "a\\\\b", nullptr}, {"name", "a'%", nullptr}, {"name", "a!%", nullptr},
        {"name", "a!%", "!"},      {"name", "0 ab", "a"},       {"name", "a\\%", "\\"},  {"n", "1%", nullptr},
    };
    for (bool bNoBackslash : {false, true}) {
        SCOPED_TRACE(bNoBackslash ? "NO_BACKSLASH_ESCAPES" : "default mode");
        ASSERT_NO_FATAL_FAILURE(Mode(bNoBackslash));
        for (const ParameterCase& k : cases) {
            SetW(m_clValues.Value(L"p"), Wide(k.pszValue).c_str());
            std::wstring strCondition = Wide(k.pszColumn) + L" LIKE {p}";
            if (k.pszEscape != nullptr)
                strCondition += L" ESCAPE " + Quoted(k.pszEscape);
            const Rows tabHand = HandIds(k.pszColumn, k.pszValue, k.pszEscape != nullptr ? k.pszEscape : "\\");
            EXPECT_EQ(HostIds(strCondition), tabHand) << UTF8Of(strCondition) << " with " << k.pszValue;
            // As its literal finds them.
            std::wstring strLiteral = Wide(k.pszColumn) + L" LIKE " + Quoted(k.pszValue);
            if (k.pszEscape != nullptr)
                strLiteral += L" ESCAPE " + Quoted(k.pszEscape);
            EXPECT_EQ(HostIds(strLiteral), tabHand) << UTF8Of(strLiteral);
        }
        // A number parameter is matched as its text.
        Set(m_clValues.Value(L"p"), TQTYPE_I4, 1);
        EXPECT_EQ(HostIds(L"n LIKE {p}"), HandIds("n", "1", "\\"));
        EXPECT_EQ(m_piDriver->bCloseConnection(m_pHost), 1);
        m_bOpened = false;
    }
}
