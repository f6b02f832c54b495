#include "common/platform/FormatWin.h"

#include "common/text/STR.h"
#include "tests/support/FailingHeap.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

// Windows-1252 0x80-0x9F from the published table; the five undefined bytes
// stand for the control characters of the same value. 0xA0-0xFF are Latin-1.
const wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::wstring Sw(const wchar_t* fmt, ...)
{
    wchar_t buf[512];
    va_list a;
    va_start(a, fmt);
    const int r = vsnwprintfWin(buf, 512, fmt, a);
    va_end(a);
    return r < 0 ? L"<fail>" : std::wstring(buf, static_cast<size_t>(r));
}

// Through vswprintfWin (its 10,000,000-character bound needs a buffer that
// large); the length walk must never answer less than what was written.
std::wstring SwCompte(const wchar_t* fmt, ...)
{
    static const std::unique_ptr<wchar_t[]> big(new wchar_t[10000000]);
    va_list a;
    va_list b;
    va_start(a, fmt);
    va_copy(b, a);
    const int r = vswprintfWin(big.get(), fmt, a);
    const int n = STRG_nCalculeLongueurPrintf<wchar_t>(fmt, b);
    va_end(b);
    va_end(a);
    if (r < 0)
        return L"<fail>";
    EXPECT_GE(n, r) << "walk of " << std::string(fmt, fmt + wcslen(fmt));
    return std::wstring(big.get(), static_cast<size_t>(r));
}

int LenW(const wchar_t* fmt, ...)
{
    va_list a;
    va_start(a, fmt);
    const int n = STRG_nCalculeLongueurPrintf<wchar_t>(fmt, a);
    va_end(a);
    return n;
}

// vaswprintf into p (null or a heap block): "count:text", "<null>" for no block.
std::wstring Vas(wchar_t* p, const wchar_t* fmt, ...)
{
    va_list a;
    va_start(a, fmt);
    const int n = vaswprintf(&p, fmt, a);
    va_end(a);
    std::wstring s = std::to_wstring(n) + L":" + (p != nullptr ? p : L"<null>");
    std::free(p);
    return s;
}

// vaswprintf into *pp (null or a heap block).
int VasInto(wchar_t** pp, const wchar_t* fmt, ...)
{
    va_list a;
    va_start(a, fmt);
    const int n = vaswprintf(pp, fmt, a);
    va_end(a);
    return n;
}

// One of the FormatMessage emulations with the caller's arguments.
template <typename Fn, typename C>
unsigned Msg(Fn fn, unsigned flags, const void* fmt, C* buffer, unsigned size, ...)
{
    va_list a;
    va_start(a, size);
    const unsigned r = fn(flags, fmt, 0, 0, buffer, size, reinterpret_cast<char**>(&a));
    va_end(a);
    return r;
}

// Numbered inserts, allocating; "<0:errno>" on failure. With 0x2000 the
// one argument is the array of 32-bit values.
std::wstring Ins(unsigned flags, const wchar_t* fmt, ...)
{
    wchar_t* p = nullptr;
    va_list a;
    va_start(a, fmt);
    char** args = flags & 0x2000 ? va_arg(a, char**) : reinterpret_cast<char**>(&a);
    errno = 0;
    const unsigned r = FormatMessageWin(flags | 0x500, fmt, 0, 0, reinterpret_cast<wchar_t*>(&p), 0, args);
    const int e = errno;
    va_end(a);
    std::wstring s = r == 0 && (p == nullptr || p[0] != 0) ? L"<0:" + std::to_wstring(e) + L">" : std::wstring(p, r);
    if (p != nullptr) {
        EXPECT_EQ(wcslen(p), r);
    }
    std::free(p);
    return s;
}

}  // namespace

