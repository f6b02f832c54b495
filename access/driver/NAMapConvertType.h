// A connection's map from item types to the SQL type texts used when the
// driver creates a column. Filled with the defaults, then with the back
// end's native texts.
#pragma once

#include "access/driver/NATypeInfo.h"
#include "common/text/RefHashTable.h"
#include "common/values/ItemType.h"

class CNAMapConvertType : public CNARefHashTable<eNA_ITEMTYPE, CNATypeInfo*>, public CInterf {
public:
    explicit CNAMapConvertType(unsigned int nRequest = 7) : CNARefHashTable<eNA_ITEMTYPE, CNATypeInfo*>(nRequest) {}
    ~CNAMapConvertType() override {}

    // Replaces any entry of the type; false without memory.
    int Add(eNA_ITEMTYPE eType, const wchar_t* pszText, int bFormat);
    // The item's SQL type text; 0 when its type has no entry.
    int bFormat(const INAItemDescription* piItem, CTString* pclOut) const;
    // The default texts.
    void _Init();
};
