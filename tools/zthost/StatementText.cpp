#include "tools/zthost/StatementText.h"

#include <cctype>
#include <vector>

namespace {

// The session modes that move the end of a quoted text or a comment
// (READ_BRACKETS: sql_mode MSSQL, where [ ] quote names).
enum {
    READ_NO_BACKSLASH = 1,
    READ_ANSI_QUOTES = 2,
    READ_VERSIONED_AS_COMMENT = 4,
    READ_BRACKETS = 8,
};

bool bWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// A token that can stand for a name: a word (a keyword too) or "'".
bool bWordOrName(const std::string& s)
{
    return !s.empty() && (s == "'" || bWordChar(s[0]));
}

// The text's tokens as far as statements go: words (upper-cased), "'" for
// a quoted text or name and for a word that can only be a name (after '.'
// or '@', or before '.'), ';', and any other character; comments are left
// out, the text of a code comment ("/*!", "/*M!") is read.
std::vector<std::string> Tokens(const std::string& s, int nReading)
{
    std::vector<std::string> astr;
    bool bInCode = false;
    size_t n = 0;
    while (n < s.size()) {
        const char c = s[n];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++n;
        } else if (c == '#' || (s.compare(n, 2, "--") == 0 &&
                                (n + 2 >= s.size() || std::isspace(static_cast<unsigned char>(s[n + 2])) ||
                                 std::iscntrl(static_cast<unsigned char>(s[n + 2]))))) {
            const size_t nEnd = s.find('\n', n);
            n = nEnd == std::string::npos ? s.size() : nEnd + 1;
        } else if (s.compare(n, 3, "/*!") == 0 || s.compare(n, 4, "/*M!") == 0) {
            // Its marks and its version (five or six digits) are blanks, its
            // text is code; one whose version is above the server's is a
            // comment.
            const size_t nMarks = s.find('!', n) + 1;
            size_t nDigits = 0;
            while (nDigits < 6 && nMarks + nDigits < s.size() &&
                   std::isdigit(static_cast<unsigned char>(s[nMarks + nDigits])))
                ++nDigits;
            if (nDigits >= 5 && (nReading & READ_VERSIONED_AS_COMMENT)) {
                const size_t nEnd = s.find("*/", n + 2);
                n = nEnd == std::string::npos ? s.size() : nEnd + 2;
            } else {
                n = nMarks + (nDigits >= 5 ? nDigits : 0);
                bInCode = true;
            }
        } else if (bInCode && s.compare(n, 2, "*/") == 0) {
            n += 2;
            bInCode = false;
        } else if (s.compare(n, 2, "/*") == 0) {
            const size_t nEnd = s.find("*/", n + 2);
            n = nEnd == std::string::npos ? s.size() : nEnd + 2;
        } else if (c == '\'' || c == '"' || c == '`' || (c == '[' && (nReading & READ_BRACKETS))) {
            // A doubled closing quote stands for itself; a backslash takes
            // the next character in texts, not in names.
            const char cClose = c == '[' ? ']' : c;
            const bool bEscapes = !(nReading & READ_NO_BACKSLASH) && (c == '\'' || c == '"') &&
                                  !(c == '"' && (nReading & READ_ANSI_QUOTES));
            ++n;
            while (n < s.size()) {
                const char cIn = s[n++];
                if (cIn == '\\' && bEscapes) {
                    ++n;
                } else if (cIn == cClose) {
                    if (n < s.size() && s[n] == cClose)
                        ++n;
                    else
                        break;
                }
            }
            astr.push_back("'");
        } else if (bWordChar(c)) {
            const size_t nStart = n;
            std::string strWord;
            while (n < s.size() && bWordChar(s[n]))
                strWord += static_cast<char>(std::toupper(static_cast<unsigned char>(s[n++])));
            const bool bName = nStart > 0 && (s[nStart - 1] == '.' || s[nStart - 1] == '@');
            astr.push_back(bName ? "'" : strWord);
        } else {
            if (c == '.' && !astr.empty() && bWordChar(astr.back()[0]))
                astr.back() = "'";
            astr.push_back(std::string(1, c));
            ++n;
        }
    }
    return astr;
}

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

bool bSeveralStatements(const std::string& strSQL)
{
    const bool bVersioned = strSQL.find("/*!") != std::string::npos || strSQL.find("/*M!") != std::string::npos;
    for (int nReading = 0; nReading < 16; ++nReading) {
        // Only the readings that can differ from those before.
        if (((nReading & READ_NO_BACKSLASH) && strSQL.find('\\') == std::string::npos) ||
            ((nReading & READ_ANSI_QUOTES) &&
             ((nReading & READ_NO_BACKSLASH) || strSQL.find('"') == std::string::npos)) ||
            ((nReading & READ_VERSIONED_AS_COMMENT) && !bVersioned) ||
            ((nReading & READ_BRACKETS) && strSQL.find('[') == std::string::npos))
            continue;
        const std::vector<std::string> astr = Tokens(strSQL, nReading);
        const EVerdict e = CStatements(astr).eRead();
        if (e == SEVERAL || (e == UNREAD && bSemicolonFollowed(astr)))
            return true;
    }
    return false;
}
