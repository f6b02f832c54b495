#include "access/sql/NAFilterSave.h"

#include "access/sql/NAFilter.h"

CNAFilterSave::CNAFilterSave(CNAFilter* pclFilter) : m_pclFilter(nullptr), m_bActive(0)
{
    SetFilter(pclFilter);
}

CNAFilterSave::~CNAFilterSave()
{
    if (m_pclFilter != nullptr)
        m_pclFilter->nRelease();
}

void CNAFilterSave::SetFilter(CNAFilter* pclFilter)
{
    if (pclFilter == m_pclFilter)
        return;
    if (pclFilter != nullptr)
        pclFilter->AddRef();
    if (m_pclFilter != nullptr)
        m_pclFilter->nRelease();
    m_pclFilter = pclFilter;
    m_bActive = pclFilter != nullptr && pclFilter->bIsFilterActive();
}

void CNAFilterSave::Copy(CNAFilterSave& clOther)
{
    SetFilter(clOther.m_pclFilter);
    m_bActive = clOther.m_bActive;
}

int CNAFilterSave::bFilterEquals(CNAFilter* pclFilter) const
{
    const int bActive = pclFilter != nullptr && pclFilter->bIsFilterActive();
    if (m_bActive != bActive)
        return 0;
    if (!m_bActive)
        return 1;
    return CNAFilter::g_bEqualsFilter(m_pclFilter, pclFilter);
}
