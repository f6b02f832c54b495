#include "common/text/Tstring.h"

#include "common/text/XYString.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

std::wstring Repete(const std::wstring& motif, int n)
{
    std::wstring s;
    for (int i = 0; i < n; ++i)
        s += motif;
    return s;
}

// The shared static empty text of a string without buffer.
const wchar_t* VideStatique()
{
    static const CTString cl;
    return cl.pszGet();
}

}  // namespace

TEST(CTString, ConstructionAndEmptiness)
{
    CTString cl;
    ASSERT_NE(cl.pszGet(), nullptr);
    EXPECT_STREQ(cl.pszGet(), L"");
    EXPECT_EQ(cl.nTaille(), 0);
    cl.Vide();
    EXPECT_EQ(cl.pszGet(), VideStatique());

    // An empty source frees the buffer.
    cl.Set(L"abc");
    cl.Set(L"");
    EXPECT_EQ(cl.pszGet(), VideStatique());

    // A length of 0 with a source, and an empty 8-bit text, leave an
    // allocated empty text that still reads as empty everywhere.
    cl.Set(L"abc", 0u);
    EXPECT_NE(cl.pszGet(), VideStatique());
    EXPECT_STREQ(cl.pszGet(), L"");
    EXPECT_TRUE(cl == CTString());
    EXPECT_TRUE(cl.bEstEgal(L""));
    EXPECT_TRUE(cl.bEstEgalI(L""));
    EXPECT_EQ(cl.nPos(L'a'), -1);
    CTString clAnsi;
    clAnsi.SetANSIEx("", -1, 1252);
    EXPECT_NE(clAnsi.pszGet(), VideStatique());
    EXPECT_TRUE(clAnsi.bEstEgal(L""));

    // At most n characters; a shorter source is taken whole.
    cl.Set(L"abcdef", 3u);
    EXPECT_STREQ(cl.pszGet(), L"abc");
    cl.Set(L"ab", 5u);
    EXPECT_STREQ(cl.pszGet(), L"ab");
    EXPECT_STREQ(CTString(L"xyz", 2).pszGet(), L"xy");
    cl.Set(static_cast<const wchar_t*>(nullptr), 4u);
    EXPECT_EQ(cl.pszGet(), VideStatique());

    // Binary copies keep embedded NULs.
    const wchar_t binaire[] = {L'a', 0, L'b'};
    cl.SetFromBinary(binaire, 3);
    EXPECT_EQ(cl.nTaille(), 1);
    EXPECT_EQ(cl.cGetChar(2), L'b');
    EXPECT_EQ(cl.cGetChar(3), 0);

    // Three parts, null ones empty.
    cl.Set(L"ab", nullptr, L"cd");
    EXPECT_STREQ(cl.pszGet(), L"abcd");
    cl.Set(L"wx", L"yz", nullptr);  // same length: buffer reused
    EXPECT_STREQ(cl.pszGet(), L"wxyz");
    cl.Set(nullptr, L"", nullptr);
    EXPECT_EQ(cl.pszGet(), VideStatique());
    EXPECT_STREQ(CTString(L"a", L"b", L"c").pszGet(), L"abc");

    cl = L'x';
    EXPECT_STREQ(cl.pszGet(), L"x");
    cl.Set(L'\0');
    EXPECT_EQ(cl.pszGet(), VideStatique());

    cl.SetI4(INT_MIN);
    EXPECT_STREQ(cl.pszGet(), L"-2147483648");
    cl.SetI4(0);
    EXPECT_STREQ(cl.pszGet(), L"0");
    cl.SetI8(LLONG_MIN);
    EXPECT_STREQ(cl.pszGet(), L"-9223372036854775808");
    cl.SetI8(1234567890123LL);
    EXPECT_STREQ(cl.pszGet(), L"1234567890123");

    // 8-bit text in Windows-1252: E9 is e acute, 80 the euro sign.
    EXPECT_STREQ(CTString("caf\xE9").pszGet(), L"caf\u00E9");
    EXPECT_STREQ(CTString("\x80").pszGet(), L"\u20AC");
    EXPECT_EQ(CTString(static_cast<const char*>(nullptr)).pszGet(), VideStatique());
}

TEST(CTString, OwnershipAndCopies)
{
    CTString a(L"texte");
    CTString b(a);
    a.SetChar(0, L'T');
    EXPECT_STREQ(b.pszGet(), L"texte");
    EXPECT_STREQ(a.pszGet(), L"Texte");

    const wchar_t* avant = a.pszGet();
    a = a;
    EXPECT_EQ(a.pszGet(), avant);
    a = avant;  // its own buffer: nothing happens
    EXPECT_EQ(a.pszGet(), avant);
    EXPECT_STREQ(a.pszGet(), L"Texte");

    CTString c;
    c.Transfert(a);
    EXPECT_EQ(c.pszGet(), avant);
    EXPECT_EQ(a.pszGet(), VideStatique());
    c.Transfert(c);
    EXPECT_STREQ(c.pszGet(), L"Texte");

    wchar_t* p = static_cast<wchar_t*>(malloc(3 * sizeof(wchar_t)));
    p[0] = L'o';
    p[1] = L'k';
    p[2] = 0;
    c.SetBuffer(p);
    EXPECT_EQ(c.pszGet(), p);
    c.SetBuffer(p);  // adopting what it holds must not free it
    EXPECT_STREQ(c.pszGet(), L"ok");

    // Access without a buffer.
    CTString d;
    EXPECT_EQ(d.cGetChar(0), 0);
    d.SetChar(0, L'x');
    EXPECT_EQ(d.pszGet(), VideStatique());
    EXPECT_FALSE(d.bTerminePar(L'x'));
    d = L"ab";
    EXPECT_TRUE(d.bTerminePar(L'b'));
    EXPECT_FALSE(d.bTerminePar(L'a'));
    // Out of range: no write, and the terminator is never overwritten.
    d.SetChar(-1, L'x');
    d.SetChar(2, L'x');
    d.SetChar(50, L'x');
    EXPECT_STREQ(d.pszGet(), L"ab");
    EXPECT_EQ(d.cGetChar(-1), 0);
    EXPECT_EQ(d.cGetChar(2), 0);
}

