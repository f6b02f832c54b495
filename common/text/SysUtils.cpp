#include "common/text/SysUtils.h"

#include "common/text/CodePage.h"
#include "common/text/TextBasics.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace {

const char s_szDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// Digits from the least significant end into a scratch area, then copied to
// dst in reading order after the optional sign.
template <typename T>
T* NumberToText(unsigned long long magnitude, bool negative, T* dst, int radix)
{
    if (radix < 2 || radix > 36) {
        dst[0] = 0;
        return dst;
    }
    T scratch[64];
    int n = 0;
    do {
        scratch[n++] = static_cast<T>(s_szDigits[magnitude % static_cast<unsigned>(radix)]);
        magnitude /= static_cast<unsigned>(radix);
    } while (magnitude != 0);
    T* p = dst;
    if (negative)
        *p++ = '-';
    while (n > 0)
        *p++ = scratch[--n];
    *p = 0;
    return dst;
}

// A signed value is its sign and its magnitude, the most negative one
// included.
template <typename T>
T* SignedToText(long long value, T* dst, int radix)
{
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    return NumberToText(magnitude, value < 0, dst, radix);
}

// Wide text to Windows-1252 into a 100-byte area, at most 99 characters.
void ToArea1252(const wchar_t* text, char (&area)[100])
{
    area[0] = 0;
    if (text == nullptr)
        return;
    int n = static_cast<int>(wcsnlen(text, 99));
    int written = n == 0 ? 0 : WideCharToMultiByte(CP_1252, 0, text, n, area, 99, "?", nullptr);
    if (written > 0 && written <= 99) {
        area[written] = 0;
        return;
    }
    // The conversion refused the text: keep what a number can be made of.
    for (int i = 0; i < n; ++i)
        area[i] = text[i] > 0 && text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    area[n] = 0;
}

} // namespace

wchar_t* _ui64towVmr(unsigned long long value, wchar_t* dst, int radix)
{
    return NumberToText(value, false, dst, radix);
}

wchar_t* ui64tow(unsigned long long value, wchar_t* dst, int radix)
{
    return _ui64towVmr(value, dst, radix);
}

wchar_t* _i64towVmr(long long value, wchar_t* dst, int radix)
{
    return SignedToText(value, dst, radix);
}

wchar_t* i64tow(long long value, wchar_t* dst, int radix)
{
    return _i64towVmr(value, dst, radix);
}

char* _ui64toaVmr(unsigned long long value, char* dst, int radix)
{
    return NumberToText(value, false, dst, radix);
}

char* ui64toa(unsigned long long value, char* dst, int radix)
{
    return _ui64toaVmr(value, dst, radix);
}

char* _i64toaVmr(long long value, char* dst, int radix)
{
    return SignedToText(value, dst, radix);
}

char* i64toa(long long value, char* dst, int radix)
{
    return _i64toaVmr(value, dst, radix);
}

wchar_t* ultow(unsigned long value, wchar_t* dst, int radix)
{
    return NumberToText(value, false, dst, radix);
}

wchar_t* ltow(long value, wchar_t* dst, int radix)
{
    return SignedToText(value, dst, radix);
}

wchar_t* itow(int value, wchar_t* dst, int radix)
{
    return ltow(value, dst, radix);
}

char* ultoa(unsigned long value, char* dst, int radix)
{
    return NumberToText(value, false, dst, radix);
}

char* ltoa(long value, char* dst, int radix)
{
    return SignedToText(value, dst, radix);
}

char* itoa(int value, char* dst, int radix)
{
    return ltoa(value, dst, radix);
}

long long _wtoi64Vmr(const wchar_t* text)
{
    char area[100];
    ToArea1252(text, area);
    return atoll(area);
}

double wtof(const wchar_t* text)
{
    char area[100];
    ToArea1252(text, area);
    return atof(area);
}

wchar_t* _wgcvt(double value, int digits, wchar_t* dst)
{
    // gcvt never gives more than 17 significant digits; clamping keeps the
    // area's bound independent of the C library.
    char area[64];
    gcvt(value, digits > 17 ? 17 : digits, area);
    area[sizeof(area) - 1] = 0;
    int n = static_cast<int>(strlen(area)) + 1;
    if (MultiByteToWideChar(CP_1252, 0, area, n, dst, n) <= 0) {
        for (int i = 0; i < n; ++i)
            dst[i] = static_cast<unsigned char>(area[i]);
    }
    return dst;
}

