#include "common/text/STR.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Exact-size heap buffers, so that the sanitizer sees any write or read
// beyond them.
std::vector<wchar_t> WBuf(std::size_t n) { return std::vector<wchar_t>(n, L'#'); }
std::vector<char> ABuf(std::size_t n) { return std::vector<char>(n, '#'); }
std::vector<wchar_t> WText(const wchar_t* s) { return std::vector<wchar_t>(s, s + wcslen(s) + 1); }
std::vector<char> AText(const char* s) { return std::vector<char>(s, s + strlen(s) + 1); }

struct Owned {
    explicit Owned(wchar_t* p) : m_p(p) {}
    ~Owned() { STR_Delete(m_p); }
    wchar_t* m_p;
};

TEST(STRLength, BoundedLengthsAndBackwardScans)
{
    EXPECT_EQ(STR_nLenW(L"abc", 2), 2);
    EXPECT_EQ(STR_nLenA("abc", -1), 0);
    // The bound is honoured on text that is not terminated.
    std::vector<char> raw = ABuf(4);
    EXPECT_EQ(xstrnlen(raw.data(), raw.size()), 4u);
    std::vector<char> s = AText("abcabc");
    EXPECT_EQ(strrchr(s.data(), 4, 'a'), s.data() + 3);
    EXPECT_EQ(strrchr(s.data(), -1, 'a'), nullptr);
    // A start beyond the text scans from its end, not from outside it.
    EXPECT_EQ(strrchr(s.data(), 1000, 'c'), s.data() + 5);
    std::vector<wchar_t> w = WText(L"a,b;c");
    EXPECT_EQ(wcsrchr(w.data(), 1000, L'z'), nullptr);
    wcsnset(w.data(), L'y', 100);  // stops at the terminator
    EXPECT_STREQ(w.data(), L"yyyyy");
}

TEST(STRCopy, CopiesAndConcatenationsAtExactSizes)
{
    std::vector<wchar_t> b4 = WBuf(4);
    EXPECT_EQ(STR_nCopyW(b4.data(), 4, L"abcdef", -1), 3);
    EXPECT_STREQ(b4.data(), L"abc");
    std::vector<wchar_t> b1 = WBuf(1);
    EXPECT_EQ(STR_nCopyW(b1.data(), 0, L"abcdef", -1), 0);
    EXPECT_EQ(b1[0], L'#');
    // The source is read only as far as needed: an unterminated source.
    std::vector<char> a3 = ABuf(3);
    std::vector<char> raw = ABuf(2);
    EXPECT_EQ(STR_nCopyA(a3.data(), 3, raw.data(), 2), 2);
    EXPECT_STREQ(a3.data(), "##");
    EXPECT_EQ(STR_nCut(b4.data(), 2, L"ab"), 1);
    EXPECT_STREQ(b4.data(), L"a");
    std::vector<wchar_t> b5 = WBuf(5);
    STR_nCopyW(b5.data(), 5, L"ab", -1);
    EXPECT_EQ(STR_nCatW(b5.data(), 5, L"cdef", -1), 2);
    EXPECT_STREQ(b5.data(), L"abcd");
    EXPECT_EQ(STR_nCat(b5.data(), 5, L"z", -1), 0);  // already full
    STR_nCopyW(b5.data(), 5, L"a", -1);
    EXPECT_EQ(STR_nCatW(b5.data(), 5, L"bcdef", 2), 2);
    EXPECT_EQ(STR_nCatCut(b5.data(), 5, L"xyz"), 1);
    EXPECT_STREQ(b5.data(), L"abcx");
    // A destination not terminated within its size is left untouched.
    std::vector<wchar_t> full = WBuf(4);
    EXPECT_EQ(STR_nCatW(full.data(), 4, L"xy", -1), 0);
    EXPECT_EQ(STR_nCatCut(full.data(), 4, L"xy"), 0);
    EXPECT_EQ(full, WBuf(4));
}

