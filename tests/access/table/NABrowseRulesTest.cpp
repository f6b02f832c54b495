// The browse choices row by row: each case names the facts that differ from
// a started, plain browse and the answer expected.
#include "access/table/NABrowseRules.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using R = CNABrowseRules;
typedef std::function<void(R::SFetchFacts&)> FetchSet;

R::SFetchFacts Facts(int eDirection, const FetchSet& set)
{
    R::SFetchFacts f;
    f.eDirection = eDirection;
    f.bStarted = true;
    f.bFirstBlock = true;
    f.bCanFetchBackward = true;
    f.bLimitCoversCount = true;
    set(f);
    return f;
}

TEST(BrowseRules, TheEngineFirstMatchingRowWins)
{
    struct SCase {
        const char* pszRow;
        int eDirection;
        FetchSet set;
        R::eFETCH eExpected;
    };
    const auto cache = [](R::SFetchFacts& f) { f.bTableCacheFlag = true; };
    const std::vector<SCase> tabCase = {
        {"restart beats an open result", 2, [&](R::SFetchFacts& f) { f.bRestart = true; cache(f); },
         R::FETCH_REOPEN},
        {"0x2000, open result covering first", 0, cache, R::FETCH_READ},
        {"0x2000, open result covering last", 1, cache, R::FETCH_READ},
        {"0x2000, refresh pending", 0, [&](R::SFetchFacts& f) { cache(f); f.bRefreshPending = true; },
         R::FETCH_REOPEN},
        {"0x2000, not started", 0, [&](R::SFetchFacts& f) { cache(f); f.bStarted = false; }, R::FETCH_REOPEN},
        {"0x2000, row limit below the count", 1,
         [&](R::SFetchFacts& f) { cache(f); f.bRowLimit = true; f.bLimitCoversCount = false; }, R::FETCH_REOPEN},
        {"0x2000, first without the first block", 0, [&](R::SFetchFacts& f) { cache(f); f.bFirstBlock = false; },
         R::FETCH_REOPEN},
        {"0x2000, last on a cut result", 1,
         [&](R::SFetchFacts& f) { cache(f); f.bRowLimit = true; f.bLimitCoversCount = true; }, R::FETCH_REOPEN},
        {"0x2000, inverted: last needs the first block", 1,
         [&](R::SFetchFacts& f) { cache(f); f.bInverted = true; f.bFirstBlock = false; }, R::FETCH_REOPEN},
        {"0x2000, inverted: first needs an uncut result", 0,
         [&](R::SFetchFacts& f) { cache(f); f.bInverted = true; f.bRowLimit = true; f.bLimitCoversCount = true; },
         R::FETCH_REOPEN},
        {"0x2000, inverted: first on an uncut result", 0,
         [&](R::SFetchFacts& f) { cache(f); f.bInverted = true; f.bFirstBlock = false; }, R::FETCH_READ},
        {"0x2000, table cache, another statement's", 1, [&](R::SFetchFacts& f) { cache(f); f.bTableCache = true; },
         R::FETCH_FULL_CACHE_READ},
        {"0x2000, table cache, its browse statement", 0,
         [&](R::SFetchFacts& f) { cache(f); f.bTableCache = true; f.bCacheBrowse = true; f.bStarted = false; },
         R::FETCH_READ},
        {"no 0x2000, a query the host prepared", 0, [](R::SFetchFacts& f) { f.bHostPrepared = true; },
         R::FETCH_REOPEN_PREPARED},
        {"no 0x2000", 1, [](R::SFetchFacts&) {}, R::FETCH_REOPEN},
        {"record lost", 3, [](R::SFetchFacts& f) { f.bRecordLost = true; f.bCanFetchBackward = false; },
         R::FETCH_LOST},
        {"backward, nothing can serve, no refresh", 3, [](R::SFetchFacts& f) { f.bCanFetchBackward = false; },
         R::FETCH_BACKWARDS_REFUSED},
        {"backward on an inverted statement", 2,
         [](R::SFetchFacts& f) { f.bCanFetchBackward = false; f.bInverted = true; }, R::FETCH_BACKWARDS_REFUSED},
        {"backward, can refresh", 3,
         [](R::SFetchFacts& f) { f.bCanFetchBackward = false; f.bCanRefresh = true; }, R::FETCH_MARK_AND_REFRESH},
        {"forward on a forward-only statement", 2, [](R::SFetchFacts& f) { f.bCanFetchBackward = false; },
         R::FETCH_READ},
        {"backward with a record cache", 3,
         [](R::SFetchFacts& f) { f.bCanFetchBackward = false; f.bRecordCache = true; }, R::FETCH_READ},
        {"backward with a table cache", 3,
         [](R::SFetchFacts& f) { f.bCanFetchBackward = false; f.bTableCache = true; }, R::FETCH_READ},
        {"refresh pending, no table cache", 2, [](R::SFetchFacts& f) { f.bRefreshPending = true; },
         R::FETCH_REFRESH},
        {"not started, no table cache", 3, [](R::SFetchFacts& f) { f.bStarted = false; f.bCanFetchBackward = false; },
         R::FETCH_REFRESH},
        {"refresh pending, table cache", 2,
         [](R::SFetchFacts& f) { f.bRefreshPending = true; f.bTableCache = true; }, R::FETCH_READ},
        {"otherwise", 2, [](R::SFetchFacts&) {}, R::FETCH_READ},
    };
    for (const SCase& c : tabCase)
        EXPECT_EQ(R::s_eFetch(Facts(c.eDirection, c.set)), c.eExpected) << c.pszRow;
}

