// Random formats through the Windows-rule formatter, the C library and the
// format-length walk, in both widths.
#include "common/platform/FormatWin.h"

#include "common/text/CodePage.h"
#include "common/text/STR.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <algorithm>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// An argument list built by hand: on i386 a va_list is a pointer to the
// arguments, each in 4-byte slots.
static_assert(sizeof(va_list) == sizeof(char*), "va_list must be a plain pointer");
static_assert(sizeof(void*) == 4 && sizeof(long double) == 12, "i386 argument slots");

class CListe {
public:
    template <typename V>
    void Ajoute(V v)
    {
        static_assert(sizeof(V) % 4 == 0, "whole slots");
        const size_t n = m_mots.size();
        m_mots.resize(n + sizeof(V) / 4);
        std::memcpy(&m_mots[n], &v, sizeof(V));
    }
    // Exactly as long as its arguments: a walk reading further is caught
    // by the sanitizer.
    void Fige() { m_mots.shrink_to_fit(); }
    va_list Liste() { return reinterpret_cast<va_list>(m_mots.data()); }

private:
    std::vector<uint32_t> m_mots;
};

enum EArg { kInt, kLong, kLLong, kSize, kPtrdiff, kDouble, kLDouble, kWStr, kNStr, kWChar, kNChar, kPtr };

struct SArg {
    EArg e = kInt;
    long long n = 0;
    double d = 0;
    long double ld = 0;
    const void* p = nullptr;
};

// One random format, spelled four ways, with its arguments.
struct SCas {
    std::wstring win;   // Windows rules, wide
    std::wstring ref;   // the C library's rules, wide, 8-bit arguments as wide ones
    std::string winA;   // C library's string rules, Windows integer lengths
    std::string refA;   // the C library's rules, 8-bit
    std::vector<SArg> args;     // in list order
    // The references never use positions (the C library's positional road
    // drops the padding of "%1$0*2$La" for a negative width): their
    // arguments in the order of the directives.
    std::vector<SArg> seqArgs;
    std::vector<SArg> refArgs;  // the same, 8-bit text decoded
};

class CGenerateur {
public:
    explicit CGenerateur(unsigned nStart) : m_rnd(nStart) {}

