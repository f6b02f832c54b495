// A query's whole-table cache on the private server, through the table
// object as the host calls it, against the server's own rows: a roll-back
// takes back what the cache took, a record added to an empty result is
// read, writes made through other contexts and other table objects reach
// the cache, and a read that fails leaves no cache behind that cannot
// serve, nor drops one that serves other browses.
#include "access/statement/NATableCache.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;
constexpr unsigned int kContinue = CNADataAccess::WPF_CONTINUE;
constexpr unsigned int kMayModify = CNADataAccess::QM_MAY_MODIFY;

class TableCacheTruth : public TableObjectServer {
protected:
    TableCacheTruth()
        : TableObjectServer("zt51tc", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, "
                                       "n INT NOT NULL, KEY(name), KEY(n)) CHARACTER SET utf8mb4",
                                       "INSERT INTO t VALUES (7, 'ABC', 1), (3, 'B', 2), (5, 'AA', 3), (9, 'AZ', 4), "
                                       "(1, 'C', 5), (4, 'BA', 6), (8, 'CA', 7), (2, 'D', 8), (6, 'DA', 9)",
                                       "CREATE TABLE e (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, "
                                       "n INT NOT NULL, KEY(name)) CHARACTER SET utf8mb4"})
    {
    }
    // Every record of the browse, from one end to the other with the flags;
    // the ids, at most 500.
    static Rows Browse(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags,
                       bool bBackward = false)
    {
        Rows tab;
        for (eNA_PARSEDIRECTION e = bBackward ? LAST : FIRST; tab.size() < 500; e = bBackward ? PREVIOUS : NEXT) {
            if (pi->bHLitxxx(pc, pszItem, e, 1, kNoLock, nullptr, nFlags) != 1) {
                ADD_FAILURE() << Error(pi, pc);
                break;
            }
            if (Out(pi, pc, pszItem))
                break;
            tab.push_back(Value(pi, pc, L"id"));
        }
        return tab;
    }
    // The query's rows read to their end, so that its cache holds them all.
    INATable* Cached(const std::wstring& strText, CHostContext* pc)
    {
        INATable* pi = Run(strText, L"t", pc, kMayModify);
        if (pi == nullptr)
            return nullptr;
        Browse(pi, pc, L"name", kContinue);
        EXPECT_TRUE(Access(pi, pc)->bHasTableCache());
        return pi;
    }
    // Every browse the cache serves, both ways, on each item, and the
    // count, against the server's rows of the condition.
    void ExpectServerRows(INATable* pi, CHostContext* pc, const std::string& strWhere)
    {
        for (const wchar_t* pszItem : {L"name", L"id", L"n"}) {
            const std::string strItem = Narrow(pszItem);
            SCOPED_TRACE(strItem);
            const Rows tab = List("SELECT id FROM t" + strWhere + " ORDER BY " + strItem + ", id");
            EXPECT_EQ(Browse(pi, pc, pszItem, kCache), tab);
            Rows tabBack(tab.rbegin(), tab.rend());
            EXPECT_EQ(Browse(pi, pc, pszItem, kCache, true), tabBack);
        }
        long long llCount = -1;
        ASSERT_EQ(pi->bHNbEnr(pc, &llCount, 0x10, kContinue), 1) << Error(pi, pc);
        EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM t" + strWhere));
    }
    // Through the query's record: the current one modified, a new one added.
    void Modify(INATable* pi, CHostContext* pc, int nN)
    {
        PutItem(pi, pc, L"n", CInt(nN));
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    }
    void Add(INATable* pi, CHostContext* pc, int nId, const std::wstring& strName, int nN)
    {
        PutItem(pi, pc, L"id", CInt(nId));
        PutItem(pi, pc, L"name", CHostText(strName));
        PutItem(pi, pc, L"n", CInt(nN));
        ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    }
    // The query's record moved onto the id by its browse.
    static void Seek(INATable* pi, CHostContext* pc, const std::string& strId)
    {
        ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, kCache), 1) << Error(pi, pc);
        while (!Out(pi, pc, L"id") && Value(pi, pc, L"id") != strId)
            ASSERT_EQ(pi->bHLitxxx(pc, L"id", NEXT, 1, kNoLock, nullptr, kCache), 1) << Error(pi, pc);
        ASSERT_EQ(Value(pi, pc, L"id"), strId);
    }
    // The query catalogue with each table under the logical and physical
    // names a host gives it.
    void NameTables(const std::vector<std::vector<std::wstring>>& tabNames)
    {
        BindValueMachine();
        m_pQueryCatalogue.reset(new CHostCatalogue);
        for (const std::vector<std::wstring>& tab : tabNames) {
            INADataSourceDescription* pi = m_piDriver->piGetTableDesc(tab[0].c_str(), m_pHost);
            ASSERT_NE(pi, nullptr) << Report();
            m_pQueryCatalogue->Add(tab[1], tab[2], pi);
            pi->nExternalRelease();
        }
    }
    // A record of e added through the table object in the context.
    static void AddToE(INATable* pi, CHostContext* pc, int nId)
    {
        PutItem(pi, pc, L"id", CInt(nId));
        PutItem(pi, pc, L"name", CHostText(L"E" + std::to_wstring(nId)));
        PutItem(pi, pc, L"n", CInt(nId));
        ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    }
    // The n of the record of t with the id, modified through the table
    // object in the context.
    static void ModifyT(INATable* pi, CHostContext* pc, const std::string& strId, int nN)
    {
        ASSERT_NO_FATAL_FAILURE(Seek(pi, pc, strId));
        PutItem(pi, pc, L"n", CInt(nN));
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    }
};

