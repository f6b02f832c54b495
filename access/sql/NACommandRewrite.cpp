// A host-parsed query rewritten into the server's dialect: the clause walk
// over the elements of the host text, the clause handlers, the parameter
// pass, the end of the query and the refresh of the host's named values.
// The host text is kept; only the elements are written again, and one copy
// position moves forward over the text so that no host character is
// emitted twice.
#include "access/sql/NACommand.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/ColumnNullValueExcluded.h"
#include "access/sql/INAQueryParametersValue.h"
#include "access/sql/NASqlElt.h"
#include "access/sql/SQLParserInfo.h"
#include "access/sql/TabValParser.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TextCompare.h"
#include "common/values/NACnvVariant.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

const int kFile = CNACommand::ERRFILE_COMMAND;

enum : int {
    kPointNoQuery = 60,
    kPointUnplacedEntry = 61,
    kPointHostFault = 62,
    kPointPassMemory = 63,
};

const wchar_t* Text(const wchar_t* psz) { return psz != nullptr ? psz : L""; }
bool bEmpty(const wchar_t* psz) { return psz == nullptr || psz[0] == 0; }
bool bBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool bText8(unsigned char n) { return n == 17 || n == 18 || n == 19 || n == 134 || (n >= 21 && n <= 23); }
bool bWide(unsigned char n) { return n == 16 || n == 20 || n == 81 || n == 110; }

// Whether the keyword stands at i as a whole word (CNACommand::s_bWordAt).
bool bWordAt(const wchar_t* psz, size_t nLength, size_t i, const wchar_t* pszWord)
{
    return CNACommand::s_bWordAt(psz, nLength, i, pszWord);
}

// Whether the character may stand in a name written without quotes:
// letters, "_", characters beyond ASCII, digits after the first.
bool bNameCharacter(wchar_t c, bool bFirst)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c >= 0x80 ||
           (!bFirst && c >= L'0' && c <= L'9');
}

// A name of the host's text from i, before nEnd: in "" or [], else written
// without quotes. *pnAfter is past it; false when no name stands there.
bool bHostName(const wchar_t* psz, size_t nEnd, size_t i, std::wstring* pstrName, size_t* pnAfter)
{
    if (i >= nEnd)
        return false;
    const wchar_t* pEnd = psz + nEnd;
    const wchar_t* p = nullptr;
    if (psz[i] == L'"' || psz[i] == L'[') {
        p = std::find(psz + i + 1, pEnd, psz[i] == L'"' ? L'"' : L']');
        if (p == pEnd)
            return false;
        pstrName->assign(psz + i + 1, p++);
    } else {
        if (!bNameCharacter(psz[i], true))
            return false;
        p = std::find_if(psz + i, pEnd, [](wchar_t c) { return !bNameCharacter(c, false); });
        pstrName->assign(psz + i, p);
    }
    *pnAfter = static_cast<size_t>(p - psz);
    return true;
}

// The text of an entry (start to stop, in the text's nLength characters)
// when it is a column written after its table (t.c, "t" . [c]): the two
// names; false for anything else.
bool bTableColumn(const wchar_t* psz, size_t nLength, tagRECT st, std::wstring* pstrTable, std::wstring* pstrColumn)
{
    // A position the host leaves out (-1) reads past the end.
    const size_t nEnd = std::min(static_cast<size_t>(st.right) + 1, nLength);
    const auto Blanks = [&](size_t i) {
        return static_cast<size_t>(std::find_if(psz + i, psz + nEnd, [](wchar_t c) { return !bBlank(c); }) - psz);
    };
    size_t i = 0;
    if (!bHostName(psz, nEnd, static_cast<size_t>(st.left), pstrTable, &i))
        return false;
    i = Blanks(i);
    if (i == nEnd || psz[i] != L'.')
        return false;
    return bHostName(psz, nEnd, Blanks(i + 1), pstrColumn, &i) && i == nEnd;
}

// The elements of a walk, released with it.
struct SElements {
    std::vector<CNASqlElt*> tab;
    ~SElements()
    {
        for (CNASqlElt* p : tab)
            p->nRelease();
    }
    void Add(CNASqlElt::eSQLELT e, int nStart, int nStop)
    {
        CNASqlElt* p = new CNASqlElt(e, static_cast<unsigned int>(std::max(nStart, 0)),
                                     static_cast<unsigned int>(std::max(nStop, 0)));
        p->AddRef();
        tab.push_back(p);
    }
};

} // namespace

// ---- The digest and the end of the query -------------------------------------------------------------

void CNACommand::_SetSQLParserInfo(CSQLParserInfo* pclInfo)
{
    if (pclInfo != nullptr)
        pclInfo->AddRef();
    if (m_pclParserInfo != nullptr)
        m_pclParserInfo->nRelease();
    m_pclParserInfo = pclInfo;
    if (pclInfo == nullptr)
        return;
    if (m_bVerbatim) {
        if (s_bIsQuerySet(pclInfo->pszGetRequete()))
            m_eQueryType = 10;
    } else if (m_eQueryType == 0) {
        m_eQueryType = eConvertTypeQuery(pclInfo->eGetTypeRequete());
    }
}

int CNACommand::bFormatEndOfQuery()
{
    if (m_pclParserInfo == nullptr || m_bVerbatim)
        return 1;
    ISQLParserInformation* piParser = m_pclParserInfo->piGetSQLParserInformationNoRef();
    const wchar_t* pszText = m_pclParserInfo->pszGetRequete();
    if (piParser == nullptr || pszText == nullptr)
        return 1;
    int n = piParser->nGetLastClauseStop();
    if (n == -1)
        n = piParser->nGetHavingStop();
    if (n == -1 || n == -2)
        n = piParser->nGetQueryStop();
    if (n == -1 || n == -2)
        n = piParser->nGetWhereStop();
    const unsigned int nLength = _nStatementLength(pszText);
    if (n >= 1 && nLength > static_cast<unsigned int>(n) + 2) {
        unsigned int nPos = static_cast<unsigned int>(n) + 1;
        _CopyHost(pszText, &nPos, nLength);
    }
    return _bHostWritten();
}

int CNACommand::_eHostTextReading() const
{
    return m_bVerbatim ? TR_SESSION : TR_HOST;
}

unsigned int CNACommand::_nStatementLength(const wchar_t* pszText)
{
    return s_stGetTextEnd(m_pclConnection, pszText, _eHostTextReading()).nStatementEnd;
}

