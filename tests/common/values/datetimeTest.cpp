#include "common/values/datetime.h"

#include "common/platform/WinApi.h"
#include "common/text/STR.h"
#include "common/text/TQBIN.h"
#include "common/text/XYString.h"
#include "tests/support/CivilDays.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// ---- Independent references -------------------------------------------------

bool GregorianLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int MonthLength(int y, int m, bool julian)
{
    static const int len[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = julian ? y % 4 == 0 : GregorianLeap(y);
    return m == 2 && leap ? 29 : len[m - 1];
}

const long long kDay0 = DaysFromCivil(1799, 12, 31);

CDateTimeBase Date(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    CDateTimeBase cl;
    cl.InitDate();
    cl.Set(y, m, d, h, mi, s, ms);
    return cl;
}

void ExpectDate(const CDateTimeBase& cl, int y, int m, int d, unsigned time = 0)
{
    EXPECT_EQ(cl.m_wAnnee, y);
    EXPECT_EQ(cl.m_byMois, m);
    EXPECT_EQ(cl.m_byJour, d);
    EXPECT_EQ(cl.m_dwHeure, time);
}

unsigned Ms(int h, int mi, int s, int ms)
{
    return static_cast<unsigned>(((h * 60 + mi) * 60 + s) * 1000 + ms);
}

std::wstring W(const char* s)
{
    return std::wstring(s, s + strlen(s));
}

}  // namespace

// ---- Calendar rules -----------------------------------------------------------

TEST(DateTime, LeapYearsAndMonthLengths)
{
    // Julian rule before 1583, Gregorian after.
    EXPECT_EQ(CDateTimeBase::__nBissextile(1500), 1);
    EXPECT_EQ(CDateTimeBase::__nBissextile(1580), 1);
    EXPECT_EQ(CDateTimeBase::__nBissextile(1582), 0);
    EXPECT_EQ(CDateTimeBase::__nBissextile(1600), 1);
    EXPECT_EQ(CDateTimeBase::__nBissextile(1700), 0);
    EXPECT_EQ(CDateTimeBase::__nBissextile(1900), 0);
    EXPECT_EQ(CDateTimeBase::__nBissextile(2000), 1);
    EXPECT_EQ(CDateTimeBase::__nBissextile(2024), 1);
    EXPECT_EQ(CDateTimeBase::__nBissextile(2023), 0);
    EXPECT_EQ(CDateTimeBase::s_nGetNbJourMois(2, 2024), 29);
    EXPECT_EQ(CDateTimeBase::s_nGetNbJourMois(2, 2100), 28);
    EXPECT_EQ(CDateTimeBase::s_nGetNbJourMois(4, 2023), 30);
    EXPECT_EQ(CDateTimeBase::s_nGetNbJourMois(12, 2023), 31);
    EXPECT_EQ(CDateTimeBase::__nRectifieFinMois(31, 4, 2023), 30);
    EXPECT_EQ(CDateTimeBase::__nRectifieFinMois(31, 2, 2024), 29);
    EXPECT_EQ(CDateTimeBase::__nRectifieFinMois(31, 0, 2024), 31);
    EXPECT_EQ(CDateTimeBase::__nRectifieFinMois(15, 2, 2023), 15);
}

TEST(DateTime, FieldSetters)
{
    CDateTimeBase cl;
    cl.InitDate();
    EXPECT_TRUE(cl.bModifieJour(31));  // nothing to rectify against
    EXPECT_EQ(cl.m_byJour, 31);
    EXPECT_FALSE(cl.bModifieJour(32));
    EXPECT_FALSE(cl.bModifieJour(0));
    EXPECT_FALSE(cl.bModifieJour(-1));
    EXPECT_EQ(cl.m_byJour, 31);

    cl = Date(2023, 1, 31);
    EXPECT_TRUE(cl.bModifieMois(2));
    ExpectDate(cl, 2023, 2, 28);
    EXPECT_FALSE(cl.bModifieMois(13));
    EXPECT_FALSE(cl.bModifieMois(0));
    cl = Date(2024, 2, 29);
    EXPECT_TRUE(cl.bModifieAnnee(2023));
    ExpectDate(cl, 2023, 2, 28);
    EXPECT_FALSE(cl.bModifieAnnee(0));
    EXPECT_FALSE(cl.bModifieAnnee(10000));
    EXPECT_TRUE(cl.bModifieAnnee(9999));
    EXPECT_EQ(cl.m_wAnnee, 9999);

    cl = Date(2024, 3, 5, 7, 8, 9, 10);
    EXPECT_TRUE(cl.bModifieHeure(23));
    EXPECT_EQ(cl.m_dwHeure, Ms(23, 8, 9, 10));
    EXPECT_TRUE(cl.bModifieMinute(59));
    EXPECT_EQ(cl.m_dwHeure, Ms(23, 59, 9, 10));
    EXPECT_TRUE(cl.bModifieSeconde(0));
    EXPECT_EQ(cl.m_dwHeure, Ms(23, 59, 0, 10));
    EXPECT_TRUE(cl.bModifieMilli(999));
    EXPECT_EQ(cl.m_dwHeure, Ms(23, 59, 0, 999));
    EXPECT_FALSE(cl.bModifieHeure(24));
    EXPECT_FALSE(cl.bModifieMinute(60));
    EXPECT_FALSE(cl.bModifieSeconde(-1));
    EXPECT_FALSE(cl.bModifieMilli(1000));
    EXPECT_EQ(cl.m_dwHeure, Ms(23, 59, 0, 999));
}

