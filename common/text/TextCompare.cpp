#include "common/text/TextCompare.h"

#include "common/platform/InformationDLL.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#include <string>
#include <vector>

namespace {

const unsigned kCurrent = STR_FLAG_CURRENT_LCID;
const unsigned kLexico = STR_FLAG_LEXICO;

IInfoLocale* Locale() { return CInformationDLL::ms_piInfoLocale; }

template <typename T>
const T* Empty()
{
    static const T s_empty[1] = {0};
    return s_empty;
}

template <typename T>
const T* Safe(const T* s)
{
    return s != nullptr ? s : Empty<T>();
}

// Length of s, reading at most n units; the whole text for n < 0.
template <typename T>
int BoundedLen(const T* s, int n)
{
    if (s == nullptr)
        return 0;
    if (n < 0)
        return static_cast<int>(TXT_nLen(s));
    int len = 0;
    while (len < n && s[len] != 0)
        ++len;
    return len;
}

// Resolves a text and its length: null is empty, -1 is up to the terminator.
template <typename T>
int TextLen(const T*& s, int len)
{
    if (s == nullptr) {
        s = Empty<T>();
        return 0;
    }
    return len < 0 ? static_cast<int>(TXT_nLen(s)) : len;
}

int Sign(long long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

inline unsigned Unit(char c) { return static_cast<unsigned char>(c); }
inline unsigned Unit(wchar_t c) { return static_cast<unsigned>(c); }

// Ordinal order of two runs: units as unsigned values, then the longer one
// is greater.
template <typename T>
int OrdinalRun(const T* a, int la, const T* b, int lb)
{
    const int n = la < lb ? la : lb;
    for (int i = 0; i < n; ++i) {
        const unsigned x = Unit(a[i]);
        const unsigned y = Unit(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return la < lb ? -1 : (la > lb ? 1 : 0);
}

// ---- Built-in behaviour while the host has not handed its service over ----

wchar_t Upper(wchar_t c) { return STR_cFixedUpper(c); }

wchar_t Lower(wchar_t c) { return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), STR_FixedLocale())); }

bool IsSpaceOrPunct(wchar_t c)
{
    const wint_t w = static_cast<wint_t>(c);
    return iswspace_l(w, STR_FixedLocale()) || iswpunct_l(w, STR_FixedLocale());
}

// Base letter of an accented Windows-1252 letter, keeping its case.
wchar_t Unaccented(wchar_t c)
{
    unsigned char b = 0;
    if (Unit(c) < 0x80 || !STR_bIsCp1252(c, b))
        return c;
    const unsigned char u = pToNoAccentUpper_Latin1[b];
    if (u < 'A' || u > 'Z')
        return c;
    const bool bLower = Upper(c) != c;
    return static_cast<wchar_t>(bLower ? u + ('a' - 'A') : u);
}

std::wstring Widen(const char* s, int n)
{
    std::wstring out;
    for (int i = 0; i < n; ++i)
        out.push_back(STR_FromCP1252(static_cast<unsigned char>(s[i])));
    return out;
}

std::wstring Widen(const wchar_t* s, int n) { return std::wstring(s, static_cast<std::size_t>(n)); }

std::wstring MapText(unsigned flags, const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if ((flags & LOCALE_IGNORE_PUNCT) && IsSpaceOrPunct(c))
            continue;
        if (flags & LOCALE_IGNORE_ACCENTS)
            c = Unaccented(c);
        if (flags & LOCALE_LOWER_CASE)
            c = Lower(c);
        else if (flags & LOCALE_FOLD_CASE)
            c = Upper(c);
        out.push_back(c);
    }
    return out;
}

template <typename T>
int FallbackCompare(unsigned flags, const T* a, int la, const T* b, int lb)
{
    la = TextLen(a, la);
    lb = TextLen(b, lb);
    const unsigned f = flags & (LOCALE_FOLD_CASE | LOCALE_IGNORE_ACCENTS | LOCALE_IGNORE_PUNCT);
    const std::wstring x = MapText(f, Widen(a, la));
    const std::wstring y = MapText(f, Widen(b, lb));
    return OrdinalRun(x.data(), static_cast<int>(x.size()), y.data(), static_cast<int>(y.size()));
}

inline void Store(char* dst, wchar_t c) { *dst = static_cast<char>(STR_ToCP1252(c, '?')); }
inline void Store(wchar_t* dst, wchar_t c) { *dst = c; }

// Counts as the service does: the characters produced without terminator,
// the count needed without destination, 0 when it does not fit.
template <typename T>
int FallbackMap(unsigned flags, T* dst, int size, const T* src, int len)
{
    len = TextLen(src, len);
    const unsigned f =
        flags & (LOCALE_FOLD_CASE | LOCALE_IGNORE_ACCENTS | LOCALE_IGNORE_PUNCT | LOCALE_LOWER_CASE);
    const std::wstring mapped = MapText(f, Widen(src, len));
    const int n = static_cast<int>(mapped.size());
    if (dst == nullptr || size <= 0)
        return n;
    if (n > size)
        return 0;
    for (int i = 0; i < n; ++i)
        Store(dst + i, mapped[i]);
    if (n < size)
        dst[n] = 0;
    return n;
}

