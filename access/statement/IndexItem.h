// The order of a full table cache's rows by one column's value, kept by a
// table-cache index: on a B+-tree of key bytes for fixed-size values
// (CIndexFixedSizeItem), in a sorted array of row numbers for memos
// (CIndexMemo). Positions count from 0; -1 is no row or no position.
#pragma once

#include "access/statement/NARecordCache.h"
#include "common/text/XMallocObject.h"

class CAny;
class CNAColumn;
class CNAError;
class CNAStatement;

class CIndexItem : public CXMallocObject {
public:
    enum : int {
        // Source-file number of the table cache and its indexes in the debug line.
        ERRFILE_TABLECACHE = 12,
    };

    // None of the four is counted: the owning index holds them.
    CIndexItem(CNAError* pclError, CNARecordCache* pclRecordCache, CNAColumn* pclColumn, CNAStatement* pclStatement);
    CIndexItem(const CIndexItem&) = delete;
    CIndexItem& operator=(const CIndexItem&) = delete;

    // ---- Virtual operations, in slot order ----------------------------------------
    virtual ~CIndexItem();
    // Indexes every row of the record cache in state 0.
    virtual int bInit() = 0;
    virtual int bInsertRecord(int nRow, CAny* pValue) = 0;
    virtual int bDeleteRecord(int nRow, CAny* pValue) = 0;
    // Moves and answers the row there in *pnRow (-1 when no entry can be
    // reached), and in *pnDuplicate how many identical records stand
    // before it on the same key.
    virtual int bGetRecordPosition(eNA_PARSEDIRECTION eDirection, int nCount, int* pnRow,
                                   unsigned int* pnDuplicate) = 0;
    virtual int nGetCurrentRecordId() = 0;
    virtual int nGetRecordNbr() = 0;
    // Entries before the current position.
    virtual int nGetPreviousRecordNbr() = 0;
    // Positions on the current record's original value, nDuplicate
    // identical entries on; the statement's repeat count, from the last of
    // them when it was gathered reading backward.
    virtual int bSetCurrentPos(int nPos, int nDuplicate, int* pbFound) = 0;

    // The value the position reads "first" and "last" start from (not
    // owned; null, or a value of host type 0: from either end). The
    // statement's user search remembers it.
    void SetStartValue(const CAny* pclValue) { m_pclStartValue = pclValue; }

protected:
    friend class CNATableCacheIndex;

    // The column's host value type.
    unsigned short _eGetTypeTQ() const;
    // The value's bytes: a NULL value, a size of 0 or no data give none
    // (null and 0 together); 0 when the value's treatment reports an error.
    int _bGetDataAdr(unsigned char** ppData, unsigned int* pnSize, CAny* pValue) const;
    // Row nRow's memo value of the column.
    int _bGetRecordValue(CAny* pValue, int nRow) const;
    // Row nRow's memo bytes against the key: *pnResult -1, 0 or 1 as the
    // row is below, equal to or above it.
    int _bCompareValues(int* pnResult, int nRow, const unsigned char* pKey, unsigned int nKeySize) const;
    // The column's place among the record's memo columns; -1 when none.
    int _nGetMemoIndex() const;
    // The start value when one is set.
    const CAny* _pclGetStartValue() const;
    // The column's value in the record's original record value: a memo's
    // from the memo values, any other from the record buffer.
    int _bGetOriginalValue(CAny* pValue) const;
    // A new record value on the item's error; null with the no-memory error.
    CNARecordValue* _pclNewRecordValue() const;
    // The out-of-memory error; 0.
    int _bNoMemory() const;

    CNAError* m_pclError;
    CNARecordCache* m_pclRecordCache;
    CNAColumn* m_pclColumn;
    CNAStatement* m_pclStatement;
    const CAny* m_pclStartValue;
};
