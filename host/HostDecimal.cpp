#include "host/HostDecimal.h"
#include "host/HostLifetime.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

// ---- Exact reals ----------------------------------------------------------------

namespace {

// Texts are read and written with the point whatever the process's locale.
locale_t CLocale()
{
    static const locale_t s_locale = [] {
        const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        HostFreeAtUnload([](void* p) { freelocale(static_cast<locale_t>(p)); }, loc);
        return loc;
    }();
    return s_locale;
}

void ReadReal(const char* psz, double& d)
{
    d = CLocale() != nullptr ? strtod_l(psz, nullptr, CLocale()) : std::strtod(psz, nullptr);
}

void ReadReal(const char* psz, float& f)
{
    f = CLocale() != nullptr ? strtof_l(psz, nullptr, CLocale()) : std::strtof(psz, nullptr);
}

template <class T>
T ReadReal(const char* psz)
{
    T v;
    ReadReal(psz, v);
    return v;
}

// Rounds m × 2^e (and the sticky rest) to nBits significant bits, to nearest
// with ties to even; m then holds at most nBits bits.
void RoundBits(std::uint64_t& m, int& e, bool bSticky, int nBits)
{
    const int nHave = 64 - __builtin_clzll(m);
    if (nHave <= nBits)
        return;
    const int nShift = nHave - nBits;
    const std::uint64_t rest = m & ((static_cast<std::uint64_t>(1) << nShift) - 1);
    const std::uint64_t half = static_cast<std::uint64_t>(1) << (nShift - 1);
    m >>= nShift;
    e += nShift;
    if (rest > half || (rest == half && (bSticky || (m & 1) != 0))) {
        ++m;
        if ((m >> nBits) != 0) {
            m >>= 1;
            ++e;
        }
    }
}

// Digits of the shortest form that std::to_chars gives.
int ShortestDigits(const char* p, const char* pEnd)
{
    int n = 0;
    for (; p < pEnd && *p != 'e'; ++p)
        n += *p >= '0' && *p <= '9';
    return n;
}

}  // namespace

template <class T>
T HostRealOfBits(std::uint64_t m, int e, bool bSticky, bool bNeg)
{
    if (m == 0)
        return 0;
    RoundBits(m, e, bSticky, std::numeric_limits<T>::digits);
    const T v = std::ldexp(static_cast<T>(m), e);
    return bNeg ? -v : v;
}

template double HostRealOfBits<double>(std::uint64_t, int, bool, bool);
template float HostRealOfBits<float>(std::uint64_t, int, bool, bool);

double HostDoubleOfRatio(std::uint64_t num, std::uint64_t den, bool bNeg)
{
    if (num == 0)
        return 0.0;
    std::uint64_t q = num / den;
    std::uint64_t r = num % den;
    int e = 0;
    // Binary long division until the quotient holds 64 bits or ends.
    while (r != 0 && (q >> 63) == 0) {
        q <<= 1;
        --e;
        if (r >= den - r) {
            r -= den - r;
            q |= 1;
        } else {
            r <<= 1;
        }
    }
    return HostRealOfBits<double>(q, e, r != 0, bNeg);
}

bool bHostParseReal(const char* psz, bool bNonZero, double& d)
{
    ReadReal(psz, d);
    return !std::isinf(d) && !(d == 0 && bNonZero);
}

bool bHostParseReal(const char* psz, bool bNonZero, float& f)
{
    ReadReal(psz, f);
    return !std::isinf(f) && !(f == 0 && bNonZero);
}

std::string HostRealText(double d)
{
    char sz[64];
    const std::to_chars_result r = std::to_chars(sz, sz + sizeof sz, d, std::chars_format::scientific);
    // "%.*g" at the shortest form's digits almost always reads back; the
    // rare one that does not takes a digit more.
    for (int nPrecision = ShortestDigits(sz, r.ptr); nPrecision <= 17; ++nPrecision) {
        std::snprintf(sz, sizeof sz, "%.*g", nPrecision, d);
        if (ReadReal<double>(sz) == d)
            break;
    }
    return sz;
}

std::string HostSingleText(float f)
{
    char sz[64];
    const std::to_chars_result r = std::to_chars(sz, sz + sizeof sz, f, std::chars_format::scientific);
    for (int nPrecision = ShortestDigits(sz, r.ptr); nPrecision <= 9; ++nPrecision) {
        std::snprintf(sz, sizeof sz, "%.*g", nPrecision, static_cast<double>(f));
        if (ReadReal<float>(sz) == f)
            break;
    }
    return sz;
}

// ---- CVMBigUnsigned ----------------------------------------------------------

CVMBigUnsigned CVMBigUnsigned::FromU64(std::uint64_t n)
{
    CVMBigUnsigned r;
    r.m_aw[0] = static_cast<std::uint32_t>(n);
    r.m_aw[1] = static_cast<std::uint32_t>(n >> 32);
    return r;
}

