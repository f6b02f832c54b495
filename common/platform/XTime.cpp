#include "common/platform/XTime.h"

#include "common/text/TextBasics.h"
#include "common/values/datetime.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

// Fields of a record in wide integers, so that odd records format without
// overflow.
struct SChamps {
    long long y, mo, d, h, mi, s, ms;
};

SChamps Champs(const struct tm& tmv, int nMilli)
{
    return SChamps{static_cast<long long>(tmv.tm_year) + 1900, static_cast<long long>(tmv.tm_mon) + 1,
                   tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec, nMilli};
}

// printf into n characters (terminator included) of a narrow or wide
// buffer, cut to fit and always terminated.
void Ecrire(char* psz, unsigned n, const char* pszFormat, ...) __attribute__((format(printf, 3, 4)));
void Ecrire(char* psz, unsigned n, const char* pszFormat, ...)
{
    if (psz == nullptr || n == 0)
        return;
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(psz, n, pszFormat, args);
    va_end(args);
}

void Ecrire(wchar_t* psz, unsigned n, const char* pszFormat, ...) __attribute__((format(printf, 3, 4)));
void Ecrire(wchar_t* psz, unsigned n, const char* pszFormat, ...)
{
    if (psz == nullptr || n == 0)
        return;
    char sz[160];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(sz, sizeof(sz), pszFormat, args);
    va_end(args);
    unsigned i = 0;
    for (; i + 1 < n && sz[i] != 0; ++i)
        psz[i] = static_cast<wchar_t>(static_cast<unsigned char>(sz[i]));
    psz[i] = 0;
}
// Value of the nLargeur digits at nPos of a text of nLen characters, a
// digit beyond the text counting as 0.
template <typename T>
int nLireComplete(const T* psz, size_t nLen, size_t nPos, size_t nLargeur)
{
    int n = 0;
    for (size_t i = nPos; i < nPos + nLargeur; ++i)
        n = n * 10 + (i < nLen && TXT_bDigit(psz[i]) ? psz[i] - '0' : 0);
    return n;
}

template <typename T>
bool bTousChiffres(const T* psz, size_t nDebut, size_t nFin)
{
    for (size_t i = nDebut; i < nFin; ++i)
        if (psz[i] < '0' || psz[i] > '9')
            return false;
    return true;
}

// Month below 1 gives January, day below 1 gives 1.
void PoseDate(struct tm& tmv, int nAnnee, int nMois, int nJour)
{
    tmv.tm_year = nAnnee - 1900;
    tmv.tm_mon = nMois < 1 ? 0 : nMois - 1;
    tmv.tm_mday = nJour < 1 ? 1 : nJour;
}

// YYYYMMDD of a text, its digits at 0 to 7.
template <typename T>
void LireDate(struct tm& tmv, const T* psz, size_t nLen)
{
    PoseDate(tmv, nLireComplete(psz, nLen, 0, 4), nLireComplete(psz, nLen, 4, 2), nLireComplete(psz, nLen, 6, 2));
}

// The record that pfnConv (localtime_r or gmtime_r) gives of t; the zero
// date-time for -1 or a failed conversion.
void DepuisTimeT(CXTime& cl, time_t t, struct tm* (*pfnConv)(const time_t*, struct tm*))
{
    struct tm tmv;
    if (t == static_cast<time_t>(-1) || pfnConv(&t, &tmv) == nullptr) {
        cl.SetTo0();
        return;
    }
    cl.SetTime(tmv);
}

// The date and time texts of both widths.
template <typename T>
void EcrireDate(const SChamps& c, T* psz, unsigned n)
{
    Ecrire(psz, n, "%04lld%02lld%02lld", c.y, c.mo, c.d);
}

template <typename T>
void EcrireHeure(const SChamps& c, T* psz, unsigned n)
{
    Ecrire(psz, n, "%02lld%02lld%02lld%03lld", c.h, c.mi, c.s, c.ms);
}