TEST(BrowseRules, PendingQueryBrowse)
{
    struct SCase {
        const char* pszRow;
        std::function<void(R::SPendingFacts&)> set;
        bool bAddFlag, bDrop, bTakeLast;
    };
    const std::vector<SCase> tabCase = {
        {"nothing", [](R::SPendingFacts&) {}, false, false, false},
        {"without correction", [](R::SPendingFacts& f) { f.bWithoutCorrection = true; }, true, false, false},
        {"0x20000", [](R::SPendingFacts& f) { f.bQueryOrderFlag = true; }, true, false, false},
        {"same item, plain order", [](R::SPendingFacts& f) { f.bLastSameItem = true; }, true, false, false},
        {"same item, query order",
         [](R::SPendingFacts& f) { f.bLastSameItem = true; f.bLastQueryOrder = true; }, false, false, false},
        {"a filter set", [](R::SPendingFacts& f) { f.bQueryOrderFlag = true; f.bLatestFilter = true; }, false, false,
         false},
        {"a search held", [](R::SPendingFacts& f) { f.bQueryOrderFlag = true; f.bLastHoldsSearch = true; }, false,
         false, false},
        {"0x100000 with the flag added",
         [](R::SPendingFacts& f) { f.bQueryOrderFlag = true; f.bNoCacheFlag = true; }, true, true, false},
        {"0x100000 alone", [](R::SPendingFacts& f) { f.bNoCacheFlag = true; }, false, false, false},
        {"0x4000 on the last statement's name",
         [](R::SPendingFacts& f) { f.bContinueFlag = true; f.bLastNamedItem = true; }, false, false, true},
        {"0x4000 on another name", [](R::SPendingFacts& f) { f.bContinueFlag = true; }, false, false, false},
    };
    for (const SCase& c : tabCase) {
        R::SPendingFacts f;
        c.set(f);
        const R::SPendingDecision d = R::s_Pending(f);
        EXPECT_EQ(d.bAddTableCacheFlag, c.bAddFlag) << c.pszRow;
        EXPECT_EQ(d.bDropCaches, c.bDrop) << c.pszRow;
        EXPECT_EQ(d.bTakeLast, c.bTakeLast) << c.pszRow;
    }
}

