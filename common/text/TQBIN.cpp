#include "common/text/TQBIN.h"

#include "common/text/CodePage.h"
#include "common/text/TextBasics.h"

#include <cstring>

namespace {
constexpr int kCodePageUTF8 = CP_UTF8;
constexpr wchar_t kWideSentinel = static_cast<wchar_t>(-1);

int nSign(int c)
{
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
}  // namespace

// ---- Construction and assignment ---------------------------------------------------

CTQBIN::CTQBIN(const unsigned char* src, int n) : m_pData(nullptr)
{
    _nNew(n, src, n);
}

int CTQBIN::_nNew(int n, const unsigned char* src, int count)
{
    if (n == 0)
        return STRMEM_OK;
    if (n < 0)
        return STRMEM_ERROR_TOO_LONG;
    void* pData = nullptr;
    const int nError = CBaseStrMem::s_nAllocBlock(&pData, n);
    if (nError != STRMEM_OK)
        return nError;
    m_pData = static_cast<unsigned char*>(pData);
    if (count < 0)
        count = 0;
    if (count > n)
        count = n;
    _SetLength(count);
    __FillDynBin(src, count, 0);
    return STRMEM_OK;
}

void CTQBIN::__FillDynBin(const unsigned char* src, int count, int offset)
{
    if (src == nullptr || m_pData == nullptr || count < 0 || offset < 0)
        return;
    const std::int64_t nEnd = static_cast<std::int64_t>(offset) + count;
    if (nEnd > CBaseStrMem::s_pHeader(m_pData)->nCapacity)
        return;
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    std::memmove(m_pData + offset, src, static_cast<size_t>(count));
    _SetLength(nEnd);
}

int CTQBIN::nAssignInit(const unsigned char* src, int n)
{
    m_pData = nullptr;
    if (src == nullptr || n == 0)
        return STRMEM_OK;
    if (n < 0)
        return STRMEM_ERROR_TOO_LONG;
    return _nNew(n, src, n);
}

int CTQBIN::nAssign(const unsigned char* src, int n)
{
    if (n == 0) {
        _Release();
        return STRMEM_OK;
    }
    if (n < 0 || n > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    if (m_pData != nullptr && !CBaseStrMem::s_bShared(m_pData)) {
        if (static_cast<std::uint32_t>(n) > CBaseStrMem::s_pHeader(m_pData)->nCapacity) {
            const std::int64_t nOffset = CBaseStrMem::s_nMovingOffset(m_pData, src, n);
            void* pData = m_pData;
            const int nError = CBaseStrMem::s_nReallocBlock(&pData, n);
            if (nError != STRMEM_OK)
                return nError;
            m_pData = static_cast<unsigned char*>(pData);
            src = CBaseStrMem::s_pAfterGrowth(m_pData, src, nOffset);
            if (src != nullptr)
                std::memmove(m_pData, src, static_cast<size_t>(n));
        } else if (src != nullptr) {
            std::memmove(m_pData, src, static_cast<size_t>(n));
        }
        _SetLength(n);
        return STRMEM_OK;
    }
    // Shared or no block: the old reference goes only once the new block exists
    // (src may lie in it).
    CTQBIN fresh;
    const int nError = fresh._nNew(n, src, n);
    if (nError != STRMEM_OK)
        return nError;
    XSwap(m_pData, fresh.m_pData);
    return STRMEM_OK;
}

void CTQBIN::_Assign(const CTQBIN* other, int n)
{
    if (other == nullptr || other->m_pData == nullptr)
        return;
    // Made aside (other may be this value); a failed cut keeps the old value.
    CTQBIN result;
    result.m_pData = other->m_pData;
    CBaseStrMem::s_AddRefStrMem(result.m_pData);
    if (result._nTronque(n) != STRMEM_OK)
        return;
    XSwap(m_pData, result.m_pData);
}

void CTQBIN::Assign(const CTQBIN* other, int n)
{
    if (n != 0 && other != nullptr && other->m_pData != nullptr) {
        _Assign(other, n);
        return;
    }
    _Release();
}

void CTQBIN::Take(CTQBIN* other)
{
    if (other == this)
        return;
    _Release();
    if (other != nullptr) {
        m_pData = other->m_pData;
        other->m_pData = nullptr;
    }
}

// ---- Size and content ----------------------------------------------------------------

int CTQBIN::_nGrow(std::int64_t n)
{
    if (n < 0)
        n = 0;
    if (n > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    if (m_pData == nullptr)
        return _nNew(static_cast<int>(n), nullptr, 0);
    if (!CBaseStrMem::s_bShared(m_pData)) {
        if (n <= CBaseStrMem::s_pHeader(m_pData)->nCapacity)
            return STRMEM_OK;
        void* pData = m_pData;
        const int nError = CBaseStrMem::s_nReallocBlock(&pData, n);
        if (nError != STRMEM_OK)
            return nError;
        m_pData = static_cast<unsigned char*>(pData);
        return STRMEM_OK;
    }
    // Shared: an own copy with the allocator's flags; the handle keeps its
    // reference until the copy exists. An empty value gets a block too:
    // callers write the length through the handle.
    const int nLength = nGetSize();
    const std::int64_t nKeep = n > nLength ? n : nLength;
    void* pCopy = nullptr;
    const int nError = CBaseStrMem::s_nAllocBlock(&pCopy, nKeep);
    if (nError != STRMEM_OK)
        return nError;
    CTQBIN copy;
    copy.m_pData = static_cast<unsigned char*>(pCopy);
    std::memcpy(copy.m_pData, m_pData, static_cast<size_t>(nLength));
    copy._SetLength(nLength);
    XSwap(m_pData, copy.m_pData);
    return STRMEM_OK;
}

int CTQBIN::_nGrowJoined(std::int64_t nTotal)
{
    if (nTotal > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    const bool bShared = CBaseStrMem::s_bShared(m_pData);
    const std::uint32_t dwFlags = dwGetFlags();
    const int nError = _nGrow(nTotal);
    if (nError != STRMEM_OK)
        return nError;
    // Unlike a mere growth, a joined copy keeps the flags.
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    if (bShared)
        CBaseStrMem::s_pHeader(m_pData)->dwFlags = dwFlags;
    return STRMEM_OK;
}

int CTQBIN::__nPrepareModification(int n)
{
    if (n < 0)
        return STRMEM_ERROR_TOO_LONG;
    return _nGrow(n);
}

int CTQBIN::nSetSize(int n)
{
    if (m_pData == nullptr)
        return _nNew(n, nullptr, n);
    if (n < 0)
        return STRMEM_ERROR_TOO_LONG;
    const int nError = _nGrow(n);
    if (nError != STRMEM_OK)
        return nError;
    if (m_pData != nullptr)
        _SetLength(n);
    return STRMEM_OK;
}

int CTQBIN::nSetMemorySize(int n)
{
    if (m_pData == nullptr)
        return _nNew(n, nullptr, 0);
    if (n < 0)
        return STRMEM_ERROR_TOO_LONG;
    return _nGrow(n);
}

void CTQBIN::SetUtilSize(int n)
{
    if (m_pData == nullptr || n < 0 || static_cast<std::uint32_t>(n) > CBaseStrMem::s_pHeader(m_pData)->nCapacity)
        return;
    if (_nGrow(n) != STRMEM_OK || m_pData == nullptr)
        return;
    _SetLength(n);
}

void CTQBIN::Tronque(int n)
{
    _nTronque(n);
}

int CTQBIN::_nTronque(int n)
{
    if (m_pData == nullptr || n < 0 || n > nGetSize())
        return STRMEM_OK;
    if (!CBaseStrMem::s_bShared(m_pData)) {
        CBaseStrMem::s_pHeader(m_pData)->dwFlags &= ~CBaseStrMem::FLAG_SENTINEL;
        _SetLength(n);
        return STRMEM_OK;
    }
    CTQBIN copy;
    const int nError = copy._nNew(n, m_pData, n);
    if (nError != STRMEM_OK)
        return nError;
    XSwap(m_pData, copy.m_pData);
    return STRMEM_OK;
}

int CTQBIN::nConcat(const unsigned char* src, int n)
{
    if (n == 0)
        return STRMEM_OK;
    if (n < 0)
        return STRMEM_ERROR_TOO_LONG;
    if (m_pData == nullptr)
        return nAssign(src, n);
    const int nLength = nGetSize();
    const std::int64_t nTotal = static_cast<std::int64_t>(nLength) + n;
    if (nTotal > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    const std::int64_t nOffset = CBaseStrMem::s_nMovingOffset(m_pData, src, n);
    const int nError = _nGrowJoined(nTotal);
    if (nError != STRMEM_OK)
        return nError;
    src = CBaseStrMem::s_pAfterGrowth(m_pData, src, nOffset);
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    if (src != nullptr)
        std::memmove(m_pData + nLength, src, static_cast<size_t>(n));
    _SetLength(nTotal);
    return STRMEM_OK;
}

void CTQBIN::Remplace(int pos, int n, const CTQBIN& src)
{
    const int nLength = nGetSize();
    if (m_pData == nullptr || pos < 0 || pos >= nLength || n < 0)
        return;
    if (n > nLength - pos)
        n = nLength - pos;
    // Holding src's block makes this one shared when src is this value (or
    // shares its block): the change then goes to a copy and src stays whole.
    const CTQBIN keep(src);
    const int nSrc = keep.nGetSize();
    const std::int64_t nNewLength = static_cast<std::int64_t>(nLength) - n + nSrc;
    if (_nGrow(nNewLength > nLength ? nNewLength : nLength) != STRMEM_OK)
        return;
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    std::memmove(m_pData + pos + nSrc, m_pData + pos + n, static_cast<size_t>(nLength - pos - n));
    if (nSrc > 0)
        std::memcpy(m_pData + pos, keep.m_pData, static_cast<size_t>(nSrc));
    _SetLength(nNewLength);
}

int CTQBIN::nRepete(const CTQBIN& src, int count)
{
    // Made aside (src may be this value); a failure keeps the old value.
    CTQBIN result;
    const std::int64_t nSrc = src.nGetSize();
    if (count >= 1 && nSrc > 0) {
        const std::int64_t nTotal = nSrc * count;
        if (nTotal > STRMEM_MAX_SIZE)
            return STRMEM_ERROR_TOO_LONG;
        const int nError = result._nNew(static_cast<int>(nTotal), nullptr, 0);
        if (nError != STRMEM_OK)
            return nError;
        for (std::int64_t i = 0; i < count; ++i)
            std::memcpy(result.m_pData + i * nSrc, src.m_pData, static_cast<size_t>(nSrc));
        result._SetLength(nTotal);
    }
    XSwap(m_pData, result.m_pData);
    return STRMEM_OK;
}

int CTQBIN::nMilieu(CTQBIN* out, int pos, int n) const
{
    if (out == nullptr)
        return STRMEM_OK;
    // Made aside (out may be this value); a failure keeps out as it was.
    CTQBIN result;
    const int nLength = nGetSize();
    if (pos >= 0 && pos <= nLength && n != 0) {
        if (n < -1)
            return STRMEM_ERROR_TOO_LONG;
        if (n == -1 || n > nLength - pos)
            n = nLength - pos;
        if (n > 0) {
            const int nError = result._nNew(n, m_pData + pos, n);
            if (nError != STRMEM_OK)
                return nError;
        }
    }
    XSwap(out->m_pData, result.m_pData);
    return STRMEM_OK;
}

CTQBIN CTQBIN::clMilieu(int pos, int n) const
{
    CTQBIN result;
    nMilieu(&result, pos, n);
    return result;
}

// ---- Comparison and search -------------------------------------------------------------

int CTQBIN::nCompare(const CTQBIN& a, const CTQBIN& b)
{
    const int la = a.nGetSize();
    const int lb = b.nGetSize();
    const int nCommon = la < lb ? la : lb;
    if (nCommon > 0) {
        const int c = std::memcmp(a.m_pData, b.m_pData, static_cast<size_t>(nCommon));
        if (c != 0)
            return nSign(c);
    }
    return la < lb ? -1 : (la > lb ? 1 : 0);
}

int CTQBIN::nCompare(const CTQBIN& a, const CTQBIN& b, int n)
{
    const int la = a.nGetSize();
    const int lb = b.nGetSize();
    if (n > (la < lb ? la : lb))
        return nCompare(a, b);
    if (n <= 0)
        return 0;
    return nSign(std::memcmp(a.m_pData, b.m_pData, static_cast<size_t>(n)));
}

bool CTQBIN::bCommencePar(const CTQBIN& a, const CTQBIN& prefix)
{
    return nCompare(a, prefix, prefix.nGetSize()) == 0;
}

bool CTQBIN::bTerminePar(const CTQBIN& a, const CTQBIN& suffix)
{
    const int ls = suffix.nGetSize();
    const int la = a.nGetSize();
    if (ls == 0)
        return true;
    if (la < ls)
        return false;
    return std::memcmp(a.m_pData + la - ls, suffix.m_pData, static_cast<size_t>(ls)) == 0;
}

bool CTQBIN::bContient(const CTQBIN& a, const CTQBIN& pattern)
{
    const int lp = pattern.nGetSize();
    if (lp == 0)
        return true;
    return CBaseStrMem::s_nFind(a.m_pData, a.nGetSize(), pattern.m_pData, lp, 0) >= 0;
}

int CTQBIN::nPos(const unsigned char* pattern, int patLen, int start) const
{
    return static_cast<int>(CBaseStrMem::s_nFind(m_pData, nGetSize(), pattern, patLen, start));
}

// ---- Joining ------------------------------------------------------------------------

int CTQBIN::nConcatInit(CTQBIN* first, const CTQBIN* second, unsigned flags)
{
    m_pData = nullptr;
    if (first == nullptr || first->nGetSize() == 0) {
        if (second != nullptr && second->m_pData != nullptr) {
            m_pData = second->m_pData;
            CBaseStrMem::s_AddRefStrMem(m_pData);
        }
        return STRMEM_OK;
    }
    if ((flags & 1) != 0) {
        // Read before the move: second may be first itself.
        const unsigned char* pSecond = second != nullptr ? second->m_pData : nullptr;
        const int nSecond = second != nullptr ? second->nGetSize() : 0;
        m_pData = first->m_pData;
        const bool bMoved = !CBaseStrMem::s_bShared(m_pData);
        if (bMoved)
            first->m_pData = nullptr;
        else
            CBaseStrMem::s_AddRefStrMem(m_pData);
        const int nError = nSecond > 0 ? nConcat(pSecond, nSecond) : STRMEM_OK;
        if (nError != STRMEM_OK) {
            // The failed growth left the block as it was: it goes back.
            if (bMoved)
                XSwap(first->m_pData, m_pData);
            _Release();
        }
        return nError;
    }
    if (second == nullptr || second->m_pData == nullptr) {
        m_pData = first->m_pData;
        CBaseStrMem::s_AddRefStrMem(m_pData);
        return STRMEM_OK;
    }
    const int nFirst = first->nGetSize();
    const int nSecond = second->nGetSize();
    const std::int64_t nTotal = static_cast<std::int64_t>(nFirst) + nSecond;
    if (nTotal > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    const int nError = _nNew(static_cast<int>(nTotal), first->m_pData, nFirst);
    if (nError != STRMEM_OK)
        return nError;
    CBaseStrMem::STHeader* pHeader = CBaseStrMem::s_pHeader(m_pData);
    pHeader->dwFlags = (pHeader->dwFlags & ~CBaseStrMem::FLAG_SENTINEL) |
                       (second->dwGetFlags() & CBaseStrMem::FLAG_SENTINEL);
    if (nSecond > 0)
        std::memcpy(m_pData + nFirst, second->m_pData, static_cast<size_t>(nSecond));
    _SetLength(nTotal);
    return STRMEM_OK;
}

int CTQBIN::_nAppend(const CTQBIN* first, const CTQBIN* second)
{
    // Sizes and blocks are read before the growth: either value may be this
    // one or share its block, whose bytes then stay at the start of the
    // grown block.
    const CTQBIN* parts[2] = {first, second};
    const unsigned char* pBlocks[2] = {nullptr, nullptr};
    int nSizes[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        if (parts[i] != nullptr) {
            pBlocks[i] = parts[i]->m_pData;
            nSizes[i] = parts[i]->nGetSize();
        }
    }
    const std::int64_t nAdded = static_cast<std::int64_t>(nSizes[0]) + nSizes[1];
    if (nAdded == 0)
        return STRMEM_OK;
    const int nLength = nGetSize();
    const unsigned char* pOwn = m_pData;
    const int nError = _nGrowJoined(nLength + nAdded);
    if (nError != STRMEM_OK)
        return nError;
    STRMEM_ASSERT_HELD_ALONE(m_pData);
    std::int64_t nAt = nLength;
    for (int i = 0; i < 2; ++i) {
        if (nSizes[i] == 0)
            continue;
        const unsigned char* pSrc = pBlocks[i] == pOwn ? m_pData : pBlocks[i];
        std::memcpy(m_pData + nAt, pSrc, static_cast<size_t>(nSizes[i]));
        nAt += nSizes[i];
    }
    _SetLength(nAt);
    return STRMEM_OK;
}

int CTQBIN::nConcatSeparateur(const CTQBIN* sep, const CTQBIN* other, int bNoLeadingSep)
{
    if (bNoLeadingSep && nGetSize() == 0)
        return _nAppend(other, nullptr);
    const CTQBIN none;
    const CTQBIN& separator = sep != nullptr ? *sep : none;
    if (bTerminePar(*this, separator))
        return _nAppend(other, nullptr);
    if (other != nullptr) {
        if (other->nGetSize() == 0)
            return STRMEM_OK;
        if (bCommencePar(*other, separator))
            return _nAppend(other, nullptr);
    }
    // Separator and value in one growth: nothing is appended when it fails.
    return _nAppend(sep, other);
}

// ---- Conversions -----------------------------------------------------------------------

int CTQBIN::nAffecteToUNICODE(const char* src, int n, int codePage, int flags)
{
    _Release();
    if (src == nullptr)
        return STRMEM_OK;
    const std::int64_t nSrc = n == -1 ? static_cast<std::int64_t>(TXT_nLen(src)) : n;
    if (nSrc < 1)
        return STRMEM_OK;
    if (nSrc > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    const unsigned nCodePage = static_cast<unsigned>(codePage);
    const int nChars = MultiByteToWideChar(nCodePage, flags, src, static_cast<int>(nSrc), nullptr, 0);
    if (nChars <= 0)
        return STRMEM_ERROR_CONVERSION;
    const std::int64_t nBytes = 4 * static_cast<std::int64_t>(nChars);
    if (nBytes > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    const int nError = _nNew(static_cast<int>(nBytes), nullptr, 0);
    if (nError != STRMEM_OK)
        return nError;
    const int nDone = MultiByteToWideChar(nCodePage, flags, src, static_cast<int>(nSrc),
                                          reinterpret_cast<wchar_t*>(m_pData), nChars);
    if (nDone <= 0) {
        _Release();
        return STRMEM_ERROR_CONVERSION;
    }
    _SetLength(4 * static_cast<std::int64_t>(nDone));
    return STRMEM_OK;
}

int CTQBIN::nAffecteToANSI(const wchar_t* src, int n, int codePage, int flags, const char* def, int* usedDef,
                           int extra)
{
    _Release();
    if (src == nullptr || n < 1)
        return STRMEM_OK;
    if (extra < 0)
        extra = 0;
    const unsigned nCodePage = static_cast<unsigned>(codePage);
    const int nBytes = WideCharToMultiByte(nCodePage, flags, src, n, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 0)
        return STRMEM_ERROR_CONVERSION;
    const std::int64_t nRoom = static_cast<std::int64_t>(nBytes) + extra;
    if (nRoom > STRMEM_MAX_SIZE)
        return STRMEM_ERROR_TOO_LONG;
    const int nError = _nNew(static_cast<int>(nRoom), nullptr, 0);
    if (nError != STRMEM_OK)
        return nError;
    const int nDone =
        WideCharToMultiByte(nCodePage, flags, src, n, reinterpret_cast<char*>(m_pData), nBytes, def, usedDef);
    if (nDone <= 0) {
        _Release();
        return STRMEM_ERROR_CONVERSION;
    }
    _SetLength(nDone);
    return STRMEM_OK;
}

int CTQBIN::nAffecteToANSI(const CTQBIN* src, int codePage, int flags, const char* def, int* usedDef)
{
    CTQBIN keep;  // src may be this value
    if (src != nullptr)
        keep = *src;
    const int nChars = keep.nGetSize() / 4;
    const wchar_t* pWide = reinterpret_cast<const wchar_t*>(keep.m_pData);
    if (nChars >= 1 && codePage != kCodePageUTF8 && (keep.dwGetFlags() & CBaseStrMem::FLAG_SENTINEL) != 0 &&
        pWide[nChars - 1] == kWideSentinel) {
        int nError = nAffecteToANSI(pWide, nChars - 1, codePage, flags, def, usedDef, 1);
        if (nError != STRMEM_OK)
            return nError;
        const unsigned char cSentinel = 0xFF;
        nError = nConcat(&cSentinel, 1);
        if (nError != STRMEM_OK)
            return nError;
        STRMEM_ASSERT_HELD_ALONE(m_pData);
        CBaseStrMem::s_pHeader(m_pData)->dwFlags = CBaseStrMem::FLAG_SENTINEL;
        return STRMEM_OK;
    }
    return nAffecteToANSI(pWide, nChars, codePage, flags, def, usedDef, 0);
}

// ---- STManipAUB ---------------------------------------------------------------------------

namespace {
unsigned nTypeOf(std::uint32_t nTypeWord)
{
    return nTypeWord & 0xFF;
}

unsigned nLengthOf(const void* pData)
{
    return pData != nullptr ? CBaseStrMem::s_pHeader(pData)->nLength : 0;
}

const unsigned char* pEmptyContent()
{
    return reinterpret_cast<const unsigned char*>(&CBaseStrMem::ChaineVide);
}
}  // namespace

const char* STManipAUB::pszGetStringA() const
{
    return m_pData != nullptr ? static_cast<const char*>(m_pData) : CXYString<char>::ChaineVide;
}

const wchar_t* STManipAUB::pszGetStringW() const
{
    return m_pData != nullptr ? static_cast<const wchar_t*>(m_pData) : CXYString<wchar_t>::ChaineVide;
}

const unsigned char* STManipAUB::pbyGetContenu(unsigned& size) const
{
    const unsigned nLength = nLengthOf(m_pData);
    const unsigned char* pData = static_cast<const unsigned char*>(m_pData);
    switch (nTypeOf(m_nType)) {
    case STMANIP_TYPE_DSTRA:
        size = nLength + 1;
        // Without a block the terminator is the empty text's.
        return pData != nullptr ? pData : reinterpret_cast<const unsigned char*>(CXYString<char>::ChaineVide);
    case STMANIP_TYPE_DSTRW:
        size = nLength + 4;
        return pData != nullptr ? pData : reinterpret_cast<const unsigned char*>(CXYString<wchar_t>::ChaineVide);
    case STMANIP_TYPE_BIN:
        size = nLength;
        return pData;
    default:
        size = 0;
        return pEmptyContent();
    }
}

const unsigned char* STManipAUB::pbyGetContenuUtile(unsigned& size) const
{
    switch (nTypeOf(m_nType)) {
    case STMANIP_TYPE_DSTRA:
    case STMANIP_TYPE_DSTRW:
    case STMANIP_TYPE_BIN:
        size = nLengthOf(m_pData);
        return static_cast<const unsigned char*>(m_pData);
    default:
        size = 0;
        return pEmptyContent();
    }
}

int STManipAUB::nGetLongueur() const
{
    switch (nTypeOf(m_nType)) {
    case STMANIP_TYPE_DSTRA:
    case STMANIP_TYPE_BIN:
        return static_cast<int>(nLengthOf(m_pData));
    case STMANIP_TYPE_DSTRW:
        return static_cast<int>(nLengthOf(m_pData) / 4);
    default:
        return 0;
    }
}

int STManipAUB::nGetTailleUtile() const
{
    switch (nTypeOf(m_nType)) {
    case STMANIP_TYPE_DSTRA:
    case STMANIP_TYPE_DSTRW:
    case STMANIP_TYPE_BIN:
        return static_cast<int>(nLengthOf(m_pData));
    default:
        return 0;
    }
}
