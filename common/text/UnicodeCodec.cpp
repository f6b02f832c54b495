#include "common/text/UnicodeCodec.h"

#include "common/text/CodePage.h"
#include "common/text/TextBasics.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <vector>

namespace {

const unsigned kReplacement = '?';

// UTF-16 units in byte buffers, read and written with unaligned access.
std::uint16_t LoadU16(const unsigned char* p)
{
    std::uint16_t n;
    std::memcpy(&n, p, sizeof(n));
    return n;
}

void StoreU16(unsigned char* p, std::uint16_t n)
{
    std::memcpy(p, &n, sizeof(n));
}

inline bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Bytes of the UTF-8 form of v; values out of Unicode become one '?'.
inline int EncodedLength(unsigned v)
{
    if (v < 0x80)
        return 1;
    if (v < 0x800)
        return 2;
    if (v < 0x10000)
        return 3;
    if (v < 0x110000)
        return 4;
    return 1;
}

// Writes the UTF-8 form of v (EncodedLength(v) bytes) at out.
inline int Encode(unsigned v, char* out)
{
    unsigned char* o = reinterpret_cast<unsigned char*>(out);
    if (v < 0x80) {
        o[0] = static_cast<unsigned char>(v);
        return 1;
    }
    if (v < 0x800) {
        o[0] = static_cast<unsigned char>(0xC0 | (v >> 6));
        o[1] = static_cast<unsigned char>(0x80 | (v & 0x3F));
        return 2;
    }
    if (v < 0x10000) {
        o[0] = static_cast<unsigned char>(0xE0 | (v >> 12));
        o[1] = static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F));
        o[2] = static_cast<unsigned char>(0x80 | (v & 0x3F));
        return 3;
    }
    if (v < 0x110000) {
        o[0] = static_cast<unsigned char>(0xF0 | (v >> 18));
        o[1] = static_cast<unsigned char>(0x80 | ((v >> 12) & 0x3F));
        o[2] = static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F));
        o[3] = static_cast<unsigned char>(0x80 | (v & 0x3F));
        return 4;
    }
    o[0] = static_cast<unsigned char>(kReplacement);
    return 1;
}

template <class P>
P Walk(P p)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
    int len = TabUTF8len[b[0] >> 2];
    if (len == 1)
        return p + 1;
    if (len == 0) {
        // A stray continuation byte swallows the continuation bytes after it,
        // as if it were the lead of the longest form.
        int i = 1;
        while (i < 6 && IsContinuation(b[i]))
            ++i;
        return p + i;
    }
    for (int i = 1; i < len; ++i) {
        if (!IsContinuation(b[i]))
            return p + i;
    }
    return p + len;
}

typedef uint32_t __attribute__((__may_alias__)) AliasedWord;

// Counts characters over whole aligned words while *left holds 4 bytes and no
// byte of the word is 0; returns where it stopped. An aligned word never
// crosses a page, so the bytes after a terminator inside the last word read
// cannot fault: those reads are deliberate, hence no address checking here.
__attribute__((no_sanitize_address, noinline)) const unsigned char*
CountWords(const unsigned char* p, std::size_t* left, int* chars)
{
    while (*left >= 4) {
        uint32_t w = *reinterpret_cast<const AliasedWord*>(p);
        if ((w - 0x01010101u) & ~w & 0x80808080u)
            break;
        uint32_t cont = ((w & 0x80808080u) >> 7) & (~w >> 6);
        *chars += 4 - static_cast<int>((cont * 0x01010101u) >> 24);
        p += 4;
        *left -= 4;
    }
    return p;
}

int CountUTF8(const char* s, std::size_t left)
{
    if (!s)
        return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    int chars = 0;
    while (left > 0 && (reinterpret_cast<uintptr_t>(p) & 3) != 0) {
        if (*p == 0)
            return chars;
        chars += !IsContinuation(*p);
        ++p;
        --left;
    }
    p = CountWords(p, &left, &chars);
    while (left > 0 && *p != 0) {
        chars += !IsContinuation(*p);
        ++p;
        --left;
    }
    return chars;
}

