#include "common/values/datetime.h"

#include "common/platform/WinApi.h"
#include "common/text/TQBIN.h"
#include "tests/support/CivilDays.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// Leap years by the Julian rule before 1583, the Gregorian one after.
int MonthLength(int y, int m)
{
    static const int len[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = y < 1583 ? y % 4 == 0 : (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
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

unsigned Ms(int h, int mi, int s, int ms)
{
    return static_cast<unsigned>(((h * 60 + mi) * 60 + s) * 1000 + ms);
}

// "YYYYMMDD hh:mm:ss.mmm" of a value, for readable comparisons.
std::string Show(const CDateTimeBase& cl)
{
    char s[40];
    snprintf(s, sizeof s, "%04d%02d%02d %02u:%02u:%02u.%03u", cl.m_wAnnee, cl.m_byMois, cl.m_byJour,
             cl.m_dwHeure / 3600000, cl.m_dwHeure / 60000 % 60, cl.m_dwHeure / 1000 % 60, cl.m_dwHeure % 1000);
    return s;
}

std::string Show(int y, int m, int d, unsigned time = 0)
{
    return Show(Date(y, m, d, 0, 0, 0, static_cast<int>(time)));
}

}  // namespace

TEST(DateTime, CalendarRulesSettersAndInvalidDates)
{
    for (int y : {1500, 1582, 1600, 1700, 2000, 2023, 2024})
        for (int m = 1; m <= 12; ++m)
            EXPECT_EQ(CDateTimeBase::s_nGetNbJourMois(m, y), MonthLength(y, m)) << y << "-" << m;
    // Setting a month or a year brings the day back to the month's end.
    CDateTimeBase cl = Date(2023, 1, 31);
    EXPECT_TRUE(cl.bModifieMois(2));
    EXPECT_EQ(Show(cl), Show(2023, 2, 28));
    cl = Date(2024, 2, 29);
    EXPECT_TRUE(cl.bModifieAnnee(2023));
    EXPECT_EQ(Show(cl), Show(2023, 2, 28));
    // Out of range: false, nothing changed.
    cl = Date(2024, 3, 5, 7, 8, 9, 10);
    EXPECT_FALSE(cl.bModifieJour(32));
    EXPECT_FALSE(cl.bModifieJour(0));
    EXPECT_FALSE(cl.bModifieMois(13));
    EXPECT_FALSE(cl.bModifieAnnee(0));
    EXPECT_FALSE(cl.bModifieAnnee(10000));
    EXPECT_FALSE(cl.bModifieHeure(24));
    EXPECT_FALSE(cl.bModifieMinute(60));
    EXPECT_FALSE(cl.bModifieSeconde(-1));
    EXPECT_FALSE(cl.bModifieMilli(1000));
    EXPECT_EQ(Show(cl), Show(2024, 3, 5, Ms(7, 8, 9, 10)));

    int n = 0, d, m, y;
    for (const CDateTimeBase& bad : {Date(2024, 2, 30), Date(2023, 2, 29), Date(0, 1, 1), Date(2023, 13, 1)})
        EXPECT_EQ(bad.nVersEntier(&n), 110) << Show(bad);
    EXPECT_EQ(CDateTimeBase::s_nDateVersEntier(31, 4, 2023), 0);
    // Unchecked, a month outside 1..12 is still refused.
    EXPECT_FALSE(CDateTimeBase::__bDateVersEntier(1, 13, 2023, &n, 0));
    EXPECT_FALSE(CDateTimeBase::__bEntierVersDate(CDateTimeBase::DERNIER_JOUR + 1, &d, &m, &y));
    EXPECT_FALSE(CDateTimeBase::__bEntierVersDate(INT_MIN, &d, &m, &y));
}

// Every date from 1583-01-01 to 9999-12-31: day number, inverse, weekday,
// day of the year and the canonical text, against independent computations.
TEST(DateTime, WholeGregorianRangeRoundTrips)
{
    int nFailures = 0;
    for (int y = 1583; y <= 9999 && nFailures < 10; ++y) {
        int dayOfYear = 0;
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= MonthLength(y, m); ++d) {
                ++dayOfYear;
                const long long expected = DaysFromCivil(y, m, d) - kDay0;
                const unsigned time = static_cast<unsigned>((expected * 7919 % 86400000 + 86400000) % 86400000);
                CDateTimeBase cl = Date(y, m, d);
                cl.m_dwHeure = time;

                int n = 0, dd = 0, mm = 0, yy = 0;
                const bool ok = cl.nVersEntier(&n) == 0 && n == expected &&
                                CDateTimeBase::__bEntierVersDate(n, &dd, &mm, &yy) && dd == d && mm == m && yy == y;
                const int weekday = static_cast<int>(((DaysFromCivil(y, m, d) + 4) % 7 + 7) % 7);
                char ref[32], text[18];
                snprintf(ref, sizeof ref, "%04d%02d%02d%02u%02u%02u%03u", y, m, d, time / 3600000,
                         time / 60000 % 60, time / 1000 % 60, time % 1000);
                cl.VersChaine(text, 17);
                CDateTimeBase back;
                back.InitDate();
                const bool textOk = strcmp(text, ref) == 0 && back.nFromStringValide(text) == 0 &&
                                    CDateTimeBase::nCompare(&back, &cl) == 0;
                if (!ok || !textOk || cl.nGetJourDeLaSemaine() != weekday || cl.nGetJourDansAnnee() != dayOfYear) {
                    ADD_FAILURE() << ref << " n=" << n << " expected " << expected << " text " << text;
                    ++nFailures;
                }
            }
    }
}

// Before 1583 the numbering keeps one number per valid date, joined to the
// Gregorian numbers; from 1500-03-01 on it is the proleptic Gregorian count.
TEST(DateTime, DayNumbersBefore1583AreConsecutive)
{
    int prev = 0;
    int nFailures = 0;
    for (int y = 1; y <= 1583 && nFailures < 10; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= MonthLength(y, m); ++d) {
                int n = 0, dd, mm, yy;
                const bool first = y == 1 && m == 1 && d == 1;
                const bool ok = CDateTimeBase::__bDateVersEntier(d, m, y, &n, 1) && (first || n == prev + 1) &&
                                CDateTimeBase::__bEntierVersDate(n, &dd, &mm, &yy) && dd == d && mm == m && yy == y;
                const bool gregorianSpan = y > 1500 || (y == 1500 && m >= 3);
                if (!ok || (gregorianSpan && n != DaysFromCivil(y, m, d) - kDay0)) {
                    ADD_FAILURE() << y << "-" << m << "-" << d << " n=" << n;
                    ++nFailures;
                }
                prev = n;
            }
    // Below 1 January of year 1 there is no date.
    int n0 = 0, d, m, y;
    ASSERT_TRUE(CDateTimeBase::__bDateVersEntier(1, 1, 1, &n0, 1));
    EXPECT_FALSE(CDateTimeBase::__bEntierVersDate(n0 - 1, &d, &m, &y));
}

TEST(DateTime, JulianDayNumbers)
{
    EXPECT_EQ(Date(1582, 10, 4).nVersJourJulien(), 2299160);
    EXPECT_EQ(Date(1582, 10, 10).nVersJourJulien(), 2299161);  // dropped by the reform
    EXPECT_EQ(Date(1858, 11, 17).nVersJourJulien(), 2400001);  // modified julian day 0 starts at its midnight
    EXPECT_EQ(Date(1, 1, 1).nVersJourJulien(), 1721424);       // Julian calendar
    EXPECT_EQ(Date(1970, 1, 1).nVersJourJulien(), 2440588);
    EXPECT_EQ(Date(9999, 12, 31).nVersJourJulien(), DaysFromCivil(9999, 12, 31) + 2440588);
}

TEST(DateTime, Shifts)
{
    // A refused shift (invalid date, result outside 1..9999) changes nothing.
    // Units: J day, M month, A year, m millisecond.
    const struct { char unit; long long n; int y, m, d; unsigned time; bool ok; int y2, m2, d2; unsigned time2; } cases[] = {
        {'A', 1, 2024, 2, 29, Ms(1, 2, 3, 4), true, 2025, 2, 28, Ms(1, 2, 3, 4)},
        {'M', 1, 2023, 1, 31, 0, true, 2023, 2, 28, 0},     {'M', 25, 2024, 1, 31, 0, true, 2026, 2, 28, 0},
        {'M', 1, 9999, 12, 15, 0, false, 9999, 12, 15, 0},  {'M', -1, 1, 1, 15, 0, false, 1, 1, 15, 0},
        {'A', INT_MIN, 1, 1, 15, 0, false, 1, 1, 15, 0},    {'M', INT_MAX, 1, 1, 15, 0, false, 1, 1, 15, 0},
        {'A', 9998, 1, 1, 15, 0, true, 9999, 1, 15, 0},     {'M', 1, 2024, 0, 15, 0, false, 2024, 0, 15, 0},
        {'A', 1, 0, 0, 0, 0, false, 0, 0, 0, 0},            {'J', 10, 0, 0, 0, 0, true, 0, 0, 0, 0},  // empty stays
        {'J', 1, 9999, 12, 31, 0, false, 9999, 12, 31, 0},  {'J', 60, 2023, 12, 31, 0, true, 2024, 2, 29, 0},
        {'J', -366, 2024, 2, 29, 0, true, 2023, 2, 28, 0},  {'J', INT_MAX, 2023, 2, 28, 0, false, 2023, 2, 28, 0},
        {'J', DaysFromCivil(9999, 12, 31) - DaysFromCivil(1583, 1, 1), 1583, 1, 1, 0, true, 9999, 12, 31, 0},
        {'m', -1, 2024, 3, 1, 0, true, 2024, 2, 29, Ms(23, 59, 59, 999)},
        {'m', 366LL * 86400000 + 12LL * 3600000, 2024, 3, 1, Ms(12, 0, 0, 0), true, 2025, 3, 3, 0},
        {'m', 3600000, 9999, 12, 31, Ms(23, 0, 0, 0), false, 9999, 12, 31, Ms(23, 0, 0, 0)},
        {'m', LLONG_MAX, 2024, 1, 1, 0, false, 2024, 1, 1, 0},
    };
    for (const auto& c : cases) {
        CDateTimeBase cl = Date(c.y, c.m, c.d, 0, 0, 0, static_cast<int>(c.time));
        SCOPED_TRACE(Show(cl) + " " + c.unit + std::to_string(c.n));
        const int n = static_cast<int>(c.n);
        const bool ok = c.unit == 'J' ? cl.bDecaleJour(n) : c.unit == 'M' ? cl.bDecaleMois(n)
                        : c.unit == 'A' ? cl.bDecaleAnnee(n) : cl.bDecaleMilli(c.n);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(Show(cl), Show(c.y2, c.m2, c.d2, c.time2));
    }
}

TEST(DateTime, IsoWeeksAgainstTheCLibrary)
{
    int nFailures = 0;
    for (long long day = DaysFromCivil(1583, 1, 1); day <= DaysFromCivil(9999, 12, 31) && nFailures < 10; day += 3) {
        const time_t t = static_cast<time_t>(day) * 86400;
        tm tmv;
        char ref[32], got[32];
        strftime(ref, sizeof ref, "%G-%V-%u %F", gmtime_r(&t, &tmv));
        int iy, iw, iwd;
        Date(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday).VersISO8601YWD(iy, iw, iwd);
        snprintf(got, sizeof got, "%d-%02d-%d %s", iy, iw, iwd, ref + strcspn(ref, " ") + 1);
        EXPECT_STREQ(got, ref);
        nFailures += strcmp(got, ref) != 0;
    }
}

TEST(DateTime, DifferencesAndComparisons)
{
    // The whole range, beyond 32 bits of milliseconds.
    CDateTimeBase a = Date(9999, 12, 31, 23, 59, 59, 999), b = Date(1, 1, 1, 12, 0, 0, 0);
    CDureeBase du;
    int nA = 0, nB = 0, n = 0;
    ASSERT_EQ(a.nVersEntier(&nA) + b.nVersEntier(&nB), 0);
    EXPECT_EQ(CDateTimeBase::nCalculeDuree(&b, &a, &du), 0);
    EXPECT_EQ(du.m_llDuree, -((static_cast<long long>(nA) - nB) * 86400000 + 43199999));
    EXPECT_TRUE(CDateTimeBase::bCalculeDiffJour(&a, &b, &n));
    EXPECT_EQ(n, nA - nB);
    b = Date(2024, 2, 30);
    du.m_llDuree = 7;
    EXPECT_EQ(CDateTimeBase::nCalculeDuree(&a, &b, &du), 110);
    EXPECT_EQ(du.m_llDuree, 7);
    EXPECT_FALSE(CDateTimeBase::bCalculeDiffJour(&b, &a, &n));

    a = Date(2024, 3, 5, 2, 0, 0, 0);
    b = Date(2024, 3, 6, 1, 0, 0, 0);
    const CDateTimeBase c = Date(2025, 1, 1);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, &b), -1);
    EXPECT_EQ(CDateTimeBase::nCompare(&c, &b), 1);  // the year outweighs month and day
    const CDateTimeBase day = Date(2024, 3, 5);
    EXPECT_EQ(CDateTimeBase::s_nCompareDateSeule(&a, &day), 0);
    // An empty text is below any other; a text equals the longer ones it begins.
    EXPECT_EQ(CDateTimeBase::nCompareDate(L"20240101", L"2024"), 0);
    EXPECT_EQ(CDateTimeBase::nCompareDate(L"", L"2024"), -1);
    EXPECT_EQ(CDateTimeBase::nCompareDate(L"", nullptr), 0);
    EXPECT_EQ(CDateTimeBase::nCompareHeure(L"1300", L"120000000"), 1);
    a = Date(2024, 3, 5, 7, 8, 9, 10);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, L"202403"), 0);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, L"20240305070809011"), -1);
    EXPECT_EQ(CDateTimeBase::nCompare(&a, L""), 1);
}

