// The stand-in value machine against exact references: texts read as the
// nearest double and single, reals of every exponent through their own text,
// reals to every integer width, divisions of integers, currency and decimals,
// 64-bit integers to reals. The references are the data files of
// tests/data/exact, made by make_exact_vectors.py beside them with Python's
// fractions and decimal.
#include "common/values/AnyConvert.h"
#include "common/values/ItemType.h"
#include "common/values/monetaire.h"
#include "tests/support/DataCases.h"
#include "tests/support/ValueCells.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

constexpr int kOverflow = HOSTVM_OVERFLOW;

// One conversion through the machine; the result area is released after
// its first bytes are copied out.
struct SResult {
    int nStatus;
    unsigned char aby[40];
};

SResult Convert(const void* pSource, unsigned char nSourceType, unsigned short nTarget)
{
    SResult r = {};
    r.nStatus = gpfnConvDepExt(pSource, nSourceType, r.aby, nTarget, 1, nullptr);
    unsigned char abyCopy[40];
    std::memcpy(abyCopy, r.aby, sizeof abyCopy);
    if (r.nStatus <= 99)
        gpfnFinConv(abyCopy, nTarget);
    return r;
}

template <class T>
T As(const unsigned char* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint64_t Bits(double d)
{
    return As<std::uint64_t>(reinterpret_cast<const unsigned char*>(&d));
}

std::uint32_t Bits(float f)
{
    return As<std::uint32_t>(reinterpret_cast<const unsigned char*>(&f));
}

// A text to a real, from a wide C string (the cell's form) or an 8-bit host string.
SResult TextTo(const char* psz, unsigned short nTarget, bool bWide)
{
    if (bWide) {
        const std::wstring w(psz, psz + std::strlen(psz));
        const wchar_t* p = w.c_str();
        return Convert(&p, TQTYPE_PSTRW, nTarget);
    }
    CAny v;
    SetA(v, psz);
    return Convert(v.pbyGetValeur(), TQTYPE_DSTRA, nTarget);
}

// The text of a value in a text type, read back into the value's own type.
template <class T>
T ThroughText(T x, unsigned short nType, unsigned short nTextType)
{
    CAny v;
    Set(v, nType, x);
    EXPECT_EQ(v.__nCastTo(nTextType, nullptr, 1), 0);
    EXPECT_EQ(v.__nCastTo(nType, nullptr, 1), 0);
    return Get<T>(v);
}

CMoney MoneyOf(const std::string& s)
{
    CMoney m;
    const std::wstring w(s.begin(), s.end());
    pstChaineVersMonetaire(&m, w.c_str());
    return m;
}

std::string MoneyText(const CMoney& m)
{
    wchar_t sz[32];
    pszMonetaireVersChaineC(sz, &m);
    const std::wstring w(sz);
    return std::string(w.begin(), w.end());
}

// An integer or currency operand from its text.
void SetOperand(CAny& v, unsigned char nType, const char* psz)
{
    if (nType == TQTYPE_CY)
        Set(v, TQTYPE_CY, MoneyOf(psz));
    else if (nType == TQTYPE_I4)
        Set(v, TQTYPE_I4, static_cast<std::int32_t>(std::strtoll(psz, nullptr, 10)));
    else
        Set(v, TQTYPE_I8, static_cast<std::int64_t>(std::strtoll(psz, nullptr, 10)));
}

// A decimal value made by the machine from its text.
void SetDecimal(CAny& v, const char* psz)
{
    const std::wstring w(psz, psz + std::strlen(psz));
    SetW(v, w.c_str());
    ASSERT_EQ(v.__nCastTo(TQTYPE_DECIMAL, nullptr, 1), 0) << psz;
}

}  // namespace

TEST(HostValueMachineExact, TextsReadAsTheNearestDoubleAndSingle)
{
    BindValueMachine();
    CNoLeak check;
    for (const SDataCase& row : ReadDataCases("exact/real_texts.txt", 5)) {
        for (bool bWide : {true, false}) {
            SCOPED_TRACE(testing::Message() << row.strWhere << ' ' << row.psz(0) << (bWide ? " (wide)" : " (8-bit)"));
            const SResult d = TextTo(row.psz(0), TQTYPE_R8, bWide);
            EXPECT_EQ(d.nStatus, row.b(1) ? 0 : kOverflow);
            if (row.b(1)) {
                EXPECT_EQ(As<std::uint64_t>(d.aby), row.hex(2));
            }
            const SResult f = TextTo(row.psz(0), TQTYPE_R4, bWide);
            EXPECT_EQ(f.nStatus, row.b(3) ? 0 : kOverflow);
            if (row.b(3)) {
                EXPECT_EQ(As<std::uint32_t>(f.aby), row.hex(4));
            }
        }
    }
}

