#include "access/sql/NAExpression.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/NACommand.h"
#include "access/sql/NARecherche.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NARecord.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XTime.h"
#include "common/text/XYString.h"
#include "common/values/AnyConvert.h"
#include "common/values/NACnvVariant.h"
#include "common/values/datetime.h"

#include <cmath>
#include <cwchar>
#include <new>
#include <string>

namespace {

const int kFile = CNAExpression::ERRFILE_EXPRESSION;

enum : int {
    kPointNullSet = 4,
    kPointNoDriver = 5,
    kPointLikeNul = 6,
    kPointCharacters = 7,
};

const unsigned int kAll = static_cast<unsigned int>(-1);

// The LIKE escape character of the patterns written here: neither a quote
// nor the MySQL string escape, so every layer below takes it as it is.
const wchar_t kLikeEscape = L'!';

bool _bIsTextItem(eNA_ITEMTYPE e)
{
    return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_CHAR || e == NA_IT_UNICODE ||
           e == NA_IT_MEMOUNICODE;
}

// Host types of texts, date and time texts included.
bool _bIsTextType(unsigned char n)
{
    return (n >= 16 && n <= 25) || n == 81 || n == 110 || n == 128 || n == 129 || n == 134;
}

// A copy of the value cast to wide text in pcl, its text in *ppsz; false
// when it does not convert.
bool _bCastWide(const CAny* pValue, CAny* pcl, const wchar_t** ppsz)
{
    pValue->pclGetTraitement()->Duplique(pcl);
    pcl->SetFlags(0);
    if (pcl->nGetTypeCode() != TQTYPE_DSTRW && pcl->__nCastTo(TQTYPE_DSTRW, nullptr, 0) > 99)
        return false;
    *ppsz = nullptr;
    return pcl->pclGetTraitement()->nGetPCWSTR(ppsz) <= 99;
}

// The value as wide text, whole to its length (a NUL inside included);
// false when it has none or does not convert.
bool _bReadWide(const CAny* pValue, std::wstring* ps)
{
    ps->clear();
    if (pValue == nullptr || pValue->bIsNull() || pValue->nGetTypeCode() == TQTYPE_VIDE)
        return false;
    CAny cl;
    const wchar_t* psz = nullptr;
    if (!_bCastWide(pValue, &cl, &psz))
        return false;
    if (psz != nullptr) {
        unsigned int nSize = 0;
        cl.pclGetTraitement()->nGetUtilDataSize(&nSize);
        ps->assign(psz, nSize / sizeof(wchar_t));
    }
    return true;
}

// Whether a text value holds a NUL inside its length.
bool _bHoldsNul(const CAny* pValue)
{
    std::wstring s;
    return _bReadWide(pValue, &s) && s.find(L'\0') != std::wstring::npos;
}

// A wide text by pointer (host type 110), no flag.
void _SetWide(CAny* pValue, const wchar_t* psz)
{
    pValue->__SetType(TQTYPE_PSTRW, 0);
    pValue->pclGetTraitement()->SetValue(psz, static_cast<unsigned int>(wcslen(psz) * sizeof(wchar_t)));
}

bool _bTrue(const CAny* pValue)
{
    int n = 0;
    return pValue->nGetINT(&n) <= 99 && n != 0;
}

} // namespace

// ---- Life ------------------------------------------------------------------------------------

CNAExpression::CNAExpression(CNAError* pclError)
    : m_pclError(pclError),
      m_eOperator(NAOP_NONE),
      m_pclLeft(nullptr),
      m_pclRight(nullptr),
      m_pclColumn(nullptr),
      m_pclValue(nullptr),
      m_nFlags(0),
      m_pclParserInfo(nullptr),
      m_pclNullExcluded(nullptr)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNAExpression::~CNAExpression()
{
    _Release();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

void CNAExpression::_Release()
{
    delete m_pclNullExcluded;
    m_pclNullExcluded = nullptr;
    if (m_pclLeft != nullptr)
        m_pclLeft->nRelease();
    if (m_pclRight != nullptr)
        m_pclRight->nRelease();
    if (m_pclColumn != nullptr)
        m_pclColumn->nRelease();
    if (m_pclValue != nullptr)
        m_pclValue->nRelease();
    if (m_pclParserInfo != nullptr)
        m_pclParserInfo->nRelease();
    m_pclLeft = m_pclRight = nullptr;
    m_pclColumn = nullptr;
    m_pclValue = nullptr;
    m_pclParserInfo = nullptr;
}

void CNAExpression::_SetParserInfo(CSQLParserInfo* pclInfo)
{
    if (pclInfo != nullptr)
        pclInfo->AddRef();
    if (m_pclParserInfo != nullptr)
        m_pclParserInfo->nRelease();
    m_pclParserInfo = pclInfo;
}

CNAExpression* CNAExpression::pclAllocExpression()
{
    return new (std::nothrow) CNAExpression(m_pclError);
}

int CNAExpression::_bNotYet(int nPoint)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, kFile, nPoint, nullptr, nullptr, nullptr,
                                   ZTERR_NOT_OFFERED);
    return 0;
}

// ---- Operators ---------------------------------------------------------------------------------

const wchar_t* CNAExpression::s_pszDumpOp(eNAOperator eOperator)
{
    switch (eOperator) {
    case NAOP_OR: return L" OR ";
    case NAOP_AND: return L" AND ";
    case NAOP_NOT: return L" NOT ";
    case NAOP_EQ: return L"=";
    case NAOP_GT: return L">";
    case NAOP_LT: return L"<";
    case NAOP_GE: return L">=";
    case NAOP_LE: return L"<=";
    case NAOP_FALSE: return L"0=1";
    case NAOP_TRUE: return L"1=1";
    case NAOP_NE: return L"<>";
    case NAOP_ISNULL: return L" IS NULL";
    case NAOP_ISNOTNULL: return L"IS NOT NULL";
    default: return L"";
    }
}

eOPEXPRESSION CNAExpression::Convert_eNAOperator_To_eOPEXPRESSION(eNAOperator eOperator)
{
    switch (eOperator) {
    case NAOP_EQ: return 9;
    case NAOP_GT: return 13;
    case NAOP_LT: return 11;
    case NAOP_GE: return 14;
    case NAOP_LE: return 12;
    case NAOP_NE: return 10;
    case NAOP_ISNULL: return 33;
    default: return -1;
    }
}

eNAOperator CNAExpression::s_eInvertOperator(eNAOperator eOperator)
{
    switch (eOperator) {
    case NAOP_GT: return NAOP_LT;
    case NAOP_LT: return NAOP_GT;
    case NAOP_GE: return NAOP_LE;
    case NAOP_LE: return NAOP_GE;
    default: return eOperator;
    }
}

// ---- Building --------------------------------------------------------------------------------------

void CNAExpression::SetFlags(unsigned int nFlags)
{
    m_nFlags = nFlags;
    if ((nFlags & EXPR_GENERIC) && (nFlags & EXPR_EMPTYEXACT) && m_pclColumn != nullptr &&
        _bIsTextItem(m_pclColumn->eNAGetItemType())) {
        CAny clValue;
        std::wstring s;
        if (m_pclValue == nullptr || !m_pclValue->bGetValue(&clValue) || !_bReadWide(&clValue, &s) || s.empty())
            m_nFlags &= ~EXPR_GENERIC;
    }
}

