// Exact decimal arithmetic of the stand-in value machine: the numbers behind
// its decimal objects, its currency and its integer conversions. A number is
// a sign, a magnitude of at most 38 digits and a scale (digits after the
// point, 0 to 38). Intermediate results live in 512-bit magnitudes so that
// products and scaled quotients are exact before they are rounded back.
#pragma once

#include "common/values/Decimal.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>

class CVMBigUnsigned {
public:
    static constexpr int WORDS = 16;

    CVMBigUnsigned() : m_aw{} {}
    static CVMBigUnsigned FromU64(std::uint64_t n);
    static CVMBigUnsigned Pow10(int n);

    bool bIsZero() const;
    // Fits in the given number of bits.
    bool bFitsBits(int nBits) const;
    std::uint64_t u64Low() const { return m_aw[0] | (static_cast<std::uint64_t>(m_aw[1]) << 32); }
    std::uint32_t Word(int i) const { return m_aw[i]; }
    void SetWord(int i, std::uint32_t w) { m_aw[i] = w; }

    static int nCompare(const CVMBigUnsigned& a, const CVMBigUnsigned& b);
    // False on overflow of the 512 bits.
    bool bAdd(const CVMBigUnsigned& b);
    // Expects *this >= b.
    void Subtract(const CVMBigUnsigned& b);
    bool bMulSmall(std::uint32_t m);
    bool bAddSmall(std::uint32_t m);
    // Divides in place and answers the remainder; d must not be 0.
    std::uint32_t DivSmall(std::uint32_t d);
    static bool bMultiply(const CVMBigUnsigned& a, const CVMBigUnsigned& b, CVMBigUnsigned& out);
    // Truncating division; d must not be 0.
    static void DivMod(const CVMBigUnsigned& n, const CVMBigUnsigned& d, CVMBigUnsigned& q, CVMBigUnsigned& r);

    // Decimal digits, "0" for zero.
    std::string Digits() const;
    // Decimal digits, 1 for zero.
    int nDigitCount() const;
    int nBitLength() const;

private:
    bool bBit(int i) const { return (m_aw[i / 32] >> (i % 32)) & 1u; }
    void ShiftLeft1();

    std::uint32_t m_aw[WORDS];
};

class CVMNumber {
public:
    static constexpr int MAX_DIGITS = 38;
    static constexpr int MAX_SCALE = 38;
    // Scale kept by a quotient that does not end earlier.
    static constexpr int DIVISION_SCALE = 20;
    // Size of the raw form exchanged by the decimal objects (slots 5 and 6).
    static constexpr int RAW_SIZE = 18;

    CVMNumber() = default;
    static CVMNumber FromI64(std::int64_t n);
    static CVMNumber FromU64(std::uint64_t n);
    // False for NaN and infinities and for magnitudes beyond 38 digits.
    static bool bFromDouble(double d, CVMNumber& out);
    // Text: blanks, a sign, digits with one optional point, an optional
    // exponent, blanks. False for anything else or an empty number.
    static bool bFromText(const std::u32string& text, CVMNumber& out);
    static bool bFromRaw(const unsigned char* p, CVMNumber& out);
    // Magnitude and scale as they are; false beyond 38 digits or scale 38.
    static bool bFromParts(const CVMBigUnsigned& mag, int nScale, bool bNeg, CVMNumber& out);

    bool bIsZero() const { return m_mag.bIsZero(); }
    bool bIsNegative() const { return m_bNeg && !bIsZero(); }
    int nScale() const { return m_nScale; }
    const CVMBigUnsigned& Magnitude() const { return m_mag; }
    // Digits of the value as written (integer and fraction digits).
    int nPrecision() const;

    // "-" when negative, integer digits (at least one), "." and the
    // fraction digits of the scale.
    std::string Text() const;
    // The nearest double (or single) of the exact value.
    template <class T>
    T Real() const;
    double dValue() const { return Real<double>(); }
    float fValue() const { return Real<float>(); }
    // Truncated toward zero; false when out of range.
    bool bToI64(std::int64_t& n) const;
    bool bToU64(std::uint64_t& n) const;
    void ToRaw(unsigned char* p) const;

    static int nCompare(const CVMNumber& a, const CVMNumber& b);
    // Arithmetic: false on overflow (more than 38 integer digits) or a
    // division by zero; the result is then unspecified.
    static bool bAdd(const CVMNumber& a, const CVMNumber& b, CVMNumber& out);
    static bool bSub(const CVMNumber& a, const CVMNumber& b, CVMNumber& out);
    static bool bMul(const CVMNumber& a, const CVMNumber& b, CVMNumber& out);
    static bool bDiv(const CVMNumber& a, const CVMNumber& b, CVMNumber& out);
    static bool bMod(const CVMNumber& a, const CVMNumber& b, CVMNumber& out);
    void Negate() { m_bNeg = !m_bNeg; }

