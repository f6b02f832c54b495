// Host strings: text that travels between the module and the host runtime
// lives in blocks that the host allocates, shares by reference count and
// reads directly. The module never writes into a block that another holder
// shares: every change goes through the copy-on-write gate first.
#pragma once

#include "common/text/ZTAssert.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

// Status codes of the host string and binary operations.
enum : int {
    STRMEM_OK = 0,
    STRMEM_ERROR_CONVERSION = 105,  // a conversion produced nothing
    STRMEM_ERROR_TOO_LONG = 108,    // a size over the limits
    // Answered for every allocation before the host has handed its allocator over.
    STRMEM_ERROR_NO_ALLOCATOR = 14,
};

// Largest data of a block, in bytes and in units: one more gives 108.
constexpr std::int64_t STRMEM_MAX_SIZE = 0x7FFFFEFF;

// Checked before every write into the block of pData, once the
// copy-on-write gate has passed: no other holder shares the block.
#define STRMEM_ASSERT_HELD_ALONE(pData) ZT_ASSERT(!CBaseStrMem::s_bShared(pData))

template <class T>
inline void XSwap(T& a, T& b)
{
    T t = a;
    a = b;
    b = t;
}

// Static operations on a host block. The header lies in the 16 bytes before
// the data pointer; its layout is shared with the host.
class CBaseStrMem {
public:
    struct STHeader {
        std::uint32_t dwFlags;   // bit 0: sentinel mark; other bits are the host's
        std::int32_t nRefCount;  // changed only atomically
        std::uint32_t nCapacity; // bytes of data room, terminator room not counted
        std::uint32_t nLength;   // bytes in use
    };

    static constexpr std::uint32_t FLAG_SENTINEL = 1;
    // Empty content where a block pointer must be read.
    static constexpr std::uint32_t ChaineVide = 0;

    static void s_AddRefStrMem(void* pData);
    static void s_ReleaseStrMem(void* pData);

    static STHeader* s_pHeader(const void* pData)
    {
        return reinterpret_cast<STHeader*>(const_cast<char*>(static_cast<const char*>(pData)) - sizeof(STHeader));
    }
    static std::int32_t s_nGetRefCount(const void* pData);
    static bool s_bShared(const void* pData) { return pData != nullptr && s_nGetRefCount(pData) >= 2; }

    // A new block of nBytes of room (108 over the limit, the allocator's
    // error passed on); the length is set to 0, nothing else is written.
    static int s_nAllocBlock(void** ppData, std::int64_t nBytes);
    // Grows a block in place or moves it; header and content are kept.
    static int s_nReallocBlock(void** ppData, std::int64_t nBytes);
    // Whether [p, p + nBytes) touches the data of the block (terminator room included).
    static bool s_bInBlock(const void* pData, const void* p, std::int64_t nBytes);
    // Byte offset of src inside the data of a block held alone, -1 when src
    // starts outside it or the block is shared. A growth may move a block
    // held alone, and a source inside it with it: callers keep the offset
    // rather than the pointer. A shared block stays with its other holders
    // (the writer gets a copy), so a source inside it stays where it is.
    static std::int64_t s_nMovingOffset(const void* pData, const void* src, std::int64_t nBytes);
    // src after a growth: at its offset in the block, or where it was.
    template <class T>
    static const T* s_pAfterGrowth(const void* pData, const T* src, std::int64_t nOffset)
    {
        return nOffset < 0 ? src : reinterpret_cast<const T*>(static_cast<const char*>(pData) + nOffset);
    }
    // First occurrence of the patLen units of pat at or after start among
    // the hayLen units of hay, -1 when none.
    template <class T>
    static std::int64_t s_nFind(const T* hay, std::int64_t hayLen, const T* pat, std::int64_t patLen,
                                std::int64_t start)
    {
        if (hay == nullptr || pat == nullptr || patLen < 1 || start < 0 || start + patLen > hayLen)
            return -1;
        for (std::int64_t i = start; i + patLen <= hayLen; ++i) {
            if (hay[i] == pat[0] && std::memcmp(hay + i, pat, static_cast<size_t>(patLen) * sizeof(T)) == 0)
                return i;
        }
        return -1;
    }
};

