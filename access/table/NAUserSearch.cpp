#include "access/table/NAUserSearch.h"

#include "access/driver/NAItemDescription.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"

namespace {

// The prefix comparison of a column value.
const unsigned int SAME_PREFIX = 0x1000;

} // namespace

CNAUserSearch::CNAUserSearch() : m_nFlags(0), m_piItem(nullptr) {}

CNAUserSearch::~CNAUserSearch()
{
    if (m_piItem != nullptr)
        m_piItem->nExternalRelease();
}

void CNAUserSearch::SetUserSearch(INAItemDescription* piItem, const CAny* pValue, unsigned int nFlags)
{
    if (piItem == m_piItem && piItem != nullptr && pValue == &m_clValue) {
        m_nFlags = nFlags;
        return;
    }
    // The item and value may be this search's own: hold them over the reset.
    if (piItem != nullptr)
        piItem->ExternalAddRef();
    if (pValue != &m_clValue) {
        CancelUserSearch();
        if (pValue != nullptr) {
            m_clValue.__SetType(pValue->nGetType(), 0);
            pValue->pclGetTraitement()->Duplique(&m_clValue);
        }
    } else if (m_piItem != nullptr) {
        m_piItem->nExternalRelease();
        m_piItem = nullptr;
    }
    m_piItem = piItem;
    m_nFlags = nFlags;
}

void CNAUserSearch::CancelUserSearch()
{
    INAItemDescription* pi = m_piItem;
    m_piItem = nullptr;
    if (pi != nullptr)
        pi->nExternalRelease();
    m_clValue._Release();
    m_clValue.__SetType(0, 1);
    m_nFlags = 0;
}

void CNAUserSearch::Copy(const CNAUserSearch* pclOther)
{
    if (pclOther == this)
        return;
    if (pclOther == nullptr || pclOther->m_piItem == nullptr) {
        CancelUserSearch();
        return;
    }
    SetUserSearch(pclOther->m_piItem, &pclOther->m_clValue, pclOther->m_nFlags);
}

int CNAUserSearch::bGetHTrouve(CNARecord* pclRecord) const
{
    if (m_piItem == nullptr)
        return 1;
    CNAColumn* pclColumn = pclRecord != nullptr ? pclRecord->pclGetColumnNoRef(m_piItem) : nullptr;
    if (pclColumn == nullptr)
        return 0;
    return pclColumn->bSameValue(&m_clValue, (m_nFlags & US_GENERIC) != 0 ? SAME_PREFIX : 0) ? 1 : 0;
}
