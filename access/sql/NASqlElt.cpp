#include "access/sql/NASqlElt.h"

CNASqlElt::CNASqlElt(eSQLELT eKind, unsigned int nStart, unsigned int nStop, const wchar_t* pszText)
    : m_eKind(eKind), m_nStart(nStart), m_nStop(nStop)
{
    if (pszText != nullptr)
        m_csText.Set(pszText);
}

CNASqlElt::~CNASqlElt() {}

int CNASqlElt::pfnCmpELT(CNASqlElt* const* ppA, CNASqlElt* const* ppB)
{
    const unsigned int a = (*ppA)->m_nStart;
    const unsigned int b = (*ppB)->m_nStart;
    return a < b ? -1 : (a > b ? 1 : 0);
}
