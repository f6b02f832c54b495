#include "common/text/TextCompare.h"

#include "common/platform/InformationDLL.h"
#include "tests/support/TestHost.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <string>
#include <vector>

namespace {

// Locale service calls made by one statement.
struct CCalls {
    CCalls() { TestHost().ClearLocaleCalls(); }
    std::size_t n() const { return TestHost().nLocaleCalls(); }
    HostLocaleCall operator[](std::size_t i) const { return TestHost().LocaleCall(i); }
};

void ExpectCall(const HostLocaleCall& c, int slot, unsigned lcid, unsigned flags, int srcLen, int otherLen)
{
    EXPECT_EQ(c.nSlot, slot);
    EXPECT_EQ(c.nLCID, lcid);
    EXPECT_EQ(c.nFlags, flags);
    EXPECT_EQ(c.nSrcLen, srcLen);
    EXPECT_EQ(c.nOtherLen, otherLen);
}

// A current locale different from the fixed identifiers, restored after.
struct CCurrentLCID {
    CCurrentLCID() { TestHost().SetCurrent(0, 1252, 1033); }
    ~CCurrentLCID() { TestHost().SetCurrent(0, 1252, 1036); }
};

// The state before the host hands its locale service over.
struct CNoLocaleService {
    CNoLocaleService() : m_p(CInformationDLL::ms_piInfoLocale) { CInformationDLL::ms_piInfoLocale = nullptr; }
    ~CNoLocaleService() { CInformationDLL::ms_piInfoLocale = m_p; }
    IInfoLocale* m_p;
};

// Published Windows-1252 mapping of its 27 defined characters in 0x80-0x9F.
const struct {
    unsigned char b;
    wchar_t wc;
} kCp1252[27] = {
    {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020},
    {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152},
    {0x8E, 0x017D}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022},
    {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC}, {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A},
    {0x9C, 0x0153}, {0x9E, 0x017E}, {0x9F, 0x0178}};

}  // namespace

TEST(TextCompare, WholeStringComparisonsPassTheirIdentifierAndFlags)
{
    {
        CCalls calls;
        EXPECT_EQ(STR_nCompareW(L"abc", L"abd", 3), -1);
        ASSERT_EQ(calls.n(), 1u);
        ExpectCall(calls[0], 6, 1024, 3, -1, -1);
    }
    {
        CCalls calls;
        EXPECT_EQ(STR_nCompareW(L"\u00C9cole", L"ecole", 0x10000003), 0);
        ASSERT_EQ(calls.n(), 1u);
        ExpectCall(calls[0], 8, 0, 3, -1, -1);
    }
    {
        CCalls calls;
        EXPECT_EQ(STR_nCompareA("abc", "ABC", 1), 0);
        ASSERT_EQ(calls.n(), 1u);
        ExpectCall(calls[0], 5, 1024, 0x40000001, -1, -1);
    }
    {
        CCalls calls;
        EXPECT_EQ(STR_nCompareA("b", "a", 0x10000000), 1);
        ASSERT_EQ(calls.n(), 1u);
        ExpectCall(calls[0], 7, 0, 0x40000000, -1, -1);
    }
    {
        CCalls calls;
        EXPECT_EQ(STR_nUpCompareW(L"abc", L"ABC", 0), 0);
        EXPECT_EQ(STR_nUpCompareA("abc", "ABC", 0), 0);
        EXPECT_EQ(STR_nAcCompare(L"\u00E9t\u00E9", L"ete", 0), 0);
        EXPECT_EQ(STR_nAcCompare("\xE9t\xE9", "ete", 0), 0);
        ASSERT_EQ(calls.n(), 4u);
        ExpectCall(calls[0], 6, 1024, 1, -1, -1);
        ExpectCall(calls[1], 5, 1024, 0x40000001, -1, -1);
        ExpectCall(calls[2], 6, 1024, 2, -1, -1);
        ExpectCall(calls[3], 5, 1024, 0x40000002, -1, -1);
    }
}

TEST(TextCompare, BoundedAndCharacterComparisonsPassTheirIdentifierAndLengths)
{
    {
        CCalls calls;
        EXPECT_EQ(STR_nNCompare<wchar_t>(L"abcdef", L"ABCxyz", 3, 3), 0);
        EXPECT_EQ(STR_nNCompare<char>("ab", "abc", 10, 0), -1);
        EXPECT_EQ(STR_nNCompare<wchar_t>(nullptr, L"", 5, 0), 0);
        ASSERT_EQ(calls.n(), 3u);
        ExpectCall(calls[0], 6, 1036, 3, 3, 3);
        ExpectCall(calls[1], 5, 1036, 0, 2, 3);
        ExpectCall(calls[2], 6, 1036, 0, 0, 0);
    }
    {
        CCurrentLCID current;
        CCalls calls;
        EXPECT_EQ(STR_nNCompare<wchar_t>(L"b", L"a", 1, 0x10000000), 1);
        ASSERT_EQ(calls.n(), 2u);
        EXPECT_EQ(calls[0].nSlot, 4);
        ExpectCall(calls[1], 6, 1033, 0, 1, 1);
    }
    {
        CCalls calls;
        EXPECT_EQ(__STR_CompareStringEx<char>(0, "abc", 3, "abd", 3), 1);
        EXPECT_EQ(__STR_CompareStringEx<wchar_t>(1, L"abc", 3, L"ABC", 3), 2);
        EXPECT_EQ(__STR_CompareStringEx<wchar_t>(0, L"abd", -1, L"abc", 2), 3);
        ASSERT_EQ(calls.n(), 3u);
        ExpectCall(calls[0], 5, 1036, 0, 3, 3);
        ExpectCall(calls[1], 6, 1036, 1, 3, 3);
        ExpectCall(calls[2], 6, 1036, 0, -1, 2);
    }
    {
        CCalls calls;
        EXPECT_EQ(STR_nCompareCharLexicoA('a', 'b', 0), -1);
        EXPECT_EQ(STR_nCompareCharLexicoW(L'b', L'a', 0), 1);
        EXPECT_EQ(STR_nCompareStringLexicoW(L"abc", 3, L"ab", 2, 0), 1);
        EXPECT_EQ(STR_nCompareCharSoupleA('e', '\xC9'), 0);
        EXPECT_EQ(STR_nCompareCharSoupleW(L'E', L'\u00E9'), 0);
        ASSERT_EQ(calls.n(), 5u);
        ExpectCall(calls[0], 5, 1036, 0x20000000, 1, 1);
        ExpectCall(calls[1], 6, 1024, 0x20000000, 1, 1);
        ExpectCall(calls[2], 6, 1024, 0x20000000, 3, 2);
        ExpectCall(calls[3], 5, 1036, 3, 1, 1);
        ExpectCall(calls[4], 6, 1024, 3, 1, 1);
    }
    {
        CCurrentLCID current;
        CCalls calls;
        EXPECT_EQ(STR_nCompareCharLexicoA('a', 'a', 0x10000001), 0);
        EXPECT_EQ(STR_nCompareStringLexicoW(L"a", 1, L"b", 1, 0x10000000), -1);
        ASSERT_EQ(calls.n(), 4u);
        EXPECT_EQ(calls[0].nSlot, 4);
        ExpectCall(calls[1], 5, 1033, 0x20000001, 1, 1);
        EXPECT_EQ(calls[2].nSlot, 4);
        ExpectCall(calls[3], 6, 1033, 0x20000000, 1, 1);
    }
}

