// Host contexts: the data accesses filed by the host context's key, the
// lock mode, closing them all, the searches by name, a failed creation and
// a long run of filings that leaves nothing behind.
#include "access/driver/NAContext.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostContext.h"
#include "tests/support/CountingConnection.h"
#include "tests/support/FailingHeap.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <string>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

struct STAccessCounts { int nMade = 0; int nDestroyed = 0; int nCloses = 0; bool bRefuse = false; };

// A data access that notes its closes and its end; opened when told.
class CScriptAccess : public CNADataAccess {
public:
    CScriptAccess(INADataSourceDescription* pi, CNAConnectionDescription* pcl, CNAError* pe, STAccessCounts* pst)
        : CNADataAccess(pi, pcl, pe), m_pst(pst)
    {
        m_pst->nMade++;
    }
    ~CScriptAccess() override { m_pst->nDestroyed++; }
    int bHFerme() override
    {
        m_pst->nCloses++;
        m_bOpened = 0;
        return 1;
    }
    void Open(const wchar_t* pszAlias)
    {
        m_bOpened = 1;
        m_csAliasName = pszAlias;
    }

private:
    STAccessCounts* m_pst;
};

// An error object that notes its end.
class CCountedError : public CNAError {
public:
    explicit CCountedError(int* pn) : m_pnDestroyed(pn) {}
    ~CCountedError() override { (*m_pnDestroyed)++; }

private:
    int* m_pnDestroyed;
};

class CScriptDriver : public CNADriver {
public:
    STAccessCounts m_st;
    int m_nErrorsMade = 0;
    int m_nErrorsDestroyed = 0;
    CNAError* pclAllocError() override
    {
        m_nErrorsMade++;
        return new CCountedError(&m_nErrorsDestroyed);
    }
    CNADataAccess* pclAllocDataAccess(INADataSourceDescription* pi, CNAConnectionDescription* pcl,
                                      CNAError* pe) override
    {
        // Made whatever the heap allows: a data access's own tables are
        // not what the tests make fail.
        CFailingHeap clAllowed(-1);
        return m_st.bRefuse ? nullptr : new CScriptAccess(pi, pcl, pe, &m_st);
    }
};

class NAContext : public testing::Test {
protected:
    void SetUp() override
    {
        bInitLibrary(nullptr);
        m_pDriver = new CScriptDriver;
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
        m_pContext = m_pDriver->pclAllocContext();
        ASSERT_NE(m_pContext, nullptr);
        m_pContext->AddRef();
        for (CNAConnectionDescription*& p : m_apConnection) {
            p = new CCountingConnection(L"cnx", nullptr, &m_stConnections);
            p->AddRef();
        }
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pContext->nRelease(), 0u);
        // The context's error object went with it; the driver's is left.
        EXPECT_EQ(m_pDriver->m_nErrorsDestroyed, m_pDriver->m_nErrorsMade - 1);
        for (CNAConnectionDescription* p : m_apConnection)
            p->nRelease();
        for (CNADataSourceDescription* p : m_apDescription)
            p->nRelease();
        // Every data access went, each once.
        EXPECT_EQ(m_pDriver->m_st.nDestroyed, m_pDriver->m_st.nMade);
        EXPECT_EQ(m_stConnections.nDestroyed, m_stConnections.nMade);
        m_pDriver->nExternalRelease();
    }
    CNADataSourceDescription* Table(const wchar_t* pszLogical, const wchar_t* pszDB)
    {
        CNADataSourceDescription* p = new CNADataSourceDescription(nullptr, nullptr);
        p->AddRef();
        p->SetLogicalName(pszLogical);
        p->SetDBName(pszDB);
        m_apDescription.push_back(p);
        return p;
    }
    CNADataAccess* Get(CHostContext* pHost, int nConnection, CNADataSourceDescription* pTable, int* pbCreated)
    {
        return m_pContext->pclGetDataAccess(pHost, m_apConnection[nConnection], pTable, pbCreated);
    }

    CScriptDriver* m_pDriver = nullptr;
    CNAContext* m_pContext = nullptr;
    STConnectionCounts m_stConnections;
    CNAConnectionDescription* m_apConnection[2] = {};
    std::vector<CNADataSourceDescription*> m_apDescription;
};

} // namespace

