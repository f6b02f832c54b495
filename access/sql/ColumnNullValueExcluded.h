// Which columns a condition keeps from being NULL: one flag per column,
// 1 when the condition lets the column's NULL values through. A column that
// is not in the set counts as selected.
#pragma once

#include "access/sql/NAOperator.h"
#include "common/text/Tableau.h"

class CNAColumn;

class CColumnNullValueExcluded {
public:
    CColumnNullValueExcluded();
    CColumnNullValueExcluded(const CColumnNullValueExcluded&) = delete;
    CColumnNullValueExcluded& operator=(const CColumnNullValueExcluded&) = delete;

    // The column's flag, by pointer or by its name in the source (ignoring
    // case); 1 when absent.
    int bColumnValuesNullSelected(const CNAColumn* pclColumn) const;
    int bColumnValuesNullSelected(const wchar_t* pszName) const;
    // Sets the flag, adding the column when absent; nothing for no column. 1.
    int bSetColumnValuesNullSelected(CNAColumn* pclColumn, int bSelected);
    // The flag becomes flag AND bSelected for AND, flag OR bSelected for any
    // other operator; an absent column enters only when AND excludes it. 1.
    int bCombineColumnValuesNullSelected(eNAOperator eOperator, CNAColumn* pclColumn, int bSelected);
    // Every entry of the other set combined into this one. Under OR a column
    // of this set that the other lacks is selected on that side, so it
    // becomes selected; no other set under OR selects everything. 1.
    int bCombineColumnValuesNullSelected(eNAOperator eOperator, const CColumnNullValueExcluded* pclOther);
    // The sets of the two sides of eOperator into this one: a copied in,
    // then b combined (copied when a is absent). A side without a set under
    // OR, or no set at all, changes nothing. 1.
    int bCombineColumnValuesNullSelected(eNAOperator eOperator, const CColumnNullValueExcluded* pclA,
                                         const CColumnNullValueExcluded* pclB);
    // The other set's entries, each flag inverted when asked; an entry
    // already here takes the copied flag. 1.
    int bCopyColumnValuesNullSelected(const CColumnNullValueExcluded* pclOther, int bInvert);
    void Reset();

    int nGetNbColumn() const { return m_tabColumn.nGetNbElement(); }
    CNAColumn* pclGetColumnNoRef(int i) const { return i >= 0 && i < nGetNbColumn() ? m_tabColumn[i] : nullptr; }

private:
    int _nFind(const CNAColumn* pclColumn) const;

    CTTableau<CNAColumn*> m_tabColumn; // no reference
    CTTableau<int> m_tabSelected;      // parallel to the columns
};