TEST(STRAlloc, CreatesCopiesAndJoins)
{
    Owned padded(STR_pszCreate(5, L"ab"));
    ASSERT_NE(padded.m_p, nullptr);
    for (int i = 2; i <= 5; ++i)
        EXPECT_EQ(padded.m_p[i], 0) << i;
    EXPECT_EQ(STR_pszCreateW(static_cast<const wchar_t*>(nullptr)), nullptr);
    char* a = STR_pszCreateA(4);
    ASSERT_NE(a, nullptr);
    memcpy(a, "abcd", 5);  // n + 1 bytes are there
    STR_DeleteA(a);
    // Sizes that cannot be allocated or counted give null.
    EXPECT_EQ(STR_pszCreateW(-2, L"ab"), nullptr);
    EXPECT_EQ(STRG_pszCreate<wchar_t>(INT_MAX), nullptr);  // (2^31) x 4 bytes cannot be counted on i386
    // Unaligned sources.
    const wchar_t text[] = L"unaligned";
    std::vector<unsigned char> bytes(sizeof(text) + 1);
    memcpy(bytes.data() + 1, text, sizeof(text));
    const wchar_t* odd = reinterpret_cast<const wchar_t*>(bytes.data() + 1);
    Owned part(STR_pszCreateW_UNALIGNED(2, odd));
    EXPECT_STREQ(part.m_p, L"un");
}

TEST(STRAlloc, RedefineResizeAndReplace)
{
    wchar_t* p = STR_pszCreateW(L"old");
    // The source may be the text being replaced.
    EXPECT_TRUE(STR_bRedefine(&p, p + 1));
    EXPECT_STREQ(p, L"ld");
    EXPECT_TRUE(STR_bResizeW(&p, 100));
    EXPECT_STREQ(p, L"ld");
    p[99] = 0;
    EXPECT_FALSE(STR_bResizeW(&p, -1));
    EXPECT_STREQ(p, L"ld");
    EXPECT_FALSE(STR_bRedefine(&p, nullptr));
    EXPECT_EQ(p, nullptr);
    const struct {
        const wchar_t *text, *find, *repl, *expected;
    } rows[] = {{L"XaX", L"X", L"--", L"--a--"}, {L"aaaaa", L"aa", L"b", L"bba"},
                {L"a-b-c", L"-", nullptr, L"abc"}, {L"nothing", L"X", L"--", L"nothing"}};
    for (const auto& r : rows) {
        Owned res(STR_RemplaceW(r.text, r.find, r.repl));
        EXPECT_STREQ(res.m_p, r.expected) << r.text;
        EXPECT_NE(res.m_p, r.text);
    }
    EXPECT_EQ(STR_RemplaceW(L"", L"X", L"-"), nullptr);
    EXPECT_EQ(STR_RemplaceW(L"abc", L"", L"-"), nullptr);
}

TEST(STRTrim, TrimsCompleteAndEllipsisStayInTheirBuffers)
{
    std::vector<wchar_t> w = WText(L"  \tab c \n");
    STR_SuppressSideSpaces(w.data());
    EXPECT_STREQ(w.data(), L"ab c");
    std::vector<char> a = AText(" \xa0x y\t");
    STR_SuppressSideSpaces(a.data());  // a byte above 127 is not white space here
    EXPECT_STREQ(a.data(), "\xa0x y");
    STR_SuppressLeftSpaces(static_cast<char*>(nullptr));
    w = WText(L"xxaxbxx");
    STR_SuppressSideCar(w.data(), L'x');
    EXPECT_STREQ(w.data(), L"axb");
    std::vector<wchar_t> w5 = WBuf(5);
    STR_nCopyW(w5.data(), 5, L"ab", -1);
    STR_Complete(w5.data(), 5, L'.');
    EXPECT_STREQ(w5.data(), L"ab..");
    // Size 0 writes nothing, even on a buffer with no terminator.
    std::vector<char> none = ABuf(1);
    STR_Complete(none.data(), 0, '.');
    EXPECT_EQ(none[0], '#');
    // An unterminated 8-bit buffer is padded and terminated within size.
    std::vector<char> a4 = ABuf(4);
    STR_Complete(a4.data(), 4, '-');
    EXPECT_STREQ(a4.data(), "###");
    const wchar_t* ten = L"abcdefghij";
    const struct {
        const wchar_t* src;
        unsigned max;
        eELLIPSISPOSITION pos;
        const wchar_t* expected;
    } rows[] = {{ten, 7, ELLIPSIS_END, L"abcd..."}, {ten, 8, ELLIPSIS_MIDDLE, L"ab...hij"},
                {ten, 3, ELLIPSIS_START, L"..."}, {L"abcdefg", 7, ELLIPSIS_START, L"abcdefg"}};
    for (const auto& r : rows) {
        std::vector<wchar_t> d = WBuf(r.max + 1);  // max plus the terminator
        STR_Ellipsis(d.data(), r.src, r.max, r.pos);
        EXPECT_STREQ(d.data(), r.expected) << r.max << " " << r.pos;
    }
    std::vector<wchar_t> untouched = WBuf(3);
    STR_Ellipsis(untouched.data(), ten, 2, ELLIPSIS_END);
    STR_Ellipsis(untouched.data(), ten, 7, static_cast<eELLIPSISPOSITION>(3));
    EXPECT_EQ(untouched[0], L'#');
}

