// Host queries built from the input (literals holding backslashes, quotes,
// "#" and line feeds, names in [ ] and " ", parameters, minus signs side by
// side, subqueries, computed items named after minus signs) through the
// host's parse and the rewrite, on a session in its default mode and under
// NO_BACKSLASH_ESCAPES: the text sent, read by that session's rules, holds
// no comment and ends in code, and its literals are the host's literals and
// parameter values, one each, with the same values, in order. A condition
// of numbers selects the same rows as the host's with each computed item in
// parentheses; a search of a computed item, the same rows as a search of a
// column holding its value.
#include "access/sql/NACommand.h"
#include "access/sql/SQLParserInfo.h"
#include "host/HostQueryParametersValue.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/HandDescriptions.h"
#include "tests/support/QuerySource.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/ValueCells.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cwctype>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// What literals and parameter values are made of: what ends, escapes or
// comments a text somewhere.
const wchar_t kAlphabet[] = L"\\'\"`#-/*;{}[]\n\r ab\x00e9";

// A MySQL session's literals, as the client library escapes them in each
// mode.
class CSessionConnection : public CMySQLKindConnection {
public:
    int bBackslashEscapes() override { return m_bBackslash; }
    int _bEscapeString(CNAError*, CTStringConcatAW* pclOut, unsigned short nHostType, unsigned char* pData,
                       unsigned int nSize) override
    {
        // Wide text, or 8-bit text of code page 1252 (the alphabet is in
        // its Latin-1 part).
        std::wstring strValue;
        if (nHostType == 16 || nHostType == 20 || nHostType == 81 || nHostType == 110)
            strValue.assign(reinterpret_cast<const wchar_t*>(pData), nSize / sizeof(wchar_t));
        else
            strValue.assign(pData, pData + nSize);
        std::wstring s = L"'";
        for (const wchar_t c : strValue) {
            if (!m_bBackslash)
                s += c == L'\'' ? L"''" : std::wstring(1, c);
            else if (c == L'\\' || c == L'\'' || c == L'"')
                s += std::wstring(L"\\") + c;
            else
                s += c == L'\n' ? L"\\n" : c == L'\r' ? L"\\r" : std::wstring(1, c);
        }
        s += L"'";
        pclOut->m_clA.m_nLength = 0;
        pclOut->m_clW.m_nLength = 0;
        pclOut->Add(s.c_str(), static_cast<int>(s.size()), 0);
        return 1;
    }
    int m_bBackslash = 1;
};

// The values of the literals of a text as the session reads them, in
// order; quoted names are no literals.
std::vector<std::wstring> SessionLiterals(CNAConnectionDescription* pCnx, const std::wstring& s, bool bBackslash)
{
    int nEnd = CNACommand::TE_CODE;
    const std::vector<unsigned char> tabRead = CNACommand::s_tabReadText(pCnx, s, CNACommand::TR_SESSION, &nEnd);
    FUZZ_CHECK(nEnd == CNACommand::TE_CODE);
    std::vector<std::wstring> tab;
    for (size_t i = 0; i < s.size();) {
        FUZZ_CHECK(tabRead[i] != CNACommand::RM_COMMENT);
        if (tabRead[i] != CNACommand::RM_QUOTED) {
            i++;
            continue;
        }
        const wchar_t cQuote = s[i];
        FUZZ_CHECK(cQuote == L'\'' || cQuote == L'"' || cQuote == L'`');
        std::wstring strValue;
        size_t k = i + 1;
        for (; k < s.size(); k++) {
            if (bBackslash && cQuote != L'`' && s[k] == L'\\' && k + 1 < s.size()) {
                const wchar_t c = s[++k];
                strValue += c == L'n' ? L'\n' : c == L'r' ? L'\r' : c == L'0' ? L'\0' : c;
            } else if (s[k] == cQuote && k + 1 < s.size() && s[k + 1] == cQuote) {
                strValue += s[k++];
            } else if (s[k] == cQuote) {
                break;
            } else {
                strValue += s[k];
            }
        }
        FUZZ_CHECK(k < s.size());
        if (cQuote != L'`')
            tab.push_back(strValue);
        i = k + 1;
    }
    return tab;
}

