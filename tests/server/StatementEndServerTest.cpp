// Texts ending in ";" (with blanks and comments around it) on the private
// server, read as the session reads them in its default mode and under
// NO_BACKSLASH_ESCAPES, on UTF-8 and code page 1252 connections: host
// queries browsed and filtered, query locks, and row limits. Rows come
// from the server's answer to the same text written by hand; a lock is
// judged by another connection that cannot take the row.
#include "access/driver/NADriverSQL.h"
#include "access/sql/NACommand.h"
#include "access/statement/NAStatementSQL.h"
#include "tests/support/HostQuerySessions.h"
#include "tests/support/SearchObjects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class StatementEndServer : public HostQuerySessionTest {
protected:
    StatementEndServer() : HostQuerySessionTest("zt55end") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(HostQuerySessionTest::SetUp());
        ASSERT_TRUE(Admin("UPDATE t SET name = 'é' WHERE id IN (3, 9)"));
        ASSERT_TRUE(Admin("UPDATE t SET name = 'it''s /*' WHERE id = 12"));
    }
    // The first column of each row of a text run on the driver's connection.
    Rows DriverRows(CNAConnectionDescription* pCnx, const wchar_t* pszText)
    {
        CNAStatementSQL* pStatement = nullptr;
        Rows tab;
        if (!CNADriver::s_pclGetDriverSQL()->bExecute(m_pDriver->pclGetError(), &pStatement, pCnx, pszText, nullptr,
                                                      0))
            tab.push_back("(failed) " + Report());
        while (pStatement != nullptr && pStatement->bFetch(0) && !pStatement->bEndOfData() && tab.size() < 100) {
            CAny v;
            EXPECT_EQ(pStatement->bGetValue(&v, 0, 0), 1) << Report();
            tab.push_back(ValueText(v));
        }
        if (pStatement != nullptr)
            pStatement->nRelease();
        return tab;
    }
    // The formatted text of the text with a row limit of 2 ("" when none
    // is built).
    std::wstring Limited(CNAConnectionDescription* pCnx, const wchar_t* pszText)
    {
        CNACommand* pCommand = new CNACommand(m_pDriver->pclGetError(), pCnx);
        pCommand->AddRef();
        pCommand->bComplete(pszText, static_cast<unsigned int>(-1));
        pCommand->SetRowLimit(2, -1);
        const wchar_t* pszSQL = pCommand->pszGetFormatedSQLW(CNACommand::PTC_ALL);
        const std::wstring str = pszSQL != nullptr ? pszSQL : L"";
        pCommand->nRelease();
        return str;
    }
    // Whether another connection cannot take the row at once.
    bool Held(int nId)
    {
        std::string strError;
        const bool b = m_clOther.bExecute("SELECT id FROM t WHERE id = " + std::to_string(nId) + " FOR UPDATE NOWAIT",
                                          strError);
        return !b && strError.find("Lock wait timeout") != std::string::npos;
    }

    CClientLibrary m_clOther;
};

} // namespace

// A host query ending in ";" is browsed, filtered and browsed again: its
// rows are those of the same text on the server.
TEST_F(StatementEndServer, HostQueriesEndingInASemicolonReturnTheirRows)
{
    const wchar_t* const kTexts[] = {
        L"SELECT id, name FROM t WHERE n < 5;",
        L"SELECT id, name FROM t;",
        L"SELECT id, name, n FROM t WHERE name <> 'é' AND n > 20 ;  \n",
        L"SELECT id, name FROM t WHERE n > 3 ORDER BY n DESC;",
    };
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        for (const wchar_t* pszText : kTexts) {
            SCOPED_TRACE(UTF8Of(pszText));
            const std::string strStatement = UTF8Of(std::wstring(pszText).substr(0, wcscspn(pszText, L";")));
            CNATable* p = RunOn(pszText, pHost);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(Walk(p, L"id", true), Sorted(List(UTF8Of(pszText))));
            EXPECT_EQ(Walk(p, L"name", false, false, 0, L"id").size(), List(UTF8Of(pszText)).size());
            long long llCount = -1;
            EXPECT_EQ(Access(p)->bHNbEnr(&llCount, 0x10, 0), 1) << DataError(p);
            EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM (" + strStatement + ") q"));
            CAny clLow, clHigh;
            SetAs<int>(clLow, TQTYPE_I4, 5);
            SetAs<int>(clHigh, TQTYPE_I4, 20);
            ASSERT_EQ(Access(p)->bHFiltre(L"id", &clLow, 1, &clHigh, 1, nullptr), 1) << DataError(p);
            EXPECT_EQ(Walk(p, L"id", true, false, CNADataAccess::WPF_CONTINUE),
                      List("SELECT id FROM (" + strStatement + ") q WHERE id BETWEEN 5 AND 20 ORDER BY id"));
        }
    }
}

