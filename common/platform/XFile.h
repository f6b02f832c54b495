// The file handle the common library hands around: it forwards every file
// operation to a stream, its own disk file by default or one given from
// outside, shared by reference count. Without a stream every forwarded
// operation answers failure.
#pragma once

#include "common/platform/XStream.h"

class CXFile {
public:
    CXFile();
    // The stream is shared: one reference is taken.
    explicit CXFile(IXStream* pclStream);
    CXFile(const CXFile&) = delete;
    CXFile& operator=(const CXFile&) = delete;

    // ---- Virtual operations, in slot order ------------------------------------
    virtual ~CXFile();
    virtual int bOpen(const wchar_t* pszName, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
                      IXStream::eCREATE eCreate, IXStream::eFLAG eFlag, int* pbCreated);
    virtual void Close();
    virtual int bReopen(IXStream::eACCESS eAccess, IXStream::eSHARE eShare, IXStream::eCREATE eCreate,
                        IXStream::eFLAG eFlag);
    virtual int bWrite(long long llPosition, const void* p, unsigned n, unsigned* pnWritten);
    virtual int bRead(long long llPosition, void* p, unsigned n, unsigned* pnRead);
    virtual int bWrite(const void* p, unsigned n, unsigned* pnWritten);
    virtual int bRead(void* p, unsigned n, unsigned* pnRead);
    virtual int bSeek(long long llOffset, IXStream::eSEEK eOrigin);
    virtual long long oGetSize();
    virtual long long oGetSizeFast();
    virtual int bFlush();
    virtual int bSetSize(long long llSize, IXStream::eGROW eGrow);
    virtual int bIncreaseSize(long long llSize);
    virtual int bWriteString(const char* pszFormat, ...);
    virtual int bWriteStringList(const char* pszFormat, va_list args);
    virtual int bWriteString(const wchar_t* pszFormat, ...);
    virtual int bWriteStringList(const wchar_t* pszFormat, va_list args);
    virtual int bReadLine(char* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags);
    virtual int bReadLine(wchar_t* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags);
    // Copies from this file's position to the destination's; n < 0: to the end.
    virtual int bExtract(CXFile* pclDestination, long long n);
    virtual int bLockFile(unsigned long long ullOffset, unsigned long long ullLength);
    virtual int bUnlockFile(unsigned long long ullOffset, unsigned long long ullLength);
    virtual int bLock(unsigned long long ullOffset, unsigned long long ullLength);
    virtual int bUnlock(unsigned long long ullOffset, unsigned long long ullLength);
    virtual const wchar_t* pszGetName() const;
    virtual long long oGetOffset();
    virtual int bIsOpen() const;
    virtual CXError* pclGetXError() const;
    virtual void _FreeStream();
    virtual IXStream* __xpclAllocDiskFile();
    virtual CXError* _pclGetXError() const;
    virtual int bReadLineUNICODE(wchar_t* pszBuffer, unsigned nSize, int* pbTruncated);
    virtual int veGetAccess() const;
    virtual void m242EmptyMethodXStream() {}
    virtual void m243EmptyMethodXStream() {}
    virtual void m244EmptyMethodXStream() {}
    virtual void m245EmptyMethodXStream() {}
    virtual void m246EmptyMethodXStream() {}
    virtual void m247EmptyMethodXStream() {}
    virtual void m248EmptyMethodXStream() {}
    virtual void m249EmptyMethodXStream() {}
    virtual void m250EmptyMethodXStream() {}
    virtual void m251EmptyMethodXStream() {}
    virtual void m252EmptyMethodXStream() {}
    virtual void m253EmptyMethodXStream() {}

    // ---- Stream management ------------------------------------------------------
    void SetStream(IXStream* pclStream);
    int bCreateStream();
    // The stream when it came from outside; null when owned or absent.
    IXStream* piGetStream() const { return m_bOwned ? nullptr : m_pclStream; }
    int bSetNameForError(const wchar_t* pszName);
    // The wide text, then CR LF, 4 bytes a character.
    int bWriteLine(const wchar_t* pszText);

protected:
    IXStream* m_pclStream;
    int m_bOwned;
};