// ---- Day numbers ------------------------------------------------------------

TEST(DateTime, DayNumberLandmarks)
{
    int n = -1;
    EXPECT_EQ(Date(1800, 1, 1).nVersEntier(&n), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(Date(1799, 12, 31).nVersEntier(&n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Date(1582, 10, 15).nVersEntier(&n), 0);
    EXPECT_EQ(n, -79335);
    EXPECT_EQ(Date(9999, 12, 31).nVersEntier(&n), 0);
    EXPECT_EQ(n, 2994988);
    EXPECT_EQ(Date(2024, 2, 30).nVersEntier(&n), 110);
    EXPECT_EQ(Date(2023, 2, 29).nVersEntier(&n), 110);
    EXPECT_EQ(Date(0, 1, 1).nVersEntier(&n), 110);
    EXPECT_EQ(Date(2023, 13, 1).nVersEntier(&n), 110);

    EXPECT_EQ(CDateTimeBase::s_nDateVersEntier(1, 1, 1800), 1);
    EXPECT_EQ(CDateTimeBase::s_nDateVersEntier(31, 4, 2023), 0);
    // Unchecked, a month outside 1..12 is still refused.
    EXPECT_FALSE(CDateTimeBase::__bDateVersEntier(1, 13, 2023, &n, 0));
    EXPECT_FALSE(CDateTimeBase::__bDateVersEntier(0, 1, 2023, &n, 0));

    int d, m, y;
    EXPECT_FALSE(CDateTimeBase::__bEntierVersDate(2994989, &d, &m, &y));
    EXPECT_TRUE(CDateTimeBase::__bEntierVersDate(2994988, &d, &m, &y));
    EXPECT_EQ(y * 10000 + m * 100 + d, 99991231);
    EXPECT_TRUE(CDateTimeBase::__bEntierVersDate(-79335, &d, &m, &y));
    EXPECT_EQ(y * 10000 + m * 100 + d, 15821015);
    EXPECT_FALSE(CDateTimeBase::__bEntierVersDate(INT_MIN, &d, &m, &y));
}

// Every date from 1583-01-01 to 9999-12-31: day number, inverse, weekday,
// day of the year and the canonical text, against independent computations.
TEST(DateTime, WholeGregorianRangeRoundTrips)
{
    int nFailures = 0;
    for (int y = 1583; y <= 9999 && nFailures < 10; ++y) {
        int dayOfYear = 0;
        for (int m = 1; m <= 12; ++m) {
            const int len = MonthLength(y, m, false);
            for (int d = 1; d <= len; ++d) {
                ++dayOfYear;
                const long long expected = DaysFromCivil(y, m, d) - kDay0;
                const unsigned time = static_cast<unsigned>(((expected * 7919 + 13) % 86400000 + 86400000) % 86400000);
                CDateTimeBase cl = Date(y, m, d);
                cl.m_dwHeure = time;

                int n = 0;
                int dd = 0, mm = 0, yy = 0;
                const bool ok = cl.nVersEntier(&n) == 0 && n == expected &&
                                CDateTimeBase::__bEntierVersDate(n, &dd, &mm, &yy) && dd == d && mm == m &&
                                yy == y;
                const int weekday = static_cast<int>(((DaysFromCivil(y, m, d) + 4) % 7 + 7) % 7);
                char ref[32];
                snprintf(ref, sizeof ref, "%04d%02d%02d%02u%02u%02u%03u", y, m, d, time / 3600000,
                         time / 60000 % 60, time / 1000 % 60, time % 1000);
                char text[18];
                cl.VersChaine(text, 17);
                CDateTimeBase back;
                back.InitDate();
                back.FromString(text);
                CDateTimeBase checked;
                checked.InitDate();
                const bool textOk = strcmp(text, ref) == 0 && CDateTimeBase::nCompare(&back, &cl) == 0 &&
                                    checked.nFromStringValide(text) == 0 &&
                                    CDateTimeBase::nCompare(&checked, &cl) == 0;
                if (!ok || !textOk || cl.nGetJourDeLaSemaine() != weekday || cl.nGetJourDansAnnee() != dayOfYear) {
                    ADD_FAILURE() << y << "-" << m << "-" << d << " n=" << n << " expected " << expected
                                  << " text " << text << " ref " << ref;
                    ++nFailures;
                }
            }
        }
    }
}

// Before 1583 the numbering keeps one number per valid date, joined to the
// Gregorian numbers; from 1500-03-01 on it is the proleptic Gregorian count.
TEST(DateTime, DayNumbersBefore1583AreConsecutive)
{
    int prev = 0;
    bool first = true;
    int nFailures = 0;
    for (int y = 1; y <= 1583 && nFailures < 10; ++y) {
        for (int m = 1; m <= 12; ++m) {
            const int len = MonthLength(y, m, y < 1583);
            for (int d = 1; d <= len; ++d) {
                int n = 0, dd, mm, yy;
                const bool ok = CDateTimeBase::__bDateVersEntier(d, m, y, &n, 1) && (first || n == prev + 1) &&
                                CDateTimeBase::__bEntierVersDate(n, &dd, &mm, &yy) && dd == d && mm == m &&
                                yy == y;
                const bool gregorianSpan = y > 1500 || (y == 1500 && m >= 3);
                if (!ok || (gregorianSpan && n != DaysFromCivil(y, m, d) - kDay0)) {
                    ADD_FAILURE() << y << "-" << m << "-" << d << " n=" << n;
                    ++nFailures;
                }
                prev = n;
                first = false;
            }
        }
    }
    // Below 1 January of year 1 there is no date.
    int n0 = 0, d, m, y;
    ASSERT_TRUE(CDateTimeBase::__bDateVersEntier(1, 1, 1, &n0, 1));
    EXPECT_FALSE(CDateTimeBase::__bEntierVersDate(n0 - 1, &d, &m, &y));
    CDateTimeBase cl = Date(1, 1, 1);
    EXPECT_FALSE(cl.bDecaleJour(-1));
    ExpectDate(cl, 1, 1, 1);
}

TEST(DateTime, JulianDayNumbers)
{
    EXPECT_EQ(Date(1582, 10, 15).nVersJourJulien(), 2299161);
    EXPECT_EQ(Date(1582, 10, 4).nVersJourJulien(), 2299160);
    EXPECT_EQ(Date(1582, 10, 10).nVersJourJulien(), 2299161);  // dropped by the reform
    EXPECT_EQ(Date(2000, 1, 1).nVersJourJulien(), 2451545);
    EXPECT_EQ(Date(1858, 11, 17).nVersJourJulien(), 2400001);  // modified julian day 0 starts at its midnight
    // Julian calendar: 1 January 4713 BC is day 0; 1 January of year 1 (Julian) is 1721424.
    EXPECT_EQ(Date(1, 1, 1).nVersJourJulien(), 1721424);
    // Gregorian span: one more per day, 2440588 on 1970-01-01.
    for (int y = 1583; y <= 9999; y += 37)
        for (int m = 1; m <= 12; m += 5)
            EXPECT_EQ(Date(y, m, 3).nVersJourJulien(), DaysFromCivil(y, m, 3) + 2440588) << y << "-" << m;
}

// ---- Shifts -----------------------------------------------------------------

TEST(DateTime, MonthAndYearShifts)
{
    CDateTimeBase cl = Date(2024, 2, 29, 1, 2, 3, 4);
    EXPECT_TRUE(cl.bDecaleAnnee(1));
    ExpectDate(cl, 2025, 2, 28, Ms(1, 2, 3, 4));
    cl = Date(2023, 1, 31);
    EXPECT_TRUE(cl.bDecaleMois(1));
    ExpectDate(cl, 2023, 2, 28);
    cl = Date(2024, 1, 15);
    EXPECT_TRUE(cl.bDecaleMois(-13));
    ExpectDate(cl, 2022, 12, 15);
    cl = Date(2024, 1, 31);
    EXPECT_TRUE(cl.bDecaleMois(25));
    ExpectDate(cl, 2026, 2, 28);
    cl = Date(2024, 3, 31);
    EXPECT_TRUE(cl.bDecaleMois(-1));
    ExpectDate(cl, 2024, 2, 29);
    cl = Date(2024, 12, 10);
    EXPECT_TRUE(cl.bDecaleMois(1));
    ExpectDate(cl, 2025, 1, 10);
    cl = Date(2024, 1, 10);
    EXPECT_TRUE(cl.bDecaleMois(-12));
    ExpectDate(cl, 2023, 1, 10);

    // Leaving 1..9999 is refused and changes nothing.
    cl = Date(9999, 12, 15);
    EXPECT_FALSE(cl.bDecaleMois(1));
    ExpectDate(cl, 9999, 12, 15);
    EXPECT_FALSE(cl.bDecaleAnnee(1));
    ExpectDate(cl, 9999, 12, 15);
    cl = Date(1, 1, 15);
    EXPECT_FALSE(cl.bDecaleMois(-1));
    ExpectDate(cl, 1, 1, 15);
    EXPECT_FALSE(cl.bDecaleAnnee(INT_MIN));
    EXPECT_FALSE(cl.bDecaleAnnee(INT_MAX));
    EXPECT_FALSE(cl.bDecaleMois(INT_MAX));
    ExpectDate(cl, 1, 1, 15);
    EXPECT_TRUE(cl.bDecaleAnnee(9998));
    ExpectDate(cl, 9999, 1, 15);
    // No month, no shift.
    cl = Date(2024, 0, 15);
    EXPECT_FALSE(cl.bDecaleMois(1));
    cl.InitDate();
    EXPECT_FALSE(cl.bDecaleAnnee(1));
}

TEST(DateTime, DayAndMillisecondShifts)
{
    CDateTimeBase cl;
    cl.InitDate();
    EXPECT_TRUE(cl.bDecaleJour(10));  // the empty date stays empty
    ExpectDate(cl, 0, 0, 0);

    cl = Date(9999, 12, 31);
    EXPECT_FALSE(cl.bDecaleJour(1));
    ExpectDate(cl, 9999, 12, 31);
    cl = Date(2024, 2, 30);
    EXPECT_FALSE(cl.bDecaleJour(1));
    cl = Date(2023, 12, 31);
    EXPECT_TRUE(cl.bDecaleJour(60));
    ExpectDate(cl, 2024, 2, 29);
    EXPECT_TRUE(cl.bDecaleJour(-366));
    ExpectDate(cl, 2023, 2, 28);
    EXPECT_FALSE(cl.bDecaleJour(INT_MAX));
    EXPECT_FALSE(cl.bDecaleJour(INT_MIN));
    ExpectDate(cl, 2023, 2, 28);
    // Across the whole range in one step.
    cl = Date(1583, 1, 1);
    EXPECT_TRUE(cl.bDecaleJour(static_cast<int>(DaysFromCivil(9999, 12, 31) - DaysFromCivil(1583, 1, 1))));
    ExpectDate(cl, 9999, 12, 31);

    cl = Date(2024, 3, 1);
    EXPECT_TRUE(cl.bDecaleMilli(-1));
    ExpectDate(cl, 2024, 2, 29, Ms(23, 59, 59, 999));
    EXPECT_TRUE(cl.bDecaleMilli(1));
    ExpectDate(cl, 2024, 3, 1, 0);
    EXPECT_TRUE(cl.bDecaleMilli(12LL * 3600000));
    ExpectDate(cl, 2024, 3, 1, Ms(12, 0, 0, 0));
    EXPECT_TRUE(cl.bDecaleMilli(366LL * 86400000 + 12LL * 3600000));
    ExpectDate(cl, 2025, 3, 3, 0);  // 2024-03-01 + 365 days is 2025-03-01
    EXPECT_TRUE(cl.bDecaleMilli(-(366LL * 86400000) - 1));
    ExpectDate(cl, 2024, 3, 1, Ms(23, 59, 59, 999));
    // A refused shift leaves date and time as they were.
    cl = Date(9999, 12, 31, 23, 0, 0, 0);
    EXPECT_FALSE(cl.bDecaleMilli(3600000));
    ExpectDate(cl, 9999, 12, 31, Ms(23, 0, 0, 0));
    EXPECT_TRUE(cl.bDecaleMilli(3599999));
    ExpectDate(cl, 9999, 12, 31, Ms(23, 59, 59, 999));
    EXPECT_FALSE(cl.bDecaleMilli(LLONG_MAX));
    EXPECT_FALSE(cl.bDecaleMilli(LLONG_MIN));
    ExpectDate(cl, 9999, 12, 31, Ms(23, 59, 59, 999));
}

// ---- Calendar queries ---------------------------------------------------------

TEST(DateTime, WeekdaysAndIsoWeeks)
{
    EXPECT_EQ(Date(2024, 1, 1).nGetJourDeLaSemaine(), 1);
    EXPECT_EQ(Date(2023, 12, 31).nGetJourDeLaSemaine(), 0);
    EXPECT_EQ(Date(1970, 1, 1).nGetJourDeLaSemaine(), 4);
    EXPECT_EQ(Date(2024, 3, 1).nGetJourDansAnnee(), 61);
    EXPECT_EQ(Date(2023, 12, 31).nGetJourDansAnnee(), 365);

    int y, w, wd;
    Date(2021, 1, 7).VersISO8601YWD(y, w, wd);
    EXPECT_EQ(y * 1000 + w * 10 + wd, 2021014);
    Date(2021, 1, 3).VersISO8601YWD(y, w, wd);
    EXPECT_EQ(y * 1000 + w * 10 + wd, 2020537);
    Date(2024, 12, 30).VersISO8601YWD(y, w, wd);  // Monday of week 1 of 2025
    EXPECT_EQ(y * 1000 + w * 10 + wd, 2025011);

    // Against the C library's ISO week for a span of days and samples of
    // the whole range.
    int nFailures = 0;
    for (long long day = DaysFromCivil(1583, 1, 1); day <= DaysFromCivil(9999, 12, 31) && nFailures < 10;) {
        time_t t = static_cast<time_t>(day) * 86400;
        tm tmv;
        ASSERT_NE(gmtime_r(&t, &tmv), nullptr);
        char ref[32];
        strftime(ref, sizeof ref, "%G-%V-%u", &tmv);
        int iy, iw, iwd;
        Date(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday).VersISO8601YWD(iy, iw, iwd);
        char got[32];
        snprintf(got, sizeof got, "%d-%02d-%d", iy, iw, iwd);
        if (strcmp(got, ref) != 0) {
            ADD_FAILURE() << tmv.tm_year + 1900 << "-" << tmv.tm_mon + 1 << "-" << tmv.tm_mday << " " << got
                          << " vs " << ref;
            ++nFailures;
        }
        const bool dense = day >= DaysFromCivil(1990, 1, 1) && day <= DaysFromCivil(2060, 12, 31);
        day += dense ? 1 : 5;
    }
}

// ---- Differences and comparisons ----------------------------------------------

TEST(DateTime, DifferencesAndComparisons)
{
    CDateTimeBase a = Date(2024, 1, 2), b = Date(2024, 1, 1, 12, 0, 0, 0);
    CDureeBase du;
    du.m_llDuree = 7;
    EXPECT_EQ(CDateTimeBase::nCalculeDuree(&a, &b, &du), 0);
    EXPECT_EQ(du.m_llDuree, 43200000);
    EXPECT_EQ(CDateTimeBase::nCalculeDuree(&b, &a, &du), 0);
    EXPECT_EQ(du.m_llDuree, -43200000);
    a = Date(9999, 12, 31, 23, 59, 59, 999);
    b = Date(1, 1, 1);
    EXPECT_EQ(CDateTimeBase::nCalculeDuree(&a, &b, &du), 0);
    int nA = 0, nB = 0;
    ASSERT_EQ(a.nVersEntier(&nA), 0);
    ASSERT_EQ(b.nVersEntier(&nB), 0);
    EXPECT_EQ(du.m_llDuree, (static_cast<long long>(nA) - nB + 1) * 86400000 - 1);
    int n = 0;
    EXPECT_TRUE(CDateTimeBase::bCalculeDiffJour(&a, &b, &n));
    EXPECT_EQ(n, nA - nB);
    b = Date(2024, 2, 30);
    du.m_llDuree = 7;
    EXPECT_EQ(CDateTimeBase::nCalculeDuree(&a, &b, &du), 110);
    EXPECT_EQ(du.m_llDuree, 7);
    EXPECT_FALSE(CDateTimeBase::bCalculeDiffJour(&b, &a, &n));

    a = Date(2024, 3, 5, 1, 0, 0, 0);
    b = Date(2024, 3, 5, 2, 0, 0, 0);
    CDateTimeBase c = Date(2024, 3, 6);
    CDateTimeBase d = Date(2025, 1, 1);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, &b), -1);
    EXPECT_EQ(CDateTimeBase::nCompare(&b, &a), 1);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, &a), 0);
    EXPECT_EQ(CDateTimeBase::nCompare(&b, &c), -1);
    EXPECT_EQ(CDateTimeBase::nCompare(&c, &d), -1);  // the year outweighs month and day
    EXPECT_EQ(CDateTimeBase::s_nCompareDateSeule(&a, &b), 0);
    EXPECT_EQ(CDateTimeBase::s_nCompareDateSeule(&d, &c), 1);

    EXPECT_EQ(CDateTimeBase::nCompareDate(L"20240101", L"2024"), 0);
    EXPECT_EQ(CDateTimeBase::nCompareDate(L"20240101", L"20240102"), -1);
    EXPECT_EQ(CDateTimeBase::nCompareDate(L"2025", L"20240102"), 1);
    EXPECT_EQ(CDateTimeBase::nCompareDate(L"", L"2024"), -1);
    EXPECT_EQ(CDateTimeBase::nCompareDate(L"2024", L""), 1);
    EXPECT_EQ(CDateTimeBase::nCompareDate(L"", nullptr), 0);
    EXPECT_EQ(CDateTimeBase::nCompareHeure(L"1200", L"120000000"), 0);
    EXPECT_EQ(CDateTimeBase::nCompareHeure(L"1300", L"120000000"), 1);

    a = Date(2024, 3, 5, 7, 8, 9, 10);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, L"20240305070809010"), 0);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, L"202403"), 0);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, L"20240305070809011"), -1);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, L"2023"), 1);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, L""), 1);
}

