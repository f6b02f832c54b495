#include "common/values/monetaire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Signed 384-bit two's-complement integer, wide enough for every product
// below: the reference for every expected value. Division finds the
// quotient bit by bit through multiplication, a method the currency code
// does not use.
struct Big {
    uint32_t w[12] = {};

    static Big Of(long long v)
    {
        Big r;
        std::fill(r.w, r.w + 12, v < 0 ? ~0u : 0u);
        r.w[0] = uint32_t(v), r.w[1] = uint32_t(uint64_t(v) >> 32);
        return r;
    }
    static Big Pow2(int n) { Big r; r.w[n / 32] = 1u << (n % 32); return r; }
    bool neg() const { return w[11] >> 31; }
    Big Abs() const { return neg() ? -*this : *this; }
    int Bits() const  // of a magnitude
    {
        int n = 384;
        while (n > 0 && !(w[(n - 1) / 32] >> ((n - 1) % 32) & 1))
            --n;
        return n;
    }
    friend Big operator+(Big a, const Big& b)
    {
        uint64_t c = 0;
        for (int i = 0; i < 12; ++i, c >>= 32)
            a.w[i] = uint32_t(c += uint64_t(a.w[i]) + b.w[i]);
        return a;
    }
    friend Big operator-(const Big& a) { return Of(0) - a; }
    friend Big operator-(Big a, const Big& b)
    {
        int64_t c = 0;
        for (int i = 0; i < 12; ++i, c >>= 32)
            a.w[i] = uint32_t(c += int64_t(a.w[i]) - b.w[i]);
        return a;
    }
    friend Big operator*(const Big& a, const Big& b)
    {
        Big r;
        for (int i = 0; i < 12; ++i) {
            uint64_t c = 0;
            for (int j = 0; i + j < 12 && a.w[i] != 0; ++j, c >>= 32)
                r.w[i + j] = uint32_t(c += uint64_t(a.w[i]) * b.w[j] + r.w[i + j]);
        }
        return r;
    }
    friend bool operator<(const Big& a, const Big& b) { return (a - b).neg(); }  // no overflow at 384 bits
    friend bool operator==(const Big& a, const Big& b) { return std::memcmp(a.w, b.w, sizeof a.w) == 0; }
    friend int Cmp(const Big& a, const Big& b) { return a < b ? -1 : b < a ? 1 : 0; }
    // Truncated toward zero.
    friend Big operator/(const Big& a, const Big& b)
    {
        const Big ma = a.Abs(), mb = b.Abs();
        Big q;
        for (int bit = ma.Bits() - mb.Bits() + 1; bit >= 0; --bit)
            if (!(ma < (q + Pow2(bit)) * mb))
                q = q + Pow2(bit);
        return a.neg() != b.neg() ? -q : q;
    }
    friend Big operator%(const Big& a, const Big& b) { return a - (a / b) * b; }
    std::string Digits(int base) const
    {
        std::string s;
        for (Big v = Abs(); !(v == Big()); v = v / Of(base))
            s.insert(s.begin(), "0123456789ABCDEF"[(v % Of(base)).w[0]]);
        return (neg() ? "-" : "") + (s.empty() ? "0" : s);
    }
};

// Millionths written as "integer.fraction" with up to six decimals.
Big Mil(const std::string& s)
{
    Big r;
    int nDecimals = 0;
    const size_t dot = s.find('.');
    for (size_t i = s[0] == '-'; i < s.size(); ++i)
        if (i != dot)
            r = r * Big::Of(10) + Big::Of(s[i] - '0'), nDecimals += dot != std::string::npos && i > dot;
    for (; nDecimals < 6; ++nDecimals)
        r = r * Big::Of(10);
    return s[0] == '-' ? -r : r;
}

