// The two readers of a query text that must agree: zthost's, and the run
// command's, which refuses a text of several statements before it builds
// zthost. Each answers the cases below as a session of the server reads
// them, and both answer the same on texts put together at random from the
// pieces that matter to either.
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

TEST(StatementText, SeveralStatementsAsTheServerReadsThem)
{
    const struct {
        const char* pszSQL;
        bool bSeveral;
    } aCases[] = {
        {"SELECT 1; SELECT 2", true},
        {"SELECT 1;SELECT 2;", true},
        {"SELECT 1; /* ; */ -- ;\n SELECT 'a;b'", true},
        {"SELECT 1;\t#\n;x", true},
        {"CREATE TABLE t (a INT CHECK (CASE a WHEN 1 THEN 1 END)); SELECT 2", true},
        {"BEGIN; SELECT 1", true},
        {"begin work; select 1", true},
        {"XA BEGIN 'x'; SELECT 1", true},
        {"XA END 'x'; SELECT 1", true},
        {"BEGIN NOT ATOMIC CASE 1 WHEN 1 THEN SELECT 1; END CASE; END; SELECT 2", true},
        {"SELECT 1 --;\n SELECT 2", true},
        {"SELECT 1 -- x\n; SELECT 2", true},
        {"SELECT 'it''s'; SELECT 2", true},
        {"SELECT `a\\`; SELECT 2", true},
        // A code comment is code the server runs.
        {"SELECT 1 /*! ; SELECT 2 */", true},
        {"SELECT 1 /*!50001 ; SELECT 2 */", true},
        {"SELECT 1 /*M!100101 ; SELECT 2*/", true},
        {"SELECT 1 /*! , 2 */; */", true},
        {"SELECT 1", false},
        {"SELECT 1;", false},
        {"SELECT 1; ;; -- done\n", false},
        {"SELECT 1 # ; SELECT 2", false},
        {"SELECT 1 -- ; SELECT 2", false},
        {"SELECT 1 --\t; SELECT 2", false},
        {"SELECT 1 --", false},
        {"SELECT 1 /* ; SELECT 2 */ ;", false},
        {"SELECT 1 /* ; SELECT 2", false},
        {"SELECT 1 /*!50001 , 2 */; /*!*/", false},
        {"SELECT 1; /*!99999 */", false},
        {"SELECT 'a'';b', \"c\"\";d\" AS s", false},
        {"SELECT 'a;b', \"c;d\", 'it''s;', 'x\\';y' AS s", false},
        {"SELECT `a;b` FROM (SELECT 1 AS `a;b`) d", false},
        {"SELECT 'unended; SELECT 2", false},
        {"CREATE PROCEDURE p() BEGIN SELECT 1; IF 1 THEN SELECT 2; END IF; SELECT CASE 1 WHEN 1 THEN 3 END; END",
         false},
        {"BEGIN NOT ATOMIC DECLARE x INT DEFAULT 0; WHILE x < 2 DO SET x = x + 1; END WHILE; END", false},
        {"BEGIN NOT ATOMIC l: LOOP LEAVE l; END LOOP; REPEAT SELECT 1; UNTIL 1 END REPEAT; END", false},
        {"BEGIN", false},
        {"BEGIN WORK;", false},
        {"SELECT '\xC3\xA9;' AS \xC3\xA9t\xC3\xA9;", false},
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

TEST(StatementText, TheRunCommandAnswersAsZtHostOnAnyText)
{
    // A ';' and a word, more often than the others.
    const char* const apszPiece[] = {
        ";", ";", ";", "x", "x", " ", "\n", "\t", "'", "\"", "`", "\\", "''", "#", "--", "-- ", "--\n", "-", "/*", "*/", "/*!", "/*M!",
        "/*!50001", "*", "/", "!", "M", "1", "x", "BEGIN", "begin", "WORK", "XA", "END", "CASE", "IF", "LOOP",
        "WHILE", "REPEAT", "FOR", "NOT", "SELECT", "$", "_", "\xC3\xA9", "\x7F", "\x01", "(", ")",
    };
    const size_t nPieces = sizeof(apszPiece) / sizeof(apszPiece[0]);
    std::mt19937 rng(20240229);
    std::vector<std::string> astrText;
    for (int n = 0; n < 4000; ++n) {
        std::string s;
        const size_t nLength = 1 + rng() % 16;
        for (size_t i = 0; i < nLength; ++i)
            s += apszPiece[rng() % nPieces];
        astrText.push_back(s);
    }
    const std::string strAnswers = ScriptAnswers(astrText);
    ASSERT_EQ(strAnswers.size(), astrText.size()) << strAnswers;
    size_t nSeveral = 0;
    for (size_t i = 0; i < astrText.size(); ++i) {
        const bool bSeveral = bSeveralStatements(astrText[i]);
        nSeveral += bSeveral;
        EXPECT_EQ(strAnswers[i], bSeveral ? '1' : '0') << "[" << astrText[i] << "]";
    }
    // Both answers are well represented: the texts test each reader.
    EXPECT_GT(nSeveral, astrText.size() / 10);
    EXPECT_LT(nSeveral, astrText.size() * 9 / 10);
}

} // namespace
