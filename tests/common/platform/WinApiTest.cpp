#include "common/platform/Atom.h"
#include "common/platform/DiskFile.h"
#include "common/platform/WinApi.h"

#include "tests/support/TempDir.h"
#include "tests/support/TestHost.h"
#include "tests/support/TimeZone.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <new>
#include <pthread.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>
#include <vector>

namespace {

// Filetime of a time_t, by the definition: 100 ns units since 1601.
uint64_t FileTimeOf(int64_t t)
{
    return static_cast<uint64_t>(t * 10000000LL) + 11644473600ULL * 10000000ULL;
}

uint64_t Get(const FILETIME& ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME Make(uint64_t n)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(n);
    ft.dwHighDateTime = static_cast<DWORD>(n >> 32);
    return ft;
}

SYSTEMTIME MakeST(int y, int mo, int d, int h, int mi, int s, int ms)
{
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

// Runs body in a child process with input on its standard input; gives its
// exit code (-1 when it did not end normally) and what it wrote on stderr.
int RunChild(const std::function<int()>& body, const std::string& input, std::string* err)
{
    int inPipe[2], errPipe[2];
    if (pipe(inPipe) != 0 || pipe(errPipe) != 0)
        return -1;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(errPipe[1], 2);
        close(inPipe[0]);
        close(inPipe[1]);
        close(errPipe[0]);
        close(errPipe[1]);
        const int n = body();
        std::fflush(stderr);
        _exit(n & 0xFF);
    }
    close(inPipe[0]);
    close(errPipe[1]);
    if (!input.empty() && write(inPipe[1], input.data(), input.size()) < 0)
        ADD_FAILURE() << "cannot feed the child";
    close(inPipe[1]);
    err->clear();
    char buf[512];
    ssize_t n;
    while ((n = read(errPipe[0], buf, sizeof(buf))) > 0)
        err->append(buf, static_cast<size_t>(n));
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// CreateProcess with wait; when the child took more than its second, it is
// reaped here so that the exit code can still be checked.
BOOL RunAndWait(const wchar_t* app, const wchar_t* line, int* code)
{
    pid_t pid = -1;
    BOOL bTimedOut = TRUE;
    *code = -1;
    const BOOL b = CreateProcess(app, line, &pid, TRUE, &bTimedOut, code);
    if (b && bTimedOut) {
        int status = 0;
        waitpid(pid, &status, 0);
        *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return *code != 255;
    }
    return b;
}

// ---------------------------------------------------------------------------
// Memory

TEST(WinApiMemory, GlobalBlocks)
{
    unsigned char* p = static_cast<unsigned char*>(GlobalAlloc(GMEM_ZEROINIT, 64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(p[i], 0);
    std::memset(p, 0xAB, 64);
    EXPECT_EQ(GlobalLock(p), p);
    EXPECT_EQ(GlobalUnlock(p), TRUE);
    // Modify only: the block stays.
    EXPECT_EQ(GlobalReAlloc(p, 4096, GMEM_MODIFY), p);
    // Growth with zero-fill keeps the content and clears the new part.
    p = static_cast<unsigned char*>(GlobalReAlloc(p, 4096, GMEM_ZEROINIT));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(p[i], 0xAB);
    for (int i = 64; i < 4096; ++i)
        ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(GlobalFree(p), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(WinApiMemory, HeapBlocksCarryTheirSize)
{
    unsigned char* p = static_cast<unsigned char*>(HeapAlloc(nullptr, HEAP_ZERO_MEMORY, 10));
    ASSERT_NE(p, nullptr);
    uint32_t n;
    std::memcpy(&n, p - 4, 4);
    EXPECT_EQ(n, 10u);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(p[i], 0);
    std::memset(p, 0x5A, 10);

    p = static_cast<unsigned char*>(HeapReAlloc(nullptr, HEAP_ZERO_MEMORY, p, 300));
    ASSERT_NE(p, nullptr);
    std::memcpy(&n, p - 4, 4);
    EXPECT_EQ(n, 300u);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(p[i], 0x5A);
    for (int i = 10; i < 300; ++i)
        ASSERT_EQ(p[i], 0) << i;

    // Shrinking keeps the front and records the new size.
    p = static_cast<unsigned char*>(HeapReAlloc(nullptr, 0, p, 4));
    ASSERT_NE(p, nullptr);
    std::memcpy(&n, p - 4, 4);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(p[3], 0x5A);
    EXPECT_EQ(HeapFree(nullptr, 0, p), TRUE);
    EXPECT_EQ(HeapFree(nullptr, 0, nullptr), TRUE);
    EXPECT_EQ(HeapReAlloc(nullptr, 0, nullptr, 8), nullptr);
}

TEST(WinApiMemory, HeapExhaustion)
{
    // No room for the size word: failure without reaching the allocator.
    const size_t huge = static_cast<size_t>(UINT32_MAX) - 2;
    EXPECT_EQ(HeapAlloc(nullptr, 0, huge), nullptr);
    EXPECT_THROW(HeapAlloc(nullptr, HEAP_GENERATE_EXCEPTIONS, huge), std::bad_alloc);
    void* p = HeapAlloc(nullptr, 0, 8);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(HeapReAlloc(nullptr, 0, p, huge), nullptr);
    EXPECT_THROW(HeapReAlloc(nullptr, HEAP_GENERATE_EXCEPTIONS, p, huge), std::bad_alloc);
    // A failed reallocation leaves the block alive.
    HeapFree(nullptr, 0, p);
}

TEST(WinApiMemory, FillCharacters)
{
    char s[] = "abcdef";
    EXPECT_EQ(_strnset(s, 'x', 3), s);
    EXPECT_STREQ(s, "xxxdef");
    EXPECT_STREQ(_strnset(s, 'y', 100), "yyyyyy");
    EXPECT_STREQ(_strset(s, 'z'), "zzzzzz");
    char e[] = "";
    EXPECT_STREQ(_strset(e, 'q'), "");
    int a[4] = {1, 2, 3, 4};
    ZeroMemory(a, sizeof(a));
    EXPECT_EQ(a[0] | a[1] | a[2] | a[3], 0);
}

// ---------------------------------------------------------------------------
// Rectangles

bool Is(const RECT& r, int l, int t, int rt, int b)
{
    return r.left == l && r.top == t && r.right == rt && r.bottom == b;
}

TEST(WinApiRect, BasicOperations)
{
    RECT r;
    EXPECT_EQ(SetRect(nullptr, 1, 2, 3, 4), FALSE);
    EXPECT_EQ(SetRect(&r, 1, 2, 11, 22), TRUE);
    EXPECT_TRUE(Is(r, 1, 2, 11, 22));
    RECT c;
    EXPECT_EQ(CopyRect(&c, &r), TRUE);
    EXPECT_TRUE(EqualRect(&c, &r));
    c.bottom = 23;
    EXPECT_FALSE(EqualRect(&c, &r));

    EXPECT_FALSE(IsRectEmpty(&r));
    RECT flat = {0, 0, 5, 0};
    EXPECT_TRUE(IsRectEmpty(&flat));
    RECT inverted = {5, 0, 0, 5};
    EXPECT_TRUE(IsRectEmpty(&inverted));
    RECT extreme = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_FALSE(IsRectEmpty(&extreme));
    RECT wrapped = {INT32_MAX, 0, INT32_MIN, 5};
    EXPECT_TRUE(IsRectEmpty(&wrapped));

    // Left and top edges inside, right and bottom outside.
    EXPECT_TRUE(PtInRect(&r, POINT{1, 2}));
    EXPECT_TRUE(PtInRect(&r, POINT{10, 21}));
    EXPECT_FALSE(PtInRect(&r, POINT{11, 5}));
    EXPECT_FALSE(PtInRect(&r, POINT{5, 22}));
    EXPECT_FALSE(PtInRect(&r, POINT{0, 5}));

    InflateRect(&r, 2, -1);
    EXPECT_TRUE(Is(r, -1, 3, 13, 21));
    OffsetRect(&r, 10, -3);
    EXPECT_TRUE(Is(r, 9, 0, 23, 18));
    SetRectEmpty(&r);
    EXPECT_TRUE(Is(r, 0, 0, 0, 0));
}

TEST(WinApiRect, UnionAndIntersection)
{
    const RECT a = {0, 0, 10, 10};
    const RECT b = {5, -5, 20, 8};
    const RECT empty = {3, 3, 3, 9};
    RECT d;

    EXPECT_EQ(UnionRect(&d, &a, &b), TRUE);
    EXPECT_TRUE(Is(d, 0, -5, 20, 10));
    EXPECT_EQ(UnionRect(&d, &empty, &b), TRUE);
    EXPECT_TRUE(EqualRect(&d, &b));
    EXPECT_EQ(UnionRect(&d, &a, &empty), TRUE);
    EXPECT_TRUE(EqualRect(&d, &a));
    d = a;
    EXPECT_EQ(UnionRect(&d, &empty, &empty), FALSE);
    EXPECT_TRUE(Is(d, 0, 0, 0, 0));

    EXPECT_EQ(IntersectRect(&d, &a, &b), TRUE);
    EXPECT_TRUE(Is(d, 5, 0, 10, 8));
    // Touching edges do not overlap.
    const RECT right = {10, 0, 15, 10};
    d = a;
    EXPECT_EQ(IntersectRect(&d, &a, &right), FALSE);
    EXPECT_TRUE(Is(d, 0, 0, 0, 0));
    d = a;
    EXPECT_EQ(IntersectRect(&d, &a, &empty), FALSE);
    EXPECT_TRUE(Is(d, 0, 0, 0, 0));
    // The destination may be one of the sources.
    RECT self = a;
    EXPECT_EQ(IntersectRect(&self, &self, &b), TRUE);
    EXPECT_TRUE(Is(self, 5, 0, 10, 8));
}

TEST(WinApiRect, Subtract)
{
    const RECT a = {0, 0, 10, 10};
    RECT d;
    const RECT leftPart = {0, 0, 4, 10};
    EXPECT_EQ(SubtractRect(&d, &a, &leftPart), TRUE);
    EXPECT_TRUE(Is(d, 4, 0, 10, 10));
    const RECT rightPart = {6, -3, 12, 13};
    EXPECT_EQ(SubtractRect(&d, &a, &rightPart), TRUE);
    EXPECT_TRUE(Is(d, 0, 0, 6, 10));
    const RECT topPart = {-5, -5, 15, 3};
    EXPECT_EQ(SubtractRect(&d, &a, &topPart), TRUE);
    EXPECT_TRUE(Is(d, 0, 3, 10, 10));
    const RECT bottomPart = {0, 7, 10, 10};
    EXPECT_EQ(SubtractRect(&d, &a, &bottomPart), TRUE);
    EXPECT_TRUE(Is(d, 0, 0, 10, 7));
    const RECT hole = {2, 2, 4, 4};
    EXPECT_EQ(SubtractRect(&d, &a, &hole), TRUE);
    EXPECT_TRUE(Is(d, 0, 0, 10, 10));
    const RECT apart = {20, 20, 30, 30};
    EXPECT_EQ(SubtractRect(&d, &a, &apart), TRUE);
    EXPECT_TRUE(Is(d, 0, 0, 10, 10));
    const RECT cover = {-1, -1, 11, 11};
    EXPECT_EQ(SubtractRect(&d, &a, &cover), FALSE);
    EXPECT_TRUE(Is(d, 0, 0, 0, 0));
    const RECT emptyA = {5, 5, 5, 5};
    d = a;
    EXPECT_EQ(SubtractRect(&d, &emptyA, &hole), FALSE);
    EXPECT_TRUE(Is(d, 0, 0, 0, 0));
}

// ---------------------------------------------------------------------------
// Times

TEST(WinApiTime, EpochAndSystemTimeFields)
{
    FILETIME ft;
    TimeToFileTime(0, &ft);
    EXPECT_EQ(Get(ft), 116444736000000000ULL);
    EXPECT_EQ(Get(ft), 0x019DB1DED53E8000ULL);
    TimeToFileTime(0, nullptr);

    SYSTEMTIME st;
    std::memset(&st, 0xFF, sizeof(st));
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wYear, 1970);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(st.wDayOfWeek, 4);  // a Thursday
    EXPECT_EQ(st.wHour, 0);
    EXPECT_EQ(st.wMinute, 0);
    EXPECT_EQ(st.wSecond, 0);
    EXPECT_EQ(st.wMilliseconds, 0);

    // The sub-second part of a filetime is dropped.
    const FILETIME late = Make(FileTimeOf(86399) + 9999999);
    ASSERT_TRUE(FileTimeToSystemTime(&late, &st));
    EXPECT_EQ(st.wHour, 23);
    EXPECT_EQ(st.wMinute, 59);
    EXPECT_EQ(st.wSecond, 59);
    EXPECT_EQ(st.wMilliseconds, 0);

    // Before 1970: 1969-12-31 23:59:59.5 is still second 59.
    const FILETIME before = Make(FileTimeOf(0) - 5000000);
    ASSERT_TRUE(FileTimeToSystemTime(&before, &st));
    EXPECT_EQ(st.wYear, 1969);
    EXPECT_EQ(st.wMonth, 12);
    EXPECT_EQ(st.wDay, 31);
    EXPECT_EQ(st.wSecond, 59);
    // 1601-01-01, the origin itself (a Monday).
    const FILETIME origin = Make(0);
    ASSERT_TRUE(FileTimeToSystemTime(&origin, &st));
    EXPECT_EQ(st.wYear, 1601);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(st.wDayOfWeek, 1);
}

TEST(WinApiTime, SystemTimeDropsMilliseconds)
{
    FILETIME a, b;
    SYSTEMTIME st = MakeST(2023, 6, 15, 12, 0, 0, 999);
    st.wDayOfWeek = 6;  // not read
    ASSERT_TRUE(SystemTimeToFileTime(&st, &a));
    st.wMilliseconds = 0;
    st.wDayOfWeek = 0;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &b));
    EXPECT_EQ(Get(a), Get(b));
    // 2023-06-15 is day 19523 after 1970-01-01.
    EXPECT_EQ(Get(a), FileTimeOf(19523LL * 86400 + 12 * 3600));
}

TEST(WinApiTime, RoundTripAfter2038)
{
    // 2040-02-29 12:34:56 UTC: 70 years with 17 leap days to 2040-01-01,
    // then 31 + 28 days.
    const int64_t t = (70LL * 365 + 17 + 59) * 86400 + 12 * 3600 + 34 * 60 + 56;
    EXPECT_EQ(t, 2214131696LL);
    FILETIME ft;
    TimeToFileTime(static_cast<time_t>(t), &ft);
    EXPECT_EQ(Get(ft), 138586052960000000ULL);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wYear, 2040);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(st.wDayOfWeek, 3);  // 2040-01-01 is a Sunday, 59 days later a Wednesday
    EXPECT_EQ(st.wHour, 12);
    EXPECT_EQ(st.wMinute, 34);
    EXPECT_EQ(st.wSecond, 56);
    FILETIME back;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &back));
    EXPECT_EQ(Get(back), Get(ft));
    EXPECT_EQ(static_cast<int64_t>(Get(back) / 10000000ULL) - 11644473600LL, t);
}

