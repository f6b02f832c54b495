// Language-sensitive comparison and mapping of text through the host locale
// service, the host language's comparison options, numeric-aware order,
// Windows-1252 and 7-bit tests, and small character classes.
//
// The wrappers fix the locale identifier, the flags and the lengths handed to
// the service. Until the host has handed its service over they fall back to
// a built-in behaviour (case mapping in the fixed locale below, Latin-1
// accent removal, ordinal order).
#pragma once

#include <cstddef>
#include <locale.h>

// Flags understood by the comparison and mapping wrappers, on top of the
// service flags of HostInterfaces.h.
enum : unsigned {
    STR_FLAG_CURRENT_LCID = 0x10000000,  // use the current locale identifier
    STR_FLAG_LEXICO = 0x20000000,        // locale order (numeric-aware comparison)
    STR_FLAG_COMPARE_A = 0x40000000,     // added by the 8-bit whole-string comparison
};

// Fixed locale identifiers passed to the service.
enum : unsigned {
    STR_LCID_COMPARE = 1024,
    STR_LCID_MAP = 1036,
};

// ---- Service wrappers --------------------------------------------------------

int STR_nCompareA(const char* a, const char* b, unsigned flags);
int STR_nCompareW(const wchar_t* a, const wchar_t* b, unsigned flags);
int STR_nUpCompareA(const char* a, const char* b, unsigned flags);
int STR_nUpCompareW(const wchar_t* a, const wchar_t* b, unsigned flags);
int STR_nAcCompare(const char* a, const char* b, unsigned flags);
int STR_nAcCompare(const wchar_t* a, const wchar_t* b, unsigned flags);

// Compares at most n units of each text; -1, 0 or 1. Instantiated for char
// and wchar_t.
template <typename T>
int STR_nNCompare(const T* a, const T* b, int n, unsigned flags);

// Windows-style answer: 1 less, 2 equal, 3 greater. Instantiated for char and
// wchar_t.
template <typename T>
int __STR_CompareStringEx(unsigned flags, const T* a, int la, const T* b, int lb);

int STR_nCompareCharLexicoA(char a, char b, unsigned flags);
int STR_nCompareCharLexicoW(wchar_t a, wchar_t b, unsigned flags);
int STR_nCompareStringLexicoW(const wchar_t* a, int la, const wchar_t* b, int lb, unsigned flags);
int STR_nCompareCharSoupleA(char a, char b);
int STR_nCompareCharSoupleW(wchar_t a, wchar_t b);

// Maps src into dst (size units); answers the characters produced, 0 on
// failure; without dst the count needed.
int STR_nMapStringEx(unsigned flags, char* dst, int size, const char* src, int len);
int STR_nMapStringEx(unsigned flags, wchar_t* dst, int size, const wchar_t* src, int len);
// The count a mapping produces, plus 1 for the terminator.
int STR_nGetMapStringLenEx(unsigned flags, const char* src, int len);
int STR_nGetMapStringLenEx(unsigned flags, const wchar_t* src, int len);
// Maps src into a new C-heap buffer (*out, freed with free) and answers the
// characters produced; 0 with *out null when the allocation fails. *out is
// set to a buffer in every other case, even when nothing is produced.
int STR_nCreateMapString(unsigned flags, char** out, const char* src);
int STR_nCreateMapString(unsigned flags, wchar_t** out, const wchar_t* src);
// New C-heap copy of src without case and accents (freed with free); null
// for a null src.
wchar_t* STR_pszCreateStandard(const wchar_t* src);
// Sort key of src: bytes whose order is the locale order.
int STR_MapStringSortEx(unsigned char* dst, int size, const wchar_t* src, int len, bool useCurrent);

// Maps one character; the first produced unit goes to out (when given and
// something was produced). Answers the units produced.
int STR_nMapCharEx(unsigned flags, char* out, char c);
int STR_nMapCharExANSI(unsigned flags, char* out, char c);
int STR_nMapCharEx(unsigned flags, wchar_t* out, wchar_t c);
int STR_nMapCharIgnoreCaseAccent(wchar_t* out, wchar_t c);

bool STR_bWhiteCharOrPunctA(char c);
bool STR_bWhiteCharOrPunctW(wchar_t c);

// In-place case change: up to the terminator, or exactly n units.
void STR_ToUpper(char* s);
void STR_ToUpperBuff(char* s, int n);
void STR_ToLower(char* s);
void STR_ToLowerBuff(char* s, int n);
void STR_ToUpper(wchar_t* s);
void STR_ToUpperBuff(wchar_t* s, int n);
void STR_ToLower(wchar_t* s);
void STR_ToLowerBuff(wchar_t* s, int n);

