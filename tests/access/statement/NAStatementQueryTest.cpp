// SELECTs of a statement whose source is a host-parsed query, every case a
// query text through the parse stand-in over hand-made tables: the query
// rewritten with a search, run without correction (with a search: user
// error 41; without: as written), a limited query kept with its own order
// and LIMIT, the connection's cap on ORDER BY terms and terms written
// by their position.
#include "access/statement/NAStatement.h"

#include "access/sql/NACommand.h"
#include "access/statement/NARecord.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/QuerySource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

typedef CNAItemDescription CItem;

// A MySQL-kind connection that caps ORDER BY terms and may refuse terms by
// position.
class CCappedConnection : public CMySQLKindConnection {
public:
    CCappedConnection() : CMySQLKindConnection(0) {}
    int nGetOrderByMaxExpressionNbr() override { return m_nMax; }
    int bOrderByIndiceAllowed() override { return m_bByNumber; }
    int bMinusSetOperator() override { return m_bMinus; }
    int m_nMax = 2147483647;
    int m_bByNumber = 0;
    int m_bMinus = 1;
};

class StatementQuery : public QuerySourceTest {
protected:
    void SetUp() override
    {
        QuerySourceTest::SetUp();
        m_pCnx->nRelease();
        m_pCapped = new CCappedConnection;
        m_pCnx = m_pCapped;
        m_pCnx->AddRef();
        m_clHand.pclAdd(L"q", L"q_db", {{L"name", NA_IT_TEXTE, CItem::KF_DUPLICATES, true},
                                        {L"amount", NA_IT_I4, 0, true},
                                        {L"code", NA_IT_I4, CItem::KF_UNIQUE, false},
                                        {L"note", NA_IT_I4, 0, true},
                                        {L"memo", NA_IT_MEMOTEXTE, 0, true}});
    }
    // A statement over the query run in the mode given.
    CNAStatement* Statement(const wchar_t* pszQuery, unsigned int eMode = 0)
    {
        CSQLParserInfo* pInfo = Digest(Parse(pszQuery));
        CNADataSourceDescription* pDescription = Described(pInfo);
        CQueryAccess* pAccess = Hold(new CQueryAccess(pDescription, m_pCnx, m_pError, pInfo, eMode));
        CNARecord* pRecord = Hold(new CNARecord(m_pError, pAccess));
        EXPECT_EQ(pRecord->bInitRecord(pDescription, nullptr, m_pCnx), 1) << NarrowAscii(m_pError->pszGetError());
        pAccess->_SetCurrentRecord(pRecord);
        return Hold(new CNAStatement(pAccess, m_pError));
    }
    // The SELECT the statement builds, "" when it fails.
    std::string Select(CNAStatement* p, const wchar_t* pszItem, int bAscending, unsigned int nFlags = 0,
                       const wchar_t* pszSearch = nullptr)
    {
        CNACommand* pCommand = Hold(m_clHand.pDriver()->pclAllocCommand(m_pError, m_pCnx));
        CNACommand* pSearch = nullptr;
        if (pszSearch != nullptr) {
            pSearch = Hold(m_clHand.pDriver()->pclAllocCommand(m_pError, m_pCnx));
            pSearch->bComplete(pszSearch, static_cast<unsigned int>(-1));
        }
        m_pError->Reset();
        if (!p->bBuildQuerySELECT(pCommand, nFlags, pszItem, bAscending, pSearch))
            return "";
        m_bInvert = pCommand->bInvertFetch();
        return Squeezed(pCommand->pszGetFormatedSQLW(CNACommand::PTC_ALL));
    }
    // Runs of blanks as one: where the host text leaves one, a clause taken
    // out may leave two.
    static std::string Squeezed(const wchar_t* psz)
    {
        std::string r;
        for (char c : NarrowAscii(psz))
            if (c != ' ' || r.empty() || r.back() != ' ')
                r += c;
        return r;
    }

