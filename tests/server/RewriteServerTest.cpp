// Host-parsed queries rewritten by a command and run on the private server
// in both code-page modes, beside the same queries written by hand for
// MySQL: the same rows, or the same rows changed. The host's tables are
// described by the driver from the server and filed under logical names
// (lt is t, lv is v, lw is w1). Random queries of the parse's subset are
// checked the same way; a failure prints the replay number, which
// ZT_REWRITE_REPLAY gives back.
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/statement/NARecord.h"
#include "access/sql/SQLParserInfo.h"
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLStatementSQL.h"
#include "tests/support/AnyValue.h"
#include "tests/support/DriverServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// The texts the parameters and the rows hold.
const wchar_t* const kTexts[] = {L"a'b", L"c\\d", L"50%", L"x_y", L"\u00e9t\u00e9", L"\u20acuro", L"\u4e2d\u6587",
                                 L"plain", L"", L"a%b", L"it's", L"50x"};
const int kNbTexts = sizeof(kTexts) / sizeof(kTexts[0]);

// A MySQL literal of a text, written by hand.
std::wstring Literal(const std::wstring& s)
{
    std::wstring r = L"'";
    for (wchar_t c : s)
        r += c == L'\'' ? std::wstring(L"''") : c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    return r + L"'";
}

// The host's literal of a text: quotes doubled, nothing else escaped.
std::wstring HostLiteral(const std::wstring& s)
{
    std::wstring r = L"'";
    for (wchar_t c : s)
        r += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
    return r + L"'";
}

class RewriteServer : public DriverServerTest {
protected:
    RewriteServer()
        : DriverServerTest("zt33rw",
                           {"CREATE TABLE t (id INT NOT NULL PRIMARY KEY, code INT NOT NULL UNIQUE, "
                            "name VARCHAR(40) COLLATE utf8mb4_bin NULL, d DATE NULL, amount INT NULL, ts DATETIME NULL) "
                            "ENGINE=InnoDB",
                            "CREATE TABLE v (k INT NOT NULL PRIMARY KEY, name VARCHAR(40) COLLATE utf8mb4_bin NULL, "
                            "tid INT NULL) ENGINE=InnoDB",
                            "CREATE TABLE w1 (id INT NOT NULL PRIMARY KEY, d DATE NULL, name VARCHAR(40) COLLATE "
                            "utf8mb4_bin NULL, amount INT NULL) ENGINE=InnoDB",
                            "CREATE TABLE w2 (id INT NOT NULL PRIMARY KEY, d DATE NULL, name VARCHAR(40) COLLATE "
                            "utf8mb4_bin NULL, amount INT NULL) ENGINE=InnoDB"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DriverServerTest::SetUp());
        BindValueMachine();
        for (int i = 0; i < kNbTexts; i++) {
            const std::string strName = i == 8 ? "NULL" : "CONVERT(X'" + HexaOf(UTF8Of(kTexts[i])) + "' USING utf8mb4)";
            const std::string strDate = i % 4 == 3 ? "NULL" : "'2023-0" + std::to_string(1 + i % 9) + "-1" +
                                                                  std::to_string(i % 10) + "'";
            ASSERT_TRUE(Admin("INSERT INTO t VALUES (" + std::to_string(i + 1) + "," + std::to_string(100 - i * 7) +
                              "," + strName + "," + strDate + "," + (i == 5 ? std::string("NULL") : std::to_string(i * 3)) +
                              ",'2023-03-15 1" + std::to_string(i % 10) + ":00:00')"));
        }
        for (int k = 1; k <= 8; k++)
            ASSERT_TRUE(Admin("INSERT INTO v VALUES (" + std::to_string(k) + ",'v" + std::to_string(k) + "'," +
                              std::to_string(100 - (k % 4) * 7) + ")"));
        m_pError = new CNAError;
        m_pError->AddRef();
    }
    void TearDown() override
    {
        m_tabDigest.clear();
        m_tabParse.clear();
        m_tabCatalogue.clear();
        for (CNAConnectionDescription* p : m_tabCnx) {
            p->bClose(m_pError);
            p->nRelease();
        }
        if (m_pError != nullptr)
            m_pError->nRelease();
        EXPECT_EQ(m_clValues.m_nRef, 0u);
        DriverServerTest::TearDown();
    }