TEST(CTString, HostStrings)
{
    CLiveBlockCheck check;
    CXYString<wchar_t> xy(L"h\u00F4te", 4);
    CXYString<wchar_t> vide;
    CTString cl;
    cl.Set(xy);
    EXPECT_STREQ(cl.pszGet(), L"h\u00F4te");
    cl.Add(&xy);
    EXPECT_STREQ(cl.pszGet(), L"h\u00F4teh\u00F4te");
    cl.Add(vide);
    cl.Add(static_cast<const CXYString<wchar_t>*>(nullptr));
    EXPECT_EQ(cl.nTaille(), 8);
    cl.Set(&vide);
    EXPECT_EQ(cl.nTaille(), 0);
    cl.Set(static_cast<const CXYString<wchar_t>*>(nullptr));
    EXPECT_EQ(cl.nTaille(), 0);
}

TEST(CTString, Search)
{
    CTString vide;
    CTString alloue(L"x", 0);
    for (const CTString* p : {&vide, &alloue}) {
        EXPECT_EQ(p->nPos(L"a"), -1);
        EXPECT_EQ(p->nPos(L""), -1);
        EXPECT_EQ(p->nPos(L'a'), -1);
        EXPECT_EQ(p->nRPos(L"a"), -1);
        EXPECT_EQ(p->nRPos(L'a'), -1);
        EXPECT_EQ(p->nUpPos(L"a"), -1);
        EXPECT_EQ(p->nPosParmi(L"a"), -1);
        EXPECT_EQ(p->nNbOcc(L"a"), 0);
    }

    CTString cl(L"abcabc");
    EXPECT_EQ(cl.nPos(L"bc"), 1);
    EXPECT_EQ(cl.nPos(L"bc", 2), 4);
    EXPECT_EQ(cl.nPos(L"bc", 5), -1);
    EXPECT_EQ(cl.nPos(L"bc", 6), -1);
    EXPECT_EQ(cl.nPos(L"", 3), 3);
    EXPECT_EQ(cl.nPos(L"bc", 7), -1);
    EXPECT_EQ(cl.nPos(L"bc", -1), -1);
    EXPECT_EQ(cl.nPos(L'c', 3), 5);
    EXPECT_EQ(cl.nPos(L'z'), -1);
    EXPECT_EQ(cl.nPos(L'\0'), -1);
    EXPECT_EQ(cl.nRPos(L"abc"), 3);
    EXPECT_EQ(cl.nRPos(L'a'), 3);
    EXPECT_EQ(cl.nRPos(L"zz"), -1);
    EXPECT_EQ(cl.nPosParmi(L"xc"), 2);
    EXPECT_EQ(cl.nPosParmi(L"xyz"), -1);

    // Overlapping matches count for the last one, not for the count.
    EXPECT_EQ(CTString(L"aaa").nRPos(L"aa"), 1);
    EXPECT_EQ(CTString(L"aaaa").nNbOcc(L"aa"), 2);
    EXPECT_EQ(CTString(L"aaaaa").nNbOcc(L"aa"), 2);
    EXPECT_EQ(cl.nNbOcc(L""), 0);

    CTString mixte(L"xaBab");
    EXPECT_EQ(mixte.nUpPos(L"AB"), 1);
    EXPECT_EQ(mixte.nUpPos(L"AB", 2), 3);
    EXPECT_EQ(mixte.nUpPos(L"AB", 4), -1);  // no start position left
    EXPECT_EQ(mixte.nUpPos(L"XABABX"), -1);
    EXPECT_EQ(mixte.nUpPos(L"ab", -2), -1);
}

TEST(CTString, Comparison)
{
    CTString a(L"abc"), b(L"abc"), c(L"abd");
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_TRUE(a != c);
    EXPECT_TRUE(a.bEstEgal(L"abc"));
    EXPECT_FALSE(a.bEstEgal(L"ab"));
    EXPECT_FALSE(a.bEstEgal(L""));
    EXPECT_FALSE(CTString().bEstEgal(L"a"));

    // Case-insensitive comparisons also ignore accents.
    CTString ecole(L"\u00E9cole");
    EXPECT_TRUE(ecole.bEstEgalI(L"ECOLE"));
    EXPECT_TRUE(ecole.bEstEgalI(CTString(L"\u00C9COLE")));
    EXPECT_FALSE(ecole.bEstEgalI(L"ECOLES"));
    EXPECT_FALSE(CTString().bEstEgalI(L"x"));

    CTString cl(L"Prefixe.suffixe");
    EXPECT_TRUE(cl.bCommencePar(L"Pre"));
    EXPECT_FALSE(cl.bCommencePar(L"pre"));
    EXPECT_TRUE(cl.bCommenceParI(L"PRE"));
    EXPECT_TRUE(cl.bCommencePar(L""));
    EXPECT_FALSE(cl.bCommencePar(L"Prefixe.suffixe+"));
    EXPECT_TRUE(cl.bTerminePar(L".suffixe"));
    EXPECT_FALSE(cl.bTerminePar(L"SUFFIXE"));
    EXPECT_TRUE(cl.bTermineParI(L"SUFFIXE"));
    EXPECT_TRUE(cl.bTerminePar(L""));
    EXPECT_FALSE(CTString(L"fixe").bTerminePar(L"suffixe"));
    EXPECT_FALSE(CTString(L"fixe").bTermineParI(L"suffixe"));
}