const int kLongueurHeure = 9;   // HHMMSSmmm
const int kLongueurDateHeure = 17;

}  // namespace

// ===========================================================================
// Construction and setting

void CXTime::_Raz()
{
    memset(&m_tm, 0, sizeof(m_tm));
    m_tm.tm_isdst = -1;
    m_nMilli = 0;
}

CXTime::CXTime()
{
    _Raz();
    SetTo0();
}

CXTime::CXTime(const CXTime& cl) : m_tm(cl.m_tm), m_nMilli(cl.m_nMilli) {}

CXTime::CXTime(const SYSTEMTIME& st, int nDst)
{
    _Raz();
    SetTime(st, nDst);
}

CXTime::CXTime(unsigned short wDosDate, unsigned short wDosTime, int nDst)
{
    _Raz();
    SetTime(wDosDate, wDosTime, nDst);
}

CXTime::CXTime(int nAnnee, int nMois, int nJour, int nHeure, int nMinute, int nSeconde, int nDst)
{
    _Raz();
    SetTime(nAnnee, nMois, nJour, nHeure, nMinute, nSeconde, nDst);
}

CXTime::CXTime(const FILETIME& ft, int nDst)
{
    _Raz();
    SetTime(ft, nDst);
}

CXTime::CXTime(time_t t)
{
    _Raz();
    SetTime(t);
}

CXTime::~CXTime() {}

CXTime& CXTime::operator=(const CXTime& cl)
{
    SetTime(cl);
    return *this;
}

CXTime& CXTime::operator=(time_t t)
{
    SetTime(t);
    return *this;
}

void CXTime::SetTime(const CXTime& cl)
{
    m_tm = cl.m_tm;
    m_nMilli = cl.m_nMilli;
}

void CXTime::SetTo0()
{
    m_tm.tm_year = -1900;
    m_tm.tm_mon = 0;
    m_tm.tm_mday = 1;
    m_tm.tm_hour = 0;
    m_tm.tm_min = 0;
    m_tm.tm_sec = 0;
    m_tm.tm_wday = -1;
    m_tm.tm_yday = -1;
    m_nMilli = 0;
}

void CXTime::SetTime(const SYSTEMTIME& st, int nDst)
{
    m_tm.tm_sec = st.wSecond;
    m_tm.tm_min = st.wMinute;
    m_tm.tm_hour = st.wHour;
    m_tm.tm_mday = st.wDay;
    m_tm.tm_wday = st.wDayOfWeek;
    m_tm.tm_mon = st.wMonth - 1;
    m_tm.tm_year = st.wYear - 1900;
    m_tm.tm_yday = -1;
    m_tm.tm_isdst = nDst;
    m_nMilli = st.wMilliseconds;
}

void CXTime::SetTime(const struct tm& tmv)
{
    m_tm = tmv;
    m_nMilli = 0;
}

void CXTime::SetTime(unsigned short wDosDate, unsigned short wDosTime, int nDst)
{
    m_tm.tm_sec = (wDosTime & 31) * 2;
    m_tm.tm_min = (wDosTime >> 5) & 63;
    m_tm.tm_hour = wDosTime >> 11;
    m_tm.tm_mday = wDosDate & 31;
    m_tm.tm_mon = ((wDosDate >> 5) & 15) - 1;
    m_tm.tm_year = (wDosDate >> 9) + 80;
    m_tm.tm_wday = -1;
    m_tm.tm_yday = -1;
    m_tm.tm_isdst = nDst;
    m_nMilli = 0;
}

void CXTime::SetTime(int nAnnee, int nMois, int nJour, int nHeure, int nMinute, int nSeconde, int nDst)
{
    PoseDate(m_tm, nAnnee, nMois, nJour);
    m_tm.tm_hour = nHeure;
    m_tm.tm_min = nMinute;
    m_tm.tm_sec = nSeconde;
    m_tm.tm_wday = -1;
    m_tm.tm_yday = -1;
    m_tm.tm_isdst = nDst;
    m_nMilli = 0;
}

