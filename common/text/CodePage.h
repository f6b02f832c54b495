// Code pages, character sets and conversion between 8-bit and wide text.
// The Windows vocabulary is kept (code page, charset and language numbers,
// the MultiByteToWideChar family); the work is done by a table for
// Windows-1252 and by the C library's iconv for every other page.
#pragma once

#include "common/text/TextBasics.h"

#include <cstdint>
#include <cwchar>

class IInfoLocale;

// Conversion options of the host-language value layer; only the code page
// is written here.
struct STOCAW {
    uint32_t nCodePage;
};

// Windows-named conversions. Lengths of -1 mean up to and including the
// terminator; of the flags only 8 (reject invalid input) is read. Without a destination (or with size 0) they answer the size
// needed; 0 always means failure.
int MultiByteToWideChar(unsigned codePage, unsigned flags, const char* src, int srcLen, wchar_t* dst,
                        int dstChars);
int WideCharToMultiByte(unsigned codePage, unsigned flags, const wchar_t* src, int srcChars, char* dst,
                        int dstBytes, const char* defaultChar, int* usedDefault);
int MultiByteToMultiByte(unsigned fromPage, const char* src, int srcLen, unsigned toPage, char* dst,
                         int dstBytes, unsigned flags);
const char* CodePageToIConv(unsigned codePage);

// Code page, charset and language tables.
unsigned dwGetCodePageFromCharset(int charset);
int nGetCharsetFromCodePage(unsigned codePage);
unsigned short wGetLanguageID(int charset);
int nGetCharsetFromLanguage(unsigned languageId);
int GetCharSetFromLanguageID(unsigned languageId);

// Allocating conversions: 1 on success with a malloc'ed, terminated result
// (free it with free) and its count; 0 on failure with a null result and a
// count of 0. With a length of -1 the count includes the terminator.
int __STR_CharToWChar(const char* src, int len, unsigned codePage, wchar_t** out, int* outLen,
                      unsigned flags);
int __STR_WCharToChar(const wchar_t* src, int len, char** out, int* outLen, unsigned codePage);
int STR_CharToWChar_AnyCodepage(const char* src, int len, unsigned codePage, wchar_t** out, int* outLen,
                                unsigned flags);
int STR_CharToWChar_CurrentCharset(wchar_t** out, const char* src, unsigned flags, int len);
int STR_CharToWChar(wchar_t** out, const char* src);
int STR_WCharToChar_AnyCodepage(const wchar_t* src, int len, char** out, int* outLen, unsigned codePage);
int STR_WCharToChar_CurrentCharset(char** out, const wchar_t* src, int len);
int STR_CharToChar_AnyCodepage(const char* src, int len, unsigned fromPage, char** out, int* outLen,
                               unsigned toPage);

// One character; 0 when the conversion gives nothing.
wchar_t STR_CharToWChar(char c, unsigned flags, unsigned codePage);
wchar_t STR_CharToWChar_CurrentCharset(char c, unsigned flags);
int STR_WCharToAChar(wchar_t wc, unsigned flags, unsigned codePage);

// Copies for the host-language layer (malloc'ed, freed with free).
char* pszXSTR2CSTR(const wchar_t* src, int len);
wchar_t* pszCSTR2XSTR(const char* src, int len, unsigned codePage = CP_1252);
wchar_t* pszWSTR2XSTR(const wchar_t* src, int n);
wchar_t* pszXSTR2WSTR(const wchar_t* src, int n);

// Whether wide text survives a round trip through a code page.
bool bAnsiCompatible(const wchar_t* text, unsigned codePage);
int bLatin1(const wchar_t* text);

// Host text pseudo-types: store their code page in the options and answer
// the type to convert with.
unsigned short PrepareConversionAnsiUnicode(unsigned short type, unsigned& flags, STOCAW& options,
                                            bool toWide, int markFlag);
int PrepareConversionUnicodeAnsi(unsigned short type, STOCAW& options);

// Current settings from the host locale service.
IInfoLocale* STR_piGetInfoLocale();
int STR_nGetCurrentChangeCharset();
int STR_nGetCurrentChangeCharsetInterne();
unsigned STR_nGetCurrentCodePage();
unsigned STR_nGetCurrentLCID();
unsigned STR_nGetSafeCurrentLCID();

// Locale service mappings in the language of a charset.
int STR_MapStringSortEx_Charset(int charset, unsigned char* dst, int dstSize, const wchar_t* src,
                                int srcLen);
int STR_nMapStringEx_Charset(int charset, unsigned flags, char* dst, int dstSize, const char* src,
                             int srcLen);
int STR_nMapStringEx_Charset(int charset, unsigned flags, wchar_t* dst, int dstSize, const wchar_t* src,
                             int srcLen);

// Sets the C library's locale for the charsets that need one.
void ChangeLocale(int charset);
