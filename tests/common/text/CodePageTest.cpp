#include "common/text/CodePage.h"

#include "common/platform/InformationDLL.h"
#include "tests/support/TestHost.h"

#include <iconv.h>
#include <random>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Restores the stand-in's default current settings when a test ends.
struct CurrentSettingsGuard {
    ~CurrentSettingsGuard() { TestHost().SetCurrent(0, 1252, 1036); }
};

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

struct KnownChar {
    unsigned cp;
    const char* bytes;
    std::wstring wide;
};

}  // namespace

TEST(CodePage, MultiByteToWideCharCountsAndBounds)
{
    wchar_t buf[10];
    std::fill(buf, buf + 10, L'#');
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, buf, 10), 4);
    EXPECT_EQ(std::wstring(buf, 4), std::wstring(L"abc\0", 4));
    EXPECT_EQ(buf[4], L'#');
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, buf, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", 3, nullptr, 0), 3);

    // Too small: no partial count, nothing written past the room given.
    for (unsigned cp : {1252u, 65001u, 1251u, 932u}) {
        std::fill(buf, buf + 10, L'#');
        EXPECT_EQ(MultiByteToWideChar(cp, 0, "abcdef", -1, buf, 3), 0) << cp;
        EXPECT_EQ(buf[3], L'#') << cp;
    }

    // Null, empty and negative arguments.
    EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, -1, buf, 10), 0);
    EXPECT_EQ(MultiByteToWideChar(65001, 0, nullptr, 3, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 0, buf, 10), 0);
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "abc", -2, buf, 10), 0);
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "abc", 3, buf, -1), 0);

    // Size queries agree with the conversion for multi-byte pages and long texts.
    std::string longText;
    for (int i = 0; i < 300; ++i)
        longText += "\xE2\x82\xAC" "a\xC3\xA9";
    EXPECT_EQ(MultiByteToWideChar(65001, 0, longText.c_str(), -1, nullptr, 0), 901);
    std::wstring wide = ToWide(65001, longText);
    ASSERT_EQ(wide.size(), 900u);
    EXPECT_EQ(wide.substr(0, 3), L"\u20ACa\u00E9");
}

TEST(CodePage, MultiByteToWideCharInvalidInput)
{
    // Flag 8 rejects invalid input; without it the invalid byte is skipped
    // and the rest is kept.
    EXPECT_EQ(ToWide(65001, "a\xFF" "b", 8), L"<fail>");
    EXPECT_EQ(ToWide(65001, "a\xFF" "b", 0), L"ab");
    // 0xAA is undefined in Windows-1253.
    EXPECT_EQ(ToWide(1253, "x\xAA" "y", 8), L"<fail>");
    EXPECT_EQ(ToWide(1253, "x\xAA" "y", 0), L"xy");
    // Incomplete input fails either way.
    EXPECT_EQ(ToWide(65001, "a\xC3", 0), L"<fail>");
    EXPECT_EQ(ToWide(932, "a\x82", 0), L"<fail>");

    // Pages that hold a character back until the end still give it.
    EXPECT_EQ(ToWide(1255, "\xE0\xE1"), L"\u05D0\u05D1");
    EXPECT_EQ(ToWide(1258, "a"), L"a");
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
    EXPECT_EQ(ToBytes(1252, L"a\u4E00b", &used, "<x>"), "a<x>b");
    EXPECT_EQ(used, 1);
    EXPECT_EQ(ToBytes(1252, L"a\u00E9b", &used), "a\xE9" "b");
    EXPECT_EQ(used, 0);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, L"a\u4E00b", 3, nullptr, 0, "<x>", nullptr), 5);
    EXPECT_EQ(WideCharToMultiByte(1251, 0, L"a\u4E00b", 3, nullptr, 0, "<x>", &used), 5);
    EXPECT_EQ(used, 1);

    // Through iconv, with a final character that the page cannot hold: the
    // count of bytes written is returned.
    char buf[16];
    std::memset(buf, '#', sizeof(buf));
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
        EXPECT_EQ(buf[4], '#') << cp;
        EXPECT_EQ(WideCharToMultiByte(cp, 0, L"abcdef", -1, buf, 4, nullptr, nullptr), 0) << cp;
        EXPECT_EQ(buf[4], '#') << cp;
    }

    // Size queries over many passes agree with the conversion.
    std::wstring longText;
    for (int i = 0; i < 300; ++i)
        longText += L"\u20AC\u0416\u4E00";
    EXPECT_EQ(WideCharToMultiByte(65001, 0, longText.c_str(), -1, nullptr, 0, nullptr, nullptr), 2401);
    EXPECT_EQ(WideCharToMultiByte(1251, 0, longText.c_str(), -1, nullptr, 0, "<x>", &used), 1501);
    EXPECT_EQ(used, 1);
    const std::string narrow = ToBytes(1251, longText, &used, "<x>");
    ASSERT_EQ(narrow.size(), 1500u);
    EXPECT_EQ(narrow.substr(0, 10), "\x88\xC6<x>\x88\xC6<x>");

    // An empty default drops the character.
    EXPECT_EQ(ToBytes(1250, L"a\u4E00b", &used, ""), "ab");

    // Values that are no characters (surrogates, beyond U+10FFFF) are replaced.
    EXPECT_EQ(ToBytes(65001, std::wstring(L"a") + wchar_t(0xD800) + wchar_t(0x110000) + L"b", &used),
              "a??b");
    EXPECT_EQ(used, 1);

    // -1 counts the terminator; null and empty sources fail.
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"\u20AC", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, L"abc", -1, buf, 16, nullptr, nullptr), 4);
    EXPECT_STREQ(buf, "abc");
    used = 5;
    EXPECT_EQ(WideCharToMultiByte(1252, 0, nullptr, -1, buf, 16, nullptr, &used), 0);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"abc", 0, buf, 16, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"abc", 3, buf, -4, nullptr, nullptr), 0);
}

