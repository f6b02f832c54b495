// Host-parsed queries rewritten by a command, every case a query text
// through the host's parse stand-in over hand-made tables (t is "t" in the
// database, v is "v_db"): the clause walk, names and aliases, ORDER BY both
// ways, GROUP BY, filters, JOIN, INSERT and UPDATE, the parameter pass,
// host values, refusals, the types of expressions and the dialect's
// function names. Every digest, parse object, cell, parameter and command
// made is given back.
#include "access/sql/NACommand.h"

#include "access/driver/NAError.h"
#include "access/sql/SQLParserInfo.h"
#include "mysql/MySQLConnection.h"
#include "host/HostQueryParametersValue.h"
#include "tests/support/AnyValue.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/HandDescriptions.h"
#include "tests/support/QuerySource.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef CNAItemDescription CItem;
const unsigned short KF_PK = CItem::KF_PRIMARY | CItem::KF_UNIQUE;

std::string Narrow(const std::wstring& s)
{
    return NarrowAscii(s);
}

class NACommandRewrite : public QuerySourceTest {
protected:
    NACommandRewrite() : QuerySourceTest(1) {}
    void SetUp() override
    {
        QuerySourceTest::SetUp();
        m_clHand.pclAdd(L"t", L"t", {{L"id", NA_IT_IDAUTO, KF_PK, false},
                                     {L"code", NA_IT_I4, CItem::KF_UNIQUE, false},
                                     {L"name", NA_IT_TEXTE, CItem::KF_DUPLICATES, true},
                                     {L"d", NA_IT_DATE8, 0, true},
                                     {L"amount", NA_IT_I4, 0, true},
                                     {L"ts", NA_IT_DATETIME, 0, true},
                                     {L"b", NA_IT_I4, 0, true}});
        m_clHand.pclAdd(L"v", L"v_db", {{L"k", NA_IT_IDAUTO4, 0, true},
                                        {L"name", NA_IT_TEXTE, 0, true},
                                        {L"tid", NA_IT_I4, 0, true}});
    }
    CSQLParserInfo* Digest(const wchar_t* pszQuery) { return QuerySourceTest::Digest(Parse(pszQuery), true); }
    // The formatted text of the rewritten query, or "<error N>".
    std::wstring Rewrite(const wchar_t* pszQuery, CNACommand* pFilter = nullptr, int bKeepOrderBy = 1,
                         int nMode = 0, int* pnParameters = nullptr)
    {
        m_pError->Reset();
        CNACommand cmd(m_pError, m_pCnx);
        if (!cmd.bFormatCondition(Digest(pszQuery), pFilter, bKeepOrderBy, nMode))
            return L"<error " + std::to_wstring(m_pError->dwGetErrorId()) + L">";
        if (pnParameters != nullptr)
            *pnParameters = cmd.nGetParameterNbr();
        const wchar_t* psz = cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL);
        return psz != nullptr ? psz : L"<no text>";
    }
    void SetInt(const wchar_t* pszName, int n) { Set(m_clValues.Value(pszName), TQTYPE_I4, n); }
    // Host text through the parameter pass alone on the connection, or
    // "<error N>".
    std::wstring Written(CNAConnectionDescription* pCnx, const wchar_t* pszText)
    {
        m_pError->Reset();
        CNACommand cmd(m_pError, pCnx);
        return cmd._bAddClause(nullptr, pszText, nullptr, 1)
                   ? std::wstring(cmd.pszGetOriginalSQL())
                   : L"<error " + std::to_wstring(m_pError->dwGetErrorId()) + L">";
    }
};

struct SCase {
    const wchar_t* pszQuery;
    const wchar_t* pszExpected;
};

} // namespace

