#include "access/table/NADataAccess.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAContext.h"
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
#include "access/table/NABrowseRules.h"
#include "access/table/NAIDAuto.h"
#include "access/table/Held.h"
#include "access/table/NAPosition.h"
#include "access/table/NATable.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/STR.h"
#include "common/text/TextCompare.h"
#include "common/values/NACnvVariant.h"

#include <climits>
#include <new>

namespace {
// Debug points of this file.
enum : int {
    PT_RECORD_NUMBER = 14,
    PT_WITHOUT_CORRECTION_FILTER = 15,
    PT_ENDEHORS = 17,
    PT_EVALHTROUVE = 18,
    PT_NEXT_OPERATION = 21,
    PT_BACKWARDS = 27,
    PT_NO_REFRESH = 28,
    PT_LOCK_FILE = 5,
    PT_LOCK_RECORD = 7,
    PT_CROSS_OUT = 10,
    PT_LIBERE = 11,
    PT_KEY_VALUE = 13,
    PT_NO_COUNT = 30,
    PT_READ_NO_REASON = 31,
    PT_REFRESH_NO_RECORD = 32,
    // Operations of the layers built later.
    PT_NOT_BUILT = 99,
};
constexpr int FIRST = NA_PARSE_FIRST;
constexpr int LAST = NA_PARSE_LAST;
constexpr int NEXT = NA_PARSE_NEXT;
constexpr int PREVIOUS = NA_PARSE_PREVIOUS;
constexpr int STAY = NA_PARSE_STAY;
constexpr unsigned int COUNT_MODE = 0x10;
// Host operations (eNA_OPERATION) announced before a read.
constexpr int OPERATION_FIRST = 1;
constexpr int OPERATION_CACHE = 2;
constexpr int OPERATION_LAST = 3;

// The statement's filter differs from the one in force when its browse
// started.
bool bFilterChanged(CNAStatement* pclStatement)
{
    CNAFilter* pclFilter = pclStatement->pclGetFilter();
    const bool bEqual = pclStatement->pclGetFilterSave()->bFilterEquals(pclFilter) != 0;
    if (pclFilter != nullptr)
        pclFilter->nRelease();
    return !bEqual;
}
} // namespace

int CNADataAccess::ms_nPositionID = 1;

// ---- Construction and destruction ---------------------------------------------------------------------------------

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
      m_nRowMaxLen(0),
      m_nOwnReturns(0),
      m_bColumnSetsTaken(0)
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
    // Positions and statements give their record saves back before the
    // caches go.
    _ResetDataAccess();
    _FreeSavedRecordCache();
    CNADriver::g_ReleaseHeldConnection(m_pclConnection);
    m_pclConnection = nullptr;
    if (m_pclError != nullptr)
        m_pclError->nRelease();
    m_pclError = nullptr;
}

// ---- Errors ---------------------------------------------------------------------------------------------------------

int CNADataAccess::_bNotBuilt(int nPoint)
{
    _RaiseUserError(nPoint, ZTERR_NOT_OFFERED, nullptr, NA_ERRORTYPE_NOTOFFERED);
    return 0;
}

void CNADataAccess::_RaiseUserError(int nPoint, unsigned int nUserError, const wchar_t* pszItem, eNA_ERRORTYPE eType)
{
    // Without an error object of its own the driver's receives it.
    CNAError* pclError = m_pclError;
    if (pclError == nullptr && CNADriver::s_pclDriver != nullptr)
        pclError = CNADriver::s_pclDriver->pclGetError();
    if (pclError == nullptr)
        return;
    const wchar_t* pszTable = pszGetLogicalName();
    switch (nUserError) {
    case ZTERR_ITEM_NOT_BROWSED:
        pclError->RaiseUserError(eType, ERRFILE_DATAACCESS, nPoint, m_pclConnection, pszTable, pszItem, nUserError,
                                 pszItem != nullptr ? pszItem : L"");
        break;
    case ZTERR_CACHE_INCOMPLETE:
    case ZTERR_POSITION_LOST:
        pclError->RaiseUserError(eType, ERRFILE_DATAACCESS, nPoint, m_pclConnection, pszTable, pszItem, nUserError,
                                 pszTable);
        break;
    case ZTERR_NO_SUCH_ITEM:
        pclError->RaiseUserError(eType, ERRFILE_DATAACCESS, nPoint, m_pclConnection, pszTable, pszItem, nUserError,
                                 pszTable, pszItem != nullptr ? pszItem : L"");
        break;
    default:
        pclError->RaiseUserError(eType, ERRFILE_DATAACCESS, nPoint, m_pclConnection, pszTable, pszItem, nUserError);
        break;
    }
}

int CNADataAccess::_bRefuse(int nPoint, int bLevelTwo)
{
    _RaiseUserError(nPoint, ZTERR_NOT_OFFERED, nullptr, NA_ERRORTYPE_NOTOFFERED);
    if (bLevelTwo && m_pclError != nullptr)
        m_pclError->SetErrorLevel(NA_ERRORLEVEL_2);
    return 0;
}

// ---- Refused and inert operations ---------------------------------------------------------------------------------

int CNADataAccess::bHRaye(long long, eNA_LOCKTYPE) { return _bRefuse(PT_CROSS_OUT, 0); }
int CNADataAccess::bHLibere() { return _bRefuse(PT_LIBERE, 0); }
int CNADataAccess::bHBloqueFichier(eNA_LOCKTYPE, eNA_LOCKTYPE*) { return _bRefuse(PT_LOCK_FILE, 1); }
int CNADataAccess::bHDebloqueFichier() { return 1; }
int CNADataAccess::bHBloqueNumEnr(long long, eNA_LOCKTYPE, eNA_LOCKTYPE*) { return _bRefuse(PT_LOCK_RECORD, 1); }
int CNADataAccess::bHDebloqueNumEnr(long long) { return 1; }
int CNADataAccess::bHConstruitValCle(CAny*, const wchar_t*, unsigned int, CAny**) { return _bRefuse(PT_KEY_VALUE, 0); }

int CNADataAccess::bHVersion(int* pnVersion)
{
    if (pnVersion != nullptr)
        *pnVersion = 0;
    return 1;
}

int CNADataAccess::bNbEnrNeedParse(int* pbNeedParse, const wchar_t*)
{
    if (pbNeedParse != nullptr)
        *pbNeedParse = 1;
    return 1;
}

long long CNADataAccess::llGetRecNum() { return 0; }
int CNADataAccess::bLockRecord(CNAStatement*, eNA_LOCKTYPE, long long, eNA_LOCKTYPE*) { return 1; }
int CNADataAccess::bUnlockRecord(CNAStatement*, eNA_LOCKTYPE, long long, eNA_LOCKTYPE*) { return 1; }
int CNADataAccess::bLockUnlockRecord(CNAStatement*, eNA_LOCKTYPE, long long, eNA_LOCKTYPE*) { return 1; }
int CNADataAccess::bHReindexe(unsigned int, IGaugeControl*) { return 1; }
int CNADataAccess::eEvaluateRecordIdType() { return CNARecordId::RECORDID_RECORDVALUES; }
void CNADataAccess::CancelRecordLock(INAConnectionDescription*, CNATransaction*) {}
int CNADataAccess::bSetFiltreAuto(int, const wchar_t*, const wchar_t*, INADataSourceDescription*) { return 1; }
void CNADataAccess::SetFiltreAuto(int) {}
long long CNADataAccess::_nGetSequenceCurrentVal(CNAColumn*) { return -1; }
void CNADataAccess::_vUpdateRecordInCacheLock(unsigned int) {}
int CNADataAccess::_bUpdateIdAutoAfterInsertFailure(CNAColumn*) { return 0; }
int CNADataAccess::_bRepriseErreurParcours(CNAStatement*, const wchar_t*, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, unsigned int)
{
    return 0;
}
int CNADataAccess::_bCheckReccordId(CNAPosition*, CNAPosition*, int*) { return 0; }
int CNADataAccess::_bInvertFetch(CNAStatement*, int) { return 0; }

// ---- Set-up, descriptions and names --------------------------------------------------------------------------------

void CNADataAccess::SetContext(CNAContext* pclContext)
{
    m_pclContext = pclContext;
}

unsigned int CNADataAccess::dwGetContextID() const
{
    return m_pclContext != nullptr ? m_pclContext->dwGetContextNumber() : 0;
}

CNADataAccess* CNADataAccess::pclFindDataAccessByDBTableName(const wchar_t* pszName)
{
    return m_pclContext != nullptr ? m_pclContext->pclFindDataAccessByDBTableName(m_pclConnection, pszName) : nullptr;
}

const wchar_t* CNADataAccess::pszGetLogicalName() const
{
    const wchar_t* psz = m_piDescription != nullptr ? m_piDescription->pszGetLogicalName() : nullptr;
    return psz != nullptr ? psz : L"";
}

const wchar_t* CNADataAccess::pszGetDBTableName() const
{
    const wchar_t* psz = m_piDescription != nullptr ? m_piDescription->pszGetDBTableName() : nullptr;
    return psz != nullptr ? psz : L"";
}

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

CNADataSourceDescription* CNADataAccess::pclGetImportedDataSourceDesc() const
{
    if (m_pclImportedDescription != nullptr)
        m_pclImportedDescription->ExternalAddRef();
    return m_pclImportedDescription;
}

