#include "common/text/Tstring.h"

#include "common/platform/FormatWin.h"
#include "common/text/CodePage.h"
#include "common/text/STR.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"
#include "common/text/TextCompare.h"
#include "common/text/XYString.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <dlfcn.h>
#include <malloc.h>
#include <memory>
#include <new>

namespace {

const wchar_t s_szVide[1] = {0};

// Largest character count whose buffer (count + 1 characters) has a byte size
// that fits size_t.
const size_t kMaxCaracteres = SIZE_MAX / sizeof(wchar_t) - 1;

size_t nSomme(size_t a, size_t b)
{
    if (b > kMaxCaracteres || a > kMaxCaracteres - b)
        throw std::bad_alloc();
    return a + b;
}
// Work area of a rebuild: on the stack for small texts, on the heap beyond.
class CZoneTravail {
public:
    explicit CZoneTravail(size_t n)
    {
        if (n < kPile) {
            m_p = m_aPile;
        } else {
            m_p = static_cast<wchar_t*>(XMALLOC_pNew_(nSomme(n, 1) * sizeof(wchar_t)));
            if (m_p == nullptr)
                throw std::bad_alloc();
        }
    }
    ~CZoneTravail()
    {
        if (m_p != m_aPile)
            XMALLOC_Del_(m_p);
    }
    CZoneTravail(const CZoneTravail&) = delete;
    CZoneTravail& operator=(const CZoneTravail&) = delete;
    wchar_t* p() { return m_p; }

private:
    static const size_t kPile = 1025;
    wchar_t m_aPile[kPile];
    wchar_t* m_p;
};

// The n characters of psz mapped to upper case one by one into pOut, then a
// terminator.
void MappeMajuscules(const wchar_t* psz, size_t n, wchar_t* pOut)
{
    for (size_t i = 0; i < n; ++i) {
        pOut[i] = psz[i];
        STR_nMapCharEx(1 /* upper case */, &pOut[i], psz[i]);
    }
    pOut[n] = 0;
}

// Writes the three parts one after the other at p.
void CopieTrois(wchar_t* p, const wchar_t* a, size_t na, const wchar_t* b, size_t nb, const wchar_t* c, size_t nc)
{
    if (na > 0)
        memcpy(p, a, na * sizeof(wchar_t));
    p += na;
    if (nb > 0)
        memcpy(p, b, nb * sizeof(wchar_t));
    p += nb;
    if (nc > 0)
        memcpy(p, c, nc * sizeof(wchar_t));
}

// Field n of psz: the separators, nSep characters long, are found by
// suivant(p), null when none is left.
template <typename Suivant>
bool bChercheChamp(const wchar_t* psz, long long n, size_t nSep, Suivant suivant, const wchar_t** ppszDebut,
                   int* pnTaille)
{
    const wchar_t* p = psz;
    for (long long i = 0; i < n; ++i) {
        const wchar_t* q = suivant(p);
        if (q == nullptr)
            return false;
        p = q + nSep;
    }
    const wchar_t* pFin = suivant(p);
    *ppszDebut = p;
    *pnTaille = static_cast<int>(pFin == nullptr ? wcslen(p) : static_cast<size_t>(pFin - p));
    return true;
}

// tempnam is reached at run time: the linker warns on every direct reference
// to it, in every program that links this file. Only a name is wanted here,
// the caller makes the file.
typedef char* (*PFN_TEMPNAM)(const char*, const char*);

PFN_TEMPNAM pfnGetTempnam()
{
    static const PFN_TEMPNAM s_pfn = reinterpret_cast<PFN_TEMPNAM>(dlsym(RTLD_DEFAULT, "tempnam"));
    return s_pfn;
}

}  // namespace

// ---- Buffer -----------------------------------------------------------------

// Room for n characters and the terminator; writes no terminator.
void CTString::_SetBufferSize(size_t n)
{
    if (n > kMaxCaracteres)
        throw std::bad_alloc();
    void* p = XMALLOC_pResize_(m_psz, (n + 1) * sizeof(wchar_t));
    if (p == nullptr)
        throw std::bad_alloc();
    m_psz = static_cast<wchar_t*>(p);
}

size_t CTString::_nCapacite() const
{
    return m_psz == nullptr ? 0 : malloc_usable_size(m_psz) / sizeof(wchar_t);
}

bool CTString::_bDansBuffer(const wchar_t* p) const
{
    if (m_psz == nullptr || p == nullptr)
        return false;
    const uintptr_t a = reinterpret_cast<uintptr_t>(m_psz);
    const uintptr_t x = reinterpret_cast<uintptr_t>(p);
    return x >= a && x - a < malloc_usable_size(m_psz);
}

// A source inside the own buffer is copied aside before the buffer moves.
const wchar_t* CTString::_pszHorsBuffer(const wchar_t* p, size_t n, CTString& clCopie) const
{
    if (!_bDansBuffer(p))
        return p;
    clCopie.SetFromBinary(p, static_cast<unsigned>(n));
    return clCopie.m_psz;
}

void CTString::_SetN(const wchar_t* psz, size_t n)
{
    CTString clCopie;
    psz = _pszHorsBuffer(psz, n, clCopie);
    if (m_psz == nullptr || wcslen(m_psz) != n)
        _SetBufferSize(n);
    if (n > 0)
        memcpy(m_psz, psz, n * sizeof(wchar_t));
    m_psz[n] = 0;
}

void CTString::_AddN(const wchar_t* psz, size_t n)
{
    if (n == 0)
        return;
    CTString clCopie;
    psz = _pszHorsBuffer(psz, n, clCopie);
    const size_t nLen = TXT_nLen(m_psz);
    _SetBufferSize(nSomme(nLen, n));
    memcpy(m_psz + nLen, psz, n * sizeof(wchar_t));
    m_psz[nLen + n] = 0;
}

// ---- Construction and setting -------------------------------------------------

CTString::CTString(const wchar_t* psz) : m_psz(nullptr) { Set(psz); }

CTString::CTString(const CTString& cl) : m_psz(nullptr) { Set(cl.m_psz); }

