// The data access's saved positions: where a browse stands noted under a
// number, the browse brought back to it, the number dropped; the browse's
// place in thousandths of its records and the move to such a place; and
// whether two noted positions stand on the same record.
#include "access/table/NADataAccess.h"

#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "access/table/Held.h"
#include "access/table/NAPosition.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/STR.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"

#include <climits>
#include <new>

namespace {

// Debug points of this file's errors.
enum : int {
    PT_POSITION_NOT_BROWSED = 1,
    PT_POSITION_UNKNOWN = 2,
    PT_POSITION_NO_STATEMENT = 3,
    PT_COMPARE_FIRST = 19,
    PT_COMPARE_SECOND = 20,
};


} // namespace

int CNADataAccess::bHSauvePosition(int* pnPosition, const wchar_t* pszItem, eNAPOSITION eOption)
{
    return _bGetPosition(pnPosition, pszItem, eOption);
}

int CNADataAccess::bHRetourPosition(int nPosition, wchar_t* pszItem, int bKeep, eNAPOSITION eOption)
{
    return _bSetPosition(pszItem, nPosition, bKeep, eOption);
}

int CNADataAccess::bHLiberePosition(int nPosition)
{
    return _bFreePosition(nPosition);
}

int CNADataAccess::_nFreePositionID() const
{
    // Unsigned steps: the counter starts again at 1 rather than overflow,
    // and a number still filed is skipped (the table is finite).
    unsigned int n = static_cast<unsigned int>(ms_nPositionID);
    for (;;) {
        if (n == 0 || n > static_cast<unsigned int>(INT_MAX))
            n = 1;
        if (!m_tabPosition.bGetElement(CHTBKeyWord<int>::pToWord(static_cast<int>(n)), nullptr, nullptr))
            return static_cast<int>(n);
        n++;
    }
}

