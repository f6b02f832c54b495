#include "common/platform/Atom.h"
#include "common/platform/WinApi.h"

#include "tests/support/AlphaNumeric1252.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeZone.h"
#include "tests/support/Paths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <new>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
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
    return FILETIME{static_cast<DWORD>(n), static_cast<DWORD>(n >> 32)};
}

bool Is(const RECT& r, int l, int t, int rt, int b)
{
    return r.left == l && r.top == t && r.right == rt && r.bottom == b;
}

// The exit code of a child (-1 when it did not end normally).
int ExitOf(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
        for (int fd : {inPipe[0], inPipe[1], errPipe[0], errPipe[1]})
            close(fd);
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
    return ExitOf(pid);
}

// CreateProcess without its one-second wait; the exit code read here.
int ExitCodeOf(const wchar_t* app, const wchar_t* line)
{
    pid_t pid = -1;
    BOOL bTimedOut = 7;
    if (!CreateProcess(app, line, &pid, FALSE, &bTimedOut, nullptr))
        return -2;
    EXPECT_EQ(bTimedOut, 7) << "not touched without wait";
    return ExitOf(pid);
}

TEST(WinApiMemory, GlobalAndHeapBlocks)
{
    // The size word in front; growth zero-fills only the added bytes.
    const auto size = [](const unsigned char* b) {
        uint32_t n;
        std::memcpy(&n, b - 4, 4);
        return n;
    };
    unsigned char* p = static_cast<unsigned char*>(HeapAlloc(nullptr, HEAP_ZERO_MEMORY, 10));
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(size(p), 10);
    std::memset(p, 0x5A, 10);
    p = static_cast<unsigned char*>(HeapReAlloc(nullptr, HEAP_ZERO_MEMORY, p, 300));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(size(p), 300);
    EXPECT_EQ(p[9], 0x5A);
    for (int i = 10; i < 300; ++i)
        ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(HeapReAlloc(nullptr, 0, nullptr, 8), nullptr);
    // No room for the size word: null, or bad_alloc with flag 4; a failed
    // reallocation leaves the block alive.
    const size_t huge = static_cast<size_t>(UINT32_MAX) - 2;
    EXPECT_EQ(HeapAlloc(nullptr, 0, huge), nullptr);
    EXPECT_THROW(HeapAlloc(nullptr, HEAP_GENERATE_EXCEPTIONS, huge), std::bad_alloc);
    EXPECT_EQ(HeapReAlloc(nullptr, 0, p, huge), nullptr);
    EXPECT_THROW(HeapReAlloc(nullptr, HEAP_GENERATE_EXCEPTIONS, p, huge), std::bad_alloc);
    EXPECT_EQ(HeapFree(nullptr, 0, p), TRUE);

    char s[] = "abcdef";
    EXPECT_STREQ(_strnset(s, 'x', 3), "xxxdef");
    EXPECT_STREQ(_strnset(s, 'y', 100), "yyyyyy") << "stops at the terminator";
}

TEST(WinApiRect, Operations)
{
    const RECT r = {1, 2, 11, 22}, flat = {0, 0, 5, 0}, inverted = {5, 0, 0, 5};
    const RECT extreme = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, wrapped = {INT32_MAX, 0, INT32_MIN, 5};
    EXPECT_FALSE(IsRectEmpty(&r));
    EXPECT_TRUE(IsRectEmpty(&flat));
    EXPECT_TRUE(IsRectEmpty(&inverted));
    EXPECT_TRUE(IsRectEmpty(&wrapped));
    EXPECT_FALSE(IsRectEmpty(&extreme)) << "widths do not overflow";
    // Left and top edges inside, right and bottom outside.
    EXPECT_TRUE(PtInRect(&r, POINT{1, 2}));
    EXPECT_FALSE(PtInRect(&r, POINT{11, 5}));
    EXPECT_FALSE(PtInRect(&r, POINT{5, 22}));

    const RECT a = {0, 0, 10, 10}, b = {5, -5, 20, 8}, empty = {3, 3, 3, 9}, zero = {0, 0, 0, 0};
    RECT d;
    EXPECT_EQ(UnionRect(&d, &a, &b), TRUE);
    EXPECT_TRUE(Is(d, 0, -5, 20, 10));
    EXPECT_TRUE(UnionRect(&d, &empty, &b));
    EXPECT_TRUE(EqualRect(&d, &b));
    // Touching edges do not overlap; the destination may be a source.
    const RECT right = {10, 0, 15, 10};
    d = a;
    EXPECT_EQ(IntersectRect(&d, &a, &right), FALSE);
    EXPECT_TRUE(EqualRect(&d, &zero));
    d = a;
    EXPECT_EQ(IntersectRect(&d, &d, &b), TRUE);
    EXPECT_TRUE(Is(d, 5, 0, 10, 8));

    const struct {
        RECT a, b;
        BOOL result;
        RECT expected;
    } cases[] = {
        {a, {0, 0, 4, 10}, TRUE, {4, 0, 10, 10}},    {a, {6, -3, 12, 13}, TRUE, {0, 0, 6, 10}},
        {a, {-5, -5, 15, 3}, TRUE, {0, 3, 10, 10}},  {a, {0, 7, 10, 10}, TRUE, {0, 0, 10, 7}},
        {a, {2, 2, 4, 4}, TRUE, a},                  {a, {-1, -1, 11, 11}, FALSE, zero},
        {{5, 5, 5, 5}, {2, 2, 4, 4}, FALSE, zero},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.b.left);
        d = r;
        EXPECT_EQ(SubtractRect(&d, &c.a, &c.b), c.result);
        EXPECT_TRUE(EqualRect(&d, &c.expected));
    }
}

