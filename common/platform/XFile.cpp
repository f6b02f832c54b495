#include "common/platform/XFile.h"

#include "common/platform/DiskFile.h"

#include <cstdlib>
#include <cwchar>
#include <new>

CXFile::CXFile() : m_pclStream(nullptr), m_bOwned(0) {}

CXFile::CXFile(IXStream* pclStream) : m_pclStream(pclStream), m_bOwned(0)
{
    if (m_pclStream != nullptr)
        m_pclStream->m_nRefCount++;
}

CXFile::~CXFile() { CXFile::_FreeStream(); }

void CXFile::_FreeStream()
{
    if (m_pclStream != nullptr)
        m_pclStream->dwRelease();
    m_pclStream = nullptr;
    m_bOwned = 0;
}

IXStream* CXFile::__xpclAllocDiskFile() { return new (std::nothrow) CDiskFile(); }

void CXFile::SetStream(IXStream* pclStream)
{
    if (pclStream != nullptr)
        pclStream->m_nRefCount++;
    _FreeStream();
    m_pclStream = pclStream;
}

int CXFile::bCreateStream()
{
    IXStream* pcl = __xpclAllocDiskFile();
    if (pcl == nullptr)
        return 0;
    SetStream(pcl);
    m_bOwned = 1;
    return 1;
}

int CXFile::bOpen(const wchar_t* pszName, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
                  IXStream::eCREATE eCreate, IXStream::eFLAG eFlag, int* pbCreated)
{
    if (m_pclStream == nullptr && !bCreateStream())
        return 0;
    return m_pclStream->bOpen(pszName, eAccess, eShare, eCreate, eFlag, pbCreated);
}

int CXFile::bSetNameForError(const wchar_t* pszName)
{
    if (m_pclStream == nullptr && !bCreateStream())
        return 0;
    return m_pclStream->vbSetNameForError(pszName);
}

void CXFile::Close()
{
    if (m_pclStream == nullptr)
        return;
    m_pclStream->Close();
    if (!m_bOwned)
        _FreeStream();
}

// ---- Forwarding: failure without a stream ------------------------------------------

int CXFile::bReopen(IXStream::eACCESS eAccess, IXStream::eSHARE eShare, IXStream::eCREATE eCreate,
                    IXStream::eFLAG eFlag)
{
    return m_pclStream != nullptr && m_pclStream->bReopen(eAccess, eShare, eCreate, eFlag);
}

int CXFile::bWrite(long long llPosition, const void* p, unsigned n, unsigned* pnWritten)
{
    return m_pclStream != nullptr && m_pclStream->bWrite(llPosition, p, n, pnWritten);
}

int CXFile::bRead(long long llPosition, void* p, unsigned n, unsigned* pnRead)
{
    return m_pclStream != nullptr && m_pclStream->bRead(llPosition, p, n, pnRead);
}

int CXFile::bWrite(const void* p, unsigned n, unsigned* pnWritten)
{
    return m_pclStream != nullptr && m_pclStream->bWrite(p, n, pnWritten);
}

int CXFile::bRead(void* p, unsigned n, unsigned* pnRead)
{
    return m_pclStream != nullptr && m_pclStream->bRead(p, n, pnRead);
}

int CXFile::bSeek(long long llOffset, IXStream::eSEEK eOrigin)
{
    return m_pclStream != nullptr && m_pclStream->bSeek(llOffset, eOrigin);
}

long long CXFile::oGetSize() { return m_pclStream != nullptr ? m_pclStream->oGetSize() : -1; }

long long CXFile::oGetSizeFast() { return m_pclStream != nullptr ? m_pclStream->oGetSizeFast() : -1; }

int CXFile::bFlush() { return m_pclStream != nullptr && m_pclStream->bFlush(); }

int CXFile::bSetSize(long long llSize, IXStream::eGROW eGrow)
{
    return m_pclStream != nullptr && m_pclStream->bSetSize(llSize, eGrow);
}

int CXFile::bIncreaseSize(long long llSize) { return m_pclStream != nullptr && m_pclStream->bIncreaseSize(llSize); }

int CXFile::bWriteString(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int bOk = bWriteStringList(pszFormat, args);
    va_end(args);
    return bOk;
}

int CXFile::bWriteStringList(const char* pszFormat, va_list args)
{
    return m_pclStream != nullptr && m_pclStream->bWriteStringList(pszFormat, args);
}

int CXFile::bWriteString(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int bOk = bWriteStringList(pszFormat, args);
    va_end(args);
    return bOk;
}

int CXFile::bWriteStringList(const wchar_t* pszFormat, va_list args)
{
    return m_pclStream != nullptr && m_pclStream->bWriteStringList(pszFormat, args);
}

int CXFile::bReadLine(char* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags)
{
    return m_pclStream != nullptr && m_pclStream->bReadLine(pszBuffer, nSize, pbTruncated, nFlags);
}

int CXFile::bReadLine(wchar_t* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags)
{
    return m_pclStream != nullptr && m_pclStream->bReadLine(pszBuffer, nSize, pbTruncated, nFlags);
}

int CXFile::bReadLineUNICODE(wchar_t* pszBuffer, unsigned nSize, int* pbTruncated)
{
    return bReadLine(pszBuffer, nSize, pbTruncated, 0);
}

int CXFile::bLockFile(unsigned long long ullOffset, unsigned long long ullLength)
{
    return m_pclStream != nullptr && m_pclStream->bLockFile(ullOffset, ullLength);
}

int CXFile::bUnlockFile(unsigned long long ullOffset, unsigned long long ullLength)
{
    return m_pclStream != nullptr && m_pclStream->bUnlockFile(ullOffset, ullLength);
}

int CXFile::bLock(unsigned long long ullOffset, unsigned long long ullLength)
{
    return m_pclStream != nullptr && m_pclStream->bLock(ullOffset, ullLength);
}

int CXFile::bUnlock(unsigned long long ullOffset, unsigned long long ullLength)
{
    return m_pclStream != nullptr && m_pclStream->bUnlock(ullOffset, ullLength);
}

const wchar_t* CXFile::pszGetName() const { return m_pclStream != nullptr ? m_pclStream->pszGetName() : nullptr; }

long long CXFile::oGetOffset() { return m_pclStream != nullptr ? m_pclStream->oGetOffset() : -1; }

int CXFile::bIsOpen() const { return m_pclStream != nullptr && m_pclStream->bIsOpen(); }

CXError* CXFile::pclGetXError() const { return m_pclStream != nullptr ? m_pclStream->pclGetXError() : nullptr; }

CXError* CXFile::_pclGetXError() const { return m_pclStream != nullptr ? m_pclStream->_pclGetXError() : nullptr; }

int CXFile::veGetAccess() const { return m_pclStream != nullptr ? m_pclStream->veGetAccess() : -1; }

int CXFile::bWriteLine(const wchar_t* pszText)
{
    if (pszText == nullptr)
        pszText = L"";
    const unsigned n = static_cast<unsigned>(std::wcslen(pszText));
    if (!bWrite(pszText, n * static_cast<unsigned>(sizeof(wchar_t)), nullptr))
        return 0;
    static const wchar_t s_szCRLF[2] = {L'\r', L'\n'};
    return bWrite(s_szCRLF, sizeof(s_szCRLF), nullptr);
}

int CXFile::bExtract(CXFile* pclDestination, long long n)
{
    if (pclDestination == nullptr)
        return 0;
    return XSTREAM_bCopyBlocks(*this, *pclDestination, n);
}