    CCappedConnection* m_pCapped = nullptr;
    int m_bInvert = -1;
};

// The server's bytes of an 8-bit text read with a "?", after the items of
// a query the host may write through.
std::string Held(const std::string& strName)
{
    const std::string strBytes = "CONVERT(CONVERT(" + strName + " USING utf8) USING binary)";
    return ",IF(CONVERT(CONVERT(CONVERT(" + strName + " USING latin1) USING utf8) USING binary)<>" + strBytes + "," +
           strBytes + ",NULL)";
}
const std::string SEL = "SELECT `q_db`.`name`, `q_db`.`amount`, `q_db`.`code` " + Held("`q_db`.`name`") + " FROM `q_db`";
const std::string SEL2 = "SELECT `q_db`.`name`, `q_db`.`amount` " + Held("`q_db`.`name`") + " FROM `q_db`";
// A limited query reads none.
const char* const SEL2_LIMITED = "SELECT `q_db`.`name`, `q_db`.`amount` FROM `q_db`";

} // namespace

TEST_F(StatementQuery, RewrittenWithTheSearchAndTheBrowseOrder)
{
    const std::string strSel = SEL, strSel2 = SEL2;
    struct {
        const wchar_t* pszQuery;
        const wchar_t* pszItem;
        int bAscending;
        unsigned int nTieBreak;
        const wchar_t* pszSearch;
        std::string strText;
        int bInvert;
    } const aCase[] = {
        // The search joins the query's WHERE, or makes one.
        {L"SELECT name, amount, code FROM q WHERE amount > 3", L"name", 1, 0, L"`q_db`.`name`>='m'",
         strSel + " WHERE ( `q_db`.`amount` > 3 ) AND (`q_db`.`name`>='m') ORDER BY `q_db`.`name`", 0},
        {L"SELECT name, amount FROM q", L"name", 1, 0, L"`q_db`.`name`>='m'",
         strSel2 + " WHERE `q_db`.`name`>='m' ORDER BY `q_db`.`name`", 0},
        // The browse order replaces the query's; backwards every term is
        // descending and the fetch directions swap.
        {L"SELECT name, amount, code FROM q WHERE amount > 3 ORDER BY amount DESC", L"name", 1, 0, nullptr,
         strSel + " WHERE `q_db`.`amount` > 3 ORDER BY `q_db`.`name`", 0},
        {L"SELECT name, amount, code FROM q", L"name", 0, 3, nullptr,
         strSel + " ORDER BY `q_db`.`name` DESC,`q_db`.`code` DESC,`q_db`.`amount` DESC", 1},
        // Ties broken by the columns the query does not order itself.
        {L"SELECT name, amount, code FROM q ORDER BY amount DESC", L"name", 1, 3, nullptr,
         strSel + " ORDER BY `q_db`.`name`,`q_db`.`code`", 0},
        // The query's own order, completed; backwards its directions turn.
        {L"SELECT name, amount, code FROM q ORDER BY amount DESC", nullptr, 1, 3, nullptr,
         strSel + " ORDER BY `q_db`.`amount` DESC,`q_db`.`code`,`q_db`.`name`", 0},
        {L"SELECT name, amount, code FROM q ORDER BY amount DESC", nullptr, 0, 3, nullptr,
         strSel + " ORDER BY `q_db`.`amount` ASC,`q_db`.`code` DESC,`q_db`.`name` DESC", 1},
        // A column the query orders keeps the query's direction forwards.
        {L"SELECT name, amount FROM q ORDER BY amount DESC", L"amount", 1, 0, nullptr,
         strSel2 + " ORDER BY `q_db`.`amount` DESC", 0},
        {L"SELECT name, amount FROM q ORDER BY amount DESC", L"amount", 0, 0, nullptr,
         strSel2 + " ORDER BY `q_db`.`amount`", 1},
        {L"SELECT name, amount FROM q ORDER BY amount", L"amount", 0, 0, nullptr,
         strSel2 + " ORDER BY `q_db`.`amount` DESC", 1},
        // A memo is not ordered: the ties alone, after an ORDER BY of their
        // own (the query's is gone).
        {L"SELECT name, amount, memo FROM q ORDER BY name", L"memo", 1, 3, nullptr,
         "SELECT `q_db`.`name`, `q_db`.`amount`, `q_db`.`memo` " + Held("`q_db`.`name`") + Held("`q_db`.`memo`") +
             " FROM `q_db` ORDER BY `q_db`.`amount`",
         0},
        // Nor a computed column reading one, whose bytes are read as its
        // expression's.
        {L"SELECT amount, UPPER(memo) AS um, name FROM q", L"amount", 1, 3, nullptr,
         "SELECT `q_db`.`amount`, UPPER(`q_db`.`memo`) AS `um`, `q_db`.`name` " + Held("(UPPER(`q_db`.`memo`))") +
             Held("`q_db`.`name`") + " FROM `q_db` ORDER BY `q_db`.`amount`,`q_db`.`name`",
         0},
        // An item the query does not give: user error 6.
        {L"SELECT name, amount FROM q", L"code", 1, 0, nullptr, "", -1},
    };
    for (const auto& c : aCase) {
        SCOPED_TRACE(NarrowAscii(c.pszQuery) + " / " + NarrowAscii(c.pszItem) + " " + std::to_string(c.bAscending));
        CNAStatement* p = Statement(c.pszQuery);
        p->SetTieBreak(c.nTieBreak);
        const unsigned int nFlags = c.pszItem == nullptr ? CNAStatement::WPF_QUERY_ORDER : 0u;
        EXPECT_EQ(Select(p, c.pszItem, c.bAscending, nFlags, c.pszSearch), c.strText)
            << NarrowAscii(m_pError->pszGetError());
        if (c.bInvert >= 0) {
            EXPECT_EQ(m_bInvert, c.bInvert);
        } else {
            EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_ORDER_ITEM_MISSING));
        }
    }
}

