// The disk file as an open stream: open with a whole-file lock, reads,
// writes, seeks, sizes, region locks and copies.
#include "common/platform/DiskFile.h"

#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/text/STR.h"
#include "common/text/SysUtils.h"
#include "common/text/TQBIN.h"
#include "common/text/Tstring.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace {

const unsigned COPY_BLOCK = 65536;  // the block of bConcat

// The open flags always added: non-blocking and large-file.
const int OPEN_BASE_FLAGS = O_NONBLOCK | O_LARGEFILE;

void* _HandleAsPointer(int fd) { return reinterpret_cast<void*>(static_cast<intptr_t>(fd)); }

}  // namespace

CDiskFile::CDiskFile()
    : m_nFd(-1), m_llOffset(0), m_pLineBuffer(nullptr), m_pLineCursor(nullptr), m_nOpenFlags(-1),
      m_pszErrorName(m_szName)
{
    m_szName[0] = 0;
}

CDiskFile::~CDiskFile()
{
    if (m_nFd != -1)
        Close();
    XMALLOC_Del_(m_pLineBuffer);
    m_pLineBuffer = nullptr;
    _FreeErrorName();
}

void CDiskFile::_FreeErrorName()
{
    if (m_pszErrorName != m_szName)
        XMALLOC_Del_(m_pszErrorName);
    m_pszErrorName = m_szName;
}

void CDiskFile::_Fail(int nSavedErrno, unsigned nId) const
{
    if (m_pclError == nullptr)
        return;
    errno = nSavedErrno;
    m_pclError->SetErrorLevel(EL_ERROR);
    m_pclError->InitModInfo(&gstMyModuleInfo32, 1);
    m_pclError->SetSystemErrorParam(static_cast<unsigned>(nSavedErrno));
    m_pclError->AddDebugMessagePrintf(L"##(IXStream)-Handle=<%p>##", _HandleAsPointer(m_nFd));
    if (nId != 0) {
        m_pclError->AddUserMessageFirst(&gstMyModuleInfo32, nId, m_pszErrorName);
        m_pclError->AddInfo(EIT_SRCFILE, m_pszErrorName);
    }
    errno = nSavedErrno;
}

// ---- Open and close -----------------------------------------------------------

int CDiskFile::bOpen(const wchar_t* pszName, eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag,
                     int* pbCreated)
{
    if (m_pclError != nullptr)
        m_pclError->RAZ();
    if (pbCreated != nullptr)
        *pbCreated = 0;
    unsigned nMessage = eCreate == CREATE_EXISTING ? 28139 : eCreate == CREATE_OPENORCREATE ? 28002
                      : eCreate == CREATE_TRUNCATE ? 28140 : 0;
    if (m_nFd != -1)
        Close();
    // Anything the full path does not fit into fails cleanly.
    if (pszName != m_szName) {
        if (pszName == nullptr) {
            m_szName[0] = 0;
            _Fail(EINVAL, nMessage);
            return 0;
        }
        CTString clName(pszName);
        if (std::wcschr(pszName, L'\\') != nullptr)
            pszBackSlash2Slash(clName);
        wchar_t szFull[261];
        unsigned n = GetFullPathName(clName.pszGet(), 260, szFull, nullptr);
        if (n == 0 || n >= 260) {
            STR_nCopy(m_szName, 261, clName.pszGet(), -1);
            _Fail(n == 0 ? ENOENT : ENAMETOOLONG, nMessage);
            return 0;
        }
        std::wmemcpy(m_szName, szFull, n + 1);
    }

    bool bDirectory = false;
    int nFlags;
    if (eFlag == FLAG_DIRECTORY && bIsADirectory(m_szName)) {
        nFlags = FLAG_DIRECTORY;
        bDirectory = true;
    } else {
        nFlags = OPEN_BASE_FLAGS;
        if (eAccess != -1)
            nFlags |= eAccess;
    }

    // Truncation waits for the lock: a file another process holds is
    // never emptied.
    bool bTruncate = false;
    if (bDirectory) {
        m_nOpenFlags = nFlags;
        m_nFd = Unix_ropen(m_szName, O_RDONLY | O_DIRECTORY, 0666);
    } else if (eCreate == CREATE_OPENORCREATE) {
        m_nOpenFlags = nFlags;
        m_nFd = Unix_ropen(m_szName, nFlags, 0666);
        if (m_nFd != -1) {
            errno = EEXIST;
        } else {
            nFlags |= O_CREAT;
            m_nOpenFlags = nFlags;
            m_nFd = Unix_ropen(m_szName, nFlags, 0666);
            if (m_nFd != -1 && pbCreated != nullptr)
                *pbCreated = 1;
        }
    } else {
        nFlags |= eCreate;
        m_nOpenFlags = nFlags;
        bTruncate = (nFlags & O_TRUNC) != 0;
        m_nFd = Unix_ropen(m_szName, nFlags & ~O_TRUNC, 0666);
    }

    if (m_nFd != -1 && !bDirectory) {
        int nSavedErrno = errno;
        struct flock64 stLock;
        std::memset(&stLock, 0, sizeof(stLock));
        stLock.l_type = static_cast<short>(eShare);
        stLock.l_whence = SEEK_SET;
        if (fcntl(m_nFd, F_SETLK64, &stLock) != 0) {
            close(m_nFd);
            m_nFd = -1;
            errno = static_cast<int>(XSTREAM_LOCK_CONFLICT);
        } else if (bTruncate && ftruncate64(m_nFd, 0) != 0) {
            nSavedErrno = errno;
            close(m_nFd);
            m_nFd = -1;
            errno = nSavedErrno;
        } else {
            errno = nSavedErrno;
        }
    }

    if (m_nFd == -1) {
        int nSavedErrno = errno;
        m_nOpenFlags = -1;
        _Fail(nSavedErrno, nMessage);
        return 0;
    }
    if (eCreate == CREATE_TRUNCATE && pbCreated != nullptr)
        *pbCreated = 1;
    m_llOffset = 0;
    return 1;
}