INADataSourceDescription* CNADataAccess::piGetDataSourceDescriptionForKX()
{
    if (m_piDescription == nullptr)
        return nullptr;
    if (!m_bSourceIsQuery) {
        m_piDescription->ExternalAddRef();
        return m_piDescription;
    }
    if (m_piHostClone == nullptr) {
        // A query's description is the data access's own.
        CNADataSourceDescription* pclClone =
            static_cast<CNADataSourceDescription*>(m_piDescription)->pclGetCloneDataSourceDescription(1);
        if (pclClone == nullptr)
            return nullptr;
        pclClone->ExternalAddRef();
        m_piHostClone = pclClone;
    }
    m_piHostClone->ExternalAddRef();
    return m_piHostClone;
}

INAItemDescription* CNADataAccess::piGetItemDescription(const wchar_t* pszName) const
{
    return m_piDescription != nullptr && pszName != nullptr ? m_piDescription->piNAGetItem(pszName) : nullptr;
}

INAItemDescription* CNADataAccess::piGetBestParseItemDesc() const
{
    return m_piDescription != nullptr ? m_piDescription->piGetBestParseItemDesc() : nullptr;
}

const wchar_t* CNADataAccess::pszGetBestParseItemName() const
{
    INAItemDescription* piItem = piGetBestParseItemDesc();
    if (piItem == nullptr)
        return L"";
    // The description keeps the item, and so its name.
    const wchar_t* psz = piItem->pszGetName();
    piItem->nExternalRelease();
    return psz != nullptr ? psz : L"";
}

void CNADataAccess::_SetDataSource(INADataSourceDescription* piDescription)
{
    if (piDescription == m_piDescription)
        return;
    if (piDescription != nullptr)
        piDescription->ExternalAddRef();
    _FreeDataSource();
    m_piDescription = piDescription;
    m_bColumnSetsTaken = 0;
}

void CNADataAccess::_FreeDataSource()
{
    INADataSourceDescription* pi = m_piDescription;
    m_piDescription = nullptr;
    if (pi != nullptr)
        pi->nExternalRelease();
}

// ---- State ----------------------------------------------------------------------------------------------------------

int CNADataAccess::bCheckCompatibilityWithDatabase()
{
    if (m_bCompatible)
        return 1;
    int bExists = 0;
    int bCompatible = 0;
    if (bFichierExiste(&bExists, &bCompatible) && bExists && bCompatible) {
        m_bCompatible = 1;
        return 1;
    }
    return 0;
}

int CNADataAccess::bSupportROWID()
{
    return eEvaluateRecordIdType() == CNARecordId::RECORDID_ROWID;
}

eNA_ERRORTYPE CNADataAccess::eGetNAErrorType()
{
    if (m_pclError == nullptr)
        return NA_ERRORTYPE_GENERAL;
    const eNA_ERRORTYPE eType = m_pclError->eGetErrorType();
    if (eType != NA_ERRORTYPE_GENERAL)
        return eType;
    return m_pclConnection != nullptr ? m_pclConnection->eGetNAErrorType(m_pclError->dwGetDataBaseErrorCode())
                                      : NA_ERRORTYPE_GENERAL;
}

int CNADataAccess::bHMode(_eNA_HMODE eMode)
{
    m_eHMode = static_cast<int>(eMode);
    return 1;
}

// ---- Factory hooks --------------------------------------------------------------------------------------------------

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

CNACommand* CNADataAccess::pclAllocCommand(CNAError*)
{
    return CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclAllocCommand(m_pclError, m_pclConnection)
                                             : nullptr;
}

CNARecord* CNADataAccess::_pclAllocRecord(CNAError* pclError)
{
    return new (std::nothrow) CNARecord(pclError, this);
}

CNAIDAuto* CNADataAccess::_pclAllocIDAuto()
{
    return CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclAllocIDAuto() : nullptr;
}

CNAPosition* CNADataAccess::pclAllocPosition()
{
    return new (std::nothrow) CNAPosition();
}

// ---- Statements -----------------------------------------------------------------------------------------------------

CNAStatement* CNADataAccess::_pclFindStatement(const wchar_t* pszName)
{
    CNAStatement* pcl = nullptr;
    if (!m_tabStatement.bGetValue(pszName != nullptr ? pszName : L"", &pcl))
        return nullptr;
    return pcl;
}

CNAStatement* CNADataAccess::_pclInitStatement(const wchar_t* pszName)
{
    if (pszName == nullptr)
        pszName = L"";
    CNAStatement* pcl = _pclAllocStatement(this, m_pclError);
    if (pcl == nullptr)
        return nullptr;
    pcl->AddRef();
    bool bFiled = false;
    try {
        pcl->SetName(pszName);
        pcl->SetParseItem(pszName);
        bFiled = m_tabStatement.bAddValue(pszName, pcl);
    } catch (const std::bad_alloc&) {
        bFiled = false;
    }
    if (!bFiled) {
        pcl->nRelease();
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return nullptr;
    }
    return pcl;
}

CNAStatement* CNADataAccess::_pclGetNewItemStatement(const wchar_t* pszItem, int, unsigned int nFlags)
{
    CNAStatement* pclPrevious = m_pclLastStatement;
    CNAStatement* pcl = _pclFindStatement(pszItem);
    if (pcl == nullptr)
        pcl = _pclInitStatement(pszItem);
    if (pcl == nullptr)
        return nullptr;
    m_pclLastStatement = pcl;
    if ((nFlags & WPF_KEEP_FILTER) != 0 && pclPrevious != nullptr && pclPrevious != pcl)
        _bKeepFilter(pclPrevious, pcl);
    return pcl;
}

CNAStatement* CNADataAccess::_pclGetLastStatement()
{
    if (m_pclLastStatement != nullptr) {
        m_pclLastStatement->AddRef();
        return m_pclLastStatement;
    }
    const wchar_t* pszItem = pszGetBestParseItemName();
    CNAStatement* pcl = _pclFindStatement(pszItem);
    if (pcl == nullptr)
        pcl = _pclInitStatement(pszItem);
    if (pcl != nullptr)
        m_pclLastStatement = pcl;
    return pcl;
}

CNAStatement* CNADataAccess::_pclGetQueryStatement()
{
    CNAStatement* pcl = _pclFindStatement(L"");
    return pcl != nullptr ? pcl : _pclInitStatement(L"");
}

int CNADataAccess::_bOpenStatement(CNAStatement* pclStatement, const wchar_t* pszItem, int bForward,
                                   unsigned int nFlags, long long* pllCount, int ePrepare)
{
    CHeld<CNACommand> clCommand(pclAllocCommand(m_pclError));
    if (!clCommand)
        return 0;
    clCommand->AddRef();
    if (!bBuildSelect(clCommand.Get(), pclStatement, pszItem, bForward, nFlags, pllCount))
        return 0;
    int bResult = pclStatement->bExecute(nFlags, ePrepare);
    if (!bResult)
        return 0;
    if ((nFlags & WPF_NO_CACHES) != 0) {
        pclStatement->EnableCache(0);
        return bResult;
    }
    bool bAttached = false;
    if (m_bSourceIsQuery && m_pclTableCache != nullptr &&
        ((nFlags & WPF_CONTINUE) != 0 || bRequeteSansCorrection() || bQueryResultsetLimited())) {
        bAttached = true;
        bResult = _bTableCacheSetStatementParse(pclStatement);
    }
    if (!bAttached && pclStatement->bDefaultParseNeedRecordCache())
        pclStatement->EnableCache(1);
    return bResult;
}

void CNADataAccess::ClosingStatement(CNAStatement* pclStatement)
{
    if (m_pclTableCache != nullptr && _bTableCacheIsParse(pclStatement))
        _FreeTableCache();
}

void CNADataAccess::_CloseAllStatement()
{
    m_pclLastStatement = nullptr;
    m_tabStatement.SupprimeTout();
    CNAIDAuto* pcl = m_pclIDAuto;
    m_pclIDAuto = nullptr;
    if (pcl != nullptr)
        pcl->nRelease();
}

void CNADataAccess::_Close()
{
    _ReleaseTableCache();
    _bDeleteAllSavedPosition();
    _CloseAllStatement();
    _SetExecutionStatement(nullptr);
    m_bOpened = 0;
}

int CNADataAccess::bHFerme()
{
    _Close();
    return 1;
}

void CNADataAccess::_ResetRecordCache()
{
    for (CNARecordCachePosition* pcl : {m_pclRecordSaveCache2, m_pclRecordSaveCache}) {
        if (pcl != nullptr)
            pcl->SupprimeTout();
    }
    // The saves went with the cache.
    m_nOwnRecordSave = -1;
}

void CNADataAccess::_ResetDataAccess()
{
    _Close();
    SetLatestFilter(nullptr);
    _ResetRecordCache();
    if (m_pclQueryParserInfo != nullptr)
        _FreeQueryParserInfo();
    _FreeCurrentRecord();
    _FreeDataSource();
    INADataSourceDescription* piClone = m_piHostClone;
    m_piHostClone = nullptr;
    if (piClone != nullptr)
        piClone->nExternalRelease();
    CNADataSourceDescription* pclImported = m_pclImportedDescription;
    m_pclImportedDescription = nullptr;
    if (pclImported != nullptr)
        pclImported->nExternalRelease();
}

void CNADataAccess::_SetExecutionStatement(CNAStatement* pclStatement)
{
    if (pclStatement == m_pclExecutionStatement)
        return;
    if (pclStatement != nullptr)
        pclStatement->AddRef();
    CNAStatement* pclOld = m_pclExecutionStatement;
    m_pclExecutionStatement = pclStatement;
    if (pclOld != nullptr)
        pclOld->nRelease();
}