namespace {

// Powers of ten that 512 bits hold: 10^0 to 10^154.
constexpr int kPowers = 155;

const CVMBigUnsigned* Powers()
{
    static const CVMBigUnsigned* s_p = [] {
        static CVMBigUnsigned a[kPowers];
        a[0] = CVMBigUnsigned::FromU64(1);
        for (int i = 1; i < kPowers; ++i) {
            a[i] = a[i - 1];
            a[i].bMulSmall(10);
        }
        return a;
    }();
    return s_p;
}

}  // namespace

CVMBigUnsigned CVMBigUnsigned::Pow10(int n)
{
    if (n >= 0 && n < kPowers)
        return Powers()[n];
    CVMBigUnsigned r = FromU64(1);
    for (int i = 0; i < n; ++i)
        r.bMulSmall(10);
    return r;
}

int CVMBigUnsigned::nBitLength() const
{
    for (int i = WORDS - 1; i >= 0; --i)
        if (m_aw[i] != 0)
            return i * 32 + 32 - __builtin_clz(m_aw[i]);
    return 0;
}

int CVMBigUnsigned::nDigitCount() const
{
    // From below by the bit length (log10(2) > 0.30102), then up.
    const int nBits = nBitLength();
    int n = nBits == 0 ? 1 : (nBits - 1) * 30102 / 100000 + 1;
    while (n < kPowers && nCompare(*this, Powers()[n]) >= 0)
        ++n;
    return n;
}

bool CVMBigUnsigned::bIsZero() const
{
    for (std::uint32_t w : m_aw)
        if (w != 0)
            return false;
    return true;
}

bool CVMBigUnsigned::bFitsBits(int nBits) const
{
    return nBitLength() <= nBits;
}

int CVMBigUnsigned::nCompare(const CVMBigUnsigned& a, const CVMBigUnsigned& b)
{
    for (int i = WORDS - 1; i >= 0; --i) {
        if (a.m_aw[i] != b.m_aw[i])
            return a.m_aw[i] < b.m_aw[i] ? -1 : 1;
    }
    return 0;
}

bool CVMBigUnsigned::bAdd(const CVMBigUnsigned& b)
{
    std::uint64_t carry = 0;
    for (int i = 0; i < WORDS; ++i) {
        const std::uint64_t s = static_cast<std::uint64_t>(m_aw[i]) + b.m_aw[i] + carry;
        m_aw[i] = static_cast<std::uint32_t>(s);
        carry = s >> 32;
    }
    return carry == 0;
}

void CVMBigUnsigned::Subtract(const CVMBigUnsigned& b)
{
    std::int64_t borrow = 0;
    for (int i = 0; i < WORDS; ++i) {
        std::int64_t d = static_cast<std::int64_t>(m_aw[i]) - b.m_aw[i] - borrow;
        borrow = d < 0 ? 1 : 0;
        if (d < 0)
            d += static_cast<std::int64_t>(1) << 32;
        m_aw[i] = static_cast<std::uint32_t>(d);
    }
}

bool CVMBigUnsigned::bMulSmall(std::uint32_t m)
{
    std::uint64_t carry = 0;
    for (int i = 0; i < WORDS; ++i) {
        const std::uint64_t p = static_cast<std::uint64_t>(m_aw[i]) * m + carry;
        m_aw[i] = static_cast<std::uint32_t>(p);
        carry = p >> 32;
    }
    return carry == 0;
}

bool CVMBigUnsigned::bAddSmall(std::uint32_t m)
{
    return bAdd(FromU64(m));
}

std::uint32_t CVMBigUnsigned::DivSmall(std::uint32_t d)
{
    // Empty high words stay empty; a word with no remainder above it needs
    // no wide division.
    int i = WORDS - 1;
    while (i >= 0 && m_aw[i] == 0)
        --i;
    std::uint64_t rem = 0;
    for (; i >= 0; --i) {
        if (rem == 0) {
            rem = m_aw[i] % d;
            m_aw[i] /= d;
            continue;
        }
        const std::uint64_t cur = (rem << 32) | m_aw[i];
        m_aw[i] = static_cast<std::uint32_t>(cur / d);
        rem = cur % d;
    }
    return static_cast<std::uint32_t>(rem);
}

