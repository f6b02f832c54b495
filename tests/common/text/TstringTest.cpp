#include "common/text/Tstring.h"

#include "common/text/XYString.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::wstring Repete(const std::wstring& motif, int n)
{
    std::wstring s;
    for (int i = 0; i < n; ++i)
        s += motif;
    return s;
}

std::wstring S(const CTString& cl) { return cl.pszGet(); }

// A string set to avant, changed by op, must read apres.
struct Cas {
    std::wstring avant;
    void (*op)(CTString&);
    std::wstring apres;
};

void Verifie(std::initializer_list<Cas> cas)
{
    int i = 0;
    for (const Cas& c : cas) {
        SCOPED_TRACE(testing::Message() << "case " << i++ << " on " << c.avant.substr(0, 20));
        CTString cl(c.avant.c_str());
        c.op(cl);
        EXPECT_EQ(S(cl), c.apres);
    }
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
    EXPECT_STREQ(VideStatique(), L"");
    cl.Set(L"abc");
    cl.Set(L"");  // an empty source frees the buffer
    EXPECT_EQ(cl.pszGet(), VideStatique());
    // A length of 0 with a source leaves an allocated empty text that still
    // reads as empty.
    cl.Set(L"abc", 0u);
    EXPECT_NE(cl.pszGet(), VideStatique());
    EXPECT_TRUE(cl == CTString());
    cl.Set(static_cast<const wchar_t*>(nullptr), 4u);
    EXPECT_EQ(cl.pszGet(), VideStatique());
    const wchar_t binaire[] = {L'a', 0, L'b'};
    cl.SetFromBinary(binaire, 3);
    EXPECT_EQ(cl.cGetChar(2), L'b');
    EXPECT_EQ(cl.cGetChar(3), 0);
    cl.Set(nullptr, L"", nullptr);
    EXPECT_EQ(cl.pszGet(), VideStatique());
    EXPECT_EQ(CTString(static_cast<const char*>(nullptr)).pszGet(), VideStatique());
}

TEST(CTString, OwnershipAndCopies)
{
    CTString a(L"texte");
    CTString b(a);
    a.SetChar(0, L'T');
    EXPECT_STREQ(b.pszGet(), L"texte");
    const wchar_t* avant = a.pszGet();
    a = a;
    a = avant;  // its own buffer: nothing happens
    EXPECT_EQ(a.pszGet(), avant);
    EXPECT_STREQ(a.pszGet(), L"Texte");
    CTString c;
    c.Transfert(a);
    EXPECT_EQ(c.pszGet(), avant);
    EXPECT_EQ(a.pszGet(), VideStatique());
    c.Transfert(c);
    EXPECT_STREQ(c.pszGet(), L"Texte");
    wchar_t* p = wcsdup(L"ok");  // from malloc
    c.SetBuffer(p);
    c.SetBuffer(p);  // adopting what it holds must not free it
    EXPECT_STREQ(c.pszGet(), L"ok");
    CTString d;
    d.SetChar(0, L'x');
    EXPECT_EQ(d.pszGet(), VideStatique());
    // Out of range: no write, and the terminator is never overwritten.
    d = L"ab";
    d.SetChar(-1, L'x');
    d.SetChar(2, L'x');
    EXPECT_STREQ(d.pszGet(), L"ab");
    EXPECT_EQ(d.cGetChar(-1), 0);
    CLiveBlockCheck check;
    CXYString<wchar_t> xy(L"h\u00F4te", 4);
    d.Set(xy);
    d.Add(&xy);
    EXPECT_STREQ(d.pszGet(), L"h\u00F4teh\u00F4te");
}

