#include "common/text/XYStringConcat.h"

#include "tests/support/TestHost.h"

#include <climits>
#include <new>
#include <string>

namespace {

std::wstring Texte(const CXYStringConcat<wchar_t>& cl) { return std::wstring(cl.pszGet(), cl.m_nLength); }
std::string Texte(const CXYStringConcat<char>& cl) { return std::string(cl.pszGet(), cl.m_nLength); }

}  // namespace

TEST(XYStringConcat, GrowsByStepsAndKeepsTheTerminator)
{
    CXYStringConcat<wchar_t> cl;
    EXPECT_EQ(cl.pszGet(), CXYStringConcat<wchar_t>::ChaineVide);
    // Steps of 1024; exactly full: no growth.
    cl.Add(L"x", 1);
    cl.Add(std::wstring(1023, L'y').c_str(), 1023);
    EXPECT_EQ(cl.m_nCapacity, 1024u);
    EXPECT_EQ(cl.m_pBuffer[1024], L'\0');
    cl.Add(L"z");
    EXPECT_EQ(cl.m_nCapacity, 2048u);
    EXPECT_EQ(cl.m_pBuffer[1025], L'\0');
    // Emptied by its owner: the old characters are no longer the text.
    cl.m_nLength = 0;
    EXPECT_STREQ(cl.pszGet(), L"");
    // The source is the buffer itself and the buffer must move to hold it.
    CXYStringConcat<wchar_t> clSoi;
    clSoi.m_nStep = 8;
    clSoi.Add(L"0123456789", 7);
    clSoi.Add(nullptr, 5);
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

TEST(XYStringConcat, Numbers)
{
    CXYStringConcat<wchar_t> cl;
    for (int n : {7, 0, -7, 12345}) {
        cl.AddNumber(n, 3);
        cl.Add(L"|");
    }
    cl.AddNumber(5, -1);
    EXPECT_EQ(Texte(cl), L"007|0|-7|12345|5");

    CXYStringConcat<char> clA;
    clA.AddNumber(-9223372036854775807LL - 1, 30);
    EXPECT_EQ(Texte(clA), "-9223372036854775808");
    // A width wider than any step: the padding gets its own room.
    CXYStringConcat<wchar_t> clLarge;
    clLarge.m_nStep = 4;
    clLarge.AddNumber(1, 40);
    EXPECT_EQ(Texte(clLarge), std::wstring(39, L'0') + L"1");
    // Sizes that cannot be held throw and keep the text.
    EXPECT_THROW(clLarge.AddNumber(1, INT_MAX), std::bad_alloc);
    EXPECT_EQ(Texte(clLarge), std::wstring(39, L'0') + L"1");
    // Hexadecimal digits by the width of the type; binary in both bit orders.
    CXYStringConcat<wchar_t> clH;
    clH.AddNumberHexa(static_cast<unsigned char>(10));
    clH.AddNumberHexa(0xBEEFu);
    clH.AddNumberHexa(0x0123456789ABCDEFull);
    EXPECT_EQ(Texte(clH), L"0A0000BEEF0123456789ABCDEF");
    CXYStringConcat<char> clB;
    clB.AddNumberBinary(6, 1);
    clB.AddNumberBinary(6, 0);
    EXPECT_EQ(Texte(clB), "0000011001100000");
}

TEST(XYStringConcat, ConversionsBetweenWidthsAndCodePages)
{
    // 1252: 0xE9 is U+00E9, 0x80 is the euro sign U+20AC.
    CXYStringConcat<wchar_t> clW;
    clW.AddAnsi("\xE9t\x80", -1, 1252);
    clW.AddAnsiToUTF8("\xE9", 1, 1252);
    EXPECT_EQ(Texte(clW), L"\u00E9t\u20AC\u00E9");

    CXYStringConcat<char> clA;
    clA.AddWide(L"\u00E9\u20AC", -1, 1252);
    clA.AddWide(L"\u00E9", 1, 65001);
    clA.AddAnsiToUTF8("\xE9", 1, 1252);
    clA.AddAnsi("\xE9", 1, 65001);
    EXPECT_EQ(Texte(clA), "\xE9\x80\xC3\xA9\xC3\xA9\xE9");

    char szA[8] = {};
    EXPECT_EQ(CXYStringConcat<char>::_nUTF8ToX("\xC3\xA9z", 3, szA, 1252), 2);
    EXPECT_EQ(std::string(szA, 2), "\xE9z");
}

TEST(XYStringConcat, EqualitySearchAndUpperCase)
{
    CXYStringConcat<wchar_t> cl;
    EXPECT_TRUE(cl.bEstEgal(nullptr));
    cl.Add(L"abcabc");
    EXPECT_FALSE(cl.bEstEgal(L"abcab"));
    EXPECT_EQ(cl.nPos(L"bc", 2), 4);
    // A length set lower by the owner bounds the search.
    cl.m_nLength = 3;
    EXPECT_EQ(cl.nPos(L"abc", 1), -1);
    EXPECT_TRUE(cl.bEstEgal(L"abc"));

    cl.Add(L"\u00E9z");
    cl.Majuscule();
    EXPECT_EQ(Texte(cl), L"ABC\u00C9Z");
}

TEST(XYStringConcat, ReplaceEveryOccurrence)
{
    CXYStringConcat<wchar_t> cl;
    cl.Add(L"aba");
    cl.Remplace(L"a", 1, L"aa", 2, 0);
    EXPECT_EQ(Texte(cl), L"aabaa");
    // Same length: in place; the start skips the first one.
    cl.m_nLength = 0;
    cl.Add(L"ab-ab-ab");
    cl.Remplace(L"ab", 2, L"XY", 2, 1);
    EXPECT_EQ(Texte(cl), L"ab-XY-XY");
    // Removal; pattern longer than the text, empty pattern.
    cl.Remplace(L"-", -1, nullptr, 0, 0);
    cl.Remplace(L"abXYXYabXYXY", -1, L"R", 1, 0);
    cl.Remplace(L"", 0, L"R", 1, 0);
    EXPECT_EQ(Texte(cl), L"abXYXY");
    // The replacement text lies in the buffer itself.
    CXYStringConcat<char> clA;
    clA.Add("x=1;y=2");
    clA.Remplace("=", 1, clA.m_pBuffer, 3, 0);
    EXPECT_EQ(Texte(clA), "xx=11;yx=12");
}
