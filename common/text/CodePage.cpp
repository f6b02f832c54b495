#include "common/text/CodePage.h"

#include "common/platform/InformationDLL.h"
#include "common/text/TextBasics.h"
#include "common/text/TextCompare.h"
#include "common/text/SysUtils.h"

#include <iconv.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <wchar.h>

namespace {

const unsigned kFlagInvalidChars = 0x8;
const char kIConv1252[] = "CP1252";

// Wide side of the converters. glibc knows no "UCS4LE"; "UTF-32LE" is what
// every entry of the old name table ends up as.
const char* const TabToCode[2] = {"UTF-32LE//IGNORE", "UTF-32LE"};
const char kWideSide[] = "UTF-32LE";

// The Windows-1252 byte of c, or -1. The five bytes the page leaves
// undefined stand for the characters of the same value, as the Windows
// converter does, so that one of them never blanks a whole text.
int ToCp1252(wchar_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    unsigned char b = 0;
    if (STR_bIsCp1252(c, b))
        return b;
    if (c >= 0x80 && c < 0xA0 && STR_FromCP1252(static_cast<unsigned char>(c)) == c)
        return static_cast<int>(c);
    return -1;
}

// Pages served by the table rather than by iconv: 0, 1252 and unknown pages.
bool bServedAs1252(unsigned codePage)
{
    return CodePageToIConv(codePage) == kIConv1252;
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
const size_t kIConvError = static_cast<size_t>(-1);

// Opened converters kept for reuse: opening one is slow next to converting a
// field. A converter is lent to one caller at a time.
class CIConvPool {
public:
    CIConvPool() { m_entries.reserve(kMaxEntries); }

    iconv_t Open(const char* to, const char* from)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (Entry& e : m_entries) {
                if (!e.bBusy && std::strcmp(e.pszTo, to) == 0 && std::strcmp(e.pszFrom, from) == 0) {
                    e.bBusy = true;
                    return e.cd;
                }
            }
        }
        iconv_t cd = iconv_open(to, from);
        if (cd == kNoConverter)
            return kNoConverter;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_entries.size() < kMaxEntries)
            m_entries.push_back({to, from, cd, true});
        return cd;
    }

    void Close(iconv_t cd)
    {
        // Back to the initial shift state for the next caller.
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (Entry& e : m_entries) {
                if (e.cd == cd) {
                    e.bBusy = false;
                    return;
                }
            }
        }
        iconv_close(cd);
    }

private:
    struct Entry {
        const char* pszTo;  // static names
        const char* pszFrom;
        iconv_t cd;
        bool bBusy;
    };
    static const size_t kMaxEntries = 32;
    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

// Never destroyed: conversions may still run from other static destructors.
CIConvPool& Pool()
{
    static CIConvPool* s_pool = new CIConvPool;
    return *s_pool;
}

class CConverter {
public:
    CConverter(const char* to, const char* from) : m_cd(Pool().Open(to, from)) {}
    ~CConverter()
    {
        if (m_cd != kNoConverter)
            Pool().Close(m_cd);
    }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;

    bool bOk() const { return m_cd != kNoConverter; }
    iconv_t cd() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Output of a conversion: the caller's buffer, or a scratch area whose
// content is only counted (size query).
class COutput {
public:
    COutput(char* dst, size_t room)
        : m_bCount(dst == nullptr), m_pOut(m_bCount ? m_scratch : dst),
          m_nLeft(m_bCount ? sizeof(m_scratch) : room)
    {
    }

    bool bCounting() const { return m_bCount; }
    char** ppOut() { return &m_pOut; }
    size_t* pLeft() { return &m_nLeft; }

    // Counts what the scratch area holds and empties it; answers the bytes
    // produced since the last call.
    size_t Collect()
    {
        const size_t n = static_cast<size_t>(m_pOut - m_pMark);
        m_nTotal += n;
        if (m_bCount) {
            m_pOut = m_scratch;
            m_nLeft = sizeof(m_scratch);
        }
        m_pMark = m_pOut;
        return n;
    }

