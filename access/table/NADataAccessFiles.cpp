// The data access's operations on the table as a whole: open, create,
// create when missing, drop, delete every record, whether it exists and
// matches; the indexes made with a new table; and the runner of one write
// statement (INSERT, UPDATE, DELETE, delete-all, CREATE and DROP TABLE)
// that tells the caches and the other statements of the data access.
#include "access/table/NADataAccess.h"

#include "access/driver/NaDriver.h"
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAContext.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/sql/ColumnList.h"
#include "access/sql/NACommand.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "access/statement/NATableCache.h"
#include "access/table/Held.h"
#include "common/platform/MyModuleInfo.h"

#include <ctime>
#include <cwchar>

namespace {

// Debug points of this file's own errors.
enum : int {
    PT_DESCRIPTION_UNREADABLE = 12,
    PT_WITHOUT_CORRECTION = 16,
};

// Statement kinds run here.
enum : int {
    QT_SELECT = 1,
    QT_UPDATE = 2,
    QT_INSERT = 3,
    QT_DELETE = 4,
    QT_DELETE_ALL = 5,
    QT_CREATE_TABLE = 6,
    QT_DROP_TABLE = 9,
};

// Index options: an index for unique items, for items with duplicates and
// composite keys.
enum : int {
    IDX_UNIQUE = 0x1,
    IDX_DUPLICATES = 0x2,
};

// Notification options: nobody is told; the statements are told even
// without a table cache.
enum : int {
    NOTIFY_NONE = 0x2,
    NOTIFY_STATEMENTS = 0x1,
};

// The server's answer to a DROP of a table that does not exist.
constexpr unsigned int kUnknownTable = 1051;

// Generated index names: the process's counter, read and raised under the
// driver mutex the table object holds.
int s_nIndexCounter = 0;

} // namespace

// ---- Opening, creating, dropping ------------------------------------------------------------------

void CNADataAccess::_SetAliasNameFromContext()
{
    const wchar_t* pszName = m_pclContext != nullptr ? m_pclContext->pszGetNextLogicalName() : nullptr;
    if (pszName == nullptr || pszName[0] == 0)
        pszName = pszGetLogicalName();
    m_csAliasName = pszName;
}

int CNADataAccess::bHOuvre(eNA_ACCESS, const wchar_t*)
{
    _SetAliasNameFromContext();
    if (m_bOpened)
        return 1;
    if (bCheckCompatibilityWithDatabase() && _bInitCurrentRecord()) {
        m_bOpened = 1;
        return 1;
    }
    if (m_pclError != nullptr)
        m_pclError->SetErrorLevel(NA_ERRORLEVEL_2);
    return 0;
}

int CNADataAccess::bHCreation(const wchar_t*, int bDropFirst)
{
    _SetAliasNameFromContext();
    if (_bHCreation(bDropFirst, 1) && _bInitCurrentRecord()) {
        m_bOpened = 1;
        return 1;
    }
    if (m_pclError != nullptr)
        m_pclError->SetErrorLevel(NA_ERRORLEVEL_2);
    return 0;
}

int CNADataAccess::bHCreationSiInexistant(eNA_ACCESS eAccess, const wchar_t* pszPassword)
{
    _SetAliasNameFromContext();
    int bExists = 0;
    int bCompatible = 0;
    if (bFichierExiste(&bExists, &bCompatible)) {
        m_bCompatible = bExists && bCompatible ? 1 : 0;
        if (bExists) {
            if (bHOuvre(eAccess, pszPassword))
                return 1;
            if (m_pclError != nullptr)
                m_pclError->SetErrorLevel(NA_ERRORLEVEL_2);
            return 0;
        }
    } else {
        m_bCompatible = 0;
    }
    if (m_pclError != nullptr)
        m_pclError->Reset();
    if (bHCreation(pszPassword, 0))
        return 1;
    if (m_pclError != nullptr)
        m_pclError->SetErrorLevel(NA_ERRORLEVEL_2);
    return 0;
}

int CNADataAccess::bSupprimeFichier()
{
    _SetAliasNameFromContext();
    if (_bHCreation(1, 0)) {
        m_bOpened = 0;
        return 1;
    }
    if (m_pclError != nullptr)
        m_pclError->SetErrorLevel(NA_ERRORLEVEL_2);
    return 0;
}