const Big kMax = Mil("604462909807314587.353087");
const Big kMin = Mil("-604462909807314587.353088");
bool InRange(const Big& v) { return !(v < kMin) && !(kMax < v); }
// Magnitude below 2^79: what a product or quotient must meet.
bool Fits(const Big& v) { return v.Abs() < Big::Pow2(79); }

// The two's-complement reading of the ten bytes, and v modulo 2^80 as them.
Big Val(const CMoney& c)
{
    Big r = Big::Of(reinterpret_cast<const unsigned char*>(&c)[9] & 0x80 ? -1 : 0);
    std::memcpy(r.w, &c, 10);
    return r;
}

CMoney Mon(const Big& v)
{
    CMoney c;
    std::memcpy(&c, v.w, 10);
    return c;
}

// Values that stress the word boundaries, plus random ones of every size.
std::vector<Big> Samples(unsigned nGraine, int nRandom)
{
    std::vector<Big> v = {Big(), Big::Of(1), Big::Of(-1), Big::Of(1000000), Big::Of(-1000000),
                          Big::Of(0xFFFF), Big::Of(0x10000), Big::Of(0xFFFFFFFFLL), Big::Of(0x100000000LL),
                          Big::Of(0xFFFFFFFFFFFFLL), Big::Pow2(64) - Big::Of(1), Big::Pow2(64),
                          -Big::Pow2(64), kMax, kMin, kMax - Big::Of(1), kMin + Big::Of(1)};
    std::mt19937 rng(nGraine);
    for (int i = 0; i < nRandom; ++i) {
        const int bits = int(rng() % 80);
        Big r;
        r.w[0] = rng(), r.w[1] = rng(), r.w[2] = rng() & 0xFFFF;
        r = r / Big::Pow2(80 - bits);
        v.push_back(rng() % 2 ? -r : r);
    }
    return v;
}

TEST(Monetaire, LayoutConstantsAndLimits)
{
    EXPECT_EQ(Val(gstMillion), Big::Of(1000000));
    EXPECT_EQ(Val(gstMoinsMillion), Big::Of(-1000000));
    EXPECT_EQ(Val(gstVersLong), Big::Of(65536));
    // Bytes 0-8 0x00 and byte 9 0x80; bytes 0-8 0xFF and byte 9 0x7F.
    CMoney c;
    SetMonetaireToMin(&c);
    EXPECT_EQ(Val(c), -Big::Pow2(79));
    SetMonetaireToMax(&c);
    EXPECT_EQ(Val(c), Big::Pow2(79) - Big::Of(1));
    EXPECT_TRUE(bMonetaireZero(&(c = Mon(Big()))));
    EXPECT_FALSE(bMonetaireZero(&(c = Mon(kMin))));
}

TEST(Monetaire, ParsesDecimalText)
{
    const struct { const wchar_t* text; const char* value; } cases[] = {  // value null: overflow
        {L"  12.5", "12.5"}, {L"-0.0000015", "-0.000001"},  // further digits dropped, not rounded
        {L"0.9999999", "0.999999"}, {L"1.2.3", "1.2"}, {L"\xFF0D" L"5", "-5"}, {L"\xFF0B" L"7x", "7"},
        {L"+.25", "0.25"}, {L"0042 7", "42"}, {L"-604462909807314587.353087", "-604462909807314587.353087"},
        // No digits: 0, whatever came before.
        {L"abc", "0"}, {L"", "0"}, {L"-", "0"}, {L"+-5", "0"}, {L"\t5", "0"}, {L".", "0"}, {nullptr, "0"},
        {L"604462909807314587.353088", nullptr}, {L"99999999999999999999999999999", nullptr},
        // The magnitude of -2^79 does not fit before its sign is put back.
        {L"-604462909807314587.353088", nullptr}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.text ? t.text : L"(null)");
        CMoney c = Mon(Big::Of(77));
        EXPECT_EQ(pstChaineVersMonetaire(&c, t.text), t.value ? &c : nullptr);
        if (t.value) {
            EXPECT_EQ(Val(c), Mil(t.value));
        }
    }
}