TEST(STRSearch, BoundedCaseBlindAndBackward)
{
    const wchar_t* hay = L"abcdef";
    EXPECT_EQ(STR_pszStrnstr(hay, L"cd", 4), hay + 2);
    EXPECT_EQ(STR_pszStrnstr(hay, L"cd", 3), nullptr);  // would end past n
    // n beyond the text: the search stops at the terminator.
    std::vector<wchar_t> shortHay = WText(L"abc");
    EXPECT_EQ(STR_pszStrnstr(shortHay.data(), L"cx", 1000), nullptr);
    std::vector<char> a = AText("HeLLo world");
    EXPECT_EQ(STR_strnistrA(a.data(), "WORLD", 11), a.data() + 6);
    EXPECT_EQ(STR_strnistrA(a.data(), "WORLD", 10), nullptr);
    const wchar_t* accented = L"caf\x00e9 cr\x00e8me";
    EXPECT_EQ(STR_pszUpStrstr(accented, L"CR\x00c8ME"), accented + 5);
    EXPECT_EQ(STR_pszUpStrstr(accented, L"creme"), nullptr);  // accents count
    const wchar_t* abc2 = L"abcabc";
    EXPECT_EQ(STRRSTRW(abc2, 2, L"abc"), abc2);
    EXPECT_EQ(STRRSTRW(abc2, 100, L"bc"), abc2 + 4);
    EXPECT_FALSE(bEstDuTexteRTF("{\\rtf2"));
}

// Format length through a variadic list, as the callers use it.
template <class T>
int Len(const T* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = STRG_nCalculeLongueurPrintf<T>(format, args);
    va_end(args);
    return n;
}

// The length, then the first argument read from the same list afterwards.
int LenThenFirst(int* first, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = STRG_nCalculeLongueurPrintf<char>(format, args);
    *first = va_arg(args, int);
    va_end(args);
    return n;
}

// What the C library's formatter really writes.
int Real(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    return n;
}

// The 8-bit walk of format against what the C library writes for its
// C-library spelling cfmt, with the same arguments.
::testing::AssertionResult CoversReal(const char* format, const char* cfmt, ...)
{
    va_list a;
    va_list b;
    va_start(a, cfmt);
    va_copy(b, a);
    const int n = STRG_nCalculeLongueurPrintf<char>(format, a);
    const int r = vsnprintf(nullptr, 0, cfmt, b);
    va_end(b);
    va_end(a);
    if (r < 0)
        return ::testing::AssertionFailure() << cfmt << " fails";
    if (n < r)
        return ::testing::AssertionFailure() << format << ": " << n << " for " << r;
    return ::testing::AssertionSuccess();
}

