// One record image: a record buffer, the memo values that live beside it and
// the record identity.
#pragma once

#include "access/driver/Interf.h"

class CNAConvertVariant;
class CNAError;
class CNAKXRecord;
class CNARecordId;
class CNARecordMemo;

class CNARecordValue : public CInterf {
public:
    // The buffer is given (one reference taken) or null.
    CNARecordValue(CNAError* pclError, CNAKXRecord* pclBuffer);
    ~CNARecordValue() override;

    CNAKXRecord* pclGetNAKXRecord() const { return m_pclKXRecord; }
    CNARecordMemo* pclGetTabMemoNoRef() const { return m_pclMemo; }
    // Entry i of the memos becomes the cell (one reference); the memo array
    // is made when needed.
    bool bShareMemoValue(int i, CNAConvertVariant* pclCell);
    CNAConvertVariant* pclGetMemoValueNoRef(int i) const;
    unsigned int nGetState() const { return m_nState; }
    void SetState(unsigned int n) { m_nState = n; }

protected:
    CNAError* m_pclError;         // one reference
    CNAKXRecord* m_pclKXRecord;   // one reference
    CNARecordMemo* m_pclMemo;     // one reference, null without memo value
    CNARecordId* m_pclRecordId;   // one reference, or null
    unsigned int m_nState;        // 128: deleted
};
