#include "access/table/NADataAccess.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/NACommand.h"
#include "access/sql/NARecherche.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "access/driver/NAContext.h"
#include "access/table/NAPosition.h"
#include "access/table/NATable.h"
#include "access/table/NAIDAuto.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/NACnvVariant.h"

#include <climits>
#include <new>

int CNADataAccess::ms_nPositionID = 1;

CNADataAccess::CNADataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
                             CNAError* pclError)
    : m_pclError(pclError),
      m_pclCurrentRecord(nullptr),
      m_pclConnection(pclConnection),
      m_piDescription(nullptr),
      m_piHostClone(nullptr),
      m_pclImportedDescription(nullptr),
      m_bOpened(0),
      m_tabStatement(7),
      m_eNextOperation(0),
      m_pclIDAuto(nullptr),
      m_pclLastStatement(nullptr),
      m_pclQueryParserInfo(nullptr),
      m_eQueryMode(0),
      m_bSourceIsQuery(0),
      m_bCompatible(0),
      m_nNotifyOptions(1),
      m_nIndexOptions(2),
      m_eHMode(1),
      m_pclTable(nullptr),
      m_pclContext(nullptr),
      m_pclLatestFilter(nullptr),
      m_tabPosition(7),
      m_pclRecordSaveCache(nullptr),
      m_pclRecordSaveCache2(nullptr),
      m_nOwnRecordSave(-1),
      m_pclTableCache(nullptr),
      m_bQueryParsePending(0),
      m_pclExecutionStatement(nullptr),
      m_nRowMaxLen(0)
{
    __Init();
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
    if (piDescription != nullptr) {
        _SetDataSource(piDescription);
        _FormatTableName();
    }
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
    if (gpclLastDataAccess == this)
        gpclLastDataAccess = nullptr;
    _ResetDataAccess();
    // The saves go last: positions and statements give theirs back first.
    _FreeSavedRecordCache();
    CNADriver::g_ReleaseHeldConnection(m_pclConnection);
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

int CNADataAccess::_bNotBuilt(int nPoint)
{
    _RaiseUserError(nPoint, ZTERR_NOT_OFFERED, nullptr, NA_ERRORTYPE_NOTOFFERED);
    return 0;
}

void CNADataAccess::_RaiseUserError(int nPoint, unsigned int nUserError, const wchar_t* pszItem, eNA_ERRORTYPE eType)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(eType, ERRFILE_DATAACCESS, nPoint, m_pclConnection, pszGetLogicalName(), pszItem,
                                   nUserError);
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

int CNADataAccess::_SetImportedDataSourceDesc(CNADataSourceDescription* pclDescription)
{
    if (pclDescription != m_pclImportedDescription) {
        if (pclDescription != nullptr)
            pclDescription->ExternalAddRef();
        if (m_pclImportedDescription != nullptr)
            m_pclImportedDescription->nExternalRelease();
        m_pclImportedDescription = pclDescription;
    }
    return 1;
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

// ---- Operations of the layers built later: user error 8 of kind 7 ---------------------------------------------------

namespace {
// Debug point of an operation not built yet.
constexpr int PT_NOT_BUILT = 99;
} // namespace

int CNADataAccess::bGetBLOB(unsigned int, CAny*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bSetBLOB(unsigned int, const CAny*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bExtraitMemo(unsigned int, const wchar_t*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHFerme() { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHAjoute(unsigned int, eNA_LOCKTYPE) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHEcrit(long long, unsigned int, eNA_LOCKTYPE) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHSupprime(long long, eNA_LOCKTYPE) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHModifie(long long, unsigned int, eNA_LOCKTYPE) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHRaye(long long, eNA_LOCKTYPE) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHLibere() { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHLit(long long, eNA_LOCKTYPE, eNA_LOCKTYPE*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHLitxxx(const wchar_t*, eNA_PARSEDIRECTION, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, unsigned int)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bSkipRecord(const wchar_t*, eNA_PARSEDIRECTION, long long, int, eNA_LOCKTYPE, eNA_LOCKTYPE*,
                               unsigned int)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bHRecherche(const wchar_t*, const CAny*, int, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, int, unsigned int)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bHRecherche(const wchar_t*, const wchar_t*, const CAny*, int, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, int,
                               unsigned int)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bHAnnuleRecherche(const wchar_t*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHBloqueFichier(eNA_LOCKTYPE, eNA_LOCKTYPE*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHDebloqueFichier() { return 1; }
int CNADataAccess::bHBloqueNumEnr(long long, eNA_LOCKTYPE, eNA_LOCKTYPE*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHDebloqueNumEnr(long long) { return 1; }
int CNADataAccess::bHFiltre(const wchar_t*, const CAny*, int, const CAny*, int, ISQLParserInformation*)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bHSauvePosition(int*, const wchar_t*, eNAPOSITION) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHRetourPosition(int, wchar_t*, int, eNAPOSITION) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHLiberePosition(int) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHVersion(int* pnVersion)
{
    if (pnVersion != nullptr)
        *pnVersion = 0;
    return 1;
}
int CNADataAccess::bHNbEnr(long long*, unsigned int, unsigned int) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bGetNbEnr(long long*, unsigned int, unsigned int, CNAStatement*, int)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bNbEnrNeedParse(int* pbNeedParse, const wchar_t*)
{
    if (pbNeedParse != nullptr)
        *pbNeedParse = 1;
    return 1;
}
long long CNADataAccess::llGetRecNum() { return 0; }
int CNADataAccess::bGetRecNumState(long long, unsigned int*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHConstruitValCle(CAny*, const wchar_t*, unsigned int, CAny**) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bExecuteQuery(int*, const wchar_t*, ISQLParserInformation*, unsigned int, const INAQueryExecution*)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bLockRecord(CNAStatement*, eNA_LOCKTYPE, long long, eNA_LOCKTYPE*) { return 1; }
int CNADataAccess::bUnlockRecord(CNAStatement*, eNA_LOCKTYPE, long long, eNA_LOCKTYPE*) { return 1; }
int CNADataAccess::bLockUnlockRecord(CNAStatement*, eNA_LOCKTYPE, long long, eNA_LOCKTYPE*) { return 1; }
int CNADataAccess::bHReindexe(unsigned int, IGaugeControl*) { return 1; }
int CNADataAccess::bHChangeCle(const wchar_t*, unsigned int) { return _bNotBuilt(PT_NOT_BUILT); }
CNAPosition* CNADataAccess::pclAllocPosition() { return new (std::nothrow) CNAPosition(); }
eNA_ERRORTYPE CNADataAccess::eGetNAErrorType() { return NA_ERRORTYPE_GENERAL; }
void CNADataAccess::CancelRecordLock(INAConnectionDescription*, CNATransaction*) {}
int CNADataAccess::bSetFiltreAuto(int, const wchar_t*, const wchar_t*, INADataSourceDescription*) { return 1; }
void CNADataAccess::SetFiltreAuto(int) {}
int CNADataAccess::_bMove(long long, int) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bSetBLOB(INAItemDescription*, const CAny*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bHAttacheMemo(INAItemDescription*, const wchar_t*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_SetTransactionTermined(CNAStatement*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bInitCurrentRecord() { return _bNotBuilt(PT_NOT_BUILT); }
void CNADataAccess::_Close() {}
long long CNADataAccess::_nGetSequenceCurrentVal(CNAColumn*) { return -1; }
int CNADataAccess::_bGetRequestedValue(CNAStatement*, CAny*, CNACommand*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bIsValidRecordNumber(long long) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bFetch(CNAStatement*, const wchar_t*, int, long long, int, eNA_LOCKTYPE, eNA_LOCKTYPE*,
                           unsigned int, int, long long*)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
void CNADataAccess::_vUpdateRecordInCacheLock(unsigned int) {}
int CNADataAccess::_bUpdateIdAutoAfterInsertFailure(CNAColumn*) { return 0; }
int CNADataAccess::_bHModifie(long long, unsigned int, eNA_LOCKTYPE, CNARecordValue*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bHAjoute(unsigned int, eNA_LOCKTYPE) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bRepriseErreurParcours(CNAStatement*, const wchar_t*, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, unsigned int)
{
    return 0;
}
int CNADataAccess::_bCompareTablePosition(CNAPosition*, CNAPosition*, int*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bCheckRecordSaveID(CNAPosition*, CNAPosition*, int*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bCheckReccordId(CNAPosition*, CNAPosition*, int*) { return 0; }
void CNADataAccess::_AllocTableCache() { _bNotBuilt(PT_NOT_BUILT); }

unsigned int CNADataAccess::dwGetContextID() const
{
    return m_pclContext != nullptr ? m_pclContext->dwGetContextNumber() : 0;
}
CNADataAccess* CNADataAccess::pclFindDataAccessByDBTableName(const wchar_t* pszName)
{
    return m_pclContext != nullptr ? m_pclContext->pclFindDataAccessByDBTableName(m_pclConnection, pszName) : nullptr;
}
CNADataSourceDescription* CNADataAccess::pclGetImportedDataSourceDesc() const
{
    if (m_pclImportedDescription != nullptr)
        m_pclImportedDescription->ExternalAddRef();
    return m_pclImportedDescription;
}
INADataSourceDescription* CNADataAccess::piGetDataSourceDescriptionForKX() { return nullptr; }
INAItemDescription* CNADataAccess::piGetItemDescription(const wchar_t* pszName) const
{
    return m_piDescription != nullptr ? m_piDescription->piNAGetItem(pszName) : nullptr;
}
INAItemDescription* CNADataAccess::piGetBestParseItemDesc() const
{
    return m_piDescription != nullptr ? m_piDescription->piGetBestParseItemDesc() : nullptr;
}
const wchar_t* CNADataAccess::pszGetBestParseItemName() const { return L""; }
void CNADataAccess::_SetDataSource(INADataSourceDescription* piDescription)
{
    if (piDescription != nullptr)
        piDescription->ExternalAddRef();
    _FreeDataSource();
    m_piDescription = piDescription;
}
void CNADataAccess::_FreeDataSource()
{
    INADataSourceDescription* pi = m_piDescription;
    m_piDescription = nullptr;
    if (pi != nullptr)
        pi->nExternalRelease();
}
int CNADataAccess::bCheckCompatibilityWithDatabase() { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bSupportROWID() { return eEvaluateRecordIdType() == CNARecordId::RECORDID_ROWID; }
CNAStatement* CNADataAccess::_pclFindStatement(const wchar_t*) { return nullptr; }
CNAStatement* CNADataAccess::_pclInitStatement(const wchar_t*) { return nullptr; }
CNAStatement* CNADataAccess::_pclGetNewItemStatement(const wchar_t*, int, unsigned int) { return nullptr; }
CNAStatement* CNADataAccess::_pclGetLastStatement() { return nullptr; }
CNAStatement* CNADataAccess::_pclGetQueryStatement() { return nullptr; }
int CNADataAccess::_bOpenStatement(CNAStatement*, const wchar_t*, int, unsigned int, long long*, int)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
void CNADataAccess::ClosingStatement(CNAStatement*) {}
void CNADataAccess::_CloseAllStatement() {}
int CNADataAccess::_bCreateNewTableCache(CNAStatement*) { return _bNotBuilt(PT_NOT_BUILT); }
void CNADataAccess::_FreeTableCache() {}
int CNADataAccess::bFreeCache() { return 1; }
int CNADataAccess::bMove(long long, int, eNA_LOCKTYPE, eNA_LOCKTYPE*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bUpdateParse(int, CNAStatement*, int, int, long long, long long*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bRelanceParcoursSurErreur(CNAStatement*, const wchar_t*, int, eNA_LOCKTYPE, eNA_LOCKTYPE*,
                                              unsigned int)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bEvalHTrouve(const wchar_t*, int*, int*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHEndehors(const wchar_t*, int*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bSetNextOperation(eNA_OPERATION) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bInvertFetch(CNAStatement*, int) { return 0; }
int CNADataAccess::bGetRecord(CNAKXRecord**) const { return 0; }
int CNADataAccess::bSetRecord(CNAKXRecord*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bUpdateChangedTypeInCurrentRecord() { return _bNotBuilt(PT_NOT_BUILT); }
const wchar_t* CNADataAccess::_pszGetDefaultParseItem() { return L""; }
INAItemDescription* CNADataAccess::piGetNullItemDesc(int) { return nullptr; }
int CNADataAccess::_bGetRequestedValue(CAny*, CNACommand*) { return _bNotBuilt(PT_NOT_BUILT); }
CNAPosition* CNADataAccess::_pclFindPosition(int) { return nullptr; }
int CNADataAccess::_bGetPosition(int*, const wchar_t*, eNAPOSITION) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bSetPosition(wchar_t*, int, int, eNAPOSITION) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bRestorePositionStatement(CNAPosition*, eNAPOSITION) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bFreePosition(int) { return 1; }
int CNADataAccess::_bDeleteAllSavedPosition() { return 1; }
int CNADataAccess::bHPositionCourante(int*, const wchar_t*, eNA_PRECISION) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHPositionne(const wchar_t*, unsigned int, eNA_PRECISION, unsigned int)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::bCompareTablePosition(int, int, int*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bCheckRowId(CNAPosition*, CNAPosition*, int*) { return 0; }
int CNADataAccess::_bGetItemValueInRecordSave(CAny*, int, INAItemDescription*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHFiltre(ISQLParserInformation*, wchar_t*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHActiveFiltre(const wchar_t*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::bHDesactiveFiltre(const wchar_t*) { return _bNotBuilt(PT_NOT_BUILT); }
void CNADataAccess::SetLatestFilter(CNAFilter*) {}
void CNADataAccess::_DesactivateAllFilter() {}
int CNADataAccess::_bKeepFilter(CNAStatement*, CNAStatement*) { return 1; }
int CNADataAccess::_bChangeStatementKey(const wchar_t*, const wchar_t*, CNAStatement*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bUpdateCurrentParsePosition(int, CNAStatement*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bCheckAndCorrectKXRecordValues() { return _bNotBuilt(PT_NOT_BUILT); }
INAItemDescription* CNADataAccess::piGetDuplicateItem(int) { return nullptr; }
int CNADataAccess::bIsDuplicateItem(int, CNAColumn*) { return 0; }
int CNADataAccess::__bDuplicateItem(INAItemDescription*, CNAStatement*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bInitErrorDuplicateItemName(int) { return 0; }
int CNADataAccess::_bInitErrorNeedItemValueItemName(int) { return 0; }
INAItemDescription* CNADataAccess::pclGetIdAutoItem() { return nullptr; }
int CNADataAccess::bExecuteQueryInternal(CNAStatement** ppclStatement, const wchar_t*, const wchar_t*)
{
    if (ppclStatement != nullptr)
        *ppclStatement = nullptr;
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::_bExecuteQuery(int*, const wchar_t*, unsigned int, const wchar_t*, ISQLParserInformation*,
                                  const INAQueryExecution*)
{
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::_bInitQuery(CNACommand** ppclCommand, CTString*, const wchar_t*, unsigned int, const wchar_t*,
                               ISQLParserInformation*, const INAQueryExecution*)
{
    if (ppclCommand != nullptr)
        *ppclCommand = nullptr;
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::_bSetQuery(int, const wchar_t*, ISQLParserInformation*, unsigned int) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bExecuteQuery(CNAStatement** ppclStatement, CNACommand*, const wchar_t*, int, unsigned int)
{
    if (ppclStatement != nullptr)
        *ppclStatement = nullptr;
    return _bNotBuilt(PT_NOT_BUILT);
}
int CNADataAccess::_bInitQueryParse(int*, CNAStatement*, const wchar_t*, unsigned int) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bInitParcoursRequete(CNAStatement*) { return _bNotBuilt(PT_NOT_BUILT); }
void CNADataAccess::_SetExecutionStatement(CNAStatement*) {}
void CNADataAccess::_FreeQueryParserInfo() {}
int CNADataAccess::bHPrepareRequeteCalled() const { return 0; }
int CNADataAccess::bRequeteAPreparer() const { return m_bSourceIsQuery && (m_eQueryMode & QM_PREPARE) != 0; }
int CNADataAccess::bRequeteAutoriseModifierFichier() const
{
    return !m_bSourceIsQuery || (m_eQueryMode & QM_MAY_MODIFY) != 0;
}
int CNADataAccess::eSourceQueryType() const { return 0; }
int CNADataAccess::bSameQuery(ISQLParserInformation*) { return 0; }
int CNADataAccess::bFindBestItem(ISQLParserInformation*, wchar_t*) { return _bNotBuilt(PT_NOT_BUILT); }
void CNADataAccess::SetTransactionTermined() {}
int CNADataAccess::_bInitCurrentRecord_SetImportedItemDesc() { return _bNotBuilt(PT_NOT_BUILT); }
void CNADataAccess::_InitAliasFichierColonne(INADataSourceDescription*) {}
int CNADataAccess::bHAttacheMemo(unsigned int, const wchar_t*) { return _bNotBuilt(PT_NOT_BUILT); }
int CNADataAccess::_bGetNbEnrOptimized(long long*, unsigned int, unsigned int, CNAStatement*, int) { return 0; }
void CNADataAccess::_ResetDataAccess()
{
    _FreeCurrentRecord();
    if (m_pclIDAuto != nullptr)
        m_pclIDAuto->nRelease();
    m_pclIDAuto = nullptr;
    _FreeDataSource();
    if (m_pclImportedDescription != nullptr)
        m_pclImportedDescription->nExternalRelease();
    m_pclImportedDescription = nullptr;
}
void CNADataAccess::_ResetRecordCache() {}
