// The two readers of a query text that must agree: zthost's, and the run
// command's, which refuses a text of several statements before it builds
// zthost. Each answers the cases below as the server reads them, and both
// answer the same on texts put together at random from the pieces that
// matter to either.
#include "tests/support/Paths.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"
#include "tools/zthost/StatementText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

// The run command's answer to each text: '1' for several statements.
std::string ScriptAnswers(const std::vector<std::string>& astrText)
{
    CTempDir clDir("zt_statements");
    const std::string strFile = clDir.Path() + "/texts";
    {
        std::ofstream out(strFile, std::ios::binary);
        for (const std::string& s : astrText)
            out << s << '\0';
    }
    const STProgramRun st = RunProgram(
        {"bash", "-c",
         "source \"$1\" && while IFS= read -r -d '' t; do zt_several_statements \"$t\" && echo -n 1 || echo -n 0; "
         "done <\"$2\"",
         "bash", SourcePath("scripts/lib.sh"), strFile});
    EXPECT_EQ(st.nExit, 0) << st.strErr;
    EXPECT_EQ(st.strErr, "");
    return st.strOut;
}

// Each case as the server reads it, checked on a MariaDB server with
// multi-statements in its default mode, under NO_BACKSLASH_ESCAPES, under
// ANSI_QUOTES and under MSSQL: a text is several statements when the
// server runs more than one of them in any of those modes.
TEST(StatementText, SeveralStatementsAsTheServerReadsThem)
{
    const struct {
        const char* pszSQL;
        bool bSeveral;
    } aCases[] = {
        // Plain statements: quotes and comments hide a ';', an empty
        // statement runs nothing.
        {"SELECT 1; SELECT 2", true},
        {"SELECT 1;SELECT 2;", true},
        {"SELECT 1; /* ; */ -- ;\n SELECT 'a;b'", true},
        {"SELECT 1;\t#\n;x", true},
        {"SELECT 1 --;\n SELECT 2", true},
        {"SELECT 1 -- x\n; SELECT 2", true},
        {"SELECT 'it''s'; SELECT 2", true},
        {"SELECT `a\\`; SELECT 2", true},
        {"CREATE TABLE t (a INT CHECK (CASE a WHEN 1 THEN 1 END)); SELECT 2", true},
        {"SELECT 1", false},
        {"SELECT 1;", false},
        {"SELECT 1; ;; -- done\n", false},
        {"SELECT 1 # ; SELECT 2", false},
        {"SELECT 1 -- ; SELECT 2", false},
        {"SELECT 1 --\t; SELECT 2", false},
        {"SELECT 1 --", false},
        {"SELECT 1 /* ; SELECT 2 */ ;", false},
        {"SELECT 1 /* ; SELECT 2", false},
        {"SELECT 'a'';b', \"c\"\";d\" AS s", false},
        {"SELECT 'a;b', \"c;d\", 'it''s;' AS s", false},
        {"SELECT `a;b` FROM (SELECT 1 AS `a;b`) d", false},
        {"SELECT 'unended; SELECT 2", false},
        {"SELECT '\xC3\xA9;' AS \xC3\xA9t\xC3\xA9;", false},
        // Transactions.
        {"BEGIN; SELECT 1", true},
        {"begin work; select 1", true},
        {"XA BEGIN 'x'; SELECT 1", true},
        {"XA END 'x'; SELECT 1", true},
        {"BEGIN", false},
        {"BEGIN WORK;", false},
        // A keyword used as a name opens and closes nothing.
        {"SELECT begin FROM kw; DELETE FROM kw WHERE id = 2", true},
        {"SELECT kw.case FROM kw; SELECT 2", true},
        {"SELECT kw.begin, @begin FROM kw; SELECT 2", true},
        {"SELECT CASE 1 WHEN 1 THEN 1 END FOR UPDATE; SELECT 2", true},
        {"SELECT begin.x FROM (SELECT 1 AS x) begin; SELECT 2", true},
        {"CREATE PROCEDURE p() SELECT begin FROM kw; SELECT 2", true},
        {"CREATE PROCEDURE begin() SELECT 1; SELECT 2", true},
        {"CREATE FUNCTION f() RETURNS INT RETURN (SELECT begin FROM kw LIMIT 1); SELECT 2", true},
        {"BEGIN NOT ATOMIC SELECT end FROM ev; SELECT 2; END", false},
        {"BEGIN NOT ATOMIC DECLARE begin INT DEFAULT 1; SELECT begin; END", false},
        {"BEGIN NOT ATOMIC DECLARE end INT DEFAULT 1; IF CASE end WHEN 1 THEN end ELSE end END THEN SELECT 1; END IF; "
         "REPEAT SET end = 1; UNTIL end END REPEAT; WHILE end DO SET end = 0; END WHILE; END",
         false},
        {"IF (SELECT begin FROM kw LIMIT 1) THEN SELECT 1; END IF", false},
        {"CASE @case WHEN 1 THEN SELECT 1; ELSE SELECT 2; END CASE", false},
        {"BEGIN NOT ATOMIC DECLARE r ROW(`case` INT); SET r.case = 1; CASE r.case WHEN 1 THEN SELECT 1; END CASE; END",
         false},
        // Compound statements at the top and inside one another; a label
        // opens nothing at the top, where a block needs NOT ATOMIC.
        {"BEGIN NOT ATOMIC SELECT 1; END; SELECT 2", true},
        {"IF 1 THEN SELECT 1; END IF; SELECT 2", true},
        {"CASE WHEN 1 THEN SELECT 1; END CASE; SELECT 2", true},
        {"WHILE 0 DO SELECT 1; END WHILE; SELECT 2", true},
        {"REPEAT SELECT 1; UNTIL 1 END REPEAT; SELECT 2", true},
        {"FOR i IN 1..2 DO SELECT i; END FOR; SELECT 2", true},
        {"BEGIN NOT ATOMIC CASE 1 WHEN 1 THEN SELECT 1; END CASE; END; SELECT 2", true},
        {"BEGIN NOT ATOMIC IF 1 THEN SELECT 1; END IF; END; SELECT 2", true},
        {"BEGIN NOT ATOMIC DECLARE EXIT HANDLER FOR NOT FOUND BEGIN SELECT 1; END; SELECT 2; END; SELECT 3", true},
        {"l: BEGIN SELECT 1; END", true},
        {"BEGIN NOT; SELECT 1; END", true},
        {"IF 1 THEN SELECT 1; SELECT 2; END IF", false},
        {"IF 1 THEN SELECT 1; ELSEIF CASE WHEN 1 THEN 1 END THEN SELECT 2; ELSE SELECT 3; END IF", false},
        {"IF 0 THEN SELECT 1; ELSEIF 1 THEN BEGIN NOT ATOMIC SELECT 2; SELECT 3; END; ELSE BEGIN NOT ATOMIC SELECT 4; "
         "SELECT 5; END; END IF",
         false},
        {"CASE 1 WHEN 0 THEN SELECT 1; WHEN 1 THEN BEGIN NOT ATOMIC SELECT 2; SELECT 3; END; ELSE BEGIN NOT ATOMIC "
         "SELECT 4; SELECT 5; END; END CASE",
         false},
        {"CASE 1 WHEN 1 THEN SELECT 1; SELECT 11; ELSE SELECT 0; END CASE", false},
        {"CASE CASE WHEN 1 THEN 1 END WHEN 1 THEN SELECT 1; END CASE", false},
        {"WHILE 0 DO SELECT 1; END WHILE", false},
        {"BEGIN NOT ATOMIC DECLARE x INT DEFAULT 2; WHILE x < 2 DO BEGIN NOT ATOMIC SELECT 1; SELECT 2; END; END WHILE; "
         "END",
         false},
        {"WHILE (SELECT 1 AS do) = 0 DO BEGIN NOT ATOMIC SELECT 1; SELECT 2; END; END WHILE", false},
        {"REPEAT SELECT 1; UNTIL CASE WHEN 1 THEN 1 END END REPEAT", false},
        {"FOR i IN REVERSE 1..2 DO SELECT i; END FOR", false},
        {"BEGIN NOT ATOMIC l: BEGIN SELECT 1; END l; BEGIN NOT ATOMIC SELECT 2; END; END", false},
        {"BEGIN NOT ATOMIC l: LOOP LEAVE l; END LOOP; REPEAT SELECT 1; UNTIL 1 END REPEAT; END", false},
        {"BEGIN NOT ATOMIC DECLARE x INT DEFAULT 0; WHILE x < 2 DO SET x = x + 1; END WHILE; END", false},
        {"BEGIN NOT ATOMIC DECLARE EXIT HANDLER FOR SQLEXCEPTION, SQLSTATE VALUE '23000', 1062 BEGIN SELECT 1; "
         "SELECT 2; END; SELECT 3; END",
         false},
        // Routines, triggers and events: their statement starts after the
        // header.
        {"CREATE PROCEDURE p() BEGIN SELECT 1; END; SELECT 2", true},
        {"CREATE TRIGGER t1 BEFORE INSERT ON tr FOR EACH ROW SET NEW.id = 1; SELECT 2", true},
        {"CREATE EVENT e ON SCHEDULE EVERY 1 DAY DO BEGIN SELECT 1; END; SELECT 2", true},
        {"CREATE PROCEDURE p() BEGIN SELECT 1; IF 1 THEN SELECT 2; END IF; SELECT CASE 1 WHEN 1 THEN 3 END; END",
         false},
        {"CREATE PROCEDURE p(IN begin INT, OUT end INT) COMMENT 'c' NOT DETERMINISTIC READS SQL DATA SQL SECURITY "
         "INVOKER BEGIN SELECT begin; END",
         false},
        {"CREATE PROCEDURE p() l: BEGIN SELECT 1; END l", false},
        {"CREATE PROCEDURE p() CONTAINS SQL BEGIN SELECT 1; SELECT 2; END", false},
        {"CREATE PROCEDURE p() NO SQL BEGIN SELECT 1; SELECT 2; END", false},
        {"CREATE PROCEDURE p() LANGUAGE SQL MODIFIES SQL DATA DETERMINISTIC BEGIN SELECT 1; SELECT 2; END", false},
        {"CREATE PROCEDURE p(IN x DECIMAL(10,2)) BEGIN SELECT x; SELECT 2; END", false},
        {"CREATE PROCEDURE p() IF 1 THEN SELECT 1; END IF", false},
        {"CREATE DEFINER = 'zt'@'127.0.0.1' PROCEDURE IF NOT EXISTS p() BEGIN SELECT 1; END", false},
        {"CREATE OR REPLACE DEFINER = CURRENT_USER() PROCEDURE p() BEGIN SELECT 1; END", false},
        {"CREATE FUNCTION f() RETURNS VARCHAR(10) CHARACTER SET utf8mb4 DETERMINISTIC COMMENT 'x' BEGIN RETURN 'a'; "
         "END",
         false},
        {"CREATE FUNCTION f() RETURNS INT IF 1 THEN RETURN 1; END IF", false},
        {"CREATE FUNCTION f() RETURNS INT CASE WHEN 1 THEN RETURN 1; END CASE", false},
        {"CREATE FUNCTION f() RETURNS INT WHILE 1 DO RETURN 1; END WHILE", false},
        {"CREATE FUNCTION f() RETURNS INT REPEAT RETURN 1; UNTIL 1 END REPEAT", false},
        {"CREATE FUNCTION f() RETURNS INT FOR i IN 1..2 DO RETURN i; END FOR", false},
        {"CREATE FUNCTION f() RETURNS INT LOOP RETURN 1; END LOOP", false},
        {"CREATE FUNCTION f() RETURNS INT l: LOOP RETURN 1; END LOOP l", false},
        {"CREATE AGGREGATE FUNCTION f(x INT) RETURNS INT BEGIN DECLARE CONTINUE HANDLER FOR NOT FOUND RETURN 0; "
         "LOOP FETCH GROUP NEXT ROW; END LOOP; END",
         false},
        {"CREATE TRIGGER t1 BEFORE INSERT ON tr FOR EACH ROW FOLLOWS t0 BEGIN SET NEW.id = 1; SET NEW.id = 2; END",
         false},
        {"CREATE EVENT e ON SCHEDULE AT CURRENT_TIMESTAMP + INTERVAL 1 DAY DO BEGIN SELECT 1; SELECT 2; END", false},
        {"CREATE EVENT e ON SCHEDULE AT (SELECT CURRENT_TIMESTAMP AS do) + INTERVAL 1 DAY DO BEGIN SELECT 1; "
         "SELECT 2; END",
         false},
        {"ALTER EVENT e0 DO BEGIN SELECT 1; SELECT 2; END", false},
        {"ALTER EVENT e0 ENABLE; DO 0", true},
        // Both backslash modes, '"' quoting names, [ ] in sql_mode MSSQL.
        {"SELECT 'a\\'; DELETE FROM kw WHERE id = 2; -- '", true},
        {"SELECT 'x\\';y' AS s", true},
        {"SELECT \"a\\\"; SELECT 2; -- \"", true},
        {"SELECT 1 AS [it's]; SELECT 2; -- '", true},
        {"BEGIN NOT ATOMIC SELECT 'a\\'; END; SELECT 2; -- '; END", true},
        // A code comment is code the server runs; one with a version is a
        // comment to a server below that version.
        {"SELECT 1 /*! ; SELECT 2 */", true},
        {"SELECT 1 /*!50001 ; SELECT 2 */", true},
        {"SELECT 1 /*M!100101 ; SELECT 2*/", true},
        {"SELECT 1 /*! , 2 */; */", true},
        {"/*!999999 BEGIN NOT ATOMIC */ SELECT 1; SELECT 2; /*!999999 END */", true},
        {"/*M!999999 BEGIN NOT ATOMIC */ SELECT 1; SELECT 2; /*M!999999 END */", true},
        {"/*!50001 BEGIN NOT ATOMIC */ SELECT 1; SELECT 2; /*!50001 END */", true},
        {"/*! BEGIN NOT ATOMIC */ SELECT 1; SELECT 2; /*! END */", false},
        {"SELECT 1 /*!50001 , 2 */; /*!*/", false},
        {"SELECT 1; /*!99999 */", false},
    };
    std::vector<std::string> astrText;
    std::string strExpected;
    for (const auto& st : aCases) {
        EXPECT_EQ(bSeveralStatements(st.pszSQL), st.bSeveral) << st.pszSQL;
        astrText.push_back(st.pszSQL);
        strExpected += st.bSeveral ? '1' : '0';
    }
    const std::string strAnswers = ScriptAnswers(astrText);
    ASSERT_EQ(strAnswers.size(), strExpected.size()) << strAnswers;
    for (size_t i = 0; i < astrText.size(); ++i)
        EXPECT_EQ(strAnswers[i], strExpected[i]) << astrText[i];
}