// Adds, modifies and deletes made through the query in a transaction that
// is rolled back: the cache shows the server's rows again, and a browse
// that stood on a row goes on from it.
TEST_F(TableCacheTruth, ARollBackTakesBackWhatTheCacheTook)
{
    CHostContext* pc = Context(3);
    INATable* pi = Cached(L"SELECT id, name, n FROM t", pc);
    ASSERT_NE(pi, nullptr);
    const Rows tabBefore = List("SELECT id FROM t ORDER BY name, id");
    ASSERT_EQ(m_piDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    ASSERT_NO_FATAL_FAILURE(Seek(pi, pc, "5"));
    ASSERT_NO_FATAL_FAILURE(Modify(pi, pc, 50));
    ASSERT_NO_FATAL_FAILURE(Seek(pi, pc, "4"));
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    ASSERT_NO_FATAL_FAILURE(Add(pi, pc, 20, L"BB", 20));
    // Inside the transaction the cache shows the delete.
    const Rows tabInside = Browse(pi, pc, L"n", kCache);
    EXPECT_EQ(std::count(tabInside.begin(), tabInside.end(), "4"), 0);
    // The name browse stands on its third record.
    ASSERT_EQ(Third(pi, pc, L"name", true), tabBefore[2]);
    ASSERT_EQ(m_piDriver->bTransactionRollBack(m_pHost, L"T"), 1) << Report();
    EXPECT_FALSE(Access(pi, pc)->bHasTableCache());
    Rows tabRest;
    for (;;) {
        ASSERT_EQ(pi->bHLitxxx(pc, L"name", NEXT, 1, kNoLock, nullptr, kCache), 1) << Error(pi, pc);
        if (Out(pi, pc, L"name") || tabRest.size() > 20)
            break;
        tabRest.push_back(Value(pi, pc, L"id"));
    }
    EXPECT_EQ(tabRest, Rows(tabBefore.begin() + 3, tabBefore.end()));
    ExpectServerRows(pi, pc, "");
}

// The same writes in a transaction whose session the server ends: the
// commit fails, and the cache shows the server's rows, not the lost ones.
TEST_F(TableCacheTruth, ACommitThatLostItsSessionTakesBackWhatTheCacheTook)
{
    CHostContext* pc = Context(3);
    INATable* pi = Cached(L"SELECT id, name, n FROM t", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(m_piDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    ASSERT_NO_FATAL_FAILURE(Seek(pi, pc, "5"));
    ASSERT_NO_FATAL_FAILURE(Modify(pi, pc, 50));
    ASSERT_NO_FATAL_FAILURE(Add(pi, pc, 20, L"BB", 20));
    const Rows tabInside = Browse(pi, pc, L"id", kCache);
    ASSERT_EQ(std::count(tabInside.begin(), tabInside.end(), "20"), 1);
    ASSERT_NO_FATAL_FAILURE(KillSessions());
    ASSERT_EQ(m_piDriver->bTransactionCommit(m_pHost, L"T"), 0);
    EXPECT_FALSE(Access(pi, pc)->bHasTableCache());
    // The first read meets the ended session; the next one a new session.
    if (pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, kCache) != 1) {
        ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, kCache), 1) << Error(pi, pc);
    }
    ExpectServerRows(pi, pc, "");
}

