// Literals and comparable column texts of a MySQL connection, checked by the
// server itself: each literal, selected alone, must give back the value it
// was written from.
#include "access/driver/NAConnectionDescription.h"
#include "common/text/TStringConcatAW.h"
#include "tests/support/ClientLibrary.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class CMySQLKindConnection : public CClosedConnection {
public:
    CMySQLKindConnection()
    {
        m_eDataSource = DS_MYSQL;
        m_nHostCodePage = 1252;
    }
};

// The host's description of one item, for the comparable texts.
class CServerItem : public CNAItemDescription {
public:
    CServerItem(eNA_ITEMTYPE eType, unsigned nSize)
    {
        m_eItemType = eType;
        m_nItemSize = nSize;
        m_nDimension = 1;
    }
};

class LiteralServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        std::string strError;
        ASSERT_TRUE(m_server.bConnect(true, strError)) << strError;
    }

    // The literal of a value, selected by the server.
    std::string Selected(const CAny& v, eNA_ITEMTYPE eDB = NA_IT_EMPTY, eNA_ITEMTYPE eKX = NA_IT_EMPTY)
    {
        CTStringConcatAW out;
        EXPECT_EQ(m_cnx.bConvertValueToString(nullptr, &out, &v, eDB, eKX), 1);
        const std::string strSQL = std::string("SELECT ") + out.pszGetA();
        std::vector<std::string> tab;
        std::string strError;
        EXPECT_TRUE(m_server.bList(strSQL, tab, strError)) << strError << " in " << strSQL;
        return tab.size() == 1 ? tab[0] : "(" + std::to_string(tab.size()) + " rows)";
    }

    CClientLibrary m_server;
    CMySQLKindConnection m_cnx;
};

void SetText(CAny& v, unsigned short nType, const char* psz)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValueFromANSI(psz);
}

TEST_F(LiteralServer, TextsComeBackWithTheirQuotesAndBackslashes)
{
    const char* const tab[] = {
        "O'Brien", "C:\\dir\\", "\\'", "'\\", "a\\nb", "''''", "\\\\", "it's 50%", "\\%_", "", " ", "x\"y",
    };
    for (const char* psz : tab) {
        CAny v;
        SetA(v, psz);
        EXPECT_EQ(Selected(v), psz);
        CAny w;
        SetW(w, std::wstring(psz, psz + std::strlen(psz)).c_str());
        EXPECT_EQ(Selected(w), psz);
        EXPECT_EQ(Selected(v, NA_IT_MEMOTEXTE), psz);
    }
}

TEST_F(LiteralServer, NumbersBooleansAndNull)
{
    CAny aV[8];
    Set(aV[0], TQTYPE_I4, -42);
    Set(aV[1], TQTYPE_I8, -9223372036854775807LL);
    Set(aV[2], TQTYPE_BOOL, 1);
    Set(aV[3], TQTYPE_BOOL, 0);
    Set(aV[4], TQTYPE_R8, 2.5);
    SetA(aV[5], "-1234.5678");
    SetA(aV[6], "12.5");
    aV[7].__SetType(TQTYPE_I4, 0);
    aV[7].SetNullFlag(true);
    const struct { eNA_ITEMTYPE eDB; const char* pszSelected; } tab[] = {
        {NA_IT_EMPTY, "-42"}, {NA_IT_EMPTY, "-9223372036854775807"}, {NA_IT_EMPTY, "1"}, {NA_IT_EMPTY, "0"},
        {NA_IT_EMPTY, "2.5"}, {NA_IT_DECIMAL, "-1234.5678"}, {NA_IT_I4, "12"}, {NA_IT_EMPTY, "NULL"},
    };
    for (size_t i = 0; i < sizeof tab / sizeof tab[0]; i++)
        EXPECT_EQ(Selected(aV[i], tab[i].eDB), tab[i].pszSelected) << "value " << i;
}