// Ordinal sort key: each character as 4 big-endian bytes.
int FallbackSortKey(unsigned char* dst, int size, const wchar_t* src, int len)
{
    len = TextLen(src, len);
    const int n = len * 4;
    if (dst == nullptr || size <= 0)
        return n;
    if (n > size)
        return 0;
    for (int i = 0; i < len; ++i) {
        const unsigned c = Unit(src[i]);
        dst[4 * i] = static_cast<unsigned char>(c >> 24);
        dst[4 * i + 1] = static_cast<unsigned char>(c >> 16);
        dst[4 * i + 2] = static_cast<unsigned char>(c >> 8);
        dst[4 * i + 3] = static_cast<unsigned char>(c);
    }
    return n;
}

// ---- Service dispatch ----

int SvcCompare(IInfoLocale* p, unsigned lcid, unsigned flags, const char* a, int la, const char* b, int lb)
{
    return p->nCompareA(lcid, flags, a, la, b, lb);
}
int SvcCompare(IInfoLocale* p, unsigned lcid, unsigned flags, const wchar_t* a, int la, const wchar_t* b,
               int lb)
{
    return p->nCompareW(lcid, flags, a, la, b, lb);
}
int SvcMap(IInfoLocale* p, unsigned lcid, unsigned flags, char* dst, int size, const char* src, int len)
{
    return p->nMapStringA(lcid, flags, dst, size, src, len);
}
int SvcMap(IInfoLocale* p, unsigned lcid, unsigned flags, wchar_t* dst, int size, const wchar_t* src,
           int len)
{
    return p->nMapStringW(lcid, flags, dst, size, src, len);
}
int SvcMapCurrent(IInfoLocale* p, unsigned flags, char* dst, int size, const char* src, int len)
{
    return p->nMapStringCurrentA(flags, dst, size, src, len);
}
int SvcMapCurrent(IInfoLocale* p, unsigned flags, wchar_t* dst, int size, const wchar_t* src, int len)
{
    return p->nMapStringCurrentW(flags, dst, size, src, len);
}

// The given identifier, or the current one when the flags ask for it (the
// flag is not passed on).
void ResolveLcid(IInfoLocale* p, unsigned& lcid, unsigned& flags)
{
    if (flags & kCurrent) {
        flags &= ~kCurrent;
        lcid = p->nGetCurrentLCID();
    }
}

// Comparison through slot 5 or 6.
template <typename T>
int CompareLcid(unsigned lcid, unsigned flags, const T* a, int la, const T* b, int lb)
{
    IInfoLocale* p = Locale();
    if (p == nullptr)
        return FallbackCompare(flags, a, la, b, lb);
    ResolveLcid(p, lcid, flags);
    return SvcCompare(p, lcid, flags, a, la, b, lb);
}

// Mapping through slot 11 or 12.
template <typename T>
int MapLcid(unsigned lcid, unsigned flags, T* dst, int size, const T* src, int len)
{
    IInfoLocale* p = Locale();
    if (p == nullptr)
        return FallbackMap(flags, dst, size, src, len);
    ResolveLcid(p, lcid, flags);
    return SvcMap(p, lcid, flags, dst, size, src, len);
}

// Mapping through slot 13 or 14 (the current locale, no identifier).
template <typename T>
int MapCurrent(unsigned flags, T* dst, int size, const T* src, int len)
{
    IInfoLocale* p = Locale();
    if (p == nullptr)
        return FallbackMap(flags, dst, size, src, len);
    return SvcMapCurrent(p, flags & ~kCurrent, dst, size, src, len);
}

// Changes every unit of s (up to the terminator for n < 0) to the first unit
// that map(buf, &c) produces into a buffer of 2 units.
template <typename T, typename Map>
void CaseBuffer(T* s, int n, Map map)
{
    if (s == nullptr)
        return;
    for (int i = 0; n < 0 ? s[i] != 0 : i < n; ++i) {
        T buf[2] = {0, 0};
        const T c = s[i];
        if (map(buf, &c) >= 1 && (buf[0] != 0 || c == 0))
            s[i] = buf[0];
    }
}

void CaseBufferA(unsigned flags, char* s, int n)
{
    CaseBuffer(s, n, [flags](char* buf, const char* c) { return MapLcid(STR_LCID_COMPARE, flags, buf, 2, c, 1); });
}

void CaseBufferW(unsigned flags, wchar_t* s, int n)
{
    CaseBuffer(s, n, [flags](wchar_t* buf, const wchar_t* c) { return MapCurrent(flags, buf, 2, c, 1); });
}

// The first unit that mapping c gives, in *out when there is one; the
// mapping's count.
template <typename T>
int MapChar(unsigned lcid, unsigned flags, T* out, T c)
{
    T buf[2] = {0, 0};
    const int n = MapLcid(lcid, flags, buf, 2, &c, 1);
    if (out != nullptr && n >= 1)
        *out = buf[0];
    return n;
}