void CDiskFile::Close()
{
    if (m_nFd == -1)
        return;
    // Linux releases the descriptor even when close reports a failure.
    close(m_nFd);
    m_nFd = -1;
    m_llOffset = 0;
    m_nOpenFlags = -1;
    _FreeErrorName();
}

int CDiskFile::bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag)
{
    Close();
    return bOpen(m_szName, eAccess, eShare, eCreate, eFlag, nullptr);
}

int CDiskFile::vbSetNameForError(const wchar_t* pszName)
{
    _FreeErrorName();
    if (pszName == nullptr)
        return 1;
    wchar_t* psz = STR_pszCreate(pszName);
    if (psz == nullptr)
        return 0;
    m_pszErrorName = psz;
    return 1;
}

// ---- Transfers ---------------------------------------------------------------------

int CDiskFile::bWrite(const void* p, unsigned n, unsigned* pnWritten)
{
    if (m_pclError != nullptr)
        m_pclError->RAZ();
    if (n == 0) {
        if (pnWritten != nullptr)
            *pnWritten = 0;
        return 1;
    }
    ssize_t nDone = m_nFd == -1 ? (errno = EBADF, -1) : write(m_nFd, p, n);
    unsigned nCount = nDone > 0 ? static_cast<unsigned>(nDone) : 0;
    m_llOffset += nCount;
    if (pnWritten != nullptr)
        *pnWritten = nCount;
    if (nCount == n)
        return 1;
    int nSavedErrno = nDone < 0 ? errno : ENOSPC;
    if (m_pclError != nullptr) {
        _Fail(nSavedErrno, 0);
        m_pclError->AddDebugMessagePrintf(L"##(IXStream)-Access=<%x>##", m_nOpenFlags);
        m_pclError->AddUserMessageFirst(&gstMyModuleInfo32, 28008, m_pszErrorName);
        m_pclError->AddInfo(EIT_SRCFILE, m_pszErrorName);
    }
    errno = nSavedErrno;
    return 0;
}

int CDiskFile::bRead(void* p, unsigned n, unsigned* pnRead)
{
    if (m_pclError != nullptr)
        m_pclError->RAZ();
    const bool bExact = pnRead == nullptr;
    if (pnRead != nullptr)
        *pnRead = 0;
    ssize_t nDone = m_nFd == -1 ? (errno = EBADF, -1) : read(m_nFd, p, n);
    unsigned nCount = nDone > 0 ? static_cast<unsigned>(nDone) : 0;
    m_llOffset += nCount;
    if (pnRead != nullptr)
        *pnRead = nCount;
    if (nDone >= 0 && (!bExact || nCount == n))
        return 1;
    int nSavedErrno = nDone < 0 ? errno : 0;
    if (m_pclError != nullptr) {
        _Fail(nSavedErrno, 0);
        m_pclError->AddDebugMessagePrintf(L"##(IXStream)-bExact=<%d>##", bExact ? 1 : 0);
        m_pclError->AddDebugMessagePrintf(L"##(IXStream)-A lire=<%u>, lu=<%u>##", n, nCount);
        m_pclError->AddUserMessageFirst(&gstMyModuleInfo32, 28003, m_pszErrorName);
        m_pclError->AddInfo(EIT_SRCFILE, m_pszErrorName);
    }
    errno = nSavedErrno;
    return 0;
}

