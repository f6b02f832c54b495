// Search conditions, key searches and filters run on the private server:
// "SELECT id FROM t WHERE" each generated text, through the MySQL direct
// statement in both code-page modes and with NULL sorted first or last,
// returns exactly the rows the rule of the case selects, the rule written
// here over the rows the test inserted. Walks over a unique key and a
// unique composite key visit every row once, both ways.
#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/sql/NARecherche.h"
#include "access/statement/NARecord.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLStatementSQL.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/TestTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// ---- The rows ------------------------------------------------------------------------------

// A value: NULL, a number, or a text. In a row, dates are "YYYY-MM-DD",
// date-times "YYYY-MM-DD HH:MM:SS" and times "HH:MM:SS"; searched, they are
// written as the host writes them, "20230315".
struct SValue {
    bool bNull = false;
    bool bText = false;
    long long n = 0;
    std::wstring s;
};
SValue VN(long long n)
{
    SValue v;
    v.n = n;
    return v;
}
SValue VT(const std::wstring& s)
{
    SValue v;
    v.bText = true;
    v.s = s;
    return v;
}
SValue VNull(bool bText)
{
    SValue v;
    v.bNull = true;
    v.bText = bText;
    return v;
}
typedef SValue SCell;
const SCell Z = VNull(false);

enum eKind { K_INT, K_TEXT, K_WIDE, K_DATE, K_DATETIME, K_TIME, K_BOOL };

struct SColumn {
    const char* pszName;
    eKind eKindOf;
    bool bUniqueNotNull;
};

// id, u, d, s, w, dt, ts, tm, b, ca, cb, da, db
const SColumn kColumns[] = {
    {"id", K_INT, true},    {"u", K_INT, false},       {"d", K_INT, false},      {"s", K_TEXT, false},
    {"w", K_WIDE, false},   {"dt", K_DATE, false},     {"ts", K_DATETIME, false}, {"tm", K_TIME, false},
    {"b", K_BOOL, false},   {"ca", K_INT, false},      {"cb", K_TEXT, false},    {"da", K_INT, false},
    {"db", K_INT, false},
};
const int kNbColumns = sizeof(kColumns) / sizeof(kColumns[0]);

typedef std::vector<SCell> Row;

std::vector<Row> Rows_()
{
    // Texts with quotes, wildcards, the backslash, the escape character,
    // letters outside ASCII; duplicates, NULLs, zeros and empty texts.
    const wchar_t* apsz[] = {L"abc", L"ab", L"", nullptr, L"a'b", L"50%", L"50%x", L"a_b", L"aXb",
                             L"a\\b", L"x!y", L"!x", L"\u00e9t\u00e9", L"\u00dcber", L"ab%", L"abcd"};
    const wchar_t* apszDate[] = {L"2023-03-15", L"2023-01-01", L"2022-12-31", nullptr, L"2024-02-29", L"2023-03-01",
                                 L"2023-04-01", L"2023-12-31", L"2024-01-01", L"2023-03-15", nullptr,
                                 L"2023-03-31", L"2021-06-30", L"2023-02-28", L"2023-03-02", L"2023-11-30"};
    const wchar_t* apszStamp[] = {L"2023-03-15 10:20:30", L"2023-01-01 00:00:00", L"2022-12-31 23:59:59", nullptr,
                                  L"2024-02-29 12:00:00", L"2023-03-01 00:00:01", L"2023-04-01 00:00:00",
                                  L"2023-12-31 23:59:59", L"2024-01-01 00:00:00", L"2023-03-15 10:20:30", nullptr,
                                  L"2023-03-15 00:00:00", L"2023-03-16 00:00:00", L"2023-03-14 23:59:59",
                                  L"2023-06-15 08:00:00", L"2023-03-15 23:59:59"};
    const wchar_t* apszTime[] = {L"10:20:30", L"00:00:00", L"23:59:59", nullptr,    L"12:00:00", L"12:30:00",
                                 L"12:59:59", L"13:00:00", L"11:59:59", L"12:30:00", nullptr,  L"01:02:03",
                                 L"12:31:00", L"12:29:59", L"00:00:01", L"10:20:30"};
    const int au[] = {10, INT_MIN, 0, INT_MIN, -3, 7, 8, 1, 2, 3, 4, INT_MIN, 5, 6, 9, 11};
    const int ad[] = {5, 5, 0, INT_MIN, -1, 12, 5, 0, INT_MIN, 7, 12, 5, -1, 100, 0, 3};
    const int ab[] = {1, 0, INT_MIN, INT_MIN, 1, 0, 1, 1, 0, INT_MIN, 0, 1, 1, 0, INT_MIN, 1};
    const int aca[] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 5, 5, 5};
    const wchar_t* acb[] = {L"a", L"b", L"", L"a", L"ab", L"b", L"a", L"a'b", L"b", L"ba", L"", L"z", L"\u00e9", L"a", L"a_", L"a%"};
    const int ada[] = {1, 1, 1, 2, 2, 3, 3, 3, 4, 4, 5, 5, 5, 5, 6, 7};
    const int adb[] = {1, 2, 3, 1, 5, 0, 4, 9, 2, -2, 1, 2, 3, 8, 1, 0};
    std::vector<Row> tab;
    for (int i = 0; i < 16; i++) {
        auto Opt = [](int n) { return n == INT_MIN ? Z : VN(n); };
        auto Txt = [](const wchar_t* psz) { return psz == nullptr ? Z : VT(psz); };
        tab.push_back({VN(i + 1), Opt(au[i]), Opt(ad[i]), Txt(apsz[i]), Txt(apsz[i]), Txt(apszDate[i]),
                       Txt(apszStamp[i]), Txt(apszTime[i]), Opt(ab[i]), VN(aca[i]), VT(acb[i]), VN(ada[i]),
                       VN(adb[i])});
    }
    return tab;
}

