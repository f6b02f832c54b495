#include "common/text/TStringConcatAW.h"

#include "common/text/CodePage.h"
#include "common/text/TextBasics.h"
#include "common/text/UnicodeCodec.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace {

const unsigned kCodePageBuilder = 0xFFFFFFFFu;


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

inline int nEntier(unsigned long long n)
{
    if (n > INT_MAX)
        throw std::bad_alloc();
    return static_cast<int>(n);
}

template <class T>
bool bDansBuffer(const CXYStringConcat<T>& cl, const void* p)
{
    if (cl.m_pBuffer == nullptr || p == nullptr)
        return false;
    const std::uintptr_t a = reinterpret_cast<std::uintptr_t>(cl.m_pBuffer);
    const std::uintptr_t x = reinterpret_cast<std::uintptr_t>(p);
    return x >= a && x - a < (static_cast<std::size_t>(cl.m_nCapacity) + 1) * sizeof(T);
}

// Replaces nRetire units at pos (pos + nRetire <= length) by nSource units.
// A source inside the buffer is copied first: the move below would overwrite
// it.
template <class T>
void Remplacer(CXYStringConcat<T>& cl, unsigned pos, unsigned nRetire, const T* pSource, unsigned long long nSource)
{
    CXYStringConcat<T> clCopie;
    if (nSource > 0 && bDansBuffer(cl, pSource)) {
        clCopie.Add(pSource, nEntier(nSource));
        pSource = clCopie.m_pBuffer;
    }
    if (nSource > nRetire)
        cl._Reserve(nSource - nRetire);
    if (cl.m_pBuffer == nullptr)
        return;
    T* p = cl.m_pBuffer;
    const unsigned nFin = cl.m_nLength - pos - nRetire;
    std::memmove(p + pos + nSource, p + pos + nRetire, static_cast<std::size_t>(nFin) * sizeof(T));
    if (nSource > 0)
        std::memcpy(p + pos, pSource, static_cast<std::size_t>(nSource) * sizeof(T));
    cl.m_nLength = static_cast<unsigned>(cl.m_nLength - nRetire + nSource);
    cl._Termine();
}

template <class T>
void Tronquer(CXYStringConcat<T>& cl, unsigned n)
{
    cl.m_nLength = n;
    cl._Termine();
}

// Takes the text of the other buffer; the step stays.
template <class T>
void Reprend(CXYStringConcat<T>& cl, CXYStringConcat<T>& clSource)
{
    std::swap(cl.m_pBuffer, clSource.m_pBuffer);
    std::swap(cl.m_nLength, clSource.m_nLength);
    std::swap(cl.m_nCapacity, clSource.m_nCapacity);
}

// Runs the step on the master form: the wide buffer when bLarge, else the
// 8-bit one.
template <class F>
void SurMaitre(bool bLarge, CXYStringConcat<wchar_t>& clW, CXYStringConcat<char>& clA, F etape)
{
    if (bLarge)
        etape(clW);
    else
        etape(clA);
}

// The units that a replacement at pos takes out of a master text of nTaille
// units: n of them, or up to the end when n < 0 or past it. False when pos
// is outside the text.
bool bPlage(unsigned nTaille, int pos, int n, unsigned& nRetire)
{
    if (nTaille == 0 || pos < 0 || static_cast<unsigned>(pos) > nTaille)
        return false;
    const unsigned nReste = nTaille - static_cast<unsigned>(pos);
    nRetire = n < 0 || static_cast<unsigned>(n) > nReste ? nReste : static_cast<unsigned>(n);
    return true;
}

// Wide text in code page cp into out (emptied first); false when a
// character had no place in the page or nothing came out.
bool bVersPage(const wchar_t* s, unsigned long long k, unsigned cp, CXYStringConcat<char>& out)
{
    out.m_nLength = 0;
    if (k == 0)
        return true;
    const int n = nEntier(k);
    out._Reserve(4 * k);
    int bDefaut = 0;
    const int r = WideCharToMultiByte(cp, 0, s, n, out.m_pBuffer, nEntier(4 * k), nullptr, &bDefaut);
    if (r > 0)
        out.m_nLength = static_cast<unsigned>(r);
    out._Termine();
    return r > 0 && !bDefaut;
}

} // namespace

