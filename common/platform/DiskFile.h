// The disk file and the static operations of the file layer on wide paths.
#pragma once

#include "common/platform/WinApi.h"
#include "common/platform/XStream.h"

#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <utime.h>

class CXError;
class CTQBIN;
class CTString;
template <class T>
class CXYString;

// The file layer's time record: a SYSTEMTIME without the day of the week,
// local time.
struct _stXFILETIME {
    unsigned short wYear;
    unsigned short wMonth; // 1-12
    unsigned short wDay;
    unsigned short wHour;
    unsigned short wMinute;
    unsigned short wSecond;
    unsigned short wMilliseconds;
};

// The state of one directory search.
struct _stXFINDDATA {
    DIR* hDir;
    wchar_t szPattern[261];
    wchar_t szDirectory[261];
    int nRequired;
    int nExcluded;
    wchar_t szName[260];
    unsigned int dwReserved;
    int nAttributes;
    long long llSize;
    _stXFILETIME stTime;
};

// Attribute word bits.
enum : unsigned int {
    XFILE_ATTRIBUTE_DIRECTORY = 0x4000,
    XFILE_ATTRIBUTE_REGULAR = 0x8000,
    XFILE_ATTRIBUTE_HIDDEN = 0x80000000u,
};

class CDiskFile : public IXStream {
public:
    // Encoding found by the text loaders.
    enum etxType { TXT_CODEPAGE = 0, TXT_UTF8 = 1, TXT_UTF16 = 2 };

    CDiskFile();
    ~CDiskFile() override;