// ---- Texts --------------------------------------------------------------------

TEST(DateTime, WritersStayInTheirBuffers)
{
    const CDateTimeBase cl = Date(2024, 3, 5, 7, 8, 9, 10);
    wchar_t w[32];
    char s[32];
    cl.VersChaine(w, 17);
    EXPECT_EQ(std::wstring(w), L"20240305070809010");
    cl.VersChaine(s, 17);
    EXPECT_STREQ(s, "20240305070809010");

    struct Case {
        unsigned n;
        const char* expected;
    } cases[] = {{0, ""}, {4, "2024"}, {8, "20240305"}, {10, "2024030507"}, {16, "2024030507080901"},
                 {17, "20240305070809010"}, {25, "20240305070809010"}};
    for (const Case& c : cases) {
        memset(s, 'x', sizeof s);
        wmemset(w, L'x', 32);
        cl.VersChaine(s, c.n);
        cl.VersChaine(w, c.n);
        EXPECT_STREQ(s, c.expected) << c.n;
        EXPECT_EQ(std::wstring(w), W(c.expected)) << c.n;
        const size_t len = strlen(c.expected);
        EXPECT_EQ(s[len + 1], 'x') << c.n;
        EXPECT_EQ(w[len + 1], L'x') << c.n;
    }

    memset(s, 'x', sizeof s);
    EXPECT_EQ(cl.nVersHeure(s, 4), 0);
    EXPECT_STREQ(s, "0708");
    EXPECT_EQ(s[5], 'x');
    EXPECT_EQ(cl.nVersHeure(w, 9), 0);
    EXPECT_EQ(std::wstring(w), L"070809010");
    EXPECT_EQ(cl.nVersHeure(w, 30), 0);
    EXPECT_EQ(std::wstring(w), L"070809010");
    EXPECT_EQ(cl.nVersDate(w, 6), 0);
    EXPECT_EQ(std::wstring(w), L"202403");
    EXPECT_EQ(cl.nVersDate(s, 30), 0);
    EXPECT_STREQ(s, "20240305");

    // Out-of-range fields keep to their digits.
    CDateTimeBase odd;
    odd.InitDate();
    odd.m_wAnnee = 12345;
    odd.m_dwHeure = 0xFFFFFFFFu;
    memset(s, 'x', sizeof s);
    odd.VersChaine(s, 17);
    EXPECT_EQ(strlen(s), 17u);
    EXPECT_EQ(s[18], 'x');

    EXPECT_EQ(std::wstring(cl.VersChaine().pszGet()), L"20240305070809010");
    CTString t;
    cl.VersChaine(&t);
    EXPECT_EQ(std::wstring(t.pszGet()), L"20240305070809010");
    wchar_t* p = cl.pszCreeChaine();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::wstring(p), L"20240305070809010");
    STR_Delete(p);
    EXPECT_EQ(std::wstring(Date(2024, 3, 5, 7, 8, 9, 10).VersChaineFormate().pszGet()), L"2024-3-5 7:8:9,10");
    // Years below 1000 keep four digits.
    Date(999, 1, 2).VersChaine(s, 8);
    EXPECT_STREQ(s, "09990102");
}