    bool bPut(const char* p, size_t n)
    {
        if (m_bCount) {
            m_nTotal += n;
            return true;
        }
        if (m_nLeft < n)
            return false;
        std::memcpy(m_pOut, p, n);
        m_pOut += n;
        m_nLeft -= n;
        m_pMark = m_pOut;
        m_nTotal += n;
        return true;
    }

    uint64_t nTotal() const { return m_nTotal; }

private:
    char m_scratch[1024];
    bool m_bCount;
    char* m_pOut;
    char* m_pMark = m_pOut;
    size_t m_nLeft;
    uint64_t m_nTotal = 0;
};

// Ends a conversion: stateful pages hold a character or a shift state back
// until told that the input is over.
bool bFlush(iconv_t cd, COutput& out)
{
    const bool bOk = iconv(cd, nullptr, nullptr, out.ppOut(), out.pLeft()) != kIConvError;
    out.Collect();
    return bOk;
}

// 8-bit text to UTF-32 through cd. False on failure.
bool bRunToWide(iconv_t cd, const char* src, size_t n, COutput& out, bool bIgnore)
{
    char* in = const_cast<char*>(src);
    size_t inLeft = n;
    for (;;) {
        const char* const before = in;
        const size_t r = iconv(cd, &in, &inLeft, out.ppOut(), out.pLeft());
        const int err = errno;
        const size_t produced = out.Collect();
        if (r != kIConvError)
            break;
        const bool bProgress = in != before || produced != 0;
        if (err == E2BIG && out.bCounting() && bProgress)
            continue;
        if (err == EILSEQ && bIgnore) {
            // "//IGNORE" skips invalid input but still reports it.
            if (inLeft == 0)
                break;
            if (!bProgress) {
                ++in;
                --inLeft;
            }
            continue;
        }
        return false;
    }
    return bFlush(cd, out);
}

// UTF-32 to 8-bit text through cd; a character the page cannot hold becomes
// the replacement. False on failure.
bool bRunFromWide(iconv_t cd, const wchar_t* src, size_t nChars, COutput& out, const char* repl,
                  size_t replLen, int* usedDefault)
{
    char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(src));
    size_t inLeft = nChars * sizeof(wchar_t);
    for (;;) {
        const char* const before = in;
        const size_t r = iconv(cd, &in, &inLeft, out.ppOut(), out.pLeft());
        const int err = errno;
        const size_t produced = out.Collect();
        if (r != kIConvError)
            break;
        if (err == E2BIG && out.bCounting() && (in != before || produced != 0))
            continue;
        if (err != EILSEQ || inLeft < sizeof(wchar_t))
            return false;
        if (usedDefault)
            *usedDefault = 1;
        // The replacement is plain text: leave any shift state first.
        if (!bFlush(cd, out) || !out.bPut(repl, replLen))
            return false;
        in += sizeof(wchar_t);
        inLeft -= sizeof(wchar_t);
    }
    return bFlush(cd, out);
}

int nResult(uint64_t n)
{
    return n > static_cast<uint64_t>(INT_MAX) ? 0 : static_cast<int>(n);
}

size_t nRoom(int n, size_t unit)
{
    const size_t count = static_cast<size_t>(n);
    return count > SIZE_MAX / unit ? SIZE_MAX / unit * unit : count * unit;
}

// UTF-8 is decoded and encoded here rather than by iconv: it is the text of
// every Unicode connection, and iconv's lenient mode is slow on it. Validity
// follows the Unicode rules (no overlong forms, no surrogates, nothing above
// U+10FFFF), as iconv's.
bool bIsUtf8(unsigned codePage)
{
    return codePage == CP_UTF8;
}

// Length of the well-formed sequence at p (at most n bytes): 0 when invalid,
// -1 when the input ends inside a sequence that could still be valid.
int nUtf8Sequence(const unsigned char* p, size_t n, wchar_t& c)
{
    const unsigned b = p[0];
    if (b < 0x80) {
        c = static_cast<wchar_t>(b);
        return 1;
    }
    int len;
    unsigned lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    unsigned value = b & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        if (static_cast<size_t>(i) >= n)
            return -1;
        const unsigned t = p[i];
        if (t < (i == 1 ? lo : 0x80) || t > (i == 1 ? hi : 0xBF))
            return 0;
        value = value << 6 | (t & 0x3F);
    }
    c = static_cast<wchar_t>(value);
    return len;
}

