#include "access/sql/SQLParserInfo.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/sql/INAQueryParametersValue.h"
#include "access/sql/NACommand.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "common/text/TextCompare.h"

#include <cwchar>
#include <cwctype>
#include <memory>
#include <vector>

namespace {

enum : int {
    KIND_COLUMN = 47,
    KIND_LITERAL = 48,
    KIND_PARAMETER = 49,
};

// Host engine type codes of automatic identifiers and of memos.
bool bIdAutoType(int n) { return n == 24 || n == 38; }
bool bMemoType(int n) { return n == 15 || n == 16 || n == 29 || n == 30 || n == 40; }

bool bEmpty(const wchar_t* psz) { return psz == nullptr || *psz == 0; }
const wchar_t* Text(const wchar_t* psz) { return psz != nullptr ? psz : L""; }

// Names compare ignoring case and accents; null reads as empty. Names of
// plain ASCII, the usual ones, need no locale.
bool bSameName(const wchar_t* a, const wchar_t* b)
{
    a = a != nullptr ? a : L"";
    b = b != nullptr ? b : L"";
    for (;; a++, b++) {
        const wchar_t ca = *a;
        const wchar_t cb = *b;
        if (ca >= 0x80 || cb >= 0x80)
            break;
        if (ca == 0 || cb == 0)
            return ca == cb;
        const wchar_t fa = ca >= L'a' && ca <= L'z' ? ca - 32 : ca;
        const wchar_t fb = cb >= L'a' && cb <= L'z' ? cb - 32 : cb;
        if (fa != fb)
            return false;
    }
    return STR_nCompareW(a, b, 3) == 0;
}

// Moves a cursor on (from -1 when restarting); the index it lands on, -1
// past the end, where it stays.
int nStep(int& nCursor, int nCount, int bRestart)
{
    if (bRestart)
        nCursor = -1;
    if (nCursor < nCount)
        nCursor++;
    return nCursor < nCount ? nCursor : -1;
}

// A unique key whose values cannot be NULL: a primary key, or a unique one
// that NULL cannot reach (an automatic identifier before version 9, the
// description's own word from version 9 on). Composite keys never are.
bool bUniqueNotNullItem(const INAItemDescription* pi)
{
    if (pi->bIsComposedKey())
        return false;
    if (pi->bPrimary())
        return true;
    if (!pi->bUnique())
        return false;
    if (pi->nGetVersion() >= 9)
        return !pi->vbConstraintNullAllowed();
    return pi->eNAGetItemType() == NA_IT_IDAUTO || pi->eNAGetItemType() == NA_IT_IDAUTO4;
}

// The name the query reads a FROM entry by: its alias, else its table's.
const wchar_t* FromName(IInfoFrom* pi)
{
    const wchar_t* pszAlias = pi->pszGetAlias();
    return !bEmpty(pszAlias) ? pszAlias : Text(pi->pszGetNomTable());
}

// The entry of the n given (fnFrom(i) the i-th) that a name stands for: the
// first whose name is the name as written, else the one whose name is the
// name case and accents ignored. Null when none, and when several are
// (*pbSeveral then): the server tells them apart, the host's reading of the
// name does not.
template <class TFrom>
IInfoFrom* NamedFrom(int n, TFrom fnFrom, const wchar_t* pszName, bool* pbSeveral = nullptr)
{
    IInfoFrom* piFound = nullptr;
    int nFound = 0;
    for (int i = 0; i < n && !bEmpty(pszName); i++) {
        IInfoFrom* pi = fnFrom(i);
        if (wcscmp(FromName(pi), pszName) == 0)
            return pi;
        if (bSameName(FromName(pi), pszName) && nFound++ == 0)
            piFound = pi;
    }
    if (pbSeveral != nullptr)
        *pbSeveral = nFound > 1;
    return nFound == 1 ? piFound : nullptr;
}

bool bBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The word DISTINCT (all upper or all lower case) with a blank on each side.
bool bHoldsDistinct(const wchar_t* psz)
{
    static const wchar_t* const apszWord[] = {L"DISTINCT", L"distinct"};
    const size_t nLength = wcslen(psz);
    for (const wchar_t* pszWord : apszWord)
        for (const wchar_t* p = wcsstr(psz, pszWord); p != nullptr; p = wcsstr(p + 1, pszWord)) {
            const size_t i = static_cast<size_t>(p - psz);
            if (i > 0 && bBlank(psz[i - 1]) && i + 8 < nLength && bBlank(psz[i + 8]))
                return true;
        }
    return false;
}

// The shared answer of the physical-name look-ups, one character longer than
// the host's buffer so that a full buffer still ends.
wchar_t s_szPhysicalName[SQLPARSER_PHYSICALNAME_SIZE + 1];

} // namespace

