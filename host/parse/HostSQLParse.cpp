#include "host/parse/HostSQLParse.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAItemDescription.h"
#include "common/values/Any.h"
#include "host/HostQueryParametersValue.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <stdexcept>

// ---- Kinds ------------------------------------------------------------------------------------------

const SHostKind g_astHostKind[] = {
    {L"+", 0},         {L"()", 1},         {L"-", 2},        {L"-x", 3},      {L"*", 4},          {L"/", 5},
    {L"IFNULL", 8},    {L"=", 9},          {L"<>", 10},      {L"!=", 10},     {L"<", 11},         {L"<=", 12},
    {L">", 13},        {L">=", 14},        {L"IS NULL", 18}, {L"IS NOT NULL", 19},                {L"AND", 24},
    {L"OR", 25},       {L"NOT", 26},       {L"SUM", 27},     {L"AVG", 28},    {L"MIN", 29},       {L"MAX", 30},
    {L"COUNT", 31},    {L"LIKE", 32},      {L"ABS", 34},     {L"ROUND", 35},  {L"SUBSTRING", 42}, {L"SUBSTR", 43},
    {L"MID", 44},      {L"UPPER", 45},     {L"UCASE", 45},   {L"LOWER", 46},  {L"LCASE", 46},     {L"column", 47},
    {L"literal", 48},  {L"parameter", 49}, {L"LEFT", 50},    {L"RIGHT", 51},  {L"LTRIM", 52},     {L"RTRIM", 53},
    {L"LEN", 54},      {L"LENGTH", 55},    {L"CEILING", 72},
    // Kinds the driver gives their own argument and result types, and a
    // function it refuses; "(SELECT)" is a subquery, kept as written.
    {L"(SELECT)", 58}, {L"POWER", 59},     {L"MOD", 70},     {L"NULLIF", 74}, {L"CONCAT", 88},    {L"GREATEST", 94},
    {L"HEX", 95},      {L"CHAR", 96},      {L"DATEADD", 98}, {L"DAYOFWEEK", 99}, {L"DATEDIFF", 100},
    {L"MONTHNAME", 101}, {L"DATE_FORMAT", 102}, {L"LEAST", 106}, {L"IF", 107}, {L"WCHAR", 108},
    {L"PHONETIC", 73},
};
const int g_nHostKind = static_cast<int>(sizeof(g_astHostKind) / sizeof(g_astHostKind[0]));

int nHostKind(const wchar_t* pszName)
{
    for (const SHostKind& st : g_astHostKind)
        if (pszName != nullptr && wcscmp(st.pszName, pszName) == 0)
            return st.nKind;
    return -1;
}

int nHostEngineType(int eItemType)
{
    // Item type to the engine's code, the way back of the driver's own map.
    static const int s_anEngine[32] = {0,  24, 2,  3,  4,  5,  6,  7,  3,  9,  10, 11, 36, 13, 14, 15,
                                       16, 17, 30, 25, 27, 23, 26, 28, 34, 35, 12, 37, 38, 39, 40, 41};
    return eItemType >= 0 && eItemType < 32 ? s_anEngine[eItemType] : 0;
}

