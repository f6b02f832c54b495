#include "common/text/XYStringConcat.h"

#include "tests/support/TestHost.h"

#include <climits>
#include <cstring>
#include <new>
#include <string>

namespace {

std::wstring Texte(const CXYStringConcat<wchar_t>& cl) { return std::wstring(cl.pszGet(), cl.m_nLength); }
std::string Texte(const CXYStringConcat<char>& cl) { return std::string(cl.pszGet(), cl.m_nLength); }

} // namespace

TEST(XYStringConcat, GrowsByStepsAndKeepsTheTerminator)
{
    CXYStringConcat<wchar_t> cl;
    EXPECT_EQ(cl.m_pBuffer, nullptr);
    EXPECT_EQ(cl.m_nStep, 1024u);
    EXPECT_EQ(cl.pszGet(), CXYStringConcat<wchar_t>::ChaineVide);

    cl.Add(L"x", 1);
    EXPECT_EQ(cl.m_nCapacity, 1024u);
    EXPECT_EQ(cl.m_nLength, 1u);
    EXPECT_EQ(cl.m_pBuffer[1], L'\0');

    // Exactly full: no growth.
    const std::wstring clReste(1023, L'y');
    cl.Add(clReste.c_str(), 1023);
    EXPECT_EQ(cl.m_nCapacity, 1024u);
    EXPECT_EQ(cl.m_nLength, 1024u);
    EXPECT_EQ(cl.m_pBuffer[1024], L'\0');

    cl.Add(L"z");
    EXPECT_EQ(cl.m_nCapacity, 2048u);
    EXPECT_EQ(cl.m_nLength, 1025u);
    EXPECT_EQ(cl.m_pBuffer[1024], L'z');
    EXPECT_EQ(cl.m_pBuffer[1025], L'\0');

    // Another step: ((0 + 25) / 10 + 1) x 10.
    CXYStringConcat<char> clA;
    clA.m_nStep = 10;
    clA.Add("abcdefghijklmnopqrstuvwxy", 25);
    EXPECT_EQ(clA.m_nCapacity, 30u);
    EXPECT_EQ(Texte(clA), "abcdefghijklmnopqrstuvwxy");

    // Emptied by its owner: the old characters are no longer the text.
    clA.m_nLength = 0;
    EXPECT_STREQ(clA.pszGet(), "");
    clA.Add("Q");
    EXPECT_STREQ(clA.pszGet(), "Q");
}

TEST(XYStringConcat, CountsNullSourcesAndSelfAppends)
{
    CXYStringConcat<wchar_t> cl;
    cl.Add(L"abcdef", 2);
    cl.Add(L"gh", -1);
    cl.Add(L"ignored", 0);
    cl.Add(L"ignored", -2);
    cl.Add(nullptr, 5);
    cl.Add(nullptr);
    cl.Add(L"");
    EXPECT_EQ(Texte(cl), L"abgh");

    // The source is the buffer itself and the buffer must move to hold it.
    CXYStringConcat<wchar_t> clSoi;
    clSoi.m_nStep = 8;
    clSoi.Add(L"0123456");
    ASSERT_EQ(clSoi.m_nCapacity, 8u);
    clSoi.Add(clSoi.m_pBuffer, -1);
    clSoi.Add(clSoi.m_pBuffer + 2, 3);
    EXPECT_EQ(Texte(clSoi), L"0123456" L"0123456" L"234");

    CXYStringConcat<char> clA;
    clA.m_nStep = 4;
    clA.AddAnsi("abc", -1, 1252);
    clA.AddAnsiToUTF8(clA.m_pBuffer, -1, 1252);
    EXPECT_EQ(Texte(clA), "abcabc");
}

TEST(XYStringConcat, DecimalNumbers)
{
    CXYStringConcat<wchar_t> cl;
    cl.AddNumber(7, 3);
    cl.Add(L"|");
    cl.AddNumber(0, 3);
    cl.Add(L"|");
    cl.AddNumber(-7, 3);
    cl.Add(L"|");
    cl.AddNumber(12345, 3);
    cl.Add(L"|");
    cl.AddNumber(5, -1);
    cl.Add(L"|");
    cl.AddNumber(5, 0);
    cl.Add(L"|");
    cl.AddNumber(123, 3);
    EXPECT_EQ(Texte(cl), L"007|0|-7|12345|5|5|123");

    CXYStringConcat<char> clA;
    clA.AddNumber(9223372036854775807LL, -1);
    clA.Add("|");
    clA.AddNumber(-9223372036854775807LL - 1, 30);
    clA.Add("|");
    clA.AddNumber(42LL, 10);
    clA.Add("|");
    clA.AddNumber(INT_MIN, 15);
    EXPECT_EQ(Texte(clA), "9223372036854775807|-9223372036854775808|0000000042|-2147483648");

    // A width wider than any step: the padding gets its own room.
    CXYStringConcat<wchar_t> clLarge;
    clLarge.m_nStep = 4;
    clLarge.AddNumber(1, 40);
    EXPECT_EQ(Texte(clLarge), std::wstring(39, L'0') + L"1");
}

