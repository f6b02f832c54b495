// A host query joins several SELECTs exactly where its session reads a set
// operator at the top level of its text: words cut as the server cuts them
// and matched by their ASCII letters whatever the process's locale, MINUS
// only under sql_mode ORACLE and before a SELECT or a VALUES, blanks before
// the first SELECT passed over. The server's own run of each text decides: a
// set of SELECTs names no table for its first column. One SELECT is browsed
// in the driver's order and written through; several are read as they stand
// and never written.
#include "access/sql/NACommand.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/ProcessLocale.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace tableobject;

// The server's reading of a text.
enum eREADING { REFUSED, ONE, SEVERAL };

const char* const kapszReading[] = {"refused", "one SELECT", "several SELECTs"};

class SetOperator : public TableObjectServer {
protected:
    SetOperator()
        : TableObjectServer("zt80so", {"CREATE TABLE sa (id INT PRIMARY KEY, o INT, t VARCHAR(8))",
                                       "CREATE TABLE sb (id INT PRIMARY KEY, o INT, t VARCHAR(8))",
                                       "CREATE TABLE mm (id INT PRIMARY KEY, o INT, minus INT)"})
    {
    }
    void Fill()
    {
        ASSERT_TRUE(Admin("DELETE FROM sa") && Admin("INSERT INTO sa VALUES (1, 1, 'a'), (2, 3, 'c')"));
        ASSERT_TRUE(Admin("DELETE FROM sb") && Admin("INSERT INTO sb VALUES (3, 2, 'b'), (4, 3, 'c'), (5, 4, 'd')"));
        ASSERT_TRUE(Admin("DELETE FROM mm") && Admin("INSERT INTO mm VALUES (1, 1, 5), (2, 2, 6)"));
    }
    std::string Tables()
    {
        return First("SELECT CONCAT_WS('/', (SELECT GROUP_CONCAT(id, o, t ORDER BY id) FROM sa), "
                     "(SELECT GROUP_CONCAT(id, o, t ORDER BY id) FROM sb), "
                     "(SELECT GROUP_CONCAT(id, o, `minus` ORDER BY id) FROM mm))");
    }
    // The text's reading by the server, in the admin's session, and its
    // rows (the first column's), sorted.
    eREADING ServerReading(const std::string& strText, Rows* ptabRows)
    {
        std::string strTable, strError;
        if (!m_clAdmin.bListWithTable(strText, *ptabRows, strTable, strError))
            return REFUSED;
        std::sort(ptabRows->begin(), ptabRows->end());
        return strTable.empty() ? SEVERAL : ONE;
    }
    // Both sessions in the sql_mode: the admin's and the driver's on the
    // connection.
    void Mode(CHostConnectionDescription* pHost, bool bOracle)
    {
        const wchar_t* pszMode = bOracle ? L"SET SESSION sql_mode = 'ORACLE'" : L"SET SESSION sql_mode = DEFAULT";
        ASSERT_TRUE(Admin(Narrow(pszMode)));
        CNAConnectionDescription* pCnx = m_pDriver->_pclFindConnection(pHost);
        ASSERT_NE(pCnx, nullptr);
        EXPECT_EQ(pCnx->bExecuteQueryNoResult(m_pDriver->pclGetError(), pszMode), 1) << Report();
        pCnx->nRelease();
    }
    // The driver's reading of the host's text on that session.
    bool Several(CHostConnectionDescription* pHost, const std::wstring& strText)
    {
        CNAConnectionDescription* pCnx = m_pDriver->_pclFindConnection(pHost);
        const bool b = CNACommand::s_bSeveralSelects(pCnx, strText.c_str(), strText.size(), CNACommand::TR_HOST);
        if (pCnx != nullptr)
            pCnx->nRelease();
        return b;
    }
    // Every record of the browse on the item, one way, its values sorted.
    static Rows Browse(INATable* pi, CHostContext* pc, const wchar_t* pszItem, bool bBackward)
    {
        Rows tab = Every(pi, pc, pszItem, 0, bBackward, [&](int bRead) {
            return bRead == 1 ? Value(pi, pc, pszItem) : "failed: " + Error(pi, pc);
        });
        std::sort(tab.begin(), tab.end());
        return tab;
    }
};

struct SCase {
    const wchar_t* pszHost;  // the host's text
    const char* pszServer;   // the same as the server writes it (UTF-8)
    const wchar_t* pszItem;  // its first item
    const wchar_t* pszTable; // the table its one SELECT writes
    bool bPast1252 = false;  // it holds a name that a 1252 session cannot
};