static_assert(sizeof(CBaseStrMem::STHeader) == 16, "the host block header is 16 bytes");
static_assert(offsetof(CBaseStrMem::STHeader, dwFlags) == 0, "flags at -16");
static_assert(offsetof(CBaseStrMem::STHeader, nRefCount) == 4, "reference count at -12");
static_assert(offsetof(CBaseStrMem::STHeader, nCapacity) == 8, "capacity at -8");
static_assert(offsetof(CBaseStrMem::STHeader, nLength) == 12, "length at -4");

template <class T>
struct CXYStringOtherWidth;
template <>
struct CXYStringOtherWidth<char> {
    typedef wchar_t type;
};
template <>
struct CXYStringOtherWidth<wchar_t> {
    typedef char type;
};

// Owning handle on a host block of 8-bit (char) or wide (wchar_t, UTF-32)
// text: one data pointer, null for the empty text. Counts are in units of T.
template <class T>
class CXYString {
public:
    typedef typename CXYStringOtherWidth<T>::type TOther;

    static constexpr T s_szVide[1] = {0};
    static constexpr const T* ChaineVide = s_szVide;
    static constexpr T SENTINEL = static_cast<T>(-1);

    CXYString() : m_pData(nullptr) {}
    CXYString(const T* src, int n);
    // 8-bit only: a copy of a C string.
    explicit CXYString(const T* src);
    CXYString(const CXYString& other) : m_pData(other.m_pData) { CBaseStrMem::s_AddRefStrMem(m_pData); }
    CXYString& operator=(const CXYString& other)
    {
        CXYString copy(other);
        XSwap(m_pData, copy.m_pData);
        return *this;
    }
    ~CXYString() { CBaseStrMem::s_ReleaseStrMem(m_pData); }

    // The block's data, null for the empty text.
    T* pGetData() const { return m_pData; }
    // The text, never null.
    const T* pszGet() const { return m_pData != nullptr ? m_pData : ChaineVide; }
    int nGetLength() const
    {
        return m_pData != nullptr ? static_cast<int>(CBaseStrMem::s_pHeader(m_pData)->nLength / sizeof(T)) : 0;
    }
    std::uint32_t dwGetFlags() const { return m_pData != nullptr ? CBaseStrMem::s_pHeader(m_pData)->dwFlags : 0; }

    // Raw management; __nNew expects a null handle.
    int __nNew(int n, const T* src, int count);
    void __FillDynStr(const T* src, int count, int offset);
    int __nPrepareModification(int n);
    int nSetLength(int n);
    void SetUtilLength(int n, int bRelease);

    int nConcat(const T* src, int n);
    // Wide only.
    int nConcat(const CXYString& other);
    void Tronque(int n);
    void Supprime(int pos, int n);
    void Remplace(int pos, int n, const T* src, int srcLen);

    int nPosBinaire(const T* pat, int patLen, int start) const;
    void RemplaceBinaire(const T* from, int fromLen, const T* to, int toLen, int start);
    void Remplace(const T* from, const T* to, int start);

    // Conversions: each releases the block first (but nAffecteToUTF8 of a
    // wide string, which does nothing).
    int __nConversion(const TOther* src, int n, int extra, int codePage, int flags, const T* def);
    int nAffecteUTF8(const char* src, int n, int codePage = 65001, int flags = 0, const char* def = nullptr,
                     int* usedDef = nullptr);
    int nAffecteToUTF8(const wchar_t* src, int n, int codePage = 65001);
    int nAffecteToUTF8(const char* src, int n, int codePage);
    int nAffecteUTF16(const unsigned short* src, int n, int codePage = 0, int flags = 0,
                      const char* def = nullptr);
    int nAffecteUTF32(const wchar_t* src, int n, int codePage = 0, int flags = 0, const char* def = nullptr);
    int nAffecteConversionExplicite(const CXYString<TOther>& src, int codePage, int flags, const T* def);
    // Wide only: n >= 0 bytes of 8-bit text of a code page (no flags), in
    // one conversion; a block held alone, unmarked and large enough is
    // written over, any other is replaced by one block of the converted
    // length. A failed conversion leaves the handle as it was.
    int nAffecteKeepingBlock(const char* src, int n, int codePage);
    void Swap(CXYString& other) { XSwap(m_pData, other.m_pData); }
    // A malloc'ed copy (free it with free) in the other width, the handle unchanged.
    bool bCreateY(TOther*& out, int codePage) const;

private:
    void _Release()
    {
        CBaseStrMem::s_ReleaseStrMem(m_pData);
        m_pData = nullptr;
    }
    int _nPrepare(std::int64_t n);
    void _SetLength(std::int64_t n);
    // The width's own step of __nConversion: n >= 1 units of src.
    int _nConvert(const TOther* src, int n, int extra, unsigned codePage, int flags, const T* def);
    // A new block of nRoom units (the handle holds none) filled by
    // fill(data, nRoom), which answers the units written; a fill of 0 or
    // less releases the block.
    template <class F>
    int _nFill(std::int64_t nRoom, F fill);
    // 8-bit only: n >= 1 units of src through a converter shaped like
    // WideCharToMultiByte, measured first, into a block extra + 1 units
    // larger.
    template <class S>
    int _nNarrow(int (*convert)(unsigned, unsigned, const S*, int, char*, int, const char*, int*), const S* src,
                 int n, int extra, unsigned codePage, int flags, const char* def);