TEST_F(NACommandRewrite, ClausesNamesAndAliases)
{
    const SCase aCase[] = {
        {L"SELECT name FROM t", L"SELECT `t`.`name` FROM `t`"},
        // The star becomes the output items; logical names become physical.
        {L"SELECT * FROM v", L"SELECT `v_db`.`k`,`v_db`.`name`,`v_db`.`tid` FROM `v_db`"},
        {L"SELECT name FROM v WHERE tid > 1", L"SELECT `v_db`.`name` FROM `v_db` WHERE `v_db`.`tid` > 1"},
        {L"SELECT v.name FROM v WHERE v.tid > 1", L"SELECT `v_db`.`name` FROM `v_db` WHERE `v_db`.`tid` > 1"},
        // Aliases after AS, plain or quoted, are quoted again.
        {L"SELECT name AS \"the name\", code AS [c], amount AS a FROM t",
         L"SELECT `t`.`name` AS `the name`, `t`.`code` AS `c`, `t`.`amount` AS `a` FROM `t`"},
        // Table aliases stay.
        {L"SELECT x.name FROM t x WHERE x.code = 5", L"SELECT `x`.`name` FROM `t` `x` WHERE `x`.`code` = 5"},
        // An alias that starts with AS is no AS.
        {L"SELECT ASx.name FROM t ASx WHERE ASx.code = 5",
         L"SELECT `ASx`.`name` FROM `t` `ASx` WHERE `ASx`.`code` = 5"},
        // An alias the text ends with is no name the rewriting reads: as written.
        {L"SELECT x.name FROM t AS x", L"SELECT `x`.`name` FROM `t` AS x"},
        // JOIN conditions, with and without aliases.
        {L"SELECT t.name, v.k FROM t JOIN v ON t.code = v.tid",
         L"SELECT `t`.`name`, `v_db`.`k` FROM `t` JOIN `v_db` ON `t`.`code` = `v_db`.`tid`"},
        {L"SELECT a.name FROM t a LEFT JOIN v b ON a.code = b.tid",
         L"SELECT `a`.`name` FROM `t` `a` LEFT JOIN `v_db` `b` ON `a`.`code` = `b`.`tid`"},
        // HAVING, with the host's function names kept on MySQL.
        {L"SELECT name, COUNT(*) FROM t GROUP BY name HAVING COUNT(*) > 1",
         L"SELECT `t`.`name`, COUNT(*) FROM `t` GROUP BY `t`.`name` HAVING COUNT(*) > 1"},
        // A HAVING column keeps its name as written on MySQL, not the described one.
        {L"SELECT name, COUNT(*) FROM t GROUP BY name HAVING t.NAME > 'a'",
         L"SELECT `t`.`name`, COUNT(*) FROM `t` GROUP BY `t`.`name` HAVING `t`.`NAME` > 'a'"},
        // WHERE takes the described name whatever the case written.
        {L"SELECT name FROM t WHERE NAME = 'a'", L"SELECT `t`.`name` FROM `t` WHERE `t`.`name` = 'a'"},
        // The table written goes by its server name, as in the FROM clause; a
        // table alias stays, and a name written alone stays alone.
        {L"SELECT tid, COUNT(*) FROM v GROUP BY tid HAVING v.tid > 1",
         L"SELECT `v_db`.`tid`, COUNT(*) FROM `v_db` GROUP BY `v_db`.`tid` HAVING `v_db`.`tid` > 1"},
        {L"SELECT b.tid, COUNT(*) FROM v b GROUP BY b.tid HAVING b.tid > 1",
         L"SELECT `b`.`tid`, COUNT(*) FROM `v_db` `b` GROUP BY `b`.`tid` HAVING `b`.`tid` > 1"},
        {L"SELECT tid AS x, COUNT(*) FROM v GROUP BY tid HAVING x > 1",
         L"SELECT `v_db`.`tid` AS `x`, COUNT(*) FROM `v_db` GROUP BY `v_db`.`tid` HAVING `x` > 1"},
        {L"SELECT UPPER(name), LEN(name) FROM t", L"SELECT UPPER(`t`.`name`), LEN(`t`.`name`) FROM `t`"},
        // GROUP BY a plain alias, a computed alias and a column out of the list.
        {L"SELECT name AS nm, COUNT(*) FROM t GROUP BY nm",
         L"SELECT `t`.`name` AS `nm`, COUNT(*) FROM `t` GROUP BY `t`.`name`"},
        {L"SELECT amount * 2 AS dbl, COUNT(*) AS n FROM t GROUP BY dbl",
         L"SELECT `t`.`amount` * 2 AS `dbl`, COUNT(*) AS `n` FROM `t` GROUP BY (`t`.`amount` * 2 )"},
        {L"SELECT COUNT(*) FROM v GROUP BY tid", L"SELECT COUNT(*) FROM `v_db` GROUP BY `v_db`.`tid`"},
        // ORDER BY: names, a number, a computed item by its place, and the
        // stop after a unique item (the rest left out).
        {L"SELECT name, amount FROM t ORDER BY name, amount DESC",
         L"SELECT `t`.`name`, `t`.`amount` FROM `t` ORDER BY `t`.`name`, `t`.`amount` DESC"},
        {L"SELECT name, amount FROM t ORDER BY 2", L"SELECT `t`.`name`, `t`.`amount` FROM `t` ORDER BY `t`.`amount`"},
        {L"SELECT amount + 1 AS s, name FROM t ORDER BY s",
         L"SELECT `t`.`amount` + 1 AS `s`, `t`.`name` FROM `t` ORDER BY 1"},
        {L"SELECT name, code FROM t ORDER BY code DESC, name",
         L"SELECT `t`.`name`, `t`.`code` FROM `t` ORDER BY `t`.`code` DESC"},
        // INSERT and UPDATE: a date literal typed by its column.
        {L"INSERT INTO t (id, d) VALUES (5, '20230315')",
         L"INSERT INTO `t` (`id`, `d`) VALUES (5 , '2023-03-15' )"},
        {L"UPDATE t SET d = '20230315', name = 'x' WHERE id = 1",
         L"UPDATE `t` SET `d` = '2023-03-15' , `name` = 'x' WHERE `t`.`id` = 1"},
        {L"DELETE FROM v WHERE tid = 3", L"DELETE FROM `v_db` WHERE `v_db`.`tid` = 3"},
        // No clause the rewriter knows: a table the host cannot describe.
        {L"SELECT * FROM zz", L"SELECT * FROM zz"},
        // A subquery is kept as written.
        {L"SELECT name FROM t WHERE code = (SELECT MAX(code) FROM t)",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`code` = (SELECT MAX(code) FROM t)"},
        // A column goes by its own FROM entry, whatever entry named so in
        // another case or with other accents an output item of it reads.
        {L"SELECT T.name, UPPER(t.name) FROM v AS T JOIN t ON T.name = t.name GROUP BY t.name HAVING t.name > 'a'",
         L"SELECT `T`.`name`, UPPER(`t`.`name`) FROM `v_db` AS `T` JOIN `t` ON `T`.`name` = `t`.`name` GROUP BY "
         L"`t`.`name` HAVING `t`.`name` > 'a'"},
        {L"SELECT e.name FROM v AS e, t AS \u00e9 WHERE \u00e9.name = 'q'",
         L"SELECT `e`.`name` FROM `v_db` AS `e`, `t` AS `\u00e9` WHERE `\u00e9`.`name` = 'q'"},
    };
    for (const SCase& st : aCase)
        EXPECT_EQ(Narrow(Rewrite(st.pszQuery)), Narrow(st.pszExpected)) << Narrow(st.pszQuery);
}

TEST_F(NACommandRewrite, OrderByBackwards)
{
    CNACommand cmd(m_pError, m_pCnx);
    cmd._SetSQLParserInfo(Digest(L"SELECT name, amount FROM t ORDER BY name, amount DESC, b ASC"));
    ASSERT_EQ(cmd.bFormatORDERBY(0, 0), 1);
    // b is no output item: as written, its direction turned all the same.
    EXPECT_EQ(Narrow(cmd.pszGetOriginalSQL()), "ORDER BY `t`.`name` DESC, `t`.`amount` ASC, b DESC");
    CNACommand byAlias(m_pError, m_pCnx);
    byAlias._SetSQLParserInfo(Digest(L"SELECT name AS n FROM t ORDER BY n"));
    ASSERT_EQ(byAlias.bFormatORDERBY(1, 1), 1);
    EXPECT_EQ(Narrow(byAlias.pszGetOriginalSQL()), "ORDER BY `n`");
    // Without an ORDER BY, nothing.
    CNACommand none(m_pError, m_pCnx);
    none._SetSQLParserInfo(Digest(L"SELECT name FROM t"));
    EXPECT_EQ(none.bFormatORDERBY(0, 0), 1);
    EXPECT_EQ(Narrow(none.pszGetOriginalSQL()), "");
}

TEST_F(NACommandRewrite, FiltersGoWhereAWhereGoes)
{
    CNACommand filter(m_pError, m_pCnx);
    filter.bComplete(L"`t`.`amount` > ", static_cast<unsigned int>(-1));
    CAny v;
    Set(v, TQTYPE_I4, 0);
    ASSERT_EQ(filter.bAddParameter(&v, -1, 0, nullptr, 0, CNAParameter::PARAM_IN), 1);
    const SCase aCase[] = {
        {L"SELECT name FROM t WHERE code = 1",
         L"SELECT `t`.`name` FROM `t` WHERE ( `t`.`code` = 1 ) AND (`t`.`amount` > 0 )"},
        {L"SELECT name FROM t ORDER BY name", L"SELECT `t`.`name` FROM `t` WHERE  `t`.`amount` > 0 ORDER BY `t`.`name`"},
        {L"SELECT name FROM t", L"SELECT `t`.`name` FROM `t` WHERE `t`.`amount` > 0 "},
        {L"SELECT name FROM t LIMIT 3", L"SELECT `t`.`name` FROM `t` WHERE  `t`.`amount` > 0 LIMIT 3"},
        {L"SELECT name, COUNT(*) FROM t GROUP BY name HAVING COUNT(*) > 1",
         L"SELECT `t`.`name`, COUNT(*) FROM `t` WHERE  `t`.`amount` > 0 GROUP BY `t`.`name` HAVING COUNT(*) > 1"},
    };
    for (const SCase& st : aCase) {
        int nParameters = 0;
        EXPECT_EQ(Narrow(Rewrite(st.pszQuery, &filter, 1, 0, &nParameters)), Narrow(st.pszExpected))
            << Narrow(st.pszQuery);
        EXPECT_GE(nParameters, 1);
    }
    // The filter's own parameter stays where it was.
    EXPECT_EQ(filter.pclGetParameterNoRef(0)->nGetPosition(), 15u);
    // An empty filter adds nothing.
    CNACommand empty(m_pError, m_pCnx);
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t", &empty)), "SELECT `t`.`name` FROM `t`");
}

TEST_F(NACommandRewrite, ParametersInAndOutOfTrees)
{
    SetInt(L"p", 2);
    SetInt(L"n", 3);
    const SCase aCase[] = {
        {L"SELECT name FROM t WHERE code = {p} ORDER BY name LIMIT {n}",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`code` = 2 ORDER BY `t`.`name` LIMIT 3"},
        {L"SELECT amount + {p} AS s FROM t", L"SELECT `t`.`amount` + 2 AS `s` FROM `t`"},
        {L"SELECT name FROM t LIMIT {n}", L"SELECT `t`.`name` FROM `t` LIMIT 3"},
        {L"SELECT name FROM t WHERE {p} < code AND name <> 'a'",
         L"SELECT `t`.`name` FROM `t` WHERE 2 < `t`.`code` AND `t`.`name` <> 'a'"},
        // As the host wrote it: the parameters alone are written.
        {L"SELECT name FROM t WHERE code = {p}", L"SELECT name FROM t WHERE code = 2"},
    };
    for (size_t i = 0; i < sizeof(aCase) / sizeof(aCase[0]); i++) {
        const SCase& st = aCase[i];
        const bool bVerbatim = i + 1 == sizeof(aCase) / sizeof(aCase[0]);
        EXPECT_EQ(Narrow(Rewrite(st.pszQuery, nullptr, 1, bVerbatim ? 1 : 0)), Narrow(st.pszExpected))
            << Narrow(st.pszQuery);
    }
}

// The host's ESCAPE clause after a pattern no LIKE parameter writes is
// written again by the driver (its blanks are the driver's); after a
// pattern parameter, the parameter's own writer takes its place.
TEST_F(NACommandRewrite, EscapeClauseAfterAnyPattern)
{
    SetA(m_clValues.Value(L"p"), "a!");
    const SCase aCase[] = {
        {L"SELECT name FROM t WHERE name LIKE UPPER(name)  ESCAPE  '!'",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`name` LIKE UPPER(`t`.`name`) ESCAPE '!'"},
        {L"SELECT name FROM t WHERE name LIKE ('a!%')  ESCAPE  '!' AND code = 1",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`name` LIKE ('a!%' ) ESCAPE '!' AND `t`.`code` = 1"},
        {L"SELECT name FROM t WHERE name LIKE CONCAT({p}, '%')\tESCAPE '!'",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`name` LIKE CONCAT('a!' , '%' ) ESCAPE '!'"},
        {L"SELECT name FROM t WHERE name LIKE 'a%' OR name NOT LIKE name  ESCAPE ''''",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`name` LIKE 'a%' ESCAPE '!' OR `t`.`name` NOT LIKE `t`.`name` "
         L"ESCAPE ''''"},
        {L"SELECT name FROM t WHERE name LIKE 'a#%'  ESCAPE  '#'",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`name` LIKE 'a#%' ESCAPE '#'"},
        {L"SELECT name FROM t WHERE name LIKE {p}  ESCAPE  '!' OR code = 2",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`name` LIKE 'a!' ESCAPE '!' OR `t`.`code` = 2"},
        // A pattern refused stays refused.
        {L"SELECT name FROM t WHERE name LIKE PHONETIC(name) ESCAPE '!'", L"<error 48>"},
    };
    for (const SCase& st : aCase)
        EXPECT_EQ(Narrow(Rewrite(st.pszQuery)), Narrow(st.pszExpected)) << Narrow(st.pszQuery);
}

// A number as the pattern is a plain literal (in the text of the column it
// meets): the driver writes the clause after it.
TEST_F(NACommandRewrite, EscapeClauseAfterANumberPattern)
{
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t WHERE name LIKE 5  ESCAPE  '!'")),
              "SELECT `t`.`name` FROM `t` WHERE `t`.`name` LIKE '5' ESCAPE '!'");
}

// An escape character the connection cannot write as a literal fails the
// rewrite.
TEST_F(NACommandRewrite, AnEscapeCharacterWithoutALiteralFails)
{
    class CNoText : public CMySQLKindConnection {
    public:
        int _bEscapeString(CNAError*, CTStringConcatAW*, unsigned short, unsigned char*, unsigned int) override
        {
            return 0;
        }
    };
    CNoText* pCnx = new CNoText;
    pCnx->AddRef();
    {
        CNACommand cmd(m_pError, pCnx);
        EXPECT_EQ(cmd.bFormatCondition(Digest(L"SELECT name FROM t WHERE name LIKE name ESCAPE '!'"), nullptr, 1, 0),
                  0);
        CNACommand ok(m_pError, pCnx);
        EXPECT_EQ(ok.bFormatCondition(Digest(L"SELECT name FROM t WHERE name LIKE name"), nullptr, 1, 0), 1);
    }
    pCnx->nRelease();
}

// A computed item written where its name stands is one value: its
// expression in parentheses, its parameters and literals inside them; in
// the output list, where it is defined, as the host wrote it.
TEST_F(NACommandRewrite, AComputedItemIsOneValueWhereItsNameStands)
{
    SetInt(L"p", 2);
    const SCase aCase[] = {
        {L"SELECT amount + 1 AS s FROM t WHERE s * 2 > 50",
         L"SELECT `t`.`amount` + 1 AS `s` FROM `t` WHERE (`t`.`amount` + 1 ) * 2 > 50"},
        {L"SELECT code < 2 OR code > 8 AS o FROM t WHERE o AND b = 1",
         L"SELECT `t`.`code` < 2 OR `t`.`code` > 8 AS `o` FROM `t` WHERE (`t`.`code` < 2 OR `t`.`code` > 8 ) AND "
         L"`t`.`b` = 1"},
        {L"SELECT - amount AS m FROM t WHERE 0 -m > 2",
         L"SELECT - `t`.`amount` AS `m` FROM `t` WHERE 0 -(- `t`.`amount`) > 2"},
        {L"SELECT amount + {p} AS s, name FROM t WHERE name = 'a' AND s * 2 > {p}",
         L"SELECT `t`.`amount` + 2 AS `s`, `t`.`name` FROM `t` WHERE `t`.`name` = 'a' AND (`t`.`amount` + 2 ) * 2 > 2"},
        {L"SELECT amount + 1 AS s, s * 2 AS d FROM t",
         L"SELECT `t`.`amount` + 1 AS `s`, (`t`.`amount` + 1 ) * 2 AS `d` FROM `t`"},
        // MySQL's HAVING reads the item by its name.
        {L"SELECT name, SUM(amount) + 1 AS s FROM t GROUP BY name HAVING s * 2 > 9",
         L"SELECT `t`.`name`, SUM(`t`.`amount`) + 1 AS `s` FROM `t` GROUP BY `t`.`name` HAVING `s` * 2 > 9"},
        {L"SELECT amount - 1 AS s, COUNT(*) AS c FROM t GROUP BY s HAVING s * 2 > 9 AND c > 1",
         L"SELECT `t`.`amount` - 1 AS `s`, COUNT(*) AS `c` FROM `t` GROUP BY (`t`.`amount` - 1 ) HAVING `s` * 2 > 9 "
         L"AND `c` > 1"},
        // A column of that name, in any case and in any table of the query,
        // would be read there in the item's place: the expression.
        {L"SELECT SUM(amount) AS b, name FROM t GROUP BY t.b, name HAVING b >= 3",
         L"SELECT SUM(`t`.`amount`) AS `b`, `t`.`name` FROM `t` GROUP BY `t`.`b`, `t`.`name` "
         L"HAVING (SUM(`amount`)) >= 3"},
        {L"SELECT MIN(amount) AS B FROM t GROUP BY t.b HAVING B < 3 AND B > 0",
         L"SELECT MIN(`t`.`amount`) AS `B` FROM `t` GROUP BY `t`.`b` HAVING (MIN(`amount`)) < 3 AND (MIN(`amount`)) "
         L"> 0"},
        {L"SELECT SUM(x.amount) AS tid FROM t x JOIN v y ON x.code = y.k GROUP BY x.name HAVING tid > 1",
         L"SELECT SUM(`x`.`amount`) AS `tid` FROM `t` `x` JOIN `v_db` `y` ON `x`.`code` = `y`.`k` GROUP BY `x`.`name` "
         L"HAVING (SUM(`x`.`amount`)) > 1"},
        // A plain item's alias: its column; an alias as written before another case.
        {L"SELECT x.amount AS tid FROM t x JOIN v y ON x.code = y.k GROUP BY x.amount, y.tid HAVING tid > 1",
         L"SELECT `x`.`amount` AS `tid` FROM `t` `x` JOIN `v_db` `y` ON `x`.`code` = `y`.`k` GROUP BY `x`.`amount`, "
         L"`y`.`tid` HAVING `x`.`amount` > 1"},
        {L"SELECT b, SUM(amount) AS B FROM t GROUP BY b HAVING B > 1 AND b > 1",
         L"SELECT `t`.`b`, SUM(`t`.`amount`) AS `B` FROM `t` GROUP BY `t`.`b` HAVING (SUM(`amount`)) > 1 AND `b` > 1"},
        {L"SELECT SUM(x.amount) AS s, COUNT(*) AS K FROM v y, t x GROUP BY x.name HAVING s > 1 AND k > 1",
         L"SELECT SUM(`x`.`amount`) AS `s`, COUNT(*) AS `K` FROM `v_db` `y`, `t` `x` GROUP BY `x`.`name` HAVING `s` "
         L"> 1 AND (COUNT(*)) > 1"},
        // A table of unknown columns may hold one.
        {L"SELECT SUM(amount) AS s FROM t, w GROUP BY t.name HAVING s > 1",
         L"SELECT SUM(`t`.`amount`) AS `s` FROM `t`, w GROUP BY `t`.`name` HAVING (SUM(`amount`)) > 1"},
        {L"SELECT amount + 1 AS s FROM t ORDER BY s", L"SELECT `t`.`amount` + 1 AS `s` FROM `t` ORDER BY 1"},
        // Two items that reach each other.
        {L"SELECT d + 1 AS s, s * 2 AS d FROM t", L"<error 32>"},
    };
    for (const SCase& st : aCase)
        EXPECT_EQ(Narrow(Rewrite(st.pszQuery)), Narrow(st.pszExpected)) << Narrow(st.pszQuery);
    // Another server kind's HAVING reads the expression.
    m_pCnx->SetKind(2);
    EXPECT_EQ(Narrow(Rewrite(L"SELECT amount - 1 AS s FROM t GROUP BY s HAVING s * 2 > 9")),
              "SELECT `t`.`amount` - 1 AS `s` FROM `t` GROUP BY (`t`.`amount` - 1 ) HAVING (`t`.`amount` - 1 ) * 2 > 9");
}

TEST_F(NACommandRewrite, RefusalsAndErrors)
{
    SetInt(L"p", 2);
    const SCase aCase[] = {
        // A function the server kind refuses, anywhere.
        {L"SELECT PHONETIC(name) FROM t", L"<error 48>"},
        {L"SELECT name FROM t WHERE code = 1 OR PHONETIC(name) = 'x'", L"<error 48>"},
        // A computed column that reaches itself.
        {L"SELECT amount + c AS c FROM t", L"<error 32>"},
        // A value inside host text copied as written: nothing is sent.
        {L"SELECT name FROM t ORDER BY {p}", L"<error 48>"},
        // A table that stands for two FROM entries, in the output list, a
        // condition or a group.
        {L"SELECT E.name FROM v AS e, t AS \u00e9", L"<error 48>"},
        {L"SELECT e.name FROM v AS e, t AS \u00e9 WHERE E.name = 'q'", L"<error 48>"},
        {L"SELECT e.name, COUNT(*) FROM v AS e, t AS \u00e9 GROUP BY e.name, E.code", L"<error 48>"},
    };
    for (const SCase& st : aCase)
        EXPECT_EQ(Narrow(Rewrite(st.pszQuery)), Narrow(st.pszExpected)) << Narrow(st.pszQuery);
    Rewrite(L"SELECT amount + c AS c FROM t");
    EXPECT_EQ(std::wstring(m_pError->pszGetError()).find(L"c") != std::wstring::npos, true);
    // No digest: no query.
    CNACommand cmd(m_pError, m_pCnx);
    m_pError->Reset();
    EXPECT_EQ(cmd.bFormatCondition(nullptr, nullptr, 1, 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 2u);
}

// Host text copied between the pieces written again is read by the host's
// rules and written for the session: literals as the connection writes
// them, names quoted by it, two signs apart; what the session would read
// as a comment or a quote, and a value no pass placed, are refused.
TEST_F(NACommandRewrite, HostTextIsWrittenForTheSession)
{
    const SCase aText[] = {
        {L"a -- 1", L"a - - 1"},
        {L"a--1 ---2", L"a- -1 - - -2"},
        {L"a -\t-1", L"a -\t-1"},
        {L"a/*b*/", L"a/ *b*/"},
        {L"'a\\' = [x y] AND \"z\" = 'it''s' OR ''=''", L"'a\\\\' = `x y` AND `z` = 'it''s' OR ''=''"},
        {L"[a`b] x'4' '--' '#'", L"`a``b` x'4' '--' '#'"},
        // A letter against a literal introduces it, as it does to the
        // session: X, B or N alone, or a character set.
        {L"X'41' b'1' n'it''s' _utf8mb4'a\\' (N'z')", L"X'41' b'1' n'it''s' _utf8mb4'a\\\\' (N'z')"},
        {L"aX'4' 0b'1' _'c' x 'y' 'u'N'v' [n]'w' ab_c'd'", L"aX '4' 0b '1' _ 'c' x 'y' 'u'N'v' `n` 'w' ab_c 'd'"},
        {L"'open", L"'open'"},
        {L"a '", L"a ''"},
        {L"''''''", L"''''''"},
        {L"", L""},
        {L"a [open", L"a `open`"},
        {L"a \"open", L"a `open`"},
        {L"a {open", L"<error 48>"},
        {L"a # b", L"<error 48>"},
        {L"a `b`", L"<error 48>"},
        {L"a; b", L"<error 48>"},
        {L"a;", L"a"},
        {L"a = {p}", L"<error 48>"},
    };
    for (const SCase& st : aText)
        EXPECT_EQ(Narrow(Written(m_pCnx, st.pszQuery)), Narrow(st.pszExpected)) << Narrow(st.pszQuery);
    // Without a connection a literal has no session to be written for.
    m_pError->Reset();
    CNACommand alone(m_pError, nullptr);
    EXPECT_EQ(alone._bAddClause(nullptr, L"a = 'x'", nullptr, 1), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 48u);
    // Nor a name: it goes as written.
    EXPECT_EQ(Written(nullptr, L"[\u4e2d] = 1"), L"\u4e2d = 1");
    // A session of code page 1252 whose literals of a quote go as
    // hexadecimal: a name, a word or a literal it cannot hold is refused,
    // and an introducer, or a text the session joins to another, is never
    // followed by a literal of another form. A word glued after a dot is a
    // name, and a literal after a word goes apart from it.
    CMySQLConnection* pSession = new CMySQLConnection(L"unopened", nullptr);
    pSession->AddRef();
    const SCase aSession[] = {
        {L"[\u00e9] = '\u00e9'", L"`\u00e9` = '\u00e9'"},
        {L"[\u4e2d] = 1", L"<error 77>"},
        {L"[\u0080] = 1", L"<error 77>"},
        {L"\"\u65e5\" = 1", L"<error 77>"},
        {L"'\u65e5' = 1", L"<error 77>"},
        {L"(SELECT MAX(\u4ef7) FROM u)", L"<error 77>"},
        {L"\u00e9\u00a0= \u0152", L"\u00e9\u00a0= \u0152"},
        {L"N'it''s'", L"<error 48>"},
        {L"'a'  'it''s'", L"<error 48>"},
        {L"'it''s'  'a'", L"<error 48>"},
        {L"'it''s'", L"_latin1 X'69742773'"},
        {L"k.N'i''s' + k.X'41''' - k.b'1''' \u00e9'i''s' a$'i''s'",
         L"k.N _latin1 X'692773' + k.X _latin1 X'343127' - k.b _latin1 X'3127' \u00e9 _latin1 X'692773' "
         L"a$ _latin1 X'692773'"},
    };
    // A character set's text goes as its bytes where the session's differ
    // (blanks, as the session reads them, may stand after the set's name),
    // with the texts the session joins to it; what the set cannot hold, or
    // the driver write, and a text joined to bytes are refused.
    const struct {
        int nCodePage;
        SCase st;
    } aCharset[] = {
        {65001, {L"_latin1'\u00e9' _LATIN1\r'a\u20ac\u0081' COLLATE x _latin1\n'a''b' 'c' X'E9' 'd'",
                 L"_latin1 X'E9' _LATIN1\rX'618081' COLLATE x _latin1\n'a''b' 'c' X'E9' 'd'"}},
        {65001, {L"_utf8mb4'\u00e9' 'b' _utf8'\uffff' _ucs2'ab' _utf16'\U0001F600\uffff' _utf16le\v'a\u00e9' "
                 L"_utf32''",
                 L"_utf8mb4'\u00e9' 'b' _utf8'\uffff' _ucs2 X'00610062' _utf16 X'D83DDE00FFFF' "
                 L"_utf16le\vX'6100E900' _utf32 X''"}},
        // A no-break space is a name's to a UTF-8 session, a blank to a
        // latin1 one.
        {65001, {L"_utf16le\u00a0'a\u00e9' _latin1'a'\u00a0'\u00e9' k.\u00a0_latin1'\u00e9'",
                 L"_utf16le\u00a0 'a\u00e9' _latin1'a'\u00a0 '\u00e9' k.\u00a0_latin1 '\u00e9'"}},
        {1252, {L"_latin1\u00a0'\u00e9' _utf8mb4\u00a0'\u00e9' k.\u00a0_utf16'a'",
                L"_latin1\u00a0'\u00e9' _utf8mb4\u00a0 X'C3A9' k.\u00a0_utf16 X'0061'"}},
        {1252, {L"_utf8mb4'\u00e9'\u00a0'b'", L"<error 48>"}},
        // After a dot a word is a name (blanks after the dot end the name);
        // at the start, after a parenthesis or an operator, a set's name.
        {65001, {L"k = k._latin1'\u00e9' AND (k._utf16 'aaa') OR [k]._latin1'\u00e9' OR \"k\" ._ucs2'a'",
                 L"k = k._latin1 '\u00e9' AND (k._utf16 'aaa') OR `k`._latin1 '\u00e9' OR `k` ._ucs2 'a'"}},
        {65001, {L"_latin1'\u00e9' + k. _latin1'\u00e9' + (_ucs2'a')+_ucs2'a'",
                 L"_latin1 X'E9' + k. _latin1 X'E9' + (_ucs2 X'0061')+_ucs2 X'0061'"}},
        {1252, {L"k.N'\u00e9' = k.X'41' + k. N'a'", L"k.N '\u00e9' = k.X '41' + k. N'a'"}},
        // A word is the server's, whatever the process's locale: a letter
        // past ASCII, a digit or $ before a set's name makes it another
        // word, and no set's name holds a letter past ASCII.
        {65001, {L"\u00e9_utf16'a' \u4ef7_latin1'\u00e9' a$_ucs2'a' 1_utf16'a' _utf16\u00e9'a' _LaTiN1'\u00e9' "
                 L"\u0080_ucs2'a'",
                 L"\u00e9_utf16 'a' \u4ef7_latin1 '\u00e9' a$_ucs2 'a' 1_utf16 'a' _utf16\u00e9 'a' _LaTiN1 X'E9' "
                 L"\u0080_ucs2 'a'"}},
        {1252, {L"_latin1'\u00e9' 'b' N'a' 'b' _koi8r'a\x7f' _Utf8MB4 '\u00e9' _utf8 '\u00e9'",
                L"_latin1'\u00e9' 'b' N'a' 'b' _koi8r'a\x7f' _Utf8MB4 X'C3A9' _utf8 X'C3A9'"}},
        {65001, {L"_utf8'\U0001F600'", L"<error 48>"}},
        {65001, {L"_ucs2'\U0001F600'", L"<error 48>"}},
        {65001, {L"_utf16'\xD800'", L"<error 48>"}},
        {65001, {L"_utf32'\xDFFF'", L"<error 48>"}},
        {65001, {L"_latin1'\u4e2d'", L"<error 48>"}},
        {1252, {L"_latin1'\u4e2d'", L"<error 48>"}},
        {65001, {L"_binary'\u00e9'", L"<error 48>"}},
        {65001, {L"_swe7'a'", L"<error 48>"}},
        {65001, {L"_latin1'\u00e9' 'b'", L"<error 48>"}},
        {65001, {L"_latin1'a'\t'\u00e9'", L"<error 48>"}},
        {65001, {L"_ucs2'a' 'b'", L"<error 48>"}},
        {1252, {L"N'\u00e9'", L"<error 48>"}},
    };
    // The same in the plain "C" locale (a host may set none) and in a UTF-8
    // one.
    const std::string strLocale = std::setlocale(LC_ALL, nullptr);
    for (const char* pszLocale : {"C", "C.UTF-8"}) {
        if (std::setlocale(LC_ALL, pszLocale) == nullptr)
            continue;
        for (const SCase& st : aSession)
            EXPECT_EQ(Written(pSession, st.pszQuery), st.pszExpected) << pszLocale << Narrow(st.pszQuery);
        for (const auto& k : aCharset) {
            SHeld<CMySQLKindConnection> pCnx(new CMySQLKindConnection(1, k.nCodePage));
            EXPECT_EQ(Written(pCnx, k.st.pszQuery), k.st.pszExpected)
                << pszLocale << " " << k.nCodePage << Narrow(k.st.pszQuery);
        }
    }
    std::setlocale(LC_ALL, strLocale.c_str());
    pSession->nRelease();
    const SCase aQuery[] = {
        {L"SELECT name FROM t WHERE amount -- 1 > 2 OR b--1 < 0",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`amount` - - 1 > 2 OR `t`.`b`- -1 < 0"},
        {L"SELECT amount -- 1 AS m FROM t GROUP BY amount HAVING amount -- 1 > 1",
         L"SELECT `t`.`amount` - - 1 AS `m` FROM `t` GROUP BY `t`.`amount` HAVING `amount` - - 1 > 1"},
        // A subquery, and an ORDER BY entry that is no output item.
        {L"SELECT name FROM t WHERE code = (SELECT MAX([code]) FROM t WHERE \"name\" <> 'a\\' AND b -- 1 > 0)",
         L"SELECT `t`.`name` FROM `t` WHERE `t`.`code` = (SELECT MAX(`code`) FROM t WHERE `name` <> 'a\\\\' AND b - - "
         L"1 > 0)"},
        {L"SELECT name FROM t ORDER BY amount -- 1", L"SELECT `t`.`name` FROM `t` ORDER BY amount - - 1"},
    };
    for (const SCase& st : aQuery)
        EXPECT_EQ(Narrow(Rewrite(st.pszQuery)), Narrow(st.pszExpected)) << Narrow(st.pszQuery);
    // The text after the end of the host's parse is written the same way.
    CHostSQLParse* pParse = Parse(L"SELECT name FROM t WHERE amount -- 1 > 2 AND name <> 'a\\';");
    pParse->SetLastClauseStop(17);
    CNACommand end(m_pError, m_pCnx);
    end._SetSQLParserInfo(QuerySourceTest::Digest(pParse, true));
    EXPECT_EQ(end.bFormatEndOfQuery(), 1);
    EXPECT_EQ(Narrow(end.pszGetOriginalSQL()), " WHERE amount - - 1 > 2 AND name <> 'a\\\\'");
    // Sent as written, the text is the session's own.
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t WHERE amount--1 > 2 OR name = 'a''b'", nullptr, 1, 1)),
              "SELECT name FROM t WHERE amount--1 > 2 OR name = 'a''b'");
}

// A query's own LIMIT limits its rows; one inside parentheses or a literal
// does not.
TEST_F(NACommandRewrite, OnlyTheQuerysOwnLimitLimitsIt)
{
    const struct {
        const wchar_t* pszText;
        int bLimited;
    } aCase[] = {
        {L"SELECT id FROM t LIMIT 3", 1},
        {L"SELECT id FROM t WHERE id <> (SELECT tid FROM v LIMIT 1)", 0},
        {L"SELECT id FROM t WHERE id <> (SELECT tid FROM v LIMIT 1) LIMIT 2", 1},
        {L"SELECT id FROM t WHERE name = ' LIMIT 1'", 0},
        {L"SELECT id FROM t WHERE name = 'a\\' OR name = ') LIMIT 1'", 0},
        {L"SELECT [limit] FROM t", 0},
        {L"UPDATE t SET name = 'x' LIMIT 1", 0},
    };
    for (const auto& st : aCase)
        EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(m_pCnx, st.pszText), st.bLimited) << Narrow(st.pszText);
    // The last place at the top level, up to the length given, in the case
    // asked; a keyword ending the text counts, an empty one is nowhere.
    const wchar_t* const pszText = L"x limit (LIMIT) 'LIMIT' LIMIT";
    const int eHost = CNACommand::TR_HOST;
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(m_pCnx, pszText, wcslen(pszText), L"LIMIT", eHost, false), 24);
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(m_pCnx, pszText, 23, L"LIMIT", eHost, false), 2);
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(m_pCnx, pszText, 23, L"LIMIT", eHost, true), -1);
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(m_pCnx, pszText, wcslen(pszText), L"", eHost, false), -1);
    // At the start, after a parenthesis closed once too often, never inside
    // a longer word.
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(m_pCnx, L"LIMIT 5", 7, L"LIMIT", eHost, false), 0);
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(m_pCnx, L"a) LIMIT 5", 10, L"LIMIT", eHost, false), 3);
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(m_pCnx, L"a xLIMIT", 8, L"LIMIT", eHost, false), -1);
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(m_pCnx, L"a LIMITx", 8, L"LIMIT", eHost, false), -1);
}