// Names, aliases and columns called minus, set words inside literals,
// quoted names and subqueries, set words glued to what comes before them,
// blanks and new lines before the first SELECT.
const SCase kCases[] = {
    {L"SELECT id, o, t AS minus FROM sa", "SELECT id, o, t AS minus FROM sa", L"id", L"sa"},
    {L"SELECT id, o, minus FROM mm", "SELECT id, o, minus FROM mm", L"id", L"mm"},
    {L"SELECT id, o, minus FROM mm WHERE minus > 0", "SELECT id, o, minus FROM mm WHERE minus > 0", L"id", L"mm"},
    {L"SELECT id, o, t FROM sa minus", "SELECT id, o, t FROM sa minus", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa WHERE t <> 'x UNION y'", "SELECT id, o, t FROM sa WHERE t <> 'x UNION y'", L"id",
     L"sa"},
    {L"SELECT id, o, t AS [union] FROM sa", "SELECT id, o, t AS `union` FROM sa", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa WHERE o >= (SELECT MIN(o) FROM sb UNION SELECT MIN(o) FROM sb)",
     "SELECT id, o, t FROM sa WHERE o >= (SELECT MIN(o) FROM sb UNION SELECT MIN(o) FROM sb)", L"id", L"sa"},
    {L"\n  SELECT id, o, t FROM sa", "\n  SELECT id, o, t FROM sa", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa WHERE t <> 'x'UNION SELECT id, o, t FROM sb",
     "SELECT id, o, t FROM sa WHERE t <> 'x'UNION SELECT id, o, t FROM sb", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa WHERE o * 2 <> 1.5", "SELECT id, o, t FROM sa WHERE o * 2 <> 1.5", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa WHERE o * 2 <> 1.5UNION SELECT id, o, t FROM sb",
     "SELECT id, o, t FROM sa WHERE o * 2 <> 1.5UNION SELECT id, o, t FROM sb", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa WHERE (o > 0)UNION SELECT id, o, t FROM sb",
     "SELECT id, o, t FROM sa WHERE (o > 0)UNION SELECT id, o, t FROM sb", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa WHERE 'x' <> [t]UNION SELECT id, o, t FROM sb",
     "SELECT id, o, t FROM sa WHERE 'x' <> `t`UNION SELECT id, o, t FROM sb", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa WHERE t <> {p}UNION SELECT id, o, t FROM sb",
     "SELECT id, o, t FROM sa WHERE t <> 'x'UNION SELECT id, o, t FROM sb", L"id", L"sa"},
    {L"\n  SELECT id, o, t FROM sa UNION SELECT id, o, t FROM sb",
     "\n  SELECT id, o, t FROM sa UNION SELECT id, o, t FROM sb", L"id", L"sa"},
    {L"SELECT id, o, t FROM sa UNION ALL SELECT id, o, t FROM sb",
     "SELECT id, o, t FROM sa UNION ALL SELECT id, o, t FROM sb", L"id", L"sa"},
    {L"SELECT o, t FROM sa INTERSECT SELECT o, t FROM sb", "SELECT o, t FROM sa INTERSECT SELECT o, t FROM sb", L"o",
     L"sa"},
    {L"SELECT o, t FROM sa EXCEPT SELECT o, t FROM sb", "SELECT o, t FROM sa EXCEPT SELECT o, t FROM sb", L"o",
     L"sa"},
    {L"SELECT o, t FROM sa MINUS SELECT o, t FROM sb", "SELECT o, t FROM sa MINUS SELECT o, t FROM sb", L"o", L"sa"},
    {L"SELECT o, t FROM sa WHERE t <> 'x'MINUS SELECT o, t FROM sb",
     "SELECT o, t FROM sa WHERE t <> 'x'MINUS SELECT o, t FROM sb", L"o", L"sa"},
    // A table value constructor after a set word.
    {L"SELECT o, t FROM sa MINUS VALUES (3, 'c')", "SELECT o, t FROM sa MINUS VALUES (3, 'c')", L"o", L"sa"},
    {L"SELECT o, t FROM sa minus\nvalues (3, 'c')", "SELECT o, t FROM sa minus\nvalues (3, 'c')", L"o", L"sa"},
    {L"SELECT o, t FROM sa UNION VALUES (3, 'z')", "SELECT o, t FROM sa UNION VALUES (3, 'z')", L"o", L"sa"},
    {L"SELECT o, t FROM sa INTERSECT VALUES (3, 'c')", "SELECT o, t FROM sa INTERSECT VALUES (3, 'c')", L"o", L"sa"},
    {L"SELECT o, t FROM sa EXCEPT VALUES (3, 'c')", "SELECT o, t FROM sa EXCEPT VALUES (3, 'c')", L"o", L"sa"},
    // A letter past ASCII that a locale folds into one of a set word's makes
    // a name: dotless i, long s.
    {L"SELECT id, o, t FROM sa un\u0131on", "SELECT id, o, t FROM sa un\xC4\xB1on", L"id", L"sa", true},
    {L"SELECT id, o, t FROM sa un\u0131on WHERE un\u0131on.o > 1",
     "SELECT id, o, t FROM sa un\xC4\xB1on WHERE un\xC4\xB1on.o > 1", L"id", L"sa", true},
    {L"SELECT id, o, t FROM sa minu\u017f", "SELECT id, o, t FROM sa minu\xC5\xBF", L"id", L"sa", true},
    {L"SELECT o, t FROM sa minu\u017f VALUES (3, 'c')", "SELECT o, t FROM sa minu\xC5\xBF VALUES (3, 'c')", L"o",
     L"sa", true},
    {L"SELECT id, o, t FROM sa \u0131ntersect", "SELECT id, o, t FROM sa \xC4\xB1ntersect", L"id", L"sa", true},
};

