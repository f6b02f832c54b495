// The host's query text where it reaches the server: the quoted runs of its
// reading, the keywords of a text outside parentheses, and the one writer
// that copies host text into a rewritten query for the session.
#include "access/sql/NACommand.h"

#include "access/driver/NAConnectionDescription.h"
#include "common/text/CodePage.h"
#include "common/values/NACnvVariant.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

namespace {

enum : int {
    kPointHostCode = 35,
    kPointHostValue = 36,
    kPointHostLiteral = 37,
    kPointHostIntroducer = 38,
    kPointHostCharset = 39,
};

const wchar_t* Text(const wchar_t* psz)
{
    return psz != nullptr ? psz : L"";
}

// A character set by the bytes the driver writes for its texts. Those
// before CS_UCS2 read ASCII as ASCII; of CS_ASCII's, the driver writes
// ASCII texts alone.
enum : int { CS_ASCII, CS_LATIN1, CS_UTF8MB3, CS_UTF8MB4, CS_UCS2, CS_UTF16, CS_UTF16LE, CS_UTF32 };

const struct {
    const wchar_t* pszName;
    int eCharset;
} kCharsets[] = {
    // The server's latin1 is code page 1252, its five free bytes included.
    {L"latin1", CS_LATIN1}, {L"utf8", CS_UTF8MB3},     {L"utf8mb3", CS_UTF8MB3}, {L"utf8mb4", CS_UTF8MB4},
    {L"ucs2", CS_UCS2},     {L"utf16", CS_UTF16},      {L"utf16le", CS_UTF16LE}, {L"utf32", CS_UTF32},
    {L"ascii", CS_ASCII},   {L"binary", CS_ASCII},     {L"armscii8", CS_ASCII},  {L"big5", CS_ASCII},
    {L"cp1250", CS_ASCII},  {L"cp1251", CS_ASCII},     {L"cp1256", CS_ASCII},    {L"cp1257", CS_ASCII},
    {L"cp850", CS_ASCII},   {L"cp852", CS_ASCII},      {L"cp866", CS_ASCII},     {L"cp932", CS_ASCII},
    {L"dec8", CS_ASCII},    {L"eucjpms", CS_ASCII},    {L"euckr", CS_ASCII},     {L"gb2312", CS_ASCII},
    {L"gb18030", CS_ASCII}, {L"gbk", CS_ASCII},        {L"geostd8", CS_ASCII},   {L"greek", CS_ASCII},
    {L"hebrew", CS_ASCII},  {L"hp8", CS_ASCII},        {L"keybcs2", CS_ASCII},   {L"koi8r", CS_ASCII},
    {L"koi8u", CS_ASCII},   {L"latin2", CS_ASCII},     {L"latin5", CS_ASCII},    {L"latin7", CS_ASCII},
    {L"macce", CS_ASCII},   {L"macroman", CS_ASCII},   {L"sjis", CS_ASCII},      {L"tis620", CS_ASCII},
    {L"ujis", CS_ASCII},
};

// Case is folded in ASCII alone, as the server folds a character set's
// name, whatever the process's locale.
wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

// The character set an introducer names (N, the national one), -1 for one
// the driver does not know. An introducer is ASCII, followed by a blank or
// its quote.
int CharsetOf(const wchar_t* pszWord)
{
    if (pszWord[0] != L'_')
        return CS_UTF8MB3;
    std::wstring strName;
    for (const wchar_t* p = pszWord + 1; *p < 0x80 && CNACommand::s_bNameChar(*p); p++)
        strName += AsciiLower(*p);
    for (const auto& st : kCharsets)
        if (strName == st.pszName)
            return st.eCharset;
    return -1;
}

void AddUnit(std::string* pstrBytes, uint32_t nUnit, int nBytes, bool bLittle)
{
    for (int k = 0; k < nBytes; k++)
        *pstrBytes += static_cast<char>(nUnit >> 8 * (bLittle ? k : nBytes - 1 - k));
}

// The text's bytes in the character set; false when the set cannot hold it
// whole or the driver cannot write them.
bool bCharsetBytes(int eCharset, const std::wstring& str, std::string* pstrBytes)
{
    if (eCharset <= CS_ASCII)
        return false;
    const uint32_t nLast = eCharset == CS_UTF8MB3 || eCharset == CS_UCS2 ? 0xFFFF : 0x10FFFF;
    for (const wchar_t c : str) {
        const uint32_t n = static_cast<uint32_t>(c);
        if ((n >= 0xD800 && n <= 0xDFFF) || n > nLast)
            return false;
        if (eCharset == CS_UTF32) {
            AddUnit(pstrBytes, n, 4, false);
        } else if (n > 0xFFFF) {
            AddUnit(pstrBytes, 0xD800 + ((n - 0x10000) >> 10), 2, eCharset == CS_UTF16LE);
            AddUnit(pstrBytes, 0xDC00 + (n & 0x3FF), 2, eCharset == CS_UTF16LE);
        } else {
            AddUnit(pstrBytes, n, 2, eCharset == CS_UTF16LE);
        }
    }
    if (eCharset >= CS_UCS2)
        return true;
    const unsigned nCodePage = eCharset == CS_LATIN1 ? CP_1252 : CP_UTF8;
    const int nChars = static_cast<int>(str.size());
    int bLost = 0;
    const int nBytes = WideCharToMultiByte(nCodePage, 0, str.c_str(), nChars, nullptr, 0, nullptr, &bLost);
    if (nBytes <= 0 || bLost)
        return false;
    pstrBytes->assign(static_cast<size_t>(nBytes), '\0');
    return WideCharToMultiByte(nCodePage, 0, str.c_str(), nChars, &(*pstrBytes)[0], nBytes, nullptr, nullptr) ==
           nBytes;
}

// Whether a session of the code page writes the text as the character set's
// bytes: ASCII where the set reads it as ASCII, and the set of its own code
// page.
bool bSessionBytes(int eCharset, unsigned nCodePage, const std::wstring& str)
{
    std::string strBytes;
    if (eCharset == CS_LATIN1 ? nCodePage == CP_1252
                              : (eCharset == CS_UTF8MB3 || eCharset == CS_UTF8MB4) && nCodePage == CP_UTF8)
        return bCharsetBytes(eCharset, str, &strBytes);
    return eCharset >= CS_ASCII && eCharset < CS_UCS2 &&
           std::none_of(str.begin(), str.end(), [](wchar_t c) { return c > 0x7F; });
}

} // namespace