int CNADataAccess::bSupprimeTout()
{
    _SetAliasNameFromContext();
    if (_bSupprimeTout()) {
        m_bOpened = 0;
        return 1;
    }
    if (m_pclError != nullptr)
        m_pclError->SetErrorLevel(NA_ERRORLEVEL_2);
    return 0;
}

int CNADataAccess::_bHCreation(int bDrop, int bCreate)
{
    _Close();
    if (m_pclConnection == nullptr || !m_pclConnection->bOpen(m_pclError))
        return 0;
    if (!_bInitCurrentRecord())
        return 0;
    CHeld<CNAStatement> clStatement(_pclGetQueryStatement());
    if (clStatement.Get() == nullptr)
        return 0;
    int bResult = 1;
    if (bDrop && !_bOperation(clStatement.Get(), QT_DROP_TABLE, 0, nullptr)) {
        if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_KIND1)
            bResult = 0;
        // A table that was not there is dropped, and nothing is left to
        // report; any other refusal of a drop alone is a failure. Before a
        // creation it is passed over.
        else if (!bCreate && (m_pclError == nullptr || m_pclError->dwGetDataBaseErrorCode() != kUnknownTable))
            bResult = 0;
        else if (!bCreate)
            m_pclError->Reset();
    }
    if (bResult && bCreate) {
        if (_bOperation(clStatement.Get(), QT_CREATE_TABLE, 0, nullptr)) {
            if (m_pclError != nullptr)
                m_pclError->Reset();
            _bCreateIndex(clStatement.Get(), m_nIndexOptions);
            bResult = bCheckCompatibilityWithDatabase();
        } else {
            bResult = 0;
        }
    }
    clStatement.Get()->ResetStatement();
    return bResult;
}

int CNADataAccess::_bSupprimeTout()
{
    _Close();
    if (m_pclConnection == nullptr || !m_pclConnection->bOpen(m_pclError))
        return 0;
    if (m_bSourceIsQuery)
        return _bSupprimeTout_HSupprime();
    if (!_bInitCurrentRecord())
        return 0;
    CHeld<CNAStatement> clStatement(_pclGetQueryStatement());
    if (clStatement.Get() == nullptr)
        return 0;
    const int bResult = _bOperation(clStatement.Get(), QT_DELETE_ALL, 0, nullptr);
    clStatement.Get()->ResetStatement();
    return bResult;
}

int CNADataAccess::_bSupprimeTout_HSupprime()
{
    // A copy: the browse may drop what the description lent.
    const CTString csItem(pszGetBestParseItemName());
    const wchar_t* pszItem = csItem.pszGet();
    eNA_LOCKTYPE eLockOut = static_cast<eNA_LOCKTYPE>(0);
    int bOut = 0;
    int bResult = bHLitxxx(pszItem, NA_PARSE_FIRST, 1, static_cast<eNA_LOCKTYPE>(1), &eLockOut, 0);
    // An empty result has no record to delete.
    if (bResult)
        bResult = bHEndehors(pszItem, &bOut);
    while (bResult && !bOut) {
        bResult = bHSupprime(0, static_cast<eNA_LOCKTYPE>(1));
        if (!bResult)
            break;
        bResult = bHLitxxx(pszItem, NA_PARSE_NEXT, 1, static_cast<eNA_LOCKTYPE>(1), &eLockOut, 0);
        if (bResult)
            bResult = bHEndehors(pszItem, &bOut);
    }
    return bResult;
}

// ---- Indexes ------------------------------------------------------------------------------------------

