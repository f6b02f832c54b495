#include "common/platform/FormatWin.h"

#include "common/text/CodePage.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

// The argument pointer of the FormatMessage emulations is the address of a
// va_list, handed over as char**.
static_assert(sizeof(va_list) == sizeof(char*), "va_list must be a plain pointer");

namespace {

const size_t kStackFormatBytes = 511;
const size_t kBoundWin = 10000000;
const int kMaxPositional = 4096;
const int kErrNoMemory = static_cast<int>(0xC0000017u);

bool bIn(wchar_t c, const wchar_t* set)
{
    return c != 0 && std::wcschr(set, c) != nullptr;
}

// ---- Windows rules to C-library rules ---------------------------------------

// Walks format; writes the rewritten text into out (room for size
// characters, terminator included) when out is given. Answers the
// characters the whole rewritten text needs with its terminator.
size_t nReecrit(const wchar_t* f, wchar_t* out, size_t size)
{
    size_t n = 0;
    auto put = [&](wchar_t c) {
        if (out != nullptr && n + 1 < size)
            out[n] = c;
        ++n;
    };
    auto copie = [&](const wchar_t* p, const wchar_t* fin) {
        for (; p < fin; ++p)
            put(*p);
    };
    while (*f != 0) {
        const wchar_t c = *f++;
        put(c);
        if (c != L'%')
            continue;
        if (*f == L'%') {
            put(*f++);
            continue;
        }
        SDirectiveFormat<wchar_t> d;
        const wchar_t* fin = pLitDirectiveFormat(f, d);
        // Position, flags, width and precision are copied as they are.
        copie(f, d.pLongueur);
        f = fin;
        const wchar_t conv = d.cConversion;
        const bool bTexte = conv == L's' || conv == L'c' || conv == L'S' || conv == L'C';
        if (d.bLongueurWin) {
            // "I64" is the C library's "ll", "I" its "z"; "I32" is the plain int.
            if (d.eLongueur == LGF_LL) {
                put(L'l');
                put(L'l');
            } else if (d.eLongueur == LGF_Z) {
                put(L'z');
            }
            put(conv);
        } else if (bTexte && (d.eLongueur == LGF_AUCUNE || d.eLongueur == LGF_H || d.eLongueur == LGF_L ||
                              d.eLongueur == LGF_W)) {
            // "s", "c", "ls", "lc", "ws", "wc" and "lS" ... take wide text;
            // "S", "C", "hs", "hc" ... 8-bit text.
            const bool bMajuscule = conv == L'S' || conv == L'C';
            const bool bLarge = d.eLongueur == LGF_L || d.eLongueur == LGF_W ||
                                (d.eLongueur == LGF_AUCUNE && !bMajuscule);
            if (bLarge)
                put(L'l');
            put(conv == L'S' || conv == L's' ? L's' : L'c');
        } else {
            // Any other length and conversion as written.
            copie(d.pLongueur, fin);
        }
    }
    if (out != nullptr && size > 0)
        out[n < size ? n : size - 1] = 0;
    return n + 1;
}

// ---- C-library format engine --------------------------------------------------
// The C library reads 8-bit "%s" and "%c" arguments through the process
// locale, which the module never sets. Formats holding them are formatted
// here directive by directive, the 8-bit text converted from Windows-1252.

enum EClasse : unsigned char {
    kSansArg,
    kInt,
    kLong,
    kLLong,
    kIntMax,
    kSize,
    kPtrdiff,
    kDouble,
    kLDouble,
    kPtr,
    kWStr,
    kNStr,
    kWChar,
    kNChar
};

union UValeur {
    int i;
    long l;
    long long ll;
    intmax_t j;
    size_t z;
    ptrdiff_t t;
    double d;
    long double ld;
    const void* p;
    const wchar_t* ws;
    const char* ns;
    wint_t wc;
};

const wchar_t kFlags[] = L"-+ #0'I";

struct SDirective {
    const wchar_t* pTexte = nullptr;  // literal text before the directive
    size_t nTexte = 0;
    bool bConversion = false;         // false: only the trailing text
    bool bTelQuel = false;            // unknown conversion, copied as written
    const wchar_t* pDir = nullptr;    // the directive as written
    size_t nDir = 0;
    unsigned flags = 0;               // bit i: kFlags[i]
    int nLargeur = -1;
    int nPrecision = -1;
    int iLargeur = -1;                // argument indexes, -1 none
    int iPrecision = -1;
    int iValeur = -1;
    wchar_t szLongueur[3] = {0, 0, 0};
    wchar_t cConv = 0;
    EClasse e = kSansArg;
};

// Class by which the value is fetched from the list.
EClasse ClasseLecture(EClasse e)
{
    return e == kNChar ? kInt : e;
}

bool bNombre(const wchar_t*& f, int& n)
{
    long long v = 0;
    while (*f >= L'0' && *f <= L'9') {
        v = v * 10 + (*f++ - L'0');
        if (v > INT_MAX) {
            errno = EOVERFLOW;
            return false;
        }
    }
    n = static_cast<int>(v);
    return true;
}

// "N$" right here: its value, else 0 (nothing consumed).
int nPosition(const wchar_t*& f)
{
    const wchar_t* p = f;
    long long v = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p)
        if (v <= kMaxPositional)
            v = v * 10 + (*p - L'0');
    if (p == f || *p != L'$' || v == 0)
        return 0;
    f = p + 1;
    return v > kMaxPositional ? kMaxPositional + 1 : static_cast<int>(v);
}