TEST(TextCompare, MappingsPassTheirIdentifierFlagsAndSizes)
{
    {
        CCalls calls;
        char a[10];
        EXPECT_EQ(STR_nMapStringEx(1, a, 10, "ab\xE9", 3), 3);
        EXPECT_STREQ(a, "AB\xC9");
        wchar_t w[10];
        EXPECT_EQ(STR_nMapStringEx(2, w, 10, L"\u00E9t\u00E9", -1), 3);
        EXPECT_STREQ(w, L"ete");
        EXPECT_EQ(STR_nGetMapStringLenEx(4, L"a, b", -1), 3);
        EXPECT_EQ(STR_nGetMapStringLenEx(1, "abc", 2), 3);
        ASSERT_EQ(calls.n(), 4u);
        ExpectCall(calls[0], 11, 1036, 1, 3, 10);
        ExpectCall(calls[1], 12, 1036, 2, -1, 10);
        ExpectCall(calls[2], 12, 1036, 4, -1, 0);
        ExpectCall(calls[3], 11, 1036, 1, 2, 0);
    }
    {
        CCurrentLCID current;
        CCalls calls;
        wchar_t w[4];
        EXPECT_EQ(STR_nMapStringEx(0x10000001, w, 4, L"ab", 2), 2);
        ASSERT_EQ(calls.n(), 2u);
        EXPECT_EQ(calls[1].nSlot, 12);
        EXPECT_EQ(calls[1].nLCID, 1033u);
        EXPECT_EQ(calls[1].nFlags, 1u);
    }
    {
        CCalls calls;
        wchar_t* pw = nullptr;
        EXPECT_EQ(STR_nCreateMapString(3, &pw, L"\u00C9lan"), 4);
        ASSERT_NE(pw, nullptr);
        EXPECT_STREQ(pw, L"ELAN");
        std::free(pw);
        char* pa = nullptr;
        EXPECT_EQ(STR_nCreateMapString(0x100, &pa, "AB\xC9"), 3);
        ASSERT_NE(pa, nullptr);
        EXPECT_STREQ(pa, "ab\xE9");
        std::free(pa);
        ASSERT_EQ(calls.n(), 4u);
        ExpectCall(calls[0], 12, 1036, 3, -1, 0);
        ExpectCall(calls[1], 12, 1036, 3, -1, 5);
        ExpectCall(calls[2], 11, 1036, 0x100, -1, 0);
        ExpectCall(calls[3], 11, 1036, 0x100, -1, 4);
    }
    {
        CCalls calls;
        wchar_t* p = STR_pszCreateStandard(L"\u00C9l\u00E8ve");
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p, L"ELEVE");
        std::free(p);
        EXPECT_EQ(STR_pszCreateStandard(nullptr), nullptr);
        ASSERT_EQ(calls.n(), 1u);
        ExpectCall(calls[0], 12, 1036, 3, 5, 6);
    }
    {
        CCurrentLCID current;
        CCalls calls;
        unsigned char ka[64];
        unsigned char kb[64];
        const int na = STR_MapStringSortEx(ka, sizeof ka, L"abc", -1, false);
        const int nb = STR_MapStringSortEx(kb, sizeof kb, L"abd", -1, true);
        ASSERT_GT(na, 0);
        ASSERT_GT(nb, 0);
        EXPECT_LT(std::memcmp(ka, kb, static_cast<std::size_t>(na < nb ? na : nb)), 0);
        ASSERT_EQ(calls.n(), 3u);
        ExpectCall(calls[0], 9, 1036, 0, -1, 64);
        EXPECT_EQ(calls[1].nSlot, 4);
        ExpectCall(calls[2], 9, 1033, 0, -1, 64);
    }
}

TEST(TextCompare, SingleCharacterMappings)
{
    CCalls calls;
    char c = 0;
    EXPECT_EQ(STR_nMapCharEx(1, &c, 'a'), 1);
    EXPECT_EQ(c, 'A');
    c = 0;
    EXPECT_EQ(STR_nMapCharExANSI(2, &c, '\xE7'), 1);
    EXPECT_EQ(c, 'c');
    EXPECT_EQ(STR_nMapCharEx(1, static_cast<char*>(nullptr), 'a'), 1);
    wchar_t w = 0;
    EXPECT_EQ(STR_nMapCharEx(0x100, &w, L'\u0178'), 1);
    EXPECT_EQ(w, L'\u00FF');
    w = 0;
    EXPECT_EQ(STR_nMapCharIgnoreCaseAccent(&w, L'\u00EA'), 1);
    EXPECT_EQ(w, L'E');
    ASSERT_EQ(calls.n(), 5u);
    ExpectCall(calls[0], 11, 1036, 1, 1, 2);
    ExpectCall(calls[1], 11, 1036, 2, 1, 2);
    ExpectCall(calls[2], 11, 1036, 1, 1, 2);
    ExpectCall(calls[3], 12, 1036, 0x100, 1, 2);
    ExpectCall(calls[4], 12, 1036, 3, 1, 2);

    CCalls calls2;
    EXPECT_TRUE(STR_bWhiteCharOrPunctA(','));
    EXPECT_TRUE(STR_bWhiteCharOrPunctA(' '));
    EXPECT_FALSE(STR_bWhiteCharOrPunctA('a'));
    EXPECT_TRUE(STR_bWhiteCharOrPunctW(L'\t'));
    EXPECT_FALSE(STR_bWhiteCharOrPunctW(L'\u00E9'));
    ASSERT_EQ(calls2.n(), 5u);
    ExpectCall(calls2[0], 11, 1036, 4, 1, 2);
    ExpectCall(calls2[3], 12, 1024, 4, 1, 2);
}

