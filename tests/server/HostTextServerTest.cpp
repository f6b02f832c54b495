// Host text that the rewrite of a host query copies between the pieces it
// writes again reaches the server as the host reads it, in four sessions
// (UTF-8 and 1252, default mode and NO_BACKSLASH_ESCAPES): two minus signs
// are n - (-1), never a comment; a subquery's literals and names are the
// host's; a parameter stays one value; a LIMIT inside a subquery is no
// limit of the query. Rows, counts and written rows are judged by the same
// statement written by hand.
#include "tests/support/HostQuerySessions.h"
#include "tests/support/SearchObjects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr unsigned int kWrite = CNADataAccess::QM_MAY_MODIFY;

class HostText : public HostQuerySessionTest {
protected:
    HostText() : HostQuerySessionTest("zt62text") {}
    // Every row of a table as "id|name|n", in id order.
    Rows Table(const char* pszTable)
    {
        return List(std::string("SELECT CONCAT(id, '|', IFNULL(name, 'NULL'), '|', IFNULL(n, 'NULL')) FROM ") +
                    pszTable + " ORDER BY id");
    }
    // The rows a write by hand leaves on a copy of t (the write names h).
    Rows ByHand(const std::string& strWrite)
    {
        EXPECT_TRUE(Admin("DROP TABLE IF EXISTS h"));
        EXPECT_TRUE(Admin("CREATE TABLE h LIKE t"));
        EXPECT_TRUE(Admin("INSERT INTO h SELECT * FROM t"));
        EXPECT_TRUE(Admin(strWrite));
        return Table("h");
    }
    void Refill()
    {
        ASSERT_TRUE(Admin("DELETE FROM t"));
        ASSERT_TRUE(Admin(RowsOfT()));
    }
    // The ids a search of the item finds from its value on.
    Rows Found(CNATable* p, const wchar_t* pszItem, int nValue)
    {
        CAny v;
        SetAs<int>(v, TQTYPE_I4, nValue);
        Rows tab;
        int bRead = Access(p)->bHRecherche(pszItem, &v, 1, 1, kHostQueryNoLock, nullptr, 1, 0);
        int bFound = 0, bInRange = 0;
        while (bRead == 1 && p->bEvalHTrouve(Context(), pszItem, &bFound, &bInRange) && bFound && tab.size() < 50) {
            tab.push_back(Value(Access(p), L"id"));
            bRead = Access(p)->bHLitxxx(pszItem, NA_PARSE_NEXT, 1, kHostQueryNoLock, nullptr, 0);
        }
        EXPECT_EQ(bRead, 1) << DataError(p);
        return tab;
    }
    // The ids by hand, browsed forwards on id, as many browsed backwards on
    // the item given, and as many counted.
    void ExpectRows(CNATable* p, const Rows& tabHand, const wchar_t* pszBackwards)
    {
        EXPECT_EQ(Sorted(Walk(p, L"id", true)), tabHand) << DataError(p);
        EXPECT_EQ(Walk(p, pszBackwards, false).size(), tabHand.size()) << DataError(p);
        long long llCount = -1;
        EXPECT_EQ(Access(p)->bHNbEnr(&llCount, 0x10, 0), 1) << DataError(p);
        EXPECT_EQ(llCount, static_cast<long long>(tabHand.size()));
    }
    // The query's rows against the ids its hand-written form finds (fewer
    // than 30), browsed as ExpectRows does; those ids, and the query in *pp.
    Rows ExpectQuery(const wchar_t* pszText, const char* pszHand, CHostConnectionDescription* pHost,
                     CNATable** pp = nullptr)
    {
        SCOPED_TRACE(UTF8Of(pszText));
        CNATable* p = RunOn(pszText, pHost);
        if (pp != nullptr)
            *pp = p;
        const Rows tabHand = Sorted(List(pszHand));
        EXPECT_LT(tabHand.size(), 30u);
        EXPECT_NE(p, nullptr);
        if (p != nullptr)
            ExpectRows(p, tabHand, L"n");
        return tabHand;
    }
    // The write leaves on t the rows its hand-written form leaves on a copy
    // (rows other than t's); t is then filled again.
    void ExpectWrite(const wchar_t* pszText, const char* pszHand, CHostConnectionDescription* pHost)
    {
        SCOPED_TRACE(UTF8Of(pszText));
        const Rows tabHand = ByHand(pszHand);
        ASSERT_NE(tabHand, Table("t"));
        int b = 0;
        Run(pszText, kWrite, &b, pHost);
        EXPECT_EQ(b, 1) << Report();
        EXPECT_EQ(Table("t"), tabHand);
        Refill();
    }
    // The user error that refuses a query, at its run or at its first
    // read (its error in *pstrError); 0 when it reads.
    unsigned int Refusal(const wchar_t* pszText, CHostConnectionDescription* pHost, std::string* pstrError)
    {
        int b = 0;
        CNATable* p = Run(pszText, 0, &b, pHost);
        if (b != 1 || p == nullptr) {
            *pstrError = Report();
            return Code();
        }
        if (Access(p)->bHLitxxx(L"id", NA_PARSE_FIRST, 1, kHostQueryNoLock, nullptr, 0) == 1)
            return 0;
        *pstrError = DataError(p);
        return Access(p)->pclGetError()->dwGetErrorId();
    }
    // A filter of the item from nLow up to nHigh (excluded), browsed on id.
    Rows Filtered(CNATable* p, const wchar_t* pszItem, int nLow, int nHigh)
    {
        CAny clLow, clHigh;
        SetAs<int>(clLow, TQTYPE_I4, nLow);
        SetAs<int>(clHigh, TQTYPE_I4, nHigh);
        EXPECT_EQ(Access(p)->bHFiltre(pszItem, &clLow, 1, &clHigh, 0, nullptr), 1) << DataError(p);
        return Sorted(Walk(p, pszItem, true, false, CNADataAccess::WPF_CONTINUE));
    }
};

} // namespace