TEST(WinApiTime, FileSystemAndLocalTimes)
{
    FILETIME ft;
    SYSTEMTIME st;
    // The sub-second part is dropped, before 1970 too: 23:59:59.5 is second 59.
    const FILETIME before = Make(FileTimeOf(0) - 5000000);
    ASSERT_TRUE(FileTimeToSystemTime(&before, &st));
    EXPECT_EQ(st.wYear, 1969);
    EXPECT_EQ(st.wMonth, 12);
    EXPECT_EQ(st.wDay, 31);
    EXPECT_EQ(st.wSecond, 59);
    EXPECT_EQ(st.wMilliseconds, 0);
    // Milliseconds and day of week are not read: 2023-06-15 is day 19523.
    FILETIME a, b;
    const SYSTEMTIME withMs = {2023, 6, 6, 15, 12, 0, 0, 999}, without = {2023, 6, 0, 15, 12, 0, 0, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&withMs, &a));
    ASSERT_TRUE(SystemTimeToFileTime(&without, &b));
    EXPECT_EQ(Get(a), Get(b));
    EXPECT_EQ(Get(a), FileTimeOf(19523LL * 86400 + 12 * 3600));
    // 2040-02-29 12:34:56 UTC: 70 years with 17 leap days, then 31 + 28 days.
    const int64_t t = (70LL * 365 + 17 + 59) * 86400 + 12 * 3600 + 34 * 60 + 56;
    TimeToFileTime(static_cast<time_t>(t), &ft);
    EXPECT_EQ(Get(ft), 138586052960000000ULL);
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    // 2040-01-01 is a Sunday, 59 days later a Wednesday.
    EXPECT_EQ(st.wYear, 2040);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(st.wDayOfWeek, 3);
    EXPECT_EQ(st.wHour, 12);
    EXPECT_EQ(st.wMinute, 34);
    EXPECT_EQ(st.wSecond, 56);
    EXPECT_TRUE(SystemTimeToFileTime(&st, &b));
    EXPECT_EQ(Get(b), Get(ft));

    // Local times follow the time zone. 2023-07-01 12:00:00 UTC (day 19539) and 2023-01-15 12:00:00 UTC (day 19372).
    const FILETIME summer = Make(FileTimeOf(19539LL * 86400 + 12 * 3600));
    const FILETIME winter = Make(FileTimeOf(19372LL * 86400 + 12 * 3600));
    const uint64_t kHour = 3600ULL * 10000000ULL;
    CPinnedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    FILETIME local, back;
    ASSERT_TRUE(FileTimeToLocalFileTime(&summer, &local));
    EXPECT_EQ(Get(local), Get(summer) + 2 * kHour);
    EXPECT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(Get(back), Get(summer));
    ASSERT_TRUE(FileTimeToLocalFileTime(&winter, &local));
    EXPECT_EQ(Get(local), Get(winter) + kHour);
}

std::vector<struct timeval> s_clockSets;
int s_nClockResult = 0;

int RecordClock(const struct timeval* tv)
{
    s_clockSets.push_back(*tv);
    return s_nClockResult;
}