TEST_F(StatementQuery, WithoutCorrectionAsWrittenOrRefusedWithASearch)
{
    const unsigned int eMode = CNADataAccess::QM_WITHOUT_CORRECTION;
    // No ORDER BY added, whatever the browse item.
    CNAStatement* p = Statement(L"SELECT name, amount FROM q WHERE amount > 3", eMode);
    p->SetTieBreak(3);
    EXPECT_EQ(Select(p, L"name", 1), "SELECT name, amount FROM q WHERE amount > 3");
    EXPECT_EQ(Select(p, L"name", 0), "SELECT name, amount FROM q WHERE amount > 3");
    EXPECT_EQ(Select(p, L"name", 1, 0, L""), "SELECT name, amount FROM q WHERE amount > 3");
    // The query's own ORDER BY stays, written for the server.
    CNAStatement* pOrdered = Statement(L"SELECT name, amount FROM q ORDER BY amount DESC", eMode);
    EXPECT_EQ(Select(pOrdered, L"name", 1), "SELECT name, amount FROM q ORDER BY `q_db`.`amount` DESC");
    // A search needs a sub-query, which MySQL is not given: user error 41.
    EXPECT_EQ(Select(p, L"name", 1, 0, L"`name`>='m'"), "");
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_SUB_QUERY));
    EXPECT_NE(NarrowAscii(m_pError->pszGetError()).find("query"), std::string::npos);
    // A kind that takes sub-queries wraps the query and names it.
    m_pCapped->SetKind(2);
    CNAStatement* pWrapped = Statement(L"SELECT name, amount FROM q WHERE amount > 3", eMode);
    EXPECT_EQ(Select(pWrapped, L"name", 1, 0, L"`name`>='m'"),
              "SELECT * FROM (SELECT name, amount FROM q WHERE amount > 3) ZT_SUBQUERY WHERE `name`>='m'")
        << NarrowAscii(m_pError->pszGetError());
    // A count writes its own SELECT: the sub-query follows its FROM.
    CNACommand* pCount = Hold(m_clHand.pDriver()->pclAllocCommand(m_pError, m_pCnx));
    ASSERT_EQ(pWrapped->_bBuildQueryCOUNT(pCount, 0, 1), 1) << NarrowAscii(m_pError->pszGetError());
    EXPECT_EQ(Squeezed(pCount->pszGetFormatedSQLW(CNACommand::PTC_ALL)),
              "SELECT COUNT(*) AS ZTACCESNATIF_NBENR FROM (SELECT name, amount FROM q WHERE amount > 3) ZT_SUBQUERY");
}