TEST(DateTime, WritersStayInTheirBuffers)
{
    const CDateTimeBase cl = Date(2024, 3, 5, 7, 8, 9, 10);
    char s[32];
    // One template writes both widths; the 8-bit forms stand for both.
    for (unsigned n : {0u, 4u, 10u, 17u, 25u}) {
        const std::string expected = std::string("20240305070809010").substr(0, n);
        memset(s, 'x', sizeof s);
        cl.VersChaine(s, n);
        EXPECT_EQ(s, expected) << n;
        EXPECT_EQ(s[expected.size() + 1], 'x') << n;
    }
    memset(s, 'x', sizeof s);
    EXPECT_EQ(cl.nVersHeure(s, 4), 0);
    EXPECT_EQ(std::string(s, 6), std::string("0708\0x", 6));
    EXPECT_EQ(cl.nVersHeure(s, 30), 0);
    EXPECT_STREQ(s, "070809010");
    EXPECT_EQ(cl.nVersDate(s, 30), 0);
    EXPECT_STREQ(s, "20240305");
    EXPECT_EQ(std::wstring(cl.VersChaineFormate().pszGet()), L"2024-3-5 7:8:9,10");
    // Years below 1000 keep four digits; out-of-range fields keep to theirs.
    Date(999, 1, 2).VersChaine(s, 8);
    EXPECT_STREQ(s, "09990102");
    CDateTimeBase odd = Date(12345, 1, 1);
    odd.m_dwHeure = 0xFFFFFFFFu;
    memset(s, 'x', sizeof s);
    odd.VersChaine(s, 17);
    EXPECT_EQ(strlen(s), 17u);
}

