// A data access of the given kind opened as the table opens one, over
// descriptions the test made: the database's description imported, then
// the current record made. It holds a reference of its own.
#pragma once

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"

template <class TBase>
class COpenedAccess : public TBase {
public:
    COpenedAccess(INADataSourceDescription* piHost, CNAConnectionDescription* pclConnection, CNAError* pclError)
        : TBase(piHost, pclConnection, pclError)
    {
        this->AddRef();
    }
    bool Open(CNADataSourceDescription* pclDatabase)
    {
        if (!this->_SetImportedDataSourceDesc(pclDatabase) || !this->_bInitCurrentRecord())
            return false;
        this->m_bOpened = 1;
        return true;
    }
};
