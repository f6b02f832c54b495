// Tables on the private server as the host holds them: the description and
// the table object from the driver, opened in host contexts of the test's
// own; values written into the record buffer the host gets with bGetRecord,
// read back from the data access's current record. Everything opened is
// closed and given back by TearDown.
#pragma once

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/statement/NAKXRecord.h"
#include "access/table/NADataAccess.h"
#include "access/table/NATable.h"
#include "common/values/Any.h"
#include "host/HostContext.h"
#include "tests/support/DriverServer.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

// Host values made in place (a host value is not copied): a wide text, bytes.
struct CHostText : CAny {
    explicit CHostText(const std::wstring& s)
    {
        __SetType(TQTYPE_DSTRW, 0);
        pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
        SetFlags(0);
    }
};
struct CHostBytes : CAny {
    explicit CHostBytes(const std::string& s)
    {
        __SetType(TQTYPE_BIN, 0);
        pclGetTraitement()->SetValue(s.data(), static_cast<unsigned int>(s.size()));
        SetFlags(0);
    }
};

template <class TDriver>
class HostTableServerTestOf : public DriverServerTestOf<TDriver> {
protected:
    using Base = DriverServerTestOf<TDriver>;
    using Base::Base;

    void TearDown() override
    {
        CloseTables();
        for (CHostContext& clContext : m_tabContext)
            this->m_piDriver->bCloseContext(&clContext);
        Base::TearDown();
    }
    // Every table closed in every context and given back, with its
    // description.
    void CloseTables()
    {
        for (STOpened& st : m_tabOpened) {
            for (CHostContext& clContext : m_tabContext)
                st.piTable->bHFerme(&clContext);
            st.piTable->nExternalRelease();
            if (st.piDescription != nullptr)
                st.piDescription->nExternalRelease();
        }
        m_tabOpened.clear();
    }
    // The table's description as the host holds it (one external
    // reference): the driver's, or with m_bHostOwnDescriptions a copy that
    // names no column's set, the host's own as far as the driver can tell.
    INADataSourceDescription* HostDescription(const wchar_t* pszTable, CHostConnectionDescription* pHost)
    {
        INADataSourceDescription* pi = this->m_piDriver->piGetTableDesc(pszTable, pHost);
        if (pi == nullptr || !m_bHostOwnDescriptions)
            return pi;
        CNADataSourceDescription* pclCopy =
            static_cast<CNADataSourceDescription*>(pi)->pclGetCloneDataSourceDescription(0);
        pi->nExternalRelease();
        for (int i = 0; pclCopy != nullptr && i < static_cast<int>(pclCopy->nGetNumItems()); i++)
            pclCopy->pclNAGetItemNoRef(i)->SetColumnCharset(L"");
        if (pclCopy != nullptr)
            pclCopy->ExternalAddRef();
        return pclCopy;
    }
    bool m_bHostOwnDescriptions = false;
    // A host context; the key names the table's data access within it.
    CHostContext* Context(unsigned int nNumber, unsigned int nKey = 1)
    {
        m_tabContext.emplace_back(nKey, nNumber);
        return &m_tabContext.back();
    }
    // A table the driver handed out otherwise (a query's), closed and given
    // back by the tear-down.
    void Keep(INATable* pi) { m_tabOpened.push_back({pi, nullptr}); }
    // The table opened in the context on the host description given (the
    // set-up's by default); null, and a failure, when it cannot be.
    INATable* Open(const wchar_t* pszTable, CHostContext* pContext, CHostConnectionDescription* pHost = nullptr)
    {
        CHostConnectionDescription* pOn = pHost != nullptr ? pHost : this->m_pHost;
        INADataSourceDescription* piDescription = HostDescription(pszTable, pOn);
        EXPECT_NE(piDescription, nullptr) << this->Report();
        if (piDescription == nullptr)
            return nullptr;
        INATable* pi = this->m_piDriver->piGetTable(pOn, piDescription);
        EXPECT_NE(pi, nullptr) << this->Report();
        if (pi == nullptr) {
            piDescription->nExternalRelease();
            return nullptr;
        }
        m_tabOpened.push_back({pi, piDescription});
        EXPECT_EQ(pi->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1) << Error(pi, pContext);
        return pi;
    }
    // The description the table was opened on.
    INADataSourceDescription* Description(INATable* pi)
    {
        for (const STOpened& st : m_tabOpened)
            if (st.piTable == pi)
                return st.piDescription;
        return nullptr;
    }
    static CNAError* ErrorOf(INATable* pi, CHostContext* pContext)
    {
        return static_cast<CNAError*>(pi->piGetLastError(pContext));
    }
    static std::string Error(INATable* pi, CHostContext* pContext)
    {
        const wchar_t* psz = ErrorOf(pi, pContext)->pszGetError();
        return psz != nullptr ? UTF8Of(psz) : "";
    }
    // The context's data access of the table (the table keeps it).
    static CNADataAccess* Access(INATable* pi, CHostContext* pContext)
    {
        CNADataAccess* p = static_cast<CNATable*>(pi)->_pclFindDataAccess(pContext);
        if (p != nullptr)
            p->nRelease();
        return p;
    }
    static std::string Value(INATable* pi, CHostContext* pContext, const wchar_t* pszItem)
    {
        return CurrentValueText(Access(pi, pContext), pszItem);
    }
    // The host's value of the item stored in the record buffer it holds;
    // a NULL value clears the item.
    void SetItem(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, const CAny& clValue)
    {
        INAItemDescription* piItem = Description(pi)->piNAGetItem(pszItem);
        ASSERT_NE(piItem, nullptr) << UTF8Of(pszItem);
        CNAKXRecord* pRecord = nullptr;
        ASSERT_EQ(pi->bGetRecord(pContext, &pRecord), 1) << Error(pi, pContext);
        pRecord->vSetItemValue(piItem, &clValue, 0);
        pRecord->nRelease();
        piItem->nExternalRelease();
    }
    void SetItem(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, const std::wstring& strText)
    {
        SetItem(pi, pContext, pszItem, CHostText(strText));
    }
    void SetItemNull(INATable* pi, CHostContext* pContext, const wchar_t* pszItem)
    {
        CAny v;
        v.SetNullFlag(true);
        SetItem(pi, pContext, pszItem, v);
    }

private:
    struct STOpened {
        INATable* piTable;
        INADataSourceDescription* piDescription;
    };
    std::vector<STOpened> m_tabOpened;
    std::deque<CHostContext> m_tabContext;
};