void CXTime::SetTime(const CDateTime& clDate)
{
    SetTo0();
    const unsigned h = clDate.m_dwHeure;
    PoseDate(m_tm, clDate.m_wAnnee, clDate.m_byMois, clDate.m_byJour);
    m_tm.tm_hour = static_cast<int>(h / 3600000);
    m_tm.tm_min = static_cast<int>(h / 60000 % 60);
    m_tm.tm_sec = static_cast<int>(h / 1000 % 60);
    m_nMilli = static_cast<int>(h % 1000);
}

void CXTime::SetTime(const FILETIME& ft, int nDst)
{
    FILETIME ftLocal;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&ft, &ftLocal) || !FileTimeToSystemTime(&ftLocal, &st)) {
        SetTo0();
        return;
    }
    SetTime(st, nDst);
}

void CXTime::SetTime(time_t t)
{
    DepuisTimeT(*this, t, localtime_r);
}

void CXTime::SetUTCTime(time_t t)
{
    DepuisTimeT(*this, t, gmtime_r);
}

void CXTime::SetFromLocalTime()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    SetTime(st, -1);
}

void CXTime::SetFromUTCTime()
{
    SYSTEMTIME st;
    ::GetSystemTime(&st);
    SetTime(st, -1);
}

// ===========================================================================
// Reading out