CSQLParserInfo::CSQLParserInfo(CNAError* pclError, ISQLParserInformation* piParser,
                               INAQueryParametersValue* piValues, int bConditionOnly)
    : m_pclError(pclError), m_piParser(nullptr), m_eTypeRequete(0), m_piValues(nullptr),
      m_piBestParseItem(nullptr), m_piUniqueNotNull(nullptr), m_piUnique(nullptr), m_piKey(nullptr),
      m_piOrderBy(nullptr), m_tabFrom(10, 30), m_nFromCursor(-1), m_tabRubriqueOUT(10, 30),
      m_nRubriqueOUTCursor(-1), m_bUnflaggedItem(0), m_bAggregate(0), m_tabGroupe(10, 30), m_nGroupeCursor(-1),
      m_tabOrderBy(10, 30), m_nOrderByCursor(-1), m_tabUpdate(10, 30), m_nUpdateCursor(-1), m_tabInsert(10, 30),
      m_nInsertCursor(-1), m_piWhere(nullptr), m_piHaving(nullptr), m_pclRecord(nullptr), m_bResultsetLimited(-1),
      m_bSeveralSelects(-1)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    Set(piParser, piValues, bConditionOnly);
}

CSQLParserInfo::~CSQLParserInfo()
{
    Set(nullptr, nullptr, 0);
    SetRecord(nullptr);
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

// ---- Gathering ------------------------------------------------------------------------------------

void CSQLParserInfo::_DropAll()
{
    // The entries go before the parse they belong to.
    m_tabFrom.SupprimeTout();
    m_tabRubriqueOUT.SupprimeTout();
    m_tabGroupe.SupprimeTout();
    m_tabOrderBy.SupprimeTout();
    m_tabUpdate.SupprimeToutEtLibere();
    m_tabInsert.SupprimeToutEtLibere();
    m_nFromCursor = m_nRubriqueOUTCursor = m_nGroupeCursor = m_nOrderByCursor = -1;
    m_nUpdateCursor = m_nInsertCursor = -1;
    m_piBestParseItem = m_piUniqueNotNull = m_piUnique = m_piKey = m_piOrderBy = nullptr;
    m_bUnflaggedItem = 0;
    m_bAggregate = 0;
    m_bResultsetLimited = -1;
    m_bSeveralSelects = -1;
    if (m_piWhere != nullptr) {
        IExpOpExpression* pi = m_piWhere;
        m_piWhere = nullptr;
        pi->nRelease();
    }
    if (m_piHaving != nullptr) {
        IExpOpExpression* pi = m_piHaving;
        m_piHaving = nullptr;
        pi->nRelease();
    }
    if (m_piParser != nullptr) {
        ISQLParserInformation* pi = m_piParser;
        m_piParser = nullptr;
        CRefTraits<ISQLParserInformation>::Release(pi);
    }
    m_eTypeRequete = 0;
}

void CSQLParserInfo::Set(ISQLParserInformation* piParser, INAQueryParametersValue* piValues, int bConditionOnly)
{
    _DropAll();
    if (piParser != nullptr) {
        CRefTraits<ISQLParserInformation>::AddRef(piParser);
        m_piParser = piParser;
        // The type decides which write entries are gathered.
        m_eTypeRequete = piParser->eGetTypeRequete();
        IInfoRequete* piLists = piParser->piGetInfoRequete();
        if (piLists != nullptr)
            _Gather(piLists, bConditionOnly);
        m_piWhere = piParser->piGetWhere();
        if (!bConditionOnly)
            m_piHaving = piParser->piGetHaving();
    }
    // The new values are held before the old ones go: they may be the same.
    if (piValues != nullptr)
        piValues->ExternalAddRef();
    if (m_piValues != nullptr)
        m_piValues->nExternalRelease();
    m_piValues = piValues;
}

void CSQLParserInfo::_Gather(IInfoRequete* piLists, int bConditionOnly)
{
    for (IInfoFrom* pi = piLists->piGetNextFrom(1); pi != nullptr; pi = piLists->piGetNextFrom(0))
        m_tabFrom.Ajoute(pi);
    for (IInfoRubrique* pi = piLists->piGetNextRubrique(1); pi != nullptr; pi = piLists->piGetNextRubrique(0)) {
        m_tabRubriqueOUT.Ajoute(pi);
        const int bComputed = pi->eGetCalcul() != 0;
        if (bComputed && !m_bAggregate) {
            IExpOpExpression* piExpression = pi->piGetExpression();
            if (piExpression != nullptr) {
                m_bAggregate = s_bIsGroupmentColumn(piExpression->eGetOperateur());
                piExpression->nRelease();
            }
        }
        if (!pi->bGetItemFlag())
            m_bUnflaggedItem = 1;
        if (!bComputed && m_tabFrom.nGetNbElement() == 1 && m_piUniqueNotNull == nullptr)
            _DetectKey(pi);
    }
    if (!bConditionOnly) {
        if (piLists->nGetNbGroupe() >= 1) {
            for (IInfoGroupe* pi = piLists->piGetNextGroupe(1); pi != nullptr; pi = piLists->piGetNextGroupe(0)) {
                std::unique_ptr<CInfoGroupe> pcl(new CInfoGroupe(pi));
                m_tabGroupe.Ajoute(pcl.get());
                pcl.release();
            }
        }
        for (IInfoOrderBy* pi = piLists->piGetNextOrderBy(1); pi != nullptr; pi = piLists->piGetNextOrderBy(0)) {
            m_tabOrderBy.Ajoute(pi);
            if (m_tabOrderBy.nGetNbElement() == 1) {
                m_piOrderBy = piGetRubriqueOUT(pi->nGetIndiceColonne());
                m_piBestParseItem = m_piOrderBy;
            }
        }
    }
    if (m_piBestParseItem == nullptr && m_tabRubriqueOUT.nGetNbElement() > 0) {
        m_piBestParseItem = m_piUniqueNotNull != nullptr ? m_piUniqueNotNull
                            : m_piUnique != nullptr      ? m_piUnique
                            : m_piKey != nullptr         ? m_piKey
                                                         : m_tabRubriqueOUT[0];
    }
    if (m_eTypeRequete == 3) {
        for (IInfoAffectation* pi = piLists->piGetNextAffectation(1); pi != nullptr;
             pi = piLists->piGetNextAffectation(0))
            m_tabUpdate.Ajoute(&pi);
    } else if (m_eTypeRequete == 4) {
        for (IInfoInsertion* pi = piLists->piGetNextInsertion(1); pi != nullptr; pi = piLists->piGetNextInsertion(0))
            m_tabInsert.Ajoute(&pi);
    }
}

void CSQLParserInfo::_DetectKey(IInfoRubrique* piItem)
{
    INAItemDescription* pi = piGetItemDescription(piItem);
    if (pi == nullptr)
        return;
    if (!pi->bIsComposedKey()) {
        if (bUniqueNotNullItem(pi)) {
            m_piUniqueNotNull = m_piUnique = m_piKey = piItem;
        } else if (pi->bUnique()) {
            if (m_piUnique == nullptr)
                m_piUnique = m_piKey = piItem;
        } else if (pi->bDuplicates() && m_piKey == nullptr) {
            m_piKey = piItem;
        }
    }
    pi->nExternalRelease();
}

void CSQLParserInfo::SetRecord(CNARecord* pclRecord)
{
    if (pclRecord != nullptr)
        pclRecord->AddRef();
    if (m_pclRecord != nullptr)
        m_pclRecord->nRelease();
    m_pclRecord = pclRecord;
}

// ---- Enumerations ----------------------------------------------------------------------------------

IInfoFrom* CSQLParserInfo::piEnumFichierFrom(int bRestart)
{
    const int i = nStep(m_nFromCursor, m_tabFrom.nGetNbElement(), bRestart);
    return i < 0 ? nullptr : m_tabFrom[i];
}

IInfoRubrique* CSQLParserInfo::piEnumRubriqueOUT(int bRestart)
{
    const int i = nStep(m_nRubriqueOUTCursor, m_tabRubriqueOUT.nGetNbElement(), bRestart);
    return i < 0 ? nullptr : m_tabRubriqueOUT[i];
}

CInfoGroupe* CSQLParserInfo::piEnumRubriqueClauseGroupe(int bRestart)
{
    const int i = nStep(m_nGroupeCursor, m_tabGroupe.nGetNbElement(), bRestart);
    return i < 0 ? nullptr : m_tabGroupe[i];
}

IInfoOrderBy* CSQLParserInfo::piEnumRubriqueClauseOrder(int bRestart)
{
    const int i = nStep(m_nOrderByCursor, m_tabOrderBy.nGetNbElement(), bRestart);
    return i < 0 ? nullptr : m_tabOrderBy[i];
}

IInfoAffectation* CSQLParserInfo::piEnumRubriqueUpdate(int bRestart)
{
    const int i = nStep(m_nUpdateCursor, m_tabUpdate.nGetNbElement(), bRestart);
    return i < 0 ? nullptr : m_tabUpdate[i];
}

IInfoInsertion* CSQLParserInfo::piEnumRubriqueInsert(int bRestart)
{
    const int i = nStep(m_nInsertCursor, m_tabInsert.nGetNbElement(), bRestart);
    return i < 0 ? nullptr : m_tabInsert[i];
}

// ---- Questions -----------------------------------------------------------------------------------------

const wchar_t* CSQLParserInfo::pszGetRequete() const
{
    return m_piParser != nullptr ? m_piParser->pszGetRequete() : nullptr;
}

const wchar_t* CSQLParserInfo::pszGetBestParseItem() const
{
    return m_piBestParseItem != nullptr ? m_piBestParseItem->pszGetNom() : nullptr;
}

const wchar_t* CSQLParserInfo::pszGetOrderByItem() const
{
    return m_piOrderBy != nullptr ? m_piOrderBy->pszGetNom() : nullptr;
}

INAQueryParametersValue* CSQLParserInfo::piGetUserBindVariable() const
{
    if (m_piValues != nullptr)
        m_piValues->ExternalAddRef();
    return m_piValues;
}

int CSQLParserInfo::bHPrepareRequeteCalled() const
{
    return m_piValues != nullptr ? m_piValues->bHPrepareRequeteCalled() : 0;
}

INAItemDescription* CSQLParserInfo::piGetItemDescription(const IInfoRubrique* piItem) const
{
    if (m_piParser == nullptr || piItem == nullptr || const_cast<IInfoRubrique*>(piItem)->eGetCalcul() != 0)
        return nullptr;
    try {
        return m_piParser->piGetRubriqueDescription(piItem);
    } catch (...) {
        return nullptr;
    }
}

int CSQLParserInfo::bRubriqueUniqueNotNull(const IInfoRubrique* piItem) const
{
    if (piItem == nullptr || m_piUniqueNotNull == nullptr)
        return 0;
    if (piItem == m_piUniqueNotNull)
        return 1;
    INAItemDescription* pi = piGetItemDescription(piItem);
    if (pi == nullptr)
        return 0;
    const int b = bUniqueNotNullItem(pi);
    pi->nExternalRelease();
    return b;
}

int CSQLParserInfo::bRubriqueUnique(const IInfoRubrique* piItem) const
{
    if (piItem == nullptr || m_piUnique == nullptr)
        return 0;
    if (piItem == m_piUnique)
        return 1;
    INAItemDescription* pi = piGetItemDescription(piItem);
    if (pi == nullptr)
        return 0;
    const int b = pi->bUnique() != 0;
    pi->nExternalRelease();
    return b;
}

IInfoRubrique* CSQLParserInfo::piEnumRubriqueOUT(const wchar_t* pszName) const
{
    for (int i = 0; i < m_tabRubriqueOUT.nGetNbElement(); i++)
        if (bSameName(m_tabRubriqueOUT[i]->pszGetNom(), pszName))
            return m_tabRubriqueOUT[i];
    return nullptr;
}

IInfoRubrique* CSQLParserInfo::piGetColumnRubriqueOUT(const CNAColumn* pclColumn) const
{
    if (pclColumn == nullptr)
        return nullptr;
    if (pclColumn->pclGetSourceQueryNoRef() == this)
        return piGetRubriqueOUT(pclColumn->nGetPhysicalIndice());
    return piEnumRubriqueOUT(pclColumn->pszGetName());
}

IInfoRubrique* CSQLParserInfo::piGetInfoRubriqueFromAlias(const wchar_t* pszTable, const wchar_t* pszAlias) const
{
    return g_piGetInfoRubriqueFromAlias(m_piParser, pszTable, pszAlias);
}

IInfoRubrique* CSQLParserInfo::g_piGetInfoRubriqueFromAlias(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                                            const wchar_t* pszAlias)
{
    if (piParser == nullptr)
        return nullptr;
    IInfoRubrique* piFound = nullptr;
    try {
        IInfoRequete* piLists = piParser->piGetInfoRequete();
        if (piLists == nullptr)
            return nullptr;
        const bool bTable = !bEmpty(pszTable);
        // A table is an item's when both stand for one FROM entry; a name
        // that stands for none is compared as it is.
        std::vector<IInfoFrom*> tabFrom;
        for (IInfoFrom* pi = bTable ? piLists->piGetNextFrom(1) : nullptr; pi != nullptr;
             pi = piLists->piGetNextFrom(0))
            tabFrom.push_back(pi);
        const auto fnFrom = [&tabFrom](int i) { return tabFrom[static_cast<size_t>(i)]; };
        const int nFrom = static_cast<int>(tabFrom.size());
        bool bSeveral = false;
        IInfoFrom* piTable = bTable ? NamedFrom(nFrom, fnFrom, pszTable, &bSeveral) : nullptr;
        const auto bOfTable = [&](IInfoRubrique* pi) {
            if (piTable == nullptr && !bSeveral)
                return bSameName(pi->pszGetNomTable(), pszTable);
            return piTable != nullptr && NamedFrom(nFrom, fnFrom, pi->pszGetNomTable()) == piTable;
        };
        for (IInfoRubrique* pi = piLists->piGetNextRubrique(1); pi != nullptr; pi = piLists->piGetNextRubrique(0)) {
            if (bTable && (pi->eGetCalcul() != 0 || !bOfTable(pi)))
                continue;
            if (!bSameName(pi->pszGetNom(), pszAlias))
                continue;
            // Of two items whose names differ by case alone, the text names
            // the one it writes as it is (SELECT g, COUNT(*) AS G ... G).
            if (wcscmp(Text(pi->pszGetNom()), Text(pszAlias)) == 0) {
                piFound = pi;
                break;
            }
            if (piFound == nullptr)
                piFound = pi;
        }
    } catch (...) {
    }
    if (piFound != nullptr)
        CRefTraits<IInfoRubrique>::AddRef(piFound);
    return piFound;
}

IInfoOrderBy* CSQLParserInfo::piGetRubriqueClauseOrder(const CNAColumn* pclColumn) const
{
    if (pclColumn == nullptr)
        return nullptr;
    const IInfoRubrique* piOwn = piGetColumnRubriqueOUT(pclColumn);
    for (int i = 0; i < m_tabOrderBy.nGetNbElement(); i++) {
        IInfoRubrique* pi = piGetRubriqueOUT(m_tabOrderBy[i]->nGetIndiceColonne());
        if (pi == nullptr)
            continue;
        if (pi == piOwn)
            return m_tabOrderBy[i];
        if (bSameName(pi->pszGetNomRubriqueSource(), pclColumn->pszGetOriginalName()) &&
            bSameName(pszGetPhysicalName(pi), pclColumn->pszGetSourceName()))
            return m_tabOrderBy[i];
    }
    return nullptr;
}

CInfoGroupe* CSQLParserInfo::piGetRubriqueClauseGroupe(const CNAColumn* pclColumn) const
{
    if (pclColumn == nullptr)
        return nullptr;
    for (int i = 0; i < m_tabGroupe.nGetNbElement(); i++)
        if (bSameName(m_tabGroupe[i]->pszGetNomRubriqueAlias(), pclColumn->pszGetName()))
            return m_tabGroupe[i];
    return nullptr;
}

const wchar_t* CSQLParserInfo::pszGetPhysicalName(const wchar_t* pszLogical) const
{
    return pszGetPhysicalName(pszLogical, m_piParser);
}

const wchar_t* CSQLParserInfo::pszGetPhysicalName(const wchar_t* pszLogical, ISQLParserInformation* piParser)
{
    if (piParser == nullptr || bEmpty(pszLogical))
        return nullptr;
    s_szPhysicalName[0] = 0;
    try {
        piParser->GetPhysicalName(pszLogical, s_szPhysicalName);
    } catch (...) {
        s_szPhysicalName[0] = 0;
        return nullptr;
    }
    s_szPhysicalName[SQLPARSER_PHYSICALNAME_SIZE] = 0;
    return s_szPhysicalName[0] != 0 ? s_szPhysicalName : nullptr;
}

const wchar_t* CSQLParserInfo::pszGetPhysicalName(IInfoRubrique* piItem) const
{
    if (piItem == nullptr)
        return nullptr;
    const wchar_t* pszTable = piItem->pszGetNomTable();
    const wchar_t* psz = pszGetPhysicalName(pszTable);
    return psz != nullptr ? psz : pszTable;
}

CTString CSQLParserInfo::csGetFichierFrom_DBTableName(int i) const
{
    CTString cs;
    INADataSourceDescription* pi = _piGetFromDescription(m_tabFrom[i]);
    if (pi != nullptr) {
        cs.Set(pi->pszGetDBTableName());
        pi->nExternalRelease();
    }
    return cs;
}

INADataSourceDescription* CSQLParserInfo::piGetNADataSourceDescription(const wchar_t* pszName) const
{
    return s_piGetTableDescription(m_piParser, pszName);
}

INADataSourceDescription* CSQLParserInfo::s_piGetTableDescription(ISQLParserInformation* piParser,
                                                                  const wchar_t* pszName)
{
    if (piParser == nullptr)
        return nullptr;
    try {
        return piParser->piGetTableDescription(pszName);
    } catch (...) {
        return nullptr;
    }
}

INAItemDescription* CSQLParserInfo::s_piGetItemDescription(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                                           const wchar_t* pszName)
{
    if (piParser == nullptr)
        return nullptr;
    try {
        return piParser->piGetItemDescription(pszTable, pszName);
    } catch (...) {
        return nullptr;
    }
}

IInfoFrom* CSQLParserInfo::_piGetNamedFrom(const wchar_t* pszName, bool* pbSeveral) const
{
    return NamedFrom(m_tabFrom.nGetNbElement(), [this](int i) { return m_tabFrom[i]; }, pszName, pbSeveral);
}

int CSQLParserInfo::bNamesSeveralFrom(const wchar_t* pszName) const
{
    bool bSeveral = false;
    _piGetNamedFrom(pszName, &bSeveral);
    return bSeveral ? 1 : 0;
}

const wchar_t* CSQLParserInfo::pszGetFromAlias(const wchar_t* pszName) const
{
    IInfoFrom* pi = _piGetNamedFrom(pszName);
    return pi != nullptr && !bEmpty(pi->pszGetAlias()) ? pi->pszGetAlias() : nullptr;
}

int CSQLParserInfo::bIsTableAlias(const wchar_t* pszName, INADataSourceDescription** ppiSource) const
{
    if (ppiSource != nullptr)
        *ppiSource = nullptr;
    IInfoFrom* pi = _piGetNamedFrom(pszName);
    if (pi != nullptr && !bEmpty(pi->pszGetAlias()))
        return 1;
    if (ppiSource != nullptr)
        *ppiSource = pi != nullptr ? _piGetFromDescription(pi) : piGetNADataSourceDescription(pszName);
    return 0;
}

const wchar_t* CSQLParserInfo::pszGetAliasTableName(const wchar_t* pszName) const
{
    IInfoFrom* pi = _piGetNamedFrom(pszName);
    return pi != nullptr && !bEmpty(pi->pszGetAlias()) ? pi->pszGetNomTable() : pszName;
}

const wchar_t* CSQLParserInfo::pszGetFromTableName(const wchar_t* pszName) const
{
    IInfoFrom* pi = _piGetNamedFrom(pszName);
    return pi != nullptr ? Text(pi->pszGetNomTable()) : nullptr;
}

const wchar_t* CSQLParserInfo::pszGetTableAlias(const wchar_t* pszTable) const
{
    for (int i = 0; i < m_tabFrom.nGetNbElement(); i++) {
        IInfoFrom* pi = m_tabFrom[i];
        if (bSameName(pi->pszGetNomTable(), pszTable) && !bEmpty(pi->pszGetAlias()))
            return pi->pszGetAlias();
    }
    return nullptr;
}

INADataSourceDescription* CSQLParserInfo::_piGetFromDescription(IInfoFrom* piFrom) const
{
    if (piFrom == nullptr || m_piParser == nullptr)
        return nullptr;
    try {
        return m_piParser->piGetFromDescription(piFrom);
    } catch (...) {
        return nullptr;
    }
}

int CSQLParserInfo::bColumnMayBeNamed(const wchar_t* pszName) const
{
    for (int i = 0; i < m_tabFrom.nGetNbElement(); i++) {
        INADataSourceDescription* piTable = _piGetFromDescription(m_tabFrom[i]);
        if (piTable == nullptr)
            return 1;
        bool bNamed = false;
        try {
            const unsigned int nItems = piTable->nGetNumItems();
            for (unsigned int k = 0; k < nItems && !bNamed; k++) {
                INAItemDescription* piItem = piTable->piNAGetItem(k);
                // An item the host cannot give may be the one.
                bNamed = piItem == nullptr || STR_nCompareW(piItem->pszGetName(), pszName, 1) == 0;
                if (piItem != nullptr)
                    piItem->nExternalRelease();
            }
        } catch (...) {
            bNamed = true;
        }
        piTable->nExternalRelease();
        if (bNamed)
            return 1;
    }
    return 0;
}

int CSQLParserInfo::bHOperationAllowed() const
{
    if (m_bAggregate || m_tabGroupe.nGetNbElement() > 0 || m_bUnflaggedItem)
        return 0;
    const wchar_t* psz = pszGetRequete();
    return psz != nullptr && bHoldsDistinct(psz) ? 0 : 1;
}

int CSQLParserInfo::bQueryResultsetLimited(CNAConnectionDescription* pclConnection)
{
    if (m_bResultsetLimited < 0) {
        const wchar_t* psz = pszGetRequete();
        m_bResultsetLimited = psz != nullptr && CNACommand::s_bQueryResultsetLimited(pclConnection, psz) ? 1 : 0;
    }
    return m_bResultsetLimited;
}

bool CSQLParserInfo::bSeveralSelects(CNAConnectionDescription* pclConnection)
{
    if (m_bSeveralSelects < 0) {
        const wchar_t* psz = pszGetRequete();
        m_bSeveralSelects =
            psz != nullptr && CNACommand::s_bSeveralSelects(pclConnection, psz, std::wcslen(psz), CNACommand::TR_HOST)
                ? 1
                : 0;
    }
    return m_bSeveralSelects != 0;
}

int CSQLParserInfo::bQueryContainIdAuto() const
{
    if (m_piParser == nullptr || m_tabFrom.nGetNbElement() != 1)
        return 0;
    for (int i = 0; i < m_tabRubriqueOUT.nGetNbElement(); i++)
        if (bIdAutoType(m_tabRubriqueOUT[i]->nGetType()))
            return 1;
    return 0;
}

int CSQLParserInfo::bQueryContainIdAuto(ISQLParserInformation* piParser)
{
    if (piParser == nullptr)
        return 0;
    IInfoRequete* piLists = piParser->piGetInfoRequete();
    if (piLists == nullptr)
        return 0;
    int nFrom = 0;
    for (IInfoFrom* pi = piLists->piGetNextFrom(1); pi != nullptr && nFrom < 2; pi = piLists->piGetNextFrom(0))
        nFrom++;
    if (nFrom != 1)
        return 0;
    for (IInfoRubrique* pi = piLists->piGetNextRubrique(1); pi != nullptr; pi = piLists->piGetNextRubrique(0))
        if (bIdAutoType(pi->nGetType()))
            return 1;
    return 0;
}

int CSQLParserInfo::nGetSensTri(IInfoOrderBy* piEntry) const
{
    const wchar_t* pszText = pszGetRequete();
    if (piEntry == nullptr || pszText == nullptr)
        return 0;
    // The direction is written after the entry.
    const size_t nLength = wcslen(pszText);
    const int nStop = piEntry->stGetPosition().right;
    size_t i = nStop >= 0 ? static_cast<size_t>(nStop) + 1 : nLength;
    while (i < nLength && bBlank(pszText[i]))
        i++;
    return CNACommand::s_bWordAt(pszText, nLength, i, L"DESC") ? 1 : 0;
}

CSQLParserInfo* CSQLParserInfo::pclGetQueryParserInfoNoRef() const
{
    return m_pclRecord != nullptr ? m_pclRecord->pclGetSourceQueryNoRef() : nullptr;
}

int CSQLParserInfo::bRubriqueSourceIsMemo(const CNAColumn* pclColumn) const
{
    if (pclColumn == nullptr)
        return 0;
    IInfoRubrique* pi = piGetColumnRubriqueOUT(pclColumn);
    if (pi == nullptr)
        return 0;
    if (pi->eGetCalcul() == 0)
        return pclColumn->bIsMemo();
    IExpOpExpression* piExpression = pi->piGetExpression();
    const int b = s_bExpressionReadsMemo(piExpression);
    if (piExpression != nullptr)
        piExpression->nRelease();
    return b;
}

// ---- Expression kinds ----------------------------------------------------------------------------------

int CSQLParserInfo::s_bIsGroupmentColumn(eOPEXPRESSION eKind)
{
    return eKind >= 27 && eKind <= 31;
}

int CSQLParserInfo::s_bIsFunction(eOPEXPRESSION eKind)
{
    static const struct {
        int nFrom;
        int nTo;
    } s_tabRange[] = {{6, 8}, {27, 31}, {34, 46}, {50, 57}, {59, 66}, {68, 72}, {74, 95}, {97, 103}};
    for (const auto& st : s_tabRange)
        if (eKind >= st.nFrom && eKind <= st.nTo)
            return 1;
    return 0;
}

int CSQLParserInfo::s_bExpressionReadsMemo(IExpOpExpression* piExpression)
{
    if (piExpression == nullptr)
        return 0;
    // A column of a memo type anywhere under the node, walked without
    // recursion: each node on the stack holds a reference.
    CRefTraits<IExpOpExpression>::AddRef(piExpression);
    std::vector<IExpOpExpression*> tabStack(1, piExpression);
    int bMemo = 0;
    while (!tabStack.empty()) {
        IExpOpExpression* pi = tabStack.back();
        tabStack.pop_back();
        const eOPEXPRESSION eKind = bMemo ? KIND_LITERAL : pi->eGetOperateur();
        if (eKind == KIND_COLUMN) {
            bMemo = bMemoType(pi->nGetType());
        } else if (eKind != KIND_LITERAL && eKind != KIND_PARAMETER) {
            std::vector<IExpOpExpression*> tabOperand;
            int nIterator = 0;
            for (IExpOpExpression* p = pi->piGetNextOperande(&nIterator); p != nullptr;
                 p = pi->piGetNextOperande(&nIterator))
                tabOperand.push_back(p);
            // Taken in order: the first operand is on top.
            tabStack.insert(tabStack.end(), tabOperand.rbegin(), tabOperand.rend());
        }
        pi->nRelease();
    }
    return bMemo;
}
