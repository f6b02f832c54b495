// The reader of a query text: which texts a session runs as one statement,
// as MariaDB reads them (each case tried on a MariaDB server with
// multi-statements in the mode, version and character set of its session)
// and as MySQL's manual says it reads them; where it does not know how the
// session reads a text, the text is refused.
#include "tools/zthost/StatementText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

STSessionReading Session(const char* pszVersion, const char* pszMode = "", const char* pszCharset = "utf8mb4")
{
    STSessionReading st;
    st.strVersion = pszVersion;
    st.strSQLMode = pszMode;
    st.strClientCharset = pszCharset;
    st.strConnectionCharset = "utf8mb4";
    return st;
}

const char kMariaDB[] = "10.11.19-MariaDB-0+deb12u1";
const char kDefaultMode[] = "STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_AUTO_CREATE_USER,NO_ENGINE_SUBSTITUTION";
const STSessionReading kDefault = Session(kMariaDB, kDefaultMode);

// "one" when the session runs the text, "several" when it is refused as
// several statements, otherwise the refusal.
std::string Verdict(const std::string& strSQL, const STSessionReading& st)
{
    const std::string str = StatementTextRefusal(strSQL, st);
    if (str.empty())
        return "one";
    return str == "holds several statements as the session reads it: give each its own --sql" ? "several" : str;
}

// Statements, compound statements and keywords used as names, in the
// server's default mode: a text is several statements when the server runs
// more than one of them. A ';' in the code of a versioned comment is refused
// as well, though the server runs none of the text: it answers a syntax
// error just after the ';'.
TEST(StatementText, CompoundStatementsAndNamesInTheDefaultMode)
{
    // Refused; the server answers a syntax error and runs none of it.
    const bool kSyntaxErrorRunsNone = true;
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
        // A versioned comment at or below the server's version is code.
        {"SELECT 1 /*! ; SELECT 2 */", kSyntaxErrorRunsNone},
        {"SELECT 1 /*!50001 ; SELECT 2 */", kSyntaxErrorRunsNone},
        {"SELECT 1 /*M!100101 ; SELECT 2*/", kSyntaxErrorRunsNone},
        {"SELECT 1 /*! , 2 */; */", true},
        {"/*!999999 BEGIN NOT ATOMIC */ SELECT 1; SELECT 2; /*!999999 END */", true},
        {"/*M!999999 BEGIN NOT ATOMIC */ SELECT 1; SELECT 2; /*M!999999 END */", true},
        {"/*!50001 BEGIN NOT ATOMIC */ SELECT 1; SELECT 2; /*!50001 END */", false},
        {"/*! BEGIN NOT ATOMIC */ SELECT 1; SELECT 2; /*! END */", false},
        {"SELECT 1 /*!50001 , 2 */; /*!*/", false},
        {"SELECT 1; /*!99999 */", false},
        // Every blank ends a word and none follows a statement: \r too.
        {"BEGIN NOT ATOMIC\tSELECT 1;\vEND;\f\r", false},
        // Compound statements that do not read through, which the server
        // refuses: one statement only where no ';' is followed by more.
        {"IF 1 THEN SELECT 1; END WHILE", true},
        {"END; SELECT 2", true},
        {"BEGIN NOT ATOMIC ; SELECT 2; END; SELECT 3", true},
        {"IF 1 THEN SELECT 'a;b'", false},
        // Labels of every letter; DO after an operator is a name; of an
        // ALTER only an event's holds a statement.
        {"BEGIN NOT ATOMIC Z: BEGIN SELECT 1; SELECT 2; END Z; END", false},
        {"BEGIN NOT ATOMIC \xD0\x80: BEGIN SELECT 1; SELECT 2; END \xD0\x80; END", false},
        {"BEGIN NOT ATOMIC DECLARE do INT DEFAULT 1; WHILE 0 = do DO BEGIN NOT ATOMIC SELECT 1; SELECT 2; END; "
         "END WHILE; END",
         false},
        {"ALTER IF 1 THEN SELECT 1; SELECT 2; END IF", true},
        // A CASE left open in one header is not carried into the next.
        {"IF CASE 1 THEN SELECT 1; ELSE CASE 2 WHEN 2 THEN SELECT 2; END CASE; END IF", false},
    };
    for (const auto& st : aCases)
        EXPECT_EQ(Verdict(st.pszSQL, kDefault), st.bSeveral ? "several" : "one") << st.pszSQL;
}