// A record added through a query of an empty table is read from either end.
TEST_F(TableCacheTruth, ARecordAddedToAnEmptyResultIsRead)
{
    CHostContext* pc = Context(3);
    INATable* pi = Run(L"SELECT id, name, n FROM e", L"e", pc, kMayModify);
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ(Browse(pi, pc, L"name", kContinue), Rows{});
    EXPECT_EQ(Browse(pi, pc, L"name", kCache), Rows{});
    ASSERT_NO_FATAL_FAILURE(Add(pi, pc, 4, L"K", 1));
    ASSERT_EQ(List("SELECT id FROM e"), Rows{"4"});
    for (const wchar_t* pszItem : {L"name", L"id"}) {
        SCOPED_TRACE(Narrow(pszItem));
        EXPECT_EQ(Browse(pi, pc, pszItem, kCache), Rows{"4"});
        EXPECT_EQ(Browse(pi, pc, pszItem, kCache, true), Rows{"4"});
    }
    ASSERT_NO_FATAL_FAILURE(Add(pi, pc, 2, L"J", 2));
    EXPECT_EQ(Browse(pi, pc, L"name", kCache), List("SELECT id FROM e ORDER BY name"));
    EXPECT_EQ(Browse(pi, pc, L"id", kCache, true), List("SELECT id FROM e ORDER BY id DESC"));
}

// The same, whatever the flags of the read before the add and of the
// reads after it: with the table cache or without, from the query's
// default browse or another item's.
TEST_F(TableCacheTruth, AnAddToAnEmptyResultIsReadWhateverTheFlags)
{
    int k = 0;
    for (const unsigned int nBefore : {kCache, kContinue, 0x24000u, 0u}) {
        for (const unsigned int nAfter : {kCache, kContinue, kCache | kContinue, 0u}) {
            CHostContext* pc = Context(3 + k++);
            INATable* pi = Run(L"SELECT id, name, n FROM e", L"e", pc, kMayModify);
            ASSERT_NE(pi, nullptr);
            EXPECT_EQ(Browse(pi, pc, L"id", nBefore), Rows{});
            ASSERT_NO_FATAL_FAILURE(Add(pi, pc, 4 + k, L"K", 1));
            const Rows tab = List("SELECT id FROM e");
            ASSERT_EQ(tab.size(), 1u);
            for (const wchar_t* pszItem : {L"id", L"name"}) {
                SCOPED_TRACE(Narrow(pszItem) + " " + std::to_string(nBefore) + " " + std::to_string(nAfter));
                EXPECT_EQ(Browse(pi, pc, pszItem, nAfter), tab);
                EXPECT_EQ(Browse(pi, pc, pszItem, nAfter, true), tab);
            }
            ASSERT_TRUE(Admin("DELETE FROM e"));
        }
    }
}

