#include "common/text/Escape.h"

#include "common/text/CodePage.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const int kQuote = '\'';
const int kBackSlash = '\\';
const int kPercent = '%';
const int kUnderscore = '_';

// Work areas up to this many bytes live on the stack.
const std::size_t kPileMax = 2047;

// Room for n characters, or null when n cannot be counted in bytes or the
// allocator fails.
template <typename T>
T* Alloc(std::size_t n)
{
    if (n == 0 || n > SIZE_MAX / sizeof(T))
        return nullptr;
    return static_cast<T*>(XMALLOC_pNew_(n * sizeof(T)));
}

template <typename T>
T* Copy(const T* s, std::size_t n)
{
    T* p = Alloc<T>(n + 1);
    if (p != nullptr) {
        std::memcpy(p, s, n * sizeof(T));
        p[n] = 0;
    }
    return p;
}

// A work area of n characters: on the stack when small enough, else on the
// heap.
template <typename T>
class CZone {
public:
    explicit CZone(std::size_t n) : m_p(nullptr), m_bTas(false)
    {
        if (n <= kPileMax / sizeof(T))
            m_p = reinterpret_cast<T*>(m_Pile);
        else {
            m_p = Alloc<T>(n);
            m_bTas = true;
        }
    }
    ~CZone()
    {
        if (m_bTas)
            XMALLOC_Del_(m_p);
    }
    CZone(const CZone&) = delete;
    CZone& operator=(const CZone&) = delete;
    T* p() const { return m_p; }

private:
    alignas(wchar_t) unsigned char m_Pile[kPileMax + 1];
    T* m_p;
    bool m_bTas;
};

template <typename T>
void EscapeT(const T* pszSrc, T* pszDst, int bQuote, int bBackSlash, int bDoubleEscape, int bPercent,
             int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape, T cQuoteEscape,
             T cEscape)
{
    if (pszDst == nullptr)
        return;
    T* w = pszDst;
    if (pszSrc != nullptr) {
        const T* p = pszSrc;
        while (*p != 0) {
            const T c = *p;
            if (c == kQuote) {
                if (bQuote)
                    *w++ = cQuoteEscape;
                *w++ = c;
                ++p;
            } else if (c == cEscape) {
                const T n = p[1];
                if (n == kPercent || n == kUnderscore) {
                    const bool bPourcent = n == kPercent;
                    if (bPourcent ? bKeepPercent : bKeepUnderscore) {
                        if (bDoubleEscape)
                            *w++ = c;
                        *w++ = c;
                        if (bPourcent ? bPercent : bUnderscore)
                            *w++ = c;
                    } else {
                        *w++ = c;
                    }
                    *w++ = n;
                    p += 2;
                } else if (n == cEscape) {
                    const int nFois = bQuadrupleEscape && bDoubleEscape ? 4 : 2;
                    for (int i = 0; i < nFois; ++i)
                        *w++ = c;
                    p += 2;
                } else {
                    *w++ = c;
                    if (bDoubleEscape)
                        *w++ = c;
                    ++p;
                }
            } else if (c == kBackSlash) {
                *w++ = c;
                if (bBackSlash)
                    *w++ = c;
                ++p;
            } else if (c == kPercent) {
                if (bPercent)
                    *w++ = cEscape;
                *w++ = c;
                ++p;
            } else if (c == kUnderscore) {
                if (bUnderscore)
                    *w++ = cEscape;
                *w++ = c;
                ++p;
            } else {
                *w++ = c;
                ++p;
            }
        }
    }
    *w = 0;
}

template <typename T>
T* pszEscapeT(const T* pszSrc, int bQuote, int bBackSlash, int bDoubleEscape, int bPercent, int bUnderscore,
              int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape, T cQuoteEscape, T cEscape)
{
    const std::size_t nLen = TXT_nLen(pszSrc);
    if (nLen > (SIZE_MAX / sizeof(T) - 2) / 2)
        return nullptr;
    CZone<T> zone(2 * nLen + 2);
    if (zone.p() == nullptr)
        return nullptr;
    EscapeT(pszSrc, zone.p(), bQuote, bBackSlash, bDoubleEscape, bPercent, bUnderscore, bKeepPercent,
            bKeepUnderscore, bQuadrupleEscape, cQuoteEscape, cEscape);
    return Copy(zone.p(), TXT_nLen(zone.p()));
}