// Currency from text keeps millionths, rounding the seventh decimal half away
// from zero, across the 64-bit digits and the 80-bit range.
TEST(HostValueMachineExact, CurrencyTextsRoundToMillionths)
{
    BindValueMachine();
    const struct { const char* pszText; int nStatus; const char* pszMoney; } rows[] = {
        {"-0.0000005", 0, "-0.000001"},
        {"0.0000004999", 0, "0"},
        {"123456789012.3456785", 0, "123456789012.345679"},
        {"-123456789012.3456784", 0, "-123456789012.345678"},
        {"18446744073709.551615", 0, "18446744073709.551615"},
        {"604462909807314587.353087", 0, "604462909807314587.353087"},
        {"-604462909807314587.353088", 0, "-604462909807314587.353088"},
        {"604462909807314587.353088", kOverflow, ""},
        {"1e6", 0, "1000000"},
        {"12.5e-7", 0, "0.000001"},
    };
    for (const auto& row : rows) {
        for (bool bWide : {true, false}) {
            SCOPED_TRACE(testing::Message() << row.pszText << (bWide ? " (wide)" : " (8-bit)"));
            const SResult r = TextTo(row.pszText, TQTYPE_CY, bWide);
            EXPECT_EQ(r.nStatus, row.nStatus);
            if (row.nStatus == 0) {
                EXPECT_EQ(MoneyText(As<CMoney>(r.aby)), row.pszMoney);
            }
        }
    }
}

TEST(HostValueMachineExact, TextsOfOtherFormsAreNotNumbers)
{
    BindValueMachine();
    for (const char* psz : {"", " ", "-", ".", "1e", "1e+", "--1", "1.2.3", "0x10", "inf", "nan", "1 2", "1,5"}) {
        EXPECT_EQ(TextTo(psz, TQTYPE_R8, true).nStatus, HOSTVM_NOT_A_NUMBER) << '"' << psz << '"';
        EXPECT_EQ(TextTo(psz, TQTYPE_R4, false).nStatus, HOSTVM_NOT_A_NUMBER) << '"' << psz << '"';
        EXPECT_EQ(TextTo(psz, TQTYPE_I8, true).nStatus, HOSTVM_NOT_A_NUMBER) << '"' << psz << '"';
    }
}

TEST(HostValueMachineExact, TextsFarBelowTheLastPlaceAreZeroDecimalsAndCurrencies)
{
    BindValueMachine();
    const std::string strZeros = "0." + std::string(200, '0') + "1";
    const SResult zero = TextTo("0", TQTYPE_CY, true);
    ASSERT_EQ(zero.nStatus, 0);
    for (const char* psz : {"20e-2061", "-0054E-615", "1e-9999", strZeros.c_str()}) {
        const SResult money = TextTo(psz, TQTYPE_CY, true);
        EXPECT_EQ(money.nStatus, 0) << psz;
        EXPECT_EQ(std::memcmp(money.aby, zero.aby, 10), 0) << psz;
        // A decimal is held by reference: read it back as a real.
        CAny v;
        SetDecimal(v, psz);
        ASSERT_EQ(v.__nCastTo(TQTYPE_R8, nullptr, 1), 0) << psz;
        EXPECT_EQ(Get<double>(v), 0.0) << psz;
    }
}

TEST(HostValueMachineExact, RealsOfEveryExponentSurviveTheirText)
{
    BindValueMachine();
    CNoLeak check;
    std::mt19937_64 random(20261206);
    // Every biased exponent of a double (subnormals at 0), a random mantissa and sign.
    for (std::uint64_t e = 0; e < 2047; ++e) {
        const std::uint64_t bits = (random() & 0x800FFFFFFFFFFFFFull) | (e << 52);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        for (unsigned short nText : {TQTYPE_DSTRW, TQTYPE_DSTRA})
            EXPECT_EQ(Bits(ThroughText(d, TQTYPE_R8, nText)), bits) << "exponent " << e << ", text type " << nText;
    }
    for (std::uint32_t e = 0; e < 255; ++e) {
        const std::uint32_t bits = (static_cast<std::uint32_t>(random()) & 0x807FFFFFu) | (e << 23);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        for (unsigned short nText : {TQTYPE_DSTRW, TQTYPE_DSTRA})
            EXPECT_EQ(Bits(ThroughText(f, TQTYPE_R4, nText)), bits) << "exponent " << e << ", text type " << nText;
    }
}