    // One code-page mode: its connection and its catalogue.
    struct SMode {
        CNAConnectionDescription* pCnx;
        CHostCatalogue* pCatalogue;
        bool bUnicode;
    };
    SMode Mode(bool bUnicode)
    {
        CHostConnectionDescription* pHost =
            HostOn(bUnicode ? L"" : L"ZT Unicode Support=0;", bUnicode ? L"rwu" : L"rw8");
        m_tabCatalogue.emplace_back(new CHostCatalogue);
        CHostCatalogue* pCatalogue = m_tabCatalogue.back().get();
        const wchar_t* const apsz[][2] = {{L"lt", L"t"}, {L"lv", L"v"}, {L"lw", L"w1"}};
        for (const auto& a : apsz) {
            INADataSourceDescription* pi = m_piDriver->piGetTableDesc(a[1], pHost);
            EXPECT_NE(pi, nullptr) << Report();
            if (pi == nullptr)
                continue;
            pCatalogue->Add(a[0], a[1], pi);
            pi->nExternalRelease();
        }
        CMySQLConnection* pCnx = new CMySQLConnection(bUnicode ? L"rwu" : L"rw8", pHost);
        pCnx->AddRef();
        m_tabCnx.push_back(pCnx);
        EXPECT_EQ(pCnx->bOpen(m_pError), 1) << Narrow(m_pError->pszGetError());
        return SMode{pCnx, pCatalogue, bUnicode};
    }

    // The rows of a text run by the driver's statement: the columns of each
    // row as texts joined by "|", NULL as NULL; *pnError the user error of a
    // failure.
    Rows Run(const SMode& m, const std::wstring& strText, unsigned int* pnError = nullptr,
             long long* pllAffected = nullptr)
    {
        Rows tab;
        m_pError->Reset();
        CMySQLStatementSQL* pStatement = new CMySQLStatementSQL(m.pCnx, m_pError);
        pStatement->AddRef();
        if (!pStatement->bExecuteDirect(strText.c_str(), nullptr, 0)) {
            if (pnError != nullptr)
                *pnError = m_pError->dwGetDataBaseErrorCode() != 0 ? m_pError->dwGetDataBaseErrorCode()
                                                                   : m_pError->dwGetErrorId();
            else
                ADD_FAILURE() << Narrow(m_pError->pszGetError()) << "\n" << Narrow(strText.c_str());
            pStatement->nRelease();
            return tab;
        }
        if (pllAffected != nullptr)
            pStatement->bGetAffected_rows(pllAffected);
        unsigned int nColumns = 0;
        pStatement->bGetColumnNbr(&nColumns, 0);
        while (nColumns > 0 && pStatement->bFetch(0) && !pStatement->bEndOfData()) {
            std::string strRow;
            for (unsigned int i = 0; i < nColumns; i++) {
                CAny v;
                pStatement->bGetValue(&v, i, 0);
                std::string s = "NULL";
                if (!v.bIsNull() && v.__nCastTo(TQTYPE_DSTRW, nullptr, 0) <= 99)
                    s = UTF8Of(TextW(v));
                strRow += (i > 0 ? "|" : "") + s;
            }
            tab.push_back(strRow);
        }
        pStatement->nRelease();
        return tab;
    }
    // The rewritten text of a host query, or empty with *pnError.
    std::wstring Rewrite(const SMode& m, const std::wstring& strQuery, CNACommand* pFilter = nullptr,
                         unsigned int* pnError = nullptr)
    {
        std::wstring strError;
        m_tabParse.push_back(CHostSQLParse::pParse(strQuery.c_str(), m.pCatalogue, &m_clValues, &strError));
        EXPECT_NE(m_tabParse.back(), nullptr) << Narrow(strError.c_str()) << "\n" << Narrow(strQuery.c_str());
        if (m_tabParse.back() == nullptr)
            return L"";
        m_pError->Reset();
        CSQLParserInfo* pInfo = new CSQLParserInfo(m_pError, m_tabParse.back().get(), &m_clValues, 0);
        m_tabDigest.emplace_back(pInfo, [](CSQLParserInfo* p) { p->nRelease(); });
        pInfo->AddRef();
        CNACommand cmd(m_pError, m_pCnxOf(m));
        const wchar_t* psz = cmd.bFormatCondition(pInfo, pFilter, 1, 0) ? cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)
                                                                          : nullptr;
        if (psz == nullptr && pnError != nullptr)
            *pnError = m_pError->dwGetErrorId();
        else if (psz == nullptr)
            ADD_FAILURE() << Narrow(m_pError->pszGetError()) << "\n" << Narrow(strQuery.c_str());
        return psz != nullptr ? psz : L"";
    }
    static CNAConnectionDescription* m_pCnxOf(const SMode& m) { return m.pCnx; }
    void Text(const wchar_t* pszName, const std::wstring& s) { SetW(m_clValues.Value(pszName), s.c_str()); }
    void Int(const wchar_t* pszName, int n) { Set(m_clValues.Value(pszName), TQTYPE_I4, n); }

    CNAError* m_pError = nullptr;
    CHostQueryParametersValue m_clValues;
    std::vector<std::unique_ptr<CHostCatalogue>> m_tabCatalogue;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
    std::vector<std::shared_ptr<CSQLParserInfo>> m_tabDigest;
    std::vector<CNAConnectionDescription*> m_tabCnx;
};