void CNADataAccess::_FreeQueryParserInfo()
{
    CSQLParserInfo* pcl = m_pclQueryParserInfo;
    m_pclQueryParserInfo = nullptr;
    if (pcl != nullptr)
        pcl->nRelease();
}

// ---- Table cache ----------------------------------------------------------------------------------------------------

int CNADataAccess::_bCreateNewTableCache(CNAStatement*)
{
    if (m_pclTableCache != nullptr)
        _FreeTableCache();
    _AllocTableCache();
    if (m_pclTableCache == nullptr) {
        // Unless the cache said why.
        if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    _TableCacheAddRef();
    return 1;
}

void CNADataAccess::_FreeTableCache()
{
    if (m_pclTableCache == nullptr)
        return;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabStatement.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNAStatement* pcl = static_cast<CNAStatement*>(pValue);
        pcl->AddRef();
        pcl->DestroyCacheIndex();
        pcl->nRelease();
    }
    _ReleaseTableCache();
}

int CNADataAccess::bFreeCache()
{
    if (m_pclTableCache != nullptr)
        _FreeTableCache();
    return 1;
}

// ---- The table cache's answers ------------------------------------------------------------------------------------

void CNADataAccess::_AllocTableCache()
{
    m_pclTableCache = new (std::nothrow) CNATableCache(m_pclError, this);
}

void CNADataAccess::_TableCacheAddRef()
{
    m_pclTableCache->m_nRefCount++;
}

void CNADataAccess::_ReleaseTableCache()
{
    // Cleared first: a statement closing under the release comes back here.
    CNATableCache* pcl = m_pclTableCache;
    m_pclTableCache = nullptr;
    if (pcl != nullptr)
        pcl->dwRelease();
}

int CNADataAccess::_bTableCacheSetStatementParse(CNAStatement* pclStatement)
{
    return m_pclTableCache != nullptr && m_pclTableCache->bSetStatementParse(pclStatement);
}

int CNADataAccess::_bTableCacheIsParse(CNAStatement* pclStatement)
{
    return m_pclTableCache != nullptr && m_pclTableCache->bIsStatementParse(pclStatement);
}

int CNADataAccess::_bTableCacheCompleted()
{
    return m_pclTableCache != nullptr && m_pclTableCache->bCacheCompleted();
}

int CNADataAccess::_bTableCacheInitDone()
{
    return m_pclTableCache != nullptr && m_pclTableCache->bInitDone();
}

int CNADataAccess::_bTableCacheFullCache()
{
    return m_pclTableCache != nullptr && m_pclTableCache->pclGetFullCache() != nullptr;
}

long long CNADataAccess::_llTableCacheRecordNbrActive()
{
    return m_pclTableCache != nullptr ? m_pclTableCache->llGetRecordNbrActive() : 0;
}

// ---- The browse SELECT ----------------------------------------------------------------------------------------------

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
    const bool bLimited =
        m_bSourceIsQuery && ((m_eQueryMode & (QM_WITHOUT_CORRECTION | QM_JOIN)) != 0 ||
                             (m_pclQueryParserInfo != nullptr &&
                              m_pclQueryParserInfo->bQueryResultsetLimited(m_pclConnection)));
    // Without its tie-break only a unique item orders exactly: blocks over
    // another order would lose rows.
    bool bExactOrder = true;
    if ((nFlags & CNAStatement::WPF_NO_TIEBREAK) != 0) {
        CHeldItem clItem(piGetItemDescription(pszItem));
        bExactOrder = clItem && clItem->bUnique();
    }
    const bool bRowLimit = !bLimited && bExactOrder && _bEnableRecordLimit(pszItem);
    long long llLimit = -1;
    if (bRowLimit) {
        llLimit = m_pclConnection != nullptr ? m_pclConnection->llGetCacheSize() : -2;
        if (llLimit == -2)
            llLimit = CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->llGetRowBlockSize() : -1;
        // Set before the SELECT is written: a browse that goes on by value
        // (in blocks, or whole after a write) carries what it goes on from.
        pclCommand->SetRowLimit(llLimit, -1);
    }
    const int bResult = pclStatement->bGetClauseWHERE(pclWhere) &&
                        pclStatement->bBuildQuerySELECT(pclCommand, nFlags, pszItem, bForward, pclWhere);
    // A next block goes on from its original record: never an offset.
    if (bResult && llLimit > 0 && pllCount != nullptr && *pllCount > 0 && llLimit <= *pllCount &&
        !pclStatement->bNextBlock()) {
        const long long llStep = llLimit > 20 ? 10 : llLimit / 3 + 1;
        pclCommand->SetRowLimit(llLimit, *pllCount - llStep);
        *pllCount = llStep;
    }
    pclWhere->nRelease();
    return bResult;
}


bool CNADataAccess::_bHoldsRealNumber(INAItemDescription* piItem)
{
    // A real number is compared with the literal of a double, not with the
    // value stored: rows next to it are not found again exactly.
    const auto bReal = [](INAItemDescription* pi) {
        const eNA_ITEMTYPE eType = pi->eNAGetItemType();
        return eType == NA_IT_R4 || eType == NA_IT_R8;
    };
    if (bReal(piItem))
        return true;
    if (!piItem->bIsComposedKey())
        return false;
    bool bAny = false;
    for (int i = 1; i <= piItem->nGetNumComponents() && !bAny; i++) {
        INAItemDescription* pi = piItem->piGetItemComponent(i);
        if (pi == nullptr)
            break;
        bAny = bReal(pi);
        pi->nExternalRelease();
    }
    return bAny;
}

