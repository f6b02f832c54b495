#include "common/text/TStringArray.h"

#include "tests/support/TestHost.h"

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Elements(const CTStringArray& cl)
{
    std::vector<std::wstring> v;
    for (int i = 0; i < cl.nGetNbElement(); ++i)
        v.push_back(cl[i]->pszGet());
    return v;
}

typedef std::vector<std::wstring> CListe;

// Counts the calls that reach the text form of Ajoute.
class CTableauCompte : public CTStringArray {
public:
    int nAjouts = 0;
    void Ajoute(const wchar_t* s) override
    {
        ++nAjouts;
        CTStringArray::Ajoute(s);
    }
    using CTStringArray::Ajoute;
};

} // namespace

TEST(TStringArray, AddInsertReplaceAndRemoveOwnCopies)
{
    CTStringArray cl;
    wchar_t szSource[] = L"one";
    cl.Ajoute(szSource);
    szSource[0] = L'X';
    cl.Ajoute(static_cast<const wchar_t*>(nullptr));
    const CTString clDeux(L"two");
    cl.Ajoute(&clDeux);
    cl.vAjoute(L"threefold", 5);
    cl.vAjoute(L"ab", 9);
    EXPECT_EQ(Elements(cl), (CListe{L"one", L"", L"two", L"three", L"ab"}));

    cl.Insere(L"first", 0);
    cl.Insere(&clDeux, 6);
    cl.Insere(L"ignored", 8);
    cl.Insere(L"ignored", -1);
    EXPECT_EQ(Elements(cl), (CListe{L"first", L"one", L"", L"two", L"three", L"ab", L"two"}));

    cl.SetAt(L"uno", 1);
    cl.SetAt(L"ignored", 7);
    // The replaced string is the source of its replacement.
    cl.SetAt(cl[0], 0);
    cl.SetAt(cl[0]->pszGet(), 2);
    cl.Supprime(3);
    cl.Supprime(99);
    cl.Supprime(-1);
    EXPECT_EQ(Elements(cl), (CListe{L"first", L"uno", L"first", L"three", L"ab", L"two"}));
    EXPECT_EQ(cl[6], nullptr);
    EXPECT_EQ(cl[-1], nullptr);

    CTString clRepris(L"taken");
    cl.AjouteRecupere(&clRepris);
    EXPECT_EQ(clRepris.nTaille(), 0);
    EXPECT_EQ(std::wstring(cl[6]->pszGet()), L"taken");

    // Copies of another array, and of itself.
    CTStringArray clAutre;
    clAutre.Initialise(L"z", 2);
    clAutre.Initialise(L"never", 0);
    clAutre.Ajoute(clAutre);
    EXPECT_EQ(Elements(clAutre), (CListe{L"z", L"z", L"z", L"z"}));
    cl.SupprimeTout();
    EXPECT_EQ(cl.nGetNbElement(), 0);
    EXPECT_GT(cl.nGetNbAlloue(), 0);
    cl.Ajoute(clAutre);
    EXPECT_EQ(Elements(cl), Elements(clAutre));
    EXPECT_NE(cl[0], clAutre[0]);

    // Forwarding operations go through the overridable text form.
    CTableauCompte clCompte;
    clCompte.Ajoute(&clDeux);
    clCompte.Initialise(L"x", 3);
    clCompte.Ajoute(clAutre);
    EXPECT_EQ(clCompte.nAjouts, 8);
}

TEST(TStringArray, FormattedElements)
{
    CTStringArray cl;
    cl.Ajoute(L"before");
    // Windows rules: %s wide, %S 8-bit.
    cl.AjoutePrintf(L"%s=%d;%S", L"n", 42, "x");
    cl.AjouteFormatMessageWin(L"%s-%u", L"a", 7u);
    cl.AjouteFormatMessageWin(nullptr);
    EXPECT_EQ(Elements(cl), (CListe{L"before", L"n=42;x", L"a-7", L""}));
}

