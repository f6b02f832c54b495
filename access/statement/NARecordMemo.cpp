#include "access/statement/NARecordMemo.h"

#include <new>

bool CNARecordMemo::_bExtend(int i)
{
    if (i < 0)
        return false;
    try {
        if (m_tabValue.nGetNbAlloue() <= i)
            m_tabValue.AlloueMemoire(i + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The room is there: no addition below can fail.
    while (m_tabValue.nGetNbElement() <= i)
        m_tabValue.Ajoute(nullptr);
    return true;
}

bool CNARecordMemo::bHasValue() const
{
    for (int i = 0; i < m_tabValue.nGetNbElement(); i++)
        if (m_tabValue[i] != nullptr)
            return true;
    return false;
}

bool CNARecordMemo::bShare(int i, CNAConvertVariant* pclCell)
{
    return _bExtend(i) && m_tabValue.SetAt(pclCell, i) != 0;
}

bool CNARecordMemo::bCopyMemoValue(int i, const CNAConvertVariant* pclCell)
{
    if (i < 0)
        return false;
    CNAConvertVariant* pclOwn = m_tabValue[i];
    if (pclOwn != nullptr)
        return pclOwn->bCopyVariant(pclCell) != 0;
    if (pclCell == nullptr)
        return _bExtend(i);
    CNAConvertVariant* pclClone = pclCell->pclGetCloneVariant();
    if (pclClone == nullptr)
        return false;
    pclClone->AddRef();
    const bool bDone = _bExtend(i) && m_tabValue.SetAt(pclClone, i) != 0;
    pclClone->nRelease();
    return bDone;
}

bool CNARecordMemo::bCopyRecordMemo(const CNARecordMemo* pclSource)
{
    const int nSource = pclSource != nullptr ? pclSource->nGetCount() : 0;
    for (int i = 0; i < nSource; i++)
        if (!bCopyMemoValue(i, pclSource->pclGetNoRef(i)))
            return false;
    for (int i = nSource; i < m_tabValue.nGetNbElement(); i++)
        if (m_tabValue[i] != nullptr)
            m_tabValue[i]->SetNull();
    return true;
}

bool CNARecordMemo::g_bEqualsNARecordMemo(const CNARecordMemo* pclA, const CNARecordMemo* pclB)
{
    if (pclA == pclB)
        return true;
    const int nA = pclA != nullptr ? pclA->nGetCount() : 0;
    const int nB = pclB != nullptr ? pclB->nGetCount() : 0;
    const int nMax = nA > nB ? nA : nB;
    for (int i = 0; i < nMax; i++) {
        const CNAConvertVariant* pclCellA = pclA != nullptr ? pclA->pclGetNoRef(i) : nullptr;
        const CNAConvertVariant* pclCellB = pclB != nullptr ? pclB->pclGetNoRef(i) : nullptr;
        if (!CNAVariant::g_bEqualsNAVariant(pclCellA, pclCellB))
            return false;
    }
    return true;
}
