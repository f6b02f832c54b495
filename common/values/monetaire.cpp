#include "common/values/monetaire.h"
#include "common/text/TextBasics.h"

#include <cstring>
#include <cwchar>
#include <cwctype>
#include <locale.h>

namespace {

typedef unsigned short MOT;
constexpr int MOTS = 5;
constexpr unsigned MILLION = 1000000;

bool bSigne(const MOT* w) { return (w[MOTS - 1] & 0x8000) != 0; }

bool bZero(const MOT* w, int n)
{
    for (int i = 0; i < n; ++i)
        if (w[i] != 0)
            return false;
    return true;
}

void Negate(MOT* w, int n)
{
    unsigned carry = 1;
    for (int i = 0; i < n; ++i) {
        const unsigned v = static_cast<MOT>(~w[i]) + carry;
        w[i] = static_cast<MOT>(v);
        carry = v >> 16;
    }
}

// Copies the magnitude of a into mag; the smallest value gives 2^79, which is
// read as unsigned by everything below. Returns whether a is negative.
bool bMagnitude(const CMoney* a, MOT* mag)
{
    std::memcpy(mag, a->m_awMot, sizeof(a->m_awMot));
    const bool neg = bSigne(mag);
    if (neg)
        Negate(mag, MOTS);
    return neg;
}

// A magnitude fits when it leaves the sign bit clear.
bool bLoge(const MOT* mag) { return !bSigne(mag); }

void Store(CMoney* a, const MOT* mag, bool neg)
{
    std::memcpy(a->m_awMot, mag, sizeof(a->m_awMot));
    if (neg)
        Negate(a->m_awMot, MOTS);
}

// w = w * m + add over n words; returns what did not fit.
unsigned MulSmall(MOT* w, int n, unsigned m, unsigned add)
{
    unsigned long long carry = add;
    for (int i = 0; i < n; ++i) {
        const unsigned long long v = static_cast<unsigned long long>(w[i]) * m + carry;
        w[i] = static_cast<MOT>(v);
        carry = v >> 16;
    }
    return static_cast<unsigned>(carry);
}

// w = w / d over n words, top word first; returns the remainder.
unsigned DivSmall(MOT* w, int n, unsigned d)
{
    unsigned long long r = 0;
    for (int i = n - 1; i >= 0; --i) {
        r = (r << 16) | w[i];
        w[i] = static_cast<MOT>(r / d);
        r %= d;
    }
    return static_cast<unsigned>(r);
}

int GetSignificativeBitNbr(const MOT* w, int n)
{
    for (int i = n - 1; i >= 0; --i)
        for (int b = 15; b >= 0; --b)
            if (w[i] & (1u << b))
                return i * 16 + b + 1;
    return 0;
}

// Shifts w left by one bit, bit entering at the bottom; returns the bit out.
int nShiftLeft(MOT* w, int n, int bit)
{
    for (int i = 0; i < n; ++i) {
        const int out = w[i] >> 15;
        w[i] = static_cast<MOT>((w[i] << 1) | bit);
        bit = out;
    }
    return bit;
}

int nShiftRight(MOT* w, int n)
{
    int bit = 0;
    for (int i = n - 1; i >= 0; --i) {
        const int out = w[i] & 1;
        w[i] = static_cast<MOT>((w[i] >> 1) | (bit << 15));
        bit = out;
    }
    return bit;
}

int nCmpWords(const MOT* a, const MOT* b, int n)
{
    for (int i = n - 1; i >= 0; --i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

void SubWords(MOT* a, const MOT* b, int n)
{
    unsigned borrow = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned v = static_cast<unsigned>(a[i]) - b[i] - borrow;
        a[i] = static_cast<MOT>(v);
        borrow = (v >> 16) & 1;
    }
}

bool bEstMin(const MOT* w) { return w[4] == 0x8000 && bZero(w, 4); }

// a += b, wrapping. Overflow when both operands share a sign the sum does not
// have, and for a sum of two negatives that lands on -2^79.
bool pstAddInterneC(MOT* a, const MOT* b)
{
    const bool sa = bSigne(a), sb = bSigne(b);
    unsigned carry = 0;
    for (int i = 0; i < MOTS; ++i) {
        const unsigned v = static_cast<unsigned>(a[i]) + b[i] + carry;
        a[i] = static_cast<MOT>(v);
        carry = v >> 16;
    }
    if (sa == sb && bSigne(a) != sa)
        return false;
    return !(sa && sb && bEstMin(a));
}

// a -= b, wrapping, with the overflow rules of a += -b taken on the exact
// difference (-b itself does not exist for b = -2^79).
bool bSubInterne(MOT* a, const MOT* b)
{
    const bool sa = bSigne(a), sb = bSigne(b);
    const bool bPositif = !sb && !bZero(b, MOTS);
    SubWords(a, b, MOTS);
    if (sa != sb && bSigne(a) != sa)
        return false;
    return !(sa && bPositif && bEstMin(a));
}

// a = a * b (/ 1000000 when scaled), truncated toward zero; the operands'
// signs are taken off first and put back on the result.
bool pstMulInterneC(MOT* a, const MOT* b, bool scale)
{
    MOT ma[MOTS], mb[MOTS];
    CMoney t;
    std::memcpy(t.m_awMot, a, sizeof(ma));
    const bool na = bMagnitude(&t, ma);
    std::memcpy(t.m_awMot, b, sizeof(mb));
    const bool nb = bMagnitude(&t, mb);

    MOT p[2 * MOTS] = {};
    for (int i = 0; i < MOTS; ++i) {
        unsigned carry = 0;
        for (int j = 0; j < MOTS; ++j) {
            const unsigned v = static_cast<unsigned>(ma[i]) * mb[j] + p[i + j] + carry;
            p[i + j] = static_cast<MOT>(v);
            carry = v >> 16;
        }
        p[i + MOTS] = static_cast<MOT>(carry);
    }
    if (scale)
        DivSmall(p, 2 * MOTS, MILLION);
    if (!bZero(p + MOTS, MOTS) || !bLoge(p))
        return false;
    std::memcpy(a, p, sizeof(ma));
    if (na != nb)
        Negate(a, MOTS);
    return true;
}

// a = a (* factor) / divisor, truncated toward zero, by binary long division
// of the magnitudes. A quotient that does not fit is refused.
bool pstDivInterneC(MOT* a, const MOT* divisor, unsigned factor)
{
    if (bZero(divisor, MOTS))
        return false;
    MOT ma[MOTS], md[MOTS + 1] = {};
    CMoney t;
    std::memcpy(t.m_awMot, a, sizeof(ma));
    const bool na = bMagnitude(&t, ma);
    std::memcpy(t.m_awMot, divisor, sizeof(ma));
    const bool nd = bMagnitude(&t, md);

    MOT n[2 * MOTS] = {};
    std::memcpy(n, ma, sizeof(ma));
    if (factor != 0)
        MulSmall(n, 2 * MOTS, factor, 0); // at most 2^100: never carries out

    MOT q[2 * MOTS] = {};
    MOT r[MOTS + 1] = {}; // the remainder stays below twice the divisor
    for (int i = GetSignificativeBitNbr(n, 2 * MOTS) - 1; i >= 0; --i) {
        nShiftLeft(r, MOTS + 1, (n[i / 16] >> (i % 16)) & 1);
        if (nCmpWords(r, md, MOTS + 1) >= 0) {
            SubWords(r, md, MOTS + 1);
            q[i / 16] = static_cast<MOT>(q[i / 16] | (1u << (i % 16)));
        }
    }
    if (!bZero(q + MOTS, MOTS) || !bLoge(q))
        return false;
    std::memcpy(a, q, sizeof(ma));
    if (na != nd)
        Negate(a, MOTS);
    return true;
}

// Sets a to sign * n * 1000000; false (a unchanged) when it does not fit.
bool bDepuisEntier(CMoney* a, unsigned long long n, bool neg)
{
    MOT w[MOTS] = {};
    for (int i = 0; i < 4; ++i)
        w[i] = static_cast<MOT>(n >> (16 * i));
    if (MulSmall(w, MOTS, MILLION, 0) != 0 || !bLoge(w))
        return false;
    Store(a, w, neg);
    return true;
}

// The integer part, truncated toward zero; its magnitude is below 2^60.
long long llPartieEntiere(const CMoney* a)
{
    MOT mag[MOTS];
    const bool neg = bMagnitude(a, mag);
    DivSmall(mag, MOTS, MILLION);
    unsigned long long n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 16) | mag[i];
    return neg ? -static_cast<long long>(n) : static_cast<long long>(n);
}

enum class ESens { Proche, Bas, Haut };

// Rounds to d decimals exactly: the magnitude is split by the unit of the
// d-th decimal and the quotient raised by one when the direction asks.
CMoney* _pstArrMonetaireInfSup(CMoney* a, short d, ESens sens)
{
    static const unsigned s_anUnite[6] = {1000000, 100000, 10000, 1000, 100, 10};
    if (d < 0)
        return nullptr;
    if (d > 5)
        return a;
    const unsigned u = s_anUnite[d];
    MOT mag[MOTS];
    const bool neg = bMagnitude(a, mag);
    const unsigned r = DivSmall(mag, MOTS, u);
    bool plus = false;
    switch (sens) {
    case ESens::Proche: plus = r >= u / 2; break;
    case ESens::Bas: plus = r != 0 && neg; break;
    case ESens::Haut: plus = r != 0 && !neg; break;
    }
    if (MulSmall(mag, MOTS, u, plus ? u : 0) != 0 || !bLoge(mag))
        return nullptr;
    Store(a, mag, neg);
    return a;
}

int nHexa(wchar_t c)
{
    if (TXT_bDigit(c))
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

} // namespace

const CMoney gstMillion = {{0x4240, 0x000F, 0, 0, 0}};
const CMoney gstMoinsMillion = {{0xBDC0, 0xFFF0, 0xFFFF, 0xFFFF, 0xFFFF}};
const CMoney gstVersLong = {{0x0000, 0x0001, 0, 0, 0}};

CMoney* pstAddMonetaire(CMoney* a, const CMoney* b)
{
    MOT mb[MOTS];
    std::memcpy(mb, b->m_awMot, sizeof(mb)); // b may be a
    return pstAddInterneC(a->m_awMot, mb) ? a : nullptr;
}

CMoney* pstSubMonetaire(CMoney* a, const CMoney* b)
{
    MOT mb[MOTS];
    std::memcpy(mb, b->m_awMot, sizeof(mb));
    return bSubInterne(a->m_awMot, mb) ? a : nullptr;
}

CMoney* pstMulMonetaire(CMoney* a, const CMoney* b)
{
    return pstMulInterneC(a->m_awMot, b->m_awMot, true) ? a : nullptr;
}

CMoney* pstDivMonetaire(CMoney* a, const CMoney* b)
{
    return pstDivInterneC(a->m_awMot, b->m_awMot, MILLION) ? a : nullptr;
}

bool bMulMonetaireWord(CMoney* a, unsigned short m, wchar_t digit)
{
    if (digit < L'0')
        return false;
    MOT mag[MOTS];
    const bool neg = bMagnitude(a, mag);
    if (MulSmall(mag, MOTS, m, static_cast<unsigned>(digit - L'0')) != 0 || !bLoge(mag))
        return false;
    Store(a, mag, neg);
    return true;
}

bool bMul10Monetaire(CMoney* a) { return bMulMonetaireWord(a, 10, L'0'); }

void NegMonetaire(CMoney* a) { Negate(a->m_awMot, MOTS); }

CMoney* pstAbsMonetaire(CMoney* a)
{
    if (bEstMin(a->m_awMot))
        return nullptr;
    if (bSigne(a->m_awMot))
        Negate(a->m_awMot, MOTS);
    return a;
}

bool bIncrementeMonetaire(CMoney* a)
{
    pstAddInterneC(a->m_awMot, gstMillion.m_awMot);
    return true;
}

bool bDecrementeMonetaire(CMoney* a)
{
    SubWords(a->m_awMot, gstMillion.m_awMot, MOTS);
    return true;
}

bool bMonetaireZero(const CMoney* a) { return bZero(a->m_awMot, MOTS); }

int nCmpMonetaire(const CMoney* a, const CMoney* b)
{
    if (a == nullptr)
        return 1;
    if (b == nullptr)
        return -1;
    const short ha = static_cast<short>(a->m_awMot[4]), hb = static_cast<short>(b->m_awMot[4]);
    if (ha != hb)
        return ha < hb ? -1 : 1;
    return nCmpWords(a->m_awMot, b->m_awMot, MOTS - 1);
}

int nCmpMonetaireEtInt32(const CMoney* a, int n)
{
    CMoney b;
    pstInt32VersMonetaire(&b, n);
    return nCmpMonetaire(a, &b);
}

void SetMonetaireToMin(CMoney* a)
{
    for (int i = 0; i < 4; ++i)
        a->m_awMot[i] = 0;
    a->m_awMot[4] = 0x8000;
}

void SetMonetaireToMax(CMoney* a)
{
    for (int i = 0; i < 4; ++i)
        a->m_awMot[i] = 0xFFFF;
    a->m_awMot[4] = 0x7FFF;
}

CMoney* pstInt32VersMonetaire(CMoney* a, int n)
{
    const bool neg = n < 0;
    const unsigned mag = neg ? 0u - static_cast<unsigned>(n) : static_cast<unsigned>(n);
    bDepuisEntier(a, mag, neg); // at most 2^31 * 10^6: always fits
    return a;
}

CMoney* pstTresLongVersMonetaire(CMoney* a, long long n)
{
    const bool neg = n < 0;
    const unsigned long long mag =
        neg ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    return bDepuisEntier(a, mag, neg) ? a : nullptr;
}

CMoney* pstTresLongSansSigneVersMonetaire(CMoney* a, unsigned long long n)
{
    return bDepuisEntier(a, n, false) ? a : nullptr;
}

bool bMonetaireVersTresLong(const CMoney* a, long long* pn)
{
    *pn = llPartieEntiere(a);
    return true;
}

bool bMonetaireVersInt32(const CMoney* a, int* pn)
{
    const long long n = llPartieEntiere(a);
    *pn = static_cast<int>(static_cast<unsigned>(n));
    return n >= -2147483647LL - 1 && n <= 2147483647LL;
}

bool bMonetaireVersTresLongSansSigne(const CMoney* a, unsigned long long* pn)
{
    // The integer part is below 2^60 in magnitude: its 80-bit form is always
    // the sign extension of its low 64 bits.
    *pn = static_cast<unsigned long long>(llPartieEntiere(a));
    return true;
}

long long lMonetaireVersTresLong(const CMoney* a) { return llPartieEntiere(a); }

int lMonetaireVersInt32(const CMoney* a)
{
    return static_cast<int>(static_cast<unsigned>(llPartieEntiere(a)));
}

unsigned long long lMonetaireVersTresLongSansSigne(const CMoney* a)
{
    return static_cast<unsigned long long>(llPartieEntiere(a));
}

// The exact value of the double times 10^6, rounded half to even as "%.6f"
// rounds, from the bits of the stored double: neither the process locale nor
// the x87 extended precision can change the digits.
CMoney* pstDoubleVersMonetaire(CMoney* a, double d)
{
    unsigned long long bits;
    std::memcpy(&bits, &d, sizeof(bits));
    const bool neg = (bits >> 63) != 0;
    int e = static_cast<int>((bits >> 52) & 0x7FF);
    unsigned long long m = bits & ((1ull << 52) - 1);
    if (e == 0x7FF)
        return nullptr; // NaN or infinite
    if (e == 0)
        e = 1;
    else
        m |= 1ull << 52;
    const int sh = e - 1075; // d = m * 2^sh

    MOT w[MOTS] = {};
    for (int i = 0; i < 4; ++i)
        w[i] = static_cast<MOT>(m >> (16 * i));
    MulSmall(w, MOTS, MILLION, 0); // below 2^73
    if (sh > 0) {
        if (!bZero(w, MOTS)) {
            if (sh >= 16 * MOTS)
                return nullptr;
            for (int i = 0; i < sh; ++i)
                if (nShiftLeft(w, MOTS, 0) != 0)
                    return nullptr;
        }
    } else if (sh < 0) {
        if (-sh > 16 * MOTS) {
            std::memset(w, 0, sizeof(w)); // below 2^-7: rounds to 0
        } else {
            int half = 0;
            bool sticky = false;
            for (int i = 0; i < -sh; ++i) {
                sticky = sticky || half != 0;
                half = nShiftRight(w, MOTS);
            }
            if (half && (sticky || (w[0] & 1)))
                MulSmall(w, MOTS, 1, 1);
        }
    }
    if (!bLoge(w))
        return nullptr;
    Store(a, w, neg);
    return a;
}

double dMonetaireVersDouble(const CMoney* a)
{
    wchar_t text[MONETAIRE_TAILLE_CHAINE_C];
    pszMonetaireVersChaineC(text, a);
    // The C locale reads "." whatever the process locale says.
    static const locale_t s_hC = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    volatile double d = s_hC != static_cast<locale_t>(0) ? wcstod_l(text, nullptr, s_hC)
                                                          : std::wcstod(text, nullptr);
    return d;
}

CMoney* pstChaineVersMonetaire(CMoney* a, const wchar_t* text)
{
    std::memset(a->m_awMot, 0, sizeof(a->m_awMot));
    if (text == nullptr)
        return a;
    const wchar_t* p = text;
    while (*p == L' ')
        ++p;
    bool neg = false;
    if (*p == L'+' || *p == L'-' || *p == 0xFF0B || *p == 0xFF0D) {
        neg = *p == L'-' || *p == 0xFF0D;
        ++p;
    }
    MOT mag[MOTS] = {};
    for (; TXT_bDigit(*p); ++p)
        if (MulSmall(mag, MOTS, 10, static_cast<unsigned>(*p - L'0')) != 0 || !bLoge(mag))
            return nullptr;
    int nDecimales = 0;
    if (*p == L'.') {
        for (++p; nDecimales < 6 && TXT_bDigit(*p); ++p, ++nDecimales)
            if (MulSmall(mag, MOTS, 10, static_cast<unsigned>(*p - L'0')) != 0 || !bLoge(mag))
                return nullptr;
    }
    for (; nDecimales < 6; ++nDecimales)
        if (MulSmall(mag, MOTS, 10, 0) != 0 || !bLoge(mag))
            return nullptr;
    Store(a, mag, neg);
    return a;
}

wchar_t* pszMonetaireVersChaineC(wchar_t* out, const CMoney* a)
{
    MOT mag[MOTS];
    const bool neg = bMagnitude(a, mag);
    char digits[32]; // least significant first; 2^79 has 24 digits
    int n = 0;
    do
        digits[n++] = static_cast<char>('0' + DivSmall(mag, MOTS, 10));
    while (!bZero(mag, MOTS) || n < 7);

    int nZeros = 0; // trailing zeros of the fraction
    while (nZeros < 6 && digits[nZeros] == '0')
        ++nZeros;
    wchar_t* q = out;
    if (neg)
        *q++ = L'-';
    for (int i = n - 1; i >= 6; --i)
        *q++ = digits[i];
    if (nZeros < 6) {
        *q++ = L'.';
        for (int i = 5; i >= nZeros; --i)
            *q++ = digits[i];
    }
    *q = 0;
    return out;
}

wchar_t* pszMonetaireVersChaineHexa(wchar_t* out, const CMoney* a)
{
    static const char s_szChiffres[] = "0123456789ABCDEF";
    wchar_t* q = out;
    for (int i = 4 * MOTS - 1; i >= 0; --i) {
        const int c = (a->m_awMot[i / 4] >> (4 * (i % 4))) & 0xF;
        if (c != 0 || q != out || i == 0)
            *q++ = s_szChiffres[c];
    }
    *q = 0;
    return out;
}

CMoney* pstChaineHexaVersMonetaire(CMoney* a, wchar_t* text)
{
    MOT w[MOTS] = {};
    if (text != nullptr) {
        while (*text == L' ')
            ++text;
        for (wchar_t* p = text; *p; ++p)
            *p = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(*p)));
        for (int n = 0; n < 4 * MOTS && nHexa(*text) >= 0; ++n, ++text)
            MulSmall(w, MOTS, 16, static_cast<unsigned>(nHexa(*text)));
    }
    std::memcpy(a->m_awMot, w, sizeof(w));
    return a;
}