void CXTime::GetAsSystemTime(SYSTEMTIME& st, const struct tm& tmv)
{
    st.wYear = static_cast<WORD>(tmv.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tmv.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(tmv.tm_wday);
    st.wDay = static_cast<WORD>(tmv.tm_mday);
    st.wHour = static_cast<WORD>(tmv.tm_hour);
    st.wMinute = static_cast<WORD>(tmv.tm_min);
    st.wSecond = static_cast<WORD>(tmv.tm_sec);
    st.wMilliseconds = 0;
}

bool CXTime::bGetAsSystemTime(SYSTEMTIME& st) const
{
    GetAsSystemTime(st, m_tm);
    st.wMilliseconds = static_cast<WORD>(m_nMilli);
    return true;
}

bool CXTime::bGetAsFileTime(FILETIME& ft) const
{
    SYSTEMTIME st;
    bGetAsSystemTime(st);
    FILETIME ftLocal;
    return SystemTimeToFileTime(&st, &ftLocal) && LocalFileTimeToFileTime(&ftLocal, &ft);
}

void CXTime::GetTQDateTime(CDateTime* pclDate) const
{
    SYSTEMTIME st;
    bGetAsSystemTime(st);
    pclDate->InitDate(&st);
}

bool CXTime::bInitLocalTime() const
{
    SYSTEMTIME st;
    bGetAsSystemTime(st);
    return SetLocalTime(&st) != 0;
}

time_t CXTime::s_nGetTime_t(struct tm& tmv)
{
    return mktime(&tmv);
}

time_t CXTime::nGetTime32_t()
{
    return s_nGetTime_t(m_tm);
}

time_t CXTime::s_nGetTime_t_UTC(struct tm& tmv)
{
    // timegm rather than mktime plus today's offset: the offset of the
    // record's own date is what counts across a daylight-saving change.
    return timegm(&tmv);
}

time_t CXTime::nGetTime32_t_UTC()
{
    return s_nGetTime_t_UTC(m_tm);
}

time_t CXTime::__s_nGetOffsetMkTime()
{
    const time_t now = time(nullptr);
    struct tm tmv;
    if (gmtime_r(&now, &tmv) == nullptr)
        return 0;
    return now - mktime(&tmv);
}

void CXTime::Local2UTC(const struct tm& tmLocal, struct tm& tmUTC)
{
    struct tm tmv = tmLocal;
    const time_t t = mktime(&tmv);
    gmtime_r(&t, &tmUTC);
}

void CXTime::UTC2Local(const struct tm& tmUTC, struct tm& tmLocal)
{
    struct tm tmv = tmUTC;
    const time_t t = timegm(&tmv);
    localtime_r(&t, &tmLocal);
}

time_t CXTime::nGetCurrentTime()
{
    return time(nullptr);
}

void CXTime::nGetCurrentTime(SYSTEMTIME* pst)
{
    ::GetSystemTime(pst);
}

void CXTime::GetLocalTime(SYSTEMTIME* pst)
{
    ::GetLocalTime(pst);
}

bool CXTime::bSetLocalTime(SYSTEMTIME* pst)
{
    return SetLocalTime(pst) != 0;
}

bool CXTime::bBissextile(int nAnnee)
{
    return nAnnee % 4 == 0 && (nAnnee % 100 != 0 || nAnnee % 400 == 0);
}

bool CXTime::bBissextile(const wchar_t* psz)
{
    const size_t nLen = psz != nullptr ? TXT_nLen(psz) : 0;
    return bBissextile(nLireComplete(psz, nLen, 0, 4));
}

int CXTime::nGetDayInMonth(int nAnnee, int nMois)
{
    static const int s_anJours[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (nMois < 1 || nMois > 12)
        return -1;
    return nMois == 2 && bBissextile(nAnnee) ? 29 : s_anJours[nMois - 1];
}

int CXTime::nGetDayInMonth(const wchar_t* psz)
{
    const size_t nLen = psz != nullptr ? TXT_nLen(psz) : 0;
    const int nAnnee = nLireComplete(psz, nLen, 0, 4);
    int nMois = nLireComplete(psz, nLen, 4, 2);
    if (nMois == 0)
        nMois = 1;
    return nGetDayInMonth(nAnnee, nMois);
}

int CXTime::snCompare(const struct tm* a, const struct tm* b)
{
    if (a->tm_year != b->tm_year)
        return a->tm_year - b->tm_year;
    if (a->tm_mon != b->tm_mon)
        return a->tm_mon - b->tm_mon;
    if (a->tm_mday != b->tm_mday)
        return a->tm_mday - b->tm_mday;
    if (a->tm_hour != b->tm_hour)
        return a->tm_hour - b->tm_hour;
    if (a->tm_min != b->tm_min)
        return a->tm_min - b->tm_min;
    return a->tm_sec - b->tm_sec;
}

bool CXTime::operator>(const CXTime& cl) const
{
    const int n = snCompare(&m_tm, &cl.m_tm);
    return n > 0 || (n == 0 && m_nMilli > cl.m_nMilli);
}

bool CXTime::operator>=(const CXTime& cl) const
{
    const int n = snCompare(&m_tm, &cl.m_tm);
    return n > 0 || (n == 0 && m_nMilli >= cl.m_nMilli);
}

// ===========================================================================
// Texts. Every fixed-width field is written with printf padding, never
// wcsftime, so that years below 1000 keep their four digits.

void CXTime::GetTQDate(wchar_t* psz, unsigned n) const
{
    EcrireDate(Champs(m_tm, m_nMilli), psz, n);
}

void CXTime::GetTQDate(char* psz, unsigned n) const
{
    EcrireDate(Champs(m_tm, m_nMilli), psz, n);
}

void CXTime::GetTQDate(CTString& cl) const
{
    wchar_t sz[64];
    GetTQDate(sz, 64);
    cl.Set(sz);
}

void CXTime::GetTQTime(wchar_t* psz, unsigned n) const
{
    EcrireHeure(Champs(m_tm, m_nMilli), psz, n);
}

void CXTime::GetTQTime(char* psz, unsigned n) const
{
    EcrireHeure(Champs(m_tm, m_nMilli), psz, n);
}

void CXTime::GetTQTimeHHMMSS(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "%02lld%02lld%02lld", c.h, c.mi, c.s);
}

void CXTime::GetTQTimeHHMM(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "%02lld%02lld", c.h, c.mi);
}