// UTF-8 to wide characters: invalid bytes fail when bStrict, else are
// skipped one at a time; input ending inside a sequence fails.
int nUtf8ToWide(const char* src, size_t n, wchar_t* dst, int dstChars, bool bStrict)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(src);
    uint64_t nOut = 0;
    size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            if (dst != nullptr) {
                if (nOut >= static_cast<uint64_t>(dstChars))
                    return 0;
                dst[nOut] = static_cast<wchar_t>(p[i]);
            }
            ++nOut;
            ++i;
            continue;
        }
        wchar_t c = 0;
        const int len = nUtf8Sequence(p + i, n - i, c);
        if (len < 0 || (len == 0 && bStrict))
            return 0;
        if (len == 0) {
            ++i;
            continue;
        }
        if (dst != nullptr) {
            if (nOut >= static_cast<uint64_t>(dstChars))
                return 0;
            dst[nOut] = c;
        }
        ++nOut;
        i += static_cast<size_t>(len);
    }
    return nResult(nOut);
}

// One character in UTF-8 into buf (4 bytes); 0 when it is no character.
size_t nWideToUtf8(wchar_t wc, char* buf)
{
    const uint32_t c = static_cast<uint32_t>(wc);
    if (c < 0x80) {
        buf[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        buf[0] = static_cast<char>(0xC0 | c >> 6);
        buf[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return 0;
    if (c < 0x10000) {
        buf[0] = static_cast<char>(0xE0 | c >> 12);
        buf[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        buf[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    buf[0] = static_cast<char>(0xF0 | c >> 18);
    buf[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    buf[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    buf[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

}  // namespace

const char* CodePageToIConv(unsigned codePage)
{
    switch (codePage) {
    case 1: return "CP437";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 1361: return "CP1361";
    case 50220: return "ISO-2022-JP";
    case CP_UTF8: return "UTF-8";
    default: return kIConv1252;
    }
}

int MultiByteToWideChar(unsigned codePage, unsigned flags, const char* src, int srcLen, wchar_t* dst,
                        int dstChars)
{
    if (src == nullptr || srcLen < -1 || dstChars < 0)
        return 0;
    const size_t n = srcLen == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLen);
    if (n == 0)
        return 0;
    const bool bQuery = dst == nullptr || dstChars == 0;

    if (bServedAs1252(codePage)) {
        if (bQuery)
            return nResult(n);
        if (n > static_cast<size_t>(dstChars))
            return 0;
        static const struct CTable {
            wchar_t a[256];
            CTable()
            {
                for (int b = 0; b < 256; ++b)
                    a[b] = STR_FromCP1252(static_cast<unsigned char>(b));
            }
        } s_table;
        for (size_t i = 0; i < n; ++i)
            dst[i] = s_table.a[static_cast<unsigned char>(src[i])];
        return static_cast<int>(n);
    }

    const bool bStrict = (flags & kFlagInvalidChars) != 0;
    if (bIsUtf8(codePage))
        return nUtf8ToWide(src, n, bQuery ? nullptr : dst, dstChars, bStrict);

    CConverter conv(TabToCode[bStrict ? 1 : 0], CodePageToIConv(codePage));
    if (!conv.bOk())
        return 0;
    COutput out(bQuery ? nullptr : reinterpret_cast<char*>(dst), bQuery ? 0 : nRoom(dstChars, sizeof(wchar_t)));
    if (!bRunToWide(conv.cd(), src, n, out, !bStrict))
        return 0;
    return nResult(out.nTotal() / sizeof(wchar_t));
}

int WideCharToMultiByte(unsigned codePage, unsigned flags, const wchar_t* src, int srcChars, char* dst,
                        int dstBytes, const char* defaultChar, int* usedDefault)
{
    if (usedDefault)
        *usedDefault = 0;
    if (src == nullptr || srcChars < -1 || dstBytes < 0)
        return 0;
    const size_t n = srcChars == -1 ? std::wcslen(src) + 1 : static_cast<size_t>(srcChars);
    if (n == 0)
        return 0;
    const char* repl = defaultChar ? defaultChar : "?";
    const size_t replLen = std::strlen(repl);
    const bool bQuery = dst == nullptr || dstBytes == 0;
    COutput out(bQuery ? nullptr : dst, bQuery ? 0 : static_cast<size_t>(dstBytes));

    const bool bUtf8 = bIsUtf8(codePage);
    if (bUtf8 || bServedAs1252(codePage)) {
        // Encoded into a local chunk, handed to the output a chunk at a time.
        char chunk[512];
        size_t used = 0;
        for (size_t i = 0; i < n; ++i) {
            if (used > sizeof(chunk) - 4) {
                if (!out.bPut(chunk, used))
                    return 0;
                used = 0;
            }
            size_t len = 0;
            if (bUtf8) {
                len = nWideToUtf8(src[i], chunk + used);
            } else if (const int b = ToCp1252(src[i]); b >= 0) {
                chunk[used] = static_cast<char>(b);
                len = 1;
            }
            if (len == 0) {
                if (usedDefault)
                    *usedDefault = 1;
                if (!out.bPut(chunk, used) || !out.bPut(repl, replLen))
                    return 0;
                used = 0;
            }
            used += len;
        }
        if (!out.bPut(chunk, used))
            return 0;
        return nResult(out.nTotal());
    }

    CConverter conv(CodePageToIConv(codePage), kWideSide);
    if (!conv.bOk())
        return 0;
    if (!bRunFromWide(conv.cd(), src, n, out, repl, replLen, usedDefault))
        return 0;
    return nResult(out.nTotal());
}

// Through wide text, so that both sides follow the rules above; input that
// is invalid or that the target page cannot hold fails.
int MultiByteToMultiByte(unsigned fromPage, const char* src, int srcLen, unsigned toPage, char* dst,
                         int dstBytes, unsigned flags)
{
    if (src == nullptr || srcLen < -1 || dstBytes < 0)
        return 0;
    const int nWide = MultiByteToWideChar(fromPage, kFlagInvalidChars, src, srcLen, nullptr, 0);
    if (nWide == 0)
        return 0;
    std::vector<wchar_t> wide(static_cast<size_t>(nWide));
    if (MultiByteToWideChar(fromPage, kFlagInvalidChars, src, srcLen, wide.data(), nWide) != nWide)
        return 0;
    int bUsed = 0;
    const int n = WideCharToMultiByte(toPage, 0, wide.data(), nWide, dst, dstBytes, nullptr, &bUsed);
    return bUsed ? 0 : n;
}

unsigned dwGetCodePageFromCharset(int charset)
{
    switch (charset) {
    case 0:
    case 255: return CP_1252;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case CP_UTF8: return CP_UTF8;
    default: return 0;
    }
}

int nGetCharsetFromCodePage(unsigned codePage)
{
    switch (codePage) {
    case 0: return 127;
    case CP_1252: return 0;
    case 932: return 128;
    case 949: return 129;
    case 1361: return 130;
    case 936: return 134;
    case 950: return 136;
    case 1253: return 161;
    case 1254: return 162;
    case 1258: return 163;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 1251: return 204;
    case 874: return 222;
    case 1250: return 238;
    case CP_UTF8: return CP_UTF8;
    default: return -1;
    }
}

unsigned short wGetLanguageID(int charset)
{
    switch (charset) {
    case 128: return 17;
    case 129:
    case 130: return 18;
    case 134: return 2052;
    case 136: return 1028;
    case 161: return 8;
    case 162: return 31;
    case 163: return 42;
    case 177: return 13;
    case 178: return 1;
    case 186: return 37;
    case 204: return 1049;
    case 222: return 30;
    case 238: return 21;
    default: return 0;
    }
}

int nGetCharsetFromLanguage(unsigned languageId)
{
    const unsigned primary = languageId & 0x3FF;
    const unsigned sub = (languageId & 0xFFFF) >> 10;
    switch (primary) {
    case 1: return 178;
    case 2:
    case 25:
    case 34:
    case 35: return 204;
    case 4: return sub == 1 ? 136 : 134;
    case 5:
    case 14:
    case 21:
    case 24:
    case 27:
    case 28:
    case 36:
    case 47: return 238;
    case 8: return 161;
    case 13: return 177;
    case 17: return 128;
    case 18: return 129;
    case 26: return sub == 3 ? 204 : 238;
    case 30: return 222;
    case 31: return 162;
    case 37:
    case 38:
    case 39: return 186;
    case 42: return 163;
    case 43:
    case 55: return CP_UTF8;
    case 67: return sub == 2 ? 204 : 238;
    default: return 0;
    }
}

int GetCharSetFromLanguageID(unsigned languageId)
{
    return nGetCharsetFromLanguage(languageId) & 0xFF;
}

namespace {

// A C-heap copy of a conversion with its terminator in *out, its length in
// *outLen. convert(dst, room) answers the units written, the count needed
// without dst.
template <typename T, typename Convert>
int nCreateConverted(T** out, int* outLen, Convert convert)
{
    if (outLen)
        *outLen = 0;
    if (out == nullptr)
        return 0;
    *out = nullptr;
    const int n = convert(nullptr, 0);
    if (n == 0 || n == INT_MAX || static_cast<size_t>(n) + 1 > SIZE_MAX / sizeof(T))
        return 0;
    T* buf = static_cast<T*>(XMALLOC_pNew_((static_cast<size_t>(n) + 1) * sizeof(T)));
    if (buf == nullptr)
        return 0;
    const int m = convert(buf, n + 1);
    if (m == 0) {
        XMALLOC_Del_(buf);
        return 0;
    }
    buf[m] = 0;
    *out = buf;
    if (outLen)
        *outLen = m;
    return 1;
}

}  // namespace

int __STR_CharToWChar(const char* src, int len, unsigned codePage, wchar_t** out, int* outLen,
                      unsigned flags)
{
    return nCreateConverted(out, outLen, [&](wchar_t* dst, int room) {
        return MultiByteToWideChar(codePage, flags, src, len, dst, room);
    });
}

int __STR_WCharToChar(const wchar_t* src, int len, char** out, int* outLen, unsigned codePage)
{
    return nCreateConverted(out, outLen, [&](char* dst, int room) {
        return WideCharToMultiByte(codePage, 0, src, len, dst, room, nullptr, nullptr);
    });
}

int STR_CharToWChar_AnyCodepage(const char* src, int len, unsigned codePage, wchar_t** out, int* outLen,
                                unsigned flags)
{
    return __STR_CharToWChar(src, len, codePage, out, outLen, codePage == CP_UTF8 ? flags : flags | 1);
}

int STR_CharToWChar_CurrentCharset(wchar_t** out, const char* src, unsigned flags, int len)
{
    if (src == nullptr) {
        if (out)
            *out = nullptr;
        return 1;
    }
    int n = 0;
    return __STR_CharToWChar(src, len, STR_nGetCurrentCodePage(), out, &n, flags);
}

int STR_CharToWChar(wchar_t** out, const char* src)
{
    int n = 0;
    return __STR_CharToWChar(src, -1, CP_1252, out, &n, 9);
}

int STR_WCharToChar_AnyCodepage(const wchar_t* src, int len, char** out, int* outLen, unsigned codePage)
{
    return __STR_WCharToChar(src, len, out, outLen, codePage);
}

int STR_WCharToChar_CurrentCharset(char** out, const wchar_t* src, int len)
{
    int n = 0;
    return __STR_WCharToChar(src, len, out, &n, STR_nGetCurrentCodePage());
}

int STR_CharToChar_AnyCodepage(const char* src, int len, unsigned fromPage, char** out, int* outLen,
                               unsigned toPage)
{
    if (outLen)
        *outLen = 0;
    if (out == nullptr)
        return 0;
    *out = nullptr;
    if (src == nullptr || len < -1)
        return 0;
    if (fromPage == toPage) {
        const size_t n = len == -1 ? std::strlen(src) : static_cast<size_t>(len);
        if (n >= static_cast<size_t>(INT_MAX))
            return 0;
        char* buf = static_cast<char*>(XMALLOC_pNew_(n + 1));
        if (buf == nullptr)
            return 0;
        std::memcpy(buf, src, n);
        buf[n] = 0;
        *out = buf;
        if (outLen)
            *outLen = static_cast<int>(n);
        return 1;
    }
    wchar_t* wide = nullptr;
    int nWide = 0;
    if (!STR_CharToWChar_AnyCodepage(src, len, fromPage, &wide, &nWide, 0))
        return 0;
    const int bOk = __STR_WCharToChar(wide, nWide, out, outLen, toPage);
    XMALLOC_Del_(wide);
    return bOk;
}

wchar_t STR_CharToWChar(char c, unsigned flags, unsigned codePage)
{
    wchar_t w = 0;
    return MultiByteToWideChar(codePage, flags, &c, 1, &w, 1) == 1 ? w : 0;
}

wchar_t STR_CharToWChar_CurrentCharset(char c, unsigned flags)
{
    return STR_CharToWChar(c, flags, STR_nGetCurrentCodePage());
}

int STR_WCharToAChar(wchar_t wc, unsigned flags, unsigned codePage)
{
    char b = 0;
    if (WideCharToMultiByte(codePage, flags, &wc, 1, &b, 1, nullptr, nullptr) != 1)
        return 0;
    return static_cast<signed char>(b);
}

char* pszXSTR2CSTR(const wchar_t* src, int len)
{
    if (src == nullptr)
        return nullptr;
    const size_t n = len < 0 ? std::wcslen(src) : static_cast<size_t>(len);
    if (n >= static_cast<size_t>(INT_MAX))
        return nullptr;
    char* out = static_cast<char*>(XMALLOC_pNewZero_(n + 1, 1));
    if (out != nullptr && n > 0)
        WideCharToMultiByte(CP_1252, 0, src, static_cast<int>(n), out, static_cast<int>(n), nullptr, nullptr);
    return out;
}

wchar_t* pszCSTR2XSTR(const char* src, int len, unsigned codePage)
{
    size_t n = 0;
    if (src != nullptr)
        n = len < 0 ? std::strlen(src) : static_cast<size_t>(len);
    if (n >= static_cast<size_t>(INT_MAX) || n + 1 > SIZE_MAX / sizeof(wchar_t))
        return nullptr;
    // Zeroed, so that the text ends after what was converted whatever the
    // page made of it.
    wchar_t* out = static_cast<wchar_t*>(XMALLOC_pNewZero_(n + 1, sizeof(wchar_t)));
    if (out != nullptr && n > 0)
        MultiByteToWideChar(codePage, 0, src, static_cast<int>(n), out, static_cast<int>(n) + 1);
    return out;
}

wchar_t* pszXSTR2WSTR(const wchar_t* src, int n)
{
    if (src == nullptr)
        return nullptr;
    const size_t len = n < 1 ? std::wcslen(src) : ::wcsnlen(src, static_cast<size_t>(n));
    const size_t size = n < 1 ? len : static_cast<size_t>(n);
    if (size + 1 > SIZE_MAX / sizeof(wchar_t))
        return nullptr;
    wchar_t* out = static_cast<wchar_t*>(XMALLOC_pNewZero_(size + 1, sizeof(wchar_t)));
    if (out != nullptr)
        std::wmemcpy(out, src, len);
    return out;
}

wchar_t* pszWSTR2XSTR(const wchar_t* src, int n)
{
    return pszXSTR2WSTR(src, n);
}

bool bAnsiCompatible(const wchar_t* text, unsigned codePage)
{
    if (text == nullptr || text[0] == 0)
        return true;
    char* narrow = nullptr;
    int nNarrow = 0;
    if (!__STR_WCharToChar(text, -1, &narrow, &nNarrow, codePage))
        return false;
    wchar_t* back = nullptr;
    int nBack = 0;
    const int bOk = __STR_CharToWChar(narrow, nNarrow, codePage, &back, &nBack, 9);
    XMALLOC_Del_(narrow);
    if (!bOk)
        return false;
    const size_t n = std::wcslen(text) + 1;
    const bool bSame = static_cast<size_t>(nBack) == n && std::wmemcmp(back, text, n) == 0;
    XMALLOC_Del_(back);
    return bSame;
}

int bLatin1(const wchar_t* text)
{
    return bAnsiCompatible(text, CP_1252) ? 1 : 0;
}

unsigned short PrepareConversionAnsiUnicode(unsigned short type, unsigned& flags, STOCAW& options,
                                            bool toWide, int markFlag)
{
    const unsigned short wideOrPointer = toWide ? 16 : 110;
    unsigned codePage = 0;
    unsigned short result = 0;
    switch (type) {
    case 121: codePage = CP_1252; result = 16; break;
    case 122: codePage = CP_1252; result = wideOrPointer; break;
    case 126: codePage = 0; result = 16; break;
    case 127: codePage = 0; result = wideOrPointer; break;
    case 130: codePage = STR_nGetCurrentCodePage(); result = 16; break;
    case 131: codePage = STR_nGetCurrentCodePage(); result = wideOrPointer; break;
    case 18: return toWide ? 19 : 18;
    case 110: return wideOrPointer;
    default: return type;
    }
    options.nCodePage = codePage;
    if (markFlag)
        flags |= 64;
    return result;
}

int PrepareConversionUnicodeAnsi(unsigned short type, STOCAW& options)
{
    switch (type) {
    case 121:
    case 122: options.nCodePage = CP_1252; return 1;
    case 126:
    case 127: options.nCodePage = 0; return 1;
    case 130:
    case 131: options.nCodePage = STR_nGetCurrentCodePage(); return 1;
    default: return 0;
    }
}

IInfoLocale* STR_piGetInfoLocale()
{
    return CInformationDLL::ms_piInfoLocale;
}

// Before the host hands its locale service over: charset 0, code page 0
// (served as 1252) and the module's usual identifier 1036.
int STR_nGetCurrentChangeCharset()
{
    const int charset = STR_nGetCurrentChangeCharsetInterne();
    return charset == 127 ? 0 : charset;
}

int STR_nGetCurrentChangeCharsetInterne()
{
    IInfoLocale* p = STR_piGetInfoLocale();
    return p ? p->nGetCurrentCharset() : 0;
}

unsigned STR_nGetCurrentCodePage()
{
    IInfoLocale* p = STR_piGetInfoLocale();
    return p ? p->nGetCurrentCodePage() : 0;
}

unsigned STR_nGetCurrentLCID()
{
    IInfoLocale* p = STR_piGetInfoLocale();
    return p ? p->nGetCurrentLCID() : 1036;
}

unsigned STR_nGetSafeCurrentLCID()
{
    IInfoLocale* p = STR_piGetInfoLocale();
    return p ? p->nGetSafeLCID() : 1036;
}

int STR_MapStringSortEx_Charset(int charset, unsigned char* dst, int dstSize, const wchar_t* src,
                                int srcLen)
{
    IInfoLocale* p = STR_piGetInfoLocale();
    return p ? p->nMapStringSort(wGetLanguageID(charset), dst, dstSize, src, srcLen) : 0;
}

int STR_nMapStringEx_Charset(int charset, unsigned flags, char* dst, int dstSize, const char* src,
                             int srcLen)
{
    IInfoLocale* p = STR_piGetInfoLocale();
    return p ? p->nMapStringA(wGetLanguageID(charset), flags, dst, dstSize, src, srcLen) : 0;
}

int STR_nMapStringEx_Charset(int charset, unsigned flags, wchar_t* dst, int dstSize, const wchar_t* src,
                             int srcLen)
{
    IInfoLocale* p = STR_piGetInfoLocale();
    return p ? p->nMapStringW(wGetLanguageID(charset), flags, dst, dstSize, src, srcLen) : 0;
}

void ChangeLocale(int charset)
{
    const unsigned codePage = dwGetCodePageFromCharset(charset);
    if (codePage == 0)
        return;
    const char* name = nullptr;
    switch (charset) {
    case 161: name = "greek_greece"; break;
    case 162: name = "turkey_turkish"; break;
    case 204: name = "russian_russia"; break;
    case 177:
    case 178: name = ""; break;
    default: return;
    }
    char locale[64];
    std::snprintf(locale, sizeof(locale), "%s.%u", name, codePage);
    std::setlocale(LC_ALL, locale);
}
