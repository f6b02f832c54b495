#include "access/driver/NaDriver.h"

#include "access/driver/NAError.h"
#include "common/values/NACnvVariant.h"

#include <new>

CNADriver* CNADriver::s_pclDriver = nullptr;

CNADriver::CNADriver() : m_pclError(nullptr), m_piKX(nullptr) {}

CNADriver::~CNADriver()
{
    if (m_pclError != nullptr) {
        m_pclError->Reset();
        m_pclError->nRelease();
        m_pclError = nullptr;
    }
    if (s_pclDriver == this)
        s_pclDriver = nullptr;
}

CNAError* CNADriver::pclAllocError()
{
    return new (std::nothrow) CNAError();
}

void CNADriver::AllocError()
{
    if (m_pclError != nullptr) {
        m_pclError->nRelease();
        m_pclError = nullptr;
    }
    m_pclError = pclAllocError();
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNAConvertVariant* CNADriver::pclAllocVariant(CNAError* pError, CNAConnectionDescription* pConnection)
{
    if (pError == nullptr)
        pError = m_pclError;
    CNAConvertVariant* pclVariant = new (std::nothrow) CNAConvertVariant(pError, pConnection);
    if (pclVariant == nullptr && pError != nullptr)
        pError->pclGetXError()->SetErrorNoMemory();
    return pclVariant;
}