int CNADataAccess::_bEnableRecordLimit(const wchar_t* pszItem)
{
    if (m_piDescription == nullptr)
        return 0;
    if (pszItem != nullptr && pszItem[0] != 0) {
        INAItemDescription* piItem = m_piDescription->piNAGetItem(pszItem);
        if (piItem == nullptr)
            return 0;
        const bool bReal = _bHoldsRealNumber(piItem);
        const int bUnique = piItem->bUnique();
        piItem->nExternalRelease();
        if (bReal)
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



// ---- Reading and browsing -------------------------------------------------------------------------------------------

namespace {
// The statement's internal search when it is in force, with a reference.
CNARecherche* pclSearchInForce(CNAStatement* pclStatement)
{
    if (!pclStatement->bExistRechercheObject())
        return nullptr;
    CNARecherche* pcl = pclStatement->pclGetRecherche();
    if (pcl != nullptr && pcl->nGetState() == CNARecherche::STATE_INACTIVE) {
        pcl->nRelease();
        return nullptr;
    }
    return pcl;
}

// A query that limits its rows is read in its own order: a browse on an
// item it does not order by first is sorted by the table cache.
bool bSortedByTableCache(CNADataAccess* pclAccess, const wchar_t* pszItem)
{
    if (!pclAccess->bQueryResultsetLimited())
        return false;
    const CSQLParserInfo* pclInfo = pclAccess->pclGetQueryParserInfoNoRef();
    const wchar_t* pszOwn = pclInfo != nullptr ? pclInfo->pszGetOrderByItem() : nullptr;
    return pszOwn == nullptr || STR_nUpCompareW(pszOwn, pszItem, 0) != 0;
}
} // namespace

int CNADataAccess::bHLitxxx(const wchar_t* pszItem, eNA_PARSEDIRECTION eParse, int n, eNA_LOCKTYPE eLock,
                            eNA_LOCKTYPE* peLock, unsigned int nFlags)
{
    const int eDirection = static_cast<int>(eParse);
    CHeld<CNAStatement> clStatement;
    if (m_bQueryParsePending) {
        CNAStatement* pclLast = m_pclLastStatement;
        CNABrowseRules::SPendingFacts f;
        f.bLatestFilter = m_pclLatestFilter != nullptr;
        if (pclLast != nullptr) {
            CHeld<CNARecherche> clSearch(pclSearchInForce(pclLast));
            f.bLastHoldsSearch = static_cast<bool>(clSearch);
            f.bLastSameItem = STR_nCompareW(pclLast->pszGetParseItem(), pszItem, 3) == 0;
            f.bLastQueryOrder = (pclLast->nGetParseFlags() & WPF_QUERY_ORDER) != 0;
            f.bLastNamedItem = STR_nUpCompareW(pclLast->pszGetName(), pszItem, 0) == 0;
        }
        f.bWithoutCorrection = bRequeteSansCorrection() != 0;
        f.bQueryOrderFlag = (nFlags & WPF_QUERY_ORDER) != 0;
        f.bNoCacheFlag = (nFlags & WPF_NO_CACHE) != 0;
        f.bContinueFlag = (nFlags & WPF_CONTINUE) != 0;
        const CNABrowseRules::SPendingDecision d = CNABrowseRules::s_Pending(f);
        if (d.bAddTableCacheFlag)
            nFlags |= WPF_TABLE_CACHE;
        if (d.bDropCaches) {
            if (pclLast != nullptr)
                pclLast->EnableCache(0);
            _FreeTableCache();
        }
        if (d.bTakeLast) {
            pclLast->AddRef();
            clStatement.Reset(pclLast);
            pclLast->SetParseStarted();
            m_bQueryParsePending = 0;
        }
    }
    if (!clStatement) {
        clStatement.Reset(_pclGetNewItemStatement(pszItem, eDirection, nFlags));
        m_bQueryParsePending = 0;
        if (!clStatement)
            return 0;
    }
    CNAStatement* pcl = clStatement.Get();

    int bContinue = 1;
    // A refresh already pending (after a return to a position) goes on from
    // its own record, not from the statement's older one.
    if ((eDirection == NEXT || eDirection == PREVIOUS) && bFilterChanged(pcl) &&
        pcl->eParseNeedUpdate() == CNAStatement::UPDATE_NONE)
        bContinue = pcl->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION);
    int bRestart = 0;
    if ((eDirection == FIRST || eDirection == LAST) && bContinue == 1) {
        CNABrowseRules::SRestartFacts f;
        f.eDirection = eDirection;
        f.nFlags = nFlags;
        f.nParseFlags = pcl->nGetParseFlags();
        f.bStarted = pcl->bParseStarted() != 0;
        f.bTableCache = m_pclTableCache != nullptr;
        f.bTableCacheComplete = f.bTableCache && _bTableCacheCompleted();
        f.bFilterChanged = bFilterChanged(pcl);
        f.bQuerySource = m_bSourceIsQuery != 0;
        f.bInverted = pcl->bInvertFetch() != 0;
        {
            CHeld<CNARecherche> clSearch(pclSearchInForce(pcl));
            f.bInternalSearch = static_cast<bool>(clSearch);
        }
        f.bRowLimit = pcl->llGetRowLimit() != CNAStatement::NO_LIMIT;
        f.bFirstBlock = pcl->bFirstBlock() != 0;
        f.bRecordCache = pcl->bCacheEnabled() != 0;
        f.bRecordCacheComplete = pcl->bCacheCompleted() != 0;
        f.bRefreshPending = pcl->eParseNeedUpdate() != CNAStatement::UPDATE_NONE;
        f.bWithoutCorrection = bRequeteSansCorrection() != 0;
        f.bResultsetLimited = bQueryResultsetLimited() != 0;
        f.bQueryItemIsItem = STR_nUpCompareW(m_csQueryParseItem.pszGet(), pszItem, 0) == 0;
        f.bSQLInterface = m_pclConnection != nullptr && m_pclConnection->bOpenedBySQL();
        const CNABrowseRules::SRestartDecision d = CNABrowseRules::s_Restart(f);
        nFlags = d.nFlags;
        if (d.bDeactivateSearches)
            pcl->DesactivateRechercheUserAndInternal();
        pcl->AnnuleRechercheUser();
        pcl->SetParseFlags(nFlags);
        pcl->SetParseItem((nFlags & WPF_QUERY_ORDER) != 0 ? _pszGetDefaultParseItem() : pszItem);
        if (d.bFreeTableCache)
            _FreeTableCache();
        switch (d.eTableCache) {
        case CNABrowseRules::TC_OPEN_USING: bContinue = pcl->bOpenUsingTableCache(); break;
        case CNABrowseRules::TC_NEW_ATTACHED:
            // Without a table cache the browse starts again.
            if (!_bCreateNewTableCache(pcl) || !_bTableCacheSetStatementParse(pcl))
                bRestart = 1;
            break;
        case CNABrowseRules::TC_NEW: _bCreateNewTableCache(pcl); break;
        case CNABrowseRules::TC_NONE: break;
        }
        if (d.bRecordCacheOff)
            pcl->EnableCache(0);
        bRestart |= d.bRestart ? 1 : 0;
    }

    int bResult = 0;
    if (bContinue == 1)
        bResult = _bReadOn(pcl, pszItem, eDirection, 1, n, eLock, peLock, nFlags, bRestart, nullptr);
    if (!bResult) {
        bResult = _bRepriseErreurParcours(pcl, pszItem, eDirection, eLock, peLock, nFlags);
        const bool bTableCache = m_pclTableCache != nullptr;
        if (!bResult && CNABrowseRules::s_bDropCacheAfterFailure(bTableCache, bTableCache && _bTableCacheInitDone(),
                                                                 bTableCache && _bTableCacheIsParse(pcl)))
            _FreeTableCache();
        // A failure always says why, if only that the cache could not serve.
        if (!bResult && m_pclError != nullptr && m_pclError->eGetErrorLevel() == NA_ERRORLEVEL_NOERROR)
            _RaiseUserError(PT_READ_NO_REASON, ZTERR_CACHE_INCOMPLETE, pszItem, NA_ERRORTYPE_GENERAL);
    }
    clStatement.Reset(nullptr);
    if (CNABrowseRules::s_bReadAgainWithCache(
            bResult, bRequeteSansCorrection() || bSortedByTableCache(this, pszItem), nFlags, eDirection))
        return bHLitxxx(pszItem, eParse, n, eLock, peLock, nFlags | WPF_TABLE_CACHE);
    return bResult;
}

int CNADataAccess::_bFetch(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection, long long llCount,
                           int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags, int bRestart,
                           long long* pllMoved)
{
    if (pllMoved != nullptr)
        *pllMoved = 0;
    if (pclStatement == nullptr || !pclStatement->bSetLockType(eLock))
        return 0;
    CNABrowseRules::SFetchFacts f;
    f.eDirection = eDirection;
    f.bRestart = bRestart != 0;
    f.bTableCacheFlag = (nFlags & WPF_TABLE_CACHE) != 0;
    f.bTableCache = m_pclTableCache != nullptr;
    f.bRefreshPending = pclStatement->eParseNeedUpdate() != CNAStatement::UPDATE_NONE;
    f.bStarted = pclStatement->bParseStarted() != 0;
    const long long llLimit = pclStatement->llGetRowLimit();
    f.bRowLimit = llLimit != CNAStatement::NO_LIMIT;
    f.bLimitCoversCount = !f.bRowLimit || llLimit >= llCount;
    f.bInverted = pclStatement->bInvertFetch() != 0;
    f.bFirstBlock = pclStatement->bFirstBlock() != 0;
    f.bCacheBrowse = f.bTableCache && _bTableCacheIsParse(pclStatement);
    f.bHostPrepared = bHPrepareRequeteCalled() != 0;
    f.bRecordLost = pclStatement->bRecordLost() != 0;
    f.bCanFetchBackward = pclStatement->bCanFetchBackward() != 0;
    f.bRecordCache = pclStatement->bCacheEnabled() != 0;
    if (CNABrowseRules::s_bBackwardBlocked(f))
        f.bCanRefresh = pclStatement->bCanUpdateParse() != 0;

    int ePrepare = 1;
    switch (CNABrowseRules::s_eFetch(f)) {
    case CNABrowseRules::FETCH_LOST: return 1;
    case CNABrowseRules::FETCH_BACKWARDS_REFUSED:
        _RaiseUserError(PT_BACKWARDS, ZTERR_BACKWARDS, pszItem, NA_ERRORTYPE_GENERAL);
        return 0;
    case CNABrowseRules::FETCH_MARK_AND_REFRESH:
        if (!pclStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION))
            return 0;
        // Nothing to keep marks nothing: the open result is read on.
        if ((pclStatement->eParseNeedUpdate() == CNAStatement::UPDATE_NONE && pclStatement->bParseStarted()) ||
            m_pclTableCache != nullptr)
            break;
        return _bUpdateParse(0, pclStatement, n, eDirection, llCount, pllMoved);
    case CNABrowseRules::FETCH_REFRESH: return _bUpdateParse(0, pclStatement, n, eDirection, llCount, pllMoved);
    case CNABrowseRules::FETCH_FULL_CACHE_READ:
        if (!_bTableCacheFullCache())
            return 0;
        break;
    case CNABrowseRules::FETCH_READ: break;
    case CNABrowseRules::FETCH_REOPEN_PREPARED: ePrepare = 3; [[fallthrough]];
    case CNABrowseRules::FETCH_REOPEN: {
        pclStatement->SetRecordLost(0);
        pclStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_NONE);
        if (bRequeteSansCorrection() && pclStatement->bExistFilter()) {
            _RaiseUserError(PT_WITHOUT_CORRECTION_FILTER, ZTERR_WITHOUT_CORRECTION, pszItem, NA_ERRORTYPE_GENERAL);
            return 0;
        }
        // A query read as written (or as it limits its rows) has one order.
        const int bForward = (eDirection == LAST || eDirection == PREVIOUS) && !bRequeteSansCorrection() &&
                                     !bQueryResultsetLimited()
                                 ? 0
                                 : 1;
        if (!_bOpenStatement(pclStatement, pszItem, bForward, nFlags, &llCount, ePrepare))
            return 0;
        break;
    }
    }
    if (llCount == 0 && n == 0)
        return 1;

    CHeld<CNAPosition> clPosition;
    if (static_cast<int>(eLock) == 2 || static_cast<int>(eLock) == 3) {
        CNAPosition* pcl = pclAllocPosition();
        if (pcl != nullptr) {
            pcl->AddRef();
            if (pclStatement->bGetPosition(pcl, 0))
                clPosition.Reset(pcl);
            else
                pcl->nRelease();
        }
    }
    long long llFetched = 0;
    if (!pclStatement->bFetch(eDirection, n, llCount, &llFetched))
        return 0;
    if (pllMoved != nullptr)
        *pllMoved = llFetched;
    int bOutOfRange = 1;
    pclStatement->HEndehors(&bOutOfRange);
    int bResult = 1;
    if (!bOutOfRange) {
        bResult = bLockUnlockRecord(pclStatement, eLock, 0, peLock) ? 1 : 0;
        if (!bResult && clPosition)
            pclStatement->bSetPosition(clPosition.Get(), 0);
        return bResult;
    }
    if (m_pclTableCache != nullptr && _bTableCacheCompleted())
        return bResult;
    // A search that reaches the end of its range goes on into the next one.
    CHeld<CNARecherche> clSearch(pclSearchInForce(pclStatement));
    if (!clSearch || (nFlags & WPF_REFIND) != 0 || (pclStatement->nGetParseFlags() & WPF_REFIND) != 0)
        return bResult;
    const int eGoOn = eDirection == NEXT ? FIRST : (eDirection == PREVIOUS ? LAST : eDirection);
    if (!clSearch->bPeutContinuerParcours(static_cast<eNA_PARSEDIRECTION>(eGoOn)))
        return bResult;
    const eNA_PARSEDIRECTION eFormer = clSearch->eGetDirection();
    pclStatement->bSetContinueParcours(eGoOn);
    CHeld<CNAStatement> clOther(_pclGetNewItemStatement(pszItem, eGoOn, nFlags));
    if (!clOther)
        return 0;
    if (clOther.Get() != pclStatement)
        clOther->_SetRecherche(clSearch.Get());
    bResult &= _bFetch(clOther.Get(), pszItem, eGoOn, llCount - llFetched, n, static_cast<eNA_LOCKTYPE>(1), peLock,
                       nFlags, 1, nullptr);
    clOther->HEndehors(&bOutOfRange);
    if (bResult && bOutOfRange)
        clSearch->bReviensParcoursPrecedent(eFormer);
    return bResult;
}