TEST(CodePage, StatefulPageReplacement)
{
    // ISO-2022-JP: the replacement is written in the ASCII state, and the
    // text ends in it.
    const std::string expected = "\x1B$B\x24\x22\x1B(B?\x1B$B\x24\x22\x1B(B";
    int used = 0;
    const std::wstring text = std::wstring(L"\u3042") + wchar_t(0x1F600) + L"\u3042";
    EXPECT_EQ(ToBytes(50220, text, &used), expected);
    EXPECT_EQ(used, 1);
    EXPECT_EQ(ToWide(50220, expected), std::wstring(L"\u3042?\u3042"));
}

TEST(CodePage, KnownCharactersOfEveryPage)
{
    const KnownChar known[] = {
        {1252, "\x80", L"\u20AC"},   {1252, "\x9F", L"\u0178"},     {1252, "\x8A", L"\u0160"},
        {0, "\x80", L"\u20AC"},      {12345, "\x9F", L"\u0178"},    {1252, "\x81\x8D\x8F\x90\x9D", L"\u0081\u008D\u008F\u0090\u009D"},
        {874, "\xA1", L"\u0E01"},    {874, "\x80", L"\u20AC"},
        {932, "\x82\xA0", L"\u3042"}, {932, "\x88\x9F", L"\u4E9C"}, {932, "\xB1", L"\uFF71"},
        {936, "\xB0\xA1", L"\u554A"}, {949, "\xB0\xA1", L"\uAC00"}, {950, "\xA4\x40", L"\u4E00"},
        {1250, "\x8A", L"\u0160"},   {1250, "\xA5", L"\u0104"},     {1250, "\xB9", L"\u0105"},
        {1251, "\xC0", L"\u0410"},   {1251, "\xFF", L"\u044F"},     {1251, "\xA8", L"\u0401"},
        {1253, "\xC1", L"\u0391"},   {1253, "\xA2", L"\u0386"},
        {1254, "\xD0", L"\u011E"},   {1254, "\xFD", L"\u0131"},
        {1255, "\xE0", L"\u05D0"},   {1256, "\xC7", L"\u0627"},     {1256, "\x81", L"\u067E"},
        {1257, "\xD0", L"\u0160"},   {1257, "\xE0", L"\u0105"},
        {1258, "\xD0", L"\u0110"},   {1258, "\xC3", L"\u0102"},
        {1361, "\x88\x61", L"\uAC00"},
        {1, "\x80", L"\u00C7"},      {1, "\xB0", L"\u2591"},        {1, "\xE1", L"\u00DF"},
        {50220, "\x1B$B\x24\x22\x1B(B", L"\u3042"},
        {65001, "\xE2\x82\xAC", L"\u20AC"},
        {65001, "\xF0\x9F\x98\x80", std::wstring(1, wchar_t(0x1F600))},
    };
    for (const KnownChar& k : known) {
        EXPECT_EQ(ToWide(k.cp, k.bytes, 8), k.wide) << k.cp << " " << k.bytes;
        int used = 1;
        EXPECT_EQ(ToBytes(k.cp, k.wide, &used), k.bytes) << k.cp;
        EXPECT_EQ(used, 0) << k.cp;
    }
}

