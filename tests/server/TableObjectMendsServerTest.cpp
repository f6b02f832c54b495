// The table object on the private server, as the host calls it: a parsed
// condition with nothing in it, places in thousandths after a delete, a
// session the server ended and the host's record around a count of a query
// sent as written. Expected rows and counts come from the server itself.
#include "access/statement/NAStatement.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

class TableObjectMends : public TableObjectServer {
protected:
    TableObjectMends()
        : TableObjectServer("zt51m",
                            {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                             "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA'), (9, 'AZ'), (1, 'C'), (4, 'BA'),"
                             " (8, 'CA'), (2, 'D'), (6, 'DA'), (10, 'E')",
                             "CREATE TABLE th (id INT PRIMARY KEY, v INT NOT NULL, KEY(v))",
                             "INSERT INTO th SELECT seq, 100 - seq FROM seq_1_to_30",
                             "CREATE TABLE g (id INT PRIMARY KEY, u1 INT NULL, UNIQUE KEY(u1))",
                             "INSERT INTO g VALUES (1, 30), (2, 10), (3, 40), (4, 20)"})
    {
    }
    std::unique_ptr<CHostSQLParse> Parse(const wchar_t* pszText)
    {
        std::wstring strError;
        std::unique_ptr<CHostSQLParse> p = CHostSQLParse::pParse(pszText, nullptr, &m_clValues, &strError);
        EXPECT_NE(p, nullptr) << Narrow(strError.c_str());
        return p;
    }
    int Thousandths(INATable* pi, CHostContext* pContext, const wchar_t* pszItem)
    {
        int n = -7;
        EXPECT_EQ(pi->bHPositionCourante(pContext, pszItem, &n, kPrecision, 0), 1) << Error(pi, pContext);
        return n;
    }
    // The nth record's place (from 1) among the rows of th, rounded up.
    int Expected(long long nRecord)
    {
        const long long nCount = std::stoll(First("SELECT COUNT(*) FROM th"));
        return static_cast<int>((nRecord * 1000 + nCount - 1) / nCount);
    }
    // The server's id of the data access's session.
    std::string SessionId(INATable* pi, CHostContext* pContext)
    {
        CNADataAccess* p = Access(pi, pContext);
        CTString cs;
        EXPECT_EQ(p->pclGetConnection()->bGetRequestedValueString(p->pclGetError(), &cs, 0, L"SELECT CONNECTION_ID()"),
                  1)
            << Error(pi, pContext);
        return Narrow(cs.pszGet());
    }
    // Waits until the server no longer lists the session.
    void SessionGone(const std::string& strId)
    {
        EXPECT_EQ(ServerSettled(
                      [&] { return First("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + strId); },
                      std::string("0")),
                  "0");
    }
    // Ends the data access's server session from the other client and waits
    // until the server has carried it out.
    void Kill(INATable* pi, CHostContext* pContext)
    {
        const std::string strId = SessionId(pi, pContext);
        ASSERT_TRUE(Admin("KILL " + strId));
        SessionGone(strId);
    }

    // The host's text for the item in the record buffer it holds, the item
    // found in the table's own description (a query has no other).
    void SetHostText(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, const wchar_t* pszText)
    {
        INADataSourceDescription* piDescription = pi->piGetDataSourceDescription();
        ASSERT_NE(piDescription, nullptr);
        INAItemDescription* piItem = piDescription->piNAGetItem(pszItem);
        piDescription->nExternalRelease();
        ASSERT_NE(piItem, nullptr);
        CNAKXRecord* pRecord = nullptr;
        ASSERT_EQ(pi->bGetRecord(pContext, &pRecord), 1) << Error(pi, pContext);
        const CHostText v(pszText);
        pRecord->vSetItemValue(piItem, &v, 0);
        pRecord->nRelease();
        piItem->nExternalRelease();
    }

    // Parses outlive the tables: the driver keeps their digest.
    CHostQueryParametersValue m_clValues;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
};

// ---- A parsed condition without WHERE ---------------------------------------------------------------------------------

// Nothing to keep to: the filter leaves every row in, and later searches
// and bounded filters on the data access still reach the server.
TEST_F(TableObjectMends, AParsedConditionWithoutWhereFiltersNothing)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    m_tabParse.push_back(Parse(L"SELECT * FROM t"));
    ASSERT_NE(m_tabParse.back(), nullptr);
    wchar_t szItem[255] = L"";
    ASSERT_EQ(pi->bHFiltre(pContext, m_tabParse.back().get(), szItem), 1) << Error(pi, pContext);
    ASSERT_NE(szItem[0], 0);
    EXPECT_EQ(Walk(pi, pContext, szItem, L"id"), List("SELECT id FROM t ORDER BY " + Narrow(szItem)));
    EXPECT_EQ(Walk(pi, pContext, L"name", L"id"), List("SELECT id FROM t ORDER BY name"));

    // A search under it.
    const CHostText v(L"B");
    ASSERT_EQ(pi->bHRecherche(pContext, L"name", &v, 0, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Found(pi, pContext, L"name"), 1);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT id FROM t WHERE name LIKE 'B%' ORDER BY name LIMIT 1"));

    // Bounds on an item with the same empty condition: the bounds alone.
    const CInt clLow(3), clHigh(6);
    ASSERT_EQ(pi->bHFiltre(pContext, L"id", &clLow, 1, &clHigh, 0, m_tabParse.back().get()), 1) << Error(pi, pContext);
    EXPECT_EQ(Walk(pi, pContext, L"id", L"id"), List("SELECT id FROM t WHERE id >= 3 AND id < 6 ORDER BY id"));
    long long llCount = -1;
    ASSERT_EQ(pi->bHNbEnr(pContext, &llCount, 0x10, CNADataAccess::WPF_CONTINUE), 1) << Error(pi, pContext);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM t WHERE id >= 3 AND id < 6"));
}

// ---- Thousandths after a delete -----------------------------------------------------------------------------------

// A row deleted through the table stays in the browse's result: it counts
// neither among the records nor before the current one.
TEST_F(TableObjectMends, ThousandthsLeaveADeletedRowOut)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"th", pContext);
    ASSERT_NE(pi, nullptr);
    struct SCase {
        const char* pszName;
        const wchar_t* pszItem;
        int nSkip; // records read past the first before the delete
    };
    // id and v run opposite ways: the browse on v reads the ids backwards.
    const SCase aCase[] = {{"first on id", L"id", 0}, {"tenth on id", L"id", 9}, {"first on v", L"v", 0},
                           {"fifth on v", L"v", 4}};
    for (const SCase& c : aCase) {
        SCOPED_TRACE(c.pszName);
        const std::string strOrder = c.pszItem == std::wstring(L"id") ? "id" : "v";
        ASSERT_EQ(Read(pi, pContext, c.pszItem, FIRST), 1) << Error(pi, pContext);
        for (int i = 0; i < c.nSkip; i++)
            ASSERT_EQ(Read(pi, pContext, c.pszItem, NEXT), 1) << Error(pi, pContext);
        ASSERT_EQ(pi->bHSupprime(pContext, 0, kNoLock), 1) << Error(pi, pContext);
        const Rows tabIds = List("SELECT id FROM th ORDER BY " + strOrder);
        // The deleted record's place is taken by the one after it.
        for (size_t n = static_cast<size_t>(c.nSkip); n < tabIds.size(); n++) {
            SCOPED_TRACE(tabIds[n]);
            ASSERT_EQ(Read(pi, pContext, c.pszItem, NEXT), 1) << Error(pi, pContext);
            ASSERT_FALSE(Out(pi, pContext, c.pszItem));
            ASSERT_EQ(Value(pi, pContext, L"id"), tabIds[n]);
            EXPECT_EQ(Thousandths(pi, pContext, c.pszItem), Expected(static_cast<long long>(n) + 1));
        }
        // From the end backwards, the same places.
        ASSERT_EQ(Read(pi, pContext, c.pszItem, PREVIOUS), 1) << Error(pi, pContext);
        ASSERT_EQ(Value(pi, pContext, L"id"), tabIds[tabIds.size() - 2]);
        EXPECT_EQ(Thousandths(pi, pContext, c.pszItem), Expected(static_cast<long long>(tabIds.size()) - 1));
    }
}

