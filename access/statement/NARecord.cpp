#include "access/statement/NARecord.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordValue.h"

#include <new>

CNARecord::CNARecord(CNAError* pclError, CNADataAccess* pclDataAccess, CNAConnectionDescription* pclConnection)
    : m_pclError(pclError),
      m_pclDataAccess(pclDataAccess),
      m_pclConnection(pclConnection),
      m_tabColumn(20),
      m_pclColumnIDAuto(nullptr),
      m_pclUniqueKey(nullptr),
      m_pclPrototype(nullptr),
      m_pclOriginalValue(nullptr),
      m_pclCurrentValue(nullptr),
      m_bOriginalSet(0),
      m_tabColumnOrder(10),
      m_tabColumnMemo(1),
      m_tabCompositeKey(1)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
}

CNARecord::~CNARecord()
{
    // Columns go first: they reach the record while they are released.
    m_tabCompositeKey.SupprimeTout();
    m_tabColumnMemo.SupprimeTout();
    m_tabColumnOrder.SupprimeTout();
    m_tabColumn.SupprimeTout();
    if (m_pclColumnIDAuto != nullptr)
        m_pclColumnIDAuto->nRelease();
    if (m_pclUniqueKey != nullptr)
        m_pclUniqueKey->nRelease();
    if (m_pclCurrentValue != nullptr)
        m_pclCurrentValue->nRelease();
    if (m_pclOriginalValue != nullptr)
        m_pclOriginalValue->nRelease();
    if (m_pclPrototype != nullptr)
        m_pclPrototype->nRelease();
    if (m_pclConnection != nullptr)
        m_pclConnection->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

CNAKXRecord* CNARecord::pclGetNAKXRecord() const
{
    return m_pclCurrentValue != nullptr ? m_pclCurrentValue->pclGetNAKXRecord() : nullptr;
}

CNAKXRecord* CNARecord::pclGetOriginalNAKXRecord() const
{
    return m_pclOriginalValue != nullptr ? m_pclOriginalValue->pclGetNAKXRecord() : nullptr;
}

bool CNARecord::bShareCurrentRecordMemoValue(const CNAColumn* pclColumn, CNAConvertVariant* pclCell)
{
    for (int i = 0; i < m_tabColumnMemo.nGetNbElement(); i++) {
        if (m_tabColumnMemo[i] == pclColumn)
            return m_pclCurrentValue != nullptr && m_pclCurrentValue->bShareMemoValue(i, pclCell);
    }
    return true;
}

void CNARecord::AddColumn(CNAColumn* pclColumn)
{
    if (pclColumn == nullptr)
        return;
    m_tabColumn.Ajoute(pclColumn);
    if (pclColumn->bIsMemo())
        m_tabColumnMemo.Ajoute(pclColumn);
}

bool CNARecord::bSetRecordValues(CNAKXRecord* pclCurrent, CNAKXRecord* pclOriginal)
{
    CNARecordValue* pclNewCurrent = new (std::nothrow) CNARecordValue(m_pclError, pclCurrent);
    CNARecordValue* pclNewOriginal = new (std::nothrow) CNARecordValue(m_pclError, pclOriginal);
    if (pclNewCurrent == nullptr || pclNewOriginal == nullptr) {
        delete pclNewCurrent;
        delete pclNewOriginal;
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return false;
    }
    pclNewCurrent->AddRef();
    pclNewOriginal->AddRef();
    if (m_pclCurrentValue != nullptr)
        m_pclCurrentValue->nRelease();
    if (m_pclOriginalValue != nullptr)
        m_pclOriginalValue->nRelease();
    m_pclCurrentValue = pclNewCurrent;
    m_pclOriginalValue = pclNewOriginal;
    return true;
}