int CNADataAccess::_bReadOn(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection, long long llCount,
                            int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags, int bRestart,
                            long long* pllMoved)
{
    // Past the end the browse is out of range and not found already.
    const bool bOn = (eDirection == NEXT || eDirection == PREVIOUS) && llCount > 0;
    if (bOn && pclStatement->ePastEnd() == eDirection && !bFilterChanged(pclStatement)) {
        if (pllMoved != nullptr)
            *pllMoved = 0;
        return 1;
    }
    const int bResult = _bFetch(pclStatement, pszItem, eDirection, llCount, n, eLock, peLock, nFlags, bRestart, pllMoved);
    int bOutOfRange = 0;
    pclStatement->HEndehors(&bOutOfRange);
    // A read that failed ends nowhere: the next one tries again.
    if (bResult && bOn && bOutOfRange)
        pclStatement->SetPastEnd(eDirection);
    return bResult;
}

int CNADataAccess::bSkipRecord(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, long long llCount, int n,
                               eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags)
{
    CHeld<CNAStatement> clStatement(_pclGetNewItemStatement(pszItem, eDirection, nFlags));
    if (!clStatement)
        return 0;
    int bResult = _bReadOn(clStatement.Get(), pszItem, eDirection, llCount, n, eLock, peLock, nFlags, 0, nullptr);
    if (!bResult)
        bResult = _bRepriseErreurParcours(clStatement.Get(), pszItem, eDirection, eLock, peLock, nFlags);
    return bResult;
}

// ---- Reading by record number ---------------------------------------------------------------------------------------

int CNADataAccess::_bIsValidRecordNumber(long long llRecord)
{
    if (llRecord == 0)
        return 1;
    _RaiseUserError(PT_RECORD_NUMBER, ZTERR_RECORD_NUMBER, nullptr, NA_ERRORTYPE_GENERAL);
    return 0;
}

int CNADataAccess::bGetRecNumState(long long llRecord, unsigned int* pnState)
{
    if (!_bIsValidRecordNumber(llRecord))
        return 0;
    const CNARecordValue* pcl =
        m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() : nullptr;
    if (pnState != nullptr)
        *pnState = pcl != nullptr ? pcl->nGetState() : NA_RECORDSTATE_NORMAL;
    return 1;
}

int CNADataAccess::bHLit(long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock)
{
    const int nOwn = m_nOwnRecordSave;
    if (nOwn == -1)
        return bMove(llRecord, 1, eLock, peLock);
    // Read again, the own save stays the data access's.
    AddRefRecordSave(nOwn);
    const int bResult = bSetCurrentRecordRead(1) && bMove(llRecord, 1, eLock, peLock);
    if (m_nOwnRecordSave == nOwn) {
        nReleaseRecordSave(nOwn);
    } else {
        if (m_nOwnRecordSave != -1)
            nReleaseRecordSave(m_nOwnRecordSave);
        m_nOwnRecordSave = nOwn;
    }
    return bResult;
}

int CNADataAccess::bHostRead(int bResult)
{
    if (!bResult || m_pclLastStatement == nullptr || m_pclCurrentRecord == nullptr)
        return bResult;
    int bOut = 1;
    m_pclLastStatement->HEndehors(&bOut);
    const CNARecordValue* pclRow = m_pclCurrentRecord->pclGetCurrentRecordValueNoRef();
    if (bOut || pclRow == nullptr || !CNAReadFailure::s_bReadFails(pclRow->pclGetReadFailureNoRef()))
        return 1;
    // The kept failure already names its connection.
    if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERAL, pclRow->pclGetReadFailureNoRef(), nullptr);
    return 0;
}

int CNADataAccess::bMove(long long llRecord, int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock)
{
    if (!_bIsValidRecordNumber(llRecord))
        return 0;
    CHeld<CNAStatement> clStatement(_pclGetQueryStatement());
    if (!clStatement)
        return 0;
    int bResult = bLockRecord(clStatement.Get(), eLock, llRecord, peLock);
    if (bResult)
        bResult = _bMove(llRecord, n);
    if (clStatement->eGetLockType() == 1)
        clStatement->ResetStatement();
    return bResult;
}

int CNADataAccess::_bMove(long long llRecord, int n)
{
    CHeld<CNAStatement> clStatement(_pclGetQueryStatement());
    if (!clStatement)
        return 0;
    int bResult = clStatement->bMove(llRecord, n);
    int bOutOfRange = 0;
    clStatement->HEndehors(&bOutOfRange);
    // The row is gone since it was read: the record read, marked deleted.
    if (bResult && bOutOfRange && bCopyOriginalRecordToCurrentRecord())
        m_pclCurrentRecord->SetDeleted();
    clStatement->ResetStatement();
    return bResult;
}

// ---- Refreshing a browse --------------------------------------------------------------------------------------------

int CNADataAccess::_bUpdateParse(int bRestoreAfter, CNAStatement* pclStatement, int n, int eDirection,
                                 long long llCount, long long* pllMoved)
{
    if ((pclStatement->nGetParseFlags() & WPF_NO_CACHE) != 0 && !pclStatement->bCanUpdateParse()) {
        _RaiseUserError(PT_NO_REFRESH, ZTERR_NO_REFRESH, pclStatement->pszGetParseItem(), NA_ERRORTYPE_GENERAL);
        return 0;
    }
    // A browse never read stands on no record to go on from.
    if (pclStatement->nGetRecordSaveID() == -1) {
        _RaiseUserError(PT_REFRESH_NO_RECORD, ZTERR_NO_CURRENT_RECORD, pclStatement->pszGetParseItem(),
                        NA_ERRORTYPE_GENERAL);
        return 0;
    }
    if (!bRestoreOriginalRecordSave(pclStatement))
        return 0;
    // The record is found again by the server's values of its times, which
    // the host holds to fewer digits, when the statement kept them.
    CNARecherche* pclSearch = pclStatement->pclGetRecherche();
    if (pclSearch != nullptr)
        pclStatement->GiveRefreshServerValues(pclSearch);
    const int bResult = bGoToOriginalRecord(bRestoreAfter, pclStatement, n, eDirection, llCount, pllMoved);
    if (pclSearch != nullptr) {
        pclSearch->ResetServerValues();
        pclSearch->nRelease();
    }
    return bResult;
}

int CNADataAccess::_bRelanceParcoursSurErreur(CNAStatement* pclStatement, const wchar_t*, int eDirection,
                                              eNA_LOCKTYPE, eNA_LOCKTYPE*, unsigned int nFlags)
{
    int bResult =
        pclStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_REEXECUTE, nKeepOriginalRecordSave(pclStatement));
    if (m_bSourceIsQuery) {
        pclStatement->SetParseFlags(nFlags);
        if ((nFlags & WPF_CONTINUE) != 0 && m_pclTableCache == nullptr)
            _bCreateNewTableCache(pclStatement);
        pclStatement->SetNextBlock(1);
    }
    if (bResult && eDirection != STAY)
        bResult = _bUpdateParse(0, pclStatement, 1, eDirection, 1, nullptr);
    pclStatement->SetNextBlock(0);
    pclStatement->SetRecordLost(0);
    return bResult;
}

// ---- Found and out of range -----------------------------------------------------------------------------------------