CNAExpression* CNAExpression::pclAllocExpression(ISQLParserInformation* piParser, unsigned int nFlags)
{
    CNAExpression* pcl = pclAllocExpression();
    if (pcl == nullptr)
        return nullptr;
    CSQLParserInfo* pclInfo = new (std::nothrow) CSQLParserInfo(m_pclError, piParser, nullptr, 1);
    if (pclInfo == nullptr) {
        pcl->AddRef();
        pcl->nRelease();
        return nullptr;
    }
    pcl->m_eOperator = NAOP_PARSED;
    pcl->_SetParserInfo(pclInfo);
    pcl->SetFlags(nFlags);
    return pcl;
}

void CNAExpression::SetComparison(eNAOperator eOperator, CNAColumn* pclColumn, CNAConvertVariant* pclValue,
                                  unsigned int nFlags)
{
    if (pclColumn != nullptr)
        pclColumn->AddRef();
    if (pclValue != nullptr)
        pclValue->AddRef();
    _Release();
    m_eOperator = eOperator;
    m_pclColumn = pclColumn;
    m_pclValue = pclValue;
    // A column of a query's record: computed columns are written from the
    // query.
    _SetParserInfo(pclColumn != nullptr ? pclColumn->pclGetSourceQueryNoRef() : nullptr);
    SetFlags(nFlags);
}

void CNAExpression::SetOperation(eNAOperator eOperator, CNAExpression* pclLeft, CNAExpression* pclRight,
                                 unsigned int nFlags)
{
    if (pclLeft != nullptr)
        pclLeft->AddRef();
    if (pclRight != nullptr)
        pclRight->AddRef();
    _Release();
    m_eOperator = eOperator;
    m_pclLeft = pclLeft;
    m_pclRight = pclRight;
    SetFlags(nFlags);
}

CNAExpression* CNAExpression::pclAllocExpression(eNAOperator eOperator, CNAColumn* pclColumn,
                                                 CNAConvertVariant* pclValue, unsigned int nFlags)
{
    CNAExpression* pcl = pclAllocExpression();
    if (pcl != nullptr)
        pcl->SetComparison(eOperator, pclColumn, pclValue, nFlags);
    return pcl;
}

CNAExpression* CNAExpression::pclAllocExpression(eNAOperator eOperator, CNAExpression* pclLeft,
                                                 CNAExpression* pclRight, unsigned int nFlags)
{
    CNAExpression* pcl = pclAllocExpression();
    if (pcl != nullptr)
        pcl->SetOperation(eOperator, pclLeft, pclRight, nFlags);
    return pcl;
}

CNAExpression* CNAExpression::pclAddOperation(eNAOperator eOperator, CNAExpression* pclOther)
{
    return pclAllocExpression(eOperator, this, pclOther, m_nFlags);
}

CNAExpression* CNAExpression::pclClone()
{
    CNAExpression* pcl = pclAllocExpression();
    if (pcl == nullptr)
        return nullptr;
    pcl->m_eOperator = m_eOperator;
    pcl->m_nFlags = m_nFlags;
    if (m_pclColumn != nullptr)
        m_pclColumn->AddRef();
    if (m_pclValue != nullptr)
        m_pclValue->AddRef();
    pcl->m_pclColumn = m_pclColumn;
    pcl->m_pclValue = m_pclValue;
    pcl->_SetParserInfo(m_pclParserInfo);
    CNAExpression* const apFrom[2] = {m_pclLeft, m_pclRight};
    CNAExpression** const appTo[2] = {&pcl->m_pclLeft, &pcl->m_pclRight};
    for (int i = 0; i < 2; i++) {
        if (apFrom[i] == nullptr)
            continue;
        CNAExpression* pclCopy = apFrom[i]->pclClone();
        if (pclCopy == nullptr) {
            pcl->AddRef();
            pcl->nRelease();
            return nullptr;
        }
        pclCopy->AddRef();
        *appTo[i] = pclCopy;
    }
    return pcl;
}

void CNAExpression::Insert(CNAExpression* pclParent, CNAExpression* pclOld, CNAExpression* pclNew)
{
    if (pclParent == nullptr || pclOld == pclNew)
        return;
    CNAExpression** ppcl = pclParent->m_pclLeft == pclOld    ? &pclParent->m_pclLeft
                           : pclParent->m_pclRight == pclOld ? &pclParent->m_pclRight
                                                             : nullptr;
    if (ppcl == nullptr)
        return;
    if (pclNew != nullptr)
        pclNew->AddRef();
    *ppcl = pclNew;
    if (pclOld != nullptr)
        pclOld->nRelease();
}

CNAExpression* CNAExpression::pclTransformEqualTo(CNARecord* pclRecord, CNAExpression* pclParent,
                                                  eNAOperator eOperator)
{
    if (m_eOperator == NAOP_AND || m_eOperator == NAOP_OR || m_eOperator == NAOP_NOT) {
        if (m_pclLeft != nullptr && m_pclLeft->pclTransformEqualTo(pclRecord, this, eOperator) == nullptr)
            return nullptr;
        if (m_pclRight != nullptr && m_pclRight->pclTransformEqualTo(pclRecord, this, eOperator) == nullptr)
            return nullptr;
        return this;
    }
    if (m_eOperator != NAOP_EQ || m_pclColumn == nullptr)
        return this;
    const int nSens = s_eGetSensTriColonne(pclRecord, m_pclColumn);
    if (nSens < 0)
        return nullptr;
    const eNAOperator eOn = nSens == 1 ? s_eInvertOperator(eOperator) : eOperator;
    CAny clValue;
    const bool bValue = m_pclValue != nullptr && m_pclValue->bGetValue(&clValue) && !clValue.bIsNull();
    const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
    // A generic text, date or time covers the values from the one searched
    // (its first instant) to past the last it starts.
    const bool bRange = eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE || eType == NA_IT_UNICODE ||
                        eType == NA_IT_MEMOUNICODE || eType == NA_IT_HEURE || eType == NA_IT_DATE8 ||
                        eType == NA_IT_DATETIME;
    if (bRange && bIsGenerique() && bValue) {
        if (eOn == NAOP_LT) {
            m_eOperator = NAOP_LT;
            return this;
        }
        // Past the prefix: the rows it covers are skipped.
        CNAExpression* pclNot = pclAllocExpression(NAOP_NOT, this, nullptr, m_nFlags);
        CNAExpression* pclNext = pclAllocExpression(eOn, m_pclColumn, m_pclValue, m_nFlags);
        CNAExpression* pclAnd =
            pclNot != nullptr && pclNext != nullptr ? pclAllocExpression(NAOP_AND, pclNot, pclNext, m_nFlags) : nullptr;
        for (CNAExpression* p : {pclNot, pclNext}) {
            if (p != nullptr) {
                p->AddRef();
                p->nRelease();
            }
        }
        if (pclAnd == nullptr)
            return nullptr;
        Insert(pclParent, this, pclAnd);
        return pclAnd;
    }
    m_eOperator = eOn;
    return this;
}

// ---- Values --------------------------------------------------------------------------------------------