// Writes through the table in another context, and through the same
// query run in another context, reach the query's cache: every browse it
// serves and its count are the server's.
TEST_F(TableCacheTruth, WritesThroughOtherContextsReachTheCache)
{
    CHostContext* pcTable = Context(1);
    CHostContext* pcQuery = Context(2);
    CHostContext* pcOther = Context(4);
    INATable* piQuery = Cached(L"SELECT id, name, n FROM t WHERE n < 100", pcQuery);
    ASSERT_NE(piQuery, nullptr);
    INATable* piTable = Open(L"t", pcTable);
    ASSERT_NE(piTable, nullptr);
    ASSERT_NO_FATAL_FAILURE(Seek(piTable, pcTable, "5"));
    SetItem(piTable, pcTable, L"n", CInt(60));
    ASSERT_EQ(piTable->bHModifie(pcTable, 0, 0, kNoLock), 1) << Error(piTable, pcTable);
    ASSERT_NO_FATAL_FAILURE(Seek(piTable, pcTable, "4"));
    ASSERT_EQ(piTable->bHSupprime(pcTable, 0, kNoLock), 1) << Error(piTable, pcTable);
    SetItem(piTable, pcTable, L"id", CInt(30));
    SetItem(piTable, pcTable, L"name", L"AB");
    SetItem(piTable, pcTable, L"n", CInt(0));
    ASSERT_EQ(piTable->bHAjoute(pcTable, 0, kNoLock), 1) << Error(piTable, pcTable);
    {
        SCOPED_TRACE("written through the table");
        ExpectServerRows(piQuery, pcQuery, " WHERE n < 100");
    }
    // The same query in a third context writes; the second one's cache follows.
    INATable* piOther = Cached(L"SELECT id, name, n FROM t WHERE n < 100", pcOther);
    ASSERT_NE(piOther, nullptr);
    ASSERT_NE(piOther, piQuery);
    ASSERT_NO_FATAL_FAILURE(Seek(piOther, pcOther, "30"));
    ASSERT_NO_FATAL_FAILURE(Modify(piOther, pcOther, 200));
    ASSERT_NO_FATAL_FAILURE(Add(piOther, pcOther, 31, L"ZZ", 1));
    {
        SCOPED_TRACE("written through the query in another context");
        ExpectServerRows(piQuery, pcQuery, " WHERE n < 100");
    }
}

// The query's table is away when a read with the table cache runs: the
// read fails and says why; once the table is back, reads with the cache
// serve the server's rows.
TEST_F(TableCacheTruth, AFailedReadLeavesNoCacheThatCannotServe)
{
    CHostContext* pc = Context(3);
    INATable* pi = Run(L"SELECT id, name, n FROM t", L"t", pc, kMayModify);
    ASSERT_NE(pi, nullptr);
    ASSERT_TRUE(Admin("RENAME TABLE t TO t_away"));
    for (const unsigned int nFlags : {kCache | kContinue, kCache}) {
        EXPECT_EQ(pi->bHLitxxx(pc, L"name", FIRST, 1, kNoLock, nullptr, nFlags), 0);
        EXPECT_NE(ErrorOf(pi, pc)->nGetUserErrorCode(), 0u) << Error(pi, pc);
        EXPECT_NE(ErrorOf(pi, pc)->eGetErrorLevel(), NA_ERRORLEVEL_NOERROR);
    }
    ASSERT_TRUE(Admin("RENAME TABLE t_away TO t"));
    for (const unsigned int nFlags : {kCache, kCache | kContinue}) {
        SCOPED_TRACE(nFlags);
        EXPECT_EQ(Browse(pi, pc, L"name", nFlags), List("SELECT id FROM t ORDER BY name, id"));
        EXPECT_EQ(Browse(pi, pc, L"id", nFlags, true), List("SELECT id FROM t ORDER BY id DESC"));
    }
}


