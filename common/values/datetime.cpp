#include "common/values/datetime.h"

#include "common/platform/WinApi.h"
#include "common/text/STR.h"
#include "common/text/TQBIN.h"
#include "common/text/TextBasics.h"
#include "common/text/XYString.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Host value statuses.
const int kOk = 0;
const int kDateInvalide = 110;
const int kHeureInvalide = 111;
const int kDureeTropCourte = 112;

const int kMilliParHeure = 3600000;
const int kMilliParMinute = 60000;
const int kMilliParJour = CDateTimeBase::MILLI_PAR_JOUR;

// Day number of 31 December 1799 counted from 31 December of year 0.
const int kDecalageJours = 657071;

const short kJoursAvantMois[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Floor division for a positive divisor.
inline long long FloorDiv(long long a, long long b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Days from 1 January of year 1 (proleptic Gregorian, where that day is 1)
// to 31 December of the year before nAnnee. Before 1583 the Julian leap rule
// counts, the numbering joined to the Gregorian one so that 1582 and every
// year from 1500 on number their days as the proleptic Gregorian calendar.
inline long long JoursAvantAnnee(long long nAnnee)
{
    const long long y = nAnnee - 1;
    if (nAnnee >= 1583)
        return 365 * y + y / 4 - y / 100 + y / 400;
    return 365 * y + FloorDiv(y, 4) - 12;
}
// Formats a %d-only format into a wide buffer of n characters (terminator
// included), cut to fit and always terminated. Result: the whole length.
int FormatW(wchar_t* psz, size_t n, const char* pszFormat, ...) __attribute__((format(printf, 3, 4)));
int FormatW(wchar_t* psz, size_t n, const char* pszFormat, ...)
{
    char sz[128];
    va_list args;
    va_start(args, pszFormat);
    const int nLen = vsnprintf(sz, sizeof(sz), pszFormat, args);
    va_end(args);
    if (n == 0)
        return nLen;
    size_t i = 0;
    for (; i + 1 < n && sz[i] != 0; ++i)
        psz[i] = static_cast<wchar_t>(static_cast<unsigned char>(sz[i]));
    psz[i] = 0;
    return nLen;
}

// Milliseconds since midnight of a time of day.
std::uint32_t MilliDuJour(long long nHeures, long long nMinutes, long long nSecondes, long long nMilli)
{
    return static_cast<std::uint32_t>(nHeures * kMilliParHeure + nMinutes * kMilliParMinute + nSecondes * 1000 +
                                      nMilli);
}

// A new host wide string holding n characters of psz (released when n is 0).
int nAffecte(CXYString<wchar_t>* pcl, const wchar_t* psz, int n)
{
    CXYString<wchar_t> cl;
    if (n > 0) {
        const int nErreur = cl.__nNew(n, psz, n);
        if (nErreur != STRMEM_OK)
            return nErreur;
    }
    *pcl = cl;
    return kOk;
}

// The day numbers of both dates; false when either is invalid.
bool bNumeros(const CDateTimeBase* a, const CDateTimeBase* b, int* pna, int* pnb)
{
    return CDateTimeBase::__bDateVersEntier(a->m_byJour, a->m_byMois, a->m_wAnnee, pna, 1) &&
           CDateTimeBase::__bDateVersEntier(b->m_byJour, b->m_byMois, b->m_wAnnee, pnb, 1);
}

// The time part of the canonical text, at most n of its 9 characters.
template <typename T>
int nEcrireHeure(const CDateTimeBase& cl, T* psz, unsigned n)
{
    T sz[18];
    cl.__VersChaine(sz, 17);
    const unsigned nEcrits = n > 9 ? 9 : n;
    memcpy(psz, sz + 8, nEcrits * sizeof(T));
    psz[nEcrits] = 0;
    return kOk;
}

// At most the 17 bytes of a whole text, terminated.
void LireBinaire(const CTQBIN* pcl, char (&sz)[18])
{
    int n = pcl != nullptr ? pcl->nGetSize() : 0;
    if (n > 17)
        n = 17;
    if (n > 0)
        memcpy(sz, pcl->pGetData(), static_cast<size_t>(n));
    sz[n] = 0;
}

// The text in one of the display formats; empty when it does not fit.
void EcrireDuree(const CDureeBase& cl, const wchar_t* pszFormat, wchar_t (&sz)[25])
{
    if (cl.__nVersChaine(sz, pszFormat, 24) < 0)
        sz[0] = 0;
}

int nAffecteDuree(const CDureeBase& cl, const wchar_t* pszFormat, CXYString<wchar_t>* pcl)
{
    wchar_t sz[25];
    EcrireDuree(cl, pszFormat, sz);
    return nAffecte(pcl, sz, static_cast<int>(wcslen(sz)));
}

}  // namespace

// ===========================================================================
// Statics

const unsigned char CDateTimeBase::ms_pbyNbJoursMois[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
const unsigned char CDateTimeBase::ms_pbyNbJoursMoisBissextile[12] = {31, 29, 31, 30, 31, 30,
                                                                      31, 31, 30, 31, 30, 31};
const wchar_t* CDateTimeBase::ms_pcszValeurInitDate = L"";
const wchar_t* CDateTimeBase::ms_pcszValeurInitTime = L"0000";

const wchar_t* const CDureeBase::ms_pcszFormatAffichageMillieme = L"%d%02d%02d%02d%03d";
const wchar_t* const CDureeBase::ms_cpszFormatAffichageCentieme = L"%d%02d%02d%02d%02d";

// ===========================================================================
// Calendar rules

int CDateTimeBase::__nBissextile(int nAnnee)
{
    if (nAnnee % 4 != 0)
        return 0;
    if (nAnnee < 1583 || nAnnee % 100 != 0)
        return 1;
    return nAnnee % 400 == 0 ? 1 : 0;
}

int CDateTimeBase::s_nGetNbJourMois(int nMois, int nAnnee)
{
    if (nMois < 1 || nMois > 12)
        return 0;
    return __nBissextile(nAnnee) ? ms_pbyNbJoursMoisBissextile[nMois - 1] : ms_pbyNbJoursMois[nMois - 1];
}

int CDateTimeBase::__nRectifieFinMois(int nJour, int nMois, int nAnnee)
{
    if (nJour == 0 || nMois == 0 || nAnnee == 0)
        return nJour;
    const int nMax = s_nGetNbJourMois(nMois, nAnnee);
    return nMax != 0 && nJour > nMax ? nMax : nJour;
}

// ===========================================================================
// Setters

bool CDateTimeBase::__bModifieJour(int* pJour, int* pMois, int* pAnnee, int n)
{
    if (static_cast<unsigned>(n) - 1 >= 31)
        return false;
    *pJour = __nRectifieFinMois(n, *pMois, *pAnnee);
    return true;
}

bool CDateTimeBase::__bModifieMois(int* pJour, int* pMois, int* pAnnee, int n)
{
    if (static_cast<unsigned>(n) - 1 >= 12)
        return false;
    *pMois = n;
    *pJour = __nRectifieFinMois(*pJour, n, *pAnnee);
    return true;
}

bool CDateTimeBase::__bModifieAnnee(int* pJour, int* pMois, int* pAnnee, int n)
{
    if (static_cast<unsigned>(n) - 1 >= 9999)
        return false;
    *pAnnee = n;
    *pJour = __nRectifieFinMois(*pJour, *pMois, n);
    return true;
}

bool CDateTimeBase::_bChangeDate(bool (*pfnRegle)(int*, int*, int*, int), int n)
{
    int j, m, a;
    _GetDate(&j, &m, &a);
    if (!pfnRegle(&j, &m, &a, n))
        return false;
    _SetDate(j, m, a);
    return true;
}

bool CDateTimeBase::bModifieJour(int n)
{
    return _bChangeDate(__bModifieJour, n);
}

bool CDateTimeBase::bModifieMois(int n)
{
    return _bChangeDate(__bModifieMois, n);
}

bool CDateTimeBase::bModifieAnnee(int n)
{
    return _bChangeDate(__bModifieAnnee, n);
}

bool CDateTimeBase::bModifieHeure(int n)
{
    if (static_cast<unsigned>(n) > 23)
        return false;
    m_dwHeure = static_cast<std::uint32_t>(n) * kMilliParHeure + m_dwHeure % kMilliParHeure;
    return true;
}

bool CDateTimeBase::bModifieMinute(int n)
{
    if (static_cast<unsigned>(n) > 59)
        return false;
    m_dwHeure = m_dwHeure / kMilliParHeure * kMilliParHeure + static_cast<std::uint32_t>(n) * kMilliParMinute +
                m_dwHeure % kMilliParMinute;
    return true;
}

bool CDateTimeBase::bModifieSeconde(int n)
{
    if (static_cast<unsigned>(n) > 59)
        return false;
    m_dwHeure = m_dwHeure / kMilliParMinute * kMilliParMinute + static_cast<std::uint32_t>(n) * 1000 +
                m_dwHeure % 1000;
    return true;
}

bool CDateTimeBase::bModifieMilli(int n)
{
    if (static_cast<unsigned>(n) > 999)
        return false;
    m_dwHeure = m_dwHeure / 1000 * 1000 + static_cast<std::uint32_t>(n);
    return true;
}

void CDateTimeBase::Set(int nAnnee, int nMois, int nJour, int nHeure, int nMinute, int nSeconde, int nMilli)
{
    _SetDate(nJour, nMois, nAnnee);
    m_dwHeure = MilliDuJour(nHeure, nMinute, nSeconde, nMilli);
}

void CDateTimeBase::InitDate(const _SYSTEMTIME* pst)
{
    bModifieAnnee(pst->wYear);
    bModifieMois(pst->wMonth);
    bModifieJour(pst->wDay);
    bModifieHeure(pst->wHour);
    bModifieMinute(pst->wMinute);
    bModifieSeconde(pst->wSecond);
    bModifieMilli(pst->wMilliseconds);
}

void CDateTimeBase::InitDateCourante()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    InitDate(&st);
}

void CDateTimeBase::InitDateCouranteUTC()
{
    SYSTEMTIME st;
    ::GetSystemTime(&st);
    InitDate(&st);
}

// ===========================================================================
// Day numbers

bool CDateTimeBase::__bDateVersEntier(int nJour, int nMois, int nAnnee, int* pn, int bCheck)
{
    if (bCheck && (nJour < 1 || nJour > 31 || nMois < 1 || nMois > 12 || nAnnee < 1 || nAnnee > 9999))
        return false;
    // The month indexes the tables even unchecked: never trust it that far.
    if (nMois < 1 || nMois > 12)
        return false;
    if (nJour < 1 || nJour > s_nGetNbJourMois(nMois, nAnnee))
        return false;
    const long long n = nJour + kJoursAvantMois[nMois - 1] + (nMois > 2 && __nBissextile(nAnnee) ? 1 : 0) +
                        JoursAvantAnnee(nAnnee) - kDecalageJours;
    if (n < INT_MIN || n > INT_MAX)
        return false;
    *pn = static_cast<int>(n);
    return true;
}

bool CDateTimeBase::__bEntierVersDate(int n, int* pJour, int* pMois, int* pAnnee)
{
    if (n > DERNIER_JOUR)
        return false;
    const long long nDebutAn1 = JoursAvantAnnee(1) + 1 - kDecalageJours;
    if (n < nDebutAn1)
        return false;
    // An estimate a little above the year, brought down to it.
    long long nAnnee = (static_cast<long long>(n) + kDecalageJours) / 365 + 2;
    if (nAnnee > 9999)
        nAnnee = 9999;
    long long nPremier = JoursAvantAnnee(nAnnee) + 1 - kDecalageJours;
    while (nPremier > n) {
        --nAnnee;
        if (nAnnee < 1)
            return false;
        nPremier = JoursAvantAnnee(nAnnee) + 1 - kDecalageJours;
    }
    int nReste = static_cast<int>(n - nPremier);
    const unsigned char* pLongueurs =
        __nBissextile(static_cast<int>(nAnnee)) ? ms_pbyNbJoursMoisBissextile : ms_pbyNbJoursMois;
    int nMois = 1;
    while (nMois < 12 && nReste >= pLongueurs[nMois - 1]) {
        nReste -= pLongueurs[nMois - 1];
        ++nMois;
    }
    if (nReste >= pLongueurs[nMois - 1])
        return false;
    *pJour = nReste + 1;
    *pMois = nMois;
    *pAnnee = static_cast<int>(nAnnee);
    return true;
}

int CDateTimeBase::s_nDateVersEntier(int nJour, int nMois, int nAnnee)
{
    int n = 0;
    return __bDateVersEntier(nJour, nMois, nAnnee, &n, 1) ? n : 0;
}

int CDateTimeBase::nVersEntier(int* pn) const
{
    return __bDateVersEntier(m_byJour, m_byMois, m_wAnnee, pn, 1) ? kOk : kDateInvalide;
}

// ===========================================================================
// Shifts

bool CDateTimeBase::__bDecaleJour(int* pJour, int* pMois, int* pAnnee, int n)
{
    if (*pJour == 0 && *pMois == 0 && *pAnnee == 0)
        return true;
    int nNumero;
    if (!__bDateVersEntier(*pJour, *pMois, *pAnnee, &nNumero, 1))
        return false;
    const long long llCible = static_cast<long long>(nNumero) + n;
    if (llCible > DERNIER_JOUR || llCible < INT_MIN)
        return false;
    int j, m, a;
    if (!__bEntierVersDate(static_cast<int>(llCible), &j, &m, &a))
        return false;
    *pJour = j;
    *pMois = m;
    *pAnnee = a;
    return true;
}

bool CDateTimeBase::__bDecaleAnnee(int* pJour, int* pMois, int* pAnnee, int n)
{
    if (*pAnnee < 1 || *pAnnee > 9999)
        return false;
    const long long llAnnee = static_cast<long long>(*pAnnee) + n;
    if (llAnnee < 1 || llAnnee > 9999)
        return false;
    *pAnnee = static_cast<int>(llAnnee);
    *pJour = __nRectifieFinMois(*pJour, *pMois, *pAnnee);
    return true;
}

bool CDateTimeBase::__bDecaleMois(int* pJour, int* pMois, int* pAnnee, int n)
{
    if (*pMois < 1 || *pMois > 12)
        return false;
    int nAnnees = n / 12;
    int nMois = *pMois + n % 12;
    if (nMois < 1) {
        --nAnnees;
        nMois += 12;
    } else if (nMois > 12) {
        ++nAnnees;
        nMois -= 12;
    }
    // Nothing is written back unless the year shift is accepted.
    int j = *pJour, m = nMois, a = *pAnnee;
    if (!__bDecaleAnnee(&j, &m, &a, nAnnees))
        return false;
    *pJour = j;
    *pMois = m;
    *pAnnee = a;
    return true;
}

bool CDateTimeBase::bDecaleJour(int n)
{
    return _bChangeDate(__bDecaleJour, n);
}

bool CDateTimeBase::bDecaleMois(int n)
{
    return _bChangeDate(__bDecaleMois, n);
}

bool CDateTimeBase::bDecaleAnnee(int n)
{
    return _bChangeDate(__bDecaleAnnee, n);
}

bool CDateTimeBase::bDecaleMilli(long long ll)
{
    long long t = static_cast<long long>(m_dwHeure) + ll % kMilliParJour;
    long long llJours = ll / kMilliParJour;
    if (t < 0) {
        --llJours;
        t += kMilliParJour;
    } else if (t > kMilliParJour - 1) {
        ++llJours;
        t -= kMilliParJour;
    }
    if (llJours != 0) {
        // The time changes only with the date, so that a refused shift
        // leaves the value whole.
        if (llJours < INT_MIN || llJours > INT_MAX)
            return false;
        CDateTimeBase cl = *this;
        if (!cl.bDecaleJour(static_cast<int>(llJours)))
            return false;
        *this = cl;
    }
    m_dwHeure = static_cast<std::uint32_t>(t);
    return true;
}

// ===========================================================================
// Calendar queries

int CDateTimeBase::nGetJourDansAnnee() const
{
    int n = m_byJour;
    const int nMois = m_byMois > 12 ? 12 : m_byMois;
    for (int i = 1; i < nMois; ++i)
        n += s_nGetNbJourMois(i, m_wAnnee);
    return n;
}

int CDateTimeBase::nGetJourDeLaSemaine() const
{
    int n = 0;
    __bDateVersEntier(m_byJour, m_byMois, m_wAnnee, &n, 0);
    const long long ll = (static_cast<long long>(n) + kDecalageJours) % 7;
    return static_cast<int>(ll < 0 ? ll + 7 : ll);
}

void CDateTimeBase::VersISO8601YWD(int& nAnnee, int& nSemaine, int& nJourSemaine) const
{
    nJourSemaine = (nGetJourDeLaSemaine() + 6) % 7 + 1;
    CDateTimeBase clJeudi = *this;
    clJeudi.bDecaleJour(4 - nJourSemaine);
    nAnnee = clJeudi.m_wAnnee;
    nSemaine = (clJeudi.nGetJourDansAnnee() - 1) / 7 + 1;
}

int CDateTimeBase::nVersJourJulien() const
{
    int nJour = m_byJour;
    const int nMois = m_byMois;
    const int nAnnee = m_wAnnee;
    // The ten days dropped by the reform are taken as its first day.
    if (nAnnee == 1582 && nMois == 10 && nJour >= 5 && nJour <= 14)
        nJour = 15;
    const int a = (14 - nMois) / 12;
    const long long y = nAnnee + 4800 - a;
    const long long m = nMois + 12 * a - 3;
    const bool bGregorien =
        nAnnee > 1582 || (nAnnee == 1582 && (nMois > 10 || (nMois == 10 && nJour >= 15)));
    long long ll;
    if (bGregorien)
        ll = nJour + (153 * m + 2) / 5 + 365 * y + FloorDiv(y, 4) - y / 100 + y / 400 - 32045;
    else
        ll = nJour + (153 * m + 2) / 5 + 365 * y + FloorDiv(y, 4) - 32083;
    return static_cast<int>(ll);
}

// ===========================================================================
// Differences and comparisons

int CDateTimeBase::nCalculeDuree(const CDateTimeBase* a, const CDateTimeBase* b, CDureeBase* pclOut)
{
    int na, nb;
    if (!bNumeros(a, b, &na, &nb))
        return kDateInvalide;
    pclOut->m_llDuree = (static_cast<long long>(na) - nb) * kMilliParJour +
                        (static_cast<long long>(a->m_dwHeure) - static_cast<long long>(b->m_dwHeure));
    return kOk;
}

bool CDateTimeBase::bCalculeDiffJour(const CDateTimeBase* a, const CDateTimeBase* b, int* pn)
{
    int na, nb;
    if (!bNumeros(a, b, &na, &nb))
        return false;
    *pn = na - nb;  // both within 1..9999: no overflow
    return true;
}

int CDateTimeBase::s_nCompareDateSeule(const CDateTimeBase* a, const CDateTimeBase* b)
{
    const std::uint32_t da = a->dwGetMotDate(), db = b->dwGetMotDate();
    return da < db ? -1 : (da > db ? 1 : 0);
}

int CDateTimeBase::nCompare(const CDateTimeBase* a, const CDateTimeBase* b)
{
    const int n = s_nCompareDateSeule(a, b);
    if (n != 0)
        return n;
    return a->m_dwHeure < b->m_dwHeure ? -1 : (a->m_dwHeure > b->m_dwHeure ? 1 : 0);
}

int CDateTimeBase::nCompareDate(const wchar_t* a, const wchar_t* b)
{
    const size_t na = a != nullptr ? wcslen(a) : 0;
    const size_t nb = b != nullptr ? wcslen(b) : 0;
    if (na == 0 || nb == 0)
        return na == nb ? 0 : (na == 0 ? -1 : 1);
    const int n = wcsncmp(a, b, na < nb ? na : nb);
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

int CDateTimeBase::nCompareHeure(const wchar_t* a, const wchar_t* b)
{
    return nCompareDate(a, b);
}

int CDateTimeBase::nCompare(const CDateTimeBase* a, const wchar_t* psz)
{
    wchar_t sz[18];
    const unsigned h = a->m_dwHeure;
    FormatW(sz, 18, "%04d%02d%02d%02d%02d%02d%03d", a->m_wAnnee, a->m_byMois, a->m_byJour,
            static_cast<int>(h / kMilliParHeure), static_cast<int>(h / kMilliParMinute % 60),
            static_cast<int>(h / 1000 % 60), static_cast<int>(h % 1000));
    return nCompareDate(sz, psz);
}

// ===========================================================================
// Writing texts

template <typename T>
void CDateTimeBase::__VersChaine(T* psz, unsigned n) const
{
    T sz[17];
    const unsigned h = m_dwHeure;
    FAST_SETI2DATE(sz, m_wAnnee, 4);
    FAST_SETI2DATE(sz + 4, m_byMois, 2);
    FAST_SETI2DATE(sz + 6, m_byJour, 2);
    FAST_SETI2DATE(sz + 8, static_cast<int>(h / kMilliParHeure), 2);
    FAST_SETI2DATE(sz + 10, static_cast<int>(h / kMilliParMinute % 60), 2);
    FAST_SETI2DATE(sz + 12, static_cast<int>(h / 1000 % 60), 2);
    FAST_SETI2DATE(sz + 14, static_cast<int>(h % 1000), 3);
    const unsigned nEcrits = n > 17 ? 17 : n;
    for (unsigned i = 0; i < nEcrits; ++i)
        psz[i] = sz[i];
    psz[nEcrits] = 0;
}

template void CDateTimeBase::__VersChaine<char>(char*, unsigned) const;
template void CDateTimeBase::__VersChaine<wchar_t>(wchar_t*, unsigned) const;

int CDateTimeBase::nVersDate(wchar_t* psz, unsigned n) const
{
    __VersChaine(psz, n > 8 ? 8 : n);
    return kOk;
}

int CDateTimeBase::nVersDate(char* psz, unsigned n) const
{
    __VersChaine(psz, n > 8 ? 8 : n);
    return kOk;
}

int CDateTimeBase::nVersHeure(wchar_t* psz, unsigned n) const
{
    return nEcrireHeure(*this, psz, n);
}

int CDateTimeBase::nVersHeure(char* psz, unsigned n) const
{
    return nEcrireHeure(*this, psz, n);
}

void CDateTimeBase::VersChaine(CTString* pcl) const
{
    wchar_t sz[18];
    __VersChaine(sz, 17);
    pcl->Set(sz);
}

CTString CDateTimeBase::VersChaine() const
{
    CTString cl;
    VersChaine(&cl);
    return cl;
}

wchar_t* CDateTimeBase::pszCreeChaine() const
{
    wchar_t sz[18];
    __VersChaine(sz, 17);
    return STR_pszCreate(sz);
}

int CDateTimeBase::nVersChaine(CXYString<wchar_t>* pcl) const
{
    wchar_t sz[18];
    __VersChaine(sz, 17);
    return nAffecte(pcl, sz, 17);
}

int CDateTimeBase::nVersBinaire(CTQBIN* pcl, unsigned) const
{
    char sz[18];
    __VersChaine(sz, 17);
    const int nErreur = pcl->nSetSize(17);
    if (nErreur != STRMEM_OK)
        return nErreur;
    memcpy(pcl->pGetData(), sz, 17);
    return kOk;
}

CTString CDateTimeBase::VersChaineFormate() const
{
    wchar_t sz[64];
    const unsigned h = m_dwHeure;
    FormatW(sz, 64, "%d-%d-%d %d:%d:%d,%d", m_wAnnee, m_byMois, m_byJour, static_cast<int>(h / kMilliParHeure),
            static_cast<int>(h / kMilliParMinute % 60), static_cast<int>(h / 1000 % 60),
            static_cast<int>(h % 1000));
    return CTString(sz);
}

int CDateTimeBase::nVersSysteme(_SYSTEMTIME* pst) const
{
    const unsigned h = m_dwHeure;
    pst->wYear = m_wAnnee;
    pst->wMonth = m_byMois;
    pst->wDay = m_byJour;
    pst->wHour = static_cast<WORD>(h / kMilliParHeure);
    pst->wMinute = static_cast<WORD>(h / kMilliParMinute % 60);
    pst->wSecond = static_cast<WORD>(h / 1000 % 60);
    pst->wMilliseconds = static_cast<WORD>(h % 1000);
    return kOk;
}

// ===========================================================================
// Fields

namespace {

template <typename T>
int nLireChamp(const T* psz, unsigned nPosition, unsigned nLargeur, int bPartial)
{
    if (psz == nullptr || psz[0] == 0)
        return 0;
    const size_t nLen = TXT_nLen(psz);
    // Nine digits at most hold in an int.
    if (nLargeur > 9)
        nLargeur = 9;
    unsigned nManquants = 0;
    if (nLen < static_cast<size_t>(nPosition) + nLargeur) {
        if (!bPartial || nPosition >= nLen)
            return 0;
        const unsigned nReste = static_cast<unsigned>(nLen - nPosition);
        nManquants = nLargeur - nReste;
        nLargeur = nReste;
    }
    T sz[10];
    for (unsigned i = 0; i < nLargeur; ++i)
        sz[i] = psz[nPosition + i];
    sz[nLargeur] = 0;
    // Plain digits, the usual field, are read here; anything else as the C
    // library reads it.
    long nValeur = 0;
    unsigned k = 0;
    for (; k < nLargeur && sz[k] >= '0' && sz[k] <= '9'; ++k)
        nValeur = nValeur * 10 + (sz[k] - '0');
    if (k < nLargeur) {
        if constexpr (sizeof(T) == 1)
            nValeur = strtol(reinterpret_cast<const char*>(sz), nullptr, 10);
        else
            nValeur = wcstol(reinterpret_cast<const wchar_t*>(sz), nullptr, 10);
    }
    for (unsigned i = 0; i < nManquants; ++i)
        nValeur *= 10;
    return static_cast<int>(nValeur);
}

template <typename T>
void EcrireChamp(T* psz, unsigned nPosition, unsigned nLargeur, int nValeur, unsigned nTotal)
{
    if (static_cast<unsigned long long>(nPosition) + nLargeur <= nTotal) {
        unsigned v = nValeur < 0 ? 0u : static_cast<unsigned>(nValeur);
        for (unsigned i = nLargeur; i > 0; --i) {
            psz[nPosition + i - 1] = static_cast<T>('0' + v % 10);
            v /= 10;
        }
    } else {
        for (unsigned i = nPosition; i < nTotal; ++i)
            psz[i] = static_cast<T>('0');
    }
    psz[nTotal] = 0;
}

}  // namespace

int CDateTimeBase::nGetPropDateTime(const char* psz, unsigned nPosition, unsigned nLargeur, int bPartial)
{
    return nLireChamp(psz, nPosition, nLargeur, bPartial);
}

int CDateTimeBase::nGetPropDateTime(const wchar_t* psz, unsigned nPosition, unsigned nLargeur, int bPartial)
{
    return nLireChamp(psz, nPosition, nLargeur, bPartial);
}

void CDateTimeBase::SetPropDateTime(char* psz, unsigned nPosition, unsigned nLargeur, int nValeur, unsigned nTotal)
{
    EcrireChamp(psz, nPosition, nLargeur, nValeur, nTotal);
}

void CDateTimeBase::SetPropDateTime(wchar_t* psz, unsigned nPosition, unsigned nLargeur, int nValeur,
                                    unsigned nTotal)
{
    EcrireChamp(psz, nPosition, nLargeur, nValeur, nTotal);
}

// ===========================================================================
// Reading texts without checks

template <typename T>
void CDateTimeBase::__SetPartieDate(const T* psz)
{
    _SetDate(nGetPropDateTime(psz, 6, 2, 0), nGetPropDateTime(psz, 4, 2, 0), nGetPropDateTime(psz, 0, 4, 0));
}

template <typename T>
void CDateTimeBase::__SetPartieHeure(const T* psz)
{
    const long long nHeures = nGetPropDateTime(psz, 0, 2, 0);
    const long long nMinutes = nGetPropDateTime(psz, 2, 2, 0);
    const long long nSecondes = nGetPropDateTime(psz, 4, 2, 0);
    long long nFraction = nGetPropDateTime(psz, 6, 3, 1);
    if (nFraction == 0)
        nFraction = nGetPropDateTime(psz, 6, 2, 1) * 10LL;
    if (nFraction == 0)
        nFraction = nGetPropDateTime(psz, 6, 1, 1) * 100LL;
    m_dwHeure = MilliDuJour(nHeures, nMinutes, nSecondes, nFraction);
}

template <typename T>
void CDateTimeBase::FromString(const T* psz)
{
    m_dwHeure = 0;
    __SetPartieDate(psz);
    if (psz != nullptr && TXT_nLen(psz) > 8)
        __SetPartieHeure(psz + 8);
}

template void CDateTimeBase::__SetPartieDate<char>(const char*);
template void CDateTimeBase::__SetPartieDate<wchar_t>(const wchar_t*);
template void CDateTimeBase::__SetPartieHeure<char>(const char*);
template void CDateTimeBase::__SetPartieHeure<wchar_t>(const wchar_t*);
template void CDateTimeBase::FromString<char>(const char*);
template void CDateTimeBase::FromString<wchar_t>(const wchar_t*);

void CDateTimeBase::DepuisBinaire(const CTQBIN* pcl, unsigned)
{
    char sz[18];
    LireBinaire(pcl, sz);
    FromString<char>(sz);
}

int CDateTimeBase::nDateVersSysteme(const wchar_t* psz, _SYSTEMTIME* pst)
{
    pst->wYear = static_cast<WORD>(nGetPropDateTime(psz, 0, 4, 0));
    pst->wMonth = static_cast<WORD>(nGetPropDateTime(psz, 4, 2, 0));
    pst->wDay = static_cast<WORD>(nGetPropDateTime(psz, 6, 2, 0));
    pst->wHour = 0;
    pst->wMinute = 0;
    pst->wSecond = 0;
    pst->wMilliseconds = 0;
    return kOk;
}

int CDateTimeBase::nHeureVersSysteme(const wchar_t* psz, _SYSTEMTIME* pst)
{
    pst->wYear = 0;
    pst->wMonth = 0;
    pst->wDay = 0;
    pst->wHour = static_cast<WORD>(nGetPropDateTime(psz, 0, 2, 0));
    pst->wMinute = static_cast<WORD>(nGetPropDateTime(psz, 2, 2, 0));
    pst->wSecond = static_cast<WORD>(nGetPropDateTime(psz, 4, 2, 0));
    pst->wMilliseconds = static_cast<WORD>(nGetPropDateTime(psz, 6, 3, 1));
    return kOk;
}

// ===========================================================================
// Reading texts with checks

template <typename T>
bool CDateTimeBase::__bSetPartieDateValide(const T* psz)
{
    if (psz == nullptr)
        return false;
    for (int i = 0; i < 8; ++i)
        if (!TXT_bDigit(psz[i]))  // also stops at the terminator
            return false;
    const int nAnnee = nGetPropDateTime(psz, 0, 4, 0);
    const int nMois = nGetPropDateTime(psz, 4, 2, 0);
    const int nJour = nGetPropDateTime(psz, 6, 2, 0);
    // Year 0 only belongs to the empty date.
    if (nAnnee < 1 || nAnnee > 9999 || nMois < 1 || nMois > 12)
        return false;
    if (nJour < 1 || nJour > s_nGetNbJourMois(nMois, nAnnee))
        return false;
    _SetDate(nJour, nMois, nAnnee);
    return true;
}

template <typename T>
bool CDateTimeBase::__bSetPartieHeureValide(const T* psz)
{
    if (psz == nullptr || psz[0] == 0) {
        m_dwHeure = 0;
        return true;
    }
    const size_t nLen = TXT_nLen(psz);
    if (nLen < 6 && nLen != 2 && nLen != 4)
        return false;
    if (!TXT_bDigit(psz[0]))
        return false;
    size_t nChiffres = nLen < 9 ? nLen : 9;
    for (size_t i = 1; i < nChiffres; ++i) {
        if (!TXT_bDigit(psz[i])) {
            if (i < 6)
                return false;
            nChiffres = i;
            break;
        }
    }
    const int nHeures = nGetPropDateTime(psz, 0, 2, 0);
    const int nMinutes = nGetPropDateTime(psz, 2, 2, 0);
    const int nSecondes = nGetPropDateTime(psz, 4, 2, 0);
    int nFraction = 0;
    if (nChiffres == 9)
        nFraction = nGetPropDateTime(psz, 6, 3, 0);
    else if (nChiffres == 8)
        nFraction = nGetPropDateTime(psz, 6, 2, 0) * 10;
    else if (nChiffres == 7)
        nFraction = nGetPropDateTime(psz, 6, 1, 0) * 100;
    if (nHeures > 23 || nMinutes > 59 || nSecondes > 59 || nFraction > 999)
        return false;
    m_dwHeure = MilliDuJour(nHeures, nMinutes, nSecondes, nFraction);
    return true;
}

template <typename T>
int CDateTimeBase::nFromStringValide(const T* psz)
{
    m_dwHeure = 0;
    if (!__bSetPartieDateValide(psz))
        return kDateInvalide;
    if (TXT_nLen(psz) > 8 && !__bSetPartieHeureValide(psz + 8))
        return kHeureInvalide;
    return kOk;
}

template bool CDateTimeBase::__bSetPartieDateValide<char>(const char*);
template bool CDateTimeBase::__bSetPartieHeureValide<char>(const char*);
template int CDateTimeBase::nFromStringValide<char>(const char*);

int CDateTimeBase::nDepuisBinaireValide(const CTQBIN* pcl, unsigned)
{
    char sz[18];
    LireBinaire(pcl, sz);
    return nFromStringValide<char>(sz);
}

// ===========================================================================
// Durations

int CDureeBase::nCompare(const CDureeBase* a, const CDureeBase* b)
{
    return a->m_llDuree < b->m_llDuree ? -1 : (a->m_llDuree > b->m_llDuree ? 1 : 0);
}

int CDureeBase::__nVersChaine(wchar_t* psz, const wchar_t* pszFormat, unsigned nTaille) const
{
    const long long v = m_llDuree;
    // The magnitude, in the unit of the fraction; both forms round the
    // sign-less value so that a negative duration reads as its opposite.
    const unsigned long long ullMagnitude =
        v < 0 ? static_cast<unsigned long long>(-(v + 1)) + 1 : static_cast<unsigned long long>(v);
    unsigned long long ullJours, ullReste;
    int nFraction;
    if (pszFormat != nullptr && wcscmp(pszFormat, ms_cpszFormatAffichageCentieme) == 0) {
        // Hundredths, half up; 995 ms and more carry into the seconds.
        const unsigned long long ullCentiemes = (ullMagnitude + 5) / 10;
        ullJours = ullCentiemes / 8640000;
        ullReste = ullCentiemes % 8640000 * 10;
        nFraction = static_cast<int>(ullCentiemes % 100);
    } else {
        ullJours = ullMagnitude / kMilliParJour;
        ullReste = ullMagnitude % kMilliParJour;
        nFraction = static_cast<int>(ullMagnitude % 1000);
    }
    const int nHeures = static_cast<int>(ullReste / kMilliParHeure);
    const int nMinutes = static_cast<int>(ullReste % kMilliParHeure / kMilliParMinute);
    const int nSecondes = static_cast<int>(ullReste % kMilliParMinute / 1000);

    wchar_t* pszSortie = psz;
    unsigned nPlace = nTaille;
    if (v < 0) {
        if (nPlace == 0) {
            psz[0] = 0;
            return -1;
        }
        *pszSortie++ = L'-';
        --nPlace;
    }
    if (pszFormat == nullptr) {
        *pszSortie = 0;
        return -1;
    }
    // The days may exceed an int: they are written apart from the rest of
    // a format that begins with them.
    wchar_t sz[96];
    int nLen;
    if (wcsncmp(pszFormat, L"%d", 2) == 0) {
        int nJours = swprintf(sz, 48, L"%llu", ullJours);
        const int nSuite = nJours >= 0 ? swprintf(sz + nJours, 48, pszFormat + 2, nHeures, nMinutes, nSecondes,
                                                  nFraction)
                                       : -1;
        nLen = nSuite >= 0 ? nJours + nSuite : -1;
    } else if (ullJours <= INT_MAX) {
        nLen = swprintf(sz, 96, pszFormat, static_cast<int>(ullJours), nHeures, nMinutes, nSecondes, nFraction);
    } else {
        nLen = -1;
    }
    if (nLen < 0 || static_cast<unsigned>(nLen) > nPlace) {
        *pszSortie = 0;
        return -1;
    }
    wmemcpy(pszSortie, sz, static_cast<size_t>(nLen));
    pszSortie[nLen] = 0;
    return nLen;
}

wchar_t* CDureeBase::pszCreeChaine() const
{
    wchar_t sz[25];
    EcrireDuree(*this, ms_pcszFormatAffichageMillieme, sz);
    return STR_pszCreate(sz);
}

int CDureeBase::nVersChaine(CXYString<wchar_t>* pcl) const
{
    return nAffecteDuree(*this, ms_pcszFormatAffichageMillieme, pcl);
}

int CDureeBase::nVersChaineCentieme(CXYString<wchar_t>* pcl) const
{
    return nAffecteDuree(*this, ms_cpszFormatAffichageCentieme, pcl);
}

int CDureeBase::nVersBinaire(CTQBIN* pcl, unsigned) const
{
    wchar_t sz[25];
    EcrireDuree(*this, ms_pcszFormatAffichageMillieme, sz);
    const int n = static_cast<int>(wcslen(sz));
    const int nErreur = pcl->nSetSize(n);
    if (nErreur != STRMEM_OK)
        return nErreur;
    unsigned char* p = pcl->pGetData();
    for (int i = 0; i < n; ++i)
        p[i] = static_cast<unsigned char>(sz[i]);
    return kOk;
}

namespace {

// Reads the duration laid out as days, then hours, minutes and seconds on 2
// digits and a fraction on nFraction digits worth nUnite milliseconds each.
int nLireDuree(const wchar_t* psz, int nFraction, int nUnite, long long* pll)
{
    if (psz == nullptr)
        return kDureeTropCourte;
    bool bNegatif = false;
    if (psz[0] == L'+' || psz[0] == 0xFF0B) {
        ++psz;
    } else if (psz[0] == L'-' || psz[0] == 0xFF0D) {
        bNegatif = true;
        ++psz;
    }
    const size_t nLen = wcslen(psz);
    const size_t nFixe = 6 + static_cast<size_t>(nFraction);
    if (nLen < nFixe + 1)
        return kDureeTropCourte;
    auto lire = [psz](size_t nPos, size_t n) -> long long {
        wchar_t sz[24];
        if (n > 23)
            n = 23;
        wmemcpy(sz, psz + nPos, n);
        sz[n] = 0;
        return wcstoll(sz, nullptr, 10);
    };
    const size_t nJours = nLen - nFixe;
    if (nJours > 23)
        return kDureeTropCourte;
    const long long llJours = lire(0, nJours);
    const long long llHeures = lire(nJours, 2);
    const long long llMinutes = lire(nJours + 2, 2);
    const long long llSecondes = lire(nJours + 4, 2);
    const long long llFraction = lire(nJours + 6, static_cast<size_t>(nFraction));
    // Summed with the sign, refusing days beyond what 64 bits of
    // milliseconds hold.
    const long long allTermes[5] = {llJours, llHeures, llMinutes, llSecondes, llFraction};
    const long long allUnites[5] = {kMilliParJour, kMilliParHeure, kMilliParMinute, 1000, nUnite};
    long long ll = 0;
    for (int i = 0; i < 5; ++i) {
        long long llTerme;
        if (__builtin_mul_overflow(allTermes[i], allUnites[i], &llTerme))
            return kDureeTropCourte;
        const bool bDebordement =
            bNegatif ? __builtin_sub_overflow(ll, llTerme, &ll) : __builtin_add_overflow(ll, llTerme, &ll);
        if (bDebordement)
            return kDureeTropCourte;
    }
    *pll = ll;
    return kOk;
}

}  // namespace

int CDureeBase::nDepuisChaine(const wchar_t* psz)
{
    return nLireDuree(psz, 3, 1, &m_llDuree);
}

int CDureeBase::nDepuisChaineCentieme(const wchar_t* psz)
{
    return nLireDuree(psz, 2, 10, &m_llDuree);
}

int CDureeBase::nDepuisBinaire(const CTQBIN* pcl, unsigned)
{
    const int nTaille = pcl != nullptr ? pcl->nGetSize() : 0;
    if (nTaille <= 0)
        return kDureeTropCourte;
    const int n = nTaille > 24 ? 24 : nTaille;
    wchar_t sz[25];
    const unsigned char* p = pcl->pGetData();
    for (int i = 0; i < n; ++i)
        sz[i] = static_cast<wchar_t>(p[i]);
    sz[n] = 0;
    return nDepuisChaine(sz);
}