TEST(CodePage, SingleBytePagesRoundTrip)
{
    // Windows-1252: every byte, one at a time and all in one text.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::wstring wide = ToWide(1252, all, 8);
    ASSERT_EQ(wide.size(), 256u);
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80 || b >= 0xA0) {
            EXPECT_EQ(wide[b], static_cast<wchar_t>(b)) << b;
        }
    }
    int used = 1;
    EXPECT_EQ(ToBytes(1252, wide, &used), all);
    EXPECT_EQ(used, 0);

    const unsigned pages[] = {1252, 874, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 1};
    for (unsigned cp : pages) {
        int defined = 0;
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            wchar_t w = 0;
            if (MultiByteToWideChar(cp, 8, &c, 1, &w, 1) != 1) {
                EXPECT_NE(cp, 1252u) << b;
                continue;
            }
            ++defined;
            char back = 0;
            used = 1;
            EXPECT_EQ(WideCharToMultiByte(cp, 0, &w, 1, &back, 1, nullptr, &used), 1) << cp << " " << b;
            EXPECT_EQ(static_cast<unsigned char>(back), b) << cp;
            EXPECT_EQ(used, 0) << cp << " " << b;
        }
        // Every page defines at least ASCII and most of the upper half.
        EXPECT_GE(defined, 200) << cp;
    }
}

TEST(CodePage, MultiByteToMultiByte)
{
    char buf[16];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(MultiByteToMultiByte(1252, "caf\xE9", -1, 65001, buf, 16, 0), 6);
    EXPECT_EQ(std::string(buf, 6), std::string("caf\xC3\xA9\0", 6));
    EXPECT_EQ(MultiByteToMultiByte(1252, "caf\xE9", 4, 65001, nullptr, 0, 0), 5);
    EXPECT_EQ(MultiByteToMultiByte(65001, "\xE2\x82\xAC", 3, 1252, buf, 16, 0), 1);
    EXPECT_EQ(buf[0], '\x80');
    EXPECT_EQ(MultiByteToMultiByte(1251, "\xC0", 1, 65001, buf, 16, 0), 2);
    EXPECT_EQ(std::string(buf, 2), "\xD0\x90");
    // Too small, not representable, invalid, null.
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(MultiByteToMultiByte(1252, "caf\xE9", 4, 65001, buf, 4, 0), 0);
    EXPECT_EQ(buf[4], '#');
    EXPECT_EQ(MultiByteToMultiByte(1252, "\xE9", 1, 1251, buf, 16, 0), 0);
    EXPECT_EQ(MultiByteToMultiByte(65001, "\xFF", 1, 1252, buf, 16, 0), 0);
    EXPECT_EQ(MultiByteToMultiByte(65001, nullptr, -1, 1252, buf, 16, 0), 0);
}

