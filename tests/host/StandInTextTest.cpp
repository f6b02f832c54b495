// Texts the stand-in host writes for decimals, currencies and date-times:
// a decimal keeps the digits of its scale, a currency drops its trailing
// zeros, a date-time is its seventeen digits; magnitudes around 32 and 64
// bits and beyond go the same way. Wide texts of integers, currencies and
// date-times are written on a short road of their own: they must be the
// 8-bit texts of the general road, character for character.
#include "common/values/AnyConvert.h"
#include "tests/support/AnyValue.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
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

// The value's wide text and its 8-bit text, side by side (the setter
// makes the value afresh for each).
template <class F>
void ExpectSameTexts(F fnSet)
{
    for (const unsigned short nWide : {TQTYPE_PSTRW, TQTYPE_DSTRW}) {
        CAny w, a;
        fnSet(w);
        fnSet(a);
        ASSERT_EQ(w.__nCastTo(nWide, nullptr, 1), 0);
        ASSERT_EQ(a.__nCastTo(TQTYPE_PSTRA, nullptr, 1), 0);
        const std::string strNarrow = Text8(a);
        EXPECT_EQ(TextW(w), std::wstring(strNarrow.begin(), strNarrow.end())) << "type " << a.nGetTypeCode();
    }
}

// A currency of ten bytes: the 64 low bits and the 16 high ones.
void SetMoney(CAny& v, std::int64_t llLow, std::uint16_t wHigh)
{
    unsigned char aby[10];
    std::memcpy(aby, &llLow, 8);
    std::memcpy(aby + 8, &wHigh, 2);
    v.__SetType(TQTYPE_CY, 0);
    v.pclGetTraitement()->SetValue(aby);
    v.SetFlags(0);
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

TEST(StandInText, WideTextsOfIntegersCurrenciesAndDateTimesAreThoseOfTheGeneralRoad)
{
    BindValueMachine();
    CNoLeak check;
    std::mt19937_64 random(39);
    // The ends of each width, around 32 bits, and random values of every size.
    std::vector<std::uint64_t> tabBits = {0, 1, 9, 10, 99, 100, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF,
                                          999999999, 1000000000, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu,
                                          0x100000000ull, 0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull,
                                          0xFFFFFFFFFFFFFFFFull};
    for (int i = 0; i < 300; i++)
        tabBits.push_back(random() >> (random() % 64));
    for (const std::uint64_t u : tabBits) {
        SCOPED_TRACE(u);
        ExpectSameTexts([&](CAny& v) { Set(v, TQTYPE_UI1, static_cast<std::uint8_t>(u)); });
        ExpectSameTexts([&](CAny& v) { Set(v, TQTYPE_UI2, static_cast<std::uint16_t>(u)); });
        ExpectSameTexts([&](CAny& v) { Set(v, TQTYPE_UI4, static_cast<std::uint32_t>(u)); });
        ExpectSameTexts([&](CAny& v) { Set(v, TQTYPE_UI8, u); });
        ExpectSameTexts([&](CAny& v) { Set(v, TQTYPE_I1, static_cast<std::int8_t>(u)); });
        ExpectSameTexts([&](CAny& v) { Set(v, TQTYPE_I2, static_cast<std::int16_t>(u)); });
        ExpectSameTexts([&](CAny& v) { Set(v, TQTYPE_I4, static_cast<std::int32_t>(u)); });
        ExpectSameTexts([&](CAny& v) { Set(v, TQTYPE_I8, static_cast<std::int64_t>(u)); });
        // Currencies of 64 bits, and wider ones on either side of them.
        const std::int64_t ll = static_cast<std::int64_t>(u);
        for (const std::uint16_t wHigh : {static_cast<std::uint16_t>(ll < 0 ? 0xFFFF : 0),
                                          static_cast<std::uint16_t>(ll < 0 ? 0 : 0xFFFF),
                                          static_cast<std::uint16_t>(0x1234)})
            ExpectSameTexts([&](CAny& v) { SetMoney(v, ll, wHigh); });
    }
    // Date-times of every field width.
    for (const auto& b : {DateTimeBytes(2024, 1, 2, 3, 4, 5, 6), DateTimeBytes(5, 7, 9, 23, 59, 59, 999),
                          DateTimeBytes(9999, 12, 31, 0, 0, 0, 0), DateTimeBytes(0, 0, 0, 0, 0, 0, 0)}) {
        ExpectSameTexts([&](CAny& v) {
            v.__SetType(TQTYPE_DATETIME, 0);
            v.pclGetTraitement()->SetValue(b.data());
            v.SetFlags(0);
        });
    }
}

TEST(StandInText, EightBitTextsWidenAlikeByPointerAndAsHostStrings)
{
    BindValueMachine();
    CNoLeak check;
    std::string strAll;
    for (int c = 1; c < 256; c++)
        strAll += static_cast<char>(c);
    for (const std::string& str : {strAll, std::string(), std::string("plain"), std::string("\x80\x9F\xA0\xFF")}) {
        for (const unsigned short nSource : {TQTYPE_DSTRA, TQTYPE_PSTRA}) {
            SCOPED_TRACE(testing::Message() << "type " << nSource << ", " << str.size() << " bytes");
            CAny clPointer, clString;
            for (CAny* p : {&clPointer, &clString}) {
                SetA(*p, str.c_str());
                if (nSource == TQTYPE_PSTRA) {
                    ASSERT_EQ(p->__nCastTo(TQTYPE_PSTRA, nullptr, 1), 0);
                }
            }
            ASSERT_EQ(clPointer.__nCastTo(TQTYPE_PSTRW, nullptr, 1), 0);
            ASSERT_EQ(clString.__nCastTo(TQTYPE_DSTRW, nullptr, 1), 0);
            EXPECT_EQ(TextW(clPointer), TextW(clString));
            EXPECT_EQ(TextW(clPointer).size(), str.size());
        }
    }
}