// Computed items: a leading sign, an AND and an OR on top, a comparison, a
// sum. Named after a minus sign or an operator, each is one value.
const wchar_t* const kComputed[] = {L"- n", L"-n * 2", L"n < 2 OR n > 8", L"n > 5 AND n < 9", L"n = 3", L"n + 1"};
constexpr int kComputedCount = sizeof(kComputed) / sizeof(kComputed[0]);

typedef std::optional<long long> Value; // empty: NULL

// A condition of numbers, the columns n and id, and comparisons, read as
// MySQL reads it (a name in backquotes is a name, its table is left out;
// two minus signs are two signs: no comment is left by then). Anything
// else is not read: bRead() says so.
class CArithmetic {
public:
    CArithmetic(const std::wstring& s, Value n, long long nId) : m_n(n), m_nId(nId) { _Tokens(s); }
    bool bRead(Value* pv)
    {
        m_i = 0;
        m_bFailed = false;
        *pv = _Or();
        return !m_bFailed && m_i == m_tab.size();
    }

private:
    void _Tokens(const std::wstring& s)
    {
        for (size_t i = 0; i < s.size();) {
            const wchar_t c = s[i];
            if (std::iswspace(static_cast<wint_t>(c))) {
                i++;
            } else if (c == L'`') {
                const size_t k = s.find(L'`', i + 1);
                if (k == std::wstring::npos) {
                    m_tab.push_back(L"?");
                    return;
                }
                m_tab.push_back(s.substr(i + 1, k - i - 1));
                i = k + 1;
            } else if (std::iswalnum(static_cast<wint_t>(c)) || c == L'_') {
                size_t k = i;
                while (k < s.size() && (std::iswalnum(static_cast<wint_t>(s[k])) || s[k] == L'_'))
                    k++;
                std::wstring str = s.substr(i, k - i);
                for (wchar_t& w : str)
                    w = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(w)));
                m_tab.push_back(str);
                i = k;
            } else if ((c == L'<' || c == L'>' || c == L'!') && i + 1 < s.size() &&
                       (s[i + 1] == L'=' || (c == L'<' && s[i + 1] == L'>'))) {
                m_tab.push_back(s.substr(i, 2));
                i += 2;
            } else if (c == L'.') {
                // table.name: the name alone.
                if (!m_tab.empty())
                    m_tab.pop_back();
                i++;
            } else {
                m_tab.push_back(std::wstring(1, c));
                i++;
            }
        }
    }
    bool _bIs(const wchar_t* psz) const { return m_i < m_tab.size() && m_tab[m_i] == psz; }
    bool _bTake(const wchar_t* psz)
    {
        if (!_bIs(psz))
            return false;
        m_i++;
        return true;
    }
    static Value Truth(bool b) { return Value(b ? 1 : 0); }
    Value _Or()
    {
        Value v = _And();
        while (_bTake(L"or")) {
            const Value w = _And();
            v = (v && *v) || (w && *w) ? Truth(true) : !v || !w ? Value() : Truth(false);
        }
        return v;
    }
    Value _And()
    {
        Value v = _Not();
        while (_bTake(L"and")) {
            const Value w = _Not();
            v = (v && !*v) || (w && !*w) ? Truth(false) : !v || !w ? Value() : Truth(true);
        }
        return v;
    }
    Value _Not()
    {
        if (!_bTake(L"not"))
            return _Compare();
        const Value v = _Not();
        return v ? Truth(!*v) : Value();
    }
    Value _Compare()
    {
        Value v = _Add();
        for (;;) {
            if (_bTake(L"is")) {
                const bool bNot = _bTake(L"not");
                if (!_bTake(L"null"))
                    m_bFailed = true;
                v = Truth(v.has_value() == bNot);
                continue;
            }
            static const wchar_t* const apsz[] = {L"=", L"<>", L"!=", L"<", L"<=", L">", L">="};
            int nOp = -1;
            for (int k = 0; k < 7 && nOp < 0; k++)
                if (_bTake(apsz[k]))
                    nOp = k;
            if (nOp < 0)
                return v;
            const Value w = _Add();
            if (!v || !w) {
                v = Value();
                continue;
            }
            const long long a = *v, b = *w;
            const bool ab[] = {a == b, a != b, a != b, a < b, a <= b, a > b, a >= b};
            v = Truth(ab[nOp]);
        }
    }
    Value _Add()
    {
        Value v = _Mul();
        for (;;) {
            const bool bPlus = _bTake(L"+");
            if (!bPlus && !_bTake(L"-"))
                return v;
            const Value w = _Mul();
            v = v && w ? Value(bPlus ? *v + *w : *v - *w) : Value();
        }
    }
    Value _Mul()
    {
        Value v = _Unary();
        while (_bTake(L"*")) {
            const Value w = _Unary();
            v = v && w ? Value(*v * *w) : Value();
        }
        return v;
    }
    Value _Unary()
    {
        if (_bTake(L"-")) {
            const Value v = _Unary();
            return v ? Value(-*v) : Value();
        }
        if (_bTake(L"(")) {
            const Value v = _Or();
            if (!_bTake(L")"))
                m_bFailed = true;
            return v;
        }
        if (m_i >= m_tab.size()) {
            m_bFailed = true;
            return Value();
        }
        const std::wstring& str = m_tab[m_i++];
        if (str == L"n")
            return m_n;
        if (str == L"id")
            return m_nId;
        if (str == L"null")
            return Value();
        if (!str.empty() && std::iswdigit(static_cast<wint_t>(str[0])) &&
            str.find_first_not_of(L"0123456789") == std::wstring::npos && str.size() < 10)
            return Value(std::stoll(str));
        m_bFailed = true;
        return Value();
    }

    std::vector<std::wstring> m_tab;
    size_t m_i = 0;
    bool m_bFailed = false;
    Value m_n;
    long long m_nId;
};

