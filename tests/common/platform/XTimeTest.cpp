#include "common/platform/XTime.h"

#include "common/values/datetime.h"
#include "tests/support/CivilDays.h"
#include "tests/support/TimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

const char* const kParis = "CET-1CEST,M3.5.0,M10.5.0/3";

// "YYYY-MM-DD HH:MM:SS.mmm" of a value.
std::string Text(const CXTime& cl)
{
    const tm& t = *cl.nGetTimeTm();
    char sz[64];
    snprintf(sz, sizeof sz, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
             t.tm_hour, t.tm_min, t.tm_sec, cl.m_nMilli);
    return sz;
}

std::wstring W(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// The first instant of the day after y-m-d, through the C library.
std::string DayAfter(int y, int m, int d)
{
    tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = m - 1;
    t.tm_mday = d + 1;
    const time_t tt = timegm(&t);
    tm out;
    gmtime_r(&tt, &out);
    char sz[64];
    snprintf(sz, sizeof sz, "%04d-%02d-%02d 00:00:00.000", out.tm_year + 1900, out.tm_mon + 1, out.tm_mday);
    return sz;
}

const timeval* g_pLastClock = nullptr;
timeval g_lastClock;
int CaptureClock(const timeval* tv)
{
    g_lastClock = *tv;
    g_pLastClock = &g_lastClock;
    return 0;
}

}  // namespace

// ---- Construction ---------------------------------------------------------------

TEST(XTime, ZeroAndConstruction)
{
    CXTime zero;
    const tm& z = *zero.nGetTimeTm();
    EXPECT_EQ(z.tm_year, -1900);
    EXPECT_EQ(z.tm_mon, 0);
    EXPECT_EQ(z.tm_mday, 1);
    EXPECT_EQ(z.tm_hour + z.tm_min + z.tm_sec + zero.m_nMilli, 0);
    EXPECT_EQ(z.tm_wday, -1);
    EXPECT_EQ(z.tm_yday, -1);
    EXPECT_EQ(z.tm_isdst, -1);

    SYSTEMTIME st = {2023, 2, 2, 14, 9, 5, 7, 8};
    CXTime fromSt(st, 1);
    EXPECT_EQ(Text(fromSt), "2023-02-14 09:05:07.008");
    EXPECT_EQ(fromSt.nGetTimeTm()->tm_wday, 2);
    EXPECT_EQ(fromSt.nGetTimeTm()->tm_yday, -1);
    EXPECT_EQ(fromSt.nGetTimeTm()->tm_isdst, 1);

    CXTime dos(static_cast<unsigned short>(0x5A4E), static_cast<unsigned short>(0x6B2F), 0);
    EXPECT_EQ(Text(dos), "2025-02-14 13:25:30.000");
    EXPECT_EQ(dos.nGetTimeTm()->tm_isdst, 0);

    CXTime fields(2023, 0, 0, 25, 61, 70, -1);  // month and day raised, the rest as given
    EXPECT_EQ(fields.nGetTimeTm()->tm_mon, 0);
    EXPECT_EQ(fields.nGetTimeTm()->tm_mday, 1);
    EXPECT_EQ(fields.nGetTimeTm()->tm_hour, 25);
    EXPECT_EQ(fields.nGetTimeTm()->tm_sec, 70);

    CDateTime date;
    date.InitDate();
    date.Set(2024, 2, 29, 23, 59, 58, 997);
    CXTime fromDate;
    fromDate.SetTime(date);
    EXPECT_EQ(Text(fromDate), "2024-02-29 23:59:58.997");
    date.InitDate();
    fromDate.SetTime(date);  // an empty date: year 0, January 1
    EXPECT_EQ(Text(fromDate), "0000-01-01 00:00:00.000");

    CXTime copy(fromSt);
    EXPECT_EQ(Text(copy), Text(fromSt));
    EXPECT_EQ(memcmp(copy.nGetTimeTm(), fromSt.nGetTimeTm(), sizeof(tm)), 0);
    CXTime assigned;
    assigned = fromSt;
    EXPECT_EQ(Text(assigned), Text(fromSt));

    tm raw{};
    raw.tm_year = 100;
    raw.tm_mday = 3;
    fromSt.SetTime(raw);
    EXPECT_EQ(Text(fromSt), "2000-01-03 00:00:00.000");

    // SetTo0 keeps the daylight flag.
    fromSt.nGetTimeTm()->tm_isdst = 1;
    fromSt.SetTo0();
    EXPECT_EQ(fromSt.nGetTimeTm()->tm_isdst, 1);
    EXPECT_EQ(Text(fromSt), "0000-01-01 00:00:00.000");
}