// ---- Clause positions ------------------------------------------------------------------------------------

int CNACommand::_bGetClausePos(unsigned int* pnStart, unsigned int* pnStop, CSQLParserInfo* pclInfo, int eKind)
{
    const wchar_t* pszText = pclInfo != nullptr ? pclInfo->pszGetRequete() : nullptr;
    const unsigned int nLength = pszText != nullptr ? _nStatementLength(pszText) : 0;
    ISQLParserInformation* piParser = pclInfo != nullptr ? pclInfo->piGetSQLParserInformationNoRef() : nullptr;
    *pnStart = *pnStop = nLength;
    if (piParser == nullptr)
        return 1;
    struct SClause {
        int eKind;
        int nStart;
        int nStop;
        bool bPresent;
    } astClause[5] = {};
    const int nFrom = pclInfo->nGetFichierFromNbr();
    if (nFrom > 0) {
        const int nLast = pclInfo->piGetFichierFrom(nFrom - 1)->stGetPosition().right;
        if (nLast > 0) {
            const int n = s_nGetClauseStart(m_pclConnection, pszText, L"FROM",
                                            pclInfo->piGetFichierFrom(0)->stGetPosition().left - 1,
                                            _eHostTextReading());
            astClause[0] = {2, n, nLast, n > 0};
        }
    }
    astClause[1] = {3, piParser->nGetWhereStart(), piParser->nGetWhereStop(), piParser->nGetWhereStart() != 0};
    CInfoGroupe* piFirst = pclInfo->piEnumRubriqueClauseGroupe(1);
    if (piFirst != nullptr) {
        int nStop = piFirst->stGetPosition().right;
        for (CInfoGroupe* pi = pclInfo->piEnumRubriqueClauseGroupe(0); pi != nullptr;
             pi = pclInfo->piEnumRubriqueClauseGroupe(0))
            nStop = pi->stGetPosition().right;
        const int n = s_nGetClauseStart(m_pclConnection, pszText, L"GROUP", piFirst->stGetPosition().left - 1,
                                        _eHostTextReading());
        astClause[2] = {4, n, nStop, n > 0};
    }
    astClause[3] = {5, piParser->nGetHavingStart(), piParser->nGetHavingStop(), piParser->nGetHavingStart() != 0};
    astClause[4] = {6, piParser->nGetOrderByStart(), static_cast<int>(nLength), piParser->nGetOrderByStart() != 0};
    for (const SClause& st : astClause) {
        if (!st.bPresent || st.nStart < 0)
            continue;
        if (st.eKind > eKind) {
            *pnStart = *pnStop = static_cast<unsigned int>(st.nStart - 1);
            return 1;
        }
        if (st.eKind == eKind) {
            *pnStart = static_cast<unsigned int>(st.nStart);
            *pnStop = static_cast<unsigned int>(std::max(st.nStop, st.nStart));
            return 1;
        }
    }
    // At the end, but before a trailing LIMIT: a condition after it would
    // be no SQL.
    const int nLimit = s_nGetTopLevelKeyword(m_pclConnection, pszText, nLength, L"LIMIT", _eHostTextReading(), false);
    if (nLimit > 0)
        *pnStart = *pnStop = static_cast<unsigned int>(nLimit - 1);
    return 1;
}

unsigned int CNACommand::_nGetClauseStart(CSQLParserInfo* pclInfo, int eKind)
{
    unsigned int nStart = 0, nStop = 0;
    _bGetClausePos(&nStart, &nStop, pclInfo, eKind);
    return nStart;
}

unsigned int CNACommand::_nGetClauseStop(CSQLParserInfo* pclInfo, int eKind)
{
    unsigned int nStart = 0, nStop = 0;
    _bGetClausePos(&nStart, &nStop, pclInfo, eKind);
    return nStop;
}

// ---- The walk -------------------------------------------------------------------------------------------------

