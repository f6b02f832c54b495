// The abstract byte stream the file object and the family's file formats
// work through. Every operation answers a success flag (sizes and offsets
// -1) and leaves the description of a failure in the stream's own error
// object. The base bodies are the "nothing to do" answers a stream that
// does not override an operation gives.
#pragma once

#include "common/platform/ZTUnknown.h"

#include <cstdarg>

class CXError;
class CTString;

// The lock-conflict code put into errno (and so into the error object's
// system code) when another process holds a conflicting lock.
const unsigned int XSTREAM_LOCK_CONFLICT = 0x80000000u;

class IXStream : public CZTUnknown {
public:
    // Open parameters, passed as plain integers.
    typedef int eACCESS;  // 0 read, 1 write, 2 both; -1 read
    typedef int eSHARE;   // 0 shared lock, 1 exclusive lock, 2 no lock
    typedef int eCREATE;  // 0 existing, 64 open or create, 576 create or truncate
    typedef int eFLAG;    // 0x10000 lets a directory be opened
    typedef int eSEEK;    // 0 start, 1 current, 2 end
    typedef int eGROW;    // 0 absolute size, 1 relative to the end
    typedef unsigned short eFORMAT;

    enum : int {
        ACCESS_READ = 0,
        ACCESS_WRITE = 1,
        ACCESS_READWRITE = 2,
        SHARE_READ = 0,
        SHARE_EXCLUSIVE = 1,
        SHARE_NONE = 2,
        CREATE_EXISTING = 0,
        CREATE_OPENORCREATE = 64,
        CREATE_TRUNCATE = 576,
        FLAG_DIRECTORY = 0x10000,
    };

    IXStream();
    IXStream(const IXStream&) = delete;
    IXStream& operator=(const IXStream&) = delete;

    // ---- Virtual operations, in slot order (0 to 2 are CZTUnknown's) -------
    ~IXStream() override;
    virtual int bOpen(const wchar_t* pszName, eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag,
                      int* pbCreated);
    virtual void Close() = 0;
    virtual int bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag);
    virtual int bWrite(long long llPosition, const void* p, unsigned n, unsigned* pnWritten);
    virtual int bRead(long long llPosition, void* p, unsigned n, unsigned* pnRead);
    virtual int bWrite(const void* p, unsigned n, unsigned* pnWritten);
    virtual int bRead(void* p, unsigned n, unsigned* pnRead);
    virtual int bSeek(long long llOffset, eSEEK eOrigin);
    virtual long long oGetSize();
    virtual long long oGetSizeFast();
    virtual int bFlush();
    virtual int bSetSize(long long llSize, eGROW eGrow);
    virtual int bIncreaseSize(long long llSize);
    virtual int bWriteString(const char* pszFormat, ...);
    virtual int bWriteStringList(const char* pszFormat, va_list args);
    virtual int bWriteString(const wchar_t* pszFormat, ...);
    virtual int bWriteStringList(const wchar_t* pszFormat, va_list args);
    // Flags bit 0: only CR LF ends a line.
    virtual int bReadLine(char* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags);
    virtual int bReadLine(wchar_t* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags);
    // n < 0: up to the end.
    virtual int bExtract(IXStream* pclDestination, long long n);
    virtual int bLockFile(unsigned long long ullOffset, unsigned long long ullLength) const;
    virtual int bUnlockFile(unsigned long long ullOffset, unsigned long long ullLength) const;
    virtual int bLock(unsigned long long ullOffset, unsigned long long ullLength) const;
    virtual int bUnlock(unsigned long long ullOffset, unsigned long long ullLength) const;
    virtual const wchar_t* pszGetName() const;
    virtual long long oGetOffset();
    virtual int bIsOpen() const;
    virtual CXError* pclGetXError() const;
    virtual CXError* _pclGetXError() const;
    virtual int vbSetNameForError(const wchar_t* pszName);
    virtual int veGetAccess() const = 0;
    virtual int bGetVFSFileName(wchar_t* pszName);
    virtual int bLockFileEx(int bLock, int bExclusive) const;
    virtual wchar_t* pszReadLine(wchar_t* pszBuffer, unsigned nSize, CTString* pclOverflow,
                                 const wchar_t* pszSeparator);
    virtual int bExtendFile(long long llSize);
    // Reserved slots.
    virtual void m539EmptyMethodXStream() {}
    virtual void m540EmptyMethodXStream() {}
    virtual void m541EmptyMethodXStream() {}
    virtual void m542EmptyMethodXStream() {}
    virtual void m543EmptyMethodXStream() {}
    virtual void m544EmptyMethodXStream() {}
    virtual void m545EmptyMethodXStream() {}
    virtual void m546EmptyMethodXStream() {}
    virtual void m547EmptyMethodXStream() {}
    virtual void m548EmptyMethodXStream() {}
    virtual void m549EmptyMethodXStream() {}
    virtual void m550EmptyMethodXStream() {}
    virtual void m551EmptyMethodXStream() {}
    virtual void m552EmptyMethodXStream() {}

protected:
    // One line of 8-bit or wide text into the buffer.
    template <typename T>
    int _bReadLine(T* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags);

    CXError* m_pclError; // one reference
};

// Copies n bytes (n < 0: up to the end) from the source's position to the
// destination's in blocks of 64 KiB; a block read past the wanted count is
// handed back with a seek. The source leaves off just after the copy.
template <class TSource, class TDestination>
int XSTREAM_bCopyBlocks(TSource& clSource, TDestination& clDestination, long long n);

#include "common/platform/XStreamCopy.inl"