int CNAExpression::s_bExpressionTrue(eNAOperator eOperator, CNAConnectionDescription* pclConnection,
                                     const CAny* pValue)
{
    if (pValue == nullptr || (eOperator != NAOP_GE && eOperator != NAOP_LE))
        return 0;
    const unsigned char nType = pValue->nGetTypeCode();
    if (nType == TQTYPE_BOOL) {
        if (pValue->bIsNull())
            return 0;
        const bool b = _bTrue(pValue);
        return eOperator == NAOP_LE ? b : !b;
    }
    if (!_bIsTextType(nType))
        return 0;
    const bool bNullFirst = pclConnection == nullptr || pclConnection->bNULLBeforeNotNULL();
    if (pValue->bIsNull())
        return eOperator == NAOP_GE ? bNullFirst : !bNullFirst;
    if (CNAVariant::s_bIsText8(nType) || nType == TQTYPE_DATEA || nType == TQTYPE_TIMEA) {
        const char* psz = nullptr;
        pValue->pclGetTraitement()->nGetPCASTR(&psz);
        const unsigned char c = psz != nullptr ? static_cast<unsigned char>(psz[0]) : 0;
        return eOperator == NAOP_GE ? c == 0 : c == 0xFF;
    }
    const wchar_t* psz = nullptr;
    pValue->pclGetTraitement()->nGetPCWSTR(&psz);
    const unsigned int c = psz != nullptr ? static_cast<unsigned int>(psz[0]) : 0;
    return eOperator == NAOP_GE ? c == 0 : c >= 0xFFFF;
}

namespace {

// The first instant a partial date or time text covers, or the first after
// every one it covers.
int _bDateBound(eNA_ITEMTYPE eType, CAny* pValue, CAny* pBound, bool bAfter)
{
    std::wstring s;
    if (!_bReadWide(pValue, &s) || s.empty() || pBound == nullptr)
        return 0;
    CXTime clTime;
    if (eType == NA_IT_HEURE) {
        if (!(bAfter ? clTime.bSetTQTimeMax(s.c_str(), -1) : clTime.bSetTQTimeMin(s.c_str(), -1)))
            return 0;
        wchar_t sz[10];
        clTime.GetTQTime(sz, 10);
        pBound->__SetType(TQTYPE_TIMEW, 0);
        pBound->pclGetTraitement()->SetValue(sz);
    } else {
        if (!(bAfter ? clTime.bSetTQDateTimeMax(s.c_str(), -1) : clTime.bSetTQDateTimeMin(s.c_str(), -1)))
            return 0;
        if (eType == NA_IT_DATE8) {
            wchar_t sz[9];
            clTime.GetTQDate(sz, 9);
            pBound->__SetType(TQTYPE_DATEW, 0);
            pBound->pclGetTraitement()->SetValue(sz);
        } else {
            CDateTime clDate;
            clTime.GetTQDateTime(&clDate);
            pBound->__SetType(TQTYPE_DATETIME, 0);
            pBound->pclGetTraitement()->SetValue(&clDate);
        }
    }
    pBound->SetFlags(0);
    return 1;
}

} // namespace

int CNAExpression::s_bGetBorneRechercheDateMin(eNA_ITEMTYPE eType, CAny* pValue, CAny* pBound)
{
    return _bDateBound(eType, pValue, pBound, false);
}

int CNAExpression::s_bGetBorneRechercheDateMax(eNA_ITEMTYPE eType, CAny* pValue, CAny* pBound)
{
    return _bDateBound(eType, pValue, pBound, true);
}

int CNAExpression::s_bGetBorneRechercheDateGenerique(eNA_ITEMTYPE eType, CAny* pValue, CAny* pLower,
                                                      CAny* pUpper)
{
    return s_bGetBorneRechercheDateMin(eType, pValue, pLower) && s_bGetBorneRechercheDateMax(eType, pValue, pUpper);
}

int CNAExpression::s_eGetSensTriColonne(CNARecord* pclRecord, CNAColumn* pclColumn)
{
    if (pclRecord == nullptr || pclColumn == nullptr || !pclRecord->bSourceIsQuery())
        return 0;
    CSQLParserInfo* pclInfo = pclRecord->pclGetSourceQueryNoRef();
    return pclInfo != nullptr ? pclInfo->nGetSensTri(pclInfo->piGetRubriqueClauseOrder(pclColumn)) : 0;
}

// ---- NULL-exclusion sets ---------------------------------------------------------------------------------

CColumnNullValueExcluded* CNAExpression::_pclNullExcluded()
{
    if (m_pclNullExcluded == nullptr) {
        m_pclNullExcluded = new (std::nothrow) CColumnNullValueExcluded;
        if (m_pclNullExcluded == nullptr && m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointNullSet, nullptr, nullptr, nullptr,
                                       ZTERR_NO_MEMORY);
    }
    return m_pclNullExcluded;
}

void CNAExpression::_SetNullSelected(int bSelected)
{
    CColumnNullValueExcluded* pcl = _pclNullExcluded();
    if (pcl != nullptr)
        pcl->bSetColumnValuesNullSelected(m_pclColumn, bSelected);
}

int CNAExpression::bColumnValuesNullSelected(const CNAColumn* pclColumn)
{
    if (m_pclNullExcluded != nullptr)
        return m_pclNullExcluded->bColumnValuesNullSelected(pclColumn);
    if (!_bIsLeaf() || pclColumn == nullptr || pclColumn != m_pclColumn || m_pclColumn->bIsComposedKey())
        return 1;
    CAny clValue;
    if (m_pclValue == nullptr || !m_pclValue->bGetValue(&clValue))
        clValue.SetNullFlag(true);
    const int bNull = m_pclColumn->bNullOrEquivalent(&clValue) != 0;
    CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
    CNAConnectionDescription* pclCnx = pclRecord != nullptr ? pclRecord->pclGetConnectionNoRef() : nullptr;
    const bool bNullFirst = pclCnx == nullptr || pclCnx->bNULLBeforeNotNULL();
    switch (m_eOperator) {
    case NAOP_EQ: return bNull;
    case NAOP_NE: return !bNull;
    case NAOP_LT: return bNullFirst ? !bNull : bNull;
    case NAOP_GT: return bNullFirst ? bNull : !bNull;
    default: return 1;
    }
}

// ---- Writing -----------------------------------------------------------------------------------------------

bool CNAExpression::_bIsLeaf() const
{
    return m_eOperator != NAOP_AND && m_eOperator != NAOP_OR && m_eOperator != NAOP_NOT &&
           m_eOperator != NAOP_PARSED && m_pclLeft == nullptr && m_pclRight == nullptr;
}

CNAConnectionDescription* CNAExpression::_pclConnection(CNACommand* pclCommand) const
{
    CNARecord* pclRecord = m_pclColumn != nullptr ? m_pclColumn->pclGetRecordNoRef() : nullptr;
    if (pclRecord != nullptr && pclRecord->pclGetConnectionNoRef() != nullptr)
        return pclRecord->pclGetConnectionNoRef();
    return pclCommand != nullptr ? pclCommand->pclGetConnectionNoRef() : nullptr;
}

void CNAExpression::_PrepareLeaf(CNACommand* pclCommand)
{
    if (m_pclColumn == nullptr || m_pclValue == nullptr)
        return;
    CAny clValue;
    if (!m_pclValue->bGetValue(&clValue))
        return;
    const unsigned short nType = m_pclColumn->eGetTQType();
    if (nType == TQTYPE_BOOL && !clValue.bIsNull() && m_eOperator >= NAOP_GT && m_eOperator <= NAOP_LE) {
        CAny clBool;
        clValue.pclGetTraitement()->Duplique(&clBool);
        clBool.SetFlags(0);
        const bool b = clBool.__nCastTo(TQTYPE_BOOL, nullptr, 0) <= 99 && _bTrue(&clBool);
        switch (m_eOperator) {
        case NAOP_GT: m_eOperator = b ? NAOP_FALSE : NAOP_NE; break;
        case NAOP_LT: m_eOperator = b ? NAOP_NE : NAOP_FALSE; break;
        case NAOP_GE: m_eOperator = b ? NAOP_EQ : NAOP_TRUE; break;
        default: m_eOperator = b ? NAOP_TRUE : NAOP_EQ; break;
        }
        return;
    }
    if (_bIsTextType(static_cast<unsigned char>(nType)) &&
        s_bExpressionTrue(m_eOperator, _pclConnection(pclCommand), &clValue))
        m_eOperator = NAOP_TRUE;
}

