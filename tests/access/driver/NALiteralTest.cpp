#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XTime.h"
#include "common/text/TStringConcatAW.h"
#include "common/text/XYString.h"
#include "tests/support/ProcessLocale.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cwchar>
#include <cstdlib>
#include <functional>
#include <string>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

class CLiteralConnection : public CClosedConnection {
public:
    explicit CLiteralConnection(int nKind = 5)
    {
        m_eDataSource = static_cast<eDATASOURCE>(nKind);
        m_nHostCodePage = 1252;
    }
    void SetBinaryForm(const wchar_t* pszPrefix, const wchar_t* pszSuffix)
    {
        m_csBinaryPrefix = pszPrefix;
        m_csBinarySuffix = pszSuffix;
    }
};

class Literals : public ::testing::Test {
protected:
    void SetUp() override { BindValueMachine(); }
};

// A value of a host type from its text (dates and times in the host's forms).
void SetText(CAny& v, unsigned short nType, const char* psz)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValueFromANSI(psz);
}

void SetDateTime(CAny& v, unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s, unsigned ms)
{
    const Bytes b = DateTimeBytes(y, mo, d, h, mi, s, ms);
    v.__SetType(TQTYPE_DATETIME, 0);
    v.pclGetTraitement()->SetValue(b.data());
}

void SetBytes(CAny& v, unsigned short nType, const void* p, unsigned n)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(p, n);
}

std::wstring Literal(CNAConnectionDescription& cnx, const CAny* pv, eNA_ITEMTYPE eDB = NA_IT_EMPTY,
                     eNA_ITEMTYPE eKX = NA_IT_EMPTY, int* pbResult = nullptr, CNAError* pError = nullptr)
{
    CTStringConcatAW out;
    out.Add(L"stale text", -1, 0);
    const int b = cnx.bConvertValueToString(pError, &out, pv, eDB, eKX);
    if (pbResult != nullptr)
        *pbResult = b;
    return out.pszGetW();
}

// Whether the first error's debug line holds the text.
bool DebugHas(CNAError& err, const wchar_t* psz)
{
    const wchar_t* pszDebug = err.pclGetXError()->pszGetDebugMessage();
    return pszDebug != nullptr && std::wstring(pszDebug).find(psz) != std::wstring::npos;
}

TEST_F(Literals, NullsBooleansAndNumbers)
{
    CLiteralConnection cnx;
    CAny v;
    EXPECT_EQ(Literal(cnx, nullptr), L"NULL");
    EXPECT_EQ(Literal(cnx, &v), L"NULL");
    for (unsigned short nType : {TQTYPE_I4, TQTYPE_DSTRA, TQTYPE_DATEW, TQTYPE_BIN, TQTYPE_BOOL}) {
        CAny n(nType);
        n.SetNullFlag(true);
        EXPECT_EQ(Literal(cnx, &n), L"NULL") << nType;
        EXPECT_EQ(Literal(cnx, &n, NA_IT_TEXTE), L"NULL") << nType;
    }
    Set(v, TQTYPE_BOOL, 1);
    EXPECT_EQ(Literal(cnx, &v), L"1");
    Set(v, TQTYPE_BOOL, 0);
    EXPECT_EQ(Literal(cnx, &v), L"0");
    Set(v, TQTYPE_I4, -42);
    EXPECT_EQ(Literal(cnx, &v), L"-42");
    Set(v, TQTYPE_UI8, 18446744073709551615ull);
    EXPECT_EQ(Literal(cnx, &v), L"18446744073709551615");
    Set(v, TQTYPE_R8, 2.5);
    EXPECT_EQ(Literal(cnx, &v), L"2.5");
    SetA(v, "12.5");
    EXPECT_EQ(Literal(cnx, &v, NA_IT_MONETAIRE), L"12.5");
    SetA(v, "-1234.5678");
    EXPECT_EQ(Literal(cnx, &v, NA_IT_DECIMAL), L"-1234.5678");
}

