#include "access/statement/NARecord.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/ColumnNullValueExcluded.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TextCompare.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "common/values/NACnvVariant.h"

#include <algorithm>
#include <new>

namespace {

enum : int {
    POINT_EMPTY_DESCRIPTION = 1,
};

bool _bSameName(const wchar_t* pszA, const wchar_t* pszB)
{
    return STR_nCompareW(pszA, pszB, 3) == 0;
}

bool _bEmpty(const wchar_t* psz)
{
    return psz == nullptr || psz[0] == 0;
}

bool _bHasSourceNames(const INAItemDescription* piItem)
{
    return !_bEmpty(piItem->pszGetNameInSource()) && !_bEmpty(piItem->pszGetSourceName());
}

bool _bIn(const CRefArray<CNAColumn>& tab, const CNAColumn* pclColumn)
{
    for (int i = 0; i < tab.nGetNbElement(); i++)
        if (tab[i] == pclColumn)
            return true;
    return false;
}

void _Release(CNAColumn*& pcl)
{
    if (pcl != nullptr)
        pcl->nRelease();
    pcl = nullptr;
}

bool _bItemUnique(const CNAColumn* pcl)
{
    return pcl->piGetItem() != nullptr && pcl->piGetItem()->bUnique();
}

bool _bItemDuplicates(const CNAColumn* pcl)
{
    return pcl->piGetItem() != nullptr && pcl->piGetItem()->bDuplicates();
}

} // namespace

CNARecord::CNARecord(CNAError* pclError, CNADataAccess* pclDataAccess)
    : m_pclError(pclError),
      m_pclDataAccess(pclDataAccess),
      m_pclConnection(nullptr),
      m_tabColumn(20),
      m_pclColumnIDAuto(nullptr),
      m_pclUniqueKey(nullptr),
      m_pclPrototype(nullptr),
      m_pclOriginalValue(nullptr),
      m_pclCurrentValue(nullptr),
      m_bOriginalSet(0),
      m_tabColumnOrder(10),
      m_tabColumnMemo(1),
      m_tabCompositeKey(1),
      m_llDuplicateRank(0),
      m_bDuplicateRankBackward(0)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNARecord::~CNARecord()
{
    DeleteAllColumn();
    _FreeRecordsBuffer();
    CNADriver::g_ReleaseHeldConnection(m_pclConnection);
    m_pclConnection = nullptr;
    m_tabColumnOrder.SupprimeTout();
    m_tabColumnMemo.SupprimeTout();
    m_tabCompositeKey.SupprimeTout();
    _Release(m_pclColumnIDAuto);
    _Release(m_pclUniqueKey);
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

bool CNARecord::_bNoMemory() const
{
    if (m_pclError != nullptr)
        m_pclError->pclGetXError()->SetErrorNoMemory();
    return false;
}

void CNARecord::_Reset()
{
    DeleteAllColumn();
    m_tabColumnOrder.SupprimeTout();
    m_tabColumnMemo.SupprimeTout();
    m_tabCompositeKey.SupprimeTout();
    _Release(m_pclColumnIDAuto);
    _Release(m_pclUniqueKey);
    _FreeRecordsBuffer();
    m_bOriginalSet = 0;
    CNADriver::g_ReleaseHeldConnection(m_pclConnection);
    m_pclConnection = nullptr;
}

// ---- Building ---------------------------------------------------------------------------------

int CNARecord::bInitRecord(INADataSourceDescription* piHost, CNADataSourceDescription* pclDatabase,
                           CNAConnectionDescription* pclConnection)
{
    try {
        _Reset();
        if (pclConnection != nullptr)
            pclConnection->AddRef();
        m_pclConnection = pclConnection;
        const unsigned int nItems = piHost != nullptr ? piHost->nGetNumItems() : 0;
        if (nItems == 0) {
            const wchar_t* pszName = piHost != nullptr ? piHost->pszGetLogicalName() : pszGetTableName();
            if (m_pclError != nullptr)
                m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_RECORD, POINT_EMPTY_DESCRIPTION,
                                           m_pclConnection, pszName, nullptr, ZTERR_EMPTY_DESCRIPTION,
                                           pszName != nullptr ? pszName : L"");
            return 0;
        }
        if (!_bAllocRecordsBuffer(piHost))
            return 0;
        for (unsigned int i = 0; i < nItems; i++) {
            INAItemDescription* piItem = piHost->piNAGetItem(i);
            if (piItem == nullptr)
                return _bNoMemory();
            CNAItemDescription* pclImported = pclDatabase != nullptr && !piItem->bIsComposedKey()
                                                  ? pclDatabase->pclNAGetItem(piItem->pszGetName(), 3)
                                                  : nullptr;
            const int bAdded = bAddColumn(piItem, pclImported);
            if (pclImported != nullptr)
                pclImported->nExternalRelease();
            if (bAdded) {
                CNAColumn* pclColumn = m_tabColumn[m_tabColumn.nGetNbElement() - 1];
                const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
                if (m_pclColumnIDAuto == nullptr && (eType == NA_IT_IDAUTO || eType == NA_IT_IDAUTO4)) {
                    pclColumn->AddRef();
                    m_pclColumnIDAuto = pclColumn;
                }
                if (m_pclUniqueKey == nullptr && piItem->bUnique()) {
                    pclColumn->AddRef();
                    m_pclUniqueKey = pclColumn;
                }
            }
            piItem->nExternalRelease();
            if (!bAdded)
                return 0;
        }
        _InitCompositeKey();
        _InitOrderBy();
        return 1;
    } catch (const std::bad_alloc&) {
        return _bNoMemory();
    }
}