TEST(CTString, SearchAndComparison)
{
    CTString vide;
    CTString alloue(L"x", 0);
    for (const CTString* p : {&vide, &alloue}) {
        EXPECT_EQ(p->nPos(L""), -1);
        EXPECT_EQ(p->nUpPos(L"a"), -1);
    }
    CTString cl(L"abcabc");
    EXPECT_EQ(cl.nPos(L"bc", 2), 4);
    EXPECT_EQ(cl.nPos(L"", 3), 3);
    EXPECT_EQ(cl.nPos(L"bc", -1), -1);
    EXPECT_EQ(cl.nPos(L'\0'), -1);
    EXPECT_EQ(cl.nPosParmi(L"xc"), 2);
    // Overlapping matches count for the last one, not for the count.
    EXPECT_EQ(CTString(L"aaa").nRPos(L"aa"), 1);
    EXPECT_EQ(CTString(L"aaaaa").nNbOcc(L"aa"), 2);
    EXPECT_EQ(cl.nNbOcc(L""), 0);
    CTString mixte(L"xaBab");
    EXPECT_EQ(mixte.nUpPos(L"AB", 2), 3);
    EXPECT_EQ(mixte.nUpPos(L"AB", 4), -1);  // no start position left
    EXPECT_FALSE(CTString(L"abc").bEstEgal(L"ab"));
    // Case-insensitive comparisons also ignore accents.
    EXPECT_TRUE(CTString(L"\u00E9cole").bEstEgalI(CTString(L"\u00C9COLE")));
    EXPECT_FALSE(CTString(L"\u00E9cole").bEstEgalI(L"ECOLES"));
    CTString fichier(L"Prefixe.suffixe");
    EXPECT_TRUE(fichier.bCommenceParI(L"PRE"));
    EXPECT_FALSE(fichier.bCommencePar(L"Prefixe.suffixe+"));
    EXPECT_TRUE(fichier.bTermineParI(L"SUFFIXE"));
    EXPECT_FALSE(CTString(L"fixe").bTerminePar(L"suffixe"));
    EXPECT_FALSE(CTString(L"fixe").bTermineParI(L"suffixe"));
}

TEST(CTString, FieldSplitting)
{
    // Field n at a character or a string; null text, beyond the count,
    // negative n and a NUL separator find nothing and leave the result.
    CTString out(L"garde");
    EXPECT_FALSE(CTString().bExtraitChaine(0u, L';', &out));
    EXPECT_FALSE(CTString().bExtraitChaine(0, L";", &out));
    EXPECT_FALSE(CTString(L"a;b").bExtraitChaine(2u, L';', &out));
    EXPECT_FALSE(CTString(L"a;b").bExtraitChaine(1u, L'\0', &out));  // never past the terminator
    EXPECT_STREQ(out.pszGet(), L"garde");
    EXPECT_TRUE(CTString(L"a;b").bExtraitChaine(-3, L";", &out));
    EXPECT_STREQ(out.pszGet(), L"a");
    out = L"x";
    EXPECT_TRUE(CTString(L"a;").bExtraitChaine(1u, L';', &out));
    EXPECT_STREQ(out.pszGet(), L"");
    CTString multi(L"un::deux::::trois");
    EXPECT_TRUE(multi.bExtraitChaine(2, L"::", &out));
    EXPECT_STREQ(out.pszGet(), L"");
    const wchar_t* p = nullptr;
    int nTaille = -1;
    EXPECT_TRUE(multi.bExtraitChainePos(1, L"::", &p, &nTaille));
    EXPECT_EQ(p, multi.pszGet() + 4);
    EXPECT_EQ(nTaille, 4);
    CTString modif(L"a;b;c");
    EXPECT_TRUE(modif.bExtraitEtRemplaceChaine(1, L";", L"XY"));
    EXPECT_STREQ(modif.pszGet(), L"a;XY;c");
    EXPECT_FALSE(modif.bExtraitEtRemplaceChaine(5, L";", L"Z"));
    EXPECT_STREQ(modif.pszGet(), L"a;XY;c");
    // Tokens: runs of delimiters separate, empty tokens never occur.
    CTString tok(L",,a,, b");
    EXPECT_TRUE(tok.bExtraitChaineTok(1, L" ,", &out));
    EXPECT_STREQ(out.pszGet(), L"b");
    EXPECT_FALSE(tok.bExtraitChaineTok(2, L" ,", &out));
    EXPECT_TRUE(tok.bExtraitChaineTok(-1, L" ,", &out));
    EXPECT_STREQ(out.pszGet(), L"");
    EXPECT_STREQ(tok.pszGet(), L",,a,, b");
    // The visitor sees every field, the trailing empty one last; without a
    // separator the whole text is the only field (no endless loop).
    struct CCollecte : IVisiteurPourTouteChaine {
        explicit CCollecte(int nArret = -1) : m_nArret(nArret) {}
        int nVisite(int nIndice, const wchar_t* psz, int nTaille) override
        {
            m_aChamps.emplace_back(std::to_wstring(nIndice) + L":" + std::wstring(psz, nTaille));
            return nIndice == m_nArret ? 0 : 7;
        }
        int m_nArret;
        std::vector<std::wstring> m_aChamps;
    };
    CCollecte tous;
    EXPECT_EQ(CTString(L"a--bc--").PourTouteChaineSepareePar(L"--", &tous), 7);
    EXPECT_EQ(tous.m_aChamps, (std::vector<std::wstring>{L"0:a", L"1:bc", L"2:"}));
    CCollecte arret(1);
    EXPECT_EQ(CTString(L"a-b-c").PourTouteChaineSepareePar(L"-", &arret), 0);
    EXPECT_EQ(arret.m_aChamps, (std::vector<std::wstring>{L"0:a", L"1:b"}));
    CCollecte sansSep;
    EXPECT_EQ(CTString(L"a-b").PourTouteChaineSepareePar(L"", &sansSep), 7);
    EXPECT_EQ(sansSep.m_aChamps, (std::vector<std::wstring>{L"0:a-b"}));
}