TEST_F(NAContext, OneDataAccessPerKey)
{
    EXPECT_EQ(m_pContext->nGetVersion(), 2);
    EXPECT_EQ(m_pContext->nGetCompatSince(), 2);
    EXPECT_EQ(m_pContext->dwGetContextNumber(), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<int>(m_pContext->eGetDefaultMode()), 1);
    CHostContext ctxA(10, 1), ctxB(11, 1);
    CNADataSourceDescription* pOrders = Table(L"ORDERS", L"orders");
    int bCreated = -1;
    CNADataAccess* p1 = Get(&ctxA, 0, pOrders, &bCreated);
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(bCreated, 1);
    EXPECT_EQ(p1->pclGetContext(), m_pContext);
    EXPECT_EQ(p1->pclGetError(), m_pContext->pclGetError());
    CNADataAccess* p2 = Get(&ctxA, 0, pOrders, &bCreated);
    EXPECT_EQ(p2, p1);
    EXPECT_EQ(bCreated, 0);
    CNADataAccess* p3 = Get(&ctxB, 0, pOrders, &bCreated);
    EXPECT_NE(p3, p1);
    EXPECT_EQ(bCreated, 1);
    // The table and the two callers hold the first.
    EXPECT_EQ(p1->nGetRef(), 3u);
    CNADataAccess* pFound = m_pContext->pclFindDataAccess(&ctxB);
    EXPECT_EQ(pFound, p3);
    pFound->nRelease();
    p1->nRelease();
    p2->nRelease();
    p3->nRelease();

    // Removing by the context's key when the data access given is not filed under it.
    m_pContext->RemoveDataAccess(&ctxA, p3);
    EXPECT_EQ(m_pContext->pclFindDataAccess(&ctxA), nullptr);
    EXPECT_EQ(m_pContext->nGetNbDataAccess(), 1u);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 1);
    CHostContext ctxNone(99, 1);
    m_pContext->RemoveDataAccess(&ctxNone, nullptr);
    EXPECT_EQ(m_pContext->nGetNbDataAccess(), 1u);

    // A data access that cannot be made: no-memory, nothing filed.
    m_pDriver->m_st.bRefuse = true;
    EXPECT_EQ(Get(&ctxA, 0, pOrders, &bCreated), nullptr);
    EXPECT_EQ(bCreated, 0);
    EXPECT_EQ(m_pContext->pclGetError()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_MEMORY));
    EXPECT_EQ(m_pContext->nGetNbDataAccess(), 1u);
}

// A data access held elsewhere outlives its filing: the context lets it go
// when it unfiles it, by removal, by closing all or at its own end.
TEST_F(NAContext, UnfiledDataAccessesForgetTheirContext)
{
    CHostContext ctxA(10, 1), ctxB(11, 1), ctxC(12, 1);
    CNADataSourceDescription* pOrders = Table(L"ORDERS", L"orders");
    int bCreated = 0;
    CNADataAccess* pA = Get(&ctxA, 0, pOrders, &bCreated);
    CNADataAccess* pB = Get(&ctxB, 0, pOrders, &bCreated);
    ASSERT_NE(pA, nullptr);
    ASSERT_NE(pB, nullptr);
    m_pContext->RemoveDataAccess(&ctxA, nullptr);
    EXPECT_EQ(pA->pclGetContext(), nullptr);
    EXPECT_EQ(pB->pclGetContext(), m_pContext);
    m_pContext->CloseAllDataAccess();
    EXPECT_EQ(pB->pclGetContext(), nullptr);

    CNAContext* pOther = m_pDriver->pclAllocContext();
    pOther->AddRef();
    ASSERT_TRUE(pOther->_AddDataAccess(&ctxC, pA));
    ASSERT_TRUE(m_pContext->_AddDataAccess(&ctxC, pB));
    EXPECT_EQ(pA->pclGetContext(), pOther);
    EXPECT_EQ(pOther->nRelease(), 0u);
    EXPECT_EQ(pA->pclGetContext(), nullptr);
    EXPECT_EQ(pB->pclGetContext(), m_pContext);
    // Filed elsewhere since: a removal here leaves its pointer alone.
    ASSERT_TRUE(m_pContext->__AddDataAccess(13, pA));
    CNAContext* pThird = m_pDriver->pclAllocContext();
    pThird->AddRef();
    ASSERT_TRUE(pThird->__AddDataAccess(13, pA));
    m_pContext->RemoveDataAccess(&ctxC, nullptr);
    EXPECT_EQ(pB->pclGetContext(), nullptr);
    CHostContext ctxD(13, 1);
    m_pContext->RemoveDataAccess(&ctxD, nullptr);
    EXPECT_EQ(pA->pclGetContext(), pThird);
    EXPECT_EQ(pThird->nRelease(), 0u);
    EXPECT_EQ(pA->pclGetContext(), nullptr);
    pA->nRelease();
    pB->nRelease();
}

