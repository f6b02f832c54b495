#include "common/platform/XTime.h"

#include "common/values/datetime.h"
#include "tests/support/CivilDays.h"
#include "tests/support/TimeZone.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <functional>
#include <initializer_list>
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

long long g_nClockSet = -1;
int CaptureClock(const timeval* tv)
{
    g_nClockSet = tv->tv_sec;
    return 0;
}

}  // namespace

TEST(XTime, ZeroAndConstruction)
{
    CXTime zero;
    EXPECT_EQ(Text(zero), "0000-01-01 00:00:00.000");
    EXPECT_TRUE(zero.nGetTimeTm()->tm_wday == -1);
    EXPECT_TRUE(zero.nGetTimeTm()->tm_isdst == -1);

    SYSTEMTIME st = {2023, 2, 2, 14, 9, 5, 7, 8};
    CXTime fromSt(st, 1);
    EXPECT_EQ(Text(fromSt), "2023-02-14 09:05:07.008");
    EXPECT_TRUE(fromSt.nGetTimeTm()->tm_wday == 2);
    EXPECT_TRUE(fromSt.nGetTimeTm()->tm_isdst == 1);
    CXTime dos(static_cast<unsigned short>(0x5A4E), static_cast<unsigned short>(0x6B2F), 0);
    EXPECT_EQ(Text(dos), "2025-02-14 13:25:30.000");
    CXTime fields(2023, 0, 0, 25, 61, 70, -1);  // month and day raised, the rest as given
    const tm& f = *fields.nGetTimeTm();
    EXPECT_EQ(f.tm_mon, 0);
    EXPECT_EQ(f.tm_mday, 1);
    EXPECT_EQ(f.tm_hour, 25);
    EXPECT_EQ(f.tm_min, 61);
    EXPECT_EQ(f.tm_sec, 70);

    CDateTime date;
    date.InitDate();
    date.Set(2024, 2, 29, 23, 59, 58, 997);
    CXTime fromDate;
    fromDate.SetTime(date);
    EXPECT_EQ(Text(fromDate), "2024-02-29 23:59:58.997");
    date.InitDate();
    fromDate.SetTime(date);  // an empty date: year 0, January 1
    EXPECT_EQ(Text(fromDate), "0000-01-01 00:00:00.000");
    // SetTo0 keeps the daylight flag.
    fromSt.SetTo0();
    EXPECT_TRUE(fromSt.nGetTimeTm()->tm_isdst == 1);
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
        cl = static_cast<time_t>(-1);
        EXPECT_EQ(Text(cl), "0000-01-01 00:00:00.000");
    }
    {
        CPinnedTimeZone tz("EST5");
        EXPECT_EQ(CXTime::__s_nGetOffsetMkTime(), -5 * 3600);
    }
    CPinnedTimeZone tz(kParis);
    const time_t winter = static_cast<time_t>(DaysFromCivil(2023, 11, 14) * 86400 + 22 * 3600);
    const time_t summer = static_cast<time_t>(DaysFromCivil(2023, 7, 1) * 86400 + 12 * 3600);
    CXTime cl(winter);
    EXPECT_EQ(Text(cl), "2023-11-14 23:00:00.000");
    cl = summer;
    EXPECT_EQ(Text(cl), "2023-07-01 14:00:00.000");
    EXPECT_EQ(cl.nGetTime32_t(), summer);
    // A record holding UTC gives its UTC time_t in either season.
    CXTime utc(2023, 7, 1, 12, 0, 0, -1);
    EXPECT_EQ(utc.nGetTime32_t_UTC(), summer);
    utc.SetTime(2023, 11, 14, 22, 0, 0, -1);
    EXPECT_EQ(utc.nGetTime32_t_UTC(), winter);

    tm local = *CXTime(2023, 7, 1, 14, 0, 0, -1).nGetTimeTm(), out, back;
    CXTime::Local2UTC(local, out);
    EXPECT_EQ(out.tm_hour, 12);
    CXTime::UTC2Local(out, back);
    EXPECT_EQ(back.tm_hour, 14);
    EXPECT_EQ(back.tm_mday, 1);
}

