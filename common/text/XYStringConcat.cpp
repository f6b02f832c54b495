#include "common/text/XYStringConcat.h"

#include "common/text/CodePage.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"
#include "common/text/TextCompare.h"
#include "common/text/UnicodeCodec.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>

namespace {

// Positions and counts are handed around as int: a text never grows past
// what an int can index.
const unsigned long long kMaxUnits = 0x7FFFFFFEull;

template <class T>
constexpr bool bWide()
{
    return std::is_same<T, wchar_t>::value;
}


// Units a count stands for: -1 is up to the terminator, other counts below
// 1 and a null text are nothing.
template <class S>
unsigned long long nUnites(const S* s, int n)
{
    if (s == nullptr)
        return 0;
    if (n == -1)
        return TXT_nLen(s);
    return n < 1 ? 0 : static_cast<unsigned long long>(n);
}

// Room handed to a converter: the conversions take int sizes.
inline int nPlace(unsigned long long n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

template <class T>
void AjouteChiffres(CXYStringConcat<T>& cl, const T* pszChiffres, bool bComplete, int width)
{
    const std::size_t nChiffres = TXT_nLen(pszChiffres);
    const unsigned long long nTotal =
        bComplete && width > 0 && static_cast<std::size_t>(width) > nChiffres ? static_cast<unsigned>(width) : nChiffres;
    cl._Reserve(nTotal);
    T* pDest = cl.m_pBuffer + cl.m_nLength;
    std::memcpy(pDest, pszChiffres, (nChiffres + 1) * sizeof(T));
    if (nTotal > nChiffres)
        CXYStringConcat<T>::_AddPrefix0(pDest, width);
    cl.m_nLength += static_cast<unsigned>(nTotal);
    cl._Termine();
}

// Appends the k units of s (k from nUnites) through a conversion that writes
// at most nPlace(4 * k) units at the end of the text and answers how many.
template <class T, class S, class F>
void AjouteConverti(CXYStringConcat<T>& cl, const S* s, unsigned long long k, F conversion)
{
    if (k == 0)
        return;
    if (k > INT_MAX)
        throw std::bad_alloc();
    // The source is found again if it lies in the buffer that grows.
    const void* pSource = s;
    cl._Reserve(4 * k, &pSource);
    const int r = conversion(static_cast<const S*>(pSource), static_cast<int>(k), cl.m_pBuffer + cl.m_nLength,
                             nPlace(4 * k));
    if (r > 0)
        cl.m_nLength += static_cast<unsigned>(r);
    cl._Termine();
}

// Index of the first occurrence of what at or after start; -1 when the text
// is empty, start is out of range or nothing is found.
template <class T, class W>
int nTrouve(const CXYStringConcat<T>& cl, W what, int start)
{
    if (cl.m_nLength == 0 || start < 0 || static_cast<unsigned>(start) > cl.m_nLength)
        return -1;
    const std::size_t p =
        std::basic_string_view<T>(cl.m_pBuffer, cl.m_nLength).find(what, static_cast<std::size_t>(start));
    return p == std::basic_string_view<T>::npos ? -1 : static_cast<int>(p);
}

template <class T>
void AjouteHexa(CXYStringConcat<T>& cl, unsigned long long v, int nChiffres)
{
    static const char s_szHexa[] = "0123456789ABCDEF";
    cl._Reserve(static_cast<unsigned>(nChiffres));
    T* pDest = cl.m_pBuffer + cl.m_nLength;
    for (int i = nChiffres - 1; i >= 0; --i) {
        pDest[i] = static_cast<T>(s_szHexa[v & 0xF]);
        v >>= 4;
    }
    cl.m_nLength += static_cast<unsigned>(nChiffres);
    cl._Termine();
}

} // namespace

template <class T>
const T CXYStringConcat<T>::ChaineVide[1] = {0};

template <class T>
CXYStringConcat<T>::~CXYStringConcat()
{
    XMALLOC_Del_(m_pBuffer);
}

template <class T>
void CXYStringConcat<T>::_Reserve(unsigned long long nNeeded, const void** ppSource)
{
    const unsigned long long nTotal = static_cast<unsigned long long>(m_nLength) + nNeeded;
    if (m_pBuffer != nullptr && nTotal <= m_nCapacity)
        return;
    if (nTotal > kMaxUnits)
        throw std::bad_alloc();
    // A step of 0 would divide by zero: the module's step stands in.
    const unsigned long long nStep = m_nStep == 0 ? 1024 : m_nStep;
    unsigned long long nCapacity = (nTotal / nStep + 1) * nStep;
    if (nCapacity > kMaxUnits)
        nCapacity = kMaxUnits;
    const unsigned long long nOctets = (nCapacity + 1) * sizeof(T);
    if (nOctets > SIZE_MAX)
        throw std::bad_alloc();

    // A source inside the buffer is found again at its offset: realloc keeps
    // the content.
    std::size_t nDecalage = 0;
    bool bDedans = false;
    if (ppSource != nullptr && *ppSource != nullptr && m_pBuffer != nullptr) {
        const std::uintptr_t a = reinterpret_cast<std::uintptr_t>(m_pBuffer);
        const std::uintptr_t x = reinterpret_cast<std::uintptr_t>(*ppSource);
        if (x >= a && x - a < (static_cast<std::size_t>(m_nCapacity) + 1) * sizeof(T)) {
            bDedans = true;
            nDecalage = x - a;
        }
    }
    void* p = XMALLOC_pResize_(m_pBuffer, static_cast<std::size_t>(nOctets));
    if (p == nullptr)
        throw std::bad_alloc();
    m_pBuffer = static_cast<T*>(p);
    m_nCapacity = static_cast<unsigned>(nCapacity);
    if (bDedans)
        *ppSource = static_cast<const unsigned char*>(p) + nDecalage;
}

// ---- Appends --------------------------------------------------------------------

template <class T>
void CXYStringConcat<T>::Add(const T* s, int n)
{
    const unsigned long long k = nUnites(s, n);
    if (k == 0)
        return;
    const void* pSource = s;
    _Reserve(k, &pSource);
    // memmove: a source inside the buffer may run into the room past the text.
    std::memmove(m_pBuffer + m_nLength, pSource, static_cast<std::size_t>(k) * sizeof(T));
    m_nLength += static_cast<unsigned>(k);
    _Termine();
}

template <class T>
void CXYStringConcat<T>::Add(const T* s)
{
    Add(s, -1);
}

template <class T>
void CXYStringConcat<T>::AddWide(const wchar_t* s, int n, unsigned cp)
{
    if constexpr (bWide<T>()) {
        Add(s, n);
    } else {
        AjouteConverti(*this, s, nUnites(s, n), [cp](const wchar_t* src, int k, char* dst, int nDst) {
            return WideCharToMultiByte(cp, 0, src, k, dst, nDst, nullptr, nullptr);
        });
    }
}

template <class T>
void CXYStringConcat<T>::AddAnsi(const char* s, int n, unsigned cp)
{
    if constexpr (!bWide<T>()) {
        Add(s, n);
    } else {
        AjouteConverti(*this, s, nUnites(s, n), [cp](const char* src, int k, wchar_t* dst, int nDst) {
            return MultiByteToWideChar(cp, 0, src, k, dst, nDst);
        });
    }
}

template <class T>
void CXYStringConcat<T>::AddAnsiToUTF8(const char* s, int n, unsigned cp)
{
    if constexpr (bWide<T>()) {
        AddAnsi(s, n, cp);
    } else {
        AjouteConverti(*this, s, nUnites(s, n), [cp](const char* src, int k, char* dst, int nDst) {
            return MultiByteToUTF8(cp, src, k, dst, nDst, 0);
        });
    }
}

template <class T>
void CXYStringConcat<T>::AddNumber(int v, int width)
{
    AddNumber(static_cast<long long>(v), width);
}

template <class T>
void CXYStringConcat<T>::AddNumber(long long v, int width)
{
    T sz[24];
    if constexpr (bWide<T>())
        i64tow(v, sz, 10);
    else
        i64toa(v, sz, 10);
    AjouteChiffres(*this, sz, width != -1 && v > 0, width);
}

template <class T>
void CXYStringConcat<T>::AddNumberHexa(unsigned char v)
{
    AjouteHexa(*this, v, 2);
}

template <class T>
void CXYStringConcat<T>::AddNumberHexa(unsigned short v)
{
    AjouteHexa(*this, v, 4);
}

template <class T>
void CXYStringConcat<T>::AddNumberHexa(unsigned int v)
{
    AjouteHexa(*this, v, 8);
}

template <class T>
void CXYStringConcat<T>::AddNumberHexa(unsigned long long v)
{
    AjouteHexa(*this, v, 16);
}

template <class T>
void CXYStringConcat<T>::AddNumberBinary(unsigned char v, int bMsbFirst)
{
    _Reserve(8);
    T* pDest = m_pBuffer + m_nLength;
    for (int i = 0; i < 8; ++i) {
        const int nBit = bMsbFirst ? 7 - i : i;
        pDest[i] = static_cast<T>((v >> nBit) & 1 ? '1' : '0');
    }
    m_nLength += 8;
    _Termine();
}

// ---- Queries and in-place changes -------------------------------------------------

template <class T>
bool CXYStringConcat<T>::bEstEgal(const T* s) const
{
    if (m_nLength == 0)
        return s == nullptr || s[0] == 0;
    if (s == nullptr)
        return false;
    // As the C comparison: both texts end at their first terminator.
    for (unsigned i = 0; i < m_nLength; ++i) {
        if (s[i] != m_pBuffer[i])
            return false;
        if (s[i] == 0)
            return true;
    }
    return s[m_nLength] == 0;
}

template <class T>
int CXYStringConcat<T>::nPos(const T* s, int start) const
{
    return s != nullptr ? nTrouve(*this, s, start) : -1;
}

template <class T>
int CXYStringConcat<T>::nPos(T c, int start) const
{
    return nTrouve(*this, c, start);
}

template <class T>
void CXYStringConcat<T>::Majuscule()
{
    if (m_nLength != 0)
        STR_ToUpperBuff(m_pBuffer, static_cast<int>(m_nLength));
}

template <class T>
void CXYStringConcat<T>::Remplace(const T* from, int fromLen, const T* to, int toLen, int start)
{
    const unsigned long long nDe = nUnites(from, fromLen);
    if (nDe == 0 || m_nLength == 0 || m_nLength < nDe || start < 0 || static_cast<unsigned>(start) > m_nLength)
        return;
    unsigned long long nPar = nUnites(to, toLen);
    if (nPar == 0)
        to = nullptr;

    typedef std::basic_string_view<T> CVue;
    const CVue clTexte(m_pBuffer, m_nLength);
    const CVue clDe(from, static_cast<std::size_t>(nDe));
    std::size_t p = clTexte.find(clDe, static_cast<std::size_t>(start));
    if (p == CVue::npos)
        return;

    // Built aside: from and to may lie in the buffer, and a failed growth
    // must leave the text as it was.
    CXYStringConcat<T> clNouveau;
    clNouveau.m_nStep = m_nStep;
    if (nDe == nPar) {
        clNouveau.Add(to, static_cast<int>(nPar));
        while (p != CVue::npos) {
            std::memcpy(m_pBuffer + p, clNouveau.m_pBuffer, static_cast<std::size_t>(nPar) * sizeof(T));
            p = clTexte.find(clDe, p + static_cast<std::size_t>(nDe));
        }
        return;
    }
    std::size_t nDebut = 0;
    while (p != CVue::npos) {
        clNouveau.Add(m_pBuffer + nDebut, static_cast<int>(p - nDebut));
        clNouveau.Add(to, static_cast<int>(nPar));
        nDebut = p + static_cast<std::size_t>(nDe);
        p = clTexte.find(clDe, nDebut);
    }
    clNouveau.Add(m_pBuffer + nDebut, static_cast<int>(m_nLength - nDebut));

    XMALLOC_Del_(m_pBuffer);
    m_pBuffer = clNouveau.m_pBuffer;
    m_nLength = clNouveau.m_nLength;
    m_nCapacity = clNouveau.m_nCapacity;
    clNouveau.m_pBuffer = nullptr;
    clNouveau.m_nLength = 0;
    clNouveau.m_nCapacity = 0;
}

// ---- Helpers ------------------------------------------------------------------------

template <class T>
void CXYStringConcat<T>::_AddPrefix0(T* text, int width)
{
    if (text == nullptr || width <= 0)
        return;
    const std::size_t n = TXT_nLen(text);
    const std::size_t nLargeur = static_cast<std::size_t>(width);
    if (n >= nLargeur)
        return;
    std::memmove(text + (nLargeur - n), text, (n + 1) * sizeof(T));
    for (std::size_t i = 0; i < nLargeur - n; ++i)
        text[i] = static_cast<T>('0');
}

template <class T>
int CXYStringConcat<T>::_nUTF8ToX(const char* s, int n, T* dest, int cp)
{
    const unsigned long long k = nUnites(s, n);
    if (k == 0 || dest == nullptr || k > INT_MAX)
        return 0;
    const int nOctets = static_cast<int>(k);
    int r = 0;
    if constexpr (bWide<T>()) {
        r = MultiByteToWideChar(CP_UTF8, 0, s, nOctets, dest, nOctets);
    } else if (cp == CP_UTF8) {
        std::memcpy(dest, s, k);
        r = nOctets;
    } else {
        r = UTF8ToMultiByte(static_cast<unsigned>(cp), s, nOctets, dest, nOctets, 0, nullptr, nullptr);
    }
    return r > 0 ? r : 0;
}

template class CXYStringConcat<char>;
template class CXYStringConcat<wchar_t>;