bool CNACommand::s_bKeywordAt(const wchar_t* psz, size_t nLength, size_t i, const wchar_t* pszWord)
{
    const size_t n = wcslen(pszWord);
    if (i > nLength || n > nLength - i)
        return false;
    for (size_t k = 0; k < n; k++)
        if (AsciiLower(psz[i + k]) != AsciiLower(pszWord[k]))
            return false;
    return true;
}

bool CNACommand::s_bWordAt(const wchar_t* psz, size_t nLength, size_t i, const wchar_t* pszWord)
{
    const size_t n = i + wcslen(pszWord);
    return s_bKeywordAt(psz, nLength, i, pszWord) && (n == nLength || !s_bWordGoesOn(psz[n]));
}

size_t CNACommand::s_nHostRunEnd(const wchar_t* psz, size_t nLength, size_t i)
{
    if (i >= nLength)
        return i;
    const wchar_t c = psz[i];
    size_t k = i + 1;
    if (c == L'\'') {
        // '' stands for a quote; a backslash is a character like any other.
        for (; k < nLength; k++) {
            if (psz[k] == L'\'' && k + 1 < nLength && psz[k + 1] == L'\'')
                k++;
            else if (psz[k] == L'\'')
                break;
        }
    } else if (c == L'"' || c == L'[' || c == L'{') {
        const wchar_t cClose = c == L'"' ? L'"' : c == L'[' ? L']' : L'}';
        while (k < nLength && psz[k] != cClose)
            k++;
    } else {
        return i;
    }
    return k < nLength ? k + 1 : nLength;
}