CTString::CTString(const wchar_t* psz, int n) : m_psz(nullptr)
{
    if (n >= 0)
        Set(psz, static_cast<unsigned>(n));
}

CTString::CTString(const wchar_t* a, const wchar_t* b, const wchar_t* c) : m_psz(nullptr) { Set(a, b, c); }

CTString::CTString(const char* psz) : m_psz(nullptr) { SetANSIEx(psz, -1, CP_1252); }

CTString::~CTString() { XMALLOC_Del_(m_psz); }

CTString& CTString::operator=(const wchar_t* psz)
{
    Set(psz);
    return *this;
}

CTString& CTString::operator=(wchar_t* psz)
{
    Set(psz);
    return *this;
}

CTString& CTString::operator=(const CTString& cl)
{
    if (&cl != this)
        Set(cl.m_psz);
    return *this;
}

CTString& CTString::operator=(wchar_t c)
{
    Set(c);
    return *this;
}

void CTString::Set(const wchar_t* psz)
{
    if (psz == m_psz && psz != nullptr)
        return;
    if (psz == nullptr || *psz == 0) {
        Vide();
        return;
    }
    _SetN(psz, wcslen(psz));
}

void CTString::SetUNICODE(const wchar_t* psz) { Set(psz); }

void CTString::Set(const wchar_t* psz, unsigned n)
{
    if (psz == nullptr) {
        Vide();
        return;
    }
    _SetN(psz, wcsnlen(psz, n));
}

void CTString::SetFromBinary(const wchar_t* psz, unsigned n)
{
    if (psz == nullptr) {
        Vide();
        return;
    }
    CTString clCopie;
    psz = _pszHorsBuffer(psz, n, clCopie);
    _SetBufferSize(n);
    if (n > 0)
        memcpy(m_psz, psz, static_cast<size_t>(n) * sizeof(wchar_t));
    m_psz[n] = 0;
}

void CTString::Set(const wchar_t* a, const wchar_t* b, const wchar_t* c)
{
    const size_t na = TXT_nLen(a), nb = TXT_nLen(b), nc = TXT_nLen(c);
    const size_t nTotal = nSomme(nSomme(na, nb), nc);
    if (nTotal == 0) {
        Vide();
        return;
    }
    if (_bDansBuffer(a) || _bDansBuffer(b) || _bDansBuffer(c)) {
        // Built aside: the parts are read from the buffer being replaced.
        CTString cl;
        cl.Set(a, b, c);
        Transfert(cl);
        return;
    }
    if (m_psz == nullptr || wcslen(m_psz) != nTotal)
        _SetBufferSize(nTotal);
    CopieTrois(m_psz, a, na, b, nb, c, nc);
    m_psz[nTotal] = 0;
}

void CTString::Set(wchar_t c)
{
    if (c == 0) {
        Vide();
        return;
    }
    _SetN(&c, 1);
}

void CTString::Set(const CXYString<wchar_t>& cl) { Set(cl.pszGet()); }

void CTString::Set(const CXYString<wchar_t>* pcl)
{
    if (pcl == nullptr)
        Vide();
    else
        Set(*pcl);
}

void CTString::SetI4(int n)
{
    wchar_t sz[40];
    Set(ltow(n, sz, 10));
}

void CTString::SetI8(long long ll)
{
    wchar_t sz[72];
    Set(i64tow(ll, sz, 10));
}

// Exactly n source bytes are converted; the terminator follows the characters
// produced, whatever their count, and a failed conversion leaves no text.
void CTString::SetANSIEx(const char* psz, int n, unsigned codePage)
{
    if (psz == nullptr || n < -1) {
        Vide();
        return;
    }
    if (n == -1)
        n = static_cast<int>(strlen(psz));
    CTString cl;
    cl._SetBufferSize(static_cast<size_t>(n));
    int nProduits = 0;
    if (n > 0) {
        nProduits = MultiByteToWideChar(codePage, 0, psz, n, cl.m_psz, n);
        if (nProduits <= 0 || nProduits > n) {
            // A page that gives more characters than bytes: ask for the size.
            const int nBesoin = MultiByteToWideChar(codePage, 0, psz, n, nullptr, 0);
            nProduits = 0;
            if (nBesoin > 0) {
                cl._SetBufferSize(static_cast<size_t>(nBesoin));
                nProduits = MultiByteToWideChar(codePage, 0, psz, n, cl.m_psz, nBesoin);
                if (nProduits > nBesoin)
                    nProduits = 0;
            }
            if (nProduits <= 0) {
                Vide();
                return;
            }
        }
    }
    cl.m_psz[nProduits] = 0;
    Transfert(cl);
}

void CTString::Vide()
{
    XMALLOC_Del_(m_psz);
    m_psz = nullptr;
}

void CTString::SetBuffer(wchar_t* psz)
{
    if (psz == m_psz)
        return;
    XMALLOC_Del_(m_psz);
    m_psz = psz;
}

void CTString::Transfert(CTString& cl)
{
    if (&cl == this)
        return;
    XMALLOC_Del_(m_psz);
    m_psz = cl.m_psz;
    cl.m_psz = nullptr;
}

// ---- Access -------------------------------------------------------------------

const wchar_t* CTString::pszGet() const { return m_psz == nullptr ? s_szVide : m_psz; }

int CTString::nTaille() const { return static_cast<int>(TXT_nLen(m_psz)); }

// Bounded by the buffer only, so that character loops stay linear.
wchar_t CTString::cGetChar(int i) const
{
    if (m_psz == nullptr || i < 0 || static_cast<size_t>(i) >= _nCapacite())
        return 0;
    return m_psz[i];
}

// Never overwrites the terminator with a character: the text would run off
// the buffer.
void CTString::SetChar(int i, wchar_t c)
{
    if (m_psz == nullptr || i < 0)
        return;
    const size_t nLen = wcslen(m_psz);
    if (static_cast<size_t>(i) < nLen)
        m_psz[i] = c;
}

bool CTString::bTerminePar(wchar_t c) const
{
    const size_t nLen = TXT_nLen(m_psz);
    return nLen > 0 && m_psz[nLen - 1] == c;
}

