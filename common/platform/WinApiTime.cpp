// File and system times and the clock.
#include "common/platform/WinApi.h"

#include "common/platform/DiskFile.h"

#include <cstring>
#include <sys/stat.h>
#include <utime.h>

namespace {

const uint64_t kTicksPerSecond = 10000000ULL;

uint64_t nGet(const FILETIME* ft)
{
    return (static_cast<uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime;
}

void Set(FILETIME* ft, uint64_t n)
{
    ft->dwLowDateTime = static_cast<DWORD>(n);
    ft->dwHighDateTime = static_cast<DWORD>(n >> 32);
}

// Whole seconds since 1970, rounded down (the division comes first, so
// times before 1970 stay exact).
time_t tSeconds(const FILETIME* ft)
{
    return static_cast<time_t>(nGet(ft) / kTicksPerSecond) -
           static_cast<time_t>(FILETIME_UNIX_EPOCH / kTicksPerSecond);
}

void FromTm(const struct tm& tm, SYSTEMTIME* st, WORD milliseconds)
{
    st->wYear = static_cast<WORD>(tm.tm_year + 1900);
    st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st->wDay = static_cast<WORD>(tm.tm_mday);
    st->wHour = static_cast<WORD>(tm.tm_hour);
    st->wMinute = static_cast<WORD>(tm.tm_min);
    st->wSecond = static_cast<WORD>(tm.tm_sec);
    st->wMilliseconds = milliseconds;
}

void ToTm(const SYSTEMTIME* st, struct tm* tm)
{
    std::memset(tm, 0, sizeof(*tm));
    tm->tm_year = st->wYear - 1900;
    tm->tm_mon = st->wMonth - 1;
    tm->tm_mday = st->wDay;
    tm->tm_hour = st->wHour;
    tm->tm_min = st->wMinute;
    tm->tm_sec = st->wSecond;
    tm->tm_isdst = -1;
}

typedef struct tm* (*PFN_BROKEN_DOWN)(const time_t*, struct tm*);

// The clock now, broken down by pfnConv (localtime_r or gmtime_r).
void Maintenant(SYSTEMTIME* st, PFN_BROKEN_DOWN pfnConv)
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    const time_t t = tv.tv_sec;
    struct tm tm;
    if (pfnConv(&t, &tm) == nullptr)
        std::memset(&tm, 0, sizeof(tm));
    FromTm(tm, st, static_cast<WORD>(tv.tv_usec / 1000));
}

// A time_t from a conversion as file time; FALSE for the failed one (-1).
BOOL bVersFileTime(time_t t, FILETIME* ft)
{
    if (t == static_cast<time_t>(-1))
        return FALSE;
    TimeToFileTime(t, ft);
    return TRUE;
}


int DefaultSetClock(const struct timeval* tv)
{
    return settimeofday(tv, nullptr);
}

PFN_SETCLOCK s_pfnSetClock = DefaultSetClock;

}  // namespace

void TimeToFileTime(time_t t, FILETIME* ft)
{
    if (ft != nullptr)
        Set(ft, static_cast<uint64_t>(static_cast<int64_t>(t) * static_cast<int64_t>(kTicksPerSecond)) +
                    FILETIME_UNIX_EPOCH);
}

BOOL GetFileTime(int fd, FILETIME* creation, FILETIME* access, FILETIME* write)
{
    struct stat64 st;
    if (fstat64(fd, &st) != 0)
        return FALSE;
    TimeToFileTime(st.st_ctime, creation);
    TimeToFileTime(st.st_atime, access);
    TimeToFileTime(st.st_mtime, write);
    return TRUE;
}

BOOL SetFileTime(const wchar_t* path, const FILETIME*, const FILETIME* access, const FILETIME* write)
{
    if (access == nullptr && write == nullptr)
        return TRUE;
    struct utimbuf times;
    if (access == nullptr || write == nullptr) {
        struct stat64 st;
        if (CDiskFile::Unix_lstat(path, &st) != 0)
            return FALSE;
        times.actime = st.st_atime;
        times.modtime = st.st_mtime;
    }
    if (access != nullptr)
        times.actime = tSeconds(access);
    if (write != nullptr)
        times.modtime = tSeconds(write);
    return CDiskFile::Unix_utime(path, &times) == 0;
}

BOOL FileTimeToLocalFileTime(const FILETIME* ft, FILETIME* local)
{
    const time_t t = tSeconds(ft);
    struct tm tm;
    if (localtime_r(&t, &tm) == nullptr)
        return FALSE;
    return bVersFileTime(timegm(&tm), local);
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* ft)
{
    const time_t t = tSeconds(local);
    struct tm tm;
    if (gmtime_r(&t, &tm) == nullptr)
        return FALSE;
    tm.tm_isdst = -1;
    return bVersFileTime(mktime(&tm), ft);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft)
{
    struct tm tm;
    ToTm(st, &tm);
    return bVersFileTime(timegm(&tm), ft);
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st)
{
    const time_t t = tSeconds(ft);
    struct tm tm;
    if (gmtime_r(&t, &tm) == nullptr)
        return FALSE;
    FromTm(tm, st, 0);
    return TRUE;
}

void GetLocalTime(SYSTEMTIME* st)
{
    Maintenant(st, localtime_r);
}

void GetSystemTime(SYSTEMTIME* st)
{
    Maintenant(st, gmtime_r);
}

BOOL SetLocalTime(const SYSTEMTIME* st)
{
    struct tm tm;
    ToTm(st, &tm);
    const time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1))
        return FALSE;
    struct timeval tv;
    tv.tv_sec = t;
    tv.tv_usec = 0;
    return s_pfnSetClock(&tv) == 0;
}

PFN_SETCLOCK SetLocalTimeClock(PFN_SETCLOCK pfn)
{
    PFN_SETCLOCK pfnOld = s_pfnSetClock;
    s_pfnSetClock = pfn != nullptr ? pfn : DefaultSetClock;
    return pfnOld;
}

DWORD GetTickCount()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    const uint64_t ms = static_cast<uint64_t>(tv.tv_sec) * 1000U + static_cast<uint64_t>(tv.tv_usec) / 1000U;
    return static_cast<DWORD>(ms);
}