TEST(Monetaire, WritesDecimalTextWithinItsBuffer)
{
    wchar_t buf[40];
    const auto text = [&](const Big& v) {
        std::fill(buf, buf + 40, L'#');
        const CMoney c = Mon(v);
        EXPECT_EQ(pszMonetaireVersChaineC(buf, &c), buf);
        for (size_t i = wcslen(buf) + 1; i < 40; ++i)
            EXPECT_EQ(buf[i], L'#');
        return std::string(buf, buf + wcslen(buf));
    };
    // The longest text fills the 27 characters.
    EXPECT_EQ(text(kMin), "-604462909807314587.353088");

    // Every sample: the text is the exact decimal value, and it reads back.
    for (const Big& v : Samples(1, 300)) {
        std::string f = (v.Abs() % Big::Of(1000000)).Digits(10);
        f.insert(0, 6 - f.size(), '0');
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        const std::string expected =
            (v.neg() ? "-" : "") + (v.Abs() / Big::Of(1000000)).Digits(10) + (f.empty() ? "" : "." + f);
        ASSERT_EQ(text(v), expected);
        CMoney back;
        EXPECT_EQ(pstChaineVersMonetaire(&back, buf) != nullptr, !(v == kMin)) << expected;
        if (!(v == kMin)) {
            EXPECT_EQ(Val(back), v);
        }
    }
}

TEST(Monetaire, ArithmeticIsExactOrFails)
{
    // The operand may be the result; dividing by zero fails.
    CMoney a = Mon(Mil("1.75")), z = Mon(Big());
    ASSERT_NE(pstAddMonetaire(&a, &a), nullptr);
    EXPECT_EQ(Val(a), Mil("3.5"));
    ASSERT_NE(pstMulMonetaire(&a, &a), nullptr);
    EXPECT_EQ(Val(a), Mil("12.25"));
    ASSERT_NE(pstSubMonetaire(&a, &a), nullptr);
    EXPECT_TRUE(bMonetaireZero(&a));
    EXPECT_EQ(pstDivMonetaire(&(a = Mon(Mil("5"))), &z), nullptr);

    // -2^79 as a sum of two negatives is refused, as the difference of a
    // negative and a positive too; subtracting -2^79 is exact when it fits.
    // A failed sum leaves the wrapped 80-bit result. A product or quotient
    // (truncated toward zero) whose magnitude does not fit 79 bits fails and
    // leaves a as it was.
    const std::vector<Big> s = Samples(2, 35);
    const Big million = Big::Of(1000000);
    for (const Big& x : s)
        for (const Big& y : s) {
            const auto at = [&] { return x.Digits(10) + " and " + y.Digits(10); };  // only on failure
            const Big sum = x + y, dif = x - y, p = x * y / million;
            const CMoney b = Mon(y);
            a = Mon(x);
            EXPECT_EQ(pstAddMonetaire(&a, &b) != nullptr, InRange(sum) && !(x.neg() && y.neg() && sum == kMin)) << at();
            EXPECT_EQ(Val(a), Val(Mon(sum)));
            a = Mon(x);
            EXPECT_EQ(pstSubMonetaire(&a, &b) != nullptr, InRange(dif) && !(dif == kMin && x.neg() && Big() < y)) << at();
            EXPECT_EQ(Val(a), Val(Mon(dif)));
            a = Mon(x);
            CMoney* r = pstMulMonetaire(&a, &b);
            EXPECT_EQ(r != nullptr, Fits(p)) << at();
            EXPECT_EQ(Val(a), r ? p : x);
            if (y == Big())
                continue;
            const Big q = x * million / y;
            a = Mon(x);
            r = pstDivMonetaire(&a, &b);
            EXPECT_EQ(r != nullptr, Fits(q)) << at();
            EXPECT_EQ(Val(a), r ? q : x);
        }
}