TEST(WinApiTime, ClockReadingAndSetting)
{
    CPinnedTimeZone tz("XYZ-3");  // three hours east, no daylight saving
    // Readings that straddle a second boundary are taken again; one set
    // within one second must be checked. The seconds come from the clock
    // the module reads: time() is a coarser clock that can lag behind it.
    const auto fnSeconds = [] {
        struct timeval now;
        gettimeofday(&now, nullptr);
        return static_cast<time_t>(now.tv_sec);
    };
    int nChecked = 0;
    for (int attempt = 0; attempt < 5 && nChecked == 0; ++attempt) {
        const time_t before = fnSeconds();
        SYSTEMTIME utc, local;
        GetSystemTime(&utc);
        GetLocalTime(&local);
        if (fnSeconds() != before)
            continue;
        FILETIME fu, fl;
        ASSERT_TRUE(SystemTimeToFileTime(&utc, &fu));
        ASSERT_TRUE(SystemTimeToFileTime(&local, &fl));
        EXPECT_EQ(Get(fu), FileTimeOf(before));
        EXPECT_EQ(Get(fl), FileTimeOf(before) + 3ULL * 3600 * 10000000);
        EXPECT_EQ(utc.wDayOfWeek, static_cast<WORD>((before / 86400 + 4) % 7));
        ++nChecked;
    }
    EXPECT_EQ(nChecked, 1) << "every reading straddled a second boundary";
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    const uint64_t ms = static_cast<uint64_t>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
    EXPECT_LT(static_cast<DWORD>(GetTickCount() - static_cast<DWORD>(ms)), 1000u);
    // The clock is set through the seam, never for real: 15:34:56.789 local
    // is 12:34:56 UTC on 2040-02-29.
    const PFN_SETCLOCK pfnOld = SetLocalTimeClock(RecordClock);
    s_clockSets.clear();
    s_nClockResult = 0;
    const SYSTEMTIME st = {2040, 2, 0, 29, 15, 34, 56, 789};
    EXPECT_TRUE(SetLocalTime(&st));
    s_nClockResult = -1;
    EXPECT_FALSE(SetLocalTime(&st));
    EXPECT_EQ(SetLocalTimeClock(pfnOld), RecordClock);
    ASSERT_EQ(s_clockSets.size(), 2u);
    EXPECT_EQ(s_clockSets[0].tv_sec, 2214131696LL);
    EXPECT_EQ(s_clockSets[0].tv_usec, 0);
}

TEST(WinApiTime, FileTimesOfAFile)
{
    CTempDir dir("zt_winapi");
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
    EXPECT_FALSE(GetFileTime(-1, &c, &a, &w));
    close(fd);
    // Only the write time (after 2038): the access time stays.
    const FILETIME w2 = Make(FileTimeOf(2214131696LL) + 1234567);
    EXPECT_TRUE(SetFileTime(wpath.c_str(), nullptr, nullptr, &w2));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_atime, 1000000000);
    EXPECT_TRUE(static_cast<int64_t>(st.st_mtime) == 2214131696LL);
    const std::wstring missing = dir.WPath() + L"/missing";
    EXPECT_TRUE(SetFileTime(missing.c_str(), nullptr, nullptr, nullptr)) << "nothing to set";
    EXPECT_FALSE(SetFileTime(missing.c_str(), nullptr, nullptr, &w2));
}

TEST(WinApiModule, PathOfTheRunningProgram)
{
    wchar_t buffer[1044];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, 1044);
    ASSERT_TRUE(n > 0);
    ASSERT_EQ(n, std::wcslen(buffer));
    const std::wstring path(buffer), tail = L"/test_WinApiTest";
    EXPECT_TRUE(path.size() > tail.size());
    EXPECT_EQ(path.compare(path.size() - tail.size(), tail.size(), tail), 0);

    char narrow[1044];
    const DWORD nA = GetModuleFileNameA(nullptr, narrow, sizeof(narrow));
    // Exactly room for the terminator, then one character short.
    std::vector<wchar_t> exact(n + 1);
    EXPECT_EQ(GetModuleFileNameW(nullptr, exact.data(), n + 1), n);
    exact.resize(n);
    exact[0] = L'x';
    EXPECT_EQ(GetModuleFileNameW(nullptr, exact.data(), n), 0u);
    EXPECT_EQ(exact[0], 0) << "an empty text in a short buffer";
    EXPECT_TRUE(nA > 0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, narrow, nA), 0);

    const struct {
        const wchar_t *dir, *name, *ext, *expected;
    } cases[] = {
        {L"/usr/lib", L"libx", L"so", L"/usr/lib/libx.so"},
        {L"/usr/lib/", L"libx", L".so", L"/usr/lib/libx.so"},
        {nullptr, L"name", nullptr, L"name"},
        {L"dir", nullptr, L"txt", L"dir/"},  // no name: no extension either
    };
    for (const auto& c : cases) {
        wchar_t dst[64];
        makepath(dst, L"C:", c.dir, c.name, c.ext);
        EXPECT_STREQ(dst, c.expected);
    }
}

