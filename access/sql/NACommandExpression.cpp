// The expressions of a host-parsed query written into a command: trees of
// operators, functions, columns, literals and parameters, the names of
// items and tables, computed output columns, the types values are sent in.
// One copy position moves forward over the host text; the text between the
// nodes written again is copied as the host wrote it.
#include "access/sql/NACommand.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/ColumnNullValueExcluded.h"
#include "access/sql/NAExpression.h"
#include "access/sql/SQLParserInfo.h"
#include "access/sql/TabValParser.h"
#include "access/statement/NARecord.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XTime.h"
#include "common/text/TextCompare.h"
#include "common/values/NACnvVariant.h"

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

const int kFile = CNACommand::ERRFILE_COMMAND;

enum : int {
    kPointRefused = 40,
    kPointSelf = 41,
    kPointNoComputed = 42,
    kPointNoValue = 43,
    kPointSeveralFrom = 45,
};

enum : int {
    KIND_PARENTHESES = 1,
    KIND_SIGN = 3,
    KIND_LIKE = 32,
    KIND_ISNULL = 33,
    KIND_COLUMN = 47,
    KIND_LITERAL = 48,
    KIND_PARAMETER = 49,
    KIND_REFUSED = 73,
};

const wchar_t* Text(const wchar_t* psz) { return psz != nullptr ? psz : L""; }
bool bEmpty(const wchar_t* psz) { return psz == nullptr || psz[0] == 0; }
bool bSameName(const wchar_t* a, const wchar_t* b) { return STR_nCompareW(Text(a), Text(b), 3) == 0; }

bool bDateItem(int e) { return e == NA_IT_DATE8 || e == NA_IT_DATE6 || e == NA_IT_DATETIME; }

// Drops the description in hand.
void Release(INAItemDescription** ppi)
{
    if (ppi != nullptr && *ppi != nullptr) {
        (*ppi)->nExternalRelease();
        *ppi = nullptr;
    }
}

// The function names of the other database kinds, by host expression kind.
struct SFunctionName {
    int nFrom, nTo;
    const wchar_t* apsz[8]; // kinds 1, 2, 4, 6, 7, 8, 11, 13
};
const SFunctionName g_astFunctionName[] = {
    {7, 8, {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, L"NVL", nullptr}},
    {42, 43, {L"SUBSTR", nullptr, nullptr, L"SUBSTRING", nullptr, nullptr, L"SUBSTR", L"SUBSTR"}},
    {44, 44, {L"SUBSTR", L"SUBSTRING", L"SUBSTRING", L"SUBSTRING", L"SYSIBM.SUBSTR", L"SUBSTR", L"SUBSTR", nullptr}},
    {45, 45, {nullptr, nullptr, nullptr, nullptr, L"UCASE", nullptr, nullptr, nullptr}},
    {46, 46, {nullptr, nullptr, nullptr, nullptr, L"LCASE", nullptr, nullptr, nullptr}},
    {50, 50, {nullptr, L"SUBSTRING", L"SUBSTRING", L"SUBSTRING", L"SYSIBM.SUBSTR", nullptr, nullptr, nullptr}},
    {51, 51, {L"SUBSTR", nullptr, nullptr, nullptr, L"SYSIBM.SUBSTR", nullptr, L"SUBSTR", L"SUBSTR"}},
    {52, 53, {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, L"TRIM", nullptr}},
    {54, 54, {nullptr, L"LEN", L"CHAR_LENGTH", nullptr, nullptr, nullptr, nullptr, nullptr}},
    {55, 55, {L"LENGTH", nullptr, nullptr, nullptr, L"LENGTH", L"LENGTH", L"LENGTH", L"LENGTH"}},
    {72, 72, {L"CEIL", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}},
    {75, 76, {L"SUBSTR", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}},
    {77, 78, {L"LENGTH", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}},
    {79, 79, {L"LENGTHB", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}},
    {89, 89, {L"INSTR", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}},
    {92, 92, {L"TO_CHAR", nullptr, nullptr, nullptr, nullptr, nullptr, L"SUBSTR(HEX", nullptr}},
};

int nDatabaseColumn(int eDataSource)
{
    static const int s_an[] = {1, 2, 4, 6, 7, 8, 11, 13};
    for (int i = 0; i < 8; i++)
        if (s_an[i] == eDataSource)
            return i;
    return -1;
}

// Operands of a node in order, each a reference the holder releases.
struct SOperands {
    std::vector<IExpOpExpression*> tab;
    explicit SOperands(IExpOpExpression* pi)
    {
        int nIterator = 0;
        for (IExpOpExpression* p = pi->piGetNextOperande(&nIterator); p != nullptr; p = pi->piGetNextOperande(&nIterator))
            tab.push_back(p);
    }
    ~SOperands()
    {
        for (IExpOpExpression* p : tab)
            p->nRelease();
    }
    SOperands(const SOperands&) = delete;
    SOperands& operator=(const SOperands&) = delete;
};

// A physical name copied out of the shared buffer at once.
std::wstring PhysicalName(CSQLParserInfo* pclInfo, const wchar_t* pszLogical)
{
    const wchar_t* psz = pclInfo != nullptr ? pclInfo->pszGetPhysicalName(pszLogical) : nullptr;
    return psz != nullptr ? std::wstring(psz) : std::wstring();
}

// The database name of a table: its physical name, else its description's
// database table name, else the name itself.
std::wstring DatabaseTableName(CSQLParserInfo* pclInfo, const wchar_t* pszLogical)
{
    std::wstring s = PhysicalName(pclInfo, pszLogical);
    if (!s.empty())
        return s;
    INADataSourceDescription* pi = pclInfo != nullptr ? pclInfo->piGetNADataSourceDescription(pszLogical) : nullptr;
    if (pi != nullptr) {
        s = Text(pi->pszGetDBTableName());
        pi->nExternalRelease();
    }
    return s.empty() ? std::wstring(Text(pszLogical)) : s;
}

// The table a name written before a column reads: its FROM entry's as the
// FROM clause names it, whatever spelling stands for the entry; the name
// itself when it stands for none.
std::wstring FromTableName(CSQLParserInfo* pclInfo, const wchar_t* pszName)
{
    const wchar_t* psz = pclInfo != nullptr ? pclInfo->pszGetFromTableName(pszName) : nullptr;
    return std::wstring(!bEmpty(psz) ? psz : Text(pszName));
}

// Items of whole numbers (and money, of four decimals): a literal they
// cannot hold whole would be cut or wrapped in their type.
bool _bWholeNumberItem(int eType)
{
    switch (eType) {
    case NA_IT_IDAUTO: case NA_IT_IDAUTO4: case NA_IT_I1: case NA_IT_I2: case NA_IT_I4: case NA_IT_I8:
    case NA_IT_UI1: case NA_IT_UI2: case NA_IT_UI4: case NA_IT_UI8: case NA_IT_BOOLEEN: case NA_IT_MONETAIRE:
        return true;
    default:
        return false;
    }
}

} // namespace

// ---- Positions and host text ---------------------------------------------------------------------