TEST(Monetaire, WordMultiplyNegateAndStep)
{
    // Magnitudes times 10, or times a word plus a digit, keep the sign; a
    // result beyond 79 bits fails and changes nothing. Stepping wraps.
    for (const Big& x : Samples(4, 200)) {
        const Big t = x.Abs() * Big::Of(10), w = x.Abs() * Big::Of(65535) + Big::Of(9);
        CMoney a = Mon(x), b = Mon(x), n = Mon(x), m = Mon(x), up = Mon(x), down = Mon(x);
        ASSERT_EQ(bMul10Monetaire(&a), Fits(t)) << x.Digits(10);
        ASSERT_EQ(bMulMonetaireWord(&b, 65535, L'9'), Fits(w)) << x.Digits(10);
        EXPECT_EQ(Val(a), !Fits(t) ? x : x.neg() ? -t : t);
        EXPECT_EQ(Val(b), !Fits(w) ? x : x.neg() ? -w : w);
        NegMonetaire(&n);
        EXPECT_EQ(Val(n), Val(Mon(-x)));
        EXPECT_EQ(pstAbsMonetaire(&m) != nullptr, !(x == kMin));
        EXPECT_EQ(Val(m), Val(Mon(x.Abs())));
        EXPECT_TRUE(bIncrementeMonetaire(&up));
        EXPECT_TRUE(bDecrementeMonetaire(&down));
        EXPECT_EQ(Val(up), Val(Mon(x + Big::Of(1000000))));
        EXPECT_EQ(Val(down), Val(Mon(x - Big::Of(1000000))));
    }
    CMoney a = Mon(Big::Of(12));
    EXPECT_FALSE(bMulMonetaireWord(&a, 10, L'/'));
    EXPECT_EQ(Val(a), Big::Of(12));
}

TEST(Monetaire, ComparesAndOrdersKeys)
{
    const std::vector<Big> s = Samples(5, 40);
    for (const Big& x : s)
        for (const Big& y : s) {
            const CMoney a = Mon(x), b = Mon(y);
            unsigned char ka[10], kb[10];
            MonetaireVersCleKX(ka, &a);
            MonetaireVersCleKX(kb, &b);
            const int k = std::memcmp(ka, kb, 10);
            EXPECT_EQ(nCmpMonetaire(&a, &b), Cmp(x, y));
            EXPECT_EQ((k > 0) - (k < 0), Cmp(x, y));
        }
    const CMoney z = Mon(Big());
    EXPECT_EQ(nCmpMonetaire(nullptr, &z), 1);
    EXPECT_EQ(nCmpMonetaire(&z, nullptr), -1);  // null is the greater
    // Value bytes 9 down to 0, the sign bit flipped.
    const unsigned char expected[10] = {0x8A, 9, 8, 7, 6, 5, 4, 3, 2, 1};
    unsigned char kv[10];
    CMoney v;
    std::memcpy(&v, "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A", 10);
    MonetaireVersCleKX(kv, &v);
    EXPECT_EQ(std::memcmp(kv, expected, 10), 0);

    for (int n : {0, -1, 2147483647, -2147483647 - 1})
        for (int d : {-1, 0, 1}) {
            const CMoney c = Mon(Big::Of(n) * Big::Of(1000000) + Big::Of(d));
            EXPECT_EQ(nCmpMonetaireEtInt32(&c, n), d) << n;
        }
}