    SCas Cas()
    {
        SCas c;
        const bool bPositions = Un(10) < 3;
        const int nDirectives = 1 + Un(5);
        // Arguments in the order the directives need them; positions are a
        // shuffle of that order. Each piece of text marks with '\1' where a
        // position goes, and lists the needs of its marks in text order.
        std::vector<std::pair<SArg, SArg>> paires;
        std::vector<std::string> win, ref, winA, refA;
        std::vector<std::vector<int>> marques;
        std::vector<int> marquesDirective;
        auto ajoute = [&](const std::string& w, const std::string& r, const std::string& wa, const std::string& ra) {
            win.push_back(w);
            ref.push_back(r);
            winA.push_back(wa);
            refA.push_back(ra);
            marques.push_back(marquesDirective);
            marquesDirective.clear();
        };
        auto besoin = [&](const SArg& a, const SArg& ra) {
            paires.emplace_back(a, ra);
            return static_cast<int>(paires.size()) - 1;
        };

        for (int i = 0; i < nDirectives; ++i) {
            if (Un(3) == 0) {
                const char* lit[] = {"ab", " ", "=", "\xE9", "x%%y"};
                const std::string t = lit[Un(5)];
                ajoute(t, t, t, t);
            }
            const char* convs = "diuxXoeEfFgGaAcsp%";
            const char conv = convs[Un(18)];
            if (conv == '%') {
                ajoute("%%", "%%", "%%", "%%");
                continue;
            }
            std::string debut = "%";
            if (bPositions)
                debut += '\1';
            int iLargeur = -1;
            int iPrecision = -1;
            std::string flags;
            for (int k = Un(4); k > 0; --k)
                flags += "-+ #0"[Un(5)];
            std::string largeur;
            switch (Un(4)) {
            case 0:
                largeur = std::to_string(1 + Un(30));
                break;
            case 1: {
                largeur = bPositions ? "*\1" : "*";
                const SArg w = Entier(kInt, Un(61) - 30);  // negative: left-justified
                iLargeur = besoin(w, w);
                break;
            }
            default:
                break;
            }
            std::string precision;
            switch (Un(5)) {
            case 0:
                precision = "." + std::to_string(Un(46));
                break;
            case 1:
                precision = "." + std::to_string(30 + Un(171));
                break;
            case 2: {
                precision = bPositions ? ".*\1" : ".*";
                const SArg p = Entier(kInt, Un(66) - 5);  // negative: none
                iPrecision = besoin(p, p);
                break;
            }
            default:
                break;
            }
            const std::string tete = debut + flags + largeur + precision;
            std::string lgW;
            SArg a, ra;
            // The value's position comes first in the text, then the stars'.
            auto marque = [&](int iValeur) {
                if (!bPositions)
                    return;
                marquesDirective.push_back(iValeur);
                if (iLargeur >= 0)
                    marquesDirective.push_back(iLargeur);
                if (iPrecision >= 0)
                    marquesDirective.push_back(iPrecision);
            };
            switch (conv) {
            case 'c': {
                const bool bEtroit = Un(2) == 0;
                const int forme = Un(2);
                if (bEtroit) {
                    lgW = forme == 0 ? "C" : "hc";
                    const unsigned char b = static_cast<unsigned char>(Un(256));
                    a = Entier(kNChar, b);
                    ra = Entier(kWChar, Decode(std::string(1, static_cast<char>(b)))[0]);
                    marque(besoin(a, ra));
                    ajoute(tete + lgW, tete + "lc", tete + "c", tete + "c");
                } else {
                    lgW = forme == 0 ? "c" : "lc";
                    a = Entier(kWChar, CarLarge());
                    ra = a;
                    marque(besoin(a, ra));
                    ajoute(tete + lgW, tete + "lc", tete + "lc", tete + "lc");
                }
                break;
            }
            case 's': {
                const bool bEtroit = Un(2) == 0;
                const int forme = Un(2);
                a.e = bEtroit ? kNStr : kWStr;
                ra.e = kWStr;
                if (Un(10) == 0) {
                    a.p = nullptr;
                } else if (bEtroit) {
                    const std::string& s = Garde(TexteEtroit());
                    a.p = s.c_str();
                    ra.p = GardeW(Decode(s)).c_str();
                } else {
                    a.p = GardeW(TexteLarge()).c_str();
                }
                if (a.p == nullptr)
                    ra.p = nullptr;
                else if (!bEtroit)
                    ra.p = a.p;
                lgW = bEtroit ? (forme == 0 ? "S" : "hs") : (forme == 0 ? "s" : "ls");
                marque(besoin(a, ra));
                ajoute(tete + lgW, tete + "ls", tete + (bEtroit ? "s" : "ls"), tete + (bEtroit ? "s" : "ls"));
                break;
            }
            case 'p': {
                a.e = kPtr;
                a.p = Un(4) == 0 ? nullptr : reinterpret_cast<const void*>(static_cast<uintptr_t>(m_rnd()));
                ra = a;
                marque(besoin(a, ra));
                ajoute(tete + "p", tete + "p", tete + "p", tete + "p");
                break;
            }
            default: {
                if (std::strchr("eEfFgGaA", conv) != nullptr) {
                    const std::string sc = (Un(5) == 0 ? "L" : "") + std::string(1, conv);
                    a.e = sc.size() > 1 ? kLDouble : kDouble;
                    a.d = Reel();
                    a.ld = ReelLong();
                    ra = a;
                    marque(besoin(a, ra));
                    ajoute(tete + sc, tete + sc, tete + sc, tete + sc);
                    break;
                }
                // Integers: Windows length, C library length, class.
                const struct { const char* win; const char* c; EArg e; } lg[] = {
                    {"", "", kInt},          {"hh", "hh", kInt},     {"h", "h", kInt},
                    {"l", "l", kLong},       {"ll", "ll", kLLong},   {"j", "j", kLLong},
                    {"z", "z", kSize},       {"t", "t", kPtrdiff},   {"I32", "", kInt},
                    {"I64", "ll", kLLong},
                };
                const auto& l = lg[Un(10)];
                const std::string sc(1, conv);
                a = Entier(l.e, Nombre());
                ra = a;
                marque(besoin(a, ra));
                ajoute(tete + l.win + sc, tete + l.c + sc, tete + l.win + sc, tete + l.c + sc);
                break;
            }
            }
        }

        // Positions: need i goes to position ordre[i] + 1.
        std::vector<int> ordre(paires.size());
        for (size_t i = 0; i < ordre.size(); ++i)
            ordre[i] = static_cast<int>(i);
        if (bPositions)
            std::shuffle(ordre.begin(), ordre.end(), m_rnd);
        std::vector<int> inverse(ordre.size());
        for (size_t i = 0; i < ordre.size(); ++i)
            inverse[static_cast<size_t>(ordre[i])] = static_cast<int>(i);
        for (size_t i = 0; i < paires.size(); ++i) {
            c.args.push_back(paires[static_cast<size_t>(inverse[i])].first);
            c.seqArgs.push_back(paires[i].first);
            c.refArgs.push_back(paires[i].second);
        }
        auto place = [&](const std::string& t, const std::vector<int>& m, bool bPlace) {
            std::string out;
            size_t k = 0;
            for (char ch : t) {
                if (ch != '\1')
                    out += ch;
                else if (bPlace)
                    out += std::to_string(ordre[static_cast<size_t>(m[k++])] + 1) + "$";
            }
            return out;
        };
        for (size_t i = 0; i < win.size(); ++i) {
            c.win += Large(place(win[i], marques[i], true));
            c.ref += Large(place(ref[i], marques[i], false));
            c.winA += place(winA[i], marques[i], true);
            c.refA += place(refA[i], marques[i], false);
        }
        return c;
    }

private:
    std::mt19937 m_rnd;
    std::deque<std::string> m_textes;
    std::deque<std::wstring> m_textesW;