TEST(XYStringConcat, HexadecimalAndBinaryDigits)
{
    CXYStringConcat<wchar_t> cl;
    cl.AddNumberHexa(static_cast<unsigned char>(10));
    cl.Add(L" ");
    cl.AddNumberHexa(static_cast<unsigned short>(255));
    cl.Add(L" ");
    cl.AddNumberHexa(0xBEEFu);
    cl.Add(L" ");
    cl.AddNumberHexa(0x0123456789ABCDEFull);
    cl.Add(L" ");
    cl.AddNumberHexa(static_cast<unsigned char>(0));
    EXPECT_EQ(Texte(cl), L"0A 00FF 0000BEEF 0123456789ABCDEF 00");

    CXYStringConcat<char> clA;
    clA.AddNumberHexa(static_cast<unsigned char>(0xFF));
    clA.AddNumberHexa(0xFFFFFFFFu);
    EXPECT_EQ(Texte(clA), "FFFFFFFFFF");

    CXYStringConcat<char> clB;
    clB.AddNumberBinary(6, 1);
    clB.Add(" ");
    clB.AddNumberBinary(6, 0);
    clB.Add(" ");
    clB.AddNumberBinary(0x80, 1);
    EXPECT_EQ(Texte(clB), "00000110 01100000 10000000");

    CXYStringConcat<wchar_t> clW;
    clW.AddNumberBinary(0xA5, 2);
    EXPECT_EQ(Texte(clW), L"10100101");
}

TEST(XYStringConcat, ConversionsBetweenWidthsAndCodePages)
{
    // 1252: 0xE9 is U+00E9, 0x80 is the euro sign U+20AC.
    CXYStringConcat<wchar_t> clW;
    clW.AddAnsi("\xE9t\xE9\x80", -1, 1252);
    EXPECT_EQ(Texte(clW), L"\u00E9t\u00E9\u20AC");
    clW.AddAnsiToUTF8("\xE9", 1, 1252);
    EXPECT_EQ(Texte(clW), L"\u00E9t\u00E9\u20AC\u00E9");
    clW.AddWide(L"\u4E2D", -1, 1252);
    EXPECT_EQ(clW.m_nLength, 6u);

    CXYStringConcat<char> clA;
    clA.AddWide(L"\u00E9\u20AC", -1, 1252);
    EXPECT_EQ(Texte(clA), "\xE9\x80");
    clA.m_nLength = 0;
    clA.AddWide(L"\u00E9\u20AC", 2, 65001);
    EXPECT_EQ(Texte(clA), "\xC3\xA9\xE2\x82\xAC");
    clA.m_nLength = 0;
    clA.AddAnsiToUTF8("a\xE9", 2, 1252);
    EXPECT_EQ(Texte(clA), "a\xC3\xA9");
    clA.AddAnsi("\xE9", 1, 65001);
    EXPECT_EQ(Texte(clA), "a\xC3\xA9\xE9");

    wchar_t szW[8] = {};
    EXPECT_EQ(CXYStringConcat<wchar_t>::_nUTF8ToX("\xC3\xA9z", 3, szW, 0), 2);
    EXPECT_EQ(std::wstring(szW, 2), L"\u00E9z");
    char szA[8] = {};
    EXPECT_EQ(CXYStringConcat<char>::_nUTF8ToX("\xC3\xA9z", 3, szA, 1252), 2);
    EXPECT_EQ(std::string(szA, 2), "\xE9z");
    EXPECT_EQ(CXYStringConcat<char>::_nUTF8ToX("\xC3\xA9z", 3, szA, 65001), 3);
    EXPECT_EQ(std::string(szA, 3), "\xC3\xA9z");
}

