#include "common/text/CodePage.h"

#include "tests/support/LocaleCalls.h"

#include <iconv.h>
#include <random>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::wstring ToWide(unsigned cp, const std::string& s, unsigned flags = 0)
{
    const int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n == 0)
        return L"<fail>";
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), &out[0], n) != n)
        return L"<fail>";
    return out;
}

std::string ToBytes(unsigned cp, const std::wstring& s, int* used = nullptr, const char* def = nullptr)
{
    const int n = WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, def, used);
    if (n == 0)
        return "<fail>";
    std::string out(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), &out[0], n, def, used) != n)
        return "<fail>";
    return out;
}

template <typename T>
std::basic_string<T> Ascii(const std::string& s)
{
    return std::basic_string<T>(s.begin(), s.end());
}

// "count:text" of an allocating conversion, the text read up to the count
// and the terminator after it (NULs shown as '~'); "fail" when it answers 0
// with both outputs cleared.
template <typename T, typename F>
std::basic_string<T> Alloc(F convert)
{
    T* p = reinterpret_cast<T*>(1);
    int n = 9;
    if (convert(&p, &n) == 0)
        return Ascii<T>(p == nullptr && n == 0 ? "fail" : "fail, outputs kept");
    std::basic_string<T> s = Ascii<T>(std::to_string(n) + ":");
    for (int i = 0; p != nullptr && i <= n; ++i)
        s += p[i] == 0 ? T('~') : p[i];
    std::free(p);
    return s;
}

// A malloc'ed copy up to its terminator ('~' added), or "null".
template <typename T>
std::basic_string<T> Copy(T* p)
{
    if (p == nullptr)
        return Ascii<T>("null");
    std::basic_string<T> s(p);
    std::free(p);
    return s + T('~');
}

}  // namespace

TEST(CodePage, MultiByteToWideCharCountsAndBounds)
{
    wchar_t buf[10];
    std::fill(buf, buf + 10, L'#');
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, buf, 10), 4);
    EXPECT_EQ(std::wstring(buf, 5), std::wstring(L"abc\0#", 5));
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", 3, nullptr, 0), 3);
    // Too small: no partial count, nothing written past the room given.
    for (unsigned cp : {1252u, 65001u, 1251u, 932u}) {
        std::fill(buf, buf + 10, L'#');
        EXPECT_EQ(MultiByteToWideChar(cp, 0, "abcdef", -1, buf, 3), 0) << cp;
        EXPECT_EQ(buf[3], L'#') << cp;
    }

    EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, -1, buf, 10), 0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 0, buf, 10), 0);
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "abc", -2, buf, 10), 0);
}

TEST(CodePage, MultiByteToWideCharInvalidInput)
{
    // Flag 8 rejects invalid input; without it the invalid byte is skipped.
    EXPECT_EQ(ToWide(65001, "a\xFF" "b", 8), L"<fail>");
    EXPECT_EQ(ToWide(65001, "a\xFF" "b", 0), L"ab");
    EXPECT_EQ(ToWide(1253, "x\xAA" "y", 0), L"xy");  // 0xAA is undefined in Windows-1253
    // Incomplete input fails either way.
    EXPECT_EQ(ToWide(65001, "a\xC3", 0), L"<fail>");
    EXPECT_EQ(ToWide(932, "a\x82", 0), L"<fail>");
    // Pages that hold a character back until the end still give it.
    EXPECT_EQ(ToWide(1255, "\xE0\xE1"), L"\u05D0\u05D1");
    EXPECT_EQ(MultiByteToWideChar(1258, 0, "ab", 2, nullptr, 0), 2);
    // A failed conversion leaves nothing behind for the next one.
    wchar_t one[4] = {};
    EXPECT_EQ(MultiByteToWideChar(1255, 0, "\xE0\xE1", 2, one, 1), 0);
    EXPECT_EQ(MultiByteToWideChar(1255, 0, "\xE2", 1, one, 4), 1);
    EXPECT_EQ(one[0], 0x05D2);
}