namespace {

bool bSameI(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (towupper(static_cast<wint_t>(a[i])) != towupper(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

// A keyword's or function's name in upper case: its ASCII letters alone,
// whatever the process's locale (unıon is no UNION).
std::wstring Upper(std::wstring s)
{
    for (wchar_t& c : s)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - (L'a' - L'A'));
    return s;
}

tagRECT Rect(int nStart, int nStop) { return tagRECT{nStart, 0, nStop, 0}; }

// Releases keep the host's own hold and note the attempt.
struct SLedger {
    int nOverReleases = 0;
    int nLookups = 0;
    // The FROM entries name no table, as for a derived table.
    bool bUnnamedFrom = false;
    unsigned int nRelease(unsigned int& nCount)
    {
        if (nCount <= 1) {
            nOverReleases++;
            return nCount;
        }
        return --nCount;
    }
};

class CHostFrom;

class CHostNode final : public IExpOpExpression {
public:
    CHostNode(SLedger* pLedger, int nKind, int nStart, int nStop)
        : m_pLedger(pLedger), m_nKind(nKind), m_stOwn(Rect(nStart, nStop)), m_stOuter(m_stOwn)
    {
        m_nRefCount = 1;
    }
    unsigned int nRelease() override { return m_pLedger->nRelease(m_nRefCount); }
    eOPEXPRESSION eGetOperateur() override { return m_nKind; }
    IExpOpExpression* piGetOperandeGauche() override { return _piOperand(0); }
    IExpOpExpression* piGetOperandeDroite() override { return _piOperand(1); }
    const CAny* pclGetValeur() override { return m_nKind == HOSTKIND_LITERAL ? &m_clValue : nullptr; }
    wchar_t cGetEscape() override { return m_cEscape; }
    const wchar_t* pszGetNomRubrique() override { return m_strItem.c_str(); }
    tagRECT stGetPosition() override { return m_stOwn; }
    const wchar_t* pszGetNomTable() override { return m_strTable.c_str(); }
    tagRECT stGetPositionExterne() override { return m_stOuter; }
    int bJointureExterne() override { return 0; }
    int nGetType() override { return m_nType; }
    IExpOpExpression* piGetNextOperande(int* pnIterator) override
    {
        if (pnIterator == nullptr || *pnIterator < 0)
            return nullptr;
        IExpOpExpression* pi = _piOperand(static_cast<size_t>(*pnIterator));
        if (pi != nullptr)
            (*pnIterator)++;
        return pi;
    }

    int nStart() const { return m_stOuter.left; }
    int nStop() const { return m_stOuter.right; }

    SLedger* m_pLedger;
    int m_nKind;
    tagRECT m_stOwn;
    tagRECT m_stOuter;
    std::vector<CHostNode*> m_tabOperand;
    CAny m_clValue;
    wchar_t m_cEscape = 0;
    std::wstring m_strItem;   // column: item; parameter: its name
    std::wstring m_strTable;  // column: the table or alias as written
    int m_nType = 0;
    CHostFrom* m_pclFrom = nullptr;  // column: the FROM entry it reads, when found
    bool m_bKnown = false;           // column: its table has it (or cannot say)

private:
    IExpOpExpression* _piOperand(size_t i)
    {
        if (i >= m_tabOperand.size())
            return nullptr;
        m_tabOperand[i]->m_nRefCount++;
        return m_tabOperand[i];
    }
};

class CHostFrom final : public IInfoFrom {
public:
    explicit CHostFrom(SLedger* pLedger) : m_pLedger(pLedger) { m_nRefCount = 1; }
    unsigned int nRelease() override { return m_pLedger->nRelease(m_nRefCount); }
    const wchar_t* pszGetNomTable() override { return m_pLedger->bUnnamedFrom ? L"" : m_strTable.c_str(); }
    const wchar_t* pszGetAlias() override { return m_strAlias.c_str(); }
    tagRECT stGetPosition() override { return m_stPosition; }

    // The name the query reads it by.
    const std::wstring& strName() const { return m_strAlias.empty() ? m_strTable : m_strAlias; }
    INADataSourceDescription* piDescription() const { return m_pTable != nullptr ? m_pTable->piDescription : nullptr; }
    // Whether its description has the item; true without a description.
    bool bHasItem(const std::wstring& strItem, int* pnType) const
    {
        INADataSourceDescription* pi = piDescription();
        if (pi == nullptr)
            return true;
        INAItemDescription* piItem = pi->piNAGetItem(strItem.c_str());
        if (piItem == nullptr)
            return false;
        if (pnType != nullptr)
            *pnType = nHostEngineType(piItem->eNAGetItemType());
        piItem->nExternalRelease();
        return true;
    }

    SLedger* m_pLedger;
    std::wstring m_strTable;
    std::wstring m_strAlias;
    tagRECT m_stPosition{};
    const CHostCatalogue::STable* m_pTable = nullptr;
};

class CHostRubrique final : public IInfoRubrique {
public:
    explicit CHostRubrique(SLedger* pLedger) : m_pLedger(pLedger) { m_nRefCount = 1; }
    unsigned int nRelease() override { return m_pLedger->nRelease(m_nRefCount); }
    const wchar_t* pszGetNomTable() override { return m_strTable.c_str(); }
    const wchar_t* pszGetNom() override { return m_strName.c_str(); }
    const wchar_t* pszGetNomRubriqueSource() override { return m_strSource.c_str(); }
    const wchar_t* pszGetAlias() override { return m_strAlias.c_str(); }
    int eGetCalcul() override { return m_nCalcul; }
    int nGetType() override { return m_nType; }
    IExpOpExpression* piGetExpression() override
    {
        if (m_nCalcul == 0 || m_pclExpression == nullptr)
            return nullptr;
        m_pclExpression->m_nRefCount++;
        return m_pclExpression;
    }
    tagRECT stGetPosition() override { return m_stPosition; }
    const wchar_t* pszGetNomTableSource() override { return m_strTableSource.c_str(); }
    int bGetItemFlag() override { return m_bFlag; }

    SLedger* m_pLedger;
    std::wstring m_strTable, m_strName, m_strSource, m_strAlias, m_strTableSource;
    int m_nCalcul = 0;
    int m_nType = 0;
    CHostNode* m_pclExpression = nullptr;
    tagRECT m_stPosition{};
    int m_bFlag = 1;
    CHostFrom* m_pclFrom = nullptr;
};

class CHostOrderBy final : public IInfoOrderBy {
public:
    explicit CHostOrderBy(SLedger* pLedger) : m_pLedger(pLedger) { m_nRefCount = 1; }
    unsigned int nRelease() override { return m_pLedger->nRelease(m_nRefCount); }
    int nGetIndiceColonne() override { return m_nIndex; }
    tagRECT stGetPosition() override { return m_stPosition; }

    SLedger* m_pLedger;
    int m_nIndex = -1;
    tagRECT m_stPosition{};
};

class CHostGroupe final : public IInfoGroupe {
public:
    CHostGroupe() { m_nRefCount = 1; }
    const wchar_t* pszGetAlias() override { return m_strAlias.c_str(); }
    int bIsAvecTable() override { return m_bAvecTable; }
    const wchar_t* pszGetNomTable() override { return m_strTable.c_str(); }
    const wchar_t* pszGetNomRubrique() override { return m_strItem.c_str(); }
    tagRECT stGetPosition() override { return m_stPosition; }
    const wchar_t* pszGetNomFichier() override { return m_strFile.c_str(); }
    const wchar_t* pszGetNomRubriqueAlias() override { return m_strItemAlias.c_str(); }

    std::wstring m_strAlias, m_strTable, m_strItem, m_strFile, m_strItemAlias;
    int m_bAvecTable = 0;
    tagRECT m_stPosition{};
};

class CHostAffectation final : public IInfoAffectation {
public:
    CHostAffectation(CHostNode* pclColumn, CHostNode* pclValue) : m_pclColumn(pclColumn), m_pclValue(pclValue)
    {
        m_nRefCount = 1;
    }
    IExpOpExpression* piGetColonne() override { return m_pclColumn->m_nRefCount++, m_pclColumn; }
    IExpOpExpression* piGetExpression() override { return m_pclValue->m_nRefCount++, m_pclValue; }

    CHostNode* m_pclColumn;
    CHostNode* m_pclValue;
};

class CHostInsertion final : public IInfoInsertion {
public:
    CHostInsertion(CHostNode* pclColumn, CHostNode* pclValue) : m_pclColumn(pclColumn), m_pclValue(pclValue)
    {
        m_nRefCount = 1;
    }
    IExpOpExpression* piGetValeur() override { return m_pclValue->m_nRefCount++, m_pclValue; }
    IExpOpExpression* piGetColonne() override { return m_pclColumn->m_nRefCount++, m_pclColumn; }

    CHostNode* m_pclColumn;
    CHostNode* m_pclValue;
};

// A list with its own cursor: 1 restarts, null after the last.
template <class T>
struct TCursorList {
    std::vector<T*> tab;
    size_t nNext = 0;
    T* pNext(int bRestart)
    {
        if (bRestart)
            nNext = 0;
        return nNext < tab.size() ? tab[nNext++] : nullptr;
    }
};

class CHostLists final : public IInfoRequete {
public:
    CHostLists() { m_nRefCount = 1; }
    IInfoRubrique* piGetNextRubrique(int bRestart) override { return m_clRubrique.pNext(bRestart); }
    int nGetNbGroupe() override { return static_cast<int>(m_clGroupe.tab.size()); }
    IInfoFrom* piGetNextFrom(int bRestart) override { return m_clFrom.pNext(bRestart); }
    IInfoOrderBy* piGetNextOrderBy(int bRestart) override { return m_clOrderBy.pNext(bRestart); }
    IInfoGroupe* piGetNextGroupe(int bRestart) override { return m_clGroupe.pNext(bRestart); }
    IExpOpExpression* piGetNextJoin(int, int bRestart) override { return m_clJoin.pNext(bRestart); }
    IInfoAffectation* piGetNextAffectation(int bRestart) override { return m_clAffectation.pNext(bRestart); }
    IInfoInsertion* piGetNextInsertion(int bRestart) override { return m_clInsertion.pNext(bRestart); }

    TCursorList<CHostRubrique> m_clRubrique;
    TCursorList<CHostGroupe> m_clGroupe;
    TCursorList<CHostFrom> m_clFrom;
    TCursorList<CHostOrderBy> m_clOrderBy;
    TCursorList<CHostNode> m_clJoin;
    TCursorList<CHostAffectation> m_clAffectation;
    TCursorList<CHostInsertion> m_clInsertion;
};

struct SParseError : std::runtime_error {
    SParseError(const std::wstring& strMessage, int nPosition)
        : std::runtime_error("parse error"), m_strMessage(strMessage), m_nPosition(nPosition)
    {
    }
    std::wstring m_strMessage;
    int m_nPosition;
};

} // namespace

// ---- The parse's objects --------------------------------------------------------------------------------

struct CHostSQLParse::CImpl {
    std::wstring strText;
    const CHostCatalogue* pclCatalogue = nullptr;
    CHostQueryParametersValue* pclValues = nullptr;
    SLedger stLedger;
    eTYPEREQUETE eType = 0;

    std::vector<std::unique_ptr<CHostNode>> tabNode;
    std::vector<std::unique_ptr<CHostFrom>> tabFrom;
    std::vector<std::unique_ptr<CHostRubrique>> tabRubrique;
    std::vector<std::unique_ptr<CHostOrderBy>> tabOrderBy;
    std::vector<std::unique_ptr<CHostGroupe>> tabGroupe;
    std::vector<std::unique_ptr<CHostAffectation>> tabAffectation;
    std::vector<std::unique_ptr<CHostInsertion>> tabInsertion;
    CHostLists clLists;

    CHostNode* pclWhere = nullptr;
    CHostNode* pclHaving = nullptr;
    int nWhereStart = 0, nWhereStop = -2;
    int nHavingStart = 0, nHavingStop = -2;
    int nOrderByStart = 0;
    int nLastClauseStop = -1, nQueryStop = -1;
    int nOutputListEnd = 0;

    // Parameters in text order, the item references beside them.
    std::vector<CHostNode*> tabParameter;
    std::vector<CHostNode*> tabReference;
    std::unique_ptr<STValParser[]> aValue;
    std::unique_ptr<STValParser[]> aReference;
    CTabValParser stWhole{0, nullptr, 0, nullptr};
    CTabValParser stClause{0, nullptr, 0, nullptr};

    CHostNode* pclNew(int nKind, int nStart, int nStop)
    {
        tabNode.emplace_back(new CHostNode(&stLedger, nKind, nStart, nStop));
        return tabNode.back().get();
    }
    // The FROM entry the query reads by that name (alias or table): one
    // named so as written first, case ignored else.
    CHostFrom* pclFromByName(const std::wstring& strName) const
    {
        for (const auto& p : tabFrom)
            if (p->strName() == strName)
                return p.get();
        for (const auto& p : tabFrom)
            if (bSameI(p->strName(), strName))
                return p.get();
        for (const auto& p : tabFrom)
            if (bSameI(p->m_strTable, strName))
                return p.get();
        return nullptr;
    }
    void Lookup(CHostSQLParse* pclParse)
    {
        stLedger.nLookups++;
        if (pclParse->m_bThrowOnLookup)
            throw std::runtime_error("host look-up failed");
    }
    void Resolve(CHostNode* pcl);
    void BuildTables();
    void RefreshValues();
};

void CHostSQLParse::CImpl::Resolve(CHostNode* pcl)
{
    if (!pcl->m_strTable.empty()) {
        pcl->m_pclFrom = pclFromByName(pcl->m_strTable);
        pcl->m_bKnown = pcl->m_pclFrom != nullptr && pcl->m_pclFrom->bHasItem(pcl->m_strItem, &pcl->m_nType);
        return;
    }
    for (const auto& p : tabFrom)
        if (p->piDescription() != nullptr && p->bHasItem(pcl->m_strItem, &pcl->m_nType)) {
            pcl->m_pclFrom = p.get();
            pcl->m_bKnown = true;
            return;
        }
    if (tabFrom.size() == 1 && tabFrom[0]->piDescription() == nullptr) {
        pcl->m_pclFrom = tabFrom[0].get();
        pcl->m_bKnown = true;
    }
}

void CHostSQLParse::CImpl::BuildTables()
{
    std::sort(tabParameter.begin(), tabParameter.end(),
              [](const CHostNode* a, const CHostNode* b) { return a->nStart() < b->nStart(); });
    std::sort(tabReference.begin(), tabReference.end(),
              [](const CHostNode* a, const CHostNode* b) { return a->nStart() < b->nStart(); });
    aValue.reset(new STValParser[tabParameter.size() + 1]);
    for (size_t i = 0; i < tabParameter.size(); i++) {
        STValParser& st = aValue[i];
        st.nPosition = tabParameter[i]->nStart();
        st.nLongueur = tabParameter[i]->nStop() - tabParameter[i]->nStart() + 1;
        st.dwType = 0;
        st.pszNomRubrique = tabParameter[i]->m_strItem.c_str();
        st.pszNomTable = nullptr;
    }
    aReference.reset(new STValParser[tabReference.size() + 1]);
    for (size_t i = 0; i < tabReference.size(); i++) {
        STValParser& st = aReference[i];
        CHostNode* pcl = tabReference[i];
        st.nPosition = pcl->nStart();
        st.nLongueur = pcl->nStop() - pcl->nStart() + 1;
        st.dwType = 0;
        st.pszNomRubrique = pcl->m_strItem.c_str();
        // The table as written, else the logical name of the table it reads.
        st.pszNomTable = !pcl->m_strTable.empty() ? pcl->m_strTable.c_str()
                         : pcl->m_pclFrom != nullptr ? pcl->m_pclFrom->m_strTable.c_str()
                                                      : L"";
    }
    const int nValues = static_cast<int>(tabParameter.size());
    stWhole = CTabValParser{nValues, aValue.get(), static_cast<int>(tabReference.size()), aReference.get()};
    // The clause walk writes the columns itself: values only.
    stClause = CTabValParser{nValues, aValue.get(), 0, nullptr};
    RefreshValues();
}

void CHostSQLParse::CImpl::RefreshValues()
{
    for (size_t i = 0; i < tabParameter.size(); i++) {
        CAny& v = aValue[i].clValeur;
        const CAny* pValue = pclValues != nullptr ? pclValues->pclGetValue(tabParameter[i]->m_strItem.c_str()) : nullptr;
        if (pValue != nullptr)
            pValue->pclGetTraitement()->Duplique(&v);
        else
            v.__SetType(TQTYPE_VIDE, 0);
    }
}

// ---- The parser ----------------------------------------------------------------------------------

namespace {

struct SToken {
    enum EType { END, NAME, QUOTED, NUMBER, STRING, PARAM, SYMBOL } eType;
    int nStart;
    int nStop;
    std::wstring str;  // the name, the text without quotes, the digits or the symbol
};

const wchar_t* const g_apszReserved[] = {
    L"SELECT", L"FROM",  L"WHERE", L"GROUP", L"BY",   L"HAVING", L"ORDER",  L"LIMIT",    L"JOIN",   L"INNER",
    L"LEFT",   L"RIGHT", L"OUTER", L"ON",    L"AS",   L"AND",    L"OR",     L"NOT",      L"LIKE",   L"ESCAPE",
    L"IS",     L"NULL",  L"ASC",   L"DESC",  L"SET",  L"VALUES", L"INTO",   L"DISTINCT", L"OFFSET", L"UPDATE",
    L"INSERT", L"DELETE", L"UNION", L"INTERSECT", L"EXCEPT"};

// A letter of a name, read the same in every process locale: ASCII's, _
// and every character from U+0080 on.
bool bNameLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c >= 0x80;
}

bool bReserved(const std::wstring& str)
{
    const std::wstring s = Upper(str);
    for (const wchar_t* psz : g_apszReserved)
        if (s == psz)
            return true;
    return false;
}

class CParser {
public:
    CParser(CHostSQLParse::CImpl& impl) : m_impl(impl) {}

    void Parse()
    {
        _Tokenise();
        if (_bKeyword(L"SELECT"))
            _Select();
        else if (_bKeyword(L"INSERT"))
            _Insert();
        else if (_bKeyword(L"UPDATE"))
            _Update();
        else if (_bKeyword(L"DELETE"))
            _Delete();
        else
            _Fail(L"SELECT, INSERT, UPDATE or DELETE expected");
        m_impl.nLastClauseStop = m_nLastStop;
        if (_bSymbol(L";"))
            m_nLastStop = _Take().nStop;
        if (_Peek().eType != SToken::END)
            _Fail(L"end of the query expected");
        m_impl.nQueryStop = m_nLastStop;
        _Finish();
    }

private:
    // ---- Tokens ----------------------------------------------------------------------------
    [[noreturn]] void _Fail(const std::wstring& strMessage) { throw SParseError(strMessage, _Peek().nStart); }

    void _Tokenise()
    {
        const std::wstring& s = m_impl.strText;
        const int n = static_cast<int>(s.size());
        int i = 0;
        while (true) {
            while (i < n && (s[i] == L' ' || s[i] == L'\t' || s[i] == L'\r' || s[i] == L'\n'))
                i++;
            if (i >= n)
                break;
            SToken t{SToken::SYMBOL, i, i, L""};
            const wchar_t c = s[i];
            if (bNameLetter(c)) {
                while (i < n && (bNameLetter(s[i]) || (s[i] >= L'0' && s[i] <= L'9')))
                    i++;
                t.eType = SToken::NAME;
                t.str = s.substr(static_cast<size_t>(t.nStart), static_cast<size_t>(i - t.nStart));
            } else if (iswdigit(static_cast<wint_t>(c))) {
                while (i < n && iswdigit(static_cast<wint_t>(s[i])))
                    i++;
                if (i + 1 < n && s[i] == L'.' && iswdigit(static_cast<wint_t>(s[i + 1]))) {
                    i++;
                    while (i < n && iswdigit(static_cast<wint_t>(s[i])))
                        i++;
                }
                t.eType = SToken::NUMBER;
                t.str = s.substr(static_cast<size_t>(t.nStart), static_cast<size_t>(i - t.nStart));
            } else if (c == L'\'') {
                t.eType = SToken::STRING;
                for (i++;; i++) {
                    if (i >= n)
                        throw SParseError(L"unterminated text", t.nStart);
                    if (s[i] == L'\'') {
                        if (i + 1 < n && s[i + 1] == L'\'') {
                            t.str += L'\'';
                            i++;
                            continue;
                        }
                        break;
                    }
                    t.str += s[i];
                }
                i++;
            } else if (c == L'"' || c == L'[' || c == L'{') {
                const wchar_t cClose = c == L'"' ? L'"' : c == L'[' ? L']' : L'}';
                const size_t nClose = s.find(cClose, static_cast<size_t>(i) + 1);
                if (nClose == std::wstring::npos || nClose == static_cast<size_t>(i) + 1)
                    throw SParseError(c == L'{' ? L"bad parameter" : L"bad quoted name", t.nStart);
                t.eType = c == L'{' ? SToken::PARAM : SToken::QUOTED;
                t.str = s.substr(static_cast<size_t>(i) + 1, nClose - static_cast<size_t>(i) - 1);
                i = static_cast<int>(nClose) + 1;
            } else {
                static const wchar_t* const apszTwo[] = {L"<=", L">=", L"<>", L"!="};
                for (const wchar_t* psz : apszTwo)
                    if (i + 1 < n && s[i] == psz[0] && s[i + 1] == psz[1])
                        t.str = psz;
                if (t.str.empty()) {
                    if (wcschr(L"(),.*+-/=<>;", c) == nullptr || c == 0)
                        throw SParseError(L"unexpected character", i);
                    t.str = c;
                }
                i += static_cast<int>(t.str.size());
            }
            t.nStop = i - 1;
            m_tabToken.push_back(t);
        }
        m_tabToken.push_back(SToken{SToken::END, n, n, L""});
    }

    const SToken& _Peek(size_t k = 0) const
    {
        const size_t i = std::min(m_nToken + k, m_tabToken.size() - 1);
        return m_tabToken[i];
    }
    SToken _Take()
    {
        const SToken t = _Peek();
        if (m_nToken < m_tabToken.size() - 1)
            m_nToken++;
        m_nLastStop = t.nStop;
        return t;
    }
    bool _bKeyword(const wchar_t* psz, size_t k = 0) const
    {
        return _Peek(k).eType == SToken::NAME && Upper(_Peek(k).str) == psz;
    }
    bool _bSymbol(const wchar_t* psz, size_t k = 0) const
    {
        return _Peek(k).eType == SToken::SYMBOL && _Peek(k).str == psz;
    }
    SToken _Expect(const wchar_t* psz)
    {
        if (!_bKeyword(psz) && !_bSymbol(psz))
            _Fail(std::wstring(psz) + L" expected");
        return _Take();
    }
    // A set operator joining another SELECT or a VALUES. MINUS is one only
    // before either: elsewhere it is a name.
    bool _bSetOperator() const
    {
        return _bKeyword(L"UNION") || _bKeyword(L"INTERSECT") || _bKeyword(L"EXCEPT") ||
               (_bKeyword(L"MINUS") && (_bKeyword(L"SELECT", 1) || _bKeyword(L"VALUES", 1) || _bSymbol(L"(", 1)));
    }
    // A table or column name: an identifier that is not a keyword.
    SToken _Name(const wchar_t* pszWhat)
    {
        if (_Peek().eType != SToken::NAME || bReserved(_Peek().str))
            _Fail(std::wstring(pszWhat) + L" expected");
        return _Take();
    }

    // ---- Statements -----------------------------------------------------------------------------
    void _Select()
    {
        m_impl.eType = 1;
        _Take();
        if (_bKeyword(L"DISTINCT"))
            _Take();
        if (_bSymbol(L"*")) {
            _Take();
            m_bStar = true;
            m_impl.nOutputListEnd = 1;
        } else {
            do {
                if (!m_tabItem.empty())
                    _Take();
                SItem st;
                st.pclExpression = _Or();
                if (_bKeyword(L"AS")) {
                    _Take();
                    if (_Peek().eType != SToken::NAME && _Peek().eType != SToken::QUOTED)
                        _Fail(L"alias expected");
                    st.strAlias = _Take().str;
                }
                m_tabItem.push_back(st);
            } while (_bSymbol(L","));
            m_impl.nOutputListEnd = m_nLastStop + 1;
        }
        _Expect(L"FROM");
        _FromList();
        _Where();
        if (_bKeyword(L"GROUP")) {
            _Take();
            _Expect(L"BY");
            do {
                if (!m_tabGroup.empty())
                    _Take();
                CHostNode* pcl = _Primary();
                if (pcl->m_nKind != HOSTKIND_COLUMN)
                    _Fail(L"GROUP BY takes names");
                m_tabGroup.push_back(pcl);
            } while (_bSymbol(L","));
        }
        if (_bKeyword(L"HAVING")) {
            m_impl.nHavingStart = _Take().nStart;
            m_impl.pclHaving = _Or();
            m_impl.nHavingStop = m_impl.pclHaving->nStop();
        }
        // Another SELECT after a set operator stays as written, up to the
        // order and the limit of the whole.
        if (_bSetOperator()) {
            int nDepth = 0;
            while (_Peek().eType != SToken::END &&
                   (nDepth > 0 || !(_bKeyword(L"ORDER") || _bKeyword(L"LIMIT") || _bSymbol(L";")))) {
                nDepth += _bSymbol(L"(") ? 1 : _bSymbol(L")") ? -1 : 0;
                _Take();
            }
        }
        if (_bKeyword(L"ORDER")) {
            m_impl.nOrderByStart = _Take().nStart;
            _Expect(L"BY");
            do {
                if (!m_tabOrder.empty())
                    _Take();
                m_tabOrder.push_back(_Or());
                if (_bKeyword(L"ASC") || _bKeyword(L"DESC"))
                    _Take();
            } while (_bSymbol(L","));
        }
        if (_bKeyword(L"LIMIT")) {
            _Take();
            _LimitValue();
            if (_bSymbol(L",") || _bKeyword(L"OFFSET")) {
                _Take();
                _LimitValue();
            }
        }
    }

    void _LimitValue()
    {
        if (_Peek().eType != SToken::NUMBER && _Peek().eType != SToken::PARAM)
            _Fail(L"number expected");
        _Primary();
    }

    void _Insert()
    {
        m_impl.eType = 4;
        _Take();
        _Expect(L"INTO");
        _Table(false);
        _Expect(L"(");
        do {
            if (!m_tabColumn.empty())
                _Take();
            const SToken t = _Name(L"column");
            CHostNode* pcl = m_impl.pclNew(HOSTKIND_COLUMN, t.nStart, t.nStop);
            pcl->m_strItem = t.str;
            m_tabColumn.push_back(pcl);
        } while (_bSymbol(L","));
        _Expect(L")");
        _Expect(L"VALUES");
        _Expect(L"(");
        std::vector<CHostNode*> tabValue;
        do {
            if (!tabValue.empty())
                _Take();
            tabValue.push_back(_Or());
        } while (_bSymbol(L","));
        _Expect(L")");
        if (tabValue.size() != m_tabColumn.size())
            _Fail(L"as many values as columns expected");
        for (size_t i = 0; i < tabValue.size(); i++) {
            m_impl.tabInsertion.emplace_back(new CHostInsertion(m_tabColumn[i], tabValue[i]));
            m_impl.clLists.m_clInsertion.tab.push_back(m_impl.tabInsertion.back().get());
        }
    }

    void _Update()
    {
        m_impl.eType = 3;
        _Take();
        _Table(false);
        _Expect(L"SET");
        do {
            if (!m_impl.tabAffectation.empty())
                _Take();
            const SToken t = _Name(L"column");
            CHostNode* pclColumn = m_impl.pclNew(HOSTKIND_COLUMN, t.nStart, t.nStop);
            pclColumn->m_strItem = t.str;
            m_tabAllColumn.push_back(pclColumn);
            _Expect(L"=");
            CHostNode* pclValue = _Or();
            m_impl.tabAffectation.emplace_back(new CHostAffectation(pclColumn, pclValue));
            m_impl.clLists.m_clAffectation.tab.push_back(m_impl.tabAffectation.back().get());
        } while (_bSymbol(L","));
        _Where();
    }

    void _Delete()
    {
        m_impl.eType = 5;
        _Take();
        _Expect(L"FROM");
        _Table(false);
        _Where();
    }

    void _Where()
    {
        if (!_bKeyword(L"WHERE"))
            return;
        m_impl.nWhereStart = _Take().nStart;
        m_impl.pclWhere = _Or();
        m_impl.nWhereStop = m_impl.pclWhere->nStop();
    }

    void _FromList()
    {
        _Table(true);
        while (true) {
            if (_bSymbol(L",")) {
                _Take();
                _Table(true);
                continue;
            }
            size_t k = 0;
            if (_bKeyword(L"INNER")) {
                k = 1;
            } else if (_bKeyword(L"LEFT") || _bKeyword(L"RIGHT")) {
                k = _bKeyword(L"OUTER", 1) ? 2 : 1;
            }
            if (!_bKeyword(L"JOIN", k))
                break;
            for (size_t i = 0; i <= k; i++)
                _Take();
            _Table(true);
            _Expect(L"ON");
            CHostNode* pcl = _Or();
            m_impl.clLists.m_clJoin.tab.push_back(pcl);
        }
    }

    void _Table(bool bAlias)
    {
        const SToken t = _Name(L"table");
        m_impl.tabFrom.emplace_back(new CHostFrom(&m_impl.stLedger));
        CHostFrom* pcl = m_impl.tabFrom.back().get();
        pcl->m_strTable = t.str;
        pcl->m_stPosition = Rect(t.nStart, t.nStop);
        if (bAlias) {
            // An alias may be quoted ("a b", [a b]).
            if (_bKeyword(L"AS")) {
                _Take();
                pcl->m_strAlias = _Peek().eType == SToken::QUOTED ? _Take().str : _Name(L"alias").str;
            } else if ((_Peek().eType == SToken::NAME && !bReserved(_Peek().str) && !_bSetOperator()) ||
                       _Peek().eType == SToken::QUOTED) {
                pcl->m_strAlias = _Take().str;
            }
        }
        m_impl.clLists.m_clFrom.tab.push_back(pcl);
    }

    // ---- Expressions ------------------------------------------------------------------------------
    CHostNode* _Binary(int nKind, CHostNode* pclLeft, CHostNode* pclRight)
    {
        CHostNode* pcl = m_impl.pclNew(nKind, pclLeft->nStart(), pclRight->nStop());
        pcl->m_tabOperand = {pclLeft, pclRight};
        return pcl;
    }
    CHostNode* _Unary(int nKind, int nStart, CHostNode* pclOperand)
    {
        CHostNode* pcl = m_impl.pclNew(nKind, nStart, pclOperand->nStop());
        pcl->m_tabOperand = {pclOperand};
        return pcl;
    }

    struct SDepth {
        explicit SDepth(int& n) : m_n(n)
        {
            if (++m_n > 200)
                throw SParseError(L"expression nested too deeply", 0);
        }
        ~SDepth() { m_n--; }
        int& m_n;
    };

    CHostNode* _Or()
    {
        SDepth stDepth(m_nDepth);
        CHostNode* pcl = _And();
        while (_bKeyword(L"OR")) {
            _Take();
            pcl = _Binary(nHostKind(L"OR"), pcl, _And());
        }
        return pcl;
    }
    CHostNode* _And()
    {
        CHostNode* pcl = _Not();
        while (_bKeyword(L"AND")) {
            _Take();
            pcl = _Binary(nHostKind(L"AND"), pcl, _Not());
        }
        return pcl;
    }
    CHostNode* _Not()
    {
        if (!_bKeyword(L"NOT"))
            return _Predicate();
        SDepth stDepth(m_nDepth);
        const int nStart = _Take().nStart;
        return _Unary(nHostKind(L"NOT"), nStart, _Not());
    }
    CHostNode* _Predicate()
    {
        CHostNode* pcl = _Add();
        static const wchar_t* const apszCompare[] = {L"=", L"<>", L"!=", L"<", L"<=", L">", L">="};
        for (const wchar_t* psz : apszCompare)
            if (_bSymbol(psz)) {
                _Take();
                CHostNode* pclRight = _Add();
                _Reference(pcl, pclRight);
                return _Binary(nHostKind(psz), pcl, pclRight);
            }
        const bool bNot = _bKeyword(L"NOT") && _bKeyword(L"LIKE", 1);
        if (bNot || _bKeyword(L"LIKE")) {
            _Take();
            if (bNot)
                _Take();
            CHostNode* pclPattern = _Add();
            _Reference(pcl, pclPattern);
            CHostNode* pclLike = _Binary(nHostKind(L"LIKE"), pcl, pclPattern);
            if (_bKeyword(L"ESCAPE")) {
                _Take();
                if (_Peek().eType != SToken::STRING || _Peek().str.size() != 1)
                    _Fail(L"one escape character expected");
                const SToken t = _Take();
                pclLike->m_cEscape = t.str[0];
                pclLike->m_stOwn.right = pclLike->m_stOuter.right = t.nStop;
            }
            if (!bNot)
                return pclLike;
            // The NOT stands inside its operand's text.
            return _Unary(nHostKind(L"NOT"), pclLike->nStart(), pclLike);
        }
        if (_bKeyword(L"IS")) {
            _Take();
            const bool bIsNot = _bKeyword(L"NOT");
            if (bIsNot)
                _Take();
            const int nStop = _Expect(L"NULL").nStop;
            CHostNode* pclNull = _Unary(nHostKind(bIsNot ? L"IS NOT NULL" : L"IS NULL"), pcl->nStart(), pcl);
            pclNull->m_stOwn.right = pclNull->m_stOuter.right = nStop;
            return pclNull;
        }
        return pcl;
    }
    CHostNode* _Add()
    {
        CHostNode* pcl = _Mul();
        while (_bSymbol(L"+") || _bSymbol(L"-")) {
            const std::wstring strOp = _Take().str;
            pcl = _Binary(nHostKind(strOp.c_str()), pcl, _Mul());
        }
        return pcl;
    }
    CHostNode* _Mul()
    {
        CHostNode* pcl = _Signed();
        while (_bSymbol(L"*") || _bSymbol(L"/")) {
            const std::wstring strOp = _Take().str;
            pcl = _Binary(nHostKind(strOp.c_str()), pcl, _Signed());
        }
        return pcl;
    }
    CHostNode* _Signed()
    {
        if (!_bSymbol(L"-"))
            return _Primary();
        SDepth stDepth(m_nDepth);
        const int nSign = _Take().nStart;
        CHostNode* pcl = _Unary(nHostKind(L"-x"), nSign, _Signed());
        // Its own place is the sign; the outer one runs to the operand's end.
        pcl->m_stOwn = Rect(nSign, nSign);
        return pcl;
    }
    CHostNode* _Primary()
    {
        const SToken& t = _Peek();
        switch (t.eType) {
        case SToken::NUMBER:
            return _Number(_Take());
        case SToken::STRING: {
            const SToken tText = _Take();
            CHostNode* pcl = m_impl.pclNew(HOSTKIND_LITERAL, tText.nStart, tText.nStop);
            pcl->m_clValue.__SetType(TQTYPE_DSTRW, 0);
            pcl->m_clValue.pclGetTraitement()->SetValue(tText.str.c_str(),
                                                        static_cast<unsigned int>(tText.str.size() * sizeof(wchar_t)));
            return pcl;
        }
        case SToken::PARAM: {
            const SToken tParam = _Take();
            CHostNode* pcl = m_impl.pclNew(HOSTKIND_PARAMETER, tParam.nStart, tParam.nStop);
            pcl->m_strItem = tParam.str;
            m_impl.tabParameter.push_back(pcl);
            return pcl;
        }
        case SToken::SYMBOL:
            if (t.str == L"(" && _bKeyword(L"SELECT", 1))
                return _Subquery();
            if (t.str == L"(") {
                SDepth stDepth(m_nDepth);
                const int nOpen = _Take().nStart;
                CHostNode* pclInner = _Or();
                const int nClose = _Expect(L")").nStop;
                CHostNode* pcl = _Unary(nHostKind(L"()"), nOpen, pclInner);
                pcl->m_stOwn = Rect(pclInner->nStart(), pclInner->nStop());
                pcl->m_stOuter = Rect(nOpen, nClose);
                return pcl;
            }
            break;
        case SToken::NAME:
            if (_bSymbol(L"(", 1))
                return _Function();
            if (!bReserved(t.str))
                return _Column();
            break;
        case SToken::QUOTED:
            return _Column();
        default:
            break;
        }
        _Fail(L"value expected");
    }
    // A subquery: one node over its text, parentheses included; what it
    // holds is not parsed.
    CHostNode* _Subquery()
    {
        const int nOpen = _Take().nStart;
        int nDepth = 1;
        while (nDepth > 0) {
            if (_Peek().eType == SToken::END)
                _Fail(L") expected");
            const SToken t = _Take();
            if (t.eType == SToken::SYMBOL && t.str == L"(")
                nDepth++;
            else if (t.eType == SToken::SYMBOL && t.str == L")")
                nDepth--;
        }
        return m_impl.pclNew(nHostKind(L"(SELECT)"), nOpen, m_nLastStop);
    }
    CHostNode* _Number(const SToken& t)
    {
        CHostNode* pcl = m_impl.pclNew(HOSTKIND_LITERAL, t.nStart, t.nStop);
        if (t.str.find(L'.') != std::wstring::npos) {
            const double d = wcstod(t.str.c_str(), nullptr);
            pcl->m_clValue.__SetType(TQTYPE_R8, 0);
            pcl->m_clValue.pclGetTraitement()->SetValue(&d);
            return pcl;
        }
        errno = 0;
        const long long ll = wcstoll(t.str.c_str(), nullptr, 10);
        if (errno != 0)
            throw SParseError(L"number too large", t.nStart);
        if (ll <= 0x7FFFFFFF) {
            const int n = static_cast<int>(ll);
            pcl->m_clValue.__SetType(TQTYPE_I4, 0);
            pcl->m_clValue.pclGetTraitement()->SetValue(&n);
        } else {
            pcl->m_clValue.__SetType(TQTYPE_I8, 0);
            pcl->m_clValue.pclGetTraitement()->SetValue(&ll);
        }
        return pcl;
    }
    CHostNode* _Function()
    {
        SDepth stDepth(m_nDepth);
        const SToken tName = _Take();
        const int nKind = nHostKind(Upper(tName.str).c_str());
        CHostNode* pcl = m_impl.pclNew(nKind >= 0 ? nKind : HOSTKIND_FUNCTION, tName.nStart, tName.nStop);
        _Take();
        if (_bSymbol(L"*") && _bSymbol(L")", 1)) {
            _Take();
        } else if (!_bSymbol(L")")) {
            do {
                if (!pcl->m_tabOperand.empty())
                    _Take();
                pcl->m_tabOperand.push_back(_Or());
            } while (_bSymbol(L","));
        }
        pcl->m_stOwn.right = pcl->m_stOuter.right = _Expect(L")").nStop;
        return pcl;
    }
    CHostNode* _Column()
    {
        SToken t = _Take();
        std::wstring strTable;
        const int nStart = t.nStart;
        if (_bSymbol(L".")) {
            _Take();
            strTable = t.str;
            t = _Name(L"column");
        }
        CHostNode* pcl = m_impl.pclNew(HOSTKIND_COLUMN, nStart, t.nStop);
        pcl->m_strItem = t.str;
        pcl->m_strTable = strTable;
        m_tabAllColumn.push_back(pcl);
        return pcl;
    }
    // A column compared with a parameter is an item reference.
    void _Reference(CHostNode* pclLeft, CHostNode* pclRight)
    {
        if (pclLeft->m_nKind == HOSTKIND_COLUMN && pclRight->m_nKind == HOSTKIND_PARAMETER)
            m_impl.tabReference.push_back(pclLeft);
        else if (pclRight->m_nKind == HOSTKIND_COLUMN && pclLeft->m_nKind == HOSTKIND_PARAMETER)
            m_impl.tabReference.push_back(pclRight);
    }

    // ---- After the text: names resolved, the lists filled ----------------------------------------------
    void _Finish()
    {
        for (const auto& p : m_impl.tabFrom)
            p->m_pTable = m_impl.pclCatalogue != nullptr ? m_impl.pclCatalogue->pFind(p->m_strTable.c_str()) : nullptr;
        for (CHostNode* pcl : m_tabAllColumn)
            m_impl.Resolve(pcl);
        for (CHostNode* pcl : m_tabColumn)
            m_impl.Resolve(pcl);
        if (m_bStar)
            _StarItems();
        for (const SItem& st : m_tabItem)
            _Item(st.pclExpression, st.strAlias);
        for (CHostNode* pcl : m_tabColumn)
            _Item(pcl, L"");
        for (CHostNode* pcl : m_tabGroup)
            _Group(pcl);
        for (CHostNode* pcl : m_tabOrder)
            _Order(pcl);
        for (const auto& p : m_impl.tabRubrique)
            m_impl.clLists.m_clRubrique.tab.push_back(p.get());
        m_impl.BuildTables();
    }

    CHostRubrique* _NewItem()
    {
        m_impl.tabRubrique.emplace_back(new CHostRubrique(&m_impl.stLedger));
        return m_impl.tabRubrique.back().get();
    }

    void _StarItems()
    {
        for (const auto& p : m_impl.tabFrom) {
            INADataSourceDescription* pi = p->piDescription();
            for (unsigned int i = 0; pi != nullptr && i < pi->nGetNumItems(); i++) {
                INAItemDescription* piItem = pi->piNAGetItem(i);
                if (piItem == nullptr)
                    continue;
                if (!piItem->bIsComposedKey()) {
                    CHostRubrique* pcl = _NewItem();
                    pcl->m_strTable = p->strName();
                    pcl->m_strName = pcl->m_strSource = piItem->pszGetName();
                    pcl->m_strTableSource = p->m_strTable;
                    pcl->m_nType = nHostEngineType(piItem->eNAGetItemType());
                    pcl->m_pclFrom = p.get();
                }
                piItem->nExternalRelease();
            }
        }
    }

    static bool bReadsColumn(const CHostNode* pcl)
    {
        if (pcl->m_nKind == HOSTKIND_LITERAL || pcl->m_nKind == HOSTKIND_PARAMETER)
            return false;
        if (pcl->m_nKind != nHostKind(L"()") && pcl->m_nKind != nHostKind(L"-x"))
            return true;
        return bReadsColumn(pcl->m_tabOperand[0]);
    }

    void _Item(CHostNode* pclExpression, const std::wstring& strAlias)
    {
        CHostRubrique* pcl = _NewItem();
        pcl->m_strAlias = strAlias;
        pcl->m_stPosition = pclExpression->m_stOuter;
        if (pclExpression->m_nKind == HOSTKIND_COLUMN) {
            CHostFrom* pclFrom = pclExpression->m_pclFrom;
            pcl->m_strTable = !pclExpression->m_strTable.empty() ? pclExpression->m_strTable
                              : pclFrom != nullptr              ? pclFrom->strName()
                                                                : L"";
            pcl->m_strSource = pclExpression->m_strItem;
            pcl->m_strName = strAlias.empty() ? pclExpression->m_strItem : strAlias;
            pcl->m_strTableSource = pclFrom != nullptr ? pclFrom->m_strTable : L"";
            pcl->m_nType = pclExpression->m_nType;
            pcl->m_bFlag = pclExpression->m_bKnown ? 1 : 0;
            pcl->m_pclFrom = pclFrom;
            return;
        }
        pcl->m_nCalcul = bReadsColumn(pclExpression) ? 1 : 2;
        pcl->m_pclExpression = pclExpression;
        const tagRECT st = pclExpression->m_stOuter;
        pcl->m_strName = !strAlias.empty() ? strAlias
                                           : m_impl.strText.substr(static_cast<size_t>(st.left),
                                                                   static_cast<size_t>(st.right - st.left + 1));
    }

    // The output item of that name, else the plain one reading that item
    // (of the FROM entry the table written stands for, when one is); -1
    // when none.
    int _nOutputIndex(const CHostNode* pcl) const
    {
        const auto& tab = m_impl.tabRubrique;
        if (pcl->m_strTable.empty())
            for (size_t i = 0; i < tab.size(); i++)
                if (bSameI(tab[i]->m_strName, pcl->m_strItem))
                    return static_cast<int>(i);
        const auto bOfTable = [pcl](const CHostRubrique* pclItem) {
            if (pcl->m_strTable.empty())
                return true;
            return pcl->m_pclFrom != nullptr ? pclItem->m_pclFrom == pcl->m_pclFrom
                                             : bSameI(pclItem->m_strTable, pcl->m_strTable);
        };
        for (size_t i = 0; i < tab.size(); i++)
            if (tab[i]->m_nCalcul == 0 && bSameI(tab[i]->m_strSource, pcl->m_strItem) && bOfTable(tab[i].get()))
                return static_cast<int>(i);
        return -1;
    }

    void _Group(CHostNode* pclName)
    {
        m_impl.tabGroupe.emplace_back(new CHostGroupe());
        CHostGroupe* pcl = m_impl.tabGroupe.back().get();
        pcl->m_stPosition = pclName->m_stOuter;
        pcl->m_strAlias = pclName->m_strTable;
        pcl->m_bAvecTable = !pclName->m_strTable.empty();
        const int nIndex = _nOutputIndex(pclName);
        if (nIndex >= 0) {
            // An output item: named by its output name.
            const CHostRubrique* pclItem = m_impl.tabRubrique[static_cast<size_t>(nIndex)].get();
            pcl->m_strItemAlias = pclItem->m_strName;
            if (pclItem->m_nCalcul == 0) {
                pcl->m_strFile = pclItem->m_strTable;
                pcl->m_strTable = pclItem->m_strTableSource;
            }
        } else {
            pcl->m_strItem = pclName->m_strItem;
            if (pclName->m_pclFrom != nullptr) {
                pcl->m_strFile = pclName->m_pclFrom->strName();
                pcl->m_strTable = pclName->m_pclFrom->m_strTable;
            } else {
                pcl->m_strFile = pclName->m_strTable;
            }
        }
        m_impl.clLists.m_clGroupe.tab.push_back(pcl);
    }

    void _Order(CHostNode* pclExpression)
    {
        m_impl.tabOrderBy.emplace_back(new CHostOrderBy(&m_impl.stLedger));
        CHostOrderBy* pcl = m_impl.tabOrderBy.back().get();
        pcl->m_stPosition = pclExpression->m_stOuter;
        const int nCount = static_cast<int>(m_impl.tabRubrique.size());
        if (pclExpression->m_nKind == HOSTKIND_LITERAL && pclExpression->m_clValue.nGetTypeCode() == TQTYPE_I4) {
            int n = 0;
            pclExpression->m_clValue.nGetINT(&n);
            pcl->m_nIndex = n >= 1 && n <= nCount ? n - 1 : -1;
        } else if (pclExpression->m_nKind == HOSTKIND_COLUMN) {
            pcl->m_nIndex = _nOutputIndex(pclExpression);
        }
        m_impl.clLists.m_clOrderBy.tab.push_back(pcl);
    }

    struct SItem {
        CHostNode* pclExpression = nullptr;
        std::wstring strAlias;
    };

    CHostSQLParse::CImpl& m_impl;
    std::vector<SToken> m_tabToken;
    size_t m_nToken = 0;
    int m_nLastStop = -1;
    int m_nDepth = 0;
    bool m_bStar = false;
    std::vector<SItem> m_tabItem;
    std::vector<CHostNode*> m_tabColumn;     // the column list of an INSERT
    std::vector<CHostNode*> m_tabAllColumn;  // every column node of the expressions
    std::vector<CHostNode*> m_tabGroup;
    std::vector<CHostNode*> m_tabOrder;
};

} // namespace

// ---- Catalogue -------------------------------------------------------------------------------------------

CHostCatalogue::~CHostCatalogue()
{
    for (STable& st : m_tabTable)
        if (st.piDescription != nullptr)
            st.piDescription->nExternalRelease();
}

void CHostCatalogue::Add(const std::wstring& strLogical, const std::wstring& strPhysical,
                         INADataSourceDescription* piDescription)
{
    if (piDescription != nullptr)
        piDescription->ExternalAddRef();
    m_tabTable.push_back(STable{strLogical, strPhysical, piDescription});
}

const CHostCatalogue::STable* CHostCatalogue::pFind(const wchar_t* pszLogical) const
{
    for (const STable& st : m_tabTable)
        if (pszLogical != nullptr && bSameI(st.strLogical, pszLogical))
            return &st;
    return nullptr;
}

// ---- The parse -------------------------------------------------------------------------------------------

CHostSQLParse::CHostSQLParse() : m_p(new CImpl)
{
    m_nRefCount = 1;
}

CHostSQLParse::~CHostSQLParse() {}

std::unique_ptr<CHostSQLParse> CHostSQLParse::pParse(const wchar_t* pszText, const CHostCatalogue* pclCatalogue,
                                                     CHostQueryParametersValue* pclValues, std::wstring* pstrError)
{
    std::unique_ptr<CHostSQLParse> p(new CHostSQLParse);
    p->m_p->strText = pszText != nullptr ? pszText : L"";
    p->m_p->pclCatalogue = pclCatalogue;
    p->m_p->pclValues = pclValues;
    try {
        CParser(*p->m_p).Parse();
    } catch (const SParseError& e) {
        if (pstrError != nullptr)
            *pstrError = e.m_strMessage + L" at " + std::to_wstring(e.m_nPosition);
        return nullptr;
    }
    return p;
}

int CHostSQLParse::bVersionExchange(unsigned int, unsigned int, unsigned int* pnHostVersion)
{
    m_nVersionExchanges++;
    if (pnHostVersion != nullptr)
        *pnHostVersion = m_nHostVersion;
    return m_bVersionAnswer;
}

void CHostSQLParse::AddRef() { m_nRefCount++; }
unsigned int CHostSQLParse::nRelease() { return m_p->stLedger.nRelease(m_nRefCount); }
int CHostSQLParse::nGetLastClauseStop() { return m_p->nLastClauseStop; }
void CHostSQLParse::SetLastClauseStop(int n) { m_p->nLastClauseStop = n; }
int CHostSQLParse::nGetQueryStop() { return m_p->nQueryStop; }

CTabValParser* CHostSQLParse::pclGetTabValParser()
{
    m_p->RefreshValues();
    return &m_p->stWhole;
}

const wchar_t* CHostSQLParse::pszGetRequete() { return m_p->strText.c_str(); }
int CHostSQLParse::nGetWhereStart() { return m_p->nWhereStart; }
int CHostSQLParse::nGetWhereStop() { return m_p->nWhereStop; }
int CHostSQLParse::nGetOrderByStart() { return m_p->nOrderByStart; }
IInfoRequete* CHostSQLParse::piGetInfoRequete()
{
    if (m_bThrowOnLists)
        throw std::runtime_error("host lists failed");
    return &m_p->clLists;
}
int CHostSQLParse::nGetHavingStart() { return m_p->nHavingStart; }
int CHostSQLParse::nGetHavingStop() { return m_p->nHavingStop; }

IExpOpExpression* CHostSQLParse::piGetWhere()
{
    if (m_p->pclWhere == nullptr)
        return nullptr;
    m_p->pclWhere->m_nRefCount++;
    return m_p->pclWhere;
}

CTabValParser* CHostSQLParse::pclGetTabValParserClause()
{
    m_p->RefreshValues();
    return &m_p->stClause;
}

INAItemDescription* CHostSQLParse::piGetRubriqueDescription(const IInfoRubrique* piItem)
{
    m_p->Lookup(this);
    for (const auto& p : m_p->tabRubrique) {
        if (p.get() != piItem)
            continue;
        INADataSourceDescription* pi = p->m_pclFrom != nullptr ? p->m_pclFrom->piDescription() : nullptr;
        return p->m_nCalcul == 0 && pi != nullptr ? pi->piNAGetItem(p->m_strSource.c_str()) : nullptr;
    }
    return nullptr;
}

INAItemDescription* CHostSQLParse::piGetItemDescription(const wchar_t* pszTable, const wchar_t* pszItem)
{
    m_p->Lookup(this);
    if (pszItem == nullptr)
        return nullptr;
    if (pszTable != nullptr && *pszTable != 0) {
        CHostFrom* pcl = m_p->pclFromByName(pszTable);
        INADataSourceDescription* pi = pcl != nullptr ? pcl->piDescription() : nullptr;
        return pi != nullptr ? pi->piNAGetItem(pszItem) : nullptr;
    }
    for (const auto& p : m_p->tabFrom) {
        INADataSourceDescription* pi = p->piDescription();
        INAItemDescription* piItem = pi != nullptr ? pi->piNAGetItem(pszItem) : nullptr;
        if (piItem != nullptr)
            return piItem;
    }
    return nullptr;
}

INADataSourceDescription* CHostSQLParse::piGetFromDescription(const IInfoFrom* piFrom)
{
    m_p->Lookup(this);
    for (const auto& p : m_p->tabFrom)
        if (p.get() == piFrom && p->piDescription() != nullptr) {
            p->piDescription()->ExternalAddRef();
            return p->piDescription();
        }
    return nullptr;
}

INADataSourceDescription* CHostSQLParse::piGetTableDescription(const wchar_t* pszTable)
{
    m_p->Lookup(this);
    const CHostCatalogue::STable* pst = m_p->pclCatalogue != nullptr ? m_p->pclCatalogue->pFind(pszTable) : nullptr;
    if (pst == nullptr || pst->piDescription == nullptr)
        return nullptr;
    pst->piDescription->ExternalAddRef();
    return pst->piDescription;
}

eTYPEREQUETE CHostSQLParse::eGetTypeRequete() { return m_p->eType; }

IExpOpExpression* CHostSQLParse::piGetHaving()
{
    if (m_p->pclHaving == nullptr)
        return nullptr;
    m_p->pclHaving->m_nRefCount++;
    return m_p->pclHaving;
}

int CHostSQLParse::nGetOutputListEnd() { return m_p->nOutputListEnd; }

void CHostSQLParse::GetPhysicalName(const wchar_t* pszLogical, wchar_t* pszBuffer)
{
    m_p->Lookup(this);
    const CHostCatalogue::STable* pst = m_p->pclCatalogue != nullptr ? m_p->pclCatalogue->pFind(pszLogical) : nullptr;
    const std::wstring str = pst != nullptr ? pst->strPhysical : L"";
    // A careless host: a name that fills the buffer gets no terminator.
    const size_t n = std::min<size_t>(str.size(), SQLPARSER_PHYSICALNAME_SIZE);
    wmemcpy(pszBuffer, str.c_str(), n);
    if (n < SQLPARSER_PHYSICALNAME_SIZE)
        pszBuffer[n] = 0;
}

void CHostSQLParse::SetItemType(int n, int nType)
{
    if (n >= 0 && static_cast<size_t>(n) < m_p->tabRubrique.size())
        m_p->tabRubrique[static_cast<size_t>(n)]->m_nType = nType;
}

int CHostSQLParse::nUnbalanced(std::wstring* pstrReport) const
{
    int n = 0;
    auto Check = [&](unsigned int nCount, const std::wstring& strWhat) {
        if (nCount == 1)
            return;
        n++;
        if (pstrReport != nullptr)
            *pstrReport += strWhat + L" holds " + std::to_wstring(nCount) + L"; ";
    };
    Check(m_nRefCount, L"the parse");
    Check(m_p->clLists.m_nRefCount, L"the lists");
    for (const auto& p : m_p->tabNode)
        Check(p->m_nRefCount, L"node " + std::to_wstring(p->m_nKind) + L" at " + std::to_wstring(p->nStart()));
    for (const auto& p : m_p->tabFrom)
        Check(p->m_nRefCount, L"FROM " + p->m_strTable);
    for (const auto& p : m_p->tabRubrique)
        Check(p->m_nRefCount, L"item " + p->m_strName);
    for (const auto& p : m_p->tabOrderBy)
        Check(p->m_nRefCount, L"ORDER BY entry");
    for (const auto& p : m_p->tabGroupe)
        Check(p->m_nRefCount, L"GROUP BY entry");
    for (const auto& p : m_p->tabAffectation)
        Check(p->m_nRefCount, L"assignment");
    for (const auto& p : m_p->tabInsertion)
        Check(p->m_nRefCount, L"insertion");
    return n;
}

int CHostSQLParse::nOverReleases() const { return m_p->stLedger.nOverReleases; }
int CHostSQLParse::nLookups() const { return m_p->stLedger.nLookups; }
void CHostSQLParse::SetUnnamedFrom(bool bUnnamed) { m_p->stLedger.bUnnamedFrom = bUnnamed; }