tagRECT CNACommand::_stGetPositionExpression(IExpOpExpression* piNode)
{
    const eOPEXPRESSION eKind = piNode->eGetOperateur();
    if (eKind == KIND_PARENTHESES || eKind == KIND_SIGN)
        return piNode->stGetPositionExterne();
    const tagRECT st = piNode->stGetPosition();
    if (st.left == 0 && st.right == 0)
        return piNode->stGetPositionExterne();
    return st;
}

int CNACommand::_bLastOperande(IExpOpExpression* piNode, unsigned int nIndex)
{
    if (piNode == nullptr)
        return 0;
    SOperands st(piNode);
    return st.tab.size() == static_cast<size_t>(nIndex) + 1;
}

// ---- Names --------------------------------------------------------------------------------------------

void CNACommand::_FormatTableName(const wchar_t* pszName, CTString* pclOut)
{
    if (m_pclConnection == nullptr || bEmpty(pszName)) {
        pclOut->Set(Text(pszName));
        return;
    }
    // A query names the same few tables again and again; a refused name is
    // refused again each time.
    if (m_csTableIn.nTaille() == 0 || wcscmp(m_csTableIn.pszGet(), pszName) != 0) {
        m_csTableIn.Set(pszName);
        if (!m_pclConnection->bFormatTableName(_pclNameError(), pszName, &m_csTableOut)) {
            m_csTableIn.Vide();
            _NameHeld(0);
        }
    }
    pclOut->Set(m_csTableOut.pszGet());
}

void CNACommand::_FormatItemName(const wchar_t* pszName, CTString* pclOut)
{
    if (m_pclConnection == nullptr || bEmpty(pszName))
        pclOut->Set(Text(pszName));
    else
        _NameHeld(m_pclConnection->bFormatItemName(_pclNameError(), pszName, pclOut));
}

IInfoRubrique* CNACommand::_piGetInfoRubriqueFromAlias(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                                       const wchar_t* pszAlias)
{
    return CSQLParserInfo::g_piGetInfoRubriqueFromAlias(piParser, pszTable, pszAlias);
}

void CNACommand::_GetOriginalTableNameAndItemName(CSQLParserInfo* pclInfo, CTString* pclTable, CTString* pclItem)
{
    INADataSourceDescription* piSource = nullptr;
    if (pclInfo == nullptr)
        return;
    _RefuseSeveralFrom(pclInfo, pclTable->pszGet());
    if (pclInfo->bIsTableAlias(pclTable->pszGet(), &piSource)) {
        // The server tells aliases apart by case: the FROM clause's.
        pclTable->Set(pclInfo->pszGetFromAlias(pclTable->pszGet()));
        return;
    }
    const std::wstring strTable = FromTableName(pclInfo, pclTable->pszGet());
    const std::wstring strPhysical = PhysicalName(pclInfo, strTable.c_str());
    if (!strPhysical.empty())
        pclTable->Set(strPhysical.c_str());
    else if (piSource != nullptr && !bEmpty(piSource->pszGetDBTableName()))
        pclTable->Set(piSource->pszGetDBTableName());
    else
        pclTable->Set(strTable.c_str());
    if (piSource != nullptr) {
        if (pclItem != nullptr && pclItem->nTaille() > 0) {
            INAItemDescription* pi = piSource->piNAGetItem(pclItem->pszGet());
            if (pi != nullptr) {
                pclItem->Set(pi->pszGetName());
                pi->nExternalRelease();
            }
        }
        piSource->nExternalRelease();
    }
}

void CNACommand::_GetFormatedOriginalTableNameAndItemName(CSQLParserInfo* pclInfo, CTString* pclTable,
                                                           CTString* pclItem)
{
    _GetOriginalTableNameAndItemName(pclInfo, pclTable, pclItem);
    CTString cs;
    _FormatTableName(pclTable->pszGet(), &cs);
    pclTable->Set(cs.pszGet());
    _FormatItemName(pclItem->pszGet(), &cs);
    pclItem->Set(cs.pszGet());
}

void CNACommand::_RefuseSeveralFrom(CSQLParserInfo* pclInfo, const wchar_t* pszName)
{
    if (pclInfo != nullptr && pclInfo->bNamesSeveralFrom(pszName))
        _HostFault(kPointSeveralFrom);
}

INAItemDescription* CNACommand::_pclGetOriginalItemDesc(CSQLParserInfo* pclInfo, const wchar_t* pszTable,
                                                        const wchar_t* pszItem)
{
    if (pclInfo == nullptr || !pclInfo->bIsTableAlias(pszTable, nullptr))
        return nullptr;
    ISQLParserInformation* piParser = pclInfo->piGetSQLParserInformationNoRef();
    for (int i = 0; i < pclInfo->nGetFichierFromNbr(); i++) {
        IInfoFrom* piFrom = pclInfo->piGetFichierFrom(i);
        if (!bSameName(piFrom->pszGetAlias(), pszTable))
            continue;
        INADataSourceDescription* piSource = nullptr;
        try {
            piSource = piParser->piGetFromDescription(piFrom);
        } catch (...) {
            piSource = nullptr;
        }
        INAItemDescription* pi = piSource != nullptr ? piSource->piNAGetItem(pszItem) : nullptr;
        if (piSource != nullptr)
            piSource->nExternalRelease();
        return pi;
    }
    return nullptr;
}

int CNACommand::s_bGetItemNameAndPos(CTString* pclName, unsigned int* pnStart, unsigned int* pnStop,
                                     const wchar_t* pszText, unsigned int nPos)
{
    if (pszText == nullptr)
        return 0;
    const size_t nLength = wcslen(pszText);
    size_t i = nPos;
    while (i < nLength && s_bSeparateur(pszText[i]))
        i++;
    if (i >= nLength)
        return 0;
    if (pszText[i] == L'"' || pszText[i] == L'[') {
        // Closed by its own mark: a bracketed name may hold a double quote.
        const wchar_t* p = wcschr(pszText + i + 1, pszText[i] == L'"' ? L'"' : L']');
        if (p == nullptr || p == pszText + i + 1)
            return 0;
        pclName->Set(pszText + i + 1, static_cast<unsigned>(p - pszText - i - 1));
        *pnStart = static_cast<unsigned int>(i);
        *pnStop = static_cast<unsigned int>(p - pszText);
        return 1;
    }
    size_t k = i;
    while (k < nLength && !s_bSeparateur(pszText[k]))
        k++;
    if (k >= nLength)
        return 0;
    pclName->Set(pszText + i, static_cast<unsigned>(k - i));
    *pnStart = static_cast<unsigned int>(i);
    *pnStop = static_cast<unsigned int>(k - 1);
    return 1;
}

int CNACommand::_bFormatAlias(unsigned int* pnPos, const wchar_t* pszText)
{
    const unsigned int nLength = _nHostLength(pszText);
    unsigned int i = *pnPos;
    while (i < nLength && (pszText[i] == L' ' || pszText[i] == L'\t' || pszText[i] == L'\r' || pszText[i] == L'\n'))
        i++;
    if (!s_bKeywordAt(pszText, nLength, i, L"AS"))
        return 1;
    // "AS" as a word of its own.
    if (i + 2 < nLength && !s_bSeparateur(pszText[i + 2]) && pszText[i + 2] != L'"' && pszText[i + 2] != L'[')
        return 1;
    CTString csName;
    unsigned int nStart = 0, nStop = 0;
    if (!s_bGetItemNameAndPos(&csName, &nStart, &nStop, pszText, i + 2))
        return 1;
    _CopyHost(pszText, pnPos, nStart);
    CTString csQuoted;
    _FormatItemName(csName.pszGet(), &csQuoted);
    _AddSQL(csQuoted.pszGet());
    *pnPos = nStop + 1;
    return 1;
}