TEST(HostValueMachineExact, SinglesAreWrittenWithTheirOwnDigits)
{
    BindValueMachine();
    CAny v;
    Set(v, TQTYPE_R4, 0.1f);
    ASSERT_EQ(v.__nCastTo(TQTYPE_DSTRA, nullptr, 1), 0);
    EXPECT_EQ(Text8(v), "0.1");
    Set(v, TQTYPE_R8, 0.1);
    ASSERT_EQ(v.__nCastTo(TQTYPE_DSTRA, nullptr, 1), 0);
    EXPECT_EQ(Text8(v), "0.1");
    Set(v, TQTYPE_R8, static_cast<double>(0.1f));
    ASSERT_EQ(v.__nCastTo(TQTYPE_DSTRA, nullptr, 1), 0);
    EXPECT_EQ(Text8(v), "0.10000000149011612");
}

TEST(HostValueMachineExact, DoublesToSinglesRoundOnceWithinTheRange)
{
    BindValueMachine();
    const float fMax = std::numeric_limits<float>::max();
    const struct { double d; int nStatus; float f; } rows[] = {
        {0.1, 0, 0.1f},
        {static_cast<double>(fMax), 0, fMax},
        // Below the half step above the largest single, and at it.
        {static_cast<double>(fMax) * (1 + 0x1p-25), 0, fMax},
        {static_cast<double>(fMax) * (1 + 0x1p-24), kOverflow, 0},
        {-1e39, kOverflow, 0},
        {1e-50, kOverflow, 0},
        {0x1p-149, 0, 0x1p-149f},
        {-0.0, 0, -0.0f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.d));
        CAny v;
        Set(v, TQTYPE_R8, row.d);
        const SResult r = Convert(v.pbyGetValeur(), TQTYPE_R8, TQTYPE_R4);
        EXPECT_EQ(r.nStatus, row.nStatus);
        if (row.nStatus == 0) {
            EXPECT_EQ(As<std::uint32_t>(r.aby), Bits(row.f));
        }
    }
}

TEST(HostValueMachineExact, RealsToIntegersFromTheExactValue)
{
    BindValueMachine();
    for (const SDataCase& row : ReadDataCases("exact/real_to_integer.txt", 4)) {
        const auto nType = static_cast<unsigned char>(row.n(0));
        const std::uint64_t dBits = row.hex(1), uValue = row.hex(3);
        double d;
        std::memcpy(&d, &dBits, sizeof d);
        SCOPED_TRACE(testing::Message() << row.strWhere << ": type " << int(nType) << ", real "
                                        << testing::PrintToString(d));
        CAny v;
        Set(v, TQTYPE_R8, d);
        const SResult r = Convert(v.pbyGetValeur(), TQTYPE_R8, nType);
        EXPECT_EQ(r.nStatus, row.b(2) ? 0 : kOverflow);
        if (!row.b(2))
            continue;
        unsigned nSize = 0;
        CAny(nType).pclGetTraitement()->nGetDataSize(&nSize);
        EXPECT_EQ(std::memcmp(r.aby, &uValue, nSize), 0) << "expected " << uValue;
    }
}

TEST(HostValueMachineExact, IntegerQuotientsAreTheNearestDouble)
{
    BindValueMachine();
    for (const SDataCase& row : ReadDataCases("exact/integer_divisions.txt", 5)) {
        SCOPED_TRACE(row.strWhere);
        CAny a, b, r;
        Set(a, static_cast<unsigned char>(row.n(0)), row.hex(1));
        Set(b, static_cast<unsigned char>(row.n(2)), row.hex(3));
        ASSERT_EQ(nDivise(&a, &b, &r, 0), 0);
        EXPECT_EQ(r.nGetType(), TQTYPE_R8);
        EXPECT_EQ(Bits(Get<double>(r)), row.hex(4));
    }
}

TEST(HostValueMachineExact, CurrencyQuotientsAreTruncatedOnce)
{
    BindValueMachine();
    for (const SDataCase& row : ReadDataCases("exact/currency_divisions.txt", 6)) {
        SCOPED_TRACE(testing::Message() << row.strWhere << ": " << row.psz(1) << " / " << row.psz(3));
        CAny a, b, r;
        SetOperand(a, static_cast<unsigned char>(row.n(0)), row.psz(1));
        SetOperand(b, static_cast<unsigned char>(row.n(2)), row.psz(3));
        const int nStatus = nDivise(&a, &b, &r, 0);
        if (!row.b(4)) {
            EXPECT_EQ(nStatus, kOverflow);
            continue;
        }
        ASSERT_EQ(nStatus, 0);
        EXPECT_EQ(r.nGetType(), TQTYPE_CY);
        EXPECT_EQ(MoneyText(Get<CMoney>(r)), row.astrField[5]);
    }
}