TEST(XTime, TimeTAndZones)
{
    {
        CPinnedTimeZone tz("UTC0");
        // After 2038 with 32-bit longs: time_t is 64 bits.
        const time_t t2100 = static_cast<time_t>(DaysFromCivil(2100, 3, 1) * 86400 + 3723);
        CXTime cl(t2100);
        EXPECT_EQ(Text(cl), "2100-03-01 01:02:03.000");
        EXPECT_EQ(cl.nGetTime32_t(), t2100);
        EXPECT_EQ(cl.nGetTime32_t_UTC(), t2100);
        cl = static_cast<time_t>(2147483648LL);
        EXPECT_EQ(Text(cl), "2038-01-19 03:14:08.000");
        cl = static_cast<time_t>(-1);
        EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000");
        EXPECT_EQ(CXTime::__s_nGetOffsetMkTime(), 0);
    }
    {
        CPinnedTimeZone tz("EST5");
        EXPECT_EQ(CXTime::__s_nGetOffsetMkTime(), -5 * 3600);
    }
    {
        CPinnedTimeZone tz(kParis);
        const time_t winter = static_cast<time_t>(DaysFromCivil(2023, 11, 14) * 86400 + 22 * 3600);
        const time_t summer = static_cast<time_t>(DaysFromCivil(2023, 7, 1) * 86400 + 12 * 3600);
        CXTime cl(winter);
        EXPECT_EQ(Text(cl), "2023-11-14 23:00:00.000");
        cl.SetUTCTime(winter);
        EXPECT_EQ(Text(cl), "2023-11-14 22:00:00.000");
        cl = summer;
        EXPECT_EQ(Text(cl), "2023-07-01 14:00:00.000");
        EXPECT_EQ(cl.nGetTime32_t(), summer);

        // A record holding UTC gives its UTC time_t in either season.
        CXTime utc(2023, 7, 1, 12, 0, 0, -1);
        EXPECT_EQ(utc.nGetTime32_t_UTC(), summer);
        utc.SetTime(2023, 11, 14, 22, 0, 0, -1);
        EXPECT_EQ(utc.nGetTime32_t_UTC(), winter);

        tm local{}, back{};
        local.tm_year = 123;
        local.tm_mon = 6;
        local.tm_mday = 1;
        local.tm_hour = 14;
        local.tm_isdst = -1;
        tm out;
        CXTime::Local2UTC(local, out);
        EXPECT_EQ(out.tm_hour, 12);
        CXTime::UTC2Local(out, back);
        EXPECT_EQ(back.tm_hour, 14);
        EXPECT_EQ(back.tm_mday, 1);
        EXPECT_EQ(local.tm_hour, 14);  // inputs untouched
    }
}

