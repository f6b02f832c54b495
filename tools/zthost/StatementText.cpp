#include "tools/zthost/StatementText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Its row whatever sql_select_limit says.
const char kSessionReadingQuery[] = "SELECT CAST(VERSION() AS BINARY), CAST(@@SESSION.sql_mode AS BINARY), "
                                    "CAST(@@SESSION.character_set_client AS BINARY), "
                                    "CAST(@@SESSION.character_set_connection AS BINARY) LIMIT 1";

namespace {

// How the session reads quotes, comments and versioned code.
struct STReading {
    bool bMariaDB = false;
    // The server's version as a versioned comment writes it (101106).
    unsigned long nVersion = 0;
    bool bBackslashEscapes = true;
    bool bAnsiQuotes = false;
    // sql_mode MSSQL on MariaDB: [ ] quote names.
    bool bBrackets = false;
};

// The sql_mode flags that move no end of a quote, a comment or a statement
// (each tried on MariaDB, or named by MySQL's manual for its time
// rounding); the flags of ANSI, DB2, MAXDB, POSTGRESQL and MSSQL are listed
// apart in the mode.
const char* const kModesReadAsDefault[] = {
    "REAL_AS_FLOAT", "PIPES_AS_CONCAT", "IGNORE_SPACE", "IGNORE_BAD_TABLE_OPTIONS", "ONLY_FULL_GROUP_BY",
    "NO_UNSIGNED_SUBTRACTION", "NO_DIR_IN_CREATE", "POSTGRESQL", "DB2", "MAXDB", "NO_KEY_OPTIONS", "NO_TABLE_OPTIONS",
    "NO_FIELD_OPTIONS", "MYSQL323", "MYSQL40", "ANSI", "NO_AUTO_VALUE_ON_ZERO", "STRICT_TRANS_TABLES",
    "STRICT_ALL_TABLES", "NO_ZERO_IN_DATE", "NO_ZERO_DATE", "ALLOW_INVALID_DATES", "ERROR_FOR_DIVISION_BY_ZERO",
    "TRADITIONAL", "NO_AUTO_CREATE_USER", "HIGH_NOT_PRECEDENCE", "NO_ENGINE_SUBSTITUTION", "PAD_CHAR_TO_FULL_LENGTH",
    "EMPTY_STRING_IS_NULL", "SIMULTANEOUS_ASSIGNMENT", "TIME_ROUND_FRACTIONAL", "TIME_TRUNCATE_FRACTIONAL",
};

// The client character sets that read zthost's UTF-8 as the characters it
// writes; MySQL's manual names no other that reads it as UTF-8 goes.
const char* const kUtf8Charsets[] = {"utf8mb4", "utf8mb3", "utf8"};
// The character sets that keep every character as the connection's set;
// none of them can be a client's.
const char* const kUnicodeCharsets[] = {"ucs2", "utf16", "utf16le", "utf32"};

// The client character sets MariaDB offers. Each reads every ASCII byte as
// UTF-8 does, but those listed below: the same character, and the same to
// the server's reader of statements (a blank, a letter, a control
// character after "--", a quote or a backslash). Beyond ASCII, each but
// UTF-8's and binary reads other characters than zthost writes.
const char* const kMariaDBCharsets[] = {
    "utf8mb4", "utf8mb3", "utf8", "binary", "armscii8", "ascii", "big5", "cp1250", "cp1251", "cp1256", "cp1257",
    "cp850", "cp852", "cp866", "cp932", "dec8", "eucjpms", "euckr", "gb2312", "gbk", "geostd8", "greek", "hebrew",
    "hp8", "keybcs2", "koi8r", "koi8u", "latin1", "latin2", "latin5", "latin7", "macce", "macroman", "sjis", "swe7",
    "tis620", "ujis",
};

// The ASCII bytes a client character set of MariaDB's reads otherwise than
// UTF-8 does, as the server answers for each: the character the set takes
// it for (in UTF-8; "" for none), or null where the character is the same
// but DEL is no control character, so that "--" before it starts no
// comment. A set that takes a byte for another character has no byte for
// the ASCII character itself either: as the connection's set, it keeps
// "?" for it.
const char kNoControl[] = "DEL is no control character, so that \"--\" before it starts no comment";
const struct {
    const char* pszCharset;
    char c;
    const char* pszAs;
} kAsciiOtherwise[] = {
    {"swe7", '@', "\xC3\x89"}, {"swe7", '[', "\xC3\x84"}, {"swe7", '\\', "\xC3\x96"}, {"swe7", ']', "\xC3\x85"},
    {"swe7", '^', "\xC3\x9C"}, {"swe7", '`', "\xC3\xA9"}, {"swe7", '{', "\xC3\xA4"}, {"swe7", '|', "\xC3\xB6"},
    {"swe7", '}', "\xC3\xA5"}, {"swe7", '~', "\xC3\xBC"}, {"swe7", '\x7F', ""}, {"cp1251", '\x7F', nullptr},
    {"cp1257", '\x7F', nullptr}, {"cp852", '\x7F', nullptr}, {"cp866", '\x7F', nullptr}, {"keybcs2", '\x7F', nullptr},
    {"latin2", '\x7F', nullptr}, {"macce", '\x7F', nullptr}, {"macroman", '\x7F', nullptr},
};

template <size_t N>
bool bListed(const char* const (&apsz)[N], const std::string& s)
{
    for (const char* psz : apsz) {
        if (s == psz)
            return true;
    }
    return false;
}

// The server's blanks, and what may follow "--" in a comment: a blank, a
// control character or the text's end.
bool bBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool bCommentStart(const std::string& s, size_t n)
{
    return n >= s.size() || static_cast<unsigned char>(s[n]) <= ' ' || s[n] == '\x7F';
}

bool bDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool bWordChar(char c)
{
    return bDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// A token that can stand for a name: a word (a keyword too) or "'".
bool bWordOrName(const std::string& s)
{
    return !s.empty() && (s == "'" || bWordChar(s[0]));
}

// Whether a ';' ends the text but for ';' and blanks, and the rest of it
// holds none.
bool bSemicolonsEndIt(const std::string& s)
{
    const size_t n = s.find(';');
    return n == std::string::npos || s.find_first_not_of("; \t\n\v\f\r", n) == std::string::npos;
}

// Whether every client character set reads the byte as UTF-8 does, and
// every connection's set keeps its character: ASCII, listed for no set.
bool bEverySetReads(char c)
{
    if (static_cast<unsigned char>(c) >= 0x80)
        return false;
    for (const auto& st : kAsciiOtherwise) {
        if (st.c == c)
            return false;
    }
    return true;
}
bool bPlain(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), bEverySetReads);
}

