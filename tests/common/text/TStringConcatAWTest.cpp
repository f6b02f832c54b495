#include "common/text/TStringConcatAW.h"

#include "tests/support/TestHost.h"

#include <string>

namespace {

const unsigned kBuilderPage = 0xFFFFFFFFu;

std::string A(CTStringConcatAW& cl) { return cl.pszGetA(); }
std::wstring W(CTStringConcatAW& cl) { return cl.pszGetW(); }

}  // namespace

TEST(TStringConcatAW, WideMasterRebuildsTheEightBitFormOnlyWhenRead)
{
    CTStringConcatAW cl(-2, 1252);
    cl.Add(L"abc", -1, 0);
    EXPECT_EQ(cl.m_clA.m_nLength, 0u);
    EXPECT_EQ(A(cl), "abc");
    // A further change makes the 8-bit form stale; the next read has it all.
    cl.Add(L"d\u00E9\u20AC", -1, 0);
    EXPECT_EQ(cl.m_clA.m_nLength, 0u);
    EXPECT_EQ(A(cl), "abcd\xE9\x80");
    EXPECT_EQ(cl.cGetCharA(6), 0);
    // 8-bit input is converted with its own page, or the builder's for -1.
    cl.Add("\x88", 1, 1251);
    cl.Add("\xE9", -1, kBuilderPage);
    cl.AddUTF8("\xD0\x96", -1);
    EXPECT_EQ(W(cl), L"abcd\u00E9\u20AC\u20AC\u00E9\u0416");
    EXPECT_EQ(A(cl), "abcd\xE9\x80\x80\xE9?");
    // A wide master read as UTF-8.
    CTStringConcatAW clU(-2, 65001);
    clU.Add(L"\u00E9", 1, 0);
    EXPECT_EQ(A(clU), "\xC3\xA9");
}

TEST(TStringConcatAW, UTF8Master)
{
    CTStringConcatAW cl(65001, 1252);
    cl.Add("\xE9", 1, 1252);
    cl.Add("\xE9", -1, kBuilderPage);
    cl.Add("\xC3\xA9", 2, 65001);
    cl.AddUTF8("\xE2\x82\xAC", -1);
    cl.Add(L"z\u0416", -1, 0);
    EXPECT_EQ(A(cl), "\xC3\xA9\xC3\xA9\xC3\xA9\xE2\x82\xACz\xD0\x96");
    EXPECT_EQ(W(cl), L"\u00E9\u00E9\u00E9\u20ACz\u0416");
    // Reads count characters in the wide form and bytes in the 8-bit one.
    EXPECT_EQ(cl.cGetCharW(3), L'\u20AC');
    EXPECT_EQ(cl.cGetCharA(1), static_cast<char>(0xA9));
    // Searches in master bytes, whatever the input width.
    EXPECT_EQ(cl.nPos(L'\u20AC', 0), 6);
    EXPECT_EQ(cl.nPos("\xE9z", 0), -1);
    EXPECT_EQ(cl.nPos(L"\u00E9\u20AC", 0), 4);
    // Cut never ends inside a character.
    cl.Tronque(5);
    EXPECT_EQ(A(cl), "\xC3\xA9\xC3\xA9");
    // Upper case by characters: 0x9A inside U+00DA must stay as it is.
    CTStringConcatAW clM(65001, 1252);
    clM.AddUTF8("\xC3\x9A\xC3\xBA" "a", -1);
    clM.Majuscule();
    EXPECT_EQ(A(clM), "\xC3\x9A\xC3\x9A" "A");
}