TEST(CodePage, WideCharToMultiByteReplacement)
{
    int used = 7;
    EXPECT_EQ(ToBytes(1252, L"a\u4E00b", &used), "a?b");
    EXPECT_EQ(used, 1);
    EXPECT_EQ(ToBytes(1250, L"a\u4E00b", &used, ""), "ab");  // an empty default drops it
    // Through iconv, a final character that the page cannot hold.
    char buf[16];
    used = 0;
    EXPECT_EQ(WideCharToMultiByte(1251, 0, L"\u0416x\u4E00", 3, buf, 16, nullptr, &used), 3);
    EXPECT_EQ(std::string(buf, 3), "\xC6x?");
    EXPECT_EQ(used, 1);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, L"x\u4E00", 2, buf, 16, "<x>", &used), 4);
    EXPECT_EQ(std::string(buf, 4), "x<x>");
    // A replacement that does not fit fails and writes nothing past the room.
    for (unsigned cp : {1252u, 1251u, 65001u}) {
        std::memset(buf, '#', sizeof(buf));
        EXPECT_EQ(WideCharToMultiByte(cp, 0, L"ab\xD800", 3, buf, 4, "<x>", nullptr), 0) << cp;
        EXPECT_EQ(WideCharToMultiByte(cp, 0, L"abcdef", -1, buf, 4, nullptr, nullptr), 0) << cp;
        EXPECT_EQ(buf[4], '#') << cp;
    }
    // Size queries over many passes agree with the conversion.
    std::wstring longText;
    for (int i = 0; i < 300; ++i)
        longText += L"\u20AC\u0416\u4E00";
    EXPECT_EQ(WideCharToMultiByte(65001, 0, longText.c_str(), -1, nullptr, 0, nullptr, nullptr), 2401);
    EXPECT_EQ(WideCharToMultiByte(1251, 0, longText.c_str(), -1, nullptr, 0, "<x>", &used), 1501);
    const std::string narrow = ToBytes(1251, longText, &used, "<x>");
    ASSERT_EQ(narrow.size(), 1500u);
    EXPECT_EQ(narrow.substr(0, 10), "\x88\xC6<x>\x88\xC6<x>");
    // Values that are no characters (surrogates, beyond U+10FFFF) are replaced.
    EXPECT_EQ(ToBytes(65001, std::wstring(L"a") + wchar_t(0xD800) + wchar_t(0x110000) + L"b", &used), "a??b");
    EXPECT_EQ(used, 1);
    used = 5;
    EXPECT_EQ(WideCharToMultiByte(1252, 0, nullptr, -1, buf, 16, nullptr, &used), 0);
    EXPECT_EQ(used, 0);
    // ISO-2022-JP: the replacement is written in the ASCII state, and the
    // text ends in it.
    const std::string jis = "\x1B$B\x24\x22\x1B(B?\x1B$B\x24\x22\x1B(B";
    EXPECT_EQ(ToBytes(50220, std::wstring(L"\u3042") + wchar_t(0x1F600) + L"\u3042", &used), jis);
    EXPECT_EQ(used, 1);
    EXPECT_EQ(ToWide(50220, jis), L"\u3042?\u3042");
}