// The session's reading from the server's report; empty, or why the
// reader does not know it.
std::string ReadingOf(const STSessionReading& st, STReading* pst)
{
    // "Major.minor.patch" first, then anything.
    unsigned long anPart[3] = {};
    size_t n = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t nStart = n;
        while (n < st.strVersion.size() && n - nStart < 3 && bDigit(st.strVersion[n]))
            anPart[i] = anPart[i] * 10 + static_cast<unsigned long>(st.strVersion[n++] - '0');
        // The text's end reads as its terminating NUL.
        if (n == nStart || (i > 0 && anPart[i] > 99) || (i < 2 && st.strVersion[n++] != '.'))
            return "the server's version '" + st.strVersion + "' is one zthost does not read";
    }
    pst->nVersion = anPart[0] * 10000 + anPart[1] * 100 + anPart[2];
    pst->bMariaDB = st.strVersion.find("MariaDB") != std::string::npos;
    for (size_t nFlag = 0; nFlag < st.strSQLMode.size();) {
        const size_t nEnd = std::min(st.strSQLMode.find(',', nFlag), st.strSQLMode.size());
        const std::string strFlag = st.strSQLMode.substr(nFlag, nEnd - nFlag);
        nFlag = nEnd + 1;
        if (strFlag == "NO_BACKSLASH_ESCAPES")
            pst->bBackslashEscapes = false;
        else if (strFlag == "ANSI_QUOTES")
            pst->bAnsiQuotes = true;
        else if (strFlag == "MSSQL")
            pst->bBrackets = pst->bMariaDB;
        else if (!bListed(kModesReadAsDefault, strFlag))
            return "the session's sql_mode " + strFlag + " is one zthost does not read";
    }
    return std::string();
}

