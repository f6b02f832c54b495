// File status, times, the failure reports of the file layer, and the
// directory search.
#include "common/platform/DiskFile.h"

#include "common/platform/FindFile.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/UTF8Buffer.h"
#include "common/platform/XError.h"
#include "common/text/STR.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>

// ---- Failure reports --------------------------------------------------------------

int CDiskFile::_bOnError(int bSuccess, CXError* pclError)
{
    if (pclError == nullptr)
        return bSuccess;
    int nSavedErrno = errno;
    pclError->RAZ();
    if (!bSuccess) {
        pclError->SetErrorLevel(EL_ERROR);
        errno = nSavedErrno;
        pclError->SetSystemErrorParam(static_cast<unsigned>(nSavedErrno));
    }
    errno = nSavedErrno;
    return bSuccess;
}

void CDiskFile::_OnMemoryError(CXError* pclError)
{
    if (pclError == nullptr)
        return;
    pclError->RAZ();
    pclError->SetErrorLevel(EL_ERROR);
    pclError->InitModInfo(&gstMyModuleInfo32, 1);
    pclError->AddDebugMessageNoFormat(L"##MemoryException##");
}

void CDiskFile::_AddFileError(CXError* pclError, const wchar_t* pszSrc, const wchar_t* pszDst, unsigned nId, ...)
{
    if (pclError == nullptr)
        return;
    int nSavedErrno = errno;
    pclError->InitModInfo(&gstMyModuleInfo32, 1);
    va_list args;
    va_start(args, nId);
    pclError->AddUserMessageListFirst(&gstMyModuleInfo32, nId, args);
    va_end(args);
    if (pszSrc != nullptr)
        pclError->AddInfo(EIT_SRCFILE, pszSrc);
    if (pszDst != nullptr)
        pclError->AddInfo(EIT_DSTFILE, pszDst);
    errno = nSavedErrno;
}

// ---- Status and times ----------------------------------------------------------------

namespace {

int _nAttributeWord(const wchar_t* pszPath, unsigned mode)
{
    unsigned n = mode & 0xE1FF;
    const wchar_t* pszName = std::wcsrchr(pszPath, L'/');
    pszName = pszName != nullptr ? pszName + 1 : pszPath;
    if (pszName[0] == L'.')
        n |= XFILE_ATTRIBUTE_HIDDEN;
    return static_cast<int>(n);
}

}  // namespace

int CDiskFile::__bGetFileAttributesAndSize(int* pnAttributes, long long* pllSize, FILETIME* pLastWrite,
                                           const wchar_t* pszPath, CXError* pclError)
{
    struct stat64 st;
    int bOk = Unix_stat(pszPath, &st) == 0;
    if (!_bOnError(bOk, pclError)) {
        _AddFileError(pclError, pszPath, nullptr, 28130, pnAttributes != nullptr ? *pnAttributes : 0,
                      pszPath != nullptr ? pszPath : L"");
        return 0;
    }
    if (pnAttributes != nullptr)
        *pnAttributes = _nAttributeWord(pszPath, st.st_mode);
    if (pllSize != nullptr)
        *pllSize = st.st_size;
    if (pLastWrite != nullptr)
        TimeToFileTime(st.st_mtime, pLastWrite);
    return 1;
}

int CDiskFile::bFileTimeToSystemTime(const FILETIME* pft, _stXFILETIME* pst)
{
    if (pft == nullptr || pst == nullptr)
        return 0;
    FILETIME ftLocal;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(pft, &ftLocal) || !FileTimeToSystemTime(&ftLocal, &st))
        return 0;
    pst->wYear = st.wYear;
    pst->wMonth = st.wMonth;
    pst->wDay = st.wDay;
    pst->wHour = st.wHour;
    pst->wMinute = st.wMinute;
    pst->wSecond = st.wSecond;
    pst->wMilliseconds = st.wMilliseconds;
    return 1;
}