namespace {

// How the server cuts the code of a text into words (names, keywords and
// numbers): for each place, whether a word starts or ends there, and
// whether a dot stands just before a word, which makes it a name whatever
// it reads.
enum : unsigned char { WB_START = 1, WB_END = 2, WB_AFTER_DOT = 4 };

bool bDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// The code of a text, NUL outside it (in a quoted run or past its end).
struct SCode {
    const std::wstring& s;
    size_t nLength;
    const std::vector<unsigned char>& tabRead;
    wchar_t operator()(size_t k) const { return k < nLength && tabRead[k] == CNACommand::RM_CODE ? s[k] : L'\0'; }
};

// The end of the server's number that starts at i (a digit, or a dot before
// one), or i where the server reads a name: digits glued to a letter are
// one name to it (a hexadecimal or bit literal ends where such a name
// does). A fraction or an exponent ends the number, whatever follows.
size_t nNumberEnd(const SCode& At, size_t i)
{
    size_t k = i;
    while (bDigit(At(k)))
        k++;
    const auto Exponent = [&At](size_t n) {
        if (At(n) != L'e' && At(n) != L'E')
            return n;
        size_t m = n + 1;
        if (At(m) == L'+' || At(m) == L'-')
            m++;
        if (!bDigit(At(m)))
            return n;
        while (bDigit(At(m)))
            m++;
        return m;
    };
    if (CNACommand::s_bNameChar(At(k))) {
        const size_t m = Exponent(k);
        return m > k ? m : i;
    }
    if (At(k) == L'.') {
        k++;
        while (bDigit(At(k)))
            k++;
        return Exponent(k);
    }
    return k;
}

std::vector<unsigned char> ServerWords(const std::wstring& s, size_t nLength, const std::vector<unsigned char>& tabRead)
{
    std::vector<unsigned char> tab(nLength + 1, 0);
    const SCode At{s, nLength, tabRead};
    size_t nDot = std::wstring::npos;
    for (size_t i = 0; i < nLength;) {
        const wchar_t c = At(i);
        const bool bAfterDot = nDot != std::wstring::npos && nDot + 1 == i;
        size_t nEnd = i;
        // A dot glued to a name qualifies it: no number starts there.
        if (!bAfterDot &&
            (bDigit(c) || (c == L'.' && bDigit(At(i + 1)) && !(i > 0 && CNACommand::s_bNameChar(At(i - 1))))))
            nEnd = nNumberEnd(At, i);
        if (nEnd == i && CNACommand::s_bNameChar(c))
            while (CNACommand::s_bNameChar(At(nEnd)))
                nEnd++;
        if (nEnd == i) {
            if (c == L'.')
                nDot = i;
            i++;
            continue;
        }
        tab[i] |= WB_START | (bAfterDot ? WB_AFTER_DOT : 0);
        tab[nEnd] |= WB_END;
        i = nEnd;
    }
    return tab;
}

} // namespace