int CNADataAccess::bHEndehors(const wchar_t* pszItem, int* pbOutOfRange)
{
    CHeld<CNAStatement> clStatement(_pclFindStatement(pszItem));
    if (!clStatement) {
        _RaiseUserError(PT_ENDEHORS, ZTERR_ITEM_NOT_BROWSED, pszItem, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    clStatement->HEndehors(pbOutOfRange);
    return 1;
}

int CNADataAccess::bEvalHTrouve(const wchar_t* pszItem, int* pbFound, int* pbInRange)
{
    CHeld<CNAStatement> clStatement(_pclFindStatement(pszItem));
    if (!clStatement) {
        _RaiseUserError(PT_EVALHTROUVE, ZTERR_ITEM_NOT_BROWSED, pszItem, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    clStatement->EvalHTrouve(pbFound, pbInRange);
    return 1;
}

int CNADataAccess::bSetNextOperation(eNA_OPERATION eOperation)
{
    const int nOperation = static_cast<int>(eOperation);
    m_eNextOperation = nOperation;
    if (nOperation == OPERATION_CACHE)
        return m_pclTableCache == nullptr || _bTableCacheFullCache();
    if (nOperation != OPERATION_FIRST && nOperation != OPERATION_LAST)
        return 1;
    if (m_pclTableCache == nullptr || (_bTableCacheFullCache() && _bTableCacheCompleted()))
        return 1;
    if (m_pclError != nullptr && m_pclError->eGetErrorLevel() == NA_ERRORLEVEL_NOERROR)
        _RaiseUserError(PT_NEXT_OPERATION, ZTERR_CACHE_INCOMPLETE, nullptr, NA_ERRORTYPE_GENERAL);
    else if (m_pclError != nullptr)
        m_pclError->AddUserMessageFirst(ZTMSG_CACHE_INCOMPLETE);
    return 0;
}

// ---- The current record ---------------------------------------------------------------------------------------------

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

int CNADataAccess::_bInitCurrentRecord()
{
    int bResult = 1;
    if (m_pclCurrentRecord == nullptr) {
        // A table name the connection's code page cannot hold would reach
        // the server as "?", as an item's would: the record is refused
        // alike.
        CTString csTable;
        if (!m_bSourceIsQuery && m_piDescription != nullptr && m_pclConnection != nullptr &&
            !m_pclConnection->bFormatTableName(m_pclError, m_piDescription->pszGetDBTableName(), &csTable))
            return 0;
        CNARecord* pcl = _pclAllocRecord(m_pclError);
        if (pcl == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->pclGetXError()->SetErrorNoMemory();
            return 0;
        }
        pcl->AddRef();
        m_pclCurrentRecord = pcl;
        if (!pcl->bInitRecord(m_piDescription, m_pclImportedDescription, m_pclConnection)) {
            _FreeCurrentRecord();
            return 0;
        }
    } else if (m_pclImportedDescription != nullptr) {
        CNAColumn* pclFirst =
            m_pclCurrentRecord->nGetNbColumn() > 0 ? m_pclCurrentRecord->pclGetColumnNoRef(0) : nullptr;
        if (pclFirst != nullptr && pclFirst->pclGetImportedItem() == nullptr)
            _bInitCurrentRecord_SetImportedItemDesc();
    }
    if (m_pclQueryParserInfo != nullptr) {
        m_pclQueryParserInfo->SetRecord(m_pclCurrentRecord);
        if (!bRequeteSansCorrection())
            _InitAliasFichierColonne(m_piDescription);
    }
    return bResult;
}

int CNADataAccess::bGetRecord(CNAKXRecord** ppRecord) const
{
    if (!m_bOpened || m_pclCurrentRecord == nullptr || ppRecord == nullptr)
        return 0;
    CNAKXRecord* pcl = m_pclCurrentRecord->pclGetNAKXRecord();
    if (pcl == nullptr)
        return 0;
    pcl->AddRef();
    *ppRecord = pcl;
    return 1;
}

int CNADataAccess::bSetRecord(CNAKXRecord* pclRecord)
{
    if (!m_bOpened || m_pclCurrentRecord == nullptr || pclRecord == nullptr)
        return 0;
    const int bResult = m_pclCurrentRecord->bSetNAKXRecord(pclRecord) ? 1 : 0;
    // The host gives its reference up only to a record that took it.
    if (bResult)
        pclRecord->nRelease();
    return bResult;
}

int CNADataAccess::bSetCurrentRecordRead(int bKeepSave)
{
    if (m_pclCurrentRecord == nullptr || m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() == nullptr)
        return 0;
    m_pclCurrentRecord->pclGetCurrentRecordValueNoRef()->SetState(NA_RECORDSTATE_NORMAL);
    const int bResult = m_pclCurrentRecord->bCopyCurrentRecordToOriginalRecord() ? 1 : 0;
    if (!bKeepSave && m_nOwnRecordSave != -1) {
        nReleaseRecordSave(m_nOwnRecordSave);
        m_nOwnRecordSave = -1;
    }
    return bResult;
}

int CNADataAccess::_bUpdateChangedTypeInCurrentRecord()
{
    // Only a query's description, the data access's own, changes its types.
    if (m_bSourceIsQuery && m_piDescription != nullptr)
        static_cast<CNADataSourceDescription*>(m_piDescription)->UpdateRecordSize();
    int bResult = m_pclCurrentRecord != nullptr &&
                  m_pclCurrentRecord->bUpdateChangedTypeInCurrentRecord(m_piDescription);
    _ResetRecordCache();
    if (!bResult)
        return 0;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (bResult && m_tabStatement.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNAStatement* pcl = static_cast<CNAStatement*>(pValue);
        pcl->AddRef();
        bResult = pcl->bUpdateChangedTypeInCurrentRecord();
        pcl->nRelease();
    }
    if (!bResult)
        m_tabStatement.StopParsing();
    return bResult;
}

const wchar_t* CNADataAccess::_pszGetDefaultParseItem()
{
    if (m_bSourceIsQuery && m_pclQueryParserInfo != nullptr && m_piDescription != nullptr) {
        // The item at the place of the query's first ORDER BY column, by
        // the name the description gives it (two columns of one name are
        // told apart there). The description keeps the item, and its name.
        IInfoOrderBy* piOrder = m_pclQueryParserInfo->piEnumRubriqueClauseOrder(1);
        CHeldItem clItem(piOrder != nullptr && piOrder->nGetIndiceColonne() >= 0
                             ? m_piDescription->piNAGetItem(static_cast<unsigned int>(piOrder->nGetIndiceColonne()))
                             : nullptr);
        if (clItem && clItem->pszGetName() != nullptr)
            return clItem->pszGetName();
    }
    return pszGetBestParseItemName();
}

INAItemDescription* CNADataAccess::piGetNullItemDesc(int)
{
    if (m_pclCurrentRecord == nullptr)
        return nullptr;
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pcl->bIsComposedKey())
            return nullptr;
        if (!pcl->bIsNullableOnDataBase() && !pcl->bValueDefined()) {
            INAItemDescription* piItem = pcl->piGetItem();
            if (piItem != nullptr)
                piItem->ExternalAddRef();
            return piItem;
        }
    }
    return nullptr;
}

int CNADataAccess::_bGetRequestedValue(CAny* pValue, CNACommand* pclCommand)
{
    CHeld<CNAStatement> clStatement(_pclGetQueryStatement());
    if (!clStatement)
        return 0;
    const int bResult = _bGetRequestedValue(clStatement.Get(), pValue, pclCommand);
    clStatement->ResetStatement();
    return bResult;
}

int CNADataAccess::_bGetRequestedValue(CNAStatement* pclStatement, CAny* pValue, CNACommand* pclCommand)
{
    return pclStatement->bExecuteDirectNewCommand(pclCommand, 0, 1) && pclStatement->bGetResultValue(pValue, 0);
}

// ---- Imported descriptions ------------------------------------------------------------------------------------------

int CNADataAccess::bInitImportedDataSourceDesc(CNAStatement* pclStatement)
{
    if (pclStatement == nullptr)
        return 0;
    CNADataSourceDescription* pcl = _pclAllocDataSource(m_pclConnection, m_pclError);
    if (pcl == nullptr)
        return 0;
    pcl->AddRef();
    pcl->SetLogicalName(pszGetLogicalName());
    pcl->SetDBName(pszGetLogicalName());
    int bResult = pclStatement->bGetQueryStructure(pcl);
    if (bResult)
        bResult = _SetImportedDataSourceDesc(pcl);
    pcl->nRelease();
    return bResult;
}

int CNADataAccess::_bQueryItemComputed(const INAItemDescription* piItem) const
{
    if (m_pclQueryParserInfo == nullptr)
        return 0;
    // The item stands at its output column's place, whatever the names.
    IInfoRubrique* piColumn = m_pclQueryParserInfo->piGetRubriqueOUT(piItem->nGetPhysicalIndice());
    return piColumn != nullptr && piColumn->eGetCalcul() != 0;
}

int CNADataAccess::_SetImportedDataSourceDesc(CNADataSourceDescription* pclImported)
{
    if (pclImported != m_pclImportedDescription) {
        if (pclImported != nullptr)
            pclImported->ExternalAddRef();
        CNADataSourceDescription* pclOld = m_pclImportedDescription;
        m_pclImportedDescription = pclImported;
        if (pclOld != nullptr)
            pclOld->nExternalRelease();
    }
    if (pclImported == nullptr)
        return 1;
    const unsigned int nImported = pclImported->nGetNumItems();
    const unsigned int nOwn = m_piDescription != nullptr ? m_piDescription->nGetNumItems() : 0;
    const bool bOwnIsImported = m_piDescription == nullptr ||
                                m_piDescription == static_cast<INADataSourceDescription*>(pclImported);
    bool bChanged = false;
    for (unsigned int i = 0; i < nImported; i++) {
        CHeldItem clImported(pclImported->piNAGetItem(i));
        if (!clImported)
            continue;
        const int bUpdatable = clImported->bUpdatable();
        if (bOwnIsImported) {
            if (bUpdatable)
                continue;
            break;
        }
        CHeldItem clItem(m_piDescription->piNAGetItem(clImported->pszGetName()));
        if (!clItem) {
            if (!m_bSourceIsQuery || i >= nOwn)
                continue;
            // A query's column takes the name the server gave it.
            clItem.Reset(m_piDescription->piNAGetItem(i));
            if (!clItem)
                continue;
            static_cast<CNAItemDescription*>(clItem.Get())->bSetName(clImported->pszGetName());
            if (m_pclCurrentRecord != nullptr && static_cast<int>(i) < m_pclCurrentRecord->nGetNbColumn())
                m_pclCurrentRecord->pclGetColumnNoRef(static_cast<int>(i))->bFormatName();
        }
        if (!bUpdatable)
            clItem->SetUpdatable(0);
        if (!m_bSourceIsQuery)
            continue;
        CNAItemDescription* pclItem = static_cast<CNAItemDescription*>(clItem.Get());
        if (_bQueryItemComputed(pclItem)) {
            CNAItemDescription* pclServer = static_cast<CNAItemDescription*>(clImported.Get());
            const bool bSameKind = (pclItem->bMemo() != 0) == (pclServer->bMemo() != 0);
            // Bytes read as a text, or a memo read in an item that is none,
            // lose the value: the item takes the server's type, as a column
            // of it would.
            const bool bBytesLost = pclServer->bServerBytes() && pclItem->eNAGetItemType() != NA_IT_BINAIRE &&
                                    !pclItem->bMemoBinary();
            const bool bMemoLost = pclServer->bMemo() && !pclItem->bMemo();
            if (bBytesLost || bMemoLost || (bSameKind && !pclItem->bTypeMatch(pclServer, 1, 1))) {
                static_cast<CNADataSourceDescription*>(m_piDescription)->TakeServerType(pclItem, pclServer);
                bChanged = true;
            } else if (bSameKind && !pclItem->bTypeMatch(pclServer, 0, 1)) {
                bChanged = true;
            }
        }
        if (clImported->eNAGetItemType() == NA_IT_MEMOBINAIRE) {
            CNAItemDescription* pclImportedItem = static_cast<CNAItemDescription*>(clImported.Get());
            const eNA_ITEMTYPE eType = pclItem->eNAGetItemType();
            if (eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE)
                pclImportedItem->bChangeTypeMemo(NA_IT_MEMOTEXTE);
            else if (eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE)
                pclImportedItem->bChangeTypeMemo(NA_IT_MEMOUNICODE);
        }
    }
    if (m_pclCurrentRecord == nullptr)
        return 1;
    if (bChanged)
        _bUpdateChangedTypeInCurrentRecord();
    return _bInitCurrentRecord();
}

int CNADataAccess::_bInitCurrentRecord_SetImportedItemDesc()
{
    if (m_pclCurrentRecord == nullptr || m_pclImportedDescription == nullptr)
        return 1;
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pclColumn->bIsComposedKey())
            continue;
        CNAItemDescription* pclImported = m_pclImportedDescription->pclNAGetItem(pclColumn->pszGetName(), 3);
        const int bResult = pclColumn->bSetImportedItemDesc(pclImported);
        if (pclImported != nullptr)
            pclImported->nExternalRelease();
        if (!bResult)
            return 0;
    }
    return 1;
}

