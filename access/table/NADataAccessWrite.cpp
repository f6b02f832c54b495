// The data access's writes of the current record: add, modify (write is
// the same) and delete, each one generated statement on the unnamed
// statement; the own record save kept in step; which unique item a
// duplicate refusal came from, which NOT NULL item a refused NULL; and the
// automatic identifier's key and next value.
#include "access/table/NADataAccess.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "access/table/Held.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"

namespace {

// Debug point of a write without a current record (the table not open).
constexpr int PT_WRITE_NO_RECORD = 40;

enum : int {
    QT_UPDATE = 2,
    QT_INSERT = 3,
    QT_DELETE = 4,
};

constexpr eNA_LOCKTYPE LOCK_NONE = static_cast<eNA_LOCKTYPE>(0);
constexpr eNA_LOCKTYPE LOCK_RELEASE = static_cast<eNA_LOCKTYPE>(1);
constexpr eNA_LOCKTYPE LOCK_WRITE = static_cast<eNA_LOCKTYPE>(2);

// Key types of an automatic identifier.
constexpr eNA_ITEMTYPE kIdAuto = static_cast<eNA_ITEMTYPE>(1);
constexpr eNA_ITEMTYPE kIdAuto4 = static_cast<eNA_ITEMTYPE>(28);

// Equality on the record's own value of the item.
constexpr int kFilterOnRecord = 8;

// A statement's kept lock of 1 asks for it to be reset after the write.
void ResetIfReleased(CNAStatement* pclStatement)
{
    if (pclStatement->eGetLockType() == 1)
        pclStatement->ResetStatement();
}

// The UPDATE just built had nothing to send.
bool bNothingToSend(CNAStatement* pclStatement)
{
    CNACommand* pclCommand = pclStatement->pclGetCommandNoRef();
    return pclCommand == nullptr || pclCommand->bIsEmpty();
}

// The UPDATE found no row: the statement engine's user error 13, kind 9.
bool bRowGone(CNAError* pclError)
{
    return pclError != nullptr && pclError->eGetErrorType() == NA_ERRORTYPE_ROWGONE &&
           pclError->dwGetErrorId() == ZTERR_RECORD_NOT_FOUND;
}

// The value can single out rows: defined and not NULL, every component of
// a composite key too. A unique key admits several NULLs, so a NULL value
// cannot be what the server found twice.
bool bValueCanDuplicate(CNAColumn* pclColumn)
{
    if (pclColumn->bIsComposedKey()) {
        CNARefArray<CNAColumn>* ptab = pclColumn->pclGetTabComponent();
        if (ptab == nullptr || ptab->nGetNbElement() == 0)
            return false;
        for (int i = 0; i < ptab->nGetNbElement(); i++)
            if (!bValueCanDuplicate((*ptab)[i]))
                return false;
        return true;
    }
    return pclColumn->bValueDefined() && !pclColumn->bNullOrEquivalent();
}

// The unique item a column stands for: its own, else the database's.
INAItemDescription* piUniqueItemOf(CNAColumn* pclColumn)
{
    INAItemDescription* pi = pclColumn->piGetItem();
    if (pi != nullptr && pi->bUnique())
        return pi;
    CNAItemDescription* pclImported = pclColumn->pclGetImportedItem();
    if (pclImported != nullptr && pclImported->bUnique())
        return pclImported;
    return nullptr;
}

} // namespace

// ---- Add, modify, delete ------------------------------------------------------------------------------------------

