// LIKE in a condition the host parsed and set as the filter of a table, on
// the private server, in the server's default mode and under
// NO_BACKSLASH_ESCAPES: literal patterns and host parameters, with the
// host's default escape (the backslash) or one of its own, on text and
// number columns, keep the rows the same pattern finds written by hand.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

using namespace tableobject;

// Texts that the wildcards, the escapes and the quotes of the cases below
// tell apart.
const char* const kNames[] = {
    "a%x", "a%",    "a\\b", "a\\\\b", "a\\x", "ab",  "a_b",   "axb", "a!b", "a!%",    "a''b", "a'b",
    "a\\'b", "0 ab", "0 b", "a#b",   "a#%",  "a\\", "a",     "x\\%y", "a!", "O'Neil",
};

std::string InsertRows()
{
    std::string s = "INSERT INTO t VALUES ";
    for (size_t i = 0; i < sizeof(kNames) / sizeof(kNames[0]); i++)
        s += (i > 0 ? "," : "") + std::string("(") + std::to_string(100 + i) + ",X'" + HexaOf(kNames[i]) + "'," +
             std::to_string(100 * (i % 3) + static_cast<int>(i)) + ")";
    return s;
}

struct LikeCase {
    const char* pszColumn;
    const char* pszPattern; // as the host means it
    const char* pszEscape;  // null: none written, the backslash meant
};

class LikeFilterServer : public TableObjectServer {
protected:
    LikeFilterServer()
        : TableObjectServer("zt52lf", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, n INT NOT NULL, "
                                       "KEY(name), KEY(n)) CHARACTER SET utf8mb4",
                                       InsertRows()})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(TableObjectServer::SetUp());
        BindValueMachine();
        m_pContext = Context(1);
        // A few rows a SELECT: a browse goes on from the row it stands on.
        CHostConnectionDescription* pHost = HostOn(L"ZT Cache Size=4", L"ztlf4");
        m_pi = Open(L"t", m_pContext, pHost);
        ASSERT_NE(m_pi, nullptr);
        INADataSourceDescription* piDescription = m_piDriver->piGetTableDesc(L"t", pHost);
        ASSERT_NE(piDescription, nullptr) << Report();
        m_pQueryCatalogue.reset(new CHostCatalogue);
        m_pQueryCatalogue->Add(L"t", L"t", piDescription);
        piDescription->nExternalRelease();
    }
    void TearDown() override
    {
        TableObjectServer::TearDown();
        EXPECT_EQ(m_clQueryValues.m_nRef, 0u);
    }
    // The session of the table's connection in the mode asked for.
    void Mode(bool bNoBackslash)
    {
        CNAConnectionDescription* pCnx = Access(m_pi, m_pContext)->pclGetConnection();
        ASSERT_NE(pCnx, nullptr);
        const wchar_t* pszMode = bNoBackslash ? L"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"
                                              : L"SET SESSION sql_mode = REPLACE(@@sql_mode, 'NO_BACKSLASH_ESCAPES', '')";
        ASSERT_EQ(pCnx->bExecuteQueryNoResult(m_pDriver->pclGetError(), pszMode), 1) << Report();
    }
    // The ids the filter of the condition keeps, in id order, read from
    // either end; the error on failure.
    Rows FilterIds(const std::wstring& strCondition)
    {
        std::wstring strError;
        m_tabQueryParse.push_back(CHostSQLParse::pParse((L"SELECT * FROM t WHERE " + strCondition).c_str(),
                                                        m_pQueryCatalogue.get(), &m_clQueryValues, &strError));
        if (m_tabQueryParse.back() == nullptr)
            return Rows{"(not parsed) " + Narrow(strError.c_str())};
        wchar_t szItem[255] = L"";
        if (!m_pi->bHFiltre(m_pContext, m_tabQueryParse.back().get(), szItem))
            return Rows{"(failed) " + Error(m_pi, m_pContext)};
        Rows tab = Walk(m_pi, m_pContext, szItem, L"id");
        Rows tabBack;
        EXPECT_EQ(Read(m_pi, m_pContext, szItem, LAST), 1) << Error(m_pi, m_pContext);
        while (!Out(m_pi, m_pContext, szItem) && tabBack.size() < 100) {
            tabBack.insert(tabBack.begin(), Value(m_pi, m_pContext, L"id"));
            EXPECT_EQ(Read(m_pi, m_pContext, szItem, PREVIOUS), 1) << Error(m_pi, m_pContext);
        }
        EXPECT_EQ(tabBack, tab) << "backwards on " << UTF8Of(szItem);
        std::sort(tab.begin(), tab.end(),
                  [](const std::string& a, const std::string& b) { return atoi(a.c_str()) < atoi(b.c_str()); });
        return tab;
    }
    // The ids of the hand-written pattern, its characters and its escape's
    // written as hexadecimal, under NOT when asked.
    Rows HandIds(const LikeCase& k, bool bNot)
    {
        const std::string strLike = std::string(k.pszColumn) + " LIKE CONVERT(X'" + HexaOf(k.pszPattern) +
                                    "' USING utf8mb4) ESCAPE CONVERT(X'" +
                                    HexaOf(k.pszEscape != nullptr ? k.pszEscape : "\\") + "' USING utf8mb4)";
        return List("SELECT id FROM t WHERE " + std::string(bNot ? "NOT " : "") + strLike + " ORDER BY id");
    }
    static std::wstring Quoted(const std::string& s)
    {
        std::wstring str = L"'";
        for (wchar_t c : Wide(s))
            str += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
        return str + L"'";
    }
    static std::wstring EscapeClause(const LikeCase& k)
    {
        return k.pszEscape != nullptr ? L" ESCAPE " + Quoted(k.pszEscape) : L"";
    }

    CHostContext* m_pContext = nullptr;
    INATable* m_pi = nullptr;
};