// Whether mapping c without punctuation and blanks leaves nothing.
template <typename T>
bool IsWhiteOrPunct(unsigned lcid, T c)
{
    T buf[2] = {0, 0};
    const int n = MapLcid(lcid, LOCALE_IGNORE_PUNCT, buf, 2, &c, 1);
    return n <= 0 || buf[0] == 0;
}

// Each unit of s (up to the terminator) through f.
template <typename T, typename F>
T* EachUnit(T* s, F f)
{
    for (T* q = s; q != nullptr && *q != 0; ++q)
        *q = f(*q);
    return s;
}

template <typename T>
int CreateMapString(unsigned flags, T** out, const T* src)
{
    if (out == nullptr)
        return 0;
    *out = nullptr;
    src = Safe(src);
    const int size = STR_nGetMapStringLenEx(flags, src, -1);
    if (size <= 0)
        return 0;
    T* buf = static_cast<T*>(XMALLOC_pNew_(static_cast<std::size_t>(size) * sizeof(T)));
    if (buf == nullptr)
        return 0;
    buf[0] = 0;
    int n = STR_nMapStringEx(flags, buf, size, src, -1);
    if (n < 0)
        n = 0;
    if (n > size)
        n = size;
    buf[n < size ? n : size - 1] = 0;
    *out = buf;
    return n;
}

// ---- Host-option comparison ----

inline bool IsBlank(unsigned c) { return (c >= 9 && c <= 13) || c == 32; }

template <typename T>
int Prepare(int option, const T* src, int len, T* dst, int dstSize)
{
    if (dst == nullptr || dstSize <= 0)
        return 0;
    len = TextLen(src, len);
    if ((option & 1) && len >= 1) {
        int start = 0;
        while (start < len && IsBlank(Unit(src[start])))
            ++start;
        src += start;
        len -= start;
        while (len > 0 && IsBlank(Unit(src[len - 1])))
            --len;
    }
    const unsigned flags = OptionTQ2FlagSTR(option);
    if (flags != 0) {
        if (len == 0) {
            dst[0] = 0;
            return 0;
        }
        int n = MapCurrent(flags, dst, dstSize, src, len);
        // The prepared text never runs past the buffer.
        if (n < 0)
            n = 0;
        if (n > dstSize)
            n = dstSize;
        if (n < dstSize)
            dst[n] = 0;
        return n;
    }
    const int n = len < dstSize - 1 ? len : dstSize - 1;
    std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof(T));
    dst[n] = 0;
    return n;
}

// Temporary of n units: on the stack up to 16383 bytes, else on the heap.
template <typename T>
class CTemp {
public:
    explicit CTemp(int n)
    {
        if (n <= kStackUnits) {
            m_p = m_stack;
        } else {
            m_heap.resize(static_cast<std::size_t>(n));
            m_p = m_heap.data();
        }
    }
    T* p() const { return m_p; }

private:
    static const int kStackUnits = 16383 / static_cast<int>(sizeof(T));
    T m_stack[kStackUnits];
    std::vector<T> m_heap;
    T* m_p;
};

// The host-option comparison of both widths: the texts are prepared, then
// compared by numeric (option 0x80), by lexico (option 8, the width's locale
// order) or ordinally.
template <typename T, typename Lexico>
int ChaineCompare(const T* a, int la, const T* b, int lb, int option,
                  int (*numeric)(const T*, int, const T*, int, unsigned), Lexico lexico)
{
    la = TextLen(a, la);
    lb = TextLen(b, lb);
    CTemp<T> ta(la + 1);
    CTemp<T> tb(lb + 1);
    const int nx = Prepare(option, a, la, ta.p(), la + 1);
    const int ny = Prepare(option, b, lb, tb.p(), lb + 1);
    if (option & 0x80)
        return numeric(ta.p(), nx, tb.p(), ny, (option & 8) ? (kCurrent | kLexico) : 0);
    if (option & 8)
        return lexico(ta.p(), nx, tb.p(), ny);
    return OrdinalRun(ta.p(), nx, tb.p(), ny);
}

template <typename T>
int DigitRun(const T* s, int n)
{
    int i = 0;
    while (i < n && TXT_bDigit(s[i]))
        ++i;
    return i;
}

template <typename T>
int NonDigitRun(const T* s, int n)
{
    int i = 0;
    while (i < n && !TXT_bDigit(s[i]))
        ++i;
    return i;
}

template <typename T>
int CompareNumbers(const T* a, int na, const T* b, int nb, int* pTie)
{
    int local = 0;
    if (na > nb) {
        for (int k = 0; k < na - nb; ++k)
            if (a[k] != '0')
                return 1;
        a += na - nb;
        na = nb;
        local = -1;
    } else if (nb > na) {
        for (int k = 0; k < nb - na; ++k)
            if (b[k] != '0')
                return -1;
        b += nb - na;
        local = 1;
    }
    if (local != 0 && pTie != nullptr && *pTie == 0)
        *pTie = local;
    for (int k = 0; k < na; ++k)
        if (a[k] != b[k])
            return Unit(a[k]) < Unit(b[k]) ? -1 : 1;
    return 0;
}