TEST(WinApiTime, LocalConversionsFollowTheTimeZone)
{
    const uint64_t kHour = 3600ULL * 10000000ULL;
    // 2023-07-01 12:00:00 UTC (day 19539) and 2023-01-15 12:00:00 UTC (day 19372).
    const FILETIME summer = Make(FileTimeOf(19539LL * 86400 + 12 * 3600));
    const FILETIME winter = Make(FileTimeOf(19372LL * 86400 + 12 * 3600));
    FILETIME local, back;
    {
        CPinnedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
        ASSERT_TRUE(FileTimeToLocalFileTime(&summer, &local));
        EXPECT_EQ(Get(local), Get(summer) + 2 * kHour);
        ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
        EXPECT_EQ(Get(back), Get(summer));
        ASSERT_TRUE(FileTimeToLocalFileTime(&winter, &local));
        EXPECT_EQ(Get(local), Get(winter) + kHour);
        ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
        EXPECT_EQ(Get(back), Get(winter));
    }
    {
        CPinnedTimeZone tz("EST5EDT,M3.2.0,M11.1.0");
        ASSERT_TRUE(FileTimeToLocalFileTime(&summer, &local));
        EXPECT_EQ(Get(local), Get(summer) - 4 * kHour);
        ASSERT_TRUE(FileTimeToLocalFileTime(&winter, &local));
        EXPECT_EQ(Get(local), Get(winter) - 5 * kHour);
        ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
        EXPECT_EQ(Get(back), Get(winter));
    }
    {
        CPinnedTimeZone tz("UTC0");
        ASSERT_TRUE(FileTimeToLocalFileTime(&summer, &local));
        EXPECT_EQ(Get(local), Get(summer));
    }
}

