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
    // Entry i becomes the cell (one reference), the array extended with null
    // entries up to it.
    bool bShare(int i, CNAConvertVariant* pclCell);

protected:
    CRefArray<CNAConvertVariant> m_tabValue;
};