// Two minus signs in a condition, an ORDER BY, a HAVING or an output item
// are n - (-1) (a tab or a carriage return after them too); the query
// keeps its own LIMIT and the driver's order; a filter on it runs.
TEST_F(HostText, TwoMinusSignsAreNeverAComment)
{
    struct Query {
        const wchar_t* pszText;
        const char* pszHand; // the ids
    } const queries[] = {
        {L"SELECT id, name, n FROM t WHERE n -- 1 > 28", "SELECT id FROM t WHERE n + 1 > 28"},
        {L"SELECT id, name, n FROM t WHERE n --\t1 > 28", "SELECT id FROM t WHERE n + 1 > 28"},
        {L"SELECT id, name, n FROM t WHERE n --\r1 > 28 OR n-- 1 < 2", "SELECT id FROM t WHERE n > 27 OR n < 1"},
        {L"SELECT id, name, n FROM t WHERE n > 5 ORDER BY n -- 1 LIMIT 3",
         "SELECT id FROM t WHERE n > 5 ORDER BY n LIMIT 3"},
        {L"SELECT id, n FROM t GROUP BY id, n HAVING n -- 1 > 28", "SELECT id FROM t WHERE n + 1 > 28"},
    };
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        for (const Query& k : queries) {
            CNATable* p = nullptr;
            const Rows tabHand = ExpectQuery(k.pszText, k.pszHand, pHost, &p);
            ASSERT_NE(p, nullptr);
            Rows tabFiltered;
            for (const std::string& s : tabHand)
                if (std::stoi(s) >= 5 && std::stoi(s) < 25)
                    tabFiltered.push_back(s);
            EXPECT_EQ(Filtered(p, L"id", 5, 25), tabFiltered);
        }
        // An output item, browsed, searched and filtered.
        CNATable* p = RunOn(L"SELECT id, n -- 1 AS m FROM t WHERE n < 9", pHost);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(Walk(p, L"id", true, false, 0, L"m"), List("SELECT n + 1 FROM t WHERE n < 9 ORDER BY id"))
            << DataError(p);
        EXPECT_EQ(Found(p, L"m", 9), List("SELECT id FROM t WHERE n = 8"));
        EXPECT_EQ(Filtered(p, L"m", 3, 6), Sorted(List("SELECT id FROM t WHERE n + 1 >= 3 AND n + 1 < 6")));
    }
}

