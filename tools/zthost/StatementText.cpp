#include "tools/zthost/StatementText.h"

#include <cctype>

namespace {

// The text's tokens as far as statements go: words (upper-cased), ';', and
// any other character; quoted texts and comments are left out, as a
// session in the server's default mode reads them.
class CTokens {
public:
    explicit CTokens(const std::string& s) : m_s(s) {}

    // The next token, or the empty text at the end.
    std::string Next()
    {
        SkipBlanksAndComments();
        if (m_n >= m_s.size())
            return std::string();
        const char c = m_s[m_n];
        if (c == '\'' || c == '"' || c == '`') {
            SkipQuoted(c);
            return "'";
        }
        if (bWordChar(c)) {
            std::string strWord;
            while (m_n < m_s.size() && bWordChar(m_s[m_n]))
                strWord += static_cast<char>(std::toupper(static_cast<unsigned char>(m_s[m_n++])));
            return strWord;
        }
        ++m_n;
        return std::string(1, c);
    }

private:
    static bool bWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

    void SkipBlanksAndComments()
    {
        while (m_n < m_s.size()) {
            const char c = m_s[m_n];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_n;
            } else if (c == '#' || (m_s.compare(m_n, 2, "--") == 0 &&
                                    (m_n + 2 >= m_s.size() ||
                                     std::isspace(static_cast<unsigned char>(m_s[m_n + 2])) ||
                                     std::iscntrl(static_cast<unsigned char>(m_s[m_n + 2]))))) {
                const size_t nEnd = m_s.find('\n', m_n);
                m_n = nEnd == std::string::npos ? m_s.size() : nEnd + 1;
            } else if (m_s.compare(m_n, 3, "/*!") == 0 || m_s.compare(m_n, 4, "/*M!") == 0) {
                // A code comment is code the server runs: its marks (and
                // version) are blanks, its text is read.
                m_n = m_s.find('!', m_n) + 1;
                while (m_n < m_s.size() && std::isdigit(static_cast<unsigned char>(m_s[m_n])))
                    ++m_n;
                m_bInCode = true;
            } else if (m_bInCode && m_s.compare(m_n, 2, "*/") == 0) {
                m_n += 2;
                m_bInCode = false;
            } else if (m_s.compare(m_n, 2, "/*") == 0) {
                const size_t nEnd = m_s.find("*/", m_n + 2);
                m_n = nEnd == std::string::npos ? m_s.size() : nEnd + 2;
            } else {
                return;
            }
        }
    }

    // A quoted text: a doubled quote stands for itself, and a backslash
    // takes the next character in texts (not in names).
    void SkipQuoted(char cQuote)
    {
        ++m_n;
        while (m_n < m_s.size()) {
            const char c = m_s[m_n++];
            if (c == '\\' && cQuote != '`') {
                ++m_n;
            } else if (c == cQuote) {
                if (m_n < m_s.size() && m_s[m_n] == cQuote)
                    ++m_n;
                else
                    return;
            }
        }
    }

    const std::string& m_s;
    size_t m_n = 0;
    bool m_bInCode = false;
};

} // namespace

bool bSeveralStatements(const std::string& strSQL)
{
    CTokens clTokens(strSQL);
    // Open BEGIN blocks and CASE expressions or statements, each closed by
    // END or END CASE; END IF, END LOOP and the like close none of them.
    int nDepth = 0;
    bool bEnded = false;
    std::string strPrevious;
    std::string strToken = clTokens.Next();
    while (!strToken.empty()) {
        std::string strNext = clTokens.Next();
        if (strToken == ";") {
            bEnded = nDepth == 0;
        } else if (bEnded) {
            return true;
        } else if (strToken == "BEGIN") {
            // BEGIN alone, BEGIN WORK and XA BEGIN start a transaction.
            if (!strNext.empty() && strNext != ";" && strNext != "WORK" && strPrevious != "XA")
                nDepth++;
        } else if (strToken == "CASE") {
            nDepth++;
        } else if (strToken == "END") {
            const bool bOther = strNext == "IF" || strNext == "LOOP" || strNext == "WHILE" || strNext == "REPEAT" ||
                                strNext == "FOR";
            if (!bOther && nDepth > 0)
                nDepth--;
            if (bOther || strNext == "CASE")
                strNext = clTokens.Next();
        }
        strPrevious = strToken;
        strToken = strNext;
    }
    return false;
}