bool CVMBigUnsigned::bMultiply(const CVMBigUnsigned& a, const CVMBigUnsigned& b, CVMBigUnsigned& out)
{
    std::uint32_t acc[2 * WORDS] = {};
    for (int i = 0; i < WORDS; ++i) {
        if (a.m_aw[i] == 0)
            continue;
        std::uint64_t carry = 0;
        for (int j = 0; j < WORDS; ++j) {
            const std::uint64_t p = static_cast<std::uint64_t>(a.m_aw[i]) * b.m_aw[j] + acc[i + j] + carry;
            acc[i + j] = static_cast<std::uint32_t>(p);
            carry = p >> 32;
        }
        for (int k = i + WORDS; carry != 0 && k < 2 * WORDS; ++k) {
            const std::uint64_t s = static_cast<std::uint64_t>(acc[k]) + carry;
            acc[k] = static_cast<std::uint32_t>(s);
            carry = s >> 32;
        }
    }
    for (int i = WORDS; i < 2 * WORDS; ++i)
        if (acc[i] != 0)
            return false;
    std::memcpy(out.m_aw, acc, sizeof(out.m_aw));
    return true;
}

void CVMBigUnsigned::ShiftLeft1()
{
    for (int i = WORDS - 1; i > 0; --i)
        m_aw[i] = (m_aw[i] << 1) | (m_aw[i - 1] >> 31);
    m_aw[0] <<= 1;
}

void CVMBigUnsigned::DivMod(const CVMBigUnsigned& n, const CVMBigUnsigned& d, CVMBigUnsigned& q,
                            CVMBigUnsigned& r)
{
    if (d.nBitLength() <= 32) {
        const std::uint32_t dw = d.m_aw[0];
        q = n;
        r = FromU64(q.DivSmall(dw));
        return;
    }
    CVMBigUnsigned quotient;
    CVMBigUnsigned rem;
    for (int i = n.nBitLength() - 1; i >= 0; --i) {
        rem.ShiftLeft1();
        if (n.bBit(i))
            rem.m_aw[0] |= 1u;
        if (nCompare(rem, d) >= 0) {
            rem.Subtract(d);
            quotient.m_aw[i / 32] |= 1u << (i % 32);
        }
    }
    q = quotient;
    r = rem;
}

std::string CVMBigUnsigned::Digits() const
{
    if (bFitsBits(64)) {
        // The usual magnitudes: written straight from their 64 bits.
        std::uint64_t n = u64Low();
        char sz[20];
        char* p = sz + sizeof sz;
        do {
            // Nine digits at a time in 32 bits, all nine but in the leading chunk.
            std::uint32_t nChunk = n <= UINT32_MAX ? static_cast<std::uint32_t>(n) % 1000000000u
                                                   : static_cast<std::uint32_t>(n % 1000000000u);
            n = n <= UINT32_MAX ? static_cast<std::uint32_t>(n) / 1000000000u : n / 1000000000u;
            for (int k = 0; k < 9 && (n != 0 || nChunk != 0); ++k) {
                *--p = static_cast<char>('0' + nChunk % 10);
                nChunk /= 10;
            }
        } while (n != 0);
        if (p == sz + sizeof sz)
            *--p = '0';
        return std::string(p, sz + sizeof sz);
    }
    CVMBigUnsigned v = *this;
    std::string out;
    while (!v.bIsZero()) {
        std::uint32_t chunk = v.DivSmall(1000000000u);
        for (int i = 0; i < 9; ++i) {
            out.push_back(static_cast<char>('0' + chunk % 10));
            chunk /= 10;
        }
    }
    while (out.size() > 1 && out.back() == '0')
        out.pop_back();
    return std::string(out.rbegin(), out.rend());
}

// ---- CVMNumber -----------------------------------------------------------------

CVMNumber CVMNumber::FromI64(std::int64_t n)
{
    CVMNumber r;
    r.m_bNeg = n < 0;
    r.m_mag = CVMBigUnsigned::FromU64(n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n));
    return r;
}

CVMNumber CVMNumber::FromU64(std::uint64_t n)
{
    CVMNumber r;
    r.m_mag = CVMBigUnsigned::FromU64(n);
    return r;
}

bool CVMNumber::bFromDouble(double d, CVMNumber& out)
{
    if (!std::isfinite(d))
        return false;
    // The shortest text that reads back as the same double.
    const std::string sz = HostRealText(d);
    return bFromText(std::u32string(sz.begin(), sz.end()), out);
}