// A text a code page holds.
bool bInCodePage(const std::wstring& s, bool bUnicode)
{
    return bUnicode || s.find(L'\u4e2d') == std::wstring::npos;
}

} // namespace

TEST_F(RewriteServer, RewrittenQueriesReturnTheRowsOfTheirHandWrittenForm)
{
    for (bool bUnicode : {true, false}) {
        const SMode m = Mode(bUnicode);
        SCOPED_TRACE(bUnicode ? "UTF-8" : "1252");
        // Parameters holding quotes, backslashes, wildcards and letters.
        for (int i = 0; i < kNbTexts; i++) {
            Text(L"s", kTexts[i]);
            const std::wstring strHand =
                L"SELECT id, name FROM t WHERE name = " + Literal(kTexts[i]) + L" OR name LIKE " +
                Literal(kTexts[i]) + L" ORDER BY id";
            unsigned int nError = 0;
            const std::wstring strRewritten =
                Rewrite(m, L"SELECT id, name FROM lt WHERE name = {s} OR name LIKE {s} ORDER BY id", nullptr, &nError);
            if (!bInCodePage(kTexts[i], bUnicode)) {
                // A character the session cannot hold is refused: no text.
                EXPECT_EQ(strRewritten, L"");
                EXPECT_EQ(nError, 77u);
                continue;
            }
            EXPECT_EQ(Run(m, strRewritten), Run(m, strHand)) << Narrow(strRewritten.c_str());
            // The same text as a literal of the host query.
            const std::wstring strLiteral = Rewrite(
                m, L"SELECT id FROM lt WHERE name = " + HostLiteral(kTexts[i]) + L" ORDER BY id");
            EXPECT_EQ(Run(m, strLiteral), Run(m, L"SELECT id FROM t WHERE name = " + Literal(kTexts[i]) + L" ORDER BY id"))
                << Narrow(strLiteral.c_str());
        }
        Int(L"n", 3);
        CNACommand filter(m_pError, m.pCnx);
        filter.bComplete(L"`t`.`amount` > 3", static_cast<unsigned int>(-1));
        const struct {
            const wchar_t* pszHost;
            const wchar_t* pszHand;
            CNACommand* pFilter;
        } aCase[] = {
            {L"SELECT * FROM lv ORDER BY k", L"SELECT * FROM v ORDER BY k", nullptr},
            {L"SELECT id, amount + 1 AS s FROM lt WHERE amount > 2 ORDER BY s DESC",
             L"SELECT id, amount + 1 AS s FROM t WHERE amount > 2 ORDER BY s DESC", nullptr},
            {L"SELECT tid, COUNT(*) AS n FROM lv GROUP BY tid HAVING COUNT(*) > 1 ORDER BY tid",
             L"SELECT tid, COUNT(*) AS n FROM v GROUP BY tid HAVING COUNT(*) > 1 ORDER BY tid", nullptr},
            {L"SELECT tid, COUNT(*) AS n FROM lv GROUP BY tid HAVING lv.tid > 1 ORDER BY tid",
             L"SELECT tid, COUNT(*) AS n FROM v GROUP BY tid HAVING v.tid > 1 ORDER BY tid", nullptr},
            {L"SELECT tid AS g, COUNT(*) AS n FROM lv GROUP BY tid HAVING g > 1 ORDER BY g",
             L"SELECT tid AS g, COUNT(*) AS n FROM v GROUP BY tid HAVING g > 1 ORDER BY g", nullptr},
            {L"SELECT x.id, y.k FROM lt x JOIN lv y ON x.code = y.tid ORDER BY x.id, y.k",
             L"SELECT x.id, y.k FROM t x JOIN v y ON x.code = y.tid ORDER BY x.id, y.k", nullptr},
            {L"SELECT lt.id, lv.k FROM lt LEFT JOIN lv ON lt.code = lv.tid WHERE lt.id < 6 ORDER BY lt.id, lv.k",
             L"SELECT t.id, v.k FROM t LEFT JOIN v ON t.code = v.tid WHERE t.id < 6 ORDER BY t.id, v.k", nullptr},
            {L"SELECT id FROM lt ORDER BY id", L"SELECT id FROM t WHERE amount > 3 ORDER BY id", &filter},
            {L"SELECT id FROM lt WHERE code > 60 OR name IS NULL ORDER BY id",
             L"SELECT id FROM t WHERE (code > 60 OR name IS NULL) AND amount > 3 ORDER BY id", &filter},
            {L"SELECT id FROM lt WHERE d <> '2023' ORDER BY id", L"SELECT id FROM t WHERE d <> '2023-01-01' ORDER BY id",
             nullptr},
            {L"SELECT id FROM lt WHERE d >= '20230301' ORDER BY id",
             L"SELECT id FROM t WHERE d >= '2023-03-01' ORDER BY id", nullptr},
            {L"SELECT id FROM lt WHERE d = '' ORDER BY id", L"SELECT id FROM t WHERE d IS NULL ORDER BY id", nullptr},
            {L"SELECT id FROM lt WHERE ts = '2023031512' ORDER BY id",
             L"SELECT id FROM t WHERE ts = '2023-03-15 12:00:00' ORDER BY id", nullptr},
            {L"SELECT id FROM lt ORDER BY id DESC LIMIT {n}", L"SELECT id FROM t ORDER BY id DESC LIMIT 3", nullptr},
            {L"SELECT UPPER(name) AS u, LEFT(name, 2) FROM lt WHERE NOT (id > 3) ORDER BY id",
             L"SELECT UPPER(name) AS u, LEFT(name, 2) FROM t WHERE NOT (id > 3) ORDER BY id", nullptr},
            {L"SELECT id FROM lt WHERE name LIKE 'a!%b' ESCAPE '!' ORDER BY id",
             L"SELECT id FROM t WHERE name LIKE 'a!%b' ESCAPE '!' ORDER BY id", nullptr},
        };
        for (const auto& st : aCase) {
            const std::wstring strRewritten = Rewrite(m, st.pszHost, st.pFilter);
            EXPECT_EQ(Run(m, strRewritten), Run(m, st.pszHand)) << Narrow(strRewritten.c_str());
            EXPECT_FALSE(Run(m, st.pszHand).empty()) << Narrow(st.pszHand);
        }
    }
}