const std::vector<Row>& Data()
{
    static const std::vector<Row> s = Rows_();
    return s;
}

int Index(const char* pszName)
{
    for (int i = 0; i < kNbColumns; i++)
        if (std::strcmp(kColumns[i].pszName, pszName) == 0)
            return i;
    return -1;
}

std::string Hex(const std::wstring& s)
{
    std::string strUTF8 = UTF8Of(s);
    return "CONVERT(X'" + HexaOf(strUTF8) + "' USING utf8mb4)";
}

// ---- The rules --------------------------------------------------------------------------------

// The digits of a date, date-time or time as the host compares them.
std::wstring Digits(const std::wstring& s)
{
    std::wstring r;
    for (wchar_t c : s)
        if (c >= L'0' && c <= L'9')
            r += c;
    return r;
}

// A partial date text completed to the first instant it covers.
std::wstring Lowest(eKind e, const std::wstring& s)
{
    const std::wstring strFull = e == K_TIME ? L"000000" : L"00000101000000";
    std::wstring r = s.size() < strFull.size() ? s + strFull.substr(s.size()) : s;
    // A month or day left at 0 is the first one.
    if (e != K_TIME && r.size() >= 8) {
        if (r.compare(4, 2, L"00") == 0)
            r.replace(4, 2, L"01");
        if (r.compare(6, 2, L"00") == 0)
            r.replace(6, 2, L"01");
    }
    return e == K_DATE ? r.substr(0, 8) : r;
}