struct STCase {
    STSessionReading stSession;
    const char* pszSQL;
    // "one", "several", or what the refusal names.
    std::string strVerdict;
};

void ExpectVerdicts(const std::vector<STCase>& astCase)
{
    for (const STCase& st : astCase) {
        SCOPED_TRACE(st.stSession.strVersion + " " + st.stSession.strSQLMode + " " + st.stSession.strClientCharset);
        const std::string strVerdict = Verdict(st.pszSQL, st.stSession);
        const std::string& strExpected = st.strVerdict;
        if (strExpected == "one" || strExpected == "several")
            EXPECT_EQ(strVerdict, strExpected) << st.pszSQL;
        else
            EXPECT_NE(strVerdict.find(strExpected), std::string::npos) << st.pszSQL << "\n" << strVerdict;
    }
}

// Each versioned comment is code or a comment by its own version, as the
// server's kind decides: MariaDB runs its own marks ("/*M!") and MySQL's up
// to its version, but none of MySQL's from 5.7 on; MySQL reads five digits
// and takes "/*M!" for a comment. Each text deletes every row where the
// server runs it as two statements.
TEST(StatementText, VersionedCommentsByTheirOwnVersion)
{
    const STSessionReading stMariaDB114 = Session("11.4.2-MariaDB-log");
    const STSessionReading stMariaDB55 = Session("5.5.68-MariaDB");
    const STSessionReading stMySQL80 = Session("8.0.36-0ubuntu0.22.04.1");
    const STSessionReading stMySQL56 = Session("5.6.51-log");
    const std::vector<STCase> astCase = {
        // The issue's texts: one version above the server's, one below.
        {kDefault, "SELECT 'a' /*!999999 '*/ /*!50000 '*/' */ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*!110000 '*/ /*!100000 '*/' */ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*!110000 '*/ /*!40101 '*/' */ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*M!999999 '*/ /*M!100000 '*/' */ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*!101120 '*/ /*!101119 '*/' */ ; DELETE FROM t; -- '", "several"},
        {stMariaDB114, "SELECT 'a' /*!110000 '*/ /*!100000 '*/' */ ; DELETE FROM t; -- '", "one"},
        {stMariaDB55, "SELECT 'a' /*!110000 '*/ /*!100000 '*/' */ ; DELETE FROM t; -- '", "one"},
        {stMariaDB55, "SELECT 'a' /*!110000 '*/ /*!40101 '*/' */ ; DELETE FROM t; -- '", "several"},
        // MariaDB leaves out MySQL's 5.7 and later, five digits or six,
        // but not in its own marks.
        {kDefault, "SELECT 'a' /*!50700 '*/ /*!50600 '*/' */ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*!99999 '*/ /*!50699 '*/' */ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*!050700 '*/ /*!100000 '*/' */ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*!50700 '*/ /*M!50700 '*/' */ ; DELETE FROM t; -- '", "several"},
        {stMySQL80, "SELECT 'a' /*!50700 '*/ /*!50600 '*/' */ ; DELETE FROM t; -- '", "one"},
        {stMySQL56, "SELECT 'a' /*!50700 '*/ /*!50600 '*/' */ ; DELETE FROM t; -- '", "several"},
        // To MySQL "/*M!" is a comment; a sixth digit it may read either
        // way.
        {stMySQL80, "SELECT 'a' /*M!999999 '*/ /*M!100000 '*/' */ ; DELETE FROM t; -- '", "one"},
        {stMySQL80, "SELECT 'a' /*M!10000 '*/ /*!50000 '*/' */ ; DELETE FROM t; -- '", "several"},
        {stMySQL80, "SELECT 'a' /*!999999 '*/ ; DELETE FROM t; -- '", "five digits or six"},
        {stMySQL80, "SELECT 1 /*!800001 */; SELECT 2", "five digits or six"},
        {stMySQL56, "SELECT 'a' /*!110000 '*/ /*!40101 '*/' */ ; DELETE FROM t; -- '", "five digits or six"},
        // Fewer than five digits: the marks alone are left out, the digits
        // are code (the server answers a syntax error at them and runs none
        // of the text); a seventh digit is code.
        {kDefault, "SELECT 1 /*!1234 ; SELECT 2 */", "several"},
        {kDefault, "SELECT 'a' /*!1000000 '*/ ; DELETE FROM t; -- '", "one"},
        {kDefault, "SELECT 'a' /*!9999999 '*/ ; DELETE FROM t; -- '", "several"},
        // A comment left out holds one comment inside it, a plain comment
        // none; in code, a comment is a comment, a "--" comment hides a
        // "*/", and the first "*/" ends the code.
        {kDefault, "SELECT 'a' /*!999999 /* */ '*/ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*!999999 /* '*/ ; DELETE FROM t; -- ' */", "one"},
        {kDefault, "SELECT 'a' /*!999999 /*/ '*/ ; DELETE FROM t; -- ' */", "one"},
        {kDefault, "SELECT 'a' /*!999999 /* /* */ '*/ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /* /* */ ; DELETE FROM t; -- */", "several"},
        {kDefault, "SELECT 'a' /*/ ; DELETE FROM t; -- */", "one"},
        {kDefault, "SELECT 'a' /*! /*!999999 '*/ ; DELETE FROM t; -- ' */", "several"},
        {kDefault, "SELECT 'a' /*! /* '*/ ; DELETE FROM t; -- ' */", "several"},
        {kDefault, "SELECT 'a' /*! /*! */ ; DELETE FROM t; -- */", "several"},
        {kDefault, "SELECT 'a' /*! '*/' */ ; DELETE FROM t; -- '", "several"},
        {kDefault, "SELECT 'a' /*! -- */ '\n*/ ; DELETE FROM t; -- '", "several"},
        // MySQL's reading of a comment inside a comment is left open.
        {stMySQL80, "SELECT 'a' /*!99999 /* */ '*/ ; DELETE FROM t; -- '", "comment inside a comment"},
        {stMySQL80, "SELECT 'a' /* /* */ ; DELETE FROM t; -- */", "comment inside a comment"},
        {stMySQL80, "SELECT 'a' /*! /* */ ; DELETE FROM t; -- */", "comment inside a comment"},
        // An optimizer hint holding a quote, where the server reads hints.
        {stMySQL80, "SELECT /*+ QB_NAME(`a*/ 1; DELETE FROM t; -- `) */ 2", "optimizer hint"},
        {Session("12.0.2-MariaDB"), "SELECT /*+ QB_NAME(`a*/ 1; DELETE FROM t; -- `) */ 2", "optimizer hint"},
        {Session("12.0.0-MariaDB"), "SELECT /*+ QB_NAME(`a*/ 1; DELETE FROM t; -- `) */ 2", "optimizer hint"},
        {kDefault, "SELECT /*+ QB_NAME(`a*/ 1; DELETE FROM t; -- `) */ 2", "several"},
        {stMySQL80, "SELECT /*+ BKA(t) */ 1; DELETE FROM t", "several"},
    };
    ExpectVerdicts(astCase);
}