TEST_F(RewriteServer, WritesChangeTheRowsOfTheirHandWrittenForm)
{
    for (bool bUnicode : {true, false}) {
        const SMode m = Mode(bUnicode);
        SCOPED_TRACE(bUnicode ? "UTF-8" : "1252");
        ASSERT_TRUE(Admin("DELETE FROM w1"));
        ASSERT_TRUE(Admin("DELETE FROM w2"));
        for (int i = 0; i < kNbTexts; i++) {
            if (!bInCodePage(kTexts[i], bUnicode))
                continue;
            Text(L"s", kTexts[i]);
            const std::wstring strId = std::to_wstring(i + 1);
            const struct {
                std::wstring strHost;
                std::wstring strHand;
            } aCase[] = {
                {L"INSERT INTO lw (id, d, name, amount) VALUES (" + strId + L", '20230315', {s}, " + strId + L")",
                 L"INSERT INTO w2 (id, d, name, amount) VALUES (" + strId + L", '2023-03-15', " +
                     Literal(kTexts[i]) + L", " + strId + L")"},
                {L"UPDATE lw SET d = '20240229', amount = amount * 2 WHERE id = " + strId,
                 L"UPDATE w2 SET d = '2024-02-29', amount = amount * 2 WHERE id = " + strId},
                {L"UPDATE lw SET name = " + HostLiteral(kTexts[i]) + L" WHERE name = {s}",
                 L"UPDATE w2 SET name = " + Literal(kTexts[i]) + L" WHERE name = " + Literal(kTexts[i])},
                {L"DELETE FROM lw WHERE id = " + strId + L" AND amount > 20",
                 L"DELETE FROM w2 WHERE id = " + strId + L" AND amount > 20"},
            };
            for (const auto& st : aCase) {
                long long llRewritten = -1, llHand = -2;
                Run(m, Rewrite(m, st.strHost), nullptr, &llRewritten);
                Run(m, st.strHand, nullptr, &llHand);
                EXPECT_EQ(llRewritten, llHand) << Narrow(st.strHost.c_str());
            }
        }
        EXPECT_EQ(List("SELECT CONCAT_WS('|', id, IFNULL(d, '-'), HEX(name), amount) FROM w1 ORDER BY id"),
                  List("SELECT CONCAT_WS('|', id, IFNULL(d, '-'), HEX(name), amount) FROM w2 ORDER BY id"));
        EXPECT_FALSE(List("SELECT id FROM w1").empty());
    }
}