TEST_F(NACommandRewrite, VerbatimOrderByCut)
{
    const SCase aCase[] = {
        {L"SELECT name FROM t WHERE name <> 'a ORDER BY b'", L"SELECT name FROM t WHERE name <> 'a ORDER BY b'"},
        {L"SELECT name AS \"ORDER BY\" FROM t", L"SELECT name AS \"ORDER BY\" FROM t"},
        {L"SELECT name FROM t WHERE code = (SELECT MAX(code) FROM t ORDER BY 1)",
         L"SELECT name FROM t WHERE code = (SELECT MAX(code) FROM t ORDER BY 1)"},
        {L"SELECT name FROM t ORDER BY name", L"SELECT name FROM t "},
        {L"SELECT name FROM t order by name", L"SELECT name FROM t "},
        // A literal before the clause, a doubled quote in it.
        {L"SELECT name FROM t WHERE name <> 'it''s' ORDER BY name", L"SELECT name FROM t WHERE name <> 'it''s' "},
    };
    for (const SCase& st : aCase)
        EXPECT_EQ(Narrow(Rewrite(st.pszQuery, nullptr, 0, 4)), Narrow(st.pszExpected)) << Narrow(st.pszQuery);
    // Kept, the host's ORDER BY is written for the server.
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t ORDER BY name", nullptr, 1, 1)),
              "SELECT name FROM t ORDER BY `t`.`name`");
    // Rewritten queries drop it the same way; a LIMIT after it stays.
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t ORDER BY name", nullptr, 0, 0)), "SELECT `t`.`name` FROM `t` ");
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t ORDER BY name DESC LIMIT 3", nullptr, 0, 0)),
              "SELECT `t`.`name` FROM `t`  LIMIT 3");
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t ORDER BY name, b LIMIT 2, 3", nullptr, 0, 0)),
              "SELECT `t`.`name` FROM `t`  LIMIT 2, 3");
    // A term that is not an output item goes as the host wrote it, one
    // letter long too.
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t ORDER BY b", nullptr, 1, 0)),
              "SELECT `t`.`name` FROM `t` ORDER BY b");
}

