// Module path, environment, working directory, child processes and threads.
#include "common/platform/WinApi.h"

#include "common/platform/DiskFile.h"
#include "common/platform/UTF8Buffer.h"
#include "common/text/CodePage.h"
#include "common/text/STR.h"
#include "common/text/TextBasics.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/SysUtils.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// The running program's path as UTF-8: the /proc/self/exe link, else the
// first path of /proc/self/maps. False when neither gives one.
bool bGetProgramPath(std::string* path)
{
    char szLink[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", szLink, sizeof(szLink));
    if (n > 0 && static_cast<size_t>(n) < sizeof(szLink)) {
        path->assign(szLink, static_cast<size_t>(n));
        return true;
    }
    FILE* f = std::fopen("/proc/self/maps", "r");
    if (f == nullptr)
        return false;
    char szLine[360];
    const bool bRead = std::fgets(szLine, sizeof(szLine), f) != nullptr;
    std::fclose(f);
    if (!bRead)
        return false;
    const char* pStart = std::strchr(szLine, '/');
    if (pStart == nullptr)
        return false;
    path->assign(pStart, std::strcspn(pStart, "\r\n"));
    return true;
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE, wchar_t* buffer, DWORD size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    buffer[0] = 0;
    std::string path;
    if (!bGetProgramPath(&path) || path.size() > INT_MAX)
        return 0;
    const int n = nUTF8ToWideBounded(path.data(), static_cast<int>(path.size()), buffer,
                                     size > INT_MAX ? INT_MAX : size);
    return n > 0 ? static_cast<DWORD>(n) : 0;
}

DWORD GetModuleFileNameA(HMODULE, char* buffer, DWORD size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    buffer[0] = 0;
    std::string path;
    if (!bGetProgramPath(&path) || path.empty() || path.size() >= size)
        return 0;
    std::memcpy(buffer, path.data(), path.size());
    buffer[path.size()] = 0;
    return static_cast<DWORD>(path.size());
}

void makepath(wchar_t* dst, const wchar_t*, const wchar_t* dir, const wchar_t* name, const wchar_t* ext)
{
    wchar_t* p = dst;
    if (dir != nullptr && dir[0] != 0) {
        const size_t n = std::wcslen(dir);
        std::wmemcpy(p, dir, n);
        p += n;
        if (dir[n - 1] != L'/')
            *p++ = L'/';
    }
    if (name != nullptr && name[0] != 0) {
        const size_t n = std::wcslen(name);
        std::wmemcpy(p, name, n);
        p += n;
        if (ext != nullptr && ext[0] != 0) {
            if (ext[0] != L'.')
                *p++ = L'.';
            const size_t nExt = std::wcslen(ext);
            std::wmemcpy(p, ext, nExt);
            p += nExt;
        }
    }
    *p = 0;
}

// ---------------------------------------------------------------------------
// Environment and working directory

DWORD GetEnvironmentVariableW(const wchar_t* name, wchar_t* buffer, DWORD size)
{
    CUTF8Buffer utf8Name(name);
    if (utf8Name.pszGet() == nullptr)
        return 0;
    const char* value = std::getenv(utf8Name.pszGet());
    if (value == nullptr)
        return 0;
    wchar_t* wide = nullptr;
    int nLen = 0;
    if (value[0] != 0) {
        const int n = MultiByteToWideChar(CP_UTF8, 0, value, -1, nullptr, 0);
        if (n <= 0)
            return 0;
        wide = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<size_t>(n) * sizeof(wchar_t)));
        if (wide == nullptr)
            throw std::bad_alloc();
        if (MultiByteToWideChar(CP_UTF8, 0, value, -1, wide, n) != n) {
            XMALLOC_Del_(wide);
            return 0;
        }
        nLen = n - 1;
    }
    if (size > 0 && buffer != nullptr)
        STR_nCopyW(buffer, size, wide ? wide : L"", nLen);
    XMALLOC_Del_(wide);
    return size > static_cast<DWORD>(nLen) ? static_cast<DWORD>(nLen) : static_cast<DWORD>(nLen) + 1;
}

DWORD GetEnvironmentVariableA(const char* name, char* buffer, DWORD size)
{
    if (name == nullptr)
        return 0;
    const unsigned codePage = dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset());
    // Four UTF-8 bytes per 8-bit byte cover every code page.
    const size_t nName = std::strlen(name);
    std::vector<char> utf8Name(nName * 4 + 1);
    if (nName > 0 &&
        MultiByteToUTF8(codePage, name, static_cast<int>(nName), utf8Name.data(),
                        static_cast<int>(utf8Name.size()), 0) <= 0)
        return 0;
    const char* value = std::getenv(utf8Name.data());
    if (value == nullptr)
        return 0;
    const size_t nValue = std::strlen(value);
    std::vector<char> local(nValue * 4 + 1);
    int nLen = 0;
    if (nValue > 0) {
        nLen = UTF8ToMultiByte(codePage, value, static_cast<int>(nValue), local.data(),
                               static_cast<int>(local.size()), 0, nullptr, nullptr);
        if (nLen <= 0)
            return 0;
    }
    if (size > 0 && buffer != nullptr)
        STR_nCopyA(buffer, size, local.data(), nLen);
    return size > static_cast<DWORD>(nLen) ? static_cast<DWORD>(nLen) : static_cast<DWORD>(nLen) + 1;
}

