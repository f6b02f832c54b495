// Memory status, UUIDs and message boxes.
#include "common/platform/WinApi.h"

#include "common/platform/UTF8Buffer.h"
#include "common/text/CodePage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <string>
#include <sys/sysinfo.h>
#include <unistd.h>

// ---------------------------------------------------------------------------
// Memory status

namespace {

MEMORYSTATUSEX s_stMemoryCache;
time_t s_tMemoryCache = -1;

void CopyMemoryStatus(const MEMORYSTATUSEX& from, MEMORYSTATUSEX* to)
{
    to->dwLength = from.dwLength;
    to->dwMemoryLoad = from.dwMemoryLoad;
    to->ullTotalPhys = from.ullTotalPhys;
    to->ullAvailPhys = from.ullAvailPhys;
    to->ullTotalPageFile = from.ullTotalPageFile;
    to->ullAvailPageFile = from.ullAvailPageFile;
}

bool bReadMemInfo(MEMORYSTATUSEX* status)
{
    FILE* f = std::fopen("/proc/meminfo", "r");
    if (f == nullptr)
        return false;
    const unsigned long long kB = 1024;
    char szLine[256];
    unsigned long long a, b, c, d, e, g;
    while (std::fgets(szLine, sizeof(szLine), f) != nullptr) {
        if (std::sscanf(szLine, "Mem: %llu %llu %llu %llu %llu %llu", &a, &b, &c, &d, &e, &g) == 6) {
            status->ullTotalPhys += a;
            status->ullAvailPhys += c + e + g;
        } else if (std::sscanf(szLine, "Swap: %llu %llu %llu", &a, &b, &c) == 3) {
            status->ullTotalPageFile += a;
            status->ullAvailPageFile += c;
        } else if (std::sscanf(szLine, "MemTotal: %llu", &a) == 1) {
            status->ullTotalPhys = a * kB;
        } else if (std::sscanf(szLine, "MemFree: %llu", &a) == 1) {
            status->ullAvailPhys = a * kB;
        } else if (std::sscanf(szLine, "SwapTotal: %llu", &a) == 1) {
            status->ullTotalPageFile = a * kB;
        } else if (std::sscanf(szLine, "SwapFree: %llu", &a) == 1) {
            status->ullAvailPageFile = a * kB;
        } else if (std::sscanf(szLine, "Buffers: %llu", &a) == 1 || std::sscanf(szLine, "Cached: %llu", &a) == 1) {
            status->ullAvailPhys += a * kB;
        }
    }
    std::fclose(f);
    const uint64_t nTotal = status->ullTotalPhys + status->ullTotalPageFile;
    const uint64_t nAvail = status->ullAvailPageFile + status->ullAvailPhys;
    if (status->ullTotalPhys != 0 && nTotal / 100 != 0)
        status->dwMemoryLoad = static_cast<DWORD>((nTotal > nAvail ? nTotal - nAvail : 0) / (nTotal / 100));
    return true;
}

DWORD dwCut(uint64_t n)
{
    return n > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<DWORD>(n);
}

}  // namespace

BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status)
{
    const time_t tNow = time(nullptr);
    // The fields not filled come out 0.
    if (tNow == s_tMemoryCache) {
        std::memset(status, 0, sizeof(*status));
        CopyMemoryStatus(s_stMemoryCache, status);
        return TRUE;
    }
    MEMORYSTATUSEX st;
    std::memset(&st, 0, sizeof(st));
    st.dwLength = 40;
    if (!bReadMemInfo(&st)) {
        struct sysinfo info;
        if (sysinfo(&info) == 0) {
            const uint64_t unit = info.mem_unit;
            st.ullTotalPhys = info.totalram * unit;
            st.ullAvailPhys = info.freeram * unit;
            st.ullTotalPageFile = info.totalswap * unit;
            st.ullAvailPageFile = info.freeswap * unit;
        } else {
            st.ullTotalPhys = st.ullAvailPhys = st.ullTotalPageFile = st.ullAvailPageFile = 0x1000000;
        }
        st.dwMemoryLoad = 0;
    }
    s_stMemoryCache = st;
    s_tMemoryCache = tNow;
    std::memset(status, 0, sizeof(*status));
    CopyMemoryStatus(st, status);
    return TRUE;
}

void GlobalMemoryStatus(MEMORYSTATUS* status)
{
    MEMORYSTATUSEX st;
    GlobalMemoryStatusEx(&st);
    status->dwLength = 24;
    status->dwMemoryLoad = st.dwMemoryLoad;
    status->dwTotalPhys = dwCut(st.ullTotalPhys);
    status->dwAvailPhys = dwCut(st.ullAvailPhys);
    status->dwTotalPageFile = dwCut(st.ullTotalPageFile);
    status->dwAvailPageFile = dwCut(st.ullAvailPageFile);
}

// ---------------------------------------------------------------------------
// UUIDs (time-based, version 1)

namespace {

bool s_bUuidStarted = false;
unsigned char s_abyNode[6];
unsigned s_nClockSeq;
uint64_t s_nLastTime;
unsigned s_nAdjustment;

// 100 ns units since 1970 with microsecond resolution.
uint64_t nUuidClock()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<uint64_t>(tv.tv_sec) * 10000000ULL + static_cast<uint64_t>(tv.tv_usec) * 10ULL;
}

}  // namespace

