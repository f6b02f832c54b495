// Hand-written codecs between wide text (UTF-32), UTF-8, UTF-16 and the code
// pages, plus wide-string copies that accept unaligned memory.
//
// Lengths are counts of the text's own units (bytes for UTF-8 and 8-bit text,
// 16-bit units for UTF-16, 32-bit units for wide text). A signed input length
// of -1 means up to and including the terminator. Anything that cannot be
// encoded or decoded becomes a question mark.
#pragma once

#include <cstddef>
#include <cwchar>

// ---------------------------------------------------------------------------
// UTF-8 reading

// Sequence length by lead byte >> 2: 1 for ASCII, 0 for a continuation byte,
// 2 to 6 for lead bytes (five- and six-byte forms accepted).
extern const unsigned char TabUTF8len[64];

// Sequence length by a looser rule: continuation bytes count as 2, 0xFE and
// 0xFF as 1.
int STR_nGetNbByteUTF8(unsigned char lead);

// The character after the one at p; a broken sequence ends at its first byte
// that is not a continuation byte (a terminator included).
const char* UTF8next(const char* p);
char* UTF8next(char* p);
// Byte length of the character at p.
int UTF8Len(const char* p);
// Characters of a terminated UTF-8 text (0 for a null or empty text).
int UTF8ToWideLen(const char* s);
// Characters of a terminated UTF-8 text: bytes that are not continuation bytes.
int StrLenUTF8(const char* s);
// The same over at most n bytes, stopping earlier at a 0 byte.
int StrNLenUTF8(const char* s, int n);

// Decodes the character at *p and advances *p. A lone continuation byte gives
// '?' (one byte); a 0 byte inside a sequence gives '?' and *p stops on it.
unsigned UTF8_GetNext(const char** p);
// The same within the *left bytes at *p, lowering *left. When the sequence
// does not fit, *left becomes 0, '?' is returned and *p does not move.
unsigned UTF8_GetNext(const char** p, unsigned* left);

// Strict decoding of the first character within len bytes: the character, or
// -1 (len 0) for a null text, len < 1 or a broken sequence; len receives the
// bytes used.
int UTF8FirstChar(const char* s, int& len);
// Well-formed UTF-8 within len bytes (-1: up to the terminator); a 0 byte ends
// the text. Overlong forms and encoded surrogates are accepted.
bool UTF8Valide(const char* s, int len);

// ---------------------------------------------------------------------------
// UTF-8 writing and lengths

// Bytes needed for the wide text, without terminator.
int UTF8ByteLen(const wchar_t* wide);
// Bytes needed for the first n characters, plus 1 when the terminator comes
// before n characters; 0 when n < 1.
int UTF8ByteLenTotal(const wchar_t* wide, int n);
// Bytes including the terminator, as the code page converter counts them.
int nGetUTF8Len(const wchar_t* wide);
// Encodes the whole text and a terminator; dst must be large enough.
void WideToUTF8(char* dst, const wchar_t* wide);
// Encodes while the next sequence and a terminator fit in size bytes, then
// terminates.
void WideToUTF8(char* dst, int size, const wchar_t* wide);
// Encodes len characters (-1: with terminator) while each fits in what remains
// of size; returns the bytes written. Adds no terminator of its own.
int nWideToUTF8(char* dst, int size, const wchar_t* wide, int len);
// Decodes while the source has a non-0 byte and 2 places remain, then
// terminates; size 0 writes nothing.
void UTF8ToWide(wchar_t* dst, int size, const char* utf8);
// Decodes len bytes (-1: with terminator) into at most size characters;
// returns the characters written.
int nUTF8ToWide(wchar_t* dst, int size, const char* utf8, int len);
// 16-bit units for len bytes of UTF-8 (-1: with terminator).
int UTF8ToUTF16Len(const char* utf8, int len);
// Converts len bytes (-1: with terminator) into at most size units, forming
// surrogate pairs; no terminator added. Returns the units written.
int UTF8ToUTF16(unsigned short* dst, int size, const char* utf8, int len);