// Bytes of a UTF-8 source: -1 means the text and its terminator.
inline int SourceBytes(const char* s, int len)
{
    if (len == -1)
        return static_cast<int>(std::strlen(s)) + 1;
    return len < 0 ? 0 : len;
}

template <class S>
int UnitLength(const S* s)
{
    int n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

// The unit-by-unit copies share their length rules.
template <class S, class D, class F>
int CopyUnits(const S* src, int len, D* dst, int size, F convert)
{
    if (!src)
        return 0;
    if (len == -1)
        len = UnitLength(src) + 1;
    if (len < 0 || size < 0)
        return 0;
    if (size == 0 || !dst)
        return len;
    int n = len < size ? len : size;
    for (int i = 0; i < n; ++i)
        dst[i] = convert(src[i]);
    return n;
}

// Copies src up to its terminator, unit by unit through convert, into dst of
// size units, which always ends with a terminator.
template <class S, class D, class F>
void CopyTerminated(D* dst, int size, const S* src, F convert)
{
    if (!dst || size < 1)
        return;
    int i = 0;
    if (src) {
        for (; i < size - 1 && src[i] != 0; ++i)
            dst[i] = convert(src[i]);
    }
    dst[i] = 0;
}

// Temporary of n elements: on the stack up to 1024 bytes, on the heap above.
template <class T>
class CRunBuffer {
public:
    explicit CRunBuffer(std::size_t n)
    {
        if (n * sizeof(T) <= sizeof(m_aStack)) {
            m_p = m_aStack;
        } else {
            m_heap.resize(n);
            m_p = m_heap.data();
        }
    }
    T* Get() { return m_p; }

private:
    T m_aStack[1024 / sizeof(T)];
    std::vector<T> m_heap;
    T* m_p;
};

// Pages whose characters may hold bytes below 0x80 after their first byte:
// splitting their text at such bytes would cut characters in two.
bool bSplitsAtASCII(unsigned codePage)
{
    switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
    case 50220:
        return false;
    default:
        return true;
    }
}

void ZeroFill(char* dst, int from, int size)
{
    if (from < size)
        std::memset(dst + from, 0, static_cast<std::size_t>(size - from));
}

// The run scheme shared by both directions: bytes below 0x80 are copied,
// every run of bytes at or above 0x80 goes through wide text. runToOut
// converts one run into the output and answers its byte count (0: failure).
template <class F>
int ConvertByRuns(unsigned codePage, const char* src, int srcLen, char* dst, int dstSize, F runToOut)
{
    if (!src || !dst || srcLen == 0 || dstSize <= 0) {
        if (dst && dstSize > 0)
            ZeroFill(dst, 0, dstSize);
        return 0;
    }
    srcLen = SourceBytes(src, srcLen);
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    bool bSplit = bSplitsAtASCII(codePage);
    int in = 0;
    int out = 0;
    while (in < srcLen && out < dstSize) {
        if (bSplit && s[in] < 0x80) {
            dst[out++] = static_cast<char>(s[in++]);
            continue;
        }
        int end = in + 1;
        if (bSplit) {
            while (end < srcLen && s[end] >= 0x80)
                ++end;
        } else {
            end = srcLen;
        }
        int runLen = end - in;
        CRunBuffer<wchar_t> wide(static_cast<std::size_t>(runLen) + 1);
        int n = runToOut(src + in, runLen, wide.Get(), runLen + 1, dst + out, dstSize - out);
        if (n <= 0) {
            ZeroFill(dst, 0, dstSize);
            return 0;
        }
        out += n;
        in = end;
    }
    ZeroFill(dst, out, dstSize);
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// UTF-8 reading

const unsigned char TabUTF8len[64] = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x00-0x3F
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x40-0x7F
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 0x80-0xBF
    2, 2, 2, 2, 2, 2, 2, 2,                         // 0xC0-0xDF
    3, 3, 3, 3,                                     // 0xE0-0xEF
    4, 4,                                           // 0xF0-0xF7
    5,                                              // 0xF8-0xFB
    6,                                              // 0xFC-0xFF
};