TEST(WinApiTime, ClockReadings)
{
    CPinnedTimeZone tz("XYZ-3");  // three hours east, no daylight saving
    for (int attempt = 0; attempt < 5; ++attempt) {
        const time_t before = time(nullptr);
        SYSTEMTIME utc, local;
        GetSystemTime(&utc);
        GetLocalTime(&local);
        const time_t after = time(nullptr);
        if (before != after)
            continue;  // a second boundary passed between the readings
        FILETIME fu, fl;
        ASSERT_TRUE(SystemTimeToFileTime(&utc, &fu));
        ASSERT_TRUE(SystemTimeToFileTime(&local, &fl));
        EXPECT_EQ(Get(fu), FileTimeOf(before));
        EXPECT_EQ(Get(fl), FileTimeOf(before) + 3ULL * 3600 * 10000000);
        EXPECT_LT(utc.wMilliseconds, 1000);
        EXPECT_EQ(utc.wDayOfWeek, static_cast<WORD>((before / 86400 + 4) % 7));
        break;
    }

    struct timeval tv;
    gettimeofday(&tv, nullptr);
    const uint64_t ms = static_cast<uint64_t>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
    const DWORD tick = GetTickCount();
    EXPECT_LT(static_cast<DWORD>(tick - static_cast<DWORD>(ms)), 1000u);
}

std::vector<struct timeval> s_clockSets;
int s_nClockResult = 0;

int RecordClock(const struct timeval* tv)
{
    s_clockSets.push_back(*tv);
    return s_nClockResult;
}

TEST(WinApiTime, SetLocalTimeHandsTheClockTheUtcSecond)
{
    CPinnedTimeZone tz("XYZ-3");
    const PFN_SETCLOCK pfnOld = SetLocalTimeClock(RecordClock);
    s_clockSets.clear();
    s_nClockResult = 0;
    // 15:34:56.789 local is 12:34:56 UTC on 2040-02-29.
    const SYSTEMTIME st = MakeST(2040, 2, 29, 15, 34, 56, 789);
    EXPECT_TRUE(SetLocalTime(&st));
    s_nClockResult = -1;
    EXPECT_FALSE(SetLocalTime(&st));
    SetLocalTimeClock(pfnOld);
    ASSERT_EQ(s_clockSets.size(), 2u);
    EXPECT_EQ(static_cast<int64_t>(s_clockSets[0].tv_sec), 2214131696LL);
    EXPECT_EQ(s_clockSets[0].tv_usec, 0);
    EXPECT_EQ(SetLocalTimeClock(nullptr), pfnOld);
    EXPECT_EQ(SetLocalTimeClock(pfnOld), pfnOld);
}