// A write to another table leaves a query's cache in place, while a write
// to its own table through another context still reaches it.
TEST_F(TableCacheTruth, AWriteToAnotherTableLeavesTheCache)
{
    CHostContext* pcTable = Context(1);
    CHostContext* pcQuery = Context(2);
    INATable* piQuery = Cached(L"SELECT id, name, n FROM t", pcQuery);
    ASSERT_NE(piQuery, nullptr);
    INATable* piOther = Open(L"e", pcTable);
    ASSERT_NE(piOther, nullptr);
    SetItem(piOther, pcTable, L"id", CInt(1));
    SetItem(piOther, pcTable, L"name", L"E");
    SetItem(piOther, pcTable, L"n", CInt(1));
    ASSERT_EQ(piOther->bHAjoute(pcTable, 0, kNoLock), 1) << Error(piOther, pcTable);
    ASSERT_EQ(First("SELECT COUNT(*) FROM e"), "1");
    EXPECT_TRUE(Access(piQuery, pcQuery)->bHasTableCache());
    ExpectServerRows(piQuery, pcQuery, "");
    CHostContext* pcOwn = Context(5);
    INATable* piTable = Open(L"t", pcOwn);
    ASSERT_NE(piTable, nullptr);
    ASSERT_NO_FATAL_FAILURE(Seek(piTable, pcOwn, "3"));
    SetItem(piTable, pcOwn, L"id", CInt(40));
    SetItem(piTable, pcOwn, L"name", L"AAA");
    SetItem(piTable, pcOwn, L"n", CInt(40));
    ASSERT_EQ(piTable->bHAjoute(pcOwn, 0, kNoLock), 1) << Error(piTable, pcOwn);
    EXPECT_FALSE(Access(piQuery, pcQuery)->bHasTableCache());
    ExpectServerRows(piQuery, pcQuery, "");
}

// A query names its table with its database, back-quoted, or reads it under
// an alias: a write to that table through another context reaches its
// cache, a write to another table leaves it.
TEST_F(TableCacheTruth, AWriteReachesAQueryWhateverNameItGivesTheTable)
{
    const std::wstring strDatabase = Wide(m_strDatabase);
    ASSERT_NO_FATAL_FAILURE(NameTables({{L"t", L"t", L"t"},
                                        {L"t", L"qt", L"`" + strDatabase + L"`.`t`"}}));
    CHostContext* pcWriter = Context(1);
    INATable* piT = Open(L"t", pcWriter);
    INATable* piE = Open(L"e", pcWriter);
    ASSERT_NE(piT, nullptr);
    ASSERT_NE(piE, nullptr);
    unsigned int k = 2;
    for (const wchar_t* psz : {L"SELECT id, name, n FROM qt", L"SELECT x.id, x.name, x.n FROM t AS x",
                               L"SELECT x.id, x.name, x.n FROM qt x"}) {
        SCOPED_TRACE(Narrow(psz));
        CHostContext* pc = Context(k);
        INATable* pi = Cached(psz, pc);
        ASSERT_NE(pi, nullptr);
        ASSERT_NO_FATAL_FAILURE(AddToE(piE, pcWriter, static_cast<int>(k)));
        EXPECT_TRUE(Access(pi, pc)->bHasTableCache());
        ASSERT_NO_FATAL_FAILURE(ModifyT(piT, pcWriter, "5", static_cast<int>(100 + k)));
        EXPECT_FALSE(Access(pi, pc)->bHasTableCache());
        ExpectServerRows(pi, pc, "");
        k++;
    }
}

