#include "access/statement/NARecordValue.h"

#include "access/driver/NAError.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordMemo.h"

#include <new>

CNARecordValue::CNARecordValue(CNAError* pclError, CNAKXRecord* pclBuffer)
    : m_pclError(pclError), m_pclKXRecord(pclBuffer), m_pclMemo(nullptr), m_pclRecordId(nullptr), m_nState(0)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclKXRecord != nullptr)
        m_pclKXRecord->AddRef();
}

CNARecordValue::~CNARecordValue()
{
    if (m_pclMemo != nullptr)
        m_pclMemo->dwRelease();
    if (m_pclKXRecord != nullptr)
        m_pclKXRecord->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

bool CNARecordValue::bShareMemoValue(int i, CNAConvertVariant* pclCell)
{
    if (m_pclMemo == nullptr) {
        m_pclMemo = new (std::nothrow) CNARecordMemo();
        if (m_pclMemo == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->pclGetXError()->SetErrorNoMemory();
            return false;
        }
        m_pclMemo->m_nRefCount++;
    }
    return m_pclMemo->bShare(i, pclCell);
}

CNAConvertVariant* CNARecordValue::pclGetMemoValueNoRef(int i) const
{
    return m_pclMemo != nullptr ? m_pclMemo->pclGetNoRef(i) : nullptr;
}