int CNAExpression::bGetSQL(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch, int* pbConstant,
                           CNARecord* pclRecord)
{
    int nConstant = 0;
    if (pbConstant == nullptr)
        pbConstant = &nConstant;
    *pbConstant = 0;
    if (m_pclNullExcluded != nullptr)
        m_pclNullExcluded->Reset();
    if (m_eOperator == NAOP_NONE)
        return 1;
    if (pclCommand == nullptr)
        return 0;
    const unsigned int nLength = pclCommand->nGetSQLLength();
    const int nParameters = pclSearch != nullptr ? pclSearch->nGetNbParameter() : 0;
    const int bResult = _bWriteNode(pclCommand, eParent, pclSearch, pbConstant, pclRecord);
    if (*pbConstant != 0) {
        // Nothing of a constant reaches the server.
        pclCommand->Tronque(nLength);
        if (pclSearch != nullptr && pclSearch->nGetNbParameter() != nParameters)
            pclSearch->_RemoveParameterByPos(nLength);
        if (m_pclNullExcluded != nullptr)
            m_pclNullExcluded->Reset();
    }
    return bResult;
}

int CNAExpression::_bWriteNode(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch,
                               int* pbConstant, CNARecord* pclRecord)
{
    if (m_eOperator == NAOP_FALSE || m_eOperator == NAOP_TRUE) {
        *pbConstant = m_eOperator;
        return 1;
    }
    switch (m_eOperator) {
    case NAOP_AND:
    case NAOP_OR:
        return _bWriteAndOr(pclCommand, eParent, pclSearch, pbConstant, pclRecord);
    case NAOP_NOT:
        return _bWriteNot(pclCommand, pclSearch, pbConstant, pclRecord);
    case NAOP_PARSED:
        return _bWriteParsed(pclCommand, eParent, pclSearch, pclRecord);
    default:
        break;
    }
    // A value of the record its item refused holds NULL, and one whose
    // text is too long to write is held less exactly: nothing can be told
    // of its comparison before the server's text is written.
    const bool bFromRecord = pclSearch != nullptr && (m_nFlags & (EXPR_RECORD | EXPR_FROMRECORD)) != 0;
    const CNAReadFailure::SRefusal* pstRefusal = bFromRecord ? pclSearch->pstGetRefusal(m_pclColumn) : nullptr;
    if (pstRefusal == nullptr || pstRefusal->pclFailure == nullptr)
        _PrepareLeaf(pclCommand);
    if (m_eOperator == NAOP_FALSE || m_eOperator == NAOP_TRUE) {
        *pbConstant = m_eOperator;
        return 1;
    }
    return _bGetSQLFromValue(pclCommand, pclSearch, pbConstant);
}

int CNAExpression::_bWriteAndOr(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch,
                                int* pbConstant, CNARecord* pclRecord)
{
    const bool bAnd = m_eOperator == NAOP_AND;
    const eNAOperator eAbsorbing = bAnd ? NAOP_FALSE : NAOP_TRUE; // decides the node alone
    const eNAOperator eNeutral = bAnd ? NAOP_TRUE : NAOP_FALSE;   // leaves the other operand
    CNAExpression* pclLeft = m_pclLeft;
    CNAExpression* pclRight = m_pclRight;
    // One operand written in this node's place, the node then being it.
    auto InPlace = [&](CNAExpression* pcl) {
        if (pcl == nullptr) {
            *pbConstant = NAOP_NOT;
            return 1;
        }
        const int b = pcl->bGetSQL(pclCommand, eParent, pclSearch, pbConstant, pclRecord);
        if (*pbConstant == NAOP_FALSE || *pbConstant == NAOP_TRUE)
            m_eOperator = static_cast<eNAOperator>(*pbConstant);
        else if (*pbConstant == 0 && _pclNullExcluded() != nullptr)
            m_pclNullExcluded->bCopyColumnValuesNullSelected(pcl->m_pclNullExcluded, 0);
        return b;
    };
    // Folding of the operands known to be constant before writing.
    const eNAOperator eL = pclLeft != nullptr ? pclLeft->m_eOperator : NAOP_NONE;
    const eNAOperator eR = pclRight != nullptr ? pclRight->m_eOperator : NAOP_NONE;
    if (eL == eAbsorbing || eR == eAbsorbing) {
        m_eOperator = eAbsorbing;
        *pbConstant = eAbsorbing;
        return 1;
    }
    if (pclLeft == nullptr || eL == eNeutral)
        return InPlace(pclRight);
    if (pclRight == nullptr || eR == eNeutral)
        return InPlace(pclLeft);

    const unsigned int nStart = pclCommand->nGetSQLLength();
    const bool bParenthesis = eParent > NAOP_OR;
    if (bParenthesis)
        pclCommand->bComplete(L"(", 1);
    int nLeft = 0;
    const int bLeft = pclLeft->bGetSQL(pclCommand, m_eOperator, pclSearch, &nLeft, pclRecord);
    if (nLeft != 0) {
        pclCommand->TronqueTexte(nStart);
        if (nLeft == eAbsorbing) {
            m_eOperator = eAbsorbing;
            *pbConstant = eAbsorbing;
            return bLeft;
        }
        return InPlace(pclRight) && bLeft;
    }
    const unsigned int nBeforeOperator = pclCommand->nGetSQLLength();
    pclCommand->bComplete(s_pszDumpOp(m_eOperator), kAll);
    int nRight = 0;
    const int bRight = pclRight->bGetSQL(pclCommand, m_eOperator, pclSearch, &nRight, pclRecord);
    if (nRight == eAbsorbing) {
        pclCommand->TronqueTexte(nStart);
        m_eOperator = eAbsorbing;
        *pbConstant = eAbsorbing;
        return bLeft && bRight;
    }
    CColumnNullValueExcluded* pclSet = _pclNullExcluded();
    if (nRight != 0) {
        // The left operand's text alone.
        pclCommand->TronqueTexte(nBeforeOperator);
        if (pclSet != nullptr)
            pclSet->bCopyColumnValuesNullSelected(pclLeft->m_pclNullExcluded, 0);
    } else if (pclSet != nullptr) {
        pclSet->bCombineColumnValuesNullSelected(m_eOperator, pclLeft->m_pclNullExcluded,
                                                 pclRight->m_pclNullExcluded);
    }
    if (bParenthesis)
        pclCommand->bComplete(L")", 1);
    return bLeft && bRight;
}

