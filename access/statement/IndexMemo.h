// The index of a memo column: the row numbers in a sorted array, compared
// by their memo bytes read from the record cache. Rows whose memo is empty
// stand first, in the order they were added.
#pragma once

#include "access/statement/IndexItem.h"
#include "common/text/Tableau.h"

class CIndexMemo : public CIndexItem {
public:
    CIndexMemo(CNAError* pclError, CNARecordCache* pclRecordCache, CNAColumn* pclColumn, CNAStatement* pclStatement);
    ~CIndexMemo() override;

    int bInit() override;
    // pValue is not used: the row's memo is read from the record cache.
    int bInsertRecord(int nRow, CAny* pValue) override;
    int bDeleteRecord(int nRow, CAny* pValue) override;
    // *pnRow is the row at the position reached, -1 outside the array.
    int bGetRecordPosition(eNA_PARSEDIRECTION eDirection, int nCount, int* pnRow,
                           unsigned int* pnDuplicate) override;
    int nGetCurrentRecordId() override;
    int nGetRecordNbr() override;
    int nGetPreviousRecordNbr() override;
    int bSetCurrentPos(int nPos, int nDuplicate, int* pbFound) override;

    int nGetCurrentPos() const { return m_nCurrentPos; }
    int nGetEmptyEnd() const { return m_nEmptyEnd; }
    int nGetRowAt(int i) const { return i >= 0 && i < m_tabRow.nGetNbElement() ? m_tabRow[i] : -1; }

protected:
    // Binary search of the key among the memos. Found: *pnPos is the first
    // of the run of equal memos with bInsertPoint set and bLast clear, else
    // the last. Not found: with bInsertPoint the first position above the
    // key (-1 when none), without it the last below (-1 when none). 0 when
    // a memo cannot be read.
    int _bFind(int* pbFound, int* pnPos, const unsigned char* pKey, unsigned int nKeySize, int bInsertPoint,
               int bLast) const;

    unsigned int m_bRemoved;  // the entry at the current position was removed
    CTTableau<int> m_tabRow;  // row numbers in index order
    int m_nCurrentPos;        // -1 none
    int m_nEmptyEnd;          // position of the last empty memo, -1 none
};