// The last character a session keeps as zthost writes it when this set
// reads the text or keeps its texts: all in utf8mb4, up to U+FFFF in
// utf8mb3, none beyond ASCII in any other (binary keeps the UTF-8 bytes, a
// latin1 column takes them for characters).
unsigned long nLastKept(const std::string& strCharset)
{
    return strCharset == "utf8mb4" ? 0x10FFFF : strCharset == "utf8mb3" || strCharset == "utf8" ? 0xFFFF : 0x7F;
}

// The well-formed character at n as a refusal names it: 'é' (U+00E9), and
// DEL, which shows nothing, by its name.
std::string CharacterName(const std::string& s, size_t n)
{
    size_t nLength = 0;
    const unsigned long nChar = nUtf8CharacterAt(s, n, &nLength);
    char szCode[16];
    std::snprintf(szCode, sizeof(szCode), "U+%04lX", nChar);
    return (nChar == 0x7F ? std::string("DEL") : "'" + s.substr(n, nLength) + "'") + " (" + szCode + ")";
}

// Why the session would not read a character of zthost's text as written,
// after "it holds 'x' (U+0078)"; empty where it would. The driver's
// connection sends the text in UTF-8: the session reads it in its client
// character set (binary hands the bytes on as they are), then keeps its
// texts in its connection's set. Where either lacks the character, the
// session stores another, or reads other statements.
std::string BeyondAsciiRefusal(unsigned long nChar, const std::string& strSet, const std::string& strSession)
{
    if (nChar <= nLastKept(strSet))
        return std::string();
    return nLastKept(strSet) == 0xFFFF ? ", and the session " + strSession + ", which ends at U+FFFF"
                                       : ", and zthost writes UTF-8 only, but the session " + strSession;
}
std::string ClientRefusal(unsigned long nChar, const STSessionReading& st, const STReading& stReading)
{
    const std::string& strSet = st.strClientCharset;
    const std::string strReads = "reads it in character set " + strSet;
    const std::string strNotEvery = ", which not every character set reads as UTF-8 does, and the session " + strReads;
    if (nChar > 0x7F) {
        if (strSet != "binary")
            return BeyondAsciiRefusal(nChar, strSet, strReads);
        return stReading.bMariaDB ? std::string() : strNotEvery + ": on MySQL zthost reads the UTF-8 sets only";
    }
    if (bEverySetReads(static_cast<char>(nChar)) || bListed(kUtf8Charsets, strSet))
        return std::string();
    if (!stReading.bMariaDB)
        return strNotEvery + ": on MySQL zthost reads the UTF-8 sets only";
    if (!bListed(kMariaDBCharsets, strSet))
        return strNotEvery + ", which zthost does not know";
    for (const auto& stOther : kAsciiOtherwise) {
        if (strSet != stOther.pszCharset || stOther.c != static_cast<char>(nChar))
            continue;
        if (stOther.pszAs == nullptr)
            return ", and the session " + strReads + ", where " + kNoControl;
        return ", and the session " + strReads + ", where that byte is " +
               (*stOther.pszAs != 0 ? CharacterName(stOther.pszAs, 0) : std::string("no character"));
    }
    return std::string();
}
std::string ConnectionRefusal(unsigned long nChar, const STSessionReading& st)
{
    const std::string& strSet = st.strConnectionCharset;
    const std::string strKeeps = "keeps its texts in character set " + strSet + " (character_set_connection)";
    if (nChar > 0x7F)
        return BeyondAsciiRefusal(nChar, strSet, strKeeps);
    if (bEverySetReads(static_cast<char>(nChar)) || bListed(kUnicodeCharsets, strSet))
        return std::string();
    if (!bListed(kMariaDBCharsets, strSet))
        return ", which not every character set holds, and the session " + strKeeps + ", which zthost does not know";
    for (const auto& stOther : kAsciiOtherwise) {
        if (strSet == stOther.pszCharset && stOther.c == static_cast<char>(nChar) && stOther.pszAs != nullptr)
            return ", and the session " + strKeeps + ", which lacks it";
    }
    return std::string();
}
std::string CharacterRefusal(const std::string& strSQL, const STSessionReading& st, const STReading& stReading)
{
    size_t nLength = 0;
    for (size_t n = 0; n < strSQL.size(); n += nLength) {
        const unsigned long nChar = nUtf8CharacterAt(strSQL, n, &nLength);
        std::string strWhy = ClientRefusal(nChar, st, stReading);
        if (strWhy.empty())
            strWhy = ConnectionRefusal(nChar, st);
        if (!strWhy.empty())
            return "it holds " + CharacterName(strSQL, n) + strWhy;
    }
    return std::string();
}