TEST(XTime, SystemAndFileTimes)
{
    CPinnedTimeZone tz(kParis);
    SYSTEMTIME st;
    CXTime cl(2023, 2, 14, 9, 5, 7, -1);
    cl.m_nMilli = 8;
    EXPECT_TRUE(cl.bGetAsSystemTime(st));
    EXPECT_EQ(st.wYear, 2023);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 14);
    EXPECT_EQ(st.wHour, 9);
    EXPECT_EQ(st.wMinute, 5);
    EXPECT_EQ(st.wSecond, 7);
    EXPECT_EQ(st.wMilliseconds, 8);
    CXTime::GetAsSystemTime(st, *cl.nGetTimeTm());
    EXPECT_EQ(st.wMilliseconds, 0);

    // FILETIME: 100 ns since 1601; 2023-07-01 12:00 UTC is 14:00 in Paris.
    const unsigned long long seconds = static_cast<unsigned long long>(DaysFromCivil(2023, 7, 1) -
                                                                      DaysFromCivil(1601, 1, 1)) *
                                           86400 +
                                       12 * 3600;
    const unsigned long long units = seconds * 10000000ULL;
    FILETIME ft = {static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
    CXTime fromFt(ft, -1);
    EXPECT_EQ(Text(fromFt), "2023-07-01 14:00:00.000");
    FILETIME back;
    EXPECT_TRUE(fromFt.bGetAsFileTime(back));
    EXPECT_EQ(back.dwLowDateTime, ft.dwLowDateTime);
    EXPECT_EQ(back.dwHighDateTime, ft.dwHighDateTime);

    CDateTime date;
    date.InitDate();
    fromFt.m_nMilli = 250;
    fromFt.GetTQDateTime(&date);
    EXPECT_EQ(date.m_wAnnee, 2023);
    EXPECT_EQ(date.m_byMois, 7);
    EXPECT_EQ(date.m_byJour, 1);
    EXPECT_EQ(date.m_dwHeure, 14u * 3600000 + 250);

    // The clock is set through the replaceable setter, never for real.
    PFN_SETCLOCK old = SetLocalTimeClock(CaptureClock);
    g_pLastClock = nullptr;
    EXPECT_TRUE(fromFt.bInitLocalTime());
    SetLocalTimeClock(old);
    ASSERT_NE(g_pLastClock, nullptr);
    EXPECT_EQ(static_cast<long long>(g_lastClock.tv_sec), static_cast<long long>(seconds) -
                                                              (DaysFromCivil(1970, 1, 1) - DaysFromCivil(1601, 1, 1)) *
                                                                  86400);

    // Now, read around the call.
    const time_t before = time(nullptr);
    CXTime now;
    now.SetFromUTCTime();
    const time_t after = time(nullptr);
    EXPECT_EQ(now.nGetTimeTm()->tm_isdst, -1);
    const time_t t = now.nGetTime32_t_UTC();
    EXPECT_GE(t, before);
    EXPECT_LE(t, after);
    EXPECT_GE(CXTime::nGetCurrentTime(), before);
}

TEST(XTime, CalendarHelpers)
{
    EXPECT_TRUE(CXTime::bBissextile(2000));
    EXPECT_FALSE(CXTime::bBissextile(1900));
    EXPECT_FALSE(CXTime::bBissextile(1500));  // Gregorian rule throughout
    EXPECT_TRUE(CXTime::bBissextile(2024));
    EXPECT_TRUE(CXTime::bBissextile(L"2024"));
    EXPECT_TRUE(CXTime::bBissextile(L"20"));  // 2000
    EXPECT_FALSE(CXTime::bBissextile(L"21"));  // 2100
    EXPECT_EQ(CXTime::nGetDayInMonth(2023, 2), 28);
    EXPECT_EQ(CXTime::nGetDayInMonth(2024, 2), 29);
    EXPECT_EQ(CXTime::nGetDayInMonth(2023, 9), 30);
    EXPECT_EQ(CXTime::nGetDayInMonth(2023, 13), -1);
    EXPECT_EQ(CXTime::nGetDayInMonth(2023, 0), -1);
    EXPECT_EQ(CXTime::nGetDayInMonth(L"202402"), 29);
    EXPECT_EQ(CXTime::nGetDayInMonth(L"20230"), 31);   // month 00: January
    EXPECT_EQ(CXTime::nGetDayInMonth(L"2023"), 31);    // no month: January
    EXPECT_EQ(CXTime::nGetDayInMonth(L"202311"), 30);
    EXPECT_EQ(CXTime::nGetDayInMonth(L"2024021"), 29);

    CXTime a(2023, 2, 14, 9, 5, 7, -1), b(2023, 2, 14, 9, 5, 7, -1);
    EXPECT_EQ(CXTime::snCompare(a.nGetTimeTm(), b.nGetTimeTm()), 0);
    EXPECT_FALSE(a > b);
    EXPECT_TRUE(a >= b);
    a.m_nMilli = 1;
    EXPECT_TRUE(a > b);
    EXPECT_FALSE(b >= a);
    b.SetTime(2023, 3, 1, 0, 0, 0, -1);
    EXPECT_LT(CXTime::snCompare(a.nGetTimeTm(), b.nGetTimeTm()), 0);
    EXPECT_TRUE(b > a);
    b.SetTime(2022, 12, 31, 23, 59, 59, -1);
    EXPECT_GT(CXTime::snCompare(a.nGetTimeTm(), b.nGetTimeTm()), 0);
}