// ---- Dialect answers -----------------------------------------------------------------------------------

void CNACommand::_FormatExpressionOperator(CSQLParserInfo*, IExpOpExpression* piExpression, IExpOpExpression*, int,
                                           CTString* pclOut)
{
    pclOut->Vide();
    if (piExpression == nullptr || m_pclConnection == nullptr)
        return;
    const int nColumn = nDatabaseColumn(m_pclConnection->eGetDataSource());
    if (nColumn < 0)
        return;
    const eOPEXPRESSION eKind = piExpression->eGetOperateur();
    for (const SFunctionName& st : g_astFunctionName)
        if (eKind >= st.nFrom && eKind <= st.nTo && st.apsz[nColumn] != nullptr)
            pclOut->Set(st.apsz[nColumn]);
}

void CNACommand::_FormatExpressionArgument(CSQLParserInfo*, IExpOpExpression*, CTString* pclOut)
{
    // The argument forms of other database kinds are not written by this
    // driver: MySQL takes the host's.
    if (pclOut != nullptr)
        pclOut->Vide();
}

int CNACommand::_bShouldAddParameter(CSQLParserInfo* pclInfo, IExpOpExpression*, IExpOpExpression*, int eKind,
                                     INAItemDescription*)
{
    if (!m_bLiteralParameter)
        return 0;
    if (eKind == 1 && (m_nDialectFlags & 0x2) != 0)
        return pclInfo != nullptr && pclInfo->eGetTypeRequete() != 1;
    return 1;
}

int CNACommand::_eTypeRetour(int, IExpOpExpression* piNode, eNA_ITEMTYPE eType, INAItemDescription** ppiItem)
{
    const eOPEXPRESSION e = piNode != nullptr ? piNode->eGetOperateur() : -1;
    const eNA_ITEMTYPE eItem = ppiItem != nullptr && *ppiItem != nullptr ? (*ppiItem)->eNAGetItemType() : NA_IT_EMPTY;
    auto In = [e](int a, int b) { return e >= a && e <= b; };
    if (In(0, 6) || e == 8 || In(27, 30) || e == 32 || In(34, 41) || In(59, 72) || In(110, 114) || In(131, 134))
        return eType;
    int eResult = NA_IT_EMPTY;
    bool bFromItem = false;
    const int nCodePage = m_pclConnection != nullptr ? m_pclConnection->nGetCnxCodePage() : 1252;
    if (e == 7 || In(9, 26)) {
        eResult = NA_IT_BOOLEEN;
    } else if (e == 31 || In(54, 57) || In(77, 79) || e == 89 || e == 115 || e == 117) {
        eResult = NA_IT_I8;
    } else if (In(42, 46) || In(50, 53) || e == 75 || e == 76 || In(80, 88) || e == 105 || In(118, 130)) {
        bFromItem = eItem == NA_IT_TEXTE || eItem == NA_IT_MEMOTEXTE || eItem == NA_IT_UNICODE ||
                    eItem == NA_IT_MEMOUNICODE;
        eResult = bFromItem ? eItem : (nCodePage == 65001 || nCodePage == -2 ? NA_IT_UNICODE : NA_IT_TEXTE);
    } else if (e == 95 || e == 96 || e == 116) {
        eResult = NA_IT_TEXTE;
    } else if (In(97, 99) || e == 101 || e == 102 || e == 104 || e == 109) {
        bFromItem = bDateItem(eItem);
        eResult = bFromItem ? eItem : NA_IT_DATETIME;
    } else if (e == 100) {
        eResult = NA_IT_I4;
    } else if (e == 108) {
        eResult = NA_IT_UNICODE;
    }
    if (!bFromItem)
        Release(ppiItem);
    return eResult;
}

int CNACommand::_eTypeParameter(int eKind, IExpOpExpression* piNode, unsigned int nArgument, eNA_ITEMTYPE eType,
                                INAItemDescription** ppiItem)
{
    const eOPEXPRESSION e = piNode != nullptr ? piNode->eGetOperateur() : -1;
    const eNA_ITEMTYPE eItem = ppiItem != nullptr && *ppiItem != nullptr ? (*ppiItem)->eNAGetItemType() : NA_IT_EMPTY;
    const int nCodePage = m_pclConnection != nullptr ? m_pclConnection->nGetCnxCodePage() : 1252;
    switch (e) {
    case 1:
    case 3:
        return nArgument == 0 ? eType : NA_IT_EMPTY;
    case 59:
    case 70:
    case 101:
        if (nArgument == 1)
            Release(ppiItem);
        return e == 101 && nArgument == 0 ? NA_IT_DATE8 : NA_IT_EMPTY;
    case 74:
    case 107:
        Release(ppiItem);
        return NA_IT_EMPTY;
    case 88:
        Release(ppiItem);
        return nCodePage == 65001 || nCodePage == -2 ? NA_IT_UNICODE : NA_IT_TEXTE;
    case 94:
    case 106:
        if (nArgument == 0)
            return NA_IT_EMPTY;
        if ((nArgument == 1 && _bLastOperande(piNode, 1)) || (nArgument > 1 && nArgument % 2 == 0))
            Release(ppiItem);
        return NA_IT_EMPTY;
    case 98:
        if (nArgument == 0)
            return bDateItem(eItem) ? NA_IT_EMPTY : NA_IT_DATETIME;
        if (nArgument == 1) {
            Release(ppiItem);
            return NA_IT_I4;
        }
        return NA_IT_EMPTY;
    case 99:
        return nArgument == 0 ? NA_IT_DATE8 : NA_IT_EMPTY;
    case 100:
        return NA_IT_DATE8;
    case 102:
        if (nArgument == 0)
            return NA_IT_DATETIME;
        if (nArgument <= 2) {
            Release(ppiItem);
            return NA_IT_TEXTE;
        }
        return NA_IT_EMPTY;
    default:
        if (eItem == NA_IT_EMPTY)
            return NA_IT_EMPTY;
        return eGetFormatExpressionColonne(eKind, eItem, e, piNode);
    }
}

// ---- Literals ------------------------------------------------------------------------------------------