TEST(TextCompare, CaseChangesInPlace)
{
    {
        CCalls calls;
        char s[] = "ab\xE9";
        STR_ToUpper(s);
        EXPECT_STREQ(s, "AB\xC9");
        ASSERT_EQ(calls.n(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            ExpectCall(calls[i], 11, 1024, 1, 1, 2);
        STR_ToLower(s);
        EXPECT_STREQ(s, "ab\xE9");
        EXPECT_EQ(calls[3].nFlags, 256u);
        char t[] = "abcd";
        STR_ToUpperBuff(t, 2);
        EXPECT_STREQ(t, "ABcd");
        char u[] = "ABCD";
        STR_ToLowerBuff(u, 3);
        EXPECT_STREQ(u, "abcD");
    }
    {
        CCalls calls;
        wchar_t s[] = L"\u00E9t\u00E9";
        STR_ToUpper(s);
        EXPECT_STREQ(s, L"\u00C9T\u00C9");
        ASSERT_EQ(calls.n(), 3u);
        ExpectCall(calls[0], 14, 0, 1, 1, 2);
        STR_ToLower(s);
        EXPECT_STREQ(s, L"\u00E9t\u00E9");
        EXPECT_EQ(calls[3].nSlot, 14);
        EXPECT_EQ(calls[3].nFlags, 256u);
        // The Buff forms work on exactly n units, through embedded NULs.
        wchar_t t[] = {L'a', 0, L'b', L'c', 0};
        STR_ToUpperBuff(t, 3);
        EXPECT_EQ(t[0], L'A');
        EXPECT_EQ(t[1], 0);
        EXPECT_EQ(t[2], L'B');
        EXPECT_EQ(t[3], L'c');
        wchar_t u[] = L"ABC";
        STR_ToLowerBuff(u, 1);
        EXPECT_STREQ(u, L"aBC");
    }
    {
        CCalls calls;
        wchar_t w[] = L"abc1";
        EXPECT_STREQ(my_struprW(w), L"ABC1");
        EXPECT_STREQ(my_strlwrW(w), L"abc1");
        char a[] = "xYz!";
        EXPECT_STREQ(my_struprA(a), "XYZ!");
        EXPECT_STREQ(my_strlwrA(a), "xyz!");
        EXPECT_EQ(calls.n(), 0u);
    }
}

TEST(TextCompare, NullTolerantComparisons)
{
    EXPECT_EQ(STR_nNullCompare(nullptr, nullptr, 0), 0);
    EXPECT_EQ(STR_nNullCompare(nullptr, L"", 0), -1);
    EXPECT_EQ(STR_nNullCompare(L"", nullptr, 0), 1);
    EXPECT_EQ(STR_nNullCompare(L"ABC", L"abc", 3), 0);

    EXPECT_EQ(STR_nEmptyNullCompare(nullptr, L"", 0), 0);
    EXPECT_EQ(STR_nEmptyNullCompare(L"", nullptr, 0), 0);
    EXPECT_EQ(STR_nEmptyNullCompare(L"a", nullptr, 0), 1);
    EXPECT_EQ(STR_nEmptyNullCompare(nullptr, L"a", 0), -1);
    EXPECT_EQ(STR_nEmptyNullCompare(L"b", L"a", 0), 1);

    EXPECT_EQ(STR_nNullNCompare(nullptr, nullptr, 3, 0), 0);
    EXPECT_EQ(STR_nNullNCompare(nullptr, L"a", 3, 0), -1);
    EXPECT_EQ(STR_nNullNCompare(L"a", nullptr, 3, 0), 1);
    EXPECT_EQ(STR_nNullNCompare(L"abcX", L"abcY", 3, 0), 0);

    EXPECT_TRUE(STR_bDebut(L"ab", L"ABC"));
    EXPECT_TRUE(STR_bDebut(L"\u00E9", L"Eric"));
    EXPECT_TRUE(STR_bDebut(L"abc", L"abc"));
    EXPECT_FALSE(STR_bDebut(L"abcd", L"abc"));
    EXPECT_FALSE(STR_bDebut(L"b", L"abc"));
}

TEST(TextCompare, HostOptionsBecomeMapFlags)
{
    EXPECT_EQ(OptionTQ2FlagSTR(0), 0u);
    EXPECT_EQ(OptionTQ2FlagSTR(1 | 8 | 0x80), 0u);
    EXPECT_EQ(OptionTQ2FlagSTR(2), 4u);
    EXPECT_EQ(OptionTQ2FlagSTR(4), 2u);
    EXPECT_EQ(OptionTQ2FlagSTR(16), 1u);
    EXPECT_EQ(OptionTQ2FlagSTR(32), 1u);
    EXPECT_EQ(OptionTQ2FlagSTR(64), 0x100u);
    EXPECT_EQ(OptionTQ2FlagSTR(16 | 64), 0x100u);
    EXPECT_EQ(OptionTQ2FlagSTR(2 | 4 | 32), 7u);
}

TEST(TextCompare, PreparationTrimsMapsAndStaysInTheBuffer)
{
    wchar_t w[16];
    EXPECT_EQ(STR_PrepareChaineW(1, L" \t abc de \n\r", -1, w, 16), 6);
    EXPECT_STREQ(w, L"abc de");
    EXPECT_EQ(STR_PrepareChaineW(1, L" \t\v\f ", -1, w, 16), 0);
    EXPECT_STREQ(w, L"");
    EXPECT_EQ(STR_PrepareChaineW(0, L"abcdef", 6, w, 4), 3);
    EXPECT_STREQ(w, L"abc");
    {
        CCalls calls;
        EXPECT_EQ(STR_PrepareChaineW(1 | 16 | 4, L"  \u00E9l\u00E8ve ", -1, w, 16), 5);
        EXPECT_STREQ(w, L"ELEVE");
        ASSERT_EQ(calls.n(), 1u);
        ExpectCall(calls[0], 14, 0, 3, 5, 16);
    }
    {
        CCalls calls;
        char a[8];
        EXPECT_EQ(STR_PrepareChaineA(2 | 64, "A, B.", -1, a, 8), 2);
        EXPECT_STREQ(a, "ab");
        ASSERT_EQ(calls.n(), 1u);
        ExpectCall(calls[0], 13, 0, 0x104, 5, 8);
    }
    // A mapping never writes past dstSize.
    wchar_t guard[8];
    for (wchar_t& c : guard)
        c = L'#';
    const int n = STR_PrepareChaineW(16, L"abcdef", 6, guard, 4);
    EXPECT_LE(n, 4);
    EXPECT_EQ(guard[4], L'#');
    char guardA[8];
    std::memset(guardA, '#', sizeof guardA);
    EXPECT_EQ(STR_PrepareChaineA(0, "abcdef", -1, guardA, 3), 2);
    EXPECT_STREQ(guardA, "ab");
    EXPECT_EQ(guardA[3], '#');
}

TEST(TextCompare, HostOptionComparison)
{
    EXPECT_EQ(STR_ChaineCompareW(L"  abc ", -1, L"abc", -1, 1), 0);
    EXPECT_LT(STR_ChaineCompareW(L"x9", -1, L"x10", -1, 0x80), 0);
    EXPECT_GT(STR_ChaineCompareW(L"x10", -1, L"x9", -1, 0x80), 0);
    EXPECT_LT(STR_ChaineCompareW(L"abc", -1, L"abcd", -1, 0), 0);
    EXPECT_GT(STR_ChaineCompareW(L"abcd", -1, L"abc", -1, 0), 0);
    EXPECT_EQ(STR_ChaineCompareW(L"ABC", -1, L"abc", -1, 16), 0);
    EXPECT_EQ(STR_ChaineCompareW(L"\u00C9COLE", -1, L"ecole", -1, 4 | 32), 0);
    EXPECT_EQ(STR_ChaineCompareW(L"a-b c", -1, L"abc", -1, 2), 0);
    EXPECT_LT(STR_ChaineCompareW(L"ABC", -1, L"abc", -1, 0), 0);
    EXPECT_EQ(STR_ChaineCompareW(L"abcX", 3, L"abcY", 3, 0), 0);
    // Characters, not little-endian bytes: U+0100 is after U+0001.
    EXPECT_GT(STR_ChaineCompareW(L"\u0100", -1, L"\u0001", -1, 0), 0);
    EXPECT_LT(STR_ChaineCompareW(L"\u0001", -1, L"\u0100", -1, 0), 0);

    EXPECT_EQ(STR_ChaineCompareA("  abc ", -1, "abc", -1, 1), 0);
    EXPECT_LT(STR_ChaineCompareA("x9", -1, "x10", -1, 0x80), 0);
    EXPECT_LT(STR_ChaineCompareA("abc", -1, "abcd", -1, 0), 0);
    EXPECT_GT(STR_ChaineCompareA("\xE9", -1, "z", -1, 0), 0);  // unsigned bytes
    EXPECT_EQ(STR_ChaineCompareA("\xC9" "COLE", -1, "ecole", -1, 4 | 16), 0);
}

TEST(TextCompare, HostOptionLocaleOrderUsesTheCurrentLocale)
{
    CCurrentLCID current;
    {
        CCalls calls;
        // Locale order puts an accented letter before the next base letter.
        EXPECT_LT(STR_ChaineCompareW(L"\u00E9a", -1, L"fa", -1, 8), 0);
        ASSERT_EQ(calls.n(), 2u);
        EXPECT_EQ(calls[0].nSlot, 4);
        ExpectCall(calls[1], 6, 1033, 0x20000000, 2, 2);
    }
    {
        CCalls calls;
        EXPECT_LT(STR_ChaineCompareW(L"a", -1, L"b", -1, 8 | INT_MIN), 0);
        ASSERT_EQ(calls.n(), 2u);
        ExpectCall(calls[1], 6, 1033, 0xA0000000, 1, 1);
    }
    {
        CCalls calls;
        EXPECT_LT(STR_ChaineCompareA("\xE9", -1, "f", -1, 8), 0);
        EXPECT_LT(STR_ChaineCompareA("ab", -1, "abc", -1, 8), 0);
        EXPECT_EQ(STR_ChaineCompareA("ab", -1, "AB", -1, 8 | 16), 0);
        ASSERT_GE(calls.n(), 2u);
        EXPECT_EQ(calls[0].nSlot, 4);
        ExpectCall(calls[1], 5, 1033, 0x20000000, 1, 1);
    }
    {
        CCalls calls;
        EXPECT_LT(STR_ChaineCompareW(L"\u00E9 2", -1, L"f 10", -1, 8 | 0x80), 0);
        ASSERT_EQ(calls.n(), 2u);
        ExpectCall(calls[1], 6, 1033, 0x20000000, 2, 2);
    }
}

TEST(TextCompare, HostOptionComparisonOfLongTexts)
{
    // Beyond the stack temporaries (4095 wide characters, 16383 bytes).
    for (int len : {4094, 4095, 4096, 20000}) {
        std::wstring a(static_cast<std::size_t>(len), L'x');
        std::wstring b = a;
        b.back() = L'y';
        EXPECT_LT(STR_ChaineCompareW(a.c_str(), len, b.c_str(), len, 0), 0) << len;
        EXPECT_EQ(STR_ChaineCompareW(a.c_str(), len, a.c_str(), -1, 1 | 16), 0) << len;
        std::wstring c = L"  " + a + L" ";
        EXPECT_EQ(STR_ChaineCompareW(c.c_str(), -1, a.c_str(), -1, 1), 0) << len;
    }
    for (int len : {16382, 16383, 16384, 40000}) {
        std::string a(static_cast<std::size_t>(len), 'x');
        std::string b = a;
        b.back() = 'y';
        EXPECT_GT(STR_ChaineCompareA(b.c_str(), len, a.c_str(), len, 0), 0) << len;
        EXPECT_EQ(STR_ChaineCompareA(a.c_str(), len, a.c_str(), -1, 1 | 16), 0) << len;
    }
}

TEST(TextCompare, NumericAwareOrder)
{
    auto cmpW = [](const wchar_t* a, const wchar_t* b, unsigned flags = 0) {
        return STR_nCompareRespecteNumeriqueW(a, -1, b, -1, flags);
    };
    EXPECT_EQ(cmpW(L"file2", L"file10"), -1);
    EXPECT_EQ(cmpW(L"file10", L"file2"), 1);
    EXPECT_EQ(cmpW(L"a01", L"a1"), -1);
    EXPECT_EQ(cmpW(L"a1", L"a01"), 1);
    EXPECT_EQ(cmpW(L"a1", L"a1"), 0);
    // 007 and 7 are the same number; more leading zeros sort first.
    EXPECT_EQ(cmpW(L"007", L"7"), -1);
    EXPECT_EQ(cmpW(L"7", L"007"), 1);
    EXPECT_EQ(cmpW(L"x007y", L"x7z"), -1);  // the text after the number decides
    EXPECT_EQ(cmpW(L"x7z", L"x007y"), 1);
    // The first leading-zero difference sets the tie; a later one does not.
    EXPECT_EQ(cmpW(L"a7b01", L"a07b1"), 1);
    EXPECT_EQ(cmpW(L"a07b1", L"a7b01"), -1);
    EXPECT_EQ(cmpW(L"a", L"ab"), -1);
    EXPECT_EQ(cmpW(L"ab", L"a"), 1);
    EXPECT_EQ(cmpW(L"", L""), 0);
    EXPECT_EQ(cmpW(L"a", L"1"), 1);  // '1' is below 'a'
    EXPECT_EQ(cmpW(L"\u0100", L"\u0001"), 1);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"file10", 5, L"file1", 5, 0), 0);

    // Digit runs as numbers.
    int tie = 0;
    EXPECT_EQ(__nCompareNumeriqueChaineW(L"10", 2, L"9", 1, &tie), 1);
    EXPECT_EQ(tie, 0);
    EXPECT_EQ(__nCompareNumeriqueChaineW(L"009", 3, L"10", 2, &tie), -1);
    EXPECT_EQ(tie, -1);
    tie = 0;
    EXPECT_EQ(__nCompareNumeriqueChaineA("12", 2, "0012", 4, &tie), 0);
    EXPECT_EQ(tie, 1);
    EXPECT_EQ(__nCompareNumeriqueChaineA("012", 3, "12", 2, &tie), 0);
    EXPECT_EQ(tie, 1);

    auto cmpA = [](const char* a, const char* b, unsigned flags = 0) {
        return STR_nCompareRespecteNumeriqueA(a, -1, b, -1, flags);
    };
    EXPECT_LT(cmpA("file2", "file10"), 0);
    EXPECT_LT(cmpA("a01", "a1"), 0);
    EXPECT_EQ(cmpA("a1", "a1"), 0);
    EXPECT_LT(cmpA("007", "7"), 0);
    EXPECT_GT(cmpA("\xE9", "z"), 0);  // unsigned bytes

    // Locale order outside the digit runs.
    CCalls calls;
    EXPECT_EQ(cmpW(L"\u00E9t\u00E9 2", L"ete 10", 0x20000000), 1);  // the accent decides first
    EXPECT_EQ(cmpW(L"ETE 2", L"ete 10", 0x20000001), -1);
    ASSERT_GE(calls.n(), 1u);
    ExpectCall(calls[0], 6, 1024, 0x20000000, 4, 4);
    // 8-bit bytes widen as unsigned characters: e-acute is an e, before f.
    CCalls callsA;
    EXPECT_LT(cmpA("\xE9", "f", 0x20000000), 0);
    ASSERT_EQ(callsA.n(), 1u);
    ExpectCall(callsA[0], 6, 1024, 0x20000000, 1, 1);
}

