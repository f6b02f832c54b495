// The stand-in value machine. Every entry reads its operands from value
// areas by type code into a small variant (number, real, text, date-time,
// duration, bytes), works on that, and writes results in the stored form of
// the result type: scalars inline, texts and binaries in host string blocks
// from the runtime's own allocator, decimals as objects of its factory.
#include "host/ValueMachine.h"
#include "host/HostLifetime.h"

#include "common/platform/HostInterfaces.h"
#include "common/text/CodePage.h"
#include "common/values/AnyConvert.h"
#include "host/HostDecimal.h"
#include "host/InfoLocale.h"

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#define HOSTVM_EXPORT extern "C" __attribute__((visibility("default")))

// The runtime's entry, defined beside this file: the machine takes its
// string allocator from the runtime's own services.
extern "C" unsigned Execution(unsigned nCommand, uintptr_t nArgument);

namespace {

// ---- Statuses, type codes ----------------------------------------------------------------

constexpr int kOk = 0;
constexpr int kEmpty = 102;
constexpr int kNotHandled = 105;
constexpr int kTooLong = 108;
constexpr int kInvalidDate = 110;
constexpr int kInvalidTime = 111;
constexpr int kDurationTooShort = 112;

// Largest data of a host string block, in bytes.
constexpr std::uint64_t kMaxBlockBytes = 0x7FFFFEFF;

enum EType : unsigned char {
    T_EMPTY = 0, T_BOOL = 1, T_UI1 = 2, T_UI2 = 3, T_UI4 = 4, T_UI8 = 5, T_I1 = 6, T_I2 = 7, T_I4 = 8,
    T_I8 = 9, T_CY = 10, T_R4 = 11, T_R8 = 12, T_DECIMAL = 13, T_UIX = 14, T_I4BIS = 15, T_DSTRW = 16,
    T_CARA = 17, T_PSTRA = 18, T_DSTRA = 19, T_DATEW = 24, T_TIMEW = 25, T_DATETIME = 26, T_DUREE = 27,
    T_BIN = 28, T_CARW = 81, T_PSTRW = 110, T_DATEA = 128, T_TIMEA = 129,
};

bool bWideTextType(unsigned t)
{
    return t == T_DSTRW || t == T_DATEW || t == T_TIMEW || t == T_CARW || t == T_PSTRW;
}
bool bNarrowTextType(unsigned t)
{
    return t == T_CARA || t == T_PSTRA || t == T_DSTRA || t == T_DATEA || t == T_TIMEA;
}
bool bIntegerType(unsigned t)
{
    return (t >= T_BOOL && t <= T_I8) || t == T_UIX || t == T_I4BIS;
}
// Integer types of at most 32 bits.
bool bSmallIntegerType(unsigned t)
{
    return bIntegerType(t) && t != T_UI8 && t != T_I8;
}

// ---- Accounting ----------------------------------------------------------------------

class CHostValueMachine final : public IHostValueMachine {
public:
    int nLiveDecimals() override { return HostFactory().nLive(); }
    int nBadReleases() override { return HostFactory().nBadReleases(); }
    int nCalls() override { return m_nCalls.load(); }
    HostVMCall RecentCall(int nBack) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (nBack < 0 || nBack >= HOSTVM_RECENT_CALLS || nBack >= m_nCalls.load())
            return HostVMCall{};
        return m_aRecent[(m_nNext + HOSTVM_RECENT_CALLS - 1 - nBack) % HOSTVM_RECENT_CALLS];
    }

    void RecordCalls(bool bOn) override { m_bRecord.store(bOn, std::memory_order_relaxed); }

    void Record(const char* pszName, unsigned t1, unsigned t2, unsigned nOption, const void* pOptions,
                int nReserved)
    {
        if (!m_bRecord.load(std::memory_order_relaxed))
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        HostVMCall& call = m_aRecent[m_nNext];
        m_nNext = (m_nNext + 1) % HOSTVM_RECENT_CALLS;
        std::strncpy(call.szName, pszName, sizeof call.szName - 1);
        call.szName[sizeof call.szName - 1] = 0;
        call.nType1 = static_cast<unsigned short>(t1);
        call.nType2 = static_cast<unsigned short>(t2);
        call.nOption = nOption;
        call.pOptions = pOptions;
        call.nReserved = nReserved;
        ++m_nCalls;
    }

private:
    std::atomic<int> m_nCalls{0};
    std::atomic<bool> m_bRecord{false};
    std::mutex m_mutex;
    HostVMCall m_aRecent[HOSTVM_RECENT_CALLS] = {};
    int m_nNext = 0;
};

CHostValueMachine& Machine()
{
    static CHostValueMachine* p = HostKeep(new CHostValueMachine);
    return *p;
}

// ---- Host string blocks ------------------------------------------------------------------

struct SBlockHeader {
    std::uint32_t dwFlags;
    std::int32_t nRefCount;
    std::uint32_t nCapacity;
    std::uint32_t nLength;
};

SBlockHeader* pHeader(const void* pData)
{
    return reinterpret_cast<SBlockHeader*>(const_cast<char*>(static_cast<const char*>(pData))) - 1;
}

IStrMemAlloc* Allocator()
{
    return reinterpret_cast<IStrMemAlloc*>(static_cast<uintptr_t>(Execution(EXECUTION_SERVICE, SERVICE_STRING_ALLOCATOR)));
}

// A new block holding nBytes of p and a terminator of nUnit zero bytes; the
// empty content is the null block.
int nNewBlock(const void* p, std::uint64_t nBytes, unsigned nUnit, void** ppBlock)
{
    *ppBlock = nullptr;
    if (nBytes == 0)
        return kOk;
    if (nBytes > kMaxBlockBytes)
        return kTooLong;
    void* pData = nullptr;
    if (int n = Allocator()->nAlloc(&pData, static_cast<unsigned>(nBytes)))
        return n;
    std::memcpy(pData, p, static_cast<std::size_t>(nBytes));
    std::memset(static_cast<char*>(pData) + nBytes, 0, nUnit);
    pHeader(pData)->nLength = static_cast<std::uint32_t>(nBytes);
    *ppBlock = pData;
    return kOk;
}

void ReleaseBlock(void* pData)
{
    if (pData == nullptr)
        return;
    if (__atomic_sub_fetch(&pHeader(pData)->nRefCount, 1, __ATOMIC_ACQ_REL) == 0)
        Allocator()->Free(pData);
}

// ---- Text and code pages -------------------------------------------------------------------

const char32_t kCp1252High[32] = {
    0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D, 0x017D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D, 0x017E, 0x0178};

unsigned CodePageOf(const STOCAW* pst)
{
    return pst != nullptr && pst->nCodePage == 65001 ? 65001 : 1252;
}

std::u32string Widen(const char* p, std::size_t n, unsigned nCodePage)
{
    std::u32string out;
    out.reserve(n);
    if (nCodePage != 65001) {
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(p[i]);
            out.push_back(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
        }
        return out;
    }
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        int nMore = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t v = nMore == 0 ? c : nMore == 1 ? (c & 0x1F) : nMore == 2 ? (c & 0x0F) : (c & 0x07);
        std::size_t j = i + 1;
        for (int k = 0; k < nMore && nMore > 0; ++k, ++j) {
            if (j >= n || (static_cast<unsigned char>(p[j]) >> 6) != 2) {
                nMore = -1;
                break;
            }
            v = (v << 6) | (static_cast<unsigned char>(p[j]) & 0x3F);
        }
        if (nMore < 0) {
            out.push_back(0xFFFD);
            i += 1;
        } else {
            out.push_back(v);
            i = j;
        }
    }
    return out;
}