int CNAExpression::_bWriteNot(CNACommand* pclCommand, CNARecherche* pclSearch, int* pbConstant,
                              CNARecord* pclRecord)
{
    CNAExpression* pclOperand = m_pclLeft != nullptr ? m_pclLeft : m_pclRight;
    if (pclOperand == nullptr) {
        *pbConstant = NAOP_NOT;
        return 1;
    }
    const unsigned int nStart = pclCommand->nGetSQLLength();
    pclCommand->bComplete(L" NOT (", kAll);
    int nOperand = 0;
    const int b = pclOperand->bGetSQL(pclCommand, NAOP_NOT, pclSearch, &nOperand, pclRecord);
    if (nOperand != 0) {
        pclCommand->TronqueTexte(nStart);
        if (nOperand == NAOP_TRUE || nOperand == NAOP_FALSE) {
            m_eOperator = nOperand == NAOP_TRUE ? NAOP_FALSE : NAOP_TRUE;
            *pbConstant = m_eOperator;
        } else {
            *pbConstant = NAOP_NOT;
        }
        return b;
    }
    pclCommand->bComplete(L")", 1);
    // Only a single comparison's set turns over soundly.
    if (pclOperand->_bIsLeaf() && pclOperand->m_pclNullExcluded != nullptr && _pclNullExcluded() != nullptr)
        m_pclNullExcluded->bCopyColumnValuesNullSelected(pclOperand->m_pclNullExcluded, 1);
    return b;
}

// ---- Leaves ---------------------------------------------------------------------------------------------------

int CNAExpression::_bAddNullRows(CNAConnectionDescription* pclConnection)
{
    if (m_pclColumn->bUniqueNotNull())
        return 0;
    if (m_nFlags & (EXPR_LOWER | EXPR_UPPER))
        return (m_nFlags & EXPR_LOWER) && (m_eOperator == NAOP_EQ || m_eOperator == NAOP_GE) &&
               m_pclValue->bCouldBeNullOnKX();
    const int eKind = pclConnection != nullptr ? pclConnection->eGetDataSource() : 0;
    if ((eKind == 8 || eKind == 11) && m_pclColumn->eGetTypeColonne() != 0)
        return 0;
    const bool bNullFirst = pclConnection == nullptr || pclConnection->bNULLBeforeNotNULL();
    // A 0 or '' of the host is its NULL, below which nothing lies; a record's
    // real 0 or '' has the server's NULL rows after it going backwards.
    const bool bFromRecord = (m_nFlags & (EXPR_RECORD | EXPR_FROMRECORD)) != 0;
    if (m_eOperator == NAOP_LT || m_eOperator == NAOP_LE)
        return bNullFirst && !(m_eOperator == NAOP_LT && !bFromRecord && m_pclValue->bCouldBeNullOnKX());
    if (m_eOperator == NAOP_GT || m_eOperator == NAOP_GE)
        return !bNullFirst;
    return 0;
}

int CNAExpression::_bGetSQLFromValue(CNACommand* pclCommand, CNARecherche* pclSearch, int* pbConstant)
{
    if (m_eOperator == NAOP_FALSE || m_eOperator == NAOP_TRUE)
        return pclCommand->bComplete(s_pszDumpOp(m_eOperator), kAll);
    if (m_pclColumn == nullptr)
        return 0;
    CNAConnectionDescription* pclCnx = _pclConnection(pclCommand);
    // The server's own text of the record's value compares with the column
    // itself, as the server orders it, with no conversion of either.
    const bool bCharacters = (m_nFlags & EXPR_CHARACTERS) != 0;
    const wchar_t* pszServer = nullptr;
    if (!bCharacters && !_bGetServerValue(pclSearch, pclCommand, &pszServer))
        return 0;
    CTString csName;
    if (m_pclParserInfo != nullptr && m_pclColumn->eGetTypeColonne() != 0 && !pclCommand->bOutputNames()) {
        // A computed column of a query: its expression, which the server
        // compares with a text of its own in the expression's type.
        if (!CNACommand::s_bFormatExpressionColonneCalculee(&csName, m_pclParserInfo, *m_pclColumn, 3, m_pclError,
                                                           pclCnx, pclCommand->pszGetWrittenTable()))
            return 0;
        if (bCharacters)
            return _bGetSQLFromCharacters(csName.pszGet(), pclCommand, pclSearch);
        if (pszServer != nullptr)
            return _bGetSQLFromServerValue(csName.pszGet(), pszServer, pclCommand);
        return _bGetSQLFromValueNamed(csName.pszGet(), pclCommand, pclSearch, pbConstant);
    }
    // Without a table alias or a conversion, the name is the one the column
    // keeps quoted by the same rules.
    const eOPEXPRESSION eKind =
        Convert_eNAOperator_To_eOPEXPRESSION(pszServer != nullptr || bCharacters ? NAOP_ISNULL : m_eOperator);
    // A write names its table, whatever name the query reads it by.
    const wchar_t* pszWritten = pclCommand->pszGetWrittenTable();
    const wchar_t* pszAlias = pszWritten[0] != 0 ? pszWritten : m_pclColumn->pszGetAliasNomTable();
    const wchar_t* pszKept = m_pclColumn->pszGetFormatedOriginalName();
    if (pclCommand->bOutputNames())
        // Outside the query only its output columns are seen, computed or not.
        pclCommand->FormatExpressionItemName(3, eKind, m_pclColumn->piGetItem(), L"", m_pclColumn->pszGetName(),
                                             &csName);
    else if ((pszAlias != nullptr && pszAlias[0] != 0) || pszKept[0] == 0 ||
             pclCommand->eGetFormatExpressionColonne(3, m_pclColumn->eNAGetItemType(), eKind, nullptr) != 0)
        pclCommand->FormatExpressionItemName(3, eKind, m_pclColumn->piGetItem(), pszAlias,
                                             m_pclColumn->pszGetOriginalName(), &csName);
    else
        csName.Set(pszKept);
    if (bCharacters)
        return _bGetSQLFromCharacters(csName.pszGet(), pclCommand, pclSearch);
    if (pszServer != nullptr)
        return _bGetSQLFromServerValue(csName.pszGet(), pszServer, pclCommand);
    return _bGetSQLFromValueNamed(csName.pszGet(), pclCommand, pclSearch, pbConstant);
}

int CNAExpression::_bGetServerValue(CNARecherche* pclSearch, CNACommand* pclCommand, const wchar_t** ppszText) const
{
    *ppszText = nullptr;
    if (pclSearch == nullptr || (m_nFlags & (EXPR_RECORD | EXPR_FROMRECORD)) == 0)
        return 1;
    bool bCompared = !bIsGenerique();
    switch (m_eOperator) {
    case NAOP_EQ: case NAOP_GT: case NAOP_LT: case NAOP_GE: case NAOP_LE: case NAOP_NE:
        break;
    default:
        bCompared = false;
    }
    const CNAReadFailure::SRefusal* pstRefusal = pclSearch->pstGetRefusal(m_pclColumn);
    // A value held less exactly without its text is compared as held, as
    // the kept text of a continuation's row when there is one.
    const bool bOwnText =
        pstRefusal != nullptr && (!pstRefusal->bHeld || s_bServerValueText(pstRefusal->strText.c_str()));
    const wchar_t* psz = bOwnText ? pstRefusal->strText.c_str() : pclSearch->pszGetServerValue(m_pclColumn);
    if (bCompared && s_bServerValueText(psz)) {
        *ppszText = psz;
        return 1;
    }
    if (pstRefusal == nullptr || pstRefusal->pclFailure == nullptr)
        return 1;
    // The record holds NULL for a value it could not take, or a value less
    // exactly than its text too long to write: compared so, the condition
    // would find other rows.
    if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERAL, pstRefusal->pclFailure, _pclConnection(pclCommand));
    return 0;
}