bool CVMNumber::bFromText(const std::u32string& text, CVMNumber& out)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto blank = [](char32_t c) { return c == U' ' || c == U'\t'; };
    while (i < n && blank(text[i]))
        ++i;
    bool bNeg = false;
    if (i < n && (text[i] == U'-' || text[i] == U'+')) {
        bNeg = text[i] == U'-';
        ++i;
    }
    std::string digits;
    int nScale = 0;
    bool bPoint = false;
    bool bAny = false;
    for (; i < n; ++i) {
        const char32_t c = text[i];
        if (c >= U'0' && c <= U'9') {
            bAny = true;
            if (!(digits.empty() && c == U'0'))
                digits.push_back(static_cast<char>(c));
            if (bPoint)
                ++nScale;
        } else if (c == U'.' && !bPoint) {
            bPoint = true;
        } else {
            break;
        }
    }
    if (!bAny)
        return false;
    int nExponent = 0;
    if (i < n && (text[i] == U'e' || text[i] == U'E')) {
        ++i;
        bool bExpNeg = false;
        if (i < n && (text[i] == U'-' || text[i] == U'+')) {
            bExpNeg = text[i] == U'-';
            ++i;
        }
        bool bExpDigits = false;
        for (; i < n && text[i] >= U'0' && text[i] <= U'9'; ++i) {
            bExpDigits = true;
            if (nExponent < 1000)
                nExponent = nExponent * 10 + static_cast<int>(text[i] - U'0');
        }
        if (!bExpDigits)
            return false;
        if (bExpNeg)
            nExponent = -nExponent;
    }
    while (i < n && blank(text[i]))
        ++i;
    if (i != n)
        return false;
    // Integer digits beyond 38 make the number too large; fraction digits
    // beyond what the magnitude holds are rounded off by bNormalize, and the
    // ones past 150 digits are dropped first so that the 512 bits suffice.
    nScale -= nExponent;
    // Below a tenth of the last place the scale can keep, whatever the
    // digits: zero (a larger scale would need powers of ten beyond 512 bits).
    if (nScale > static_cast<int>(digits.size()) + MAX_SCALE) {
        digits.clear();
        nScale = 0;
    }
    if (nScale < 0) {
        if (!digits.empty())
            digits.append(static_cast<std::size_t>(-nScale), '0');
        nScale = 0;
    }
    if (digits.size() > 200)
        return false;
    CVMNumber r;
    r.m_bNeg = bNeg;
    while (digits.size() > 150 && nScale > 0) {
        digits.pop_back();
        --nScale;
    }
    for (char c : digits) {
        if (!r.m_mag.bMulSmall(10) || !r.m_mag.bAddSmall(static_cast<std::uint32_t>(c - '0')))
            return false;
    }
    r.m_nScale = nScale;
    if (!r.bNormalize())
        return false;
    if (r.m_nScale > MAX_SCALE && !r.bSetScale(MAX_SCALE))
        return false;
    out = r;
    return true;
}

bool CVMNumber::bFromParts(const CVMBigUnsigned& mag, int nScale, bool bNeg, CVMNumber& out)
{
    if (nScale < 0 || nScale > MAX_SCALE || mag.nDigitCount() > MAX_DIGITS)
        return false;
    out.m_mag = mag;
    out.m_nScale = nScale;
    out.m_bNeg = bNeg && !mag.bIsZero();
    return true;
}

bool CVMNumber::bFromRaw(const unsigned char* p, CVMNumber& out)
{
    CVMNumber r;
    for (int i = 0; i < 4; ++i) {
        std::uint32_t w;
        std::memcpy(&w, p + 4 * i, 4);
        r.m_mag.SetWord(i, w);
    }
    r.m_nScale = p[16];
    r.m_bNeg = (p[17] & 0x80) != 0;
    if (r.m_nScale > MAX_SCALE || r.m_mag.nDigitCount() > MAX_DIGITS)
        return false;
    out = r;
    return true;
}

void CVMNumber::ToRaw(unsigned char* p) const
{
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t w = m_mag.Word(i);
        std::memcpy(p + 4 * i, &w, 4);
    }
    p[16] = static_cast<unsigned char>(m_nScale);
    p[17] = bIsNegative() ? 0x80 : 0;
}

int CVMNumber::nPrecision() const
{
    const int nDigits = m_mag.nDigitCount();
    return nDigits > m_nScale ? nDigits : m_nScale + 1;
}

std::string CVMNumber::Text() const
{
    std::string digits = m_mag.Digits();
    if (static_cast<int>(digits.size()) <= m_nScale)
        digits.insert(0, static_cast<std::size_t>(m_nScale + 1) - digits.size(), '0');
    if (m_nScale > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(m_nScale), 1, '.');
    if (bIsNegative())
        digits.insert(0, 1, '-');
    return digits;
}

template <class T>
T CVMNumber::Real() const
{
    // Integers round from their bits, others from their exact decimal text.
    if (m_nScale == 0 && m_mag.bFitsBits(64))
        return HostRealOfBits<T>(m_mag.u64Low(), 0, false, bIsNegative());
    return ReadReal<T>(Text().c_str());
}

template double CVMNumber::Real<double>() const;
template float CVMNumber::Real<float>() const;