int CDiskFile::bWrite(long long llPosition, const void* p, unsigned n, unsigned* pnWritten)
{
    if (llPosition != m_llOffset && !bSeek(llPosition, 0))
        return 0;
    return bWrite(p, n, pnWritten);
}

int CDiskFile::bRead(long long llPosition, void* p, unsigned n, unsigned* pnRead)
{
    if (llPosition != m_llOffset && !bSeek(llPosition, 0))
        return 0;
    return bRead(p, n, pnRead);
}

int CDiskFile::bSeek(long long llOffset, eSEEK eOrigin)
{
    if (m_pclError != nullptr)
        m_pclError->RAZ();
    off64_t o = m_nFd == -1 ? (errno = EBADF, -1) : lseek64(m_nFd, llOffset, eOrigin);
    if (o == -1) {
        _Fail(errno, 28005);
        return 0;
    }
    m_llOffset = o;
    return 1;
}

long long CDiskFile::oGetSize()
{
    long long llHere = m_llOffset;
    if (!bSeek(0, 2))
        return -1;
    long long llSize = m_llOffset;
    if (!bSeek(llHere, 0))
        return -1;
    return llSize;
}

long long CDiskFile::oGetSizeFast()
{
    return bSeek(0, 2) ? m_llOffset : -1;
}

int CDiskFile::bFlush()
{
    if (m_pclError != nullptr)
        m_pclError->RAZ();
    if (m_nFd == -1 || fsync(m_nFd) != 0) {
        _Fail(m_nFd == -1 ? EBADF : errno, 28001);
        return 0;
    }
    return 1;
}

int CDiskFile::bSetSize(long long llSize, eGROW eGrow)
{
    if (eGrow == 0) {
        if (!bSeek(llSize, 0))
            return 0;
    } else if (eGrow == 1) {
        if (!bSeek(llSize, 2))
            return 0;
    } else {
        return 0;
    }
    off64_t o = lseek64(m_nFd, 0, SEEK_CUR);
    if (o == -1 || ftruncate64(m_nFd, o) != 0) {
        _Fail(errno, 28004);
        return 0;
    }
    return 1;
}

// The last byte is written only when the file grew: a shrink needs none,
// and a zero over the old last byte would corrupt it.
int CDiskFile::bExtendFile(long long llSize)
{
    long long llOld = oGetSize();
    if (llOld < 0 || !bSetSize(llSize, 0) || llSize == 0)
        return 0;
    if (llSize <= llOld)
        return 1;
    const unsigned char c = 0;
    return bWrite(llSize - 1, &c, 1, nullptr);
}

int CDiskFile::bIncreaseSize(long long llSize)
{
    if (llSize == 0)
        return 1;
    if (!bSeek(llSize - 1, 2))
        return 0;
    const unsigned char c = 0;
    return bWrite(&c, 1, nullptr);
}

// ---- Locks ------------------------------------------------------------------------

int CDiskFile::_bLockRange(int nType, unsigned long long ullOffset, unsigned long long ullLength) const
{
    struct flock64 stLock;
    std::memset(&stLock, 0, sizeof(stLock));
    stLock.l_type = static_cast<short>(nType);
    stLock.l_whence = SEEK_SET;
    stLock.l_start = static_cast<off64_t>(ullOffset);
    stLock.l_len = static_cast<off64_t>(ullLength);
    if (fcntl(m_nFd, F_SETLK64, &stLock) == 0)
        return 1;
    if (nType == F_UNLCK || errno == EACCES || errno == EAGAIN || errno == EDEADLK)
        errno = static_cast<int>(XSTREAM_LOCK_CONFLICT);
    return 0;
}

int CDiskFile::bLock(unsigned long long ullOffset, unsigned long long ullLength) const
{
    const int nAccess = m_nOpenFlags == -1 ? 0 : (m_nOpenFlags & O_ACCMODE);
    return _bLockRange(nAccess == O_WRONLY || nAccess == O_RDWR ? F_WRLCK : F_RDLCK, ullOffset, ullLength);
}

int CDiskFile::bLockShare(unsigned long long ullOffset, unsigned long long ullLength) const
{
    return _bLockRange(F_RDLCK, ullOffset, ullLength);
}