void CNACommand::FormatExpressionLiteral(int eKind, eOPEXPRESSION eOperator, IExpOpExpression* piNode,
                                         INAItemDescription* piItem, eNA_ITEMTYPE eType, CNAConvertVariant* pclCell)
{
    if (pclCell == nullptr)
        return;
    const eNA_ITEMTYPE eItem = piItem != nullptr ? piItem->eNAGetItemType() : NA_IT_EMPTY;
    int eTarget = eType;
    if (eTarget == NA_IT_EMPTY && eItem != NA_IT_EMPTY) {
        eTarget = eGetFormatExpressionColonne(eKind, eItem, eOperator, piNode);
        if (eTarget == NA_IT_EMPTY)
            eTarget = eItem;
    }
    if (eTarget == NA_IT_EMPTY)
        return;
    CAny clValue;
    if (!pclCell->bGetValue(&clValue))
        return;
    const unsigned char nType = clValue.nGetTypeCode();
    const bool bText = (nType >= 16 && nType <= 23) || nType == 81 || nType == 110 || nType == 134;
    const bool bDateTime = eItem == NA_IT_DATE6 || eItem == NA_IT_DATE8 || eItem == NA_IT_HEURE ||
                           eItem == NA_IT_DATETIME;
    if (!clValue.bIsNull() && bText && (eOperator == 9 || eOperator == 10) && bDateTime) {
        // A date or time given by its first digits means its first instant.
        CAny clWide;
        clValue.pclGetTraitement()->Duplique(&clWide);
        clWide.SetFlags(0);
        const wchar_t* psz = nullptr;
        if (clWide.__nCastTo(TQTYPE_DSTRW, nullptr, 0) <= 99 && clWide.pclGetTraitement()->nGetPCWSTR(&psz) <= 99 &&
            psz != nullptr) {
            const size_t nFull = eItem == NA_IT_HEURE ? 9 : eItem == NA_IT_DATETIME ? 17 : eItem == NA_IT_DATE6 ? 6 : 8;
            const size_t n = wcslen(psz);
            CXTime clTime;
            wchar_t sz[20] = {0};
            bool bDone = false;
            if (n > 0 && n < nFull) {
                if (eItem == NA_IT_HEURE) {
                    bDone = clTime.bSetTQTimeMin(psz, -1);
                    if (bDone)
                        clTime.GetTQTime(sz, 10);
                } else {
                    bDone = clTime.bSetTQDateTimeMin(psz, -1);
                    if (bDone && eItem == NA_IT_DATETIME)
                        clTime.GetTQTimeAAAAMMJJHHMMSSCCm(sz, 18);
                    else if (bDone)
                        clTime.GetTQDate(sz, 9);
                }
            }
            if (bDone) {
                // The completed text, then in the item's type like any value:
                // the server reads its own date forms.
                pclCell->bSetValue(sz, static_cast<unsigned int>(wcslen(sz)));
                pclCell->bChangeItemType(static_cast<eNA_ITEMTYPE>(eTarget), 0);
                return;
            }
        }
    }
    pclCell->bChangeItemType(static_cast<eNA_ITEMTYPE>(eTarget), 0);
}

void CNACommand::_FormatExpressionLiteral(CSQLParserInfo*, IExpOpExpression* piExpression, IExpOpExpression* piParent,
                                          int eKind, INAItemDescription* piItem, CNAParameter* pclParameter,
                                          eNA_ITEMTYPE eType)
{
    const eOPEXPRESSION eOperator = piParent != nullptr ? piParent->eGetOperateur() : -1;
    if ((eKind == 3 || eKind == 5) && eType == NA_IT_EMPTY && piItem != nullptr) {
        eType = static_cast<eNA_ITEMTYPE>(eGetFormatExpressionColonne(eKind, piItem->eNAGetItemType(), eOperator,
                                                                       piExpression));
        if (eType == NA_IT_EMPTY)
            eType = piItem->eNAGetItemType();
    }
    FormatExpressionLiteral(eKind, eOperator, piExpression, piItem, eType,
                            pclParameter != nullptr ? pclParameter->pclGetValue() : nullptr);
}

int CNACommand::_bDoExpressionLiteral(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                                      IExpOpExpression* piParent, int eKind, unsigned int* pnPos,
                                      INAItemDescription* piItem, eNA_ITEMTYPE eType)
{
    if (!_bShouldAddParameter(pclInfo, piNode, piParent, eKind, piItem))
        return 1;
    const tagRECT st = _stGetPositionExpression(piNode);
    if (st.left == 0 && st.right == 0)
        return 1;
    const CAny* pValue = piNode->pclGetValeur();
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAConvertVariant* pclCell =
        pValue != nullptr && pclDriver != nullptr
            ? pclDriver->pclGetNewVariant_NV_Any(m_pclError, m_pclConnection, nullptr, pValue)
            : nullptr;
    if (pclCell == nullptr) {
        if (m_pclError != nullptr && pValue == nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointNoValue, m_pclConnection, nullptr, nullptr,
                                       ZTERR_EXPRESSION_REFUSED, L"MySQL");
        return 0;
    }
    const eOPEXPRESSION eParent = piParent != nullptr ? piParent->eGetOperateur() : -1;
    const unsigned char nType = pValue->nGetTypeCode();
    const bool bText = (nType >= 16 && nType <= 23) || nType == 81 || nType == 110 || nType == 134;
    const bool bLike = eParent == KIND_LIKE && bText;
    pclCell->AddRef();
    const int bAdded =
        bLike ? bAddParameter(pclCell, KIND_LIKE, PF_LITERAL | PF_LIKE_PATTERN | CNAParameter::PF_LIKE, nullptr,
                              nullptr, piParent->cGetEscape(), CNAParameter::PARAM_IN)
              : bAddParameter(pclCell, eParent, PF_LITERAL, nullptr, nullptr, 0, CNAParameter::PARAM_IN);
    pclCell->nRelease();
    if (!bAdded)
        return 0;
    CNAParameter* pclParameter = m_tabParameter[m_tabParameter.nGetNbElement() - 1];
    _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.left));
    *pnPos = static_cast<unsigned int>(st.right) + 1;
    pclParameter->SetPosition(_nTextLength());
    // A LIKE pattern stays the host's text, whatever the column's type.
    if (bLike)
        return 1;
    if (eType == NA_IT_EMPTY && piItem != nullptr) {
        pclParameter->SetItem(piItem);
        CNARecord* pclRecord = pclInfo != nullptr ? pclInfo->pclGetRecordNoRef() : nullptr;
        CNAColumn* pclColumn = pclRecord != nullptr ? pclRecord->pclGetColumnNoRef(piItem) : nullptr;
        if (pclColumn != nullptr)
            pclParameter->SetColum(pclColumn);
    }
    _FormatExpressionLiteral(pclInfo, piNode, piParent, eKind, piItem, pclParameter, eType);
    // A whole-number item cannot hold a fraction or a number past its
    // range: such a literal is written as the host wrote it, and the server
    // reads it exactly. Cut or wrapped, it would find other rows.
    CAny clHeld;
    std::wstring strHeld, strWritten;
    if (pclCell->bGetValue(&clHeld) && _bWholeNumberItem(ConvertTQTypeToeItem(clHeld.nGetTypeCode())) &&
        CNAExpression::s_bReadWide(&clHeld, &strHeld) && CNAExpression::s_bReadWide(pValue, &strWritten) &&
        strHeld != strWritten) {
        pclParameter->SetColum(nullptr);
        pclCell->vbChangeTQType(pValue->nGetTypeCode(), 0);
        pclCell->bSetValue(pValue);
    }
    return 1;
}

