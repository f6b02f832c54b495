// Host binary values: raw bytes in a host block (same header, sharing and
// allocator as the host strings), counted in bytes, with no terminator.
#pragma once

#include "common/text/XYString.h"

#include <cstdint>

class CTQBIN {
public:
    CTQBIN() : m_pData(nullptr) {}
    CTQBIN(const unsigned char* src, int n);
    CTQBIN(const CTQBIN& other) : m_pData(nullptr) { _Assign(&other, -1); }
    CTQBIN& operator=(const CTQBIN& other)
    {
        Assign(&other, -1);
        return *this;
    }
    ~CTQBIN() { CBaseStrMem::s_ReleaseStrMem(m_pData); }

    // The block's bytes, null for the empty value.
    unsigned char* pGetData() const { return m_pData; }
    int nGetSize() const
    {
        return m_pData != nullptr ? static_cast<int>(CBaseStrMem::s_pHeader(m_pData)->nLength) : 0;
    }
    int nGetMemorySize() const
    {
        return m_pData != nullptr ? static_cast<int>(CBaseStrMem::s_pHeader(m_pData)->nCapacity) : 0;
    }
    std::uint32_t dwGetFlags() const { return m_pData != nullptr ? CBaseStrMem::s_pHeader(m_pData)->dwFlags : 0; }

    // Construction and assignment. nAssignInit and nConcatInit are for a
    // handle that holds nothing yet: they do not read its old pointer.
    int _nNew(int n, const unsigned char* src, int count);
    void __FillDynBin(const unsigned char* src, int count, int offset);
    int nAssignInit(const unsigned char* src, int n);
    int nAssign(const unsigned char* src, int n);
    void _Assign(const CTQBIN* other, int n);
    void Assign(const CTQBIN* other, int n);
    // Adopts the other's reference; the other is left empty.
    void Take(CTQBIN* other);

    // Size and content.
    int nSetSize(int n);
    int nSetMemorySize(int n);
    void SetUtilSize(int n);
    int __nPrepareModification(int n);
    void Tronque(int n);
    int nConcat(const unsigned char* src, int n);
    void Remplace(int pos, int n, const CTQBIN& src);
    int nRepete(const CTQBIN& src, int count);
    int nMilieu(CTQBIN* out, int pos, int n) const;
    CTQBIN clMilieu(int pos, int n) const;

    // Comparison and search; a null handle is an empty value.
    static int nCompare(const CTQBIN& a, const CTQBIN& b);
    static int nCompare(const CTQBIN& a, const CTQBIN& b, int n);
    static bool bCommencePar(const CTQBIN& a, const CTQBIN& prefix);
    static bool bTerminePar(const CTQBIN& a, const CTQBIN& suffix);
    static bool bContient(const CTQBIN& a, const CTQBIN& pattern);
    int nPos(const unsigned char* pattern, int patLen, int start) const;

    // Joining.
    int nConcatInit(CTQBIN* first, const CTQBIN* second, unsigned flags);
    int nConcatSeparateur(const CTQBIN* sep, const CTQBIN* other, int bNoLeadingSep);

    // Conversions; each releases the block first.
    int nAffecteToUNICODE(const char* src, int n, int codePage, int flags);
    int nAffecteToANSI(const wchar_t* src, int n, int codePage, int flags, const char* def, int* usedDef,
                       int extra);
    int nAffecteToANSI(const CTQBIN* src, int codePage, int flags, const char* def, int* usedDef);

private:
    void _Release()
    {
        CBaseStrMem::s_ReleaseStrMem(m_pData);
        m_pData = nullptr;
    }
    void _SetLength(std::int64_t n)
    {
        STRMEM_ASSERT_HELD_ALONE(m_pData);
        CBaseStrMem::s_pHeader(m_pData)->nLength = static_cast<std::uint32_t>(n);
    }
    int _nGrow(std::int64_t n);
    // _nGrow before a join: a detached copy keeps the old flags word.
    int _nGrowJoined(std::int64_t nTotal);
    // Tronque with its status: a failed detach keeps the value.
    int _nTronque(int n);
    // Appends the bytes of first, then of second (either may be null).
    int _nAppend(const CTQBIN* first, const CTQBIN* second);

    unsigned char* m_pData;
};

static_assert(sizeof(CTQBIN) == 4, "a host binary handle is one 32-bit pointer");

// Host type codes of the dynamic values a STManipAUB can present.
enum : unsigned {
    STMANIP_TYPE_DSTRW = 16,
    STMANIP_TYPE_DSTRA = 19,
    STMANIP_TYPE_BIN = 28,
};

// Read-only view of the block of a dynamic host value: 8-bit text, wide text
// or binary. Only the low byte of the type word is the host type code.
struct STManipAUB {
    void* m_pData;
    std::uint32_t m_nType;

    const char* pszGetStringA() const;
    const wchar_t* pszGetStringW() const;
    const unsigned char* pbyGetContenu(unsigned& size) const;
    const unsigned char* pbyGetContenuUtile(unsigned& size) const;
    int nGetLongueur() const;
    int nGetTailleUtile() const;
};

static_assert(sizeof(STManipAUB) == 8, "STManipAUB is a pointer and a 32-bit type code");