// The values of n the rows of t hold: NULL, and each side of every bound
// the computed items and the conditions compare with.
const Value kRowValues[] = {Value(), Value(-31), Value(-26), Value(-25), Value(-9), Value(-4), Value(-1), Value(0),
                            Value(1),  Value(2),   Value(3),   Value(5),   Value(6), Value(8),  Value(9), Value(12),
                            Value(13), Value(25),  Value(26),  Value(29),  Value(51)};

// The truth of a condition in each row; false when it cannot be read.
bool bRowsOf(const std::wstring& strCondition, std::vector<Value>* ptab)
{
    ptab->clear();
    long long nId = 0;
    for (const Value& n : kRowValues) {
        Value v;
        if (!CArithmetic(strCondition, n, nId++ % 31).bRead(&v))
            return false;
        ptab->push_back(v);
    }
    return true;
}

// The host's condition with each computed item's name in place, in
// parentheses: the query written by hand.
std::wstring ByHand(const std::wstring& strCondition, const std::vector<std::pair<std::wstring, std::wstring>>& tab)
{
    std::wstring s = strCondition;
    for (const auto& st : tab)
        for (size_t k = s.find(st.first); k != std::wstring::npos; k = s.find(st.first, k + 1)) {
            const size_t nEnd = k + st.first.size();
            if ((k > 0 && std::iswalnum(static_cast<wint_t>(s[k - 1]))) ||
                (nEnd < s.size() && std::iswalnum(static_cast<wint_t>(s[nEnd]))))
                continue;
            s.replace(k, st.first.size(), L"(" + st.second + L")");
        }
    return s;
}

// The condition of a text sent: from its first WHERE to its ORDER BY or
// LIMIT.
std::wstring SentCondition(const std::wstring& s)
{
    const size_t nWhere = s.find(L" WHERE ");
    if (nWhere == std::wstring::npos)
        return L"";
    size_t nEnd = s.size();
    for (const wchar_t* psz : {L" ORDER BY ", L" LIMIT "})
        nEnd = std::min(nEnd, s.find(psz, nWhere));
    return s.substr(nWhere + 7, nEnd - nWhere - 7);
}