// The host's parse names none of the query's tables (as for a derived
// table): a write to any table through another context may change its
// rows, so its cache follows the server.
TEST_F(TableCacheTruth, AQueryWhoseTablesAreNotNamedFollowsEveryWrite)
{
    CHostContext* pcQuery = Context(2);
    INATable* piQuery = Cached(L"SELECT id, name, n FROM t", pcQuery);
    ASSERT_NE(piQuery, nullptr);
    CHostContext* pcWriter = Context(1);
    INATable* piT = Open(L"t", pcWriter);
    ASSERT_NE(piT, nullptr);
    m_tabQueryParse.back()->SetUnnamedFrom(true);
    ASSERT_NO_FATAL_FAILURE(ModifyT(piT, pcWriter, "9", 90));
    EXPECT_FALSE(Access(piQuery, pcQuery)->bHasTableCache());
    m_tabQueryParse.back()->SetUnnamedFrom(false);
    {
        SCOPED_TRACE("its own table written");
        ExpectServerRows(piQuery, pcQuery, "");
    }
    Browse(piQuery, pcQuery, L"name", kContinue);
    ASSERT_TRUE(Access(piQuery, pcQuery)->bHasTableCache());
    INATable* piE = Open(L"e", pcWriter);
    ASSERT_NE(piE, nullptr);
    m_tabQueryParse.back()->SetUnnamedFrom(true);
    ASSERT_NO_FATAL_FAILURE(AddToE(piE, pcWriter, 3));
    EXPECT_FALSE(Access(piQuery, pcQuery)->bHasTableCache());
    m_tabQueryParse.back()->SetUnnamedFrom(false);
}

