// The table object on the private server, as the host calls it: DISTINCT
// on a best item that may repeat, counts that leave out rows deleted
// through the table, the place among equal rows kept by a saved position,
// a skip of no record, and what a transaction end leaves pending. Expected
// rows and counts come from the server itself.
#include "access/statement/NAStatement.h"
#include "access/statement/NATableCache.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

// The server's form of a row of two items.
std::string Pair(const char* pszA, const char* pszB)
{
    return std::string("CONCAT(COALESCE(") + pszA + ",'NULL'),'/',COALESCE(" + pszB + ",'NULL'))";
}

class TableObjectStates : public TableObjectServer {
protected:
    TableObjectStates()
        : TableObjectServer("zt51s",
                            {// A unique item that allows NULL, its NULL rows repeated whole.
                             "CREATE TABLE un (u INT NULL, v INT NULL, UNIQUE KEY(u))",
                             "INSERT INTO un VALUES (NULL, 1), (4, 7), (NULL, 2), (NULL, 1), (2, 9), (NULL, 1)",
                             // A unique item without NULL.
                             "CREATE TABLE nn (u INT NOT NULL, v INT NULL, UNIQUE KEY(u))",
                             "INSERT INTO nn VALUES (3, 1), (1, 1), (2, 5)",
                             // No unique key at all: equal rows can only be told apart by their place.
                             "CREATE TABLE dup (a INT NULL, b INT NULL, KEY(a))",
                             "INSERT INTO dup VALUES (1, 1), (3, 3), (1, 1), (0, 0), (2, 2), (1, 1), (4, 4)",
                             // Runs of equal rows, NULL ones first, one of them across blocks of five.
                             "CREATE TABLE runs (a INT NULL, b INT NULL, KEY(a))",
                             "INSERT INTO runs VALUES (2, 2), (1, 1), (4, 4), (2, 2), (0, 0), (2, 2), (5, 5), (1, 1), "
                             "(NULL, NULL), (2, 2), (3, 3), (2, 2), (4, 4), (1, 1), (2, 2), (NULL, NULL)",
                             // Runs of equal rows among other rows of the same value; b keyed
                             // too, so that its browse can fill the whole-table cache.
                             "CREATE TABLE mix (a INT NULL, b INT NULL, KEY(a), KEY(b))",
                             "INSERT INTO mix VALUES (2, 2), (1, 1), (2, 7), (4, 4), (2, 2), (0, 0), (2, 7), (2, 2), "
                             "(1, 1), (NULL, NULL), (3, 3), (2, 7), (1, 1), (2, 2), (NULL, NULL), (4, 9)",
                             // Two orders that cross.
                             "CREATE TABLE w (id INT PRIMARY KEY, v INT NOT NULL, KEY(v))",
                             "INSERT INTO w SELECT seq, (seq * 5) % 11 FROM seq_1_to_8"})
    {
    }
    // The rows of a browse on the item from the first on, as "a/b".
    static Rows PairWalk(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, const wchar_t* pszA,
                         const wchar_t* pszB, unsigned int nFlags = 0)
    {
        Rows tab;
        EXPECT_EQ(pi->bHLitxxx(pContext, pszItem, FIRST, 1, kNoLock, nullptr, nFlags), 1) << Error(pi, pContext);
        while (!Out(pi, pContext, pszItem) && tab.size() < 100) {
            tab.push_back(Value(pi, pContext, pszA) + "/" + Value(pi, pContext, pszB));
            EXPECT_EQ(pi->bHLitxxx(pContext, pszItem, NEXT, 1, kNoLock, nullptr, nFlags), 1) << Error(pi, pContext);
        }
        return tab;
    }
    // The rows read on from the current one to the end, as "a/b".
    static Rows ReadOn(INATable* pi, CHostContext* pContext, const wchar_t* pszItem)
    {
        Rows tab;
        while (!Out(pi, pContext, pszItem) && tab.size() < 100) {
            tab.push_back(Value(pi, pContext, L"a") + "/" + Value(pi, pContext, L"b"));
            EXPECT_EQ(Read(pi, pContext, pszItem, NEXT), 1) << Error(pi, pContext);
        }
        return tab;
    }
    static Rows From(const Rows& tab, size_t n) { return Rows(tab.begin() + static_cast<long>(n), tab.end()); }
    // The SELECT texts sent since the last call.
    std::vector<std::string> Selects()
    {
        std::vector<std::string> tab;
        for (const std::string& s : Sent())
            if (s.compare(0, 7, "SELECT ") == 0)
                tab.push_back(s);
        return tab;
    }
};