    // ---- Stream operations (slots of IXStream) ------------------------------
    int bOpen(const wchar_t* pszName, eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag,
              int* pbCreated) override;
    void Close() override;
    int bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag) override;
    int bWrite(long long llPosition, const void* p, unsigned n, unsigned* pnWritten) override;
    int bRead(long long llPosition, void* p, unsigned n, unsigned* pnRead) override;
    int bWrite(const void* p, unsigned n, unsigned* pnWritten) override;
    int bRead(void* p, unsigned n, unsigned* pnRead) override;
    int bSeek(long long llOffset, eSEEK eOrigin) override;
    long long oGetSize() override;
    long long oGetSizeFast() override;
    int bFlush() override;
    int bSetSize(long long llSize, eGROW eGrow) override;
    int bIncreaseSize(long long llSize) override;
    int bExtract(IXStream* pclDestination, long long n) override;
    int bLockFile(unsigned long long ullOffset, unsigned long long ullLength) const override;
    int bUnlockFile(unsigned long long ullOffset, unsigned long long ullLength) const override;
    int bLock(unsigned long long ullOffset, unsigned long long ullLength) const override;
    int bUnlock(unsigned long long ullOffset, unsigned long long ullLength) const override;
    const wchar_t* pszGetName() const override { return m_szName; }
    long long oGetOffset() override { return m_llOffset; }
    int bIsOpen() const override { return m_nFd != -1; }
    int vbSetNameForError(const wchar_t* pszName) override;
    int veGetAccess() const override { return m_nOpenFlags; }
    int bGetVFSFileName(wchar_t*) override { return 0; }
    int bLockFileEx(int bLock, int bExclusive) const override;
    wchar_t* pszReadLine(wchar_t* pszBuffer, unsigned nSize, CTString* pclOverflow,
                         const wchar_t* pszSeparator) override;
    int bExtendFile(long long llSize) override;
    // ---- Own slots ----------------------------------------------------------
    // Copies a part of this stream into a new file.
    virtual int bExtract(const wchar_t* pszPath, long long llOffset, long long llLength);
    // Appends a part of another file to this stream.
    virtual int bExtractFromFile(const wchar_t* pszPath, long long llOffset, long long llLength);
    virtual int bOpenW(const wchar_t*, eACCESS, eSHARE, eCREATE, eFLAG, int*) { return 0; }
    virtual int bExtractW(const wchar_t*, long long, long long) { return 0; }
    virtual const wchar_t* pwszGetName() const { return pszGetName(); }
    virtual int vbIsUNICODEFileName() const { return 1; }
    virtual int bExtractFromFileW(const wchar_t*, long long, long long) { return 0; }
    virtual int vbSetNameForErrorW(const wchar_t*) { return 0; }
    virtual void m838EmptyMethodXStream() {}
    virtual void m839EmptyMethodXStream() {}
    virtual void m840EmptyMethodXStream() {}
    virtual void m841EmptyMethodXStream() {}
    virtual void m842EmptyMethodXStream() {}
    virtual void m843EmptyMethodXStream() {}
    virtual void m844EmptyMethodXStream() {}
    virtual void m845EmptyMethodXStream() {}

    // A read lock, whatever the access.
    int bLockShare(unsigned long long ullOffset, unsigned long long ullLength) const;
    int bGetTime(_stXFILETIME* pCreation, _stXFILETIME* pAccess, _stXFILETIME* pWrite) const;
    int bSetTime(const FILETIME* pCreation, const FILETIME* pAccess, const FILETIME* pWrite) const;
    int bSetTime(const _stXFILETIME* pCreation, const _stXFILETIME* pAccess, const _stXFILETIME* pWrite) const;

    // ---- Static stream operations -------------------------------------------
    static int sbIsBadNetworkFile(const wchar_t*) { return 0; }
    static int bSystemSupportHugeFile(CXError*) { return 1; }
    // Exclusive open retried while another process holds the file: for n
    // milliseconds, or n attempts when bByCount.
    int bOpenExclusifReessais(const wchar_t* pszName, int bByCount, unsigned n, eACCESS eAccess,
                              eCREATE eCreate, eFLAG eFlag, int* pbCreated);
    // The whole file into a host binary.
    static int bChargeFichier(CTQBIN& clOut, const wchar_t* pszPath, CXError* pclError);
    static int bConcat(const wchar_t* pszDestination, const wchar_t* pszSource);
    static int bExtract(const wchar_t* pszDestination, const wchar_t* pszSource, long long llOffset,
                        long long llLength);
    // A whole text file, its encoding told by its byte-order mark.
    static int bChargeTexteBOM(CXYString<wchar_t>& clOut, const wchar_t* pszPath, unsigned nCodePage,
                               etxType* peType);
    static int bChargeTexteBOMFromBuffer(CXYString<wchar_t>& clOut, unsigned char* pData, unsigned nSize,
                                         unsigned nCodePage, etxType* peType);

    // ---- File status, times and error reports --------------------------------
    static int __bGetFileAttributesAndSize(int* pnAttributes, long long* pllSize, FILETIME* pLastWrite,
                                           const wchar_t* pszPath, CXError* pclError);
    static int bFileTimeToSystemTime(const FILETIME* pft, _stXFILETIME* pst);
    static int bSystemTimeToFileTime(const _stXFILETIME* pst, FILETIME* pft);
    // With an error object: reset it, and on failure level 3 and the system
    // error from errno (kept). Answers bSuccess.
    static int _bOnError(int bSuccess, CXError* pclError);
    static void _OnMemoryError(CXError* pclError);
    // After _bOnError(false): this module's identity, the user message nId
    // put first with its arguments, and the file infos that are given.
    static void _AddFileError(CXError* pclError, const wchar_t* pszSrc, const wchar_t* pszDst, unsigned nId, ...);

    // ---- Directory search ---------------------------------------------------
    static int bFindFirst(const wchar_t* pszPath, _stXFINDDATA* pData, int nRequired, int nExcluded,
                          CXError* pclError);
    static int bFindNext(_stXFINDDATA* pData, CXError* pclError);
    static int bFindClose(_stXFINDDATA* pData, CXError* pclError);
    static int _bFiltreFileName(const wchar_t* pszName, const wchar_t* pszPattern);
    static int _bFindGoodFile(const wchar_t* pszName, unsigned nAttributes, const _stXFINDDATA* pData);
    static int bIsAVirtualDirectory(const wchar_t* pszName);

    // ---- Path utilities (buffers of 261 characters unless a size is given) --
    static char* pszBackSlash2Slash(char* psz);
    static wchar_t* pszBackSlash2Slash(wchar_t* psz);
    static const wchar_t* pszBackSlash2Slash(CTString& cl);
    // Null for the empty value.
    static const wchar_t* pszBackSlash2Slash(CXYString<wchar_t>& cl);
    static char* pszSlash2BackSlash(char* psz);
    static wchar_t* pszSlash2BackSlash(wchar_t* psz);
    static const wchar_t* pszSlash2BackSlash(CTString& cl);
    static const wchar_t* pszSlash2BackSlash(CXYString<wchar_t>& cl);
    static const wchar_t* __pszFindLastSep(const wchar_t* psz, int n);
    static const wchar_t* pszGetPtrToFileName(const wchar_t* psz);
    static int bIsRelativePath(const wchar_t* psz);
    static int bIsRelativeFileName(const wchar_t* psz);
    static int bIsRelativeFileName_WIN32(const wchar_t* psz);
    static int bUNCName(const wchar_t* psz);
    static int bUNCNameA(const char* psz);
    static int bValidName(const wchar_t* pszName);
    static void DelExtension(wchar_t* psz);
    // The host-string forms convert no separator.
    static void DelExtension(CXYString<wchar_t>& cl);
    static void ChangeExtension(wchar_t* psz, unsigned n, const wchar_t* pszExt);
    static void ChangeExtension(CXYString<wchar_t>& cl, const wchar_t* pszExt);
    static void DirectoryWithEndSlash(char* psz);
    static void DirectoryWithEndSlash(wchar_t* psz);
    static void DirectoryWithEndSlash(CTString& cl);
    static void DirectoryWithEndSlash(CXYString<wchar_t>& cl);
    static void DirectoryWithoutEndSlash(wchar_t* psz);
    static void DirectoryWithoutEndSlash(CTString& cl);
    // Removes one final slash.
    static void DirectoryWithoutEndSlash(CXYString<wchar_t>& cl);
    static void PrefixeCurrentDirectory(wchar_t* psz);
    static void StandardizeFileName(wchar_t* pszDst, const wchar_t* pszSrc);
    static int bStandardizeExistingFileName(wchar_t* pszDst, unsigned n, const wchar_t* pszSrc);
    static int bGetUNCName(wchar_t* pszDst, unsigned n, const wchar_t* pszSrc, CXError* pclError);
    static int bGetLongPathName(wchar_t* pszDst, unsigned n, const wchar_t* pszSrc);
    // The characters written; when dst (n characters) is too small, the
    // characters needed; 0 on failure.
    static unsigned GetFullPathName(const wchar_t* pszSrc, unsigned n, wchar_t* pszDst, wchar_t** ppszFilePart);
    static int bGetFullPath(wchar_t* pszDst, unsigned n, const wchar_t* pszSrc, unsigned* pnLength,
                            CXError* pclError);
    static void SimplifyPath(wchar_t* psz);
    static void MakePath(wchar_t* pszDst, const wchar_t* pszDir, const wchar_t* pszName, const wchar_t* pszExt);
    static void __SplitPath(const wchar_t* pszPath, wchar_t* pszDir, wchar_t* pszName, wchar_t* pszExt);
    static void __SplitPath(const wchar_t* pszPath, wchar_t* pszDir, wchar_t* pszNameAndExt);
    static void __GetDir(wchar_t* pszDst, const wchar_t* psz, unsigned n, unsigned* pnLength);
    static void __GetFile(wchar_t* pszDst, const wchar_t* psz, unsigned n, unsigned* pnLength);
    static int bPathRelativePathTo(wchar_t* pszDst, const wchar_t* pszPath, const wchar_t* pszBase,
                                   int bFailOutside);
    static int bRelativeToFullPath(wchar_t* pszDst, const wchar_t* pszRelative, const wchar_t* pszBase, int nMode);
    static int bSameFileName(const wchar_t* a, const wchar_t* b);
    static int bSameDirectoryName(const wchar_t* a, const wchar_t* b);
    static int bSameDirectoryNameEx(const wchar_t* a, int bExistingA, const wchar_t* b, int bExistingB);

    // ---- File-system operations on paths ------------------------------------
    typedef int (*PFN_TREECALLBACK)(const wchar_t* pszPath, int nContext);
    static int bExist(const wchar_t* pszPath, CXError* pclError = nullptr);
    static int bIsADirectory(const wchar_t* pszPath, CXError* pclError = nullptr);
    static int bIsAFile(const wchar_t* pszPath, CXError* pclError = nullptr);
    static int bGetFileAttributes(int* pnAttributes, const wchar_t* pszPath, CXError* pclError);
    static int bGetFileStatus(const wchar_t* pszPath, struct stat64* pStatus, CXError* pclError);
    static long long s_oGetSize(const wchar_t* pszPath, CXError* pclError);
    static int bGetLastModificationTime(const wchar_t* pszPath, _stXFILETIME* pst, CXError* pclError);
    static int bSetFileAttributesUnix(const wchar_t* pszPath, unsigned nMode, CXError* pclError);
    static int bSetFileOwnerUnix(const wchar_t* pszPath, unsigned nUid, unsigned nGid, CXError* pclError);
    static int bSetFileOwnerAttributes(const wchar_t* pszPath, unsigned nMode, unsigned nUid, unsigned nGid,
                                       CXError* pclError);
    static int bSetFileAttributes(const wchar_t* pszPath, int nAttributes, CXError* pclError);
    static int bDelete(const wchar_t* pszPath, CXError* pclError);
    static int bForceDelete(const wchar_t* pszPath, CXError* pclError = nullptr);
    static int bRename(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pclError);
    static int bMove(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pclError);
    static int bCopy(const wchar_t* pszDestination, const wchar_t* pszSource, CXError* pclError);
    static int bCreateDirectory(const wchar_t* pszPath, CXError* pclError);
    static int bDeleteDirectory(const wchar_t* pszPath, CXError* pclError);
    static int bDoOnFileTree(const wchar_t* pszDirectory, const wchar_t* pszPattern, PFN_TREECALLBACK pfn,
                             int nContext, int bWithDirectories, int bRecurse);
    static int bDoOnDirectoryTree(const wchar_t* pszDirectory, const wchar_t* pszPattern, PFN_TREECALLBACK pfn,
                                  int nContext, int bDirectories, int bRecurse);
    static int bForceDeleteOnFileTree(const wchar_t* pszDirectory, const wchar_t* pszPattern, int bRecurse,
                                      CXError* pclError);
    static int _bDeltree(const wchar_t* pszPath, CXError* pclError);
    static int bPurgeTree(const wchar_t* pszPath, CXError* pclError);
    static int bForcePurgeTree(const wchar_t* pszPath, CXError* pclError);
    static int bDeleteTree(const wchar_t* pszPath, CXError* pclError);
    static int bForceDeleteTree(const wchar_t* pszPath, CXError* pclError);
    static int bDeleteTreeEvenReadOnly(const wchar_t* pszPath, CXError* pclError);
    static int bGetTempDirectory(wchar_t* pszOut, CXError* pclError);
    static int bGetTempName(wchar_t* pszOut, const wchar_t* pszDirectory, const wchar_t* pszPrefix,
                            CXError* pclError);
    static int bGetTempName(wchar_t* pszOut, const wchar_t* pszPrefix, CXError* pclError);
    static int bGetCurrentDirectory(wchar_t* pszOut, CXError* pclError);
    static void GetHomeDir(CTString* pclOut);
    static int bGetDiskSpace(const wchar_t* pszPath, unsigned long long* pullTotal, unsigned long long* pullFree,
                             CXError* pclError);
    static int bGetDiskFreeSpace(const wchar_t* pszPath, unsigned long long* pullFree, CXError* pclError);
    static int nCompareSystemTime(const _stXFILETIME* a, const _stXFILETIME* b);
    static int bSystemTimeToDosFileTime(const _stXFILETIME* pst, unsigned* pnDos);
    static int bDosFileTimeToSystemTime(unsigned nDos, _stXFILETIME* pst);

    // -----------------------------------------------------------------------
    // Wide-path system calls. Each hands its path(s) to the system function
    // as UTF-8 and answers the system's result unchanged, errno as the call
    // left it. A null path fails like the system call would (-1 or null,
    // errno EFAULT) without reaching the system.

    static int Unix_ropen(const wchar_t* path, int flags, unsigned mode);
    static int Unix_open(const wchar_t* path, int flags, unsigned mode);
    static int Unix_open(const wchar_t* path, int flags);
    static FILE* Unix_fopen(const wchar_t* path, const char* mode);
    static int Unix_stat(const wchar_t* path, struct stat64* status);
    static int Unix_lstat(const wchar_t* path, struct stat64* status);
    static int __Unix_statfs(const wchar_t* path, struct statfs64* status);
    static int Unix_access(const wchar_t* path, int mode);
    static int __Unix_chown(const wchar_t* path, unsigned uid, unsigned gid);
    static int Unix_chmod(const wchar_t* path, unsigned mode);
    static int Unix_utime(const wchar_t* path, const struct utimbuf* times);
    static int __Unix_rename(const wchar_t* from, const wchar_t* to);
    static int Unix_mkfifo(const wchar_t* path, unsigned mode);
    static int Unix_unlink(const wchar_t* path);
    static int __Unix_rmdir(const wchar_t* path);
    static int __Unix_mkdir(const wchar_t* path, unsigned mode);
    static DIR* __Unix_opendir(const wchar_t* path);
    static int Unix_chdir(const wchar_t* path);
    // A null command asks whether a shell is there, as system(NULL) does.
    static int Unix_system(const wchar_t* command);

    // The current directory into out (n characters; getcwd gets n bytes).
    static bool Unix_getcwd(wchar_t* out, unsigned n);
    // The home directory (HOME, else the real user's password entry) into
    // out (n characters); answers the characters written. With no home, or
    // one that does not fit, out is "." and the result 0.
    static int Unix_gethomedir(wchar_t* out, unsigned n);

private:
    // The failure of an open stream operation: level 3, module, system
    // error from the saved errno, the handle line and the message.
    void _Fail(int nSavedErrno, unsigned nId) const;
    int _bLockReport(int bOk, unsigned nId, unsigned long long ullOffset, unsigned long long ullLength) const;
    int _bLockRange(int nType, unsigned long long ullOffset, unsigned long long ullLength) const;
    void _FreeErrorName();

    wchar_t m_szName[261];
    int m_nFd;
    long long m_llOffset;
    wchar_t* m_pLineBuffer;
    wchar_t* m_pLineCursor;
    int m_nOpenFlags;
    wchar_t* m_pszErrorName;
};
