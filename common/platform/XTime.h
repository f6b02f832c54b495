// Calendar date-time as a C broken-down time plus milliseconds, with the
// host language's date and time texts, the ODBC escapes used in generated
// SQL, the platform's SYSTEMTIME and FILETIME records, DOS words, time_t
// values and the host date-time value. The prefix-bound builders turn a
// partial date or time text into the first instant it covers (Min) and the
// first instant after it (Max).
#pragma once

#include "common/platform/WinApi.h"
#include "common/text/Tstring.h"

#include <ctime>

class CDateTime;

class CXTime {
public:
    CXTime();
    CXTime(const CXTime& cl);
    CXTime(const SYSTEMTIME& st, int nDst);
    CXTime(unsigned short wDosDate, unsigned short wDosTime, int nDst);
    CXTime(int nAnnee, int nMois, int nJour, int nHeure, int nMinute, int nSeconde, int nDst);
    CXTime(const FILETIME& ft, int nDst);
    explicit CXTime(time_t t);
    virtual ~CXTime();

    CXTime& operator=(const CXTime& cl);
    CXTime& operator=(time_t t);

    // ---- Setting ------------------------------------------------------------
    void SetTime(const CXTime& cl);
    void SetTime(const SYSTEMTIME& st, int nDst);
    // The record copied, milliseconds 0.
    void SetTime(const struct tm& tmv);
    void SetTime(unsigned short wDosDate, unsigned short wDosTime, int nDst);
    // Month below 1 gives January, day below 1 gives 1.
    void SetTime(int nAnnee, int nMois, int nJour, int nHeure, int nMinute, int nSeconde, int nDst);
    void SetTime(const CDateTime& clDate);
    // Through local file time; the zero date-time when a conversion fails.
    void SetTime(const FILETIME& ft, int nDst);
    // Local time of t; the zero date-time for -1 or a failed conversion.
    void SetTime(time_t t);
    void SetUTCTime(time_t t);
    void SetFromLocalTime();
    void SetFromUTCTime();
    // Year 0, 1 January, midnight; the daylight flag, offset and zone stay.
    void SetTo0();

    // ---- Reading out ----------------------------------------------------------
    struct tm* nGetTimeTm() { return &m_tm; }
    const struct tm* nGetTimeTm() const { return &m_tm; }
    bool bGetAsSystemTime(SYSTEMTIME& st) const;
    static void GetAsSystemTime(SYSTEMTIME& st, const struct tm& tmv);
    // The value taken as local time; false when it cannot be converted.
    bool bGetAsFileTime(FILETIME& ft) const;
    void GetTQDateTime(CDateTime* pclDate) const;
    // Sets the platform clock to this value.
    bool bInitLocalTime() const;
    // mktime of the record, which normalises it in place.
    time_t nGetTime32_t();
    static time_t s_nGetTime_t(struct tm& tmv);
    // The record taken as UTC (normalised in place).
    time_t nGetTime32_t_UTC();
    static time_t s_nGetTime_t_UTC(struct tm& tmv);
    // now - mktime(gmtime(now)): the local offset in seconds as mktime sees it.
    static time_t __s_nGetOffsetMkTime();
    static void Local2UTC(const struct tm& tmLocal, struct tm& tmUTC);
    static void UTC2Local(const struct tm& tmUTC, struct tm& tmLocal);
    static time_t nGetCurrentTime();
    static void nGetCurrentTime(SYSTEMTIME* pst);
    static void GetLocalTime(SYSTEMTIME* pst);
    static bool bSetLocalTime(SYSTEMTIME* pst);

    // Gregorian leap years.
    static bool bBissextile(int nAnnee);
    // The year in the first 4 characters, missing ones taken as 0.
    static bool bBissextile(const wchar_t* psz);
    // -1 for a month outside 1..12.
    static int nGetDayInMonth(int nAnnee, int nMois);
    // For a text starting YYYYMM (padded with 0; no month gives January).
    static int nGetDayInMonth(const wchar_t* psz);
    // Difference of the first unequal field, year down to seconds.
    static int snCompare(const struct tm* a, const struct tm* b);
    bool operator>(const CXTime& cl) const;
    bool operator>=(const CXTime& cl) const;

    // ---- Texts ----------------------------------------------------------------
    // Each buffer form writes at most n characters, terminator included; the
    // default n is the size of the form with its terminator.
    void GetTQDate(CTString& cl) const;                                    // YYYYMMDD
    void GetTQDate(wchar_t* psz, unsigned n = 9) const;
    void GetTQDate(char* psz, unsigned n = 9) const;
    void GetTQTime(wchar_t* psz, unsigned n = 10) const;                   // HHMMSSmmm
    void GetTQTime(char* psz, unsigned n = 10) const;
    void GetTQTimeHHMMSS(wchar_t* psz, unsigned n = 7) const;
    void GetTQTimeHHMM(wchar_t* psz, unsigned n = 5) const;
    void GetTQTimeHHMMSSCCm(wchar_t* psz, unsigned n = 10) const;
    void GetTQTimeAAAAMMJJ_HHMMSS(wchar_t* psz, unsigned n = 16) const;
    void GetTQTimeAAAAMMJJHHMMSSCCm(wchar_t* psz, unsigned n = 18) const;
    void GetTQTimeReadableSS(wchar_t* psz, unsigned n = 20) const;         // DD/MM/YYYY HH:MM:SS
    void GetTQTimeReadable(wchar_t* psz, unsigned n = 24) const;           // DD/MM/YYYY HH:MM:SS,mmm
    void FormatToOdbcDate(wchar_t* psz, unsigned n = 17) const;            // {d 'YYYY-MM-DD'}
    void FormatToOdbcDate(CTString& cl) const;
    void FormatToOdbcTime(wchar_t* psz, unsigned n = 19) const;            // {t 'HH:MM:SS.mmm'}
    void FormatToOdbcTime(CTString& cl) const;
    void FormatToOdbcTimeStamp(wchar_t* psz, unsigned n = 31) const;       // {ts 'YYYY-MM-DD HH:MM:SS.mmm'}
    void FormatToOdbcTimeStamp(CTString& cl) const;
    void FormatToSQLServerTimeStamp(wchar_t* psz, unsigned n = 22) const;  // YYYYMMDD HH:MM:SS.mmm
    // wcsftime; an empty text when the result does not fit.
    void Format(const wchar_t* pszFormat, wchar_t* psz, unsigned n = 256) const;
    void Format(const wchar_t* pszFormat, CTString& cl) const;

    // ---- Parsing host texts ---------------------------------------------------
    // Each answers false, leaving the zero date-time, for a text it cannot
    // use (null, wrong length, a non-digit where a digit is read).
    bool bSetTQDate(const wchar_t* psz);
    bool bSetTQTime(const wchar_t* psz);
    template <typename T>
    bool bSetTQDateTime(const T* psz, int nDst);

    // Bounds of a partial text (YYYYMMDD, an optional blank, HHMMSSmmm; a
    // time HHMMSSmmm): the first instant the prefix covers, and the first
    // instant after every one it covers.
    bool bSetTQTimeMin(const wchar_t* psz, int nDst);
    bool bSetTQTimeMax(const wchar_t* psz, int nDst);
    bool bSetTQDateTimeMin(const wchar_t* psz, int nDst);
    bool bSetTQDateTimeMax(const wchar_t* psz, int nDst);

    struct tm m_tm;
    int m_nMilli;

private:
    void _Raz();
};