TEST(TStringConcatAW, EightBitMasterInAnotherPageThanTheBuilder)
{
    // Master 1251 (Cyrillic), input in 1252 by default.
    CTStringConcatAW cl(1251, 1252);
    cl.Add("\x80", -1, kBuilderPage);
    EXPECT_EQ(W(cl), L"\u20AC");
    // Changes to the master make the wide form stale.
    cl.Add(L"\u0416?", -1, 0);
    EXPECT_EQ(cl.m_clW.m_nLength, 0u);
    cl.AddUTF8("\xD0\x96", 2);
    EXPECT_EQ(A(cl), "\x88\xC6?\xC6");
    EXPECT_EQ(W(cl), L"\u20AC\u0416?\u0416");
    EXPECT_EQ(cl.nPos(L'\u0416', 2), 3);
    // Characters the master page cannot hold are never found, even where
    // the conversion would have written '?'.
    EXPECT_EQ(cl.nPos(L'\u00E9', 0), -1);
    EXPECT_EQ(cl.nPos(L"\u00E9", 0), -1);
    cl.Remplace(L"\u00E9", -1, L"X", -1, 0);
    cl.Remplace("\x80", -1, "E", -1, 0);
    cl.Remplace(L"\u0416", -1, L"\u0436\u0436", -1, 0);
    EXPECT_EQ(A(cl), "E\xE6\xE6?\xE6\xE6");
}

TEST(TStringConcatAW, ChangesAtPositions)
{
    CTStringConcatAW cl(-2, 1252);
    cl.Add(L"abc", -1, 0);
    A(cl);
    cl.Remplace(1, 1, L"xyz", 3);
    EXPECT_EQ(cl.m_clA.m_nLength, 0u);
    EXPECT_EQ(W(cl), L"axyzc");
    cl.Remplace(4, 99, "\xE9", -1);
    cl.Remplace(5, 0, L"!", -1);
    cl.Remplace(7, 0, L"?", -1);
    cl.Remplace(0, 2, static_cast<const wchar_t*>(nullptr), 0);
    cl.Insert(L"x", 1, 99);
    EXPECT_EQ(W(cl), L"yz\u00E9!x");
    // Sources inside the builder itself.
    cl.m_clW.m_nLength = 0;
    cl.Add(L"abc", -1, 0);
    cl.Remplace(0, 1, cl.m_clW.m_pBuffer + 1, 2);
    EXPECT_EQ(W(cl), L"bcbc");
    cl.Insert(cl.pszGetW(), -1, 1);
    EXPECT_EQ(W(cl), L"bbcbccbc");
    // Cut and truncate.
    cl.m_clW.m_nLength = 0;
    cl.Add(L"abcdef", -1, 0);
    cl.Coupe(1, 2);
    cl.Coupe(9, 1);
    cl.Coupe(3, 99);
    EXPECT_EQ(W(cl), L"ade");
    A(cl);
    cl.Tronque(4);
    EXPECT_EQ(cl.m_clA.m_nLength, 3u) << "nothing cut, the 8-bit form stays";
    cl.Tronque(1);
    EXPECT_EQ(A(cl), "a");
    // The same positions count bytes on a UTF-8 master.
    CTStringConcatAW clU(65001, 1252);
    clU.Add(L"a\u00E9b", -1, 0);
    clU.Remplace(1, 2, "\xE8", -1);
    EXPECT_EQ(A(clU), "a\xC3\xA8" "b");
    clU.Insert(L"\u20AC", -1, 3);
    EXPECT_EQ(W(clU), L"a\u00E8\u20ACb");
}

TEST(TStringConcatAW, ReplaceEveryOccurrenceInEitherMaster)
{
    CTStringConcatAW cl(-2, 1252);
    cl.Add(L"aba", -1, 0);
    A(cl);
    cl.Remplace(L"a", 1, L"aa", 2, 0);
    EXPECT_EQ(cl.m_clA.m_nLength, 0u);
    cl.Remplace("\x61", -1, "\xE9", -1, 2);
    EXPECT_EQ(W(cl), L"aab\u00E9\u00E9");

    CTStringConcatAW clU(65001, 1252);
    clU.Add(L"caf\u00E9 \u00E9t\u00E9", -1, 0);
    clU.Remplace(L"\u00E9", -1, L"e", -1, 0);
    EXPECT_EQ(A(clU), "cafe ete");
}
