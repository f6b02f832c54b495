#include "common/text/TextCompare.h"

#include "tests/support/LocaleCalls.h"
#include "tests/support/ProcessLocale.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void ClearCalls() { TestHost().ClearLocaleCalls(); }
const HostLocaleCall kGetLcid = kGetCurrentLCID;

// Published Windows-1252 mapping of its 27 defined characters in 0x80-0x9F.
const struct { unsigned char b; wchar_t wc; } kCp1252[27] = {
    {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020}, {0x87, 0x2021},
    {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152}, {0x8E, 0x017D}, {0x91, 0x2018},
    {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC},
    {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A}, {0x9C, 0x0153}, {0x9E, 0x017E}, {0x9F, 0x0178}};

int Sign(int n) { return n < 0 ? -1 : (n > 0 ? 1 : 0); }

}  // namespace

TEST(TextCompare, ComparisonsPassTheirIdentifierFlagsAndLengths)
{
    ClearCalls();
    EXPECT_EQ(STR_nCompareW(L"abc", L"abd", 3), -1);
    EXPECT_EQ(STR_nCompareW(L"\u00C9cole", L"ecole", 0x10000003), 0);
    EXPECT_EQ(STR_nCompareA("abc", "ABC", 1), 0);
    EXPECT_EQ(STR_nCompareA("b", "a", 0x10000000), 1);
    EXPECT_EQ(STR_nAcCompare("\xE9t\xE9", "ete", 0), 0);
    EXPECT_LOCALE_CALLS({{6, 1024, 3, -1, -1}, {8, 0, 3, -1, -1}, {5, 1024, 0x40000001, -1, -1},
                       {7, 0, 0x40000000, -1, -1}, {5, 1024, 0x40000002, -1, -1}});
    EXPECT_EQ(STR_nNCompare<wchar_t>(L"abcdef", L"ABCxyz", 3, 3), 0);
    EXPECT_EQ(STR_nNCompare<char>("ab", "abc", 10, 0), -1);
    EXPECT_EQ(STR_nNCompare<wchar_t>(nullptr, L"", 5, 0), 0);
    EXPECT_EQ(__STR_CompareStringEx<char>(0, "abc", 3, "abd", 3), 1);
    EXPECT_EQ(__STR_CompareStringEx<wchar_t>(1, L"abc", 3, L"ABC", 3), 2);
    EXPECT_EQ(__STR_CompareStringEx<wchar_t>(0, L"abd", -1, L"abc", 2), 3);
    EXPECT_LOCALE_CALLS({{6, 1036, 3, 3, 3}, {5, 1036, 0, 2, 3}, {6, 1036, 0, 0, 0},
                       {5, 1036, 0, 3, 3}, {6, 1036, 1, 3, 3}, {6, 1036, 0, -1, 2}});
    // 8-bit characters go to 1036, wide ones to 1024.
    EXPECT_EQ(STR_nCompareCharLexicoA('a', 'b', 0), -1);
    EXPECT_EQ(STR_nCompareCharLexicoW(L'b', L'a', 0), 1);
    EXPECT_EQ(STR_nCompareStringLexicoW(L"abc", 3, L"ab", 2, 0), 1);
    EXPECT_EQ(STR_nCompareCharSoupleA('e', '\xC9'), 0);
    EXPECT_EQ(STR_nCompareCharSoupleW(L'E', L'\u00E9'), 0);
    EXPECT_LOCALE_CALLS({{5, 1036, 0x20000000, 1, 1}, {6, 1024, 0x20000000, 1, 1}, {6, 1024, 0x20000000, 3, 2},
                       {5, 1036, 3, 1, 1}, {6, 1024, 3, 1, 1}});
    CCurrentLocale current(0, 1252, 1033);
    EXPECT_EQ(STR_nNCompare<wchar_t>(L"b", L"a", 1, 0x10000000), 1);
    EXPECT_EQ(STR_nCompareCharLexicoA('a', 'a', 0x10000001), 0);
    EXPECT_LOCALE_CALLS({kGetLcid, {6, 1033, 0, 1, 1}, kGetLcid, {5, 1033, 0x20000001, 1, 1}});
}