TEST(BrowseRules, FirstOrLastStartsAgain)
{
    constexpr unsigned int TC = 0x2000, CONT = 0x4000, ORDER = 0x20000, NOCACHE = 0x110000;
    struct SCase {
        const char* pszRow;
        std::function<void(R::SRestartFacts&)> set;
        unsigned int nFlags;
        bool bRestart, bDeactivate, bFree;
        R::eTABLECACHE eCache;
        bool bRecordCacheOff;
    };
    const auto table = [](R::SRestartFacts& f) {
        f.bStarted = true;
        f.bFirstBlock = true;
        f.bRecordCacheComplete = true;
    };
    const auto query = [&](R::SRestartFacts& f) {
        table(f);
        f.bQuerySource = true;
        f.bRecordCache = true;
    };
    const std::vector<SCase> tabCase = {
        {"a table read on", [&](R::SRestartFacts& f) { table(f); f.nFlags = TC; }, TC, false, false, false,
         R::TC_NONE, false},
        {"the other order drops 0x2000",
         [&](R::SRestartFacts& f) { table(f); f.nFlags = TC | ORDER; }, ORDER, false, false, false, R::TC_NONE,
         false},
        {"the other order before any browse keeps 0x2000",
         [&](R::SRestartFacts& f) { f.nFlags = TC | ORDER; }, TC | ORDER, false, false, false, R::TC_NONE, false},
        {"the filter changed", [&](R::SRestartFacts& f) { table(f); f.nFlags = TC; f.bFilterChanged = true; }, TC,
         true, false, false, R::TC_NONE, false},
        {"0x6000, last on a whole result",
         [&](R::SRestartFacts& f) { table(f); f.nFlags = TC | CONT; f.eDirection = 1; }, TC | CONT, false, false,
         false, R::TC_NONE, false},
        {"0x6000, last on a cut result",
         [&](R::SRestartFacts& f) { table(f); f.nFlags = TC | CONT; f.eDirection = 1; f.bRowLimit = true; },
         TC | CONT, true, false, false, R::TC_NONE, false},
        {"0x2000 alone, last on a cut result",
         [&](R::SRestartFacts& f) { table(f); f.nFlags = TC; f.eDirection = 1; f.bRowLimit = true; }, TC, false,
         false, false, R::TC_NONE, false},
        {"0x6000, first on an inverted one",
         [&](R::SRestartFacts& f) {
             table(f);
             f.nFlags = TC | CONT;
             f.bInverted = true;
             f.bRecordCacheComplete = false;
         },
         TC | CONT, true, false, false, R::TC_NONE, false},
        {"an internal search", [&](R::SRestartFacts& f) { table(f); f.nFlags = TC; f.bInternalSearch = true; }, TC,
         true, true, false, R::TC_NONE, false},
        {"an internal search served by the table cache",
         [&](R::SRestartFacts& f) { table(f); f.nFlags = TC; f.bInternalSearch = true; f.bTableCache = true; }, TC,
         false, false, false, R::TC_NONE, false},
        {"a table cache without 0x2000", [&](R::SRestartFacts& f) { table(f); f.bTableCache = true; }, 0, false,
         false, true, R::TC_NONE, false},
        {"a query on its table cache",
         [&](R::SRestartFacts& f) { query(f); f.nFlags = TC | CONT; f.bTableCache = true; f.bTableCacheComplete = true; },
         TC | CONT, false, false, false, R::TC_OPEN_USING, false},
        {"a query sent as written on its complete cache",
         [&](R::SRestartFacts& f) {
             query(f);
             f.nFlags = TC;
             f.bTableCache = true;
             f.bTableCacheComplete = true;
             f.bWithoutCorrection = true;
             f.bQueryItemIsItem = true;
         },
         TC, false, false, false, R::TC_OPEN_USING, false},
        {"a query sent as written in its own order",
         [&](R::SRestartFacts& f) {
             query(f);
             f.nFlags = TC | ORDER;
             f.nParseFlags = ORDER;
             f.bTableCache = true;
             f.bTableCacheComplete = true;
             f.bWithoutCorrection = true;
         },
         TC | ORDER, false, false, false, R::TC_NONE, false},
        {"a query in its own order on a complete cache",
         [&](R::SRestartFacts& f) {
             query(f);
             f.nFlags = TC | CONT | ORDER;
             f.nParseFlags = ORDER;
             f.bTableCache = true;
             f.bTableCacheComplete = true;
         },
         TC | CONT | ORDER, false, false, false, R::TC_OPEN_USING, false},
        {"a query in its own order on an incomplete cache",
         [&](R::SRestartFacts& f) {
             query(f);
             f.nFlags = TC | CONT | ORDER;
             f.nParseFlags = ORDER;
             f.bTableCache = true;
         },
         TC | CONT | ORDER, false, false, false, R::TC_NONE, false},
        {"a query on an incomplete cache of another item",
         [&](R::SRestartFacts& f) { query(f); f.nFlags = TC | CONT; f.bTableCache = true; },
         TC | CONT, false, false, false, R::TC_OPEN_USING, false},
        {"a query on an incomplete cache of its own item",
         [&](R::SRestartFacts& f) { query(f); f.nFlags = TC | CONT; f.bTableCache = true; f.bQueryItemIsItem = true; },
         TC | CONT, false, false, false, R::TC_NONE, false},
        {"a query on the SQL interface's connection",
         [&](R::SRestartFacts& f) {
             query(f);
             f.nFlags = TC | CONT;
             f.bTableCache = true;
             f.bTableCacheComplete = true;
             f.bSQLInterface = true;
         },
         TC | CONT, false, false, false, R::TC_NONE, false},
        {"a query without cache, its browse kept", [&](R::SRestartFacts& f) { query(f); f.nFlags = TC | CONT; },
         TC | CONT, false, false, false, R::TC_NEW_ATTACHED, false},
        {"a query without cache, a row limit",
         [&](R::SRestartFacts& f) { query(f); f.nFlags = TC | CONT; f.bRowLimit = true; }, TC | CONT, true, false,
         false, R::TC_NEW, false},
        {"a query without 0x2000", [&](R::SRestartFacts& f) { query(f); f.bWithoutCorrection = true; }, 0, true,
         false, false, R::TC_NEW, false},
        {"a query without caches", [&](R::SRestartFacts& f) { query(f); f.nFlags = CONT | NOCACHE; },
         CONT | NOCACHE, false, false, false, R::TC_NONE, false},
        {"the SQL interface without a record cache",
         [&](R::SRestartFacts& f) { table(f); f.nFlags = 0x10000; f.bSQLInterface = true; }, 0x10000, false, false,
         false, R::TC_NONE, true},
    };
    for (const SCase& c : tabCase) {
        R::SRestartFacts f;
        c.set(f);
        const R::SRestartDecision d = R::s_Restart(f);
        EXPECT_EQ(d.nFlags, c.nFlags) << c.pszRow;
        EXPECT_EQ(d.bRestart, c.bRestart) << c.pszRow;
        EXPECT_EQ(d.bDeactivateSearches, c.bDeactivate) << c.pszRow;
        EXPECT_EQ(d.bFreeTableCache, c.bFree) << c.pszRow;
        EXPECT_EQ(d.eTableCache, c.eCache) << c.pszRow;
        EXPECT_EQ(d.bRecordCacheOff, c.bRecordCacheOff) << c.pszRow;
    }
}

