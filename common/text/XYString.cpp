#include "common/text/XYString.h"

#include "common/platform/InformationDLL.h"
#include "common/text/CodePage.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"
#include "common/text/TextCompare.h"
#include "common/text/UnicodeCodec.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr std::int64_t kTerminatorBytes = 4;
constexpr int kCodePageUTF8 = CP_UTF8;

template <class T>
std::int64_t nLen(const T* s)
{
    return static_cast<std::int64_t>(TXT_nLen(s));
}

// Bytes of n units of T, or -1 when that is over the limits of a block.
template <class T>
std::int64_t nBytesOf(std::int64_t n)
{
    if (n < 0 || n > STRMEM_MAX_SIZE)
        return -1;
    const std::int64_t nBytes = n * static_cast<std::int64_t>(sizeof(T));
    return nBytes > STRMEM_MAX_SIZE ? -1 : nBytes;
}
}  // namespace

// ---- Block operations --------------------------------------------------------

void CBaseStrMem::s_AddRefStrMem(void* pData)
{
    if (pData != nullptr)
        __atomic_add_fetch(&s_pHeader(pData)->nRefCount, 1, __ATOMIC_ACQ_REL);
}

void CBaseStrMem::s_ReleaseStrMem(void* pData)
{
    if (pData == nullptr)
        return;
    if (__atomic_sub_fetch(&s_pHeader(pData)->nRefCount, 1, __ATOMIC_ACQ_REL) == 0) {
        IStrMemAlloc* piAlloc = CInformationModule::ms_piStrMemAlloc;
        if (piAlloc != nullptr)
            piAlloc->Free(pData);
    }
}

std::int32_t CBaseStrMem::s_nGetRefCount(const void* pData)
{
    return __atomic_load_n(&s_pHeader(pData)->nRefCount, __ATOMIC_ACQUIRE);
}