TEST_F(SetOperator, TheSessionsReadingDecidesWhetherAQueryJoinsSeveralSelects)
{
    SetW(m_clQueryValues.Value(L"p"), L"x");
    unsigned int nContext = 0;
    int anSeen[3] = {};
    // In the plain "C" locale (a host may set none) and in a UTF-8 one.
    CProcessLocale clLocale;
    for (const char* pszLocale : {"C", "C.UTF-8"})
        for (const bool bUTF8 : {true, false})
            for (const bool bOracle : {false, true}) {
                ASSERT_TRUE(clLocale.bSet(pszLocale)) << pszLocale;
                CHostConnectionDescription* pHost = HostIn(bUTF8);
                // The connection is open once a query ran on it.
                ASSERT_NE(RunOn(pHost, Context(++nContext), L"SELECT id FROM sa", {L"sa", L"sb", L"mm"}), nullptr);
                ASSERT_NO_FATAL_FAILURE(Mode(pHost, bOracle));
                for (const SCase& k : kCases) {
                    SCOPED_TRACE(Narrow(k.pszHost) + (bUTF8 ? " in UTF-8" : " in 1252") +
                                 (bOracle ? " under ORACLE" : "") + " in the locale " + pszLocale);
                    ASSERT_NO_FATAL_FAILURE(Fill());
                    const std::string strBefore = Tables();
                    Rows tabServer;
                    const eREADING e = ServerReading(k.pszServer, &tabServer);
                    anSeen[e]++;
                    EXPECT_EQ(Several(pHost, k.pszHost), e == SEVERAL) << "the server reads " << kapszReading[e];
                    if (e == REFUSED)
                        continue;
                    if (k.bPast1252 && !bUTF8) {
                        // A name the session cannot hold.
                        EXPECT_EQ(QueryRefusal(pHost, Context(++nContext), k.pszHost),
                                  static_cast<unsigned int>(ZTERR_CODE_PAGE))
                            << Report();
                        continue;
                    }
                    CHostContext* pc = Context(++nContext);
                    INATable* pi = RunOn(pHost, pc, k.pszHost, {L"sa", L"sb", L"mm"});
                    ASSERT_NE(pi, nullptr);
                    Sent();
                    EXPECT_EQ(Browse(pi, pc, k.pszItem, false), tabServer)
                        << Error(pi, pc) << ::testing::PrintToString(Sent());
                    EXPECT_EQ(Browse(pi, pc, k.pszItem, true), tabServer) << Error(pi, pc);
                    ASSERT_EQ(Read(pi, pc, k.pszItem, FIRST), 1) << Error(pi, pc);
                    const std::string strFirst = Value(pi, pc, k.pszItem);
                    PutItem(pi, pc, L"o", CInt(99));
                    Sent();
                    if (e == ONE) {
                        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                        EXPECT_EQ(First("SELECT o FROM " + Narrow(k.pszTable) + " WHERE id = " + strFirst), "99");
                        EXPECT_EQ(First("SELECT COUNT(*) FROM " + Narrow(k.pszTable) + " WHERE o = 99"), "1");
                    } else {
                        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
                        EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_NOT_OFFERED))
                            << Error(pi, pc);
                        for (const std::string& strSent : Sent())
                            EXPECT_EQ(strSent.compare(0, 7, "SELECT "), 0) << strSent;
                        EXPECT_EQ(Tables(), strBefore);
                    }
                }
            }
    ASSERT_TRUE(Admin("SET SESSION sql_mode = DEFAULT"));
    // Each reading met at least once.
    for (const int n : anSeen)
        EXPECT_GT(n, 0);
}

} // namespace
