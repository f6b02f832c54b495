#include "access/sql/NACommand.h"

#include "access/sql/ColumnNullValueExcluded.h"
#include "access/sql/INAQueryParametersValue.h"
#include "access/sql/SQLParserInfo.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NARecord.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/CodePage.h"
#include "common/text/Escape.h"
#include "common/text/TextCompare.h"
#include "common/text/XYString.h"
#include "common/values/NACnvVariant.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>
#include <vector>

namespace {

const int kFile = CNACommand::ERRFILE_COMMAND;

enum : int {
    kPointNotYet = 1,
    kPointNoMemory = 3,
    kPointNullSetMemory = 30,
    kPointLikeMemory = 31,
    kPointLikeText = 32,
};

enum : unsigned int {
    UE_NOT_OFFERED = 8,
};

const wchar_t* Text(const wchar_t* psz)
{
    return psz != nullptr ? psz : L"";
}

bool _bBlank(wchar_t c)
{
    return c == L'\t' || c == L'\n' || c == L'\r' || c == L' ';
}

// The text with its ASCII letters in upper case, as the server folds a
// keyword's; no other character changes, whatever the process's locale.
std::wstring _Upper(const wchar_t* psz)
{
    std::wstring s(Text(psz));
    for (wchar_t& c : s)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - (L'a' - L'A'));
    return s;
}

// Whether s holds the keyword at i (CNACommand::s_bKeywordAt).
bool _bAt(const std::wstring& s, size_t i, const wchar_t* pszWord)
{
    return CNACommand::s_bKeywordAt(s.c_str(), s.size(), i, pszWord);
}

// SELECT as the text's first word, not the start of a longer one.
bool _bSelectFirst(const std::wstring& s)
{
    return CNACommand::s_bWordAt(s.c_str(), s.size(), 0, L"SELECT");
}

// A decimal number at i (64-bit, saturating); i moves past its digits.
long long _llReadNumber(const std::wstring& s, size_t* pi)
{
    long long ll = 0;
    while (*pi < s.size() && s[*pi] >= L'0' && s[*pi] <= L'9') {
        if (ll < (0x7FFFFFFFFFFFFFFFLL - 9) / 10)
            ll = ll * 10 + (s[*pi] - L'0');
        (*pi)++;
    }
    return ll;
}

// Whether the word ESCAPE (not a longer word) follows position i of the
// text.
bool _bEscapeWordAt(const std::wstring& s, size_t i)
{
    while (i < s.size() && _bBlank(s[i]))
        i++;
    return CNACommand::s_bWordAt(s.c_str(), s.size(), i, L"ESCAPE");
}

// Blanks to the server: the host's and form feed and vertical tab.
bool _bServerBlank(wchar_t c)
{
    return _bBlank(c) || c == L'\f' || c == L'\v';
}

// The text as the session reads it. Backslashes escape in literals unless
// the session is under NO_BACKSLASH_ESCAPES; a "/*!" or "/*M!" comment is
// code the server runs, up to its "*/".
std::vector<unsigned char> _ReadMap(const std::wstring& s, const std::wstring& strOpen, const std::wstring& strClose,
                                    int* pnEnd, bool bBackslash)
{
    std::vector<unsigned char> tab(s.size(), CNACommand::RM_CODE);
    *pnEnd = CNACommand::TE_CODE;
    bool bCodeComment = false;
    size_t i = 0;
    auto Mark = [&](size_t nEnd, unsigned char n) {
        for (; i < nEnd && i < s.size(); i++)
            tab[i] = n;
    };
    auto At = [&](size_t k, const wchar_t* psz) { return s.compare(k, wcslen(psz), psz) == 0; };
    while (i < s.size()) {
        const wchar_t c = s[i];
        if (c == L'\'' || c == L'"' || c == L'`') {
            // Quotes close on their own kind; backslashes escape inside
            // literals but not inside back-quoted names.
            size_t k = i + 1;
            while (k < s.size()) {
                if (s[k] == L'\\' && c != L'`' && bBackslash)
                    k += 2;
                else if (s[k] == c && k + 1 < s.size() && s[k + 1] == c)
                    k += 2;
                else if (s[k] == c)
                    break;
                else
                    k++;
            }
            Mark(k + 1, CNACommand::RM_QUOTED);
        } else if (!strOpen.empty() && !strClose.empty() && s.compare(i, strOpen.size(), strOpen) == 0) {
            size_t k = i + strOpen.size();
            for (;;) {
                k = s.find(strClose, k);
                if (k == std::wstring::npos || s.compare(k + strClose.size(), strClose.size(), strClose) != 0)
                    break;
                k += 2 * strClose.size();
            }
            Mark(k == std::wstring::npos ? s.size() : k + strClose.size(), CNACommand::RM_QUOTED);
        } else if (bCodeComment && At(i, L"*/")) {
            bCodeComment = false;
            i += 2;
        } else if (c == L'#' || (c == L'-' && i + 1 < s.size() && s[i + 1] == L'-' &&
                                 (i + 2 == s.size() || static_cast<unsigned int>(s[i + 2]) <= L' '))) {
            const size_t k = s.find(L'\n', i);
            if (k == std::wstring::npos)
                *pnEnd = CNACommand::TE_LINE_COMMENT;
            Mark(k == std::wstring::npos ? s.size() : k, CNACommand::RM_COMMENT);
        } else if (At(i, L"/*") && !bCodeComment && (At(i + 2, L"!") || At(i + 2, L"M!"))) {
            bCodeComment = true;
            i += At(i + 2, L"!") ? 3 : 4;
        } else if (At(i, L"/*")) {
            const size_t k = s.find(L"*/", i + 2);
            if (k == std::wstring::npos)
                *pnEnd = CNACommand::TE_OPEN_COMMENT;
            Mark(k == std::wstring::npos ? s.size() : k + 2, CNACommand::RM_COMMENT);
        } else {
            i++;
        }
    }
    if (bCodeComment)
        *pnEnd = CNACommand::TE_OPEN_COMMENT;
    return tab;
}

// The host's query text as its parse reads it.
std::vector<unsigned char> _ReadAsHost(const std::wstring& s)
{
    std::vector<unsigned char> tab(s.size(), CNACommand::RM_CODE);
    size_t i = 0;
    while (i < s.size()) {
        const size_t nEnd = CNACommand::s_nHostRunEnd(s.c_str(), s.size(), i);
        if (nEnd == i)
            i++;
        for (; i < nEnd; i++)
            tab[i] = CNACommand::RM_QUOTED;
    }
    return tab;
}

} // namespace

std::vector<unsigned char> CNACommand::s_tabReadText(CNAConnectionDescription* pclConnection, const std::wstring& s,
                                                     int eReading, int* pnEnd)
{
    *pnEnd = TE_CODE;
    if (eReading == TR_HOST)
        return _ReadAsHost(s);
    // The connection's identifier quotes (double quotes without one).
    std::wstring strOpen = L"\"";
    std::wstring strClose = L"\"";
    if (pclConnection != nullptr) {
        strOpen = _Upper(pclConnection->pszGetOpeningQuote());
        strClose = _Upper(pclConnection->pszGetClosingQuote());
    }
    return _ReadMap(s, strOpen, strClose, pnEnd, pclConnection == nullptr || pclConnection->bBackslashEscapes());
}

namespace {

bool _bIsText8Type(unsigned char n)
{
    return n == 17 || n == 18 || n == 19 || n == 21 || n == 22 || n == 23 || n == 134;
}

bool _bIsWideType(unsigned char n)
{
    return n == 16 || n == 20 || n == 81 || n == 110;
}

} // namespace

// ---- Life ------------------------------------------------------------------------------------