// A lock text with a final ";" holds its rows; one the session reads as
// more than one statement, or as ending inside a comment, is refused
// before anything is sent.
TEST_F(StatementEndServer, QueryLocksReadTheTextAsTheSessionDoes)
{
    struct Case {
        const wchar_t* pszText;
        bool bHeldDefault; // false: refused
        bool bHeldNoBackslash;
    } const cases[] = {
        {L"SELECT * FROM t WHERE id = 7;", true, true},
        {L"SELECT * FROM t WHERE id = 7; ", true, true},
        {L"SELECT * FROM t WHERE id = 7; -- note", true, true},
        {L"SELECT * FROM t WHERE id = 7 /* a */ ;\n# b", true, true},
        {L"SELECT * FROM t WHERE id = 7 AND name <> 'x\\' -- ';", true, true},
        {L"SELECT * FROM t WHERE id = 7; SELECT 1", false, false},
        {L"SELECT * FROM t WHERE id = 7 AND name <> 'a\\' /* '", true, false},
        {L"SELECT * FROM t WHERE id = 7 AND name <> 'x\\' AND '/*' <> ''", false, true},
        {L"SELECT * FROM t WHERE id = 7 AND name <> 'é\\'; DO 1; '", true, false},
    };
    std::string strError;
    ASSERT_TRUE(m_clOther.bConnect(true, strError)) << strError;
    ASSERT_TRUE(m_clOther.bExecute("USE `" + m_strDatabase + "`", strError)) << strError;
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        const int nCnx = Open(st.bUTF8 ? m_pHost : HostOn(L"ZT Unicode Support=0", L"zt1252"));
        int nStmt = -1;
        ASSERT_EQ(m_piSQL->bExecute(&nStmt, nCnx, ModeText(st.bNoBackslash), nullptr, 0), 1) << Report();
        for (const Case& k : cases) {
            SCOPED_TRACE(UTF8Of(k.pszText));
            int nTransaction = 0;
            ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nCnx, 0), 1) << Report();
            Sent();
            const bool bHeld = st.bNoBackslash ? k.bHeldNoBackslash : k.bHeldDefault;
            const int bLocked = m_piSQL->bSQLBloqueRequete(nCnx, k.pszText, 0);
            if (bHeld) {
                EXPECT_EQ(bLocked, 1) << Report();
                EXPECT_TRUE(Held(7)) << "the row is held";
                EXPECT_FALSE(Held(14)) << "only the row of the condition";
            } else {
                EXPECT_EQ(bLocked, 0);
                EXPECT_EQ(m_piSQL->piGetLastError()->dwGetErrorId(),
                          static_cast<unsigned int>(ZTERR_EXPRESSION_REFUSED));
                EXPECT_TRUE(Sent().empty());
                EXPECT_FALSE(Held(7));
            }
            ASSERT_EQ(m_piSQL->bTrsRollBack(nCnx, 0, 0), 1) << Report();
            EXPECT_FALSE(Held(7)) << "free after the roll-back";
        }
    }
}

// A row limit is never after a final ";" nor inside a comment of the text
// as the session reads it: the rows are those of the text with its limit
// written by hand.
TEST_F(StatementEndServer, RowLimitsEndTheStatementTheSessionReads)
{
    struct Case {
        int nMode; // 0 default, 1 NO_BACKSLASH_ESCAPES, 2 both
        const wchar_t* pszText;
        const char* pszHand;
    } const cases[] = {
        {0, L"SELECT id FROM t WHERE name <> 'it\\'s /*' ORDER BY n -- c",
         "SELECT id FROM t WHERE name <> 'it\\'s /*' ORDER BY n LIMIT 2"},
        {1, L"SELECT id FROM t WHERE name <> 'x\\' AND '-- ' <> '' ORDER BY n # c",
         "SELECT id FROM t WHERE name <> 'x\\' AND '-- ' <> '' ORDER BY n LIMIT 2"},
        {2, L"SELECT id FROM t WHERE name <> 'é' ORDER BY n;", "SELECT id FROM t WHERE name <> 'é' ORDER BY n LIMIT 2"},
        {2, L"SELECT id FROM t ORDER BY n DESC ; /* last */ -- note", "SELECT id FROM t ORDER BY n DESC LIMIT 2"},
    };
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Session(st);
        CNAConnectionDescription* pCnx = m_pDriver->_pclFindConnection(pHost);
        ASSERT_NE(pCnx, nullptr);
        for (const Case& k : cases) {
            if (k.nMode != 2 && (k.nMode == 1) != st.bNoBackslash)
                continue;
            SCOPED_TRACE(UTF8Of(k.pszText));
            const std::wstring strSQL = Limited(pCnx, k.pszText);
            ASSERT_FALSE(strSQL.empty());
            const Rows tabHand = List(k.pszHand);
            EXPECT_EQ(tabHand.size(), 2u);
            EXPECT_EQ(DriverRows(pCnx, strSQL.c_str()), tabHand) << UTF8Of(strSQL.c_str());
        }
        pCnx->nRelease();
    }
}