bool CVMNumber::bToI64(std::int64_t& n) const
{
    CVMBigUnsigned q = m_mag;
    CVMBigUnsigned r;
    if (m_nScale > 0)
        CVMBigUnsigned::DivMod(m_mag, CVMBigUnsigned::Pow10(m_nScale), q, r);
    if (!q.bFitsBits(64))
        return false;
    const std::uint64_t u = q.u64Low();
    if (bIsNegative()) {
        if (u > (static_cast<std::uint64_t>(1) << 63))
            return false;
        n = static_cast<std::int64_t>(0 - u);
    } else {
        if (u > static_cast<std::uint64_t>(INT64_MAX))
            return false;
        n = static_cast<std::int64_t>(u);
    }
    return true;
}

bool CVMNumber::bToU64(std::uint64_t& n) const
{
    CVMBigUnsigned q = m_mag;
    CVMBigUnsigned r;
    if (m_nScale > 0)
        CVMBigUnsigned::DivMod(m_mag, CVMBigUnsigned::Pow10(m_nScale), q, r);
    if (!q.bFitsBits(64))
        return false;
    if (bIsNegative() && !q.bIsZero())
        return false;
    n = q.u64Low();
    return true;
}

bool CVMNumber::bSetScale(int nScale)
{
    if (nScale < 0 || nScale > MAX_SCALE)
        return false;
    if (nScale >= m_nScale) {
        CVMBigUnsigned m;
        if (!CVMBigUnsigned::bMultiply(m_mag, CVMBigUnsigned::Pow10(nScale - m_nScale), m))
            return false;
        m_mag = m;
    } else {
        CVMBigUnsigned q;
        CVMBigUnsigned r;
        const CVMBigUnsigned d = CVMBigUnsigned::Pow10(m_nScale - nScale);
        CVMBigUnsigned::DivMod(m_mag, d, q, r);
        // Half away from zero: the remainder's double reaches the divisor.
        CVMBigUnsigned twice = r;
        twice.bAdd(r);
        if (CVMBigUnsigned::nCompare(twice, d) >= 0)
            q.bAddSmall(1);
        m_mag = q;
    }
    m_nScale = nScale;
    return true;
}

bool CVMNumber::bNormalize()
{
    const int nDigits = m_mag.nDigitCount();
    if (nDigits > MAX_DIGITS) {
        const int nDrop = nDigits - MAX_DIGITS;
        if (nDrop > m_nScale || !bSetScale(m_nScale - nDrop))
            return false;
        // Rounding up may add a digit (99.99 -> 100.0).
        if (m_mag.nDigitCount() > MAX_DIGITS && (m_nScale == 0 || !bSetScale(m_nScale - 1)))
            return false;
    }
    if (m_mag.bIsZero())
        m_bNeg = false;
    return true;
}

bool CVMNumber::bRescale(int nPrecision, int nScale)
{
    if (nPrecision < 1 || nPrecision > MAX_DIGITS || nScale < 0 || nScale > nPrecision)
        return false;
    CVMNumber r = *this;
    if (!r.bSetScale(nScale) || r.m_mag.nDigitCount() > nPrecision)
        return false;
    *this = r;
    return true;
}

namespace {

// The magnitude without its trailing zeros down to scale 0; zero drops its
// whole scale.
template <class T>
T TrimmedOf(T n, int& nScale)
{
    if (n == 0) {
        nScale = 0;
        return 0;
    }
    while (nScale > 0 && n % 10 == 0) {
        n /= 10;
        --nScale;
    }
    return n;
}

} // namespace

void CVMNumber::Trim()
{
    if (m_nScale > 0 && m_mag.bFitsBits(64)) {
        // The usual magnitudes: in 32 bits when they fit, else in 64.
        const std::uint64_t n = m_mag.u64Low();
        m_mag = CVMBigUnsigned::FromU64(n <= UINT32_MAX ? TrimmedOf(static_cast<std::uint32_t>(n), m_nScale)
                                                         : TrimmedOf(n, m_nScale));
        return;
    }
    while (m_nScale > 0) {
        CVMBigUnsigned q = m_mag;
        if (q.DivSmall(10) != 0)
            break;
        m_mag = q;
        --m_nScale;
    }
}

CVMNumber CVMNumber::Extreme(bool bLargest)
{
    CVMNumber r;
    r.m_mag = CVMBigUnsigned::Pow10(MAX_DIGITS);
    r.m_mag.Subtract(CVMBigUnsigned::FromU64(1));
    r.m_bNeg = !bLargest;
    return r;
}

bool CVMNumber::bAlign(const CVMNumber& a, const CVMNumber& b, CVMBigUnsigned& ma, CVMBigUnsigned& mb, int& nScale)
{
    nScale = a.m_nScale > b.m_nScale ? a.m_nScale : b.m_nScale;
    return CVMBigUnsigned::bMultiply(a.m_mag, CVMBigUnsigned::Pow10(nScale - a.m_nScale), ma) &&
           CVMBigUnsigned::bMultiply(b.m_mag, CVMBigUnsigned::Pow10(nScale - b.m_nScale), mb);
}