// The text's tokens as far as statements go: words (upper-cased), "'" for
// a quoted text or name and for a word that can only be a name (after '.'
// or '@', or before '.'), ';', and any other character; comments are left
// out, the text of a versioned comment the server runs is read.
class CTokens {
public:
    CTokens(const std::string& s, const STReading& st) : m_s(s), m_st(st) { }

    // False with m_strWhy where the reader does not know how the server
    // reads the text.
    bool bRead()
    {
        size_t& n = m_n;
        while (n < m_s.size()) {
            const char c = m_s[n];
            if (bBlank(c)) {
                ++n;
            } else if (c == '#' || (m_s.compare(n, 2, "--") == 0 && bCommentStart(m_s, n + 2))) {
                const size_t nEnd = m_s.find('\n', n);
                n = nEnd == std::string::npos ? m_s.size() : nEnd + 1;
            } else if (m_s.compare(n, 2, "/*") == 0) {
                if (!bComment())
                    return false;
            } else if (m_bInCode && m_s.compare(n, 2, "*/") == 0) {
                n += 2;
                m_bInCode = false;
            } else if (c == '\'' || c == '"' || c == '`' || (c == '[' && m_st.bBrackets)) {
                // A doubled closing quote stands for itself; a backslash
                // takes the next byte in texts, not in names.
                const char cClose = c == '[' ? ']' : c;
                const bool bEscapes = m_st.bBackslashEscapes && (c == '\'' || (c == '"' && !m_st.bAnsiQuotes));
                ++n;
                while (n < m_s.size()) {
                    const char cIn = m_s[n++];
                    if (cIn == '\\' && bEscapes) {
                        ++n;
                    } else if (cIn == cClose) {
                        if (n < m_s.size() && m_s[n] == cClose)
                            ++n;
                        else
                            break;
                    }
                }
                m_astr.push_back("'");
            } else if (bWordChar(c)) {
                const size_t nStart = n;
                std::string strWord;
                for (; n < m_s.size() && bWordChar(m_s[n]); ++n)
                    strWord += m_s[n] >= 'a' && m_s[n] <= 'z' ? static_cast<char>(m_s[n] - 'a' + 'A') : m_s[n];
                const bool bName = nStart > 0 && (m_s[nStart - 1] == '.' || m_s[nStart - 1] == '@');
                m_astr.push_back(bName ? "'" : strWord);
            } else {
                if (c == '.' && !m_astr.empty() && bWordChar(m_astr.back()[0]))
                    m_astr.back() = "'";
                m_astr.push_back(std::string(1, c));
                ++n;
            }
        }
        return true;
    }

