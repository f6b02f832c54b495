// The ESCAPE clause of LIKE on the private server, on Unicode and 1252
// connections, in the server's default mode and under NO_BACKSLASH_ESCAPES:
// the host's clause after a pattern that is a column, a function or a
// parenthesised literal, a host parameter holding a NUL, and ESCAPE text a
// command built by appending text carries after a LIKE parameter. Rows are
// judged by the same condition written by hand in a form every mode reads
// alike (texts as hexadecimal of their characters).
#include "access/driver/NAConnectionDescription.h"
#include "access/sql/NACommand.h"
#include "mysql/MySQLStatementSQL.h"
#include "tests/support/HostQueryServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A text the server reads alike in every mode and character set.
std::string Hand(const std::string& s) { return "CONVERT(X'" + HexaOf(s) + "' USING utf8mb4)"; }

// (name, pattern) rows: each pattern finds its own row's name or misses
// it by the character its escape protects.
const char* const kRows[][2] = {
    {"a%", "a\\%"},   {"ab", "a\\%"}, {"a_b", "a\\_b"},  {"axb", "a\\_b"},           {"a\\b", "a\\\\b"},
    {"a\\%", "a%"},   {"a'b", "a'%"}, {"a!%", "a!\\%"},  {"\xc3\xa9" "b", "\xc3\xa9%"}, {"%", "\\%"},
};

const struct SMode {
    const char* pszName;
    const wchar_t* pszOptions;
    const wchar_t* pszHost;
    bool bNoBackslash;
} kModes[] = {
    {"Unicode, default mode", L"", L"zt55u", false},
    {"Unicode, NO_BACKSLASH_ESCAPES", L"", L"zt55u", true},
    {"1252, default mode", L"ZT Unicode Support=0", L"zt55w", false},
    {"1252, NO_BACKSLASH_ESCAPES", L"ZT Unicode Support=0", L"zt55w", true},
};

class LikeEscapeClauseServer : public HostQueryServerTest {
protected:
    LikeEscapeClauseServer() : HostQueryServerTest("zt55lk") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(HostQueryServerTest::SetUp());
        ASSERT_TRUE(Admin("ALTER TABLE t ADD pat VARCHAR(20) NULL"));
        ASSERT_NO_FATAL_FAILURE(Fill());
    }
    void TearDown() override
    {
        if (m_pHostOpen != nullptr) {
            EXPECT_EQ(m_piDriver->bCloseConnection(m_pHostOpen), 1);
        }
        HostQueryServerTest::TearDown();
    }
    void Fill()
    {
        std::string strSQL = "INSERT INTO t (id, name, n, pat) VALUES ";
        for (size_t i = 0; i < sizeof(kRows) / sizeof(kRows[0]); i++)
            strSQL += (i > 0 ? "," : "") + std::string("(") + std::to_string(100 + i) + ",X'" + HexaOf(kRows[i][0]) +
                      "'," + std::to_string(i) + ",X'" + HexaOf(kRows[i][1]) + "')";
        ASSERT_TRUE(Admin("DELETE FROM t"));
        ASSERT_TRUE(Admin(strSQL));
    }
    // The driver's connection of the mode, its session in the mode's
    // backslash reading; the catalogue read through it.
    CNAConnectionDescription* Open(const SMode& m)
    {
        if (m_pHostOpen != nullptr) {
            EXPECT_EQ(m_piDriver->bCloseConnection(m_pHostOpen), 1);
        }
        m_pHostOpen = HostOn(m.pszOptions, m.pszHost);
        EXPECT_EQ(m_piDriver->bOpenConnection(m_pHostOpen), 1) << Report();
        m_pCatalogue = Catalogue(m_pHostOpen);
        CNAConnectionDescription* pCnx = m_pDriver->_pclFindConnection(m_pHostOpen);
        if (pCnx == nullptr)
            return nullptr;
        pCnx->nRelease(); // the driver keeps it
        const wchar_t* pszMode = m.bNoBackslash
                                     ? L"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"
                                     : L"SET SESSION sql_mode = REPLACE(@@sql_mode, 'NO_BACKSLASH_ESCAPES', '')";
        EXPECT_EQ(pCnx->bExecuteQueryNoResult(m_pDriver->pclGetError(), pszMode), 1) << Report();
        return pCnx;
    }
    // The ids the host query finds, in order; the error report on failure.
    Rows HostIds(const std::wstring& strCondition)
    {
        int b = 0;
        CNATable* p = Run(L"SELECT id, name FROM t WHERE " + strCondition + L" ORDER BY id", 0, &b, m_pHostOpen);
        if (!b || p == nullptr)
            return Rows{"(failed) " + Report()};
        const std::wstring strItem = Wide(Narrow(Access(p)->pclGetLastStatementNoRef()->pszGetParseItem()));
        return Walk(p, strItem.c_str(), true, true);
    }
    // The first column of the rows of a text sent as it is on the
    // connection; *pbFailed tells a refusal.
    Rows Direct(CNAConnectionDescription* pCnx, const wchar_t* pszText, bool* pbFailed)
    {
        Rows tab;
        CMySQLStatementSQL* pStatement = new CMySQLStatementSQL(pCnx, m_pDriver->pclGetError());
        pStatement->AddRef();
        *pbFailed = !pStatement->bExecuteDirect(pszText, nullptr, 0);
        CAny v;
        while (!*pbFailed && pStatement->bFetch(0) && !pStatement->bEndOfData() && pStatement->bGetValue(&v, 0, 0))
            tab.push_back(ValueText(v));
        pStatement->nRelease();
        return tab;
    }

    CHostConnectionDescription* m_pHostOpen = nullptr;
};

} // namespace