TEST(WinApiTime, FileTimesOfAFile)
{
    CTempDir dir("zt_winapi");
    ASSERT_FALSE(dir.Path().empty());
    const std::string path = dir.Path() + "/t\xC3\xA9.dat";
    const std::wstring wpath = dir.WPath() + L"/t\u00e9.dat";
    const int fd = open(path.c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(fd, 0);
    struct utimbuf times = {1000000000, 1500000000};
    ASSERT_EQ(utime(path.c_str(), &times), 0);

    FILETIME c, a, w;
    ASSERT_TRUE(GetFileTime(fd, &c, &a, &w));
    EXPECT_EQ(Get(a), FileTimeOf(1000000000));
    EXPECT_EQ(Get(w), FileTimeOf(1500000000));
    struct stat st;
    ASSERT_EQ(fstat(fd, &st), 0);
    EXPECT_EQ(Get(c), FileTimeOf(st.st_ctime));
    EXPECT_TRUE(GetFileTime(fd, nullptr, nullptr, &w));
    EXPECT_FALSE(GetFileTime(-1, &c, &a, &w));
    close(fd);

    // Only the write time: the access time stays. After 2038 as well.
    const FILETIME w2 = Make(FileTimeOf(2214131696LL) + 1234567);
    EXPECT_TRUE(SetFileTime(wpath.c_str(), nullptr, nullptr, &w2));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(static_cast<int64_t>(st.st_atime), 1000000000);
    EXPECT_EQ(static_cast<int64_t>(st.st_mtime), 2214131696LL);
    // Only the access time.
    const FILETIME a2 = Make(FileTimeOf(1600000000));
    EXPECT_TRUE(SetFileTime(wpath.c_str(), &w2, &a2, nullptr));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(static_cast<int64_t>(st.st_atime), 1600000000);
    EXPECT_EQ(static_cast<int64_t>(st.st_mtime), 2214131696LL);
    // Nothing to set; a missing file.
    EXPECT_TRUE(SetFileTime(wpath.c_str(), nullptr, nullptr, nullptr));
    const std::wstring missing = dir.WPath() + L"/missing";
    EXPECT_FALSE(SetFileTime(missing.c_str(), nullptr, &a2, &w2));
    EXPECT_FALSE(SetFileTime(missing.c_str(), nullptr, nullptr, &w2));
}

// ---------------------------------------------------------------------------
// Module path

TEST(WinApiModule, PathOfTheRunningProgram)
{
    wchar_t buffer[1044];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, 1044);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(n, std::wcslen(buffer));
    EXPECT_EQ(buffer[0], L'/');
    const std::wstring path(buffer);
    const std::wstring tail = L"/test_WinApiTest";
    ASSERT_GE(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);

    // The same file as the one running.
    char narrow[1044];
    const DWORD nA = GetModuleFileNameA(nullptr, narrow, sizeof(narrow));
    ASSERT_GT(nA, 0u);
    EXPECT_EQ(nA, std::strlen(narrow));
    struct stat stPath, stSelf;
    ASSERT_EQ(stat(narrow, &stPath), 0);
    ASSERT_EQ(stat("/proc/self/exe", &stSelf), 0);
    EXPECT_EQ(stPath.st_ino, stSelf.st_ino);
    EXPECT_EQ(stPath.st_dev, stSelf.st_dev);

    // Exactly room for the terminator, then one character short.
    wchar_t* exact = new wchar_t[n + 1];
    EXPECT_EQ(GetModuleFileNameW(nullptr, exact, n + 1), n);
    EXPECT_EQ(std::wstring(exact), path);
    exact[0] = L'x';
    EXPECT_EQ(GetModuleFileNameW(nullptr, exact, n), 0u);
    EXPECT_EQ(exact[0], 0);
    delete[] exact;
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 0), 0u);
    EXPECT_EQ(GetModuleFileNameA(nullptr, narrow, nA), 0u);

    // The handle of a loaded module is not used: the program's path again.
    void* hModule = dlopen(ZT_BUILD_DIR "/zt190msql.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hModule, nullptr) << dlerror();
    wchar_t other[261];
    EXPECT_EQ(GetModuleFileNameW(static_cast<HMODULE>(hModule), other, 261), n);
    EXPECT_EQ(std::wstring(other), path);
    dlclose(hModule);
}

TEST(WinApiModule, MakePath)
{
    wchar_t dst[128];
    makepath(dst, L"C:", L"/usr/lib", L"libx", L"so");
    EXPECT_STREQ(dst, L"/usr/lib/libx.so");
    makepath(dst, nullptr, L"/usr/lib/", L"libx", L".so");
    EXPECT_STREQ(dst, L"/usr/lib/libx.so");
    makepath(dst, nullptr, L"", L"name", L"");
    EXPECT_STREQ(dst, L"name");
    makepath(dst, nullptr, nullptr, L"name", nullptr);
    EXPECT_STREQ(dst, L"name");
    // No name: no extension either.
    makepath(dst, nullptr, L"dir", nullptr, L"txt");
    EXPECT_STREQ(dst, L"dir/");
    makepath(dst, nullptr, L"d\u00e9j\u00e0", L"f", L"e");
    EXPECT_STREQ(dst, L"d\u00e9j\u00e0/f.e");
}

// ---------------------------------------------------------------------------
// Environment and current directory

TEST(WinApiEnvironment, WideVariables)
{
    const wchar_t* kName = L"ZT_WINAPI_TEST_W";
    ASSERT_TRUE(SetEnvironmentVariable(kName, L"caf\u00e9 \u65e5"));
    // UTF-8 in the process environment.
    const char* raw = std::getenv("ZT_WINAPI_TEST_W");
    ASSERT_NE(raw, nullptr);
    EXPECT_STREQ(raw, "caf\xC3\xA9 \xE6\x97\xA5");

    wchar_t buffer[16];
    std::wmemset(buffer, L'#', 16);
    // Size 0: the size needed, nothing written.
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 0), 7u);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 16), 6u);
    EXPECT_STREQ(buffer, L"caf\u00e9 \u65e5");
    // Exactly the room, then one short.
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 7), 6u);
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 6), 7u);
    EXPECT_EQ(buffer[5], 0) << "the copy stays within the buffer";

    // A long value goes through the heap.
    const std::wstring longValue(3000, L'\u00e9');
    ASSERT_TRUE(SetEnvironmentVariable(kName, longValue.c_str()));
    std::vector<wchar_t> big(3001);
    EXPECT_EQ(GetEnvironmentVariableW(kName, big.data(), 3001), 3000u);
    EXPECT_EQ(std::wstring(big.data()), longValue);

    ASSERT_TRUE(SetEnvironmentVariable(kName, L""));
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 16), 0u);
    EXPECT_STREQ(buffer, L"");
    ASSERT_TRUE(SetEnvironmentVariable(kName, nullptr));
    EXPECT_EQ(std::getenv("ZT_WINAPI_TEST_W"), nullptr);
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 16), 0u);
    EXPECT_FALSE(SetEnvironmentVariable(L"BAD=NAME", L"x"));
}