// A query of the host's language, with the literals and values it holds.
class CQuery {
public:
    CQuery(FuzzedDataProvider& in, CHostQueryParametersValue& clValues) : m_in(in), m_clValues(clValues) {}

    std::wstring Build()
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            m_s = L"UPDATE t SET name = ";
            Literal();
            if (m_in.ConsumeBool())
                m_s += L", n = n -" + Signs() + L"1";
            Where();
            break;
        case 1:
            m_s = L"DELETE FROM t";
            Where();
            break;
        default:
            m_s = L"SELECT id";
            for (int i = m_in.ConsumeIntegralInRange<int>(0, 3); i > 0; i--)
                Item(i);
            m_s += L" FROM t";
            Where();
            if (m_in.ConsumeBool())
                m_s += m_in.ConsumeBool() ? L" ORDER BY n -" + Signs() + L"1" : std::wstring(L" ORDER BY id DESC");
            if (m_in.ConsumeBool())
                m_s += L" LIMIT " + std::to_wstring(m_in.ConsumeIntegralInRange<int>(1, 9));
            break;
        }
        return m_s;
    }
    std::vector<std::wstring> m_tabExpected;
    // The computed items (name, expression) and the condition as the host
    // wrote it, when it is one of numbers only.
    std::vector<std::pair<std::wstring, std::wstring>> m_tabComputed;
    std::wstring m_strCondition;
    bool m_bNumbers = true;

