// The index of a column of fixed-size values: a B+-tree whose keys are the
// values' sortable key bytes and whose values are the row numbers (4 bytes
// in the machine's order), both compared byte by byte. The tree's position
// is the index's current position. A composite key's bytes are its parts'
// keys end to end; a descending part's bytes are inverted, and a
// descending key orders its rows of one value backwards too, as the
// server's browse of it.
#pragma once

#include "access/statement/IndexItem.h"

#include "access/statement/MemBTree.h"

class CIndexFixedSizeItem : public CIndexItem {
public:
    using CIndexItem::CIndexItem;
    ~CIndexFixedSizeItem() override;

    // A key size of 0 gives no index: user error 8 of kind 7.
    int bInit() override;
    // Without a value, row nRow's value is read from the record cache. 0
    // for a (key, row) pair present already, and without memory (with the
    // error).
    int bInsertRecord(int nRow, CAny* pValue) override;
    int bDeleteRecord(int nRow, CAny* pValue) override;
    int bGetRecordPosition(eNA_PARSEDIRECTION eDirection, int nCount, int* pnRow,
                           unsigned int* pnDuplicate) override;
    int nGetCurrentRecordId() override;
    int nGetRecordNbr() override;
    int nGetPreviousRecordNbr() override;
    int bSetCurrentPos(int nPos, int nDuplicate, int* pbFound) override;

    // Whether two values have the same key bytes: values the host finds
    // equal may not (0 and -0 as reals). For a composite key, the record's
    // original parts against its current ones.
    bool bSameKey(const CAny* pValue1, const CAny* pValue2);

    CMemBTree* pclGetTreeNoRef() const { return m_pclTree; }
    unsigned int nGetKeySize() const { return m_nKeySize; }

protected:
    // The value's key bytes in the key buffer, zeroed first so that a short
    // key never meets an earlier one's bytes. The value is not changed.
    const unsigned char* _pbyConvertKey(const CAny* pValue);
    // One part's key bytes (the column's own for a simple key) into
    // pbyKey, inverted for a descending part; the key's length.
    unsigned int _nConvertPart(unsigned char* pbyKey, const CNAColumn* pclPart, int bDescending, const CAny* pValue);
    // A start value's part keyed as _nConvertPart does, a text prefix
    // before every text that begins with it; false, with the error, when
    // the value gives no key bytes.
    bool _bStartPart(unsigned char* pbyKey, const CNAColumn* pclPart, int bDescending, const CAny* pValue,
                     bool bPrefix);
    // The key of the start value: a composite key's split into its parts
    // as the server's search splits it. Null, with the error, when a part
    // cannot be keyed.
    const unsigned char* _pbyStartKey(const CAny* pclStart);
    // Whether the statement's search is generic: its value is a prefix.
    bool _bGenericStart() const;
    // A composite key's bytes from its parts' values: those of a record
    // value, or with none the current record's. Null when a part cannot be
    // read.
    const unsigned char* _pbyCompositeKey(const CNARecordValue* pclRecord);
    // The key of a record value's parts; null when one cannot be read.
    const unsigned char* _pbyRecordKey(const CNARecordValue* pclRecord);
    // The key of row nRow of the record cache; null when it cannot be read.
    const unsigned char* _pbyRowKey(int nRow);
    // The key of the current record's original value; null without one.
    const unsigned char* _pbyOriginalKey();
    bool _bComposite() const;
    // Whether the pair is in the tree; the position stays where it was.
    bool _bPairPresent(const unsigned char* pbyKey, int nRow);
    // Counts in *pnDuplicate the entries just before the position, at most
    // nDuplicates, that hold a record identical to row *pnRow, and comes
    // back to where it started.
    int _bCalculateDuplicateIndice(int nDuplicates, int* pnRow, unsigned int* pnDuplicate);
    // The identical entries from the position on, the one there included;
    // the position stays.
    int _nIdenticalRun(const CNARecordValue* pclRecord);
    // On the first entry of the key at or after row nRow's place among
    // them (the first entry of the key for a row of -1), the end when none.
    void _SeekRowPlace(const unsigned char* pbyKey, int nRow);
    // The row number at the tree's position; -1 at the end.
    int _nRowAtPosition() const;

    CMemBTree* m_pclTree = nullptr;   // owned
    PFNMEMBTREECOMPARE m_pfnCompareRow = nullptr; // the tree's order of the rows of one key
    unsigned int m_nKeySize = 0;
    unsigned char* m_pbyKey = nullptr; // owned: the key, then room for a second one
};