void CNADataAccess::_InitAliasFichierColonne(INADataSourceDescription* piDescription)
{
    if (m_pclCurrentRecord == nullptr || piDescription == nullptr)
        return;
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CHeldItem clItem(piDescription->piNAGetItem(static_cast<unsigned int>(i)));
        const wchar_t* pszSource = clItem ? clItem->pszGetSourceName() : nullptr;
        if (pszSource == nullptr || pszSource[0] == 0)
            continue;
        // A FROM entry with an alias goes by it as the FROM clause writes
        // it, never by a table bearing its name in another case.
        const wchar_t* pszAlias =
            m_pclQueryParserInfo != nullptr ? m_pclQueryParserInfo->pszGetFromAlias(pszSource) : nullptr;
        const wchar_t* pszPhysical =
            m_pclQueryParserInfo != nullptr ? m_pclQueryParserInfo->pszGetPhysicalName(pszSource) : nullptr;
        // The digest's answer lives in a buffer the next question reuses.
        CTString csName(pszAlias != nullptr                              ? pszAlias
                        : pszPhysical != nullptr && pszPhysical[0] != 0 ? pszPhysical
                                                                         : pszSource);
        CTString csFormated;
        if (m_pclConnection == nullptr || !m_pclConnection->bFormatTableName(m_pclError, csName.pszGet(), &csFormated))
            csFormated.Set(csName.pszGet());
        m_pclCurrentRecord->pclGetColumnNoRef(i)->SetAliasTableName(csName.pszGet(), csFormated.pszGet());
    }
}

void CNADataAccess::_GetDBSourceName(INAItemDescription* piItem, CTString* pclOut, int bFormat)
{
    const wchar_t* pszSource = piItem != nullptr ? piItem->pszGetSourceName() : nullptr;
    // An alias stands for its FROM entry's table, whatever table bears the
    // alias's name.
    if (pszSource != nullptr && m_pclQueryParserInfo != nullptr)
        pszSource = m_pclQueryParserInfo->pszGetAliasTableName(pszSource);
    if (pszSource == nullptr || pszSource[0] == 0)
        return;
    INADataSourceDescription* piSource =
        m_pclQueryParserInfo != nullptr ? m_pclQueryParserInfo->piGetNADataSourceDescription(pszSource) : nullptr;
    CTString csName(piSource != nullptr ? piSource->pszGetDBTableName() : pszSource);
    if (piSource != nullptr)
        piSource->nExternalRelease();
    if (!bFormat || m_pclConnection == nullptr || !m_pclConnection->bFormatTableName(m_pclError, csName.pszGet(), pclOut))
        pclOut->Set(csName.pszGet());
}



// ---- Identities -----------------------------------------------------------------------------------------------------

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


// ---- Saved positions ------------------------------------------------------------------------------------------------

CNAPosition* CNADataAccess::_pclFindPosition(int nPosition)
{
    CNAPosition* pcl = nullptr;
    return m_tabPosition.bGetValue(nPosition, &pcl) ? pcl : nullptr;
}

int CNADataAccess::_bFreePosition(int nPosition)
{
    void* pValue = nullptr;
    if (!m_tabPosition.bDeleteElement(CHTBKeyWord<int>::pToWord(nPosition), &pValue, nullptr))
        return 1;
    CNAPosition* pcl = static_cast<CNAPosition*>(pValue);
    CNAStatement* pclStatement = pcl->pclGetStatementNoRef();
    if (pclStatement != nullptr)
        pclStatement->bRemoveSavedPosition(nPosition);
    // The table's reference.
    pcl->nRelease();
    return 1;
}

int CNADataAccess::_bDeleteAllSavedPosition()
{
    while (m_tabPosition.dwGetNumElement() > 0) {
        unsigned int nWalk = 0;
        void* pValue = nullptr;
        void* pKey = nullptr;
        if (!m_tabPosition.bParseTable(&nWalk, 0, &pValue, &pKey))
            break;
        m_tabPosition.StopParsing();
        CNAPosition* pcl = static_cast<CNAPosition*>(pValue);
        pcl->AddRef();
        _bFreePosition(CHTBKeyWord<int>::FromWord(pKey));
        pcl->nRelease();
    }
    return 1;
}

// ---- Filters --------------------------------------------------------------------------------------------------------

void CNADataAccess::SetLatestFilter(CNAFilter* pclFilter)
{
    if (pclFilter == m_pclLatestFilter)
        return;
    if (pclFilter != nullptr)
        pclFilter->AddRef();
    CNAFilter* pclOld = m_pclLatestFilter;
    m_pclLatestFilter = pclFilter;
    if (pclOld != nullptr)
        pclOld->nRelease();
}

int CNADataAccess::_bKeepFilter(CNAStatement* pclFrom, CNAStatement* pclTo)
{
    if (pclFrom == nullptr || pclTo == nullptr || !pclFrom->bExistFilter())
        return 1;
    CNAFilter* pclFilter = pclFrom->pclGetFilter();
    pclTo->_SetFilter(pclFilter);
    if (pclFilter != nullptr)
        pclFilter->nRelease();
    return 1;
}

// ---- Counts ---------------------------------------------------------------------------------------------------------

namespace {
// The current record's values as they were, put back when this goes: a
// count may read rows into the current record.
class CRecordKept {
public:
    explicit CRecordKept(CNARecord* pclRecord) : m_pclRecord(pclRecord) {}
    CRecordKept(const CRecordKept&) = delete;
    CRecordKept& operator=(const CRecordKept&) = delete;
    ~CRecordKept()
    {
        if (m_clCopy)
            m_pclRecord->bSetNAKXRecord(m_clCopy.Get());
    }
    // 0 when the copy cannot be made (the error says so).
    int bKeep(CNAError* pclError)
    {
        CNAKXRecord* pclBuffer = m_pclRecord != nullptr ? m_pclRecord->pclGetNAKXRecord() : nullptr;
        if (pclBuffer == nullptr || m_clCopy)
            return 1;
        CNAKXRecord* pclClone = pclBuffer->pclGetClone();
        if (pclClone == nullptr) {
            if (pclError != nullptr)
                pclError->pclGetXError()->SetErrorNoMemory();
            return 0;
        }
        pclClone->AddRef();
        m_clCopy.Reset(pclClone);
        return 1;
    }
    int bKept() const { return static_cast<bool>(m_clCopy); }

private:
    CNARecord* m_pclRecord;
    CHeld<CNAKXRecord> m_clCopy;
};
} // namespace