int CNACommand::_bDoExpressionEscape(const wchar_t* pszText, IExpOpExpression* piLike, unsigned int* pnPos)
{
    // A LIKE parameter just written replaces the clause when it writes its
    // value.
    const int n = m_tabParameter.nGetNbElement();
    if (n > 0 && (m_tabParameter[n - 1]->nGetFlags() & PF_LIKE_PATTERN) != 0 &&
        m_tabParameter[n - 1]->nGetPosition() == _nTextLength())
        return 1;
    // Past the pattern: written as the host wrote it, '\' would open a
    // literal where backslashes escape; the node's own character goes in
    // its place.
    const int nEnd = s_nGetEscapeClauseEnd(pszText, *pnPos);
    if (nEnd < 0 || m_pclConnection == nullptr)
        return 1;
    const wchar_t c = piLike->cGetEscape();
    _AddSQL(L" ESCAPE ");
    *pnPos = static_cast<unsigned int>(nEnd);
    return _bAddSessionLiteral(&c, 1);
}

int CNACommand::_bExpressionDateEmpty(unsigned int* pnPos, IExpOpExpression* piNode, const wchar_t* pszText,
                                      unsigned int nStart, unsigned int nHostStart, INAItemDescription* piItem)
{
    if (piItem == nullptr || !bDateItem(piItem->eNAGetItemType()) || m_pclConnection == nullptr)
        return 0;
    const eOPEXPRESSION e = piNode->eGetOperateur();
    if (e < 9 || e > 14)
        return 0;
    IExpOpExpression* piFirst = piNode->piGetOperandeGauche();
    IExpOpExpression* piSecond = piNode->piGetOperandeDroite();
    bool bEmptyLiteral = false;
    if (piSecond != nullptr && piSecond->eGetOperateur() == KIND_LITERAL) {
        const CAny* pValue = piSecond->pclGetValeur();
        if (pValue == nullptr || pValue->nGetTypeCode() == TQTYPE_VIDE) {
            bEmptyLiteral = true;
        } else {
            CAny clWide;
            pValue->pclGetTraitement()->Duplique(&clWide);
            clWide.SetFlags(0);
            const unsigned char n = pValue->nGetTypeCode();
            const wchar_t* psz = nullptr;
            const bool bText = (n >= 16 && n <= 23) || n == 81 || n == 110 || n == 134;
            bEmptyLiteral = bText && clWide.__nCastTo(TQTYPE_DSTRW, nullptr, 0) <= 99 &&
                            clWide.pclGetTraitement()->nGetPCWSTR(&psz) <= 99 && (psz == nullptr || psz[0] == 0);
        }
    }
    const tagRECT stFirst = piFirst != nullptr ? _stGetPositionExpression(piFirst) : tagRECT{0, 0, 0, 0};
    const tagRECT stSecond = piSecond != nullptr ? _stGetPositionExpression(piSecond) : tagRECT{0, 0, 0, 0};
    if (piFirst != nullptr)
        piFirst->nRelease();
    if (piSecond != nullptr)
        piSecond->nRelease();
    if (!bEmptyLiteral)
        return 0;
    const bool bNullFirst = m_pclConnection->bNULLBeforeNotNULL() != 0;
    static const wchar_t* const s_apszFirst[] = {L" IS NULL ", L" IS NOT NULL ", L" 0=1 ", L" IS NULL ",
                                                 L" IS NOT NULL ", L" 1=1 "};
    static const wchar_t* const s_apszLast[] = {L" IS NULL ", L" IS NOT NULL ", L" IS NOT NULL ", L" 1=1 ",
                                                L" 0=1 ", L" IS NULL "};
    const wchar_t* psz = (bNullFirst ? s_apszFirst : s_apszLast)[e - 9];
    if (psz[1] == L'0' || psz[1] == L'1') {
        // A constant: the column goes.
        Tronque(nStart);
        unsigned int nPos = nHostStart;
        _CopyHost(pszText, &nPos, static_cast<unsigned int>(stFirst.left));
    }
    _AddSQL(psz);
    *pnPos = static_cast<unsigned int>(stSecond.right) + 1;
    return 1;
}

// ---- Operators, arguments and parameters ------------------------------------------------------------------

int CNACommand::_bDoExpressionOperator(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                                       IExpOpExpression* piParent, int eKind, unsigned int* pnPos)
{
    const tagRECT st = _stGetPositionExpression(piNode);
    if (st.left == 0 && st.right == 0)
        return 1;
    _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.left));
    CTString csName;
    _FormatExpressionOperator(pclInfo, piNode, piParent, eKind, &csName);
    if (csName.nTaille() > 0) {
        _AddSQL(csName.pszGet());
        const unsigned int nLength = _nHostLength(pszText);
        while (*pnPos < nLength &&
               (iswalpha_l(static_cast<wint_t>(pszText[*pnPos]), STR_FixedLocale()) || pszText[*pnPos] == L'_'))
            (*pnPos)++;
    }
    return 1;
}

int CNACommand::_bDoExpressionArgument(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piArgument,
                                       int bBefore, unsigned int* pnPos)
{
    if (piArgument == nullptr)
        return 1;
    const tagRECT st = _stGetPositionExpression(piArgument);
    if (bBefore) {
        _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.left));
        const unsigned int nLength = _nHostLength(pszText);
        if (bBefore == 3 && *pnPos + 4 <= nLength && wcsncmp(pszText + *pnPos, L"utf8", 4) == 0) {
            // A character set name, never an item: the whole name goes to
            // the server as written.
            unsigned int nEnd = *pnPos;
            while (nEnd < nLength && s_bWordGoesOn(pszText[nEnd]))
                nEnd++;
            _CopyHost(pszText, pnPos, nEnd);
            return 2;
        }
    } else {
        _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.right) + 1);
    }
    if (CSQLParserInfo::s_bIsFunction(piArgument->eGetOperateur())) {
        CTString cs;
        _FormatExpressionArgument(pclInfo, piArgument, &cs);
        if (cs.nTaille() > 0)
            _AddSQL(cs.pszGet());
    }
    return 1;
}

const CTabValParser* CNACommand::_pclPassTable(CSQLParserInfo* pclInfo)
{
    if ((m_pclPassTable == nullptr || m_pclPassInfo != pclInfo) && pclInfo != nullptr &&
        pclInfo->piGetSQLParserInformationNoRef() != nullptr) {
        m_pclPassInfo = pclInfo;
        m_pclPassTable = pclInfo->piGetSQLParserInformationNoRef()->pclGetTabValParserClause();
        m_tabPassDone.assign(m_pclPassTable != nullptr ? static_cast<size_t>(m_pclPassTable->nGetNbValeur()) : 0, 0);
    }
    return m_pclPassTable;
}

int CNACommand::_bUnplaced(int nPoint)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, nPoint, m_pclConnection, nullptr, nullptr,
                                   ZTERR_EXPRESSION_REFUSED, L"MySQL");
    return 0;
}

int CNACommand::_bDoExpressionParameter(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                                        unsigned int* pnPos)
{
    const CTabValParser* pclTable = _pclPassTable(pclInfo);
    const int nStart = _stGetPositionExpression(piNode).left;
    for (int i = 0; pclTable != nullptr && i < pclTable->nGetNbValeur(); i++)
        if (pclTable->pTabValeur[i].nPosition == nStart && nStart >= static_cast<int>(*pnPos))
            return _bAddPassValue(pclTable, i, pszText, pnPos);
    return _bUnplaced(kPointNoValue + 1);
}