// ---- DISTINCT ---------------------------------------------------------------------------------------------------

// Asked for, DISTINCT is written when the best item may repeat: a unique
// item that allows NULL holds equal rows on NULL; a unique item without
// NULL cannot, and the text stays plain.
TEST_F(TableObjectStates, DistinctWhenTheUniqueBestItemAllowsNull)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"un", pContext);
    ASSERT_NE(pi, nullptr);
    const std::string strRow = "SELECT " + Pair("u", "v") + " FROM un";
    EXPECT_EQ(PairWalk(pi, pContext, L"u", L"u", L"v"), List(strRow + " ORDER BY u, v"));
    Selects();
    const Rows tabDistinct = PairWalk(pi, pContext, L"u", L"u", L"v", CNAStatement::WPF_DISTINCT);
    EXPECT_EQ(tabDistinct, List("SELECT DISTINCT " + Pair("u", "v") + " FROM un ORDER BY u, v"));
    EXPECT_LT(tabDistinct.size(), std::stoul(First("SELECT COUNT(*) FROM un")));
    const std::vector<std::string> tabSelect = Selects();
    ASSERT_FALSE(tabSelect.empty());
    EXPECT_EQ(tabSelect[0].compare(0, 16, "SELECT DISTINCT "), 0) << tabSelect[0];

    CHostContext* pOther = Context(2);
    INATable* piNotNull = Open(L"nn", pOther);
    ASSERT_NE(piNotNull, nullptr);
    Selects();
    EXPECT_EQ(PairWalk(piNotNull, pOther, L"u", L"u", L"v", CNAStatement::WPF_DISTINCT),
              List("SELECT " + Pair("u", "v") + " FROM nn ORDER BY u"));
    const std::vector<std::string> tabPlain = Selects();
    ASSERT_FALSE(tabPlain.empty());
    for (const std::string& s : tabPlain)
        EXPECT_EQ(s.find("DISTINCT"), std::string::npos) << s;
}

// Beside a DISTINCT's items only the exact forms that are the value itself
// are read (a FLOAT's double, a TIMESTAMP's instant), none that would tell
// apart rows it takes as one (a text's bytes, an ENUM's index), and a
// DATETIME, which no time zone reads, has none.
TEST_F(TableObjectStates, DistinctReadsOnlyTheFormsThatAreTheValue)
{
    ASSERT_TRUE(Admin("CREATE TABLE dk (u INT NULL UNIQUE, f FLOAT, t TIMESTAMP NULL, d DATETIME(6), "
                      "s VARCHAR(8) CHARACTER SET latin1, e ENUM('a', 'b'))"));
    ASSERT_TRUE(Admin("INSERT INTO dk VALUES (NULL, 1.5, NULL, NULL, 'x?', 'a'), (NULL, 1.5, NULL, NULL, 'x?', 'a')"));
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"dk", pContext);
    ASSERT_NE(pi, nullptr);
    Selects();
    EXPECT_EQ(PairWalk(pi, pContext, L"u", L"f", L"s", CNAStatement::WPF_DISTINCT),
              List("SELECT DISTINCT CONCAT(f, '/', s) FROM dk"));
    const std::vector<std::string> tabSelect = Selects();
    ASSERT_FALSE(tabSelect.empty());
    EXPECT_EQ(tabSelect[0].substr(0, tabSelect[0].find(" FROM ")),
              "SELECT DISTINCT `u`,`f`,`t`,`d`,`s`,`e`,`f`+0e0,IF(UNIX_TIMESTAMP(`t` + INTERVAL 1 DAY) - "
              "UNIX_TIMESTAMP(`t`) <> 86400 OR UNIX_TIMESTAMP(CAST(`t` AS DATETIME(6))) <> UNIX_TIMESTAMP(`t`),"
              "UNIX_TIMESTAMP(`t`),NULL)");
}

