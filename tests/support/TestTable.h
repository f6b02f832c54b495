// A table description built item by item, and current records initialised
// over it the way a data access makes them. The driver's factory must be in
// place (CDriverScope or a driver of the test's own).
#pragma once

#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NARecord.h"

#include <gtest/gtest.h>

#include <initializer_list>

class CTestTable {
public:
    enum : unsigned short {
        UNIQUE = CNAItemDescription::KF_UNIQUE,
        DUPLICATES = CNAItemDescription::KF_DUPLICATES,
        COMPOSITE = CNAItemDescription::KF_COMPOSITE,
    };

    CTestTable(CNAError* pError, CNAConnectionDescription* pCnx, const wchar_t* pszName = L"T")
    {
        m_p = new CNADataSourceDescription(pCnx, pError);
        m_p->AddRef();
        m_p->SetLogicalName(pszName);
        m_p->SetDBName(pszName);
    }
    ~CTestTable() { m_p->nRelease(); }
    CTestTable(const CTestTable&) = delete;
    CTestTable& operator=(const CTestTable&) = delete;

    // The new item (held by the description); a key when flags are given.
    CNAItemDescription* Add(const wchar_t* pszName, eNA_ITEMTYPE eType, unsigned int nSize,
                            unsigned short nFlags = 0, bool bNullable = true, const wchar_t* pszSource = L"",
                            const wchar_t* pszNameInSource = L"")
    {
        const int nKey = nFlags != 0 ? static_cast<int>(m_p->nGetNumKeys()) : -1;
        EXPECT_EQ(m_p->bAddItem(pszName, pszSource, pszNameInSource, 1, nSize, eType, -1, nKey, nFlags, 0, 0), 1);
        CNAItemDescription* pItem = m_p->pclNAGetItemNoRef(static_cast<int>(m_p->nGetNumItems()) - 1);
        pItem->SetNullable(bNullable ? 1 : 0);
        return pItem;
    }
    // A composite key over the named items.
    CNAItemDescription* AddComposite(const wchar_t* pszName, unsigned short nFlags,
                                     std::initializer_list<const wchar_t*> components, bool bNullable = true)
    {
        CNAItemDescription* pItem = Add(pszName, NA_IT_BINAIRE, 0, static_cast<unsigned short>(nFlags | COMPOSITE),
                                        bNullable);
        for (const wchar_t* psz : components)
            EXPECT_EQ(m_p->_bAddItemComponent(pItem, psz), 1);
        return pItem;
    }
    // A record (one reference for the caller) initialised over the table;
    // null when the initialisation fails.
    CNARecord* NewRecord(CNAError* pError, CNAConnectionDescription* pCnx, CNADataAccess* pAccess = nullptr,
                         CNADataSourceDescription* pDatabase = nullptr)
    {
        m_p->UpdateRecordSize();
        CNARecord* pRecord = new CNARecord(pError, pAccess);
        pRecord->AddRef();
        if (!pRecord->bInitRecord(m_p, pDatabase, pCnx)) {
            pRecord->nRelease();
            return nullptr;
        }
        return pRecord;
    }
    CNADataSourceDescription* operator->() const { return m_p; }
    CNADataSourceDescription* Get() const { return m_p; }

private:
    CNADataSourceDescription* m_p;
};