// ---------------------------------------------------------------------------
// UTF-16 and UTF-32

int utf16len(const unsigned short* s);
int utf16nlen(const unsigned short* s, int n);
// Copies units up to the terminator or n units; no terminator, no padding.
unsigned short* utf16ncpy(unsigned short* dst, const unsigned short* src, int n);
// Case-insensitive comparison of at most n units (towlower).
int utf16nicmp(const unsigned short* a, const unsigned short* b, int n);
// Case-insensitive search of needle within the first n units of hay.
const unsigned short* utf16niutf16(const unsigned short* hay, const unsigned short* needle, int n);

// Unit-by-unit copies, no surrogate pairs formed or combined. len -1 means the
// units and the terminator; size 0 (or no dst) asks for the count; otherwise
// min(len, size) units are copied and counted.
int UTF16ToWideChar(const unsigned short* src, int len, wchar_t* dst, int size);
int WideCharToUTF16(const wchar_t* src, int len, unsigned short* dst, int size);
int UTF32ToWideChar(const wchar_t* src, int len, wchar_t* dst, int size);
int WideCharToUTF32(const wchar_t* src, int len, wchar_t* dst, int size);

// ---------------------------------------------------------------------------
// Code page bridges. Results are bytes (or units) written, 0 on failure; the
// rest of an 8-bit destination is zero-filled when room remains.

int MultiByteToUTF8(unsigned codePage, const char* src, int srcLen, char* dst, int dstSize,
                    unsigned flags);
int MultiByteToUTF8_CurrentCharset(const char* src, int srcLen, char* dst, int dstSize,
                                   unsigned flags);
int UTF8ToMultiByte(unsigned codePage, const char* src, int srcLen, char* dst, int dstSize,
                    unsigned flags, const char* defaultChar, int* usedDefault);
int UTF8ToMultiByte_CurrentCharset(const char* src, int srcLen, char* dst, int dstSize,
                                   unsigned flags);
int UTF16ToMultiByte(unsigned codePage, unsigned flags, const unsigned short* src, int srcLen,
                     char* dst, int dstSize, const char* defaultChar, int* usedDefault);
int MultiByteToUTF16(unsigned codePage, unsigned flags, const char* src, int srcLen,
                     unsigned short* dst, int dstUnits);
int MultiByteToUTF16_CurrentCharset(const char* src, int srcLen, unsigned short* dst,
                                    int dstUnits, unsigned flags);

// ---------------------------------------------------------------------------
// 8-bit copies without code page: at most size - 1 characters, always
// terminated; size 0 writes nothing.

void WideCharToANSI(char* dst, int size, const wchar_t* wide);
void ANSIToWideChar(wchar_t* dst, int size, const char* text);

// ---------------------------------------------------------------------------
// UTF-16 in byte buffers (host byte order, any alignment)

// Units before the first 0 unit within nUnits (0 for a null buffer).
unsigned int UTF16LELength(const unsigned char* p, unsigned int nUnits);
// Decodes nUnits units (surrogate pairs combined, a lone surrogate kept) into
// pDest, which holds nUnits characters; answers the characters written.
unsigned int UTF16LEToWide(const unsigned char* p, unsigned int nUnits, wchar_t* pDest);
// Encodes nChars characters while they fit in nMaxUnits units (a pair only
// as a whole); no terminator; answers the units written.
unsigned int WideToUTF16LE(const wchar_t* p, unsigned int nChars, unsigned char* pDest, unsigned int nMaxUnits);

// ---------------------------------------------------------------------------
// Wide copies whose pointers may be unaligned (text inside byte buffers):
// wcslen, wcscpy and wcsncpy.

std::size_t __UNALIGNED__UNICODE__STRLEN__(const wchar_t* p);
wchar_t* __UNALIGNED__UNICODE__STRCPY__(wchar_t* dst, const wchar_t* src);
wchar_t* __UNALIGNED__UNICODE__STRNCPY__(wchar_t* dst, const wchar_t* src, std::size_t n);