int CVMNumber::nCompare(const CVMNumber& a, const CVMNumber& b)
{
    const bool bNegA = a.bIsNegative();
    const bool bNegB = b.bIsNegative();
    if (bNegA != bNegB)
        return bNegA ? -1 : 1;
    CVMBigUnsigned ma;
    CVMBigUnsigned mb;
    int nScale;
    bAlign(a, b, ma, mb, nScale);
    const int c = CVMBigUnsigned::nCompare(ma, mb);
    return bNegA ? -c : c;
}

bool CVMNumber::bAdd(const CVMNumber& a, const CVMNumber& b, CVMNumber& out)
{
    CVMBigUnsigned ma;
    CVMBigUnsigned mb;
    int nScale;
    if (!bAlign(a, b, ma, mb, nScale))
        return false;
    CVMNumber r;
    r.m_nScale = nScale;
    if (a.bIsNegative() == b.bIsNegative()) {
        r.m_mag = ma;
        r.m_mag.bAdd(mb);
        r.m_bNeg = a.bIsNegative();
    } else if (CVMBigUnsigned::nCompare(ma, mb) >= 0) {
        r.m_mag = ma;
        r.m_mag.Subtract(mb);
        r.m_bNeg = a.bIsNegative();
    } else {
        r.m_mag = mb;
        r.m_mag.Subtract(ma);
        r.m_bNeg = b.bIsNegative();
    }
    if (!r.bNormalize())
        return false;
    out = r;
    return true;
}

bool CVMNumber::bSub(const CVMNumber& a, const CVMNumber& b, CVMNumber& out)
{
    CVMNumber nb = b;
    nb.Negate();
    return bAdd(a, nb, out);
}

bool CVMNumber::bMul(const CVMNumber& a, const CVMNumber& b, CVMNumber& out)
{
    CVMNumber r;
    if (!CVMBigUnsigned::bMultiply(a.m_mag, b.m_mag, r.m_mag))
        return false;
    r.m_nScale = a.m_nScale + b.m_nScale;
    r.m_bNeg = a.bIsNegative() != b.bIsNegative();
    if (r.m_nScale > MAX_SCALE && !r.bSetScale(MAX_SCALE))
        return false;
    if (!r.bNormalize())
        return false;
    out = r;
    return true;
}

bool CVMNumber::bDiv(const CVMNumber& a, const CVMNumber& b, CVMNumber& out)
{
    if (b.bIsZero())
        return false;
    // a / b at scale s: a.mag * 10^(s + b.scale - a.scale) / b.mag.
    int nScale = a.m_nScale > b.m_nScale ? a.m_nScale : b.m_nScale;
    if (nScale < DIVISION_SCALE)
        nScale = DIVISION_SCALE;
    // The scale leaves room for the integer digits, so that the quotient is
    // rounded once: integer part = a.mag * 10^b.scale / (b.mag * 10^a.scale).
    {
        CVMBigUnsigned n;
        CVMBigUnsigned d;
        CVMBigUnsigned q;
        CVMBigUnsigned r;
        if (!CVMBigUnsigned::bMultiply(a.m_mag, CVMBigUnsigned::Pow10(b.m_nScale), n) ||
            !CVMBigUnsigned::bMultiply(b.m_mag, CVMBigUnsigned::Pow10(a.m_nScale), d))
            return false;
        CVMBigUnsigned::DivMod(n, d, q, r);
        const int nInteger = q.bIsZero() ? 0 : q.nDigitCount();
        if (nInteger > MAX_DIGITS)
            return false;
        if (nInteger + nScale > MAX_DIGITS)
            nScale = MAX_DIGITS - nInteger;
    }
    int nShift = nScale + b.m_nScale - a.m_nScale;
    if (nShift + 1 < 0)
        return false;
    CVMBigUnsigned num;
    if (!CVMBigUnsigned::bMultiply(a.m_mag, CVMBigUnsigned::Pow10(nShift + 1), num))
        return false;
    CVMBigUnsigned q;
    CVMBigUnsigned rem;
    CVMBigUnsigned::DivMod(num, b.m_mag, q, rem);
    // One extra digit for rounding half away from zero.
    const std::uint32_t nLast = q.DivSmall(10);
    if (nLast >= 5)
        q.bAddSmall(1);
    CVMNumber r;
    r.m_mag = q;
    r.m_nScale = nScale;
    r.m_bNeg = a.bIsNegative() != b.bIsNegative();
    if (!r.bNormalize())
        return false;
    r.Trim();
    out = r;
    return true;
}

bool CVMNumber::bMod(const CVMNumber& a, const CVMNumber& b, CVMNumber& out)
{
    if (b.bIsZero())
        return false;
    CVMBigUnsigned ma;
    CVMBigUnsigned mb;
    int nScale;
    if (!bAlign(a, b, ma, mb, nScale))
        return false;
    CVMBigUnsigned q;
    CVMNumber r;
    CVMBigUnsigned::DivMod(ma, mb, q, r.m_mag);
    r.m_nScale = nScale;
    r.m_bNeg = a.bIsNegative();
    if (!r.bNormalize())
        return false;
    out = r;
    return true;
}