TEST(STRFormatLength, MendedDirectivesInTheEightBitWalk)
{
    // "F" is a conversion: the double is consumed, the string read after it.
    EXPECT_TRUE(CoversReal("%F %s", "%F %s", 0.1, "abc"));
    EXPECT_GE(Len("%F", 1e300), 308);
    // Signs, blanks and prefixes beside precisions of 32 digits and more.
    EXPECT_TRUE(CoversReal("%.40d", "%.40d", -1));
    EXPECT_TRUE(CoversReal("%+.40d", "%+.40d", 1));
    EXPECT_TRUE(CoversReal("% .40d", "% .40d", 1));
    EXPECT_TRUE(CoversReal("%.40lld", "%.40lld", -1LL));
    EXPECT_TRUE(CoversReal("%#.40x", "%#.40x", 255u));
    EXPECT_TRUE(CoversReal("%+- .171lld", "%+- .171lld", 5LL));
    EXPECT_TRUE(CoversReal("%'.40d", "%'.40d", -1234567));
    // Positions, with a star width named by position.
    EXPECT_TRUE(CoversReal("%2$s=%1$d", "%2$s=%1$d", 1234567890, "key"));
    EXPECT_TRUE(CoversReal("%1$*2$d|%3$s", "%1$*2$d|%3$s", 1, -40, "abcdef"));
    // The Windows integer lengths, against the C library's spelling.
    EXPECT_TRUE(CoversReal("%I64d|%s", "%lld|%s", -(1LL << 62), "abcdefghij"));
    EXPECT_TRUE(CoversReal("%I32d|%s", "%d|%s", -5, "abcdefghij"));
    EXPECT_TRUE(CoversReal("%5Iu|%s", "%5zu|%s", static_cast<size_t>(7), "abcdefghij"));
    // Unknown conversions are written as they stand; "N" is one of them.
    EXPECT_TRUE(CoversReal("%Nd|%5-d|%s", "%Nd|%5-d|%s", "abcdefghij"));
    // Refused formats read no argument (5 is no string) and count
    // their own length.
    EXPECT_EQ(Len("%1$d|%1$s", 5), 9);
}

TEST(STRFormatLength, NeverLessThanTheFormatterWrites)
{
    EXPECT_EQ(Len("%5.2f", 1.0), 512);
    EXPECT_EQ(Len("%40.5d", 1), 45);
    EXPECT_EQ(Len("ab%%c%"), 4);
    EXPECT_EQ(Len<char>(nullptr), 0);
    // Wide function: "s" wide, "S" and "hs" 8-bit, "ls" wide.
    EXPECT_EQ(Len(L"%s|%S|%hs|%ls", L"wide", "narrow", "ab", L"xyz"), 4 + 1 + 6 + 1 + 2 + 1 + 3);
    EXPECT_EQ(Len(L"%s", static_cast<const wchar_t*>(nullptr)), 6);
    // A precision shorter than the width: the width still pads.
    EXPECT_EQ(Len("%10.2s", "abcde"), 10);
    // Fixed-point images of huge values.
    EXPECT_GE(Len("%f", DBL_MAX), Real("%f", DBL_MAX));
    EXPECT_GE(Len("%Lf%s", LDBL_MAX, "ab"), Real("%Lf%s", LDBL_MAX, "ab"));
    // A null string prints "(null)" under either spelling.
    EXPECT_GE(Len("%S", static_cast<const wchar_t*>(nullptr)), 6);
    // A wide argument in the 8-bit function may take 4 bytes a character.
    EXPECT_EQ(Len("%S", L"h\x00e9\x4e00\x1f600"), 16);
    // The 8-bit precision counts bytes.
    EXPECT_EQ(Len("%ls|%.2ls", L"ab", L"abcdef"), 8 + 1 + 2);
}

TEST(STRFormatLength, WalkConsumesTheRightArguments)
{
    // A star width, 64-bit integers of both spellings, then a string that
    // must still be the one read.
    EXPECT_EQ(Len("%*d|%lld|%I64x|%s", 40, 7, 1LL << 40, -1LL, "abcdefghij"), 40 + 1 + 32 + 1 + 32 + 1 + 10);
    EXPECT_EQ(Len("%.*s|%s", 3, "abcdef", "xy"), 3 + 1 + 2);
    EXPECT_EQ(Len("%-*s", -12, "ab"), 12);  // negative star width: its magnitude
    EXPECT_EQ(Len("%.*s", -1, "abcd"), 4);  // negative star precision: none
    int written = 0;
    EXPECT_EQ(Len("%n%e%g%s", &written, 1.0, 2.0, "abcdefg"), 1024 + 7);
    // The caller's list is left where it was.
    int first = 0;
    EXPECT_EQ(LenThenFirst(&first, "%d%s", 1234, "ab"), 34);
    EXPECT_EQ(first, 1234);
}

}  // namespace
