// The command-line host on the private server: both roads print every type
// in one form (the browse what the table object holds), text and bytes in
// a form that cannot be misread, the rows of a browse in the server's order
// on a key both ways; one statement per --sql, read as its session reads it
// then; the browse on a session of its own; failures exit with the driver's
// report; and each mistake in the arguments is named before anything runs,
// by the run command as well.
#include "tests/support/ClientLibrary.h"
#include "tests/support/Paths.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ServerDriver.h"
#include "tools/zthost/StatementText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The text with each "%s" replaced by the column's name.
std::string Form(std::string str, const std::string& strColumn)
{
    for (size_t n = str.find("%s"); n != std::string::npos; n = str.find("%s", n + strColumn.size()))
        str.replace(n, 2, strColumn);
    return str;
}

// The server's own text of what the host prints for a text: backslash,
// tab, line feed, carriage return and NUL escaped.
const char kEscaped[] =
    R"(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(%s, '\\', '\\\\'), '\t', '\\t'), '\n', '\\n'), '\r', '\\r'), '\0', '\\0'))";
const char kBytes[] = R"(CONCAT('\\x', HEX(%s)))";
// A real prints with the sign of its exponent, which the server leaves out;
// the values below are those whose digits the server and the shortest form
// share.
const char kReal[] = R"(REPLACE(REPLACE(CAST(%s AS CHAR), 'e', 'e+'), 'e+-', 'e-'))";

class ZtHost : public ServerTest {
protected:
    ZtHost() : ServerTest("zthost") {}

    // Runs the host, ended after nSeconds when given.
    STProgramRun Run(const std::vector<std::string>& astrArgs, int nSeconds = 0)
    {
        std::vector<std::string> astr = {"env", "ZT_TEST_DATABASE=" + m_strDatabase, BuildPath("zthost")};
        if (nSeconds > 0)
            astr.insert(astr.begin(), {"timeout", std::to_string(nSeconds)});
        astr.insert(astr.end(), astrArgs.begin(), astrArgs.end());
        return RunProgram(astr);
    }
    // The header, then the server's answer to the SELECT of one text, a line
    // each.
    std::string Lines(const std::string& strHeader, const std::string& strSQL)
    {
        std::string str = strHeader + "\n";
        for (const std::string& s : List(strSQL))
            str += s + "\n";
        return str;
    }
    // Runs the host and expects success and its output alone.
    void ExpectPrints(const std::vector<std::string>& astrArgs, const std::string& strExpected)
    {
        ExpectPrinted(Run(astrArgs), strExpected);
    }
    static void ExpectPrinted(const STProgramRun& st, const std::string& strExpected)
    {
        EXPECT_EQ(st.nExit, 0) << st.strErr;
        EXPECT_EQ(st.strOut, strExpected);
        EXPECT_EQ(st.strErr, "");
    }
};

// Each type the host meets: a value, another, and the server's text of
// what each road prints (%s the column). The browse prints what the query
// prints, but where the table object holds less than the server.
struct STType {
    const char* pszType;
    const char* pszValue;
    const char* pszOther;
    const char* pszQueryForm;
    const char* pszBrowseForm;
};
const STType kTypes[] = {
    {"ENUM('red','green')", "'green'", "'red'", "%s", nullptr},
    {"SET('a','b')", "'a,b'", "''", "%s", nullptr},
    {"TEXT", "'a note'", "''", "%s", nullptr},
    {"JSON", R"('{"a": [1, 2]}')", "'[]'", "%s", nullptr},
    {"BLOB", "X'00FF41'", "X''", kBytes, nullptr},
    // The server reads IFNULL's text as one of these types: the column's
    // text is asked.
    {"UUID", "'123e4567-e89b-12d3-a456-426614174000'", "'00000000-0000-0000-0000-000000000000'", "CAST(%s AS CHAR)",
     nullptr},
    {"INET6", "'2001:db8::1'", "'::ffff:1.2.3.4'", "CAST(%s AS CHAR)", nullptr},
    {"TIMESTAMP", "'2024-02-29 23:59:58'", "'1970-01-02 00:00:00'", "%s", nullptr},
    {"DATETIME", "'1000-01-01 00:00:00'", "'9999-12-31 23:59:59'", "%s", nullptr},
    {"DATETIME(3)", "'2024-02-29 13:14:15.5'", "'2024-02-29 13:14:15'", "%s", nullptr},
    // Milliseconds, a time's whole seconds, a year's first of January, a
    // long decimal's real.
    {"DATETIME(6)", "'2024-02-29 13:14:15.123456'", "'1999-07-08 09:10:11'", "%s", "LEFT(%s, 23)"},
    {"TIME(3)", "'13:14:15.250'", "'00:00:00'", "%s", "LEFT(%s, 8)"},
    {"YEAR", "2024", "1901", "%s", "CONCAT(%s, '-01-01')"},
    {"DECIMAL(50,5)", "12345678901234567890123456789012345678901234.56789", "-0.5", "%s",
     R"(REPLACE(REPLACE(CAST(CAST(%s AS DOUBLE) AS CHAR), 'e', 'e+'), 'e+-', 'e-'))"},
    {"DATE", "'2024-02-29'", "'1000-01-01'", "%s", nullptr},
    {"TIME", "'13:14:15'", "'23:59:59'", "%s", nullptr},
    {"DOUBLE", "1.5e300", "-2.5e-300", kReal, nullptr},
    {"FLOAT", "3.4e38", "0.1", kReal, nullptr},
    // A FLOAT reaches both roads as the server's text, to 6 digits.
    {"FLOAT", "123456792", "-16777217", kReal, nullptr},
    {"DECIMAL(10,2)", "12.5", "-3", "%s", nullptr},
    {"DECIMAL(38,10)", "-12.3456789", "0", "%s", nullptr},
    {"DECIMAL(20,0)", "-12345678901234567890", "0", "%s", nullptr},
    {"INT", "-2147483648", "0", "%s", nullptr},
    {"INT UNSIGNED", "4294967295", "1", "%s", nullptr},
    {"BIGINT", "-9223372036854775808", "9223372036854775807", "%s", nullptr},
    {"TINYINT(1)", "1", "0", "%s", nullptr},
    {"CHAR(3)", "'ab'", "''", "%s", nullptr},
    {"VARCHAR(20)", "'\xC3\xA9t\xC3\xA9 \xE2\x82\xAC'", "' x '", "%s", nullptr},
    {"BINARY(3)", "X'6162'", "X'000000'", kBytes, nullptr},
    {"VARBINARY(8)", "X'00FF'", "X''", kBytes, nullptr},
    // A spatial value is the server's bytes; 1.0 holds no UTF-8 text.
    {"POINT", "POINT(1, 2)", "POINT(3, 4)", kBytes, nullptr},
    {"GEOMETRY", "ST_GeomFromText('GEOMETRYCOLLECTION(POINT(1 2), LINESTRING(0 0, 1 1))')",
     "ST_GeomFromText('POLYGON((0 0, 4 0, 4 4, 0 0))')", kBytes, nullptr},
    {"BIT(12)", "b'100000000001'", "b'0'", "%s+0", nullptr},
    {"BIT(64)", "b'1000000000000000000000000000000000000000000000000000000000000001'", "b'1'", "%s+0", nullptr},
};

TEST_F(ZtHost, EveryTypePrintsInOneFormOnBothRoads)
{
    std::string strCreate = "CREATE TABLE v (id INT PRIMARY KEY";
    std::string strValues = "(1", strOthers = "(2", strNulls = "(3";
    std::string strHeader = "id";
    std::string strQuery = "SELECT CONCAT_WS('\\t', id";
    std::string strBrowse = strQuery;
    for (size_t i = 0; i < sizeof(kTypes) / sizeof(kTypes[0]); ++i) {
        const STType& st = kTypes[i];
        const std::string strColumn = "c" + std::to_string(i);
        strCreate += ", " + strColumn + " " + st.pszType + " NULL";
        strValues += std::string(", ") + st.pszValue;
        strOthers += std::string(", ") + st.pszOther;
        strNulls += ", NULL";
        strHeader += "\t" + strColumn;
        strQuery += ", IFNULL(" + Form(st.pszQueryForm, strColumn) + ", '\\\\N')";
        strBrowse +=
            ", IFNULL(" + Form(st.pszBrowseForm != nullptr ? st.pszBrowseForm : st.pszQueryForm, strColumn) + ", '\\\\N')";
    }
    ASSERT_TRUE(Admin(strCreate + ")"));
    ASSERT_TRUE(Admin("INSERT INTO v VALUES " + strValues + "), " + strOthers + "), " + strNulls + ")"));
    ExpectPrints({"--sql", "SELECT * FROM v ORDER BY id"}, Lines(strHeader, strQuery + ") FROM v ORDER BY id"));
    ExpectPrints({"--browse", "v"}, Lines(strHeader, strBrowse + ") FROM v ORDER BY id"));
}

