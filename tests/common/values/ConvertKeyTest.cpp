// Sortable keys: memcmp of two keys must order them as the values compare,
// checked on random values of every host type against an order computed
// here from the values themselves.
#include "common/values/ConvertKey.h"

#include "access/driver/NaDriver.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"
#include "common/values/KXForNA.h"
#include "common/values/monetaire.h"
#include "host/KeyService.h"
#include "tests/support/TestHost.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

class ConvertKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestHost();
        static void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(bInitTQConvFromVM(h, 2, 2), 1);
    }
};

template <class T>
void SetFixed(CAny& v, unsigned short nType, T x)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(&x);
}

void SetText(CAny& v, const std::string& s)
{
    v.__SetType(TQTYPE_DSTRA, 0);
    v.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned>(s.size()));
}

void SetWide(CAny& v, const std::wstring& s, unsigned short nType = TQTYPE_DSTRW)
{
    v.__SetType(nType, 0);
    if (nType == TQTYPE_DSTRW)
        v.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned>(s.size() * sizeof(wchar_t)));
    else
        v.pclGetTraitement()->SetValue(s.c_str());
}

void SetBin(CAny& v, const Bytes& b)
{
    v.__SetType(TQTYPE_BIN, 0);
    v.pclGetTraitement()->SetValue(b.data(), static_cast<unsigned>(b.size()));
}

// The key in a buffer of exactly nSize bytes (its length in *pnLength).
Bytes Key(CAny& v, unsigned nSize, unsigned short nType = 0, unsigned short nOption = 0, int nDigits = 0,
          int nDecimals = 0, unsigned* pnLength = nullptr)
{
    Bytes k(nSize + 1);
    const unsigned n = CConvertKey::nConvertKeyAndGetSize(&v, k.data(), nSize, nType, nOption, nDigits, nDecimals);
    EXPECT_LE(n, nSize);
    if (pnLength != nullptr)
        *pnLength = n;
    k.pop_back();
    return k;
}

int Sign(long long n) { return n < 0 ? -1 : (n > 0 ? 1 : 0); }

int KeyCompare(const Bytes& a, const Bytes& b)
{
    return Sign(std::memcmp(a.data(), b.data(), std::min(a.size(), b.size())));
}

// Every pair of values: the keys' order against the values' own (cmp),
// reversed for descending keys.
template <class T, class Set, class Cmp>
void CheckOrder(const char* pszWhat, const std::vector<T>& values, Set set, Cmp cmp, unsigned nSize,
                unsigned short nType = 0, unsigned short nOption = 0, int nDigits = 0, int nDecimals = 0)
{
    std::vector<Bytes> keys;
    for (const T& x : values) {
        CAny v;
        set(v, x);
        keys.push_back(Key(v, nSize, nType, nOption, nDigits, nDecimals));
    }
    const int nDir = (nOption & KXOPT_DESCENDING) ? -1 : 1;
    int nFailures = 0;
    for (std::size_t i = 0; i < values.size() && nFailures < 5; ++i) {
        for (std::size_t j = 0; j < values.size() && nFailures < 5; ++j) {
            const int nExpected = nDir * Sign(cmp(values[i], values[j]));
            if (KeyCompare(keys[i], keys[j]) != nExpected) {
                ADD_FAILURE() << pszWhat << ": values " << i << " and " << j << " should compare " << nExpected;
                ++nFailures;
            }
        }
    }
}