TEST(WinApiEnvironment, Variables)
{
    const wchar_t* kName = L"ZT_WINAPI_TEST_W";
    ASSERT_TRUE(SetEnvironmentVariable(kName, L"caf\u00e9 \u65e5"));
    EXPECT_STREQ(std::getenv("ZT_WINAPI_TEST_W"), "caf\xC3\xA9 \xE6\x97\xA5");
    wchar_t buffer[16];
    std::wmemset(buffer, L'#', 16);
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 0), 7u);
    EXPECT_EQ(buffer[0], L'#') << "size 0 writes nothing";
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 7), 6u);
    EXPECT_STREQ(buffer, L"caf\u00e9 \u65e5") << "exactly room for the terminator";
    EXPECT_EQ(GetEnvironmentVariableW(kName, buffer, 6), 7u);
    EXPECT_EQ(buffer[5], 0) << "the copy stays within the buffer";
    // A long value goes through the heap.
    const std::wstring longValue(3000, L'\u00e9');
    ASSERT_TRUE(SetEnvironmentVariable(kName, longValue.c_str()));
    std::vector<wchar_t> big(3001);
    EXPECT_EQ(GetEnvironmentVariableW(kName, big.data(), 3001), 3000);
    EXPECT_EQ(std::wstring(big.data()), longValue);
    EXPECT_TRUE(SetEnvironmentVariable(kName, nullptr));
    EXPECT_EQ(std::getenv("ZT_WINAPI_TEST_W"), nullptr);
    // 8-bit names and values in the host's current charset, code page 1252.
    ASSERT_TRUE(SetEnvironmentVariable(L"ZT_WINAPI_\u00c9", L"caf\u00e9"));
    char narrow[16];
    EXPECT_EQ(GetEnvironmentVariableA("ZT_WINAPI_\xC9", narrow, sizeof(narrow)), 4u);
    EXPECT_STREQ(narrow, "caf\xE9");
    EXPECT_EQ(GetEnvironmentVariableA("ZT_WINAPI_\xC9", narrow, 4), 5u);
    SetEnvironmentVariable(L"ZT_WINAPI_\u00c9", nullptr);
}

TEST(WinApiEnvironment, CurrentDirectory)
{
    CTempDir dir("zt_winapi");
    char saved[PATH_MAX], now[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);
    const std::string sub = dir.Path() + "/r\xC3\xA9p";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    EXPECT_TRUE(SetCurrentDirectoryW((dir.WPath() + L"/r\u00e9p").c_str()));
    EXPECT_NE(getcwd(now, sizeof(now)), nullptr);
    EXPECT_EQ(std::string(now), sub);
    // 8-bit path in code page 1252.
    EXPECT_TRUE(SetCurrentDirectoryA("/"));
    EXPECT_TRUE(SetCurrentDirectoryA((dir.Path() + "/r\xE9p").c_str()));
    EXPECT_NE(getcwd(now, sizeof(now)), nullptr);
    EXPECT_EQ(std::string(now), sub);
    EXPECT_FALSE(SetCurrentDirectoryW((dir.WPath() + L"/none").c_str()));
    EXPECT_FALSE(SetCurrentDirectoryA(nullptr));
    ASSERT_EQ(chdir(saved), 0);
}