// The host's ESCAPE after a pattern no parameter writes: a column, a
// function, a parenthesised literal, under LIKE and NOT LIKE, with more
// condition after it.
TEST_F(LikeEscapeClauseServer, EscapeAfterAnyPatternFindsTheRowsOfTheHandWrittenCondition)
{
    const std::string strBackslash = " ESCAPE " + Hand("\\");
    const struct {
        const wchar_t* pszHost;
        std::string strHand;
    } cases[] = {
        {L"name LIKE pat ESCAPE '\\'", "name LIKE pat" + strBackslash},
        {L"name NOT LIKE pat ESCAPE '\\'", "name NOT LIKE pat" + strBackslash},
        {L"NOT (name LIKE pat ESCAPE '\\') AND n > 2", "NOT (name LIKE pat" + strBackslash + ") AND n > 2"},
        {L"name LIKE CONCAT('a\\', '%') ESCAPE '\\'", "name LIKE " + Hand("a\\%") + strBackslash},
        {L"name LIKE ('a\\\\%') ESCAPE '\\'", "name LIKE " + Hand("a\\\\%") + strBackslash},
        {L"name LIKE CONCAT({p}, '%') ESCAPE '\\'", "name LIKE " + Hand("a\\%") + strBackslash},
        {L"name LIKE pat ESCAPE '\\' OR name = 'a\\b'", "name LIKE pat" + strBackslash + " OR name = " + Hand("a\\b")},
        {L"name LIKE CONCAT(pat, '') ESCAPE '!'", "name LIKE pat ESCAPE '!'"},
        {L"name LIKE CONCAT('a''', '%') ESCAPE ''''", "name LIKE " + Hand("a'%") + " ESCAPE " + Hand("'")},
        {L"name LIKE CONCAT('\u00e9', '%') ESCAPE '\u00e9'",
         "name LIKE " + Hand("\xc3\xa9%") + " ESCAPE " + Hand("\xc3\xa9")},
    };
    SetW(m_clValues.Value(L"p"), L"a\\");
    for (const SMode& m : kModes) {
        SCOPED_TRACE(m.pszName);
        ASSERT_NE(Open(m), nullptr);
        for (const auto& k : cases) {
            const Rows tabHand = List("SELECT id FROM t WHERE " + k.strHand + " ORDER BY id");
            EXPECT_FALSE(tabHand.empty()) << k.strHand;
            EXPECT_EQ(HostIds(k.pszHost), tabHand) << UTF8Of(k.pszHost);
        }
    }
}

