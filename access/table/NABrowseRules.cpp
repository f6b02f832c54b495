#include "access/table/NABrowseRules.h"

namespace {
constexpr unsigned int FLAG_TABLE_CACHE = 0x2000;
constexpr unsigned int FLAG_CONTINUE = 0x4000;
constexpr unsigned int FLAG_QUERY_ORDER = 0x20000;
constexpr unsigned int FLAG_NO_CACHES = 0x110000;
constexpr unsigned int FLAG_SQL_INTERFACE_MASK = 0x12000;
constexpr unsigned int FLAG_NO_RECORD_CACHE = 0x10000;
constexpr int DIR_FIRST = 0;
constexpr int DIR_LAST = 1;
constexpr int DIR_NEXT = 2;
constexpr int DIR_PREVIOUS = 3;
} // namespace

// ---- The browse engine -----------------------------------------------------------------------------------------

bool CNABrowseRules::s_bCoversEnd(const SFetchFacts& f)
{
    // The start of the result's own order needs its first block; its end
    // needs a result that no row limit cut.
    const bool bStartOfResult = (f.eDirection == DIR_FIRST) != f.bInverted;
    return bStartOfResult ? f.bFirstBlock : !f.bRowLimit;
}

bool CNABrowseRules::s_bBackwardBlocked(const SFetchFacts& f)
{
    const bool bBackward = f.bInverted ? f.eDirection == DIR_NEXT : f.eDirection == DIR_PREVIOUS;
    return !f.bRefreshPending && f.bStarted && !f.bCanFetchBackward && !f.bTableCache && !f.bRecordCache && bBackward;
}

CNABrowseRules::eFETCH CNABrowseRules::s_eFetch(const SFetchFacts& f)
{
    if (f.bRestart)
        return FETCH_REOPEN;
    if (f.eDirection == DIR_FIRST || f.eDirection == DIR_LAST) {
        if (f.bTableCacheFlag && !f.bTableCache) {
            if (!f.bRefreshPending && f.bStarted && f.bLimitCoversCount && s_bCoversEnd(f))
                return FETCH_READ;
            return FETCH_REOPEN;
        }
        if (f.bTableCacheFlag)
            return f.bCacheBrowse ? FETCH_READ : FETCH_FULL_CACHE_READ;
        return f.bHostPrepared ? FETCH_REOPEN_PREPARED : FETCH_REOPEN;
    }
    if (f.bRecordLost)
        return FETCH_LOST;
    if (s_bBackwardBlocked(f))
        return f.bCanRefresh ? FETCH_MARK_AND_REFRESH : FETCH_BACKWARDS_REFUSED;
    if ((f.bRefreshPending || !f.bStarted) && !f.bTableCache)
        return FETCH_REFRESH;
    return FETCH_READ;
}

// ---- Reading --------------------------------------------------------------------------------------------------------

CNABrowseRules::SPendingDecision CNABrowseRules::s_Pending(const SPendingFacts& f)
{
    SPendingDecision d;
    if (!f.bLatestFilter && !f.bLastHoldsSearch &&
        (f.bWithoutCorrection || f.bQueryOrderFlag || (f.bLastSameItem && !f.bLastQueryOrder))) {
        d.bAddTableCacheFlag = true;
        d.bDropCaches = f.bNoCacheFlag;
    }
    d.bTakeLast = f.bContinueFlag && f.bLastNamedItem;
    return d;
}

CNABrowseRules::SRestartDecision CNABrowseRules::s_Restart(const SRestartFacts& f)
{
    SRestartDecision d;
    unsigned int nFlags = f.nFlags;
    // A browse started in the other order cannot read on in its result.
    if ((nFlags & FLAG_TABLE_CACHE) != 0 && f.bStarted && ((f.nParseFlags ^ nFlags) & FLAG_QUERY_ORDER) != 0 &&
        !f.bTableCache)
        nFlags &= ~FLAG_TABLE_CACHE;
    const bool bCacheFlag = (nFlags & FLAG_TABLE_CACHE) != 0;
    bool bRestart = f.bFilterChanged;
    if (bCacheFlag && (nFlags & FLAG_CONTINUE) != 0 && !f.bQuerySource) {
        const bool bFarEnd = f.bInverted ? f.eDirection == DIR_FIRST : f.eDirection == DIR_LAST;
        const bool bWholeResult = !f.bInternalSearch && !f.bRowLimit && f.bFirstBlock && f.bRecordCacheComplete;
        if (bFarEnd && !bWholeResult)
            bRestart = true;
    }
    if (f.bInternalSearch && !(f.bTableCache && !bRestart && bCacheFlag)) {
        d.bDeactivateSearches = true;
        bRestart = true;
    }
    d.bFreeTableCache = (bRestart || !bCacheFlag) && f.bTableCache;
    const bool bTableCache = f.bTableCache && !d.bFreeTableCache;
    const bool bCacheable =
        f.bQuerySource && ((nFlags & FLAG_CONTINUE) != 0 || f.bWithoutCorrection || f.bResultsetLimited);
    if (bCacheable && (nFlags & FLAG_NO_CACHES) == 0) {
        if (!bRestart && bCacheFlag && bTableCache) {
            const bool bQueryOrder = (nFlags & FLAG_QUERY_ORDER) != 0;
            if (!(bQueryOrder && f.bWithoutCorrection) && !(!f.bTableCacheComplete && f.bQueryItemIsItem) &&
                !((!f.bTableCacheComplete && bQueryOrder) || f.bSQLInterface))
                d.eTableCache = TC_OPEN_USING;
        } else if (!bRestart && bCacheFlag) {
            if (f.bRecordCache && !f.bFilterChanged && !f.bInternalSearch && !f.bRefreshPending && !f.bRowLimit &&
                f.bFirstBlock) {
                d.eTableCache = TC_NEW_ATTACHED;
            } else {
                d.eTableCache = TC_NEW;
                bRestart = true;
            }
        } else {
            d.eTableCache = TC_NEW;
            bRestart = true;
        }
    } else if (f.bSQLInterface && (nFlags & FLAG_SQL_INTERFACE_MASK) == FLAG_NO_RECORD_CACHE) {
        d.bRecordCacheOff = true;
    }
    d.nFlags = nFlags;
    d.bRestart = bRestart;
    return d;
}

bool CNABrowseRules::s_bDropCacheAfterFailure(bool bTableCache, bool bInitDone, bool bCacheBrowse)
{
    return bTableCache && (bInitDone || bCacheBrowse);
}

bool CNABrowseRules::s_bReadAgainWithCache(int bResult, bool bWithoutCorrection, unsigned int nFlags, int eDirection)
{
    return bResult && bWithoutCorrection && (nFlags & (FLAG_QUERY_ORDER | FLAG_TABLE_CACHE)) == 0 &&
           (eDirection == DIR_FIRST || eDirection == DIR_LAST);
}