TEST(FormatWin, RewritesWindowsDirectivesAndSizesExactly)
{
    const struct { const wchar_t* win; const wchar_t* unix; } cases[] = {
        {L"", L""},                         {L"%s and %S and %hs and %hS", L"%ls and %s and %s and %s"},
        {L"%ls|%lS|%ws", L"%ls|%ls|%ls"},   {L"%c|%C|%hc|%lc", L"%lc|%c|%c|%lc"},
        {L"%2$s|%2$*1$s", L"%2$ls|%2$*1$ls"}, {L"%-5s|%.3S|%*s|%-*.*hs", L"%-5ls|%.3s|%*ls|%-*.*s"},
        {L"%hd %d %lld %02X %.6f %p", L"%hd %d %lld %02X %.6f %p"},
        {L"%%s|100%%", L"%%s|100%%"},       {L"end %", L"end %"},   {L"end %h", L"end %h"},
        // Windows integer lengths; elsewhere "I" is left to the C library.
        {L"%I64d|%-5I32u|%Ix|%I6d|%5Is|%I64s", L"%lld|%-5u|%zx|%I6d|%5Is|%I64ls"},
        {L"%F|%Nd|%wd|%ws|%5-s|%lls", L"%F|%Nd|%wd|%ls|%5-s|%lls"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.win);
        const int n = _nCalculeTailleChaineFormattageUnix(c.win);
        EXPECT_EQ(n, static_cast<int>(wcslen(c.unix)) + 1);
        std::vector<wchar_t> out(static_cast<size_t>(n) + 4, L'#');
        _ConvertFormatWindowsToUnix(c.win, out.data(), n);
        EXPECT_EQ(std::wstring(out.data()), c.unix);
    }
    EXPECT_EQ(_nCalculeTailleChaineFormattageUnix(nullptr), 0);

    // A short output is cut and terminated, never overrun.
    wchar_t small[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
    _ConvertFormatWindowsToUnix(L"%s%s", small, 4);
    EXPECT_EQ(std::wstring(small), L"%ls");
    EXPECT_EQ(small[4], L'#');
    _ConvertFormatWindowsToUnix(nullptr, small, 4);
    EXPECT_EQ(std::wstring(small), L"%ls");

    // A long format goes through the heap and still formats.
    const std::wstring longFmt = std::wstring(300, L'x') + L"%s|%S";
    EXPECT_EQ(Sw(longFmt.c_str(), L"wide", "narrow"), std::wstring(300, L'x') + L"wide|narrow");
}

TEST(FormatWin, WideAndNarrowArgumentsFollowWindowsRules)
{
    EXPECT_EQ(Sw(L"%s and %S and %hs|%ls", L"wide", "narrow", "short", L"l"), L"wide and narrow and short|l");
    EXPECT_EQ(Sw(L"%5S|%-5S|%.2S|%*S|%-*.*hs|", "ab", "cd", "efgh", 4, "i", 6, 2, "jklm"),
              L"   ab|cd   |ef|   i|jk    |");
    EXPECT_EQ(Sw(L"%2$s-%1$S", "one", L"two"), L"two-one");
    EXPECT_EQ(Sw(L"%c%C%hc%lc[%3c][%-3C]", L'\x20AC', 'x', 'y', L'\x263A', L'a', 'b'), L"\x20AC" L"xy\x263A[  a][b  ]");
    // Numbers beside an 8-bit argument (formatted directive by directive).
    EXPECT_EQ(Sw(L"%S %hd %lld %.3f %*d %-*d| %Lg %zu %c", "n", 70000, -1234567890123LL, 0.1 + 0.2, 5, 42, -4,
                 7, 1.5L, static_cast<size_t>(9), L'z'),
              L"n 4464 -1234567890123 0.300    42 7   | 1.5 9 z");
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
        expected += b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<wchar_t>(b);
        all += static_cast<char>(b);
        EXPECT_EQ(Sw(L"%C|%hc", b, static_cast<char>(b)), (std::wstring{expected.back(), L'|', expected.back()}));
    }
    EXPECT_EQ(Sw(L"<%S|%hs>", all.c_str(), all.c_str()), L"<" + expected + L"|" + expected + L">");
    // Padding counts characters, one per byte.
    EXPECT_EQ(Sw(L"[%4S]", "\xE9t\xE9"), L"[ \x00E9t\x00E9]");
}