// The first instant after every one a partial date covers: the next year,
// month or day; "" for another length.
std::wstring AfterPrefix(eKind e, const std::wstring& s)
{
    if (e == K_TIME || (s.size() != 4 && s.size() != 6 && s.size() != 8))
        return L"";
    int y = std::stoi(s.substr(0, 4));
    int m = s.size() >= 6 ? std::stoi(s.substr(4, 2)) : 12;
    int d = s.size() >= 8 ? std::stoi(s.substr(6, 2)) : 0;
    const bool bLeap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const int anDays[] = {31, bLeap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (s.size() == 8 && d < anDays[m - 1]) {
        d++;
    } else if (s.size() >= 6 && m < 12) {
        m++;
        d = 1;
    } else {
        y++;
        m = 1;
        d = 1;
    }
    wchar_t sz[16];
    swprintf(sz, 16, L"%04d%02d%02d", y, m, d);
    return sz;
}

bool StartsWith(const std::wstring& s, const std::wstring& p)
{
    return s.compare(0, p.size(), p) == 0;
}

int Cmp(const std::wstring& a, const std::wstring& b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool Compare(eNAOperator e, int n)
{
    switch (e) {
    case NAOP_EQ: return n == 0;
    case NAOP_NE: return n != 0;
    case NAOP_LT: return n < 0;
    case NAOP_LE: return n <= 0;
    case NAOP_GT: return n > 0;
    case NAOP_GE: return n >= 0;
    default: return false;
    }
}

// Which rows a leaf selects: value v compared by e, generic or not, with
// the filter flags; NULL sorted first or not.
struct SLeaf {
    int nColumn;
    eNAOperator e;
    SValue v;
    bool bGeneric = false;
    bool bLower = false;
    bool bUpper = false;
    bool bEmptyExact = false;
};

// A value the host engine keeps as NULL: an empty text or a zero.
bool CouldBeNull(const SValue& v)
{
    return !v.bNull && (v.bText ? v.s.empty() : v.n == 0);
}

// The leaf's rule, or nothing when it holds for no row (*pbNone) or every
// row (*pbAll).
std::function<bool(const Row&)> Rule(SLeaf l, bool bNullFirst)
{
    const SColumn& col = kColumns[l.nColumn];
    const int i = l.nColumn;
    const eKind k = col.eKindOf;
    auto All = [](const Row&) { return true; };
    auto None = [](const Row&) { return false; };
    auto IsNull = [i](const Row& r) { return r[i].bNull; };
    auto NotNull = [i](const Row& r) { return !r[i].bNull; };
    if (l.bEmptyExact && l.bGeneric && (k == K_TEXT || k == K_WIDE) && l.v.bText && l.v.s.empty())
        l.bGeneric = false;
    // Comparisons every row meets write nothing.
    if (l.v.bText && (l.e == NAOP_GE || l.e == NAOP_LE)) {
        if (l.v.bNull)
            return (l.e == NAOP_GE) == bNullFirst ? std::function<bool(const Row&)>(All) : nullptr;
        if (l.e == NAOP_GE ? l.v.s.empty() : (!l.v.s.empty() && l.v.s[0] >= (k == K_WIDE ? 0xFFFF : 0xFF)))
            return All;
    }
    // A date text without a date is no value.
    if ((k == K_DATE || k == K_DATETIME) && l.v.bText && l.v.s.empty())
        l.v.bNull = true;
    if (k == K_BOOL && !l.v.bNull && l.e >= NAOP_GT && l.e <= NAOP_LE) {
        const bool b = l.v.n != 0;
        switch (l.e) {
        case NAOP_GT: if (b) return None; l.e = NAOP_NE; break;
        case NAOP_LT: if (!b) return None; l.e = NAOP_NE; break;
        case NAOP_GE: if (!b) return All; l.e = NAOP_EQ; break;
        default: if (b) return All; l.e = NAOP_EQ; break;
        }
    }
    // The NULL forms.
    if (l.v.bNull || l.e == NAOP_ISNULL || l.e == NAOP_ISNOTNULL) {
        switch (l.e) {
        case NAOP_GE:
        case NAOP_LE: return All;
        case NAOP_GT: return bNullFirst ? std::function<bool(const Row&)>(NotNull) : None;
        case NAOP_LT: return bNullFirst ? std::function<bool(const Row&)>(None) : NotNull;
        case NAOP_NE:
        case NAOP_ISNOTNULL: return NotNull;
        default: return IsNull;
        }
    }
    // NULL rows let through beside the comparison.
    bool bAddNull;
    if (col.bUniqueNotNull)
        bAddNull = false;
    else if (l.bLower || l.bUpper)
        bAddNull = l.bLower && (l.e == NAOP_EQ || l.e == NAOP_GE) && CouldBeNull(l.v);
    else if (l.e == NAOP_LT || l.e == NAOP_LE)
        bAddNull = bNullFirst && !(l.e == NAOP_LT && CouldBeNull(l.v));
    else if (l.e == NAOP_GT || l.e == NAOP_GE)
        bAddNull = !bNullFirst;
    else
        bAddNull = false;
    const bool bEqNe = l.e == NAOP_EQ || l.e == NAOP_NE;
    std::function<bool(const SCell&)> fnCmp;
    const SValue v = l.v;
    const eNAOperator e = l.e;
    if (k == K_TEXT || k == K_WIDE) {
        if (l.bGeneric && bEqNe && !(v.s.empty() && k == K_TEXT && e == NAOP_NE))
            fnCmp = [=](const SCell& c) { return StartsWith(c.s, v.s) == (e == NAOP_EQ); };
        else
            fnCmp = [=](const SCell& c) { return Compare(e, Cmp(c.s, v.s)); };
        if (v.s.empty() && k == K_TEXT && e != NAOP_NE && l.bGeneric && e == NAOP_EQ)
            fnCmp = [](const SCell&) { return true; };
    } else if (k == K_DATE || k == K_DATETIME) {
        const std::wstring strLow = Lowest(k, v.s);
        const size_t nComplete = k == K_DATE ? 8 : 17;
        const std::wstring strAfter = AfterPrefix(k, v.s);
        if (l.bGeneric && bEqNe && !v.s.empty() && v.s.size() < nComplete && !strAfter.empty()) {
            const std::wstring strHigh = Lowest(k, strAfter);
            fnCmp = [=](const SCell& c) {
                const std::wstring d = Digits(c.s).substr(0, strLow.size());
                return (d >= strLow && d < strHigh) == (e == NAOP_EQ);
            };
            bAddNull = false;
        } else {
            fnCmp = [=](const SCell& c) { return Compare(e, Cmp(Digits(c.s).substr(0, strLow.size()), strLow)); };
        }
    } else if (k == K_TIME) {
        // Compared as the host's text HHMMSS; a prefix through LIKE.
        if (l.bGeneric && bEqNe)
            fnCmp = [=](const SCell& c) { return StartsWith(Digits(c.s), v.s) == (e == NAOP_EQ); };
        else
            fnCmp = [=](const SCell& c) { return Compare(e, Cmp(Digits(c.s), v.s)); };
    } else {
        fnCmp = [=](const SCell& c) { return Compare(e, c.n < v.n ? -1 : (c.n > v.n ? 1 : 0)); };
    }
    return [=](const Row& r) { return r[i].bNull ? bAddNull : fnCmp(r[i]); };
}

typedef std::function<bool(const Row&)> Pred;

Pred And(Pred a, Pred b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return [=](const Row& r) { return a(r) && b(r); };
}

Pred Or(Pred a, Pred b)
{
    return [=](const Row& r) { return a(r) || b(r); };
}

// NOT of a comparison: NULL rows stay out.
Pred NotOf(int nColumn, Pred a)
{
    return [=](const Row& r) { return !r[static_cast<size_t>(nColumn)].bNull && !a(r); };
}

// ---- The fixture ------------------------------------------------------------------------------

eNA_PARSEDIRECTION Dir(int n)
{
    return static_cast<eNA_PARSEDIRECTION>(n);
}

// The MySQL connection with NULL values sorted last, for the other rule.
class CNullLastConnection : public CMySQLConnection {
public:
    using CMySQLConnection::CMySQLConnection;
    int bNULLBeforeNotNULL() override { return 0; }
};

std::string Narrow8(const wchar_t* psz)
{
    std::string s;
    for (; psz != nullptr && *psz != 0; psz++)
        s += *psz < 128 ? static_cast<char>(*psz) : '?';
    return s;
}

class SearchServer : public ServerTest {
protected:
    SearchServer() : ServerTest("zt_search") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        m_pDriver.reset(new CCountingDriver);
        m_pError = new CNAError;
        m_pError->AddRef();
        ASSERT_TRUE(Admin("CREATE TABLE t (id INT NOT NULL PRIMARY KEY, u INT NULL UNIQUE, d INT NULL, "
                          "s VARCHAR(20) COLLATE utf8mb4_bin NULL, w VARCHAR(20) COLLATE utf8mb4_bin NULL, "
                          "dt DATE NULL, ts DATETIME NULL, tm TIME NULL, b TINYINT(1) NULL, ca INT NOT NULL, "
                          "cb VARCHAR(10) COLLATE utf8mb4_bin NOT NULL, da INT NOT NULL, db INT NOT NULL, "
                          "KEY(d), KEY(s), UNIQUE KEY(ca, cb), UNIQUE KEY(da, db)) ENGINE=InnoDB"));
        for (const Row& r : Data()) {
            std::string strSQL = "INSERT INTO t VALUES (";
            for (int i = 0; i < kNbColumns; i++) {
                strSQL += i > 0 ? "," : "";
                const SCell& c = r[static_cast<size_t>(i)];
                if (c.bNull)
                    strSQL += "NULL";
                else if (kColumns[i].eKindOf == K_INT || kColumns[i].eKindOf == K_BOOL)
                    strSQL += std::to_string(c.n);
                else
                    strSQL += Hex(c.s);
            }
            ASSERT_TRUE(Admin(strSQL + ")"));
        }
    }
    void TearDown() override
    {
        m_tabRecord.clear();
        m_tabTable.clear();
        for (CNAConnectionDescription* p : m_tabCnx) {
            p->bClose(m_pError);
            p->nRelease();
        }
        m_tabStatement.clear();
        if (m_pError != nullptr)
            m_pError->nRelease();
        m_pDriver.reset();
        EXPECT_TRUE(Live() == SLive()) << Live().nCells << " cells, " << Live().nParameters << " parameters, "
                                       << Live().nExpressions << " nodes, " << Live().nSearches << " searches";
        ServerTest::TearDown();
    }

    // One of the four ways: UTF-8 or 1252, NULL sorted first or last.
    struct SWay {
        CNAConnectionDescription* pCnx;
        CNARecord* pRecord;
        CTestTable* pTable;
        std::shared_ptr<CMySQLStatementSQL> pStatement;
        bool bNullFirst;
        std::string strName;
    };
    std::vector<SWay> Ways()
    {
        std::vector<SWay> tab;
        for (int bUnicode = 1; bUnicode >= 0; bUnicode--) {
            for (int bNullFirst = 1; bNullFirst >= 0; bNullFirst--) {
                const std::wstring strOptions = bUnicode ? L"" : L"ZT Unicode Support=0;";
                CMySQLConnection* pCnx = bNullFirst ? new CMySQLConnection(L"search", Host(strOptions))
                                                    : new CNullLastConnection(L"search", Host(strOptions));
                pCnx->AddRef();
                m_tabCnx.push_back(pCnx);
                EXPECT_EQ(pCnx->bOpen(m_pError), 1) << Narrow8(m_pError->pszGetError());
                SWay w;
                w.pCnx = pCnx;
                w.bNullFirst = bNullFirst != 0;
                w.strName = std::string(bUnicode ? "UTF-8" : "1252") + (bNullFirst ? ", NULL first" : ", NULL last");
                w.pTable = Table(pCnx);
                w.pRecord = w.pTable->NewRecord(m_pError, pCnx);
                EXPECT_NE(w.pRecord, nullptr);
                m_tabRecord.emplace_back(w.pRecord, [](CNARecord* p) { p->nRelease(); });
                CMySQLStatementSQL* pStatement = new CMySQLStatementSQL(pCnx, m_pError);
                pStatement->AddRef();
                w.pStatement.reset(pStatement, [](CMySQLStatementSQL* p) { p->nRelease(); });
                m_tabStatement.push_back(w.pStatement);
                tab.push_back(w);
            }
        }
        return tab;
    }
    CTestTable* Table(CNAConnectionDescription* pCnx)
    {
        m_tabTable.emplace_back(new CTestTable(m_pError, pCnx, L"t"));
        CTestTable& t = *m_tabTable.back();
        t.Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        t.Add(L"u", NA_IT_I4, 4, CTestTable::UNIQUE, true);
        t.Add(L"d", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        t.Add(L"s", NA_IT_TEXTE, 21, CTestTable::DUPLICATES, true);
        t.Add(L"w", NA_IT_UNICODE, 42, CTestTable::DUPLICATES, true);
        t.Add(L"dt", NA_IT_DATE8, 8, CTestTable::DUPLICATES, true);
        t.Add(L"ts", NA_IT_DATETIME, 8, CTestTable::DUPLICATES, true);
        t.Add(L"tm", NA_IT_HEURE, 7, CTestTable::DUPLICATES, true);
        t.Add(L"b", NA_IT_BOOLEEN, 1, CTestTable::DUPLICATES, true);
        t.Add(L"ca", NA_IT_I4, 4, 0, false);
        t.Add(L"cb", NA_IT_TEXTE, 11, 0, false);
        t.Add(L"da", NA_IT_I4, 4, 0, false);
        t.Add(L"db", NA_IT_I4, 4, 0, false);
        t.AddComposite(L"ck", CTestTable::UNIQUE, {L"ca", L"cb"}, false);
        AddDescendingKey(t, L"dk", L"da", L"db", false);
        return &t;
    }
    // The ids the WHERE text of the command selects, in order.
    std::vector<long long> Run(const SWay& w, CNACommand* pWhere, const char* pszTail = " ORDER BY id")
    {
        CNACommand cmd(m_pError, w.pCnx);
        cmd.bComplete(L"SELECT id FROM t", static_cast<unsigned int>(-1));
        if (!pWhere->bIsEmpty()) {
            cmd.bComplete(L" WHERE ", static_cast<unsigned int>(-1));
            cmd.bAdd(pWhere, CNACommand::ADDMODE_SHARE);
        }
        const std::string strTail(pszTail);
        cmd.bComplete(std::wstring(strTail.begin(), strTail.end()).c_str(), static_cast<unsigned int>(-1));
        const char* psz = cmd.pszGetFormatedSQLA(CNACommand::PTC_ALL);
        std::vector<long long> tab;
        if (psz == nullptr) {
            ADD_FAILURE() << "no text: " << Narrow8(m_pError->pszGetError());
            return tab;
        }
        m_strLast = psz;
        CMySQLStatementSQL* pStatement = w.pStatement.get();
        if (!pStatement->bExecuteDirect(psz, 0)) {
            ADD_FAILURE() << Narrow8(m_pError->pszGetError()) << "\n" << psz;
            return tab;
        }
        while (pStatement->bFetch(0) && !pStatement->bEndOfData()) {
            CAny v;
            pStatement->bGetValue(&v, 0, 0);
            EXPECT_LE(v.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99);
            tab.push_back(std::wcstoll(TextW(v).c_str(), nullptr, 10));
        }
        return tab;
    }
    static std::vector<long long> Expected(const Pred& fn)
    {
        std::vector<long long> tab;
        for (const Row& r : Data())
            if (!fn || fn(r))
                tab.push_back(r[0].n);
        return tab;
    }
    // The search, then the forward and the backward condition, each against
    // its rule.
    void CheckParts(const SWay& w, CNARecherche* p, const std::vector<Pred>& tabRule, const std::string& strWhat)
    {
        for (int nPart = 0; nPart < 3; nPart++) {
            if (nPart > 0)
                p->bSetContinueParcours(Dir(nPart - 1));
            CNACommand cmd(m_pError, w.pCnx);
            ASSERT_EQ(p->bGetSQL(&cmd, nullptr, w.pRecord), 1);
            EXPECT_EQ(Run(w, &cmd), Expected(tabRule[static_cast<size_t>(nPart)]))
                << strWhat << " part " << nPart << "\n" << m_strLast;
            if (nPart > 0)
                p->bSetContinueParcours(Dir(nPart - 1));
        }
    }
    INAItemDescription* Item(const SWay& w, const char* pszName)
    {
        return (*w.pTable)->pclNAGetItemNoRef(std::wstring(pszName, pszName + std::strlen(pszName)).c_str(), 0);
    }
    // A host value of the column's kind.
    static void HostValue(CAny& a, eKind k, const SValue& v)
    {
        if (v.bNull) {
            SetNull(a, v.bText ? (k == K_WIDE ? TQTYPE_DSTRW : TQTYPE_DSTRA) : (k == K_BOOL ? TQTYPE_BOOL : TQTYPE_I4));
            return;
        }
        if (!v.bText) {
            SetAs<int>(a, k == K_BOOL ? TQTYPE_BOOL : TQTYPE_I4, static_cast<int>(v.n));
            return;
        }
        if (k == K_WIDE) {
            SetTextW(a, v.s);
            return;
        }
        std::string s;
        for (wchar_t c : v.s)
            s += static_cast<char>(c); // the host's code page, 1252
        SetText8(a, s);
    }
    std::string Show(const SValue& v)
    {
        if (v.bNull)
            return "NULL";
        return v.bText ? "'" + Narrow8(v.s.c_str()) + "'" : std::to_string(v.n);
    }

    std::unique_ptr<CCountingDriver> m_pDriver;
    CNAError* m_pError = nullptr;
    std::vector<CNAConnectionDescription*> m_tabCnx;
    std::vector<std::unique_ptr<CTestTable>> m_tabTable;
    std::vector<std::shared_ptr<CNARecord>> m_tabRecord;
    std::vector<std::shared_ptr<CMySQLStatementSQL>> m_tabStatement;
    std::string m_strLast;
};

// Values tried on each column.
std::vector<SValue> ValuesOf(eKind k)
{
    switch (k) {
    case K_INT: return {VNull(false), VN(0), VN(5), VN(-1), VN(100)};
    case K_BOOL: return {VNull(false), VN(0), VN(1)};
    case K_TEXT:
    case K_WIDE:
        return {VNull(true), VT(L""), VT(L"ab"), VT(L"a'b"), VT(L"50%"), VT(L"a_b"), VT(L"a\\b"), VT(L"!x"),
                VT(L"x!"), VT(L"\u00e9"), VT(L"\u00dcber")};
    case K_DATE: return {VNull(true), VT(L""), VT(L"2023"), VT(L"202303"), VT(L"20230315"), VT(L"2022")};
    case K_DATETIME: return {VT(L"2023"), VT(L"20230315"), VT(L"202312")};
    case K_TIME: return {VT(L"12"), VT(L"1230"), VT(L"123000"), VT(L"00")};
    }
    return {};
}

} // namespace

TEST_F(SearchServer, EveryOperatorSelectsTheRowsOfItsRule)
{
    const eNAOperator aeOperator[] = {NAOP_EQ, NAOP_NE, NAOP_LT, NAOP_LE, NAOP_GT, NAOP_GE, NAOP_ISNULL,
                                      NAOP_ISNOTNULL};
    const char* apszColumn[] = {"id", "u", "d", "s", "w", "dt", "ts", "tm", "b"};
    int nQueries = 0;
    for (const SWay& w : Ways()) {
        for (const char* pszColumn : apszColumn) {
            const int nColumn = Index(pszColumn);
            const eKind k = kColumns[nColumn].eKindOf;
            for (const SValue& v : ValuesOf(k)) {
                for (eNAOperator e : aeOperator) {
                    for (int bGeneric = 0; bGeneric < 2; bGeneric++) {
                        CCountedSearch* p = new CCountedSearch(m_pError, w.pCnx);
                        p->AddRef();
                        CAny a;
                        HostValue(a, k, v);
                        ASSERT_EQ(p->bAddExpression(w.pRecord, Item(w, pszColumn), e, &a, bGeneric, NAOP_AND, 0), 1)
                            << pszColumn << " op " << e << " " << Show(v) << " " << Narrow8(m_pError->pszGetError());
                        CNACommand cmd(m_pError, w.pCnx);
                        ASSERT_EQ(p->bGetSQL(&cmd, nullptr, w.pRecord), 1) << Narrow8(m_pError->pszGetError());
                        SLeaf l;
                        l.nColumn = nColumn;
                        l.e = e;
                        l.v = v;
                        l.bGeneric = bGeneric != 0;
                        const std::vector<long long> tabGot = Run(w, &cmd);
                        EXPECT_EQ(tabGot, Expected(Rule(l, w.bNullFirst)))
                            << w.strName << ": " << pszColumn << " op " << e << (bGeneric ? " generic " : " ")
                            << Show(v) << "\n" << m_strLast;
                        nQueries++;
                        p->nRelease();
                    }
                }
            }
        }
    }
    EXPECT_GT(nQueries, 1000);
}

TEST_F(SearchServer, SearchesAndTheirContinuations)
{
    struct Case {
        const char* pszColumn;
        SValue v;
        bool bGeneric;
    };
    std::vector<Case> cases;
    for (const char* psz : {"id", "u", "d", "s", "w", "dt", "b"}) {
        for (const SValue& v : ValuesOf(kColumns[Index(psz)].eKindOf)) {
            cases.push_back({psz, v, false});
            if (v.bText)
                cases.push_back({psz, v, true});
        }
    }
    for (const SWay& w : Ways()) {
        for (const Case& c : cases) {
            const int nColumn = Index(c.pszColumn);
            const eKind k = kColumns[nColumn].eKindOf;
            CCountedSearch* p = new CCountedSearch(m_pError, w.pCnx);
            p->AddRef();
            CAny a;
            HostValue(a, k, c.v);
            ASSERT_EQ(p->bSetRecherche(w.pRecord, Item(w, c.pszColumn), &a, Dir(0), !c.bGeneric, 0), 1);
            SLeaf l;
            l.nColumn = nColumn;
            l.e = NAOP_EQ;
            l.v = c.v;
            l.bGeneric = c.bGeneric;
            // Past the rows found, and before them.
            SLeaf lNext = l;
            lNext.e = NAOP_GT;
            SLeaf lBefore = l;
            lBefore.e = NAOP_LT;
            Pred fnNext = Rule(lNext, w.bNullFirst);
            const bool bPrefix =
                c.bGeneric && (k == K_TEXT || k == K_WIDE || k == K_DATE || k == K_DATETIME) && !c.v.bNull;
            if (bPrefix)
                fnNext = And(NotOf(nColumn, Rule(l, w.bNullFirst)), fnNext);
            std::ostringstream os;
            os << w.strName << ": " << c.pszColumn << (c.bGeneric ? " generic " : " ") << Show(c.v);
            CheckParts(w, p, {Rule(l, w.bNullFirst), fnNext, Rule(lBefore, w.bNullFirst)}, os.str());
            p->nRelease();
        }
    }
}

TEST_F(SearchServer, CompositeKeysAndDescendingComponents)
{
    // (ca, cb) ascending; (da, db) with db descending.
    struct Case {
        const char* pszKey;
        int n;
        std::wstring s; // cb's text, or db's value in decimal
        bool bGeneric;
    } cases[] = {
        {"ck", 3, L"a", false}, {"ck", 3, L"a", true}, {"ck", 2, L"", false}, {"ck", 4, L"\u00e9", false},
        {"ck", 1, L"b", false}, {"ck", 0, L"", true},  {"dk", 3, L"4", false}, {"dk", 5, L"2", false},
        {"dk", 1, L"0", false},
    };
    for (const SWay& w : Ways()) {
        for (const Case& c : cases) {
            const bool bCK = c.pszKey[0] == 'c';
            std::vector<unsigned char> aby(bCK ? 14 : 8, 0);
            std::memcpy(aby.data(), &c.n, 4);
            if (bCK) {
                for (size_t i = 0; i < c.s.size(); i++)
                    aby[4 + i] = static_cast<unsigned char>(c.s[i]);
            } else {
                const int n = std::stoi(c.s);
                std::memcpy(aby.data() + 4, &n, 4);
            }
            CAny a;
            a.__SetType(TQTYPE_BIN, 0);
            a.pclGetTraitement()->SetValue(aby.data(), static_cast<unsigned int>(aby.size()));
            CCountedSearch* p = new CCountedSearch(m_pError, w.pCnx);
            p->AddRef();
            ASSERT_EQ(p->bSetRecherche(w.pRecord, Item(w, c.pszKey), &a, Dir(0), !c.bGeneric, 0), 1);
            const int i0 = Index(bCK ? "ca" : "da");
            const int i1 = i0 + 1;
            const SValue v1 = bCK ? VT(c.s) : VN(std::stoi(c.s));
            auto Leaf = [&](int nColumn, eNAOperator e, const SValue& v, bool bGeneric) {
                SLeaf l;
                l.nColumn = nColumn;
                l.e = e;
                l.v = v;
                l.bGeneric = bGeneric;
                l.bEmptyExact = true;
                return Rule(l, w.bNullFirst);
            };
            // db is sorted descending: its comparisons turn over.
            auto Second = [&](eNAOperator e) { return bCK ? e : CNAExpression::s_eInvertOperator(e); };
            const Pred fnEq = And(Leaf(i0, NAOP_EQ, VN(c.n), false), Leaf(i1, NAOP_EQ, v1, c.bGeneric));
            Pred fnLastNext = Leaf(i1, Second(NAOP_GT), v1, false);
            if (c.bGeneric)
                fnLastNext = And(fnLastNext, Leaf(i1, NAOP_NE, v1, true));
            const Pred fnNext = Or(Leaf(i0, NAOP_GT, VN(c.n), false),
                                   And(Leaf(i0, NAOP_EQ, VN(c.n), false), fnLastNext));
            const Pred fnBefore = Or(Leaf(i0, NAOP_LT, VN(c.n), false),
                                     And(Leaf(i0, NAOP_EQ, VN(c.n), false), Leaf(i1, Second(NAOP_LT), v1, c.bGeneric)));
            std::ostringstream os;
            os << w.strName << ": " << c.pszKey << " " << c.n << " '" << Narrow8(c.s.c_str()) << "'";
            CheckParts(w, p, {fnEq, fnNext, fnBefore}, os.str());
            p->nRelease();
        }
    }
}

TEST_F(SearchServer, FiltersWithEveryInclusionNullsAndMarkers)
{
    struct Bound {
        bool bGiven;
        SValue v;
        bool bMarker; // the engine's largest (upper) or smallest (lower) value
    };
    struct Case {
        const char* pszColumn;
        Bound lo;
        Bound hi;
    };
    const Bound none{false, SValue(), false};
    std::vector<Case> cases = {
        {"d", {true, VN(0), false}, {true, VN(5), false}},
        {"d", {true, VN(-1), false}, {true, VN(12), false}},
        {"d", {true, VN(5), false}, {true, VN(5), false}},
        {"d", {true, VN(INT_MIN), true}, {true, VN(INT_MAX), true}},
        {"d", {true, VNull(false), false}, {true, VN(5), false}},
        {"d", {true, VN(3), false}, {true, VNull(false), false}},
        {"d", {true, VNull(false), false}, {true, VNull(false), false}},
        {"d", {true, VN(5), false}, none},
        {"d", none, {true, VN(0), false}},
        {"s", {true, VT(L"a"), false}, {true, VT(L"ab"), false}},
        {"s", {true, VT(L""), false}, {true, VT(L"a'b"), false}},
        {"s", {true, VT(L"ab"), false}, {true, VT(L"ab"), false}},
        {"s", {true, VT(L"50%"), false}, {true, VT(L"a_b"), true}},
        {"s", {true, VT(L"a"), false}, {true, VT(L"a"), true}},
        {"s", {true, VT(L"!"), false}, {true, VT(L"x!y"), false}},
        {"dt", {true, VT(L"2023"), false}, {true, VT(L"20231231"), false}},
    };
    for (const SWay& w : Ways()) {
        for (const Case& c : cases) {
            const int nColumn = Index(c.pszColumn);
            const eKind k = kColumns[nColumn].eKindOf;
            for (int nIn = 0; nIn < 4; nIn++) {
                const bool bLoIn = (nIn & 1) != 0;
                const bool bHiIn = (nIn & 2) != 0;
                CAny lo;
                CAny hi;
                SValue vLo = c.lo.v;
                SValue vHi = c.hi.v;
                if (c.lo.bGiven)
                    HostValue(lo, k, vLo);
                if (c.hi.bGiven)
                    HostValue(hi, k, vHi);
                if (c.hi.bMarker && k == K_TEXT) {
                    // A text ending with the engine's largest byte.
                    std::string s;
                    for (wchar_t ch : vHi.s)
                        s += static_cast<char>(ch);
                    SetText8(hi, s + "\xff", TQTYPE_PSTRA);
                }
                CCountedFilter* f = new CCountedFilter(m_pError, w.pCnx);
                f->AddRef();
                ASSERT_EQ(f->bSetFilter(w.pRecord, Item(w, c.pszColumn), c.lo.bGiven ? &lo : nullptr, bLoIn,
                                        c.hi.bGiven ? &hi : nullptr, bHiIn, nullptr, 0),
                          1);
                f->ActivateFilter(1);
                // The bounds' rules: a lower equal to the upper is one
                // generic equality; markers and equalities are generic; an
                // empty text lower bound is none.
                const bool bEqual = c.lo.bGiven && c.hi.bGiven && !c.hi.bMarker &&
                                    ((vLo.bNull && vHi.bNull) ||
                                     (!vLo.bNull && !vHi.bNull && vLo.n == vHi.n && vLo.s == vHi.s));
                Pred fn;
                if (c.lo.bGiven && !(vLo.bText && vLo.s.empty() && !bEqual)) {
                    SLeaf l;
                    l.nColumn = nColumn;
                    l.e = bEqual ? NAOP_EQ : (bLoIn ? NAOP_GE : NAOP_GT);
                    l.v = vLo;
                    l.bLower = true;
                    l.bGeneric = bEqual || c.lo.bMarker;
                    fn = Rule(l, w.bNullFirst);
                    if (l.bGeneric && l.e == NAOP_GT && k == K_TEXT)
                        fn = And(Rule([&] { SLeaf x = l; x.bGeneric = false; return x; }(), w.bNullFirst),
                                 Rule([&] { SLeaf x = l; x.e = NAOP_NE; return x; }(), w.bNullFirst));
                }
                if (c.hi.bGiven && !bEqual) {
                    SLeaf l;
                    l.nColumn = nColumn;
                    l.e = bHiIn || (c.hi.bMarker && k == K_TEXT) ? NAOP_LE : NAOP_LT;
                    l.v = vHi;
                    l.bUpper = true;
                    l.bGeneric = c.hi.bMarker;
                    Pred fnHi = Rule(l, w.bNullFirst);
                    if (l.bGeneric && l.e == NAOP_LE && k == K_TEXT) {
                        SLeaf lBelow = l;
                        lBelow.e = NAOP_LT;
                        lBelow.bGeneric = false;
                        SLeaf lPrefix = l;
                        lPrefix.e = NAOP_EQ;
                        fnHi = Or(Rule(lBelow, w.bNullFirst), Rule(lPrefix, w.bNullFirst));
                    }
                    fn = And(fn, fnHi);
                }
                CNACommand cmd(m_pError, w.pCnx);
                ASSERT_EQ(f->bGetSQL(&cmd, nullptr, w.pRecord), 1);
                EXPECT_EQ(Run(w, &cmd), Expected(fn))
                    << w.strName << ": " << c.pszColumn << (bLoIn ? " [" : " (") << Show(vLo) << ", " << Show(vHi)
                    << (bHiIn ? "]" : ")") << (c.hi.bMarker ? " marker" : "") << "\n" << m_strLast;
                f->nRelease();
            }
        }
    }
}

TEST_F(SearchServer, WalksVisitEveryRowOnce)
{
    for (const SWay& w : Ways()) {
        for (const char* pszKey : {"id", "ck"}) {
            const bool bComposite = pszKey[0] == 'c';
            const std::string strOrder = bComposite ? "ca, cb" : "id";
            for (int bBackward = 0; bBackward < 2; bBackward++) {
                const std::string strTail = " ORDER BY " + (bComposite ? std::string(bBackward ? "ca DESC, cb DESC" : "ca, cb")
                                                                        : std::string(bBackward ? "id DESC" : "id")) +
                                            " LIMIT 1";
                // The expected order, from the server itself.
                const Rows tabAll =
                    List("SELECT id FROM t ORDER BY " + strOrder + (bBackward ? (bComposite ? "" : " DESC") : ""));
                std::vector<long long> tabExpected;
                for (const std::string& s : tabAll)
                    tabExpected.push_back(std::stoll(s));
                if (bBackward && bComposite)
                    std::reverse(tabExpected.begin(), tabExpected.end());
                CNACommand clEmpty(m_pError, w.pCnx);
                std::vector<long long> tabSeen = Run(w, &clEmpty, strTail.c_str());
                for (size_t nStep = 0; !tabSeen.empty() && nStep < Data().size() + 2; nStep++) {
                    // The record takes the row found; the search goes on from it.
                    const Row& r = Data()[static_cast<size_t>(tabSeen.back() - 1)];
                    for (int i = 0; i < kNbColumns; i++) {
                        CNAColumn* pclColumn = w.pRecord->pclGetColumnNoRef(
                            std::wstring(kColumns[i].pszName, kColumns[i].pszName + std::strlen(kColumns[i].pszName))
                                .c_str());
                        CAny a;
                        const SCell& cell = r[static_cast<size_t>(i)];
                        const eKind k = kColumns[i].eKindOf;
                        if (k == K_INT || k == K_BOOL || k == K_TEXT || k == K_WIDE) {
                            HostValue(a, k, cell.bNull ? VNull(k == K_TEXT || k == K_WIDE)
                                                       : (k == K_TEXT || k == K_WIDE ? VT(cell.s) : VN(cell.n)));
                            ASSERT_EQ(pclColumn->bSetValue(&a, 0), 1);
                        }
                    }
                    CCountedSearch* p = new CCountedSearch(m_pError, w.pCnx);
                    p->AddRef();
                    ASSERT_EQ(p->bRechercheEnreg(w.pRecord, Item(w, pszKey), Dir(0), 0, nullptr), 1);
                    p->bSetContinueParcours(Dir(bBackward));
                    CNACommand cmd(m_pError, w.pCnx);
                    ASSERT_EQ(p->bGetSQL(&cmd, nullptr, w.pRecord), 1);
                    const std::vector<long long> tabNext = Run(w, &cmd, strTail.c_str());
                    p->nRelease();
                    if (tabNext.empty())
                        break;
                    tabSeen.push_back(tabNext[0]);
                }
                EXPECT_EQ(tabSeen, tabExpected) << w.strName << ": " << pszKey << (bBackward ? " backward" : "")
                                                << "\n" << m_strLast;
            }
        }
    }
}