TEST_F(Literals, RealWrittenWithAPointWhateverTheHostText)
{
    // A locale whose numbers have a decimal comma, for the stand-in's text.
    std::wstring strHost, strLiteral, strLiteral4;
    {
        CProcessLocale clLocale;
        ASSERT_TRUE(clLocale.bSet("de_DE.UTF-8", LC_NUMERIC));
        CLiteralConnection cnx;
        CAny v;
        Set(v, TQTYPE_R8, 2.5);
        CAny text;
        v.pclGetTraitement()->Duplique(&text);
        text.__nCastTo(TQTYPE_DSTRW, nullptr, 1);
        strHost = TextW(text);
        strLiteral = Literal(cnx, &v);
        Set(v, TQTYPE_R4, -0.75f);
        strLiteral4 = Literal(cnx, &v);
    }
    EXPECT_EQ(strHost, L"2,5");
    EXPECT_EQ(strLiteral, L"2.5");
    EXPECT_EQ(strLiteral4, L"-0.75");
}

TEST_F(Literals, TextsAreQuotedAndEscaped)
{
    struct { int nKind; const char* psz; const wchar_t* pszLiteral; } const tab[] = {
        {5, "O'Brien", L"'O''Brien'"}, {0, "O'Brien", L"'O''Brien'"}, {5, "C:\\dir\\", L"'C:\\\\dir\\\\'"},
        {0, "C:\\dir\\", L"'C:\\dir\\'"}, {5, "\\'", L"'\\\\'''"}, {5, "", L"''"}, {5, "caf\xE9", L"'caf\u00E9'"},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.psz);
        CLiteralConnection cnx(st.nKind);
        CAny v;
        SetA(v, st.psz);
        EXPECT_EQ(Literal(cnx, &v), st.pszLiteral);
        CAny w;
        SetW(w, std::wstring(st.psz, st.psz + std::strlen(st.psz)).c_str());
        if (std::strchr(st.psz, '\xE9') == nullptr) {
            EXPECT_EQ(Literal(cnx, &w), st.pszLiteral);
        }
    }
    CLiteralConnection cnx2(2);
    CAny w;
    SetW(w, L"O'Brien");
    EXPECT_EQ(Literal(cnx2, &w), L"N'O''Brien'");
}

TEST_F(Literals, EmptyAndNulOnlyValues)
{
    CLiteralConnection cnx;
    CAny v;
    SetBytes(v, TQTYPE_CARA, "\0", 1);
    EXPECT_EQ(Literal(cnx, &v), L"''");
    SetBytes(v, TQTYPE_CARA, "x", 1);
    EXPECT_EQ(Literal(cnx, &v), L"'x'");
    const wchar_t cNul = 0;
    SetBytes(v, TQTYPE_CARW, &cNul, sizeof cNul);
    EXPECT_EQ(Literal(cnx, &v), L"''");
    SetBytes(v, TQTYPE_DSTRA, "\0\0\0", 3);
    EXPECT_EQ(Literal(cnx, &v), L"''");
    SetBytes(v, TQTYPE_DSTRA, "ab\0cd", 5);
    EXPECT_EQ(Literal(cnx, &v), L"'ab'");
    const wchar_t awz[] = {L'a', L'b', 0, 0};
    SetBytes(v, TQTYPE_DSTRW, awz, sizeof awz);
    EXPECT_EQ(Literal(cnx, &v), L"'ab'");
    SetW(v, L"");
    EXPECT_EQ(Literal(cnx, &v), L"''");
    SetBin(v, "");
    EXPECT_EQ(Literal(cnx, &v), L"''");
}

TEST_F(Literals, ValuesWithoutALiteralAreRefusedNamingThem)
{
    CLiteralConnection cnx;
    struct { const char* pszRow; unsigned short nType; double d; const wchar_t* pszNamed; } const tab[] = {
        {"NaN", TQTYPE_R8, std::nan(""), L"(value: NaN)"}, {"+inf", TQTYPE_R8, HUGE_VAL, L"(value: Inf)"},
        {"-inf", TQTYPE_R4, -HUGE_VAL, L"(value: -Inf)"}, {"array", TQTYPE_TABANY, 0, L"type 83 "},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.pszRow);
        CAny v;
        if (st.nType == TQTYPE_TABANY)
            v.__SetType(TQTYPE_TABANY, 0);
        else if (st.nType == TQTYPE_R4)
            Set(v, TQTYPE_R4, static_cast<float>(st.d));
        else
            Set(v, TQTYPE_R8, st.d);
        CNAError err;
        int b = 1;
        // Nothing is written: no bare word reaches the text.
        EXPECT_EQ(Literal(cnx, &v, NA_IT_EMPTY, NA_IT_EMPTY, &b, &err), L"");
        EXPECT_EQ(b, 0);
        EXPECT_EQ(err.dwGetErrorId(), static_cast<unsigned>(ZTERR_CONVERSION));
        const wchar_t* pszMessage = err.pclGetXError()->pszGetUserMessage();
        EXPECT_NE(std::wstring(pszMessage != nullptr ? pszMessage : L"").find(st.pszNamed), std::wstring::npos)
            << (pszMessage != nullptr ? std::string(pszMessage, pszMessage + wcslen(pszMessage)) : "");
    }
    // A finite real still goes.
    CAny v;
    Set(v, TQTYPE_R8, -1.5e300);
    EXPECT_EQ(Literal(cnx, &v), L"-1.5e+300");
}

