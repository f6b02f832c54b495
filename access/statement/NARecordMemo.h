// The memo values of one record value, by the memo index of a column (its
// place among the record's memo columns); an entry may be null.
#pragma once

#include "common/platform/ZTUnknown.h"
#include "common/text/Tableau.h"
#include "common/values/NACnvVariant.h"

class CNARecordMemo : public CZTUnknown {
public:
    CNARecordMemo() : m_tabValue(1) {}

    int nGetCount() const { return m_tabValue.nGetNbElement(); }
    // No reference added; null beyond the end.
    CNAConvertVariant* pclGetNoRef(int i) const { return m_tabValue[i]; }
    // At least one entry that is a cell.
    bool bHasValue() const;
    // Entry i becomes the cell (one reference), the array extended with null
    // entries up to it.
    bool bShare(int i, CNAConvertVariant* pclCell);
    // An existing cell takes a copy of the value; a missing entry becomes a
    // clone of the cell (null without cell), the array extended with null
    // entries up to it. False when the copy cannot be made.
    bool bCopyMemoValue(int i, const CNAConvertVariant* pclCell);
    // Every entry of the source copied, every own entry beyond them NULL;
    // false at the first copy that fails.
    bool bCopyRecordMemo(const CNARecordMemo* pclSource);

    // The same object, or equal cells at every index (an absent entry is a
    // NULL cell); absent and empty arrays are equal.
    static bool g_bEqualsNARecordMemo(const CNARecordMemo* pclA, const CNARecordMemo* pclB);

protected:
    // Extends with null entries so that index i exists; false without memory.
    bool _bExtend(int i);

    CRefArray<CNAConvertVariant> m_tabValue;
};