void CXTime::GetTQTimeHHMMSSCCm(wchar_t* psz, unsigned n) const
{
    GetTQTime(psz, n);
}

void CXTime::GetTQTimeAAAAMMJJ_HHMMSS(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "%04lld%02lld%02lld %02lld%02lld%02lld", c.y, c.mo, c.d, c.h, c.mi, c.s);
}

void CXTime::GetTQTimeAAAAMMJJHHMMSSCCm(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "%04lld%02lld%02lld%02lld%02lld%02lld%03lld", c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms);
}

void CXTime::GetTQTimeReadableSS(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "%02lld/%02lld/%04lld %02lld:%02lld:%02lld", c.d, c.mo, c.y, c.h, c.mi, c.s);
}

void CXTime::GetTQTimeReadable(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "%02lld/%02lld/%04lld %02lld:%02lld:%02lld,%03lld", c.d, c.mo, c.y, c.h, c.mi, c.s, c.ms);
}

void CXTime::FormatToOdbcDate(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "{d '%04lld-%02lld-%02lld'}", c.y, c.mo, c.d);
}

void CXTime::FormatToOdbcDate(CTString& cl) const
{
    wchar_t sz[96];
    FormatToOdbcDate(sz, 96);
    cl.Set(sz);
}

void CXTime::FormatToOdbcTime(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "{t '%02lld:%02lld:%02lld.%03lld'}", c.h, c.mi, c.s, c.ms);
}

void CXTime::FormatToOdbcTime(CTString& cl) const
{
    wchar_t sz[96];
    FormatToOdbcTime(sz, 96);
    cl.Set(sz);
}

void CXTime::FormatToOdbcTimeStamp(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "{ts '%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld'}", c.y, c.mo, c.d, c.h, c.mi, c.s,
           c.ms);
}

void CXTime::FormatToOdbcTimeStamp(CTString& cl) const
{
    wchar_t sz[160];
    FormatToOdbcTimeStamp(sz, 160);
    cl.Set(sz);
}

void CXTime::FormatToSQLServerTimeStamp(wchar_t* psz, unsigned n) const
{
    const SChamps c = Champs(m_tm, m_nMilli);
    Ecrire(psz, n, "%04lld%02lld%02lld %02lld:%02lld:%02lld.%03lld", c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms);
}

void CXTime::Format(const wchar_t* pszFormat, wchar_t* psz, unsigned n) const
{
    if (psz == nullptr || n == 0)
        return;
    if (pszFormat == nullptr || wcsftime(psz, n, pszFormat, &m_tm) == 0)
        psz[0] = 0;
}

void CXTime::Format(const wchar_t* pszFormat, CTString& cl) const
{
    wchar_t sz[256];
    Format(pszFormat, sz, 256);
    cl.Set(sz);
}

// ===========================================================================
// Parsing host texts

bool CXTime::bSetTQDate(const wchar_t* psz)
{
    SetTo0();
    if (psz == nullptr || TXT_nLen(psz) != 8 || !bTousChiffres(psz, 0, 8))
        return false;
    LireDate(m_tm, psz, 8);
    return true;
}

bool CXTime::bSetTQTime(const wchar_t* psz)
{
    SetTo0();
    if (psz == nullptr)
        return false;
    const size_t nLen = TXT_nLen(psz);
    if (nLen < 4)
        return false;
    // The characters read: HHMM, HHMMSS, HHMMSSCC or HHMMSSmmm.
    const size_t nLus = nLen > 5 ? (nLen == 8 ? 8 : (nLen >= 9 ? 9 : 6)) : 4;
    if (!bTousChiffres(psz, 0, nLus))
        return false;
    m_tm.tm_hour = nLireComplete(psz, nLen, 0, 2);
    m_tm.tm_min = nLireComplete(psz, nLen, 2, 2);
    if (nLus >= 6)
        m_tm.tm_sec = nLireComplete(psz, nLen, 4, 2);
    if (nLus == 8)
        m_nMilli = nLireComplete(psz, nLen, 6, 2) * 10;
    else if (nLus == 9)
        m_nMilli = nLireComplete(psz, nLen, 6, 3);
    return true;
}

