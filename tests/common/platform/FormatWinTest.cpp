#include "common/platform/FormatWin.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Windows-1252 0x80-0x9F from the published table; the five undefined bytes
// stand for the control characters of the same value. 0xA0-0xFF are Latin-1.
const wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::wstring Rewrite(const wchar_t* fmt)
{
    const int n = _nCalculeTailleChaineFormattageUnix(fmt);
    std::vector<wchar_t> out(static_cast<size_t>(n) + 4, L'#');
    _ConvertFormatWindowsToUnix(fmt, out.data(), n);
    return std::wstring(out.data());
}

std::wstring Sw(const wchar_t* fmt, ...)
{
    wchar_t buf[512];
    va_list a;
    va_start(a, fmt);
    const int r = vsnwprintfWin(buf, 512, fmt, a);
    va_end(a);
    return r < 0 ? L"<fail>" : std::wstring(buf, static_cast<size_t>(r));
}

int VasInto(wchar_t** pp, const wchar_t* fmt, ...)
{
    va_list a;
    va_start(a, fmt);
    const int r = vaswprintf(pp, fmt, a);
    va_end(a);
    return r;
}

std::wstring Vas(int* pn, const wchar_t* fmt, ...)
{
    wchar_t* p = nullptr;
    va_list a;
    va_start(a, fmt);
    *pn = vaswprintf(&p, fmt, a);
    va_end(a);
    std::wstring s = p != nullptr ? std::wstring(p) : L"<null>";
    std::free(p);
    return s;
}

unsigned MsgW(unsigned flags, const wchar_t* fmt, wchar_t* buffer, unsigned size, ...)
{
    va_list a;
    va_start(a, size);
    const unsigned r = FormatMessageW(flags, fmt, 0, 0, buffer, size, reinterpret_cast<char**>(&a));
    va_end(a);
    return r;
}

unsigned MsgWin(unsigned flags, const wchar_t* fmt, wchar_t* buffer, unsigned size, ...)
{
    va_list a;
    va_start(a, size);
    const unsigned r = FormatMessageWin(flags, fmt, 0, 0, buffer, size, reinterpret_cast<char**>(&a));
    va_end(a);
    return r;
}

// Allocating numbered-insert form; "<0:errno>" on failure.
std::wstring Ins(unsigned flags, const wchar_t* fmt, ...)
{
    wchar_t* p = nullptr;
    va_list a;
    va_start(a, fmt);
    errno = 0;
    const unsigned r =
        FormatMessageWin(flags | 0x500, fmt, 0, 0, reinterpret_cast<wchar_t*>(&p), 0, reinterpret_cast<char**>(&a));
    const int e = errno;
    va_end(a);
    std::wstring s;
    if (r == 0 && (p == nullptr || p[0] != 0))
        s = L"<0:" + std::to_wstring(e) + L">";
    else
        s.assign(p, r);
    if (p != nullptr) {
        EXPECT_EQ(wcslen(p), r);
    }
    std::free(p);
    return s;
}

std::wstring InsArray(unsigned flags, const wchar_t* fmt, const uint32_t* args)
{
    wchar_t* p = nullptr;
    errno = 0;
    const unsigned r = FormatMessageWin(flags | 0x2500, fmt, 0, 0, reinterpret_cast<wchar_t*>(&p), 0,
                                        reinterpret_cast<char**>(const_cast<uint32_t*>(args)));
    std::wstring s = r == 0 ? L"<0:" + std::to_wstring(errno) + L">" : std::wstring(p, r);
    std::free(p);
    return s;
}

uint32_t W(const wchar_t* p)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