TEST(CodePage, KnownCharactersOfEveryPage)
{
    const struct { unsigned cp; const char* bytes; std::wstring wide; } known[] = {
        {1252, "\x80", L"\u20AC"}, {0, "\x8A", L"\u0160"}, {12345, "\x9F", L"\u0178"},
        {1252, "\x81\x8D\x8F\x90\x9D", L"\u0081\u008D\u008F\u0090\u009D"}, {874, "\xA1", L"\u0E01"},
        {932, "\x82\xA0", L"\u3042"}, {932, "\xB1", L"\uFF71"}, {936, "\xB0\xA1", L"\u554A"},
        {949, "\xB0\xA1", L"\uAC00"}, {950, "\xA4\x40", L"\u4E00"}, {1250, "\xA5", L"\u0104"},
        {1251, "\xC0", L"\u0410"}, {1253, "\xC1", L"\u0391"}, {1254, "\xD0", L"\u011E"}, {1255, "\xE0", L"\u05D0"},
        {1256, "\x81", L"\u067E"}, {1257, "\xD0", L"\u0160"}, {1258, "\xD0", L"\u0110"}, {1361, "\x88\x61", L"\uAC00"},
        {1, "\xB0", L"\u2591"}, {50220, "\x1B$B\x24\x22\x1B(B", L"\u3042"},
        {65001, "\xF0\x9F\x98\x80", std::wstring(1, wchar_t(0x1F600))}};
    for (const auto& k : known) {
        EXPECT_EQ(ToWide(k.cp, k.bytes, 8), k.wide) << k.cp << " " << k.bytes;
        int used = 1;
        EXPECT_EQ(ToBytes(k.cp, k.wide, &used), k.bytes) << k.cp;
        EXPECT_EQ(used, 0) << k.cp;
    }
}

TEST(CodePage, MultiByteToMultiByte)
{
    char buf[16];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(MultiByteToMultiByte(1252, "caf\xE9", -1, 65001, buf, 16, 0), 6);
    EXPECT_EQ(std::string(buf, 6), std::string("caf\xC3\xA9\0", 6));
    // Too small, not representable, invalid.
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(MultiByteToMultiByte(1252, "caf\xE9", 4, 65001, buf, 4, 0), 0);
    EXPECT_EQ(buf[4], '#');
    EXPECT_EQ(MultiByteToMultiByte(1252, "\xE9", 1, 1251, buf, 16, 0), 0);
    EXPECT_EQ(MultiByteToMultiByte(65001, "\xFF", 1, 1252, buf, 16, 0), 0);
}

TEST(CodePage, Tables)
{
    const struct { unsigned cp; const char* name; } names[] = {
        {1, "CP437"},     {874, "CP874"},   {932, "CP932"},   {936, "CP936"},   {949, "CP949"},   {950, "CP950"},
        {1250, "CP1250"}, {1251, "CP1251"}, {1253, "CP1253"}, {1254, "CP1254"}, {1255, "CP1255"}, {1256, "CP1256"},
        {1257, "CP1257"}, {1258, "CP1258"}, {1361, "CP1361"}, {65001, "UTF-8"}, {0, "CP1252"},    {2, "CP1252"},
        {1200, "CP1252"}, {0xFFFFFFFFu, "CP1252"}, {50220, "ISO-2022-JP"}};
    for (const auto& n : names) {
        EXPECT_STREQ(CodePageToIConv(n.cp), n.name) << n.cp;
        // Every name must open in both directions.
        for (int dir = 0; dir < 2; ++dir) {
            iconv_t cd = dir ? iconv_open("UTF-32LE", n.name) : iconv_open(n.name, "UTF-32LE");
            EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << n.name;
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
        }
    }

    const struct { int charset; unsigned cp; unsigned short lang; } rows[] = {
        {0, 1252, 0},     {128, 932, 17},   {129, 949, 18},    {130, 1361, 18}, {134, 936, 2052},  {136, 950, 1028},
        {161, 1253, 8},   {162, 1254, 31},  {163, 1258, 42},   {177, 1255, 13}, {178, 1256, 1},    {186, 1257, 37},
        {204, 1251, 1049}, {222, 874, 30},  {238, 1250, 21},   {65001, 65001, 0}};
    for (const auto& r : rows) {
        EXPECT_EQ(dwGetCodePageFromCharset(r.charset), r.cp) << r.charset;
        EXPECT_EQ(nGetCharsetFromCodePage(r.cp), r.charset) << r.cp;
        EXPECT_EQ(wGetLanguageID(r.charset), r.lang) << r.charset;
    }
    EXPECT_EQ(dwGetCodePageFromCharset(255), 1252u);
    EXPECT_EQ(wGetLanguageID(255), 0);
    EXPECT_EQ(dwGetCodePageFromCharset(127), 0u);
    EXPECT_EQ(nGetCharsetFromCodePage(0), 127);
    EXPECT_EQ(nGetCharsetFromCodePage(437), -1);
    // Language to charset: primary in the low 10 bits, sub-language above.
    const struct { unsigned lang; int charset; } langs[] = {
        {1, 178},      {0x0419, 204}, {0x0804, 134}, {0x0404, 136}, {0x0C04, 134}, {0x0415, 238}, {0x0408, 161},
        {0x040D, 177}, {0x0411, 128}, {0x0412, 129}, {0x0C1A, 204}, {0x081A, 238}, {0x041E, 222}, {0x041F, 162},
        {0x0425, 186}, {0x042A, 163}, {0x042B, 65001}, {55, 65001}, {0x0843, 204}, {0x0443, 238}, {35, 204},
        {47, 238},     {0x040C, 0},   {68, 0}};
    for (const auto& l : langs)
        EXPECT_EQ(nGetCharsetFromLanguage(l.lang), l.charset) << std::hex << l.lang;
    EXPECT_EQ(GetCharSetFromLanguageID(0x042B), 233);
}

