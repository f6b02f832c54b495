#include "access/sql/ColumnNullValueExcluded.h"

#include "access/statement/NAColumn.h"
#include "common/text/TextCompare.h"

CColumnNullValueExcluded::CColumnNullValueExcluded() : m_tabColumn(10, 30), m_tabSelected(10, 30) {}

int CColumnNullValueExcluded::_nFind(const CNAColumn* pclColumn) const
{
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++)
        if (m_tabColumn[i] == pclColumn)
            return i;
    return -1;
}

int CColumnNullValueExcluded::bColumnValuesNullSelected(const CNAColumn* pclColumn) const
{
    const int i = _nFind(pclColumn);
    return i < 0 ? 1 : m_tabSelected[i];
}

int CColumnNullValueExcluded::bColumnValuesNullSelected(const wchar_t* pszName) const
{
    if (pszName == nullptr)
        return 1;
    for (int i = 0; i < m_tabColumn.nGetNbElement(); i++) {
        const CNAColumn* pcl = m_tabColumn[i];
        if (pcl != nullptr && STR_nCompareW(pcl->pszGetOriginalName(), pszName, 1) == 0)
            return m_tabSelected[i];
    }
    return 1;
}

int CColumnNullValueExcluded::bSetColumnValuesNullSelected(CNAColumn* pclColumn, int bSelected)
{
    if (pclColumn == nullptr)
        return 1;
    const int i = _nFind(pclColumn);
    if (i >= 0) {
        m_tabSelected[i] = bSelected != 0;
        return 1;
    }
    const int n = bSelected != 0;
    m_tabColumn.Ajoute(&pclColumn);
    m_tabSelected.Ajoute(&n);
    return 1;
}

int CColumnNullValueExcluded::bCombineColumnValuesNullSelected(eNAOperator eOperator, CNAColumn* pclColumn,
                                                               int bSelected)
{
    if (pclColumn == nullptr)
        return 1;
    const int i = _nFind(pclColumn);
    if (i >= 0) {
        if (eOperator == NAOP_AND)
            m_tabSelected[i] = m_tabSelected[i] && bSelected;
        else
            m_tabSelected[i] = m_tabSelected[i] || bSelected;
    } else if (eOperator == NAOP_AND && !bSelected) {
        bSetColumnValuesNullSelected(pclColumn, 0);
    }
    return 1;
}

int CColumnNullValueExcluded::bCombineColumnValuesNullSelected(eNAOperator eOperator,
                                                               const CColumnNullValueExcluded* pclOther)
{
    if (pclOther == nullptr) {
        if (eOperator == NAOP_OR)
            Reset();
        return 1;
    }
    if (pclOther == this)
        return 1;
    if (eOperator == NAOP_OR) {
        // Absent from the other side: selected there, so selected here.
        for (int i = 0; i < m_tabColumn.nGetNbElement(); i++)
            if (pclOther->_nFind(m_tabColumn[i]) < 0)
                m_tabSelected[i] = 1;
    }
    for (int i = 0; i < pclOther->m_tabColumn.nGetNbElement(); i++)
        bCombineColumnValuesNullSelected(eOperator, pclOther->m_tabColumn[i], pclOther->m_tabSelected[i]);
    return 1;
}

int CColumnNullValueExcluded::bCombineColumnValuesNullSelected(eNAOperator eOperator,
                                                               const CColumnNullValueExcluded* pclA,
                                                               const CColumnNullValueExcluded* pclB)
{
    if ((pclA == nullptr && pclB == nullptr) ||
        (eOperator == NAOP_OR && (pclA == nullptr || pclB == nullptr)))
        return 1;
    if (pclA != nullptr)
        bCopyColumnValuesNullSelected(pclA, 0);
    if (pclB != nullptr) {
        if (pclA != nullptr)
            bCombineColumnValuesNullSelected(eOperator, pclB);
        else
            bCopyColumnValuesNullSelected(pclB, 0);
    }
    return 1;
}

int CColumnNullValueExcluded::bCopyColumnValuesNullSelected(const CColumnNullValueExcluded* pclOther, int bInvert)
{
    if (pclOther == nullptr || pclOther == this)
        return 1;
    for (int i = 0; i < pclOther->m_tabColumn.nGetNbElement(); i++) {
        const int b = pclOther->m_tabSelected[i] != 0;
        bSetColumnValuesNullSelected(pclOther->m_tabColumn[i], bInvert ? !b : b);
    }
    return 1;
}

void CColumnNullValueExcluded::Reset()
{
    m_tabColumn.Supprime(0, m_tabColumn.nGetNbElement());
    m_tabSelected.Supprime(0, m_tabSelected.nGetNbElement());
}