TEST(WinApiProcess, CommandLineSplitting)
{
    const struct {
        const wchar_t *app, *line;
        int code;
    } cases[] = {
        // "a b" is one argument of three characters ($0 is zero, two follow).
        {L"/bin/sh", L"-c \"[ ${#1} -eq 3 ] && exit $#; exit 99\" zero \"a b\" c", 2},
        // Quotes inside an argument join its parts and are dropped.
        {L"/bin/sh", L"-c \"[ \"$1\" = 'ab cd' ] && exit 5; exit 9\" zero a\"b c\"d", 5},
        // Leading and trailing blanks and empty arguments are dropped.
        {L"/bin/sh", L"  \t-c   \"exit $#\"   x   \"\"    ", 0},
        // Without an application the first argument is the program.
        {nullptr, L"/bin/sh -c \"exit 4\"", 4},
        // Non-ASCII arguments reach the child as UTF-8: 2 bytes for one character.
        {L"/bin/sh", L"-c \"exit $(printf %s \"$1\" | wc -c)\" zero \u00e9", 2},
        // A program that cannot be run: the child ends with 255.
        {nullptr, L"/nonexistent/zt_program", 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code);
        EXPECT_EQ(ExitCodeOf(c.app, c.line), c.code);
    }
    // An application that is not executable, or no program: no child at all.
    CTempDir dir("zt_winapi");
    const int fd = open((dir.Path() + "/plain").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    pid_t pid = 12345;
    EXPECT_FALSE(CreateProcess((dir.WPath() + L"/plain").c_str(), L"", &pid, TRUE, nullptr, nullptr));
    EXPECT_EQ(pid, 12345);
    EXPECT_FALSE(CreateProcess(nullptr, L"   ", &pid, TRUE, nullptr, nullptr));
}

// The one test that waits: both waits run side by side, one second in all.
TEST(WinApiProcess, WaitTimeoutAndTermination)
{
    // A child with SIGALRM at its default (the wait must not end it) waits
    // for a program ending with 255: a failure.
    std::fflush(stdout);
    const pid_t waiter = fork();
    if (waiter == 0) {
        signal(SIGALRM, SIG_DFL);
        BOOL bTimedOut = TRUE;
        int code = -1;
        const BOOL b = CreateProcess(L"/bin/sh", L"-c \"exit 255\"", nullptr, TRUE, &bTimedOut, &code);
        _exit(!b && !bTimedOut && code == 255 ? 42 : 1);
    }
    ASSERT_GT(waiter, 0);
    // Here, a child still running after its second: true and timed out.
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    BOOL bTimedOut = FALSE;
    int code = -1;
    EXPECT_TRUE(CreateProcess(L"/bin/sleep", L"30", &pid, TRUE, &bTimedOut, &code));
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(bTimedOut);
    EXPECT_TRUE(waited >= std::chrono::milliseconds(900));
    EXPECT_TRUE(waited < std::chrono::seconds(10));
    int status = -1;
    EXPECT_EQ(WaitPid(pid, 0, &status), 0) << "no status while it runs";
    EXPECT_EQ(status, -1) << "no status while it runs";

    EXPECT_FALSE(TerminateProcess(0, 1));
    EXPECT_TRUE(TerminateProcess(pid, 1));
    siginfo_t info;
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);  // ended, not reaped
    EXPECT_EQ(info.si_status, SIGTERM);
    EXPECT_EQ(WaitPid(pid, 0, &code), pid);
    EXPECT_EQ(code, 0) << "a signal leaves the exit code byte 0";
    EXPECT_FALSE(TerminateProcess(pid, 1)) << "already gone";
    EXPECT_EQ(ExitOf(waiter), 42);
}

TEST(WinApiAtom, ReferenceCountsAndNames)
{
    EXPECT_EQ(AddAtom(nullptr), 0);
    const ATOM a = AddAtom(L"ZtAtomTest");
    ASSERT_NE(a, 0);
    EXPECT_EQ(AddAtom(L"ZTATOMTEST"), a);
    EXPECT_EQ(FindAtom(L"ztatomtest"), a);
    wchar_t name[32];
    EXPECT_EQ(GetAtomName(a, name, 32), 10u);
    EXPECT_STREQ(name, L"ZtAtomTest") << "the first spelling is kept";
    // A short buffer holds a cut, terminated name.
    std::wmemset(name, L'#', 32);
    EXPECT_EQ(GetAtomName(a, name, 5), 4u);
    EXPECT_EQ(std::wcscmp(name, L"ZtAt"), 0);
    EXPECT_EQ(name[5], L'#');
    EXPECT_EQ(GetAtomName(0xFFFF, name, 32), 0u);
    // Two references: two deletions; the third answers the atom itself.
    EXPECT_EQ(DeleteAtom(a), 0);
    EXPECT_EQ(FindAtom(L"ZtAtomTest"), a);
    EXPECT_EQ(DeleteAtom(a), 0);
    EXPECT_EQ(FindAtom(L"ZtAtomTest"), 0);
    EXPECT_EQ(DeleteAtom(a), a);
    const ATOM c = AddAtom(L"ZtAtomTest");
    EXPECT_GT(c, a) << "numbers are not reused";
    EXPECT_EQ(DeleteAtom(c), 0);
    // Past the last 16-bit number there is none left, rather than a wrap.
    const unsigned nSaved = CAtom::gnId;
    CAtom::gnId = 0x10000;
    EXPECT_EQ(AddAtom(L"ZtAtomLast"), 0);
    CAtom::gnId = nSaved;
}