TEST(CodePage, AllocatingConversions)
{
    auto toWide = [](const char* src, int len, unsigned cp) {
        return Alloc<wchar_t>([&](wchar_t** p, int* n) { return STR_CharToWChar_AnyCodepage(src, len, cp, p, n, 0); });
    };
    EXPECT_EQ(toWide("", 0, 1252), L"fail");
    EXPECT_EQ(toWide("", -1, 1252), L"1:~~");
    EXPECT_EQ(toWide("a\x80" "c", 3, 1252), L"3:a\u20ACc~");
    EXPECT_EQ(toWide("\xC3\xA9t\xC3\xA9", -1, 65001), L"4:\u00E9t\u00E9~~");
    EXPECT_EQ(toWide("\xC3", 1, 65001), L"fail");
    auto toBytes = [](const wchar_t* src, int len, unsigned cp) {
        return Alloc<char>([&](char** p, int* n) { return STR_WCharToChar_AnyCodepage(src, len, p, n, cp); });
    };
    EXPECT_EQ(toBytes(L"\u20AC\u4E00", 2, 65001), "6:\xE2\x82\xAC\xE4\xB8\x80~");
    EXPECT_EQ(toBytes(L"x\u4E00", -1, 1252), "3:x?~~");
    // Same page: a copy whose count leaves the terminator out.
    auto recode = [](const char* src, int len, unsigned from, unsigned to) {
        return Alloc<char>([&](char** p, int* n) { return STR_CharToChar_AnyCodepage(src, len, from, p, n, to); });
    };
    EXPECT_EQ(recode("ab\xE9", -1, 1252, 1252), "3:ab\xE9~");
    EXPECT_EQ(recode("\x82\xA0", 2, 932, 65001), "3:\xE3\x81\x82~");
    EXPECT_EQ(recode("\xC3", 1, 65001, 1252), "fail");
}