int CNACommand::bFormatCondition(CSQLParserInfo* pclInfo, CNACommand* pclFilter, int bKeepOrderBy, int nQueryMode)
{
    if (pclInfo == nullptr || pclInfo->pszGetRequete() == nullptr ||
        pclInfo->piGetSQLParserInformationNoRef() == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointNoQuery, m_pclConnection, nullptr, nullptr,
                                       ZTERR_NO_QUERY_TYPE);
        return 0;
    }
    m_bVerbatim = nQueryMode == 1 || (nQueryMode & 4) != 0 ? 1 : 0;
    if (m_bVerbatim)
        m_nDefineMode = 3;
    _SetSQLParserInfo(pclInfo);
    try {
        ISQLParserInformation* piParser = pclInfo->piGetSQLParserInformationNoRef();
        const std::wstring strText(pclInfo->pszGetRequete(), _nStatementLength(pclInfo->pszGetRequete()));
        const wchar_t* pszText = strText.c_str();
        const unsigned int nLength = static_cast<unsigned int>(strText.size());
        const int nWhereStart = piParser->nGetWhereStart();
        const int nWhereStop = piParser->nGetWhereStop();
        const int nHavingStart = piParser->nGetHavingStart();
        const int nHavingStop = piParser->nGetHavingStop();
        const int nOrderByStart = piParser->nGetOrderByStart();
        // The walk's values: each written once.
        m_pclPassTable = nullptr;
        m_pclPassInfo = nullptr;
        const CTabValParser* pclValues = _pclPassTable(pclInfo);

        SElements stElements;
        const eTYPEREQUETE eType = pclInfo->eGetTypeRequete();
        if (!m_bVerbatim) {
            if (eType == 4) {
                IInfoInsertion* pi = pclInfo->piEnumRubriqueInsert(1);
                if (pi != nullptr) {
                    IExpOpExpression* piColumn = pi->piGetColonne();
                    IExpOpExpression* piValue = pi->piGetValeur();
                    const tagRECT stColumn = _stGetPositionExpression(piColumn);
                    const tagRECT stValue = _stGetPositionExpression(piValue);
                    piColumn->nRelease();
                    piValue->nRelease();
                    stElements.Add(CNASqlElt::SQLELT_SELECT, stColumn.left, stColumn.right);
                    stElements.Add(CNASqlElt::SQLELT_INSERTUPDATE, stValue.left, stValue.right);
                }
            } else if (eType == 3) {
                IInfoAffectation* pi = pclInfo->piEnumRubriqueUpdate(1);
                if (pi != nullptr) {
                    IExpOpExpression* piColumn = pi->piGetColonne();
                    const tagRECT st = _stGetPositionExpression(piColumn);
                    piColumn->nRelease();
                    stElements.Add(CNASqlElt::SQLELT_INSERTUPDATE, st.left, st.right);
                }
            } else if (pclInfo->nGetRubriqueOUTNbr() > 0) {
                const tagRECT st = pclInfo->piGetRubriqueOUT(0)->stGetPosition();
                stElements.Add(CNASqlElt::SQLELT_SELECT, st.left, st.right);
            }
            for (int i = 0; i < pclInfo->nGetFichierFromNbr(); i++) {
                const tagRECT st = pclInfo->piGetFichierFrom(i)->stGetPosition();
                stElements.Add(CNASqlElt::SQLELT_FROM, st.left, st.right);
            }
            IInfoRequete* piLists = piParser->piGetInfoRequete();
            for (IExpOpExpression* pi = piLists != nullptr ? piLists->piGetNextJoin(0, 1) : nullptr; pi != nullptr;
                 pi = piLists->piGetNextJoin(0, 0)) {
                const tagRECT st = _stGetPositionExpression(pi);
                stElements.Add(CNASqlElt::SQLELT_JOIN, st.left, st.right);
            }
            if (nWhereStart > 0) {
                stElements.Add(CNASqlElt::SQLELT_WHERE, nWhereStart, nWhereStop);
            } else if (pclFilter != nullptr && !pclFilter->bIsEmpty()) {
                const int n = static_cast<int>(_nGetClauseStart(pclInfo, 3));
                stElements.Add(CNASqlElt::SQLELT_WHERE, n, n);
            }
            CInfoGroupe* piGroup = pclInfo->piEnumRubriqueClauseGroupe(1);
            if (piGroup != nullptr && piGroup->stGetPosition().left > 0)
                stElements.Add(CNASqlElt::SQLELT_GROUPBY, piGroup->stGetPosition().left, piGroup->stGetPosition().right);
            if (nHavingStart > 0)
                stElements.Add(CNASqlElt::SQLELT_HAVING, nHavingStart, nHavingStop);
        }
        if (nOrderByStart > 0)
            stElements.Add(CNASqlElt::SQLELT_ORDERBY, nOrderByStart, static_cast<int>(nLength) - 1);
        if (pclValues != nullptr && pclValues->nGetNbValeur() > 0)
            stElements.Add(CNASqlElt::SQLELT_PARAMETER, pclValues->pTabValeur[0].nPosition,
                           pclValues->pTabValeur[0].nPosition + pclValues->pTabValeur[0].nLongueur);
        std::sort(stElements.tab.begin(), stElements.tab.end(),
                  [](CNASqlElt* a, CNASqlElt* b) { return CNASqlElt::pfnCmpELT(&a, &b) < 0; });

        unsigned int nPos = 0;
        int bResult = 1;
        for (size_t i = 0; i < stElements.tab.size() && bResult; i++) {
            const CNASqlElt* pclElement = stElements.tab[i];
            switch (pclElement->eGetKind()) {
            case CNASqlElt::SQLELT_SELECT:
                bResult = _bFormatSELECTList(&nPos, pszText, pclInfo);
                break;
            case CNASqlElt::SQLELT_FROM:
                bResult = _bAddFromClause(pclElement, &nPos, pszText, pclInfo);
                break;
            case CNASqlElt::SQLELT_WHERE:
                bResult = bAddTreeExpression(pclInfo, nullptr, pszText, nullptr,
                                             nWhereStart > 0 ? pclInfo->piGetWhereNoRef() : nullptr, 3, &nPos,
                                             pclFilter);
                break;
            case CNASqlElt::SQLELT_GROUPBY:
                bResult = _bFormatGROUPBY(&nPos, pszText, pclInfo);
                break;
            case CNASqlElt::SQLELT_HAVING:
                bResult = bAddTreeExpression(pclInfo, nullptr, pszText, nullptr, pclInfo->piGetHavingNoRef(), 5,
                                             &nPos, nullptr);
                break;
            case CNASqlElt::SQLELT_ORDERBY:
                // The order of several SELECTs names their output columns.
                bResult = _bFormatORDERBY(&nPos, pszText, bKeepOrderBy, 1, pclInfo->bSeveralSelects(m_pclConnection),
                                          nullptr);
                break;
            case CNASqlElt::SQLELT_PARAMETER: {
                // The values between the copy position and the next element:
                // those inside an element are its own.
                const unsigned int nUpTo = i + 1 < stElements.tab.size() ? stElements.tab[i + 1]->nGetStart() : nLength;
                bResult = _bAddClausePart(pclValues, pszText, piParser, 0, &nPos, std::max(nUpTo, nPos));
                break;
            }
            case CNASqlElt::SQLELT_JOIN:
                bResult = _bAddJoinClause(pclElement, &nPos, pszText, pclInfo);
                break;
            case CNASqlElt::SQLELT_INSERTUPDATE:
                bResult = _bFormatINSERTUPDATEList(&nPos, pszText, pclInfo);
                break;
            default:
                break;
            }
        }
        unsigned int nEnd = nLength;
        if (bResult && nPos < nLength) {
            if (m_bVerbatim && !bKeepOrderBy) {
                const int nUpper =
                    s_nGetTopLevelKeyword(m_pclConnection, pszText, nLength, L"ORDER BY", _eHostTextReading(), true);
                const int nLower =
                    s_nGetTopLevelKeyword(m_pclConnection, pszText, nLength, L"order by", _eHostTextReading(), true);
                const int nCut = std::max(nUpper, nLower);
                if (nCut >= static_cast<int>(nPos))
                    nEnd = static_cast<unsigned int>(nCut);
            }
            bResult = _bAddClausePart(pclValues, pszText, piParser, 0, &nPos, nEnd);
        }
        // A value inside host text copied as it was would reach the server
        // as the host wrote it.
        for (int i = 0; bResult && pclValues != nullptr && i < pclValues->nGetNbValeur(); i++)
            if (!m_tabPassDone[static_cast<size_t>(i)] && pclValues->pTabValeur[i].nPosition < static_cast<int>(nEnd))
                bResult = _bUnplaced(kPointUnplacedEntry);
        // The text read dies here.
        _ForgetHostText();
        return bResult && _bHostWritten();
    } catch (const std::bad_alloc&) {
        return _bNoMemory(kPointPassMemory);
    } catch (...) {
        if (m_pclError != nullptr)
            m_pclError->OnException(kFile, kPointHostFault);
        return 0;
    }
}