TEST_F(LiteralServer, DatesTimesAndDateTimes)
{
    CAny v;
    SetText(v, TQTYPE_DATEW, "20240301");
    EXPECT_EQ(Selected(v), "2024-03-01");
    SetText(v, TQTYPE_DATEA, "00000000");
    EXPECT_EQ(Selected(v), "0000-00-00");
    SetText(v, TQTYPE_TIMEW, "134500250");
    EXPECT_EQ(Selected(v), "13:45:00.250");
    const Bytes b = DateTimeBytes(2024, 3, 1, 13, 45, 0, 250);
    v.__SetType(TQTYPE_DATETIME, 0);
    v.pclGetTraitement()->SetValue(b.data());
    EXPECT_EQ(Selected(v), "2024-03-01 13:45:00.250");
    EXPECT_EQ(Selected(v, NA_IT_EMPTY, NA_IT_HEURE), "13:45:00.250");
    const Bytes z = DateTimeBytes(0, 0, 0, 12, 0, 0, 0);
    v.pclGetTraitement()->SetValue(z.data());
    EXPECT_EQ(Selected(v), "0000-00-00 12:00:00.000");
    // The server reads them as the same instants.
    CTStringConcatAW out;
    m_cnx.bConvertValueToString(nullptr, &out, &v, NA_IT_EMPTY, NA_IT_EMPTY);
    v.pclGetTraitement()->SetValue(b.data());
    m_cnx.bConvertValueToString(nullptr, &out, &v, NA_IT_EMPTY, NA_IT_EMPTY);
    std::vector<std::string> tab;
    std::string strError;
    ASSERT_TRUE(m_server.bList(std::string("SELECT CAST(") + out.pszGetA() + " AS DATETIME(3))", tab, strError))
        << strError;
    EXPECT_EQ(tab, std::vector<std::string>{"2024-03-01 13:45:00.250"});
}

TEST_F(LiteralServer, ComparableTextsOfStoredDatesAndTimes)
{
    std::string strError;
    ASSERT_TRUE(m_server.bExecute("CREATE TEMPORARY TABLE lit_cmp (d DATE, dt DATETIME(3), t TIME(3))", strError))
        << strError;
    ASSERT_TRUE(m_server.bExecute(
                    "INSERT INTO lit_cmp VALUES ('2024-03-01', '2024-03-01 13:45:07.250', '13:45:07.250')", strError))
        << strError;
    struct { const wchar_t* pszColumn; eNA_ITEMTYPE eType; unsigned nSize; const char* pszText; } const tab[] = {
        {L"d", NA_IT_DATE8, 9, "20240301"},
        {L"dt", NA_IT_DATETIME, 8, "20240301134507250"},
        {L"t", NA_IT_HEURE, 5, "1345"},
        {L"t", NA_IT_HEURE, 6, "13450"},
        {L"t", NA_IT_HEURE, 7, "134507"},
        {L"t", NA_IT_HEURE, 8, "1345072"},
        {L"t", NA_IT_HEURE, 9, "13450725"},
        {L"t", NA_IT_HEURE, 10, "134507250"},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.pszText);
        CServerItem it(st.eType, st.nSize);
        CTStringConcatAW out;
        EXPECT_EQ(m_cnx.bConvertExpressionToString(nullptr, &out, st.pszColumn, &it, nullptr), 1);
        std::vector<std::string> rows;
        ASSERT_TRUE(m_server.bList(std::string("SELECT ") + out.pszGetA() + " FROM lit_cmp", rows, strError))
            << strError;
        EXPECT_EQ(rows, std::vector<std::string>{st.pszText});
    }
    CServerItem itOther(NA_IT_I4, 4);
    CTStringConcatAW out;
    EXPECT_EQ(m_cnx.bConvertExpressionToString(nullptr, &out, L"d", &itOther, nullptr), 0);
    EXPECT_STREQ(out.pszGetA(), "d");
    CServerItem itOdd(NA_IT_HEURE, 11);
    EXPECT_EQ(m_cnx.bConvertExpressionToString(nullptr, &out, L"t", &itOdd, nullptr), 0);
    EXPECT_STREQ(out.pszGetA(), "t");
}

} // namespace
