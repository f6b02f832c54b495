// The host's query text where it reaches the server: the quoted runs of its
// reading, the keywords of a text outside parentheses, and the one writer
// that copies host text into a rewritten query for the session.
#include "access/sql/NACommand.h"

#include "access/driver/NAConnectionDescription.h"
#include "common/values/NACnvVariant.h"

#include <algorithm>
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
};

const wchar_t* Text(const wchar_t* psz)
{
    return psz != nullptr ? psz : L"";
}

} // namespace

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

int CNACommand::s_nGetTopLevelKeyword(CNAConnectionDescription* pclConnection, const wchar_t* pszText, size_t nLength,
                                      const wchar_t* pszWord, int eReading, bool bExactCase)
{
    const std::wstring s(Text(pszText));
    int nEnd = TE_CODE;
    const std::vector<unsigned char> tabRead = s_tabReadText(pclConnection, s, eReading, &nEnd);
    const size_t nWord = wcslen(Text(pszWord));
    nLength = std::min(nLength, s.size());
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
        if (nDepth != 0 || i + nWord > nLength || (i > 0 && !s_bSeparateur(s[i - 1])) ||
            (i + nWord < nLength && !s_bSeparateur(s[i + nWord])))
            continue;
        bool bMatch = true;
        for (size_t k = 0; k < nWord && bMatch; k++)
            bMatch = tabRead[i + k] == RM_CODE &&
                     (bExactCase ? s[i + k] == pszWord[k]
                                 : towupper(static_cast<wint_t>(s[i + k])) ==
                                       towupper(static_cast<wint_t>(pszWord[k])));
        if (bMatch)
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
    if (!_bIntroduced(pszText, nStart)) {
        if (!_bAddSessionLiteral(strValue.c_str(), strValue.size()))
            m_bHostFault = 1;
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
    // another form (hexadecimal) would follow it as a second one.
    if (pszLiteral[0] != L'\'') {
        _HostFault(kPointHostIntroducer);
        return;
    }
    _AddSQL(pszLiteral);
}

bool CNACommand::_bIntroduced(const wchar_t* pszText, unsigned int nStart)
{
    unsigned int i = nStart;
    while (i > 0 && m_tabHostRun[i - 1] == HOSTRUN_CODE &&
           (iswalnum(static_cast<wint_t>(pszText[i - 1])) || pszText[i - 1] == L'_'))
        i--;
    if (i == nStart)
        return false;
    const wchar_t c = static_cast<wchar_t>(towupper(static_cast<wint_t>(pszText[i])));
    return nStart - i == 1 ? c == L'X' || c == L'B' || c == L'N' : c == L'_';
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