void CTStringConcatAW::_Invalide()
{
    if (bMasterWide())
        m_clA.m_nLength = 0;
    else
        m_clW.m_nLength = 0;
}

bool CTStringConcatAW::_bVersMaitreA(const wchar_t* s, int n, CXYStringConcat<char>& out) const
{
    return bVersPage(s, nUnites(s, n), static_cast<unsigned>(m_nMasterCodePage), out);
}

bool CTStringConcatAW::_bVersMaitreA(const char* s, int n, unsigned cp, CXYStringConcat<char>& out) const
{
    out.m_nLength = 0;
    const unsigned long long k = nUnites(s, n);
    if (k == 0)
        return true;
    if (cp == kCodePageBuilder)
        cp = m_nCodePage;
    const unsigned nMaitre = static_cast<unsigned>(m_nMasterCodePage);
    if (cp == nMaitre) {
        out.Add(s, nEntier(k));
        return true;
    }
    if (nMaitre == CP_UTF8) {
        out.AddAnsiToUTF8(s, nEntier(k), cp);
        return out.m_nLength > 0;
    }
    CXYStringConcat<wchar_t> clW;
    clW.AddAnsi(s, nEntier(k), cp);
    if (clW.m_nLength == 0)
        return false;
    return bVersPage(clW.m_pBuffer, clW.m_nLength, nMaitre, out);
}

// ---- Reading --------------------------------------------------------------------------

const char* CTStringConcatAW::pszGetA()
{
    if (m_clA.m_nLength != 0)
        return m_clA.m_pBuffer;
    if (!bMasterWide() || m_clW.m_nLength == 0)
        return CXYStringConcat<char>::ChaineVide;
    m_clA.AddWide(m_clW.m_pBuffer, static_cast<int>(m_clW.m_nLength), m_nCodePage);
    return m_clA.pszGet();
}

const wchar_t* CTStringConcatAW::pszGetW()
{
    if (m_clW.m_nLength != 0)
        return m_clW.m_pBuffer;
    if (bMasterWide() || m_clA.m_nLength == 0)
        return CXYStringConcat<wchar_t>::ChaineVide;
    m_clW.AddAnsi(m_clA.m_pBuffer, static_cast<int>(m_clA.m_nLength), static_cast<unsigned>(m_nMasterCodePage));
    return m_clW.pszGet();
}

wchar_t CTStringConcatAW::cGetCharW(int i)
{
    pszGetW();
    if (i < 0 || static_cast<unsigned>(i) >= m_clW.m_nLength)
        return 0;
    return m_clW.m_pBuffer[i];
}

char CTStringConcatAW::cGetCharA(int i)
{
    pszGetA();
    if (i < 0 || static_cast<unsigned>(i) >= m_clA.m_nLength)
        return 0;
    return m_clA.m_pBuffer[i];
}

bool CTStringConcatAW::bIsCharSpace(int i) const
{
    if (i < 0 || static_cast<unsigned>(i) >= _nLongueurMaitre())
        return false;
    return bMasterWide() ? m_clW.m_pBuffer[i] == L' ' : m_clA.m_pBuffer[i] == ' ';
}

int CTStringConcatAW::nPos(wchar_t c, int start)
{
    if (bMasterWide())
        return m_clW.nPos(c, start);
    // The character may take several bytes in the master code page (UTF-8).
    CXYStringConcat<char> clA;
    if (c == 0 || !bVersPage(&c, 1, static_cast<unsigned>(m_nMasterCodePage), clA))
        return -1;
    return m_clA.nPos(clA.pszGet(), start);
}