TEST(TextCompare, MappingsPassTheirIdentifierFlagsAndSizes)
{
    ClearCalls();
    char a[10];
    EXPECT_EQ(STR_nMapStringEx(1, a, 10, "ab\xE9", 3), 3);
    EXPECT_STREQ(a, "AB\xC9");
    wchar_t w[10];
    EXPECT_EQ(STR_nMapStringEx(2, w, 10, L"\u00E9t\u00E9", -1), 3);
    EXPECT_STREQ(w, L"ete");
    EXPECT_EQ(STR_nGetMapStringLenEx(4, L"a, b", -1), 3);  // with the terminator
    EXPECT_LOCALE_CALLS({{11, 1036, 1, 3, 10}, {12, 1036, 2, -1, 10}, {12, 1036, 4, -1, 0}});
    // Sized first, then mapped into exactly that size.
    wchar_t* pw = nullptr;
    EXPECT_EQ(STR_nCreateMapString(3, &pw, L"\u00C9lan"), 4);
    ASSERT_NE(pw, nullptr);
    EXPECT_STREQ(pw, L"ELAN");
    std::free(pw);
    pw = STR_pszCreateStandard(L"\u00C9l\u00E8ve");
    ASSERT_NE(pw, nullptr);
    EXPECT_STREQ(pw, L"ELEVE");
    std::free(pw);
    EXPECT_EQ(STR_pszCreateStandard(nullptr), nullptr);
    EXPECT_LOCALE_CALLS({{12, 1036, 3, -1, 0}, {12, 1036, 3, -1, 5}, {12, 1036, 3, 5, 6}});
    char c = 0;
    EXPECT_EQ(STR_nMapCharEx(1, &c, 'a'), 1);
    EXPECT_EQ(c, 'A');
    wchar_t wc = 0;
    EXPECT_EQ(STR_nMapCharEx(0x100, &wc, L'\u0178'), 1);
    EXPECT_EQ(wc, L'\u00FF');
    EXPECT_TRUE(STR_bWhiteCharOrPunctA(','));
    EXPECT_FALSE(STR_bWhiteCharOrPunctW(L'\u00E9'));
    EXPECT_LOCALE_CALLS({{11, 1036, 1, 1, 2}, {12, 1036, 0x100, 1, 2}, {11, 1036, 4, 1, 2}, {12, 1024, 4, 1, 2}});
    CCurrentLocale current(0, 1252, 1033);
    EXPECT_EQ(STR_nMapStringEx(0x10000001, w, 4, L"ab", 2), 2);
    unsigned char key[64];
    EXPECT_GT(STR_MapStringSortEx(key, sizeof key, L"abc", -1, false), 0);
    EXPECT_GT(STR_MapStringSortEx(key, sizeof key, L"abd", -1, true), 0);
    EXPECT_LOCALE_CALLS({kGetLcid, {12, 1033, 1, 2, 4}, {9, 1036, 0, -1, 64}, kGetLcid, {9, 1033, 0, -1, 64}});
}

TEST(TextCompare, CaseChangesInPlace)
{
    ClearCalls();
    char s[] = "a\xE9";
    STR_ToUpper(s);
    EXPECT_STREQ(s, "A\xC9");
    wchar_t ws[] = L"\u00C9";
    STR_ToLower(ws);
    EXPECT_STREQ(ws, L"\u00E9");
    EXPECT_LOCALE_CALLS({{11, 1024, 1, 1, 2}, {11, 1024, 1, 1, 2}, {14, 0, 0x100, 1, 2}});
    // The C-library forms (one template for both widths) do not use the service.
    wchar_t w[] = L"abc1";
    EXPECT_STREQ(my_struprW(w), L"ABC1");
    EXPECT_EQ(TestHost().nLocaleCalls(), 0u);
    // The Buff forms (one template for both widths) work on exactly n units,
    // through embedded NULs.
    wchar_t t[] = {L'a', 0, L'b', L'c', 0};
    STR_ToUpperBuff(t, 3);
    EXPECT_EQ(std::wstring(t, 4), std::wstring(L"A\0Bc", 4));
}

