#include "access/statement/NARecordValue.h"

#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordMemo.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/values/Any.h"

#include <cstddef>
#include <utility>
#include <new>

// ---- Read failures ----------------------------------------------------------------------------------------------

CNAReadFailure::CNAReadFailure(const CXError& clFirst) : CXError(clFirst), m_nFound(-1) {}

CNAReadFailure::CNAReadFailure(const _stMyModuleInfo* pModule) : CXError(pModule), m_nFound(-1) {}

CNAReadFailure::~CNAReadFailure()
{
    for (const SRefusal& st : m_tab)
        if (st.pclFailure != nullptr)
            st.pclFailure->dwRelease();
}

CNAReadFailure* CNAReadFailure::s_pclMake(Refusals tab, int nFound)
{
    // The first refused value names the failure; held values need none.
    size_t nFirst = tab.size();
    for (size_t i = 0; i < tab.size(); i++) {
        if (!tab[i].bHeld && tab[i].pclFailure == nullptr)
            return nullptr;
        if (!tab[i].bHeld && nFirst == tab.size())
            nFirst = i;
    }
    if (tab.empty() && nFound < 0)
        return nullptr;
    // Values held alone need no failure of their own: none is copied.
    CNAReadFailure* pcl = nFirst < tab.size() ? new (std::nothrow) CNAReadFailure(*tab[nFirst].pclFailure)
                                              : new (std::nothrow) CNAReadFailure(&gstMyModuleInfo32);
    if (pcl == nullptr)
        return nullptr;
    pcl->m_nFound = nFound;
    pcl->m_tab = std::move(tab);
    for (const SRefusal& st : pcl->m_tab)
        if (st.pclFailure != nullptr)
            st.pclFailure->m_nRefCount++;
    // The report names every refused item, not the first alone.
    for (size_t i = nFirst + 1; i < pcl->m_tab.size(); i++)
        if (!pcl->m_tab[i].bHeld)
            pcl->AddUserMessageNoFormat(pcl->m_tab[i].pclFailure->pszGetUserMessage());
    return pcl;
}

int CNAReadFailure::s_nFound(const CXError* pclFailure)
{
    const CNAReadFailure* pcl = dynamic_cast<const CNAReadFailure*>(pclFailure);
    return pcl != nullptr ? pcl->m_nFound : -1;
}

bool CNAReadFailure::s_bReadFails(const CXError* pclFailure)
{
    const Refusals* ptab = s_ptabRefusals(pclFailure);
    if (ptab == nullptr)
        return pclFailure != nullptr;
    for (const SRefusal& st : *ptab)
        if (!st.bHeld)
            return true;
    return false;
}

const CNAReadFailure::Refusals* CNAReadFailure::s_ptabRefusals(const CXError* pclFailure)
{
    const CNAReadFailure* pcl = dynamic_cast<const CNAReadFailure*>(pclFailure);
    return pcl != nullptr ? &pcl->m_tab : nullptr;
}

const CNAReadFailure::SRefusal* CNAReadFailure::s_pstRefusal(const CXError* pclFailure, const wchar_t* pszItem)
{
    const Refusals* ptab = s_ptabRefusals(pclFailure);
    for (size_t i = 0; ptab != nullptr && pszItem != nullptr && i < ptab->size(); i++)
        if ((*ptab)[i].strItem == pszItem)
            return &(*ptab)[i];
    return nullptr;
}

void CNAReadFailure::s_Hold(CXError** ppclHeld, const CXError* pclFailure)
{
    CXError* pcl = const_cast<CXError*>(pclFailure);
    if (pcl == *ppclHeld)
        return;
    if (pcl != nullptr)
        pcl->m_nRefCount++;
    if (*ppclHeld != nullptr)
        (*ppclHeld)->dwRelease();
    *ppclHeld = pcl;
}