// ---- A session ended by the server ------------------------------------------------------------------------------

// Outside a transaction the read that meets the end reports it, and the
// next read works on a new session: ended by a KILL, twice, then by the
// session's own wait time-out.
TEST_F(TableObjectMends, ASessionEndedByTheServerCostsOneError)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const std::string strFirst = First("SELECT id FROM t ORDER BY id LIMIT 1");
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1) << Error(pi, pContext);
        if (i < 2) {
            ASSERT_NO_FATAL_FAILURE(Kill(pi, pContext));
        } else {
            CNADataAccess* p = Access(pi, pContext);
            const std::string strId = SessionId(pi, pContext);
            ASSERT_EQ(p->pclGetConnection()->bExecuteQueryNoResult(p->pclGetError(), L"SET SESSION wait_timeout = 1"),
                      1)
                << Error(pi, pContext);
            // The server ends the idle session on its own time.
            SessionGone(strId);
        }
        EXPECT_EQ(Read(pi, pContext, L"id", LAST), 0);
        const unsigned int nServer = ErrorOf(pi, pContext)->dwGetDataBaseErrorCode();
        EXPECT_TRUE(nServer == 2013u || nServer == 2006u) << Error(pi, pContext);
        ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1) << Error(pi, pContext);
        EXPECT_EQ(Value(pi, pContext, L"id"), strFirst);
        EXPECT_EQ(Walk(pi, pContext, L"name", L"id"), List("SELECT id FROM t ORDER BY name"));
    }
    // A read on that fails at a block's edge has not met the browse's end.
    CHostContext* pBlocks = Context(2);
    INATable* piBlocks = Open(L"t", pBlocks, HostIn(true, 2));
    ASSERT_NE(piBlocks, nullptr);
    const Rows tabIds = List("SELECT id FROM t ORDER BY id");
    ASSERT_EQ(Third(piBlocks, pBlocks, L"id", true), tabIds[2]);
    ASSERT_EQ(Read(piBlocks, pBlocks, L"id", NEXT), 1) << Error(piBlocks, pBlocks);
    ASSERT_NO_FATAL_FAILURE(Kill(piBlocks, pBlocks));
    EXPECT_EQ(Read(piBlocks, pBlocks, L"id", NEXT), 0);
    ASSERT_EQ(Read(piBlocks, pBlocks, L"id", NEXT), 1) << Error(piBlocks, pBlocks);
    ASSERT_FALSE(Out(piBlocks, pBlocks, L"id"));
    EXPECT_EQ(Value(piBlocks, pBlocks, L"id"), tabIds[4]);
}