TEST(WinApiEnvironment, EightBitVariablesUseTheCurrentCharset)
{
    // The host's current charset 0 is code page 1252.
    ASSERT_TRUE(SetEnvironmentVariable(L"ZT_WINAPI_\u00c9", L"caf\u00e9"));
    EXPECT_STREQ(std::getenv("ZT_WINAPI_\xC3\x89"), "caf\xC3\xA9");
    char buffer[16];
    EXPECT_EQ(GetEnvironmentVariableA("ZT_WINAPI_\xC9", buffer, sizeof(buffer)), 4u);
    EXPECT_STREQ(buffer, "caf\xE9");
    EXPECT_EQ(GetEnvironmentVariableA("ZT_WINAPI_\xC9", buffer, 0), 5u);
    EXPECT_EQ(GetEnvironmentVariableA("ZT_WINAPI_\xC9", buffer, 4), 5u);
    EXPECT_EQ(GetEnvironmentVariableA("ZT_WINAPI_MISSING", buffer, sizeof(buffer)), 0u);
    SetEnvironmentVariable(L"ZT_WINAPI_\u00c9", nullptr);
    EXPECT_EQ(GetEnvironmentVariableA("ZT_WINAPI_\xC9", buffer, sizeof(buffer)), 0u);
}

TEST(WinApiEnvironment, CurrentDirectory)
{
    CTempDir dir("zt_winapi");
    ASSERT_FALSE(dir.Path().empty());
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);

    const std::string sub = dir.Path() + "/r\xC3\xA9p";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    const std::wstring wsub = dir.WPath() + L"/r\u00e9p";
    EXPECT_TRUE(SetCurrentDirectoryW(wsub.c_str()));
    char now[PATH_MAX];
    ASSERT_NE(getcwd(now, sizeof(now)), nullptr);
    EXPECT_EQ(std::string(now), sub);
    wchar_t wnow[300];
    EXPECT_TRUE(CDiskFile::Unix_getcwd(wnow, 300));
    EXPECT_EQ(std::wstring(wnow), wsub);

    // 8-bit path in code page 1252.
    EXPECT_TRUE(SetCurrentDirectoryA("/"));
    const std::string sub1252 = dir.Path() + "/r\xE9p";
    EXPECT_TRUE(SetCurrentDirectoryA(sub1252.c_str()));
    ASSERT_NE(getcwd(now, sizeof(now)), nullptr);
    EXPECT_EQ(std::string(now), sub);

    EXPECT_FALSE(SetCurrentDirectoryW((dir.WPath() + L"/none").c_str()));
    EXPECT_FALSE(SetCurrentDirectoryA(nullptr));
    ASSERT_EQ(chdir(saved), 0);
}

TEST(WinApiEnvironment, UnsetLocale)
{
    const std::string saved = setlocale(LC_NUMERIC, nullptr);
    UnsetLocale(LC_NUMERIC);
    EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
    setlocale(LC_NUMERIC, saved.c_str());
}

// ---------------------------------------------------------------------------
// Processes and threads

TEST(WinApiProcess, CommandLineSplitting)
{
    int code = -1;
    // "a b" is one argument of three characters ($0 is zero, two follow).
    EXPECT_TRUE(RunAndWait(L"/bin/sh", L"-c \"[ ${#1} -eq 3 ] && exit $#; exit 99\" zero \"a b\" c", &code));
    EXPECT_EQ(code, 2);
    // Quotes inside an argument join its parts and are dropped.
    EXPECT_TRUE(RunAndWait(L"/bin/sh", L"-c \"[ \"$1\" = 'ab cd' ] && exit 5; exit 9\" zero a\"b c\"d", &code));
    EXPECT_EQ(code, 5);
    // Leading and trailing blanks and empty arguments are dropped.
    EXPECT_TRUE(RunAndWait(L"/bin/sh", L"  \t-c   \"exit $#\"   x   \"\"    ", &code));
    EXPECT_EQ(code, 0);
    // Without an application the first argument is the program.
    EXPECT_TRUE(RunAndWait(nullptr, L"/bin/sh -c \"exit 4\"", &code));
    EXPECT_EQ(code, 4);
    // Non-ASCII arguments reach the child as UTF-8: 2 bytes for one character.
    EXPECT_TRUE(RunAndWait(L"/bin/sh", L"-c \"exit $(printf %s \"$1\" | wc -c)\" zero \u00e9", &code));
    EXPECT_EQ(code, 2);
}