bool CNAReadFailure::s_bSameRefusals(const CXError* pclFailure1, const CXError* pclFailure2)
{
    const Refusals* ptab1 = s_ptabRefusals(pclFailure1);
    const Refusals* ptab2 = s_ptabRefusals(pclFailure2);
    const size_t n = ptab1 != nullptr ? ptab1->size() : 0;
    if (n != (ptab2 != nullptr ? ptab2->size() : 0) || s_nFound(pclFailure1) != s_nFound(pclFailure2))
        return false;
    for (size_t i = 0; i < n; i++)
        if ((*ptab1)[i].strItem != (*ptab2)[i].strItem || (*ptab1)[i].strText != (*ptab2)[i].strText ||
            (*ptab1)[i].bHeld != (*ptab2)[i].bHeld)
            return false;
    return true;
}

// ---- Record values ----------------------------------------------------------------------------------------------

CNARecordValue::CNARecordValue(CNAError* pclError, CNAKXRecord* pclBuffer)
    : m_pclError(pclError),
      m_pclKXRecord(pclBuffer),
      m_pclMemo(nullptr),
      m_pclRecordId(nullptr),
      m_nState(0),
      m_pclReadFailure(nullptr)
{
    if (m_pclError == nullptr && CNADriver::s_pclDriver != nullptr)
        m_pclError = CNADriver::s_pclDriver->pclAllocError();
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclKXRecord != nullptr)
        m_pclKXRecord->AddRef();
}

