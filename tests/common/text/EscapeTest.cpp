#include "common/text/Escape.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// The eight switches in their order: quote, backslash, doubleEscape,
// percent, underscore, keepPercent, keepUnderscore, quadrupleEscape.
struct Switches {
    int q, b, d, p, u, kp, ku, qq;
};
const Switches kAll = {1, 1, 1, 1, 1, 1, 1, 1};
const Switches kNone = {0, 0, 0, 0, 0, 0, 0, 0};

std::wstring Widen(const std::string& s)
{
    std::wstring w;
    for (char c : s)
        w += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return w;
}

// Escape into an exact-size heap buffer of 2 x length + 1, so that the
// sanitizer sees any write beyond it; the wide form must give the same.
std::string Esc(const std::string& src, Switches s, char cQuoteEscape, char cEscape)
{
    std::vector<char> dst(2 * src.size() + 1, '#');
    Escape(src.c_str(), dst.data(), s.q, s.b, s.d, s.p, s.u, s.kp, s.ku, s.qq, cQuoteEscape, cEscape);
    const std::string res(dst.data());

    const std::wstring wsrc = Widen(src);
    std::vector<wchar_t> wdst(2 * wsrc.size() + 1, L'#');
    Escape(wsrc.c_str(), wdst.data(), s.q, s.b, s.d, s.p, s.u, s.kp, s.ku, s.qq, static_cast<wchar_t>(cQuoteEscape),
           static_cast<wchar_t>(cEscape));
    EXPECT_EQ(std::wstring(wdst.data()), Widen(res)) << "wide and 8-bit differ for " << src;
    return res;
}

std::string Take(char* p)
{
    EXPECT_NE(p, nullptr);
    std::string s = p != nullptr ? p : "";
    std::free(p);
    return s;
}

std::wstring Take(wchar_t* p)
{
    EXPECT_NE(p, nullptr);
    std::wstring s = p != nullptr ? p : L"";
    std::free(p);
    return s;
}

std::string Quote(const std::string& s, int bBackSlash)
{
    std::vector<char> buf(s.begin(), s.end());
    buf.push_back(0);
    PurgeQuote(buf.data(), bBackSlash);
    std::vector<wchar_t> wbuf(s.begin(), s.end());
    wbuf.push_back(0);
    PurgeQuote(wbuf.data(), bBackSlash);
    EXPECT_EQ(std::wstring(wbuf.data()), Widen(buf.data()));
    return buf.data();
}

template <typename F, typename G>
std::string InPlace(const std::string& s, F fn, G wfn)
{
    std::vector<char> buf(s.begin(), s.end());
    buf.push_back(0);
    fn(buf.data());
    std::vector<wchar_t> wbuf(s.begin(), s.end());
    wbuf.push_back(0);
    wfn(wbuf.data());
    EXPECT_EQ(std::wstring(wbuf.data()), Widen(buf.data()));
    return buf.data();
}

std::string Verrue(const std::string& s, wchar_t cEscape)
{
    const std::string res = Take(pszVerrueEscapeMySQL(s.c_str(), cEscape));
    if (cEscape < 128) {
        EXPECT_EQ(Take(pszVerrueEscapeMySQL(Widen(s).c_str(), cEscape)), Widen(res));
    }
    return res;
}