int STR_nGetNbByteUTF8(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    if (lead < 0xF8)
        return 4;
    if (lead < 0xFC)
        return 5;
    if (lead < 0xFE)
        return 6;
    return 1;
}

const char* UTF8next(const char* p)
{
    return Walk(p);
}

char* UTF8next(char* p)
{
    return Walk(p);
}

int UTF8Len(const char* p)
{
    return static_cast<int>(UTF8next(p) - p);
}

int UTF8ToWideLen(const char* s)
{
    int n = 0;
    if (s) {
        while (*s != 0) {
            s = UTF8next(s);
            ++n;
        }
    }
    return n;
}

int StrLenUTF8(const char* s)
{
    return CountUTF8(s, SIZE_MAX);
}

int StrNLenUTF8(const char* s, int n)
{
    return n < 1 ? 0 : CountUTF8(s, static_cast<std::size_t>(n));
}

// Unbounded: only a terminator inside a sequence stops it.
unsigned UTF8_GetNext(const char** pp)
{
    unsigned left = UINT_MAX;
    return UTF8_GetNext(pp, &left);
}

unsigned UTF8_GetNext(const char** pp, unsigned* left)
{
    if (*left == 0)
        return kReplacement;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(*pp);
    unsigned v = p[0];
    unsigned len = TabUTF8len[v >> 2];
    if (len <= 1) {
        *pp += 1;
        *left -= 1;
        return len == 1 ? v : kReplacement;
    }
    v &= 0x7Fu >> len;
    for (unsigned i = 1; i < len; ++i) {
        if (i >= *left) {
            // Truncated by the bound: nothing more can be decoded.
            *left = 0;
            return kReplacement;
        }
        // A terminator inside the sequence ends the text: stop on it.
        if (p[i] == 0) {
            *pp += i;
            *left -= i;
            return kReplacement;
        }
        v = (v << 6) | (p[i] & 0x3Fu);
    }
    *pp += len;
    *left -= len;
    return v;
}