CNACommand::CNACommand(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : m_pclError(pclError),
      m_pclConnection(pclConnection),
      m_bVerbatim(0),
      m_eQueryType(0),
      m_dwWord5(0),
      m_pclParserInfo(nullptr),
      m_clSQL(-2, 1252),
      m_tabParameter(50),
      m_bLiteralParameter(1),
      m_nDialectFlags(0),
      m_clSelectAdditional(-2, 1252),
      m_dwWord12(0),
      m_nDefineMode(3),
      m_tabDefine(50),
      m_llRowLimit(-1),
      m_llRowOffset(-1),
      m_clFormated(-2, 1252),
      m_clDump(-2, 1252),
      m_dwWord19(0),
      m_pclNullExcluded(nullptr),
      m_piCurrentCalcul(nullptr),
      m_pszHostText(nullptr),
      m_nHostLength(0),
      m_bHostFault(0),
      m_pclPassTable(nullptr),
      m_pclPassInfo(nullptr),
      m_pclOuterCalcul(nullptr),
      m_bOutputNames(0)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr) {
        m_pclConnection->AddRef();
        if (m_pclConnection->eGetDataSource() == CNAConnectionDescription::DS_MYSQL)
            m_nDialectFlags |= 0x1;
    }
    const unsigned nCodePage = static_cast<unsigned>(_nCodePage());
    m_clSQL.m_nCodePage = nCodePage;
    m_clSelectAdditional.m_nCodePage = nCodePage;
    m_clFormated.m_nCodePage = nCodePage;
    m_clDump.m_nCodePage = nCodePage;
}

CNACommand::~CNACommand()
{
    delete m_pclNullExcluded;
    if (m_pclParserInfo != nullptr)
        m_pclParserInfo->nRelease();
    m_tabParameter.SupprimeTout();
    m_tabDefine.SupprimeTout();
    if (m_pclConnection != nullptr)
        m_pclConnection->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

CNACommand* pclAllocCommand(CNAError* pclError, CNAConnectionDescription* pclConnection)
{
    return new (std::nothrow) CNACommand(pclError, pclConnection);
}

int CNACommand::_nCodePage() const
{
    return m_pclConnection != nullptr ? m_pclConnection->nGetSQLCodePage() : 1252;
}

int CNACommand::_bNotYet(int nPoint)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, kFile, nPoint, m_pclConnection, nullptr, nullptr,
                                   UE_NOT_OFFERED);
    return 0;
}

// ---- Query type -------------------------------------------------------------------------------

int CNACommand::s_eQueryType(eTYPEREQUETE eType)
{
    switch (eType) {
    case 1:
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
        return 3;
    case 5:
        return 4;
    case 6:
        return 6;
    case 7:
        return 9;
    default:
        return 8;
    }
}

int CNACommand::eConvertTypeQuery(eTYPEREQUETE eType)
{
    return eType >= 1 && eType <= 5 ? s_eQueryType(eType) : 8;
}

CNACommand::ePARAMTYPECONV CNACommand::TQType2eParamType(unsigned short nType)
{
    switch (nType) {
    case 1:
        return PTC_BOOLEAN;
    case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 14:
        return PTC_INTEGER;
    case 10: case 13:
        return PTC_CURRENCY;
    case 11: case 12:
        return PTC_REAL;
    case 16: case 17: case 18: case 19: case 81: case 110:
        return PTC_TEXT;
    case 24: case 25: case 26: case 27: case 128: case 129:
        return PTC_DATETIME;
    case 28: case 29:
        return PTC_BINARY;
    default:
        return PTC_NONE;
    }
}

// ---- Fixed answers and later rewriting steps ------------------------------------------------------

int CNACommand::bNeedToReplaceStar() { return 1; }

int CNACommand::bIsEmpty()
{
    return m_clSQL.m_clW.m_nLength == 0 && m_clSQL.m_clA.m_nLength == 0;
}

int CNACommand::nGetParameterNbr() { return m_tabParameter.nGetNbElement(); }

int CNACommand::_bFormatAndConvertItemInClause(CSQLParserInfo*, IExpOpExpression*, INAItemDescription* piItem,
                                               const wchar_t* pszTable, const wchar_t* pszName, int,
                                               CTString* pclOut)
{
    CTString csName;
    _FormatTableAndItemName(pszTable, pszName, &csName);
    if (m_pclConnection == nullptr) {
        pclOut->Set(csName.pszGet());
        return 1;
    }
    CTStringConcatAW clOut(-2, static_cast<unsigned>(_nCodePage()));
    m_pclConnection->bConvertExpressionToString(m_pclError, &clOut, csName.pszGet(), piItem, nullptr);
    pclOut->Set(clOut.pszGetW());
    return 1;
}

int CNACommand::eGetFormatExpressionColonne(int eKind, eNA_ITEMTYPE eType, eOPEXPRESSION eOperator,
                                            IExpOpExpression*)
{
    if (eOperator == 33 || (eType != NA_IT_HEURE && eType != NA_IT_DATE8 && eType != NA_IT_DATETIME))
        return 0;
    return _eGetFormatExpressionColonneForDateTime(eKind, eType, eOperator);
}

int CNACommand::_eGetFormatExpressionColonneForDateTime(int eKind, eNA_ITEMTYPE eType, eOPEXPRESSION eOperator)
{
    const bool bTimeAsText =
        eType == NA_IT_HEURE && (m_pclConnection == nullptr || !m_pclConnection->bSupportItemTime());
    if (bTimeAsText && eKind >= 3 && eKind <= 6)
        return NA_IT_TEXTE;
    if (bTimeAsText && ((eOperator >= 9 && eOperator <= 14) || eOperator == 22 || eOperator == 23))
        return NA_IT_TEXTE;
    if ((eOperator >= 15 && eOperator <= 21) || eOperator == 32 || (eOperator >= 42 && eOperator <= 46) ||
        (eOperator >= 50 && eOperator <= 57))
        return NA_IT_TEXTE;
    return 0;
}

void CNACommand::_FormatTableAndItemName(const wchar_t* pszTable, const wchar_t* pszName, CTString* pclOut)
{
    CTString csItem;
    CTString csTable;
    if (m_pclConnection != nullptr) {
        _NameHeld(m_pclConnection->bFormatItemName(_pclNameError(), Text(pszName), &csItem));
        if (pszTable != nullptr && pszTable[0] != 0)
            _FormatTableName(pszTable, &csTable);
    } else {
        csItem.Set(Text(pszName));
        csTable.Set(Text(pszTable));
    }
    if (csTable.nTaille() == 0) {
        pclOut->Set(csItem.pszGet());
        return;
    }
    csTable.Add(L".");
    csTable.Add(csItem.pszGet());
    pclOut->Set(csTable.pszGet());
}

void CNACommand::FormatExpressionItemName(int eKind, eOPEXPRESSION eOperator, INAItemDescription* piItem,
                                          const wchar_t* pszTable, const wchar_t* pszName, CTString* pclOut)
{
    const eNA_ITEMTYPE eType = piItem != nullptr ? piItem->eNAGetItemType() : NA_IT_EMPTY;
    if (eGetFormatExpressionColonne(eKind, eType, eOperator, nullptr) != 0)
        _bFormatAndConvertItemInClause(nullptr, nullptr, piItem, pszTable, pszName, eKind, pclOut);
    else
        _FormatTableAndItemName(pszTable, pszName, pclOut);
}

int CNACommand::bEscapeLIKEParamAsKXParam(CXYString<wchar_t>* pclOut, const wchar_t* pszPattern, wchar_t cEscape)
{
    if (cEscape == 0)
        cEscape = L'\\';
    const size_t n = pszPattern != nullptr ? wcslen(pszPattern) : 0;
    if (pclOut == nullptr || n > 0x3FFFFFF0u || pclOut->nSetLength(static_cast<int>(2 * n + 12)) != 0)
        return _bNoMemory(kPointLikeMemory);
    // The MySQL literal escapes backslashes of its own: a backslash that is
    // not the escape character stays single here.
    Escape(Text(pszPattern), pclOut->pGetData(), 1, 0, 1, 1, 1, 1, 1, 1, L'\'', cEscape);
    pclOut->SetUtilLength(static_cast<int>(wcslen(pclOut->pGetData())), 0);
    return 1;
}

int CNACommand::bEscapeLIKEParamAsKXParam(CXYString<char>* pclOut, const char* pszPattern, char cEscape)
{
    if (cEscape == 0)
        cEscape = '\\';
    const size_t n = pszPattern != nullptr ? strlen(pszPattern) : 0;
    if (pclOut == nullptr || n > 0x3FFFFFF0u || pclOut->nSetLength(static_cast<int>(2 * n + 12)) != 0)
        return _bNoMemory(kPointLikeMemory);
    Escape(pszPattern != nullptr ? pszPattern : "", pclOut->pGetData(), 1, 0, 1, 1, 1, 1, 1, 1, '\'', cEscape);
    pclOut->SetUtilLength(static_cast<int>(strlen(pclOut->pGetData())), 0);
    return 1;
}