// Whether s can stand between quotes in a MySQL literal: every quote is
// taken by a backslash before it, and no backslash is left at the end.
bool bSafeLiteralBody(const std::string& s)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            if (i + 1 == s.size())
                return false;
            ++i;
        } else if (s[i] == '\'') {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(Escape, EverySwitchOnMakesTextLiteral)
{
    EXPECT_EQ(Esc("it's 50%", kAll, '\'', '\\'), "it''s 50\\%");
    EXPECT_EQ(Esc("\\", kAll, '\'', '\\'), "\\\\");
    EXPECT_EQ(Esc("a_b", kAll, '\'', '\\'), "a\\_b");
    // With another escape character: backslashes doubled for the literal,
    // the escape character and wildcards escaped for the pattern.
    EXPECT_EQ(Esc("a\\b!c", kAll, '\'', '!'), "a\\\\b!!c");
    EXPECT_EQ(Esc("!%", kAll, '\'', '!'), "!!!%");
    EXPECT_EQ(Esc("!_", kAll, '\'', '!'), "!!!_");
    EXPECT_EQ(Esc("!!", kAll, '\'', '!'), "!!!!");
    EXPECT_EQ(Esc("", kAll, '\'', '!'), "");
}

TEST(Escape, SwitchesActAlone)
{
    const Switches kDouble = {0, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(Esc("!%", kDouble, '\'', '!'), "!%");
    EXPECT_EQ(Esc("!_", kDouble, '\'', '!'), "!_");
    EXPECT_EQ(Esc("!", kDouble, '\'', '!'), "!!");
    EXPECT_EQ(Esc("a!b", kDouble, '\'', '!'), "a!!b");
    EXPECT_EQ(Esc("!!", kDouble, '\'', '!'), "!!");
    EXPECT_EQ(Esc("%_'\\", kDouble, '\'', '!'), "%_'\\");

    EXPECT_EQ(Esc("!!", {0, 0, 1, 0, 0, 0, 0, 1}, '\'', '!'), "!!!!");
    EXPECT_EQ(Esc("!!", {0, 0, 0, 0, 0, 0, 0, 1}, '\'', '!'), "!!");
    EXPECT_EQ(Esc("!%", {0, 0, 1, 0, 0, 1, 0, 0}, '\'', '!'), "!!%");
    EXPECT_EQ(Esc("!%", {0, 0, 0, 1, 0, 1, 0, 0}, '\'', '!'), "!!%");
    EXPECT_EQ(Esc("!_", {0, 0, 1, 0, 1, 0, 1, 0}, '\'', '!'), "!!!_");
    // keepPercent does not keep "_", and the other way round.
    EXPECT_EQ(Esc("!_", {0, 0, 1, 1, 0, 1, 0, 0}, '\'', '!'), "!_");
    EXPECT_EQ(Esc("a%b_c", {0, 0, 0, 1, 0, 0, 0, 0}, '\'', '!'), "a!%b_c");
    EXPECT_EQ(Esc("a%b_c", {0, 0, 0, 0, 1, 0, 0, 0}, '\'', '!'), "a%b!_c");
    EXPECT_EQ(Esc("it's", {1, 0, 0, 0, 0, 0, 0, 0}, '\\', '!'), "it\\'s");
    EXPECT_EQ(Esc("a\\b", {0, 1, 0, 0, 0, 0, 0, 0}, '\'', '!'), "a\\\\b");
    EXPECT_EQ(Esc("a!b\\c'", kNone, '\'', '!'), "a!b\\c'");
}

TEST(Escape, QuoteAndBackslashAsEscapeCharacter)
{
    // A quote is a quote first, never the escape character.
    EXPECT_EQ(Esc("'%", {0, 0, 1, 0, 0, 1, 0, 0}, '\'', '\''), "'%");
    EXPECT_EQ(Esc("'%", {1, 0, 1, 0, 0, 1, 0, 0}, '\\', '\''), "\\'%");
    // A backslash that is the escape character follows the escape rules,
    // not the backslash switch.
    EXPECT_EQ(Esc("a\\b", {0, 1, 0, 0, 0, 0, 0, 0}, '\'', '\\'), "a\\b");
    EXPECT_EQ(Esc("a\\b", {0, 1, 1, 0, 0, 0, 0, 0}, '\'', '\\'), "a\\\\b");
    // An escape character at the end is a lone one.
    EXPECT_EQ(Esc("a!", {0, 0, 1, 0, 0, 1, 1, 1}, '\'', '!'), "a!!");
}

TEST(Escape, OutputStaysWithinTwiceTheLength)
{
    // The longest expansions: every character doubled, every escaped
    // wildcard and escape pair made four. Esc checks against exact buffers.
    for (const char* psz : {"''''", "!%!_!!!%", "\\%_\\", "!%!", "%%%%%%%", "'!%'!_"}) {
        const std::string res = Esc(psz, kAll, '\'', '!');
        EXPECT_LE(res.size(), 2 * std::strlen(psz)) << psz;
    }
    EXPECT_EQ(Esc("!%!_!!!%", kAll, '\'', '!'), "!!!%!!!_!!!!!!!%");
}

TEST(Escape, AllocatingForms)
{
    EXPECT_EQ(Take(pszEscape("it's 50%", 1, 1, 1, 1, 1, 1, 1, 1, '\'', '\\')), "it''s 50\\%");
    EXPECT_EQ(Take(pszEscape(L"it's 50%", 1, 1, 1, 1, 1, 1, 1, 1, L'\'', L'\\')), L"it''s 50\\%");
    // The LIKE value form: only lone escape characters doubled.
    EXPECT_EQ(Take(pszEscape("a!b!%c!_d'", '!')), "a!!b!%c!_d'");
    EXPECT_EQ(Take(pszEscape(L"a!b!%c!_d'", L'!', L'\'')), L"a!!b!%c!_d'");
    EXPECT_EQ(Take(pszEscape(static_cast<const char*>(nullptr), '!')), "");

    // Beyond the stack work area (2047 bytes): 8-bit and wide.
    const std::string strLong(1500, '%');
    std::string strExpected;
    for (int i = 0; i < 1500; ++i)
        strExpected += "!%";
    EXPECT_EQ(Take(pszEscape(strLong.c_str(), 0, 0, 0, 1, 0, 0, 0, 0, '\'', '!')), strExpected);
    const std::wstring wstrLong(600, L'\'');
    EXPECT_EQ(Take(pszEscape(wstrLong.c_str(), 1, 0, 0, 0, 0, 0, 0, 0, L'\'', L'!')), std::wstring(1200, L'\''));
}

TEST(Escape, ChangeEscapeRewritesEscapedWildcards)
{
    const char* pszSrc = "a!%b!_c!!d!e!";
    std::vector<char> dst(64, '#');
    ChangeEscape(pszSrc, dst.data(), "%", "[", "]", "_", "{", "}", '!');
    EXPECT_STREQ(dst.data(), "a[%]b{_}c!d!e!");
    // After a pair the next character is read afresh.
    EXPECT_EQ(Take(pszChangeEscape("!!%", "P", "<", ">", "U", "(", ")", '!')), "!%");
    EXPECT_EQ(Take(pszChangeEscape("!!!%", "P", "<", ">", "U", "(", ")", '!')), "!<P>");
    EXPECT_EQ(Take(pszChangeEscape(L"x!%y!_", L"%", nullptr, nullptr, L"_", L"\\", nullptr, L'!')), L"x%y\\_");
    EXPECT_EQ(Take(pszChangeEscape(L"x!%y!_", L'!', L"%", L"[", L"]", L"_", L"[", L"]")), L"x[%]y[_]");

    // Worst case: every pair replaced by a long triple, on the heap.
    std::string strSrc;
    std::string strExpected;
    for (int i = 0; i < 400; ++i) {
        strSrc += "!%";
        strExpected += "<<PERCENT>>";
    }
    EXPECT_EQ(Take(pszChangeEscape(strSrc.c_str(), "PERCENT", "<<", ">>", "", "", "", '!')), strExpected);
    std::vector<char> exact(strSrc.size() + strSrc.size() / 2 * 11 + 1);
    ChangeEscape(strSrc.c_str(), exact.data(), "PERCENT", "<<", ">>", "", "", "", '!');
    EXPECT_EQ(std::string(exact.data()), strExpected);
}

TEST(Escape, PurgeQuote)
{
    EXPECT_EQ(Quote("''", 1), "''");
    EXPECT_EQ(Quote("'''", 1), "''");
    EXPECT_EQ(Quote("''''", 1), "''");
    EXPECT_EQ(Quote("it''s", 1), "it's");
    EXPECT_EQ(Quote("''a", 1), "'a");
    EXPECT_EQ(Quote("'a'", 1), "'a'");
    EXPECT_EQ(Quote("'", 1), "'");
    EXPECT_EQ(Quote("", 1), "");
    EXPECT_EQ(Quote("it\\'s", 1), "it's");
    EXPECT_EQ(Quote("it\\'s", 0), "it\\'s");
    // The scan goes on before the removed backslash.
    EXPECT_EQ(Quote("\\\\'", 1), "\\'");
    EXPECT_EQ(Quote("a\\b", 1), "a\\b");
    PurgeQuote(static_cast<char*>(nullptr));
}

TEST(Escape, PurgeEscapes)
{
    const auto Purge = [](const std::string& s) {
        return InPlace(s, [](char* p) { PurgeEscape(p, '!'); }, [](wchar_t* p) { PurgeEscape(p, L'!'); });
    };
    EXPECT_EQ(Purge("!%"), "%");
    EXPECT_EQ(Purge("!_"), "_");
    EXPECT_EQ(Purge("!!"), "!");
    EXPECT_EQ(Purge("!a"), "!a");
    EXPECT_EQ(Purge("!!%"), "!%");
    EXPECT_EQ(Purge("a!"), "a!");

    const auto PurgeEE = [](const std::string& s) {
        return InPlace(s, [](char* p) { PurgeEscapeEscape(p, '!'); },
                       [](wchar_t* p) { PurgeEscapeEscape(p, L'!'); });
    };
    EXPECT_EQ(PurgeEE("!!!"), "!!");
    EXPECT_EQ(PurgeEE("!!!!"), "!!");
    EXPECT_EQ(PurgeEE("!%!_"), "!%!_");

    const auto PurgeBS = [](const std::string& s) {
        return InPlace(s, [](char* p) { PurgeEscapeBackSlash(p); }, [](wchar_t* p) { PurgeEscapeBackSlash(p); });
    };
    EXPECT_EQ(PurgeBS("a\\\\b"), "a\\b");
    EXPECT_EQ(PurgeBS("it\\'s"), "it's");
    EXPECT_EQ(PurgeBS("it''s"), "it's");
    EXPECT_EQ(PurgeBS("\\\\'"), "'");
    EXPECT_EQ(PurgeBS("''"), "''");
}

TEST(Escape, VerrueWithBackslash)
{
    EXPECT_EQ(Verrue("a'b", L'\\'), "a\\'b");
    EXPECT_EQ(Verrue("a''b", L'\\'), "a\\'b");
    EXPECT_EQ(Verrue("a\\'b", L'\\'), "a\\'b");
    EXPECT_EQ(Verrue("a\\%b\\_c\\\\d", L'\\'), "a\\%b\\_c\\\\d");
    EXPECT_EQ(Verrue("a\\b", L'\\'), "a\\\\b");
    // An escape character before a quote is a lone one; the quote keeps its
    // own backslash.
    EXPECT_EQ(Verrue("\\\\'", L'\\'), "\\\\\\'");
    EXPECT_EQ(Verrue("\\\\\\'", L'\\'), "\\\\\\'");
    EXPECT_EQ(Verrue("a\\", L'\\'), "a\\\\");
    EXPECT_EQ(Verrue("", L'\\'), "");
    EXPECT_EQ(Take(pszVerrueEscapeMySQL(static_cast<const char*>(nullptr), L'\\')), "");
}

TEST(Escape, VerrueWithOtherEscapeCharacter)
{
    EXPECT_EQ(Verrue("a!b", L'!'), "a!!b");
    EXPECT_EQ(Verrue("a!%b", L'!'), "a!%b");
    EXPECT_EQ(Verrue("a!_b!!c", L'!'), "a!_b!!c");
    EXPECT_EQ(Verrue("a!", L'!'), "a!!");
    EXPECT_EQ(Verrue("!'", L'!'), "!!\\'");
    // Backslashes are plain characters of the pattern: doubled for MySQL.
    EXPECT_EQ(Verrue("a\\b", L'!'), "a\\\\b");
    EXPECT_EQ(Verrue("a\\%", L'!'), "a\\\\%");
    EXPECT_EQ(Verrue("a\\'b", L'!'), "a\\'b");
    // The 8-bit form takes the Windows-1252 byte of the escape character.
    EXPECT_EQ(Verrue("a\xE9"
                     "b\xE9%",
                     L'\u00E9'),
              "a\xE9\xE9"
              "b\xE9%");
    EXPECT_EQ(Verrue("a\x80"
                     "b",
                     L'\u20AC'),
              "a\x80\x80"
              "b");
    EXPECT_EQ(Take(pszVerrueEscapeMySQL(L"a\u20ACb", L'\u20AC')), L"a\u20AC\u20ACb");
    // A quote as escape character stays escaped when doubled.
    EXPECT_EQ(Verrue("x'y", L'\''), "x\\'\\'y");
    EXPECT_EQ(Verrue("'%", L'\''), "\\'%");
}

TEST(Escape, VerrueGivesSafeLiteralBodies)
{
    std::mt19937 gen(20240611);
    const char kAlphabet[] = "'\\%_!a";
    for (wchar_t cEscape : {L'\\', L'!', L'\'', L'%', L'a'}) {
        for (int i = 0; i < 3000; ++i) {
            std::string s;
            const int n = static_cast<int>(gen() % 9);
            for (int j = 0; j < n; ++j)
                s += kAlphabet[gen() % 6];
            const std::string res = Verrue(s, cEscape);
            EXPECT_TRUE(bSafeLiteralBody(res)) << "pattern " << s << " escape " << static_cast<char>(cEscape)
                                               << " gave " << res;
        }
    }
}

TEST(Escape, VerrueIsExportedByTheModule)
{
    void* hModule = dlopen(ZT_BUILD_DIR "/zt190msql.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hModule, nullptr) << dlerror();
    // The two overloads under their C++ names.
    typedef char* (*PFN_A)(const char*, wchar_t);
    typedef wchar_t* (*PFN_W)(const wchar_t*, wchar_t);
    auto pfnA = reinterpret_cast<PFN_A>(dlsym(hModule, "_Z20pszVerrueEscapeMySQLPKcw"));
    auto pfnW = reinterpret_cast<PFN_W>(dlsym(hModule, "_Z20pszVerrueEscapeMySQLPKww"));
    ASSERT_NE(pfnA, nullptr);
    ASSERT_NE(pfnW, nullptr);
    EXPECT_EQ(Take(pfnA("a'b!c", L'!')), "a\\'b!!c");
    EXPECT_EQ(Take(pfnW(L"a'b!c", L'!')), L"a\\'b!!c");
    dlclose(hModule);
}