TEST(TStringArray, SplitAtASeparator)
{
    CTStringArray cl;
    cl.Decoupe(L"x;y;", L";");
    EXPECT_EQ(Elements(cl), (CListe{L"x", L"y", L""}));

    cl.Decoupe(L"a,,b", L",");
    EXPECT_EQ(Elements(cl), (CListe{L"a", L"", L"b"}));

    cl.Decoupe(L"l1\r\nl2\r\n\r\nl3", L"\r\n");
    EXPECT_EQ(Elements(cl), (CListe{L"l1", L"l2", L"", L"l3"}));

    cl.Decoupe(L"alone", L",");
    EXPECT_EQ(Elements(cl), (CListe{L"alone"}));

    cl.Decoupe(L",", L",");
    EXPECT_EQ(Elements(cl), (CListe{L"", L""}));

    // No text, no element; an allocated empty string is one empty field.
    cl.Decoupe(static_cast<const wchar_t*>(nullptr), L",");
    EXPECT_EQ(cl.nGetNbElement(), 0);
    CTString clVide;
    cl.Decoupe(clVide, L",");
    EXPECT_EQ(cl.nGetNbElement(), 0);
    clVide.Set(L"abc", 0u);
    cl.Decoupe(clVide, L",");
    EXPECT_EQ(Elements(cl), (CListe{L""}));

    // The text split is one of the elements being replaced.
    cl.Decoupe(L"p-q", L";");
    cl.Decoupe(*cl[0], L"-");
    EXPECT_EQ(Elements(cl), (CListe{L"p", L"q"}));
}

TEST(TStringArray, JoinWithASeparator)
{
    CTStringArray cl;
    CTString clRes(L"kept");
    EXPECT_TRUE(cl.bFusion(&clRes, L";"));
    EXPECT_EQ(std::wstring(clRes.pszGet()), L"kept");

    cl.Decoupe(L"x;y;", L";");
    EXPECT_TRUE(cl.bFusion(&clRes, L";"));
    EXPECT_EQ(std::wstring(clRes.pszGet()), L"x;y;");
    EXPECT_TRUE(cl.bFusion(&clRes, L", "));
    EXPECT_EQ(std::wstring(clRes.pszGet()), L"x, y, ");
    EXPECT_TRUE(cl.bFusion(&clRes, nullptr));
    EXPECT_EQ(std::wstring(clRes.pszGet()), L"xy");
    EXPECT_TRUE(cl.bFusion(&clRes, L""));
    EXPECT_EQ(std::wstring(clRes.pszGet()), L"xy");

    // The separator is the output's own text.
    CTString clSep(L"+");
    EXPECT_TRUE(cl.bFusion(&clSep, clSep.pszGet()));
    EXPECT_EQ(std::wstring(clSep.pszGet()), L"x+y+");
    EXPECT_FALSE(cl.bFusion(nullptr, L";"));
}

TEST(TStringArray, SortAndSearch)
{
    CTStringArray cl;
    cl.Ajoute(L"a");
    cl.Ajoute(L"c");
    cl.Ajoute(L"b");
    cl.TrieDecroisssant();
    EXPECT_EQ(Elements(cl), (CListe{L"c", L"b", L"a"}));

    cl.Ajoute(L"B");
    cl.Ajoute(L"A");
    cl.TrieCroisssant();
    EXPECT_EQ(Elements(cl), (CListe{L"A", L"B", L"a", L"b", L"c"}));

    cl.SupprimeTout();
    cl.Decoupe(L"delta,Charlie,alpha,Bravo", L",");
    cl.TrieCroisssantI();
    EXPECT_EQ(Elements(cl), (CListe{L"alpha", L"Bravo", L"Charlie", L"delta"}));

    cl.SupprimeTout();
    cl.Ajoute(L"abc");
    cl.Ajoute(L"");
    cl.Ajoute(L"ABC");
    EXPECT_EQ(cl.nRecherche(L"ABC", 0, 0), 0);
    EXPECT_EQ(cl.nRecherche(L"ABC", 1, 0), 2);
    EXPECT_EQ(cl.nRecherche(L"abc", 1, 1), -1);
    EXPECT_EQ(cl.nRecherche(L"abc", 0, 1), 2);
    EXPECT_EQ(cl.nRecherche(nullptr, 1, 0), 1);
    EXPECT_EQ(cl.nRecherche(L"abc", 0, 3), -1);
    EXPECT_EQ(cl.nRecherche(L"zzz", 0, 0), -1);

    CTString clRes;
    EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&clRes, L"b,A,c", L","));
    EXPECT_EQ(std::wstring(clRes.pszGet()), L"A,b,c");
    EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&clRes, L"t2\r\nT1\r\nt3", L"\r\n"));
    EXPECT_EQ(std::wstring(clRes.pszGet()), L"T1\r\nt2\r\nt3");
    // Sorted in place, and an empty list gives an empty text, not the old one.
    EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&clRes, clRes.pszGet(), L"\r\n"));
    EXPECT_EQ(std::wstring(clRes.pszGet()), L"T1\r\nt2\r\nt3");
    EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&clRes, L"", L","));
    EXPECT_STREQ(clRes.pszGet(), L"");
}