template <class T>
int Natural(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// A setter of fixed-size values of type nType.
template <class T>
std::function<void(CAny&, const T&)> Fixed(unsigned short nType)
{
    return [nType](CAny& v, const T& x) { SetFixed(v, nType, x); };
}

std::mt19937& Rng()
{
    static std::mt19937 rng(20240611);
    return rng;
}

template <class T>
std::vector<T> RandomIntegers(int n)
{
    std::vector<T> v = {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T(0), T(1), T(-1)};
    std::uniform_int_distribution<std::uint64_t> d;
    while (static_cast<int>(v.size()) < n) {
        T x;
        const std::uint64_t r = d(Rng());
        std::memcpy(&x, &r, sizeof(x));
        v.push_back(x);
    }
    return v;
}

template <class T>
void CheckIntegers(unsigned short nType)
{
    const std::vector<T> values = RandomIntegers<T>(60);
    CheckOrder("integer", values, Fixed<T>(nType), Natural<T>, sizeof(T));
    CheckOrder("integer descending", values, Fixed<T>(nType), Natural<T>, sizeof(T), 0, KXOPT_DESCENDING);
}

// UTF-16 units of a wide text, pairs above U+FFFF.
std::vector<unsigned short> Utf16(const std::wstring& s)
{
    std::vector<unsigned short> u;
    for (wchar_t w : s) {
        const unsigned c = static_cast<unsigned>(w);
        if (c > 0xFFFF)
            u.insert(u.end(), {static_cast<unsigned short>(0xD800 | ((c - 0x10000) >> 10)),
                               static_cast<unsigned short>(0xDC00 | (c & 0x3FF))});
        else
            u.push_back(static_cast<unsigned short>(c));
    }
    return u;
}

unsigned Weight(unsigned u)
{
    const unsigned short t = tabUCS2FastSort[u];
    return static_cast<unsigned>((t >> 8) | ((t & 0xFF) << 8));
}

// ASCII, Latin, the rest of the BMP (no surrogates) and above U+FFFF.
std::wstring RandomWide(int nMax)
{
    static const unsigned aRanges[][2] = {
        {0x20, 0x7E}, {0xA0, 0x17F}, {0x100, 0xD7FF}, {0xE000, 0xFFFD}, {0x10000, 0x10FFFF}};
    std::wstring s(static_cast<std::size_t>(std::uniform_int_distribution<int>(0, nMax)(Rng())), L' ');
    for (auto& c : s) {
        const unsigned* r = aRanges[Rng()() % 5];
        c = static_cast<wchar_t>(std::uniform_int_distribution<unsigned>(r[0], r[1])(Rng()));
    }
    return s;
}

}  // namespace

// The weight table is a permutation with the stated weights.
TEST(ConvertKeyTable, FastSortWeights)
{
    std::vector<bool> seen(65536);
    for (unsigned u = 0; u < 65536; ++u) {
        ASSERT_FALSE(seen[Weight(u)]) << "weight " << Weight(u) << " given twice";
        seen[Weight(u)] = true;
        if (u < 32 && (u <= 8 || u >= 14)) {
            EXPECT_EQ(Weight(u), u);
        }
    }
    // Key bytes in memory order (weight, most significant byte first).
    const unsigned aRows[][2] = {{0x0020, 0x0A3D}, {0x0030, 0x1684}, {0x0031, 0x16A3}, {0x0061, 0x1877},
                                 {0x0041, 0x187B}, {0x00E1, 0x1882}, {0x00E0, 0x1884}, {0x00C0, 0x1885},
                                 {0x0062, 0x18D8}, {0x0042, 0x18DB}};
    for (const auto& r : aRows) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&tabUCS2FastSort[r[0]]);
        EXPECT_EQ(b[0] << 8 | b[1], static_cast<int>(r[1])) << std::hex << r[0];
    }
    // White-space controls, the space, punctuation, symbols, digits, letters
    // (small before capital before the next letter), accented forms after
    // the plain ones, small before capital.
    for (unsigned u = 9; u <= 13; ++u) {
        EXPECT_GT(Weight(u), 31u);
        EXPECT_LT(Weight(u), Weight(' '));
    }
    const char* const pszOrder =
        " !$0123456789aAbBcC\xE7\xC7" "dDeE\xE9\xC9" "fFgGhHiIjJkKlLmMnNoOpPqQrRsStTuUvVwWxXyYzZ";
    for (const char* p = pszOrder; p[1] != 0; ++p)
        EXPECT_LT(Weight(static_cast<unsigned char>(p[0])), Weight(static_cast<unsigned char>(p[1]))) << p[0];
}