const LikeCase kLiterals[] = {
    {"name", "a\\%", nullptr},   {"name", "a\\%%", nullptr}, {"name", "a\\\\b", nullptr}, {"name", "a\\_b", nullptr},
    {"name", "a!%", nullptr},    {"name", "a''%", nullptr},  {"name", "a'%", nullptr},    {"name", "a\\'b%", nullptr},
    {"name", "a\\", nullptr},    {"name", "x\\\\\\%y", nullptr},
    {"name", "a\\%", "\\"},      {"name", "a!%", "!"},       {"name", "a!!%", "!"},      {"name", "a\\'b%", "!"},
    {"name", "a#%", "#"},        {"name", "%##%", "#"},      {"name", "0 ab", "a"},      {"name", "a'%", "'"},
    {"name", "a'''%", "'"},      {"name", "a\\%", "!"},
    {"n", "1%", nullptr},        {"n", "%0_", nullptr},      {"n", "2\\%", nullptr},     {"n", "1!%", "!"},
};

} // namespace

TEST_F(LikeFilterServer, LiteralPatternsKeepTheRowsOfTheHandWrittenPattern)
{
    for (bool bNoBackslash : {false, true}) {
        SCOPED_TRACE(bNoBackslash ? "NO_BACKSLASH_ESCAPES" : "default mode");
        ASSERT_NO_FATAL_FAILURE(Mode(bNoBackslash));
        for (const LikeCase& k : kLiterals) {
            const std::wstring strLike = L" LIKE " + Quoted(k.pszPattern) + EscapeClause(k);
            const Rows tabHand = HandIds(k, false);
            EXPECT_EQ(FilterIds(Wide(k.pszColumn) + strLike), tabHand) << UTF8Of(strLike);
            EXPECT_EQ(FilterIds(Wide(k.pszColumn) + L" NOT" + strLike), HandIds(k, true)) << UTF8Of(strLike);
        }
    }
}

// The host's ESCAPE '\' followed by another literal: the later literal's
// words stay a value, and the filter keeps the rows of both conditions.
TEST_F(LikeFilterServer, AnEscapeClauseNeverOpensTheRestOfTheCondition)
{
    for (bool bNoBackslash : {false, true}) {
        SCOPED_TRACE(bNoBackslash ? "NO_BACKSLASH_ESCAPES" : "default mode");
        ASSERT_NO_FATAL_FAILURE(Mode(bNoBackslash));
        const Rows tabHand = HandIds({"name", "a\\%", "\\"}, false);
        ASSERT_FALSE(tabHand.empty());
        EXPECT_EQ(FilterIds(L"name LIKE 'a\\%' ESCAPE '\\' OR name = ' OR 1=1 -- '"), tabHand);
        EXPECT_EQ(FilterIds(L"name LIKE 'a\\%' ESCAPE '\\' OR name = 'a' OR n LIKE '1_' ESCAPE '!'"),
                  List("SELECT id FROM t WHERE name = 'a%' OR name = 'a' OR n LIKE '1_' ORDER BY id"));
    }
}

TEST_F(LikeFilterServer, ParametersKeepTheRowsOfTheirLiteralPattern)
{
    const LikeCase cases[] = {
        {"name", "a\\%", nullptr}, {"name", "a\\\\b", nullptr}, {"name", "a'%", nullptr}, {"name", "a!%", nullptr},
        {"name", "a!%", "!"},      {"name", "0 ab", "a"},       {"name", "a\\%", "\\"},  {"name", "a#%", "#"},
        {"n", "1%", nullptr},      {"n", "2\\%", nullptr},
    };
    for (bool bNoBackslash : {false, true}) {
        SCOPED_TRACE(bNoBackslash ? "NO_BACKSLASH_ESCAPES" : "default mode");
        ASSERT_NO_FATAL_FAILURE(Mode(bNoBackslash));
        for (const LikeCase& k : cases) {
            SetW(m_clQueryValues.Value(L"p"), Wide(k.pszPattern).c_str());
            const std::wstring strLike = L" LIKE {p}" + EscapeClause(k);
            EXPECT_EQ(FilterIds(Wide(k.pszColumn) + strLike), HandIds(k, false)) << UTF8Of(strLike) << " with "
                                                                                  << k.pszPattern;
            EXPECT_EQ(FilterIds(Wide(k.pszColumn) + L" NOT" + strLike), HandIds(k, true))
                << UTF8Of(strLike) << " with " << k.pszPattern;
        }
        // A number is matched as its text.
        Set(m_clQueryValues.Value(L"p"), TQTYPE_I4, 1);
        EXPECT_EQ(FilterIds(L"n LIKE {p}"), HandIds({"n", "1", nullptr}, false));
    }
}