TEST(DateTime, HostStringsAndBinaries)
{
    CLiveBlockCheck check;
    const CDateTimeBase cl = Date(2024, 3, 5, 7, 8, 9, 10);
    CXYString<wchar_t> xs;
    EXPECT_EQ(cl.nVersChaine(&xs), 0);
    EXPECT_EQ(xs.nGetLength(), 17);
    EXPECT_EQ(std::wstring(xs.pszGet()), L"20240305070809010");

    CTQBIN bin;
    EXPECT_EQ(cl.nVersBinaire(&bin), 0);
    ASSERT_EQ(bin.nGetSize(), 17);
    EXPECT_EQ(memcmp(bin.pGetData(), "20240305070809010", 17), 0);
    // A shared binary is copied, not written through.
    CTQBIN shared(bin);
    EXPECT_EQ(Date(1999, 12, 31).nVersBinaire(&shared), 0);
    EXPECT_EQ(memcmp(bin.pGetData(), "20240305070809010", 17), 0);
    EXPECT_EQ(memcmp(shared.pGetData(), "19991231000000000", 17), 0);

    CDateTimeBase back;
    back.InitDate();
    back.DepuisBinaire(&bin);
    EXPECT_EQ(CDateTimeBase::nCompare(&back, &cl), 0);
    back.InitDate();
    EXPECT_EQ(back.nDepuisBinaireValide(&bin), 0);
    EXPECT_EQ(CDateTimeBase::nCompare(&back, &cl), 0);

    // Only the first 17 bytes count; a longer binary is not read further.
    CTQBIN longer(reinterpret_cast<const unsigned char*>("2024030507080901099"), 19);
    back.InitDate();
    EXPECT_EQ(back.nDepuisBinaireValide(&longer), 0);
    EXPECT_EQ(CDateTimeBase::nCompare(&back, &cl), 0);
    CTQBIN bad(reinterpret_cast<const unsigned char*>("20240230"), 8);
    EXPECT_EQ(back.nDepuisBinaireValide(&bad), 110);
    CTQBIN empty;
    EXPECT_EQ(back.nDepuisBinaireValide(&empty), 110);
    back.DepuisBinaire(&empty);
    ExpectDate(back, 0, 0, 0);
}