int CNACommand::s_nGetTopLevelKeyword(CNAConnectionDescription* pclConnection, const wchar_t* pszText, size_t nLength,
                                      const wchar_t* pszWord, int eReading, bool bExactCase)
{
    const std::wstring s(Text(pszText));
    int nEnd = TE_CODE;
    const std::vector<unsigned char> tabRead = s_tabReadText(pclConnection, s, eReading, &nEnd);
    const size_t nWord = wcslen(Text(pszWord));
    nLength = std::min(nLength, s.size());
    const std::vector<unsigned char> tabWords = ServerWords(s, nLength, tabRead);
    int nFound = -1;
    int nDepth = 0;
    for (size_t i = 0; i < nLength && nWord > 0; i++) {
        const wchar_t c = s[i];
        if (tabRead[i] != RM_CODE)
            continue;
        if (c == L'(') {
            nDepth++;
            continue;
        }
        if (c == L')') {
            nDepth = nDepth > 0 ? nDepth - 1 : 0;
            continue;
        }
        // Whole words of the server's, and never a name after a dot.
        if (nDepth != 0 || i + nWord > nLength || (tabWords[i] & (WB_START | WB_AFTER_DOT)) != WB_START ||
            (tabWords[i + nWord] & WB_END) == 0)
            continue;
        if (bExactCase ? s.compare(i, nWord, pszWord) == 0 : s_bKeywordAt(s.c_str(), nLength, i, pszWord))
            nFound = static_cast<int>(i);
    }
    return nFound;
}

// ---- Host text written for the session -------------------------------------------------------------

unsigned int CNACommand::_nHostLength(const wchar_t* pszText)
{
    if (pszText != m_pszHostText) {
        m_pszHostText = pszText;
        m_nHostLength = pszText != nullptr ? static_cast<unsigned int>(wcslen(pszText)) : 0;
        m_tabHostRun.assign(m_nHostLength, HOSTRUN_CODE);
        for (size_t i = 0; i < m_nHostLength;) {
            const size_t nEnd = s_nHostRunEnd(pszText, m_nHostLength, i);
            if (nEnd == i)
                i++;
            for (const size_t nStart = i; i < nEnd; i++)
                m_tabHostRun[i] = static_cast<unsigned int>(nStart);
        }
    }
    return m_nHostLength;
}

void CNACommand::_CopyHost(const wchar_t* pszText, unsigned int* pnPos, unsigned int nUpTo)
{
    const unsigned int nLength = _nHostLength(pszText);
    nUpTo = std::min(nUpTo, nLength);
    unsigned int i = *pnPos;
    if (i >= nUpTo)
        return;
    if (m_bVerbatim) {
        // The host's text goes on as it stands: no piece of it is the
        // driver's.
        m_clSQL.Add(pszText + i, static_cast<int>(nUpTo - i), 0);
        *pnPos = nUpTo;
        return;
    }
    // The rest of a run that the node before took in is that node's.
    if (m_tabHostRun[i] != HOSTRUN_CODE && m_tabHostRun[i] != i)
        i = static_cast<unsigned int>(s_nHostRunEnd(pszText, nLength, m_tabHostRun[i]));
    while (i < nUpTo) {
        const unsigned int nStart = i;
        if (m_tabHostRun[i] == HOSTRUN_CODE) {
            while (i < nUpTo && m_tabHostRun[i] == HOSTRUN_CODE)
                i++;
            _AddHostCode(pszText + nStart, i - nStart);
        } else {
            // A run is written whole, even past nUpTo.
            i = static_cast<unsigned int>(s_nHostRunEnd(pszText, nLength, nStart));
            _AddHostRun(pszText, nStart, i);
        }
    }
    *pnPos = std::max(*pnPos, i);
}

void CNACommand::_AddHostCode(const wchar_t* psz, unsigned int n)
{
    // A word holding a character the session's code page lacks would reach
    // the server with "?" in its place: refused as such a name is.
    for (unsigned int k = 0, nEnd = 0; k < n && m_pclConnection != nullptr; k = nEnd + 1) {
        nEnd = k;
        while (nEnd < n && _bSessionNameChar(psz[nEnd]))
            nEnd++;
        if (nEnd > k && !m_pclConnection->_bNameHeld(_pclNameError(), std::wstring(psz + k, nEnd - k).c_str())) {
            _NameHeld(0);
            return;
        }
    }
    unsigned int nFrom = 0;
    for (unsigned int k = 0; k < n; k++) {
        const wchar_t c = psz[k];
        if (c == L'#' || c == L'`' || c == L';') {
            // The session reads a comment, a quoted name or the end of the
            // statement where the host reads none of them.
            _HostFault(kPointHostCode);
            return;
        }
        // "n -- 1" is n - (-1) to the host: the two signs are two pieces.
        if (k > 0 && s_bOpensComment(psz[k - 1], c)) {
            _AddSQL(psz + nFrom, static_cast<int>(k - nFrom));
            nFrom = k;
        }
    }
    _AddSQL(psz + nFrom, static_cast<int>(n - nFrom));
}