TEST(TextCompare, ModuleVersions)
{
    EXPECT_EQ(nCompareVersionModule(L"1.10.0", L"1.9.3"), 1);
    EXPECT_EQ(nCompareVersionModule(L"1.9.3", L"1.10.0"), -1);
    EXPECT_EQ(nCompareVersionModule(L"2.0", L"2.0"), 0);
    EXPECT_EQ(nCompareVersionModule(L"1.2", L"1.2.1"), -1);
    EXPECT_EQ(nCompareVersionModule(L"19.00.5", L"19.0.5"), -1);
    EXPECT_GT(nCompareVersionModuleA("19.0.12", "19.0.9"), 0);
    EXPECT_EQ(nCompareVersionModuleA("3.1", "3.1"), 0);
    CCalls calls;
    EXPECT_EQ(nCompareVersionModule(L"a.1", L"b.1"), -1);
    ASSERT_EQ(calls.n(), 1u);
    EXPECT_EQ(calls[0].nFlags, 0x20000000u);
}

TEST(TextCompare, Windows1252HighCharacters)
{
    bool defined[32] = {};
    for (const auto& e : kCp1252) {
        defined[e.b - 0x80] = true;
        EXPECT_EQ(STR_FromCP1252(e.b), e.wc) << std::hex << int(e.b);
        unsigned char b = 0;
        EXPECT_TRUE(STR_bIsCp1252(e.wc, b)) << std::hex << int(e.b);
        EXPECT_EQ(b, e.b);
        EXPECT_TRUE(STR_bIsCp1252(e.wc));
        int used = 0;
        EXPECT_EQ(STR_ToCP1252(e.wc, '?', &used), e.b);
        EXPECT_EQ(used, 0);
    }
    for (int c = 0x80; c <= 0x9F; ++c) {
        EXPECT_FALSE(STR_bIsCp1252(static_cast<wchar_t>(c))) << c;  // C1 controls
        if (!defined[c - 0x80]) {
            EXPECT_EQ(STR_FromCP1252(static_cast<unsigned char>(c)), static_cast<wchar_t>(c)) << c;
        }
    }
    unsigned char b = 0;
    EXPECT_TRUE(STR_bIsCp1252(0x20AC, b));
    EXPECT_EQ(b, 0x80);
    EXPECT_TRUE(STR_bIsCp1252(0x2122, b));
    EXPECT_EQ(b, 0x99);
    EXPECT_FALSE(STR_bIsCp1252(0x81));
    EXPECT_EQ(STR_FromCP1252(0x81), 0x81);
    EXPECT_TRUE(STR_bIsCp1252(L'A', b));
    EXPECT_EQ(b, 'A');
    EXPECT_TRUE(STR_bIsCp1252(0xFF, b));
    EXPECT_EQ(b, 0xFF);
    EXPECT_FALSE(STR_bIsCp1252(0x100));
    EXPECT_FALSE(STR_bIsCp1252(static_cast<wchar_t>(-1)));
    int used = 0;
    EXPECT_EQ(STR_ToCP1252(0x0100, '?', &used), '?');
    EXPECT_EQ(used, 1);
    EXPECT_EQ(STR_ToCP1252(0x0100, '_'), '_');

    EXPECT_TRUE(STR_bIsCp1252(L""));
    EXPECT_TRUE(STR_bIsCp1252(L"\u20AC100 \u00E9t\u00E9"));
    EXPECT_FALSE(STR_bIsCp1252(L"ab\u0100"));
    EXPECT_FALSE(STR_bIsCp1252(L"\u0085"));
}

