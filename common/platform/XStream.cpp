#include "common/platform/XStream.h"

#include "common/platform/FormatWin.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <new>

IXStream::IXStream() : m_pclError(new (std::nothrow) CXError(&gstMyModuleInfo32))
{
    if (m_pclError != nullptr)
        m_pclError->m_nRefCount++;
}

IXStream::~IXStream()
{
    if (m_pclError != nullptr)
        m_pclError->dwRelease();
    m_pclError = nullptr;
}

int IXStream::bOpen(const wchar_t*, eACCESS, eSHARE, eCREATE, eFLAG, int*) { return 1; }
int IXStream::bReopen(eACCESS, eSHARE, eCREATE, eFLAG) { return 1; }
int IXStream::bWrite(long long, const void*, unsigned, unsigned*) { return 1; }
int IXStream::bRead(long long, void*, unsigned, unsigned*) { return 1; }
int IXStream::bWrite(const void*, unsigned, unsigned*) { return 1; }
int IXStream::bRead(void*, unsigned, unsigned*) { return 1; }
int IXStream::bSeek(long long, eSEEK) { return 1; }
long long IXStream::oGetSize() { return 0; }
long long IXStream::oGetSizeFast() { return 0; }
int IXStream::bFlush() { return 1; }
int IXStream::bSetSize(long long, eGROW) { return 1; }
int IXStream::bIncreaseSize(long long) { return 1; }
int IXStream::bExtract(IXStream*, long long) { return 1; }
int IXStream::bLockFile(unsigned long long, unsigned long long) const { return 1; }
int IXStream::bUnlockFile(unsigned long long, unsigned long long) const { return 1; }
int IXStream::bLock(unsigned long long, unsigned long long) const { return 1; }
int IXStream::bUnlock(unsigned long long, unsigned long long) const { return 1; }
const wchar_t* IXStream::pszGetName() const { return nullptr; }
long long IXStream::oGetOffset() { return -1; }
int IXStream::bIsOpen() const { return 1; }
CXError* IXStream::pclGetXError() const { return m_pclError; }
CXError* IXStream::_pclGetXError() const { return m_pclError; }
int IXStream::vbSetNameForError(const wchar_t*) { return 1; }
int IXStream::bGetVFSFileName(wchar_t*) { return 0; }
int IXStream::bLockFileEx(int, int) const { return 1; }
wchar_t* IXStream::pszReadLine(wchar_t*, unsigned, CTString*, const wchar_t*) { return nullptr; }
int IXStream::bExtendFile(long long) { return 1; }

// ---- Formatted text -------------------------------------------------------

int IXStream::bWriteString(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int bOk = bWriteStringList(pszFormat, args);
    va_end(args);
    return bOk;
}

int IXStream::bWriteString(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int bOk = bWriteStringList(pszFormat, args);
    va_end(args);
    return bOk;
}

// The whole formatted text is written, however long.
int IXStream::bWriteStringList(const char* pszFormat, va_list args)
{
    if (pszFormat == nullptr)
        return 0;
    char* psz = nullptr;
    int n = vasprintf(&psz, pszFormat, args);
    if (n < 0)
        return 0;
    int bOk = n == 0 ? 1 : bWrite(psz, static_cast<unsigned>(n), nullptr);
    std::free(psz);
    return bOk;
}

int IXStream::bWriteStringList(const wchar_t* pszFormat, va_list args)
{
    if (pszFormat == nullptr)
        return 0;
    wchar_t* psz = nullptr;
    int n = vaswprintf(&psz, pszFormat, args);
    if (n < 0) {
        std::free(psz);
        return 0;
    }
    int bOk = n == 0 ? 1 : bWrite(psz, static_cast<unsigned>(n) * sizeof(wchar_t), nullptr);
    std::free(psz);
    return bOk;
}

// ---- Line readers ----------------------------------------------------------

int IXStream::bReadLine(char* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags)
{
    return _bReadLine<char>(pszBuffer, nSize, pbTruncated, nFlags);
}

int IXStream::bReadLine(wchar_t* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags)
{
    return _bReadLine<wchar_t>(pszBuffer, nSize, pbTruncated, nFlags);
}