// Quotes and comments in the session's sql_mode; a mode the reader does
// not know is refused by name, where a ';' is followed by more.
TEST(StatementText, QuotesAndCommentsInTheSessionsMode)
{
    const STSessionReading stNoBackslash = Session(kMariaDB, "NO_BACKSLASH_ESCAPES");
    const STSessionReading stAnsi = Session(kMariaDB, "REAL_AS_FLOAT,PIPES_AS_CONCAT,ANSI_QUOTES,IGNORE_SPACE,ANSI");
    const STSessionReading stMSSQL = Session(kMariaDB, "PIPES_AS_CONCAT,ANSI_QUOTES,IGNORE_SPACE,MSSQL,NO_KEY_OPTIONS,"
                                                       "NO_TABLE_OPTIONS,NO_FIELD_OPTIONS");
    const STSessionReading stOracle = Session(kMariaDB, "PIPES_AS_CONCAT,ANSI_QUOTES,IGNORE_SPACE,ORACLE,NO_KEY_OPTIONS,"
                                                        "NO_TABLE_OPTIONS,NO_FIELD_OPTIONS,NO_AUTO_CREATE_USER,"
                                                        "SIMULTANEOUS_ASSIGNMENT");
    const STSessionReading stMySQLMSSQL = Session("5.7.44-log", "PIPES_AS_CONCAT,ANSI_QUOTES,IGNORE_SPACE,MSSQL");
    const std::vector<STCase> astCase = {
        // The issue's text, and its like, in both backslash modes.
        {kDefault, "SELECT 'O\\'Brien; Jr' AS n", "one"},
        {stNoBackslash, "SELECT 'O\\'Brien; Jr' AS n", "several"},
        {kDefault, "SELECT 'a\\'; DELETE FROM t; -- '", "one"},
        {stNoBackslash, "SELECT 'a\\'; DELETE FROM t; -- '", "several"},
        {kDefault, "BEGIN NOT ATOMIC SELECT 'a\\'; END; SELECT 2; -- '; END", "one"},
        {stNoBackslash, "BEGIN NOT ATOMIC SELECT 'a\\'; END; SELECT 2; -- '; END", "several"},
        {stNoBackslash, "SELECT 'it''s; a' AS n", "one"},
        // '"' quotes a text, or a name under ANSI_QUOTES; a name takes no
        // backslash.
        {kDefault, "SELECT \"a\\\"; DELETE FROM t; -- \"", "one"},
        {stAnsi, "SELECT \"a\\\"; DELETE FROM t; -- \"", "several"},
        {stAnsi, "SELECT 1 AS \"a;\"\"b\"", "one"},
        {kDefault, "SELECT 1 AS `a\\`; DELETE FROM t; -- `", "several"},
        // [ ] quote names under MSSQL on MariaDB only.
        {stMSSQL, "SELECT 1 AS [a'], '; DELETE FROM t; -- '", "one"},
        {stMSSQL, "SELECT 1 AS [it's]; DELETE FROM t; -- '", "several"},
        {stMSSQL, "SELECT 1 AS [a]]'], '; DELETE FROM t; -- '", "one"},
        {stMSSQL, "SELECT 1 AS [a\\]; DELETE FROM t; -- ]", "several"},
        {stAnsi, "SELECT 1 AS [a'], '; DELETE FROM t; -- '", "several"},
        {stMySQLMSSQL, "SELECT 1 AS [a'], '; DELETE FROM t; -- '", "several"},
        // "--" starts a comment before a blank, a control character or the
        // end; "#" runs to the line's end.
        {kDefault, "SELECT 1 --\t; DELETE FROM t", "one"},
        {kDefault, "SELECT 1 --\x01; DELETE FROM t", "one"},
        {kDefault, "SELECT 1 --\x7F; DELETE FROM t", "one"},
        {kDefault, "SELECT 1 --", "one"},
        {kDefault, "SELECT 1 --\n; DELETE FROM t", "several"},
        {kDefault, "SELECT 1 --x; DELETE FROM t", "several"},
        {kDefault, "SELECT 1 --\xC3\xA9 '\n; DELETE FROM t; -- '", "one"},
        {kDefault, "SELECT 1 # x\r; DELETE FROM t", "one"},
        {kDefault, "SELECT 1 # x\n; DELETE FROM t", "several"},
        // Modes the reader does not read, where a ';' is followed by more.
        {stOracle, "BEGIN SELECT 1; DELETE FROM t; END", "sql_mode ORACLE"},
        {stOracle, "SELECT '\xC3\xA9';", "one"},
        {Session(kMariaDB, "STRICT_TRANS_TABLES,SOME_NEW_FLAG"), "SELECT 1; SELECT 2", "sql_mode SOME_NEW_FLAG"},
        {Session(kMariaDB, "TIME_ROUND_FRACTIONAL,HIGH_NOT_PRECEDENCE,EMPTY_STRING_IS_NULL"), "SELECT 'a;b'", "one"},
        {Session("MariaDB 10.11"), "SELECT 1; SELECT 2", "version 'MariaDB 10.11'"},
        {Session("10.11.100-MariaDB"), "SELECT 1; SELECT 2", "version '10.11.100-MariaDB'"},
        {Session("100.99.99-MariaDB"), "SELECT 1; SELECT 2", "several"},
        {Session("10.11"), "SELECT 1 /*!101100 ; SELECT 2 */", "version '10.11'"},
        {Session("10.11"), "SELECT '\xC3\xA9';;", "one"},
    };
    ExpectVerdicts(astCase);
}