TEST(CodePage, Tables)
{
    EXPECT_STREQ(CodePageToIConv(1), "CP437");
    EXPECT_STREQ(CodePageToIConv(874), "CP874");
    EXPECT_STREQ(CodePageToIConv(932), "CP932");
    EXPECT_STREQ(CodePageToIConv(950), "CP950");
    EXPECT_STREQ(CodePageToIConv(1253), "CP1253");
    EXPECT_STREQ(CodePageToIConv(1258), "CP1258");
    EXPECT_STREQ(CodePageToIConv(1361), "CP1361");
    EXPECT_STREQ(CodePageToIConv(50220), "ISO-2022-JP");
    EXPECT_STREQ(CodePageToIConv(65001), "UTF-8");
    for (unsigned cp : {0u, 1252u, 2u, 1200u, 0xFFFFFFFFu})
        EXPECT_STREQ(CodePageToIConv(cp), "CP1252") << cp;
    // Every name must open in both directions.
    for (unsigned cp : {1u, 874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u,
                        1256u, 1257u, 1258u, 1361u, 50220u, 65001u}) {
        for (int dir = 0; dir < 2; ++dir) {
            iconv_t cd = dir ? iconv_open("UTF-32LE", CodePageToIConv(cp)) : iconv_open(CodePageToIConv(cp), "UTF-32LE");
            EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << cp;
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
        }
    }

    const struct {
        int charset;
        unsigned cp;
    } rows[] = {{0, 1252},    {128, 932},  {129, 949},  {130, 1361}, {134, 936},  {136, 950},
                {161, 1253},  {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
                {204, 1251},  {222, 874},  {238, 1250}, {65001, 65001}};
    for (const auto& r : rows) {
        EXPECT_EQ(dwGetCodePageFromCharset(r.charset), r.cp) << r.charset;
        EXPECT_EQ(nGetCharsetFromCodePage(r.cp), r.charset) << r.cp;
    }
    EXPECT_EQ(dwGetCodePageFromCharset(255), 1252u);
    EXPECT_EQ(dwGetCodePageFromCharset(1), 0u);
    EXPECT_EQ(dwGetCodePageFromCharset(127), 0u);
    EXPECT_EQ(nGetCharsetFromCodePage(0), 127);
    EXPECT_EQ(nGetCharsetFromCodePage(1), -1);
    EXPECT_EQ(nGetCharsetFromCodePage(437), -1);

    const struct {
        int charset;
        unsigned short lang;
    } langs[] = {{128, 17},  {129, 18}, {130, 18},  {134, 2052}, {136, 1028}, {161, 8},  {162, 31},
                 {163, 42},  {177, 13}, {178, 1},   {186, 37},   {204, 1049}, {222, 30}, {238, 21},
                 {0, 0},     {255, 0},  {65001, 0}};
    for (const auto& l : langs)
        EXPECT_EQ(wGetLanguageID(l.charset), l.lang) << l.charset;

    // Language to charset: primary in the low 10 bits, sub-language above.
    EXPECT_EQ(nGetCharsetFromLanguage(1), 178);
    EXPECT_EQ(nGetCharsetFromLanguage(0x0419), 204);   // Russian
    EXPECT_EQ(nGetCharsetFromLanguage(0x0804), 134);   // Chinese, PRC
    EXPECT_EQ(nGetCharsetFromLanguage(0x0404), 136);   // Chinese, Taiwan (sub-language 1)
    EXPECT_EQ(nGetCharsetFromLanguage(0x0C04), 134);   // sub-language 3
    EXPECT_EQ(nGetCharsetFromLanguage(0x0415), 238);   // Polish
    EXPECT_EQ(nGetCharsetFromLanguage(0x0408), 161);
    EXPECT_EQ(nGetCharsetFromLanguage(0x040D), 177);
    EXPECT_EQ(nGetCharsetFromLanguage(0x0411), 128);
    EXPECT_EQ(nGetCharsetFromLanguage(0x0412), 129);
    EXPECT_EQ(nGetCharsetFromLanguage(0x0C1A), 204);   // 26, sub-language 3
    EXPECT_EQ(nGetCharsetFromLanguage(0x081A), 238);   // 26, sub-language 2
    EXPECT_EQ(nGetCharsetFromLanguage(0x041E), 222);
    EXPECT_EQ(nGetCharsetFromLanguage(0x041F), 162);
    for (unsigned p : {37u, 38u, 39u})
        EXPECT_EQ(nGetCharsetFromLanguage(0x0400 | p), 186) << p;
    EXPECT_EQ(nGetCharsetFromLanguage(0x042A), 163);
    EXPECT_EQ(nGetCharsetFromLanguage(0x042B), 65001);
    EXPECT_EQ(nGetCharsetFromLanguage(55), 65001);
    EXPECT_EQ(nGetCharsetFromLanguage(0x0843), 204);   // 67, sub-language 2
    EXPECT_EQ(nGetCharsetFromLanguage(0x0443), 238);
    for (unsigned p : {2u, 25u, 34u, 35u})
        EXPECT_EQ(nGetCharsetFromLanguage(p), 204) << p;
    for (unsigned p : {5u, 14u, 21u, 24u, 27u, 28u, 36u, 47u})
        EXPECT_EQ(nGetCharsetFromLanguage(p), 238) << p;
    EXPECT_EQ(nGetCharsetFromLanguage(0x040C), 0);     // French
    EXPECT_EQ(nGetCharsetFromLanguage(68), 0);
    EXPECT_EQ(nGetCharsetFromLanguage(0x0400 | 68), 0);
    EXPECT_EQ(GetCharSetFromLanguageID(0x042B), 233);
    EXPECT_EQ(GetCharSetFromLanguageID(0x0419), 204);
}

TEST(CodePage, AllocatingConversions)
{
    wchar_t* w = reinterpret_cast<wchar_t*>(1);
    int n = 9;
    EXPECT_EQ(STR_CharToWChar_AnyCodepage("", 0, 1252, &w, &n, 0), 0);
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(STR_CharToWChar_AnyCodepage("", -1, 1252, &w, &n, 0), 1);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(w[0], 0);
    std::free(w);

    ASSERT_EQ(STR_CharToWChar_AnyCodepage("a\x80" "c", 3, 1252, &w, &n, 0), 1);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(std::wstring(w, 4), std::wstring(L"a\u20ACc\0", 4));
    std::free(w);
    ASSERT_EQ(STR_CharToWChar_AnyCodepage("\xC3\xA9t\xC3\xA9", -1, 65001, &w, &n, 0), 1);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(std::wstring(w, 5), std::wstring(L"\u00E9t\u00E9\0\0", 5));
    std::free(w);

    // Failure clears both outputs.
    w = reinterpret_cast<wchar_t*>(1);
    n = 9;
    EXPECT_EQ(STR_CharToWChar_AnyCodepage("\xC3", 1, 65001, &w, &n, 0), 0);
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(STR_CharToWChar_AnyCodepage(nullptr, -1, 65001, &w, &n, 0), 0);
    EXPECT_EQ(w, nullptr);

    ASSERT_EQ(STR_CharToWChar(&w, "\x9F"), 1);
    EXPECT_STREQ(w, L"\u0178");
    std::free(w);

    char* a = reinterpret_cast<char*>(1);
    EXPECT_EQ(STR_WCharToChar_AnyCodepage(L"", 0, &a, &n, 1252), 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(STR_WCharToChar_AnyCodepage(L"", -1, &a, &n, 1252), 1);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(a[0], 0);
    std::free(a);
    ASSERT_EQ(STR_WCharToChar_AnyCodepage(L"\u20AC\u4E00", 2, &a, &n, 65001), 1);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(std::string(a, 7), std::string("\xE2\x82\xAC\xE4\xB8\x80\0", 7));
    std::free(a);
    ASSERT_EQ(STR_WCharToChar_AnyCodepage(L"x\u4E00", -1, &a, &n, 1252), 1);
    EXPECT_EQ(n, 3);
    EXPECT_STREQ(a, "x?");
    std::free(a);

    // Same page: a copy whose count leaves the terminator out.
    ASSERT_EQ(STR_CharToChar_AnyCodepage("ab\xE9", -1, 1252, &a, &n, 1252), 1);
    EXPECT_EQ(n, 3);
    EXPECT_STREQ(a, "ab\xE9");
    std::free(a);
    ASSERT_EQ(STR_CharToChar_AnyCodepage("abcd", 2, 932, &a, &n, 932), 1);
    EXPECT_EQ(n, 2);
    EXPECT_STREQ(a, "ab");
    std::free(a);
    ASSERT_EQ(STR_CharToChar_AnyCodepage("ab\xE9", -1, 1252, &a, &n, 65001), 1);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(std::string(a, 6), std::string("ab\xC3\xA9\0\0", 6));
    std::free(a);
    ASSERT_EQ(STR_CharToChar_AnyCodepage("\x82\xA0", 2, 932, &a, &n, 65001), 1);
    EXPECT_EQ(n, 3);
    EXPECT_STREQ(a, "\xE3\x81\x82");
    std::free(a);
    a = reinterpret_cast<char*>(1);
    EXPECT_EQ(STR_CharToChar_AnyCodepage("\xC3", 1, 65001, &a, &n, 1252), 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(STR_CharToChar_AnyCodepage(nullptr, -1, 1252, &a, &n, 1252), 0);
}

TEST(CodePage, CurrentCharsetConversions)
{
    CurrentSettingsGuard guard;
    wchar_t* w = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(STR_CharToWChar_CurrentCharset(&w, nullptr, 0, -1), 1);
    EXPECT_EQ(w, nullptr);

    TestHost().SetCurrent(204, 1251, 1049);
    ASSERT_EQ(STR_CharToWChar_CurrentCharset(&w, "\xC0\xFF", 0, -1), 1);
    EXPECT_STREQ(w, L"\u0410\u044F");
    std::free(w);
    char* a = nullptr;
    ASSERT_EQ(STR_WCharToChar_CurrentCharset(&a, L"\u0401", -1), 1);
    EXPECT_STREQ(a, "\xA8");
    std::free(a);
    EXPECT_EQ(STR_CharToWChar_CurrentCharset('\xC1', 0), 0x0411);

    TestHost().SetCurrent(0, 1252, 1036);
    ASSERT_EQ(STR_CharToWChar_CurrentCharset(&w, "\xC0", 0, 1), 1);
    EXPECT_STREQ(w, L"\u00C0");
    std::free(w);
    EXPECT_EQ(STR_CharToWChar_CurrentCharset('\x80', 0), 0x20AC);
}

TEST(CodePage, OneCharacter)
{
    EXPECT_EQ(STR_CharToWChar('\x80', 0, 1252), 0x20AC);
    EXPECT_EQ(STR_CharToWChar('A', 0, 65001), L'A');
    EXPECT_EQ(STR_CharToWChar('\xE0', 0, 1255), 0x05D0);
    EXPECT_EQ(STR_CharToWChar('\x82', 0, 932), 0);  // a lead byte alone
    EXPECT_EQ(STR_WCharToAChar(0x20AC, 0, 1252), -128);
    EXPECT_EQ(STR_WCharToAChar(L'z', 0, 1252), 'z');
    EXPECT_EQ(STR_WCharToAChar(0x0416, 0, 1251), static_cast<signed char>('\xC6'));
    EXPECT_EQ(STR_WCharToAChar(0x4E00, 0, 1252), '?');
    EXPECT_EQ(STR_WCharToAChar(0x3042, 0, 932), 0);  // two bytes do not fit in one
}

TEST(CodePage, HostLanguageCopies)
{
    char* a = pszXSTR2CSTR(L"a\u20ACb\u4E00", -1);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a, "a\x80" "b?");
    std::free(a);
    a = pszXSTR2CSTR(L"abcd", 2);
    EXPECT_STREQ(a, "ab");
    std::free(a);
    a = pszXSTR2CSTR(L"", -1);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a, "");
    std::free(a);
    EXPECT_EQ(pszXSTR2CSTR(nullptr, -1), nullptr);

    wchar_t* w = pszCSTR2XSTR("a\x80", -1, 1252);
    EXPECT_STREQ(w, L"a\u20AC");
    std::free(w);
    w = pszCSTR2XSTR("abcd", 2, 1252);
    EXPECT_STREQ(w, L"ab");
    std::free(w);
    w = pszCSTR2XSTR("\xC3\xA9\xC3\xA9", -1, 65001);
    EXPECT_STREQ(w, L"\u00E9\u00E9");
    std::free(w);
    w = pszCSTR2XSTR(nullptr, -1, 1252);
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(w, L"");
    std::free(w);

    w = pszXSTR2WSTR(L"abc", 0);
    EXPECT_STREQ(w, L"abc");
    std::free(w);
    w = pszXSTR2WSTR(L"abc", 2);
    EXPECT_STREQ(w, L"ab");
    std::free(w);
    w = pszWSTR2XSTR(L"ab", 5);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::wstring(w, 6), std::wstring(L"ab\0\0\0\0", 6));
    std::free(w);
    EXPECT_EQ(pszWSTR2XSTR(nullptr, 3), nullptr);
}