    T* m_pData;
};

static_assert(sizeof(CXYString<char>) == 4, "a host string handle is one 32-bit pointer");
static_assert(sizeof(CXYString<wchar_t>) == 4, "a host string handle is one 32-bit pointer");

// Members that exist for one width only.
template <>
CXYString<char>::CXYString(const char* src);
template <>
int CXYString<wchar_t>::nConcat(const CXYString<wchar_t>& other);
template <>
void CXYString<wchar_t>::Tronque(int n);
template <>
void CXYString<wchar_t>::Supprime(int pos, int n);
template <>
void CXYString<wchar_t>::Remplace(int pos, int n, const wchar_t* src, int srcLen);
template <>
int CXYString<wchar_t>::_nConvert(const char* src, int n, int extra, unsigned codePage, int flags,
                                  const wchar_t* def);
template <>
int CXYString<char>::_nConvert(const wchar_t* src, int n, int extra, unsigned codePage, int flags,
                               const char* def);
template <>
int CXYString<wchar_t>::nAffecteUTF8(const char* src, int n, int codePage, int flags, const char* def,
                                     int* usedDef);
template <>
int CXYString<char>::nAffecteUTF8(const char* src, int n, int codePage, int flags, const char* def,
                                  int* usedDef);
template <>
int CXYString<wchar_t>::nAffecteToUTF8(const wchar_t* src, int n, int codePage);
template <>
int CXYString<wchar_t>::nAffecteKeepingBlock(const char* src, int n, int codePage);
template <>
int CXYString<char>::nAffecteToUTF8(const wchar_t* src, int n, int codePage);
template <>
int CXYString<wchar_t>::nAffecteToUTF8(const char* src, int n, int codePage);
template <>
int CXYString<char>::nAffecteToUTF8(const char* src, int n, int codePage);
template <>
int CXYString<wchar_t>::nAffecteUTF16(const unsigned short* src, int n, int codePage, int flags,
                                      const char* def);
template <>
int CXYString<char>::nAffecteUTF16(const unsigned short* src, int n, int codePage, int flags, const char* def);
template <>
int CXYString<wchar_t>::nAffecteUTF32(const wchar_t* src, int n, int codePage, int flags, const char* def);
template <>
int CXYString<char>::nAffecteUTF32(const wchar_t* src, int n, int codePage, int flags, const char* def);
template <>
bool CXYString<wchar_t>::bCreateY(char*& out, int codePage) const;
template <>
bool CXYString<char>::bCreateY(wchar_t*& out, int codePage) const;

extern template class CXYString<char>;
extern template class CXYString<wchar_t>;

// Conversions into new handles; an empty handle on failure. A code page of
// -1 is the host's current one.
CXYString<wchar_t> PCASTR_To_CWString(const char* s, int codePage, int n);
CXYString<char> PCWSTR_To_CAString(const wchar_t* s, int codePage, int n);
CXYString<wchar_t> UTF8_To_CWString(const char* s, int n);
CXYString<wchar_t> UTF8_To_CWString(const char* s);
CXYString<char> PCWSTR_N_To_UTF8(const wchar_t* s, int n);
CXYString<char> PCWSTR_To_UTF8(const wchar_t* s);
CXYString<char> CWString_To_UTF8(const CXYString<wchar_t>& s);
CXYString<char> UTF8_To_CAString(const char* s, int n, int codePage);
CXYString<char> UTF8_To_CAString(const char* s, int codePage);
CXYString<char> PCASTR_N_To_UTF8(const char* s, int n, int codePage);
CXYString<char> PCASTR_To_UTF8(const char* s, int codePage);
CXYString<char> CAString_To_UTF8(const CXYString<char>& s, int codePage);
