#include "access/statement/NAColumn.h"

#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "common/values/NACnvVariant.h"

CNAColumn::CNAColumn()
    : m_piItem(nullptr),
      m_pclImportedItem(nullptr),
      m_pclError(nullptr),
      m_pclRecord(nullptr),
      m_ptabComponent(nullptr),
      m_pclValue(nullptr),
      m_bMemoModified(0)
{
}

CNAColumn::~CNAColumn()
{
    if (m_pclValue != nullptr)
        m_pclValue->nRelease();
    if (m_ptabComponent != nullptr)
        m_ptabComponent->dwRelease();
    if (m_pclImportedItem != nullptr)
        m_pclImportedItem->nExternalRelease();
    if (m_piItem != nullptr)
        m_piItem->nExternalRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

void CNAColumn::SetValueIsUnreadYet()
{
    if (m_pclValue != nullptr) {
        m_pclValue->m_clValue.SetNullFlag(true);
        m_pclValue->m_eVarType = NA_VAR_UNREADYET;
    }
    if (m_piItem == nullptr)
        return;
    if (m_piItem->bMemo()) {
        m_csMemoFile.Set(L"");
        m_bMemoModified = 0;
    }
    // The value is there, only not fetched yet.
    CNAKXRecord* pclRecord = m_pclRecord != nullptr ? m_pclRecord->pclGetNAKXRecord() : nullptr;
    if (pclRecord != nullptr)
        pclRecord->SetItemValueDefined(m_piItem, 1, 0);
}