int CNADataAccess::_bCreateIndex(CNAStatement* pclStatement, int nOptions)
{
    CHeld<CNACommand> clCommand(pclWithReference(pclAllocCommand(m_pclError)));
    if (clCommand.Get() == nullptr || m_pclCurrentRecord == nullptr)
        return 0;
    int bResult = 1;
    CColumnList clList;
    const int nColumns = m_pclCurrentRecord->nGetNbColumn();
    for (int i = 0; i < nColumns; i++) {
        CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
        INAItemDescription* piItem = pclColumn != nullptr ? pclColumn->piGetItem() : nullptr;
        if (piItem == nullptr)
            continue;
        clList.Empty();
        if (piItem->bIsComposedKey()) {
            if (!(nOptions & IDX_DUPLICATES))
                continue;
            const CNARefArray<CNAColumn>* ptabComponent = pclColumn->pclGetTabComponent();
            const int nComponents = ptabComponent != nullptr ? ptabComponent->nGetNbElement() : 0;
            for (int j = 0; j < nComponents; j++)
                clList.AddColumn((*ptabComponent)[j]->pszGetFormatedName());
        } else if ((piItem->bDuplicates() && (nOptions & IDX_DUPLICATES)) ||
                   (piItem->bUnique() && (nOptions & IDX_UNIQUE))) {
            clList.AddColumn(pclColumn->pszGetFormatedName());
        } else {
            continue;
        }
        CTString csName;
        if (!_bGetUniqueIndexName(pclColumn, &csName))
            bResult = 0;
        CNACommand* pcl = clCommand.Get();
        pcl->ResetCommand(0);
        pcl->bComplete(L"CREATE ", static_cast<unsigned int>(-1));
        if (piItem->bUnique())
            pcl->bComplete(L"UNIQUE", static_cast<unsigned int>(-1));
        pcl->bComplete(L" INDEX ", static_cast<unsigned int>(-1));
        pcl->bComplete(csName.pszGet(), static_cast<unsigned int>(-1));
        pcl->bComplete(L" ON ", static_cast<unsigned int>(-1));
        pcl->bComplete(pszGetFormatedTableName(), static_cast<unsigned int>(-1));
        pcl->bComplete(L" ( ", static_cast<unsigned int>(-1));
        pcl->bComplete(clList.pszGet(), static_cast<unsigned int>(-1));
        pcl->bComplete(L" ) ", static_cast<unsigned int>(-1));
        pcl->SetQueryType(QT_CREATE_TABLE);
        if (!pclStatement->bExecuteDirectNewCommand(pcl, 0, 0))
            bResult = 0;
    }
    return bResult;
}

int CNADataAccess::_bGetUniqueIndexName(CNAColumn* pclColumn, CTString* pclName)
{
    INAItemDescription* piItem = pclColumn->piGetItem();
    if (piItem == nullptr || !piItem->bIsComposedKey())
        return _bGetGeneratedIndexName(pclColumn, pclName);
    if (m_pclConnection != nullptr && m_pclConnection->bIndexNamesCommonOnDatabase()) {
        CTString csName(pszGetDBTableName());
        csName.Add(L"_");
        csName.Add(pclColumn->pszGetName());
        return m_pclConnection->bFormatItemName(m_pclError, csName.pszGet(), pclName);
    }
    pclName->Set(pclColumn->pszGetFormatedName());
    return 1;
}

int CNADataAccess::_bGetGeneratedIndexName(CNAColumn*, CTString* pclName)
{
    // The seconds as the unsigned 32 bits the name has always carried.
    const unsigned int nSeconds = static_cast<unsigned int>(std::time(nullptr));
    wchar_t szName[40];
    std::swprintf(szName, sizeof szName / sizeof szName[0], L"ZTIDX%u%d", nSeconds, s_nIndexCounter++);
    pclName->Set(szName);
    return 1;
}

// ---- Existence and the database's description --------------------------------------------------

int CNADataAccess::bFichierExiste(int* pbExists, int* pbCompatible)
{
    CNADataSourceDescription* pclDatabase = pclGetDataSourceDescriptionFromDB(pszGetDBTableName(), 1);
    if (pclDatabase == nullptr) {
        if (pbExists != nullptr)
            *pbExists = 0;
        if (pbCompatible != nullptr)
            *pbCompatible = 0;
        if (m_pclError == nullptr)
            return 0;
        if (m_pclError->eGetErrorLevel() == NA_ERRORLEVEL_NOERROR)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DATAACCESS, PT_DESCRIPTION_UNREADABLE,
                                       m_pclConnection, pszGetLogicalName(), nullptr, ZTERR_DESCRIPTION_UNREADABLE,
                                       pszGetLogicalName(), L"");
        else
            m_pclError->AddUserMessageFirst(ZTMSG_DESCRIPTION_UNREADABLE, pszGetLogicalName(), L"");
        return 0;
    }
    _SetImportedDataSourceDesc(pclDatabase);
    if (pbExists != nullptr)
        *pbExists = 1;
    if (pbCompatible != nullptr)
        *pbCompatible = pclDatabase->bAreDescriptionCompatible(m_piDescription);
    pclDatabase->nRelease();
    return 1;
}