TEST_F(Literals, BaseEscapingAlwaysClosesItsLiteral)
{
    CLiteralConnection cnx(0);
    CAny v;
    const wchar_t awz[] = {L'a', 0, L'\'', L'b'};
    SetBytes(v, TQTYPE_DSTRW, awz, sizeof awz);
    EXPECT_EQ(Literal(cnx, &v), L"'a'");
}

TEST_F(Literals, BinariesWithAndWithoutAHexadecimalForm)
{
    CLiteralConnection cnx;
    CAny v;
    SetBytes(v, TQTYPE_BIN, "A'B\0\xFF", 5);
    EXPECT_EQ(Literal(cnx, &v), L"'A''B'");  // the generic escaping stops at the NUL
    cnx.SetBinaryForm(L"X'", L"'");
    EXPECT_EQ(Literal(cnx, &v), L"X'41274200FF'");
    EXPECT_EQ(Literal(cnx, &v, NA_IT_BINAIRE), L"X'41274200FF'");
    SetBin(v, "");
    EXPECT_EQ(Literal(cnx, &v), L"X''");
    CLiteralConnection cnx4(4);
    cnx4.SetBinaryForm(L"0x", L"");
    EXPECT_EQ(Literal(cnx4, &v), L"''");
}

TEST_F(Literals, DatesTimesAndDateTimesOfMySQL)
{
    CLiteralConnection cnx;
    CAny v;
    struct { unsigned short nType; const char* psz; const wchar_t* pszLiteral; } const tab[] = {
        {TQTYPE_DATEW, "20240301", L"'2024-03-01'"}, {TQTYPE_DATEA, "20240301", L"'2024-03-01'"},
        {TQTYPE_DATEW, "00000000", L"'0000-00-00'"}, {TQTYPE_DATEW, "", L"NULL"},
        {TQTYPE_TIMEW, "134500250", L"'13:45:00.250'"}, {TQTYPE_TIMEA, "1345", L"'13:45:00.000'"},
        {TQTYPE_TIMEA, "235959999", L"'23:59:59.999'"},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.psz);
        SetText(v, st.nType, st.psz);
        int b = 0;
        EXPECT_EQ(Literal(cnx, &v, NA_IT_EMPTY, NA_IT_EMPTY, &b), st.pszLiteral);
        EXPECT_EQ(b, 1);
    }
    SetDateTime(v, 2024, 3, 1, 13, 45, 0, 250);
    EXPECT_EQ(Literal(cnx, &v), L"'2024-03-01 13:45:00.250'");
    EXPECT_EQ(Literal(cnx, &v, NA_IT_EMPTY, NA_IT_HEURE), L"'13:45:00.250'");
    SetDateTime(v, 0, 0, 0, 12, 0, 0, 0);
    EXPECT_EQ(Literal(cnx, &v), L"'0000-00-00 12:00:00.000'");
    SetDateTime(v, 0, 0, 0, 23, 59, 58, 7);
    EXPECT_EQ(Literal(cnx, &v), L"'0000-00-00 23:59:58.007'");
}