CNAColumn* CNARecord::_pclAllocColumn(INAItemDescription* piItem)
{
    if (CNADriver::s_pclDriver != nullptr)
        return CNADriver::s_pclDriver->pclAllocColumn(m_pclError, piItem);
    return _pclAllocNASQLColumn(m_pclError, piItem);
}

int CNARecord::bAddColumn(INAItemDescription* piItem, CNAItemDescription* pclImported)
{
    if (piItem == nullptr)
        return 0;
    CNAColumn* pclColumn = _pclAllocColumn(piItem);
    if (pclColumn == nullptr)
        return _bNoMemory();
    // The creation reference, held until the arrays hold theirs.
    pclColumn->AddRef();
    int bResult = 0;
    try {
        m_tabColumn.Ajoute(pclColumn);
        if (pclColumn->bIsMemo())
            m_tabColumnMemo.Ajoute(pclColumn);
        if (pclColumn->bIsComposedKey() && piItem->bUnique())
            m_tabCompositeKey.Ajoute(pclColumn);
        bResult = pclColumn->vbInit(this, pclImported);
    } catch (const std::bad_alloc&) {
        bResult = _bNoMemory();
    }
    pclColumn->nRelease();
    return bResult;
}

void CNARecord::DeleteAllColumn()
{
    m_tabColumn.SupprimeTout();
}

bool CNARecord::_bAllocRecordsBuffer(INADataSourceDescription* piDescription)
{
    // The new buffers are made whole before the former ones go: a failure
    // leaves the record, and the cells bound to its buffer, as they were.
    CNAKXRecord* pclPrototype = new (std::nothrow) CNAKXRecord;
    CNARecordValue* pclOriginal = nullptr;
    CNARecordValue* pclCurrent = nullptr;
    if (pclPrototype != nullptr)
        pclPrototype->AddRef();
    bool bResult = pclPrototype != nullptr && pclPrototype->bInit(piDescription, CNAKXRecord::INIT_DEFAULT);
    if (bResult) {
        pclOriginal = new (std::nothrow) CNARecordValue(m_pclError);
        if (pclOriginal != nullptr)
            pclOriginal->AddRef();
        bResult = pclOriginal != nullptr && pclOriginal->bCopyNAKXRecord(pclPrototype);
    }
    if (bResult && m_pclDataAccess != nullptr) {
        CNARecordId* pclId = m_pclDataAccess->pclAllocRecordID(pclOriginal);
        const int eKind = m_pclDataAccess->eEvaluateRecordIdType();
        if (pclId != nullptr)
            pclOriginal->bShareRecordID(pclId);
        else
            // A kind the data access offers that cannot be made.
            bResult = eKind != CNARecordId::RECORDID_RECORDVALUES && eKind != CNARecordId::RECORDID_ROWID;
    }
    if (bResult) {
        pclCurrent = pclOriginal->pclGetClone(CNARecordValue::COPY_ALL);
        if (pclCurrent != nullptr)
            pclCurrent->AddRef();
        bResult = pclCurrent != nullptr;
    }
    if (!bResult) {
        if (pclCurrent != nullptr)
            pclCurrent->nRelease();
        if (pclOriginal != nullptr)
            pclOriginal->nRelease();
        if (pclPrototype != nullptr)
            pclPrototype->nRelease();
        return _bNoMemory();
    }
    _FreeRecordsBuffer();
    m_pclPrototype = pclPrototype;
    m_pclOriginalValue = pclOriginal;
    m_pclCurrentValue = pclCurrent;
    return true;
}