int CNACommand::_bNoMemory(int nPoint)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, nPoint, m_pclConnection, nullptr, nullptr,
                                   ZTERR_NO_MEMORY);
    return 0;
}

void CNACommand::vAddEscapeLike(eNA_ITEMTYPE) {}

int CNACommand::_vbFormatExpressionOperatorEntreOperande() { return 0; }
int CNACommand::_vbSkipOperande() { return 0; }
void CNACommand::_vConvertirFonction() {}

void CNACommand::_GetMotifVariableDebut(wchar_t* pszOut, unsigned int nSize)
{
    if (pszOut != nullptr && nSize >= 2)
        wcscpy(pszOut, L"{");
    else if (pszOut != nullptr && nSize == 1)
        pszOut[0] = 0;
}

void CNACommand::_GetMotifVariableFin(wchar_t* pszOut, unsigned int nSize)
{
    if (pszOut != nullptr && nSize >= 2)
        wcscpy(pszOut, L"}");
    else if (pszOut != nullptr && nSize == 1)
        pszOut[0] = 0;
}

// ---- Text ------------------------------------------------------------------------------------------

unsigned int CNACommand::_nTextLength()
{
    // The wide form is the master: its length is kept.
    return m_clSQL.m_clW.m_nLength;
}

void CNACommand::s_AddSQL(CTStringConcatAW& cl, const wchar_t* psz, int n)
{
    if (psz == nullptr || n == 0 || psz[0] == 0)
        return;
    // The wide form is the master of every text a command builds.
    if (s_bOpensComment(cl.cGetCharW(static_cast<int>(cl.m_clW.m_nLength) - 1), psz[0]))
        cl.Add(L" ", 1, 0);
    cl.Add(psz, n, 0);
}

void CNACommand::s_AddLiteral(CTStringConcatAW& cl, const wchar_t* pszLiteral)
{
    const unsigned int n = cl.m_clW.m_nLength;
    if (n > 0) {
        const wchar_t c = cl.pszGetW()[n - 1];
        if (s_bNameChar(c) || c == L'\'' || c == L'"' || c == L'`')
            cl.Add(L" ", 1, 0);
    }
    s_AddSQL(cl, pszLiteral);
}

void CNACommand::ResetCommand(int bKeepParameters)
{
    m_tabDefine.SupprimeTout();
    m_dwWord5 = 0;
    if (m_pclNullExcluded != nullptr)
        m_pclNullExcluded->Reset();
    ResetFormatedSQL();
    m_clSQL.m_clA.m_nLength = 0;
    m_clSQL.m_clW.m_nLength = 0;
    if (!bKeepParameters)
        m_tabParameter.SupprimeTout();
    m_llRowLimit = -1;
    m_llRowOffset = -1;
    m_bHostFault = 0;
    _ForgetHostText();
}

void CNACommand::ResetFormatedSQL()
{
    m_clFormated.m_clA.m_nLength = 0;
    m_clFormated.m_clW.m_nLength = 0;
}

int CNACommand::bComplete(const wchar_t* pszText, unsigned int nLength)
{
    if (pszText == nullptr)
        return 1;
    const int n = nLength == static_cast<unsigned int>(-1) ? -1 : static_cast<int>(nLength);
    if (n == 0)
        return 1;
    _AddSQL(pszText, n);
    if (m_bVerbatim && m_clFormated.m_clW.m_nLength > 0)
        s_AddSQL(m_clFormated, pszText, n);
    return 1;
}

int CNACommand::bCompleteWithNumber(int n)
{
    _AddSQL(std::to_wstring(n).c_str());
    return 1;
}

void CNACommand::Insert(unsigned int nPos, const wchar_t* pszText)
{
    if (pszText == nullptr || pszText[0] == 0)
        return;
    const unsigned int nLength = _nTextLength();
    if (nPos > nLength)
        nPos = nLength;
    const unsigned int nInserted = static_cast<unsigned int>(wcslen(pszText));
    m_clSQL.Insert(pszText, -1, static_cast<int>(nPos));
    if (m_bVerbatim && m_clFormated.m_clW.m_nLength > 0) {
        // Positions in the formatted text differ once parameters are in it.
        if (m_tabParameter.nGetNbElement() > 0)
            ResetFormatedSQL();
        else
            m_clFormated.Insert(pszText, -1, static_cast<int>(nPos));
    }
    for (int i = 0; i < m_tabParameter.nGetNbElement(); i++) {
        CNAParameter* p = m_tabParameter[i];
        if (p != nullptr && p->nGetPosition() >= nPos)
            p->SetPosition(p->nGetPosition() + nInserted);
    }
}

void CNACommand::Replace(unsigned int nPos, unsigned int nLength, const wchar_t* pszText)
{
    const unsigned int nTotal = _nTextLength();
    if (nPos > nTotal)
        return;
    if (nLength > nTotal - nPos)
        nLength = nTotal - nPos;
    const unsigned int nInserted = pszText != nullptr ? static_cast<unsigned int>(wcslen(pszText)) : 0;
    m_clSQL.Remplace(static_cast<int>(nPos), static_cast<int>(nLength), Text(pszText), static_cast<int>(nInserted));
    ResetFormatedSQL();
    for (int i = m_tabParameter.nGetNbElement() - 1; i >= 0; i--) {
        CNAParameter* p = m_tabParameter[i];
        if (p == nullptr)
            continue;
        const unsigned int n = p->nGetPosition();
        if (n > nPos && n < nPos + nLength)
            m_tabParameter.Supprime(i); // its place was replaced
        else if (n >= nPos + nLength && n > nPos)
            p->SetPosition(n + nInserted - nLength);
    }
}

void CNACommand::Tronque(unsigned int nLength)
{
    m_clSQL.Tronque(static_cast<int>(nLength));
    for (int i = m_tabParameter.nGetNbElement() - 1; i >= 0; i--) {
        CNAParameter* p = m_tabParameter[i];
        if (p != nullptr && p->nGetPosition() >= nLength)
            m_tabParameter.Supprime(i);
    }
}

void CNACommand::TronqueTexte(unsigned int nLength)
{
    m_clSQL.Tronque(static_cast<int>(nLength));
    for (int i = m_tabParameter.nGetNbElement() - 1; i >= 0; i--) {
        CNAParameter* p = m_tabParameter[i];
        if (p != nullptr && p->nGetPosition() > nLength)
            m_tabParameter.Supprime(i);
    }
}

int CNACommand::bAddReturning(const wchar_t* pszText)
{
    bComplete(L" RETURNING ", static_cast<unsigned int>(-1));
    return bComplete(pszText, static_cast<unsigned int>(-1));
}

int CNACommand::bAddRecordLock()
{
    const wchar_t* psz = m_pclConnection != nullptr ? m_pclConnection->pszGetNoLockHint() : nullptr;
    if (psz != nullptr && psz[0] != 0) {
        bComplete(L" ", 1);
        bComplete(psz, static_cast<unsigned int>(-1));
    }
    return 1;
}

int CNACommand::bSetInternalQuery(const wchar_t* pszText, unsigned int nLength)
{
    bComplete(pszText, nLength);
    m_nDefineMode = 3;
    return 1;
}

int CNACommand::_bAddColumnInSelect(const wchar_t* pszText)
{
    if (m_tabDefine.nGetNbElement() > 0)
        bComplete(L",", 1);
    return bComplete(pszText, static_cast<unsigned int>(-1));
}