bool CNAExpression::s_bServerValueText(const wchar_t* psz)
{
    if (psz == nullptr || psz[0] == 0)
        return false;
    if (s_bHexaLiteral(psz) || (psz[0] == L'@' && s_bNumberText(psz + 1)))
        return true;
    // A date, a time or a number as the server writes them: nothing to
    // quote.
    for (const wchar_t* p = psz; *p != 0; p++)
        if (!((*p >= L'0' && *p <= L'9') || *p == L' ' || *p == L'-' || *p == L':' || *p == L'.' || *p == L'e' ||
              *p == L'+'))
            return false;
    return true;
}

bool CNAExpression::s_bReadWide(const CAny* pValue, std::wstring* ps)
{
    return _bReadWide(pValue, ps);
}

std::wstring CNAExpression::s_strBytesIn(const wchar_t* pszExpression, const wchar_t* pszCharset)
{
    return std::wstring(L"CONVERT(CONVERT(") + pszExpression + L" USING " + pszCharset + L") USING binary)";
}

bool CNAExpression::s_bNumberText(const wchar_t* psz)
{
    // -?digits[.digits][e[-+]digits], as the server writes a DECIMAL or a
    // DOUBLE.
    auto Digits = [&psz] {
        const wchar_t* pStart = psz;
        while (*psz >= L'0' && *psz <= L'9')
            psz++;
        return psz > pStart;
    };
    if (*psz == L'-')
        psz++;
    if (!Digits())
        return false;
    if (*psz == L'.' && (psz++, !Digits()))
        return false;
    if (*psz == L'e') {
        psz++;
        if (*psz == L'-' || *psz == L'+')
            psz++;
        if (!Digits())
            return false;
    }
    return *psz == 0;
}

bool CNAExpression::s_bHexaLiteral(const wchar_t* psz)
{
    // _charset X'hexadecimal digits', nothing else.
    if (*psz++ != L'_')
        return false;
    const wchar_t* pName = psz;
    while ((*psz >= L'a' && *psz <= L'z') || (*psz >= L'0' && *psz <= L'9'))
        psz++;
    if (psz == pName || std::wcsncmp(psz, L" X'", 3) != 0)
        return false;
    psz += 3;
    const wchar_t* pDigits = psz;
    while ((*psz >= L'0' && *psz <= L'9') || (*psz >= L'A' && *psz <= L'F') || (*psz >= L'a' && *psz <= L'f'))
        psz++;
    return (psz - pDigits) % 2 == 0 && psz[0] == L'\'' && psz[1] == 0;
}

int CNAExpression::_bGetSQLFromServerValue(const wchar_t* pszName, const wchar_t* pszValue, CNACommand* pclCommand)
{
    const int bAddNull = _bAddNullRows(_pclConnection(pclCommand));
    if (bAddNull)
        pclCommand->bComplete(L"(", 1);
    const bool bInstant = pszValue[0] == L'@';
    if (bInstant) {
        pclCommand->bComplete(L"UNIX_TIMESTAMP(", kAll);
        pszValue++;
    }
    pclCommand->bComplete(pszName, kAll);
    if (bInstant)
        pclCommand->bComplete(L")", 1);
    pclCommand->bComplete(s_pszDumpOp(m_eOperator), kAll);
    // A text's literal and a number come whole; a date's or a time's is
    // quoted.
    const bool bQuote = !s_bHexaLiteral(pszValue) && !s_bNumberText(pszValue);
    if (bQuote)
        pclCommand->bComplete(L"'", 1);
    pclCommand->bComplete(pszValue, kAll);
    if (bQuote)
        pclCommand->bComplete(L"'", 1);
    _CloseNullRows(pclCommand, pszName, bAddNull);
    return 1;
}

int CNAExpression::_bGetSQLFromCharacters(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch)
{
    CNAConnectionDescription* pclCnx = _pclConnection(pclCommand);
    const CNAReadFailure::SRefusal* pstRefusal = pclSearch != nullptr ? pclSearch->pstGetRefusal(m_pclColumn) : nullptr;
    std::wstring strCharset;
    std::wstring strHexa;
    if (pstRefusal != nullptr && s_bHexaLiteral(pstRefusal->strText.c_str())) {
        // _charset X'digits': the server's own bytes.
        const std::wstring& s = pstRefusal->strText;
        const size_t nQuote = s.find(L'\'');
        strCharset = s.substr(1, s.find(L' ') - 1);
        strHexa = s.substr(nQuote + 1, s.size() - nQuote - 2);
    } else {
        CAny clValue;
        std::wstring s;
        CXYString<char> clUTF8;
        if (m_pclValue == nullptr || !m_pclValue->bGetValue(&clValue) || !_bReadWide(&clValue, &s) ||
            clUTF8.nAffecteToUTF8(s.data(), static_cast<int>(s.size())) != 0) {
            if (m_pclError != nullptr)
                m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointCharacters, pclCnx, nullptr,
                                           m_pclColumn->pszGetName(), ZTERR_CONVERSION,
                                           static_cast<int>(clValue.nGetTypeCode()),
                                           static_cast<int>(m_pclColumn->eNAGetItemType()), s.c_str());
            return 0;
        }
        CTString csHexa;
        CNAConnectionDescription::s_BinaryToStringHexa(reinterpret_cast<const unsigned char*>(clUTF8.pszGet()),
                                                       static_cast<unsigned int>(clUTF8.nGetLength()), &csHexa);
        strCharset = pclCnx != nullptr ? pclCnx->pszGetUnicodeCharset() : L"utf8mb4";
        strHexa = csHexa.pszGet() != nullptr ? csHexa.pszGet() : L"";
    }
    // Bytes against bytes: no collation, no padding.
    pclCommand->bComplete((s_strBytesIn(pszName, strCharset.c_str()) + L"=X'" + strHexa + L"'").c_str(), kAll);
    _SetNullSelected(0);
    return 1;
}

void CNAExpression::_CloseNullRows(CNACommand* pclCommand, const wchar_t* pszName, int bAddNull)
{
    if (bAddNull) {
        pclCommand->bComplete(L" OR ", kAll);
        pclCommand->bComplete(pszName, kAll);
        pclCommand->bComplete(L" IS NULL)", kAll);
    }
    _SetNullSelected(bAddNull);
}

int CNAExpression::_bWriteParsed(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch,
                                 CNARecord* pclRecord)
{
    if (m_pclParserInfo == nullptr)
        return 1;
    if (m_pclParserInfo->pclGetRecordNoRef() == nullptr && pclRecord != nullptr)
        m_pclParserInfo->SetRecord(pclRecord);
    const int nBefore = pclCommand->nGetParameterNbr();
    // The host's condition may hold an OR: under an AND or a NOT it keeps
    // its own parentheses.
    const bool bParentheses = eParent > NAOP_OR;
    if (bParentheses)
        pclCommand->bComplete(L"(", 1);
    const int bResult = pclCommand->bAddFilterExpression(m_pclParserInfo);
    if (bParentheses)
        pclCommand->bComplete(L")", 1);
    if (pclSearch != nullptr)
        pclSearch->GetParameterFromQuery(pclCommand, static_cast<unsigned int>(nBefore));
    return bResult;
}