std::string Narrow(const std::u32string& s, unsigned nCodePage)
{
    std::string out;
    for (char32_t c : s) {
        if (nCodePage == 65001) {
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else if (c < 0x800) {
                out.push_back(static_cast<char>(0xC0 | (c >> 6)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            } else if (c < 0x10000) {
                out.push_back(static_cast<char>(0xE0 | (c >> 12)));
                out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            } else {
                out.push_back(static_cast<char>(0xF0 | ((c >> 18) & 0x07)));
                out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
            continue;
        }
        int b = -1;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            b = static_cast<int>(c);
        for (int i = 0; b < 0 && i < 32; ++i)
            if (kCp1252High[i] == c)
                b = 0x80 + i;
        out.push_back(static_cast<char>(b < 0 ? '?' : b));
    }
    return out;
}

std::u32string Ascii(const std::string& s)
{
    return std::u32string(s.begin(), s.end());
}

// ---- Number texts ----------------------------------------------------------------------

// A number text as the machine reads one: blanks, a sign, digits with at most
// one point, an optional exponent, blanks. It is kept as ASCII for the C
// library's exact reading, and a plain integer's magnitude is read at once.
class CNumberText {
public:
    template <class Ch>
    bool bScan(const Ch* p, std::size_t n);

    const char* pszText() const { return m_psz; }
    bool bNegative() const { return m_bNeg; }
    // Some digit other than 0.
    bool bNonZero() const { return m_bNonZero; }
    // Neither point nor exponent, and a magnitude of at most 64 bits.
    bool bSmallInteger() const { return m_nFraction == 0 && !m_bExponent && m_bFits; }
    // No exponent, and all the digits read as an integer of at most 64 bits.
    bool bSmallFixed() const { return !m_bExponent && m_bFits; }
    // The digits read as an integer (point left out) and how many follow the point.
    std::uint64_t Digits() const { return m_u; }
    int nFractionDigits() const { return m_nFraction; }

private:
    char m_sz[64];
    std::unique_ptr<char[]> m_pLong;
    const char* m_psz = m_sz;
    bool m_bNeg = false;
    bool m_bNonZero = false;
    bool m_bExponent = false;
    bool m_bFits = true;
    int m_nFraction = 0;
    std::uint64_t m_u = 0;
};

template <class Ch>
bool CNumberText::bScan(const Ch* p, std::size_t n)
{
    // Characters above 0x7F (and negative chars) are never part of a number.
    auto code = [p](std::size_t i) {
        return sizeof(Ch) == 1 ? static_cast<std::uint32_t>(static_cast<unsigned char>(p[i]))
                               : static_cast<std::uint32_t>(p[i]);
    };
    auto blank = [](std::uint32_t c) { return c == ' ' || c == '\t'; };
    auto digit = [](std::uint32_t c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t nEnd = n;
    while (i < nEnd && blank(code(i)))
        ++i;
    while (nEnd > i && blank(code(nEnd - 1)))
        --nEnd;
    char* pOut = m_sz;
    if (nEnd - i >= sizeof m_sz) {
        m_pLong.reset(new char[nEnd - i + 1]);
        pOut = m_pLong.get();
    }
    m_psz = pOut;
    // Locals in the loop: the output characters could alias the members.
    std::size_t k = 0;
    bool bNeg = false;
    if (i < nEnd && (code(i) == '+' || code(i) == '-')) {
        bNeg = code(i) == '-';
        pOut[k++] = static_cast<char>(code(i++));
    }
    bool bDigits = false;
    bool bPoint = false;
    bool bFits = true;
    bool bNonZero = false;
    int nFraction = 0;
    // Digits gather by nine in 32 bits, then join the 64-bit magnitude.
    std::uint64_t u = 0;
    std::uint32_t w = 0;
    int nChunk = 0;
    static const std::uint32_t s_aPow10[10] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000,
                                               1000000000};
    auto flush = [&]() {
        if (bFits && (__builtin_mul_overflow(u, static_cast<std::uint64_t>(s_aPow10[nChunk]), &u) ||
                      __builtin_add_overflow(u, static_cast<std::uint64_t>(w), &u)))
            bFits = false;
        w = 0;
        nChunk = 0;
    };
    for (; i < nEnd; ++i) {
        const std::uint32_t c = code(i);
        if (digit(c)) {
            bDigits = true;
            nFraction += bPoint;
            bNonZero = bNonZero || c != '0';
            w = w * 10 + (c - '0');
            if (++nChunk == 9)
                flush();
        } else if (c == '.' && !bPoint) {
            bPoint = true;
        } else {
            break;
        }
        pOut[k++] = static_cast<char>(c);
    }
    if (nChunk > 0)
        flush();
    m_bNeg = bNeg;
    m_bNonZero = bNonZero;
    m_bFits = bFits;
    m_nFraction = nFraction;
    m_u = u;
    if (!bDigits)
        return false;
    if (i < nEnd && (code(i) == 'e' || code(i) == 'E')) {
        m_bExponent = true;
        pOut[k++] = 'e';
        ++i;
        if (i < nEnd && (code(i) == '+' || code(i) == '-'))
            pOut[k++] = static_cast<char>(code(i++));
        const std::size_t nFrom = i;
        for (; i < nEnd && digit(code(i)); ++i)
            pOut[k++] = static_cast<char>(code(i));
        if (i == nFrom)
            return false;
    }
    pOut[k] = 0;
    return i == nEnd;
}

// ---- Operands ----------------------------------------------------------------------------

enum EKind { K_NUMBER, K_REAL, K_TEXT, K_DATETIME, K_DUREE, K_BIN };

struct SOperand {
    EKind eKind = K_NUMBER;
    unsigned nType = 0;
    CVMNumber num;         // booleans, integers, currency, decimal
    double d = 0;          // reals
    std::u32string text;   // texts
    std::uint32_t dwDate = 0;
    std::uint32_t dwTime = 0;
    std::int64_t llDuree = 0;
    std::string bytes;     // binaries
};

template <class T>
T Load(const void* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void Store(void* p, T v)
{
    std::memcpy(p, &v, sizeof v);
}

CVMNumber MoneyToNumber(const unsigned char* p)
{
    unsigned short aw[5];
    std::memcpy(aw, p, sizeof aw);
    const bool bNeg = (aw[4] & 0x8000) != 0;
    if (bNeg) {
        // Two's complement of the 80 bits.
        unsigned carry = 1;
        for (unsigned short& w : aw) {
            const unsigned v = static_cast<unsigned short>(~w) + carry;
            w = static_cast<unsigned short>(v);
            carry = v >> 16;
        }
    }
    CVMBigUnsigned mag;
    for (int i = 0; i < 5; ++i)
        mag.SetWord(i / 2, mag.Word(i / 2) | (static_cast<std::uint32_t>(aw[i]) << (16 * (i % 2))));
    CVMNumber n;
    CVMNumber::bFromParts(mag, 6, bNeg, n);
    return n;
}

// The currency of a number, rounded to millionths; false out of range.
bool bNumberToMoney(CVMNumber n, unsigned char* p)
{
    if (!n.bSetScale(6) || !n.Magnitude().bFitsBits(80))
        return false;
    CVMBigUnsigned mag = n.Magnitude();
    const bool bNeg = n.bIsNegative();
    // The magnitude of the smallest value, 2^79, has no positive form.
    CVMBigUnsigned limit;
    limit.SetWord(2, 0x8000);
    const int c = CVMBigUnsigned::nCompare(mag, limit);
    if (c > 0 || (c == 0 && !bNeg))
        return false;
    unsigned short aw[5];
    for (int i = 0; i < 5; ++i)
        aw[i] = static_cast<unsigned short>(mag.Word(i / 2) >> (16 * (i % 2)));
    if (bNeg) {
        unsigned carry = 1;
        for (unsigned short& w : aw) {
            const unsigned v = static_cast<unsigned short>(~w) + carry;
            w = static_cast<unsigned short>(v);
            carry = v >> 16;
        }
    }
    std::memcpy(p, aw, sizeof aw);
    return true;
}

// A wide text of n characters at p, refused when its host string would be
// too long.
int nTextFromWide(const wchar_t* p, std::uint64_t n, std::u32string& out)
{
    if (n * sizeof(wchar_t) > kMaxBlockBytes)
        return kTooLong;
    out.assign(reinterpret_cast<const char32_t*>(p), static_cast<std::size_t>(n));
    return kOk;
}

int nTextFromNarrow(const char* p, std::uint64_t n, unsigned nCodePage, std::u32string& out)
{
    if (n * sizeof(wchar_t) > kMaxBlockBytes)
        return kTooLong;
    out = Widen(p, static_cast<std::size_t>(n), nCodePage);
    return kOk;
}

std::size_t InlineLength(const char* p, std::size_t nMax)
{
    std::size_t n = 0;
    while (n < nMax && p[n] != 0)
        ++n;
    return n;
}

std::size_t InlineLength(const wchar_t* p, std::size_t nMax)
{
    std::size_t n = 0;
    while (n < nMax && p[n] != 0)
        ++n;
    return n;
}

int nRead(const void* pArea, unsigned nType, unsigned nCodePage, SOperand& op)
{
    nType &= 0xFF;
    op.nType = nType;
    const auto* pby = static_cast<const unsigned char*>(pArea);
    switch (nType) {
    case T_EMPTY:
        return kEmpty;
    case T_BOOL:
        op.num = CVMNumber::FromI64(Load<std::int32_t>(pby) != 0 ? 1 : 0);
        return kOk;
    case T_UI1: op.num = CVMNumber::FromU64(Load<std::uint8_t>(pby)); return kOk;
    case T_UI2: op.num = CVMNumber::FromU64(Load<std::uint16_t>(pby)); return kOk;
    case T_UI4: op.num = CVMNumber::FromU64(Load<std::uint32_t>(pby)); return kOk;
    case T_UI8: op.num = CVMNumber::FromU64(Load<std::uint64_t>(pby)); return kOk;
    case T_I1: op.num = CVMNumber::FromI64(Load<std::int8_t>(pby)); return kOk;
    case T_I2: op.num = CVMNumber::FromI64(Load<std::int16_t>(pby)); return kOk;
    case T_I4:
    case T_I4BIS:
    case T_UIX: op.num = CVMNumber::FromI64(Load<std::int32_t>(pby)); return kOk;
    case T_I8: op.num = CVMNumber::FromI64(Load<std::int64_t>(pby)); return kOk;
    case T_CY: op.num = MoneyToNumber(pby); return kOk;
    case T_R4:
        op.eKind = K_REAL;
        op.d = Load<float>(pby);
        return kOk;
    case T_R8:
        op.eKind = K_REAL;
        op.d = Load<double>(pby);
        return kOk;
    case T_DECIMAL:
        return HostFactory().bRead(Load<const IDecimal*>(pby), op.num) ? kOk : kNotHandled;
    case T_DSTRW: {
        op.eKind = K_TEXT;
        const auto* p = Load<const wchar_t*>(pby);
        return p == nullptr ? kOk : nTextFromWide(p, pHeader(p)->nLength / sizeof(wchar_t), op.text);
    }
    case T_DSTRA: {
        op.eKind = K_TEXT;
        const auto* p = Load<const char*>(pby);
        return p == nullptr ? kOk : nTextFromNarrow(p, pHeader(p)->nLength, nCodePage, op.text);
    }
    case T_PSTRA: {
        op.eKind = K_TEXT;
        const auto* p = Load<const char*>(pby);
        return p == nullptr ? kOk : nTextFromNarrow(p, std::strlen(p), nCodePage, op.text);
    }
    case T_PSTRW: {
        op.eKind = K_TEXT;
        const auto* p = Load<const wchar_t*>(pby);
        return p == nullptr ? kOk : nTextFromWide(p, std::wcslen(p), op.text);
    }
    case T_CARA:
    case T_DATEA:
    case T_TIMEA: {
        op.eKind = K_TEXT;
        const auto* p = reinterpret_cast<const char*>(pby);
        const std::size_t nMax = nType == T_CARA ? 1 : nType == T_DATEA ? 8 : 9;
        return nTextFromNarrow(p, InlineLength(p, nMax), nCodePage, op.text);
    }
    case T_CARW:
    case T_DATEW:
    case T_TIMEW: {
        op.eKind = K_TEXT;
        wchar_t sz[10];
        std::memcpy(sz, pby, sizeof sz);
        const std::size_t nMax = nType == T_CARW ? 1 : nType == T_DATEW ? 8 : 9;
        return nTextFromWide(sz, InlineLength(sz, nMax), op.text);
    }
    case T_DATETIME:
        op.eKind = K_DATETIME;
        op.dwDate = Load<std::uint32_t>(pby);
        op.dwTime = Load<std::uint32_t>(pby + 4);
        return kOk;
    case T_DUREE:
        op.eKind = K_DUREE;
        op.llDuree = Load<std::int64_t>(pby);
        return kOk;
    case T_BIN: {
        op.eKind = K_BIN;
        const auto* p = Load<const char*>(pby);
        if (p != nullptr)
            op.bytes.assign(p, pHeader(p)->nLength);
        return kOk;
    }
    default:
        return kNotHandled;
    }
}

// ---- Dates and durations -------------------------------------------------------------------

bool bLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int m, int y)
{
    static const int an[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && bLeap(y) ? 29 : an[m - 1];
}

// Days since 1 March of year 0 (proleptic Gregorian); false for an invalid date.
bool bDayNumber(std::uint32_t dwDate, std::int64_t& n)
{
    const int d = dwDate & 0xFF;
    const int m = (dwDate >> 8) & 0xFF;
    int y = static_cast<int>(dwDate >> 16);
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(m, y))
        return false;
    y -= m <= 2;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    n = static_cast<std::int64_t>(era) * 146097 + doe;
    return true;
}

bool bFromDayNumber(std::int64_t n, std::uint32_t& dwDate)
{
    const std::int64_t era = n / 146097;
    const int doe = static_cast<int>(n - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    if (y < 1 || y > 9999)
        return false;
    dwDate = static_cast<std::uint32_t>(d) | (static_cast<std::uint32_t>(m) << 8) | (static_cast<std::uint32_t>(y) << 16);
    return true;
}

// "%04u%02u%02u%02u%02u%02u%03u" written at p without the formatter; a day
// or month above 99 keeps all its digits as the formatter would. Answers
// the end.
char* DateTimeDigits(std::uint32_t dwDate, std::uint32_t dwTime, char* p)
{
    auto Put = [&p](unsigned n, int nWidth) {
        char aDigits[10];
        int i = 0;
        do {
            aDigits[i++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0);
        while (i < nWidth)
            aDigits[i++] = '0';
        while (i > 0)
            *p++ = aDigits[--i];
    };
    Put((dwDate >> 16) % 10000, 4);
    Put((dwDate >> 8) & 0xFF, 2);
    Put(dwDate & 0xFF, 2);
    Put((dwTime / 3600000) % 100, 2);
    Put(dwTime / 60000 % 60, 2);
    Put(dwTime / 1000 % 60, 2);
    Put(dwTime % 1000, 3);
    return p;
}

std::string DateTimeText(std::uint32_t dwDate, std::uint32_t dwTime)
{
    char sz[40];
    return std::string(sz, DateTimeDigits(dwDate, dwTime, sz));
}

std::string DureeText(std::int64_t v)
{
    const std::uint64_t a = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    char sz[48];
    std::snprintf(sz, sizeof sz, "%s%llu%02u%02u%02u%03u", v < 0 ? "-" : "",
                  static_cast<unsigned long long>(a / 86400000), static_cast<unsigned>(a % 86400000 / 3600000),
                  static_cast<unsigned>(a % 3600000 / 60000), static_cast<unsigned>(a % 60000 / 1000),
                  static_cast<unsigned>(a % 1000));
    return sz;
}

bool bDigits(const std::u32string& s, std::size_t nFrom, std::size_t n, unsigned& v)
{
    v = 0;
    for (std::size_t i = nFrom; i < nFrom + n; ++i) {
        if (i >= s.size() || s[i] < U'0' || s[i] > U'9')
            return false;
        v = v * 10 + static_cast<unsigned>(s[i] - U'0');
    }
    return true;
}

// Time of day from HHMMSS and 0 to 3 fraction digits.
int nReadTime(const std::u32string& s, std::uint32_t& dwTime)
{
    unsigned h, m, sec, frac = 0;
    if (s.size() < 6 || s.size() > 9 || !bDigits(s, 0, 2, h) || !bDigits(s, 2, 2, m) || !bDigits(s, 4, 2, sec) ||
        !bDigits(s, 6, s.size() - 6, frac))
        return kInvalidTime;
    for (std::size_t i = s.size(); i < 9; ++i)
        frac *= 10;
    if (h > 23 || m > 59 || sec > 59)
        return kInvalidTime;
    dwTime = h * 3600000 + m * 60000 + sec * 1000 + frac;
    return kOk;
}

// A date-time from its canonical text: a date, or a time for the time texts.
int nReadDateTime(const SOperand& op, std::uint32_t& dwDate, std::uint32_t& dwTime)
{
    dwDate = 0;
    dwTime = 0;
    if (op.nType == T_TIMEW || op.nType == T_TIMEA)
        return nReadTime(op.text, dwTime);
    unsigned y, m, d;
    if (!bDigits(op.text, 0, 4, y) || !bDigits(op.text, 4, 2, m) || !bDigits(op.text, 6, 2, d))
        return kInvalidDate;
    dwDate = d | (m << 8) | (y << 16);
    std::int64_t n;
    if (!bDayNumber(dwDate, n))
        return kInvalidDate;
    return op.text.size() > 8 ? nReadTime(op.text.substr(8), dwTime) : kOk;
}

int nReadDuree(const std::u32string& text, std::int64_t& v)
{
    std::u32string s = text;
    bool bNeg = false;
    if (!s.empty() && (s[0] == U'+' || s[0] == U'-')) {
        bNeg = s[0] == U'-';
        s.erase(0, 1);
    }
    if (s.size() <= 9)
        return kDurationTooShort;
    const std::size_t L = s.size();
    unsigned ms, sec, m, h, days;
    if (!bDigits(s, L - 3, 3, ms) || !bDigits(s, L - 5, 2, sec) || !bDigits(s, L - 7, 2, m) ||
        !bDigits(s, L - 9, 2, h) || L - 9 > 9 || !bDigits(s, 0, L - 9, days))
        return HOSTVM_NOT_A_NUMBER;
    v = static_cast<std::int64_t>(days) * 86400000 + h * 3600000 + m * 60000 + sec * 1000 + ms;
    if (bNeg)
        v = -v;
    return kOk;
}

// ---- Forms of an operand -----------------------------------------------------------------

// The shortest text that reads back as the same real of the value's width.
std::string RealText(double d, bool bSingle)
{
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d < 0 ? "-Inf" : "Inf";
    return bSingle ? HostSingleText(static_cast<float>(d)) : HostRealText(d);
}

std::u32string TextOf(const SOperand& op)
{
    switch (op.eKind) {
    case K_NUMBER: {
        CVMNumber n = op.num;
        if (op.nType == T_CY)
            n.Trim();
        return Ascii(n.Text());
    }
    case K_REAL:
        return Ascii(RealText(op.d, op.nType == T_R4));
    case K_TEXT:
        return op.text;
    case K_DATETIME: {
        const std::string s = DateTimeText(op.dwDate, op.dwTime);
        return Ascii(s);
    }
    case K_DUREE:
        return Ascii(DureeText(op.llDuree));
    case K_BIN:
        return Widen(op.bytes.data(), op.bytes.size(), 1252);
    }
    return {};
}

// The operand as an exact number (reals through their shortest text).
int nNumberOf(const SOperand& op, CVMNumber& n)
{
    switch (op.eKind) {
    case K_NUMBER:
        n = op.num;
        return kOk;
    case K_REAL:
        return CVMNumber::bFromDouble(op.d, n) ? kOk : HOSTVM_OVERFLOW;
    case K_TEXT:
        return CVMNumber::bFromText(op.text, n) ? kOk : HOSTVM_NOT_A_NUMBER;
    case K_DUREE:
        n = CVMNumber::FromI64(op.llDuree);
        return kOk;
    default:
        return kNotHandled;
    }
}

// The nearest double (single) of an operand; texts are read directly, not
// through a number of limited digits.
template <class T>
int nRealOf(const SOperand& op, T& v)
{
    if (op.eKind == K_REAL) {
        // Through memory: the x87 registers would keep the double's range.
        volatile T vRounded = static_cast<T>(op.d);
        v = vRounded;
        // A finite real beyond the range, or one that would vanish, is refused.
        return (std::isinf(v) && !std::isinf(op.d)) || (v == 0 && op.d != 0) ? HOSTVM_OVERFLOW : kOk;
    }
    if (op.eKind == K_TEXT) {
        CNumberText text;
        if (!text.bScan(op.text.data(), op.text.size()))
            return HOSTVM_NOT_A_NUMBER;
        return bHostParseReal(text.pszText(), text.bNonZero(), v) ? kOk : HOSTVM_OVERFLOW;
    }
    CVMNumber n;
    if (int s = nNumberOf(op, n))
        return s;
    v = n.Real<T>();
    return kOk;
}

// ---- Writing results ------------------------------------------------------------------------

template <class T>
int nWriteReal(const SOperand& op, unsigned char* pResult)
{
    T v;
    if (int s = nRealOf(op, v))
        return s;
    Store(pResult, v);
    return kOk;
}

int nWriteText(const std::u32string& text, unsigned nTarget, unsigned nCodePage, unsigned char* pResult)
{
    switch (nTarget) {
    case T_DSTRW: {
        void* p;
        const int s = nNewBlock(text.data(), static_cast<std::uint64_t>(text.size()) * sizeof(wchar_t),
                                sizeof(wchar_t), &p);
        Store(pResult, p);
        return s;
    }
    case T_DSTRA: {
        const std::string narrow = Narrow(text, nCodePage);
        void* p;
        const int s = nNewBlock(narrow.data(), narrow.size(), 1, &p);
        Store(pResult, p);
        return s;
    }
    case T_PSTRA: {
        const std::string narrow = Narrow(text, nCodePage);
        char* p = static_cast<char*>(std::malloc(narrow.size() + 1));
        if (p == nullptr)
            return kTooLong;
        std::memcpy(p, narrow.c_str(), narrow.size() + 1);
        Store(pResult, p);
        return kOk;
    }
    case T_PSTRW: {
        auto* p = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
        if (p == nullptr)
            return kTooLong;
        std::memcpy(p, text.data(), text.size() * sizeof(wchar_t));
        p[text.size()] = 0;
        Store(pResult, p);
        return kOk;
    }
    case T_CARA:
    case T_DATEA:
    case T_TIMEA: {
        const std::size_t nMax = nTarget == T_CARA ? 1 : nTarget == T_DATEA ? 8 : 9;
        const std::string narrow = Narrow(text.substr(0, nMax), nCodePage);
        std::memcpy(pResult, narrow.data(), narrow.size());
        pResult[narrow.size()] = 0;
        return kOk;
    }
    case T_CARW:
    case T_DATEW:
    case T_TIMEW: {
        const std::size_t nMax = nTarget == T_CARW ? 1 : nTarget == T_DATEW ? 8 : 9;
        const std::size_t n = text.size() < nMax ? text.size() : nMax;
        std::memcpy(pResult, text.data(), n * sizeof(wchar_t));
        Store<wchar_t>(pResult + n * sizeof(wchar_t), 0);
        return kOk;
    }
    default:
        return kNotHandled;
    }
}

// An integer of the given magnitude and sign in an integer type (or a
// duration); an overflow when it does not fit. 0 for other targets.
int nWriteMagnitude(std::uint64_t u, bool bNeg, unsigned nTarget, unsigned char* pResult)
{
    unsigned nBits;
    bool bSigned = true;
    switch (nTarget) {
    case T_UI1: nBits = 8; bSigned = false; break;
    case T_UI2: nBits = 16; bSigned = false; break;
    case T_UI4: nBits = 32; bSigned = false; break;
    case T_UI8: nBits = 64; bSigned = false; break;
    case T_I1: nBits = 8; break;
    case T_I2: nBits = 16; break;
    case T_I4:
    case T_I4BIS:
    case T_UIX: nBits = 32; break;
    case T_I8:
    case T_DUREE: nBits = 64; break;
    default: return kNotHandled;
    }
    if (u == 0)
        bNeg = false;
    const std::uint64_t top = static_cast<std::uint64_t>(1) << (nBits - 1);
    const bool bFits = bSigned ? u <= (bNeg ? top : top - 1) : !bNeg && u <= top + (top - 1);
    if (!bFits)
        return HOSTVM_OVERFLOW;
    const std::uint64_t v = bNeg ? 0 - u : u;
    // Little-endian: the low bytes of the two's complement are the value.
    std::memcpy(pResult, &v, nBits / 8);
    return kOk;
}

// A real in an integer type from its exact value, truncated toward zero.
int nWriteRealAsInteger(double d, unsigned nTarget, unsigned char* pResult)
{
    if (!std::isfinite(d))
        return HOSTVM_OVERFLOW;
    if (nTarget == T_BOOL) {
        Store<std::int32_t>(pResult, d != 0 ? 1 : 0);
        return kOk;
    }
    const double t = std::trunc(std::fabs(d));
    if (t >= 18446744073709551616.0)
        return HOSTVM_OVERFLOW;
    return nWriteMagnitude(static_cast<std::uint64_t>(t), d < 0, nTarget, pResult);
}

int nWriteNumber(const CVMNumber& n, unsigned nTarget, unsigned char* pResult)
{
    std::int64_t ll = 0;
    std::uint64_t ull = 0;
    auto signedIn = [&](std::int64_t lo, std::int64_t hi) { return n.bToI64(ll) && ll >= lo && ll <= hi; };
    auto unsignedIn = [&](std::uint64_t hi) { return n.bToU64(ull) && ull <= hi; };
    switch (nTarget) {
    case T_BOOL: Store<std::int32_t>(pResult, n.bIsZero() ? 0 : 1); return kOk;
    case T_UI1: if (!unsignedIn(0xFF)) return HOSTVM_OVERFLOW; Store(pResult, static_cast<std::uint8_t>(ull)); return kOk;
    case T_UI2: if (!unsignedIn(0xFFFF)) return HOSTVM_OVERFLOW; Store(pResult, static_cast<std::uint16_t>(ull)); return kOk;
    case T_UI4: if (!unsignedIn(0xFFFFFFFFu)) return HOSTVM_OVERFLOW; Store(pResult, static_cast<std::uint32_t>(ull)); return kOk;
    case T_UI8: if (!unsignedIn(UINT64_MAX)) return HOSTVM_OVERFLOW; Store(pResult, ull); return kOk;
    case T_I1: if (!signedIn(INT8_MIN, INT8_MAX)) return HOSTVM_OVERFLOW; Store(pResult, static_cast<std::int8_t>(ll)); return kOk;
    case T_I2: if (!signedIn(INT16_MIN, INT16_MAX)) return HOSTVM_OVERFLOW; Store(pResult, static_cast<std::int16_t>(ll)); return kOk;
    case T_I4:
    case T_I4BIS:
    case T_UIX: if (!signedIn(INT32_MIN, INT32_MAX)) return HOSTVM_OVERFLOW; Store(pResult, static_cast<std::int32_t>(ll)); return kOk;
    case T_I8: if (!signedIn(INT64_MIN, INT64_MAX)) return HOSTVM_OVERFLOW; Store(pResult, ll); return kOk;
    case T_CY: return bNumberToMoney(n, pResult) ? kOk : HOSTVM_OVERFLOW;
    case T_R4: Store(pResult, n.fValue()); return kOk;
    case T_R8: Store(pResult, n.dValue()); return kOk;
    case T_DECIMAL: {
        CVMDecimal* p = HostFactory().pNewDecimal();
        p->SetNumber(n);
        Store<IDecimal*>(pResult, p);
        return kOk;
    }
    case T_DUREE: if (!signedIn(INT64_MIN, INT64_MAX)) return HOSTVM_OVERFLOW; Store(pResult, ll); return kOk;
    default:
        return kNotHandled;
    }
}

bool bNumericTarget(unsigned t)
{
    return bIntegerType(t) || t == T_CY || t == T_R4 || t == T_R8 || t == T_DECIMAL;
}

bool bTextTarget(unsigned t)
{
    return bWideTextType(t) || bNarrowTextType(t);
}

int nConvert(const SOperand& op, unsigned nTarget, unsigned nCodePage, unsigned char* pResult)
{
    if (bTextTarget(nTarget)) {
        if (op.eKind == K_DATETIME && (nTarget == T_TIMEW || nTarget == T_TIMEA))
            return nWriteText(TextOf(op).substr(8), nTarget, nCodePage, pResult);
        return nWriteText(TextOf(op), nTarget, nCodePage, pResult);
    }
    if (nTarget == T_R4 || nTarget == T_R8) {
        if (op.eKind == K_DATETIME || op.eKind == K_BIN)
            return kNotHandled;
        return nTarget == T_R4 ? nWriteReal<float>(op, pResult) : nWriteReal<double>(op, pResult);
    }
    if (op.eKind == K_REAL && (bIntegerType(nTarget) || nTarget == T_DUREE))
        return nWriteRealAsInteger(op.d, nTarget, pResult);
    if (bNumericTarget(nTarget)) {
        CVMNumber n;
        if (int s = (op.eKind == K_DATETIME || op.eKind == K_BIN) ? kNotHandled : nNumberOf(op, n))
            return s;
        return nWriteNumber(n, nTarget, pResult);
    }
    switch (nTarget) {
    case T_DATETIME: {
        std::uint32_t dwDate = op.dwDate;
        std::uint32_t dwTime = op.dwTime;
        if (op.eKind == K_TEXT) {
            if (int s = nReadDateTime(op, dwDate, dwTime))
                return s;
        } else if (op.eKind != K_DATETIME) {
            return kNotHandled;
        }
        Store(pResult, dwDate);
        Store(pResult + 4, dwTime);
        return kOk;
    }
    case T_DUREE: {
        std::int64_t v = op.llDuree;
        if (op.eKind == K_TEXT) {
            if (int s = nReadDuree(op.text, v))
                return s;
        } else if (op.eKind == K_NUMBER || op.eKind == K_REAL) {
            CVMNumber n;
            if (int s = nNumberOf(op, n))
                return s;
            return nWriteNumber(n, T_DUREE, pResult);
        } else if (op.eKind != K_DUREE) {
            return kNotHandled;
        }
        Store(pResult, v);
        return kOk;
    }
    case T_BIN: {
        const std::string bytes = op.eKind == K_BIN ? op.bytes : Narrow(TextOf(op), nCodePage);
        void* p;
        const int s = nNewBlock(bytes.data(), bytes.size(), 1, &p);
        Store(pResult, p);
        return s;
    }
    default:
        return kNotHandled;
    }
}

// ---- Comparisons ----------------------------------------------------------------------------

int Sign(int n)
{
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

bool bNumeric(const SOperand& op)
{
    return op.eKind == K_NUMBER || op.eKind == K_REAL;
}

// Locale flags of the flexible comparisons: case, accents, then blanks and
// punctuation too.
constexpr unsigned kExact = 0;
constexpr unsigned kAlmost = LOCALE_FOLD_CASE;
constexpr unsigned kFlexible = LOCALE_FOLD_CASE | LOCALE_IGNORE_ACCENTS;
constexpr unsigned kVeryFlexible = kFlexible | LOCALE_IGNORE_PUNCT;

int nCompareTexts(const std::u32string& a, const std::u32string& b, unsigned nFlags)
{
    if (nFlags == kExact)
        return Sign(a.compare(b));
    return CInfoLocale::Compare(nFlags, a, b);
}

int nCompareOperands(const SOperand& a, const SOperand& b, unsigned nFlags, int& nResult)
{
    if (bNumeric(a) && bNumeric(b)) {
        if (a.eKind == K_REAL || b.eKind == K_REAL) {
            double da, db;
            nRealOf(a, da);
            nRealOf(b, db);
            if (std::isnan(da) || std::isnan(db))
                return kNotHandled;
            nResult = da < db ? -1 : (da > db ? 1 : 0);
        } else {
            nResult = CVMNumber::nCompare(a.num, b.num);
        }
        return kOk;
    }
    if ((bNumeric(a) && b.eKind == K_TEXT) || (a.eKind == K_TEXT && bNumeric(b))) {
        // A text that reads as a number compares as one.
        CVMNumber na, nb;
        if (nNumberOf(a, na) == kOk && nNumberOf(b, nb) == kOk) {
            nResult = CVMNumber::nCompare(na, nb);
            return kOk;
        }
        nResult = nCompareTexts(TextOf(a), TextOf(b), nFlags);
        return kOk;
    }
    if (a.eKind == K_TEXT && b.eKind == K_TEXT) {
        nResult = nCompareTexts(a.text, b.text, nFlags);
        return kOk;
    }
    if (a.eKind == K_DATETIME && b.eKind == K_DATETIME) {
        nResult = a.dwDate != b.dwDate ? (a.dwDate < b.dwDate ? -1 : 1)
                                       : (a.dwTime != b.dwTime ? (a.dwTime < b.dwTime ? -1 : 1) : 0);
        return kOk;
    }
    if ((a.eKind == K_DATETIME && b.eKind == K_TEXT) || (a.eKind == K_TEXT && b.eKind == K_DATETIME)) {
        // A date text equals every date-time it begins.
        std::u32string ta = TextOf(a);
        std::u32string tb = TextOf(b);
        const std::size_t n = ta.size() < tb.size() ? ta.size() : tb.size();
        nResult = Sign(ta.compare(0, n, tb, 0, n));
        return kOk;
    }
    if (a.eKind == K_DUREE && b.eKind == K_DUREE) {
        nResult = a.llDuree < b.llDuree ? -1 : (a.llDuree > b.llDuree ? 1 : 0);
        return kOk;
    }
    if (a.eKind == K_BIN || b.eKind == K_BIN) {
        if (!((a.eKind == K_BIN || a.eKind == K_TEXT) && (b.eKind == K_BIN || b.eKind == K_TEXT)))
            return kNotHandled;
        const std::string ba = a.eKind == K_BIN ? a.bytes : Narrow(a.text, 1252);
        const std::string bb = b.eKind == K_BIN ? b.bytes : Narrow(b.text, 1252);
        nResult = Sign(ba.compare(bb));
        return kOk;
    }
    return kNotHandled;
}

enum ECompare { C_ORDER, C_EQUAL, C_GREATER, C_LESS, C_STARTS, C_CONTAINS, C_ENDS, C_AND, C_OR };

int nEvaluate(const char* pszName, ECompare e, unsigned nFlags, const void* p1, unsigned short t1, const void* p2,
              unsigned short t2, int* pnResult, unsigned nOption, int nReserved)
{
    Machine().Record(pszName, t1, t2, nOption, nullptr, nReserved);
    SOperand a, b;
    if (int s = nRead(p1, t1, 1252, a))
        return s == kEmpty ? kNotHandled : s;
    if (int s = nRead(p2, t2, 1252, b))
        return s == kEmpty ? kNotHandled : s;
    int nResult = 0;
    switch (e) {
    case C_ORDER:
    case C_EQUAL:
    case C_GREATER:
    case C_LESS: {
        int c;
        if (int s = nCompareOperands(a, b, nFlags, c))
            return s;
        nResult = e == C_ORDER ? c : e == C_EQUAL ? (c == 0) : e == C_GREATER ? (c > 0) : (c < 0);
        break;
    }
    case C_STARTS:
    case C_CONTAINS:
    case C_ENDS: {
        if (a.eKind == K_BIN && b.eKind == K_BIN && nFlags == kExact) {
            const std::string& h = a.bytes;
            const std::string& n = b.bytes;
            nResult = e == C_STARTS ? h.compare(0, n.size(), n) == 0 && h.size() >= n.size()
                      : e == C_ENDS ? h.size() >= n.size() && h.compare(h.size() - n.size(), n.size(), n) == 0
                                    : h.find(n) != std::string::npos;
            break;
        }
        const std::u32string h = CInfoLocale::Map(nFlags, TextOf(a));
        const std::u32string n = CInfoLocale::Map(nFlags, TextOf(b));
        nResult = e == C_STARTS ? (h.size() >= n.size() && h.compare(0, n.size(), n) == 0)
                  : e == C_ENDS ? (h.size() >= n.size() && h.compare(h.size() - n.size(), n.size(), n) == 0)
                                : h.find(n) != std::u32string::npos;
        break;
    }
    case C_AND:
    case C_OR: {
        double da, db;
        if (!bNumeric(a) || !bNumeric(b))
            return kNotHandled;
        nRealOf(a, da);
        nRealOf(b, db);
        nResult = e == C_AND ? (da != 0 && db != 0) : (da != 0 || db != 0);
        break;
    }
    }
    if (pnResult != nullptr)
        *pnResult = nResult;
    return kOk;
}

// ---- Arithmetic ------------------------------------------------------------------------------

enum EArith { A_ADD, A_SUB, A_MUL, A_DIV, A_MOD };

// Type of an integer result: 32 bits when both operands had at most 32 and
// the result fits, else 64 bits (unsigned beyond the signed range).
int nWriteInteger(const CVMNumber& n, bool bSmall, unsigned char* pResult, unsigned short* pnType)
{
    std::int64_t ll;
    std::uint64_t ull;
    if (n.bToI64(ll)) {
        if (bSmall && ll >= INT32_MIN && ll <= INT32_MAX) {
            *pnType = T_I4;
            Store(pResult, static_cast<std::int32_t>(ll));
        } else {
            *pnType = T_I8;
            Store(pResult, ll);
        }
        return kOk;
    }
    if (n.bToU64(ull)) {
        *pnType = T_UI8;
        Store(pResult, ull);
        return kOk;
    }
    return HOSTVM_OVERFLOW;
}

// Integers divided: the nearest double of the exact quotient.
int nDivideIntegers(const CVMNumber& a, const CVMNumber& b, unsigned char* pResult, unsigned short* pnType)
{
    // Integer operands hold at most 64 bits and no fraction.
    if (a.nScale() != 0 || b.nScale() != 0 || !a.Magnitude().bFitsBits(64) || !b.Magnitude().bFitsBits(64))
        return HOSTVM_OVERFLOW;
    *pnType = T_R8;
    Store(pResult, HostDoubleOfRatio(a.Magnitude().u64Low(), b.Magnitude().u64Low(),
                                     a.bIsNegative() != b.bIsNegative()));
    return kOk;
}

// Currency divided (by currency or an integer, either side): the exact
// quotient in millionths, truncated toward zero, as the currency library
// divides.
int nDivideCurrency(const CVMNumber& a, const CVMNumber& b, unsigned char* pResult, unsigned short* pnType)
{
    // a / b in millionths: a.mag * 10^(6 + b.scale - a.scale) / b.mag.
    const int nShift = 6 + b.nScale() - a.nScale();
    CVMBigUnsigned num;
    CVMBigUnsigned q;
    CVMBigUnsigned r;
    CVMNumber n;
    if (nShift < 0 || !CVMBigUnsigned::bMultiply(a.Magnitude(), CVMBigUnsigned::Pow10(nShift), num))
        return HOSTVM_OVERFLOW;
    CVMBigUnsigned::DivMod(num, b.Magnitude(), q, r);
    if (!CVMNumber::bFromParts(q, 6, a.bIsNegative() != b.bIsNegative(), n))
        return HOSTVM_OVERFLOW;
    if (int s = nWriteNumber(n, T_CY, pResult))
        return s;
    *pnType = T_CY;
    return kOk;
}

int nArithmetic(EArith e, const SOperand& a, const SOperand& b, unsigned char* pResult, unsigned short* pnType)
{
    // Texts add up into a text: wide when either side is.
    if (a.eKind == K_TEXT && b.eKind == K_TEXT) {
        if (e != A_ADD)
            return kNotHandled;
        const unsigned t = bWideTextType(a.nType) || bWideTextType(b.nType) ? T_DSTRW : T_DSTRA;
        const int s = nWriteText(a.text + b.text, t, 1252, pResult);
        if (s == kOk)
            *pnType = static_cast<unsigned short>(t);
        return s;
    }
    // Dates and durations.
    if (a.eKind == K_DATETIME || b.eKind == K_DATETIME || a.eKind == K_DUREE || b.eKind == K_DUREE) {
        if (a.eKind == K_DUREE && b.eKind == K_DUREE && (e == A_ADD || e == A_SUB)) {
            *pnType = T_DUREE;
            Store<std::int64_t>(pResult, e == A_ADD ? a.llDuree + b.llDuree : a.llDuree - b.llDuree);
            return kOk;
        }
        if (a.eKind == K_DATETIME && b.eKind == K_DATETIME && e == A_SUB) {
            std::int64_t na, nb;
            if (!bDayNumber(a.dwDate, na) || !bDayNumber(b.dwDate, nb))
                return kInvalidDate;
            *pnType = T_DUREE;
            Store<std::int64_t>(pResult, (na - nb) * 86400000 + a.dwTime - static_cast<std::int64_t>(b.dwTime));
            return kOk;
        }
        const bool bDateFirst = a.eKind == K_DATETIME && b.eKind == K_DUREE && (e == A_ADD || e == A_SUB);
        const bool bDateLast = a.eKind == K_DUREE && b.eKind == K_DATETIME && e == A_ADD;
        if (!bDateFirst && !bDateLast)
            return kNotHandled;
        const SOperand& date = bDateFirst ? a : b;
        std::int64_t shift = bDateFirst ? b.llDuree : a.llDuree;
        if (e == A_SUB)
            shift = -shift;
        std::int64_t nDay;
        if (!bDayNumber(date.dwDate, nDay))
            return kInvalidDate;
        std::int64_t ms = nDay * 86400000 + date.dwTime + shift;
        std::int64_t nNewDay = ms / 86400000;
        std::int64_t nTime = ms % 86400000;
        if (nTime < 0) {
            nTime += 86400000;
            --nNewDay;
        }
        std::uint32_t dwDate;
        if (!bFromDayNumber(nNewDay, dwDate))
            return HOSTVM_OVERFLOW;
        *pnType = T_DATETIME;
        Store(pResult, dwDate);
        Store(pResult + 4, static_cast<std::uint32_t>(nTime));
        return kOk;
    }
    if (!bNumeric(a) || !bNumeric(b))
        return kNotHandled;
    if (a.eKind == K_REAL || b.eKind == K_REAL) {
        double da, db;
        nRealOf(a, da);
        nRealOf(b, db);
        if ((e == A_DIV || e == A_MOD) && db == 0)
            return HOSTVM_DIVIDE_BY_ZERO;
        const double d = e == A_ADD ? da + db : e == A_SUB ? da - db : e == A_MUL ? da * db : e == A_DIV ? da / db
                                                                                     : std::fmod(da, db);
        *pnType = T_R8;
        Store(pResult, d);
        return kOk;
    }
    if ((e == A_DIV || e == A_MOD) && b.num.bIsZero())
        return HOSTVM_DIVIDE_BY_ZERO;
    const bool bDecimal = a.nType == T_DECIMAL || b.nType == T_DECIMAL;
    const bool bCurrency = a.nType == T_CY || b.nType == T_CY;
    if (e == A_DIV && !bDecimal)
        return bCurrency ? nDivideCurrency(a.num, b.num, pResult, pnType) : nDivideIntegers(a.num, b.num, pResult, pnType);
    CVMNumber n;
    bool bOk = false;
    switch (e) {
    case A_ADD: bOk = CVMNumber::bAdd(a.num, b.num, n); break;
    case A_SUB: bOk = CVMNumber::bSub(a.num, b.num, n); break;
    case A_MUL: bOk = CVMNumber::bMul(a.num, b.num, n); break;
    case A_DIV: bOk = CVMNumber::bDiv(a.num, b.num, n); break;
    case A_MOD: bOk = CVMNumber::bMod(a.num, b.num, n); break;
    }
    if (!bOk)
        return HOSTVM_OVERFLOW;
    unsigned short nType = bDecimal ? T_DECIMAL : bCurrency ? T_CY : 0;
    if (nType == 0)
        return nWriteInteger(n, bSmallIntegerType(a.nType) && bSmallIntegerType(b.nType), pResult, pnType);
    if (int s = nWriteNumber(n, nType, pResult))
        return s;
    *pnType = nType;
    return kOk;
}

int nArithmeticEntry(const char* pszName, EArith e, const void* p1, unsigned char t1, const void* p2,
                     unsigned char t2, void* pResult, unsigned short* pnResultType, unsigned nOption, int nReserved)
{
    Machine().Record(pszName, t1, t2, nOption, nullptr, nReserved);
    SOperand a, b;
    if (int s = nRead(p1, t1, 1252, a))
        return s == kEmpty ? kNotHandled : s;
    if (int s = nRead(p2, t2, 1252, b))
        return s == kEmpty ? kNotHandled : s;
    unsigned char abyResult[40] = {};
    unsigned short nType = 0;
    if (int s = nArithmetic(e, a, b, abyResult, &nType))
        return s;
    std::memcpy(pResult, abyResult, sizeof abyResult);
    if (pnResultType != nullptr)
        *pnResultType = nType;
    return kOk;
}

// Result types the operators give, for the type queries.
unsigned short ResultType(EArith e, unsigned t1, unsigned t2)
{
    t1 &= 0xFF;
    t2 &= 0xFF;
    const bool bText1 = bTextTarget(t1);
    const bool bText2 = bTextTarget(t2);
    if (bText1 || bText2)
        return e == A_ADD && bText1 && bText2 ? (bWideTextType(t1) || bWideTextType(t2) ? T_DSTRW : T_DSTRA) : 0;
    if (t1 == T_DUREE && t2 == T_DUREE)
        return e == A_ADD || e == A_SUB ? T_DUREE : 0;
    if (t1 == T_DATETIME || t2 == T_DATETIME) {
        if (t1 == T_DATETIME && t2 == T_DATETIME)
            return e == A_SUB ? T_DUREE : 0;
        if ((t1 == T_DATETIME && t2 == T_DUREE && (e == A_ADD || e == A_SUB)) ||
            (t1 == T_DUREE && t2 == T_DATETIME && e == A_ADD))
            return T_DATETIME;
        return 0;
    }
    if (!bNumericTarget(t1) || !bNumericTarget(t2))
        return 0;
    if (t1 == T_R4 || t1 == T_R8 || t2 == T_R4 || t2 == T_R8)
        return T_R8;
    if (t1 == T_DECIMAL || t2 == T_DECIMAL)
        return T_DECIMAL;
    if (t1 == T_CY || t2 == T_CY)
        return T_CY;
    if (e == A_DIV)
        return T_R8;
    return bSmallIntegerType(t1) && bSmallIntegerType(t2) ? T_I4 : T_I8;
}

}  // namespace

// ---- Exported entries ------------------------------------------------------------------------

namespace {

// Currency of n / 10^nFraction, rounded half away from zero to millionths;
// false when out of range.
bool bWriteMoney(std::uint64_t n, int nFraction, bool bNeg, unsigned char* pResult)
{
    static const std::uint64_t s_aPow10[20] = {1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull,
        10000000ull, 100000000ull, 1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull,
        10000000000000ull, 100000000000000ull, 1000000000000000ull, 10000000000000000ull,
        100000000000000000ull, 1000000000000000000ull, 10000000000000000000ull};
    std::uint64_t u;
    std::uint32_t wHigh = 0;
    if (nFraction > 6) {
        // At most 19 digits: a divisor beyond them leaves 0 with a remainder below half.
        if (nFraction - 6 >= 20) {
            u = 0;
        } else {
            const std::uint64_t d = s_aPow10[nFraction - 6];
            u = n / d;
            if (n % d >= d - n % d)
                ++u;
        }
    } else {
        // The 80 bits hold any 64-bit number times 10^6.
        const std::uint64_t m = s_aPow10[6 - nFraction];
        const std::uint64_t lo = (n & 0xFFFFFFFFu) * m;
        const std::uint64_t hi = (n >> 32) * m + (lo >> 32);
        u = (hi << 32) | (lo & 0xFFFFFFFFu);
        wHigh = static_cast<std::uint32_t>(hi >> 32);
    }
    if (wHigh > 0x8000 || (wHigh == 0x8000 && (!bNeg || u != 0)))
        return false;
    if (bNeg && (u != 0 || wHigh != 0)) {
        u = 0 - u;
        wHigh = ~wHigh + (u == 0 ? 1 : 0);
    }
    Store(pResult, u);
    Store(pResult + 8, static_cast<std::uint16_t>(wHigh));
    return true;
}

// A text read straight into a number, the server's usual
// conversion: false (and nothing written) for what the general reading must
// settle, such as fractions for integers or texts that are not numbers.
template <class Ch>
bool bTextToNumber(const Ch* p, std::size_t n, unsigned nTarget, unsigned char* pResult, int& nStatus)
{
    CNumberText text;
    if (!text.bScan(p, n))
        return false;
    if (nTarget == T_R8 || nTarget == T_R4) {
        double d;
        float f;
        const bool bOk = nTarget == T_R8 ? bHostParseReal(text.pszText(), text.bNonZero(), d)
                                         : bHostParseReal(text.pszText(), text.bNonZero(), f);
        nStatus = bOk ? kOk : HOSTVM_OVERFLOW;
        if (bOk && nTarget == T_R8)
            Store(pResult, d);
        else if (bOk)
            Store(pResult, f);
        return true;
    }
    if (nTarget == T_DECIMAL) {
        CVMNumber num;
        if (!text.bSmallFixed() ||
            !CVMNumber::bFromParts(CVMBigUnsigned::FromU64(text.Digits()), text.nFractionDigits(), text.bNegative(), num))
            return false;
        nStatus = nWriteNumber(num, T_DECIMAL, pResult);
        return true;
    }
    if (nTarget == T_CY) {
        if (!text.bSmallFixed())
            return false;
        nStatus = bWriteMoney(text.Digits(), text.nFractionDigits(), text.bNegative(), pResult) ? kOk : HOSTVM_OVERFLOW;
        return true;
    }
    if (!text.bSmallInteger())
        return false;
    nStatus = nWriteMagnitude(text.Digits(), text.bNegative(), nTarget, pResult);
    return true;
}

bool bFastConversion(const void* pSource, unsigned nSourceType, unsigned nTarget, void* pResult, int& nStatus)
{
    if (!bNumericTarget(nTarget) || nTarget == T_BOOL)
        return false;
    unsigned char abyResult[40] = {};
    bool bDone = false;
    // Wide texts by pointer or as host strings, 8-bit ones likewise.
    const unsigned t = nSourceType & 0xFF;
    if (t == T_PSTRW || t == T_DSTRW) {
        const auto* p = Load<const wchar_t*>(pSource);
        bDone = p != nullptr &&
                bTextToNumber(p, t == T_PSTRW ? std::wcslen(p) : pHeader(p)->nLength / sizeof(wchar_t), nTarget,
                              abyResult, nStatus);
    } else if (t == T_PSTRA || t == T_DSTRA) {
        const auto* p = Load<const char*>(pSource);
        bDone = p != nullptr &&
                bTextToNumber(p, t == T_PSTRA ? std::strlen(p) : pHeader(p)->nLength, nTarget, abyResult, nStatus);
    }
    if (bDone && nStatus == kOk)
        std::memcpy(pResult, abyResult, sizeof abyResult);
    return bDone;
}

// ---- Texts of integers, currencies and date-times -----------------------------------------

// The digits of n before pEnd; answers their start.
char* UnsignedDigits(std::uint64_t n, char* pEnd)
{
    char* p = pEnd;
    // Nine digits at a time while the value is wider than 32 bits, then in
    // 32 bits: one wide division per nine digits.
    while (n > UINT32_MAX) {
        std::uint32_t nChunk = static_cast<std::uint32_t>(n % 1000000000u);
        n /= 1000000000u;
        for (int i = 0; i < 9; ++i) {
            *--p = static_cast<char>('0' + nChunk % 10);
            nChunk /= 10;
        }
    }
    std::uint32_t w = static_cast<std::uint32_t>(n);
    do {
        *--p = static_cast<char>('0' + w % 10);
        w /= 10;
    } while (w != 0);
    return p;
}

char* SignedDigits(std::int64_t n, char* pEnd)
{
    char* p = UnsignedDigits(n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n), pEnd);
    if (n < 0)
        *--p = '-';
    return p;
}

// A currency whose millionths fit in 64 bits, without its trailing zeros,
// as its trimmed number writes it; false for a wider one.
bool bMoneyDigits(const unsigned char* pby, char* pEnd, char*& pStart)
{
    const std::int64_t ll = Load<std::int64_t>(pby);
    const std::uint16_t wHigh = Load<std::uint16_t>(pby + 8);
    if (wHigh != (ll < 0 ? 0xFFFF : 0))
        return false;
    const std::uint64_t u = ll < 0 ? 0 - static_cast<std::uint64_t>(ll) : static_cast<std::uint64_t>(ll);
    std::uint32_t nFraction = static_cast<std::uint32_t>(u % 1000000u);
    char* p = pEnd;
    if (nFraction != 0) {
        int nDigits = 6;
        while (nFraction % 10 == 0) {
            nFraction /= 10;
            --nDigits;
        }
        for (int i = 0; i < nDigits; ++i) {
            *--p = static_cast<char>('0' + nFraction % 10);
            nFraction /= 10;
        }
        *--p = '.';
    }
    p = UnsignedDigits(u / 1000000u, p);
    if (ll < 0)
        *--p = '-';
    pStart = p;
    return true;
}

// An 8-bit text of code page 1252 to a wide text by pointer, widened
// straight into it: the text Widen gives, without the operand.
bool bFastWidened(const void* pSource, unsigned nSourceType, unsigned nCodePage, void* pResult, int& nStatus)
{
    const unsigned t = nSourceType & 0xFF;
    if ((t != T_DSTRA && t != T_PSTRA) || nCodePage == 65001)
        return false;
    const auto* p = Load<const char*>(pSource);
    const std::size_t n = p == nullptr ? 0 : t == T_PSTRA ? std::strlen(p) : pHeader(p)->nLength;
    if (static_cast<std::uint64_t>(n) * sizeof(wchar_t) > kMaxBlockBytes) {
        nStatus = kTooLong;
        return true;
    }
    auto* pText = static_cast<wchar_t*>(std::malloc((n + 1) * sizeof(wchar_t)));
    if (pText == nullptr) {
        nStatus = kTooLong;
        return true;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        pText[i] = static_cast<wchar_t>(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
    }
    pText[n] = 0;
    unsigned char abyResult[40] = {};
    Store(abyResult, pText);
    std::memcpy(pResult, abyResult, sizeof abyResult);
    nStatus = kOk;
    return true;
}

// Integers, currencies and date-times to a wide text, written straight
// from their bytes: the texts TextOf gives, without the operand.
bool bFastText(const void* pSource, unsigned nSourceType, unsigned nTarget, void* pResult, int& nStatus)
{
    if (nTarget != T_PSTRW && nTarget != T_DSTRW)
        return false;
    const auto* pby = static_cast<const unsigned char*>(pSource);
    char sz[48];
    char* const pEnd = sz + sizeof sz;
    char* p = pEnd;
    switch (nSourceType & 0xFF) {
    case T_UI1: p = UnsignedDigits(Load<std::uint8_t>(pby), pEnd); break;
    case T_UI2: p = UnsignedDigits(Load<std::uint16_t>(pby), pEnd); break;
    case T_UI4: p = UnsignedDigits(Load<std::uint32_t>(pby), pEnd); break;
    case T_UI8: p = UnsignedDigits(Load<std::uint64_t>(pby), pEnd); break;
    case T_I1: p = SignedDigits(Load<std::int8_t>(pby), pEnd); break;
    case T_I2: p = SignedDigits(Load<std::int16_t>(pby), pEnd); break;
    case T_I4:
    case T_I4BIS:
    case T_UIX: p = SignedDigits(Load<std::int32_t>(pby), pEnd); break;
    case T_I8: p = SignedDigits(Load<std::int64_t>(pby), pEnd); break;
    case T_CY:
        if (!bMoneyDigits(pby, pEnd, p))
            return false;
        break;
    case T_DATETIME: {
        char szDate[40];
        const char* pDateEnd = DateTimeDigits(Load<std::uint32_t>(pby), Load<std::uint32_t>(pby + 4), szDate);
        p = pEnd - (pDateEnd - szDate);
        std::memcpy(p, szDate, static_cast<std::size_t>(pDateEnd - szDate));
        break;
    }
    default:
        return false;
    }
    const std::size_t n = static_cast<std::size_t>(pEnd - p);
    wchar_t szWide[sizeof sz + 1];
    for (std::size_t i = 0; i < n; ++i)
        szWide[i] = static_cast<unsigned char>(p[i]);
    szWide[n] = 0;
    unsigned char abyResult[40] = {};
    if (nTarget == T_DSTRW) {
        void* pBlock = nullptr;
        nStatus = nNewBlock(szWide, static_cast<std::uint64_t>(n) * sizeof(wchar_t), sizeof(wchar_t), &pBlock);
        if (nStatus != kOk)
            return true;
        Store(abyResult, pBlock);
    } else {
        auto* pCopy = static_cast<wchar_t*>(std::malloc((n + 1) * sizeof(wchar_t)));
        if (pCopy == nullptr) {
            nStatus = kTooLong;
            return true;
        }
        std::memcpy(pCopy, szWide, (n + 1) * sizeof(wchar_t));
        Store(abyResult, pCopy);
        nStatus = kOk;
    }
    std::memcpy(pResult, abyResult, sizeof abyResult);
    return true;
}

}  // namespace

HOSTVM_EXPORT int nConversionDepassementExt(const void* pSource, unsigned char nSourceType, void* pResult,
                                            unsigned short nTargetType, unsigned int nOption, const STOCAW* pstOCAW)
{
    Machine().Record("nConversionDepassementExt", nSourceType, nTargetType, nOption, pstOCAW, 0);
    if (pSource == nullptr || pResult == nullptr)
        return kNotHandled;
    int nStatus;
    const unsigned nCodePage = CodePageOf(pstOCAW);
    if (bFastConversion(pSource, nSourceType, nTargetType & 0xFF, pResult, nStatus) ||
        bFastText(pSource, nSourceType, nTargetType & 0xFF, pResult, nStatus) ||
        ((nTargetType & 0xFF) == T_PSTRW && bFastWidened(pSource, nSourceType, nCodePage, pResult, nStatus)))
        return nStatus;
    SOperand op;
    if (int s = nRead(pSource, nSourceType, nCodePage, op))
        return s;
    unsigned char abyResult[40] = {};
    if (int s = nConvert(op, nTargetType & 0xFF, nCodePage, abyResult))
        return s;
    std::memcpy(pResult, abyResult, sizeof abyResult);
    return kOk;
}

HOSTVM_EXPORT void FinConversion(void* pResult, unsigned short nType)
{
    Machine().Record("FinConversion", nType, nType, 0, nullptr, 0);
    if (pResult == nullptr)
        return;
    auto* pby = static_cast<unsigned char*>(pResult);
    switch (nType & 0xFF) {
    case T_DSTRW:
    case T_DSTRA:
    case T_BIN:
        ReleaseBlock(Load<void*>(pby));
        break;
    case T_PSTRA:
    case T_PSTRW:
        std::free(Load<void*>(pby));
        break;
    case T_DECIMAL:
        HostFactory().ReleaseObject(Load<IDecimal*>(pby));
        break;
    default:
        return;
    }
    Store<void*>(pby, nullptr);
}

HOSTVM_EXPORT IVMFactory* pQueryProxy(int nService)
{
    Machine().Record("pQueryProxy", 0, 0, static_cast<unsigned>(nService), nullptr, 0);
    return nService == VM_SERVICE_FACTORY ? &HostFactory() : nullptr;
}

HOSTVM_EXPORT int bCanCompareEx(unsigned short nType1, unsigned short nType2)
{
    Machine().Record("bCanCompareEx", nType1, nType2, 0, nullptr, 0);
    const unsigned t1 = nType1 & 0xFF;
    const unsigned t2 = nType2 & 0xFF;
    auto known = [](unsigned t) {
        return bNumericTarget(t) || bTextTarget(t) || t == T_DATETIME || t == T_DUREE || t == T_BIN;
    };
    return known(t1) && known(t2) ? 1 : 0;
}

#define HOSTVM_RESULT_TYPE(name, op)                                                   \
    HOSTVM_EXPORT unsigned short name(unsigned short nType1, unsigned short nType2)     \
    {                                                                                  \
        Machine().Record(#name, nType1, nType2, 0, nullptr, 0);                        \
        return ResultType(op, nType1, nType2);                                         \
    }
HOSTVM_RESULT_TYPE(wAjouteEx, A_ADD)
HOSTVM_RESULT_TYPE(wSoustraitEx, A_SUB)
HOSTVM_RESULT_TYPE(wMultiplieEx, A_MUL)
HOSTVM_RESULT_TYPE(wDiviseEx, A_DIV)
HOSTVM_RESULT_TYPE(wModuloEx, A_MOD)

#define HOSTVM_COMPARE(name, e, flags)                                                                       \
    HOSTVM_EXPORT int name(const void* p1, unsigned short nType1, const void* p2, unsigned short nType2,      \
                           int* pnResult, unsigned int nOption, int nReserved)                               \
    {                                                                                                        \
        return nEvaluate(#name, e, flags, p1, nType1, p2, nType2, pnResult, nOption, nReserved);            \
    }
HOSTVM_COMPARE(nComparaisonEx, C_ORDER, kExact)
HOSTVM_COMPARE(nEgaliteEx, C_EQUAL, kExact)
HOSTVM_COMPARE(nSuperieurEx, C_GREATER, kExact)
HOSTVM_COMPARE(nInferieurEx, C_LESS, kExact)
HOSTVM_COMPARE(nPresqueEgalEx, C_EQUAL, kAlmost)
HOSTVM_COMPARE(nSoupleEgalEx, C_EQUAL, kFlexible)
HOSTVM_COMPARE(nCommenceParEx, C_STARTS, kExact)
HOSTVM_COMPARE(nCommenceParSoupleEx, C_STARTS, kFlexible)
HOSTVM_COMPARE(nCommenceParTresSoupleEx, C_STARTS, kVeryFlexible)
HOSTVM_COMPARE(nContientEx, C_CONTAINS, kExact)
HOSTVM_COMPARE(nContientSoupleEx, C_CONTAINS, kFlexible)
HOSTVM_COMPARE(nContientTresSoupleEx, C_CONTAINS, kVeryFlexible)
HOSTVM_COMPARE(nTermineParEx, C_ENDS, kExact)
HOSTVM_COMPARE(nTermineParSoupleEx, C_ENDS, kFlexible)
HOSTVM_COMPARE(nTermineParTresSoupleEx, C_ENDS, kVeryFlexible)
HOSTVM_COMPARE(nETLogiqueEx, C_AND, kExact)
HOSTVM_COMPARE(nOULogiqueEx, C_OR, kExact)

HOSTVM_EXPORT int nNONLogiqueEx(const void* p, unsigned short nType, int* pnResult, unsigned int nOption,
                                int nReserved)
{
    Machine().Record("nNONLogiqueEx", nType, 0, nOption, nullptr, nReserved);
    SOperand a;
    if (int s = nRead(p, nType, 1252, a))
        return s == kEmpty ? kNotHandled : s;
    double d;
    if (!bNumeric(a) || nRealOf(a, d) != kOk)
        return kNotHandled;
    if (pnResult != nullptr)
        *pnResult = d == 0 ? 1 : 0;
    return kOk;
}

HOSTVM_EXPORT int nNegationEx(const void* p, unsigned char nType, void* pResult, unsigned short* pnResultType,
                              unsigned int nOption, int nReserved)
{
    Machine().Record("nNegationEx", nType, 0, nOption, nullptr, nReserved);
    SOperand a;
    if (int s = nRead(p, nType, 1252, a))
        return s == kEmpty ? kNotHandled : s;
    unsigned char abyResult[40] = {};
    unsigned short nResultType = 0;
    if (a.eKind == K_REAL) {
        nResultType = nType == T_R4 ? T_R4 : T_R8;
        if (nResultType == T_R4)
            Store(abyResult, static_cast<float>(-a.d));
        else
            Store(abyResult, -a.d);
    } else if (a.eKind == K_DUREE) {
        nResultType = T_DUREE;
        Store(abyResult, 0 - a.llDuree);
    } else if (a.eKind == K_NUMBER && nType != T_BOOL) {
        CVMNumber n = a.num;
        n.Negate();
        if (nType == T_CY || nType == T_DECIMAL) {
            if (int s = nWriteNumber(n, nType, abyResult))
                return s;
            nResultType = nType;
        } else if (int s = nWriteInteger(n, bSmallIntegerType(nType), abyResult, &nResultType)) {
            return s;
        }
    } else {
        return kNotHandled;
    }
    std::memcpy(pResult, abyResult, sizeof abyResult);
    if (pnResultType != nullptr)
        *pnResultType = nResultType;
    return kOk;
}

#define HOSTVM_ARITHMETIC(name, e)                                                                             \
    HOSTVM_EXPORT int name(const void* p1, unsigned char nType1, const void* p2, unsigned char nType2,          \
                           void* pResult, unsigned short* pnResultType, unsigned int nOption, int nReserved)   \
    {                                                                                                          \
        return nArithmeticEntry(#name, e, p1, nType1, p2, nType2, pResult, pnResultType, nOption, nReserved); \
    }
HOSTVM_ARITHMETIC(nAdditionEx, A_ADD)
HOSTVM_ARITHMETIC(nSoustractionEx, A_SUB)
HOSTVM_ARITHMETIC(nMultiplicationEx, A_MUL)
HOSTVM_ARITHMETIC(nDivisionEx, A_DIV)
HOSTVM_ARITHMETIC(nModuloEx, A_MOD)

HOSTVM_EXPORT IHostValueMachine* HostVM_piControl()
{
    return &Machine();
}

// The entries keep the call forms the module binds them with.
static_assert(std::is_same<decltype(&nConversionDepassementExt), PFN_VM_CONVERSION>::value, "converter");
static_assert(std::is_same<decltype(&FinConversion), PFN_VM_FINCONVERSION>::value, "release");
static_assert(std::is_same<decltype(&pQueryProxy), PFN_VM_QUERYPROXY>::value, "services");
static_assert(std::is_same<decltype(&bCanCompareEx), PFN_VM_CANCOMPARE>::value, "comparable");
static_assert(std::is_same<decltype(&wAjouteEx), PFN_VM_RESULTTYPE>::value, "result type");
static_assert(std::is_same<decltype(&nEgaliteEx), PFN_VM_COMPARE>::value, "comparison");
static_assert(std::is_same<decltype(&nNONLogiqueEx), PFN_VM_NOT>::value, "not");
static_assert(std::is_same<decltype(&nNegationEx), PFN_VM_NEGATION>::value, "negation");
static_assert(std::is_same<decltype(&nAdditionEx), PFN_VM_ARITHMETIC>::value, "arithmetic");
