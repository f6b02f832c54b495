// A filter of a table: a key search set from a lower and an upper bound on
// an item, and an optional host-parsed condition.
#pragma once

#include "access/sql/NARecherche.h"

class ISQLParserInformation;

class CNAFilter : public CNARecherche {
public:
    CNAFilter(CNAError* pclError, CNAConnectionDescription* pclConnection);
    CNAFilter();

    // ---- Virtual operations ------------------------------------------------------
    ~CNAFilter() override;
    CNARecherche* pclClone() override;
    CNARecherche* _pclAllocRecherche() override;
    // A copy of the filter (count 0), or null.
    virtual CNAFilter* pclCloneFilter();

    // The condition between the bounds (either may be absent) on the item;
    // with flag 0x8 the values are the record's. On a descending item the
    // two bounds change places, each with its inclusion flag.
    int bSetFilter(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pLower, int bLowerIncluded,
                   const CAny* pUpper, int bUpperIncluded, ISQLParserInformation* piParser, int nFlags);
    void ActivateFilter(int bOn);
    int bIsFilterActive() const { return m_eState != STATE_INACTIVE; }
    // The condition written for the filter (no reference added), or null.
    CNAExpression* pclGetConditionNoRef() const { return m_pclSearch; }
    int bEqualsFilter(const CNAFilter* pclOther) const;
    static int g_bEqualsFilter(const CNAFilter* a, const CNAFilter* b);
    int _bResetFilter();

protected:
    CInterf* m_pclOwn; // one reference; never set by this driver
};