// An appended limit or lock never joins the text's last characters into a
// comment: a text ending in minus signs gets it without a blank, and the
// server refuses the whole as it refuses the text. Form feeds and vertical
// tabs are blanks; a "/*! */" run of code ends at its "*/".
TEST_F(StatementEndServer, AnAppendedClauseNeverMakesACommentOfTheTextsEnd)
{
    std::string strError;
    ASSERT_TRUE(m_clOther.bConnect(true, strError)) << strError;
    ASSERT_TRUE(m_clOther.bExecute("USE `" + m_strDatabase + "`", strError)) << strError;
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Session(st);
        CNAConnectionDescription* pCnx = m_pDriver->_pclFindConnection(pHost);
        ASSERT_NE(pCnx, nullptr);
        // Row limits: the rows of the text with its limit written by hand,
        // or the server's refusal of the text itself.
        struct Limit {
            const wchar_t* pszText;
            const char* pszHand; // null: the server refuses the text
        } const limits[] = {
            {L"SELECT id FROM t --#", nullptr},
            {L"SELECT id FROM t WHERE n > 1-", nullptr},
            {L"SELECT id FROM t ORDER BY n\f;\v", "SELECT id FROM t ORDER BY n LIMIT 2"},
            {L"SELECT id /*! +0 */*2 FROM t ORDER BY n -- note", "SELECT id FROM t ORDER BY n LIMIT 2"},
            {L"SELECT id FROM t WHERE n > 3 /*M! AND n < 9 */ ORDER BY n DESC # c",
             "SELECT id FROM t WHERE n > 3 AND n < 9 ORDER BY n DESC LIMIT 2"},
        };
        for (const Limit& k : limits) {
            SCOPED_TRACE(UTF8Of(k.pszText));
            const std::wstring strSQL = Limited(pCnx, k.pszText);
            ASSERT_FALSE(strSQL.empty());
            const Rows tabDriver = DriverRows(pCnx, strSQL.c_str());
            if (k.pszHand == nullptr) {
                EXPECT_FALSE(m_clOther.bExecute(Narrow(k.pszText), strError)) << "the text itself is refused";
                ASSERT_EQ(tabDriver.size(), 1u) << UTF8Of(strSQL.c_str());
                EXPECT_NE(tabDriver[0].find("(failed)"), std::string::npos) << UTF8Of(strSQL.c_str());
                EXPECT_NE(tabDriver[0].find("1064"), std::string::npos) << tabDriver[0];
            } else {
                const Rows tabHand = List(k.pszHand);
                EXPECT_EQ(tabHand.size(), 2u);
                EXPECT_EQ(tabDriver, tabHand) << UTF8Of(strSQL.c_str());
            }
        }
        pCnx->nRelease();
        // Locks: held when the text is one statement, refused by the
        // server (and nothing held) when it ends in minus signs.
        struct Lock {
            const wchar_t* pszText;
            bool bHeld;
        } const locks[] = {
            {L"SELECT * FROM t WHERE id = 7 --#", false},
            {L"SELECT * FROM t WHERE id = 7\f;\v", true},
            {L"SELECT * FROM t WHERE id = 7 /*! AND n > 0 */ -- c", true},
        };
        const int nCnx = Open(pHost);
        int nStmt = -1;
        ASSERT_EQ(m_piSQL->bExecute(&nStmt, nCnx, ModeText(st.bNoBackslash), nullptr, 0), 1) << Report();
        for (const Lock& k : locks) {
            SCOPED_TRACE(UTF8Of(k.pszText));
            int nTransaction = 0;
            ASSERT_EQ(m_piSQL->bTrsBegin(&nTransaction, nCnx, 0), 1) << Report();
            const int bLocked = m_piSQL->bSQLBloqueRequete(nCnx, k.pszText, 0);
            EXPECT_EQ(bLocked, k.bHeld ? 1 : 0) << Report();
            if (!k.bHeld) {
                EXPECT_NE(Report().find("1064"), std::string::npos) << Report();
            }
            EXPECT_EQ(Held(7), k.bHeld);
            EXPECT_FALSE(Held(14)) << "only the row of the condition";
            ASSERT_EQ(m_piSQL->bTrsRollBack(nCnx, 0, 0), 1) << Report();
        }
    }
}