// ---- Counts after deletes ---------------------------------------------------------------------------------------

// Rows deleted through the table stay in the browse's result: the count of
// the browse, answered without a COUNT, leaves them out, whichever browse
// is asked.
TEST_F(TableObjectStates, TheBrowseCountLeavesDeletedRowsOut)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"dup", pContext);
    ASSERT_NE(pi, nullptr);
    const Rows tabAll = List("SELECT " + Pair("a", "b") + " FROM dup ORDER BY a, b");
    ASSERT_EQ(PairWalk(pi, pContext, L"a", L"a", L"b"), tabAll);
    // The second row (one of three equal ones), then the last.
    ASSERT_EQ(Read(pi, pContext, L"a", FIRST), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"a", NEXT), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHSupprime(pContext, 0, kNoLock), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"a", LAST), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHSupprime(pContext, 0, kNoLock), 1) << Error(pi, pContext);
    ASSERT_EQ(First("SELECT COUNT(*) FROM dup"), std::to_string(tabAll.size() - 2));
    Sent();
    long long llCount = -1;
    ASSERT_EQ(pi->bHNbEnr(pContext, &llCount, 0x10, CNADataAccess::WPF_CONTINUE), 1) << Error(pi, pContext);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM dup"));
    for (const std::string& s : Sent())
        EXPECT_EQ(s.find("COUNT"), std::string::npos) << s;
    // Under a search the result holds the rows from the value on: the
    // browse's count is not that result's.
    const CInt clValue(2);
    ASSERT_EQ(pi->bHRecherche(pContext, L"a", &clValue, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Value(pi, pContext, L"a"), "2");
    ASSERT_EQ(pi->bHNbEnr(pContext, &llCount, 0x10, CNADataAccess::WPF_CONTINUE), 1) << Error(pi, pContext);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM dup"));
    // The walk agrees.
    EXPECT_EQ(PairWalk(pi, pContext, L"a", L"a", L"b"), List("SELECT " + Pair("a", "b") + " FROM dup ORDER BY a, b"));
}

// ---- The place among equal rows ----------------------------------------------------------------------------------

// Equal rows are told apart by their place alone. A saved position keeps
// the place of its row: after a return, a transaction end has the browse
// found again on the server, and it goes on after that very row. The
// return is made before the transaction end (by row number) and after it
// (by search).
TEST_F(TableObjectStates, AReturnedPositionKeepsItsPlaceAmongEqualRows)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"dup", pContext);
    ASSERT_NE(pi, nullptr);
    const Rows tabAll = List("SELECT " + Pair("a", "b") + " FROM dup ORDER BY a, b");
    ASSERT_EQ(tabAll.size(), 7u);
    ASSERT_EQ(tabAll[1], tabAll[3]) << "three equal rows from the second on";
    for (const bool bEndFirst : {false, true}) {
        SCOPED_TRACE(bEndFirst ? "transaction end, then return" : "return, then transaction end");
        // On the second of the equal rows, saved; then past them all.
        ASSERT_EQ(Read(pi, pContext, L"a", FIRST), 1) << Error(pi, pContext);
        ASSERT_EQ(Read(pi, pContext, L"a", NEXT), 1) << Error(pi, pContext);
        ASSERT_EQ(Read(pi, pContext, L"a", NEXT), 1) << Error(pi, pContext);
        const int nSaved = Save(pi, pContext, L"a");
        for (int i = 0; i < 2; i++)
            ASSERT_EQ(Read(pi, pContext, L"a", NEXT), 1) << Error(pi, pContext);
        ASSERT_EQ(Value(pi, pContext, L"a") + "/" + Value(pi, pContext, L"b"), tabAll[4]);
        if (bEndFirst)
            static_cast<CNATable*>(pi)->SetTransactionTermined();
        ASSERT_EQ(pi->bHRetourPosition(pContext, nSaved, nullptr, 0, 0), 1) << Error(pi, pContext);
        if (!bEndFirst)
            static_cast<CNATable*>(pi)->SetTransactionTermined();
        EXPECT_EQ(Value(pi, pContext, L"a") + "/" + Value(pi, pContext, L"b"), tabAll[2]);
        // One equal row is left after it.
        ASSERT_EQ(Read(pi, pContext, L"a", NEXT), 1) << Error(pi, pContext);
        const Rows tabOn = ReadOn(pi, pContext, L"a");
        ASSERT_FALSE(tabOn.empty());
        EXPECT_EQ(tabOn[0], tabAll[3]);
        EXPECT_EQ(std::count(tabOn.begin(), tabOn.end(), tabAll[2]), 1);
    }
}

