// The index a statement browses through: one column's order over the full
// table cache, built once and kept in step with every write.
#pragma once

#include "access/statement/NARecordCache.h"
#include "common/platform/ZTUnknown.h"
#include "common/text/XMallocObject.h"

class CAny;
class CIndexItem;
class CNAColumn;
class CNAError;
class CNAStatement;

class CNATableCacheIndex : public CZTUnknown, public CXMallocObject {
public:
    // References on the error, the full cache and the column; the statement
    // is not counted.
    CNATableCacheIndex(CNAError* pclError, CNAStatement* pclStatement, CNARecordCache* pclRecordCache,
                       CNAColumn* pclColumn);
    CNATableCacheIndex(const CNATableCacheIndex&) = delete;
    CNATableCacheIndex& operator=(const CNATableCacheIndex&) = delete;
    ~CNATableCacheIndex() override;

    // A memo index for a memo column, else a fixed-size one, built from the
    // full cache.
    int bInit();
    // A write the full cache has already taken (3 insert, 2 update, 4
    // delete; the record cache's NA_NOTIFY_* kinds): the old value from
    // the record's original record value, the new one the column's current
    // value. An update that leaves the value equal, and its key bytes,
    // changes nothing. 0 with
    // the error when the index could not follow (it no longer matches the
    // full cache: the statement drops it).
    int OnNotifyOperation(int eType, int nRow, unsigned int nFlags);

    int bGetRecordPosition(eNA_PARSEDIRECTION eDirection, int nCount, int* pnRow, unsigned int* pnDuplicate);
    int nGetCurrentRecordId();
    int nGetRecordNbr();
    int nGetPreviousRecordNbr();
    int bSetCurrentPos(int nPos, int nDuplicate, int* pbFound);
    // The start value of the position reads (see CIndexItem).
    void SetStartValue(const CAny* pclValue);

    CNARecordCache* pclGetRecordCacheNoRef() const { return m_pclRecordCache; }
    CNAColumn* pclGetColumnNoRef() const { return m_pclColumn; }
    CNAStatement* pclGetStatementNoRef() const { return m_pclStatement; }
    CIndexItem* pclGetIndexItemNoRef() const { return m_pclIndexItem; }

private:
    CNAError* m_pclError;             // one reference
    CNARecordCache* m_pclRecordCache; // the full cache, one reference
    CIndexItem* m_pclIndexItem;       // owned, null until bInit
    CNAColumn* m_pclColumn;           // one reference
    CNAStatement* m_pclStatement;     // not counted
    const CAny* m_pclStartValue;      // not owned
};