class CAnalyse {
public:
    std::vector<SDirective> m_tabDir;
    std::vector<EClasse> m_tabTypes;

    bool bAnalyse(const wchar_t* f)
    {
        const wchar_t* pTexte = f;
        for (;;) {
            while (*f != 0 && *f != L'%')
                ++f;
            SDirective d;
            d.pTexte = pTexte;
            d.nTexte = static_cast<size_t>(f - pTexte);
            if (*f == 0) {
                m_tabDir.push_back(d);
                return true;
            }
            d.pDir = f++;
            d.bConversion = true;
            if (!bDirective(f, d))
                return false;
            d.nDir = static_cast<size_t>(f - d.pDir);
            m_tabDir.push_back(d);
            pTexte = f;
        }
    }

private:
    int m_nMode = 0;  // 1 sequential, 2 positional
    int m_nSuivant = 0;

    bool bInvalide()
    {
        errno = EINVAL;
        return false;
    }

    // Index of an argument: explicit position (1-based) or the next one.
    bool bAttribue(int nPos, EClasse e, int& idx)
    {
        if (nPos > 0) {
            if (m_nMode == 1 || nPos > kMaxPositional)
                return bInvalide();
            m_nMode = 2;
            idx = nPos - 1;
        } else {
            if (m_nMode == 2)
                return bInvalide();
            m_nMode = 1;
            idx = m_nSuivant++;
        }
        if (m_tabTypes.size() <= static_cast<size_t>(idx))
            m_tabTypes.resize(static_cast<size_t>(idx) + 1, kSansArg);
        const EClasse l = ClasseLecture(e);
        if (m_tabTypes[idx] != kSansArg && m_tabTypes[idx] != l)
            return bInvalide();
        m_tabTypes[idx] = l;
        return true;
    }

    // f is just after the '%'.
    bool bDirective(const wchar_t*& f, SDirective& d)
    {
        if (*f == L'%') {
            ++f;
            d.cConv = L'%';
            return true;
        }
        const int nPos = nPosition(f);
        for (const wchar_t* q; *f != 0 && (q = std::wcschr(kFlags, *f)) != nullptr; ++f)
            d.flags |= 1u << (q - kFlags);

        int nPosLargeur = 0;
        bool bLargeurArg = false;
        if (*f == L'*') {
            ++f;
            bLargeurArg = true;
            nPosLargeur = nPosition(f);
        } else {
            const wchar_t* q = f;
            int n = 0;
            if (!bNombre(f, n))
                return false;
            if (f != q)
                d.nLargeur = n;
        }

        int nPosPrecision = 0;
        bool bPrecisionArg = false;
        if (*f == L'.') {
            ++f;
            if (*f == L'*') {
                ++f;
                bPrecisionArg = true;
                nPosPrecision = nPosition(f);
            } else {
                d.nPrecision = 0;
                if (!bNombre(f, d.nPrecision))
                    return false;
            }
        }

        size_t k = 0;
        while (k < 2 && bIn(*f, L"hlLqjzZt")) {
            if (k == 1 && (*f != d.szLongueur[0] || (*f != L'h' && *f != L'l')))
                break;
            d.szLongueur[k++] = *f++;
        }
        const wchar_t* L = d.szLongueur;
        // As the C library: these lengths make long doubles, wide text and
        // wide characters (intmax_t is wider than long here).
        const bool bLongLong = L[0] == L'L' || L[0] == L'q' || L[0] == L'j' || (L[0] == L'l' && L[1] == L'l');
        const bool bLarge = L[0] == L'l' || bLongLong;
        d.cConv = *f;
        switch (d.cConv) {
        case 0:
            return bInvalide();
        case L'd':
        case L'i':
        case L'o':
        case L'u':
        case L'x':
        case L'X':
            if (L[0] == L'l' && L[1] == L'l')
                d.e = kLLong;
            else if (L[0] == L'l')
                d.e = kLong;
            else if (L[0] == L'L' || L[0] == L'q')
                d.e = kLLong;
            else if (L[0] == L'j')
                d.e = kIntMax;
            else if (L[0] == L'z' || L[0] == L'Z')
                d.e = kSize;
            else if (L[0] == L't')
                d.e = kPtrdiff;
            else
                d.e = kInt;
            break;
        case L'f':
        case L'F':
        case L'e':
        case L'E':
        case L'g':
        case L'G':
        case L'a':
        case L'A':
            d.e = bLongLong ? kLDouble : kDouble;
            break;
        case L'p':
            d.e = kPtr;
            break;
        case L's':
            d.e = bLarge ? kWStr : kNStr;
            break;
        case L'S':
            d.e = kWStr;
            break;
        case L'c':
            d.e = bLarge ? kWChar : kNChar;
            break;
        case L'C':
            d.e = kWChar;
            break;
        case L'm':
        case L'%':
            d.e = kSansArg;
            break;
        case L'n':
            // Writing through an argument is not offered.
            return bInvalide();
        default:
            // Unknown: copied as written, as the C library does; its stars
            // still take their arguments.
            d.bTelQuel = true;
            break;
        }
        ++f;

        if (bLargeurArg && !bAttribue(nPosLargeur, kInt, d.iLargeur))
            return false;
        if (bPrecisionArg && !bAttribue(nPosPrecision, kInt, d.iPrecision))
            return false;
        if (d.e != kSansArg && !bAttribue(nPos, d.e, d.iValeur))
            return false;
        return true;
    }
};

