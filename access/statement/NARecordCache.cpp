#include "access/statement/NARecordCache.h"

#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordMemo.h"
#include "access/statement/NARecordValue.h"
#include "common/platform/XError.h"
#include "common/text/SysUtils.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

const unsigned int kLengthWord = 4;
const unsigned int kBlocksBeforeDoubling = 5;

void* RowValue(int nRow) { return reinterpret_cast<void*>(static_cast<intptr_t>(nRow)); }
int nRowOf(void* p) { return static_cast<int>(reinterpret_cast<intptr_t>(p)); }

}  // namespace

// ---- Packed tables ---------------------------------------------------------------------

template <class T>
const typename CTSimpleTable<T>::stENTRY CTSimpleTable<T>::s_stNoBytes = {CTSimpleTable<T>::NO_OFFSET, nullptr};

template <class T>
CTSimpleTable<T>::CTSimpleTable()
    : m_tabEntry(500), m_tabBuffer(10), m_pclCurrent(nullptr), m_nEntriesPerBlock(500), m_nBlockCap(0x200000)
{
}

template <class T>
CTSimpleTable<T>::~CTSimpleTable()
{
    RemoveAll();
}

template <class T>
void CTSimpleTable<T>::SetLength(unsigned char* pbyStored, unsigned int nLength)
{
    std::memcpy(pbyStored - kLengthWord, &nLength, kLengthWord);
}

template <class T>
unsigned char* CTSimpleTable<T>::pbyBytesOf(const stENTRY& st)
{
    return st.pclBuffer != nullptr && st.nOffset != NO_OFFSET ? st.pclBuffer->pbyData + st.nOffset + kLengthWord
                                                              : nullptr;
}

template <class T>
unsigned char* CTSimpleTable<T>::pbyGetAt(int i, unsigned int* pnLength) const
{
    const stENTRY* pst = pstGetEntry(i);
    unsigned char* pby = pst != nullptr ? pbyBytesOf(*pst) : nullptr;
    if (pby != nullptr && pnLength != nullptr)
        std::memcpy(pnLength, pby - kLengthWord, kLengthWord);
    return pby;
}

template <class T>
unsigned char* CTSimpleTable<T>::pbyRoomAt(int i, unsigned int nLength) const
{
    unsigned int nStored = 0;
    unsigned char* pby = pbyGetAt(i, &nStored);
    return pby != nullptr && nStored >= nLength ? pby : nullptr;
}

