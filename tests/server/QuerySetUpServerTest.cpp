// How a host query is set up on the private server: a join is seen in the
// query text whatever its letter case, a query sent as written defines an
// output for each of its columns, and an internal query may be run without
// asking for its statement; its columns are found by number or name.
#include "access/sql/INAQueryExecution.h"
#include "access/sql/NACommand.h"
#include "access/table/NAInternalParse.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/HostQueryServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class QuerySetUpServer : public HostQueryServerTest {
protected:
    QuerySetUpServer() : HostQueryServerTest("zt39s") {}
};

// The host's options for one run: the item to browse on and the flags.
class CExecution : public INAQueryExecution {
public:
    CExecution(const wchar_t* pszItem, unsigned int nFlags) : m_pszItem(pszItem), m_nFlags(nFlags) {}
    int nGetVersion() const override { return 1; }
    int nGetCompatSince() const override { return 1; }
    int nGetNAVersion() const override { return 0; }
    int nGetNACompatSince() const override { return 0; }
    void NAVersion_EmptySlot_3() override {}
    void ExternalAddRef() override {}
    unsigned int nExternalRelease() override { return 0; }
    const wchar_t* pszGetParseItem() const override { return m_pszItem; }
    unsigned int nGetParseFlags() const override { return m_nFlags; }

private:
    const wchar_t* m_pszItem;
    unsigned int m_nFlags;
};

} // namespace

TEST_F(QuerySetUpServer, AJoinIsSeenInAnyLetterCase)
{
    for (const wchar_t* psz : {L"SELECT t.id, u.k FROM t join u ON u.tid = t.id ORDER BY t.id",
                               L"SELECT t.id, u.k FROM t Join u ON u.tid = t.id ORDER BY t.id"}) {
        SCOPED_TRACE(UTF8Of(psz));
        CNATable* p = Run(psz, 0);
        ASSERT_NE(p, nullptr);
        EXPECT_NE(Access(p)->eGetQueryMode() & CNADataAccess::QM_JOIN, 0u);
        const std::wstring strItem = Access(p)->pclGetLastStatementNoRef()->pszGetParseItem();
        EXPECT_EQ(Walk(p, strItem.c_str(), true, true, 0, L"k"),
                  List("SELECT u.k FROM t JOIN u ON u.tid = t.id ORDER BY t.id"));
    }
}

TEST_F(QuerySetUpServer, AQuerySentAsWrittenDefinesEachOfItsColumns)
{
    m_pCatalogue = Catalogue(m_pHost);
    CNATable* p = Run(L"SELECT id, name, n FROM t WHERE n <= 20", CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(p, nullptr);
    CNADataAccess* pAccess = Access(p);
    CNAStatement* pLast = pAccess->pclGetLastStatementNoRef();
    ASSERT_NE(pLast, nullptr);
    ASSERT_NE(pLast->pclGetCommandNoRef(), nullptr);
    EXPECT_EQ(pLast->pclGetCommandNoRef()->nGetDefineNbr(), pAccess->pclGetCurrentRecordNoRef()->nGetNbColumn());
    EXPECT_EQ(pLast->pclGetCommandNoRef()->nGetDefineNbr(), 3);
}

TEST_F(QuerySetUpServer, AnInternalQueryRunsWithoutHandingItsStatementOut)
{
    CNAError* pError = m_pDriver->pclGetError();
    CMySQLConnection* pCnx = static_cast<CMySQLConnection*>(m_pDriver->pclGetConnectionByID(Open()));
    ASSERT_NE(pCnx, nullptr);
    CNADataAccess* pAccess = CNADriver::s_pclDriver->pclAllocDataAccess(nullptr, pCnx, pError);
    ASSERT_NE(pAccess, nullptr);
    pAccess->AddRef();
    for (const wchar_t* psz : {L"SELECT id FROM t ORDER BY id", L"DO 1"}) {
        SCOPED_TRACE(UTF8Of(psz));
        Sent();
        EXPECT_EQ(pAccess->bExecuteQueryInternal(nullptr, L"$ZTInternal", psz), 1) << Report();
        EXPECT_EQ(Sent(), std::vector<std::string>{UTF8Of(psz)});
    }
    // Asked for, the statement comes with one reference more than the data
    // access keeps on it.
    ASSERT_EQ(pAccess->bExecuteQueryInternal(nullptr, L"$ZTInternal", L"SELECT id FROM t"), 1) << Report();
    ASSERT_NE(pAccess->pclGetLastStatementNoRef(), nullptr);
    const unsigned int nKept = pAccess->pclGetLastStatementNoRef()->nGetRef();
    CNAStatement* pStatement = nullptr;
    ASSERT_EQ(pAccess->bExecuteQueryInternal(&pStatement, L"$ZTInternal", L"SELECT id FROM t"), 1) << Report();
    ASSERT_NE(pStatement, nullptr);
    EXPECT_EQ(pStatement->nGetRef(), nKept + 1);
    pStatement->nRelease();
    EXPECT_EQ(pAccess->nRelease(), 0u);

    // The columns of an internal query, by number and by name; no name
    // finds none.
    CNAInternalParse* pParse = CNAInternalParse::s_pclGetNAInternalParse(L"SELECT id, name FROM t", pError, pCnx);
    ASSERT_NE(pParse, nullptr) << Report();
    pParse->m_nRefCount++;
    ASSERT_EQ(pParse->nGetColumnNbr(), 2);
    EXPECT_EQ(pParse->pclGetColumnNoRef(L"name"), pParse->pclGetColumnNoRef(1));
    EXPECT_NE(pParse->pclGetColumnNoRef(1), nullptr);
    EXPECT_EQ(pParse->pclGetColumnNoRef(static_cast<const wchar_t*>(nullptr)), nullptr);
    EXPECT_EQ(pParse->pclGetColumnNoRef(-1), nullptr);
    EXPECT_EQ(pParse->dwRelease(), 0u);
    m_pDriver->nReleaseConnection(pCnx);
}

TEST_F(QuerySetUpServer, ARefusedTextIsReportedUnderTheQuerysName)
{
    CHostConnectionDescription* pHost = HostOn(L"ZT Unicode Support=0", L"zt1252");
    m_pCatalogue = Catalogue(pHost);
    ISQLParserInformation* pi = Parse(L"SELECT id FROM t WHERE name = '\u03A9'", m_pCatalogue);
    ASSERT_NE(pi, nullptr);
    INATable* piTable = nullptr;
    EXPECT_EQ(m_piDriver->bHExecuteRequeteSQLEx(&piTable, Context(), L"zt_named_query", pHost, pi,
                                                CNADataAccess::QM_WITHOUT_CORRECTION, nullptr),
              0);
    EXPECT_EQ(piTable, nullptr);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CODE_PAGE)) << Report();
    EXPECT_NE(Report().find("zt_named_query"), std::string::npos) << Report();
}