int CTStringConcatAW::nPos(char c, int start)
{
    if (bMasterWide()) {
        const wchar_t w = STR_CharToWChar(c, 0, m_nCodePage);
        return w == 0 ? -1 : m_clW.nPos(w, start);
    }
    if (static_cast<unsigned char>(c) < 0x80 || m_nCodePage == static_cast<unsigned>(m_nMasterCodePage))
        return m_clA.nPos(c, start);
    CXYStringConcat<char> clA;
    if (!_bVersMaitreA(&c, 1, m_nCodePage, clA) || clA.m_nLength == 0)
        return -1;
    return m_clA.nPos(clA.pszGet(), start);
}

int CTStringConcatAW::nPos(const wchar_t* s, int start)
{
    if (s == nullptr)
        return -1;
    if (bMasterWide())
        return m_clW.nPos(s, start);
    CXYStringConcat<char> clA;
    if (!_bVersMaitreA(s, -1, clA))
        return -1;
    return m_clA.nPos(clA.pszGet(), start);
}

int CTStringConcatAW::nPos(const char* s, int start)
{
    if (s == nullptr)
        return -1;
    if (bMasterWide()) {
        CXYStringConcat<wchar_t> clW;
        clW.AddAnsi(s, -1, m_nCodePage);
        if (s[0] != 0 && clW.m_nLength == 0)
            return -1;
        return m_clW.nPos(clW.pszGet(), start);
    }
    CXYStringConcat<char> clA;
    if (!_bVersMaitreA(s, -1, m_nCodePage, clA) || (s[0] != 0 && clA.m_nLength == 0))
        return -1;
    return m_clA.nPos(clA.pszGet(), start);
}

// ---- Appending ------------------------------------------------------------------------

void CTStringConcatAW::Add(const wchar_t* s, int n, unsigned cp)
{
    if (nUnites(s, n) == 0)
        return;
    if (bMasterWide())
        m_clW.Add(s, n);
    else
        m_clA.AddWide(s, n, static_cast<unsigned>(m_nMasterCodePage));
    _Invalide();
}

void CTStringConcatAW::Add(const char* s, int n, unsigned cp)
{
    const unsigned long long k = nUnites(s, n);
    if (k == 0)
        return;
    if (cp == kCodePageBuilder)
        cp = m_nCodePage;
    const unsigned nMaitre = static_cast<unsigned>(m_nMasterCodePage);
    if (bMasterWide()) {
        m_clW.AddAnsi(s, n, cp);
    } else if (cp == nMaitre) {
        m_clA.Add(s, n);
    } else if (nMaitre == CP_UTF8) {
        m_clA.AddAnsiToUTF8(s, n, cp);
    } else {
        // Through wide text; the stale wide form lends its buffer.
        m_clW.m_nLength = 0;
        m_clW.AddAnsi(s, nEntier(k), cp);
        m_clA.AddWide(m_clW.m_pBuffer, static_cast<int>(m_clW.m_nLength), nMaitre);
    }
    _Invalide();
}

void CTStringConcatAW::AddUTF8(const char* s, int n)
{
    const unsigned long long k = nUnites(s, n);
    if (k == 0)
        return;
    const unsigned nMaitre = static_cast<unsigned>(m_nMasterCodePage);
    if (bMasterWide()) {
        m_clW._Reserve(k);
        const int r = CXYStringConcat<wchar_t>::_nUTF8ToX(s, nEntier(k), m_clW.m_pBuffer + m_clW.m_nLength, 0);
        m_clW.m_nLength += static_cast<unsigned>(r);
        m_clW._Termine();
    } else if (nMaitre == CP_UTF8) {
        m_clA.Add(s, n);
    } else {
        // Room for pages where a character takes more bytes than in UTF-8.
        const void* pSource = s;
        m_clA._Reserve(2 * k, &pSource);
        const int r = UTF8ToMultiByte(nMaitre, static_cast<const char*>(pSource), nEntier(k),
                                      m_clA.m_pBuffer + m_clA.m_nLength, nEntier(2 * k), 0, nullptr, nullptr);
        if (r > 0)
            m_clA.m_nLength += static_cast<unsigned>(r);
        m_clA._Termine();
    }
    _Invalide();
}

void CTStringConcatAW::AddNumber(int v, int width)
{
    SurMaitre(bMasterWide(), m_clW, m_clA, [v, width](auto& cl) { cl.AddNumber(v, width); });
    _Invalide();
}