TEST(CTString, Extraction)
{
    CTString cl(L"abcdef");
    EXPECT_STREQ(cl.clMilieu(2, 3).pszGet(), L"cde");
    EXPECT_STREQ(cl.clMilieu(4, 10).pszGet(), L"ef");
    EXPECT_STREQ(cl.clMilieu(6, 2).pszGet(), L"");
    EXPECT_STREQ(cl.clMilieu(7, 2).pszGet(), L"");
    EXPECT_STREQ(cl.clMilieu(-1, 2).pszGet(), L"");
    EXPECT_STREQ(cl.clMilieu(3).pszGet(), L"def");
    EXPECT_STREQ(cl.clMilieu(7).pszGet(), L"");
    EXPECT_STREQ(CTString().clMilieu(0, 3).pszGet(), L"");
    EXPECT_STREQ(cl.clGauche(2).pszGet(), L"ab");
    EXPECT_STREQ(cl.clGauche(20).pszGet(), L"abcdef");
    EXPECT_STREQ(cl.clDroite(2).pszGet(), L"ef");
    EXPECT_STREQ(cl.clDroite(20).pszGet(), L"abcdef");
    EXPECT_STREQ(cl.clDroite(0).pszGet(), L"");
    EXPECT_STREQ(cl.clDroite(-3).pszGet(), L"");
    EXPECT_STREQ(cl.clExclu(L"dc").pszGet(), L"ab");
    EXPECT_STREQ(cl.clExclu(L"xyz").pszGet(), L"abcdef");
    EXPECT_STREQ(cl.clContientUniquement(L"bad").pszGet(), L"ab");
    EXPECT_STREQ(cl.clContientUniquement(L"xyz").pszGet(), L"");
    EXPECT_STREQ((cl + L"gh").pszGet(), L"abcdefgh");
    EXPECT_STREQ((cl + nullptr).pszGet(), L"abcdef");
    EXPECT_STREQ(cl.pszGet(), L"abcdef");
}

namespace {

class CCollecte : public IVisiteurPourTouteChaine {
public:
    explicit CCollecte(int nArret = -1) : m_nArret(nArret) {}
    int nVisite(int nIndice, const wchar_t* pszChaine, int nTaille) override
    {
        m_aIndices.push_back(nIndice);
        m_aChamps.emplace_back(pszChaine, nTaille);
        return nIndice == m_nArret ? 0 : 7;
    }
    std::vector<int> m_aIndices;
    std::vector<std::wstring> m_aChamps;

private:
    int m_nArret;
};

}  // namespace