// ---- The parameter pass -------------------------------------------------------------------------------------

int CNACommand::_bAddPassParameter(const CTabValParser* pclTable, int i, CNAParameter** ppclParameter)
{
    const STValParser& st = pclTable->pTabValeur[i];
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAConvertVariant* pclCell =
        pclDriver != nullptr ? pclDriver->pclGetNewVariant_NV_Any(m_pclError, m_pclConnection, nullptr, &st.clValeur)
                             : nullptr;
    if (pclCell == nullptr)
        return pclDriver != nullptr ? 0 : _bNoMemory(kPointPassMemory);
    // A named host parameter stays known by its name: its value is taken
    // again when the query runs again.
    const bool bNamed = !bEmpty(st.pszNomRubrique);
    pclCell->AddRef();
    const int bAdded = bAddParameter(pclCell, -1, st.dwType | (bNamed ? CNAParameter::PF_USER : 0u), nullptr,
                                     bNamed ? st.pszNomRubrique : nullptr, 0, CNAParameter::PARAM_IN);
    pclCell->nRelease();
    if (!bAdded)
        return 0;
    if (pclTable == m_pclPassTable && static_cast<size_t>(i) < m_tabPassDone.size())
        m_tabPassDone[static_cast<size_t>(i)] = 1;
    *ppclParameter = m_tabParameter[m_tabParameter.nGetNbElement() - 1];
    return 1;
}

void CNACommand::_PlacePassParameter(const STValParser& st, CNAParameter* pclParameter, const wchar_t* pszText,
                                     unsigned int* pnPos)
{
    _CopyHost(pszText, pnPos, static_cast<unsigned int>(std::max(st.nPosition, 0)));
    pclParameter->SetPosition(_nTextLength());
    const unsigned int nAfter = static_cast<unsigned int>(std::max(st.nPosition, 0) + std::max(st.nLongueur, 0));
    *pnPos = std::max(*pnPos, std::min(nAfter, _nHostLength(pszText)));
}

int CNACommand::_bAddPassValue(const CTabValParser* pclTable, int i, const wchar_t* pszText, unsigned int* pnPos)
{
    CNAParameter* pclParameter = nullptr;
    if (!_bAddPassParameter(pclTable, i, &pclParameter))
        return 0;
    _PlacePassParameter(pclTable->pTabValeur[i], pclParameter, pszText, pnPos);
    return 1;
}

int CNACommand::_bAddClausePart(const CTabValParser* pclTable, const wchar_t* pszText,
                                ISQLParserInformation* piParser, int bWhereNames, unsigned int* pnPos,
                                unsigned int nUpTo)
{
    const int nValues = pclTable != nullptr ? pclTable->nGetNbValeur() : 0;
    const int nReferences = pclTable != nullptr ? pclTable->nGetNbRubrique() : 0;
    auto bOpen = [&](int i) {
        const STValParser& st = pclTable->pTabValeur[i];
        const bool bDone = pclTable == m_pclPassTable && static_cast<size_t>(i) < m_tabPassDone.size() &&
                           m_tabPassDone[static_cast<size_t>(i)];
        return !bDone && st.nPosition >= static_cast<int>(*pnPos) && st.nPosition < static_cast<int>(nUpTo);
    };
    int iValue = 0;
    int iReference = 0;
    int bResult = 1;
    while (bResult) {
        while (iValue < nValues && !bOpen(iValue))
            iValue++;
        while (iReference < nReferences &&
               (pclTable->pTabRubrique[iReference].nPosition < static_cast<int>(*pnPos) ||
                pclTable->pTabRubrique[iReference].nPosition >= static_cast<int>(nUpTo)))
            iReference++;
        const bool bValue = iValue < nValues;
        const bool bReference = iReference < nReferences;
        if (!bValue && !bReference)
            break;
        if (bValue && (!bReference || pclTable->pTabValeur[iValue].nPosition < pclTable->pTabRubrique[iReference].nPosition)) {
            // A value with no item reference before it.
            bResult = _bAddPassValue(pclTable, iValue, pszText, pnPos);
            continue;
        }
        // An item reference, with the value after it and before the next one.
        const STValParser& stReference = pclTable->pTabRubrique[iReference];
        const int nNext = iReference + 1 < nReferences ? pclTable->pTabRubrique[iReference + 1].nPosition
                                                       : static_cast<int>(nUpTo);
        const int nPaired = bValue && pclTable->pTabValeur[iValue].nPosition < nNext ? iValue : -1;
        // The value is added first (the name may be formatted with it) and
        // placed after the name.
        CNAParameter* pclParameter = nullptr;
        if (nPaired >= 0 && !(bResult = _bAddPassParameter(pclTable, nPaired, &pclParameter)))
            break;
        _CopyHost(pszText, pnPos, static_cast<unsigned int>(std::max(stReference.nPosition, 0)));
        CTString csName;
        if (bWhereNames) {
            _FormatItemNameInWHEREClause(piParser, Text(stReference.pszNomTable), Text(stReference.pszNomRubrique),
                                         &csName, pclParameter);
        } else {
            CTString csTable, csItem;
            _FormatTableName(stReference.pszNomTable, &csTable);
            _FormatItemName(stReference.pszNomRubrique, &csItem);
            if (csTable.nTaille() > 0) {
                csTable.Add(L".");
                csTable.Add(csItem.pszGet());
                csName.Set(csTable.pszGet());
            } else {
                csName.Set(csItem.pszGet());
            }
        }
        _AddSQL(csName.pszGet());
        *pnPos = std::max(*pnPos, static_cast<unsigned int>(std::max(stReference.nPosition + stReference.nLongueur, 0)));
        iReference++;
        if (pclParameter != nullptr)
            _PlacePassParameter(pclTable->pTabValeur[nPaired], pclParameter, pszText, pnPos);
    }
    _CopyHost(pszText, pnPos, nUpTo);
    return bResult;
}

int CNACommand::_bAddClause(const CTabValParser* pclValues, const wchar_t* pszText, ISQLParserInformation* piParser,
                            int bWhereNames)
{
    if (pszText == nullptr || pszText[0] == 0)
        return 1;
    if (pclValues != m_pclPassTable) {
        m_pclPassTable = pclValues;
        m_pclPassInfo = nullptr;
        m_tabPassDone.assign(pclValues != nullptr ? static_cast<size_t>(pclValues->nGetNbValeur()) : 0, 0);
    }
    unsigned int nPos = 0;
    return _bAddClausePart(pclValues, pszText, piParser, bWhereNames, &nPos, _nStatementLength(pszText)) &&
           _bHostWritten();
}

