// LIKE patterns built by the escaping functions, checked by the server
// itself: each pattern, put between quotes in a query, must find the text it
// was made from and no other, whatever quotes, backslashes and wildcards the
// texts hold.
#include "common/text/Escape.h"
#include "tests/support/ServerDriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// Texts with every character that a literal or a pattern treats specially,
// alone, together, and next to near-misses that a badly escaped pattern
// would also find.
const char* const kTextes[] = {
    "'",      "''",     "\"",    "\\",     "\\\\",   "%",      "_",       "%%",     "__",      "a'b",
    "a''b",   "a\"b",   "a\\b",  "a\\\\b", "a%b",    "a_b",    "aXb",     "ab",     "a",       "a\\",
    "\\'",    "'\\",    "\\%",   "\\_",    "%\\",    "_'",     "'%_\"\\", "!",      "!%",      "!!",
    "a!b",    "a!%b",   "a!_b",  "#",      "#%",     "x\\'y",  "x'y",     "xy",     "x\\y",    "it's 50%",
    "it's 50", "its 50%", "\\n",  "n",      "\\%a",   "%a",     "\\\\%",   "\\\\_",  "''''",    "\\''\\",
};

// A temporary table of the texts, row i holding kTextes[i]; binary
// collation, so that only exact characters match.
void CreeTable(CClientLibrary& serveur)
{
    std::string strErreur;
    ASSERT_TRUE(serveur.bExecute("CREATE TEMPORARY TABLE esc_like (id INT PRIMARY KEY, "
                                 "txt VARCHAR(64) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin)",
                                 strErreur))
        << strErreur;
    std::string strInsert = "INSERT INTO esc_like VALUES ";
    for (std::size_t i = 0; i < sizeof(kTextes) / sizeof(kTextes[0]); ++i)
        strInsert += (i ? ",(" : "(") + std::to_string(i) + ",X'" + HexaOf(kTextes[i]) + "')";
    ASSERT_TRUE(serveur.bExecute(strInsert, strErreur)) << strErreur;
    std::vector<std::string> tab;
    ASSERT_TRUE(serveur.bList("SELECT COUNT(DISTINCT txt) FROM esc_like", tab, strErreur)) << strErreur;
    ASSERT_EQ(tab, std::vector<std::string>{std::to_string(sizeof(kTextes) / sizeof(kTextes[0]))});
}

// The ids that LIKE '<pattern>' ESCAPE '<cEscape>' finds.
std::vector<std::string> Trouve(CClientLibrary& serveur, const std::string& strMotif, char cEscape)
{
    const std::string strEscape = cEscape == '\\' ? "\\\\" : std::string(1, cEscape);
    const std::string strSQL =
        "SELECT id FROM esc_like WHERE txt LIKE '" + strMotif + "' ESCAPE '" + strEscape + "' ORDER BY id";
    std::vector<std::string> tab;
    std::string strErreur;
    EXPECT_TRUE(serveur.bList(strSQL, tab, strErreur)) << strErreur;
    return tab;
}

// The text as a pattern in the caller's syntax: quotes doubled as in SQL,
// the escape character and the wildcards escaped.
std::string MotifHote(const char* psz, char cEscape)
{
    std::string s;
    for (const char* p = psz; *p != 0; ++p) {
        if (*p == '\'')
            s += '\'';
        else if (*p == cEscape || *p == '%' || *p == '_')
            s += cEscape;
        s += *p;
    }
    return s;
}

// The (text index, escape character) pairs to try. With the backslash as
// escape character, the doubled backslash is the pattern's escape and
// MySQL's at once: texts holding a backslash cannot be told apart through a
// literal.
std::vector<std::pair<std::size_t, char>> Essais()
{
    std::vector<std::pair<std::size_t, char>> tab;
    for (char cEscape : {'!', '#', '\\'})
        for (std::size_t i = 0; i < sizeof(kTextes) / sizeof(kTextes[0]); ++i)
            if (cEscape != '\\' || std::strchr(kTextes[i], '\\') == nullptr)
                tab.emplace_back(i, cEscape);
    return tab;
}

// A connection in the test database, with the table of the texts.
class EscapeLike : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string strErreur;
        ASSERT_TRUE(serveur.bConnect(true, strErreur)) << strErreur;
        ASSERT_NO_FATAL_FAILURE(CreeTable(serveur));
    }

    CClientLibrary serveur;
};

}  // namespace

TEST_F(EscapeLike, EscapeWithEverySwitchFindsOnlyItsText)
{
    for (const auto& [i, cEscape] : Essais()) {
        const char* pszTexte = kTextes[i];
        std::vector<char> motif(2 * std::strlen(pszTexte) + 1);
        Escape(pszTexte, motif.data(), 1, 1, 1, 1, 1, 1, 1, 1, '\'', cEscape);
        EXPECT_EQ(Trouve(serveur, motif.data(), cEscape), std::vector<std::string>{std::to_string(i)})
            << "text " << pszTexte << " pattern " << motif.data() << " escape " << cEscape;
    }
}

TEST_F(EscapeLike, VerrueEscapeMySQLFindsOnlyItsText)
{
    for (const auto& [i, cEscape] : Essais()) {
        const char* pszTexte = kTextes[i];
        // A pattern of exactly two quotes is taken as it stands.
        if (std::strcmp(pszTexte, "'") == 0)
            continue;
        const std::string strHote = MotifHote(pszTexte, cEscape);
        char* pszMotif = pszVerrueEscapeMySQL(strHote.c_str(), static_cast<wchar_t>(cEscape));
        ASSERT_NE(pszMotif, nullptr);
        EXPECT_EQ(Trouve(serveur, pszMotif, cEscape), std::vector<std::string>{std::to_string(i)})
            << "text " << pszTexte << " pattern " << strHote << " gave " << pszMotif << " escape " << cEscape;
        std::free(pszMotif);
    }
    // The two-quote pattern: two quotes.
    char* pszMotif = pszVerrueEscapeMySQL("''", L'!');
    ASSERT_NE(pszMotif, nullptr);
    EXPECT_EQ(Trouve(serveur, pszMotif, '!'), std::vector<std::string>{"1"});
    std::free(pszMotif);
}