void CTStringConcatAW::AddNumber(long long v, int width)
{
    SurMaitre(bMasterWide(), m_clW, m_clA, [v, width](auto& cl) { cl.AddNumber(v, width); });
    _Invalide();
}

void CTStringConcatAW::AddNumberHexa(unsigned char v)
{
    SurMaitre(bMasterWide(), m_clW, m_clA, [v](auto& cl) { cl.AddNumberHexa(v); });
    _Invalide();
}

void CTStringConcatAW::AddNumberHexa(unsigned short v)
{
    SurMaitre(bMasterWide(), m_clW, m_clA, [v](auto& cl) { cl.AddNumberHexa(v); });
    _Invalide();
}

void CTStringConcatAW::AddNumberHexa(unsigned int v)
{
    SurMaitre(bMasterWide(), m_clW, m_clA, [v](auto& cl) { cl.AddNumberHexa(v); });
    _Invalide();
}

void CTStringConcatAW::AddNumberHexa(unsigned long long v)
{
    SurMaitre(bMasterWide(), m_clW, m_clA, [v](auto& cl) { cl.AddNumberHexa(v); });
    _Invalide();
}

// ---- Changing -------------------------------------------------------------------------

void CTStringConcatAW::Majuscule()
{
    if (_nLongueurMaitre() == 0)
        return;
    if (bMasterWide()) {
        m_clW.Majuscule();
    } else if (static_cast<unsigned>(m_nMasterCodePage) != CP_UTF8) {
        m_clA.Majuscule();
    } else {
        // Byte by byte would change the bytes inside UTF-8 sequences: through
        // the wide form, built aside so that a failure keeps the text.
        pszGetW();
        m_clW.Majuscule();
        CXYStringConcat<char> clA;
        clA.m_nStep = m_clA.m_nStep;
        clA.AddWide(m_clW.m_pBuffer, static_cast<int>(m_clW.m_nLength), CP_UTF8);
        if (clA.m_nLength != 0)
            Reprend(m_clA, clA);
    }
    _Invalide();
}

void CTStringConcatAW::Tronque(int n)
{
    const unsigned nTaille = _nLongueurMaitre();
    if (nTaille == 0 || (n > 0 && static_cast<unsigned>(n) > nTaille))
        return;
    unsigned nGarde = n <= 0 ? 0 : static_cast<unsigned>(n);
    if (bMasterWide()) {
        Tronquer(m_clW, nGarde);
    } else {
        if (static_cast<unsigned>(m_nMasterCodePage) == CP_UTF8) {
            // Back to the first byte of the character cut through.
            while (nGarde > 0 && nGarde < nTaille && (static_cast<unsigned char>(m_clA.m_pBuffer[nGarde]) & 0xC0) == 0x80)
                --nGarde;
        }
        Tronquer(m_clA, nGarde);
    }
    _Invalide();
}

void CTStringConcatAW::Coupe(int pos, int n)
{
    const unsigned nTaille = _nLongueurMaitre();
    if (nTaille == 0 || (pos > 0 && static_cast<unsigned>(pos) > nTaille))
        return;
    if (pos < 0) {
        n += pos;
        pos = 0;
    }
    if (n <= 0)
        return;
    const unsigned nDebut = static_cast<unsigned>(pos);
    if (static_cast<unsigned long long>(nDebut) + static_cast<unsigned>(n) >= nTaille) {
        if (bMasterWide())
            Tronquer(m_clW, nDebut);
        else
            Tronquer(m_clA, nDebut);
    } else if (bMasterWide()) {
        Remplacer<wchar_t>(m_clW, nDebut, static_cast<unsigned>(n), nullptr, 0);
    } else {
        Remplacer<char>(m_clA, nDebut, static_cast<unsigned>(n), nullptr, 0);
    }
    _Invalide();
}