int CNACommand::_bAddDefine(CNADefine* pclDefine)
{
    if (pclDefine == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    try {
        m_tabDefine.Ajoute(pclDefine);
    } catch (const std::bad_alloc&) {
        // Not filed: given back, and the failure said.
        pclDefine->AddRef();
        pclDefine->nRelease();
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    return 1;
}

int CNACommand::AddDefine(const wchar_t* pszName, CNAConvertVariant* pclCell)
{
    // A name without memory fails the definition like the definition itself.
    CNADefine* pclDefine = nullptr;
    try {
        pclDefine = new (std::nothrow) CNADefine(pszName, pclCell);
    } catch (const std::bad_alloc&) {
        pclDefine = nullptr;
    }
    return _bAddDefine(pclDefine);
}

int CNACommand::AddDefine(CNAColumn* pclColumn)
{
    CNADefine* pclDefine = nullptr;
    try {
        pclDefine = new (std::nothrow) CNADefine(pclColumn);
    } catch (const std::bad_alloc&) {
        pclDefine = nullptr;
    }
    return _bAddDefine(pclDefine);
}

int CNACommand::bAddSelectAdditionnalColumn(const wchar_t* pszText, CNAConvertVariant* pclCell)
{
    _bAddColumnInSelect(pszText);
    return AddDefine(pszText, pclCell);
}

int CNACommand::bAddSelectAdditionnalColumn(const wchar_t* pszText, unsigned short nHostType)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAConvertVariant* pclCell =
        pclDriver != nullptr ? pclDriver->pclGetNewVariant_NV_Any(m_pclError, m_pclConnection, nullptr, nHostType)
                             : nullptr;
    if (pclCell == nullptr)
        return 0;
    pclCell->AddRef();
    const int bResult = bAddSelectAdditionnalColumn(pszText, pclCell);
    pclCell->nRelease();
    return bResult;
}

int CNACommand::bAddSelectAdditionalColumnInQueryFormat(const wchar_t* pszText, CNAConvertVariant* pclCell)
{
    if (m_clSelectAdditional.m_clW.m_nLength > 0 || !bIsEmpty())
        m_clSelectAdditional.Add(L",", 1, 0);
    m_clSelectAdditional.Add(Text(pszText), -1, 0);
    AddDefine(pszText, pclCell);
    return 1;
}

int CNACommand::bAddSelectColumn(CNAColumn* pclColumn, int bPlain)
{
    if (pclColumn == nullptr)
        return 0;
    if (m_tabDefine.nGetNbElement() > 0)
        bComplete(L",", 1);
    bComplete(pclColumn->pszGetFormatedSelectName(bPlain), static_cast<unsigned int>(-1));
    return AddDefine(pclColumn);
}

int CNACommand::bAddSelectColumnAs(CNAColumn* pclColumn, const wchar_t* pszExpression)
{
    if (pclColumn == nullptr)
        return 0;
    if (m_tabDefine.nGetNbElement() > 0)
        bComplete(L",", 1);
    bComplete(Text(pszExpression), static_cast<unsigned int>(-1));
    return AddDefine(pclColumn);
}

int CNACommand::bAddSelectColumns(CNARecord* pclRecord, int bPlain)
{
    if (pclRecord == nullptr)
        return 1;
    for (int i = 0; i < pclRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = pclRecord->pclGetColumnNoRef(i);
        if (pcl == nullptr || !pcl->bMustDefine(static_cast<unsigned int>(m_nDefineMode)))
            continue;
        if (!bAddSelectColumn(pcl, bPlain))
            return 0;
    }
    return 1;
}

int CNACommand::bColumnValuesNullSelected(const CNAColumn* pclColumn) const
{
    return m_pclNullExcluded == nullptr || m_pclNullExcluded->bColumnValuesNullSelected(pclColumn);
}

int CNACommand::_bInitColumnNullValueExcluded()
{
    if (m_pclNullExcluded == nullptr)
        m_pclNullExcluded = new (std::nothrow) CColumnNullValueExcluded;
    return m_pclNullExcluded != nullptr || _bNoMemory(kPointNullSetMemory);
}

int CNACommand::bCombineColumnValuesNullSelected(eNAOperator eOperator, CColumnNullValueExcluded* pclOther)
{
    return _bInitColumnNullValueExcluded() && m_pclNullExcluded->bCombineColumnValuesNullSelected(eOperator, pclOther);
}

int CNACommand::bCopyColumnValuesNullSelected(CColumnNullValueExcluded* pclOther)
{
    return _bInitColumnNullValueExcluded() && m_pclNullExcluded->bCopyColumnValuesNullSelected(pclOther, 0);
}

// ---- Parameters ---------------------------------------------------------------------------------------

int CNACommand::bAddParameter(CNAConvertVariant* pclCell, eOPEXPRESSION eOperator, unsigned int nFlags,
                              CNAColumn* pclColumn, const wchar_t* pszName, wchar_t cEscape,
                              CNAParameter::eNAPARAMETERINOUT eInOut)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    const unsigned int nPos = _nTextLength();
    CNAParameter* pcl = pclDriver != nullptr ? pclDriver->pclAllocParameter(pclCell, nPos, nFlags, pszName)
                                             : new (std::nothrow) CNAParameter(pclCell, nPos, nFlags, pszName);
    if (pcl == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    pcl->SetEscape(cEscape);
    pcl->SetOperator(eOperator);
    pcl->SetInOut(eInOut);
    if (pclColumn != nullptr)
        pcl->SetColum(pclColumn);
    m_tabParameter.Ajoute(pcl);
    return 1;
}

int CNACommand::bAddParameter(CNAParameter* pclParameter)
{
    m_tabParameter.Ajoute(pclParameter);
    return 1;
}

int CNACommand::bAddParameter(const CAny* pValue, eOPEXPRESSION eOperator, unsigned int nFlags, CNAColumn* pclColumn,
                              wchar_t cEscape, CNAParameter::eNAPARAMETERINOUT eInOut)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    if (pclDriver == nullptr)
        return 0;
    CNAConvertVariant* pclCell = pclDriver->pclGetNewVariant_NV_Any(m_pclError, m_pclConnection, pclColumn, pValue);
    if (pclCell == nullptr)
        return 0;
    pclCell->AddRef();
    const int bResult = bAddParameter(pclCell, eOperator, nFlags, pclColumn, nullptr, cEscape, eInOut);
    pclCell->nRelease();
    return bResult;
}

int CNACommand::bAddParameterReturn(CNAConvertVariant* pclCell)
{
    return bAddParameter(pclCell, -1, 0, nullptr, nullptr, 0, CNAParameter::PARAM_RETURN);
}

CNAParameter* CNACommand::pclGetParameterByNameNoRef(const wchar_t* pszName) const
{
    for (int i = 0; i < m_tabParameter.nGetNbElement(); i++) {
        CNAParameter* p = m_tabParameter[i];
        if (p != nullptr && (p->nGetFlags() & CNAParameter::PF_USER) &&
            STR_nCompareW(Text(p->pszGetName()), Text(pszName), 1) == 0)
            return p;
    }
    return nullptr;
}

int CNACommand::nGetUserParamIndice(const CNAParameter* pclParameter) const
{
    if (pclParameter == nullptr)
        return -1;
    for (int i = 0; i < m_tabParameter.nGetNbElement(); i++) {
        CNAParameter* p = m_tabParameter[i];
        if (p != nullptr && (p->nGetFlags() & CNAParameter::PF_USER) &&
            p->nGetPosition() == pclParameter->nGetPosition())
            return i;
    }
    return -1;
}

int CNACommand::bAdd(CNACommand* pclOther, eADDMMODE eMode)
{
    if (pclOther == nullptr || pclOther == this)
        return pclOther == nullptr;
    const unsigned int nBase = _nTextLength();
    bComplete(pclOther->m_clSQL.pszGetW(), static_cast<unsigned int>(-1));
    int bResult = 1;
    for (int i = 0; i < pclOther->m_tabParameter.nGetNbElement(); i++) {
        CNAParameter* p = pclOther->m_tabParameter[i];
        if (p == nullptr)
            continue;
        if (eMode == ADDMODE_CLONE) {
            p = p->pclGetClone();
            if (p == nullptr)
                return 0;
        }
        p->SetPosition(p->nGetPosition() + nBase);
        bResult = bAddParameter(p) && bResult;
    }
    if (bResult) {
        for (int i = 0; i < pclOther->m_tabDefine.nGetNbElement(); i++)
            m_tabDefine.Ajoute(pclOther->m_tabDefine[i]);
    }
    return bResult;
}

int CNACommand::_bNeedParameterConversionToString(const CNAVariant* pclValue, ePARAMTYPECONV eMask)
{
    if (eMask == PTC_NONE || pclValue == nullptr)
        return 0;
    const unsigned char nType = pclValue->pclGetValue()->nGetTypeCode();
    const int eClass = TQType2eParamType(nType);
    if ((eClass & eMask) == eClass)
        return 1;
    const bool bText = (nType >= 16 && nType <= 23) || nType == 81 || nType == 110 || nType == 134;
    return bText && pclValue->nGetUtilDataSize() == 0;
}

int CNACommand::_bNeedParameterConversionToString(const CNAParameter* pclParameter, ePARAMTYPECONV eMask)
{
    return pclParameter != nullptr && _bNeedParameterConversionToString(pclParameter->pclGetValue(), eMask);
}