void CNARecord::_FreeRecordsBuffer()
{
    if (m_pclCurrentValue != nullptr)
        m_pclCurrentValue->nRelease();
    m_pclCurrentValue = nullptr;
    if (m_pclOriginalValue != nullptr)
        m_pclOriginalValue->nRelease();
    m_pclOriginalValue = nullptr;
    if (m_pclPrototype != nullptr)
        m_pclPrototype->nRelease();
    m_pclPrototype = nullptr;
}

void CNARecord::_InitCompositeKey()
{
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++) {
        CNAColumn* pclKey = m_tabColumn[i];
        if (!pclKey->bIsComposedKey() || pclKey->pclGetTabComponent() != nullptr)
            continue;
        INAItemDescription* piKey = pclKey->piGetItem();
        const int nComponents = piKey->nGetNumComponents();
        for (int c = 1; c <= nComponents; c++) {
            INAItemDescription* piComponent = piKey->piGetItemComponent(c);
            if (piComponent == nullptr)
                continue;
            CNAColumn* pclComponent = pclGetColumnNoRef(piComponent);
            piComponent->nExternalRelease();
            if (pclComponent != nullptr && pclComponent != pclKey)
                pclKey->AddCompositeKey(pclComponent);
        }
    }
}

bool CNARecord::_bOrderFull() const
{
    return m_pclConnection != nullptr &&
           m_tabColumnOrder.nGetNbElement() >= m_pclConnection->nGetOrderByMaxExpressionNbr();
}

bool CNARecord::_bIsOrderColumn(const CNAColumn* pclColumn) const
{
    return _bIn(m_tabColumnOrder, pclColumn);
}

void CNARecord::_AddColumnOrder(CNAColumn* pclColumn)
{
    if (pclColumn == nullptr || _bOrderFull())
        return;
    if (!pclColumn->bIsComposedKey()) {
        if (!_bIsOrderColumn(pclColumn))
            m_tabColumnOrder.Ajoute(pclColumn);
        return;
    }
    const CRefArray<CNAColumn>* ptabComponent = pclColumn->pclGetTabComponent();
    if (ptabComponent == nullptr)
        return;
    for (int i = 0; i < m_tabColumnOrder.nGetNbElement(); i++)
        if (pclColumn->bIsComposedKeyComponent(m_tabColumnOrder[i]))
            return;
    // The limit holds inside a key as well.
    for (int i = 0; i < ptabComponent->nGetNbElement() && !_bOrderFull(); i++)
        if (!_bIsOrderColumn((*ptabComponent)[i]))
            m_tabColumnOrder.Ajoute((*ptabComponent)[i]);
}