TEST(DateTime, UncheckedReaders)
{
    CDateTimeBase cl;
    cl.InitDate();
    cl.FromString("2024030507");
    ExpectDate(cl, 2024, 3, 5, Ms(7, 0, 0, 0));
    cl.FromString(L"20240305070809010");
    ExpectDate(cl, 2024, 3, 5, Ms(7, 8, 9, 10));
    cl.__SetPartieHeure("1230455");
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 30, 45, 500));
    cl.__SetPartieHeure(L"12304556");
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 30, 45, 560));
    cl.__SetPartieHeure(L"123045");
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 30, 45, 0));
    cl.FromString("2024");
    ExpectDate(cl, 2024, 0, 0, 0);
    cl.FromString("");
    ExpectDate(cl, 0, 0, 0, 0);
    cl.FromString("abcdefgh");
    ExpectDate(cl, 0, 0, 0, 0);

    EXPECT_EQ(CDateTimeBase::nGetPropDateTime("20240305", 4, 2, 0), 3);
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime("2024030", 6, 2, 0), 0);
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime("2024030", 6, 2, 1), 0);
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(L"1234567", 6, 3, 1), 700);
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(L"12345678", 6, 3, 1), 780);
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(L"123456", 6, 3, 1), 0);
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(L"", 0, 2, 1), 0);
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(static_cast<const char*>(nullptr), 0, 2, 1), 0);

    char s[12];
    memset(s, 'x', sizeof s);
    CDateTimeBase::SetPropDateTime(s, 4, 2, 7, 8);
    EXPECT_EQ(std::string(s + 4, 4), std::string("07xx"));
    EXPECT_EQ(s[8], 0);
    CDateTimeBase::SetPropDateTime(s, 6, 4, 7, 8);  // does not fit: zeros to the end
    EXPECT_EQ(std::string(s + 4, 4), std::string("0700"));
    EXPECT_EQ(s[8], 0);
    EXPECT_EQ(s[9], 'x');
    wchar_t w[12];
    wmemset(w, L'x', 12);
    CDateTimeBase::SetPropDateTime(w, 0, 4, 123456, 4);  // too many digits: the field is kept
    EXPECT_EQ(std::wstring(w), L"3456");
    EXPECT_EQ(w[5], L'x');
}