TEST(CTString, SetFromCutFamily)
{
    using Coupe = const wchar_t* (CTString::*)(const wchar_t*, wchar_t);
    const wchar_t* src = L"a/b/c";
    const wchar_t* sans = L"abc";
    const wchar_t* fin = L"ab/";
    // Function, source, expected answer and text.
    const struct { Coupe f; const wchar_t* src; const wchar_t* retour; const wchar_t* texte; } rows[] = {
        {&CTString::pszSetDebutPremier, src, src + 2, L"a"},
        {&CTString::pszSetDebutDernier, src, src + 4, L"a/b"},
        {&CTString::pszSetFinPremier, src, src + 2, L"b/c"},
        {&CTString::pszSetFinDernier, src, src + 4, L"c"},
        {&CTString::pszSetFinDernierExistant, src, src + 4, L"c"},
        // Absent: all of the source, or nothing for the Existant forms.
        {&CTString::pszSetFinDernier, sans, nullptr, L"abc"},
        {&CTString::pszSetDebutPremier, sans, nullptr, L"abc"},
        {&CTString::pszSetFinDernierExistant, sans, sans, L""},
        {&CTString::pszSetDebutDernierExistant, sans, sans, L""},
        {&CTString::pszSetFinPremierExistant, sans, sans, L""},
        {&CTString::pszSetFinDernier, fin, fin + 3, L""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&r - rows));
        CTString cl(L"x");
        EXPECT_EQ((cl.*r.f)(r.src, L'/'), r.retour);
        EXPECT_STREQ(cl.pszGet(), r.texte);
    }
    // A NUL character is never found.
    CTString cl;
    EXPECT_EQ(cl.pszSetFinPremier(sans, L'\0'), nullptr);
    EXPECT_STREQ(cl.pszGet(), L"abc");
    // From the string's own text.
    cl = L"dir/sub/file.ext";
    cl.pszSetFinDernier(cl.pszGet(), L'/');
    cl.pszSetDebutDernier(cl.pszGet(), L'.');
    EXPECT_STREQ(cl.pszGet(), L"file");
}