TEST(CodePage, AnsiCompatibility)
{
    EXPECT_TRUE(bAnsiCompatible(nullptr, 1252));
    EXPECT_TRUE(bAnsiCompatible(L"", 1251));
    EXPECT_TRUE(bAnsiCompatible(L"caf\u00E9 \u20AC?", 1252));
    EXPECT_FALSE(bAnsiCompatible(L"\u0416", 1252));
    EXPECT_TRUE(bAnsiCompatible(L"\u0416", 1251));
    EXPECT_TRUE(bAnsiCompatible(L"\u4E00\u554A", 936));
    EXPECT_TRUE(bAnsiCompatible(L"\u3042", 50220));
    EXPECT_TRUE(bAnsiCompatible(std::wstring(1, wchar_t(0x1F600)).c_str(), 65001));
    EXPECT_FALSE(bAnsiCompatible(std::wstring(1, wchar_t(0xD800)).c_str(), 65001));
    EXPECT_EQ(bLatin1(nullptr), 1);
    EXPECT_EQ(bLatin1(L"\u0081\u00FF"), 1);
    EXPECT_EQ(bLatin1(L"a\u0100"), 0);
}

TEST(CodePage, PrepareConversions)
{
    CurrentSettingsGuard guard;
    TestHost().SetCurrent(204, 1251, 1049);
    const struct {
        unsigned short type;
        unsigned cp;
        unsigned short toWide;
        unsigned short toAnsi;
    } pseudo[] = {{121, 1252, 16, 16}, {122, 1252, 16, 110}, {126, 0, 16, 16},
                  {127, 0, 16, 110},   {130, 1251, 16, 16}, {131, 1251, 16, 110}};
    for (const auto& p : pseudo) {
        for (int toWide = 0; toWide < 2; ++toWide) {
            unsigned flags = 1;
            STOCAW options{999};
            EXPECT_EQ(PrepareConversionAnsiUnicode(p.type, flags, options, toWide != 0, 1),
                      toWide ? p.toWide : p.toAnsi) << p.type;
            EXPECT_EQ(options.nCodePage, p.cp) << p.type;
            EXPECT_EQ(flags, 65u) << p.type;
            flags = 1;
            PrepareConversionAnsiUnicode(p.type, flags, options, toWide != 0, 0);
            EXPECT_EQ(flags, 1u) << p.type;
        }
        STOCAW options{999};
        EXPECT_EQ(PrepareConversionUnicodeAnsi(p.type, options), 1) << p.type;
        EXPECT_EQ(options.nCodePage, p.cp) << p.type;
    }
    unsigned flags = 0;
    STOCAW options{999};
    EXPECT_EQ(PrepareConversionAnsiUnicode(18, flags, options, true, 1), 19);
    EXPECT_EQ(PrepareConversionAnsiUnicode(18, flags, options, false, 1), 18);
    EXPECT_EQ(PrepareConversionAnsiUnicode(110, flags, options, true, 1), 16);
    EXPECT_EQ(PrepareConversionAnsiUnicode(110, flags, options, false, 1), 110);
    EXPECT_EQ(PrepareConversionAnsiUnicode(123, flags, options, true, 1), 123);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(options.nCodePage, 999u);
    for (unsigned short t : {123, 124, 125, 128, 129, 16, 19})
        EXPECT_EQ(PrepareConversionUnicodeAnsi(t, options), 0) << t;
    EXPECT_EQ(options.nCodePage, 999u);
}

