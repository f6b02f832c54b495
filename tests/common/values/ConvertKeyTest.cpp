// Sortable keys: memcmp of two keys must order them as the values compare,
// checked on random values of every host type against an order computed
// here from the values themselves; sizes, descending keys, NULL values and
// buffer bounds.
#include "common/values/ConvertKey.h"

#include "access/driver/NaDriver.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"
#include "common/values/KXForNA.h"
#include "common/values/datetime.h"
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
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void BindMachine()
{
    static void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(bInitTQConvFromVM(h, 2, 2), 1);
}

class ConvertKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestHost();
        BindMachine();
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

// Every pair of values: the keys' order against the values' own.
template <class T>
void CheckOrder(const char* pszWhat, const std::vector<T>& values, const std::function<void(CAny&, const T&)>& set,
                const std::function<int(const T&, const T&)>& cmp, unsigned nSize, unsigned short nType = 0,
                unsigned short nOption = 0, int nDigits = 0, int nDecimals = 0)
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

std::mt19937& Rng()
{
    static std::mt19937 rng(20240611);
    return rng;
}

template <class T>
std::vector<T> RandomIntegers(int n)
{
    std::vector<T> v = {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T(0), T(1)};
    if (std::numeric_limits<T>::is_signed)
        v.push_back(T(-1));
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
    CheckOrder<T>(
        "integer", values, [nType](CAny& v, const T& x) { SetFixed(v, nType, x); }, Natural<T>, sizeof(T));
    CheckOrder<T>(
        "integer descending", values, [nType](CAny& v, const T& x) { SetFixed(v, nType, x); }, Natural<T>,
        sizeof(T), 0, KXOPT_DESCENDING);
}

// UTF-16 units of a wide text, pairs above U+FFFF.
std::vector<unsigned short> Utf16(const std::wstring& s)
{
    std::vector<unsigned short> u;
    for (wchar_t w : s) {
        unsigned c = static_cast<unsigned>(w);
        if (c > 0xFFFF) {
            c -= 0x10000;
            u.push_back(static_cast<unsigned short>(0xD800 | (c >> 10)));
            u.push_back(static_cast<unsigned short>(0xDC00 | (c & 0x3FF)));
        } else {
            u.push_back(static_cast<unsigned short>(c));
        }
    }
    return u;
}

unsigned Weight(unsigned short u)
{
    const unsigned short t = tabUCS2FastSort[u];
    return static_cast<unsigned>((t >> 8) | ((t & 0xFF) << 8));
}

std::wstring RandomWide(int nMax)
{
    std::uniform_int_distribution<int> len(0, nMax);
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<unsigned> ascii(0x20, 0x7E), latin(0xA0, 0x17F), bmp(0x100, 0xFFFD),
        astral(0x10000, 0x10FFFF);
    std::wstring s;
    for (int i = len(Rng()); i > 0; --i) {
        unsigned c = 0;
        switch (kind(Rng())) {
        case 0: c = ascii(Rng()); break;
        case 1: c = latin(Rng()); break;
        case 2:
            do
                c = bmp(Rng());
            while (c >= 0xD800 && c <= 0xDFFF);
            break;
        default: c = astral(Rng()); break;
        }
        s.push_back(static_cast<wchar_t>(c));
    }
    return s;
}

}  // namespace

