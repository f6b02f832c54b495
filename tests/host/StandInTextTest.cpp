// Texts the stand-in host writes for decimals, currencies and date-times:
// a decimal keeps the digits of its scale, a currency drops its trailing
// zeros, a date-time is its seventeen digits; magnitudes around 32 and 64
// bits and beyond go the same way.
#include "common/values/AnyConvert.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The value read from its text as the type, then written as a wide text.
std::wstring Through(const wchar_t* psz, unsigned short nType)
{
    CAny v;
    SetW(v, psz);
    EXPECT_EQ(v.__nCastTo(nType, nullptr, 1), 0) << psz;
    EXPECT_EQ(v.__nCastTo(TQTYPE_PSTRW, nullptr, 1), 0) << psz;
    return TextW(v);
}

} // namespace

TEST(StandInText, DecimalsCurrenciesAndDateTimes)
{
    BindValueMachine();
    CNoLeak check;
    const struct {
        const wchar_t* pszIn;
        unsigned short nType;
        const wchar_t* pszOut;
    } cases[] = {
        {L"0", TQTYPE_DECIMAL, L"0"},
        {L"7", TQTYPE_DECIMAL, L"7"},
        {L"999999999", TQTYPE_DECIMAL, L"999999999"},
        {L"1000000000", TQTYPE_DECIMAL, L"1000000000"},
        {L"4294967295", TQTYPE_DECIMAL, L"4294967295"},
        {L"4294967296", TQTYPE_DECIMAL, L"4294967296"},
        {L"10000000000000000000", TQTYPE_DECIMAL, L"10000000000000000000"},
        {L"18446744073709551615", TQTYPE_DECIMAL, L"18446744073709551615"},
        {L"18446744073709551616", TQTYPE_DECIMAL, L"18446744073709551616"},
        {L"-12.340", TQTYPE_DECIMAL, L"-12.340"},
        {L"0.001", TQTYPE_DECIMAL, L"0.001"},
        {L"1000000000000000000000000000.0000000001", TQTYPE_DECIMAL, L"1000000000000000000000000000.0000000001"},
        {L"0", TQTYPE_CY, L"0"},
        {L"2", TQTYPE_CY, L"2"},
        {L"100", TQTYPE_CY, L"100"},
        {L"1.50", TQTYPE_CY, L"1.5"},
        {L"-0.000001", TQTYPE_CY, L"-0.000001"},
        {L"4294.967290", TQTYPE_CY, L"4294.96729"},
        {L"4294.967296", TQTYPE_CY, L"4294.967296"},
        {L"4295", TQTYPE_CY, L"4295"},
        {L"-922337203685.47758", TQTYPE_CY, L"-922337203685.47758"},
        {L"20240102030405006", TQTYPE_DATETIME, L"20240102030405006"},
        {L"00050709235959999", TQTYPE_DATETIME, L"00050709235959999"},
        {L"99991231000000000", TQTYPE_DATETIME, L"99991231000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Through(c.pszIn, c.nType), c.pszOut) << "type " << c.nType;
}