// ---- A skip of no record ---------------------------------------------------------------------------------------

// A skip of 0 reads the row the browse stands on again. A first or last
// skip of 0 opens the browse anew: before its first row there is none, out
// of range and not found. On a row, a next or previous skip of 0 gives the
// same row, and the browse goes on from it.
TEST_F(TableObjectStates, ASkipOfNoRecordStaysWhereTheBrowseStands)
{
    const Rows tabAll = List("SELECT " + Pair("u", "v") + " FROM nn ORDER BY u");
    ASSERT_GE(tabAll.size(), 3u);
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"nn", pContext);
    ASSERT_NE(pi, nullptr);
    const auto Row = [&] { return Value(pi, pContext, L"u") + "/" + Value(pi, pContext, L"v"); };
    for (const eNA_PARSEDIRECTION e : {FIRST, LAST}) {
        SCOPED_TRACE(static_cast<int>(e));
        ASSERT_EQ(pi->bSkipRecord(pContext, L"u", e, 0, 1, kNoLock, nullptr, 0), 1) << Error(pi, pContext);
        EXPECT_TRUE(Out(pi, pContext, L"u"));
        EXPECT_EQ(Found(pi, pContext, L"u"), 0);
        // The browse opened reads on from its start.
        ASSERT_EQ(Read(pi, pContext, L"u", e == FIRST ? NEXT : PREVIOUS), 1) << Error(pi, pContext);
        EXPECT_EQ(Row(), e == FIRST ? tabAll.front() : tabAll.back());
    }
    for (const eNA_PARSEDIRECTION e : {NEXT, PREVIOUS}) {
        SCOPED_TRACE(static_cast<int>(e));
        ASSERT_EQ(Read(pi, pContext, L"u", FIRST), 1) << Error(pi, pContext);
        ASSERT_EQ(Read(pi, pContext, L"u", NEXT), 1) << Error(pi, pContext);
        ASSERT_EQ(pi->bSkipRecord(pContext, L"u", e, 0, 1, kNoLock, nullptr, 0), 1) << Error(pi, pContext);
        EXPECT_FALSE(Out(pi, pContext, L"u"));
        EXPECT_EQ(Found(pi, pContext, L"u"), 1);
        EXPECT_EQ(Row(), tabAll[1]);
        int nPlace = -1;
        ASSERT_EQ(pi->bHPositionCourante(pContext, L"u", &nPlace, kPrecision, 0), 1) << Error(pi, pContext);
        EXPECT_EQ(nPlace, static_cast<int>((2 * 1000 + tabAll.size() - 1) / tabAll.size()));
        ASSERT_EQ(Read(pi, pContext, L"u", e), 1) << Error(pi, pContext);
        EXPECT_EQ(Row(), tabAll[e == NEXT ? 2 : 0]);
    }
    // In the browse's own statement, whatever the direction, a count of 0
    // stays on the row.
    CNAStatement* pStatement = StatementOf(pi, pContext, L"u");
    ASSERT_NE(pStatement, nullptr);
    for (const int e : {NA_PARSE_FIRST, NA_PARSE_LAST, NA_PARSE_NEXT, NA_PARSE_PREVIOUS}) {
        SCOPED_TRACE(e);
        ASSERT_EQ(Read(pi, pContext, L"u", FIRST), 1) << Error(pi, pContext);
        ASSERT_EQ(Read(pi, pContext, L"u", NEXT), 1) << Error(pi, pContext);
        ASSERT_EQ(pStatement->bFetch(e, 0, 0, nullptr), 1) << Error(pi, pContext);
        EXPECT_FALSE(Out(pi, pContext, L"u"));
        EXPECT_EQ(Row(), tabAll[1]);
    }
}