// zthost sends its text in UTF-8: a text beyond ASCII is refused in any
// client character set but UTF-8's and binary, naming the set and its first
// character beyond ASCII; a text in ASCII is refused only where the client
// set reads a byte otherwise (swe7's letters, DEL that is no control
// character or no character) or the connection's set lacks its character,
// naming the first such character and what the set reads it as.
TEST(StatementText, TheClientCharacterSet)
{
    const char* const pszIssue = "SELECT '\xE4\xB8\xAD\\\\', '; DELETE FROM t; -- '";
    const std::string strNotEvery = ", which not every character set reads as UTF-8 does, and the session reads it "
                                    "in character set ";
    const std::string strSwe7 = ", and the session reads it in character set swe7, where that byte is ";
    const std::string strDel = "it holds DEL (U+007F), and the session reads it in character set ";
    const std::string strNoControl = ", where DEL is no control character, so that \"--\" before it starts no comment";
    STSessionReading stSwe7Kept = Session(kMariaDB, kDefaultMode, "utf8mb4");
    stSwe7Kept.strConnectionCharset = "swe7";
    STSessionReading stUcs2Kept = stSwe7Kept;
    stUcs2Kept.strConnectionCharset = "ucs2";
    STSessionReading stNewKept = stSwe7Kept;
    stNewKept.strConnectionCharset = "newset";
    STSessionReading stLatin1Kept = stSwe7Kept;
    stLatin1Kept.strConnectionCharset = "latin1";
    const std::vector<STCase> astCase = {
        {kDefault, pszIssue, "one"},
        {Session(kMariaDB, kDefaultMode, "utf8mb3"), pszIssue, "one"},
        {Session(kMariaDB, kDefaultMode, "utf8"), pszIssue, "one"},
        {Session(kMariaDB, kDefaultMode, "binary"), pszIssue, "one"},
        {Session(kMariaDB, kDefaultMode, "gbk"), pszIssue,
         "is not sent: it holds '\xE4\xB8\xAD' (U+4E2D), and zthost writes UTF-8 only, but the session reads it in "
         "character set gbk"},
        {Session(kMariaDB, kDefaultMode, "big5"), pszIssue,
         "writes UTF-8 only, but the session reads it in character set big5"},
        {Session(kMariaDB, kDefaultMode, "latin1"), pszIssue, "but the session reads it in character set latin1"},
        {Session(kMariaDB, kDefaultMode, "ascii"), "SELECT 1 -- \xC3\xA9",
         "but the session reads it in character set ascii"},
        {Session("8.0.36", "", "latin1"), pszIssue, "but the session reads it in character set latin1"},
        {Session("8.0.36", "", "gb18030"), pszIssue, "but the session reads it in character set gb18030"},
        {Session("8.0.36", "", "utf8mb3"), pszIssue, "one"},
        {Session("8.0.36", "", "binary"), pszIssue,
         "it holds '\xE4\xB8\xAD' (U+4E2D)" + strNotEvery + "binary: on MySQL zthost reads the UTF-8 sets only"},
        {Session(kMariaDB, kDefaultMode, "utf8mb3"), "SELECT '\xEF\xBF\xBF'", "one"},
        {kDefault, "SELECT '\xF4\x8F\xBF\xBF'", "one"},
        {Session(kMariaDB, kDefaultMode, "utf8mb3"), "SELECT '\xF0\x9F\x98\x80'",
         "it holds '\xF0\x9F\x98\x80' (U+1F600), and the session reads it in character set utf8mb3, which ends at "
         "U+FFFF"},
        // The first character beyond ASCII.
        {Session(kMariaDB, kDefaultMode, "latin1"), "SELECT 'a\xC2\xA0\xC3\xA9'",
         "it holds '\xC2\xA0' (U+00A0), and zthost writes UTF-8 only, but the session reads it in character set "
         "latin1"},
        {Session(kMariaDB, kDefaultMode, "latin1"), "SELECT '\xDF\xBF'", "'\xDF\xBF' (U+07FF)"},
        {Session(kMariaDB, kDefaultMode, "latin1"), "SELECT '\xE0\xA4\x85'", "'\xE0\xA4\x85' (U+0905)"},
        {Session(kMariaDB, kDefaultMode, "latin1"), "SELECT '\xF4\x8F\xBF\xBF'", "'\xF4\x8F\xBF\xBF' (U+10FFFF)"},
        // swe7 reads eleven ASCII bytes as other characters, or none; the
        // first of the text is named.
        {Session(kMariaDB, kDefaultMode, "swe7"), "INSERT INTO t VALUES ('x@{}|~y')",
         "is not sent: it holds '@' (U+0040)" + strSwe7 + "'\xC3\x89' (U+00C9)"},
        {Session(kMariaDB, kDefaultMode, "swe7"), "SELECT '{'", "it holds '{' (U+007B)" + strSwe7 + "'\xC3\xA4'"},
        {Session(kMariaDB, kDefaultMode, "swe7"), "SELECT 'a\\'", "it holds '\\' (U+005C)" + strSwe7 + "'\xC3\x96'"},
        {Session(kMariaDB, kDefaultMode, "swe7"), "SELECT 1 AS `a`", "it holds '`' (U+0060)" + strSwe7 + "'\xC3\xA9'"},
        {Session(kMariaDB, kDefaultMode, "swe7"), "SELECT ~1", "it holds '~' (U+007E)" + strSwe7 + "'\xC3\xBC'"},
        {Session(kMariaDB, "ANSI_QUOTES,MSSQL", "swe7"), "SELECT 1 AS [a'], '; DELETE FROM t; -- '",
         "it holds '[' (U+005B)" + strSwe7 + "'\xC3\x84' (U+00C4)"},
        {Session(kMariaDB, kDefaultMode, "swe7"), "SELECT '\x7F', '['",
         strDel + "swe7, where that byte is no character"},
        {Session(kMariaDB, kDefaultMode, "swe7"), "SELECT 1 --\x01 '\n'; DELETE FROM t; -- '", "one"},
        {Session(kMariaDB, kDefaultMode, "swe7"), "SELECT 'a;b', \"c\" # d", "one"},
        // DEL after "--" starts no comment in these.
        {Session(kMariaDB, kDefaultMode, "cp1251"), "SELECT 1 --\x7F '\n'; DELETE FROM t; -- '",
         strDel + "cp1251" + strNoControl},
        {Session(kMariaDB, kDefaultMode, "latin2"), "SELECT '[', '\x7F'", strDel + "latin2" + strNoControl},
        {Session(kMariaDB, kDefaultMode, "macroman"), "SELECT 1 --\x7F", strDel + "macroman" + strNoControl},
        {Session(kMariaDB, kDefaultMode, "macce"), "SELECT '[;', 1, '@\\\\', `{|}~`", "one"},
        {Session(kMariaDB, "MSSQL", "latin2"), "SELECT 1 AS [a'], '; DELETE FROM t; -- '", "one"},
        {Session(kMariaDB, kDefaultMode, "cp1251"), "SELECT [a'], '; DELETE FROM t; -- '", "several"},
        // The sets whose characters beyond ASCII can take a backslash read
        // ASCII as ASCII.
        {Session(kMariaDB, kDefaultMode, "gbk"), "SELECT 'a\\\\', '; DELETE FROM t; -- '", "one"},
        {Session(kMariaDB, kDefaultMode, "gbk"), "SELECT 'a\\\\'; DELETE FROM t", "several"},
        {Session(kMariaDB, kDefaultMode, "sjis"), "SELECT '\x7F[@'", "one"},
        {Session(kMariaDB, kDefaultMode, "latin1"), "SELECT 'a\x7F[', '; DELETE FROM t; -- '", "one"},
        // Sets zthost does not know.
        {Session(kMariaDB, kDefaultMode, "newset"), "SELECT '@'",
         "it holds '@' (U+0040)" + strNotEvery + "newset, which zthost does not know"},
        {Session(kMariaDB, kDefaultMode, "newset"), "SELECT 'a;b'", "one"},
        {Session("8.0.36", "", "latin1"), "SELECT '['", "'[' (U+005B)" + strNotEvery + "latin1: on MySQL"},
        {Session("8.0.36", "", "utf8mb4"), "SELECT '[@\x7F'", "one"},
        // The connection's set: swe7 keeps "?" for the characters it lacks.
        {stSwe7Kept, "SELECT 'a;b'", "one"},
        {stSwe7Kept, "SELECT 'x|y'",
         "it holds '|' (U+007C), and the session keeps its texts in character set swe7 (character_set_connection), "
         "which lacks it"},
        {stSwe7Kept, "SELECT '\x7F'", "DEL (U+007F), and the session keeps its texts in character set swe7"},
        {stUcs2Kept, "SELECT '[@\x7F'", "one"},
        {stLatin1Kept, "SELECT '[@\x7F'", "one"},
        {stLatin1Kept, "SELECT '\xC3\xA9'",
         "it holds '\xC3\xA9' (U+00E9), and zthost writes UTF-8 only, but the session keeps its texts in character "
         "set latin1 (character_set_connection)"},
        {stNewKept, "SELECT '@'",
         "it holds '@' (U+0040), which not every character set holds, and the session keeps its texts in character "
         "set newset (character_set_connection), which zthost does not know"},
    };
    ExpectVerdicts(astCase);
}