private:
    std::wstring Text() { return FuzzText<wchar_t>(m_in.ConsumeRandomLengthString(12), kAlphabet, 0x100); }
    // A minus sign, then blanks and another one.
    std::wstring Signs()
    {
        static const wchar_t* const s_apsz[] = {L"-", L"- ", L"-\t", L"-\r", L"-\n", L" -"};
        return s_apsz[m_in.ConsumeIntegralInRange<int>(0, 5)];
    }
    void Literal()
    {
        const std::wstring strValue = Text();
        m_tabExpected.push_back(strValue);
        m_s += L"'";
        for (wchar_t c : strValue)
            m_s += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
        m_s += L"'";
    }
    void Parameter()
    {
        const std::wstring strName = L"p" + std::to_wstring(m_nParameter++);
        const std::wstring strValue = Text();
        SetW(m_clValues.Value(strName), strValue.c_str());
        m_tabExpected.push_back(strValue);
        m_s += L"{" + strName + L"}";
    }
    // A name the host quotes, holding any character but its closing mark.
    std::wstring QuotedName(bool bBracket)
    {
        std::wstring s = Text();
        for (wchar_t& c : s)
            if (c == (bBracket ? L']' : L'"') || c == L'\n' || c == L'\r')
                c = L'x';
        return (bBracket ? L"[" : L"\"") + (s.empty() ? std::wstring(L"x") : s) + (bBracket ? L"]" : L"\"");
    }
    void Computed(const std::wstring& strName, const std::wstring& strExpression)
    {
        m_s += L", " + strExpression + L" AS " + strName;
        m_tabComputed.emplace_back(strName, strExpression);
    }
    void Item(int i)
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            m_s += L", name";
            break;
        case 1:
            Computed(L"m" + std::to_wstring(i), L"n -" + Signs() + L"1");
            break;
        case 2:
            Computed(L"c" + std::to_wstring(i), kComputed[m_in.ConsumeIntegralInRange<int>(0, kComputedCount - 1)]);
            break;
        default:
            m_s += L", CONCAT(name, ";
            Literal();
            m_s += L") AS " + QuotedName(m_in.ConsumeBool());
            break;
        }
    }
    void Where()
    {
        if (!m_in.ConsumeBool())
            return;
        m_s += L" WHERE ";
        const size_t nStart = m_s.size();
        Condition(0);
        m_strCondition = m_s.substr(nStart);
    }
    void Condition(int nDepth)
    {
        Term(nDepth);
        if (nDepth < 3 && m_in.ConsumeBool()) {
            m_s += m_in.ConsumeBool() ? L" AND " : L" OR ";
            Condition(nDepth + 1);
        }
    }
    void Term(int nDepth)
    {
        const int nTerm = m_in.ConsumeIntegralInRange<int>(0, 7);
        if (nTerm == 0 || nTerm == 1 || nTerm == 3 || nTerm == 4)
            m_bNumbers = false;
        switch (nTerm) {
        case 0:
            m_s += L"name = ";
            Literal();
            break;
        case 1:
            m_s += L"name <> ";
            Parameter();
            break;
        case 7:
            if (!m_tabComputed.empty()) {
                ComputedTerm();
                break;
            }
            m_s += L"id > 3";
            break;
        case 2:
            m_s += L"n -" + Signs() + L"1 > " + std::to_wstring(m_in.ConsumeIntegralInRange<int>(0, 30));
            break;
        case 3:
            Literal();
            m_s += L" <> ";
            Literal();
            break;
        case 4:
            // A subquery: its text is the host's too.
            m_s += L"id = (SELECT MAX(" + QuotedName(true) + L") FROM u WHERE " + QuotedName(false) + L" = 0 -" +
                   Signs() + L"1 AND ";
            Literal();
            m_s += L" <> ";
            Literal();
            m_s += m_in.ConsumeBool() ? L"\n)" : L")";
            break;
        case 5:
            if (nDepth < 3) {
                m_s += L"(";
                Condition(nDepth + 1);
                m_s += L")";
                break;
            }
            [[fallthrough]];
        default:
            m_s += L"id = " + std::to_wstring(m_in.ConsumeIntegralInRange<int>(0, 30));
            break;
        }
    }

    // A computed item named after a minus sign, under an operator, or as
    // a condition of its own.
    void ComputedTerm()
    {
        const std::wstring& strName =
            m_tabComputed[m_in.ConsumeIntegralInRange<size_t>(0, m_tabComputed.size() - 1)].first;
        const std::wstring strBound = std::to_wstring(m_in.ConsumeIntegralInRange<int>(-2, 30));
        switch (m_in.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            m_s += L"0 -" + Signs() + strName + L" > " + strBound;
            break;
        case 1:
            m_s += L"n -" + Signs() + strName + L" < " + strBound;
            break;
        case 2:
            m_s += strName + L" * 2 > " + strBound;
            break;
        case 3:
            m_s += L"NOT " + strName;
            break;
        default:
            m_s += strName;
            break;
        }
    }

    FuzzedDataProvider& m_in;
    CHostQueryParametersValue& m_clValues;
    std::wstring m_s;
    int m_nParameter = 0;
};

// The driver of hand-made tables t and u, made once.
CHandCatalogue& Catalogue()
{
    static CHandCatalogue* s_p = [] {
        BindValueMachine();
        CHandCatalogue* p = new CHandCatalogue;
        typedef CNAItemDescription CItem;
        p->pclAdd(L"t", L"t", {{L"id", NA_IT_I4, CItem::KF_PRIMARY | CItem::KF_UNIQUE, false},
                               {L"name", NA_IT_TEXTE, CItem::KF_DUPLICATES, true},
                               {L"n", NA_IT_I4, 0, true}});
        p->pclAdd(L"u", L"u", {{L"k", NA_IT_I4, CItem::KF_PRIMARY | CItem::KF_UNIQUE, false},
                               {L"tid", NA_IT_I4, 0, true}});
        return p;
    }();
    return *s_p;
}

// A query of every computed item over t, with the record of its items,
// for searches: made once.
struct SSearchQuery {
    CHostQueryParametersValue clValues;
    std::unique_ptr<CHostSQLParse> pParse;
    CMySQLKindConnection* pCnx = nullptr;
    CSQLParserInfo* pInfo = nullptr;
    CNADataSourceDescription* pDescription = nullptr;
    CNARecord* pRecord = nullptr;
};