TEST(BrowseRules, AfterTheEngine)
{
    // The table cache goes after a failure while it holds nothing yet, or
    // when the failed statement browses it; a filled one serving other
    // browses stays.
    EXPECT_FALSE(R::s_bDropCacheAfterFailure(false, false, true));
    EXPECT_FALSE(R::s_bDropCacheAfterFailure(false, true, false));
    EXPECT_TRUE(R::s_bDropCacheAfterFailure(true, true, false));
    EXPECT_TRUE(R::s_bDropCacheAfterFailure(true, false, true));
    EXPECT_TRUE(R::s_bDropCacheAfterFailure(true, true, true));
    EXPECT_FALSE(R::s_bDropCacheAfterFailure(true, false, false));
    // A query sent as written reads first or last again through its cache.
    EXPECT_TRUE(R::s_bReadAgainWithCache(1, true, 0x4000, 0));
    EXPECT_TRUE(R::s_bReadAgainWithCache(1, true, 0, 1));
    EXPECT_FALSE(R::s_bReadAgainWithCache(0, true, 0, 0));
    EXPECT_FALSE(R::s_bReadAgainWithCache(1, false, 0, 0));
    EXPECT_FALSE(R::s_bReadAgainWithCache(1, true, 0x2000, 0));
    EXPECT_FALSE(R::s_bReadAgainWithCache(1, true, 0x20000, 1));
    EXPECT_FALSE(R::s_bReadAgainWithCache(1, true, 0, 2));
}

} // namespace