template <typename T>
bool CXTime::bSetTQDateTime(const T* psz, int nDst)
{
    m_tm.tm_isdst = nDst;
    SetTo0();
    if (psz == nullptr)
        return false;
    const size_t nLen = TXT_nLen(psz);
    if (nLen <= 15)
        return false;
    const size_t nHeure = psz[8] == ' ' ? 9 : 8;
    const size_t nReste = nLen - (nHeure + 6);
    const size_t nFraction = nReste == 2 || nReste == 3 ? nReste : 0;
    if (!bTousChiffres(psz, 0, 8) || !bTousChiffres(psz, nHeure, nHeure + 6 + nFraction))
        return false;
    LireDate(m_tm, psz, nLen);
    m_tm.tm_hour = nLireComplete(psz, nLen, nHeure, 2);
    m_tm.tm_min = nLireComplete(psz, nLen, nHeure + 2, 2);
    m_tm.tm_sec = nLireComplete(psz, nLen, nHeure + 4, 2);
    if (nFraction == 2)
        m_nMilli = nLireComplete(psz, nLen, nHeure + 6, 2) * 10;
    else if (nFraction == 3)
        m_nMilli = nLireComplete(psz, nLen, nHeure + 6, 3);
    return true;
}

template bool CXTime::bSetTQDateTime<char>(const char*, int);
template bool CXTime::bSetTQDateTime<wchar_t>(const wchar_t*, int);

// ---- Bounds of partial texts ------------------------------------------------

bool CXTime::bSetTQTimeMin(const wchar_t* psz, int nDst)
{
    if (psz == nullptr)
        return false;
    const size_t nLen = TXT_nLen(psz);
    if (nLen > kLongueurHeure || !bTousChiffres(psz, 0, nLen))
        return false;
    m_tm.tm_isdst = nDst;
    m_tm.tm_hour = nLireComplete(psz, nLen, 0, 2);
    if (nLen >= 3)
        m_tm.tm_min = nLireComplete(psz, nLen, 2, 2);
    if (nLen >= 5)
        m_tm.tm_sec = nLireComplete(psz, nLen, 4, 2);
    if (nLen >= 7)
        m_nMilli = nLireComplete(psz, nLen, 6, 3);
    return true;
}

bool CXTime::bSetTQDateTimeMin(const wchar_t* psz, int nDst)
{
    SetTo0();
    m_tm.tm_isdst = nDst;
    if (psz == nullptr || psz[0] == 0)
        return true;
    const size_t nLen = TXT_nLen(psz);
    // YYYYMMDD, an optional blank, then at most nine digits of time.
    const size_t nHeure = nLen > 8 && psz[8] == L' ' ? 9 : 8;
    if (!bTousChiffres(psz, 0, nLen < 8 ? nLen : 8) || nLen > nHeure + kLongueurHeure ||
        (nLen > nHeure && !bTousChiffres(psz, nHeure, nLen)))
        return false;

    m_tm.tm_year = nLireComplete(psz, nLen, 0, 4) - 1900;
    if (nLen < 5)
        return true;
    const int nMois = nLireComplete(psz, nLen, 4, 2);
    m_tm.tm_mon = nMois < 1 ? 0 : nMois - 1;
    if (nLen < 7)
        return true;
    const int nJour = nLireComplete(psz, nLen, 6, 2);
    m_tm.tm_mday = nJour < 1 ? 1 : nJour;
    if (nLen < 9)
        return true;
    return bSetTQTimeMin(psz + nHeure, nDst);
}