// ---- Search -------------------------------------------------------------------

int CTString::nPos(const wchar_t* psz, int nDebut) const
{
    if (m_psz == nullptr || *m_psz == 0 || nDebut < 0 || static_cast<size_t>(nDebut) > wcslen(m_psz))
        return -1;
    const wchar_t* p = wcsstr(m_psz + nDebut, psz == nullptr ? s_szVide : psz);
    return p == nullptr ? -1 : static_cast<int>(p - m_psz);
}

int CTString::nPos(wchar_t c, int nDebut) const
{
    if (m_psz == nullptr || *m_psz == 0 || c == 0 || nDebut < 0 ||
        static_cast<size_t>(nDebut) > wcslen(m_psz))
        return -1;
    const wchar_t* p = wcschr(m_psz + nDebut, c);
    return p == nullptr ? -1 : static_cast<int>(p - m_psz);
}

int CTString::nRPos(const wchar_t* psz) const
{
    if (m_psz == nullptr || *m_psz == 0 || psz == nullptr || *psz == 0)
        return -1;
    const wchar_t* pDernier = nullptr;
    for (const wchar_t* p = wcsstr(m_psz, psz); p != nullptr; p = wcsstr(p + 1, psz))
        pDernier = p;
    return pDernier == nullptr ? -1 : static_cast<int>(pDernier - m_psz);
}

int CTString::nRPos(wchar_t c) const
{
    if (m_psz == nullptr || *m_psz == 0 || c == 0)
        return -1;
    const wchar_t* p = wcsrchr(m_psz, c);
    return p == nullptr ? -1 : static_cast<int>(p - m_psz);
}

int CTString::nUpPos(const wchar_t* psz, int nDebut) const
{
    if (m_psz == nullptr || *m_psz == 0 || nDebut < 0)
        return -1;
    if (psz == nullptr)
        psz = s_szVide;
    const long long nLen = static_cast<long long>(wcslen(m_psz));
    const long long nMotif = static_cast<long long>(wcslen(psz));
    for (long long i = nDebut; i <= nLen - nMotif; ++i) {
        long long j = 0;
        while (j < nMotif && towupper(static_cast<wint_t>(m_psz[i + j])) == towupper(static_cast<wint_t>(psz[j])))
            ++j;
        if (j == nMotif)
            return static_cast<int>(i);
    }
    return -1;
}

int CTString::nPosParmi(const wchar_t* pszJeu) const
{
    if (m_psz == nullptr || *m_psz == 0 || pszJeu == nullptr)
        return -1;
    const wchar_t* p = wcspbrk(m_psz, pszJeu);
    return p == nullptr ? -1 : static_cast<int>(p - m_psz);
}

int CTString::nNbOcc(const wchar_t* psz) const
{
    if (m_psz == nullptr || *m_psz == 0 || psz == nullptr || *psz == 0)
        return 0;
    const size_t nMotif = wcslen(psz);
    int nNb = 0;
    for (const wchar_t* p = wcsstr(m_psz, psz); p != nullptr; p = wcsstr(p + nMotif, psz))
        ++nNb;
    return nNb;
}

// ---- Comparison -------------------------------------------------------------

bool CTString::operator==(const CTString& cl) const { return wcscmp(pszGet(), cl.pszGet()) == 0; }

bool CTString::operator!=(const CTString& cl) const { return !(*this == cl); }

bool CTString::bEstEgal(const wchar_t* psz) const
{
    if (psz == nullptr)
        psz = s_szVide;
    if (m_psz == nullptr || *m_psz == 0)
        return *psz == 0;
    return wcscmp(m_psz, psz) == 0;
}

bool CTString::bEstEgalI(const wchar_t* psz) const
{
    if (psz == nullptr)
        psz = s_szVide;
    if (m_psz == nullptr || *m_psz == 0)
        return *psz == 0;
    return STR_nUpCompareW(psz, m_psz, 2) == 0;
}

bool CTString::bEstEgalI(const CTString& cl) const { return STR_nUpCompareW(pszGet(), cl.pszGet(), 2) == 0; }

bool CTString::bCommencePar(const wchar_t* psz) const
{
    if (psz == nullptr)
        psz = s_szVide;
    return clGauche(static_cast<int>(wcslen(psz))) == CTString(psz);
}

bool CTString::bCommenceParI(const wchar_t* psz) const
{
    if (psz == nullptr)
        psz = s_szVide;
    return clGauche(static_cast<int>(wcslen(psz))).bEstEgalI(psz);
}

bool CTString::bTerminePar(const wchar_t* psz) const
{
    if (psz == nullptr)
        psz = s_szVide;
    return clDroite(static_cast<int>(wcslen(psz))).bEstEgal(psz);
}

bool CTString::bTermineParI(const wchar_t* psz) const
{
    if (psz == nullptr)
        psz = s_szVide;
    return clDroite(static_cast<int>(wcslen(psz))).bEstEgalI(psz);
}

// ---- Extraction -------------------------------------------------------------

CTString CTString::clMilieu(int nPos, int n) const
{
    CTString cl;
    if (m_psz == nullptr || *m_psz == 0 || nPos < 0 || n < 0)
        return cl;
    const size_t nLen = wcslen(m_psz);
    if (static_cast<size_t>(nPos) > nLen)
        return cl;
    size_t nCopie = static_cast<size_t>(n);
    if (nCopie > nLen - nPos)
        nCopie = nLen - nPos;
    cl._SetN(m_psz + nPos, nCopie);
    return cl;
}

CTString CTString::clMilieu(int nPos) const
{
    CTString cl;
    if (nPos >= 0 && static_cast<size_t>(nPos) <= TXT_nLen(m_psz))
        cl.Set(m_psz + nPos);
    return cl;
}

CTString CTString::clGauche(int n) const { return clMilieu(0, n); }

CTString CTString::clDroite(int n) const
{
    CTString cl;
    const size_t nLen = TXT_nLen(m_psz);
    if (n <= 0 || nLen == 0)
        return cl;
    const size_t nCopie = static_cast<size_t>(n) < nLen ? static_cast<size_t>(n) : nLen;
    cl._SetN(m_psz + nLen - nCopie, nCopie);
    return cl;
}