TEST_F(RewriteServer, FilterWithAParsedConditionAndBounds)
{
    for (bool bUnicode : {true, false}) {
        const SMode m = Mode(bUnicode);
        SCOPED_TRACE(bUnicode ? "UTF-8" : "1252");
        CNADataSourceDescription* pT = static_cast<CNADataSourceDescription*>(m.pCatalogue->pFind(L"lt")->piDescription);
        CNARecord* pRecord = new CNARecord(m_pError, nullptr);
        pRecord->AddRef();
        ASSERT_EQ(pRecord->bInitRecord(pT, nullptr, m.pCnx), 1) << Narrow(m_pError->pszGetError());
        m_tabParse.push_back(CHostSQLParse::pParse(L"SELECT * FROM lt WHERE name <> 'plain' OR code > 90",
                                                   m.pCatalogue, &m_clValues));
        ASSERT_NE(m_tabParse.back(), nullptr);
        CNAFilter* pFilter = new CNAFilter(m_pError, m.pCnx);
        pFilter->AddRef();
        CAny clLower, clUpper;
        Set(clLower, TQTYPE_I4, 3);
        Set(clUpper, TQTYPE_I4, 30);
        ASSERT_EQ(pFilter->bSetFilter(pRecord, pT->pclNAGetItemNoRef(L"amount", 0), &clLower, 1, &clUpper, 0,
                                      m_tabParse.back().get(), 0),
                  1)
            << Narrow(m_pError->pszGetError());
        pFilter->ActivateFilter(1);
        CNACommand cmd(m_pError, m.pCnx);
        ASSERT_EQ(pFilter->bGetSQL(&cmd, nullptr, pRecord), 1) << Narrow(m_pError->pszGetError());
        const std::wstring strWhere = cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL);
        const Rows tabExpected =
            Run(m, L"SELECT id FROM t WHERE amount >= 3 AND amount < 30 AND (name <> 'plain' OR code > 90) ORDER BY id");
        EXPECT_EQ(Run(m, L"SELECT id FROM t WHERE " + strWhere + L" ORDER BY id"), tabExpected)
            << Narrow(strWhere.c_str());
        EXPECT_GT(tabExpected.size(), 2u);
        pFilter->nRelease();
        pRecord->nRelease();
    }
}