namespace {

// Digit positions of HHMMSSmmm: the largest value of the digit at i of
// the digits d (the time starting at nBase), or -1 when it carries at once.
int nMaxChiffreHeure(const wchar_t* d, size_t nBase, size_t i)
{
    switch (i - nBase) {
        case 0:
            return 2;
        case 1:
            return d[nBase] == L'2' ? 3 : (d[nBase] < L'2' ? 9 : -1);
        case 2:
        case 4:
            return 5;
        default:
            return 9;
    }
}

// Raises the last of the n digits of d by one, carrying to the left while a
// digit is at its largest; nBaseHeure is where the time digits start (0 for
// a time alone, 8 after a date). Answers the digits to keep (up to and
// including the raised one), or 0 when the carry leaves the text.
size_t nIncremente(wchar_t* d, size_t n, size_t nBaseHeure)
{
    size_t i = n;
    while (i > 0) {
        --i;
        const int c = d[i] - L'0';
        int nMax;
        if (i >= nBaseHeure) {
            nMax = nMaxChiffreHeure(d, nBaseHeure, i);
        } else if (i < 4) {
            nMax = 9;  // year
        } else if (i == 4) {
            nMax = 1;  // month tens: 0 becomes 1, 1 carries into the year
        } else if (i == 5) {
            nMax = d[4] == L'0' ? 9 : (d[4] == L'1' ? 2 : -1);
        } else {
            // Day digits, bounded by the month's own length.
            const int nJours = CXTime::nGetDayInMonth(d);
            const int nDizaineMax = nJours / 10;
            if (i == 6) {
                nMax = c < nDizaineMax ? c + 1 : -1;
            } else {
                const int nDizaine = d[6] - L'0';
                if (nDizaine < nDizaineMax)
                    nMax = 9;
                else if (nDizaine == nDizaineMax)
                    nMax = nJours - nDizaine * 10;
                else
                    nMax = -1;
            }
        }
        if (c < nMax) {
            d[i] = static_cast<wchar_t>(L'0' + c + 1);
            return i + 1;
        }
    }
    return 0;
}

// The first prefix after every one the n digits of d cover, in place; false
// when there is none.
bool bPrefixeSuivant(wchar_t* d, size_t n, size_t nBaseHeure)
{
    const size_t nGarde = nIncremente(d, n, nBaseHeure);
    if (nGarde == 0)
        return false;
    d[nGarde] = 0;
    return true;
}

}  // namespace

bool CXTime::bSetTQTimeMax(const wchar_t* psz, int)
{
    SetTo0();
    if (psz == nullptr || psz[0] == 0)
        return false;
    const size_t nLen = TXT_nLen(psz);
    if (nLen > kLongueurHeure || !bTousChiffres(psz, 0, nLen))
        return false;
    wchar_t d[kLongueurHeure + 1];
    wmemcpy(d, psz, nLen);
    d[nLen] = 0;
    return bPrefixeSuivant(d, nLen, 0) && bSetTQTimeMin(d, -1);
}

bool CXTime::bSetTQDateTimeMax(const wchar_t* psz, int nDst)
{
    SetTo0();
    if (psz == nullptr || psz[0] == 0)
        return false;
    size_t nLen = TXT_nLen(psz);
    if (nLen > kLongueurDateHeure + 1)
        return false;
    // The digits alone: the blank between date and time goes.
    wchar_t d[kLongueurDateHeure + 2];
    size_t n = 0;
    for (size_t i = 0; i < nLen; ++i) {
        if (i == 8 && psz[i] == L' ')
            continue;
        if (!TXT_bDigit(psz[i]))
            return false;
        d[n++] = psz[i];
    }
    if (n == 0 || n > kLongueurDateHeure)
        return false;
    d[n] = 0;
    return bPrefixeSuivant(d, n, 8) && bSetTQDateTimeMin(d, nDst);
}