TEST(TextCompare, PreparationTrimsMapsAndStaysInTheBuffer)
{
    // Host options and the map flags they become.
    const struct { int option; unsigned flags; } rows[] = {
        {0, 0}, {1 | 8 | 0x80, 0}, {2, 4}, {4, 2}, {16, 1}, {32, 1}, {16 | 64, 0x100}, {2 | 4 | 32, 7}};
    for (const auto& r : rows)
        EXPECT_EQ(OptionTQ2FlagSTR(r.option), r.flags) << r.option;
    wchar_t w[16];
    EXPECT_EQ(STR_PrepareChaineW(1, L" \t abc de \n\r", -1, w, 16), 6);
    EXPECT_STREQ(w, L"abc de");
    EXPECT_EQ(STR_PrepareChaineW(1, L" \t\v\f ", -1, w, 16), 0);
    EXPECT_STREQ(w, L"");
    ClearCalls();
    EXPECT_EQ(STR_PrepareChaineW(1 | 16 | 4, L"  \u00E9l\u00E8ve ", -1, w, 16), 5);
    EXPECT_STREQ(w, L"ELEVE");
    char a[8];
    EXPECT_EQ(STR_PrepareChaineA(2 | 64, "A, B.", -1, a, 8), 2);
    EXPECT_STREQ(a, "ab");
    EXPECT_LOCALE_CALLS({{14, 0, 3, 5, 16}, {13, 0, 0x104, 5, 8}});
    // Neither a copy nor a mapping writes past dstSize.
    std::fill(w, w + 16, L'#');
    EXPECT_LE(STR_PrepareChaineW(16, L"abcdef", 6, w, 4), 4);
    EXPECT_EQ(w[4], L'#');
    std::memset(a, '#', sizeof a);
    EXPECT_EQ(STR_PrepareChaineA(0, "abcdef", -1, a, 3), 2);
    EXPECT_STREQ(a, "ab");
    EXPECT_EQ(a[3], '#');
}

TEST(TextCompare, HostOptionComparison)
{
    const struct { const wchar_t* a; int la; const wchar_t* b; int option, expected; } rows[] = {
        {L"  abc ", -1, L"abc", 1, 0},
        {L"x9", -1, L"x10", 0x80, -1},
        {L"abc", -1, L"abcd", 0, -1},
        {L"\u00C9COLE", -1, L"ecole", 4 | 32, 0},
        {L"a-b c", -1, L"abc", 2, 0},
        {L"abcX", 3, L"abc", 0, 0},
        {L"\u0100", -1, L"\u0001", 0, 1},  // characters, not little-endian bytes
    };
    for (const auto& r : rows)
        EXPECT_EQ(Sign(STR_ChaineCompareW(r.a, r.la, r.b, -1, r.option)), r.expected) << r.a << " " << r.option;
    // One template for both widths; 8-bit bytes compare unsigned.
    EXPECT_GT(STR_ChaineCompareA("\xE9", -1, "z", -1, 0), 0);
    // Locale order in the current locale puts an accented letter before
    // the next base letter.
    CCurrentLocale current(0, 1252, 1033);
    EXPECT_LT(STR_ChaineCompareW(L"\u00E9a", -1, L"fa", -1, 8), 0);
    EXPECT_LT(STR_ChaineCompareW(L"a", -1, L"b", -1, 8 | INT_MIN), 0);
    EXPECT_LT(STR_ChaineCompareW(L"\u00E9 2", -1, L"f 10", -1, 8 | 0x80), 0);
    EXPECT_LT(STR_ChaineCompareA("\xE9", -1, "f", -1, 8), 0);
    EXPECT_LOCALE_CALLS({kGetLcid, {6, 1033, 0x20000000, 2, 2}, kGetLcid, {6, 1033, 0xA0000000, 1, 1}, kGetLcid,
                       {6, 1033, 0x20000000, 2, 2}, kGetLcid, {5, 1033, 0x20000000, 1, 1}});
}

TEST(TextCompare, HostOptionComparisonOfLongTexts)
{
    // Across the stack temporaries' limit (4095 wide characters, 16383 bytes).
    for (int len : {4094, 4095, 20000}) {
        std::wstring a(static_cast<std::size_t>(len), L'x');
        std::wstring b = a;
        b.back() = L'y';
        EXPECT_LT(STR_ChaineCompareW(a.c_str(), len, b.c_str(), len, 0), 0) << len;
        std::wstring c = L"  " + a + L" ";
        EXPECT_EQ(STR_ChaineCompareW(c.c_str(), -1, a.c_str(), -1, 1 | 16), 0) << len;
    }
    for (int len : {16382, 16383}) {
        std::string a(static_cast<std::size_t>(len), 'x');
        std::string b = a;
        b.back() = 'y';
        EXPECT_GT(STR_ChaineCompareA(b.c_str(), len, a.c_str(), -1, 1 | 16), 0) << len;
    }
}

