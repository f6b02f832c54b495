#include "common/text/STR.h"

#include "common/text/FormatDirective.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"
#include "common/text/TextCompare.h"
#include "common/text/UnicodeCodec.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <strings.h>
#include <vector>

namespace {

template <typename T>
T* Mutable(const T* p)
{
    return const_cast<T*>(p);
}

// Room for n characters and the terminator, or null when n + 1 characters
// cannot be counted in bytes.
template <typename T>
T* AllocChars(std::size_t n)
{
    if (n >= SIZE_MAX / sizeof(T))
        return nullptr;
    return static_cast<T*>(XMALLOC_pNew_((n + 1) * sizeof(T)));
}

template <typename T>
int CopyT(T* dst, unsigned size, const T* src, int len)
{
    if (dst == nullptr || size == 0)
        return 0;
    std::size_t room = static_cast<std::size_t>(size) - 1;
    std::size_t n;
    if (len == -1)
        n = TXT_nLenMax(src, room);
    else if (len < 0)
        n = 0;
    else
        n = TXT_nLenMax(src, room < static_cast<std::size_t>(len) ? room : static_cast<std::size_t>(len));
    if (n != 0)
        memmove(dst, src, n * sizeof(T));
    dst[n] = 0;
    return static_cast<int>(n);
}

template <typename T>
int CatT(T* dst, unsigned size, const T* src, int len)
{
    if (dst == nullptr || size == 0)
        return 0;
    std::size_t used = TXT_nLenMax(dst, size);
    if (used == size)
        return 0; // not terminated within size: nothing safe to do
    return CopyT(dst + used, static_cast<unsigned>(size - used), src, len);
}

template <typename T>
T* CreateCopy(const T* src)
{
    if (src == nullptr)
        return nullptr;
    std::size_t n = TXT_nLen(src);
    T* p = AllocChars<T>(n);
    if (p != nullptr)
        memcpy(p, src, (n + 1) * sizeof(T));
    return p;
}

template <typename T>
T* CreateFirst(int n, const T* src)
{
    if (n < 0)
        return nullptr;
    std::size_t count = static_cast<std::size_t>(n);
    T* p = AllocChars<T>(count);
    if (p == nullptr)
        return nullptr;
    std::size_t k = TXT_nLenMax(src, count);
    if (k != 0)
        memcpy(p, src, k * sizeof(T));
    for (std::size_t i = k; i <= count; ++i)
        p[i] = 0;
    return p;
}

// Joins up to three texts (null ones count as empty).
template <typename T>
T* Join(const T* a, const T* b, const T* c)
{
    const T* parts[3] = {a, b, c};
    std::size_t lens[3];
    std::size_t total = 0;
    for (int i = 0; i < 3; ++i) {
        lens[i] = parts[i] == nullptr ? 0 : TXT_nLen(parts[i]);
        if (lens[i] > SIZE_MAX / sizeof(T) - total)
            return nullptr;
        total += lens[i];
    }
    T* p = AllocChars<T>(total);
    if (p == nullptr)
        return nullptr;
    T* q = p;
    for (int i = 0; i < 3; ++i) {
        if (lens[i] != 0)
            memcpy(q, parts[i], lens[i] * sizeof(T));
        q += lens[i];
    }
    *q = 0;
    return p;
}

template <typename T>
bool ResizeT(T** p, int n)
{
    if (p == nullptr || n < 0 || static_cast<std::size_t>(n) > SIZE_MAX / sizeof(T))
        return false;
    // realloc to 0 bytes would free the block: keep at least one character.
    std::size_t bytes = (n == 0 ? 1 : static_cast<std::size_t>(n)) * sizeof(T);
    void* q = XMALLOC_pResize_(*p, bytes);
    if (q == nullptr)
        return false;
    *p = static_cast<T*>(q);
    return true;
}

bool IsSpace(char c)
{
    return isspace(static_cast<unsigned char>(c)) != 0;
}

bool IsSpace(wchar_t c)
{
    return iswspace(static_cast<wint_t>(c)) != 0;
}

template <typename T>
void AllSpacesT(T* s)
{
    if (s == nullptr)
        return;
    T* out = s;
    for (const T* in = s; *in != 0; ++in) {
        if (!IsSpace(*in))
            *out++ = *in;
    }
    *out = 0;
}

template <typename T, typename Pred>
void LeftT(T* s, Pred drop)
{
    if (s == nullptr || *s == 0)
        return;
    std::size_t i = 0;
    while (s[i] != 0 && drop(s[i]))
        ++i;
    if (i != 0)
        memmove(s, s + i, (TXT_nLen(s + i) + 1) * sizeof(T));
}

template <typename T, typename Pred>
void RightT(T* s, Pred drop)
{
    if (s == nullptr || *s == 0)
        return;
    std::size_t n = TXT_nLen(s);
    while (n > 0 && drop(s[n - 1]))
        --n;
    s[n] = 0;
}

template <typename T>
void CompleteT(T* s, unsigned size, T c)
{
    if (s == nullptr || size == 0)
        return;
    std::size_t last = static_cast<std::size_t>(size) - 1;
    for (std::size_t i = TXT_nLenMax(s, last); i < last; ++i)
        s[i] = c;
    s[last] = 0;
}

// Search window for n characters: -1 is the whole text, other negative
// counts none.
std::size_t Window(int n)
{
    if (n == -1)
        return SIZE_MAX;
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

template <typename T, typename Cmp>
T* FindWithin(const T* hay, const T* needle, std::size_t window, Cmp same)
{
    if (hay == nullptr)
        return nullptr;
    if (needle == nullptr || *needle == 0)
        return Mutable(hay);
    std::size_t m = TXT_nLen(needle);
    std::size_t h = TXT_nLenMax(hay, window);
    for (std::size_t i = 0; i + m <= h; ++i) {
        if (same(hay + i, needle, m))
            return Mutable(hay + i);
    }
    return nullptr;
}

// Last c at or before start, searching from the terminator when start lies
// past it (so that a c of 0 finds it).
template <typename T>
T* RChrT(const T* s, int start, T c)
{
    if (s == nullptr || start < 0)
        return nullptr;
    std::size_t i = TXT_nLenMax(s, static_cast<std::size_t>(start));
    for (;;) {
        if (s[i] == c)
            return Mutable(s + i);
        if (i == 0)
            return nullptr;
        --i;
    }
}

template <typename T>
T* RStrT(const T* s, int start, const T* needle)
{
    if (s == nullptr || start < 0)
        return nullptr;
    std::size_t len = TXT_nLen(s);
    std::size_t m = needle == nullptr ? 0 : TXT_nLen(needle);
    if (m > len)
        return nullptr;
    std::size_t i = static_cast<std::size_t>(start);
    if (i > len - m)
        i = len - m;
    for (;;) {
        if (m == 0 || memcmp(s + i, needle, m * sizeof(T)) == 0)
            return Mutable(s + i);
        if (i == 0)
            return nullptr;
        --i;
    }
}

wchar_t UpChar(wchar_t c)
{
    wchar_t out = c;
    STR_nMapCharEx(1, &out, c);
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Lengths and simple scans.

int STR_nLenA(const char* s, int max)
{
    return max < 1 ? 0 : static_cast<int>(TXT_nLenMax(s, static_cast<std::size_t>(max)));
}

int STR_nLenW(const wchar_t* s, int max)
{
    return max < 1 ? 0 : static_cast<int>(TXT_nLenMax(s, static_cast<std::size_t>(max)));
}

int STR_nLen(const wchar_t* s, int max)
{
    return STR_nLenW(s, max);
}

std::size_t xstrnlen(const char* s, std::size_t max)
{
    return TXT_nLenMax(s, max);
}

std::size_t xwcsnlen(const wchar_t* s, std::size_t max)
{
    return TXT_nLenMax(s, max);
}

char* strrchr(const char* s, int start, int c)
{
    return RChrT(s, start, static_cast<char>(c));
}

wchar_t* wcsrchr(const wchar_t* s, int start, wchar_t c)
{
    return RChrT(s, start, c);
}

wchar_t* STRRPBRK(const wchar_t* s, const wchar_t* set)
{
    if (s == nullptr || set == nullptr || *set == 0)
        return nullptr;
    for (std::size_t i = TXT_nLen(s); i-- > 0;) {
        if (wcschr(set, s[i]) != nullptr)
            return Mutable(s + i);
    }
    return nullptr;
}

wchar_t* wcsset(wchar_t* s, wchar_t c)
{
    if (s != nullptr) {
        for (wchar_t* p = s; *p != 0; ++p)
            *p = c;
    }
    return s;
}

wchar_t* wcsnset(wchar_t* s, wchar_t c, std::size_t n)
{
    if (s != nullptr) {
        for (std::size_t i = 0; i < n && s[i] != 0; ++i)
            s[i] = c;
    }
    return s;
}

// ---------------------------------------------------------------------------
// Bounded copies.

int STR_nCopyW(wchar_t* dst, unsigned size, const wchar_t* src, int len)
{
    return CopyT(dst, size, src, len);
}

int STR_nCopy(wchar_t* dst, unsigned size, const wchar_t* src, int len)
{
    return CopyT(dst, size, src, len);
}

int STR_nCopyA(char* dst, unsigned size, const char* src, int len)
{
    return CopyT(dst, size, src, len);
}

int STR_nCatW(wchar_t* dst, unsigned size, const wchar_t* src, int len)
{
    return CatT(dst, size, src, len);
}

int STR_nCat(wchar_t* dst, unsigned size, const wchar_t* src, int len)
{
    return CatT(dst, size, src, len);
}

int STR_nCatA(char* dst, unsigned size, const char* src, int len)
{
    return CatT(dst, size, src, len);
}

int STR_nCut(wchar_t* dst, unsigned size, const wchar_t* src)
{
    return CopyT(dst, size, src, -1);
}

int STR_nCut(char* dst, unsigned size, const char* src)
{
    return CopyT(dst, size, src, -1);
}

int STR_nCatCut(wchar_t* dst, unsigned size, const wchar_t* src)
{
    return CatT(dst, size, src, -1);
}

// ---------------------------------------------------------------------------
// Allocation.

wchar_t* STR_pszCreateW(int n)
{
    return STRG_pszCreate<wchar_t>(n);
}

wchar_t* STR_pszCreate(int n)
{
    return STRG_pszCreate<wchar_t>(n);
}

char* STR_pszCreateA(int n)
{
    return STRG_pszCreate<char>(n);
}

wchar_t* STR_pszCreateW(const wchar_t* src)
{
    return CreateCopy(src);
}

wchar_t* STR_pszCreate(const wchar_t* src)
{
    return CreateCopy(src);
}

char* STR_pszCreateA(const char* src)
{
    return CreateCopy(src);
}

wchar_t* STR_pszCreateW(int n, const wchar_t* src)
{
    return CreateFirst(n, src);
}

wchar_t* STR_pszCreate(int n, const wchar_t* src)
{
    return CreateFirst(n, src);
}

char* STR_pszCreateA(int n, const char* src)
{
    return CreateFirst(n, src);
}

wchar_t* STR_pszCreateW(const wchar_t* a, const wchar_t* b)
{
    return Join<wchar_t>(a, b, nullptr);
}

char* STR_pszCreateA(const char* a, const char* b)
{
    return Join<char>(a, b, nullptr);
}

wchar_t* STR_pszConcat(const wchar_t* a, const wchar_t* b, const wchar_t* c)
{
    return Join(a, b, c);
}

wchar_t* STR_pszConcatPoint(const wchar_t* a, const wchar_t* b)
{
    return Join<wchar_t>(a, L".", b);
}

wchar_t* STR_pszCreateW_UNALIGNED(const wchar_t* src)
{
    if (src == nullptr)
        return nullptr;
    wchar_t* p = AllocChars<wchar_t>(__UNALIGNED__UNICODE__STRLEN__(src));
    if (p != nullptr)
        __UNALIGNED__UNICODE__STRCPY__(p, src);
    return p;
}

wchar_t* STR_pszCreateW_UNALIGNED(int n, const wchar_t* src)
{
    if (n < 0)
        return nullptr;
    std::size_t count = static_cast<std::size_t>(n);
    wchar_t* p = AllocChars<wchar_t>(count);
    if (p == nullptr)
        return nullptr;
    if (src != nullptr)
        __UNALIGNED__UNICODE__STRNCPY__(p, src, count);
    else
        wmemset(p, 0, count);
    p[count] = 0;
    return p;
}

void STR_DeleteW(wchar_t* p)
{
    XMALLOC_Del_(p);
}

void STR_DeleteA(char* p)
{
    XMALLOC_Del_(p);
}

void STR_Delete(void* p)
{
    if (p != nullptr)
        XMALLOC_Del_(p);
}

bool STR_bRedefine(wchar_t** p, const wchar_t* src)
{
    if (p == nullptr)
        return false;
    // Copy before freeing: src may be the old text itself.
    wchar_t* copy = STR_pszCreateW(src);
    STR_Delete(*p);
    *p = copy;
    return copy != nullptr;
}

bool STR_bResizeW(wchar_t** p, int n)
{
    return ResizeT(p, n);
}

bool STR_bResizeA(char** p, int n)
{
    return ResizeT(p, n);
}

wchar_t* STR_RemplaceW(const wchar_t* text, const wchar_t* find, const wchar_t* repl)
{
    if (text == nullptr || *text == 0 || find == nullptr || *find == 0)
        return nullptr;
    if (repl == nullptr)
        repl = L"";
    const std::size_t m = TXT_nLen(find);
    const std::size_t r = TXT_nLen(repl);
    const std::size_t t = TXT_nLen(text);
    std::size_t count = 0;
    for (const wchar_t* p = wcsstr(text, find); p != nullptr; p = wcsstr(p + m, find))
        ++count;
    // t - count * m + count * r, checked against the byte limit.
    std::size_t kept = t - count * m;
    const std::size_t limit = SIZE_MAX / sizeof(wchar_t) - 1;
    if (r != 0 && count > (limit - kept) / r)
        return nullptr;
    wchar_t* out = AllocChars<wchar_t>(kept + count * r);
    if (out == nullptr)
        return nullptr;
    wchar_t* q = out;
    const wchar_t* from = text;
    for (const wchar_t* p = wcsstr(text, find); p != nullptr; p = wcsstr(from, find)) {
        std::size_t k = static_cast<std::size_t>(p - from);
        wmemcpy(q, from, k);
        q += k;
        wmemcpy(q, repl, r);
        q += r;
        from = p + m;
    }
    std::size_t rest = TXT_nLen(from);
    wmemcpy(q, from, rest + 1);
    return out;
}

// ---------------------------------------------------------------------------
// Trims and padding.

void STR_SuppressAllSpacesW(wchar_t* s)
{
    AllSpacesT(s);
}

void STR_SuppressAllSpacesA(char* s)
{
    AllSpacesT(s);
}

void STR_SuppressLeftSpaces(wchar_t* s)
{
    LeftT(s, [](wchar_t c) { return IsSpace(c); });
}

void STR_SuppressLeftSpaces(char* s)
{
    LeftT(s, [](char c) { return IsSpace(c); });
}

void STR_SuppressRightSpaces(wchar_t* s)
{
    RightT(s, [](wchar_t c) { return IsSpace(c); });
}

void STR_SuppressRightSpaces(char* s)
{
    RightT(s, [](char c) { return IsSpace(c); });
}

void STR_SuppressSideSpaces(wchar_t* s)
{
    STR_SuppressRightSpaces(s);
    STR_SuppressLeftSpaces(s);
}

void STR_SuppressSideSpaces(char* s)
{
    STR_SuppressRightSpaces(s);
    STR_SuppressLeftSpaces(s);
}

void STR_SuppressLeftCar(wchar_t* s, wchar_t c)
{
    LeftT(s, [c](wchar_t x) { return x == c; });
}

void STR_SuppressLeftCar(char* s, char c)
{
    LeftT(s, [c](char x) { return x == c; });
}

void STR_SuppressRightCar(wchar_t* s, wchar_t c)
{
    RightT(s, [c](wchar_t x) { return x == c; });
}

void STR_SuppressRightCar(char* s, char c)
{
    RightT(s, [c](char x) { return x == c; });
}

void STR_SuppressSideCar(wchar_t* s, wchar_t c)
{
    STR_SuppressRightCar(s, c);
    STR_SuppressLeftCar(s, c);
}

void STR_Complete(wchar_t* s, unsigned size, wchar_t c)
{
    CompleteT(s, size, c);
}

void STR_Complete(char* s, unsigned size, char c)
{
    CompleteT(s, size, c);
}

void STR_Ellipsis(wchar_t* dst, const wchar_t* src, unsigned max, eELLIPSISPOSITION position)
{
    if (dst == nullptr || src == nullptr || max <= 2)
        return;
    const std::size_t len = TXT_nLen(src);
    if (len <= max) {
        wmemmove(dst, src, len + 1);
        return;
    }
    std::size_t head;
    std::size_t tail;
    switch (position) {
    case ELLIPSIS_END:
        head = max - 3;
        tail = 0;
        break;
    case ELLIPSIS_MIDDLE:
        head = (max - 3) / 2;
        tail = (max - 2) / 2;
        break;
    case ELLIPSIS_START:
        head = 0;
        tail = max - 3;
        break;
    default:
        return;
    }
    wchar_t* q = dst;
    wmemmove(q, src, head);
    q += head;
    wmemcpy(q, L"...", 3);
    q += 3;
    wmemmove(q, src + len - tail, tail);
    q[tail] = 0;
}

// ---------------------------------------------------------------------------
// Searches.

wchar_t* STR_pszStrnstr(const wchar_t* hay, const wchar_t* needle, int n)
{
    return FindWithin(hay, needle, Window(n),
                      [](const wchar_t* a, const wchar_t* b, std::size_t m) { return wmemcmp(a, b, m) == 0; });
}

char* STR_strnstrA(const char* hay, const char* needle, int n)
{
    return FindWithin(hay, needle, Window(n),
                      [](const char* a, const char* b, std::size_t m) { return memcmp(a, b, m) == 0; });
}

char* STR_strnistrA(const char* hay, const char* needle, int n)
{
    return FindWithin(hay, needle, Window(n),
                      [](const char* a, const char* b, std::size_t m) { return strncasecmp(a, b, m) == 0; });
}

wchar_t* STR_StrIStr(const wchar_t* hay, const wchar_t* needle)
{
    return FindWithin(hay, needle, SIZE_MAX,
                      [](const wchar_t* a, const wchar_t* b, std::size_t m) { return wcsncasecmp(a, b, m) == 0; });
}

wchar_t* STR_pszUpStrstr(const wchar_t* hay, const wchar_t* needle)
{
    if (hay == nullptr)
        return nullptr;
    if (needle == nullptr || *needle == 0)
        return Mutable(hay);
    const std::size_t h = TXT_nLen(hay);
    const std::size_t m = TXT_nLen(needle);
    if (m > h)
        return nullptr;
    // Each character is mapped once through the locale service.
    wchar_t* upHay = AllocChars<wchar_t>(h);
    wchar_t* upNeedle = AllocChars<wchar_t>(m);
    wchar_t* found = nullptr;
    if (upHay != nullptr && upNeedle != nullptr) {
        for (std::size_t i = 0; i < h; ++i)
            upHay[i] = UpChar(hay[i]);
        for (std::size_t i = 0; i < m; ++i)
            upNeedle[i] = UpChar(needle[i]);
        for (std::size_t i = 0; i + m <= h; ++i) {
            if (wmemcmp(upHay + i, upNeedle, m) == 0) {
                found = Mutable(hay + i);
                break;
            }
        }
    }
    XMALLOC_Del_(upHay);
    XMALLOC_Del_(upNeedle);
    return found;
}

char* STRRSTRA(const char* s, int start, const char* needle)
{
    return RStrT(s, start, needle);
}

wchar_t* STRRSTRW(const wchar_t* s, int start, const wchar_t* needle)
{
    return RStrT(s, start, needle);
}

wchar_t* STRRSTR(const wchar_t* s, int start, const wchar_t* needle)
{
    return RStrT(s, start, needle);
}

bool bEstDuTexteRTF(const char* text)
{
    return text != nullptr && (strncasecmp(text, "{\\rtf1", 6) == 0 || strncasecmp(text, "{\\rtf{", 6) == 0);
}

bool bEstDuTexteRTF(const wchar_t* text)
{
    return text != nullptr && (wcsncasecmp(text, L"{\\rtf1", 6) == 0 || wcsncasecmp(text, L"{\\rtf{", 6) == 0);
}

bool bEstDuTexteRTFW(const wchar_t* text)
{
    return bEstDuTexteRTF(text);
}

// ---------------------------------------------------------------------------
// Format length.

namespace {

// How an argument is fetched from the list. A position read under two
// classes makes the formatter refuse the format.
enum eClasseArg : unsigned char {
    CA_AUCUNE,
    CA_INT,
    CA_LONG,
    CA_LLONG,
    CA_INTMAX,
    CA_SIZE,
    CA_PTRDIFF,
    CA_DOUBLE,
    CA_LDOUBLE,
    CA_PTR,
    CA_WSTR,
    CA_NSTR,
    CA_WINT
};

union UArg {
    int i;
    long l;
    long long ll;
    intmax_t j;
    std::size_t z;
    std::ptrdiff_t t;
    double d;
    long double ld;
    const void* p;
    wint_t wc;
};

// Whether a string or character directive takes wide text. The wide walk
// follows the Windows rules for the plain, "h", "l" and "w" forms; every
// other length reads as the C library does.
template <typename T>
bool bTexteLarge(const SDirectiveFormat<T>& d, bool wide)
{
    const bool bMajuscule = d.cConversion == 'S' || d.cConversion == 'C';
    if (wide) {
        switch (d.eLongueur) {
        case LGF_AUCUNE:
            return !bMajuscule;
        case LGF_H:
            return false;
        case LGF_L:
        case LGF_W:
            return true;
        default:
            break;
        }
    }
    return bMajuscule || d.eLongueur == LGF_L || d.eLongueur == LGF_LL || d.eLongueur == LGF_J;
}

template <typename T>
eClasseArg ClasseArg(const SDirectiveFormat<T>& d, bool wide)
{
    if (formatwin::bEntier(d.cConversion)) {
        switch (d.eLongueur) {
        case LGF_L:
            return CA_LONG;
        case LGF_LL:
            return CA_LLONG;
        case LGF_J:
            return CA_INTMAX;
        case LGF_Z:
            return CA_SIZE;
        case LGF_T:
            return CA_PTRDIFF;
        default:
            return CA_INT;
        }
    }
    switch (d.cConversion) {
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        // intmax_t is wider than long here: "j" reads a long double too.
        return d.eLongueur == LGF_LL || d.eLongueur == LGF_J ? CA_LDOUBLE : CA_DOUBLE;
    case 'p':
    case 'n':
        return CA_PTR;
    case 's':
    case 'S':
        return bTexteLarge(d, wide) ? CA_WSTR : CA_NSTR;
    case 'c':
    case 'C':
        return bTexteLarge(d, wide) ? CA_WINT : CA_INT;
    default:
        return CA_AUCUNE;
    }
}

void LitArg(va_list& ap, eClasseArg c, UArg& v)
{
    switch (c) {
    case CA_LONG: v.l = va_arg(ap, long); break;
    case CA_LLONG: v.ll = va_arg(ap, long long); break;
    case CA_INTMAX: v.j = va_arg(ap, intmax_t); break;
    case CA_SIZE: v.z = va_arg(ap, std::size_t); break;
    case CA_PTRDIFF: v.t = va_arg(ap, std::ptrdiff_t); break;
    case CA_DOUBLE: v.d = va_arg(ap, double); break;
    case CA_LDOUBLE: v.ld = va_arg(ap, long double); break;
    case CA_PTR:
    case CA_WSTR:
    case CA_NSTR: v.p = va_arg(ap, const void*); break;
    case CA_WINT: v.wc = va_arg(ap, wint_t); break;
    default: v.i = va_arg(ap, int); break;
    }
}

unsigned long long Max3(unsigned long long a, unsigned long long b, unsigned long long c)
{
    const unsigned long long m = a > b ? a : b;
    return m > c ? m : c;
}

// Characters one directive may write. nTexte: the directive as written,
// which the formatter copies when it does not know the conversion.
template <typename T>
unsigned long long LongueurItem(const SDirectiveFormat<T>& d, eClasseArg c, unsigned long long width, bool hasPrec,
                                unsigned long long prec, const UArg& v, bool wide, unsigned long long nTexte)
{
    // One character of the C library's 8-bit output may take several bytes.
    const unsigned long long mb = wide ? 1 : (MB_CUR_MAX > 4 ? MB_CUR_MAX : 4);
    if (formatwin::bEntier(d.cConversion) || d.cConversion == 'p') {
        // At most 22 digits (64-bit octal), a sign or blank and "0x".
        unsigned long long body = (hasPrec && prec > 22 ? prec : 22) + 3;
        if (d.bChiffresLocaux)
            body *= 1 + mb;  // group separators, or digits of the locale
        return Max3(width + prec, body, 32);
    }
    if (c == CA_DOUBLE || c == CA_LDOUBLE) {
        // A fixed-point image of a large value has up to 309 digits (4933
        // for a long double) before the precision's digits; then a sign,
        // the point, an exponent or "0x".
        const unsigned long long digits = c == CA_LDOUBLE ? 4933 : 309;
        unsigned long long body = (hasPrec ? prec : 6) + digits + 16 + mb;
        if (d.bChiffresLocaux)
            body += digits * mb;
        return Max3(width + prec, body, 512);
    }
    switch (d.cConversion) {
    case 'c':
    case 'C':
        return Max3(width, c == CA_WINT && !wide ? mb : 2, 0);
    case 's':
    case 'S': {
        if (v.p == nullptr)  // "(null)", whatever the precision
            return Max3(width, 6, 0);
        const std::size_t bound = hasPrec ? static_cast<std::size_t>(prec) : SIZE_MAX;
        unsigned long long len;
        if (c == CA_WSTR) {
            len = TXT_nLenMax(static_cast<const wchar_t*>(v.p), bound) * mb;
            if (hasPrec && len > prec)
                len = prec;  // the 8-bit precision counts bytes
        } else {
            len = TXT_nLenMax(static_cast<const char*>(v.p), bound);
        }
        return Max3(width, len, 1);
    }
    case 'n':
        return 0;
    case 'm':
        return Max3(width, 1024, 0);  // the text of errno
    case 0:
        return 0;  // the format ends inside the directive: refused
    default:
        return nTexte;
    }
}

// Walks the format; fetch(position, class, value) gives each argument (a
// position of 0: the next in order) or answers false to stop the walk.
template <typename T, typename F>
bool bParcours(const T* format, bool wide, const F& fetch, unsigned long long& total)
{
    total = 0;
    const T* p = format;
    while (*p != 0) {
        if (*p != '%') {
            ++total;
            ++p;
            continue;
        }
        const T* pDebut = p++;
        if (*p == '%') {
            ++total;
            ++p;
            continue;
        }
        SDirectiveFormat<T> d;
        p = pLitDirectiveFormat(p, d);
        if (!wide && d.eLongueur == LGF_W) {
            // The C library has no "w": it is an unknown conversion.
            d.cConversion = 'w';
            p = d.pLongueur + 1;
        }
        UArg v{};
        unsigned long long width = d.nLargeur;
        bool hasPrec = d.bPrecision;
        unsigned long long prec = d.nPrecision;
        if (d.bLargeurEtoile) {
            if (!fetch(d.nPositionLargeur, CA_INT, v))
                return false;
            // A negative width means left-justified with its magnitude.
            width = v.i < 0 ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(v.i))
                            : static_cast<unsigned long long>(v.i);
        }
        if (d.bPrecisionEtoile) {
            if (!fetch(d.nPositionPrecision, CA_INT, v))
                return false;
            hasPrec = v.i >= 0;  // a negative one: as if none was given
            prec = v.i >= 0 ? static_cast<unsigned long long>(v.i) : 0;
        }
        const eClasseArg c = ClasseArg(d, wide);
        v.ll = 0;
        v.p = nullptr;
        if (c != CA_AUCUNE && !fetch(d.nPosition, c, v))
            return false;
        total += LongueurItem(d, c, width, hasPrec, prec, v, wide, static_cast<unsigned long long>(p - pDebut));
    }
    return true;
}

// Arguments named by position ("%2$s"), as the formatter reads them: every
// directive names its positions, one class a position; the list is read in
// position order. False when the formatter would refuse the format.
template <typename T>
bool bParcoursPositions(const T* format, va_list args, bool wide, unsigned long long& total)
{
    std::vector<eClasseArg> tabClasses;
    bool bRefuse = false;
    auto note = [&](int pos, eClasseArg c, UArg&) {
        if (pos == 0 || pos > kMaxPositionFormat) {
            bRefuse = true;
            return false;
        }
        if (tabClasses.size() < static_cast<std::size_t>(pos))
            tabClasses.resize(static_cast<std::size_t>(pos), CA_AUCUNE);
        eClasseArg& e = tabClasses[static_cast<std::size_t>(pos) - 1];
        if (e != CA_AUCUNE && e != c) {
            bRefuse = true;
            return false;
        }
        e = c;
        return true;
    };
    if (!bParcours(format, wide, note, total) || bRefuse)
        return false;

    std::vector<UArg> tabValeurs(tabClasses.size());
    va_list ap;
    va_copy(ap, args);
    for (std::size_t i = 0; i < tabClasses.size(); ++i)
        LitArg(ap, tabClasses[i], tabValeurs[i]);  // an unnamed one reads as an int
    va_end(ap);
    auto lit = [&](int pos, eClasseArg, UArg& v) {
        v = tabValeurs[static_cast<std::size_t>(pos) - 1];
        return true;
    };
    return bParcours(format, wide, lit, total);
}

template <typename T>
int CalculeLongueur(const T* format, va_list args, bool wide)
{
    if (format == nullptr)
        return 0;
    unsigned long long total = 0;
    va_list ap;
    va_copy(ap, args);
    auto lit = [&ap](int pos, eClasseArg c, UArg& v) {
        if (pos != 0)
            return false;
        LitArg(ap, c, v);
        return true;
    };
    const bool bSequentiel = bParcours(format, wide, lit, total);
    va_end(ap);
    if (!bSequentiel && !bParcoursPositions(format, args, wide, total)) {
        // Refused: a caller that falls back on the format text has room.
        total = 0;
        for (const T* p = format; *p != 0; ++p)
            ++total;
    }
    // The caller adds the terminator: keep room for it.
    return total >= static_cast<unsigned long long>(INT_MAX) ? INT_MAX - 1 : static_cast<int>(total);
}

} // namespace

template <>
int STRG_nCalculeLongueurPrintf<char>(const char* format, va_list args)
{
    return CalculeLongueur(format, args, false);
}

template <>
int STRG_nCalculeLongueurPrintf<wchar_t>(const wchar_t* format, va_list args)
{
    return CalculeLongueur(format, args, true);
}