// ---- Decimal objects ---------------------------------------------------------------

int HostDecimalBytes(int nDigits)
{
    static const int* s_anBytes = [] {
        static int an[CVMNumber::MAX_DIGITS + 1];
        for (int p = 1; p <= CVMNumber::MAX_DIGITS; ++p) {
            CVMBigUnsigned nines = CVMBigUnsigned::Pow10(p);
            nines.Subtract(CVMBigUnsigned::FromU64(1));
            int n = 1;
            while (!nines.bFitsBits(8 * n))
                ++n;
            an[p] = 2 + n;
        }
        an[0] = an[CVMNumber::MAX_DIGITS];
        return an;
    }();
    if (nDigits < 0 || nDigits > CVMNumber::MAX_DIGITS)
        nDigits = 0;
    return s_anBytes[nDigits];
}

namespace {

constexpr int kStatusNotHandled = 105;
constexpr int kStatusOverflow = 106;

// Precision and scale as the storage form takes them: precision 0 is 38.
bool bCheckPrecision(int& nPrecision, int nScale)
{
    if (nPrecision == 0)
        nPrecision = CVMNumber::MAX_DIGITS;
    return nPrecision >= 1 && nPrecision <= CVMNumber::MAX_DIGITS && nScale >= 0 && nScale <= nPrecision;
}

}  // namespace

void CVMDecimal::SetNumber(const CVMNumber& n)
{
    m_value = n;
    m_nPrecision = n.nPrecision();
    m_nScale = n.nScale();
}

const void* CVMDecimal::pGetData()
{
    if (nGetBytes(m_abyBytes, m_nPrecision, m_nScale) != 0)
        std::memset(m_abyBytes, 0, sizeof m_abyBytes);
    return m_abyBytes;
}

unsigned CVMDecimal::nGetDataSize()
{
    return static_cast<unsigned>(HostDecimalBytes(m_nPrecision));
}

// Storage form: a sign byte (0 negative, 1 otherwise), the scale, then the
// number times 10^scale as a big-endian unsigned integer.
int CVMDecimal::nGetBytes(void* p, int nPrecision, int nScale)
{
    if (p == nullptr || !bCheckPrecision(nPrecision, nScale))
        return kStatusNotHandled;
    CVMNumber n = m_value;
    if (!n.bRescale(nPrecision, nScale))
        return kStatusOverflow;
    const int nBytes = HostDecimalBytes(nPrecision) - 2;
    auto* out = static_cast<unsigned char*>(p);
    out[0] = n.bIsNegative() ? 0 : 1;
    out[1] = static_cast<unsigned char>(nScale);
    const CVMBigUnsigned& v = n.Magnitude();
    for (int i = 0; i < nBytes; ++i)
        out[2 + nBytes - 1 - i] = static_cast<unsigned char>(v.Word(i / 4) >> (8 * (i % 4)));
    return 0;
}

int CVMDecimal::nSetBytes(const void* p, int nPrecision, int nScale)
{
    if (p == nullptr || !bCheckPrecision(nPrecision, nScale))
        return kStatusNotHandled;
    const auto* in = static_cast<const unsigned char*>(p);
    if (in[0] > 1)
        return kStatusNotHandled;
    const int nBytes = HostDecimalBytes(nPrecision) - 2;
    CVMBigUnsigned v;
    for (int i = 0; i < nBytes; ++i) {
        const unsigned b = in[2 + nBytes - 1 - i];
        v.SetWord(i / 4, v.Word(i / 4) | (b << (8 * (i % 4))));
    }
    // The bytes carry the scale they were written with.
    CVMNumber n;
    if (!CVMNumber::bFromParts(v, in[1], in[0] == 0, n) || !n.bRescale(nPrecision, nScale))
        return kStatusOverflow;
    m_value = n;
    m_nPrecision = nPrecision;
    m_nScale = nScale;
    return 0;
}

int CVMDecimal::nGetDataForm(void* p)
{
    if (p == nullptr)
        return kStatusNotHandled;
    m_value.ToRaw(static_cast<unsigned char*>(p));
    return 0;
}

int CVMDecimal::nSetDataForm(const void* p)
{
    CVMNumber n;
    if (p == nullptr || !CVMNumber::bFromRaw(static_cast<const unsigned char*>(p), n))
        return kStatusNotHandled;
    SetNumber(n);
    return 0;
}