// The numeric-aware walk of both widths: runs of digits face each other by
// value, the first difference in leading zeros being the last resort. Any
// other position goes to other(i, j, da, db, r), which either decides (true,
// the answer in r) or moves i and j past what it compared.
template <typename T, typename Other>
int CompareRespectingNumbers(const T* a, int la, const T* b, int lb, Other other)
{
    int tie = 0;
    int i = 0;
    int j = 0;
    for (;;) {
        if (i >= la)
            return j < lb ? -1 : tie;
        if (j >= lb)
            return 1;
        const int da = DigitRun(a + i, la - i);
        const int db = DigitRun(b + j, lb - j);
        if (da > 0 && db > 0) {
            if (const int r = CompareNumbers(a + i, da, b + j, db, &tie))
                return r;
            i += da;
            j += db;
            continue;
        }
        int r = 0;
        if (other(i, j, da, db, r))
            return r;
    }
}

// Windows-1252 bytes 0x80-0x9F; the five undefined ones keep their value.
const wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct CNoAccentTable {
    unsigned char t[256];
    constexpr CNoAccentTable() : t{}
    {
        for (int i = 0; i < 256; ++i)
            t[i] = static_cast<unsigned char>(i);
        for (int i = 'a'; i <= 'z'; ++i)
            t[i] = static_cast<unsigned char>(i - 'a' + 'A');
        t[0x8A] = t[0x9A] = 'S';
        t[0x8E] = t[0x9E] = 'Z';
        t[0x9C] = 0x8C;
        t[0x9F] = t[0xFF] = 'Y';
        Range(0xC0, 0xC5, 'A');
        Range(0xE0, 0xE5, 'A');
        t[0xC7] = t[0xE7] = 'C';
        Range(0xC8, 0xCB, 'E');
        Range(0xE8, 0xEB, 'E');
        Range(0xCC, 0xCF, 'I');
        Range(0xEC, 0xEF, 'I');
        t[0xD1] = t[0xF1] = 'N';
        Range(0xD2, 0xD6, 'O');
        Range(0xF2, 0xF6, 'O');
        t[0xD8] = t[0xF8] = 'O';
        Range(0xD9, 0xDC, 'U');
        Range(0xF9, 0xFC, 'U');
        t[0xDD] = t[0xFD] = 'Y';
        t[0xE6] = 0xC6;
        t[0xF0] = 0xD0;
        t[0xFE] = 0xDE;
    }
    constexpr void Range(int from, int to, unsigned char v)
    {
        for (int i = from; i <= to; ++i)
            t[i] = v;
    }
};

constexpr CNoAccentTable kNoAccentUpper;

}  // namespace

const unsigned char* const pToNoAccentUpper_Latin1 = kNoAccentUpper.t;

// ---- Service wrappers ----

int STR_nCompareA(const char* a, const char* b, unsigned flags)
{
    a = Safe(a);
    b = Safe(b);
    IInfoLocale* p = Locale();
    if (p == nullptr)
        return FallbackCompare(flags, a, -1, b, -1);
    if (flags & kCurrent)
        return p->nCompareCurrentA((flags & ~kCurrent) | STR_FLAG_COMPARE_A, a, -1, b, -1);
    return p->nCompareA(STR_LCID_COMPARE, flags | STR_FLAG_COMPARE_A, a, -1, b, -1);
}

int STR_nCompareW(const wchar_t* a, const wchar_t* b, unsigned flags)
{
    a = Safe(a);
    b = Safe(b);
    IInfoLocale* p = Locale();
    if (p == nullptr)
        return FallbackCompare(flags, a, -1, b, -1);
    if (flags & kCurrent)
        return p->nCompareCurrentW(flags & ~kCurrent, a, -1, b, -1);
    return p->nCompareW(STR_LCID_COMPARE, flags, a, -1, b, -1);
}

int STR_nUpCompareA(const char* a, const char* b, unsigned flags)
{
    return STR_nCompareA(a, b, flags | LOCALE_FOLD_CASE);
}

int STR_nUpCompareW(const wchar_t* a, const wchar_t* b, unsigned flags)
{
    return STR_nCompareW(a, b, flags | LOCALE_FOLD_CASE);
}

int STR_nAcCompare(const char* a, const char* b, unsigned flags)
{
    return STR_nCompareA(a, b, flags | LOCALE_IGNORE_ACCENTS);
}

int STR_nAcCompare(const wchar_t* a, const wchar_t* b, unsigned flags)
{
    return STR_nCompareW(a, b, flags | LOCALE_IGNORE_ACCENTS);
}

template <typename T>
int STR_nNCompare(const T* a, const T* b, int n, unsigned flags)
{
    const int la = BoundedLen(a, n);
    const int lb = BoundedLen(b, n);
    return Sign(CompareLcid(STR_LCID_MAP, flags, Safe(a), la, Safe(b), lb));
}

