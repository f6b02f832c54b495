#include "access/statement/NAColumn.h"

#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"

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
    if (m_ptabComponent != nullptr)
        m_ptabComponent->dwRelease();
    if (m_pclImportedItem != nullptr)
        m_pclImportedItem->nExternalRelease();
    if (m_piItem != nullptr)
        m_piItem->nExternalRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}