int CBaseStrMem::s_nAllocBlock(void** ppData, std::int64_t nBytes)
{
    if (nBytes < 0 || nBytes > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    IStrMemAlloc* piAlloc = CInformationModule::ms_piStrMemAlloc;
    if (piAlloc == nullptr)
        return STRMEM_ERROR_NO_ALLOCATOR;
    void* pData = nullptr;
    const int nError = piAlloc->nAlloc(&pData, static_cast<unsigned>(nBytes));
    if (nError != 0)
        return nError;
    if (pData == nullptr)
        return STRMEM_ERROR_NO_ALLOCATOR;
    s_pHeader(pData)->nLength = 0;
    *ppData = pData;
    return STRMEM_OK;
}

int CBaseStrMem::s_nReallocBlock(void** ppData, std::int64_t nBytes)
{
    if (nBytes < 0 || nBytes > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    IStrMemAlloc* piAlloc = CInformationModule::ms_piStrMemAlloc;
    if (piAlloc == nullptr)
        return STRMEM_ERROR_NO_ALLOCATOR;
    void* pData = *ppData;
    const int nError = piAlloc->nRealloc(&pData, static_cast<unsigned>(nBytes));
    if (nError != 0)
        return nError;
    if (pData == nullptr)
        return STRMEM_ERROR_NO_ALLOCATOR;
    *ppData = pData;
    return STRMEM_OK;
}

bool CBaseStrMem::s_bInBlock(const void* pData, const void* p, std::int64_t nBytes)
{
    if (pData == nullptr || p == nullptr || nBytes <= 0)
        return false;
    const std::uintptr_t nStart = reinterpret_cast<std::uintptr_t>(pData);
    const std::uintptr_t nEnd = nStart + s_pHeader(pData)->nCapacity + kTerminatorBytes;
    const std::uintptr_t nFrom = reinterpret_cast<std::uintptr_t>(p);
    return nFrom < nEnd && nFrom + static_cast<std::uintptr_t>(nBytes) > nStart;
}

std::int64_t CBaseStrMem::s_nMovingOffset(const void* pData, const void* src, std::int64_t nBytes)
{
    if (!s_bInBlock(pData, src, nBytes) || s_bShared(pData))
        return -1;
    const std::uintptr_t nStart = reinterpret_cast<std::uintptr_t>(pData);
    const std::uintptr_t nFrom = reinterpret_cast<std::uintptr_t>(src);
    return nFrom < nStart ? -1 : static_cast<std::int64_t>(nFrom - nStart);
}

// ---- Handle management ----------------------------------------------------------

template <class T>
CXYString<T>::CXYString(const T* src, int n) : m_pData(nullptr)
{
    __nNew(n, src, n);
}

template <>
CXYString<char>::CXYString(const char* src) : m_pData(nullptr)
{
    if (src == nullptr)
        return;
    const std::int64_t n = nLen(src);
    if (n <= STRMEM_MAX_SIZE)
        __nNew(static_cast<int>(n), src, static_cast<int>(n));
}

template <class T>
void CXYString<T>::_SetLength(std::int64_t n)
{
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    const std::int64_t nBytes = n * static_cast<std::int64_t>(sizeof(T));
    CBaseStrMem::s_pHeader(m_pData)->nLength = static_cast<std::uint32_t>(nBytes);
    std::memset(reinterpret_cast<char*>(m_pData) + nBytes, 0, kTerminatorBytes);
}

template <class T>
int CXYString<T>::__nNew(int n, const T* src, int count)
{
    if (n == 0)
        return STRMEM_OK;
    const std::int64_t nBytes = nBytesOf<T>(n);
    if (nBytes < 0)
        return STRMEM_ERROR_TOO_LONG;
    void* pData = nullptr;
    const int nError = CBaseStrMem::s_nAllocBlock(&pData, nBytes);
    if (nError != STRMEM_OK)
        return nError;
    m_pData = static_cast<T*>(pData);
    _SetLength(0);
    __FillDynStr(src, count < n ? count : n, 0);
    return STRMEM_OK;
}

template <class T>
void CXYString<T>::__FillDynStr(const T* src, int count, int offset)
{
    if (src == nullptr || m_pData == nullptr || count < 0 || offset < 0)
        return;
    const std::int64_t nEnd = static_cast<std::int64_t>(offset) + count;
    if (nEnd * static_cast<std::int64_t>(sizeof(T)) > CBaseStrMem::s_pHeader(m_pData)->nCapacity)
        return;
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    std::memmove(m_pData + offset, src, static_cast<size_t>(count) * sizeof(T));
    _SetLength(nEnd);
}

template <class T>
int CXYString<T>::_nPrepare(std::int64_t n)
{
    if (n < 0)
        n = 0;
    const std::int64_t nBytes = nBytesOf<T>(n);
    if (nBytes < 0)
        return STRMEM_ERROR_TOO_LONG;
    if (m_pData == nullptr)
        return __nNew(static_cast<int>(n), nullptr, 0);

    CBaseStrMem::STHeader* pHeader = CBaseStrMem::s_pHeader(m_pData);
    if (CBaseStrMem::s_nGetRefCount(m_pData) < 2) {
        if (nBytes <= pHeader->nCapacity)
            return STRMEM_OK;
        void* pData = m_pData;
        const int nError = CBaseStrMem::s_nReallocBlock(&pData, nBytes);
        if (nError != STRMEM_OK)
            return nError;
        m_pData = static_cast<T*>(pData);
        return STRMEM_OK;
    }

    // Shared: an own copy of the whole text with room for n units. The
    // handle keeps its reference until the copy exists. An empty text gets
    // a block too: callers write the length through the handle.
    const std::int64_t nLength = nGetLength();
    const std::int64_t nKeep = n > nLength ? n : nLength;
    void* pCopy = nullptr;
    const int nError = CBaseStrMem::s_nAllocBlock(&pCopy, nBytesOf<T>(nKeep));
    if (nError != STRMEM_OK)
        return nError;
    CXYString copy;
    copy.m_pData = static_cast<T*>(pCopy);
    std::memcpy(copy.m_pData, m_pData, static_cast<size_t>(nLength) * sizeof(T));
    copy._SetLength(nLength);
    CBaseStrMem::s_pHeader(copy.m_pData)->dwFlags = pHeader->dwFlags;
    XSwap(m_pData, copy.m_pData);
    return STRMEM_OK;
}

template <class T>
int CXYString<T>::__nPrepareModification(int n)
{
    if (n < 0)
        return STRMEM_ERROR_TOO_LONG;
    return _nPrepare(n);
}

template <class T>
int CXYString<T>::nSetLength(int n)
{
    if (m_pData == nullptr)
        return __nNew(n, nullptr, 0);
    return __nPrepareModification(n);
}

template <class T>
void CXYString<T>::SetUtilLength(int n, int bRelease)
{
    if (m_pData == nullptr)
        return;
    if (n < 1 && bRelease) {
        _Release();
        return;
    }
    if (n < 0)
        n = 0;
    // A shared block is copied first, a short one grown: the length never
    // points past the room.
    if (_nPrepare(n) != STRMEM_OK || m_pData == nullptr)
        return;
    _SetLength(n);
}

// ---- Text operations -------------------------------------------------------------

template <class T>
int CXYString<T>::nConcat(const T* src, int n)
{
    if (n < 1 || src == nullptr)
        return STRMEM_OK;
    if (m_pData == nullptr)
        return __nNew(n, src, n);
    const std::int64_t nLength = nGetLength();
    if (nBytesOf<T>(nLength + n) < 0)
        return STRMEM_ERROR_TOO_LONG;
    const std::int64_t nOffset = CBaseStrMem::s_nMovingOffset(m_pData, src, nBytesOf<T>(n));
    const int nError = _nPrepare(nLength + n);
    if (nError != STRMEM_OK)
        return nError;
    src = CBaseStrMem::s_pAfterGrowth(m_pData, src, nOffset);
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    CBaseStrMem::s_pHeader(m_pData)->dwFlags &= ~CBaseStrMem::FLAG_SENTINEL;
    __FillDynStr(src, n, static_cast<int>(nLength));
    return STRMEM_OK;
}

template <>
int CXYString<wchar_t>::nConcat(const CXYString<wchar_t>& other)
{
    if (other.m_pData == nullptr)
        return STRMEM_OK;
    if (m_pData == nullptr) {
        m_pData = other.m_pData;
        CBaseStrMem::s_AddRefStrMem(m_pData);
        return STRMEM_OK;
    }
    const std::int64_t nLength = nGetLength();
    const std::int64_t nOther = other.nGetLength();
    if (nBytesOf<wchar_t>(nLength + nOther) < 0)
        return STRMEM_ERROR_TOO_LONG;
    // Read before the gate: the other may be this very handle. When it holds
    // the same block, its text is the own text, which the gate keeps at the
    // start of whatever block this handle ends up with.
    const bool bSameBlock = other.m_pData == m_pData;
    const std::uint32_t dwOtherMark = other.dwGetFlags() & CBaseStrMem::FLAG_SENTINEL;
    const int nError = _nPrepare(nLength + nOther);
    if (nError != STRMEM_OK)
        return nError;
    const wchar_t* pSrc = bSameBlock ? m_pData : other.m_pData;
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    std::memcpy(m_pData + nLength, pSrc, static_cast<size_t>(nOther) * sizeof(wchar_t));
    _SetLength(nLength + nOther);
    CBaseStrMem::STHeader* pHeader = CBaseStrMem::s_pHeader(m_pData);
    pHeader->dwFlags = (pHeader->dwFlags & ~CBaseStrMem::FLAG_SENTINEL) | dwOtherMark;
    return STRMEM_OK;
}

template <>
void CXYString<wchar_t>::Tronque(int n)
{
    if (m_pData == nullptr || n < 0 || n >= nGetLength())
        return;
    if (!CBaseStrMem::s_bShared(m_pData)) {
        CBaseStrMem::s_pHeader(m_pData)->dwFlags &= ~CBaseStrMem::FLAG_SENTINEL;
        _SetLength(n);
        return;
    }
    CXYString<wchar_t> copy;
    if (copy.__nNew(n, m_pData, n) != STRMEM_OK)
        return;
    XSwap(m_pData, copy.m_pData);
}

template <>
void CXYString<wchar_t>::Supprime(int pos, int n)
{
    const int nLength = nGetLength();
    if (nLength == 0 || pos < 0 || pos >= nLength || n < 0)
        return;
    if (n > nLength - pos)
        n = nLength - pos;
    if (n == 0 || _nPrepare(nLength) != STRMEM_OK)
        return;
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    std::memmove(m_pData + pos, m_pData + pos + n, static_cast<size_t>(nLength - pos - n) * sizeof(wchar_t));
    _SetLength(nLength - n);
}

template <>
void CXYString<wchar_t>::Remplace(int pos, int n, const wchar_t* src, int srcLen)
{
    const int nLength = nGetLength();
    if (nLength == 0 || pos < 0 || pos >= nLength || n < 0)
        return;
    if (src == nullptr)
        srcLen = 0;
    else if (srcLen == -1)
        srcLen = static_cast<int>(std::wcslen(src));
    if (srcLen < 0)
        return;
    if (n > nLength - pos)
        n = nLength - pos;
    const std::int64_t nNewLength = static_cast<std::int64_t>(nLength) - n + srcLen;
    if (nBytesOf<wchar_t>(nNewLength) < 0)
        return;
    if (CBaseStrMem::s_nMovingOffset(m_pData, src, nBytesOf<wchar_t>(srcLen)) >= 0) {
        // The source lies in the own block, where moving the tail would
        // overwrite it: the text is put together in a new block.
        CXYString<wchar_t> result;
        if (result.__nNew(static_cast<int>(nNewLength), m_pData, pos) != STRMEM_OK)
            return;
        std::memcpy(result.m_pData + pos, src, static_cast<size_t>(srcLen) * sizeof(wchar_t));
        std::memcpy(result.m_pData + pos + srcLen, m_pData + pos + n,
                    static_cast<size_t>(nLength - pos - n) * sizeof(wchar_t));
        result._SetLength(nNewLength);
        CBaseStrMem::s_pHeader(result.m_pData)->dwFlags = dwGetFlags();
        XSwap(m_pData, result.m_pData);
        return;
    }
    if (_nPrepare(nNewLength > nLength ? nNewLength : nLength) != STRMEM_OK)
        return;
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    std::memmove(m_pData + pos + srcLen, m_pData + pos + n,
                 static_cast<size_t>(nLength - pos - n) * sizeof(wchar_t));
    if (srcLen > 0)
        std::memcpy(m_pData + pos, src, static_cast<size_t>(srcLen) * sizeof(wchar_t));
    _SetLength(nNewLength);
}

template <class T>
int CXYString<T>::nPosBinaire(const T* pat, int patLen, int start) const
{
    return static_cast<int>(CBaseStrMem::s_nFind(m_pData, nGetLength(), pat, patLen, start));
}

template <class T>
void CXYString<T>::RemplaceBinaire(const T* from, int fromLen, const T* to, int toLen, int start)
{
    const std::int64_t nLength = nGetLength();
    if (nLength == 0 || toLen < 0)
        return;
    if (to == nullptr)
        toLen = 0;
    std::int64_t nPos = CBaseStrMem::s_nFind(m_pData, nLength, from, fromLen, start);
    if (nPos < 0)
        return;
    std::int64_t nNewLength = nLength;
    for (std::int64_t p = nPos; p >= 0; p = CBaseStrMem::s_nFind(m_pData, nLength, from, fromLen, p + fromLen))
        nNewLength += toLen - fromLen;
    if (nNewLength == 0) {
        _Release();
        return;
    }
    if (nBytesOf<T>(nNewLength) < 0)
        return;
    // The old block stays held until the end: from and to may lie in it.
    CXYString result;
    if (result.__nNew(static_cast<int>(nNewLength), nullptr, 0) != STRMEM_OK)
        return;
    T* pOut = result.m_pData;
    std::int64_t nRead = 0;
    for (std::int64_t p = nPos; p >= 0; p = CBaseStrMem::s_nFind(m_pData, nLength, from, fromLen, p + fromLen)) {
        std::memcpy(pOut, m_pData + nRead, static_cast<size_t>(p - nRead) * sizeof(T));
        pOut += p - nRead;
        if (toLen > 0)
            std::memcpy(pOut, to, static_cast<size_t>(toLen) * sizeof(T));
        pOut += toLen;
        nRead = p + fromLen;
    }
    std::memcpy(pOut, m_pData + nRead, static_cast<size_t>(nLength - nRead) * sizeof(T));
    result._SetLength(nNewLength);
    XSwap(m_pData, result.m_pData);
}

template <class T>
void CXYString<T>::Remplace(const T* from, const T* to, int start)
{
    if (from == nullptr || from[0] == 0)
        return;
    const std::int64_t nFrom = nLen(from);
    const std::int64_t nTo = to != nullptr ? nLen(to) : 0;
    if (nFrom > STRMEM_MAX_SIZE || nTo > STRMEM_MAX_SIZE)
        return;
    RemplaceBinaire(from, static_cast<int>(nFrom), to, static_cast<int>(nTo), start);
}

// ---- Conversions -----------------------------------------------------------------

template <class T>
template <class F>
int CXYString<T>::_nFill(std::int64_t nRoom, F fill)
{
    if (nBytesOf<T>(nRoom) < 0)
        return STRMEM_ERROR_TOO_LONG;
    const int nError = __nNew(static_cast<int>(nRoom), nullptr, 0);
    if (nError != STRMEM_OK)
        return nError;
    const int nDone = fill(m_pData, static_cast<int>(nRoom));
    if (nDone <= 0) {
        _Release();
        return STRMEM_ERROR_CONVERSION;
    }
    _SetLength(nDone);
    return STRMEM_OK;
}

// The size is measured without the default character, the text converted
// with it.
template <class T>
template <class S>
int CXYString<T>::_nNarrow(int (*convert)(unsigned, unsigned, const S*, int, char*, int, const char*, int*),
                           const S* src, int n, int extra, unsigned codePage, int flags, const char* def)
{
    const int nNeeded = convert(codePage, flags, src, n, nullptr, 0, nullptr, nullptr);
    if (nNeeded <= 0)
        return STRMEM_ERROR_CONVERSION;
    return _nFill(static_cast<std::int64_t>(nNeeded) + extra + 1, [&](char* pOut, int) {
        return convert(codePage, flags, src, n, pOut, nNeeded, def, nullptr);
    });
}

template <>
int CXYString<wchar_t>::_nConvert(const char* src, int n, int extra, unsigned codePage, int flags,
                                  const wchar_t* /*def*/)
{
    // Windows-1252 without flags goes through the table: one character a byte.
    const bool bTable = codePage == CP_1252 && flags == 0;
    std::int64_t nNeeded = n;
    if (!bTable) {
        nNeeded = MultiByteToWideChar(codePage, flags, src, n, nullptr, 0);
        if (nNeeded <= 0)
            return STRMEM_ERROR_CONVERSION;
    }
    return _nFill(nNeeded + extra + 1, [&](wchar_t* pOut, int nRoom) {
        return bTable ? STR_CP1252ToWideChar(src, n, pOut, nRoom)
                      : MultiByteToWideChar(codePage, flags, src, n, pOut, static_cast<int>(nNeeded));
    });
}

template <>
int CXYString<char>::_nConvert(const wchar_t* src, int n, int extra, unsigned codePage, int flags, const char* def)
{
    return _nNarrow(WideCharToMultiByte, src, n, extra, codePage, flags, def);
}

template <class T>
int CXYString<T>::__nConversion(const TOther* src, int n, int extra, int codePage, int flags, const T* def)
{
    _Release();
    if (src == nullptr)
        return STRMEM_OK;
    const std::int64_t nSrc = n == -1 ? nLen(src) : n;
    if (nSrc < 1)
        return STRMEM_OK;
    if (nSrc > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    return _nConvert(src, static_cast<int>(nSrc), extra < 0 ? 0 : extra, static_cast<unsigned>(codePage), flags,
                     def);
}

template <>
int CXYString<wchar_t>::nAffecteUTF8(const char* src, int n, int, int, const char*, int*)
{
    return __nConversion(src, n, 0, kCodePageUTF8, 0, nullptr);
}

template <>
int CXYString<char>::nAffecteToUTF8(const wchar_t* src, int n, int)
{
    return __nConversion(src, n, 0, kCodePageUTF8, 0, nullptr);
}

template <>
int CXYString<wchar_t>::nAffecteToUTF8(const wchar_t*, int, int)
{
    return STRMEM_OK;
}

template <>
int CXYString<wchar_t>::nAffecteToUTF8(const char*, int, int)
{
    return STRMEM_OK;
}

template <>
int CXYString<wchar_t>::nAffecteUTF16(const unsigned short* src, int n, int, int, const char*)
{
    _Release();
    if (src == nullptr || n < 1)
        return STRMEM_OK;
    return _nFill(static_cast<std::int64_t>(n) + 1,
                  [&](wchar_t* pOut, int nRoom) { return UTF16ToWideChar(src, n, pOut, nRoom); });
}

template <>
int CXYString<wchar_t>::nAffecteUTF32(const wchar_t* src, int n, int, int, const char*)
{
    _Release();
    if (src == nullptr || n < 1)
        return STRMEM_OK;
    return _nFill(static_cast<std::int64_t>(n) + 1,
                  [&](wchar_t* pOut, int nRoom) { return UTF32ToWideChar(src, n, pOut, nRoom); });
}

template <>
int CXYString<char>::nAffecteUTF16(const unsigned short* src, int n, int codePage, int flags, const char* def)
{
    _Release();
    if (src == nullptr || n < 1)
        return STRMEM_OK;
    return _nNarrow(UTF16ToMultiByte, src, n, 0, static_cast<unsigned>(codePage), flags, def);
}

template <>
int CXYString<char>::nAffecteUTF32(const wchar_t* src, int n, int codePage, int flags, const char* def)
{
    _Release();
    if (src == nullptr || n < 1)
        return STRMEM_OK;
    return _nNarrow(WideCharToMultiByte, src, n, 0, static_cast<unsigned>(codePage), flags, def);
}

template <>
int CXYString<char>::nAffecteUTF8(const char* src, int n, int codePage, int flags, const char* def,
                                  int* usedDef)
{
    _Release();
    if (src == nullptr || n < 1)
        return STRMEM_OK;
    if (codePage == kCodePageUTF8)
        return __nNew(n, src, n);
    return _nFill(static_cast<std::int64_t>(n) + 1, [&](char* pOut, int) {
        return UTF8ToMultiByte(static_cast<unsigned>(codePage), src, n, pOut, n, flags, def, usedDef);
    });
}

template <>
int CXYString<char>::nAffecteToUTF8(const char* src, int n, int codePage)
{
    _Release();
    if (src == nullptr || n < 1)
        return STRMEM_OK;
    if (codePage == kCodePageUTF8)
        return __nNew(n, src, n);
    // Up to 4 bytes a character.
    return _nFill(4 * static_cast<std::int64_t>(n) + 1, [&](char* pOut, int nRoom) {
        return MultiByteToUTF8(static_cast<unsigned>(codePage), src, n, pOut, nRoom - 1, 0);
    });
}

template <class T>
int CXYString<T>::nAffecteConversionExplicite(const CXYString<TOther>& src, int codePage, int flags, const T* def)
{
    const int nSrc = src.nGetLength();
    const TOther* pSrc = src.pGetData();
    if (nSrc > 0 && codePage != kCodePageUTF8 && (src.dwGetFlags() & CBaseStrMem::FLAG_SENTINEL) != 0 &&
        pSrc[nSrc - 1] == CXYString<TOther>::SENTINEL) {
        int nError = __nConversion(pSrc, nSrc - 1, 1, codePage, flags, def);
        if (nError != STRMEM_OK)
            return nError;
        const T cSentinel = SENTINEL;
        nError = nConcat(&cSentinel, 1);
        if (nError != STRMEM_OK)
            return nError;
        STRMEM_ASSERT_HELD_ALONE(m_pData);
        CBaseStrMem::s_pHeader(m_pData)->dwFlags = CBaseStrMem::FLAG_SENTINEL;
        return STRMEM_OK;
    }
    return __nConversion(pSrc, nSrc, 0, codePage, flags, def);
}

template <>
bool CXYString<wchar_t>::bCreateY(char*& out, int codePage) const
{
    out = nullptr;
    const int nLength = nGetLength();
    if (nLength == 0)
        return true;
    const unsigned nCodePage = static_cast<unsigned>(codePage);
    if ((dwGetFlags() & CBaseStrMem::FLAG_SENTINEL) != 0 && codePage != kCodePageUTF8 &&
        m_pData[nLength - 1] == SENTINEL) {
        int nBytes = 0;
        if (nLength > 1) {
            nBytes = WideCharToMultiByte(nCodePage, 0, m_pData, nLength - 1, nullptr, 0, nullptr, nullptr);
            if (nBytes <= 0)
                return false;
        }
        char* pOut = static_cast<char*>(XMALLOC_pNew_(static_cast<size_t>(nBytes) + 2));
        if (pOut == nullptr)
            return false;
        if (nLength > 1) {
            nBytes = WideCharToMultiByte(nCodePage, 0, m_pData, nLength - 1, pOut, nBytes, nullptr, nullptr);
            if (nBytes <= 0) {
                XMALLOC_Del_(pOut);
                return false;
            }
        }
        pOut[nBytes] = static_cast<char>(0xFF);
        pOut[nBytes + 1] = 0;
        out = pOut;
        return true;
    }
    int nOut = 0;
    return STR_WCharToChar_AnyCodepage(m_pData, -1, &out, &nOut, nCodePage) != 0;
}

template <>
bool CXYString<char>::bCreateY(wchar_t*& out, int codePage) const
{
    out = nullptr;
    const int nLength = nGetLength();
    if (nLength == 0)
        return true;
    int nOut = 0;
    if (!STR_CharToWChar_AnyCodepage(m_pData, -1, static_cast<unsigned>(codePage), &out, &nOut, 0))
        return false;
    if ((dwGetFlags() & CBaseStrMem::FLAG_SENTINEL) != 0 && codePage != kCodePageUTF8 &&
        m_pData[nLength - 1] == SENTINEL && out != nullptr) {
        const size_t nWide = std::wcslen(out);
        if (nWide > 0)
            out[nWide - 1] = CXYString<wchar_t>::SENTINEL;
    }
    return true;
}

// Server texts arrive row after row into the same value: its block is
// written again whenever nobody else holds it.
template <>
int CXYString<wchar_t>::nAffecteKeepingBlock(const char* src, int n, int codePage)
{
    if (src == nullptr || n <= 0) {
        _Release();
        return STRMEM_OK;
    }
    if (n > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    // UTF-8 of a few hundred bytes is decoded aside first: the count is then
    // known, and a failure touches nothing.
    constexpr int kAside = 256;
    wchar_t aAside[kAside];
    // ASCII reads alike in both pages: through the table.
    const auto bASCII = [src, n] {
        for (int i = 0; i < n; i++)
            if (static_cast<unsigned char>(src[i]) >= 0x80)
                return false;
        return true;
    };
    const bool bTable = codePage == CP_1252 || (codePage == kCodePageUTF8 && bASCII());
    int nChars = n;
    if (!bTable) {
        if (codePage != kCodePageUTF8 || n > kAside) {
            CXYString other;
            const int nError = other.__nConversion(src, n, 0, codePage, 0, nullptr);
            if (nError == STRMEM_OK)
                Swap(other);
            return nError;
        }
        nChars = MultiByteToWideChar(CP_UTF8, 0, src, n, aAside, kAside);
        if (nChars <= 0)
            return STRMEM_ERROR_CONVERSION;
    }
    const std::int64_t nBytes = nBytesOf<wchar_t>(nChars);
    const bool bKeep = m_pData != nullptr && CBaseStrMem::s_nGetRefCount(m_pData) < 2 &&
                       CBaseStrMem::s_pHeader(m_pData)->dwFlags == 0 &&
                       nBytes <= CBaseStrMem::s_pHeader(m_pData)->nCapacity &&
                       !CBaseStrMem::s_bInBlock(m_pData, src, n);
    if (!bKeep) {
        // Room rounded up to 8 characters: a number or a date of the next
        // row, a character longer, still fits.
        CXYString fresh;
        const int nError = fresh.__nNew(nChars < STRMEM_MAX_SIZE - 7 ? (nChars + 7) & ~7 : nChars, nullptr, 0);
        if (nError != STRMEM_OK)
            return nError;
        Swap(fresh);
    }
    if (bTable)
        STR_CP1252ToWideChar(src, n, m_pData, nChars);
    else
        std::memcpy(m_pData, aAside, static_cast<size_t>(nChars) * sizeof(wchar_t));
    _SetLength(nChars);
    return STRMEM_OK;
}

template class CXYString<char>;
template class CXYString<wchar_t>;

// ---- Conversions into new handles -----------------------------------------------

namespace {
template <class T>
CXYString<T> Checked(const CXYString<T>& s, int nError)
{
    return nError == STRMEM_OK ? s : CXYString<T>();
}

CXYString<char> CopyBytes(const char* s, int n)
{
    CXYString<char> result;
    if (s == nullptr)
        return result;
    const std::int64_t nBytes = n == -1 ? nLen(s) : n;
    if (nBytes < 1 || nBytes > STRMEM_MAX_SIZE)
        return result;
    result.__nNew(static_cast<int>(nBytes), s, static_cast<int>(nBytes));
    return result;
}

template <class T>
CXYString<T> Converted(const typename CXYString<T>::TOther* s, int codePage, int n)
{
    if (codePage == -1)
        codePage = static_cast<int>(STR_nGetCurrentCodePage());
    CXYString<T> result;
    const int nError = result.__nConversion(s, n, 0, codePage, 0, nullptr);
    return Checked(result, nError);
}
}  // namespace

CXYString<wchar_t> PCASTR_To_CWString(const char* s, int codePage, int n)
{
    return Converted<wchar_t>(s, codePage, n);
}

CXYString<char> PCWSTR_To_CAString(const wchar_t* s, int codePage, int n)
{
    return Converted<char>(s, codePage, n);
}

CXYString<wchar_t> UTF8_To_CWString(const char* s, int n)
{
    CXYString<wchar_t> result;
    const int nError = result.nAffecteUTF8(s, n);
    return Checked(result, nError);
}

CXYString<wchar_t> UTF8_To_CWString(const char* s)
{
    return UTF8_To_CWString(s, -1);
}

CXYString<char> PCWSTR_N_To_UTF8(const wchar_t* s, int n)
{
    CXYString<char> result;
    const int nError = result.nAffecteToUTF8(s, n);
    return Checked(result, nError);
}

CXYString<char> PCWSTR_To_UTF8(const wchar_t* s)
{
    return PCWSTR_N_To_UTF8(s, -1);
}

CXYString<char> CWString_To_UTF8(const CXYString<wchar_t>& s)
{
    CXYString<char> result;
    const int nError = result.nAffecteConversionExplicite(s, kCodePageUTF8, 0, nullptr);
    return Checked(result, nError);
}

CXYString<char> UTF8_To_CAString(const char* s, int n, int codePage)
{
    if (codePage == kCodePageUTF8)
        return CopyBytes(s, n);
    const CXYString<wchar_t> wide = UTF8_To_CWString(s, n);
    CXYString<char> result;
    const int nError = result.nAffecteConversionExplicite(wide, codePage, 0, nullptr);
    return Checked(result, nError);
}

CXYString<char> UTF8_To_CAString(const char* s, int codePage)
{
    return UTF8_To_CAString(s, -1, codePage);
}

CXYString<char> PCASTR_N_To_UTF8(const char* s, int n, int codePage)
{
    if (codePage == kCodePageUTF8)
        return CopyBytes(s, n);
    CXYString<wchar_t> wide;
    if (wide.__nConversion(s, n, 0, codePage, 0, nullptr) != STRMEM_OK)
        return CXYString<char>();
    CXYString<char> result;
    const int nError = result.nAffecteConversionExplicite(wide, kCodePageUTF8, 0, nullptr);
    return Checked(result, nError);
}

CXYString<char> PCASTR_To_UTF8(const char* s, int codePage)
{
    return PCASTR_N_To_UTF8(s, -1, codePage);
}

CXYString<char> CAString_To_UTF8(const CXYString<char>& s, int codePage)
{
    if (codePage == kCodePageUTF8)
        return s;
    CXYString<wchar_t> wide;
    if (wide.nAffecteConversionExplicite(s, codePage, 0, nullptr) != STRMEM_OK)
        return CXYString<char>();
    CXYString<char> result;
    const int nError = result.nAffecteConversionExplicite(wide, kCodePageUTF8, 0, nullptr);
    return Checked(result, nError);
}