template int STR_nNCompare<char>(const char*, const char*, int, unsigned);
template int STR_nNCompare<wchar_t>(const wchar_t*, const wchar_t*, int, unsigned);

template <typename T>
int __STR_CompareStringEx(unsigned flags, const T* a, int la, const T* b, int lb)
{
    if (a == nullptr)
        la = 0;
    if (b == nullptr)
        lb = 0;
    switch (CompareLcid(STR_LCID_MAP, flags, Safe(a), la, Safe(b), lb)) {
    case 0:
        return 2;
    case 1:
        return 3;
    default:
        return 1;
    }
}

template int __STR_CompareStringEx<char>(unsigned, const char*, int, const char*, int);
template int __STR_CompareStringEx<wchar_t>(unsigned, const wchar_t*, int, const wchar_t*, int);

int STR_nCompareCharLexicoA(char a, char b, unsigned flags)
{
    return CompareLcid(STR_LCID_MAP, flags | kLexico, &a, 1, &b, 1);
}

int STR_nCompareCharLexicoW(wchar_t a, wchar_t b, unsigned flags)
{
    return CompareLcid(STR_LCID_COMPARE, flags | kLexico, &a, 1, &b, 1);
}

int STR_nCompareStringLexicoW(const wchar_t* a, int la, const wchar_t* b, int lb, unsigned flags)
{
    if (a == nullptr)
        la = 0;
    if (b == nullptr)
        lb = 0;
    return CompareLcid(STR_LCID_COMPARE, flags | kLexico, Safe(a), la, Safe(b), lb);
}

int STR_nCompareCharSoupleA(char a, char b)
{
    return CompareLcid(STR_LCID_MAP, LOCALE_FOLD_CASE | LOCALE_IGNORE_ACCENTS, &a, 1, &b, 1);
}

int STR_nCompareCharSoupleW(wchar_t a, wchar_t b)
{
    return CompareLcid(STR_LCID_COMPARE, LOCALE_FOLD_CASE | LOCALE_IGNORE_ACCENTS, &a, 1, &b, 1);
}

namespace {

// A null source maps as the empty text.
template <typename T>
int MapStringEx(unsigned flags, T* dst, int size, const T* src, int len)
{
    return MapLcid(STR_LCID_MAP, flags, dst, size, Safe(src), src != nullptr ? len : 0);
}

}  // namespace

int STR_nMapStringEx(unsigned flags, char* dst, int size, const char* src, int len)
{
    return MapStringEx(flags, dst, size, src, len);
}

int STR_nMapStringEx(unsigned flags, wchar_t* dst, int size, const wchar_t* src, int len)
{
    return MapStringEx(flags, dst, size, src, len);
}

int STR_nGetMapStringLenEx(unsigned flags, const char* src, int len)
{
    return STR_nMapStringEx(flags, static_cast<char*>(nullptr), 0, src, len) + 1;
}

int STR_nGetMapStringLenEx(unsigned flags, const wchar_t* src, int len)
{
    return STR_nMapStringEx(flags, static_cast<wchar_t*>(nullptr), 0, src, len) + 1;
}

int STR_nCreateMapString(unsigned flags, char** out, const char* src)
{
    return CreateMapString(flags, out, src);
}

int STR_nCreateMapString(unsigned flags, wchar_t** out, const wchar_t* src)
{
    return CreateMapString(flags, out, src);
}

wchar_t* STR_pszCreateStandard(const wchar_t* src)
{
    if (src == nullptr)
        return nullptr;
    const int len = static_cast<int>(TXT_nLen(src));
    wchar_t* buf = static_cast<wchar_t*>(XMALLOC_pNew_((static_cast<std::size_t>(len) + 1) * sizeof(wchar_t)));
    if (buf == nullptr)
        return nullptr;
    int n = MapLcid(STR_LCID_MAP, LOCALE_FOLD_CASE | LOCALE_IGNORE_ACCENTS, buf, len + 1, src, len);
    if (n < 0)
        n = 0;
    if (n > len)
        n = len;
    buf[n] = 0;
    return buf;
}

int STR_MapStringSortEx(unsigned char* dst, int size, const wchar_t* src, int len, bool useCurrent)
{
    if (src == nullptr)
        len = 0;
    src = Safe(src);
    IInfoLocale* p = Locale();
    if (p == nullptr)
        return FallbackSortKey(dst, size, src, len);
    const unsigned lcid = useCurrent ? p->nGetCurrentLCID() : STR_LCID_MAP;
    return p->nMapStringSort(lcid, dst, size, src, len);
}

int STR_nMapCharEx(unsigned flags, char* out, char c)
{
    return MapChar(STR_LCID_MAP, flags, out, c);
}

int STR_nMapCharExANSI(unsigned flags, char* out, char c) { return STR_nMapCharEx(flags, out, c); }

int STR_nMapCharEx(unsigned flags, wchar_t* out, wchar_t c)
{
    return MapChar(STR_LCID_MAP, flags, out, c);
}