TEST(ConvertKeyTable, SizesAndItemTypes)
{
    const struct {
        unsigned short nHost;
        eITEMTYPE e;
    } rows[] = {{18, KXIT_STRA}, {19, KXIT_STRA}, {24, KXIT_STRA}, {25, KXIT_STRA}, {128, KXIT_STRA},
                {129, KXIT_STRA}, {6, KXIT_I1}, {7, KXIT_I2}, {8, KXIT_I4}, {9, KXIT_I8}, {11, KXIT_R4},
                {12, KXIT_R8}, {2, KXIT_UI1}, {3, KXIT_UI2}, {4, KXIT_UI4}, {5, KXIT_UI8}, {29, KXIT_BUFFER},
                {10, KXIT_MONEY}, {26, KXIT_DATETIME}, {27, KXIT_DUREE}, {28, KXIT_BIN}, {17, KXIT_CARA},
                {1, KXIT_BOOL}, {110, KXIT_PSTRW}, {16, KXIT_STRW}, {13, KXIT_DECIMAL}, {81, KXIT_I4},
                {14, KXIT_I4}, {143, KXIT_I4}};
    for (const auto& r : rows)
        EXPECT_EQ(CKXConvertKey::eGetItemType(r.nHost), r.e) << r.nHost;

    // Texts gain a terminator, binaries two hex digits a byte, wide texts
    // two bytes a character and a terminator; decimals are 32 bytes.
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_STRA2, 10), 11u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_BIN, 10), 20u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_PSTRW, 10), 22u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_DECIMAL, 3), 32u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(16), 16), 34u);
}