TEST(DateTime, Binaries)
{
    CLiveBlockCheck check;
    const CDateTimeBase cl = Date(2024, 3, 5, 7, 8, 9, 10);
    CTQBIN bin;
    EXPECT_EQ(cl.nVersBinaire(&bin), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bin.pGetData()), bin.nGetSize()), "20240305070809010");

    // Only the first 17 bytes count; a longer binary is not read further.
    CTQBIN longer(reinterpret_cast<const unsigned char*>("2024030507080901099"), 19);
    CDateTimeBase back;
    back.InitDate();
    EXPECT_EQ(back.nDepuisBinaireValide(&longer), 0);
    EXPECT_EQ(Show(back), Show(cl));
    CTQBIN bad(reinterpret_cast<const unsigned char*>("20240230"), 8), empty;
    EXPECT_EQ(back.nDepuisBinaireValide(&bad), 110);
    back.DepuisBinaire(&empty);
    EXPECT_EQ(Show(back), Show(0, 0, 0));
}

TEST(DateTime, Readers)
{
    // Unchecked: missing or non-numeric fields read as 0.
    CDateTimeBase cl;
    cl.InitDate();
    cl.FromString("2024030507");
    EXPECT_EQ(Show(cl), Show(2024, 3, 5, Ms(7, 0, 0, 0)));
    cl.__SetPartieHeure(L"1230455");
    EXPECT_EQ(cl.m_dwHeure, Ms(12, 30, 45, 500));
    cl.FromString("abcdefgh");
    EXPECT_EQ(Show(cl), Show(0, 0, 0));
    EXPECT_EQ(CDateTimeBase::nGetPropDateTime(L"1234567", 6, 3, 1), 700);  // partial: the digits there
    char s[12] = "xxxxxxxxxxx";
    CDateTimeBase::SetPropDateTime(s, 4, 2, 7, 8);
    EXPECT_EQ(std::string(s + 4, 5), std::string("07xx\0", 5));
    CDateTimeBase::SetPropDateTime(s, 6, 4, 7, 8);  // does not fit: zeros to the end
    EXPECT_EQ(std::string(s + 4, 6), std::string("0700\0x", 6));
    CDateTimeBase::SetPropDateTime(s, 0, 4, 123456, 4);  // too many digits: the field is kept
    EXPECT_STREQ(s, "3456");

    // Checked: 110 for the date, 111 for the time.
    const struct { const char* text; int status; unsigned time; } cases[] = {
        {"2024022912", 0, Ms(12, 0, 0, 0)}, {"20240229123", 111, 0}, {"202402291234567", 0, Ms(12, 34, 56, 700)},
        {"20240229123456789", 0, Ms(12, 34, 56, 789)}, {"20240229123456x", 0, Ms(12, 34, 56, 0)},  // digits end
        {"2024022912x4", 111, 0}, {"20240229240000", 111, 0}, {"20240229235960", 111, 0},
        {"20240230", 110, 0}, {"2024022", 110, 0}, {nullptr, 110, 0}, {"00000115", 110, 0},  // year 0: empty only
        {"15000229", 0, 0}, {"17000229", 110, 0}};  // Julian, then Gregorian leap rule
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        cl.InitDate();
        EXPECT_EQ(cl.nFromStringValide(c.text), c.status);
        if (c.status == 0) {
            EXPECT_EQ(cl.m_dwHeure, c.time);
        }
    }
}