// A subquery is written by the host's reading: a literal ending in a
// backslash ends there, a "#" inside a literal is a character, two signs
// are a subtraction, names in brackets and double quotes are names.
TEST_F(HostText, SubqueriesAreReadAsTheHostReadsThem)
{
    const wchar_t* const kTexts[] = {
        L"SELECT id, n FROM t WHERE id = (SELECT tid FROM u WHERE k = 1 AND 'a\\' <> 'b')",
        L"SELECT id, n FROM t WHERE id = (SELECT MAX(tid) FROM u WHERE k = 1 OR 'a\\' = ' OR k = 2 #'\n)",
        L"SELECT id, n FROM t WHERE id = (SELECT tid FROM u WHERE k = 0 -- 1\n)",
        L"SELECT id, n FROM t WHERE id = (SELECT MAX([tid]) FROM u WHERE \"k\" = 1 AND 'it''s' <> '\\')",
    };
    const Rows tabHand = List("SELECT id FROM t WHERE id = 7");
    ASSERT_EQ(tabHand.size(), 1u);
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        for (const wchar_t* pszText : kTexts) {
            SCOPED_TRACE(UTF8Of(pszText));
            CNATable* p = RunOn(pszText, pHost);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(Walk(p, L"id", true), tabHand) << DataError(p);
            EXPECT_EQ(Walk(p, L"n", false), tabHand) << DataError(p);
        }
        // A character the session's code page lacks is refused, never sent
        // as "?".
        int b = 0;
        CNATable* p = Run(L"SELECT id, n FROM t WHERE id = (SELECT tid FROM u WHERE k = 1 AND '\u03a9' <> '?')", 0,
                          &b, pHost);
        if (st.bUTF8) {
            ASSERT_EQ(b, 1) << Report();
            EXPECT_EQ(Walk(p, L"id", true), tabHand) << DataError(p);
        } else {
            const int bRead = b == 1 && p != nullptr ? Access(p)->bHLitxxx(L"id", NA_PARSE_FIRST, 1, kHostQueryNoLock,
                                                                            nullptr, 0)
                                                     : 0;
            EXPECT_EQ(bRead, 0);
            EXPECT_NE((b == 1 && p != nullptr ? DataError(p) : Report()).find("1252"), std::string::npos)
                << (b == 1 && p != nullptr ? DataError(p) : Report());
        }
    }
}

// Writes change the rows of the same write by hand; a parameter's value
// holding a line feed and "#" after two signs is one value, never SQL.
TEST_F(HostText, WritesChangeTheRowsOfTheirHandWrittenForm)
{
    struct Write {
        const wchar_t* pszText;
        const char* pszHand; // on h
    } const writes[] = {
        {L"DELETE FROM t WHERE n -- 1 > 28", "DELETE FROM h WHERE n + 1 > 28"},
        {L"UPDATE t SET name = 'z' WHERE n -- 1 > 28", "UPDATE h SET name = 'z' WHERE n + 1 > 28"},
        {L"UPDATE t SET n = id -- 1 WHERE name = 'n1'", "UPDATE h SET n = id + 1 WHERE name = 'n1'"},
        {L"UPDATE t SET name = 'a\\' WHERE n --\t1 > 29 OR id = (SELECT tid FROM u WHERE k = 2 AND 'x\\' <> '')",
         "UPDATE h SET name = CONCAT('a', CHAR(92)) WHERE n + 1 > 29 OR id = 14"},
        {L"DELETE FROM t WHERE n = id -- 1 AND name = {p0}",
         "DELETE FROM h WHERE n = id + 1 AND name = CONCAT(CHAR(10), 'OR 1=1 #')"},
    };
    SetW(m_clValues.Value(L"p0"), L"\nOR 1=1 #");
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        for (const Write& k : writes) {
            SCOPED_TRACE(UTF8Of(k.pszText));
            // One row the parameter's write finds, one beside it that the
            // value run as SQL would take too.
            ASSERT_TRUE(Admin("UPDATE t SET n = id + 1, name = CONCAT(CHAR(10), 'OR 1=1 #') WHERE id = 5"));
            ASSERT_TRUE(Admin("UPDATE t SET n = id + 1 WHERE id = 6"));
            ASSERT_NO_FATAL_FAILURE(ExpectWrite(k.pszText, k.pszHand, pHost));
        }
    }
}