TEST(WinApiProcess, FailuresAndExitCode255)
{
    int code = 0;
    EXPECT_FALSE(RunAndWait(L"/bin/sh", L"-c \"exit 255\"", &code));
    EXPECT_EQ(code, 255);
    // A program that cannot be run: the child ends with 255.
    EXPECT_FALSE(RunAndWait(nullptr, L"/nonexistent/zt_program", &code));
    EXPECT_EQ(code, 255);
    // An application that is not executable: no child at all.
    CTempDir dir("zt_winapi");
    const std::string plain = dir.Path() + "/plain";
    const int fd = open(plain.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    pid_t pid = 12345;
    const std::wstring wplain = dir.WPath() + L"/plain";
    EXPECT_FALSE(CreateProcess(wplain.c_str(), L"", &pid, TRUE, nullptr, nullptr));
    EXPECT_EQ(pid, 12345);
    EXPECT_FALSE(CreateProcess(nullptr, L"   ", &pid, TRUE, nullptr, nullptr));
}

TEST(WinApiProcess, NoWaitTimeoutAndTermination)
{
    InitAlarmHandler(nullptr);
    pid_t pid = -1;
    BOOL bTimedOut = FALSE;
    EXPECT_TRUE(CreateProcess(L"/bin/sleep", L"30", &pid, FALSE, &bTimedOut, nullptr));
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(bTimedOut) << "not touched without wait";
    int status = -1;
    EXPECT_EQ(WaitPid(pid, 0, &status), 0);
    EXPECT_EQ(status, -1) << "no status while it runs";
    EXPECT_FALSE(TerminateProcess(0, 1));
    EXPECT_TRUE(TerminateProcess(pid, 1));
    int ws = 0;
    ASSERT_EQ(waitpid(pid, &ws, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(ws));
    EXPECT_EQ(WTERMSIG(ws), SIGTERM);
    EXPECT_FALSE(TerminateProcess(pid, 1)) << "already gone";

    // A child still running after its second: true and timed out.
    const auto start = std::chrono::steady_clock::now();
    int code = -1;
    EXPECT_TRUE(CreateProcess(L"/bin/sleep", L"30", &pid, TRUE, &bTimedOut, &code));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(bTimedOut);
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(10));
    EXPECT_TRUE(TerminateProcess(pid, 0));
    // WaitPid now sees it end (within its own polling).
    EXPECT_EQ(WaitPid(pid, 5000, &code), pid);
    EXPECT_EQ(code, 0) << "a signal leaves the exit code byte 0";
}

int s_nAlarms = 0;
void CountAlarm(int)
{
    ++s_nAlarms;
}

TEST(WinApiProcess, AlarmHandlerAndWaitingWithoutOne)
{
    // The handler given is the one that runs.
    InitAlarmHandler(CountAlarm);
    s_nAlarms = 0;
    raise(SIGALRM);
    EXPECT_EQ(s_nAlarms, 1);
    InitAlarmHandler(nullptr);
    raise(SIGALRM);
    EXPECT_EQ(s_nAlarms, 1);

    // Waiting with SIGALRM left at its default must not end the process.
    std::string err;
    const int n = RunChild(
        [] {
            signal(SIGALRM, SIG_DFL);
            pid_t child = -1;
            BOOL bTimedOut = FALSE;
            const BOOL b = CreateProcess(L"/bin/sleep", L"30", &child, TRUE, &bTimedOut, nullptr);
            TerminateProcess(child, 0);
            waitpid(child, nullptr, 0);
            return b && bTimedOut ? 42 : 1;
        },
        "", &err);
    EXPECT_EQ(n, 42) << err;
}

std::atomic<int> s_nDetached(0);

void DetachedBody(void* arg)
{
    s_nDetached = *static_cast<int*>(arg);
}

unsigned JoinableBody(void* arg)
{
    return *static_cast<unsigned*>(arg) * 2;
}

TEST(WinApiProcess, Threads)
{
    static int s_nValue = 17;
    s_nDetached = 0;
    const uintptr_t id = _beginthread(DetachedBody, 0, &s_nValue);
    ASSERT_NE(id, static_cast<uintptr_t>(-1));
    for (int i = 0; i < 500 && s_nDetached == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(s_nDetached, 17);

    unsigned arg = 21;
    unsigned tid = 0;
    const uintptr_t h = _beginthreadex(nullptr, 256 * 1024, JoinableBody, &arg, 0, &tid);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(tid, static_cast<unsigned>(h));
    void* ret = nullptr;
    ASSERT_EQ(pthread_join(static_cast<pthread_t>(h), &ret), 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ret), 42u);

    const uintptr_t h2 = CreateThread(nullptr, 0, JoinableBody, &arg, 0, nullptr);
    ASSERT_NE(h2, 0u);
    ASSERT_EQ(pthread_join(static_cast<pthread_t>(h2), &ret), 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ret), 42u);

    // A stack too small to create the thread.
    errno = 0;
    EXPECT_EQ(_beginthread(DetachedBody, 16, &s_nValue), static_cast<uintptr_t>(-1));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(_beginthreadex(nullptr, 16, JoinableBody, &arg, 0, &tid), 0u);

    // The normal policy has the single priority 0.
    EXPECT_TRUE(SetThreadPriority(static_cast<uintptr_t>(pthread_self()), 0));
    errno = 0;
    EXPECT_FALSE(SetThreadPriority(static_cast<uintptr_t>(pthread_self()), 10));
    EXPECT_EQ(errno, EINVAL);
}

// ---------------------------------------------------------------------------
// Atoms

TEST(WinApiAtom, ReferenceCountsAndNames)
{
    EXPECT_EQ(AddAtom(nullptr), 0);
    EXPECT_EQ(FindAtom(L"ZtAtomTest"), 0);
    const ATOM a = AddAtom(L"ZtAtomTest");
    ASSERT_NE(a, 0);
    EXPECT_EQ(AddAtom(L"ZTATOMTEST"), a);
    EXPECT_EQ(FindAtom(L"ztatomtest"), a);
    const ATOM b = AddAtom(L"ZtAtomOther");
    EXPECT_GT(b, a) << "numbers only grow";

    wchar_t name[32];
    EXPECT_EQ(GetAtomName(a, name, 32), 10u);
    EXPECT_STREQ(name, L"ZtAtomTest") << "the first spelling is kept";
    // A short buffer holds a cut, terminated name.
    std::wmemset(name, L'#', 32);
    EXPECT_EQ(GetAtomName(a, name, 5), 4u);
    EXPECT_STREQ(name, L"ZtAt");
    EXPECT_EQ(name[5], L'#');
    EXPECT_EQ(GetAtomName(a, name, 0), 0u);
    EXPECT_EQ(GetAtomName(0xFFFF, name, 32), 0u);

    // Two references: two deletions; the third answers the atom itself.
    EXPECT_EQ(DeleteAtom(a), 0);
    EXPECT_EQ(FindAtom(L"ZtAtomTest"), a);
    EXPECT_EQ(DeleteAtom(a), 0);
    EXPECT_EQ(FindAtom(L"ZtAtomTest"), 0);
    EXPECT_EQ(DeleteAtom(a), a);
    // A new atom of the same name gets a new number.
    const ATOM c = AddAtom(L"ZtAtomTest");
    EXPECT_GT(c, b);
    EXPECT_EQ(FindAtom(L"ZtAtomOther"), b);
    EXPECT_EQ(DeleteAtom(b), 0);
    EXPECT_EQ(DeleteAtom(c), 0);
    EXPECT_EQ(CAtom::gnId, static_cast<unsigned>(c) + 1);
}

// ---------------------------------------------------------------------------
// Memory status