TEST_F(NACommandRewrite, CompleteRunsTheParameterPassAlone)
{
    SetInt(L"p", 5);
    std::wstring strError;
    std::unique_ptr<CHostSQLParse> p =
        CHostSQLParse::pParse(L"SELECT a FROM t WHERE b={p}", &m_clHand.m_clCatalogue, &m_clValues, &strError);
    ASSERT_NE(p, nullptr);
    {
        CNACommand cmd(m_pError, m_pCnx);
        ASSERT_EQ(cmd.bComplete(p.get()), 1);
        EXPECT_EQ(cmd.nGetParameterNbr(), 1);
        EXPECT_EQ(Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)), "SELECT a FROM t WHERE `t`.`b`=5");
    }
    // A value before its item reference stays a lone value; references
    // alone are names.
    std::unique_ptr<CHostSQLParse> q = CHostSQLParse::pParse(L"SELECT a FROM v x WHERE {p} = x.tid OR x.name = {p}",
                                                             &m_clHand.m_clCatalogue, &m_clValues, &strError);
    ASSERT_NE(q, nullptr);
    {
        CNACommand cmd(m_pError, m_pCnx);
        ASSERT_EQ(cmd.bComplete(q.get()), 1);
        EXPECT_EQ(cmd.nGetParameterNbr(), 2);
        EXPECT_EQ(Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)),
                  "SELECT a FROM v x WHERE 5 = `x`.`tid` OR `x`.`name` = 5");
    }
    EXPECT_EQ(p->nUnbalanced(), 0);
    EXPECT_EQ(q->nUnbalanced(), 0);
}