// The weight table is a permutation with the stated weights.
TEST(ConvertKeyTable, FastSortWeights)
{
    std::vector<bool> seen(65536);
    for (unsigned u = 0; u < 65536; ++u) {
        const unsigned w = Weight(static_cast<unsigned short>(u));
        ASSERT_FALSE(seen[w]) << "weight " << w << " given twice";
        seen[w] = true;
    }
    for (unsigned u = 0; u < 32; ++u) {
        if (u <= 8 || u >= 14) {
            EXPECT_EQ(Weight(static_cast<unsigned short>(u)), u);
        }
    }
    // Key bytes in memory order.
    struct Row {
        unsigned short u;
        unsigned char b0, b1;
    };
    const Row rows[] = {{0x0000, 0x00, 0x00}, {0x0020, 0x0A, 0x3D}, {0x0030, 0x16, 0x84}, {0x0031, 0x16, 0xA3},
                        {0x0061, 0x18, 0x77}, {0x0041, 0x18, 0x7B}, {0x00E1, 0x18, 0x82}, {0x00E0, 0x18, 0x84},
                        {0x00C0, 0x18, 0x85}, {0x0062, 0x18, 0xD8}, {0x0042, 0x18, 0xDB}};
    for (const Row& r : rows) {
        unsigned char b[2];
        std::memcpy(b, &tabUCS2FastSort[r.u], 2);
        EXPECT_EQ(b[0], r.b0) << std::hex << r.u;
        EXPECT_EQ(b[1], r.b1) << std::hex << r.u;
    }
    // White-space controls, the space, punctuation, symbols, digits, letters.
    for (unsigned u = 9; u <= 13; ++u) {
        EXPECT_GT(Weight(static_cast<unsigned short>(u)), 31u);
        EXPECT_LT(Weight(static_cast<unsigned short>(u)), Weight(' '));
    }
    EXPECT_LT(Weight(' '), Weight('!'));
    EXPECT_LT(Weight('!'), Weight('$'));
    EXPECT_LT(Weight('$'), Weight('0'));
    for (unsigned d = 0; d < 9; ++d)
        EXPECT_LT(Weight(static_cast<unsigned short>('0' + d)), Weight(static_cast<unsigned short>('1' + d)));
    EXPECT_LT(Weight('9'), Weight('a'));
    for (unsigned k = 0; k < 26; ++k) {
        const unsigned short small = static_cast<unsigned short>('a' + k), capital = static_cast<unsigned short>('A' + k);
        EXPECT_LT(Weight(small), Weight(capital));
        if (k < 25) {
            EXPECT_LT(Weight(capital), Weight(static_cast<unsigned short>(small + 1)));
        }
    }
    // Accented forms after the plain ones, small before capital.
    EXPECT_LT(Weight('E'), Weight(0xE9));
    EXPECT_LT(Weight(0xE9), Weight(0xC9));
    EXPECT_LT(Weight(0xC9), Weight('f'));
    EXPECT_LT(Weight(0xE7), Weight(0xC7));
    EXPECT_LT(Weight('C'), Weight(0xE7));
}

TEST(ConvertKeyTable, SizesAndItemTypes)
{
    struct Row {
        unsigned short nHost;
        eITEMTYPE e;
    };
    const Row rows[] = {{18, KXIT_STRA},  {19, KXIT_STRA},     {24, KXIT_STRA},     {25, KXIT_STRA},
                        {128, KXIT_STRA}, {129, KXIT_STRA},    {6, KXIT_I1},        {7, KXIT_I2},
                        {8, KXIT_I4},     {9, KXIT_I8},        {11, KXIT_R4},       {12, KXIT_R8},
                        {2, KXIT_UI1},    {3, KXIT_UI2},       {4, KXIT_UI4},       {5, KXIT_UI8},
                        {29, KXIT_BUFFER}, {10, KXIT_MONEY},   {26, KXIT_DATETIME}, {27, KXIT_DUREE},
                        {28, KXIT_BIN},   {17, KXIT_CARA},     {1, KXIT_BOOL},      {110, KXIT_PSTRW},
                        {16, KXIT_STRW},  {13, KXIT_DECIMAL},  {81, KXIT_I4},       {14, KXIT_I4},
                        {143, KXIT_I4}};
    for (const Row& r : rows)
        EXPECT_EQ(CKXConvertKey::eGetItemType(r.nHost), r.e) << r.nHost;

    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_STRA, 10), 11u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_STRA2, 10), 11u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_BIN, 10), 20u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_PSTRW, 10), 22u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_STRW, 10), 22u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_DECIMAL, 3), 32u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_MONEY, 10), 10u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(KXIT_I8, 8), 8u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(19), 4), 5u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(16), 16), 34u);
    EXPECT_EQ(CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(8), 4), 4u);
}