// ---- Columns ----------------------------------------------------------------------------------------------

void CNACommand::_FormatExpressionItemName(CSQLParserInfo*, IExpOpExpression* piParent, int eKind,
                                           INAItemDescription* piItem, const wchar_t* pszTable,
                                           const wchar_t* pszName, CTString* pclOut)
{
    FormatExpressionItemName(eKind, piParent != nullptr ? piParent->eGetOperateur() : -1, piItem, pszTable, pszName,
                             pclOut);
}

int CNACommand::_bFormatExpressionItemName(CSQLParserInfo* pclInfo, CSQLParserInfo* pclInfo2,
                                           IExpOpExpression* piParent, IExpOpExpression* piNode, int eKind,
                                           CTString* pclOut, INAItemDescription** ppiItem,
                                           unsigned int nParameterOffset)
{
    const std::wstring strWrittenName = Text(piNode->pszGetNomRubrique());
    const std::wstring strWrittenTable = pclInfo2 == nullptr ? Text(piNode->pszGetNomTable()) : L"";
    std::wstring strTable = strWrittenTable;
    std::wstring strName = strWrittenName;
    ISQLParserInformation* piParser = pclInfo != nullptr ? pclInfo->piGetSQLParserInformationNoRef() : nullptr;
    IInfoRubrique* piOut = _piGetInfoRubriqueFromAlias(piParser, strTable.c_str(), strName.c_str());
    const bool bMySQL = (m_nDialectFlags & 0x1) != 0;
    bool bShadowed = false;
    if (piOut != nullptr) {
        // MySQL's HAVING reads the output list's names itself: a computed
        // item's name stays, where its expression would read the columns
        // its group no longer holds. A column of the query's tables of that
        // name would win over the item there, so then the expression.
        if (piOut->eGetCalcul() != 0 && !m_bOutputNames &&
            !(eKind == 5 && bMySQL && !pclInfo->bColumnMayBeNamed(strWrittenName.c_str()))) {
            for (CNACommand* pcl = this; pcl != nullptr; pcl = pcl->m_pclOuterCalcul)
                if (pcl->m_piCurrentCalcul == piOut) {
                    piOut->nRelease();
                    if (m_pclError != nullptr)
                        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointSelf, m_pclConnection, nullptr,
                                                   strWrittenName.c_str(), ZTERR_SELF_REFERENCE,
                                                   strWrittenName.c_str());
                    return 0;
                }
            const int bResult =
                bFormatExpressionColonneCalculee(pclInfo, piOut, piParent, eKind, pclOut, nParameterOffset);
            piOut->nRelease();
            return bResult;
        }
        strTable = Text(piOut->pszGetNomTable());
        strName = Text(piOut->pszGetNomRubriqueSource());
        piOut->nRelease();
        // So would one bearing a plain item's alias written alone: then the
        // item's own column.
        bShadowed = eKind == 5 && bMySQL && strWrittenTable.empty() &&
                    !bSameName(strWrittenName.c_str(), strName.c_str()) &&
                    pclInfo->bColumnMayBeNamed(strWrittenName.c_str());
    }
    _RefuseSeveralFrom(pclInfo, strTable.c_str());
    INAItemDescription* piItem = CSQLParserInfo::s_piGetItemDescription(piParser, strTable.c_str(), strName.c_str());
    if (piItem != nullptr)
        strName = Text(piItem->pszGetName());
    // A table named by the query (not an alias) goes by its database name;
    // unnamed, the item's own table does.
    if (strTable.empty() && piItem != nullptr) {
        // The query reads the table by its alias; a write names the table.
        const wchar_t* pszAlias = pclInfo != nullptr && m_csWrittenTable.nTaille() == 0
                                      ? pclInfo->pszGetTableAlias(piItem->pszGetSourceName())
                                      : nullptr;
        strTable = pszAlias != nullptr ? Text(pszAlias) : DatabaseTableName(pclInfo, piItem->pszGetSourceName());
    }
    else if (!strTable.empty() && pclInfo != nullptr && !pclInfo->bIsTableAlias(strTable.c_str(), nullptr))
        strTable = DatabaseTableName(pclInfo, FromTableName(pclInfo, strTable.c_str()).c_str());
    else if (!strTable.empty() && m_csWrittenTable.nTaille() > 0)
        strTable = m_csWrittenTable.pszGet(); // the alias of the table a write names
    else if (pclInfo != nullptr)
        strTable = Text(pclInfo->pszGetFromAlias(strTable.c_str())); // an alias, as the FROM clause writes it
    Release(ppiItem);
    *ppiItem = piItem;
    const bool bResolved = eKind == 1 || eKind == 3 || (eKind == 5 && !bMySQL);
    if (m_bOutputNames) {
        // Outside the query only its output columns are seen, computed or
        // not, by the names the condition gives them.
        _FormatExpressionItemName(pclInfo, piParent, eKind, piItem, L"", strWrittenName.c_str(), pclOut);
        return 1;
    }
    if (eKind == 5 && bMySQL) {
        // MySQL's HAVING reads the names as the host wrote them; a table
        // written goes by its server name like everywhere else in the text
        // (the FROM clause no longer knows the logical one), and a name
        // written alone stays alone (it may be an output alias) unless a
        // column bears it.
        _FormatExpressionItemName(pclInfo, piParent, eKind, piItem,
                                  strWrittenTable.empty() && !bShadowed ? L"" : strTable.c_str(),
                                  bShadowed ? strName.c_str() : strWrittenName.c_str(), pclOut);
        return 1;
    }
    _FormatExpressionItemName(pclInfo, piParent, eKind, piItem, strTable.c_str(),
                              bResolved ? strName.c_str() : strWrittenName.c_str(), pclOut);
    return 1;
}

int CNACommand::_bDoExpressionColonne(CSQLParserInfo* pclInfo, CSQLParserInfo* pclInfo2, const wchar_t* pszText,
                                      IExpOpExpression* piParent, IExpOpExpression* piNode, int eKind,
                                      unsigned int* pnPos, INAItemDescription** ppiItem)
{
    Release(ppiItem);
    const tagRECT st = _stGetPositionExpression(piNode);
    _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.left));
    CTString csName;
    if (!_bFormatExpressionItemName(pclInfo, pclInfo2, piParent, piNode, eKind, &csName, ppiItem, _nTextLength()))
        return 0;
    _AddSQL(csName.pszGet());
    if (static_cast<unsigned int>(st.right) + 1 > *pnPos)
        *pnPos = static_cast<unsigned int>(st.right) + 1;
    if (piNode->bJointureExterne())
        _AddSQL(L"(+)");
    return 1;
}