// A table the host's parse knows no database name of: its description's
// database name qualifies the item, else its own name does.
TEST_F(NACommandRewrite, TheParameterPassNamesATableByItsDescription)
{
    m_clHand.pclAdd(L"w", L"", {{L"code", NA_IT_I4, 0, true}})->SetDBName(L"w_db");
    m_clHand.pclAdd(L"x", L"", {{L"code", NA_IT_I4, 0, true}});
    SetInt(L"p", 5);
    const struct {
        const wchar_t* pszQuery;
        const char* pszWritten;
    } aCase[] = {
        {L"SELECT code FROM w WHERE code={p}", "SELECT code FROM w WHERE `w_db`.`code`=5"},
        {L"SELECT code FROM x WHERE x.code={p}", "SELECT code FROM x WHERE `x`.`code`=5"},
    };
    for (const auto& st : aCase) {
        std::wstring strError;
        std::unique_ptr<CHostSQLParse> p =
            CHostSQLParse::pParse(st.pszQuery, &m_clHand.m_clCatalogue, &m_clValues, &strError);
        ASSERT_NE(p, nullptr) << Narrow(strError);
        CNACommand cmd(m_pError, m_pCnx);
        ASSERT_EQ(cmd.bComplete(p.get()), 1);
        EXPECT_EQ(Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)), st.pszWritten);
    }
}

