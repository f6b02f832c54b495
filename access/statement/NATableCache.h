// A data access's whole-table cache: the record cache of one browse
// statement, once it holds the whole result, kept as the table's full
// cache; later browses in the order of a column are served from it by a
// table-cache index.
#pragma once

#include "access/sql/NAFilterSave.h"
#include "common/platform/ZTUnknown.h"
#include "common/text/XMallocObject.h"

class CNAColumn;
class CNADataAccess;
class CNAError;
class CNAFilter;
class CNARecordCache;
class CNAStatement;
class CNATableCacheIndex;

class CNATableCache : public CZTUnknown, public CXMallocObject {
public:
    // One reference on the error; the data access owns the table cache.
    CNATableCache(CNAError* pclError, CNADataAccess* pclDataAccess);
    CNATableCache(const CNATableCache&) = delete;
    CNATableCache& operator=(const CNATableCache&) = delete;

    // ---- Virtual operations, in slot order: the destructors, CZTUnknown's
    // dwRelease, then this one --------------------------------------------------------
    ~CNATableCache() override;
    // Keeps the browse statement (one reference) and its filter; 1.
    virtual int _bSetStatementParse(CNAStatement* pclStatement);

    // The first statement given becomes the browse statement.
    int bSetStatementParse(CNAStatement* pclStatement);
    int bIsStatementParse(const CNAStatement* pclStatement) const;
    // The full cache, or before it the browse statement's record cache.
    int bIsRecordCache(const CNARecordCache* pclCache) const;
    // 1 without a full cache.
    int bIsEmpty() const;
    // 1 while neither a full cache nor a browse statement is set.
    int bInitDone() const;
    int bFilterEquals(CNAFilter* pclFilter) const;
    // The browse statement's record cache complete; without one, whether
    // the full cache stands.
    int bCacheCompleted() const;
    // The full cache (no reference added), made once from the browse
    // statement's completed record cache; null when it cannot be made.
    CNARecordCache* pclGetFullCache();
    // Rows of the full cache, and those not deleted; 0 without one.
    long long llGetRecordNbr();
    long long llGetRecordNbrActive();
    // A new index (count 0) of the column over the full cache for the
    // statement; null with the error when none can be made.
    CNATableCacheIndex* pclGetCacheIndex(CNAStatement* pclStatement, CNAColumn* pclColumn);

    CNAStatement* pclGetStatementParseNoRef() const { return m_pclStatementParse; }
    CNADataAccess* pclGetDataAccessNoRef() const { return m_pclDataAccess; }

protected:
    // The browse statement's record cache read to its end; null when it
    // cannot be.
    CNARecordCache* _pclCompleteStatementCache();

    CNAError* m_pclError;               // one reference
    CNADataAccess* m_pclDataAccess;     // not counted
    CNAStatement* m_pclStatementParse;  // one reference, null before it is set and after the full cache is made
    CNARecordCache* m_pclFullCache;     // one reference, null until made
    CNAFilterSave m_clFilterSave;       // the browse statement's filter when it was set
};
