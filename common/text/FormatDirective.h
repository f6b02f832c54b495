// One printf directive, read the same way by every format walk (rewriting,
// formatting, length estimate) so that all of them consume the same
// arguments: the way the C library does, plus the Windows integer lengths
// "I64", "I32" and "I" (pointer-sized) right before d, i, o, u, x or X.
#pragma once

enum eLongueurFormat : unsigned char {
    LGF_AUCUNE,
    LGF_HH,
    LGF_H,
    LGF_L,
    LGF_LL,   // "ll", "L", "q", "I64"
    LGF_J,
    LGF_Z,    // "z", "Z", "I"
    LGF_T,
    LGF_W     // "w", only before s, S, c and C
};

const int kMaxPositionFormat = 4096;

template <typename T>
struct SDirectiveFormat {
    int nPosition = 0;                 // "N$" of the value, 0 none
    bool bChiffresLocaux = false;      // '\'' or 'I': the locale's grouping or digits
    bool bLargeurEtoile = false;
    int nPositionLargeur = 0;          // "*N$"
    unsigned long long nLargeur = 0;
    bool bPrecision = false;
    bool bPrecisionEtoile = false;
    int nPositionPrecision = 0;
    unsigned long long nPrecision = 0;
    const T* pLongueur = nullptr;      // where the length letters begin
    eLongueurFormat eLongueur = LGF_AUCUNE;
    bool bLongueurWin = false;         // "I64", "I32" or "I"
    T cConversion = 0;                 // 0: the format ended inside the directive
};

namespace formatwin {

template <typename T>
bool bChiffre(T c)
{
    return c >= '0' && c <= '9';
}

template <typename T>
bool bEntier(T c)
{
    return c == 'd' || c == 'i' || c == 'o' || c == 'u' || c == 'x' || c == 'X';
}

// Decimal number at p, held at a billion (a larger one fails the formatter).
template <typename T>
unsigned long long nNombre(const T*& p)
{
    unsigned long long n = 0;
    for (; bChiffre(*p); ++p)
        if (n < 1000000000ULL)
            n = n * 10 + static_cast<unsigned>(*p - '0');
    return n;
}

// "N$" at p: N (p moved past it), else 0 and p unmoved. Beyond the limit:
// kMaxPositionFormat + 1.
template <typename T>
int nPosition(const T*& p)
{
    const T* q = p;
    const unsigned long long n = nNombre(q);
    if (q == p || *q != '$' || n == 0)
        return 0;
    p = q + 1;
    return n > static_cast<unsigned long long>(kMaxPositionFormat) ? kMaxPositionFormat + 1 : static_cast<int>(n);
}

// A Windows integer length at p: the characters it takes, else 0.
template <typename T>
int nLongueurWin(const T* p, eLongueurFormat& e)
{
    if (*p != 'I')
        return 0;
    int n = 1;
    e = LGF_Z;
    if (p[1] == '6' && p[2] == '4') {
        n = 3;
        e = LGF_LL;
    } else if (p[1] == '3' && p[2] == '2') {
        n = 3;
        e = LGF_AUCUNE;
    }
    return bEntier(p[n]) ? n : 0;
}

}  // namespace formatwin

// Reads the directive whose '%' is just before p (not "%%"); answers the
// position just after it (after the terminator's position if it ends early).
template <typename T>
const T* pLitDirectiveFormat(const T* p, SDirectiveFormat<T>& d)
{
    using namespace formatwin;
    d.nPosition = nPosition(p);
    for (;; ++p) {
        eLongueurFormat e;
        if (*p == '\'' || (*p == 'I' && nLongueurWin(p, e) == 0))
            d.bChiffresLocaux = true;
        else if (*p != '-' && *p != '+' && *p != ' ' && *p != '0' && *p != '#')
            break;
    }
    if (*p == '*') {
        ++p;
        d.bLargeurEtoile = true;
        d.nPositionLargeur = nPosition(p);
    } else {
        d.nLargeur = nNombre(p);
    }
    if (*p == '.') {
        ++p;
        d.bPrecision = true;
        if (*p == '*') {
            ++p;
            d.bPrecisionEtoile = true;
            d.nPositionPrecision = nPosition(p);
        } else {
            d.nPrecision = nNombre(p);
        }
    }
    d.pLongueur = p;
    const int nWin = nLongueurWin(p, d.eLongueur);
    if (nWin > 0) {
        p += nWin;
        d.bLongueurWin = true;
    } else {
        switch (*p) {
        case 'h':
            d.eLongueur = p[1] == 'h' ? LGF_HH : LGF_H;
            p += p[1] == 'h' ? 2 : 1;
            break;
        case 'l':
            d.eLongueur = p[1] == 'l' ? LGF_LL : LGF_L;
            p += p[1] == 'l' ? 2 : 1;
            break;
        case 'L':
        case 'q':
            d.eLongueur = LGF_LL;
            ++p;
            break;
        case 'j':
            d.eLongueur = LGF_J;
            ++p;
            break;
        case 'z':
        case 'Z':
            d.eLongueur = LGF_Z;
            ++p;
            break;
        case 't':
            d.eLongueur = LGF_T;
            ++p;
            break;
        case 'w':
            if (p[1] == 's' || p[1] == 'S' || p[1] == 'c' || p[1] == 'C') {
                d.eLongueur = LGF_W;
                ++p;
            }
            break;
        default:
            break;
        }
    }
    d.cConversion = *p;
    return *p != 0 ? p + 1 : p;
}
