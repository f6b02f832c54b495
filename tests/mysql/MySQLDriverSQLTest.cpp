// The MySQL SQL interface on a scripted client: the fixed list of column
// types, the rows of a list when a fetch fails on the way, and the SHOW
// form a recent server falls back to when its catalogue list is refused.
#include "tests/support/ScriptedClient.h"

#include <string>
#include <utility>
#include <vector>

namespace {

std::wstring WholeText(const CAny& v)
{
    const Bytes tab = DataBytes(v);
    return std::wstring(reinterpret_cast<const wchar_t*>(tab.data()), tab.size() / sizeof(wchar_t));
}

TEST_F(MySQLStatementSQLFake, ColumnTypesAreTheThirtyFiveFixedLinesEachEndedByCRLF)
{
    const std::vector<std::pair<const wchar_t*, int>> tabType = {
        {L"bit", 1},           {L"tinyint", 2},        {L"tinyint unsigned", 2},   {L"smallint", 13},
        {L"smallint unsigned", 13}, {L"mediumint", 12}, {L"mediumint unsigned", 12}, {L"integer", 12},
        {L"integer unsigned", 12}, {L"int", 12},        {L"int unsigned", 12},      {L"bigint", 3},
        {L"bigint unsigned", 3}, {L"numeric", 10},      {L"decimal", 11},           {L"real", 15},
        {L"float", 15},        {L"double", 16},        {L"char", 9},               {L"varchar", 20},
        {L"long varchar", 7},  {L"text", 7},           {L"mediumtext", 7},         {L"tinyblob", 4},
        {L"mediumblob", 4},    {L"blob", 4},           {L"longblob", 4},           {L"long varbinary", 4},
        {L"enum", 20},         {L"set", 20},           {L"year", 13},              {L"date", 17},
        {L"time", 18},         {L"datetime", 19},      {L"timestamp", 19}};
    ASSERT_EQ(tabType.size(), 35u);
    std::wstring strWanted;
    for (const auto& t : tabType)
        strWanted = strWanted + t.first + L"\t" + std::to_wstring(t.second) + L"\r\n";
    CMySQLDriverSQL clSQL(&m_clDriver, m_pError);
    // An earlier error stays, and nothing is sent.
    m_pError->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, 9u, L"T");
    CAny v;
    EXPECT_EQ(clSQL.bGetColumnTypeList(&v, 0, 0), 1);
    EXPECT_FALSE(v.bIsNull());
    // The value holds the list and not one character more.
    EXPECT_EQ(WholeText(v), strWanted);
    EXPECT_EQ(m_pError->dwGetErrorId(), 9u);
    EXPECT_TRUE(m_clFake.tabQueries.empty());
}

TEST_F(MySQLStatementSQLFake, AListWhoseFetchFailsAnswersFailure)
{
    CMySQLDriverSQL clSQL(&m_clDriver, m_pError);
    const std::vector<std::vector<std::string>> tabRows = {{"a", "1"}, {"b", "2"}, {"c", "3"}};
    // Whole: the first column of each row, CR LF between rows.
    m_clFake.tabReply.push_back(Reply({Rows({Field("n", 253, 10), Field("x", 3, 11)}, tabRows)}));
    CAny v;
    EXPECT_EQ(clSQL._bGetList(&v, m_pCnx, L"SHOW TABLES", 1, 0), 1) << ErrorText();
    EXPECT_EQ(WholeText(v), L"a\r\nb\r\nc");
    // The second row's fetch crashes in the client: the list fails with
    // the rows read before.
    m_clFake.tabCalls.clear();
    m_clFake.tabThrowingAtCall = {{"fetch_row", 2}};
    m_clFake.tabReply.push_back(Reply({Rows({Field("n", 253, 10), Field("x", 3, 11)}, tabRows)}));
    m_pError->Reset();
    CAny w;
    EXPECT_EQ(clSQL._bGetList(&w, m_pCnx, L"SHOW TABLES", 1, 0), 0);
    EXPECT_NE(m_pError->dwGetErrorId(), 0u);
    EXPECT_EQ(WholeText(w), L"a");
    m_clFake.tabThrowingAtCall.clear();
}

} // namespace
