#include "access/table/NADataAccess.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"

CNADataAccess::CNADataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
                             CNAError* pclError)
    : m_pclError(pclError),
      m_pclConnection(pclConnection),
      m_piDescription(piDescription),
      m_pclContext(nullptr),
      m_bOpened(0),
      m_eHMode(0)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
    if (m_piDescription != nullptr)
        m_piDescription->ExternalAddRef();
}

CNADataAccess::~CNADataAccess()
{
    if (m_piDescription != nullptr)
        m_piDescription->nExternalRelease();
    CNADriver::g_ReleaseHeldConnection(m_pclConnection);
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

int CNADataAccess::_bNotBuilt(int nPoint)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, ERRFILE_DATAACCESS, nPoint, m_pclConnection,
                                   pszGetLogicalName(), nullptr, ZTERR_NOT_OFFERED);
    return 0;
}

int CNADataAccess::bHFerme()
{
    return _bNotBuilt(1);
}

void CNADataAccess::SetContext(CNAContext* pclContext)
{
    m_pclContext = pclContext;
}

int CNADataAccess::bHMode(_eNA_HMODE eMode)
{
    m_eHMode = static_cast<int>(eMode);
    return 1;
}

const wchar_t* CNADataAccess::pszGetLogicalName() const
{
    return m_piDescription != nullptr ? m_piDescription->pszGetLogicalName() : L"";
}

const wchar_t* CNADataAccess::pszGetDBTableName() const
{
    return m_piDescription != nullptr ? m_piDescription->pszGetDBTableName() : L"";
}