TEST(TextCompare, Windows1252AgreesWithTheSystemConverter)
{
    iconv_t cd = iconv_open("UTF-32LE", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1))
        GTEST_SKIP() << "no CP1252 converter on this system";
    int checked = 0;
    for (int c = 1; c < 256; ++c) {
        char in = static_cast<char>(c);
        unsigned char out[4] = {};
        char* pin = &in;
        size_t nin = 1;
        char* pout = reinterpret_cast<char*>(out);
        size_t nout = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &pin, &nin, &pout, &nout) == static_cast<size_t>(-1))
            continue;  // undefined in the system's table
        const wchar_t wc = static_cast<wchar_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
        EXPECT_EQ(STR_FromCP1252(static_cast<unsigned char>(c)), wc) << c;
        unsigned char b = 0;
        EXPECT_TRUE(STR_bIsCp1252(wc, b)) << c;
        EXPECT_EQ(b, c);
        ++checked;
    }
    iconv_close(cd);
    EXPECT_GE(checked, 250);
}

TEST(TextCompare, Windows1252ToWideText)
{
    wchar_t w[8];
    EXPECT_EQ(STR_CP1252ToWideChar("\x80\x81z", -1, nullptr, 0), 4);
    EXPECT_EQ(STR_CP1252ToWideChar("\x80\x81z", 2, nullptr, 0), 2);
    for (wchar_t& c : w)
        c = L'#';
    EXPECT_EQ(STR_CP1252ToWideChar("\x80\x81z", -1, w, 8), 4);
    EXPECT_EQ(w[0], 0x20AC);
    EXPECT_EQ(w[1], 0x81);
    EXPECT_EQ(w[2], L'z');
    EXPECT_EQ(w[3], 0);
    EXPECT_EQ(w[4], L'#');
    for (wchar_t& c : w)
        c = L'#';
    EXPECT_EQ(STR_CP1252ToWideChar("\x9F\xE9xyz", -1, w, 2), 2);
    EXPECT_EQ(w[0], 0x0178);
    EXPECT_EQ(w[1], 0xE9);
    EXPECT_EQ(w[2], L'#');
    EXPECT_EQ(STR_CP1252ToWideChar("abc", 0, w, 8), 0);
    EXPECT_EQ(STR_CP1252ToWideChar("", -1, w, 8), 1);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(STR_CP1252ToWideChar(nullptr, -1, w, 8), 0);
}

