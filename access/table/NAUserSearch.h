// The user search a statement remembers: the item and value the host last
// searched on, by which the statement tells whether the record it stands on
// is the one searched for. Saved positions carry a copy of it.
#pragma once

#include "common/values/Any.h"

class CNARecord;
class INAItemDescription;

class CNAUserSearch {
public:
    // Bit 0 of the flags: a generic search (the value is a prefix).
    enum : unsigned int { US_GENERIC = 0x1 };

    CNAUserSearch();
    virtual ~CNAUserSearch();
    CNAUserSearch(const CNAUserSearch&) = delete;
    CNAUserSearch& operator=(const CNAUserSearch&) = delete;

    // Forgets the search held, then takes the item (an external reference)
    // and a copy of the value. The search's own item and value change
    // nothing but the flags.
    void SetUserSearch(INAItemDescription* piItem, const CAny* pValue, unsigned int nFlags);
    // The item given back, the value emptied, the flags 0.
    void CancelUserSearch();
    // Takes the other's search; a search copied onto itself is left alone.
    void Copy(const CNAUserSearch* pclOther);
    // 1 without a remembered item; else whether the record's column of the
    // item holds the value (as a prefix for a generic search), 0 when the
    // record has no such column.
    int bGetHTrouve(CNARecord* pclRecord) const;

    INAItemDescription* piGetItemNoRef() const { return m_piItem; }
    const CAny* pclGetValue() const { return &m_clValue; }
    unsigned int nGetFlags() const { return m_nFlags; }

private:
    CAny m_clValue;               // the search's own copy
    unsigned int m_nFlags;        // US_GENERIC
    INAItemDescription* m_piItem; // one external reference, or null
};