CTString CTString::clExclu(const wchar_t* pszJeu) const
{
    CTString cl;
    if (m_psz != nullptr)
        cl._SetN(m_psz, wcscspn(m_psz, pszJeu == nullptr ? s_szVide : pszJeu));
    return cl;
}

CTString CTString::clContientUniquement(const wchar_t* pszJeu) const
{
    CTString cl;
    if (m_psz != nullptr)
        cl._SetN(m_psz, wcsspn(m_psz, pszJeu == nullptr ? s_szVide : pszJeu));
    return cl;
}

CTString CTString::operator+(const wchar_t* psz) const
{
    CTString cl(*this);
    cl.Add(psz);
    return cl;
}

// Field n at a separator character; a NUL separator never matches.
bool CTString::_bChercheChamp(unsigned n, wchar_t sep, const wchar_t** ppszDebut, int* pnTaille) const
{
    if (m_psz == nullptr || *m_psz == 0)
        return false;
    return bChercheChamp(
        m_psz, n, 1, [sep](const wchar_t* p) -> const wchar_t* { return sep == 0 ? nullptr : wcschr(p, sep); },
        ppszDebut, pnTaille);
}

// Field n at a separator string; without a separator the text is one field.
bool CTString::_bChercheChamp(int n, const wchar_t* pszSep, const wchar_t** ppszDebut, int* pnTaille) const
{
    if (m_psz == nullptr)
        return false;
    const bool bSep = pszSep != nullptr && *pszSep != 0;
    return bChercheChamp(
        m_psz, n, bSep ? wcslen(pszSep) : 0,
        [&](const wchar_t* p) -> const wchar_t* { return bSep ? wcsstr(p, pszSep) : nullptr; }, ppszDebut,
        pnTaille);
}

bool CTString::bExtraitChaine(unsigned n, wchar_t sep, CTString* pclRes) const
{
    const wchar_t* p = nullptr;
    int nTaille = 0;
    if (!_bChercheChamp(n, sep, &p, &nTaille))
        return false;
    if (pclRes != nullptr)
        pclRes->_SetN(p, static_cast<size_t>(nTaille));
    return true;
}

bool CTString::bExtraitChaine(int n, const wchar_t* pszSep, CTString* pclRes) const
{
    const wchar_t* p = nullptr;
    int nTaille = 0;
    if (!_bChercheChamp(n, pszSep, &p, &nTaille))
        return false;
    if (pclRes != nullptr)
        pclRes->_SetN(p, static_cast<size_t>(nTaille));
    return true;
}

bool CTString::bExtraitChainePos(unsigned n, wchar_t sep, const wchar_t** ppszDebut, int* pnTaille) const
{
    const wchar_t* p = nullptr;
    int nTaille = 0;
    if (!_bChercheChamp(n, sep, &p, &nTaille))
        return false;
    if (ppszDebut != nullptr)
        *ppszDebut = p;
    if (pnTaille != nullptr)
        *pnTaille = nTaille;
    return true;
}

bool CTString::bExtraitChainePos(int n, const wchar_t* pszSep, const wchar_t** ppszDebut, int* pnTaille) const
{
    const wchar_t* p = nullptr;
    int nTaille = 0;
    if (!_bChercheChamp(n, pszSep, &p, &nTaille))
        return false;
    if (ppszDebut != nullptr)
        *ppszDebut = p;
    if (pnTaille != nullptr)
        *pnTaille = nTaille;
    return true;
}

bool CTString::bExtraitPosTailleChaine(int n, const wchar_t* pszSep, int* pnPos, int* pnTaille) const
{
    const wchar_t* p = nullptr;
    int nTaille = 0;
    if (!_bChercheChamp(n, pszSep, &p, &nTaille))
        return false;
    if (pnPos != nullptr)
        *pnPos = static_cast<int>(p - m_psz);
    if (pnTaille != nullptr)
        *pnTaille = nTaille;
    return true;
}

bool CTString::bExtraitEtRemplaceChaine(int n, const wchar_t* pszSep, const wchar_t* pszNouveau)
{
    int nPosChamp = 0;
    int nTaille = 0;
    if (!bExtraitPosTailleChaine(n, pszSep, &nPosChamp, &nTaille))
        return false;
    if (m_psz[nPosChamp] == 0)
        Add(pszNouveau);
    else
        Remplace(nPosChamp, nTaille, pszNouveau);
    return true;
}

bool CTString::bExtraitChaineTok(int n, const wchar_t* pszDelim, CTString* pclRes) const
{
    if (m_psz == nullptr)
        return false;
    if (n < 0) {
        if (pclRes != nullptr)
            pclRes->Vide();
        return true;
    }
    if (pszDelim == nullptr)
        pszDelim = s_szVide;
    // The wcstok split, without its private copy: runs of delimiters part
    // tokens and no token is empty.
    const wchar_t* p = m_psz;
    for (int i = 0;; ++i) {
        p += wcsspn(p, pszDelim);
        if (*p == 0)
            return false;
        const size_t nTok = wcscspn(p, pszDelim);
        if (i == n) {
            if (pclRes != nullptr)
                pclRes->_SetN(p, nTok);
            return true;
        }
        p += nTok;
    }
}

int CTString::PourTouteChaineSepareePar(const wchar_t* pszSep, IVisiteurPourTouteChaine* piVisiteur) const
{
    if (m_psz == nullptr || piVisiteur == nullptr)
        return 0;
    const bool bSep = pszSep != nullptr && *pszSep != 0;
    const size_t nSep = bSep ? wcslen(pszSep) : 0;
    const wchar_t* p = m_psz;
    int nIndice = 0;
    for (const wchar_t* q = bSep ? wcsstr(p, pszSep) : nullptr; q != nullptr; q = wcsstr(p, pszSep)) {
        const int nRes = piVisiteur->nVisite(nIndice++, p, static_cast<int>(q - p));
        if (nRes == 0)
            return 0;
        p = q + nSep;
    }
    return piVisiteur->nVisite(nIndice, p, static_cast<int>(wcslen(p)));
}