// ---- Formatted SQL ---------------------------------------------------------------------------------------

void CNACommand::_AddFormated(const wchar_t* pszText, int nLength)
{
    if (pszText == nullptr || nLength == 0)
        return;
    const unsigned int nFormated = m_clFormated.m_clW.m_nLength;
    if (nFormated > 0 && m_clFormated.pszGetW()[nFormated - 1] != L' ' && pszText[0] != L' ' && pszText[0] != 0)
        m_clFormated.Add(L" ", 1, 0);
    s_AddSQL(m_clFormated, pszText, nLength);
}

int CNACommand::_bBuildFormatedSQL(ePARAMTYPECONV eMask)
{
    ResetFormatedSQL();
    const std::wstring strSQL(m_clSQL.pszGetW());
    const unsigned int nLength = static_cast<unsigned int>(strSQL.size());
    unsigned int nPos = 0;
    int bResult = 1;
    for (int i = 0; i < m_tabParameter.nGetNbElement(); i++) {
        CNAParameter* p = m_tabParameter[i];
        if (p == nullptr)
            continue;
        unsigned int nParam = p->nGetPosition();
        if (nParam > nLength)
            nParam = nLength;
        if (nParam > nPos)
            _AddFormated(strSQL.c_str() + nPos, static_cast<int>(nParam - nPos));
        unsigned int nNext = nParam;
        bResult = _bAddParameterFormated(p, eMask, &nNext);
        nPos = nNext < nParam ? nParam : (nNext > nLength ? nLength : nNext);
        if (!bResult)
            break;
    }
    if (nPos < nLength)
        _AddFormated(strSQL.c_str() + nPos, static_cast<int>(nLength - nPos));
    const int eKind = m_pclConnection != nullptr ? m_pclConnection->eGetDataSource() : 0;
    if (eKind >= 1 && eKind <= 3)
        _RemplaceLimitParTop();
    else if (eKind == 5 || eKind == 6)
        _RemplaceTopParLimit();
    return bResult;
}

int CNACommand::_bAddParameterFormated(CNAParameter* pclParameter, ePARAMTYPECONV eMask, unsigned int* pnPos)
{
    if (pclParameter == nullptr)
        return 0;
    const unsigned int nFlags = pclParameter->nGetFlags();
    const bool bFile = (nFlags & CNAParameter::PF_FILE) != 0;
    if (bFile && !pclParameter->bLoadFile(m_pclError))
        return 0;
    eNA_ITEMTYPE eDB = NA_IT_EMPTY;
    eNA_ITEMTYPE eItem = NA_IT_EMPTY;
    pclParameter->bGetTQTypeInfo(&eDB, &eItem);
    if (bFile && eDB == NA_IT_EMPTY) {
        const unsigned int nBoth = CNAParameter::PF_FILE | CNAParameter::PF_FILE_RAW;
        eDB = (nFlags & nBoth) != nBoth ? NA_IT_MEMOBINAIRE : NA_IT_MEMOTEXTE;
    }
    if (pclParameter->nGetFlags() & CNAParameter::PF_LIKE)
        return _bAddParameterFormatedLike(pclParameter, eDB, pnPos);
    return _bAddParameterFormated(pclParameter, eDB, eItem, eMask, pnPos);
}

int CNACommand::_bAddParameterFormated(CNAParameter* pclParameter, eNA_ITEMTYPE eItemType, eNA_ITEMTYPE eValueType,
                                       ePARAMTYPECONV, unsigned int*)
{
    if (m_pclConnection == nullptr || pclParameter == nullptr)
        return 0;
    if (!_bRefreshUser(pclParameter))
        return 0;
    CNAConvertVariant* pclCell = pclParameter->pclGetValue();
    CAny clValue;
    if (pclCell == nullptr || pclParameter->bGetNull()) {
        clValue.__SetType(TQTYPE_VIDE, 0);
        clValue.SetNullFlag(true);
    } else if (!pclCell->bGetValue(&clValue)) {
        return 0;
    }
    if (eValueType == NA_IT_EMPTY && pclCell != nullptr)
        eValueType = pclCell->eNAGetItemType();
    // A YEAR is written as its year's number: the server refuses a whole
    // date for it, and compares the date '0000-01-01' as the year 2000.
    const CNAColumn* pclColumn = pclParameter->pclGetColumn();
    const int nYear = pclColumn != nullptr && pclColumn->bServerYear() ? CNAColumn::s_nYearOf(&clValue) : -1;
    if (nYear >= 0) {
        s_AddLiteral(m_clFormated, std::to_wstring(nYear).c_str());
        return 1;
    }
    CTStringConcatAW clLiteral(-2, static_cast<unsigned>(_nCodePage()));
    if (!m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, &clValue, eItemType, eValueType))
        return 0;
    s_AddLiteral(m_clFormated, clLiteral.pszGetW());
    return 1;
}

int CNACommand::_bRefreshUser(CNAParameter* pclParameter)
{
    if ((pclParameter->nGetFlags() & CNAParameter::PF_USER) == 0 || m_pclParserInfo == nullptr)
        return 1;
    // A named host value as the host holds it now.
    INAQueryParametersValue* piValues = m_pclParserInfo->piGetUserBindVariable();
    const int bRefreshed = piValues == nullptr || _bRefreshUserParameter(pclParameter, piValues);
    if (piValues != nullptr)
        piValues->nExternalRelease();
    return bRefreshed;
}

int CNACommand::_bHostLikeValue(CNAParameter* pclParameter, CAny* pValue, wchar_t cEscape)
{
    CAny clText;
    pValue->pclGetTraitement()->Duplique(&clText);
    clText.SetFlags(0);
    const wchar_t* psz = nullptr;
    unsigned int nSize = 0;
    const int nStatus = clText.__nCastTo(TQTYPE_DSTRW, nullptr, 0);
    if (nStatus > 99 || clText.pclGetTraitement()->nGetPCWSTR(&psz) > 99) {
        if (m_pclError != nullptr)
            m_pclError->SetAnyError(nStatus > 99 ? nStatus : TQSTATUS_NOT_HANDLED, pValue->nGetTypeCode(),
                                    TQTYPE_DSTRW, kFile, kPointLikeText, m_pclConnection, nullptr, nullptr);
        return 0;
    }
    // The whole value, NUL characters included: cut, the pattern would
    // match other rows.
    clText.pclGetTraitement()->nGetUtilDataSize(&nSize);
    const size_t nLength = psz != nullptr ? nSize / sizeof(wchar_t) : 0;
    // The host's pattern is taken as the host wrote it: only its own escape
    // character, when the driver names another, is rewritten.
    const wchar_t cHost = pclParameter->cGetEscape() != 0 ? pclParameter->cGetEscape() : L'\\';
    std::wstring s;
    for (size_t i = 0; i < nLength; i++) {
        wchar_t c = psz[i];
        if (cHost != cEscape && (c == cHost || c == cEscape)) {
            // An escaped character (a last lone escape stands for itself),
            // and the driver's escape character, as plain characters.
            if (c == cHost && i + 1 < nLength)
                c = psz[++i];
            if (c == L'%' || c == L'_' || c == cEscape)
                s += cEscape;
        }
        s += c;
    }
    pValue->__SetType(TQTYPE_DSTRW, 0);
    pValue->pclGetTraitement()->SetValue(s.data(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
    pValue->SetFlags(0);
    return 1;
}

int CNACommand::_bAddParameterFormatedLike(CNAParameter* pclParameter, eNA_ITEMTYPE eItemType, unsigned int* pnPos)
{
    if (!_bRefreshUser(pclParameter))
        return 0;
    CNAConvertVariant* pclCell = pclParameter->pclGetValue();
    CAny clValue;
    if (pclCell == nullptr || !pclCell->bGetValue(&clValue))
        return 0;
    if (pclParameter->bGetNull())
        clValue.SetNullFlag(true);
    if (clValue.bIsNull())
        return vbAddEscapedLikeValue(pclParameter, &clValue, eItemType, pnPos);
    const wchar_t cEscape = _cLikeEscape(pclParameter, pnPos);
    if ((pclParameter->nGetFlags() & PF_LIKE_PATTERN) != 0) {
        // A pattern is text, whatever the column it is compared with.
        if (!_bHostLikeValue(pclParameter, &clValue, cEscape))
            return 0;
        return vbAddEscapedLikeValue(pclParameter, &clValue, NA_IT_UNICODE, pnPos);
    }
    // A search value, whose quotes the driver doubled.
    const unsigned char nType = clValue.nGetTypeCode();
    const wchar_t* pszWide = nullptr;
    if (_bIsWideType(nType))
        clValue.pclGetTraitement()->nGetPCWSTR(&pszWide);
    if (_bIsWideType(nType) && pszWide != nullptr && pszWide[0] != 0) {
        std::wstring s(pszWide);
        PurgeQuote(&s[0], 1);
        s.resize(wcslen(s.c_str()));
        wchar_t* pszEscaped = pszEscape(s.c_str(), 0, 0, 1, 0, 0, 0, 0, 0, L'\'', cEscape);
        if (pszEscaped == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, kFile, kPointNoMemory, m_pclConnection);
            return 0;
        }
        clValue.__SetType(TQTYPE_DSTRW, 0);
        clValue.pclGetTraitement()->SetValue(pszEscaped, static_cast<unsigned int>(wcslen(pszEscaped) * sizeof(wchar_t)));
        clValue.SetFlags(0);
        free(pszEscaped);
        if (eItemType == NA_IT_EMPTY)
            eItemType = NA_IT_UNICODE;
    } else {
        if (!_bIsText8Type(nType) && clValue.__nCastTo(TQTYPE_DSTRA, nullptr, 0) != TQSTATUS_OK)
            return 0;
        const char* psz = nullptr;
        clValue.pclGetTraitement()->nGetPCASTR(&psz);
        std::string s(psz != nullptr ? psz : "");
        if (!s.empty())
            PurgeQuote(&s[0], 1);
        s.resize(strlen(s.c_str()));
        const char cEscape8 = static_cast<char>(STR_WCharToAChar(cEscape, 0, static_cast<unsigned>(_nCodePage())));
        char* pszEscaped = pszEscape(s.c_str(), 0, 0, 1, 0, 0, 0, 0, 0, '\'', cEscape8 != 0 ? cEscape8 : '\\');
        if (pszEscaped == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, kFile, kPointNoMemory, m_pclConnection);
            return 0;
        }
        clValue.__SetType(TQTYPE_PSTRA, 0);
        clValue.pclGetTraitement()->SetValue(pszEscaped, static_cast<unsigned int>(strlen(pszEscaped)));
        clValue.SetFlags(0);
        free(pszEscaped);
        if (eItemType == NA_IT_EMPTY)
            eItemType = NA_IT_TEXTE;
    }
    return vbAddEscapedLikeValue(pclParameter, &clValue, eItemType, pnPos);
}

