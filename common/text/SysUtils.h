// Platform-neutral stand-ins for Windows and compiler-specific services:
// number/text conversions in any radix, bounded 8-bit formatting, byte
// search, hexadecimal parsing, allocation wrappers and the (empty)
// allocation dump entries.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

// Numbers to text. Radix 2 to 36, digits "0"-"9" then "a"-"z"; dst must
// hold the digits, the sign and the terminator (65 characters for an
// unsigned 64-bit value in radix 2, 66 for a negative one). Each returns dst. A radix outside 2..36 writes an empty
// text.
wchar_t* _ui64towVmr(unsigned long long value, wchar_t* dst, int radix);
wchar_t* ui64tow(unsigned long long value, wchar_t* dst, int radix);
wchar_t* _i64towVmr(long long value, wchar_t* dst, int radix);
wchar_t* i64tow(long long value, wchar_t* dst, int radix);
char* _ui64toaVmr(unsigned long long value, char* dst, int radix);
char* ui64toa(unsigned long long value, char* dst, int radix);
char* _i64toaVmr(long long value, char* dst, int radix);
char* i64toa(long long value, char* dst, int radix);
wchar_t* ultow(unsigned long value, wchar_t* dst, int radix);
wchar_t* ltow(long value, wchar_t* dst, int radix);
wchar_t* itow(int value, wchar_t* dst, int radix);
char* ultoa(unsigned long value, char* dst, int radix);
char* ltoa(long value, char* dst, int radix);
char* itoa(int value, char* dst, int radix);

// Wide text to numbers: at most 99 characters are converted to
// Windows-1252 and read by atoll / atof. A null text gives 0.
long long _wtoi64Vmr(const wchar_t* text);
double wtof(const wchar_t* text);
// gcvt into dst (wide); dst must hold the text (at most 17 significant
// digits, sign, point and exponent: 32 characters are always enough).
wchar_t* _wgcvt(double value, int digits, wchar_t* dst);

// Leading hexadecimal digits of text; count receives how many were read.
unsigned long long nGetEntierHexa(const wchar_t* text, int& count);

// Bounded formatting: dst holds max + 1 characters and dst[max] is always
// 0. Result: the formatted length when it is at most max, else -1.
int vsznprintf(char* dst, unsigned max, const char* format, va_list args);
int sznprintf(char* dst, unsigned max, const char* format, ...) __attribute__((format(printf, 3, 4)));

// First occurrence of the m-byte needle in the n-byte hay, or null.
void* xmemmem(const void* hay, std::size_t n, const void* needle, std::size_t m);

// Allocation wrappers on the C heap: every C-heap block of the module is
// taken, grown and given back through them. A failed allocation answers
// null and a failed resize leaves the block as it was.
void* XMALLOC_pNew_(std::size_t size);
void* XMALLOC_pNewZero_(std::size_t count, std::size_t size);
void XMALLOC_Del_(void* p);
void* XMALLOC_pResize_(void* p, std::size_t size);

// Failure seam for the tests: after nSucceed more allocations (new, zeroed
// or resized) every one fails until the next call; -1 lets them all
// succeed. Answers the allocations left before the call (-1: no limit).
int XMALLOC_nFailAfter(int nSucceed);

// Allocation dump entries: nothing is tracked in this system.
class IDumper;
void Alloc_DumpConsommationTotale(IDumper* dumper, const wchar_t* title, int flags);
int Alloc_bDump(FILE* file, int flags);
int Alloc_bMarque();
int Alloc_nTailleTotale();