TEST(FormatWin, RewritesWindowsDirectivesAndSizesExactly)
{
    struct {
        const wchar_t* win;
        const wchar_t* unix;
    } const cases[] = {
        {L"", L""},
        {L"plain", L"plain"},
        {L"%s", L"%ls"},
        {L"%S", L"%s"},
        {L"%hs", L"%s"},
        {L"%hS", L"%s"},
        {L"%ls", L"%ls"},
        {L"%lS", L"%ls"},
        {L"%ws", L"%ls"},
        {L"%c", L"%lc"},
        {L"%C", L"%c"},
        {L"%hc", L"%c"},
        {L"%lc", L"%lc"},
        {L"%5s", L"%5ls"},
        {L"%2$s", L"%2$ls"},
        {L"%-5s|%.3S|%*s|%-*.*hs", L"%-5ls|%.3s|%*ls|%-*.*s"},
        {L"%2$*1$s", L"%2$*1$ls"},
        {L"%hd %d %lld %02X %.6f %p", L"%hd %d %lld %02X %.6f %p"},
        {L"%%s", L"%%s"},
        {L"100%%", L"100%%"},
        {L"LIKE '%%'", L"LIKE '%%'"},
        {L"%s and %S and %hs", L"%ls and %s and %s"},
        {L"end %", L"end %"},
        {L"end %h", L"end %h"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rewrite(c.win), c.unix) << c.win;
        EXPECT_EQ(_nCalculeTailleChaineFormattageUnix(c.win), static_cast<int>(wcslen(c.unix)) + 1) << c.win;
    }
    // One character more per wide string directive.
    EXPECT_EQ(_nCalculeTailleChaineFormattageUnix(L"%s%s%s"), 10);
    EXPECT_EQ(_nCalculeTailleChaineFormattageUnix(nullptr), 0);

    // A short output is cut and terminated, never overrun.
    wchar_t small[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
    _ConvertFormatWindowsToUnix(L"%s%s", small, 4);
    EXPECT_EQ(std::wstring(small), L"%ls");
    EXPECT_EQ(small[4], L'#');
    _ConvertFormatWindowsToUnix(nullptr, small, 4);
    EXPECT_EQ(std::wstring(small), L"%ls");

    // A long format goes through the heap and still formats.
    std::wstring longFmt(300, L'x');
    longFmt += L"%s|%S";
    const std::wstring got = Sw(longFmt.c_str(), L"wide", "narrow");
    EXPECT_EQ(got, std::wstring(300, L'x') + L"wide|narrow");
}

TEST(FormatWin, WideAndNarrowArgumentsFollowWindowsRules)
{
    EXPECT_EQ(Sw(L"%s and %S and %hs", L"wide", "narrow", "short"), L"wide and narrow and short");
    EXPECT_EQ(Sw(L"%ls|%lS", L"a", L"b"), L"a|b");
    EXPECT_EQ(Sw(L"%%s"), L"%s");
    EXPECT_EQ(Sw(L"LIKE '%%'"), L"LIKE '%'");
    EXPECT_EQ(Sw(L"%5s|%-5s|%.2s|%*s", L"ab", L"cd", L"efgh", 4, L"i"), L"   ab|cd   |ef|   i");
    EXPECT_EQ(Sw(L"%5S|%-5S|%.2S|%*S|%-*.*hs|", "ab", "cd", "efgh", 4, "i", 6, 2, "jklm"),
              L"   ab|cd   |ef|   i|jk    |");
    EXPECT_EQ(Sw(L"%2$s-%1$S", "one", L"two"), L"two-one");
    EXPECT_EQ(Sw(L"%c%C%hc%lc", L'\x20AC', 'x', 'y', L'\x263A'), L"\x20AC" L"xy\x263A");
    EXPECT_EQ(Sw(L"[%3c][%-3C]", L'a', 'b'), L"[  a][b  ]");
    EXPECT_EQ(Sw(L"%hd %d %u %lld %llu %llX %02X %03d %.6f %x", 70000, -5, 4000000000u, -1234567890123LL,
                 18446744073709551615ULL, 0xABCDEF0123ULL, 10, 7, 2.5, 255u),
              L"4464 -5 4000000000 -1234567890123 18446744073709551615 ABCDEF0123 0A 007 2.500000 ff");
    // The same numbers beside an 8-bit argument (formatted directive by directive).
    EXPECT_EQ(Sw(L"%S %hd %lld %.3f %*d %-*d| %Lg %zu %c", "n", 70000, -1234567890123LL, 0.1 + 0.2, 5, 42, -4,
                 7, 1.5L, static_cast<size_t>(9), L'z'),
              L"n 4464 -1234567890123 0.300    42 7   | 1.5 9 z");
    EXPECT_EQ(Sw(L"%.17g|%S", 0.1, "x"), L"0.10000000000000001|x");
    // Null strings print as the C library does.
    EXPECT_EQ(Sw(L"%s|%S", static_cast<const wchar_t*>(nullptr), static_cast<const char*>(nullptr)),
              L"(null)|(null)");
    // A precision limits what is read of an 8-bit buffer without terminator.
    const char noNul[3] = {'a', 'b', 'c'};
    EXPECT_EQ(Sw(L"%.3S|%.2hs", noNul, noNul), L"abc|ab");
    // Unknown conversions are copied as written.
    EXPECT_EQ(Sw(L"a%yb%S", "c"), L"a%ybc");
}

TEST(FormatWin, EightBitTextIsWindows1252WhateverTheLocale)
{
    std::string all;
    std::wstring expected;
    for (int b = 0x80; b <= 0xFF; ++b) {
        all += static_cast<char>(b);
        expected += b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<wchar_t>(b);
    }
    EXPECT_EQ(Sw(L"%S", all.c_str()), expected);
    EXPECT_EQ(Sw(L"<%hs>", all.c_str()), L"<" + expected + L">");
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::wstring one(1, b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<wchar_t>(b));
        EXPECT_EQ(Sw(L"%C", b), one) << b;
        EXPECT_EQ(Sw(L"%hc", static_cast<char>(b)), one) << b;
    }
    // Padding counts characters, one per byte.
    EXPECT_EQ(Sw(L"[%4S]", "\xE9t\xE9"), L"[ \x00E9t\x00E9]");
}