void CNARecord::_InitOrderBy()
{
    // The ORDER BY of a query's digest comes first; the identity column
    // then replaces it.
    CSQLParserInfo* pclInfo = bSourceIsQuery() ? pclGetSourceQueryNoRef() : nullptr;
    for (IInfoOrderBy* pi = pclInfo != nullptr ? pclInfo->piEnumRubriqueClauseOrder(1) : nullptr; pi != nullptr;
         pi = pclInfo->piEnumRubriqueClauseOrder(0)) {
        IInfoRubrique* piItem = pclInfo->piGetRubriqueOUT(pi->nGetIndiceColonne());
        CNAColumn* pcl = piItem != nullptr ? pclGetColumnNoRef(piItem->pszGetNom()) : nullptr;
        if (pcl != nullptr)
            _AddColumnOrder(pcl);
    }
    if (m_pclColumnIDAuto != nullptr) {
        m_tabColumnOrder.SupprimeTout();
        _AddColumnOrder(m_pclColumnIDAuto);
        return;
    }
    // Unique columns, then unique composite keys: one that the database
    // keeps from NULL orders alone and ends the build; a nullable one joins
    // the order and the pass goes on.
    for (int bComposite = 0; bComposite <= 1; bComposite++) {
        for (int i = 0; i < m_tabColumn.nGetNbElement(); i++) {
            CNAColumn* pcl = m_tabColumn[i];
            if (pcl->bIsComposedKey() != bComposite || !_bItemUnique(pcl))
                continue;
            if (!pcl->bIsNullableOnDataBase()) {
                m_tabColumnOrder.SupprimeTout();
                _AddColumnOrder(pcl);
                return;
            }
            _AddColumnOrder(pcl);
        }
    }
    for (int bComposite = 0; bComposite <= 1; bComposite++)
        for (int i = 0; i < m_tabColumn.nGetNbElement(); i++)
            if (m_tabColumn[i]->bIsComposedKey() == bComposite && _bItemDuplicates(m_tabColumn[i]))
                _AddColumnOrder(m_tabColumn[i]);
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++) {
        CNAColumn* pcl = m_tabColumn[i];
        if (!_bItemUnique(pcl) && !_bItemDuplicates(pcl) && !pcl->bIsMemo())
            _AddColumnOrder(pcl);
    }
}

// ---- Columns ----------------------------------------------------------------------------------

CNAColumn* CNARecord::pclGetColumnNoRef(const wchar_t* pszName) const
{
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++)
        if (_bSameName(m_tabColumn[i]->pszGetName(), pszName))
            return m_tabColumn[i];
    return nullptr;
}

CNAColumn* CNARecord::pclGetColumnNoRef(const INAItemDescription* piItem) const
{
    if (piItem == nullptr)
        return nullptr;
    if (!bSourceIsQuery())
        return m_tabColumn[piItem->nGetPhysicalIndice()];
    // A query: the same column and table of origin, the same name deciding
    // at once; items without origin are matched by name alone.
    const bool bItemSource = _bHasSourceNames(piItem);
    CNAColumn* pclRemembered = nullptr;
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++) {
        CNAColumn* pcl = m_tabColumn[i];
        const INAItemDescription* piColumn = pcl->piGetItem();
        if (piColumn == nullptr)
            continue;
        if (bItemSource && _bHasSourceNames(piColumn)) {
            if (_bSameName(piColumn->pszGetNameInSource(), piItem->pszGetNameInSource()) &&
                _bSameName(piColumn->pszGetSourceName(), piItem->pszGetSourceName())) {
                pclRemembered = pcl;
                if (_bSameName(piColumn->pszGetName(), piItem->pszGetName()))
                    return pcl;
            }
        } else if (_bSameName(piColumn->pszGetName(), piItem->pszGetName())) {
            return pcl;
        }
    }
    return pclRemembered;
}

CNAColumn* CNARecord::pclGetNAColumnIdentityNoRef() const
{
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++)
        if (m_tabColumn[i]->bIsAutoIncrementOnDataBase())
            return m_tabColumn[i];
    return nullptr;
}

bool CNARecord::s_bUniqueNotNull(CNAColumn* pclColumn)
{
    if (pclColumn == nullptr || !pclColumn->bUnique() || !pclColumn->bValueDefined())
        return false;
    const CRefArray<CNAColumn>* ptab = pclColumn->bIsComposedKey() ? pclColumn->pclGetTabComponent() : nullptr;
    for (int i = 0; ptab != nullptr && i < ptab->nGetNbElement(); i++)
        if ((*ptab)[i] == nullptr || !(*ptab)[i]->bValueDefined())
            return false;
    return true;
}