TEST(CodePage, CurrentCharsetAndOneCharacter)
{
    CCurrentLocale current(204, 1251, 1049);
    wchar_t* w = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(STR_CharToWChar_CurrentCharset(&w, nullptr, 0, -1), 1);
    EXPECT_EQ(w, nullptr);
    ASSERT_EQ(STR_CharToWChar_CurrentCharset(&w, "\xC0\xFF", 0, -1), 1);
    EXPECT_EQ(Copy(w), L"\u0410\u044F~");
    char* a = nullptr;
    ASSERT_EQ(STR_WCharToChar_CurrentCharset(&a, L"\u0401", -1), 1);
    EXPECT_EQ(Copy(a), "\xA8~");
    TestHost().SetCurrent(0, 1252, 1036);
    ASSERT_EQ(STR_CharToWChar_CurrentCharset(&w, "\xC0\xC1", 0, 1), 1);
    EXPECT_EQ(Copy(w), L"\u00C0~");
    EXPECT_EQ(STR_CharToWChar('\xE0', 0, 1255), 0x05D0);
    EXPECT_EQ(STR_CharToWChar('\x82', 0, 932), 0);  // a lead byte alone
    EXPECT_EQ(STR_WCharToAChar(0x20AC, 0, 1252), -128);
    EXPECT_EQ(STR_WCharToAChar(0x4E00, 0, 1252), '?');
    EXPECT_EQ(STR_WCharToAChar(0x3042, 0, 932), 0);  // two bytes do not fit in one
}

TEST(CodePage, HostLanguageCopies)
{
    EXPECT_EQ(Copy(pszXSTR2CSTR(L"a\u20ACb\u4E00", -1)), "a\x80" "b?~");
    EXPECT_EQ(Copy(pszXSTR2CSTR(L"abcd", 2)), "ab~");
    EXPECT_EQ(Copy(pszXSTR2CSTR(nullptr, -1)), "null");
    EXPECT_EQ(Copy(pszCSTR2XSTR("abcd", 2, 1252)), L"ab~");
    EXPECT_EQ(Copy(pszCSTR2XSTR("\xC3\xA9\xC3\xA9", -1, 65001)), L"\u00E9\u00E9~");
    EXPECT_EQ(Copy(pszCSTR2XSTR(nullptr, -1, 1252)), L"~");
    EXPECT_EQ(Copy(pszXSTR2WSTR(L"abc", 0)), L"abc~");
    EXPECT_EQ(Copy(pszXSTR2WSTR(L"abc", 2)), L"ab~");
    wchar_t* w = pszWSTR2XSTR(L"ab", 5);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::wstring(w, 6), std::wstring(L"ab\0\0\0\0", 6));
    std::free(w);
    EXPECT_EQ(pszWSTR2XSTR(nullptr, 3), nullptr);
    EXPECT_TRUE(bAnsiCompatible(nullptr, 1252));
    EXPECT_TRUE(bAnsiCompatible(L"caf\u00E9 \u20AC?", 1252));
    EXPECT_FALSE(bAnsiCompatible(L"\u0416", 1252));
    EXPECT_FALSE(bAnsiCompatible(std::wstring(1, wchar_t(0xD800)).c_str(), 65001));
    EXPECT_EQ(bLatin1(L"\u0081\u00FF"), 1);
    EXPECT_EQ(bLatin1(L"a\u0100"), 0);
}

TEST(CodePage, PrepareConversions)
{
    CCurrentLocale current(204, 1251, 1049);
    // Type, code page stored (999: none, not a pseudo-type), type toward wide
    // text and toward 8-bit text.
    const struct { unsigned short type; unsigned cp; unsigned short toWide, toAnsi; } rows[] = {
        {121, 1252, 16, 16}, {122, 1252, 16, 110}, {126, 0, 16, 16},   {127, 0, 16, 110},   {130, 1251, 16, 16},
        {131, 1251, 16, 110}, {18, 999, 19, 18},   {110, 999, 16, 110}, {123, 999, 123, 123}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.type);
        unsigned flags = 1, unmarked = 1;
        STOCAW options{999}, back{999};
        EXPECT_EQ(PrepareConversionAnsiUnicode(r.type, flags, options, true, 1), r.toWide);
        EXPECT_EQ(PrepareConversionAnsiUnicode(r.type, unmarked, options, false, 0), r.toAnsi);
        EXPECT_EQ(flags, r.cp == 999 ? 1u : 65u);
        EXPECT_EQ(unmarked, 1u);
        EXPECT_EQ(options.nCodePage, r.cp);
        EXPECT_EQ(PrepareConversionUnicodeAnsi(r.type, back), r.cp == 999 ? 0 : 1);
        EXPECT_EQ(back.nCodePage, r.cp);
    }
}

