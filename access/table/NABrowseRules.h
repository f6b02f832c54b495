// The choices a data access makes while it browses, each a pure function of
// named facts: whether the browse engine reads on in the statement's open
// result, reopens it or refreshes it, and what a read of first, last, next
// or previous does before and after the engine. The data access gathers the
// facts and carries out the answer; the rules can be checked row by row.
#pragma once

class CNABrowseRules {
public:
    // ---- The browse engine --------------------------------------------------------------
    enum eFETCH : int {
        // A new SELECT: prepare mode 1, or 3 for a query the host prepared.
        FETCH_REOPEN,
        FETCH_REOPEN_PREPARED,
        // Read on in the open result (or the table cache).
        FETCH_READ,
        // The table cache's full cache built first (its failure answers 0).
        FETCH_FULL_CACHE_READ,
        // The record is lost: 1, nothing read.
        FETCH_LOST,
        // A backward read nothing can serve: user error 82, 0.
        FETCH_BACKWARDS_REFUSED,
        // Marked for refresh (cause 2), then refreshed.
        FETCH_MARK_AND_REFRESH,
        // Refreshed from the statement's record save.
        FETCH_REFRESH,
    };
    struct SFetchFacts {
        int eDirection = 0;           // 0 first, 1 last, 2 next, 3 previous
        bool bRestart = false;
        bool bTableCacheFlag = false; // the flags hold 0x2000
        bool bTableCache = false;     // the data access has one
        bool bRefreshPending = false;
        bool bStarted = false;
        bool bRowLimit = false;       // the open result was cut by a row limit
        bool bLimitCoversCount = false; // no row limit, or one of at least the count
        bool bInverted = false;
        bool bFirstBlock = false;
        bool bCacheBrowse = false;    // the statement is the table cache's browse statement
        bool bHostPrepared = false;
        bool bRecordLost = false;
        bool bCanFetchBackward = true;
        bool bRecordCache = false;    // the statement's record cache is on
        bool bCanRefresh = false;     // read only when the rest of that row holds
    };
    static eFETCH s_eFetch(const SFetchFacts& f);
    // Whether a backward read is blocked but for a refresh: the facts of the
    // two rows that need bCanRefresh.
    static bool s_bBackwardBlocked(const SFetchFacts& f);
    // The open result holds the end asked for.
    static bool s_bCoversEnd(const SFetchFacts& f);

    // ---- Reading: a query's first browse, pending since its execution ------------------
    struct SPendingFacts {
        bool bLatestFilter = false;
        bool bLastHoldsSearch = false;
        bool bWithoutCorrection = false;
        bool bQueryOrderFlag = false;   // the flags hold 0x20000
        bool bLastSameItem = false;     // a last statement browses the item (case and accents ignored)
        bool bLastQueryOrder = false;   // ... and its browse flags hold 0x20000
        bool bNoCacheFlag = false;      // the flags hold 0x100000
        bool bContinueFlag = false;     // the flags hold 0x4000
        bool bLastNamedItem = false;    // a last statement named like the item (case ignored)
    };
    struct SPendingDecision {
        bool bAddTableCacheFlag = false;
        // The last statement's record cache off and the table cache dropped.
        bool bDropCaches = false;
        // The last statement is taken as it stands, marked started.
        bool bTakeLast = false;
    };
    static SPendingDecision s_Pending(const SPendingFacts& f);

    // ---- Reading: first or last, whether the browse starts again ----------------------
    enum eTABLECACHE : int {
        TC_NONE,
        // The statement opens on the table cache.
        TC_OPEN_USING,
        // A new table cache whose browse statement is this one.
        TC_NEW_ATTACHED,
        // A new table cache, and the browse starts again.
        TC_NEW,
    };
    struct SRestartFacts {
        int eDirection = 0;            // 0 or 1
        unsigned int nFlags = 0;
        unsigned int nParseFlags = 0;  // the statement's browse flags before this read
        bool bStarted = false;
        bool bTableCache = false;
        bool bTableCacheComplete = false;
        bool bFilterChanged = false;
        bool bQuerySource = false;
        bool bInverted = false;
        bool bInternalSearch = false;
        bool bRowLimit = false;
        bool bFirstBlock = false;
        bool bRecordCache = false;
        bool bRecordCacheComplete = false;
        bool bRefreshPending = false;
        bool bWithoutCorrection = false;
        bool bResultsetLimited = false;
        bool bQueryItemIsItem = false; // the query's browse item is the item (case ignored)
        bool bSQLInterface = false;    // the connection is the SQL interface's own
    };
    struct SRestartDecision {
        unsigned int nFlags = 0;       // the flags the read goes on with
        bool bRestart = false;
        bool bDeactivateSearches = false;
        bool bFreeTableCache = false;
        eTABLECACHE eTableCache = TC_NONE;
        bool bRecordCacheOff = false;
    };
    static SRestartDecision s_Restart(const SRestartFacts& f);

    // ---- Reading: after the engine -------------------------------------------------------
    // A failed read, and a failed retry: the table cache goes when it holds
    // nothing yet (no browse statement, no full cache) or this statement
    // browses it; a filled cache serving other browses stays.
    static bool s_bDropCacheAfterFailure(bool bTableCache, bool bInitDone, bool bCacheBrowse);
    // A read of first or last on a query sent as written, done without the
    // table cache, is done again through it.
    static bool s_bReadAgainWithCache(int bResult, bool bWithoutCorrection, unsigned int nFlags, int eDirection);
};