int CNACommand::vbAddEscapedLikeValue(CNAParameter* pclParameter, const CAny* pValue, eNA_ITEMTYPE eItemType,
                                      unsigned int* pnPos)
{
    if (m_pclConnection == nullptr)
        return 0;
    CTStringConcatAW clLiteral(-2, static_cast<unsigned>(_nCodePage()));
    if (!m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, pValue, eItemType, eItemType))
        return 0;
    std::wstring strLiteral(clLiteral.pszGetW());
    if (m_pclConnection->eGetDataSource() == 3 && !pValue->bIsNull()) {
        _ChangeEscapement(_cLikeEscape(pclParameter, pnPos), &strLiteral);
        if (strLiteral.empty())
            return 0;
    }
    if (m_pclConnection->eGetDataSource() == 2) {
        std::wstring s;
        for (wchar_t c : strLiteral)
            s += c == L'[' ? std::wstring(L"[[]") : std::wstring(1, c);
        strLiteral.swap(s);
    }
    s_AddLiteral(m_clFormated, strLiteral.c_str());
    // The ESCAPE clause follows the value, whatever form its literal took.
    std::wstring strValue;
    CAny clText;
    pValue->pclGetTraitement()->Duplique(&clText);
    clText.SetFlags(0);
    const wchar_t* pszValue = nullptr;
    if (!pValue->bIsNull() && clText.__nCastTo(TQTYPE_DSTRW, nullptr, 0) == TQSTATUS_OK &&
        clText.pclGetTraitement()->nGetPCWSTR(&pszValue) <= 99 && pszValue != nullptr)
        strValue = pszValue;
    vAddEscapeLikeIfNeeded(pclParameter, strValue.c_str(), pnPos);
    return 1;
}

wchar_t CNACommand::_cLikeEscape(CNAParameter* pclParameter, const unsigned int* pnPos)
{
    const wchar_t c = pclParameter != nullptr && pclParameter->cGetEscape() != 0 ? pclParameter->cGetEscape() : L'\\';
    const int eKind = m_pclConnection != nullptr ? m_pclConnection->eGetDataSource() : 0;
    const std::wstring strSQL(m_clSQL.pszGetW());
    const unsigned int nPos = pnPos != nullptr ? *pnPos : static_cast<unsigned int>(strSQL.size());
    // A clause the text keeps names the parameter's own character; MySQL
    // gets its clause from the driver in place of one it can replace.
    if (_bEscapeWordAt(strSQL, nPos) &&
        (eKind != CNAConnectionDescription::DS_MYSQL || s_nGetEscapeClauseEnd(strSQL.c_str(), nPos) < 0))
        return c;
    // A quote, or a backslash where it escapes, would end or bend the
    // literal of the ESCAPE clause: another character takes its place.
    if (c == L'\'' || (c == L'\\' && eKind == CNAConnectionDescription::DS_MYSQL))
        return L'!';
    return c;
}

int CNACommand::s_nGetEscapeClauseEnd(const wchar_t* pszText, unsigned int nPos)
{
    const std::wstring s(Text(pszText));
    size_t i = nPos;
    while (i < s.size() && _bBlank(s[i]))
        i++;
    if (!_bEscapeWordAt(s, i))
        return -1;
    i += 6;
    while (i < s.size() && _bBlank(s[i]))
        i++;
    if (i >= s.size() || s[i] != L'\'')
        return -1;
    // 'c', or '''' for a quote; a quote right after is a longer literal.
    size_t k = 0;
    if (s.compare(i + 1, 3, L"'''") == 0)
        k = i + 4;
    else if (i + 2 < s.size() && s[i + 1] != L'\'' && s[i + 2] == L'\'')
        k = i + 3;
    else
        return -1;
    if (k < s.size() && s[k] == L'\'')
        return -1;
    return static_cast<int>(k);
}

void CNACommand::_ChangeEscapement(wchar_t cEscape, std::wstring* pstrLiteral)
{
    wchar_t* psz = pszChangeEscape(pstrLiteral->c_str(), L"%", L"[", L"]", L"_", L"[", L"]", cEscape);
    if (psz == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, kFile, kPointNoMemory, m_pclConnection);
        pstrLiteral->clear();
        return;
    }
    pstrLiteral->assign(psz);
    free(psz);
}

void CNACommand::vAddEscapeLikeIfNeeded(CNAParameter* pclParameter, const wchar_t* pszLiteral, unsigned int* pnPos)
{
    const int eKind = m_pclConnection != nullptr ? m_pclConnection->eGetDataSource() : 0;
    const bool bMySQL = eKind == CNAConnectionDescription::DS_MYSQL;
    const std::wstring strSQL(m_clSQL.pszGetW());
    const unsigned int nPos = pnPos != nullptr ? *pnPos : static_cast<unsigned int>(strSQL.size());
    const bool bWord = _bEscapeWordAt(strSQL, nPos);
    const int nEnd = s_nGetEscapeClauseEnd(strSQL.c_str(), nPos);
    const wchar_t cEscape = _cLikeEscape(pclParameter, pnPos);
    // Only a clause of one literal character is replaced: past anything
    // else a later value could stand outside its literal.
    if (nEnd >= 0 && pnPos != nullptr && (eKind == 3 || bMySQL))
        *pnPos = static_cast<unsigned int>(nEnd);
    if (eKind == 3 || (bWord && !(bMySQL && nEnd >= 0)))
        return;
    // Under NO_BACKSLASH_ESCAPES the server's LIKE has no escape character
    // of its own: the one used is always named.
    if (!bMySQL && (pszLiteral == nullptr || wcschr(pszLiteral, cEscape) == nullptr))
        return;
    if (cEscape == L'\\') {
        const bool bDouble =
            eKind == 12 || (eKind == 6 && m_pclConnection != nullptr && m_pclConnection->nGetServerVersionMajor() < 9);
        s_AddSQL(m_clFormated, bDouble ? L" ESCAPE '\\\\'" : L" ESCAPE '\\'");
        return;
    }
    s_AddSQL(m_clFormated, (std::wstring(L" ESCAPE '") + cEscape + L"'").c_str());
}

