// Windows-named functions and records of the common library, mapped onto
// POSIX. Results follow the Windows contracts (BOOL 1/0, handles, lengths);
// text crossing to the system is UTF-8. The formatting functions of this
// layer are in FormatWin.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <sys/time.h>
#include <sys/types.h>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint16_t ATOM;
typedef uint16_t LANGID;
typedef void* HANDLE;
typedef void* HMODULE;
typedef void* HINSTANCE;
typedef void* HWND;
typedef void* HGLOBAL;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define MAX_PATH 260

// ---------------------------------------------------------------------------
// Records

struct tagRECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
typedef tagRECT RECT;

struct tagPOINT {
    int32_t x;
    int32_t y;
};
typedef tagPOINT POINT;

// 100 ns units since 1601-01-01, low half first.
struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
typedef _FILETIME FILETIME;

struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // 1-12
    WORD wDayOfWeek;  // 0 Sunday - 6
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
typedef _SYSTEMTIME SYSTEMTIME;

struct _OSVERSIONINFO {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    wchar_t szCSDVersion[128];
};
typedef _OSVERSIONINFO OSVERSIONINFO;

// Only the length, the load and the four physical and page-file sizes are
// filled (the length is 40: those fields).
struct tagMEMORYSTATUSEX {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    uint64_t ullTotalPhys;
    uint64_t ullAvailPhys;
    uint64_t ullTotalPageFile;
    uint64_t ullAvailPageFile;
    uint64_t ullTotalVirtual;
    uint64_t ullAvailVirtual;
    uint64_t ullAvailExtendedVirtual;
};
typedef tagMEMORYSTATUSEX MEMORYSTATUSEX;

struct tagMEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
};
typedef tagMEMORYSTATUS MEMORYSTATUS;

struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef _GUID GUID;
typedef _GUID UUID;

// ---------------------------------------------------------------------------
// Memory. Global blocks are plain C heap blocks; heap blocks carry their
// 32-bit size in front. The heap handle is not used.

#define GMEM_ZEROINIT 0x40
#define GMEM_MODIFY 0x80
#define HEAP_GENERATE_EXCEPTIONS 0x4
#define HEAP_ZERO_MEMORY 0x8

HGLOBAL GlobalAlloc(unsigned flags, size_t size);
// With GMEM_ZEROINIT, growth zero-fills from the old block's usable size.
HGLOBAL GlobalReAlloc(HGLOBAL block, size_t size, unsigned flags);
HGLOBAL GlobalFree(HGLOBAL block);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
// HEAP_GENERATE_EXCEPTIONS makes exhaustion throw std::bad_alloc instead of
// answering null.
void* HeapAlloc(HANDLE heap, DWORD flags, size_t size);
// A null block fails (null).
void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, size_t size);
BOOL HeapFree(HANDLE heap, DWORD flags, void* block);
void ZeroMemory(void* p, size_t n);
char* _strset(char* s, int c);
char* _strnset(char* s, int c, size_t n);

// ---------------------------------------------------------------------------
// Rectangles. Only SetRect accepts a null rectangle.

BOOL CopyRect(RECT* dst, const RECT* src);
BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
BOOL IsRectEmpty(const RECT* r);
BOOL PtInRect(const RECT* r, POINT pt);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL InflateRect(RECT* r, int dx, int dy);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b);
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b);
BOOL SubtractRect(RECT* dst, const RECT* a, const RECT* b);

// ---------------------------------------------------------------------------
// File and system times and the clock

// filetime = seconds * 10,000,000 + this.
const uint64_t FILETIME_UNIX_EPOCH = 116444736000000000ULL;

void TimeToFileTime(time_t t, FILETIME* ft);
// Creation = status-change time, access and write times; null outputs skipped.
BOOL GetFileTime(int fd, FILETIME* creation, FILETIME* access, FILETIME* write);
// The creation time is not used; a missing access or write time keeps the
// file's own.
BOOL SetFileTime(const wchar_t* path, const FILETIME* creation, const FILETIME* access,
                 const FILETIME* write);
BOOL FileTimeToLocalFileTime(const FILETIME* ft, FILETIME* local);
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* ft);
// Milliseconds and day of the week are not read.
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);
// Milliseconds come out 0.
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);
void GetLocalTime(SYSTEMTIME* st);
void GetSystemTime(SYSTEMTIME* st);
BOOL SetLocalTime(const SYSTEMTIME* st);
// Milliseconds since 1970, cut to 32 bits.
DWORD GetTickCount();

// The function SetLocalTime sets the clock with (settimeofday by default);
// answers the previous one. A null function restores the default.
typedef int (*PFN_SETCLOCK)(const struct timeval* tv);
PFN_SETCLOCK SetLocalTimeClock(PFN_SETCLOCK pfn);

// ---------------------------------------------------------------------------
// Module path, environment, working directory

// The path of the running program whatever the module: the characters
// written, 0 when there is none or it does not fit size - 1 characters
// (buffer then empty).
DWORD GetModuleFileNameW(HMODULE module, wchar_t* buffer, DWORD size);
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);
// dir, a slash when needed, name, then "." and ext when both are given.
void makepath(wchar_t* dst, const wchar_t* drive, const wchar_t* dir, const wchar_t* name,
              const wchar_t* ext);