TEST(HostValueMachineExact, DecimalQuotientsAreRoundedOnce)
{
    BindValueMachine();
    CNoLeak check;
    for (const SDataCase& row : ReadDataCases("exact/decimal_divisions.txt", 3)) {
        SCOPED_TRACE(testing::Message() << row.strWhere << ": " << row.psz(0) << " / " << row.psz(1));
        CAny a, b, r;
        SetDecimal(a, row.psz(0));
        SetDecimal(b, row.psz(1));
        const int nStatus = nDivise(&a, &b, &r, 0);
        if (row.astrField[2].empty()) {
            EXPECT_EQ(nStatus, kOverflow);
            continue;
        }
        ASSERT_EQ(nStatus, 0);
        EXPECT_EQ(r.nGetType(), TQTYPE_DECIMAL);
        ASSERT_EQ(r.__nCastTo(TQTYPE_DSTRA, nullptr, 1), 0);
        EXPECT_EQ(Text8(r), row.astrField[2]);
    }
}

TEST(HostValueMachineExact, DivisionsByZeroAreRefused)
{
    BindValueMachine();
    CNoLeak check;
    CAny a, zero, r;
    for (unsigned short nType : {TQTYPE_I4, TQTYPE_I8, TQTYPE_CY}) {
        SetOperand(a, static_cast<unsigned char>(nType), "5");
        SetOperand(zero, static_cast<unsigned char>(nType), "0");
        EXPECT_EQ(nDivise(&a, &zero, &r, 0), HOSTVM_DIVIDE_BY_ZERO) << "type " << nType;
    }
    SetDecimal(a, "5");
    SetDecimal(zero, "0.000");
    EXPECT_EQ(nDivise(&a, &zero, &r, 0), HOSTVM_DIVIDE_BY_ZERO);
}

TEST(HostValueMachineExact, SixtyFourBitIntegersRoundOnceToReals)
{
    BindValueMachine();
    for (const SDataCase& row : ReadDataCases("exact/integer_to_real.txt", 4)) {
        SCOPED_TRACE(row.strWhere);
        const auto nType = static_cast<unsigned char>(row.n(0));
        CAny v;
        Set(v, nType, row.hex(1));
        const SResult f = Convert(v.pbyGetValeur(), nType, TQTYPE_R4);
        ASSERT_EQ(f.nStatus, 0);
        EXPECT_EQ(As<std::uint32_t>(f.aby), row.hex(2));
        const SResult d = Convert(v.pbyGetValeur(), nType, TQTYPE_R8);
        ASSERT_EQ(d.nStatus, 0);
        EXPECT_EQ(As<std::uint64_t>(d.aby), row.hex(3));
    }
}

// The server's texts of FLOAT and DOUBLE columns at their extremes and with
// 17 digits, stored by a cell in a record buffer, bit for bit.
TEST(HostValueMachineExact, CellsKeepTheExtremesOfFloatAndDouble)
{
    BindValueMachine();
    CNoLeak check;
    CTestConnection cnx(1252, 65001);
    const char* const apsz[] = {"1.7976931348623157e308", "-1.7976931348623157e+308", "2.2250738585072014e-308",
                                "4.9406564584124654e-324", "3.40282347e+38", "-3.40282e38", "1.17549435e-38",
                                "1.4e-45", "0.10000000000000001", "9007199254740993", "1.150791976326441e-41",
                                "4.873328466134014e+89", "-0.000012345678901234567"};
    const std::vector<SDataCase> aTexts = ReadDataCases("exact/real_texts.txt", 5);
    for (const char* psz : apsz) {
        SCOPED_TRACE(psz);
        const SDataCase* pRow = nullptr;
        for (const SDataCase& row : aTexts)
            if (row.astrField[0] == psz)
                pRow = &row;
        ASSERT_NE(pRow, nullptr);
        ItemPtr itemD = Item(NA_IT_R8, 8);
        Bytes b;
        CCell d(nullptr, &cnx);
        BindBuffer(d, b, 8, itemD.get());
        ASSERT_EQ(d.bSetValueDB(psz, static_cast<unsigned>(std::strlen(psz)), 1252), 1);
        EXPECT_EQ(b, Of(pRow->hex(2)));
        if (!pRow->b(3))
            continue;
        ItemPtr itemF = Item(NA_IT_R4, 4);
        CCell f(nullptr, &cnx);
        BindBuffer(f, b, 4, itemF.get());
        ASSERT_EQ(f.bSetValueDB(psz, static_cast<unsigned>(std::strlen(psz)), 1252), 1);
        EXPECT_EQ(b, Of(static_cast<std::uint32_t>(pRow->hex(4))));
    }
}