template <class T>
bool CTSimpleTable<T>::bReserve(int nMore)
{
    try {
        m_tabEntry.AgranditMemoire(nMore);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

template <class T>
unsigned char* CTSimpleTable<T>::pbyPlace(unsigned int nLength, stENTRY* pstEntry)
{
    if (nLength > UINT_MAX - kLengthWord)
        return nullptr;
    const unsigned int nNeed = nLength + kLengthWord;
    if (m_pclCurrent == nullptr || nNeed > m_pclCurrent->nCapacity - m_pclCurrent->nUsed) {
        // A new block; its sizes are kept only once it is had.
        unsigned int nPerBlock = m_nEntriesPerBlock;
        unsigned int nCap = m_nBlockCap;
        if (static_cast<unsigned int>(m_tabBuffer.nGetNbElement()) == kBlocksBeforeDoubling) {
            if (nCap * 2 != 0)
                nCap *= 2;
            if (nPerBlock * 2 != 0)
                nPerBlock *= 2;
        }
        unsigned long long nCapacity = static_cast<unsigned long long>(nNeed) * nPerBlock;
        if (nCapacity > nCap)
            nCapacity = nCap;
        if (nCapacity < nNeed)
            nCapacity = nNeed;
        try {
            m_tabBuffer.AgranditMemoire(1);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        stBUFFERINFO* pst = static_cast<stBUFFERINFO*>(XMALLOC_pNewZero_(1, sizeof(stBUFFERINFO)));
        unsigned char* pbyData =
            pst != nullptr ? static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<std::size_t>(nCapacity))) : nullptr;
        if (pbyData == nullptr) {
            XMALLOC_Del_(pst);
            return nullptr;
        }
        pst->pbyData = pbyData;
        pst->nCapacity = static_cast<unsigned int>(nCapacity);
        m_nEntriesPerBlock = nPerBlock;
        m_nBlockCap = nCap;
        m_tabEntry.SetPasAgrandissement(nPerBlock > INT_MAX ? INT_MAX : static_cast<int>(nPerBlock));
        m_tabBuffer.Ajoute(&pst);
        m_pclCurrent = pst;
    }
    pstEntry->nOffset = m_pclCurrent->nUsed;
    pstEntry->pclBuffer = m_pclCurrent;
    unsigned char* pby = m_pclCurrent->pbyData + m_pclCurrent->nUsed + kLengthWord;
    m_pclCurrent->nUsed += nNeed;
    SetLength(pby, nLength);
    return pby;
}

template <class T>
bool CTSimpleTable<T>::bStore(const T* pElement, stENTRY* pstEntry)
{
    if (pElement == nullptr) {
        *pstEntry = s_stNoBytes;
        return true;
    }
    const unsigned int nSize = _nGetDataSize(pElement);
    unsigned char* pby = pbyPlace(nSize, pstEntry);
    if (pby == nullptr)
        return false;
    _Serialize(pElement, pby, nSize);
    return true;
}

template <class T>
bool CTSimpleTable<T>::bGetElement(int i, T* pElement) const
{
    unsigned int nLength = 0;
    const unsigned char* pby = pbyGetAt(i, &nLength);
    return pby != nullptr && pElement != nullptr && _Deserialize(pby, nLength, pElement);
}

template <class T>
void CTSimpleTable<T>::RemoveAll()
{
    for (int i = 0; i < m_tabBuffer.nGetNbElement(); i++) {
        XMALLOC_Del_(m_tabBuffer[i]->pbyData);
        XMALLOC_Del_(m_tabBuffer[i]);
    }
    m_tabBuffer.Supprime(0, m_tabBuffer.nGetNbElement());
    m_tabEntry.Supprime(0, m_tabEntry.nGetNbElement());
    m_pclCurrent = nullptr;
}

template <class T>
void CTSimpleTable<T>::SetGrowStep(unsigned int nPerBlock, unsigned int nCap)
{
    if (nPerBlock != 0) {
        m_nEntriesPerBlock = nPerBlock;
        m_tabEntry.SetPasAgrandissement(nPerBlock > INT_MAX ? INT_MAX : static_cast<int>(nPerBlock));
    }
    if (nCap != 0)
        m_nBlockCap = nCap;
}

template <class T>
typename CTSimpleTable<T>::stMARK CTSimpleTable<T>::stGetMark() const
{
    stMARK st;
    st.pclCurrent = m_pclCurrent;
    st.nUsed = m_pclCurrent != nullptr ? m_pclCurrent->nUsed : 0;
    st.nBlocks = m_tabBuffer.nGetNbElement();
    st.nEntriesPerBlock = m_nEntriesPerBlock;
    st.nBlockCap = m_nBlockCap;
    st.nGrowStep = m_tabEntry.nGetPasAgrandissement();
    return st;
}

template <class T>
void CTSimpleTable<T>::Rollback(const stMARK& st)
{
    while (m_tabBuffer.nGetNbElement() > st.nBlocks) {
        const int nLast = m_tabBuffer.nGetNbElement() - 1;
        XMALLOC_Del_(m_tabBuffer[nLast]->pbyData);
        XMALLOC_Del_(m_tabBuffer[nLast]);
        m_tabBuffer.Supprime(nLast, 1);
    }
    m_pclCurrent = st.pclCurrent;
    if (m_pclCurrent != nullptr)
        m_pclCurrent->nUsed = st.nUsed;
    m_nEntriesPerBlock = st.nEntriesPerBlock;
    m_nBlockCap = st.nBlockCap;
    m_tabEntry.SetPasAgrandissement(st.nGrowStep);
}

template <>
unsigned int CTSimpleTable<CNAKXRecord>::_nGetDataSize(const CNAKXRecord* pclRecord)
{
    return pclRecord->pbyGetNullValuesFlags() != nullptr ? pclRecord->nGetBufferSize() : 0;
}

template <>
void CTSimpleTable<CNAKXRecord>::_Serialize(const CNAKXRecord* pclRecord, unsigned char* pby, unsigned int nSize)
{
    if (nSize > 0)
        std::memcpy(pby, pclRecord->pbyGetNullValuesFlags(), nSize);
}

template <>
bool CTSimpleTable<CNAKXRecord>::_Deserialize(const unsigned char* pby, unsigned int nSize, CNAKXRecord* pclRecord)
{
    // An image of another size is another table's: nothing of it is taken.
    if (nSize != _nGetDataSize(pclRecord))
        return false;
    if (nSize > 0)
        std::memcpy(pclRecord->pbyGetNullValuesFlags(), pby, nSize);
    return true;
}

template <>
unsigned int CTSimpleTable<CNARecordId>::_nGetDataSize(const CNARecordId* pclId)
{
    return pclId->nGetSerializedSize();
}

template <>
void CTSimpleTable<CNARecordId>::_Serialize(const CNARecordId* pclId, unsigned char* pby, unsigned int nSize)
{
    pclId->Serialize(pby, nSize);
}

template <>
bool CTSimpleTable<CNARecordId>::_Deserialize(const unsigned char* pby, unsigned int nSize, CNARecordId* pclId)
{
    pclId->DeSerialize(pby, nSize);
    return true;
}

template class CTSimpleTable<CNAKXRecord>;
template class CTSimpleTable<CNARecordId>;

// ---- Identity index ----------------------------------------------------------------------

void CNARecordIdIndex::RemoveRow(int nRow)
{
    for (unsigned int n = 1; n <= m_nPoolCapacity; n++) {
        _stELEMENT& e = _Entry(n);
        if (e.nPrev == FREE_ENTRY)
            continue;
        const int nValue = nRowOf(e.pValue);
        if (nValue == nRow)
            __DeleteFromHash(&e, e.nPrev == 0 ? _nBucketOf(e.pKey) : 0, n);
        else if (nValue > nRow)
            e.pValue = RowValue(nValue - 1);
    }
}

void CNARecordIdIndex::RaiseFrom(int nRow)
{
    for (unsigned int n = 1; n <= m_nPoolCapacity; n++) {
        _stELEMENT& e = _Entry(n);
        if (e.nPrev != FREE_ENTRY && nRowOf(e.pValue) >= nRow)
            e.pValue = RowValue(nRowOf(e.pValue) + 1);
    }
}

void CNARecordIdIndex::RemoveKey(const void* pKey)
{
    void* pStored = nullptr;
    if (!bGetElement(pKey, nullptr, &pStored))
        return;
    if (pStored == pKey) {
        bDeleteElement(pKey, nullptr, nullptr);
        return;
    }
    // An equal identity of another row is filed in front of it.
    for (unsigned int n = 1; n <= m_nPoolCapacity; n++) {
        _stELEMENT& e = _Entry(n);
        if (e.nPrev != FREE_ENTRY && e.pKey == pKey) {
            __DeleteFromHash(&e, e.nPrev == 0 ? _nBucketOf(e.pKey) : 0, n);
            return;
        }
    }
}

template <class F>
int CNARecordIdIndex::nFindRow(const void* pKey, F bAccept) const
{
    void* pValue = nullptr;
    if (!bGetElement(pKey, &pValue, nullptr))
        return -1;
    if (bAccept(nRowOf(pValue)))
        return nRowOf(pValue);
    // Rare: equal keys filed for other rows.
    const PFN_COMPARE pfCompare = pfGetCmp();
    for (unsigned int n = 1; pfCompare != nullptr && n <= m_nPoolCapacity; n++) {
        const _stELEMENT& e = _Entry(n);
        if (e.nPrev != FREE_ENTRY && e.pValue != pValue && pfCompare(pKey, e.pKey) == 0 && bAccept(nRowOf(e.pValue)))
            return nRowOf(e.pValue);
    }
    return -1;
}

// ---- Record cache -------------------------------------------------------------------------

CNARecordCache::CNARecordCache(unsigned int nFlags)
    : m_eFlags(nFlags),
      m_tabMemo(100),
      m_tabState(100),
      m_tabReadFailure(16),
      m_nDeleted(0),
      m_eRecordIdType(CNARecordId::RECORDID_NONE),
      m_pbyLookup(nullptr),
      m_nLookupSize(0),
      m_pclPrototype(nullptr)
{
}

CNARecordCache::~CNARecordCache()
{
    CNARecordCache::SupprimeTout();
    XMALLOC_Del_(m_pbyLookup);
    if (m_pclPrototype != nullptr)
        m_pclPrototype->nRelease();
}

void CNARecordCache::SetGrowStep(int nStep, int nMax)
{
    if (nStep != 0) {
        m_tabMemo.SetPasAgrandissement(nStep);
        m_tabReadFailure.SetPasAgrandissement(nStep);
        m_tabImage.SetGrowStep(static_cast<unsigned int>(nStep), 0);
        m_tabId.SetGrowStep(static_cast<unsigned int>(nStep), 0);
    }
    if (nMax != 0) {
        m_tabImage.SetGrowStep(0, static_cast<unsigned int>(nMax));
        m_tabId.SetGrowStep(0, static_cast<unsigned int>(nMax));
    }
}

void CNARecordCache::_SetRecordIdType(const CNARecordValue* pclRow)
{
    const CNARecordId* pclId = pclRow != nullptr ? pclRow->pclGetRecordIdNoRef() : nullptr;
    if (m_eRecordIdType != CNARecordId::RECORDID_NONE || pclId == nullptr)
        return;
    m_eRecordIdType = pclId->eGetRecordIdType();
    pclId->SetHashTableFct_SerializedObject(&m_clIndex);
}

bool CNARecordCache::_HashAddID(const unsigned char* pbyId, int nRow)
{
    return pbyId == nullptr || m_clIndex.bAddElement(const_cast<unsigned char*>(pbyId), RowValue(nRow));
}

void CNARecordCache::_HashInsertID(int nRow, const unsigned char* pbyId)
{
    m_clIndex.RaiseFrom(nRow);
    _HashAddID(pbyId, nRow);
}

void CNARecordCache::_HashDeleteID(const unsigned char* pbyId)
{
    if (pbyId != nullptr)
        m_clIndex.RemoveKey(pbyId);
}

void CNARecordCache::_HashDeleteID(int nRow)
{
    _HashDeleteID(m_tabId.pbyGetAt(nRow));
}

bool CNARecordCache::_InsertMemo(CNARecordMemo* pclMemo, const CNARecordMemo* pclSource)
{
    return pclMemo->bCopyRecordMemo(pclSource);
}

bool CNARecordCache::_bPrepareMemo(const CNARecordValue* pclRow, CNARecordMemo** ppclMemo)
{
    *ppclMemo = nullptr;
    const CNARecordMemo* pclSource = pclRow != nullptr ? pclRow->pclGetTabMemoNoRef() : nullptr;
    if (pclSource == nullptr || !pclSource->bHasValue())
        return true;
    CNARecordMemo* pclMemo = new (std::nothrow) CNARecordMemo();
    if (pclMemo == nullptr)
        return false;
    pclMemo->m_nRefCount++;
    if (!_InsertMemo(pclMemo, pclSource)) {
        pclMemo->dwRelease();
        return false;
    }
    *ppclMemo = pclMemo;
    return true;
}

namespace {

// Room for nCount entries, a grow step at least.
template <class T>
bool bReserveEntries(CRefArray<T>& tab, int nCount)
{
    if (tab.nGetNbAlloue() >= nCount)
        return true;
    try {
        const int nStep = tab.nGetPasAgrandissement() < 1 ? 1 : tab.nGetPasAgrandissement();
        const int nWithStep = tab.nGetNbAlloue() > INT_MAX - nStep ? INT_MAX : tab.nGetNbAlloue() + nStep;
        tab.AlloueMemoire(nCount > nWithStep ? nCount : nWithStep);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace

bool CNARecordCache::_bReserveMemoSlots(int nCount)
{
    return bReserveEntries(m_tabMemo, nCount);
}

bool CNARecordCache::_bReserveReadFailures(int nCount)
{
    return bReserveEntries(m_tabReadFailure, nCount);
}

void CNARecordCache::_StoreReadFailure(int i, const CNARecordValue* pclRow, bool bInsert)
{
    CXError* pclFailure = pclRow != nullptr ? const_cast<CXError*>(pclRow->pclGetReadFailureNoRef()) : nullptr;
    const int nCount = m_tabReadFailure.nGetNbElement();
    if (pclFailure == nullptr && i >= nCount)
        return;
    while (m_tabReadFailure.nGetNbElement() < i)
        m_tabReadFailure.Ajoute(nullptr);
    if (bInsert || i == m_tabReadFailure.nGetNbElement())
        m_tabReadFailure.Insere(pclFailure, i);
    else
        m_tabReadFailure.SetAt(pclFailure, i);
}

bool CNARecordCache::_bReserveRows(int nRows)
{
    if (!m_tabImage.bReserve(nRows) || !m_tabId.bReserve(nRows))
        return false;
    try {
        m_tabState.AgranditMemoire(nRows);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

CNARecordMemo* CNARecordCache::_pclGetRecordMemo(int i) const
{
    return m_tabMemo[i];
}

CNARecordMemo* CNARecordCache::_pclSetMemo(int i, CNARecordMemo* pclMemo)
{
    // Room was made: nothing below allocates.
    while (m_tabMemo.nGetNbElement() <= i)
        m_tabMemo.Ajoute(nullptr);
    m_tabMemo.SetAt(pclMemo, i);
    return pclMemo;
}

CNARecordMemo* CNARecordCache::pclInsertRecordMemo(int i, CNARecordMemo* pclMemo)
{
    while (m_tabMemo.nGetNbElement() < i)
        m_tabMemo.Ajoute(nullptr);
    m_tabMemo.Insere(pclMemo, i);
    return pclMemo;
}

bool CNARecordCache::_bIdFits(const CNARecordId* pclId) const
{
    return pclId != nullptr && pclId->eGetRecordIdType() == m_eRecordIdType;
}

CNARecordCache::stPENDING CNARecordCache::_stBegin(const CNARecordValue* pclRow)
{
    stPENDING st;
    st.nFormerType = m_eRecordIdType;
    st.stImageMark = m_tabImage.stGetMark();
    st.stIdMark = m_tabId.stGetMark();
    st.stImage = m_tabImage.s_stNoBytes;
    st.stId = m_tabId.s_stNoBytes;
    st.pclMemo = nullptr;
    _SetRecordIdType(pclRow);
    return st;
}

void CNARecordCache::_Abandon(const stPENDING& st)
{
    m_tabId.Rollback(st.stIdMark);
    m_tabImage.Rollback(st.stImageMark);
    if (st.pclMemo != nullptr)
        st.pclMemo->dwRelease();
    m_eRecordIdType = st.nFormerType;
}

int CNARecordCache::_nStore(const CNARecordValue* pclRow, int i, bool bAppend)
{
    const int nCount = nGetCount();
    if (pclRow == nullptr) {
        // A deleted placeholder: no bytes, no identity, no memo.
        const bool bShiftMemo = !bAppend && i < m_tabMemo.nGetNbElement();
        const bool bShiftFailure = !bAppend && i < m_tabReadFailure.nGetNbElement();
        if (!_bReserveRows(1) || (bShiftMemo && !_bReserveMemoSlots(m_tabMemo.nGetNbElement() + 1)) ||
            (bShiftFailure && !_bReserveReadFailures(m_tabReadFailure.nGetNbElement() + 1)))
            return -1;
        if (bAppend) {
            m_tabImage.Add(m_tabImage.s_stNoBytes);
            m_tabId.Add(m_tabId.s_stNoBytes);
            _AddState(nCount, NA_RECORDSTATE_DELETED, true);
        } else {
            m_tabImage.Insert(m_tabImage.s_stNoBytes, i);
            m_tabId.Insert(m_tabId.s_stNoBytes, i);
            _AddState(i, NA_RECORDSTATE_DELETED, false);
            if (bShiftMemo)
                pclInsertRecordMemo(i, nullptr);
            if (bShiftFailure)
                _StoreReadFailure(i, nullptr, true);
            m_clIndex.RaiseFrom(i);
        }
        m_nDeleted++;
        return bAppend ? nCount : i;
    }

    stPENDING st = _stBegin(pclRow);
    CNARecordValue* pclPrototype = nullptr;
    const CNAKXRecord* pclBuffer = pclRow->pclGetNAKXRecord();
    const CNARecordId* pclRowId = pclRow->pclGetRecordIdNoRef();
    unsigned char* pbyId = nullptr;
    bool bDone = false;
    do {
        if (bAppend && m_pclPrototype == nullptr) {
            pclPrototype = pclRow->pclGetClone(CNARecordValue::COPY_KXRECORD | CNARecordValue::COPY_RECORDID);
            if (pclPrototype == nullptr)
                break;
            pclPrototype->AddRef();
            // A shape to read rows into, not a row.
            pclPrototype->SetReadFailure(nullptr);
        }
        if (!_bPrepareMemo(pclRow, &st.pclMemo))
            break;
        int nMemoSlots = 0;
        if (st.pclMemo != nullptr)
            nMemoSlots = (bAppend ? nCount : (i > m_tabMemo.nGetNbElement() ? i : m_tabMemo.nGetNbElement())) + 1;
        else if (!bAppend && i < m_tabMemo.nGetNbElement())
            nMemoSlots = m_tabMemo.nGetNbElement() + 1;
        const int nFailures = m_tabReadFailure.nGetNbElement();
        int nFailureSlots = 0;
        if (pclRow->pclGetReadFailureNoRef() != nullptr)
            nFailureSlots = (bAppend ? nCount : (i > nFailures ? i : nFailures)) + 1;
        else if (!bAppend && i < nFailures)
            nFailureSlots = nFailures + 1;
        if (!_bReserveRows(1) || !_bReserveMemoSlots(nMemoSlots) || !_bReserveReadFailures(nFailureSlots))
            break;
        if (pclBuffer != nullptr && !m_tabImage.bStore(pclBuffer, &st.stImage))
            break;
        if (_bIdFits(pclRowId)) {
            if (!m_clIndex.bReserve())
                break;
            const unsigned char* pbyImage = m_tabImage.pbyBytesOf(st.stImage);
            if (m_eRecordIdType == CNARecordId::RECORDID_RECORDVALUES) {
                const CNARecordId_RecordValues clId(pbyImage, pbyImage != nullptr ? m_tabImage._nGetDataSize(pclBuffer) : 0,
                                                    st.pclMemo);
                if (!m_tabId.bStore(&clId, &st.stId))
                    break;
            } else if (!m_tabId.bStore(pclRowId, &st.stId)) {
                break;
            }
            pbyId = m_tabId.pbyBytesOf(st.stId);
        }
        bDone = true;
    } while (false);

    if (!bDone) {
        _Abandon(st);
        if (pclPrototype != nullptr)
            pclPrototype->nRelease();
        return -1;
    }

    // Room was made for everything below.
    const unsigned int nState = pclRow->nGetState();
    if (bAppend) {
        m_tabImage.Add(st.stImage);
        m_tabId.Add(st.stId);
        if (st.pclMemo != nullptr)
            _pclSetMemo(nCount, st.pclMemo);
        _StoreReadFailure(nCount, pclRow, false);
        _HashAddID(pbyId, nCount);
        _AddState(nCount, nState, true);
        i = nCount;
    } else {
        m_tabImage.Insert(st.stImage, i);
        m_tabId.Insert(st.stId, i);
        if (st.pclMemo != nullptr || i < m_tabMemo.nGetNbElement())
            pclInsertRecordMemo(i, st.pclMemo);
        _StoreReadFailure(i, pclRow, true);
        _HashInsertID(i, pbyId);
        _AddState(i, nState, false);
    }
    if (nState == NA_RECORDSTATE_DELETED)
        m_nDeleted++;
    if (st.pclMemo != nullptr)
        st.pclMemo->dwRelease();
    if (pclPrototype != nullptr)
        m_pclPrototype = pclPrototype;
    return i;
}

void CNARecordCache::_AddState(int i, unsigned int nState, bool bAppend)
{
    if (bAppend)
        m_tabState.Ajoute(&nState);
    else
        m_tabState.Insere(&nState, i);
}

int CNARecordCache::_nAjoute(const CNARecordValue* pclRow)
{
    return _nStore(pclRow, nGetCount(), true);
}

int CNARecordCache::_Insere(const CNARecordValue* pclRow, unsigned int i)
{
    if (i > static_cast<unsigned int>(nGetCount()))
        return -1;
    return _nStore(pclRow, static_cast<int>(i), false);
}

void CNARecordCache::_Truncate(int nCount)
{
    // Only placeholders come off: no identity, no memo slot.
    for (int i = nGetCount() - 1; i >= nCount; i--)
        if (m_tabState[i] == NA_RECORDSTATE_DELETED)
            m_nDeleted--;
    m_tabImage.Truncate(nCount);
    m_tabId.Truncate(nCount);
    m_tabState.SupprimeDernier(nGetCount() - nCount);
}

int CNARecordCache::Insere(const CNARecordValue* pclRow, unsigned int i)
{
    const int nCount = nGetCount();
    if (i > static_cast<unsigned int>(INT_MAX - 1))
        return -1;
    if (static_cast<unsigned int>(nCount) < i) {
        // Room for the placeholders and the row at once, so that a failure
        // leaves no placeholder behind.
        if (!_bReserveRows(static_cast<int>(i) - nCount + 1))
            return -1;
        for (int n = nCount; n < static_cast<int>(i); n++)
            nAjoute(nullptr);
    }
    const int nRow = i == static_cast<unsigned int>(nGetCount()) ? nAjoute(pclRow) : _Insere(pclRow, i);
    if (nRow < 0 && nGetCount() > nCount)
        _Truncate(nCount);
    return nRow;
}

int CNARecordCache::Update(unsigned int nRow, const CNARecordValue* pclRow)
{
    if (nRow >= static_cast<unsigned int>(nGetCount()))
        return 0;
    const int i = static_cast<int>(nRow);
    if (pclRow == nullptr) {
        // The index keeps the former identity of the row.
        m_tabImage.SetEntry(i, m_tabImage.s_stNoBytes);
        m_tabId.SetEntry(i, m_tabId.s_stNoBytes);
        SetRecordState(i, NA_RECORDSTATE_DELETED);
        return 1;
    }

    stPENDING st = _stBegin(pclRow);
    const CNAKXRecord* pclBuffer = pclRow->pclGetNAKXRecord();
    const CNARecordId* pclRowId = pclRow->pclGetRecordIdNoRef();
    unsigned char* pbyImage = nullptr;
    unsigned int nImage = 0;
    bool bImageInPlace = false;
    unsigned char* pbyId = nullptr;
    bool bIdInPlace = false;
    const CNARecordId* pclId = nullptr;
    CNARecordId_RecordValues clRecordValues(nullptr, 0, nullptr);
    bool bDone = false;
    do {
        // A new memo object replaces the row's: the former one stays whole
        // until nothing can fail.
        if (!_bPrepareMemo(pclRow, &st.pclMemo) || (st.pclMemo != nullptr && !_bReserveMemoSlots(i + 1)) ||
            (pclRow->pclGetReadFailureNoRef() != nullptr && !_bReserveReadFailures(i + 1)))
            break;
        if (pclBuffer != nullptr) {
            nImage = m_tabImage._nGetDataSize(pclBuffer);
            pbyImage = m_tabImage.pbyRoomAt(i, nImage);
            bImageInPlace = pbyImage != nullptr;
            if (!bImageInPlace && (pbyImage = m_tabImage.pbyPlace(nImage, &st.stImage)) == nullptr)
                break;
        }
        if (_bIdFits(pclRowId)) {
            if (m_eRecordIdType == CNARecordId::RECORDID_RECORDVALUES) {
                clRecordValues.Point(pbyImage, nImage, st.pclMemo != nullptr ? st.pclMemo : m_tabMemo[i]);
                pclId = &clRecordValues;
            } else {
                pclId = pclRowId;
            }
            const unsigned int nId = m_tabId._nGetDataSize(pclId);
            pbyId = m_tabId.pbyRoomAt(i, nId);
            bIdInPlace = pbyId != nullptr;
            if (!bIdInPlace && (pbyId = m_tabId.pbyPlace(nId, &st.stId)) == nullptr)
                break;
            if (!m_clIndex.bReserve())
                break;
        }
        bDone = true;
    } while (false);

    if (!bDone) {
        _Abandon(st);
        return 0;
    }

    // Nothing below can fail. The former identity leaves the index before
    // its bytes may be written over.
    _HashDeleteID(i);
    if (pclBuffer != nullptr) {
        if (bImageInPlace)
            m_tabImage.SetLength(pbyImage, nImage);
        m_tabImage._Serialize(pclBuffer, pbyImage, nImage);
    }
    if (!bImageInPlace)
        m_tabImage.SetEntry(i, st.stImage);
    if (st.pclMemo != nullptr) {
        _pclSetMemo(i, st.pclMemo);
        st.pclMemo->dwRelease();
    }
    if (pclId != nullptr) {
        const unsigned int nId = m_tabId._nGetDataSize(pclId);
        if (bIdInPlace)
            m_tabId.SetLength(pbyId, nId);
        m_tabId._Serialize(pclId, pbyId, nId);
        _HashAddID(pbyId, i);
    }
    if (!bIdInPlace)
        m_tabId.SetEntry(i, st.stId);
    _StoreReadFailure(i, pclRow, false);
    SetRecordState(i, static_cast<eNA_RECORDSTATE>(pclRow->nGetState()));
    return 1;
}

void CNARecordCache::Supprime(unsigned int nRow)
{
    if (nRow >= static_cast<unsigned int>(nGetCount()))
        return;
    const int i = static_cast<int>(nRow);
    m_clIndex.RemoveRow(i);
    m_tabImage.Remove(i);
    m_tabId.Remove(i);
    m_tabMemo.Supprime(i);
    m_tabReadFailure.Supprime(i);
    if (m_tabState[i] == NA_RECORDSTATE_DELETED)
        m_nDeleted--;
    m_tabState.Supprime(i, 1);
}

void CNARecordCache::SupprimeTout()
{
    m_eFlags &= ~static_cast<unsigned int>(CACHE_FETCHCOMPLETE);
    m_clIndex.DeleteAll(7);
    m_tabImage.RemoveAll();
    m_tabId.RemoveAll();
    m_tabMemo.SupprimeTout();
    m_tabReadFailure.SupprimeTout();
    m_tabState.Supprime(0, m_tabState.nGetNbElement());
    m_nDeleted = 0;
}

int CNARecordCache::bGetAt(CNARecordValue* pclDst, unsigned int nRow)
{
    if (pclDst == nullptr || nRow >= static_cast<unsigned int>(nGetCount()))
        return 0;
    const int i = static_cast<int>(nRow);
    if (pclDst->pclGetNAKXRecord() == nullptr &&
        (m_pclPrototype == nullptr ||
         !pclDst->bCopyRecordValue(m_pclPrototype, CNARecordValue::COPY_KXRECORD | CNARecordValue::COPY_RECORDID)))
        return 0;
    if (!m_tabImage.bGetElement(i, pclDst->pclGetNAKXRecord()))
        return 0;
    CNARecordId* pclId = pclDst->pclGetRecordIdNoRef();
    if (pclId == nullptr || pclId->eGetRecordIdType() != CNARecordId::RECORDID_RECORDVALUES) {
        if (m_tabId.pbyGetAt(i) == nullptr)
            return 0;
        if (pclId != nullptr)
            m_tabId.bGetElement(i, pclId);
    }
    pclDst->SetReadFailure(m_tabReadFailure[i]);
    return pclDst->bCopyTabMemoValue(_pclGetRecordMemo(i)) ? 1 : 0;
}

int CNARecordCache::bGetAt(CNARecordValue* pclDst, const CNARecordId* pclId)
{
    const int nRow = nGetRecordIndice(pclId);
    return nRow >= 0 ? bGetAt(pclDst, static_cast<unsigned int>(nRow)) : 0;
}

unsigned char* CNARecordCache::_pbyLookup(const CNARecordId* pclId)
{
    const unsigned int nSize = pclId->nGetSerializedSize();
    if (m_pbyLookup == nullptr || m_nLookupSize < nSize) {
        void* p = m_pbyLookup != nullptr ? XMALLOC_pResize_(m_pbyLookup, nSize) : XMALLOC_pNew_(nSize);
        if (p == nullptr)
            return nullptr;
        m_pbyLookup = static_cast<unsigned char*>(p);
        m_nLookupSize = nSize;
    }
    pclId->Serialize(m_pbyLookup, m_nLookupSize);
    return m_pbyLookup;
}

template <class F>
int CNARecordCache::_nFindRow(const CNARecordId* pclId, F bAccept)
{
    if (m_eRecordIdType == CNARecordId::RECORDID_NONE || !_bIdFits(pclId))
        return -1;
    const unsigned char* pby = _pbyLookup(pclId);
    return pby != nullptr ? m_clIndex.nFindRow(pby, bAccept) : -1;
}

int CNARecordCache::nGetRecordIndice(const CNARecordId* pclId)
{
    return _nFindRow(pclId, [](int) { return true; });
}

int CNARecordCache::nGetRecordIndice(const CNARecordValue* pclRow)
{
    if (pclRow == nullptr)
        return -1;
    return _nFindRow(pclRow->pclGetRecordIdNoRef(), [&](int nRow) {
        return CNAReadFailure::s_bSameRefusals(m_tabReadFailure[nRow], pclRow->pclGetReadFailureNoRef());
    });
}

int CNARecordCache::nGetPosition(long long llCurrent, eNA_PARSEDIRECTION eDirection, long long llCount) const
{
    const long long n = nGetCount();
    const bool bBackward = eDirection == NA_PARSE_LAST || eDirection == NA_PARSE_PREVIOUS;
    long long llStart = -1;
    if (eDirection == NA_PARSE_LAST)
        llStart = n;
    else if (eDirection == NA_PARSE_NEXT || eDirection == NA_PARSE_PREVIOUS)
        llStart = llCurrent;
    long long llPos = llStart;
    if (m_nDeleted < 1) {
        llPos = bBackward ? llStart - llCount : llStart + llCount;
    } else if (llCount > 0 && !bBackward) {
        long long llLeft = llCount;
        while (llLeft > 0 && llPos + 1 < n) {
            llPos++;
            if (llPos < 0 || m_tabState[static_cast<int>(llPos)] != NA_RECORDSTATE_DELETED)
                llLeft--;
        }
        // Every position beyond the rows counts.
        llPos += llLeft;
    } else if (llCount > 0) {
        if (llStart < 0)
            return -1;
        long long llLeft = llCount;
        // Positions at or beyond the rows are not deleted.
        if (llPos > n) {
            const long long llAbove = llPos - n < llLeft ? llPos - n : llLeft;
            llPos -= llAbove;
            llLeft -= llAbove;
        }
        while (llLeft > 0) {
            llPos--;
            if (llPos < 0)
                return -1;
            if (llPos >= n || m_tabState[static_cast<int>(llPos)] != NA_RECORDSTATE_DELETED)
                llLeft--;
        }
    }
    if (llPos < 0)
        return -1;
    return llPos > INT_MAX ? INT_MAX : static_cast<int>(llPos);
}

int CNARecordCache::bRecordInCache(unsigned int i) const
{
    return i < static_cast<unsigned int>(nGetCount()) && m_tabImage.pbyGetAt(static_cast<int>(i)) != nullptr;
}

int CNARecordCache::bMustFetch(int i) const
{
    if ((m_eFlags & CACHE_ENABLED) == 0)
        return 1;
    if (i < 0)
        return 0;
    if ((m_eFlags & CACHE_FETCHCOMPLETE) != 0 && bEndehors(i))
        return 0;
    return bRecordInCache(static_cast<unsigned int>(i)) ? 0 : 1;
}

eNA_RECORDSTATE CNARecordCache::eGetRecordState(int i) const
{
    return i >= 0 && i < nGetCount() ? static_cast<eNA_RECORDSTATE>(m_tabState[i]) : NA_RECORDSTATE_NORMAL;
}

void CNARecordCache::SetRecordState(int i, eNA_RECORDSTATE e)
{
    if (i < 0 || i >= nGetCount())
        return;
    if (e == NA_RECORDSTATE_DELETED && m_tabState[i] != NA_RECORDSTATE_DELETED)
        m_nDeleted++;
    else if (e != NA_RECORDSTATE_DELETED && m_tabState[i] == NA_RECORDSTATE_DELETED)
        m_nDeleted--;
    m_tabState[i] = e;
}

int CNARecordCache::nSetRecordState(const CNARecordId* pclId, eNA_RECORDSTATE e)
{
    const int nRow = nGetRecordIndice(pclId);
    SetRecordState(nRow, e);
    return nRow;
}

int CNARecordCache::nSetRecordState(const CNARecordValue* pclRow, eNA_RECORDSTATE e)
{
    const int nRow = nGetRecordIndice(pclRow);
    SetRecordState(nRow, e);
    return nRow;
}

void CNARecordCache::SetFetchComplete()
{
    if ((m_eFlags & CACHE_ENABLED) != 0)
        m_eFlags |= CACHE_FETCHCOMPLETE;
}

int CNARecordCache::bMemoInCache(int i) const
{
    return m_tabMemo[i] != nullptr ? 1 : 0;
}

void CNARecordCache::RestaureMemo(int i, CNARecordMemo* pclDst) const
{
    const CNARecordMemo* pclMemo = m_tabMemo[i];
    if (pclDst != nullptr && pclDst->bHasValue() && pclMemo != nullptr && pclMemo->bHasValue())
        pclDst->bCopyRecordMemo(pclMemo);
}

int CNARecordCache::bEquals(int i, const CNARecordValue* pclValue, int nFlags)
{
    if (i < 0 || m_pclPrototype == nullptr || !bGetAt(m_pclPrototype, static_cast<unsigned int>(i)))
        return 0;
    return m_pclPrototype->bEquals(pclValue, nFlags) ? 1 : 0;
}

int CNARecordCache::bEquals(int i, int j, int nFlags)
{
    if (i < 0 || m_pclPrototype == nullptr || !bGetAt(m_pclPrototype, static_cast<unsigned int>(i)))
        return 0;
    CNARecordValue* pclClone = m_pclPrototype->pclGetClone(CNARecordValue::COPY_ALL);
    if (pclClone == nullptr)
        return 0;
    pclClone->AddRef();
    const int bEqual = bEquals(j, pclClone, nFlags);
    pclClone->nRelease();
    return bEqual;
}

int CNARecordCache::nOnNotifyOperation(int eType, const CNARecordValue* pclNew, const CNARecordValue* pclOld,
                                       unsigned int, int bInsertFirst)
{
    if (eType == NA_NOTIFY_INSERT) {
        if (bInsertFirst) {
            Insere(pclNew, 0);
            return 0;
        }
        return nAjoute(pclNew);
    }
    const int nRow = nGetRecordIndice(pclOld);
    if (nRow >= 0) {
        if (eType == NA_NOTIFY_UPDATE)
            Update(static_cast<unsigned int>(nRow), pclNew);
        else if (eType == NA_NOTIFY_DELETE)
            SetRecordState(nRow, NA_RECORDSTATE_DELETED);
    }
    return nRow;
}

// ---- Position cache ----------------------------------------------------------------------

CNARecordCachePosition::CNARecordCachePosition() : CNARecordCache(CACHE_ENABLED), m_tabRef(500), m_nFirstFree(-1) {}

void CNARecordCachePosition::SetGrowStep(int nStep, int nMax)
{
    if (nStep != 0)
        m_tabRef.SetPasAgrandissement(nStep);
    CNARecordCache::SetGrowStep(nStep, nMax);
}

void CNARecordCachePosition::SupprimeTout()
{
    m_tabRef.Supprime(0, m_tabRef.nGetNbElement());
    CNARecordCache::SupprimeTout();
}

int CNARecordCachePosition::_nAjoute(const CNARecordValue* pclRow)
{
    try {
        m_tabRef.AgranditMemoire(1);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    const int nRow = CNARecordCache::_nAjoute(pclRow);
    if (nRow >= 0) {
        const int nZero = 0;
        m_tabRef.Ajoute(&nZero);
    }
    return nRow;
}

int CNARecordCachePosition::nKeepRecordSave(const CNARecordValue* pclRow)
{
    const int nRow = nGetRecordIndice(pclRow);
    if (nRow >= 0)
        return nRow;
    const int nFree = _nGetFirstFreePos();
    if (nFree < 0)
        return _nAjoute(pclRow);
    return Update(static_cast<unsigned int>(nFree), pclRow) ? nFree : -1;
}

void CNARecordCachePosition::AddRefRecordSave(int i)
{
    if (i >= 0 && i < m_tabRef.nGetNbElement())
        m_tabRef[i]++;
}

int CNARecordCachePosition::nReleaseRecordSave(int i)
{
    if (i < 0 || i >= m_tabRef.nGetNbElement())
        return 0;
    // A slot nobody holds stays at 0.
    if (m_tabRef[i] <= 0)
        return m_tabRef[i];
    if (--m_tabRef[i] == 0) {
        if (m_nFirstFree < 0 || i < m_nFirstFree)
            m_nFirstFree = i;
        _HashDeleteID(i);
    }
    return m_tabRef[i];
}

int CNARecordCachePosition::_nGetFirstFreePos()
{
    if (m_nFirstFree < 0)
        return -1;
    for (; m_nFirstFree < m_tabRef.nGetNbElement(); m_nFirstFree++)
        if (m_tabRef[m_nFirstFree] == 0)
            return m_nFirstFree;
    m_nFirstFree = -1;
    return -1;
}