TEST_F(Literals, OdbcFormsOfKindsSevenAndEight)
{
    for (int nKind : {7, 8}) {
        SCOPED_TRACE(nKind);
        CLiteralConnection cnx(nKind);
        CAny v;
        SetText(v, TQTYPE_DATEW, "20240301");
        EXPECT_EQ(Literal(cnx, &v), L"{d '2024-03-01'}");
        SetText(v, TQTYPE_TIMEW, "134500250");
        EXPECT_EQ(Literal(cnx, &v), L"{t '13:45:00'}");
        SetDateTime(v, 2024, 3, 1, 13, 45, 0, 250);
        EXPECT_EQ(Literal(cnx, &v), L"{ts '2024-03-01 13:45:00.250'}");
        // A zero date is no MySQL form here: month and day become 1.
        SetText(v, TQTYPE_DATEW, "00000000");
        EXPECT_EQ(Literal(cnx, &v), L"{d '0000-01-01'}");
        // These kinds answer true whatever the text.
        SetText(v, TQTYPE_DATEW, "2024x301");
        CNAError err;
        int b = 0;
        Literal(cnx, &v, NA_IT_EMPTY, NA_IT_EMPTY, &b, &err);
        EXPECT_EQ(b, 1);
        EXPECT_EQ(err.dwGetErrorId(), static_cast<unsigned>(ZTERR_BAD_DATE_TIME));
    }
}

// Each literal form replaces whatever the output held before.
TEST_F(Literals, LiteralFormsWriteTheWholeOutput)
{
    CLiteralConnection cnx;
    CLiteralConnection cnxOdbc(7);
    CXTime clTime(2024, 3, 1, 13, 45, 0, 0);
    clTime.m_nMilli = 250;
    struct { const char* pszName; std::function<int(CTStringConcatAW*)> fn; const wchar_t* pszLiteral; } const tab[] = {
        {"time", [&](CTStringConcatAW* p) { return cnx._bTimeToString(nullptr, p, clTime, 0); }, L"'13:45:00.250'"},
        {"escaped time", [&](CTStringConcatAW* p) { return cnxOdbc._bTimeToString(nullptr, p, clTime, 1); },
         L"{t '13:45:00'}"},
        {"date", [&](CTStringConcatAW* p) { return cnx._bDateToString(nullptr, p, clTime, 0); }, L"'2024-03-01'"},
        {"escaped date-time", [&](CTStringConcatAW* p) { return cnx._bDateTimeToString(nullptr, p, clTime, 1); },
         L"{ts '2024-03-01 13:45:00.250'}"},
        {"date text", [&](CTStringConcatAW* p) { return cnx._bDateToString(nullptr, p, L"'x'", 1); }, L"{d 'x'}"},
        {"boolean", [&](CTStringConcatAW* p) { return cnx._bBoolToString(nullptr, p, 1); }, L"1"},
    };
    for (const auto& st : tab) {
        CTStringConcatAW out;
        out.Add(L"stale text", -1, 0);
        EXPECT_EQ(st.fn(&out), 1) << st.pszName;
        EXPECT_EQ(std::wstring(out.pszGetW()), st.pszLiteral) << st.pszName;
    }
}

TEST_F(Literals, UnreadableDatesAndTimesRaiseUserError43)
{
    CLiteralConnection cnx;
    struct { unsigned short nType; const char* psz; } const tab[] = {
        {TQTYPE_DATEW, "2024x301"}, {TQTYPE_TIMEW, "12ab"}, {TQTYPE_DATEA, "abcdefgh"},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.psz);
        CAny v;
        SetText(v, st.nType, st.psz);
        CNAError err;
        int b = 1;
        Literal(cnx, &v, NA_IT_EMPTY, NA_IT_EMPTY, &b, &err);
        EXPECT_EQ(b, 0);
        EXPECT_EQ(err.dwGetErrorId(), static_cast<unsigned>(ZTERR_BAD_DATE_TIME));
    }
}

TEST_F(Literals, ColumnTypeCastsTheValueFirst)
{
    CLiteralConnection cnx;
    CAny v;
    Set(v, TQTYPE_I4, 7);
    EXPECT_EQ(Literal(cnx, &v, NA_IT_TEXTE), L"'7'");
    SetA(v, "12");
    EXPECT_EQ(Literal(cnx, &v, NA_IT_I4), L"12");
    SetA(v, "20240301");
    EXPECT_EQ(Literal(cnx, &v, NA_IT_DATE8), L"'2024-03-01'");
    // A value that does not cast is written as it is, the error kept.
    SetA(v, "abc");
    CNAError err;
    EXPECT_EQ(Literal(cnx, &v, NA_IT_I4, NA_IT_EMPTY, nullptr, &err), L"'abc'");
    EXPECT_NE(err.dwGetErrorId(), 0u);
    EXPECT_TRUE(DebugHas(err, L"=1.16"));
}