TEST(CodePage, CurrentSettingsFromLocaleService)
{
    CurrentSettingsGuard guard;
    EXPECT_EQ(STR_piGetInfoLocale(), CInformationDLL::ms_piInfoLocale);
    ASSERT_NE(STR_piGetInfoLocale(), nullptr);

    TestHost().SetCurrent(127, 1251, 1049);
    TestHost().ClearLocaleCalls();
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
    EXPECT_EQ(STR_nGetCurrentChangeCharsetInterne(), 127);
    EXPECT_EQ(STR_nGetCurrentCodePage(), 1251u);
    EXPECT_EQ(STR_nGetCurrentLCID(), 1049u);
    STR_nGetSafeCurrentLCID();
    ASSERT_EQ(TestHost().nLocaleCalls(), 5u);
    const int slots[] = {2, 2, 3, 4, 15};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(TestHost().LocaleCall(i).nSlot, slots[i]) << i;

    TestHost().SetCurrent(161, 1253, 1032);
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 161);
    EXPECT_EQ(STR_nGetCurrentCodePage(), 1253u);
    EXPECT_EQ(STR_nGetCurrentLCID(), 1032u);

    // Before the host hands the service over.
    IInfoLocale* saved = CInformationDLL::ms_piInfoLocale;
    CInformationDLL::ms_piInfoLocale = nullptr;
    EXPECT_EQ(STR_nGetCurrentCodePage(), 0u);
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
    EXPECT_NE(STR_nGetCurrentLCID(), 0u);
    EXPECT_NE(STR_nGetSafeCurrentLCID(), 0u);
    EXPECT_EQ(STR_CharToWChar_CurrentCharset('\x80', 0), 0x20AC);
    char key[8];
    EXPECT_EQ(STR_nMapStringEx_Charset(204, 1, key, 8, "ab", 2), 0);
    CInformationDLL::ms_piInfoLocale = saved;
}

