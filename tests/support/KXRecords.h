// Items placed in the engine's record and records made from their
// serialised form, for the record, column and value cell tests.
#pragma once

#include "access/driver/NAItemDescription.h"
#include "access/statement/NAKXRecord.h"

#include <cstring>
#include <vector>

class CRecordItem : public CNAItemDescription {
public:
    CRecordItem(eNA_ITEMTYPE eType, int nPhysical, int nOffset, unsigned int nSize, unsigned int nDimension = 1)
    {
        m_eItemType = eType;
        m_nPhysicalIndice = nPhysical;
        m_nOffsetBase = nOffset;
        m_nItemSize = nSize;
        m_nDimension = nDimension;
    }
};

// A record of nItems items and nValues bytes of byFill: the sizes (values
// with flags, items, flag bytes), the flag bytes, the values.
inline void MakeRecord(CNAKXRecord& rec, unsigned int nItems, unsigned int nValues, unsigned char byFill = 0)
{
    const unsigned int nFlags = nItems == 0 ? 0 : ((nItems - 1) >> 3) + 1;
    std::vector<unsigned char> v(12 + nFlags + nValues, byFill);
    const unsigned int an[3] = {nFlags + nValues, nItems, nFlags};
    std::memcpy(v.data(), an, sizeof(an));
    rec.Deserialize(v.data(), static_cast<unsigned int>(v.size()));
}