TEST(WinApiSystem, MemoryStatus)
{
    MEMORYSTATUSEX st;
    std::memset(&st, 0xCC, sizeof(st));
    ASSERT_TRUE(GlobalMemoryStatusEx(&st));
    EXPECT_EQ(st.dwLength, 40u);
    EXPECT_LE(st.dwMemoryLoad, 100u);
    EXPECT_GT(st.ullTotalPhys, 0u);
    EXPECT_LE(st.ullAvailPhys, st.ullTotalPhys);
    EXPECT_LE(st.ullAvailPageFile, st.ullTotalPageFile);
    EXPECT_EQ(st.ullTotalVirtual, 0u);

    // The total is the kernel's, whichever way it is read.
    struct sysinfo info;
    ASSERT_EQ(sysinfo(&info), 0);
    const uint64_t unit = info.mem_unit;
    const uint64_t total = static_cast<uint64_t>(info.totalram) * unit;
    EXPECT_LE(st.ullTotalPhys > total ? st.ullTotalPhys - total : total - st.ullTotalPhys, unit);

    // Within the same second the cached values come back.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const time_t t0 = time(nullptr);
        MEMORYSTATUSEX a, b;
        GlobalMemoryStatusEx(&a);
        GlobalMemoryStatusEx(&b);
        if (time(nullptr) != t0)
            continue;
        EXPECT_EQ(a.ullAvailPhys, b.ullAvailPhys);
        EXPECT_EQ(a.ullAvailPageFile, b.ullAvailPageFile);
        EXPECT_EQ(a.dwMemoryLoad, b.dwMemoryLoad);
        MEMORYSTATUS small;
        GlobalMemoryStatus(&small);
        if (time(nullptr) != t0)
            continue;
        EXPECT_EQ(small.dwLength, 24u);
        EXPECT_EQ(small.dwMemoryLoad, a.dwMemoryLoad);
        const auto cut = [](uint64_t n) { return n > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<DWORD>(n); };
        EXPECT_EQ(small.dwTotalPhys, cut(a.ullTotalPhys));
        EXPECT_EQ(small.dwAvailPhys, cut(a.ullAvailPhys));
        EXPECT_EQ(small.dwTotalPageFile, cut(a.ullTotalPageFile));
        EXPECT_EQ(small.dwAvailPageFile, cut(a.ullAvailPageFile));
        break;
    }
}

// ---------------------------------------------------------------------------
// UUIDs

struct STUuidFields {
    uint64_t nTime;
    unsigned nSeq;
};

STUuidFields Decode(const UUID& u)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&u);
    STUuidFields f;
    const uint64_t low = (uint64_t(b[0]) << 24) | (uint64_t(b[1]) << 16) | (uint64_t(b[2]) << 8) | b[3];
    const uint64_t mid = (uint64_t(b[4]) << 8) | b[5];
    const uint64_t high = (uint64_t(b[6] & 0x0F) << 8) | b[7];
    f.nTime = (high << 48) | (mid << 32) | low;
    f.nSeq = ((unsigned(b[8]) << 8) | b[9]) & 0x3FFF;
    return f;
}

TEST(WinApiSystem, UuidVersion1)
{
    UUID first;
    EXPECT_EQ(UuidCreate(&first), 1824);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&first);
    EXPECT_EQ(b[6] >> 4, 1) << "version 1";
    EXPECT_EQ(b[8] & 0xE0, 0x80) << "variant bits 10 and a 13-bit clock sequence";
    EXPECT_EQ(b[10] & 0x80, 0x80) << "node with its top bit set";

    // The time: 100 ns units since 1582-10-15, 12,219,292,800 s before 1970.
    const uint64_t kGregorian = 12219292800ULL * 10000000ULL;
    const STUuidFields f = Decode(first);
    const int64_t seconds = static_cast<int64_t>((f.nTime - kGregorian) / 10000000ULL);
    EXPECT_LE(std::llabs(seconds - static_cast<int64_t>(time(nullptr))), 2);

    // Many more: all different, same node, times increasing.
    std::set<std::string> seen;
    seen.insert(std::string(reinterpret_cast<const char*>(&first), 16));
    uint64_t last = f.nTime;
    for (int i = 0; i < 2000; ++i) {
        UUID u;
        ASSERT_EQ(UuidCreate(&u), 0);
        const unsigned char* ub = reinterpret_cast<const unsigned char*>(&u);
        ASSERT_EQ(std::memcmp(ub + 10, b + 10, 6), 0);
        ASSERT_TRUE(seen.insert(std::string(reinterpret_cast<const char*>(&u), 16)).second);
        const STUuidFields g = Decode(u);
        if (g.nSeq == f.nSeq) {
            EXPECT_GT(g.nTime, last);
        }
        last = g.nTime;
    }

    UUID copy = first;
    EXPECT_TRUE(IsEqualGUID(copy, first));
    reinterpret_cast<unsigned char*>(&copy)[15] ^= 1;
    EXPECT_FALSE(IsEqualGUID(copy, first));
}

// ---------------------------------------------------------------------------
// Constants and small services

TEST(WinApiSystem, Constants)
{
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-10)), reinterpret_cast<HANDLE>(0));
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-11)), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-12)), reinterpret_cast<HANDLE>(2));
    EXPECT_EQ(GetStdHandle(5), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x800);
    EXPECT_EQ(GetUserDefaultLangID(), 0x800);

    OSVERSIONINFO info;
    std::memset(&info, 0x77, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    EXPECT_TRUE(GetVersionEx(&info));
    EXPECT_EQ(info.dwOSVersionInfoSize, sizeof(info));
    EXPECT_EQ(info.dwPlatformId, 1000u);
    EXPECT_EQ(info.dwMajorVersion, 0u);
    EXPECT_EQ(info.szCSDVersion[0], 0);
}

TEST(WinApiSystem, MulDivRoundsHalfAwayFromZero)
{
    EXPECT_EQ(MulDiv(7, 3, 2), 11);
    EXPECT_EQ(MulDiv(-7, 3, 2), -11);
    EXPECT_EQ(MulDiv(7, 3, -2), -11);
    EXPECT_EQ(MulDiv(-7, -3, -2), -11);
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);
    EXPECT_EQ(MulDiv(10, 1, 4), 3);    // 2.5
    EXPECT_EQ(MulDiv(9, 1, 4), 2);     // 2.25
    EXPECT_EQ(MulDiv(-10, 1, 4), -3);  // -2.5
    // The product needs 64 bits.
    EXPECT_EQ(MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);
    EXPECT_EQ(MulDiv(INT32_MIN, 1, -1), -1) << "2^31 does not fit";
    EXPECT_EQ(MulDiv(INT32_MIN, 1, 1), INT32_MIN);
}