int CNAExpression::_bGetSQLFromValueNamed(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch,
                                          int* pbConstant)
{
    CNAConnectionDescription* pclCnx = _pclConnection(pclCommand);
    const CTString csName(pszName);
    CAny clValue;
    bool bNull = m_pclValue == nullptr || !m_pclValue->bGetValue(&clValue) || clValue.bIsNull() ||
                 clValue.nGetTypeCode() == TQTYPE_VIDE;
    if (!bNull && pclSearch != nullptr && pclSearch->bEmptyTextAsNull() && m_pclValue->bIsEmptyStringEx())
        bNull = true;
    const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
    const unsigned char nValueType = clValue.nGetTypeCode();
    const bool bDate = eType == NA_IT_DATE6 || eType == NA_IT_DATE8 || eType == NA_IT_DATETIME;
    if (!bNull && bDate && pclCnx != nullptr) {
        // A date without a date is no value: its literal would be NULL
        // inside a comparison.
        std::wstring s;
        const bool bEmpty = !_bReadWide(&clValue, &s) || s.empty();
        const bool bText = (nValueType >= 16 && nValueType <= 23) || nValueType == 81 || nValueType == 110 ||
                           nValueType == 134;
        if (bEmpty && pclCnx->bTreatEmptyDateAsNULL())
            bNull = true;
        else if (bText && eType != NA_IT_DATETIME && pclCnx->bTreat0000DateAsNULL())
            bNull = bEmpty || s.compare(0, 8, L"00000000") == 0;
    }
    if (bNull || m_eOperator == NAOP_ISNULL || m_eOperator == NAOP_ISNOTNULL)
        return _bGetSQLFromValueNULL(csName.pszGet(), pclCommand, pbConstant);
    const int bAddNull = _bAddNullRows(pclCnx);
    if (_bIsTextItem(eType))
        return _bGetSQLFromValueString(csName.pszGet(), pclCommand, pclSearch, bAddNull, pbConstant);
    if (eType == NA_IT_HEURE || eType == NA_IT_DATE8 || eType == NA_IT_DATETIME)
        return _bGetSQLFromValueDateTime(csName.pszGet(), pclCommand, pclSearch, bAddNull);
    const eNA_ITEMTYPE eDB = m_pclColumn->eNAGetItemTypeOnDatabaseEx();
    const bool bReal = eType == NA_IT_R4 || eType == NA_IT_R8 || eDB == NA_IT_R4 || eDB == NA_IT_R8;
    double dReal = 0;
    if (bReal && !bAddNull && m_eOperator == NAOP_EQ && pclSearch != nullptr &&
        (pclSearch->nGetFlags() & CNARecherche::RECH_RECORD) != 0 && clValue.nGetREAL(&dReal) <= 99 &&
        std::isfinite(dReal))
        return _bGetSQLFromValueReal(csName.pszGet(), pclCommand, dReal);
    return _bGetSQLFromValueUsingParameter(csName.pszGet(), pclCommand, pclSearch, 0, bAddNull);
}

int CNAExpression::_bGetSQLFromValueNULL(const wchar_t* pszName, CNACommand* pclCommand, int* pbConstant)
{
    CNAConnectionDescription* pclCnx = _pclConnection(pclCommand);
    const bool bNullFirst = pclCnx == nullptr || pclCnx->bNULLBeforeNotNULL();
    switch (m_eOperator) {
    case NAOP_GE:
    case NAOP_LE:
        m_eOperator = NAOP_TRUE;
        *pbConstant = NAOP_TRUE;
        return 1;
    case NAOP_GT:
    case NAOP_LT:
        if ((m_eOperator == NAOP_GT) != bNullFirst) {
            m_eOperator = NAOP_FALSE;
            *pbConstant = NAOP_FALSE;
            return 1;
        }
        break;
    case NAOP_ISNOTNULL:
    case NAOP_NE: // unequal to NULL: every row that holds a value
        break;
    default:
        pclCommand->bComplete(pszName, kAll);
        pclCommand->bComplete(L" IS NULL", kAll);
        _SetNullSelected(1);
        return 1;
    }
    pclCommand->bComplete(pszName, kAll);
    pclCommand->bComplete(L" IS NOT NULL", kAll);
    _SetNullSelected(0);
    return 1;
}

int CNAExpression::_bGetSQLFromValueString(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch,
                                           int bAddNull, int* pbConstant)
{
    const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
    const bool bWide = eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE;
    CAny clValue;
    std::wstring s;
    m_pclValue->bGetValue(&clValue);
    const bool bEmpty = !_bReadWide(&clValue, &s) || s.empty();
    if (bEmpty && pclSearch != nullptr && pclSearch->bEmptyTextAsNull())
        return _bGetSQLFromValueNULL(pszName, pclCommand, pbConstant);
    if (bEmpty && !bWide) {
        if (bAddNull)
            pclCommand->bComplete(L"(", 1);
        pclCommand->bComplete(pszName, kAll);
        if (bIsGenerique() && m_eOperator == NAOP_EQ) {
            pclCommand->bComplete(L" LIKE '%%'", kAll);
        } else {
            pclCommand->bComplete(s_pszDumpOp(m_eOperator), kAll);
            pclCommand->bComplete(L"''", 2);
        }
        _CloseNullRows(pclCommand, pszName, bAddNull);
        return 1;
    }
    CNAConnectionDescription* pclCnx = _pclConnection(pclCommand);
    const bool bEqNe = m_eOperator == NAOP_EQ || m_eOperator == NAOP_NE;
    const bool bLike = pclCnx != nullptr && pclCnx->eGetDataSource() == 11 ? bEqNe : (bIsGenerique() && bEqNe);
    return _bGetSQLFromValueUsingParameter(pszName, pclCommand, pclSearch, bLike, bAddNull);
}

int CNAExpression::_bGetSQLFromValueDateTime(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch,
                                             int bAddNull)
{
    const bool bEqNe = m_eOperator == NAOP_EQ || m_eOperator == NAOP_NE;
    if (!bIsGenerique() || !bEqNe)
        return _bGetSQLFromValueUsingParameter(pszName, pclCommand, pclSearch, 0, bAddNull);
    const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
    CNAConnectionDescription* pclCnx = _pclConnection(pclCommand);
    if (eType == NA_IT_HEURE && (pclCnx == nullptr || !pclCnx->bSupportItemTime()))
        return _bGetSQLFromValueUsingParameter(pszName, pclCommand, pclSearch, 1, bAddNull);
    CAny clValue;
    std::wstring s;
    m_pclValue->bGetValue(&clValue);
    _bReadWide(&clValue, &s);
    const size_t nComplete = eType == NA_IT_HEURE   ? static_cast<size_t>(m_pclColumn->nGetLogicalSize())
                             : eType == NA_IT_DATE8 ? 8
                                                    : 17;
    CAny clLower;
    CAny clUpper;
    if (s.empty() || s.size() >= nComplete || !s_bGetBorneRechercheDateGenerique(eType, &clValue, &clLower, &clUpper))
        return _bGetSQLFromValueUsingParameter(pszName, pclCommand, pclSearch, 0, bAddNull);
    int nEqual = 0;
    const bool bEqual = nEgalite(&clLower, &clUpper, &nEqual, 0) <= 99 && nEqual != 0;
    const bool bEq = m_eOperator == NAOP_EQ;
    // Outside the range: below it or from its end on.
    if (!bEq && !bEqual)
        pclCommand->bComplete(L"(", 1);
    pclCommand->bComplete(pszName, kAll);
    pclCommand->bComplete(bEqual ? (bEq ? L"=" : L"<>") : (bEq ? L">=" : L"<"), kAll);
    int bResult = _bAddBoundParameter(pclCommand, pclSearch, &clLower);
    if (bResult && !bEqual) {
        pclCommand->bComplete(bEq ? L" AND " : L" OR ", kAll);
        pclCommand->bComplete(pszName, kAll);
        pclCommand->bComplete(bEq ? L"<" : L">=", kAll);
        bResult = _bAddBoundParameter(pclCommand, pclSearch, &clUpper);
        if (!bEq)
            pclCommand->bComplete(L")", 1);
    }
    _SetNullSelected(0);
    return bResult;
}

