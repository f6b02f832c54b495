// The host language's currency: a signed fixed-point number in millionths,
// held in 80 bits (five 16-bit words, two's complement, word 0 the least
// significant), and the free functions of its library.
//
// Functions returning a CMoney* return their first argument on success and
// null on failure (overflow, division by zero); the first argument is the
// value worked on. Pointers must not be null unless stated otherwise.
#pragma once

#include <cstddef>

struct CMoney {
    unsigned short m_awMot[5];
};

// The host copies the value as raw bytes: the layout must not move.
static_assert(sizeof(CMoney) == 10, "CMoney is 10 bytes");
static_assert(alignof(CMoney) == 2, "CMoney is word aligned");
static_assert(offsetof(CMoney, m_awMot) == 0, "CMoney words start at byte 0");

// Text buffer sizes in characters, terminator included.
constexpr std::size_t MONETAIRE_TAILLE_CHAINE_C = 27;      // "-604462909807314587.353088"
constexpr std::size_t MONETAIRE_TAILLE_CHAINE_HEXA = 21;   // 20 hexadecimal digits
constexpr std::size_t MONETAIRE_TAILLE_CHAINE_OCTALE = 28; // 27 octal digits

extern const CMoney gstMillion;      //  1.000000
extern const CMoney gstMoinsMillion; // -1.000000
extern const CMoney gstVersLong;     //  65536 millionths (2^16)

// Arithmetic. Add and subtract leave the wrapped 80-bit result in a when they
// fail; after a failed multiplication or division a is unchanged.
CMoney* pstAddMonetaire(CMoney* a, const CMoney* b);
CMoney* pstSubMonetaire(CMoney* a, const CMoney* b);
// a = a * b / 1000000 and a = a * 1000000 / b, truncated toward zero. A result
// whose magnitude does not fit in 79 bits fails (so does a division by 0).
CMoney* pstMulMonetaire(CMoney* a, const CMoney* b);
CMoney* pstDivMonetaire(CMoney* a, const CMoney* b);
// a = a * 10, and a = a * m + (digit - '0') on the magnitude with the sign put
// back; false (a unchanged) on overflow or when digit is below '0'.
bool bMul10Monetaire(CMoney* a);
bool bMulMonetaireWord(CMoney* a, unsigned short m, wchar_t digit);

void NegMonetaire(CMoney* a);
// Null for the smallest value, whose magnitude has no positive form.
CMoney* pstAbsMonetaire(CMoney* a);
// Plus or minus 1.000000; an overflow wraps.
bool bIncrementeMonetaire(CMoney* a);
bool bDecrementeMonetaire(CMoney* a);
bool bMonetaireZero(const CMoney* a);

// -1, 0 or 1; a null a compares greater, a null b smaller.
int nCmpMonetaire(const CMoney* a, const CMoney* b);
int nCmpMonetaireEtInt32(const CMoney* a, int n);

void SetMonetaireToMin(CMoney* a);
void SetMonetaireToMax(CMoney* a);

// Integers: value * 1000000; null (a unchanged) when it does not fit.
CMoney* pstInt32VersMonetaire(CMoney* a, int n);
CMoney* pstTresLongVersMonetaire(CMoney* a, long long n);
CMoney* pstTresLongSansSigneVersMonetaire(CMoney* a, unsigned long long n);

// The integer part, truncated toward zero. The 32-bit form succeeds only when
// it fits an int (the low 32 bits are stored either way).
bool bMonetaireVersTresLong(const CMoney* a, long long* pn);
bool bMonetaireVersInt32(const CMoney* a, int* pn);
bool bMonetaireVersTresLongSansSigne(const CMoney* a, unsigned long long* pn);
long long lMonetaireVersTresLong(const CMoney* a);
int lMonetaireVersInt32(const CMoney* a);
unsigned long long lMonetaireVersTresLongSansSigne(const CMoney* a);

// Reals: the value of "%.6f" (ties to even), read as currency; null for NaN,
// infinities and values out of range. The way back is the nearest double to
// the decimal value, independent of the process locale.
CMoney* pstDoubleVersMonetaire(CMoney* a, double d);
double dMonetaireVersDouble(const CMoney* a);

// Decimal text: optional leading spaces, one sign ("+", "-", U+FF0B, U+FF0D),
// digits, "." and up to six fraction digits (more are ignored); the first
// other character ends the number. Null on overflow. A null text gives 0.
CMoney* pstChaineVersMonetaire(CMoney* a, const wchar_t* text);
// out holds MONETAIRE_TAILLE_CHAINE_C characters; trailing fraction zeros and
// a bare point are dropped ("1.5", "-0.25", "3", "0"). Returns out.
wchar_t* pszMonetaireVersChaineC(wchar_t* out, const CMoney* a);
// The raw 80 bits in upper-case hexadecimal without leading zeros ("0" for
// zero); out holds MONETAIRE_TAILLE_CHAINE_HEXA characters. Returns out.
wchar_t* pszMonetaireVersChaineHexa(wchar_t* out, const CMoney* a);
// Skips spaces, upper-cases text in place and reads its leading hexadecimal
// digits (the first 20 at most) as the raw 80 bits; no digits give 0.
CMoney* pstChaineHexaVersMonetaire(CMoney* a, wchar_t* text);
// The raw value sign-extended to 81 bits in octal without leading zeros ("0"
// for zero); out holds MONETAIRE_TAILLE_CHAINE_OCTALE characters. Returns out.
wchar_t* pszMonetaireVersChaineOctale(wchar_t* out, const CMoney* a);

// Rounding to d decimals (0 to 5; more leaves the value as it is, a negative
// d fails): half away from zero, toward minus infinity, toward plus
// infinity. Null (a unchanged) when the rounded value is out of range.
CMoney* pstArrMonetaire(CMoney* a, short d);
CMoney* pstArrMonetaireInf(CMoney* a, short d);
CMoney* pstArrMonetaireSup(CMoney* a, short d);
// Integer part toward minus infinity (-2.5 gives -3); null when out of range.
CMoney* pstEntMonetaire(CMoney* a);
// The fraction of the magnitude (2.5 and -2.5 both give 0.5).
CMoney* pstDecMonetaire(CMoney* a);

// 10 key bytes that compare, byte by byte unsigned, like the values.
void MonetaireVersCleKX(void* key, const CMoney* a);