SSearchQuery& SearchQuery()
{
    static SSearchQuery* s_p = [] {
        SSearchQuery* p = new SSearchQuery;
        CHandCatalogue& clHand = Catalogue();
        CNAError* pError = clHand.pDriver()->pclGetError();
        std::wstring s = L"SELECT id, n";
        for (int i = 0; i < kComputedCount; i++)
            s += L", " + std::wstring(kComputed[i]) + L" AS c" + std::to_wstring(i);
        p->pParse = CHostSQLParse::pParse((s + L" FROM t").c_str(), &clHand.m_clCatalogue, &p->clValues);
        FUZZ_CHECK(p->pParse != nullptr);
        for (int i = 0; i < kComputedCount; i++)
            p->pParse->SetItemType(2 + i, NA_IT_I4);
        p->pCnx = new CMySQLKindConnection(0);
        p->pCnx->AddRef();
        p->pInfo = new CSQLParserInfo(pError, p->pParse.get(), nullptr, 0);
        p->pInfo->AddRef();
        p->pDescription = clHand.pDriver()->pclAllocDataSourceDescription(p->pCnx, pError);
        p->pDescription->AddRef();
        p->pDescription->SetLogicalName(L"query");
        FUZZ_CHECK(p->pDescription->bCompleteDescription(p->pInfo) == 1);
        CQueryAccess* pAccess = new CQueryAccess(nullptr, p->pCnx, pError, p->pInfo);
        pAccess->AddRef();
        p->pRecord = new CNARecord(pError, pAccess);
        p->pRecord->AddRef();
        FUZZ_CHECK(p->pRecord->bInitRecord(p->pDescription, nullptr, p->pCnx) == 1);
        p->pInfo->SetRecord(p->pRecord);
        return p;
    }();
    return *s_p;
}

// One comparison of a search or a filter: NULL when bNull.
struct SBound {
    eNAOperator eOperator;
    bool bNull;
    int nValue;
};

// The condition a search (one bound) or a filter (a low and a high bound,
// both met) writes for a column of the query.
std::wstring SearchText(const wchar_t* pszColumn, const std::vector<SBound>& tabBound)
{
    SSearchQuery& q = SearchQuery();
    CNAError* pError = Catalogue().pDriver()->pclGetError();
    CNAColumn* pColumn = q.pRecord->pclGetColumnNoRef(pszColumn);
    FUZZ_CHECK(pColumn != nullptr);
    CNAExpression* pMaker = new CNAExpression(pError);
    pMaker->AddRef();
    CNAExpression* pTree = nullptr;
    for (const SBound& st : tabBound) {
        CAny v;
        if (st.bNull)
            SetNull(v, TQTYPE_I4);
        else
            SetAs<int>(v, TQTYPE_I4, st.nValue);
        CNAConvertVariant* pCell = CNADriver::s_pclDriver->pclGetNewVariant_NV_Any(pError, q.pCnx, pColumn, &v);
        FUZZ_CHECK(pCell != nullptr);
        pCell->AddRef();
        CNAExpression* pLeaf = pMaker->pclAllocExpression(st.eOperator, pColumn, pCell, 0);
        pCell->nRelease();
        pLeaf->AddRef();
        if (pTree != nullptr) {
            CNAExpression* pBoth = pMaker->pclAllocExpression(NAOP_AND, pTree, pLeaf, 0);
            pBoth->AddRef();
            pTree->nRelease();
            pLeaf->nRelease();
            pLeaf = pBoth;
        }
        pTree = pLeaf;
    }
    CNACommand* pCommand = new CNACommand(pError, q.pCnx);
    pCommand->AddRef();
    int nConstant = 0;
    FUZZ_CHECK(pTree->bGetSQL(pCommand, NAOP_NONE, nullptr, &nConstant, q.pRecord));
    const wchar_t* psz = pCommand->pszGetFormatedSQLW(CNACommand::PTC_ALL);
    FUZZ_CHECK(psz != nullptr);
    // A condition false for every row, true for every row or none at all
    // is folded away.
    const std::wstring s = nConstant == NAOP_FALSE ? L"0" : nConstant != 0 ? L"1" : psz;
    pCommand->nRelease();
    pTree->nRelease();
    pMaker->nRelease();
    return s;
}