// The query's own LIMIT limits it; one inside a subquery does not, and the
// query is browsed in the server's order.
TEST_F(HostText, ALimitInsideASubqueryLimitsOnlyTheSubquery)
{
    ASSERT_TRUE(Admin("UPDATE t SET name = 'B01' WHERE id = 3"));
    ASSERT_TRUE(Admin("UPDATE t SET name = 'a02' WHERE id = 9"));
    // Apart in the server's order and in UTF-16's.
    ASSERT_EQ(First("SELECT 'a02' < 'B01'"), "1");
    const Rows tabNames = List("SELECT name FROM t WHERE id <> 7 ORDER BY name, id");
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        CNATable* p = RunOn(L"SELECT id, name, n FROM t WHERE id <> (SELECT tid FROM u WHERE k = 1 LIMIT 1)", pHost);
        ASSERT_NE(p, nullptr);
        EXPECT_FALSE(Access(p)->bQueryResultsetLimited());
        EXPECT_EQ(Walk(p, L"name", true, false, 0, L"name"), tabNames) << DataError(p);
        EXPECT_EQ(Walk(p, L"name", false, false, 0, L"name"), Reversed(tabNames)) << DataError(p);
        // Its own LIMIT after one inside a subquery.
        p = RunOn(L"SELECT id, name, n FROM t WHERE id <> (SELECT tid FROM u WHERE k = 1 LIMIT 1) ORDER BY n LIMIT 4",
                  pHost);
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(Access(p)->bQueryResultsetLimited());
        EXPECT_EQ(Sorted(Walk(p, L"id", true)), Sorted(List("SELECT id FROM t WHERE id <> 7 ORDER BY n LIMIT 4")));
    }
}

// A filter by a host condition on a computed item writes the item's
// expression with its parameters and its literals, the item first in the
// condition or not.
TEST_F(HostText, AConditionOnAComputedItemKeepsItsValuesAndLiterals)
{
    SetAs<int>(m_clValues.Value(L"p"), TQTYPE_I4, 1);
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        CNATable* p = RunOn(L"SELECT id, n -- {p} AS x, CONCAT(name, 'a\\') AS y FROM t", pHost);
        ASSERT_NE(p, nullptr);
        const struct {
            const wchar_t* pszCondition;
            const char* pszHand;
        } cases[] = {
            {L"SELECT * FROM t WHERE x > 28", "SELECT id FROM t WHERE n + 1 > 28"},
            {L"SELECT * FROM t WHERE id > 0 AND x -- 1 > 29", "SELECT id FROM t WHERE n + 2 > 29"},
            {L"SELECT * FROM t WHERE y = 'n1a\\' AND n < 12", "SELECT id FROM t WHERE name = 'n1' AND n < 12"},
        };
        for (const auto& k : cases) {
            SCOPED_TRACE(UTF8Of(k.pszCondition));
            wchar_t szItem[256] = L"";
            ASSERT_EQ(Access(p)->bHFiltre(Parse(k.pszCondition, m_pCatalogue), szItem), 1) << DataError(p);
            EXPECT_EQ(Sorted(Walk(p, szItem, true, false, CNADataAccess::WPF_CONTINUE)), Sorted(List(k.pszHand)))
                << DataError(p);
        }
    }
}