int CDiskFile::bSystemTimeToFileTime(const _stXFILETIME* pst, FILETIME* pft)
{
    if (pft == nullptr || pst == nullptr)
        return 0;
    SYSTEMTIME st;
    std::memset(&st, 0, sizeof(st));
    st.wYear = pst->wYear;
    st.wMonth = pst->wMonth;
    st.wDay = pst->wDay;
    st.wHour = pst->wHour;
    st.wMinute = pst->wMinute;
    st.wSecond = pst->wSecond;
    st.wMilliseconds = pst->wMilliseconds;
    FILETIME ftLocal;
    return SystemTimeToFileTime(&st, &ftLocal) && LocalFileTimeToFileTime(&ftLocal, pft);
}

// ---- Directory search ------------------------------------------------------------------

int CDiskFile::bIsAVirtualDirectory(const wchar_t* pszName)
{
    return pszName != nullptr && (std::wcscmp(pszName, L".") == 0 || std::wcscmp(pszName, L"..") == 0);
}

// Exact characters, "?" one character, "*" any run; one back-track point,
// the last star.
int CDiskFile::_bFiltreFileName(const wchar_t* pszName, const wchar_t* pszPattern)
{
    if (pszName == nullptr || pszPattern == nullptr)
        return 0;
    const wchar_t* n = pszName;
    const wchar_t* p = pszPattern;
    const wchar_t* pStar = nullptr;
    const wchar_t* nStar = nullptr;
    while (*n != 0) {
        if (*p == L'*') {
            while (*p == L'*')
                p++;
            if (*p == 0)
                return 1;
            pStar = p;
            nStar = n;
        } else if (*p != 0 && (*p == L'?' || *p == *n)) {
            p++;
            n++;
        } else if (pStar != nullptr) {
            p = pStar;
            n = ++nStar;
        } else {
            return 0;
        }
    }
    while (*p == L'*')
        p++;
    return *p == 0;
}

int CDiskFile::_bFindGoodFile(const wchar_t* pszName, unsigned nAttributes, const _stXFINDDATA* pData)
{
    if (bIsAVirtualDirectory(pszName) || !_bFiltreFileName(pszName, pData->szPattern))
        return 0;
    const unsigned nRequired = static_cast<unsigned>(pData->nRequired);
    const unsigned nExcluded = static_cast<unsigned>(pData->nExcluded);
    return (nAttributes & nRequired) == nRequired && (nAttributes & nExcluded) == 0;
}

int CDiskFile::bFindFirst(const wchar_t* pszPath, _stXFINDDATA* pData, int nRequired, int nExcluded,
                          CXError* pclError)
{
    if (pData == nullptr || pszPath == nullptr)
        return 0;
    std::memset(pData, 0, sizeof(*pData));
    wchar_t szPath[522];
    if (std::wcslen(pszPath) >= 522)
        return _bOnError(0, pclError), 0;
    std::wcscpy(szPath, pszPath);
    pszBackSlash2Slash(szPath);
    pData->nRequired = nRequired;
    pData->nExcluded = nExcluded;
    const wchar_t* pSlash = std::wcsrchr(szPath, L'/');
    if (pSlash != nullptr) {
        size_t nDir = static_cast<size_t>(pSlash - szPath) + 1;
        if (nDir >= 261 || std::wcslen(pSlash + 1) >= 261) {
            errno = ENAMETOOLONG;
            _bOnError(0, pclError);
            _AddFileError(pclError, nullptr, nullptr, 28135);
            return 0;
        }
        std::wmemcpy(pData->szDirectory, szPath, nDir);
        pData->szDirectory[nDir] = 0;
        std::wcscpy(pData->szPattern, pSlash + 1);
    } else {
        if (std::wcslen(szPath) >= 261) {
            errno = ENAMETOOLONG;
            _bOnError(0, pclError);
            _AddFileError(pclError, nullptr, nullptr, 28135);
            return 0;
        }
        if (!Unix_getcwd(pData->szDirectory, 261)) {
            _bOnError(0, pclError);
            _AddFileError(pclError, nullptr, nullptr, 28135);
            return 0;
        }
        std::wcscpy(pData->szPattern, szPath);
    }
    pData->hDir = __Unix_opendir(pData->szDirectory);
    if (pData->hDir == nullptr) {
        if (errno != ENOENT) {
            _bOnError(0, pclError);
            _AddFileError(pclError, nullptr, nullptr, 28135);
        } else if (pclError != nullptr) {
            pclError->RAZ();
        }
        return 0;
    }
    return bFindNext(pData, pclError);
}