void CNACommand::_RemplaceTopParLimit()
{
    std::wstring s(m_clFormated.pszGetW());
    if (m_bVerbatim || !_bSelectFirst(s))
        return;
    long long llCount = -1;
    bool bTop = false;
    if (s.size() > 11) {
        size_t i = 6;
        while (i < s.size() && _bBlank(s[i]))
            i++;
        if (_bAt(s, i, L"TOP") && i + 3 < s.size() && _bBlank(s[i + 3])) {
            size_t k = i + 3;
            while (k < s.size() && _bBlank(s[k]))
                k++;
            size_t nEnd = k;
            while (nEnd < s.size() && s[nEnd] >= L'0' && s[nEnd] <= L'9')
                nEnd++;
            if (nEnd > k && (nEnd == s.size() || s_bSeparateur(s[nEnd]))) {
                llCount = _llReadNumber(s, &k);
                s.erase(i, k - i);
                m_clFormated.m_clA.m_nLength = 0;
                m_clFormated.m_clW.m_nLength = 0;
                m_clFormated.Add(s.c_str(), static_cast<int>(s.size()), 0);
                m_llRowLimit = -1;
                bTop = true;
            }
        }
    }
    if (!bTop) {
        llCount = m_llRowLimit;
        if (llCount < 0)
            return;
    }
    if (llCount <= 0)
        return;
    // The limit ends the statement as the session reads it: after a final
    // ";" or inside a trailing comment it would be no limit.
    s.resize(s_stGetTextEnd(m_pclConnection, s.c_str()).nStatementEnd);
    if (s_bRequeteTerminePar(s.c_str(), L"LIMIT 0"))
        return;
    m_clFormated.m_clA.m_nLength = 0;
    m_clFormated.m_clW.m_nLength = 0;
    m_clFormated.Add(s.c_str(), static_cast<int>(s.size()), 0);
    s_AddSQL(m_clFormated, s_pszClauseJoin(s, s.size()));
    s_AddSQL(m_clFormated, L"LIMIT ");
    if (m_llRowOffset > 0) {
        m_clFormated.AddNumber(m_llRowOffset, 0);
        m_clFormated.Add(L", ", -1, 0);
    }
    m_clFormated.AddNumber(llCount, 0);
}

void CNACommand::_RemplaceLimitParTop()
{
    const std::wstring s(m_clFormated.pszGetW());
    if (m_bVerbatim || !_bSelectFirst(s))
        return;
    const int nLimit = s_nGetClauseStart(m_pclConnection, s.c_str(), L"LIMIT", -1);
    if (nLimit <= 0)
        return;
    size_t i = static_cast<size_t>(nLimit) + 5;
    while (i < s.size() && s_bSeparateur(s[i]))
        i++;
    long long llCount = -1;
    if (i < s.size() && s[i] >= L'0' && s[i] <= L'9')
        llCount = _llReadNumber(s, &i);
    while (i < s.size() && (s[i] == L',' || s_bSeparateur(s[i])))
        i++;
    if (i < s.size() && s[i] >= L'0' && s[i] <= L'9') {
        size_t k = i;
        if (_llReadNumber(s, &k) > 0)
            return;
    }
    size_t nEnd = static_cast<size_t>(nLimit);
    while (nEnd > 0 && s_bSeparateur(s[nEnd - 1]))
        nEnd--;
    std::wstring t = L"SELECT TOP ";
    t += std::to_wstring(llCount);
    t += L" ";
    if (nEnd > 6)
        t += s.substr(6, nEnd - 6);
    m_clFormated.m_clA.m_nLength = 0;
    m_clFormated.m_clW.m_nLength = 0;
    m_clFormated.Add(t.c_str(), static_cast<int>(t.size()), 0);
}

CTStringConcatAW* CNACommand::pclGetFormatedSQL(ePARAMTYPECONV eMask)
{
    if (m_clFormated.m_clW.m_nLength == 0 && m_clFormated.m_clA.m_nLength == 0) {
        if (!_bBuildFormatedSQL(eMask)) {
            // A failed build is never served later.
            ResetFormatedSQL();
            return nullptr;
        }
    }
    return &m_clFormated;
}

const wchar_t* CNACommand::pszGetFormatedSQLW(ePARAMTYPECONV eMask)
{
    CTStringConcatAW* pcl = pclGetFormatedSQL(eMask);
    return pcl != nullptr ? pcl->pszGetW() : nullptr;
}

const char* CNACommand::pszGetFormatedSQLA(ePARAMTYPECONV eMask)
{
    CTStringConcatAW* pcl = pclGetFormatedSQL(eMask);
    return pcl != nullptr ? pcl->pszGetA() : nullptr;
}

// ---- Dump ----------------------------------------------------------------------------------------------------

const wchar_t* CNACommand::pszGetCommandDump()
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    if (pclDriver != nullptr)
        pclDriver->InitQueryDumpRessources();
    auto Label = [pclDriver](int n) { return pclDriver != nullptr ? Text(pclDriver->pszGetLabel(n)) : L""; };
    m_clDump.m_clA.m_nLength = 0;
    m_clDump.m_clW.m_nLength = 0;
    m_clDump.Add(Label(1), -1, 0);
    m_clDump.Add(m_clSQL.pszGetW(), -1, 0);
    m_clDump.Add(L"\r\n", 2, 0);
    m_clDump.Add(Label(2), -1, 0);
    m_clDump.Add(L"=", 1, 0);
    m_clDump.AddNumber(m_tabParameter.nGetNbElement(), 0);
    m_clDump.Add(L"\r\n", 2, 0);
    for (int i = 0; i < m_tabParameter.nGetNbElement(); i++) {
        CNAParameter* p = m_tabParameter[i];
        m_clDump.Add(Label(3), -1, 0);
        m_clDump.Add(L" ", 1, 0);
        m_clDump.AddNumber(i, 0);
        m_clDump.Add(L" :\t", -1, 0);
        if (p != nullptr && (p->nGetFlags() & CNAParameter::PF_CURSOR)) {
            m_clDump.Add(L" = <cursor parameter>", -1, 0);
        } else {
            CAny clValue;
            CNAConvertVariant* pclCell = p != nullptr ? p->pclGetValue() : nullptr;
            if (pclCell != nullptr)
                pclCell->bGetValue(&clValue);
            m_clDump.Add(Label(4), -1, 0);
            m_clDump.AddNumber(static_cast<int>(clValue.nGetTypeCode()), 0);
            m_clDump.Add(L" = <", -1, 0);
            if (clValue.nGetTypeCode() == TQTYPE_BUFFER) {
                unsigned int nSize = 0;
                clValue.pclGetTraitement()->nGetDataSize(&nSize);
                m_clDump.Add(L"Buffer, size = ", -1, 0);
                m_clDump.AddNumber(static_cast<int>(nSize), 0);
            } else {
                CAny clText;
                clValue.pclGetTraitement()->Duplique(&clText);
                clText.SetFlags(0);
                const wchar_t* psz = nullptr;
                if (!clValue.bIsNull() && clText.__nCastTo(TQTYPE_DSTRW, nullptr, 0) == TQSTATUS_OK &&
                    clText.pclGetTraitement()->nGetPCWSTR(&psz) <= 99 && psz != nullptr)
                    m_clDump.Add(psz, -1, 0);
                else
                    m_clDump.Add(Label(7), -1, 0);
            }
            m_clDump.Add(L">", 1, 0);
        }
        m_clDump.Add(L"\r\n", 2, 0);
    }
    return m_clDump.pszGetW();
}

// ---- Scanners ----------------------------------------------------------------------------------------------

int CNACommand::s_bSeparateur(wchar_t c)
{
    return _bBlank(c) || c == L'!' || c == L'%' || c == L'(' || c == L')' || c == L'*' || c == L'+' ||
           c == L',' || c == L'-' || c == L'/' || c == L'=';
}