    const std::vector<std::string>& Tokens() const { return m_astr; }
    const std::string& Why() const { return m_strWhy; }

private:
    // The comment at m_n ("/*"): past it, or past the marks of versioned
    // code the server runs. Both kinds were tried on MariaDB; MySQL's
    // reading is its manual's, and what the manual leaves open (a comment
    // inside a comment, a sixth digit) is refused.
    bool bComment()
    {
        if (m_bInCode && !m_st.bMariaDB)
            return bUnknown("MySQL's reading of a comment inside a comment is not known to zthost");
        const bool bMariaDBMark = m_st.bMariaDB && m_s.compare(m_n, 4, "/*M!") == 0;
        if (!bMariaDBMark && m_s.compare(m_n, 3, "/*!") != 0) {
            // Optimizer hints read their own quotes up to their end: MySQL's,
            // and MariaDB's from 12.0 on.
            if (m_s.compare(m_n, 3, "/*+") == 0 && (!m_st.bMariaDB || m_st.nVersion >= 120000) &&
                m_s.find_first_of("'\"`", m_n) < m_s.find("*/", m_n + 2))
                return bUnknown("an optimizer hint holding a quote may be read otherwise than zthost reads it");
            return bCommentEnd(m_n + 2, 0);
        }
        // Five digits are a version, and six on MariaDB; with fewer the
        // marks alone are left out.
        const size_t nDigits = m_n + (bMariaDBMark ? 4 : 3);
        size_t nCount = 0;
        while (nCount < 6 && nDigits + nCount < m_s.size() && bDigit(m_s[nDigits + nCount]))
            ++nCount;
        if (nCount < 5) {
            m_n = nDigits;
            m_bInCode = true;
            return true;
        }
        if (nCount == 6 && !m_st.bMariaDB)
            return bUnknown("MySQL may read the version of " + m_s.substr(m_n, nDigits + 6 - m_n) +
                            " otherwise than zthost (five digits or six)");
        const unsigned long nVersion = std::strtoul(m_s.substr(nDigits, nCount).c_str(), nullptr, 10);
        // MariaDB leaves out MySQL's versions from 5.7 on, but in its own
        // marks.
        if (nVersion <= m_st.nVersion && (!m_st.bMariaDB || bMariaDBMark || nVersion < 50700 || nVersion > 99999)) {
            m_n = nDigits + nCount;
            m_bInCode = true;
            return true;
        }
        // One comment may stand inside one left out.
        return bCommentEnd(nDigits, 1);
    }

    // Past the "*/" that ends a comment whose text starts at nFrom, with
    // comments nDepth deep inside it; to the text's end when none ends it.
    bool bCommentEnd(size_t nFrom, int nDepth)
    {
        for (m_n = nFrom; m_n < m_s.size();) {
            if (m_s.compare(m_n, 2, "/*") == 0) {
                if (!m_st.bMariaDB)
                    return bUnknown("MySQL's reading of a comment inside a comment is not known to zthost");
                if (nDepth > 0) {
                    bCommentEnd(m_n + 2, nDepth - 1);
                    continue;
                }
            }
            if (m_s.compare(m_n, 2, "*/") == 0) {
                m_n += 2;
                return true;
            }
            ++m_n;
        }
        return true;
    }

    bool bUnknown(const std::string& strWhy)
    {
        m_strWhy = strWhy;
        return false;
    }

    const std::string& m_s;
    const STReading& m_st;
    size_t m_n = 0;
    bool m_bInCode = false;
    std::vector<std::string> m_astr;
    std::string m_strWhy;
};

// Whether a header's expression ends before this token: after an operand,
// DO and END are keywords; after an operator they are names.
bool bOperandEnd(const std::string& s)
{
    static const char* const apszOperators[] = {
        "AND", "OR", "XOR", "NOT", "IS", "LIKE", "REGEXP", "RLIKE", "IN", "BETWEEN", "DIV", "MOD", "SOUNDS",
        "ESCAPE", "BINARY", "INTERVAL", "EXISTS", "ANY", "SOME", "ALL", "COLLATE", "REVERSE", "CASE", "WHEN",
        "THEN", "ELSE", "IF", "ELSEIF", "WHILE", "FOR", "UNTIL",
    };
    if (s == "'" || s == ")")
        return true;
    if (!bWordOrName(s))
        return false;
    for (const char* psz : apszOperators) {
        if (s == psz)
            return false;
    }
    return true;
}

enum EVerdict { ONE, SEVERAL, UNREAD };

class CStatements {
public:
    explicit CStatements(const std::vector<std::string>& astr) : m_astr(astr) {}