TEST_F(ConvertKeyTest, StatedKeysAndSizes)
{
    CAny v;
    const struct {
        int n;
        unsigned char b[4];
    } ints[] = {{-1, {0x7F, 0xFF, 0xFF, 0xFF}}, {0, {0x80, 0, 0, 0}}, {1, {0x80, 0, 0, 1}}};
    for (const auto& r : ints) {
        SetFixed(v, TQTYPE_I4, r.n);
        unsigned n = 0;
        EXPECT_EQ(Key(v, 4, 0, 0, 0, 0, &n), Bytes(r.b, r.b + 4));
        EXPECT_EQ(n, 4u);
    }
    SetFixed(v, TQTYPE_R8, 0.5);
    EXPECT_EQ(Key(v, 8), (Bytes{0xBF, 0xE0, 0, 0, 0, 0, 0, 0}));
    SetFixed(v, TQTYPE_R8, -0.5);
    EXPECT_EQ(Key(v, 8), (Bytes{0x40, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    // A 3-byte binary in a 10-byte key.
    SetBin(v, Bytes{0x01, 0xAB, 0xF0});
    unsigned n = 0;
    const Bytes k = Key(v, 10, 0, 0, 0, 0, &n);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::string(k.begin(), k.end()), "01abf00000");
    // Longer than the buffer: as many bytes as fit.
    EXPECT_EQ(Key(v, 5, 0, 0, 0, 0, &n), (Bytes{'0', '1', 'a', 'b', '0'}));
    EXPECT_EQ(n, 4u);

    // Sizes of the allocating form, and the same key as in a caller buffer.
    struct Case {
        std::function<void(CAny&)> set;
        unsigned nSize;
        unsigned nLength;
    };
    const Case cases[] = {
        {[](CAny& a) { SetFixed(a, TQTYPE_I4, 7); }, 4, 4},
        {[](CAny& a) { SetFixed(a, TQTYPE_UI2, static_cast<unsigned short>(7)); }, 2, 2},
        {[](CAny& a) { SetFixed(a, TQTYPE_I8, 7LL); }, 8, 8},
        {[](CAny& a) { SetFixed(a, TQTYPE_BOOL, 1); }, 1, 1},
        {[](CAny& a) { SetFixed(a, TQTYPE_CARA, 'x'); }, 1, 1},
        {[](CAny& a) { SetText(a, "abc"); }, 5, 4},                         // 3 + terminator, + 1
        {[](CAny& a) { SetWide(a, L"abc"); }, 34, 8},                       // (12 + 4) x 2 + 2
        {[](CAny& a) { SetWide(a, L"abc", TQTYPE_PSTRW); }, 34, 8},
        {[](CAny& a) { SetBin(a, Bytes{1, 2, 3}); }, 6, 6},
        {[](CAny& a) { CMoney m{}; SetFixed(a, TQTYPE_CY, m); }, 10, 10},
        {[](CAny& a) { SetFixed(a, TQTYPE_DATETIME, 0LL); }, 8, 8},
        {[](CAny& a) { SetFixed(a, TQTYPE_DUREE, 0LL); }, 8, 8},
    };
    for (const Case& c : cases) {
        CAny a;
        c.set(a);
        unsigned char* p = reinterpret_cast<unsigned char*>(1);
        const unsigned nLength = CConvertKey::nConvertKeyAndGetSize(&a, &p, 0, 0, 0, 0);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(nLength, c.nLength) << a.nGetTypeCode();
        const Bytes k2 = Key(a, c.nSize);
        EXPECT_EQ(Bytes(p, p + c.nSize), k2) << a.nGetTypeCode();
        std::free(p);
    }

    // Decimal keys are 32 bytes.
    SetWide(v, L"12.5", TQTYPE_PSTRW);
    unsigned char* p = nullptr;
    EXPECT_EQ(CConvertKey::nConvertKeyAndGetSize(&v, &p, TQTYPE_DECIMAL, 0, 10, 2), 32u);
    std::free(p);
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

    std::vector<int> bools = {0, 1, 0, 1};
    CheckOrder<int>(
        "boolean", bools, [](CAny& v, const int& b) { SetFixed(v, TQTYPE_BOOL, b); }, Natural<int>, 1);

    // Reals: -0 keys just below +0, the one place where the keys tell
    // apart what compares equal.
    auto realCmp = [](auto a, auto b) {
        if (a == b)
            return static_cast<int>(std::signbit(b)) - static_cast<int>(std::signbit(a));
        return a < b ? -1 : 1;
    };
    std::vector<double> d = {0.0, -0.0, 1.0, -1.0, std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::denorm_min(),
                             -std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    std::uniform_int_distribution<int> e(-300, 300);
    while (d.size() < 80)
        d.push_back(std::ldexp(u(Rng()), e(Rng())));
    CheckOrder<double>(
        "double", d, [](CAny& v, const double& x) { SetFixed(v, TQTYPE_R8, x); },
        [&](const double& a, const double& b) { return realCmp(a, b); }, 8);
    std::vector<float> f;
    for (double x : d)
        f.push_back(static_cast<float>(std::ldexp(x, -std::ilogb(x == 0 || std::isinf(x) ? 1.0 : x) / 4)));
    CheckOrder<float>(
        "float", f, [](CAny& v, const float& x) { SetFixed(v, TQTYPE_R4, x); },
        [&](const float& a, const float& b) { return realCmp(a, b); }, 4, 0, KXOPT_DESCENDING);

    // Through a cast: 32-bit values keyed as 64-bit ones.
    const std::vector<std::int32_t> i32 = RandomIntegers<std::int32_t>(30);
    CheckOrder<std::int32_t>(
        "cast", i32, [](CAny& v, const std::int32_t& x) { SetFixed(v, TQTYPE_I4, x); }, Natural<std::int32_t>, 8,
        TQTYPE_I8);
}

TEST_F(ConvertKeyTest, CurrencyDateAndBinaryKeysFollowTheValues)
{
    // Currency: 80-bit two's complement, compared word by word.
    std::vector<CMoney> money;
    std::uniform_int_distribution<unsigned> w(0, 0xFFFF);
    for (int i = 0; i < 60; ++i) {
        CMoney m;
        for (auto& x : m.m_awMot)
            x = static_cast<unsigned short>(w(Rng()));
        if (i % 3 == 0)
            m.m_awMot[4] = m.m_awMot[3] & 0x8000 ? 0xFFFF : 0;  // small magnitudes too
        money.push_back(m);
    }
    money.push_back(CMoney{});
    auto moneyCmp = [](const CMoney& a, const CMoney& b) {
        const int ha = static_cast<short>(a.m_awMot[4]), hb = static_cast<short>(b.m_awMot[4]);
        if (ha != hb)
            return ha < hb ? -1 : 1;
        for (int i = 3; i >= 0; --i)
            if (a.m_awMot[i] != b.m_awMot[i])
                return a.m_awMot[i] < b.m_awMot[i] ? -1 : 1;
        return 0;
    };
    CheckOrder<CMoney>(
        "currency", money, [](CAny& v, const CMoney& m) { SetFixed(v, TQTYPE_CY, m); }, moneyCmp, 10);

    // Date-times: year, month, day, then the time of day.
    struct DT {
        unsigned char day, month;
        std::uint16_t year;
        std::uint32_t ms;
    };
    static_assert(sizeof(DT) == 8, "date-time layout");
    std::vector<DT> dates = {{0, 0, 0, 0}};
    std::uniform_int_distribution<int> year(1, 9999), month(1, 12), day(1, 28), ms(0, 86399999), pick(0, 3);
    for (int i = 0; i < 60; ++i) {
        DT x = {static_cast<unsigned char>(day(Rng())), static_cast<unsigned char>(month(Rng())),
                static_cast<std::uint16_t>(pick(Rng()) == 0 ? 2000 : year(Rng())),
                static_cast<std::uint32_t>(ms(Rng()))};
        dates.push_back(x);
    }
    auto dateCmp = [](const DT& a, const DT& b) {
        const long long ka = ((a.year * 100LL + a.month) * 100 + a.day) * 100000000LL + a.ms;
        const long long kb = ((b.year * 100LL + b.month) * 100 + b.day) * 100000000LL + b.ms;
        return Sign(ka - kb);
    };
    CheckOrder<DT>(
        "date-time", dates, [](CAny& v, const DT& x) { SetFixed(v, TQTYPE_DATETIME, x); }, dateCmp, 8);

    // Binaries: the bytes, a shorter one read as padded with zero bytes.
    std::vector<Bytes> bins;
    std::uniform_int_distribution<int> len(0, 6), byte(0, 255), low(0, 2);
    for (int i = 0; i < 60; ++i) {
        Bytes b(static_cast<std::size_t>(len(Rng())));
        for (auto& x : b)
            x = static_cast<unsigned char>(low(Rng()) == 0 ? 0 : byte(Rng()));
        bins.push_back(b);
    }
    auto binCmp = [](const Bytes& a, const Bytes& b) {
        Bytes pa = a, pb = b;
        pa.resize(6);
        pb.resize(6);
        return Sign(std::memcmp(pa.data(), pb.data(), 6));
    };
    CheckOrder<Bytes>(
        "binary", bins, [](CAny& v, const Bytes& b) { SetBin(v, b); }, binCmp, 12);
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
    auto text = [](const Dec& x) {
        std::string digits = std::to_string(x.m < 0 ? -x.m : x.m);
        if (x.scale > 0) {
            if (static_cast<int>(digits.size()) <= x.scale)
                digits.insert(0, static_cast<std::size_t>(x.scale + 1 - static_cast<int>(digits.size())), '0');
            digits.insert(digits.size() - static_cast<std::size_t>(x.scale), ".");
        }
        return std::wstring(x.m < 0 ? L"-" : L"") + std::wstring(digits.begin(), digits.end());
    };
    auto scaled = [](const Dec& x) {
        long long v = x.m;
        for (int i = x.scale; i < 6; ++i)
            v *= 10;
        return v;
    };
    CheckOrder<Dec>(
        "decimal", values, [&](CAny& v, const Dec& x) { SetWide(v, text(x), TQTYPE_PSTRW); },
        [&](const Dec& a, const Dec& b) { return Sign(scaled(a) - scaled(b)); }, 32, TQTYPE_DECIMAL, 0, 14, 6);

    // A value beyond the digits asked for keeps its own precision: the same
    // key as with room enough.
    CAny v;
    SetWide(v, L"123456.5", TQTYPE_PSTRW);
    unsigned n1 = 0, n2 = 0;
    const Bytes a = Key(v, 32, TQTYPE_DECIMAL, 0, 2, 0, &n1);
    const Bytes b = Key(v, 32, TQTYPE_DECIMAL, 0, 20, 6, &n2);
    EXPECT_EQ(n1, 32u);
    EXPECT_EQ(a, b);
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
    const unsigned nText = CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(19), 13);
    CheckOrder<std::string>(
        "8-bit text", texts, [](CAny& v, const std::string& s) { SetText(v, s); }, bytesCmp, nText);
    CheckOrder<std::string>(
        "8-bit text by pointer", texts,
        [](CAny& v, const std::string& s) {
            v.__SetType(TQTYPE_PSTRA, 0);
            v.pclGetTraitement()->SetValue(s.c_str());
        },
        bytesCmp, nText, 0, KXOPT_DESCENDING);

    // Mapped to capitals by the locale service (mapping 1).
    std::vector<std::string> ascii;
    for (int i = 0; i < 40; ++i) {
        std::string s(static_cast<std::size_t>(len(Rng()) % 5), 'x');
        for (auto& c : s)
            c = static_cast<char>((i % 2 ? 'a' : 'A') + letter(Rng()));
        ascii.push_back(s);
    }
    auto upperCmp = [&](const std::string& a, const std::string& b) {
        std::string ua = a, ub = b;
        for (auto& c : ua)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (auto& c : ub)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return bytesCmp(ua, ub);
    };
    TestHost().ClearLocaleCalls();
    CheckOrder<std::string>(
        "mapped 8-bit text", ascii, [](CAny& v, const std::string& s) { SetText(v, s); }, upperCmp, 8, 0,
        KXOPT_MAP_1);
    ASSERT_GT(TestHost().nLocaleCalls(), 0u);
    EXPECT_EQ(TestHost().LocaleCall(0).nSlot, 11);
    EXPECT_EQ(TestHost().LocaleCall(0).nFlags, 1u);

    // Wide texts, big-endian units: UTF-16 order, characters above U+FFFF
    // as pairs (no character is lost).
    std::vector<std::wstring> wide = {L"", L"a", L"ab", std::wstring(1, static_cast<wchar_t>(0x1F600)),
                                      std::wstring(1, static_cast<wchar_t>(0xF600)), L"\xFFFD"};
    while (wide.size() < 60)
        wide.push_back(RandomWide(8));
    auto utf16Cmp = [](const std::wstring& a, const std::wstring& b) {
        const auto ua = Utf16(a), ub = Utf16(b);
        return ua < ub ? -1 : (ub < ua ? 1 : 0);
    };
    const unsigned nWide = CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(16), 8 * 4 + 4);
    CheckOrder<std::wstring>(
        "wide text", wide, [](CAny& v, const std::wstring& s) { SetWide(v, s); }, utf16Cmp, nWide, 0,
        KXOPT_BIG_ENDIAN);
    CheckOrder<std::wstring>(
        "wide text by pointer", wide, [](CAny& v, const std::wstring& s) { SetWide(v, s, TQTYPE_PSTRW); }, utf16Cmp,
        nWide, 0, KXOPT_BIG_ENDIAN | KXOPT_DESCENDING);
    // With the weight table: the weights of the units.
    auto weightCmp = [](const std::wstring& a, const std::wstring& b) {
        std::vector<unsigned> wa, wb;
        for (auto u : Utf16(a))
            wa.push_back(Weight(u));
        for (auto u : Utf16(b))
            wb.push_back(Weight(u));
        return wa < wb ? -1 : (wb < wa ? 1 : 0);
    };
    CheckOrder<std::wstring>(
        "weighted wide text", wide, [](CAny& v, const std::wstring& s) { SetWide(v, s); }, weightCmp, nWide, 0,
        KXOPT_WEIGHTS | KXOPT_BIG_ENDIAN);

    // The whole text is in its key, unit by unit (little-endian without
    // options).
    CAny v;
    SetWide(v, std::wstring(L"a") + static_cast<wchar_t>(0x1F600));
    unsigned n = 0;
    const Bytes k = Key(v, CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(16), 12), 0, 0, 0, 0, &n);
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(Bytes(k.begin(), k.begin() + 8), (Bytes{'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
}

TEST_F(ConvertKeyTest, HighValueFillerSurvivesMapping)
{
    // Two letters, a 0xFF filler, spaces: mapped to capitals, and the
    // filler (which maps to another byte) stays 0xFF.
    CAny v;
    SetText(v, "ab\xFF  ");
    unsigned n = 0;
    const Bytes k = Key(v, 7, 0, KXOPT_MAP_1, 0, 0, &n);
    EXPECT_EQ(k[0], 'A');
    EXPECT_EQ(k[1], 'B');
    EXPECT_EQ(k[2], 0xFF);
    EXPECT_EQ(k[3], ' ');
    // The filler at the very end.
    SetText(v, "ab\xFF");
    EXPECT_EQ(Key(v, 5, 0, KXOPT_MAP_1)[2], 0xFF);
    // A filler followed by another character is mapped as any byte.
    SetText(v, "a\xFFz");
    EXPECT_NE(Key(v, 5, 0, KXOPT_MAP_1)[1], 0xFF);
}

TEST_F(ConvertKeyTest, DescendingInvertsTheWholeBuffer)
{
    CAny v;
    SetText(v, "ab");
    const Bytes up = Key(v, 9);
    unsigned n = 0;
    const Bytes down = Key(v, 9, 0, KXOPT_DESCENDING, 0, 0, &n);
    EXPECT_EQ(n, 3u);
    for (std::size_t i = 0; i < up.size(); ++i)
        EXPECT_EQ(down[i], static_cast<unsigned char>(~up[i])) << i;
    EXPECT_EQ(down[8], 0xFF);

    Bytes b = {0x00, 0x0F, 0xF0, 0xFF, 0x12, 0x34, 0x56};
    CConvertKey::__InvertKey(b.data(), 7);
    EXPECT_EQ(b, (Bytes{0xFF, 0xF0, 0x0F, 0x00, 0xED, 0xCB, 0xA9}));
}

TEST_F(ConvertKeyTest, NullAndEmptyValuesAreLeftAlone)
{
    CAny v;
    SetFixed(v, TQTYPE_I4, 1234);
    v.SetNullFlag(true);
    const unsigned short nType = v.nGetType();
    const Bytes before(v.pbyGetValeur(), v.pbyGetValeur() + CAny::VALEUR_SIZE);
    unsigned n = 0;
    // The cache indexes' options; keyed as an empty wide text.
    const Bytes k = Key(v, 10, 0, 0x2800, 0, 0, &n);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(k, Bytes(10, 0));
    EXPECT_EQ(v.nGetType(), nType);
    EXPECT_EQ(Bytes(v.pbyGetValeur(), v.pbyGetValeur() + CAny::VALEUR_SIZE), before);

    unsigned char* p = nullptr;
    EXPECT_EQ(CConvertKey::nConvertKeyAndGetSize(&v, &p, 0, 0x2800, 0, 0), 2u);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Bytes(p, p + 10), Bytes(10, 0));
    std::free(p);
    EXPECT_EQ(v.nGetType(), nType);

    CAny e;
    EXPECT_EQ(Key(e, 10, 0, 0, 0, 0, &n), Bytes(10, 0));
    EXPECT_EQ(e.nGetType(), 0);

    // A value that does not become the key's type gives an empty key.
    SetWide(v, L"abc", TQTYPE_PSTRW);
    EXPECT_EQ(Key(v, 4, TQTYPE_I4, 0, 0, 0, &n), Bytes(4, 0));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_PSTRW);
}

TEST_F(ConvertKeyTest, EncodersStayWithinTheirBuffers)
{
    std::vector<std::function<void(CAny&)>> values = {
        [](CAny& a) { SetFixed(a, TQTYPE_I8, -5LL); },
        [](CAny& a) { SetFixed(a, TQTYPE_UI4, 5u); },
        [](CAny& a) { SetFixed(a, TQTYPE_R8, -2.5); },
        [](CAny& a) { SetFixed(a, TQTYPE_R4, 2.5f); },
        [](CAny& a) { SetFixed(a, TQTYPE_BOOL, 1); },
        [](CAny& a) { CMoney m{{1, 2, 3, 4, 5}}; SetFixed(a, TQTYPE_CY, m); },
        [](CAny& a) { SetFixed(a, TQTYPE_DATETIME, 0x0123456789LL); },
        [](CAny& a) { SetFixed(a, TQTYPE_DUREE, -7LL); },
        [](CAny& a) { SetText(a, "hello \xFF  "); },
        [](CAny& a) { SetWide(a, L"h\x00E9llo\x1F600"); },
        [](CAny& a) { SetWide(a, L"h\x00E9llo", TQTYPE_PSTRW); },
        [](CAny& a) { SetBin(a, Bytes{1, 2, 3, 4, 5}); },
        [](CAny& a) { SetWide(a, L"-12.75", TQTYPE_PSTRW); },
        [](CAny& a) { SetFixed(a, TQTYPE_CARA, 'q'); },
    };
    const unsigned short targets[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, TQTYPE_DECIMAL, 0};
    const unsigned short options[] = {0, KXOPT_DESCENDING, KXOPT_MAP_1 | KXOPT_MAP_2 | KXOPT_MAP_4,
                                      KXOPT_WEIGHTS, KXOPT_BIG_ENDIAN | KXOPT_BUILDER_MODE};
    for (std::size_t i = 0; i < values.size(); ++i) {
        CAny v;
        values[i](v);
        for (unsigned short nOption : options) {
            for (unsigned nSize = 0; nSize <= 40; ++nSize) {
                // Exactly nSize bytes on the heap, and guard bytes after a copy.
                std::unique_ptr<unsigned char[]> exact(new unsigned char[nSize + 1]);
                const unsigned n = CConvertKey::nConvertKeyAndGetSize(&v, exact.get(), nSize, targets[i], nOption, 8, 2);
                EXPECT_LE(n, nSize);
                Bytes guarded(nSize + 8, 0xA5);
                CConvertKey::nConvertKeyAndGetSize(&v, guarded.data(), nSize, targets[i], nOption, 8, 2);
                EXPECT_EQ(Bytes(guarded.begin() + nSize, guarded.end()), Bytes(8, 0xA5))
                    << "value " << i << " option " << nOption << " size " << nSize;
            }
        }
    }

    // Types without a key write nothing.
    Bytes b(8, 0x5A);
    const int x = 3;
    EXPECT_EQ(CKXConvertKey::__nConvertKey(b.data(), 8, &x, 4, KXIT_BUFFER, 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(CKXConvertKey::__nConvertKey(b.data(), 8, &x, 4, static_cast<eITEMTYPE>(23), 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(b, Bytes(8, 0x5A));
    // Data shorter than the type reads nothing beyond it.
    std::unique_ptr<unsigned char[]> two(new unsigned char[2]{1, 2});
    EXPECT_EQ(CKXConvertKey::__nConvertKey(b.data(), 8, two.get(), 2, KXIT_I8, 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(b, Bytes(8, 0));
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
    const Bytes plain = Key(v, nSize);
    EXPECT_EQ(Key(v, nSize, 0, KXOPT_MAP_2), plain);
    EXPECT_EQ(piBuilder->nCalls(), 0);

    {
        CNADriver clDriver;
        CNADriver::s_pclDriver = &clDriver;
        clDriver.bSetKX(piKX);

        unsigned n = 0;
        const Bytes k = Key(v, nSize, 0, KXOPT_MAP_2, 0, 0, &n);
        ASSERT_EQ(piBuilder->nCalls(), 1);
        HostKeyCall st = piBuilder->LastCall();
        EXPECT_EQ(st.nSlot, 18);
        EXPECT_EQ(st.nUnits, nSize / 2);
        EXPECT_EQ(st.nChars, 4u);  // the terminator included
        EXPECT_EQ(st.bOption40, 0);
        EXPECT_EQ(st.bOption20, 1);
        EXPECT_EQ(st.nMode, 0);
        // The builder's key without accents, byte-ordered; length without the 0 unit.
        EXPECT_EQ(n, 6u);
        EXPECT_EQ(Bytes(k.begin(), k.begin() + 8), (Bytes{0, 'E', 0, 't', 0, 'e', 0, 0}));

        // Case-insensitive keys of the builder order like the folded texts.
        CAny a, b;
        SetWide(a, L"ABC");
        SetWide(b, L"abc");
        EXPECT_EQ(Key(a, 34, 0, KXOPT_MAP_4), Key(b, 34, 0, KXOPT_MAP_4));
        SetWide(b, L"abd");
        EXPECT_LT(KeyCompare(Key(a, 34, 0, KXOPT_MAP_4), Key(b, 34, 0, KXOPT_MAP_4)), 0);
        EXPECT_EQ(piBuilder->LastCall().bOption40, 1);

        // 0x80 with 0x02: mode 1, then big-endian units.
        const Bytes m = Key(v, nSize, 0, KXOPT_BUILDER_MODE | KXOPT_BIG_ENDIAN, 0, 0, &n);
        st = piBuilder->LastCall();
        EXPECT_EQ(st.nMode, 1);
        EXPECT_EQ(st.bOption20, 0);
        EXPECT_EQ(n, 6u);
        EXPECT_EQ(m, Key(v, nSize, 0, KXOPT_BIG_ENDIAN));

        // 16-bit input goes to slot 17.
        const unsigned short text[] = {'x', 'y', 0};
        unsigned short key[4] = {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE};
        EXPECT_EQ(CKXConvertKey::_nUNICODE_to_Key(key, 8, text, 6, KXOPT_MAP_2, 0), 4u);
        EXPECT_EQ(piBuilder->LastCall().nSlot, 17);
        EXPECT_EQ(piBuilder->LastCall().nChars, 3u);
    }
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);

    // 16-bit input without the builder: copied, last unit 0.
    const unsigned short text[] = {'x', 'y', 'z', 'w', 0};
    unsigned short key[3] = {0xEEEE, 0xEEEE, 0xEEEE};
    EXPECT_EQ(CKXConvertKey::_nUNICODE_to_Key(key, 6, text, 10, 0, 0), 6u);
    EXPECT_EQ(key[0], 'x');
    EXPECT_EQ(key[1], 'y');
    EXPECT_EQ(key[2], 0);
}

TEST_F(ConvertKeyTest, CharsetSortKeys)
{
    // With a charset the key becomes the locale's sort key: letters by
    // their base first, whatever the case.
    char ka[16], kb[16];
    const unsigned na = CKXConvertKey::_nSTR_to_Key(ka, sizeof(ka), "a", 1, 0, 204);
    const unsigned nb = CKXConvertKey::_nSTR_to_Key(kb, sizeof(kb), "B", 1, 0, 204);
    EXPECT_GT(na, 0u);
    EXPECT_GT(nb, 0u);
    EXPECT_LT(std::memcmp(ka, kb, sizeof(ka)), 0);
    // Plain bytes put the capital first.
    EXPECT_GT(CKXConvertKey::_nSTR_to_Key(ka, sizeof(ka), "a", 1, 0, 0), 0u);
    EXPECT_GT(CKXConvertKey::_nSTR_to_Key(kb, sizeof(kb), "B", 1, 0, 0), 0u);
    EXPECT_GT(std::memcmp(ka, kb, sizeof(ka)), 0);
}