    int Un(int n) { return static_cast<int>(m_rnd() % static_cast<unsigned>(n)); }

    static std::wstring Large(const std::string& s)
    {
        // The format's own characters: ASCII and Latin-1.
        std::wstring w;
        for (unsigned char ch : s)
            w += static_cast<wchar_t>(ch);
        return w;
    }

    static std::wstring Decode(const std::string& s)
    {
        std::wstring w(s.size() + 1, L'\0');
        const int n = s.empty() ? 0
                                : MultiByteToWideChar(1252, 0, s.data(), static_cast<int>(s.size()), &w[0],
                                                      static_cast<int>(s.size()));
        w.resize(static_cast<size_t>(n > 0 ? n : 0));
        return w;
    }

    const std::string& Garde(std::string s)
    {
        m_textes.push_back(std::move(s));
        return m_textes.back();
    }
    const std::wstring& GardeW(std::wstring s)
    {
        m_textesW.push_back(std::move(s));
        return m_textesW.back();
    }

    static SArg Entier(EArg e, long long n)
    {
        SArg a;
        a.e = e;
        a.n = n;
        return a;
    }

    long long Nombre()
    {
        const long long fixes[] = {0, -1, 1, INT_MIN, INT_MAX, LLONG_MIN, LLONG_MAX, 255, -129, 1234567890123LL};
        if (Un(3) == 0)
            return fixes[Un(10)];
        const long long v = static_cast<long long>((static_cast<uint64_t>(m_rnd()) << 32) | m_rnd());
        return v >> Un(64);
    }

    double Reel()
    {
        const double fixes[] = {0.0, -0.0, 0.1, -1.5, 1e300, -1e-300, 123456.789, DBL_MAX, DBL_MIN,
                                HUGE_VAL, -HUGE_VAL, NAN, 5e-324, 0.5, 999999.5};
        if (Un(2) == 0)
            return fixes[Un(15)];
        return std::ldexp(static_cast<double>(m_rnd()) - 2147483648.0, Un(200) - 100);
    }

    long double ReelLong()
    {
        const long double fixes[] = {0.0L, -2.5L, 1e4000L, LDBL_MAX, LDBL_MIN, 1.0L / 3};
        return fixes[Un(6)];
    }

    wint_t CarLarge()
    {
        const wint_t c[] = {L'a', L'Z', L'0', L' ', 0x00E9, 0x20AC, 0x263A, 0x4E00, 0x1F600, 0};
        return c[Un(10)];
    }