TEST_F(ZtHost, TextAndBytesCannotBeMisread)
{
    ASSERT_TRUE(Admin("CREATE TABLE e (id INT PRIMARY KEY, t TEXT, c VARCHAR(40), b VARBINARY(8), m BLOB)"));
    ASSERT_TRUE(Admin(R"(INSERT INTO e VALUES (1, 'tab\there', 'CR\rLF\nCRLF\r\n', X'00FF41', X'00'),
                          (2, 'two characters \\n', 'back\\slash\\', X'', X''),
                          (3, 'NULL', '\\N', NULL, NULL),
                          (4, 'nul\0inside', '', X'0000', X'FF00'),
                          (5, 'é€😀', '\\x41', X'5C78', NULL),
                          (6, CHAR(0xC280, 0xE0A080, 0xF0908080 USING utf8mb4), CHAR(0x7F, 0xDFBF, 0xEFBFBF USING utf8mb4), NULL,
                           NULL))"));
    const std::string strExpected =
        Lines("id\tt\tc\tb\tm", "SELECT CONCAT_WS('\\t', id, IFNULL(" + Form(kEscaped, "t") + ", '\\\\N'), IFNULL(" +
                                    Form(kEscaped, "c") + ", '\\\\N'), IFNULL(" + Form(kBytes, "b") +
                                    ", '\\\\N'), IFNULL(" + Form(kBytes, "m") + ", '\\\\N')) FROM e ORDER BY id");
    ExpectPrints({"--sql", "SELECT * FROM e ORDER BY id"}, strExpected);
    ExpectPrints({"--browse", "e"}, strExpected);
    // Names are texts too, and a bit string is bytes.
    const std::string strNames = R"(SELECT b'0' AS 'tab\tname', b'101' AS `back\slash`, X'00FF41' AS h)";
    ExpectPrints({"--sql", strNames},
                 Lines(First(R"(SELECT CONCAT_WS('\t', )" + Form(kEscaped, R"('tab\tname')") + ", " +
                             Form(kEscaped, R"('back\\slash')") + ", 'h')"),
                       R"(SELECT CONCAT_WS('\t', )" + Form(kBytes, "b'0'") + ", " + Form(kBytes, "b'101'") + ", " +
                           Form(kBytes, "X'00FF41'") + ")"));
    // After SET NAMES a text prints in UTF-8 as the server converts it
    // from the set it names for the column, a memo's too; as bytes where a
    // byte has no character in it, or in a set zthost does not convert.
    const struct {
        const char* pszNames;
        const char* pszHex;
        bool bBytes;
    } aNames[] = {
        {"latin1", "80819FE9", false}, {"latin1 COLLATE latin1_nopad_bin", "80E9", false},
        {"cp1250", "8AB3E9", false},   {"koi8r", "E6F6C1", false},
        {"ascii", "", false},          {"latin5", "D0FD", false},
        {"latin7", "D0E6", false},     {"cp850", "8082", false},
        {"utf8mb3", "C3A9", false},    {"utf8mb3 COLLATE utf8mb3_bin", "C3A9", false},
        {"utf8mb3 COLLATE utf8mb3_unicode_ci", "C3A9", false},
        {"utf8mb4 COLLATE utf8mb4_bin", "F09F9880", false},
        {"cp1250", "81", true},        {"ascii", "80", true},
        {"greek", "E1", true},
    };
    for (const auto& st : aNames) {
        SCOPED_TRACE(st.pszNames);
        auto Text = [&](const std::string& strHex, const char* pszChar) {
            return "CAST(X'" + strHex + "' AS " + pszChar + " CHARACTER SET " + st.pszNames + ")";
        };
        const std::string strText = First("SELECT " + Form(st.bBytes ? kBytes : "CONVERT(%s USING utf8mb4)",
                                                            Text("616263" + std::string(st.pszHex), "CHAR")));
        ExpectPrints({"--sql", std::string("SET NAMES ") + st.pszNames, "--sql",
                      "SELECT CONCAT('abc', " + Text(st.pszHex, "CHAR") + ") AS t, CONCAT('abc', " +
                          Text(st.pszHex, "CHAR(70000)") + ") AS m, X'FF41' AS b"},
                     "ok\nt\tm\tb\n" + strText + "\t" + strText + "\t\\xFF41\n");
    }
}

TEST_F(ZtHost, ATextTheSessionWouldRunAsSeveralStatementsIsRefusedAndTheRunEnds)
{
    // Each text deletes a row of its own where the session would run it as
    // two statements; an earlier --sql sets the session's mode or character
    // set. Nothing of it runs, nor the later --sql and --browse.
    ASSERT_TRUE(Admin("CREATE TABLE kw (id INT PRIMARY KEY, `begin` INT, `end` INT, `case` INT)"));
    ASSERT_TRUE(Admin("INSERT INTO kw SELECT seq, seq, seq, seq FROM seq_1_to_30"));
    // The server's own version, and the one after it, as a versioned
    // comment writes them.
    const std::string strVersion = First("SELECT VERSION()");
    const size_t nMinor = strVersion.find('.') + 1;
    const size_t nPatch = strVersion.find('.', nMinor) + 1;
    const unsigned long nVersion = std::stoul(strVersion) * 10000 + std::stoul(strVersion.substr(nMinor)) * 100 +
                                   std::stoul(strVersion.substr(nPatch));
    const std::string strSeveral = "holds several statements as the session reads it: give each its own --sql\n";
    auto Cannot = [](const std::string& strSet, const std::string& strChar, const std::string& strCode) {
        return "is not sent: it holds '" + strChar + "' (" + strCode +
               "), and zthost writes UTF-8 only, but the session reads it in character set " + strSet + "\n";
    };
    const struct {
        std::string strSet;
        std::string strSQL;
        std::string strRefusal;
    } aCases[] = {
        {"", "SELECT begin FROM kw; DELETE FROM kw WHERE id = 1", strSeveral},
        {"", "SELECT kw.case FROM kw; DELETE FROM kw WHERE id = 2", strSeveral},
        {"", "SELECT CASE 1 WHEN 1 THEN 1 END FOR UPDATE; DELETE FROM kw WHERE id = 3", strSeveral},
        {"", "CREATE PROCEDURE p() SELECT begin FROM kw; DELETE FROM kw WHERE id = 4", strSeveral},
        {"", "BEGIN NOT ATOMIC IF 1 THEN SELECT 1; END IF; END; DELETE FROM kw WHERE id = 5", strSeveral},
        {"", "CREATE TABLE made (a INT CHECK (CASE a WHEN 1 THEN 1 END)); DELETE FROM kw WHERE id = 6", strSeveral},
        {"", "/*!999999 BEGIN NOT ATOMIC */ SELECT 1; DELETE FROM kw WHERE id = 7; /*!999999 END */", strSeveral},
        {"SET sql_mode = 'NO_BACKSLASH_ESCAPES'", "SELECT 'a\\'; DELETE FROM kw WHERE id = 8; -- '", strSeveral},
        {"SET sql_mode = 'NO_BACKSLASH_ESCAPES'", "BEGIN NOT ATOMIC SELECT 'a\\'; END; DELETE FROM kw WHERE id = 9; -- '; END",
         strSeveral},
        {"SET sql_mode = 'ANSI_QUOTES'", "SELECT 1 AS \"a\\\"; DELETE FROM kw WHERE id = 10; -- \"", strSeveral},
        {"SET sql_mode = 'MSSQL'", "SELECT 1 AS [it's]; DELETE FROM kw WHERE id = 11; -- '", strSeveral},
        {"", "BEGIN; DELETE FROM kw WHERE id = 12", strSeveral},
        // Versioned comments of two versions: the server runs the one at or
        // below its version, and of MySQL's none from 5.7 on but in its
        // own marks.
        {"", "SELECT 'a' /*!999999 '*/ /*!50000 '*/' */ ; DELETE FROM kw WHERE id = 13; -- '", strSeveral},
        {"", "SELECT 'a' /*!110000 '*/ /*!100000 '*/' */ ; DELETE FROM kw WHERE id = 14; -- '", strSeveral},
        {"", "SELECT 'a' /*!110000 '*/ /*!40101 '*/' */ ; DELETE FROM kw WHERE id = 15; -- '", strSeveral},
        {"", "SELECT 'a' /*M!999999 '*/ /*M!100000 '*/' */ ; DELETE FROM kw WHERE id = 16; -- '", strSeveral},
        {"", "SELECT 'a' /*!50700 '*/ /*!50600 '*/' */ ; DELETE FROM kw WHERE id = 17; -- '", strSeveral},
        {"", "SELECT 'a' /*!50700 '*/ /*M!50700 '*/' */ ; DELETE FROM kw WHERE id = 18; -- '", strSeveral},
        {"",
         "SELECT 'a' /*!" + std::to_string(nVersion + 1) + " '*/ /*!" + std::to_string(nVersion) +
             " '*/' */ ; DELETE FROM kw WHERE id = 19; -- '",
         strSeveral},
        {"", "SELECT 'a' /*!999999 /* */ '*/ ; DELETE FROM kw WHERE id = 20; -- '", strSeveral},
        // Beyond ASCII in a character set zthost cannot write, one whose
        // characters can take a backslash or in which a blank follows "--".
        {"SET NAMES gbk", "SELECT '\xE4\xB8\xAD\\\\', '; DELETE FROM kw WHERE id = 21; -- '",
         Cannot("gbk", "\xE4\xB8\xAD", "U+4E2D")},
        {"SET NAMES big5", "SELECT '\xE4\xB8\xAD\\\\', '; DELETE FROM kw WHERE id = 22; -- '",
         Cannot("big5", "\xE4\xB8\xAD", "U+4E2D")},
        {"SET NAMES sjis", "SELECT '\xE4\xB8\xAD\\\\', '; DELETE FROM kw WHERE id = 23; -- '",
         Cannot("sjis", "\xE4\xB8\xAD", "U+4E2D")},
        {"SET NAMES cp932", "SELECT '\xE4\xB8\xAD\\\\', '; DELETE FROM kw WHERE id = 24; -- '",
         Cannot("cp932", "\xE4\xB8\xAD", "U+4E2D")},
        {"SET character_set_client = macroman", "SELECT 1 --\xE5\xA4\xA9 '\n; DELETE FROM kw WHERE id = 25; -- '",
         Cannot("macroman", "\xE5\xA4\xA9", "U+5929")},
        // A mode whose blocks the reader does not read.
        {"SET sql_mode = 'ORACLE'", "BEGIN SELECT 1; DELETE FROM kw WHERE id = 26; END",
         "is not sent: the session's sql_mode ORACLE is one zthost does not read\n"},
    };
    for (const auto& st : aCases) {
        SCOPED_TRACE(st.strSQL);
        std::vector<std::string> astrArgs;
        if (!st.strSet.empty())
            astrArgs = {"--sql", st.strSet};
        astrArgs.insert(astrArgs.end(), {"--sql", st.strSQL, "--sql", "DELETE FROM kw WHERE id = 30", "--browse", "kw"});
        const STProgramRun stRun = Run(astrArgs);
        EXPECT_EQ(stRun.nExit, 1);
        EXPECT_EQ(stRun.strOut, st.strSet.empty() ? "" : "ok\n");
        EXPECT_EQ(stRun.strErr, "zthost: --sql '" + st.strSQL + "' " + st.strRefusal +
                                    "zthost: the run ends at the failed --sql: 1 later --sql and --browse did not run\n");
        const int nId = std::stoi(st.strSQL.substr(st.strSQL.find("id = ") + 5));
        EXPECT_EQ(First("SELECT COUNT(*) FROM kw WHERE id = " + std::to_string(nId)), "1");
    }
    EXPECT_EQ(First("SELECT COUNT(*) FROM kw"), "30");
    EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"), "1");
    EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA = DATABASE()"), "0");
}

TEST_F(ZtHost, WhatTheServerRunsAsOneStatementRuns)
{
    // The issue's text prints its first result; each of the others adds
    // its own rows to ran, in every statement it holds.
    ASSERT_TRUE(Admin("CREATE TABLE ev (id INT PRIMARY KEY, `end` INT)"));
    ASSERT_TRUE(Admin("INSERT INTO ev VALUES (1, 10), (2, NULL)"));
    ASSERT_TRUE(Admin("CREATE TABLE ran (id INT)"));
    ExpectPrints({"--sql", "BEGIN NOT ATOMIC SELECT end FROM ev ORDER BY id; SELECT 2; END"},
                 Lines("end", "SELECT IFNULL(`end`, '\\\\N') FROM ev ORDER BY id"));
    const char* const apszSQL[] = {
        "BEGIN NOT ATOMIC DECLARE x INT DEFAULT (SELECT end FROM ev WHERE id = 1); INSERT INTO ran VALUES (x - 9); END",
        "IF (SELECT begin FROM (SELECT 1 AS begin) t) THEN INSERT INTO ran VALUES (2); INSERT INTO ran VALUES (3); "
        "END IF",
        "CASE CASE WHEN 1 THEN 1 END WHEN 1 THEN INSERT INTO ran VALUES (4); ELSE INSERT INTO ran VALUES (0); END CASE",
        "WHILE (SELECT COUNT(*) FROM ran WHERE id = 5) = 0 DO INSERT INTO ran VALUES (5); END WHILE",
        "REPEAT INSERT INTO ran VALUES (6); UNTIL CASE WHEN 1 THEN 1 END END REPEAT",
        "FOR i IN 7..8 DO INSERT INTO ran VALUES (i); END FOR",
        "BEGIN NOT ATOMIC DECLARE end INT DEFAULT 9; DECLARE CONTINUE HANDLER FOR NOT FOUND BEGIN END; "
        "l: BEGIN INSERT INTO ran VALUES (end); END l; END",
        "CREATE PROCEDURE p(IN begin INT) COMMENT 'two rows' BEGIN INSERT INTO ran VALUES (begin); "
        "INSERT INTO ran VALUES (begin + 1); END",
        "CALL p(10)",
        "CREATE FUNCTION f() RETURNS INT DETERMINISTIC BEGIN DECLARE end INT DEFAULT 12; RETURN end; END",
        "INSERT INTO ran VALUES (f())",
        "/*! BEGIN NOT ATOMIC */ INSERT INTO ran VALUES (13); INSERT INTO ran VALUES (14); /*! END */",
        "SET sql_mode = 'NO_BACKSLASH_ESCAPES'",
        "INSERT INTO ran SELECT 15 FROM ev WHERE 'a\\' <> 'b' AND id = 1;",
    };
    std::vector<std::string> astrArgs;
    std::string strExpected;
    for (const char* psz : apszSQL) {
        astrArgs.insert(astrArgs.end(), {"--sql", psz});
        strExpected += "ok\n";
    }
    ExpectPrints(astrArgs, strExpected);
    // Texts the session reads as one statement, whatever another mode or
    // version would make of them; a text asked about in a mode and
    // character set the reader reads; ROW_COUNT() after a text that any
    // session reads the same, which runs without asking.
    const struct {
        std::vector<std::string> astrArgs;
        const char* pszOut;
    } aPrinted[] = {
        {{"--sql", "SELECT 'O\\'Brien; Jr' AS n"}, "n\nO'Brien; Jr\n"},
        {{"--sql", "SET sql_select_limit = 0", "--sql", "SELECT 'O\\'Brien; Jr' AS n"}, "ok\nn\n"},
        {{"--sql", "SELECT 'a' /*!999999 /* '*/ ; DELETE FROM ran; -- ' */ AS a"}, "a\na\n"},
        {{"--sql", "SELECT 'a' /*!50700 '*/ /*!50600 '*/' */ AS b"}, "b\na*/\n"},
        {{"--sql", "SET sql_mode = 'MSSQL'", "--sql", "SELECT 1 AS [a'], '; DELETE FROM ran; -- ' AS b"},
         "ok\na'\tb\n1\t; DELETE FROM ran; -- \n"},
        {{"--sql", "SET sql_mode = 'NO_BACKSLASH_ESCAPES'", "--sql", "SELECT 'a\\' AS b, '; DELETE FROM ran; -- ' AS c"},
         "ok\nb\tc\na\\\\\t; DELETE FROM ran; -- \n"},
        {{"--sql", "SET NAMES latin1", "--sql", "SELECT 'a;b' AS e"}, "ok\ne\na;b\n"},
        {{"--sql", "SET NAMES binary", "--sql", "SELECT 'a;' AS e"}, "ok\ne\n\\x613B\n"},
        {{"--sql", "SET character_set_client = binary", "--sql", "SELECT '\xC3\xA9;' AS e"},
         "ok\ne\n\xC3\xA9;\n"},
        {{"--sql", "INSERT INTO ran VALUES (16), (17)", "--sql", "SELECT ROW_COUNT() AS r"}, "ok\nr\n2\n"},
    };
    for (const auto& st : aPrinted) {
        SCOPED_TRACE(st.astrArgs.back());
        ExpectPrints(st.astrArgs, st.pszOut);
    }
    EXPECT_EQ(First("SELECT GROUP_CONCAT(id ORDER BY id) FROM ran"), "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17");
}

// How the server reads each ASCII byte in a client character set, asked on
// a connection of the test's own: the character the set takes it for, and
// whether each probe, the byte set in it, runs as in UTF-8 (the same rows,
// or the same error). The probes put the byte where a blank, a letter, a
// digit, a control character after "--", a quote, an escape or a comment's
// mark would make the server read another statement.
class ZtHostCharsets : public ZtHost {
protected:
    struct STByte {
        // In UTF-8; "?" for none.
        std::string strAs;
        bool bAsUtf8 = false;
    };

    void SetUp() override
    {
        ZtHost::SetUp();
        std::string strError;
        ASSERT_TRUE(m_clProbe.bConnect(m_server, true, strError)) << strError;
        m_astOutcomeUtf8 = Outcomes("utf8mb4");
        ASSERT_EQ(m_astOutcomeUtf8.size(), 127 * std::size(kProbes));
    }

    // Byte b at [b - 1]; empty where the server takes no such client set.
    std::vector<STByte> Readings(const std::string& strCharset)
    {
        const std::vector<std::string> astOutcome = Outcomes(strCharset);
        std::vector<STByte> ast;
        for (size_t n = 0; n < astOutcome.size(); n += std::size(kProbes)) {
            const std::string strByte(1, static_cast<char>(n / std::size(kProbes) + 1));
            STByte st;
            st.strAs = First("SELECT CONVERT(_" + strCharset + " X'" + HexaOf(strByte) + "' USING utf8mb4)");
            st.bAsUtf8 = st.strAs == strByte && std::equal(astOutcome.begin() + n,
                                                          astOutcome.begin() + n + std::size(kProbes),
                                                          m_astOutcomeUtf8.begin() + n);
            ast.push_back(st);
        }
        return ast;
    }

    // Whether the set, as the connection's, keeps the ASCII character b.
    bool bKeeps(const std::string& strCharset, unsigned b)
    {
        const std::string strHexa = HexaOf(std::string(1, static_cast<char>(b)));
        return First("SELECT HEX(CONVERT(CONVERT(_utf8mb4 X'" + strHexa + "' USING " + strCharset +
                     ") USING utf8mb4))") == strHexa;
    }

    CClientLibrary m_clProbe;

private:
    static constexpr const char* kProbes[] = {
        "SELECT 1 --%s2", "SELECT%s1", "SELECT a%sb", "SELECT '%s'", "SELECT `%s`", "SELECT 1%s2", "SELECT 0x%s",
        "SELECT x'%s'", "SELECT @a%sb", "SELECT 1 AS a%s", "SELECT 1 /%s 2", "SELECT %s1", "SELECT \"%s\"",
        "SELECT 'a' '%s'", "SELECT _latin1%s'a'", "SELECT 1 #%s\n+1",
    };

    // An error as the server words it, a byte it does not print written
    // back as itself: "\x01" in a session reading bytes, "\0001" in one
    // reading UTF-8.
    static std::string Unescaped(std::string s)
    {
        for (size_t n = s.find('\\'); n != std::string::npos; n = s.find('\\', n + 1)) {
            const size_t nDigits = s.compare(n + 1, 1, "x") == 0 ? 2 : s.compare(n + 1, 2, "00") == 0 ? 4 : 0;
            const std::string strDigits = s.substr(n + 1 + (nDigits == 2), nDigits);
            if (nDigits > 0 && strDigits.size() == nDigits &&
                strDigits.find_first_not_of("0123456789ABCDEF") == std::string::npos)
                s.replace(n, nDigits + 1 + (nDigits == 2), 1, static_cast<char>(std::stoi(strDigits, nullptr, 16)));
        }
        return s;
    }

    // Each probe with each byte from 0x01 to 0x7F, in the set, its texts
    // kept in utf8mb4; empty where the server takes no such client set.
    std::vector<std::string> Outcomes(const std::string& strCharset)
    {
        std::vector<std::string> astOutcome;
        std::string strError;
        if (!m_clProbe.bExecute("SET character_set_client = " + strCharset +
                                    ", character_set_connection = utf8mb4, character_set_results = utf8mb4",
                                strError))
            return astOutcome;
        for (unsigned b = 1; b < 0x80; ++b) {
            for (const char* pszProbe : kProbes) {
                std::string strProbe = pszProbe;
                strProbe.replace(strProbe.find("%s"), 2, 1, static_cast<char>(b));
                std::vector<std::string> astRow;
                std::string strOutcome = "rows";
                if (m_clProbe.bList(strProbe, astRow, strError)) {
                    for (const std::string& s : astRow)
                        strOutcome += "\t" + s;
                } else {
                    strOutcome = Unescaped(strError);
                }
                astOutcome.push_back(strOutcome);
            }
        }
        return astOutcome;
    }

    std::vector<std::string> m_astOutcomeUtf8;
};

// zthost's reading of every client character set and every connection's
// set against the server's, byte by byte: a text holding an ASCII byte is
// refused where the set reads it otherwise than UTF-8 does, naming what the
// set takes it for, or where the connection's set lacks its character; it
// goes without asking only where every set reads it so and keeps it.
TEST_F(ZtHostCharsets, EachByteIsReadAsTheServerReadsItInEachSet)
{
    const std::string strVersion = First("SELECT VERSION()");
    std::vector<bool> abEverySet(0x80, true);
    size_t nClientSets = 0;
    size_t nOtherwise = 0;
    for (const std::string& strCharset : List("SELECT CHARACTER_SET_NAME FROM information_schema.CHARACTER_SETS")) {
        SCOPED_TRACE(strCharset);
        const std::vector<STByte> astByte = Readings(strCharset);
        nClientSets += !astByte.empty();
        for (unsigned b = 1; b < 0x80; ++b) {
            const std::string strText(1, static_cast<char>(b));
            SCOPED_TRACE(HexaOf(strText));
            STSessionReading stSession;
            stSession.strVersion = strVersion;
            stSession.strClientCharset = "utf8mb4";
            stSession.strConnectionCharset = strCharset;
            const bool bKept = bKeeps(strCharset, b);
            const std::string strKept = StatementTextRefusal(strText, stSession);
            EXPECT_EQ(strKept.empty(), bKept) << strKept;
            abEverySet[b] = abEverySet[b] && bKept;
            if (astByte.empty())
                continue;
            stSession.strClientCharset = strCharset;
            stSession.strConnectionCharset = "utf8mb4";
            const STByte& st = astByte[b - 1];
            const std::string strRead = StatementTextRefusal(strText, stSession);
            EXPECT_EQ(strRead.empty(), st.bAsUtf8) << strRead;
            abEverySet[b] = abEverySet[b] && st.bAsUtf8;
            if (st.bAsUtf8)
                continue;
            nOtherwise++;
            // Named, with the character the set takes the byte for.
            const std::string strSet = ", and the session reads it in character set " + strCharset + ", where ";
            if (st.strAs == strText) {
                EXPECT_NE(strRead.find(strSet), std::string::npos) << strRead;
            } else {
                size_t nLength = 0;
                char szCode[16];
                std::snprintf(szCode, sizeof(szCode), " (U+%04lX)", nUtf8CharacterAt(st.strAs, 0, &nLength));
                EXPECT_NE(strRead.find(strSet + "that byte is " +
                                       (st.strAs == "?" ? "no character" : "'" + st.strAs + "'" + szCode)),
                          std::string::npos)
                    << strRead;
            }
        }
    }
    for (unsigned b = 1; b < 0x80; ++b)
        EXPECT_EQ(bOneStatementInAnySession(std::string(1, static_cast<char>(b))), static_cast<bool>(abEverySet[b]))
            << b;
    // swe7's eleven bytes and DEL in eight sets at least, of more than 30
    // client sets.
    EXPECT_GE(nClientSets, 30u);
    EXPECT_GE(nOtherwise, 19u);
}

// Through zthost: in every client set, a text beyond ASCII is stored as
// written in a session reading UTF-8 or bytes and refused in any other, none
// of it run; a text in ASCII is stored as written, but one holding a byte
// the set reads otherwise than UTF-8 does, which is refused, naming the
// first such byte (a text holding DEL after "--" would run its DELETE where
// DEL is no control character).
TEST_F(ZtHostCharsets, EachClientCharacterSetRunsOnlyTheTextsItReadsAsWritten)
{
    ASSERT_TRUE(Admin("CREATE TABLE kl (id INT PRIMARY KEY, t VARCHAR(20) CHARACTER SET utf8mb4)"));
    // Every byte some set reads otherwise, and a comment that hides the
    // DELETE only where DEL is a control character.
    const std::string strOthers = "@[\\\\]^`{|}~\x7F";
    int nId = 0;
    size_t nWritten = 0;
    size_t nRefused = 0;
    size_t nRun = 0;
    for (const std::string& strCharset : List("SELECT CHARACTER_SET_NAME FROM information_schema.CHARACTER_SETS")) {
        SCOPED_TRACE(strCharset);
        const std::vector<STByte> astByte = Readings(strCharset);
        if (astByte.empty())
            continue;
        const std::string strSet = "SET character_set_client = " + strCharset;
        const std::string strBeyond = std::to_string(++nId);
        const std::string strInsert = "INSERT INTO kl VALUES (" + strBeyond + ", 'a;\xC3\xA9\xE2\x82\xAC')";
        const bool bWritten = strCharset == "utf8mb4" || strCharset == "utf8mb3" || strCharset == "binary";
        const STProgramRun st = Run({"--sql", strSet, "--sql", strInsert});
        if (bWritten) {
            ExpectPrinted(st, "ok\nok\n");
            nWritten++;
        } else {
            EXPECT_EQ(st.nExit, 1);
            EXPECT_EQ(st.strErr, "zthost: --sql '" + strInsert + "' is not sent: it holds '\xC3\xA9' (U+00E9), and " +
                                     "zthost writes UTF-8 only, but the session reads it in character set " +
                                     strCharset + "\n");
        }
        EXPECT_EQ(First("SELECT HEX(t) FROM kl WHERE id = " + strBeyond), bWritten ? "613BC3A9E282AC" : "(no row)");
        // The first byte of the text that the set reads otherwise.
        const std::string strAscii = std::to_string(++nId);
        const std::string strText = "INSERT INTO kl (t, id) SELECT 'a;" + strOthers + "', " + strAscii +
                                    " --\x7F '\n'; DELETE FROM kl; -- '";
        size_t nFirst = 0;
        while (nFirst < strOthers.size() && astByte[static_cast<unsigned char>(strOthers[nFirst]) - 1].bAsUtf8)
            nFirst += strOthers[nFirst] == '\\' ? 2 : 1;
        const STProgramRun stAscii = Run({"--sql", strSet, "--sql", strText});
        if (nFirst == strOthers.size()) {
            ExpectPrinted(stAscii, "ok\nok\n");
            EXPECT_EQ(First("SELECT HEX(t) FROM kl WHERE id = " + strAscii), "613B405B5C5D5E607B7C7D7E7F");
            nRun++;
            continue;
        }
        nRefused++;
        EXPECT_EQ(stAscii.nExit, 1);
        const char c = strOthers[nFirst];
        char szCode[16];
        std::snprintf(szCode, sizeof(szCode), " (U+%04X)", static_cast<unsigned>(c));
        EXPECT_NE(stAscii.strErr.find("zthost: --sql '" + strText + "' is not sent: it holds " +
                                      (c == '\x7F' ? std::string("DEL") : "'" + std::string(1, c) + "'") + szCode +
                                      ", and the session reads it in character set " + strCharset + ", where "),
                  std::string::npos)
            << stAscii.strErr;
        EXPECT_EQ(First("SELECT COUNT(*) FROM kl WHERE id = " + strAscii), "0");
    }
    EXPECT_EQ(First("SELECT COUNT(*) FROM kl"), std::to_string(nWritten + nRun));
    EXPECT_EQ(nWritten, 3u);
    // swe7, and DEL in cp1251, cp1257, cp852, cp866, keybcs2, latin2, macce
    // and macroman.
    EXPECT_GE(nRefused, 9u);
    EXPECT_GE(nRun, 20u);
}

TEST_F(ZtHost, ATextBeyondAsciiIsStoredAsGivenOrRefused)
{
    // Where sql_mode '' lets the server store "?" or the bytes as they are,
    // the columns hold the characters given, or the text is refused unrun.
    ASSERT_TRUE(Admin("CREATE TABLE ct (id INT PRIMARY KEY, l VARCHAR(9) CHARACTER SET latin1, u VARCHAR(30))"));
    const std::string strEmoji = "\xF0\x9F\x98\x80";
    // The session's sets, the values, and the columns' bytes or the refusal.
    const std::string aastr[][3] = {
        {"DO 0", "'\xC3\xA9\xE2\x82\xAC', 'a" + strEmoji + "'", "E980,61F09F9880"},
        {"SET character_set_client = binary", "'\xC3\xA9\xE2\x82\xAC', 'a" + strEmoji + "'", "E980,61F09F9880"},
        {"SET character_set_connection = latin1", "'\x7F;', ''", "7F3B,"},
        {"SET NAMES utf8mb3", "'', '\xEF\xBF\xBF;'", ",EFBFBF3B"},
        // The well-formed characters at the edges of the ill-formed forms.
        {"DO 0", "'', '\xE0\xA0\x80\xF0\x90\x80\x80\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF'",
         ",E0A080F0908080ED9FBFEE8080F48FBFBF"},
        {"SET NAMES binary", "'\xC3\xA9', ''",
         "it holds '\xC3\xA9' (U+00E9), and zthost writes UTF-8 only, but the session keeps its texts in character "
         "set binary (character_set_connection)"},
        {"SET NAMES utf8mb3", "'', 'a" + strEmoji + "'",
         "it holds '" + strEmoji +
             "' (U+1F600), and the session reads it in character set utf8mb3, which ends at U+FFFF"},
        {"SET character_set_connection = utf8mb3", "'', 'a" + strEmoji + "'",
         "it holds '" + strEmoji +
             "' (U+1F600), and the session keeps its texts in character set utf8mb3 (character_set_connection), which "
             "ends at U+FFFF"},
        {"SET character_set_connection = latin1", "'', 'a" + strEmoji + "\xC4\x80'",
         "it holds '" + strEmoji +
             "' (U+1F600), and zthost writes UTF-8 only, but the session keeps its texts in character set latin1 "
             "(character_set_connection)"},
        {"SET character_set_connection = utf16", "'\xC3\xA9', ''",
         "it holds '\xC3\xA9' (U+00E9), and zthost writes UTF-8 only, but the session keeps its texts in character "
         "set utf16 (character_set_connection)"},
        {"SET character_set_client = utf8mb3, character_set_connection = latin1", "'', '\xEF\xBF\xBF'",
         "it holds '\xEF\xBF\xBF' (U+FFFF), and zthost writes UTF-8 only, but the session keeps its texts in "
         "character set latin1"},
    };
    int nId = 0;
    for (const auto& astr : aastr) {
        const std::string strId = std::to_string(++nId);
        const std::string strInsert = "INSERT INTO ct VALUES (" + strId + ", " + astr[1] + ")";
        SCOPED_TRACE(strInsert);
        const STProgramRun st = Run({"--sql", "SET sql_mode = ''", "--sql", astr[0], "--sql", strInsert});
        const bool bRefused = astr[2].find(' ') != std::string::npos;
        EXPECT_EQ(st.nExit, bRefused ? 1 : 0);
        EXPECT_TRUE(bRefused ? st.strErr.find(astr[2]) != std::string::npos : st.strErr.empty()) << st.strErr;
        EXPECT_EQ(First("SELECT CONCAT_WS(',', HEX(l), HEX(u)) FROM ct WHERE id = " + strId),
                  bRefused ? "(no row)" : astr[2]);
    }
}

// zthost writes UTF-8 only: a text that is not well-formed UTF-8 is refused
// in any session, its first ill-formed byte named by its value, and nothing
// of it runs, nor the later --sql and --browse; a well-formed character of
// four bytes is stored where the session keeps it.
TEST_F(ZtHost, ATextNotInUtf8IsRefusedInEverySession)
{
    ASSERT_TRUE(Admin("CREATE TABLE ub (id INT PRIMARY KEY, b VARBINARY(8), s VARCHAR(8) CHARACTER SET utf8mb4)"));
    const std::string strEmoji = "\xF0\x9F\x98\x80";
    // The values after the id, and the first ill-formed byte (0: none).
    const struct {
        std::string strValues;
        char cIllFormed;
    } aCases[] = {
        {"'\xFF', '\xFF')", '\xFF'},
        {"'a\xC3', 'a\xC3')", '\xC3'},
        // Cut short at the text's end, in a comment the server would skip.
        {"'a', 'a') -- a\xC3", '\xC3'},
        {"'\xC0\xAF', '\xC0\xAF')", '\xC0'},
        {"'\xE0\x80\xAF', '\xE0\x80\xAF')", '\xE0'},
        {"'\xED\xA0\x80', '\xED\xA0\x80')", '\xED'},
        {"'\xF4\x90\x80\x80', '\xF4\x90\x80\x80')", '\xF4'},
        {"'" + strEmoji + "', '" + strEmoji + "')", 0},
    };
    int nId = 0;
    for (const char* pszSession : {"DO 0", "SET NAMES binary", "SET NAMES latin1"}) {
        for (const auto& st : aCases) {
            const std::string strId = std::to_string(++nId);
            const std::string strInsert = "INSERT INTO ub VALUES (" + strId + ", " + st.strValues;
            SCOPED_TRACE(std::string(pszSession) + ": " + strInsert);
            const STProgramRun stRun = Run({"--sql", pszSession, "--sql", strInsert, "--sql",
                                            "INSERT INTO ub VALUES (" + strId + "000, '', '')", "--browse", "ub"});
            const std::string strStored =
                First("SELECT CONCAT_WS(',', HEX(b), HEX(s)) FROM ub WHERE id IN (" + strId + ", " + strId + "000)");
            if (st.cIllFormed == 0 && std::string(pszSession) == "DO 0") {
                EXPECT_EQ(stRun.nExit, 0) << stRun.strErr;
                EXPECT_EQ(strStored, "F09F9880,F09F9880");
                continue;
            }
            EXPECT_EQ(stRun.nExit, 1);
            EXPECT_EQ(stRun.strOut, "ok\n");
            EXPECT_EQ(strStored, "(no row)");
            std::string strWhy;
            if (st.cIllFormed != 0) {
                char szByte[8];
                std::snprintf(szByte, sizeof(szByte), "\\x%02X", static_cast<unsigned char>(st.cIllFormed));
                strWhy = "its byte " + std::to_string(strInsert.find(st.cIllFormed) + 1) + ", " + szByte +
                         ", starts no well-formed UTF-8 character: zthost writes UTF-8 only";
            } else {
                // Well-formed, but kept by neither set.
                strWhy = "it holds '" + strEmoji + "' (U+1F600), and zthost writes UTF-8 only, but the session ";
                strWhy += std::string(pszSession) == "SET NAMES binary"
                              ? "keeps its texts in character set binary (character_set_connection)"
                              : "reads it in character set latin1";
            }
            EXPECT_EQ(stRun.strErr, "zthost: --sql '" + strInsert + "' is not sent: " + strWhy +
                                        "\nzthost: the run ends at the failed --sql: 1 later --sql and --browse did "
                                        "not run\n");
        }
    }
}

// The browse's table and key are names zthost hands the driver in UTF-8:
// one that is not well-formed is refused, nothing browsed, where its bytes
// read one by one would name a table or an item; it is known from the
// command line, so no --sql before it runs either.
TEST_F(ZtHost, ABrowseNameNotInUtf8IsRefused)
{
    ASSERT_TRUE(Admin("CREATE TABLE kn (id INT PRIMARY KEY, `\xC3\xA9` INT, INDEX (`\xC3\xA9`))"));
    ASSERT_TRUE(Admin("INSERT INTO kn VALUES (1, 2), (2, 1)"));
    ASSERT_TRUE(Admin("CREATE TABLE `\xC3\xA9` (id INT PRIMARY KEY)"));
    ASSERT_TRUE(Admin("INSERT INTO `\xC3\xA9` VALUES (5)"));
    // In UTF-8 both names are read.
    ExpectPrints({"--browse", "kn", "--key", "\xC3\xA9"},
                 Lines("id\t\xC3\xA9", "SELECT CONCAT_WS('\\t', id, `\xC3\xA9`) FROM kn ORDER BY `\xC3\xA9`"));
    ExpectPrints({"--browse", "\xC3\xA9"}, Lines("id", "SELECT id FROM `\xC3\xA9`"));
    const struct {
        std::vector<std::string> astrArgs;
        const char* pszRefusal;
    } aCases[] = {
        {{"--browse", "kn", "--key", "\xE9"},
         "zthost: --key '\xE9' is not sent: its byte 1, \\xE9, starts no well-formed UTF-8 character"},
        {{"--browse", "\xE9"},
         "zthost: --browse '\xE9' is not sent: its byte 1, \\xE9, starts no well-formed UTF-8 character"},
        {{"--sql", "INSERT INTO kn VALUES (3, 3)", "--browse", "k\xFFn", "--key", "\xE9"},
         "zthost: --browse 'k\xFFn' is not sent: its byte 2, \\xFF, starts no well-formed UTF-8 character"},
        {{"--sql", "INSERT INTO kn VALUES (4, 4)", "--sql", "SELECT 1", "--browse", "kn", "--key", "a\xC3"},
         "zthost: --key 'a\xC3' is not sent: its byte 2, \\xC3, starts no well-formed UTF-8 character"},
    };
    for (const auto& st : aCases) {
        SCOPED_TRACE(st.pszRefusal);
        const STProgramRun stRun = Run(st.astrArgs);
        EXPECT_EQ(stRun.nExit, 1);
        EXPECT_EQ(stRun.strOut, "");
        EXPECT_EQ(stRun.strErr, std::string(st.pszRefusal) + ": zthost writes UTF-8 only\n");
    }
    EXPECT_EQ(First("SELECT GROUP_CONCAT(id ORDER BY id) FROM kn"), "1,2");
}

// The reader on texts put together at random from pieces that move where
// quotes, comments and versioned code end, each run through the driver's SQL
// interface, which lets the server run several statements: where the server
// runs the text's INSERT after its first statement, the reader finds the
// text no single statement, in each mode it reads.
class ZtHostReader : public ServerTest {
protected:
    ZtHostReader() : ServerTest("zthostread") {}
    static void SetUpTestSuite() { StartDriverAndSQL(&s_piDriver, &s_piSQL); }
    static void TearDownTestSuite() { StopDriverAndSQL(&s_piDriver, &s_piSQL); }

    static INADriver* s_piDriver;
    static INADriverSQL* s_piSQL;
};
INADriver* ZtHostReader::s_piDriver = nullptr;
INADriverSQL* ZtHostReader::s_piSQL = nullptr;

TEST_F(ZtHostReader, NoTextTheServerRunsAsTwoStatementsIsOne)
{
    ASSERT_NE(s_piSQL, nullptr);
    ASSERT_TRUE(Admin("CREATE TABLE hits (n INT PRIMARY KEY)"));
    const std::string strVersion = First("SELECT VERSION()");
    const std::string strOwn = First("SELECT CONCAT(SUBSTRING_INDEX(VERSION(), '.', 1), "
                                     "LPAD(SUBSTRING_INDEX(SUBSTRING_INDEX(VERSION(), '.', 2), '.', -1), 2, '0'), "
                                     "LPAD(SUBSTRING_INDEX(SUBSTRING_INDEX(VERSION(), '-', 1), '.', -1), 2, '0'))");
    const std::string strNext = std::to_string(std::stoul(strOwn) + 1);
    const std::vector<std::string> astrPiece = {
        " 'x'", " '", " \"", " `", " [", " ]", "\\", " 'a\\'", " \"b\\\"", " /*", " */", " /* ' */", " /*/",
        " /*!", " /*!50000 '*/' */", " /*!999999 '*/", " /*M!100000 '*/' */", " /*M!999999 '*/", " /*!50700 '*/",
        " /*!50600", " /*!" + strOwn + " '*/' */", " /*!" + strNext + " '*/", " /*!1234", " -- '\n", " --'", " # '\n",
        "\n", " ;", " [a']", " \"a'\"", " `a'`"};
    std::mt19937 rng(20240602);
    auto Pieces = [&](size_t nMost) {
        std::string s;
        for (size_t n = rng() % (nMost + 1); n > 0; --n)
            s += astrPiece[rng() % astrPiece.size()];
        return s;
    };
    CHostConnectionDescription* pHost = Host(L"", L"zthostread");
    int nConnection = 0;
    ASSERT_EQ(s_piSQL->bOpenConnection(&nConnection, pHost), 1);
    size_t nText = 0;
    for (const char* pszMode : {"", "NO_BACKSLASH_ESCAPES", "ANSI_QUOTES", "MSSQL"}) {
        SCOPED_TRACE(pszMode);
        // The session's mode as the server lists it.
        ASSERT_TRUE(Admin(std::string("SET SESSION sql_mode = '") + pszMode + "'"));
        STSessionReading stSession;
        stSession.strVersion = strVersion;
        stSession.strSQLMode = First("SELECT @@SESSION.sql_mode");
        stSession.strClientCharset = "utf8mb4";
        ASSERT_TRUE(Admin("SET SESSION sql_mode = DEFAULT"));
        int nStatement = 0;
        ASSERT_EQ(s_piSQL->bExecute(&nStatement, nConnection,
                                    Wide(std::string("SET SESSION sql_mode = '") + pszMode + "'").c_str(), nullptr, 0),
                  1);
        std::vector<std::string> astrText;
        std::vector<bool> abOne;
        const size_t nFirst = nText;
        for (int i = 0; i < 2500; ++i, ++nText) {
            astrText.push_back("SELECT 'a'" + Pieces(4) + " ; INSERT INTO hits VALUES (" + std::to_string(nText) + ")" +
                               Pieces(2));
            abOne.push_back(StatementTextRefusal(astrText.back(), stSession).empty());
            nStatement = 0;
            s_piSQL->bExecute(&nStatement, nConnection, Wide(astrText.back()).c_str(), nullptr, 0);
            if (nStatement != 0)
                s_piSQL->bFreeStmt(nConnection, nStatement, 0);
        }
        size_t nTwo = 0;
        for (const std::string& s : List("SELECT n FROM hits WHERE n >= " + std::to_string(nFirst))) {
            const size_t n = std::stoul(s) - nFirst;
            nTwo++;
            EXPECT_FALSE(abOne[n]) << astrText[n];
        }
        // The texts try both answers.
        const size_t nOne = static_cast<size_t>(std::count(abOne.begin(), abOne.end(), true));
        EXPECT_GT(nTwo, astrText.size() / 20);
        EXPECT_GT(nOne, astrText.size() / 20);
    }
    s_piSQL->bCloseConnection(nConnection);
}

TEST_F(ZtHost, BrowseRunsOnASessionOfItsOwn)
{
    ASSERT_TRUE(Admin("CREATE TABLE s (id INT PRIMARY KEY)"));
    ASSERT_TRUE(Admin("INSERT INTO s VALUES (1)"));
    // Neither an open transaction's row nor a temporary table of the queries'
    // session.
    ExpectPrints({"--sql", "START TRANSACTION", "--sql", "INSERT INTO s VALUES (2)", "--browse", "s"},
                 "ok\nok\n" + Lines("id", "SELECT id FROM s WHERE id = 1"));
    const STProgramRun st = Run({"--sql", "CREATE TEMPORARY TABLE tt (id INT PRIMARY KEY)", "--browse", "tt"});
    EXPECT_EQ(st.nExit, 1);
    EXPECT_EQ(st.strOut, "ok\n");
    EXPECT_NE(st.strErr.find("1146"), std::string::npos) << st.strErr;
    // What the queries committed, it sees.
    const STProgramRun stCommitted = Run({"--sql", "INSERT INTO s VALUES (3)", "--browse", "s"});
    ExpectPrinted(stCommitted, "ok\n" + Lines("id", "SELECT id FROM s ORDER BY id"));
    // The queries' session has ended by then, with its table lock and the
    // delete it left open: the browse waits on neither (a minute is ample).
    const STProgramRun stLocked = Run(
        {"--sql", "SET autocommit = 0", "--sql", "LOCK TABLES s WRITE", "--sql", "DELETE FROM s WHERE id = 1", "--browse", "s"},
        60);
    ExpectPrinted(stLocked, "ok\nok\nok\n" + Lines("id", "SELECT id FROM s ORDER BY id"));
    const STProgramRun stWritten =
        Run({"--sql", "LOCK TABLES s WRITE", "--sql", "INSERT INTO s VALUES (4)", "--browse", "s"}, 60);
    ExpectPrinted(stWritten, "ok\nok\n" + Lines("id", "SELECT id FROM s ORDER BY id"));
    EXPECT_EQ(First("SELECT GROUP_CONCAT(id ORDER BY id) FROM s"), "1,3,4");
}

TEST_F(ZtHost, HeaderRowsAndOkOnOneConnection)
{
    const std::string strSelect =
        "SELECT 1 AS one, NULL AS nothing, '\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD' AS txt UNION SELECT 2, 3, 'x' "
        "ORDER BY one";
    // The session's variable set by one query is read by the next.
    ExpectPrints({"--sql", strSelect, "--sql", "SET @kept = 5", "--sql", "SELECT @kept AS kept"},
                 Lines("one\tnothing\ttxt",
                       "SELECT CONCAT_WS('\\t', one, IFNULL(nothing, '\\\\N'), txt) FROM (" + strSelect + ") q ORDER BY one") +
                     "ok\n" + Lines("kept", "SELECT 5"));
}

TEST_F(ZtHost, FailureExitsWithTheDriversReportAndNamesWhatDidNotRun)
{
    ASSERT_TRUE(Admin("CREATE TABLE later (id INT PRIMARY KEY)"));
    // The queries before the failure ran; none after it, nor the browse.
    const struct {
        std::vector<std::string> astrArgs;
        const char* pszOut;
        const char* pszNotRun;
    } aCases[] = {
        {{"--sql", "SELECT 5 AS five", "--sql", "SELEC 1", "--sql", "INSERT INTO later VALUES (1)", "--sql",
          "INSERT INTO later VALUES (2)"},
         "five\n5\n", "2 later --sql"},
        {{"--sql", "INSERT INTO later VALUES (3)", "--sql", "SELEC 1", "--sql", "INSERT INTO later VALUES (4)",
          "--browse", "later"},
         "ok\n", "1 later --sql and --browse"},
        {{"--sql", "SELEC 1", "--browse", "later"}, "", "--browse"},
        {{"--sql", "INSERT INTO later VALUES (5)", "--sql", "SELEC 1"}, "ok\n", nullptr},
    };
    for (const auto& st : aCases) {
        SCOPED_TRACE(st.pszOut);
        const STProgramRun stRun = Run(st.astrArgs);
        EXPECT_EQ(stRun.nExit, 1);
        EXPECT_EQ(stRun.strOut, st.pszOut);
        EXPECT_NE(stRun.strErr.find("zthost: bExecute failed\n"), std::string::npos) << stRun.strErr;
        EXPECT_NE(stRun.strErr.find("1064"), std::string::npos) << stRun.strErr;
        const std::string strNotRun = "zthost: the run ends at the failed --sql: ";
        if (st.pszNotRun == nullptr) {
            EXPECT_EQ(stRun.strErr.find(strNotRun), std::string::npos) << stRun.strErr;
        } else {
            const std::string strLast = strNotRun + st.pszNotRun + " did not run\n";
            ASSERT_GE(stRun.strErr.size(), strLast.size());
            EXPECT_EQ(stRun.strErr.substr(stRun.strErr.size() - strLast.size()), strLast);
        }
    }
    EXPECT_EQ(First("SELECT GROUP_CONCAT(id ORDER BY id) FROM later"), "3,5");
}

// A table of 250 records (blocks of 100) with NULL and accents in its text,
// and a composite key with duplicates.
class ZtHostBrowse : public ZtHost {
protected:
    void SetUp() override
    {
        ZtHost::SetUp();
        ASSERT_TRUE(Admin("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20), a INT NOT NULL, INDEX ix (a, name))"));
        ASSERT_TRUE(Admin("INSERT INTO t SELECT seq, ELT(1 + seq % 5, '\xC3\xA9t\xC3\xA9', NULL, 'Zo\xC3\xAB', "
                          "'a\xE2\x82\xAC', 'zeta'), seq % 4 FROM seq_1_to_250"));
    }
    // The header line, then each record as the server sorts them.
    std::string Expected(const std::string& strOrder)
    {
        return Lines("id\tname\ta", "SELECT CONCAT_WS('\\t', id, IFNULL(name, '\\\\N'), a) FROM t ORDER BY " + strOrder);
    }
};

TEST_F(ZtHostBrowse, PrimaryAndCompositeKeyBothWays)
{
    struct STCase {
        std::vector<std::string> astrArgs;
        const char* pszOrder;
    };
    const STCase aCases[] = {
        {{"--browse", "t"}, "id"},
        {{"--browse", "t", "--backward"}, "id DESC"},
        {{"--browse", "t", "--key", "ix"}, "a, name, id"},
        {{"--backward", "--key", "ix", "--browse", "t"}, "a DESC, name DESC, id DESC"},
    };
    for (const STCase& st : aCases) {
        SCOPED_TRACE(st.pszOrder);
        ExpectPrints(st.astrArgs, Expected(st.pszOrder));
    }
}

TEST_F(ZtHostBrowse, QueriesRunFirst)
{
    const STProgramRun st = Run({"--browse", "t", "--sql", "DELETE FROM t WHERE id > 3", "--sql", "SELECT 7 AS seven"});
    ExpectPrinted(st, "ok\nseven\n7\n" + Expected("id"));
}

TEST_F(ZtHostBrowse, UnknownTableOrKeyExitsWithTheDriversReport)
{
    STProgramRun st = Run({"--browse", "missing"});
    EXPECT_EQ(st.nExit, 1);
    EXPECT_EQ(st.strOut, "");
    EXPECT_NE(st.strErr.find("1146"), std::string::npos) << st.strErr;
    st = Run({"--browse", "t", "--key", "nokey"});
    EXPECT_EQ(st.nExit, 1);
    EXPECT_EQ(st.strOut, "");
    EXPECT_NE(st.strErr.find("nokey"), std::string::npos) << st.strErr;
}

TEST_F(ZtHostBrowse, ARecordThatCannotBeReadIsReportedAndPrintedWithThatItemNull)
{
    // The first record each way holds a value its item cannot take: a
    // time beyond it, or a text holding a NUL, named by its bytes.
    ASSERT_TRUE(Admin("CREATE TABLE tm (id INT PRIMARY KEY, t TIME, n VARCHAR(5))"));
    ASSERT_TRUE(Admin("INSERT INTO tm VALUES (1, '-00:00:01', 'a'), (2, '01:00:00', NULL), (3, '99:59:59', 'c'), "
                      "(4, '-838:59:59', 'd'), (5, NULL, X'610062'), (6, '100:00:00', 'f')"));
    const std::string strHeld = "t IS NULL OR t BETWEEN '00:00:00' AND '99:59:59'";
    const std::vector<std::string> astrRefused =
        List("SELECT t FROM tm WHERE NOT (" + strHeld +
             ") UNION ALL SELECT CONCAT('_utf8mb4 X''', HEX(n), '''') FROM tm WHERE LOCATE(X'00', n)");
    ASSERT_EQ(astrRefused.size(), 4u);
    for (const char* pszOrder : {"id", "id DESC"}) {
        SCOPED_TRACE(pszOrder);
        std::vector<std::string> astrArgs = {"--browse", "tm"};
        if (std::string(pszOrder) == "id DESC")
            astrArgs.push_back("--backward");
        const STProgramRun st = Run(astrArgs);
        EXPECT_EQ(st.nExit, 1);
        EXPECT_EQ(st.strOut, Lines("id\tt\tn", "SELECT CONCAT_WS('\\t', id, IF(" + strHeld +
                                                    ", IFNULL(t, '\\\\N'), '\\\\N'), IFNULL(IF(LOCATE(X'00', n), "
                                                    "NULL, n), '\\\\N')) FROM tm ORDER BY " +
                                                    pszOrder));
        // Each refused value is reported once.
        size_t nReports = 0;
        for (size_t n = st.strErr.find("User error code: 53\n"); n != std::string::npos;
             n = st.strErr.find("User error code: 53\n", n + 1))
            nReports++;
        EXPECT_EQ(nReports, astrRefused.size()) << st.strErr;
        for (const std::string& strValue : astrRefused)
            EXPECT_NE(st.strErr.find("the server's value " + strValue + " "), std::string::npos) << st.strErr;
    }
    // Two refused items of one record: its one report names both.
    ASSERT_TRUE(Admin("CREATE TABLE t2 (id INT PRIMARY KEY, a TIME, b TIME(3))"));
    ASSERT_TRUE(Admin("INSERT INTO t2 VALUES (1, '100:00:00', '-838:59:59'), (2, '01:00:00', '02:00:00')"));
    const STProgramRun st = Run({"--browse", "t2"});
    EXPECT_EQ(st.nExit, 1);
    EXPECT_EQ(st.strOut, Lines("id\ta\tb", "SELECT CONCAT_WS('\\t', id, IF(id = 1, '\\\\N', a), IF(id = 1, "
                                            "'\\\\N', TIME_FORMAT(b, '%H:%i:%s'))) FROM t2 ORDER BY id"));
    const size_t nReport = st.strErr.find("User error code: 53\n");
    EXPECT_NE(nReport, std::string::npos) << st.strErr;
    EXPECT_EQ(st.strErr.find("User error code: 53\n", nReport + 1), std::string::npos) << st.strErr;
    for (const char* psz : {"Item \"a\"", "the server's value 100:00:00 ", "Item \"b\"",
                            "the server's value -838:59:59.000 "})
        EXPECT_NE(st.strErr.find(psz), std::string::npos) << psz << "\n" << st.strErr;
}

// The main job: the module loaded, its entries listed, its start-up
// protocol run to its end, a message of its catalogue printed.
TEST(ZtHostStartUp, ReportsTheModuleAndItsProtocol)
{
    std::ifstream in(SourcePath("common/platform/Messages.tsv"));
    std::string strLine, strMessage;
    while (std::getline(in, strLine) && strMessage.empty()) {
        if (strLine.compare(0, 6, "25193\t") == 0)
            strMessage = strLine.substr(strLine.find('\t', 6) + 1);
    }
    ASSERT_NE(strMessage, "");
    // Ten digits, the most a message number takes.
    STProgramRun st = RunProgram({BuildPath("zthost"), "--message", "0000025193"});
    EXPECT_EQ(st.nExit, 0) << st.strErr;
    for (const char* psz : {"15 of 15 entries offered\n", "end mark: VersionInfoMarkEnd\n", "bInitLibrary: 1\n",
                                 "bDLLCompatible(7, 31): 1,", "driver: version ",
                                 "driver released: 0 references left\n", "TermLibrary: 1\n", "Execution(4875): 1\n",
                                 "runtime told of the module's end: 1\n"})
        EXPECT_NE(st.strOut.find(psz), std::string::npos) << psz << "\n" << st.strOut;
    EXPECT_NE(st.strOut.find("message 25193: " + strMessage + "\n"), std::string::npos) << st.strOut;
    // A message the module lacks, and a library without the protocol.
    st = RunProgram({BuildPath("zthost"), "--message", "1"});
    EXPECT_EQ(st.nExit, 1);
    EXPECT_NE(st.strOut.find("message 1: not found\n"), std::string::npos) << st.strOut;
    st = RunProgram({BuildPath("zthost"), BuildPath("zthostnoexec.so")});
    EXPECT_EQ(st.nExit, 1);
    EXPECT_NE(st.strOut.find("0 of 15 entries offered\nthe module protocol cannot run"), std::string::npos) << st.strOut;
}

// Each mistake, named the same by the host and by the run command, before
// anything is built, started or run: exit code 2, nothing on standard
// output, the mistake and where the options are listed on standard error.
TEST(ZtHostArguments, MistakesAreNamedBeforeAnythingRuns)
{
    struct STCase {
        std::vector<std::string> astrArgs;
        std::string strMistake;
    };
    const STCase aCases[] = {
        {{"--sql"}, "--sql needs a query"},
        {{"--sql", ""}, "--sql needs a query"},
        {{"--sql", "--browse", "t"}, "--sql needs a query"},
        {{"--sql", "SELECT", "1"}, "unexpected argument '1': quote the query"},
        {{"--sql", "SELECT 1", BuildPath("zt190msql.so"), "./other.so"}, "unexpected argument './other.so'"},
        // A path that names no file, an unquoted query holding a '/' too.
        {{"--sql", "SELECT", "1/2"}, "no module file '1/2': an argument holding a '/' names the module"},
        {{"--sql", "SELECT 1", "./none/zt190msql.so"},
         "no module file './none/zt190msql.so': an argument holding a '/' names the module"},
        {{"--sql", "SELECT 1", SourcePath("tools")},
         "no module file '" + SourcePath("tools") + "': an argument holding a '/' names the module"},
        {{"--browse", "t", "words"}, "unexpected argument 'words'"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"-x"}, "unknown option -x"},
        {{"--browse"}, "--browse needs a table"},
        {{"--browse", "t", "--key", "--backward"}, "--key needs an item"},
        {{"--browse", "a", "--browse", "b"}, "--browse given twice"},
        {{"--browse", "a", "--key", "k", "--key", "l"}, "--key given twice"},
        {{"--message"}, "--message needs a number"},
        {{"--message", "12x"}, "bad message number '12x'"},
        {{"--message", "-1"}, "bad message number '-1'"},
        {{"--message", "4294967296"}, "bad message number '4294967296'"},
        {{"--message", "00000000001"}, "bad message number '00000000001'"},
        {{"--message", "1", "--message", "2"}, "--message given twice"},
        {{"--message", "25193", "--sql", "SELECT 1"}, "--message goes without --sql and --browse"},
        {{"--message", "25193", "--browse", "t"}, "--message goes without --sql and --browse"},
        {{"--key", "ix"}, "--key and --backward go with --browse"},
        {{"--backward", "--sql", "SELECT 1"}, "--key and --backward go with --browse"},
    };
    for (const STCase& st : aCases) {
        std::string strTrace;
        for (const std::string& s : st.astrArgs)
            strTrace += " [" + s + "]";
        SCOPED_TRACE(strTrace);
        std::vector<std::string> astrHost = {BuildPath("zthost")};
        astrHost.insert(astrHost.end(), st.astrArgs.begin(), st.astrArgs.end());
        STProgramRun stRun = RunProgram(astrHost);
        EXPECT_EQ(stRun.nExit, 2);
        EXPECT_EQ(stRun.strOut, "");
        EXPECT_EQ(stRun.strErr, std::string("zthost: ") + st.strMistake + "\nzthost --help lists the options\n");
        std::vector<std::string> astrScript = {"bash", SourcePath("scripts/run.sh")};
        astrScript.insert(astrScript.end(), st.astrArgs.begin(), st.astrArgs.end());
        stRun = RunProgram(astrScript);
        EXPECT_EQ(stRun.nExit, 2);
        EXPECT_EQ(stRun.strOut, "");
        EXPECT_EQ(stRun.strErr,
                  std::string("run.sh: ") + st.strMistake + "\nbash scripts/run.sh --help lists the options\n");
    }
    // The run command's own options.
    const STProgramRun stLate = RunProgram({"bash", SourcePath("scripts/run.sh"), "--sql", "SELECT 1", "--bench"});
    EXPECT_EQ(stLate.nExit, 2);
    EXPECT_NE(stLate.strErr.find("run.sh: --bench goes first"), std::string::npos) << stLate.strErr;
    // Help wins over any mistake, on standard output.
    for (const std::vector<std::string>& astr :
         {std::vector<std::string>{BuildPath("zthost"), "--sql", "-h"}, {BuildPath("zthost"), "--help"},
          {"bash", SourcePath("scripts/run.sh"), "--bench", "--help"}, {"bash", SourcePath("scripts/run.sh"), "-h"}}) {
        SCOPED_TRACE(astr.back());
        const STProgramRun st = RunProgram(astr);
        EXPECT_EQ(st.nExit, 0);
        EXPECT_EQ(st.strOut.compare(0, 7, "usage: "), 0) << st.strOut;
        EXPECT_NE(st.strOut.find("--browse <table>"), std::string::npos) << st.strOut;
        EXPECT_EQ(st.strErr, "");
    }
    // The run command shows each form of zthost's command line as zthost
    // does, a module path where zthost takes one.
    const std::string strHost = RunProgram({BuildPath("zthost"), "--help"}).strOut;
    const std::string strScript = RunProgram({"bash", SourcePath("scripts/run.sh"), "--help"}).strOut;
    size_t nForms = 0;
    std::istringstream in(strHost);
    for (std::string strLine; std::getline(in, strLine);) {
        const size_t nName = strLine.find("zthost ");
        if (strLine.find_first_not_of(' ', strLine.compare(0, 7, "usage: ") == 0 ? 7 : 0) != nName ||
            strLine.find("--help") != std::string::npos)
            continue;
        nForms++;
        const std::string strForm = strLine.substr(0, nName) + "bash scripts/run.sh" + strLine.substr(nName + 6);
        EXPECT_NE(strScript.find(strForm + "\n"), std::string::npos) << strForm << "\n" << strScript;
    }
    EXPECT_EQ(nForms, 3u) << strHost;
}