// Texts of nCount pieces at most, each drawn from the list at random.
std::vector<std::string> RandomTexts(const std::vector<std::string>& astrPiece, int nTexts, size_t nCount,
                                     unsigned nSeed)
{
    std::mt19937 rng(nSeed);
    std::vector<std::string> astrText;
    for (int n = 0; n < nTexts; ++n) {
        std::string s;
        const size_t nLength = 1 + rng() % nCount;
        for (size_t i = 0; i < nLength; ++i)
            s += astrPiece[rng() % astrPiece.size()];
        astrText.push_back(s);
    }
    return astrText;
}

// Both readers answer the same on each text, and both answers are well
// represented: the texts test each reader.
void ExpectTheSameAnswers(const std::vector<std::string>& astrText)
{
    const std::string strAnswers = ScriptAnswers(astrText);
    ASSERT_EQ(strAnswers.size(), astrText.size()) << strAnswers;
    size_t nSeveral = 0;
    for (size_t i = 0; i < astrText.size(); ++i) {
        const bool bSeveral = bSeveralStatements(astrText[i]);
        nSeveral += bSeveral;
        EXPECT_EQ(strAnswers[i], bSeveral ? '1' : '0') << "[" << astrText[i] << "]";
    }
    EXPECT_GT(nSeveral, astrText.size() / 10);
    EXPECT_LT(nSeveral, astrText.size() * 9 / 10);
}