TEST_F(ConvertKeyTest, StatedKeysAndSizes)
{
    CAny v;
    SetFixed(v, TQTYPE_I4, -1);
    EXPECT_EQ(Key(v, 4), (Bytes{0x7F, 0xFF, 0xFF, 0xFF}));
    SetFixed(v, TQTYPE_R8, 0.5);
    EXPECT_EQ(Key(v, 8), (Bytes{0xBF, 0xE0, 0, 0, 0, 0, 0, 0}));
    SetFixed(v, TQTYPE_R8, -0.5);
    EXPECT_EQ(Key(v, 8), (Bytes{0x40, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    // A 3-byte binary in a 10-byte key; longer than the buffer: as many
    // bytes as fit.
    SetBin(v, Bytes{0x01, 0xAB, 0xF0});
    unsigned n = 0;
    const Bytes k = Key(v, 10, 0, 0, 0, 0, &n);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::string(k.begin(), k.end()), "01abf00000");
    EXPECT_EQ(Key(v, 5, 0, 0, 0, 0, &n), (Bytes{'0', '1', 'a', 'b', '0'}));
    EXPECT_EQ(n, 4u);

    // The allocating form: room for the key, the same key as in a caller
    // buffer. 8-bit text: 3 + terminator, + 1; wide: (12 + 4) x 2 + 2.
    CAny t, w;
    SetText(t, "abc");
    SetWide(w, L"abc", TQTYPE_PSTRW);
    for (auto c : {std::make_tuple(&t, 5u, 4u), std::make_tuple(&w, 34u, 8u), std::make_tuple(&v, 6u, 6u)}) {
        unsigned char* p = nullptr;
        EXPECT_EQ(CConvertKey::nConvertKeyAndGetSize(std::get<0>(c), &p, 0, 0, 0, 0), std::get<2>(c));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(Bytes(p, p + std::get<1>(c)), Key(*std::get<0>(c), std::get<1>(c)));
        std::free(p);
    }
}

TEST_F(ConvertKeyTest, IntegerAndRealKeysFollowTheValues)
{
    CheckIntegers<std::int8_t>(TQTYPE_I1);
    CheckIntegers<std::int16_t>(TQTYPE_I2);
    CheckIntegers<std::int32_t>(TQTYPE_I4);
    CheckIntegers<std::int64_t>(TQTYPE_I8);
    CheckIntegers<std::uint8_t>(TQTYPE_UI1);
    CheckIntegers<std::uint16_t>(TQTYPE_UI2);
    CheckIntegers<std::uint32_t>(TQTYPE_UI4);
    CheckIntegers<std::uint64_t>(TQTYPE_UI8);
    CheckIntegers<std::int64_t>(TQTYPE_DUREE);
    CheckIntegers<std::uint8_t>(TQTYPE_CARA);
    CheckIntegers<std::int32_t>(TQTYPE_CARW);  // keyed as a signed 32-bit integer
    CheckOrder("boolean", std::vector<int>{0, 1, 0, 1}, Fixed<int>(TQTYPE_BOOL), Natural<int>, 1);
    // Through a cast: 32-bit values keyed as 64-bit ones.
    CheckOrder("cast", RandomIntegers<std::int32_t>(30), Fixed<std::int32_t>(TQTYPE_I4), Natural<std::int32_t>, 8,
               TQTYPE_I8);

    // Reals: -0 keys just below +0, the one place where the keys tell
    // apart what compares equal.
    auto realCmp = [](auto a, auto b) {
        return a == b ? static_cast<int>(std::signbit(b)) - static_cast<int>(std::signbit(a)) : a < b ? -1 : 1;
    };
    using Limits = std::numeric_limits<double>;
    std::vector<double> d = {0.0, -0.0, 1.0, -1.0, Limits::infinity(), -Limits::infinity(), Limits::denorm_min(),
                             -Limits::max(), Limits::max()};
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    std::uniform_int_distribution<int> e(-300, 300);
    while (d.size() < 80)
        d.push_back(std::ldexp(u(Rng()), e(Rng())));
    CheckOrder("double", d, Fixed<double>(TQTYPE_R8), realCmp, 8);
    std::vector<float> f;
    for (double x : d)
        f.push_back(static_cast<float>(std::ldexp(x, -std::ilogb(x == 0 || std::isinf(x) ? 1.0 : x) / 4)));
    CheckOrder("float", f, Fixed<float>(TQTYPE_R4), realCmp, 4, 0, KXOPT_DESCENDING);
}

TEST_F(ConvertKeyTest, CurrencyDateAndBinaryKeysFollowTheValues)
{
    // Currency: 80-bit two's complement, compared word by word.
    std::vector<CMoney> money(1);
    std::uniform_int_distribution<unsigned> w(0, 0xFFFF);
    for (int i = 0; i < 60; ++i) {
        CMoney m;
        for (auto& x : m.m_awMot)
            x = static_cast<unsigned short>(w(Rng()));
        if (i % 3 == 0)
            m.m_awMot[4] = m.m_awMot[3] & 0x8000 ? 0xFFFF : 0;  // small magnitudes too
        money.push_back(m);
    }
    CheckOrder("currency", money, Fixed<CMoney>(TQTYPE_CY), [](const CMoney& a, const CMoney& b) {
        int n = Natural(static_cast<short>(a.m_awMot[4]), static_cast<short>(b.m_awMot[4]));
        for (int i = 3; i >= 0 && n == 0; --i)
            n = Natural(a.m_awMot[i], b.m_awMot[i]);
        return n;
    }, 10);

    // Date-times: year, month, day, then the time of day.
    struct DT {
        unsigned char day, month;
        std::uint16_t year;
        std::uint32_t ms;
    };
    static_assert(sizeof(DT) == 8, "date-time layout");
    std::vector<DT> dates = {{0, 0, 0, 0}};
    std::uniform_int_distribution<int> year(1, 9999), month(1, 12), day(1, 28), ms(0, 86399999), pick(0, 3);
    for (int i = 0; i < 60; ++i)
        dates.push_back({static_cast<unsigned char>(day(Rng())), static_cast<unsigned char>(month(Rng())),
                         static_cast<std::uint16_t>(pick(Rng()) == 0 ? 2000 : year(Rng())),
                         static_cast<std::uint32_t>(ms(Rng()))});
    auto dateKey = [](const DT& a) { return ((a.year * 100LL + a.month) * 100 + a.day) * 100000000LL + a.ms; };
    CheckOrder("date-time", dates, Fixed<DT>(TQTYPE_DATETIME),
               [&](const DT& a, const DT& b) { return Sign(dateKey(a) - dateKey(b)); }, 8);

    // Binaries: the bytes, a shorter one read as padded with zero bytes.
    std::vector<Bytes> bins;
    std::uniform_int_distribution<int> len(0, 6), byte(0, 255), low(0, 2);
    for (int i = 0; i < 60; ++i) {
        Bytes b(static_cast<std::size_t>(len(Rng())));
        for (auto& x : b)
            x = static_cast<unsigned char>(low(Rng()) == 0 ? 0 : byte(Rng()));
        bins.push_back(b);
    }
    CheckOrder("binary", bins, SetBin, [](Bytes a, Bytes b) {
        a.resize(6);
        b.resize(6);
        return Natural(a, b);
    }, 12);
}

TEST_F(ConvertKeyTest, DecimalKeysFollowTheValues)
{
    // Mantissa and scale, compared exactly at scale 6.
    struct Dec {
        long long m;
        int scale;
    };
    std::vector<Dec> values = {{0, 0}, {1, 0}, {-1, 0}, {1, 6}, {-1, 6}, {999999999, 0}, {-999999999, 0}};
    std::uniform_int_distribution<long long> m(-999999999, 999999999);
    std::uniform_int_distribution<int> s(0, 6);
    while (values.size() < 50)
        values.push_back({m(Rng()) / (values.size() % 2 ? 1 : 1000), s(Rng())});
    auto set = [](CAny& v, const Dec& x) {
        std::string digits = std::to_string(x.m < 0 ? -x.m : x.m);
        if (x.scale > 0) {
            if (static_cast<int>(digits.size()) <= x.scale)
                digits.insert(0, static_cast<std::size_t>(x.scale + 1 - static_cast<int>(digits.size())), '0');
            digits.insert(digits.size() - static_cast<std::size_t>(x.scale), ".");
        }
        SetWide(v, std::wstring(x.m < 0 ? L"-" : L"") + std::wstring(digits.begin(), digits.end()), TQTYPE_PSTRW);
    };
    auto scaled = [](const Dec& x) {
        long long v = x.m;
        for (int i = x.scale; i < 6; ++i)
            v *= 10;
        return v;
    };
    CheckOrder("decimal", values, set, [&](const Dec& a, const Dec& b) { return Sign(scaled(a) - scaled(b)); }, 32,
               TQTYPE_DECIMAL, 0, 14, 6);

    // A value beyond the digits asked for keeps its own precision: the same
    // key as with room enough.
    CAny v;
    SetWide(v, L"123456.5", TQTYPE_PSTRW);
    unsigned n = 0;
    EXPECT_EQ(Key(v, 32, TQTYPE_DECIMAL, 0, 2, 0, &n), Key(v, 32, TQTYPE_DECIMAL, 0, 20, 6));
    EXPECT_EQ(n, 32u);
}

TEST_F(ConvertKeyTest, TextKeysFollowTheTexts)
{
    // 8-bit texts: unsigned bytes, a prefix first.
    std::vector<std::string> texts = {"", "a", "ab", "abc", "b", "\xFF", "\xFF\xFF"};
    std::uniform_int_distribution<int> len(0, 12), byte(1, 255), letter(0, 5);
    while (texts.size() < 60) {
        std::string s(static_cast<std::size_t>(len(Rng())), 'x');
        for (auto& c : s)
            c = static_cast<char>(texts.size() % 2 ? byte(Rng()) : 'a' + letter(Rng()));
        texts.push_back(s);
    }
    auto bytesCmp = [](const std::string& a, const std::string& b) {
        return Sign(std::memcmp(a.c_str(), b.c_str(), std::min(a.size(), b.size()) + 1));
    };
    auto setPointer = [](CAny& v, const std::string& s) {
        v.__SetType(TQTYPE_PSTRA, 0);
        v.pclGetTraitement()->SetValue(s.c_str());
    };
    const unsigned nText = CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(19), 13);
    CheckOrder("8-bit text", texts, SetText, bytesCmp, nText);
    CheckOrder("8-bit text by pointer", texts, setPointer, bytesCmp, nText, 0, KXOPT_DESCENDING);

    // Mapped to capitals by the locale service (mapping 1).
    std::vector<std::string> ascii;
    for (int i = 0; i < 40; ++i) {
        std::string s(static_cast<std::size_t>(len(Rng()) % 5), 'x');
        for (auto& c : s)
            c = static_cast<char>((i % 2 ? 'a' : 'A') + letter(Rng()));
        ascii.push_back(s);
    }
    auto upperCmp = [&](std::string a, std::string b) {
        for (auto* s : {&a, &b})
            for (auto& c : *s)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return bytesCmp(a, b);
    };
    TestHost().ClearLocaleCalls();
    CheckOrder("mapped 8-bit text", ascii, SetText, upperCmp, 8, 0, KXOPT_MAP_1);
    ASSERT_GT(TestHost().nLocaleCalls(), 0u);
    EXPECT_EQ(TestHost().LocaleCall(0).nSlot, 11);
    EXPECT_EQ(TestHost().LocaleCall(0).nFlags, 1u);

    // Wide texts, big-endian units: UTF-16 order, characters above U+FFFF
    // as pairs (no character is lost); with the weight table, the units'
    // weights.
    std::vector<std::wstring> wide = {L"", L"a", L"ab", std::wstring(1, static_cast<wchar_t>(0x1F600)),
                                      std::wstring(1, static_cast<wchar_t>(0xF600)), L"\xFFFD"};
    while (wide.size() < 60)
        wide.push_back(RandomWide(8));
    auto utf16Cmp = [](const std::wstring& a, const std::wstring& b) { return Natural(Utf16(a), Utf16(b)); };
    auto weightCmp = [](const std::wstring& a, const std::wstring& b) {
        std::vector<unsigned> wa, wb;
        for (auto u : Utf16(a))
            wa.push_back(Weight(u));
        for (auto u : Utf16(b))
            wb.push_back(Weight(u));
        return Natural(wa, wb);
    };
    auto setDyn = [](CAny& v, const std::wstring& s) { SetWide(v, s); };
    auto setPtr = [](CAny& v, const std::wstring& s) { SetWide(v, s, TQTYPE_PSTRW); };
    const unsigned nWide = CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(16), 8 * 4 + 4);
    CheckOrder("wide text", wide, setDyn, utf16Cmp, nWide, 0, KXOPT_BIG_ENDIAN);
    CheckOrder("wide text by pointer", wide, setPtr, utf16Cmp, nWide, 0, KXOPT_BIG_ENDIAN | KXOPT_DESCENDING);
    CheckOrder("weighted wide text", wide, setDyn, weightCmp, nWide, 0, KXOPT_WEIGHTS | KXOPT_BIG_ENDIAN);

    // The whole text is in its key, unit by unit (little-endian without
    // options).
    CAny v;
    SetWide(v, std::wstring(L"a") + static_cast<wchar_t>(0x1F600));
    unsigned n = 0;
    const Bytes k = Key(v, CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(16), 12), 0, 0, 0, 0, &n);
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(Bytes(k.begin(), k.begin() + 8), (Bytes{'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
}

TEST_F(ConvertKeyTest, HighValueFillerSurvivesMappingAndDescendingInvertsAll)
{
    // A 0xFF filler (which maps to another byte) stays 0xFF when it ends
    // the text, spaces aside; followed by another character it is mapped.
    CAny v;
    SetText(v, "ab\xFF  ");
    EXPECT_EQ(Key(v, 7, 0, KXOPT_MAP_1), (Bytes{'A', 'B', 0xFF, ' ', ' ', 0, 0}));
    SetText(v, "ab\xFF");
    EXPECT_EQ(Key(v, 5, 0, KXOPT_MAP_1)[2], 0xFF);
    SetText(v, "a\xFFz");
    EXPECT_NE(Key(v, 5, 0, KXOPT_MAP_1)[1], 0xFF);

    // Descending: every byte of the buffer inverted, the padding too.
    SetText(v, "ab");
    const Bytes up = Key(v, 9);
    unsigned n = 0;
    Bytes down = Key(v, 9, 0, KXOPT_DESCENDING, 0, 0, &n);
    EXPECT_EQ(n, 3u);
    CConvertKey::__InvertKey(down.data(), 9);
    EXPECT_EQ(down, up);
    EXPECT_EQ(up[8], 0);
}

TEST_F(ConvertKeyTest, NullAndEmptyValuesAreLeftAlone)
{
    CAny v;
    SetFixed(v, TQTYPE_I4, 1234);
    v.SetNullFlag(true);
    const Bytes before(v.pbyGetValeur(), v.pbyGetValeur() + CAny::VALEUR_SIZE);
    unsigned n = 0;
    // The cache indexes' options; keyed as an empty wide text.
    EXPECT_EQ(Key(v, 10, 0, 0x2800, 0, 0, &n), Bytes(10, 0));
    EXPECT_EQ(n, 2u);
    unsigned char* p = nullptr;
    EXPECT_EQ(CConvertKey::nConvertKeyAndGetSize(&v, &p, 0, 0x2800, 0, 0), 2u);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Bytes(p, p + 10), Bytes(10, 0));
    std::free(p);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4 | TQFLAG_NULL);
    EXPECT_EQ(Bytes(v.pbyGetValeur(), v.pbyGetValeur() + CAny::VALEUR_SIZE), before);

    CAny e;
    EXPECT_EQ(Key(e, 10), Bytes(10, 0));

    // A value that does not become the key's type gives an empty key.
    SetWide(v, L"abc", TQTYPE_PSTRW);
    EXPECT_EQ(Key(v, 4, TQTYPE_I4, 0, 0, 0, &n), Bytes(4, 0));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_PSTRW);
}