int CNACommand::s_nGetClauseStart(CNAConnectionDescription* pclConnection, const wchar_t* pszText,
                                  const wchar_t* pszKeyword, int nStart, int eReading)
{
    const std::wstring s = _Upper(pszText);
    const std::wstring k = _Upper(pszKeyword);
    if (s.empty() || k.empty())
        return -1;
    const int nLength = static_cast<int>(s.size());
    int i = nStart < 0 || nStart >= nLength ? nLength - 1 : nStart;
    int nEnd = TE_CODE;
    const std::vector<unsigned char> tabRead = s_tabReadText(pclConnection, s, eReading, &nEnd);
    const int nKeyword = static_cast<int>(k.size());
    auto SepAt = [&](int n) { return n < 0 || n >= nLength || s_bSeparateur(s[n]); };
    for (; i >= 1; i--) {
        if (i + nKeyword > nLength || s.compare(static_cast<size_t>(i), k.size(), k) != 0 || !SepAt(i - 1) ||
            !SepAt(i + nKeyword))
            continue;
        bool bCode = true;
        for (int n = i; n < i + nKeyword && bCode; n++)
            bCode = tabRead[static_cast<size_t>(n)] == RM_CODE;
        if (bCode)
            return i;
    }
    return -1;
}

CNACommand::STextEnd CNACommand::s_stGetTextEnd(CNAConnectionDescription* pclConnection, const wchar_t* pszText,
                                                 int eReading)
{
    const std::wstring s(Text(pszText));
    STextEnd st = {TE_CODE, static_cast<unsigned int>(s.size()), 0};
    const std::vector<unsigned char> tabRead = s_tabReadText(pclConnection, s, eReading, &st.nEnd);
    // The server refuses a comment left open: the text stays whole.
    if (st.nEnd == TE_OPEN_COMMENT)
        return st;
    // Back over comments, blanks and semicolons; a literal's end stops.
    const auto bBlank = eReading == TR_HOST ? _bBlank : _bServerBlank;
    size_t n = s.size();
    while (n > 0 && (tabRead[n - 1] == RM_COMMENT ||
                     (tabRead[n - 1] == RM_CODE && (bBlank(s[n - 1]) || s[n - 1] == L';'))))
        n--;
    st.nStatementEnd = static_cast<unsigned int>(n);
    for (size_t i = 0; i < n && !st.bSeveral; i++)
        st.bSeveral = tabRead[i] == RM_CODE && s[i] == L';';
    return st;
}

const wchar_t* CNACommand::s_pszClauseJoin(const std::wstring& s, size_t nEnd)
{
    return nEnd > 0 && nEnd <= s.size() && s[nEnd - 1] == L'-' ? L"" : L" ";
}

bool CNACommand::s_bSeveralSelects(CNAConnectionDescription* pclConnection, const wchar_t* pszText, size_t nLength,
                                   int eReading)
{
    for (const wchar_t* pszSet : {L"UNION", L"INTERSECT", L"EXCEPT"})
        if (s_nGetTopLevelKeyword(pclConnection, pszText, nLength, pszSet, eReading, false) >= 0)
            return true;
    // MINUS joins SELECTs only under its sql_mode, and only before another
    // SELECT or a VALUES: elsewhere it is a name, which the driver writes
    // quoted. The session is asked only where the text holds such a word.
    const std::wstring s(Text(pszText), std::min(nLength, wcslen(Text(pszText))));
    for (int n = s_nGetTopLevelKeyword(pclConnection, pszText, s.size(), L"MINUS", eReading, false); n >= 0;
         n = n > 0 ? s_nGetTopLevelKeyword(pclConnection, pszText, static_cast<size_t>(n), L"MINUS", eReading, false)
                   : -1) {
        size_t i = static_cast<size_t>(n) + 5;
        while (i < s.size() && _bServerBlank(s[i]))
            i++;
        const auto Word = [&s, i](const wchar_t* pszWord) {
            const size_t nEnd = i + wcslen(pszWord);
            return _bAt(s, i, pszWord) && (nEnd == s.size() || !s_bNameChar(s[nEnd]));
        };
        if (i < s.size() &&
            (s[i] == L'(' || Word(L"SELECT") || Word(L"VALUES") || Word(L"ALL") || Word(L"DISTINCT")))
            return pclConnection != nullptr && pclConnection->bMinusSetOperator();
    }
    return false;
}

int CNACommand::s_bQueryResultsetLimited(CNAConnectionDescription* pclConnection, const wchar_t* pszText)
{
    const std::wstring s(Text(pszText));
    size_t nSelect = 0;
    while (nSelect < s.size() && _bServerBlank(s[nSelect]))
        nSelect++;
    if (!_bAt(s, nSelect, L"SELECT")) {
        // Comments too, as the session reads them, where the text has any.
        int nEnd = TE_CODE;
        const std::vector<unsigned char> tabRead = s_tabReadText(pclConnection, s, TR_SESSION, &nEnd);
        while (nSelect < s.size() && (_bServerBlank(s[nSelect]) || tabRead[nSelect] == RM_COMMENT))
            nSelect++;
    }
    if (!_bSelectFirst(s.substr(nSelect)))
        return 0;
    // The query's own LIMIT: one inside a subquery limits the subquery.
    if (s_nGetTopLevelKeyword(pclConnection, pszText, s.size(), L"LIMIT", TR_HOST, false) > 0)
        return 1;
    // Another order or condition would name one SELECT's columns.
    if (s_bSeveralSelects(pclConnection, pszText, s.size(), TR_HOST))
        return 1;
    if (s.size() - nSelect < 12)
        return 0;
    size_t i = nSelect + 6;
    while (i < s.size() && _bBlank(s[i]))
        i++;
    return _bAt(s, i, L"TOP") && i + 3 < s.size() && _bBlank(s[i + 3]);
}

int CNACommand::s_bRequeteTerminePar(const wchar_t* pszText, const wchar_t* pszWord)
{
    const std::wstring s(Text(pszText));
    const size_t nWord = wcslen(Text(pszWord));
    size_t nEnd = s.size();
    while (nEnd > 0 && s_bSeparateur(s[nEnd - 1]))
        nEnd--;
    if (nWord == 0 || nEnd < nWord + 1)
        return 0;
    const size_t nStart = nEnd - nWord;
    return _bAt(s, nStart, pszWord) && nStart >= 1 && s_bSeparateur(s[nStart - 1]);
}

int CNACommand::s_bIsQuerySet(const wchar_t* pszText)
{
    const std::wstring s(Text(pszText));
    size_t i = 0;
    while (i < s.size() && _bBlank(s[i]))
        i++;
    if (!_bAt(s, i, L"SET"))
        return 0;
    i += 3;
    if (i < s.size() && !_bBlank(s[i]) && s[i] != L';')
        return 0; // a longer word
    auto SkipBlanks = [&]() {
        while (i < s.size() && _bBlank(s[i]))
            i++;
    };
    auto AtEnd = [&]() {
        size_t k = i;
        while (k < s.size() && (_bBlank(s[k]) || s[k] == L';'))
            k++;
        return k == s.size();
    };
    SkipBlanks();
    if (AtEnd())
        return 1;
    // The name ends at a blank or "=".
    while (i < s.size() && !_bBlank(s[i]) && s[i] != L'=' && s[i] != L';')
        i++;
    SkipBlanks();
    if (AtEnd())
        return 1;
    if (s[i] == L'=') {
        i++;
        SkipBlanks();
    }
    if (i < s.size() && s[i] != L';') {
        while (i < s.size() && !_bBlank(s[i]) && s[i] != L';')
            i++;
    }
    return AtEnd();
}

int CNACommand::s_nGetPosSuiteRequete(const wchar_t* pszText, const wchar_t* pszWord)
{
    const std::wstring s(Text(pszText));
    size_t i = 0;
    while (i < s.size() && _bBlank(s[i]))
        i++;
    return _bAt(s, i, Text(pszWord)) ? static_cast<int>(i) : -1;
}

int CNACommand::s_bSuiteRequeteCommencePar(const wchar_t* pszText, const wchar_t* pszWord)
{
    return s_nGetPosSuiteRequete(pszText, pszWord) >= 0;
}

int CNACommand::s_bSuiteRequeteCommenceParMot(const wchar_t* pszText, const wchar_t* pszWord)
{
    const int n = s_nGetPosSuiteRequete(pszText, pszWord);
    if (n < 0)
        return 0;
    const size_t nAfter = static_cast<size_t>(n) + wcslen(Text(pszWord));
    const std::wstring s(Text(pszText));
    return nAfter >= s.size() || s_bSeparateur(s[nAfter]);
}