TEST(DateTime, CheckedReaders)
{
    CDateTimeBase cl;
    cl.InitDate();
    EXPECT_EQ(cl.nFromStringValide("20240230"), 110);
    EXPECT_EQ(cl.nFromStringValide("2024022912"), 0);
    ExpectDate(cl, 2024, 2, 29, Ms(12, 0, 0, 0));
    EXPECT_EQ(cl.nFromStringValide("20240229123"), 111);
    EXPECT_EQ(cl.nFromStringValide("202402291234"), 0);
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 34, 0, 0));
    EXPECT_EQ(cl.nFromStringValide("2024022912345"), 111);
    EXPECT_EQ(cl.nFromStringValide("20240229123456"), 0);
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 34, 56, 0));
    EXPECT_EQ(cl.nFromStringValide("202402291234567"), 0);
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 34, 56, 700));
    EXPECT_EQ(cl.nFromStringValide("2024022912345678"), 0);
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 34, 56, 780));
    EXPECT_EQ(cl.nFromStringValide("20240229123456789"), 0);
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 34, 56, 789));
    EXPECT_EQ(cl.nFromStringValide("20240229123456x"), 0);  // digits end after the seconds
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 34, 56, 0));
    EXPECT_EQ(cl.nFromStringValide("2024022912x4"), 111);
    EXPECT_EQ(cl.nFromStringValide("20240229 12345"), 111);
    EXPECT_EQ(cl.nFromStringValide("20240229240000"), 111);
    EXPECT_EQ(cl.nFromStringValide("20240229236000"), 111);
    EXPECT_EQ(cl.nFromStringValide("20240229235960"), 111);
    EXPECT_EQ(cl.nFromStringValide("20240229235959"), 0);
    EXPECT_EQ(cl.nFromStringValide("2024O229"), 110);
    EXPECT_EQ(cl.nFromStringValide("2024022"), 110);
    EXPECT_EQ(cl.nFromStringValide(""), 110);
    EXPECT_EQ(cl.nFromStringValide(static_cast<const char*>(nullptr)), 110);
    EXPECT_EQ(cl.nFromStringValide("20241301"), 110);
    EXPECT_EQ(cl.nFromStringValide("20241200"), 110);
    EXPECT_EQ(cl.nFromStringValide("00000115"), 110);  // year 0 is only the empty date
    EXPECT_EQ(cl.nFromStringValide("99991231"), 0);
    ExpectDate(cl, 9999, 12, 31, 0);
    EXPECT_EQ(cl.nFromStringValide("15000229"), 0);  // Julian leap year
    EXPECT_EQ(cl.nFromStringValide("17000229"), 110);
}