TEST(Monetaire, IntegerConversions)
{
    // To currency: null (a unchanged) when it does not fit.
    const long long top = 604462909807314587LL;
    for (long long n : {0LL, -7LL, 2147483647LL, -2147483648LL, top, -top, top + 1, -top - 1, LLONG_MIN}) {
        CMoney c = Mon(Big::Of(3));
        const bool fits = n >= -top && n <= top;
        EXPECT_EQ(pstTresLongVersMonetaire(&c, n) != nullptr, fits) << n;
        EXPECT_EQ(Val(c), fits ? Big::Of(n) * Big::Of(1000000) : Big::Of(3)) << n;
        EXPECT_TRUE(n < INT_MIN || n > INT_MAX ||
                    (pstInt32VersMonetaire(&c, int(n)) == &c && Val(c) == Big::Of(n) * Big::Of(1000000))) << n;
    }
    CMoney c = Mon(Big::Of(3));
    EXPECT_EQ(pstTresLongSansSigneVersMonetaire(&c, ~0ull), nullptr);
    EXPECT_EQ(Val(c), Big::Of(3));
    ASSERT_NE(pstTresLongSansSigneVersMonetaire(&c, top), nullptr);
    EXPECT_EQ(Val(c), Big::Of(top) * Big::Of(1000000));

    // From currency: the integer part, truncated toward zero.
    const struct { const char* value; long long whole; bool fitsInt; } cases[] = {
        {"2147483647.999999", 2147483647LL, true}, {"2147483648", 2147483648LL, false}, {"-0.999999", 0, true},
        {"-2147483648.5", -2147483648LL, true},   {"-3000000000", -3000000000LL, false},
        {"604462909807314587.353087", top, false}, {"-604462909807314587.353088", -top, false}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.value);
        const CMoney v = Mon(Mil(t.value));
        long long ll = 0;
        int n = 0;
        EXPECT_TRUE(bMonetaireVersTresLong(&v, &ll));
        EXPECT_EQ(ll, t.whole);
        // Int32: the low 32 bits, flagged when they do not hold the value.
        EXPECT_EQ(bMonetaireVersInt32(&v, &n), t.fitsInt);
        EXPECT_EQ(n, int(uint32_t(uint64_t(t.whole))));
    }
}

TEST(Monetaire, RealsConvertLikePrintfAndBack)
{
    // "%.6f" (the process runs in the C locale) read as millionths: ties
    // (7812.5 millionths and the like) to even, then doubles of every size.
    std::vector<double> ds = {0.0078125, 0.0234375, -0.0078125, 4.9e-324, 1e17, 1e15 + 0.3};
    std::mt19937 rng(6);
    for (int i = 0; i < 2000; ++i) {
        const uint64_t bits = (uint64_t(983 + rng() % 120) << 52) ^ (uint64_t(rng()) << 20) ^ rng() ^
                              (uint64_t(rng() % 2) << 63);
        ds.push_back(0);
        std::memcpy(&ds.back(), &bits, 8);
    }
    CMoney c;
    for (double d : ds) {
        char text[400];
        std::snprintf(text, sizeof text, "%.6f", d);
        const Big e = Mil(text);
        c = Mon(Big::Of(5));
        ASSERT_EQ(pstDoubleVersMonetaire(&c, d) != nullptr, Fits(e)) << d;
        EXPECT_EQ(Val(c), Fits(e) ? e : Big::Of(5)) << d;
    }
    for (double d : {std::nan(""), HUGE_VAL, -1e18}) {
        c = Mon(Big::Of(5));
        EXPECT_EQ(pstDoubleVersMonetaire(&c, d), nullptr) << d;
        EXPECT_EQ(Val(c), Big::Of(5));
    }

    // Back to the nearest double of the decimal value.
    const struct { const char* value; double d; } back[] = {
        {"0.1", 0.1}, {"1000000000000000.3", 1000000000000000.25},
        {"-604462909807314587.353088", -604462909807314587.353088}};
    for (const auto& t : back) {
        const CMoney v = Mon(Mil(t.value));
        volatile double got = dMonetaireVersDouble(&v);
        EXPECT_EQ(got, t.d) << t.value;
    }
}