void LitArguments(const std::vector<EClasse>& tabTypes, std::vector<UValeur>& tabVal, va_list args)
{
    tabVal.resize(tabTypes.size());
    for (size_t i = 0; i < tabTypes.size(); ++i) {
        UValeur& v = tabVal[i];
        switch (tabTypes[i]) {
        case kLong: v.l = va_arg(args, long); break;
        case kLLong: v.ll = va_arg(args, long long); break;
        case kIntMax: v.j = va_arg(args, intmax_t); break;
        case kSize: v.z = va_arg(args, size_t); break;
        case kPtrdiff: v.t = va_arg(args, ptrdiff_t); break;
        case kDouble: v.d = va_arg(args, double); break;
        case kLDouble: v.ld = va_arg(args, long double); break;
        case kPtr: v.p = va_arg(args, const void*); break;
        case kWStr: v.ws = va_arg(args, const wchar_t*); break;
        case kNStr: v.ns = va_arg(args, const char*); break;
        case kWChar: v.wc = va_arg(args, wint_t); break;
        default: v.i = va_arg(args, int); break;
        }
    }
}

wchar_t* pszNombre(wchar_t* p, int n)
{
    wchar_t tmp[12];
    int k = 0;
    do {
        tmp[k++] = static_cast<wchar_t>(L'0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (k > 0)
        *p++ = tmp[--k];
    return p;
}

class CSortie {
public:
    CSortie(wchar_t* dst, size_t n) : m_dst(dst), m_n(n) {}

    // Characters as they are; false when they do not all fit.
    bool bEcrit(const wchar_t* s, size_t k)
    {
        if (m_n == 0)
            return false;
        const size_t nPlace = m_n - 1 - m_pos;
        const size_t m = k < nPlace ? k : nPlace;
        std::wmemcpy(m_dst + m_pos, s, m);
        m_pos += m;
        m_dst[m_pos] = 0;
        return m == k;
    }

    // One directive (with its value, if any) through the C library; false
    // when it does not fit or fails (errno 0 when it does not fit).
    template <typename... T>
    bool bFormate(const wchar_t* fmt, T... value)
    {
        if (m_n == 0)
            return false;
        errno = 0;
        const int r = std::swprintf(m_dst + m_pos, m_n - m_pos, fmt, value...);
        if (r < 0) {
            m_dst[m_n - 1] = 0;
            return false;
        }
        m_pos += static_cast<size_t>(r);
        return true;
    }

    size_t nPos() const { return m_pos; }

private:
    wchar_t* m_dst;
    size_t m_n;
    size_t m_pos = 0;
};

wchar_t Cp1252(unsigned char c)
{
    wchar_t w = 0;
    const char b = static_cast<char>(c);
    return MultiByteToWideChar(CP_1252, 0, &b, 1, &w, 1) == 1 ? w : static_cast<wchar_t>(c);
}

int nFormateMoteur(wchar_t* dst, size_t n, const wchar_t* fmt, va_list args)
{
    CAnalyse analyse;
    if (!analyse.bAnalyse(fmt))
        return -1;
    std::vector<UValeur> tabVal;
    LitArguments(analyse.m_tabTypes, tabVal, args);

    CSortie sortie(dst, n);
    std::vector<wchar_t> tabTexte;
    auto coupe = [] {
        errno = 0;
        return -1;
    };
    for (const SDirective& d : analyse.m_tabDir) {
        if (!sortie.bEcrit(d.pTexte, d.nTexte))
            return coupe();
        if (!d.bConversion)
            continue;
        if (d.cConv == L'%') {
            if (!sortie.bEcrit(L"%", 1))
                return coupe();
            continue;
        }
        if (d.bTelQuel) {
            if (!sortie.bEcrit(d.pDir, d.nDir))
                return coupe();
            continue;
        }

        unsigned flags = d.flags;
        int nLargeur = d.nLargeur;
        int nPrecision = d.nPrecision;
        if (d.iLargeur >= 0) {
            nLargeur = tabVal[d.iLargeur].i;
            if (nLargeur < 0) {
                if (nLargeur == INT_MIN) {
                    errno = EOVERFLOW;
                    return -1;
                }
                flags |= 1u;  // '-'
                nLargeur = -nLargeur;
            }
        }
        if (d.iPrecision >= 0) {
            nPrecision = tabVal[d.iPrecision].i;
            if (nPrecision < 0)
                nPrecision = -1;
        }

        // The directive rebuilt without positions and stars.
        wchar_t sz[48];
        wchar_t* p = sz;
        *p++ = L'%';
        for (int i = 0; kFlags[i] != 0; ++i)
            if (flags & (1u << i))
                *p++ = kFlags[i];
        // A width of 0 is none; written, it would read as the '0' flag.
        if (nLargeur > 0)
            p = pszNombre(p, nLargeur);
        if (nPrecision >= 0) {
            *p++ = L'.';
            p = pszNombre(p, nPrecision);
        }
        if (d.e == kNStr || d.e == kNChar || d.e == kWChar || d.e == kWStr) {
            *p++ = L'l';
            *p++ = (d.e == kWStr || d.e == kNStr) ? L's' : L'c';
        } else {
            for (int i = 0; d.szLongueur[i] != 0; ++i)
                *p++ = d.szLongueur[i];
            *p++ = d.cConv;
        }
        *p = 0;

        UValeur v{};
        if (d.iValeur >= 0)
            v = tabVal[d.iValeur];
        bool bOk = false;
        switch (d.e) {
        case kSansArg: bOk = sortie.bFormate(sz); break;
        case kInt: bOk = sortie.bFormate(sz, v.i); break;
        case kLong: bOk = sortie.bFormate(sz, v.l); break;
        case kLLong: bOk = sortie.bFormate(sz, v.ll); break;
        case kIntMax: bOk = sortie.bFormate(sz, v.j); break;
        case kSize: bOk = sortie.bFormate(sz, v.z); break;
        case kPtrdiff: bOk = sortie.bFormate(sz, v.t); break;
        case kDouble: bOk = sortie.bFormate(sz, v.d); break;
        case kLDouble: bOk = sortie.bFormate(sz, v.ld); break;
        case kPtr: bOk = sortie.bFormate(sz, v.p); break;
        case kWStr: bOk = sortie.bFormate(sz, v.ws); break;
        case kWChar:
            if (v.wc == WEOF) {
                errno = EILSEQ;
                return -1;
            }
            bOk = sortie.bFormate(sz, v.wc);
            break;
        case kNChar:
            bOk = sortie.bFormate(sz, static_cast<wint_t>(Cp1252(static_cast<unsigned char>(v.i))));
            break;
        case kNStr: {
            if (v.ns == nullptr) {
                bOk = sortie.bFormate(sz, static_cast<const wchar_t*>(nullptr));
                break;
            }
            // Only the bytes the precision lets through are read.
            const size_t nOctets = nPrecision >= 0 ? strnlen(v.ns, static_cast<size_t>(nPrecision)) : strlen(v.ns);
            tabTexte.resize(nOctets + 1);
            if (nOctets > 0 &&
                MultiByteToWideChar(CP_1252, 0, v.ns, static_cast<int>(nOctets), tabTexte.data(),
                                    static_cast<int>(nOctets)) != static_cast<int>(nOctets)) {
                errno = EILSEQ;
                return -1;
            }
            tabTexte[nOctets] = 0;
            bOk = sortie.bFormate(sz, static_cast<const wchar_t*>(tabTexte.data()));
            break;
        }
        }
        if (!bOk)
            return -1;  // errno: 0 when cut, else the C library's
    }
    if (sortie.nPos() > static_cast<size_t>(INT_MAX)) {
        errno = EOVERFLOW;
        return -1;
    }
    return static_cast<int>(sortie.nPos());
}

// Whether the C library can take the format as it is: no 8-bit string or
// character, no character at all (its failure on an invalid one looks like
// a cut text), no "%n", no incomplete directive, no position (refused the
// same way whatever the list holds).
bool bMoteurRequis(const wchar_t* f)
{
    while (*f != 0) {
        if (*f++ != L'%')
            continue;
        if (*f == L'%') {
            ++f;
            continue;
        }
        SDirectiveFormat<wchar_t> d;
        f = pLitDirectiveFormat(f, d);
        if (d.nPosition != 0 || d.nPositionLargeur != 0 || d.nPositionPrecision != 0)
            return true;
        switch (d.cConversion) {
        case 0:
        case L'c':
        case L'C':
        case L'n':
            return true;
        case L's':
            if (d.eLongueur != LGF_L && d.eLongueur != LGF_LL && d.eLongueur != LGF_J)
                return true;
            break;
        default:
            break;
        }
    }
    return false;
}

int nFormateUnix(wchar_t* dst, size_t n, const wchar_t* fmt, va_list args)
{
    if (!bMoteurRequis(fmt)) {
        errno = 0;
        return std::vswprintf(dst, n, fmt, args);
    }
    va_list a;
    va_copy(a, args);
    int r = -1;
    try {
        r = nFormateMoteur(dst, n, fmt, a);
    } catch (const std::bad_alloc&) {
        // The engine's directive and argument tables: a status, never an exception.
        errno = ENOMEM;
    }
    va_end(a);
    return r;
}

// Formats that need no argument ("%%" only), for calls without arguments.
template <typename C>
bool bSansArgument(const C* f)
{
    for (; *f != 0; ++f)
        if (*f == '%' && *++f != '%')
            return false;
    return true;
}

// Runs the formatting step on an empty argument list.
template <typename F>
int nSurListeVide(const F* pfnEtape, ...)
{
    va_list a;
    va_start(a, pfnEtape);
    const int r = (*pfnEtape)(a);
    va_end(a);
    return r;
}

// Runs the formatting step on a copy of the caller's argument list (the
// address of a va_list), or on an empty one when there is none.
template <typename F>
int nSurArguments(char** args, const F& etape)
{
    if (args == nullptr)
        return nSurListeVide(&etape);
    va_list a;
    va_copy(a, *reinterpret_cast<va_list*>(args));
    const int r = etape(a);
    va_end(a);
    return r;
}

// ---- Numbered inserts -----------------------------------------------------------

const int kMaxArguments = 200;
const size_t kMaxConversion = 30;
const int kInvalide = 22;
const int kTropLong = 75;

class CArgumentsInsert {
public:
    CArgumentsInsert(char** args, bool bTableau) : m_pTableau(nullptr), m_bListe(false)
    {
        if (args == nullptr)
            return;
        if (bTableau) {
            m_pTableau = reinterpret_cast<const uint32_t*>(args);
        } else {
            va_copy(m_liste, *reinterpret_cast<va_list*>(args));
            m_bListe = true;
        }
    }
    ~CArgumentsInsert()
    {
        if (m_bListe)
            va_end(m_liste);
    }
    CArgumentsInsert(const CArgumentsInsert&) = delete;
    CArgumentsInsert& operator=(const CArgumentsInsert&) = delete;

    bool bPresents() const { return m_pTableau != nullptr || m_bListe; }

    // Argument idx (0-based, below kMaxArguments); the ones before it are
    // fetched and kept on the way.
    uint32_t dwArgument(int idx)
    {
        while (m_nLus <= idx) {
            m_tab[m_nLus] = m_pTableau != nullptr ? m_pTableau[m_nLus] : va_arg(m_liste, uint32_t);
            ++m_nLus;
        }
        return m_tab[idx];
    }

private:
    const uint32_t* m_pTableau;
    va_list m_liste;
    bool m_bListe;
    int m_nLus = 0;
    uint32_t m_tab[kMaxArguments] = {};
};

bool bBlancOuTab(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

}  // namespace

// ---- Rewriting ------------------------------------------------------------------

int _nCalculeTailleChaineFormattageUnix(const wchar_t* format)
{
    if (format == nullptr)
        return 0;
    const size_t n = nReecrit(format, nullptr, 0);
    return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

void _ConvertFormatWindowsToUnix(const wchar_t* format, wchar_t* out, int size)
{
    if (format == nullptr || out == nullptr || size <= 0)
        return;
    nReecrit(format, out, static_cast<size_t>(size));
}

// ---- printf family --------------------------------------------------------------

int vsnwprintfWin(wchar_t* buffer, size_t n, const wchar_t* format, va_list args)
{
    if (format == nullptr || (buffer == nullptr && n > 0)) {
        errno = EINVAL;
        return -1;
    }
    const size_t nTaille = nReecrit(format, nullptr, 0);
    wchar_t szPile[kStackFormatBytes / sizeof(wchar_t)];
    wchar_t* pszUnix = szPile;
    if (nTaille * sizeof(wchar_t) > kStackFormatBytes) {
        pszUnix = static_cast<wchar_t*>(XMALLOC_pNew_(nTaille * sizeof(wchar_t)));
        if (pszUnix == nullptr) {
            errno = ENOMEM;
            return -1;
        }
    }
    nReecrit(format, pszUnix, nTaille);
    const int r = nFormateUnix(buffer, n, pszUnix, args);
    const int nErreur = errno;
    if (pszUnix != szPile)
        XMALLOC_Del_(pszUnix);
    errno = nErreur;
    return r;
}

int vswprintfWin(wchar_t* buffer, const wchar_t* format, va_list args)
{
    return vsnwprintfWin(buffer, kBoundWin, format, args);
}

int snwprintfWin(wchar_t* buffer, size_t n, const wchar_t* format, ...)
{
    va_list a;
    va_start(a, format);
    const int r = vsnwprintfWin(buffer, n, format, a);
    va_end(a);
    return r;
}

int swprintfWin(wchar_t* buffer, const wchar_t* format, ...)
{
    va_list a;
    va_start(a, format);
    const int r = vswprintfWin(buffer, format, a);
    va_end(a);
    return r;
}

int vsznwprintf(wchar_t* buffer, unsigned n, const wchar_t* format, va_list args)
{
    if (buffer == nullptr) {
        errno = EINVAL;
        return -1;
    }
    if (n == UINT_MAX)
        --n;
    const int r = vsnwprintfWin(buffer, static_cast<size_t>(n) + 1, format, args);
    buffer[n] = 0;
    return r >= 0 && static_cast<unsigned>(r) <= n ? r : -1;
}

int vsznwprintfWin(wchar_t* buffer, unsigned n, const wchar_t* format, va_list args)
{
    return vsznwprintf(buffer, n, format, args);
}

int sznwprintf(wchar_t* buffer, unsigned n, const wchar_t* format, ...)
{
    va_list a;
    va_start(a, format);
    const int r = vsznwprintf(buffer, n, format, a);
    va_end(a);
    return r;
}

int sznwprintfWin(wchar_t* buffer, unsigned n, const wchar_t* format, ...)
{
    va_list a;
    va_start(a, format);
    const int r = vsznwprintf(buffer, n, format, a);
    va_end(a);
    return r;
}

int vaswprintf(wchar_t** ppsz, const wchar_t* format, va_list args)
{
    if (ppsz == nullptr) {
        errno = EINVAL;
        return -1;
    }
    auto echec = [ppsz](int nErreur) {
        XMALLOC_Del_(*ppsz);
        *ppsz = nullptr;
        errno = nErreur;
        return -1;
    };
    if (format == nullptr)
        return echec(EINVAL);

    const size_t nLongueur = std::wcslen(format);
    const size_t nMax = static_cast<size_t>(INT_MAX) / sizeof(wchar_t);
    size_t nCapacite = (nLongueur / 8 + 1) * 8;
    for (;;) {
        if (nCapacite > nMax)
            return echec(ENOMEM);
        void* p = XMALLOC_pResize_(*ppsz, nCapacite * sizeof(wchar_t));
        if (p == nullptr)
            return echec(ENOMEM);
        *ppsz = static_cast<wchar_t*>(p);

        va_list a;
        va_copy(a, args);
        const int r = vsnwprintfWin(*ppsz, nCapacite, format, a);
        va_end(a);
        if (r >= 0 && static_cast<size_t>(r) < nCapacite)
            return r;

        const int nErreur = errno;
        if (r < 0 && nErreur != 0 && nErreur != ENOMEM) {
            // Not a matter of room: the format text itself stands for it.
            p = XMALLOC_pResize_(*ppsz, (nLongueur + 1) * sizeof(wchar_t));
            if (p == nullptr)
                return echec(ENOMEM);
            *ppsz = static_cast<wchar_t*>(p);
            std::wmemcpy(*ppsz, format, nLongueur + 1);
            errno = nErreur;
            return static_cast<int>(nLongueur);
        }
        if (r < 0 && nErreur == ENOMEM)
            return echec(ENOMEM);
        // Cut: grow geometrically (at least by the format's length).
        const size_t nPas = nCapacite > nLongueur ? nCapacite : nLongueur;
        nCapacite = nCapacite > nMax - nPas ? nMax + 1 : nCapacite + nPas;
    }
}

// ---- FormatMessage emulations ------------------------------------------------------

unsigned FormatMessageW(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                        wchar_t* buffer, unsigned size, char** args)
{
    const int nErrno = errno;
    if (buffer == nullptr) {
        errno = EINVAL;
        return 0;
    }
    wchar_t* pszSysteme = nullptr;
    const wchar_t* pszFormat = static_cast<const wchar_t*>(source);
    if (flags & 0x1000) {
        int n = 0;
        if (!__STR_CharToWChar(std::strerror(nErrno), -1, CP_UTF8, &pszSysteme, &n, 0)) {
            // The text exists: only its copy could fail.
            if (flags & 0x100)
                *reinterpret_cast<wchar_t**>(buffer) = nullptr;
            errno = ENOMEM;
            return 0;
        }
        pszFormat = pszSysteme;
    }
    if (pszFormat == nullptr || (args == nullptr && !bSansArgument(pszFormat))) {
        XMALLOC_Del_(pszSysteme);
        if (flags & 0x100)
            *reinterpret_cast<wchar_t**>(buffer) = nullptr;
        errno = EINVAL;
        return 0;
    }

    int r;
    if (flags & 0x100) {
        wchar_t* psz = nullptr;
        r = nSurArguments(args, [&](va_list a) { return vaswprintf(&psz, pszFormat, a); });
        if (r < 0) {
            XMALLOC_Del_(psz);
            psz = nullptr;
        } else if (size > static_cast<unsigned>(r)) {
            void* p = XMALLOC_pResize_(psz, static_cast<size_t>(size) * sizeof(wchar_t));
            if (p != nullptr)
                psz = static_cast<wchar_t*>(p);
        }
        *reinterpret_cast<wchar_t**>(buffer) = psz;
    } else {
        r = nSurArguments(args, [&](va_list a) { return vsnwprintfWin(buffer, size, pszFormat, a); });
    }
    const int nErreur = errno;
    XMALLOC_Del_(pszSysteme);
    errno = nErreur;
    return r < 0 ? 0u : static_cast<unsigned>(r);
}

unsigned FormatMessageA(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                        char* buffer, unsigned size, char** args)
{
    const int nErrno = errno;
    if (buffer == nullptr) {
        errno = EINVAL;
        return 0;
    }
    const char* pszFormat = (flags & 0x1000) ? std::strerror(nErrno) : static_cast<const char*>(source);
    if (pszFormat == nullptr || (args == nullptr && !bSansArgument(pszFormat))) {
        if (flags & 0x100)
            *reinterpret_cast<char**>(buffer) = nullptr;
        errno = EINVAL;
        return 0;
    }

    int r;
    if (flags & 0x100) {
        char* psz = nullptr;
        r = nSurArguments(args, [&](va_list a) { return vasprintf(&psz, pszFormat, a); });
        if (r < 0) {
            psz = nullptr;  // vasprintf leaves it undefined and allocates nothing
        } else if (size > static_cast<unsigned>(r)) {
            void* p = XMALLOC_pResize_(psz, size);
            if (p != nullptr)
                psz = static_cast<char*>(p);
        }
        *reinterpret_cast<char**>(buffer) = psz;
    } else {
        r = nSurArguments(args, [&](va_list a) { return vsnprintf(buffer, size, pszFormat, a); });
        // vsnprintf answers the full length of a cut text.
        if (r >= 0 && static_cast<unsigned>(r) >= size)
            r = -1;
    }
    return r < 0 ? 0u : static_cast<unsigned>(r);
}

int __FormatMessageWin(const wchar_t* source, int lineWidth, bool ignoreInserts, bool arrayArgs, char** args,
                       wchar_t* out, unsigned outBytes, unsigned* pnLength)
{
    if (source == nullptr || out == nullptr || pnLength == nullptr)
        return kInvalide;
    // C units; every character written takes one and one must always be left.
    const size_t C = outBytes / sizeof(wchar_t);
    CArgumentsInsert arguments(args, arrayArgs);
    size_t pos = 0;
    int nColonne = 0;
    long nCoupure = -1;  // last break position

    auto bPlace = [&](size_t k) { return pos + k + 1 <= C; };
    auto bMet = [&](const wchar_t* s, size_t k) {
        if (!bPlace(k))
            return false;
        std::wmemcpy(out + pos, s, k);
        pos += k;
        return true;
    };

    const wchar_t* p = source;
    while (*p != 0) {
        const wchar_t c = *p++;
        if (c == L'\r' || c == L'\n') {
            if ((*p == L'\r' || *p == L'\n') && *p != c)
                ++p;
            if (lineWidth == 0) {
                if (!bMet(L"\r\n", 2))
                    return kTropLong;
                nColonne = 0;
                nCoupure = -1;
            } else {
                nCoupure = static_cast<long>(pos);
                if (!bMet(L" ", 1))
                    return kTropLong;
                ++nColonne;
            }
        } else if (c != L'%') {
            if (c == L' ')
                nCoupure = static_cast<long>(pos);
            if (!bMet(&c, 1))
                return kTropLong;
            ++nColonne;
        } else {
            const wchar_t d = *p;
            if (d == 0)
                return kInvalide;
            ++p;
            if (d >= L'1' && d <= L'9') {
                const wchar_t* pNumero = p - 1;
                int nNumero = d - L'0';
                while (*p >= L'0' && *p <= L'9') {
                    if (p - pNumero == 3)
                        return kInvalide;
                    nNumero = nNumero * 10 + (*p++ - L'0');
                }
                const size_t nChiffres = static_cast<size_t>(p - pNumero);

                // "%" + conversion, at most kMaxConversion characters.
                wchar_t szConv[kMaxConversion + 2] = {L'%', L's', 0};
                size_t nConv = 1;
                int nEtoiles = 0;
                if (*p == L'!') {
                    const wchar_t* q = p + 1;
                    size_t k = 0;
                    for (; *q != L'!'; ++q) {
                        // A second directive would read words nobody passed.
                        if (*q == 0 || k == kMaxConversion || *q == L'%')
                            return kInvalide;
                        if (*q == L'*')
                            ++nEtoiles;
                        szConv[1 + k++] = *q;
                    }
                    if (k == 0 || nEtoiles > 2)
                        return kInvalide;
                    szConv[1 + k] = 0;
                    nConv = k;
                    p = q + 1;
                }

                if (ignoreInserts) {
                    const size_t n = 1 + nChiffres + 1 + nConv + 1;
                    if (!bPlace(n))
                        return kTropLong;
                    out[pos++] = L'%';
                    std::wmemcpy(out + pos, pNumero, nChiffres);
                    pos += nChiffres;
                    out[pos++] = L'!';
                    std::wmemcpy(out + pos, szConv + 1, nConv);
                    pos += nConv;
                    out[pos++] = L'!';
                    nColonne += static_cast<int>(n);
                } else {
                    if (!arguments.bPresents())
                        return kInvalide;
                    const int idx = nNumero - 1;
                    if (idx + nEtoiles > kMaxArguments - 1)
                        return kInvalide;
                    // The insert's own value first, then the star values;
                    // zeros after them so that no conversion reads further.
                    uint32_t w[6] = {};
                    for (int i = 0; i <= nEtoiles; ++i)
                        w[i] = arguments.dwArgument(idx + i);
                    if (!bPlace(0))
                        return kTropLong;
                    const unsigned nMax = static_cast<unsigned>(C - 1 - pos);
                    const int r = sznwprintf(out + pos, nMax, szConv, w[0], w[1], w[2], w[3], w[4], w[5]);
                    if (r < 0)
                        return errno == 0 ? kTropLong : kInvalide;
                    pos += static_cast<size_t>(r);
                    nColonne += r;
                }
            } else if (d == L'0') {
                break;
            } else if (d == L'r') {
                if (!bMet(L"\r", 1))
                    return kTropLong;
                nColonne = 0;
                nCoupure = -1;
            } else if (d == L'n') {
                if (!bMet(L"\r\n", 2))
                    return kTropLong;
                nColonne = 0;
                nCoupure = -1;
            } else if (d == L't') {
                nCoupure = static_cast<long>(pos);
                if (!bMet(L"\t", 1))
                    return kTropLong;
                nColonne = (nColonne / 8 + 1) * 8 + 1;
            } else if (d == L'b') {
                nCoupure = static_cast<long>(pos);
                if (!bMet(L" ", 1))
                    return kTropLong;
                ++nColonne;
            } else {
                const wchar_t sz[2] = {L'%', d};
                const size_t k = ignoreInserts ? 2 : 1;
                if (!bMet(sz + 2 - k, k))
                    return kTropLong;
                nColonne += static_cast<int>(k);
            }
        }

        if (lineWidth > 0 && nColonne >= lineWidth) {
            if (nCoupure >= 0) {
                size_t i = static_cast<size_t>(nCoupure);
                size_t j = i;
                while (i > 0 && bBlancOuTab(out[i - 1]))
                    --i;
                while (j < pos && bBlancOuTab(out[j]))
                    ++j;
                const size_t nDeplace = pos - j;
                if (i + 2 + nDeplace + 1 > C)
                    return kTropLong;
                std::wmemmove(out + i + 2, out + j, nDeplace);
                out[i] = L'\r';
                out[i + 1] = L'\n';
                pos = i + 2 + nDeplace;
                nColonne = static_cast<int>(nDeplace);
                nCoupure = -1;
            } else {
                if (!bMet(L"\r\n", 2))
                    return kTropLong;
                nColonne = 0;
            }
        }
    }
    // One unit for the terminator, and one must still be left.
    if (pos + 2 > C)
        return kTropLong;
    out[pos] = 0;
    *pnLength = static_cast<unsigned>(pos + 1);
    return 0;
}

unsigned FormatMessageWin(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                          wchar_t* buffer, unsigned size, char** args)
{
    const int nErrno = errno;
    if ((flags & 0x800) || !(flags & (0x400 | 0x1000)) || buffer == nullptr) {
        errno = EINVAL;
        return 0;
    }
    const bool bAlloue = (flags & 0x100) != 0;

    if (flags & 0x1000) {
        const char* pszTexte = std::strerror(messageId != 0 ? static_cast<int>(messageId) : nErrno);
        const size_t nOctets = std::strlen(pszTexte);
        if (!bAlloue && size == 0) {
            errno = kTropLong;
            return 0;
        }
        // UTF-8 never gives more characters than bytes.
        const size_t nCap = (bAlloue && size > nOctets ? size : nOctets) + 1;
        wchar_t* psz = static_cast<wchar_t*>(XMALLOC_pNew_(nCap * sizeof(wchar_t)));
        if (psz == nullptr) {
            errno = kErrNoMemory;
            return 0;
        }
        int n = 0;
        if (nOctets > 0)
            n = MultiByteToWideChar(CP_UTF8, 0, pszTexte, static_cast<int>(nOctets), psz, static_cast<int>(nOctets));
        if (n < 0)
            n = 0;
        psz[n] = 0;
        if (bAlloue) {
            *reinterpret_cast<wchar_t**>(buffer) = psz;
            return static_cast<unsigned>(n);
        }
        const size_t m = static_cast<size_t>(n) < size - 1 ? static_cast<size_t>(n) : size - 1;
        std::wmemcpy(buffer, psz, m);
        buffer[m] = 0;
        XMALLOC_Del_(psz);
        return static_cast<unsigned>(m);
    }

    const wchar_t* pszSource = static_cast<const wchar_t*>(source);
    if (pszSource == nullptr) {
        errno = EINVAL;
        return 0;
    }
    int nLargeur = static_cast<int>(flags & 0xFF);
    if (nLargeur == 0xFF)
        nLargeur = -1;
    const bool bIgnore = (flags & 0x200) != 0;
    const bool bTableau = (flags & 0x2000) != 0;

    if (!bAlloue) {
        unsigned nLong = 0;
        const int r = __FormatMessageWin(pszSource, nLargeur, bIgnore, bTableau, args, buffer, size, &nLong);
        if (r != 0) {
            errno = r;
            return 0;
        }
        return nLong - 1;
    }

    // The engine gets the capacity as a byte count; a text that does not
    // fit gets a larger block and is formatted again.
    const size_t nCapMax = size_t(1) << 26;
    size_t nCap = (size & ~0xFFFFu) + 65536u;
    for (;;) {
        wchar_t* psz = static_cast<wchar_t*>(XMALLOC_pNew_(nCap * sizeof(wchar_t)));
        if (psz == nullptr) {
            errno = kErrNoMemory;
            return 0;
        }
        unsigned nLong = 0;
        const int r = __FormatMessageWin(pszSource, nLargeur, bIgnore, bTableau, args, psz,
                                         static_cast<unsigned>(nCap), &nLong);
        if (r == 0) {
            void* p = XMALLOC_pResize_(psz, nLong * sizeof(wchar_t));
            if (p != nullptr)
                psz = static_cast<wchar_t*>(p);
            *reinterpret_cast<wchar_t**>(buffer) = psz;
            return nLong - 1;
        }
        XMALLOC_Del_(psz);
        if (r != kTropLong || nCap >= nCapMax) {
            errno = r;
            return 0;
        }
        nCap *= 2;
    }
}