TEST(DateTime, SystemRecords)
{
    SYSTEMTIME st;
    memset(&st, 0, sizeof st);
    st.wDayOfWeek = 77;
    EXPECT_EQ(Date(2024, 3, 5, 7, 8, 9, 10).nVersSysteme(&st), 0);
    EXPECT_EQ(st.wYear, 2024);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDay, 5);
    EXPECT_EQ(st.wHour, 7);
    EXPECT_EQ(st.wMinute, 8);
    EXPECT_EQ(st.wSecond, 9);
    EXPECT_EQ(st.wMilliseconds, 10);
    EXPECT_EQ(st.wDayOfWeek, 77);

    CDateTimeBase cl = Date(2023, 1, 31, 1, 2, 3, 4);
    st.wYear = 2024;
    st.wMonth = 2;
    st.wDay = 29;
    st.wHour = 24;  // skipped: the previous hour stays
    st.wMinute = 30;
    st.wSecond = 60;  // skipped
    st.wMilliseconds = 500;
    cl.InitDate(&st);
    ExpectDate(cl, 2024, 2, 29, Ms(1, 30, 3, 500));

    EXPECT_EQ(CDateTimeBase::nDateVersSysteme(L"20240305", &st), 0);
    EXPECT_EQ(st.wYear * 10000 + st.wMonth * 100 + st.wDay, 20240305);
    EXPECT_EQ(st.wHour + st.wMinute + st.wSecond + st.wMilliseconds, 0);
    EXPECT_EQ(st.wDayOfWeek, 77);
    EXPECT_EQ(CDateTimeBase::nHeureVersSysteme(L"07080912", &st), 0);
    EXPECT_EQ(st.wYear + st.wMonth + st.wDay, 0);
    EXPECT_EQ(st.wHour * 10000 + st.wMinute * 100 + st.wSecond, 70809);
    EXPECT_EQ(st.wMilliseconds, 120);

    // The clock, read twice around the call.
    const time_t before = time(nullptr);
    cl.InitDate();
    cl.InitDateCouranteUTC();
    const time_t after = time(nullptr);
    const long long day = DaysFromCivil(cl.m_wAnnee, cl.m_byMois, cl.m_byJour);
    const long long seconds = day * 86400 + cl.m_dwHeure / 1000;
    EXPECT_GE(seconds, static_cast<long long>(before));
    EXPECT_LE(seconds, static_cast<long long>(after));
}

// ---- Durations ----------------------------------------------------------------

TEST(Duree, Texts)
{
    CDureeBase du;
    wchar_t w[25];
    du.m_llDuree = 90061001;  // 1 day 1 h 1 min 1 s 1 ms
    EXPECT_EQ(du.__nVersChaine(w, CDureeBase::ms_pcszFormatAffichageMillieme, 24), 10);
    EXPECT_EQ(std::wstring(w), L"1010101001");
    EXPECT_EQ(du.__nVersChaine(w, CDureeBase::ms_cpszFormatAffichageCentieme, 24), 9);
    EXPECT_EQ(std::wstring(w), L"101010100");
    du.m_llDuree = -1500;
    EXPECT_EQ(du.__nVersChaine(w, CDureeBase::ms_pcszFormatAffichageMillieme, 24), 10);
    EXPECT_EQ(std::wstring(w), L"-0000001500");
    du.m_llDuree = 0;
    du.__nVersChaine(w, CDureeBase::ms_pcszFormatAffichageMillieme, 24);
    EXPECT_EQ(std::wstring(w), L"0000000000");

    // Hundredths: half up, carried into the seconds, and a negative duration
    // reads as the opposite of its positive.
    struct Case {
        long long ms;
        const wchar_t* text;
    } cases[] = {{1504, L"000000150"},  {1505, L"000000151"},  {1995, L"000000200"},
                 {-1504, L"-000000150"}, {-1505, L"-000000151"}, {86399995, L"100000000"}};
    for (const Case& c : cases) {
        du.m_llDuree = c.ms;
        du.__nVersChaine(w, CDureeBase::ms_cpszFormatAffichageCentieme, 24);
        EXPECT_EQ(std::wstring(w), c.text) << c.ms;
    }

    // Days beyond an int.
    du.m_llDuree = LLONG_MAX;
    EXPECT_EQ(du.__nVersChaine(w, CDureeBase::ms_pcszFormatAffichageMillieme, 24), 21);
    EXPECT_EQ(std::wstring(w), L"106751991167071255807");  // days, then 07:12:55.807
    CDureeBase back;
    EXPECT_EQ(back.nDepuisChaine(w), 0);
    EXPECT_EQ(back.m_llDuree, LLONG_MAX);
    du.m_llDuree = LLONG_MIN;
    EXPECT_GT(du.__nVersChaine(w, CDureeBase::ms_pcszFormatAffichageMillieme, 24), 0);
    EXPECT_EQ(back.nDepuisChaine(w), 0);
    EXPECT_EQ(back.m_llDuree, LLONG_MIN);

    // A room too small: nothing past it, -1.
    du.m_llDuree = -1500;
    wmemset(w, L'x', 25);
    EXPECT_EQ(du.__nVersChaine(w, CDureeBase::ms_pcszFormatAffichageMillieme, 5), -1);
    EXPECT_LE(wcslen(w), 5u);
    EXPECT_EQ(w[6], L'x');

    wchar_t* p = du.pszCreeChaine();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::wstring(p), L"-0000001500");
    STR_Delete(p);
}