wchar_t* pszMonetaireVersChaineOctale(wchar_t* out, const CMoney* a)
{
    const int signe = bSigne(a->m_awMot) ? 1 : 0;
    auto bit = [&](int i) { return i < 16 * MOTS ? (a->m_awMot[i / 16] >> (i % 16)) & 1 : signe; };
    wchar_t* q = out;
    for (int k = 26; k >= 0; --k) {
        const int c = bit(3 * k) | (bit(3 * k + 1) << 1) | (bit(3 * k + 2) << 2);
        if (c != 0 || q != out || k == 0)
            *q++ = static_cast<wchar_t>(L'0' + c);
    }
    *q = 0;
    return out;
}

CMoney* pstArrMonetaire(CMoney* a, short d) { return _pstArrMonetaireInfSup(a, d, ESens::Proche); }
CMoney* pstArrMonetaireInf(CMoney* a, short d) { return _pstArrMonetaireInfSup(a, d, ESens::Bas); }
CMoney* pstArrMonetaireSup(CMoney* a, short d) { return _pstArrMonetaireInfSup(a, d, ESens::Haut); }
CMoney* pstEntMonetaire(CMoney* a) { return _pstArrMonetaireInfSup(a, 0, ESens::Bas); }

CMoney* pstDecMonetaire(CMoney* a)
{
    MOT mag[MOTS];
    bMagnitude(a, mag);
    const unsigned f = DivSmall(mag, MOTS, MILLION);
    a->m_awMot[0] = static_cast<MOT>(f);
    a->m_awMot[1] = static_cast<MOT>(f >> 16);
    a->m_awMot[2] = a->m_awMot[3] = a->m_awMot[4] = 0;
    return a;
}

void MonetaireVersCleKX(void* key, const CMoney* a)
{
    unsigned char* k = static_cast<unsigned char*>(key);
    auto octet = [&](int i) { return static_cast<unsigned char>(a->m_awMot[i / 2] >> (8 * (i % 2))); };
    k[0] = static_cast<unsigned char>(octet(9) ^ 0x80);
    for (int i = 1; i < 10; ++i)
        k[i] = octet(9 - i);
}