template <typename T>
T* Put(T* w, const T* psz)
{
    if (psz != nullptr)
        while (*psz != 0)
            *w++ = *psz++;
    return w;
}

template <typename T>
void ChangeEscapeT(const T* pszSrc, T* pszDst, const T* pszPercent, const T* pszPercentBefore,
                   const T* pszPercentAfter, const T* pszUnderscore, const T* pszUnderscoreBefore,
                   const T* pszUnderscoreAfter, T cEscape)
{
    if (pszDst == nullptr)
        return;
    T* w = pszDst;
    if (pszSrc != nullptr) {
        const T* p = pszSrc;
        while (*p != 0) {
            if (*p == cEscape && p[1] == kPercent) {
                w = Put(Put(Put(w, pszPercentBefore), pszPercent), pszPercentAfter);
                p += 2;
            } else if (*p == cEscape && p[1] == kUnderscore) {
                w = Put(Put(Put(w, pszUnderscoreBefore), pszUnderscore), pszUnderscoreAfter);
                p += 2;
            } else if (*p == cEscape && p[1] == cEscape) {
                *w++ = cEscape;
                p += 2;
            } else {
                *w++ = *p++;
            }
        }
    }
    *w = 0;
}

template <typename T>
T* pszChangeEscapeT(const T* pszSrc, const T* pszPercent, const T* pszPercentBefore, const T* pszPercentAfter,
                    const T* pszUnderscore, const T* pszUnderscoreBefore, const T* pszUnderscoreAfter,
                    T cEscape)
{
    // Worst case: every two-character sequence replaced by the longer
    // triple, every other character copied.
    const std::size_t nLen = TXT_nLen(pszSrc);
    const std::size_t nPourcent = TXT_nLen(pszPercentBefore) + TXT_nLen(pszPercent) + TXT_nLen(pszPercentAfter);
    const std::size_t nSouligne = TXT_nLen(pszUnderscoreBefore) + TXT_nLen(pszUnderscore) + TXT_nLen(pszUnderscoreAfter);
    const std::size_t nTriple = nPourcent > nSouligne ? nPourcent : nSouligne;
    const std::size_t nMax = SIZE_MAX / sizeof(T) - 1;
    const std::size_t nPaires = nLen / 2;
    if (nTriple != 0 && nPaires > (nMax - nLen) / nTriple)
        return nullptr;
    CZone<T> zone(nLen + nPaires * nTriple + 1);
    if (zone.p() == nullptr)
        return nullptr;
    ChangeEscapeT(pszSrc, zone.p(), pszPercent, pszPercentBefore, pszPercentAfter, pszUnderscore,
                  pszUnderscoreBefore, pszUnderscoreAfter, cEscape);
    return Copy(zone.p(), TXT_nLen(zone.p()));
}

template <typename T>
void PurgeQuoteT(T* psz, int bBackSlash)
{
    const std::size_t nLen = TXT_nLen(psz);
    if (nLen < 2 || (nLen == 2 && psz[0] == kQuote && psz[1] == kQuote))
        return;
    // Scanned from the end; what is kept is written backwards from the end,
    // never ahead of what is still to be read, then moved to the start.
    std::size_t r = nLen - 1;
    std::size_t w = nLen;
    while (r >= 1) {
        if (psz[r] == kQuote && (psz[r - 1] == kQuote || (bBackSlash && psz[r - 1] == kBackSlash))) {
            psz[--w] = kQuote;
            if (r < 2) {
                r = SIZE_MAX;
                break;
            }
            r -= 2;
        } else {
            psz[--w] = psz[r];
            --r;
        }
    }
    if (r == 0)
        psz[--w] = psz[0];
    const std::size_t nReste = nLen - w;
    std::memmove(psz, psz + w, nReste * sizeof(T));
    psz[nReste] = 0;
}

template <typename T>
void PurgeEscapeT(T* psz, T cEscape, bool bWildcards)
{
    if (psz == nullptr || cEscape == 0)
        return;
    std::size_t r = 0;
    std::size_t w = 0;
    while (psz[r] != 0) {
        const T n = psz[r + 1];
        if (psz[r] == cEscape && (n == cEscape || (bWildcards && (n == kPercent || n == kUnderscore)))) {
            psz[w++] = n;
            r += 2;
        } else {
            psz[w++] = psz[r++];
        }
    }
    psz[w] = 0;
}