int CNACommand::bComplete(ISQLParserInformation* piParser)
{
    if (piParser == nullptr)
        return 1;
    try {
        const CTabValParser* pclValues = piParser->pclGetTabValParser();
        m_pclPassTable = nullptr;
        return _bAddClause(pclValues, piParser->pszGetRequete(), piParser, 1);
    } catch (const std::bad_alloc&) {
        return _bNoMemory(kPointPassMemory);
    } catch (...) {
        if (m_pclError != nullptr)
            m_pclError->OnException(kFile, kPointHostFault + 10);
        return 0;
    }
}

// ---- Names of the clauses ----------------------------------------------------------------------------------

void CNACommand::_FormatItemNameInWHEREClause(ISQLParserInformation* piParser, const wchar_t* pszName,
                                              CTString* pclOut, CNAParameter* pclParameter)
{
    _FormatItemNameInWHEREClause(piParser, L"", pszName, pclOut, pclParameter);
}

void CNACommand::_FormatItemNameInWHEREClause(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                              const wchar_t* pszName, CTString* pclOut, CNAParameter* pclParameter)
{
    std::wstring strTable = Text(pszTable);
    std::wstring strName = Text(pszName);
    IInfoRubrique* piOut = _piGetInfoRubriqueFromAlias(piParser, pszTable, pszName);
    if (piOut != nullptr) {
        if (piOut->eGetCalcul() == 0) {
            strTable = Text(piOut->pszGetNomTable());
            strName = Text(piOut->pszGetNomRubriqueSource());
        }
        piOut->nRelease();
    }
    INAItemDescription* piItem = CSQLParserInfo::s_piGetItemDescription(piParser, strTable.c_str(), strName.c_str());
    if (piItem == nullptr) {
        _FormatTableAndItemName(strTable.c_str(), strName.c_str(), pclOut);
        return;
    }
    // A table of that name: its name in the database.
    const wchar_t* pszPhysical = CSQLParserInfo::pszGetPhysicalName(strTable.c_str(), piParser);
    if (pszPhysical != nullptr) {
        strTable = pszPhysical;
    } else {
        INADataSourceDescription* piSource = CSQLParserInfo::s_piGetTableDescription(piParser, strTable.c_str());
        if (piSource != nullptr) {
            if (!bEmpty(piSource->pszGetDBTableName()))
                strTable = piSource->pszGetDBTableName();
            piSource->nExternalRelease();
        }
    }
    FormatExpressionItemName(3, pclParameter != nullptr ? pclParameter->eGetOperator() : -1, piItem, strTable.c_str(),
                             piItem->pszGetName(), pclOut);
    piItem->nExternalRelease();
}

void CNACommand::_FormatRubriqueAlias(unsigned int, const wchar_t*, CSQLParserInfo* pclInfo, const IInfoRubrique* piItem,
                                      CTString* pclOut, int bQualify, int)
{
    IInfoRubrique* pi = const_cast<IInfoRubrique*>(piItem);
    const bool bComputed = pi->eGetCalcul() != 0;
    const wchar_t* pszName = bComputed ? pi->pszGetNom() : pi->pszGetNomRubriqueSource();
    if (!bQualify || bComputed) {
        _FormatItemName(pszName, pclOut);
        return;
    }
    CTString csTable(pi->pszGetNomTable());
    CTString csItem(pszName);
    _GetFormatedOriginalTableNameAndItemName(pclInfo, &csTable, &csItem);
    if (csTable.nTaille() > 0) {
        csTable.Add(L".");
        csTable.Add(csItem.pszGet());
        pclOut->Set(csTable.pszGet());
    } else {
        pclOut->Set(csItem.pszGet());
    }
}

void CNACommand::_FormatTableClauseFROM(CSQLParserInfo* pclInfo, INADataSourceDescription* piTable,
                                        const IInfoFrom* piFrom, CTString* pclOut)
{
    const wchar_t* pszLogical = const_cast<IInfoFrom*>(piFrom)->pszGetNomTable();
    const wchar_t* psz = pclInfo != nullptr ? pclInfo->pszGetPhysicalName(pszLogical) : nullptr;
    std::wstring strName = psz != nullptr ? psz : L"";
    if (strName.empty() && piTable != nullptr)
        strName = !bEmpty(piTable->pszGetDBTableName()) ? piTable->pszGetDBTableName() : Text(piTable->pszGetLogicalName());
    if (strName.empty())
        strName = Text(pszLogical);
    _FormatTableName(strName.c_str(), pclOut);
}

void CNACommand::_FormatTableAliasClauseFROM(CSQLParserInfo*, const IInfoFrom* piFrom, CTString* pclOut)
{
    _FormatTableName(const_cast<IInfoFrom*>(piFrom)->pszGetAlias(), pclOut);
}

// ---- Clause handlers -----------------------------------------------------------------------------------------

int CNACommand::_bAddFromClause(const CNASqlElt* pclElement, unsigned int* pnPos, const wchar_t* pszText,
                                CSQLParserInfo* pclInfo)
{
    if (pszText == nullptr)
        return 1;
    IInfoFrom* piFrom = nullptr;
    for (int i = 0; i < pclInfo->nGetFichierFromNbr() && piFrom == nullptr; i++) {
        const tagRECT st = pclInfo->piGetFichierFrom(i)->stGetPosition();
        if (static_cast<unsigned int>(st.left) == pclElement->nGetStart() &&
            static_cast<unsigned int>(st.right) == pclElement->nGetStop())
            piFrom = pclInfo->piGetFichierFrom(i);
    }
    if (piFrom == nullptr)
        return 1;
    INADataSourceDescription* piTable = nullptr;
    try {
        piTable = pclInfo->piGetSQLParserInformationNoRef()->piGetFromDescription(piFrom);
    } catch (...) {
        piTable = nullptr;
    }
    if (piTable == nullptr)
        return 1;
    const tagRECT st = piFrom->stGetPosition();
    _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.left));
    *pnPos = std::max(*pnPos, static_cast<unsigned int>(st.right) + 1);
    CTString csTable;
    _FormatTableClauseFROM(pclInfo, piTable, piFrom, &csTable);
    _AddSQL(csTable.pszGet());
    if (!bEmpty(piFrom->pszGetAlias())) {
        CTString csAlias;
        _FormatTableAliasClauseFROM(pclInfo, piFrom, &csAlias);
        // The alias in the host text, after an AS when there is one.
        const unsigned int nLength = _nHostLength(pszText);
        unsigned int i = *pnPos;
        while (i < nLength && bBlank(pszText[i]))
            i++;
        if (bWordAt(pszText, nLength, i, L"AS"))
            i += 2;
        CTString csName;
        unsigned int nStart = 0, nStop = 0;
        if (csAlias.nTaille() > 0 && s_bGetItemNameAndPos(&csName, &nStart, &nStop, pszText, i) &&
            STR_nCompareW(csName.pszGet(), piFrom->pszGetAlias(), 1) == 0) {
            _CopyHost(pszText, pnPos, nStart);
            *pnPos = nStop + 1;
            _AddSQL(csAlias.pszGet());
        }
    }
    const int eDataSource = m_pclConnection != nullptr ? m_pclConnection->eGetDataSource() : 0;
    if (pclInfo->eGetTypeRequete() == 1 &&
        !(eDataSource == 8 && m_pclConnection != nullptr && m_pclConnection->nGetServerVersionMajor() >= 10))
        bAddRecordLock();
    piTable->nExternalRelease();
    return 1;
}

