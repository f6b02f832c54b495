#include "common/text/Escape.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
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

template <class T>
std::basic_string<T> Take(T* p)
{
    EXPECT_NE(p, nullptr);
    std::basic_string<T> s = p != nullptr ? p : std::basic_string<T>();
    std::free(p);
    return s;
}

// Runs the 8-bit and the wide in-place form on copies of s; both must agree.
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

struct Row {
    const char* src;
    Switches s;
    char cQuoteEscape, cEscape;
    const char* expected;
};

}  // namespace

TEST(Escape, Switches)
{
    const Row rows[] = {
        // Every switch on makes the text literal; with another escape
        // character backslashes are doubled for the literal.
        {"it's 50%", kAll, '\'', '\\', "it''s 50\\%"},
        {"a\\b!c", kAll, '\'', '!', "a\\\\b!!c"},
        {"!%", kAll, '\'', '!', "!!!%"},
        // doubleEscape alone doubles lone escape characters only.
        {"a!b", {0, 0, 1, 0, 0, 0, 0, 0}, '\'', '!', "a!!b"},
        {"!%!_!!", {0, 0, 1, 0, 0, 0, 0, 0}, '\'', '!', "!%!_!!"},
        {"!!", {0, 0, 1, 0, 0, 0, 0, 1}, '\'', '!', "!!!!"},
        // keepPercent does not keep "_", and the other way round.
        {"!_", {0, 0, 1, 1, 0, 1, 0, 0}, '\'', '!', "!_"},
        {"a%b_c", {0, 0, 0, 0, 1, 0, 0, 0}, '\'', '!', "a%b!_c"},
        {"it's", {1, 0, 0, 0, 0, 0, 0, 0}, '\\', '!', "it\\'s"},
        {"a!b\\c'", {0, 0, 0, 0, 0, 0, 0, 0}, '\'', '!', "a!b\\c'"},
        // A quote is a quote first, never the escape character.
        {"'%", {1, 0, 1, 0, 0, 1, 0, 0}, '\\', '\'', "\\'%"},
        // A backslash that is the escape character follows the escape rules.
        {"a\\b", {0, 1, 1, 0, 0, 0, 0, 0}, '\'', '\\', "a\\\\b"},
        // An escape character at the end is a lone one.
        {"a!", {0, 0, 1, 0, 0, 1, 1, 1}, '\'', '!', "a!!"},
        // The longest expansion stays within twice the length.
        {"!%!_!!!%", kAll, '\'', '!', "!!!%!!!_!!!!!!!%"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Esc(r.src, r.s, r.cQuoteEscape, r.cEscape), r.expected) << r.src;
}

TEST(Escape, AllocatingForms)
{
    EXPECT_EQ(Take(pszEscape(L"it's 50%", 1, 1, 1, 1, 1, 1, 1, 1, L'\'', L'\\')), L"it''s 50\\%");
    // The LIKE value form: only lone escape characters doubled.
    EXPECT_EQ(Take(pszEscape("a!b!%c!_d'", '!')), "a!!b!%c!_d'");
    // Beyond the stack work area (2047 bytes): 8-bit and wide.
    std::string strExpected;
    for (int i = 0; i < 1500; ++i)
        strExpected += "!%";
    EXPECT_EQ(Take(pszEscape(std::string(1500, '%').c_str(), 0, 0, 0, 1, 0, 0, 0, 0, '\'', '!')), strExpected);
    const std::wstring wstrLong(600, L'\'');
    EXPECT_EQ(Take(pszEscape(wstrLong.c_str(), 1, 0, 0, 0, 0, 0, 0, 0, L'\'', L'!')), std::wstring(1200, L'\''));
}

TEST(Escape, ChangeEscapeRewritesEscapedWildcards)
{
    std::vector<char> dst(64, '#');
    ChangeEscape("a!%b!_c!!d!e!", dst.data(), "%", "[", "]", "_", "{", "}", '!');
    EXPECT_STREQ(dst.data(), "a[%]b{_}c!d!e!");
    // After a pair the next character is read afresh.
    EXPECT_EQ(Take(pszChangeEscape("!!!%", "P", "<", ">", "U", "(", ")", '!')), "!<P>");
    EXPECT_EQ(Take(pszChangeEscape(L"x!%y!_", L"%", nullptr, nullptr, L"_", L"\\", nullptr, L'!')), L"x%y\\_");

    // Worst case: every pair replaced by a long triple, on the heap and
    // into an exact buffer.
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

TEST(Escape, PurgeInPlace)
{
    const auto Quote = [](const std::string& s, int bBackSlash) {
        return InPlace(s, [=](char* p) { PurgeQuote(p, bBackSlash); },
                       [=](wchar_t* p) { PurgeQuote(p, bBackSlash); });
    };
    const std::pair<const char*, const char*> quotes[] = {
        {"''", "''"}, {"'''", "''"}, {"it''s", "it's"}, {"''a", "'a"}, {"'", "'"}, {"it\\'s", "it's"},
        // The scan goes on before the removed backslash.
        {"\\\\'", "\\'"}, {"a\\b", "a\\b"}};
    for (const auto& q : quotes)
        EXPECT_EQ(Quote(q.first, 1), q.second) << q.first;
    EXPECT_EQ(Quote("it\\'s", 0), "it\\'s");
    PurgeQuote(static_cast<char*>(nullptr));

    const auto Purge = [](const std::string& s) {
        return InPlace(s, [](char* p) { PurgeEscape(p, '!'); }, [](wchar_t* p) { PurgeEscape(p, L'!'); });
    };
    EXPECT_EQ(Purge("!%!_!!!a"), "%_!!a");
    EXPECT_EQ(Purge("!!%a!"), "!%a!");
    const auto PurgeEE = [](const std::string& s) {
        return InPlace(s, [](char* p) { PurgeEscapeEscape(p, '!'); }, [](wchar_t* p) { PurgeEscapeEscape(p, L'!'); });
    };
    EXPECT_EQ(PurgeEE("!!!"), "!!");
    EXPECT_EQ(PurgeEE("!%!_"), "!%!_");
    const auto PurgeBS = [](const std::string& s) {
        return InPlace(s, [](char* p) { PurgeEscapeBackSlash(p); }, [](wchar_t* p) { PurgeEscapeBackSlash(p); });
    };
    EXPECT_EQ(PurgeBS("a\\\\b it\\'s it''s"), "a\\b it's it's");
    EXPECT_EQ(PurgeBS("\\\\'"), "'");
    EXPECT_EQ(PurgeBS("''"), "''");
}

TEST(Escape, Verrue)
{
    const std::pair<const char*, const char*> backslash[] = {
        {"a'b", "a\\'b"},
        {"a''b", "a\\'b"},
        {"a\\'b", "a\\'b"},
        {"a\\b", "a\\\\b"},
        // An escape character before a quote is a lone one; the quote keeps
        // its own backslash.
        {"\\\\'", "\\\\\\'"},
        {"a\\", "a\\\\"}};
    for (const auto& r : backslash)
        EXPECT_EQ(Verrue(r.first, L'\\'), r.second) << r.first;
    EXPECT_EQ(Take(pszVerrueEscapeMySQL(static_cast<const char*>(nullptr), L'\\')), "");

    const std::pair<const char*, const char*> bang[] = {
        {"a!_b!!c", "a!_b!!c"}, {"a!", "a!!"}, {"!'", "!!\\'"},
        // Backslashes are plain characters of the pattern: doubled for MySQL.
        {"a\\%", "a\\\\%"}, {"a\\'b", "a\\'b"}};
    for (const auto& r : bang)
        EXPECT_EQ(Verrue(r.first, L'!'), r.second) << r.first;
    // The 8-bit form takes the Windows-1252 byte of the escape character.
    EXPECT_EQ(Verrue("a\x80" "b", L'\u20AC'), "a\x80\x80" "b");
    EXPECT_EQ(Take(pszVerrueEscapeMySQL(L"a\u20ACb", L'\u20AC')), L"a\u20AC\u20ACb");
    // A quote as escape character stays escaped when doubled.
    EXPECT_EQ(Verrue("x'y", L'\''), "x\\'\\'y");
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
