#include "access/sql/NADefine.h"

#include "access/statement/NAColumn.h"
#include "common/values/NACnvVariant.h"

CNADefine::CNADefine() : m_pclColumn(nullptr), m_pclValue(nullptr) {}

CNADefine::CNADefine(CNAColumn* pclColumn) : m_pclColumn(pclColumn), m_pclValue(nullptr)
{
    if (m_pclColumn != nullptr) {
        m_pclColumn->AddRef();
        m_pclValue = m_pclColumn->pclGetNAValue();
        if (m_pclValue != nullptr)
            m_pclValue->AddRef();
    }
}

CNADefine::CNADefine(const wchar_t* pszName, CNAConvertVariant* pclCell)
    : m_pclColumn(nullptr), m_csName(pszName), m_pclValue(pclCell)
{
    if (m_pclValue != nullptr)
        m_pclValue->AddRef();
}

CNADefine::~CNADefine()
{
    if (m_pclValue != nullptr)
        m_pclValue->nRelease();
    if (m_pclColumn != nullptr)
        m_pclColumn->nRelease();
}

const wchar_t* CNADefine::pszGetName() const
{
    return m_pclColumn != nullptr ? m_pclColumn->pszGetName() : m_csName.pszGet();
}

CNAConnectionDescription* CNADefine::pclGetCnx() const
{
    return m_pclValue != nullptr ? m_pclValue->pclGetCnx() : nullptr;
}