template <typename T>
T* pszVerrueEscapeMySQLT(const T* pszPattern, T cEscape)
{
    const std::size_t nLen = TXT_nLen(pszPattern);
    if (nLen > (SIZE_MAX / sizeof(T) - 2) / 4)
        return nullptr;
    static const T kVide[1] = {0};
    T* pszCopie = Copy(pszPattern != nullptr ? pszPattern : kVide, nLen);
    if (pszCopie == nullptr)
        return nullptr;
    PurgeQuoteT(pszCopie, 1);

    // Quotes as \'. A backslash that is not the escape character would be
    // read by MySQL as the start of a string escape: doubled.
    T* pszQuote = Alloc<T>(2 * TXT_nLen(pszCopie) + 1);
    if (pszQuote == nullptr) {
        XMALLOC_Del_(pszCopie);
        return nullptr;
    }
    EscapeT<T>(pszCopie, pszQuote, 1, cEscape != kBackSlash, 0, 0, 0, 0, 0, 0, kBackSlash, 0);
    XMALLOC_Del_(pszCopie);

    const std::size_t nQuote = TXT_nLen(pszQuote);
    T* pszRes = Alloc<T>(2 * (nQuote + 1));
    if (pszRes == nullptr) {
        XMALLOC_Del_(pszQuote);
        return nullptr;
    }
    std::size_t w = 0;
    for (std::size_t r = 0; r < nQuote;) {
        const T c = pszQuote[r];
        pszRes[w++] = c;
        if (c != cEscape || cEscape == 0) {
            ++r;
            continue;
        }
        const T n = pszQuote[r + 1];
        // A backslash before a quote is the quote's own escape, never the
        // second of a pair: taking it would leave the quote bare.
        const bool bPaire = n == cEscape && !(cEscape == kBackSlash && pszQuote[r + 2] == kQuote);
        if (n == kPercent || n == kUnderscore || bPaire || (n == kQuote && cEscape == kBackSlash)) {
            pszRes[w++] = n;
            r += 2;
            continue;
        }
        // A lone escape character: doubled. A quote as escape character
        // stands as \' in the literal, and so does its double.
        if (cEscape == kQuote)
            pszRes[w++] = kBackSlash;
        pszRes[w++] = cEscape;
        ++r;
    }
    pszRes[w] = 0;
    XMALLOC_Del_(pszQuote);
    return pszRes;
}

}  // namespace

void Escape(const char* pszSrc, char* pszDst, int bQuote, int bBackSlash, int bDoubleEscape, int bPercent,
            int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape, char cQuoteEscape,
            char cEscape)
{
    EscapeT(pszSrc, pszDst, bQuote, bBackSlash, bDoubleEscape, bPercent, bUnderscore, bKeepPercent,
            bKeepUnderscore, bQuadrupleEscape, cQuoteEscape, cEscape);
}

void Escape(const wchar_t* pszSrc, wchar_t* pszDst, int bQuote, int bBackSlash, int bDoubleEscape,
            int bPercent, int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape,
            wchar_t cQuoteEscape, wchar_t cEscape)
{
    EscapeT(pszSrc, pszDst, bQuote, bBackSlash, bDoubleEscape, bPercent, bUnderscore, bKeepPercent,
            bKeepUnderscore, bQuadrupleEscape, cQuoteEscape, cEscape);
}

char* pszEscape(const char* pszSrc, int bQuote, int bBackSlash, int bDoubleEscape, int bPercent,
                int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape, char cQuoteEscape,
                char cEscape)
{
    return pszEscapeT(pszSrc, bQuote, bBackSlash, bDoubleEscape, bPercent, bUnderscore, bKeepPercent,
                      bKeepUnderscore, bQuadrupleEscape, cQuoteEscape, cEscape);
}

wchar_t* pszEscape(const wchar_t* pszSrc, int bQuote, int bBackSlash, int bDoubleEscape, int bPercent,
                   int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape,
                   wchar_t cQuoteEscape, wchar_t cEscape)
{
    return pszEscapeT(pszSrc, bQuote, bBackSlash, bDoubleEscape, bPercent, bUnderscore, bKeepPercent,
                      bKeepUnderscore, bQuadrupleEscape, cQuoteEscape, cEscape);
}

char* pszEscape(const char* pszSrc, char cEscape, char cQuote)
{
    return pszEscapeT(pszSrc, 0, 0, 1, 0, 0, 0, 0, 0, cQuote, cEscape);
}

wchar_t* pszEscape(const wchar_t* pszSrc, wchar_t cEscape, wchar_t cQuote)
{
    return pszEscapeT(pszSrc, 0, 0, 1, 0, 0, 0, 0, 0, cQuote, cEscape);
}