const wchar_t* CTString::_pszSetCoupe(const wchar_t* pszSrc, wchar_t c, bool bDernier, bool bFin, bool bExistant)
{
    const wchar_t* p = nullptr;
    if (pszSrc != nullptr && c != 0)
        p = bDernier ? wcsrchr(pszSrc, c) : wcschr(pszSrc, c);
    if (p == nullptr) {
        if (bExistant) {
            Vide();
            return pszSrc;
        }
        Set(pszSrc);
        return nullptr;
    }
    if (bFin)
        Set(p + 1);
    else
        _SetN(pszSrc, static_cast<size_t>(p - pszSrc));
    return p + 1;
}

const wchar_t* CTString::pszSetDebutPremier(const wchar_t* pszSrc, wchar_t c)
{
    return _pszSetCoupe(pszSrc, c, false, false, false);
}

const wchar_t* CTString::pszSetDebutDernier(const wchar_t* pszSrc, wchar_t c)
{
    return _pszSetCoupe(pszSrc, c, true, false, false);
}

const wchar_t* CTString::pszSetFinPremier(const wchar_t* pszSrc, wchar_t c)
{
    return _pszSetCoupe(pszSrc, c, false, true, false);
}

const wchar_t* CTString::pszSetFinDernier(const wchar_t* pszSrc, wchar_t c)
{
    return _pszSetCoupe(pszSrc, c, true, true, false);
}

const wchar_t* CTString::pszSetDebutPremierExistant(const wchar_t* pszSrc, wchar_t c)
{
    return _pszSetCoupe(pszSrc, c, false, false, true);
}

const wchar_t* CTString::pszSetDebutDernierExistant(const wchar_t* pszSrc, wchar_t c)
{
    return _pszSetCoupe(pszSrc, c, true, false, true);
}

const wchar_t* CTString::pszSetFinPremierExistant(const wchar_t* pszSrc, wchar_t c)
{
    return _pszSetCoupe(pszSrc, c, false, true, true);
}

const wchar_t* CTString::pszSetFinDernierExistant(const wchar_t* pszSrc, wchar_t c)
{
    return _pszSetCoupe(pszSrc, c, true, true, true);
}

// ---- Modification -----------------------------------------------------------

void CTString::Add(const wchar_t* psz)
{
    if (psz == nullptr)
        return;
    if (m_psz == nullptr || *m_psz == 0) {
        Set(psz);
        return;
    }
    _AddN(psz, wcslen(psz));
}

void CTString::Add(const wchar_t* psz, int n)
{
    if (psz == nullptr || n < 1)
        return;
    if (psz[n - 1] == 0 && --n == 0)
        return;
    if (m_psz == nullptr || *m_psz == 0) {
        SetFromBinary(psz, static_cast<unsigned>(n));
        return;
    }
    _AddN(psz, static_cast<size_t>(n));
}

void CTString::Add(const wchar_t* a, const wchar_t* b, const wchar_t* c)
{
    if (m_psz == nullptr || *m_psz == 0) {
        Set(a, b, c);
        return;
    }
    const size_t na = TXT_nLen(a), nb = TXT_nLen(b), nc = TXT_nLen(c);
    const size_t nAjout = nSomme(nSomme(na, nb), nc);
    if (nAjout == 0)
        return;
    if (_bDansBuffer(a) || _bDansBuffer(b) || _bDansBuffer(c)) {
        // The parts are read from the buffer that grows: joined aside first.
        CTString cl;
        cl.Set(a, b, c);
        _AddN(cl.m_psz, nAjout);
        return;
    }
    const size_t nLen = wcslen(m_psz);
    _SetBufferSize(nSomme(nLen, nAjout));
    CopieTrois(m_psz + nLen, a, na, b, nb, c, nc);
    m_psz[nLen + nAjout] = 0;
}

void CTString::Add(wchar_t c)
{
    if (m_psz == nullptr || *m_psz == 0) {
        Set(c);
        return;
    }
    _AddN(&c, 1);
}

void CTString::Add(const CXYString<wchar_t>& cl) { Add(cl.pszGet()); }

void CTString::Add(const CXYString<wchar_t>* pcl)
{
    if (pcl != nullptr)
        Add(*pcl);
}

void CTString::AddI4(int n)
{
    wchar_t sz[40];
    Add(ltow(n, sz, 10));
}

void CTString::AddI8(long long ll)
{
    wchar_t sz[72];
    Add(i64tow(ll, sz, 10));
}

void CTString::Insert(wchar_t c)
{
    if (m_psz == nullptr || *m_psz == 0) {
        Set(c);
        return;
    }
    const size_t nLen = wcslen(m_psz);
    _SetBufferSize(nSomme(nLen, 1));
    memmove(m_psz + 1, m_psz, (nLen + 1) * sizeof(wchar_t));
    m_psz[0] = c;
}

void CTString::Insert(const wchar_t* psz, int n, int nPos)
{
    if (psz == nullptr || *psz == 0 || n < -1 || nPos < 0)
        return;
    // Never reads past the source's terminator.
    const size_t nInsere = n == -1 ? wcslen(psz) : wcsnlen(psz, static_cast<size_t>(n));
    if (m_psz == nullptr || *m_psz == 0) {
        Set(psz, static_cast<unsigned>(nInsere));
        return;
    }
    if (nInsere == 0)
        return;
    const size_t nLen = wcslen(m_psz);
    if (static_cast<size_t>(nPos) >= nLen) {
        _AddN(psz, nInsere);
        return;
    }
    CTString clCopie;
    psz = _pszHorsBuffer(psz, nInsere, clCopie);
    _SetBufferSize(nSomme(nLen, nInsere));
    memmove(m_psz + nPos + nInsere, m_psz + nPos, (nLen - nPos + 1) * sizeof(wchar_t));
    memcpy(m_psz + nPos, psz, nInsere * sizeof(wchar_t));
}