int STR_nMapCharIgnoreCaseAccent(wchar_t* out, wchar_t c)
{
    return STR_nMapCharEx(LOCALE_FOLD_CASE | LOCALE_IGNORE_ACCENTS, out, c);
}

bool STR_bWhiteCharOrPunctA(char c)
{
    return IsWhiteOrPunct(STR_LCID_MAP, c);
}

bool STR_bWhiteCharOrPunctW(wchar_t c)
{
    return IsWhiteOrPunct(STR_LCID_COMPARE, c);
}

namespace {

// Freed when the module unloads, so that a host that loads and unloads the
// driver loses nothing. A call after that, from another static's destructor,
// gets the plain "C" locale, which glibc keeps without allocating.
bool s_bFixedLocaleGone = false;

class CFixedLocale
{
public:
    CFixedLocale() : m_loc(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr))) {}
    ~CFixedLocale()
    {
        if (m_loc != static_cast<locale_t>(nullptr))
            freelocale(m_loc);
        s_bFixedLocaleGone = true;
    }
    CFixedLocale(const CFixedLocale&) = delete;
    CFixedLocale& operator=(const CFixedLocale&) = delete;
    locale_t Get() const { return m_loc; }

private:
    locale_t m_loc;
};

locale_t PlainCLocale()
{
    static const locale_t s_loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return s_loc;
}

} // namespace

locale_t STR_FixedLocale()
{
    if (s_bFixedLocaleGone)
        return PlainCLocale();
    static const CFixedLocale s_clFixed;
    return s_clFixed.Get() != static_cast<locale_t>(nullptr) ? s_clFixed.Get() : PlainCLocale();
}

wchar_t STR_cFixedUpper(wchar_t c)
{
    return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), STR_FixedLocale()));
}

int STR_nFixedCaseCompare(const wchar_t* a, const wchar_t* b)
{
    return wcscasecmp_l(Safe(a), Safe(b), STR_FixedLocale());
}

void STR_ToUpper(char* s) { CaseBufferA(LOCALE_FOLD_CASE, s, -1); }
void STR_ToUpperBuff(char* s, int n) { CaseBufferA(LOCALE_FOLD_CASE, s, n < 0 ? 0 : n); }
void STR_ToLower(char* s) { CaseBufferA(LOCALE_LOWER_CASE, s, -1); }
void STR_ToLowerBuff(char* s, int n) { CaseBufferA(LOCALE_LOWER_CASE, s, n < 0 ? 0 : n); }
void STR_ToUpper(wchar_t* s) { CaseBufferW(LOCALE_FOLD_CASE, s, -1); }
void STR_ToUpperBuff(wchar_t* s, int n) { CaseBufferW(LOCALE_FOLD_CASE, s, n < 0 ? 0 : n); }
void STR_ToLower(wchar_t* s) { CaseBufferW(LOCALE_LOWER_CASE, s, -1); }
void STR_ToLowerBuff(wchar_t* s, int n) { CaseBufferW(LOCALE_LOWER_CASE, s, n < 0 ? 0 : n); }

wchar_t* my_struprW(wchar_t* s)
{
    return EachUnit(s, [](wchar_t c) { return static_cast<wchar_t>(towupper(static_cast<wint_t>(c))); });
}

char* my_struprA(char* s)
{
    return EachUnit(s, [](char c) { return static_cast<char>(toupper(static_cast<unsigned char>(c))); });
}

wchar_t* my_strlwrW(wchar_t* s)
{
    return EachUnit(s, [](wchar_t c) { return static_cast<wchar_t>(towlower(static_cast<wint_t>(c))); });
}

char* my_strlwrA(char* s)
{
    return EachUnit(s, [](char c) { return static_cast<char>(tolower(static_cast<unsigned char>(c))); });
}

// ---- Null-tolerant comparisons ----

namespace {

// Null below any text: true with the order in r when a null decides.
bool NullDecides(const wchar_t* a, const wchar_t* b, int& r)
{
    if (a != nullptr && b != nullptr)
        return false;
    r = a != nullptr ? 1 : (b != nullptr ? -1 : 0);
    return true;
}

}  // namespace

int STR_nNullCompare(const wchar_t* a, const wchar_t* b, unsigned flags)
{
    int r;
    return NullDecides(a, b, r) ? r : STR_nCompareW(a, b, flags);
}

int STR_nNullNCompare(const wchar_t* a, const wchar_t* b, int n, unsigned flags)
{
    int r;
    return NullDecides(a, b, r) ? r : STR_nNCompare(a, b, n, flags);
}

int STR_nEmptyNullCompare(const wchar_t* a, const wchar_t* b, unsigned flags)
{
    const bool bEmptyA = a == nullptr || *a == 0;
    const bool bEmptyB = b == nullptr || *b == 0;
    if (bEmptyA && bEmptyB)
        return 0;
    if (b == nullptr)
        return 1;
    return STR_nCompareW(Safe(a), b, flags);
}

bool STR_bDebut(const wchar_t* prefix, const wchar_t* s)
{
    const int n = static_cast<int>(TXT_nLen(prefix));
    if (n > static_cast<int>(TXT_nLen(s)))
        return false;
    return STR_nNCompare(Safe(s), Safe(prefix), n, LOCALE_FOLD_CASE | LOCALE_IGNORE_ACCENTS) == 0;
}

