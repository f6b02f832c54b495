// File-system operations on paths: tests, status, attributes, delete,
// rename, move, copy, directories, tree walks and removal, temporary names,
// disk space and DOS times.
#include "common/platform/DiskFile.h"

#include "common/platform/UTF8Buffer.h"
#include "common/platform/XError.h"
#include "common/text/CodePage.h"
#include "common/text/STR.h"
#include "common/text/TextBasics.h"
#include "common/text/Tstring.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const unsigned PATH_SIZE = 261;

// A copy of the path with slashes.
std::wstring _strSlashes(const wchar_t* psz)
{
    std::wstring str(psz != nullptr ? psz : L"");
    for (wchar_t& c : str)
        if (c == L'\\')
            c = L'/';
    return str;
}

}  // namespace

int CDiskFile::bExist(const wchar_t* pszPath, CXError*)
{
    if (pszPath == nullptr)
        return 0;
    return Unix_access(_strSlashes(pszPath).c_str(), F_OK) == 0;
}

int CDiskFile::bIsADirectory(const wchar_t* pszPath, CXError*)
{
    struct stat64 st;
    return pszPath != nullptr && Unix_stat(_strSlashes(pszPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int CDiskFile::bIsAFile(const wchar_t* pszPath, CXError*)
{
    struct stat64 st;
    return pszPath != nullptr && Unix_stat(_strSlashes(pszPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int CDiskFile::bGetFileAttributes(int* pnAttributes, const wchar_t* pszPath, CXError* pclError)
{
    return __bGetFileAttributesAndSize(pnAttributes, nullptr, nullptr, _strSlashes(pszPath).c_str(), pclError);
}

int CDiskFile::bGetFileStatus(const wchar_t* pszPath, struct stat64* pStatus, CXError* pclError)
{
    if (!bExist(pszPath))
        return 0;
    const std::wstring str = _strSlashes(pszPath);
    if (!_bOnError(Unix_stat(str.c_str(), pStatus) == 0, pclError)) {
        _AddFileError(pclError, str.c_str(), nullptr, 28128, str.c_str());
        return 0;
    }
    return 1;
}

long long CDiskFile::s_oGetSize(const wchar_t* pszPath, CXError* pclError)
{
    struct stat64 st;
    if (!bGetFileStatus(pszPath, &st, pclError))
        return -1;
    return (st.st_mode & 0x8000) != 0 ? st.st_size : -1;
}

int CDiskFile::bGetLastModificationTime(const wchar_t* pszPath, _stXFILETIME* pst, CXError* pclError)
{
    struct stat64 st;
    if (!bGetFileStatus(pszPath, &st, pclError))
        return 0;
    const std::wstring str = _strSlashes(pszPath);
    if (st.st_mtime < 0) {
        errno = EINVAL;
        _bOnError(0, pclError);
        _AddFileError(pclError, str.c_str(), nullptr, 28128, str.c_str());
        return 0;
    }
    time_t t = st.st_mtime;
    struct tm stTm;
    if (localtime_r(&t, &stTm) == nullptr) {
        _bOnError(0, pclError);
        _AddFileError(pclError, str.c_str(), nullptr, 28129, str.c_str());
        return 0;
    }
    if (pst != nullptr) {
        pst->wYear = static_cast<unsigned short>(stTm.tm_year + 1900);
        pst->wMonth = static_cast<unsigned short>(stTm.tm_mon + 1);
        pst->wDay = static_cast<unsigned short>(stTm.tm_mday);
        pst->wHour = static_cast<unsigned short>(stTm.tm_hour);
        pst->wMinute = static_cast<unsigned short>(stTm.tm_min);
        pst->wSecond = static_cast<unsigned short>(stTm.tm_sec);
        pst->wMilliseconds = 0;
    }
    return 1;
}

int CDiskFile::bSetFileAttributesUnix(const wchar_t* pszPath, unsigned nMode, CXError* pclError)
{
    const std::wstring str = _strSlashes(pszPath);
    if (!_bOnError(Unix_chmod(str.c_str(), nMode) == 0, pclError)) {
        _AddFileError(pclError, str.c_str(), nullptr, 28130, nMode, str.c_str());
        return 0;
    }
    return 1;
}

int CDiskFile::bSetFileOwnerUnix(const wchar_t* pszPath, unsigned nUid, unsigned nGid, CXError* pclError)
{
    const std::wstring str = _strSlashes(pszPath);
    if (!_bOnError(__Unix_chown(str.c_str(), nUid, nGid) == 0, pclError)) {
        _AddFileError(pclError, str.c_str(), nullptr, 25852, nUid, nGid, str.c_str());
        return 0;
    }
    return 1;
}

int CDiskFile::bSetFileOwnerAttributes(const wchar_t* pszPath, unsigned nMode, unsigned nUid, unsigned nGid,
                                       CXError* pclError)
{
    return bSetFileOwnerUnix(pszPath, nUid, nGid, pclError) && bSetFileAttributesUnix(pszPath, nMode, pclError);
}

// Read only is asked by the attribute words -1 and -2.
int CDiskFile::bSetFileAttributes(const wchar_t* pszPath, int nAttributes, CXError* pclError)
{
    return bSetFileAttributesUnix(pszPath, (nAttributes | 1) == -1 ? 0444 : 0666, pclError);
}

int CDiskFile::bDelete(const wchar_t* pszPath, CXError* pclError)
{
    const std::wstring str = _strSlashes(pszPath);
    if (!_bOnError(pszPath != nullptr && Unix_unlink(str.c_str()) == 0, pclError)) {
        _AddFileError(pclError, str.c_str(), nullptr, 28123, str.c_str());
        return 0;
    }
    return 1;
}

int CDiskFile::bForceDelete(const wchar_t* pszPath, CXError*)
{
    return pszPath != nullptr && Unix_unlink(_strSlashes(pszPath).c_str()) == 0;
}

int CDiskFile::bRename(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pclError)
{
    const std::wstring strDst = _strSlashes(pszDestination);
    const std::wstring strSrc = _strSlashes(pszSource);
    int bOk;
    if (pszDestination == nullptr || pszSource == nullptr) {
        errno = EINVAL;
        bOk = 0;
    } else if (bExist(strDst.c_str())) {
        errno = EEXIST;
        bOk = 0;
    } else {
        bOk = __Unix_rename(strSrc.c_str(), strDst.c_str()) == 0;
    }
    if (!_bOnError(bOk, pclError)) {
        _AddFileError(pclError, strSrc.c_str(), strDst.c_str(), 28124, strDst.c_str(), strSrc.c_str());
        return 0;
    }
    return 1;
}

// One rename replaces the destination: when it fails nothing is lost.
int CDiskFile::bMove(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pclError)
{
    if (pszDestination != nullptr && pszSource != nullptr && bSameFileName(pszDestination, pszSource))
        return _bOnError(1, pclError);
    const std::wstring strDst = _strSlashes(pszDestination);
    const std::wstring strSrc = _strSlashes(pszSource);
    int bOk = pszDestination != nullptr && pszSource != nullptr &&
              __Unix_rename(strSrc.c_str(), strDst.c_str()) == 0;
    if (!_bOnError(bOk, pclError)) {
        _AddFileError(pclError, strSrc.c_str(), strDst.c_str(), 28124, strDst.c_str(), strSrc.c_str());
        return 0;
    }
    return 1;
}

// Every write and the final close are checked.
int CDiskFile::bCopy(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pclError)
{
    if (pszDestination == nullptr || pszSource == nullptr)
        return 0;
    const std::wstring strDst = _strSlashes(pszDestination);
    const std::wstring strSrc = _strSlashes(pszSource);
    if (strDst == strSrc)
        return 0;
    auto fail = [&]() {
        _bOnError(0, pclError);
        _AddFileError(pclError, strSrc.c_str(), strDst.c_str(), 28125, strDst.c_str(), strSrc.c_str());
        return 0;
    };
    FILE* pSrc = Unix_fopen(strSrc.c_str(), "r");
    if (pSrc == nullptr)
        return fail();
    char aBlock[1024];
    size_t n = std::fread(aBlock, 1, sizeof(aBlock), pSrc);
    if (n == 0 && std::ferror(pSrc)) {
        int nSaved = errno;
        std::fclose(pSrc);
        errno = nSaved;
        return fail();
    }
    FILE* pDst = Unix_fopen(strDst.c_str(), "w");
    if (pDst == nullptr) {
        int nSaved = errno;
        std::fclose(pSrc);
        errno = nSaved;
        return fail();
    }
    bool bOk = true;
    for (;;) {
        if (n > 0 && std::fwrite(aBlock, 1, n, pDst) != n) {
            bOk = false;
            break;
        }
        if (n < sizeof(aBlock)) {
            if (std::ferror(pSrc))
                bOk = false;
            break;
        }
        n = std::fread(aBlock, 1, sizeof(aBlock), pSrc);
    }
    int nSaved = errno;
    std::fclose(pSrc);
    if (std::fclose(pDst) != 0 && bOk) {
        bOk = false;
        nSaved = errno;
    }
    errno = nSaved;
    return bOk ? _bOnError(1, pclError) : fail();
}

int CDiskFile::bCreateDirectory(const wchar_t* pszPath, CXError* pclError)
{
    if (pszPath == nullptr || pszPath[0] == 0)
        return 0;
    std::wstring str = _strSlashes(pszPath);
    if (str.size() >= PATH_SIZE) {
        errno = ENAMETOOLONG;
        _bOnError(0, pclError);
        _AddFileError(pclError, str.c_str(), nullptr, 28126, str.c_str());
        return 0;
    }
    while (str.size() > 1 && str.back() == L'/')
        str.pop_back();
    for (size_t i = 1; i < str.size(); i++) {
        if (str[i] != L'/')
            continue;
        std::wstring strPrefix = str.substr(0, i);
        if (!bExist(strPrefix.c_str()) && __Unix_mkdir(strPrefix.c_str(), 0777) != 0) {
            _bOnError(0, pclError);
            _AddFileError(pclError, strPrefix.c_str(), nullptr, 28126, strPrefix.c_str());
            return 0;
        }
    }
    if (__Unix_mkdir(str.c_str(), 0777) == 0 || (errno == EEXIST && bIsADirectory(str.c_str())))
        return _bOnError(1, pclError);
    _bOnError(0, pclError);
    _AddFileError(pclError, str.c_str(), nullptr, 28126, str.c_str());
    return 0;
}

int CDiskFile::bDeleteDirectory(const wchar_t* pszPath, CXError* pclError)
{
    const std::wstring str = _strSlashes(pszPath);
    if (!_bOnError(pszPath != nullptr && __Unix_rmdir(str.c_str()) == 0, pclError)) {
        _AddFileError(pclError, str.c_str(), nullptr, 28127, str.c_str());
        return 0;
    }
    return 1;
}

// ---- Tree walks -----------------------------------------------------------------------

namespace {

struct stEntry {
    std::wstring strName;
    bool bDirectory; // by lstat: a link is never a directory
};

// The entries of a directory ("." and ".." left out); false when it
// cannot be read.
bool _bListDirectory(const std::wstring& strDir, std::vector<stEntry>& entries)
{
    DIR* d = CDiskFile::__Unix_opendir(strDir.c_str());
    if (d == nullptr)
        return false;
    bool bOk = true;
    for (;;) {
        errno = 0;
        struct dirent64* e = readdir64(d);
        if (e == nullptr) {
            bOk = errno == 0;
            break;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        CTString clName;
        clName.SetANSIEx(e->d_name, -1, CP_UTF8);
        stEntry entry;
        entry.strName = clName.pszGet() != nullptr ? clName.pszGet() : L"";
        std::wstring strFull = strDir + entry.strName;
        struct stat64 st;
        entry.bDirectory = CDiskFile::Unix_lstat(strFull.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back(entry);
    }
    int nSaved = errno;
    closedir(d);
    errno = nSaved;
    return bOk;
}

// Directory (with its end slash), pattern; bDirectoriesOnly / bWithDirectories
// choose which entries the callback gets.
int _bWalk(const std::wstring& strDir, const std::wstring& strPattern, CDiskFile::PFN_TREECALLBACK pfn,
           int nContext, bool bWithFiles, bool bWithDirectories, bool bRecurse)
{
    if (strDir.size() + 1 >= PATH_SIZE)
        return 0;
    std::vector<stEntry> entries;
    if (!_bListDirectory(strDir, entries))
        return 1; // nothing found there
    for (const stEntry& e : entries) {
        if (!(e.bDirectory ? bWithDirectories : bWithFiles))
            continue;
        if (!CDiskFile::_bFiltreFileName(e.strName.c_str(), strPattern.c_str()))
            continue;
        std::wstring strPath = strDir + e.strName;
        if (strPath.size() >= PATH_SIZE)
            continue;
        if (pfn(strPath.c_str(), nContext) == 0)
            return 0;
    }
    if (bRecurse) {
        for (const stEntry& e : entries) {
            if (!e.bDirectory)
                continue;
            if (!_bWalk(strDir + e.strName + L"/", strPattern, pfn, nContext, bWithFiles, bWithDirectories, true))
                return 0;
        }
    }
    return 1;
}

int __bForceDeleteOnTree(const wchar_t* pszPath, int) { return CDiskFile::bForceDelete(pszPath); }

}  // namespace

int CDiskFile::bDoOnFileTree(const wchar_t* pszDirectory, const wchar_t* pszPattern, PFN_TREECALLBACK pfn,
                             int nContext, int bWithDirectories, int bRecurse)
{
    if (pszDirectory == nullptr || pszPattern == nullptr || pfn == nullptr)
        return 0;
    std::wstring strDir = _strSlashes(pszDirectory);
    if (strDir.empty() || strDir.back() != L'/')
        strDir += L'/';
    return _bWalk(strDir, _strSlashes(pszPattern), pfn, nContext, true, bWithDirectories != 0, bRecurse != 0);
}

// With bDirectories the callback gets the matching subdirectories only;
// without, the matching files only.
int CDiskFile::bDoOnDirectoryTree(const wchar_t* pszDirectory, const wchar_t* pszPattern, PFN_TREECALLBACK pfn,
                                  int nContext, int bDirectories, int bRecurse)
{
    if (pszDirectory == nullptr || pszPattern == nullptr || pfn == nullptr)
        return 0;
    std::wstring strDir = _strSlashes(pszDirectory);
    if (strDir.empty() || strDir.back() != L'/')
        strDir += L'/';
    return _bWalk(strDir, _strSlashes(pszPattern), pfn, nContext, bDirectories == 0, bDirectories != 0,
                  bRecurse != 0);
}

int CDiskFile::bForceDeleteOnFileTree(const wchar_t* pszDirectory, const wchar_t* pszPattern, int bRecurse,
                                      CXError*)
{
    return bDoOnFileTree(pszDirectory, pszPattern, __bForceDeleteOnTree, 0, 0, bRecurse);
}

// Everything inside the directory; links are removed, never followed.
int CDiskFile::_bDeltree(const wchar_t* pszPath, CXError* pclError)
{
    if (pszPath == nullptr || pszPath[0] == 0)
        return 0;
    std::wstring strDir = _strSlashes(pszPath);
    if (strDir.back() != L'/')
        strDir += L'/';
    std::vector<stEntry> entries;
    if (!_bListDirectory(strDir, entries)) {
        _bOnError(0, pclError);
        _AddFileError(pclError, nullptr, nullptr, 28135);
        return 0;
    }
    for (const stEntry& e : entries) {
        std::wstring strFull = strDir + e.strName;
        if (e.bDirectory) {
            if (!_bDeltree(strFull.c_str(), pclError) || !bDeleteDirectory(strFull.c_str(), pclError))
                return 0;
        } else if (!bDelete(strFull.c_str(), pclError)) {
            return 0;
        }
    }
    return _bOnError(1, pclError);
}

int CDiskFile::bPurgeTree(const wchar_t* pszPath, CXError* pclError) { return _bDeltree(pszPath, pclError); }

int CDiskFile::bForcePurgeTree(const wchar_t* pszPath, CXError* pclError) { return _bDeltree(pszPath, pclError); }

int CDiskFile::bDeleteTree(const wchar_t* pszPath, CXError* pclError)
{
    return _bDeltree(pszPath, pclError) && bDeleteDirectory(pszPath, pclError);
}

int CDiskFile::bForceDeleteTree(const wchar_t* pszPath, CXError* pclError)
{
    return bDeleteTree(pszPath, pclError);
}

int CDiskFile::bDeleteTreeEvenReadOnly(const wchar_t* pszPath, CXError* pclError)
{
    if (pszPath == nullptr)
        return 0;
    std::wstring strDir = _strSlashes(pszPath);
    if (strDir.empty() || strDir.back() != L'/')
        strDir += L'/';
    bForceDeleteOnFileTree(strDir.c_str(), L"*", 1, pclError);
    return bDeleteTree(pszPath, pclError);
}

// ---- Temporary names, current and home directory -------------------------------------

int CDiskFile::bGetTempDirectory(wchar_t* pszOut, CXError* pclError)
{
    // The directory tempnam would propose: TMPDIR when it is a directory,
    // else the system's.
    const char* pszDir = std::getenv("TMPDIR");
    struct stat64 st;
    if (pszDir == nullptr || pszDir[0] == 0 || stat64(pszDir, &st) != 0 || !S_ISDIR(st.st_mode))
        pszDir = P_tmpdir;
    std::string str(pszDir);
    if (str.empty() || str.back() != '/')
        str += '/';
    if (pszOut == nullptr || nUTF8ToWideBounded(str.c_str(), -1, pszOut, PATH_SIZE) < 0) {
        errno = ENAMETOOLONG;
        _bOnError(0, pclError);
        _AddFileError(pclError, nullptr, nullptr, 28133);
        return 0;
    }
    return _bOnError(1, pclError);
}

int CDiskFile::bGetTempName(wchar_t* pszOut, const wchar_t* pszDirectory, const wchar_t* pszPrefix,
                            CXError* pclError)
{
    if (pszOut == nullptr)
        return 0;
    std::wstring str = _strSlashes(pszDirectory);
    if (!str.empty() && str.back() != L'/')
        str += L'/';
    str += pszPrefix != nullptr ? pszPrefix : L"";
    str += L"XXXXXX";
    CUTF8Buffer utf8(str.c_str());
    int fd = -1;
    if (utf8.pszGet() != nullptr) {
        std::string strName(utf8.pszGet());
        fd = mkstemp64(&strName[0]);
        if (fd != -1) {
            close(fd);
            if (nUTF8ToWideBounded(strName.c_str(), -1, pszOut, PATH_SIZE) < 0) {
                unlink(strName.c_str());
                fd = -1;
                errno = ENAMETOOLONG;
            }
        }
    }
    if (!_bOnError(fd != -1, pclError)) {
        _AddFileError(pclError, nullptr, nullptr, 28134, pszDirectory != nullptr ? pszDirectory : L"",
                      pszPrefix != nullptr ? pszPrefix : L"");
        return 0;
    }
    return 1;
}

int CDiskFile::bGetTempName(wchar_t* pszOut, const wchar_t* pszPrefix, CXError* pclError)
{
    wchar_t szDir[PATH_SIZE];
    if (!bGetTempDirectory(szDir, pclError))
        return 0;
    if (!bExist(szDir) && !bCreateDirectory(szDir, pclError))
        return 0;
    return bGetTempName(pszOut, szDir, pszPrefix, pclError);
}

int CDiskFile::bGetCurrentDirectory(wchar_t* pszOut, CXError* pclError)
{
    if (!_bOnError(Unix_getcwd(pszOut, PATH_SIZE), pclError)) {
        _AddFileError(pclError, nullptr, nullptr, 28307);
        return 0;
    }
    return 1;
}

// Home directories are UTF-8 like every other path.
void CDiskFile::GetHomeDir(CTString* pclOut)
{
    if (pclOut == nullptr)
        return;
    const char* pszHome = std::getenv("HOME");
    if (pszHome == nullptr) {
        const passwd* pw = getpwuid(getuid());
        if (pw != nullptr)
            pszHome = pw->pw_dir;
    }
    if (pszHome == nullptr)
        pclOut->Set(L".");
    else
        pclOut->SetANSIEx(pszHome, -1, CP_UTF8);
}

int CDiskFile::bGetDiskSpace(const wchar_t* pszPath, unsigned long long* pullTotal, unsigned long long* pullFree,
                             CXError* pclError)
{
    const std::wstring str = pszPath != nullptr ? _strSlashes(pszPath) : std::wstring(L".");
    struct statfs64 st;
    if (!_bOnError(__Unix_statfs(str.c_str(), &st) == 0, pclError)) {
        _AddFileError(pclError, str.c_str(), nullptr, 28138, str.c_str());
        return 0;
    }
    if (pullTotal != nullptr)
        *pullTotal = static_cast<unsigned long long>(st.f_bsize) * st.f_blocks;
    if (pullFree != nullptr)
        *pullFree = static_cast<unsigned long long>(st.f_bsize) * st.f_bavail;
    return 1;
}

int CDiskFile::bGetDiskFreeSpace(const wchar_t* pszPath, unsigned long long* pullFree, CXError* pclError)
{
    return bGetDiskSpace(pszPath, nullptr, pullFree, pclError);
}

// ---- Time records ---------------------------------------------------------------------

int CDiskFile::nCompareSystemTime(const _stXFILETIME* a, const _stXFILETIME* b)
{
    const unsigned short* pa = &a->wYear;
    const unsigned short* pb = &b->wYear;
    for (int i = 0; i < 7; i++)
        if (pa[i] != pb[i])
            return static_cast<int>(pb[i]) - static_cast<int>(pa[i]);
    return 0;
}

int CDiskFile::bSystemTimeToDosFileTime(const _stXFILETIME* pst, unsigned* pnDos)
{
    unsigned nDate = ((static_cast<unsigned>(pst->wYear) - 1980u) & 0x7F) << 9 | (pst->wMonth & 0xFu) << 5 |
                     (pst->wDay & 0x1Fu);
    unsigned nTime = (pst->wHour & 0x1Fu) << 11 | (pst->wMinute & 0x3Fu) << 5 | ((pst->wSecond / 2u) & 0x1Fu);
    *pnDos = nDate << 16 | nTime;
    return 1;
}

int CDiskFile::bDosFileTimeToSystemTime(unsigned nDos, _stXFILETIME* pst)
{
    unsigned nDate = nDos >> 16, nTime = nDos & 0xFFFF;
    pst->wYear = static_cast<unsigned short>((nDate >> 9) + 1980);
    pst->wMonth = static_cast<unsigned short>((nDate >> 5) & 0xF);
    pst->wDay = static_cast<unsigned short>(nDate & 0x1F);
    pst->wHour = static_cast<unsigned short>(nTime >> 11);
    pst->wMinute = static_cast<unsigned short>((nTime >> 5) & 0x3F);
    pst->wSecond = static_cast<unsigned short>((nTime & 0x1F) * 2);
    pst->wMilliseconds = 0;
    return 1;
}
