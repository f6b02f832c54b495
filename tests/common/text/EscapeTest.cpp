#include "common/text/Escape.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

// The 8-bit and wide forms share one template: the checks go through the
// 8-bit form, with a wide call where a forwarder or the escape byte differs.

namespace {

// The eight switches in their order: quote, backslash, doubleEscape,
// percent, underscore, keepPercent, keepUnderscore, quadrupleEscape.
struct Switches {
    int q, b, d, p, u, kp, ku, qq;
};
const Switches kAll = {1, 1, 1, 1, 1, 1, 1, 1};

// Escape into an exact-size heap buffer of 2 x length + 1, so that the
// sanitizer sees any write beyond it.
std::string Esc(const std::string& src, Switches s, char cQuoteEscape, char cEscape)
{
    std::vector<char> dst(2 * src.size() + 1, '#');
    Escape(src.c_str(), dst.data(), s.q, s.b, s.d, s.p, s.u, s.kp, s.ku, s.qq, cQuoteEscape, cEscape);
    return dst.data();
}

template <class T>
std::basic_string<T> Take(T* p)
{
    EXPECT_NE(p, nullptr);
    std::basic_string<T> s = p != nullptr ? p : std::basic_string<T>();
    std::free(p);
    return s;
}

// Runs an in-place form on a copy of s.
template <typename F>
std::string InPlace(const std::string& s, F fn)
{
    std::vector<char> buf(s.begin(), s.end());
    buf.push_back(0);
    fn(buf.data());
    return buf.data();
}

std::string Verrue(const std::string& s, wchar_t cEscape) { return Take(pszVerrueEscapeMySQL(s.c_str(), cEscape)); }

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
        // doubleEscape alone doubles lone escape characters only.
        {"a!b", {0, 0, 1, 0, 0, 0, 0, 0}, '\'', '!', "a!!b"},
        {"!%!_!!", {0, 0, 1, 0, 0, 0, 0, 0}, '\'', '!', "!%!_!!"},
        {"!!", {0, 0, 1, 0, 0, 0, 0, 1}, '\'', '!', "!!!!"},
        // keepPercent does not keep "_", and the other way round.
        {"!_", {0, 0, 1, 1, 0, 1, 0, 0}, '\'', '!', "!_"},
        {"a%b_c", {0, 0, 0, 0, 1, 0, 0, 0}, '\'', '!', "a%b!_c"},
        {"it's", {1, 0, 0, 0, 0, 0, 0, 0}, '\\', '!', "it\\'s"},
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
    // Beyond the stack work area (2047 bytes).
    std::string strExpected;
    for (int i = 0; i < 1500; ++i)
        strExpected += "!%";
    EXPECT_EQ(Take(pszEscape(std::string(1500, '%').c_str(), 0, 0, 0, 1, 0, 0, 0, 0, '\'', '!')), strExpected);
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
    // The scan goes on before the removed backslash.
    const std::pair<const char*, const char*> quotes[] = {
        {"'''", "''"}, {"''a", "'a"}, {"'", "'"}, {"it\\'s", "it's"}, {"\\\\'", "\\'"}, {"a\\b", "a\\b"}};
    for (const auto& q : quotes)
        EXPECT_EQ(InPlace(q.first, [](char* p) { PurgeQuote(p, 1); }), q.second) << q.first;
    EXPECT_EQ(InPlace("it\\'s", [](char* p) { PurgeQuote(p, 0); }), "it\\'s");
    PurgeQuote(static_cast<char*>(nullptr));

    const auto Purge = [](const std::string& s) { return InPlace(s, [](char* p) { PurgeEscape(p, '!'); }); };
    EXPECT_EQ(Purge("!%!_!!!a"), "%_!!a");
    EXPECT_EQ(Purge("!!%a!"), "!%a!");
    const auto PurgeEE = [](const std::string& s) { return InPlace(s, [](char* p) { PurgeEscapeEscape(p, '!'); }); };
    EXPECT_EQ(PurgeEE("!!!"), "!!");
    EXPECT_EQ(PurgeEE("!%!_"), "!%!_");
    const auto PurgeBS = [](const std::string& s) { return InPlace(s, [](char* p) { PurgeEscapeBackSlash(p); }); };
    EXPECT_EQ(PurgeBS("a\\\\b it\\'s it''s"), "a\\b it's it's");
    EXPECT_EQ(PurgeBS("\\\\'"), "'");
}

TEST(Escape, Verrue)
{
    // An escape character before a quote is a lone one; the quote keeps its
    // own backslash.
    const std::pair<const char*, const char*> backslash[] = {
        {"a''b", "a\\'b"}, {"a\\'b", "a\\'b"}, {"\\\\'", "\\\\\\'"}, {"a\\", "a\\\\"}};
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
        for (int i = 0; i < 300; ++i) {
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