TEST(TextCompare, NumericAwareOrder)
{
    const struct { const wchar_t* a; const wchar_t* b; int expected; } rows[] = {
        {L"file2", L"file10", -1},
        {L"007", L"7", -1},      // same number; more leading zeros sort first
        {L"x007y", L"x7z", -1},  // the text after the number decides
        {L"a7b01", L"a07b1", 1},  // the first leading-zero difference sets the tie
        {L"a", L"ab", -1},
        {L"a", L"1", 1},
        {L"\u0100", L"\u0001", 1},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(STR_nCompareRespecteNumeriqueW(r.a, -1, r.b, -1, 0), r.expected) << r.a << " " << r.b;
        EXPECT_EQ(STR_nCompareRespecteNumeriqueW(r.b, -1, r.a, -1, 0), -r.expected) << r.b << " " << r.a;
    }
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"file10", 5, L"file1", 5, 0), 0);
    int tie = 0;
    EXPECT_EQ(__nCompareNumeriqueChaineA("12", 2, "0012", 4, &tie), 0);
    EXPECT_EQ(__nCompareNumeriqueChaineA("012", 3, "12", 2, &tie), 0);
    EXPECT_EQ(tie, 1);  // only the first difference is kept
    // One template for both widths; 8-bit bytes compare unsigned.
    EXPECT_GT(STR_nCompareRespecteNumeriqueA("\xE9", -1, "z", -1, 0), 0);
    // Locale order outside the digit runs; the accent decides before the number.
    ClearCalls();
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"\u00E9t\u00E9 2", -1, L"ete 10", -1, 0x20000000), 1);
    // 8-bit bytes widen as unsigned characters: e-acute is an e, before f.
    EXPECT_LT(STR_nCompareRespecteNumeriqueA("\xE9", -1, "f", -1, 0x20000000), 0);
    EXPECT_LOCALE_CALLS({{6, 1024, 0x20000000, 4, 4}, {6, 1024, 0x20000000, 1, 1}});
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"ETE 2", -1, L"ete 10", -1, 0x20000001), -1);
    EXPECT_EQ(nCompareVersionModule(L"1.10.0", L"1.9.3"), 1);
    EXPECT_EQ(nCompareVersionModule(L"1.2", L"1.2.1"), -1);
    EXPECT_GT(nCompareVersionModuleA("19.0.12", "19.0.9"), 0);
}

TEST(TextCompare, Windows1252AndSevenBit)
{
    wchar_t expected[256];
    for (int c = 0; c < 256; ++c)
        expected[c] = static_cast<wchar_t>(c);  // the five undefined bytes keep their value
    for (const auto& e : kCp1252)
        expected[e.b] = e.wc;
    for (int c = 0; c < 256; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(STR_FromCP1252(static_cast<unsigned char>(c)), expected[c]);
        unsigned char b = 0;
        const bool defined = c < 0x80 || c > 0x9F || expected[c] != c;
        EXPECT_EQ(STR_bIsCp1252(expected[c], b), defined);
        if (defined) {
            EXPECT_EQ(b, c);
            int used = 0;
            EXPECT_EQ(STR_ToCP1252(expected[c], '?', &used), c);
            EXPECT_EQ(used, 0);
        }
        // The same value as a character: Latin-1, except the C1 controls.
        EXPECT_EQ(STR_bIsCp1252(static_cast<wchar_t>(c)), c < 0x80 || c > 0x9F);
    }
    EXPECT_FALSE(STR_bIsCp1252(0x100));
    int used = 0;
    EXPECT_EQ(STR_ToCP1252(0x0100, '?', &used), '?');
    EXPECT_EQ(used, 1);
    EXPECT_TRUE(STR_bIsCp1252(L"\u20AC100 \u00E9t\u00E9"));
    EXPECT_FALSE(STR_bIsCp1252(L"ab\u0100"));
    // Counts include the terminator; the destination bounds the copy.
    wchar_t w[8];
    EXPECT_EQ(STR_CP1252ToWideChar("\x80\x81z", -1, nullptr, 0), 4);
    EXPECT_EQ(STR_CP1252ToWideChar("\x80\x81z", -1, w, 8), 4);
    EXPECT_EQ(std::wstring(w, 4), std::wstring(L"\u20AC\u0081z\0", 4));
    std::fill(w, w + 8, L'#');
    EXPECT_EQ(STR_CP1252ToWideChar("\x9F\xE9xyz", -1, w, 2), 2);
    EXPECT_EQ(std::wstring(w, 3), L"\u0178\u00E9#");
    EXPECT_EQ(STR_CP1252ToWideChar(nullptr, -1, w, 8), 0);
    EXPECT_TRUE(STR_bIsANSI7(L"abc~\x7F"));
    EXPECT_FALSE(STR_bIsANSI7(L"ab\u00E9"));
    EXPECT_TRUE(STR_bIsANSI7(L"ab\u00E9", 2));
    EXPECT_FALSE(STR_bIsANSI7('\x80'));
    EXPECT_EQ(STR_FromAnsi7('\xE9', L'?'), L'?');
}