// ---- Host-option comparison ----

unsigned OptionTQ2FlagSTR(int option)
{
    unsigned flags = 0;
    if (option & 2)
        flags |= LOCALE_IGNORE_PUNCT;
    if (option & 4)
        flags |= LOCALE_IGNORE_ACCENTS;
    if (option & 64)
        flags |= LOCALE_LOWER_CASE;
    else if (option & (16 | 32))
        flags |= LOCALE_FOLD_CASE;
    return flags;
}

int STR_PrepareChaineW(int option, const wchar_t* src, int len, wchar_t* dst, int dstSize)
{
    return Prepare(option, src, len, dst, dstSize);
}

int STR_PrepareChaineA(int option, const char* src, int len, char* dst, int dstSize)
{
    return Prepare(option, src, len, dst, dstSize);
}

int STR_ChaineCompareW(const wchar_t* a, int la, const wchar_t* b, int lb, int option)
{
    return ChaineCompare(a, la, b, lb, option, STR_nCompareRespecteNumeriqueW,
                         [option](const wchar_t* x, int nx, const wchar_t* y, int ny) {
                             return STR_nCompareStringLexicoW(x, nx, y, ny, option < 0 ? 0x90000000u : kCurrent);
                         });
}

int STR_ChaineCompareA(const char* a, int la, const char* b, int lb, int option)
{
    return ChaineCompare(a, la, b, lb, option, STR_nCompareRespecteNumeriqueA,
                         [](const char* x, int nx, const char* y, int ny) {
                             const int n = nx < ny ? nx : ny;
                             for (int i = 0; i < n; ++i)
                                 if (const int r = STR_nCompareCharLexicoA(x[i], y[i], kCurrent))
                                     return r;
                             return nx < ny ? -1 : (nx > ny ? 1 : 0);
                         });
}

// ---- Numeric-aware comparison ----

int __nCompareNumeriqueChaineW(const wchar_t* a, int na, const wchar_t* b, int nb, int* pTie)
{
    return CompareNumbers(a, na, b, nb, pTie);
}

int __nCompareNumeriqueChaineA(const char* a, int na, const char* b, int nb, int* pTie)
{
    return CompareNumbers(a, na, b, nb, pTie);
}

// A digit facing anything else decides; runs without digits are compared
// whole.
int STR_nCompareRespecteNumeriqueW(const wchar_t* a, int la, const wchar_t* b, int lb, unsigned flags)
{
    la = TextLen(a, la);
    lb = TextLen(b, lb);
    const bool bLexico = (flags & kLexico) != 0;
    return CompareRespectingNumbers(a, la, b, lb, [&](int& i, int& j, int da, int db, int& r) {
        if (da > 0 || db > 0) {
            if (bLexico)
                r = STR_nCompareCharLexicoW(a[i], b[j], flags);
            else
                r = Unit(a[i]) < Unit(b[j]) ? -1 : (Unit(a[i]) > Unit(b[j]) ? 1 : 0);
            return true;
        }
        const int na = NonDigitRun(a + i, la - i);
        const int nb = NonDigitRun(b + j, lb - j);
        r = bLexico ? STR_nCompareStringLexicoW(a + i, na, b + j, nb, flags) : OrdinalRun(a + i, na, b + j, nb);
        i += na;
        j += nb;
        return r != 0;
    });
}

// Anything but two runs of digits is compared one character at a time.
int STR_nCompareRespecteNumeriqueA(const char* a, int la, const char* b, int lb, unsigned flags)
{
    la = TextLen(a, la);
    lb = TextLen(b, lb);
    const bool bLexico = (flags & kLexico) != 0;
    return CompareRespectingNumbers(a, la, b, lb, [&](int& i, int& j, int, int, int& r) {
        const unsigned ca = Unit(a[i]);
        const unsigned cb = Unit(b[j]);
        r = bLexico ? STR_nCompareCharLexicoW(static_cast<wchar_t>(ca), static_cast<wchar_t>(cb), flags)
                    : static_cast<int>(ca) - static_cast<int>(cb);
        ++i;
        ++j;
        return r != 0;
    });
}

int nCompareVersionModule(const wchar_t* a, const wchar_t* b)
{
    return STR_nCompareRespecteNumeriqueW(a, -1, b, -1, kLexico);
}

int nCompareVersionModuleA(const char* a, const char* b)
{
    return STR_nCompareRespecteNumeriqueA(a, -1, b, -1, kLexico);
}

// ---- Windows-1252 and 7-bit ----