// ---- Texts --------------------------------------------------------------------

TEST(XTime, TextForms)
{
    CXTime cl(2023, 2, 14, 9, 5, 7, -1);
    cl.m_nMilli = 8;
    wchar_t w[64];
    char s[64];
    CTString t;

    cl.GetTQDate(w);
    EXPECT_EQ(std::wstring(w), L"20230214");
    cl.GetTQDate(s);
    EXPECT_STREQ(s, "20230214");
    cl.GetTQDate(t);
    EXPECT_EQ(std::wstring(t.pszGet()), L"20230214");
    cl.GetTQTime(w);
    EXPECT_EQ(std::wstring(w), L"090507008");
    cl.GetTQTime(s);
    EXPECT_STREQ(s, "090507008");
    cl.GetTQTimeHHMMSS(w);
    EXPECT_EQ(std::wstring(w), L"090507");
    cl.GetTQTimeHHMM(w);
    EXPECT_EQ(std::wstring(w), L"0905");
    cl.GetTQTimeHHMMSSCCm(w);
    EXPECT_EQ(std::wstring(w), L"090507008");
    cl.GetTQTimeAAAAMMJJ_HHMMSS(w);
    EXPECT_EQ(std::wstring(w), L"20230214 090507");
    cl.GetTQTimeAAAAMMJJHHMMSSCCm(w);
    EXPECT_EQ(std::wstring(w), L"20230214090507008");
    cl.GetTQTimeReadableSS(w);
    EXPECT_EQ(std::wstring(w), L"14/02/2023 09:05:07");
    cl.GetTQTimeReadable(w);
    EXPECT_EQ(std::wstring(w), L"14/02/2023 09:05:07,008");
    cl.FormatToOdbcDate(w);
    EXPECT_EQ(std::wstring(w), L"{d '2023-02-14'}");
    cl.FormatToOdbcTime(w);
    EXPECT_EQ(std::wstring(w), L"{t '09:05:07.008'}");
    cl.FormatToOdbcTimeStamp(w);
    EXPECT_EQ(std::wstring(w), L"{ts '2023-02-14 09:05:07.008'}");
    cl.FormatToOdbcDate(t);
    EXPECT_EQ(std::wstring(t.pszGet()), L"{d '2023-02-14'}");
    cl.FormatToOdbcTime(t);
    EXPECT_EQ(std::wstring(t.pszGet()), L"{t '09:05:07.008'}");
    cl.FormatToOdbcTimeStamp(t);
    EXPECT_EQ(std::wstring(t.pszGet()), L"{ts '2023-02-14 09:05:07.008'}");
    cl.FormatToSQLServerTimeStamp(w);
    EXPECT_EQ(std::wstring(w), L"20230214 09:05:07.008");
    cl.Format(L"%Y-%m-%d %H.%M", w, 64);
    EXPECT_EQ(std::wstring(w), L"2023-02-14 09.05");
    cl.Format(L"%Y-%m-%d", t);
    EXPECT_EQ(std::wstring(t.pszGet()), L"2023-02-14");
    cl.Format(L"%Y-%m-%d", w, 5);  // does not fit
    EXPECT_EQ(std::wstring(w), L"");

    // Years below 1000 keep four digits in every fixed form.
    CXTime old(999, 1, 2, 3, 4, 5, -1);
    old.GetTQDate(t);
    EXPECT_EQ(std::wstring(t.pszGet()), L"09990102");
    old.GetTQTimeAAAAMMJJ_HHMMSS(w);
    EXPECT_EQ(std::wstring(w), L"09990102 030405");
    old.GetTQTimeAAAAMMJJHHMMSSCCm(w);
    EXPECT_EQ(std::wstring(w), L"09990102030405000");
    old.FormatToOdbcTimeStamp(w);
    EXPECT_EQ(std::wstring(w), L"{ts '0999-01-02 03:04:05.000'}");

    // Each form stays within its buffer, whatever the fields hold.
    CXTime odd(123456, 77, 88, 999, 999, 999, -1);
    odd.m_nMilli = 123456;
    wmemset(w, L'x', 64);
    odd.GetTQDate(w);
    EXPECT_EQ(wcslen(w), 8u);
    EXPECT_EQ(w[9], L'x');
    wmemset(w, L'x', 64);
    odd.FormatToOdbcTimeStamp(w);
    EXPECT_EQ(wcslen(w), 30u);
    EXPECT_EQ(w[31], L'x');
    memset(s, 'x', sizeof s);
    odd.GetTQTime(s, 4);
    EXPECT_EQ(strlen(s), 3u);
    EXPECT_EQ(s[4], 'x');
    wmemset(w, L'x', 64);
    cl.GetTQTimeReadable(w, 6);
    EXPECT_EQ(std::wstring(w), L"14/02");
}