TEST(WinApiSystem, AlphaNumericTableOfCodePage1252)
{
    // The letters and digits of code page 1252 as published.
    std::set<int> expected;
    for (int c = '0'; c <= '9'; ++c)
        expected.insert(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        expected.insert(c);
    for (int c = 'a'; c <= 'z'; ++c)
        expected.insert(c);
    for (int c : {0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F, 0xB2, 0xB3, 0xB9})
        expected.insert(c);
    for (int c = 0xC0; c <= 0xFF; ++c)
        if (c != 0xD7 && c != 0xF7)  // the multiplication and division signs
            expected.insert(c);
    ASSERT_EQ(expected.size(), 135u);
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(LinuxIsCharAlphaNumericA(static_cast<char>(c)), expected.count(c) ? TRUE : FALSE) << c;
}

// ---------------------------------------------------------------------------
// Message boxes and debug output

TEST(WinApiMessageBox, TerminalForm)
{
    struct Case {
        unsigned type;
        const char* answer;
        int result;
        const char* prompt;
    };
    const char* kRetryAbort =
        "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour continuer (exemple : r + ENTREE) : \n";
    const Case cases[] = {
        {0, "\n", IDOK, "Appuyez sur ENTREE pour continuer : \n"},
        {1, "c\n", IDCANCEL,
         "Entrez votre choix (o = OK, c = CANCEL) pour continuer (exemple : o + ENTREE) : \n"},
        {1, "o\n", IDOK, "Entrez votre choix (o = OK, c = CANCEL) pour continuer (exemple : o + ENTREE) : \n"},
        {2, "a\n", IDABORT, kRetryAbort},
        {2, "ignore\n", IDIGNORE, kRetryAbort},
        {9, "x\n", IDOK, kRetryAbort},
        {3, "  yes\n", IDYES,
         "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour continuer (exemple : y + ENTREE) : \n"},
        {4, "n\n", IDNO, "Entrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n"},
        {5, "c\n", IDCANCEL, "Entrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) : \n"},
    };
    for (const Case& c : cases) {
        std::string err;
        const int n = RunChild([&] { return MessageBoxW(nullptr, L"Le texte", L"Caf\u00e9", c.type); }, c.answer,
                               &err);
        EXPECT_EQ(n, c.result) << c.type << " " << c.answer;
        EXPECT_EQ(err, std::string("Caf\xC3\xA9\nLe texte\n") + c.prompt) << c.type;
    }
    // Retry prints the debugger hint.
    std::string err;
    EXPECT_EQ(RunChild([] { return _MessageBox_NO_GUI(L"t", L"c", 5, 1); }, "r\n", &err), IDRETRY);
    EXPECT_EQ(err,
              std::string("c\nt\nEntrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) "
                          ": \nDans Anjuta, utiliser la Stack Trace pour voir la fonction en cours et F7 pour "
                          "reprendre l'execution\n"));
    // No answer at all (end of input).
    EXPECT_EQ(RunChild([] { return _MessageBox_NO_GUI(nullptr, nullptr, 4, 1); }, "", &err), IDOK);
    EXPECT_EQ(err, "\n\nEntrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n");
}

typedef void (*PFN_SETANSWER)(int);
typedef int (*PFN_GETLAST)(void**, const wchar_t**, const wchar_t**, unsigned*);

TEST(WinApiMessageBox, GraphicsModuleFromTheCurrentDirectory)
{
    // Held here so that its record outlives the loader's own dlclose.
    void* hGraphics = dlopen(ZT_BUILD_DIR "/zt190obj.so", RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(hGraphics, nullptr) << dlerror();
    auto pfnSetAnswer = reinterpret_cast<PFN_SETANSWER>(dlsym(hGraphics, "ZTGraphics_SetAnswer"));
    auto pfnGetLast = reinterpret_cast<PFN_GETLAST>(dlsym(hGraphics, "ZTGraphics_nGetLastMessageBox"));
    ASSERT_NE(pfnSetAnswer, nullptr);
    ASSERT_NE(pfnGetLast, nullptr);

    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);
    ASSERT_EQ(chdir(ZT_BUILD_DIR), 0);

    const int nBefore = pfnGetLast(nullptr, nullptr, nullptr, nullptr);
    pfnSetAnswer(IDNO);
    HWND window = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(MessageBox(window, L"Voulez-vous continuer ? \u00e9\u65e5", L"Question", MB_YESNO), IDNO);
    void* pWindow = nullptr;
    const wchar_t* text = nullptr;
    const wchar_t* caption = nullptr;
    unsigned type = 99;
    EXPECT_EQ(pfnGetLast(&pWindow, &text, &caption, &type), nBefore + 1);
    EXPECT_EQ(pWindow, window);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, L"Voulez-vous continuer ? \u00e9\u65e5");
    ASSERT_NE(caption, nullptr);
    EXPECT_STREQ(caption, L"Question");
    EXPECT_EQ(type, static_cast<unsigned>(MB_YESNO));

    // The module cannot show a box (-1): the terminal answers.
    std::string err;
    const int n = RunChild(
        [&] {
            pfnSetAnswer(-1);
            return MessageBox(nullptr, L"T", L"C", MB_RETRYCANCEL);
        },
        "c\n", &err);
    EXPECT_EQ(n, IDCANCEL);
    EXPECT_EQ(err, "C\nT\nEntrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) : \n");

    // No module in the program's or the current directory: the terminal.
    CTempDir dir("zt_winapi");
    const int nNoModule = RunChild(
        [&] {
            if (chdir(dir.Path().c_str()) != 0)
                return 99;
            pfnSetAnswer(IDOK);
            return MessageBox(nullptr, L"T", L"C", MB_YESNO);
        },
        "y\n", &err);
    EXPECT_EQ(nNoModule, IDYES);
    EXPECT_EQ(err, "C\nT\nEntrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n");
    EXPECT_EQ(pfnGetLast(nullptr, nullptr, nullptr, nullptr), nBefore + 1) << "children record in their own copy";

    pfnSetAnswer(IDOK);
    ASSERT_EQ(chdir(saved), 0);
    dlclose(hGraphics);
}

TEST(WinApiMessageBox, DebugOutput)
{
    std::string err;
    EXPECT_EQ(RunChild(
                  [] {
                      OutputDebugString(L"line one");
                      OutputDebugString(nullptr);
                      OutputDebugString(L" and two");
                      return 0;
                  },
                  "", &err),
              0);
    EXPECT_EQ(err, "line one and two");
}

}  // namespace