bool STR_bIsCp1252(wchar_t wc, unsigned char& byte)
{
    const unsigned c = Unit(wc);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        byte = static_cast<unsigned char>(c);
        return true;
    }
    if (c <= 0x9F)
        return false;
    // The bytes 0x80 to 0x9F by their characters, which end at U+2122.
    static const struct CHighByCharacter {
        unsigned char a[0x2123];
        CHighByCharacter() : a{}
        {
            for (int i = 0; i < 32; ++i)
                if (Unit(kCp1252High[i]) < sizeof(a))
                    a[Unit(kCp1252High[i])] = static_cast<unsigned char>(0x80 + i);
        }
    } s_high;
    if (c >= sizeof(s_high.a) || s_high.a[c] == 0)
        return false;
    byte = s_high.a[c];
    return true;
}

bool STR_bIsCp1252(wchar_t wc)
{
    unsigned char byte = 0;
    return STR_bIsCp1252(wc, byte);
}

bool STR_bIsCp1252(const wchar_t* text)
{
    for (const wchar_t* q = text; q != nullptr && *q != 0; ++q)
        if (!STR_bIsCp1252(*q))
            return false;
    return true;
}

unsigned char STR_ToCP1252(wchar_t wc, unsigned char def, int* used)
{
    unsigned char byte = 0;
    if (STR_bIsCp1252(wc, byte))
        return byte;
    if (used != nullptr)
        *used = 1;
    return def;
}

wchar_t STR_FromCP1252(unsigned char c)
{
    return c >= 0x80 && c <= 0x9F ? kCp1252High[c - 0x80] : static_cast<wchar_t>(c);
}

int STR_CP1252ToWideChar(const char* src, int len, wchar_t* dst, int dstChars)
{
    if (src == nullptr)
        return 0;
    const int n = len < 0 ? static_cast<int>(std::strlen(src)) + 1 : len;
    if (n == 0)
        return 0;
    if (dst == nullptr || dstChars <= 0)
        return n;
    const int m = n < dstChars ? n : dstChars;
    for (int i = 0; i < m; ++i)
        dst[i] = STR_FromCP1252(static_cast<unsigned char>(src[i]));
    return m;
}

bool STR_bIsANSI7(const wchar_t* text) { return STR_bIsANSI7(text, -1); }

bool STR_bIsANSI7(const wchar_t* text, int n)
{
    if (text == nullptr)
        return true;
    if (n < 0)
        n = static_cast<int>(TXT_nLen(text));
    for (int i = 0; i < n; ++i)
        if (Unit(text[i]) >= 0x80)
            return false;
    return true;
}

bool STR_bIsANSI7(char c) { return Unit(c) < 0x80; }

char STR_ToAnsi7(wchar_t wc, char def) { return Unit(wc) < 0x80 ? static_cast<char>(wc) : def; }

wchar_t STR_FromAnsi7(char c, wchar_t def) { return Unit(c) < 0x80 ? static_cast<wchar_t>(c) : def; }

int STR_nCmpLogiqueAnsiFast(const char* a, const char* b)
{
    const unsigned char* x = reinterpret_cast<const unsigned char*>(Safe(a));
    const unsigned char* y = reinterpret_cast<const unsigned char*>(Safe(b));
    for (;; ++x, ++y) {
        if (*x == 0)
            return *y == 0 ? 0 : -1;
        if (*y == 0)
            return 1;
        const unsigned char u = pToNoAccentUpper_Latin1[*x];
        const unsigned char v = pToNoAccentUpper_Latin1[*y];
        if (u != v)
            return u < v ? -1 : 1;
    }
}

// ---- Character classes ----

bool bEstUnChiffreA(char c) { return TXT_bDigit(c); }
bool bEstUnChiffreW(wchar_t c) { return TXT_bDigit(c); }
int nGetChiffre(wchar_t c) { return static_cast<int>(c) - 48; }

bool bEstUnNombreEntierNaturel(const wchar_t* text)
{
    for (const wchar_t* q = text; q != nullptr && *q != 0; ++q)
        if (!bEstUnChiffreW(*q))
            return false;
    return true;
}

bool bExtendedASCII(unsigned char c) { return c > 127; }
bool bMajusculeA(char c) { return c >= 'A' && c <= 'Z'; }
bool bMajusculeW(wchar_t c) { return c >= L'A' && c <= L'Z'; }
bool bMinusculeA(char c) { return c >= 'a' && c <= 'z'; }
bool bMinusculeW(wchar_t c) { return c >= L'a' && c <= L'z'; }
bool bUnprintable(wchar_t c) { return Unit(c) < 32; }

bool bPonctuation(wchar_t c)
{
    const unsigned u = Unit(c);
    return (u >= 33 && u <= 47) || (u >= 58 && u <= 64) || (u >= 91 && u <= 95);
}

namespace {
template <typename T>
bool NothingReadable(const T* text)
{
    for (const T* q = text; q != nullptr && *q != 0; ++q)
        if (*q != '\t' && *q != '\n' && *q != '\r' && *q != ' ')
            return false;
    return true;
}
}  // namespace

bool STR_bNeContientRienDeLisibleA(const char* text) { return NothingReadable(text); }
bool STR_bNeContientRienDeLisibleW(const wchar_t* text) { return NothingReadable(text); }

bool STR_bContainSpace(const wchar_t* text) { return text != nullptr && std::wcschr(text, L' ') != nullptr; }