TEST(CTString, ExtractionAndReplacement)
{
    Verifie({
        {L"abcdef", [](CTString& c) { c = c.clMilieu(4, 10); }, L"ef"},
        {L"abcdef", [](CTString& c) { c = c.clMilieu(7, 2); }, L""},
        {L"abcdef", [](CTString& c) { c = c.clMilieu(-1, 2); }, L""},
        {L"abcdef", [](CTString& c) { c = c.clExclu(L"dc"); }, L"ab"},
        {L"abcdef", [](CTString& c) { c = c.clContientUniquement(L"bad"); }, L"ab"},
        {L"abab", [](CTString& c) { c.Remplace(L"ab", L"x", 1); }, L"abx"},
        {L"abab", [](CTString& c) { c.Remplace(L"zz", L"x"); c.Remplace(L"", L"x"); }, L"abab"},
        {L"abab", [](CTString& c) { c.Remplace(L"ab", L"x", 5); c.Remplace(L"ab", L"x", -1); }, L"abab"},
        {L"abab", [](CTString& c) { c.Remplace(L"b", nullptr); }, L"aa"},
        {L"aaa", [](CTString& c) { c.Remplace(L"aa", L"b"); }, L"ba"},  // left to right
        {L"aBab", [](CTString& c) { c.RemplaceI(L"AB", L"x", 1); }, L"aBx"},
        {L"abcdef", [](CTString& c) { c.Remplace(2, 2, L"XYZ"); }, L"abXYZef"},
        {L"abcdef", [](CTString& c) { c.Remplace(3, 10, L"?"); c.Remplace(-1, 1, L"?"); }, L"abcdef"},
        {L"a.b.c", [](CTString& c) { c.Remplace(L'.', L'-', 2); }, L"a.b-c"},
        // Results above the stack work area.
        {Repete(L"ab", 1000), [](CTString& c) { c.Remplace(L"b", L"123"); }, Repete(L"a123", 1000)},
        // Without case, counting and copying match alike where the C library
        // and the locale service disagree; sharp s never becomes two letters.
        {L"\u00E9-\u00C9-\u00E9", [](CTString& c) { c.RemplaceI(L"\u00C9", L"<<>>"); }, L"<<>>-<<>>-<<>>"},
        {L"\u0131Ii", [](CTString& c) { c.RemplaceI(L"i", L"[ ]"); }, L"[ ][ ][ ]"},
        {L"Stra\u00DFe STRASSE", [](CTString& c) { c.RemplaceI(L"ss", L"#"); }, L"Stra\u00DFe STRA#E"},
        {L"\u00DFSS", [](CTString& c) { c.RemplaceI(L"\u00DF", L"ss"); }, L"ssSS"},
        {Repete(L"\u00E9A", 700), [](CTString& c) { c.RemplaceI(L"\u00C9a", L"xyz"); }, Repete(L"xyz", 700)},
    });
    CTString vide;
    vide.Remplace(L"a", L"b");
    EXPECT_EQ(vide.pszGet(), VideStatique());
}

// Case-blind replacement maps the text once: the locale calls grow with the
// length, where a search mapping the rest again at every occurrence made
// millions of them on a 4,096-character text.
TEST(CTString, CaseBlindReplacementMakesLinearlyManyLocaleCalls)
{
    std::size_t anCalls[2] = {0, 0};
    const int anLength[2] = {2048, 4096};
    for (int i = 0; i < 2; ++i) {
        // One occurrence every four characters: "abcX" repeated.
        CTString cl(Repete(L"abcX", anLength[i] / 4).c_str());
        TestHost().ClearLocaleCalls();
        cl.RemplaceI(L"x", L"-");
        anCalls[i] = TestHost().nLocaleCalls();
        EXPECT_EQ(std::wstring(cl.pszGet()), Repete(L"abc-", anLength[i] / 4));
    }
    // One call for each character of the text and of the pattern.
    EXPECT_EQ(anCalls[0], 2048u + 1u);
    EXPECT_EQ(anCalls[1], 4096u + 1u);
}