int CNACommand::_bFormatSELECTList(unsigned int* pnPos, const wchar_t* pszText, CSQLParserInfo* pclInfo)
{
    const eTYPEREQUETE eType = pclInfo->eGetTypeRequete();
    const int bQualify = eType == 1 || eType == 2;
    for (int i = 0; i < pclInfo->nGetRubriqueOUTNbr(); i++) {
        IInfoRubrique* piItem = pclInfo->piGetRubriqueOUT(i);
        const tagRECT st = piItem->stGetPosition();
        const bool bPlaced = st.left != 0 || st.right != 0;
        // An alias after the previous item, re-quoted.
        if (bPlaced && static_cast<unsigned int>(st.left) > *pnPos)
            _bFormatAlias(pnPos, pszText);
        if (piItem->eGetCalcul() != 0) {
            IExpOpExpression* piExpression = piItem->piGetExpression();
            INAItemDescription* piDescription = nullptr;
            const int bResult = _bExpressionToSQL(pclInfo, nullptr, pszText, nullptr, piExpression, 1, pnPos,
                                                  &piDescription, NA_IT_EMPTY, 0);
            if (piDescription != nullptr)
                piDescription->nExternalRelease();
            if (piExpression != nullptr)
                piExpression->nRelease();
            if (!bResult)
                return 0;
            continue;
        }
        if (!bPlaced)
            continue;
        _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.left));
        *pnPos = std::max(*pnPos, static_cast<unsigned int>(st.right) + 1);
        CTString csName;
        _FormatRubriqueAlias(*pnPos, pszText, pclInfo, piItem, &csName, bQualify, 1);
        _AddSQL(csName.pszGet());
    }
    _bFormatAlias(pnPos, pszText);
    const unsigned int nLength = _nHostLength(pszText);
    bool bStar = false;
    if (bNeedToReplaceStar() && *pnPos == 0) {
        unsigned int i = 0;
        while (i < nLength && bBlank(pszText[i]))
            i++;
        if (bWordAt(pszText, nLength, i, L"SELECT")) {
            i += 6;
            while (i < nLength && bBlank(pszText[i]))
                i++;
            if (i < nLength && pszText[i] == L'*' && (i + 1 == nLength || s_bSeparateur(pszText[i + 1]))) {
                bStar = true;
                _CopyHost(pszText, pnPos, i);
                *pnPos = i + 1;
                for (int k = 0; k < pclInfo->nGetRubriqueOUTNbr(); k++) {
                    CTString csName;
                    _FormatRubriqueAlias(*pnPos, pszText, pclInfo, pclInfo->piGetRubriqueOUT(k), &csName, bQualify, 1);
                    if (k > 0)
                        _AddSQL(L",");
                    _AddSQL(csName.pszGet());
                }
            }
        }
    }
    if (m_clSelectAdditional.m_clW.m_nLength > 0) {
        if (!bStar) {
            int nEnd = pclInfo->piGetSQLParserInformationNoRef()->nGetOutputListEnd();
            if (nEnd == 1) {
                // Just after the first "*" of the code.
                nEnd = static_cast<int>(nLength);
                for (unsigned int i = 0; i < nLength; i++)
                    if (pszText[i] == L'*' && m_tabHostRun[i] == HOSTRUN_CODE) {
                        nEnd = static_cast<int>(i) + 1;
                        break;
                    }
            }
            _CopyHost(pszText, pnPos, static_cast<unsigned int>(std::max(nEnd, 0)));
        }
        _AddSQL(L",");
        _AddSQL(m_clSelectAdditional.pszGetW());
    }
    return 1;
}

int CNACommand::_bFormatGROUPBY(unsigned int* pnPos, const wchar_t* pszText, CSQLParserInfo* pclInfo)
{
    ISQLParserInformation* piParser = pclInfo->piGetSQLParserInformationNoRef();
    for (CInfoGroupe* pi = pclInfo->piEnumRubriqueClauseGroupe(1); pi != nullptr;
         pi = pclInfo->piEnumRubriqueClauseGroupe(0)) {
        // The table as written, whichever entry the host took it for.
        const bool bWrittenTable = pi->bIsAvecTable() != 0;
        if (bWrittenTable)
            _RefuseSeveralFrom(pclInfo, pi->pszGetAlias());
        const tagRECT st = pi->stGetPosition();
        _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.left));
        const wchar_t* pszFile = pi->pszGetNomFichier();
        const wchar_t* pszName = !bEmpty(pi->pszGetNomRubrique()) ? pi->pszGetNomRubrique() : pi->pszGetNomRubriqueAlias();
        IInfoRubrique* piItem = _piGetInfoRubriqueFromAlias(piParser, pszFile, pszName);
        const bool bPlain = piItem != nullptr && piItem->eGetCalcul() == 0;
        CTString csOut;
        if (piItem != nullptr && piItem->eGetCalcul() == 1) {
            if (!bFormatExpressionColonneCalculee(pclInfo, piItem, nullptr, 4, &csOut, _nTextLength())) {
                piItem->nRelease();
                return 0;
            }
        } else if (piItem != nullptr && !bPlain) {
            _FormatRubriqueAlias(*pnPos, pszText, pclInfo, piItem, &csOut, 1, 4);
        } else {
            // A column: by the table written before it, else by its output
            // item's, else by the host's; by its database name unless an
            // alias.
            CTString csTable(bWrittenTable ? pi->pszGetAlias() : bPlain ? piItem->pszGetNomTable() : pszFile);
            CTString csItem(bPlain && bEmpty(pi->pszGetNomRubrique()) ? piItem->pszGetNomRubriqueSource() : pszName);
            _GetOriginalTableNameAndItemName(pclInfo, &csTable, &csItem);
            _FormatTableAndItemName(csTable.pszGet(), csItem.pszGet(), &csOut);
        }
        if (piItem != nullptr)
            piItem->nRelease();
        if (csOut.nTaille() > 0)
            _AddSQL(csOut.pszGet());
        *pnPos = std::max(*pnPos, static_cast<unsigned int>(st.right) + 1);
    }
    return 1;
}