TEST_F(NACommandRewrite, UserParametersRefreshedByName)
{
    SetW(m_clValues.Value(L"s"), L"abc");
    SetInt(L"n", 5);
    SetInt(L"z", 7);
    CNACommand cmd(m_pError, m_pCnx);
    ASSERT_EQ(cmd.bFormatCondition(Digest(L"SELECT name FROM t WHERE name = {s} OR code = {n} OR amount = {z}"),
                                   nullptr, 1, 0),
              1);
    EXPECT_EQ(Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)),
              "SELECT `t`.`name` FROM `t` WHERE `t`.`name` = 'abc' OR `t`.`code` = 5 OR `t`.`amount` = 7");
    ASSERT_EQ(cmd.nGetParameterNbr(), 3);
    // A wide character keeps the wide text; a real retypes the number; NULL.
    Set(m_clValues.Value(L"s"), TQTYPE_CARW, static_cast<wchar_t>(L'y'));
    Set(m_clValues.Value(L"n"), TQTYPE_R8, 2.5);
    m_clValues.Value(L"z").__SetType(TQTYPE_I4, 0);
    m_clValues.Value(L"z").SetNullFlag(true);
    ASSERT_EQ(cmd.bUpdateParametersValues(), 1);
    CAny v;
    cmd.pclGetParameterByNameNoRef(L"s")->pclGetValue()->bGetValue(&v);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_DSTRW);
    cmd.pclGetParameterByNameNoRef(L"n")->pclGetValue()->bGetValue(&v);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_R8);
    cmd.ResetFormatedSQL();
    EXPECT_EQ(Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)),
              "SELECT `t`.`name` FROM `t` WHERE `t`.`name` = 'y' OR `t`.`code` = 2.5 OR `t`.`amount` = NULL");
    // Writing the text takes the values again by itself.
    SetW(m_clValues.Value(L"s"), L"it's");
    cmd.ResetFormatedSQL();
    EXPECT_EQ(Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)),
              "SELECT `t`.`name` FROM `t` WHERE `t`.`name` = 'it''s' OR `t`.`code` = 2.5 OR `t`.`amount` = NULL");
}

// A value given again as another type: the whole text is searched, not the
// first character a one-character cell would keep, nor a number a number's
// cell would make of it; a text cell takes a character as it is.
TEST_F(NACommandRewrite, UserParameterGivenAnotherType)
{
    // A number, a character or a host string read up to its terminator; a
    // dynamic text is given its length.
    const auto Put = [this](unsigned short nType, const char* psz) {
        if (nType == TQTYPE_I4) {
            SetInt(L"s", atoi(psz));
            return;
        }
        CAny& v = m_clValues.Value(L"s");
        const std::wstring strWide(psz, psz + strlen(psz));
        v.__SetType(nType, 0);
        if (nType == TQTYPE_DSTRA)
            v.pclGetTraitement()->SetValue(psz, static_cast<unsigned int>(strlen(psz)));
        else if (nType == TQTYPE_DSTRW)
            v.pclGetTraitement()->SetValue(strWide.c_str(),
                                           static_cast<unsigned int>(strWide.size() * sizeof(wchar_t)));
        else if (nType == TQTYPE_CARW)
            v.pclGetTraitement()->SetValue(strWide.c_str());
        else
            v.pclGetTraitement()->SetValue(psz);
    };
    struct {
        unsigned short nFirst;
        const char* pszFirst;
        unsigned short nThen;
        const char* pszThen;
        const char* pszLiterals; // the first value's literal, then the second's
    } const aCase[] = {
        {TQTYPE_CARA, "y", TQTYPE_DSTRA, "abc", "'y' 'abc'"},
        {TQTYPE_CARA, "y", TQTYPE_PSTRA, "it's", "'y' 'it''s'"},
        {TQTYPE_CARW, "y", TQTYPE_DSTRW, "wide", "'y' 'wide'"},
        {TQTYPE_DSTRA, "abc", TQTYPE_CARA, "y", "'abc' 'y'"},
        {TQTYPE_I4, "7", TQTYPE_DSTRA, "abc", "7 'abc'"},
        {TQTYPE_I4, "7", TQTYPE_DSTRW, "wide", "7 'wide'"},
    };
    for (const auto& st : aCase) {
        Put(st.nFirst, st.pszFirst);
        CNACommand cmd(m_pError, m_pCnx);
        ASSERT_EQ(cmd.bFormatCondition(Digest(L"SELECT name FROM t WHERE name = {s}"), nullptr, 1, 0), 1);
        // The literal written for the value, the query's text being known.
        const auto Literal = [&cmd]() {
            cmd.ResetFormatedSQL();
            const std::string str = Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL));
            const std::string strBefore = "SELECT `t`.`name` FROM `t` WHERE `t`.`name` = ";
            return str.compare(0, strBefore.size(), strBefore) == 0 ? str.substr(strBefore.size()) : "<" + str + ">";
        };
        const std::string strFirst = Literal();
        Put(st.nThen, st.pszThen);
        EXPECT_EQ(strFirst + " " + Literal(), st.pszLiterals) << "type " << st.nFirst << " then " << st.nThen;
    }
}