// The stream position is the reader's only state: each line is read in
// chunks of 80 characters and the stream moved back to just after its end.
template <typename T>
int IXStream::_bReadLine(T* pszBuffer, unsigned nSize, int* pbTruncated, unsigned nFlags)
{
    enum { CHUNK = 80 };
    const T CR = 13, LF = 10;
    if (pbTruncated != nullptr)
        *pbTruncated = 0;
    if (pszBuffer == nullptr || nSize == 0)
        return 0;
    pszBuffer[0] = 0;
    const bool bCRLFMode = (nFlags & 1) != 0;
    unsigned nGathered = 0;
    bool bAnything = false;
    for (;;) {
        T aChunk[CHUNK + 2];
        unsigned nBytes = 0;
        if (!bRead(aChunk, CHUNK * sizeof(T), &nBytes))
            return 0;
        unsigned nRead = nBytes / sizeof(T);
        if (nBytes % sizeof(T) != 0) {
            // A trailing partial character is dropped, and left unread.
            if (!bSeek(-static_cast<long long>(nBytes % sizeof(T)), 1))
                return 0;
        }
        if (nRead == 0)
            return bAnything ? 1 : 0;
        bAnything = true;
        aChunk[nRead] = 0;

        // The line end: its position in the chunk and its length.
        long nEnd = -1;
        unsigned nEndLen = 0;
        unsigned nUsed = nRead; // characters of the chunk consumed from the stream
        if (!bCRLFMode) {
            // The earliest CR or LF ends the line.
            for (unsigned i = 0; i < nRead; i++) {
                if (aChunk[i] == LF) {
                    nEnd = static_cast<long>(i);
                    nEndLen = 1;
                    break;
                }
                if (aChunk[i] == CR) {
                    nEnd = static_cast<long>(i);
                    if (i + 1 < nRead) {
                        nEndLen = aChunk[i + 1] == LF ? 2 : 1;
                    } else {
                        // A CR last in the chunk: one more character decides.
                        T c = 0;
                        unsigned nMore = 0;
                        if (!bRead(&c, sizeof(T), &nMore))
                            return 0;
                        if (nMore == sizeof(T)) {
                            nUsed++;
                            nEndLen = c == LF ? 2 : 1;
                        } else {
                            if (nMore != 0 && !bSeek(-static_cast<long long>(nMore), 1))
                                return 0;
                            // The stream's last byte: it ends the line and is consumed.
                            nEndLen = 1;
                        }
                    }
                    break;
                }
            }
        } else {
            for (unsigned i = 0; i < nRead; i++) {
                if (aChunk[i] != CR)
                    continue;
                if (i + 1 < nRead) {
                    if (aChunk[i + 1] == LF) {
                        nEnd = static_cast<long>(i);
                        nEndLen = 2;
                        break;
                    }
                } else {
                    T c = 0;
                    unsigned nMore = 0;
                    if (!bRead(&c, sizeof(T), &nMore))
                        return 0;
                    if (nMore == sizeof(T)) {
                        if (c == LF) {
                            nUsed++;
                            nEnd = static_cast<long>(i);
                            nEndLen = 2;
                        } else if (!bSeek(-static_cast<long long>(sizeof(T)), 1)) {
                            return 0;
                        }
                    } else if (nMore != 0 && !bSeek(-static_cast<long long>(nMore), 1)) {
                        return 0;
                    }
                }
            }
        }
        unsigned nPiece = nEnd >= 0 ? static_cast<unsigned>(nEnd) : nRead;
        if (nGathered + nPiece < nSize) {
            for (unsigned i = 0; i < nPiece; i++)
                pszBuffer[nGathered + i] = aChunk[i];
            nGathered += nPiece;
            pszBuffer[nGathered] = 0;
            if (nEnd >= 0) {
                // Back to just after the end.
                long long llBack = static_cast<long long>(nUsed) - (nEnd + static_cast<long>(nEndLen));
                if (llBack > 0)
                    return bSeek(-llBack * static_cast<long long>(sizeof(T)), 1);
                return 1;
            }
            if (nRead < CHUNK)
                return 1;
            continue;
        }
        // Too long: the buffer is filled and the rest of the line is left.
        unsigned nTake = nSize - 1 - nGathered;
        for (unsigned i = 0; i < nTake; i++)
            pszBuffer[nGathered + i] = aChunk[i];
        pszBuffer[nSize - 1] = 0;
        if (pbTruncated != nullptr)
            *pbTruncated = 1;
        long long llBack = static_cast<long long>(nUsed) - nTake;
        if (llBack > 0)
            return bSeek(-llBack * static_cast<long long>(sizeof(T)), 1);
        return 1;
    }
}

template int IXStream::_bReadLine<char>(char*, unsigned, int*, unsigned);
template int IXStream::_bReadLine<wchar_t>(wchar_t*, unsigned, int*, unsigned);