CNAColumn* CNARecord::pclGetUniqueKeyNotNullNoRef() const
{
    if (m_pclUniqueKey != nullptr && s_bUniqueNotNull(m_pclUniqueKey))
        return m_pclUniqueKey;
    CNAColumn* pclFirst = m_tabColumnOrder[0];
    if (s_bUniqueNotNull(pclFirst))
        return pclFirst;
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++)
        if (s_bUniqueNotNull(m_tabColumn[i]))
            return m_tabColumn[i];
    return nullptr;
}

bool CNARecord::bComposedKeyUniqueNotNullAdded(CNAColumn* const* ppclColumns, int nCount,
                                               const CColumnNullValueExcluded* pclExclusions) const
{
    if (ppclColumns == nullptr || nCount < 2)
        return false;
    CNAColumn* const* ppclEnd = ppclColumns + nCount;
    CNAColumn* pclLast = ppclEnd[-1];
    auto bGiven = [&](const CNAColumn* pcl) { return std::find(ppclColumns, ppclEnd, pcl) != ppclEnd; };
    for (int k = 0; k < m_tabCompositeKey.nGetNbElement(); k++) {
        CNAColumn* pclKey = m_tabCompositeKey[k];
        const CRefArray<CNAColumn>* ptab = pclKey->pclGetTabComponent();
        if (ptab == nullptr || ptab->nGetNbElement() > nCount || !pclKey->bIsComposedKeyComponent(pclLast))
            continue;
        bool bComplete = true;
        bool bOneNotNull = false;
        for (int c = 0; c < ptab->nGetNbElement() && bComplete; c++) {
            CNAColumn* pclComponent = (*ptab)[c];
            bComplete = bGiven(pclComponent);
            // A component kept from NULL: by the condition's exclusions when
            // given, else by its value.
            if (bComplete && (pclExclusions != nullptr ? !pclExclusions->bColumnValuesNullSelected(pclComponent)
                                                       : pclComponent->bValueDefined() != 0))
                bOneNotNull = true;
        }
        if (bComplete && (!pclKey->bIsNullableOnDataBase() || bOneNotNull))
            return true;
    }
    return false;
}

bool CNARecord::_AddAllItem(CRefArray<CNAColumn>* ptabColumn) const
{
    if (ptabColumn == nullptr)
        return false;
    const CNAColumn* pclKey = pclGetUniqueKeyNotNullNoRef();
    int nLast = m_tabColumnOrder.nGetNbElement() - 1;
    for (int i = 0; i <= nLast; i++)
        if (m_tabColumnOrder[i] == pclKey)
            nLast = i;
    try {
        for (int i = 0; i <= nLast; i++)
            if (!_bIn(*ptabColumn, m_tabColumnOrder[i]))
                ptabColumn->Ajoute(m_tabColumnOrder[i]);
    } catch (const std::bad_alloc&) {
        return _bNoMemory();
    }
    return true;
}

// ---- Source -----------------------------------------------------------------------------------

int CNARecord::bSourceIsQuery() const
{
    return m_pclDataAccess != nullptr && m_pclDataAccess->bSourceIsQuery();
}

CSQLParserInfo* CNARecord::pclGetSourceQueryNoRef() const
{
    return m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetQueryParserInfoNoRef() : nullptr;
}

const wchar_t* CNARecord::pszGetTableName() const
{
    return m_pclDataAccess != nullptr ? m_pclDataAccess->pszGetLogicalName() : L"";
}

// ---- Record values ----------------------------------------------------------------------------

CNAKXRecord* CNARecord::pclGetNAKXRecord() const
{
    return m_pclCurrentValue != nullptr ? m_pclCurrentValue->pclGetNAKXRecord() : nullptr;
}

CNAKXRecord* CNARecord::pclGetOriginalNAKXRecord() const
{
    return m_pclOriginalValue != nullptr ? m_pclOriginalValue->pclGetNAKXRecord() : nullptr;
}

bool CNARecord::bSetNAKXRecord(const CNAKXRecord* pclBuffer)
{
    if (m_pclCurrentValue == nullptr || !m_pclCurrentValue->bCopyNAKXRecord(pclBuffer))
        return false;
    OnNAKXRecordChanged();
    return true;
}