    // Rounds half away from zero to the given scale (or extends it).
    bool bSetScale(int nScale);
    // Fixes precision and scale: false when the integer part does not fit.
    bool bRescale(int nPrecision, int nScale);
    // Drops the fraction's trailing zeros.
    void Trim();

    // Largest (or smallest, negated) value of 38 nines at scale 0.
    static CVMNumber Extreme(bool bLargest);

private:
    // Brings the magnitude back to 38 digits by rounding off fraction digits.
    bool bNormalize();
    static bool bAlign(const CVMNumber& a, const CVMNumber& b, CVMBigUnsigned& ma, CVMBigUnsigned& mb, int& nScale);

    CVMBigUnsigned m_mag;
    int m_nScale = 0;
    bool m_bNeg = false;
};

// ---- Exact reals ----------------------------------------------------------------

// The nearest double (or single) of m × 2^e, negated when asked; bSticky says
// that the exact value lies above m × 2^e by less than 2^e, and then m must
// hold at least two bits more than the target's mantissa. Values below the
// target's normal range are not handled (callers never reach them).
template <class T>
T HostRealOfBits(std::uint64_t m, int e, bool bSticky, bool bNeg);
// The nearest double of num / den (den not 0), negated when asked.
double HostDoubleOfRatio(std::uint64_t num, std::uint64_t den, bool bNeg);
// Reads a real number text: the nearest double or single, 0 with success
// for a text of zeros, false for a value that rounds to 0 or to an infinity.
// The text must already be checked: ASCII digits, one optional point and an
// optional exponent, with an optional sign.
bool bHostParseReal(const char* psz, bool bNonZero, double& d);
bool bHostParseReal(const char* psz, bool bNonZero, float& f);
// The shortest text that reads back as the same double (or single), in the
// form of "%.*g".
std::string HostRealText(double d);
std::string HostSingleText(float f);

// ---- Decimal objects and the object factory ----------------------------------

// Bytes of the storage form (slots 2 and 19) of a decimal of n digits: a sign
// byte, a scale byte and the smallest unsigned integer that holds n nines;
// 0 counts as 38. The module's table of sizes by digits says the same.
int HostDecimalBytes(int nDigits);

class CVMDecimal final : public IDecimal {
public:
    CVMDecimal() = default;

    void SetNumber(const CVMNumber& n);
    const CVMNumber& Number() const { return m_value; }

    const void* pGetData() override;
    unsigned nGetDataSize() override;
    int nSetBytes(const void* p, int nPrecision, int nScale) override;
    void Reserved3() override {}
    void Reserved4() override {}
    int nGetDataForm(void* p) override;
    int nSetDataForm(const void* p) override;
    int nGetKey(void* p) override;
    void Reserved8() override {}
    int nSetDecimal(const IDecimal* pOther) override;
    void Reserved10() override {}
    void Reserved11() override {}
    void Reserved12() override {}
    void Reserved13() override {}
    void Reserved14() override {}
    void Reserved15() override {}
    void Reserved16() override {}
    void Reserved17() override {}
    void Reserved18() override {}
    int nGetBytes(void* p, int nPrecision, int nScale) override;
    void Reserved20() override {}
    int nGetDigits() override { return m_nPrecision; }
    int nGetDecimals() override { return m_nScale; }
    bool bIsNegative() override { return m_value.bIsNegative(); }
    int nRescale(int nPrecision, int nScale) override;
    void SetToMin() override;
    void SetToMax() override;
    int nSetKey(const void* p) override;

private:
    CVMNumber m_value;
    int m_nPrecision = 1;
    int m_nScale = 0;
    unsigned char m_abyBytes[IDecimal::DATA_SIZE] = {};
};

class CVMFactory final : public IVMFactory {
public:
    IDecimal* piCreateObject(int nKind) override;
    void ReleaseObject(IDecimal* pObject) override;

    CVMDecimal* pNewDecimal();
    // The number of an object this factory made; false for null or others.
    bool bRead(const IDecimal* pObject, CVMNumber& n);
    int nLive();
    int nBadReleases();

private:
    std::mutex m_mutex;
    std::unordered_set<const IDecimal*> m_live;
    int m_nBadReleases = 0;
};

CVMFactory& HostFactory();