TEST(XTime, SystemAndFileTimes)
{
    CPinnedTimeZone tz(kParis);
    SYSTEMTIME st;
    CXTime cl(2023, 2, 14, 9, 5, 7, -1);
    cl.m_nMilli = 8;
    EXPECT_TRUE(cl.bGetAsSystemTime(st));
    EXPECT_EQ(Text(CXTime(st, -1)), "2023-02-14 09:05:07.008");
    // FILETIME: 100 ns since 1601; 2023-07-01 12:00 UTC is 14:00 in Paris.
    const long long nUnix = DaysFromCivil(2023, 7, 1) * 86400LL + 12 * 3600;
    const unsigned long long units = (nUnix - DaysFromCivil(1601, 1, 1) * 86400LL) * 10000000ULL;
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
    EXPECT_TRUE(fromFt.bInitLocalTime());
    SetLocalTimeClock(old);
    EXPECT_EQ(g_nClockSet, nUnix);
    // Now, read around the call.
    const time_t before = time(nullptr);
    CXTime now;
    now.SetFromUTCTime();
    const time_t after = time(nullptr);
    EXPECT_EQ(now.nGetTimeTm()->tm_isdst, -1);
    // time() reads a coarse clock that can lag the precise one by a tick.
    EXPECT_GE(now.nGetTime32_t_UTC(), before);
    EXPECT_LE(now.nGetTime32_t_UTC(), after + 1);
}

TEST(XTime, CalendarHelpers)
{
    // The Gregorian rule throughout; two-digit texts are centuries.
    EXPECT_TRUE(CXTime::bBissextile(2000));
    EXPECT_FALSE(CXTime::bBissextile(1900));
    EXPECT_FALSE(CXTime::bBissextile(1500));
    EXPECT_TRUE(CXTime::bBissextile(L"20"));
    EXPECT_FALSE(CXTime::bBissextile(L"21"));
    EXPECT_EQ(CXTime::nGetDayInMonth(2023, 2), 28);
    EXPECT_EQ(CXTime::nGetDayInMonth(2023, 9), 30);
    EXPECT_EQ(CXTime::nGetDayInMonth(2023, 13), -1);
    EXPECT_EQ(CXTime::nGetDayInMonth(2023, 0), -1);
    EXPECT_EQ(CXTime::nGetDayInMonth(L"202402"), 29);
    EXPECT_EQ(CXTime::nGetDayInMonth(L"20230"), 31);  // month 00: January

    CXTime a(2023, 2, 14, 9, 5, 7, -1), b(2023, 2, 14, 9, 5, 7, -1);
    EXPECT_EQ(CXTime::snCompare(a.nGetTimeTm(), b.nGetTimeTm()), 0);
    EXPECT_FALSE(a > b);
    EXPECT_TRUE(a >= b);
    a.m_nMilli = 1;  // the milliseconds count
    EXPECT_TRUE(a > b);
    EXPECT_FALSE(b >= a);
    b.SetTime(2022, 12, 31, 23, 59, 59, -1);
    EXPECT_GT(CXTime::snCompare(a.nGetTimeTm(), b.nGetTimeTm()), 0);
}

TEST(XTime, TextForms)
{
    CXTime cl(2023, 2, 14, 9, 5, 7, -1);
    cl.m_nMilli = 8;
    CXTime old(999, 1, 2, 3, 4, 5, -1);  // years below 1000 keep four digits
    wchar_t w[64];
    char s[64];
    const struct {
        std::function<void()> form;
        const wchar_t* expected;
    } forms[] = {
        {[&] { cl.GetTQTime(w); }, L"090507008"},
        {[&] { cl.GetTQTimeAAAAMMJJ_HHMMSS(w); }, L"20230214 090507"},
        {[&] { cl.GetTQTimeReadable(w); }, L"14/02/2023 09:05:07,008"},
        {[&] { cl.FormatToOdbcTime(w); }, L"{t '09:05:07.008'}"},
        {[&] { cl.FormatToSQLServerTimeStamp(w); }, L"20230214 09:05:07.008"},
        {[&] { cl.Format(L"%Y-%m-%d", w, 5); }, L""},  // does not fit
        {[&] { cl.GetTQTimeReadable(w, 6); }, L"14/02"},
        {[&] { old.GetTQTimeAAAAMMJJHHMMSSCCm(w); }, L"09990102030405000"},
        {[&] { old.FormatToOdbcTimeStamp(w); }, L"{ts '0999-01-02 03:04:05.000'}"},
    };
    for (const auto& f : forms) {
        wmemset(w, L'x', 64);
        f.form();
        EXPECT_EQ(std::wstring(w), f.expected);
    }
    cl.GetTQDate(s);  // the 8-bit forms share the wide ones' writer
    EXPECT_STREQ(s, "20230214");
    CTString t;
    cl.FormatToOdbcTimeStamp(t);
    EXPECT_STREQ(t.pszGet(), L"{ts '2023-02-14 09:05:07.008'}");
    // Each form stays within its buffer, whatever the fields hold.
    CXTime odd(123456, 77, 88, 999, 999, 999, -1);
    odd.m_nMilli = 123456;
    wmemset(w, L'x', 64);
    odd.GetTQDate(w);
    EXPECT_EQ(wcslen(w), 8);
    EXPECT_EQ(w[9], L'x');
    wmemset(w, L'x', 64);
    odd.FormatToOdbcTimeStamp(w);
    EXPECT_EQ(wcslen(w), 30);
    EXPECT_EQ(w[31], L'x');
    memset(s, 'x', sizeof s);
    odd.GetTQTime(s, 4);
    EXPECT_EQ(strlen(s), 3);
    EXPECT_EQ(s[4], 'x');
}

