// Record values for the identity and record cache tests: a driver for the
// cell clones, record buffers of given bytes, row-identifier cells, memos.
#pragma once

#include "access/driver/NaDriver.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordMemo.h"
#include "access/statement/NARecordValue.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "tests/support/KXRecords.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

typedef std::vector<unsigned char> ByteVector;

// A read failure (count 0) that counts the live ones.
class CCountedFailure : public CXError {
public:
    static inline int s_nLive = 0;
    CCountedFailure() : CXError(&gstMyModuleInfo32) { s_nLive++; }
    ~CCountedFailure() override { s_nLive--; }
};

// The server's text of the item's refused value; "(read)" for an item
// whose value was read.
inline std::wstring RefusedText(const CNARecordValue* p, const wchar_t* pszItem)
{
    const CNAReadFailure::SRefusal* pst = p->pstGetRefusal(pszItem);
    return pst != nullptr ? pst->strText : L"(read)";
}

// The driver whose factory makes cell clones, for the scope.
class CDriverScope {
public:
    CDriverScope()
    {
        BindValueMachine();
        m_pclFormer = CNADriver::s_pclDriver;
        CNADriver::s_pclDriver = &m_clDriver;
    }
    ~CDriverScope() { CNADriver::s_pclDriver = m_pclFormer; }
    CDriverScope(const CDriverScope&) = delete;
    CDriverScope& operator=(const CDriverScope&) = delete;

private:
    CNADriver m_clDriver;
    CNADriver* m_pclFormer;
};

// A new cell (count 0) holding these binary bytes.
inline CNAConvertVariant* NewCell(const ByteVector& aby)
{
    CNAConvertVariant* p = CNADriver::s_pclDriver->pclAllocVariant(nullptr, nullptr);
    p->InitTypeVariantAny(TQTYPE_BIN, 0);
    p->bSetValue(aby.data(), static_cast<unsigned int>(aby.size()));
    return p;
}

inline ByteVector CellBytes(const CNAConvertVariant* p)
{
    const unsigned char* pby = static_cast<const unsigned char*>(p->pGetData());
    return pby != nullptr ? ByteVector(pby, pby + p->nGetSize()) : ByteVector();
}

// A heap record (count 0) whose whole buffer is these bytes (one flag
// byte, then values).
inline CNAKXRecord* NewRecord(const ByteVector& aby)
{
    CNAKXRecord* p = new CNAKXRecord;
    MakeRecord(*p, 8, static_cast<unsigned int>(aby.size()) - 1);
    std::memcpy(p->pbyGetNullValuesFlags(), aby.data(), aby.size());
    return p;
}

inline ByteVector RecordBytes(const CNAKXRecord* p)
{
    return ByteVector(p->pbyGetNullValuesFlags(), p->pbyGetNullValuesFlags() + p->nGetBufferSize());
}

// A record value held by the test: buffer bytes, identity kind (0 none,
// 1 record values, 3 row id over rowid bytes), memo cells (an empty
// vector: a null entry), state.
class CValue {
public:
    CValue(const ByteVector& abyImage, int nIdKind, const ByteVector& abyRowId = ByteVector(),
           const std::vector<ByteVector>& tabMemo = {}, unsigned int nState = 0)
    {
        m_p = new CNARecordValue(nullptr, abyImage.empty() ? nullptr : NewRecord(abyImage));
        m_p->AddRef();
        m_p->SetState(nState);
        for (size_t i = 0; i < tabMemo.size(); i++) {
            if (tabMemo[i].empty()) {
                m_p->bShareMemoValue(static_cast<int>(i), nullptr);
                continue;
            }
            CNAConvertVariant* pclCell = NewCell(tabMemo[i]);
            m_p->bShareMemoValue(static_cast<int>(i), pclCell);
        }
        CNARecordId* pclId = nullptr;
        if (nIdKind == CNARecordId::RECORDID_RECORDVALUES)
            pclId = new CNARecordId_RecordValues(m_p);
        else if (nIdKind == CNARecordId::RECORDID_ROWID)
            pclId = new CNARecordId_RowId(NewCell(abyRowId));
        if (pclId != nullptr)
            m_p->bShareRecordID(pclId);
    }
    // An empty value: no buffer, no identity.
    CValue() : m_p(new CNARecordValue(nullptr))
    {
        m_p->AddRef();
    }
    ~CValue() { m_p->nRelease(); }
    CValue(const CValue&) = delete;
    CValue& operator=(const CValue&) = delete;

    CNARecordValue* operator->() const { return m_p; }
    CNARecordValue* get() const { return m_p; }
    ByteVector Image() const { return m_p->pclGetNAKXRecord() ? RecordBytes(m_p->pclGetNAKXRecord()) : ByteVector(); }
    std::vector<ByteVector> Memos() const
    {
        std::vector<ByteVector> tab;
        const CNARecordMemo* pclMemo = m_p->pclGetTabMemoNoRef();
        for (int i = 0; pclMemo != nullptr && i < pclMemo->nGetCount(); i++) {
            const CNAConvertVariant* pclCell = pclMemo->pclGetNoRef(i);
            tab.push_back(pclCell != nullptr && !pclCell->pclGetValue()->bIsNull() ? CellBytes(pclCell) : ByteVector());
        }
        while (!tab.empty() && tab.back().empty())
            tab.pop_back();
        return tab;
    }

private:
    CNARecordValue* m_p;
};
