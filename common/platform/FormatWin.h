// Windows-rule wide formatting on top of the C library. In a wide format
// "%s" and "%c" take wide text and characters, "%S", "%hs", "%C" and "%hc"
// 8-bit ones (read as Windows-1252, whatever the process locale); "%ls" and
// "%lc" stay wide. Everything else is the C library's printf syntax, with
// the Windows integer lengths "I64", "I32" and "I" besides.
// Also the two FormatMessage emulations: printf-style (FormatMessageW) and
// numbered inserts (FormatMessageWin).
#pragma once

#include <cstdarg>
#include <cstddef>

#include "common/text/FormatDirective.h"

// Characters needed by the C-library form of a Windows-rule format,
// terminator included; 0 for a null format.
int _nCalculeTailleChaineFormattageUnix(const wchar_t* format);
// Writes the C-library form of format into out (size characters, always
// terminated when size > 0). A null format writes nothing.
void _ConvertFormatWindowsToUnix(const wchar_t* format, wchar_t* out, int size);

// As vswprintf with Windows rules: n is the buffer size in characters,
// terminator included. Result: characters written, or -1 (text cut:
// errno 0; invalid format: EINVAL; character that cannot be written:
// EILSEQ).
int vsnwprintfWin(wchar_t* buffer, size_t n, const wchar_t* format, va_list args);
// Bounded at 10,000,000 characters: only for buffers known to be that large.
int vswprintfWin(wchar_t* buffer, const wchar_t* format, va_list args);
int snwprintfWin(wchar_t* buffer, size_t n, const wchar_t* format, ...);
int swprintfWin(wchar_t* buffer, const wchar_t* format, ...);

// Bounded forms: buffer holds n + 1 characters and buffer[n] is always 0.
// Result: the formatted length when it is at most n, else -1.
int vsznwprintf(wchar_t* buffer, unsigned n, const wchar_t* format, va_list args);
int vsznwprintfWin(wchar_t* buffer, unsigned n, const wchar_t* format, va_list args);
int sznwprintf(wchar_t* buffer, unsigned n, const wchar_t* format, ...);
int sznwprintfWin(wchar_t* buffer, unsigned n, const wchar_t* format, ...);

// Formats into a malloc'ed block grown as needed. *ppsz must be null or a
// heap block; it receives the block. Result: the length; when an argument
// cannot be written the block holds the format text itself and its length
// is returned; -1 (and a null block) on other failures.
int vaswprintf(wchar_t** ppsz, const wchar_t* format, va_list args);

// FormatMessage emulations. Flags: 0x100 allocate (buffer is then a
// wchar_t** / char** receiving a malloc'ed block), 0x200 ignore inserts,
// 0x400 source is a text, 0x800 source is a module (refused), 0x1000
// system error text, 0x2000 arguments are an array of 32-bit values, low
// byte the line width (0xFF: no wrapping). args points at the va_list (or
// is the array in 0x2000 mode); null means no arguments.
//
// printf-style: the source text is a Windows-rule format; ids, 0x200,
// 0x2000 and the line width are not read. Result: length, 0 on failure.
unsigned FormatMessageW(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                        wchar_t* buffer, unsigned size, char** args);
// 8-bit twin with the C library's own printf rules.
unsigned FormatMessageA(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                        char* buffer, unsigned size, char** args);
// Numbered inserts ("%1", "%2!d!", "%n" ...). Result: length without the
// terminator, 0 on failure with errno set (22 invalid, 75 does not fit,
// 0xC0000017 no memory).
unsigned FormatMessageWin(unsigned flags, const void* source, unsigned messageId, unsigned languageId,
                          wchar_t* buffer, unsigned size, char** args);
// The insert engine: writes into out, which holds outBytes / 4 characters
// (the last unit kept for the terminator); *pnLength receives the length
// with the terminator. lineWidth: 0 keeps line breaks, -1 never wraps.
// Returns 0, 22 (invalid) or 75 (does not fit).
int __FormatMessageWin(const wchar_t* source, int lineWidth, bool ignoreInserts, bool arrayArgs, char** args,
                       wchar_t* out, unsigned outBytes, unsigned* pnLength);