void ChangeEscape(const char* pszSrc, char* pszDst, const char* pszPercent, const char* pszPercentBefore,
                  const char* pszPercentAfter, const char* pszUnderscore, const char* pszUnderscoreBefore,
                  const char* pszUnderscoreAfter, char cEscape)
{
    ChangeEscapeT(pszSrc, pszDst, pszPercent, pszPercentBefore, pszPercentAfter, pszUnderscore,
                  pszUnderscoreBefore, pszUnderscoreAfter, cEscape);
}

void ChangeEscape(const wchar_t* pszSrc, wchar_t* pszDst, const wchar_t* pszPercent,
                  const wchar_t* pszPercentBefore, const wchar_t* pszPercentAfter, const wchar_t* pszUnderscore,
                  const wchar_t* pszUnderscoreBefore, const wchar_t* pszUnderscoreAfter, wchar_t cEscape)
{
    ChangeEscapeT(pszSrc, pszDst, pszPercent, pszPercentBefore, pszPercentAfter, pszUnderscore,
                  pszUnderscoreBefore, pszUnderscoreAfter, cEscape);
}

char* pszChangeEscape(const char* pszSrc, const char* pszPercent, const char* pszPercentBefore,
                      const char* pszPercentAfter, const char* pszUnderscore, const char* pszUnderscoreBefore,
                      const char* pszUnderscoreAfter, char cEscape)
{
    return pszChangeEscapeT(pszSrc, pszPercent, pszPercentBefore, pszPercentAfter, pszUnderscore,
                            pszUnderscoreBefore, pszUnderscoreAfter, cEscape);
}

wchar_t* pszChangeEscape(const wchar_t* pszSrc, const wchar_t* pszPercent, const wchar_t* pszPercentBefore,
                         const wchar_t* pszPercentAfter, const wchar_t* pszUnderscore,
                         const wchar_t* pszUnderscoreBefore, const wchar_t* pszUnderscoreAfter,
                         wchar_t cEscape)
{
    return pszChangeEscapeT(pszSrc, pszPercent, pszPercentBefore, pszPercentAfter, pszUnderscore,
                            pszUnderscoreBefore, pszUnderscoreAfter, cEscape);
}

wchar_t* pszChangeEscape(const wchar_t* pszSrc, wchar_t cEscape, const wchar_t* pszPercent,
                         const wchar_t* pszPercentBefore, const wchar_t* pszPercentAfter,
                         const wchar_t* pszUnderscore, const wchar_t* pszUnderscoreBefore,
                         const wchar_t* pszUnderscoreAfter)
{
    return pszChangeEscapeT(pszSrc, pszPercent, pszPercentBefore, pszPercentAfter, pszUnderscore,
                            pszUnderscoreBefore, pszUnderscoreAfter, cEscape);
}

void PurgeQuote(char* psz, int bBackSlash)
{
    PurgeQuoteT(psz, bBackSlash);
}

void PurgeQuote(wchar_t* psz, int bBackSlash)
{
    PurgeQuoteT(psz, bBackSlash);
}

void PurgeEscape(char* psz, char cEscape)
{
    PurgeEscapeT(psz, cEscape, true);
}

void PurgeEscape(wchar_t* psz, wchar_t cEscape)
{
    PurgeEscapeT(psz, cEscape, true);
}

void PurgeEscapeEscape(char* psz, char cEscape)
{
    PurgeEscapeT(psz, cEscape, false);
}

void PurgeEscapeEscape(wchar_t* psz, wchar_t cEscape)
{
    PurgeEscapeT(psz, cEscape, false);
}

void PurgeEscapeBackSlash(char* psz)
{
    PurgeEscapeEscape(psz, '\\');
    PurgeQuote(psz, 1);
}

void PurgeEscapeBackSlash(wchar_t* psz)
{
    PurgeEscapeEscape(psz, L'\\');
    PurgeQuote(psz, 1);
}

char* pszVerrueEscapeMySQL(const char* pszPattern, wchar_t cEscape)
{
    return pszVerrueEscapeMySQLT(pszPattern, static_cast<char>(STR_WCharToAChar(cEscape, 0, CP_1252)));
}

wchar_t* pszVerrueEscapeMySQL(const wchar_t* pszPattern, wchar_t cEscape)
{
    return pszVerrueEscapeMySQLT(pszPattern, cEscape);
}