CNADataSourceDescription* CNADataAccess::pclGetDataSourceDescriptionFromDB(const wchar_t* pszName, int n)
{
    if (m_pclConnection == nullptr || !m_pclConnection->bOpen(m_pclError))
        return nullptr;
    CNADataSourceDescription* pcl = _pclAllocDataSource(m_pclConnection, m_pclError);
    if (pcl == nullptr)
        return nullptr;
    pcl->AddRef();
    if (pcl->bInitDataSourceDescriptionFromDB(pszName, n))
        return pcl;
    pcl->nRelease();
    return nullptr;
}

// ---- The statement runner -------------------------------------------------------------------------

int CNADataAccess::_bOperation(CNAStatement* pclStatement, int eType, unsigned int nFlags,
                               CNARecordValue* pclOriginal)
{
    if (bRequeteSansCorrection() && (eType == QT_UPDATE || eType == QT_INSERT || eType == QT_DELETE)) {
        _RaiseUserError(PT_WITHOUT_CORRECTION, ZTERR_WITHOUT_CORRECTION, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    const int bResult = _bBuildAndExecuteQuery(pclStatement, eType, nFlags);
    if (bResult && eType != QT_SELECT) {
        // The row added is alive, even when the record it was typed over
        // is one just deleted: the caches count it.
        if (eType == QT_INSERT && m_pclCurrentRecord != nullptr &&
            m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() != nullptr)
            m_pclCurrentRecord->pclGetCurrentRecordValueNoRef()->SetState(NA_RECORDSTATE_NORMAL);
        _NotifyOperation(eType, pclStatement, nFlags, pclOriginal);
        // The caches of the other data accesses cannot take this write.
        if (CNADriver::s_pclDriver != nullptr)
            CNADriver::s_pclDriver->ReloadTableCachesAfterWrite(this);
    }
    return bResult;
}

int CNADataAccess::_bBuildAndExecuteQuery(CNAStatement* pclStatement, int eType, unsigned int nFlags)
{
    pclStatement->ResetQuery();
    CHeld<CNACommand> clCommand(pclWithReference(pclAllocCommand(m_pclError)));
    if (clCommand.Get() == nullptr)
        return 0;
    if (!pclStatement->bBuildQuery(eType, clCommand.Get(), nFlags))
        return 0;
    if (!pclStatement->bExecute(nFlags, 1))
        return _bProcessError(clCommand.Get(), pclStatement, eType, nFlags);
    if (eType == QT_UPDATE || eType == QT_INSERT)
        return _bUpdateRecordAfterInsert(pclStatement, eType, nFlags);
    return 1;
}

int CNADataAccess::_bUpdateRecordAfterInsert(CNAStatement* pclStatement, int eType, unsigned int nFlags)
{
    // The caches take the row as written.
    if (!pclStatement->bForgetWrittenRefusals(eType, nFlags))
        return 0;
    if (eType == QT_UPDATE)
        return pclStatement->bUpdateRecordAfterUpdate(QT_UPDATE, nFlags);
    return pclStatement->bUpdateRecordAfterInsert(eType, nFlags);
}

int CNADataAccess::_bProcessError(CNACommand* pclCommand, CNAStatement* pclStatement, int eType, unsigned int)
{
    const eNA_ERRORTYPE eKind = eGetNAErrorType();
    switch (eKind) {
    case NA_ERRORTYPE_GENERAL:
        return eType == QT_CREATE_TABLE ? _bRetryCreateWithLargeTexts(pclCommand, pclStatement) : 0;
    case NA_ERRORTYPE_KIND1:
    case NA_ERRORTYPE_LOCKTIMEOUT:
    case NA_ERRORTYPE_KIND4:
    case NA_ERRORTYPE_NOTOFFERED:
        if (m_pclError != nullptr)
            m_pclError->SetErrorType(eKind);
        return 0;
    case NA_ERRORTYPE_DUPLICATE:
        if (m_pclError != nullptr && !_bInitErrorDuplicateItemName(eType))
            m_pclError->SetErrorType(eKind);
        return 0;
    case NA_ERRORTYPE_NULLREFUSED:
        if (m_pclError != nullptr && !_bInitErrorNeedItemValueItemName(eType))
            m_pclError->SetErrorType(eKind);
        return 0;
    default:
        return 0;
    }
}

int CNADataAccess::_bRetryCreateWithLargeTexts(CNACommand* pclCommand, CNAStatement* pclStatement)
{
    CNAConnectionDescription* pclConnection = m_pclConnection;
    if (pclConnection == nullptr || pclCommand == nullptr)
        return 0;
    const int nVarCharMax = pclConnection->nGetVarCharMaxLen();
    const int nNVarCharMax = pclConnection->nGetNVarCharMaxLen();
    if (nVarCharMax == -1 && nNVarCharMax == -1)
        return 0;
    CTString csCorrected;
    bool bCorrected = false;
    if (nVarCharMax != -1) {
        const wchar_t* pszText = pclCommand->pszGetFormatedSQL(static_cast<CNACommand::ePARAMTYPECONV>(-1));
        if (pszText != nullptr)
            bCorrected = CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&csCorrected, pszText,
                                                                          pclConnection->pszGetVarCharType(),
                                                                          nVarCharMax, pclConnection->pszGetCLOBType());
    }
    if (nNVarCharMax != -1) {
        const CTString csSource(bCorrected ? csCorrected.pszGet()
                                           : pclCommand->pszGetFormatedSQL(static_cast<CNACommand::ePARAMTYPECONV>(-1)));
        CTString csWide;
        if (csSource.pszGet() != nullptr &&
            CNAStatement::bQueryCREATE_AutoCorrectVarcharMax(&csWide, csSource.pszGet(),
                                                             pclConnection->pszGetNVarCharType(), nNVarCharMax,
                                                             pclConnection->pszGetNCLOBType())) {
            csCorrected = csWide;
            bCorrected = true;
        }
    }
    if (!bCorrected)
        return 0;
    CHeld<CNACommand> clRetry(pclWithReference(pclAllocCommand(m_pclError)));
    if (clRetry.Get() == nullptr)
        return 0;
    if (!clRetry.Get()->bComplete(csCorrected.pszGet(), csCorrected.nTaille()))
        return 0;
    clRetry.Get()->SetStatementKind(QT_CREATE_TABLE);
    if (!pclStatement->bExecuteDirectNewCommand(clRetry.Get(), 0, 1))
        return 0;
    if (m_pclError != nullptr)
        m_pclError->Reset();
    return 1;
}

void CNADataAccess::NotifyOperation(int eType, CNAStatement* pclStatement, unsigned int nFlags)
{
    _NotifyOperation(eType, pclStatement, nFlags, nullptr);
}

void CNADataAccess::_NotifyOperation(int eType, CNAStatement* pclStatement, unsigned int nFlags,
                                     CNARecordValue* pclOriginal)
{
    if (m_nNotifyOptions & NOTIFY_NONE)
        return;
    const bool bTellStatements = bHasTableCache() || (m_nNotifyOptions & NOTIFY_STATEMENTS);
    // Only a cache that already holds the whole table takes the write:
    // reading the browse to its end now would meet the written row twice.
    CNARecordCache* pclFull = m_pclTableCache != nullptr && m_pclTableCache->bCacheCompleted()
                                  ? m_pclTableCache->pclGetFullCache()
                                  : nullptr;
    const bool bComplete = pclFull != nullptr;
    int nRow = -1;
    switch (eType) {
    case QT_INSERT:
        if (bComplete && m_pclCurrentRecord != nullptr)
            nRow = pclFull->nAjoute(m_pclCurrentRecord->pclGetCurrentRecordValueNoRef());
        break;
    case QT_DELETE:
        nSetRecordDeletedInCache(m_pclRecordSaveCache);
        if (bComplete)
            nRow = nSetRecordDeletedInCache(pclFull);
        break;
    case QT_UPDATE:
        nUpdateRecordInCache(nFlags, m_pclRecordSaveCache);
        _vUpdateRecordInCacheLock(nFlags);
        if (bComplete)
            nRow = nUpdateRecordInCache(nFlags, pclFull);
        break;
    default:
        break;
    }
    if (!bTellStatements)
        return;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabStatement.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CHeld<CNAStatement> clHeld(static_cast<CNAStatement*>(pValue));
        clHeld.Get()->AddRef();
        try {
            clHeld.Get()->OnNotifyOperation(eType, nRow, pclStatement, nFlags, pclOriginal);
        } catch (...) {
            m_tabStatement.StopParsing();
            throw;
        }
    }
}