TEST(WinApiSystem, UuidVersion1)
{
    const auto time60 = [](const unsigned char* b) {
        return (uint64_t(b[6] & 0x0F) << 56) | (uint64_t(b[7]) << 48) | (uint64_t(b[4]) << 40) |
               (uint64_t(b[5]) << 32) | (uint64_t(b[0]) << 24) | (uint64_t(b[1]) << 16) | (uint64_t(b[2]) << 8) | b[3];
    };
    UUID first;
    EXPECT_EQ(UuidCreate(&first), 1824);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&first);
    // Version 1, variant bits 10 and a 13-bit clock sequence, a node with its
    // top bit set.
    EXPECT_TRUE(b[6] >> 4 == 1);
    EXPECT_EQ((b[8] & 0xE0), 0x80);
    EXPECT_EQ((b[10] & 0x80), 0x80);
    // 100 ns units since 1582-10-15, 12,219,292,800 s before 1970.
    const int64_t seconds = static_cast<int64_t>((time60(b) - 12219292800ULL * 10000000ULL) / 10000000ULL);
    EXPECT_LE(std::llabs(seconds - static_cast<int64_t>(time(nullptr))), 2);
    // Many more: all different, same node, times growing while the clock
    // sequence stays.
    std::set<std::string> seen{std::string(reinterpret_cast<const char*>(&first), 16)};
    uint64_t last = time60(b);
    for (int i = 0; i < 2000; ++i) {
        UUID u;
        ASSERT_EQ(UuidCreate(&u), 0);
        const unsigned char* ub = reinterpret_cast<const unsigned char*>(&u);
        ASSERT_EQ(std::memcmp(ub + 10, b + 10, 6), 0);
        ASSERT_TRUE(seen.insert(std::string(ub, ub + 16)).second);
        if (ub[8] == b[8] && ub[9] == b[9]) {
            EXPECT_GT(time60(ub), last);
        }
        last = time60(ub);
    }
}

