#include "common/values/monetaire.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <locale.h>
#include <random>
#include <string>
#include <vector>

namespace {

// Signed integer of any size (magnitude in 32-bit limbs), the reference for
// every expected value. Division finds the quotient bit by bit through
// multiplication, a method the currency code does not use.
struct Big {
    bool neg = false;
    std::vector<uint32_t> m; // little-endian, no top zero limbs

    void Trim()
    {
        while (!m.empty() && m.back() == 0)
            m.pop_back();
        if (m.empty())
            neg = false;
    }
    static int CmpMag(const Big& a, const Big& b)
    {
        if (a.m.size() != b.m.size())
            return a.m.size() < b.m.size() ? -1 : 1;
        for (size_t i = a.m.size(); i-- > 0;)
            if (a.m[i] != b.m[i])
                return a.m[i] < b.m[i] ? -1 : 1;
        return 0;
    }
    static Big AddMag(const Big& a, const Big& b)
    {
        Big r;
        uint64_t c = 0;
        for (size_t i = 0; i < std::max(a.m.size(), b.m.size()) || c; ++i) {
            c += (i < a.m.size() ? a.m[i] : 0) + uint64_t(i < b.m.size() ? b.m[i] : 0);
            r.m.push_back(uint32_t(c));
            c >>= 32;
        }
        r.Trim();
        return r;
    }
    static Big SubMag(const Big& a, const Big& b) // |a| >= |b|
    {
        Big r;
        int64_t c = 0;
        for (size_t i = 0; i < a.m.size(); ++i) {
            c += int64_t(a.m[i]) - (i < b.m.size() ? b.m[i] : 0);
            r.m.push_back(uint32_t(c));
            c = c < 0 ? -1 : 0;
        }
        r.Trim();
        return r;
    }
    friend Big operator-(Big a)
    {
        a.neg = !a.neg;
        a.Trim();
        return a;
    }
    friend Big operator+(const Big& a, const Big& b)
    {
        Big r;
        if (a.neg == b.neg) {
            r = AddMag(a, b);
            r.neg = a.neg;
        } else if (CmpMag(a, b) >= 0) {
            r = SubMag(a, b);
            r.neg = a.neg;
        } else {
            r = SubMag(b, a);
            r.neg = b.neg;
        }
        r.Trim();
        return r;
    }
    friend Big operator-(const Big& a, const Big& b) { return a + (-b); }
    friend Big operator*(const Big& a, const Big& b)
    {
        Big r;
        r.m.assign(a.m.size() + b.m.size() + 1, 0);
        for (size_t i = 0; i < a.m.size(); ++i) {
            uint64_t c = 0;
            for (size_t j = 0; j < b.m.size(); ++j) {
                c += uint64_t(a.m[i]) * b.m[j] + r.m[i + j];
                r.m[i + j] = uint32_t(c);
                c >>= 32;
            }
            r.m[i + b.m.size()] = uint32_t(c);
        }
        r.neg = a.neg != b.neg;
        r.Trim();
        return r;
    }
    friend int Cmp(const Big& a, const Big& b)
    {
        const Big d = a - b;
        return d.m.empty() ? 0 : (d.neg ? -1 : 1);
    }
    friend bool operator==(const Big& a, const Big& b) { return Cmp(a, b) == 0; }
    friend bool operator<(const Big& a, const Big& b) { return Cmp(a, b) < 0; }
    static Big Pow2(int n)
    {
        Big r;
        r.m.assign(size_t(n / 32 + 1), 0);
        r.m.back() = 1u << (n % 32);
        return r;
    }
    static Big Of(long long v)
    {
        Big r;
        const unsigned long long u = v < 0 ? 0ull - (unsigned long long)v : (unsigned long long)v;
        r.m = {uint32_t(u), uint32_t(u >> 32)};
        r.neg = v < 0;
        r.Trim();
        return r;
    }
    // Quotient of the magnitudes, truncated toward zero, sign of the ratio.
    friend Big operator/(const Big& a, const Big& b)
    {
        Big ma = a, mb = b, q;
        ma.neg = mb.neg = false;
        for (int bit = int(ma.m.size()) * 32; bit >= 0; --bit) {
            const Big t = q + Pow2(bit);
            if (!(ma < t * mb))
                q = t;
        }
        q.neg = a.neg != b.neg;
        q.Trim();
        return q;
    }
    friend Big operator%(const Big& a, const Big& b) { return a - (a / b) * b; }
    static Big Dec(const std::string& s)
    {
        Big r;
        size_t i = 0;
        const bool n = !s.empty() && s[0] == '-';
        i += n;
        for (; i < s.size(); ++i)
            r = r * Of(10) + Of(s[i] - '0');
        if (n)
            r = -r;
        return r;
    }
    std::string Digits(int base) const
    {
        if (m.empty())
            return "0";
        std::string s;
        Big v = *this;
        v.neg = false;
        while (!v.m.empty()) {
            const Big q = v / Of(base);
            s.insert(s.begin(), char('0' + (v - q * Of(base)).Low()));
            v = q;
        }
        return (neg ? "-" : "") + s;
    }
    long long Low() const { return m.empty() ? 0 : (neg ? -(long long)m[0] : (long long)m[0]); }
};

// Millionths written as "integer.fraction" with six decimals.
Big Mil(const std::string& s)
{
    const size_t p = s.find('.');
    if (p == std::string::npos)
        return Big::Dec(s) * Big::Of(1000000);
    std::string f = s.substr(p + 1);
    f.resize(6, '0');
    const Big i = Big::Dec(s.substr(0, p)) * Big::Of(1000000);
    const Big fr = Big::Dec(f);
    return s[0] == '-' ? i - fr : i + fr;
}

const Big& Two79()
{
    static const Big v = Big::Pow2(79);
    return v;
}
bool InRange(const Big& v) { return !(v < -Two79()) && v < Two79(); }
// Magnitude below 2^79: what a product or quotient must meet.
bool Fits(const Big& v) { return (v.neg ? -v : v) < Two79(); }

// The two's-complement reading of the ten bytes.
Big Val(const CMoney& c)
{
    unsigned char b[10];
    std::memcpy(b, &c, 10);
    Big r;
    r.m = {uint32_t(b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24),
           uint32_t(b[4] | b[5] << 8 | b[6] << 16 | uint32_t(b[7]) << 24), uint32_t(b[8] | b[9] << 8)};
    r.Trim();
    if (b[9] & 0x80)
        r = r - Big::Pow2(80);
    return r;
}

// v modulo 2^80 as the ten bytes.
CMoney Mon(Big v)
{
    while (v.neg)
        v = v + Big::Pow2(80);
    unsigned char b[10];
    for (int i = 0; i < 10; ++i) {
        const uint32_t limb = size_t(i / 4) < v.m.size() ? v.m[size_t(i / 4)] : 0;
        b[i] = uint8_t(limb >> (8 * (i % 4)));
    }
    CMoney c;
    std::memcpy(&c, b, 10);
    return c;
}

std::string Text(const CMoney& c)
{
    wchar_t w[MONETAIRE_TAILLE_CHAINE_C];
    pszMonetaireVersChaineC(w, &c);
    return std::string(w, w + wcslen(w));
}

const Big kMax = Mil("604462909807314587.353087");
const Big kMin = -Mil("604462909807314587.353088");

// Values that stress the word boundaries, plus random ones of every size.
std::vector<Big> Samples(unsigned seed, int nRandom)
{
    std::vector<Big> v = {Big(), Big::Of(1), Big::Of(-1), Big::Of(1000000), Big::Of(-1000000),
                          Big::Of(0xFFFF), Big::Of(0x10000), Big::Of(0xFFFFFFFFLL), Big::Of(0x100000000LL),
                          Big::Of(0xFFFFFFFFFFFFLL), Big::Pow2(64) - Big::Of(1), Big::Pow2(64),
                          -Big::Pow2(64), kMax, kMin, kMax - Big::Of(1), kMin + Big::Of(1)};
    std::mt19937 rng(seed);
    for (int i = 0; i < nRandom; ++i) {
        const int bits = int(rng() % 80);
        Big r;
        r.m = {rng(), rng(), rng()};
        r.m[2] &= 0xFFFF;
        r.Trim();
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

    CMoney c;
    unsigned char b[10];
    SetMonetaireToMin(&c);
    std::memcpy(b, &c, 10);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(b[i], 0x00);
    EXPECT_EQ(b[9], 0x80);
    EXPECT_EQ(Val(c), kMin);
    EXPECT_EQ(Val(c), -Two79());
    SetMonetaireToMax(&c);
    std::memcpy(b, &c, 10);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(b[i], 0xFF);
    EXPECT_EQ(b[9], 0x7F);
    EXPECT_EQ(Val(c), kMax);

    EXPECT_TRUE(bMonetaireZero(&(c = Mon(Big()))));
    EXPECT_FALSE(bMonetaireZero(&(c = Mon(Big::Pow2(79)))));
}

TEST(Monetaire, ParsesDecimalText)
{
    CMoney c = Mon(Big::Of(77));
    ASSERT_EQ(pstChaineVersMonetaire(&c, L"  12.5"), &c);
    EXPECT_EQ(Val(c), Big::Of(12500000));
    // Digits past the sixth decimal are dropped, not rounded.
    ASSERT_NE(pstChaineVersMonetaire(&c, L"-0.0000015"), nullptr);
    EXPECT_EQ(Val(c), Big::Of(-1));
    ASSERT_NE(pstChaineVersMonetaire(&c, L"0.9999999"), nullptr);
    EXPECT_EQ(Val(c), Big::Of(999999));
    ASSERT_NE(pstChaineVersMonetaire(&c, L"1.2.3"), nullptr);
    EXPECT_EQ(Val(c), Big::Of(1200000));
    ASSERT_NE(pstChaineVersMonetaire(&c, L"\xFF0D" L"5"), nullptr);
    EXPECT_EQ(Val(c), Big::Of(-5000000));
    ASSERT_NE(pstChaineVersMonetaire(&c, L"\xFF0B" L"7x"), nullptr);
    EXPECT_EQ(Val(c), Big::Of(7000000));
    ASSERT_NE(pstChaineVersMonetaire(&c, L"+.25"), nullptr);
    EXPECT_EQ(Val(c), Big::Of(250000));
    ASSERT_NE(pstChaineVersMonetaire(&c, L"0042 7"), nullptr);
    EXPECT_EQ(Val(c), Big::Of(42000000));

    // No digits: 0, whatever came before.
    for (const wchar_t* t : {L"abc", L"", L"-", L"+-5", L"\t5", L"--1", L"."}) {
        c = Mon(Big::Of(5));
        ASSERT_EQ(pstChaineVersMonetaire(&c, t), &c);
        EXPECT_TRUE(bMonetaireZero(&c));
    }
    c = Mon(Big::Of(5));
    EXPECT_EQ(pstChaineVersMonetaire(&c, nullptr), &c);
    EXPECT_TRUE(bMonetaireZero(&c));

    // The limits, and one unit beyond.
    ASSERT_NE(pstChaineVersMonetaire(&c, L"604462909807314587.353087"), nullptr);
    EXPECT_EQ(Val(c), kMax);
    ASSERT_NE(pstChaineVersMonetaire(&c, L"-604462909807314587.353087"), nullptr);
    EXPECT_EQ(Val(c), -kMax);
    EXPECT_EQ(pstChaineVersMonetaire(&c, L"604462909807314587.353088"), nullptr);
    EXPECT_EQ(pstChaineVersMonetaire(&c, L"604462909807314588"), nullptr);
    EXPECT_EQ(pstChaineVersMonetaire(&c, L"99999999999999999999999999999"), nullptr);
    // The magnitude of -2^79 does not fit before its sign is put back.
    EXPECT_EQ(pstChaineVersMonetaire(&c, L"-604462909807314587.353088"), nullptr);
}

TEST(Monetaire, WritesDecimalTextWithinItsBuffer)
{
    const struct {
        const char* value;
        const char* text;
    } cases[] = {{"1.5", "1.5"}, {"-0.25", "-0.25"}, {"3", "3"}, {"0", "0"},
                 {"0.000001", "0.000001"}, {"-0.000001", "-0.000001"}, {"0.00001", "0.00001"},
                 {"100.0001", "100.0001"}, {"-1000000", "-1000000"}, {"0.1", "0.1"}};
    for (const auto& t : cases)
        EXPECT_EQ(Text(Mon(Mil(t.value))), t.text) << t.value;
    EXPECT_EQ(Text(Mon(kMax)), "604462909807314587.353087");
    EXPECT_EQ(Text(Mon(kMin)), "-604462909807314587.353088");

    // The longest text fills the 27 characters and nothing after them.
    wchar_t buf[40];
    for (auto& w : buf)
        w = L'#';
    const CMoney mn = Mon(kMin);
    EXPECT_EQ(pszMonetaireVersChaineC(buf, &mn), buf);
    EXPECT_EQ(wcslen(buf), MONETAIRE_TAILLE_CHAINE_C - 1);
    for (size_t i = MONETAIRE_TAILLE_CHAINE_C; i < 40; ++i)
        EXPECT_EQ(buf[i], L'#');

    // Every sample: the text is the exact decimal value, and it reads back.
    for (const Big& v : Samples(1, 300)) {
        Big a = v;
        a.neg = false;
        std::string i = (a / Big::Of(1000000)).Digits(10);
        std::string f = (a % Big::Of(1000000)).Digits(10);
        f.insert(0, 6 - f.size(), '0');
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        const std::string expected = (v.neg ? "-" : "") + i + (f.empty() ? "" : "." + f);
        const CMoney c = Mon(v);
        ASSERT_EQ(Text(c), expected);
        if (!(v == kMin)) {
            CMoney back;
            const std::wstring w(expected.begin(), expected.end());
            ASSERT_NE(pstChaineVersMonetaire(&back, w.c_str()), nullptr) << expected;
            EXPECT_EQ(Val(back), v);
        }
    }
}

TEST(Monetaire, AddsAndSubtractsExactlyOrFails)
{
    const Big one = Big::Of(1);
    CMoney a = Mon(kMax), b = Mon(one);
    EXPECT_EQ(pstAddMonetaire(&a, &b), nullptr);
    a = Mon(kMin);
    EXPECT_EQ(pstSubMonetaire(&a, &b), nullptr);
    // -2^79 as a sum of two negatives is refused; as a difference of a
    // negative and a positive too.
    a = Mon(kMin + one), b = Mon(-one);
    EXPECT_EQ(pstAddMonetaire(&a, &b), nullptr);
    a = Mon(kMin + one), b = Mon(one);
    EXPECT_EQ(pstSubMonetaire(&a, &b), nullptr);
    // Subtracting -2^79 is exact.
    a = Mon(-one), b = Mon(kMin);
    ASSERT_NE(pstSubMonetaire(&a, &b), nullptr);
    EXPECT_EQ(Val(a), kMax);
    a = Mon(Big()), b = Mon(kMin);
    EXPECT_EQ(pstSubMonetaire(&a, &b), nullptr);
    // Carries across every word.
    a = Mon(Big::Pow2(64) - one), b = Mon(one);
    ASSERT_NE(pstAddMonetaire(&a, &b), nullptr);
    EXPECT_EQ(Val(a), Big::Pow2(64));
    a = Mon(Big::Pow2(16));
    ASSERT_NE(pstSubMonetaire(&a, &b), nullptr);
    EXPECT_EQ(Val(a), Big::Of(0xFFFF));
    // The operand may be the result.
    a = Mon(Mil("1.75"));
    ASSERT_NE(pstAddMonetaire(&a, &a), nullptr);
    EXPECT_EQ(Val(a), Mil("3.5"));
    ASSERT_NE(pstSubMonetaire(&a, &a), nullptr);
    EXPECT_TRUE(bMonetaireZero(&a));

    const std::vector<Big> s = Samples(2, 40);
    for (const Big& x : s)
        for (const Big& y : s) {
            const Big sum = x + y, dif = x - y;
            a = Mon(x), b = Mon(y);
            const bool okSum = InRange(sum) && !(x.neg && y.neg && sum == kMin);
            EXPECT_EQ(pstAddMonetaire(&a, &b) != nullptr, okSum) << x.Digits(10) << " + " << y.Digits(10);
            EXPECT_EQ(Val(a), Val(Mon(sum)));
            a = Mon(x);
            const bool okDif = InRange(dif) && !(dif == kMin && x.neg && !y.neg && !y.m.empty());
            EXPECT_EQ(pstSubMonetaire(&a, &b) != nullptr, okDif) << x.Digits(10) << " - " << y.Digits(10);
            EXPECT_EQ(Val(a), Val(Mon(dif)));
        }
}

TEST(Monetaire, MultipliesAndDividesTruncatingTowardZero)
{
    struct Case {
        const char *a, *b, *mul, *div;
    };
    const Case cases[] = {
        {"2.5", "-2", "-5", "-1.25"},
        {"1", "3", "3", "0.333333"},
        {"-1", "3", "-3", "-0.333333"},
        {"0.000001", "0.000001", "0", "1"},
        {"-0.000001", "0.5", "0", "-0.000002"},
        {"-1.5", "0.000001", "-0.000001", "-1500000"},
        {"2", "-0.5", "-1", "-4"},
    };
    for (const Case& c : cases) {
        CMoney a = Mon(Mil(c.a)), b = Mon(Mil(c.b));
        ASSERT_EQ(pstMulMonetaire(&a, &b), &a) << c.a << " * " << c.b;
        EXPECT_EQ(Val(a), Mil(c.mul)) << c.a << " * " << c.b;
        a = Mon(Mil(c.a));
        ASSERT_EQ(pstDivMonetaire(&a, &b), &a) << c.a << " / " << c.b;
        EXPECT_EQ(Val(a), Mil(c.div)) << c.a << " / " << c.b;
    }
    CMoney a = Mon(Mil("5")), z = Mon(Big());
    EXPECT_EQ(pstDivMonetaire(&a, &z), nullptr);
    a = Mon(kMax);
    CMoney one = gstMillion, justOver = Mon(Mil("1.000001"));
    ASSERT_NE(pstMulMonetaire(&a, &one), nullptr);
    EXPECT_EQ(Val(a), kMax);
    EXPECT_EQ(pstMulMonetaire(&a, &justOver), nullptr);
    a = Mon(kMax);
    EXPECT_EQ(pstDivMonetaire(&a, &justOver) != nullptr, true);
    EXPECT_EQ(Val(a), kMax * Big::Of(1000000) / Mil("1.000001"));
    CMoney half = Mon(Mil("0.5"));
    a = Mon(kMax / Big::Of(2) + Big::Of(1));
    EXPECT_EQ(pstDivMonetaire(&a, &half), nullptr);
    a = Mon(Mil("-3"));
    ASSERT_NE(pstMulMonetaire(&a, &a), nullptr);
    EXPECT_EQ(Val(a), Mil("9"));

    const std::vector<Big> s = Samples(3, 30);
    const Big million = Big::Of(1000000);
    for (const Big& x : s)
        for (const Big& y : s) {
            const Big p = x * y / million;
            a = Mon(x);
            CMoney b = Mon(y);
            CMoney* r = pstMulMonetaire(&a, &b);
            EXPECT_EQ(r != nullptr, Fits(p))
                << x.Digits(10) << " * " << y.Digits(10);
            if (r) {
                EXPECT_EQ(Val(a), p);
            }
            if (y.m.empty())
                continue;
            const Big q = x * million / y;
            a = Mon(x);
            r = pstDivMonetaire(&a, &b);
            EXPECT_EQ(r != nullptr, Fits(q)) << x.Digits(10) << " / " << y.Digits(10);
            if (r) {
                EXPECT_EQ(Val(a), q);
            }
        }
}

TEST(Monetaire, WordMultiplyNegateAndStep)
{
    for (const Big& x : Samples(4, 200)) {
        CMoney a = Mon(x);
        Big mag = x;
        mag.neg = false;
        const Big t = mag * Big::Of(10);
        ASSERT_EQ(bMul10Monetaire(&a), t < Two79());
        EXPECT_EQ(Val(a), t < Two79() ? (x.neg ? -t : t) : x);

        a = Mon(x);
        const Big w = mag * Big::Of(65535) + Big::Of(9);
        ASSERT_EQ(bMulMonetaireWord(&a, 65535, L'9'), w < Two79());
        if (w < Two79()) {
            EXPECT_EQ(Val(a), x.neg ? -w : w);
        }

        a = Mon(x);
        NegMonetaire(&a);
        EXPECT_EQ(Val(a), Val(Mon(-x)));
        a = Mon(x);
        EXPECT_EQ(pstAbsMonetaire(&a) != nullptr, !(x == kMin));
        if (!(x == kMin)) {
            EXPECT_EQ(Val(a), mag);
        }

        a = Mon(x);
        EXPECT_TRUE(bIncrementeMonetaire(&a));
        EXPECT_EQ(Val(a), Val(Mon(x + Big::Of(1000000))));
        a = Mon(x);
        EXPECT_TRUE(bDecrementeMonetaire(&a));
        EXPECT_EQ(Val(a), Val(Mon(x - Big::Of(1000000))));
    }
    CMoney a = Mon(Big::Of(12));
    EXPECT_FALSE(bMulMonetaireWord(&a, 10, L'/'));
    EXPECT_EQ(Val(a), Big::Of(12));
    // Stepping past the top wraps.
    a = Mon(kMax);
    EXPECT_TRUE(bIncrementeMonetaire(&a));
    EXPECT_EQ(Val(a), kMin + Big::Of(999999));
}

TEST(Monetaire, ComparesAndOrdersKeys)
{
    const std::vector<Big> s = Samples(5, 40);
    for (const Big& x : s)
        for (const Big& y : s) {
            const CMoney a = Mon(x), b = Mon(y);
            const int expected = Cmp(x, y);
            EXPECT_EQ(nCmpMonetaire(&a, &b), expected);
            unsigned char ka[10], kb[10];
            MonetaireVersCleKX(ka, &a);
            MonetaireVersCleKX(kb, &b);
            const int k = std::memcmp(ka, kb, 10);
            EXPECT_EQ((k > 0) - (k < 0), expected);
        }
    const CMoney z = Mon(Big()), m1 = Mon(Big::Of(-1));
    EXPECT_EQ(nCmpMonetaire(nullptr, &z), 1);
    EXPECT_EQ(nCmpMonetaire(&z, nullptr), -1);
    unsigned char k0[10], k1[10];
    MonetaireVersCleKX(k0, &z);
    MonetaireVersCleKX(k1, &m1);
    EXPECT_LT(std::memcmp(k1, k0, 10), 0);
    const unsigned char zeroKey[10] = {0x80};
    EXPECT_EQ(std::memcmp(k0, zeroKey, 10), 0);
    // Value bytes 9 down to 0 of 0x0102...: 0x81, 0x09, ... after the flip.
    CMoney v;
    const unsigned char raw[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::memcpy(&v, raw, 10);
    unsigned char kv[10];
    MonetaireVersCleKX(kv, &v);
    const unsigned char expected[10] = {0x8A, 9, 8, 7, 6, 5, 4, 3, 2, 1};
    EXPECT_EQ(std::memcmp(kv, expected, 10), 0);

    for (int n : {0, 1, -1, 2147483647, -2147483647 - 1}) {
        const Big e = Big::Of(n) * Big::Of(1000000);
        for (const Big& d : {Big::Of(-1), Big(), Big::Of(1)}) {
            const CMoney c = Mon(e + d);
            EXPECT_EQ(nCmpMonetaireEtInt32(&c, n), Cmp(e + d, e));
        }
    }
}

TEST(Monetaire, IntegerConversions)
{
    CMoney c;
    for (int n : {0, 7, -7, 2147483647, -2147483647 - 1}) {
        ASSERT_EQ(pstInt32VersMonetaire(&c, n), &c);
        EXPECT_EQ(Val(c), Big::Of(n) * Big::Of(1000000));
    }
    const long long top = 604462909807314587LL;
    ASSERT_NE(pstTresLongVersMonetaire(&c, top), nullptr);
    EXPECT_EQ(Val(c), Mil("604462909807314587"));
    ASSERT_NE(pstTresLongVersMonetaire(&c, -top), nullptr);
    EXPECT_EQ(Val(c), Mil("-604462909807314587"));
    c = Mon(Big::Of(3));
    EXPECT_EQ(pstTresLongVersMonetaire(&c, top + 1), nullptr);
    EXPECT_EQ(pstTresLongVersMonetaire(&c, -top - 1), nullptr);
    EXPECT_EQ(pstTresLongVersMonetaire(&c, std::numeric_limits<long long>::min()), nullptr);
    EXPECT_EQ(pstTresLongSansSigneVersMonetaire(&c, ~0ull), nullptr);
    EXPECT_EQ(Val(c), Big::Of(3));
    ASSERT_NE(pstTresLongSansSigneVersMonetaire(&c, top), nullptr);
    EXPECT_EQ(Val(c), Mil("604462909807314587"));

    struct Case {
        const char* value;
        long long whole;
        bool fitsInt;
    };
    const Case cases[] = {
        {"2147483647.999999", 2147483647LL, true}, {"2147483648", 2147483648LL, false},
        {"-2147483648.5", -2147483648LL, true},   {"-2147483649", -2147483649LL, false},
        {"3000000000", 3000000000LL, false},     {"-3000000000", -3000000000LL, false},
        {"-0.999999", 0, true},                  {"-1.5", -1, true},
        {"604462909807314587.353087", top, false}, {"-604462909807314587.353088", -top, false},
    };
    for (const Case& t : cases) {
        const CMoney v = Mon(Mil(t.value));
        long long ll = 0;
        EXPECT_TRUE(bMonetaireVersTresLong(&v, &ll));
        EXPECT_EQ(ll, t.whole) << t.value;
        EXPECT_EQ(lMonetaireVersTresLong(&v), t.whole);
        int n = 0;
        EXPECT_EQ(bMonetaireVersInt32(&v, &n), t.fitsInt) << t.value;
        EXPECT_EQ(n, int(uint32_t(uint64_t(t.whole))));
        EXPECT_EQ(lMonetaireVersInt32(&v), int(uint32_t(uint64_t(t.whole))));
        unsigned long long u = 0;
        EXPECT_TRUE(bMonetaireVersTresLongSansSigne(&v, &u));
        EXPECT_EQ(u, uint64_t(t.whole));
        EXPECT_EQ(lMonetaireVersTresLongSansSigne(&v), uint64_t(t.whole));
    }
}

// "%.6f" in the C locale, read as millionths.
Big Printf6(double d)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const locale_t old = uselocale(c);
    std::vector<char> buf(400);
    std::snprintf(buf.data(), buf.size(), "%.6f", d);
    uselocale(old);
    return Mil(buf.data());
}

TEST(Monetaire, RealsConvertLikePrintfAndBack)
{
    volatile double x = 0.1, y = 0.2, big = 1e15, tenth3 = 0.3, p53 = 9007199254740992.0;
    const double sums[] = {x + y, big + tenth3, p53 - 1, 0.0078125, 0.0234375, -0.0078125, -2.5,
                           1e-300, 4.9e-324, -0.0, 123456789.123456789, 6.0446290980731e17, 1e17};
    CMoney c;
    for (double d : sums) {
        ASSERT_EQ(pstDoubleVersMonetaire(&c, d), &c) << d;
        EXPECT_EQ(Val(c), Printf6(d)) << d;
    }
    // Both the stored doubles and their exact millionths.
    ASSERT_NE(pstDoubleVersMonetaire(&c, x + y), nullptr);
    EXPECT_EQ(Val(c), Big::Of(300000));
    ASSERT_NE(pstDoubleVersMonetaire(&c, big + tenth3), nullptr);
    EXPECT_EQ(Val(c), Mil("1000000000000000.25"));
    ASSERT_NE(pstDoubleVersMonetaire(&c, p53 - 1), nullptr);
    EXPECT_EQ(Val(c), Mil("9007199254740991"));
    ASSERT_NE(pstDoubleVersMonetaire(&c, 0.0078125), nullptr); // 7812.5 millionths: to even
    EXPECT_EQ(Val(c), Big::Of(7812));
    ASSERT_NE(pstDoubleVersMonetaire(&c, 0.0234375), nullptr); // 23437.5
    EXPECT_EQ(Val(c), Big::Of(23438));

    std::mt19937 rng(6);
    for (int i = 0; i < 2000; ++i) {
        const uint64_t bits = (uint64_t(983 + rng() % 120) << 52) ^ (uint64_t(rng()) << 20) ^ rng() ^
                              (uint64_t(rng() % 2) << 63);
        double d;
        std::memcpy(&d, &bits, 8);
        const Big e = Printf6(d);
        const bool fits = Fits(e);
        c = Mon(Big::Of(5));
        ASSERT_EQ(pstDoubleVersMonetaire(&c, d) != nullptr, fits) << d;
        EXPECT_EQ(Val(c), fits ? e : Big::Of(5)) << d;
    }
    for (double d : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e18, -1e18, 1e300}) {
        c = Mon(Big::Of(5));
        EXPECT_EQ(pstDoubleVersMonetaire(&c, d), nullptr) << d;
        EXPECT_EQ(Val(c), Big::Of(5));
    }

    // Back to the nearest double of the decimal value.
    struct Case {
        const char* value;
        double d;
    };
    const Case back[] = {{"0.1", 0.1}, {"0.3", 0.3}, {"-2.5", -2.5}, {"1000000000000000.3", 1000000000000000.25},
                         {"9007199254740991", 9007199254740991.0}, {"0", 0.0},
                         {"604462909807314587.353087", 604462909807314587.353087},
                         {"-604462909807314587.353088", -604462909807314587.353088}};
    for (const Case& t : back) {
        const CMoney v = Mon(Mil(t.value));
        volatile double got = dMonetaireVersDouble(&v);
        EXPECT_EQ(got, t.d) << t.value;
    }
}

TEST(Monetaire, HexadecimalAndOctalTexts)
{
    wchar_t buf[40];
    auto hexa = [&](const Big& v) {
        for (auto& w : buf)
            w = L'#';
        const CMoney c = Mon(v);
        pszMonetaireVersChaineHexa(buf, &c);
        for (size_t i = wcslen(buf) + 1; i < 40; ++i)
            EXPECT_EQ(buf[i], L'#');
        EXPECT_LE(wcslen(buf), MONETAIRE_TAILLE_CHAINE_HEXA - 1);
        return std::wstring(buf);
    };
    auto octal = [&](const Big& v) {
        for (auto& w : buf)
            w = L'#';
        const CMoney c = Mon(v);
        pszMonetaireVersChaineOctale(buf, &c);
        for (size_t i = wcslen(buf) + 1; i < 40; ++i)
            EXPECT_EQ(buf[i], L'#');
        EXPECT_LE(wcslen(buf), MONETAIRE_TAILLE_CHAINE_OCTALE - 1);
        return std::wstring(buf);
    };
    EXPECT_EQ(hexa(Big()), L"0");
    EXPECT_EQ(hexa(Big::Of(1000000)), L"F4240");
    EXPECT_EQ(hexa(Big::Of(-1)), std::wstring(20, L'F'));
    EXPECT_EQ(hexa(kMin), L"8" + std::wstring(19, L'0'));
    EXPECT_EQ(hexa(kMax), L"7" + std::wstring(19, L'F'));
    EXPECT_EQ(octal(Big()), L"0");
    EXPECT_EQ(octal(Big::Of(1000000)), L"3641100");
    EXPECT_EQ(octal(Big::Of(-1)), std::wstring(27, L'7'));
    EXPECT_EQ(octal(kMin), L"6" + std::wstring(26, L'0'));
    EXPECT_EQ(octal(kMax), L"1" + std::wstring(26, L'7'));

    for (const Big& v : Samples(7, 200)) {
        const Big raw = v.neg ? v + Big::Pow2(80) : v;
        std::string h = raw.Digits(16), o = (v.neg ? v + Big::Pow2(81) : v).Digits(8);
        for (char& ch : h)
            if (ch > '9')
                ch = char('A' + (ch - '0' - 10));
        ASSERT_EQ(hexa(v), std::wstring(h.begin(), h.end()));
        ASSERT_EQ(octal(v), std::wstring(o.begin(), o.end()));
        std::wstring lower(h.begin(), h.end());
        for (wchar_t& ch : lower)
            ch = (ch >= L'A' && ch <= L'F') ? wchar_t(ch + 32) : ch;
        lower = L"   " + lower + L"g";
        CMoney c;
        ASSERT_EQ(pstChaineHexaVersMonetaire(&c, &lower[0]), &c);
        EXPECT_EQ(Val(c), v);
        EXPECT_EQ(lower, L"   " + std::wstring(h.begin(), h.end()) + L"G");
    }
    // Only the first 20 digits count; no digits give 0.
    std::wstring longer = L"123456789abcdef0123456";
    CMoney c;
    pstChaineHexaVersMonetaire(&c, &longer[0]);
    Big first20;
    for (char ch : std::string("123456789ABCDEF01234"))
        first20 = first20 * Big::Of(16) + Big::Of(ch <= '9' ? ch - '0' : ch - 'A' + 10);
    EXPECT_EQ(Val(c), first20);
    EXPECT_EQ(longer, L"123456789ABCDEF0123456");
    std::wstring none = L"  xyz";
    c = Mon(Big::Of(9));
    pstChaineHexaVersMonetaire(&c, &none[0]);
    EXPECT_TRUE(bMonetaireZero(&c));
}

TEST(Monetaire, Rounding)
{
    struct Case {
        const char* value;
        short d;
        const char *arr, *inf, *sup;
    };
    const Case cases[] = {
        {"2.345", 2, "2.35", "2.34", "2.35"},       {"-2.345", 2, "-2.35", "-2.35", "-2.34"},
        {"-1.21", 1, "-1.2", "-1.3", "-1.2"},       {"1.21", 1, "1.2", "1.2", "1.3"},
        {"1.2", 1, "1.2", "1.2", "1.2"},            {"2.5", 0, "3", "2", "3"},
        {"-2.5", 0, "-3", "-3", "-2"},              {"0.4", 0, "0", "0", "1"},
        {"-0.4", 0, "0", "-1", "0"},                {"0.000005", 5, "0.00001", "0", "0.00001"},
        {"0.123456", 6, "0.123456", "0.123456", "0.123456"},
    };
    for (const Case& t : cases) {
        CMoney c = Mon(Mil(t.value));
        ASSERT_EQ(pstArrMonetaire(&c, t.d), &c);
        EXPECT_EQ(Val(c), Mil(t.arr)) << t.value << " " << t.d;
        c = Mon(Mil(t.value));
        ASSERT_EQ(pstArrMonetaireInf(&c, t.d), &c);
        EXPECT_EQ(Val(c), Mil(t.inf)) << t.value << " " << t.d;
        c = Mon(Mil(t.value));
        ASSERT_EQ(pstArrMonetaireSup(&c, t.d), &c);
        EXPECT_EQ(Val(c), Mil(t.sup)) << t.value << " " << t.d;
    }
    CMoney c = Mon(Mil("2.5"));
    EXPECT_EQ(pstArrMonetaire(&c, -1), nullptr);
    EXPECT_EQ(Val(*pstEntMonetaire(&c)), Mil("2"));
    c = Mon(Mil("-2.5"));
    EXPECT_EQ(Val(*pstEntMonetaire(&c)), Mil("-3"));
    c = Mon(Mil("-2.5"));
    EXPECT_EQ(Val(*pstDecMonetaire(&c)), Mil("0.5"));
    c = Mon(Mil("2.5"));
    EXPECT_EQ(Val(*pstDecMonetaire(&c)), Mil("0.5"));

    // At the limits: only a rounded value outside the range fails.
    c = Mon(kMax);
    ASSERT_NE(pstArrMonetaire(&c, 0), nullptr);
    EXPECT_EQ(Val(c), Mil("604462909807314587"));
    c = Mon(kMax);
    EXPECT_EQ(pstArrMonetaire(&c, 5), nullptr);
    c = Mon(kMax);
    EXPECT_EQ(pstArrMonetaireSup(&c, 0), nullptr);
    c = Mon(kMin);
    EXPECT_EQ(pstArrMonetaireInf(&c, 3), nullptr);
    c = Mon(kMin);
    EXPECT_EQ(pstEntMonetaire(&c), nullptr);
    c = Mon(kMin);
    ASSERT_NE(pstArrMonetaireSup(&c, 0), nullptr);
    EXPECT_EQ(Val(c), Mil("-604462909807314587"));
    c = Mon(kMin);
    EXPECT_EQ(Val(*pstDecMonetaire(&c)), Mil("0.353088"));

    // Against floor, ceiling and half away from zero on exact integers.
    for (const Big& v : Samples(8, 100))
        for (short d = 0; d <= 7; ++d) {
            Big u = Big::Of(1);
            for (int i = d; i < 6; ++i)
                u = u * Big::Of(10);
            const Big q = v / u, r = v - q * u; // truncated; r has v's sign
            const Big fl = r.neg ? (q - Big::Of(1)) * u : q * u;
            const Big ce = (!r.neg && !r.m.empty()) ? (q + Big::Of(1)) * u : q * u;
            Big ar = r;
            ar.neg = false;
            const Big away = Cmp(ar * Big::Of(2), u) >= 0 ? (v.neg ? fl : ce) : q * u;
            const Big expected[3] = {away, fl, ce};
            CMoney* (*const fn[3])(CMoney*, short) = {pstArrMonetaire, pstArrMonetaireInf, pstArrMonetaireSup};
            for (int k = 0; k < 3; ++k) {
                c = Mon(v);
                CMoney* res = fn[k](&c, d);
                ASSERT_EQ(res != nullptr, InRange(expected[k])) << v.Digits(10) << " " << d << " " << k;
                EXPECT_EQ(Val(c), res ? expected[k] : v);
            }
        }
}

} // namespace