// What the rewrite writes itself (a computed item's expression, a name, a
// value) after host text ending in a minus sign is a second operand, never
// a comment: in a condition, a HAVING, a count, a filter by a host
// condition, and before a parameter whose value holds a line feed and "#".
// A name the session's code page cannot hold, and a ";" in a subquery, are
// refused before anything is sent.
TEST_F(HostText, TheRewritesOwnTextNeverJoinsIntoAComment)
{
    ASSERT_TRUE(Admin("UPDATE t SET name = CONCAT(CHAR(10), 'OR 1=1 #') WHERE n IN (3, 27, 28)"));
    SetW(m_clValues.Value(L"p0"), L"\nOR 1=1 #");
    const struct {
        const wchar_t* pszQuery;
        const wchar_t* pszFilter; // a host condition filtering it, or null
        const char* pszHand;      // the ids
    } cases[] = {
        {L"SELECT id, n, - n AS m FROM t WHERE 0 -m > 25", nullptr, "SELECT id FROM t WHERE 0 - (- n) > 25"},
        {L"SELECT id, n, - n AS m FROM t GROUP BY id, n HAVING 0 -m > 25", nullptr,
         "SELECT id FROM t WHERE 0 - (- n) > 25"},
        {L"SELECT id, n, - n AS m FROM t", L"SELECT * FROM t WHERE n < 29 AND 1 -m > 25",
         "SELECT id FROM t WHERE n < 29 AND 1 - (- n) > 25"},
        {L"SELECT id, - n AS neg FROM t WHERE n -neg > 50 AND name = {p0}", nullptr,
         "SELECT id FROM t WHERE n - (- n) > 50 AND name = CONCAT(CHAR(10), 'OR 1=1 #')"},
        {L"SELECT id, n FROM t WHERE n -{p1} > 28", nullptr, "SELECT id FROM t WHERE n + 2 > 28"},
    };
    SetAs<int>(m_clValues.Value(L"p1"), TQTYPE_I4, -2);
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        for (const auto& k : cases) {
            SCOPED_TRACE(UTF8Of(k.pszQuery));
            CNATable* p = RunOn(k.pszQuery, pHost);
            ASSERT_NE(p, nullptr);
            const Rows tabHand = Sorted(List(k.pszHand));
            ASSERT_FALSE(tabHand.empty());
            ASSERT_LT(tabHand.size(), 10u);
            if (k.pszFilter != nullptr) {
                wchar_t szItem[256] = L"";
                ASSERT_EQ(Access(p)->bHFiltre(Parse(k.pszFilter, m_pCatalogue), szItem), 1) << DataError(p);
                EXPECT_EQ(Sorted(Walk(p, szItem, true, false, CNADataAccess::WPF_CONTINUE)), tabHand) << DataError(p);
                continue;
            }
            ExpectRows(p, tabHand, L"id");
        }
        // A name the code page lacks: two of them would be one name there.
        const wchar_t* pszNames = L"SELECT id, n FROM t WHERE id = (SELECT [\u4e2d] FROM (SELECT tid AS [\u4e2d], k AS "
                                  L"\"\u65e5\" FROM u) AS w WHERE [\u65e5] = 1)";
        std::string strError;
        if (st.bUTF8) {
            EXPECT_EQ(Refusal(pszNames, pHost, &strError), 0u) << strError;
        } else {
            EXPECT_EQ(Refusal(pszNames, pHost, &strError), static_cast<unsigned int>(ZTERR_CODE_PAGE)) << strError;
            EXPECT_NE(strError.find("1252"), std::string::npos) << strError;
        }
        // A second statement in a subquery: nothing of it runs.
        EXPECT_EQ(Refusal(L"SELECT id, n FROM t WHERE id = (SELECT tid FROM u WHERE k = 1; DELETE FROM u)", pHost,
                          &strError),
                  static_cast<unsigned int>(ZTERR_EXPRESSION_REFUSED))
            << strError;
        EXPECT_EQ(First("SELECT COUNT(*) FROM u"), "2");
    }
}