// ---- Parsing -------------------------------------------------------------------

TEST(XTime, ParsingHostTexts)
{
    CXTime cl;
    EXPECT_TRUE(cl.bSetTQDate(L"20230214"));
    EXPECT_EQ(Text(cl), "2023-02-14 00:00:00.000");
    EXPECT_TRUE(cl.bSetTQDate(L"20230000"));  // month and day raised to 1
    EXPECT_EQ(Text(cl), "2023-01-01 00:00:00.000");
    EXPECT_FALSE(cl.bSetTQDate(L"2023021"));
    EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000");
    EXPECT_FALSE(cl.bSetTQDate(L"202302145"));
    EXPECT_FALSE(cl.bSetTQDate(L"2023O214"));
    EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000");
    EXPECT_FALSE(cl.bSetTQDate(nullptr));

    EXPECT_TRUE(cl.bSetTQTime(L"123456"));
    EXPECT_EQ(Text(cl), "0000-01-01 12:34:56.000");
    EXPECT_TRUE(cl.bSetTQTime(L"12345678"));
    EXPECT_EQ(Text(cl), "0000-01-01 12:34:56.780");
    EXPECT_TRUE(cl.bSetTQTime(L"123456789"));
    EXPECT_EQ(Text(cl), "0000-01-01 12:34:56.789");
    EXPECT_TRUE(cl.bSetTQTime(L"1234"));
    EXPECT_EQ(Text(cl), "0000-01-01 12:34:00.000");
    EXPECT_TRUE(cl.bSetTQTime(L"12345"));
    EXPECT_EQ(Text(cl), "0000-01-01 12:34:00.000");
    EXPECT_FALSE(cl.bSetTQTime(L"123"));
    EXPECT_FALSE(cl.bSetTQTime(L"12x456"));
    EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000");
    EXPECT_FALSE(cl.bSetTQTime(nullptr));

    EXPECT_TRUE(cl.bSetTQDateTime("2023021409050712", 0));
    EXPECT_EQ(Text(cl), "2023-02-14 09:05:07.120");
    EXPECT_EQ(cl.nGetTimeTm()->tm_isdst, 0);
    EXPECT_TRUE(cl.bSetTQDateTime(L"20230214 09050712", -1));
    EXPECT_EQ(Text(cl), "2023-02-14 09:05:07.120");
    EXPECT_EQ(cl.nGetTimeTm()->tm_isdst, -1);
    EXPECT_TRUE(cl.bSetTQDateTime(L"20230214090507123", -1));
    EXPECT_EQ(Text(cl), "2023-02-14 09:05:07.123");
    EXPECT_TRUE(cl.bSetTQDateTime("20230214 090507123", -1));
    EXPECT_EQ(Text(cl), "2023-02-14 09:05:07.123");
    EXPECT_TRUE(cl.bSetTQDateTime("2023021409050712345", -1));  // longer: no milliseconds
    EXPECT_EQ(Text(cl), "2023-02-14 09:05:07.000");
    EXPECT_FALSE(cl.bSetTQDateTime("20230214 090507", -1));
    EXPECT_FALSE(cl.bSetTQDateTime("", -1));
    EXPECT_FALSE(cl.bSetTQDateTime(static_cast<const char*>(nullptr), -1));
    EXPECT_FALSE(cl.bSetTQDateTime(L"20230214-09050712", -1));
    EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000");
}

