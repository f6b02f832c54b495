// Host strings and binaries under repeatable random operation sequences, checked
// against plain standard containers: handles share blocks, take each other
// (and themselves) as arguments, hold null and allocated empty values, and
// the allocator refuses calls at random. Every failure must leave every
// value, and the failing handle's block, as they were.
#include "common/text/TQBIN.h"
#include "common/text/XYString.h"

#include "common/platform/InformationDLL.h"
#include "tests/support/HostBlocks.h"

#include <cstring>
#include <random>
#include <string>

namespace {

constexpr int kPool = 4;
constexpr int kSteps = 20000;
constexpr int kRefused = 4242;
// Answered by a step whose operation answers no status.
constexpr int kNoStatus = -1;
const unsigned kStarts[] = {1u, 22u, 20261206u};

// Forwards to the stand-in's allocator and refuses about one call in six
// while armed, counting what it refused.
class CFlakyAllocator final : public IStrMemAlloc {
public:
    explicit CFlakyAllocator(unsigned nStart) : m_piReal(CInformationModule::ms_piStrMemAlloc), m_rng(nStart)
    {
        CInformationModule::ms_piStrMemAlloc = this;
    }
    ~CFlakyAllocator() { CInformationModule::ms_piStrMemAlloc = m_piReal; }

    unsigned Reserved0() override { return m_piReal->Reserved0(); }
    int nAlloc(void** ppData, unsigned nBytes) override
    {
        return bRefuse() ? kRefused : m_piReal->nAlloc(ppData, nBytes);
    }
    int nRealloc(void** ppData, unsigned nBytes) override
    {
        return bRefuse() ? kRefused : m_piReal->nRealloc(ppData, nBytes);
    }
    void Free(void* pData) override { m_piReal->Free(pData); }

    bool m_bArmed = false;
    int m_nRefusals = 0;

private:
    bool bRefuse()
    {
        if (!m_bArmed || m_rng() % 6 != 0)
            return false;
        ++m_nRefusals;
        return true;
    }