// 0 when missing; the length when it fits size, else the size needed.
DWORD GetEnvironmentVariableW(const wchar_t* name, wchar_t* buffer, DWORD size);
DWORD GetEnvironmentVariableA(const char* name, char* buffer, DWORD size);
// A null value removes the variable.
BOOL SetEnvironmentVariable(const wchar_t* name, const wchar_t* value);
BOOL SetCurrentDirectoryW(const wchar_t* path);
BOOL SetCurrentDirectoryA(const char* path);
void UnsetLocale(int category);

// ---------------------------------------------------------------------------
// Processes and threads

// Runs application (or the first argument of commandLine) with the split
// command line. With wait, gives the child one second: *timedOut tells
// whether it still runs, *exitCode its code; exit code 255 is a failure.
BOOL CreateProcess(const wchar_t* application, const wchar_t* commandLine, pid_t* pid, BOOL wait,
                   BOOL* timedOut, int* exitCode);
// Polls the child, sleeping one second at a time up to timeoutMs; answers
// the waitpid result (0 while it runs) and, once it ended, its exit code.
pid_t WaitPid(pid_t pid, int timeoutMs, int* status);
typedef void (*PFN_ALARMHANDLER)(int);
void DefaultAlarmHandler(int signal);
// SIGALRM handler (null: DefaultAlarmHandler), interrupting system calls.
void InitAlarmHandler(PFN_ALARMHANDLER handler);
BOOL TerminateProcess(pid_t pid, unsigned code);

typedef void (*PFN_BEGINTHREAD)(void*);
typedef unsigned (*PFN_BEGINTHREADEX)(void*);
// A detached thread: its id, or -1 with errno set. Stack size 0: default.
uintptr_t _beginthread(PFN_BEGINTHREAD start, unsigned stackSize, void* arg);
// Joinable threads: the id (also through *id), or 0.
uintptr_t _beginthreadex(void* security, unsigned stackSize, PFN_BEGINTHREADEX start, void* arg,
                         unsigned flags, unsigned* id);
uintptr_t CreateThread(void* security, unsigned stackSize, PFN_BEGINTHREADEX start, void* arg,
                       unsigned flags, unsigned* id);
BOOL SetThreadPriority(uintptr_t thread, int priority);

// ---------------------------------------------------------------------------
// Atoms: case-insensitive wide names with reference counts (Atom.h).

ATOM AddAtom(const wchar_t* name);
ATOM FindAtom(const wchar_t* name);
// At most size - 1 characters and a terminator; the characters copied.
unsigned GetAtomName(ATOM atom, wchar_t* buffer, int size);
// 0 when the atom existed, else the atom itself.
ATOM DeleteAtom(ATOM atom);

// ---------------------------------------------------------------------------
// Other constants and services

#define STD_INPUT_HANDLE (static_cast<DWORD>(-10))
#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))
// The standard descriptor as a handle; INVALID_HANDLE_VALUE otherwise.
HANDLE GetStdHandle(DWORD n);
LANGID GetSystemDefaultLangID();
LANGID GetUserDefaultLangID();
BOOL GetVersionEx(OSVERSIONINFO* info);
// a * b / c rounded half away from zero; -1 for c = 0 or a result beyond
// 32 bits.
int MulDiv(int a, int b, int c);
BOOL IsEqualGUID(const GUID& a, const GUID& b);
// Version 1 UUID; 1824 on the first call of the process, then 0.
int UuidCreate(UUID* uuid);
// Letters and digits of code page 1252, one bit per character.
extern const unsigned char pbyIsCharAlphaNumeric[32];
BOOL LinuxIsCharAlphaNumericA(char c);
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status);
// Sizes beyond 32 bits are given as 0xFFFFFFFF.
void GlobalMemoryStatus(MEMORYSTATUS* status);
void OutputDebugString(const wchar_t* text);

#define MB_OK 0
#define MB_OKCANCEL 1
#define MB_ABORTRETRYIGNORE 2
#define MB_YESNOCANCEL 3
#define MB_YESNO 4
#define MB_RETRYCANCEL 5
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Graphical box of the host's graphics module when it can be loaded, else
// the terminal form.
int MessageBox(HWND window, const wchar_t* text, const wchar_t* caption, unsigned type);
int MessageBoxW(HWND window, const wchar_t* text, const wchar_t* caption, unsigned type);
// Caption, text and a prompt on standard error; the answer is read from
// standard input.
int _MessageBox_NO_GUI(const wchar_t* text, const wchar_t* caption, unsigned type, int printText);

// The graphics module and its entry, same arguments as MessageBox.
#define GRAPHICS_MODULE_NAME "zt190obj.so"
#define GRAPHICS_MESSAGEBOX_ENTRY "MessageBox_QT_W"
typedef int (*PFN_MESSAGEBOX_QT_W)(HWND window, const wchar_t* text, const wchar_t* caption,
                                   unsigned type);