// The benchmarks' options go to the benchmark library itself before the
// benchmarks are built: an option it refuses (a flag it does not know, a
// value it refuses or answers with its usage) is named with what it said
// and exit code 2; one it takes lets the check go on to the next option.
// The library's own reading is that of its main in a program of no
// benchmarks.
TEST(ZtHostArguments, BenchmarkOptionsAreCheckedByTheLibraryItself)
{
    const char* const apszOption[] = {
        "--benchmark_filter=BM_.*", "--benchmark_filter=", "--benchmark_list_tests",
        "--benchmark_min_time=0.5", "--benchmark_min_time=0x10", "--benchmark_min_time=inf",
        "--benchmark_min_time=", "--benchmark_min_time=1s", "--benchmark_min_warmup_time=1e-1",
        "--benchmark_repetitions=2147483646", "--benchmark_repetitions=2147483647",
        "--benchmark_repetitions=-2147483648", "--benchmark_repetitions=", "--benchmark_repetitions=0x10",
        "--benchmark_enable_random_interleaving=true", "--benchmark_report_aggregates_only=1",
        "--benchmark_display_aggregates_only", "--benchmark_format=json", "--benchmark_format=xml",
        "--benchmark_out=/dev/null", "--benchmark_out=/zt-no-such-folder/out.json", "--benchmark_out_format=csv",
        "--benchmark_color=auto", "--benchmark_color=", "--benchmark_counters_tabular=true",
        "--benchmark_perf_counters=", "--benchmark_context=host=a,run=b", "--benchmark_context=a",
        "--benchmark_time_unit=ms", "--benchmark_time_unit=m", "--v=2", "--v", "--benchmark_nope=1", "--filter=x",
        "-benchmark_filter=x", "--benchmark_filter",
    };
    // The library's verdict on each option alone; then one run of the
    // command with each option it refuses, and one with all it takes.
    std::vector<std::string> astrTaken;
    size_t nRefused = 0;
    const std::string strLast = "--benchmark_last";
    auto ExpectNamed = [&](const std::vector<std::string>& astrOptions, const std::string& strNamed) {
        std::vector<std::string> astr = {"bash", SourcePath("scripts/run.sh"), "--bench"};
        astr.insert(astr.end(), astrOptions.begin(), astrOptions.end());
        const STProgramRun stRun = RunProgram(astr);
        EXPECT_EQ(stRun.nExit, 2);
        EXPECT_EQ(stRun.strOut, "");
        // After what the set-up printed: the mistake, what the library said.
        const std::string strMistake = "run.sh: the benchmark library refuses " + strNamed + ": ";
        const std::string strErr = "\n" + stRun.strErr;
        const size_t n = strErr.find("\n" + strMistake);
        EXPECT_NE(n, std::string::npos) << stRun.strErr;
        const size_t nSaid = std::min(n, strErr.size()) + 1 + strMistake.size();
        const size_t nEnd = std::min(strErr.find('\n', nSaid), strErr.size());
        EXPECT_EQ(strErr.substr(nEnd), "\nbash scripts/run.sh --help lists the options\n");
        return strErr.substr(std::min(nSaid, nEnd), nEnd - std::min(nSaid, nEnd));
    };
    for (const char* pszOption : apszOption) {
        SCOPED_TRACE(pszOption);
        // The library refuses an option with exit code 1, or prints its
        // usage; what it says first comes after the program's name.
        const STProgramRun stLibrary = RunProgram({BuildPath("zt_bench_flags"), pszOption});
        const bool bUsage = stLibrary.strOut.compare(0, 11, "benchmark [") == 0;
        if (stLibrary.nExit == 0 && !bUsage) {
            astrTaken.push_back(pszOption);
            continue;
        }
        nRefused++;
        std::string strSaid =
            bUsage ? "it answers with its usage" : stLibrary.strErr.substr(0, stLibrary.strErr.find('\n'));
        const size_t nError = strSaid.find(": error: ");
        if (nError != std::string::npos)
            strSaid.erase(0, nError + 9);
        EXPECT_EQ(ExpectNamed({pszOption, strLast}, pszOption), strSaid);
    }
    astrTaken.push_back(strLast);
    EXPECT_EQ(ExpectNamed(astrTaken, strLast), "unrecognized command-line flag: " + strLast);
    // The values the library takes that a reading of its own missed.
    for (const char* pszTaken : {"--benchmark_min_time=0x10", "--benchmark_min_time=inf", "--benchmark_min_time=",
                                 "--benchmark_repetitions="})
        EXPECT_NE(std::find(astrTaken.begin(), astrTaken.end(), pszTaken), astrTaken.end()) << pszTaken;
    EXPECT_GE(nRefused, 12u);
}

} // namespace