// A letter or a character set written against a literal of a subquery
// introduces it, as the server reads the same text written by hand: the
// hexadecimal and bit digits, and a text's quote and backslash, mean the
// same in every session; a character set's text is its own bytes, or the
// query is refused. A word is the server's, whatever the process's locale,
// and after a dot it is a name; blanks are the session's.
TEST_F(HostText, ALetterAgainstALiteralStaysAgainstIt)
{
    const struct {
        const wchar_t* pszCondition; // of the subquery
        const char* pszHand;
        unsigned int nRefused1252 = 0; // the user error of a 1252 session
    } cases[] = {
        {L"X'41' = 'A'", "X'41' = 'A'"},
        {L"x'4a4B' = 'JK'", "x'4a4B' = 'JK'"},
        {L"X'42' = 'A'", "X'42' = 'A'"},
        {L"b'101' = 5", "b'101' = 5"},
        {L"B'1' = 2", "B'1' = 2"},
        {L"N'x' = 'x'", "N'x' = 'x'"},
        {L"n'it''s' = 'it''s'", "n'it''s' = 'it''s'"},
        {L"N'a\\' = CONCAT('a', CHAR(92))", "N'a' = 'a'"},
        {L"N'a\\' = 'a'", "N'a' = 'b'"},
        {L"_utf8mb4'y' = 'y'", "_utf8mb4'y' = 'y'"},
        {L"_latin1'b\\' = CONCAT('b', CHAR(92))", "_latin1'b' = 'b'"},
        {L"_binary'ab' = 'ab'", "_binary'ab' = 'ab'"},
        // A word that introduces nothing is a word before a literal.
        {L"1 = 1 AND'a' = 'a'", "1 = 1 AND 'a' = 'a'"},
        // A character set's text is its own bytes, or refused (no hand).
        {L"HEX(_latin1'\u00e9') = 'E9'", "HEX(_latin1 X'E9') = 'E9'"},
        {L"HEX(_Latin1\n'\u00e9\\' COLLATE latin1_bin) = 'E95C'", "HEX(_latin1 X'E95C' COLLATE latin1_bin) = 'E95C'"},
        {L"HEX(_latin1 '\u20ac') = '80'", "HEX(_latin1 X'80') = '80'"},
        {L"HEX(_utf8mb4'\u00e9') = 'C3A9'", "HEX(_utf8mb4 X'C3A9') = 'C3A9'"},
        {L"HEX(_ucs2'ab') = '00610062'", "HEX(_ucs2 X'00610062') = '00610062'"},
        {L"HEX(_utf16 '\U0001F600') = 'D83DDE00'", "HEX(_utf16 X'D83DDE00') = 'D83DDE00'"},
        {L"HEX(_utf32'\u00e9') = '000000E9'", "HEX(_utf32 X'000000E9') = '000000E9'"},
        {L"_latin1'a\\' 'b' = CONCAT('a', CHAR(92), 'b')", "_latin1 X'615C62' = CONCAT('a', CHAR(92), 'b')"},
        // A name after a dot, and its alias.
        {L"1 IN (SELECT w.k = w._latin1'\u00e9' FROM (SELECT 1 AS k, 1 AS [_latin1]) AS w)",
         "1 IN (SELECT w.k = w._latin1'\xC3\xA9' FROM (SELECT 1 AS k, 1 AS `_latin1`) AS w)"},
        {L"'bbb' = (SELECT w._utf16 'aaa' FROM (SELECT 'bbb' AS [_utf16]) AS w)",
         "'bbb' = (SELECT w._utf16 'aaa' FROM (SELECT 'bbb' AS `_utf16`) AS w)"},
        {L"2 = (SELECT w.N'\u00e9' FROM (SELECT 2 AS N) AS w)", "2 = (SELECT w.N'\xC3\xA9' FROM (SELECT 2 AS N) AS w)"},
        // A no-break space ends a name to a 1252 session, not to a UTF-8
        // one: 'b' is a column's there, 'a' a literal's here.
        {L"(SELECT _latin1\u00a0'\u00e9' FROM (SELECT '\u00e9' AS [_latin1\u00a0]) AS w) = '\u00e9'",
         "(SELECT `_latin1\xC2\xA0`'\xC3\xA9' FROM (SELECT '\xC3\xA9' AS `_latin1\xC2\xA0`) AS w) = '\xC3\xA9'"},
        {L"HEX(CONVERT((SELECT _utf8mb4\u00a0'\u00e9' FROM (SELECT '\u00e9' AS [_utf8mb4\u00a0]) AS w) USING utf8mb4)) "
         L"= 'C3A9'",
         "HEX(CONVERT((SELECT `_utf8mb4\xC2\xA0`'\xC3\xA9' FROM (SELECT '\xC3\xA9' AS `_utf8mb4\xC2\xA0`) AS w) USING "
         "utf8mb4)) = 'C3A9'"},
        // A letter past ASCII makes a word of its own, in any locale.
        {L"(SELECT \u00e9_utf16'a' FROM (SELECT 'b' AS \u00e9_utf16) AS w) = 'b'",
         "(SELECT \xC3\xA9_utf16'a' FROM (SELECT 'b' AS \xC3\xA9_utf16) AS w) = 'b'"},
        // A word the code page lacks.
        {L"tid = (SELECT MAX(\u4ef7) FROM (SELECT tid AS \u4ef7 FROM u) AS w WHERE \u4ef7 < 10)",
         "tid = (SELECT MAX(\xE4\xBB\xB7) FROM (SELECT tid AS \xE4\xBB\xB7 FROM u) AS w WHERE \xE4\xBB\xB7 < 10)",
         ZTERR_CODE_PAGE},
        {L"_latin1'\u4e2d' = 'x'", nullptr},
        {L"_swe7'a' = 'a'", nullptr},
        {L"_utf8'\U0001F600' = 'x'", nullptr},
    };
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        for (const auto& k : cases) {
            SCOPED_TRACE(UTF8Of(k.pszCondition));
            const std::wstring strQuery =
                std::wstring(L"SELECT id, n FROM t WHERE id = (SELECT tid FROM u WHERE k = 1 AND ") + k.pszCondition +
                L")";
            if (k.pszHand == nullptr || (!st.bUTF8 && k.nRefused1252 != 0)) {
                std::string strError;
                EXPECT_EQ(Refusal(strQuery.c_str(), pHost, &strError),
                          k.pszHand == nullptr ? static_cast<unsigned int>(ZTERR_EXPRESSION_REFUSED) : k.nRefused1252)
                    << strError;
                continue;
            }
            CNATable* p = RunOn(strQuery.c_str(), pHost);
            ASSERT_NE(p, nullptr);
            const Rows tabHand =
                List(std::string("SELECT id FROM t WHERE id = (SELECT tid FROM u WHERE k = 1 AND ") + k.pszHand + ")");
            EXPECT_EQ(Walk(p, L"id", true), tabHand) << DataError(p);
            EXPECT_EQ(Walk(p, L"n", false), tabHand) << DataError(p);
        }
    }
}