TEST(CodePage, MappingByCharset)
{
    TestHost().ClearLocaleCalls();
    char dst[8] = {};
    EXPECT_EQ(STR_nMapStringEx_Charset(204, 1, dst, 8, "abc", 3), 3);
    EXPECT_STREQ(dst, "ABC");
    wchar_t wdst[8] = {};
    EXPECT_EQ(STR_nMapStringEx_Charset(128, 1, wdst, 8, L"xy", -1), 2);
    EXPECT_STREQ(wdst, L"XY");
    unsigned char key[64];
    EXPECT_GT(STR_MapStringSortEx_Charset(238, key, 64, L"ab", 2), 0);
    EXPECT_EQ(STR_nMapStringEx_Charset(0, 2, dst, 8, "\xE9", 1), 1);

    ASSERT_EQ(TestHost().nLocaleCalls(), 4u);
    HostLocaleCall c = TestHost().LocaleCall(0);
    EXPECT_EQ(c.nSlot, 11);
    EXPECT_EQ(c.nLCID, 1049u);
    EXPECT_EQ(c.nFlags, 1u);
    EXPECT_EQ(c.nSrcLen, 3);
    EXPECT_EQ(c.nOtherLen, 8);
    c = TestHost().LocaleCall(1);
    EXPECT_EQ(c.nSlot, 12);
    EXPECT_EQ(c.nLCID, 17u);
    EXPECT_EQ(c.nSrcLen, -1);
    c = TestHost().LocaleCall(2);
    EXPECT_EQ(c.nSlot, 9);
    EXPECT_EQ(c.nLCID, 21u);
    EXPECT_EQ(c.nSrcLen, 2);
    EXPECT_EQ(c.nOtherLen, 64);
    EXPECT_EQ(TestHost().LocaleCall(3).nLCID, 0u);
}