int CNADataAccess::bHAjoute(unsigned int nFlags, eNA_LOCKTYPE eLock)
{
    if (m_pclCurrentRecord == nullptr) {
        _RaiseUserError(PT_WRITE_NO_RECORD, ZTERR_NO_CURRENT_RECORD, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    if (!_bCheckAndCorrectKXRecordValues())
        return 0;
    if (!_bHAjoute(nFlags, eLock))
        return 0;
    if (bRequeteSansCorrection())
        return 1;
    if (nFlags & CNAStatement::WPF_RECORD_READ)
        return bSetCurrentRecordRead(0);
    if (!m_pclCurrentRecord->bOriginalSet() && !bSetCurrentRecordRead(0))
        return 0;
    _KeepOwnRecordSave();
    return 1;
}

void CNADataAccess::_KeepOwnRecordSave()
{
    // None (-1) releases nothing.
    nReleaseRecordSave(m_nOwnRecordSave);
    m_nOwnRecordSave = nKeepCurrentRecordSave();
    AddRefRecordSave(m_nOwnRecordSave);
}

int CNADataAccess::_bHAjoute(unsigned int nFlags, eNA_LOCKTYPE eLock)
{
    if (m_pclCurrentRecord != nullptr) {
        const CRefArray<CNAColumn>* ptabMemo = m_pclCurrentRecord->pclGetTabColumnMemo();
        for (int i = 0; i < ptabMemo->nGetNbElement(); i++) {
            CNAColumn* pclMemo = (*ptabMemo)[i];
            if (!pclMemo->bValueIsUnreadYet())
                continue;
            CAny clValue;
            if (!bGetBLOB(static_cast<unsigned int>(i), &clValue))
                pclMemo->bSetValueNULL();
        }
    }
    CHeld<CNAStatement> clStatement(_pclGetQueryStatement());
    if (clStatement.Get() == nullptr)
        return 0;
    int bResult = clStatement.Get()->bSetLockType(eLock) && _bOperation(clStatement.Get(), QT_INSERT, nFlags, nullptr);
    if (bResult)
        bResult = bLockRecord(clStatement.Get(), eLock, 0, nullptr);
    ResetIfReleased(clStatement.Get());
    return bResult;
}

int CNADataAccess::bHEcrit(long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock)
{
    return bHModifie(llRecord, nFlags, eLock);
}

int CNADataAccess::bHModifie(long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock)
{
    if (!_bIsValidRecordNumber(llRecord))
        return 0;
    if (m_pclCurrentRecord == nullptr) {
        _RaiseUserError(PT_WRITE_NO_RECORD, ZTERR_NO_CURRENT_RECORD, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    int bResult = _bCheckAndCorrectKXRecordValues();
    if (bResult && llRecord == 0 && m_nOwnRecordSave != -1)
        bResult = bRestoreOriginalRecordSave(m_nOwnRecordSave);
    if (!bResult)
        return 0;
    CHeld<CNARecordValue> clOriginal(m_pclCurrentRecord->pclGetOriginalRecordValueNoRef()->pclGetClone(-1));
    if (clOriginal.Get() == nullptr)
        return 0;
    clOriginal.Get()->AddRef();
    // One modify: the write is never sent again on its own success.
    bResult = _bHModifie(llRecord, nFlags, eLock, clOriginal.Get());
    if (bResult && (nFlags & CNAStatement::WPF_RECORD_READ) && !bRequeteSansCorrection() &&
        !m_pclCurrentRecord->bOriginalSet())
        bResult = bSetCurrentRecordRead(0);
    return bResult;
}

int CNADataAccess::_bHModifie(long long, unsigned int nFlags, eNA_LOCKTYPE eLock, CNARecordValue* pclOriginal)
{
    CHeld<CNAStatement> clStatement(_pclGetQueryStatement());
    if (clStatement.Get() == nullptr)
        return 0;
    const eNA_LOCKTYPE eUpdateLock = static_cast<int>(eLock) < 2 ? LOCK_WRITE : eLock;
    const int bLocked = bLockRecord(clStatement.Get(), eUpdateLock, 0, nullptr);
    int bResult = bLocked && _bOperation(clStatement.Get(), QT_UPDATE, nFlags, pclOriginal);
    const bool bDeletedHere =
        m_pclCurrentRecord->pclGetCurrentRecordValueNoRef()->nGetState() == NA_RECORDSTATE_DELETED;
    // A record deleted through this data access and not changed since
    // makes an UPDATE with nothing to send: its row is gone all the same.
    const bool bNothingSent = bResult && bDeletedHere && bNothingToSend(clStatement.Get());
    if (bResult && !bNothingSent) {
        // Unless asked to make them the record read, the written values are
        // the data access's own record save: a position noted now comes
        // back to the row as written, whatever the browse read last.
        bResult = bSetCurrentRecordRead(0);
        if (bResult && (nFlags & CNAStatement::WPF_RECORD_READ) == 0)
            _KeepOwnRecordSave();
    } else if (bLocked && bDeletedHere && (bNothingSent || bRowGone(m_pclError))) {
        // The row was deleted through this data access: it is written
        // again with its values. Any other failure is not explained, and
        // nothing more is sent after it.
        bResult = _bOperation(clStatement.Get(), QT_INSERT, nFlags | CNAStatement::WPF_AUTOID_GIVEN, nullptr);
        if (bResult) {
            if (m_pclError != nullptr)
                m_pclError->Reset();
            bResult = bSetCurrentRecordRead(0);
        }
    }
    const int bUnlocked = bUnlockRecord(clStatement.Get(), eLock, 0, nullptr);
    ResetIfReleased(clStatement.Get());
    return bUnlocked && bResult;
}

int CNADataAccess::bHSupprime(long long llRecord, eNA_LOCKTYPE eLock)
{
    if (!_bIsValidRecordNumber(llRecord))
        return 0;
    if (m_pclCurrentRecord == nullptr) {
        _RaiseUserError(PT_WRITE_NO_RECORD, ZTERR_NO_CURRENT_RECORD, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    if (llRecord == 0 && m_nOwnRecordSave != -1 && !bRestoreOriginalRecordSave(m_nOwnRecordSave))
        return 0;
    CHeld<CNAStatement> clStatement(_pclGetQueryStatement());
    if (clStatement.Get() == nullptr)
        return 0;
    eNA_LOCKTYPE eObtained = LOCK_NONE;
    const eNA_LOCKTYPE eDeleteLock = static_cast<int>(eLock) > 1 ? eLock : LOCK_WRITE;
    int bResult = bLockRecord(clStatement.Get(), eDeleteLock, llRecord, &eObtained);
    if (bResult) {
        bResult = _bOperation(clStatement.Get(), QT_DELETE, 0, nullptr);
        bResult = bUnlockRecord(clStatement.Get(), LOCK_RELEASE, 0, nullptr) && bResult;
    }
    clStatement.Get()->ResetStatement();
    if (bResult)
        m_pclCurrentRecord->SetDeleted();
    return bResult;
}

int CNADataAccess::_bCheckAndCorrectKXRecordValues()
{
    if (m_pclCurrentRecord == nullptr)
        return 1;
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
        if (pclColumn->bIsComposedKey())
            continue;
        if (!pclColumn->bCheckAndCorrectKXRecordValues())
            return 0;
    }
    return 1;
}

// ---- The item behind a refusal --------------------------------------------------------------------------------------

int CNADataAccess::_bInitErrorDuplicateItemName(int eType)
{
    INAItemDescription* piItem = piGetDuplicateItem(eType == QT_INSERT);
    if (piItem == nullptr)
        return 0;
    m_pclError->SetErrorType(NA_ERRORTYPE_DUPLICATE);
    m_pclError->SetInfoNames(pszGetLogicalName(), piItem->pszGetName());
    piItem->nExternalRelease();
    return 1;
}

int CNADataAccess::_bInitErrorNeedItemValueItemName(int)
{
    INAItemDescription* piItem = piGetNullItemDesc(0);
    if (piItem == nullptr)
        return 0;
    m_pclError->SetErrorType(NA_ERRORTYPE_NULLREFUSED);
    m_pclError->SetInfoNames(pszGetLogicalName(), piItem->pszGetName());
    piItem->nExternalRelease();
    return 1;
}

// The probes report into an error object of their own: the server's
// refusal stays the one the host reads, and a failed probe only loses the
// item's name.
INAItemDescription* CNADataAccess::piGetDuplicateItem(int bForInsert)
{
    if (m_pclCurrentRecord == nullptr)
        return nullptr;
    CHeld<CNAError> clProbeError(new (std::nothrow) CNAError);
    if (clProbeError.Get() == nullptr)
        return nullptr;
    clProbeError.Get()->AddRef();
    CHeld<CNAStatement> clScratch(_pclAllocStatement(this, clProbeError.Get()));
    if (clScratch.Get() == nullptr)
        return nullptr;
    clScratch.Get()->AddRef();
    for (int i = 0; i < m_pclCurrentRecord->nGetNbColumn(); i++) {
        CNAColumn* pclColumn = m_pclCurrentRecord->pclGetColumnNoRef(i);
        INAItemDescription* piItem = piUniqueItemOf(pclColumn);
        if (piItem == nullptr || (!bForInsert && !pclColumn->bValueModified()) || !bValueCanDuplicate(pclColumn))
            continue;
        if (__bDuplicateItem(piItem, clScratch.Get())) {
            piItem->ExternalAddRef();
            return piItem;
        }
    }
    return nullptr;
}

int CNADataAccess::bIsDuplicateItem(int bForInsert, CNAColumn* pclColumn)
{
    INAItemDescription* piItem = pclColumn != nullptr ? pclColumn->piGetItem() : nullptr;
    if (piItem == nullptr || !piItem->bUnique())
        return 0;
    if (!bForInsert && !pclColumn->bValueModified())
        return 0;
    if (!bValueCanDuplicate(pclColumn))
        return 0;
    CHeld<CNAError> clProbeError(new (std::nothrow) CNAError);
    if (clProbeError.Get() == nullptr)
        return 0;
    clProbeError.Get()->AddRef();
    CHeld<CNAStatement> clScratch(_pclAllocStatement(this, clProbeError.Get()));
    if (clScratch.Get() == nullptr)
        return 0;
    clScratch.Get()->AddRef();
    piItem->ExternalAddRef();
    const int bDuplicate = __bDuplicateItem(piItem, clScratch.Get());
    piItem->nExternalRelease();
    return bDuplicate;
}

int CNADataAccess::__bDuplicateItem(INAItemDescription* piItem, CNAStatement* pclStatement)
{
    CHeld<CNAFilter> clFilter(pclStatement->pclAllocFilter(m_pclError));
    if (clFilter.Get() == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    clFilter.Get()->AddRef();
    if (!clFilter.Get()->bSetFilter(m_pclCurrentRecord, piItem, nullptr, 1, nullptr, 1, nullptr, kFilterOnRecord))
        return 0;
    clFilter.Get()->ActivateFilter(1);
    pclStatement->_SetFilter(clFilter.Get());
    long long llCount = 0;
    const int bCounted = pclStatement->bGetNbEnr(&llCount, 0, 0);
    pclStatement->_SetFilter(static_cast<CNAFilter*>(nullptr));
    return bCounted && llCount > 0;
}

// ---- Automatic identifiers ------------------------------------------------------------------------------------------

INAItemDescription* CNADataAccess::pclGetIdAutoItem()
{
    if (m_piDescription == nullptr)
        return nullptr;
    const unsigned int nKeys = m_piDescription->nGetNumKeys();
    for (unsigned int i = 0; i < nKeys; i++) {
        INAItemDescription* piKey = m_piDescription->piNAGetKey(i);
        if (piKey == nullptr)
            continue;
        const eNA_ITEMTYPE eType = piKey->eNAGetItemType();
        if (eType == kIdAuto || eType == kIdAuto4)
            return piKey;
        piKey->nExternalRelease();
    }
    return nullptr;
}