TEST(TextCompare, NoAccentUpperTableAndFastComparison)
{
    // Ranges of bytes and the byte they become; other letters upper-case.
    const struct { int from, to; unsigned char value; } rows[] = {
        {0x8A, 0x8A, 'S'}, {0x9A, 0x9A, 'S'}, {0x8E, 0x8E, 'Z'}, {0x9E, 0x9E, 'Z'}, {0x9C, 0x9C, 0x8C},
        {0x9F, 0x9F, 'Y'}, {0xFF, 0xFF, 'Y'}, {0xC0, 0xC5, 'A'}, {0xE0, 0xE5, 'A'}, {0xC7, 0xC7, 'C'},
        {0xE7, 0xE7, 'C'}, {0xC8, 0xCB, 'E'}, {0xE8, 0xEB, 'E'}, {0xCC, 0xCF, 'I'}, {0xEC, 0xEF, 'I'},
        {0xD1, 0xD1, 'N'}, {0xF1, 0xF1, 'N'}, {0xD2, 0xD6, 'O'}, {0xD8, 0xD8, 'O'}, {0xF2, 0xF6, 'O'},
        {0xF8, 0xF8, 'O'}, {0xD9, 0xDC, 'U'}, {0xF9, 0xFC, 'U'}, {0xDD, 0xDD, 'Y'}, {0xFD, 0xFD, 'Y'},
        {0xE6, 0xE6, 0xC6}, {0xF0, 0xF0, 0xD0}, {0xFE, 0xFE, 0xDE}};
    for (int c = 0; c < 256; ++c) {
        int expected = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
        for (const auto& r : rows)
            if (c >= r.from && c <= r.to)
                expected = r.value;
        EXPECT_EQ(pToNoAccentUpper_Latin1[c], expected) << std::hex << c;
    }

    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("ECOLE", "\xE9" "cole"), 0);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("abc", "abcd"), -1);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("\xDF", "S"), 1);  // sharp s stays itself
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("Z", "\xC0"), 1);  // A-grave sorts as A
}

TEST(TextCompare, NullTolerantComparisonsAndCharacterClasses)
{
    EXPECT_EQ(STR_nNullCompare(nullptr, nullptr, 0), 0);
    EXPECT_EQ(STR_nNullCompare(nullptr, L"", 0), -1);
    EXPECT_EQ(STR_nEmptyNullCompare(nullptr, L"", 0), 0);
    EXPECT_EQ(STR_nEmptyNullCompare(L"a", nullptr, 0), 1);
    EXPECT_EQ(STR_nNullNCompare(L"abcX", L"abcY", 3, 0), 0);
    EXPECT_TRUE(STR_bDebut(L"\u00E9", L"Eric"));
    EXPECT_FALSE(STR_bDebut(L"abcd", L"abc"));
    EXPECT_FALSE(bEstUnChiffreW(0x0665));  // Arabic-Indic five is not "0" to "9"
    EXPECT_FALSE(bEstUnNombreEntierNaturel(L"-1"));
    for (int c : {33, 47, 58, 64, 91, 95})
        EXPECT_TRUE(bPonctuation(static_cast<wchar_t>(c))) << c;
    for (int c : {32, 48, 57, 65, 90, 96, 97, 123, 126})
        EXPECT_FALSE(bPonctuation(static_cast<wchar_t>(c))) << c;
    EXPECT_TRUE(STR_bNeContientRienDeLisibleW(L" \t\r\n"));
    EXPECT_FALSE(STR_bNeContientRienDeLisibleW(L"\v"));  // only tab, LF, CR and space
    EXPECT_FALSE(STR_bContainSpace(L"a\tb"));
}