TEST(CodePage, CurrentSettingsFromLocaleService)
{
    CCurrentLocale current(127, 1251, 1049);
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
    EXPECT_EQ(STR_nGetCurrentChangeCharsetInterne(), 127);
    EXPECT_EQ(STR_nGetCurrentCodePage(), 1251u);
    EXPECT_EQ(STR_nGetCurrentLCID(), 1049u);
    STR_nGetSafeCurrentLCID();
    EXPECT_LOCALE_CALLS({{2, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, kGetCurrentLCID, {15, 0, 0, 0, 0}});
    TestHost().SetCurrent(161, 1253, 1032);
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 161);
    // Mappings in the language of a charset.
    TestHost().ClearLocaleCalls();
    char dst[8] = {};
    EXPECT_EQ(STR_nMapStringEx_Charset(204, 1, dst, 8, "abc", 3), 3);
    wchar_t wdst[8] = {};
    EXPECT_EQ(STR_nMapStringEx_Charset(128, 1, wdst, 8, L"xy", -1), 2);
    unsigned char key[64];
    EXPECT_GT(STR_MapStringSortEx_Charset(238, key, 64, L"ab", 2), 0);
    EXPECT_EQ(STR_nMapStringEx_Charset(0, 2, dst, 8, "\xE9", 1), 1);
    EXPECT_LOCALE_CALLS({{11, 1049, 1, 3, 8}, {12, 17, 1, -1, 8}, {9, 21, 0, 2, 64}, {11, 0, 2, 1, 8}});
    // Before the host hands the service over.
    CLocaleServiceSwap none(nullptr);
    EXPECT_EQ(STR_nGetCurrentCodePage(), 0u);
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
    EXPECT_NE(STR_nGetCurrentLCID(), 0u);
    EXPECT_NE(STR_nGetSafeCurrentLCID(), 0u);
    EXPECT_EQ(STR_CharToWChar_CurrentCharset('\x80', 0), 0x20AC);
    EXPECT_EQ(STR_nMapStringEx_Charset(204, 1, dst, 8, "ab", 2), 0);
}

// Charsets that need no C library locale leave the process's one alone.
TEST(CodePage, ChangeLocaleLeavesOtherCharsetsAlone)
{
    const std::string before = std::setlocale(LC_ALL, nullptr);
    for (int charset : {0, 128, 186, 238, 255, 65001, 3})
        ChangeLocale(charset);
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), before);
}

// UTF-8 is converted without iconv: random byte strings, well-formed or not,
// must give what the C library's strict converter gives, and come back.
TEST(CodePage, Utf8AgreesWithTheCLibrary)
{
    iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::mt19937 rng(7);
    const unsigned char units[] = {'a', 0x7F, 0x80, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xA0, 0xED, 0x9F,
                                   0xEF, 0xF0, 0x90, 0xF4, 0x8F, 0xF5, 0xFF, 0x00};
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        for (int i = 0, len = 1 + static_cast<int>(rng() % 8); i < len; ++i)
            bytes.push_back(static_cast<char>(units[rng() % sizeof(units)]));
        std::wstring expected(bytes.size(), L'\0');  // UTF-32LE is wchar_t here
        char* in = &bytes[0];
        size_t inLeft = bytes.size();
        char* out = reinterpret_cast<char*>(&expected[0]);
        size_t outLeft = expected.size() * sizeof(wchar_t);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1))
            expected = L"<fail>";
        else
            expected.resize(expected.size() - outLeft / sizeof(wchar_t));
        const std::wstring wide = ToWide(65001, bytes, 8);
        ASSERT_EQ(wide, expected) << "round " << round;
        if (wide != L"<fail>") {
            ASSERT_EQ(ToBytes(65001, wide), bytes) << "round " << round;
        }
    }
    iconv_close(cd);
}
