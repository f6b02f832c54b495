#include "host/InfoLocale.h"
#include "host/HostLifetime.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <locale.h>

namespace {

// Windows-1252 bytes 0x80-0x9F; the undefined ones keep their own value.
const char32_t kCp1252High[32] = {
    0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D, 0x017D, 0x8F,
    0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D, 0x017E, 0x0178};

char32_t FromCp1252(unsigned char c)
{
    return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
}

int ToCp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

// Base letters of U+00C0-U+017F; '*' keeps the character.
const char kBaseLatin1[] = "AAAAAA*CEEEEIIII*NOOOOO*OUUUUY**aaaaaa*ceeeeiiii*nooooo*ouuuuy*y";
const char kBaseLatinA[] =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi**JjKk*LlLlLlLlLlNnNnNnn**OoOoOo**RrRrRr"
    "SsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz*";

char32_t Unaccented(char32_t c)
{
    char b = '*';
    if (c >= 0xC0 && c < 0x100)
        b = kBaseLatin1[c - 0xC0];
    else if (c >= 0x100 && c < 0x180)
        b = kBaseLatinA[c - 0x100];
    return b == '*' ? c : static_cast<char32_t>(b);
}

locale_t Utf8Locale()
{
    static locale_t loc = [] {
        const locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        HostFreeAtUnload([](void* p) { freelocale(static_cast<locale_t>(p)); }, l);
        return l;
    }();
    return loc;
}

char32_t Lower(char32_t c) { return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), Utf8Locale())); }
char32_t Upper(char32_t c) { return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), Utf8Locale())); }

bool IsSpaceOrPunct(char32_t c)
{
    return iswspace_l(static_cast<wint_t>(c), Utf8Locale()) || iswpunct_l(static_cast<wint_t>(c), Utf8Locale());
}

template <typename T>
int Length(const T* s, int n)
{
    if (s == nullptr)
        return 0;
    if (n >= 0)
        return n;
    int len = 0;
    while (s[len] != 0)
        ++len;
    return len;
}

std::u32string Widen(const char* s, int n)
{
    std::u32string out;
    for (int i = 0, len = Length(s, n); i < len; ++i)
        out.push_back(FromCp1252(static_cast<unsigned char>(s[i])));
    return out;
}

std::u32string Widen(const wchar_t* s, int n)
{
    std::u32string out;
    for (int i = 0, len = Length(s, n); i < len; ++i)
        out.push_back(static_cast<char32_t>(s[i]));
    return out;
}

// The same characters compare equal at every level: answered without
// building the mapped texts.
template <typename T>
bool bSameText(const T* a, int la, const T* b, int lb)
{
    const int na = Length(a, la);
    return na == Length(b, lb) && (na == 0 || std::equal(a, a + na, b));
}

int Sign(long long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Writes the mapped text; without room answers the count needed. A
// terminator follows when room is left.
template <typename T>
int Emit(const std::basic_string<T>& mapped, T* dst, int dstSize)
{
    const int n = static_cast<int>(mapped.size());
    if (dst == nullptr || dstSize <= 0)
        return n;
    if (n > dstSize)
        return 0;
    std::copy(mapped.begin(), mapped.end(), dst);
    if (n < dstSize)
        dst[n] = 0;
    return n;
}

std::wstring AsWide(const std::u32string& mapped)
{
    return std::wstring(mapped.begin(), mapped.end());
}

// 8-bit text stays in Windows-1252: a character whose mapping lies outside
// the page (the upper case of the micro sign or of f with hook) is kept as
// it was, as the host does.
std::string MapCp1252(unsigned flags, const char* src, int srcLen)
{
    std::string out;
    for (int i = 0, len = Length(src, srcLen); i < len; ++i) {
        const std::u32string mapped = CInfoLocale::Map(flags, Widen(src + i, 1));
        if (mapped.empty())
            continue;
        const int b = ToCp1252(mapped[0]);
        out.push_back(b < 0 ? src[i] : static_cast<char>(b));
    }
    return out;
}

}  // namespace