// The host's own query text is read by the host's rules in either mode of
// the session: a backslash ending a literal, or a quote or back quote in a
// bracketed name, opens nothing, and a later "#", "-- " or "/*" inside a
// literal is no comment. The rows are those of the same condition written
// by hand.
TEST_F(StatementEndServer, HostTextIsReadByTheHostsRules)
{
    const std::string strBackslash = "CONCAT('a', CHAR(92))";
    struct Query {
        const wchar_t* pszText;
        const char* pszHand; // the ids, in any order
    } const queries[] = {
        {L"SELECT id, name, n FROM t WHERE name <> 'a\\' OR name = '#' ORDER BY n LIMIT 5",
         "SELECT id FROM t ORDER BY n LIMIT 5"},
        {L"SELECT id, name FROM t WHERE name <> 'a\\';", "SELECT id FROM t"},
        {L"SELECT id, name AS [it's] FROM t WHERE name = 'a\\' OR n > 25 ORDER BY n", "SELECT id FROM t WHERE n > 25"},
        {L"SELECT id, name AS [a`b] FROM t WHERE name LIKE 'n1%' ESCAPE '\\' OR name = '-- x' ORDER BY id",
         "SELECT id FROM t WHERE name LIKE 'n1%'"},
        {L"SELECT id, name AS [x\"y] FROM t WHERE name <> '/* \\' GROUP BY id, name HAVING id > 20 ORDER BY id",
         "SELECT id FROM t WHERE id > 20"},
    };
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        for (const Query& k : queries) {
            SCOPED_TRACE(UTF8Of(k.pszText));
            CNATable* p = RunOn(k.pszText, pHost);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(Walk(p, L"id", true), List("SELECT id FROM (" + std::string(k.pszHand) + ") q ORDER BY id"))
                << DataError(p);
        }
        // Writes: each changes the rows of its condition written by hand.
        ASSERT_TRUE(Admin("UPDATE t SET name = CONCAT('n', n % 5)"));
        const Rows tabHigh = List("SELECT id FROM t WHERE n > 25 ORDER BY id");
        ASSERT_EQ(tabHigh.size(), 5u);
        int b = 0;
        Run(L"UPDATE t SET name = 'a\\', n = n WHERE name = '#' OR n > 25", CNADataAccess::QM_MAY_MODIFY, &b, pHost);
        EXPECT_EQ(b, 1) << Report();
        EXPECT_EQ(List("SELECT id FROM t WHERE name = " + strBackslash + " ORDER BY id"), tabHigh);
        const Rows tabKept = List("SELECT id FROM t WHERE n <= 27 ORDER BY id");
        Run(L"DELETE FROM t WHERE name = 'x\\' OR name = '# x' OR n > 27", CNADataAccess::QM_MAY_MODIFY, &b, pHost);
        EXPECT_EQ(b, 1) << Report();
        EXPECT_EQ(List("SELECT id FROM t ORDER BY id"), tabKept);
        // The rows again for the next session.
        ASSERT_TRUE(Admin("DELETE FROM t"));
        ASSERT_TRUE(Admin(RowsOfT()));
    }
}

// A search on a computed item of a host query writes the item's expression
// with the host's literals as literals of the session: a literal ending in
// a backslash finds the rows of the same condition written by hand.
TEST_F(StatementEndServer, AComputedItemsLiteralsAreTheSessions)
{
    const Rows tabHand = List("SELECT id FROM t WHERE n < 9 AND CONCAT(name, 'a', CHAR(92)) = "
                              "CONCAT('n1a', CHAR(92)) ORDER BY id");
    ASSERT_FALSE(tabHand.empty());
    for (const SSession& st : kSessions) {
        SCOPED_TRACE(st.pszName);
        CHostConnectionDescription* pHost = Use(st);
        CNATable* p = RunOn(L"SELECT id, CONCAT(name, 'a\\') AS x FROM t WHERE n < 9", pHost);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(Walk(p, L"x", true).size(), 8u) << DataError(p);
        CAny v;
        SetW(v, L"n1a\\");
        Rows tab;
        int bRead = Access(p)->bHRecherche(L"x", &v, 1, 1, kHostQueryNoLock, nullptr, 1, 0);
        int bFound = 0, bInRange = 0;
        while (bRead == 1 && p->bEvalHTrouve(Context(), L"x", &bFound, &bInRange) && bFound && tab.size() < 50) {
            tab.push_back(Value(Access(p), L"id"));
            bRead = Access(p)->bHLitxxx(L"x", NA_PARSE_NEXT, 1, kHostQueryNoLock, nullptr, 0);
        }
        EXPECT_EQ(bRead, 1) << DataError(p);
        EXPECT_EQ(tab, tabHand);
    }
}