BOOL SetEnvironmentVariable(const wchar_t* name, const wchar_t* value)
{
    CUTF8Buffer utf8Name(name);
    if (utf8Name.pszGet() == nullptr)
        return FALSE;
    if (value == nullptr)
        return unsetenv(utf8Name.pszGet()) == 0;
    CUTF8Buffer utf8Value(value);
    if (utf8Value.pszGet() == nullptr)
        return FALSE;
    return setenv(utf8Name.pszGet(), utf8Value.pszGet(), 1) == 0;
}

BOOL SetCurrentDirectoryW(const wchar_t* path)
{
    return CDiskFile::Unix_chdir(path) == 0;
}

BOOL SetCurrentDirectoryA(const char* path)
{
    if (path == nullptr)
        return FALSE;
    const unsigned codePage = dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset());
    const size_t n = std::strlen(path);
    std::vector<char> utf8(n * 4 + 1);
    if (n > 0 &&
        MultiByteToUTF8(codePage, path, static_cast<int>(n), utf8.data(), static_cast<int>(utf8.size()), 0) <=
            0)
        return FALSE;
    return chdir(utf8.data()) == 0;
}

void UnsetLocale(int category)
{
    setlocale(category, "C");
}

// ---------------------------------------------------------------------------
// Processes

namespace {

bool bIsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

// Splits a command line: blanks separate arguments outside double quotes; a
// quote at an argument's start or not after a backslash opens or closes a
// quoted part, and the first and last of those are dropped.
void SplitCommandLine(const wchar_t* line, std::vector<std::wstring>* args)
{
    const wchar_t* p = line;
    for (;;) {
        while (*p && bIsBlank(*p))
            ++p;
        if (*p == 0)
            break;
        const wchar_t* start = p;
        bool bQuoted = false;
        const wchar_t* pFirstQuote = nullptr;
        const wchar_t* pLastQuote = nullptr;
        for (; *p; ++p) {
            if (*p == L'"' && (p == start || p[-1] != L'\\')) {
                bQuoted = !bQuoted;
                if (pFirstQuote == nullptr)
                    pFirstQuote = p;
                pLastQuote = p;
            } else if (!bQuoted && bIsBlank(*p)) {
                break;
            }
        }
        std::wstring arg;
        for (const wchar_t* q = start; q < p; ++q)
            if (q != pFirstQuote && q != pLastQuote)
                arg += *q;
        std::vector<wchar_t> trimmed(arg.begin(), arg.end());
        trimmed.push_back(0);
        STR_SuppressRightSpaces(trimmed.data());
        if (trimmed[0] != 0)
            args->push_back(trimmed.data());
    }
}

bool bToUTF8(const wchar_t* wide, std::string* out)
{
    CUTF8Buffer utf8(wide);
    if (utf8.pszGet() == nullptr)
        return false;
    out->assign(utf8.pszGet());
    return true;
}

}  // namespace

BOOL CreateProcess(const wchar_t* application, const wchar_t* commandLine, pid_t* pid, BOOL wait,
                   BOOL* timedOut, int* exitCode)
{
    if (application != nullptr && CDiskFile::Unix_access(application, X_OK) != 0)
        return FALSE;

    // The argument vector is ready before the fork, so that the child only
    // calls execve.
    std::vector<std::string> args;
    std::string arg;
    if (application != nullptr) {
        if (!bToUTF8(application, &arg))
            return FALSE;
        args.push_back(arg);
    }
    if (commandLine != nullptr) {
        std::vector<std::wstring> wideArgs;
        SplitCommandLine(commandLine, &wideArgs);
        for (const std::wstring& w : wideArgs) {
            if (!bToUTF8(w.c_str(), &arg))
                return FALSE;
            args.push_back(arg);
        }
    }
    if (args.empty())
        return FALSE;
    std::vector<char*> argv;
    for (std::string& s : args)
        argv.push_back(&s[0]);
    argv.push_back(nullptr);
    const char* program = argv[0];

    const pid_t child = fork();
    if (child == 0) {
        if (program != nullptr)
            execve(program, argv.data(), environ);
        _exit(-1);
    }
    if (pid != nullptr)
        *pid = child;
    if (child < 0)
        return FALSE;
    if (!wait)
        return TRUE;

    int nLocalCode = 0;
    int* pCode = exitCode != nullptr ? exitCode : &nLocalCode;
    *pCode = 0;
    const pid_t r = WaitPid(child, 1000, pCode);
    if (timedOut != nullptr)
        *timedOut = r == 0;
    if (r == 0)
        return TRUE;
    return *pCode != 255;
}