TEST(Monetaire, HexadecimalAndOctalTexts)
{
    // The raw bits, 80 of them in hexadecimal and sign-extended to 81 in
    // octal, within their buffers.
    for (const Big& v : Samples(7, 200)) {
        const std::string h = (v.neg() ? v + Big::Pow2(80) : v).Digits(16);
        const std::string o = (v.neg() ? v + Big::Pow2(81) : v).Digits(8);
        ASSERT_LT(h.size(), MONETAIRE_TAILLE_CHAINE_HEXA);
        ASSERT_LT(o.size(), MONETAIRE_TAILLE_CHAINE_OCTALE);
        const CMoney c = Mon(v);
        wchar_t buf[40];
        std::fill(buf, buf + 40, L'#');
        pszMonetaireVersChaineOctale(buf, &c);
        ASSERT_EQ(std::wstring(buf), std::wstring(o.begin(), o.end()));
        EXPECT_EQ(buf[o.size() + 1], L'#');
        std::fill(buf, buf + 40, L'#');
        pszMonetaireVersChaineHexa(buf, &c);
        ASSERT_EQ(std::wstring(buf), std::wstring(h.begin(), h.end()));
        EXPECT_EQ(buf[h.size() + 1], L'#');
        CMoney back;
        ASSERT_EQ(pstChaineHexaVersMonetaire(&back, buf), &back);
        EXPECT_EQ(Val(back), v);
    }
    // Lower case is upper-cased in place; only the first 20 digits count; no digits give 0.
    std::wstring longer = L"  123456789abcdef0123456g", none = L"  xyz";
    CMoney c;
    pstChaineHexaVersMonetaire(&c, &longer[0]);
    EXPECT_EQ(Val(c).Digits(16), "123456789ABCDEF01234");
    EXPECT_EQ(longer, L"  123456789ABCDEF0123456G");
    pstChaineHexaVersMonetaire(&c, &none[0]);
    EXPECT_TRUE(bMonetaireZero(&c));
}

TEST(Monetaire, Rounding)
{
    CMoney c;
    EXPECT_EQ(pstArrMonetaire(&(c = Mon(Mil("2.5"))), -1), nullptr);
    EXPECT_EQ(Val(*pstEntMonetaire(&(c = Mon(Mil("2.5"))))), Mil("2"));
    EXPECT_EQ(Val(*pstEntMonetaire(&(c = Mon(Mil("-2.5"))))), Mil("-3"));
    EXPECT_EQ(pstEntMonetaire(&(c = Mon(kMin))), nullptr);
    EXPECT_EQ(Val(*pstDecMonetaire(&(c = Mon(Mil("2.5"))))), Mil("0.5"));
    EXPECT_EQ(Val(*pstDecMonetaire(&(c = Mon(Mil("-2.5"))))), Mil("0.5"));
    EXPECT_EQ(Val(*pstDecMonetaire(&(c = Mon(kMin)))), Mil("0.353088"));

    // Nearest (half away from zero), down and up, against exact integers;
    // only a rounded value outside the range fails (more than 5 decimals: as is).
    CMoney* (*const fn[3])(CMoney*, short) = {pstArrMonetaire, pstArrMonetaireInf, pstArrMonetaireSup};
    for (const Big& v : Samples(8, 100))
        for (short d = 0; d <= 7; ++d) {
            Big u = Big::Of(1);  // one unit of the d-th decimal
            for (int i = d; i < 6; ++i)
                u = u * Big::Of(10);
            const Big q = v / u, r = v - q * u;  // truncated; r has v's sign
            const Big fl = r.neg() ? (q - Big::Of(1)) * u : q * u;
            const Big ce = Big() < r ? (q + Big::Of(1)) * u : q * u;
            const Big expected[3] = {Cmp(r.Abs() * Big::Of(2), u) >= 0 ? (v.neg() ? fl : ce) : q * u, fl, ce};
            for (int k = 0; k < 3; ++k) {
                c = Mon(v);
                CMoney* res = fn[k](&c, d);
                ASSERT_EQ(res != nullptr, InRange(expected[k])) << v.Digits(10) << " " << d << " " << k;
                EXPECT_EQ(Val(c), res ? expected[k] : v);
            }
        }
}

}  // namespace