// A text that is not well-formed UTF-8 is refused in any session, even one
// whose reading is unknown, by its first byte that starts no character:
// alone, cut short, an overlong form, a surrogate, a code past U+10FFFF (the
// server's test tries the others in the sessions a server gives).
TEST(StatementText, ATextNotInUtf8IsRefusedInAnySession)
{
    const STSessionReading astSession[] = {kDefault, Session(kMariaDB, "ORACLE", "gbk"),
                                           Session("8.0.36", "", "binary"), Session("unknown")};
    // The bytes, and the offset of the first ill-formed one.
    const std::pair<const char*, size_t> aCases[] = {
        {"\x80", 0},         {"\xBF", 0},         {"\xC1\xA9", 0},         {"\xF5\x80\x80\x80", 0},
        {"\xE2\x82x", 0},    {"\xF0\x9F\x98", 0}, {"\xC3\xA9\xE0\x9F\xBF", 2}, {"\xF0\x8F\xBF\xBF", 0},
        {"\xED\xBF\xBF", 0}, {"\xF4\x90\x80\x80", 0},
    };
    for (const STSessionReading& stSession : astSession) {
        for (const auto& st : aCases) {
            const std::string strSQL = std::string("SELECT '") + st.first + "'; DELETE FROM t";
            char szByte[8];
            std::snprintf(szByte, sizeof(szByte), "\\x%02X", static_cast<unsigned char>(st.first[st.second]));
            EXPECT_EQ(StatementTextRefusal(strSQL, stSession),
                      "is not sent: its byte " + std::to_string(9 + st.second) + ", " + szByte +
                          ", starts no well-formed UTF-8 character: zthost writes UTF-8 only")
                << stSession.strVersion << " " << stSession.strClientCharset << ": " << strSQL;
        }
    }
}

// What any session runs as one statement, read the same: sent without
// asking the session.
TEST(StatementText, OneStatementInAnySession)
{
    const struct {
        const char* pszSQL;
        bool bAny;
    } aCases[] = {
        {"SELECT ROW_COUNT()", true},
        {"SELECT 1;", true},
        {"SELECT 'a;b'", false},
        {"SELECT 1; ;\t\n\v\f\r;", true},
        {"SELECT 1; x", false},
        {"SELECT 1;\x01", false},
        {"SELECT '\xC3\xA9'", false},
        {"SELECT '\x7F'", false},
        {"SELECT '\x80'", false},
        {"SELECT 1 AS [a]", false},
        {"SELECT @a", false},
        {"SELECT 'a\\\\'", false},
        {"SELECT 1 AS `a`", false},
        {"SELECT ~1", false},
        {"SELECT '!\"#$%&()*+,-./:<=>?_'", true},
    };
    for (const auto& st : aCases)
        EXPECT_EQ(bOneStatementInAnySession(st.pszSQL), st.bAny) << st.pszSQL;
}

} // namespace