// ---- Parsing -------------------------------------------------------------------
// Each parser: its texts, whether they are taken and the value then held (a
// refused text leaves the zero date-time).
struct STParse {
    const wchar_t* text;
    const char* value;  // null: refused
};

void CheckParser(const std::function<bool(CXTime&, const wchar_t*)>& parse, std::initializer_list<STParse> cases)
{
    for (const STParse& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
        CXTime cl(2001, 2, 3, 4, 5, 6, -1);
        EXPECT_EQ(parse(cl, c.text), c.value != nullptr);
        EXPECT_EQ(Text(cl), c.value != nullptr ? c.value : "0000-01-01 00:00:00.000");
    }
}

TEST(XTime, ParsingHostTexts)
{
    CheckParser([](CXTime& cl, const wchar_t* p) { return cl.bSetTQDate(p); },
                {{L"20230214", "2023-02-14 00:00:00.000"},
                 {L"20230000", "2023-01-01 00:00:00.000"},  // month and day raised to 1
                 {L"2023021", nullptr}, {L"202302145", nullptr}, {L"2023O214", nullptr}});
    CheckParser([](CXTime& cl, const wchar_t* p) { return cl.bSetTQTime(p); },
                {{L"123456", "0000-01-01 12:34:56.000"}, {L"12345678", "0000-01-01 12:34:56.780"},
                 {L"123456789", "0000-01-01 12:34:56.789"}, {L"1234", "0000-01-01 12:34:00.000"},
                 {L"12345", "0000-01-01 12:34:00.000"}, {L"123", nullptr}, {L"12x456", nullptr}});
    CheckParser([](CXTime& cl, const wchar_t* p) { return cl.bSetTQDateTime(p, -1); },
                {{L"20230214 09050712", "2023-02-14 09:05:07.120"},
                 {L"20230214090507123", "2023-02-14 09:05:07.123"},
                 {L"2023021409050712345", "2023-02-14 09:05:07.000"},  // longer: no milliseconds
                 {L"20230214 090507", nullptr}, {L"", nullptr}, {L"20230214-09050712", nullptr}});
    CXTime cl;
    EXPECT_FALSE(cl.bSetTQDate(nullptr));
    EXPECT_FALSE(cl.bSetTQTime(nullptr));
    EXPECT_FALSE(cl.bSetTQDateTime(static_cast<const char*>(nullptr), -1));
    // The 8-bit form, with the daylight flag given.
    EXPECT_TRUE(cl.bSetTQDateTime("20230214 090507123", 0));
    EXPECT_EQ(Text(cl), "2023-02-14 09:05:07.123");
    EXPECT_TRUE(cl.nGetTimeTm()->tm_isdst == 0);
}