// A next or previous skip asks for the row the browse stands on: a browse
// never read stands on none, and the skip fails saying so, whatever the
// count; the browse then reads as if untouched.
TEST_F(TableObjectStates, ASkipOnABrowseNeverReadFailsWithNoCurrentRecord)
{
    const Rows tabAll = List("SELECT " + Pair("u", "v") + " FROM nn ORDER BY u");
    ASSERT_GE(tabAll.size(), 2u);
    for (const eNA_PARSEDIRECTION e : {NEXT, PREVIOUS}) {
        for (const long long llCount : {0LL, 1LL}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(e)) + " by " + std::to_string(llCount));
            CHostContext* pContext = Context(static_cast<unsigned int>(e) * 2 + static_cast<unsigned int>(llCount));
            INATable* pi = Open(L"nn", pContext);
            ASSERT_NE(pi, nullptr);
            EXPECT_EQ(pi->bSkipRecord(pContext, L"u", e, llCount, 1, kNoLock, nullptr, 0), 0);
            ExpectError(pi, pContext, ZTERR_NO_CURRENT_RECORD, L"IEDUZARO=3.32\r\n", "u");
            EXPECT_FALSE(Error(pi, pContext).empty());
            EXPECT_TRUE(Out(pi, pContext, L"u"));
            ASSERT_EQ(Read(pi, pContext, L"u", e == NEXT ? FIRST : LAST), 1) << Error(pi, pContext);
            EXPECT_EQ(Value(pi, pContext, L"u") + "/" + Value(pi, pContext, L"v"),
                      e == NEXT ? tabAll.front() : tabAll.back());
            ASSERT_EQ(Read(pi, pContext, L"u", e), 1) << Error(pi, pContext);
            EXPECT_EQ(Value(pi, pContext, L"u") + "/" + Value(pi, pContext, L"v"),
                      e == NEXT ? tabAll[1] : tabAll[tabAll.size() - 2]);
        }
    }
}

// ---- A transaction end --------------------------------------------------------------------------------------------

// A return to a position saved on the row of another browse leaves the
// browse to be brought back to that row at its next read. A transaction end
// marks started browses for a new run, but this one keeps its own refresh:
// the next read goes on after the row returned to, not after the row the
// browse read last. A browse that awaits nothing runs again and sees a row
// added meanwhile by another client.
TEST_F(TableObjectStates, ATransactionEndKeepsARefreshAlreadyPending)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"w", pContext);
    ASSERT_NE(pi, nullptr);
    const std::string strOnV = Third(pi, pContext, L"v", true);
    const int nSaved = Save(pi, pContext, L"id");
    // The id browse stands elsewhere.
    ASSERT_EQ(Read(pi, pContext, L"id", LAST), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"id", PREVIOUS), 1) << Error(pi, pContext);
    ASSERT_NE(Value(pi, pContext, L"id"), strOnV);
    ASSERT_EQ(pi->bHRetourPosition(pContext, nSaved, nullptr, 0, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), strOnV);
    CNAStatement* pStatement = StatementOf(pi, pContext, L"id");
    ASSERT_NE(pStatement, nullptr);
    const int eCause = pStatement->eParseNeedUpdate();
    // Saved meanwhile, a position takes the row returned to.
    const int nAgain = Save(pi, pContext, L"id");
    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHRetourPosition(pContext, nAgain, nullptr, 0, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), strOnV);
    ASSERT_EQ(pStatement->eParseNeedUpdate(), eCause);
    static_cast<CNATable*>(pi)->SetTransactionTermined();
    EXPECT_EQ(pStatement->eParseNeedUpdate(), eCause);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
    const std::string strAt = Value(pi, pContext, L"id");
    EXPECT_EQ(strAt, First("SELECT MIN(id) FROM w WHERE id > " + strOnV));

    // Nothing pending: the browse runs again from its row.
    ASSERT_EQ(pStatement->eParseNeedUpdate(), CNAStatement::UPDATE_NONE);
    ASSERT_TRUE(Admin("INSERT INTO w VALUES (100, 3)"));
    static_cast<CNATable*>(pi)->SetTransactionTermined();
    Rows tabOn;
    do {
        ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
        if (!Out(pi, pContext, L"id"))
            tabOn.push_back(Value(pi, pContext, L"id"));
    } while (!Out(pi, pContext, L"id") && tabOn.size() < 100);
    EXPECT_EQ(tabOn, List("SELECT id FROM w WHERE id > " + strAt + " ORDER BY id"));
}