unsigned long long nGetEntierHexa(const wchar_t* text, int& count)
{
    unsigned long long value = 0;
    count = 0;
    if (text == nullptr)
        return 0;
    for (const wchar_t* p = text; *p != 0 && iswxdigit(static_cast<wint_t>(*p)); ++p) {
        unsigned digit;
        if (TXT_bDigit(*p))
            digit = static_cast<unsigned>(*p - '0');
        else if (*p >= 'a' && *p <= 'f')
            digit = static_cast<unsigned>(*p - 'a' + 10);
        else if (*p >= 'A' && *p <= 'F')
            digit = static_cast<unsigned>(*p - 'A' + 10);
        else
            break; // a locale's extra hexadecimal digit is not one of ours
        value = (value << 4) | digit;
        ++count;
    }
    return value;
}

int vsznprintf(char* dst, unsigned max, const char* format, va_list args)
{
    // max + 1 must not wrap; no real buffer comes near that size.
    if (static_cast<std::size_t>(max) >= SIZE_MAX)
        max = static_cast<unsigned>(SIZE_MAX - 1);
    int n = vsnprintf(dst, static_cast<std::size_t>(max) + 1, format, args);
    dst[max] = 0;
    if (n < 0 || static_cast<unsigned>(n) > max)
        return -1;
    return n;
}

int sznprintf(char* dst, unsigned max, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsznprintf(dst, max, format, args);
    va_end(args);
    return n;
}

void* xmemmem(const void* hay, std::size_t n, const void* needle, std::size_t m)
{
    if (hay == nullptr || needle == nullptr || m == 0 || n == 0 || m > n)
        return nullptr;
    const unsigned char* h = static_cast<const unsigned char*>(hay);
    const unsigned char* s = static_cast<const unsigned char*>(needle);
    if (m == 1)
        return const_cast<void*>(memchr(hay, s[0], n));
    const unsigned char c0 = s[0];
    const unsigned char c1 = s[1];
    // Steps that cannot skip a match: a position whose second byte differs
    // from c1 cannot start one, nor (when c0 == c1) can the next.
    const std::size_t stepSame = c0 == c1 ? 1 : 2;
    const std::size_t stepOther = c0 == c1 ? 2 : 1;
    const std::size_t last = n - m;
    std::size_t i = 0;
    while (i <= last) {
        if (h[i + 1] == c1) {
            if (memcmp(h + i + 2, s + 2, m - 2) == 0 && h[i] == c0)
                return const_cast<unsigned char*>(h + i);
            i += stepSame;
        } else {
            i += stepOther;
        }
    }
    return nullptr;
}

namespace {

// Allocations left before the seam fails them; negative: none fails.
int s_nXMallocLeft = -1;

bool bXMallocFails()
{
    if (s_nXMallocLeft < 0)
        return false;
    if (s_nXMallocLeft == 0)
        return true;
    --s_nXMallocLeft;
    return false;
}

} // namespace

int XMALLOC_nFailAfter(int nSucceed)
{
    const int nAvant = s_nXMallocLeft;
    s_nXMallocLeft = nSucceed < 0 ? -1 : nSucceed;
    return nAvant;
}

void* XMALLOC_pNew_(std::size_t size)
{
    if (bXMallocFails())
        return nullptr;
    return malloc(size);
}

void* XMALLOC_pNewZero_(std::size_t count, std::size_t size)
{
    if (bXMallocFails())
        return nullptr;
    return calloc(count, size);
}

void XMALLOC_Del_(void* p)
{
    if (p != nullptr)
        free(p);
}

void* XMALLOC_pResize_(void* p, std::size_t size)
{
    if (p == nullptr)
        return XMALLOC_pNew_(size);
    if (bXMallocFails())
        return nullptr;
    return realloc(p, size);
}

void Alloc_DumpConsommationTotale(IDumper*, const wchar_t*, int)
{
}

int Alloc_bDump(FILE*, int)
{
    return 0;
}

int Alloc_bMarque()
{
    return 0;
}

int Alloc_nTailleTotale()
{
    return 0;
}