    IStrMemAlloc* m_piReal;
    std::mt19937 m_rng;
};

// The random choices of one run.
class CDice {
public:
    explicit CDice(unsigned nStart) : m_rng(nStart) {}
    // From lo to hi, both included.
    int operator()(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

private:
    std::mt19937 m_rng;
};

// Units of a few letters, so that searches find something.
template <class T>
const T* Letters()
{
    static const T letters[] = {'a', 'b', 'a', ',', 'b', 'b', 'a', ',', 0};
    return letters;
}
constexpr int kLetters = 8;

// Common checks after each step: models, sharing and terminators.
template <class THandle, class TModel, class FText>
void CheckPool(const THandle (&h)[kPool], const TModel (&m)[kPool], FText text, bool bTerminated)
{
    for (int i = 0; i < kPool; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(text(h[i]), m[i]);
        if (h[i].pGetData() == nullptr)
            continue;
        int nHolders = 0;
        for (const THandle& other : h)
            nHolders += other.pGetData() == h[i].pGetData() ? 1 : 0;
        EXPECT_EQ(RefCount(h[i]), nHolders);
        if (bTerminated) {
            std::uint32_t dwEnd = 1;
            std::memcpy(&dwEnd, reinterpret_cast<const char*>(h[i].pGetData()) + Header(h[i])->nLength, 4);
            EXPECT_EQ(dwEnd, 0u);
        }
    }
}

// A source of units: the letters, or the data of a pool handle (possibly
// the changed handle itself) that then may move or be detached.
template <class T, class THandle>
const T* PickSource(CDice& dice, const THandle (&h)[kPool], int nMaxUnits, int& nAvail)
{
    const int j = dice(-1, kPool - 1);
    if (j >= 0 && h[j].pGetData() != nullptr && h[j].nGetLength() > 0) {
        const int nOff = dice(0, h[j].nGetLength() - 1);
        nAvail = h[j].nGetLength() - nOff;
        return reinterpret_cast<const T*>(h[j].pGetData()) + nOff;
    }
    const int nOff = dice(0, kLetters - 1);
    nAvail = kLetters - nOff < nMaxUnits ? kLetters - nOff : nMaxUnits;
    return Letters<T>() + nOff;
}

// The last operation drawn, for the failure messages.
int g_nOp = -1;

// Runs kSteps random steps on a pool of handles and their models.
template <class THandle, class TModel, class FStep, class FText>
void RunModel(unsigned nStart, FStep step, FText text, bool bTerminated)
{
    SCOPED_TRACE(testing::Message() << "start " << nStart);
    CDice dice(nStart);
    CFlakyAllocator alloc(nStart + 1);
    THandle h[kPool];
    TModel m[kPool];
    for (int nStep = 0; nStep < kSteps && !testing::Test::HasFailure(); ++nStep) {
        SCOPED_TRACE(testing::Message() << "step " << nStep);
        // Values stay short: long ones start over.
        for (int k = 0; k < kPool; ++k) {
            if (m[k].size() > 40) {
                h[k] = THandle();
                m[k].clear();
            }
        }
        TModel before[kPool];
        void* pBefore[kPool];
        for (int k = 0; k < kPool; ++k) {
            before[k] = m[k];
            pBefore[k] = h[k].pGetData();
        }
        const int nRefusals = alloc.m_nRefusals;
        alloc.m_bArmed = dice(0, 2) == 0;
        const int nStatus = step(dice, h, m, dice(0, kPool - 1));
        alloc.m_bArmed = false;
        const bool bRefused = alloc.m_nRefusals != nRefusals;
        SCOPED_TRACE(testing::Message() << "operation " << g_nOp << (bRefused ? ", refused" : ""));
        // An answered error is a refusal, and a refusal is answered.
        if (nStatus != kNoStatus) {
            EXPECT_EQ(nStatus, bRefused ? kRefused : 0);
        }
        if (bRefused) {
            // Every handle keeps its block and its value.
            for (int k = 0; k < kPool; ++k) {
                EXPECT_EQ(h[k].pGetData(), pBefore[k]) << k;
                m[k] = before[k];
            }
        }
        CheckPool(h, m, text, bTerminated);
    }
}

// ---- Host strings --------------------------------------------------------------

template <class T>
std::basic_string<T> TextOf(const CXYString<T>& s)
{
    return std::basic_string<T>(s.pszGet(), static_cast<size_t>(s.nGetLength()));
}

template <class T>
void ReplaceAll(std::basic_string<T>& s, const std::basic_string<T>& from, const std::basic_string<T>& to,
                int start)
{
    if (s.empty() || from.empty() || start < 0)
        return;
    std::basic_string<T> out = s.substr(0, static_cast<size_t>(start < static_cast<int>(s.size()) ? start : s.size()));
    size_t nRead = out.size();
    for (size_t p = s.find(from, nRead); p != std::basic_string<T>::npos; p = s.find(from, nRead)) {
        out += s.substr(nRead, p - nRead) + to;
        nRead = p + from.size();
    }
    s = out + s.substr(nRead);
}

// The operations that exist for wide text only.
int WideStep(CDice& dice, CXYString<wchar_t> (&h)[kPool], std::wstring (&m)[kPool], int i, int nOp)
{
    typedef std::wstring S;
    int nStatus = kNoStatus;
    const int nLength = static_cast<int>(m[i].size());
    const int j = dice(0, kPool - 1);
    int nAvail = 0;
    switch (nOp) {
    case 7:
        nStatus = h[i].nConcat(h[j]);
        m[i] += m[j];
        break;
    case 8: {
        const int n = dice(-1, nLength);
        h[i].Tronque(n);
        if (n >= 0 && n < nLength)
            m[i].resize(static_cast<size_t>(n));
        break;
    }
    case 9: {
        const int pos = dice(-1, nLength);
        const int n = dice(-1, 3);
        h[i].Supprime(pos, n);
        if (nLength > 0 && pos >= 0 && pos < nLength && n >= 0)
            m[i].erase(static_cast<size_t>(pos), static_cast<size_t>(n));
        break;
    }
    case 10: {
        const int pos = dice(-1, nLength);
        const int n = dice(-1, 3);
        const wchar_t* src = PickSource<wchar_t>(dice, h, kLetters, nAvail);
        const int nSrc = dice(0, nAvail);
        const S sSrc(src, static_cast<size_t>(nSrc));
        h[i].Remplace(pos, n, src, nSrc);
        if (nLength > 0 && pos >= 0 && pos < nLength && n >= 0)
            m[i].replace(static_cast<size_t>(pos), static_cast<size_t>(n), sSrc);
        break;
    }
    }
    return nStatus;
}

// One random operation on h[i]; the model of every handle is updated as the
// operation would succeed. Operations taking another handle are wide only.
// Answers the operation's status, kNoStatus for operations without one.
template <class T>
int StringStep(CDice& dice, CXYString<T> (&h)[kPool], std::basic_string<T> (&m)[kPool], int i)
{
    typedef std::basic_string<T> S;
    int nStatus = kNoStatus;
    const int nLength = static_cast<int>(m[i].size());
    const bool bWide = sizeof(T) == sizeof(wchar_t);
    const int j = dice(0, kPool - 1);
    int nAvail = 0;
    const int nOp = g_nOp = dice(0, bWide ? 10 : 6);
    if constexpr (sizeof(T) == sizeof(wchar_t)) {
        if (nOp > 6)
            return WideStep(dice, h, m, i, nOp);
    }
    switch (nOp) {
    case 0:  // share another handle's block, or the own
        h[i] = h[j];
        m[i] = m[j];
        break;
    case 1: {  // null, or allocated empty
        CXYString<T> fresh;
        if (dice(0, 1) == 0 && (nStatus = fresh.nSetLength(dice(0, 3))) != 0)
            break;
        h[i] = fresh;
        m[i].clear();
        break;
    }
    case 2: {
        const T* src = PickSource<T>(dice, h, kLetters, nAvail);
        const int n = dice(-1, nAvail);
        const S added = n > 0 ? S(src, static_cast<size_t>(n)) : S();
        nStatus = h[i].nConcat(src, n);
        m[i] += added;
        break;
    }
    case 3: {
        const int n = dice(0, nLength);
        h[i].SetUtilLength(n, dice(0, 1));
        m[i].resize(static_cast<size_t>(n));
        break;
    }
    case 4: {
        nStatus = h[i].nSetLength(dice(0, nLength + 8));
        break;
    }
    case 5:
    case 6: {
        const T* from = PickSource<T>(dice, h, 3, nAvail);
        const int nFrom = dice(0, nAvail < 3 ? nAvail : 3);
        const S sFrom(from, static_cast<size_t>(nFrom));
        const T* to = PickSource<T>(dice, h, 4, nAvail);
        const int nTo = dice(0, nAvail);
        const S sTo(to, static_cast<size_t>(nTo));
        const int start = dice(-1, nLength);
        h[i].RemplaceBinaire(from, nFrom, to, nTo, start);
        ReplaceAll(m[i], sFrom, sTo, start);
        break;
    }
    }
    return nStatus;
}

// ---- Host binaries ---------------------------------------------------------------

std::string BytesOf(const CTQBIN& b)
{
    return std::string(reinterpret_cast<const char*>(b.pGetData()), static_cast<size_t>(b.nGetSize()));
}

// nLength() under the name the pool checks use.
struct CBinHandle : CTQBIN {
    CBinHandle() = default;
    CBinHandle& operator=(const CTQBIN& other)
    {
        CTQBIN::operator=(other);
        return *this;
    }
    int nGetLength() const { return nGetSize(); }
};

std::string Joined(const std::string& v, const std::string* sep, const std::string* other, bool bNoLeadingSep)
{
    const std::string s = sep != nullptr ? *sep : std::string();
    const std::string o = other != nullptr ? *other : std::string();
    if (bNoLeadingSep && v.empty())
        return v + o;
    if (v.size() >= s.size() && v.compare(v.size() - s.size(), s.size(), s) == 0)
        return v + o;
    if (other != nullptr && (o.empty() || o.compare(0, s.size(), s) == 0))
        return v + o;
    return v + s + o;
}

int BinaryStep(CDice& dice, CBinHandle (&h)[kPool], std::string (&m)[kPool], int i, const CTQBIN& comma)
{
    int nStatus = kNoStatus;
    const int nLength = static_cast<int>(m[i].size());
    const int j = dice(0, kPool - 1);
    const int k = dice(0, kPool - 1);
    int nAvail = 0;
    g_nOp = dice(0, 13);
    switch (g_nOp) {
    case 0:
        h[i] = h[j];
        m[i] = m[j];
        break;
    case 1: {  // null, or allocated empty
        CTQBIN fresh;
        if (dice(0, 1) == 0 && (nStatus = fresh.nSetMemorySize(dice(0, 3))) != 0)
            break;
        h[i] = fresh;
        m[i].clear();
        break;
    }
    case 2: {
        const auto* src = PickSource<unsigned char>(dice, h, kLetters, nAvail);
        const int n = dice(0, nAvail);
        const std::string sSrc(reinterpret_cast<const char*>(src), static_cast<size_t>(n));
        nStatus = h[i].nAssign(src, n);
        m[i] = sSrc;
        break;
    }
    case 3: {
        const int n = dice(-1, static_cast<int>(m[j].size()) + 1);
        h[i].Assign(&h[j], n);
        if (n == 0)
            m[i].clear();
        else if (n > 0 && n <= static_cast<int>(m[j].size()))
            m[i] = m[j].substr(0, static_cast<size_t>(n));
        else
            m[i] = m[j];
        break;
    }
    case 4: {
        const auto* src = PickSource<unsigned char>(dice, h, kLetters, nAvail);
        const int n = dice(0, nAvail);
        m[i] += std::string(reinterpret_cast<const char*>(src), static_cast<size_t>(n));
        nStatus = h[i].nConcat(src, n);
        break;
    }
    case 5: {
        const int n = dice(-1, nLength + 1);
        h[i].Tronque(n);
        if (n >= 0 && n <= nLength)
            m[i].resize(static_cast<size_t>(n));
        break;
    }
    case 6: {
        const int pos = dice(-1, nLength);
        const int n = dice(-1, 3);
        h[i].Remplace(pos, n, h[j]);
        if (pos >= 0 && pos < nLength && n >= 0)
            m[i].replace(static_cast<size_t>(pos), static_cast<size_t>(n), m[j]);
        break;
    }
    case 7: {
        const int count = dice(-1, 3);
        std::string repeated;
        for (int c = 0; c < count; ++c)
            repeated += m[j];
        nStatus = h[i].nRepete(h[j], count);
        m[i] = repeated;
        break;
    }
    case 8: {  // a part of h[i] into h[k], which may be h[i]
        const int pos = dice(-1, nLength + 1);
        int n = dice(-1, nLength);
        const std::string part = pos < 0 || pos > nLength || n == 0
                                     ? std::string()
                                     : m[i].substr(static_cast<size_t>(pos), n == -1 ? std::string::npos
                                                                                       : static_cast<size_t>(n));
        nStatus = h[i].nMilieu(&h[k], pos, n);
        m[k] = part;
        break;
    }
    case 9:
    case 10: {
        const int nSep = dice(0, 2);
        const CTQBIN* sep = nSep == 0 ? nullptr : (nSep == 1 ? &comma : &h[j]);
        const std::string sepText = nSep == 1 ? BytesOf(comma) : m[j];
        const CTQBIN* other = dice(0, 4) == 0 ? nullptr : &h[k];
        const bool bNoLeadingSep = dice(0, 1) == 1;
        const std::string joined =
            Joined(m[i], sep != nullptr ? &sepText : nullptr, other != nullptr ? &m[k] : nullptr, bNoLeadingSep);
        nStatus = h[i].nConcatSeparateur(sep, other, bNoLeadingSep);
        m[i] = joined;
        break;
    }
    case 11: {  // h[j] then h[k] into a new handle that then replaces h[i]
        const unsigned flags = static_cast<unsigned>(dice(0, 1));
        const CTQBIN* second = dice(0, 4) == 0 ? nullptr : &h[k];
        const std::string joined = m[j] + (second != nullptr ? m[k] : std::string());
        // With flag 1 an unshared first block moves into the result.
        const bool bMoves = flags == 1 && !m[j].empty() && RefCount(h[j]) == 1;
        CTQBIN fresh;
        nStatus = fresh.nConcatInit(&h[j], second, flags);
        if (nStatus != 0)
            break;
        if (bMoves)
            m[j].clear();
        h[i].Take(&fresh);
        m[i] = joined;
        break;
    }
    case 12: {
        const int n = dice(0, nLength);
        nStatus = h[i].nSetSize(n);
        m[i].resize(static_cast<size_t>(n));
        break;
    }
    case 13:
        h[i].Take(&h[j]);
        if (i != j) {
            m[i] = m[j];
            m[j].clear();
        }
        break;
    }
    return nStatus;
}

}  // namespace

class HostBlockModel : public testing::Test {
    CLiveBlockCheck m_check;
};

TEST_F(HostBlockModel, WideStrings)
{
    for (unsigned nStart : kStarts)
        RunModel<CXYString<wchar_t>, std::wstring>(nStart, StringStep<wchar_t>, TextOf<wchar_t>, true);
}

TEST_F(HostBlockModel, NarrowStrings)
{
    for (unsigned nStart : kStarts)
        RunModel<CXYString<char>, std::string>(nStart, StringStep<char>, TextOf<char>, true);
}

TEST_F(HostBlockModel, Binaries)
{
    const CTQBIN comma(reinterpret_cast<const unsigned char*>(","), 1);
    auto step = [&comma](CDice& dice, CBinHandle(&h)[kPool], std::string(&m)[kPool], int i) {
        return BinaryStep(dice, h, m, i, comma);
    };
    for (unsigned nStart : kStarts)
        RunModel<CBinHandle, std::string>(nStart, step, BytesOf, false);
}