void CNACommand::_AddHostRun(const wchar_t* pszText, unsigned int nStart, unsigned int nEnd)
{
    const wchar_t cOpen = pszText[nStart];
    const wchar_t cClose = cOpen == L'\'' ? L'\'' : cOpen == L'"' ? L'"' : cOpen == L'[' ? L']' : L'}';
    // The run's text without its marks (a run left open has no closing one).
    const unsigned int nInner = nStart + 1;
    const unsigned int nInnerEnd = nEnd > nInner && pszText[nEnd - 1] == cClose ? nEnd - 1 : nEnd;
    std::wstring str(pszText + nInner, nInnerEnd - nInner);
    if (cOpen == L'\'') {
        for (size_t k = str.find(L"''"); k != std::wstring::npos; k = str.find(L"''", k + 1))
            str.erase(k, 1);
        _AddHostLiteral(pszText, nStart, str);
        return;
    }
    if (cOpen == L'{') {
        // The pass places each value it can; one left here has no place.
        _HostFault(kPointHostValue);
        return;
    }
    CTString csName;
    _FormatItemName(str.c_str(), &csName);
    _AddSQL(csName.pszGet());
}

void CNACommand::_AddHostLiteral(const wchar_t* pszText, unsigned int nStart, const std::wstring& strValue)
{
    // The session reads literals apart by blanks alone as one text, in the
    // way the word before the first introduces it.
    unsigned int nFirst = nStart;
    unsigned int nLast = nStart;
    for (unsigned int n = nStart; n != HOSTRUN_CODE; n = _nJoinedLiteral(pszText, n, false))
        nFirst = n;
    for (unsigned int n = nStart; n != HOSTRUN_CODE; n = _nJoinedLiteral(pszText, n, true))
        nLast = n;
    const unsigned int nWord = _nIntroducer(pszText, nFirst);
    if (nWord == nFirst && nFirst == nLast) {
        if (!_bAddSessionLiteral(strValue.c_str(), strValue.size()))
            m_bHostFault = 1;
        return;
    }
    const wchar_t cWord = AsciiLower(pszText[nWord]);
    const int eCharset = CharsetOf(pszText + nWord);
    if ((cWord == L'_' || cWord == L'n') &&
        !bSessionBytes(eCharset, static_cast<unsigned>(_nCodePage()),
                       std::wstring(pszText + nFirst, pszText + s_nHostRunEnd(pszText, m_nHostLength, nLast)))) {
        // The text goes as the character set's bytes, which N'..' and a
        // text joined to another have no form for; or it is refused.
        std::string strBytes;
        if (cWord == L'n' || nFirst != nLast || !bCharsetBytes(eCharset, strValue, &strBytes)) {
            _HostFault(kPointHostCharset);
            return;
        }
        CTString csHexa;
        CNAConnectionDescription::s_BinaryToStringHexa(reinterpret_cast<const unsigned char*>(strBytes.data()),
                                                       static_cast<unsigned int>(strBytes.size()), &csHexa);
        s_AddLiteral(m_clSQL, (L"X'" + std::wstring(csHexa.pszGet()) + L"'").c_str());
        return;
    }
    CTStringConcatAW clLiteral(-2, static_cast<unsigned>(_nCodePage()));
    if (!_bSessionLiteral(strValue.c_str(), strValue.size(), &clLiteral)) {
        m_bHostFault = 1;
        return;
    }
    const wchar_t* pszLiteral = clLiteral.pszGetW();
    // The session reads the quoted text after the introducer in the
    // introducer's own way, as it read the host's: the hexadecimal and bit
    // digits of X'..' and b'..' are written as they stand, the text of
    // N'..' and _charset'..' in the session's code page. A literal in
    // another form (hexadecimal) would follow it as a second one, and
    // would not join the texts beside it.
    if (pszLiteral[0] != L'\'') {
        _HostFault(kPointHostIntroducer);
        return;
    }
    _AddSQL(pszLiteral);
}