int CNADataAccess::bHNbEnr(long long* pllCount, unsigned int nMode, unsigned int nFlags)
{
    return bGetNbEnr(pllCount, nMode, nFlags, m_pclLastStatement, -1);
}

int CNADataAccess::bGetNbEnr(long long* pllCount, unsigned int nMode, unsigned int nFlags,
                             CNAStatement* pclStatement, int eDirection)
{
    long long llCount = 0;
    if (_bGetNbEnrOptimized(&llCount, nMode, nFlags, pclStatement, eDirection)) {
        if (pllCount != nullptr)
            *pllCount = llCount;
        return 1;
    }
    int bResult = _bCount(&llCount, nMode, nFlags, pclStatement, eDirection);
    if (!bResult) {
        llCount = -1;
        // Every way to fail says why.
        if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
            _RaiseUserError(PT_NO_COUNT, ZTERR_NO_CURRENT_RECORD, nullptr, NA_ERRORTYPE_GENERAL);
    }
    if (pllCount != nullptr)
        *pllCount = llCount;
    return bResult;
}

int CNADataAccess::_bCount(long long* pllCount, unsigned int nMode, unsigned int nFlags, CNAStatement* pclStatement,
                           int eDirection)
{
    CHeld<CNAStatement> clCount(_pclGetQueryStatement());
    if (!clCount)
        return 0;
    clCount->DesactivateRechercheUserAndInternal();
    clCount->DesactivateFilter();
    int bAllRows = 1;
    if (pclStatement != nullptr && (nFlags & WPF_CONTINUE) != 0) {
        bAllRows = 0;
        if (pclStatement->bExistFilter()) {
            CHeld<CNAFilter> clFilter(pclStatement->pclGetFilter());
            CNAFilter* pclClone = clFilter ? clFilter->pclCloneFilter() : nullptr;
            if (pclClone == nullptr) {
                if (m_pclError != nullptr)
                    m_pclError->pclGetXError()->SetErrorNoMemory();
                return 0;
            }
            clCount->_SetFilter(pclClone);
            pclClone->ActivateFilter(1);
        }
    }
    // A count that reads the rows themselves (a query sent as written)
    // reads them into the current record: the host's values come back.
    CRecordKept clKept(m_pclCurrentRecord);
    if (eDirection == -1)
        return clKept.bKeep(m_pclError) && clCount->bGetNbEnr(pllCount, nMode, bAllRows);
    if (m_pclCurrentRecord == nullptr)
        return 0;
    CHeldItem clItem(pclStatement != nullptr ? piGetItemDescription(pclStatement->pszGetParseItem())
                                             : piGetBestParseItemDesc());
    // The rows equal to the statement's row, or before or after it: the
    // record a pending refresh finds again, else its original record, is
    // the current record meanwhile, whatever happens.
    const bool bRefresh = pclStatement != nullptr && pclStatement->eParseNeedUpdate() != CNAStatement::UPDATE_NONE &&
                          pclStatement->nGetRecordSaveID() >= 0;
    CHeld<CNARecordValue> clRefreshed(bRefresh ? pclWithReference(new (std::nothrow) CNARecordValue(m_pclError))
                                               : nullptr);
    if (bRefresh && !clRefreshed) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    if (bRefresh && !bCopySaveToRecord(pclStatement->nGetRecordSaveID(), clRefreshed.Get()))
        return 0;
    const CNARecordValue* pclOriginal =
        bRefresh ? clRefreshed.Get() : (pclStatement != nullptr ? pclStatement->pclGetStmtOriginalRecord() : nullptr);
    const CNARecordValue* pclCounted = m_pclCurrentRecord->pclGetCurrentRecordValueNoRef();
    if (pclOriginal != nullptr && pclOriginal->pclGetNAKXRecord() != nullptr) {
        if (!clKept.bKeep(m_pclError))
            return 0;
        if (clKept.bKept()) {
            m_pclCurrentRecord->bSetNAKXRecord(pclOriginal->pclGetNAKXRecord());
            pclCounted = pclOriginal;
        }
    }
    int bResult = 0;
    {
        CHeld<CNARecherche> clSearch(clItem ? clCount->pclGetRecherche() : nullptr);
        if (clSearch) {
            clCount->PrepareInternalSearch();
            bResult = clSearch->bRechercheEnreg(m_pclCurrentRecord, clItem.Get(), NA_PARSE_FIRST, 0, nullptr);
            if (bResult && eDirection == NEXT)
                clSearch->bSetContinueParcours(NA_PARSE_FIRST);
            else if (bResult && eDirection == PREVIOUS)
                clSearch->bSetContinueParcours(NA_PARSE_LAST);
            // A value the record could not take counts the rows of the
            // server's value, not those holding NULL.
            clSearch->SetRefusals(pclCounted != nullptr ? pclCounted->pclGetReadFailureNoRef() : nullptr);
        }
        if (bResult) {
            const CNAStatement::CValuesSearch clMeasured(clCount.Get(), clSearch.Get());
            bResult = clCount->bGetNbEnr(pllCount, nMode, 0);
        }
    }
    return bResult;
}

int CNADataAccess::_bGetNbEnrOptimized(long long* pllCount, unsigned int nMode, unsigned int nFlags,
                                       CNAStatement* pclStatement, int eDirection)
{
    if ((nMode & COUNT_MODE) == 0) {
        *pllCount = 0;
        return 1;
    }
    const int bPending = m_bQueryParsePending;
    if (bRequeteSansCorrection() && (m_pclTableCache == nullptr || !_bTableCacheFullCache()))
        return 0;
    // Whatever the cache or the browse did, the pending first browse stays.
    struct CPendingKept {
        int& bFlag;
        int bValue;
        ~CPendingKept() { bFlag = bValue; }
    } clKept{m_bQueryParsePending, bPending};
    if (eDirection != -1)
        return 0;
    int bAllRows = (nFlags & WPF_CONTINUE) == 0 ? 1 : 0;
    const bool bCacheServes =
        m_pclTableCache != nullptr &&
        (_bTableCacheCompleted() ||
         (m_bSourceIsQuery && m_pclConnection != nullptr && !m_pclConnection->bSupportSubQuery()));
    if (pclStatement == nullptr)
        return 0;
    if (bCacheServes && !bFilterChanged(pclStatement)) {
        if (!(pclStatement->bExistFilter() && (nFlags & WPF_CONTINUE) == 0)) {
            *pllCount = _llTableCacheRecordNbrActive();
            return 1;
        }
        bAllRows = 1;
    }
    return pclStatement->bGetNbEnrCurrentParse(pllCount, nFlags, bAllRows) ? 1 : 0;
}

// ---- Automatic identifiers ------------------------------------------------------------------------------------------

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
    return pclCache->nSetRecordState(pclOriginal, NA_RECORDSTATE_DELETED);
}

int CNADataAccess::nUpdateRecordInCache(unsigned int nFlags, CNARecordCache* pclCache)
{
    if (pclCache == nullptr || m_pclCurrentRecord == nullptr)
        return -1;
    return pclCache->nOnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE,
                                        m_pclCurrentRecord->pclGetCurrentRecordValueNoRef(),
                                        m_pclCurrentRecord->pclGetOriginalRecordValueNoRef(), nFlags, 0);
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
    const int bRankBackward = m_pclCurrentRecord->bDuplicateRankBackward();
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
        bResult = _bGotoCurrentRecord_DuplicateProcess(llRank, bRankBackward, &eDirection, &llCount);
    if (bResult) {
        const CNAStatement::CValuesSearch clMeasured(pclStatement, pclSearch);
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
                pclStatement->SetEqualRowsOnly(1);
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

int CNADataAccess::_bGotoCurrentRecord_DuplicateProcess(long long llRank, int bRankBackward, int* peDirection,
                                                        long long* pllCount)
{
    long long llTotal = 0;
    if (!bGetNbEnr(&llTotal, 16, 0, nullptr, CNAStatement::DIRECTION_STAY))
        return 0;
    s_DuplicateMove(s_llRankFromFirst(llRank, bRankBackward, llTotal), llTotal, peDirection, pllCount);
    return 1;
}

long long CNADataAccess::s_llRankFromFirst(long long llRank, int bRankBackward, long long llTotal)
{
    if (!bRankBackward)
        return llRank;
    // Fewer equal rows than counted: the first of them.
    const long long llPlace = llRank < 0 ? 0 : llRank;
    return llPlace < llTotal ? llTotal - 1 - llPlace : 0;
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



// ---- Operations of the layers built later: user error 8 of kind 7 -----------------------------------------------




// ---- Query facts ----------------------------------------------------------------------------------------------------

int CNADataAccess::bHPrepareRequeteCalled() const
{
    return m_bSourceIsQuery && m_pclQueryParserInfo != nullptr && m_pclQueryParserInfo->bHPrepareRequeteCalled();
}

int CNADataAccess::bRequeteAPreparer() const
{
    return m_bSourceIsQuery && (m_eQueryMode & QM_PREPARE) != 0;
}

int CNADataAccess::bRequeteAutoriseModifierFichier() const
{
    return !m_bSourceIsQuery || (m_eQueryMode & QM_MAY_MODIFY) != 0;
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