// Characters, keywords and pieces of compound statements; a ';' more often
// than the others.
const std::vector<std::string> kPieces = {
    ";", ";", ";", "x", " ", "\n", "\t", "'", "\"", "`", "[", "]", "\\", "''", "#", "--", "-- ", "-", "/*", "*/",
    "/*!", "/*M!", "/*!50001", "/*!999999", "/*!5000", "*", "/", "!", "1", "(", ")", ",", ".", "@", ":", "=", "$",
    "_", "\xC3\xA9", "\x7F", "\x01", "BEGIN", "begin", "END", "end", "NOT", "ATOMIC", "WORK", "XA", "CASE", "WHEN",
    "THEN", "ELSE", "ELSEIF", "IF", "LOOP", "WHILE", "REPEAT", "UNTIL", "FOR", "DO", "EACH", "ROW", "DECLARE",
    "HANDLER", "SQLSTATE", "VALUE", "CREATE", "ALTER", "OR", "REPLACE", "DEFINER", "AGGREGATE", "PROCEDURE",
    "FUNCTION", "TRIGGER", "EVENT", "RETURNS", "RETURN", "FOLLOWS", "COMMENT", "SQL", "AND", "SELECT", " l: ",
    "BEGIN NOT ATOMIC ", "IF 1 THEN ", "END IF", "CASE x WHEN 1 THEN ", "END CASE", "WHILE x DO ", "END WHILE",
    "REPEAT ", "UNTIL 1 END REPEAT", "FOR i IN 1..2 DO ", "END FOR", "l: LOOP ", "END LOOP", "CREATE PROCEDURE p() ",
    "CREATE FUNCTION f() RETURNS INT ", "CREATE TRIGGER t BEFORE INSERT ON t FOR EACH ROW ",
    "CREATE EVENT e ON SCHEDULE EVERY 1 DAY DO ", "DECLARE EXIT HANDLER FOR SQLEXCEPTION ", "SELECT 1; ",
    "CASE WHEN x THEN 1 END",
};

TEST(StatementText, TheRunCommandAnswersAsZtHostOnAnyText)
{
    ExpectTheSameAnswers(RandomTexts(kPieces, 4000, 16, 20240229));
}

TEST(StatementText, TheRunCommandAnswersAsZtHostOnLongTexts)
{
    // The run command reads a window of the text that grows while a token
    // or a comment reaches its end: long words, blanks, quoted texts and
    // comments fall across its edges.
    std::vector<std::string> astrPiece = kPieces;
    for (const size_t n : {100, 300, 700}) {
        astrPiece.push_back(std::string(n, 'x'));
        astrPiece.push_back(std::string(n, ' '));
        astrPiece.push_back(std::string(n, '\\'));
        astrPiece.push_back(std::string(n, '-'));
        astrPiece.push_back(std::string(n, '1'));
    }
    ExpectTheSameAnswers(RandomTexts(astrPiece, 300, 24, 20240301));
}

} // namespace