TEST(XYStringConcat, EqualitySearchAndUpperCase)
{
    CXYStringConcat<wchar_t> cl;
    EXPECT_TRUE(cl.bEstEgal(L""));
    EXPECT_TRUE(cl.bEstEgal(nullptr));
    EXPECT_FALSE(cl.bEstEgal(L"a"));
    EXPECT_EQ(cl.nPos(L"a", 0), -1);
    EXPECT_EQ(cl.nPos(L'a', 0), -1);

    cl.Add(L"abcabc");
    EXPECT_TRUE(cl.bEstEgal(L"abcabc"));
    EXPECT_FALSE(cl.bEstEgal(L"abcab"));
    EXPECT_FALSE(cl.bEstEgal(L"abcabcd"));
    EXPECT_FALSE(cl.bEstEgal(nullptr));

    EXPECT_EQ(cl.nPos(L"bc", 0), 1);
    EXPECT_EQ(cl.nPos(L"bc", 2), 4);
    EXPECT_EQ(cl.nPos(L"bc", 5), -1);
    EXPECT_EQ(cl.nPos(L"x", 0), -1);
    EXPECT_EQ(cl.nPos(L'c', 3), 5);
    EXPECT_EQ(cl.nPos(L'a', 6), -1);
    EXPECT_EQ(cl.nPos(L'a', 7), -1);
    EXPECT_EQ(cl.nPos(L'a', -1), -1);

    // A length set lower by the owner bounds the search.
    cl.m_nLength = 3;
    EXPECT_EQ(cl.nPos(L"abc", 1), -1);
    EXPECT_TRUE(cl.bEstEgal(L"abc"));

    cl.Add(L"\u00E9z");
    cl.Majuscule();
    EXPECT_EQ(Texte(cl), L"ABC\u00C9Z");

    CXYStringConcat<char> clA;
    clA.Majuscule();
    EXPECT_EQ(clA.m_pBuffer, nullptr);
    clA.Add("s\xE9l");
    clA.Majuscule();
    EXPECT_EQ(Texte(clA), "S\xC9L");
    EXPECT_EQ(clA.nPos('L', 0), 2);
}

TEST(XYStringConcat, ReplaceEveryOccurrence)
{
    CXYStringConcat<wchar_t> cl;
    cl.Add(L"aba");
    cl.Remplace(L"a", 1, L"aa", 2, 0);
    EXPECT_EQ(Texte(cl), L"aabaa");

    cl.m_nLength = 0;
    cl.Add(L"abab");
    cl.Remplace(L"ab", 2, L"x", 1, 0);
    EXPECT_EQ(Texte(cl), L"xx");
    EXPECT_EQ(cl.m_pBuffer[2], L'\0');

    // Same length: in place; the start skips the first one.
    cl.m_nLength = 0;
    cl.Add(L"ab-ab-ab");
    cl.Remplace(L"ab", 2, L"XY", 2, 1);
    EXPECT_EQ(Texte(cl), L"ab-XY-XY");

    // Removal, counts to the terminator, nothing found, from too long.
    cl.Remplace(L"-", -1, nullptr, 0, 0);
    EXPECT_EQ(Texte(cl), L"abXYXY");
    cl.Remplace(L"Q", 1, L"R", 1, 0);
    cl.Remplace(L"abXYXYabXYXY", -1, L"R", 1, 0);
    cl.Remplace(L"", 0, L"R", 1, 0);
    EXPECT_EQ(Texte(cl), L"abXYXY");

    // Everything removed.
    cl.Remplace(L"abXYXY", -1, L"", -1, 0);
    EXPECT_EQ(cl.m_nLength, 0u);
    EXPECT_STREQ(cl.pszGet(), L"");

    // The replacement text lies in the buffer itself.
    CXYStringConcat<char> clA;
    clA.Add("x=1;y=2");
    clA.Remplace("=", 1, clA.m_pBuffer, 3, 0);
    EXPECT_EQ(Texte(clA), "xx=11;yx=12");
    clA.Remplace("x", 1, clA.m_pBuffer + 3, 1, 0);
    EXPECT_EQ(Texte(clA), "11=11;y1=12");
}

TEST(XYStringConcat, SizesThatCannotBeHeldThrowAndKeepTheText)
{
    CXYStringConcat<wchar_t> cl;
    cl.Add(L"keep");
    EXPECT_THROW(cl.AddNumber(1, INT_MAX), std::bad_alloc);
    EXPECT_EQ(Texte(cl), L"keep");

    CXYStringConcat<char> clA;
    clA.Add("keep");
    EXPECT_THROW(clA.AddNumber(1LL, INT_MAX), std::bad_alloc);
    EXPECT_EQ(Texte(clA), "keep");
}
