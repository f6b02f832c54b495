// Whether the session runs a query text as one statement: the SQL interface
// hands back the first result of a text only, so the command-line host
// takes one statement per --sql, read just before it runs as its session
// reads it then.
#pragma once

#include <cstddef>
#include <string>

// What the session reads a text by, as the server reports it.
struct STSessionReading {
    // VERSION(): "10.11.6-MariaDB-0+deb12u1", "8.0.36".
    std::string strVersion;
    // @@SESSION.sql_mode, @@SESSION.character_set_client and
    // @@SESSION.character_set_connection, the set a text's characters are
    // kept in.
    std::string strSQLMode;
    std::string strClientCharset;
    std::string strConnectionCharset;
};

// The query that asks the server for them, in that order, as bytes (what
// character_set_results says cannot change them); it changes nothing on
// the session but what ROW_COUNT() and FOUND_ROWS() report next.
extern const char kSessionReadingQuery[];

// True when any session runs the text, UTF-8 as zthost sends it, as one
// statement, and reads it the same: no ';' but those that end it, and
// ASCII alone but the bytes some client character set reads otherwise
// (DEL, and in swe7 "@[\]^`{|}~", which it reads as letters). Such a text
// is sent without asking the session.
bool bOneStatementInAnySession(const std::string& strSQL);

// Empty when the session runs the text as one statement; otherwise why it
// is not sent. A ';' ends a statement unless it is inside a compound
// statement (BEGIN NOT ATOMIC, IF, CASE, WHILE, LOOP, REPEAT, FOR, a
// routine's, a trigger's or an event's body): only where a statement starts
// does a keyword open or close one, so a keyword used as a name opens or
// closes nothing. A text whose compound statements do not read through is
// one statement only when no ';' is followed by more than ';'. Quotes,
// comments and versioned code ("/*!50001", "/*M!100100") are read as the
// server's kind and version read them, in the session's sql_mode; a text is
// refused where the reader does not know how the session reads it (sql_mode
// ORACLE), a text that is not well-formed UTF-8, and a text holding a
// character that the session's client character set would read otherwise
// than UTF-8 does (beyond ASCII in all but UTF-8's and binary; in swe7
// "@[\]^`{|}~" and DEL), or that its connection's set would not keep:
// zthost writes UTF-8 only. Such a refusal names the first such character
// and what the set reads it as.
std::string StatementTextRefusal(const std::string& strSQL, const STSessionReading& stSession);

// Empty when the text is well-formed UTF-8; otherwise why zthost sends none
// of it, naming its first byte that starts no well-formed character by its
// value ("\xFF"): the session would read such a byte as another character.
std::string IllFormedUtf8(const std::string& str);

// The character a UTF-8 text's byte at n starts and its length in bytes; a
// byte that starts no well-formed sequence (one cut short, an overlong form,
// a surrogate, a code past U+10FFFF) stands for itself, one byte long.
unsigned long nUtf8CharacterAt(const std::string& s, size_t n, size_t* pnLength);