int CNADataAccess::_bGetPosition(int* pnPosition, const wchar_t* pszItem, eNAPOSITION)
{
    // A failed save leaves the caller's "nothing saved".
    if (pnPosition != nullptr)
        *pnPosition = -1;
    CNAPosition* pclPosition = pclAllocPosition();
    if (pclPosition == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    pclPosition->AddRef();
    CHeld<CNAPosition> clPosition(pclPosition);
    pclPosition->SetItem(pszItem);

    CHeld<CNAStatement> clStatement(_pclFindStatement(pszItem));
    if (!clStatement)
        clStatement.Reset(_pclInitStatement(pszItem));
    if (!clStatement) {
        _RaiseUserError(PT_POSITION_NO_STATEMENT, ZTERR_NO_CURRENT_RECORD, pszItem, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    // The position always keeps its filter: the option is not passed on.
    const int bFilled = clStatement->bGetPosition(pclPosition, 0);
    if (m_nOwnRecordSave != -1)
        pclPosition->SetRecordSaveID_VerrueHAjouteHLit(this, m_nOwnRecordSave);
    if (!bFilled)
        return 0;

    const int nNumber = _nFreePositionID();
    if (!m_tabPosition.bAddValue(nNumber, pclPosition)) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    if (!clStatement->bAddSavedPosition(nNumber, pclPosition)) {
        m_tabPosition.bRemoveValue(nNumber);
        return 0;
    }
    ms_nPositionID = nNumber == INT_MAX ? 1 : nNumber + 1;
    if (pnPosition != nullptr)
        *pnPosition = nNumber;
    return 1;
}

int CNADataAccess::_bSetPosition(wchar_t* pszItem, int nPosition, int bKeep, eNAPOSITION eOption)
{
    CHeld<CNAPosition> clPosition(_pclFindPosition(nPosition));
    if (!clPosition) {
        _RaiseUserError(PT_POSITION_UNKNOWN, ZTERR_POSITION_LOST, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    if (pszItem != nullptr)
        STR_nCopy(pszItem, CNADataAccess::ITEM_BUFFER_SIZE, clPosition->pszGetItem(), -1);

    int bResult = _bRestorePositionStatement(clPosition.Get(), eOption);
    if (bResult) {
        CNARecordValue* pclValue =
            m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() : nullptr;
        if (pclValue != nullptr)
            pclValue->SetState(0);
        if (m_nOwnRecordSave != -1)
            nReleaseRecordSave(m_nOwnRecordSave);
        m_nOwnRecordSave = clPosition->nGetOwnRecordSaveId();
        if (m_nOwnRecordSave != -1) {
            AddRefRecordSave(m_nOwnRecordSave);
            bResult = bRestoreOriginalRecordSave(m_nOwnRecordSave) && bCopyOriginalRecordToCurrentRecord();
        }
    }
    if (bResult && m_nOwnReturns == 0)
        bResult = _bCheckReturnedRecord(clPosition->pclGetStatementNoRef());
    clPosition.Reset(nullptr);
    // Freed whether the return succeeded or not.
    if (!bKeep)
        _bFreePosition(nPosition);
    return bResult;
}

int CNADataAccess::_bRestorePositionStatement(CNAPosition* pclPosition, eNAPOSITION eOption)
{
    CHeld<CNAStatement> clStatement(pclPosition != nullptr ? pclPosition->pclGetStatement() : nullptr);
    if (!clStatement)
        return 0;
    // The last statement is borrowed from the table: only a statement still
    // filed there may become it.
    CHeld<CNAStatement> clFiled(_pclFindStatement(clStatement->pszGetName()));
    if (clFiled.Get() == clStatement.Get())
        m_pclLastStatement = clStatement.Get();
    return clStatement->bSetPosition(pclPosition, static_cast<int>(eOption));
}

int CNADataAccess::_bCheckReturnedRecord(CNAStatement* pclStatement)
{
    // Nothing read, no record to ask after; a query sent as written takes
    // no condition of the driver's.
    if (pclStatement == nullptr || m_pclCurrentRecord == nullptr || !m_pclCurrentRecord->bOriginalSet() ||
        bRequeteSansCorrection())
        return 1;
    // A statement of its own: the browse may be the data access's unnamed
    // one, whose result the question would take.
    CHeld<CNAStatement> clAsk(pclWithReference(_pclAllocStatement(this, m_pclError)));
    if (!clAsk) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    long long llCount = -1;
    if (!clAsk->bCountLatestRead(&llCount))
        return 0;
    if (llCount != 0)
        return 1;
    // The row's save, taken before the caches hear of the row: the browse
    // reads on from its place, not from the row it read last.
    int nSave = pclStatement->nGetRecordSaveID();
    const bool bKnown = nSave != -1 && bRecordDeleted(nSave);
    if (nSave == -1)
        nSave = nKeepOriginalRecordSave(nullptr);
    AddRefRecordSave(nSave);
    // As after a delete made here, once: the caches drop the row, and the
    // browses read on among the rows left.
    if (!bKnown)
        _NotifyOperation(CNAStatement::QT_DELETE, nullptr, 0, nullptr);
    // A browse on no item has no place to be found again by: it reads on
    // in its result, where the row is now marked deleted.
    const wchar_t* pszItem = pclStatement->pszGetParseItem();
    if (pszItem != nullptr && *pszItem != 0)
        pclStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION, nSave);
    nReleaseRecordSave(nSave);
    if (m_nOwnRecordSave != -1) {
        nReleaseRecordSave(m_nOwnRecordSave);
        m_nOwnRecordSave = -1;
    }
    // The row's values are not shown; the original record keeps them, so a
    // write of this record finds nothing.
    m_pclCurrentRecord->bSetNAKXRecord(m_pclCurrentRecord->pclGetPrototypeNoRef());
    // Nor its refused values: a row not found is no read that failed.
    if (m_pclCurrentRecord->pclGetCurrentRecordValueNoRef() != nullptr)
        m_pclCurrentRecord->pclGetCurrentRecordValueNoRef()->SetReadFailure(nullptr);
    const CRefArray<CNAColumn>* ptabMemo = m_pclCurrentRecord->pclGetTabColumnMemo();
    for (int i = 0; i < ptabMemo->nGetNbElement(); i++)
        (*ptabMemo)[i]->bSetValueNULL();
    pclStatement->SetRecordNotFound();
    return 1;
}

// ---- Places in thousandths ------------------------------------------------------------------------------------------

int CNADataAccess::bHPositionCourante(int* pnPosition, const wchar_t* pszItem, eNA_PRECISION ePrecision)
{
    CHeld<CNAStatement> clStatement(_pclFindStatement(pszItem));
    if (clStatement && clStatement->bParseStarted())
        return clStatement->bHPositionCourante(pnPosition, ePrecision);
    if (pnPosition != nullptr)
        *pnPosition = -1;
    _RaiseUserError(PT_POSITION_NOT_BROWSED, ZTERR_NO_CURRENT_RECORD, pszItem, NA_ERRORTYPE_GENERAL);
    return 0;
}

int CNADataAccess::bHPositionne(const wchar_t* pszItem, unsigned int nPosition, eNA_PRECISION ePrecision,
                                unsigned int nFlags)
{
    CHeld<CNAStatement> clStatement(_pclFindStatement(pszItem));
    if (!clStatement)
        return 1;
    return clStatement->bHPositionne(nPosition, ePrecision, nFlags) && bSetCurrentRecordRead(0);
}

// ---- Comparing positions --------------------------------------------------------------------------------------------

int CNADataAccess::bCompareTablePosition(int nPosition1, int nPosition2, int* pbSame)
{
    int bSame = 0;
    if (pbSame == nullptr)
        pbSame = &bSame;
    if (nPosition1 == nPosition2) {
        *pbSame = 1;
        return 1;
    }
    CHeld<CNAPosition> clFirst(_pclFindPosition(nPosition1));
    if (!clFirst) {
        _RaiseUserError(PT_COMPARE_FIRST, ZTERR_POSITION_LOST, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    CHeld<CNAPosition> clSecond(_pclFindPosition(nPosition2));
    if (!clSecond) {
        _RaiseUserError(PT_COMPARE_SECOND, ZTERR_POSITION_LOST, nullptr, NA_ERRORTYPE_GENERAL);
        return 0;
    }
    return _bCompareTablePosition(clFirst.Get(), clSecond.Get(), pbSame);
}

int CNADataAccess::_bCompareTablePosition(CNAPosition* pclPosition1, CNAPosition* pclPosition2, int* pbSame)
{
    *pbSame = 0;
    CNAStatement* pclStatement = pclPosition1->pclGetStatementNoRef();
    if (pclStatement == nullptr || pclStatement != pclPosition2->pclGetStatementNoRef()) {
        _bCheckRecordSaveID(pclPosition1, pclPosition2, pbSame);
        return 1;
    }
    // Undecided stays "not the same".
    if (!_bCheckRowId(pclPosition1, pclPosition2, pbSame) &&
        !_bCheckRecordSaveID(pclPosition1, pclPosition2, pbSame))
        _bCheckReccordId(pclPosition1, pclPosition2, pbSame);
    return 1;
}

int CNADataAccess::_bCheckRowId(CNAPosition* pclPosition1, CNAPosition* pclPosition2, int* pbSame)
{
    const int nRow1 = pclPosition1->nGetRowId();
    const int nRow2 = pclPosition2->nGetRowId();
    if (nRow1 == -1 || nRow2 == -1)
        return 0;
    *pbSame = nRow1 == nRow2 ? 1 : 0;
    return 1;
}

int CNADataAccess::_bCheckRecordSaveID(CNAPosition* pclPosition1, CNAPosition* pclPosition2, int* pbSame)
{
    const auto nSaveOf = [](const CNAPosition* p) {
        return p->nGetOwnRecordSaveId() != -1 ? p->nGetOwnRecordSaveId() : p->nGetRecordSaveId();
    };
    const int nSave1 = nSaveOf(pclPosition1);
    const int nSave2 = nSaveOf(pclPosition2);
    if (nSave1 == -1 || nSave2 == -1)
        return 0;
    if (nSave1 == nSave2) {
        *pbSame = 1;
        return 1;
    }
    CHeldItem clItem(piGetBestParseItemDesc());
    if (!clItem || !clItem->bUnique())
        return 0;
    CAny clValue1;
    CAny clValue2;
    if (!_bGetItemValueInRecordSave(&clValue1, nSave1, clItem.Get()) ||
        !_bGetItemValueInRecordSave(&clValue2, nSave2, clItem.Get()))
        return 0;
    const bool bNull1 = clValue1.bIsNull();
    const bool bNull2 = clValue2.bIsNull();
    if (bNull1 && bNull2)
        return 0;
    if (bNull1 || bNull2) {
        *pbSame = 0;
        return 1;
    }
    // A comparison that failed gives no verdict.
    int bEqual = 0;
    // Statuses from TQSTATUS_NO_MEMORY on are failures.
    if (nEgalite(&clValue1, &clValue2, &bEqual, 0) >= TQSTATUS_NO_MEMORY)
        return 0;
    *pbSame = bEqual != 0 ? 1 : 0;
    return 1;
}

int CNADataAccess::_bGetItemValueInRecordSave(CAny* pValue, int nRecordSaveId, INAItemDescription* piItem)
{
    CNARecordValue* pclValue = new (std::nothrow) CNARecordValue(m_pclError);
    if (pclValue == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    pclValue->AddRef();
    const int bResult = bCopySaveToRecord(nRecordSaveId, pclValue) && pclValue->bGetItemValue(pValue, piItem) ? 1 : 0;
    pclValue->nRelease();
    return bResult;
}