// A host parameter holding a NUL deletes the rows its whole pattern finds,
// as 8-bit or wide text.
TEST_F(LikeEscapeClauseServer, APatternParameterIsNeverCutAtANul)
{
    const std::string strNul("%\0b", 3);
    for (const SMode& m : kModes) {
        SCOPED_TRACE(m.pszName);
        ASSERT_NE(Open(m), nullptr);
        for (bool bWide : {true, false}) {
            SCOPED_TRACE(bWide ? "wide value" : "8-bit value");
            ASSERT_NO_FATAL_FAILURE(Fill());
            ASSERT_TRUE(Admin("INSERT INTO t (id, name, n) VALUES (1, X'780062', 1), (2, X'0062', 2), (3, 'b', 3), "
                              "(4, X'0063', 4), (5, NULL, 5)"));
            const Rows tabLeft = List("SELECT id FROM t WHERE name IS NULL OR NOT (name LIKE " + Hand(strNul) +
                                      " ESCAPE '!') ORDER BY id");
            ASSERT_EQ(tabLeft.size() + 2, List("SELECT id FROM t").size()) << "the pattern finds two rows";
            CAny& v = m_clValues.Value(L"p0");
            v.__SetType(bWide ? TQTYPE_DSTRW : TQTYPE_DSTRA, 0);
            if (bWide)
                v.pclGetTraitement()->SetValue(L"%\0b", static_cast<unsigned int>(3 * sizeof(wchar_t)));
            else
                v.pclGetTraitement()->SetValue(strNul.data(), 3u);
            int b = 0;
            Run(L"DELETE FROM t WHERE name LIKE {p0}", CNADataAccess::QM_MAY_MODIFY, &b, m_pHostOpen);
            EXPECT_EQ(b, 1) << Report();
            EXPECT_EQ(List("SELECT id FROM t ORDER BY id"), tabLeft);
        }
    }
}

// ESCAPE text after a LIKE parameter in a command built by appending text:
// only the word and a one-character literal is a clause the driver
// replaces; anything else stays as written with no second clause, and no
// later value ever stands outside its literal.
TEST_F(LikeEscapeClauseServer, AppendedTextAfterALikeParameterIsReplacedOnlyWhenExactlyAClause)
{
    const std::string strWhere = "SELECT id FROM t WHERE name LIKE ";
    const std::string strOr = " OR name = 'ab' ORDER BY id";
    const struct {
        const wchar_t* pszBefore;
        wchar_t cEscape;
        const wchar_t* pszAfter;
        std::string strHand;
        bool bBackslashReadingOnly; // the text as written holds only where backslashes escape
    } cases[] = {
        {L"SELECT id FROM t WHERE name LIKE", L'\\', L" ESCAPE '\\' OR name = 'ab' ORDER BY id",
         strWhere + Hand("a\\%") + " ESCAPE " + Hand("\\") + strOr, false},
        {L"SELECT id FROM t WHERE name LIKE", L'!', L" ESCAPE CHAR(33) OR name = 'ab' ORDER BY id",
         strWhere + Hand("a!%") + " ESCAPE '!'" + strOr, false},
        {L"SELECT id FROM t WHERE name LIKE", L'\\', L" ESCAPE '\\\\' OR name = 'ab' ORDER BY id",
         strWhere + Hand("a\\%") + " ESCAPE " + Hand("\\") + strOr, true},
        {L"SELECT name LIKE", L'\\', L" escapes, id FROM t WHERE name <> 'zz' ORDER BY id",
         "SELECT name LIKE " + Hand("a\\%") + " ESCAPE " + Hand("\\") + " FROM t WHERE name <> 'zz' ORDER BY id",
         false},
    };
    for (const SMode& m : kModes) {
        SCOPED_TRACE(m.pszName);
        CNAConnectionDescription* pCnx = Open(m);
        ASSERT_NE(pCnx, nullptr);
        for (const auto& k : cases) {
            CNACommand clCommand(m_pDriver->pclGetError(), pCnx);
            clCommand.bComplete(k.pszBefore, static_cast<unsigned int>(-1));
            CAny v;
            SetW(v, k.cEscape == L'!' ? L"a!%" : L"a\\%");
            ASSERT_EQ(clCommand.bAddParameter(&v, 32, CNAParameter::PF_LIKE | CNACommand::PF_LIKE_PATTERN, nullptr,
                                              k.cEscape, CNAParameter::PARAM_IN),
                      1);
            clCommand.bComplete(k.pszAfter, static_cast<unsigned int>(-1));
            const wchar_t* psz = clCommand.pszGetFormatedSQLW(CNACommand::PTC_ALL);
            ASSERT_NE(psz, nullptr) << UTF8Of(k.pszAfter);
            const Rows tabHand = List(k.strHand);
            EXPECT_FALSE(tabHand.empty()) << k.strHand;
            bool bFailed = false;
            const Rows tab = Direct(pCnx, psz, &bFailed);
            // A clause kept as written that the session cannot read fails;
            // it never finds other rows.
            if (k.bBackslashReadingOnly && m.bNoBackslash)
                EXPECT_TRUE(bFailed || tab == tabHand) << UTF8Of(psz);
            else
                EXPECT_TRUE(!bFailed && tab == tabHand) << UTF8Of(psz);
        }
    }
}