TEST(TextCompare, BuiltInBehaviourWithoutTheLocaleService)
{
    ClearCalls();
    CLocaleServiceSwap none(nullptr);
    EXPECT_EQ(STR_nCompareW(L"\u00E9cole", L"ECOLE", 3), 0);
    EXPECT_EQ(STR_nCompareW(L"\u00E9cole", L"ECOLE", 1), 1);  // E-acute after E
    EXPECT_EQ(STR_nCompareW(L"B", L"a", 0), -1);  // ordinal
    EXPECT_EQ(STR_nCompareA("\x9C", "\x8C", 0x10000001), 0);  // oe ligature
    wchar_t w[8];
    EXPECT_EQ(STR_nMapStringEx(1, w, 8, L"\u00E9lan", -1), 4);
    EXPECT_STREQ(w, L"\u00C9LAN");
    EXPECT_EQ(STR_nMapStringEx(0x100 | 4, w, 8, L"\u00C9, LA.", -1), 3);
    EXPECT_STREQ(w, L"\u00E9la");
    EXPECT_EQ(STR_nMapStringEx(1, w, 2, L"abc", -1), 0);  // no room
    char a[8];
    EXPECT_EQ(STR_nMapStringEx(3, a, 8, "\xE7\xFF\x9C", -1), 3);
    EXPECT_STREQ(a, "CY\x8C");
    EXPECT_EQ(TestHost().nLocaleCalls(), 0u);
}

// Names fold the same way in every process locale, Turkish included.
TEST(TextCompare, FixedLocaleWhateverTheProcessLocale)
{
    CProcessLocale clLocale;
    for (const char* pszLocale : {"C", "tr_TR.UTF-8"}) {
        ASSERT_TRUE(clLocale.bSet(pszLocale));
        EXPECT_EQ(STR_cFixedUpper(L'i'), L'I') << pszLocale;
        EXPECT_EQ(STR_cFixedUpper(L'\u00e9'), L'\u00c9') << pszLocale;
        EXPECT_EQ(STR_nFixedCaseCompare(L"ID", L"id"), 0) << pszLocale;
        EXPECT_LT(STR_nFixedCaseCompare(L"Iz", L"ja"), 0) << pszLocale;
        EXPECT_GT(STR_nFixedCaseCompare(L"a", nullptr), 0) << pszLocale;
        EXPECT_EQ(STR_nFixedCaseCompare(nullptr, L""), 0) << pszLocale;
    }
}

namespace {

// A locale service that maps to nothing (0), or claims more than the room
// given after filling all of it.
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
    template <typename T>
    int Fill(T* d, int n)
    {
        for (int i = 0; m_nMapResult > 0 && d != nullptr && i < n; ++i)
            d[i] = 'x';
        return m_nMapResult;
    }
    int m_nMapResult;
};

}  // namespace

TEST(TextCompare, BadMapResultsKeepTheTextAndTheBuffer)
{
    {
        // Nothing produced: the character stays.
        CBadLocale bad(0);
        CLocaleServiceSwap swap(&bad);
        char s[] = "abc";
        STR_ToUpper(s);
        EXPECT_STREQ(s, "abc");
        char c = '#';
        EXPECT_EQ(STR_nMapCharEx(1, &c, 'a'), 0);
        EXPECT_EQ(c, '#');
        EXPECT_TRUE(STR_bWhiteCharOrPunctW(L'a'));
        wchar_t* p = STR_pszCreateStandard(L"abc");
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p, L"");
        std::free(p);
    }
    CBadLocale bad(1000);
    CLocaleServiceSwap swap(&bad);
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
    EXPECT_LT(STR_ChaineCompareW(L"abc", -1, L"abcd", -1, 16), 0);
}
