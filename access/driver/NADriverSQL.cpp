#include "access/driver/NADriverSQL.h"

#include "access/driver/NAError.h"

CNADriverSQL::CNADriverSQL(CNADriver* pclDriver, CNAError* pclError)
    : m_nRef(0), m_nExternalRef(0), m_pclDriver(pclDriver), m_pclError(pclError)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNADriverSQL::~CNADriverSQL()
{
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

INADriverSQL* CNADriverSQL::ExternalAddRef()
{
    m_nExternalRef++;
    return this;
}

int CNADriverSQL::nExternalRelease()
{
    if (m_nExternalRef <= 0)
        return 0;
    if (--m_nExternalRef == 0 && m_nRef == 0) {
        delete this;
        return 0;
    }
    return m_nExternalRef;
}

unsigned int CNADriverSQL::nRelease()
{
    if (m_nRef == 0)
        return 0;
    if (--m_nRef == 0 && m_nExternalRef == 0) {
        delete this;
        return 0;
    }
    return m_nRef;
}