TEST(CTString, FieldSplitting)
{
    CTString out(L"garde");
    EXPECT_FALSE(CTString().bExtraitChaine(0u, L';', &out));
    EXPECT_FALSE(CTString(L"x", 0).bExtraitChaine(0u, L';', &out));
    EXPECT_FALSE(CTString().bExtraitChaine(0, L";", &out));
    EXPECT_STREQ(out.pszGet(), L"garde");
    EXPECT_TRUE(CTString(L"x", 0).bExtraitChaine(0, L";", &out));
    EXPECT_STREQ(out.pszGet(), L"");

    CTString ab(L"a;b");
    EXPECT_FALSE(ab.bExtraitChaine(2u, L';', &out));
    EXPECT_FALSE(ab.bExtraitChaine(2, L";", &out));
    EXPECT_TRUE(ab.bExtraitChaine(1u, L';', &out));
    EXPECT_STREQ(out.pszGet(), L"b");
    EXPECT_TRUE(ab.bExtraitChaine(-3, L";", &out));
    EXPECT_STREQ(out.pszGet(), L"a");
    // A NUL separator never matches: nothing is read past the terminator.
    EXPECT_FALSE(ab.bExtraitChaine(1u, L'\0', &out));

    out = L"x";
    EXPECT_TRUE(CTString(L"a;").bExtraitChaine(1u, L';', &out));
    EXPECT_STREQ(out.pszGet(), L"");
    EXPECT_TRUE(CTString(L"a;").bExtraitChaine(1, L";", &out));
    EXPECT_STREQ(out.pszGet(), L"");

    CTString multi(L"un::deux::::trois");
    EXPECT_TRUE(multi.bExtraitChaine(1, L"::", &out));
    EXPECT_STREQ(out.pszGet(), L"deux");
    EXPECT_TRUE(multi.bExtraitChaine(2, L"::", &out));
    EXPECT_STREQ(out.pszGet(), L"");
    EXPECT_TRUE(multi.bExtraitChaine(3, L"::", &out));
    EXPECT_STREQ(out.pszGet(), L"trois");

    const wchar_t* p = nullptr;
    int nTaille = -1;
    EXPECT_TRUE(multi.bExtraitChainePos(1, L"::", &p, &nTaille));
    EXPECT_EQ(p, multi.pszGet() + 4);
    EXPECT_EQ(nTaille, 4);
    EXPECT_TRUE(CTString(L"a,bc,d").bExtraitChainePos(1u, L',', &p, &nTaille));
    EXPECT_EQ(std::wstring(p, nTaille), L"bc");
    int nPosChamp = -1;
    EXPECT_TRUE(multi.bExtraitPosTailleChaine(3, L"::", &nPosChamp, &nTaille));
    EXPECT_EQ(nPosChamp, 12);
    EXPECT_EQ(nTaille, 5);

    CTString modif(L"a;b;c");
    EXPECT_TRUE(modif.bExtraitEtRemplaceChaine(1, L";", L"XY"));
    EXPECT_STREQ(modif.pszGet(), L"a;XY;c");
    modif = L"a;";
    EXPECT_TRUE(modif.bExtraitEtRemplaceChaine(1, L";", L"Z"));
    EXPECT_STREQ(modif.pszGet(), L"a;Z");
    EXPECT_FALSE(modif.bExtraitEtRemplaceChaine(5, L";", L"Z"));
    EXPECT_STREQ(modif.pszGet(), L"a;Z");

    // Tokens: runs of delimiters separate, empty tokens never occur.
    CTString tok(L",,a,, b");
    EXPECT_TRUE(tok.bExtraitChaineTok(1, L" ,", &out));
    EXPECT_STREQ(out.pszGet(), L"b");
    EXPECT_TRUE(tok.bExtraitChaineTok(0, L" ,", &out));
    EXPECT_STREQ(out.pszGet(), L"a");
    out = L"garde";
    EXPECT_FALSE(tok.bExtraitChaineTok(2, L" ,", &out));
    EXPECT_STREQ(out.pszGet(), L"garde");
    EXPECT_TRUE(tok.bExtraitChaineTok(-1, L" ,", &out));
    EXPECT_STREQ(out.pszGet(), L"");
    EXPECT_FALSE(CTString().bExtraitChaineTok(0, L",", &out));
    EXPECT_STREQ(tok.pszGet(), L",,a,, b");

    // The visitor sees every field, the trailing empty one last.
    CCollecte tous;
    EXPECT_EQ(CTString(L"a--bc--").PourTouteChaineSepareePar(L"--", &tous), 7);
    EXPECT_EQ(tous.m_aIndices, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(tous.m_aChamps, (std::vector<std::wstring>{L"a", L"bc", L""}));
    CCollecte arret(1);
    EXPECT_EQ(CTString(L"a-b-c").PourTouteChaineSepareePar(L"-", &arret), 0);
    EXPECT_EQ(arret.m_aChamps, (std::vector<std::wstring>{L"a", L"b"}));
    CCollecte aucun;
    EXPECT_EQ(CTString().PourTouteChaineSepareePar(L"-", &aucun), 0);
    EXPECT_TRUE(aucun.m_aIndices.empty());
    // Without a separator the whole text is the only field (no endless loop).
    CCollecte sansSep;
    EXPECT_EQ(CTString(L"a-b").PourTouteChaineSepareePar(L"", &sansSep), 7);
    EXPECT_EQ(sansSep.m_aChamps, (std::vector<std::wstring>{L"a-b"}));
}

TEST(CTString, SetFromCutFamily)
{
    const wchar_t* src = L"a/b/c";
    CTString cl;
    EXPECT_EQ(cl.pszSetDebutPremier(src, L'/'), src + 2);
    EXPECT_STREQ(cl.pszGet(), L"a");
    EXPECT_EQ(cl.pszSetDebutDernier(src, L'/'), src + 4);
    EXPECT_STREQ(cl.pszGet(), L"a/b");
    EXPECT_EQ(cl.pszSetFinPremier(src, L'/'), src + 2);
    EXPECT_STREQ(cl.pszGet(), L"b/c");
    EXPECT_EQ(cl.pszSetFinDernier(src, L'/'), src + 4);
    EXPECT_STREQ(cl.pszGet(), L"c");
    EXPECT_EQ(cl.pszSetFinDernierExistant(src, L'/'), src + 4);
    EXPECT_STREQ(cl.pszGet(), L"c");
    EXPECT_EQ(cl.pszSetDebutPremierExistant(src, L'/'), src + 2);
    EXPECT_STREQ(cl.pszGet(), L"a");

    const wchar_t* sans = L"abc";
    cl = L"x";
    EXPECT_EQ(cl.pszSetFinDernier(sans, L'/'), nullptr);
    EXPECT_STREQ(cl.pszGet(), L"abc");
    EXPECT_EQ(cl.pszSetDebutPremier(sans, L'/'), nullptr);
    EXPECT_STREQ(cl.pszGet(), L"abc");
    EXPECT_EQ(cl.pszSetFinDernierExistant(sans, L'/'), sans);
    EXPECT_STREQ(cl.pszGet(), L"");
    cl = L"x";
    EXPECT_EQ(cl.pszSetDebutDernierExistant(sans, L'/'), sans);
    EXPECT_STREQ(cl.pszGet(), L"");
    cl = L"x";
    EXPECT_EQ(cl.pszSetFinPremierExistant(sans, L'/'), sans);
    EXPECT_STREQ(cl.pszGet(), L"");

    // Separator in last or first place.
    const wchar_t* fin = L"ab/";
    EXPECT_EQ(cl.pszSetFinDernier(fin, L'/'), fin + 3);
    EXPECT_STREQ(cl.pszGet(), L"");
    cl.pszSetDebutPremier(L"/ab", L'/');
    EXPECT_STREQ(cl.pszGet(), L"");
    // A NUL character is never found.
    EXPECT_EQ(cl.pszSetFinPremier(sans, L'\0'), nullptr);
    EXPECT_STREQ(cl.pszGet(), L"abc");

    // From the string's own text.
    cl = L"dir/sub/file.ext";
    cl.pszSetFinDernier(cl.pszGet(), L'/');
    EXPECT_STREQ(cl.pszGet(), L"file.ext");
    cl.pszSetDebutDernier(cl.pszGet(), L'.');
    EXPECT_STREQ(cl.pszGet(), L"file");
}

TEST(CTString, Replacement)
{
    CTString cl(L"abab");
    cl.Remplace(L"ab", L"x", 0);
    EXPECT_STREQ(cl.pszGet(), L"xx");
    cl = L"abab";
    cl.Remplace(L"ab", L"x", 1);
    EXPECT_STREQ(cl.pszGet(), L"abx");
    cl = L"abab";
    cl.Remplace(L"ab", L"", 0);
    EXPECT_EQ(cl.nTaille(), 0);
    cl = L"abab";
    cl.Remplace(L"zz", L"x");
    cl.Remplace(L"", L"x");
    cl.Remplace(L"ab", L"x", 5);
    cl.Remplace(L"ab", L"x", -1);
    EXPECT_STREQ(cl.pszGet(), L"abab");
    cl.Remplace(L"b", nullptr);
    EXPECT_STREQ(cl.pszGet(), L"aa");
    cl = L"aaa";
    cl.Remplace(L"aa", L"b");  // non-overlapping, left to right
    EXPECT_STREQ(cl.pszGet(), L"ba");
    CTString vide;
    vide.Remplace(L"a", L"b");
    EXPECT_EQ(vide.pszGet(), VideStatique());

    // Results above the stack work area.
    cl = Repete(L"ab", 1000).c_str();
    cl.Remplace(L"b", L"123");
    EXPECT_EQ(std::wstring(cl.pszGet()), Repete(L"a123", 1000));
    cl.Remplace(L"a123", L"z");
    EXPECT_EQ(std::wstring(cl.pszGet()), Repete(L"z", 1000));

    cl = L"aBab";
    cl.RemplaceI(L"AB", L"x", 0);
    EXPECT_STREQ(cl.pszGet(), L"xx");
    cl = L"aBab";
    cl.RemplaceI(L"AB", L"x", 1);
    EXPECT_STREQ(cl.pszGet(), L"aBx");

    // Position forms.
    cl = L"abcdef";
    cl.Remplace(2, 2, L"XYZ");
    EXPECT_STREQ(cl.pszGet(), L"abXYZef");
    cl.Remplace(5, 2, L"!");
    EXPECT_STREQ(cl.pszGet(), L"abXYZ!");
    cl.Remplace(0, 0, L">");
    EXPECT_STREQ(cl.pszGet(), L">abXYZ!");
    cl.Remplace(3, 10, L"?");  // past the end: refused
    cl.Remplace(-1, 1, L"?");
    EXPECT_STREQ(cl.pszGet(), L">abXYZ!");
    cl = L"a.b.c";
    cl.Remplace(L'.', L'-', 2);
    EXPECT_STREQ(cl.pszGet(), L"a.b-c");
    cl.Remplace(L'.', L'-', 5);
    EXPECT_STREQ(cl.pszGet(), L"a.b-c");
    cl.Remplace(L'.', L'-');
    EXPECT_STREQ(cl.pszGet(), L"a-b-c");
}

// Matching without case must count and copy alike, even where the C
// library's case mapping and the locale service's disagree.
TEST(CTString, RemplaceICaseFolding)
{
    // e acute and E acute are case pairs; so are dotless i and I.
    CTString cl(L"\u00E9-\u00C9-\u00E9");
    cl.RemplaceI(L"\u00C9", L"<<>>");
    EXPECT_STREQ(cl.pszGet(), L"<<>>-<<>>-<<>>");
    cl = L"\u0131Ii";
    cl.RemplaceI(L"i", L"[ ]");
    EXPECT_STREQ(cl.pszGet(), L"[ ][ ][ ]");

    // Sharp s upper-cases to itself one character at a time: a match is
    // never stretched to two letters.
    cl = L"Stra\u00DFe STRASSE";
    cl.RemplaceI(L"ss", L"#");
    EXPECT_STREQ(cl.pszGet(), L"Stra\u00DFe STRA#E");
    cl = L"\u00DFSS";
    cl.RemplaceI(L"\u00DF", L"ss");
    EXPECT_STREQ(cl.pszGet(), L"ssSS");

    // Long enough for the heap work area.
    cl = Repete(L"\u00E9A", 700).c_str();
    cl.RemplaceI(L"\u00C9a", L"xyz");
    EXPECT_EQ(std::wstring(cl.pszGet()), Repete(L"xyz", 700));
}

TEST(CTString, Modification)
{
    CTString cl;
    cl.Add(L"ab");
    cl.Add(static_cast<const wchar_t*>(nullptr));
    cl.Add(L"cd");
    EXPECT_STREQ(cl.pszGet(), L"abcd");

    // The trailing NUL of a counted source is dropped; inner NULs are kept.
    CTString n;
    n.Add(L"ab\0", 3);
    EXPECT_STREQ(n.pszGet(), L"ab");
    EXPECT_EQ(n.nTaille(), 2);
    n.Add(L"\0", 1);
    n.Add(L"xy", 0);
    n.Add(L"xy", -4);
    EXPECT_STREQ(n.pszGet(), L"ab");
    const wchar_t binaire[] = {L'c', 0, L'd'};
    n.Add(binaire, 3);
    EXPECT_EQ(n.nTaille(), 3);
    EXPECT_EQ(n.cGetChar(4), L'd');

    cl.Add(L"1", nullptr, L"23");
    EXPECT_STREQ(cl.pszGet(), L"abcd123");
    CTString t;
    t.Add(L"x", L"y", L"z");
    EXPECT_STREQ(t.pszGet(), L"xyz");
    t.Add(L'!');
    EXPECT_STREQ(t.pszGet(), L"xyz!");
    t.AddI4(-42);
    t.AddI8(-9000000000LL);
    EXPECT_STREQ(t.pszGet(), L"xyz!-42-9000000000");

    CTString ins;
    ins.Insert(L'a');
    ins.Insert(L'b');
    EXPECT_STREQ(ins.pszGet(), L"ba");
    ins = L"abc";
    ins.Insert(L"xy", -1, 5);
    EXPECT_STREQ(ins.pszGet(), L"abcxy");
    ins.Insert(L"123", 2, 1);
    EXPECT_STREQ(ins.pszGet(), L"a12bcxy");
    ins.Insert(L"<", 9, 0);  // count past the source's end: only what it holds
    EXPECT_STREQ(ins.pszGet(), L"<a12bcxy");
    ins.Insert(L"q", -2, 0);
    ins.Insert(L"", -1, 0);
    ins.Insert(L"q", -1, -1);
    EXPECT_STREQ(ins.pszGet(), L"<a12bcxy");
    CTString insVide;
    insVide.Insert(L"abc", 0, 0);
    EXPECT_NE(insVide.pszGet(), VideStatique());
    EXPECT_EQ(insVide.nTaille(), 0);
    insVide.Insert(L"abc", 2, 7);
    EXPECT_STREQ(insVide.pszGet(), L"ab");

    CTString esp(L"a b c");
    esp.Insecable();
    EXPECT_STREQ(esp.pszGet(), L"a\u00A0b\u00A0c");

    CTString tr(L"abcdef");
    tr.Tronque(6);
    tr.Tronque(-1);
    tr.Tronque(7);
    EXPECT_STREQ(tr.pszGet(), L"abcdef");
    tr.Tronque(4);
    EXPECT_STREQ(tr.pszGet(), L"abcd");
    tr.TronqueDebut(1);
    EXPECT_STREQ(tr.pszGet(), L"bcd");
    tr.TronqueDebut(3);
    EXPECT_STREQ(tr.pszGet(), L"");
    tr = L"abcdef";
    tr.Coupe(1, 2);
    EXPECT_STREQ(tr.pszGet(), L"adef");
    tr.Coupe(2, 10);
    EXPECT_STREQ(tr.pszGet(), L"ad");
    tr.Coupe(3, 1);
    tr.Coupe(-1, 1);
    EXPECT_STREQ(tr.pszGet(), L"ad");
    tr.Coupe(0, 2);
    EXPECT_STREQ(tr.pszGet(), L"");

    CTString co(L"12345");
    co.Complete(3, L'0');
    EXPECT_STREQ(co.pszGet(), L"123");
    co = L"7";
    co.Complete(3, L'0');
    EXPECT_STREQ(co.pszGet(), L"700");
    CTString coVide;
    coVide.Complete(4, L'-');
    EXPECT_STREQ(coVide.pszGet(), L"----");
    coVide.Complete(-1, L'-');
    EXPECT_STREQ(coVide.pszGet(), L"----");

    CTString rv(L"abcd");
    rv.Renverse();
    EXPECT_STREQ(rv.pszGet(), L"dcba");
    rv = L"abc";
    rv.Renverse();
    EXPECT_STREQ(rv.pszGet(), L"cba");
    rv = L"a";
    rv.Renverse();
    EXPECT_STREQ(rv.pszGet(), L"a");

    CTString casse(L"\u00E9t\u00E9 Zo\u00E9");
    casse.Majuscule();
    EXPECT_STREQ(casse.pszGet(), L"\u00C9T\u00C9 ZO\u00C9");
    casse.Minuscule();
    EXPECT_STREQ(casse.pszGet(), L"\u00E9t\u00E9 zo\u00E9");
    casse.SansAccent();
    EXPECT_STREQ(casse.pszGet(), L"ete zoe");
    CTString rien;
    rien.Majuscule();
    rien.SansAccent();
    EXPECT_EQ(rien.pszGet(), VideStatique());

    CTString se(L"  a b \t  ");
    se.SansEspace();
    EXPECT_STREQ(se.pszGet(), L"  a b \t");
}

TEST(CTString, Trims)
{
    CTString cl(L"xxabxx");
    cl.LTrim(L'x');
    EXPECT_STREQ(cl.pszGet(), L"abxx");
    cl.RTrim(L'x');
    EXPECT_STREQ(cl.pszGet(), L"ab");
    cl = L"--a-b--";
    cl.Trim(L'-');
    EXPECT_STREQ(cl.pszGet(), L"a-b");
    cl = L" \t a b \n ";
    cl.Trim();
    EXPECT_STREQ(cl.pszGet(), L"a b");
    CTString vide;
    vide.Trim();
    vide.LTrim(L'x');
    EXPECT_EQ(vide.pszGet(), VideStatique());

    // Map flags: 1 upper case, 2 no accents, 4 no punctuation.
    cl = L"a.b, c\u00E9";
    cl.MapStringEx(1);
    EXPECT_STREQ(cl.pszGet(), L"A.B, C\u00C9");
    cl.MapStringEx(4);
    EXPECT_STREQ(cl.pszGet(), L"ABC\u00C9");
    cl = L"...";
    cl.MapStringEx(4);
    EXPECT_STREQ(cl.pszGet(), L"");

    cl.SetStandard(L"\u00C9l\u00E9phant");
    EXPECT_STREQ(cl.pszGet(), L"ELEPHANT");
    cl.SetStandard(L"caf\u00E9");  // shorter: a new size
    EXPECT_STREQ(cl.pszGet(), L"CAFE");
    cl.SetStandard(cl.pszGet() + 1);
    EXPECT_STREQ(cl.pszGet(), L"AFE");
    cl = L"d\u00E9j\u00E0";
    cl.SetStandard(cl.pszGet());
    EXPECT_STREQ(cl.pszGet(), L"DEJA");
    cl.SetStandard(nullptr);
    EXPECT_EQ(cl.pszGet(), VideStatique());

    CTString el;
    el.Ellipse(L"abcdefghij", 7, ELLIPSIS_END);
    EXPECT_STREQ(el.pszGet(), L"abcd...");
    el.Ellipse(L"abcdefghij", 7, ELLIPSIS_MIDDLE);
    EXPECT_STREQ(el.pszGet(), L"ab...ij");
    el.Ellipse(L"abcdefghij", 7, ELLIPSIS_START);
    EXPECT_STREQ(el.pszGet(), L"...ghij");
    el.Ellipse(L"abc", 7, ELLIPSIS_END);
    EXPECT_STREQ(el.pszGet(), L"abc");
    el.Ellipse(L"", 7, ELLIPSIS_END);
    EXPECT_EQ(el.pszGet(), VideStatique());
    // Nothing written by the shortening: an empty text, not stale characters.
    el.Ellipse(L"abcdefghij", 2, ELLIPSIS_END);
    EXPECT_STREQ(el.pszGet(), L"");
    el.Ellipse(L"abcdefghij", 7, static_cast<eELLIPSISPOSITION>(9));
    EXPECT_STREQ(el.pszGet(), L"");
    el = L"0123456789";
    el.Ellipse(el.pszGet(), 6, ELLIPSIS_START);
    EXPECT_STREQ(el.pszGet(), L"...789");
}

TEST(CTString, NumericValue)
{
    EXPECT_EQ(CTString(L"1aG").nVal(16, 0, -1), 26);
    EXPECT_EQ(CTString(L"-5").nVal(10, 0, -1), 0);
    EXPECT_EQ(CTString(L" 5").nVal(10, 0, -1), 0);
    EXPECT_EQ(CTString(L"FF").nVal(16, 0, -1), 255);
    EXPECT_EQ(CTString(L"zZ").nVal(36, 0, -1), 35 * 36 + 35);
    EXPECT_EQ(CTString(L"1019").nVal(2, 0, -1), 5);  // 101 in binary, stops at 9
    EXPECT_EQ(CTString(L"12345").nVal(10, 1, 2), 23);
    EXPECT_EQ(CTString(L"12345").nVal(10, 3, 99), 45);
    EXPECT_EQ(CTString(L"12345").nVal(10, 5, -1), 0);
    EXPECT_EQ(CTString(L"12345").nVal(10, 6, -1), 0);
    EXPECT_EQ(CTString().nVal(10, 0, -1), 0);
    EXPECT_EQ(CTString(L"777").nVal(8, 0, -1), 511);
    EXPECT_EQ(CTString(L"8").nVal(8, 0, -1), 0);
    // 2^64 wraps to 0, 2^64 + 1 to 1; 2^63 reads back as the most negative.
    EXPECT_EQ(CTString(L"18446744073709551616").nVal(10, 0, -1), 0);
    EXPECT_EQ(CTString(L"18446744073709551617").nVal(10, 0, -1), 1);
    EXPECT_EQ(CTString(L"9223372036854775808").nVal(10, 0, -1), LLONG_MIN);
}

TEST(CTString, AnsiConversionWithLength)
{
    // UTF-8 of a, e acute (C3 A9), euro (E2 82 AC), b.
    const char utf8[] = "a\xC3\xA9\xE2\x82\xAC" "b";
    CTString cl;
    cl.SetANSIEx(utf8, 7, 65001);
    EXPECT_STREQ(cl.pszGet(), L"a\u00E9\u20ACb");
    EXPECT_EQ(cl.nTaille(), 4);
    cl.SetANSIEx(utf8, 3, 65001);
    EXPECT_STREQ(cl.pszGet(), L"a\u00E9");
    cl.SetANSIEx(utf8, -1, 65001);
    EXPECT_STREQ(cl.pszGet(), L"a\u00E9\u20ACb");

    // Exactly n bytes are read: a source without terminator.
    char brut[3] = {'x', '\xC3', '\xA9'};
    cl.SetANSIEx(brut, 3, 65001);
    EXPECT_STREQ(cl.pszGet(), L"x\u00E9");
    char brut1252[2] = {'o', '\xF9'};
    cl.SetANSIEx(brut1252, 2, 1252);
    EXPECT_STREQ(cl.pszGet(), L"o\u00F9");
    cl.SetANSIEx("abcdef", 3, 1252);
    EXPECT_STREQ(cl.pszGet(), L"abc");
    cl.SetANSIEx("abcdef", 0, 1252);
    EXPECT_NE(cl.pszGet(), VideStatique());
    EXPECT_EQ(cl.nTaille(), 0);

    // A cut sequence fails: an empty text, never stale characters.
    cl = L"avant";
    cl.SetANSIEx("\xC3\xA9\xC3\xA9", 3, 65001);
    EXPECT_EQ(cl.nTaille(), 0);
    cl.SetANSIEx(nullptr, 4, 1252);
    EXPECT_EQ(cl.pszGet(), VideStatique());

    // Long texts: each 2-byte character is one wide character.
    std::string long8;
    for (int i = 0; i < 3000; ++i)
        long8 += "\xC3\xA9";
    cl.SetANSIEx(long8.c_str(), static_cast<int>(long8.size()), 65001);
    EXPECT_EQ(std::wstring(cl.pszGet()), std::wstring(3000, L'\u00E9'));
}

// Sources taken from the string's own buffer are read before it moves.
TEST(CTString, OwnBufferSources)
{
    const std::wstring base = Repete(L"0123456789", 300);
    CTString cl(base.c_str());
    cl.Add(cl.pszGet());
    EXPECT_EQ(std::wstring(cl.pszGet()), base + base);

    cl = base.c_str();
    cl.Add(cl.pszGet() + 5, 10);
    EXPECT_EQ(std::wstring(cl.pszGet()), base + L"5678901234");

    cl = base.c_str();
    cl.Add(cl.pszGet(), L"|", cl.pszGet() + 2990);
    EXPECT_EQ(std::wstring(cl.pszGet()), base + base + L"|" + L"0123456789");

    cl = base.c_str();
    cl.Insert(cl.pszGet() + 10, 2000, 3);
    EXPECT_EQ(std::wstring(cl.pszGet()), base.substr(0, 3) + base.substr(10, 2000) + base.substr(3));

    cl = base.c_str();
    cl.Insert(cl.pszGet() + 1, -1, 5000);
    EXPECT_EQ(std::wstring(cl.pszGet()), base + base.substr(1));

    cl = base.c_str();
    cl.Remplace(1, 2, cl.pszGet());
    EXPECT_EQ(std::wstring(cl.pszGet()), L"0" + base + base.substr(3));

    cl = base.c_str();
    cl.Set(cl.pszGet() + 2995);
    EXPECT_STREQ(cl.pszGet(), L"56789");

    cl = base.c_str();
    cl.Set(cl.pszGet() + 2990, 3u);
    EXPECT_STREQ(cl.pszGet(), L"012");

    cl = base.c_str();
    cl.SetFromBinary(cl.pszGet() + 1, 4);
    EXPECT_STREQ(cl.pszGet(), L"1234");

    cl = base.c_str();
    cl.Set(cl.pszGet(), cl.pszGet(), cl.pszGet());
    EXPECT_EQ(std::wstring(cl.pszGet()), base + base + base);

    // Same total length: the parts overlap the buffer being rewritten.
    cl = L"abcd";
    cl.Set(cl.pszGet() + 1, cl.pszGet() + 3, nullptr);
    EXPECT_STREQ(cl.pszGet(), L"bcdd");
    cl = L"abcd";
    cl.Set(cl.pszGet() + 3, cl.pszGet() + 1, nullptr);
    EXPECT_STREQ(cl.pszGet(), L"dbcd");

    cl = base.c_str();
    cl.Remplace(L"9", cl.pszGet() + 2996);  // "6789" for every 9
    std::wstring attendu;
    for (wchar_t c : base)
        attendu += c == L'9' ? std::wstring(L"6789") : std::wstring(1, c);
    EXPECT_EQ(std::wstring(cl.pszGet()), attendu);

    cl = L"a;bb;c";
    EXPECT_TRUE(cl.bExtraitChaine(1u, L';', &cl));
    EXPECT_STREQ(cl.pszGet(), L"bb");
    cl = L"a::bb";
    EXPECT_TRUE(cl.bExtraitChaine(1, L"::", &cl));
    EXPECT_STREQ(cl.pszGet(), L"bb");
    cl = L"x y";
    EXPECT_TRUE(cl.bExtraitChaineTok(0, L" ", &cl));
    EXPECT_STREQ(cl.pszGet(), L"x");

    // After a cut the rest of the old text still lies in the buffer.
    cl = base.c_str();
    cl.Tronque(10);
    cl.Add(cl.pszGet() + 20);
    EXPECT_EQ(std::wstring(cl.pszGet()), base.substr(0, 10) + base.substr(20));
}

TEST(CTString, SizesNeverWrap)
{
    // (INT_MAX + 1) x 4 bytes wraps in 32 bits: refused, the text kept.
    CTString cl(L"abc");
    EXPECT_THROW(cl.Complete(INT_MAX, L'x'), std::bad_alloc);
    EXPECT_STREQ(cl.pszGet(), L"abc");
    CTString vide;
    EXPECT_THROW(vide.Complete(INT_MAX, L'x'), std::bad_alloc);
    EXPECT_EQ(vide.nTaille(), 0);
}

TEST(CTString, TemporaryFileName)
{
    CTString cl;
    cl.FichierTemporaire(L"zt");
    ASSERT_GT(cl.nTaille(), 3);
    CTString nom;
    nom.pszSetFinDernier(cl.pszGet(), L'/');
    EXPECT_TRUE(nom.bCommencePar(L"zt")) << cl.pszGet();
    // Not created by the call.
    std::string chemin;
    for (const wchar_t* p = cl.pszGet(); *p; ++p)
        chemin += static_cast<char>(*p);
    EXPECT_NE(access(chemin.c_str(), F_OK), 0);

    // The name comes back as UTF-8, as the prefix went.
    cl.FichierTemporaire(L"\u00E9t");
    nom.pszSetFinDernier(cl.pszGet(), L'/');
    EXPECT_TRUE(nom.bCommencePar(L"\u00E9t")) << cl.pszGet();
    // A long prefix is shortened on a character boundary, never into a
    // broken sequence.
    cl.FichierTemporaire(L"\u00E9\u00E9\u00E9\u00E9");
    nom.pszSetFinDernier(cl.pszGet(), L'/');
    EXPECT_TRUE(nom.bCommencePar(L"\u00E9\u00E9")) << cl.pszGet();
    EXPECT_GT(nom.nTaille(), 2);
    // A prefix of more than 1023 bytes takes the heap.
    cl.FichierTemporaire(std::wstring(700, L'\u00E9').c_str());
    nom.pszSetFinDernier(cl.pszGet(), L'/');
    EXPECT_TRUE(nom.bCommencePar(L"\u00E9")) << cl.pszGet();

    cl.FichierTemporaire(nullptr);
    EXPECT_GT(cl.nTaille(), 0);
}