TEST_F(QuerySetUpServer, TheHostsOptionsChooseTheFirstBrowse)
{
    m_pCatalogue = Catalogue(m_pHost);
    const struct {
        const char* pszCase;
        const wchar_t* pszItem;
        const char* pszBrowsed;   // the item browsed
        unsigned int nQueryOrder; // whether the query's order is asked
        const char* pszFirst;     // the server's first value of that item
    } cases[] = {
        {"an output column", L"name", "name", 0, "SELECT name FROM t WHERE n > 3 ORDER BY name LIMIT 1"},
        {"one numbered beside a column", L"NAME2", "NAME2", 0, "SELECT n * 2 FROM t WHERE n > 3 ORDER BY 1 LIMIT 1"},
        {"no such column", L"nosuch", "id", CNADataAccess::WPF_QUERY_ORDER,
         "SELECT id FROM t WHERE n > 3 ORDER BY id LIMIT 1"},
        {"no column named", L"", "id", CNADataAccess::WPF_QUERY_ORDER, "SELECT id FROM t WHERE n > 3 ORDER BY id LIMIT 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        const CExecution clOptions(c.pszItem, 0x100);
        ISQLParserInformation* pi =
            Parse(L"SELECT id, name, n, n * 2 AS NAME FROM t WHERE n > 3 ORDER BY id", m_pCatalogue);
        ASSERT_NE(pi, nullptr);
        INATable* piTable = nullptr;
        ASSERT_EQ(m_piDriver->bHExecuteRequeteSQLEx(&piTable, Context(), L"Q", m_pHost, pi, 0, &clOptions), 1)
            << Report();
        ASSERT_NE(piTable, nullptr);
        m_apTable.push_back(piTable);
        CNADataAccess* pAccess = Access(static_cast<CNATable*>(piTable));
        CNAStatement* pLast = pAccess->pclGetLastStatementNoRef();
        ASSERT_NE(pLast, nullptr);
        EXPECT_EQ(Narrow(pLast->pszGetParseItem()), c.pszBrowsed);
        EXPECT_EQ(Value(pAccess, Wide(c.pszBrowsed).c_str()), First(c.pszFirst));
        EXPECT_EQ(pLast->nGetParseFlags() & CNADataAccess::WPF_QUERY_ORDER, c.nQueryOrder);
        EXPECT_NE(pLast->nGetParseFlags() & CNADataAccess::WPF_CONTINUE, 0u);
        EXPECT_NE(pLast->nGetParseFlags() & 0x100u, 0u) << "the host's own flags";
    }
}