// ---- Found again among equal rows -------------------------------------------------------------------------------

// A browse found again on one of several equal rows goes on through the rest
// of the table, each row once, in the server's order, whichever way it
// reads on: after a transaction end, after a return to a position made
// when the browse's result was gone, and after a return found by its row
// followed by a transaction end. The row is reached reading forwards
// and backwards, straight or from one row past it turning back; whole, in
// blocks of five, and served by the whole-table cache's index.
TEST_F(TableObjectStates, AFoundAgainRowReadsOnThroughTheRestOfTheTable)
{
    struct SWay {
        const wchar_t* pszOptions;
        const wchar_t* pszName;
        unsigned int nFlags;
        std::vector<const wchar_t*> tabTable;
    };
    const unsigned int kCache = CNAStatement::WPF_TABLE_CACHE;
    const SWay tabWay[] = {{L"", L"ztwhole", 0, {L"dup", L"runs", L"mix"}},
                           {L"ZT Cache Size=5", L"ztfive", 0, {L"dup", L"runs", L"mix"}},
                           {L"", L"ztcache", kCache, {L"mix"}}};
    unsigned int nContext = 1;
    for (const SWay& w : tabWay) {
        const unsigned int nFlags = w.nFlags;
        CHostConnectionDescription* pHost = HostOn(w.pszOptions, w.pszName);
        for (const wchar_t* pszTable : w.tabTable) {
            CHostContext* pContext = Context(nContext++);
            INATable* pi = Open(pszTable, pContext, pHost);
            ASSERT_NE(pi, nullptr);
            const auto Read = [&](INATable*, CHostContext*, const wchar_t* pszItem, eNA_PARSEDIRECTION e) {
                return pi->bHLitxxx(pContext, pszItem, e, 1, kNoLock, nullptr, nFlags);
            };
            if (nFlags & kCache) {
                // The b browse fills the whole-table cache; the index serves the a browse.
                CNADataAccess* pAccess = Access(pi, pContext);
                ASSERT_EQ(pAccess->bSkipRecord(L"b", FIRST, 0, 0, kNoLock, nullptr, 0), 1) << Error(pi, pContext);
                CNAStatement* pB = StatementOf(pi, pContext, L"b");
                ASSERT_NE(pB, nullptr);
                ASSERT_TRUE(pAccess->_bCreateNewTableCache(pB));
                ASSERT_TRUE(pAccess->pclGetTableCacheNoRef()->bSetStatementParse(pB));
                ASSERT_EQ(PairWalk(pi, pContext, L"b", L"a", L"b", kCache),
                          List("SELECT " + Pair("a", "b") + " FROM mix ORDER BY b, a"));
            }
            const Rows tabAll = List("SELECT " + Pair("a", "b") + " FROM " + Narrow(pszTable) + " ORDER BY a, b");
            const long long llRows = static_cast<long long>(tabAll.size());
            ASSERT_GE(llRows, 7);
            ASSERT_EQ(PairWalk(pi, pContext, L"a", L"a", L"b", nFlags), tabAll);
            if (nFlags & kCache) {
                ASSERT_TRUE(Access(pi, pContext)->bHasTableCache());
                ASSERT_NE(StatementOf(pi, pContext, L"a")->pclGetTableCacheIndexNoRef(), nullptr);
            }
            // A transaction end alone, a return after it, a return before it,
            // a return with no transaction end, one right after a return to
            // the row stepped to.
            for (const int nTrigger : {0, 1, 2, 3, 4}) {
                const bool bReturn = nTrigger != 0;
                const bool bEnd = nTrigger < 3;
                const int nReturnAt = bEnd ? nTrigger : 2;
                for (const bool bArrivedBackwards : {false, true}) {
                    for (const bool bTurned : {false, true}) {
                        for (long long i = 0; i < llRows; i++) {
                            // Turned: one row past row i, then one step back to it.
                            const long long llPast = bArrivedBackwards ? i - 1 : i + 1;
                            if (bTurned && (llPast < 0 || llPast >= llRows))
                                continue;
                            for (const eNA_PARSEDIRECTION e : {NEXT, PREVIOUS}) {
                                SCOPED_TRACE(Narrow(w.pszName) + " " + Narrow(pszTable) +
                                             (bReturn ? (nTrigger == 1 ? " return after" : " return before") : "") +
                                             (bEnd ? " transaction end" : " no transaction end") +
                                             (nTrigger == 4 ? " after a return elsewhere" : "") +
                                             (bArrivedBackwards ? " arrived backwards" : " arrived forwards") +
                                             (bTurned ? " and turned back" : "") + " on row " + std::to_string(i) +
                                             (e == NEXT ? " next" : " previous"));
                                // On row i.
                                const eNA_PARSEDIRECTION eStep = bArrivedBackwards ? PREVIOUS : NEXT;
                                ASSERT_EQ(Read(pi, pContext, L"a", bArrivedBackwards ? LAST : FIRST), 1)
                                    << Error(pi, pContext);
                                const long long llTo = bTurned ? llPast : i;
                                const long long llStep = bArrivedBackwards ? -1 : 1;
                                for (long long j = bArrivedBackwards ? llRows - 1 : 0; j != llTo; j += llStep)
                                    ASSERT_EQ(Read(pi, pContext, L"a", eStep), 1) << Error(pi, pContext);
                                if (bTurned) {
                                    ASSERT_EQ(Read(pi, pContext, L"a", bArrivedBackwards ? NEXT : PREVIOUS), 1)
                                        << Error(pi, pContext);
                                }
                                int nSaved = 0;
                                if (bReturn) {
                                    // Before the transaction end, a step within the
                                    // same result: the return finds the row by its number.
                                    nSaved = Save(pi, pContext, L"a");
                                    const eNA_PARSEDIRECTION eAway =
                                        nTrigger >= 2 ? eStep : (bArrivedBackwards ? FIRST : LAST);
                                    ASSERT_EQ(Read(pi, pContext, L"a", eAway), 1) << Error(pi, pContext);
                                    if (nTrigger == 4) {
                                        const int nOther = Save(pi, pContext, L"a");
                                        ASSERT_EQ(pi->bHRetourPosition(pContext, nOther, nullptr, 0, 0), 1)
                                            << Error(pi, pContext);
                                    }
                                }
                                for (const int nStep : {2, 0, 1}) {
                                    if (nStep == 0) {
                                        if (bEnd)
                                            static_cast<CNATable*>(pi)->SetTransactionTermined();
                                    } else if (nStep == nReturnAt) {
                                        ASSERT_EQ(pi->bHRetourPosition(pContext, nSaved, nullptr, 0, 0), 1)
                                            << Error(pi, pContext);
                                    }
                                }
                                ASSERT_EQ(Value(pi, pContext, L"a") + "/" + Value(pi, pContext, L"b"),
                                          tabAll[static_cast<size_t>(i)]);
                                Rows tabOn;
                                for (;;) {
                                    if (Read(pi, pContext, L"a", e) != 1) {
                                        ADD_FAILURE() << Error(pi, pContext);
                                        break;
                                    }
                                    if (Out(pi, pContext, L"a") || tabOn.size() > tabAll.size())
                                        break;
                                    tabOn.push_back(Value(pi, pContext, L"a") + "/" + Value(pi, pContext, L"b"));
                                }
                                const Rows tabExpected =
                                    e == NEXT ? From(tabAll, static_cast<size_t>(i) + 1)
                                              : Rows(tabAll.rend() - static_cast<long>(i), tabAll.rend());
                                EXPECT_EQ(tabOn, tabExpected);
                            }
                        }
                    }
                }
            }
        }
    }
}

} // namespace
