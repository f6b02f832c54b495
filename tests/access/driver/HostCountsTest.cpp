// Counts the host can reach, driven from four threads at once: every one
// ends where it started, whatever the interleaving.
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/table/NATable.h"
#include "host/HostContext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

const int kLoops = 200000;

// f run kLoops times on each of four threads let go together.
void OnFourThreads(const std::function<void()>& f)
{
    std::atomic<int> nReady(0);
    std::vector<std::thread> tab;
    for (int t = 0; t < 4; t++)
        tab.emplace_back([&] {
            nReady++;
            while (nReady.load() < 4)
                std::this_thread::yield();
            for (int i = 0; i < kLoops; i++)
                f();
        });
    for (std::thread& th : tab)
        th.join();
}

// An SQL interface that never runs a statement.
class CIdleDriverSQL : public CNADriverSQL {
public:
    using CNADriverSQL::CNADriverSQL;
    CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription*, CNAError*) override { return nullptr; }
};

class CCountsDriver : public CNADriver {
public:
    CNADriverSQL* _pclAllocDriverSQL(CNAError* pError) override { return new CIdleDriverSQL(this, pError); }
};

class CCountedError : public CNAError {
public:
    unsigned int nCount() const { return m_nRefCount; }
};

class HostCounts : public testing::Test {
protected:
    void SetUp() override
    {
        bInitLibrary(nullptr);
        m_pDriver = new CCountsDriver;
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
        CNADriver::s_pclDriver = nullptr;
    }

    CCountsDriver* m_pDriver = nullptr;
};

} // namespace

TEST_F(HostCounts, DescriptionsAndTheirItems)
{
    CNADataSourceDescription* p = new CNADataSourceDescription(nullptr, nullptr);
    p->ExternalAddRef();
    ASSERT_EQ(p->bAddItem(L"ID", L"", L"", 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
    ASSERT_EQ(p->bAddItem(L"CODE", L"", L"", 1, 4, NA_IT_I4, -1, 0, 0x4000, 0, 0), 1);
    CNAItemDescription* pItem = static_cast<CNAItemDescription*>(p->piNAGetItem(0u));
    // The best item is kept from its first request on.
    p->piGetBestParseItemDesc()->nExternalRelease();
    const unsigned int nItemRef = pItem->nGetRef();
    const unsigned int nItemExternalRef = pItem->nGetExternalRef();
    const unsigned int nRef = p->nGetRef();
    OnFourThreads([p] {
        p->ExternalAddRef();
        p->piNAGetItem(0u)->nExternalRelease();
        p->piGetBestParseItemDesc()->nExternalRelease();
        p->nExternalRelease();
    });
    EXPECT_EQ(p->nGetExternalRef(), 1u);
    EXPECT_EQ(p->nGetRef(), nRef);
    EXPECT_EQ(pItem->nGetExternalRef(), nItemExternalRef);
    EXPECT_EQ(pItem->nGetRef(), nItemRef);
    pItem->nExternalRelease();
    EXPECT_EQ(p->nExternalRelease(), 0u);
}

TEST_F(HostCounts, ItemsAndTheirComponents)
{
    CNADataSourceDescription* p = new CNADataSourceDescription(nullptr, nullptr);
    p->ExternalAddRef();
    ASSERT_EQ(p->bAddItem(L"A", L"", L"", 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
    ASSERT_EQ(p->bAddItem(L"AB", L"", L"", 1, 0, NA_IT_TEXTE, -1, 0, 0x1000 | 0x2000, 0, 0), 1);
    CNAItemDescription* pKey = static_cast<CNAItemDescription*>(p->piNAGetItem(1u));
    ASSERT_EQ(p->_bAddItemComponent(pKey, L"A"), 1);
    CNAItemDescription* pPart = static_cast<CNAItemDescription*>(p->piNAGetItem(0u));
    const unsigned int nPartRef = pPart->nGetRef();
    const unsigned int nPartExternalRef = pPart->nGetExternalRef();
    const unsigned int nKeyExternalRef = pKey->nGetExternalRef();
    OnFourThreads([pKey] {
        pKey->ExternalAddRef();
        pKey->piGetItemComponent(1)->nExternalRelease();
        pKey->nExternalRelease();
    });
    EXPECT_EQ(pKey->nGetExternalRef(), nKeyExternalRef);
    EXPECT_EQ(pPart->nGetExternalRef(), nPartExternalRef);
    EXPECT_EQ(pPart->nGetRef(), nPartRef);
    pPart->nExternalRelease();
    pKey->nExternalRelease();
    EXPECT_EQ(p->nExternalRelease(), 0u);
}

TEST_F(HostCounts, TheSQLInterfaceAndTheDriver)
{
    INADriverSQL* pi = static_cast<INADriverSQL*>(m_pDriver->piGetInterface(1));
    ASSERT_NE(pi, nullptr);
    CNADriverSQL* pcl = static_cast<CNADriverSQL*>(pi);
    const unsigned int nRef = pcl->nGetRef();
    CNADriver* pDriver = m_pDriver;
    OnFourThreads([pDriver, pi] {
        pDriver->ExternalAddRef();
        static_cast<INADriverSQL*>(pDriver->piGetInterface(1))->nExternalRelease();
        pi->ExternalAddRef()->nExternalRelease();
        pDriver->nExternalRelease();
    });
    EXPECT_EQ(pcl->nGetExternalRef(), 1);
    EXPECT_EQ(pcl->nGetRef(), nRef);
    EXPECT_EQ(m_pDriver->nGetExternalRef(), 1);
    EXPECT_EQ(pi->nExternalRelease(), 0);
}

TEST_F(HostCounts, TablesAndContexts)
{
    CNATable* p = new CNATable(L"Table=t;x", nullptr, nullptr, nullptr);
    p->AddRef();
    p->ExternalAddRef();
    CHostContext ctx(1, 1);
    ASSERT_EQ(m_pDriver->SetNextLogicalName(&ctx, L"N"), 1);
    CNAContext* pContext = m_pDriver->pclFindContext(&ctx);
    ASSERT_NE(pContext, nullptr);
    const unsigned int nContextRef = pContext->nGetRef();
    CNADriver* pDriver = m_pDriver;
    OnFourThreads([p, pDriver, &ctx] {
        p->ExternalAddRef();
        pDriver->SetNextLogicalName(&ctx, L"N");
        pDriver->bHMode(&ctx, static_cast<_eNA_HMODE>(1));
        p->nExternalRelease();
    });
    EXPECT_EQ(p->nGetExternalRef(), 1);
    EXPECT_EQ(p->nGetRef(), 1);
    EXPECT_EQ(pContext->nGetRef(), nContextRef);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 1u);
    EXPECT_EQ(p->nExternalRelease(), 0);
    EXPECT_EQ(p->nRelease(), 0);
    EXPECT_EQ(m_pDriver->nReleaseContext(&ctx, pContext), 0);
}

TEST_F(HostCounts, ErrorsSharedByTheirHolders)
{
    CCountedError* p = new CCountedError;
    p->AddRef();
    OnFourThreads([p] {
        p->AddRef();
        p->nRelease();
    });
    EXPECT_EQ(p->nCount(), 1u);
    EXPECT_EQ(p->nRelease(), 0u);
}
