// Sortable keys: memcmp of two keys must order them as the values compare,
// checked on listed and random values of every host type against an order
// computed here from the values themselves.
#include "common/values/ConvertKey.h"

#include "access/driver/NaDriver.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"
#include "common/values/KXForNA.h"
#include "common/values/monetaire.h"
#include "host/KeyService.h"
#include "tests/support/AnyValue.h"
#include "tests/support/TestHost.h"
#include "tests/support/Paths.h"

#include <cctype>
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
        static void* h = dlopen(BuildPath(HOSTSTANDIN_LIBRARY).c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(bInitTQConvFromVM(h, 2, 2), 1);
    }
};

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

void SetBytes(CAny& v, const Bytes& b)
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
            if (Sign(std::memcmp(keys[i].data(), keys[j].data(), nSize)) != nExpected) {
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

// Values listed in strictly ascending order.
template <class T, class Set>
void CheckAscending(const char* pszWhat, const std::vector<T>& values, Set set, unsigned nSize,
                    unsigned short nOption = 0, unsigned short nType = 0, int nDigits = 0, int nDecimals = 0)
{
    std::vector<std::size_t> index(values.size());
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = i;
    CheckOrder(pszWhat, index, [&](CAny& v, std::size_t i) { set(v, values[i]); }, Natural<std::size_t>, nSize,
               nType, nOption, nDigits, nDecimals);
}

// A setter of fixed-size values of type nType.
template <class T>
std::function<void(CAny&, const T&)> Fixed(unsigned short nType)
{
    return [nType](CAny& v, const T& x) { Set(v, nType, x); };
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

unsigned Weight(unsigned u)
{
    const unsigned short t = tabUCS2FastSort[u];
    return static_cast<unsigned>((t >> 8) | ((t & 0xFF) << 8));
}

}  // namespace

// The weight table is a permutation with the stated weights.
TEST(ConvertKeyTable, FastSortWeights)
{
    std::vector<bool> seen(65536);
    for (unsigned u = 0; u < 65536; ++u) {
        ASSERT_FALSE(seen[Weight(u)]) << "weight " << Weight(u) << " given twice";
        seen[Weight(u)] = true;
    }
    // Key bytes in memory order (weight, most significant byte first).
    const unsigned aRows[][2] = {{0x0020, 0x0A3D}, {0x0030, 0x1684}, {0x0031, 0x16A3}, {0x0061, 0x1877},
                                 {0x0041, 0x187B}, {0x00E1, 0x1882}, {0x00E0, 0x1884}, {0x00C0, 0x1885},
                                 {0x0062, 0x18D8}, {0x0042, 0x18DB}};
    for (const auto& r : aRows) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&tabUCS2FastSort[r[0]]);
        EXPECT_EQ(b[0] << 8 | b[1], static_cast<int>(r[1])) << std::hex << r[0];
    }
    // The space, punctuation, symbols, digits, letters (small before capital
    // before the next letter), accented forms after the plain ones.
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
    Set(v, TQTYPE_I4, -1);
    EXPECT_EQ(Key(v, 4), (Bytes{0x7F, 0xFF, 0xFF, 0xFF}));
    Set(v, TQTYPE_R8, 0.5);
    EXPECT_EQ(Key(v, 8), (Bytes{0xBF, 0xE0, 0, 0, 0, 0, 0, 0}));
    Set(v, TQTYPE_R8, -0.5);
    EXPECT_EQ(Key(v, 8), (Bytes{0x40, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    // A 3-byte binary in a 10-byte key; longer than the buffer: as many
    // bytes as fit.
    SetBytes(v, Bytes{0x01, 0xAB, 0xF0});
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
    using D = std::numeric_limits<double>;
    CheckAscending("double",
                   std::vector<double>{-D::infinity(), -D::max(), -1e10, -1.5, -1, -1e-300, -D::denorm_min(), -0.0, 0.0,
                                       D::denorm_min(), 1e-300, 1, 1.5, 1e10, D::max(), D::infinity()},
                   Fixed<double>(TQTYPE_R8), 8);
    using F = std::numeric_limits<float>;
    CheckAscending("float", std::vector<float>{-F::infinity(), -F::max(), -1e10f, -1.5f, -1, -F::denorm_min(), -0.0f,
                                               0.0f, F::denorm_min(), 1, 1.5f, 1e10f, F::max(), F::infinity()},
                   Fixed<float>(TQTYPE_R4), 4, KXOPT_DESCENDING);
}

TEST_F(ConvertKeyTest, CurrencyDateAndBinaryKeysFollowTheValues)
{
    // Currency: 80-bit two's complement in 16-bit words, low word first.
    const std::vector<CMoney> money = {
        {{0, 0, 0, 0, 0x8000}}, {{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x8000}}, {{0, 0, 0, 0, 0xFFFF}},
        {{0, 0, 0, 0x8000, 0xFFFF}}, {{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}}, {{0, 0, 0, 0, 0}}, {{1, 0, 0, 0, 0}},
        {{0xFFFF, 0, 0, 0, 0}}, {{0, 1, 0, 0, 0}}, {{0, 0, 0, 0x8000, 0}}, {{0, 0, 0, 0, 1}},
        {{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x7FFF}}};
    CheckAscending("currency", money, Fixed<CMoney>(TQTYPE_CY), 10);

    // Date-times: year, month, day, then the time of day.
    struct DT {
        unsigned char day, month;
        std::uint16_t year;
        std::uint32_t ms;
    };
    static_assert(sizeof(DT) == 8, "date-time layout");
    const std::vector<DT> dates = {{0, 0, 0, 0}, {1, 1, 1, 0}, {1, 1, 255, 0}, {1, 1, 256, 0},
                                   {31, 12, 1999, 86399999}, {1, 1, 2000, 0}, {1, 1, 2000, 255},
                                   {1, 1, 2000, 256}, {1, 1, 2000, 86399999}, {2, 1, 2000, 0},
                                   {28, 1, 2000, 0}, {1, 2, 2000, 0}, {1, 1, 9999, 0}};
    CheckAscending("date-time", dates, Fixed<DT>(TQTYPE_DATETIME), 8);

    // Binaries: the bytes, a shorter one read as padded with zero bytes.
    const std::vector<Bytes> bins = {{}, {0}, {0, 0, 1}, {1}, {1, 0, 0xFF}, {1, 1}, {0x7F}, {0x80}, Bytes(6, 0xFF)};
    CheckOrder("binary", bins, SetBytes, [](Bytes a, Bytes b) {
        a.resize(6);
        b.resize(6);
        return Natural(a, b);
    }, 12);
}

TEST_F(ConvertKeyTest, DecimalKeysFollowTheValues)
{
    // Through the machine's decimals, 14 digits of which 6 decimals.
    const std::vector<std::wstring> values = {L"-99999999", L"-1000.5", L"-1000", L"-999.999999", L"-1",
                                              L"-0.000001", L"0", L"0.000001", L"0.1", L"0.999999", L"1",
                                              L"1.000001", L"999", L"1000", L"12345678.123456", L"99999999"};
    CheckAscending("decimal", values, [](CAny& v, const std::wstring& s) { SetWide(v, s, TQTYPE_PSTRW); }, 32, 0,
                   TQTYPE_DECIMAL, 14, 6);

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
    const std::vector<std::string> texts = {"", "\x01", "a", "ab", "abc", "b", "\x7F", "\x80", "\xFF", "\xFF\xFF"};
    const unsigned nText = CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(19), 13);
    CheckAscending("8-bit text", texts, SetText, nText);
    CheckAscending("8-bit text descending", texts, SetText, nText, KXOPT_DESCENDING);

    // Mapped to capitals by the locale service (mapping 1).
    const std::vector<std::string> ascii = {"", "a", "A", "ab", "AB", "aB", "b", "B", "ba", "Z"};
    auto upperCmp = [](std::string a, std::string b) {
        for (auto* s : {&a, &b})
            for (auto& c : *s)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return Sign(a.compare(b));
    };
    TestHost().ClearLocaleCalls();
    CheckOrder("mapped 8-bit text", ascii, SetText, upperCmp, 8, 0, KXOPT_MAP_1);
    ASSERT_GT(TestHost().nLocaleCalls(), 0u);
    EXPECT_EQ(TestHost().LocaleCall(0).nSlot, 11);
    EXPECT_EQ(TestHost().LocaleCall(0).nFlags, 1u);

    // Wide texts, big-endian units: UTF-16 order, characters above U+FFFF
    // as pairs; with the weight table, the units' weights.
    const std::vector<std::wstring> wide = {L"",       L"a",       L"ab",      L"a\x1F600", L"a\xF600",
                                            L"\xD7FF", L"\x10000", L"\x1F600", L"\xE000",    L"\xFFFD"};
    auto setDyn = [](CAny& v, const std::wstring& s) { SetWide(v, s); };
    auto setPtr = [](CAny& v, const std::wstring& s) { SetWide(v, s, TQTYPE_PSTRW); };
    const unsigned nWide = CKXConvertKey::nCalculateKeySize(static_cast<unsigned short>(16), 8 * 4 + 4);
    CheckAscending("wide text", wide, setDyn, nWide, KXOPT_BIG_ENDIAN);
    CheckAscending("wide text by pointer", wide, setPtr, nWide, KXOPT_BIG_ENDIAN | KXOPT_DESCENDING);
    const std::vector<std::wstring> weighted = {L" ", L"0",    L"1",    L"a",    L"ab", L"aB",
                                                L"A", L"\xE1", L"\xE0", L"\xC0", L"b",  L"B"};
    CheckAscending("weighted wide text", weighted, setDyn, nWide, KXOPT_WEIGHTS | KXOPT_BIG_ENDIAN);

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
    Set(v, TQTYPE_I4, 1234);
    v.SetNullFlag(true);
    const Bytes before(v.pbyGetValeur(), v.pbyGetValeur() + CAny::VALEUR_SIZE);
    unsigned n = 0;
    // The cache indexes' options; keyed as an empty wide text.
    EXPECT_EQ(Key(v, 10, 0, 0x2800, 0, 0, &n), Bytes(10, 0));
    EXPECT_EQ(n, 2u);
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
        [](CAny& a) { Set(a, TQTYPE_I8, -5LL); }, [](CAny& a) { Set(a, TQTYPE_UI4, 5u); },
        [](CAny& a) { Set(a, TQTYPE_R8, -2.5); }, [](CAny& a) { Set(a, TQTYPE_R4, 2.5f); },
        [](CAny& a) { Set(a, TQTYPE_BOOL, 1); }, [](CAny& a) { Set(a, TQTYPE_CY, CMoney{{1, 2, 3, 4, 5}}); },
        [](CAny& a) { Set(a, TQTYPE_DATETIME, 0x0123456789LL); }, [](CAny& a) { Set(a, TQTYPE_DUREE, -7LL); },
        [](CAny& a) { SetText(a, "hello \xFF  "); }, [](CAny& a) { SetWide(a, L"h\x00E9llo\x1F600"); },
        [](CAny& a) { SetWide(a, L"h\x00E9llo", TQTYPE_PSTRW); }, [](CAny& a) { SetBytes(a, Bytes{1, 2, 3, 4, 5}); },
        [](CAny& a) { SetWide(a, L"-12.75", TQTYPE_PSTRW); },  // keyed as a decimal
        [](CAny& a) { Set(a, TQTYPE_CARA, 'q'); },
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

        Key(v, nSize, 0, KXOPT_MAP_4);
        EXPECT_EQ(piBuilder->LastCall().bOption20 * 2 + piBuilder->LastCall().bOption40, 1);

        // 0x80 with 0x02: mode 1, then big-endian units.
        const Bytes m = Key(v, nSize, 0, KXOPT_BUILDER_MODE | KXOPT_BIG_ENDIAN, 0, 0, &n);
        EXPECT_EQ(piBuilder->LastCall().nMode, 1);
        EXPECT_EQ(m, Key(v, nSize, 0, KXOPT_BIG_ENDIAN));
    }
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
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