TEST(TextCompare, SevenBitText)
{
    EXPECT_TRUE(STR_bIsANSI7(L""));
    EXPECT_TRUE(STR_bIsANSI7(L"abc~\x7F"));
    EXPECT_FALSE(STR_bIsANSI7(L"ab\u00E9"));
    EXPECT_TRUE(STR_bIsANSI7(L"ab\u00E9", 2));
    EXPECT_FALSE(STR_bIsANSI7(L"ab\u00E9", 3));
    EXPECT_FALSE(STR_bIsANSI7(L"\u20AC"));
    EXPECT_TRUE(STR_bIsANSI7('a'));
    EXPECT_TRUE(STR_bIsANSI7('\x7F'));
    EXPECT_FALSE(STR_bIsANSI7('\x80'));
    EXPECT_FALSE(STR_bIsANSI7('\xFF'));
    EXPECT_EQ(STR_ToAnsi7(L'a', '?'), 'a');
    EXPECT_EQ(STR_ToAnsi7(0x80, '?'), '?');
    EXPECT_EQ(STR_ToAnsi7(0x20AC, '_'), '_');
    EXPECT_EQ(STR_FromAnsi7('z', L'?'), L'z');
    EXPECT_EQ(STR_FromAnsi7('\xE9', L'?'), L'?');
}

TEST(TextCompare, NoAccentUpperTable)
{
    struct Row {
        int from, to;
        unsigned char value;
    };
    const Row rows[] = {
        {0x8A, 0x8A, 'S'}, {0x9A, 0x9A, 'S'}, {0x8E, 0x8E, 'Z'}, {0x9E, 0x9E, 'Z'},
        {0x9C, 0x9C, 0x8C}, {0x9F, 0x9F, 'Y'}, {0xFF, 0xFF, 'Y'}, {0xC0, 0xC5, 'A'},
        {0xE0, 0xE5, 'A'}, {0xC7, 0xC7, 'C'}, {0xE7, 0xE7, 'C'}, {0xC8, 0xCB, 'E'},
        {0xE8, 0xEB, 'E'}, {0xCC, 0xCF, 'I'}, {0xEC, 0xEF, 'I'}, {0xD1, 0xD1, 'N'},
        {0xF1, 0xF1, 'N'}, {0xD2, 0xD6, 'O'}, {0xD8, 0xD8, 'O'}, {0xF2, 0xF6, 'O'},
        {0xF8, 0xF8, 'O'}, {0xD9, 0xDC, 'U'}, {0xF9, 0xFC, 'U'}, {0xDD, 0xDD, 'Y'},
        {0xFD, 0xFD, 'Y'}, {0xE6, 0xE6, 0xC6}, {0xF0, 0xF0, 0xD0}, {0xFE, 0xFE, 0xDE},
    };
    for (int c = 0; c < 256; ++c) {
        int expected = c;
        if (c >= 'a' && c <= 'z')
            expected = c - 'a' + 'A';
        for (const Row& r : rows)
            if (c >= r.from && c <= r.to)
                expected = r.value;
        EXPECT_EQ(pToNoAccentUpper_Latin1[c], expected) << std::hex << c;
    }
    for (int c : {0xC6, 0xD0, 0xD7, 0xDE, 0xDF, 0xF7, 0x8C, 0x40, 0x5B, 0})
        EXPECT_EQ(pToNoAccentUpper_Latin1[c], c) << std::hex << c;
}

