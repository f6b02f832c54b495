// Windows-rule wide formatting on top of the C library. In a wide format
// "%s" and "%c" take wide text and characters, "%S", "%hs", "%C" and "%hc"
// 8-bit ones (read as Windows-1252, whatever the process locale); "%ls" and
// "%lc" stay wide. Everything else is the C library's printf syntax, with
// the Windows integer lengths "I64", "I32" and "I" besides.
// Also the two FormatMessage emulations: printf-style (FormatMessageW) and
// numbered inserts (FormatMessageWin).
#pragma once

#include <cstdarg>
#include <cstddef>

// ---- Reading one directive ---------------------------------------------------
// The format walks (rewriting, formatting, length estimate) read a directive
// the way the C library does, plus the Windows integer lengths "I64", "I32"
// and "I" (pointer-sized) right before d, i, o, u, x or X.

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

// Characters needed by the C-library form of a Windows-rule format,
// terminator included; 0 for a null format.
int _nCalculeTailleChaineFormattageUnix(const wchar_t* format);
// Writes the C-library form of format into out (size characters, always
// terminated when size > 0). A null format writes nothing.
void _ConvertFormatWindowsToUnix(const wchar_t* format, wchar_t* out, int size);

// As vswprintf with Windows rules: n is the buffer size in characters,
// terminator included. Result: characters written, or -1 (text cut:
// errno 0; invalid format: EINVAL; character that cannot be written:
// EILSEQ).
int vsnwprintfWin(wchar_t* buffer, size_t n, const wchar_t* format, va_list args);
// Bounded at 10,000,000 characters: only for buffers known to be that large.
int vswprintfWin(wchar_t* buffer, const wchar_t* format, va_list args);
int snwprintfWin(wchar_t* buffer, size_t n, const wchar_t* format, ...);
int swprintfWin(wchar_t* buffer, const wchar_t* format, ...);

// Bounded forms: buffer holds n + 1 characters and buffer[n] is always 0.
// Result: the formatted length when it is at most n, else -1.
int vsznwprintf(wchar_t* buffer, unsigned n, const wchar_t* format, va_list args);
int vsznwprintfWin(wchar_t* buffer, unsigned n, const wchar_t* format, va_list args);
int sznwprintf(wchar_t* buffer, unsigned n, const wchar_t* format, ...);
int sznwprintfWin(wchar_t* buffer, unsigned n, const wchar_t* format, ...);

// Formats into a malloc'ed block grown as needed. *ppsz must be null or a
// heap block; it receives the block. Result: the length; when an argument
// cannot be written the block holds the format text itself and its length
// is returned; -1 (and a null block) on other failures.
int vaswprintf(wchar_t** ppsz, const wchar_t* format, va_list args);

// FormatMessage emulations. Flags: 0x100 allocate (buffer is then a
// wchar_t** / char** receiving a malloc'ed block), 0x200 ignore inserts,
// 0x400 source is a text, 0x800 source is a module (refused), 0x1000
// system error text, 0x2000 arguments are an array of 32-bit values, low
// byte the line width (0xFF: no wrapping). args points at the va_list (or
// is the array in 0x2000 mode); null means no arguments.
//
// printf-style: the source text is a Windows-rule format; ids, 0x200,
// 0x2000 and the line width are not read. Result: length, 0 on failure.
unsigned FormatMessageW(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                        wchar_t* buffer, unsigned size, char** args);
// 8-bit twin with the C library's own printf rules.
unsigned FormatMessageA(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                        char* buffer, unsigned size, char** args);
// Numbered inserts ("%1", "%2!d!", "%n" ...). Result: length without the
// terminator, 0 on failure with errno set (22 invalid, 75 does not fit,
// 0xC0000017 no memory).
unsigned FormatMessageWin(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                          wchar_t* buffer, unsigned size, char** args);
// The insert engine: writes into out, which holds outBytes / 4 characters
// (the last unit kept for the terminator); *pnLength receives the length
// with the terminator. lineWidth: 0 keeps line breaks, -1 never wraps.
// Returns 0, 22 (invalid) or 75 (does not fit).
int __FormatMessageWin(const wchar_t* source, int lineWidth, bool ignoreInserts, bool arrayArgs, char** args,
                       wchar_t* out, unsigned outBytes, unsigned* pnLength);