TEST(XTime, LowerBounds)
{
    CXTime cl;
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"", -1));
    EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000");
    EXPECT_TRUE(cl.bSetTQDateTimeMin(nullptr, -1));
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"2", -1));
    EXPECT_EQ(Text(cl), "2000-01-01 00:00:00.000");
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"20231", -1));
    EXPECT_EQ(Text(cl), "2023-10-01 00:00:00.000");
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"2023021", 0));
    EXPECT_EQ(Text(cl), "2023-02-10 00:00:00.000");
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"20230214 1", -1));
    EXPECT_EQ(Text(cl), "2023-02-14 10:00:00.000");
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"202302141", -1));
    EXPECT_EQ(Text(cl), "2023-02-14 10:00:00.000");
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"20230214 1234561", -1));
    EXPECT_EQ(Text(cl), "2023-02-14 12:34:56.100");
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"20230214123456789", 1));
    EXPECT_EQ(Text(cl), "2023-02-14 12:34:56.789");
    EXPECT_EQ(cl.nGetTimeTm()->tm_isdst, 1);
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"20230214 ", -1));
    EXPECT_EQ(Text(cl), "2023-02-14 00:00:00.000");
    EXPECT_TRUE(cl.bSetTQDateTimeMin(L"202300", -1));
    EXPECT_EQ(Text(cl), "2023-01-01 00:00:00.000");

    // Unusable texts: false and the zero date-time.
    const wchar_t* bad[] = {L"2023-02", L"20230214T12", L"2023021412345678901", L"20230214 1234567890", L"x"};
    for (const wchar_t* p : bad) {
        EXPECT_FALSE(cl.bSetTQDateTimeMin(p, -1)) << std::string(p, p + wcslen(p));
        EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000");
    }

    cl.SetTo0();
    EXPECT_TRUE(cl.bSetTQTimeMin(L"1", 0));
    EXPECT_EQ(Text(cl), "0000-01-01 10:00:00.000");
    EXPECT_EQ(cl.nGetTimeTm()->tm_isdst, 0);
    cl.SetTo0();
    EXPECT_TRUE(cl.bSetTQTimeMin(L"123", -1));
    EXPECT_EQ(Text(cl), "0000-01-01 12:30:00.000");
    cl.SetTo0();
    EXPECT_TRUE(cl.bSetTQTimeMin(L"1234567", -1));
    EXPECT_EQ(Text(cl), "0000-01-01 12:34:56.700");
    EXPECT_FALSE(cl.bSetTQTimeMin(L"1234567890", -1));
    EXPECT_FALSE(cl.bSetTQTimeMin(L"12:30", -1));
    EXPECT_FALSE(cl.bSetTQTimeMin(nullptr, -1));
}

