// What the table tests without a server set up first: the driver's factory,
// an error object, a closed connection of the MySQL kind and a hand table
// over them, given back in the reverse order.
#pragma once

#include "access/driver/NAError.h"
#include "tests/support/RecordValues.h"
#include "tests/support/TestTable.h"
#include "tests/support/ValueCells.h"

#include <memory>

class CTableScope {
protected:
    CTableScope()
    {
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
        m_pTable.reset(new CTestTable(m_pError, m_pCnx));
    }
    ~CTableScope()
    {
        m_pTable.reset();
        m_pCnx->nRelease();
        m_pError->nRelease();
    }
    CTableScope(const CTableScope&) = delete;
    CTableScope& operator=(const CTableScope&) = delete;

    CDriverScope m_clDriver;
    CNAError* m_pError = nullptr;
    CTestConnection* m_pCnx = nullptr;
    std::unique_ptr<CTestTable> m_pTable;
};