int CVMDecimal::nSetDecimal(const IDecimal* pOther)
{
    CVMNumber n;
    if (!HostFactory().bRead(pOther, n))
        return kStatusNotHandled;
    auto* pSource = const_cast<IDecimal*>(pOther);
    m_value = n;
    m_nPrecision = pSource->nGetDigits();
    m_nScale = pSource->nGetDecimals();
    return 0;
}

int CVMDecimal::nRescale(int nPrecision, int nScale)
{
    if (!bCheckPrecision(nPrecision, nScale))
        return kStatusNotHandled;
    if (!m_value.bRescale(nPrecision, nScale))
        return kStatusOverflow;
    m_nPrecision = nPrecision;
    m_nScale = nScale;
    return 0;
}

void CVMDecimal::SetToMin()
{
    SetNumber(CVMNumber::Extreme(false));
}

void CVMDecimal::SetToMax()
{
    SetNumber(CVMNumber::Extreme(true));
}

// Key: a sign byte, the count of integer digits, then the digits packed two
// to a byte without the fraction's trailing zeros; a negative number has
// every byte after the sign inverted.
int CVMDecimal::nGetKey(void* p)
{
    if (p == nullptr)
        return kStatusNotHandled;
    CVMNumber n = m_value;
    n.Trim();
    std::string digits = n.Magnitude().Digits();
    int nInteger = static_cast<int>(digits.size()) - n.nScale();
    if (n.bIsZero()) {
        digits.clear();
        nInteger = 0;
    } else if (nInteger < 0) {
        digits.insert(0, static_cast<std::size_t>(-nInteger), '0');
        nInteger = 0;
    }
    unsigned char key[KEY_SIZE] = {};
    key[0] = n.bIsNegative() ? 0x7F : 0x80;
    key[1] = static_cast<unsigned char>(nInteger);
    for (std::size_t i = 0; i < digits.size() && i < 2 * (KEY_SIZE - 2); ++i) {
        const unsigned d = static_cast<unsigned>(digits[i] - '0');
        key[2 + i / 2] |= static_cast<unsigned char>(i % 2 == 0 ? d << 4 : d);
    }
    if (n.bIsNegative())
        for (int i = 1; i < KEY_SIZE; ++i)
            key[i] = static_cast<unsigned char>(~key[i]);
    std::memcpy(p, key, KEY_SIZE);
    return 0;
}

int CVMDecimal::nSetKey(const void* p)
{
    if (p == nullptr)
        return kStatusNotHandled;
    unsigned char key[KEY_SIZE];
    std::memcpy(key, p, KEY_SIZE);
    const bool bNeg = key[0] == 0x7F;
    if (!bNeg && key[0] != 0x80)
        return kStatusNotHandled;
    if (bNeg)
        for (int i = 1; i < KEY_SIZE; ++i)
            key[i] = static_cast<unsigned char>(~key[i]);
    const int nInteger = key[1];
    if (nInteger > CVMNumber::MAX_DIGITS)
        return kStatusNotHandled;
    std::u32string text;
    if (bNeg)
        text.push_back(U'-');
    std::u32string fraction;
    for (int i = 0; i < CVMNumber::MAX_DIGITS; ++i) {
        const unsigned d = i % 2 == 0 ? key[2 + i / 2] >> 4 : key[2 + i / 2] & 0x0F;
        if (d > 9)
            return kStatusNotHandled;
        (i < nInteger ? text : fraction).push_back(static_cast<char32_t>(U'0' + d));
    }
    if (nInteger == 0)
        text.push_back(U'0');
    while (!fraction.empty() && fraction.back() == U'0')
        fraction.pop_back();
    if (!fraction.empty())
        text += U"." + fraction;
    CVMNumber n;
    if (!CVMNumber::bFromText(text, n))
        return kStatusNotHandled;
    SetNumber(n);
    return 0;
}

// ---- Factory -----------------------------------------------------------------------------

IDecimal* CVMFactory::piCreateObject(int nKind)
{
    return nKind == 0 ? pNewDecimal() : nullptr;
}

CVMDecimal* CVMFactory::pNewDecimal()
{
    auto* p = new CVMDecimal;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_live.insert(p);
    return p;
}

void CVMFactory::ReleaseObject(IDecimal* pObject)
{
    if (pObject == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_live.erase(pObject) == 0) {
            ++m_nBadReleases;
            return;
        }
    }
    delete static_cast<CVMDecimal*>(pObject);
}

bool CVMFactory::bRead(const IDecimal* pObject, CVMNumber& n)
{
    if (pObject == nullptr)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_live.count(pObject) == 0)
            return false;
    }
    n = static_cast<const CVMDecimal*>(pObject)->Number();
    return true;
}

int CVMFactory::nLive()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_live.size());
}

int CVMFactory::nBadReleases()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nBadReleases;
}

CVMFactory& HostFactory()
{
    static CVMFactory* p = HostKeep(new CVMFactory);
    return *p;
}