void CTString::Remplace(int nPos, int n, const wchar_t* psz)
{
    if (m_psz == nullptr || *m_psz == 0 || nPos < 0 || n < 0)
        return;
    const size_t nLen = wcslen(m_psz);
    if (static_cast<size_t>(nPos) > nLen || static_cast<size_t>(n) > nLen - nPos)
        return;
    const size_t nSrc = TXT_nLen(psz);
    const size_t nReste = nLen - nPos - n;
    const size_t nNouveau = nSomme(nSomme(nPos, nSrc), nReste);
    // Built aside: psz may lie in the own text.
    CZoneTravail zone(nNouveau);
    wchar_t* w = zone.p();
    memcpy(w, m_psz, nPos * sizeof(wchar_t));
    if (nSrc > 0)
        memcpy(w + nPos, psz, nSrc * sizeof(wchar_t));
    memcpy(w + nPos + nSrc, m_psz + nPos + n, (nReste + 1) * sizeof(wchar_t));
    _SetBufferSize(nNouveau);
    memcpy(m_psz, w, (nNouveau + 1) * sizeof(wchar_t));
}

void CTString::Remplace(wchar_t cDe, wchar_t cPar, int nDebut)
{
    if (m_psz == nullptr || nDebut < 0)
        return;
    const size_t nLen = wcslen(m_psz);
    for (size_t i = static_cast<size_t>(nDebut); i < nLen; ++i)
        if (m_psz[i] == cDe)
            m_psz[i] = cPar;
}

void CTString::Remplace(const wchar_t* pszDe, const wchar_t* pszPar, int nDebut)
{
    _Remplace(pszDe, pszPar, nDebut, false);
}

void CTString::RemplaceI(const wchar_t* pszDe, const wchar_t* pszPar, int nDebut)
{
    _Remplace(pszDe, pszPar, nDebut, true);
}

// Counts and copies with the same matcher, so the copy fills exactly the
// counted size; the copy is bounded by it all the same.
void CTString::_Remplace(const wchar_t* pszDe, const wchar_t* pszPar, int nDebut, bool bSansCasse)
{
    if (pszDe == nullptr || *pszDe == 0 || m_psz == nullptr || *m_psz == 0 || nDebut < 0)
        return;
    const size_t nLen = wcslen(m_psz);
    if (static_cast<size_t>(nDebut) > nLen)
        return;
    if (pszPar == nullptr)
        pszPar = s_szVide;
    const size_t nDe = wcslen(pszDe);
    const size_t nPar = wcslen(pszPar);
    // Without case the text and the pattern are mapped once, a character at
    // a time so that positions stay those of the text, and the mapped copy
    // is searched: mapping the rest of the text again at every occurrence
    // costs the square of the length in locale calls.
    CTString clTexteMappe;
    CTString clDeMappe;
    const wchar_t* pszCherche = m_psz;
    const wchar_t* pszMotif = pszDe;
    if (bSansCasse) {
        clTexteMappe._SetBufferSize(nLen);
        clDeMappe._SetBufferSize(nDe);
        MappeMajuscules(m_psz, nLen, clTexteMappe.m_psz);
        MappeMajuscules(pszDe, nDe, clDeMappe.m_psz);
        pszCherche = clTexteMappe.m_psz;
        pszMotif = clDeMappe.m_psz;
    }
    // The next occurrence at or after p (a position of the text).
    auto Cherche = [&](const wchar_t* p) -> const wchar_t* {
        const wchar_t* q = wcsstr(pszCherche + (p - m_psz), pszMotif);
        return q != nullptr ? m_psz + (q - pszCherche) : nullptr;
    };

    unsigned long long nOcc = 0;
    for (const wchar_t* p = Cherche(m_psz + nDebut); p != nullptr; p = Cherche(p + nDe))
        ++nOcc;
    if (nOcc == 0)
        return;
    const unsigned long long nNouveauLL = nLen - nOcc * nDe + nOcc * static_cast<unsigned long long>(nPar);
    if (nNouveauLL > kMaxCaracteres)
        throw std::bad_alloc();
    const size_t nNouveau = static_cast<size_t>(nNouveauLL);

    CZoneTravail zone(nNouveau);
    wchar_t* const pDebutZone = zone.p();
    wchar_t* w = pDebutZone;
    size_t nPlace = nNouveau;
    auto Copie = [&](const wchar_t* p, size_t n) -> bool {
        if (n > nPlace)
            return false;
        memcpy(w, p, n * sizeof(wchar_t));
        w += n;
        nPlace -= n;
        return true;
    };
    if (!Copie(m_psz, static_cast<size_t>(nDebut)))
        return;
    const wchar_t* pLu = m_psz + nDebut;
    for (const wchar_t* p = Cherche(pLu); p != nullptr; p = Cherche(pLu)) {
        if (!Copie(pLu, static_cast<size_t>(p - pLu)) || !Copie(pszPar, nPar))
            return;
        pLu = p + nDe;
    }
    if (!Copie(pLu, wcslen(pLu)) || nPlace != 0)
        return;
    *w = 0;
    _SetBufferSize(nNouveau);
    memcpy(m_psz, pDebutZone, (nNouveau + 1) * sizeof(wchar_t));
}

void CTString::Insecable() { Remplace(L' ', static_cast<wchar_t>(0xA0), 0); }

void CTString::Tronque(int n)
{
    if (m_psz != nullptr && n >= 0 && static_cast<size_t>(n) <= wcslen(m_psz))
        m_psz[n] = 0;
}

void CTString::TronqueDebut(int n)
{
    if (m_psz == nullptr || n <= 0)
        return;
    const size_t nLen = wcslen(m_psz);
    if (static_cast<size_t>(n) > nLen)
        return;
    memmove(m_psz, m_psz + n, (nLen - n + 1) * sizeof(wchar_t));
}

void CTString::Coupe(int nPos, int n)
{
    if (m_psz == nullptr || nPos < 0 || n < 0)
        return;
    const size_t nLen = wcslen(m_psz);
    if (static_cast<size_t>(nPos) > nLen)
        return;
    if (static_cast<size_t>(n) <= nLen - nPos)
        memmove(m_psz + nPos, m_psz + nPos + n, (nLen - nPos - n + 1) * sizeof(wchar_t));
    else
        m_psz[nPos] = 0;
}