// A literal that a whole-number item cannot hold (a fraction, a number past
// the item's range, a text of a fraction) is compared as the host wrote
// it, by the server, in conditions of reads and of writes; one it holds is
// written in the item's type as before.
TEST_F(HostText, ALiteralAWholeNumberCannotHoldIsComparedWhole)
{
    struct Query {
        const wchar_t* pszText;
        const char* pszHand; // the ids
    } const queries[] = {
        {L"SELECT id, name, n FROM t WHERE n <> 1.5 AND n < 5", "SELECT id FROM t WHERE n < 5"},
        {L"SELECT id, name, n FROM t WHERE n < 2.5", "SELECT id FROM t WHERE n < 2.5"},
        {L"SELECT id, name, n FROM t WHERE n >= 28.25", "SELECT id FROM t WHERE n >= 28.25"},
        {L"SELECT id, name, n FROM t WHERE n <> '1.5' AND n < 4", "SELECT id FROM t WHERE n <> 1.5 AND n < 4"},
        {L"SELECT id, name, n FROM t WHERE n < 3000000001 AND n > 27", "SELECT id FROM t WHERE n > 27"},
        {L"SELECT id, name, n FROM t WHERE n > -4294967295 AND n < 3", "SELECT id FROM t WHERE n < 3"},
        {L"SELECT id, name, n FROM t WHERE n = 2", "SELECT id FROM t WHERE n = 2"},
    };
    struct Write {
        const wchar_t* pszText;
        const char* pszHand; // on h
    } const writes[] = {
        {L"DELETE FROM t WHERE n >= 28.5", "DELETE FROM h WHERE n >= 28.5"},
        {L"UPDATE t SET name = 'z' WHERE n < 1.5", "UPDATE h SET name = 'z' WHERE n < 1.5"},
        {L"UPDATE t SET name = 'y' WHERE n <= 3000000001 AND n > 28", "UPDATE h SET name = 'y' WHERE n > 28"},
    };
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        for (const Query& k : queries)
            ExpectQuery(k.pszText, k.pszHand, pHost);
        for (const Write& k : writes)
            ASSERT_NO_FATAL_FAILURE(ExpectWrite(k.pszText, k.pszHand, pHost));
    }
}