TEST(CTString, Modification)
{
    // The trailing NUL of a counted source is dropped; inner NULs are kept.
    CTString n;
    n.Add(L"ab\0", 3);
    EXPECT_EQ(n.nTaille(), 2);
    n.Add(L"\0", 1);
    n.Add(L"xy", 0);
    n.Add(L"xy", -4);
    n.Add(static_cast<const wchar_t*>(nullptr));
    EXPECT_STREQ(n.pszGet(), L"ab");
    const wchar_t binaire[] = {L'c', 0, L'd'};
    n.Add(binaire, 3);
    EXPECT_EQ(n.cGetChar(4), L'd');
    CTString insVide;
    insVide.Insert(L"abc", 0, 0);
    EXPECT_NE(insVide.pszGet(), VideStatique());
    insVide.Insert(L"abc", 2, 7);
    EXPECT_STREQ(insVide.pszGet(), L"ab");
    CTString rien;
    rien.Majuscule();
    rien.Trim();
    EXPECT_EQ(rien.pszGet(), VideStatique());
    Verifie({
        {L"x", [](CTString& c) { c.Set(L"ab", 5u); }, L"ab"},
        {L"abcd", [](CTString& c) { c.Set(L"wx", nullptr, L"yz"); }, L"wxyz"},  // same length: buffer reused
        {L"x", [](CTString& c) { c.SetI4(INT_MIN); }, L"-2147483648"},
        {L"x", [](CTString& c) { c.SetI8(LLONG_MIN); }, L"-9223372036854775808"},
        // 8-bit text in Windows-1252: E9 is e acute, 80 the euro sign.
        {L"x", [](CTString& c) { c = CTString("caf\xE9\x80"); }, L"caf\u00E9\u20AC"},
        {L"x", [](CTString& c) { c.Add(L"y", nullptr, L"z"); c.Add(L'!'); c.AddI4(-42); c.AddI8(-9000000000LL); },
         L"xyz!-42-9000000000"},
        {L"abc", [](CTString& c) { c.Insert(L"xy", -1, 5); }, L"abcxy"},
        {L"abc", [](CTString& c) { c.Insert(L"<", 9, 0); }, L"<abc"},  // only what the source holds
        {L"abc", [](CTString& c) { c.Insert(L"q", -2, 0); c.Insert(L"", -1, 0); c.Insert(L"q", -1, -1); }, L"abc"},
        {L"a b c", [](CTString& c) { c.Insecable(); }, L"a\u00A0b\u00A0c"},
        {L"abcdef", [](CTString& c) { c.Tronque(-1); c.Tronque(7); }, L"abcdef"},
        {L"abcdef", [](CTString& c) { c.Tronque(4); c.TronqueDebut(1); }, L"bcd"},
        {L"abcdef", [](CTString& c) { c.Coupe(1, 2); }, L"adef"},
        {L"ab", [](CTString& c) { c.Coupe(3, 1); c.Coupe(-1, 1); }, L"ab"},
        {L"12345", [](CTString& c) { c.Complete(3, L'0'); }, L"123"},
        {L"7", [](CTString& c) { c.Complete(3, L'0'); }, L"700"},
        {L"", [](CTString& c) { c.Complete(4, L'-'); c.Complete(-1, L'-'); }, L"----"},
        {L"abc", [](CTString& c) { c.Renverse(); }, L"cba"},
        {L"\u00C9T\u00C9 ZO\u00C9", [](CTString& c) { c.Minuscule(); c.SansAccent(); }, L"ete zoe"},
        {L"  a b \t  ", [](CTString& c) { c.SansEspace(); }, L"  a b \t"},
        {L" \t a b \n ", [](CTString& c) { c.Trim(); }, L"a b"},
        // Map flags: 1 upper case, 2 no accents, 4 no punctuation.
        {L"a.b, c\u00E9", [](CTString& c) { c.MapStringEx(1); }, L"A.B, C\u00C9"},
        {L"...", [](CTString& c) { c.MapStringEx(4); }, L""},
        {L"\u00C9l\u00E9phant", [](CTString& c) { c.SetStandard(L"caf\u00E9"); }, L"CAFE"},
        {L"d\u00E9j\u00E0", [](CTString& c) { c.SetStandard(c.pszGet() + 1); }, L"EJA"},
        {L"x", [](CTString& c) { c.SetStandard(nullptr); }, L""},
        {L"", [](CTString& c) { c.Ellipse(L"abcdefghij", 7, ELLIPSIS_END); }, L"abcd..."},
        {L"", [](CTString& c) { c.Ellipse(L"abcdefghij", 7, ELLIPSIS_MIDDLE); }, L"ab...ij"},
        // Nothing written by the shortening: an empty text, not stale characters.
        {L"x", [](CTString& c) { c.Ellipse(L"abcdefghij", 2, ELLIPSIS_END); }, L""},
        {L"x", [](CTString& c) { c.Ellipse(L"abcdefghij", 7, static_cast<eELLIPSISPOSITION>(9)); }, L""},
        {L"0123456789", [](CTString& c) { c.Ellipse(c.pszGet(), 6, ELLIPSIS_START); }, L"...789"},
    });
}

TEST(CTString, NumericValue)
{
    const struct { const wchar_t* texte; int base, pos, n; long long valeur; } rows[] = {
        {L"1aG", 16, 0, -1, 26},
        {L"-5", 10, 0, -1, 0},
        {L"zZ", 36, 0, -1, 35 * 36 + 35},
        {L"1019", 2, 0, -1, 5},  // 101 in binary, stops at 9
        {L"12345", 10, 1, 2, 23},
        {L"12345", 10, 3, 99, 45},
        {L"12345", 10, 6, -1, 0},
        // 2^64 wraps to 0, 2^64 + 1 to 1; 2^63 reads back as the most negative.
        {L"18446744073709551616", 10, 0, -1, 0},
        {L"18446744073709551617", 10, 0, -1, 1},
        {L"9223372036854775808", 10, 0, -1, LLONG_MIN},
    };
    for (const auto& r : rows)
        EXPECT_EQ(CTString(r.texte).nVal(r.base, r.pos, r.n), r.valeur) << r.texte << " base " << r.base;
    EXPECT_EQ(CTString().nVal(10, 0, -1), 0);
}