TEST_F(ConvertKeyTest, EncodersStayWithinTheirBuffers)
{
    const std::function<void(CAny&)> values[] = {
        [](CAny& a) { SetFixed(a, TQTYPE_I8, -5LL); }, [](CAny& a) { SetFixed(a, TQTYPE_UI4, 5u); },
        [](CAny& a) { SetFixed(a, TQTYPE_R8, -2.5); }, [](CAny& a) { SetFixed(a, TQTYPE_R4, 2.5f); },
        [](CAny& a) { SetFixed(a, TQTYPE_BOOL, 1); }, [](CAny& a) { SetFixed(a, TQTYPE_CY, CMoney{{1, 2, 3, 4, 5}}); },
        [](CAny& a) { SetFixed(a, TQTYPE_DATETIME, 0x0123456789LL); }, [](CAny& a) { SetFixed(a, TQTYPE_DUREE, -7LL); },
        [](CAny& a) { SetText(a, "hello \xFF  "); }, [](CAny& a) { SetWide(a, L"h\x00E9llo\x1F600"); },
        [](CAny& a) { SetWide(a, L"h\x00E9llo", TQTYPE_PSTRW); }, [](CAny& a) { SetBin(a, Bytes{1, 2, 3, 4, 5}); },
        [](CAny& a) { SetWide(a, L"-12.75", TQTYPE_PSTRW); },  // keyed as a decimal
        [](CAny& a) { SetFixed(a, TQTYPE_CARA, 'q'); },
    };
    const unsigned short options[] = {0, KXOPT_DESCENDING, KXOPT_MAP_1 | KXOPT_MAP_2 | KXOPT_MAP_4,
                                      KXOPT_WEIGHTS, KXOPT_BIG_ENDIAN | KXOPT_BUILDER_MODE};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        CAny v;
        values[i](v);
        const unsigned short nType = i == 12 ? TQTYPE_DECIMAL : 0;
        for (unsigned short nOption : options) {
            for (unsigned nSize = 0; nSize <= 40; ++nSize) {
                // Exactly nSize bytes on the heap, and guard bytes after a copy.
                std::unique_ptr<unsigned char[]> exact(new unsigned char[nSize + 1]);
                EXPECT_LE(CConvertKey::nConvertKeyAndGetSize(&v, exact.get(), nSize, nType, nOption, 8, 2), nSize);
                Bytes guarded(nSize + 8, 0xA5);
                CConvertKey::nConvertKeyAndGetSize(&v, guarded.data(), nSize, nType, nOption, 8, 2);
                EXPECT_EQ(Bytes(guarded.begin() + nSize, guarded.end()), Bytes(8, 0xA5))
                    << "value " << i << " option " << nOption << " size " << nSize;
            }
        }
    }

    // Types without a key write nothing; data shorter than the type reads
    // nothing beyond it.
    Bytes b(8, 0x5A);
    const int x = 3;
    EXPECT_EQ(CKXConvertKey::__nConvertKey(b.data(), 8, &x, 4, KXIT_BUFFER, 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(CKXConvertKey::__nConvertKey(b.data(), 8, &x, 4, static_cast<eITEMTYPE>(23), 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(b, Bytes(8, 0x5A));
    std::unique_ptr<unsigned char[]> two(new unsigned char[2]{1, 2});
    EXPECT_EQ(CKXConvertKey::__nConvertKey(b.data(), 8, two.get(), 2, KXIT_I8, 0, 0, 0, 0, 0), 0u);
}

TEST_F(ConvertKeyTest, WideTextsThroughTheEngineKeyBuilder)
{
    IKXForNA* piKX = static_cast<IKXForNA*>(TestHost().pKeyService());
    ASSERT_NE(piKX, nullptr);
    auto* piBuilder = static_cast<IHostUnicodeKey*>(piKX->piGetUnicodeKey());
    ASSERT_NE(piBuilder, nullptr);

    CAny v;
    SetWide(v, L"\x00C9t\x00E9");
    const unsigned nSize = CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(16), 16);
    // Not handed over yet: the built-in encoding.
    piBuilder->ClearCalls();
    EXPECT_EQ(Key(v, nSize, 0, KXOPT_MAP_2), Key(v, nSize));
    EXPECT_EQ(piBuilder->nCalls(), 0);
    {
        CNADriver clDriver;
        CNADriver::s_pclDriver = &clDriver;
        clDriver.bSetKX(piKX);

        unsigned n = 0;
        const Bytes k = Key(v, nSize, 0, KXOPT_MAP_2, 0, 0, &n);
        ASSERT_EQ(piBuilder->nCalls(), 1);
        const HostKeyCall st = piBuilder->LastCall();
        EXPECT_EQ(st.nSlot, 18);
        EXPECT_EQ(st.nUnits, nSize / 2);
        EXPECT_EQ(st.nChars, 4u);  // the terminator included
        EXPECT_EQ(st.bOption20 * 2 + st.bOption40, 2);
        EXPECT_EQ(st.nMode, 0);
        // The builder's key without accents, byte-ordered; length without the 0 unit.
        EXPECT_EQ(n, 6u);
        EXPECT_EQ(Bytes(k.begin(), k.begin() + 8), (Bytes{0, 'E', 0, 't', 0, 'e', 0, 0}));

        // Case-insensitive keys of the builder order like the folded texts.
        CAny a, b;
        SetWide(a, L"ABC");
        SetWide(b, L"abc");
        EXPECT_EQ(Key(a, 34, 0, KXOPT_MAP_4), Key(b, 34, 0, KXOPT_MAP_4));
        EXPECT_EQ(piBuilder->LastCall().bOption40, 1);

        // 0x80 with 0x02: mode 1, then big-endian units.
        const Bytes m = Key(v, nSize, 0, KXOPT_BUILDER_MODE | KXOPT_BIG_ENDIAN, 0, 0, &n);
        EXPECT_EQ(piBuilder->LastCall().nMode, 1);
        EXPECT_EQ(m, Key(v, nSize, 0, KXOPT_BIG_ENDIAN));

        // 16-bit input goes to slot 17.
        const unsigned short text[] = {'x', 'y', 0};
        unsigned short key[4] = {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE};
        EXPECT_EQ(CKXConvertKey::_nUNICODE_to_Key(key, 8, text, 6, KXOPT_MAP_2, 0), 4u);
        EXPECT_EQ(piBuilder->LastCall().nSlot, 17);
    }
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);

    // 16-bit input without the builder: copied, last unit 0.
    const unsigned short text[] = {'x', 'y', 'z', 'w', 0};
    unsigned short key[3] = {0xEEEE, 0xEEEE, 0xEEEE};
    EXPECT_EQ(CKXConvertKey::_nUNICODE_to_Key(key, 6, text, 10, 0, 0), 6u);
    EXPECT_EQ(std::vector<unsigned short>(key, key + 3), (std::vector<unsigned short>{'x', 'y', 0}));
}

TEST_F(ConvertKeyTest, CharsetSortKeys)
{
    // With a charset the key becomes the locale's sort key: letters by
    // their base first, whatever the case; plain bytes put the capital first.
    char ka[16], kb[16];
    EXPECT_GT(CKXConvertKey::_nSTR_to_Key(ka, sizeof(ka), "a", 1, 0, 204), 0u);
    EXPECT_GT(CKXConvertKey::_nSTR_to_Key(kb, sizeof(kb), "B", 1, 0, 204), 0u);
    EXPECT_LT(std::memcmp(ka, kb, sizeof(ka)), 0);
    EXPECT_GT(CKXConvertKey::_nSTR_to_Key(ka, sizeof(ka), "a", 1, 0, 0), 0u);
    EXPECT_GT(CKXConvertKey::_nSTR_to_Key(kb, sizeof(kb), "B", 1, 0, 0), 0u);
    EXPECT_GT(std::memcmp(ka, kb, sizeof(ka)), 0);
}