// A browse read from the server (not the cache) on an empty result stands
// on no record: a record added through the table in another context, and
// one added by another client before a roll-back, are read from either end.
TEST_F(TableCacheTruth, AServerBrowseOfAnEmptyResultReadsAgain)
{
    CHostContext* pcQuery = Context(2);
    INATable* piQuery = Run(L"SELECT id, name, n FROM e", L"e", pcQuery, kMayModify);
    ASSERT_NE(piQuery, nullptr);
    ASSERT_EQ(Browse(piQuery, pcQuery, L"id", 0), Rows{});
    CHostContext* pcWriter = Context(1);
    INATable* piE = Open(L"e", pcWriter);
    ASSERT_NE(piE, nullptr);
    ASSERT_NO_FATAL_FAILURE(AddToE(piE, pcWriter, 4));
    {
        SCOPED_TRACE("added through another context");
        EXPECT_EQ(Browse(piQuery, pcQuery, L"id", 0), List("SELECT id FROM e ORDER BY id"));
        EXPECT_EQ(Browse(piQuery, pcQuery, L"id", 0, true), List("SELECT id FROM e ORDER BY id DESC"));
    }
    ASSERT_TRUE(Admin("DELETE FROM e"));
    CHostContext* pcOther = Context(3);
    INATable* piOther = Run(L"SELECT id, name, n FROM e", L"e", pcOther, kMayModify);
    ASSERT_NE(piOther, nullptr);
    ASSERT_EQ(Browse(piOther, pcOther, L"id", 0), Rows{});
    // Another client adds; the roll-back of this one's transaction tells
    // the browse to read again.
    ASSERT_TRUE(Admin("INSERT INTO e VALUES (6, 'F', 6), (2, 'G', 7)"));
    ASSERT_EQ(m_piDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    ASSERT_EQ(m_piDriver->bTransactionRollBack(m_pHost, L"T"), 1) << Report();
    {
        SCOPED_TRACE("after the roll-back");
        EXPECT_EQ(Browse(piOther, pcOther, L"id", 0), List("SELECT id FROM e ORDER BY id"));
        EXPECT_EQ(Browse(piOther, pcOther, L"id", 0, true), List("SELECT id FROM e ORDER BY id DESC"));
    }
}

// One table object of e opened in three contexts, two of them browsing
// its empty rows from the server: a record added through the third is read
// by both, from either end.
TEST_F(TableCacheTruth, AWriteReachesEveryContextOfTheTableObject)
{
    const std::vector<CHostContext*> tabContext = {Context(2), Context(5)};
    CHostContext* pcWriter = Context(1);
    INATable* pi = Open(L"e", pcWriter);
    ASSERT_NE(pi, nullptr);
    for (CHostContext* pc : tabContext) {
        ASSERT_EQ(pi->bHOuvre(pc, static_cast<eNA_ACCESS>(0), nullptr), 1) << Error(pi, pc);
        ASSERT_EQ(Browse(pi, pc, L"id", 0), Rows{});
    }
    ASSERT_NO_FATAL_FAILURE(AddToE(pi, pcWriter, 8));
    for (CHostContext* pc : tabContext) {
        SCOPED_TRACE(pc->dwGetContextNumber());
        EXPECT_EQ(Browse(pi, pc, L"id", 0), Rows{"8"});
        EXPECT_EQ(Browse(pi, pc, L"id", 0, true), Rows{"8"});
    }
}

// In a transaction, a record modified, another deleted, then one added over
// the deleted one's record, all through the query its cache serves: the
// cache counts and browses the server's rows, the added one included, and
// the added one can be modified in its turn; after the roll-back, the
// server's rows again.
TEST_F(TableCacheTruth, AnAddAfterAModifyAndADeleteInATransactionIsCounted)
{
    CHostContext* pc = Context(3);
    INATable* pi = Cached(L"SELECT id, name, n FROM t", pc);
    ASSERT_NE(pi, nullptr);
    // The checks see the transaction's rows before its end.
    ASSERT_TRUE(Admin("SET SESSION TRANSACTION ISOLATION LEVEL READ UNCOMMITTED"));
    ASSERT_EQ(m_piDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    ASSERT_NO_FATAL_FAILURE(Seek(pi, pc, "5"));
    ASSERT_NO_FATAL_FAILURE(Modify(pi, pc, 50));
    ASSERT_NO_FATAL_FAILURE(Seek(pi, pc, "4"));
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    ASSERT_NO_FATAL_FAILURE(Add(pi, pc, 20, L"BB", 20));
    ASSERT_EQ(First("SELECT COUNT(*) FROM t WHERE id IN (4, 20)"), "1");
    long long llCount = -1;
    ASSERT_EQ(pi->bHNbEnr(pc, &llCount, 0x10, kContinue), 1) << Error(pi, pc);
    EXPECT_EQ(llCount, 9);
    // The added record is still the current one.
    ASSERT_NO_FATAL_FAILURE(Modify(pi, pc, 0));
    ASSERT_EQ(First("SELECT n FROM t WHERE id = 20"), "0");
    {
        SCOPED_TRACE("inside");
        ExpectServerRows(pi, pc, "");
    }
    ASSERT_EQ(m_piDriver->bTransactionRollBack(m_pHost, L"T"), 1) << Report();
    {
        SCOPED_TRACE("rolled back");
        ExpectServerRows(pi, pc, "");
    }
}

// More rows than one block of a browse read from the server, so that a
// browse going on past its first block asks the server again; every
// column's values stay distinct.
class TableCacheTruthBlocks : public TableCacheTruth {
protected:
    void SetUp() override
    {
        TableCacheTruth::SetUp();
        std::string strValues;
        for (int i = 10; i < 160; i++)
            strValues += (i > 10 ? ", (" : "(") + std::to_string(i) + ", 'N" + std::to_string(1000 - i) + "', " +
                         std::to_string(i * 37 % 1000 + 10) + ")";
        ASSERT_TRUE(Admin("INSERT INTO t VALUES " + strValues));
    }
    // The item's browse read on from where it stands to its end.
    static Rows Rest(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags)
    {
        Rows tab;
        while (tab.size() < 200) {
            if (pi->bHLitxxx(pc, pszItem, NEXT, 1, kNoLock, nullptr, nFlags) != 1) {
                ADD_FAILURE() << Error(pi, pc);
                break;
            }
            if (Out(pi, pc, pszItem))
                break;
            tab.push_back(Value(pi, pc, L"id"));
        }
        return tab;
    }
    // Reads on from where the item's browse stands until one fails; the
    // failure must say why. The number of records read before it.
    static size_t ReadUntilFailure(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags)
    {
        for (size_t k = 0; k < 200; k++) {
            if (pi->bHLitxxx(pc, pszItem, NEXT, 1, kNoLock, nullptr, nFlags) != 1) {
                EXPECT_NE(ErrorOf(pi, pc)->eGetErrorLevel(), NA_ERRORLEVEL_NOERROR);
                EXPECT_NE(ErrorOf(pi, pc)->nGetUserErrorCode(), 0u) << Error(pi, pc);
                return k;
            }
            EXPECT_FALSE(Out(pi, pc, pszItem)) << "the browse ended without asking the server";
        }
        ADD_FAILURE() << "no read failed";
        return 0;
    }
};

// A read on one item fails while a filled cache serves another item's
// browse: the cache stays, and that browse goes on from it, both ways,
// with the server's rows.
TEST_F(TableCacheTruthBlocks, AFailedReadOnAnotherItemKeepsAFilledCache)
{
    for (const unsigned int nFlags : {0u, kCache, kContinue}) {
        SCOPED_TRACE(nFlags);
        CHostContext* pc = Context(3);
        INATable* pi = Run(L"SELECT id, name, n FROM t", L"t", pc, kMayModify);
        ASSERT_NE(pi, nullptr);
        // The id browse reads its first block from the server.
        ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, 0), 1) << Error(pi, pc);
        ASSERT_GT(StatementOf(pi, pc, L"id")->llGetRowLimit(), 0);
        Browse(pi, pc, L"name", kContinue);
        ASSERT_TRUE(Access(pi, pc)->bHasTableCache());
        const Rows tabN = List("SELECT id FROM t ORDER BY n, id");
        ASSERT_GT(tabN.size(), 100u);
        // The n browse, served by the cache, stands on its third record.
        ASSERT_EQ(pi->bHLitxxx(pc, L"n", FIRST, 1, kNoLock, nullptr, kCache), 1) << Error(pi, pc);
        for (int i = 0; i < 2; i++)
            ASSERT_EQ(pi->bHLitxxx(pc, L"n", NEXT, 1, kNoLock, nullptr, kCache), 1) << Error(pi, pc);
        ASSERT_EQ(Value(pi, pc, L"id"), tabN[2]);
        ASSERT_TRUE(Admin("RENAME TABLE t TO t_away"));
        EXPECT_LT(ReadUntilFailure(pi, pc, L"id", nFlags), tabN.size());
        EXPECT_TRUE(Access(pi, pc)->bHasTableCache());
        // The table is still away: what follows comes from the cache.
        const Rows tabRest = Rest(pi, pc, L"n", kCache);
        const Rows tabBack = Browse(pi, pc, L"name", kCache, true);
        ASSERT_TRUE(Admin("RENAME TABLE t_away TO t"));
        EXPECT_EQ(tabRest, Rows(tabN.begin() + 3, tabN.end()));
        const Rows tabName = List("SELECT id FROM t ORDER BY name DESC, id DESC");
        EXPECT_EQ(tabBack, tabName);
        CloseTables();
    }
}

// A read on the browse that is filling the cache fails: the cache goes,
// and once the table is back reads with the cache serve the server's rows.
TEST_F(TableCacheTruthBlocks, AFailedReadOnTheCacheOwnBrowseDropsIt)
{
    CHostContext* pc = Context(3);
    INATable* pi = Run(L"SELECT id, name, n FROM t", L"t", pc, kMayModify);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(pi->bHLitxxx(pc, L"name", FIRST, 1, kNoLock, nullptr, kContinue), 1) << Error(pi, pc);
    ASSERT_TRUE(Access(pi, pc)->bHasTableCache());
    ASSERT_TRUE(Admin("RENAME TABLE t TO t_away"));
    EXPECT_LT(ReadUntilFailure(pi, pc, L"name", kContinue), 159u);
    EXPECT_FALSE(Access(pi, pc)->bHasTableCache());
    ASSERT_TRUE(Admin("RENAME TABLE t_away TO t"));
    ExpectServerRows(pi, pc, "");
}

} // namespace