void CTString::Complete(int n, wchar_t c)
{
    if (n < 0)
        return;
    const size_t nLen = TXT_nLen(m_psz);
    const size_t nVoulu = static_cast<size_t>(n);
    if (nLen > nVoulu) {
        m_psz[nVoulu] = 0;
        return;
    }
    if (nLen == nVoulu)
        return;
    _SetBufferSize(nVoulu);
    for (size_t i = nLen; i < nVoulu; ++i)
        m_psz[i] = c;
    m_psz[nVoulu] = 0;
}

void CTString::Renverse()
{
    const size_t nLen = TXT_nLen(m_psz);
    for (size_t i = 0, j = nLen; i + 1 < j; ++i, --j) {
        const wchar_t c = m_psz[i];
        m_psz[i] = m_psz[j - 1];
        m_psz[j - 1] = c;
    }
}

void CTString::Majuscule()
{
    if (m_psz != nullptr && *m_psz != 0)
        STR_ToUpper(m_psz);
}

void CTString::Minuscule()
{
    if (m_psz != nullptr && *m_psz != 0)
        STR_ToLower(m_psz);
}

void CTString::SansAccent()
{
    if (m_psz == nullptr)
        return;
    for (wchar_t* p = m_psz; *p != 0; ++p) {
        wchar_t c = *p;
        // A character the mapping drops or turns into NUL is kept.
        if (STR_nMapCharEx(2, &c, *p) > 0 && c != 0)
            *p = c;
    }
}

void CTString::SansEspace()
{
    size_t nLen = TXT_nLen(m_psz);
    if (nLen == 0)
        return;
    while (nLen > 0 && m_psz[nLen - 1] == L' ')
        --nLen;
    m_psz[nLen] = 0;
}

void CTString::LTrim(wchar_t c)
{
    if (m_psz != nullptr && *m_psz != 0)
        STR_SuppressLeftCar(m_psz, c);
}

void CTString::RTrim(wchar_t c)
{
    if (m_psz != nullptr && *m_psz != 0)
        STR_SuppressRightCar(m_psz, c);
}

void CTString::Trim(wchar_t c)
{
    if (m_psz != nullptr && *m_psz != 0)
        STR_SuppressSideCar(m_psz, c);
}

void CTString::Trim()
{
    if (m_psz != nullptr && *m_psz != 0)
        STR_SuppressSideSpaces(m_psz);
}

// Maps n characters of src into this fresh text. The service is never asked
// to map in place; a mapping longer than its source gets the room it asks.
bool CTString::_bMappe(unsigned nFlags, const wchar_t* pszSrc, size_t n)
{
    size_t nPlace = n;
    for (int nEssai = 0; nEssai < 2; ++nEssai) {
        _SetBufferSize(nPlace);
        const int nRes = STR_nMapStringEx(nFlags, m_psz, static_cast<int>(nPlace + 1), pszSrc, static_cast<int>(n));
        if (nRes > 0 && static_cast<size_t>(nRes) <= nPlace) {
            m_psz[nRes] = 0;
            return true;
        }
        const int nBesoin = STR_nMapStringEx(nFlags, static_cast<wchar_t*>(nullptr), 0, pszSrc, static_cast<int>(n));
        if (nBesoin == 0) {
            // Everything mapped away (ignored punctuation, for one).
            m_psz[0] = 0;
            return true;
        }
        if (nBesoin < 0 || static_cast<size_t>(nBesoin) <= nPlace)
            break;
        nPlace = static_cast<size_t>(nBesoin);
    }
    return false;
}

// A failed mapping leaves the text as it was.
void CTString::MapStringEx(unsigned nFlags)
{
    const size_t nLen = TXT_nLen(m_psz);
    if (nLen == 0)
        return;
    CTString cl;
    if (cl._bMappe(nFlags, m_psz, nLen))
        Transfert(cl);
}

void CTString::SetStandard(const wchar_t* psz)
{
    if (psz == nullptr || *psz == 0) {
        Vide();
        return;
    }
    // Mapped into a new buffer: psz may be the own text.
    CTString cl;
    if (cl._bMappe(3, psz, wcslen(psz)))
        Transfert(cl);
    else
        Vide();
}

void CTString::Ellipse(const wchar_t* pszSrc, unsigned nMax, eELLIPSISPOSITION ePosition)
{
    if (pszSrc == nullptr || *pszSrc == 0) {
        Vide();
        return;
    }
    const size_t nLen = wcslen(pszSrc);
    // Written into a new buffer: pszSrc may be the own text.
    CTString cl;
    cl._SetBufferSize(nMax < nLen ? nMax : nLen);
    // STR_Ellipsis writes nothing for a tiny max or an unknown position.
    cl.m_psz[0] = 0;
    STR_Ellipsis(cl.m_psz, pszSrc, nMax, ePosition);
    Transfert(cl);
}

long long CTString::nVal(int nBase, int nPos, int n) const
{
    const size_t nLen = TXT_nLen(m_psz);
    if (nLen == 0 || nPos < 0 || static_cast<size_t>(nPos) > nLen || n < -1)
        return 0;
    size_t nFin = nLen;
    if (n != -1 && static_cast<size_t>(n) < nLen - nPos)
        nFin = static_cast<size_t>(nPos) + n;
    unsigned long long ull = 0;
    for (size_t i = static_cast<size_t>(nPos); i < nFin; ++i) {
        const wchar_t c = m_psz[i];
        int nChiffre;
        if (TXT_bDigit(c))
            nChiffre = c - L'0';
        else if (c >= L'a' && c <= L'z')
            nChiffre = c - L'a' + 10;
        else if (c >= L'A' && c <= L'Z')
            nChiffre = c - L'A' + 10;
        else
            break;
        if (nChiffre >= nBase)
            break;
        ull = ull * static_cast<unsigned long long>(nBase) + static_cast<unsigned long long>(nChiffre);
    }
    return static_cast<long long>(ull);
}