int CDiskFile::bUnlock(unsigned long long ullOffset, unsigned long long ullLength) const
{
    return _bLockRange(F_UNLCK, ullOffset, ullLength);
}

// The failure of a region lock or unlock, with the message of each.
int CDiskFile::_bLockReport(int bOk, unsigned nId, unsigned long long ullOffset,
                            unsigned long long ullLength) const
{
    if (bOk)
        return 1;
    int nSavedErrno = errno;
    _Fail(nSavedErrno, 0);
    if (m_pclError != nullptr) {
        m_pclError->AddUserMessageFirst(&gstMyModuleInfo32, nId, m_pszErrorName, static_cast<unsigned>(ullOffset),
                                        static_cast<unsigned>(ullLength));
        m_pclError->AddInfo(EIT_SRCFILE, m_pszErrorName);
    }
    errno = nSavedErrno;
    return 0;
}

int CDiskFile::bLockFile(unsigned long long ullOffset, unsigned long long ullLength) const
{
    if (m_pclError != nullptr)
        m_pclError->RAZ();
    return _bLockReport(bLock(ullOffset, ullLength), 28145, ullOffset, ullLength);
}

int CDiskFile::bUnlockFile(unsigned long long ullOffset, unsigned long long ullLength) const
{
    if (m_pclError != nullptr)
        m_pclError->RAZ();
    return _bLockReport(bUnlock(ullOffset, ullLength), 28146, ullOffset, ullLength);
}

int CDiskFile::bLockFileEx(int bLock, int bExclusive) const
{
    struct flock64 stLock;
    std::memset(&stLock, 0, sizeof(stLock));
    stLock.l_whence = SEEK_SET;
    stLock.l_start = 0;
    stLock.l_len = 2;
    if (!bLock) {
        stLock.l_type = F_UNLCK;
        fcntl(m_nFd, F_SETLK64, &stLock);
        return 1;
    }
    if (m_pclError != nullptr)
        m_pclError->RAZ();
    stLock.l_type = bExclusive ? F_WRLCK : F_RDLCK;
    return _bLockReport(fcntl(m_nFd, F_SETLKW64, &stLock) == 0, 28145, 0, 1);
}

// ---- Times --------------------------------------------------------------------------

int CDiskFile::bGetTime(_stXFILETIME* pCreation, _stXFILETIME* pAccess, _stXFILETIME* pWrite) const
{
    FILETIME ftCreation, ftAccess, ftWrite;
    if (!GetFileTime(m_nFd, &ftCreation, &ftAccess, &ftWrite))
        return 0;
    if (pCreation != nullptr && !bFileTimeToSystemTime(&ftCreation, pCreation))
        return 0;
    if (pAccess != nullptr && !bFileTimeToSystemTime(&ftAccess, pAccess))
        return 0;
    if (pWrite != nullptr && !bFileTimeToSystemTime(&ftWrite, pWrite))
        return 0;
    return 1;
}

int CDiskFile::bSetTime(const FILETIME* pCreation, const FILETIME* pAccess, const FILETIME* pWrite) const
{
    return SetFileTime(m_szName, pCreation, pAccess, pWrite) ? 1 : 0;
}

int CDiskFile::bSetTime(const _stXFILETIME*, const _stXFILETIME* pAccess, const _stXFILETIME* pWrite) const
{
    FILETIME ftAccess, ftWrite;
    if (pAccess != nullptr && !bSystemTimeToFileTime(pAccess, &ftAccess))
        return 0;
    if (pWrite != nullptr && !bSystemTimeToFileTime(pWrite, &ftWrite))
        return 0;
    return bSetTime(static_cast<const FILETIME*>(nullptr), pAccess != nullptr ? &ftAccess : nullptr,
                    pWrite != nullptr ? &ftWrite : nullptr);
}

// ---- Copies ----------------------------------------------------------------------------

int CDiskFile::bExtract(IXStream* pclDestination, long long n)
{
    if (pclDestination == nullptr)
        return 0;
    return XSTREAM_bCopyBlocks(*this, *pclDestination, n);
}

int CDiskFile::bExtract(const wchar_t* pszPath, long long llOffset, long long llLength)
{
    if (!bSeek(llOffset, 0))
        return 0;
    CDiskFile clDestination;
    if (!clDestination.bOpen(pszPath, ACCESS_WRITE, SHARE_NONE, CREATE_TRUNCATE, 0, nullptr))
        return 0;
    if (bExtract(&clDestination, llLength))
        return 1;
    clDestination.Close();
    bDelete(pszPath, nullptr);
    return 0;
}

