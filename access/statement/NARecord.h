// The current record of one data access and the record buffer its columns
// read and write.
#pragma once

#include "access/driver/Interf.h"

class CNAKXRecord;

class CNARecord : public CInterf {
public:
    CNARecord();
    ~CNARecord() override;

    // The current record value's buffer (no reference added).
    CNAKXRecord* pclGetNAKXRecord() const { return m_pclCurrentKXRecord; }

protected:
    CNAKXRecord* m_pclCurrentKXRecord;
};