TEST_F(StatementQuery, ALimitedQueryKeepsItsOwnOrderAndLimit)
{
    const std::string strSel2 = SEL2_LIMITED;
    struct {
        const wchar_t* pszQuery;
        const wchar_t* pszItem;
        int bAscending;
        const wchar_t* pszSearch;
        std::string strText;
    } const aCase[] = {
        // Neither the browse order nor a condition goes into a limited
        // query: either would pick other rows than the query's. The
        // condition reads the query's rows as a derived table.
        {L"SELECT name, amount FROM q LIMIT 5", L"name", 1, nullptr, strSel2 + " LIMIT 5"},
        {L"SELECT name, amount FROM q WHERE amount > 3 LIMIT 5", L"name", 1, L"`name`>='m'",
         "SELECT * FROM (" + strSel2 + " WHERE `q_db`.`amount` > 3 LIMIT 5) ZT_LIMITED WHERE `name`>='m'"},
        {L"SELECT name, amount FROM q LIMIT 5", L"name", 1, L"`name`>='m'",
         "SELECT * FROM (" + strSel2 + " LIMIT 5) ZT_LIMITED WHERE `name`>='m'"},
        {L"SELECT name, amount FROM q ORDER BY amount DESC LIMIT 2, 5", L"name", 1, nullptr,
         strSel2 + " ORDER BY `q_db`.`amount` DESC LIMIT 2, 5"},
        {L"SELECT name, amount FROM q ORDER BY amount LIMIT 5 OFFSET 2", nullptr, 1, nullptr,
         strSel2 + " ORDER BY `q_db`.`amount` LIMIT 5 OFFSET 2"},
        {L"SELECT name, amount FROM q ORDER BY amount DESC LIMIT 5", L"name", 0, nullptr,
         strSel2 + " ORDER BY `q_db`.`amount` DESC LIMIT 5"},
        // A query that does not limit its rows takes both.
        {L"SELECT name, amount FROM q ORDER BY amount DESC", L"name", 1, L"`q_db`.`name`>='m'",
         SEL2 + " WHERE `q_db`.`name`>='m' ORDER BY `q_db`.`name`"},
    };
    for (const auto& c : aCase) {
        SCOPED_TRACE(NarrowAscii(c.pszQuery) + " / " + NarrowAscii(c.pszItem));
        CNAStatement* p = Statement(c.pszQuery);
        p->SetTieBreak(0);
        const unsigned int nFlags = c.pszItem == nullptr ? CNAStatement::WPF_QUERY_ORDER : 0u;
        EXPECT_EQ(Select(p, c.pszItem, c.bAscending, nFlags, c.pszSearch), c.strText)
            << NarrowAscii(m_pError->pszGetError());
        EXPECT_EQ(p->bInvertFetch(), 0) << "read in the query's own order";
    }
}