TEST_F(Literals, NonStrictCastsDoNotNarrow)
{
    struct { unsigned short nFrom; long long llValue; eNA_ITEMTYPE eItem; int bStrict; unsigned short nAfter; } const tab[] = {
        {TQTYPE_I2, 5, NA_IT_I1, 0, TQTYPE_I2}, {TQTYPE_I2, 5, NA_IT_I1, 1, TQTYPE_I1},
        {TQTYPE_I4, 5, NA_IT_I2, 0, TQTYPE_I4}, {TQTYPE_I4, 5, NA_IT_R4, 0, TQTYPE_I4},
        {TQTYPE_I4, 5, NA_IT_I8, 0, TQTYPE_I8}, {TQTYPE_I8, 5, NA_IT_I4, 0, TQTYPE_I4},
        {TQTYPE_I8, -2147483647LL, NA_IT_I4, 0, TQTYPE_I4}, {TQTYPE_I8, -2147483648LL, NA_IT_I4, 0, TQTYPE_I8},
        {TQTYPE_I8, 2147483647LL, NA_IT_I4, 0, TQTYPE_I8}, {TQTYPE_I8, 3000000000LL, NA_IT_I4, 0, TQTYPE_I8},
        {TQTYPE_I8, 5, NA_IT_R8, 0, TQTYPE_I8}, {TQTYPE_I8, 5, NA_IT_UI4, 0, TQTYPE_UI4},
        {TQTYPE_I4, 5, NA_IT_TEXTE, 0, TQTYPE_DSTRA},
    };
    CLiteralConnection cnx;
    for (const auto& st : tab) {
        SCOPED_TRACE(std::to_string(st.nFrom) + " " + std::to_string(st.llValue) + " -> " + std::to_string(st.eItem));
        CAny v;
        if (st.nFrom == TQTYPE_I2)
            Set(v, st.nFrom, static_cast<short>(st.llValue));
        else if (st.nFrom == TQTYPE_I4)
            Set(v, st.nFrom, static_cast<int>(st.llValue));
        else
            Set(v, st.nFrom, st.llValue);
        EXPECT_EQ(cnx.bCastCAnyIntoDBType(nullptr, &v, st.eItem, NA_IT_EMPTY, st.bStrict), 1);
        EXPECT_EQ(v.nGetTypeCode(), st.nAfter);
    }
    CAny v;
    SetBin(v, "ab");
    EXPECT_EQ(cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_I4, NA_IT_EMPTY, 1), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_BIN);
    // Without an item type there is nothing to cast to: the value stays.
    Set(v, TQTYPE_I4, 5);
    EXPECT_EQ(cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_EMPTY, NA_IT_EMPTY, 1), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_I4);
    EXPECT_EQ(Get<int>(v), 5);
}

TEST_F(Literals, CastsToDatesAndTimes)
{
    CLiteralConnection cnx;
    CAny v;
    SetDateTime(v, 2024, 3, 1, 0, 0, 0, 0);
    EXPECT_EQ(cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_DATE8, NA_IT_EMPTY, 1), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_DATETIME);
    SetText(v, TQTYPE_TIMEW, "1200");
    v.SetFlags(TQFLAG_0400);
    EXPECT_EQ(cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_HEURE, NA_IT_EMPTY, 1), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_TIMEW);
    EXPECT_EQ(cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_DATE8, NA_IT_EMPTY, 1), 1);
    EXPECT_EQ(v.nGetType(), TQTYPE_DATEA);  // an empty date, flags cleared
    EXPECT_EQ(Text8(v), "");
    SetA(v, "20240301");
    EXPECT_EQ(cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_DATE8, NA_IT_EMPTY, 1), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_DATEA);
    EXPECT_EQ(Text8(v), "20240301");
    // A time for a time item is padded to four digits.
    SetA(v, "9");
    EXPECT_EQ(cnx.bCastCAnyIntoDBType(nullptr, &v, NA_IT_EMPTY, NA_IT_HEURE, 1), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_TIMEA);
    EXPECT_EQ(Text8(v).substr(0, 4), "9000");
}