// A search or a filter of a computed item finds the rows the same search
// or filter of a column holding its value finds, whichever end NULLs sort
// to.
void CheckSearch(FuzzedDataProvider& in)
{
    static const eNAOperator s_aeOperator[] = {NAOP_EQ, NAOP_GT, NAOP_LT, NAOP_GE, NAOP_LE, NAOP_NE};
    const int nItem = in.ConsumeIntegralInRange<int>(0, kComputedCount - 1);
    std::vector<SBound> tabBound;
    auto Bound = [&](eNAOperator eOperator) {
        const bool bNull = in.ConsumeIntegralInRange<int>(0, 7) == 0;
        tabBound.push_back({eOperator, bNull, in.ConsumeIntegralInRange<int>(-30, 30)});
    };
    if (in.ConsumeBool()) {
        Bound(s_aeOperator[in.ConsumeIntegralInRange<int>(0, 5)]);
    } else {
        Bound(NAOP_GE);
        Bound(NAOP_LE);
    }
    SearchQuery().pCnx->m_bNullFirst = in.ConsumeBool();
    const std::wstring strComputed = SearchText((L"c" + std::to_wstring(nItem)).c_str(), tabBound);
    const std::wstring strColumn = SearchText(L"n", tabBound);
    long long nId = 0;
    for (const Value& n : kRowValues) {
        Value vItem, vComputed, vColumn;
        FUZZ_CHECK(CArithmetic(kComputed[nItem], n, nId).bRead(&vItem));
        FUZZ_CHECK(CArithmetic(strComputed, n, nId).bRead(&vComputed));
        FUZZ_CHECK(CArithmetic(strColumn, vItem, nId).bRead(&vColumn));
        FUZZ_CHECK(vComputed == vColumn);
        nId++;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzBindHost();
    CHandCatalogue& clHand = Catalogue();
    CNAError* pError = clHand.pDriver()->pclGetError();
    FuzzedDataProvider in(data, size);
    CHostQueryParametersValue clValues;
    CQuery clQuery(in, clValues);
    const std::wstring strQuery = clQuery.Build();
    std::unique_ptr<CHostSQLParse> pParse(CHostSQLParse::pParse(strQuery.c_str(), &clHand.m_clCatalogue, &clValues));
    FUZZ_CHECK(pParse != nullptr);
    for (int bBackslash = 0; bBackslash < 2; bBackslash++) {
        CSessionConnection* pCnx = new CSessionConnection;
        pCnx->AddRef();
        pCnx->m_bBackslash = bBackslash;
        CSQLParserInfo* pInfo = new CSQLParserInfo(pError, pParse.get(), &clValues, 0);
        pInfo->AddRef();
        CNACommand* pCommand = new CNACommand(pError, pCnx);
        pCommand->AddRef();
        pError->Reset();
        FUZZ_CHECK(pCommand->bFormatCondition(pInfo, nullptr, 1, 0) && pCommand->bFormatEndOfQuery());
        const wchar_t* psz = pCommand->pszGetFormatedSQLW(CNACommand::PTC_ALL);
        FUZZ_CHECK(psz != nullptr);
        FUZZ_CHECK(SessionLiterals(pCnx, psz, bBackslash != 0) == clQuery.m_tabExpected);
        if (clQuery.m_bNumbers && !clQuery.m_strCondition.empty()) {
            std::vector<Value> tabByHand, tabSent;
            FUZZ_CHECK(bRowsOf(ByHand(clQuery.m_strCondition, clQuery.m_tabComputed), &tabByHand));
            FUZZ_CHECK(bRowsOf(SentCondition(psz), &tabSent));
            FUZZ_CHECK(tabByHand == tabSent);
        }
        pCommand->nRelease();
        pInfo->nRelease();
        pCnx->nRelease();
    }
    CheckSearch(in);
    return 0;
}