int CDiskFile::bExtractFromFile(const wchar_t* pszPath, long long llOffset, long long llLength)
{
    if (!bSeek(0, 2))
        return 0;
    CDiskFile clSource;
    if (!clSource.bOpen(pszPath, ACCESS_READ, SHARE_NONE, CREATE_EXISTING, 0, nullptr))
        return 0;
    if (!clSource.bSeek(llOffset, 0))
        return 0;
    return clSource.bExtract(this, llLength);
}

int CDiskFile::bExtract(const wchar_t* pszDestination, const wchar_t* pszSource, long long llOffset,
                        long long llLength)
{
    CDiskFile clSource;
    if (!clSource.bOpen(pszSource, ACCESS_READ, SHARE_NONE, CREATE_OPENORCREATE, 0, nullptr))
        return 0;
    return clSource.bExtract(pszDestination, llOffset, llLength);
}

int CDiskFile::bConcat(const wchar_t* pszDestination, const wchar_t* pszSource)
{
    CDiskFile clSource, clDestination;
    if (!clSource.bOpen(pszSource, ACCESS_READ, SHARE_NONE, CREATE_OPENORCREATE, 0, nullptr))
        return 0;
    if (!clDestination.bOpen(pszDestination, ACCESS_WRITE, SHARE_NONE, CREATE_OPENORCREATE, 0, nullptr))
        return 0;
    if (!clDestination.bSeek(0, 2))
        return 0;
    const long long llOldSize = clDestination.oGetOffset();
    unsigned char* pBuffer = static_cast<unsigned char*>(XMALLOC_pNew_(COPY_BLOCK));
    if (pBuffer == nullptr)
        return 0;
    int bOk = 1;
    for (;;) {
        unsigned nRead = 0;
        if (!clSource.bRead(pBuffer, COPY_BLOCK, &nRead) ||
            (nRead > 0 && !clDestination.bWrite(pBuffer, nRead, nullptr))) {
            clDestination.bSetSize(llOldSize, 0);
            bOk = 0;
            break;
        }
        if (nRead < COPY_BLOCK)
            break;
    }
    XMALLOC_Del_(pBuffer);
    return bOk;
}

int CDiskFile::bOpenExclusifReessais(const wchar_t* pszName, int bByCount, unsigned n, eACCESS eAccess,
                                     eCREATE eCreate, eFLAG eFlag, int* pbCreated)
{
    if (eAccess == 0)
        eAccess = ACCESS_READWRITE;
    const DWORD dwStart = GetTickCount();
    unsigned nLeft = n;
    for (;;) {
        if (bOpen(pszName, eAccess, SHARE_EXCLUSIVE, eCreate, eFlag, pbCreated))
            return 1;
        const CXError* pclError = _pclGetXError();
        if (pclError == nullptr || pclError->dwGetSystemErrorCode() != XSTREAM_LOCK_CONFLICT)
            return 0;
        if (!bByCount) {
            const DWORD dwNow = GetTickCount();
            if (dwNow < dwStart || dwNow - dwStart > n)
                return 0;
            usleep(100000);
        } else {
            // n = 0 counts down through zero: 2^32 attempts.
            if (--nLeft == 0)
                return 0;
            sched_yield();
        }
    }
}

int CDiskFile::bChargeFichier(CTQBIN& clOut, const wchar_t* pszPath, CXError* pclError)
{
    CDiskFile clFile;
    bool bOk = clFile.bOpen(pszPath, ACCESS_READ, SHARE_NONE, CREATE_EXISTING, 0, nullptr) != 0;
    long long llSize = bOk ? clFile.oGetSize() : -1;
    if (bOk && (llSize < 0 || llSize > 0x7FFFFFF0LL)) {
        bOk = false;
        if (llSize >= 0 && clFile.m_pclError != nullptr) {
            clFile.m_pclError->SetErrorNoMemory();
        }
    }
    if (bOk && llSize > 0) {
        if (clOut.nSetSize(static_cast<int>(llSize)) != STRMEM_OK || clOut.pGetData() == nullptr) {
            bOk = false;
            if (clFile.m_pclError != nullptr)
                clFile.m_pclError->SetErrorNoMemory();
        } else {
            bOk = clFile.bRead(clOut.pGetData(), static_cast<unsigned>(llSize), nullptr) != 0;
        }
    } else if (bOk) {
        clOut.nSetSize(0);
    }
    if (!bOk && pclError != nullptr && clFile.m_pclError != nullptr)
        pclError->LightCopy(clFile.m_pclError);
    return bOk ? 1 : 0;
}