TEST_F(NACommandRewrite, EmptyDatesInBothNullOrders)
{
    const wchar_t* const apszOperator[] = {L"=", L"<>", L"<", L"<=", L">", L">="};
    // The text written for a date column compared with an empty date;
    // without the column for the constants.
    const char* const apszFirst[] = {"`t`.`d` IS NULL ", "`t`.`d` IS NOT NULL ", " 0=1 ",
                                     "`t`.`d` IS NULL ", "`t`.`d` IS NOT NULL ", " 1=1 "};
    const char* const apszLast[] = {"`t`.`d` IS NULL ", "`t`.`d` IS NOT NULL ", "`t`.`d` IS NOT NULL ",
                                    " 1=1 ", " 0=1 ", "`t`.`d` IS NULL "};
    for (int bNullFirst = 0; bNullFirst <= 1; bNullFirst++) {
        m_pCnx->m_bNullFirst = bNullFirst;
        for (int i = 0; i < 6; i++) {
            const std::wstring strQuery = std::wstring(L"SELECT name FROM t WHERE d ") + apszOperator[i] + L" ''";
            EXPECT_EQ(Narrow(Rewrite(strQuery.c_str())),
                      std::string("SELECT `t`.`name` FROM `t` WHERE ") + (bNullFirst ? apszFirst : apszLast)[i])
                << Narrow(strQuery) << " NULL first " << bNullFirst;
        }
    }
    // A date given by its first digits is its first day; other values as
    // they are.
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t WHERE d = '2023'")),
              "SELECT `t`.`name` FROM `t` WHERE `t`.`d` = '2023-01-01'");
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t WHERE ts <> '2023031510'")),
              "SELECT `t`.`name` FROM `t` WHERE `t`.`ts` <> '2023-03-15 10:00:00.000'");
    EXPECT_EQ(Narrow(Rewrite(L"SELECT name FROM t WHERE d > '20230315'")),
              "SELECT `t`.`name` FROM `t` WHERE `t`.`d` > '2023-03-15'");
}

TEST_F(NACommandRewrite, FunctionNamesByDatabaseKind)
{
    const wchar_t* pszQuery = L"SELECT UPPER(name), SUBSTRING(name, code, code), LEN(name), LENGTH(name), "
                              L"CEILING(code), IFNULL(name, name), LEFT(name, code), RTRIM(name), LOWER(name) FROM t";
    struct {
        int nKind;
        const char* pszNames;
    } const aCase[] = {
        {1, "UPPER SUBSTR LEN LENGTH CEIL IFNULL LEFT RTRIM LOWER"},
        {2, "UPPER SUBSTRING LEN LENGTH CEILING IFNULL SUBSTRING RTRIM LOWER"},
        {4, "UPPER SUBSTRING CHAR_LENGTH LENGTH CEILING IFNULL SUBSTRING RTRIM LOWER"},
        {5, "UPPER SUBSTRING LEN LENGTH CEILING IFNULL LEFT RTRIM LOWER"},
        {6, "UPPER SUBSTRING LEN LENGTH CEILING IFNULL SUBSTRING RTRIM LOWER"},
        {7, "UCASE SUBSTRING LEN LENGTH CEILING IFNULL SYSIBM.SUBSTR RTRIM LCASE"},
        {8, "UPPER SUBSTRING LEN LENGTH CEILING IFNULL LEFT RTRIM LOWER"},
        {11, "UPPER SUBSTR LEN LENGTH CEILING NVL LEFT TRIM LOWER"},
        {13, "UPPER SUBSTR LEN LENGTH CEILING IFNULL LEFT RTRIM LOWER"},
    };
    for (const auto& st : aCase) {
        m_pCnx->SetKind(st.nKind);
        const std::string strText = Narrow(Rewrite(pszQuery));
        // The words standing before an opening parenthesis.
        std::string strNames;
        for (size_t i = strText.find('('); i != std::string::npos; i = strText.find('(', i + 1)) {
            size_t k = i;
            while (k > 0 && (isalnum(static_cast<unsigned char>(strText[k - 1])) || strText[k - 1] == '_' ||
                             strText[k - 1] == '.'))
                k--;
            strNames += (strNames.empty() ? "" : " ") + strText.substr(k, i - k);
        }
        EXPECT_EQ(strNames, st.pszNames) << "kind " << st.nKind << ": " << strText;
    }
}

TEST_F(NACommandRewrite, ResultAndArgumentTypes)
{
    CSQLParserInfo* pInfo =
        Digest(L"SELECT UPPER(name), COUNT(*), code = 1, code + 1, HEX(name), DATEADD(d, 1), DATEDIFF(d, d), "
               L"WCHAR(name), PHONETIC(name), (code), POWER(code, 2), NULLIF(code, 1), CONCAT(name, name), "
               L"GREATEST(code, code, code), DATEADD(name, 1, 2), DAYOFWEEK(d), MONTHNAME(d, 1), "
               L"DATE_FORMAT(ts, 'x', 'y', 'z'), GREATEST(code, code), UPPER(ts), RTRIM(name) FROM t");
    INADataSourceDescription* pT = m_clHand.m_clCatalogue.pFind(L"t")->piDescription;
    auto Item = [&](const wchar_t* psz) { return pT->piNAGetItem(psz); };
    auto Node = [&](int i) { return pInfo->piGetRubriqueOUT(i)->piGetExpression(); };
    CNACommand cmd(m_pError, m_pCnx);
    // Result types: the node, the item in hand, the argument's type, and
    // whether the item is still in hand after.
    struct {
        int nItem;
        const wchar_t* pszItem;
        int eArgument;
        int eExpected;
        bool bKept;
    } const aRetour[] = {
        {0, L"name", 0, NA_IT_TEXTE, true},      // a text function of a text item
        {0, nullptr, 0, NA_IT_TEXTE, false},     // of no item, in code page 1252
        {1, L"name", 0, NA_IT_I8, false},        // COUNT
        {2, L"code", 0, NA_IT_BOOLEEN, false},   // a comparison
        {3, L"code", NA_IT_I4, NA_IT_I4, true},  // the argument's type
        {4, L"name", 0, NA_IT_TEXTE, false},     // HEX
        {5, L"d", 0, NA_IT_DATE8, true},         // a date function of a date
        {5, L"name", 0, NA_IT_DATETIME, false},  // of another item
        {6, L"d", 0, NA_IT_I4, false},           // DATEDIFF
        {7, L"name", 0, NA_IT_UNICODE, false},   // WCHAR
        {8, L"name", 0, NA_IT_EMPTY, false},     // refused
        {20, L"name", 0, NA_IT_TEXTE, true},     // a trimming of a text item
        {16, L"d", 0, NA_IT_DATE8, true},        // MONTHNAME of a date
        {17, L"name", 0, NA_IT_DATETIME, false}, // DATE_FORMAT of another item
    };
    for (const auto& st : aRetour) {
        INAItemDescription* pi = st.pszItem != nullptr ? Item(st.pszItem) : nullptr;
        IExpOpExpression* piNode = Node(st.nItem);
        EXPECT_EQ(cmd._eTypeRetour(1, piNode, static_cast<eNA_ITEMTYPE>(st.eArgument), &pi), st.eExpected)
            << "item " << st.nItem;
        EXPECT_EQ(pi != nullptr, st.bKept && st.pszItem != nullptr) << "item " << st.nItem;
        if (pi != nullptr)
            pi->nExternalRelease();
        piNode->nRelease();
    }
    m_pCnx->SetCodePage(65001);
    INAItemDescription* piNone = nullptr;
    IExpOpExpression* piUpper = Node(0);
    EXPECT_EQ(cmd._eTypeRetour(1, piUpper, NA_IT_EMPTY, &piNone), NA_IT_UNICODE);
    // The argument types: the node, the argument, the item in hand, and
    // whether it is still in hand after.
    struct {
        int nItem;
        unsigned int nArgument;
        const wchar_t* pszItem;
        int eExpected;
        bool bKept;
    } const aParameter[] = {
        {9, 0, L"code", NA_IT_I4, true},        // parentheses: the node's own type
        {9, 1, L"code", NA_IT_EMPTY, true},
        {10, 0, L"code", NA_IT_EMPTY, true},    // POWER
        {10, 1, L"code", NA_IT_EMPTY, false},
        {11, 0, L"code", NA_IT_EMPTY, false},   // NULLIF
        {12, 0, L"name", NA_IT_UNICODE, false}, // CONCAT in UTF-8
        {13, 1, L"code", NA_IT_EMPTY, true},    // GREATEST of three: the second is not the last
        {13, 2, L"code", NA_IT_EMPTY, false},
        {18, 1, L"code", NA_IT_EMPTY, false},   // of two: the second is the last
        {14, 0, L"d", NA_IT_EMPTY, true},       // DATEADD of a date
        {14, 0, L"name", NA_IT_DATETIME, true}, // of another item
        {14, 1, L"name", NA_IT_I4, false},
        {14, 2, L"name", NA_IT_EMPTY, true},
        {15, 0, L"d", NA_IT_DATE8, true},       // DAYOFWEEK
        {6, 3, L"d", NA_IT_DATE8, true},        // DATEDIFF: every argument
        {16, 0, L"d", NA_IT_DATE8, true},       // MONTHNAME
        {16, 1, L"d", NA_IT_EMPTY, false},
        {17, 0, L"ts", NA_IT_DATETIME, true},   // DATE_FORMAT
        {17, 2, L"ts", NA_IT_TEXTE, false},
        {17, 3, L"ts", NA_IT_EMPTY, true},
        {19, 0, L"ts", NA_IT_TEXTE, true},      // another function: by the item's type
        {0, 0, nullptr, NA_IT_EMPTY, false},
    };
    for (const auto& st : aParameter) {
        INAItemDescription* pi = st.pszItem != nullptr ? Item(st.pszItem) : nullptr;
        IExpOpExpression* piNode = Node(st.nItem);
        EXPECT_EQ(cmd._eTypeParameter(1, piNode, st.nArgument, NA_IT_I4, &pi), st.eExpected)
            << "item " << st.nItem << " argument " << st.nArgument;
        EXPECT_EQ(pi != nullptr, st.bKept) << "item " << st.nItem << " argument " << st.nArgument;
        if (pi != nullptr)
            pi->nExternalRelease();
        piNode->nRelease();
    }
    m_pCnx->SetCodePage(1252);
    piUpper->nRelease();
}