    std::string TexteEtroit()
    {
        std::string s;
        for (int n = Un(12); n > 0; --n)
            s += static_cast<char>(Un(3) == 0 ? 0x80 + Un(128) : 0x20 + Un(95));
        return s;
    }

    std::wstring TexteLarge()
    {
        std::wstring s;
        const bool bAscii = Un(2) == 0;
        for (int n = Un(12); n > 0; --n)
            s += static_cast<wchar_t>(!bAscii && Un(3) == 0 ? CarLarge() | 1 : 0x20 + Un(95));
        return s;
    }
};

void Remplit(CListe& l, const std::vector<SArg>& args)
{
    for (const SArg& a : args) {
        switch (a.e) {
        case kLLong: l.Ajoute(static_cast<long long>(a.n)); break;
        case kLong: l.Ajoute(static_cast<long>(a.n)); break;
        case kSize: l.Ajoute(static_cast<size_t>(a.n)); break;
        case kPtrdiff: l.Ajoute(static_cast<ptrdiff_t>(a.n)); break;
        case kDouble: l.Ajoute(a.d); break;
        case kLDouble: l.Ajoute(a.ld); break;
        case kWStr:
        case kNStr:
        case kPtr: l.Ajoute(a.p); break;
        case kWChar: l.Ajoute(static_cast<wint_t>(a.n)); break;
        default: l.Ajoute(static_cast<int>(a.n)); break;
        }
    }
    l.Fige();
}

std::string Montre(const std::wstring& w)
{
    std::string s;
    for (wchar_t c : w)
        s += c < 0x80 ? static_cast<char>(c) : '?';
    return s;
}

}  // namespace

TEST(FormatWinRandom, FormatterMatchesTheCLibraryAndTheWalkCoversIt)
{
    // 8-bit output of wide text needs a multibyte locale.
    const std::string avant = std::setlocale(LC_CTYPE, nullptr);
    const bool bUtf8 = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr || std::setlocale(LC_CTYPE, "C.utf8") != nullptr;

    const unsigned kGraine = 20120;
    CGenerateur gen(kGraine);
    static const std::unique_ptr<wchar_t[]> sortie(new wchar_t[10000000]);  // vswprintfWin's bound
    std::vector<wchar_t> attendu(1 << 16);
    int nLarges = 0;
    int nEtroits = 0;
    for (int i = 0; i < 4000 && !HasFailure(); ++i) {
        const SCas c = gen.Cas();
        SCOPED_TRACE("case " + std::to_string(i) + " of start " + std::to_string(kGraine) + ": " + Montre(c.win));
        CListe l;
        CListe lSeq;
        CListe lRef;
        Remplit(l, c.args);
        Remplit(lSeq, c.seqArgs);
        Remplit(lRef, c.refArgs);

        const int r = vswprintfWin(sortie.get(), c.win.c_str(), l.Liste());
        errno = 0;
        const int rRef = std::vswprintf(attendu.data(), attendu.size(), c.ref.c_str(), lRef.Liste());
        ASSERT_GE(rRef, 0) << "reference " << Montre(c.ref);
        ASSERT_EQ(r, rRef) << "reference " << Montre(c.ref);
        EXPECT_EQ(std::wstring(sortie.get(), static_cast<size_t>(r)),
                  std::wstring(attendu.data(), static_cast<size_t>(rRef)));
        EXPECT_GE(STRG_nCalculeLongueurPrintf<wchar_t>(c.win.c_str(), l.Liste()), r);
        ++nLarges;

        const int rA = std::vsnprintf(nullptr, 0, c.refA.c_str(), lSeq.Liste());
        if (rA >= 0) {
            EXPECT_GE(STRG_nCalculeLongueurPrintf<char>(c.winA.c_str(), l.Liste()), rA) << c.winA;
            ++nEtroits;
        }
    }
    std::setlocale(LC_CTYPE, avant.c_str());
    EXPECT_EQ(nLarges, 4000);
    // Without a multibyte locale only wide text in ASCII can be written.
    EXPECT_GT(nEtroits, bUtf8 ? 3000 : 1000);
}