TEST(CTString, AnsiConversionWithLength)
{
    // UTF-8 of a, e acute (C3 A9), euro (E2 82 AC), b.
    const char utf8[] = "a\xC3\xA9\xE2\x82\xAC" "b";
    CTString cl;
    cl.SetANSIEx(utf8, 7, 65001);
    EXPECT_STREQ(cl.pszGet(), L"a\u00E9\u20ACb");
    // Exactly n bytes are read: sources without terminator.
    char brut[3] = {'x', '\xC3', '\xA9'};
    cl.SetANSIEx(brut, 3, 65001);
    EXPECT_STREQ(cl.pszGet(), L"x\u00E9");
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
    EXPECT_EQ(S(cl), std::wstring(3000, L'\u00E9'));
}

// Sources taken from the string's own buffer are read before it moves.
TEST(CTString, OwnBufferSources)
{
    const std::wstring base = Repete(L"0123456789", 300);
    std::wstring neufs;  // "6789" for every 9
    for (wchar_t c : base)
        neufs += c == L'9' ? std::wstring(L"6789") : std::wstring(1, c);
    Verifie({
        {base, [](CTString& c) { c.Add(c.pszGet()); }, base + base},
        {base, [](CTString& c) { c.Add(c.pszGet(), L"|", c.pszGet() + 2990); }, base + base + L"|0123456789"},
        {base, [](CTString& c) { c.Insert(c.pszGet() + 10, 2000, 3); },
         base.substr(0, 3) + base.substr(10, 2000) + base.substr(3)},
        {base, [](CTString& c) { c.Remplace(1, 2, c.pszGet()); }, L"0" + base + base.substr(3)},
        {base, [](CTString& c) { c.Set(c.pszGet() + 2990, 3u); }, L"012"},
        {base, [](CTString& c) { c.SetFromBinary(c.pszGet() + 1, 4); }, L"1234"},
        {base, [](CTString& c) { c.Set(c.pszGet(), c.pszGet(), c.pszGet()); }, base + base + base},
        // Same total length: the parts overlap the buffer being rewritten.
        {L"abcd", [](CTString& c) { c.Set(c.pszGet() + 1, c.pszGet() + 3, nullptr); }, L"bcdd"},
        {base, [](CTString& c) { c.Remplace(L"9", c.pszGet() + 2996); }, neufs},
        {L"a;bb;c", [](CTString& c) { c.bExtraitChaine(1u, L';', &c); }, L"bb"},
        {L"a::bb", [](CTString& c) { c.bExtraitChaine(1, L"::", &c); }, L"bb"},
        {L"x y", [](CTString& c) { c.bExtraitChaineTok(0, L" ", &c); }, L"x"},
        // After a cut the rest of the old text still lies in the buffer.
        {base, [](CTString& c) { c.Tronque(10); c.Add(c.pszGet() + 20); }, base.substr(0, 10) + base.substr(20)},
    });
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
    CTString nom;
    cl.FichierTemporaire(L"zt");
    nom.pszSetFinDernier(cl.pszGet(), L'/');
    EXPECT_TRUE(nom.bCommencePar(L"zt")) << cl.pszGet();
    // Not created by the call.
    const std::wstring chemin = S(cl);
    EXPECT_NE(access(std::string(chemin.begin(), chemin.end()).c_str(), F_OK), 0);
    // The name comes back as UTF-8, as the prefix went. A long prefix is
    // shortened on a character boundary, never into a broken sequence.
    cl.FichierTemporaire(L"\u00E9\u00E9\u00E9\u00E9");
    nom.pszSetFinDernier(cl.pszGet(), L'/');
    EXPECT_TRUE(nom.bCommencePar(L"\u00E9\u00E9")) << cl.pszGet();
    EXPECT_GT(nom.nTaille(), 2);
    // A prefix of more than 1023 bytes takes the heap.
    cl.FichierTemporaire(std::wstring(700, L'\u00E9').c_str());
    nom.pszSetFinDernier(cl.pszGet(), L'/');
    EXPECT_TRUE(nom.bCommencePar(L"\u00E9")) << cl.pszGet();
}