int UuidCreate(UUID* uuid)
{
    int nResult = 0;
    if (!s_bUuidStarted) {
        for (unsigned char& by : s_abyNode)
            by = static_cast<unsigned char>(rand());
        s_abyNode[0] |= 0x80;
        s_nLastTime = nUuidClock() - 10000000ULL;
        s_nClockSeq = static_cast<unsigned>(rand()) & 0x1FFF;
        s_nAdjustment = 0;
        s_bUuidStarted = true;
        nResult = 1824;
    }
    uint64_t nTime;
    for (;;) {
        nTime = nUuidClock();
        if (nTime < s_nLastTime) {
            s_nClockSeq = (s_nClockSeq + 1) & 0x1FFF;
            s_nAdjustment = 0;
            break;
        }
        if (nTime > s_nLastTime) {
            s_nAdjustment = 0;
            break;
        }
        // Ten values per microsecond; beyond them wait for the clock.
        if (s_nAdjustment < 9) {
            ++s_nAdjustment;
            break;
        }
    }
    s_nLastTime = nTime;
    const uint64_t nValue = nTime + s_nAdjustment + 0x01B21DD213814000ULL;

    unsigned char* by = reinterpret_cast<unsigned char*>(uuid);
    const uint32_t nLow = static_cast<uint32_t>(nValue);
    const uint16_t nMid = static_cast<uint16_t>(nValue >> 32);
    const uint16_t nHigh = static_cast<uint16_t>(nValue >> 48);
    by[0] = static_cast<unsigned char>(nLow >> 24);
    by[1] = static_cast<unsigned char>(nLow >> 16);
    by[2] = static_cast<unsigned char>(nLow >> 8);
    by[3] = static_cast<unsigned char>(nLow);
    by[4] = static_cast<unsigned char>(nMid >> 8);
    by[5] = static_cast<unsigned char>(nMid);
    by[6] = static_cast<unsigned char>((nHigh >> 8) + 0x10);
    by[7] = static_cast<unsigned char>(nHigh);
    const unsigned nSeq = s_nClockSeq | 0x8000;
    by[8] = static_cast<unsigned char>(nSeq >> 8);
    by[9] = static_cast<unsigned char>(nSeq);
    std::memcpy(by + 10, s_abyNode, 6);
    return nResult;
}

// ---------------------------------------------------------------------------
// Message boxes

namespace {

void PutUTF8Line(const wchar_t* text)
{
    if (text != nullptr) {
        CUTF8Buffer utf8(text);
        if (utf8.pszGet() != nullptr)
            std::fputs(utf8.pszGet(), stderr);
    }
    std::fputc('\n', stderr);
}

const char* pszPrompt(unsigned type)
{
    switch (type) {
    case 0: return "Appuyez sur ENTREE pour continuer : \n";
    case 1: return "Entrez votre choix (o = OK, c = CANCEL) pour continuer (exemple : o + ENTREE) : \n";
    case 3: return "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour continuer (exemple : y + ENTREE) : \n";
    case 4: return "Entrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n";
    case 5: return "Entrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) : \n";
    default:
        return "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour continuer (exemple : r + ENTREE) "
               ": \n";
    }
}

// Loads the graphics module from path and lets it answer; -1 when it cannot.
int nGraphicsMessageBox(const std::string& path, HWND window, const wchar_t* text, const wchar_t* caption,
                        unsigned type, bool* pbLoaded)
{
    void* hModule = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (hModule == nullptr)
        return -1;
    *pbLoaded = true;
    int nResult = -1;
    PFN_MESSAGEBOX_QT_W pfn = reinterpret_cast<PFN_MESSAGEBOX_QT_W>(dlsym(hModule, GRAPHICS_MESSAGEBOX_ENTRY));
    if (pfn != nullptr)
        nResult = pfn(window, text, caption, type);
    dlclose(hModule);
    return nResult;
}

}  // namespace

int _MessageBox_NO_GUI(const wchar_t* text, const wchar_t* caption, unsigned type, int)
{
    PutUTF8Line(caption);
    PutUTF8Line(text);
    std::fputs(pszPrompt(type), stderr);
    std::fflush(stderr);

    wchar_t szAnswer[50] = {0};
    if (std::scanf("%49ls", szAnswer) != 1)
        szAnswer[0] = 0;
    switch (szAnswer[0]) {
    case L'a': return IDABORT;
    case L'c': return IDCANCEL;
    case L'i': return IDIGNORE;
    case L'n': return IDNO;
    case L'y': return IDYES;
    case L'r':
        std::fputs("Dans Anjuta, utiliser la Stack Trace pour voir la fonction en cours et F7 pour reprendre "
                   "l'execution\n",
                   stderr);
        return IDRETRY;
    default: return IDOK;
    }
}

int MessageBoxW(HWND, const wchar_t* text, const wchar_t* caption, unsigned type)
{
    return _MessageBox_NO_GUI(text, caption, type, 1);
}

int MessageBox(HWND window, const wchar_t* text, const wchar_t* caption, unsigned type)
{
    bool bLoaded = false;
    int nResult = -1;
    // The program's directory, slash kept; without one the name alone is
    // left to the dynamic loader's search.
    wchar_t szExe[260];
    std::string dir;
    if (GetModuleFileNameW(nullptr, szExe, 260) > 0) {
        wchar_t* pSlash = std::wcsrchr(szExe, L'/');
        if (pSlash != nullptr) {
            pSlash[1] = 0;
            CUTF8Buffer utf8Dir(szExe);
            if (utf8Dir.pszGet() != nullptr)
                dir = utf8Dir.pszGet();
        }
    }
    nResult = nGraphicsMessageBox(dir + GRAPHICS_MODULE_NAME, window, text, caption, type, &bLoaded);
    if (!bLoaded) {
        char szCwd[4096];
        if (getcwd(szCwd, sizeof(szCwd)) != nullptr)
            nResult = nGraphicsMessageBox(std::string(szCwd) + "/" GRAPHICS_MODULE_NAME, window, text, caption,
                                          type, &bLoaded);
    }
    if (nResult != -1)
        return nResult;
    return _MessageBox_NO_GUI(text, caption, type, 1);
}