    EVerdict eRead()
    {
        while (m_n < m_astr.size()) {
            const std::string& s = m_astr[m_n];
            if (m_bEnded) {
                if (s != ";")
                    return SEVERAL;
                ++m_n;
            } else if (m_eMode == PLAIN) {
                if (s == ";") {
                    if (m_astrOpen.empty())
                        m_bEnded = true;
                    else
                        m_eMode = START;
                }
                ++m_n;
            } else if (m_eMode == HEADER) {
                if (!bHeader(s))
                    return UNREAD;
            } else if (!bStart(s)) {
                return UNREAD;
            }
        }
        return m_bEnded || (m_eMode == PLAIN && m_astrOpen.empty()) ? ONE : UNREAD;
    }

private:
    // START: where a statement starts; BODY: where a routine's, a
    // trigger's, an event's or a handler's statement starts (BEGIN opens a
    // block there); PLAIN: in a statement that ends at ';'; HEADER: in the
    // expression of a compound statement, up to m_strUntil.
    enum EMode { START, BODY, PLAIN, HEADER };

    const std::string& At(size_t n) const
    {
        static const std::string strNone;
        return n < m_astr.size() ? m_astr[n] : strNone;
    }

    // The compound statement a keyword opens at a statement start, its
    // header read up to strUntil.
    void Open(const std::string& strKind, const std::string& strUntil)
    {
        m_astrOpen.push_back(strKind);
        ++m_n;
        Header(strUntil);
    }
    void Header(const std::string& strUntil)
    {
        m_eMode = strUntil.empty() ? START : HEADER;
        m_strUntil = strUntil;
        m_strPrevious = m_astr[m_n - 1];
        m_nDepth = 0;
        m_abCaseThen.clear();
    }

    bool bStart(const std::string& s)
    {
        const std::string& strNext = At(m_n + 1);
        const std::string strOpen = m_astrOpen.empty() ? std::string() : m_astrOpen.back();
        if (s == ";")
            return false;
        if (bWordOrName(s) && strNext == ":") {
            m_n += 2;
        } else if (s == "END") {
            std::string strKind = "BEGIN";
            if (strNext == "IF" || strNext == "CASE" || strNext == "WHILE" || strNext == "LOOP" ||
                strNext == "REPEAT" || strNext == "FOR") {
                strKind = strNext;
                ++m_n;
            }
            if (strOpen != strKind)
                return false;
            m_astrOpen.pop_back();
            ++m_n;
            m_eMode = PLAIN;
        } else if (s == "BEGIN") {
            // At the top, BEGIN NOT ATOMIC opens a block, BEGIN [WORK]
            // starts a transaction.
            if (m_astrOpen.empty() && m_eMode == START && !(strNext == "NOT" && At(m_n + 2) == "ATOMIC")) {
                m_eMode = PLAIN;
                ++m_n;
            } else {
                Open(s, "");
                if (At(m_n) == "NOT" && At(m_n + 1) == "ATOMIC")
                    m_n += 2;
            }
        } else if (s == "IF") {
            Open(s, "THEN");
        } else if (s == "CASE") {
            Open(s, "WHEN");
        } else if (s == "WHILE" || s == "FOR") {
            Open(s, "DO");
        } else if (s == "LOOP" || s == "REPEAT") {
            Open(s, "");
        } else if (s == "ELSEIF" || s == "ELSE" || s == "WHEN" || s == "UNTIL") {
            const bool bFits = s == "ELSEIF"  ? strOpen == "IF"
                               : s == "ELSE"  ? strOpen == "IF" || strOpen == "CASE"
                               : s == "WHEN"  ? strOpen == "CASE"
                                              : strOpen == "REPEAT";
            if (!bFits)
                return false;
            ++m_n;
            Header(s == "ELSE" ? "" : s == "UNTIL" ? "END" : "THEN");
        } else if (s == "DECLARE" && !m_astrOpen.empty() && At(m_n + 2) == "HANDLER" && At(m_n + 3) == "FOR") {
            // Its conditions, then its statement.
            m_n += 4;
            for (;;) {
                if (At(m_n) == "SQLSTATE")
                    m_n += At(m_n + 1) == "VALUE" ? 3 : 2;
                else
                    m_n += At(m_n) == "NOT" ? 2 : 1;
                if (At(m_n) != ",")
                    break;
                ++m_n;
            }
            m_eMode = BODY;
        } else if ((s == "CREATE" || s == "ALTER") && m_astrOpen.empty() && m_eMode == START) {
            const size_t nBody = nBodyStart();
            m_eMode = nBody == 0 ? PLAIN : BODY;
            m_n = nBody == 0 ? m_n + 1 : nBody;
        } else {
            m_eMode = PLAIN;
            ++m_n;
        }
        return true;
    }