bool CNAExpression::s_bRoundedReal(const CNAColumn* pclColumn)
{
    return pclColumn != nullptr &&
           (pclColumn->eNAGetItemType() == NA_IT_R4 || pclColumn->eNAGetItemTypeOnDatabaseEx() == NA_IT_R4);
}

int CNAExpression::_bGetSQLFromValueReal(const wchar_t* pszName, CNACommand* pclCommand, double d)
{
    // Written as double literals (with an exponent) of seventeen digits: a
    // double's text is then exact. A FLOAT compares as the double it widens
    // to, which its six-digit text does not give back: every value that
    // text stands for is taken.
    wchar_t sz[96];
    pclCommand->bComplete(pszName, kAll);
    if (d == 0 || !s_bRoundedReal(m_pclColumn)) {
        swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"=%.16e", d);
    } else {
        const double dHalfDigit = 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(d))) - 5);
        // A little over half a digit: the host may hold the text's nearest
        // single.
        const double dMargin = dHalfDigit * 1.0001;
        swprintf(sz, sizeof(sz) / sizeof(sz[0]), L" BETWEEN %.16e AND %.16e", d - dMargin, d + dMargin);
    }
    // Whatever the process's locale made of the decimal point.
    for (wchar_t* p = sz; *p != 0; p++)
        if (*p == L',')
            *p = L'.';
    _SetNullSelected(0);
    return pclCommand->bComplete(sz, kAll);
}

int CNAExpression::_bAddBoundParameter(CNACommand* pclCommand, CNARecherche* pclSearch, CAny* pBound)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    if (pclDriver == nullptr)
        return _bNotYet(kPointNoDriver);
    CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
    CNAConvertVariant* pclCell = pclDriver->pclGetNewVariant_NV_Any(
        m_pclError, pclRecord != nullptr ? pclRecord->pclGetConnectionNoRef() : nullptr, m_pclColumn, pBound);
    if (pclCell == nullptr)
        return 0;
    pclCell->AddRef();
    const unsigned int nPosition = pclCommand->nGetSQLLength();
    CNAParameter* pclParameter = pclSearch != nullptr
                                     ? pclSearch->_pclAddParameter(m_pclColumn, pclCell, nPosition, 0)
                                     : pclDriver->pclAllocParameter_col(m_pclColumn, pclCell, nPosition, 0, nullptr);
    pclCell->nRelease();
    if (pclParameter == nullptr)
        return 0;
    pclParameter->AddRef();
    const int bResult = pclCommand->bAddParameter(pclParameter);
    pclParameter->nRelease();
    if (pclSearch != nullptr)
        pclCommand->bComplete(pclSearch->pszGetParameterSuffix(), kAll);
    return bResult;
}

int CNAExpression::_bGetSQLFromValueUsingParameter(const wchar_t* pszName, CNACommand* pclCommand,
                                                   CNARecherche* pclSearch, int bLike, int bAddNull)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    if (pclDriver == nullptr)
        return _bNotYet(kPointNoDriver);
    if (bAddNull)
        pclCommand->bComplete(L"(", 1);
    pclCommand->bComplete(pszName, kAll);
    const eNA_ITEMTYPE eType = m_pclColumn->eNAGetItemType();
    const int eConvert =
        pclCommand->eGetFormatExpressionColonne(3, eType, Convert_eNAOperator_To_eOPEXPRESSION(m_eOperator), nullptr);
    CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
    CAny clValue;
    m_pclValue->bGetValue(&clValue);
    CNAConvertVariant* pclCell =
        pclDriver->pclAllocVariant(m_pclError, pclRecord != nullptr ? pclRecord->pclGetConnectionNoRef() : nullptr);
    if (pclCell == nullptr)
        return 0;
    pclCell->AddRef();
    pclCell->InitTypeVariantAny(clValue.nGetTypeCode(), 0);
    if (eConvert != 0) {
        pclCell->bSetValue(&clValue);
        pclCell->bChangeItemType(static_cast<eNA_ITEMTYPE>(eConvert), bIsGenerique());
    } else {
        // The value in the column's type; a partial date the type refuses
        // stands for the first instant it covers, as the literals of dates
        // take it.
        pclCell->SetItemDesc(m_pclColumn->piGetItem(), m_pclColumn->pclGetImportedItem());
        CAny clLower;
        if (!pclCell->bSetValue(&clValue) &&
            !(s_bGetBorneRechercheDateMin(eType, &clValue, &clLower) && pclCell->bSetValue(&clLower)))
            static_cast<CNAVariant*>(pclCell)->bSetValue(&clValue);
    }
    int bResult = 1;
    if (bLike) {
        pclCommand->bComplete(m_eOperator == NAOP_EQ ? L" LIKE " : L" NOT LIKE ", kAll);
        std::wstring s;
        _bReadWide(&clValue, &s);
        // A pattern is a C text all the way down: cut at a NUL it would
        // find other rows.
        if (_bHoldsNul(&clValue)) {
            pclCell->nRelease();
            if (m_pclError != nullptr)
                m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointLikeNul,
                                           pclRecord != nullptr ? pclRecord->pclGetConnectionNoRef() : nullptr,
                                           nullptr, pszName,
                                           ZTERR_CONVERSION, static_cast<int>(clValue.nGetTypeCode()),
                                           static_cast<int>(eType), s.c_str());
            return 0;
        }
        CXYString<wchar_t> clPattern;
        if (!s.empty())
            bResult = pclCommand->bEscapeLIKEParamAsKXParam(&clPattern, s.c_str(), kLikeEscape);
        std::wstring strPattern(clPattern.pszGet());
        if (bIsGenerique())
            strPattern += L'%';
        if (bResult && !strPattern.empty()) {
            // The pattern stays wide text, whatever the column's type.
            CAny clPattern;
            _SetWide(&clPattern, strPattern.c_str());
            static_cast<CNAVariant*>(pclCell)->bSetValue(&clPattern);
        }
    } else {
        pclCommand->bComplete(s_pszDumpOp(m_eOperator), kAll);
    }
    CNAParameter* pclParameter = nullptr;
    if (bResult) {
        const unsigned int nPosition = pclCommand->nGetSQLLength();
        CNAColumn* pclBound = eConvert != 0 ? nullptr : m_pclColumn;
        const unsigned int nFlags = bLike ? static_cast<unsigned int>(CNAParameter::PF_LIKE) : 0u;
        pclParameter = pclSearch != nullptr
                           ? pclSearch->_pclAddParameter(pclBound, pclCell, nPosition, nFlags)
                           : pclDriver->pclAllocParameter_col(pclBound, pclCell, nPosition, nFlags, nullptr);
    }
    pclCell->nRelease();
    if (pclParameter == nullptr)
        return 0;
    pclParameter->AddRef();
    if (bLike)
        pclParameter->SetEscape(kLikeEscape);
    bResult = pclCommand->bAddParameter(pclParameter);
    pclParameter->nRelease();
    if (pclSearch != nullptr)
        pclCommand->bComplete(pclSearch->pszGetParameterSuffix(), kAll);
    if (bLike)
        pclCommand->vAddEscapeLike(eType);
    _CloseNullRows(pclCommand, pszName, bAddNull);
    return bResult;
}
