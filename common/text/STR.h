// Plain C-string routines over NUL-terminated 8-bit and wide text.
// Buffer sizes count characters (bytes or 32-bit units) including the
// terminator; lengths count characters without it; a length of -1 means up
// to the terminator. Allocated strings come from the C heap: free them with
// STR_DeleteW, STR_DeleteA or STR_Delete. Allocation failures answer null.
#pragma once

#include "common/text/SysUtils.h"

#include <cstdarg>
#include <cstddef>
#include <cstdlib>

// Where STR_Ellipsis puts the "...".
enum eELLIPSISPOSITION {
    ELLIPSIS_END = 0,
    ELLIPSIS_MIDDLE = 1,
    ELLIPSIS_START = 2,
};

// ---------------------------------------------------------------------------
// Lengths and simple scans.

// Length of s, at most max; 0 for a null or empty s or a max below 1.
int STR_nLenA(const char* s, int max);
int STR_nLenW(const wchar_t* s, int max);
int STR_nLen(const wchar_t* s, int max);
std::size_t xstrnlen(const char* s, std::size_t max);
std::size_t xwcsnlen(const wchar_t* s, std::size_t max);

// Last c at or before index start (start is bounded by the length, so the
// scan never passes the terminator); null for start < 0 or none.
char* strrchr(const char* s, int start, int c);
wchar_t* wcsrchr(const wchar_t* s, int start, wchar_t c);
// Last character of s that occurs in set.
wchar_t* STRRPBRK(const wchar_t* s, const wchar_t* set);
wchar_t* wcsset(wchar_t* s, wchar_t c);
wchar_t* wcsnset(wchar_t* s, wchar_t c, std::size_t n);

// ---------------------------------------------------------------------------
// Bounded copies: characters placed, without the terminator. Nothing is
// ever written at or beyond dst + size.

int STR_nCopyW(wchar_t* dst, unsigned size, const wchar_t* src, int len);
int STR_nCopy(wchar_t* dst, unsigned size, const wchar_t* src, int len);
int STR_nCopyA(char* dst, unsigned size, const char* src, int len);
// Appends at the end of dst; a dst not terminated within size is left as it
// is (result 0).
int STR_nCatW(wchar_t* dst, unsigned size, const wchar_t* src, int len);
int STR_nCat(wchar_t* dst, unsigned size, const wchar_t* src, int len);
int STR_nCatA(char* dst, unsigned size, const char* src, int len);
int STR_nCut(wchar_t* dst, unsigned size, const wchar_t* src);
int STR_nCut(char* dst, unsigned size, const char* src);
int STR_nCatCut(wchar_t* dst, unsigned size, const wchar_t* src);

// ---------------------------------------------------------------------------
// Allocation. A negative count gives null; a null source counts as empty
// except for the plain copies, where it gives null.

wchar_t* STR_pszCreateW(int n);
wchar_t* STR_pszCreate(int n);
char* STR_pszCreateA(int n);
wchar_t* STR_pszCreateW(const wchar_t* src);
wchar_t* STR_pszCreate(const wchar_t* src);
char* STR_pszCreateA(const char* src);
// The first n characters of src, zero-padded, terminated at n.
wchar_t* STR_pszCreateW(int n, const wchar_t* src);
wchar_t* STR_pszCreate(int n, const wchar_t* src);
char* STR_pszCreateA(int n, const char* src);
wchar_t* STR_pszCreateW(const wchar_t* a, const wchar_t* b);
char* STR_pszCreateA(const char* a, const char* b);
wchar_t* STR_pszConcat(const wchar_t* a, const wchar_t* b, const wchar_t* c);
wchar_t* STR_pszConcatPoint(const wchar_t* a, const wchar_t* b);
// src may lie at any byte address.
wchar_t* STR_pszCreateW_UNALIGNED(const wchar_t* src);
wchar_t* STR_pszCreateW_UNALIGNED(int n, const wchar_t* src);

void STR_DeleteW(wchar_t* p);
void STR_DeleteA(char* p);
void STR_Delete(void* p);