TEST(NACommandRewriteStatic, SendingTypesForDatesAndTimes)
{
    BindValueMachine();
    SHeld<CNAError> pError(new CNAError);
    SHeld<CMySQLKindConnection> pCnx(new CMySQLKindConnection);
    CNACommand cmd(pError, pCnx);
    struct {
        int eKind;
        eNA_ITEMTYPE eType;
        int eOperator;
        int eExpected;
    } const aCase[] = {
        {3, NA_IT_HEURE, 47, NA_IT_TEXTE},   // a time in a WHERE, the server without a time type
        {6, NA_IT_HEURE, 47, NA_IT_TEXTE},
        {1, NA_IT_HEURE, 9, NA_IT_TEXTE},    // compared
        {1, NA_IT_HEURE, 23, NA_IT_TEXTE},
        {1, NA_IT_HEURE, 47, NA_IT_EMPTY},
        {1, NA_IT_DATE8, 45, NA_IT_TEXTE},   // under a text function
        {1, NA_IT_DATETIME, 32, NA_IT_TEXTE}, // under LIKE
        {1, NA_IT_DATE8, 9, NA_IT_EMPTY},
        {1, NA_IT_DATETIME, 33, NA_IT_EMPTY}, // IS NULL
        {3, NA_IT_TEXTE, 45, NA_IT_EMPTY},   // not a date
    };
    for (const auto& st : aCase)
        EXPECT_EQ(cmd.eGetFormatExpressionColonne(st.eKind, st.eType, st.eOperator, nullptr), st.eExpected)
            << st.eKind << " " << st.eType << " " << st.eOperator;
}

TEST_F(NACommandRewrite, TheWhereNameSlotWithoutTable)
{
    // The slot of one name: an output item of the query goes by its table's
    // database name, another name is left for the server to find.
    CSQLParserInfo* pInfo = Digest(L"SELECT name, tid FROM v");
    CNACommand cmd(m_pError, m_pCnx);
    CTString cs;
    cmd._FormatItemNameInWHEREClause(pInfo->piGetSQLParserInformationNoRef(), L"tid", &cs, nullptr);
    EXPECT_EQ(Narrow(cs.pszGet()), "`v_db`.`tid`");
    cmd._FormatItemNameInWHEREClause(pInfo->piGetSQLParserInformationNoRef(), L"k", &cs, nullptr);
    EXPECT_EQ(Narrow(cs.pszGet()), "`k`");
}

TEST_F(NACommandRewrite, ACharacterSetNameGoesWhole)
{
    // A bare name after a function's first argument that starts with utf8
    // is a character set, never an item: "utf8mb4" leaves no "mb4" behind.
    EXPECT_EQ(Narrow(Rewrite(L"SELECT CONVERT(name, utf8mb4) AS c FROM t")),
              "SELECT CONVERT(`t`.`name`, utf8mb4) AS `c` FROM `t`");
    EXPECT_EQ(Narrow(Rewrite(L"SELECT CONVERT(name, utf8) AS c FROM t")),
              "SELECT CONVERT(`t`.`name`, utf8) AS `c` FROM `t`");
}

TEST_F(NACommandRewrite, NoDigestNoOrderAndTheErrorGivenBack)
{
    // Without a digest there is no ORDER BY of the query to write.
    CNACommand cmd(m_pError, m_pCnx);
    EXPECT_EQ(cmd.bFormatORDERBY(0, 1), 1);
    EXPECT_EQ(cmd.nGetSQLLength(), 0u);
    // A digest holds the error while it lives, and only then.
    m_pError->AddRef();
    const unsigned int nBefore = m_pError->nRelease();
    CSQLParserInfo* p = new CSQLParserInfo(m_pError, Parse(L"SELECT name FROM t"), nullptr, 0);
    p->AddRef();
    m_pError->AddRef();
    EXPECT_EQ(m_pError->nRelease(), nBefore + 1);
    EXPECT_EQ(p->nRelease(), 0u);
    m_pError->AddRef();
    EXPECT_EQ(m_pError->nRelease(), nBefore);
}

// Columns added to a query's output follow its output list, also where the
// list is a star the rewrite leaves as the host wrote it.
TEST_F(NACommandRewrite, AddedColumnsFollowTheOutputList)
{
    const SCase aCase[] = {
        {L"SELECT name FROM t WHERE code > 1", L"SELECT `t`.`name`,x FROM `t` WHERE `t`.`code` > 1"},
        {L"SELECT DISTINCT * FROM t WHERE name <> '*'", L"SELECT DISTINCT *,x FROM `t` WHERE `t`.`name` <> '*'"},
        {L"SELECT DISTINCT  *  FROM t", L"SELECT DISTINCT  *,x  FROM `t`"},
    };
    CNAConvertVariant* pCell = new CNAConvertVariant(m_pError, nullptr);
    pCell->AddRef();
    for (const SCase& st : aCase) {
        m_pError->Reset();
        CNACommand cmd(m_pError, m_pCnx);
        ASSERT_EQ(cmd.bAddSelectAdditionalColumnInQueryFormat(L"x", pCell), 1);
        ASSERT_EQ(cmd.bFormatCondition(Digest(st.pszQuery), nullptr, 1, 0), 1) << Narrow(m_pError->pszGetError());
        EXPECT_EQ(Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)), Narrow(st.pszExpected)) << Narrow(st.pszQuery);
    }
    pCell->nRelease();
}
