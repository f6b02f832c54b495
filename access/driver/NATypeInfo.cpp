#include "access/driver/NATypeInfo.h"

#include "access/driver/NAItemDescription.h"

#include <cwchar>

void CNATypeInfo::Format(const INAItemDescription* piItem, CTString* pclOut) const
{
    if (!m_bFormat || piItem == nullptr) {
        pclOut->Set(m_csText.pszGet());
        return;
    }
    // The formats are the map's own texts, never the host's.
    wchar_t sz[256];
    const wchar_t* pszFormat = m_csText.pszGet() != nullptr ? m_csText.pszGet() : L"";
    int n;
    switch (piItem->eNAGetItemType()) {
    case NA_IT_HEURE: {
        const int nFraction = static_cast<int>(piItem->nGetItemSize()) - 7;
        n = std::swprintf(sz, 256, pszFormat, nFraction < 0 ? 0 : nFraction);
        break;
    }
    case NA_IT_DECIMAL:
        n = std::swprintf(sz, 256, pszFormat, piItem->nGetIntegerPart() + piItem->nGetDecimalPart(),
                          piItem->nGetDecimalPart());
        break;
    default:
        n = std::swprintf(sz, 256, pszFormat, piItem->nGetLogicalSize(0));
        break;
    }
    pclOut->Set(n >= 0 ? sz : L"");
}