// The prefix goes to the system as UTF-8 and the name comes back as UTF-8.
void CTString::FichierTemporaire(const wchar_t* pszPrefixe)
{
    const size_t kPile = 1024;
    char szPile[kPile];
    char* pszTas = nullptr;
    const char* pszPrefixe8 = nullptr;
    if (pszPrefixe != nullptr) {
        const int nBesoin = WideCharToMultiByte(CP_UTF8, 0, pszPrefixe, -1, nullptr, 0, nullptr, nullptr);
        if (nBesoin <= 0) {
            Vide();
            return;
        }
        char* pszDest = szPile;
        if (static_cast<size_t>(nBesoin) >= kPile) {
            pszTas = static_cast<char*>(XMALLOC_pNew_(static_cast<size_t>(nBesoin) + 1));
            if (pszTas == nullptr)
                throw std::bad_alloc();
            pszDest = pszTas;
        }
        const int nEcrits = WideCharToMultiByte(CP_UTF8, 0, pszPrefixe, -1, pszDest, nBesoin, nullptr, nullptr);
        if (nEcrits <= 0) {
            XMALLOC_Del_(pszTas);
            Vide();
            return;
        }
        pszDest[nEcrits < nBesoin ? nEcrits : nBesoin] = 0;
        // tempnam keeps 5 bytes of the prefix: cut it on a character
        // boundary so that the name stays valid UTF-8.
        size_t nOctets = strlen(pszDest);
        if (nOctets > 5) {
            nOctets = 5;
            while (nOctets > 0 && (static_cast<unsigned char>(pszDest[nOctets]) & 0xC0) == 0x80)
                --nOctets;
            pszDest[nOctets] = 0;
        }
        pszPrefixe8 = pszDest;
    }
    char* pszNom = nullptr;
    if (PFN_TEMPNAM pfnTempnam = pfnGetTempnam())
        pszNom = pfnTempnam(nullptr, pszPrefixe8);
    XMALLOC_Del_(pszTas);
    if (pszNom == nullptr) {
        Vide();
        return;
    }
    SetANSIEx(pszNom, -1, CP_UTF8);
    XMALLOC_Del_(pszNom);
}

// ---- Formatting (Windows rules) --------------------------------------------

namespace {

const unsigned kFlagsMessage = 0x500;  // allocate the result; the source is a text

// A formatting that failed for want of memory is reported like every edit
// of a CTString; a format error keeps the text silently.
void ThrowIfNoMemory(unsigned n, const wchar_t* psz, int nErrno)
{
    if (n == 0 && psz == nullptr && (nErrno == ENOMEM || nErrno == static_cast<int>(0xC0000017u)))
        throw std::bad_alloc();
}
const size_t kMaxCapacite = static_cast<size_t>(INT_MAX) / sizeof(wchar_t);

}  // namespace

void CTString::FormatV(const wchar_t* pszFormat, va_list args)
{
    if (pszFormat == nullptr) {
        Vide();
        return;
    }
    va_list a;
    va_copy(a, args);
    const int nEstime = STRG_nCalculeLongueurPrintf<wchar_t>(pszFormat, a);
    va_end(a);

    // The estimate is only a start: a text that does not fit gets a larger
    // buffer and is formatted again.
    size_t nCapacite = nEstime > 0 ? static_cast<size_t>(nEstime) + 1 : 16;
    if (nCapacite > kMaxCapacite)
        nCapacite = kMaxCapacite;
    for (;;) {
        wchar_t* psz = static_cast<wchar_t*>(XMALLOC_pNew_(nCapacite * sizeof(wchar_t)));
        if (psz == nullptr)
            throw std::bad_alloc();
        va_copy(a, args);
        const int r = vsnwprintfWin(psz, nCapacite, pszFormat, a);
        const int nErreur = errno;
        va_end(a);
        if (r >= 0) {
            // The old text may have been an argument: replaced only now.
            SetBuffer(psz);
            return;
        }
        XMALLOC_Del_(psz);
        if (nErreur != 0 || nCapacite >= kMaxCapacite) {
            Vide();
            return;
        }
        nCapacite = nCapacite > kMaxCapacite / 2 ? kMaxCapacite : nCapacite * 2;
    }
}

void CTString::printf(const wchar_t* pszFormat, ...)
{
    va_list a;
    va_start(a, pszFormat);
    FormatV(pszFormat, a);
    va_end(a);
}

void CTString::AddPrintf(const wchar_t* pszFormat, ...)
{
    CTString cl;
    va_list a;
    va_start(a, pszFormat);
    cl.FormatV(pszFormat, a);
    va_end(a);
    Add(cl.pszGet());
}

void CTString::FormatMessageWin(const wchar_t* pszFormat, ...)
{
    wchar_t* psz = nullptr;
    va_list a;
    va_start(a, pszFormat);
    const unsigned n = ::FormatMessageWin(kFlagsMessage, pszFormat, 0, 0, reinterpret_cast<wchar_t*>(&psz), 0,
                                          reinterpret_cast<char**>(&a));
    const int nErrno = errno;
    va_end(a);
    ThrowIfNoMemory(n, psz, nErrno);
    // Given back even when Set runs out of memory.
    std::unique_ptr<wchar_t, void (*)(void*)> clBloc(psz, XMALLOC_Del_);
    if (n != 0 && psz != nullptr)
        Set(psz);
}

void CTString::FormatMessageW(const wchar_t* pszFormat, ...)
{
    wchar_t* psz = nullptr;
    va_list a;
    va_start(a, pszFormat);
    const unsigned n = ::FormatMessageW(kFlagsMessage, pszFormat, 0, 0, reinterpret_cast<wchar_t*>(&psz), 0,
                                        reinterpret_cast<char**>(&a));
    const int nErrno = errno;
    va_end(a);
    ThrowIfNoMemory(n, psz, nErrno);
    // Given back even when Set runs out of memory.
    std::unique_ptr<wchar_t, void (*)(void*)> clBloc(psz, XMALLOC_Del_);
    if (n != 0 && psz != nullptr)
        Set(psz);
}