namespace {

// A random query of the parse's subset over t, in the host's form and in
// MySQL's, with the host values it names.
struct SRandomQuery {
    std::wstring strHost;
    std::wstring strHand;
    std::vector<std::pair<std::wstring, std::wstring>> tabText;
    std::vector<std::pair<std::wstring, int>> tabInt;
};

class CGenerator {
public:
    explicit CGenerator(unsigned int nStart) : m_rng(nStart) {}

    SRandomQuery Query()
    {
        m_q = SRandomQuery();
        m_nParameter = 0;
        const bool bAlias = Pick(2) == 0;
        m_strTable = bAlias ? L"x" : L"lt";
        m_strHandTable = bAlias ? L"x" : L"t";
        std::wstring strHost = L"SELECT ", strHand = L"SELECT ";
        if (Pick(3) == 0) {
            Add(strHost, strHand, L"DISTINCT ");
        }
        const int nItems = 1 + Pick(3);
        for (int i = 0; i < nItems; i++) {
            Add(strHost, strHand, i > 0 ? L", " : L"");
            Item(strHost, strHand);
            if (Pick(3) == 0) {
                const std::wstring strAlias = L"c" + std::to_wstring(i);
                Add(strHost, strHand, L" AS " + strAlias);
            }
        }
        // The row's id orders every result the same way.
        Add(strHost, strHand, L", ");
        Column(strHost, strHand, L"id");
        strHost += L" FROM lt" + std::wstring(bAlias ? L" x" : L"");
        strHand += L" FROM t" + std::wstring(bAlias ? L" x" : L"");
        if (Pick(4) != 0) {
            Add(strHost, strHand, L" WHERE ");
            Condition(strHost, strHand, 0);
        }
        Add(strHost, strHand, L" ORDER BY ");
        Column(strHost, strHand, L"id");
        Add(strHost, strHand, Pick(2) == 0 ? L" DESC" : L"");
        if (Pick(4) == 0)
            Add(strHost, strHand, L" LIMIT " + std::to_wstring(1 + Pick(5)));
        m_q.strHost = strHost;
        m_q.strHand = strHand;
        return m_q;
    }

private:
    int Pick(int n) { return static_cast<int>(m_rng() % static_cast<unsigned int>(n)); }
    static void Add(std::wstring& a, std::wstring& b, const std::wstring& s)
    {
        a += s;
        b += s;
    }
    void Column(std::wstring& a, std::wstring& b, const wchar_t* pszName)
    {
        const bool bQualified = Pick(2) == 0;
        a += (bQualified ? m_strTable + L"." : L"") + pszName;
        b += (bQualified ? m_strHandTable + L"." : L"") + pszName;
    }
    void Number(std::wstring& a, std::wstring& b)
    {
        const int n = Pick(60) - 5;
        if (Pick(2) == 0) {
            const std::wstring strName = L"n" + std::to_wstring(m_nParameter++);
            m_q.tabInt.emplace_back(strName, n);
            a += L"{" + strName + L"}";
        } else {
            a += n < 0 ? L"(" + std::to_wstring(n) + L")" : std::to_wstring(n);
        }
        b += n < 0 ? L"(" + std::to_wstring(n) + L")" : std::to_wstring(n);
    }
    void TextValue(std::wstring& a, std::wstring& b)
    {
        std::wstring s = kTexts[Pick(kNbTexts)];
        if (s.find(L'\u4e2d') != std::wstring::npos)
            s = L"plain";
        if (Pick(2) == 0) {
            const std::wstring strName = L"s" + std::to_wstring(m_nParameter++);
            m_q.tabText.emplace_back(strName, s);
            a += L"{" + strName + L"}";
        } else {
            a += HostLiteral(s);
        }
        b += Literal(s);
    }
    void Item(std::wstring& a, std::wstring& b)
    {
        switch (Pick(5)) {
        case 0:
            Column(a, b, L"name");
            break;
        case 1:
            Column(a, b, L"amount");
            Add(a, b, L" + ");
            Number(a, b);
            break;
        case 2:
            Add(a, b, L"UPPER(");
            Column(a, b, L"name");
            Add(a, b, L")");
            break;
        case 3:
            Add(a, b, L"(");
            Column(a, b, L"code");
            Add(a, b, L" * 2)");
            break;
        default:
            Column(a, b, L"d");
            break;
        }
    }
    void Condition(std::wstring& a, std::wstring& b, int nDepth)
    {
        const int n = nDepth < 2 ? Pick(7) : Pick(4);
        if (n == 4 || n == 5) {
            Add(a, b, L"(");
            Condition(a, b, nDepth + 1);
            Add(a, b, n == 4 ? L" AND " : L" OR ");
            Condition(a, b, nDepth + 1);
            Add(a, b, L")");
            return;
        }
        if (n == 6) {
            Add(a, b, L"NOT (");
            Condition(a, b, nDepth + 1);
            Add(a, b, L")");
            return;
        }
        static const wchar_t* const apszOperator[] = {L" = ", L" <> ", L" < ", L" <= ", L" > ", L" >= "};
        switch (n) {
        case 0:
            Column(a, b, Pick(2) == 0 ? L"code" : L"amount");
            Add(a, b, apszOperator[Pick(6)]);
            Number(a, b);
            break;
        case 1:
            Column(a, b, L"name");
            Add(a, b, Pick(2) == 0 ? L" = " : L" <> ");
            TextValue(a, b);
            break;
        case 2:
            Column(a, b, Pick(2) == 0 ? L"name" : L"amount");
            Add(a, b, Pick(2) == 0 ? L" IS NULL" : L" IS NOT NULL");
            break;
        default:
            Column(a, b, L"name");
            Add(a, b, Pick(2) == 0 ? L" LIKE 'a%'" : L" LIKE '%e%'");
            break;
        }
    }

