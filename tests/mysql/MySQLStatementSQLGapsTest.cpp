// The MySQL direct SQL statement over the scripted client: YEAR values by
// the cell's type, dates longer than the short buffer, and crashes while the
// rest of a reply is drained.
#include "tests/support/ScriptedClient.h"

namespace {

// A YEAR becomes the first of January only in a date cell; a text cell
// keeps the four digits.
TEST_F(MySQLStatementSQLFake, AYearIsADateOnlyForADateCell)
{
    const struct {
        unsigned short nType;
        const char* pszExpected;
    } tab[] = {
        {TQTYPE_DSTRA, "2024"},
        {TQTYPE_DATEA, "20240101"},
        {TQTYPE_DATEW, "20240101"},
        {TQTYPE_DATETIME, "20240101000000000"},
    };
    for (const auto& t : tab) {
        m_clFake.tabReply.push_back(Reply({Rows({Field("y", MYSQL_TYPE_YEAR, 4)}, {{"2024"}})}));
        ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
        ASSERT_EQ(m_pStmt->bFetch(0), 1);
        EXPECT_EQ(CellText(0, t.nType), t.pszExpected) << "type " << t.nType;
    }
}

// A date text far longer than the short buffer loses its hyphens all the same.
TEST_F(MySQLStatementSQLFake, ALongDateTextLosesItsHyphens)
{
    std::string strValue, strExpected;
    for (int i = 0; i < 1000; i++) {
        strValue += "12-34-";
        strExpected += "1234";
    }
    m_clFake.tabReply.push_back(Reply({Rows({Field("d", MYSQL_TYPE_DATE, 6000)}, {{strValue}})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    ASSERT_EQ(m_pStmt->bFetch(0), 1);
    EXPECT_EQ(CellText(0, TQTYPE_DSTRA), strExpected);
}

// A crash in the client while the rest of a stored reply is read fails the
// statement (the first result was stored; the drain is the second call).
TEST_F(MySQLStatementSQLFake, ACrashWhileDrainingFailsTheStatement)
{
    for (const char* pszCall : {"next_result", "store_result"}) {
        m_clFake.tabCalls.clear();
        m_clFake.tabThrowingAtCall = {{pszCall, std::string(pszCall) == "next_result" ? 1 : 2}};
        m_clFake.tabReply.push_back(
            Reply({Rows({Field("1", 8, 1)}, {{"1"}}), Rows({Field("2", 8, 1)}, {{"2"}})}));
        m_pError->Reset();
        EXPECT_EQ(Run("SELECT 1; SELECT 2"), 0) << pszCall;
        EXPECT_EQ(m_pError->dwGetErrorId(), 23u) << pszCall;
    }
    m_clFake.tabThrowingAtCall.clear();
}

} // namespace
