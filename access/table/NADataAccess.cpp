#include "access/table/NADataAccess.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
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
      m_eHMode(0),
      m_pclRecordSaveCache(nullptr),
      m_pclRecordSaveCache2(nullptr),
      m_nOwnRecordSave(-1)
{
    __Init();
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
    if (m_piDescription != nullptr)
        m_piDescription->ExternalAddRef();
}

void CNADataAccess::__Init()
{
    for (CNARecordCachePosition** pp : {&m_pclRecordSaveCache, &m_pclRecordSaveCache2}) {
        try {
            *pp = new CNARecordCachePosition();
        } catch (const std::bad_alloc&) {
            // Without a cache the record saves answer -1 and 0.
            continue;
        }
        (*pp)->AddRef();
        (*pp)->SetGrowStep(50, 0);
    }
}

CNADataAccess::~CNADataAccess()
{
    // The saves go before anything that could still release into them.
    _FreeSavedRecordCache();
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
        // Held while the identity is made: the identity's reference is then
        // the only one, and without an identity the cell goes.
        pclCell->AddRef();
        CNARecordId* pclId = new (std::nothrow) CNARecordId_RowId(pclCell);
        pclCell->nRelease();
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

// ---- Record saves ---------------------------------------------------------------------------------

int CNADataAccess::_nKeepRecordSave(const CNARecordValue* pclValue)
{
    if (m_pclRecordSaveCache == nullptr || pclValue == nullptr)
        return -1;
    return m_pclRecordSaveCache->nKeepRecordSave(pclValue);
}

int CNADataAccess::nKeepCurrentRecordSave()
{
    if (m_pclCurrentRecord == nullptr)
        return -1;
    return _nKeepRecordSave(m_pclCurrentRecord->pclGetCurrentRecordValueNoRef());
}

int CNADataAccess::nKeepOriginalRecordSave(CNAStatement* pclStatement)
{
    const CNARecordValue* pclValue = nullptr;
    if (pclStatement != nullptr)
        pclValue = pclStatement->pclGetStmtOriginalRecord();
    else if (m_pclCurrentRecord != nullptr)
        pclValue = m_pclCurrentRecord->pclGetOriginalRecordValueNoRef();
    if (pclValue == nullptr || pclValue->pclGetNAKXRecord() == nullptr)
        return -1;
    return _nKeepRecordSave(pclValue);
}

void CNADataAccess::AddRefRecordSave(int nId)
{
    if (m_pclRecordSaveCache != nullptr)
        m_pclRecordSaveCache->AddRefRecordSave(nId);
}

int CNADataAccess::nReleaseRecordSave(int nId)
{
    return m_pclRecordSaveCache != nullptr ? m_pclRecordSaveCache->nReleaseRecordSave(nId) : 0;
}

int CNADataAccess::bCopySaveToRecord(int nId, CNARecordValue* pclValue)
{
    // Any id outside the saves, -1 included, is beyond the rows.
    return m_pclRecordSaveCache != nullptr &&
           m_pclRecordSaveCache->bGetAt(pclValue, static_cast<unsigned int>(nId));
}

int CNADataAccess::bRestoreOriginalRecordSave(int nId)
{
    if (m_pclCurrentRecord == nullptr)
        return 0;
    return bCopySaveToRecord(nId, m_pclCurrentRecord->pclGetOriginalRecordValueNoRef());
}

int CNADataAccess::bRestoreOriginalRecordSave(CNAStatement* pclStatement)
{
    return pclStatement != nullptr && bRestoreOriginalRecordSave(pclStatement->nGetRecordSaveID());
}

int CNADataAccess::bRecordDeleted(int nId)
{
    return m_pclRecordSaveCache != nullptr && m_pclRecordSaveCache->_bRecordDeleted(nId);
}

int CNADataAccess::bCopyOriginalRecordToCurrentRecord()
{
    if (m_pclCurrentRecord == nullptr || m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() == nullptr)
        return 0;
    m_pclCurrentRecord->pclGetCurrentRecordValueNoRef()->SetState(0);
    return m_pclCurrentRecord->bCopyOriginalRecordToCurrentRecord();
}

void CNADataAccess::_FreeSavedRecordCache()
{
    for (CNARecordCachePosition** pp : {&m_pclRecordSaveCache2, &m_pclRecordSaveCache}) {
        CNARecordCachePosition* pcl = *pp;
        *pp = nullptr;
        if (pcl != nullptr)
            pcl->nRelease();
    }
    m_nOwnRecordSave = -1;
}

// ---- A write seen by a record cache -----------------------------------------------------------------

int CNADataAccess::nSetRecordDeletedInCache(CNARecordCache* pclCache)
{
    const CNARecordValue* pclOriginal =
        m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetOriginalRecordValueNoRef() : nullptr;
    if (pclCache == nullptr || pclOriginal == nullptr)
        return -1;
    return pclCache->nSetRecordState(pclOriginal->pclGetRecordIdNoRef(), NA_RECORDSTATE_DELETED);
}

int CNADataAccess::nUpdateRecordInCache(unsigned int nFlags, CNARecordCache* pclCache)
{
    if (pclCache == nullptr || m_pclCurrentRecord == nullptr)
        return -1;
    return pclCache->nOnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE,
                                        m_pclCurrentRecord->pclGetCurrentRecordValueNoRef(),
                                        m_pclCurrentRecord->pclGetOriginalRecordValueNoRef(), nFlags, 0);
}