TEST_F(StatementQuery, TermsCappedByTheConnection)
{
    const std::string strSel = SEL;
    struct {
        int nMax;
        const wchar_t* pszQuery;
        const wchar_t* pszItem;
        std::string strText;
    } const aCase[] = {
        {2, L"SELECT name, amount, code FROM q", L"name", strSel + " ORDER BY `q_db`.`name`,`q_db`.`code`"},
        {1, L"SELECT name, amount, code FROM q", L"name", strSel + " ORDER BY `q_db`.`name`"},
        // The query's own terms count.
        {2, L"SELECT name, amount, code FROM q ORDER BY amount DESC", nullptr,
         strSel + " ORDER BY `q_db`.`amount` DESC,`q_db`.`code`"},
        {1, L"SELECT name, amount, code FROM q ORDER BY amount DESC", nullptr,
         strSel + " ORDER BY `q_db`.`amount` DESC"},
        {2, L"SELECT name, amount, code FROM q ORDER BY amount DESC, name", nullptr,
         strSel + " ORDER BY `q_db`.`amount` DESC, `q_db`.`name`"},
        // Dropped for a browse on an item, the query's terms still count.
        {2, L"SELECT name, amount, code FROM q ORDER BY amount DESC", L"name", strSel + " ORDER BY `q_db`.`name`"},
    };
    for (const auto& c : aCase) {
        SCOPED_TRACE(NarrowAscii(c.pszQuery) + " cap " + std::to_string(c.nMax));
        m_pCapped->m_nMax = c.nMax;
        CNAStatement* p = Statement(c.pszQuery);
        p->SetTieBreak(3);
        const unsigned int nFlags = c.pszItem == nullptr ? CNAStatement::WPF_QUERY_ORDER : 0u;
        EXPECT_EQ(Select(p, c.pszItem, 1, nFlags), c.strText) << NarrowAscii(m_pError->pszGetError());
    }
}

TEST_F(StatementQuery, ComputedColumnsOrderedByPosition)
{
    const std::string strSel = "SELECT `q_db`.`name`, `q_db`.`amount` + 1 AS `s` " + Held("`q_db`.`name`") +
                               Held("(`q_db`.`amount` + 1 )") + " FROM `q_db`";
    CNAStatement* p = Statement(L"SELECT name, amount + 1 AS s FROM q");
    p->SetTieBreak(3);
    m_pCapped->m_bByNumber = 1;
    EXPECT_EQ(Select(p, L"s", 1), strSel + " ORDER BY 2,`q_db`.`name`");
    EXPECT_EQ(Select(p, L"name", 0), strSel + " ORDER BY `q_db`.`name` DESC,2 DESC");
    // A connection that refuses positions: the column's alias.
    m_pCapped->m_bByNumber = 0;
    EXPECT_EQ(Select(p, L"s", 1), strSel + " ORDER BY `s`,`q_db`.`name`");
}

// A query of several SELECTs reads no exact forms: beside its first
// SELECT's items or its last's, they would make the two lists differ. Nor
// does one the host cannot write through.
TEST_F(StatementQuery, SeveralSelectsReadNoExactForm)
{
    CNAStatement* pGrouped = Statement(L"SELECT name, amount FROM q GROUP BY name, amount");
    pGrouped->SetTieBreak(0);
    EXPECT_EQ(Select(pGrouped, L"name", 1),
              SEL2_LIMITED + std::string(" GROUP BY `q_db`.`name`, `q_db`.`amount` ORDER BY `q_db`.`name`"));
    for (const wchar_t* pszSet : {L"UNION", L"INTERSECT", L"EXCEPT", L"MINUS", L"UNION ALL"}) {
        const std::wstring strQuery = std::wstring(L"SELECT name, amount FROM q ") + pszSet +
                                      L" SELECT name, amount FROM q WHERE amount > 3";
        SCOPED_TRACE(NarrowAscii(strQuery));
        CNAStatement* p = Statement(strQuery.c_str());
        p->SetTieBreak(0);
        // Read as it stands: an order of its own would name one SELECT's
        // columns.
        EXPECT_EQ(Select(p, L"name", 1),
                  SEL2_LIMITED + (" " + NarrowAscii(pszSet)) + " SELECT name, amount FROM q WHERE amount > 3");
    }
}
