#include "common/text/STR.h"

#include "common/text/TextBasics.h"
#include "common/text/TextCompare.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/SysUtils.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <strings.h>

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

enum eSizePrefix { SP_NONE, SP_SHORT, SP_LONG, SP_64, SP_L, SP_SIZE, SP_PTRDIFF };

const unsigned long long s_nNumberCap = 1000000000ULL;

template <typename T>
unsigned long long ReadNumber(const T*& p)
{
    unsigned long long n = 0;
    while (TXT_bDigit(*p)) {
        if (n < s_nNumberCap)
            n = n * 10 + static_cast<unsigned>(*p - '0');
        ++p;
    }
    return n;
}

// wide: the wide function (Windows rules), else the 8-bit one (C rules,
// where a wide argument may take 4 bytes a character).
template <typename T>
int CalculeLongueur(const T* format, va_list args, bool wide)
{
    if (format == nullptr)
        return 0;
    va_list ap;
    va_copy(ap, args);
    unsigned long long total = 0;
    const T* p = format;
    while (*p != 0) {
        if (*p != '%') {
            ++total;
            ++p;
            continue;
        }
        ++p;
        if (*p == '%') {
            ++total;
            ++p;
            continue;
        }
        unsigned long long width = 0;
        bool starWidth = false;
        for (;; ++p) {
            if (*p == '#') {
                total += 2;
            } else if (*p == '*') {
                int w = va_arg(ap, int);
                // A negative width means left-justified with its magnitude.
                width = w < 0 ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(w))
                              : static_cast<unsigned long long>(w);
                starWidth = true;
            } else if (*p != '-' && *p != '+' && *p != '0' && *p != ' ') {
                break;
            }
        }
        if (!starWidth)
            width = ReadNumber(p);
        bool hasPrec = false;
        unsigned long long prec = 0;
        if (*p == '.') {
            ++p;
            hasPrec = true;
            if (*p == '*') {
                ++p;
                int v = va_arg(ap, int);
                if (v < 0)
                    hasPrec = false; // as if none was given
                else
                    prec = static_cast<unsigned long long>(v);
            } else {
                prec = ReadNumber(p);
            }
        }
        eSizePrefix size = SP_NONE;
        for (bool more = true; more;) {
            switch (*p) {
            case 'F':
            case 'N':
                ++p;
                break;
            case 'L':
                size = SP_L;
                ++p;
                break;
            case 'I':
                if (p[1] == '6' && p[2] == '4') {
                    size = SP_64;
                    p += 3;
                } else if (p[1] == '3' && p[2] == '2') {
                    size = SP_NONE;
                    p += 3;
                } else {
                    ++p;
                }
                break;
            case 'h':
                size = SP_SHORT;
                ++p;
                break;
            case 'l':
                if (p[1] == 'l') {
                    size = SP_64;
                    p += 2;
                } else {
                    size = SP_LONG;
                    ++p;
                }
                break;
            case 'q':
            case 'j':
                size = SP_64;
                ++p;
                break;
            case 'z':
                size = SP_SIZE;
                ++p;
                break;
            case 't':
                size = SP_PTRDIFF;
                ++p;
                break;
            default:
                more = false;
                break;
            }
        }
        const T type = *p;
        if (type == 0)
            break;
        ++p;
        unsigned long long item = 0;
        switch (type) {
        case 'c':
        case 'C': {
            (void)va_arg(ap, int);
            bool wideChar = wide ? (type == 'c' ? size != SP_SHORT : size == SP_LONG)
                                 : (type == 'C' ? size != SP_SHORT : size == SP_LONG);
            item = !wide && wideChar ? 4 : 2;
            if (item < width)
                item = width;
            break;
        }
        case 's':
        case 'S': {
            bool wideStr;
            if (size == SP_SHORT)
                wideStr = false;
            else if (size == SP_LONG)
                wideStr = true;
            else
                wideStr = wide ? type == 's' : type == 'S';
            const void* arg = va_arg(ap, const void*);
            const std::size_t bound = hasPrec ? static_cast<std::size_t>(prec) : SIZE_MAX;
            unsigned long long len;
            if (arg == nullptr) {
                len = 6; // "(null)"
            } else if (wideStr) {
                len = TXT_nLenMax(static_cast<const wchar_t*>(arg), bound);
                if (!wide)
                    len *= 4;
            } else {
                len = TXT_nLenMax(static_cast<const char*>(arg), bound);
            }
            if (len < 1)
                len = 1;
            if (hasPrec) {
                const unsigned long long cap = !wide && wideStr ? prec * 4 : prec;
                if (len > cap)
                    len = cap;
            }
            item = len < width ? width : len;
            break;
        }
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X':
        case 'p':
            if (type == 'p')
                (void)va_arg(ap, void*);
            else if (size == SP_64 || size == SP_L)
                (void)va_arg(ap, long long);
            else if (size == SP_LONG)
                (void)va_arg(ap, long);
            else if (size == SP_SIZE)
                (void)va_arg(ap, std::size_t);
            else if (size == SP_PTRDIFF)
                (void)va_arg(ap, std::ptrdiff_t);
            else
                (void)va_arg(ap, int);
            item = width + prec;
            if (item < 32)
                item = 32;
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            // A fixed-point image of a large value has up to 309 digits
            // (4933 for a long double) before the precision's digits.
            unsigned long long digits = (hasPrec ? prec : 6) + 8;
            if (size == SP_L) {
                (void)va_arg(ap, long double);
                digits += 4933;
            } else {
                (void)va_arg(ap, double);
                digits += 309;
            }
            item = width + prec;
            if (item < 512)
                item = 512;
            if (item < digits)
                item = digits;
            break;
        }
        case 'n':
            (void)va_arg(ap, void*);
            break;
        default:
            break;
        }
        total += item;
    }
    va_end(ap);
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