int CNACommand::_bAddItemInORDERBY(const IInfoRubrique* piItem, int nIndex, const wchar_t* pszText,
                                   tagRECT stPosition, int bByAlias, int* pbUniqueReached)
{
    IInfoRubrique* pi = const_cast<IInfoRubrique*>(piItem);
    CTString csOut;
    const int eCalcul = pi != nullptr ? pi->eGetCalcul() : -1;
    const bool bNumbers = m_pclConnection == nullptr || m_pclConnection->bOrderByIndiceAllowed();
    // A column written after its table goes by the FROM entry the table
    // stands for, whichever output item the host's index names.
    std::wstring strTable, strColumn;
    const bool bTableWritten = bTableColumn(pszText, _nHostLength(pszText), stPosition, &strTable, &strColumn);
    if (bTableWritten)
        _RefuseSeveralFrom(m_pclParserInfo, strTable.c_str());
    if (bTableWritten && !bByAlias && m_pclParserInfo != nullptr &&
        m_pclParserInfo->pszGetFromTableName(strTable.c_str()) != nullptr) {
        CTString csTable(strTable.c_str()), csItem(strColumn.c_str());
        _GetOriginalTableNameAndItemName(m_pclParserInfo, &csTable, &csItem);
        _FormatTableAndItemName(csTable.pszGet(), csItem.pszGet(), &csOut);
    } else if (eCalcul == 0) {
        if (bByAlias)
            _FormatItemName(pi->pszGetNom(), &csOut);
        else
            _FormatRubriqueAlias(0, pszText, m_pclParserInfo, pi, &csOut, 1, 6);
    } else if ((eCalcul == 1 || eCalcul == 2) && bNumbers) {
        csOut.SetI4(nIndex + 1);
    } else if (eCalcul > 0 && !bNumbers) {
        _FormatItemName(pi->pszGetNom(), &csOut);
    } else if (stPosition.right >= stPosition.left && stPosition.left >= 0) {
        unsigned int nPos = static_cast<unsigned int>(stPosition.left);
        _CopyHost(pszText, &nPos, static_cast<unsigned int>(stPosition.right) + 1);
    }
    if (eCalcul == 0 && pbUniqueReached != nullptr && m_pclParserInfo != nullptr &&
        (m_pclParserInfo->bRubriqueUniqueNotNull(pi) ||
         (m_pclParserInfo->bRubriqueUnique(pi) && m_pclNullExcluded != nullptr &&
          !m_pclNullExcluded->bColumnValuesNullSelected(pi->pszGetNomRubriqueSource()))))
        *pbUniqueReached = 1;
    _AddSQL(csOut.pszGet());
    return _bHostWritten();
}

int CNACommand::_bFormatORDERBY(unsigned int* pnPos, const wchar_t* pszText, int bKeepOrderBy, int bForward,
                                int bByAlias, int* pbUniqueReached)
{
    const unsigned int nLength = _nHostLength(pszText);
    if (m_pclParserInfo == nullptr) {
        _CopyHost(pszText, pnPos, nLength);
        return 1;
    }
    // Past the entries and the last one's direction: a LIMIT after them
    // stays.
    unsigned int nEnd = nLength;
    const int nEntries = m_pclParserInfo->nGetClauseOrderNbr();
    if (nEntries > 0) {
        const int nStop = m_pclParserInfo->piGetClauseOrder(nEntries - 1)->stGetPosition().right;
        nEnd = std::min(static_cast<unsigned int>(std::max(nStop + 1, 0)), nLength);
        unsigned int k = nEnd;
        while (k < nLength && bBlank(pszText[k]))
            k++;
        if (bWordAt(pszText, nLength, k, L"ASC"))
            nEnd = k + 3;
        else if (bWordAt(pszText, nLength, k, L"DESC"))
            nEnd = k + 4;
    }
    if (!bKeepOrderBy) {
        // The entries and their directions go.
        const int nStart = m_pclParserInfo->piGetSQLParserInformationNoRef()->nGetOrderByStart();
        _CopyHost(pszText, pnPos, static_cast<unsigned int>(std::max(nStart, 0)));
        *pnPos = std::max(*pnPos, nEnd);
        return 1;
    }
    const int nMax = m_pclConnection != nullptr ? m_pclConnection->nGetOrderByMaxExpressionNbr() : 0;
    int nCount = 0;
    int bUnique = 0;
    int bResult = 1;
    std::vector<IInfoOrderBy*> tabEntry;
    for (IInfoOrderBy* pi = m_pclParserInfo->piEnumRubriqueClauseOrder(1); pi != nullptr;
         pi = m_pclParserInfo->piEnumRubriqueClauseOrder(0))
        tabEntry.push_back(pi);
    for (size_t e = 0; e < tabEntry.size() && bResult && !bUnique; e++) {
        if (nMax > 0 && nCount >= nMax)
            break;
        nCount++;
        IInfoOrderBy* piEntry = tabEntry[e];
        const tagRECT st = piEntry->stGetPosition();
        _CopyHost(pszText, pnPos, static_cast<unsigned int>(std::max(st.left, 0)));
        const int nIndex = piEntry->nGetIndiceColonne();
        bResult = _bAddItemInORDERBY(m_pclParserInfo->piGetRubriqueOUT(nIndex), nIndex, pszText, st, bByAlias,
                                     &bUnique);
        *pnPos = std::max(*pnPos, std::min(static_cast<unsigned int>(st.right) + 1, nLength));
        unsigned int k = *pnPos;
        while (k < nLength && bBlank(pszText[k]))
            k++;
        const bool bLast = e + 1 == tabEntry.size();
        if (bWordAt(pszText, nLength, k, L"ASC") || bWordAt(pszText, nLength, k, L"DESC")) {
            const bool bAsc = bWordAt(pszText, nLength, k, L"ASC");
            const unsigned int nAfter = k + (bAsc ? 3 : 4);
            if (bForward)
                _CopyHost(pszText, pnPos, nAfter);
            else
                _AddSQL(bAsc ? L" DESC" : L" ASC");
            *pnPos = nAfter;
        } else if (k >= nLength || pszText[k] == L',' || bLast) {
            // Unwritten, the direction is ascending: backwards it is the
            // other one. The blanks stay before what follows.
            if (!bForward)
                _AddSQL(L" DESC");
            _CopyHost(pszText, pnPos, k);
        }
    }
    // Entries left after a unique key, or past the most the server takes,
    // go: copied as the host wrote them they would name its tables.
    *pnPos = std::max(*pnPos, nEnd);
    if (pbUniqueReached != nullptr)
        *pbUniqueReached = bUnique;
    return bResult;
}

