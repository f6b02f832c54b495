#include "access/table/NADataAccess.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/sql/NARecherche.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "access/statement/NATableCache.h"
#include "access/table/NAIDAuto.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/NACnvVariant.h"

#include <climits>
#include <new>

CNADataAccess::CNADataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
                             CNAError* pclError)
    : m_pclError(pclError),
      m_pclCurrentRecord(nullptr),
      m_pclConnection(pclConnection),
      m_piDescription(piDescription),
      m_pclImportedDescription(nullptr),
      m_pclContext(nullptr),
      m_bOpened(0),
      m_pclIDAuto(nullptr),
      m_pclQueryParserInfo(nullptr),
      m_eQueryMode(0),
      m_bSourceIsQuery(0),
      m_eHMode(0),
      m_pclRecordSaveCache(nullptr),
      m_pclRecordSaveCache2(nullptr),
      m_nOwnRecordSave(-1),
      m_pclLatestFilter(nullptr),
      m_pclTableCache(nullptr)
{
    _FormatTableName();
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
    if (m_pclTableCache != nullptr)
        m_pclTableCache->dwRelease();
    SetLatestFilter(nullptr);
    // The saves go before anything that could still release into them.
    _FreeSavedRecordCache();
    _FreeCurrentRecord();
    if (m_pclIDAuto != nullptr)
        m_pclIDAuto->nRelease();
    if (m_pclImportedDescription != nullptr)
        m_pclImportedDescription->nExternalRelease();
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

// ---- Descriptions and the query ---------------------------------------------------------------------

void CNADataAccess::_FormatTableName()
{
    if (m_piDescription == nullptr || m_pclConnection == nullptr)
        return;
    try {
        m_pclConnection->bFormatTableName(m_pclError, m_piDescription->pszGetDBTableName(), &m_csFormatedTableName);
    } catch (const std::bad_alloc&) {
        // Made again when first asked for.
        m_csFormatedTableName.Vide();
    }
}

const wchar_t* CNADataAccess::pszGetFormatedTableName()
{
    if (m_csFormatedTableName.nTaille() == 0)
        _FormatTableName();
    return m_csFormatedTableName.pszGet();
}

INADataSourceDescription* CNADataAccess::piGetDataSourceDescription() const
{
    if (m_piDescription != nullptr)
        m_piDescription->ExternalAddRef();
    return m_piDescription;
}

int CNADataAccess::bRequeteSansCorrection() const
{
    return m_bSourceIsQuery && (m_eQueryMode & QM_WITHOUT_CORRECTION) != 0;
}

int CNADataAccess::bQueryResultsetLimited()
{
    return m_bSourceIsQuery && !bRequeteSansCorrection() && m_pclQueryParserInfo != nullptr &&
           m_pclQueryParserInfo->bQueryResultsetLimited(m_pclConnection);
}

int CNADataAccess::bSourceIsQueryOnMultipleTables() const
{
    return m_bSourceIsQuery && m_pclQueryParserInfo != nullptr && m_pclQueryParserInfo->nGetFichierFromNbr() > 1;
}

void CNADataAccess::_GetDBSourceName(INAItemDescription* piItem, CTString* pclOut, int bFormat)
{
    const wchar_t* pszSource = piItem != nullptr ? piItem->pszGetSourceName() : nullptr;
    if (pszSource == nullptr)
        return;
    INADataSourceDescription* piSource =
        m_pclQueryParserInfo != nullptr ? m_pclQueryParserInfo->piGetNADataSourceDescription(pszSource) : nullptr;
    CTString csName(piSource != nullptr ? piSource->pszGetDBTableName() : pszSource);
    if (piSource != nullptr)
        piSource->nExternalRelease();
    if (!bFormat || m_pclConnection == nullptr || !m_pclConnection->bFormatTableName(m_pclError, csName.pszGet(), pclOut))
        pclOut->Set(csName.pszGet());
}

int CNADataAccess::_bEnableRecordLimit(const wchar_t* pszItem)
{
    if (m_piDescription == nullptr)
        return 0;
    if (pszItem != nullptr && pszItem[0] != 0) {
        INAItemDescription* piItem = m_piDescription->piNAGetItem(pszItem);
        if (piItem == nullptr)
            return 0;
        const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
        const int bUnique = piItem->bUnique();
        piItem->nExternalRelease();
        if (eType == NA_IT_R4 || eType == NA_IT_R8)
            return 0;
        if (bUnique)
            return 1;
    }
    INAItemDescription* piBest = m_piDescription->piGetBestParseItemDesc();
    if (piBest == nullptr)
        return 0;
    int bAnswer = 0;
    if (piBest->bUnique()) {
        for (unsigned int i = 0; i < m_piDescription->nGetNumItems(); i++) {
            INAItemDescription* pi = m_piDescription->piNAGetItem(i);
            if (pi == nullptr)
                break;
            const bool bBest = pi == piBest;
            const eNA_ITEMTYPE eType = pi->eNAGetItemType();
            pi->nExternalRelease();
            if (bBest) {
                bAnswer = 1;
                break;
            }
            // Rows equal up to a real number are not ordered exactly.
            if (eType == NA_IT_R4 || eType == NA_IT_R8)
                break;
        }
    }
    piBest->nExternalRelease();
    return bAnswer;
}

// ---- Statements -------------------------------------------------------------------------------------------------

CNACommand* CNADataAccess::pclAllocCommand(CNAError*)
{
    return CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclAllocCommand(m_pclError, m_pclConnection)
                                             : nullptr;
}

CNAStatement* CNADataAccess::_pclAllocStatement(CNADataAccess* pclOwner, CNAError* pclError)
{
    return CNADriver::s_pclDriver != nullptr
               ? CNADriver::s_pclDriver->pclAllocStatement(pclOwner, m_pclConnection, pclError)
               : nullptr;
}

CNADataSourceDescription* CNADataAccess::_pclAllocDataSource(CNAConnectionDescription* pclConnection,
                                                             CNAError* pclError)
{
    return CNADriver::s_pclDriver != nullptr
               ? CNADriver::s_pclDriver->pclAllocDataSourceDescription(pclConnection, pclError)
               : nullptr;
}

CNAIDAuto* CNADataAccess::_pclAllocIDAuto()
{
    return CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclAllocIDAuto() : nullptr;
}

CNAIDAuto* CNADataAccess::pclGetIDAuto()
{
    if (m_pclIDAuto == nullptr) {
        m_pclIDAuto = _pclAllocIDAuto();
        if (m_pclIDAuto == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->pclGetXError()->SetErrorNoMemory();
            return nullptr;
        }
        m_pclIDAuto->AddRef();
    }
    m_pclIDAuto->AddRef();
    return m_pclIDAuto;
}

int CNADataAccess::bSetNewAutoId()
{
    CNAColumn* pclColumn = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnIDAutoNoRef() : nullptr;
    if (pclColumn == nullptr)
        return 1;
    CNAIDAuto* pclAuto = pclGetIDAuto();
    if (pclAuto == nullptr)
        return 0;
    CAny clValue;
    int bResult = pclAuto->bGetNextValue(this, pclColumn, m_pclError, &clValue);
    if (bResult)
        bResult = pclColumn->bSetValue(&clValue, 0);
    pclAuto->nRelease();
    return bResult;
}

int CNADataAccess::bInitImportedDataSourceDesc(CNAStatement* pclStatement)
{
    CNADataSourceDescription* pcl = _pclAllocDataSource(m_pclConnection, m_pclError);
    if (pcl == nullptr || pclStatement == nullptr)
        return 0;
    pcl->AddRef();
    pcl->SetLogicalName(pszGetLogicalName());
    pcl->SetDBName(pszGetLogicalName());
    const int bResult = pclStatement->bGetQueryStructure(pcl);
    if (bResult)
        _SetImportedDataSourceDesc(pcl);
    pcl->nRelease();
    return bResult;
}

void CNADataAccess::_SetImportedDataSourceDesc(CNADataSourceDescription* pclDescription)
{
    if (pclDescription == m_pclImportedDescription)
        return;
    if (pclDescription != nullptr)
        pclDescription->ExternalAddRef();
    if (m_pclImportedDescription != nullptr)
        m_pclImportedDescription->nExternalRelease();
    m_pclImportedDescription = pclDescription;
}

void CNADataAccess::ClosingStatement(CNAStatement* pclStatement)
{
    if (m_pclTableCache != nullptr && m_pclTableCache->bIsStatementParse(pclStatement))
        _FreeTableCache();
}

// ---- Table cache and latest filter ---------------------------------------------------------------------

void CNADataAccess::_AllocTableCache()
{
    m_pclTableCache = new (std::nothrow) CNATableCache(m_pclError, this);
}

int CNADataAccess::_bCreateNewTableCache(CNAStatement*)
{
    if (m_pclTableCache != nullptr)
        _FreeTableCache();
    _AllocTableCache();
    if (m_pclTableCache == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    m_pclTableCache->m_nRefCount++;
    return 1;
}

void CNADataAccess::_FreeTableCache()
{
    if (m_pclTableCache == nullptr)
        return;
    // A statement's Close while it gives up its index comes back here: the
    // field is cleared first.
    CNATableCache* pcl = m_pclTableCache;
    _DestroyCacheIndexes();
    if (m_pclTableCache == pcl) {
        m_pclTableCache = nullptr;
        pcl->dwRelease();
    }
}

void CNADataAccess::_DestroyCacheIndexes() {}

int CNADataAccess::bFreeCache()
{
    _FreeTableCache();
    return 1;
}

void CNADataAccess::SetLatestFilter(CNAFilter* pclFilter)
{
    if (pclFilter == m_pclLatestFilter)
        return;
    if (pclFilter != nullptr)
        pclFilter->AddRef();
    if (m_pclLatestFilter != nullptr)
        m_pclLatestFilter->nRelease();
    m_pclLatestFilter = pclFilter;
}

int CNADataAccess::bHLitxxx(const wchar_t*, eNA_PARSEDIRECTION, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, unsigned int)
{
    return _bNotBuilt(20);
}

int CNADataAccess::bSkipRecord(const wchar_t*, eNA_PARSEDIRECTION, long long, int, eNA_LOCKTYPE, eNA_LOCKTYPE*,
                               unsigned int)
{
    return _bNotBuilt(21);
}

int CNADataAccess::bHSauvePosition(int*, const wchar_t*, eNAPOSITION)
{
    return _bNotBuilt(22);
}

int CNADataAccess::bHRetourPosition(int, wchar_t*, int, eNAPOSITION)
{
    return _bNotBuilt(23);
}

int CNADataAccess::bSetCurrentRecordRead(int bKeepSave)
{
    if (m_pclCurrentRecord == nullptr || m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() == nullptr)
        return 0;
    m_pclCurrentRecord->pclGetCurrentRecordValueNoRef()->SetState(0);
    const int bResult = m_pclCurrentRecord->bCopyCurrentRecordToOriginalRecord() ? 1 : 0;
    if (!bKeepSave && m_nOwnRecordSave != -1) {
        nReleaseRecordSave(m_nOwnRecordSave);
        m_nOwnRecordSave = -1;
    }
    return bResult;
}

int CNADataAccess::bGetNbEnr(long long*, unsigned int, unsigned int, CNAStatement*, int)
{
    return _bNotBuilt(2);
}

int CNADataAccess::_bFetch(CNAStatement*, const wchar_t*, int, long long, int, eNA_LOCKTYPE, eNA_LOCKTYPE*,
                           unsigned int, int, long long*)
{
    return _bNotBuilt(3);
}

int CNADataAccess::bBuildSelect(CNACommand* pclCommand, CNAStatement* pclStatement, const wchar_t* pszItem,
                                int bForward, unsigned int nFlags, long long* pllCount)
{
    if (pclCommand == nullptr || pclStatement == nullptr)
        return 0;
    pclCommand->SetStatementKind(CNAStatement::QT_SELECT);
    pclStatement->ResetQuery();
    CNACommand* pclWhere = pclAllocCommand(m_pclError);
    if (pclWhere == nullptr)
        return 0;
    pclWhere->AddRef();
    int bResult = pclStatement->bGetClauseWHERE(pclWhere) &&
                  pclStatement->bBuildQuerySELECT(pclCommand, nFlags, pszItem, bForward, pclWhere);
    const bool bLimited =
        m_bSourceIsQuery && ((m_eQueryMode & (QM_WITHOUT_CORRECTION | QM_JOIN)) != 0 ||
                             (m_pclQueryParserInfo != nullptr &&
                              m_pclQueryParserInfo->bQueryResultsetLimited(m_pclConnection)));
    if (bResult && !bLimited && _bEnableRecordLimit(pszItem)) {
        long long llLimit = m_pclConnection != nullptr ? m_pclConnection->llGetCacheSize() : -2;
        if (llLimit == -2)
            llLimit = CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->llGetRowBlockSize() : -1;
        pclCommand->SetRowLimit(llLimit, -1);
        // A next block goes on from its original record: never an offset.
        if (llLimit > 0 && pllCount != nullptr && *pllCount > 0 && llLimit <= *pllCount &&
            !pclStatement->bNextBlock()) {
            const long long llStep = llLimit > 20 ? 10 : llLimit / 3 + 1;
            pclCommand->SetRowLimit(llLimit, *pllCount - llStep);
            *pllCount = llStep;
        }
    }
    pclWhere->nRelease();
    return bResult;
}

// ---- Finding a record again --------------------------------------------------------------------------------------

int CNADataAccess::bGoToStmtOriginalRecord(int bRestoreAfter, CNAStatement* pclStatement, int n, int eDirection,
                                           long long llCount, long long* pllMoved)
{
    CNARecordValue* pclStatementOriginal = pclStatement != nullptr ? pclStatement->pclGetStmtOriginalRecord() : nullptr;
    CNAKXRecord* pclOriginal = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetOriginalNAKXRecord() : nullptr;
    if (pclStatementOriginal == nullptr || pclStatementOriginal->pclGetNAKXRecord() == nullptr || pclOriginal == nullptr)
        return 0;
    CNAKXRecord* pclBackup = pclOriginal->pclGetClone();
    if (pclBackup == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    pclBackup->AddRef();
    pclOriginal->Copy(pclStatementOriginal->pclGetNAKXRecord());
    const int bResult = bGoToOriginalRecord(bRestoreAfter, pclStatement, n, eDirection, llCount, pllMoved);
    int bOutOfRange = 1;
    pclStatement->HEndehors(&bOutOfRange);
    if (!(bResult && !bRestoreAfter && !bOutOfRange))
        pclOriginal->Copy(pclBackup);
    pclBackup->nRelease();
    return bResult;
}

int CNADataAccess::bGoToOriginalRecord(int bRestoreAfter, CNAStatement* pclStatement, int n, int eDirection,
                                       long long llCount, long long* pllMoved)
{
    INAItemDescription* piItem =
        m_piDescription != nullptr && pclStatement != nullptr ? m_piDescription->piNAGetItem(pclStatement->pszGetParseItem())
                                                              : nullptr;
    if (piItem == nullptr)
        return 1;
    const int bResult = _bGoToOriginalRecord(bRestoreAfter, pclStatement, piItem, n, eDirection, llCount, pllMoved);
    piItem->nExternalRelease();
    return bResult;
}

int CNADataAccess::_bGoToOriginalRecord(int bRestoreAfter, CNAStatement* pclStatement, INAItemDescription* piItem,
                                        int n, int eDirection, long long llCount, long long* pllMoved)
{
    CNAKXRecord* pclCurrent = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetNAKXRecord() : nullptr;
    CNAKXRecord* pclOriginal = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetOriginalNAKXRecord() : nullptr;
    if (pclCurrent == nullptr || pclOriginal == nullptr)
        return 0;
    CNAKXRecord* pclCurrentBackup = pclCurrent->pclGetClone();
    CNAKXRecord* pclOriginalBackup = pclOriginal->pclGetClone();
    if (pclCurrentBackup != nullptr)
        pclCurrentBackup->AddRef();
    if (pclOriginalBackup != nullptr)
        pclOriginalBackup->AddRef();
    int bResult = 0;
    if (pclCurrentBackup == nullptr || pclOriginalBackup == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
    } else {
        // The search works on the values as last read or written.
        m_pclCurrentRecord->bCopyOriginalRecordToCurrentRecord();
        bResult = _bGoToCurrentRecord(pclStatement, piItem, n, eDirection, llCount, pllMoved);
        int bOutOfRange = 1;
        pclStatement->HEndehors(&bOutOfRange);
        if (!bResult || bRestoreAfter || bOutOfRange) {
            pclCurrent->Copy(pclCurrentBackup);
            pclOriginal->Copy(pclOriginalBackup);
            m_pclCurrentRecord->OnNAKXRecordChanged();
        }
        if (!bResult || bOutOfRange)
            pclStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION, nKeepOriginalRecordSave(nullptr));
    }
    if (pclCurrentBackup != nullptr)
        pclCurrentBackup->nRelease();
    if (pclOriginalBackup != nullptr)
        pclOriginalBackup->nRelease();
    return bResult;
}

int CNADataAccess::_bGoToCurrentRecord(CNAStatement* pclStatement, INAItemDescription* piItem, int n,
                                       int eDirection, long long llCount, long long* pllMoved)
{
    const long long llRank = m_pclCurrentRecord->llGetDuplicateRank();
    bool bDuplicates = true;
    INAItemDescription* piBest = m_piDescription != nullptr ? m_piDescription->piGetBestParseItemDesc() : nullptr;
    if (piBest != nullptr) {
        CNAColumn* pclBest = m_pclCurrentRecord->pclGetColumnNoRef(piBest);
        bDuplicates = !(piBest->bUnique() && pclBest != nullptr && pclBest->bValueDefined());
        piBest->nExternalRelease();
    }
    CNARecherche* pclSearch = pclStatement->pclGetRecherche();
    if (pclSearch == nullptr)
        return 0;
    pclStatement->PrepareInternalSearch();
    int bResult = pclSearch->bRechercheEnreg(m_pclCurrentRecord, piItem, NA_PARSE_FIRST, 0, nullptr);
    if (bResult && bDuplicates)
        bResult = _bGotoCurrentRecord_DuplicateProcess(llRank, &eDirection, &llCount);
    if (bResult) {
        const unsigned int nFlags = pclStatement->nGetParseFlags() | CNAStatement::WPF_REFIND;
        const wchar_t* pszName = piItem->pszGetName();
        const eNA_LOCKTYPE eNoLock = static_cast<eNA_LOCKTYPE>(0);
        switch (eDirection) {
        case NA_PARSE_FIRST:
        case NA_PARSE_NEXT:
            pclSearch->bSetContinueParcours(NA_PARSE_FIRST);
            bResult = _bFetch(pclStatement, pszName, NA_PARSE_FIRST, llCount, n, eNoLock, nullptr, nFlags, 1, pllMoved);
            break;
        case NA_PARSE_LAST:
        case NA_PARSE_PREVIOUS:
            pclSearch->bSetContinueParcours(NA_PARSE_LAST);
            bResult = _bFetch(pclStatement, pszName, NA_PARSE_LAST, llCount, n, eNoLock, nullptr, nFlags, 1, pllMoved);
            break;
        case CNAStatement::DIRECTION_STAY: {
            const long long llPlace = llCount != 0 ? llCount : 1;
            bResult = _bFetch(pclStatement, pszName, NA_PARSE_FIRST, llPlace, n, eNoLock, nullptr, nFlags, 1, pllMoved);
            if (bResult && !pclStatement->bFetched()) {
                pclStatement->CurrentRecordNotFound(pszName, ERRFILE_DATAACCESS, 23);
                bResult = 0;
            } else if (bResult) {
                // The row keeps its place among the equal rows.
                pclStatement->SetRepeatCount(llPlace - 1);
            }
            break;
        }
        default: break;
        }
        // A result that starts from a row found again is not the start of
        // the browse: a move back past its first row reads the rows before.
        if (eDirection <= CNAStatement::DIRECTION_STAY)
            pclStatement->SetFirstBlock(0);
    }
    pclStatement->AnnuleRecherche();
    pclSearch->nRelease();
    return bResult;
}

int CNADataAccess::_bGotoCurrentRecord_DuplicateProcess(long long llRank, int* peDirection, long long* pllCount)
{
    long long llTotal = 0;
    if (!bGetNbEnr(&llTotal, 16, 0, nullptr, CNAStatement::DIRECTION_STAY))
        return 0;
    s_DuplicateMove(llRank, llTotal, peDirection, pllCount);
    return 1;
}

void CNADataAccess::s_DuplicateMove(long long llRank, long long llTotal, int* peDirection, long long* pllCount)
{
    // k: the row's place among the equal rows, from 1; every comparison is
    // made without a sum that could overflow.
    const long long k = llRank < 0 ? 1 : (llRank == LLONG_MAX ? LLONG_MAX : llRank + 1);
    const long long c = *pllCount < 0 ? 0 : *pllCount;
    const long long T = llTotal;
    switch (*peDirection) {
    case NA_PARSE_PREVIOUS:
        if (k <= c) {
            *pllCount = c - k + 1;
        } else if (c < T) {
            *peDirection = CNAStatement::DIRECTION_STAY;
            *pllCount = k - c;
        } else {
            // Past the first equal row and beyond them all: the first of
            // them, or as far as the move reaches.
            const long long llBack = k - c;
            *peDirection = CNAStatement::DIRECTION_STAY;
            *pllCount = llBack < 1 ? 1 : (llBack < T ? llBack : (T > 0 ? T : 1));
        }
        break;
    case CNAStatement::DIRECTION_STAY:
        if (k <= T)
            *pllCount = k;
        else if (T > 0)
            *pllCount = T;
        break;
    case NA_PARSE_NEXT:
        if (T >= k && c <= T - k) {
            *peDirection = CNAStatement::DIRECTION_STAY;
            *pllCount = c + k;
        } else if (k <= T) {
            *pllCount = c - (T - k);
        }
        break;
    default: break;
    }
}