TEST(XTime, UpperBounds)
{
    struct Case {
        const wchar_t* prefix;
        const char* bound;  // null: false
    } cases[] = {
        {L"20230228", "2023-03-01 00:00:00.000"},   {L"20240228", "2024-02-29 00:00:00.000"},
        {L"9999", nullptr},                         {L"202309", "2023-10-01 00:00:00.000"},
        {L"2023091", "2023-09-20 00:00:00.000"},    {L"2023010109", "2023-01-01 10:00:00.000"},
        {L"202301", "2023-02-01 00:00:00.000"},     {L"20230131", "2023-02-01 00:00:00.000"},
        {L"2023", "2024-01-01 00:00:00.000"},       {L"20231231 23", "2024-01-01 00:00:00.000"},
        {L"202312", "2024-01-01 00:00:00.000"},     {L"20231", "2024-01-01 00:00:00.000"},
        {L"20230", "2023-10-01 00:00:00.000"},      {L"2023022", "2023-03-01 00:00:00.000"},
        {L"2024022", "2024-03-01 00:00:00.000"},    {L"2023012", "2023-01-30 00:00:00.000"},
        {L"2023013", "2023-02-01 00:00:00.000"},    {L"2023093", "2023-10-01 00:00:00.000"},
        {L"20230129", "2023-01-30 00:00:00.000"},   {L"20230219", "2023-02-20 00:00:00.000"},
        {L"20230130", "2023-01-31 00:00:00.000"},   {L"20230131 2", "2023-02-01 00:00:00.000"},
        {L"20230214 1", "2023-02-14 20:00:00.000"}, {L"20230214 09", "2023-02-14 10:00:00.000"},
        {L"202302141259", "2023-02-14 13:00:00.000"},
        {L"20230214123456789", "2023-02-14 12:34:56.790"},
        {L"20230214 123459999", "2023-02-14 12:35:00.000"},
        {L"99991231 235959999", nullptr},           {L"", nullptr},
        {L"2023-02", nullptr},                      {L"2023021412345678901", nullptr},
    };
    for (const Case& c : cases) {
        CXTime cl;
        const bool ok = cl.bSetTQDateTimeMax(c.prefix, -1);
        const std::string name(c.prefix, c.prefix + wcslen(c.prefix));
        EXPECT_EQ(ok, c.bound != nullptr) << name;
        if (c.bound != nullptr)
            EXPECT_EQ(Text(cl), c.bound) << name;
        else
            EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000") << name;
    }

    // A 14-digit text and the same with the blank: one second later.
    CXTime a, b;
    EXPECT_TRUE(a.bSetTQDateTimeMax(L"20230214101530", -1));
    EXPECT_TRUE(b.bSetTQDateTimeMax(L"20230214 101530", -1));
    EXPECT_EQ(Text(a), "2023-02-14 10:15:31.000");
    EXPECT_EQ(Text(b), Text(a));

    // Every day prefix of two years, against the C library's calendar: a
    // whole day gives the next day, a day-tens digit the day after the last
    // day that starts with it.
    for (int y = 2023; y <= 2024; ++y) {
        for (int m = 1; m <= 12; ++m) {
            const int len = CXTime::nGetDayInMonth(y, m);
            for (int d = 1; d <= len; ++d) {
                char sz[32];
                snprintf(sz, sizeof sz, "%04d%02d%02d", y, m, d);
                CXTime cl;
                ASSERT_TRUE(cl.bSetTQDateTimeMax(W(sz).c_str(), -1)) << sz;
                EXPECT_EQ(Text(cl), DayAfter(y, m, d)) << sz;
            }
            for (int tens = 0; tens <= len / 10; ++tens) {
                const int last = tens * 10 + 9 < len ? tens * 10 + 9 : len;
                char sz[32];
                snprintf(sz, sizeof sz, "%04d%02d%d", y, m, tens);
                CXTime cl;
                ASSERT_TRUE(cl.bSetTQDateTimeMax(W(sz).c_str(), -1)) << sz;
                EXPECT_EQ(Text(cl), DayAfter(y, m, last)) << sz;
            }
        }
    }
}

TEST(XTime, TimeUpperBounds)
{
    struct Case {
        const wchar_t* prefix;
        const char* bound;
    } cases[] = {
        {L"09", "0000-01-01 10:00:00.000"},   {L"19", "0000-01-01 20:00:00.000"},
        {L"1259", "0000-01-01 13:00:00.000"}, {L"0", "0000-01-01 10:00:00.000"},
        {L"1", "0000-01-01 20:00:00.000"},    {L"22", "0000-01-01 23:00:00.000"},
        {L"12345", "0000-01-01 12:35:00.000"}, {L"123456789", "0000-01-01 12:34:56.790"},
        {L"2", nullptr},                      {L"23", nullptr},
        {L"2359", nullptr},                   {L"235959999", nullptr},
        {L"", nullptr},                       {L"1234567890", nullptr},
        {L"12:3", nullptr},
    };
    for (const Case& c : cases) {
        CXTime cl;
        const bool ok = cl.bSetTQTimeMax(c.prefix, 0);
        const std::string name(c.prefix, c.prefix + wcslen(c.prefix));
        EXPECT_EQ(ok, c.bound != nullptr) << name;
        if (c.bound != nullptr) {
            EXPECT_EQ(Text(cl), c.bound) << name;
            EXPECT_EQ(cl.nGetTimeTm()->tm_isdst, -1) << name;
        }
    }
    CXTime cl;
    EXPECT_FALSE(cl.bSetTQTimeMax(nullptr, -1));
}