int UTF8FirstChar(const char* s, int& len)
{
    if (!s || len < 1) {
        len = 0;
        return -1;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    unsigned v = p[0];
    if (v < 0x80) {
        len = 1;
        return static_cast<int>(v);
    }
    int n;
    if (IsContinuation(p[0])) {
        n = 0;
    } else if ((v & 0xE0) != 0xE0) {
        n = 2;
        v &= 0x1F;
    } else if ((v & 0xF0) == 0xE0) {
        n = 3;
        v &= 0x0F;
    } else if ((v & 0xF8) == 0xF0) {
        n = 4;
        v &= 0x07;
    } else {
        n = 0;
    }
    if (n == 0 || len < n) {
        len = 0;
        return -1;
    }
    for (int i = 1; i < n; ++i) {
        if (!IsContinuation(p[i])) {
            len = 0;
            return -1;
        }
        v = (v << 6) | (p[i] & 0x3Fu);
    }
    len = n;
    return static_cast<int>(v);
}

bool UTF8Valide(const char* s, int len)
{
    if (!s)
        return len == 0;
    if (len < 1 && len != -1)
        return true;
    std::size_t left = len == -1 ? SIZE_MAX : static_cast<std::size_t>(len);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    while (left > 0) {
        unsigned char b = *p;
        if (b == 0)
            return true;
        std::size_t n;
        if (b < 0x80)
            n = 1;
        else if ((b & 0xE0) == 0xC0)
            n = 2;
        else if ((b & 0xF0) == 0xE0)
            n = 3;
        else if ((b & 0xF8) == 0xF0)
            n = 4;
        else
            return false;
        if (n > left)
            return false;
        for (std::size_t i = 1; i < n; ++i) {
            if (!IsContinuation(p[i]))
                return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// ---------------------------------------------------------------------------
// UTF-8 writing and lengths

int UTF8ByteLen(const wchar_t* wide)
{
    int n = 0;
    if (wide) {
        for (; *wide != 0; ++wide)
            n += EncodedLength(static_cast<unsigned>(*wide));
    }
    return n;
}

int UTF8ByteLenTotal(const wchar_t* wide, int n)
{
    if (!wide || n < 1)
        return 0;
    int bytes = 0;
    for (int i = 0; i < n; ++i) {
        if (wide[i] == 0)
            return bytes + 1;
        bytes += EncodedLength(static_cast<unsigned>(wide[i]));
    }
    return bytes;
}

int nGetUTF8Len(const wchar_t* wide)
{
    if (!wide)
        return 0;
    return WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
}

void WideToUTF8(char* dst, const wchar_t* wide)
{
    if (!wide || !dst)
        return;
    for (; *wide != 0; ++wide)
        dst += Encode(static_cast<unsigned>(*wide), dst);
    *dst = 0;
}

void WideToUTF8(char* dst, int size, const wchar_t* wide)
{
    if (!wide || !dst || size < 1)
        return;
    int out = 0;
    for (; *wide != 0; ++wide) {
        unsigned v = static_cast<unsigned>(*wide);
        if (out + EncodedLength(v) + 1 > size)
            break;
        out += Encode(v, dst + out);
    }
    dst[out] = 0;
}

int nWideToUTF8(char* dst, int size, const wchar_t* wide, int len)
{
    if (!wide || !dst)
        return 0;
    if (len == -1)
        len = static_cast<int>(std::wcslen(wide)) + 1;
    int out = 0;
    for (int i = 0; i < len; ++i) {
        unsigned v = static_cast<unsigned>(wide[i]);
        if (EncodedLength(v) > size - out)
            break;
        out += Encode(v, dst + out);
    }
    return out;
}

void UTF8ToWide(wchar_t* dst, int size, const char* utf8)
{
    if (!dst || size < 1)
        return;
    int out = 0;
    if (utf8) {
        while (*utf8 != 0 && size - out >= 2)
            dst[out++] = static_cast<wchar_t>(UTF8_GetNext(&utf8));
    }
    dst[out] = 0;
}

int nUTF8ToWide(wchar_t* dst, int size, const char* utf8, int len)
{
    if (!dst || !utf8 || size < 1)
        return 0;
    unsigned left = static_cast<unsigned>(SourceBytes(utf8, len));
    int out = 0;
    while (left > 0 && out < size)
        dst[out++] = static_cast<wchar_t>(UTF8_GetNext(&utf8, &left));
    return out;
}

int UTF8ToUTF16Len(const char* utf8, int len)
{
    if (!utf8)
        return 0;
    unsigned left = static_cast<unsigned>(SourceBytes(utf8, len));
    int units = 0;
    while (left > 0) {
        unsigned v = UTF8_GetNext(&utf8, &left);
        units += (v > 0xFFFF && v < 0x110000) ? 2 : 1;
    }
    return units;
}

int UTF8ToUTF16(unsigned short* dst, int size, const char* utf8, int len)
{
    if (!dst || !utf8 || size < 1)
        return 0;
    unsigned left = static_cast<unsigned>(SourceBytes(utf8, len));
    int out = 0;
    while (left > 0 && out < size) {
        unsigned v = UTF8_GetNext(&utf8, &left);
        if (v <= 0xFFFF) {
            dst[out++] = static_cast<unsigned short>(v);
        } else if (v < 0x110000) {
            if (size - out < 3)
                break;
            dst[out++] = static_cast<unsigned short>(0xD800 + ((v - 0x10000) >> 10));
            dst[out++] = static_cast<unsigned short>(0xDC00 + (v & 0x3FF));
        } else {
            // Five- and six-byte forms beyond Unicode have no UTF-16 form.
            dst[out++] = static_cast<unsigned short>(kReplacement);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// UTF-16 and UTF-32

int utf16len(const unsigned short* s)
{
    return s ? UnitLength(s) : 0;
}

int utf16nlen(const unsigned short* s, int n)
{
    int i = 0;
    if (s) {
        while (i < n && s[i] != 0)
            ++i;
    }
    return i;
}

unsigned short* utf16ncpy(unsigned short* dst, const unsigned short* src, int n)
{
    for (int i = 0; i < n && src[i] != 0; ++i)
        dst[i] = src[i];
    return dst;
}

int utf16nicmp(const unsigned short* a, const unsigned short* b, int n)
{
    for (int i = 0; i < n; ++i) {
        int ca = static_cast<int>(std::towlower(a[i]));
        int cb = static_cast<int>(std::towlower(b[i]));
        if (ca != cb)
            return ca - cb;
        if (a[i] == 0)
            return 0;
    }
    return 0;
}

const unsigned short* utf16niutf16(const unsigned short* hay, const unsigned short* needle, int n)
{
    if (!needle)
        return nullptr;
    int m = utf16len(needle);
    if (m == 0)
        return hay;
    if (!hay || n < 1 || hay[0] == 0 || m > n)
        return nullptr;
    // utf16nicmp stops at the first difference, so a hay that ends inside the
    // needle's span is never read past its terminator.
    for (int i = 0; i + m <= n && hay[i] != 0; ++i) {
        if (utf16nicmp(hay + i, needle, m) == 0)
            return hay + i;
    }
    return nullptr;
}

int UTF16ToWideChar(const unsigned short* src, int len, wchar_t* dst, int size)
{
    return CopyUnits(src, len, dst, size, [](unsigned short u) { return static_cast<wchar_t>(u); });
}

int WideCharToUTF16(const wchar_t* src, int len, unsigned short* dst, int size)
{
    return CopyUnits(src, len, dst, size, [](wchar_t c) {
        return static_cast<unsigned short>(static_cast<unsigned>(c) & 0xFFFF);
    });
}

int UTF32ToWideChar(const wchar_t* src, int len, wchar_t* dst, int size)
{
    return CopyUnits(src, len, dst, size, [](wchar_t c) { return c; });
}

int WideCharToUTF32(const wchar_t* src, int len, wchar_t* dst, int size)
{
    return CopyUnits(src, len, dst, size, [](wchar_t c) { return c; });
}

// ---------------------------------------------------------------------------
// Code page bridges

int MultiByteToUTF8(unsigned codePage, const char* src, int srcLen, char* dst, int dstSize,
                    unsigned flags)
{
    if (codePage == CP_UTF8) {
        // Copied as a C string, bounded by the source length and the output.
        if (!dst || dstSize < 1)
            return 0;
        int n = 0;
        if (src) {
            int limit = dstSize - 1;
            if (srcLen >= 0 && srcLen < limit)
                limit = srcLen;
            while (n < limit && src[n] != 0) {
                dst[n] = src[n];
                ++n;
            }
        }
        ZeroFill(dst, n, dstSize);
        return n;
    }
    return ConvertByRuns(codePage, src, srcLen, dst, dstSize,
                         [&](const char* run, int runLen, wchar_t* wide, int wideSize, char* out,
                             int room) {
                             int n = MultiByteToWideChar(codePage, 0, run, runLen, wide, wideSize);
                             if (n <= 0)
                                 return 0;
                             return WideCharToMultiByte(CP_UTF8, flags, wide, n, out, room, nullptr,
                                                        nullptr);
                         });
}

int MultiByteToUTF8_CurrentCharset(const char* src, int srcLen, char* dst, int dstSize,
                                   unsigned flags)
{
    return MultiByteToUTF8(STR_nGetCurrentCodePage(), src, srcLen, dst, dstSize, flags);
}

int UTF8ToMultiByte(unsigned codePage, const char* src, int srcLen, char* dst, int dstSize,
                    unsigned flags, const char* defaultChar, int* usedDefault)
{
    if (usedDefault)
        *usedDefault = 0;
    if (codePage == CP_UTF8) {
        if (!dst || dstSize < 1)
            return 0;
        int n = src ? SourceBytes(src, srcLen) : 0;
        if (n >= dstSize) {
            std::memcpy(dst, src, static_cast<std::size_t>(dstSize - 1));
            dst[dstSize - 1] = 0;
            return dstSize - 1;
        }
        if (n > 0)
            std::memcpy(dst, src, static_cast<std::size_t>(n));
        ZeroFill(dst, n, dstSize);
        return n;
    }
    return ConvertByRuns(codePage, src, srcLen, dst, dstSize,
                         [&](const char* run, int runLen, wchar_t* wide, int wideSize, char* out,
                             int room) {
                             int n = MultiByteToWideChar(CP_UTF8, 0, run, runLen, wide, wideSize);
                             if (n <= 0)
                                 return 0;
                             // Each run clears the flag: gather it over all runs.
                             int bUsed = 0;
                             int bytes = WideCharToMultiByte(codePage, flags, wide, n, out, room,
                                                             defaultChar, usedDefault ? &bUsed : nullptr);
                             if (usedDefault && bUsed)
                                 *usedDefault = 1;
                             return bytes;
                         });
}

int UTF8ToMultiByte_CurrentCharset(const char* src, int srcLen, char* dst, int dstSize,
                                   unsigned flags)
{
    return UTF8ToMultiByte(STR_nGetCurrentCodePage(), src, srcLen, dst, dstSize, flags, nullptr,
                           nullptr);
}

int UTF16ToMultiByte(unsigned codePage, unsigned flags, const unsigned short* src, int srcLen,
                     char* dst, int dstSize, const char* defaultChar, int* usedDefault)
{
    int n = UTF16ToWideChar(src, srcLen, nullptr, 0);
    if (n <= 0)
        return 0;
    CRunBuffer<wchar_t> wide(static_cast<std::size_t>(n));
    UTF16ToWideChar(src, n, wide.Get(), n);
    return WideCharToMultiByte(codePage, flags, wide.Get(), n, dst, dstSize, defaultChar,
                               usedDefault);
}

int MultiByteToUTF16(unsigned codePage, unsigned flags, const char* src, int srcLen,
                     unsigned short* dst, int dstUnits)
{
    if (!src)
        return 0;
    int n = MultiByteToWideChar(codePage, flags, src, srcLen, nullptr, 0);
    if (n <= 0)
        return 0;
    CRunBuffer<wchar_t> wide(static_cast<std::size_t>(n));
    int m = MultiByteToWideChar(codePage, flags, src, srcLen, wide.Get(), n);
    if (m <= 0)
        return 0;
    return WideCharToUTF16(wide.Get(), m, dst, dstUnits);
}

int MultiByteToUTF16_CurrentCharset(const char* src, int srcLen, unsigned short* dst,
                                    int dstUnits, unsigned flags)
{
    return MultiByteToUTF16(STR_nGetCurrentCodePage(), flags, src, srcLen, dst, dstUnits);
}

// ---------------------------------------------------------------------------
// 8-bit copies without code page

void WideCharToANSI(char* dst, int size, const wchar_t* wide)
{
    CopyTerminated(dst, size, wide, [](wchar_t c) { return static_cast<char>(static_cast<unsigned>(c) & 0xFF); });
}

void ANSIToWideChar(wchar_t* dst, int size, const char* text)
{
    CopyTerminated(dst, size, text, [](char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); });
}

// ---------------------------------------------------------------------------
// Unaligned wide copies: 32-bit units moved through memcpy when a pointer is
// not 4-byte aligned.

namespace {

inline bool bAligned(const void* p)
{
    return (reinterpret_cast<uintptr_t>(p) & 3) == 0;
}

inline uint32_t LoadUnit(const unsigned char* p)
{
    uint32_t u;
    std::memcpy(&u, p, sizeof u);
    return u;
}

inline void StoreUnit(unsigned char* p, uint32_t u)
{
    std::memcpy(p, &u, sizeof u);
}

} // namespace

std::size_t __UNALIGNED__UNICODE__STRLEN__(const wchar_t* p)
{
    if (!p)
        return 0;
    if (bAligned(p))
        return std::wcslen(p);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
    std::size_t n = 0;
    while (LoadUnit(b + 4 * n) != 0)
        ++n;
    return n;
}

wchar_t* __UNALIGNED__UNICODE__STRCPY__(wchar_t* dst, const wchar_t* src)
{
    if (bAligned(dst) && bAligned(src))
        return std::wcscpy(dst, src);
    unsigned char* d = reinterpret_cast<unsigned char*>(dst);
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    for (std::size_t i = 0;; ++i) {
        uint32_t u = LoadUnit(s + 4 * i);
        StoreUnit(d + 4 * i, u);
        if (u == 0)
            break;
    }
    return dst;
}

wchar_t* __UNALIGNED__UNICODE__STRNCPY__(wchar_t* dst, const wchar_t* src, std::size_t n)
{
    if (bAligned(dst) && bAligned(src))
        return std::wcsncpy(dst, src, n);
    unsigned char* d = reinterpret_cast<unsigned char*>(dst);
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    std::size_t i = 0;
    for (; i < n; ++i) {
        uint32_t u = LoadUnit(s + 4 * i);
        if (u == 0)
            break;
        StoreUnit(d + 4 * i, u);
    }
    if (i < n)
        std::memset(d + 4 * i, 0, 4 * (n - i));
    return dst;
}

// ---------------------------------------------------------------------------
// UTF-16 in byte buffers

unsigned int UTF16LELength(const unsigned char* p, unsigned int nUnits)
{
    if (p == nullptr)
        return 0;
    unsigned int i = 0;
    while (i < nUnits && LoadU16(p + 2 * i) != 0)
        i++;
    return i;
}

unsigned int UTF16LEToWide(const unsigned char* p, unsigned int nUnits, wchar_t* pDest)
{
    unsigned int nOut = 0;
    for (unsigned int i = 0; i < nUnits; i++) {
        const std::uint32_t u = LoadU16(p + 2 * i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < nUnits) {
            const std::uint32_t v = LoadU16(p + 2 * (i + 1));
            if (v >= 0xDC00 && v <= 0xDFFF) {
                pDest[nOut++] = static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                i++;
                continue;
            }
        }
        // A lone surrogate is kept as it is.
        pDest[nOut++] = static_cast<wchar_t>(u);
    }
    return nOut;
}

unsigned int WideToUTF16LE(const wchar_t* p, unsigned int nChars, unsigned char* pDest, unsigned int nMaxUnits)
{
    unsigned int nOut = 0;
    for (unsigned int i = 0; i < nChars; i++) {
        const std::uint32_t c = static_cast<std::uint32_t>(p[i]);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            if (nOut + 2 > nMaxUnits)
                break;
            StoreU16(pDest + 2 * nOut, static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
            StoreU16(pDest + 2 * (nOut + 1), static_cast<std::uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            nOut += 2;
            continue;
        }
        if (nOut + 1 > nMaxUnits)
            break;
        // Beyond Unicode there is nothing to encode.
        StoreU16(pDest + 2 * nOut, c > 0x10FFFF ? static_cast<std::uint16_t>('?') : static_cast<std::uint16_t>(c));
        nOut++;
    }
    return nOut;
}