TEST(Duree, Readers)
{
    CDureeBase du;
    EXPECT_EQ(du.nDepuisChaine(L"-0000001500"), 0);
    EXPECT_EQ(du.m_llDuree, -1500);
    EXPECT_EQ(du.nDepuisChaine(L"1010101001"), 0);
    EXPECT_EQ(du.m_llDuree, 90061001);
    EXPECT_EQ(du.nDepuisChaine(L"+1010101001"), 0);
    EXPECT_EQ(du.m_llDuree, 90061001);
    EXPECT_EQ(du.nDepuisChaine(L"\xFF0D" L"0000001500"), 0);
    EXPECT_EQ(du.m_llDuree, -1500);
    EXPECT_EQ(du.nDepuisChaine(L"\xFF0B" L"0000001500"), 0);
    EXPECT_EQ(du.m_llDuree, 1500);
    EXPECT_EQ(du.nDepuisChaine(L"365235959999"), 0);
    EXPECT_EQ(du.m_llDuree, 365LL * 86400000 + 86399999);
    du.m_llDuree = 42;
    EXPECT_EQ(du.nDepuisChaine(L"000001500"), 112);
    EXPECT_EQ(du.nDepuisChaine(L"-000001500"), 112);
    EXPECT_EQ(du.nDepuisChaine(L""), 112);
    EXPECT_EQ(du.nDepuisChaine(nullptr), 112);
    EXPECT_EQ(du.nDepuisChaine(L"99999999999999000000000"), 112);  // too many days for 64 bits
    EXPECT_EQ(du.m_llDuree, 42);

    EXPECT_EQ(du.nDepuisChaineCentieme(L"101010100"), 0);
    EXPECT_EQ(du.m_llDuree, 90061000);
    EXPECT_EQ(du.nDepuisChaineCentieme(L"-000000151"), 0);
    EXPECT_EQ(du.m_llDuree, -1510);
    EXPECT_EQ(du.nDepuisChaineCentieme(L"00000015"), 112);

    // Round trips of the thousandths text.
    const long long values[] = {0, 1, -1, 999, 86399999, 86400000, -90061001, 1000LL * 86400000 * 365 + 7};
    for (long long v : values) {
        du.m_llDuree = v;
        wchar_t w[25];
        du.__nVersChaine(w, CDureeBase::ms_pcszFormatAffichageMillieme, 24);
        CDureeBase back;
        EXPECT_EQ(back.nDepuisChaine(w), 0) << v;
        EXPECT_EQ(back.m_llDuree, v) << v;
    }

    CDureeBase a, b;
    a.m_llDuree = -5;
    b.m_llDuree = 3;
    EXPECT_EQ(CDureeBase::nCompare(&a, &b), -1);
    EXPECT_EQ(CDureeBase::nCompare(&b, &a), 1);
    EXPECT_EQ(CDureeBase::nCompare(&a, &a), 0);
    a.m_llDuree = LLONG_MIN;
    b.m_llDuree = LLONG_MAX;
    EXPECT_EQ(CDureeBase::nCompare(&a, &b), -1);
}

TEST(Duree, HostStringsAndBinaries)
{
    CLiveBlockCheck check;
    CDureeBase du;
    du.m_llDuree = -90061001;
    CXYString<wchar_t> xs;
    EXPECT_EQ(du.nVersChaine(&xs), 0);
    EXPECT_EQ(std::wstring(xs.pszGet()), L"-1010101001");
    EXPECT_EQ(du.nVersChaineCentieme(&xs), 0);
    EXPECT_EQ(std::wstring(xs.pszGet()), L"-101010100");

    CTQBIN bin;
    EXPECT_EQ(du.nVersBinaire(&bin), 0);
    ASSERT_EQ(bin.nGetSize(), 11);
    EXPECT_EQ(memcmp(bin.pGetData(), "-1010101001", 11), 0);
    CDureeBase back;
    EXPECT_EQ(back.nDepuisBinaire(&bin), 0);
    EXPECT_EQ(back.m_llDuree, -90061001);
    CTQBIN empty;
    EXPECT_EQ(back.nDepuisBinaire(&empty), 112);
    EXPECT_EQ(back.nDepuisBinaire(nullptr), 112);
    CTQBIN shortBin(reinterpret_cast<const unsigned char*>("000001500"), 9);
    EXPECT_EQ(back.nDepuisBinaire(&shortBin), 112);
}