TEST(TextCompare, FastAccentBlindComparison)
{
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("ECOLE", "\xE9" "cole"), 0);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("abc", "abcd"), -1);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("abcd", "abc"), 1);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("", ""), 0);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("a", "B"), -1);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("\xE6", "\xC6"), 0);      // ae ligature
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("\x9C" "uvre", "\x8CUVRE"), 0);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("\xDF", "S"), 1);          // sharp s stays itself
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("Z", "\xC0"), 1);          // A-grave sorts as A
}

TEST(TextCompare, CharacterClasses)
{
    EXPECT_TRUE(bEstUnChiffreA('0'));
    EXPECT_TRUE(bEstUnChiffreA('9'));
    EXPECT_FALSE(bEstUnChiffreA('/'));
    EXPECT_FALSE(bEstUnChiffreA(':'));
    EXPECT_TRUE(bEstUnChiffreW(L'5'));
    EXPECT_FALSE(bEstUnChiffreW(0x0665));  // Arabic-Indic five is not "0" to "9"
    EXPECT_EQ(nGetChiffre(L'7'), 7);
    EXPECT_EQ(nGetChiffre('0'), 0);
    EXPECT_TRUE(bEstUnNombreEntierNaturel(L""));
    EXPECT_TRUE(bEstUnNombreEntierNaturel(L"0123456789"));
    EXPECT_FALSE(bEstUnNombreEntierNaturel(L"12a"));
    EXPECT_FALSE(bEstUnNombreEntierNaturel(L"-1"));
    EXPECT_TRUE(bExtendedASCII(0x80));
    EXPECT_FALSE(bExtendedASCII(0x7F));
    EXPECT_TRUE(bMajusculeA('A'));
    EXPECT_FALSE(bMajusculeA('a'));
    EXPECT_FALSE(bMajusculeW(0xC9));
    EXPECT_TRUE(bMinusculeW(L'z'));
    EXPECT_FALSE(bMinusculeA('{'));
    EXPECT_TRUE(bUnprintable(31));
    EXPECT_TRUE(bUnprintable(0));
    EXPECT_FALSE(bUnprintable(32));
    EXPECT_FALSE(bUnprintable(0xE9));

    for (int c : {33, 47, 58, 64, 91, 95})
        EXPECT_TRUE(bPonctuation(static_cast<wchar_t>(c))) << c;
    for (int c : {32, 48, 57, 65, 90, 96, 97, 123, 126})
        EXPECT_FALSE(bPonctuation(static_cast<wchar_t>(c))) << c;

    EXPECT_TRUE(STR_bNeContientRienDeLisibleW(L""));
    EXPECT_TRUE(STR_bNeContientRienDeLisibleW(L" \t\r\n"));
    EXPECT_FALSE(STR_bNeContientRienDeLisibleW(L" x "));
    EXPECT_FALSE(STR_bNeContientRienDeLisibleW(L"\v"));  // only tab, LF, CR and space
    EXPECT_TRUE(STR_bNeContientRienDeLisibleA("\n \t"));
    EXPECT_FALSE(STR_bNeContientRienDeLisibleA("\n.\t"));

    EXPECT_FALSE(STR_bContainSpace(nullptr));
    EXPECT_FALSE(STR_bContainSpace(L""));
    EXPECT_FALSE(STR_bContainSpace(L"a\tb"));
    EXPECT_TRUE(STR_bContainSpace(L"a b"));
}

TEST(TextCompare, BuiltInBehaviourWithoutTheLocaleService)
{
    CCalls calls;
    CNoLocaleService none;

    EXPECT_EQ(STR_nCompareW(L"\u00E9cole", L"ECOLE", 3), 0);
    EXPECT_EQ(STR_nCompareW(L"\u00E9cole", L"ECOLE", 1), 1);  // E-acute after E
    EXPECT_EQ(STR_nCompareW(L"abc", L"abd", 0), -1);
    EXPECT_EQ(STR_nCompareW(L"B", L"a", 0), -1);  // ordinal
    EXPECT_EQ(STR_nCompareW(L"B", L"a", 1), 1);
    EXPECT_EQ(STR_nCompareW(L"a b", L"ab", 4), 0);
    EXPECT_EQ(STR_nCompareA("\xC9" "COLE", "ecole", 3), 0);
    EXPECT_EQ(STR_nCompareA("\x9C", "\x8C", 0x10000001), 0);  // oe ligature
    EXPECT_EQ(STR_nNCompare<wchar_t>(L"ABCx", L"abcy", 3, 1), 0);
    EXPECT_EQ(__STR_CompareStringEx<char>(1, "abc", 3, "ABD", 3), 1);
    EXPECT_EQ(STR_nCompareCharSoupleW(L'\u00C0', L'a'), 0);
    EXPECT_TRUE(STR_bDebut(L"\u00C9l", L"elan"));

    wchar_t w[8];
    EXPECT_EQ(STR_nMapStringEx(1, w, 8, L"\u00E9lan", -1), 4);
    EXPECT_STREQ(w, L"\u00C9LAN");
    EXPECT_EQ(STR_nMapStringEx(2, w, 8, L"\u00C9l\u00E8ve", -1), 5);
    EXPECT_STREQ(w, L"Eleve");
    EXPECT_EQ(STR_nMapStringEx(0x100, w, 8, L"\u00C9LAN", 4), 4);
    EXPECT_STREQ(w, L"\u00E9lan");
    EXPECT_EQ(STR_nMapStringEx(4, w, 8, L"a, b.", -1), 2);
    EXPECT_STREQ(w, L"ab");
    EXPECT_EQ(STR_nMapStringEx(1, static_cast<wchar_t*>(nullptr), 0, L"abc", -1), 3);
    EXPECT_EQ(STR_nMapStringEx(1, w, 2, L"abc", -1), 0);  // no room
    EXPECT_EQ(STR_nGetMapStringLenEx(3, L"abc", -1), 4);
    char a[8];
    EXPECT_EQ(STR_nMapStringEx(1, a, 8, "\xE9t\x9C", 3), 3);
    EXPECT_STREQ(a, "\xC9T\x8C");
    EXPECT_EQ(STR_nMapStringEx(3, a, 8, "\xE7\xFF", -1), 2);
    EXPECT_STREQ(a, "CY");

    wchar_t* p = nullptr;
    EXPECT_EQ(STR_nCreateMapString(3, &p, L"\u00E9t\u00E9"), 3);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, L"ETE");
    std::free(p);
    p = STR_pszCreateStandard(L"\u00FCber");
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, L"UBER");
    std::free(p);

    char c = 0;
    EXPECT_EQ(STR_nMapCharEx(1, &c, '\xE0'), 1);
    EXPECT_EQ(c, '\xC0');
    wchar_t wc = 0;
    EXPECT_EQ(STR_nMapCharIgnoreCaseAccent(&wc, L'\u00F1'), 1);
    EXPECT_EQ(wc, L'N');
    EXPECT_TRUE(STR_bWhiteCharOrPunctW(L','));
    EXPECT_FALSE(STR_bWhiteCharOrPunctA('a'));

    char s[] = "ab\xE9";
    STR_ToUpper(s);
    EXPECT_STREQ(s, "AB\xC9");
    wchar_t ws[] = L"\u00C9T\u00C9";
    STR_ToLower(ws);
    EXPECT_STREQ(ws, L"\u00E9t\u00E9");

    unsigned char ka[16];
    unsigned char kb[16];
    const int na = STR_MapStringSortEx(ka, 16, L"ab", -1, true);
    const int nb = STR_MapStringSortEx(kb, 16, L"b", -1, false);
    ASSERT_GT(na, 0);
    ASSERT_GT(nb, 0);
    EXPECT_LT(std::memcmp(ka, kb, static_cast<std::size_t>(na < nb ? na : nb)), 0);

    EXPECT_EQ(STR_ChaineCompareW(L"\u00C9COLE", -1, L"ecole", -1, 4 | 16), 0);
    EXPECT_LT(STR_ChaineCompareW(L"a", -1, L"b", -1, 8), 0);
    EXPECT_EQ(nCompareVersionModule(L"1.10", L"1.9"), 1);
    EXPECT_LT(STR_nCompareRespecteNumeriqueA("\xE9 2", -1, "\xE9 10", -1, 0x20000000), 0);

    EXPECT_EQ(calls.n(), 0u);
}