TEST(XTime, LowerBounds)
{
    CheckParser([](CXTime& cl, const wchar_t* p) { return cl.bSetTQDateTimeMin(p, -1); },
                {{L"", "0000-01-01 00:00:00.000"},          {L"2", "2000-01-01 00:00:00.000"},
                 {L"20231", "2023-10-01 00:00:00.000"},     {L"2023021", "2023-02-10 00:00:00.000"},
                 {L"20230214 1", "2023-02-14 10:00:00.000"}, {L"202302141", "2023-02-14 10:00:00.000"},
                 {L"20230214 1234561", "2023-02-14 12:34:56.100"},
                 {L"20230214123456789", "2023-02-14 12:34:56.789"},
                 {L"20230214 ", "2023-02-14 00:00:00.000"}, {L"202300", "2023-01-01 00:00:00.000"},
                 {L"2023-02", nullptr}, {L"20230214T12", nullptr}, {L"2023021412345678901", nullptr},
                 {L"20230214 1234567890", nullptr}, {L"x", nullptr}});
    CheckParser([](CXTime& cl, const wchar_t* p) {
        cl.SetTo0();
        return cl.bSetTQTimeMin(p, -1);
    },
                {{L"1", "0000-01-01 10:00:00.000"}, {L"123", "0000-01-01 12:30:00.000"},
                 {L"1234567", "0000-01-01 12:34:56.700"}, {L"1234567890", nullptr}, {L"12:30", nullptr}});
    CXTime cl;
    EXPECT_TRUE(cl.bSetTQDateTimeMin(nullptr, -1));
    EXPECT_FALSE(cl.bSetTQTimeMin(nullptr, -1));
    EXPECT_TRUE(cl.bSetTQTimeMin(L"1", 1));
    EXPECT_TRUE(cl.nGetTimeTm()->tm_isdst == 1);
}

TEST(XTime, UpperBounds)
{
    // The first instant after the period the text names: a whole day gives
    // the next day, a day-tens digit the day after the last day starting
    // with it, by the month's own length.
    CheckParser([](CXTime& cl, const wchar_t* p) { return cl.bSetTQDateTimeMax(p, -1); },
                {{L"9999", nullptr},                         {L"202309", "2023-10-01 00:00:00.000"},
                 {L"2023", "2024-01-01 00:00:00.000"},       {L"20231231", "2024-01-01 00:00:00.000"},
                 {L"20230228", "2023-03-01 00:00:00.000"},   {L"20240228", "2024-02-29 00:00:00.000"},
                 {L"2023020", "2023-02-10 00:00:00.000"},    {L"2024022", "2024-03-01 00:00:00.000"},
                 {L"2023043", "2023-05-01 00:00:00.000"},    {L"2023121", "2023-12-20 00:00:00.000"},
                 {L"20231231 23", "2024-01-01 00:00:00.000"}, {L"202312", "2024-01-01 00:00:00.000"},
                 {L"20231", "2024-01-01 00:00:00.000"},      {L"20230", "2023-10-01 00:00:00.000"},
                 {L"20230131 2", "2023-02-01 00:00:00.000"}, {L"20230214 1", "2023-02-14 20:00:00.000"},
                 {L"20230214 09", "2023-02-14 10:00:00.000"}, {L"202302141259", "2023-02-14 13:00:00.000"},
                 {L"20230214123456789", "2023-02-14 12:34:56.790"},
                 {L"20230214 123459999", "2023-02-14 12:35:00.000"},
                 {L"99991231 235959999", nullptr}, {L"", nullptr}, {L"2023-02", nullptr},
                 {L"2023021412345678901", nullptr}});
    // A 14-digit text and the same with the blank: one second later.
    CXTime a, b;
    EXPECT_TRUE(a.bSetTQDateTimeMax(L"20230214101530", -1));
    EXPECT_TRUE(b.bSetTQDateTimeMax(L"20230214 101530", -1));
    EXPECT_EQ(Text(a), "2023-02-14 10:15:31.000");
    EXPECT_EQ(Text(b), Text(a));
    // A time alone: the daylight flag is not taken.
    CheckParser([](CXTime& cl, const wchar_t* p) { return cl.bSetTQTimeMax(p, 0); },
                {{L"19", "0000-01-01 20:00:00.000"}, {L"1259", "0000-01-01 13:00:00.000"},
                 {L"1", "0000-01-01 20:00:00.000"}, {L"12345", "0000-01-01 12:35:00.000"},
                 {L"123456789", "0000-01-01 12:34:56.790"}, {L"2", nullptr}, {L"23", nullptr},
                 {L"235959999", nullptr}, {L"", nullptr}, {L"1234567890", nullptr}, {L"12:3", nullptr}});
    CXTime cl;
    EXPECT_TRUE(cl.bSetTQTimeMax(L"09", 0));
    EXPECT_TRUE(cl.nGetTimeTm()->tm_isdst == -1);
    EXPECT_FALSE(cl.bSetTQTimeMax(nullptr, -1));
}