TEST(FormatWin, InvalidDirectivesFail)
{
    wchar_t buf[32];
    int n = 0;
    // Each failure sets its own errno (cleared again for the next).
    const auto fails = [](int r, int err) { EXPECT_EQ(r, -1); EXPECT_EQ(errno, err); errno = 0; };
    errno = 0;
    fails(swprintfWin(buf, L"count%n", &n), EINVAL);
    fails(swprintfWin(buf, L"%S%", "a"), EINVAL);
    fails(swprintfWin(buf, L"%1$S %s", "a", L"b"), EINVAL);
    fails(swprintfWin(buf, L"%c", static_cast<wint_t>(WEOF)), EILSEQ);
    EXPECT_EQ(snwprintfWin(buf, 32, nullptr), -1);
}

TEST(FormatWin, BoundedFormsAtTheirLimits)
{
    // Both the C library's road and the one for 8-bit arguments; "abcd-42".
    // snwprintfWin: n counts the terminator; sznwprintf: n + 1 characters, buf[n] always 0.
    for (int narrow = 0; narrow < 2; ++narrow)
        for (unsigned n : {0u, 6u, 7u, 8u}) {
            SCOPED_TRACE(std::to_string(narrow) + " " + std::to_string(n));
            const wchar_t* fmt = narrow ? L"%S-%d" : L"%s-%d";
            const void* arg = narrow ? static_cast<const void*>("abcd") : static_cast<const void*>(L"abcd");
            wchar_t buf[16];
            std::wmemset(buf, L'#', 16);
            errno = 5;
            EXPECT_EQ(snwprintfWin(buf, n, fmt, arg, 42), n == 8 ? 7 : -1);
            if (n == 8) {
                EXPECT_EQ(std::wstring(buf), L"abcd-42");
            } else if (n != 0) {
                EXPECT_EQ(errno, 0) << "a cut text sets no C-library error";
            }
            EXPECT_EQ(std::wstring(buf + n, 16 - n), std::wstring(16 - n, L'#')) << "written past the limit";
            for (auto fn : {&sznwprintf, &sznwprintfWin}) {
                std::wmemset(buf, L'#', 16);
                EXPECT_EQ(fn(buf, n, fmt, arg, 42), n >= 7 ? 7 : -1);
                EXPECT_EQ(buf[n], L'\0');
                EXPECT_LE(wcslen(buf), n);
                EXPECT_EQ(std::wstring(buf + n + 1, 15 - n), std::wstring(15 - n, L'#')) << "written past the limit";
            }
        }
}

TEST(FormatWin, AllocatingFormatGrowsAndFallsBack)
{
    EXPECT_EQ(Vas(nullptr, L""), L"0:");
    EXPECT_EQ(Vas(nullptr, L"%d|%s|%S", 12, L"w", "n"), L"6:12|w|n");
    // Long results from a short format.
    const std::string longA(150000, '\xE9');
    EXPECT_EQ(Vas(nullptr, L"<%S>", longA.c_str()), L"150002:<" + std::wstring(150000, L'\x00E9') + L">");
    // A character that cannot be written, or an incomplete directive: the
    // format text itself, instead of growing for ever.
    EXPECT_EQ(Vas(nullptr, L"x%cy", static_cast<wint_t>(WEOF)), L"4:x%cy");
    EXPECT_EQ(Vas(nullptr, L"100%"), L"4:100%");
    // A block already there is reused.
    EXPECT_EQ(Vas(static_cast<wchar_t*>(std::malloc(3 * sizeof(wchar_t))), L"%s at all", L"no directive"),
              L"19:no directive at all");
}

