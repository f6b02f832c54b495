#include "access/table/NADataAccess.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/NACnvVariant.h"

#include <new>

CNADataAccess::CNADataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
                             CNAError* pclError)
    : m_pclError(pclError),
      m_pclCurrentRecord(nullptr),
      m_pclConnection(pclConnection),
      m_piDescription(piDescription),
      m_pclContext(nullptr),
      m_bOpened(0),
      m_pclQueryParserInfo(nullptr),
      m_bSourceIsQuery(0),
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
    _FreeCurrentRecord();
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

int CNADataAccess::eEvaluateRecordIdType()
{
    return CNARecordId::RECORDID_RECORDVALUES;
}

CNARecord* CNADataAccess::_pclAllocRecord(CNAError* pclError)
{
    return new (std::nothrow) CNARecord(pclError, this);
}

// ---- Identities and the current record ------------------------------------------------------------

CNARecordId* CNADataAccess::pclAllocRecordID(const CNARecordValue* pclValue)
{
    switch (eEvaluateRecordIdType()) {
    case CNARecordId::RECORDID_RECORDVALUES:
        return new (std::nothrow) CNARecordId_RecordValues(pclValue);
    case CNARecordId::RECORDID_ROWID: {
        CNAConvertVariant* pclCell = CNADriver::s_pclDriver != nullptr
                                         ? CNADriver::s_pclDriver->pclAllocVariantRowID(m_pclError, m_pclConnection)
                                         : nullptr;
        if (pclCell == nullptr)
            return nullptr;
        CNARecordId* pclId = new (std::nothrow) CNARecordId_RowId(pclCell);
        if (pclId == nullptr) {
            // The new cell has no holder yet.
            pclCell->AddRef();
            pclCell->nRelease();
        }
        return pclId;
    }
    default:
        return nullptr;
    }
}

CNARecord* CNADataAccess::pclGetCurrentRecord() const
{
    if (m_pclCurrentRecord != nullptr)
        m_pclCurrentRecord->AddRef();
    return m_pclCurrentRecord;
}

void CNADataAccess::_SetCurrentRecord(CNARecord* pclRecord)
{
    if (pclRecord == m_pclCurrentRecord)
        return;
    if (pclRecord != nullptr)
        pclRecord->AddRef();
    _FreeCurrentRecord();
    m_pclCurrentRecord = pclRecord;
}

void CNADataAccess::_FreeCurrentRecord()
{
    CNARecord* pcl = m_pclCurrentRecord;
    m_pclCurrentRecord = nullptr;
    if (pcl != nullptr)
        pcl->nRelease();
}