// ---- The host's record around a count ---------------------------------------------------------------------------

// A query sent as written, its table cache dropped: the count reads the
// query's rows again, and the host's record stays as the host left it.
TEST_F(TableObjectMends, ACountOfAQueryAsWrittenKeepsTheHostRecord)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Run(L"SELECT id, name FROM t WHERE id <= 8", L"t", pContext, CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(pi->bIsOpened(pContext), 1);
    const std::wstring strItem = Access(pi, pContext)->pszGetBestParseItemName();
    ASSERT_EQ(Read(pi, pContext, strItem.c_str(), FIRST), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bFreeCache(pContext), 1) << Error(pi, pContext);
    ASSERT_FALSE(Access(pi, pContext)->bHasTableCache());
    ASSERT_NO_FATAL_FAILURE(SetHostText(pi, pContext, L"name", L"host's own"));
    const std::string strId = Value(pi, pContext, L"id");
    long long llCount = -1;
    ASSERT_EQ(pi->bHNbEnr(pContext, &llCount, 0x10, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM t WHERE id <= 8"));
    EXPECT_EQ(Value(pi, pContext, L"name"), "host's own");
    EXPECT_EQ(Value(pi, pContext, L"id"), strId);

    // The record buffer the host hands back is the query's record.
    ASSERT_EQ(pi->bIsOpened(pContext), 1);
    CNAKXRecord* pRecord = nullptr;
    ASSERT_EQ(pi->bGetRecord(pContext, &pRecord), 1) << Error(pi, pContext);
    ASSERT_NE(pRecord, nullptr);
    CNAKXRecord* pCopy = pRecord->pclGetClone();
    pRecord->nRelease();
    ASSERT_NE(pCopy, nullptr);
    pCopy->AddRef();
    ASSERT_EQ(Read(pi, pContext, strItem.c_str(), LAST), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT MAX(id) FROM t WHERE id <= 8"));
    // The host's reference goes with a record that was taken.
    if (pi->bSetRecord(pContext, pCopy) != 1) {
        ADD_FAILURE() << Error(pi, pContext);
        pCopy->nRelease();
    }
    EXPECT_EQ(Value(pi, pContext, L"name"), "host's own");
    EXPECT_EQ(Value(pi, pContext, L"id"), strId);
}

// ---- Searches and data accesses -----------------------------------------------------------------------------------

// An exact search on a unique item that allows NULL: found on its value,
// and the browse goes on in the item's order from it.
TEST_F(TableObjectMends, AnExactSearchGoesOnInTheKeyOrder)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"g", pContext);
    ASSERT_NE(pi, nullptr);
    const CInt v(20);
    ASSERT_EQ(pi->bHRecherche(pContext, L"u1", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Found(pi, pContext, L"u1"), 1);
    Rows tab;
    while (!Out(pi, pContext, L"u1") && tab.size() < 10) {
        tab.push_back(Value(pi, pContext, L"u1"));
        ASSERT_EQ(Read(pi, pContext, L"u1", NEXT), 1) << Error(pi, pContext);
    }
    EXPECT_EQ(tab, List("SELECT u1 FROM g WHERE u1 >= 20 ORDER BY u1"));
    // Backwards from the value.
    ASSERT_EQ(pi->bHRecherche(pContext, L"u1", &v, 1, 0, kNoLock, nullptr, 0, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"u1", PREVIOUS), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"u1"), First("SELECT MAX(u1) FROM g WHERE u1 < 20"));
}

// Two data accesses of one table in one host context, under two keys:
// reads on each, in turns, stay on their own browse.
TEST_F(TableObjectMends, TwoDataAccessesOfOneContextStayApart)
{
    CHostContext* pOne = Context(1, 1);
    CHostContext* pTwo = Context(1, 2);
    INATable* pi = Open(L"t", pOne);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(pi->bHOuvre(pTwo, static_cast<eNA_ACCESS>(0), nullptr), 1) << Error(pi, pTwo);
    ASSERT_NE(Access(pi, pOne), Access(pi, pTwo));
    const Rows tabUp = List("SELECT id FROM t ORDER BY id");
    const Rows tabDown = List("SELECT id FROM t ORDER BY name DESC");
    Rows tabOne, tabTwo;
    ASSERT_EQ(Read(pi, pOne, L"id", FIRST), 1) << Error(pi, pOne);
    ASSERT_EQ(Read(pi, pTwo, L"name", LAST), 1) << Error(pi, pTwo);
    while (tabOne.size() < tabUp.size() && !Out(pi, pOne, L"id") && !Out(pi, pTwo, L"name")) {
        tabOne.push_back(Value(pi, pOne, L"id"));
        tabTwo.push_back(Value(pi, pTwo, L"id"));
        ASSERT_EQ(Read(pi, pOne, L"id", NEXT), 1) << Error(pi, pOne);
        ASSERT_EQ(Read(pi, pTwo, L"name", PREVIOUS), 1) << Error(pi, pTwo);
    }
    EXPECT_EQ(tabOne, tabUp);
    EXPECT_EQ(tabTwo, tabDown);
    EXPECT_TRUE(Out(pi, pOne, L"id"));
    EXPECT_TRUE(Out(pi, pTwo, L"name"));
    // A failed read on one leaves the other's record where it stood.
    ASSERT_EQ(Read(pi, pTwo, L"name", FIRST), 1) << Error(pi, pTwo);
    EXPECT_EQ(Read(pi, pOne, L"no_such_item", FIRST), 0);
    EXPECT_EQ(Value(pi, pTwo, L"id"), tabDown.back());
    ASSERT_EQ(Read(pi, pTwo, L"name", NEXT), 1) << Error(pi, pTwo);
    EXPECT_EQ(Value(pi, pTwo, L"id"), tabDown[tabDown.size() - 2]);
}

} // namespace