    // A token of a header's expression; false where no expression goes on.
    bool bHeader(const std::string& s)
    {
        if (s == ";")
            return false;
        if (s == "(") {
            ++m_nDepth;
        } else if (s == ")") {
            if (m_nDepth > 0)
                --m_nDepth;
        } else if (m_nDepth > 0) {
            // Nothing ends inside parentheses.
        } else if (m_strUntil == "DO") {
            if (s == "DO" && bOperandEnd(m_strPrevious))
                m_eMode = START;
        } else if (m_strUntil == "END") {
            if (s == "END" && At(m_n + 1) == "REPEAT") {
                m_astrOpen.pop_back();
                ++m_n;
                m_eMode = PLAIN;
            }
        } else if (s == "CASE") {
            // A CASE expression: each WHEN awaits its THEN, END closes it.
            m_abCaseThen.push_back(false);
        } else if (s == "WHEN" && !m_abCaseThen.empty()) {
            m_abCaseThen.back() = true;
        } else if (s == "THEN" && !m_abCaseThen.empty() && m_abCaseThen.back()) {
            m_abCaseThen.back() = false;
        } else if (s == "END" && !m_abCaseThen.empty() && bOperandEnd(m_strPrevious)) {
            m_abCaseThen.pop_back();
        } else if (s == m_strUntil && (s == "THEN" || m_abCaseThen.empty())) {
            // A CASE statement's value ends at WHEN, whose condition ends
            // at THEN.
            ++m_n;
            Header(s == "WHEN" ? "THEN" : "");
            return true;
        }
        m_strPrevious = s;
        ++m_n;
        return true;
    }

    // Where the statement of a CREATE or an ALTER that starts at m_n
    // starts: a routine's, a trigger's or an event's; 0 for any other.
    size_t nBodyStart() const
    {
        const bool bCreate = At(m_n) == "CREATE";
        size_t n = m_n + 1;
        if (At(n) == "OR" && At(n + 1) == "REPLACE")
            n += 2;
        if (At(n) == "DEFINER") {
            n += At(n + 1) == "=" ? 3 : 2;
            if (At(n) == "(" && At(n + 1) == ")")
                n += 2;
            if (At(n) == "@")
                n += 2;
        }
        if (At(n) == "AGGREGATE")
            n++;
        const std::string& strKind = At(n++);
        if (strKind == "EVENT") {
            for (int nDepth = 0; n < m_astr.size() && At(n) != ";"; ++n) {
                if (At(n) == "(" || At(n) == ")")
                    nDepth += At(n) == "(" ? 1 : -1;
                else if (nDepth == 0 && At(n) == "DO" && bOperandEnd(At(n - 1)))
                    return n + 1;
            }
            return 0;
        }
        if (!bCreate)
            return 0;
        if (strKind == "TRIGGER") {
            for (; n < m_astr.size() && At(n) != ";"; ++n) {
                if (At(n) == "FOR" && At(n + 1) == "EACH") {
                    n += 3;
                    if (At(n) == "FOLLOWS" || At(n) == "PRECEDES") {
                        for (n += 2; At(n) == "."; n += 2) {
                        }
                    }
                    return n;
                }
            }
            return 0;
        }
        if (strKind != "PROCEDURE" && strKind != "FUNCTION")
            return 0;
        // IF NOT EXISTS and the name, then the parameters.
        while (bWordOrName(At(n)) || At(n) == ".")
            ++n;
        if (At(n) != "(")
            return 0;
        int nDepth = 0;
        do {
            if (At(n) == "(" || At(n) == ")")
                nDepth += At(n) == "(" ? 1 : -1;
            ++n;
        } while (nDepth > 0 && n < m_astr.size());
        if (strKind == "FUNCTION") {
            // The type and the characteristics hold no statement: the body
            // is the first RETURN, compound statement or label.
            for (; n < m_astr.size() && At(n) != ";"; ++n) {
                const std::string& s = At(n);
                if (s == "RETURN" || s == "BEGIN" || s == "IF" || s == "CASE" || s == "LOOP" || s == "WHILE" ||
                    s == "REPEAT" || s == "FOR" || (bWordOrName(s) && At(n + 1) == ":"))
                    return n;
            }
            return 0;
        }
        // A procedure's characteristics.
        for (;;) {
            const std::string& s = At(n);
            if (s == "DETERMINISTIC")
                n += 1;
            else if (s == "COMMENT" || s == "LANGUAGE" || s == "NOT" || s == "CONTAINS" || s == "NO")
                n += 2;
            else if (s == "READS" || s == "MODIFIES" || s == "SQL")
                n += 3;
            else
                break;
        }
        return n;
    }