std::u32string CInfoLocale::Map(unsigned flags, const std::u32string& text)
{
    std::u32string out;
    out.reserve(text.size());
    for (char32_t c : text) {
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

// Locale order: letters by their base letter first, then accents, then case,
// each level skipped when the flags ignore it.
int CInfoLocale::Compare(unsigned flags, const std::u32string& a, const std::u32string& b)
{
    const unsigned drop = flags & LOCALE_IGNORE_PUNCT;
    const std::u32string pa = Map(drop | LOCALE_IGNORE_ACCENTS | LOCALE_LOWER_CASE, a);
    const std::u32string pb = Map(drop | LOCALE_IGNORE_ACCENTS | LOCALE_LOWER_CASE, b);
    if (int r = Sign(pa.compare(pb)))
        return r;
    if (!(flags & LOCALE_IGNORE_ACCENTS)) {
        if (int r = Sign(Map(drop | LOCALE_LOWER_CASE, a).compare(Map(drop | LOCALE_LOWER_CASE, b))))
            return r;
    }
    if (!(flags & LOCALE_FOLD_CASE)) {
        const unsigned accents = flags & LOCALE_IGNORE_ACCENTS;
        // Lower case sorts before upper case, as in the usual locale orders.
        if (int r = Sign(Map(drop | accents, b).compare(Map(drop | accents, a))))
            return r;
    }
    return 0;
}

void CInfoLocale::Log(int nSlot, unsigned nLCID, unsigned nFlags, int nSrcLen, int nOtherLen)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({nSlot, nLCID, nFlags, nSrcLen, nOtherLen});
}

int CInfoLocale::nGetCurrentCharset()
{
    Log(2, 0, 0, 0, 0);
    return m_nCharset;
}

unsigned CInfoLocale::nGetCurrentCodePage()
{
    Log(3, 0, 0, 0, 0);
    return m_nCodePage;
}

unsigned CInfoLocale::nGetCurrentLCID()
{
    Log(4, 0, 0, 0, 0);
    return m_nLCID;
}

unsigned CInfoLocale::nGetSafeLCID()
{
    Log(15, 0, 0, 0, 0);
    return 1033;
}

int CInfoLocale::nCompareA(unsigned lcid, unsigned flags, const char* a, int la, const char* b, int lb)
{
    Log(5, lcid, flags, la, lb);
    if (bSameText(a, la, b, lb))
        return 0;
    return Compare(flags, Widen(a, la), Widen(b, lb));
}

int CInfoLocale::nCompareW(unsigned lcid, unsigned flags, const wchar_t* a, int la, const wchar_t* b,
                           int lb)
{
    Log(6, lcid, flags, la, lb);
    if (bSameText(a, la, b, lb))
        return 0;
    return Compare(flags, Widen(a, la), Widen(b, lb));
}

int CInfoLocale::nCompareCurrentA(unsigned flags, const char* a, int la, const char* b, int lb)
{
    Log(7, 0, flags, la, lb);
    if (bSameText(a, la, b, lb))
        return 0;
    return Compare(flags, Widen(a, la), Widen(b, lb));
}

int CInfoLocale::nCompareCurrentW(unsigned flags, const wchar_t* a, int la, const wchar_t* b, int lb)
{
    Log(8, 0, flags, la, lb);
    if (bSameText(a, la, b, lb))
        return 0;
    return Compare(flags, Widen(a, la), Widen(b, lb));
}

// Sort key: the three comparison levels one after the other, each character
// as three big-endian bytes, levels separated by a zero run.
int CInfoLocale::nMapStringSort(unsigned lcid, unsigned char* dst, int dstSize, const wchar_t* src,
                                int srcLen)
{
    Log(9, lcid, 0, srcLen, dstSize);
    const std::u32string text = Widen(src, srcLen);
    std::string key;
    const unsigned levels[3] = {LOCALE_IGNORE_ACCENTS | LOCALE_LOWER_CASE, LOCALE_LOWER_CASE, 0};
    for (int level = 0; level < 3; ++level) {
        if (level > 0)
            key.append(3, '\0');
        const std::u32string mapped = Map(levels[level], text);
        for (char32_t c : mapped) {
            // Case level: lower case before upper case.
            const char32_t v = level == 2 ? (Lower(c) == c ? 1 : 2) : c + 1;
            key.push_back(static_cast<char>(v >> 16));
            key.push_back(static_cast<char>(v >> 8));
            key.push_back(static_cast<char>(v));
        }
    }
    const int n = static_cast<int>(key.size());
    if (dst == nullptr || dstSize <= 0)
        return n;
    if (n > dstSize)
        return 0;
    std::memcpy(dst, key.data(), key.size());
    return n;
}

int CInfoLocale::nMapStringA(unsigned lcid, unsigned flags, char* dst, int dstSize, const char* src,
                             int srcLen)
{
    Log(11, lcid, flags, srcLen, dstSize);
    return Emit(MapCp1252(flags, src, srcLen), dst, dstSize);
}

int CInfoLocale::nMapStringW(unsigned lcid, unsigned flags, wchar_t* dst, int dstSize,
                             const wchar_t* src, int srcLen)
{
    Log(12, lcid, flags, srcLen, dstSize);
    return Emit(AsWide(Map(flags, Widen(src, srcLen))), dst, dstSize);
}

int CInfoLocale::nMapStringCurrentA(unsigned flags, char* dst, int dstSize, const char* src, int srcLen)
{
    Log(13, 0, flags, srcLen, dstSize);
    return Emit(MapCp1252(flags, src, srcLen), dst, dstSize);
}

int CInfoLocale::nMapStringCurrentW(unsigned flags, wchar_t* dst, int dstSize, const wchar_t* src,
                                    int srcLen)
{
    Log(14, 0, flags, srcLen, dstSize);
    return Emit(AsWide(Map(flags, Widen(src, srcLen))), dst, dstSize);
}

void CInfoLocale::SetCurrent(int nCharset, unsigned nCodePage, unsigned nLCID)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nCharset = nCharset;
    m_nCodePage = nCodePage;
    m_nLCID = nLCID;
}

std::size_t CInfoLocale::nCalls()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.size();
}

HostLocaleCall CInfoLocale::Call(std::size_t i)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return i < m_calls.size() ? m_calls[i] : HostLocaleCall{-1, 0, 0, 0, 0};
}

void CInfoLocale::ClearCalls()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}