CNARecordValue::~CNARecordValue()
{
    SetReadFailure(nullptr);
    if (m_pclRecordId != nullptr)
        m_pclRecordId->dwRelease();
    if (m_pclMemo != nullptr)
        m_pclMemo->dwRelease();
    if (m_pclKXRecord != nullptr)
        m_pclKXRecord->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

void CNARecordValue::SetReadFailure(CXError* pclFailure)
{
    CNAReadFailure::s_Hold(&m_pclReadFailure, pclFailure);
}

template <class F>
bool CNARecordValue::_bChangeRefusals(F fnChange)
{
    const CNAReadFailure::Refusals* ptabNow = CNAReadFailure::s_ptabRefusals(m_pclReadFailure);
    CNAReadFailure* pclNew = nullptr;
    try {
        CNAReadFailure::Refusals tab;
        if (ptabNow != nullptr)
            tab = *ptabNow;
        int nFound = CNAReadFailure::s_nFound(m_pclReadFailure);
        fnChange(&tab, &nFound);
        if (tab.empty() && nFound < 0) {
            SetReadFailure(nullptr);
            return true;
        }
        pclNew = CNAReadFailure::s_pclMake(std::move(tab), nFound);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (pclNew == nullptr)
        return false;
    SetReadFailure(pclNew);
    return true;
}

bool CNARecordValue::bAddRefusal(const wchar_t* pszItem, const wchar_t* pszText, CXError* pclFailure)
{
    return _bChangeRefusals([&](CNAReadFailure::Refusals* ptab, int*) {
        ptab->push_back({pszItem != nullptr ? pszItem : L"", pszText != nullptr ? pszText : L"", pclFailure, false});
    });
}

bool CNARecordValue::bAddHeldTexts(HeldTexts tab, int nFound)
{
    return (tab.empty() && nFound < 0) || _bChangeRefusals([&](CNAReadFailure::Refusals* ptab, int* pnFound) {
               ptab->reserve(ptab->size() + tab.size());
               for (auto& st : tab)
                   ptab->push_back({std::move(st.strItem), std::move(st.strText), st.pclFailure, true});
               if (nFound >= 0)
                   *pnFound = nFound;
           });
}

bool CNARecordValue::bDropRefusal(const wchar_t* pszItem)
{
    if (pstGetRefusal(pszItem) == nullptr)
        return true;
    return _bChangeRefusals([&](CNAReadFailure::Refusals* ptab, int*) {
        for (size_t i = ptab->size(); i-- > 0;)
            if ((*ptab)[i].strItem == pszItem)
                ptab->erase(ptab->begin() + static_cast<std::ptrdiff_t>(i));
    });
}

const CNAReadFailure::SRefusal* CNARecordValue::pstGetRefusal(const wchar_t* pszItem) const
{
    return CNAReadFailure::s_pstRefusal(m_pclReadFailure, pszItem);
}

bool CNARecordValue::_bNoMemory() const
{
    if (m_pclError != nullptr)
        m_pclError->pclGetXError()->SetErrorNoMemory();
    return false;
}

void CNARecordValue::_RepointRecordId()
{
    if (m_pclRecordId != nullptr && m_pclRecordId->eGetRecordIdType() == CNARecordId::RECORDID_RECORDVALUES)
        m_pclRecordId->bCopy(this, m_pclRecordId);
}

CNARecordValue* CNARecordValue::pclGetClone(int nFlags) const
{
    CNARecordValue* pclClone = new (std::nothrow) CNARecordValue(m_pclError);
    if (pclClone == nullptr) {
        _bNoMemory();
        return nullptr;
    }
    pclClone->AddRef();
    if (!pclClone->bCopyRecordValue(this, nFlags)) {
        pclClone->nRelease();
        return nullptr;
    }
    // Handed over with count 0, as every new object.
    pclClone->m_nRefCount--;
    return pclClone;
}

bool CNARecordValue::bCopyRecordValue(const CNARecordValue* pclSource, int nFlags)
{
    if (pclSource == nullptr || pclSource == this)
        return pclSource != nullptr;
    m_nState = pclSource->m_nState;
    SetReadFailure(pclSource->m_pclReadFailure);
    if ((nFlags & COPY_KXRECORD) != 0 && pclSource->m_pclKXRecord != nullptr &&
        !bCopyNAKXRecord(pclSource->m_pclKXRecord))
        return false;
    if ((nFlags & COPY_MEMO) != 0 && !bCopyTabMemoValue(pclSource->m_pclMemo))
        return false;
    if ((nFlags & COPY_RECORDID) != 0 && pclSource->m_pclRecordId != nullptr &&
        !bCopyRecordID(pclSource->m_pclRecordId))
        return false;
    return true;
}

bool CNARecordValue::bCopyNAKXRecord(const CNAKXRecord* pclBuffer)
{
    if (pclBuffer == nullptr)
        return true;
    if (m_pclKXRecord != nullptr) {
        m_pclKXRecord->Copy(pclBuffer);
        return true;
    }
    m_pclKXRecord = pclBuffer->pclGetClone();
    if (m_pclKXRecord == nullptr)
        return _bNoMemory();
    m_pclKXRecord->AddRef();
    _RepointRecordId();
    return true;
}

CNARecordMemo* CNARecordValue::_pclGetOrMakeMemo()
{
    if (m_pclMemo == nullptr) {
        m_pclMemo = new (std::nothrow) CNARecordMemo();
        if (m_pclMemo == nullptr) {
            _bNoMemory();
            return nullptr;
        }
        m_pclMemo->m_nRefCount++;
        _RepointRecordId();
    }
    return m_pclMemo;
}

bool CNARecordValue::bCopyTabMemoValue(const CNARecordMemo* pclMemo)
{
    // An empty source leaves no memo, whatever this value held.
    if (pclMemo == nullptr || pclMemo->nGetCount() == 0) {
        if (m_pclMemo != nullptr) {
            m_pclMemo->dwRelease();
            m_pclMemo = nullptr;
            _RepointRecordId();
        }
        return true;
    }
    if (pclMemo == m_pclMemo)
        return true;
    CNARecordMemo* pclOwn = _pclGetOrMakeMemo();
    if (pclOwn == nullptr)
        return false;
    return pclOwn->bCopyRecordMemo(pclMemo) || _bNoMemory();
}

bool CNARecordValue::bCopyRecordID(const CNARecordId* pclId)
{
    if (pclId == nullptr)
        return true;
    if (m_pclRecordId != nullptr && m_pclRecordId->eGetRecordIdType() == pclId->eGetRecordIdType())
        return m_pclRecordId->bCopy(this, pclId);
    CNARecordId* pclClone = pclId->pclGetClone(this);
    if (pclClone == nullptr)
        return _bNoMemory();
    pclClone->m_nRefCount++;
    if (m_pclRecordId != nullptr)
        m_pclRecordId->dwRelease();
    m_pclRecordId = pclClone;
    return true;
}

bool CNARecordValue::bShareRecordID(CNARecordId* pclId)
{
    if (pclId != nullptr)
        pclId->m_nRefCount++;
    if (m_pclRecordId != nullptr)
        m_pclRecordId->dwRelease();
    m_pclRecordId = pclId;
    return true;
}

bool CNARecordValue::bShareTabMemoValue(CNARecordMemo* pclMemo)
{
    if (pclMemo != nullptr && pclMemo->nGetCount() == 0)
        pclMemo = nullptr;
    if (pclMemo != nullptr)
        pclMemo->m_nRefCount++;
    if (m_pclMemo != nullptr)
        m_pclMemo->dwRelease();
    m_pclMemo = pclMemo;
    _RepointRecordId();
    return true;
}

bool CNARecordValue::bShareMemoValue(int i, CNAConvertVariant* pclCell)
{
    CNARecordMemo* pclMemo = _pclGetOrMakeMemo();
    return pclMemo != nullptr && (pclMemo->bShare(i, pclCell) || _bNoMemory());
}

bool CNARecordValue::bCopyMemoValue(int i, const CNAConvertVariant* pclCell)
{
    if (i < 0)
        return false;
    // Entry i may be a cell shared with a column: a copy written into it
    // would reach the column. The entry becomes a cell of its own.
    CNAConvertVariant* pclClone = nullptr;
    if (pclCell != nullptr) {
        pclClone = pclCell->pclGetCloneVariant();
        if (pclClone == nullptr)
            return _bNoMemory();
        pclClone->AddRef();
    }
    const bool bDone = bShareMemoValue(i, pclClone);
    if (pclClone != nullptr)
        pclClone->nRelease();
    return bDone;
}

bool CNARecordValue::bGetItemValue(CAny* pclValue, const INAItemDescription* piItem) const
{
    if (pclValue == nullptr)
        return false;
    if (m_pclKXRecord != nullptr && m_pclKXRecord->bItemValueDefined(piItem, 0))
        m_pclKXRecord->GetItemValue(pclValue, piItem, 0);
    else
        pclValue->SetNullFlag(true);
    return true;
}

bool CNARecordValue::bGetMemoValue(CAny* pclValue, int i) const
{
    if (pclValue == nullptr)
        return false;
    const CNAConvertVariant* pclCell = pclGetMemoValueNoRef(i);
    if (pclCell != nullptr)
        pclCell->bGetValue(pclValue);
    else
        pclValue->SetNullFlag(true);
    return true;
}

CNAConvertVariant* CNARecordValue::pclGetMemoValue(int i) const
{
    CNAConvertVariant* pclCell = pclGetMemoValueNoRef(i);
    if (pclCell != nullptr)
        pclCell->AddRef();
    return pclCell;
}

CNAConvertVariant* CNARecordValue::pclGetMemoValueNoRef(int i) const
{
    return m_pclMemo != nullptr ? m_pclMemo->pclGetNoRef(i) : nullptr;
}

bool CNARecordValue::bEquals(const CNARecordValue* pclOther, int bWithMemos) const
{
    if (pclOther == nullptr)
        return false;
    const bool bBuffers = m_pclKXRecord == pclOther->m_pclKXRecord ||
                          (m_pclKXRecord != nullptr && m_pclKXRecord->bEquals(pclOther->m_pclKXRecord));
    return bBuffers && CNAReadFailure::s_bSameRefusals(m_pclReadFailure, pclOther->m_pclReadFailure) &&
           (!bWithMemos || CNARecordMemo::g_bEqualsNARecordMemo(m_pclMemo, pclOther->m_pclMemo));
}