TEST(DateTime, SystemRecords)
{
    SYSTEMTIME st = {0, 0, 77, 0, 0, 0, 0, 0};
    EXPECT_EQ(Date(2024, 3, 5, 7, 8, 9, 10).nVersSysteme(&st), 0);
    const unsigned short expected[8] = {2024, 3, 77, 5, 7, 8, 9, 10};  // the weekday is left alone
    EXPECT_EQ(memcmp(&st, expected, sizeof expected), 0);

    CDateTimeBase cl = Date(2023, 1, 31, 1, 2, 3, 4);
    st = {2024, 2, 77, 29, 24, 30, 60, 500};  // hour 24 and second 60 skipped
    cl.InitDate(&st);
    EXPECT_EQ(Show(cl), Show(2024, 2, 29, Ms(1, 30, 3, 500)));
    const unsigned short date[8] = {2024, 3, 77, 5}, hour[8] = {0, 0, 77, 0, 7, 8, 9, 120};
    EXPECT_EQ(CDateTimeBase::nDateVersSysteme(L"20240305", &st), 0);
    EXPECT_EQ(memcmp(&st, date, sizeof date), 0);
    EXPECT_EQ(CDateTimeBase::nHeureVersSysteme(L"07080912", &st), 0);
    EXPECT_EQ(memcmp(&st, hour, sizeof hour), 0);
}