void CTStringConcatAW::Remplace(int pos, int n, const wchar_t* s, int sLen)
{
    unsigned nRetire;
    if (!bPlage(_nLongueurMaitre(), pos, n, nRetire))
        return;
    const unsigned nDebut = static_cast<unsigned>(pos);
    if (bMasterWide()) {
        Remplacer(m_clW, nDebut, nRetire, s, nUnites(s, sLen));
    } else {
        CXYStringConcat<char> clA;
        _bVersMaitreA(s, sLen, clA);
        Remplacer(m_clA, nDebut, nRetire, clA.m_pBuffer, clA.m_nLength);
    }
    _Invalide();
}

void CTStringConcatAW::Remplace(int pos, int n, const char* s, int sLen)
{
    unsigned nRetire;
    if (!bPlage(_nLongueurMaitre(), pos, n, nRetire))
        return;
    const unsigned nDebut = static_cast<unsigned>(pos);
    if (bMasterWide()) {
        CXYStringConcat<wchar_t> clW;
        clW.AddAnsi(s, sLen, m_nCodePage);
        Remplacer(m_clW, nDebut, nRetire, clW.m_pBuffer, clW.m_nLength);
    } else {
        CXYStringConcat<char> clA;
        _bVersMaitreA(s, sLen, kCodePageBuilder, clA);
        Remplacer(m_clA, nDebut, nRetire, clA.m_pBuffer, clA.m_nLength);
    }
    _Invalide();
}

// Inserting is replacing nothing; at or past the end it is appending.
void CTStringConcatAW::Insert(const wchar_t* s, int n, int pos)
{
    if (nUnites(s, n) == 0)
        return;
    if (pos < 0)
        pos = 0;
    if (static_cast<unsigned>(pos) >= _nLongueurMaitre())
        Add(s, n, kCodePageBuilder);
    else
        Remplace(pos, 0, s, n);
}

void CTStringConcatAW::Insert(const char* s, int n, int pos)
{
    if (nUnites(s, n) == 0)
        return;
    if (pos < 0)
        pos = 0;
    if (static_cast<unsigned>(pos) >= _nLongueurMaitre())
        Add(s, n, kCodePageBuilder);
    else
        Remplace(pos, 0, s, n);
}

void CTStringConcatAW::Remplace(const wchar_t* from, int fromLen, const wchar_t* to, int toLen, int start)
{
    if (_nLongueurMaitre() == 0 || nUnites(from, fromLen) == 0)
        return;
    if (bMasterWide()) {
        m_clW.Remplace(from, fromLen, to, toLen, start);
    } else {
        // A text the master code page cannot hold cannot be found in it.
        CXYStringConcat<char> clDe;
        CXYStringConcat<char> clPar;
        if (!_bVersMaitreA(from, fromLen, clDe))
            return;
        _bVersMaitreA(to, toLen, clPar);
        m_clA.Remplace(clDe.m_pBuffer, static_cast<int>(clDe.m_nLength), clPar.m_pBuffer,
                       static_cast<int>(clPar.m_nLength), start);
    }
    _Invalide();
}

void CTStringConcatAW::Remplace(const char* from, int fromLen, const char* to, int toLen, int start)
{
    if (_nLongueurMaitre() == 0 || nUnites(from, fromLen) == 0)
        return;
    if (bMasterWide()) {
        CXYStringConcat<wchar_t> clDe;
        CXYStringConcat<wchar_t> clPar;
        clDe.AddAnsi(from, fromLen, m_nCodePage);
        clPar.AddAnsi(to, toLen, m_nCodePage);
        m_clW.Remplace(clDe.m_pBuffer, static_cast<int>(clDe.m_nLength), clPar.m_pBuffer,
                       static_cast<int>(clPar.m_nLength), start);
    } else {
        CXYStringConcat<char> clDe;
        CXYStringConcat<char> clPar;
        if (!_bVersMaitreA(from, fromLen, kCodePageBuilder, clDe))
            return;
        _bVersMaitreA(to, toLen, kCodePageBuilder, clPar);
        m_clA.Remplace(clDe.m_pBuffer, static_cast<int>(clDe.m_nLength), clPar.m_pBuffer,
                       static_cast<int>(clPar.m_nLength), start);
    }
    _Invalide();
}