// C-library case change in place; answer s.
wchar_t* my_struprW(wchar_t* s);
char* my_struprA(char* s);
wchar_t* my_strlwrW(wchar_t* s);
char* my_strlwrA(char* s);

// ---- A fixed locale -----------------------------------------------------------

// The module runs in the host's process and locale, yet reads names, SQL
// words and its own texts the same way in every one: through the C
// library's UTF-8 tables (the plain "C" locale's, ASCII alone, where the
// system lacks them), numbers with a decimal point. Never null.
locale_t STR_FixedLocale();
// One character in upper case in that locale.
wchar_t STR_cFixedUpper(wchar_t c);
// Case-blind order of two texts in that locale (wcscasecmp's); a null text
// is empty.
int STR_nFixedCaseCompare(const wchar_t* a, const wchar_t* b);

// ---- Null-tolerant comparisons ----------------------------------------------

int STR_nNullCompare(const wchar_t* a, const wchar_t* b, unsigned flags);
int STR_nNullNCompare(const wchar_t* a, const wchar_t* b, int n, unsigned flags);
int STR_nEmptyNullCompare(const wchar_t* a, const wchar_t* b, unsigned flags);
// True when s begins with prefix, ignoring case and accents.
bool STR_bDebut(const wchar_t* prefix, const wchar_t* s);

// ---- Host language comparison options ----------------------------------------

// Option byte: 1 trim, 2 ignore punctuation, 4 ignore accents, 8 locale
// order, 16 or 32 ignore case, 64 lower case, 0x80 numeric-aware order.
unsigned OptionTQ2FlagSTR(int option);
int STR_ChaineCompareW(const wchar_t* a, int la, const wchar_t* b, int lb, int option);
int STR_ChaineCompareA(const char* a, int la, const char* b, int lb, int option);
// Writes the text as the options compare it; answers its length.
int STR_PrepareChaineW(int option, const wchar_t* src, int len, wchar_t* dst, int dstSize);
int STR_PrepareChaineA(int option, const char* src, int len, char* dst, int dstSize);

// ---- Numeric-aware comparison ------------------------------------------------

int STR_nCompareRespecteNumeriqueW(const wchar_t* a, int la, const wchar_t* b, int lb, unsigned flags);
int STR_nCompareRespecteNumeriqueA(const char* a, int la, const char* b, int lb, unsigned flags);
// Compares two digit runs as numbers; the first run pair that differs in
// leading zeros stores its tie (-1 when a has more) in *pTie when *pTie is 0.
int __nCompareNumeriqueChaineW(const wchar_t* a, int na, const wchar_t* b, int nb, int* pTie);
int __nCompareNumeriqueChaineA(const char* a, int na, const char* b, int nb, int* pTie);
int nCompareVersionModule(const wchar_t* a, const wchar_t* b);
int nCompareVersionModuleA(const char* a, const char* b);

// ---- Windows-1252 and 7-bit -------------------------------------------------

bool STR_bIsCp1252(wchar_t wc, unsigned char& byte);
bool STR_bIsCp1252(wchar_t wc);
bool STR_bIsCp1252(const wchar_t* text);
unsigned char STR_ToCP1252(wchar_t wc, unsigned char def, int* used = nullptr);
wchar_t STR_FromCP1252(unsigned char c);
int STR_CP1252ToWideChar(const char* src, int len, wchar_t* dst, int dstChars);
bool STR_bIsANSI7(const wchar_t* text);
bool STR_bIsANSI7(const wchar_t* text, int n);
bool STR_bIsANSI7(char c);
char STR_ToAnsi7(wchar_t wc, char def);
wchar_t STR_FromAnsi7(char c, wchar_t def);

// Windows-1252 byte to its unaccented upper-case byte.
extern const unsigned char* const pToNoAccentUpper_Latin1;

// Compares two Windows-1252 texts ignoring case and accents: -1, 0 or 1.
int STR_nCmpLogiqueAnsiFast(const char* a, const char* b);

// ---- Character classes --------------------------------------------------------

bool bEstUnChiffreA(char c);
bool bEstUnChiffreW(wchar_t c);
int nGetChiffre(wchar_t c);
bool bEstUnNombreEntierNaturel(const wchar_t* text);
bool bExtendedASCII(unsigned char c);
bool bMajusculeA(char c);
bool bMajusculeW(wchar_t c);
bool bMinusculeA(char c);
bool bMinusculeW(wchar_t c);
bool bUnprintable(wchar_t c);
bool bPonctuation(wchar_t c);
bool STR_bNeContientRienDeLisibleA(const char* text);
bool STR_bNeContientRienDeLisibleW(const wchar_t* text);
bool STR_bContainSpace(const wchar_t* text);
