// Rewriting of texts bound for SQL string literals and LIKE patterns: quotes
// doubled or backslash-escaped, the wildcards "%" and "_" protected by an
// escape character, doubled escape characters kept apart from single ones;
// and the in-place removal of such escapes. Every function has an 8-bit and
// a wide form with the same behaviour. Allocated results come from the C heap
// (free them with free); a null source reads as the empty text.
#pragma once

// Writes the escaped form of src into dst, which must hold 2 x length + 1
// characters. The eight switches are on when non-zero:
// - bQuote: a quote is written after cQuoteEscape;
// - bBackSlash: a backslash that is not cEscape is doubled;
// - bDoubleEscape: a lone cEscape is doubled;
// - bPercent / bUnderscore: "%" / "_" get cEscape before them;
// - bKeepPercent / bKeepUnderscore: an escaped "%" / "_" stays escaped
//   (cEscape doubled when bDoubleEscape, and escaped again when bPercent /
//   bUnderscore);
// - bQuadrupleEscape: with bDoubleEscape, a pair of cEscape becomes four.
void Escape(const char* pszSrc, char* pszDst, int bQuote, int bBackSlash, int bDoubleEscape, int bPercent,
            int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape, char cQuoteEscape,
            char cEscape);
void Escape(const wchar_t* pszSrc, wchar_t* pszDst, int bQuote, int bBackSlash, int bDoubleEscape,
            int bPercent, int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape,
            wchar_t cQuoteEscape, wchar_t cEscape);

// Escape into a new text; null when memory runs out.
char* pszEscape(const char* pszSrc, int bQuote, int bBackSlash, int bDoubleEscape, int bPercent,
                int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape, char cQuoteEscape,
                char cEscape);
wchar_t* pszEscape(const wchar_t* pszSrc, int bQuote, int bBackSlash, int bDoubleEscape, int bPercent,
                   int bUnderscore, int bKeepPercent, int bKeepUnderscore, int bQuadrupleEscape,
                   wchar_t cQuoteEscape, wchar_t cEscape);
// The LIKE value form: only the lone escape characters doubled
// (pszEscape(src, 0, 0, 1, 0, 0, 0, 0, 0, cQuote, cEscape)).
char* pszEscape(const char* pszSrc, char cEscape, char cQuote = '\'');
wchar_t* pszEscape(const wchar_t* pszSrc, wchar_t cEscape, wchar_t cQuote = L'\'');

// Rewrites escaped wildcards: cEscape "%" becomes pszPercentBefore,
// pszPercent and pszPercentAfter; cEscape "_" the three underscore texts; a
// pair of cEscape one cEscape; anything else is copied. dst must hold
// length + (length / 2) x (the longer of the two triples) + 1 characters.
// Null replacement texts read as empty.
void ChangeEscape(const char* pszSrc, char* pszDst, const char* pszPercent, const char* pszPercentBefore,
                  const char* pszPercentAfter, const char* pszUnderscore, const char* pszUnderscoreBefore,
                  const char* pszUnderscoreAfter, char cEscape);
void ChangeEscape(const wchar_t* pszSrc, wchar_t* pszDst, const wchar_t* pszPercent,
                  const wchar_t* pszPercentBefore, const wchar_t* pszPercentAfter, const wchar_t* pszUnderscore,
                  const wchar_t* pszUnderscoreBefore, const wchar_t* pszUnderscoreAfter, wchar_t cEscape);
// ChangeEscape into a new text; null when memory runs out.
char* pszChangeEscape(const char* pszSrc, const char* pszPercent, const char* pszPercentBefore,
                      const char* pszPercentAfter, const char* pszUnderscore, const char* pszUnderscoreBefore,
                      const char* pszUnderscoreAfter, char cEscape);
wchar_t* pszChangeEscape(const wchar_t* pszSrc, const wchar_t* pszPercent, const wchar_t* pszPercentBefore,
                         const wchar_t* pszPercentAfter, const wchar_t* pszUnderscore,
                         const wchar_t* pszUnderscoreBefore, const wchar_t* pszUnderscoreAfter,
                         wchar_t cEscape);
// The same with the escape character first.
wchar_t* pszChangeEscape(const wchar_t* pszSrc, wchar_t cEscape, const wchar_t* pszPercent,
                         const wchar_t* pszPercentBefore, const wchar_t* pszPercentAfter,
                         const wchar_t* pszUnderscore, const wchar_t* pszUnderscoreBefore,
                         const wchar_t* pszUnderscoreAfter);

// In place. PurgeQuote un-doubles quotes (and, with bBackSlash, drops the
// backslash of \'); a text of exactly two quotes is left alone.
void PurgeQuote(char* psz, int bBackSlash = 1);
void PurgeQuote(wchar_t* psz, int bBackSlash = 1);
// Drops a cEscape that stands before "%", "_" or another cEscape.
void PurgeEscape(char* psz, char cEscape);
void PurgeEscape(wchar_t* psz, wchar_t cEscape);
// Turns each pair of cEscape into one.
void PurgeEscapeEscape(char* psz, char cEscape);
void PurgeEscapeEscape(wchar_t* psz, wchar_t cEscape);
// Backslash escapes of a default value read from the database.
void PurgeEscapeBackSlash(char* psz);
void PurgeEscapeBackSlash(wchar_t* psz);

// A LIKE pattern made fit for a MySQL string literal: quotes written \',
// a lone escape character doubled, and, when the escape character is not the
// backslash, every backslash doubled. Exported for the host runtime; null
// when memory runs out. The 8-bit form takes the escape character's
// Windows-1252 byte.
__attribute__((visibility("default"))) char* pszVerrueEscapeMySQL(const char* pszPattern, wchar_t cEscape);
__attribute__((visibility("default"))) wchar_t* pszVerrueEscapeMySQL(const wchar_t* pszPattern, wchar_t cEscape);