// Replaces *p by a copy of src (src may be *p itself); true when the copy
// was made.
bool STR_bRedefine(wchar_t** p, const wchar_t* src);
// Reallocates *p to n characters (the terminator is among them; n 0 keeps
// one); on failure *p is kept and the result is
// false.
bool STR_bResizeW(wchar_t** p, int n);
bool STR_bResizeA(char** p, int n);
// Every occurrence of find replaced by repl, left to right; null when text
// or find is empty.
wchar_t* STR_RemplaceW(const wchar_t* text, const wchar_t* find, const wchar_t* repl);

template <typename T>
T* STRG_pszCreate(int n)
{
    if (n < 0 || static_cast<std::size_t>(n) >= static_cast<std::size_t>(-1) / sizeof(T))
        return nullptr;
    return static_cast<T*>(XMALLOC_pNew_((static_cast<std::size_t>(n) + 1) * sizeof(T)));
}

// ---------------------------------------------------------------------------
// Trims and padding, in place; null or empty texts are left alone.

void STR_SuppressAllSpacesW(wchar_t* s);
void STR_SuppressAllSpacesA(char* s);
void STR_SuppressLeftSpaces(wchar_t* s);
void STR_SuppressLeftSpaces(char* s);
void STR_SuppressRightSpaces(wchar_t* s);
void STR_SuppressRightSpaces(char* s);
void STR_SuppressSideSpaces(wchar_t* s);
void STR_SuppressSideSpaces(char* s);
void STR_SuppressLeftCar(wchar_t* s, wchar_t c);
void STR_SuppressLeftCar(char* s, char c);
void STR_SuppressRightCar(wchar_t* s, wchar_t c);
void STR_SuppressRightCar(char* s, char c);
void STR_SuppressSideCar(wchar_t* s, wchar_t c);
// Pads s with c up to size - 1 characters (cutting a longer s) and puts the
// terminator at size - 1; nothing for size 0.
void STR_Complete(wchar_t* s, unsigned size, wchar_t c);
void STR_Complete(char* s, unsigned size, char c);
// Shortens src to max characters with "..." at the given place; dst must
// hold max + 1 characters. Nothing is written for max <= 2.
void STR_Ellipsis(wchar_t* dst, const wchar_t* src, unsigned max, eELLIPSISPOSITION position);

// ---------------------------------------------------------------------------
// Searches: a pointer into the searched text, or null.

// First occurrence lying wholly within the first n characters of hay.
wchar_t* STR_pszStrnstr(const wchar_t* hay, const wchar_t* needle, int n);
char* STR_strnstrA(const char* hay, const char* needle, int n);
char* STR_strnistrA(const char* hay, const char* needle, int n);
wchar_t* STR_StrIStr(const wchar_t* hay, const wchar_t* needle);
// Compares upper-case images (host locale mapping); null also when memory
// for the images is missing.
wchar_t* STR_pszUpStrstr(const wchar_t* hay, const wchar_t* needle);
// Last occurrence beginning at or before index start.
char* STRRSTRA(const char* s, int start, const char* needle);
wchar_t* STRRSTRW(const wchar_t* s, int start, const wchar_t* needle);
wchar_t* STRRSTR(const wchar_t* s, int start, const wchar_t* needle);

// Rich text: begins with "{\rtf1" or "{\rtf{" in any case.
bool bEstDuTexteRTF(const char* text);
bool bEstDuTexteRTF(const wchar_t* text);
bool bEstDuTexteRTFW(const wchar_t* text);

// ---------------------------------------------------------------------------
// Characters enough for what the format produces with args (without the
// terminator). The caller's list is left untouched. 8-bit: C library rules
// ("s" 8-bit, "S" wide); wide: Windows rules ("s" wide, "S" 8-bit). Both
// read "I64" and "I32" as integer lengths and follow positional arguments
// ("%2$s"); a format the formatter refuses counts its own length.
template <typename T>
int STRG_nCalculeLongueurPrintf(const T* format, va_list args);
template <>
int STRG_nCalculeLongueurPrintf<char>(const char* format, va_list args);
template <>
int STRG_nCalculeLongueurPrintf<wchar_t>(const wchar_t* format, va_list args);