bool CNARecord::bCopyToCurrentRecord(const CNARecordValue* pclValue)
{
    return m_pclCurrentValue != nullptr && m_pclCurrentValue->bCopyRecordValue(pclValue, CNARecordValue::COPY_ALL);
}

bool CNARecord::bCopyOriginalRecordToCurrentRecord()
{
    return bCopyToCurrentRecord(m_pclOriginalValue);
}

bool CNARecord::bCopyCurrentRecordToOriginalRecord()
{
    m_bOriginalSet = 1;
    return m_pclOriginalValue != nullptr &&
           m_pclOriginalValue->bCopyRecordValue(m_pclCurrentValue, CNARecordValue::COPY_ALL);
}

bool CNARecord::bEquals(const CNARecordValue* pclValue, int bWithMemos) const
{
    return m_pclCurrentValue != nullptr && m_pclCurrentValue->bEquals(pclValue, bWithMemos);
}

void CNARecord::SetDeleted()
{
    if (m_pclCurrentValue != nullptr)
        m_pclCurrentValue->SetState(CNARecordValue::STATE_DELETED);
}

bool CNARecord::bShareCurrentRecordMemoValue(const CNAColumn* pclColumn, CNAConvertVariant* pclCell)
{
    for (int i = 0; i < m_tabColumnMemo.nGetNbElement(); i++) {
        if (m_tabColumnMemo[i] == pclColumn)
            return m_pclCurrentValue != nullptr && m_pclCurrentValue->bShareMemoValue(i, pclCell);
    }
    return true;
}

bool CNARecord::bUpdateChangedTypeInCurrentRecord(INADataSourceDescription* piDescription)
{
    if (!_bAllocRecordsBuffer(piDescription))
        return false;
    // A column whose type changed may have become a memo.
    m_tabColumnMemo.SupprimeTout();
    try {
        for (int i = 0; i < m_tabColumn.nGetNbElement(); i++)
            if (m_tabColumn[i]->bIsMemo())
                m_tabColumnMemo.Ajoute(m_tabColumn[i]);
    } catch (const std::bad_alloc&) {
        return _bNoMemory();
    }
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++)
        if (!m_tabColumn[i]->bUpdateChangedTypeInCurrentRecord(piDescription))
            return false;
    return true;
}

void CNARecord::OnNAKXRecordChanged()
{
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++) {
        CNAColumn* pcl = m_tabColumn[i];
        CNAConvertVariant* pclCell = pcl->bIsMemo() || pcl->bIsComposedKey() ? nullptr : pcl->pclGetNAValue();
        if (pclCell != nullptr)
            pclCell->pclGetValue()->SetNullFlag(!pcl->bValueDefined());
    }
}

void CNARecord::CurrentRecordToString(CTString* pclText) const
{
    if (pclText == nullptr)
        return;
    static const wchar_t s_szPrefix[] = L"<Record ID> : ";
    const CNARecordId* pclId = m_pclCurrentValue != nullptr ? m_pclCurrentValue->pclGetRecordIdNoRef() : nullptr;
    if (pclId != nullptr) {
        CXYString<wchar_t> clId;
        pclId->RecordIdToString(&clId, s_szPrefix, 0);
        pclText->Add(clId);
    } else {
        pclText->Add(s_szPrefix, L"NULL", L"");
    }
    pclText->Add(L"<NullValuesFlags (0=NULL)> :");
    const CNAKXRecord* pclKX = pclGetNAKXRecord();
    const unsigned int nFlags = pclKX != nullptr ? pclKX->nGetFlagFieldSize() : 0;
    for (unsigned int i = 0; i < nFlags; i++) {
        const unsigned int by = pclKX->pbyGetNullValuesFlags()[i];
        pclText->Add(L' ');
        for (unsigned int nMask = 0x80; nMask != 0; nMask >>= 1)
            pclText->Add((by & nMask) != 0 ? L'1' : L'0');
    }
    for (int i = 0; i < m_tabColumn.nGetNbElement() && !m_tabColumn[i]->bIsComposedKey(); i++) {
        pclText->Add(L'\n');
        m_tabColumn[i]->bCurrentValueToString(pclText, 1);
    }
}
