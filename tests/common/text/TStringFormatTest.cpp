#include "common/text/TStringFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Str(const CTString& s) { return s.pszGet(); }

}  // namespace

TEST(TStringFormat, PrintfReplacesAndAddPrintfAppends)
{
    CTString s(L"old text");
    s.printf(L"%d-%s", 5, L"x");
    s.AddPrintf(L"[%S|%03u]", "y", 7u);
    EXPECT_EQ(Str(s), L"5-x[y|007]");
    // The own text as an argument.
    s.printf(L"<%s>", s.pszGet());
    EXPECT_EQ(Str(s), L"<5-x[y|007]>");
    s = L"ab";
    s.AddPrintf(L"%s", s.pszGet());
    EXPECT_EQ(Str(s), L"abab");
    s.printf(nullptr);
    EXPECT_EQ(Str(s), L"");
    // Wide and 8-bit (Windows-1252) arguments in one format.
    s.printf(L"%s and %S and %hs", L"wide \x263A", "8-bit \x80\x9F\xE9\xFF", "short");
    EXPECT_EQ(Str(s), L"wide \x263A and 8-bit \x20AC\x0178\x00E9\x00FF and short");
    const CTStringFormat f(L"%03d|%S|%c|%C", 7, "\x85", L'\x0152', '\x8C');
    EXPECT_EQ(Str(f), L"007|\x2026|\x0152|\x0152");
    const CTStringFormatMessage m(L"%s-%d-%S", L"x", 2, "\x80");
    EXPECT_EQ(Str(m), L"x-2-\x20AC");
}

TEST(TStringFormat, ShortEstimateGrowsTheBuffer)
{
    // The length estimate knows neither %E nor %a: the text is formatted
    // again in a larger buffer.
    CTString s;
    s.printf(L"%S|%E|%a", "end", 1.5, 1.0);
    EXPECT_EQ(Str(s), L"end|1.500000E+00|0x1p+0");
    const CTStringFormat f(L"%.200000d", 1);
    EXPECT_EQ(Str(f), std::wstring(199999, L'0') + L"1");
}

TEST(TStringFormat, MessageFormattingKeepsTheTextOnFailure)
{
    CTString s(L"keep");
    s.FormatMessageWin(L"%1!d! of %2", 3, L"ten");
    EXPECT_EQ(Str(s), L"3 of ten");
    s = L"keep";
    s.FormatMessageWin(L"%1!d", 3);  // unterminated conversion
    s.FormatMessageWin(L"%0");       // formats to nothing
    s.FormatMessageWin(nullptr);
    EXPECT_EQ(Str(s), L"keep");
    s.FormatMessageW(L"%s=%S (%d)", L"a", "\xE9", 4);
    s.FormatMessageW(L"");
    EXPECT_EQ(Str(s), L"a=\x00E9 (4)");

    const std::wstring wide(100500, L'm');
    s.FormatMessageWin(L"%1%n", wide.c_str());
    EXPECT_EQ(Str(s), wide + L"\r\n");
}

TEST(TStringFormat, MendedDirectives)
{
    // Each once through the constructor and once through printf.
    const struct {
        std::wstring expected;
        std::wstring viaConstructor;
        std::wstring viaPrintf;
    } cases[] = {
        {L"0.100000 abc", Str(CTStringFormat(L"%F %s", 0.1, L"abc")),
         [] { CTString s; s.printf(L"%F %s", 0.1, L"abc"); return Str(s); }()},
        {L"+" + std::wstring(170, L'0') + L"5|x", Str(CTStringFormat(L"%+- .171lld|%S", 5LL, "x")),
         [] { CTString s; s.printf(L"%+- .171lld|%S", 5LL, "x"); return Str(s); }()},
        {L"key=1234567890", Str(CTStringFormat(L"%2$s=%1$d", 1234567890, L"key")),
         [] { CTString s; s.printf(L"%2$s=%1$d", 1234567890, L"key"); return Str(s); }()},
        {L"1099511627776|-5|ab", Str(CTStringFormat(L"%I64d|%I32d|%s", 1LL << 40, -5, L"ab")),
         [] { CTString s; s.printf(L"%I64d|%I32d|%s", 1LL << 40, -5, L"ab"); return Str(s); }()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.viaConstructor, c.expected);
        EXPECT_EQ(c.viaPrintf, c.expected);
    }
}