TEST(CodePage, ChangeLocaleLeavesOtherCharsetsAlone)
{
    const std::string before = std::setlocale(LC_ALL, nullptr);
    for (int charset : {0, 128, 186, 238, 255, 65001, 3})
        ChangeLocale(charset);
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), before);
    // Locales named the Windows way may not exist here; the call must stay harmless.
    for (int charset : {161, 162, 177, 178, 204})
        ChangeLocale(charset);
    std::setlocale(LC_ALL, before.c_str());
}

TEST(CodePage, ConcurrentConversions)
{
    // Converters are shared between calls; threads must not see each
    // other's state.
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 300; ++i) {
                if (ToWide(1255, "\xE0\xE1\xE2") != L"\u05D0\u05D1\u05D2")
                    ++failures[t];
                if (ToBytes(50220, L"a\u3042b") != "a\x1B$B\x24\x22\x1B(Bb")
                    ++failures[t];
                if (ToWide(65001, "\xE2\x82\xAC") != L"\u20AC")
                    ++failures[t];
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(failures[t], 0) << t;
}

// UTF-8 is converted without iconv: random byte strings, well-formed or not,
// must give what the C library's strict converter gives.
TEST(CodePage, Utf8AgreesWithTheCLibrary)
{
    iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::mt19937 rng(7);
    const unsigned char pieces[] = {'a', 0x7F, 0x80, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xA0, 0xED, 0x9F,
                                    0xEF, 0xF0, 0x90, 0xF4, 0x8F, 0xF5, 0xFF, 0x00};
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        const int len = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < len; ++i)
            bytes.push_back(static_cast<char>(pieces[rng() % sizeof(pieces)]));

        std::vector<char32_t> expected(bytes.size() + 1);
        char* in = &bytes[0];
        size_t inLeft = bytes.size();
        char* out = reinterpret_cast<char*>(expected.data());
        size_t outLeft = expected.size() * sizeof(char32_t);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool bValid = iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
        const size_t nExpected = (expected.size() * sizeof(char32_t) - outLeft) / sizeof(char32_t);

        wchar_t buf[16];
        const int n = MultiByteToWideChar(65001, 8, bytes.data(), static_cast<int>(bytes.size()), buf, 16);
        ASSERT_EQ(n > 0, bValid) << "round " << round;
        if (bValid) {
            ASSERT_EQ(static_cast<size_t>(n), nExpected);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(static_cast<char32_t>(buf[i]), expected[static_cast<size_t>(i)]);
            // The encoder gives the same bytes back.
            char back[64];
            ASSERT_EQ(WideCharToMultiByte(65001, 0, buf, n, back, sizeof(back), nullptr, nullptr),
                      static_cast<int>(bytes.size()));
            ASSERT_EQ(std::string(back, bytes.size()), bytes);
        }
    }
    iconv_close(cd);
}