TEST_F(NAContext, LockModeAndSearches)
{
    CHostContext ctx1(1, 7), ctx2(2, 7), ctx3(3, 7);
    CNADataAccess* pOrders = Get(&ctx1, 0, Table(L"Orders", L"orders"), nullptr);
    CNADataAccess* pOther = Get(&ctx2, 1, Table(L"ORDERS", L"orders"), nullptr);
    CNADataAccess* pLines = Get(&ctx3, 0, Table(L"LINES", L"order_lines"), nullptr);
    static_cast<CScriptAccess*>(pOrders)->Open(L"O");
    static_cast<CScriptAccess*>(pLines)->Open(L"L");

    struct { const wchar_t* pszName; int nMode; int anSeen[3]; } const aMode[] = {
        {L"ÖRDERS", 5, {5, 5, 1}}, {L"lines", 6, {5, 5, 6}}, {L"nothing", 9, {5, 5, 6}},
    };
    for (const auto& c : aMode) {
        EXPECT_EQ(m_pContext->bHMode(c.pszName, static_cast<_eNA_HMODE>(c.nMode)), 1) << c.nMode;
        EXPECT_EQ(static_cast<int>(m_pContext->eGetDefaultMode()), c.nMode);
        const CNADataAccess* ap[] = {pOrders, pOther, pLines};
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(ap[i]->eGetHMode(), c.anSeen[i]) << c.nMode << " access " << i;
    }

    struct {
        const char* pszCase;
        bool bAlias;
        int nConnection;
        const wchar_t* pszName;
        CNADataAccess* pExpected;
    } const aFind[] = {
        {"table name, case", false, 0, L"ORDERS", pOrders},
        {"table name, other connection", false, 1, L"Orders", pOther}, {"alias", true, 0, L"l", pLines},
        {"alias of another connection", true, 1, L"L", nullptr}, {"unknown", false, 0, L"nothing", nullptr},
    };
    for (const auto& c : aFind) {
        CNADataAccess* p = c.bAlias ? m_pContext->pclFindDataAccessByAliasName(m_apConnection[c.nConnection], c.pszName)
                                    : m_pContext->pclFindDataAccessByDBTableName(m_apConnection[c.nConnection],
                                                                                c.pszName);
        EXPECT_EQ(p, c.pExpected) << c.pszCase;
        if (p != nullptr)
            p->nRelease();
    }
    // Only the opened ones are closed; all are dropped.
    pOrders->nRelease();
    pOther->nRelease();
    pLines->nRelease();
    m_pContext->CloseAllDataAccess();
    EXPECT_EQ(m_pDriver->m_st.nCloses, 2);
    EXPECT_EQ(m_pContext->nGetNbDataAccess(), 0u);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 3);
}

TEST_F(NAContext, ManyFilingsKeepMemoryFlat)
{
    CHostContext ctx(4, 4);
    CNADataSourceDescription* pTable = Table(L"T", L"t");
    auto Cycle = [&] {
        int bCreated = 0;
        CNADataAccess* p = Get(&ctx, 0, pTable, &bCreated);
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(bCreated, 1);
        m_pContext->RemoveDataAccess(&ctx, p);
        p->nRelease();
    };
    for (int i = 0; i < 1000; i++)
        Cycle();
    const size_t nBefore = mallinfo2().uordblks;
    for (int i = 0; i < 100000; i++)
        Cycle();
    const size_t nAfter = mallinfo2().uordblks;
    EXPECT_LE(nAfter, nBefore + 4096) << "bytes in use grew from " << nBefore << " to " << nAfter;
    EXPECT_EQ(m_pDriver->m_st.nMade, 101000);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 101000);
    EXPECT_EQ(m_pContext->nGetNbDataAccess(), 0u);
    EXPECT_EQ(pTable->nGetExternalRef(), 0u);
}

TEST_F(NAContext, AFilingThatFailsLeavesNothing)
{
    CHostContext ctx(6, 6);
    CNADataSourceDescription* pTable = Table(L"T", L"t");
    nFailEachAllocation([&](int n) {
        m_pContext->pclGetError()->Reset();
        int bCreated = -1;
        CNADataAccess* p = nullptr;
        {
            CFailingHeap clHeap(n);
            p = Get(&ctx, 0, pTable, &bCreated);
        }
        if (p == nullptr) {
            EXPECT_EQ(bCreated, 0);
            EXPECT_EQ(m_pContext->nGetNbDataAccess(), 0u);
            EXPECT_EQ(m_pDriver->m_st.nDestroyed, m_pDriver->m_st.nMade);
            EXPECT_EQ(m_pContext->pclGetError()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_MEMORY));
            return false;
        }
        EXPECT_EQ(bCreated, 1);
        EXPECT_EQ(p->pclGetContext(), m_pContext);
        p->nRelease();
        return true;
    });
    EXPECT_EQ(m_pContext->nGetNbDataAccess(), 1u);
}

TEST_F(NAContext, ATableThatCannotGrowFilesNothing)
{
    CNADataSourceDescription* pTable = Table(L"T", L"t");
    // Filing goes on without allocation until the table must grow.
    unsigned int nKey = 100;
    CNADataAccess* p = nullptr;
    do {
        CHostContext ctx(++nKey, 1);
        int bCreated = -1;
        {
            CFailingHeap clHeap(0);
            p = Get(&ctx, 0, pTable, &bCreated);
        }
        if (p != nullptr)
            p->nRelease();
        else
            EXPECT_EQ(bCreated, 0);
    } while (p != nullptr && nKey < 1000);
    ASSERT_EQ(p, nullptr) << "the table never had to grow";
    CHostContext ctxLast(nKey, 1);
    EXPECT_EQ(m_pContext->pclFindDataAccess(&ctxLast), nullptr);
    EXPECT_EQ(m_pContext->nGetNbDataAccess(), nKey - 101);
    EXPECT_EQ(m_pDriver->m_st.nMade - m_pDriver->m_st.nDestroyed, static_cast<int>(nKey - 101));
    // The no-memory error, raised without memory.
    EXPECT_EQ(m_pContext->pclGetError()->dwGetSystemErrorCode(), 12u);
}