TEST(WinApiSystem, ConstantsMulDivAndMemoryStatus)
{
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-12)), reinterpret_cast<HANDLE>(2));
    EXPECT_EQ(GetStdHandle(5), INVALID_HANDLE_VALUE);
    OSVERSIONINFO info;
    std::memset(&info, 0x77, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    EXPECT_TRUE(GetVersionEx(&info));
    EXPECT_EQ(info.dwPlatformId, 1000);
    EXPECT_EQ(info.dwMajorVersion, 0);
    // Rounded half away from zero; the product needs 64 bits; a quotient
    // that does not fit answers -1.
    const struct {
        int a, b, c, expected;
    } cases[] = {
        {7, 3, 2, 11},  {-7, 3, 2, -11},  {-7, -3, -2, -11},     {5, 5, 0, -1},         {9, 1, 4, 2},
        {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},  {INT32_MIN, 1, -1, -1}, {INT32_MIN, 1, 1, INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " " << c.b << " " << c.c;
    // Memory status: the kernel's total, no virtual sizes.
    MEMORYSTATUSEX ms;
    std::memset(&ms, 0xCC, sizeof(ms));
    ASSERT_TRUE(GlobalMemoryStatusEx(&ms));
    EXPECT_EQ(ms.dwLength, 40);
    EXPECT_EQ(ms.ullTotalVirtual, 0);
    struct sysinfo si;
    ASSERT_EQ(sysinfo(&si), 0);
    const uint64_t total = static_cast<uint64_t>(si.totalram) * si.mem_unit;
    EXPECT_LE(ms.ullTotalPhys > total ? ms.ullTotalPhys - total : total - ms.ullTotalPhys, si.mem_unit);
}

TEST(WinApiSystem, AlphaNumericTableOfCodePage1252)
{
    int nSet = 0;
    for (int c = 0; c < 256; ++c) {
        nSet += bIsAlphaNumeric1252(c);
        EXPECT_EQ(LinuxIsCharAlphaNumericA(static_cast<char>(c)), bIsAlphaNumeric1252(c) ? TRUE : FALSE) << c;
    }
    EXPECT_EQ(nSet, 135);
}

TEST(WinApiMessageBox, TerminalForm)
{
    const char* kRetryAbort =
        "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour continuer (exemple : r + ENTREE) : \n";
    const char* kRetryCancel =
        "Entrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) : \n";
    // Answers by their first letter after blanks; an unknown type asks like
    // type 2 and an unknown answer is OK.
    const struct {
        unsigned type;
        const char* answer;
        int result;
        const char* prompt;
    } cases[] = {
        {0, "\n", IDOK, "Appuyez sur ENTREE pour continuer : \n"},
        {2, "ignore\n", IDIGNORE, kRetryAbort},
        {9, "x\n", IDOK, kRetryAbort},
        {3, "  yes\n", IDYES,
         "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour continuer (exemple : y + ENTREE) : \n"},
    };
    std::string err;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.answer);
        EXPECT_EQ(RunChild([&] { return MessageBoxW(nullptr, L"Le texte", L"Caf\u00e9", c.type); }, c.answer, &err),
                  c.result);
        EXPECT_EQ(err, std::string("Caf\xC3\xA9\nLe texte\n") + c.prompt);
    }
    // Retry prints the debugger hint; no answer at all (end of input) is OK.
    EXPECT_EQ(RunChild([] { return _MessageBox_NO_GUI(L"t", L"c", 5, 1); }, "r\n", &err), IDRETRY);
    EXPECT_EQ(err, std::string("c\nt\n") + kRetryCancel +
                       "Dans Anjuta, utiliser la Stack Trace pour voir la fonction en cours et F7 pour "
                       "reprendre l'execution\n");
    EXPECT_EQ(RunChild([] { return _MessageBox_NO_GUI(nullptr, nullptr, 5, 1); }, "", &err), IDOK);
    EXPECT_EQ(err, std::string("\n\n") + kRetryCancel);

    const auto debugOutput = [] {
        OutputDebugString(L"line one");
        OutputDebugString(nullptr);
        OutputDebugString(L" and two");
        return 0;
    };
    EXPECT_EQ(RunChild(debugOutput, "", &err), 0);
    EXPECT_EQ(err, "line one and two");
}

typedef void (*PFN_SETANSWER)(int);
typedef int (*PFN_GETLAST)(void**, const wchar_t**, const wchar_t**, unsigned*);

TEST(WinApiMessageBox, GraphicsModuleFromTheCurrentDirectory)
{
    // Held here so that its record outlives the loader's own dlclose.
    void* hGraphics = dlopen(BuildPath("zt190obj.so").c_str(), RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(hGraphics, nullptr) << dlerror();
    auto pfnSetAnswer = reinterpret_cast<PFN_SETANSWER>(dlsym(hGraphics, "ZTGraphics_SetAnswer"));
    auto pfnGetLast = reinterpret_cast<PFN_GETLAST>(dlsym(hGraphics, "ZTGraphics_nGetLastMessageBox"));
    ASSERT_NE(pfnSetAnswer, nullptr);
    ASSERT_NE(pfnGetLast, nullptr);
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);
    ASSERT_EQ(chdir(BuildPath(".").c_str()), 0);
    pfnSetAnswer(IDNO);
    HWND window = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(MessageBox(window, L"Continuer ? \u00e9\u65e5", L"Question", MB_YESNO), IDNO);
    void* pWindow = nullptr;
    const wchar_t *text = nullptr, *caption = nullptr;
    unsigned type = 99;
    EXPECT_GT(pfnGetLast(&pWindow, &text, &caption, &type), 0);
    EXPECT_EQ(pWindow, window);
    EXPECT_TRUE(type == static_cast<unsigned>(MB_YESNO));
    ASSERT_NE(text, nullptr);
    ASSERT_NE(caption, nullptr);
    EXPECT_STREQ(text, L"Continuer ? \u00e9\u65e5");
    EXPECT_STREQ(caption, L"Question");
    pfnSetAnswer(IDOK);
    ASSERT_EQ(chdir(saved), 0);
    dlclose(hGraphics);
}

}  // namespace