TEST(FormatWin, FailedAllocationsAnswerNoMemoryAndNoBlock)
{
    // Each C-heap allocation of the allocating forms fails in turn: a step
    // answers the failure, the no-memory error and no block (LeakSanitizer
    // sees a block lost on the way), or the whole text.
    const std::wstring strLong(3000, L'w');
    // Over the stack room once rewritten: the rewritten format goes on the heap.
    const std::wstring strFormat = std::wstring(200, L'f') + L"%s";
    const std::string sys = std::strerror(ENOENT);
    const std::wstring strSys(sys.begin(), sys.end());
    const int kWinNoMemory = static_cast<int>(0xC0000017u);
    const struct {
        const char* pszName;
        std::function<int(wchar_t**)> run;
        std::wstring strExpected;
        int nNoMemory;  // errno of a failure
    } cases[] = {
        {"vaswprintf", [&](wchar_t** pp) { return VasInto(pp, strFormat.c_str(), strLong.c_str()); },
         std::wstring(200, L'f') + strLong, ENOMEM},
        {"FormatMessageW",
         [&](wchar_t** pp) {
             return static_cast<int>(
                 Msg(FormatMessageW, 0x500, strFormat.c_str(), reinterpret_cast<wchar_t*>(pp), 0, strLong.c_str()));
         },
         std::wstring(200, L'f') + strLong, ENOMEM},
        {"FormatMessageW system text",
         [&](wchar_t** pp) {
             errno = ENOENT;
             return static_cast<int>(FormatMessageW(0x1100, nullptr, 0, 0, reinterpret_cast<wchar_t*>(pp), 0, nullptr));
         },
         strSys, ENOMEM},
        {"FormatMessageWin",
         [&](wchar_t** pp) {
             return static_cast<int>(Msg(FormatMessageWin, 0x500, L"%1 and %2", reinterpret_cast<wchar_t*>(pp), 0,
                                         L"one", strLong.c_str()));
         },
         L"one and " + strLong, kWinNoMemory},
        {"FormatMessageWin system text",
         [&](wchar_t** pp) {
             return static_cast<int>(
                 FormatMessageWin(0x1100, nullptr, ENOENT, 0, reinterpret_cast<wchar_t*>(pp), 0, nullptr));
         },
         strSys, kWinNoMemory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const int n = nFailEachAllocation([&](int nAllowed) {
            wchar_t* p = nullptr;
            int r = 0;
            int nErrno = 0;
            {
                CFailingHeap clScope(nAllowed);
                errno = 0;
                r = c.run(&p);
                nErrno = errno;
            }
            if (p == nullptr) {
                EXPECT_LE(r, 0) << "a length without a block";
                EXPECT_EQ(nErrno, c.nNoMemory);
                return false;
            }
            const std::wstring s = p;
            std::free(p);
            EXPECT_EQ(r, static_cast<int>(c.strExpected.size()));
            EXPECT_EQ(s, c.strExpected);
            return true;
        });
        EXPECT_GE(n, 1) << "the form allocates";
    }
}

TEST(FormatWin, FormatMessageWIsPrintfStyle)
{
    // Allocating, from a text; the line width and the array flag are not read.
    wchar_t* p = nullptr;
    const auto pp = reinterpret_cast<wchar_t*>(&p);
    const auto take = [&] {
        const std::wstring s = p != nullptr ? p : L"<null>";
        std::free(p);
        p = nullptr;
        return s;
    };
    EXPECT_EQ(Msg(FormatMessageW, 0x2500 | 0x0A, L"Table <%s>, %d rows, %S", pp, 0, L"T1", 3, "ok"), 22u);
    EXPECT_EQ(take(), L"Table <T1>, 3 rows, ok");

    // Into the caller's buffer, the size as limit.
    wchar_t buf[8];
    EXPECT_EQ(Msg(FormatMessageW, 0x400, L"%d-%d", buf, 8, 123, 456), 7u);
    EXPECT_EQ(std::wstring(buf), L"123-456");
    EXPECT_EQ(Msg(FormatMessageW, 0x400, L"%d-%d", buf, 7, 123, 456), 0u);

    // The system's error text.
    errno = ENOENT;
    const std::string sys = std::strerror(ENOENT);
    EXPECT_EQ(Msg(FormatMessageW, 0x1100, nullptr, pp, 0), sys.size());
    EXPECT_EQ(take(), std::wstring(sys.begin(), sys.end()));

    // Without arguments only a text that needs none; no text fails with a null block.
    EXPECT_EQ(FormatMessageW(0x500, L"100%%", 0, 0, pp, 0, nullptr), 4u);
    EXPECT_EQ(take(), L"100%");
    for (const wchar_t* fmt : {L"%d", static_cast<const wchar_t*>(nullptr)}) {
        p = reinterpret_cast<wchar_t*>(1);
        EXPECT_EQ(FormatMessageW(0x500, fmt, 0, 0, pp, 0, nullptr), 0u);
        EXPECT_EQ(p, nullptr);
    }
}

TEST(FormatWin, NumberedInserts)
{
    EXPECT_EQ(Ins(0, L"%1!d! of %2", 3, L"ten"), L"3 of ten");
    EXPECT_EQ(Ins(0, L"%1!*d!", 5, 42), L"   42");
    EXPECT_EQ(Ins(0, L"[%1!-*.*s!]", 6, 2, L"abcdef"), L"[ab    ]");
    EXPECT_EQ(Ins(0, L"%2!S! %1 %2!S! %1", L"a", "b"), L"b a b a");
    EXPECT_EQ(Ins(0, L"%1!04X!-%2!u!-%3!c!", 0xBEEF, 7u, L'\x20AC'), L"BEEF-7-\x20AC");
    EXPECT_EQ(Ins(0, L"%1!S!", "\x80\xE9"), L"\x20AC\x00E9");
    EXPECT_EQ(Ins(0, L"kept%0 dropped %1", L"x"), L"kept");
    // An insert's own blanks are no break positions.
    EXPECT_EQ(Ins(8, L"%1 xy", L"a b c d e"), L"a b c d e\r\n xy");
    for (const wchar_t* fmt : {L"%1!d", L"%1!***d!", L"%1!!", L"%1!d%d!"})
        EXPECT_EQ(Ins(0, fmt, 1, 2, 3, 4), L"<0:22>") << fmt;
    EXPECT_EQ(Ins(0, L"%1!n!", &errno), L"<0:22>");
    // 30 characters of conversion are allowed, 31 are not.
    EXPECT_EQ(Ins(0, (L"%1!" + std::wstring(28, L'0') + L"1d!").c_str(), 5), L"5");
    EXPECT_EQ(Ins(0, (L"%1!" + std::wstring(29, L'0') + L"1d!").c_str(), 5), L"<0:22>");

    // Texts without arguments: escapes, line ends and wrapping.
    const struct { unsigned flags; const wchar_t* fmt; const wchar_t* expected; } cases[] = {
        {0x200, L"%1 and %2!d! and %12!*s!", L"%1!s! and %2!d! and %12!*s!"},
        {0x200, L"100%% %. %n", L"100%% %. \r\n"},    {0, L"a%nb%rc%td%be", L"a\r\nb\rc\td e"},
        {0, L"a\nb\r\nc\n\rd\re", L"a\r\nb\r\nc\r\nd\r\ne"}, {0, L"100%% %. %!", L"100% . !"},
        {0, L"trailing %", L"<0:22>"},              {0xFF, L"one\r\ntwo\nthree %n four", L"one two three \r\n four"},
        {10, L"aaaa bbbb cccc dddd", L"aaaa bbbb\r\ncccc dddd"}, {3, L"abcdefg", L"abc\r\ndef\r\ng"},
        // The blanks around the break go; line breaks of the text are blanks.
        {6, L"abc   de\nfgh", L"abc\r\nde\r\nfgh"},
        {5, L"ab%ncd ef gh", L"ab\r\ncd\r\nef\r\ngh"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ins(c.flags, c.fmt), c.expected) << c.fmt;

    // Array arguments, up to 200 of them.
    std::vector<uint32_t> args(200);
    std::iota(args.begin(), args.end(), 1u);
    args[0] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(L"x"));
    args[197] = 5;
    EXPECT_EQ(Ins(0x2000, L"%2!d!-%1-%2!x!", args.data()), L"2-x-2");
    EXPECT_EQ(Ins(0x2000, L"%200!u!", args.data()), L"200");
    EXPECT_EQ(Ins(0x2000, L"%198!*u!", args.data()), L"  199");
    for (const wchar_t* fmt : {L"%201!u!", L"%199!*.*u!", L"%999!u!", L"%1000"})
        EXPECT_EQ(Ins(0x2000, fmt, args.data()), L"<0:22>") << fmt;

    // No arguments at all; module sources, or neither a text nor the system.
    wchar_t* p = nullptr;
    wchar_t buf[64];
    for (unsigned flags : {0x500u, 0xC00u, 0x100u}) {
        errno = 0;
        void* out = flags & 0x100 ? static_cast<void*>(&p) : buf;
        EXPECT_EQ(FormatMessageWin(flags, L"%1", 0, 0, static_cast<wchar_t*>(out), 64, nullptr), 0u);
        EXPECT_EQ(errno, 22) << flags;
        EXPECT_EQ(p, nullptr);
    }
}

TEST(FormatWin, NumberedInsertsCapacity)
{
    // The caller's buffer is worked with a quarter of its size.
    wchar_t buf[40];
    EXPECT_EQ(Msg(FormatMessageWin, 0x400, L"12345678", buf, 40), 8u);
    EXPECT_EQ(std::wstring(buf), L"12345678");
    errno = 0;
    EXPECT_EQ(Msg(FormatMessageWin, 0x400, L"%1", buf, 40, L"123456789"), 0u);
    EXPECT_EQ(errno, 75);

    // The allocating form takes texts beyond its first block.
    const std::wstring longW(120000, L'q');
    EXPECT_EQ(Ins(0, L"<%1>", longW.c_str()), L"<" + longW + L">");

    // The engine itself never writes past its size.
    wchar_t out[6];
    std::wmemset(out, L'#', 6);
    unsigned len = 0;
    EXPECT_EQ(__FormatMessageWin(L"abc", 0, false, false, nullptr, out, 5 * sizeof(wchar_t), &len), 0);
    EXPECT_EQ(std::to_wstring(len) + L":" + out, L"4:abc");
    EXPECT_EQ(__FormatMessageWin(L"abcd", 0, false, false, nullptr, out, 5 * sizeof(wchar_t), &len), 75);
    EXPECT_EQ(out[5], L'#');

    // A system text, cut to the buffer.
    const std::string sys = std::strerror(EACCES);
    EXPECT_EQ(FormatMessageWin(0x1000, nullptr, EACCES, 0, buf, 4, nullptr), 3u);
    EXPECT_EQ(std::wstring(buf), std::wstring(sys.begin(), sys.begin() + 3));
}

TEST(FormatWin, UpperFIsAConversion)
{
    EXPECT_EQ(SwCompte(L"%F %s", 0.1, L"abc"), L"0.100000 abc");
    EXPECT_EQ(SwCompte(L"%F|%S|%s", 0.25, "n", L"w"), L"0.250000|n|w");
    const std::wstring huge = SwCompte(L"%F|%s", 1e300, L"x");
    EXPECT_EQ(huge.size(), 301u + 7u + 2u);
    EXPECT_EQ(huge.substr(huge.size() - 9), L".000000|x");
    EXPECT_EQ(SwCompte(L"%.1F|%F", -1.0 / 0.0, 2.5), L"-INF|2.500000");
}

TEST(FormatWin, SignsAndPrefixesBesideLongPrecisions)
{
    const std::wstring z39(39, L'0');
    EXPECT_EQ(SwCompte(L"%.40d", -1), L"-" + z39 + L"1");
    EXPECT_EQ(SwCompte(L"%+.40d", 1), L"+" + z39 + L"1");
    EXPECT_EQ(SwCompte(L"% .40d", 1), L" " + z39 + L"1");
    EXPECT_EQ(SwCompte(L"%.40lld", -1LL), L"-" + z39 + L"1");
    EXPECT_EQ(SwCompte(L"%#.40x", 255u), L"0x" + std::wstring(38, L'0') + L"ff");
    EXPECT_EQ(SwCompte(L"%+- .171lld", 5LL), L"+" + std::wstring(170, L'0') + L"5");
    // The same beside an 8-bit argument (directive by directive).
    EXPECT_EQ(SwCompte(L"%+.40d%S", 1, "x"), L"+" + z39 + L"1x");
    EXPECT_EQ(SwCompte(L"%+45.40d|", -3), L"    -" + z39 + L"3|");
}

TEST(FormatWin, PositionalArgumentsAreReadAndCounted)
{
    EXPECT_EQ(SwCompte(L"%2$s=%1$d", 1234567890, L"key"), L"key=1234567890");
    EXPECT_EQ(SwCompte(L"%2$S=%1$d", 1234567890, "key"), L"key=1234567890");
    EXPECT_EQ(SwCompte(L"%1$*2$d|%3$s|%1$d", 42, -6, L"z"), L"42    |z|42");
    EXPECT_EQ(SwCompte(L"%3$.*2$f|%1$s%1$s", L"ab", 2, 0.5), L"0.50|abab");
    EXPECT_EQ(SwCompte(L"%2$lld|%1$I64d", 1LL << 40, -1LL), L"-1|1099511627776");
    // Refused: positions mixed with the list's order, one position read
    // under two types. The walk reads no argument then and answers the
    // format's own length.
    EXPECT_EQ(SwCompte(L"%1$d %d", 1, 2), L"<fail>");
    EXPECT_EQ(SwCompte(L"%1$d|%1$s", 5), L"<fail>");
    EXPECT_EQ(LenW(L"%1$d|%1$s", 5), 9);
    EXPECT_EQ(LenW(L"%d|%2$s", 5, 6), 7);
}

TEST(FormatWin, WindowsIntegerLengthsEverywhere)
{
    // The C library's road ...
    EXPECT_EQ(SwCompte(L"%I64d|%s", 1LL << 40, L"ab"), L"1099511627776|ab");
    EXPECT_EQ(SwCompte(L"%-15I64d|%I32u|%s", -(1LL << 40), 4000000000u, L"z"), L"-1099511627776 |4000000000|z");
    // ... and directive by directive beside 8-bit text.
    EXPECT_EQ(SwCompte(L"%I64x|%S|%I32d|%Id|%s", 0x123456789ALL, "n", -5, static_cast<size_t>(7), L"w"),
              L"123456789a|n|-5|7|w");
    // Not before an integer conversion, "I" stays the C library's flag.
    EXPECT_EQ(SwCompte(L"[%I6d]%s", 5, L"a"), L"[     5]a");
    EXPECT_EQ(SwCompte(L"[%I6d]%S", 5, "a"), L"[     5]a");
    // Long doubles under every length that makes one.
    EXPECT_EQ(SwCompte(L"%llf|%qf|%S", 1.5L, 2.5L, "x"), L"1.500000|2.500000|x");
}

TEST(FormatWin, UnknownConversionsAreCopiedAndCounted)
{
    EXPECT_EQ(SwCompte(L"%wd|%ws", L"wide"), L"%wd|wide");
    EXPECT_EQ(SwCompte(L"%5-s|%s", L"a"), L"%5-s|a");
    EXPECT_EQ(SwCompte(L"%5-s|%S", "a"), L"%5-s|a");
    EXPECT_EQ(SwCompte(L"%Nd|%s", L"a"), L"%Nd|a");
}