int CNACommand::_bDoExpressionColonne(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                                      unsigned int* pnPos)
{
    const tagRECT st = _stGetPositionExpression(piNode);
    _CopyHost(pszText, pnPos, static_cast<unsigned int>(st.left));
    const std::wstring strTable = Text(piNode->pszGetNomTable());
    CTString csOut;
    const int eDataSource = m_pclConnection != nullptr ? m_pclConnection->eGetDataSource() : 0;
    const bool bNoPrefix = m_eQueryType == 2 && (eDataSource == 6 || eDataSource == 8 || eDataSource == 13);
    if (strTable.empty() || bNoPrefix) {
        _FormatItemName(piNode->pszGetNomRubrique(), &csOut);
    } else {
        std::wstring strDatabase = strTable;
        if (pclInfo != nullptr && !pclInfo->bIsTableAlias(strTable.c_str(), nullptr))
            strDatabase = DatabaseTableName(pclInfo, FromTableName(pclInfo, strTable.c_str()).c_str());
        _FormatTableAndItemName(strDatabase.c_str(), piNode->pszGetNomRubrique(), &csOut);
    }
    _AddSQL(csOut.pszGet());
    if (piNode->bJointureExterne())
        _AddSQL(L"(+)");
    *pnPos = static_cast<unsigned int>(st.right) + 1;
    return 1;
}

int CNACommand::_bExpressionColonneToSQL(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                                         unsigned int* pnPos)
{
    if (piNode == nullptr)
        return 1;
    if (piNode->eGetOperateur() == KIND_COLUMN)
        return _bDoExpressionColonne(pclInfo, pszText, piNode, pnPos);
    int bResult = 1;
    IExpOpExpression* apiOperand[2] = {piNode->piGetOperandeGauche(), piNode->piGetOperandeDroite()};
    for (IExpOpExpression* pi : apiOperand) {
        if (pi == nullptr)
            continue;
        if (bResult)
            bResult = _bExpressionColonneToSQL(pclInfo, pszText, pi, pnPos);
        pi->nRelease();
    }
    return bResult;
}

// ---- Computed columns ---------------------------------------------------------------------------------------

int CNACommand::_bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, IInfoRubrique* piItem,
                                                  IExpOpExpression* piParent, int eKind)
{
    IExpOpExpression* piExpression = piItem != nullptr ? piItem->piGetExpression() : nullptr;
    if (piExpression == nullptr)
        return 0;
    IInfoRubrique* piFormer = m_piCurrentCalcul;
    m_piCurrentCalcul = piItem;
    // Written where the item's name stood, the expression is one value:
    // the operators around it must not bind into it.
    _AddSQL(L"(");
    const int bResult = bFormatSubExpression(pclInfo, pclInfo->pszGetRequete(), piParent, piExpression, eKind);
    _AddSQL(L")");
    m_piCurrentCalcul = piFormer;
    piExpression->nRelease();
    return bResult;
}

int CNACommand::bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, const CNAColumn& clColumn, int eKind)
{
    IInfoRubrique* piItem = pclInfo != nullptr ? pclInfo->piGetColumnRubriqueOUT(&clColumn) : nullptr;
    if (piItem == nullptr || piItem->eGetCalcul() == 0) {
        const wchar_t* pszName = clColumn.pszGetName();
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointNoComputed, m_pclConnection, nullptr,
                                       pszName, ZTERR_NO_SUCH_ITEM, L"", pszName);
        return 0;
    }
    return _bFormatExpressionColonneCalculee(pclInfo, piItem, nullptr, eKind);
}

int CNACommand::bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, IInfoRubrique* piItem,
                                                 IExpOpExpression* piParent, int eKind, CTString* pclOut,
                                                 unsigned int nParameterOffset)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNACommand* pcl = pclDriver != nullptr ? pclDriver->pclAllocCommand(m_pclError, m_pclConnection)
                                           : ::pclAllocCommand(m_pclError, m_pclConnection);
    if (pcl == nullptr)
        return _bNoMemory(kPointNoComputed + 10);
    pcl->AddRef();
    pcl->m_pclOuterCalcul = this;
    pcl->m_nDialectFlags = m_nDialectFlags;
    pcl->m_csWrittenTable = m_csWrittenTable;
    pcl->m_bLiteralParameter = nParameterOffset != 0 ? m_bLiteralParameter : 0;
    const int bResult = pcl->_bFormatExpressionColonneCalculee(pclInfo, piItem, piParent, eKind);
    pclOut->Set(pcl->pszGetOriginalSQL());
    if (nParameterOffset != 0) {
        for (int i = 0; i < pcl->m_tabParameter.nGetNbElement(); i++) {
            CNAParameter* p = pcl->m_tabParameter[i];
            p->SetPosition(p->nGetPosition() + nParameterOffset);
            bAddParameter(p);
        }
    }
    pcl->nRelease();
    return bResult;
}

int CNACommand::s_bFormatExpressionColonneCalculee(CTString* pclOut, CSQLParserInfo* pclInfo,
                                                   const CNAColumn& clColumn, int eKind, CNAError* pclError,
                                                   CNAConnectionDescription* pclCnx, const wchar_t* pszWrittenTable)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNACommand* pcl =
        pclDriver != nullptr ? pclDriver->pclAllocCommand(pclError, pclCnx) : ::pclAllocCommand(pclError, pclCnx);
    if (pcl == nullptr)
        return 0;
    pcl->AddRef();
    pcl->SetWrittenTable(pszWrittenTable);
    // The host's literals become parameters, written as literals of the
    // session: the host's own text of one does not read the same there.
    int bResult = pcl->bFormatExpressionColonneCalculee(pclInfo, clColumn, eKind);
    // Host parameters of the expression go in as literals: the text stands
    // alone.
    const wchar_t* psz = bResult ? pcl->pszGetFormatedSQLW(PTC_ALL) : nullptr;
    bResult = psz != nullptr;
    pclOut->Set(bResult ? psz : L"");
    pcl->nRelease();
    return bResult;
}

// ---- Trees -----------------------------------------------------------------------------------------------------