TEST(Duree, TextsReadersAndBinaries)
{
    CLiveBlockCheck check;
    const auto text = [](long long ms, const wchar_t* format, unsigned size = 24) {
        CDureeBase du;
        du.m_llDuree = ms;
        wchar_t w[26];
        wmemset(w, L'x', 25);
        w[25] = 0;
        const int n = du.__nVersChaine(w, format, size);
        for (unsigned i = size + 1; i < 25; ++i)
            EXPECT_EQ(w[i], L'x') << "written past the room at " << i;
        return std::to_wstring(n) + L":" + w;
    };
    const wchar_t* const milli = CDureeBase::ms_pcszFormatAffichageMillieme;
    const wchar_t* const centi = CDureeBase::ms_cpszFormatAffichageCentieme;
    // Counts exclude the sign. Hundredths: half up, carried into the seconds,
    // and a negative duration reads as the opposite of its positive.
    const struct { long long ms; const wchar_t* format; const wchar_t* text; } cases[] = {
        {90061001, milli, L"10:1010101001"}, {90061001, centi, L"9:101010100"},  // 1 d 1 h 1 min 1 s 1 ms
        {-1500, milli, L"10:-0000001500"},   {1505, centi, L"9:000000151"},  {1995, centi, L"9:000000200"},
        {-1505, centi, L"9:-000000151"},     {86399995, centi, L"9:100000000"},
        {LLONG_MAX, milli, L"21:106751991167071255807"}};  // days, then 07:12:55.807
    for (const auto& c : cases)
        EXPECT_EQ(text(c.ms, c.format), c.text) << c.ms;
    // A room too small: -1, nothing past it.
    const std::wstring cut = text(-1500, milli, 5);
    EXPECT_EQ(cut.substr(0, 3), L"-1:") << cut;
    EXPECT_TRUE(cut.size() <= 3u + 5u) << cut;

    CDureeBase du;
    const struct { const wchar_t* text; long long ms; } reads[] = {  // ms -42: refused (112), the value kept
        {L"+1010101001", 90061001}, {L"\xFF0D" L"0000001500", -1500}, {L"\xFF0B" L"0000001500", 1500},
        {L"106751991167071255807", LLONG_MAX}, {L"-106751991167071255808", LLONG_MIN},
        {L"000001500", -42}, {L"", -42}, {nullptr, -42},
        {L"99999999999999000000000", -42}};  // too many days for 64 bits
    for (const auto& c : reads) {
        du.m_llDuree = -42;
        EXPECT_EQ(du.nDepuisChaine(c.text), c.ms == -42 ? 112 : 0) << (c.text ? c.text : L"(null)");
        EXPECT_EQ(du.m_llDuree, c.ms);
    }
    EXPECT_EQ(du.nDepuisChaineCentieme(L"-000000151"), 0);
    EXPECT_EQ(du.m_llDuree, -1510);
    EXPECT_EQ(du.nDepuisChaineCentieme(L"00000015"), 112);
    CDureeBase a, b;
    a.m_llDuree = LLONG_MIN, b.m_llDuree = LLONG_MAX;
    EXPECT_EQ(CDureeBase::nCompare(&a, &b), -1);
    EXPECT_EQ(CDureeBase::nCompare(&b, &a), 1);

    // The binary form is the text's bytes, read back the same way.
    CTQBIN bin, empty;
    a.m_llDuree = -90061001;
    EXPECT_EQ(a.nVersBinaire(&bin), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bin.pGetData()), bin.nGetSize()), "-1010101001");
    EXPECT_EQ(b.nDepuisBinaire(&bin), 0);
    EXPECT_EQ(b.m_llDuree, -90061001);
    EXPECT_EQ(b.nDepuisBinaire(&empty), 112);
    EXPECT_EQ(b.nDepuisBinaire(nullptr), 112);
}