TEST(FormatWin, InvalidDirectivesFail)
{
    wchar_t buf[32];
    int n = 0;
    errno = 0;
    EXPECT_EQ(swprintfWin(buf, L"count%n", &n), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(swprintfWin(buf, L"%S%", "a"), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(swprintfWin(buf, L"%1$S %s", "a", L"b"), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(swprintfWin(buf, L"%c", static_cast<wint_t>(WEOF)), -1);
    EXPECT_EQ(errno, EILSEQ);
    EXPECT_EQ(snwprintfWin(buf, 32, nullptr), -1);
}

TEST(FormatWin, BoundedFormsAtTheirLimits)
{
    // Both the C library's road and the one for 8-bit arguments.
    for (int narrow = 0; narrow < 2; ++narrow) {
        SCOPED_TRACE(narrow);
        const wchar_t* fmt = narrow ? L"%S-%d" : L"%s-%d";
        const void* arg = narrow ? static_cast<const void*>("abcd") : static_cast<const void*>(L"abcd");
        const int len = 7;  // abcd-42
        wchar_t buf[16];

        // snwprintfWin: n counts the terminator.
        for (int n = len - 1; n <= len + 1; ++n) {
            std::wmemset(buf, L'#', 16);
            errno = 5;
            const int r = snwprintfWin(buf, static_cast<size_t>(n), fmt, arg, 42);
            if (n > len) {
                EXPECT_EQ(r, len);
                EXPECT_EQ(std::wstring(buf), L"abcd-42");
            } else {
                EXPECT_EQ(r, -1) << n;
                EXPECT_EQ(errno, 0);
            }
            for (int i = n; i < 16; ++i)
                EXPECT_EQ(buf[i], L'#') << "written past the limit at " << i;
        }
        // n = 0 writes nothing.
        std::wmemset(buf, L'#', 16);
        EXPECT_EQ(snwprintfWin(buf, 0, fmt, arg, 42), -1);
        EXPECT_EQ(buf[0], L'#');

        // sznwprintf: n + 1 characters, buf[n] always 0.
        for (unsigned n = len - 1; n <= len + 1; ++n) {
            std::wmemset(buf, L'#', 16);
            const int r = sznwprintf(buf, n, fmt, arg, 42);
            EXPECT_EQ(r, n >= static_cast<unsigned>(len) ? len : -1) << n;
            EXPECT_EQ(buf[n], 0);
            EXPECT_LE(wcslen(buf), n);
            for (unsigned i = n + 1; i < 16; ++i)
                EXPECT_EQ(buf[i], L'#') << "written past the limit at " << i;
            std::wmemset(buf, L'#', 16);
            EXPECT_EQ(sznwprintfWin(buf, n, fmt, arg, 42), r);
            EXPECT_EQ(buf[n], 0);
        }
    }
}

TEST(FormatWin, AllocatingFormatGrowsAndFallsBack)
{
    int n = -2;
    EXPECT_EQ(Vas(&n, L""), L"");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Vas(&n, L"12345678"), L"12345678");
    EXPECT_EQ(n, 8);
    EXPECT_EQ(Vas(&n, L"%d|%s|%S", 12, L"w", "n"), L"12|w|n");
    EXPECT_EQ(n, 6);

    // Long results from a short format.
    const std::wstring longW(250000, L'w');
    const std::string longA(150000, '\xE9');
    EXPECT_EQ(Vas(&n, L"%s", longW.c_str()), longW);
    EXPECT_EQ(n, 250000);
    EXPECT_EQ(Vas(&n, L"<%S>", longA.c_str()), L"<" + std::wstring(150000, L'\x00E9') + L">");
    EXPECT_EQ(n, 150002);

    // A character that cannot be written: the format text itself.
    EXPECT_EQ(Vas(&n, L"x%cy", static_cast<wint_t>(WEOF)), L"x%cy");
    EXPECT_EQ(n, 4);
    // So does an incomplete directive, instead of growing for ever.
    EXPECT_EQ(Vas(&n, L"100%"), L"100%");
    EXPECT_EQ(n, 4);

    // A block already there is reused.
    wchar_t* p = static_cast<wchar_t*>(std::malloc(3 * sizeof(wchar_t)));
    EXPECT_EQ(VasInto(&p, L"%s at all", L"no directive"), 19);
    EXPECT_EQ(std::wstring(p), L"no directive at all");
    std::free(p);
}

TEST(FormatWin, FormatMessageWIsPrintfStyle)
{
    // Allocating, from a text.
    wchar_t* p = nullptr;
    EXPECT_EQ(MsgW(0x500, L"Table <%s>, %d rows, %S", reinterpret_cast<wchar_t*>(&p), 0, L"T1", 3, "ok"), 22u);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::wstring(p), L"Table <T1>, 3 rows, ok");
    std::free(p);

    // The line width and the array flag are not read.
    const std::wstring words = L"one two three four five six seven eight nine ten eleven";
    p = nullptr;
    EXPECT_EQ(MsgW(0x500 | 0x2000 | 0x0A, L"%s", reinterpret_cast<wchar_t*>(&p), 0, words.c_str()),
              words.size());
    EXPECT_EQ(std::wstring(p), words);
    std::free(p);

    // A requested size above the length enlarges the block.
    p = nullptr;
    EXPECT_EQ(MsgW(0x500, L"ab", reinterpret_cast<wchar_t*>(&p), 1000), 2u);
    ASSERT_NE(p, nullptr);
    EXPECT_GE(malloc_usable_size(p), 1000 * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(p), L"ab");
    std::free(p);

    // Into the caller's buffer, the size as limit.
    wchar_t buf[8];
    EXPECT_EQ(MsgW(0x400, L"%d-%d", buf, 8, 123, 456), 7u);
    EXPECT_EQ(std::wstring(buf), L"123-456");
    EXPECT_EQ(MsgW(0x400, L"%d-%d", buf, 7, 123, 456), 0u);

    // The system's error text.
    p = nullptr;
    errno = ENOENT;
    const unsigned r = MsgW(0x1100, nullptr, reinterpret_cast<wchar_t*>(&p), 0);
    const std::string sys = std::strerror(ENOENT);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(r, sys.size());
    EXPECT_EQ(std::wstring(p), std::wstring(sys.begin(), sys.end()));
    std::free(p);

    // Without arguments: only a text that needs none.
    p = nullptr;
    EXPECT_EQ(FormatMessageW(0x500, L"100%%", 0, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr), 4u);
    EXPECT_EQ(std::wstring(p), L"100%");
    std::free(p);
    p = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(FormatMessageW(0x500, L"%d", 0, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr), 0u);
    EXPECT_EQ(p, nullptr);

    // No text: failure and a null block.
    p = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(MsgW(0x500, nullptr, reinterpret_cast<wchar_t*>(&p), 0), 0u);
    EXPECT_EQ(p, nullptr);
    // A directive that cannot be honoured leaves the text unformatted.
    p = nullptr;
    EXPECT_EQ(MsgW(0x500, L"at %n", reinterpret_cast<wchar_t*>(&p), 0, &errno), 5u);
    EXPECT_EQ(std::wstring(p), L"at %n");
    std::free(p);
}

namespace {

unsigned MsgA(unsigned flags, const char* fmt, char* buffer, unsigned size, ...)
{
    va_list a;
    va_start(a, size);
    const unsigned r = FormatMessageA(flags, fmt, 0, 0, buffer, size, reinterpret_cast<char**>(&a));
    va_end(a);
    return r;
}

}  // namespace

TEST(FormatWin, FormatMessageAUsesTheCLibraryRules)
{
    char* p = nullptr;
    EXPECT_EQ(MsgA(0x500, "%s=%d", reinterpret_cast<char*>(&p), 0, "n", 5), 3u);
    EXPECT_STREQ(p, "n=5");
    std::free(p);
    char buf[4];
    EXPECT_EQ(MsgA(0x400, "%d", buf, 4, 123), 3u);
    EXPECT_STREQ(buf, "123");
    EXPECT_EQ(MsgA(0x400, "%d", buf, 4, 1234), 0u);
}

TEST(FormatWin, NumberedInsertsOfThePart)
{
    EXPECT_EQ(Ins(0, L"%1!d! of %2", 3, L"ten"), L"3 of ten");
    EXPECT_EQ(Ins(0, L"%1!*d!", 5, 42), L"   42");
    EXPECT_EQ(Ins(0, L"[%1!-*.*s!]", 6, 2, L"abcdef"), L"[ab    ]");
    EXPECT_EQ(Ins(0, L"%2!S! %1 %2!S! %1", L"a", "b"), L"b a b a");
    EXPECT_EQ(Ins(0, L"%1!04X!-%2!u!-%3!c!", 0xBEEF, 7u, L'\x20AC'), L"BEEF-7-\x20AC");
    EXPECT_EQ(Ins(0, L"%1!S!", "\x80\xE9"), L"\x20AC\x00E9");
    EXPECT_EQ(Ins(0x200, L"%1 and %2!d! and %12!*s!"), L"%1!s! and %2!d! and %12!*s!");
    EXPECT_EQ(Ins(0x200, L"100%% %. %n"), L"100%% %. \r\n");
    EXPECT_EQ(Ins(0, L"kept%0 dropped %1", L"x"), L"kept");
    EXPECT_EQ(Ins(0, L"a%nb%rc"), L"a\r\nb\rc");
    EXPECT_EQ(Ins(0, L"a\nb\r\nc\n\rd\re"), L"a\r\nb\r\nc\r\nd\r\ne");
    EXPECT_EQ(Ins(0, L"100%% %. %!"), L"100% . !");
    EXPECT_EQ(Ins(0xFF, L"one\r\ntwo\nthree %n four"), L"one two three \r\n four");
    EXPECT_EQ(Ins(0, L"a%tb%bc"), L"a\tb c");

    // Array arguments.
    const uint32_t arr[] = {W(L"x"), 7};
    EXPECT_EQ(InsArray(0, L"%2!d!-%1-%2!x!", arr), L"7-x-7");
}

TEST(FormatWin, NumberedInsertLimitsFailCleanly)
{
    std::vector<uint32_t> args(200);
    for (uint32_t i = 0; i < 200; ++i)
        args[i] = i + 1;
    args[197] = 5;
    EXPECT_EQ(InsArray(0, L"%200!u!", args.data()), L"200");
    EXPECT_EQ(InsArray(0, L"%198!*u!", args.data()), L"  199");
    EXPECT_EQ(InsArray(0, L"%201!u!", args.data()), L"<0:22>");
    EXPECT_EQ(InsArray(0, L"%199!*.*u!", args.data()), L"<0:22>");
    EXPECT_EQ(InsArray(0, L"%999!u!", args.data()), L"<0:22>");
    EXPECT_EQ(InsArray(0, L"%1000", args.data()), L"<0:22>");

    EXPECT_EQ(Ins(0, L"%1!d", 1), L"<0:22>");
    EXPECT_EQ(Ins(0, L"%1!***d!", 1, 2, 3, 4), L"<0:22>");
    EXPECT_EQ(Ins(0, L"%1!!", 1), L"<0:22>");
    EXPECT_EQ(Ins(0, L"%1!d%d!", 1, 2), L"<0:22>");
    EXPECT_EQ(Ins(0, L"%1!n!", &errno), L"<0:22>");
    EXPECT_EQ(Ins(0, L"trailing %"), L"<0:22>");
    // 30 characters of conversion are allowed, 31 are not.
    const std::wstring conv30 = L"%1!" + std::wstring(28, L'0') + L"1d!";
    const std::wstring conv31 = L"%1!" + std::wstring(29, L'0') + L"1d!";
    EXPECT_EQ(Ins(0, conv30.c_str(), 5), L"5");
    EXPECT_EQ(Ins(0, conv31.c_str(), 5), L"<0:22>");

    // No arguments at all.
    wchar_t* p = nullptr;
    errno = 0;
    EXPECT_EQ(FormatMessageWin(0x500, L"%1", 0, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr), 0u);
    EXPECT_EQ(errno, 22);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(FormatMessageWin(0x500, L"no insert", 0, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr), 9u);
    EXPECT_EQ(std::wstring(p), L"no insert");
    std::free(p);

    // Module sources, or neither a text nor the system.
    wchar_t buf[64];
    errno = 0;
    EXPECT_EQ(MsgWin(0xC00, L"x", buf, 64), 0u);
    EXPECT_EQ(errno, 22);
    errno = 0;
    EXPECT_EQ(MsgWin(0x100, L"x", buf, 64), 0u);
    EXPECT_EQ(errno, 22);
}

TEST(FormatWin, NumberedInsertsWrapLines)
{
    EXPECT_EQ(Ins(10, L"aaaa bbbb cccc dddd"), L"aaaa bbbb\r\ncccc dddd");
    EXPECT_EQ(Ins(7, L"aaaa bbbb cccc"), L"aaaa\r\nbbbb\r\ncccc");
    EXPECT_EQ(Ins(3, L"abcdefg"), L"abc\r\ndef\r\ng");
    // The blanks around the break go; line breaks of the text are blanks.
    EXPECT_EQ(Ins(6, L"abc   de\nfgh"), L"abc\r\nde\r\nfgh");
    // An insert's own blanks are no break positions.
    EXPECT_EQ(Ins(8, L"%1 xy", L"a b c d e"), L"a b c d e\r\n xy");
    // %n starts a new line count.
    EXPECT_EQ(Ins(5, L"ab%ncd ef gh"), L"ab\r\ncd\r\nef\r\ngh");
}

TEST(FormatWin, NumberedInsertsCapacity)
{
    // The caller's buffer is worked with a quarter of its size.
    wchar_t buf[40];
    EXPECT_EQ(MsgWin(0x400, L"12345678", buf, 40), 8u);
    EXPECT_EQ(std::wstring(buf), L"12345678");
    errno = 0;
    EXPECT_EQ(MsgWin(0x400, L"123456789", buf, 40), 0u);
    EXPECT_EQ(errno, 75);
    errno = 0;
    EXPECT_EQ(MsgWin(0x400, L"%1", buf, 40, L"123456789"), 0u);
    EXPECT_EQ(errno, 75);

    // The allocating form takes texts beyond its first block.
    const std::wstring longW(120000, L'q');
    EXPECT_EQ(Ins(0, L"<%1>", longW.c_str()), L"<" + longW + L">");

    // The engine itself never writes past its size.
    wchar_t out[6];
    std::wmemset(out, L'#', 6);
    unsigned len = 0;
    EXPECT_EQ(__FormatMessageWin(L"abc", 0, false, false, nullptr, out, 5 * sizeof(wchar_t), &len), 0);
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(std::wstring(out), L"abc");
    EXPECT_EQ(__FormatMessageWin(L"abcd", 0, false, false, nullptr, out, 5 * sizeof(wchar_t), &len), 75);
    EXPECT_EQ(out[5], L'#');

    // System texts.
    wchar_t* p = nullptr;
    const std::string sys = std::strerror(EACCES);
    EXPECT_EQ(FormatMessageWin(0x1100, nullptr, EACCES, 0, reinterpret_cast<wchar_t*>(&p), 0, nullptr), sys.size());
    EXPECT_EQ(std::wstring(p), std::wstring(sys.begin(), sys.end()));
    std::free(p);
    EXPECT_EQ(FormatMessageWin(0x1000, nullptr, EACCES, 0, buf, 4, nullptr), 3u);
    EXPECT_EQ(std::wstring(buf), std::wstring(sys.begin(), sys.begin() + 3));
}