    const std::vector<std::string>& m_astr;
    size_t m_n = 0;
    EMode m_eMode = START;
    bool m_bEnded = false;
    // The compound statements open, by their first keyword.
    std::vector<std::string> m_astrOpen;
    std::string m_strUntil;
    std::string m_strPrevious;
    int m_nDepth = 0;
    std::vector<bool> m_abCaseThen;
};

// Whether a ';' is followed by more than ';'.
bool bSemicolonFollowed(const std::vector<std::string>& astr)
{
    bool bSemicolon = false;
    for (const std::string& s : astr) {
        if (s != ";" && bSemicolon)
            return true;
        bSemicolon = bSemicolon || s == ";";
    }
    return false;
}

} // namespace

unsigned long nUtf8CharacterAt(const std::string& s, size_t n, size_t* pnLength)
{
    const unsigned char c = static_cast<unsigned char>(s[n]);
    const size_t nFollowing = c >= 0xF5 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    *pnLength = 1;
    if (nFollowing == 0)
        return c;
    // The second byte's range leaves out the overlong forms (after E0 and
    // F0), the surrogates (after ED) and the codes past U+10FFFF (after F4).
    const unsigned char cLow = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned char cHigh = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    unsigned long nChar = c & (0x3F >> nFollowing);
    for (size_t i = 1; i <= nFollowing; ++i) {
        const unsigned char cNext = n + i < s.size() ? static_cast<unsigned char>(s[n + i]) : 0;
        if (cNext < (i == 1 ? cLow : 0x80) || cNext > (i == 1 ? cHigh : 0xBF))
            return c;
        nChar = nChar << 6 | (cNext & 0x3F);
    }
    *pnLength = nFollowing + 1;
    return nChar;
}

std::string IllFormedUtf8(const std::string& str)
{
    size_t nLength = 0;
    for (size_t n = 0; n < str.size(); n += nLength) {
        // A character from U+0080 up takes two bytes or more.
        if (nUtf8CharacterAt(str, n, &nLength) >= 0x80 && nLength == 1) {
            char sz[96];
            std::snprintf(sz, sizeof(sz), "its byte %zu, \\x%02X, starts no well-formed UTF-8 character", n + 1,
                          static_cast<unsigned>(static_cast<unsigned char>(str[n])));
            return std::string(sz) + ": zthost writes UTF-8 only";
        }
    }
    return std::string();
}

bool bOneStatementInAnySession(const std::string& strSQL)
{
    return bPlain(strSQL) && bSemicolonsEndIt(strSQL);
}

std::string StatementTextRefusal(const std::string& strSQL, const STSessionReading& stSession)
{
    STReading st;
    const std::string strUnread = ReadingOf(stSession, &st);
    std::string strWhy = IllFormedUtf8(strSQL);
    if (strWhy.empty() && !bPlain(strSQL))
        strWhy = CharacterRefusal(strSQL, stSession, st);
    // Where no ';' is followed by more, no reading runs two statements.
    if (strWhy.empty() && !bSemicolonsEndIt(strSQL)) {
        if (!strUnread.empty())
            return "is not sent: " + strUnread;
        CTokens clTokens(strSQL, st);
        if (!clTokens.bRead())
            return "is not sent: " + clTokens.Why();
        const EVerdict e = CStatements(clTokens.Tokens()).eRead();
        if (e == SEVERAL || (e == UNREAD && bSemicolonFollowed(clTokens.Tokens())))
            return "holds several statements as the session reads it: give each its own --sql";
    }
    return strWhy.empty() ? strWhy : "is not sent: " + strWhy;
}