namespace {

// A locale service that maps to nothing, or claims more than the room given.
class CBadLocale final : public IInfoLocale {
public:
    explicit CBadLocale(int nMapResult) : m_nMapResult(nMapResult) {}
    unsigned Reserved0() override { return 0; }
    unsigned Reserved1() override { return 0; }
    int nGetCurrentCharset() override { return 0; }
    unsigned nGetCurrentCodePage() override { return 1252; }
    unsigned nGetCurrentLCID() override { return 1036; }
    int nCompareA(unsigned, unsigned, const char*, int, const char*, int) override { return 0; }
    int nCompareW(unsigned, unsigned, const wchar_t*, int, const wchar_t*, int) override { return 0; }
    int nCompareCurrentA(unsigned, const char*, int, const char*, int) override { return 0; }
    int nCompareCurrentW(unsigned, const wchar_t*, int, const wchar_t*, int) override { return 0; }
    int nMapStringSort(unsigned, unsigned char*, int, const wchar_t*, int) override { return 0; }
    unsigned Reserved10() override { return 0; }
    int nMapStringA(unsigned, unsigned, char* d, int n, const char*, int) override { return Fill(d, n); }
    int nMapStringW(unsigned, unsigned, wchar_t* d, int n, const wchar_t*, int) override { return Fill(d, n); }
    int nMapStringCurrentA(unsigned, char* d, int n, const char*, int) override { return Fill(d, n); }
    int nMapStringCurrentW(unsigned, wchar_t* d, int n, const wchar_t*, int) override { return Fill(d, n); }
    unsigned nGetSafeLCID() override { return 1033; }

private:
    // Fills the whole room when it claims to have produced something.
    template <typename T>
    int Fill(T* d, int n)
    {
        for (int i = 0; m_nMapResult > 0 && d != nullptr && i < n; ++i)
            d[i] = 'x';
        return m_nMapResult;
    }
    int m_nMapResult;
};

struct CLocaleSwap {
    explicit CLocaleSwap(IInfoLocale* p) : m_p(CInformationDLL::ms_piInfoLocale) { CInformationDLL::ms_piInfoLocale = p; }
    ~CLocaleSwap() { CInformationDLL::ms_piInfoLocale = m_p; }
    IInfoLocale* m_p;
};

}  // namespace

TEST(TextCompare, NothingProducedLeavesTheCharacter)
{
    CBadLocale bad(0);
    CLocaleSwap swap(&bad);
    char s[] = "abc";
    STR_ToUpper(s);
    EXPECT_STREQ(s, "abc");
    STR_ToLowerBuff(s, 3);
    EXPECT_STREQ(s, "abc");
    wchar_t w[] = L"xyz";
    STR_ToUpper(w);
    EXPECT_STREQ(w, L"xyz");
    STR_ToLowerBuff(w, 2);
    EXPECT_STREQ(w, L"xyz");
    char c = '#';
    EXPECT_EQ(STR_nMapCharEx(1, &c, 'a'), 0);
    EXPECT_EQ(c, '#');
    wchar_t wc = L'#';
    EXPECT_EQ(STR_nMapCharIgnoreCaseAccent(&wc, L'a'), 0);
    EXPECT_EQ(wc, L'#');
    EXPECT_TRUE(STR_bWhiteCharOrPunctW(L'a'));
    wchar_t* p = STR_pszCreateStandard(L"abc");
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, L"");
    std::free(p);
}

TEST(TextCompare, OverlongMapCountsStayInTheBuffer)
{
    CBadLocale bad(1000);
    CLocaleSwap swap(&bad);
    wchar_t w[8];
    w[4] = L'#';
    EXPECT_EQ(STR_PrepareChaineW(16, L"abc", 3, w, 4), 4);
    EXPECT_EQ(w[4], L'#');
    char a[8];
    a[4] = '#';
    EXPECT_EQ(STR_PrepareChaineA(16, "abc", 3, a, 4), 4);
    EXPECT_EQ(a[4], '#');
    // The comparison reads only its temporaries (checked by the sanitizers).
    EXPECT_EQ(STR_ChaineCompareW(L"abc", -1, L"abc", -1, 16), 0);
    EXPECT_EQ(STR_ChaineCompareA("abc", -1, "abd", -1, 16), 0);
    EXPECT_LT(STR_ChaineCompareW(L"abc", -1, L"abcd", -1, 16), 0);
}