// A run of the host text ends with its closing mark, never with a blank nor
// a letter: the blanks and the word before a literal are the host's code.
unsigned int CNACommand::_nIntroducer(const wchar_t* pszText, unsigned int nStart)
{
    unsigned int nEnd = nStart;
    while (nEnd > 0 && _bSessionBlank(pszText[nEnd - 1]))
        nEnd--;
    unsigned int i = nEnd;
    while (i > 0 && _bSessionNameChar(pszText[i - 1]))
        i--;
    // After a dot the server reads a name, whatever its first letter; and
    // no character set's name holds a character past ASCII.
    if ((i > 0 && pszText[i - 1] == L'.') ||
        std::any_of(pszText + i, pszText + nEnd, [](wchar_t c) { return c >= 0x80; }))
        return nStart;
    const wchar_t c = AsciiLower(pszText[i]);
    if (nEnd - i > 1 && c == L'_')
        return i;
    return nEnd == nStart && nEnd - i == 1 && (c == L'x' || c == L'b' || c == L'n') ? i : nStart;
}

bool CNACommand::_bSessionBlank(wchar_t c) const
{
    return c == L' ' || (c >= L'\t' && c <= L'\r') || (c == 0xA0 && _nCodePage() != CP_UTF8);
}

unsigned int CNACommand::_nJoinedLiteral(const wchar_t* pszText, unsigned int nStart, bool bAfter)
{
    // Every quote of the host's code opens a literal, and one before code
    // closes it; the text ends with a NUL.
    if (bAfter) {
        unsigned int i = static_cast<unsigned int>(s_nHostRunEnd(pszText, m_nHostLength, nStart));
        while (_bSessionBlank(pszText[i]))
            i++;
        return pszText[i] == L'\'' ? i : HOSTRUN_CODE;
    }
    unsigned int i = nStart;
    while (i > 0 && _bSessionBlank(pszText[i - 1]))
        i--;
    return i > 0 && pszText[i - 1] == L'\'' ? m_tabHostRun[i - 1] : HOSTRUN_CODE;
}

void CNACommand::_HostFault(int nPoint)
{
    // The first reason stays.
    if (!m_bHostFault)
        _bUnplaced(nPoint);
    m_bHostFault = 1;
}

int CNACommand::_bSessionLiteral(const wchar_t* psz, size_t n, CTStringConcatAW* pclLiteral)
{
    // Without a connection there is no session to write for.
    if (m_pclConnection == nullptr)
        return _bUnplaced(kPointHostLiteral);
    CAny clValue;
    clValue.__SetType(TQTYPE_DSTRW, 0);
    clValue.pclGetTraitement()->SetValue(psz, static_cast<unsigned int>(n * sizeof(wchar_t)));
    return m_pclConnection->bConvertValueToString(m_pclError, pclLiteral, &clValue, NA_IT_EMPTY, NA_IT_EMPTY);
}

int CNACommand::_bAddSessionLiteral(const wchar_t* psz, size_t n)
{
    CTStringConcatAW clLiteral(-2, static_cast<unsigned>(_nCodePage()));
    if (!_bSessionLiteral(psz, n, &clLiteral))
        return 0;
    s_AddLiteral(m_clSQL, clLiteral.pszGetW());
    return 1;
}