void DefaultAlarmHandler(int)
{
}

void InitAlarmHandler(PFN_ALARMHANDLER handler)
{
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = handler != nullptr ? handler : DefaultAlarmHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the alarm interrupts system calls
    sigaction(SIGALRM, &action, nullptr);
}

pid_t WaitPid(pid_t pid, int timeoutMs, int* status)
{
    int nWaitStatus = 0;
    pid_t r = waitpid(pid, &nWaitStatus, WNOHANG);
    if (r == 0 && timeoutMs > 0) {
        // Sleeping on SIGALRM without a handler would end the process (or,
        // ignored, never wake it).
        struct sigaction current;
        if (sigaction(SIGALRM, nullptr, &current) == 0 &&
            (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN))
            InitAlarmHandler(nullptr);
        int nWaited = 0;
        while (r == 0 && nWaited < timeoutMs) {
            alarm(1);
            pause();
            alarm(0);
            nWaited += 1000;
            r = waitpid(pid, &nWaitStatus, WNOHANG);
        }
    }
    if (r > 0 && status != nullptr)
        *status = (nWaitStatus >> 8) & 0xFF;
    return r;
}

BOOL TerminateProcess(pid_t pid, unsigned)
{
    if (pid == 0)
        return FALSE;
    return kill(pid, SIGTERM) == 0;
}

// ---------------------------------------------------------------------------
// Threads

namespace {

struct STThreadStart {
    PFN_BEGINTHREAD pfnStart;
    PFN_BEGINTHREADEX pfnStartEx;
    void* pArg;
};

void* ThreadEntry(void* p)
{
    const STThreadStart start = *static_cast<STThreadStart*>(p);
    delete static_cast<STThreadStart*>(p);
    if (start.pfnStartEx != nullptr)
        return reinterpret_cast<void*>(static_cast<uintptr_t>(start.pfnStartEx(start.pArg)));
    start.pfnStart(start.pArg);
    return nullptr;
}

// 0 or the creation error; the thread id in *thread.
int nStartThread(PFN_BEGINTHREAD pfnStart, PFN_BEGINTHREADEX pfnStartEx, void* arg, unsigned stackSize,
                 bool bDetached, pthread_t* thread)
{
    STThreadStart* start = new (std::nothrow) STThreadStart{pfnStart, pfnStartEx, arg};
    if (start == nullptr)
        return ENOMEM;
    pthread_attr_t attr;
    int nError = pthread_attr_init(&attr);
    if (nError == 0 && stackSize != 0)
        nError = pthread_attr_setstacksize(&attr, stackSize);
    if (nError == 0 && bDetached)
        nError = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (nError == 0)
        nError = pthread_create(thread, &attr, ThreadEntry, start);
    pthread_attr_destroy(&attr);
    if (nError != 0)
        delete start;
    return nError;
}

}  // namespace

uintptr_t _beginthread(PFN_BEGINTHREAD start, unsigned stackSize, void* arg)
{
    pthread_t thread;
    const int nError = start != nullptr ? nStartThread(start, nullptr, arg, stackSize, true, &thread) : EINVAL;
    if (nError != 0) {
        errno = nError;
        return static_cast<uintptr_t>(-1);
    }
    return static_cast<uintptr_t>(thread);
}

uintptr_t _beginthreadex(void*, unsigned stackSize, PFN_BEGINTHREADEX start, void* arg, unsigned,
                         unsigned* id)
{
    pthread_t thread;
    if (start == nullptr || nStartThread(nullptr, start, arg, stackSize, false, &thread) != 0)
        return 0;
    if (id != nullptr)
        *id = static_cast<unsigned>(thread);
    return static_cast<uintptr_t>(thread);
}

uintptr_t CreateThread(void* security, unsigned stackSize, PFN_BEGINTHREADEX start, void* arg,
                       unsigned flags, unsigned* id)
{
    return _beginthreadex(security, stackSize, start, arg, flags, id);
}

BOOL SetThreadPriority(uintptr_t thread, int priority)
{
    struct sched_param param;
    std::memset(&param, 0, sizeof(param));
    param.sched_priority = priority;
    const int nError = pthread_setschedparam(static_cast<pthread_t>(thread), SCHED_OTHER, &param);
    if (nError != 0) {
        errno = nError;
        return FALSE;
    }
    return TRUE;
}