int CDiskFile::bFindNext(_stXFINDDATA* pData, CXError* pclError)
{
    if (pData == nullptr || pData->hDir == nullptr)
        return 0;
    for (;;) {
        errno = 0;
        struct dirent64* pEntry = readdir64(pData->hDir);
        if (pEntry == nullptr) {
            bool bFilled = false;
            if (errno == EBADF) {
                _bOnError(0, pclError);
                _AddFileError(pclError, nullptr, nullptr, 28136);
                bFilled = true;
            }
            bFindClose(pData, bFilled ? nullptr : pclError);
            return 0;
        }
        wchar_t szName[261];
        if (nUTF8ToWideBounded(pEntry->d_name, -1, szName, 261) < 0)
            continue; // a name longer than a search record holds
        wchar_t szFull[522];
        if (std::wcslen(pData->szDirectory) + std::wcslen(szName) + 2 > 522)
            continue;
        // The directory field is "/" terminated unless it is the current one.
        std::wcscpy(szFull, pData->szDirectory);
        size_t n = std::wcslen(szFull);
        if (n > 0 && szFull[n - 1] != L'/')
            std::wcscat(szFull, L"/");
        std::wcscat(szFull, szName);
        int nAttributes = 0;
        long long llSize = 0;
        FILETIME ftWrite;
        if (!__bGetFileAttributesAndSize(&nAttributes, &llSize, &ftWrite, szFull, pclError))
            continue;
        if (!_bFindGoodFile(szName, static_cast<unsigned>(nAttributes), pData))
            continue;
        if (std::wcslen(szName) >= 260)
            continue;
        std::wcscpy(pData->szName, szName);
        pData->dwReserved = 0;
        pData->nAttributes = nAttributes;
        pData->llSize = llSize;
        bFileTimeToSystemTime(&ftWrite, &pData->stTime);
        return 1;
    }
}

int CDiskFile::bFindClose(_stXFINDDATA* pData, CXError* pclError)
{
    if (pData == nullptr || pData->hDir == nullptr)
        return 1;
    int bOk = closedir(pData->hDir) == 0;
    pData->hDir = nullptr;
    if (!bOk && pclError != nullptr) {
        _bOnError(0, pclError);
        _AddFileError(pclError, nullptr, nullptr, 28137);
    }
    return bOk;
}

// ---- The search object --------------------------------------------------------------

CFindFile::CFindFile() { std::memset(&m_stData, 0, sizeof(m_stData)); }

CFindFile::~CFindFile() { CDiskFile::bFindClose(&m_stData, nullptr); }

int CFindFile::bFindFirst(const wchar_t* pszPath, int nRequired, int nExcluded, CXError* pclError)
{
    CDiskFile::bFindClose(&m_stData, nullptr);
    return CDiskFile::bFindFirst(pszPath, &m_stData, nRequired, nExcluded, pclError);
}

int CFindFile::bFindNext(CXError* pclError) { return CDiskFile::bFindNext(&m_stData, pclError); }

int CFindFile::bFindClose(CXError* pclError) { return CDiskFile::bFindClose(&m_stData, pclError); }

void CFindFile::TransfertTo(CFindFile& clTarget)
{
    if (&clTarget == this)
        return;
    CDiskFile::bFindClose(&clTarget.m_stData, nullptr);
    clTarget.m_stData = m_stData;
    std::memset(&m_stData, 0, sizeof(m_stData));
}