TEST_F(Literals, FailedCastsNameTheirPoints)
{
    CLiteralConnection cnx;
    struct { unsigned short nType; eNA_ITEMTYPE eDB, eKX; const wchar_t* pszPoint; } const tab[] = {
        // An array of values has no text.
        {TQTYPE_TABANY, NA_IT_DATE8, NA_IT_EMPTY, L"=1.15"}, {TQTYPE_TABANY, NA_IT_EMPTY, NA_IT_HEURE, L"=1.14"},
        {TQTYPE_TABANY, NA_IT_DATETIME, NA_IT_HEURE, L"=1.14"}, {TQTYPE_DSTRA, NA_IT_I4, NA_IT_EMPTY, L"=1.16"},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.pszPoint);
        CAny v;
        if (st.nType == TQTYPE_DSTRA)
            SetA(v, "not a number");
        else
            v.__SetType(st.nType, 0);
        CNAError err;
        EXPECT_EQ(cnx.bCastCAnyIntoDBType(&err, &v, st.eDB, st.eKX, 1), 0);
        EXPECT_NE(err.dwGetErrorId(), 0u);
        EXPECT_TRUE(DebugHas(err, st.pszPoint)) << err.pszGetError();
        EXPECT_EQ(v.nGetTypeCode(), st.nType);  // the value is left as it was
    }
}

TEST_F(Literals, SmallTextHelpers)
{
    CLiteralConnection cnx;
    CAny v;
    Set(v, TQTYPE_I4, 42);
    CXYString<wchar_t> cl;
    EXPECT_EQ(cnx.bCopyString(nullptr, &cl, &v), 1);
    EXPECT_EQ(std::wstring(cl.pszGet()), L"42");

    struct { const wchar_t* psz; const wchar_t* pszOut; } const tab[] = {
        {L"123456789", L"12:34:56.789"}, {L"1234567", L"12:34:56.7"}, {L"123456", L"12:34:56"},
        {L"123", L"12:3"},               {L"", L""},                   {L"12345678901", L"12:34:56.789"},
    };
    for (const auto& st : tab) {
        CTStringConcatAW out;
        CNAConnectionDescription::s_bTimeToStringIncomplete(nullptr, &out, st.psz, L'.');
        EXPECT_EQ(std::wstring(out.pszGetW()), st.pszOut) << st.psz;
    }
    CTString clDate(L"2024-03/01 12:00:00.5");
    CNAConnectionDescription::s_DateStandardise(&clDate);
    EXPECT_EQ(std::wstring(clDate.pszGet()), L"202403011200005");
}

TEST_F(Literals, DefaultValuesFromTheCatalog)
{
    CLiteralConnection cnx;
    ItemPtr p = Item(NA_IT_I4, 4);
    CAny v;
    EXPECT_EQ(cnx.bConvertStringToDefaultValue(&v, nullptr, p.get(), nullptr), 1);
    EXPECT_TRUE(v.bIsNull());
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_I4);
    CAny w;
    EXPECT_EQ(cnx.bConvertStringToDefaultValue(&w, L"null", p.get(), nullptr), 1);
    EXPECT_TRUE(w.bIsNull());
    CAny e;
    EXPECT_EQ(cnx.bConvertStringToDefaultValue(&e, L"", p.get(), nullptr), 1);
    EXPECT_FALSE(e.bIsNull());
    CLiteralConnection cnx1(1);
    CAny e1;
    EXPECT_EQ(cnx1.bConvertStringToDefaultValue(&e1, L"", p.get(), nullptr), 1);
    EXPECT_TRUE(e1.bIsNull());
}

// Real defaults go through a cell of the process's driver; quoted ones lose
// their quotes and escapes.
TEST_F(Literals, RealDefaultValuesAreConverted)
{
    bInitLibrary(nullptr);
    class CCellDriver : public CNADriver {};
    CCellDriver* pDriver = new CCellDriver;
    CNADriver::s_pclDriver = pDriver;
    CLiteralConnection cnx;
    ItemPtr pInt = Item(NA_IT_I4, 4), pText = Item(NA_IT_TEXTE, 20);
    CAny v;
    EXPECT_EQ(cnx.bConvertStringToDefaultValue(&v, L"42", pInt.get(), nullptr), 1);
    EXPECT_FALSE(v.bIsNull());
    EXPECT_EQ(Literal(cnx, &v), L"42");
    CAny t;
    EXPECT_EQ(cnx.bConvertStringToDefaultValue(&t, L"'O''B\\r'", pText.get(), nullptr), 1);
    EXPECT_EQ(Literal(cnx, &t), L"'O''Br'");
    CNADriver::s_pclDriver = nullptr;
    delete pDriver;
}

} // namespace