int CNACommand::bFormatORDERBY(int bByAlias, int bForward)
{
    if (m_pclParserInfo == nullptr || m_pclParserInfo->piGetSQLParserInformationNoRef() == nullptr)
        return 1;
    const int nStart = m_pclParserInfo->piGetSQLParserInformationNoRef()->nGetOrderByStart();
    if (nStart <= 0)
        return 1;
    unsigned int nPos = static_cast<unsigned int>(nStart);
    return _bFormatORDERBY(&nPos, m_pclParserInfo->pszGetRequete(), 1, bForward, bByAlias, nullptr) &&
           _bHostWritten();
}

int CNACommand::_bAddJoinClause(const CNASqlElt* pclElement, unsigned int* pnPos, const wchar_t* pszText,
                                CSQLParserInfo* pclInfo)
{
    IInfoRequete* piLists = pclInfo->piGetSQLParserInformationNoRef()->piGetInfoRequete();
    for (IExpOpExpression* pi = piLists != nullptr ? piLists->piGetNextJoin(0, 1) : nullptr; pi != nullptr;
         pi = piLists->piGetNextJoin(0, 0)) {
        const tagRECT st = _stGetPositionExpression(pi);
        if (static_cast<unsigned int>(st.left) == pclElement->nGetStart() &&
            static_cast<unsigned int>(st.right) == pclElement->nGetStop())
            return bAddTreeExpression(pclInfo, nullptr, pszText, nullptr, pi, 8, pnPos, nullptr);
    }
    return 1;
}

int CNACommand::_bFormatINSERTUPDATEList(unsigned int* pnPos, const wchar_t* pszText, CSQLParserInfo* pclInfo)
{
    int bResult = 1;
    const bool bInsert = pclInfo->eGetTypeRequete() == 4;
    void* pEntry = bInsert ? static_cast<void*>(pclInfo->piEnumRubriqueInsert(1))
                           : static_cast<void*>(pclInfo->piEnumRubriqueUpdate(1));
    while (pEntry != nullptr) {
        IExpOpExpression* piColumn = bInsert ? static_cast<IInfoInsertion*>(pEntry)->piGetColonne()
                                             : static_cast<IInfoAffectation*>(pEntry)->piGetColonne();
        IExpOpExpression* piValue = bInsert ? static_cast<IInfoInsertion*>(pEntry)->piGetValeur()
                                            : static_cast<IInfoAffectation*>(pEntry)->piGetExpression();
        if (!bInsert)
            bResult = _bDoExpressionColonne(pclInfo, pszText, piColumn, pnPos) && bResult;
        // The value takes the target column's type.
        INAItemDescription* piItem = nullptr;
        CTString csIgnored;
        _bFormatExpressionItemName(pclInfo, nullptr, nullptr, piColumn, 10, &csIgnored, &piItem, 0);
        bResult = _bExpressionToSQL(pclInfo, nullptr, pszText, piColumn, piValue, 10, pnPos, &piItem, NA_IT_EMPTY, 0) &&
                  bResult;
        if (piItem != nullptr)
            piItem->nExternalRelease();
        piColumn->nRelease();
        piValue->nRelease();
        pEntry = bInsert ? static_cast<void*>(pclInfo->piEnumRubriqueInsert(0))
                         : static_cast<void*>(pclInfo->piEnumRubriqueUpdate(0));
    }
    return bResult;
}

// ---- The host's named values ------------------------------------------------------------------------------

int CNACommand::_bRefreshUserParameter(CNAParameter* pclParameter, INAQueryParametersValue* piValues)
{
    CNAConvertVariant* pclCell = pclParameter->pclGetValue();
    if (pclCell == nullptr)
        return 0;
    if (pclParameter->bGetNull()) {
        pclCell->SetNull();
        return 1;
    }
    if ((pclParameter->nGetFlags() & CNAParameter::PF_CURSOR) != 0 || piValues == nullptr)
        return 1;
    const CAny* pValue = piValues->pclGetValue(pclParameter->pszGetName());
    if (pValue == nullptr || pValue->nGetTypeCode() == TQTYPE_VIDE)
        return 1;
    CAny clHeld;
    pclCell->bGetValue(&clHeld);
    const unsigned char nNew = pValue->nGetTypeCode();
    const unsigned char nHeld = clHeld.nGetTypeCode();
    // Texts keep their width; anything else takes the host's type, and so
    // does a text given to a one-character cell, which would keep only its
    // first character.
    const bool bOneCharacter = nHeld == TQTYPE_CARA || nHeld == TQTYPE_CARW;
    if (nNew != nHeld &&
        (bOneCharacter || !((bText8(nNew) && bText8(nHeld)) || (bWide(nNew) && bWide(nHeld)))))
        pclCell->InitTypeVariantAny(nNew, 0);
    return pclCell->bSetValue(pValue);
}

int CNACommand::bUpdateParametersValues()
{
    if (m_tabParameter.nGetNbElement() == 0 || m_pclParserInfo == nullptr)
        return 1;
    INAQueryParametersValue* piValues = m_pclParserInfo->piGetUserBindVariable();
    if (piValues == nullptr)
        return 1;
    int bResult = 1;
    for (int i = 0; i < m_tabParameter.nGetNbElement() && bResult; i++) {
        CNAParameter* p = m_tabParameter[i];
        if (p != nullptr && (p->nGetFlags() & CNAParameter::PF_USER) != 0)
            bResult = _bRefreshUserParameter(p, piValues);
    }
    piValues->nExternalRelease();
    return bResult;
}
