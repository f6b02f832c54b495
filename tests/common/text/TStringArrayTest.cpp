#include "common/text/TStringArray.h"

#include "tests/support/ProcessLocale.h"
#include "tests/support/TestHost.h"

#include <string>
#include <vector>

namespace {

typedef std::vector<std::wstring> CListe;

CListe Elements(const CTStringArray& cl)
{
    CListe v;
    for (int i = 0; i < cl.nGetNbElement(); ++i)
        v.push_back(cl[i]->pszGet());
    return v;
}

// Counts the calls that reach the text form of Ajoute.
struct CTableauCompte : CTStringArray {
    int nAjouts = 0;
    void Ajoute(const wchar_t* s) override { ++nAjouts, CTStringArray::Ajoute(s); }
    using CTStringArray::Ajoute;
};

}  // namespace

TEST(TStringArray, AddInsertReplaceAndRemoveOwnCopies)
{
    CTStringArray cl;
    wchar_t szSource[] = L"one";
    cl.Ajoute(szSource);
    szSource[0] = L'X';
    cl.Ajoute(static_cast<const wchar_t*>(nullptr));
    cl.vAjoute(L"threefold", 5);
    cl.vAjoute(L"ab", 9);
    cl.Insere(L"first", 0);
    cl.Insere(L"last", 5);
    cl.Insere(L"ignored", 7);
    EXPECT_EQ(Elements(cl), (CListe{L"first", L"one", L"", L"three", L"ab", L"last"}));

    cl.SetAt(L"ignored", 6);
    // The replaced string is the source of its replacement.
    cl.SetAt(cl[0], 0);
    cl.SetAt(cl[0]->pszGet(), 2);
    cl.Supprime(3);
    cl.Supprime(-1);
    EXPECT_EQ(Elements(cl), (CListe{L"first", L"one", L"first", L"ab", L"last"}));
    EXPECT_EQ(cl[5], nullptr);
    // Copies of another array, and of itself.
    CTStringArray clAutre;
    clAutre.Initialise(L"z", 2);
    clAutre.Ajoute(clAutre);
    EXPECT_EQ(Elements(clAutre), (CListe{L"z", L"z", L"z", L"z"}));
    cl.Ajoute(clAutre);
    EXPECT_EQ(cl.nGetNbElement(), 9);
    EXPECT_NE(cl[5], clAutre[0]);
    // Forwarding operations go through the overridable text form.
    CTableauCompte clCompte;
    const CTString clDeux(L"two");
    clCompte.Ajoute(&clDeux);
    clCompte.Initialise(L"x", 3);
    clCompte.Ajoute(clAutre);
    EXPECT_EQ(clCompte.nAjouts, 8);
    // Windows rules: %s wide, %S 8-bit.
    cl.SupprimeTout();
    cl.AjoutePrintf(L"%s=%d;%S", L"n", 42, "x");
    EXPECT_EQ(Elements(cl), (CListe{L"n=42;x"}));
}

TEST(TStringArray, SplitAndJoin)
{
    const struct {
        const wchar_t *text, *sep;
        CListe expected;
    } rows[] = {{L"l1\r\nl2\r\n\r\nl3", L"\r\n", {L"l1", L"l2", L"", L"l3"}},
                {L",", L",", {L"", L""}},
                {nullptr, L",", {}}};
    CTStringArray cl;
    for (const auto& r : rows) {
        cl.Decoupe(r.text, r.sep);
        EXPECT_EQ(Elements(cl), r.expected) << (r.text ? r.text : L"(null)");
    }
    // No text, no element; an allocated empty string is one empty field.
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

    CTString clRes(L"kept");
    cl.SupprimeTout();
    EXPECT_TRUE(cl.bFusion(&clRes, L";"));
    EXPECT_STREQ(clRes.pszGet(), L"kept");
    cl.Decoupe(L"x;y;", L";");
    EXPECT_TRUE(cl.bFusion(&clRes, nullptr));
    EXPECT_STREQ(clRes.pszGet(), L"xy");
    // The separator is the output's own text.
    CTString clSep(L"+");
    EXPECT_TRUE(cl.bFusion(&clSep, clSep.pszGet()));
    EXPECT_STREQ(clSep.pszGet(), L"x+y+");
    EXPECT_FALSE(cl.bFusion(nullptr, L";"));
}

TEST(TStringArray, SortAndSearch)
{
    CTStringArray cl;
    cl.Decoupe(L"a,B,A", L",");
    cl.TrieDecroisssant();
    EXPECT_EQ(Elements(cl), (CListe{L"a", L"B", L"A"}));
    cl.Decoupe(L"delta,Charlie,alpha,Bravo", L",");
    cl.TrieCroisssantI();
    EXPECT_EQ(Elements(cl), (CListe{L"alpha", L"Bravo", L"Charlie", L"delta"}));
    // Names in the same order whatever the process's locale (Turkish folds
    // I into a dotless i, past every ASCII letter).
    CProcessLocale clLocale;
    for (const char* pszLocale : {"C", "tr_TR.UTF-8"}) {
        ASSERT_TRUE(clLocale.bSet(pszLocale));
        cl.Decoupe(L"jb,Ia,\u00c9,\u00e8,hc", L",");
        cl.TrieCroisssantI();
        EXPECT_EQ(Elements(cl), (CListe{L"hc", L"Ia", L"jb", L"\u00e8", L"\u00c9"})) << pszLocale;
    }

    cl.Decoupe(L"abc,,ABC", L",");
    EXPECT_EQ(cl.nRecherche(L"ABC", 0, 0), 0);
    EXPECT_EQ(cl.nRecherche(L"ABC", 1, 1), 2);
    EXPECT_EQ(cl.nRecherche(nullptr, 1, 0), 1);
    // Sorted in place, and an empty list gives an empty text, not the old one.
    CTString clRes(L"t2\r\nT1\r\nt3");
    EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&clRes, clRes.pszGet(), L"\r\n"));
    EXPECT_STREQ(clRes.pszGet(), L"T1\r\nt2\r\nt3");
    EXPECT_TRUE(CTStringArray::g_bTrieCroissantI(&clRes, L"", L","));
    EXPECT_STREQ(clRes.pszGet(), L"");
}