int CNACommand::_bExpressionToSQL(CSQLParserInfo* pclInfo, CSQLParserInfo* pclInfo2, const wchar_t* pszText,
                                  IExpOpExpression* piParent, IExpOpExpression* piNode, int eKind, unsigned int* pnPos,
                                  INAItemDescription** ppiItem, eNA_ITEMTYPE eType, unsigned int nArgument)
{
    if (piNode == nullptr)
        return 1;
    const eOPEXPRESSION e = piNode->eGetOperateur();
    if (e == KIND_REFUSED) {
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointRefused, m_pclConnection, nullptr, nullptr,
                                       ZTERR_EXPRESSION_REFUSED, L"MySQL");
        return 0;
    }
    // A bare name after a function's first argument may be a character
    // set.
    const bool bCharset = e == KIND_COLUMN && nArgument >= 1 && piParent != nullptr &&
                          CSQLParserInfo::s_bIsFunction(piParent->eGetOperateur());
    const int nBefore = _bDoExpressionArgument(pclInfo, pszText, piNode, bCharset ? 3 : 1, pnPos);
    if (nBefore == 2)
        return 1;
    int bResult = nBefore;
    if (e == KIND_LITERAL) {
        bResult = _bDoExpressionLiteral(pclInfo, pszText, piNode, piParent, eKind, pnPos,
                                        ppiItem != nullptr ? *ppiItem : nullptr, eType);
    } else if (e == KIND_COLUMN) {
        bResult = _bDoExpressionColonne(pclInfo, pclInfo2, pszText, piParent, piNode, eKind, pnPos, ppiItem);
    } else if (e == KIND_PARAMETER) {
        const int nBefore = m_tabParameter.nGetNbElement();
        bResult = _bDoExpressionParameter(pclInfo2 != nullptr ? pclInfo2 : pclInfo, pszText, piNode, pnPos);
        // The host's value as the pattern of a LIKE: written as its literal
        // pattern would be.
        if (bResult && nArgument == 1 && piParent != nullptr && piParent->eGetOperateur() == KIND_LIKE &&
            m_tabParameter.nGetNbElement() > nBefore) {
            CNAParameter* pcl = m_tabParameter[m_tabParameter.nGetNbElement() - 1];
            pcl->SetFlags(pcl->nGetFlags() | PF_LIKE_PATTERN | CNAParameter::PF_LIKE);
            pcl->SetEscape(piParent->cGetEscape());
        }
    } else {
        bResult = _bDoExpressionOperator(pclInfo, pszText, piNode, nullptr, eKind, pnPos);
        SOperands stOperands(piNode);
        if (bResult && !stOperands.tab.empty()) {
            const unsigned int nHostStart = *pnPos;
            const unsigned int nStart = _nTextLength();
            IExpOpExpression* piFirst = stOperands.tab[0];
            bResult = _bExpressionToSQL(pclInfo, pclInfo2, pszText, piNode, piFirst, eKind, pnPos, ppiItem,
                                        static_cast<eNA_ITEMTYPE>(_eTypeParameter(eKind, piNode, 0, eType, ppiItem)),
                                        0);
            bool bDone = false;
            if (bResult && m_pclConnection != nullptr && m_pclConnection->bTreatEmptyDateAsNULL() &&
                piFirst->eGetOperateur() == KIND_COLUMN && ppiItem != nullptr && *ppiItem != nullptr)
                bDone = _bExpressionDateEmpty(pnPos, piNode, pszText, nStart, nHostStart, *ppiItem) != 0;
            if (!bDone) {
                if (e == 0 || e == 2 || e == 4 || e == 5)
                    _vbFormatExpressionOperatorEntreOperande();
                for (size_t i = 1; bResult && i < stOperands.tab.size(); i++) {
                    if (_vbSkipOperande())
                        continue;
                    const unsigned int n = static_cast<unsigned int>(i);
                    bResult = _bExpressionToSQL(
                        pclInfo, pclInfo2, pszText, piNode, stOperands.tab[i], eKind, pnPos, ppiItem,
                        static_cast<eNA_ITEMTYPE>(_eTypeParameter(eKind, piNode, n, eType, ppiItem)), n);
                }
                if (bResult && e == KIND_LIKE && piNode->cGetEscape() != 0)
                    bResult = _bDoExpressionEscape(pszText, piNode, pnPos);
            }
        }
        _eTypeRetour(eKind, piNode, eType, ppiItem);
    }
    if (bResult)
        bResult = _bDoExpressionArgument(pclInfo, pszText, piNode, 0, pnPos);
    return bResult;
}

int CNACommand::bAddTreeExpression(CSQLParserInfo* pclInfo, CSQLParserInfo* pclInfo2, const wchar_t* pszText,
                                   IExpOpExpression* piParent, IExpOpExpression* piTree, int eKind,
                                   unsigned int* pnPos, CNACommand* pclFilter)
{
    const bool bFilter = eKind == 3 && pclFilter != nullptr && !pclFilter->bIsEmpty() && pclInfo != nullptr;
    ISQLParserInformation* piParser = pclInfo != nullptr ? pclInfo->piGetSQLParserInformationNoRef() : nullptr;
    const int nWhereStart = piParser != nullptr ? piParser->nGetWhereStart() : 0;
    const bool bHadWhere = nWhereStart > 0;
    unsigned int nStop = 0;
    if (bFilter) {
        unsigned int nPoint = 0;
        if (bHadWhere) {
            nPoint = static_cast<unsigned int>(nWhereStart) + 5;
            const int n = piParser->nGetWhereStop();
            nStop = n >= 0 ? static_cast<unsigned int>(n) + 1 : nPoint;
        } else {
            _bGetClausePos(&nPoint, &nStop, pclInfo, 3);
            nStop++;
        }
        _CopyHost(pszText, pnPos, nPoint);
        _AddSQL(bHadWhere ? L" (" : L" WHERE ");
    }
    INAItemDescription* piItem = nullptr;
    int bResult = _bExpressionToSQL(pclInfo, pclInfo2, pszText, piParent, piTree, eKind, pnPos, &piItem,
                                    NA_IT_EMPTY, 0);
    Release(&piItem);
    if (bFilter) {
        _CopyHost(pszText, pnPos, nStop);
        _AddSQL(bHadWhere ? L") AND (" : L"");
        bResult = bAdd(pclFilter, ADDMODE_CLONE) && bResult;
        _AddSQL(bHadWhere ? L")" : L" ");
        bResult = bCombineColumnValuesNullSelected(NAOP_AND, pclFilter->pclGetColumnNullValueExcludedNoRef()) &&
                  bResult;
    }
    return bResult;
}

int CNACommand::bFormatSubExpression(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piParent,
                                     IExpOpExpression* piNode, int eKind)
{
    if (piNode == nullptr)
        return 1;
    const tagRECT st = _stGetPositionExpression(piNode);
    unsigned int nPos = static_cast<unsigned int>(st.left);
    const int bResult = bAddTreeExpression(pclInfo, nullptr, pszText, piParent, piNode, eKind, &nPos, nullptr);
    _CopyHost(pszText, &nPos, static_cast<unsigned int>(st.right) + 1);
    return bResult && _bHostWritten();
}

int CNACommand::bAddFilterExpression(CSQLParserInfo* pclInfo)
{
    if (pclInfo == nullptr)
        return 1;
    const wchar_t* pszText = pclInfo->pszGetRequete();
    IExpOpExpression* piWhere = pclInfo->piGetWhereNoRef();
    if (pszText == nullptr || piWhere == nullptr)
        return 1;
    CSQLParserInfo* pclSource = pclInfo->pclGetQueryParserInfoNoRef();
    // The condition alone: the statement around it, when the host parsed
    // one, stays out of the filter.
    ISQLParserInformation* piParser = pclInfo->piGetSQLParserInformationNoRef();
    const int nWhere = piParser->nGetWhereStart();
    const int nWhereStop = piParser->nGetWhereStop();
    unsigned int nPos = nWhere > 0 ? static_cast<unsigned int>(nWhere) + 5 : 0;
    const int bResult = bAddTreeExpression(pclSource != nullptr ? pclSource : pclInfo,
                                           pclSource != nullptr ? pclInfo : nullptr, pszText, nullptr, piWhere, 3,
                                           &nPos, nullptr);
    _CopyHost(pszText, &nPos, nWhereStop >= 0 ? static_cast<unsigned int>(nWhereStop) + 1 : _nHostLength(pszText));
    return bResult && _bHostWritten();
}