    std::mt19937 m_rng;
    SRandomQuery m_q;
    int m_nParameter = 0;
    std::wstring m_strTable, m_strHandTable;
};

unsigned int ReplayNumber()
{
    const char* psz = getenv("ZT_REWRITE_REPLAY");
    return psz != nullptr ? static_cast<unsigned int>(strtoul(psz, nullptr, 10))
                          : static_cast<unsigned int>(time(nullptr));
}

} // namespace

TEST_F(RewriteServer, RandomQueriesOfTheSubset)
{
    const unsigned int nReplay = ReplayNumber();
    SCOPED_TRACE("replay number " + std::to_string(nReplay) + " (ZT_REWRITE_REPLAY)");
    CGenerator clGenerator(nReplay);
    int nRun = 0;
    for (bool bUnicode : {true, false}) {
        const SMode m = Mode(bUnicode);
        for (int i = 0; i < 60; i++) {
            const SRandomQuery q = clGenerator.Query();
            for (const auto& st : q.tabText)
                Text(st.first.c_str(), st.second);
            for (const auto& st : q.tabInt)
                Int(st.first.c_str(), st.second);
            unsigned int nError = 0;
            const std::wstring strRewritten = Rewrite(m, q.strHost, nullptr, &nError);
            if (strRewritten.empty()) {
                // Refused with a user error, never a text the server rejects.
                EXPECT_NE(nError, 0u) << Narrow(q.strHost.c_str());
                continue;
            }
            unsigned int nServer = 0;
            const Rows tabRewritten = Run(m, strRewritten, &nServer);
            EXPECT_NE(nServer, 1064u) << Narrow(strRewritten.c_str());
            if (nServer == 0) {
                EXPECT_EQ(tabRewritten, Run(m, q.strHand))
                    << Narrow(q.strHost.c_str()) << "\n" << Narrow(strRewritten.c_str());
                nRun++;
            }
            m_tabDigest.clear();
            m_tabParse.clear();
        }
    }
    EXPECT_GT(nRun, 60);
}
